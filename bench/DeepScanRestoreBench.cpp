// The deep scan and the restore on their worker thread, as the program runs
// them (commands to the worker gear, the end awaited in the main loop),
// over a 1 GiB FAT32 card image in the page cache holding 300 JPEGs of
// which 60 are deleted. Beside it in the same run: a pread loop over the
// image (the read limit), sleuthkit's "tsk_recover -e" (every file,
// deleted ones included, written out) and "fls -r" (the listing alone).
// Prints MB/s of the card and the ratios.
#include "rtl/Units.h"
#include "rtl/testing/FatImage.h"
#include "gdi/Bitmap.h"
#include "gdi/JpegImage.h"
#include "win/WinApi.h"
#include "sorvane/XDR.Gears.Work.R.h"
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace {

constexpr int Pictures = 300;
constexpr int Deleted = 60;
constexpr Int64 CardKiB = 1024 * 1024;

Testing::TTempFolder* Work = nullptr;
std::filesystem::path ImagePath;
double CardBytes = 0;
double BestOurs = 0, BestPread = 0, BestRecover = 0, BestFls = 0;
Integer OurFiles = 0, RecoveredFiles = 0;

Testing::Bytes MakeJpeg(unsigned Seed)
{
    TOwnedPtr<TBitmap> Pixels(New<TBitmap>());
    Pixels->SetSize(640, 480);
    std::mt19937 Random(Seed);
    for (Integer Y = 0; Y < Pixels->Height(); ++Y) {
        Byte* Row = Pixels->ScanLine(Y);
        for (Integer X = 0; X < Pixels->BytesPerScanline(); ++X)
            Row[X] = Byte((X * 3 + Y * Integer(Seed % 5 + 1)) / 7 + Random() % 24);
    }
    TOwnedPtr<TJPEGImage> Jpeg(New<TJPEGImage>());
    Jpeg->Assign(Pixels.get());
    TOwnedPtr<TBytesStream> Out(New<TBytesStream>());
    Jpeg->SaveToStream(Out.get());
    return Testing::Bytes(Out->Bytes().begin(), Out->Bytes().begin() + Out->Size());
}

void MakeImage()
{
    Work = new Testing::TTempFolder("deep-scan-bench");
    ImagePath = *Work / "card.img";
    // 4 KiB clusters, as on a camera card.
    Testing::TFatImage Image(ImagePath, 32, int(CardKiB), 8);
    const auto Folder = *Work / "DCIM";
    std::filesystem::create_directories(Folder);
    for (int I = 0; I < Pictures; ++I) {
        char Name[16];
        std::snprintf(Name, sizeof Name, "IMG_%04d.JPG", I);
        Testing::WriteFileBytes(Folder / Name, MakeJpeg(unsigned(I + 1)));
    }
    Image.CopyTree({ Folder });
    std::filesystem::remove_all(Folder);
    for (int I = 0; I < Pictures; I += Pictures / Deleted) {
        char Name[24];
        std::snprintf(Name, sizeof Name, "DCIM/IMG_%04d.JPG", I);
        Image.Delete(Name);
    }
    CardBytes = double(std::filesystem::file_size(ImagePath));
}

double Since(std::chrono::steady_clock::time_point Start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

void KeepBest(double& Best, double S)
{
    Best = Best == 0 ? S : std::min(Best, S);
}

// The engine, the worker gear and the end notices, pumped here.
struct TRig : TObject {
    TOwnedPtr<XCore::Engine::TXEngine> Engine { New<XCore::Engine::TXEngine>() };
    TOwnedPtr<TXDRFileCollection> Files { New<TXDRFileCollection>(static_cast<TPersistent*>(nullptr)) };
    TOwnedPtr<TXDRWorkerGear> Gear;
    int Ends = 0;
    Integer LastCode = 0;

    TRig()
    {
        Gear.reset(New<TXDRWorkerGear>(IPtr<IInterface>(static_cast<IXEngine*>(Engine.get())), u"Worker"));
        Gear->Data()->FoundFiles = Files.get();
        Gear->Data()->Extensions()->Add(u".jpg");
        Gear->Subscribe(TXOperationThreadTerminatedAspect::StaticClass(),
            TXNotificationHandler::Of<&TRig::Ended>(this));
    }
    ~TRig() override
    {
        Gear.reset();
        MSG Msg;
        while (PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessage(&Msg);
    }
    void Ended(IXNotification* N)
    {
        ++Ends, LastCode = static_cast<TXOperationThreadTerminatedAspect*>(N->GetAspect())->ErrorData.Code;
    }
    void Run(TXDRWorkCommand* Command)
    {
        const int Before = Ends;
        IPtr<IXCommand> Held(Command);
        Gear->PostGearMessage(Held.Get());
        MSG Msg;
        while (Ends == Before && GetMessage(&Msg, nullptr, 0, 0) > 0)
            DispatchMessage(&Msg);
    }
};

void OurDeepScanRestore(benchmark::State& State)
{
    for (auto _ : State) {
        const auto Target = *Work / "restored";
        std::filesystem::remove_all(Target);
        const auto Start = std::chrono::steady_clock::now();
        {
            TRig Rig;
            Rig.Run(New<TXDRDiskImageDeepScanWorkCommand>(Rig.Gear.get(), UTF8ToString(ImagePath.string())));
            Rig.Run(New<TXDRDiskImageRestoreFilesWorkCommand>(Rig.Gear.get(), UTF8ToString(Target.string())));
            OurFiles = Rig.Files->Count();
            if (Rig.LastCode != 0)
                State.SkipWithError("the restore failed");
        }
        KeepBest(BestOurs, Since(Start));
    }
    State.counters["files"] = OurFiles;
    State.counters["MB/s"] = benchmark::Counter(CardBytes / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void PreadLoop(benchmark::State& State)
{
    std::vector<char> Buffer(262144);
    for (auto _ : State) {
        const auto Start = std::chrono::steady_clock::now();
        const int Fd = ::open(ImagePath.c_str(), O_RDONLY | O_CLOEXEC);
        Int64 Total = 0;
        for (ssize_t N; (N = ::pread(Fd, Buffer.data(), Buffer.size(), Total)) > 0;)
            Total += N;
        ::close(Fd);
        benchmark::DoNotOptimize(Total);
        KeepBest(BestPread, Since(Start));
    }
    State.counters["MB/s"] = benchmark::Counter(CardBytes / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void SleuthkitRecover(benchmark::State& State)
{
    if (!Testing::HaveTool("tsk_recover")) {
        State.SkipWithError("tsk_recover (sleuthkit) is not installed");
        return;
    }
    for (auto _ : State) {
        const auto Target = *Work / "tsk";
        std::filesystem::remove_all(Target);
        std::filesystem::create_directories(Target);
        const auto Start = std::chrono::steady_clock::now();
        Testing::RunTool({ "tsk_recover", "-e", ImagePath.string(), Target.string() });
        KeepBest(BestRecover, Since(Start));
        RecoveredFiles = 0;
        for (const auto& E : std::filesystem::recursive_directory_iterator(Target))
            RecoveredFiles += E.is_regular_file() ? 1 : 0;
    }
    State.counters["files"] = RecoveredFiles;
    State.counters["MB/s"] = benchmark::Counter(CardBytes / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void SleuthkitFls(benchmark::State& State)
{
    if (!Testing::HaveTool("fls")) {
        State.SkipWithError("fls (sleuthkit) is not installed");
        return;
    }
    for (auto _ : State) {
        const auto Start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(Testing::RunTool({ "fls", "-r", ImagePath.string() }).Output.size());
        KeepBest(BestFls, Since(Start));
    }
    State.counters["MB/s"] = benchmark::Counter(CardBytes / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(PreadLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(OurDeepScanRestore)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(SleuthkitRecover)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(SleuthkitFls)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}

int main(int argc, char** argv)
{
    InitializeUnits();
    MakeImage();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    auto Rate = [](double S) { return S > 0 ? CardBytes / S / 1e6 : 0; };
    std::printf("card: %.0f MB, %d JPEGs, %d deleted\n", CardBytes / 1e6, Pictures, Deleted);
    std::printf("%-28s %9.1f MB/s\n", "pread loop", Rate(BestPread));
    std::printf("%-28s %9.1f MB/s  %d files  ratio to pread %.3f\n", "deep scan + restore", Rate(BestOurs),
        int(OurFiles), BestOurs > 0 ? BestPread / BestOurs : 0);
    if (BestRecover > 0)
        std::printf("%-28s %9.1f MB/s  %d files  ours / tsk_recover %.2f\n", "tsk_recover -e", Rate(BestRecover),
            int(RecoveredFiles), BestRecover / BestOurs);
    if (BestFls > 0)
        std::printf("%-28s %9.1f MB/s  ours / fls %.2f\n", "fls -r", Rate(BestFls), BestFls / BestOurs);
    benchmark::Shutdown();
    delete Work;
    FinalizeUnits();
    return 0;
}
