#include "forms/XCaptionFr.h"
#include "win/WinApi.h"

X_REGISTER_CLASS(TXCaptionFrame)

X_MESSAGES(TXCaptionFrame)
{
    X_MESSAGE(XM_FORMACTIVECHANGED, XMFormActiveChanged);
    X_MESSAGE(XM_FORMCAPTIONCHANGED, XMFormCaptionChanged);
}

namespace {

// The last mouse message a caption frame turns into a non-client one.
constexpr UINT LastCaptionMouseMessage = 526;
// From a client mouse message to its non-client twin.
constexpr UINT NonClientDelta = 0x160;

}

void TXCaptionFrame::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    SetAlign(alTop);
    // The bar is the skinned form's own caption: its colour is the form's.
    SetParentColor(true);
    FCaptionLabel = New<TXLabel>(this);
    FCaptionLabel->SetName(u"CaptionLabel");
    FCaptionLabel->SetBounds(8, 12, 62, 13);
    FCaptionLabel->SetEllipsis(xepNone);
    FCaptionLabel->SetVerticalAutoSize(false);
    FCaptionLabel->SetTransparent(true);
    FCaptionLabel->SetParent(this);
    FCaptionLabel->FreeNotification(this);
    FCaptionHidden = false;
    Resize();
}

void TXCaptionFrame::CreateButtons()
{
    SetFullRgn(true);
}

void TXCaptionFrame::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FCaptionLabel)
        FCaptionLabel = nullptr;
}

void TXCaptionFrame::SetCaptionText(const String& Text)
{
    if (FCaptionLabel)
        FCaptionLabel->SetCaption(Text + u" ");
}

void TXCaptionFrame::UpdateCaptionVisibility()
{
    if (FCaptionLabel)
        FCaptionLabel->SetVisible(!FCaptionHidden);
}

void SetCaptionHidden(TXCaptionFrame* Frame, bool Value)
{
    if (!Frame || Frame->CaptionHidden() == Value)
        return;
    Frame->SetCaptionHidden(Value);
    Frame->UpdateCaptionVisibility();
}

void TXCaptionFrame::SetParent(TWinControl* AParent)
{
    inherited::SetParent(AParent);
    if (!AParent)
        return;
    TLifeWatch Watch(LifeMark());
    Perform(XM_FORMACTIVECHANGED);
    if (!Watch.Freed())
        Perform(XM_FORMCAPTIONCHANGED);
}

void TXCaptionFrame::Resize()
{
    if (FCaptionLabel)
        FCaptionLabel->SetTop((Height() - FCaptionLabel->Height()) / 2);
    inherited::Resize();
}

void TXCaptionFrame::XMFormActiveChanged(TMessage& Message)
{
    auto* Form = DynamicCast<TXForm>(ParentForm());
    if (!Form || !Form->SkinData() || !FCaptionLabel)
        return;
    FCaptionLabel->Font()->SetColor(Form->SkinData()->CaptionColor()->Colors(Form->ActiveFlag()));
    FCaptionLabel->Invalidate();
}

void TXCaptionFrame::XMFormCaptionChanged(TMessage& Message)
{
    if (TCustomForm* Form = ParentForm())
        SetCaptionText(Form->Caption());
}

bool TXCaptionFrame::PassToForm(TMessage& Message)
{
    const TPoint Client { GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam) };
    TControl* Under = ControlAtPos(Client, true, true);
    // Controls with a click of their own keep their presses.
    if (Under && Under != FCaptionLabel && Under->Tag() != -2 && Under->OnClick)
        return false;
    const WPARAM Code = Under && Under->Tag() == -2 ? HTSYSMENU : HTCAPTION;
    // The screen point: the window manager starts a move from it.
    const TPoint Pt = ClientToScreen(Client);
    PostMessage(Parent()->Handle(), Message.Msg - NonClientDelta, Code, MAKELPARAM(Word(Pt.X), Word(Pt.Y)));
    Message.Result = 0;
    return true;
}

void TXCaptionFrame::WndProc(TMessage& Message)
{
    if (Message.Msg >= WM_MOUSEFIRST && Message.Msg <= LastCaptionMouseMessage
        && !ComponentState().Contains(csDesigning) && Parent() && Parent()->HandleAllocated())
        if (PassToForm(Message))
            return;
    inherited::WndProc(Message);
}
