// What the screen does to a top-level window reaches it as Windows sends
// it, and the window's answer goes back to the screen.
#include "WindowTestSupport.h"
#include "win/ScreenRequests.h"
#include "win/WindowDecor.h"

using namespace WindowTests;

namespace {

class ScreenRequests : public TWindowFixture {
protected:
    void Post(TInputEvent::TKind Kind, HWND Wnd, bool Down = false)
    {
        TInputEvent E = TInputEvent::WindowEvent(Kind, Wnd);
        E.Down = Down;
        PostInput(E);
        Pump();
    }
    void PostPlaced(HWND Wnd, RECT Bounds)
    {
        TInputEvent E = TInputEvent::WindowEvent(TInputEvent::Placed, Wnd);
        E.Bounds = Bounds;
        PostInput(E);
        Pump();
    }
};

}

TEST_F(ScreenRequests, TheScreensCloseIsTheSystemCommandAndMayBeRefused)
{
    TProbe Form;
    bool Refuse = true;
    Form.Handler = [&](HWND, UINT M, WPARAM W, LPARAM) -> std::optional<LRESULT> {
        if (M == WM_SYSCOMMAND && (W & 0xFFF0) == SC_CLOSE && Refuse)
            return 0;
        return std::nullopt;
    };
    HWND F = Make(Form, WS_VISIBLE | WS_OVERLAPPEDWINDOW, { 100, 100, 300, 300 });
    Post(TInputEvent::Close, F);
    ASSERT_TRUE(IsWindow(F));
    ASSERT_TRUE(Form.Last(WM_SYSCOMMAND));
    EXPECT_EQ(Form.Last(WM_SYSCOMMAND)->wParam, SC_CLOSE);
    EXPECT_FALSE(Form.Last(WM_CLOSE));

    Refuse = false;
    Post(TInputEvent::Close, F);
    EXPECT_TRUE(Form.Last(WM_CLOSE)); // DefWindowProc's answer to SC_CLOSE
    EXPECT_FALSE(IsWindow(F));
    Made.clear();
}

TEST_F(ScreenRequests, TheEdgeOfAResizeIsTheSideThatMoved)
{
    const RECT Old { 100, 100, 300, 200 };
    const struct {
        RECT New;
        WPARAM Edge;
    } Cases[] = {
        { { 90, 100, 300, 200 }, WMSZ_LEFT },
        { { 100, 100, 320, 200 }, WMSZ_RIGHT },
        { { 100, 80, 300, 200 }, WMSZ_TOP },
        { { 100, 100, 300, 230 }, WMSZ_BOTTOM },
        { { 90, 80, 300, 200 }, WMSZ_TOPLEFT },
        { { 100, 80, 310, 200 }, WMSZ_TOPRIGHT },
        { { 90, 100, 300, 230 }, WMSZ_BOTTOMLEFT },
        { { 100, 100, 310, 230 }, WMSZ_BOTTOMRIGHT },
        // Both sides of a pair moved (a move and a size at once).
        { { 50, 50, 260, 160 }, WMSZ_BOTTOMRIGHT },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(WinDetail::SizingEdge(Old, C.New), C.Edge) << C.New.left << "," << C.New.top;
}

TEST_F(ScreenRequests, AResizeAsksWMSizingAndAChangedAnswerGoesBackToTheScreen)
{
    TProbe Form;
    std::optional<RECT> Answer;
    Form.Handler = [&](HWND, UINT M, WPARAM, LPARAM L) -> std::optional<LRESULT> {
        if (M == WM_SIZING && Answer) {
            *reinterpret_cast<RECT*>(L) = *Answer;
            return 1;
        }
        return std::nullopt;
    };
    HWND F = Make(Form, WS_VISIBLE | WS_OVERLAPPEDWINDOW, { 100, 100, 300, 300 });

    // Taken as the screen did it: the screen is not told again.
    PostPlaced(F, { 100, 100, 350, 300 });
    ASSERT_TRUE(Form.Last(WM_SIZING));
    EXPECT_EQ(Form.Last(WM_SIZING)->wParam, WMSZ_RIGHT);
    RECT R;
    GetWindowRect(F, &R);
    EXPECT_EQ(R, (RECT { 100, 100, 350, 300 }));
    EXPECT_EQ(Screen.Bounds(F), (RECT { 100, 100, 300, 300 }));

    // The window keeps its width: its answer is placed and sent back.
    Answer = RECT { 100, 100, 350, 400 };
    PostPlaced(F, { 100, 100, 500, 400 });
    GetWindowRect(F, &R);
    EXPECT_EQ(R, *Answer);
    EXPECT_EQ(Screen.Bounds(F), *Answer);

    // A move alone is no sizing.
    Form.Log.clear();
    PostPlaced(F, { 0, 0, 250, 300 });
    EXPECT_FALSE(Form.Last(WM_SIZING));
    GetWindowRect(F, &R);
    EXPECT_EQ(R, (RECT { 0, 0, 250, 300 }));
}

TEST_F(ScreenRequests, MinimisingMaximisingAndRestoringAreSystemCommandsARefusedOneIsUndone)
{
    struct TCase {
        const char* Name;
        TInputEvent::TKind Kind;
        bool Down;
        bool Refuse;
        bool Iconic; // the window afterwards
        bool Zoomed;
    };
    const TCase Cases[] = {
        { "minimise", TInputEvent::Minimized, true, false, true, false },
        { "minimise refused", TInputEvent::Minimized, true, true, false, false },
        { "maximise", TInputEvent::Maximized, true, false, false, true },
        { "maximise refused", TInputEvent::Maximized, true, true, false, false },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TProbe Form;
        Form.Handler = [&](HWND, UINT M, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (M == WM_SYSCOMMAND && C.Refuse)
                return 0;
            return std::nullopt;
        };
        HWND F = Make(Form, WS_VISIBLE | WS_OVERLAPPEDWINDOW, { 100, 100, 300, 300 });
        Post(C.Kind, F, C.Down);
        ASSERT_TRUE(Form.Last(WM_SYSCOMMAND));
        EXPECT_EQ(Form.Last(WM_SYSCOMMAND)->wParam, C.Kind == TInputEvent::Minimized ? SC_MINIMIZE : SC_MAXIMIZE);
        EXPECT_EQ(IsIconic(F), C.Iconic);
        EXPECT_EQ(IsZoomed(F), C.Zoomed);
        // The screen shows what the window is: undone when refused.
        EXPECT_EQ(Screen.IsIconic(F), C.Iconic);
        EXPECT_EQ(Screen.IsZoomed(F), C.Zoomed);
        EXPECT_TRUE(Screen.IsShown(F));
        SetWindowLongPtr(F, GWLP_USERDATA, 0);
    }

    // Restoring from the screen, accepted and refused.
    for (const bool Refuse : { false, true }) {
        SCOPED_TRACE(Refuse ? "restore refused" : "restore");
        TProbe Form;
        HWND F = Make(Form, WS_VISIBLE | WS_OVERLAPPEDWINDOW, { 100, 100, 300, 300 });
        ShowWindow(F, SW_MINIMIZE);
        Form.Handler = [&](HWND, UINT M, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (M == WM_SYSCOMMAND && Refuse)
                return 0;
            return std::nullopt;
        };
        Post(TInputEvent::Minimized, F, false);
        ASSERT_TRUE(Form.Last(WM_SYSCOMMAND));
        EXPECT_EQ(Form.Last(WM_SYSCOMMAND)->wParam, SC_RESTORE);
        EXPECT_EQ(IsIconic(F), Refuse);
        EXPECT_EQ(Screen.IsIconic(F), Refuse);
        SetWindowLongPtr(F, GWLP_USERDATA, 0);
    }
}

TEST_F(ScreenRequests, TopLevelSizesStayWithinTheTrackingSizes)
{
    TMonitorDesc Left { { 0, 0, 1920, 1080 }, { 0, 0, 1920, 1040 }, 96, 96, true };
    TMonitorDesc Right { { 1920, 0, 3200, 1024 }, { 1920, 0, 3200, 1024 }, 96, 96, false };
    Screen.SetMonitors({ Left, Right });
    TProbe Sizable, Popup, Small;
    Small.Handler = [](HWND, UINT M, WPARAM, LPARAM L) -> std::optional<LRESULT> {
        if (M == WM_GETMINMAXINFO) {
            auto* Info = reinterpret_cast<MINMAXINFO*>(L);
            // The defaults arrive filled in.
            EXPECT_EQ(Info->ptMaxTrackSize.x, 3200);
            EXPECT_EQ(Info->ptMaxTrackSize.y, 1080);
            Info->ptMaxTrackSize = { 640, 480 };
            Info->ptMinTrackSize = { 200, 100 };
        }
        return std::nullopt;
    };
    struct TCase {
        const char* Name;
        TProbe* Probe;
        DWORD Style;
        RECT Asked;
        SIZE Got;
    } Cases[] = {
        { "huge sizable", &Sizable, WS_OVERLAPPEDWINDOW, { -50000, -50000, 50000, 50000 }, { 3200, 1080 } },
        { "huge overlapped", &Sizable, WS_CAPTION, { 0, 0, 100000, 200 }, { 3200, 200 } },
        { "within", &Sizable, WS_OVERLAPPEDWINDOW, { 10, 10, 810, 610 }, { 800, 600 } },
        { "its own maximum", &Small, WS_OVERLAPPEDWINDOW, { 0, 0, 1000, 1000 }, { 640, 480 } },
        { "its own minimum", &Small, WS_OVERLAPPEDWINDOW, { 0, 0, 20, 20 }, { 200, 100 } },
        // A pop-up is placed as asked, as on Windows.
        { "pop-up", &Popup, WS_POPUP, { 0, 0, 5000, 300 }, { 5000, 300 } },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        HWND F = Make(*C.Probe, C.Style, { 0, 0, 100, 100 });
        SetWindowPos(F, nullptr, C.Asked.left, C.Asked.top, RectWidth(C.Asked), RectHeight(C.Asked),
            SWP_NOZORDER | SWP_NOACTIVATE);
        RECT R;
        GetWindowRect(F, &R);
        EXPECT_EQ(RectWidth(R), C.Got.cx);
        EXPECT_EQ(RectHeight(R), C.Got.cy);
        EXPECT_EQ(R.left, C.Asked.left);
    }
    // The screen sizing the window is held to the same sizes, and told.
    HWND F = Make(Small, WS_VISIBLE | WS_OVERLAPPEDWINDOW, { 0, 0, 300, 300 });
    PostPlaced(F, { 0, 0, 900, 300 });
    RECT R;
    GetWindowRect(F, &R);
    EXPECT_EQ(R, (RECT { 0, 0, 640, 300 }));
    EXPECT_EQ(Screen.Bounds(F), R);
}

TEST_F(ScreenRequests, RegionsAndExtendedStylesReachTheScreen)
{
    TProbe Main, Dialog, Tool, Listed, Shade, Cut;
    HWND M = Make(Main, WS_VISIBLE | WS_OVERLAPPEDWINDOW, { 0, 0, 400, 300 });
    EXPECT_FALSE(Screen.IsSkippingTaskBar(M));
    EXPECT_FALSE(Screen.IsAbove(M));

    // Owned by a window on the screen: transient for it, off the task bar
    // unless it asks to be listed.
    HWND D = CreateWindowEx(0, u"WinTestProbe", u"dialog", WS_POPUP | WS_CAPTION, 10, 10, 100, 100, nullptr);
    SetWindowLongPtr(D, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(M));
    SetWindowLongPtr(D, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&Dialog));
    Made.push_back(D);
    ShowWindow(D, SW_SHOWNORMAL);
    EXPECT_EQ(Screen.Owner(D), M);
    EXPECT_TRUE(Screen.IsSkippingTaskBar(D));
    HWND L = Make(Listed, WS_VISIBLE | WS_OVERLAPPEDWINDOW, { 0, 0, 100, 100 }, nullptr, WS_EX_APPWINDOW | WS_EX_TOOLWINDOW);
    EXPECT_FALSE(Screen.IsSkippingTaskBar(L));
    HWND T = Make(Tool, WS_VISIBLE | WS_POPUP | WS_CAPTION, { 0, 0, 100, 100 }, nullptr, WS_EX_TOOLWINDOW);
    EXPECT_TRUE(Screen.IsSkippingTaskBar(T));
    // The task-bar flag set later.
    SetWindowLongPtr(T, GWL_EXSTYLE, GetWindowLongPtr(T, GWL_EXSTYLE) | WS_EX_APPWINDOW);
    EXPECT_FALSE(Screen.IsSkippingTaskBar(T));

    // Staying on top follows HWND_TOPMOST and HWND_NOTOPMOST.
    SetWindowPos(M, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(Screen.IsAbove(M));
    EXPECT_TRUE(GetWindowLongPtr(M, GWL_EXSTYLE) & WS_EX_TOPMOST);
    SetWindowPos(M, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_FALSE(Screen.IsAbove(M));

    // A region set before the window shows reaches it with its surface;
    // later ones follow; none gives the whole window back.
    HWND C = Make(Cut, WS_POPUP, { 500, 500, 600, 600 });
    const std::vector<RECT> Ring { { 0, 0, 100, 10 }, { 0, 10, 10, 90 }, { 90, 10, 100, 90 }, { 0, 90, 100, 100 } };
    SetWindowShape(C, &Ring, false);
    EXPECT_FALSE(Screen.HasSurface(C));
    ShowWindow(C, SW_SHOWNA);
    ASSERT_TRUE(Screen.Shape(C));
    EXPECT_EQ(*Screen.Shape(C), Ring);
    const std::vector<RECT> Half { { 0, 0, 50, 100 } };
    SetWindowShape(C, &Half, false);
    EXPECT_EQ(*Screen.Shape(C), Half);
    SetWindowShape(C, nullptr, false);
    EXPECT_FALSE(Screen.Shape(C));

    // A translucent window that never activates is kept out of sight
    // without a compositing manager, and is never focused.
    Screen.SetCompositing(false);
    HWND S = Make(Shade, WS_POPUP, { 0, 0, 400, 300 }, nullptr, WS_EX_LAYERED | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW);
    SetLayeredWindowAttributes(S, 0, 128, LWA_ALPHA);
    ShowWindow(S, SW_SHOWNA);
    EXPECT_TRUE(Screen.IsShown(S));
    EXPECT_TRUE(Screen.IsHeldBack(S));
    EXPECT_FALSE(Screen.IsHeldBack(M));
    SetLayeredWindowAttributes(S, 0, 255, LWA_ALPHA);
    EXPECT_FALSE(Screen.IsHeldBack(S)); // opaque: nothing to compose
    SetLayeredWindowAttributes(S, 0, 128, LWA_ALPHA);
    Screen.SetCompositing(true);
    EXPECT_FALSE(Screen.IsHeldBack(S));
    SetForegroundWindow(S);
    EXPECT_NE(Screen.Foreground(), S);
}
