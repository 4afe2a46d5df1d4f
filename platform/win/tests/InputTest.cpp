#include "WindowTestSupport.h"
#include "win/Cursors.h"

using namespace WindowTests;

namespace {

class Input : public TWindowFixture {
protected:
    void Click(POINT P, Integer Button = mbiLeft)
    {
        PostInput(TInputEvent::ButtonEvent(P, Button, true));
        PostInput(TInputEvent::ButtonEvent(P, Button, false));
        Pump();
    }
    void Key(UINT Vk, char32_t Char = 0)
    {
        PostInput(TInputEvent::KeyEvent(Vk, true, Char));
        PostInput(TInputEvent::KeyEvent(Vk, false));
        Pump();
    }
};

POINT PointOf(LPARAM L)
{
    return { GET_X_LPARAM(L), GET_Y_LPARAM(L) };
}

}

TEST_F(Input, AClickHitTestsTheTopmostWindowActivatesAndArrivesInClientCoordinates)
{
    TProbe Form, Panel, Button;
    HWND F = Make(Form, WS_VISIBLE, { 100, 100, 300, 250 });
    HWND P = Make(Panel, WS_VISIBLE | WS_CHILD | WS_BORDER, { 10, 10, 110, 110 }, F);
    HWND B = Make(Button, WS_VISIBLE | WS_CHILD, { 20, 20, 60, 40 }, P);
    EXPECT_EQ(WindowFromPoint({ 131, 131 }), B);
    SetActiveWindow(nullptr);
    Pump();
    Form.Log.clear();
    Button.Log.clear();

    // The button's client (0, 0) is at 100 + 10 + 1 (border) + 20.
    Click({ 131 + 5, 131 + 6 });
    EXPECT_EQ(Button.Messages({ WM_NCHITTEST, WM_MOUSEACTIVATE, WM_SETCURSOR, WM_LBUTTONDOWN, WM_LBUTTONUP }),
        (std::vector<UINT> { WM_NCHITTEST, WM_MOUSEACTIVATE, WM_SETCURSOR, WM_LBUTTONDOWN, WM_NCHITTEST,
            WM_LBUTTONUP }));
    const MSG* Down = Button.Last(WM_LBUTTONDOWN);
    ASSERT_TRUE(Down);
    EXPECT_EQ(PointOf(Down->lParam).x, 5);
    EXPECT_EQ(PointOf(Down->lParam).y, 6);
    EXPECT_EQ(Down->wParam, MK_LBUTTON);
    // WM_MOUSEACTIVATE went up the parents, then the form was activated.
    EXPECT_EQ(GetActiveWindow(), F);
    EXPECT_EQ(LOWORD(Form.Last(WM_ACTIVATE)->wParam), WA_CLICKACTIVE);
    EXPECT_EQ(GetFocus(), F);

    // The panel's border is not client area: WM_NCLBUTTONDOWN with the code.
    Panel.Log.clear();
    Click({ 110, 140 });
    const MSG* NcDown = Panel.Last(WM_NCLBUTTONDOWN);
    ASSERT_TRUE(NcDown);
    EXPECT_EQ(LRESULT(NcDown->wParam), HTBORDER);
    EXPECT_EQ(PointOf(NcDown->lParam).x, 110);
}

TEST_F(Input, TransparentDisabledAndHiddenChildrenLetThePointerThrough)
{
    TProbe Form, Glass, Off, Gone;
    HWND F = Make(Form, WS_VISIBLE, { 0, 0, 200, 200 });
    Glass.Handler = [](HWND, UINT M, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (M == WM_NCHITTEST)
            return HTTRANSPARENT;
        return std::nullopt;
    };
    HWND G = Make(Glass, WS_VISIBLE | WS_CHILD, { 0, 0, 50, 50 }, F);
    HWND O = Make(Off, WS_VISIBLE | WS_CHILD | WS_DISABLED, { 50, 0, 100, 50 }, F);
    Make(Gone, WS_CHILD, { 100, 0, 150, 50 }, F);
    EXPECT_EQ(WindowFromPoint({ 10, 10 }), F);
    EXPECT_EQ(WindowFromPoint({ 60, 10 }), F);
    EXPECT_EQ(WindowFromPoint({ 110, 10 }), F);
    EnableWindow(O, true);
    EXPECT_EQ(WindowFromPoint({ 60, 10 }), O);
    EXPECT_EQ(ChildWindowFromPoint(F, { 10, 10 }), G);
    EXPECT_EQ(WindowFromPoint({ 500, 10 }), nullptr);
}

TEST_F(Input, DoubleClicksNeedTheClassStyleTheTimeAndThePlace)
{
    TProbe P;
    Make(P, WS_VISIBLE, { 0, 0, 100, 100 });
    Pump();
    Click({ 10, 10 });
    Clock.Advance(GetDoubleClickTime());
    Click({ 11, 11 });
    Clock.Advance(GetDoubleClickTime() + 1);
    Click({ 11, 11 });
    Click({ 30, 30 }); // too far from the one before
    EXPECT_EQ(P.Messages({ WM_LBUTTONDOWN, WM_LBUTTONDBLCLK }),
        (std::vector<UINT> { WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN, WM_LBUTTONDOWN }));

    // A window of a class without CS_DBLCLKS only ever sees presses.
    std::vector<UINT> Seen;
    WNDCLASS Plain;
    Plain.lpszClassName = u"WinTestPlain";
    static std::vector<UINT>* Log;
    Log = &Seen;
    Plain.lpfnWndProc = [](HWND W, UINT M, WPARAM WP, LPARAM LP) -> LRESULT {
        if (M == WM_LBUTTONDOWN || M == WM_LBUTTONDBLCLK)
            Log->push_back(M);
        return DefWindowProc(W, M, WP, LP);
    };
    RegisterClass(Plain);
    HWND W = CreateWindowEx(0, u"WinTestPlain", u"", WS_VISIBLE, 200, 0, 50, 50);
    Made.push_back(W);
    Click({ 210, 10 });
    Click({ 210, 10 });
    EXPECT_EQ(Seen, (std::vector<UINT> { WM_LBUTTONDOWN, WM_LBUTTONDOWN }));
}

TEST_F(Input, CaptureTakesThePointerAnywhereUntilReleased)
{
    TProbe Form, Child;
    HWND F = Make(Form, WS_VISIBLE, { 100, 100, 300, 300 });
    HWND C = Make(Child, WS_VISIBLE | WS_CHILD, { 10, 10, 50, 50 }, F);
    Child.Handler = [](HWND W, UINT M, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (M == WM_LBUTTONDOWN)
            SetCapture(W);
        if (M == WM_LBUTTONUP)
            ReleaseCapture();
        return std::nullopt;
    };
    PostInput(TInputEvent::ButtonEvent({ 120, 120 }, mbiLeft, true));
    PostInput(TInputEvent::Move({ 90, 400 })); // outside every window
    PostInput(TInputEvent::ButtonEvent({ 90, 400 }, mbiLeft, false));
    PostInput(TInputEvent::Move({ 250, 250 }));
    Pump();
    const MSG* Drag = Child.Last(WM_MOUSEMOVE);
    ASSERT_TRUE(Drag);
    EXPECT_EQ(PointOf(Drag->lParam).x, 90 - 110);
    EXPECT_EQ(PointOf(Drag->lParam).y, 400 - 110);
    ASSERT_TRUE(Child.Last(WM_LBUTTONUP));
    EXPECT_TRUE(Child.Last(WM_CAPTURECHANGED));
    EXPECT_EQ(GetCapture(), nullptr);
    // After the release the pointer is the form's again.
    ASSERT_TRUE(Form.Last(WM_MOUSEMOVE));
    EXPECT_EQ(PointOf(Form.Last(WM_MOUSEMOVE)->lParam).x, 150);
    EXPECT_EQ(Child.Messages({ WM_SETCURSOR }).size(), 1u); // none while captured
    (void)C;
}

TEST_F(Input, LeavingATrackedWindowComesBeforeTheMoveIntoTheNext)
{
    TProbe Form, Child;
    HWND F = Make(Form, WS_VISIBLE, { 0, 0, 200, 200 });
    HWND C = Make(Child, WS_VISIBLE | WS_CHILD, { 50, 50, 100, 100 }, F);
    std::vector<std::pair<HWND, UINT>> Order;
    auto Track = [&Order](HWND W, UINT M, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (M == WM_MOUSEMOVE) {
            TRACKMOUSEEVENT T;
            T.dwFlags = TME_LEAVE;
            T.hwndTrack = W;
            TrackMouseEvent(&T);
        }
        if (M == WM_MOUSEMOVE || M == WM_MOUSELEAVE)
            Order.emplace_back(W, M);
        return std::nullopt;
    };
    Form.Handler = Track;
    Child.Handler = Track;
    PostInput(TInputEvent::Move({ 10, 10 }));
    PostInput(TInputEvent::Move({ 60, 60 }));
    PostInput(TInputEvent::Move({ 61, 61 }));
    PostInput(TInputEvent::WindowEvent(TInputEvent::PointerLeft, nullptr));
    Pump();
    EXPECT_EQ(Order,
        (std::vector<std::pair<HWND, UINT>> { { F, WM_MOUSEMOVE }, { F, WM_MOUSELEAVE }, { C, WM_MOUSEMOVE },
            { C, WM_MOUSEMOVE }, { C, WM_MOUSELEAVE } }));
}

TEST_F(Input, KeysGoToTheFocusAndTranslateIntoCharacters)
{
    TProbe Form, Edit;
    HWND F = Make(Form, WS_VISIBLE, { 0, 0, 200, 200 });
    HWND E = Make(Edit, WS_VISIBLE | WS_CHILD, { 10, 10, 100, 30 }, F);
    Pump();
    EXPECT_EQ(GetFocus(), F); // the activated window took it
    Form.Log.clear();
    EXPECT_EQ(SetFocus(E), F);
    EXPECT_EQ(Form.Messages({ WM_KILLFOCUS }).size(), 1u);
    EXPECT_EQ(reinterpret_cast<HWND>(Edit.Last(WM_SETFOCUS)->wParam), F);

    Key('A', U'a');
    Key(0xC0, U'\U0001F600'); // a key typing a character beyond the BMP
    EXPECT_EQ(Edit.Messages({ WM_KEYDOWN, WM_CHAR, WM_KEYUP }),
        (std::vector<UINT> { WM_KEYDOWN, WM_CHAR, WM_KEYUP, WM_KEYDOWN, WM_CHAR, WM_CHAR, WM_KEYUP }));
    std::vector<WPARAM> Chars;
    for (const MSG& M : Edit.Log)
        if (M.message == WM_CHAR)
            Chars.push_back(M.wParam);
    EXPECT_EQ(Chars, (std::vector<WPARAM> { u'a', 0xD83D, 0xDE00 }));
    EXPECT_TRUE(Edit.Last(WM_KEYUP)->lParam & (LPARAM(1) << 31));

    // Shift held: GetKeyState tells; Alt makes system keys.
    PostInput(TInputEvent::KeyEvent(VK_SHIFT, true));
    Pump();
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    PostInput(TInputEvent::KeyEvent(VK_SHIFT, false));
    PostInput(TInputEvent::KeyEvent(VK_MENU, true));
    PostInput(TInputEvent::KeyEvent('F', true));
    PostInput(TInputEvent::KeyEvent('F', false));
    PostInput(TInputEvent::KeyEvent(VK_MENU, false));
    Pump();
    EXPECT_EQ(GetKeyState(VK_SHIFT), 0);
    EXPECT_EQ(Edit.Last(WM_SYSKEYDOWN)->wParam, WPARAM('F'));

    // Without a focus the active window gets them as system keys.
    SetFocus(nullptr);
    Form.Log.clear();
    Key('B', U'b');
    EXPECT_EQ(Form.Messages({ WM_SYSKEYDOWN, WM_KEYDOWN }), (std::vector<UINT> { WM_SYSKEYDOWN }));
}

TEST_F(Input, HotKeysAreMatchedBeforeTheFocusAndHeldExclusively)
{
    TProbe Form, Other;
    HWND F = Make(Form, WS_VISIBLE, { 0, 0, 100, 100 });
    HWND O = Make(Other, 0, { 0, 0, 10, 10 });
    ASSERT_TRUE(RegisterHotKey(O, 7, MOD_CONTROL | MOD_NOREPEAT, VK_F12));
    EXPECT_FALSE(RegisterHotKey(F, 8, MOD_CONTROL, VK_F12)); // taken by this program
    Screen.SetTakenHotKeys({ { MOD_ALT, 'Q' } });
    EXPECT_FALSE(RegisterHotKey(F, 9, MOD_ALT, 'Q')); // taken by another one
    EXPECT_EQ(Screen.GrabbedHotKeys(), (std::vector<std::pair<UINT, UINT>> { { MOD_CONTROL, VK_F12 } }));
    Pump();
    Form.Log.clear();

    PostInput(TInputEvent::KeyEvent(VK_CONTROL, true));
    PostInput(TInputEvent::KeyEvent(VK_F12, true));
    PostInput(TInputEvent::KeyEvent(VK_F12, false));
    PostInput(TInputEvent::KeyEvent(VK_CONTROL, false));
    // Pressed while another program had the keyboard: the screen says Ctrl.
    TInputEvent Remote = TInputEvent::KeyEvent(VK_F12, true);
    Remote.Modifiers = MOD_CONTROL;
    PostInput(Remote);
    Pump();
    ASSERT_EQ(Other.Messages({ WM_HOTKEY }).size(), 2u);
    EXPECT_EQ(Other.Last(WM_HOTKEY)->wParam, 7u);
    EXPECT_EQ(Other.Last(WM_HOTKEY)->lParam, MAKELPARAM(MOD_CONTROL, VK_F12));
    EXPECT_TRUE(Form.Messages({ WM_KEYDOWN }) == (std::vector<UINT> { WM_KEYDOWN })); // only Ctrl itself

    DestroyWindow(O);
    EXPECT_TRUE(Screen.GrabbedHotKeys().empty());
    EXPECT_TRUE(RegisterHotKey(F, 8, MOD_CONTROL, VK_F12));
    EXPECT_TRUE(UnregisterHotKey(F, 8));
    EXPECT_FALSE(UnregisterHotKey(F, 8));
}

TEST_F(Input, APressOnADisabledOwnerBringsItsActivePopup)
{
    TProbe Owner, Dialog;
    HWND O = Make(Owner, WS_VISIBLE, { 0, 0, 300, 300 });
    HWND D = Make(Dialog, WS_VISIBLE | WS_POPUP, { 50, 50, 150, 150 }, O);
    EXPECT_EQ(GetParent(D), O);
    EXPECT_EQ(GetWindow(D, GW_OWNER), O);
    EnableWindow(O, false);
    SetActiveWindow(nullptr);
    Pump();
    Owner.Log.clear();
    Click({ 250, 250 });
    EXPECT_TRUE(Owner.Messages({ WM_LBUTTONDOWN }).empty());
    EXPECT_EQ(GetActiveWindow(), D);
    EXPECT_EQ(GetLastActivePopup(O), D);
    // The owned window stays above its owner.
    SetForegroundWindow(O);
    EXPECT_EQ(GetWindow(D, GW_HWNDNEXT), O);
    // Destroying the owner takes the owned window with it.
    DestroyWindow(O);
    EXPECT_FALSE(IsWindow(D));
}

TEST_F(Input, WheelsGoUnderThePointerAndUpToTheParents)
{
    TProbe Form, Child;
    HWND F = Make(Form, WS_VISIBLE, { 0, 0, 200, 200 });
    Make(Child, WS_VISIBLE | WS_CHILD, { 50, 50, 100, 100 }, F);
    PostInput(TInputEvent::WheelEvent({ 60, 70 }, -WHEEL_DELTA));
    Pump();
    ASSERT_TRUE(Child.Last(WM_MOUSEWHEEL));
    EXPECT_EQ(std::int16_t(HIWORD(Child.Last(WM_MOUSEWHEEL)->wParam)), -WHEEL_DELTA);
    EXPECT_EQ(PointOf(Child.Last(WM_MOUSEWHEEL)->lParam).y, 70); // screen coordinates
    ASSERT_TRUE(Form.Last(WM_MOUSEWHEEL));
}

TEST_F(Input, CaptionAndSizeCodesAskThePresenterToMoveOrSize)
{
    TProbe Form;
    Form.Handler = [](HWND, UINT M, WPARAM, LPARAM L) -> std::optional<LRESULT> {
        if (M == WM_NCHITTEST)
            return GET_Y_LPARAM(L) < 120 ? HTCAPTION : GET_X_LPARAM(L) > 290 ? HTRIGHT : HTCLIENT;
        return std::nullopt;
    };
    HWND F = Make(Form, WS_VISIBLE | WS_POPUP, { 100, 100, 300, 300 });
    Click({ 150, 110 });
    Click({ 295, 200 });
    const auto Requests = Screen.MoveSizeRequests();
    ASSERT_EQ(Requests.size(), 2u);
    EXPECT_EQ(Requests[0].Wnd, F);
    EXPECT_EQ(Requests[0].HitCode, HTCAPTION);
    EXPECT_EQ(Requests[1].HitCode, HTRIGHT);
    // The size cursor showed over the edge.
    EXPECT_EQ(Screen.CursorShape(), XC_sb_h_double_arrow);

    // What the screen did comes back as input.
    TInputEvent Placed = TInputEvent::WindowEvent(TInputEvent::Placed, F);
    Placed.Bounds = { 10, 20, 410, 320 };
    PostInput(Placed);
    Pump();
    RECT R;
    GetWindowRect(F, &R);
    EXPECT_EQ(R, Placed.Bounds);
    EXPECT_TRUE(Form.Last(WM_SIZE));
    EXPECT_EQ(Screen.Bounds(F), (RECT { 100, 100, 300, 300 })); // not told back
    PostInput(TInputEvent::WindowEvent(TInputEvent::Close, F));
    Pump();
    EXPECT_FALSE(IsWindow(F)); // DefWindowProc closed it
}
