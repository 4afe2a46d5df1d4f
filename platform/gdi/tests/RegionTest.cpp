#include "GdiTestSupport.h"
#include "gdi/Region.h"
#include <chrono>
#include <functional>

using namespace GdiTest;

namespace {

// Keeps a handle and deletes it at the end of the scope.
struct TRgn {
    HRGN H;
    explicit TRgn(HRGN Handle)
        : H(Handle)
    { }
    ~TRgn() { DeleteObject(H); }
    operator HRGN() const { return H; }
};

} // namespace

TEST(Region, CombineModes)
{
    TRgn A(CreateRectRgn(0, 0, 10, 10)), B(CreateRectRgn(5, 5, 15, 15)), D(CreateRectRgn(0, 0, 0, 0));
    const struct {
        Integer Mode;
        Integer Kind;
        bool In[4]; // (2,2) only A, (7,7) both, (12,12) only B, (20,20) neither
    } Cases[] = {
        { RGN_AND, SIMPLEREGION, { false, true, false, false } },
        { RGN_OR, COMPLEXREGION, { true, true, true, false } },
        { RGN_XOR, COMPLEXREGION, { true, false, true, false } },
        { RGN_DIFF, COMPLEXREGION, { true, false, false, false } },
        { RGN_COPY, SIMPLEREGION, { true, true, false, false } },
    };
    const TPoint Probes[4] = { { 2, 2 }, { 7, 7 }, { 12, 12 }, { 20, 20 } };
    for (const auto& C : Cases) {
        EXPECT_EQ(CombineRgn(D, A, B, C.Mode), C.Kind) << "mode " << C.Mode;
        for (int I = 0; I < 4; ++I)
            EXPECT_EQ(PtInRegion(D, Probes[I].X, Probes[I].Y), C.In[I]) << "mode " << C.Mode << " probe " << I;
    }
    // The destination may be a source.
    EXPECT_EQ(CombineRgn(A, A, B, RGN_AND), SIMPLEREGION);
    TRect Box;
    EXPECT_EQ(GetRgnBox(A, &Box), SIMPLEREGION);
    EXPECT_EQ(Box, Rect(5, 5, 10, 10));
    EXPECT_EQ(OffsetRgn(A, -5, 10), SIMPLEREGION);
    GetRgnBox(A, &Box);
    EXPECT_EQ(Box, Rect(0, 15, 5, 20));
    // Disjoint: an empty result; corners in any order.
    TRgn E(CreateRectRgn(30, 30, 20, 20));
    GetRgnBox(E, &Box);
    EXPECT_EQ(Box, Rect(20, 20, 30, 30));
    EXPECT_EQ(CombineRgn(D, B, E, RGN_AND), NULLREGION);
    // Empty regions are equal wherever they were moved, and joining one
    // leaves nothing behind.
    TRgn Moved(CreateRectRgn(0, 0, 0, 1)), Other(CreateRectRgn(0, 0, 0, 0));
    OffsetRgn(Moved, 40, 50);
    EXPECT_TRUE(EqualRgn(Moved, Other));
    EXPECT_EQ(CombineRgn(Other, Other, Moved, RGN_OR), NULLREGION);
    EXPECT_TRUE(EqualRgn(Other, D));
    EXPECT_FALSE(EqualRgn(Other, B));
}

TEST(Region, BadHandlesFail)
{
    HRGN Gone = CreateRectRgn(0, 0, 1, 1);
    EXPECT_TRUE(DeleteObject(Gone));
    EXPECT_FALSE(DeleteObject(Gone));
    TRgn A(CreateRectRgn(0, 0, 10, 10));
    EXPECT_EQ(CombineRgn(A, A, Gone, RGN_OR), ERROR);
    EXPECT_EQ(CombineRgn(A, A, A, 99), ERROR);
    EXPECT_EQ(CombineRgn(A, reinterpret_cast<HRGN>(uintptr_t(0xDEADBEEF)), A, RGN_OR), ERROR);
    EXPECT_EQ(GetRgnBox(nullptr, nullptr), ERROR);
    EXPECT_FALSE(PtInRegion(Gone, 0, 0));
    EXPECT_EQ(SelectClipRgn(SolidBitmap(pf24bit, 4, 4, clWhite)->Canvas(), Gone), ERROR);
}

TEST(Region, RoundRectangles)
{
    // One pixel short on the right and bottom, as GDI makes them.
    TRgn Square(CreateRoundRectRgn(0, 0, 11, 11, 1, 1));
    TRect Box;
    EXPECT_EQ(GetRgnBox(Square, &Box), SIMPLEREGION);
    EXPECT_EQ(Box, Rect(0, 0, 10, 10));

    TRgn Round(CreateRoundRectRgn(10, 20, 61, 51, 12, 8));
    EXPECT_EQ(GetRgnBox(Round, &Box), COMPLEXREGION);
    EXPECT_EQ(Box, Rect(10, 20, 60, 50));
    // Corners cut, edges whole, the shape symmetric both ways.
    for (auto [X, Y] : { std::pair { 10, 20 }, { 59, 20 }, { 10, 49 }, { 59, 49 } })
        EXPECT_FALSE(PtInRegion(Round, X, Y)) << X << "," << Y;
    for (auto [X, Y] : { std::pair { 35, 20 }, { 35, 49 }, { 10, 35 }, { 59, 35 }, { 35, 35 } })
        EXPECT_TRUE(PtInRegion(Round, X, Y)) << X << "," << Y;
    for (Integer Y = 20; Y < 50; ++Y)
        for (Integer X = 10; X < 60; ++X) {
            EXPECT_EQ(PtInRegion(Round, X, Y), PtInRegion(Round, 69 - X, Y)) << X << "," << Y;
            EXPECT_EQ(PtInRegion(Round, X, Y), PtInRegion(Round, X, 69 - Y)) << X << "," << Y;
        }
    // The corner's cut grows towards the corner: row 0 loses the most.
    auto Cut = [&](Integer Y) {
        Integer X = 10;
        while (X < 60 && !PtInRegion(Round, X, Y))
            ++X;
        return X - 10;
    };
    EXPECT_GE(Cut(20), Cut(21));
    EXPECT_GE(Cut(21), Cut(22));
    EXPECT_EQ(Cut(24), 0);
    EXPECT_GT(Cut(20), 2);

    // Huge corners cost no more than the picture cap.
    const auto Start = std::chrono::steady_clock::now();
    TRgn Huge(CreateRoundRectRgn(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX));
    EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(5));
    EXPECT_NE(GetRgnBox(Huge, &Box), ERROR);
}

// Every kind of canvas call painted through a clip region of two pieces
// with a round one: no pixel outside the region changes.
TEST(Region, EveryCanvasCallHonoursTheClip)
{
    TOwnedPtr<TBitmap> Source(SolidBitmap(pf24bit, 40, 40, clRed));
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->Assign(Source.get());
    TOwnedPtr<TBitmap> Pattern(SolidBitmap(pf24bit, 8, 8, clBlue));
    Pattern->FillRect(Rect(0, 0, 4, 4), clLime);

    const std::vector<std::pair<const char*, std::function<void(TCanvas*)>>> Calls = {
        { "FillRect", [](TCanvas* C) { C->FillRect(Rect(-10, -10, 500, 500)); } },
        { "Rectangle",
            [](TCanvas* C) {
                C->Pen()->SetWidth(7);
                C->Rectangle(Rect(5, 5, 195, 145));
            } },
        { "thin lines",
            [](TCanvas* C) {
                for (Integer Y = 0; Y < 150; Y += 3) {
                    C->MoveTo(0, Y);
                    C->LineTo(200, 150 - Y);
                }
            } },
        { "wide polyline",
            [](TCanvas* C) {
                C->Pen()->SetWidth(15);
                const TPoint P[3] = { { 0, 0 }, { 200, 75 }, { 0, 150 } };
                C->Polyline(P);
            } },
        { "polygon",
            [](TCanvas* C) {
                const TPoint P[3] = { { -50, 0 }, { 250, 20 }, { 100, 200 } };
                C->Polygon(P);
            } },
        { "pattern brush",
            [&](TCanvas* C) {
                C->Brush()->SetBitmap(Pattern.get());
                C->FillRect(Rect(0, 0, 200, 150));
            } },
        { "CopyRect", [&](TCanvas* C) { C->CopyRect(Rect(0, 0, 200, 150), Source->Canvas(), Rect(0, 0, 40, 40)); } },
        { "StretchDraw", [&](TCanvas* C) { C->StretchDraw(Rect(-20, -20, 220, 170), Source.get()); } },
        { "Draw png",
            [&](TCanvas* C) {
                for (Integer X = 0; X < 200; X += 40)
                    C->Draw(X, 30, Png.get());
            } },
        { "TextOut",
            [](TCanvas* C) {
                C->Font()->SetHeight(-60);
                C->Brush()->SetColor(clBlue);
                C->TextOut(0, 20, u"WWWWWWW");
            } },
        { "DrawText",
            [](TCanvas* C) {
                C->Font()->SetHeight(-40);
                TRect R = Rect(0, 0, 200, 150);
                C->DrawText(u"Clipped text that is long enough to wrap in lines", R, DT_WORDBREAK);
            } },
        { "GradientFill",
            [](TCanvas* C) {
                const TRIVERTEX V[2] = { { 0, 0, 0xFF00, 0, 0, 0 }, { 200, 150, 0, 0, 0xFF00, 0 } };
                const GRADIENT_RECT G[1] = { { 0, 1 } };
                GradientFill(C, V, G, GRADIENT_FILL_RECT_V);
            } },
    };
    TRgn Clip(CreateRectRgn(20, 20, 80, 60));
    TRgn Round(CreateRoundRectRgn(100, 40, 181, 131, 40, 40));
    CombineRgn(Clip, Clip, Round, RGN_OR);
    for (TPixelFormat Format : { pf24bit, pf32bit })
        for (const auto& [Name, Call] : Calls) {
            TOwnedPtr<TBitmap> Bmp(SolidBitmap(Format, 200, 150, clWhite));
            TCanvas* C = Bmp->Canvas();
            C->Brush()->SetColor(clBlack);
            C->Pen()->SetColor(clBlack);
            EXPECT_EQ(SelectClipRgn(C, Clip), COMPLEXREGION);
            Call(C);
            Integer Inside = 0, Outside = 0;
            for (Integer Y = 0; Y < 150; ++Y)
                for (Integer X = 0; X < 200; ++X)
                    if (Bmp->Pixel(X, Y) != clWhite)
                        (PtInRegion(Clip, X, Y) ? Inside : Outside)++;
            EXPECT_EQ(Outside, 0) << Name;
            EXPECT_GT(Inside, 0) << Name;
            if (Format == pf24bit && std::string(Name) == "polygon")
                SavePicture(Bmp.get(), "clip-region-polygon.png");
        }
}

TEST(Region, IntersectClipRectMeetsTheClip)
{
    TOwnedPtr<TBitmap> Bmp(SolidBitmap(pf24bit, 100, 100, clWhite));
    TCanvas* C = Bmp->Canvas();
    // Without a clip, the bitmap is met with the rectangle.
    EXPECT_EQ(IntersectClipRect(C, 10, 10, 500, 50), SIMPLEREGION);
    EXPECT_EQ(C->ClipRect(), Rect(10, 10, 100, 50));
    TRgn Two(CreateRectRgn(0, 0, 30, 100));
    TRgn Right(CreateRectRgn(70, 0, 100, 100));
    CombineRgn(Two, Two, Right, RGN_OR);
    SelectClipRgn(C, Two);
    EXPECT_EQ(IntersectClipRect(C, 20, 20, 80, 80), COMPLEXREGION);
    C->Brush()->SetColor(clBlack);
    C->FillRect(Rect(0, 0, 100, 100));
    EXPECT_EQ(Bmp->Pixel(25, 25), clBlack);
    EXPECT_EQ(Bmp->Pixel(75, 75), clBlack);
    EXPECT_EQ(Bmp->Pixel(50, 50), clWhite);
    EXPECT_EQ(Bmp->Pixel(10, 10), clWhite);
    // The canvas holds a copy: changing the handle later changes nothing.
    OffsetRgn(Two, 1000, 1000);
    EXPECT_EQ(C->ClipRect(), Rect(20, 20, 80, 80));
    EXPECT_EQ(SelectClipRgn(C, nullptr), SIMPLEREGION);
    EXPECT_EQ(C->ClipRect(), Rect(0, 0, 100, 100));
}
