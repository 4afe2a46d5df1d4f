#include "gdi/tests/GdiTestSupport.h"
#include "gdi/Region.h"
#include <zlib.h>
#include "gdi/Metafile.h"
#include "graphics/XMedia.Drawing.h"
#include "rtl/testing/Testing.h"
#include <cstring>
#include <functional>
#include <memory>

using namespace GdiTest;
using Testing::Bytes;

namespace {

using TPlace = std::function<void(TCanvas*, const TRect&, TGraphic*, const TXFilterKernel*)>;

// A photo-like picture: smooth colours with a black frame of one pixel.
TOwnedPtr<TBitmap> Photo(Integer W, Integer H)
{
    TOwnedPtr<TBitmap> Bmp(SolidBitmap(pf24bit, W, H, clWhite));
    for (Integer Y = 0; Y < H; ++Y)
        for (Integer X = 0; X < W; ++X) {
            Byte* P = Bmp->ScanLine(Y) + 3 * X;
            P[0] = Byte(255 * X / std::max(1, W - 1));
            P[1] = Byte(255 * Y / std::max(1, H - 1));
            P[2] = Byte(128 + 100 * std::sin((X + 2 * Y) * 0.2));
        }
    return Bmp;
}

// The box of pixels that are neither the background nor the brush.
TRect PictureBox(TBitmap* Bmp)
{
    TRect Box { INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN };
    for (Integer Y = 0; Y < Bmp->Height(); ++Y)
        for (Integer X = 0; X < Bmp->Width(); ++X) {
            const TColor C = Bmp->Pixel(X, Y);
            if (C != clWhite && C != clBlue) {
                Box.Left = std::min(Box.Left, X);
                Box.Top = std::min(Box.Top, Y);
                Box.Right = std::max(Box.Right, X + 1);
                Box.Bottom = std::max(Box.Bottom, Y + 1);
            }
        }
    return Box.IsEmpty() ? TRect {} : Box;
}

TOwnedPtr<TBitmap> Canvas600()
{
    TOwnedPtr<TBitmap> Bmp(SolidBitmap(pf24bit, 600, 600, clWhite));
    Bmp->Canvas()->Brush()->SetColor(clBlue);
    return Bmp;
}

} // namespace

// Each mode: a 100 x 50 (or 50 x 100) picture placed in the 200 x 200
// rectangle at (200, 200) of a 600 x 600 canvas, nothing clipping.
TEST(Placement, ModesAsATable)
{
    const struct {
        const char* Name;
        TPlace Place;
        Integer SW, SH;
        TRect Want; // canvas coordinates of the picture
    } Cases[] = {
        { "best fit", DrawGraphicBestFit, 100, 50, Rect(200, 250, 400, 350) },
        { "down-scaled best fit", DrawGraphicDownScaledBestFit, 100, 50, Rect(250, 275, 350, 325) },
        { "centre (cover)", DrawGraphicCenter, 100, 50, Rect(100, 200, 500, 400) },
        { "centre, portrait", DrawGraphicCenter, 50, 100, Rect(200, 100, 400, 500) },
        { "down-scaled centre, small", DrawGraphicDownScaledCenter, 100, 50, Rect(250, 275, 350, 325) },
        { "down-scaled centre, large", DrawGraphicDownScaledCenter, 500, 250, Rect(100, 200, 500, 400) },
        { "fit width", DrawGraphicFitWidth, 100, 50, Rect(200, 250, 400, 350) },
        { "fit width, portrait", DrawGraphicFitWidth, 50, 100, Rect(200, 100, 400, 500) },
        { "fit height", DrawGraphicFitHeight, 100, 50, Rect(100, 200, 500, 400) },
        { "fit height, odd", DrawGraphicFitHeight, 3, 2, Rect(150, 200, 450, 400) },
        { "tile", [](TCanvas* C, const TRect& R, TGraphic* G, const TXFilterKernel*) { DrawGraphicTile(C, R, G); }, 70,
            30, Rect(200, 200, 400, 400) },
        { "tile sized",
            [](TCanvas* C, const TRect& R, TGraphic* G, const TXFilterKernel*) {
                DrawGraphicTileSized(C, R, G, 33, 45);
            },
            70, 30, Rect(200, 200, 400, 400) },
    };
    const TRect R = Rect(200, 200, 400, 400);
    auto Clip = std::make_unique<TRegion>(Rect(0, 0, 300, 600));
    Clip->Unite(TRegion(Rect(350, 330, 600, 360)));
    for (const auto& C : Cases)
        for (const TXFilterKernel* Kernel :
            { static_cast<const TXFilterKernel*>(nullptr), static_cast<const TXFilterKernel*>(XLanczosKernel()) }) {
            SCOPED_TRACE(std::string(C.Name) + (Kernel ? ", resampled" : ", plain"));
            TOwnedPtr<TBitmap> Pic(Photo(C.SW, C.SH));
            TOwnedPtr<TBitmap> Whole(Canvas600());
            C.Place(Whole->Canvas(), R, Pic.get(), Kernel);
            EXPECT_EQ(PictureBox(Whole.get()), C.Want);
            // The brush fills the rectangle wherever the picture is not.
            if (C.Want.Left > R.Left)
                EXPECT_EQ(Whole->Pixel(R.Left, R.Top), clBlue);

            // Through a clip region: the same pixels inside, nothing outside.
            TOwnedPtr<TBitmap> Clipped(Canvas600());
            Clipped->Canvas()->SetClipRegion(*Clip);
            C.Place(Clipped->Canvas(), R, Pic.get(), Kernel);
            Integer Inside = 0, Outside = 0;
            for (Integer Y = 0; Y < 600; ++Y)
                for (Integer X = 0; X < 600; ++X) {
                    if (Clip->Contains(X, Y))
                        Inside += Clipped->Pixel(X, Y) != Whole->Pixel(X, Y);
                    else
                        Outside += Clipped->Pixel(X, Y) != clWhite;
                }
            EXPECT_EQ(Inside, 0);
            EXPECT_EQ(Outside, 0);
        }
}

TEST(Placement, EmptyRectanglesAndSizesDrawOnlyTheFill)
{
    TOwnedPtr<TBitmap> Pic(Photo(100, 50));
    for (TPlace Place : { TPlace(DrawGraphicCenter), TPlace(DrawGraphicDownScaledCenter), TPlace(DrawGraphicBestFit),
             TPlace(DrawGraphicDownScaledBestFit) }) {
        for (const TRect& R : { Rect(10, 10, 10, 90), Rect(10, 10, 90, 10), Rect(50, 50, 10, 10) }) {
            TOwnedPtr<TBitmap> Bmp(Canvas600());
            Place(Bmp->Canvas(), R, Pic.get(), XLanczosKernel());
            EXPECT_EQ(PictureBox(Bmp.get()), TRect {});
        }
        // No picture: the fill only.
        TOwnedPtr<TBitmap> Bmp(Canvas600());
        Place(Bmp->Canvas(), Rect(0, 0, 100, 100), nullptr, nullptr);
        EXPECT_EQ(Bmp->Pixel(50, 50), clBlue);
    }
    // Tiles of no size: the fill only, at once.
    TOwnedPtr<TBitmap> Bmp(Canvas600());
    DrawGraphicTileSized(Bmp->Canvas(), Rect(0, 0, 600, 600), Pic.get(), 0, 10);
    DrawGraphicTileSized(Bmp->Canvas(), Rect(0, 0, 600, 600), Pic.get(), 10, -1);
    EXPECT_EQ(PictureBox(Bmp.get()), TRect {});
    // A huge covering rectangle costs only what is shown.
    TOwnedPtr<TBitmap> Small(SolidBitmap(pf24bit, 64, 64, clWhite));
    DrawGraphicCenter(Small->Canvas(), Rect(INT32_MIN / 2, INT32_MIN / 2, INT32_MAX / 2, INT32_MAX / 2), Pic.get(),
        XLanczosKernel());
    EXPECT_NE(Small->Pixel(32, 32), clWhite);
}

TEST(Placement, OwnSizeIsThePlainStretchAndAlphaSurvivesResampling)
{
    TOwnedPtr<TBitmap> Pic(Photo(80, 60));
    TOwnedPtr<TBitmap> A(Canvas600()), B(Canvas600());
    StretchDrawResampled(A->Canvas(), Rect(7, 9, 87, 69), Pic.get(), XLanczosKernel());
    B->Canvas()->StretchDraw(Rect(7, 9, 87, 69), Pic.get());
    for (Integer Y = 0; Y < 80; ++Y)
        for (Integer X = 0; X < 100; ++X)
            ASSERT_EQ(A->Pixel(X, Y), B->Pixel(X, Y));

    // A PNG of half-transparent red resampled up stays half transparent.
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->CreateBlank(COLOR_RGBALPHA, 8, 40, 40);
    for (Integer Y = 0; Y < 40; ++Y) {
        for (Integer X = 0; X < 40; ++X)
            Png->SetPixels(X, Y, clRed);
        std::memset(Png->AlphaScanline(Y), 128, 40);
    }
    TOwnedPtr<TBitmap> Out(SolidBitmap(pf24bit, 100, 100, clWhite));
    StretchDrawResampled(Out->Canvas(), Rect(10, 10, 90, 90), Png.get(), XLanczosKernel());
    EXPECT_TRUE(Near(PixelAt(Out.get(), 50, 50), 255, 127, 127, 2));
    EXPECT_EQ(Out->Pixel(5, 5), clWhite);
}

TEST(Placement, PngOpacityPerColourType)
{
    // Each colour type with its own alpha (or none), through the formula
    // round(a x (Opacity + 1) / 256), opaque pixels of the alpha-less types
    // taking Opacity, palette and grey transparency kept and scaled.
    const struct {
        Byte Type;
        bool Alpha;
    } Types[] = { { COLOR_GRAYSCALE, false }, { COLOR_RGB, false }, { COLOR_PALETTE, false },
        { COLOR_GRAYSCALEALPHA, true }, { COLOR_RGBALPHA, true } };
    for (const auto& T : Types)
        for (Byte Opacity : { Byte(255), Byte(127), Byte(0), Byte(200) }) {
            TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
            Png->CreateBlank(T.Type, 8, 4, 1);
            for (Integer X = 0; X < 4; ++X)
                Png->SetPixels(X, 0, RGB(Byte(60 * X), Byte(60 * X), Byte(60 * X)));
            const Byte Alphas[4] = { 255, 128, 1, 0 };
            if (T.Alpha)
                std::memcpy(Png->AlphaScanline(0), Alphas, 4);
            Png->SetPixels(0, 0, Png->Pixels(0, 0));
            ApplyPngOpacity(Png.get(), Opacity);
            ASSERT_NE(Png->AlphaScanline(0), nullptr);
            for (Integer X = 0; X < 4; ++X) {
                const int A = T.Alpha ? Alphas[X] : 255;
                const double Exact = A * (Opacity + 1) / 256.0;
                int Want = int(std::nearbyint(Exact));
                if (!T.Alpha && (T.Type == COLOR_GRAYSCALE || T.Type == COLOR_PALETTE))
                    Want = Opacity;
                EXPECT_EQ(Png->AlphaScanline(0)[X], Want)
                    << "type " << int(T.Type) << " opacity " << int(Opacity) << " x " << X;
                EXPECT_EQ(Png->Pixels(X, 0), RGB(Byte(60 * X), Byte(60 * X), Byte(60 * X)));
            }
        }
    // The Part's own cases.
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->CreateBlank(COLOR_RGB, 8, 1, 1);
    ApplyPngOpacity(Png.get(), 127);
    EXPECT_EQ(Png->AlphaScanline(0)[0], 128);
}

namespace {

// A PNG of three palette pixels whose tRNS makes them opaque, half and
// wholly transparent.
Bytes PalettePngWithTrns()
{
    Bytes Out = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
    auto Chunk = [&](const char* Type, Bytes Data) {
        const Cardinal N = Cardinal(Data.size());
        for (int I = 3; I >= 0; --I)
            Out.push_back(Byte(N >> (8 * I)));
        Bytes Body(Type, Type + 4);
        Body.insert(Body.end(), Data.begin(), Data.end());
        Out.insert(Out.end(), Body.begin(), Body.end());
        const uLong Crc = crc32(0, Body.data(), uInt(Body.size()));
        for (int I = 3; I >= 0; --I)
            Out.push_back(Byte(Crc >> (8 * I)));
    };
    Chunk("IHDR", { 0, 0, 0, 3, 0, 0, 0, 1, 8, 3, 0, 0, 0 });
    Chunk("PLTE", { 255, 0, 0, 0, 0, 255, 0, 255, 0 });
    Chunk("tRNS", { 255, 128, 0 });
    const Byte Raw[4] = { 0, 0, 1, 2 };
    Bytes Z(64);
    uLongf ZLen = uLongf(Z.size());
    compress(Z.data(), &ZLen, Raw, 4);
    Z.resize(ZLen);
    Chunk("IDAT", Z);
    Chunk("IEND", {});
    return Out;
}

} // namespace

TEST(Placement, PaletteTransparencyIsKept)
{
    const Bytes File = PalettePngWithTrns();
    TOwnedPtr<TMemoryStream> S(MakeOwned<TMemoryStream>());
    S->WriteBuffer(File.data(), Int64(File.size()));
    S->SetPosition(0);
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->LoadFromStream(S.get());
    ASSERT_EQ(Png->ColorType(), COLOR_PALETTE);
    ASSERT_NE(Png->AlphaScanline(0), nullptr);
    ApplyPngOpacity(Png.get(), 127);
    EXPECT_EQ(Png->ColorType(), COLOR_RGBALPHA);
    EXPECT_EQ(Png->AlphaScanline(0)[0], 127) << "opaque entry: the opacity";
    EXPECT_EQ(Png->AlphaScanline(0)[1], 64) << "half transparent entry: 128 x 128 / 256";
    EXPECT_EQ(Png->AlphaScanline(0)[2], 0) << "transparent entry stays";
    EXPECT_EQ(Png->Pixels(1, 0), clBlue);
}

TEST(Placement, TilesWrapsTextAndParts)
{
    // Tiles from the rectangle's top-left, cut at its bottom and right.
    TOwnedPtr<TBitmap> Tile(SolidBitmap(pf24bit, 30, 20, clRed));
    Tile->FillRect(Rect(0, 0, 1, 1), clLime);
    TOwnedPtr<TBitmap> Bmp(Canvas600());
    DrawGraphicTile(Bmp->Canvas(), Rect(10, 10, 105, 75), Tile.get());
    for (auto [X, Y] : { std::pair { 10, 10 }, { 40, 10 }, { 70, 30 }, { 100, 70 } })
        EXPECT_EQ(Bmp->Pixel(X, Y), clLime) << X << "," << Y;
    EXPECT_EQ(Bmp->Pixel(11, 11), clRed);
    EXPECT_EQ(Bmp->Pixel(104, 74), clRed);
    EXPECT_EQ(Bmp->Pixel(105, 74), clWhite);
    EXPECT_EQ(Bmp->Pixel(104, 75), clWhite);
    Tile->FillRect(Rect(0, 0, 2, 2), clLime);
    DrawGraphicTileSized(Bmp->Canvas(), Rect(200, 200, 260, 230), Tile.get(), 10, 15);
    EXPECT_EQ(Bmp->Pixel(215, 210), clLime);
    EXPECT_EQ(Bmp->Pixel(245, 220), clLime);

    // The wrapped wallpaper: a monitor at x = -1920 ends up at 1920.
    TOwnedPtr<TBitmap> Wall(SolidBitmap(pf24bit, 3840, 4, clWhite));
    TOwnedPtr<TBitmap> Mon(SolidBitmap(pf24bit, 1920, 4, clRed));
    Mon->FillRect(Rect(0, 0, 1, 4), clLime);
    DrawBitmapWrapped(Wall.get(), Mon.get(), -1920, 0);
    EXPECT_EQ(Wall->Pixel(1920, 0), clLime);
    EXPECT_EQ(Wall->Pixel(3839, 0), clRed);
    EXPECT_EQ(Wall->Pixel(1919, 0), clWhite);
    // Partly left and above: four pieces.
    TOwnedPtr<TBitmap> Quad(SolidBitmap(pf24bit, 100, 100, clWhite));
    TOwnedPtr<TBitmap> Src(SolidBitmap(pf24bit, 40, 40, clRed));
    DrawBitmapWrapped(Quad.get(), Src.get(), -10, -10);
    for (auto [X, Y] : { std::pair { 0, 0 }, { 29, 29 }, { 95, 5 }, { 5, 95 }, { 95, 95 } })
        EXPECT_EQ(Quad->Pixel(X, Y), clRed) << X << "," << Y;
    EXPECT_EQ(Quad->Pixel(50, 50), clWhite);
    EXPECT_EQ(Quad->Pixel(89, 50), clWhite);

    // CalcOnly measures and draws nothing.
    TOwnedPtr<TBitmap> Text(SolidBitmap(pf24bit, 200, 100, clWhite));
    TRect Out;
    DrawTextInRect(Text->Canvas(), Rect(0, 0, 200, 100), u"Measured", Out, true, fqDefault, xepNone, false,
        taLeftJustify, 0);
    EXPECT_EQ(InkBox(Text.get(), clWhite), TRect {});
    EXPECT_EQ(Out.Left, 0);
    EXPECT_EQ(Out.Right, Text->Canvas()->TextWidth(u"Measured"));
    EXPECT_GT(Out.Bottom, 0);
    DrawTextInRect(Text->Canvas(), Rect(0, 0, 200, 100), u"Right", Out, false, fqNonAntialiased, xepNone, true,
        taLeftJustify, 1);
    const TRect Ink = InkBox(Text.get(), clWhite);
    EXPECT_GT(Ink.Left, 100) << "right to left: left means right";
    EXPECT_GT(Ink.Top, 50) << "layout 1: the bottom";
    EXPECT_EQ(Text->Canvas()->Font()->Quality(), fqDefault);

    // A part of a stored picture: the source rectangle cut to the picture.
    TOwnedPtr<TXImageObject> Stored(New<TXImageObject>());
    ASSERT_TRUE(Stored->LoadFromObject(Tile.get()));
    TOwnedPtr<TBitmap> Part(SolidBitmap(pf24bit, 100, 100, clWhite));
    DrawImageObjectPart(Part->Canvas(), Rect(0, 0, 60, 40), Rect(0, 0, 60, 40), Stored.get());
    EXPECT_EQ(Part->Pixel(0, 0), clLime);
    EXPECT_EQ(Part->Pixel(29, 19), clRed);
    EXPECT_EQ(Part->Pixel(30, 10), clWhite) << "nothing from beyond the picture";
    EXPECT_EQ(Part->Pixel(10, 20), clWhite);
}

TEST(Placement, CornerTriangles)
{
    // Horizontal strips 40 x 10, vertical 10 x 40: each triangle touches
    // its corner and leaves the opposite one.
    const struct {
        void (*Fill)(TBitmap*, TColor);
        bool Horizontal;
        TPoint In, Out;
    } Cases[] = {
        { FillHStripCornerBottomLeft, true, { 0, 9 }, { 9, 0 } },
        { FillHStripCornerBottomRight, true, { 39, 9 }, { 30, 0 } },
        { FillHStripCornerTopLeft, true, { 0, 0 }, { 9, 9 } },
        { FillHStripCornerTopRight, true, { 39, 0 }, { 30, 9 } },
        { FillVStripCornerTopRight, false, { 9, 0 }, { 0, 9 } },
        { FillVStripCornerTopLeft, false, { 0, 0 }, { 9, 9 } },
        { FillVStripCornerBottomRight, false, { 9, 39 }, { 0, 30 } },
        { FillVStripCornerBottomLeft, false, { 0, 39 }, { 9, 30 } },
    };
    for (const auto& C : Cases) {
        TOwnedPtr<TBitmap> B(SolidBitmap(pf24bit, C.Horizontal ? 40 : 10, C.Horizontal ? 10 : 40, clWhite));
        C.Fill(B.get(), clRed);
        EXPECT_EQ(B->Pixel(C.In.X, C.In.Y), clRed);
        EXPECT_EQ(B->Pixel(C.Out.X, C.Out.Y), clWhite);
    }
    // Bevel frames and divider lines.
    TOwnedPtr<TBitmap> B(SolidBitmap(pf24bit, 20, 20, clWhite));
    DrawBevelFrame(B->Canvas(), Rect(2, 2, 12, 12), clLime, clRed);
    EXPECT_EQ(B->Pixel(2, 2), clLime);
    EXPECT_EQ(B->Pixel(2, 10), clLime);
    EXPECT_EQ(B->Pixel(11, 11), clRed);
    EXPECT_EQ(B->Pixel(11, 2), clRed);
    DrawDividerLine(B->Canvas(), 0, 15, 20, 15, clBlue, clLime);
    EXPECT_EQ(B->Pixel(5, 15), clLime);
    EXPECT_EQ(B->Pixel(5, 16), clBlue);
}

TEST(Placement, PicturesForAPerson)
{
    const struct {
        const char* Name;
        TPlace Place;
    } Modes[] = {
        { "best fit", DrawGraphicBestFit },
        { "down-scaled best fit", DrawGraphicDownScaledBestFit },
        { "fit width", DrawGraphicFitWidth },
        { "fit height", DrawGraphicFitHeight },
        { "centre", DrawGraphicCenter },
        { "down-scaled centre", DrawGraphicDownScaledCenter },
        { "tile", [](TCanvas* C, const TRect& R, TGraphic* G, const TXFilterKernel*) { DrawGraphicTile(C, R, G); } },
        { "tile sized",
            [](TCanvas* C, const TRect& R, TGraphic* G, const TXFilterKernel*) {
                DrawGraphicTileSized(C, R, G, 30, 45);
            } },
    };
    for (auto [Label, W, H] : { std::tuple { "landscape", 240, 140 }, { "portrait", 120, 200 } }) {
        TOwnedPtr<TBitmap> Pic(Photo(W, H));
        TOwnedPtr<TBitmap> Sheet(SolidBitmap(pf24bit, 4 * 190 + 10, 2 * 170 + 10, clWhite));
        TCanvas* C = Sheet->Canvas();
        for (int I = 0; I < 8; ++I) {
            const TRect R =
                Rect(10 + (I % 4) * 190, 10 + (I / 4) * 170, 10 + (I % 4) * 190 + 180, 10 + (I / 4) * 170 + 130);
            // Each cell clipped to itself, as a control would be.
            C->SetClipRect(R);
            C->Brush()->SetColor(RGB(40, 40, 60));
            Modes[I].Place(C, R, Pic.get(), XLanczosKernel());
            C->Font()->SetHeight(-12);
            C->Brush()->SetStyle(bsClear);
            TRect T = Rect(R.Left, R.Bottom + 4, R.Right, R.Bottom + 30);
            C->ResetClip();
            C->DrawText(S(Modes[I].Name), T, DT_CENTER | DT_SINGLELINE);
        }
        C->ResetClip();
        SavePicture(Sheet.get(), std::string("placement-") + Label + ".png");
    }
}

TEST(Placement, AMetafileThumbnailCostsTheThumbnailNotTheFrame)
{
    // 24 bytes: a frame of 10000 x 10000, no call, 8 bytes of padding.
    RawBytes Data("XMF1", 4);
    for (Cardinal V : { Cardinal(10000), Cardinal(10000), Cardinal(0), Cardinal(0), Cardinal(0) })
        for (int I = 0; I < 4; ++I)
            Data += char(V >> (8 * I));
    const Testing::TBoundedRun Run = Testing::RunBounded(
        [&Data] {
            auto Mf = MakeOwned<TMetafile>();
            Mf->LoadFromStream(StreamOf(Data).get());
            auto Thumb = MakeOwned<TBitmap>();
            Thumb->SetSize(64, 64);
            DrawGraphicDownScaledBestFit(Thumb->Canvas(), Rect(0, 0, 64, 64), Mf.get(), XLanczosKernel());
            return "drawn " + std::to_string(Mf->Width()) + "x" + std::to_string(Mf->Height()) + " as 64x64";
        },
        512);
    Testing::PrintBoundedRun("metafile of 10000 x 10000 drawn as 64 x 64", Int64(Data.size()), Run);
    ASSERT_TRUE(Run.Exited);
    EXPECT_EQ(Run.Result, "drawn 10000x10000 as 64x64");
    EXPECT_LT(Run.PeakKiB, 16 * 1024);
}
