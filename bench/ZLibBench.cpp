// CRC-32, compression and decompression of one 32 MB buffer through the
// framework's routines and streams, beside the same work done with raw zlib
// calls: each iteration runs ours and raw zlib one after the other (which
// goes first alternates), so both meet the same machine. Every iteration
// gives a ratio (ours / raw); the medians are printed at the end.
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

std::map<std::string, std::vector<double>> Ratios; // ours / raw, per iteration

template<class F>
double Timed(F&& Work)
{
    auto Start = std::chrono::steady_clock::now();
    Work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

// Runs Ours and Raw in each iteration, alternating which goes first; the
// iteration's time is ours.
template<class O, class R>
void Alternating(benchmark::State& State, const std::string& Name, O&& Ours, R&& Raw)
{
    bool OursFirst = true;
    for (auto _ : State) {
        double A, B;
        if (OursFirst) {
            A = Timed(Ours);
            B = Timed(Raw);
        } else {
            B = Timed(Raw);
            A = Timed(Ours);
        }
        OursFirst = !OursFirst;
        State.SetIterationTime(A);
        Ratios[Name].push_back(A / B);
        State.counters["ours/raw"] = A / B;
    }
    State.SetBytesProcessed(State.iterations() * Int64(DataSize));
}

void BM_CRC(benchmark::State& State)
{
    Cardinal CRC = 0;
    uLong Raw = 0;
    Alternating(
        State, "CRC-32 buffer", [&] { CRC32OfBuffer(CRC, Data().data(), Int64(Data().size())); },
        [&] { Raw = crc32_z(0, Data().data(), Data().size()); });
    benchmark::DoNotOptimize(CRC);
    benchmark::DoNotOptimize(Raw);
}

void BM_CRCStream(benchmark::State& State)
{
    auto Stream = MakeOwned<TBytesStream>(Data());
    Cardinal CRC = 0;
    uLong Raw = 0;
    Alternating(
        State, "CRC-32 stream", [&] { CRC32OfStream(CRC, Stream.get(), false); },
        [&] { Raw = crc32_z(0, Data().data(), Data().size()); });
    benchmark::DoNotOptimize(CRC);
    benchmark::DoNotOptimize(Raw);
}

void BM_Compress(benchmark::State& State)
{
    auto Dest = MakeOwned<TMemoryStream>();
    Int64 WarmStart = 0, WarmWritten = 0;
    xZDecompress::CompressBuffer(Dest.get(), WarmStart, WarmWritten, false, nullptr, xzlFastest, Int64(Data().size()),
        Data().data());
    std::vector<Byte> Out(Packed().size() * 2);
    std::vector<Byte> Block(0x10000);
    Alternating(
        State, "compress (level 2)",
        [&] {
            Dest->SetPosition(0);
            Int64 Start = 0, Written = 0;
            xZDecompress::CompressBuffer(Dest.get(), Start, Written, false, nullptr, xzlDefault, Int64(Data().size()),
                Data().data());
        },
        [&] {
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

void BM_Decompress(benchmark::State& State)
{
    auto Source = MakeOwned<TBytesStream>(Packed());
    auto Dest = MakeOwned<TMemoryStream>();
    // One untimed run touches Dest's pages, as the raw side's output is.
    xZDecompress::DecompressStream(Source.get(), Dest.get(), true, false, nullptr, Source->Size(), 0);
    std::vector<Byte> Out(DataSize);
    std::vector<Byte> Block(0x10000);
    Alternating(
        State, "decompress",
        [&] { xZDecompress::DecompressStream(Source.get(), Dest.get(), true, false, nullptr, Source->Size(), 0); },
        [&] {
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
    if (Dest->Size() != Int64(DataSize))
        State.SkipWithError("decompressed size differs");
}

double Median(std::vector<double> V)
{
    std::sort(V.begin(), V.end());
    return V.empty() ? 0 : V.size() % 2 ? V[V.size() / 2] : (V[V.size() / 2 - 1] + V[V.size() / 2]) / 2;
}

}

BENCHMARK(BM_CRC)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10)->Repetitions(3);
BENCHMARK(BM_CRCStream)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10)->Repetitions(3);
BENCHMARK(BM_Compress)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2)->Repetitions(3);
BENCHMARK(BM_Decompress)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(4)->Repetitions(3);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    InitializeUnits();
    Packed();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nours / raw zlib, alternating in each iteration (median, then every iteration):\n");
    for (const auto& [Name, V] : Ratios) {
        std::printf("%-22s %.3f  [", Name.c_str(), Median(V));
        for (double R : V)
            std::printf(" %.2f", R);
        std::printf(" ]\n");
    }
    FinalizeUnits();
    return 0;
}
