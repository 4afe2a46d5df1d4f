#include "vcl/ExtCtrls.h"
#include "vcl/Forms.h"

X_REGISTER_CLASS(TTimer)

void TTimer::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FWindow = AllocateHWnd([this](TMessage& Message) { WndProc(Message); });
}

void TTimer::BeforeDestruction()
{
    FEnabled = false;
    UpdateTimer();
    DeallocateHWnd(FWindow);
    FWindow = nullptr;
    inherited::BeforeDestruction();
}

void TTimer::SetEnabled(bool Value)
{
    if (FEnabled == Value)
        return;
    FEnabled = Value;
    UpdateTimer();
}

void TTimer::SetInterval(Cardinal Value)
{
    if (FInterval == Value)
        return;
    FInterval = Value;
    UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent Value)
{
    FOnTimer = std::move(Value);
    UpdateTimer();
}

void TTimer::UpdateTimer()
{
    KillTimer(FWindow, 1);
    if (FEnabled && FInterval > 0 && FOnTimer && FWindow)
        SetTimer(FWindow, 1, FInterval, nullptr);
}

void TTimer::WndProc(TMessage& Message)
{
    if (Message.Msg != WM_TIMER) {
        Message.Result = DefWindowProc(FWindow, Message.Msg, Message.WParam, Message.LParam);
        return;
    }
    TLifeWatch Watch(FLife);
    try {
        Timer();
    } catch (const Exception&) {
        // As in a control's window procedure: reported, and the timer goes
        // on. A timer that freed itself on the way is no sender any more.
        if (Application)
            Application->HandleException(Watch.Freed() ? nullptr : this);
    }
}

void TTimer::Timer()
{
    // A copy: the handler may free the timer and the event with it.
    const TNotifyEvent Handler = FOnTimer;
    if (FEnabled && Handler)
        Handler(this);
}
