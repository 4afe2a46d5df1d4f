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
#pragma once
#include "win/RawVolume.h"
#include "sorvane/XCore.Services.h"
#include "core/XCore.Streams.h"
#include <functional>
#include <vector>

// Open flags of the sources.
inline constexpr Byte xofRead = 4;
inline constexpr Byte xofWrite = 8;

class TXCustomBufStream : public TXStreamWrapper {
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

    void SetBufferSize(Integer N);
    Integer BufferSize() const { return FBufferSize; }
    Integer BufferValid() const { return FBufferValid; }
    Int64 BufferStart() const { return FBufferStart; }

    Byte RaiseReadErrors = 1;
    TFillEvent OnFill;
    TSlowReadEvent OnSlowRead;

protected:
    // Fills the buffer that holds the position.
    virtual void FillBuffer();
    // Reads Count bytes at Offset into Dest: the bytes read, or a failure
    // with its code and errno. A result of fewer bytes without a failure is
    // the end of the data.
    virtual TRawResult ReadAt(Int64 Offset, Byte* Dest, Integer Count, Integer& Got);
    // The unit of the sector-by-sector re-read.
    virtual Integer SectorSize() const { return 512; }
    // Fills the window from BufferStart: the whole window, or sector by
    // sector after a failure. Answers the failure to report (the first one;
    // one that says the device is gone wins), Ok when every sector read.
    TRawResult FillWindow();
    // Reports a fill's result: 11 always raises, other failures record 44
    // and raise while RaiseReadErrors is 1.
    void ReportFill(const TRawResult& Result);

    std::vector<Byte> FBuffer;
    Integer FBufferSize = 0;
    Integer FBufferValid = 0;
    Int64 FBufferStart = 0;
    Int64 FPosition = 0;
    Int64 FSize = 0;
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
    void FillBuffer() override;
    TRawResult ReadAt(Int64 Offset, Byte* Dest, Integer Count, Integer& Got) override;
    Integer SectorSize() const override;

private:
    String FVolume;
    TRawDevice* FDevice = nullptr;
    TXDiskInfoRecord FInfo;
};

// Milliseconds above which a device read counts as slow.
inline constexpr Cardinal xSlowReadMs = 1000;
