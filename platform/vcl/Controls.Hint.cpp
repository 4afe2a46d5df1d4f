#include "vcl/Controls.h"
#include "vcl/ExtCtrls.h"
#include "win/Input.h"

X_REGISTER_CLASS(THintWindow)

X_MESSAGES(THintWindow)
{
    X_MESSAGE(WM_NCHITTEST, WMNCHitTest);
}

namespace {

constexpr Cardinal HintTextFlags = DT_LEFT | DT_WORDBREAK | DT_NOPREFIX;
// Around the text: the border and a little air.
constexpr Integer HintMarginX = 3, HintMarginY = 2;

}

void THintWindow::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FColor = clInfoBk;
    FFont->SetColor(clInfoText);
    FVisible = false;
    // A window at the top of its own, owned by nobody.
    FParentWindow = GetDesktopWindow();
}

void THintWindow::CreateParams(TCreateParams& Params)
{
    inherited::CreateParams(Params);
    Params.Style = WS_POPUP;
    // Never activated: the window with the focus keeps it.
    Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
    Params.WindowClass.style |= CS_SAVEBITS;
}

TRect THintWindow::CalcHintRect(Integer MaxWidth, const String& AHint)
{
    TRect R { 0, 0, std::max(MaxWidth, 1), 0 };
    Canvas()->SetFont(FFont.get());
    Canvas()->DrawText(AHint, R, HintTextFlags | DT_CALCRECT);
    return { 0, 0, R.Width() + 2 * HintMarginX + 2, R.Height() + 2 * HintMarginY + 2 };
}

void THintWindow::ActivateHint(TRect Rect, const String& AHint)
{
    SetCaption(AHint);
    SetBoundsRect(Rect);
    Invalidate();
    SetVisible(true);
}

void THintWindow::ReleaseHandle()
{
    // The window goes, not just out of sight: the next hint makes it anew,
    // on the screen the program shows on then.
    SetVisible(false);
    DestroyHandle();
}

void THintWindow::Paint()
{
    TCanvas* C = Canvas();
    TRect R = ClientRect();
    Frame3D(C, R, clWindowFrame, clWindowFrame, 1);
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(FColor);
    C->FillRect(R);
    TRect Text { R.Left + HintMarginX, R.Top + HintMarginY, R.Right - HintMarginX, R.Bottom - HintMarginY };
    C->Brush()->SetStyle(bsClear);
    C->Font()->SetColor(FFont->Color());
    C->DrawText(FText, Text, HintTextFlags);
    C->Brush()->SetStyle(bsSolid);
}

void THintWindow::WMNCHitTest(TMessage& Message)
{
    Message.Result = HTTRANSPARENT;
}
