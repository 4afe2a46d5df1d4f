// Reading a 1 GiB image file (filled once, so it sits in the page cache) through
// the buffered disk stream and through the multi-pattern search at 512-byte
// steps, next to a plain pread loop over the same file. Prints MB/s of each
// and their ratio to pread.
#include "rtl/Units.h"
#include "sorvane/XCore.Search.h"
#include "sorvane/XCore.Streams.Buffered.h"
#include <benchmark/benchmark.h>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr Int64 ImageSize = Int64(1) << 30;
const std::string ImagePath = "/tmp/quorvale-diskstream-bench.img";
std::map<std::string, double> Rates;       // MB/s by benchmark

// Filled with bytes that are not zeros, so no reader can skip holes; the
// written pages stay in the page cache.
void MakeImage()
{
    int Fd = ::open(ImagePath.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    std::vector<char> Chunk(1 << 20);
    for (size_t I = 0; I < Chunk.size(); ++I)
        Chunk[I] = char(1 + I % 250);
    bool Ok = Fd >= 0;
    for (Int64 Off = 0; Ok && Off < ImageSize; Off += Int64(Chunk.size()))
        Ok = ::write(Fd, Chunk.data(), Chunk.size()) == ssize_t(Chunk.size());
    if (!Ok) {
        std::perror("bench image");
        std::exit(1);
    }
    ::close(Fd);
}

void BM_Pread(benchmark::State& State)
{
    int Fd = ::open(ImagePath.c_str(), O_RDONLY);
    std::vector<char> Buffer(262144);
    Int64 Total = 0;
    for (auto _ : State) {
        for (Int64 Off = 0; Off < ImageSize; Off += Int64(Buffer.size()))
            Total += ::pread(Fd, Buffer.data(), Buffer.size(), Off);
        benchmark::DoNotOptimize(Buffer.data());
    }
    ::close(Fd);
    State.SetBytesProcessed(Total);
}

void BM_BufDiskStream(benchmark::State& State)
{
    TOwnedPtr<TXBufDiskStream> Disk(New<TXBufDiskStream>(S(ImagePath), 262144, xofRead));
    std::vector<Byte> Buffer(65536);
    Int64 Total = 0;
    for (auto _ : State) {
        Disk->Seek(0, soBeginning);
        while (Int64 N = Disk->Read(Buffer.data(), Int64(Buffer.size())))
            Total += N;
        benchmark::DoNotOptimize(Buffer.data());
    }
    State.SetBytesProcessed(Total);
}

void BM_FindAny512(benchmark::State& State)
{
    TOwnedPtr<TXBufDiskStream> Disk(New<TXBufDiskStream>(S(ImagePath), 262144, xofRead));
    TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
    Search->Stream = Disk.get();
    const TXByteArrays Patterns { { 0xFF, 0xD8, 0xFF }, { 'I', 'I', '*', 0 }, { 'M', 'M', 0, '*' }, { 'R', 'I', 'F', 'F' } };
    Int64 Total = 0;
    for (auto _ : State) {
        Integer Index;
        benchmark::DoNotOptimize(Search->FindAny(Patterns, Index, 0, ImageSize - 1, 0, 512));
        Total += ImageSize;
    }
    State.SetBytesProcessed(Total);
}

BENCHMARK(BM_Pread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BufDiskStream)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FindAny512)->Unit(benchmark::kMillisecond)->UseRealTime();

// Collects each run's bytes per second for the ratio lines.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& Runs) override
    {
        ConsoleReporter::ReportRuns(Runs);
        for (const Run& R : Runs)
            if (R.counters.count("bytes_per_second"))
                Rates[R.benchmark_name()] = R.counters.at("bytes_per_second") / 1e6;
    }
};

}

int main(int argc, char** argv)
{
    InitializeUnits();
    MakeImage();
    benchmark::Initialize(&argc, argv);
    TRatioReporter Reporter;
    benchmark::RunSpecifiedBenchmarks(&Reporter);
    double Base = Rates.count("BM_Pread/real_time") ? Rates["BM_Pread/real_time"] : 0;
    for (const auto& [Name, Rate] : Rates)
        std::printf("%-28s %10.1f MB/s  ratio to pread %.3f\n", Name.c_str(), Rate, Base > 0 ? Rate / Base : 0.0);
    benchmark::Shutdown();
    ::unlink(ImagePath.c_str());
    FinalizeUnits();
    return 0;
}
