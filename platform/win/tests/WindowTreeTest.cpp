#include "WindowTestSupport.h"

using namespace WindowTests;

namespace {

class WindowTree : public TWindowFixture { };

}

TEST_F(WindowTree, BordersMakeTheClientAreaAndPointsMapThroughEveryParent)
{
    TProbe P;
    HWND Top = Make(P, WS_VISIBLE | WS_CAPTION | WS_THICKFRAME, { 100, 50, 400, 350 });
    struct {
        DWORD Style, Ex;
        LONG Inset;
    } Borders[] = {
        { 0, 0, 0 },
        { WS_BORDER, 0, 1 },
        { 0, WS_EX_CLIENTEDGE, 2 },
        { WS_BORDER, WS_EX_CLIENTEDGE, 3 },
        { 0, WS_EX_STATICEDGE, 1 },
        { WS_THICKFRAME, 0, 4 },
    };
    for (const auto& B : Borders) {
        HWND C = Make(P, WS_VISIBLE | WS_CHILD | B.Style, { 10, 20, 60, 50 }, Top, B.Ex);
        RECT Client;
        GetClientRect(C, &Client);
        EXPECT_EQ(Client, (RECT { 0, 0, 50 - 2 * B.Inset, 30 - 2 * B.Inset })) << B.Style << " " << B.Ex;
        POINT Pt { 0, 0 };
        ClientToScreen(C, &Pt);
        EXPECT_EQ(Pt.x, 100 + 10 + B.Inset); // the top-level window has no frame of its own
        EXPECT_EQ(Pt.y, 50 + 20 + B.Inset);
        DestroyWindow(C);
    }

    HWND A = Make(P, WS_VISIBLE | WS_CHILD | WS_BORDER, { 10, 10, 110, 110 }, Top);
    HWND B = Make(P, WS_VISIBLE | WS_CHILD, { 5, 5, 50, 50 }, A);
    POINT Pts[] = { { 0, 0 }, { 3, 4 } };
    MapWindowPoints(B, Top, Pts, 2);
    EXPECT_EQ(Pts[1].x, 10 + 1 + 5 + 3);
    RECT Screen;
    GetWindowRect(B, &Screen);
    EXPECT_EQ(Screen, (RECT { 116, 66, 161, 111 }));
    POINT Back { 116, 66 };
    ScreenToClient(B, &Back);
    EXPECT_EQ(Back.x, 0);
}

TEST_F(WindowTree, SetWindowPosAsksFirstAndReportsMovesAndSizes)
{
    TProbe P;
    HWND Top = Make(P, WS_VISIBLE, { 0, 0, 300, 300 });
    TProbe C;
    HWND W = Make(C, WS_VISIBLE | WS_CHILD, { 0, 0, 20, 20 }, Top);
    // The window keeps itself at least 40 wide.
    C.Handler = [](HWND, UINT M, WPARAM, LPARAM L) -> std::optional<LRESULT> {
        if (M == WM_WINDOWPOSCHANGING) {
            auto* Pos = reinterpret_cast<WINDOWPOS*>(L);
            Pos->cx = std::max<LONG>(Pos->cx, 40);
        }
        return std::nullopt;
    };
    C.Log.clear();
    SetWindowPos(W, nullptr, 7, 8, 10, 30, SWP_NOZORDER);
    EXPECT_EQ(C.Messages({ WM_WINDOWPOSCHANGING, WM_NCCALCSIZE, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE }),
        (std::vector<UINT> { WM_WINDOWPOSCHANGING, WM_NCCALCSIZE, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE }));
    EXPECT_EQ(C.Last(WM_SIZE)->lParam, MAKELPARAM(40, 30));
    EXPECT_EQ(C.Last(WM_MOVE)->lParam, MAKELPARAM(7, 8));

    // A move alone: no size message.
    C.Log.clear();
    SetWindowPos(W, nullptr, 9, 8, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    EXPECT_EQ(C.Messages({ WM_MOVE, WM_SIZE }), (std::vector<UINT> { WM_MOVE }));
}

TEST_F(WindowTree, SiblingsKeepAZOrderThatSetWindowPosChanges)
{
    TProbe P;
    HWND Top = Make(P, WS_VISIBLE, { 0, 0, 300, 300 });
    HWND A = Make(P, WS_VISIBLE | WS_CHILD, { 0, 0, 10, 10 }, Top);
    HWND B = Make(P, WS_VISIBLE | WS_CHILD, { 0, 0, 10, 10 }, Top);
    HWND C = Make(P, WS_VISIBLE | WS_CHILD, { 0, 0, 10, 10 }, Top);
    auto Order = [&] {
        std::vector<HWND> R;
        for (HWND W = GetWindow(Top, GW_CHILD); W; W = GetWindow(W, GW_HWNDNEXT))
            R.push_back(W);
        return R;
    };
    EXPECT_EQ(Order(), (std::vector<HWND> { C, B, A })); // the newest on top
    EXPECT_EQ(WindowFromPoint({ 5, 5 }), C);
    SetWindowPos(C, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(Order(), (std::vector<HWND> { B, A, C }));
    SetWindowPos(C, B, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); // just below B
    EXPECT_EQ(Order(), (std::vector<HWND> { B, C, A }));
    EXPECT_EQ(GetWindow(C, GW_HWNDPREV), B);
    EXPECT_EQ(GetAncestor(C, GA_ROOT), Top);
    EXPECT_TRUE(IsChild(Top, C));

    // A child moved to another parent keeps its place numbers.
    HWND Other = Make(P, WS_VISIBLE | WS_CHILD, { 100, 100, 200, 200 }, Top);
    EXPECT_EQ(SetParent(A, Other), Top);
    EXPECT_EQ(WindowFromPoint({ 105, 105 }), A);
    EXPECT_EQ(SetParent(Other, A), nullptr); // no cycles
}

TEST_F(WindowTree, TheDesktopAsParentMakesATopLevelWindowAndOwnersCanChange)
{
    TProbe P, A, B, C;
    HWND Top = Make(P, WS_CHILD | WS_VISIBLE, { 10, 10, 60, 60 }, GetDesktopWindow());
    ASSERT_TRUE(Top);
    EXPECT_EQ(GetParent(Top), nullptr);
    EXPECT_EQ(GetWindowLongPtr(Top, GWL_STYLE) & WS_CHILD, 0);
    const std::vector<HWND> Tops = EnumWindows();
    EXPECT_NE(std::find(Tops.begin(), Tops.end(), Top), Tops.end());
    EXPECT_FALSE(IsWindow(GetDesktopWindow()));

    HWND WA = Make(A, WS_POPUP, { 0, 0, 10, 10 });
    HWND WB = Make(B, WS_POPUP, { 0, 0, 10, 10 }, WA);
    HWND Child = Make(C, WS_CHILD, { 0, 0, 5, 5 }, WB);
    HWND Dead = Make(C, WS_POPUP, { 0, 0, 5, 5 });
    DestroyWindow(Dead);
    struct TCase {
        const char* Name;
        HWND Wnd, NewOwner, Expected;
    };
    const TCase Cases[] = {
        { "owned by a top-level window", Top, WA, WA },
        { "a child names its top-level window", Top, Child, WB },
        { "no owner", Top, nullptr, nullptr },
        { "the desktop is no owner", Top, GetDesktopWindow(), nullptr },
        { "not its own owner", WA, WA, nullptr },
        { "not owned by what it owns", WA, WB, nullptr },
        { "a dead owner changes nothing", WB, Dead, WA },
        { "a child keeps its parent", Child, WA, WB },
    };
    for (const TCase& T : Cases) {
        SCOPED_TRACE(T.Name);
        const HWND Before = HWND(GetWindowLongPtr(T.Wnd, GWLP_HWNDPARENT));
        EXPECT_EQ(HWND(SetWindowLongPtr(T.Wnd, GWLP_HWNDPARENT, LONG_PTR(T.NewOwner))), Before);
        EXPECT_EQ(HWND(GetWindowLongPtr(T.Wnd, GWLP_HWNDPARENT)), T.Expected);
    }
}

TEST_F(WindowTree, DisablingAWindowCancelsItsModeFirst)
{
    TProbe P;
    HWND W = Make(P, WS_VISIBLE, { 0, 0, 50, 50 });
    SetCapture(W);
    P.Log.clear();
    EnableWindow(W, false);
    EXPECT_EQ(P.Messages({ WM_CANCELMODE, WM_ENABLE }), (std::vector<UINT> { WM_CANCELMODE, WM_ENABLE }));
    EXPECT_EQ(GetCapture(), nullptr);
    P.Log.clear();
    EnableWindow(W, false); // no change, no messages
    EnableWindow(W, true);
    EXPECT_EQ(P.Messages({ WM_CANCELMODE, WM_ENABLE }), (std::vector<UINT> { WM_ENABLE }));

    // A window that goes while it cancels is not touched after.
    P.Handler = [&](HWND Wnd, UINT Msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (Msg == WM_CANCELMODE)
            DestroyWindow(Wnd);
        return std::nullopt;
    };
    EXPECT_FALSE(EnableWindow(W, false));
    EXPECT_FALSE(IsWindow(W));
}
