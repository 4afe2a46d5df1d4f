// The program's windows on a test's X server: the X presenter installed
// while a session lives, DISPLAY naming the server for the X tools. The
// server and the tools run in real time: every wait has a deadline.
#pragma once
#include "rtl/testing/Testing.h"
#include "vcl/Forms.h"
#include "win/WinApi.h"
#include "win/X11Presenter.h"
#include <chrono>
#include <functional>

namespace ControlTests {

class TX11Session {
public:
    explicit TX11Session(const std::string& DisplayName)
        : FDisplay("DISPLAY", DisplayName)
        , FX(DisplayName)
    {
        if (FX.Ok())
            FPrevious = SetPresenter(&FX);
    }
    ~TX11Session()
    {
        if (!FX.Ok())
            return;
        Application->ProcessMessages();
        SetPresenter(FPrevious);
    }
    TX11Session(const TX11Session&) = delete;
    TX11Session& operator=(const TX11Session&) = delete;

    bool Ok() const { return FX.Ok(); }
    TX11Presenter& X() { return FX; }

    // What was asked of the server is done, and what it sent back handled.
    void Settle()
    {
        for (int I = 0; I < 3; ++I) {
            Application->ProcessMessages();
            FX.Sync();
            FX.Dispatch();
        }
        Application->ProcessMessages();
        FX.Sync();
    }
    // Runs the message loop until Done answers true or the time is up.
    bool PumpUntil(const std::function<bool()>& Done, Integer Milliseconds = 5000)
    {
        const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(Milliseconds);
        const UINT_PTR Tick = SetTimer(nullptr, 0, 20, nullptr);
        bool Result = Done();
        while (!Result && std::chrono::steady_clock::now() < Deadline) {
            Application->HandleMessage();
            Result = Done();
        }
        KillTimer(nullptr, Tick);
        return Result;
    }
    // The same without waiting in the loop: for a step a modal loop runs.
    bool SettleUntil(const std::function<bool()>& Done, Integer Milliseconds = 5000)
    {
        const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(Milliseconds);
        bool Result = Done();
        while (!Result && std::chrono::steady_clock::now() < Deadline) {
            Settle();
            Result = Done();
        }
        return Result;
    }

private:
    Testing::TScopedEnv FDisplay;
    TX11Presenter FX;
    TPresenter* FPrevious = nullptr;
};

}
