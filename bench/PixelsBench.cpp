// The picture layer's hot paths on one core, beside what a user would run
// instead, with the ratios printed from the same run:
// - resampling 6000 x 4000 to 3840 x 2160 (our separable Lanczos-3) against
//   `vips resize` (single-threaded; .v files in the page cache; the time of
//   `vips copy` of the same files subtracted) and ImageMagick's Lanczos;
// - the wallpaper page: JPEG decode, resampling, a colour blend, an alpha
//   blit, a keyed blit and the BMP, each stage timed, the whole against
//   vips' resize alone; the same page once more with the photo placed by
//   DrawGraphicCenter (covering the screen, its rows decoded as they are
//   resampled) instead of the decode and resampling;
// - GaussianBlur sigma 10 of a 4K picture against `vips gaussblur` and
//   `convert -blur 0x10`;
// - a 4K BGRA blend against memcpy of the same bytes;
// - a found photo's thumbnail: the area average (halftone) of an 800 x 600
//   picture into 72 x 54, against cairo's scaled paint with its good filter.
// Peer tools that are not installed are left out.
#include "rtl/Units.h"
#include "rtl/Streams.h"
#include "rtl/testing/Testing.h"
#include "gdi/Bitmap.h"
#include "gdi/JpegImage.h"
#include "graphics/XMedia.Drawing.h"
#include "graphics/XMedia.Pixels.h"
#include "graphics/XMedia.Resample.h"
#include "graphics/XMedia.Simd.h"
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The fastest run of each named piece of work, in seconds.
std::map<std::string, double> Best;

template<class F>
void Timed(const std::string& Name, F&& Work)
{
    const auto Start = Clock::now();
    Work();
    const double S = std::chrono::duration<double>(Clock::now() - Start).count();
    auto It = Best.find(Name);
    if (It == Best.end() || S < It->second)
        Best[Name] = S;
}

// A photo-like picture: smooth waves with some grain.
TOwnedPtr<TBitmap> Photo(TPixelFormat Format, Integer W, Integer H)
{
    auto Bmp = MakeOwned<TBitmap>();
    Bmp->SetPixelFormat(Format);
    Bmp->SetSize(W, H);
    std::mt19937 Rng(5);
    const Integer Bpp = Bmp->BytesPerPixel();
    for (Integer Y = 0; Y < H; ++Y) {
        Byte* P = Bmp->ScanLine(Y);
        for (Integer X = 0; X < W; ++X, P += Bpp) {
            P[0] = Byte(128 + 100 * std::sin(X * 0.01 + Y * 0.003) + Rng() % 16);
            P[1] = Byte(128 + 100 * std::sin(Y * 0.013) + Rng() % 16);
            P[2] = Byte((X ^ Y) & 0xFF);
            if (Bpp == 4)
                P[3] = 0;
        }
    }
    return Bmp;
}

struct TFixture {
    TOwnedPtr<TBitmap> Big = Photo(pf32bit, 6000, 4000);
    TOwnedPtr<TBitmap> Screen = Photo(pf32bit, 3840, 2160);
    TOwnedPtr<TBitmap> Layer = Photo(pf32bit, 3840, 2160);
    TOwnedPtr<TBitmap> Item = Photo(pf32bit, 1200, 800);
    std::vector<Byte> Jpeg;
    Testing::TTempFolder Folder { "pixels-bench" };

    TFixture()
    {
        auto J = MakeOwned<TJPEGImage>();
        auto Big24 = MakeOwned<TBitmap>();
        Big24->Assign(Big.get());
        Big24->SetPixelFormat(pf24bit);
        J->Assign(Big24.get());
        auto S = MakeOwned<TMemoryStream>();
        J->SaveToStream(S.get());
        Jpeg.assign(static_cast<const Byte*>(S->Memory()), static_cast<const Byte*>(S->Memory()) + S->Size());
        WriteRaw(Big.get(), "big.raw");
        WriteRaw(Screen.get(), "screen.raw");
    }

    void WriteRaw(TBitmap* B, const std::string& Name)
    {
        std::ofstream Out(Folder / Name, std::ios::binary);
        for (Integer Y = 0; Y < B->Height(); ++Y)
            Out.write(reinterpret_cast<const char*>(B->ScanLine(Y)), std::streamsize(B->Width()) * 4);
    }
};

TFixture& Fix()
{
    static TFixture F;
    return F;
}

void BM_Resample(benchmark::State& State)
{
    auto Dest = MakeOwned<TBitmap>();
    for (auto _ : State)
        Timed("resample ours", [&] { ResampleBitmap(Fix().Big.get(), Dest.get(), 3840, 2160); });
}

void BM_Page(benchmark::State& State)
{
    auto Photo = MakeOwned<TBitmap>();
    auto Page = MakeOwned<TBitmap>();
    auto Bmp = MakeOwned<TMemoryStream>();
    auto In = MakeOwned<TBytesStream>(Fix().Jpeg);
    for (auto _ : State)
        Timed("page whole", [&] {
            Timed("page jpeg decode", [&] {
                auto J = MakeOwned<TJPEGImage>();
                In->SetPosition(0);
                J->LoadFromStream(In.get());
                J->AssignTo(Photo.get());
            });
            Timed("page resample", [&] { ResampleBitmap(Photo.get(), Page.get(), 3840, 2160); });
            Timed("page BlendColorBitmap", [&] { BlendColorBitmap(Page.get(), clBlack, 64); });
            Timed("page DrawBitmapAlpha",
                [&] { DrawBitmapAlpha(Page.get(), Fix().Item.get(), 200, 150, Rect(0, 0, 1200, 800), 180); });
            Timed("page DrawBitmapKeyed",
                [&] { DrawBitmapKeyed(Page.get(), Fix().Item.get(), 2200, 900, clFuchsia, 255); });
            Timed("page BMP", [&] {
                Bmp->SetPosition(0);
                Page->SaveToStream(Bmp.get());
            });
        });
}

// The page with the photo placed as a covering picture: 6000 x 4000 into
// 3840 x 2160 is 3840 x 2560 of which the screen shows 2160 rows.
void BM_PageCenter(benchmark::State& State)
{
    auto Page = MakeOwned<TBitmap>();
    Page->SetPixelFormat(pf32bit);
    Page->SetSize(3840, 2160);
    auto Bmp = MakeOwned<TMemoryStream>();
    auto In = MakeOwned<TBytesStream>(Fix().Jpeg);
    for (auto _ : State)
        Timed("center whole", [&] {
            auto J = MakeOwned<TJPEGImage>();
            Timed("center DrawGraphicCenter", [&] {
                In->SetPosition(0);
                J->LoadFromStream(In.get());
                DrawGraphicCenter(Page->Canvas(), Rect(0, 0, 3840, 2160), J.get(), XLanczosKernel());
            });
            BlendColorBitmap(Page.get(), clBlack, 64);
            DrawBitmapAlpha(Page.get(), Fix().Item.get(), 200, 150, Rect(0, 0, 1200, 800), 180);
            DrawBitmapKeyed(Page.get(), Fix().Item.get(), 2200, 900, clFuchsia, 255);
            Bmp->SetPosition(0);
            Page->SaveToStream(Bmp.get());
        });
}

void BM_Blur(benchmark::State& State)
{
    auto B = MakeOwned<TBitmap>();
    for (auto _ : State) {
        State.PauseTiming();
        B->Assign(Fix().Screen.get());
        State.ResumeTiming();
        Timed("blur ours", [&] { GaussianBlur(B.get(), 10); });
    }
}

void BM_Blend(benchmark::State& State)
{
    for (auto _ : State)
        Timed("blend ours",
            [&] { DrawBitmapAlpha(Fix().Screen.get(), Fix().Layer.get(), 0, 0, Rect(0, 0, 3840, 2160), 128); });
}

void BM_Memcpy(benchmark::State& State)
{
    const size_t Bytes = size_t(3840) * 2160 * 4;
    std::vector<Byte> From(Bytes, 1), To(Bytes, 2);
    for (auto _ : State) {
        Timed("memcpy", [&] { std::memcpy(To.data(), From.data(), Bytes); });
        benchmark::DoNotOptimize(To.data());
    }
}

// The thumbnail the recovery scan makes of a found 800 x 600 photo, and
// the same reduction by cairo (a box filter over the covered pixels).
void BM_Thumbnail(benchmark::State& State)
{
    auto Src = Photo(pf24bit, 800, 600);
    auto Thumb = MakeOwned<TBitmap>();
    Thumb->SetPixelFormat(pf32bit);
    Thumb->SetSize(72, 54);
    auto Src32 = Photo(pf32bit, 800, 600);
    cairo_surface_t* From = cairo_image_surface_create_for_data(Src32->ScanLine(0), CAIRO_FORMAT_RGB24, 800, 600,
        Src32->BytesPerScanline());
    cairo_surface_t* To = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 72, 54);
    for (auto _ : State) {
        Timed("thumbnail ours", [&] { StretchDraw(Thumb.get(), Rect(0, 0, 72, 54), Src.get(), smHalftone); });
        Timed("thumbnail cairo", [&] {
            cairo_t* Cr = cairo_create(To);
            cairo_scale(Cr, 72.0 / 800, 54.0 / 600);
            cairo_set_source_surface(Cr, From, 0, 0);
            cairo_pattern_set_filter(cairo_get_source(Cr), CAIRO_FILTER_GOOD);
            cairo_paint(Cr);
            cairo_destroy(Cr);
            cairo_surface_flush(To);
        });
    }
    cairo_surface_destroy(To);
    cairo_surface_destroy(From);
}

// The best of three runs of a tool, in seconds; -1 when it is missing or fails.
double ToolTime(const std::vector<std::string>& Argv)
{
    double BestTime = -1;
    for (int I = 0; I < 3; ++I) {
        const auto Start = Clock::now();
        const auto R = Testing::RunTool(Argv, Fix().Folder.Path());
        const double S = std::chrono::duration<double>(Clock::now() - Start).count();
        if (R.ExitCode != 0)
            return -1;
        BestTime = BestTime < 0 ? S : std::min(BestTime, S);
    }
    return BestTime;
}

double Net(double Work, double Base)
{
    return Work < 0 || Base < 0 ? -1 : std::max(Work - Base, 1e-6);
}

void Line(const char* Name, double Seconds)
{
    if (Seconds >= 0)
        std::printf("  %-34s %9.1f ms\n", Name, Seconds * 1e3);
    else
        std::printf("  %-34s %12s\n", Name, "(missing)");
}

void Ratio(const char* Name, double Ours, double Theirs, double Goal)
{
    if (Theirs <= 0) {
        std::printf("  %-34s %12s\n", Name, "(no peer)");
        return;
    }
    std::printf("  %-34s %9.3f   (goal below %.2f)\n", Name, Ours / Theirs, Goal);
}

} // namespace

BENCHMARK(BM_Resample)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Page)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PageCenter)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Blur)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Blend)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_Thumbnail)->Unit(benchmark::kMillisecond)->Iterations(50);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    InitializeUnits();
    // X_SIMD_LEVEL=0..3 (plain, SSE2, AVX2, AVX-512) times a lower path.
    if (const char* Level = std::getenv("X_SIMD_LEVEL"))
        SetXSimdLevel(TXSimdLevel(std::clamp(std::atoi(Level), 0, 3)));
    std::printf("vector level: %s\n", XSimdLevelName(XSimdLevel()));
    Fix();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    // Peers, single-threaded, on files already in the page cache.
    const bool Vips = Testing::HaveTool("vips"), Magick = Testing::HaveTool("convert");
    double VipsResize = -1, VipsBlur = -1, MagickResize = -1, MagickBlur = -1;
    if (Vips) {
        Testing::RunTool({ "vips", "rawload", "big.raw", "big.v", "6000", "4000", "4" }, Fix().Folder.Path());
        Testing::RunTool({ "vips", "rawload", "screen.raw", "screen.v", "3840", "2160", "4" }, Fix().Folder.Path());
        const std::vector<std::string> One { "env", "VIPS_CONCURRENCY=1" };
        auto With = [&](std::vector<std::string> Args) {
            Args.insert(Args.begin(), One.begin(), One.end());
            return Args;
        };
        const double CopyBig = ToolTime(With({ "vips", "copy", "big.v", "copy.v" }));
        VipsResize =
            Net(ToolTime(
                    With({ "vips", "resize", "big.v", "out.v", "0.64", "--vscale", "0.54", "--kernel", "lanczos3" })),
                CopyBig);
        const double CopyScreen = ToolTime(With({ "vips", "copy", "screen.v", "copy.v" }));
        VipsBlur = Net(ToolTime(With({ "vips", "gaussblur", "screen.v", "out.v", "10" })), CopyScreen);
    }
    if (Magick) {
        const std::vector<std::string> In { "convert", "-limit", "thread", "1", "-size", "6000x4000", "-depth", "8",
            "rgba:big.raw" };
        auto Then = [&](std::vector<std::string> Head, std::vector<std::string> Tail) {
            Head.insert(Head.end(), Tail.begin(), Tail.end());
            return Head;
        };
        const double Copy = ToolTime(Then(In, { "rgba:out.raw" }));
        MagickResize = Net(ToolTime(Then(In, { "-filter", "Lanczos", "-resize", "3840x2160!", "rgba:out.raw" })), Copy);
        const std::vector<std::string> InScreen { "convert", "-limit", "thread", "1", "-size", "3840x2160", "-depth",
            "8", "rgba:screen.raw" };
        const double CopyScreen = ToolTime(Then(InScreen, { "rgba:out.raw" }));
        MagickBlur = Net(ToolTime(Then(InScreen, { "-blur", "0x10", "rgba:out.raw" })), CopyScreen);
    }

    std::printf("\nresampling 6000x4000 -> 3840x2160, one core\n");
    Line("ours (ResampleBitmap)", Best["resample ours"]);
    Line("vips resize lanczos3 (net of copy)", VipsResize);
    Line("convert -filter Lanczos (net)", MagickResize);
    Ratio("ours / vips", Best["resample ours"], VipsResize, 1.0);
    Ratio("ours / convert", Best["resample ours"], MagickResize, 1.0);

    std::printf("\nwallpaper page, 6000x4000 JPEG to a 3840x2160 BMP\n");
    for (const char* Stage : { "page jpeg decode", "page resample", "page BlendColorBitmap", "page DrawBitmapAlpha",
             "page DrawBitmapKeyed", "page BMP", "page whole" })
        Line(Stage + 5, Best[Stage]);
    Ratio("whole / vips resize alone", Best["page whole"], VipsResize, 0.75);
    std::printf("\nthe same page, the photo placed by DrawGraphicCenter (decode and resampling)\n");
    Line("DrawGraphicCenter", Best["center DrawGraphicCenter"]);
    Line("whole", Best["center whole"]);
    Ratio("whole / vips resize alone", Best["center whole"], VipsResize, 0.75);

    std::printf("\nGaussianBlur sigma 10, 3840x2160 BGRA\n");
    Line("ours", Best["blur ours"]);
    Line("vips gaussblur 10 (net)", VipsBlur);
    Line("convert -blur 0x10 (net)", MagickBlur);
    Ratio("ours / vips", Best["blur ours"], VipsBlur, 1.5);
    Ratio("ours / convert", Best["blur ours"], MagickBlur, 1.0);

    std::printf("\nblend, 3840x2160 BGRA (DrawBitmapAlpha at 128)\n");
    Line("ours", Best["blend ours"]);
    Line("memcpy of the same bytes", Best["memcpy"]);
    Ratio("ours / memcpy", Best["blend ours"], Best["memcpy"], 2.0);

    std::printf("\nthumbnail, 800x600 BGR into 72x54 (the scan's halftone)\n");
    Line("ours (StretchDraw halftone)", Best["thumbnail ours"]);
    Line("cairo, filter good", Best["thumbnail cairo"]);
    Ratio("ours / cairo", Best["thumbnail ours"], Best["thumbnail cairo"], 1.0);
    FinalizeUnits();
    return 0;
}
