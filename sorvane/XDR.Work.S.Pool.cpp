#include "sorvane/XDR.Work.S.Pool.h"
#include "rtl/Threads.h"
#include <algorithm>
#include <cstring>

X_REGISTER_CLASS(TXDRFileBytesStream)

// ---- TXDRFileBytesStream ----

void TXDRFileBytesStream::Create(Int64 AFrom, std::vector<Byte>&& ABytes)
{
    inherited::Create();
    FFrom = std::max<Int64>(AFrom, 0);
    FBytes = std::move(ABytes);
}

Int64 TXDRFileBytesStream::Read(void* Buffer, Int64 Count)
{
    const Int64 N = std::clamp<Int64>(Size() - FPosition, 0, std::max<Int64>(Count, 0));
    if (N == 0 || !Buffer)
        return 0;
    Byte* Out = static_cast<Byte*>(Buffer);
    const Int64 Zeros = std::clamp<Int64>(FFrom - FPosition, 0, N);
    std::memset(Out, 0, size_t(Zeros));
    if (N > Zeros)
        std::memcpy(Out + Zeros, FBytes.data() + (FPosition + Zeros - FFrom), size_t(N - Zeros));
    FPosition += N;
    return N;
}

Int64 TXDRFileBytesStream::Seek(Int64 Offset, TSeekOrigin Origin)
{
    Int64 Base = 0;
    if (Origin == soCurrent)
        Base = FPosition;
    else if (Origin == soEnd)
        Base = Size();
    else if (Origin != soBeginning)
        return 0;
    Int64 Target;
    if (__builtin_add_overflow(Base, Offset, &Target))
        Target = Offset > 0 ? Size() : 0;
    FPosition = std::clamp<Int64>(Target, 0, Size());
    return FPosition;
}

// ---- TXDRPicturePool ----

TXDRPicturePool::TXDRPicturePool(Integer Threads)
{
    for (Integer I = 0; I < std::max<Integer>(Threads, 1); ++I)
        FThreads.emplace_back([this] { Run(); });
}

TXDRPicturePool::~TXDRPicturePool()
{
    {
        std::lock_guard Guard(FLock);
        FStopping = true;
        for (TJob* Job : FQueue)
            Job->State = TJob::TState::Idle;
        FQueue.clear();
    }
    FWork.notify_all();
    for (std::thread& T : FThreads)
        T.join();
}

Integer TXDRPicturePool::DefaultThreads()
{
    const unsigned Cores = std::thread::hardware_concurrency();
    return Cores > 1 ? Integer(Cores - 1) : 0;
}

void TXDRPicturePool::Submit(TJob* Job)
{
    {
        std::lock_guard Guard(FLock);
        Job->State = TJob::TState::Queued;
        FQueue.push_back(Job);
    }
    FWork.notify_one();
}

bool TXDRPicturePool::Done(TJob* Job)
{
    std::lock_guard Guard(FLock);
    return Job->State == TJob::TState::Done;
}

void TXDRPicturePool::Wait(TJob* Job)
{
    std::unique_lock Lock(FLock);
    FDone.wait(Lock, [Job] { return Job->State == TJob::TState::Done || Job->State == TJob::TState::Idle; });
}

void TXDRPicturePool::Withdraw(TJob* Job)
{
    std::unique_lock Lock(FLock);
    if (Job->State == TJob::TState::Queued) {
        FQueue.erase(std::find(FQueue.begin(), FQueue.end(), Job));
        Job->State = TJob::TState::Idle;
        return;
    }
    FDone.wait(Lock, [Job] { return Job->State != TJob::TState::Running; });
}

Int64 TXDRPicturePool::ThumbnailPixels(const std::vector<Byte>& Bytes)
{
    // The segments up to the frame header; each step moves on.
    size_t At = 2;
    if (Bytes.size() < 4 || Bytes[0] != 0xFF || Bytes[1] != 0xD8)
        return 0;
    while (At + 4 <= Bytes.size()) {
        if (Bytes[At] != 0xFF)
            return 0;
        const Byte Marker = Bytes[At + 1];
        if (Marker == 0xFF) { // fill byte
            ++At;
            continue;
        }
        if (Marker == 0x01 || (Marker >= 0xD0 && Marker <= 0xD8)) {
            At += 2;
            continue;
        }
        const size_t Length = size_t(Bytes[At + 2]) << 8 | Bytes[At + 3];
        const bool Frame = Marker >= 0xC0 && Marker <= 0xCF && Marker != 0xC4 && Marker != 0xC8 && Marker != 0xCC;
        if (Frame && At + 9 <= Bytes.size()) {
            const Int64 H = Int64(Bytes[At + 5]) << 8 | Bytes[At + 6];
            const Int64 W = Int64(Bytes[At + 7]) << 8 | Bytes[At + 8];
            const Int64 W8 = (W + 7) / 8, H8 = (H + 7) / 8;
            return W8 >= 200 && H8 >= 200 ? W8 * H8 : W * H;
        }
        if (Marker == 0xDA || Marker == 0xD9 || Length < 2)
            return 0;
        At += 2 + Length;
    }
    return 0;
}

void TXDRPicturePool::Run()
{
    // Its own record: a job's codes go back with its result, not into
    // another thread's record.
    AddXErrorThread(GetCurrentThreadId());
    std::unique_lock Lock(FLock);
    for (;;) {
        FWork.wait(Lock, [this] { return FStopping || !FQueue.empty(); });
        if (FStopping)
            break;
        TJob* Job = FQueue.front();
        FQueue.pop_front();
        Job->State = TJob::TState::Running;
        Lock.unlock();
        std::unique_lock Large(FLargeDecode, std::defer_lock);
        if (ThumbnailPixels(Job->Bytes->Bytes()) >= LargeDecode)
            Large.lock();
        ClearXError();
        Job->Made = Job->Format->MakeThumbnailFrom(Job->Bytes, Job->PictureSize, Job->Image);
        Job->Codes = GetXErrorData();
        ClearXError();
        if (Large.owns_lock())
            Large.unlock();
        Lock.lock();
        Job->State = TJob::TState::Done;
        FDone.notify_all();
    }
    Lock.unlock();
    RemoveXErrorThread(GetCurrentThreadId());
}
