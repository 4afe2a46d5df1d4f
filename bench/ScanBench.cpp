// The signature scan over three 1 GiB images made at bench time under /tmp,
// each written from start to end in 4 MiB writes (the page cache keeps a
// file in pieces as large as its writes, and the kernel copies out of large
// pieces faster): random bytes without hits, a sparse image (filler with
// 200 small JPEGs) and a dense one (camera-size JPEGs made by ImageMagick,
// 4000 x 3000 at quality 92, most with an EXIF thumbnail written by
// exiftool). Each scan is measured beside the pread loop a user would write
// over the same file in the same iteration, the two in turns (warm, after
// checking that the file is in the page cache; and cold, the file dropped
// from the cache before each pass), and beside foremost and PhotoRec when
// they are installed. Prints a table of MB/s, found files and ratios
// (medians of the repetitions) with the load of the machine at the end;
// the images are removed then.
//
//     build/bench/ScanBench                       # all of it
//     build/bench/ScanBench --benchmark_filter=Sparse
//     QUORVALE_BENCH_MB=256 build/bench/ScanBench # smaller images
//     QUORVALE_BENCH_PICTURES=0 ...               # thumbnails in turn
//     QUORVALE_BENCH_KEEP=1 ...                   # keep the images for the next run
#include "BenchSupport.h"
#include "gdi/Bitmap.h"
#include "gdi/JpegImage.h"
#include "rtl/AlignedBytes.h"
#include "rtl/Units.h"
#include "rtl/testing/Testing.h"
#include "sorvane/XCore.Engine.WorkerProgress.h"
#include "sorvane/XCore.Streams.Buffered.h"
#include "sorvane/XDR.Work.S.h"
#include <benchmark/benchmark.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

Int64 ImageBytes()
{
    const char* Mb = std::getenv("QUORVALE_BENCH_MB");
    const Int64 N = Mb ? std::atoll(Mb) : 1024;
    return std::max<Int64>(N, 16) << 20;
}

const fs::path Folder = "/tmp/quorvale-scan-bench";

// Images kept from an earlier run with QUORVALE_BENCH_KEEP are used again.
bool KeepImages()
{
    const char* Keep = std::getenv("QUORVALE_BENCH_KEEP");
    return Keep && *Keep && *Keep != '0';
}

double Seconds(Clock::duration D)
{
    return std::chrono::duration<double>(D).count();
}

double MBps(Int64 Bytes, double S)
{
    return S > 0 ? double(Bytes) / S / 1e6 : 0;
}

// ---- the images ----

// Random bytes: a sector start holds a signature only by chance.
void MakeNoHits(const fs::path& Path)
{
    XBench::TImageWriter Image(Path);
    std::mt19937_64 Random(1);
    std::vector<UInt64> Chunk((4 << 20) / 8);
    while (Image.Written() < ImageBytes()) {
        for (UInt64& W : Chunk)
            W = Random();
        Image.Append(reinterpret_cast<const Byte*>(Chunk.data()), Chunk.size() * 8);
    }
}

std::vector<Byte> OwnJpeg()
{
    TOwnedPtr<TBitmap> Pixels(New<TBitmap>());
    Pixels->SetSize(800, 600);
    std::mt19937 Random(5);
    for (Integer Y = 0; Y < Pixels->Height(); ++Y) {
        Byte* Row = Pixels->ScanLine(Y);
        for (Integer X = 0; X < Pixels->BytesPerScanline(); ++X)
            Row[X] = Byte((X * 3 + Y) / 7 + Random() % 24);
    }
    TOwnedPtr<TJPEGImage> Jpeg(New<TJPEGImage>());
    Jpeg->Assign(Pixels.get());
    TOwnedPtr<TBytesStream> Out(New<TBytesStream>());
    Jpeg->SaveToStream(Out.get());
    return std::vector<Byte>(Out->Bytes().begin(), Out->Bytes().begin() + Out->Size());
}

// Filler bytes 1..250 (no signature starts a sector), repeating every MiB,
// with 200 JPEGs at evenly spread sector starts.
void MakeSparse(const fs::path& Path)
{
    const std::vector<Byte> Jpeg = OwnJpeg();
    std::vector<Byte> Filler(1 << 20);
    for (size_t I = 0; I < Filler.size(); ++I)
        Filler[I] = Byte(1 + I % 250);
    XBench::TImageWriter Image(Path);
    auto FillTo = [&](Int64 End) {
        while (Image.Written() < End) {
            const size_t From = size_t(Image.Written() % Int64(Filler.size()));
            Image.Append(Filler.data() + From,
                size_t(std::min<Int64>(Int64(Filler.size() - From), End - Image.Written())));
        }
    };
    const Int64 Spacing = ImageBytes() / 200 / 512 * 512;
    for (Integer I = 0; I < 200; ++I) {
        FillTo(I * Spacing + 4096);
        Image.Append(Jpeg.data(), Jpeg.size());
    }
    FillTo(ImageBytes());
}

// Camera-size photos from ImageMagick, seven of eight with an EXIF
// thumbnail by exiftool, one after another at sector starts with a few
// sectors of random bytes between them.
bool MakeDense(const fs::path& Path)
{
    if (!Testing::HaveTool("convert"))
        return false;
    const bool Exif = Testing::HaveTool("exiftool");
    constexpr Integer Kinds = 8;
    std::vector<std::thread> Makers;
    for (Integer K = 0; K < Kinds; ++K)
        Makers.emplace_back([K, Exif] {
            const std::string Name = "photo" + std::to_string(K) + ".jpg";
            Testing::RunTool({ "convert", "-seed", std::to_string(K + 1), "-size", "4000x3000", "plasma:fractal",
                                 "-quality", "92", Name },
                Folder);
            if (Exif && K != 0) {
                Testing::RunTool({ "convert", Name, "-thumbnail", "160x120", "thumb" + Name }, Folder);
                Testing::RunTool({ "exiftool", "-q", "-overwrite_original", "-ThumbnailImage<=thumb" + Name, Name },
                    Folder);
            }
        });
    for (std::thread& T : Makers)
        T.join();
    std::vector<std::vector<Byte>> Photos;
    for (Integer K = 0; K < Kinds; ++K) {
        Photos.push_back(Testing::ReadFileBytes(Folder / ("photo" + std::to_string(K) + ".jpg")));
        if (Photos.back().empty())
            return false;
    }
    XBench::TImageWriter Image(Path);
    std::mt19937 Random(3);
    std::vector<Byte> Gap(4 * 512);
    const std::vector<Byte> Pad(511, 0);
    for (Integer I = 0;; ++I) {
        const auto& P = Photos[size_t(I % Kinds)];
        const Int64 Sectors = 1 + Random() % 4;
        if (Image.Written() + Sectors * 512 + Int64(P.size()) > ImageBytes())
            break;
        for (Byte& B : Gap)
            B = Byte(Random());
        Image.Append(Gap.data(), size_t(Sectors * 512));
        Image.Append(P.data(), P.size());
        Image.Append(Pad.data(), size_t((512 - Image.Written() % 512) % 512));
    }
    while (Image.Written() < ImageBytes()) {
        const Byte B = Byte(Random());
        Image.Append(&B, 1);
    }
    return true;
}

struct TImage {
    const char* Name;
    fs::path Path;
    bool Made = false;
    bool Failed = false;
};

TImage Images[] = { { "NoHits", Folder / "nohits.img" }, { "Sparse", Folder / "sparse.img" },
    { "Dense", Folder / "dense.img" } };

TImage* MadeImage(Integer Index)
{
    TImage& I = Images[Index];
    std::error_code E;
    if (!I.Made && !I.Failed && KeepImages() && fs::file_size(I.Path, E) == std::uintmax_t(ImageBytes()))
        I.Made = true;
    if (!I.Made && !I.Failed) {
        fs::create_directories(Folder);
        std::fprintf(stderr, "making the %s image (%lld MiB)...\n", I.Name, (long long)(ImageBytes() >> 20));
        if (Index == 0)
            MakeNoHits(I.Path);
        else if (Index == 1)
            MakeSparse(I.Path);
        else
            I.Failed = !MakeDense(I.Path);
        I.Made = !I.Failed;
    }
    return I.Made ? &I : nullptr;
}

// ---- what is measured ----

// Seconds of the pread loop over the file (the kernel copies into a buffer
// on a page faster, and the scan's buffers are on a page too).
double PreadPass(const fs::path& Path)
{
    return XBench::PreadLoop(Path.string());
}

struct TCounter : TObject {
    Integer Found = 0;
    void Seen(IXNotification*) { ++Found; }
};

// Seconds to scan the whole file as the deep scan does; Found is the
// number of files announced.
double ScanPass(const fs::path& Path, Integer& Found)
{
    TOwnedPtr<TXBufDiskStream> Disk(New<TXBufDiskStream>(S(Path.string()), 262144, xofRead));
    TOwnedPtr<TXBlocks> Blocks(New<TXBlocks>());
    Blocks->Add(0, Disk->Size());
    TOwnedPtr<TXDRFileCollection> Files(New<TXDRFileCollection>(static_cast<TPersistent*>(nullptr)));
    TOwnedPtr<TXWorker> Worker(New<TXWorker>(IPtr<IInterface>()));
    TCounter Counter;
    Worker->Subscribe(TXDRFoundFileAspect::StaticClass(), TXNotificationHandler::Of<&TCounter::Seen>(&Counter));
    TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
    Search->Worker = IPtr<IXWorker>(Worker.get());
    TXScanThreads Threads;
    if (const char* P = std::getenv("QUORVALE_BENCH_PICTURES"))
        Threads.Pictures = std::atoi(P);
    const auto Start = Clock::now();
    ScanBlocks(Search.get(), Disk.get(), Blocks.get(), Files.get(), Threads);
    const double S = Seconds(Clock::now() - Start);
    Search->Worker = nullptr;
    Worker->UnsubscribeMethod(TXNotificationHandler::Of<&TCounter::Seen>(&Counter));
    Found = Counter.Found;
    return S;
}

// A peer tool's seconds over the file and the JPEGs it carved; -1 when it
// is not installed or failed.
double PeerPass(const std::string& Tool, bool Quick, const fs::path& Path, Integer& Found)
{
    Found = 0;
    if (!Testing::HaveTool(Tool))
        return -1;
    const fs::path Out = Folder / ("out-" + Tool);
    std::error_code E;
    fs::remove_all(Out, E);
    fs::create_directories(Out);
    std::vector<std::string> Argv;
    if (Tool == "foremost") {
        Argv = { "foremost", "-t", "jpg", "-i", Path.string(), "-o", (Out / "files").string() };
        if (Quick)
            Argv.insert(Argv.begin() + 1, "-q");
    } else {
        Argv = { "photorec", "/log", "/d", (Out / "files").string(), "/cmd", Path.string(),
            "partition_none,fileopt,everything,disable,jpg,enable,wholespace,search" };
    }
    const auto Start = Clock::now();
    const Testing::TToolResult R = Testing::RunTool(Argv, Out);
    const double S = Seconds(Clock::now() - Start);
    for (const auto& Entry : fs::recursive_directory_iterator(Out, E))
        if (Entry.is_regular_file() && Entry.path().extension() == ".jpg")
            ++Found;
    fs::remove_all(Out, E);
    return R.ExitCode == 0 ? S : -1;
}

// ---- figures for the table ----

struct TFigures {
    std::vector<double> Values;
    double Median() const { return XBench::Median(Values); }
};
std::map<std::string, TFigures> Figures; // "Dense scan MB/s" ...
std::map<std::string, Integer> FoundCounts; // "Dense scan" ...
std::map<std::string, Testing::TColdReads> ColdProbes; // by image

void Note(const std::string& Key, double Value)
{
    Figures[Key].Values.push_back(Value);
}

void BM_Warm(benchmark::State& State)
{
    TImage* I = MadeImage(Integer(State.range(0)));
    if (!I) {
        State.SkipWithError("the image could not be made (ImageMagick missing?)");
        return;
    }
    const Int64 Bytes = Int64(fs::file_size(I->Path));
    const std::string Name = I->Name;
    PreadPass(I->Path); // into the page cache
    XBench::TInterleaved Turns;
    for (auto _ : State) {
        const double Share = Testing::PageCacheShare(I->Path);
        if (Share < 0.99) {
            State.SkipWithError(
                ("only " + std::to_string(int(Share * 100)) + "% of the image is in the page cache").c_str());
            break;
        }
        Integer Found = 0;
        const auto [Pread, Scan] =
            Turns.Measure([&] { return PreadPass(I->Path); }, [&] { return ScanPass(I->Path, Found); });
        State.SetIterationTime(Scan);
        Note(Name + " scan MB/s", MBps(Bytes, Scan));
        Note(Name + " pread MB/s", MBps(Bytes, Pread));
        Note(Name + " scan/pread", Pread / Scan);
        FoundCounts[Name + " scan"] = Found;
        State.counters["MB/s"] = MBps(Bytes, Scan);
        State.counters["pread MB/s"] = MBps(Bytes, Pread);
        State.counters["ratio"] = Pread / Scan;
        State.counters["found"] = Found;
    }
}

void BM_Cold(benchmark::State& State)
{
    TImage* I = MadeImage(Integer(State.range(0)));
    if (!I) {
        State.SkipWithError("the image could not be made");
        return;
    }
    const Int64 Bytes = Int64(fs::file_size(I->Path));
    const std::string Name = I->Name;
    if (!ColdProbes.count(Name))
        ColdProbes[Name] = Testing::ProbeColdReads(I->Path);
    if (!ColdProbes[Name].Dropped) {
        State.SkipWithError("posix_fadvise did not drop the image from the page cache");
        return;
    }
    // Which goes first alternates: the first read after a drop can meet a
    // colder machine than the second.
    XBench::TInterleaved Turns;
    for (auto _ : State) {
        Integer Found = 0;
        const auto [Pread, Scan] = Turns.Measure(
            [&] {
                Testing::DropFromPageCache(I->Path);
                return PreadPass(I->Path);
            },
            [&] {
                Testing::DropFromPageCache(I->Path);
                return ScanPass(I->Path, Found);
            });
        State.SetIterationTime(Scan);
        Note(Name + " cold scan MB/s", MBps(Bytes, Scan));
        Note(Name + " cold pread MB/s", MBps(Bytes, Pread));
        Note(Name + " cold scan/pread", Pread / Scan);
        State.counters["MB/s"] = MBps(Bytes, Scan);
        State.counters["pread MB/s"] = MBps(Bytes, Pread);
        State.counters["ratio"] = Pread / Scan;
    }
    PreadPass(I->Path); // back into the cache for the warm runs
}

void BM_Peer(benchmark::State& State, const std::string& Tool, bool Quick)
{
    TImage* I = MadeImage(Integer(State.range(0)));
    const std::string Label = Tool + (Tool == "foremost" ? (Quick ? " -q" : "") : "");
    if (!I || !Testing::HaveTool(Tool)) {
        State.SkipWithError((Tool + " is not installed, or the image could not be made").c_str());
        return;
    }
    const Int64 Bytes = Int64(fs::file_size(I->Path));
    const std::string Name = I->Name;
    for (auto _ : State) {
        PreadPass(I->Path); // warm, as for our scan
        Integer Found = 0;
        const double S = PeerPass(Tool, Quick, I->Path, Found);
        if (S < 0) {
            State.SkipWithError((Tool + " failed").c_str());
            break;
        }
        State.SetIterationTime(S);
        Note(Name + " " + Label + " MB/s", MBps(Bytes, S));
        FoundCounts[Name + " " + Label] = Found;
        State.counters["MB/s"] = MBps(Bytes, S);
        State.counters["found"] = Found;
    }
}

void BM_ForemostQuick(benchmark::State& State)
{
    BM_Peer(State, "foremost", true);
}
void BM_Foremost(benchmark::State& State)
{
    BM_Peer(State, "foremost", false);
}
void BM_Photorec(benchmark::State& State)
{
    BM_Peer(State, "photorec", false);
}

void Images3(benchmark::internal::Benchmark* B)
{
    B->ArgNames({ "image" })->Arg(0)->Arg(1)->Arg(2);
}

BENCHMARK(BM_Warm)->Apply(Images3)->UseManualTime()->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cold)->Apply(Images3)->UseManualTime()->Iterations(1)->Repetitions(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ForemostQuick)
    ->Apply(Images3)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Foremost)
    ->Arg(2)
    ->ArgName("image")
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Photorec)->Apply(Images3)->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);

double Median(const std::string& Key)
{
    auto It = Figures.find(Key);
    return It == Figures.end() ? 0 : It->second.Median();
}

std::string LoadAtStart;

void PrintTable()
{
    std::printf("\nMedians of the repetitions (%u cores; images of %lld MiB %s; pread in %zu KiB windows; load "
                "averages at the start %s, now %s)\n",
        std::thread::hardware_concurrency(), (long long)(ImageBytes() >> 20), XBench::ImageWrites().c_str(),
        XBench::PreadWindow >> 10, LoadAtStart.c_str(), XBench::LoadAverages().c_str());
    std::printf("%-8s %10s %10s %8s %10s %8s %10s %10s %8s %10s %8s %s\n", "image", "scan MB/s", "pread", "/pread",
        "cold scan", "/cold", "fm -q", "fm", "scan/fm", "photorec", "scan/pr", "found: scan fm-q fm pr");
    for (const TImage& I : Images) {
        const std::string N = I.Name;
        if (Figures.find(N + " scan MB/s") == Figures.end() && Figures.find(N + " cold scan MB/s") == Figures.end())
            continue;
        const double Scan = Median(N + " scan MB/s");
        const double Fq = Median(N + " foremost -q MB/s");
        const double F = Median(N + " foremost MB/s");
        const double Pr = Median(N + " photorec MB/s");
        auto Count = [&](const std::string& K) {
            return FoundCounts.count(N + " " + K) ? FoundCounts[N + " " + K] : -1;
        };
        std::printf("%-8s %10.0f %10.0f %8.3f %10.0f %8.3f %10.0f %10.0f %8.2f %10.0f %8.2f %d %d %d %d\n", N.c_str(),
            Scan, Median(N + " pread MB/s"), Median(N + " scan/pread"), Median(N + " cold scan MB/s"),
            Median(N + " cold scan/pread"), Fq, F, F > 0 ? Scan / F : (Fq > 0 ? Scan / Fq : 0.0), Pr,
            Pr > 0 ? Scan / Pr : 0.0, Count("scan"), Count("foremost -q"), Count("foremost"), Count("photorec"));
    }
    std::printf("(scan/fm is against foremost without -q where it ran, else against -q; found: -1 not run)\n");
    for (const auto& [Name, P] : ColdProbes) {
        std::printf("cold %s: %.1f %% of the pages left after the drop; cold pread %.0f MB/s, then again %.0f MB/s "
                    "(%.1fx)\n",
            Name.c_str(), P.ResidentAfterDrop * 100, P.FirstMBps, P.SecondMBps, P.SecondOverFirst());
        if (P.CachedBelow())
            std::printf("  a cache below this system (a virtual machine's host) serves the dropped pages: cold "
                        "figures here show that cache, not a device, and vary with it\n");
    }
}

} // namespace

int main(int argc, char** argv)
{
    InitializeUnits();
    LoadAtStart = XBench::LoadAverages();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintTable();
    if (!KeepImages()) {
        std::error_code E;
        fs::remove_all(Folder, E);
    }
    FinalizeUnits();
    return 0;
}
