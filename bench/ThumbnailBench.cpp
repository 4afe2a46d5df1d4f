// The thumbnail box's hot path, beside what a user would do with plain
// tools, ratios printed:
// - scrolling a box of 500 thumbnails of 12-megapixel JPEG pictures by a
//   page (the pictures that come into view are decoded at a reduced size,
//   resampled and painted), beside vipsthumbnail making thumbnails of the
//   same number of pictures and cairo painting them on one surface;
// - the peak resident size of a box of 5,000 thumbnails scrolled from top
//   to bottom (printed: it follows the visible area, not the box).
#include "gdi/JpegImage.h"
#include "graphics/XImagePanels.h"
#include "rtl/Units.h"
#include "rtl/testing/Testing.h"
#include "vcl/Forms.h"
#include "win/Presenter.h"
#include "BenchSupport.h"
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

XBench::TRatios Ratios;

constexpr Integer PhotoWidth = 4000, PhotoHeight = 3000; // 12 megapixels
constexpr Integer Photos = 500;
constexpr Integer BoxWidth = 820, BoxHeight = 620;

// A smooth 12-megapixel photograph stand-in: gradients, a disc and fine
// stripes, so that the encoder has detail to keep.
TOwnedPtr<TMemoryStream> PhotoJpeg()
{
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    Bmp->SetPixelFormat(pf24bit);
    Bmp->SetSize(PhotoWidth, PhotoHeight);
    for (Integer Y = 0; Y < PhotoHeight; ++Y) {
        Byte* Row = Bmp->ScanLine(Y);
        for (Integer X = 0; X < PhotoWidth; ++X) {
            const bool Disc = std::hypot(X - PhotoWidth / 2.0, Y - PhotoHeight / 2.0) < PhotoHeight / 4.0;
            Row[3 * X] = Byte(255 * X / PhotoWidth);
            Row[3 * X + 1] = Byte((255 * Y / PhotoHeight) ^ ((X / 7) & 8));
            Row[3 * X + 2] = Disc ? 220 : 40;
        }
    }
    TOwnedPtr<TJPEGImage> Jpeg(MakeOwned<TJPEGImage>());
    Jpeg->SetCompressionQuality(85);
    Jpeg->Assign(Bmp.get());
    TOwnedPtr<TMemoryStream> Stream(MakeOwned<TMemoryStream>());
    Jpeg->SaveToStream(Stream.get());
    return Stream;
}

// A form with a scroll box of thumbnails of the pictures.
struct TBox {
    TForm* Form = nullptr;
    TScrollBox* Host = nullptr;
    TXIThnPanels* Gear = nullptr;
    TXGroupPanel* Group = nullptr;

    explicit TBox(TXImageCollection* Pictures)
    {
        Form = New<TForm>(nullptr);
        Form->SetBounds(0, 0, BoxWidth, BoxHeight);
        Host = New<TScrollBox>(Form);
        Host->SetAlign(alClient);
        Host->SetParent(Form);
        Gear = New<TXIThnPanels>(Form);
        Gear->SetHost(Host);
        Gear->SetTitleType(tiIndex);
        Gear->SetThumbnailSize(128, 96, 4);
        TXIPanelList* List = Gear->AddGroup();
        List->AddCollectionPanels(Pictures);
        Group = List->GroupPanel();
        // The platform's scroll box moves only children that are not aligned.
        Group->SetAlign(alNone);
        Group->SetWidth(Host->ClientWidth());
        Form->Show();
        Application->ProcessMessages();
    }
    ~TBox() { Form->Free(); }
    Integer Page() const { return Host->ClientHeight(); }
    void ScrollTo(Integer Y)
    {
        Host->VertScrollBar()->SetPosition(Y);
        Application->ProcessMessages();
    }
};

TXImageCollection* NewCollection()
{
    return New<TXImageCollection>(static_cast<TPersistent*>(nullptr));
}

struct TPhotos {
    fs::path Folder;
    fs::path File;
    TOwnedPtr<TXImageCollection> Items;
};
TPhotos* Shared = nullptr;

// vipsthumbnail of Count pictures into PNG files, then cairo loading and
// painting them in a grid of the box's size.
double VipsAndCairo(Integer Count)
{
    std::vector<std::string> Argv { "vipsthumbnail", "-s", "128x96" };
    std::vector<fs::path> Copies;
    for (Integer I = 0; I < Count; ++I)
        Copies.push_back(Shared->Folder / ("p" + std::to_string(I) + ".jpg"));
    for (const fs::path& P : Copies)
        Argv.push_back(P.string());
    Argv.push_back("-o");
    Argv.push_back((Shared->Folder / "%s_t.png").string());
    return XBench::Timed([&] {
        const Testing::TToolResult R = Testing::RunTool(Argv);
        if (R.ExitCode != 0)
            std::fprintf(stderr, "vipsthumbnail failed: %d\n", R.ExitCode);
        cairo_surface_t* Surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, BoxWidth, BoxHeight);
        cairo_t* Cr = cairo_create(Surface);
        for (Integer I = 0; I < Count; ++I) {
            const fs::path Png = Shared->Folder / ("p" + std::to_string(I) + "_t.png");
            cairo_surface_t* Thumb = cairo_image_surface_create_from_png(Png.c_str());
            cairo_set_source_surface(Cr, Thumb, (I % 6) * 136, (I / 6) * 104);
            cairo_paint(Cr);
            cairo_surface_destroy(Thumb);
        }
        cairo_destroy(Cr);
        cairo_surface_destroy(Surface);
    });
}

void BM_ScrollThumbnailsByAPage(benchmark::State& State)
{
    TBox Box(Shared->Items.get());
    Integer Page = 1;
    for (auto _ : State) {
        const Int64 Before = Box.Gear->Thumbnails()->Drawn();
        const double Ours = XBench::Timed([&] { Box.ScrollTo(Page * Box.Page()); });
        const Integer Shown = Integer(Box.Gear->Thumbnails()->Drawn() - Before);
        const double Theirs = VipsAndCairo(std::max(Shown, 1));
        State.SetIterationTime(Ours);
        Ratios.Add("page of 12-MP thumbnails / vipsthumbnail + cairo", Ours / Theirs);
        State.counters["shown"] = Shown;
        State.counters["ours ms"] = Ours * 1000;
        State.counters["vips+cairo ms"] = Theirs * 1000;
        // Further down each time: every page brings pictures not seen yet.
        Page = Page % 8 + 1;
        if (Page == 1) {
            Box.Gear->Thumbnails()->Clear();
            Box.ScrollTo(0);
        }
    }
}

void BM_PeakResidentOfFiveThousandThumbnails(benchmark::State& State)
{
    for (auto _ : State) {
        TOwnedPtr<TXImageCollection> Small(NewCollection());
        TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
        Bmp->SetPixelFormat(pf24bit);
        Bmp->SetSize(160, 120);
        for (Integer Y = 0; Y < 120; ++Y)
            for (Integer X = 0; X < 160; ++X)
                Bmp->ScanLine(Y)[3 * X] = Byte(X + Y);
        TOwnedPtr<TJPEGImage> Jpeg(MakeOwned<TJPEGImage>());
        Jpeg->Assign(Bmp.get());
        for (Integer I = 0; I < 5000; ++I)
            Small->Add()->ImageData()->LoadFromObject(Jpeg.get());
        const long Start = Testing::ResidentKiB();
        Testing::ResetPeakResident();
        const double Seconds = XBench::Timed([&] {
            TBox Box(Small.get());
            const Integer Height = Box.Group->Height();
            for (Integer Y = 0; Y < Height; Y += Box.Page())
                Box.ScrollTo(Y);
            State.counters["box height px"] = Height;
        });
        State.SetIterationTime(Seconds);
        State.counters["peak KiB over start"] = double(Testing::PeakResidentKiB() - Start);
        std::printf("5,000 thumbnails: peak resident %ld KiB, %ld KiB above the start (the pictures held before)\n",
            Testing::PeakResidentKiB(), Testing::PeakResidentKiB() - Start);
    }
}

}

BENCHMARK(BM_ScrollThumbnailsByAPage)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(8)->Repetitions(2);
BENCHMARK(BM_PeakResidentOfFiveThousandThumbnails)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    InitializeUnits();
    {
        Testing::TTempFolder Folder("thumbnail-bench");
        TPhotos Photos;
        Photos.Folder = Folder.Path();
        TOwnedPtr<TMemoryStream> Photo = PhotoJpeg();
        Photos.Items.reset(NewCollection());
        const Testing::Bytes Bytes(static_cast<const Byte*>(Photo->Memory()),
            static_cast<const Byte*>(Photo->Memory()) + Photo->Size());
        for (Integer I = 0; I < 64; ++I)
            Testing::WriteFileBytes(Photos.Folder / ("p" + std::to_string(I) + ".jpg"), Bytes);
        for (Integer I = 0; I < ::Photos; ++I) {
            Photo->SetPosition(0);
            Photos.Items->Add()->ImageData()->LoadFromStream(u"TJPEGImage", Photo.get());
        }
        std::printf("%d pictures of %d x %d, %lld bytes each\n", ::Photos, PhotoWidth, PhotoHeight,
            static_cast<long long>(Photo->Size()));
        Shared = &Photos;
        THeadlessPresenter Screen;
        benchmark::RunSpecifiedBenchmarks();
        Shared = nullptr;
    }
    benchmark::Shutdown();
    Ratios.Print();
    FinalizeUnits();
    return 0;
}
