#include "gdi/tests/GdiTestSupport.h"
#include "graphics/XMedia.Pixels.h"
#include "graphics/XMedia.Pixels.Rows.h"
#include "graphics/XMedia.Simd.h"
#include "NoiseBitmap.h"
#include "SimdLevelGuard.h"
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

using namespace GdiTest;
using PixelTest::Noise;

namespace {

TOwnedPtr<TBitmap> Copy(const TBitmap* B)
{
    auto C = MakeOwned<TBitmap>();
    C->Assign(const_cast<TBitmap*>(B));
    return C;
}

bool Same(const TBitmap* A, const TBitmap* B)
{
    if (A->Width() != B->Width() || A->Height() != B->Height() || A->PixelFormat() != B->PixelFormat())
        return false;
    for (Integer Y = 0; Y < A->Height(); ++Y)
        if (std::memcmp(A->ScanLine(Y), B->ScanLine(Y), size_t(A->Width()) * A->BytesPerPixel()))
            return false;
    return true;
}

Byte RefBlend(int S, int D, int A)
{
    return S == 255 && D == 255 ? 255 : Byte((A * S + (255 - A) * D) >> 8);
}

// The blits as the formulas say, one pixel at a time with the blit rule.
enum TBlit { bAlpha, bKeyed, bAdd, bSubtract };
void ReferenceBlit(TBitmap* Dest, const TBitmap* Source, Integer X, Integer Y, TRect SR, TBlit Kind, TColor Key,
    int Alpha)
{
    if (Kind == bAlpha || Kind == bKeyed) {
        if (Alpha == 0)
            return;
    }
    if (Kind != bAlpha)
        SR = Rect(0, 0, Source->Width(), Source->Height());
    if (SR.Left < 0) {
        X -= SR.Left;
        SR.Left = 0;
    }
    if (SR.Top < 0) {
        Y -= SR.Top;
        SR.Top = 0;
    }
    if (X < 0) {
        SR.Left -= X;
        X = 0;
    }
    if (Y < 0) {
        SR.Top -= Y;
        Y = 0;
    }
    SR.Right = std::min(SR.Right, Source->Width());
    SR.Bottom = std::min(SR.Bottom, Source->Height());
    if (SR.IsEmpty() || SR.Left >= Source->Width() || SR.Top >= Source->Height())
        return;
    const Integer X2 = std::min(X + SR.Width(), Dest->Width()), Y2 = std::min(Y + SR.Height(), Dest->Height());
    const Integer SB = Source->BytesPerPixel(), DB = Dest->BytesPerPixel();
    const Cardinal KeyPixel = Cardinal(GetBValue(Key)) | Cardinal(GetGValue(Key)) << 8 | Cardinal(GetRValue(Key)) << 16;
    for (Integer DY = Y; DY < Y2; ++DY)
        for (Integer DX = X; DX < X2; ++DX) {
            const Byte* S = Source->ScanLine(SR.Top + DY - Y) + size_t(SR.Left + DX - X) * SB;
            Byte* D = Dest->ScanLine(DY) + size_t(DX) * DB;
            const Byte Fourth = SB == 4 ? S[3] : 0;
            switch (Kind) {
            case bAlpha:
            case bKeyed:
                if (Kind == bKeyed &&
                    (Cardinal(S[0]) | Cardinal(S[1]) << 8 | Cardinal(S[2]) << 16 | Cardinal(Fourth) << 24) == KeyPixel)
                    break;
                for (int C = 0; C < 3; ++C)
                    D[C] = Alpha == 255 ? S[C] : RefBlend(S[C], D[C], Alpha);
                if (DB == 4 && Alpha == 255)
                    D[3] = Fourth;
                break;
            case bAdd:
            case bSubtract:
                for (int C = 0; C < 3; ++C)
                    D[C] = Kind == bAdd ? Byte(std::min(255, D[C] + S[C])) : Byte(std::max(0, D[C] - S[C]));
                if (DB == 4)
                    D[3] = 0;
                break;
            }
        }
}

} // namespace

TEST(XMediaPixels, ByteBlendExhaustivelyOnEveryPath)
{
    // Every source and destination byte beside each other, at every alpha.
    std::vector<Byte> S(65536), D(65536);
    for (int I = 0; I < 65536; ++I) {
        S[size_t(I)] = Byte(I >> 8);
        D[size_t(I)] = Byte(I);
    }
    std::vector<Byte> Expected(65536);
    for (TXSimdLevel Level : XSimdLevels())
        for (int A = 0; A < 256; ++A) {
            for (int I = 0; I < 65536; ++I)
                Expected[size_t(I)] = RefBlend(S[size_t(I)], D[size_t(I)], A);
            std::vector<Byte> Out = D;
            XPixelRows::Blend(Level, S.data(), Out.data(), Out.size(), Byte(A), XPixelRows::fbCompute);
            ASSERT_TRUE(Out == Expected) << XSimdLevelName(Level) << " alpha " << A;
        }
    for (int A = 0; A < 256; ++A)
        for (int I = 0; I < 65536; ++I)
            ASSERT_EQ(BlendByte(S[size_t(I)], D[size_t(I)], Byte(A)), RefBlend(S[size_t(I)], D[size_t(I)], A));
}

TEST(XMediaPixels, BlitsEqualThePlainLoopsOnEveryPathAndPixelSize)
{
    TLevelGuard Guard;
    for (TXSimdLevel Level : XSimdLevels()) {
        SetXSimdLevel(Level);
        for (Integer W = 1; W <= 67; ++W)
            for (TPixelFormat DF : { pf24bit, pf32bit })
                for (TPixelFormat SF : { pf24bit, pf32bit })
                    for (TBlit Kind : { bAlpha, bKeyed, bAdd, bSubtract }) {
                        const unsigned Seed = unsigned(W * 16 + DF * 4 + SF + Kind * 1000);
                        auto Src = Noise(SF, W, 3, Seed, Kind == bKeyed ? 3 : 0);
                        auto Dst = Noise(DF, 70, 4, Seed + 1);
                        const Integer X = Integer(Seed % 7) - 3, Y = Integer(Seed % 3) - 1;
                        const TRect SR = Rect(Integer(Seed % 5) - 2, 0, W - Integer(Seed % 3), 3);
                        for (int Alpha : { 0, 1, 77, 128, 254, 255 }) {
                            if ((Kind == bAdd || Kind == bSubtract) && Alpha != 255)
                                continue;
                            auto Expected = Copy(Dst.get());
                            ReferenceBlit(Expected.get(), Src.get(), X, Y, SR, Kind, clFuchsia, Alpha);
                            auto Got = Copy(Dst.get());
                            auto SrcBefore = Copy(Src.get());
                            switch (Kind) {
                            case bAlpha: DrawBitmapAlpha(Got.get(), Src.get(), X, Y, SR, Byte(Alpha)); break;
                            case bKeyed: DrawBitmapKeyed(Got.get(), Src.get(), X, Y, clFuchsia, Byte(Alpha)); break;
                            case bAdd: AddBitmapSaturated(Got.get(), Src.get(), X, Y); break;
                            case bSubtract: SubtractBitmapSaturated(Got.get(), Src.get(), X, Y); break;
                            }
                            ASSERT_TRUE(Same(Got.get(), Expected.get()))
                                << XSimdLevelName(Level) << " kind " << Kind << " width " << W << " alpha " << Alpha
                                << (DF == pf32bit ? " onto 32" : " onto 24")
                                << (SF == pf32bit ? " from 32" : " from 24");
                            ASSERT_TRUE(Same(Src.get(), SrcBefore.get()));
                        }
                    }
        // Colour blends over a rectangle, 24 and 32 bits.
        for (Integer W = 1; W <= 67; ++W)
            for (TPixelFormat F : { pf24bit, pf32bit }) {
                auto Bmp = Noise(F, W, 2, unsigned(W));
                auto Expected = Copy(Bmp.get());
                const TColor Color = RGB(200, 255, Byte(W));
                for (Integer Y = 0; Y < 2; ++Y)
                    for (Integer X = 0; X < W; ++X) {
                        Byte* P = Expected->ScanLine(Y) + size_t(X) * Expected->BytesPerPixel();
                        P[0] = RefBlend(W, P[0], 99);
                        P[1] = RefBlend(255, P[1], 99);
                        P[2] = RefBlend(200, P[2], 99);
                    }
                BlendColorBitmap(Bmp.get(), Color, 99);
                ASSERT_TRUE(Same(Bmp.get(), Expected.get())) << XSimdLevelName(Level) << " width " << W;
            }
    }
}

TEST(XMediaPixels, ColourRoutines)
{
    EXPECT_EQ(PackColor(300, -1, 128), RGB(255, 0, 128));
    EXPECT_EQ(SwapRedBlue(0xAA112233u), 0x00332211u);
    EXPECT_EQ(ColorToPixel(RGB(1, 2, 3)), 0x00010203u);
    EXPECT_EQ(ColorToBGR(RGB(1, 2, 3)), (TXRGBColor { 3, 2, 1 }));
    EXPECT_EQ(BlendColors(clWhite, clWhite, 128), clWhite);
    EXPECT_EQ(BlendColors(clWhite, clBlack, 128), RGB(126, 126, 126));
    EXPECT_EQ(AddSaturated(200, 100), 255);
    EXPECT_EQ(SubtractFloored(100, 200), 0);
    EXPECT_EQ(SubtractFloored(200, 100), 100);
    EXPECT_EQ(ColorToFotoPixel(RGB(1, 2, 3)), (TXFotoPixel { 3, 2, 1 }));
    const float NaN = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(FotoPixelToColor({ NaN, 2.5f, 300 }), RGB(255, 2, 0));
}

TEST(XMediaPixels, PartEdgeCases)
{
    // A white over white blend stays 255; 255 x 200 shr 8 is 199.
    auto Bmp = SolidBitmap(pf32bit, 4, 4, RGB(200, 255, 255));
    BlendColorRect(Bmp.get(), RGB(200, 255, 255), Rect(-5, -5, 100, 100), 255);
    EXPECT_EQ(Bmp->Pixel(3, 3), RGB(199, 255, 255));
    // X = -10 draws from the eleventh column.
    auto Src = MakeOwned<TBitmap>();
    Src->SetSize(20, 1);
    for (Integer X = 0; X < 20; ++X)
        Src->FillRect(Rect(X, 0, X + 1, 1), RGB(Byte(X), 0, 0));
    auto Dst = SolidBitmap(pf24bit, 30, 1, clWhite);
    DrawBitmapAlpha(Dst.get(), Src.get(), -10, 0, Rect(0, 0, 20, 1), 255);
    EXPECT_EQ(Dst->Pixel(0, 0), RGB(10, 0, 0));
    EXPECT_EQ(Dst->Pixel(10, 0), clWhite);
    // Past the right edge: cropped, never squeezed.
    DrawBitmapAlpha(Dst.get(), Src.get(), 25, 0, Rect(0, 0, 20, 1), 255);
    EXPECT_EQ(Dst->Pixel(29, 0), RGB(4, 0, 0));
    // Far away coordinates clip without overflow.
    DrawBitmapAlpha(Dst.get(), Src.get(), 2147483647, 0, Rect(-2147483647 - 1, 0, 2147483647, 1), 255);
    DrawBitmapAlpha(Dst.get(), Src.get(), -2147483647 - 1, 0, Rect(-5, 0, 2147483647, 1), 255);
    // Keyed on 32 bits: only a key pixel with a fourth byte of 0 is skipped.
    auto K = SolidBitmap(pf32bit, 2, 1, clFuchsia);
    K->ScanLine(0)[7] = 1;
    auto D = SolidBitmap(pf32bit, 2, 1, clBlack);
    DrawBitmapKeyed(D.get(), K.get(), 0, 0, clFuchsia, 255);
    EXPECT_EQ(D->Pixel(0, 0), clBlack);
    EXPECT_EQ(D->Pixel(1, 0), clFuchsia);
    // Saturated add: (200, 100, 0) onto (100, 100, 100), fourth byte 0.
    auto A = SolidBitmap(pf32bit, 1, 1, RGB(100, 100, 100));
    A->ScanLine(0)[3] = 77;
    auto B = SolidBitmap(pf24bit, 1, 1, RGB(200, 100, 0));
    AddBitmapSaturated(A.get(), B.get(), 0, 0);
    EXPECT_EQ(A->Pixel(0, 0), RGB(255, 200, 100));
    EXPECT_EQ(A->ScanLine(0)[3], 0);
    EXPECT_EQ(B->PixelFormat(), pf24bit);
    // Grey by the red byte.
    auto G = SolidBitmap(pf24bit, 1, 1, RGB(50, 200, 10));
    DarkenGreyBitmap(G.get(), 20);
    EXPECT_EQ(G->Pixel(0, 0), RGB(30, 30, 30));
    // Rectangles.
    const TRect F1 = Rect(0, 0, 100, 100), F2 = Rect(0, 0, 50, 200);
    EXPECT_EQ(MapRect(F1, F1, Rect(500, 500, 600, 600)), Rect(500, 500, 600, 600));
    EXPECT_EQ(MapRect(F1, F2, Rect(10, 10, 20, 20)), Rect(5, 20, 10, 40));
    EXPECT_EQ(MapRect(Rect(0, 0, 0, 10), F2, Rect(1, 1, 2, 2)), Rect(0, 0, 0, 0));
    TRect Clipped = Rect(1, 2, 3, 4), Mapped;
    MapRectClipped(F1, F2, Rect(200, 0, 300, 10), Clipped, Mapped);
    EXPECT_EQ(Clipped, Rect(1, 2, 3, 4));
    EXPECT_EQ(Mapped, Rect(0, 0, 0, 0));
    MapRectClipped(F1, F2, Rect(50, 50, 300, 300), Clipped, Mapped);
    EXPECT_EQ(Clipped, Rect(50, 50, 100, 100));
    EXPECT_EQ(Mapped, Rect(25, 100, 50, 200));
}

TEST(XMediaPixels, GradientsAndRamps)
{
    auto Bmp = SolidBitmap(pf24bit, 10, 361, clWhite);
    FillRectGradient(Bmp.get(), Rect(0, 0, 10, 361), clRed, 1, clRed);
    EXPECT_EQ(Bmp->Pixel(5, 200), clRed);
    FillBitmapGradient(Bmp.get(), clBlack, clWhite, 1);
    EXPECT_EQ(Bmp->Pixel(3, 0), clBlack);
    EXPECT_GT(GetRValue(Bmp->Pixel(3, 360)), 250);
    EXPECT_EQ(Bmp->Pixel(0, 100), Bmp->Pixel(9, 100));
    // Hue k on row k of 361 rows.
    FillHueGradient(Bmp.get(), { 0, 1, 0.5f }, 1);
    for (Integer K : { 0, 60, 120, 240, 360 })
        EXPECT_EQ(Bmp->Pixel(0, K), FotoPixelToColor(HSLToRGB({ float(K), 1, 0.5f }))) << K;
    EXPECT_EQ(Bmp->Pixel(0, 120), clLime);
    auto One = SolidBitmap(pf24bit, 5, 1, clWhite);
    FillHueGradient(One.get(), { 0, 1, 0.5f }, 1);
    EXPECT_EQ(One->Pixel(2, 0), clWhite);
    auto Deep = SolidBitmap(pf32bit, 5, 5, clWhite);
    FillLightnessGradient(Deep.get(), { 0, 1, 0.5f }, 0);
    EXPECT_EQ(Deep->Pixel(2, 2), clWhite);
    FillRedGradient(Bmp.get(), { 10, 20, 0 }, 0);
    EXPECT_EQ(Bmp->Pixel(0, 5), RGB(255, 20, 10));
    // The ramp: white at the top, red in the middle, the last row near black.
    auto Ramp = MakeOwned<TBitmap>();
    DrawLightnessRamp(Ramp.get(), 30, 200);
    EXPECT_EQ(Ramp->PixelFormat(), pf24bit);
    EXPECT_EQ(Ramp->Pixel(0, 0), clWhite);
    EXPECT_EQ(Ramp->Pixel(0, 100), clRed);
    EXPECT_EQ(Ramp->Pixel(0, 199), RGB(3, 0, 0));
    // HSL strips for a person.
    auto Strips = SolidBitmap(pf24bit, 360, 90, clWhite);
    auto Part = SolidBitmap(pf24bit, 360, 30, clWhite);
    FillHueGradient(Part.get(), { 0, 1, 0.5f }, 0);
    DrawBitmapAlpha(Strips.get(), Part.get(), 0, 0, Rect(0, 0, 360, 30), 255);
    FillSaturationGradient(Part.get(), { 200, 0, 0.5f }, 0);
    DrawBitmapAlpha(Strips.get(), Part.get(), 0, 30, Rect(0, 0, 360, 30), 255);
    FillLightnessGradient(Part.get(), { 30, 1, 0 }, 0);
    DrawBitmapAlpha(Strips.get(), Part.get(), 0, 60, Rect(0, 0, 360, 30), 255);
    SavePicture(Strips.get(), "pixels-hsl-strips.png");
    SavePicture(Ramp.get(), "pixels-lightness-ramp.png");
}

TEST(XMediaPixels, MetafileInColour)
{
    auto Mf = MakeOwned<TMetafile>();
    Mf->SetSize(100, 100);
    {
        auto C = MakeOwned<TMetafileCanvas>(Mf.get());
        C->Brush()->SetColor(clBlack);
        C->Pen()->SetStyle(psClear);
        const TPoint Star[] = { { 50, 2 }, { 79, 95 }, { 2, 35 }, { 98, 35 }, { 21, 95 } };
        C->Polygon(Star);
        C->Brush()->SetColor(RGB(128, 128, 128));
        C->FillRect(Rect(0, 0, 20, 20));
    }
    // Onto magenta: the colour with the coverage as alpha; onto opaque
    // pixels: blended by coverage, alpha 255.
    auto Layer = SolidBitmap(pf32bit, 200, 100, clFuchsia);
    Layer->FillRect(Rect(100, 0, 200, 100), clWhite);
    for (Integer Y = 0; Y < 100; ++Y)
        for (Integer X = 100; X < 200; ++X)
            Layer->ScanLine(Y)[X * 4 + 3] = 255;
    DrawMetafileInColor(Layer.get(), Rect(0, 0, 100, 100), clBlue, Mf.get());
    DrawMetafileInColor(Layer.get(), Rect(100, 0, 200, 100), clBlue, Mf.get());
    EXPECT_EQ(PixelAt(Layer.get(), 5, 5).B, 255);
    EXPECT_EQ(PixelAt(Layer.get(), 5, 5).A, 127); // grey ink over magenta
    EXPECT_EQ(Layer->Pixel(50, 20), clBlue); // black ink
    EXPECT_EQ(Layer->Pixel(50, 99), clFuchsia); // no ink
    EXPECT_EQ(Layer->Pixel(105, 5), RGB(127, 127, 255)); // grey ink over white
    EXPECT_EQ(PixelAt(Layer.get(), 105, 5).A, 255);
    // The fourth byte is this layer's coverage, not a PNG's alpha: saved
    // without it.
    auto Look = Copy(Layer.get());
    Look->SetPixelFormat(pf24bit);
    SavePicture(Look.get(), "pixels-metafile-in-colour.png");
    // A 24-bit destination at 3 bytes a pixel, and a rectangle far larger
    // than the destination renders only what is inside.
    auto Flat = SolidBitmap(pf24bit, 50, 50, clFuchsia);
    DrawMetafileInColor(Flat.get(), Rect(-50, 0, 50, 100), clRed, Mf.get());
    EXPECT_EQ(Flat->Pixel(0, 20), clRed);
    EXPECT_EQ(Flat->Pixel(49, 49), clFuchsia);
    DrawMetafileInColor(Flat.get(), Rect(-2000000000, -2000000000, 2000000000, 2000000000), clRed, Mf.get());
    EXPECT_EQ(InkAlpha(0x808080), 127);
    EXPECT_EQ(InkAlpha(0x000010), 250);
}

TEST(XMediaPixels, CheckerBrushAndCrossedBox)
{
    auto Bmp = SolidBitmap(pf24bit, 24, 16, clWhite);
    Bmp->Canvas()->Brush()->Assign(XCheckerBrush());
    Bmp->Canvas()->FillRect(Rect(0, 0, 24, 16));
    EXPECT_EQ(Bmp->Pixel(0, 0), clSilver);
    EXPECT_EQ(Bmp->Pixel(4, 0), clGray);
    EXPECT_EQ(Bmp->Pixel(4, 4), clSilver);
    InitCheckerBrush(clWhite, clBlack);
    Bmp->Canvas()->Brush()->Assign(XCheckerBrush());
    Bmp->Canvas()->FillRect(Rect(0, 0, 24, 16));
    EXPECT_EQ(Bmp->Pixel(5, 1), clBlack);
    InitCheckerBrush(clSilver, clGray);
    auto Box = SolidBitmap(pf24bit, 100, 80, clSilver);
    DrawCrossedBox(Box->Canvas(), Rect(10, 10, 90, 70));
    EXPECT_EQ(Box->Pixel(50, 40), clBlack);
    EXPECT_EQ(Box->Pixel(30, 40), clWhite);
    SavePicture(Box.get(), "pixels-crossed-box.png");
}

// --- Gaussian blur ---------------------------------------------------------------

namespace {

// The blur as its formulas say: BlurLine with clamped indices along each
// row, then each column gathered, blurred and scattered back.
void ReferenceBlur(TBitmap* Bmp, double Sigma)
{
    const TXGaussKernel& K = XGaussKernel();
    const Integer R = K.Radius, W = Bmp->Width(), H = Bmp->Height(), Bpp = Bmp->BytesPerPixel();
    auto BlurLine = [&](const std::vector<Byte>& Src, std::vector<Byte>& Dst, Integer Count) {
        for (Integer B = 0; B < Count; ++B)
            for (int C = 0; C < 3; ++C) {
                double Sum = 0;
                for (Integer I = -R; I <= R; ++I)
                    Sum += double(K.Weight(I)) * Src[size_t(std::clamp(B - I, 0, Count - 1)) * Bpp + C];
                Dst[size_t(B) * Bpp + C] = Byte(std::clamp(std::nearbyint(Sum), 0.0, 255.0));
            }
    };
    std::vector<Byte> Line, Work;
    for (Integer Y = 0; Y < H; ++Y) {
        Line.assign(Bmp->ScanLine(Y), Bmp->ScanLine(Y) + size_t(W) * Bpp);
        Work = Line;
        BlurLine(Line, Work, W);
        std::memcpy(Bmp->ScanLine(Y), Work.data(), Work.size());
    }
    for (Integer X = 0; X < W; ++X) {
        Line.resize(size_t(H) * Bpp);
        for (Integer Y = 0; Y < H; ++Y)
            std::memcpy(&Line[size_t(Y) * Bpp], Bmp->ScanLine(Y) + size_t(X) * Bpp, size_t(Bpp));
        Work = Line;
        BlurLine(Line, Work, H);
        for (Integer Y = 0; Y < H; ++Y)
            std::memcpy(Bmp->ScanLine(Y) + size_t(X) * Bpp, &Work[size_t(Y) * Bpp], size_t(Bpp));
    }
}

} // namespace

TEST(XMediaBlur, KernelRadiiAndReuse)
{
    const struct {
        double Sigma;
        int Radius;
    } Cases[] = { { 0.5, 1 }, { 1, 2 }, { 2, 5 }, { 3, 8 }, { 5, 14 }, { 10, 30 }, { 30, 89 }, { 50, 99 }, { 80, 99 } };
    for (const auto& C : Cases) {
        BuildGaussKernel(C.Sigma);
        EXPECT_EQ(XGaussKernel().Radius, C.Radius) << C.Sigma;
        double Sum = 0;
        for (Integer I = -C.Radius; I <= C.Radius; ++I)
            Sum += XGaussKernel().Weight(I);
        EXPECT_NEAR(Sum, 1.0, 1e-6);
    }
    EXPECT_TRUE(BuildGaussKernel(1.0));
    EXPECT_FALSE(BuildGaussKernel(1.0));
    EXPECT_FALSE(BuildGaussKernel(0));
    EXPECT_FALSE(BuildGaussKernel(-1));
    EXPECT_FALSE(BuildGaussKernel(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(XGaussKernel().Sigma, 1.0);
}

TEST(XMediaBlur, EveryPathEqualsThePlainLoops)
{
    TLevelGuard Guard;
    for (TXSimdLevel Level : XSimdLevels()) {
        SetXSimdLevel(Level);
        for (double Sigma : { 0.5, 1.0, 2.0, 3.7, 10.0 })
            for (TPixelFormat F : { pf24bit, pf32bit })
                for (Integer W = 1; W <= 67; W += (W < 20 ? 1 : 7)) {
                    // Tall ones too, so blocks of rows and the ring of saved rows wrap.
                    auto Bmp = Noise(F, W, W < 20 ? 1 + W % 9 : 20 + W, unsigned(W * 3 + F));
                    auto Expected = Copy(Bmp.get());
                    GaussianBlur(Bmp.get(), Sigma);
                    ReferenceBlur(Expected.get(), Sigma);
                    ASSERT_TRUE(Same(Bmp.get(), Expected.get()))
                        << XSimdLevelName(Level) << " sigma " << Sigma << " width " << W
                        << (F == pf32bit ? " 32-bit" : " 24-bit");
                }
    }
}

TEST(XMediaBlur, EdgeCases)
{
    // A flat picture stays flat; 32-bit pixels keep their fourth byte.
    auto Flat = SolidBitmap(pf32bit, 40, 30, RGB(17, 130, 250));
    for (Integer Y = 0; Y < 30; ++Y)
        for (Integer X = 0; X < 40; ++X)
            Flat->ScanLine(Y)[X * 4 + 3] = Byte(X + Y);
    auto Before = Copy(Flat.get());
    GaussianBlur(Flat.get(), 5);
    EXPECT_TRUE(Same(Flat.get(), Before.get()));
    // Sigma 0, below 0 or not finite changes nothing.
    auto Noisy = Noise(pf24bit, 20, 20, 5);
    auto Kept = Copy(Noisy.get());
    for (double Sigma :
        { 0.0, -2.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity() }) {
        GaussianBlur(Noisy.get(), Sigma);
        EXPECT_TRUE(Same(Noisy.get(), Kept.get())) << Sigma;
    }
    // One pixel wide: only the vertical pass has an effect.
    auto Thin = MakeOwned<TBitmap>();
    Thin->SetSize(1, 9);
    Thin->Fill(clBlack);
    Thin->FillRect(Rect(0, 4, 1, 5), clWhite);
    GaussianBlur(Thin.get(), 1);
    EXPECT_GT(GetRValue(Thin->Pixel(0, 3)), 0);
    EXPECT_EQ(GetRValue(Thin->Pixel(0, 3)), GetRValue(Thin->Pixel(0, 5)));
}

TEST(XMediaBlur, CloseToImageMagickAndASeriesToLookAt)
{
    auto Src = SolidBitmap(pf24bit, 160, 120, clWhite);
    DrawCrossedBox(Src->Canvas(), Rect(30, 20, 130, 100));
    auto Series = SolidBitmap(pf24bit, 4 * 170, 120, clWhite);
    int Slot = 0;
    for (double Sigma : { 0.0, 1.0, 3.0, 10.0 }) {
        auto B = Copy(Src.get());
        GaussianBlur(B.get(), Sigma);
        DrawBitmapAlpha(Series.get(), B.get(), 170 * Slot++, 0, Rect(0, 0, 160, 120), 255);
    }
    SavePicture(Series.get(), "blur-series.png");
    if (!Testing::HaveTool("convert"))
        GTEST_SKIP() << "ImageMagick is not installed";
    Testing::TTempFolder Dir;
    auto Png = MakeOwned<TPngImage>();
    Png->Assign(Src.get());
    Png->SaveToFile(Dir.File("in.png"));
    ASSERT_EQ(Testing::RunTool({ "convert", "in.png", "-blur", "0x10", "PNG24:out.png" }, Dir.Path()).ExitCode, 0);
    auto Theirs = MakeOwned<TPngImage>();
    Theirs->LoadFromFile(Dir.File("out.png"));
    auto Ours = Copy(Src.get());
    GaussianBlur(Ours.get(), 10);
    double Diff = 0;
    for (Integer Y = 0; Y < 120; ++Y)
        for (Integer X = 0; X < 160; ++X)
            for (int C = 0; C < 3; ++C)
                Diff += std::abs(int(Ours->ScanLine(Y)[X * 3 + C]) - int(Theirs->Scanline(Y)[X * 3 + C]));
    EXPECT_LE(Diff / (160.0 * 120 * 3), 2.0);
}
