// The read-ahead of a buffered stream: one thread reads the windows after
// the one the stream uses and keeps them, with the windows used last, in a
// bounded set of window buffers. While it runs, the inner stream or device
// is read by one thread at a time: the read-ahead's, or the taker's.
//
// Handing a window from one thread to another costs more than reading it
// from the page cache, so the thread reads ahead only while windows are
// slow to read (a card, a disk); while they come fast, the stream reads
// what it needs itself and the thread waits. Either way the windows used
// last are kept, so that a look back (a found file copied after its end
// was searched) finds them again. Windows that met a failure are not kept:
// they are read again, and report again, when taken again.
#pragma once
#include "sorvane/XCore.Streams.Buffered.h"
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

class TXReadAhead {
public:
    // Windows read ahead of the one in use, and windows held in all.
    static constexpr Integer Depth = 4;
    static constexpr Integer Capacity = 24;
    // Reading a MiB slower than this makes the thread read ahead; twice as
    // fast makes the taker read for itself again.
    static constexpr double SlowNsPerMiB = 1.2e6;

    // Always: read ahead however fast the windows come (tests).
    TXReadAhead(TXCustomBufStream* Stream, std::function<bool()> Cancelled, bool Always);
    ~TXReadAhead();
    TXReadAhead(const TXReadAhead&) = delete;
    TXReadAhead& operator=(const TXReadAhead&) = delete;

    // The window at Start, read with RaiseMode: its bytes are swapped into
    // Buffer, whose window (OldStart, OldValid bytes; 0: not to be kept)
    // is kept for later. Waits while the window is being read.
    TXFillResult Take(Int64 Start, TAlignedBytes& Buffer, Int64 OldStart, Integer OldValid, Byte RaiseMode);

private:
    struct TSlot {
        TAlignedBytes Bytes;
        TXFillResult Result;
        Byte Mode = 1;
        bool Ready = false;
        UInt64 Used = 0; // when last taken or kept: the oldest go first
    };

    TXCustomBufStream* FStream;
    std::function<bool()> FCancelled;
    const bool FAlways;
    const Integer FWindow;
    const Int64 FSize;
    std::mutex FLock;
    std::condition_variable FWork; // the thread waits for something to read
    std::condition_variable FDone; // Take waits for a window or for the reader
    std::map<Int64, TSlot> FSlots; // by window start
    std::vector<TAlignedBytes> FFree;
    Int64 FCursor = 0; // the window in use
    Int64 FDemand = -1; // a window Take waits for
    Byte FMode = 1;
    UInt64 FClock = 0;
    bool FStopping = false;
    bool FGone = false; // the device is gone: nothing more ahead
    bool FAhead = false; // the thread reads ahead
    bool FThreadReading = false;
    bool FTakerReading = false;
    double FNsPerMiB = 0; // recent reading time
    std::thread FThread;

    void Run();
    // Under the lock: the next window to read, -1 when none.
    Int64 NextTarget();
    // Under the lock: a buffer for a new window, evicting the oldest kept
    // window behind the one in use; false when every buffer is needed.
    bool FreeBuffer(TAlignedBytes& Out);
    void Keep(Int64 Start, TAlignedBytes&& Bytes, Integer Valid);
    // Reads a window, timed; the lock is not held.
    TXFillResult ReadTimed(Int64 Start, TAlignedBytes& Bytes, Byte Mode, double& NsPerMiB);
    // Under the lock: how fast the last window came decides who reads.
    void Measured(double NsPerMiB);
};
