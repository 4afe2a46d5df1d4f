#include "gdi/Colors.h"
#include "vcl/ControlsDetail.h"
#include "win/Metrics.h"
#include <algorithm>

void DrawControlText(TCanvas* Canvas, const String& Text, const TRect& R, TColor Color)
{
    if (!Canvas || Text.empty() || R.IsEmpty())
        return;
    TBrush* Brush = Canvas->Brush();
    const TBrushStyle Style = Brush->Style();
    const TColor Old = Canvas->Font()->Color();
    Brush->SetStyle(bsClear);
    Canvas->Font()->SetColor(Color);
    TRect Box = R;
    Canvas->DrawText(Text, Box, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    Canvas->Font()->SetColor(Old);
    Brush->SetStyle(Style);
}

TSize MeasureText(const TFont* Font, const String& Text)
{
    // Measuring needs a font, no pixels: one canvas without a bitmap.
    static TCanvas* Measure = New<TCanvas>();
    Measure->SetFont(const_cast<TFont*>(Font));
    return Measure->TextExtent(Text);
}

void TStripScrollBar::SetRange(Integer Total, Integer Page)
{
    FTotal = std::max(Total, 0);
    FPage = std::max(Page, 1);
    FPosition = std::clamp(FPosition, 0, MaxPosition());
}

bool TStripScrollBar::SetPosition(Integer Value)
{
    Value = std::clamp(Value, 0, MaxPosition());
    if (Value == FPosition)
        return false;
    FPosition = Value;
    return true;
}

TRect TStripScrollBar::Span(const TRect& Strip, Integer From, Integer To) const
{
    return FHorizontal ? TRect { From, Strip.Top, To, Strip.Bottom } : TRect { Strip.Left, From, Strip.Right, To };
}

TRect TStripScrollBar::Thumb(const TRect& Strip) const
{
    const Integer A = Arrow(Strip);
    const Integer Track = std::max(Length(Strip) - 2 * A, 0);
    if (FTotal <= 0 || Track <= 0)
        return {};
    const Integer Size = std::clamp(Integer(Int64(Track) * FPage / FTotal), std::min(8, Track), Track);
    const Integer Room = Track - Size;
    const Integer Max = MaxPosition();
    const Integer Offset = Max > 0 ? Integer(Int64(Room) * FPosition / Max) : 0;
    const Integer From = Start(Strip) + A + Offset;
    return Span(Strip, From, From + Size);
}

void TStripScrollBar::Paint(TCanvas* Canvas, const TRect& Strip) const
{
    TBrush* Brush = Canvas->Brush();
    auto Fill = [&](TRect R, TColor C) {
        Brush->SetColor(C);
        Canvas->FillRect(R);
    };
    const Integer A = Arrow(Strip);
    const Integer End = Start(Strip) + Length(Strip);
    Fill(Strip, cl3DLight);
    // The arrow boxes, each with a small triangle pointing outwards.
    for (bool Back : { true, false }) {
        const TRect Box = Back ? Span(Strip, Start(Strip), Start(Strip) + A) : Span(Strip, End - A, End);
        Fill(Box, clBtnFace);
        const Integer Cx = Box.Left + Box.Width() / 2, Cy = Box.Top + Box.Height() / 2;
        const TColor Ink = Needed() ? clBtnText : clGrayText;
        for (Integer Row = 0; Row < 4; ++Row) {
            const Integer Half = Back ? Row : 3 - Row;
            const Integer At = Row - 2;
            Fill(FHorizontal ? TRect { Cx + At, Cy - Half, Cx + At + 1, Cy + Half + 1 }
                             : TRect { Cx - Half, Cy + At, Cx + Half + 1, Cy + At + 1 },
                Ink);
        }
    }
    if (Needed())
        Fill(Thumb(Strip), clBtnShadow);
}

Integer TStripScrollBar::HitCode(TPoint P, const TRect& Strip) const
{
    if (!Needed() || !InRect(Strip, P))
        return -1;
    const Integer A = Arrow(Strip), At = Along(P), From = Start(Strip);
    if (At < From + A)
        return SB_LINEUP;
    if (At >= From + Length(Strip) - A)
        return SB_LINEDOWN;
    const TRect T = Thumb(Strip);
    if (At < Start(T))
        return SB_PAGEUP;
    if (At >= Start(T) + Length(T))
        return SB_PAGEDOWN;
    return SB_THUMBTRACK;
}

Integer TStripScrollBar::StepPosition(Integer Code) const
{
    Integer To = FPosition;
    switch (Code) {
    case SB_LINEUP: To -= FLineStep; break;
    case SB_LINEDOWN: To += FLineStep; break;
    case SB_PAGEUP: To -= FPage; break;
    case SB_PAGEDOWN: To += FPage; break;
    case SB_TOP: To = 0; break;
    case SB_BOTTOM: To = MaxPosition(); break;
    }
    return std::clamp(To, 0, MaxPosition());
}

void TStripScrollBar::BeginDrag(TPoint P, const TRect& Strip)
{
    FDragging = true;
    FDragOffset = Along(P) - Start(Thumb(Strip));
}

Integer TStripScrollBar::DragPosition(TPoint P, const TRect& Strip) const
{
    const Integer A = Arrow(Strip);
    const Integer Room = std::max(Length(Strip) - 2 * A - Length(Thumb(Strip)), 1);
    const Integer Offset = std::clamp(Along(P) - FDragOffset - (Start(Strip) + A), 0, Room);
    return Integer((Int64(Offset) * MaxPosition() + Room / 2) / Room);
}

bool TStripScrollBar::MouseDown(TPoint P, const TRect& Strip)
{
    const Integer Code = HitCode(P, Strip);
    if (Code < 0)
        return false;
    if (Code == SB_THUMBTRACK) {
        BeginDrag(P, Strip);
        return true;
    }
    return SetPosition(StepPosition(Code));
}

bool TStripScrollBar::MouseMove(TPoint P, const TRect& Strip)
{
    return FDragging && SetPosition(DragPosition(P, Strip));
}
