// Threads that make the thumbnails of found files while the scan goes on.
// The scanning thread hands each job a file's bytes (read by itself, in
// scan order) and takes the results back in the order it gave the jobs.
// Each thread keeps its own error record; what a job left in it travels
// back with the job's result.
#pragma once
#include "rtl/Streams.h"
#include "core/XCore.Errors.h"
#include "sorvane/XDR.Work.P.h"
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// The bytes of a found file that a thumbnail is decoded from, held at
// their offsets in the file: From .. From + Count - 1 of a stream of
// From + Count bytes. Bytes before From are never read by the decoder
// (it seeks to From); they read as zeros.
class TXDRFileBytesStream : public TStream {
    X_CLASS(TXDRFileBytesStream, TStream)
public:
    using inherited::Create;
    void Create(Int64 AFrom, std::vector<Byte>&& ABytes);

    Int64 Read(void* Buffer, Int64 Count) override;
    Int64 Write(const void*, Int64) override { return 0; }
    Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
    Int64 Size() override { return FFrom + Int64(FBytes.size()); }
    // The bytes held, from From on.
    const std::vector<Byte>& Bytes() const { return FBytes; }

private:
    Int64 FFrom = 0;
    std::vector<Byte> FBytes;
    Int64 FPosition = 0;
};

class TXDRPicturePool {
public:
    struct TJob {
        // Given: nothing else touches them until the job has run.
        TXDRScanFormat* Format = nullptr;
        TXImageObject* Image = nullptr;
        TXDRFileBytesStream* Bytes = nullptr;
        // Answered.
        bool Made = false;
        TXSize PictureSize;
        TXErrorData Codes; // what the job left in its thread's record

    private:
        friend class TXDRPicturePool;
        enum class TState { Idle, Queued, Running, Done } State = TState::Idle;
    };

    // Threads above 0.
    explicit TXDRPicturePool(Integer Threads);
    // Waits for the jobs that run; queued ones do not run.
    ~TXDRPicturePool();
    TXDRPicturePool(const TXDRPicturePool&) = delete;
    TXDRPicturePool& operator=(const TXDRPicturePool&) = delete;

    void Submit(TJob* Job);
    bool Done(TJob* Job);
    void Wait(TJob* Job);
    // Takes a job back unrun when it has not started. When it has, waits
    // for it: afterwards the job may be freed either way.
    void Withdraw(TJob* Job);

    // Threads for a pool of one per core, less one (0 on one core).
    static Integer DefaultThreads();
    // The pixels a thumbnail decodes from the JPEG that Bytes start with
    // (at an eighth, unless that is under 200 pixels a side), from its
    // frame header; 0 when there is none to read.
    static Int64 ThumbnailPixels(const std::vector<Byte>& Bytes);
    // Pictures of this many pixels and more are decoded one at a time.
    static constexpr Int64 LargeDecode = Int64(16) << 20;

private:
    std::mutex FLock;
    // Held by a job whose picture decodes large, so that only one such
    // picture is in memory at a time however many threads there are.
    std::mutex FLargeDecode;
    std::condition_variable FWork;
    std::condition_variable FDone;
    std::deque<TJob*> FQueue;
    bool FStopping = false;
    std::vector<std::thread> FThreads;

    void Run();
};
