// A program whose forms belong to the application ends cleanly: closing its
// main form ends the run, and the end frees the forms before the units
// their framework controls use (skins, the application engine). Each case
// runs the program as a process of its own, whose exit code tells.
#include "graphics/XSpark.VCL.h"
#include "rtl/Units.h"
#include "rtl/testing/Testing.h"
#include "vcl/Forms.h"
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace {

constexpr const char* ProgramVariable = "X_EXIT_PROGRAM";
constexpr const char* Caption = "Quorvale exit probe";

class TExitProbePanel : public TXCustomControl {
    X_CLASS_TEMPLATE(TExitProbePanel, TXCustomControl, u"TXExitProbePanel")
protected:
    void Paint() override
    {
        Canvas()->Brush()->SetColor(0x336699);
        Canvas()->FillRect(ClientRect());
    }
};

class TExitProbeLabel : public TXGraphicControl {
    X_CLASS_TEMPLATE(TExitProbeLabel, TXGraphicControl, u"TXExitProbeLabel")
};

// The program: a main form and a second form, both the application's, each
// holding framework controls, run until the main form closes. The forms
// stay for the program's end to free.
void RunProgram(bool CloseItself)
{
    auto* Main = New<TForm>(Application);
    Main->SetCaption(S(Caption));
    Main->SetBounds(40, 40, 320, 200);
    auto* Panel = New<TExitProbePanel>(Main);
    Panel->SetBounds(10, 10, 200, 100);
    Panel->SetParent(Main);
    auto* Label = New<TExitProbeLabel>(Main);
    Label->SetBounds(10, 120, 100, 20);
    Label->SetParent(Panel);
    auto* Other = New<TForm>(Application);
    New<TExitProbePanel>(Other)->SetParent(Other);
    Application->SetMainForm(Main);
    Main->Show();
    Other->Show();
    if (CloseItself) {
        PostMessage(Main->Handle(), WM_CLOSE, 0, 0);
        Application->Run();
        return;
    }
    // Closed from outside, in real time: a program never closed gives up.
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    const UINT_PTR Tick = SetTimer(nullptr, 0, 50, nullptr);
    while (!Application->Terminated() && std::chrono::steady_clock::now() < Deadline)
        Application->HandleMessage();
    KillTimer(nullptr, Tick);
}

bool InProgram()
{
    return std::getenv(ProgramVariable) != nullptr;
}

}


TEST(ProgramExit, HeadlessEndsWithCodeZero)
{
    if (InProgram()) {
        RunProgram(true);
        EXPECT_TRUE(Application->Terminated());
        return;
    }
    const Testing::TToolResult R = Testing::RunThisTestWith({ std::string(ProgramVariable) + "=1" });
    EXPECT_EQ(R.ExitCode, 0) << R.Output;
}

// The window manager turns Alt+F4 into WM_DELETE_WINDOW for the form.
TEST(ProgramExit, OnAnXServerTheWindowManagersCloseEndsWithCodeZero)
{
    if (InProgram()) {
        RunProgram(false);
        EXPECT_TRUE(Application->Terminated());
        return;
    }
    Testing::TXvfb Server(800, 600);
    if (!Server.Started() || !Testing::HaveTool("xdotool") || !Testing::HaveTool("openbox") ||
        !Testing::HaveTool("timeout"))
        GTEST_SKIP() << "Xvfb, xdotool, openbox or timeout is missing";
    Testing::TScopedEnv Display("DISPLAY", Server.Display());
    Testing::TChildProcess Manager({ Testing::FindTool("openbox"), "--sm-disable" });
    ASSERT_TRUE(Manager.Started());

    // The X server, the window manager and the tools run in real time; each
    // wait is bounded. A key pressed before the window manager has taken the
    // window (or the focus) is lost, so the close is asked again until the
    // program has ended.
    std::mutex Lock;
    std::condition_variable Ended;
    bool Done = false;
    std::thread Closer([&] {
        const Testing::TToolResult Found = Testing::RunTool(
            { "timeout", "20", "xdotool", "search", "--sync", "--name", Caption });
        const std::string Id = Found.Output.substr(0, Found.Output.find('\n'));
        if (Found.ExitCode != 0 || Id.empty())
            return;
        for (int Attempt = 0; Attempt < 8; ++Attempt) {
            Testing::RunTool({ "timeout", "5", "xdotool", "windowactivate", "--sync", Id });
            Testing::RunTool({ "timeout", "5", "xdotool", "key", "--clearmodifiers", "alt+F4" });
            std::unique_lock<std::mutex> Guard(Lock);
            if (Ended.wait_for(Guard, std::chrono::seconds(3), [&] { return Done; }))
                return;
        }
    });
    const Testing::TToolResult R =
        Testing::RunThisTestWith({ std::string(ProgramVariable) + "=1", std::string(Testing::OnDisplayVariable) + "=1",
            "DISPLAY=" + Server.Display(), "X_PRESENTER=x11" });
    {
        std::lock_guard<std::mutex> Guard(Lock);
        Done = true;
    }
    Ended.notify_all();
    Closer.join();
    EXPECT_EQ(R.ExitCode, 0) << R.Output;
}
