// The program's windows on a real X server: an Xvfb of the tests' own,
// judged by the X tools (xwininfo, xwd, xprop) and driven by xdotool.
#include "ControlTestSupport.h"
#include "win/WindowDecor.h"
#include "win/WindowTree.h"
#include "win/X11Presenter.h"
#include "X11TestClient.h"
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace ControlTests;

namespace {

// The pixels of an XWD file (32 bits a pixel, as Xvfb's depth 24 gives),
// 0x00RRGGBB each; empty when the file is not one.
struct TXwdPicture {
    Integer Width = 0, Height = 0;
    std::vector<Cardinal> Pixels;
    Cardinal At(Integer X, Integer Y) const { return Pixels[size_t(Y) * Width + X] & 0xFFFFFF; }
};

TXwdPicture ParseXwd(const std::string& Data)
{
    TXwdPicture Result;
    auto Card = [&](size_t Index) -> Cardinal {
        const size_t At = Index * 4;
        if (At + 4 > Data.size())
            return 0;
        const auto* B = reinterpret_cast<const unsigned char*>(Data.data()) + At;
        return (Cardinal(B[0]) << 24) | (Cardinal(B[1]) << 16) | (Cardinal(B[2]) << 8) | B[3];
    };
    const Cardinal HeaderSize = Card(0), Width = Card(4), Height = Card(5), ByteOrder = Card(7),
                   BitsPerPixel = Card(11), BytesPerLine = Card(12), Colors = Card(19);
    if (Card(1) != 7 || BitsPerPixel != 32)
        return Result;
    const size_t Start = HeaderSize + size_t(Colors) * 12;
    if (Start + size_t(BytesPerLine) * Height > Data.size())
        return Result;
    Result.Width = Integer(Width);
    Result.Height = Integer(Height);
    for (Cardinal Y = 0; Y < Height; ++Y)
        for (Cardinal X = 0; X < Width; ++X) {
            const auto* B = reinterpret_cast<const unsigned char*>(Data.data()) + Start + Y * BytesPerLine + X * 4;
            Result.Pixels.push_back(ByteOrder == 0
                    ? (Cardinal(B[3]) << 24) | (Cardinal(B[2]) << 16) | (Cardinal(B[1]) << 8) | B[0]
                    : (Cardinal(B[0]) << 24) | (Cardinal(B[1]) << 16) | (Cardinal(B[2]) << 8) | B[3]);
        }
    return Result;
}

// A borderless form whose top strip is a caption.
class TCaptionForm : public TForm {
    X_CLASS_TEMPLATE(TCaptionForm, TForm, u"TCaptionForm")
public:
    bool CaptionPressed = false;
    void WndProc(TMessage& Message) override
    {
        CaptionPressed = CaptionPressed || Message.Msg == WM_NCLBUTTONDOWN;
        inherited::WndProc(Message);
        if (Message.Msg == WM_NCHITTEST && Message.Result == HTCLIENT) {
            POINT P { GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam) };
            ::ScreenToClient(Handle(), &P);
            if (P.y < 20)
                Message.Result = HTCAPTION;
        }
    }
};

class X11Screen : public testing::Test {
protected:
    static void SetUpTestSuite() { Server = new Testing::TXvfb(800, 600); }
    static void TearDownTestSuite()
    {
        delete Server;
        Server = nullptr;
    }

    void SetUp() override
    {
        if (!Server->Started() || !Testing::HaveTool("xdotool") || !Testing::HaveTool("xwd"))
            GTEST_SKIP() << "Xvfb, xdotool or xwd is missing";
        Display = std::make_unique<Testing::TScopedEnv>("DISPLAY", Server->Display());
        X = std::make_unique<TX11Presenter>(Server->Display());
        ASSERT_TRUE(X->Ok());
        Previous = SetPresenter(X.get());
    }
    void TearDown() override
    {
        FreeAndNil(Form);
        if (X) {
            Application->ProcessMessages();
            SetPresenter(Previous);
        }
    }

    void MakeForm(TForm* F)
    {
        Form = F;
        Form->SetBorderStyle(bsNone);
        Form->SetBounds(50, 40, 300, 200);
        Form->SetColor(0xFFFFFF);
        A = New<TProbePanel>(Form);
        A->SetBounds(10, 30, 120, 80);
        A->SetColor(0x3060C0);
        A->SetParent(Form);
        B = New<TProbePanel>(Form);
        B->SetBounds(150, 30, 120, 80);
        B->SetColor(0x40A040);
        B->SetParent(Form);
        Form->Show();
        Settle();
    }

    // Pumps until Done answers true or the time is up (the X server and
    // the tools run in real time).
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
    // What was asked of the server is done, and what it sent back is handled.
    void Settle()
    {
        for (int I = 0; I < 3; ++I) {
            Application->ProcessMessages();
            X->Sync();
            X->Dispatch();
        }
        Application->ProcessMessages();
        X->Sync();
    }
    std::string Run(const std::vector<std::string>& Argv)
    {
        Testing::TToolResult R = Testing::RunTool(Argv);
        EXPECT_EQ(R.ExitCode, 0) << Argv[0];
        return R.Output;
    }
    std::string Window() { return Hex(X->XWindowOf(Form->Handle())); }

    static inline Testing::TXvfb* Server = nullptr;
    std::unique_ptr<Testing::TScopedEnv> Display;
    std::unique_ptr<TX11Presenter> X;
    TPresenter* Previous = nullptr;
    TForm* Form = nullptr;
    TProbePanel* A = nullptr;
    TProbePanel* B = nullptr;
};

}

TEST_F(X11Screen, AShownFormIsMappedAndShowsItsOwnPicture)
{
    MakeForm(New<TForm>(nullptr));
    Form->SetCaption(u"Probe \u00e9t\u00e9");
    Settle();
    const std::string Info = Run({ "xwininfo", "-id", Window() });
    EXPECT_NE(Info.find("Map State: IsViewable"), std::string::npos) << Info;
    EXPECT_NE(Info.find("Absolute upper-left X:  50"), std::string::npos) << Info;
    const std::string Name = Run({ "xprop", "-id", Window(), "_NET_WM_NAME" });
    EXPECT_NE(Name.find("Probe \xc3\xa9t\xc3\xa9"), std::string::npos) << Name;

    // The pixels that differ between the screen and the form's picture.
    auto Differences = [&](const TXwdPicture& Shown) {
        TPixelBuffer Own;
        EXPECT_TRUE(GetWindowPicture(Form->Handle(), Own));
        EXPECT_EQ(Shown.Width, Own.Width());
        EXPECT_EQ(Shown.Height, Own.Height());
        Integer Count = 0;
        for (Integer Y = 0; Y < std::min(Own.Height(), Shown.Height); ++Y)
            for (Integer X = 0; X < std::min(Own.Width(), Shown.Width); ++X)
                Count += Shown.At(X, Y) != (Own.Pixel(X, Y) & 0xFFFFFF);
        return Count;
    };
    const TXwdPicture Shown = ParseXwd(Run({ "xwd", "-silent", "-id", Window() }));
    EXPECT_EQ(Differences(Shown), 0);
    EXPECT_EQ(Shown.At(20, 40), 0xC06030u); // panel A (TColor 0x3060C0 is blue C0, green 60, red 30)

    // A change shows up too.
    B->SetColor(0x0000FF);
    Settle();
    EXPECT_EQ(ParseXwd(Run({ "xwd", "-silent", "-id", Window() })).At(200, 60), 0xFF0000u);

    // So does a scroll that moves the pixels already there.
    ScrollWindow(Form->Handle(), 0, -25, nullptr, nullptr);
    Settle();
    const TXwdPicture Scrolled = ParseXwd(Run({ "xwd", "-silent", "-id", Window() }));
    EXPECT_EQ(Differences(Scrolled), 0);
    EXPECT_EQ(Scrolled.At(200, 80), 0xFF0000u);
    EXPECT_NE(Scrolled.At(200, 90), 0xFF0000u); // B now ends at 85
}

TEST_F(X11Screen, ClicksAndTypedKeysReachTheControls)
{
    MakeForm(New<TForm>(nullptr));
    Integer Clicks = 0;
    B->OnClick = [&](TObject*) { ++Clicks; };
    std::string Typed;
    B->OnKeyPress = [&](TObject*, Char& K) { Typed += char(K); };
    Run({ "xdotool", "mousemove", "--sync", "250", "110", "click", "1" });
    EXPECT_TRUE(PumpUntil([&] { return Clicks == 1; }));
    EXPECT_TRUE(B->Focused());
    Settle();
    Run({ "xdotool", "type", "--delay", "0", "Hi 7" });
    EXPECT_TRUE(PumpUntil([&] { return Typed.size() == 4; }));
    EXPECT_EQ(Typed, "Hi 7");
}

TEST_F(X11Screen, AGrabbedHotKeyArrivesAsWMHotKeyAndATakenOneFails)
{
    std::vector<WPARAM> HotKeys;
    HWND Wnd = CreateHiddenWindow([&](HWND W, UINT M, WPARAM WP, LPARAM LP) -> LRESULT {
        if (M == WM_HOTKEY)
            HotKeys.push_back(WP);
        return DefWindowProc(W, M, WP, LP);
    });
    ASSERT_TRUE(RegisterHotKey(Wnd, 5, MOD_CONTROL | MOD_ALT, 'K'));
    Run({ "xdotool", "key", "ctrl+alt+k" });
    EXPECT_TRUE(PumpUntil([&] { return !HotKeys.empty(); }));
    EXPECT_EQ(HotKeys, (std::vector<WPARAM> { 5 }));

    // Another client holds Ctrl+Shift+J: X answers an error, the call False.
    TX11Presenter Other(Server->Display());
    ASSERT_TRUE(Other.GrabHotKey(MOD_CONTROL | MOD_SHIFT, 'J'));
    EXPECT_FALSE(RegisterHotKey(Wnd, 6, MOD_CONTROL | MOD_SHIFT, 'J'));
    EXPECT_TRUE(RegisterHotKey(Wnd, 7, MOD_CONTROL | MOD_SHIFT, 'L'));
    DestroyWindow(Wnd);
}

TEST_F(X11Screen, TheDesktopPictureShowsOnTheRootWindow)
{
    TPixelBuffer Picture(800, 600);
    for (Integer Y = 0; Y < 600; ++Y)
        for (Integer X = 0; X < 800; ++X)
            Picture.SetPixel(X, Y, X < 400 ? 0x00336699 : (Y < 300 ? 0x00CC0000 : 0x0000AA00));
    ASSERT_TRUE(X->SetDesktopPicture(Picture));
    X->Sync();
    const TXwdPicture Root = ParseXwd(Run({ "xwd", "-silent", "-root" }));
    ASSERT_EQ(Root.Width, 800);
    EXPECT_EQ(Root.At(100, 100), 0x336699u);
    EXPECT_EQ(Root.At(700, 100), 0xCC0000u);
    EXPECT_EQ(Root.At(700, 500), 0x00AA00u);
    const std::string Id = Run({ "xprop", "-root", "_XROOTPMAP_ID" });
    EXPECT_NE(Id.find("pixmap id #"), std::string::npos) << Id;
}

TEST_F(X11Screen, OpacityAndIconReachTheWindowManagersProperties)
{
    MakeForm(New<TForm>(nullptr));
    Form->SetAlphaBlendValue(128);
    Form->SetAlphaBlend(true);
    TPixelBuffer Icon(2, 1);
    Icon.SetPixel(0, 0, 0xFF112233);
    Icon.SetPixel(1, 0, 0x00000000);
    ASSERT_TRUE(SetWindowIconPicture(Form->Handle(), Icon));
    Settle();
    // 128 of 255 as a fraction of 0xFFFFFFFF.
    const std::string Opacity = Run({ "xprop", "-id", Window(), "_NET_WM_WINDOW_OPACITY" });
    EXPECT_NE(Opacity.find("= 2155905152"), std::string::npos) << Opacity;
    const std::string Shown = Run({ "xprop", "-id", Window(), "_NET_WM_ICON" });
    EXPECT_NE(Shown.find("Icon (2 x 1)"), std::string::npos) << Shown;

    // Opaque again: the property goes, as does an emptied icon.
    Form->SetAlphaBlend(false);
    ASSERT_TRUE(SetWindowIconPicture(Form->Handle(), TPixelBuffer()));
    Settle();
    EXPECT_NE(Run({ "xprop", "-id", Window(), "_NET_WM_WINDOW_OPACITY" }).find("not found"), std::string::npos);
    EXPECT_NE(Run({ "xprop", "-id", Window(), "_NET_WM_ICON" }).find("not found"), std::string::npos);
}

TEST_F(X11Screen, TheCloseButtonAsksTheFormToClose)
{
    MakeForm(New<TForm>(nullptr));
    bool Asked = false;
    Form->OnCloseQuery = [&](TObject*, bool& CanClose) {
        Asked = true;
        CanClose = false;
    };
    ASSERT_TRUE(SendDeleteWindow(Server->Display(), X->XWindowOf(Form->Handle())));
    EXPECT_TRUE(PumpUntil([&] { return Asked; }));
    EXPECT_TRUE(Form->Visible());
}

TEST_F(X11Screen, WithoutAWindowManagerTheCaptionMovesTheWindowUnderAGrab)
{
    auto* Captioned = New<TCaptionForm>(nullptr);
    MakeForm(Captioned);
    Run({ "xdotool", "mousemove", "--sync", "120", "50", "mousedown", "1" });
    ASSERT_TRUE(PumpUntil([&] { return Captioned->CaptionPressed; }));
    Settle(); // the pointer grab is in place
    Run({ "xdotool", "mousemove", "--sync", "170", "80" });
    Run({ "xdotool", "mouseup", "1" });
    EXPECT_TRUE(PumpUntil([&] { return Form->Left() == 100 && Form->Top() == 70; }));
    RECT R;
    GetWindowRect(Form->Handle(), &R);
    EXPECT_EQ(R.left, 100);
    Settle();
    const std::string Info = Run({ "xwininfo", "-id", Window() });
    EXPECT_NE(Info.find("Absolute upper-left X:  100"), std::string::npos) << Info;
}

TEST_F(X11Screen, EveryTypedCharacterArrivesOnceWhateverTheKeyboardLayout)
{
    if (!Testing::HaveTool("setxkbmap") || !Testing::HaveTool("xmodmap"))
        GTEST_SKIP() << "setxkbmap or xmodmap is missing";
    MakeForm(New<TForm>(nullptr));
    String Typed;
    std::vector<Word> Downs;
    for (TProbePanel* P : { A, B }) {
        P->OnKeyPress = [&](TObject*, Char& K) { Typed += K; };
        P->OnKeyDown = [&](TObject*, Word& K, TShiftState) { Downs.push_back(K); };
    }
    Run({ "xdotool", "mousemove", "--sync", "250", "110", "click", "1" });
    ASSERT_TRUE(PumpUntil([&] { return B->Focused(); }));
    // Keys xdotool finds on the layout (it would map others for a moment
    // only, which a client reading later cannot look up); characters no
    // layout has are put on spare keys first.
    struct TCase {
        std::string Layout; // setxkbmap's arguments
        std::string Keys; // xdotool key's
        String Expected;
    };
    const TCase Cases[] = {
        { "us -variant intl", "dead_acute e", u"\u00e9" }, // a dead key
        { "us -variant intl", "dead_diaeresis u", u"\u00fc" },
        { "us -option compose:ralt", "Multi_key o c", u"\u00a9" }, // a compose sequence
        { "us -option compose:ralt", "Multi_key e equal", u"\u20ac" }, { "de", "udiaeresis", u"\u00fc" },
        { "de", "ssharp", u"\u00df" }, { "de", "EuroSign", u"\u20ac" }, // AltGr+E
        { "ru", "Cyrillic_zhe", u"\u0436" },
        { "us", "a U3042 U1F600", u"a\u3042\U0001F600" }, // beyond the BMP: a surrogate pair
    };
    for (const TCase& C : Cases) {
        std::vector<std::string> Layout { "setxkbmap", "-display", Server->Display() };
        for (std::string::size_type At = 0; At < C.Layout.size();) {
            const auto End = std::min(C.Layout.find(' ', At), C.Layout.size());
            Layout.push_back(C.Layout.substr(At, End - At));
            At = End + 1;
        }
        Run(Layout);
        Run({ "xmodmap", "-display", Server->Display(), "-e", "keycode 200 = U3042", "-e", "keycode 201 = U1F600" });
        Settle();
        Typed.clear();
        Downs.clear();
        std::vector<std::string> Typing { "xdotool", "key", "--delay", "20" };
        for (std::string::size_type At = 0; At < C.Keys.size();) {
            const auto End = std::min(C.Keys.find(' ', At), C.Keys.size());
            Typing.push_back(C.Keys.substr(At, End - At));
            At = End + 1;
        }
        Run(Typing);
        PumpUntil([&] { return Typed.size() >= C.Expected.size(); }, 3000);
        Settle();
        EXPECT_EQ(StringToUTF8(Typed), StringToUTF8(C.Expected)) << C.Layout << ": " << C.Keys;
    }
    // The key down still names the key: E of the German AltGr+E above is
    // the last case's A here.
    EXPECT_EQ(Downs.front(), Word('A'));

    // Tab moves the focus on and types nothing into either control.
    Run({ "setxkbmap", "-display", Server->Display(), "us" });
    Settle();
    Typed.clear();
    Run({ "xdotool", "key", "Tab", "x" });
    EXPECT_TRUE(PumpUntil([&] { return !Typed.empty(); }));
    Settle();
    EXPECT_TRUE(A->Focused());
    EXPECT_EQ(StringToUTF8(Typed), "x");
}

TEST_F(X11Screen, AWorkerAsksForTheMonitorsWhileTheMainLoopTakesTheClicks)
{
    MakeForm(New<TForm>(nullptr));
    const std::vector<TMonitorDesc> OnMain = X->Monitors();
    ASSERT_FALSE(OnMain.empty());
    // The worker asks on a connection of its own: the answers are the same,
    // and the display's events stay for the main loop to read.
    std::atomic<Integer> Asked { 0 }, Differ { 0 };
    std::thread Worker([&] {
        for (Integer I = 0; I < 100; ++I) {
            const std::vector<TMonitorDesc> Seen = X->Monitors();
            Differ += Seen.size() != OnMain.size() || Seen[0].Bounds != OnMain[0].Bounds;
            ++Asked;
        }
    });
    Integer Clicks = 0; // presses: quick ones make double clicks
    B->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, Integer, Integer) { ++Clicks; };
    Run({ "xdotool", "mousemove", "--sync", "250", "110" });
    for (Integer I = 1; I <= 5; ++I) {
        Run({ "xdotool", "click", "1" });
        EXPECT_TRUE(PumpUntil([&] { return Clicks == I; }));
    }
    Worker.join();
    EXPECT_EQ(Asked.load(), 100);
    EXPECT_EQ(Differ.load(), 0);
}

TEST_F(X11Screen, AHintIsAnOverrideRedirectTooltipThatTakesNoFocus)
{
    MakeForm(New<TForm>(nullptr));
    A->SetHint(u"A hint over the screen");
    A->SetShowHint(true);
    const std::string FocusBefore = Run({ "xdotool", "getwindowfocus" });
    // The pointer where the hint is asked for: a move elsewhere ends it.
    const TPoint At = A->ClientToScreen({ 10, 10 });
    Run({ "xdotool", "mousemove", std::to_string(At.X), std::to_string(At.Y) });
    Settle();
    Application->CancelHint();
    Application->ActivateHint(At);
    Settle();
    THintWindow* Hint = Application->HintWindow();
    ASSERT_NE(Hint, nullptr);
    ASSERT_TRUE(Hint->HandleAllocated() && IsWindowVisible(Hint->Handle()));
    ASSERT_NE(X->XWindowOf(Hint->Handle()), 0u);
    const std::string Id = Hex(X->XWindowOf(Hint->Handle()));
    const std::string Info = Run({ "xwininfo", "-id", Id });
    EXPECT_NE(Info.find("Map State: IsViewable"), std::string::npos) << Info;
    EXPECT_NE(Info.find("Override Redirect State: yes"), std::string::npos) << Info;
    const std::string Type = Run({ "xprop", "-id", Id, "_NET_WM_WINDOW_TYPE" });
    EXPECT_NE(Type.find("_NET_WM_WINDOW_TYPE_TOOLTIP"), std::string::npos) << Type;
    EXPECT_EQ(Run({ "xdotool", "getwindowfocus" }), FocusBefore);
    Application->CancelHint();
    Settle();
    EXPECT_FALSE(Hint->HandleAllocated());
}
