#include "graphics/XSpark.VCL.Panels.h"
#include "core/XCore.ScreenMetrics.h"
#include "rtl/Units.h"
#include "vcl/ControlsDetail.h"
#include "vcl/Themes.h"
#include <algorithm>

X_REGISTER_CLASS(TXCustomPanel)
X_REGISTER_CLASS(TXPanel)
X_REGISTER_CLASS(TXCustomGroupBox)
X_REGISTER_CLASS(TXGroupBox)
X_REGISTER_CLASS(TXScrollBox)
X_REGISTER_CLASS(TXScrollBoxStyleHook)
X_REGISTER_CLASS(TXScrollBar)

X_MESSAGES(TXCustomGroupBox)
{
    X_MESSAGE(CM_TEXTCHANGED, CMTextChanged);
    X_MESSAGE(CM_FONTCHANGED, CMFontChanged);
    X_MESSAGE(CM_DIALOGCHAR, CMDialogChar);
    X_MESSAGE(WM_ERASEBKGND, WMEraseBkgnd);
}

X_MESSAGES(TXScrollBox)
{
    X_MESSAGE(WM_SIZE, WMSize);
}

namespace {

void InitPanels()
{
    TCustomStyleEngine* Engine = TStyleManager::Engine();
    Engine->UnRegisterStyleHook(TXCustomGroupBox::StaticClass(), TStyleHook::StaticClass());
    Engine->RegisterStyleHook(TXCustomGroupBox::StaticClass(), TStyleHook::StaticClass());
    Engine->UnRegisterStyleHook(TXScrollBox::StaticClass(), TXScrollBoxStyleHook::StaticClass());
    Engine->RegisterStyleHook(TXScrollBox::StaticClass(), TXScrollBoxStyleHook::StaticClass());
}

void DonePanels()
{
    if (TCustomStyleEngine* Engine = TStyleManager::Engine()) {
        Engine->UnRegisterStyleHook(TXCustomGroupBox::StaticClass(), TStyleHook::StaticClass());
        Engine->UnRegisterStyleHook(TXScrollBox::StaticClass(), TXScrollBoxStyleHook::StaticClass());
    }
}

}

X_UNIT(XSpark_VCL_Panels, "XSpark.VCL.Panels", ({ "XSpark.VCL", "Themes" }), &InitPanels, &DonePanels)

void TXCustomPanel::WndProc(TMessage& Message)
{
    if (!OfferStyleMessage(this, ControlSkin(), Message))
        inherited::WndProc(Message);
}

void TXCustomPanel::ScaleToScreen()
{
    ScaleBy(Screen->PixelsPerInch(), 96);
}

// ---- group box ----

void TXCustomGroupBox::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FControlStyle.Include(csAcceptsControls);
    FWidth = 185;
    FHeight = 105;
}

void TXCustomGroupBox::WndProc(TMessage& Message)
{
    if (!OfferStyleMessage(this, ControlSkin(), Message))
        inherited::WndProc(Message);
}

void TXCustomGroupBox::ScaleToScreen()
{
    ScaleBy(Screen->PixelsPerInch(), 96);
}

bool TXCustomGroupBox::Styled() const
{
    TCustomStyleServices* Style = ControlSkin()->StyleServices();
    return Style && Style->Enabled();
}

void TXCustomGroupBox::SetFrameStyle(TXFrameStyle Value)
{
    if (FFrameStyle == Value)
        return;
    FFrameStyle = Value;
    Invalidate();
    Realign();
}

void TXCustomGroupBox::SetTransparent(bool Value)
{
    if (FTransparent == Value)
        return;
    FTransparent = Value;
    SetParentBackground(this, Value);
}

void TXCustomGroupBox::CreateParams(TCreateParams& Params)
{
    inherited::CreateParams(Params);
    SetTransparentParams(Params, FTransparent);
}

Integer TXCustomGroupBox::TextHeight()
{
    Canvas()->SetFont(FFont.get());
    return Canvas()->TextHeight(u"0");
}

TRect TXCustomGroupBox::FrameClientRect(TRect R)
{
    switch (FFrameStyle) {
    case xfsGroupBox:
        // Below the caption, inside a frame of two pixels.
        R.Top += TextHeight();
        R = { R.Left + 2, R.Top + 2, R.Right - 2, R.Bottom - 2 };
        break;
    case xfsDivider: R.Top += TextHeight() + 1; break;
    case xfsNone: break;
    }
    R.Right = std::max(R.Right, R.Left);
    R.Bottom = std::max(R.Bottom, R.Top);
    return R;
}

void TXCustomGroupBox::AlignControls(TControl* AControl, TRect& Rect)
{
    Rect = FrameClientRect(Rect);
    inherited::AlignControls(AControl, Rect);
}

TRect TXCustomGroupBox::CaptionRect()
{
    Canvas()->SetFont(FFont.get());
    if (FText.empty())
        return { 8, 0, 8, TextHeight() };
    const TSize Extent = Canvas()->TextExtent(FText);
    return { 8, 0, 8 + Extent.cx, Extent.cy };
}

void TXCustomGroupBox::Paint()
{
    TCanvas* C = Canvas();
    C->SetFont(FFont.get());
    const TRect Client = ClientRect();
    const TRect Caption = CaptionRect();
    auto Fill = [&](TRect R, TColor Color) {
        C->Brush()->SetStyle(bsSolid);
        C->Brush()->SetColor(Color);
        C->FillRect(R);
    };
    switch (FFrameStyle) {
    case xfsNone: Fill(Client, clWindow); return;
    case xfsDivider: {
        const TRect Band { Caption.Right + (FText.empty() ? 0 : Integer(ScaledSizes[6])), 0, Client.Right,
            Caption.Bottom };
        if (!Band.IsEmpty())
            DrawColorDivider(C, ColorToRGB(FColor), Band);
        break;
    }
    case xfsGroupBox: {
        // A highlight frame one pixel down and right, a shadow frame over
        // it; the caption cuts the top edges.
        const Integer Top = Caption.Height() / 2;
        auto Frame = [&](TRect R, TColor Color) {
            if (FText.empty()) {
                Fill({ R.Left, R.Top, R.Right, R.Top + 1 }, Color);
            } else {
                Fill({ R.Left, R.Top, std::min(R.Right, Caption.Left), R.Top + 1 }, Color);
                Fill({ std::max(R.Left, Caption.Right), R.Top, R.Right, R.Top + 1 }, Color);
            }
            Fill({ R.Left, R.Bottom - 1, R.Right, R.Bottom }, Color);
            Fill({ R.Left, R.Top, R.Left + 1, R.Bottom }, Color);
            Fill({ R.Right - 1, R.Top, R.Right, R.Bottom }, Color);
        };
        Frame({ Client.Left + 1, Top + 1, Client.Right, Client.Bottom }, clBtnHighlight);
        Frame({ Client.Left, Top, Client.Right - 1, Client.Bottom - 1 }, clBtnShadow);
        break;
    }
    }
    if (FText.empty())
        return;
    TRect Text = Caption;
    C->Font()->SetColor(FEnabled ? FFont->Color() : TColor(clGrayText));
    C->Brush()->SetColor(FColor);
    C->DrawText(FText, Text, DT_SINGLELINE | DT_LEFT | DT_NOCLIP);
}

void TXCustomGroupBox::CMTextChanged(TMessage& Message)
{
    Invalidate();
    Realign();
}

void TXCustomGroupBox::CMFontChanged(TMessage& Message)
{
    X_INHERITED_MESSAGE(Message);
    Invalidate();
    Realign();
}

void TXCustomGroupBox::WMEraseBkgnd(TMessage& Message)
{
    // Styled and opaque, the style paints it all; transparent and plain,
    // the parent's background stays.
    if (Styled() && !FTransparent) {
        Message.Result = 0;
        return;
    }
    if (!Styled() && FTransparent) {
        Message.Result = 1;
        return;
    }
    X_INHERITED_MESSAGE(Message);
}

void TXCustomGroupBox::CMDialogChar(TMessage& Message)
{
    // The caption's accelerator takes the focus to the first child.
    if (IsAccel(Char(Message.WParam), FText) && CanFocus()) {
        if (TWinControl* First = FindNextControl(nullptr, true, true, false))
            First->SetFocus();
        Message.Result = 1;
        return;
    }
    X_INHERITED_MESSAGE(Message);
}

// ---- scroll box ----

void TXScrollBox::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    for (TControlScrollBar* Bar : { HorzScrollBar(), VertScrollBar() }) {
        Bar->SetSmooth(true);
        Bar->SetTracking(true);
    }
}

void TXScrollBox::WndProc(TMessage& Message)
{
    if (!OfferStyleMessage(this, ControlSkin(), Message))
        inherited::WndProc(Message);
}

void TXScrollBox::ScaleToScreen()
{
    ScaleBy(Screen->PixelsPerInch(), 96);
}

void TXScrollBox::AlignControls(TControl* AControl, TRect& Rect)
{
    TLifeWatch Watch(FLife);
    inherited::AlignControls(AControl, Rect);
    if (!Watch.Freed())
        Fire(OnAdjustClientRect);
}

void TXScrollBox::WMSize(TMessage& Message)
{
    TLifeWatch Watch(FLife);
    X_INHERITED_MESSAGE(Message);
    if (!Watch.Freed())
        Fire(OnSizeMessage);
}

void TXScrollBoxStyleHook::Create(TWinControl* AControl)
{
    inherited::Create(AControl);
    if (auto* Box = dynamic_cast<TXScrollBox*>(AControl))
        FControlSkin = Box->ControlSkin();
    FOverrideEraseBkgnd = true;
}

bool TXScrollBoxStyleHook::HandleMessage(TMessage& Message)
{
    TCustomStyleServices* Style = FControlSkin ? FControlSkin->StyleServices() : nullptr;
    if (!Style || !Style->Enabled() || Message.Msg != WM_ERASEBKGND || !Message.WParam)
        return false;
    FillDCRect(reinterpret_cast<HDC>(Message.WParam), FControl->ClientRect(), Style->GetStyleColor(scPanel));
    Message.Result = 1;
    return true;
}

// ---- scroll bar ----

void TXScrollBar::WndProc(TMessage& Message)
{
    if (Message.Msg != WM_MOUSEWHEEL) {
        inherited::WndProc(Message);
        return;
    }
    // The wheel's delta counts positions: a notch down moves 120 on.
    Integer Pos = Position() - Integer(std::int16_t(HIWORD(Message.WParam)));
    TLifeWatch Watch(FLife);
    Scroll(scPosition, Pos);
    if (!Watch.Freed())
        SetPosition(Pos);
    Message.Result = 1;
}
