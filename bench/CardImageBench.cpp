// Copying a 1 GiB FAT32 card (32 KiB clusters, its data area full of bytes
// that are not zeros) into a card image file through the recovery engine's
// copy thread, beside "cp" of the same card. The card is read once first,
// so both copies read from the page cache. Every repetition gives its own
// ratio (time of cp / time of ours); the medians are printed at the end.
// Our time includes the thread's 100 ms pause that lets a device settle
// after it is closed, and the card's trailer.
#include "rtl/Units.h"
#include "rtl/testing/Testing.h"
#include "win/WinApi.h"
#include "sorvane/XDR.Module.KXR.h"
#include "BenchSupport.h"
#include <benchmark/benchmark.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using XBench::Median;
using XBench::Timed;

using Clock = std::chrono::steady_clock;
constexpr Int64 CardSize = Int64(1) << 30;
const std::string Folder = "/tmp/quorvale-cardimage-bench";
const std::string CardPath = Folder + "/card.img";
std::vector<double> Ratios; // cp time / ours

void Fail(const char* What)
{
    std::perror(What);
    std::exit(1);
}

// Noise first, then the file system over it: mkfs.fat writes only its
// reserved sectors, FATs and root, so the data area keeps the noise.
void MakeCard()
{
    ::mkdir(Folder.c_str(), 0755);
    int Fd = ::open(CardPath.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    std::vector<char> Chunk(1 << 20);
    for (size_t I = 0; I < Chunk.size(); ++I)
        Chunk[I] = char(1 + (I * 7) % 251);
    bool Ok = Fd >= 0;
    for (Int64 Off = 0; Ok && Off < CardSize; Off += Int64(Chunk.size()))
        Ok = ::write(Fd, Chunk.data(), Chunk.size()) == ssize_t(Chunk.size());
    if (!Ok)
        Fail("bench card");
    ::close(Fd);
    if (Testing::RunTool({ "mkfs.fat", "-F", "32", "-s", "64", CardPath }).ExitCode != 0)
        Fail("mkfs.fat");
}

void ReadWhole(const std::string& Path)
{
    int Fd = ::open(Path.c_str(), O_RDONLY);
    std::vector<char> Buffer(1 << 20);
    while (Fd >= 0 && ::read(Fd, Buffer.data(), Buffer.size()) > 0) { }
    ::close(Fd);
}

// Waits on the engine's thread for the copy's end, as the program's loop does.
class TEndWatch : public TObject {
public:
    Integer Code = -1;
    void Ended(IXNotification* N)
    {
        Code = static_cast<TXOperationThreadTerminatedAspect*>(N->GetAspect())->ErrorData.Code;
    }
};

void BM_CardImage(benchmark::State& State)
{
    TOwnedPtr<TXKXREngine> Engine(CreateKXREngine(nullptr, nullptr));
    TOwnedPtr<TEndWatch> Watch(New<TEndWatch>());
    Engine->ViewGear->Subscribe(TXOperationThreadTerminatedAspect::StaticClass(),
        TXNotificationHandler::Of<&TEndWatch::Ended>(Watch.get()));
    Engine->ViewGear->Broadcast(NewNotification(New<TXDiskAspect>(S(CardPath), Byte(0), CardSize)).Get());
    Engine->DataGear->ImageFileName = S(Folder + "/ours.img");
    for (auto _ : State) {
        ::unlink((Folder + "/ours.img").c_str());
        ::unlink((Folder + "/cp.img").c_str());
        Watch->Code = -1;
        const double Ours = Timed([&] {
            Engine->ViewGear->Broadcast(NewNotification(New<TXDRActionImageFile>()).Get());
            MSG Msg;
            while (Watch->Code < 0 && GetMessage(&Msg, nullptr, 0, 0))
                DispatchMessage(&Msg);
        });
        if (Watch->Code != 0) {
            State.SkipWithError("the copy failed");
            break;
        }
        const double Cp = Timed([&] { Testing::RunTool({ "cp", CardPath, Folder + "/cp.img" }); });
        State.SetIterationTime(Ours);
        Ratios.push_back(Cp / Ours);
    }
    Engine->ViewGear->UnsubscribeMethod(TXNotificationHandler::Of<&TEndWatch::Ended>(Watch.get()));
    State.SetBytesProcessed(State.iterations() * CardSize);
}

BENCHMARK(BM_CardImage)->UseManualTime()->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond);

}

int main(int argc, char** argv)
{
    InitializeUnits();
    MakeCard();
    ReadWhole(CardPath);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::printf("\nCard image copy, ratio to cp (time of cp / time of ours): median %.3f  [", Median(Ratios));
    for (double R : Ratios)
        std::printf(" %.2f", R);
    std::printf(" ]\n");
    benchmark::Shutdown();
    for (const char* Name : { "/card.img", "/ours.img", "/cp.img" })
        ::unlink((Folder + Name).c_str());
    ::rmdir(Folder.c_str());
    FinalizeUnits();
    return 0;
}
