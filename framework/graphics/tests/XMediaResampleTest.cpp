#include "gdi/tests/GdiTestSupport.h"
#include "gdi/JpegImage.h"
#include "graphics/XMedia.Resample.h"
#include "graphics/XMedia.Simd.h"
#include "NoiseBitmap.h"
#include "SimdLevelGuard.h"
#include "graphics/XMedia.WeightCache.h"
#include "win/Time.h"
#include <cmath>
#include <random>
#include <set>

using namespace GdiTest;
using PixelTest::Noise;

namespace {

TOwnedPtr<TXLanczosKernel> Kernel(float Radius)
{
    auto K = MakeOwned<TXLanczosKernel>();
    K->SetRadius(Radius);
    return K;
}

// A picture of noise with smooth parts, so every tap matters.
TOwnedPtr<TBitmap> SmoothNoise(TPixelFormat Format, Integer W, Integer H, unsigned Seed)
{
    std::mt19937 Rng(Seed);
    auto Bmp = MakeOwned<TBitmap>();
    Bmp->SetPixelFormat(Format);
    Bmp->SetSize(W, H);
    for (Integer Y = 0; Y < H; ++Y) {
        Byte* P = Bmp->ScanLine(Y);
        for (Integer X = 0; X < W * Bmp->BytesPerPixel(); ++X)
            P[X] = Byte(Rng() % 3 == 0 ? Rng() : (X * 7 + Y * 13) & 0xFF);
    }
    return Bmp;
}

TOwnedPtr<TPngImage> NoisePng(Integer W, Integer H, unsigned Seed)
{
    auto Png = MakeOwned<TPngImage>();
    Png->Assign(SmoothNoise(pf32bit, W, H, Seed).get());
    return Png;
}

// The resampler as the formulas say it, in plain loops over 4-byte pixels:
// sums in slot order skipping zero weights, rounded (ties to even) and
// clamped; Carry takes the fourth byte from the last pixel read.
std::vector<Byte> Reference(const std::vector<Byte>& Src, Integer SW, Integer SH, Integer DW, Integer DH,
    const TXFilterKernel* K, bool Carry)
{
    TOwnedPtr<TXPixWeightMap> HM(MakeOwned<TXPixWeightMap>()), VM(MakeOwned<TXPixWeightMap>());
    BuildWeightMap(HM.get(), DW, SW, false, K);
    BuildWeightMap(VM.get(), DH, SH, false, K);
    auto Round = [](float V) { return Byte(std::clamp(std::nearbyint(V), 0.0f, 255.0f)); };
    std::vector<Byte> Mid(size_t(DW) * SH * 4), Out(size_t(DW) * DH * 4);
    for (Integer Y = 0; Y < SH; ++Y)
        for (Integer X = 0; X < DW; ++X) {
            float Sum[4] = {};
            Integer Last = -1;
            for (Integer S = 0; S < HM->Counts()[X]; ++S) {
                const TXPixWeight& W = HM->Rows(S)[X];
                if (W.Weight == 0)
                    continue;
                for (int C = 0; C < 4; ++C)
                    Sum[C] += W.Weight * float(Src[(size_t(Y) * SW + W.Index) * 4 + C]);
                Last = W.Index;
            }
            for (int C = 0; C < 4; ++C)
                Mid[(size_t(Y) * DW + X) * 4 + C] = Round(Sum[C]);
            if (Carry)
                Mid[(size_t(Y) * DW + X) * 4 + 3] = Last >= 0 ? Src[(size_t(Y) * SW + Last) * 4 + 3] : 0;
        }
    for (Integer X = 0; X < DW; ++X)
        for (Integer Y = 0; Y < DH; ++Y) {
            float Sum[4] = {};
            Integer Last = -1;
            for (Integer S = 0; S < VM->Counts()[Y]; ++S) {
                const TXPixWeight& W = VM->Rows(S)[Y];
                if (W.Weight == 0)
                    continue;
                for (int C = 0; C < 4; ++C)
                    Sum[C] += W.Weight * float(Mid[(size_t(W.Index) * DW + X) * 4 + C]);
                Last = W.Index;
            }
            for (int C = 0; C < 4; ++C)
                Out[(size_t(Y) * DW + X) * 4 + C] = Round(Sum[C]);
            if (Carry)
                Out[(size_t(Y) * DW + X) * 4 + 3] = Last >= 0 ? Mid[(size_t(Last) * DW + X) * 4 + 3] : 0;
        }
    return Out;
}

std::vector<Byte> RgbaBytes(const TPngImage* Png)
{
    std::vector<Byte> Out;
    for (Integer Y = 0; Y < Png->Height(); ++Y) {
        const Byte* P = Png->Scanline(Y);
        const Byte* A = Png->AlphaScanline(Y);
        for (Integer X = 0; X < Png->Width(); ++X, P += 3)
            Out.insert(Out.end(), { P[0], P[1], P[2], A ? A[X] : Byte(255) });
    }
    return Out;
}

// A bitmap's pixels as 4-byte ones (24-bit pixels get a fourth byte 0).
std::vector<Byte> Bgra(const TBitmap* Bmp)
{
    std::vector<Byte> Out;
    for (Integer Y = 0; Y < Bmp->Height(); ++Y) {
        const Byte* P = Bmp->ScanLine(Y);
        for (Integer X = 0; X < Bmp->Width(); ++X, P += Bmp->BytesPerPixel())
            Out.insert(Out.end(), { P[0], P[1], P[2], Bmp->BytesPerPixel() == 4 ? P[3] : Byte(0) });
    }
    return Out;
}

// A JPEG picture of noise, encoded by our own encoder, loaded afresh so
// nothing is decoded yet.
TOwnedPtr<TJPEGImage> JpegOf(const RawBytes& Bytes, TJPEGScale Scale = jsFullSize)
{
    auto Jpeg = MakeOwned<TJPEGImage>();
    Jpeg->SetScale(Scale);
    Jpeg->LoadFromStream(StreamOf(Bytes).get());
    return Jpeg;
}

RawBytes NoiseJpegBytes(Integer W, Integer H, unsigned Seed)
{
    auto Jpeg = MakeOwned<TJPEGImage>();
    Jpeg->Assign(Noise(pf24bit, W, H, Seed).get());
    auto S = MakeOwned<TMemoryStream>();
    Jpeg->SaveToStream(S.get());
    return BytesOf(S.get());
}

} // namespace

TEST(XMediaResample, KernelRadiusAndValues)
{
    auto K = Kernel(7);
    EXPECT_EQ(K->Radius(), 4);
    K->SetRadius(0);
    EXPECT_EQ(K->Radius(), 1);
    K->SetRadius(3);
    EXPECT_EQ(K->Filter(0), 1);
    EXPECT_EQ(K->Filter(3), 0);
    EXPECT_EQ(K->Filter(-3.5f), 0);
    EXPECT_NEAR(K->Filter(0.5f), 0.6079, 1e-4);
    EXPECT_EQ(MakeOwned<TXLanczosKernel>()->Radius(), 3);
    auto Other = Kernel(2);
    K->Assign(Other.get());
    EXPECT_EQ(K->Radius(), 2);
}

TEST(XMediaResample, WeightMapsMirrorAndStayInsideTheSource)
{
    auto K = Kernel(3);
    auto Map = MakeOwned<TXPixWeightMap>();
    BuildWeightMap(Map.get(), 1, 10, false, K.get());
    EXPECT_TRUE(Map->IsEmpty());
    BuildWeightMap(Map.get(), 10, 1, false, K.get());
    EXPECT_TRUE(Map->IsEmpty());
    // Enlarging 4 to 10: position -1 reads 1, -2 reads 2, 4 reads 3, 5 reads 2.
    BuildWeightMap(Map.get(), 10, 4, false, K.get());
    ASSERT_EQ(Map->Size().Width, 10);
    EXPECT_EQ(Map->Size().Height, 7);
    std::vector<Integer> First;
    for (Integer S = 0; S < Map->Counts()[0]; ++S)
        First.push_back(Map->Rows(S)[0].Index);
    EXPECT_EQ(First, (std::vector<Integer> { 2, 1, 0, 1, 2 }));
    std::vector<Integer> LastColumn;
    for (Integer S = 0; S < Map->Counts()[9]; ++S)
        LastColumn.push_back(Map->Rows(S)[9].Index);
    EXPECT_EQ(LastColumn, (std::vector<Integer> { 1, 2, 3, 3, 2 }));
    // Radius 4 from 100 into 4 pixels reaches far past both edges.
    auto Wide = Kernel(4);
    for (auto [D, S] : { std::pair { 4, 100 }, std::pair { 2, 65535 }, std::pair { 5, 6 }, std::pair { 67, 5 } }) {
        BuildWeightMap(Map.get(), D, S, false, Wide.get());
        for (Integer I = 0; I < D; ++I) {
            ASSERT_LE(Map->Counts()[I], Map->Size().Height);
            double Sum = 0;
            for (Integer K2 = 0; K2 < Map->Counts()[I]; ++K2) {
                ASSERT_GE(Map->Rows(K2)[I].Index, 0);
                ASSERT_LT(Map->Rows(K2)[I].Index, S);
                Sum += Map->Rows(K2)[I].Weight;
            }
            EXPECT_NEAR(Sum, 1.0, 1e-3) << D << " from " << S << " column " << I; // single-precision sums
        }
    }
}

TEST(XMediaResample, CacheKeepsTheCostliestMapsByTheManualClock)
{
    TManualClock Clock;
    using TCache = TXObjectCache<Integer, Integer>;
    TCache Cache;
    Integer Builds = 0;
    // Building key K takes K ticks.
    Cache.Create(6, [&](const Integer& Key, Integer& Value) {
        ++Builds;
        Clock.Advance(UInt64(Key));
        Value = Key * 10;
    });
    Integer V = 0;
    for (Integer Key : { 10, 20, 30, 40, 50, 60 })
        Cache.Fetch(Key, V);
    EXPECT_EQ(Cache.Count(), 6);
    Cache.Fetch(30, V);
    EXPECT_EQ(V, 300);
    EXPECT_EQ(Builds, 6);
    EXPECT_EQ(Cache.Entries()[2].Algorithm.HitCount, 2);
    // Cheaper than every entry: handed out, not kept.
    Cache.Fetch(5, V);
    EXPECT_EQ(V, 50);
    Cache.Fetch(5, V);
    EXPECT_EQ(Builds, 8);
    // As costly as the cheapest: replaces it.
    Cache.Fetch(10, V);
    EXPECT_EQ(Builds, 8);
    Cache.Fetch(15, V);
    std::set<Integer> Keys;
    for (const auto& E : Cache.Entries())
        Keys.insert(E.Key);
    EXPECT_EQ(Keys, (std::set<Integer> { 15, 20, 30, 40, 50, 60 }));
    Cache.SetCapacity(2);
    Keys.clear();
    for (const auto& E : Cache.Entries())
        Keys.insert(E.Key);
    EXPECT_EQ(Keys, (std::set<Integer> { 50, 60 }));
}

TEST(XMediaResample, SharedCacheKeysHoldTheKernel)
{
    // A full cache keeps a new map only when it cost as much as its
    // cheapest one (in real ticks here): start empty, so both are kept.
    XWeightMapCache()->Clear();
    auto Two = Kernel(2), Three = Kernel(3);
    const TXWeightMapProvider A = FetchWeightMap(50, 100, Two.get());
    const TXWeightMapProvider B = FetchWeightMap(50, 100, Three.get());
    EXPECT_NE(A->GetContent(), B->GetContent());
    EXPECT_LT(A->GetContent()->Size().Height, B->GetContent()->Size().Height);
    EXPECT_EQ(FetchWeightMap(50, 100, Three.get())->GetContent(), B->GetContent());
}

TEST(XMediaResample, EveryPathEqualsThePlainLoopsAtRadiusTwoAndThree)
{
    TLevelGuard Guard;
    auto K2 = Kernel(2), K3 = Kernel(3);
    struct Size {
        Integer SW, SH, DW, DH;
    };
    std::vector<Size> Sizes;
    for (Integer W = 4; W <= 67; ++W) {
        Sizes.push_back({ W, 6, 37, 5 }); // up and down to 37
        Sizes.push_back({ 37, 9, W, 4 + W % 5 });
    }
    // Tall enough for whole blocks of rows and a ring that wraps.
    for (Integer W : { 4, 17, 67 }) {
        Sizes.push_back({ W, 70, 29, 23 });
        Sizes.push_back({ 29, 19, W, 90 });
    }
    // Rows wider than one piece of the shared vertical pass, and a strong
    // reduction whose taps span hundreds of rows.
    Sizes.push_back({ 200, 30, 180, 11 });
    Sizes.push_back({ 67, 600, 41, 90 });
    for (TXSimdLevel Level : XSimdLevels()) {
        SetXSimdLevel(Level);
        for (const Size& S : Sizes)
            for (const TXFilterKernel* K :
                { static_cast<const TXFilterKernel*>(K2.get()), static_cast<const TXFilterKernel*>(K3.get()) }) {
                auto Src = NoisePng(S.SW, S.SH, unsigned(S.SW * 31 + S.DW));
                auto Dst = MakeOwned<TPngImage>();
                LanczosResamplePng(Src.get(), Dst.get(), S.DW, S.DH, K);
                ASSERT_TRUE(RgbaBytes(Dst.get()) == Reference(RgbaBytes(Src.get()), S.SW, S.SH, S.DW, S.DH, K, false))
                    << XSimdLevelName(Level) << " " << S.SW << "x" << S.SH << " -> " << S.DW << "x" << S.DH
                    << " radius " << K->Radius();
            }
        for (const Size& S : Sizes)
            for (TPixelFormat F : { pf24bit, pf32bit }) {
                auto Src = SmoothNoise(F, S.SW, S.SH, unsigned(S.DW * 7 + S.SW));
                auto Dst = MakeOwned<TBitmap>();
                ResampleBitmap(Src.get(), Dst.get(), S.DW, S.DH);
                ASSERT_EQ(Dst->PixelFormat(), pf32bit);
                ASSERT_TRUE(Bgra(Dst.get()) == Reference(Bgra(Src.get()), S.SW, S.SH, S.DW, S.DH, K3.get(), true))
                    << XSimdLevelName(Level) << (F == pf24bit ? " 24-bit " : " 32-bit ") << S.SW << "x" << S.SH
                    << " -> " << S.DW << "x" << S.DH;
            }
    }
}

TEST(XMediaResample, EdgeSizes)
{
    auto K = Kernel(3);
    auto Dst = MakeOwned<TPngImage>();
    auto Src = NoisePng(20, 20, 1);
    LanczosResamplePng(Src.get(), Dst.get(), 0, 5, K.get());
    EXPECT_TRUE(Dst->Empty());
    LanczosResamplePng(Src.get(), Dst.get(), -3, -3, K.get());
    EXPECT_TRUE(Dst->Empty());
    // Small sizes are stretched, alpha with the colour.
    auto Thin = MakeOwned<TPngImage>();
    Thin->CreateBlank(COLOR_RGBALPHA, 8, 3, 100);
    for (Integer Y = 0; Y < 100; ++Y)
        for (Integer X = 0; X < 3; ++X) {
            Thin->SetPixels(X, Y, clRed);
            Thin->AlphaScanline(Y)[X] = 200;
        }
    LanczosResamplePng(Thin.get(), Dst.get(), 30, 50, K.get());
    EXPECT_EQ(Dst->Pixels(29, 49), clRed);
    EXPECT_EQ(Dst->AlphaScanline(49)[29], 200);
    // Into itself.
    LanczosResamplePng(Src.get(), Src.get(), 10, 10, K.get());
    EXPECT_EQ(Src->Width(), 10);
    // Radius 4 into 4 pixels, and a long thin picture turned across: every
    // read stays inside (the sanitizer build watches), and a flat picture
    // stays flat.
    auto Wide = Kernel(4);
    auto Flat = MakeOwned<TPngImage>();
    Flat->CreateBlank(COLOR_RGBALPHA, 8, 100, 100);
    for (Integer Y = 0; Y < 100; ++Y)
        for (Integer X = 0; X < 100; ++X) {
            Flat->SetPixels(X, Y, RGB(10, 100, 200));
            Flat->AlphaScanline(Y)[X] = 255;
        }
    LanczosResamplePng(Flat.get(), Dst.get(), 4, 4, Wide.get());
    EXPECT_EQ(Dst->Pixels(3, 3), RGB(10, 100, 200));
    EXPECT_EQ(Dst->AlphaScanline(0)[0], 255);
    auto Long = MakeOwned<TBitmap>();
    Long->SetSize(8, 3000);
    Long->Fill(RGB(1, 2, 3));
    auto Across = MakeOwned<TBitmap>();
    ResampleBitmap(Long.get(), Across.get(), 3000, 8);
    EXPECT_EQ(Across->Pixel(2999, 7), RGB(1, 2, 3));
}

TEST(XMediaResample, EveryPngColourTypeResamplesAsItsRgbaForm)
{
    if (!Testing::HaveTool("convert"))
        GTEST_SKIP() << "ImageMagick is not installed";
    Testing::TTempFolder Dir;
    const std::vector<std::vector<std::string>> Makes = {
        { "-size", "40x30", "plasma:", "-fill", "rgb(10,20,30)", "-draw", "rectangle 3,3 9,9", "-transparent",
            "rgb(10,20,30)", "PNG8:x.png" },
        { "-size", "40x30", "gradient:", "-type", "Grayscale", "-depth", "8", "PNG:x.png" },
        { "-size", "40x30", "gradient:", "-type", "GrayscaleAlpha", "-channel", "A", "-fx", "i/w", "-depth", "8",
            "PNG:x.png" },
        { "-size", "40x30", "gradient:red-blue", "-fill", "rgb(10,20,30)", "-draw", "rectangle 3,3 9,9", "-transparent",
            "rgb(10,20,30)", "PNG24:x.png" },
        { "-size", "40x30", "gradient:red-blue", "-alpha", "set", "-channel", "A", "-fx", "j/h", "PNG32:x.png" },
        { "-size", "40x30", "gradient:red-blue", "-depth", "16", "PNG48:x.png" },
    };
    auto K = Kernel(3);
    for (const auto& Args : Makes) {
        std::vector<std::string> Argv { "convert", "-seed", "3" };
        Argv.insert(Argv.end(), Args.begin(), Args.end());
        ASSERT_EQ(Testing::RunTool(Argv, Dir.Path()).ExitCode, 0) << Args.back();
        // The RGBA form keeps 16-bit samples 16-bit, so both load alike.
        const bool Deep = Args.back() == "PNG48:x.png";
        ASSERT_EQ(Testing::RunTool({ "convert", "x.png", Deep ? "PNG64:rgba.png" : "PNG32:rgba.png" }, Dir.Path())
                      .ExitCode,
            0);
        auto Png = MakeOwned<TPngImage>();
        Png->LoadFromFile(Dir.File("x.png"));
        auto Rgba = MakeOwned<TPngImage>();
        Rgba->LoadFromFile(Dir.File("rgba.png"));
        auto A = MakeOwned<TPngImage>(), B = MakeOwned<TPngImage>();
        LanczosResamplePng(Png.get(), A.get(), 23, 51, K.get());
        LanczosResamplePng(Rgba.get(), B.get(), 23, 51, K.get());
        EXPECT_EQ(A->ColorType(), COLOR_RGBALPHA);
        EXPECT_TRUE(RgbaBytes(A.get()) == RgbaBytes(B.get())) << Args.back();
    }
}

TEST(XMediaResample, CloseToVipsLanczos)
{
    if (!Testing::HaveTool("vips") || !Testing::HaveTool("convert"))
        GTEST_SKIP() << "vips or ImageMagick is not installed";
    Testing::TTempFolder Dir;
    ASSERT_EQ(Testing::RunTool({ "convert", "-seed", "7", "-size", "480x320", "plasma:", "-blur", "0x1",
                                   "PNG24:in.png" },
                  Dir.Path())
                  .ExitCode,
        0);
    auto In = MakeOwned<TPngImage>();
    In->LoadFromFile(Dir.File("in.png"));
    auto Bmp = MakeOwned<TBitmap>();
    In->AssignTo(Bmp.get());
    auto Side = MakeOwned<TBitmap>();
    Side->SetSize(2 * 300 + 10, 200);
    Side->Fill(clWhite);
    const struct {
        const char* Scale;
        Integer W, H;
    } Cases[] = { { "0.625", 300, 200 }, { "1.5", 720, 480 } };
    for (const auto& C : Cases) {
        ASSERT_EQ(Testing::RunTool({ "vips", "resize", "in.png", "out.png", C.Scale, "--kernel", "lanczos3", "--gap",
                                       "0" },
                      Dir.Path())
                      .ExitCode,
            0);
        auto Vips = MakeOwned<TPngImage>();
        Vips->LoadFromFile(Dir.File("out.png"));
        ASSERT_EQ(Vips->Width(), C.W);
        ASSERT_EQ(Vips->Height(), C.H);
        auto Ours = MakeOwned<TBitmap>();
        ResampleBitmap(Bmp.get(), Ours.get(), C.W, C.H);
        // Loose: the corners map onto the corners here, vips centres the
        // pixels. Swapped channels or shifted rows would show at once.
        double Diff = 0;
        for (Integer Y = 0; Y < C.H; ++Y) {
            const Byte* P = Ours->ScanLine(Y);
            const Byte* Q = Vips->Scanline(Y);
            for (Integer X = 0; X < C.W; ++X)
                for (int Ch = 0; Ch < 3; ++Ch)
                    Diff += std::abs(int(P[X * 4 + Ch]) - int(Q[X * 3 + Ch]));
        }
        EXPECT_LE(Diff / (double(C.W) * C.H * 3), 2.0) << C.Scale;
        if (C.W == 300) {
            Side->Canvas()->Draw(0, 0, Ours.get());
            Side->Canvas()->Draw(310, 0, Vips.get());
        }
    }
    SavePicture(Side.get(), "resample-ours-beside-vips.png");
}

// Resampling a JPEG picture while its rows are decoded gives the bits of
// resampling its decoded bitmap: every vector level, windows that stop
// before the last rows, scales, a reduction whose taps span most of the
// picture, and the colour spaces ImageMagick writes.
TEST(XMediaResample, JpegRowsResampleAsTheirDecodedPicture)
{
    TLevelGuard Guard;
    struct Case {
        RawBytes Bytes;
        Integer DW, DH;
        TRect Window;
        TJPEGScale Scale = jsFullSize;
    };
    const RawBytes Wide = NoiseJpegBytes(200, 150, 3), Tall = NoiseJpegBytes(300, 900, 4);
    std::vector<Case> Cases {
        { Wide, 90, 70, Rect(0, 0, 90, 70) },
        { NoiseJpegBytes(60, 40, 5), 150, 100, Rect(0, 0, 150, 100) },
        { Wide, 90, 70, Rect(10, 5, 80, 30) },
        { Wide, 90, 70, Rect(0, 40, 90, 70) },
        { Tall, 20, 9, Rect(0, 0, 20, 9) },
        { Wide, 60, 50, Rect(-5, -5, 100, 100), jsHalf },
    };
    if (Testing::HaveTool("convert")) {
        Testing::TTempFolder Dir("jpeg-rows");
        for (const char* Space : { "Gray", "CMYK" }) {
            ASSERT_EQ(Testing::RunTool({ "convert", "-size", "120x80", "plasma:", "-colorspace", Space, "x.jpg" },
                          Dir.Path())
                          .ExitCode,
                0);
            const auto Bytes = Testing::ReadFileBytes(Dir / "x.jpg");
            Cases.push_back({ RawBytes(Bytes.begin(), Bytes.end()), 50, 45, Rect(0, 0, 50, 45) });
        }
    }
    for (TXSimdLevel Level : XSimdLevels()) {
        SetXSimdLevel(Level);
        for (const Case& C : Cases) {
            auto Rows = JpegOf(C.Bytes, C.Scale), Whole = JpegOf(C.Bytes, C.Scale);
            auto Ours = MakeOwned<TBitmap>(), Expected = MakeOwned<TBitmap>();
            ResampleJPEGWindow(Rows.get(), Ours.get(), C.DW, C.DH, C.Window);
            EXPECT_FALSE(Rows->Decoded());
            ResampleBitmapWindow(Whole->Bitmap(), Expected.get(), C.DW, C.DH, C.Window);
            ASSERT_EQ(Ours->Width(), Expected->Width());
            ASSERT_EQ(Ours->Height(), Expected->Height());
            ASSERT_TRUE(Bgra(Ours.get()) == Bgra(Expected.get()))
                << XSimdLevelName(Level) << " -> " << C.DW << "x" << C.DH << " window " << C.Window.Left << ","
                << C.Window.Top;
        }
    }
    // For a person: the middle of a smooth photo-like picture, reduced while
    // its rows are decoded (rows out of order or shifted would show).
    auto Smooth = MakeOwned<TBitmap>();
    Smooth->SetSize(640, 480);
    for (Integer Y = 0; Y < 480; ++Y) {
        Byte* P = Smooth->ScanLine(Y);
        for (Integer X = 0; X < 640; ++X, P += 3) {
            P[0] = Byte(128 + 120 * std::sin(X * 0.03 + Y * 0.01));
            P[1] = Byte(Y * 255 / 479);
            P[2] = Byte(128 + 120 * std::cos(std::hypot(X - 320, Y - 240) * 0.05));
        }
    }
    auto Jpeg = MakeOwned<TJPEGImage>();
    Jpeg->Assign(Smooth.get());
    auto Shown = MakeOwned<TBitmap>();
    ResampleJPEGWindow(Jpeg.get(), Shown.get(), 320, 240, Rect(20, 30, 300, 210));
    SavePicture(Shown.get(), "resample-jpeg-rows.png");
}

// Data that ends early raises while resampling as it does when the
// picture is decoded, even when the rows drawn come before the damage;
// nothing half made is left.
TEST(XMediaResample, DamagedJpegRowsRaiseAsTheWholePicture)
{
    const RawBytes Bytes = NoiseJpegBytes(200, 150, 6);
    const RawBytes Cut = Bytes.substr(0, Bytes.size() * 2 / 3);
    EXPECT_THROW(JpegOf(Cut)->DIBNeeded(), EJPEG);
    for (const TRect& Window : { Rect(0, 0, 90, 70), Rect(0, 0, 90, 10) }) {
        auto Jpeg = JpegOf(Cut);
        auto Dest = MakeOwned<TBitmap>();
        EXPECT_THROW(ResampleJPEGWindow(Jpeg.get(), Dest.get(), 90, 70, Window), EJPEG);
        EXPECT_TRUE(Dest->Empty());
    }
}
