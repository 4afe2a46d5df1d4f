// Reading a 1 GiB image file (written once in 4 MiB writes, so it sits in
// the page cache in large pieces) through the buffered disk stream and
// through the multi-pattern search at 512-byte steps, each iteration
// beside the pread loop a user would write: the same file in windows of
// 256 KiB into one page-aligned buffer. The two alternate which goes first;
// every repetition gives its own ratio (pread time / ours), and the medians
// are printed at the end with the load of the machine.
#include "BenchSupport.h"
#include "rtl/AlignedBytes.h"
#include "rtl/Units.h"
#include "rtl/testing/Testing.h"
#include "sorvane/XCore.Search.h"
#include "sorvane/XCore.Streams.Buffered.h"
#include <benchmark/benchmark.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <cstdlib>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using XBench::Median;
using XBench::Timed;
constexpr Int64 ImageSize = Int64(1) << 30;
const std::string ImagePath = "/tmp/quorvale-diskstream-bench.img";
std::map<std::string, std::vector<double>> Ratios; // pread time / ours, by benchmark

// Filled with bytes that are not zeros, so no reader can skip holes; the
// written pages stay in the page cache.
void MakeImage()
{
    std::vector<Byte> Chunk(1 << 20);
    for (size_t I = 0; I < Chunk.size(); ++I)
        Chunk[I] = Byte(1 + I % 250);
    XBench::TImageWriter Image(ImagePath);
    while (Image.Written() < ImageSize)
        Image.Append(Chunk.data(), Chunk.size());
}

double PreadPass()
{
    return XBench::PreadLoop(ImagePath);
}

void DropFromCache()
{
    Testing::DropFromPageCache(ImagePath);
}

// Each iteration: pread and ours, in turns; the iteration's time is ours.
// Cold: the file is dropped from the page cache before each.
template<class F>
void AgainstPread(benchmark::State& State, const std::string& Name, F&& Ours, bool Cold = false)
{
    XBench::TInterleaved Turns;
    for (auto _ : State) {
        const auto [Pread, Mine] = Turns.Measure(
            [&] {
                if (Cold)
                    DropFromCache();
                return PreadPass();
            },
            [&] {
                if (Cold)
                    DropFromCache();
                return Ours();
            });
        State.SetIterationTime(Mine);
        Ratios[Name].push_back(Pread / Mine);
        State.counters["ratio"] = Pread / Mine;
        State.counters["MB/s"] = double(ImageSize) / Mine / 1e6;
        State.counters["pread MB/s"] = double(ImageSize) / Pread / 1e6;
    }
}

void BM_BufferedRead(benchmark::State& State)
{
    const Int64 Chunk = State.range(0);
    const bool Ahead = State.range(1) != 0;
    const bool Cold = State.range(2) != 0;
    TOwnedPtr<TXBufDiskStream> Disk(New<TXBufDiskStream>(S(ImagePath), 262144, xofRead));
    if (Ahead)
        Disk->StartReadAhead();
    TAlignedBytes Buffer(static_cast<size_t>(Chunk));
    const std::string Name = std::string(Cold ? "cold " : "") + "buffered stream, reads of " +
        std::to_string(Chunk >> 10) + " KiB" + (Ahead ? ", read-ahead" : "");
    AgainstPread(
        State, Name,
        [&] {
            Int64 Total = 0;
            const double S = Timed([&] {
                Disk->Seek(0, soBeginning);
                while (Int64 N = Disk->Read(Buffer.data(), Chunk))
                    Total += N;
            });
            benchmark::DoNotOptimize(Total);
            return S;
        },
        Cold);
    if (Cold)
        PreadPass(); // back into the cache
}

void BM_FindAny512(benchmark::State& State)
{
    const bool Ahead = State.range(0) != 0;
    TOwnedPtr<TXBufDiskStream> Disk(New<TXBufDiskStream>(S(ImagePath), 262144, xofRead));
    if (Ahead)
        Disk->StartReadAhead();
    TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
    Search->Stream = Disk.get();
    const TXByteArrays Patterns { { 0xFF, 0xD8, 0xFF }, { 'I', 'I', '*', 0 }, { 'M', 'M', 0, '*' },
        { 'R', 'I', 'F', 'F' } };
    AgainstPread(State, std::string("FindAny at 512-byte steps") + (Ahead ? ", read-ahead" : ""), [&] {
        Integer Index;
        Int64 At = 0;
        const double S = Timed([&] { At = Search->FindAny(Patterns, Index, 0, ImageSize - 1, 0, 512); });
        benchmark::DoNotOptimize(At);
        return S;
    });
}

// What any reader through a buffer of a window costs at least: the pread
// loop copying each window out in pieces of the chunk.
void BM_PreadCopy(benchmark::State& State)
{
    const size_t Chunk = size_t(State.range(0));
    AgainstPread(State, "pread + one memcpy per read of " + std::to_string(Chunk >> 10) + " KiB", [&] {
        const int Fd = ::open(ImagePath.c_str(), O_RDONLY);
        TAlignedBytes Window(XBench::PreadWindow), Out(Chunk);
        const double S = Timed([&] {
            for (Int64 Off = 0;; Off += Int64(Window.size())) {
                const ssize_t N = ::pread(Fd, Window.data(), Window.size(), Off);
                if (N <= 0)
                    break;
                for (size_t At = 0; At < size_t(N); At += Chunk)
                    std::memcpy(Out.data(), Window.data() + At, std::min(Chunk, size_t(N) - At));
                benchmark::DoNotOptimize(Out.data());
            }
        });
        ::close(Fd);
        return S;
    });
}

BENCHMARK(BM_BufferedRead)
    ->ArgNames({ "chunk", "ahead", "cold" })
    ->Args({ 65536, 0, 0 })
    ->Args({ 65536, 1, 0 })
    ->Args({ 1 << 20, 0, 0 })
    ->Args({ 65536, 0, 1 })
    ->Args({ 65536, 1, 1 })
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(7)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreadCopy)
    ->ArgName("chunk")
    ->Arg(65536)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(7)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindAny512)
    ->ArgName("ahead")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(7)
    ->Unit(benchmark::kMillisecond);

}

int main(int argc, char** argv)
{
    InitializeUnits();
    MakeImage();
    PreadPass(); // into the page cache
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    if (std::getenv("QUORVALE_BENCH_NO_COLD_PROBE") == nullptr) {
        const Testing::TColdReads P = Testing::ProbeColdReads(ImagePath);
        std::printf("\ncold: %.1f %% of the pages left after the drop; cold pread %.0f MB/s, then again %.0f MB/s "
                    "(%.1fx)%s\n",
            P.ResidentAfterDrop * 100, P.FirstMBps, P.SecondMBps, P.SecondOverFirst(),
            P.CachedBelow() ? ": a cache below this system serves the dropped pages, so the cold ratios show it, "
                              "not a device"
                            : "");
        PreadPass(); // back into the cache
    }
    std::printf("\nRatios to pread, one per repetition (time of pread / time of ours); image %lld MiB %s, "
                "pread in %zu KiB windows; load average %s:\n",
        (long long)(ImageSize >> 20), XBench::ImageWrites().c_str(), XBench::PreadWindow >> 10,
        XBench::LoadAverages().c_str());
    for (const auto& [Name, V] : Ratios) {
        std::printf("%-46s median %.3f  [", Name.c_str(), Median(V));
        for (double R : V)
            std::printf(" %.2f", R);
        std::printf(" ]\n");
    }
    benchmark::Shutdown();
    ::unlink(ImagePath.c_str());
    FinalizeUnits();
    return 0;
}
