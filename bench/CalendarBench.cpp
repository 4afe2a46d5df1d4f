// Expanding 1,000 holidays with mixed recurrence rules into 120 months (a
// decade of month views), beside what a user would pick instead:
// python-dateutil's rrule.between over the same decade for each of the
// same rules, its starts put in their months, timed inside Python by
// calendar_designs/tests/recurrence_oracle.py. Our side makes the full
// day flags of every month; the ratio (ours / dateutil) is printed.
#include "calendar_designs/tests/CalendarTestSupport.h"
#include "rtl/testing/Testing.h"
#include "BenchSupport.h"
#include <benchmark/benchmark.h>
#include <sstream>

namespace {

constexpr Word FirstYear = 2000;
constexpr Integer Months = 120;
constexpr Integer Holidays = 1000;

void BM_ExpandDecade(benchmark::State& State)
{
    const std::string Script = std::string(X_SOURCE_DIR) + "/calendar_designs/tests/recurrence_oracle.py";
    const Testing::TToolResult Oracle = Testing::RunTool(
        { "python3", Script, "5", std::to_string(Holidays), "--bench", std::to_string(FirstYear), std::to_string(Months) });
    std::stringstream Lines(Oracle.Output);
    std::string Head, Word_;
    double DateutilSeconds = 0;
    std::getline(Lines, Head);
    std::stringstream(Head) >> Word_ >> DateutilSeconds;
    if (Oracle.ExitCode != 0 || Word_ != "seconds") {
        State.SkipWithError("python3 with dateutil is needed");
        return;
    }
    TOwnedPtr<TXVActiveEventsEngine> Engine(New<TXVActiveEventsEngine>(static_cast<TComponent*>(nullptr)));
    std::vector<TOwnedPtr<TXVHolidayObject>> Events;
    for (std::string Line; std::getline(Lines, Line);) {
        CalendarTesting::TOracleCase Case;
        if (!CalendarTesting::ParseOracleLine(Line, Case))
            continue;
        Events.emplace_back(New<TXVHolidayObject>());
        CalendarTesting::FillEvent(Events.back().get(), Case.Spec);
    }
    std::vector<TDateTime> MonthStarts;
    for (Integer K = 0; K < Months; ++K)
        MonthStarts.push_back(EncodeDate(Word(FirstYear + K / 12), Word(K % 12 + 1), 1));
    XBench::TRatios Ratios;
    Integer Flagged = 0;
    for (auto _ : State) {
        const double Ours = XBench::Timed([&] {
            TXVDayFlags Flags;
            for (const auto& E : Events)
                for (TDateTime M : MonthStarts)
                    Flagged += Engine->ExpandEventMonth(Flags, E.get(), M);
        });
        Ratios.Add("ours / dateutil", Ours / DateutilSeconds);
        State.SetIterationTime(Ours);
    }
    benchmark::DoNotOptimize(Flagged);
    std::printf("%zu holidays x %d months; dateutil %.3f s\n", Events.size(), Months, DateutilSeconds);
    Ratios.Print();
}

BENCHMARK(BM_ExpandDecade)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
