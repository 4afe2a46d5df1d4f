// Posting notifications from a worker thread and draining them on the main
// thread through an engine, beside a plain mutex-and-condition-variable
// queue carrying a heap object per message. Each iteration runs both, one
// after the other (which goes first alternates); every iteration gives a
// ratio (engine / plain queue), and the median is printed at the end.
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
#include <algorithm>
#include <vector>

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

std::vector<double> Ratios;

double Seconds(std::chrono::steady_clock::time_point Start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

// Messages posted by a worker and delivered by the engine on this thread.
double EngineRun(TXObservable* Obs, TCounter& Counter)
{
    const auto Start = std::chrono::steady_clock::now();
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
    return Seconds(Start);
}

// The same through a mutex, a condition variable and a deque.
double PlainRun(Int64& Sum)
{
    struct TItem {
        Integer Value;
    };
    std::mutex Lock;
    std::condition_variable Ready;
    std::deque<std::unique_ptr<TItem>> Queue;
    const auto Start = std::chrono::steady_clock::now();
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
    return Seconds(Start);
}

void BM_EngineAgainstPlainQueue(benchmark::State& State)
{
    TOwnedPtr<XCore::Engine::TXEngine> Engine(New<XCore::Engine::TXEngine>());
    TOwnedPtr<TXObservable> Obs(New<TXObservable>(IPtr<IInterface>(static_cast<IXEngine*>(Engine.get()))));
    TCounter Counter;
    Obs->Subscribe(TCountAspect::StaticClass(), TXNotificationHandler::Of<&TCounter::On>(&Counter));
    Int64 Sum = 0;
    bool EngineFirst = true;
    for (auto _ : State) {
        double E, P;
        if (EngineFirst) {
            E = EngineRun(Obs.get(), Counter);
            P = PlainRun(Sum);
        } else {
            P = PlainRun(Sum);
            E = EngineRun(Obs.get(), Counter);
        }
        EngineFirst = !EngineFirst;
        State.SetIterationTime(E);
        Ratios.push_back(E / P);
        State.counters["engine/plain"] = E / P;
        State.counters["plain ms"] = P * 1000;
    }
    benchmark::DoNotOptimize(Counter.Sum);
    benchmark::DoNotOptimize(Sum);
    State.SetItemsProcessed(State.iterations() * Messages);
}

}

X_REGISTER_CLASS(TCountAspect)

BENCHMARK(BM_EngineAgainstPlainQueue)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(8)->Repetitions(5);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    InitializeUnits();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!Ratios.empty()) {
        std::vector<double> V = Ratios;
        std::sort(V.begin(), V.end());
        std::printf("engine / plain queue time per %d messages: median %.2f (from %.2f to %.2f over %zu iterations)\n",
            Messages, V[V.size() / 2], V.front(), V.back(), V.size());
    }
    FinalizeUnits();
    return 0;
}
