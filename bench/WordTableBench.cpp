// Looking up the visible texts of a user interface: GetWord of 10,000 ids
// (in random order) from a loaded word table, beside what a user would
// write instead, a hash map of the texts decoded beforehand. Each
// iteration runs both, alternating which goes first; the ratio (ours /
// map) of every iteration is kept and the median printed at the end.
#include "rtl/Units.h"
#include "core/XCore.Strings.h"
#include "core/XSpark.Lg.h"
#include "BenchSupport.h"
#include <benchmark/benchmark.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using XBench::Median;
using XBench::Timed;

constexpr size_t WordCount = 10000;

std::vector<double> Ratios;

void BM_GetWord(benchmark::State& State)
{
    // Captions of 10 to 60 characters, some with line breaks, some with
    // bit 31 set; the table text as a language file holds it.
    std::mt19937 Rng(7);
    std::vector<Cardinal> Ids;
    std::string Table;
    for (size_t I = 0; I < WordCount; ++I) {
        const Cardinal Id = Cardinal(0x10000 + I * 7) | (I % 5 == 0 ? 0x80000000u : 0);
        std::string Text;
        for (size_t N = 10 + Rng() % 50; Text.size() < N;)
            Text += "Kalender andern#13#10Foto "[Rng() % 26];
        const TCodePageString Coded = xStr::EncodeDigits({ Text, CP_UTF8 }, 36);
        char Hex[16];
        std::snprintf(Hex, sizeof Hex, "%X=", unsigned(Id));
        Table += Hex + Coded.Bytes + "\r\n";
        Ids.push_back(Id);
    }
    std::shuffle(Ids.begin(), Ids.end(), Rng);
    auto Words = MakeOwned<TXW>();
    auto Stream = MakeOwned<TBytesStream>(std::vector<Byte>(Table.begin(), Table.end()));
    if (!LoadWords(Words.get(), Stream.get()) || Words->Count() != Integer(WordCount)) {
        State.SkipWithError("the word table did not load");
        return;
    }
    std::unordered_map<Cardinal, String> Decoded;
    for (const auto& Pair : *Words)
        Decoded.emplace(Pair.Key, TXW::DecodeWord(Pair.Key, Pair.Value));
    for (Cardinal Id : Ids)
        Words->GetWord(Id); // the first lookups decode; steady state is measured

    size_t OursLength = 0, MapLength = 0;
    const auto Ours = [&] {
        for (Cardinal Id : Ids)
            OursLength += Words->GetWord(Id).size();
    };
    const auto Map = [&] {
        for (Cardinal Id : Ids) {
            const auto It = Decoded.find(Id);
            const String Text = It != Decoded.end() ? It->second : String();
            MapLength += Text.size();
        }
    };
    bool OursFirst = true;
    for (auto _ : State) {
        double A, B;
        if (OursFirst) {
            A = Timed(Ours);
            B = Timed(Map);
        } else {
            B = Timed(Map);
            A = Timed(Ours);
        }
        OursFirst = !OursFirst;
        State.SetIterationTime(A);
        Ratios.push_back(A / B);
        State.counters["ours/map"] = A / B;
    }
    if (OursLength != MapLength)
        State.SkipWithError("the texts differ");
    State.SetItemsProcessed(State.iterations() * Int64(WordCount));
}

}

BENCHMARK(BM_GetWord)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(200)->Repetitions(3);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    InitializeUnits();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nGetWord of %zu ids / a hash map of decoded texts, alternating (median of %zu): %.3f\n", WordCount,
        Ratios.size(), Median(Ratios));
    FinalizeUnits();
    return 0;
}
