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
