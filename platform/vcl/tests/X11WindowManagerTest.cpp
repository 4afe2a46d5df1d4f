// Forms under a real window manager (openbox) and compositing manager
// (xcompmgr) on an Xvfb of the tests' own: what the window manager is told
// (xprop, xwininfo), what it does back (closing, maximising, minimising,
// moving), and what the screen shows (import).
#include "ControlTestSupport.h"
#include "gdi/Region.h"
#include "win/WindowDecor.h"
#include "win/X11Presenter.h"
#include "X11Session.h"
#include "X11TestClient.h"
#include <cstdio>

using namespace ControlTests;

namespace {

bool Has(const std::string& Text, const std::string& Part)
{
    return Text.find(Part) != std::string::npos;
}

// A form that logs its system commands and may refuse them.
class TCommandForm : public TForm {
    X_CLASS_TEMPLATE(TCommandForm, TForm, u"TWmCommandForm")
public:
    std::vector<WPARAM> Commands;
    bool Refuse = false;
    DWORD ExtraExStyle = 0;
    bool CaptionPressed = false;
    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == WM_SYSCOMMAND) {
            Commands.push_back(Message.WParam & 0xFFF0);
            if (Refuse)
                return;
        }
        CaptionPressed = CaptionPressed || Message.Msg == WM_NCLBUTTONDOWN;
        inherited::WndProc(Message);
        // The top 20 rows are a caption.
        if (Message.Msg == WM_NCHITTEST && Message.Result == HTCLIENT) {
            POINT P { GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam) };
            ::ScreenToClient(Handle(), &P);
            if (P.y < 20)
                Message.Result = HTCAPTION;
        }
    }

protected:
    void CreateParams(TCreateParams& Params) override
    {
        inherited::CreateParams(Params);
        Params.ExStyle |= ExtraExStyle;
    }
};

class X11WindowManager : public testing::Test {
protected:
    static void SetUpTestSuite() { Server = new Testing::TXvfb(800, 600); }
    static void TearDownTestSuite()
    {
        delete Server;
        Server = nullptr;
    }

    void SetUp() override
    {
        if (!Server->Started() || !Testing::HaveTool("xdotool") || !Testing::HaveTool("xprop") ||
            !Testing::HaveTool("xwininfo"))
            GTEST_SKIP() << "Xvfb, xdotool, xprop or xwininfo is missing";
        Session = std::make_unique<TX11Session>(Server->Display());
        ASSERT_TRUE(Session->Ok());
        X = &Session->X();
    }
    void TearDown() override
    {
        for (auto It = Forms.rbegin(); It != Forms.rend(); ++It)
            FreeAndNil(*It);
        Forms.clear();
        Session.reset();
        Compositor.reset();
        WindowManager.reset();
    }

    // openbox manages the windows from here on; false when it is missing.
    bool StartWindowManager()
    {
        WindowManager = Testing::StartWindowManager();
        return WindowManager != nullptr;
    }
    bool StartCompositor()
    {
        Compositor = std::make_unique<Testing::TBesideProgram>(
            std::vector<std::string> { "xcompmgr", "-n" }, [this] { return X->CompositorRunning(); });
        return Compositor->Ready();
    }

    TCommandForm* MakeForm(TRect Bounds, TBorderStyle Border = bsNone, DWORD ExStyle = 0)
    {
        auto* F = New<TCommandForm>(nullptr);
        F->ExtraExStyle = ExStyle;
        F->SetBorderStyle(Border);
        F->SetBounds(Bounds.Left, Bounds.Top, Bounds.Width(), Bounds.Height());
        F->SetColor(0xFFFFFF);
        Forms.push_back(F);
        return F;
    }

    bool PumpUntil(const std::function<bool()>& Done) { return Session->PumpUntil(Done); }
    void Settle() { Session->Settle(); }
    std::string Run(const std::vector<std::string>& Argv)
    {
        Testing::TToolResult R = Testing::RunTool(Argv);
        EXPECT_EQ(R.ExitCode, 0) << Argv[0];
        return R.Output;
    }
    std::string Id(TForm* F) { return Hex(X->XWindowOf(F->Handle())); }
    std::string Prop(TForm* F, const std::string& Name) { return Run({ "xprop", "-id", Id(F), Name }); }
    std::string Info(TForm* F) { return Run({ "xwininfo", "-id", Id(F) }); }

    static inline Testing::TXvfb* Server = nullptr;
    std::unique_ptr<TX11Session> Session;
    TX11Presenter* X = nullptr;
    std::unique_ptr<Testing::TBesideProgram> WindowManager, Compositor;
    std::vector<TForm*> Forms;
};

}

TEST_F(X11WindowManager, StylesBecomeWindowManagerStatesAndHints)
{
    if (!StartWindowManager())
        GTEST_SKIP() << "openbox is missing";
    TCommandForm* Main = MakeForm({ 40, 40, 340, 240 }, bsSingle);
    Main->SetFormStyle(fsStayOnTop);
    Main->Show();
    TCommandForm* Owned = MakeForm({ 100, 100, 300, 200 }, bsDialog);
    Owned->HandleNeeded();
    SetWindowLongPtr(Owned->Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(Main->Handle()));
    Owned->Show();
    TCommandForm* Tool = MakeForm({ 400, 40, 600, 140 }, bsToolWindow);
    Tool->Show();
    TCommandForm* Quiet = MakeForm({ 400, 300, 600, 400 }, bsNone, WS_EX_NOACTIVATE);
    Quiet->Show();
    Settle();

    const std::string MainState = Prop(Main, "_NET_WM_STATE");
    EXPECT_TRUE(Has(MainState, "_NET_WM_STATE_ABOVE")) << MainState;
    EXPECT_FALSE(Has(MainState, "_NET_WM_STATE_SKIP_TASKBAR")) << MainState;
    const std::string OwnedState = Prop(Owned, "_NET_WM_STATE");
    EXPECT_TRUE(Has(OwnedState, "_NET_WM_STATE_SKIP_TASKBAR")) << OwnedState;
    EXPECT_FALSE(Has(OwnedState, "_NET_WM_STATE_ABOVE")) << OwnedState;
    const std::string Transient = Prop(Owned, "WM_TRANSIENT_FOR");
    EXPECT_TRUE(Has(Transient, "window id # " + Id(Main))) << Transient;
    EXPECT_TRUE(Has(Prop(Tool, "_NET_WM_STATE"), "_NET_WM_STATE_SKIP_TASKBAR"));
    const std::string Hints = Prop(Quiet, "WM_HINTS");
    EXPECT_TRUE(Has(Hints, "Client accepts input or input focus: False")) << Hints;

    // Staying on top ends with the style; the window manager is asked.
    Main->SetFormStyle(fsNormal);
    Main->Show();
    Settle();
    EXPECT_TRUE(PumpUntil([&] { return !Has(Prop(Main, "_NET_WM_STATE"), "_NET_WM_STATE_ABOVE"); }));

    // A click on the window that takes no activation leaves the focus.
    Main->SetFocus();
    Settle();
    const std::string Focus = Run({ "xdotool", "getwindowfocus" });
    Run({ "xdotool", "mousemove", "--sync", "450", "350", "click", "1" });
    Settle();
    EXPECT_EQ(Run({ "xdotool", "getwindowfocus" }), Focus);
}

TEST_F(X11WindowManager, ARegionCutsTheWindowAndAClickInACutOutReachesTheWindowBelow)
{
    TCommandForm* Below = MakeForm({ 20, 20, 420, 320 });
    Below->Show();
    TCommandForm* Cut = MakeForm({ 50, 50, 350, 250 });
    Cut->Show();
    // A frame 30 pixels wide round a hole, 10 pixels in from the edges.
    HRGN Outer = CreateRectRgn(10, 10, 290, 190);
    HRGN Hole = CreateRectRgn(40, 40, 260, 160);
    CombineRgn(Outer, Outer, Hole, RGN_DIFF);
    DeleteObject(Hole);
    ASSERT_NE(SetWindowRgn(Cut->Handle(), Outer, true), 0);
    Settle();

    const std::string Shape = Run({ "xwininfo", "-shape", "-id", Id(Cut) });
    EXPECT_TRUE(Has(Shape, "Window shape extents:  280x180+10+10")) << Shape;
    // The X server sends the pointer where the region lets it: the window
    // below through the hole, the cut window on its frame.
    const std::string InHole = Run({ "xdotool", "mousemove", "--sync", "200", "150", "getmouselocation" });
    EXPECT_TRUE(Has(InHole, "window:" + std::to_string(X->XWindowOf(Below->Handle())))) << InHole;
    const std::string OnFrame = Run({ "xdotool", "mousemove", "--sync", "65", "65", "getmouselocation" });
    EXPECT_TRUE(Has(OnFrame, "window:" + std::to_string(X->XWindowOf(Cut->Handle())))) << OnFrame;

    // The whole window again.
    ASSERT_NE(SetWindowRgn(Cut->Handle(), nullptr, true), 0);
    Settle();
    const std::string Whole = Run({ "xdotool", "mousemove", "--sync", "200", "150", "getmouselocation" });
    EXPECT_TRUE(Has(Whole, "window:" + std::to_string(X->XWindowOf(Cut->Handle())))) << Whole;
}

TEST_F(X11WindowManager, TheWindowManagersRequestsArriveAsSystemCommands)
{
    if (!StartWindowManager())
        GTEST_SKIP() << "openbox is missing";
    TCommandForm* Form = MakeForm({ 100, 100, 400, 300 }, bsSizeable);
    Form->Show();
    Settle();
    ASSERT_TRUE(PumpUntil([&] { return Has(Info(Form), "IsViewable"); }));

    // Maximised by the window manager, then restored.
    ASSERT_TRUE(SendMaximize(Server->Display(), X->XWindowOf(Form->Handle()), true));
    ASSERT_TRUE(PumpUntil([&] { return IsZoomed(Form->Handle()); })) << Prop(Form, "_NET_WM_STATE");
    EXPECT_EQ(Form->Commands.back(), SC_MAXIMIZE);
    ASSERT_TRUE(SendMaximize(Server->Display(), X->XWindowOf(Form->Handle()), false));
    ASSERT_TRUE(PumpUntil([&] { return !IsZoomed(Form->Handle()); }));
    EXPECT_EQ(Form->Commands.back(), SC_RESTORE);

    // A refused maximise is undone on the screen.
    Form->Refuse = true;
    ASSERT_TRUE(SendMaximize(Server->Display(), X->XWindowOf(Form->Handle()), true));
    ASSERT_TRUE(PumpUntil([&] { return !Form->Commands.empty() && Form->Commands.back() == SC_MAXIMIZE; }));
    EXPECT_FALSE(IsZoomed(Form->Handle()));
    EXPECT_TRUE(PumpUntil([&] { return !Has(Prop(Form, "_NET_WM_STATE"), "MAXIMIZED"); }));

    // Minimised by the window manager.
    Form->Refuse = false;
    Run({ "xdotool", "windowminimize", Id(Form) });
    ASSERT_TRUE(PumpUntil([&] { return IsIconic(Form->Handle()); }));
    EXPECT_EQ(Form->Commands.back(), SC_MINIMIZE);

    // Closed: SC_CLOSE, refused, then let through.
    ShowWindow(Form->Handle(), SW_RESTORE);
    Settle();
    Form->Refuse = true;
    Form->Commands.clear();
    ASSERT_TRUE(SendDeleteWindow(Server->Display(), X->XWindowOf(Form->Handle())));
    ASSERT_TRUE(PumpUntil([&] { return !Form->Commands.empty(); }));
    EXPECT_EQ(Form->Commands.back(), SC_CLOSE);
    EXPECT_TRUE(Form->Visible());
    Form->Refuse = false;
    ASSERT_TRUE(SendDeleteWindow(Server->Display(), X->XWindowOf(Form->Handle())));
    EXPECT_TRUE(PumpUntil([&] { return !Form->Visible(); }));
}

TEST_F(X11WindowManager, ACaptionDragMovesTheFormThroughTheWindowManager)
{
    if (!StartWindowManager())
        GTEST_SKIP() << "openbox is missing";
    TCommandForm* Form = MakeForm({ 100, 100, 400, 300 });
    Form->Show();
    Settle();
    ASSERT_TRUE(PumpUntil([&] { return Has(Info(Form), "IsViewable"); }));
    // The window manager takes the drag when it gets to the request; a
    // drag that raced it is tried again, a few times at most.
    bool Moved = false;
    for (int Try = 0; Try < 3 && !Moved; ++Try) {
        const Integer Dx = Form->Left() - 100, Dy = Form->Top() - 100;
        Run({ "xdotool", "mousemove", "--sync", std::to_string(200 + Dx), std::to_string(110 + Dy), "mousedown", "1" });
        ASSERT_TRUE(PumpUntil([&] { return Form->CaptionPressed; }));
        Form->CaptionPressed = false;
        Settle();
        Run({ "xdotool", "mousemove", "--sync", "230", "150" });
        Run({ "xdotool", "mousemove", "--sync", "260", "190" });
        Run({ "xdotool", "mouseup", "1" });
        Moved = Session->PumpUntil([&] { return Form->Left() == 160 && Form->Top() == 180; }, 1500);
    }
    EXPECT_TRUE(Moved) << Form->Left() << "," << Form->Top();
    EXPECT_TRUE(PumpUntil([&] { return Has(Info(Form), "Absolute upper-left X:  160"); }));
}

TEST_F(X11WindowManager, AShadeShowsOnlyWhereACompositingManagerBlendsIt)
{
    if (!Testing::HaveTool("import"))
        GTEST_SKIP() << "ImageMagick is missing";
    // A known wallpaper: white on the left half, blue on the right.
    TPixelBuffer Wallpaper(800, 600);
    for (Integer Y = 0; Y < 600; ++Y)
        for (Integer Xp = 0; Xp < 800; ++Xp)
            Wallpaper.SetPixel(Xp, Y, Xp < 400 ? 0x00FFFFFF : 0x002040C0);
    ASSERT_TRUE(X->SetDesktopPicture(Wallpaper));
    TCommandForm* Shade =
        MakeForm({ 300, 200, 500, 400 }, bsNone, WS_EX_LAYERED | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW);
    Shade->SetColor(0x000000);
    Shade->SetAlphaBlendValue(128);
    Shade->SetAlphaBlend(true);

    // No compositing manager: an opaque black block would show; it stays
    // unmapped.
    ASSERT_FALSE(X->CompositorRunning());
    Shade->Show();
    Settle();
    EXPECT_TRUE(IsWindowVisible(Shade->Handle()));
    EXPECT_TRUE(Has(Info(Shade), "IsUnMapped"));
    Shade->Hide();
    Settle();

    if (!StartCompositor())
        GTEST_SKIP() << "xcompmgr is missing";
    Shade->Show();
    Settle();
    ASSERT_TRUE(PumpUntil([&] { return Has(Info(Shade), "IsViewable"); }));
    // The compositing manager paints in its own time: the picture is taken
    // until it shows the shade, within the deadline.
    const std::filesystem::path Picture = Testing::TestPicturePath("x11-shade-over-wallpaper.png");
    auto PixelAt = [&](int Px, int Py) {
        const std::string Text = Testing::RunTool({ "convert", Picture.string(), "-format",
                                                      "%[fx:int(255*p{" + std::to_string(Px) + "," +
                                                          std::to_string(Py) + "}.r)],%[fx:int(255*p{" +
                                                          std::to_string(Px) + "," + std::to_string(Py) + "}.b)]",
                                                      "info:" })
                                     .Output;
        int R = -1, B = -1;
        std::sscanf(Text.c_str(), "%d,%d", &R, &B);
        return std::pair { R, B };
    };
    const bool Blended = PumpUntil([&] {
        Testing::RunTool({ "import", "-window", "root", Picture.string() });
        const auto [R, B] = PixelAt(350, 300);
        return R >= 110 && R <= 145;
    });
    EXPECT_TRUE(Blended);
    // Half black over white and over blue; the wallpaper round it as it is.
    const auto [WhiteR, WhiteB] = PixelAt(350, 300);
    EXPECT_NEAR(WhiteR, 127, 12);
    const auto [BlueR, BlueB] = PixelAt(450, 300);
    EXPECT_NEAR(BlueB, 0xC0 / 2, 12);
    const auto [OutR, OutB] = PixelAt(250, 300);
    EXPECT_EQ(OutR, 255);
}
