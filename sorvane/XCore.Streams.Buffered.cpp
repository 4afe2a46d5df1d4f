#include "sorvane/XCore.Streams.Buffered.h"
#include "rtl/Format.h"
#include "win/Time.h"
#include "core/XCore.Errors.h"
#include <algorithm>
#include <cerrno>
#include <cstring>

X_REGISTER_CLASS(TXCustomBufStream)
X_REGISTER_CLASS(TXBufFileStream)
X_REGISTER_CLASS(TXBufDiskStream)

namespace {
constexpr Integer ecFileNotFound = 31;
constexpr Integer ecFileAccessDenied = 33;
constexpr Integer ecOpenFailed = 4;
constexpr Integer ecPastEnd = 39;
constexpr Integer ecReadFailed = 44;

// Zeroes what a read did not fill, however it ends.
struct TZeroRest {
    Byte* Out;
    Int64 Count;
    const Int64& Done;
    ~TZeroRest()
    {
        if (Done < Count)
            std::memset(Out + Done, 0, size_t(Count - Done));
    }
};
}

// --- TXCustomBufStream --------------------------------------------------------

void TXCustomBufStream::Create(TStream* Stream, Integer ABufferSize, Integer AOwnership)
{
    inherited::Create(Stream, AOwnership);
    SetBufferSize(ABufferSize);
    FSize = Stream ? std::max<Int64>(Stream->Size(), 0) : 0;
    FPosition = 0;
    RaiseReadErrors = 1;
}

void TXCustomBufStream::CreateFromFile(const String& FileName, Word Mode, Cardinal Rights, Integer ABufferSize)
{
    TFileStream* File = nullptr;
    try {
        File = New<TFileStream>(FileName, Mode, Rights);
    } catch (const EFileStreamError& E) {
        if (E.ErrorCode == ENOENT)
            SetXErrorOnce(ecFileNotFound, 0, FileName, true);
        if (E.ErrorCode == EACCES || E.ErrorCode == EPERM)
            SetXError(ecFileAccessDenied, 0, FileName, true);
        SetXError(ecOpenFailed, E.ErrorCode, FileName, true);
    }
    Create(File, ABufferSize, xsoOwned);
}

void TXCustomBufStream::SetBufferSize(Integer N)
{
    if (N < 1)
        throw EArgumentOutOfRangeException(RtlText::ArgumentOutOfRange);
    FBufferSize = N;
    FBufferValid = 0;
    FBufferStart = 0;
    FBuffer.assign(size_t(N), 0);
}

Int64 TXCustomBufStream::Seek(Int64 Offset, TSeekOrigin Origin)
{
    Int64 Target;
    switch (Origin) {
    case soBeginning:
        Target = Offset;
        break;
    case soCurrent:
        Target = __builtin_add_overflow(FPosition, Offset, &Target) ? (Offset > 0 ? FSize : 0) : Target;
        break;
    case soEnd:
        Target = __builtin_sub_overflow(FSize, Offset, &Target) ? (Offset > 0 ? 0 : FSize) : Target;
        break;
    default:
        return 0;
    }
    // Offsets before 0 mean nothing on a volume: they land at 0.
    FPosition = std::clamp<Int64>(Target, 0, FSize);
    return FPosition;
}

void TXCustomBufStream::SetSize(Int64 NewSize)
{
    if (FInner) {
        FInner->SetSize(NewSize);
        FSize = std::max<Int64>(FInner->Size(), 0);
    } else {
        FSize = std::max<Int64>(NewSize, 0);
    }
    FBufferValid = 0;
    FPosition = std::min(FPosition, FSize);
}

Int64 TXCustomBufStream::Read(void* Buffer, Int64 Count)
{
    if (Count <= 0 || !Buffer)
        return 0;
    Byte* Out = static_cast<Byte*>(Buffer);
    Int64 Done = 0;
    TZeroRest Guard { Out, Count, Done };
    if (FPosition >= FSize) {
        SetXError(ecPastEnd, 0, {}, false);
        CheckXError();
        return 0;
    }
    while (Done < Count) {
        if (FPosition < FBufferStart || FPosition >= FBufferStart + FBufferValid) {
            FillBuffer();
            // A fill that does not reach the position ends the read.
            if (FPosition < FBufferStart || FPosition >= FBufferStart + FBufferValid)
                break;
        }
        Int64 N = std::min({ Count - Done, FBufferStart + FBufferValid - FPosition, FSize - FPosition });
        std::memcpy(Out + Done, FBuffer.data() + (FPosition - FBufferStart), size_t(N));
        Done += N;
        FPosition += N;
        if (FPosition >= FSize)
            break;
    }
    return Done;
}

Int64 TXCustomBufStream::Write(const void* Buffer, Int64 Count)
{
    if (Count <= 0 || !Buffer || FPosition > FSize || !FInner)
        return 0;
    const Byte* In = static_cast<const Byte*>(Buffer);
    if (FPosition == FSize) {
        FBufferValid = 0;
        if (FInner->Seek(FSize, soBeginning) != FSize)
            return 0;
        return std::max<Int64>(FInner->Write(In, Count), 0);
    }
    Int64 Done = 0;
    while (Done < Count && FPosition < FSize) {
        if (FPosition < FBufferStart || FPosition >= FBufferStart + FBufferValid) {
            FillBuffer();
            if (FPosition < FBufferStart || FPosition >= FBufferStart + FBufferValid)
                break;
        }
        Int64 N = std::min({ Count - Done, FBufferStart + FBufferValid - FPosition, FSize - FPosition });
        std::memcpy(FBuffer.data() + (FPosition - FBufferStart), In + Done, size_t(N));
        // Only the bytes written go back: the rest of the buffer may hold
        // zeros for sectors that did not read, which must not replace them.
        if (FInner->Seek(FPosition, soBeginning) != FPosition)
            break;
        FInner->WriteBuffer(In + Done, N);
        Done += N;
        FPosition += N;
    }
    return Done;
}

TRawResult TXCustomBufStream::ReadAt(Int64 Offset, Byte* Dest, Integer Count, Integer& Got)
{
    Got = 0;
    if (!FInner)
        return {};
    try {
        if (FInner->Seek(Offset, soBeginning) != Offset)
            return { ecReadFailed, 0 };
        errno = 0;
        Int64 N = FInner->Read(Dest, Count);
        if (N < 0)
            return { ecReadFailed, errno };
        Got = Integer(std::min<Int64>(N, Count));
        return {};
    } catch (const std::exception&) {
        return { ecReadFailed, errno };
    }
}

TRawResult TXCustomBufStream::FillWindow()
{
    const Integer Window = Integer(std::min<Int64>(FBufferSize, FSize - FBufferStart));
    std::fill(FBuffer.begin(), FBuffer.end(), Byte(0));
    FBufferValid = 0;
    Integer Got = 0;
    TRawResult Whole = ReadAt(FBufferStart, FBuffer.data(), Window, Got);
    if (Whole.Ok()) {
        FBufferValid = Got;
        return Whole;
    }
    if (Whole.Code == RawError::DeviceGone)
        return Whole;
    // Sector by sector: the good sectors around a bad one still count.
    std::fill(FBuffer.begin(), FBuffer.end(), Byte(0));
    TRawResult First;
    const Integer Unit = std::max<Integer>(SectorSize(), 1);
    for (Integer Off = 0; Off < Window; Off += Unit) {
        Integer N = std::min(Unit, Window - Off);
        Integer G = 0;
        TRawResult R = ReadAt(FBufferStart + Off, FBuffer.data() + Off, N, G);
        if (R.Ok()) {
            FBufferValid = Off + G;
            if (G < N)
                break;      // end of the data
            continue;
        }
        std::memset(FBuffer.data() + Off, 0, size_t(N));
        if (R.Code == RawError::DeviceGone)
            return R;
        if (First.Ok())
            First = R;
        if (RaiseReadErrors == 1)
            break;          // the buffer ends before the bad sector
        SetXError(ecReadFailed, R.SubCode, {}, false);
        FBufferValid = Off + N;
    }
    return First;
}

void TXCustomBufStream::ReportFill(const TRawResult& Result)
{
    if (Result.Ok())
        return;
    if (Result.Code == RawError::DeviceGone) {
        FBufferValid = 0;
        SetXError(RawError::DeviceGone, Result.SubCode, {}, false);
        RaiseXError();
    }
    // With raising on, the good sectors before the bad one stay readable;
    // a read that reaches the bad one raises.
    if (RaiseReadErrors == 1 && FPosition >= FBufferStart + FBufferValid) {
        SetXError(Result.Code == 13 ? 13 : ecReadFailed, Result.SubCode, {}, false);
        RaiseXError();
    }
}

void TXCustomBufStream::FillBuffer()
{
    FBufferValid = 0;
    FBufferStart = FPosition - FPosition % FBufferSize;
    ReportFill(FillWindow());
    if (OnFill)
        OnFill(this, FBufferStart);
}

// --- TXBufDiskStream ------------------------------------------------------------

void TXBufDiskStream::Create(const String& AVolume, Integer ABufferSize, Byte OpenFlags)
{
    Create(New<TRawVolume>(), AVolume, ABufferSize, OpenFlags);
}

void TXBufDiskStream::Create(TRawDevice* ADevice, const String& AVolume, Integer ABufferSize, Byte OpenFlags)
{
    FDevice = ADevice;
    ClearXError();
    FVolume = AVolume;
    String Path = AVolume;
    while (Path.size() > 1 && Path.back() == u'/')
        Path.pop_back();
    if (!FDevice)
        throw EArgumentException(u"No device to read");
    if (!FDevice->Active()) {
        TRawResult R = FDevice->Open(Path);
        if (R.Code == RawError::DeviceGone || R.Code == RawError::AccessDenied)
            SetXError(R.Code, R.SubCode, AVolume, true);
        if (!R.Ok()) {
            SetXError(ecOpenFailed, R.SubCode, AVolume, false);
            auto E = EFCreateError(Format(RtlText::FCreateError, { AVolume, S(std::strerror(R.SubCode)) }));
            E.ErrorCode = R.SubCode;
            throw E;
        }
    }
    if (!FInfo.ReadVolume(*FDevice) || FInfo.TotalBytes == 0)
        FInfo.ReadGeometry(*FDevice);
    FInfo.RootPath = AVolume;
    const Integer Sector = Integer(FDevice->SectorSize());
    inherited::Create(nullptr, std::max(ABufferSize - ABufferSize % Sector, Sector), 0);
    // The whole device: the file system's own total leaves out its
    // reserved sectors and tables, and with them the volume's last bytes.
    FSize = FDevice->Size();
    FInfo.DiskSize = FSize;
}

TXBufDiskStream::~TXBufDiskStream()
{
    if (FDevice) {
        FDevice->Close();
        FreeAndNil(FDevice);
    }
}

void TXBufDiskStream::SetSize(Int64 NewSize)
{
    FSize = std::max<Int64>(NewSize, 0);
    FPosition = std::min(FPosition, FSize);
}

Integer TXBufDiskStream::SectorSize() const
{
    return FDevice ? Integer(FDevice->SectorSize()) : 512;
}

TRawResult TXBufDiskStream::ReadAt(Int64 Offset, Byte* Dest, Integer Count, Integer& Got)
{
    Got = 0;
    if (!FDevice || !FDevice->Active())
        return { RawError::DeviceGone, ENODEV };
    const Int64 Sector = FDevice->SectorSize();
    const Int64 DeviceSize = FDevice->Size();
    if (Offset >= DeviceSize)
        return {};
    // Offset is a whole number of sectors (the window and its sectors
    // start at multiples of the sector size) and the buffer holds whole
    // sectors, so the last partial sector can be read whole.
    const Int64 Wanted = std::min<Int64>(Count, DeviceSize - Offset);
    const Int64 Sectors = (Wanted + Sector - 1) / Sector;
    const Int64 Room = FBuffer.data() + FBuffer.size() - Dest;
    TRawResult R;
    if (Offset % Sector == 0 && Sectors * Sector <= Room) {
        R = FDevice->ReadSectors(Offset / Sector, Sectors, Dest);
    } else {
        // A buffer size set later that is not whole sectors.
        std::vector<Byte> Whole(size_t((Offset % Sector + Wanted + Sector - 1) / Sector * Sector));
        R = FDevice->ReadSectors(Offset / Sector, Int64(Whole.size()) / Sector, Whole.data());
        if (R.Ok())
            std::memcpy(Dest, Whole.data() + Offset % Sector, size_t(Wanted));
    }
    if (R.Ok())
        Got = Integer(Wanted);
    return R;
}

void TXBufDiskStream::FillBuffer()
{
    FBufferValid = 0;
    FBufferStart = FPosition - FPosition % FBufferSize;
    const UInt64 Started = TimeSource().TickCount();
    TRawResult Result = FillWindow();
    const UInt64 Elapsed = TimeSource().TickCount() - Started;
    // Reported before the result is looked at: a slow failing read counts too.
    if (Elapsed > xSlowReadMs && OnSlowRead)
        OnSlowRead(this, Cardinal(std::min<UInt64>(Elapsed, 0xFFFFFFFFu)));
    ReportFill(Result);
    if (OnFill)
        OnFill(this, FBufferStart);
}
