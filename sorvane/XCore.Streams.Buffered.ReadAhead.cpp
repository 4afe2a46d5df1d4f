#include "sorvane/XCore.Streams.Buffered.ReadAhead.h"
#include "rtl/Threads.h"
#include "core/XCore.Errors.h"
#include <chrono>

TXReadAhead::TXReadAhead(TXCustomBufStream* Stream, std::function<bool()> Cancelled, bool Always)
    : FStream(Stream)
    , FCancelled(std::move(Cancelled))
    , FAlways(Always)
    , FWindow(Stream->FBufferSize)
    , FSize(Stream->FSize)
    , FCursor(Stream->FBufferStart)
    , FMode(Stream->RaiseReadErrors)
    , FAhead(Always)
{
    FThread = std::thread([this] { Run(); });
}

TXReadAhead::~TXReadAhead()
{
    {
        std::lock_guard Guard(FLock);
        FStopping = true;
    }
    FWork.notify_all();
    FThread.join();
}

void TXReadAhead::Run()
{
    // Its own record: nothing it meets lands in another thread's.
    AddXErrorThread(GetCurrentThreadId());
    std::unique_lock Lock(FLock);
    while (!FStopping) {
        const Int64 Target = FTakerReading ? -1 : NextTarget();
        TAlignedBytes Bytes;
        if (Target < 0 || (!FreeBuffer(Bytes) && Target != FDemand)) {
            FWork.wait(Lock);
            continue;
        }
        // The window the taker waits for gets a buffer whatever is held.
        if (Bytes.empty())
            Bytes.resize(size_t(FWindow));
        TSlot& Slot = FSlots[Target]; // map nodes stay put while it is read
        Slot.Ready = false;
        Slot.Mode = FMode;
        const Byte Mode = FMode;
        FThreadReading = true;
        Lock.unlock();
        double NsPerMiB = 0;
        const TXFillResult Result = ReadTimed(Target, Bytes, Mode, NsPerMiB);
        Lock.lock();
        FThreadReading = false;
        Measured(NsPerMiB);
        Slot.Bytes = std::move(Bytes);
        Slot.Result = Result;
        Slot.Ready = true;
        Slot.Used = ++FClock;
        if (Result.Failure.Code == RawError::DeviceGone)
            FGone = true;
        FDone.notify_all();
    }
    Lock.unlock();
    RemoveXErrorThread(GetCurrentThreadId());
}

TXFillResult TXReadAhead::ReadTimed(Int64 Start, TAlignedBytes& Bytes, Byte Mode, double& NsPerMiB)
{
    const auto Began = std::chrono::steady_clock::now();
    const TXFillResult Result = FStream->ReadWindow(Start, Bytes.data(), Int64(Bytes.size()), Mode);
    const double Ns =
        double(std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - Began).count());
    NsPerMiB = Ns * double(1 << 20) / double(std::max<Integer>(FWindow, 1));
    return Result;
}

void TXReadAhead::Measured(double NsPerMiB)
{
    FNsPerMiB = FNsPerMiB == 0 ? NsPerMiB : 0.75 * FNsPerMiB + 0.25 * NsPerMiB;
    if (FAlways || FNsPerMiB > SlowNsPerMiB)
        FAhead = true;
    else if (FNsPerMiB < SlowNsPerMiB / 2)
        FAhead = false;
}

Int64 TXReadAhead::NextTarget()
{
    if (FDemand >= 0 && !FSlots.count(FDemand))
        return FDemand;
    if (!FAhead || FGone || (FCancelled && FCancelled()))
        return -1;
    for (Integer K = 1; K <= Depth; ++K) {
        const Int64 W = FCursor + Int64(K) * FWindow;
        if (W >= FSize)
            break;
        if (!FSlots.count(W))
            return W;
    }
    return -1;
}

bool TXReadAhead::FreeBuffer(TAlignedBytes& Out)
{
    if (Int64(FSlots.size()) < Capacity) {
        if (FFree.empty()) {
            Out.resize(size_t(FWindow));
        } else {
            Out = std::move(FFree.back());
            FFree.pop_back();
        }
        return true;
    }
    // The oldest kept window that is neither in use soon nor awaited.
    const Int64 AheadEnd = FCursor + Int64(Depth) * FWindow;
    auto Victim = FSlots.end();
    for (auto It = FSlots.begin(); It != FSlots.end(); ++It) {
        const TSlot& S = It->second;
        if (!S.Ready || It->first == FDemand || (It->first >= FCursor && It->first <= AheadEnd))
            continue;
        if (Victim == FSlots.end() || S.Used < Victim->second.Used)
            Victim = It;
    }
    if (Victim == FSlots.end())
        return false;
    Out = std::move(Victim->second.Bytes);
    FSlots.erase(Victim);
    return true;
}

void TXReadAhead::Keep(Int64 Start, TAlignedBytes&& Bytes, Integer Valid)
{
    if (Int64(FSlots.size()) >= Capacity) {
        TAlignedBytes Evicted;
        if (!FreeBuffer(Evicted)) {
            FFree.push_back(std::move(Bytes));
            return;
        }
        FFree.push_back(std::move(Evicted));
    }
    TSlot& Slot = FSlots[Start];
    Slot.Bytes = std::move(Bytes);
    // Taken again, it was read without a failure and costs no device time.
    Slot.Result = TXFillResult {};
    Slot.Result.Valid = Valid;
    Slot.Mode = FMode;
    Slot.Ready = true;
    Slot.Used = ++FClock;
}

TXFillResult TXReadAhead::Take(Int64 Start, TAlignedBytes& Buffer, Int64 OldStart, Integer OldValid, Byte RaiseMode)
{
    std::unique_lock Lock(FLock);
    FMode = RaiseMode;
    FCursor = Start;
    TAlignedBytes Bytes;
    TXFillResult Result;
    for (;;) {
        auto It = FSlots.find(Start);
        if (It != FSlots.end() && It->second.Ready) {
            if (It->second.Mode == RaiseMode) {
                Result = It->second.Result;
                Bytes = std::move(It->second.Bytes);
                FSlots.erase(It);
                break;
            }
            // Read with the other setting: read again.
            FFree.push_back(std::move(It->second.Bytes));
            FSlots.erase(It);
            continue;
        }
        if (It == FSlots.end() && FAhead) {
            FDemand = Start;
            FWork.notify_all();
        }
        if (It != FSlots.end() || FAhead || FThreadReading) {
            FDone.wait(Lock);
            continue;
        }
        // Windows come fast: read it here, while the thread waits.
        if (!FreeBuffer(Bytes))
            Bytes.resize(size_t(FWindow));
        FTakerReading = true;
        Lock.unlock();
        double NsPerMiB = 0;
        Result = ReadTimed(Start, Bytes, RaiseMode, NsPerMiB);
        Lock.lock();
        FTakerReading = false;
        Measured(NsPerMiB);
        break;
    }
    if (FDemand == Start)
        FDemand = -1;
    TAlignedBytes Old = std::move(Buffer);
    Buffer = std::move(Bytes);
    if (Old.size() == size_t(FWindow)) {
        if (OldValid > 0 && OldStart != Start && !FSlots.count(OldStart))
            Keep(OldStart, std::move(Old), OldValid);
        else
            FFree.push_back(std::move(Old));
    }
    // The thread has work only while it reads ahead: while windows come
    // fast, waking it for nothing would cost a system call per window.
    if (FAhead)
        FWork.notify_all();
    return Result;
}
