// TTimer: a component that runs OnTimer every Interval milliseconds while
// Enabled, from the message loop of the thread that made it. Its handler
// may free the timer.
//
//     auto* Timer = New<TTimer>(Form);
//     Timer->SetInterval(250);
//     Timer->OnTimer = [](TObject* Sender) { ... };
#pragma once
#include "rtl/Component.h"
#include "rtl/LifeWatch.h"
#include "vcl/Controls.h"

class TTimer : public TComponent {
    X_CLASS(TTimer, TComponent)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    Cardinal Interval() const { return FInterval; }
    void SetInterval(Cardinal Value);
    const TNotifyEvent& OnTimer() const { return FOnTimer; }
    void SetOnTimer(TNotifyEvent Value);

protected:
    virtual void Timer();

private:
    void UpdateTimer();
    void WndProc(TMessage& Message);

    TLifeMark FLife;
    HWND FWindow = nullptr;
    bool FEnabled = true;
    Cardinal FInterval = 1000;
    TNotifyEvent FOnTimer;
};
