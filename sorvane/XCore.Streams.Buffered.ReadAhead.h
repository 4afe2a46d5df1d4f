// The read-ahead of a buffered stream: one thread reads the windows after
// the one the stream uses and keeps them, with the windows used last, in a
// bounded set of window buffers. While it runs, only it reads the inner
// stream or the device.
//
// The stream takes each window it needs with Take, which hands back the
// window the buffer held so that a look back (a found file copied after
// its end was searched) finds it again. Windows that met a failure are not
// kept: they are read again, and report again, when taken again.
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

    TXReadAhead(TXCustomBufStream* Stream, std::function<bool()> Cancelled);
    ~TXReadAhead();
    TXReadAhead(const TXReadAhead&) = delete;
    TXReadAhead& operator=(const TXReadAhead&) = delete;

    // The window at Start, read with RaiseMode: its bytes are swapped into
    // Buffer, whose window (OldStart, OldValid bytes; 0: not to be kept)
    // is kept for later. Waits while the window is being read.
    TXFillResult Take(Int64 Start, std::vector<Byte>& Buffer, Int64 OldStart, Integer OldValid, Byte RaiseMode);

private:
    struct TSlot {
        std::vector<Byte> Bytes;
        TXFillResult Result;
        Byte Mode = 1;
        bool Ready = false;
        UInt64 Used = 0;        // when last taken or kept: the oldest go first
    };

    TXCustomBufStream* FStream;
    std::function<bool()> FCancelled;
    const Integer FWindow;
    const Int64 FSize;
    std::mutex FLock;
    std::condition_variable FWork;      // the thread waits for something to read
    std::condition_variable FDone;      // Take waits for a window
    std::map<Int64, TSlot> FSlots;      // by window start
    std::vector<std::vector<Byte>> FFree;
    Int64 FCursor = 0;                  // the window in use
    Int64 FDemand = -1;                 // a window Take waits for
    Byte FMode = 1;
    UInt64 FClock = 0;
    bool FStopping = false;
    bool FGone = false;                 // the device is gone: nothing more ahead
    std::thread FThread;

    void Run();
    // Under the lock: the next window to read, -1 when none.
    Int64 NextTarget();
    // Under the lock: a buffer for a new window, evicting the oldest kept
    // window behind the one in use; false when every buffer is needed.
    bool FreeBuffer(std::vector<Byte>& Out);
    void Keep(Int64 Start, std::vector<Byte>&& Bytes, Integer Valid);
};
