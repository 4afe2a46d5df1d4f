#include "sorvane/XCore.Streams.Buffered.ReadAhead.h"
#include "rtl/Threads.h"
#include "core/XCore.Errors.h"
#include <algorithm>
#include <chrono>

TXReadAhead::TXReadAhead(TXCustomBufStream* Stream, std::function<bool()> Cancelled, bool Always)
    : FStream(Stream)
    , FCancelled(std::move(Cancelled))
    , FAlways(Always)
    , FWindow(Stream->FBufferSize)
    , FSize(Stream->FSize)
    , FSlots(size_t(Capacity))
    , FCursor(Stream->FBufferStart)
    , FMode(Stream->RaiseReadErrors)
    , FAhead(Always)
    , FTakerReads(!Always)
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
        if (Target < 0) {
            FWork.wait(Lock);
            continue;
        }
        TSlot& Slot = FreeSlot();
        Slot.Start = Target;
        Slot.Ready = false;
        Slot.Mode = FMode;
        const Byte Mode = FMode;
        FThreadReading = true;
        Lock.unlock();
        // A slot being read is touched by no one else.
        if (Slot.Bytes.size() != size_t(FWindow))
            Slot.Bytes.assign(size_t(FWindow), 0);
        double NsPerMiB = 0;
        const TXFillResult Result = ReadTimed(Target, Slot.Bytes.data(), Int64(Slot.Bytes.size()), Mode, NsPerMiB);
        Lock.lock();
        FThreadReading = false;
        FAhead = Measure(NsPerMiB);
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

TXFillResult TXReadAhead::ReadTimed(Int64 Start, Byte* Dest, Int64 Room, Byte Mode, double& NsPerMiB)
{
    const auto Began = std::chrono::steady_clock::now();
    const TXFillResult Result = FStream->ReadWindow(Start, Dest, Room, Mode);
    const double Ns =
        double(std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - Began).count());
    NsPerMiB = Ns * double(1 << 20) / double(std::max<Integer>(FWindow, 1));
    return Result;
}

bool TXReadAhead::Measure(double NsPerMiB)
{
    FRecent[FRecentNext] = NsPerMiB;
    FRecentNext = (FRecentNext + 1) % FRecent.size();
    FRecentCount = std::min(FRecentCount + 1, FRecent.size());
    // The mean without the slowest: a reader put off its core for a while
    // on a busy machine makes one window slow, a slow source all of them.
    double Sum = 0, Slowest = 0;
    for (size_t K = 0; K < FRecentCount; ++K) {
        Sum += FRecent[K];
        Slowest = std::max(Slowest, FRecent[K]);
    }
    const double Typical = FRecentCount > 1 ? (Sum - Slowest) / double(FRecentCount - 1) : Sum;
    if (FAlways || Typical > SlowNsPerMiB)
        return true;
    return Typical < SlowNsPerMiB / 2 ? false : FAhead;
}

TXFillResult TXReadAhead::ReadItself(Int64 Start, Byte* Dest, Int64 Room, Byte RaiseMode)
{
    double NsPerMiB = 0;
    const TXFillResult Result = ReadTimed(Start, Dest, Room, RaiseMode, NsPerMiB);
    // While the taker reads for itself the thread neither reads nor
    // measures; the lock is needed only to set it reading ahead.
    const bool Ahead = Measure(NsPerMiB);
    const bool Gone = Result.Failure.Code == RawError::DeviceGone;
    if (Ahead || Gone) {
        {
            std::lock_guard Guard(FLock);
            FAhead = Ahead;
            FGone = FGone || Gone;
            FCursor = Start;
            FMode = RaiseMode;
            FTakerReads = !Ahead;
        }
        FWork.notify_all();
    }
    return Result;
}

Int64 TXReadAhead::NextTarget()
{
    if (FDemand >= 0 && !Find(FDemand))
        return FDemand;
    if (!FAhead || FGone || (FCancelled && FCancelled()))
        return -1;
    for (Integer K = 1; K <= Depth; ++K) {
        const Int64 W = FCursor + Int64(K) * FWindow;
        if (W >= FSize)
            break;
        if (!Find(W))
            return W;
    }
    return -1;
}

TXReadAhead::TSlot* TXReadAhead::Find(Int64 Start)
{
    for (TSlot& S : FSlots)
        if (S.Start == Start)
            return &S;
    return nullptr;
}

TXReadAhead::TSlot& TXReadAhead::FreeSlot()
{
    const Int64 AheadEnd = FCursor + Int64(Depth) * FWindow;
    TSlot* Victim = nullptr;
    TSlot* Fallback = nullptr;
    for (TSlot& S : FSlots) {
        if (S.Start < 0)
            return S;
        if (!S.Ready)
            continue;
        if (!Fallback || S.Used < Fallback->Used)
            Fallback = &S;
        if (S.Start == FDemand || (S.Start >= FCursor && S.Start <= AheadEnd))
            continue;
        if (!Victim || S.Used < Victim->Used)
            Victim = &S;
    }
    // Capacity leaves room for a victim; the fallback only guards a
    // change of the figures.
    TSlot& Slot = Victim ? *Victim : *Fallback;
    Slot.Start = -1;
    Slot.Ready = false;
    return Slot;
}

void TXReadAhead::Keep(TSlot& Slot, Int64 Start, Integer Valid)
{
    Slot.Start = -1;
    Slot.Ready = false;
    if (Valid <= 0 || Slot.Bytes.size() != size_t(FWindow) || Find(Start))
        return;
    Slot.Start = Start;
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
    if (OldStart == Start)
        OldValid = 0; // the window is read again: the old bytes are not kept
    TXFillResult Result;
    for (;;) {
        TSlot* Slot = Find(Start);
        if (Slot && Slot->Ready) {
            if (Slot->Mode != RaiseMode) {
                // Read with the other setting: read again.
                Slot->Start = -1;
                Slot->Ready = false;
                continue;
            }
            // The window's bytes trade places with the old window's,
            // which the slot then keeps.
            Result = Slot->Result;
            Buffer.swap(Slot->Bytes);
            Keep(*Slot, OldStart, OldValid);
            break;
        }
        if (!Slot && FAhead) {
            FDemand = Start;
            FWork.notify_all();
        }
        if (Slot || FAhead || FThreadReading) {
            FDone.wait(Lock);
            continue;
        }
        // Windows come fast: read it here, while the thread waits; a slot
        // keeps the old window and lends its buffer.
        TSlot& Spare = FreeSlot();
        Buffer.swap(Spare.Bytes);
        Keep(Spare, OldStart, OldValid);
        if (Buffer.size() != size_t(FWindow))
            Buffer.assign(size_t(FWindow), 0);
        FTakerReading = true;
        Lock.unlock();
        double NsPerMiB = 0;
        Result = ReadTimed(Start, Buffer.data(), Int64(Buffer.size()), RaiseMode, NsPerMiB);
        Lock.lock();
        FTakerReading = false;
        FAhead = Measure(NsPerMiB);
        if (Result.Failure.Code == RawError::DeviceGone)
            FGone = true;
        // Still fast: the taker reads for itself from now on, without the
        // lock, until a slow window makes the thread read ahead again.
        FTakerReads = !FAhead;
        break;
    }
    if (FDemand == Start)
        FDemand = -1;
    // The thread has work only while it reads ahead: while windows come
    // fast, waking it for nothing would cost a system call per window.
    if (FAhead)
        FWork.notify_all();
    return Result;
}
