#include "GdiTestSupport.h"
#include "gdi/Canvas.h"
#include "gdi/Icon.h"
#include "gdi/Metafile.h"
#include <algorithm>
#include <chrono>
#include <optional>
#include <string>

using namespace GdiTest;

namespace {

// The bitmap as text, one character a pixel: '#' where it is Ink, '.'
// elsewhere; rows joined by '|'.
std::string Picture(const TBitmap* Bmp, TColor Ink)
{
    std::string Out;
    for (Integer Y = 0; Y < Bmp->Height(); ++Y) {
        if (Y)
            Out += '|';
        for (Integer X = 0; X < Bmp->Width(); ++X)
            Out += Bmp->Pixel(X, Y) == Ink ? '#' : '.';
    }
    return Out;
}

Int64 Count(const TBitmap* Bmp, TColor Ink)
{
    Int64 N = 0;
    for (Integer Y = 0; Y < Bmp->Height(); ++Y)
        for (Integer X = 0; X < Bmp->Width(); ++X)
            N += Bmp->Pixel(X, Y) == Ink;
    return N;
}

} // namespace

TEST(Canvas, ThinLinesLeaveOutTheirEndPoint)
{
    struct Case {
        TPoint From, To;
        const char* Expected;
    } Cases[] = {
        { { 0, 0 }, { 4, 0 }, "####.|.....|.....|....." },
        { { 4, 3 }, { 0, 3 }, ".....|.....|.....|.####" },
        { { 0, 0 }, { 3, 3 }, "#....|.#...|..#..|....." },
        { { 0, 0 }, { 4, 2 }, "##...|..##.|.....|....." },
        { { 2, 0 }, { 2, 0 }, ".....|.....|.....|....." },
        // Far outside on both ends: only the visible steps are walked.
        { { -2000000000, 1 }, { 2000000000, 1 }, ".....|#####|.....|....." },
    };
    for (const Case& C : Cases) {
        auto Bmp = SolidBitmap(pf24bit, 5, 4, clWhite);
        Bmp->Canvas()->MoveTo(C.From.X, C.From.Y);
        Bmp->Canvas()->LineTo(C.To.X, C.To.Y);
        EXPECT_EQ(Picture(Bmp.get(), clBlack), C.Expected) << C.From.X << "," << C.From.Y;
        EXPECT_EQ(Bmp->Canvas()->PenPos(), C.To);
    }
}

TEST(Canvas, FillsCoverTheirSpanExactly)
{
    for (TPixelFormat Format : { pf24bit, pf32bit })
        for (Integer Left = 0; Left < 3; ++Left)
            for (Integer Width = 1; Width <= 40; ++Width) {
                auto Bmp = MakeOwned<TBitmap>();
                Bmp->SetPixelFormat(Format);
                Bmp->SetSize(45, 3);
                Bmp->Fill(clWhite);
                Bmp->Canvas()->Brush()->SetColor(RGB(10, 20, 30));
                Bmp->Canvas()->FillRect(Rect(Left, 1, Left + Width, 2));
                std::string Row(45, '.');
                std::fill_n(Row.begin() + Left, Width, '#');
                ASSERT_EQ(Picture(Bmp.get(), RGB(10, 20, 30)),
                    std::string(45, '.') + "|" + Row + "|" + std::string(45, '.'))
                    << Format << " " << Left << "+" << Width;
            }
}

TEST(Canvas, RectangleFramesWithThePenAndFillsWithTheBrush)
{
    auto Bmp = SolidBitmap(pf32bit, 6, 5, clBlue);
    TCanvas* C = Bmp->Canvas();
    C->Brush()->SetColor(clRed);
    C->Rectangle(1, 1, 5, 5);
    EXPECT_EQ(Picture(Bmp.get(), clBlack), "......|.####.|.#..#.|.#..#.|.####.");
    EXPECT_EQ(Bmp->Pixel(2, 2), clRed);
    // Fills from colours leave the fourth byte 0.
    EXPECT_EQ(PixelAt(Bmp.get(), 2, 2).A, 0);
    C->Brush()->SetStyle(bsClear);
    C->Pen()->SetColor(clLime);
    C->Rectangle(0, 0, 1, 1);
    C->FillRect(Rect(0, 0, 6, 5));
    EXPECT_EQ(Bmp->Pixel(0, 0), clLime);
    EXPECT_EQ(Bmp->Pixel(2, 2), clRed);
}

TEST(Canvas, PolygonFillsAlternatelyAndCutsHugeCoordinates)
{
    auto Bmp = SolidBitmap(pf24bit, 40, 40, clWhite);
    TCanvas* C = Bmp->Canvas();
    C->Brush()->SetColor(clRed);
    C->Pen()->SetStyle(psClear);
    // A pentagram: its centre is covered twice and stays empty.
    const TPoint Star[] = { { 20, 2 }, { 31, 37 }, { 2, 15 }, { 38, 15 }, { 9, 37 } };
    C->Polygon(Star);
    EXPECT_EQ(Bmp->Pixel(20, 20), clWhite);
    EXPECT_EQ(Bmp->Pixel(20, 8), clRed);
    EXPECT_EQ(Bmp->Pixel(6, 16), clRed);
    // A triangle far larger than the bitmap covers all of it, at once.
    const auto Start = std::chrono::steady_clock::now();
    const TPoint Huge[] = { { -2000000000, -2000000000 }, { 2000000000, -2000000000 }, { 0, 2000000000 } };
    C->Brush()->SetColor(clBlue);
    C->Polygon(Huge);
    EXPECT_EQ(Count(Bmp.get(), clBlue), 40 * 40);
    EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(2));
}

TEST(Canvas, WidePensHaveRoundCaps)
{
    auto Bmp = SolidBitmap(pf24bit, 40, 20, clWhite);
    TCanvas* C = Bmp->Canvas();
    C->Pen()->SetWidth(10);
    C->MoveTo(10, 10);
    C->LineTo(30, 10);
    // Five pixels either side of the centre line, and a half disc past each end.
    EXPECT_EQ(Bmp->Pixel(20, 6), clBlack);
    EXPECT_EQ(Bmp->Pixel(20, 14), clBlack);
    EXPECT_EQ(Bmp->Pixel(20, 3), clWhite);
    EXPECT_EQ(Bmp->Pixel(6, 10), clBlack);
    EXPECT_EQ(Bmp->Pixel(34, 10), clBlack);
    EXPECT_EQ(Bmp->Pixel(6, 6), clWhite); // the cap is round, not square
    EXPECT_EQ(Bmp->Pixel(2, 10), clWhite);
}

TEST(Canvas, ClipRectLimitsShapesLinesAndPictures)
{
    auto Bmp = SolidBitmap(pf24bit, 10, 10, clWhite);
    TCanvas* C = Bmp->Canvas();
    C->SetClipRect(Rect(2, 2, 5, 5));
    C->Brush()->SetColor(clRed);
    C->FillRect(Rect(0, 0, 10, 10));
    EXPECT_EQ(Count(Bmp.get(), clRed), 9);
    C->MoveTo(0, 3);
    C->LineTo(10, 3);
    EXPECT_EQ(Count(Bmp.get(), clBlack), 3);
    auto Green = SolidBitmap(pf24bit, 10, 10, clLime);
    C->Draw(0, 0, Green.get());
    EXPECT_EQ(Count(Bmp.get(), clLime), 9);
    EXPECT_EQ(Bmp->Pixel(1, 1), clWhite);
    C->ResetClip();
    C->StretchDraw(Rect(0, 0, 2, 2), Green.get());
    EXPECT_EQ(Bmp->Pixel(1, 1), clLime);
}

TEST(Canvas, PatternBrushRepeatsFromTheOrigin)
{
    auto Pattern = SolidBitmap(pf24bit, 8, 8, clSilver);
    Pattern->FillRect(Rect(4, 0, 8, 4), clGray);
    Pattern->FillRect(Rect(0, 4, 4, 8), clGray);
    auto Bmp = SolidBitmap(pf32bit, 96, 64, clWhite);
    Bmp->Canvas()->Brush()->SetBitmap(Pattern.get());
    Bmp->Canvas()->FillRect(Rect(0, 0, 96, 64));
    for (Integer Y = 0; Y < 64; ++Y)
        for (Integer X = 0; X < 96; ++X)
            ASSERT_EQ(Bmp->Pixel(X, Y), ((X / 4 + Y / 4) % 2) ? clGray : clSilver) << X << "," << Y;
    SavePicture(Bmp.get(), "canvas-checker-brush.png");
}

TEST(Canvas, CopyRectCopiesAndStretchesAcrossPixelSizes)
{
    auto Src = SolidBitmap(pf32bit, 4, 2, clRed);
    Src->FillRect(Rect(2, 0, 4, 2), clBlue);
    auto Dst = SolidBitmap(pf24bit, 8, 4, clWhite);
    Dst->Canvas()->CopyRect(Rect(0, 0, 8, 4), Src->Canvas(), Rect(0, 0, 4, 2));
    EXPECT_EQ(Picture(Dst.get(), clRed), "####....|####....|####....|####....");
    // Within one bitmap, overlapping: read from what was there before.
    Dst->Canvas()->CopyRect(Rect(2, 0, 8, 4), Dst->Canvas(), Rect(0, 0, 6, 4));
    EXPECT_EQ(Picture(Dst.get(), clRed), "######..|######..|######..|######..");
}

TEST(Canvas, GradientFillRunsAcrossOrDown)
{
    auto Bmp = SolidBitmap(pf24bit, 256, 256, clWhite);
    const TRIVERTEX V[2] = { { 0, 0, 0xFF00, 0, 0, 0 }, { 256, 256, 0, 0, 0xFF00, 0 } };
    const GRADIENT_RECT R[1] = { { 0, 1 } };
    ASSERT_TRUE(GradientFill(Bmp->Canvas(), V, R, GRADIENT_FILL_RECT_H));
    EXPECT_EQ(Bmp->Pixel(0, 100), RGB(255, 0, 0));
    // The far vertex's column lies outside: the last pixel stops a step short.
    EXPECT_EQ(Bmp->Pixel(255, 100), RGB(0, 0, 254));
    EXPECT_EQ(Bmp->Pixel(128, 7), RGB(127, 0, 127));
    SavePicture(Bmp.get(), "canvas-gradient-h.png");
    ASSERT_TRUE(GradientFill(Bmp->Canvas(), V, R, GRADIENT_FILL_RECT_V));
    EXPECT_EQ(Bmp->Pixel(100, 0), RGB(255, 0, 0));
    EXPECT_EQ(Bmp->Pixel(100, 255), RGB(0, 0, 254));
    SavePicture(Bmp.get(), "canvas-gradient-v.png");
    const GRADIENT_RECT Bad[1] = { { 0, 2 } };
    EXPECT_FALSE(GradientFill(Bmp->Canvas(), V, Bad, GRADIENT_FILL_RECT_H));
    EXPECT_FALSE(GradientFill(Bmp->Canvas(), V, R, 2));
}

namespace {

// Shapes, text, copies, pictures and gradients over a 120 x 90 drawing.
void DrawScene(TCanvas* C, TCanvas* Source, TGraphic* Picture, HICON Icon)
{
    C->Brush()->SetColor(RGB(255, 255, 0));
    C->FillRect(Rect(5, 5, 115, 85));
    C->Pen()->SetColor(RGB(0, 0, 128));
    C->Pen()->SetWidth(3);
    C->Brush()->SetColor(RGB(0, 128, 128));
    C->Rectangle(Rect(10, 12, 70, 60));
    C->MoveTo(0, 89);
    C->LineTo(119, 0);
    const TPoint Star[] = { { 60, 5 }, { 100, 80 }, { 20, 30 }, { 110, 30 }, { 25, 80 } };
    C->Polygon(Star);
    C->Brush()->SetStyle(bsClear);
    C->Font()->SetColor(RGB(128, 0, 0));
    C->TextOut(30, 40, u"Wg\u00e9");
    TRect Box = Rect(40, 60, 118, 88);
    C->DrawText(u"two lines\nof text", Box, DT_CENTER);
    C->CopyRect(Rect(80, 5, 110, 25), Source, Rect(0, 0, 15, 10));
    C->StretchDraw(Rect(70, 50, 100, 75), Picture);
    const TRIVERTEX V[2] = { { 0, 70, 0xFF00, 0, 0, 0 }, { 40, 90, 0, 0xFF00, 0, 0 } };
    const GRADIENT_RECT G[1] = { { 0, 1 } };
    GradientFill(C, V, G, GRADIENT_FILL_RECT_H);
    DrawIconEx(C, 50, 2, Icon, 20, 12, 0, nullptr, DI_NORMAL);
}

}

// A canvas whose bitmap holds only a part of a drawing (the visible part
// of a window) draws that part in the drawing's coordinates exactly as a
// canvas of the whole drawing does, clipped or not.
TEST(Canvas, APartOfADrawingDrawsAsTheWhole)
{
    auto Source = SolidBitmap(pf32bit, 15, 10, clRed);
    Source->FillRect(Rect(5, 0, 15, 10), clBlue);
    auto Picture = SolidBitmap(pf24bit, 6, 4, clLime);
    Picture->FillRect(Rect(0, 0, 3, 2), clFuchsia);
    ICONINFO Info;
    Info.hbmColor = Picture.get();
    Info.hbmMask = SolidBitmap(pf24bit, 6, 4, clBlack).release();
    HICON Icon = CreateIconIndirect(&Info);
    Info.hbmMask->Free();
    ASSERT_NE(Icon, nullptr);
    struct Case {
        const char* Name;
        TRect Part; // of the drawing
        std::optional<TRect> Clip;
    } Cases[] = {
        { "inside", Rect(30, 20, 80, 60), std::nullopt },
        { "over the edge", Rect(90, 60, 140, 110), std::nullopt },
        { "clipped", Rect(10, 10, 110, 80), Rect(25, 35, 95, 70) },
        { "before the origin", Rect(-20, -10, 40, 30), Rect(-5, 0, 30, 25) },
    };
    for (const Case& C : Cases) {
        auto Whole = SolidBitmap(pf32bit, 120, 90, clWhite);
        auto Part = SolidBitmap(pf32bit, C.Part.Width(), C.Part.Height(), clWhite);
        Part->Canvas()->SetOrigin(Point(C.Part.Left, C.Part.Top));
        if (C.Clip) {
            Whole->Canvas()->SetClipRect(*C.Clip);
            Part->Canvas()->SetClipRect(*C.Clip);
        }
        DrawScene(Whole->Canvas(), Source->Canvas(), Picture.get(), Icon);
        DrawScene(Part->Canvas(), Source->Canvas(), Picture.get(), Icon);
        Integer Differ = 0;
        for (Integer Y = 0; Y < Part->Height(); ++Y)
            for (Integer X = 0; X < Part->Width(); ++X) {
                const Integer WX = X + C.Part.Left, WY = Y + C.Part.Top;
                const bool Inside = WX >= 0 && WY >= 0 && WX < 120 && WY < 90;
                Differ += Part->Pixel(X, Y) != (Inside ? Whole->Pixel(WX, WY) : clWhite);
            }
        EXPECT_EQ(Differ, 0) << C.Name;
        if (C.Part.Left == 10)
            SavePicture(Part.get(), "canvas-part-of-a-drawing.png");
    }
    DestroyIcon(Icon);
}

TEST(Canvas, SystemColoursResolveFromOneTable)
{
    EXPECT_EQ(ColorToRGB(clBtnFace), RGB(240, 240, 240));
    EXPECT_EQ(ColorToRGB(clWindow), clWhite);
    EXPECT_EQ(ColorToRGB(clWindowText), clBlack);
    EXPECT_EQ(ColorToRGB(TColor(0xFF0000C8u)), clBlack);
    EXPECT_EQ(ColorToRGB(0x123456), 0x123456);
    auto Bmp = SolidBitmap(pf24bit, 2, 2, clWhite);
    Bmp->Canvas()->Brush()->SetColor(clHighlight);
    Bmp->Canvas()->FillRect(Rect(0, 0, 2, 2));
    EXPECT_EQ(Bmp->Pixel(1, 1), RGB(0, 120, 215));
    Bmp->Fill(clBtnFace);
    EXPECT_EQ(Bmp->Pixel(0, 0), RGB(240, 240, 240));
}

TEST(Canvas, CrossedBoxPicture)
{
    auto Bmp = SolidBitmap(pf24bit, 120, 90, clSilver);
    TCanvas* C = Bmp->Canvas();
    C->Brush()->SetColor(clWhite);
    C->Pen()->SetWidth(10);
    C->Rectangle(Rect(10, 10, 110, 80));
    C->MoveTo(10, 10);
    C->LineTo(110, 80);
    C->MoveTo(10, 80);
    C->LineTo(110, 10);
    EXPECT_EQ(Bmp->Pixel(60, 45), clBlack);
    EXPECT_EQ(Bmp->Pixel(30, 45), clWhite);
    EXPECT_EQ(Bmp->Pixel(10, 45), clBlack);
    SavePicture(Bmp.get(), "canvas-crossed-box.png");
}

TEST(Metafile, RecordedCallsReplayStretchedAndSurviveTheStream)
{
    auto Mf = MakeOwned<TMetafile>();
    Mf->SetSize(10, 10);
    {
        auto C = MakeOwned<TMetafileCanvas>(Mf.get());
        C->Brush()->SetColor(clRed);
        C->Pen()->SetStyle(psClear);
        C->FillRect(Rect(0, 0, 5, 10));
        const TPoint Tri[] = { { 5, 0 }, { 10, 0 }, { 10, 5 } };
        C->Brush()->SetColor(clBlue);
        C->Polygon(Tri);
    }
    ASSERT_EQ(Mf->Records().size(), 2u);
    auto S = MakeOwned<TMemoryStream>();
    Mf->SaveToStream(S.get());
    S->SetPosition(0);
    auto Loaded = MakeOwned<TMetafile>();
    Loaded->LoadFromStream(S.get());
    EXPECT_EQ(Loaded->Width(), 10);
    auto Bmp = SolidBitmap(pf24bit, 40, 40, clWhite);
    Loaded->Draw(Bmp.get(), Rect(0, 0, 40, 40));
    EXPECT_EQ(Count(Bmp.get(), clRed), 20 * 40);
    EXPECT_EQ(Bmp->Pixel(38, 1), clBlue);
    EXPECT_EQ(Bmp->Pixel(21, 38), clWhite);
}

TEST(Metafile, ForeignAndDamagedStreamsRaise)
{
    RawBytes Emf(88, '\0');
    Emf[0] = 1;
    Emf.replace(40, 4, " EMF");
    auto Good = MakeOwned<TMetafile>();
    Good->SetSize(3, 3);
    auto C = MakeOwned<TMetafileCanvas>(Good.get());
    const TPoint Line[] = { { 0, 0 }, { 2, 2 } };
    C->Polyline(Line);
    auto S = MakeOwned<TMemoryStream>();
    Good->SaveToStream(S.get());
    const RawBytes Bytes = BytesOf(S.get());
    RawBytes HugeCount = Bytes;
    HugeCount.replace(12, 4, "\xff\xff\xff\x7f");
    RawBytes HugePoints = Bytes;
    HugePoints.replace(16 + 15, 4, "\xff\xff\xff\x7f");
    for (const RawBytes& Bad :
        { Emf, RawBytes("XMF1"), Bytes.substr(0, Bytes.size() - 3), HugeCount, HugePoints, RawBytes(100, 'x') }) {
        auto Mf = MakeOwned<TMetafile>();
        EXPECT_THROW(Mf->LoadFromStream(StreamOf(Bad).get()), EInvalidGraphic);
    }
}
