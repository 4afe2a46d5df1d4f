// Saving a settings component of 200 properties (100 numbers, 100 texts)
// to its file, compressed as the desktop program saves it: the XML form,
// zlib and the safe replacement of the file, beside what the file
// replacement alone costs, SaveBytesToFileSafely of the same bytes. Each
// iteration runs both, alternating which goes first; the median ratio
// (ours / bytes alone) is printed at the end. The file lies in the
// temporary folder (TMPDIR).
#include "rtl/SafeSave.h"
#include "rtl/TypInfo.h"
#include "rtl/Units.h"
#include "rtl/testing/Testing.h"
#include "core/XIni.h"
#include "BenchSupport.h"
#include <benchmark/benchmark.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <type_traits>
#include <vector>

namespace {

using XBench::Median;
using XBench::Timed;

// Properties P0 .. P199: integers below 100, texts from there on.
class TBenchIni : public TXRIni {
    X_CLASS(TBenchIni, TXRIni)
public:
    template<int N>
    using TValue = std::conditional_t<(N < 100), Integer, String>;

    template<int N>
    TValue<N> Get() const
    {
        if constexpr (N < 100)
            return FNumbers[N];
        else
            return FTexts[N - 100];
    }
    template<int N>
    void Set(const TValue<N>& Value)
    {
        if constexpr (N < 100)
            FNumbers[N] = Value;
        else
            FTexts[N - 100] = Value;
    }
    void Fill()
    {
        for (int I = 0; I < 100; ++I) {
            FNumbers[I] = I * 7919 - 40000;
            FTexts[I] = u"Wallpaper calendar setting number " + String(1, char16_t(u'A' + I % 26)) + u" <&>";
        }
    }

private:
    Integer FNumbers[100] = {};
    String FTexts[100];
};

}

#define BENCH_PROP(N) X_PROP(P##N, Get<N>, Set<N>)
#define BENCH_PROPS10(T)                                                                                               \
    BENCH_PROP(T##0);                                                                                                  \
    BENCH_PROP(T##1);                                                                                                  \
    BENCH_PROP(T##2);                                                                                                  \
    BENCH_PROP(T##3);                                                                                                  \
    BENCH_PROP(T##4);                                                                                                  \
    BENCH_PROP(T##5);                                                                                                  \
    BENCH_PROP(T##6);                                                                                                  \
    BENCH_PROP(T##7);                                                                                                  \
    BENCH_PROP(T##8);                                                                                                  \
    BENCH_PROP(T##9)

X_PUBLISHED(TBenchIni)
{
    BENCH_PROPS10();
    BENCH_PROPS10(1);
    BENCH_PROPS10(2);
    BENCH_PROPS10(3);
    BENCH_PROPS10(4);
    BENCH_PROPS10(5);
    BENCH_PROPS10(6);
    BENCH_PROPS10(7);
    BENCH_PROPS10(8);
    BENCH_PROPS10(9);
    BENCH_PROPS10(10);
    BENCH_PROPS10(11);
    BENCH_PROPS10(12);
    BENCH_PROPS10(13);
    BENCH_PROPS10(14);
    BENCH_PROPS10(15);
    BENCH_PROPS10(16);
    BENCH_PROPS10(17);
    BENCH_PROPS10(18);
    BENCH_PROPS10(19);
}
X_REGISTER_CLASS(TBenchIni)

namespace {

std::vector<double> Ratios;
// The component to memory (XML and zlib), without the file, in microseconds.
std::vector<double> Serialising;

void BM_SaveSettings(benchmark::State& State)
{
    Testing::TTempFolder Folder("settings-bench");
    const String Ours = Folder.File("lumeno.ini"), Plain = Folder.File("bytes.ini");
    TOwnedPtr<TBenchIni> Ini(New<TBenchIni>(static_cast<TComponent*>(nullptr)));
    Ini->SetName(u"Settings");
    Ini->Fill();
    if (!Ini->SaveToFile(Ours, true)) {
        State.SkipWithError("the settings did not save");
        return;
    }
    const Testing::Bytes Saved = Testing::ReadFileBytes(Folder / "lumeno.ini");
    const std::string_view Bytes(reinterpret_cast<const char*>(Saved.data()), Saved.size());
    bool Ok = true;
    bool OursFirst = true;
    for (auto _ : State) {
        double A, B;
        const auto Save = [&] { Ok = Ini->SaveToFile(Ours, true) && Ok; };
        const auto Replace = [&] { SaveBytesToFileSafely(Plain, Bytes); };
        if (OursFirst) {
            A = Timed(Save);
            B = Timed(Replace);
        } else {
            B = Timed(Replace);
            A = Timed(Save);
        }
        OursFirst = !OursFirst;
        TOwnedPtr<TMemoryStream> Memory(New<TMemoryStream>());
        Serialising.push_back(Timed([&] { Ok = Ini->SaveToStream(Memory.get(), true) && Ok; }) * 1e6);
        State.SetIterationTime(A);
        Ratios.push_back(A / B);
        State.counters["ours/bytes"] = A / B;
    }
    if (!Ok)
        State.SkipWithError("a save failed");
    State.counters["file bytes"] = double(Saved.size());
}

}

BENCHMARK(BM_SaveSettings)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(50)->Repetitions(3);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    InitializeUnits();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nsaving 200 settings / SaveBytesToFileSafely of the same bytes, alternating (median of %zu): %.3f\n",
        Ratios.size(), Median(Ratios));
    std::printf("of which the component to memory (XML and zlib): %.0f us (median)\n", Median(Serialising));
    FinalizeUnits();
    return 0;
}
