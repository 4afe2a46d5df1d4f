// The FAT listing of a FAT32 card image with 10,000 files in 100 folders,
// read from the page cache, next to sleuthkit's "fls -r -p" listing the
// same image in the same run. Prints files per second and the ratio.
#include "rtl/Units.h"
#include "rtl/testing/FatImage.h"
#include "sorvane/XCore.Engine.WorkerProgress.h"
#include "sorvane/XDR.Classes.h"
#include "sorvane/XDR.Gears.Work.F.h"
#include <benchmark/benchmark.h>
#include <algorithm>
#include <cstdio>
#include <random>

namespace {

constexpr int Folders = 100;
constexpr int FilesPerFolder = 100;
constexpr int FileCount = Folders * FilesPerFolder;

Testing::TTempFolder* Work = nullptr;
std::filesystem::path ImagePath;
double BestOurs = 0, BestFls = 0; // seconds of the fastest run

void MakeImage()
{
    Work = new Testing::TTempFolder("fat-listing-bench");
    ImagePath = *Work / "card.img";
    // 4 KiB clusters, as on a camera card; FAT32 needs 65,525 of them.
    Testing::TFatImage Image(ImagePath, 32, 300 * 1024, 8);
    std::mt19937 Random(14);
    std::vector<std::filesystem::path> Top;
    for (int F = 0; F < Folders; ++F) {
        char Name[16];
        std::snprintf(Name, sizeof Name, "D%03d", F);
        const auto Folder = *Work / "tree" / Name;
        std::filesystem::create_directories(Folder);
        Top.push_back(Folder);
        for (int I = 0; I < FilesPerFolder; ++I) {
            std::snprintf(Name, sizeof Name, "F%04d.BIN", I);
            Testing::Bytes Data(1000 + Random() % 5000);
            for (Byte& B : Data)
                B = Byte(Random() | 1);
            Testing::WriteFileBytes(Folder / Name, Data);
        }
    }
    Image.CopyTree(Top);
    std::filesystem::remove_all(*Work / "tree");
}

struct TCounter : TObject {
    Integer Found = 0;
    void Seen(IXNotification*) { ++Found; }
};

void OurListing(benchmark::State& State)
{
    Integer Found = 0;
    for (auto _ : State) {
        const auto Start = std::chrono::steady_clock::now();
        TOwnedPtr<TXFileDiskIO> IO(New<TXFileDiskIO>(nullptr));
        IO->Open(UTF8ToString(ImagePath.string()), xofRead);
        TOwnedPtr<TXDRFATDisk> Disk(New<TXDRFATDisk>());
        TOwnedPtr<TXWorker> Worker(New<TXWorker>(IPtr<IInterface>()));
        TOwnedPtr<TXBlocks> Used(New<TXBlocks>());
        TCounter Counter;
        Worker->Subscribe(TXDRFoundFileAspect::StaticClass(), TXNotificationHandler::Of<&TCounter::Seen>(&Counter));
        if (Disk->Open(IO.get()))
            ListFATFiles(Disk.get(), Used.get(), Worker.get());
        Worker->UnsubscribeMethod(TXNotificationHandler::Of<&TCounter::Seen>(&Counter));
        Found = Counter.Found;
        const double S = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
        BestOurs = BestOurs == 0 ? S : std::min(BestOurs, S);
    }
    State.counters["files"] = Found;
    State.counters["files/s"] = benchmark::Counter(double(Found), benchmark::Counter::kIsIterationInvariantRate);
}

void SleuthkitFls(benchmark::State& State)
{
    if (!Testing::HaveTool("fls")) {
        State.SkipWithError("fls (sleuthkit) is not installed");
        return;
    }
    Integer Files = 0;
    for (auto _ : State) {
        const auto Start = std::chrono::steady_clock::now();
        const Testing::TToolResult R = Testing::RunTool({ "fls", "-r", "-p", ImagePath.string() });
        const double S = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
        BestFls = BestFls == 0 ? S : std::min(BestFls, S);
        Files = Integer(std::count(R.Output.begin(), R.Output.end(), '\n'));
    }
    State.counters["lines"] = Files;
    State.counters["files/s"] = benchmark::Counter(double(FileCount), benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(OurListing)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(SleuthkitFls)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

}

int main(int argc, char** argv)
{
    InitializeUnits();
    MakeImage();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    if (BestOurs > 0)
        std::printf("ListFATFiles: %.0f files/s\n", FileCount / BestOurs);
    if (BestFls > 0)
        std::printf("fls -r -p:    %.0f files/s\nratio ListFATFiles / fls: %.2f\n", FileCount / BestFls,
            BestFls / BestOurs);
    benchmark::Shutdown();
    delete Work;
    FinalizeUnits();
    return 0;
}
