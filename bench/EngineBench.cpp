// Posting notifications from a worker thread and draining them on the main
// thread through an engine, beside a plain mutex-and-condition-variable
// queue carrying heap objects of the same kind. Prints the ratio of the two.
#include "rtl/Units.h"
#include "win/WinApi.h"
#include "core/XCore.Engine.h"
#include <benchmark/benchmark.h>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace {

constexpr int Messages = 100000;

class TCountAspect : public TXCustomAspect {
    X_CLASS(TCountAspect, TXCustomAspect)
public:
    using inherited::Create;
    virtual void Create(Integer AValue)
    {
        Value = AValue;
        inherited::Create();
    }
    Integer Value = 0;
};

class TCounter : public TObject {
public:
    Int64 Count = 0;
    Int64 Sum = 0;
    void On(IXNotification* N)
    {
        ++Count;
        Sum += static_cast<TCountAspect*>(N->GetAspect())->Value;
    }
};

double EngineSeconds = 0, PlainSeconds = 0;
Int64 EngineRuns = 0, PlainRuns = 0;

void BM_EnginePostAndDrain(benchmark::State& State)
{
    TOwnedPtr<XCore::Engine::TXEngine> Engine(New<XCore::Engine::TXEngine>());
    TOwnedPtr<TXObservable> Obs(New<TXObservable>(IPtr<IInterface>(static_cast<IXEngine*>(Engine.get()))));
    TCounter Counter;
    Obs->Subscribe(TCountAspect::StaticClass(), TXNotificationHandler::Of<&TCounter::On>(&Counter));
    for (auto _ : State) {
        auto Start = std::chrono::steady_clock::now();
        Counter.Count = 0;
        std::thread Worker([&] {
            for (int I = 0; I < Messages; ++I)
                Obs->PostNotification(NewNotification(New<TCountAspect>(I)).Get());
        });
        MSG Msg;
        while (Counter.Count < Messages && GetMessage(&Msg, nullptr, 0, 0) > 0)
            DispatchMessage(&Msg);
        Worker.join();
        while (PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessage(&Msg);
        EngineSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
        ++EngineRuns;
    }
    benchmark::DoNotOptimize(Counter.Sum);
    State.SetItemsProcessed(State.iterations() * Messages);
}

void BM_PlainQueue(benchmark::State& State)
{
    struct TItem {
        Integer Value;
    };
    std::mutex Lock;
    std::condition_variable Ready;
    std::deque<std::unique_ptr<TItem>> Queue;
    Int64 Sum = 0;
    for (auto _ : State) {
        auto Start = std::chrono::steady_clock::now();
        std::thread Worker([&] {
            for (int I = 0; I < Messages; ++I) {
                auto Item = std::make_unique<TItem>(TItem { I });
                {
                    std::lock_guard<std::mutex> Guard(Lock);
                    Queue.push_back(std::move(Item));
                }
                Ready.notify_one();
            }
        });
        int Got = 0;
        while (Got < Messages) {
            std::unique_ptr<TItem> Item;
            {
                std::unique_lock<std::mutex> Guard(Lock);
                Ready.wait(Guard, [&] { return !Queue.empty(); });
                Item = std::move(Queue.front());
                Queue.pop_front();
            }
            Sum += Item->Value;
            ++Got;
        }
        Worker.join();
        PlainSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
        ++PlainRuns;
    }
    benchmark::DoNotOptimize(Sum);
    State.SetItemsProcessed(State.iterations() * Messages);
}

}

X_REGISTER_CLASS(TCountAspect)

BENCHMARK(BM_EnginePostAndDrain)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainQueue)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    InitializeUnits();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (EngineRuns > 0 && PlainRuns > 0 && PlainSeconds > 0)
        std::printf("engine / plain queue time per %d messages: %.2f\n", Messages,
                    (EngineSeconds / EngineRuns) / (PlainSeconds / PlainRuns));
    FinalizeUnits();
    return 0;
}
