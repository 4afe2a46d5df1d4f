#include "calendar_designs/XDesign.Schedule.h"
#include "calendar_designs/XDesign.DateText.h"
#include "calendar_designs/XDesign.Defaults.h"
#include "calendar_designs/XDesign.Page.h"
#include "calendar_designs/XDesign.RichText.h"
#include "core/XSpark.Lg.h"
#include "graphics/XMedia.Drawing.h"
#include "graphics/XMedia.Pixels.h"
#include "rtl/DateTime.h"
#include <cmath>

X_REGISTER_CLASS(TXDCustomVScheduleItem)
X_REGISTER_CLASS(TXDVScheduleItem)
X_REGISTER_CLASS(TXDRichTextItem)

X_PUBLISHED(TXDCustomVScheduleItem)
{
    using namespace XDesignProps;
    X_PROP(VScheduleType, VScheduleType, SetVScheduleType).Default(vstBox);
    X_PROP_SET(VScheduleParts, TXDVSchedulePart, VScheduleParts, SetVScheduleParts)
        .Default(SchedulePart(vspQNote) | SchedulePart(vspJournals));
    Int(D, u"WDay", 200).Default(0);
    Byte_(D, u"NotesAlpha", 200).Default(255);
    Bool(D, u"PaintEmpty", 200).Default(false);
}

X_PUBLISHED(TXDVScheduleItem) { }

X_PUBLISHED(TXDRichTextItem)
{
    XDesignProps::Str(D, u"Text", 150);
}

namespace {

const TXRichMargins NoteMargins { 6, 10, 6, 10 };

String DayArgs(TDateTime Day)
{
    Word Y = 0, M = 0, D = 0;
    DecodeDate(Day, Y, M, D);
    return DesignDateArgs(Y, M, D);
}

void DrawFrameLine(TCanvas* C, std::initializer_list<TPoint> Points, TColor Color)
{
    C->Pen()->SetColor(Color);
    C->Pen()->SetWidth(1);
    C->Polyline(std::span<const TPoint>(Points.begin(), Points.size()));
}

void DrawFrameRect(TCanvas* C, const TRect& R, TColor Color)
{
    C->Brush()->SetStyle(bsClear);
    C->Pen()->SetColor(Color);
    C->Pen()->SetWidth(1);
    C->Rectangle(R);
}

}

// ---- TXDCustomVScheduleItem ----

void TXDCustomVScheduleItem::Init()
{
    inherited::Init();
    FCalendarLive.reset(New<TXVCalendarLive>());
    FNoteBitmap = MakeOwned<TBitmap>();
}

void TXDCustomVScheduleItem::SetVScheduleType(TXDVScheduleType Value)
{
    if (FVScheduleType == Value)
        return;
    FVScheduleType = Value;
    LookChanged();
}

void TXDCustomVScheduleItem::SetVScheduleParts(TXDVScheduleParts Value)
{
    Value &= SchedulePart(vspQNote) | SchedulePart(vspJournals) | SchedulePart(vspJournal);
    if (FVScheduleParts == Value)
        return;
    FVScheduleParts = Value;
    LookChanged();
}

void TXDCustomVScheduleItem::SetIntProp(Integer Index, Integer Value)
{
    if (Index != 200)
        return inherited::SetIntProp(Index, Value);
    if (FWDay == Value)
        return;
    FWDay = Value;
    LookChanged();
}

Integer TXDCustomVScheduleItem::GetIntProp(Integer Index) const
{
    return Index == 200 ? FWDay : inherited::GetIntProp(Index);
}

void TXDCustomVScheduleItem::SetByteProp(Integer Index, Byte Value)
{
    if (Index != 200)
        return inherited::SetByteProp(Index, Value);
    if (FNotesAlpha == Value)
        return;
    FNotesAlpha = Value;
    LookChanged();
}

Byte TXDCustomVScheduleItem::GetByteProp(Integer Index) const
{
    return Index == 200 ? FNotesAlpha : inherited::GetByteProp(Index);
}

void TXDCustomVScheduleItem::SetBoolProp(Integer Index, bool Value)
{
    if (Index != 200)
        return inherited::SetBoolProp(Index, Value);
    if (FPaintEmpty == Value)
        return;
    FPaintEmpty = Value;
    LookChanged();
}

bool TXDCustomVScheduleItem::GetBoolProp(Integer Index) const
{
    return Index == 200 ? FPaintEmpty : inherited::GetBoolProp(Index);
}

TDateTime TXDCustomVScheduleItem::ComputeScheduleDay(TDateTime Today) const
{
    Today = std::floor(Today);
    if (!Has(vspJournal))
        return Today;
    // Stored weekdays run 0 to 7; others count as 0.
    const Integer W = FWDay >= 0 && FWDay <= 7 ? FWDay : 0;
    const Integer Weekday = DayOfTheWeek(Today);
    if (Weekday == 7)
        return W == 7 ? Today : Today + 1 + (W - 1);
    const TDateTime Monday = Today - (Weekday - 1);
    return W == 7 ? Monday - 1 : Monday + (W - 1);
}

void TXDCustomVScheduleItem::Scale(Integer DPI, Integer ImageDPI)
{
    inherited::Scale(DPI, ImageDPI);
    TakeCalendarColors(FVScheduleType == vstClearBox);
    ScheduleDay = ComputeScheduleDay(Date());
}

void TXDCustomVScheduleItem::ApplyDataDefaults()
{
    ScheduleDay = ComputeScheduleDay(Date());
    FCalendarLive->Clear();
    TakePageDefaults({ u"Date", u"Format", u"VCalendar" });
    inherited::ApplyDataDefaults();
}

void TXDCustomVScheduleItem::TakeCalendarEngine(TXVActiveCalendarEngine* Engine)
{
    if (!Engine)
        return;
    auto MonthOf = [Engine](Integer Year, Integer Month) -> TXVActiveMonth* {
        if (!Engine->EnsureMonth(Year, Month))
            return nullptr;
        const Integer Index = Engine->IndexOfYear(Year);
        return Index >= 0 ? Engine->Years()->Items(Index)->Months(Month) : nullptr;
    };
    Word Y = 0, M = 0, D = 0;
    DecodeDate(ScheduleDay, Y, M, D);
    FCalendarLive->ActiveMonth = MonthOf(Y, M);
    FCalendarLive->NextActiveMonth = M == 12 ? MonthOf(Y + 1, 1) : MonthOf(Y, M + 1);
    FCalendarLive->QuickNote = Engine->Calendars() && Engine->Calendars()->QNotesTab()
        ? Engine->Calendars()->QNotesTab()->DefaultQuickNote()
        : nullptr;
}

void TXDCustomVScheduleItem::PrepareFont(TCanvas* C) const
{
    C->Font()->Assign(FFont.get());
    C->Font()->SetSize(10);
    C->Brush()->SetStyle(bsClear);
}

void TXDCustomVScheduleItem::RenderNote(TXCustomVNoteObject* NoteObject, TBitmap* Note, Integer MaxHeight) const
{
    Note->SetSize(0, 0);
    if (!NoteObject || MaxHeight <= 0)
        return;
    TOwnedPtr<TBitmap> Text(MakeOwned<TBitmap>());
    const bool Fitted
        = RenderRichStreamToBitmap(NoteObject->Description()->DataStream(), Text.get(), NoteMargins, MaxHeight, BaseWidth);
    if (Text->Width() == 0 || Text->Height() == 0)
        return;
    Note->SetPixelFormat(pf32bit);
    Note->SetSize(Text->Width(), Text->Height() + 5);
    Note->Fill(0xFFFFFF);
    Note->Canvas()->Draw(0, 0, Text.get());
    if (!Fitted && !MoreNotePicture()->IsEmpty()) {
        const TXSize S = MoreNotePicture()->ImageSize();
        DrawImageObjectAt(Note->Canvas(), Note->Width() - 2 - S.Width, Note->Height() - 2 - S.Height, MoreNotePicture());
    }
}

void TXDCustomVScheduleItem::PaintBackground(TBitmap* Bitmap, const TRect&, Cardinal Flags, TColor Key)
{
    TakeCalendarColors(FVScheduleType == vstClearBox);
    TCanvas* C = Bitmap->Canvas();
    PrepareFont(C);
    IconSize = C->TextHeight(u"\u0160y");
    LineHeight = SaturateToInteger(1.5 * IconSize);
    Integer B = PixHeight;
    FNoteBitmap->SetSize(0, 0);
    if (FVScheduleParts == SchedulePart(vspQNote)) {
        RenderNote(FCalendarLive->QuickNote, FNoteBitmap.get(), BaseHeight - LineHeight);
        B = FNoteBitmap->Height() + LineHeight + 2 * PixBorderWidth + std::abs(PixShadowDY);
        if (FPaintEmpty)
            B = PixHeight;
    } else if (Has(vspQNote))
        RenderNote(FCalendarLive->QuickNote, FNoteBitmap.get(), BaseHeight / 3 * 2);
    if (B < 1)
        return;
    const TRect R = Rect(0, 0, PixWidth, std::min(B, PixHeight));
    if (Flags & dpfPlaceholders)
        DrawCrossedBox(C, R);
    else
        PaintFillAndPicture(Bitmap, R, Flags, Key);
    PaintShadow(Bitmap, R);
    PaintBorder(Bitmap, R, Flags, Key);
}

void TXDCustomVScheduleItem::AddArea(const String& Hint, const String& Command, const String& Args, Integer Y)
{
    auto* Area = static_cast<TXHitAreaItem*>(FCalendarLive->Areas()->Add());
    Area->SetHit(xhtCustom);
    Area->SetHint(Hint);
    Area->SetCommand(Command);
    Area->SetArgs(Args);
    const Integer X0 = PixBorderWidth + 4, T = (LineHeight - IconSize) / 2;
    Area->SetRect(Rect(X0 + PixLeft, Y + T + PixTop, BaseWidth + PixLeft, Y + T + IconSize + PixTop));
}

Integer TXDCustomVScheduleItem::PaintDay(TBitmap* Bitmap, TBitmap* Band, TXVActiveDay* Day, Integer Y, bool OneDay)
{
    TCanvas* C = Bitmap->Canvas();
    const Integer B = PixBorderWidth, X0 = B + 4, T = (LineHeight - IconSize) / 2, Top = Y;
    const bool Today = Day->Date == std::floor(Date()) && PaintTodayColor() != clNone;
    const TColor Ink = Today ? PaintTodayColor() : FCalendarColors->ColorByIndex(cciDay);
    const TXFilterKernel* Kernel = FPage ? FPage->Kernel() : nullptr;
    if (Band)
        DrawBitmapAlpha(Bitmap, Band, B, Y, Rect(0, 0, Band->Width(), Band->Height()), 128);
    if (Day->Journal && !Day->Journal->Image()->IsEmpty())
        DrawImageObjectStretch(C, Rect(X0, Y + T, X0 + IconSize, Y + T + IconSize), Day->Journal->Image(), Kernel);
    String Format = FormatSettings.LongDateFormat;
    if (Format.find(u"dddd") == String::npos)
        Format = u"dddd, " + Format;
    const String DateText = FormatDesignDate(Format, Day->Date, FormatSettings);
    PrepareFont(C);
    DrawDayText(C, X0 + IconSize + 2, Y + T, DateText, Ink);
    AddArea(DateText, u"calendar_day", DayArgs(Day->Date), Y);
    Y += LineHeight;
    for (TXVActiveEventObject* E : *Day->Events()) {
        auto* Holiday = DynamicCast<TXVHolidayObject>(E->Event);
        if (!Holiday)
            continue;
        if (Y + LineHeight >= BaseHeight)
            break;
        if (!Holiday->Image()->IsEmpty())
            DrawImageObjectStretch(C, Rect(X0, Y + T, X0 + IconSize, Y + T + IconSize), Holiday->Image(), Kernel);
        C->SetClipRect(Rect(0, Y, BaseWidth, Y + LineHeight));
        PrepareFont(C);
        DrawDayText(C, X0 + IconSize + 2, Y + T, Holiday->Summary(), Ink);
        C->ResetClip();
        AddArea(Holiday->Summary(), u"calendar_holiday", DayArgs(Day->Date), Y);
        Y += LineHeight;
    }
    if (Y + LineHeight < BaseHeight && Day->Journal) {
        TOwnedPtr<TBitmap> Note(MakeOwned<TBitmap>());
        RenderNote(Day->Journal, Note.get(), BaseHeight + B - Y);
        const Integer H = std::min(Note->Height(), BaseHeight);
        if (H > 0) {
            DrawBitmapAlpha(Bitmap, Note.get(), B, Y, Rect(0, 0, Note->Width(), H), FNotesAlpha);
            Y += H;
        }
    }
    if (OneDay)
        Y = B + BaseHeight;
    if (!Today) {
        if (OneDay)
            DrawFrameRect(C, Rect(0, Top, PixWidth, Y), 0);
        else
            DrawFrameLine(C, { Point(0, Top), Point(0, Y), Point(PixWidth - 1, Y), Point(PixWidth - 1, Top - 1) }, 0);
    } else {
        const TColor Shadow = FCalendarColors->ColorByIndex(cciDayShadow);
        if (PixDayShadow > 0 && Shadow != clNone)
            DrawFrameRect(C, Rect(PixDayShadow, Top + PixDayShadow, PixWidth + PixDayShadow, Y + PixDayShadow),
                SafeColor(Shadow));
        DrawFrameRect(C, Rect(0, Top, PixWidth, Y), SafeColor(PaintTodayColor()));
    }
    return Y;
}

void TXDCustomVScheduleItem::PaintContent(TBitmap* Bitmap, const TRect&, Cardinal, TColor)
{
    if (!FCalendarLive->ActiveMonth || !FCalendarLive->NextActiveMonth)
        return;
    FCalendarLive->Areas()->Clear();
    TCanvas* C = Bitmap->Canvas();
    PrepareFont(C);
    const Integer B = PixBorderWidth, X0 = B + 4, T = (LineHeight - IconSize) / 2;
    TOwnedPtr<TBitmap> Band;
    if (FCalendarColors->BgColor() != clNone && DesignBitmapFits(BaseWidth, LineHeight) && BaseWidth > 0) {
        Band = MakeOwned<TBitmap>();
        Band->SetPixelFormat(pf32bit);
        Band->SetSize(BaseWidth, LineHeight);
        Band->Fill(SafeColor(FCalendarColors->BgColor()));
    }
    Integer Y = B;
    if (Has(vspQNote) && FCalendarLive->QuickNote) {
        const Integer Top = Y;
        if (Band)
            DrawBitmapAlpha(Bitmap, Band.get(), B, Y, Rect(0, 0, Band->Width(), Band->Height()), 128);
        const String Caption = Lg()->GetWord(2164315818u);
        DrawDayText(C, X0, Y + T, Caption, FCalendarColors->TodayColor());
        AddArea(Caption, u"quick_note", {}, Y);
        Y += LineHeight;
        if (FNoteBitmap->Width() > 0) {
            DrawBitmapAlpha(Bitmap, FNoteBitmap.get(), B, Y, Rect(0, 0, FNoteBitmap->Width(), FNoteBitmap->Height()),
                FNotesAlpha);
            Y += FNoteBitmap->Height();
            const Integer Bottom = FPaintEmpty && FVScheduleParts == SchedulePart(vspQNote) ? PixHeight : Y;
            DrawFrameRect(C, Rect(0, Top, PixWidth, Bottom), 0);
        }
    }
    const bool Many = Has(vspJournals);
    if (!Many && !Has(vspJournal))
        return;
    TXVActiveMonth* Month = FCalendarLive->ActiveMonth;
    bool UsedNext = false;
    TDateTime Day = ScheduleDay;
    bool First = true;
    while (Y + LineHeight < BaseHeight) {
        Word DY = 0, DM = 0, DD = 0;
        DecodeDate(Day, DY, DM, DD);
        if (DM != Month->Month || DY != Month->Year) {
            // The list runs into the next month once, never beyond it.
            if (UsedNext || !Many)
                break;
            Month = FCalendarLive->NextActiveMonth;
            UsedNext = true;
            if (DM != Month->Month || DY != Month->Year)
                break;
        }
        TXVActiveDay* Active = Month->Days(DD);
        const bool Empty = !Active->Journal && Active->Events()->Count() == 0;
        if (!(Many && Empty && !First))
            Y = PaintDay(Bitmap, Band.get(), Active, Y, !Many);
        First = false;
        if (!Many)
            break;
        Day += 1;
    }
}

void TXDCustomVScheduleItem::CollectHitAreas(TXAreaCollection* Areas)
{
    Areas->Clear();
    FCalendarLive->AppendAreas(0, Areas);
}

void TXDCustomVScheduleItem::CopyFrom(TXDesignItem* Source)
{
    if (auto* Other = DynamicCast<TXDCustomVScheduleItem>(Source)) {
        FVScheduleType = Other->FVScheduleType;
        FVScheduleParts = Other->FVScheduleParts;
        FWDay = Other->FWDay;
        FNotesAlpha = Other->FNotesAlpha;
        FPaintEmpty = Other->FPaintEmpty;
    }
    inherited::CopyFrom(Source);
}

// ---- TXDRichTextItem ----

void TXDRichTextItem::Init()
{
    inherited::Init();
    FMetafile = MakeOwned<TMetafile>();
}

void TXDRichTextItem::SetStrProp(Integer Index, const String& Value)
{
    if (Index != 150)
        return inherited::SetStrProp(Index, Value);
    FText = Value;
    GeometryChanged(true);
}

String TXDRichTextItem::GetStrProp(Integer Index) const
{
    return Index == 150 ? FText : inherited::GetStrProp(Index);
}

void TXDRichTextItem::Scale(Integer DPI, Integer ImageDPI)
{
    inherited::Scale(DPI, ImageDPI);
    RenderedHeight = FText.empty() ? 0 : RenderRichTextToMetafile(FText, FMetafile.get(), BaseWidth, { 2, 6, 0, 6 });
}

void TXDRichTextItem::PaintBackground(TBitmap* Bitmap, const TRect&, Cardinal Flags, TColor Key)
{
    const TRect R = Rect(0, 0, PixWidth,
        std::min<Int64>(PixHeight, 2 * Int64(PixBorderWidth) + RenderedHeight + std::abs(PixShadowDY)));
    if (Flags & dpfPlaceholders)
        DrawCrossedBox(Bitmap->Canvas(), R);
    else
        PaintFillAndPicture(Bitmap, R, Flags, Key);
    PaintShadow(Bitmap, R);
    PaintBorder(Bitmap, R, Flags, Key);
}

void TXDRichTextItem::PaintContent(TBitmap* Bitmap, const TRect&, Cardinal, TColor)
{
    if (RenderedHeight > 0)
        FMetafile->Draw(Bitmap, Rect(PixBorderWidth, PixBorderWidth, PixBorderWidth + FMetafile->Width(),
                                    PixBorderWidth + FMetafile->Height()));
}

void TXDRichTextItem::CopyFrom(TXDesignItem* Source)
{
    if (auto* Other = DynamicCast<TXDRichTextItem>(Source)) {
        FText = Other->FText;
        FMetafile = MakeOwned<TMetafile>();
        RenderedHeight = 0;
    }
    inherited::CopyFrom(Source);
}
