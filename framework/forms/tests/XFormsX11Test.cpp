// Skinned forms on a real X server (an Xvfb of the tests' own), with and
// without a window manager (openbox): the caption frame moves its form,
// and the window manager's close ends a dialog's run with 2.
#include "FormsTestSupport.h"
#include "ModalScript.h"
#include "forms/XDlg.h"
#include "vcl/tests/X11Session.h"

using namespace FormsTests;

namespace {

class TClosingDialog : public TXCustomWinDialog {
    X_CLASS_TEMPLATE(TClosingDialog, TXCustomWinDialog, u"TX11ClosingDialog")
public:
    void InitDialog() override
    {
        SetFormClass(TXForm::StaticClass());
        SetDefaultCaption(u"Closed by the window manager");
    }
};

bool Has(const std::string& Text, const std::string& Part)
{
    return Text.find(Part) != std::string::npos;
}

class SkinnedFormsX11 : public TSkinnedFixture {
protected:
    static void SetUpTestSuite() { Server = new Testing::TXvfb(800, 600); }
    static void TearDownTestSuite()
    {
        delete Server;
        Server = nullptr;
    }
    void SetUp() override
    {
        TSkinnedFixture::SetUp();
        if (!Server->Started() || !Testing::HaveTool("xdotool") || !Testing::HaveTool("xprop"))
            GTEST_SKIP() << "Xvfb, xdotool or xprop is missing";
        Session = std::make_unique<ControlTests::TX11Session>(Server->Display());
        ASSERT_TRUE(Session->Ok());
        X = &Session->X();
    }
    void TearDown() override
    {
        FreeAndNil(Dialog);
        // The window manager keeps the release of the Alt it closed a window
        // with; later tests in this process must not see Alt held.
        PostInput(TInputEvent::KeyEvent(VK_MENU, false));
        TSkinnedFixture::TearDown();
        Session.reset();
        WindowManager.reset();
    }
    // openbox manages the windows from here on; false when it is missing.
    bool StartWindowManager()
    {
        WindowManager = Testing::StartWindowManager();
        return WindowManager != nullptr;
    }
    void Settle() { Session->Settle(); }
    bool SettleUntil(const std::function<bool()>& Done, Integer Milliseconds = 5000)
    {
        return Session->SettleUntil(Done, Milliseconds);
    }
    void Run(const std::vector<std::string>& Argv) { EXPECT_EQ(Testing::RunTool(Argv).ExitCode, 0) << Argv[0]; }

    static inline Testing::TXvfb* Server = nullptr;
    std::unique_ptr<ControlTests::TX11Session> Session;
    TX11Presenter* X = nullptr;
    std::unique_ptr<Testing::TBesideProgram> WindowManager;
    TModalScript Player;
    TClosingDialog* Dialog = nullptr;
};

}

TEST_F(SkinnedFormsX11, ACaptionFrameDragMovesTheFormWithAndWithoutAWindowManager)
{
    for (const bool Managed : { false, true }) {
        SCOPED_TRACE(Managed ? "openbox" : "bare server");
        if (Managed && !StartWindowManager())
            GTEST_SKIP() << "openbox is missing";
        TXForm* F = NewForm();
        F->Style()->SetCaptionFrameClass(TXCaptionFrame::StaticClass());
        Skinned(F);
        F->Show();
        ASSERT_NE(F->CaptionFrame(), nullptr);
        ASSERT_TRUE(SettleUntil([&] { return IsWindowVisible(F->Handle()); }));
        // Under a window manager the drag is its own: it must manage the
        // window first.
        const std::string Id = std::to_string(X->XWindowOf(F->Handle()));
        if (Managed)
            ASSERT_TRUE(SettleUntil([&] {
                return Has(Testing::RunTool({ "xprop", "-id", Id, "WM_STATE" }).Output, "window state: Normal");
            }));
        Settle();
        const Integer Left = F->Left(), Top = F->Top();
        // A window manager takes the drag when it gets to the request; a
        // drag that raced it is tried again, a few times at most.
        bool Moved = false;
        for (int Try = 0; Try < 3 && !Moved; ++Try) {
            const TPoint Start = F->CaptionFrame()->ClientToScreen({ F->CaptionFrame()->Width() / 2, 5 });
            const TPoint End { Left + 50 + Start.X - F->Left(), Top + 30 + Start.Y - F->Top() };
            Run({ "xdotool", "mousemove", "--sync", std::to_string(Start.X), std::to_string(Start.Y), "mousedown", "1" });
            Settle();
            Run({ "xdotool", "mousemove", "--sync", std::to_string((Start.X + End.X) / 2), std::to_string((Start.Y + End.Y) / 2) });
            Run({ "xdotool", "mousemove", "--sync", std::to_string(End.X), std::to_string(End.Y) });
            Run({ "xdotool", "mouseup", "1" });
            Moved = SettleUntil([&] { return F->Left() == Left + 50 && F->Top() == Top + 30; }, 1500);
        }
        EXPECT_TRUE(Moved) << F->Left() << "," << F->Top();
        F->Free();
        Made.clear();
    }
}

TEST_F(SkinnedFormsX11, TheWindowManagersCloseOfADialogFormAnswersTwo)
{
    if (!StartWindowManager())
        GTEST_SKIP() << "openbox is missing";
    Dialog = New<TClosingDialog>(nullptr);
    bool Closed = false;
    Player.Start({ [&] {
        TXForm* F = static_cast<TXForm*>(Dialog->Form());
        const std::string Id = std::to_string(X->XWindowOf(F->Handle()));
        // Managed and active: the user has the dialog in front.
        const bool Active = SettleUntil([&] {
            return Has(Testing::RunTool({ "xprop", "-id", Id, "WM_STATE" }).Output, "window state: Normal");
        }) && Testing::RunTool({ "xdotool", "windowactivate", "--sync", Id }).ExitCode == 0;
        EXPECT_TRUE(Active);
        // openbox closes the active window on Alt+F4: WM_DELETE_WINDOW,
        // SC_CLOSE, the form's 104 "2", posted 20 ms later.
        Run({ "xdotool", "key", "alt+F4" });
        Closed = SettleUntil([&] {
            Clock.Advance(20);
            return !Dialog->IsVisible();
        });
        // Never left running: the test fails on the answer instead.
        if (!Closed)
            Dialog->CloseDialog(1);
    } });
    EXPECT_EQ(Dialog->Execute(), 2);
    EXPECT_TRUE(Closed);
}
