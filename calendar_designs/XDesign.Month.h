// Month calendar items: one month as a box of seven columns and six week
// rows, as a horizontal strip or as a vertical list of days, coloured by
// weekday, holiday and today, with up to two entry pictures a day; every
// day and every shown entry becomes a clickable area.
#pragma once
#include "calendar_designs/XDesign.Borders.h"
#include "calendar_designs/XDesign.Live.h"
#include "core/XCore.Locale.h"
#include "gdi/Font.h"

enum TXDMonthLength { mtLong, mtShort };
X_ENUM_INFO(TXDMonthLength, mtLong, mtShort)
enum TXDDayLength { dtLong, dtShort, dtLetter };
X_ENUM_INFO(TXDDayLength, dtLong, dtShort, dtLetter)
enum TXDMonthType { mtBox, mtClearBox, mtHorzLine, mtClearHorzLine, mtVertLine, mtClearVertLine };
X_ENUM_INFO(TXDMonthType, mtBox, mtClearBox, mtHorzLine, mtClearHorzLine, mtVertLine, mtClearVertLine)

// The em cap of the font layer: fitting loops start no higher.
inline constexpr Integer MaxDayFontHeight = 4096;

// The common base of the month and schedule items: calendar colours, the
// day font, the text shadow and the grid.
class TXDWeekMonthItem : public TXDBorderItem {
    X_CLASS(TXDWeekMonthItem, TXDBorderItem)
public:
    void Init() override;
    void SetIntProp(Integer Index, Integer Value) override;
    Integer GetIntProp(Integer Index) const override;
    void SetBoolProp(Integer Index, bool Value) override;
    bool GetBoolProp(Integer Index) const override;
    void Scale(Integer DPI, Integer ImageDPI) override;
    bool HasNoBackground() const override;
    void TakeFormatSettings(const TXFormatSettings& Settings) override;

    TXCalendarColors* CalendarColors() const { return FCalendarColors.get(); }
    TFont* Font() const { return FFont.get(); }
    void SetFont(TFont* Value);
    TXDMonthLength MonthLength() const { return FMonthLength; }
    void SetMonthLength(TXDMonthLength Value);
    TXDDayLength DayLength() const { return FDayLength; }
    void SetDayLength(TXDDayLength Value);
    Integer DayShadow() const { return FDayShadow; }
    bool SkipToday() const { return FSkipToday; }

    Integer PixDayShadow = 0, PixMonthGrid = 0;
    TXFormatSettings FormatSettings;

protected:
    void CopyFrom(TXDesignItem* Source) override;
    // Antialiased over a page copy, plain over an own fill.
    TFontQuality TextQuality() const { return HasNoBackground() ? fqDefault : fqNonAntialiased; }
    // Today's colour while painting: none with SkipToday, which never
    // changes the stored colours.
    TColor PaintTodayColor() const;
    // Text at (X, Y) in Color, after its shadow copy; no colour draws nothing.
    void DrawDayText(TCanvas* Canvas, Integer X, Integer Y, const String& Text, TColor Color) const;
    // Today's frame, after its shadow copy.
    void DrawTodayFrame(TCanvas* Canvas, const TRect& R) const;
    // The day names from Monday in the chosen length.
    const std::array<String, 7>& DayNames() const;
    String MonthName(Integer Month) const;

    TOwnedPtr<TXCalendarColors> FCalendarColors;
    TOwnedPtr<TFont> FFont;
    Integer FDayShadow = 0;
    Integer FMonthGrid = 0;
    bool FSkipToday = false;
    TXDMonthLength FMonthLength = mtLong;
    TXDDayLength FDayLength = dtLetter;
};

class TXDMonthItem : public TXDWeekMonthItem {
    X_CLASS(TXDMonthItem, TXDWeekMonthItem)
public:
    void Init() override;
    void SetIntProp(Integer Index, Integer Value) override;
    Integer GetIntProp(Integer Index) const override;
    void Scale(Integer DPI, Integer ImageDPI) override;
    void PaintBackground(TBitmap* Bitmap, const TRect& PageRect, Cardinal Flags, TColor Key) override;
    void PaintContent(TBitmap* Bitmap, const TRect& PageRect, Cardinal Flags, TColor Key) override;
    void ApplyDataDefaults() override;
    void CollectHitAreas(TXAreaCollection* Areas) override;
    void TakeDate(Word Day, Word Month, Integer Year) override;
    void TakeCalendarEngine(TXVActiveCalendarEngine* Engine) override;

    TXDMonthType MonthType() const { return FMonthType; }
    void SetMonthType(TXDMonthType Value);
    Integer DatePos() const { return FDatePos; }
    TXDMonthLive* MonthLive() const { return FMonthLive.get(); }
    // Days of the shown month.
    Integer DayCount() const;

    Integer DisplayMonth = 1, DisplayYear = 2000;
    bool ShowEntries = false;
    Integer EntryRows = 0;
    Integer DayFontHeight = 0, PixDaySpace = 0, CellWidth = 0, CellHeight = 0, IconSize = 0, DigitWidth = 0,
            TextHeight = 0;

protected:
    void CopyFrom(TXDesignItem* Source) override;

private:
    bool IsBox() const { return FMonthType == mtBox || FMonthType == mtClearBox; }
    bool IsHorz() const { return FMonthType == mtHorzLine || FMonthType == mtClearHorzLine; }
    bool IsClear() const { return FMonthType == mtClearBox || FMonthType == mtClearHorzLine || FMonthType == mtClearVertLine; }
    void TakeCalendarColors();
    void ScaleBox(TCanvas* C);
    void ScaleHorz(TCanvas* C);
    void ScaleVert(TCanvas* C);
    // Column of day 1 in the box, 0 .. 6, counted from the first weekday.
    Integer FirstColumn() const;
    // Monday 1 .. Sunday 7 of a day of the shown month; 0 when it has none.
    Integer WeekdayOf(Integer Day) const;
    // A day's cell colour, or no colour.
    TColor DayBgColor(Integer Day) const;
    TColor DayTextColor(Integer Day, bool IsToday) const;
    bool IsToday(Integer Day) const;
    // The widest name in the canvas's font.
    Integer WidestName(TCanvas* C) const;
    // Entry picture Index of Day stretched into R; its area takes R on the page.
    void PaintEntry(TCanvas* C, Integer Day, Integer Index, const TRect& R);
    void PaintBox(TCanvas* C);
    void PaintHorz(TCanvas* C);
    void PaintVert(TCanvas* C);

    TXDMonthType FMonthType = mtBox;
    Integer FMonth = 0, FYear = 0;
    Integer FDatePos = 5;
    Integer FDaySpace = 2;
    TOwnedPtr<TXDMonthLive> FMonthLive;
};
