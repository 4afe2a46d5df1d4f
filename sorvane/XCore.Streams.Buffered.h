// Buffered raw reading of a recovery source: TXCustomBufStream reads
// another stream (the card image file, TXBufFileStream) and TXBufDiskStream
// a device, both through one buffer aligned to its size.
//
//     TOwnedPtr<TXBufDiskStream> Disk(New<TXBufDiskStream>(u"/dev/sdb1", 262144, xofRead));
//     Disk->OnSlowRead = [](TObject*, Cardinal Ms) { ... };
//     Disk->ReadBuffer(Sector, 512);
//
// A fill that fails is read again sector by sector, so the good sectors
// around a bad one still read: each bad sector reads as zeros and records
// error 44 (sub-code errno) in the calling thread's record, or raises
// EXError when RaiseReadErrors is 1. A device that is gone raises 11.
//
// A read of whole windows goes straight into the caller's memory. While
// read-ahead is on (a scan turns it on), a thread of the stream reads the
// windows after the one in use and keeps the recent ones, and the inner
// stream or device is read only there; what a window's read met (codes,
// slow reads) is reported on the reading thread when it takes the window,
// as if it had read it then.
#pragma once
#include "rtl/AlignedBytes.h"
#include "win/RawVolume.h"
#include "sorvane/XCore.Services.h"
#include "sorvane/XCore.Streams.Blocks.h"
#include "core/XCore.Streams.h"
#include <functional>
#include <memory>
#include <vector>

// What reading one window met.
struct TXFillResult {
    TRawResult Failure; // the failure to report: the first, or the device gone
    TRawResult Skipped; // the last bad sector read as zeros (RaiseReadErrors 0)
    Integer Valid = 0; // bytes delivered from the window's start
    UInt64 Elapsed = 0; // milliseconds the device took
    bool Clean() const { return Failure.Ok() && Skipped.Ok(); }
};

class TXReadAhead;
// Stops and frees a read-ahead (defined where the class is complete).
struct TXReadAheadDelete {
    void operator()(TXReadAhead* ReadAhead) const;
};

// Open flags of the sources.
inline constexpr Byte xofRead = 4;
inline constexpr Byte xofWrite = 8;

class TXCustomBufStream : public TXStreamWrapper, public TXByteViewSource {
    X_CLASS(TXCustomBufStream, TXStreamWrapper)
public:
    using TFillEvent = std::function<void(TObject* Sender, Int64 BufferStart)>;
    using TSlowReadEvent = std::function<void(TObject* Sender, Cardinal Milliseconds)>;

    using inherited::Create;
    // Stream may be null (a stream of size 0). ABufferSize must be 1 or more.
    virtual void Create(TStream* Stream, Integer ABufferSize, Integer AOwnership);
    // Opens FileName as a file stream with Mode and Rights and owns it. A
    // refused open records 31 (missing), 33 (access denied) or 4 (sub-code
    // errno) and raises EXError.
    void CreateFromFile(const String& FileName, Word Mode, Cardinal Rights, Integer ABufferSize);
    ~TXCustomBufStream() override;
    // Stops the read-ahead before a descendant lets go of its device.
    void BeforeDestruction() override;

    // Answers the bytes copied; a read starting at or past Size records 39
    // and answers 0. The bytes of Buffer not read are zeroed.
    Int64 Read(void* Buffer, Int64 Count) override;
    // Writes inside the stream through the buffer, or appends at Size to
    // the inner stream; never lengthens the stream.
    Int64 Write(const void* Buffer, Int64 Count) override;
    // Clamped to 0..Size.
    Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
    Int64 Size() override { return FSize; }
    void SetSize(Int64 NewSize) override;
    // The buffer's bytes from Pos on; never fills.
    bool ViewAt(Int64 Pos, const Byte*& Data, Int64& Count) override;

    // Reads ahead on a thread of the stream until StopReadAhead (or a
    // write, a new size or buffer size), while windows are slow to read
    // (Always: however fast they come). Cancelled, asked on that thread,
    // stops it reading further ahead; so does a device that is gone.
    void StartReadAhead(std::function<bool()> Cancelled = {}, bool Always = false);
    void StopReadAhead();
    bool ReadingAhead() const { return FReadAhead != nullptr; }

    void SetBufferSize(Integer N);
    Integer BufferSize() const { return FBufferSize; }
    Integer BufferValid() const { return FBufferValid; }
    Int64 BufferStart() const { return FBufferStart; }

    Byte RaiseReadErrors = 1;
    TFillEvent OnFill;
    TSlowReadEvent OnSlowRead;

protected:
    friend class TXReadAhead;

    // Fills the buffer that holds the position.
    virtual void FillBuffer();
    // Reads Count bytes at Offset into Dest, which has Room bytes: the
    // bytes read, or a failure with its code and errno. A result of fewer
    // bytes without a failure is the end of the data. Runs on the
    // read-ahead thread too: it touches neither the buffer nor the error
    // record.
    virtual TRawResult ReadAt(Int64 Offset, Byte* Dest, Integer Count, Int64 Room, Integer& Got);
    // The unit of the sector-by-sector re-read.
    virtual Integer SectorSize() const { return 512; }
    // Whether OnSlowRead is raised (the disk stream's reads are timed).
    virtual bool ReportsSlowReads() const { return false; }
    // Reads the window at Start into Dest (Room bytes, at least the
    // window's): the whole window, or sector by sector after a failure;
    // what was not delivered is zeroed. RaiseMode is RaiseReadErrors: with
    // 1 the re-read stops at the first bad sector.
    TXFillResult ReadWindow(Int64 Start, Byte* Dest, Int64 Room, Byte RaiseMode);
    // Reports what a window's read met, on the reading thread: the slow
    // read, the bad sector passed over (44), then the failure: 11 always
    // raises, others raise with 44 (or 13) while RaiseReadErrors is 1 and
    // the position lies past the bytes delivered.
    void ReportFill(const TXFillResult& Result);

    TAlignedBytes FBuffer; // on a page: the kernel copies into it faster
    Integer FBufferSize = 0;
    Integer FBufferValid = 0;
    Int64 FBufferStart = 0;
    Int64 FPosition = 0;
    Int64 FSize = 0;

private:
    // Reads the window at Start into Dest on this thread: timed by the
    // read-ahead while it lets the stream read for itself.
    TXFillResult ReadOwn(Int64 Start, Byte* Dest, Int64 Room);

    // Whether the buffer's window read without a failure (it may be kept).
    bool FBufferClean = false;
    std::unique_ptr<TXReadAhead, TXReadAheadDelete> FReadAhead;

    // Reads the whole window at the position into Out (the caller's
    // memory); false when it did not read clean and whole (then it is the
    // buffer's window instead, as a fill leaves it).
    bool ReadWindowInto(Byte* Out);
};

// A buffered stream over a file (the card image).
class TXBufFileStream : public TXCustomBufStream {
    X_CLASS(TXBufFileStream, TXCustomBufStream)
public:
    using inherited::Create;
    void Create(const String& FileName, Word Mode, Cardinal Rights, Integer ABufferSize)
    {
        CreateFromFile(FileName, Mode, Rights, ABufferSize);
    }
};

// A volume read raw: a block device or an image file, opened read-only.
class TXBufDiskStream : public TXCustomBufStream {
    X_CLASS(TXBufDiskStream, TXCustomBufStream)
public:
    using inherited::Create;
    // Opens the volume. Missing (or no medium): 11; refused: 10; otherwise
    // 4 with errno and EFCreateError. The buffer is rounded down to whole
    // sectors (at least one).
    void Create(const String& AVolume, Integer ABufferSize, Byte OpenFlags);
    // The same over a device made by the caller, which the stream then
    // owns; opened here when it is not open yet.
    void Create(TRawDevice* ADevice, const String& AVolume, Integer ABufferSize, Byte OpenFlags);
    ~TXBufDiskStream() override;

    // Sets Size only: the reader stops there (a size the user chose).
    void SetSize(Int64 NewSize) override;
    Int64 Write(const void* Buffer, Int64 Count) override { return 0; }

    const String& Volume() const { return FVolume; }
    const TXDiskInfoRecord& Info() const { return FInfo; }
    TRawDevice* Device() const { return FDevice; }

protected:
    TRawResult ReadAt(Int64 Offset, Byte* Dest, Integer Count, Int64 Room, Integer& Got) override;
    Integer SectorSize() const override;
    bool ReportsSlowReads() const override { return true; }

private:
    String FVolume;
    TRawDevice* FDevice = nullptr;
    TXDiskInfoRecord FInfo;
};

// Milliseconds above which a device read counts as slow.
inline constexpr Cardinal xSlowReadMs = 1000;
