// A caption control dragging its form on a real X server: an Xvfb of the
// test's own, driven by xdotool and judged by xwininfo.
#include "vcl/tests/ControlTestSupport.h"
#include "graphics/XSpark.VCL.h"
#include "win/X11Presenter.h"
#include <chrono>
#include <cstdio>

namespace {

// A form that notes the caption press its control hands it.
class TNotingForm : public TForm {
    X_CLASS_TEMPLATE(TNotingForm, TForm, u"TXSparkNotingForm")
public:
    bool CaptionPressed = false;
    void WndProc(TMessage& Message) override
    {
        CaptionPressed = CaptionPressed || Message.Msg == WM_NCLBUTTONDOWN;
        inherited::WndProc(Message);
    }
};

// The top 20 rows are a caption.
class TTitleBar : public TXCustomControl {
    X_CLASS_TEMPLATE(TTitleBar, TXCustomControl, u"TXSparkTitleBar")
public:
    LRESULT HitTest(TPoint P) override { return P.Y < 20 ? HTCAPTION : HTCLIENT; }

protected:
    void Paint() override
    {
        Canvas()->Brush()->SetColor(0x804020);
        Canvas()->FillRect(ClientRect());
    }
};

TEST(XSparkX11, DraggingACaptionControlMovesItsForm)
{
    Testing::TXvfb Server(800, 600);
    if (!Server.Started() || !Testing::HaveTool("xdotool") || !Testing::HaveTool("xwininfo"))
        GTEST_SKIP() << "Xvfb, xdotool or xwininfo is missing";
    Testing::TScopedEnv Display("DISPLAY", Server.Display());
    TX11Presenter X(Server.Display());
    ASSERT_TRUE(X.Ok());
    TPresenter* Previous = SetPresenter(&X);
    auto Settle = [&] {
        for (int I = 0; I < 3; ++I) {
            Application->ProcessMessages();
            X.Sync();
            X.Dispatch();
        }
        Application->ProcessMessages();
        X.Sync();
    };
    // The X server and the tools run in real time.
    auto PumpUntil = [&](const std::function<bool()>& Done) {
        const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        const UINT_PTR Tick = SetTimer(nullptr, 0, 20, nullptr);
        bool Result = Done();
        while (!Result && std::chrono::steady_clock::now() < Deadline) {
            Application->HandleMessage();
            Result = Done();
        }
        KillTimer(nullptr, Tick);
        return Result;
    };
    auto Run = [](const std::vector<std::string>& Argv) {
        Testing::TToolResult R = Testing::RunTool(Argv);
        EXPECT_EQ(R.ExitCode, 0) << Argv[0];
        return R.Output;
    };

    auto* Form = New<TNotingForm>(nullptr);
    Form->SetBorderStyle(bsNone);
    Form->SetBounds(50, 40, 300, 200);
    auto* Bar = New<TTitleBar>(Form);
    Bar->SetBounds(0, 0, 300, 30);
    Bar->SetDragsParentForm(true);
    Bar->SetParent(Form);
    Form->Show();
    Settle();

    Run({ "xdotool", "mousemove", "--sync", "120", "50", "mousedown", "1" });
    ASSERT_TRUE(PumpUntil([&] { return Form->CaptionPressed; }));
    Settle(); // the pointer grab is in place
    Run({ "xdotool", "mousemove", "--sync", "170", "80" });
    Run({ "xdotool", "mouseup", "1" });
    EXPECT_TRUE(PumpUntil([&] { return Form->Left() == 100 && Form->Top() == 70; }));
    Settle();
    char Id[32];
    std::snprintf(Id, sizeof Id, "0x%lx", X.XWindowOf(Form->Handle()));
    const std::string Info = Run({ "xwininfo", "-id", Id });
    EXPECT_NE(Info.find("Absolute upper-left X:  100"), std::string::npos) << Info;
    EXPECT_NE(Info.find("Absolute upper-left Y:  70"), std::string::npos) << Info;

    Form->Free();
    Application->ProcessMessages();
    SetPresenter(Previous);
}

}
