#include "vcl/Buttons.h"
#include "vcl/ControlsDetail.h"
#include "vcl/ExtCtrls.h"
#include <algorithm>

X_REGISTER_CLASS(TSpeedButton)

X_MESSAGES(TSpeedButton)
{
    X_MESSAGE(CM_MOUSEENTER, CMMouseEnter);
    X_MESSAGE(CM_MOUSELEAVE, CMMouseLeave);
    X_MESSAGE(CM_ENABLEDCHANGED, CMEnabledChanged);
    X_MESSAGE(CM_TEXTCHANGED, CMTextChanged);
}

void TSpeedButton::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FWidth = 23;
    FHeight = 22;
    FGlyph.reset(MakeOwned<TBitmap>().release());
    // The click comes from the release over the button, as it goes up.
    FControlStyle.Exclude(csClickEvents);
    FControlStyle.Exclude(csDoubleClicks);
    FControlStyle.Include(csCaptureMouse);
}

TSpeedButton::~TSpeedButton() = default;

void TSpeedButton::SetFlat(bool Value)
{
    if (FFlat == Value)
        return;
    FFlat = Value;
    Invalidate();
}

void TSpeedButton::SetGlyph(TBitmap* Value)
{
    if (Value)
        FGlyph->Assign(Value);
    else
        FGlyph->SetSize(0, 0);
    GlyphChanged();
}

void TSpeedButton::GlyphChanged()
{
    FGlyphListStale = true;
    Invalidate();
}

void TSpeedButton::SetNumGlyphs(Integer Value)
{
    Value = std::clamp(Value, 1, 4);
    if (FNumGlyphs == Value)
        return;
    FNumGlyphs = Value;
    GlyphChanged();
}

void TSpeedButton::SetLayout(TButtonLayout Value)
{
    if (FLayout == Value)
        return;
    FLayout = Value;
    Invalidate();
}

void TSpeedButton::SetSpacing(Integer Value)
{
    if (FSpacing == Value)
        return;
    FSpacing = Value;
    Invalidate();
}

void TSpeedButton::SetGroupIndex(Integer Value)
{
    if (FGroupIndex == Value)
        return;
    FGroupIndex = Value;
    UpdateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool Value)
{
    if (FAllowAllUp == Value)
        return;
    FAllowAllUp = Value;
    // The group shares the setting.
    if (FGroupIndex != 0 && FParent)
        for (Integer I = 0; I < FParent->ControlCount(); ++I)
            if (auto* B = DynamicCast<TSpeedButton>(FParent->Controls(I));
                B && B != this && B->FGroupIndex == FGroupIndex)
                B->FAllowAllUp = Value;
}

void TSpeedButton::SetDown(bool Value)
{
    if (FGroupIndex == 0)
        Value = false;
    if (Value == FDown)
        return;
    // The last button down of a group stays down unless all may be up.
    if (FDown && !FAllowAllUp)
        return;
    FDown = Value;
    UpdateState();
    if (Value)
        UpdateExclusive();
}

void TSpeedButton::UpdateState()
{
    const TButtonState Old = FState;
    if (!FEnabled)
        FState = bsDisabled;
    else if (FDown)
        FState = bsExclusive;
    else if (FState != bsDown || !FDragging)
        FState = bsUp;
    if (FState != Old)
        Invalidate();
}

void TSpeedButton::UpdateExclusive()
{
    if (FGroupIndex == 0 || !FParent || !FDown)
        return;
    for (Integer I = 0; I < FParent->ControlCount(); ++I) {
        auto* B = DynamicCast<TSpeedButton>(FParent->Controls(I));
        if (!B || B == this || B->FGroupIndex != FGroupIndex || !B->FDown)
            continue;
        B->FDown = false;
        B->UpdateState();
    }
}

TCustomImageList* TSpeedButton::GlyphList()
{
    if (!FGlyphListStale)
        return FGlyphList.get();
    FGlyphListStale = false;
    FGlyphList.reset();
    const Integer W = FGlyph->Width() / FNumGlyphs, H = FGlyph->Height();
    if (W <= 0 || H <= 0)
        return nullptr;
    FGlyphList.reset(New<TImageList>(nullptr));
    FGlyphList->SetSize(W, H);
    const TColor Clear = FGlyph->Pixel(0, H - 1);
    TOwnedPtr<TBitmap> Piece(MakeOwned<TBitmap>());
    TOwnedPtr<TBitmap> Mask(MakeOwned<TBitmap>());
    Piece->SetPixelFormat(pf24bit);
    Piece->SetSize(W, H);
    Mask->SetPixelFormat(pf24bit);
    Mask->SetSize(W, H);
    for (Integer N = 0; N < FNumGlyphs; ++N) {
        Piece->Canvas()->CopyRect({ 0, 0, W, H }, FGlyph->Canvas(), { N * W, 0, N * W + W, H });
        for (Integer Y = 0; Y < H; ++Y) {
            Byte* Row = Mask->ScanLine(Y);
            for (Integer X = 0; X < W; ++X)
                std::fill_n(Row + 3 * X, 3, Piece->Pixel(X, Y) == Clear ? 255 : 0);
        }
        FGlyphList->Add(Piece.get(), Mask.get());
    }
    return FGlyphList.get();
}

void TSpeedButton::Paint()
{
    TCanvas* C = Canvas();
    TRect R = ClientRect();
    const bool Pressed = FState == bsDown || FState == bsExclusive;
    C->Brush()->SetStyle(bsSolid);
    if (!FFlat) {
        C->Brush()->SetColor(FColor);
        C->FillRect(R);
        if (Pressed) {
            Frame3D(C, R, clBtnShadow, clBtnHighlight, 1);
            Frame3D(C, R, cl3DDkShadow, cl3DLight, 1);
        } else {
            Frame3D(C, R, clBtnHighlight, cl3DDkShadow, 1);
            Frame3D(C, R, cl3DLight, clBtnShadow, 1);
        }
    } else if (Pressed || (FMouseInControl && FEnabled)) {
        if (FState == bsExclusive && !FMouseInControl) {
            // Down in its group: the face a shade lighter.
            C->Brush()->SetColor(cl3DLight);
            C->FillRect(R);
        }
        if (Pressed)
            Frame3D(C, R, clBtnShadow, clBtnHighlight, 1);
        else
            Frame3D(C, R, clBtnHighlight, clBtnShadow, 1);
    }
    // The glyph and the caption as one block in the middle.
    TCustomImageList* Glyphs = GlyphList();
    const TSize G = Glyphs ? TSize { Glyphs->Width(), Glyphs->Height() } : TSize {};
    C->SetFont(FFont.get());
    const TSize T = FText.empty() ? TSize {} : C->TextExtent(FText);
    const Integer Gap = G.cx > 0 && T.cx > 0 ? FSpacing : 0;
    const bool Across = FLayout == blGlyphLeft || FLayout == blGlyphRight;
    const Integer BlockW = Across ? G.cx + Gap + T.cx : std::max(G.cx, T.cx);
    const Integer BlockH = Across ? std::max(G.cy, T.cy) : G.cy + Gap + T.cy;
    const Integer Shift = Pressed ? 1 : 0;
    const Integer Left = (FWidth - BlockW) / 2 + Shift, Top = (FHeight - BlockH) / 2 + Shift;
    TPoint GlyphAt, TextAt;
    switch (FLayout) {
    case blGlyphLeft:
        GlyphAt = { Left, Top + (BlockH - G.cy) / 2 };
        TextAt = { Left + G.cx + Gap, Top + (BlockH - T.cy) / 2 };
        break;
    case blGlyphRight:
        TextAt = { Left, Top + (BlockH - T.cy) / 2 };
        GlyphAt = { Left + T.cx + Gap, Top + (BlockH - G.cy) / 2 };
        break;
    case blGlyphTop:
        GlyphAt = { Left + (BlockW - G.cx) / 2, Top };
        TextAt = { Left + (BlockW - T.cx) / 2, Top + G.cy + Gap };
        break;
    case blGlyphBottom:
        TextAt = { Left + (BlockW - T.cx) / 2, Top };
        GlyphAt = { Left + (BlockW - G.cx) / 2, Top + T.cy + Gap };
        break;
    }
    if (Glyphs) {
        // A state without its own picture shows the first, greyed when disabled.
        const Integer Index = Integer(FState) < Glyphs->Count() ? Integer(FState) : 0;
        Glyphs->Draw(C, GlyphAt.X, GlyphAt.Y, Index, FEnabled || Index == Integer(bsDisabled));
    }
    if (!FText.empty()) {
        C->Brush()->SetStyle(bsClear);
        C->Font()->SetColor(FEnabled ? FFont->Color() : TColor(clGrayText));
        C->TextOut(TextAt.X, TextAt.Y, FText);
        C->Brush()->SetStyle(bsSolid);
    }
}

void TSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    TLifeWatch Watch(FLife);
    inherited::MouseDown(Button, Shift, X, Y);
    if (Watch.Freed() || Button != mbLeft || !FEnabled)
        return;
    if (!FDown) {
        FState = bsDown;
        Invalidate();
    }
    FDragging = true;
}

void TSpeedButton::MouseMove(TShiftState Shift, Integer X, Integer Y)
{
    TLifeWatch Watch(FLife);
    inherited::MouseMove(Shift, X, Y);
    if (Watch.Freed() || !FDragging)
        return;
    const bool Inside = X >= 0 && Y >= 0 && X < FWidth && Y < FHeight;
    const TButtonState Now = Inside ? (FDown ? bsExclusive : bsDown) : (FDown ? bsExclusive : bsUp);
    if (Now != FState) {
        FState = Now;
        Invalidate();
    }
}

void TSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    TLifeWatch Watch(FLife);
    inherited::MouseUp(Button, Shift, X, Y);
    if (Watch.Freed() || Button != mbLeft || !FDragging)
        return;
    FDragging = false;
    const bool Inside = X >= 0 && Y >= 0 && X < FWidth && Y < FHeight;
    if (FGroupIndex == 0) {
        FState = bsUp;
        Invalidate();
    } else if (Inside) {
        SetDown(!FDown);
        FState = FDown ? bsExclusive : bsUp;
        Invalidate();
    } else {
        UpdateState();
    }
    if (Inside)
        Click();
}

void TSpeedButton::CMMouseEnter(TMessage& Message)
{
    FMouseInControl = true;
    if (FFlat)
        Invalidate();
    X_INHERITED_MESSAGE(Message);
}

void TSpeedButton::CMMouseLeave(TMessage& Message)
{
    FMouseInControl = false;
    if (FFlat)
        Invalidate();
    X_INHERITED_MESSAGE(Message);
}

void TSpeedButton::CMEnabledChanged(TMessage& Message)
{
    UpdateState();
    X_INHERITED_MESSAGE(Message);
}

void TSpeedButton::CMTextChanged(TMessage& Message)
{
    Invalidate();
}
