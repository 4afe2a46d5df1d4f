#include "vcl/ExtCtrls.h"
#include <algorithm>

X_REGISTER_CLASS(TCustomPanel)
X_REGISTER_CLASS(TPanel)

X_MESSAGES(TCustomPanel)
{
    X_MESSAGE(CM_TEXTCHANGED, CMTextChanged);
}

void Frame3D(TCanvas* Canvas, TRect& Rect, TColor TopColor, TColor BottomColor, Integer Width)
{
    TBrush* Brush = Canvas->Brush();
    const TBrushStyle OldStyle = Brush->Style();
    const TColor OldColor = Brush->Color();
    Brush->SetStyle(bsSolid);
    for (Integer I = 0; I < Width && !Rect.IsEmpty(); ++I) {
        const TRect R = Rect;
        Brush->SetColor(TopColor);
        Canvas->FillRect({ R.Left, R.Top, R.Right - 1, R.Top + 1 });
        Canvas->FillRect({ R.Left, R.Top, R.Left + 1, R.Bottom - 1 });
        Brush->SetColor(BottomColor);
        Canvas->FillRect({ R.Right - 1, R.Top, R.Right, R.Bottom });
        Canvas->FillRect({ R.Left, R.Bottom - 1, R.Right, R.Bottom });
        Rect = { R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1 };
    }
    Brush->SetColor(OldColor);
    Brush->SetStyle(OldStyle);
}

void TCustomPanel::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FControlStyle.Include(csAcceptsControls).Include(csOpaque).Include(csSetCaption);
    FWidth = 185;
    FHeight = 41;
}

void TCustomPanel::SetBevelOuter(TBevelCut Value)
{
    if (FBevelOuter == Value)
        return;
    FBevelOuter = Value;
    Realign();
    Invalidate();
}

void TCustomPanel::SetBevelInner(TBevelCut Value)
{
    if (FBevelInner == Value)
        return;
    FBevelInner = Value;
    Realign();
    Invalidate();
}

void TCustomPanel::SetBevelWidth(Integer Value)
{
    Value = std::max(Value, 1);
    if (FBevelWidth == Value)
        return;
    FBevelWidth = Value;
    Realign();
    Invalidate();
}

void TCustomPanel::SetBorderWidth(Integer Value)
{
    Value = std::max(Value, 0);
    if (FBorderWidth == Value)
        return;
    FBorderWidth = Value;
    Realign();
    Invalidate();
}

void TCustomPanel::SetAlignment(TAlignment Value)
{
    FAlignment = Value;
    Invalidate();
}

void TCustomPanel::SetVerticalAlignment(TVerticalAlignment Value)
{
    FVerticalAlignment = Value;
    Invalidate();
}

void TCustomPanel::SetShowCaption(bool Value)
{
    FShowCaption = Value;
    Invalidate();
}

void TCustomPanel::SetParentBackground(bool Value)
{
    if (Value)
        FControlStyle.Include(csParentBackground).Exclude(csOpaque);
    else
        FControlStyle.Exclude(csParentBackground).Include(csOpaque);
    Invalidate();
}

Integer TCustomPanel::FrameWidth() const
{
    return (FBevelOuter != bvNone ? FBevelWidth : 0) + FBorderWidth + (FBevelInner != bvNone ? FBevelWidth : 0);
}

TRect TCustomPanel::InnerRect()
{
    const TRect R = ClientRect();
    const Integer F = FrameWidth();
    return { R.Left + F, R.Top + F, std::max(R.Left + F, R.Right - F), std::max(R.Top + F, R.Bottom - F) };
}

void TCustomPanel::AlignControls(TControl* AControl, TRect& Rect)
{
    const Integer F = FrameWidth();
    Rect = { Rect.Left + F, Rect.Top + F, std::max(Rect.Left + F, Rect.Right - F),
        std::max(Rect.Top + F, Rect.Bottom - F) };
    inherited::AlignControls(AControl, Rect);
}

void TCustomPanel::Paint()
{
    TCanvas* C = Canvas();
    TRect R = ClientRect();
    auto Bevel = [&](TBevelCut Cut) {
        if (Cut == bvNone)
            return;
        const TColor Top = Cut == bvLowered ? clBtnShadow : Cut == bvRaised ? clBtnHighlight : FColor;
        const TColor Bottom = Cut == bvLowered ? clBtnHighlight : Cut == bvRaised ? clBtnShadow : FColor;
        Frame3D(C, R, Top, Bottom, FBevelWidth);
    };
    if (!ParentBackground()) {
        C->Brush()->SetStyle(bsSolid);
        C->Brush()->SetColor(FColor);
        C->FillRect(R);
    }
    Bevel(FBevelOuter);
    R = { R.Left + FBorderWidth, R.Top + FBorderWidth, R.Right - FBorderWidth, R.Bottom - FBorderWidth };
    Bevel(FBevelInner);
    if (!FShowCaption || FText.empty() || R.IsEmpty())
        return;
    static constexpr Cardinal Aligns[] = { DT_LEFT, DT_RIGHT, DT_CENTER };
    static constexpr Cardinal Verticals[] = { DT_TOP, DT_BOTTOM, DT_VCENTER };
    C->Font()->SetColor(FEnabled ? FFont->Color() : TColor(clGrayText));
    C->Brush()->SetStyle(bsClear);
    C->DrawText(FText, R, DT_SINGLELINE | DT_EXPANDTABS | DT_END_ELLIPSIS | Aligns[FAlignment] |
            Verticals[FVerticalAlignment]);
    C->Brush()->SetStyle(bsSolid);
}

void TCustomPanel::CMTextChanged(TMessage& Message)
{
    Invalidate();
}
