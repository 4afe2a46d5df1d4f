#include "vcl/ExtCtrls.h"

X_REGISTER_CLASS(TBevel)

void TBevel::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FControlStyle.Exclude(csCaptureMouse).Exclude(csClickEvents);
    FWidth = 50;
    FHeight = 50;
}

void TBevel::SetShape(TBevelShape Value)
{
    if (FShape == Value)
        return;
    FShape = Value;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle Value)
{
    if (FStyle == Value)
        return;
    FStyle = Value;
    Invalidate();
}

void TBevel::Paint()
{
    TCanvas* C = Canvas();
    const TColor Shadow = clBtnShadow;
    const TColor Light = clBtnHighlight;
    const TColor Top = FStyle == TBevelStyle::bsLowered ? Shadow : Light;
    const TColor Bottom = FStyle == TBevelStyle::bsLowered ? Light : Shadow;
    const TRect R = ClientRect();
    TBrush* Brush = C->Brush();
    Brush->SetStyle(bsSolid);
    auto Line = [&](TColor Color, TRect Part) {
        Brush->SetColor(Color);
        C->FillRect(Part);
    };
    switch (FShape) {
    case bsBox: {
        TRect Box = R;
        Frame3D(C, Box, Top, Bottom, 1);
        break;
    }
    case bsFrame: {
        // Two boxes one pixel apart: the groove (or ridge) of a group frame.
        TRect Outer { R.Left, R.Top, R.Right - 1, R.Bottom - 1 };
        TRect Inner { R.Left + 1, R.Top + 1, R.Right, R.Bottom };
        Frame3D(C, Inner, Bottom, Bottom, 1);
        Frame3D(C, Outer, Top, Top, 1);
        break;
    }
    case bsTopLine:
        Line(Top, { R.Left, R.Top, R.Right, R.Top + 1 });
        Line(Bottom, { R.Left, R.Top + 1, R.Right, R.Top + 2 });
        break;
    case bsBottomLine:
        Line(Top, { R.Left, R.Bottom - 2, R.Right, R.Bottom - 1 });
        Line(Bottom, { R.Left, R.Bottom - 1, R.Right, R.Bottom });
        break;
    case bsLeftLine:
        Line(Top, { R.Left, R.Top, R.Left + 1, R.Bottom });
        Line(Bottom, { R.Left + 1, R.Top, R.Left + 2, R.Bottom });
        break;
    case bsRightLine:
        Line(Top, { R.Right - 2, R.Top, R.Right - 1, R.Bottom });
        Line(Bottom, { R.Right - 1, R.Top, R.Right, R.Bottom });
        break;
    case bsSpacer: break;
    }
}
