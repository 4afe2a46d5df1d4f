// Steps a test plays inside a modal loop: each runs from a posted message,
// so the loop of the form (or box) it waits for is the one that runs it.
#pragma once
#include "win/WinApi.h"
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace FormsTests {

class TModalScript {
public:
    using TStep = std::function<void()>;

    TModalScript()
    {
        FWindow = CreateHiddenWindow([this](HWND, UINT Msg, WPARAM, LPARAM) -> LRESULT {
            if (Msg == WM_APP && FNext < FSteps.size()) {
                const size_t Step = FNext++;
                FSteps[Step]();
                if (FNext < FSteps.size())
                    Post();
            }
            return 0;
        });
    }
    ~TModalScript() { DestroyWindow(FWindow); }
    TModalScript(const TModalScript&) = delete;
    TModalScript& operator=(const TModalScript&) = delete;

    // Plays Steps from the next message loop on; a step that starts a loop
    // of its own posts (Post) for the next step to run inside it.
    void Start(std::vector<TStep> Steps)
    {
        FSteps = std::move(Steps);
        FNext = 0;
        Post();
    }
    void Post() { PostMessage(FWindow, WM_APP, 0, 0); }
    bool Done() const { return FNext == FSteps.size(); }

private:
    HWND FWindow = nullptr;
    std::vector<TStep> FSteps;
    size_t FNext = 0;
};

}
