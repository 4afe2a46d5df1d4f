#include "calendar_designs/XDesign.Month.h"
#include "calendar_designs/XDesign.DateText.h"
#include "calendar_designs/XDesign.Defaults.h"
#include "calendar_designs/XDesign.Page.h"
#include "core/XCore.DateTime.h"
#include "core/XCore.Strings.h"
#include "core/XCore.Types.h"
#include "core/XSpark.Lg.h"
#include "graphics/XMedia.Drawing.h"
#include "graphics/XMedia.Pixels.h"
#include "rtl/DateTime.h"
#include <cmath>

X_REGISTER_CLASS(TXDWeekMonthItem)
X_REGISTER_CLASS(TXDMonthItem)

X_PUBLISHED(TXDWeekMonthItem)
{
    using namespace XDesignProps;
    X_PROP_READONLY(CalendarColors, CalendarColors);
    X_PROP(Font, Font, SetFont);
    Int(D, u"DayShadow", 150).Default(0);
    Int(D, u"MonthGrid", 151).Default(0);
    Bool(D, u"SkipToday", 150).Default(false);
    X_PROP(MonthLength, MonthLength, SetMonthLength).Default(mtLong);
    X_PROP(DayLength, DayLength, SetDayLength).Default(dtLetter);
}

X_PUBLISHED(TXDMonthItem)
{
    using namespace XDesignProps;
    X_PROP(MonthType, MonthType, SetMonthType).Default(mtBox);
    Int(D, u"Month", 200).Default(0);
    Int(D, u"Year", 201).Default(0);
    Int(D, u"DatePos", 202).Default(5);
    Int(D, u"DaySpace", 203).Default(2);
}

namespace {

const String Digit8 = u"8";
const String TallText = u"Wq\u0160";

void FillIn(TCanvas* C, const TRect& R, TColor Color)
{
    if (Color == clNone)
        return;
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(SafeColor(Color));
    C->FillRect(R);
}

String DateArgs(Integer Year, Integer Month, Integer Day)
{
    return xStr::ZeroPadInt(Year, 4) + xStr::ZeroPadInt(Month, 2) + xStr::ZeroPadInt(Day, 2);
}

}

// ---- TXDWeekMonthItem ----

void TXDWeekMonthItem::Init()
{
    inherited::Init();
    FCalendarColors.reset(New<TXCalendarColors>());
    FCalendarColors->SetDefaults();
    FFont = MakeOwned<TFont>();
    FFont->SetName(u"Arial");
    QVLocale()->GetUserFormatSettings(FormatSettings);
}

void TXDWeekMonthItem::SetFont(TFont* Value)
{
    if (Value)
        FFont->Assign(Value);
    GeometryChanged(true);
}

void TXDWeekMonthItem::SetMonthLength(TXDMonthLength Value)
{
    if (FMonthLength == Value)
        return;
    FMonthLength = Value;
    LookChanged();
}

void TXDWeekMonthItem::SetDayLength(TXDDayLength Value)
{
    if (FDayLength == Value)
        return;
    FDayLength = Value;
    GeometryChanged(true);
}

void TXDWeekMonthItem::SetIntProp(Integer Index, Integer Value)
{
    Integer* Field = Index == 150 ? &FDayShadow : Index == 151 ? &FMonthGrid : nullptr;
    if (!Field)
        return inherited::SetIntProp(Index, Value);
    if (*Field == Value && Index == 150)
        return;
    *Field = Value;
    LookChanged();
}

Integer TXDWeekMonthItem::GetIntProp(Integer Index) const
{
    return Index == 150 ? FDayShadow : Index == 151 ? FMonthGrid : inherited::GetIntProp(Index);
}

void TXDWeekMonthItem::SetBoolProp(Integer Index, bool Value)
{
    if (Index != 150)
        return inherited::SetBoolProp(Index, Value);
    if (FSkipToday == Value)
        return;
    FSkipToday = Value;
    LookChanged();
}

bool TXDWeekMonthItem::GetBoolProp(Integer Index) const
{
    return Index == 150 ? FSkipToday : inherited::GetBoolProp(Index);
}

bool TXDWeekMonthItem::HasNoBackground() const
{
    return (FPage && FPage->CalendarUnderlay) || FBgColor == clNone;
}

void TXDWeekMonthItem::TakeFormatSettings(const TXFormatSettings& Settings)
{
    FormatSettings = Settings;
}

void TXDWeekMonthItem::Scale(Integer DPI, Integer ImageDPI)
{
    inherited::Scale(DPI, ImageDPI);
    ResolveAnchors();
    PixDayShadow = AtLeastOnePixel(DPI, FDayShadow);
    PixMonthGrid = AtLeastOnePixel(DPI, FMonthGrid);
}

TColor TXDWeekMonthItem::PaintTodayColor() const
{
    return FSkipToday ? clNone : FCalendarColors->TodayColor();
}

void TXDWeekMonthItem::DrawDayText(TCanvas* Canvas, Integer X, Integer Y, const String& Text, TColor Color) const
{
    if (Color == clNone)
        return;
    Canvas->Brush()->SetStyle(bsClear);
    const TColor Shadow = FCalendarColors->ColorByIndex(cciDayShadow);
    if (PixDayShadow > 0 && Shadow != clNone) {
        Canvas->Font()->SetColor(SafeColor(Shadow));
        DrawTextAt(Canvas, X + PixDayShadow, Y + PixDayShadow, TextQuality(), Text);
    }
    Canvas->Font()->SetColor(SafeColor(Color));
    DrawTextAt(Canvas, X, Y, TextQuality(), Text);
}

void TXDWeekMonthItem::DrawTodayFrame(TCanvas* Canvas, const TRect& R) const
{
    const TColor Today = PaintTodayColor();
    if (Today == clNone)
        return;
    Canvas->Brush()->SetStyle(bsClear);
    Canvas->Pen()->SetWidth(1);
    const TColor Shadow = FCalendarColors->ColorByIndex(cciDayShadow);
    if (PixDayShadow > 0 && Shadow != clNone) {
        Canvas->Pen()->SetColor(SafeColor(Shadow));
        Canvas->Rectangle(R.Left + PixDayShadow, R.Top + PixDayShadow, R.Right + PixDayShadow, R.Bottom + PixDayShadow);
    }
    Canvas->Pen()->SetColor(SafeColor(Today));
    Canvas->Rectangle(R);
}

const std::array<String, 7>& TXDWeekMonthItem::DayNames() const
{
    return FDayLength == dtLong ? FormatSettings.LongDayNames
        : FDayLength == dtShort ? FormatSettings.ShortDayNames
                                : FormatSettings.UltraShortDayNames;
}

String TXDWeekMonthItem::MonthName(Integer Month) const
{
    const size_t M = size_t(std::clamp(Month, 1, 12) - 1);
    return FMonthLength == mtShort ? FormatSettings.ShortMonthNames[M] : FormatSettings.LongMonthNames[M];
}

void TXDWeekMonthItem::CopyFrom(TXDesignItem* Source)
{
    if (auto* Other = DynamicCast<TXDWeekMonthItem>(Source)) {
        FCalendarColors->Assign(Other->FCalendarColors.get());
        FFont->Assign(Other->FFont.get());
        FDayShadow = Other->FDayShadow;
        FMonthGrid = Other->FMonthGrid;
        FSkipToday = Other->FSkipToday;
        FMonthLength = Other->FMonthLength;
        FDayLength = Other->FDayLength;
        FormatSettings = Other->FormatSettings;
    }
    inherited::CopyFrom(Source);
}

// ---- TXDMonthItem ----

void TXDMonthItem::Init()
{
    inherited::Init();
    FMonthLive.reset(New<TXDMonthLive>());
}

void TXDMonthItem::SetMonthType(TXDMonthType Value)
{
    if (FMonthType == Value)
        return;
    FMonthType = Value;
    GeometryChanged(true);
}

void TXDMonthItem::SetIntProp(Integer Index, Integer Value)
{
    Integer* Field = Index == 200 ? &FMonth : Index == 201 ? &FYear : Index == 202 ? &FDatePos : Index == 203 ? &FDaySpace : nullptr;
    if (!Field)
        return inherited::SetIntProp(Index, Value);
    if (*Field == Value && Index == 202)
        return;
    *Field = Value;
    LookChanged();
}

Integer TXDMonthItem::GetIntProp(Integer Index) const
{
    switch (Index) {
    case 200: return FMonth;
    case 201: return FYear;
    case 202: return FDatePos;
    case 203: return FDaySpace;
    default: return inherited::GetIntProp(Index);
    }
}

void TXDMonthItem::TakeDate(Word, Word Month, Integer Year)
{
    const TXRelativeDateRule Rule { std::int16_t(std::clamp(FMonth, -32768, 32767)),
        std::int16_t(std::clamp(FYear, -32768, 32767)) };
    ResolveRelativeMonthYear(Rule, Month, Year, DisplayYear, DisplayMonth);
}

Integer TXDMonthItem::DayCount() const
{
    if (DisplayYear < 1 || DisplayYear > 9999 || DisplayMonth < 1 || DisplayMonth > 12)
        return 0;
    return DaysInAMonth(Word(DisplayYear), Word(DisplayMonth));
}

void TXDMonthItem::TakeCalendarEngine(TXVActiveCalendarEngine* Engine)
{
    if (!Engine || !Engine->EnsureMonth(DisplayYear, DisplayMonth))
        return;
    Engine->IndexOfYear(DisplayYear);
    for (Integer D = 1; D <= DayCount(); ++D) {
        TXVActiveDay* A = Engine->Day(DisplayYear, DisplayMonth, D);
        if (!A)
            break;
        TXDDayLiveObject* Live = FMonthLive->Days(D);
        Live->Flagged = A->IsHoliday;
        Live->DayTextColor = A->TextColor;
        Live->DayBgColor = A->BgColor;
        const String Args = DateArgs(DisplayYear, DisplayMonth, D);
        if (A->Journal) {
            Live->Hint = A->Journal->GetDisplayText();
            if (Live->Hint.empty())
                Live->Hint = FormatDesignDate(FormatSettings.ShortDateFormat, A->Date, FormatSettings);
            if (A->Journal->Image()->Size() > 0)
                Live->AddArea(Live->Hint, u"calendar_day", A->Journal->Image(), Args);
        } else
            Live->Hint = Lg()->GetWord(2264975954u);
        for (TXVActiveEventObject* E : *A->Events()) {
            TXCustomVEventObject* Object = E->Event;
            if (!Object || Object->Image()->Size() == 0)
                continue;
            const bool Holiday = DynamicCast<TXVHolidayObject>(Object) != nullptr;
            Live->AddArea(Object->GetDisplayText(), Holiday ? u"calendar_holiday" : u"calendar_event", Object->Image(),
                Object->UID());
        }
    }
}

void TXDMonthItem::ApplyDataDefaults()
{
    FMonthLive->Clear();
    if (FPage) {
        for (const char16_t* Name : { u"Date", u"Format", u"VCalendar" })
            if (TXDDefaultItem* Default = FPage->DefaultList()->FindByName(Name))
                Assign(Default);
        ShowEntries = FPage->ShowDayRows;
    }
    EntryRows = ShowEntries ? std::min(FMonthLive->MaxAreas(), 2) : 0;
    inherited::ApplyDataDefaults();
}

void TXDMonthItem::TakeCalendarColors()
{
    FBgColor = IsClear() ? clNone : FCalendarColors->BgColor();
    if (FBorderStyle == bsBlendLowered || FBorderStyle == bsBlendRaised)
        FBorderColor = FCalendarColors->BgColor();
}

Integer TXDMonthItem::WidestName(TCanvas* C) const
{
    Integer W = 0;
    for (const String& N : DayNames())
        W = std::max(W, C->TextWidth(N));
    return W;
}

void TXDMonthItem::ScaleBox(TCanvas* C)
{
    CellWidth = BaseWidth / 7;
    CellHeight = BaseHeight / 8;
    DayFontHeight = std::min(SaturateToInteger(CellHeight * 0.8), MaxDayFontHeight);
    C->Font()->SetHeight(DayFontHeight);
    while (C->TextWidth(u"888!") > CellWidth && std::abs(DayFontHeight) > 5)
        C->Font()->SetHeight(--DayFontHeight);
    TextHeight = C->TextHeight(TallText);
    DigitWidth = C->TextWidth(Digit8);
    IconSize = SaturateToInteger(TextHeight * 0.45);
    if (IconSize < 16)
        IconSize = std::min(SaturateToInteger(CellHeight * 0.5), SaturateToInteger(DigitWidth * 2.0));
}

void TXDMonthItem::ScaleHorz(TCanvas* C)
{
    const Integer Column = BaseWidth / 31;
    DayFontHeight = std::min(Integer(BaseHeight / 2.7), MaxDayFontHeight);
    Integer W = 0;
    do {
        C->Font()->SetHeight(--DayFontHeight);
        W = 3 * C->TextWidth(Digit8);
        for (const String& N : DayNames())
            W = std::max(W, C->TextWidth(N + Digit8));
    } while (DayFontHeight > 1 && Column < W);
    TextHeight = C->TextHeight(TallText);
    DigitWidth = C->TextWidth(Digit8);
    IconSize = TextHeight;
    BaseHeight = SaturateToInteger(Int64(TextHeight * 2.5) + Int64(TextHeight) * EntryRows);
}

void TXDMonthItem::ScaleVert(TCanvas* C)
{
    DayFontHeight = std::min(BaseHeight / 31, MaxDayFontHeight);
    Integer H = 0;
    do {
        C->Font()->SetHeight(--DayFontHeight);
        if (DayFontHeight / 4 < PixDaySpace)
            PixDaySpace = SaturateToInteger(DayFontHeight / 4.0);
        H = 0;
        for (const String& N : DayNames())
            H = std::max(H, C->TextHeight(N));
    } while (DayFontHeight > 1 && 62 * Int64(PixDaySpace) + 31 * Int64(H) >= BaseHeight);
    Integer W = WidestName(C);
    TextHeight = C->TextHeight(TallText);
    DigitWidth = C->TextWidth(Digit8);
    W += 5 * DigitWidth + ((FFont->Style() & StyleBit(fsItalic)) ? DigitWidth / 2 : 0);
    IconSize = SaturateToInteger(TextHeight * 0.75);
    BaseWidth = SaturateToInteger(Int64(IconSize) * EntryRows + W);
}

void TXDMonthItem::Scale(Integer DPI, Integer ImageDPI)
{
    TakeCalendarColors();
    inherited::Scale(DPI, ImageDPI);
    const Word D = Word(std::clamp(DPI, 0, 65535));
    DayFontHeight = DPI != 0 ? HiMetricToPixels(D, 25) : SaturateToInteger(ScreenPixelsPerInch * 16 / 72.0);
    PixDaySpace = DPI != 0 ? HiMetricToPixels(D, SaturateToInteger(Int64(FDaySpace) * 10)) : FDaySpace;
    TOwnedPtr<TBitmap> Work(MakeOwned<TBitmap>());
    Work->SetSize(10, 10);
    TCanvas* C = Work->Canvas();
    C->Font()->Assign(FFont.get());
    if (IsBox())
        ScaleBox(C);
    else if (IsHorz())
        ScaleHorz(C);
    else
        ScaleVert(C);
    ResetSize();
}

Integer TXDMonthItem::WeekdayOf(Integer Day) const
{
    TDateTime T = 0;
    if (!TryEncodeDate(Word(DisplayYear), Word(DisplayMonth), Word(Day), T))
        return 0;
    return DayOfTheWeek(T);
}

Integer TXDMonthItem::FirstColumn() const
{
    const Integer F = std::clamp(FormatSettings.FirstDay, 1, 7);
    return (WeekdayOf(1) - F + 7) % 7;
}

bool TXDMonthItem::IsToday(Integer Day) const
{
    TDateTime T = 0;
    return TryEncodeDate(Word(DisplayYear), Word(DisplayMonth), Word(Day), T) && T == std::floor(Date());
}

TColor TXDMonthItem::DayBgColor(Integer Day) const
{
    const TXDDayLiveObject* Live = FMonthLive->Days(Day);
    if (Live->Flagged)
        return Live->DayTextColor != clNone && Live->DayBgColor != clNone ? Live->DayBgColor
                                                                          : FCalendarColors->ColorByIndex(cciHolidayBg);
    const Integer W = WeekdayOf(Day);
    return W == 6 ? FCalendarColors->ColorByIndex(cciSaturdayBg)
        : W == 7  ? FCalendarColors->ColorByIndex(cciSundayBg)
                  : clNone;
}

TColor TXDMonthItem::DayTextColor(Integer Day, bool Today) const
{
    if (Today && PaintTodayColor() != clNone)
        return PaintTodayColor();
    const TXDDayLiveObject* Live = FMonthLive->Days(Day);
    if (Live->Flagged)
        return Live->DayTextColor != clNone && Live->DayBgColor != clNone ? Live->DayTextColor
                                                                          : FCalendarColors->ColorByIndex(cciHoliday);
    const Integer W = WeekdayOf(Day);
    return FCalendarColors->ColorByIndex(W == 6 ? cciSaturday : W == 7 ? cciSunday : cciDay);
}

void TXDMonthItem::PaintBackground(TBitmap* Bitmap, const TRect&, Cardinal Flags, TColor Key)
{
    TakeCalendarColors();
    TCanvas* C = Bitmap->Canvas();
    const TRect Whole = Rect(0, 0, PixWidth, PixHeight);
    if (Flags & dpfPlaceholders)
        DrawCrossedBox(C, Whole);
    else
        PaintFillAndPicture(Bitmap, Whole, Flags, Key);
    if (FBorderStyle == bsFlat) {
        PaintShadow(Bitmap, Whole);
        PaintBorder(Bitmap, Whole, Flags, Key);
    }
    const Integer B = PixBorderWidth, BW = BaseWidth, BH = BaseHeight;
    const Integer Sx = std::abs(PixShadowDX), Sy = std::abs(PixShadowDY);
    const Integer N = DayCount();
    const TColor SatBg = FCalendarColors->ColorByIndex(cciSaturdayBg);
    const TColor SunBg = FCalendarColors->ColorByIndex(cciSundayBg);
    if (IsBox()) {
        const Integer cw = BW / 7, ch = BH / 8;
        const Integer F = std::clamp(FormatSettings.FirstDay, 1, 7);
        FillIn(C, Rect(B, B, B + BW, B + 2 * ch + 1), SatBg);
        for (Integer Col = 1; Col <= 7; ++Col) {
            const Integer W = (F - 1 + Col - 1) % 7 + 1;
            if (W < 6)
                continue;
            const Integer Right = Col == 7 ? B + BW : B + Col * cw + 1;
            FillIn(C, Rect(B + (Col - 1) * cw, B, Right, B + BH), W == 6 ? SatBg : SunBg);
        }
        FillIn(C, Rect(B, B, B + BW, B + ch + 1), SunBg);
        Integer Col = FirstColumn(), Y = B + 2 * ch;
        for (Integer Day = 1; Day <= N; ++Day) {
            const Integer X = B + Col * cw;
            if (FMonthLive->Days(Day)->Flagged)
                FillIn(C, Rect(X, Y, Col == 6 ? B + BW : X + cw, Y + ch), DayBgColor(Day));
            if (++Col == 7) {
                Col = 0;
                Y += ch;
            }
        }
        if (PixMonthGrid > 0) {
            const Integer h = PixMonthGrid / 2, r = PixMonthGrid - h;
            const TColor Grid = FCalendarColors->ColorByIndex(cciGrid);
            for (Integer J = 1; J <= 6; ++J)
                FillIn(C, Rect(B + J * cw - h, B + ch, B + J * cw + r + 1, B + BH), Grid);
            for (Integer J = 1; J <= 7; ++J)
                FillIn(C, Rect(B, B + J * ch - h, B + BW, B + J * ch + r + 1), Grid);
        }
    } else if (IsHorz() && N > 0) {
        const Integer c = BW / N, o = (PixWidth - Sx - N * c) / 2;
        for (Integer I = 1; I <= N; ++I)
            FillIn(C, Rect(o + (I - 1) * c, B, o + I * c, PixHeight - Sy), DayBgColor(I));
    } else {
        const Integer rh = TextHeight + 2 * PixDaySpace;
        for (Integer I = 1; I <= N; ++I)
            FillIn(C, Rect(0, B + (I - 1) * rh, PixWidth - Sx, B + I * rh), DayBgColor(I));
    }
    if (FBorderStyle != bsFlat) {
        PaintShadow(Bitmap, Whole);
        PaintBorder(Bitmap, Whole, Flags, Key);
    }
}

void TXDMonthItem::PaintEntry(TCanvas* C, Integer Day, Integer Index, const TRect& R)
{
    TXHitImageAreaItem* Area = FMonthLive->Days(Day)->Areas()->GetItem(Index);
    DrawImageObjectStretch(C, R, Area->Image(), FPage ? FPage->Kernel() : nullptr);
    Area->SetRect(Rect(R.Left + PixLeft, R.Top + PixTop, R.Right + PixLeft, R.Bottom + PixTop));
}

void TXDMonthItem::PaintBox(TCanvas* C)
{
    const Integer B = PixBorderWidth, cw = CellWidth, ch = CellHeight, TH = TextHeight;
    const Integer v = std::max(0, SaturateToInteger((ch - TH) / 2.0));
    const Integer F = std::clamp(FormatSettings.FirstDay, 1, 7);
    DrawDayText(C, B + ch / 4, B + v, MonthName(DisplayMonth) + u" " + IntToStr(DisplayYear),
        FCalendarColors->ColorByIndex(cciSunday));
    Integer H = DayFontHeight;
    while (WidestName(C) > cw - PixMonthGrid && std::abs(H) > 5)
        C->Font()->SetHeight(--H);
    for (Integer Col = 1; Col <= 7; ++Col) {
        const Integer W = (F - 1 + Col - 1) % 7 + 1;
        const String& Name = DayNames()[size_t(W - 1)];
        const Integer X = (Col - 1) * cw + B + std::max(0, (cw - C->TextWidth(Name)) / 2);
        DrawDayText(C, X, B + v + ch, Name,
            FCalendarColors->ColorByIndex(W == 6 ? cciSaturday : W == 7 ? cciSunday : cciDay));
    }
    C->Font()->SetHeight(DayFontHeight);
    // Outside 1 to 9 the number sits in the centre.
    const Integer Pos = FDatePos >= 1 && FDatePos <= 9 ? FDatePos : 5;
    Integer DY = v;
    if (Pos != 5) {
        C->Font()->SetHeight(std::abs(DayFontHeight) / 2);
        const Integer Tall = C->TextHeight(TallText);
        DY = Pos <= 3 ? ch / 10 : Pos <= 6 ? SaturateToInteger((ch - Tall) / 2.0) : ch - ch / 10 - Tall;
    }
    Integer Col = FirstColumn(), Y0 = B + 2 * ch;
    for (Integer Day = 1; Day <= DayCount(); ++Day) {
        const Integer X = B + Col * cw;
        if (ShowEntries) {
            const Integer Shown = std::min(FMonthLive->Days(Day)->Areas()->Count(), 2);
            for (Integer E = 0; E < Shown; ++E)
                PaintEntry(C, Day, E, Rect(X, Y0 + E * IconSize, X + IconSize, Y0 + (E + 1) * IconSize));
        }
        const String Number = IntToStr(Day);
        const Integer W = C->TextWidth(Number);
        const Integer DX = (Pos - 1) % 3 == 1 ? (cw - W) / 2 : (Pos - 1) % 3 == 2 ? cw - ch / 10 - W : ch / 10;
        const bool Today = IsToday(Day);
        DrawDayText(C, X + DX, Y0 + DY, Number, DayTextColor(Day, Today));
        if (Today)
            DrawTodayFrame(C, Rect(X, Y0, X + cw, Y0 + ch));
        if (++Col == 7) {
            Col = 0;
            Y0 += ch;
        }
    }
}

void TXDMonthItem::PaintHorz(TCanvas* C)
{
    const Integer N = DayCount();
    if (N == 0)
        return;
    const Integer B = PixBorderWidth, TH = TextHeight, Sx = std::abs(PixShadowDX), Sy = std::abs(PixShadowDY);
    const Integer c = BaseWidth / N, o = (PixWidth - Sx - N * c) / 2;
    const Integer R = IconSize * EntryRows;
    const Integer q = (PixHeight - 2 * TH - 2 * B - Sy - R) / 4;
    for (Integer I = 1; I <= N; ++I) {
        const Integer Left = o + (I - 1) * c;
        const Integer W = WeekdayOf(I);
        const String& Name = DayNames()[size_t(std::clamp(W, 1, 7) - 1)];
        const bool Today = IsToday(I);
        DrawDayText(C, Left + (c - C->TextWidth(Name)) / 2, q + R + B, Name, DayTextColor(I, Today));
        const String Number = IntToStr(I);
        DrawDayText(C, Left + (c - C->TextWidth(Number)) / 2, 3 * q + TH + R + B, Number, DayTextColor(I, Today));
        if (Today)
            DrawTodayFrame(C, Rect(Left, 0, Left + c, PixHeight - Sy));
    }
}

void TXDMonthItem::PaintVert(TCanvas* C)
{
    const Integer B = PixBorderWidth, D = DigitWidth, rh = TextHeight + 2 * PixDaySpace;
    const Integer W = WidestName(C);
    for (Integer I = 1; I <= DayCount(); ++I) {
        const Integer Y = (I - 1) * rh + B + PixDaySpace;
        const Integer Wd = WeekdayOf(I);
        const bool Today = IsToday(I);
        DrawDayText(C, B + D, Y, DayNames()[size_t(std::clamp(Wd, 1, 7) - 1)], DayTextColor(I, Today));
        DrawDayText(C, B + 2 * D + W, Y, IntToStr(I), DayTextColor(I, Today));
        if (ShowEntries) {
            const Integer Shown = std::min(FMonthLive->Days(I)->Areas()->Count(), 2);
            const Integer IY = (rh - IconSize) / 2 + (I - 1) * rh + B;
            const Integer X0 = SaturateToInteger(4.5 * D) + W + B, X1 = 5 * D + W + B + IconSize;
            for (Integer E = 0; E < Shown; ++E) {
                const Integer X = E == 0 ? X0 : X1;
                PaintEntry(C, I, E, Rect(X, IY, X + IconSize, IY + IconSize));
            }
        }
        if (Today)
            DrawTodayFrame(C, Rect(0, B + (I - 1) * rh, PixWidth, B + I * rh));
    }
}

void TXDMonthItem::PaintContent(TBitmap* Bitmap, const TRect&, Cardinal, TColor)
{
    TCanvas* C = Bitmap->Canvas();
    C->Brush()->SetStyle(bsClear);
    C->Font()->Assign(FFont.get());
    C->Font()->SetHeight(DayFontHeight);
    if (IsBox())
        PaintBox(C);
    else if (IsHorz())
        PaintHorz(C);
    else
        PaintVert(C);
}

void TXDMonthItem::CollectHitAreas(TXAreaCollection* Areas)
{
    Areas->Clear();
    const Integer B = PixBorderWidth, N = DayCount();
    auto AddDay = [&](Integer Day, const TRect& R) {
        auto* Area = static_cast<TXHitAreaItem*>(Areas->Add());
        Area->SetHit(xhtCustom);
        Area->SetHint(FMonthLive->Days(Day)->Hint);
        Area->SetCommand(u"calendar_day");
        Area->SetArgs(DateArgs(DisplayYear, DisplayMonth, Day));
        Area->SetRect(Rect(R.Left + PixLeft, R.Top + PixTop, R.Right + PixLeft, R.Bottom + PixTop));
    };
    if (IsBox()) {
        const Integer cw = BaseWidth / 7, ch = BaseHeight / 8;
        Integer Col = FirstColumn(), Y = B + 2 * ch;
        for (Integer Day = 1; Day <= N; ++Day) {
            const Integer X = B + Col * cw, X2 = Col == 6 ? B + BaseWidth : X + cw;
            AddDay(Day, Rect(X + IconSize + 2, Y + 2, X2 - 2, Y + ch - 2));
            if (++Col == 7) {
                Col = 0;
                Y += ch;
            }
        }
    } else if (IsHorz() && N > 0) {
        const Integer c = BaseWidth / N, o = (PixWidth - std::abs(PixShadowDX) - N * c) / 2;
        for (Integer I = 1; I <= N; ++I)
            AddDay(I, Rect(o + (I - 1) * c + 2, B + 2, o + I * c - 2, PixHeight - std::abs(PixShadowDY) - 2));
    } else if (N > 0) {
        TOwnedPtr<TBitmap> Work(MakeOwned<TBitmap>());
        Work->SetSize(10, 10);
        Work->Canvas()->Font()->Assign(FFont.get());
        Work->Canvas()->Font()->SetHeight(DayFontHeight);
        const Integer W = WidestName(Work->Canvas()), rh = TextHeight + 2 * PixDaySpace;
        for (Integer I = 1; I <= N; ++I)
            AddDay(I, Rect(2, (I - 1) * rh + B + 2, W + B + 4 * DigitWidth, I * rh + B - 2));
    }
    FMonthLive->AppendAreas(2, Areas);
}

void TXDMonthItem::CopyFrom(TXDesignItem* Source)
{
    if (auto* Other = DynamicCast<TXDMonthItem>(Source)) {
        FDatePos = Other->FDatePos;
        FDaySpace = Other->FDaySpace;
        FMonth = Other->FMonth;
        FYear = Other->FYear;
        FMonthType = Other->FMonthType;
        DisplayMonth = Other->DisplayMonth;
        DisplayYear = Other->DisplayYear;
    }
    inherited::CopyFrom(Source);
}
