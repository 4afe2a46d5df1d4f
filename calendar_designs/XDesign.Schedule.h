// The schedule item, the notes panel of the wallpaper: the quick note and
// a list of days from a chosen day with each day's date, holidays and
// journal text, every line clickable; and the rich-text item, a fixed
// formatted text.
#pragma once
#include "calendar_designs/XDesign.Month.h"
#include "gdi/Metafile.h"

enum TXDVScheduleType { vstBox, vstClearBox };
X_ENUM_INFO(TXDVScheduleType, vstBox, vstClearBox)
enum TXDVSchedulePart { vspQNote, vspJournals, vspJournal };
X_ENUM_INFO(TXDVSchedulePart, vspQNote, vspJournals, vspJournal)
using TXDVScheduleParts = Cardinal;
constexpr TXDVScheduleParts SchedulePart(TXDVSchedulePart P)
{
    return TXDVScheduleParts(1) << P;
}

class TXDCustomVScheduleItem : public TXDWeekMonthItem {
    X_CLASS(TXDCustomVScheduleItem, TXDWeekMonthItem)
public:
    void Init() override;
    void SetIntProp(Integer Index, Integer Value) override;
    Integer GetIntProp(Integer Index) const override;
    void SetByteProp(Integer Index, Byte Value) override;
    Byte GetByteProp(Integer Index) const override;
    void SetBoolProp(Integer Index, bool Value) override;
    bool GetBoolProp(Integer Index) const override;
    void Scale(Integer DPI, Integer ImageDPI) override;
    void PaintBackground(TBitmap* Bitmap, const TRect& PageRect, Cardinal Flags, TColor Key) override;
    void PaintContent(TBitmap* Bitmap, const TRect& PageRect, Cardinal Flags, TColor Key) override;
    void ApplyDataDefaults() override;
    void CollectHitAreas(TXAreaCollection* Areas) override;
    void TakeCalendarEngine(TXVActiveCalendarEngine* Engine) override;

    TXDVScheduleType VScheduleType() const { return FVScheduleType; }
    void SetVScheduleType(TXDVScheduleType Value);
    TXDVScheduleParts VScheduleParts() const { return FVScheduleParts; }
    void SetVScheduleParts(TXDVScheduleParts Value);
    // The first day shown on Today (Monday-based weeks).
    TDateTime ComputeScheduleDay(TDateTime Today) const;

    TXVCalendarLive* CalendarLive() const { return FCalendarLive.get(); }
    TBitmap* NoteBitmap() const { return FNoteBitmap.get(); }
    TDateTime ScheduleDay = 0;
    Integer LineHeight = 0, IconSize = 0;

protected:
    void CopyFrom(TXDesignItem* Source) override;

private:
    bool Has(TXDVSchedulePart P) const { return (FVScheduleParts & SchedulePart(P)) != 0; }
    void PrepareFont(TCanvas* C) const;
    // A note's text rendered into Note at most MaxHeight tall, grown by 5
    // pixels, with the more-note mark where it did not fit.
    void RenderNote(TXCustomVNoteObject* NoteObject, TBitmap* Note, Integer MaxHeight) const;
    void AddArea(const String& Hint, const String& Command, const String& Args, Integer Y);
    // One day's lines from Y; answers the new Y.
    Integer PaintDay(TBitmap* Bitmap, TBitmap* Band, TXVActiveDay* Day, Integer Y, bool OneDay);

    TXDVScheduleType FVScheduleType = vstBox;
    TXDVScheduleParts FVScheduleParts = SchedulePart(vspQNote) | SchedulePart(vspJournals);
    Integer FWDay = 0;
    Byte FNotesAlpha = 255;
    bool FPaintEmpty = false;
    TOwnedPtr<TXVCalendarLive> FCalendarLive;
    TOwnedPtr<TBitmap> FNoteBitmap;
};

class TXDVScheduleItem : public TXDCustomVScheduleItem {
    X_CLASS(TXDVScheduleItem, TXDCustomVScheduleItem)
};

class TXDRichTextItem : public TXDBorderItem {
    X_CLASS(TXDRichTextItem, TXDBorderItem)
public:
    void Init() override;
    void SetStrProp(Integer Index, const String& Value) override;
    String GetStrProp(Integer Index) const override;
    void Scale(Integer DPI, Integer ImageDPI) override;
    void PaintBackground(TBitmap* Bitmap, const TRect& PageRect, Cardinal Flags, TColor Key) override;
    void PaintContent(TBitmap* Bitmap, const TRect& PageRect, Cardinal Flags, TColor Key) override;

    Integer RenderedHeight = 0;

protected:
    void CopyFrom(TXDesignItem* Source) override;

private:
    String FText;
    TOwnedPtr<TMetafile> FMetafile;
};
