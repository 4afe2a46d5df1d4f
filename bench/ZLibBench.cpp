// CRC-32, compression and decompression of one 32 MB buffer through the
// framework's routines and streams, beside the same work done with raw zlib
// calls. Prints the time ratio of each pair (ours / raw).
#include "rtl/Units.h"
#include "core/XCore.Qi.CRC.h"
#include "core/XCore.ZLib.h"
#include <benchmark/benchmark.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>
#include <zlib.h>

namespace {

constexpr size_t DataSize = size_t(32) << 20;

const std::vector<Byte>& Data()
{
    static const std::vector<Byte> Buffer = [] {
        // Text-like with noise: compresses to about a third.
        std::mt19937 Rng(11);
        std::vector<Byte> B(DataSize);
        for (size_t I = 0; I < B.size(); ++I)
            B[I] = Byte(Rng() % 5 == 0 ? Rng() : "wallpaper calendar photo "[I % 25]);
        return B;
    }();
    return Buffer;
}

const std::vector<Byte>& Packed()
{
    static const std::vector<Byte> Buffer = [] {
        uLongf Size = compressBound(uLong(Data().size()));
        std::vector<Byte> B(Size);
        compress2(B.data(), &Size, Data().data(), uLong(Data().size()), Z_DEFAULT_COMPRESSION);
        B.resize(Size);
        return B;
    }();
    return Buffer;
}

std::map<std::string, double> Seconds;
std::map<std::string, Int64> Runs;

// Times one iteration's work into the totals of Name.
template<class F>
void Timed(const char* Name, F&& Work)
{
    auto Start = std::chrono::steady_clock::now();
    Work();
    Seconds[Name] += std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    ++Runs[Name];
}

void BM_CRC_Ours(benchmark::State& State)
{
    Cardinal CRC = 0;
    for (auto _ : State)
        Timed("crc ours", [&] { CRC32OfBuffer(CRC, Data().data(), Int64(Data().size())); });
    benchmark::DoNotOptimize(CRC);
    State.SetBytesProcessed(State.iterations() * Int64(DataSize));
}

void BM_CRC_Stream_Ours(benchmark::State& State)
{
    auto Stream = MakeOwned<TBytesStream>(Data());
    Cardinal CRC = 0;
    for (auto _ : State)
        Timed("crc stream ours", [&] { CRC32OfStream(CRC, Stream.get(), false); });
    benchmark::DoNotOptimize(CRC);
    State.SetBytesProcessed(State.iterations() * Int64(DataSize));
}

void BM_CRC_Raw(benchmark::State& State)
{
    uLong CRC = 0;
    for (auto _ : State)
        Timed("crc raw", [&] { CRC = crc32_z(0, Data().data(), Data().size()); });
    benchmark::DoNotOptimize(CRC);
    State.SetBytesProcessed(State.iterations() * Int64(DataSize));
}

void BM_Compress_Ours(benchmark::State& State)
{
    auto Dest = MakeOwned<TMemoryStream>();
    Int64 WarmStart = 0, WarmWritten = 0;
    xZDecompress::CompressBuffer(Dest.get(), WarmStart, WarmWritten, false, nullptr, xzlFastest,
        Int64(Data().size()), Data().data());
    for (auto _ : State) {
        Dest->SetPosition(0);
        Int64 Start = 0, Written = 0;
        Timed("compress ours", [&] {
            xZDecompress::CompressBuffer(Dest.get(), Start, Written, false, nullptr, xzlDefault,
                Int64(Data().size()), Data().data());
        });
    }
    State.SetBytesProcessed(State.iterations() * Int64(DataSize));
}

void BM_Compress_Raw(benchmark::State& State)
{
    std::vector<Byte> Out(Packed().size() * 2);
    std::vector<Byte> Block(0x10000);
    for (auto _ : State) {
        Timed("compress raw", [&] {
            // The same streaming shape as ours: 64 KiB output blocks copied out.
            z_stream Z {};
            deflateInit2(&Z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY);
            Z.next_in = const_cast<Bytef*>(Data().data());
            Z.avail_in = uInt(Data().size());
            size_t Pos = 0;
            int Rc;
            do {
                Z.next_out = Block.data();
                Z.avail_out = uInt(Block.size());
                Rc = deflate(&Z, Z_FINISH);
                size_t N = Block.size() - Z.avail_out;
                std::copy_n(Block.data(), N, Out.data() + Pos);
                Pos += N;
            } while (Rc == Z_OK);
            deflateEnd(&Z);
        });
    }
    State.SetBytesProcessed(State.iterations() * Int64(DataSize));
}

void BM_Decompress_Ours(benchmark::State& State)
{
    auto Source = MakeOwned<TBytesStream>(Packed());
    auto Dest = MakeOwned<TMemoryStream>();
    // One untimed run touches Dest's pages, as the raw side's output is.
    xZDecompress::DecompressStream(Source.get(), Dest.get(), true, false, nullptr, Source->Size(), 0);
    for (auto _ : State)
        Timed("decompress ours", [&] {
            xZDecompress::DecompressStream(Source.get(), Dest.get(), true, false, nullptr, Source->Size(), 0);
        });
    if (Dest->Size() != Int64(DataSize))
        State.SkipWithError("decompressed size differs");
    State.SetBytesProcessed(State.iterations() * Int64(DataSize));
}

void BM_Decompress_Raw(benchmark::State& State)
{
    std::vector<Byte> Out(DataSize);
    std::vector<Byte> Block(0x10000);
    for (auto _ : State)
        Timed("decompress raw", [&] {
            // The same streaming shape as ours: 64 KiB output blocks copied out.
            z_stream Z {};
            inflateInit2(&Z, 15);
            Z.next_in = const_cast<Bytef*>(Packed().data());
            Z.avail_in = uInt(Packed().size());
            size_t Pos = 0;
            int Rc;
            do {
                Z.next_out = Block.data();
                Z.avail_out = uInt(Block.size());
                Rc = inflate(&Z, Z_NO_FLUSH);
                size_t N = std::min(Block.size() - Z.avail_out, Out.size() - Pos);
                std::copy_n(Block.data(), N, Out.data() + Pos);
                Pos += N;
            } while (Rc == Z_OK);
            inflateEnd(&Z);
        });
    State.SetBytesProcessed(State.iterations() * Int64(DataSize));
}

double PerRun(const std::string& Name)
{
    return Runs[Name] > 0 ? Seconds[Name] / double(Runs[Name]) : 0;
}

void PrintRatio(const char* Label, const char* Ours, const char* Raw)
{
    double A = PerRun(Ours), B = PerRun(Raw);
    if (A > 0 && B > 0)
        std::printf("%-22s ours / raw zlib: %.3f\n", Label, A / B);
}

}

BENCHMARK(BM_CRC_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CRC_Stream_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CRC_Raw)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Compress_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Compress_Raw)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Decompress_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Decompress_Raw)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    InitializeUnits();
    Packed();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintRatio("CRC-32 buffer", "crc ours", "crc raw");
    PrintRatio("CRC-32 stream", "crc stream ours", "crc raw");
    PrintRatio("compress (level 2)", "compress ours", "compress raw");
    PrintRatio("decompress", "decompress ours", "decompress raw");
    FinalizeUnits();
    return 0;
}
