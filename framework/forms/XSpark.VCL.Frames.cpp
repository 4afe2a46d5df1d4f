#include "forms/XSpark.VCL.Frames.h"
#include "core/XCore.Classes.h"
#include "core/XCore.Interfaces.h"
#include "core/XSpark.Lg.h"
#include "forms/XForms.h"

X_REGISTER_CLASS(TXCustomFrame)
X_REGISTER_CLASS(TXPopupFrame)

X_MESSAGES(TXPopupFrame)
{
    X_MESSAGE(WM_MOUSEACTIVATE, WMMouseActivate);
}

void TXCustomFrame::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FControlStyle.Include(csAcceptsControls);
    InitFrame();
}

void TXCustomFrame::AfterConstruction()
{
    inherited::AfterConstruction();
    RegisterLanguageListener(TXAnyProcedure::Method<&TXCustomFrame::LanguageChanged>(this));
}

void TXCustomFrame::BeforeDestruction()
{
    UnregisterLanguageListener(TXAnyProcedure::Method<&TXCustomFrame::LanguageChanged>(this));
    Broadcast(NewNotification(New<TXDestroyingAspect>(), this).Get());
    DoneFrame();
    inherited::BeforeDestruction();
}

void TXCustomFrame::SetName(const String& NewName)
{
    inherited::SetName(AcceptedComponentName(this, NewName));
}

void TXCustomFrame::SetParent(TWinControl* AParent)
{
    inherited::SetParent(AParent);
    if (!AParent)
        return;
    TLifeWatch Watch(LifeMark());
    LanguageChanged();
    if (!Watch.Freed() && Visible())
        FrameShown();
}

void TXCustomFrame::ScaleToScreen()
{
    ScaleBy(Screen->PixelsPerInch(), 96);
}

bool TXCustomFrame::Tell(TXCustomAspect* Aspect)
{
    TLifeWatch Watch(LifeMark());
    Broadcast(NewNotification(Aspect, this).Get());
    return !Watch.Freed();
}

void TXCustomFrame::WndProc(TMessage& Message)
{
    // The frame tells of a change of its visibility before the change
    // reaches its window.
    if (Message.Msg == CM_VISIBLECHANGED && !ComponentState().Contains(csDesigning)) {
        TLifeWatch Watch(LifeMark());
        if (Message.WParam) {
            FrameShown();
            if (Watch.Freed() || !Tell(New<TXShownAspect>()))
                return;
        } else {
            FrameHidden();
            if (Watch.Freed() || !Tell(New<TXHiddenAspect>()))
                return;
        }
    }
    inherited::WndProc(Message);
}

void TXCustomFrame::Resize()
{
    TLifeWatch Watch(LifeMark());
    FrameResized();
    if (!Watch.Freed())
        inherited::Resize();
}

void TXCustomFrame::ProcessAction(IXNotification* Notification)
{
    Broadcast(Notification);
}

void TXCustomFrame::Relay(IXNotification* Notification)
{
    Broadcast(Notification);
}

void TXCustomFrame::ObserveTopic(IXObservable* Observable, const String& Topic, TClass AspectClass)
{
    if (AspectClass == TXActionAspect::StaticClass())
        Observable->SubscribeTopic(Topic, AspectClass, TXNotificationHandler::Of<&TXCustomFrame::ProcessAction>(this));
    else
        Observable->SubscribeTopic(Topic, AspectClass, TXNotificationHandler::Of<&TXCustomFrame::Relay>(this));
}

void TXCustomFrame::Observe(IXObservable* Observable, TClass AspectClass)
{
    if (AspectClass == TXActionAspect::StaticClass())
        Observable->Subscribe(AspectClass, TXNotificationHandler::Of<&TXCustomFrame::ProcessAction>(this));
    else
        Observable->Subscribe(AspectClass, TXNotificationHandler::Of<&TXCustomFrame::Relay>(this));
}

void TXPopupFrame::CreateParams(TCreateParams& Params)
{
    inherited::CreateParams(Params);
    Params.Style = WS_POPUP | WS_CLIPCHILDREN;
    Params.ExStyle = WS_EX_TOOLWINDOW;
    Params.WindowClass.style |= CS_SAVEBITS | CS_DROPSHADOW;
}

void TXPopupFrame::WMMouseActivate(TMessage& Message)
{
    Message.Result = MA_NOACTIVATE;
}
