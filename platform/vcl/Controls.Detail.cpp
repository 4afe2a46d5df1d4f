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

TRect TStripScrollBar::Thumb(const TRect& Strip) const
{
    const Integer Arrow = Strip.Width();
    const Integer Track = std::max(Strip.Height() - 2 * Arrow, 0);
    if (FTotal <= 0 || Track <= 0)
        return {};
    const Integer Length = std::clamp(Integer(Int64(Track) * FPage / FTotal), std::min(8, Track), Track);
    const Integer Room = Track - Length;
    const Integer Max = MaxPosition();
    const Integer Offset = Max > 0 ? Integer(Int64(Room) * FPosition / Max) : 0;
    return { Strip.Left, Strip.Top + Arrow + Offset, Strip.Right, Strip.Top + Arrow + Offset + Length };
}

void TStripScrollBar::Paint(TCanvas* Canvas, const TRect& Strip) const
{
    TBrush* Brush = Canvas->Brush();
    auto Fill = [&](TRect R, TColor C) {
        Brush->SetColor(C);
        Canvas->FillRect(R);
    };
    const Integer Arrow = Strip.Width();
    Fill(Strip, cl3DLight);
    // The arrow boxes, each with a small triangle.
    for (bool Up : { true, false }) {
        const TRect Box = Up ? TRect { Strip.Left, Strip.Top, Strip.Right, Strip.Top + Arrow }
                             : TRect { Strip.Left, Strip.Bottom - Arrow, Strip.Right, Strip.Bottom };
        Fill(Box, clBtnFace);
        const Integer Cx = Box.Left + Box.Width() / 2, Cy = Box.Top + Box.Height() / 2;
        for (Integer Row = 0; Row < 4; ++Row) {
            const Integer Half = Up ? Row : 3 - Row;
            Fill({ Cx - Half, Cy - 2 + Row, Cx + Half + 1, Cy - 1 + Row }, FTotal > FPage ? clBtnText : clGrayText);
        }
    }
    if (Needed())
        Fill(Thumb(Strip), clBtnShadow);
}

bool TStripScrollBar::MouseDown(TPoint P, const TRect& Strip)
{
    if (!Needed())
        return false;
    const Integer Arrow = Strip.Width();
    if (P.Y < Strip.Top + Arrow)
        return SetPosition(FPosition - 1);
    if (P.Y >= Strip.Bottom - Arrow)
        return SetPosition(FPosition + 1);
    const TRect T = Thumb(Strip);
    if (P.Y < T.Top)
        return SetPosition(FPosition - FPage);
    if (P.Y >= T.Bottom)
        return SetPosition(FPosition + FPage);
    FDragging = true;
    FDragOffset = P.Y - T.Top;
    return true;
}

bool TStripScrollBar::MouseMove(TPoint P, const TRect& Strip)
{
    if (!FDragging)
        return false;
    const Integer Arrow = Strip.Width();
    const TRect T = Thumb(Strip);
    const Integer Room = std::max(Strip.Height() - 2 * Arrow - T.Height(), 1);
    const Integer Top = std::clamp(P.Y - FDragOffset - (Strip.Top + Arrow), 0, Room);
    return SetPosition(Integer((Int64(Top) * MaxPosition() + Room / 2) / Room));
}
