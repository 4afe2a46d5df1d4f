#include "vcl/ControlsDetail.h"
#include "vcl/ExtCtrls.h"
#include "vcl/Forms.h"
#include "vcl/StdCtrls.h"
#include "vcl/Themes.h"
#include "win/Input.h"
#include "win/Metrics.h"
#include <algorithm>

X_REGISTER_CLASS(TButtonControl)
X_REGISTER_CLASS(TCustomButton)
X_REGISTER_CLASS(TButton)
X_REGISTER_CLASS(TCustomCheckBox)
X_REGISTER_CLASS(TCheckBox)

X_MESSAGES(TButtonControl)
{
    X_MESSAGE(CM_TEXTCHANGED, CMTextChanged);
    X_MESSAGE(CM_MOUSEENTER, CMMouseEnter);
    X_MESSAGE(CM_MOUSELEAVE, CMMouseLeave);
    X_MESSAGE(CM_ENTER, CMEnter);
    X_MESSAGE(CM_EXIT, CMExit);
}

X_MESSAGES(TCustomButton)
{
    X_MESSAGE(CM_DIALOGKEY, CMDialogKey);
}

namespace {

// A dotted rectangle just inside R, as focus is shown.
void DrawFocusFrame(TCanvas* Canvas, const TRect& R)
{
    TBrush* Brush = Canvas->Brush();
    Brush->SetStyle(bsSolid);
    Brush->SetColor(clBtnText);
    for (Integer X = R.Left; X < R.Right; X += 2) {
        Canvas->FillRect({ X, R.Top, X + 1, R.Top + 1 });
        Canvas->FillRect({ X, R.Bottom - 1, X + 1, R.Bottom });
    }
    for (Integer Y = R.Top; Y < R.Bottom; Y += 2) {
        Canvas->FillRect({ R.Left, Y, R.Left + 1, Y + 1 });
        Canvas->FillRect({ R.Right - 1, Y, R.Right, Y + 1 });
    }
}

TColor TextColor(const TControl* Control)
{
    return Control->Enabled() ? Control->Font()->Color() : TColor(clGrayText);
}

}

// ---- TButtonControl ----

void TButtonControl::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    SetTabStop(true);
    FControlStyle.Include(csSetCaption);
    FControlStyle.Exclude(csDoubleClicks);
}

void TButtonControl::CMTextChanged(TMessage& Message)
{
    Invalidate();
}

void TButtonControl::CMMouseEnter(TMessage& Message)
{
    FHot = true;
    Invalidate();
    X_INHERITED_MESSAGE(Message);
}

void TButtonControl::CMMouseLeave(TMessage& Message)
{
    FHot = false;
    Invalidate();
    X_INHERITED_MESSAGE(Message);
}

void TButtonControl::CMEnter(TMessage& Message)
{
    Invalidate();
    X_INHERITED_MESSAGE(Message);
}

void TButtonControl::CMExit(TMessage& Message)
{
    FPressed = false;
    Invalidate();
    X_INHERITED_MESSAGE(Message);
}

// ---- TCustomButton ----

void TCustomButton::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FWidth = 75;
    FHeight = 25;
}

void TCustomButton::SetDefault(bool Value)
{
    if (FDefault == Value)
        return;
    FDefault = Value;
    Invalidate();
}

void TCustomButton::SetWordWrap(bool Value)
{
    if (FWordWrap == Value)
        return;
    FWordWrap = Value;
    Invalidate();
}

bool TCustomButton::Active()
{
    if (!HandleAllocated())
        return FDefault;
    const HWND Focus = GetFocus();
    if (Focus == Handle())
        return true;
    // Another button with the focus takes Enter for itself.
    return FDefault && !dynamic_cast<TCustomButton*>(FindControl(Focus));
}

void TCustomButton::Click()
{
    TLifeWatch Watch(FLife);
    if (FModalResult != mrNone)
        if (auto* Form = dynamic_cast<TCustomForm*>(ControlsDetail::TopParent(this)))
            Form->SetModalResult(FModalResult);
    if (!Watch.Freed())
        inherited::Click();
}

void TCustomButton::CMDialogKey(TMessage& Message)
{
    const Word Key = Word(Message.WParam);
    const bool Alt = KeyboardStateToShiftState().Contains(ssAlt);
    if (!Alt && ((Key == VK_RETURN && Active()) || (Key == VK_ESCAPE && FCancel)) && CanFocus()) {
        Message.Result = 1;
        Click();
        return;
    }
    X_INHERITED_MESSAGE(Message);
}

void TCustomButton::Paint()
{
    TCanvas* C = Canvas();
    TRect R = ClientRect();
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(FColor);
    C->FillRect(R);
    if (Active() && FEnabled)
        Frame3D(C, R, cl3DDkShadow, cl3DDkShadow, 1);
    if (FPressed) {
        Frame3D(C, R, clBtnShadow, clBtnShadow, 1);
    } else {
        Frame3D(C, R, clBtnHighlight, cl3DDkShadow, 1);
        Frame3D(C, R, FHot ? cl3DLight : clBtnFace, clBtnShadow, 1);
    }
    TRect Text = R;
    if (FPressed)
        Text = { Text.Left + 1, Text.Top + 1, Text.Right + 1, Text.Bottom + 1 };
    C->Brush()->SetStyle(bsClear);
    C->Font()->SetColor(TextColor(this));
    if (FWordWrap) {
        // The lines are measured first, then centred as a block.
        TRect Block = Text;
        C->DrawText(FText, Block, DT_CENTER | DT_WORDBREAK | DT_CALCRECT);
        Text.Top += std::max(0, (Text.Height() - Block.Height()) / 2);
        C->DrawText(FText, Text, DT_CENTER | DT_WORDBREAK);
    } else {
        C->DrawText(FText, Text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    C->Brush()->SetStyle(bsSolid);
    if (Focused())
        DrawFocusFrame(C, { R.Left + 2, R.Top + 2, R.Right - 2, R.Bottom - 2 });
}

void TCustomButton::Release(bool Clicked)
{
    FPressed = false;
    Invalidate();
    if (Clicked)
        Click();
}

void TCustomButton::KeyDown(Word& Key, TShiftState Shift)
{
    if (Key == VK_SPACE && !FPressed) {
        FPressed = true;
        Invalidate();
    }
    inherited::KeyDown(Key, Shift);
}

void TCustomButton::KeyUp(Word& Key, TShiftState Shift)
{
    TLifeWatch Watch(FLife);
    inherited::KeyUp(Key, Shift);
    if (!Watch.Freed() && Key == VK_SPACE && FPressed)
        Release(true);
}

void TCustomButton::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    if (Button == mbLeft && FEnabled) {
        FPressed = true;
        Invalidate();
    }
    inherited::MouseDown(Button, Shift, X, Y);
}

void TCustomButton::MouseMove(TShiftState Shift, Integer X, Integer Y)
{
    // Held down, the button looks pressed only while the pointer is on it.
    if (MouseCapture() && Shift.Contains(ssLeft)) {
        const bool Inside = X >= 0 && Y >= 0 && X < FWidth && Y < FHeight;
        if (Inside != FPressed) {
            FPressed = Inside;
            Invalidate();
        }
    }
    inherited::MouseMove(Shift, X, Y);
}

void TCustomButton::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    // The library's click (csClickEvents) comes when the release is inside.
    if (Button == mbLeft && FPressed)
        Release(false);
    inherited::MouseUp(Button, Shift, X, Y);
}

// ---- TCustomCheckBox ----

void TCustomCheckBox::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FWidth = 97;
    FHeight = MulDiv(17, GetScreenDeviceCaps(LOGPIXELSX), DefaultScreenDPI);
    // The click is the state's change, not the library's press and release.
    FControlStyle.Exclude(csClickEvents);
}

void TCustomCheckBox::SetState(TCheckBoxState Value)
{
    if (FState == Value)
        return;
    FState = Value;
    Invalidate();
    Click();
}

void TCustomCheckBox::SetAlignment(TAlignment Value)
{
    if (FAlignment == Value)
        return;
    FAlignment = Value;
    Invalidate();
}

void TCustomCheckBox::Toggle()
{
    switch (FState) {
    case cbUnchecked: SetState(FAllowGrayed ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
    }
}

void TCustomCheckBox::Paint()
{
    TCanvas* C = Canvas();
    const TRect R = ClientRect();
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(FColor);
    C->FillRect(R);
    TCustomStyleServices* Style = StyleServices();
    const TThemedElementDetails Element = Style->GetElementDetails(FState == cbChecked ? teCheckBoxChecked : teCheckBoxUnchecked);
    // The box grows with the screen's pixels per inch.
    const Integer Box = std::max(Style->GetElementSize(Element).X, 1);
    const Integer Inset = Box * 3 / 13;
    const bool BoxLeft = FAlignment == taRightJustify;
    const Integer BoxX = BoxLeft ? R.Left : R.Right - Box;
    const Integer BoxY = R.Top + (R.Height() - Box) / 2;
    const TRect BoxRect { BoxX, BoxY, BoxX + Box, BoxY + Box };
    Style->DrawElement(C, Element, BoxRect);
    auto Fill = [&](TRect Area, TColor Color) {
        C->Brush()->SetColor(Color);
        C->FillRect(Area);
    };
    if (FState == cbGrayed)
        Fill({ BoxX + Inset, BoxY + Inset, BoxX + Box - Inset, BoxY + Box - Inset }, clGrayText);
    if (FPressed || !FEnabled)
        // A pressed or disabled box is shaded inside.
        Fill({ BoxX + 1, BoxY + 1, BoxX + Box - 1, BoxY + 2 }, clBtnFace);
    TRect Text = BoxLeft ? TRect { BoxX + Box + 4, R.Top, R.Right, R.Bottom } : TRect { R.Left, R.Top, BoxX - 4, R.Bottom };
    TRect Measured = Text;
    C->Font()->SetColor(TextColor(this));
    C->DrawText(FText, Measured, DT_SINGLELINE | DT_CALCRECT);
    C->Brush()->SetStyle(bsClear);
    C->DrawText(FText, Text, DT_SINGLELINE | DT_VCENTER | (BoxLeft ? DT_LEFT : DT_RIGHT));
    C->Brush()->SetStyle(bsSolid);
    if (Focused() && !FText.empty()) {
        const Integer W = std::min(Measured.Width(), Text.Width());
        const Integer H = Measured.Height();
        const Integer Top = R.Top + (R.Height() - H) / 2;
        const Integer Left = BoxLeft ? Text.Left : Text.Right - W;
        DrawFocusFrame(C, { Left - 1, Top, Left + W + 1, Top + H });
    }
}

void TCustomCheckBox::KeyDown(Word& Key, TShiftState Shift)
{
    if (Key == VK_SPACE && !FPressed) {
        FPressed = true;
        Invalidate();
    }
    inherited::KeyDown(Key, Shift);
}

void TCustomCheckBox::KeyUp(Word& Key, TShiftState Shift)
{
    TLifeWatch Watch(FLife);
    inherited::KeyUp(Key, Shift);
    if (Watch.Freed() || Key != VK_SPACE || !FPressed)
        return;
    FPressed = false;
    Toggle();
}

void TCustomCheckBox::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    if (Button == mbLeft && FEnabled) {
        FPressed = true;
        Invalidate();
    }
    inherited::MouseDown(Button, Shift, X, Y);
}

void TCustomCheckBox::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    TLifeWatch Watch(FLife);
    inherited::MouseUp(Button, Shift, X, Y);
    if (Watch.Freed() || Button != mbLeft || !FPressed)
        return;
    FPressed = false;
    Invalidate();
    if (X >= 0 && Y >= 0 && X < FWidth && Y < FHeight)
        Toggle();
}
