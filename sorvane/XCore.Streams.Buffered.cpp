#include "sorvane/XCore.Streams.Buffered.h"
#include "sorvane/XCore.Streams.Buffered.ReadAhead.h"
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

TXCustomBufStream::~TXCustomBufStream() = default;

void TXCustomBufStream::BeforeDestruction()
{
    StopReadAhead();
    inherited::BeforeDestruction();
}

void TXCustomBufStream::SetBufferSize(Integer N)
{
    if (N < 1)
        throw EArgumentOutOfRangeException(RtlText::ArgumentOutOfRange);
    StopReadAhead();
    FBufferSize = N;
    FBufferValid = 0;
    FBufferStart = 0;
    FBufferClean = false;
    FBuffer.assign(size_t(N), 0);
}

Int64 TXCustomBufStream::Seek(Int64 Offset, TSeekOrigin Origin)
{
    Int64 Target;
    switch (Origin) {
    case soBeginning: Target = Offset; break;
    case soCurrent:
        Target = __builtin_add_overflow(FPosition, Offset, &Target) ? (Offset > 0 ? FSize : 0) : Target;
        break;
    case soEnd: Target = __builtin_sub_overflow(FSize, Offset, &Target) ? (Offset > 0 ? 0 : FSize) : Target; break;
    default: return 0;
    }
    // Offsets before 0 mean nothing on a volume: they land at 0.
    FPosition = std::clamp<Int64>(Target, 0, FSize);
    return FPosition;
}

void TXCustomBufStream::SetSize(Int64 NewSize)
{
    StopReadAhead();
    if (FInner) {
        FInner->SetSize(NewSize);
        FSize = std::max<Int64>(FInner->Size(), 0);
    } else {
        FSize = std::max<Int64>(NewSize, 0);
    }
    FBufferValid = 0;
    FPosition = std::min(FPosition, FSize);
}

bool TXCustomBufStream::ViewAt(Int64 Pos, const Byte*& Data, Int64& Count)
{
    const Int64 End = std::min(FBufferStart + FBufferValid, FSize);
    if (Pos < FBufferStart || Pos >= End)
        return false;
    Data = FBuffer.data() + (Pos - FBufferStart);
    Count = End - Pos;
    return true;
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
            // A whole window the caller takes goes straight into its
            // memory, unless the read-ahead holds the windows.
            const Int64 Window = std::min<Int64>(FBufferSize, FSize - FPosition);
            if ((!FReadAhead || FReadAhead->ReadsItself()) && FPosition % FBufferSize == 0 && Count - Done >= Window) {
                if (ReadWindowInto(Out + Done)) {
                    Done += Window;
                    FPosition += Window;
                    if (FPosition >= FSize)
                        break;
                    continue;
                }
            } else {
                FillBuffer();
            }
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

bool TXCustomBufStream::ReadWindowInto(Byte* Out)
{
    const Int64 Start = FPosition;
    const Integer Window = Integer(std::min<Int64>(FBufferSize, FSize - Start));
    TXFillResult R = ReadOwn(Start, Out, Window);
    if (R.Clean() && R.Valid == Window) {
        // The buffer still holds an older window; it is read again when
        // needed, as it would have been after a fill.
        FBufferValid = 0;
        FBufferClean = false;
        if (ReportsSlowReads() && R.Elapsed > xSlowReadMs && OnSlowRead)
            OnSlowRead(this, Cardinal(std::min<UInt64>(R.Elapsed, 0xFFFFFFFFu)));
        if (OnFill)
            OnFill(this, Start);
        return true;
    }
    // Anything else goes on as a fill of the buffer would: the bytes are
    // the buffer's window and the failure is reported as a fill's.
    std::memcpy(FBuffer.data(), Out, size_t(Window));
    FBufferStart = Start;
    FBufferValid = R.Valid;
    FBufferClean = false;
    if (ReportsSlowReads() && R.Elapsed > xSlowReadMs && OnSlowRead)
        OnSlowRead(this, Cardinal(std::min<UInt64>(R.Elapsed, 0xFFFFFFFFu)));
    ReportFill(R);
    if (OnFill)
        OnFill(this, FBufferStart);
    return false;
}

Int64 TXCustomBufStream::Write(const void* Buffer, Int64 Count)
{
    if (Count <= 0 || !Buffer || FPosition > FSize || !FInner)
        return 0;
    StopReadAhead();
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

TRawResult TXCustomBufStream::ReadAt(Int64 Offset, Byte* Dest, Integer Count, Int64 Room, Integer& Got)
{
    Got = 0;
    if (!FInner)
        return {};
    try {
        if (FInner->Seek(Offset, soBeginning) != Offset)
            return { ecReadFailed, 0 };
        errno = 0;
        Int64 N = FInner->Read(Dest, std::min<Int64>(Count, Room));
        if (N < 0)
            return { ecReadFailed, errno };
        Got = Integer(std::min<Int64>(N, Count));
        return {};
    } catch (const std::exception&) {
        return { ecReadFailed, errno };
    }
}

TXFillResult TXCustomBufStream::ReadWindow(Int64 Start, Byte* Dest, Int64 Room, Byte RaiseMode)
{
    TXFillResult R;
    const UInt64 Started = TimeSource().TickCount();
    const Integer Window = Integer(std::clamp<Int64>(FSize - Start, 0, std::min<Int64>(FBufferSize, Room)));
    Integer Got = 0;
    TRawResult Whole = ReadAt(Start, Dest, Window, Room, Got);
    if (Whole.Ok()) {
        R.Valid = Got;
    } else if (Whole.Code == RawError::DeviceGone) {
        R.Failure = Whole;
    } else {
        // Sector by sector: the good sectors around a bad one still count.
        const Integer Unit = std::max<Integer>(SectorSize(), 1);
        for (Integer Off = 0; Off < Window; Off += Unit) {
            const Integer N = std::min(Unit, Window - Off);
            Integer G = 0;
            TRawResult S = ReadAt(Start + Off, Dest + Off, N, Room - Off, G);
            if (S.Ok()) {
                R.Valid = Off + G;
                if (G < N)
                    break; // end of the data
                continue;
            }
            if (S.Code == RawError::DeviceGone) {
                R.Failure = S;
                break;
            }
            if (R.Failure.Ok())
                R.Failure = S;
            if (RaiseMode == 1)
                break; // the buffer ends before the bad sector
            std::memset(Dest + Off, 0, size_t(N));
            R.Skipped = S;
            R.Valid = Off + N;
        }
    }
    if (R.Failure.Code == RawError::DeviceGone)
        R.Valid = 0;
    // Only what the read did not deliver is zeroed.
    if (R.Valid < Window)
        std::memset(Dest + R.Valid, 0, size_t(Window - R.Valid));
    R.Elapsed = TimeSource().TickCount() - Started;
    return R;
}

void TXCustomBufStream::ReportFill(const TXFillResult& Result)
{
    if (!Result.Skipped.Ok())
        SetXError(ecReadFailed, Result.Skipped.SubCode, {}, false);
    if (Result.Failure.Ok())
        return;
    if (Result.Failure.Code == RawError::DeviceGone) {
        FBufferValid = 0;
        SetXError(RawError::DeviceGone, Result.Failure.SubCode, {}, false);
        RaiseXError();
    }
    // With raising on, the good sectors before the bad one stay readable;
    // a read that reaches the bad one raises.
    if (RaiseReadErrors == 1 && FPosition >= FBufferStart + FBufferValid) {
        SetXError(Result.Failure.Code == 13 ? 13 : ecReadFailed, Result.Failure.SubCode, {}, false);
        RaiseXError();
    }
}

void TXCustomBufStream::FillBuffer()
{
    const Int64 OldStart = FBufferStart;
    const Integer OldValid = FBufferClean ? FBufferValid : 0;
    FBufferValid = 0;
    FBufferClean = false;
    FBufferStart = FPosition - FPosition % FBufferSize;
    // Read here, the window goes into the buffer in place (only what the
    // read did not deliver is zeroed); taken from the read-ahead, the
    // window's buffer trades places with this one.
    const TXFillResult R = FReadAhead && !FReadAhead->ReadsItself()
        ? FReadAhead->Take(FBufferStart, FBuffer, OldStart, OldValid, RaiseReadErrors)
        : ReadOwn(FBufferStart, FBuffer.data(), Int64(FBuffer.size()));
    FBufferValid = R.Valid;
    FBufferClean = R.Clean();
    // Reported before the result is looked at: a slow failing read counts too.
    if (ReportsSlowReads() && R.Elapsed > xSlowReadMs && OnSlowRead)
        OnSlowRead(this, Cardinal(std::min<UInt64>(R.Elapsed, 0xFFFFFFFFu)));
    ReportFill(R);
    if (OnFill)
        OnFill(this, FBufferStart);
}

TXFillResult TXCustomBufStream::ReadOwn(Int64 Start, Byte* Dest, Int64 Room)
{
    return FReadAhead ? FReadAhead->ReadItself(Start, Dest, Room, RaiseReadErrors)
                      : ReadWindow(Start, Dest, Room, RaiseReadErrors);
}

void TXCustomBufStream::StartReadAhead(std::function<bool()> Cancelled, bool Always)
{
    StopReadAhead();
    FReadAhead.reset(new TXReadAhead(this, std::move(Cancelled), Always));
}

void TXReadAheadDelete::operator()(TXReadAhead* ReadAhead) const
{
    delete ReadAhead;
}

void TXCustomBufStream::StopReadAhead()
{
    FReadAhead.reset();
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

TRawResult TXBufDiskStream::ReadAt(Int64 Offset, Byte* Dest, Integer Count, Int64 Room, Integer& Got)
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
