// TTimerObject: a timer for the application's own use. While Enabled, with
// an Interval above 0 and an OnTimer handler, it calls OnTimer every
// Interval milliseconds on the thread that created it, through that
// thread's message loop (a WM_TIMER on its own hidden window).
//
//     auto* Once = New<TTimerObject>();
//     Once->SetInterval(50);
//     Once->SetOnTimer([](TObject* Sender) { ...; Sender->Free(); });
//
// The handler may free the timer; nothing touches the object after the
// handler returns.
#pragma once
#include "rtl/Object.h"
#include "win/WinApi.h"
#include <functional>
#include <memory>

using TTimerEvent = std::function<void(TObject* Sender)>;

class TTimerObject : public TObject {
    X_CLASS(TTimerObject, TObject)
public:
    void Create() override;
    ~TTimerObject() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    Cardinal Interval() const { return FInterval; }
    void SetInterval(Cardinal Value);
    const TTimerEvent& OnTimer() const { return FOnTimer; }
    void SetOnTimer(TTimerEvent Value);
    HWND Handle() const { return FWindow; }

protected:
    // Runs OnTimer.
    virtual void Timer();

private:
    void UpdateTimer();

    HWND FWindow = nullptr;
    // Cleared by the destructor; the window's procedure reads it, so a
    // message that arrives after the object is gone reaches nothing.
    std::shared_ptr<std::atomic<TTimerObject*>> FSelf;
    bool FEnabled = true;
    Cardinal FInterval = 1000;
    TTimerEvent FOnTimer;
};
