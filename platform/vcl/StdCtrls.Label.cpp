#include "gdi/Canvas.h"
#include "vcl/StdCtrls.h"

X_REGISTER_CLASS(TCustomLabel)
X_REGISTER_CLASS(TLabel)

X_MESSAGES(TCustomLabel)
{
    X_MESSAGE(CM_TEXTCHANGED, CMTextChanged);
    X_MESSAGE(CM_FONTCHANGED, CMFontChanged);
}

void TCustomLabel::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FControlStyle.Include(csOpaque).Include(csReplicatable);
    FControlStyle.Exclude(csCaptureMouse);
    FWidth = 65;
    FHeight = 17;
}

void TCustomLabel::SetAlignment(TAlignment Value)
{
    if (FAlignment == Value)
        return;
    FAlignment = Value;
    Invalidate();
}

void TCustomLabel::SetAutoSize(bool Value)
{
    if (FAutoSize == Value)
        return;
    FAutoSize = Value;
    AdjustBounds();
}

void TCustomLabel::SetLayout(TTextLayout Value)
{
    if (FLayout == Value)
        return;
    FLayout = Value;
    Invalidate();
}

void TCustomLabel::SetWordWrap(bool Value)
{
    if (FWordWrap == Value)
        return;
    FWordWrap = Value;
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::SetTransparent(bool Value)
{
    if (Transparent() == Value)
        return;
    if (Value)
        FControlStyle.Exclude(csOpaque);
    else
        FControlStyle.Include(csOpaque);
    Invalidate();
}

void TCustomLabel::SetEllipsisPosition(TEllipsisPosition Value)
{
    if (FEllipsisPosition == Value)
        return;
    FEllipsisPosition = Value;
    Invalidate();
}

Cardinal TCustomLabel::DrawTextFlags() const
{
    static constexpr Cardinal Aligns[] = { DT_LEFT, DT_RIGHT, DT_CENTER };
    static constexpr Cardinal Ellipses[] = { 0, DT_PATH_ELLIPSIS, DT_END_ELLIPSIS, DT_WORD_ELLIPSIS };
    Cardinal Flags = DT_EXPANDTABS | Aligns[FAlignment] | Ellipses[FEllipsisPosition];
    if (FWordWrap)
        Flags |= DT_WORDBREAK;
    return Flags;
}

TCanvas* TCustomLabel::MeasureCanvas()
{
    if (!FMeasure)
        FMeasure = MakeOwned<TCanvas>();
    FMeasure->SetFont(FFont.get());
    return FMeasure.get();
}

void TCustomLabel::DoDrawText(TRect& Rect, Cardinal Flags)
{
    TCanvas* Target = (Flags & DT_CALCRECT) ? MeasureCanvas() : Canvas();
    Target->SetFont(FFont.get());
    // An empty line still takes a line's height.
    const String Text = FText.empty() && (Flags & DT_CALCRECT) ? String(u" ") : FText;
    if (!FEnabled) {
        // The disabled look: the text in the highlight, then the shadow
        // over it a pixel up and left.
        TRect Lower { Rect.Left + 1, Rect.Top + 1, Rect.Right + 1, Rect.Bottom + 1 };
        Target->Font()->SetColor(clBtnHighlight);
        Target->DrawText(Text, Lower, Flags);
        Target->Font()->SetColor(clBtnShadow);
    }
    Target->DrawText(Text, Rect, Flags);
}

void TCustomLabel::Paint()
{
    TCanvas* C = Canvas();
    TRect R = ClientRect();
    if (!Transparent()) {
        C->Brush()->SetColor(FColor);
        C->Brush()->SetStyle(bsSolid);
        C->FillRect(R);
    }
    C->Brush()->SetStyle(bsClear);
    Cardinal Flags = DrawTextFlags();
    if (FLayout != tlTop) {
        // Measured first, then moved down inside the client area.
        TRect Calc = R;
        DoDrawText(Calc, Flags | DT_CALCRECT);
        const Integer Room = R.Height() - Calc.Height();
        R.Top += FLayout == tlBottom ? Room : Room / 2;
    }
    DoDrawText(R, Flags);
    C->Brush()->SetStyle(bsSolid);
}

void TCustomLabel::AdjustBounds()
{
    if (!FAutoSize || FControlState.Contains(csReadingState))
        return;
    TRect R = ClientRect();
    DoDrawText(R, (DrawTextFlags() & (DT_EXPANDTABS | DT_WORDBREAK)) | DT_CALCRECT);
    Integer X = FLeft;
    if (FAlignment == taRightJustify)
        X += FWidth - R.Right;
    SetBounds(X, FTop, R.Right, R.Bottom);
}

void TCustomLabel::CMTextChanged(TMessage& Message)
{
    Invalidate();
    AdjustBounds();
}

void TCustomLabel::CMFontChanged(TMessage& Message)
{
    X_INHERITED_MESSAGE(Message);
    AdjustBounds();
}
