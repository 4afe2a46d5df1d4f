#include "WindowTestSupport.h"
#include "win/Rects.h"

using namespace WindowTests;

namespace {

class Painting : public TWindowFixture { };

constexpr Cardinal Blue = 0x0000FF, Red = 0xFF0000, Green = 0x00FF00;

}

TEST_F(Painting, PaintComesAfterPostedMessagesWithTheEraseFirstAndEmptiesTheRegion)
{
    TProbe P;
    HWND W = Make(P, WS_VISIBLE, { 10, 10, 110, 60 });
    Pump();
    P.Log.clear();
    P.Painted.clear();

    RECT Part { 5, 5, 20, 15 };
    InvalidateRect(W, &Part, true);
    PostMessage(W, WM_USER, 0, 0);
    Pump();
    EXPECT_EQ(P.Messages({ WM_USER, WM_ERASEBKGND, WM_PAINT }),
        (std::vector<UINT> { WM_USER, WM_PAINT, WM_ERASEBKGND }));
    ASSERT_EQ(P.Painted.size(), 1u);
    EXPECT_EQ(P.Painted[0], Part);
    RECT Update;
    EXPECT_FALSE(GetUpdateRect(W, &Update, false));

    // Without erase, no WM_ERASEBKGND; a hidden window waits until shown.
    P.Log.clear();
    InvalidateRect(W, nullptr, false);
    ShowWindow(W, SW_HIDE);
    Pump();
    EXPECT_TRUE(P.Messages({ WM_PAINT }).empty());
    ShowWindow(W, SW_SHOWNA);
    Pump();
    EXPECT_EQ(P.Messages({ WM_ERASEBKGND, WM_PAINT }), (std::vector<UINT> { WM_PAINT }));
}

TEST_F(Painting, DrawingIsLimitedToTheUpdateRegion)
{
    TProbe P;
    P.Color = Blue;
    HWND W = Make(P, WS_VISIBLE, { 0, 0, 60, 40 });
    Pump();
    ASSERT_EQ(PictureAt(W, 30, 20), Blue);

    // Two separate rectangles: everything between them keeps its pixels,
    // though the probe fills its whole client area.
    P.Color = Red;
    RECT A { 0, 0, 10, 10 }, B { 40, 20, 60, 40 };
    InvalidateRect(W, &A, false);
    InvalidateRect(W, &B, false);
    Pump();
    EXPECT_EQ(PictureAt(W, 5, 5), Red);
    EXPECT_EQ(PictureAt(W, 50, 30), Red);
    EXPECT_EQ(PictureAt(W, 20, 5), Blue);
    EXPECT_EQ(PictureAt(W, 5, 30), Blue);
    EXPECT_EQ(PictureAt(W, 39, 25), Blue);
}

TEST_F(Painting, ContextsMapLogicalCoordinatesAndOnlyShrinkTheirClip)
{
    TProbe P;
    HWND W = Make(P, WS_VISIBLE | WS_CHILD | WS_BORDER, { 0, 0, 50, 50 }, Make(P, WS_VISIBLE, { 0, 0, 80, 80 }));
    Pump();
    HDC Dc = GetDC(W);
    TDCSurface S;
    ASSERT_TRUE(GetDCSurface(Dc, S));
    EXPECT_EQ(S.Offset.x, 1); // the border lies outside the client area
    ASSERT_EQ(S.Clip.size(), 1u);
    EXPECT_EQ(S.Clip[0], (RECT { 1, 1, 49, 49 }));

    SetWindowOrgEx(Dc, 10, 5, nullptr);
    const Integer Saved = SaveDC(Dc);
    EXPECT_EQ(IntersectClipRect(Dc, 10, 5, 20, 15), 2); // one rectangle
    ASSERT_TRUE(GetDCSurface(Dc, S));
    EXPECT_EQ(S.Offset.x, 1 - 10);
    EXPECT_EQ(S.Clip[0], (RECT { 1, 1, 11, 11 }));
    RECT Box;
    GetClipBox(Dc, &Box);
    EXPECT_EQ(Box, (RECT { 10, 5, 20, 15 }));
    EXPECT_EQ(ExcludeClipRect(Dc, 10, 5, 15, 15), 2);
    EXPECT_TRUE(RestoreDC(Dc, Saved));
    ASSERT_TRUE(GetDCSurface(Dc, S));
    EXPECT_EQ(S.Clip[0], (RECT { 1, 1, 49, 49 }));
    EXPECT_EQ(ReleaseDC(W, Dc), 1);
    EXPECT_FALSE(GetDCSurface(Dc, S));

    HDC Whole = GetWindowDC(W);
    ASSERT_TRUE(GetDCSurface(Whole, S));
    EXPECT_EQ(S.Clip[0], (RECT { 0, 0, 50, 50 }));
    ReleaseDC(W, Whole);
}

TEST_F(Painting, PicturesComposeChildrenInZOrderCutToTheirParents)
{
    TProbe Top, Back, Front, Inner;
    Top.Color = 0xFFFFFF;
    Back.Color = Blue;
    Front.Color = Red;
    Inner.Color = Green;
    HWND T = Make(Top, WS_VISIBLE, { 100, 100, 300, 200 });
    HWND B = Make(Back, WS_VISIBLE | WS_CHILD, { 10, 10, 110, 60 }, T);
    HWND F = Make(Front, WS_VISIBLE | WS_CHILD, { 120, 30, 200, 90 }, T);
    // Sticks out of Back's client area: cut there.
    Make(Inner, WS_VISIBLE | WS_CHILD, { 80, 30, 140, 70 }, B);
    Pump();

    EXPECT_EQ(PictureAt(T, 5, 5), 0xFFFFFFu);
    EXPECT_EQ(PictureAt(T, 20, 20), Blue);
    EXPECT_EQ(PictureAt(T, 95, 45), Green);
    EXPECT_EQ(PictureAt(T, 112, 45), 0xFFFFFFu); // Inner beyond Back's edge
    EXPECT_EQ(PictureAt(T, 130, 45), Red);

    // The shown picture went to the presenter; moving a child paints the
    // parent only where the child left, and the child where it came.
    EXPECT_GT(Screen.UpdateCount(T), 0);
    const Integer Updates = Screen.UpdateCount(T);
    Top.Painted.clear();
    Back.Painted.clear();
    Front.Painted.clear();
    SetWindowPos(F, nullptr, 150, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Pump();
    EXPECT_EQ(Top.Painted, (std::vector<RECT> { { 120, 30, 150, 90 } }));
    EXPECT_TRUE(Back.Painted.empty());
    EXPECT_EQ(Front.Painted.size(), 1u);
    EXPECT_EQ(PictureAt(T, 130, 45), 0xFFFFFFu);
    EXPECT_EQ(PictureAt(T, 160, 45), Red);
    EXPECT_EQ(Screen.UpdateCount(T), Updates + 1);
    EXPECT_EQ(Screen.LastUpdate(T), (RECT { 120, 30, 200, 90 }));

    // Hidden children are left out; a stacking change shows once painted.
    ShowWindow(F, SW_HIDE);
    Pump();
    EXPECT_EQ(PictureAt(T, 160, 45), 0xFFFFFFu);
    ShowWindow(F, SW_SHOWNA);
    SetWindowPos(F, nullptr, 60, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Pump();
    EXPECT_EQ(PictureAt(T, 70, 35), Red);
    SetWindowPos(F, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    Pump();
    EXPECT_EQ(PictureAt(T, 70, 35), Blue);
    EXPECT_EQ(PictureAt(T, 130, 45), Red);
}

TEST_F(Painting, SizingMakesTheBitmapFollowAndPaintsTheWholeWindow)
{
    TProbe P;
    P.Color = Blue;
    HWND W = Make(P, WS_VISIBLE, { 0, 0, 40, 40 });
    Pump();
    P.Painted.clear();
    P.Color = Red;
    MoveWindow(W, 0, 0, 80, 30, true);
    Pump();
    ASSERT_EQ(P.Painted.size(), 1u);
    EXPECT_EQ(P.Painted[0], (RECT { 0, 0, 80, 30 }));
    TPixelBuffer Picture;
    GetWindowPicture(W, Picture);
    EXPECT_EQ(Picture.Width(), 80);
    EXPECT_EQ(Picture.Height(), 30);
    EXPECT_EQ(Picture.Pixel(79, 29) & 0xFFFFFF, Red);
}

TEST_F(Painting, RedrawWindowReachesChildrenAndPaintsNow)
{
    TProbe Top, Child;
    HWND T = Make(Top, WS_VISIBLE, { 0, 0, 100, 100 });
    Make(Child, WS_VISIBLE | WS_CHILD, { 50, 50, 100, 100 }, T);
    Pump();
    Top.Painted.clear();
    Child.Painted.clear();
    RECT Part { 40, 40, 60, 60 };
    RedrawWindow(T, &Part, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // Painted before any message was taken.
    ASSERT_EQ(Top.Painted.size(), 1u);
    EXPECT_EQ(Top.Painted[0], Part);
    ASSERT_EQ(Child.Painted.size(), 1u);
    EXPECT_EQ(Child.Painted[0], (RECT { 0, 0, 10, 10 }));
}

namespace {

// Content of rows, each its own colour, scrolled by Offset rows: what a
// scrolling window shows.
Cardinal RowColor(LONG Y)
{
    return 0x800000u | Cardinal((Y * 37) & 0xFF) | (Cardinal((Y >> 8) & 0xFF) << 8);
}

// Makes the probe paint rows of content (Offset rows down) instead of its
// colour, logging rcPaint as the probe does.
void PaintRows(TProbe& Probe, const LONG& Offset)
{
    Probe.Handler = [&Probe, &Offset](HWND Wnd, UINT Msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (Msg != WM_PAINT)
            return std::nullopt;
        PAINTSTRUCT Ps;
        HDC Dc = BeginPaint(Wnd, &Ps);
        Probe.Painted.push_back(Ps.rcPaint);
        RECT Client;
        GetClientRect(Wnd, &Client);
        for (LONG Y = 0; Y < Client.bottom; ++Y)
            FillDC(Dc, { 0, Y, Client.right, Y + 1 }, RowColor(Y + Offset));
        EndPaint(Wnd, &Ps);
        return 0;
    };
}

}

TEST_F(Painting, WindowsPaintOnlyWhatOfThemShows)
{
    TProbe Top, Below, Above, Inner;
    Top.Color = 0xFFFFFF;
    Below.Color = Blue;
    Above.Color = Red;
    Inner.Color = Green;
    HWND T = Make(Top, WS_VISIBLE, { 0, 0, 200, 100 });
    HWND B = Make(Below, WS_VISIBLE | WS_CHILD, { 10, 10, 110, 90 }, T);
    Make(Above, WS_VISIBLE | WS_CHILD, { 80, 20, 150, 80 }, T);
    Make(Inner, WS_VISIBLE | WS_CHILD, { 5, 5, 25, 25 }, B);
    Pump();
    // Each window fills its whole client area; what lies over it stays.
    for (auto* P : { &Top, &Below, &Above, &Inner })
        P->Painted.clear();
    InvalidateRect(T, nullptr, true);
    InvalidateRect(B, nullptr, true);
    Pump();
    EXPECT_EQ(PictureAt(T, 5, 5), 0xFFFFFFu);
    EXPECT_EQ(PictureAt(T, 20, 20), Green);
    EXPECT_EQ(PictureAt(T, 50, 50), Blue);
    EXPECT_EQ(PictureAt(T, 100, 50), Red); // Above lies over Below
    EXPECT_EQ(PictureAt(T, 160, 50), 0xFFFFFFu);
    EXPECT_TRUE(Above.Painted.empty());
    EXPECT_TRUE(Inner.Painted.empty());

    // A child the screen does not show whole is captured by painting it
    // into a picture of its own; what waits to be painted stays.
    RECT Part { 0, 0, 5, 5 };
    InvalidateRect(B, &Part, false);
    TPixelBuffer Picture;
    ASSERT_TRUE(GetWindowPicture(B, Picture));
    EXPECT_EQ(Picture.Width(), 100);
    EXPECT_EQ(Picture.Pixel(95, 40) & 0xFFFFFF, Blue);
    EXPECT_EQ(Picture.Pixel(10, 10) & 0xFFFFFF, Green);
    RECT Update;
    ASSERT_TRUE(GetUpdateRect(B, &Update, false));
    EXPECT_EQ(Update, Part);
    EXPECT_EQ(PictureAt(T, 100, 50), Red); // the capture left the store alone
    ShowWindow(B, SW_HIDE);
    Pump();
    EXPECT_EQ(PictureAt(T, 50, 50), 0xFFFFFFu);
    ASSERT_TRUE(GetWindowPicture(B, Picture));
    EXPECT_EQ(Picture.Pixel(95, 40) & 0xFFFFFF, Blue);
}

TEST_F(Painting, ScrollingMovesThePixelsAndPaintsOnlyWhatItUncovered)
{
    TProbe Top, View, Cover;
    LONG Offset = 0;
    PaintRows(View, Offset);
    HWND T = Make(Top, WS_VISIBLE, { 0, 0, 200, 200 });
    HWND V = Make(View, WS_VISIBLE | WS_CHILD, { 0, 0, 100, 100 }, T);
    Pump();
    auto Wrong = [&](LONG X) {
        std::vector<LONG> Rows;
        for (LONG Y = 0; Y < 100; ++Y)
            if (PictureAt(T, X, Y) != RowColor(Y + Offset))
                Rows.push_back(Y);
        return Rows;
    };

    struct Case {
        const char* Name;
        LONG Dy;
        RECT Strip; // what the scroll uncovers
    } Cases[] = {
        { "down the content", -10, { 0, 90, 100, 100 } },
        { "back up", 25, { 0, 0, 100, 25 } },
        { "a whole page", -100, { 0, 0, 100, 100 } },
        { "further than the window", -130, { 0, 0, 100, 100 } },
    };
    for (const Case& C : Cases) {
        View.Painted.clear();
        RECT Uncovered;
        EXPECT_EQ(ScrollWindowEx(V, 0, C.Dy, nullptr, nullptr, &Uncovered, SW_INVALIDATE), 2) << C.Name;
        EXPECT_EQ(Uncovered, C.Strip) << C.Name;
        Offset -= C.Dy;
        Pump();
        EXPECT_EQ(View.Painted, (std::vector<RECT> { C.Strip })) << C.Name;
        EXPECT_TRUE(Wrong(50).empty()) << C.Name;
    }

    // What waited to be painted moves with its pixels.
    View.Painted.clear();
    RECT Pending { 0, 0, 100, 10 };
    InvalidateRect(V, &Pending, false);
    ScrollWindowEx(V, 0, -5, nullptr, nullptr, nullptr, SW_INVALIDATE);
    RECT Update;
    GetUpdateRect(V, &Update, false);
    EXPECT_EQ(Update, (RECT { 0, 0, 100, 100 })); // rows 0-5 and 95-100
    ValidateRect(V, nullptr);
    InvalidateRect(V, &Pending, false);
    ScrollWindowEx(V, 0, 5, nullptr, nullptr, nullptr, SW_INVALIDATE);
    GetUpdateRect(V, &Update, false);
    EXPECT_EQ(Update, (RECT { 0, 0, 100, 15 }));
    Pump(); // the two moves cancel out

    EXPECT_TRUE(Wrong(50).empty());

    // A sibling over part of the window: pixels under it cannot move, so
    // where they would have gone paints again.
    Make(Cover, WS_VISIBLE | WS_CHILD, { 50, 60, 100, 80 }, T);
    Pump();
    View.Painted.clear();
    ScrollWindowEx(V, 0, -10, nullptr, nullptr, nullptr, SW_INVALIDATE);
    Offset += 10;
    Pump();
    ASSERT_EQ(View.Painted.size(), 1u);
    EXPECT_EQ(View.Painted[0], (RECT { 0, 50, 100, 100 })); // rows 50-70 under the cover, 90-100 new
    EXPECT_TRUE(Wrong(20).empty());
    EXPECT_TRUE(Wrong(60).size() == 20u); // the cover's rows
    // Only the scroll rectangle moves.
    View.Painted.clear();
    RECT Left { 0, 0, 40, 100 };
    ScrollWindowEx(V, 0, -10, &Left, nullptr, nullptr, SW_INVALIDATE);
    Pump();
    EXPECT_EQ(View.Painted, (std::vector<RECT> { { 0, 90, 40, 100 } }));
    EXPECT_EQ(PictureAt(T, 20, 0), RowColor(Offset + 10));
    EXPECT_EQ(PictureAt(T, 45, 0), RowColor(Offset));
}

TEST_F(Painting, ScrollingTakesChildWindowsAlongWithTheirPixels)
{
    TProbe Top, Child, Far;
    Top.Color = 0xFFFFFF;
    Child.Color = Red;
    Far.Color = Green;
    HWND T = Make(Top, WS_VISIBLE, { 0, 0, 100, 100 });
    HWND C = Make(Child, WS_VISIBLE | WS_CHILD, { 10, 40, 60, 60 }, T);
    HWND F = Make(Far, WS_VISIBLE | WS_CHILD, { 10, 110, 60, 130 }, T); // below the client area
    Pump();
    Child.Log.clear();
    Child.Painted.clear();
    Top.Painted.clear();
    Far.Painted.clear();

    EXPECT_TRUE(ScrollWindow(T, 0, -30, nullptr, nullptr));
    Pump();
    RECT R;
    GetWindowRect(C, &R);
    EXPECT_EQ(R, (RECT { 10, 10, 60, 30 }));
    ASSERT_NE(Child.Last(WM_WINDOWPOSCHANGED), nullptr);
    EXPECT_TRUE(Child.Painted.empty()); // its pixels came along
    EXPECT_EQ(PictureAt(T, 30, 20), Red);
    EXPECT_EQ(PictureAt(T, 30, 45), 0xFFFFFFu);
    // The child that came into view paints; the parent only the strip.
    EXPECT_EQ(Far.Painted.size(), 1u);
    EXPECT_EQ(PictureAt(T, 30, 85), Green);
    EXPECT_EQ(Top.Painted, (std::vector<RECT> { { 0, 70, 100, 100 } }));
    EXPECT_EQ(GetWindowRect(F, &R), true);
    EXPECT_EQ(R.top, 80);
}
