// The read-ahead of a buffered stream: one thread reads the windows after
// the one the stream uses and keeps them, with the windows used last, in a
// fixed set of window buffers. While it runs, the inner stream or device
// is read by one thread at a time: the read-ahead's, or the taker's.
//
// Handing a window from one thread to another costs more than reading it
// from the page cache, so the thread reads ahead only while windows are
// slow to read (a card, a disk); while they come fast, the stream reads
// into its own buffer as if there were no read-ahead (no lock, no wake, no
// kept windows) and only times its reads. While it reads ahead, the
// windows used last are kept, so that a look back (a found file copied
// after its end was searched) finds them again. Windows that met a failure
// are not kept: they are read again, and report again, when taken again.
#pragma once
#include "sorvane/XCore.Streams.Buffered.h"
#include <array>
#include <condition_variable>
#include <mutex>
#include <thread>

class TXReadAhead {
public:
    // Windows read ahead of the one in use, and windows held in all.
    static constexpr Integer Depth = 4;
    static constexpr Integer Capacity = 24;
    // Reading a MiB slower than this (over the last windows, the slowest
    // left out) makes the thread read ahead; twice as fast makes the taker
    // read for itself again.
    static constexpr double SlowNsPerMiB = 1.2e6;

    // Always: read ahead however fast the windows come (tests).
    TXReadAhead(TXCustomBufStream* Stream, std::function<bool()> Cancelled, bool Always);
    ~TXReadAhead();
    TXReadAhead(const TXReadAhead&) = delete;
    TXReadAhead& operator=(const TXReadAhead&) = delete;

    // Whether the taker reads its windows itself (ReadItself), or takes
    // them from the thread (Take). Asked on the taker's thread only.
    bool ReadsItself() const { return FTakerReads; }
    // Reads the window at Start into Dest (Room bytes) on the taker's
    // thread, timed: a slow read makes the thread read ahead from then on.
    TXFillResult ReadItself(Int64 Start, Byte* Dest, Int64 Room, Byte RaiseMode);
    // The window at Start, read with RaiseMode: its bytes are swapped into
    // Buffer, whose window (OldStart, OldValid bytes; 0: not to be kept)
    // is kept for later. Waits while the window is being read.
    TXFillResult Take(Int64 Start, TAlignedBytes& Buffer, Int64 OldStart, Integer OldValid, Byte RaiseMode);

private:
    struct TSlot {
        Int64 Start = -1; // the window held or being read; -1: free
        TAlignedBytes Bytes; // sized when first used, then reused
        TXFillResult Result;
        Byte Mode = 1;
        bool Ready = false;
        UInt64 Used = 0; // when last taken or kept: the oldest go first
    };
    // Every window ahead, the one awaited, the one being read and one to
    // evict fit at once, so a slot for a new window is always found.
    static_assert(Capacity >= Depth + 4);

    TXCustomBufStream* FStream;
    std::function<bool()> FCancelled;
    const bool FAlways;
    const Integer FWindow;
    const Int64 FSize;
    std::mutex FLock;
    std::condition_variable FWork; // the thread waits for something to read
    std::condition_variable FDone; // Take waits for a window or for the reader
    std::vector<TSlot> FSlots; // never resized: a slot stays put while read
    Int64 FCursor = 0; // the window in use
    Int64 FDemand = -1; // a window Take waits for
    Byte FMode = 1;
    UInt64 FClock = 0;
    bool FStopping = false;
    bool FGone = false; // the device is gone: nothing more ahead
    bool FAhead = false; // the thread reads ahead
    bool FThreadReading = false;
    bool FTakerReading = false;
    // The taker's own: it reads for itself without the lock; set under the
    // lock only while the thread neither reads nor reads ahead.
    bool FTakerReads = false;
    std::array<double, 8> FRecent {}; // reading times of the last windows
    size_t FRecentNext = 0;
    size_t FRecentCount = 0;
    std::thread FThread;

    void Run();
    // Under the lock: the next window to read, -1 when none.
    Int64 NextTarget();
    // Under the lock: the slot holding the window at Start, or null.
    TSlot* Find(Int64 Start);
    // Under the lock: a slot for a new window, evicting the oldest kept
    // window that is neither in use soon nor awaited nor being read.
    TSlot& FreeSlot();
    // Under the lock: Slot now holds the window at Start (Valid bytes, read
    // clean), or nothing when it is not to be kept.
    void Keep(TSlot& Slot, Int64 Start, Integer Valid);
    // Reads a window, timed; the lock is not held.
    TXFillResult ReadTimed(Int64 Start, Byte* Dest, Int64 Room, Byte Mode, double& NsPerMiB);
    // Takes in how fast the last window came: whether the thread is to read
    // ahead. Under the lock, or on the taker's thread while it reads for
    // itself (the thread then measures nothing).
    bool Measure(double NsPerMiB);
};
