#include "core/XCore.ZLib.h"
#include "rtl/CodePages.h"
#include "core/XCore.Engine.Worker.h"
#include "core/XCore.Errors.h"
#include "core/XCore.Qi.CRC.h"
#include "core/XCore.Streams.h"
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>
#include <zlib.h>

X_REGISTER_CLASS(TXZCompressionStream)
X_REGISTER_CLASS(TXZDecompressionStream)

namespace {
constexpr size_t BlockSize = 0x10000;
// Compressed input is read in larger pieces: fewer calls into the source.
constexpr size_t InputBlockSize = 0x40000;
// zlib counts in 32-bit units; larger requests go in pieces of this size.
constexpr Int64 MaxPiece = Int64(1) << 30;

void ReportPercent(IXProgress* Progress, Int64 Position, Int64 Total)
{
    if (!Progress || Total == 0)
        return;
    // Progress is a courtesy; a failing receiver never breaks the data work.
    XGuarded(xecNone, false, [&] {
        double Percent = std::nearbyint(double(Position) * 100.0 / double(Total));
        Progress->SetPercent(Byte(std::clamp(Percent, 0.0, 100.0)));
    });
}

[[noreturn]] void RaiseStreamRange()
{
    throw EReadError(RtlText::ReadError);
}
}

// --- TXLoadBudget ------------------------------------------------------------

namespace {
thread_local TXLoadBudget* CurrentBudget = nullptr;
}

TXLoadBudget::TXLoadBudget()
    : FOuter(CurrentBudget)
    // Inside a load the outer budget is the bound; this scope only counts.
    , FLimit(CurrentBudget ? std::numeric_limits<Int64>::max() : xzMaxInflatedSize)
{
    CurrentBudget = this;
}

TXLoadBudget::TXLoadBudget(Int64 Declared)
    : FOuter(CurrentBudget)
    , FLimit(std::max<Int64>(Declared, 0))
{
    CurrentBudget = this;
}

TXLoadBudget::~TXLoadBudget()
{
    CurrentBudget = FOuter;
}

void TXLoadBudget::Charge(Int64 Count)
{
    if (Count <= 0)
        return;
    for (TXLoadBudget* B = CurrentBudget; B; B = B->FOuter)
        if (Count > B->FLimit - B->FUsed)
            throw ELoadBudgetError(u"The data is larger than a load may hold");
    for (TXLoadBudget* B = CurrentBudget; B; B = B->FOuter)
        B->FUsed += Count;
}

Int64 TXLoadBudget::Remaining()
{
    if (!CurrentBudget)
        return xzMaxInflatedSize;
    Int64 Left = std::numeric_limits<Int64>::max();
    for (TXLoadBudget* B = CurrentBudget; B; B = B->FOuter)
        Left = std::min(Left, B->FLimit - B->FUsed);
    return Left;
}

Int64 LoadLimit(Int64 BytesRead, Int64 Allowance)
{
    const Int64 Read = std::clamp<Int64>(BytesRead, 0, xzMaxInflatedSize);
    return std::min(xzLoadFactor * Read + std::max<Int64>(Allowance, 0), xzMaxInflatedSize);
}

int ZLibLevel(Byte Level)
{
    switch (Level) {
    case 0: return 0;
    case 1: return 1;
    case 2: return Z_DEFAULT_COMPRESSION;
    default: return 9;
    }
}

// --- TXZCompressionStream ----------------------------------------------------

struct TXZCompressionStream::TState {
    z_stream Z {};
    bool Initialised = false;
    bool Finished = false;
    std::vector<Byte> Out = std::vector<Byte>(BlockSize);
};

TXZCompressionStream::TXZCompressionStream() = default;

void TXZCompressionStream::Create(TStream* Dest, Byte Level)
{
    inherited::Create();
    if (!Dest)
        throw EZCompressionError(u"No destination stream");
    FDest = Dest;
    FState = std::make_unique<TState>();
    if (deflateInit2(&FState->Z, ZLibLevel(Level), Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw EZCompressionError(u"Compression cannot start");
    FState->Initialised = true;
}

TXZCompressionStream::~TXZCompressionStream()
{
    if (!FState || !FState->Initialised)
        return;
    // A destructor cannot report; callers that care call Finish.
    if (!FState->Finished)
        XGuarded(xecNone, false, [&] { Finish(); });
    deflateEnd(&FState->Z);
}

void TXZCompressionStream::Deflate(const void* Buffer, Int64 Count, bool Final)
{
    z_stream& Z = FState->Z;
    Z.next_in = static_cast<Bytef*>(const_cast<void*>(Buffer));
    Z.avail_in = uInt(Count);
    for (;;) {
        Z.next_out = FState->Out.data();
        Z.avail_out = uInt(FState->Out.size());
        int Rc = deflate(&Z, Final ? Z_FINISH : Z_NO_FLUSH);
        if (Rc == Z_STREAM_ERROR)
            throw EZCompressionError(u"Compression failed");
        size_t Produced = FState->Out.size() - Z.avail_out;
        if (Produced)
            FDest->WriteBuffer(FState->Out.data(), Int64(Produced));
        DoProgress();
        if (Final ? Rc == Z_STREAM_END : (Z.avail_in == 0 && Z.avail_out != 0))
            break;
    }
}

void TXZCompressionStream::DoProgress()
{
    ReportPercent(FProgress, Int64(FState->Z.total_in), FTotal);
}

void TXZCompressionStream::CompressBuffer(const void* Buffer, Int64 Count, IXProgress* Progress)
{
    if (Count < 0 || (Count > 0 && !Buffer))
        throw EZCompressionError(u"Invalid buffer");
    if (FState->Finished)
        throw EZCompressionError(u"Compression already finished");
    FTotal = Count;
    FProgress = Progress;
    auto* P = static_cast<const Byte*>(Buffer);
    for (Int64 Left = Count; Left > 0;) {
        Int64 N = std::min(Left, MaxPiece);
        Deflate(P, N, false);
        P += N;
        Left -= N;
    }
}

void TXZCompressionStream::CompressStream(TStream* Source, Int64 Count, IXProgress* Progress)
{
    if (!Source || Count < 0)
        throw EZCompressionError(u"Invalid source");
    if (FState->Finished)
        throw EZCompressionError(u"Compression already finished");
    if (Count == 0) {
        Source->SetPosition(0);
        Count = Source->Size();
    }
    FTotal = Count;
    FProgress = Progress;
    std::vector<Byte> In(size_t(std::clamp<Int64>(Count, 1, BlockSize)));
    for (Int64 Left = Count; Left > 0;) {
        Int64 N = std::min(Left, Int64(In.size()));
        Source->ReadBuffer(In.data(), N);
        Deflate(In.data(), N, false);
        Left -= N;
    }
}

void TXZCompressionStream::Finish()
{
    if (FState->Finished)
        return;
    FState->Finished = true;
    Deflate(nullptr, 0, true);
}

// --- TXZDecompressionStream --------------------------------------------------

struct TXZDecompressionStream::TState {
    z_stream Z {};
    bool Initialised = false;
    std::vector<Byte> In = std::vector<Byte>(InputBlockSize);
};

TXZDecompressionStream::TXZDecompressionStream() = default;

void TXZDecompressionStream::Create(TStream* Source)
{
    inherited::Create();
    if (!Source)
        throw EZDecompressionError(u"No source stream");
    FSource = Source;
    FState = std::make_unique<TState>();
    if (inflateInit2(&FState->Z, 15) != Z_OK)
        throw EZDecompressionError(u"Decompression cannot start");
    FState->Initialised = true;
}

TXZDecompressionStream::~TXZDecompressionStream()
{
    if (FState && FState->Initialised)
        inflateEnd(&FState->Z);
}

void TXZDecompressionStream::DoProgress()
{
    z_stream& Z = FState->Z;
    ReportPercent(FProgress, Int64(FByInput ? Z.total_in : Z.total_out), FTotal);
}

Int64 TXZDecompressionStream::Inflate(Byte* Out, Int64 Count)
{
    z_stream& Z = FState->Z;
    Int64 Done = 0;
    while (Done < Count && !FEnded) {
        if (Z.avail_in == 0) {
            Int64 N = FSource->Read(FState->In.data(), Int64(FState->In.size()));
            if (N <= 0)
                throw EZDecompressionError(u"Compressed data ends early");
            Z.next_in = FState->In.data();
            Z.avail_in = uInt(N);
        }
        uInt Room = uInt(std::min(Count - Done, MaxPiece));
        Z.next_out = Out + Done;
        Z.avail_out = Room;
        int Rc = inflate(&Z, Z_NO_FLUSH);
        Int64 Produced = Room - Z.avail_out;
        TXLoadBudget::Charge(Produced);
        Done += Produced;
        if (Rc == Z_STREAM_END)
            FEnded = true;
        else if (Rc != Z_OK && !(Rc == Z_BUF_ERROR && Z.avail_in == 0))
            throw EZDecompressionError(u"Compressed data is damaged");
        DoProgress();
    }
    return Done;
}

Int64 TXZDecompressionStream::DecompressBuffer(void* Buffer, Int64 Count, IXProgress* Progress)
{
    if (Count < 0 || (Count > 0 && !Buffer))
        throw EZDecompressionError(u"Invalid buffer");
    FTotal = Count;
    FProgress = Progress;
    FByInput = false;
    return Inflate(static_cast<Byte*>(Buffer), Count);
}

Int64 TXZDecompressionStream::DecompressToStream(TStream* Dest, IXProgress* Progress, Int64 Total, Int64 Limit)
{
    if (!Dest)
        throw EZDecompressionError(u"No destination stream");
    FTotal = Total;
    FProgress = Progress;
    FByInput = true;
    std::vector<Byte> Block(BlockSize);
    Int64 Written = 0;
    while (!FEnded) {
        Int64 N = Inflate(Block.data(), Int64(Block.size()));
        if (N > Limit - Written)
            throw EZDecompressionError(u"Decompressed data is larger than allowed");
        if (N > 0)
            Dest->WriteBuffer(Block.data(), N);
        Written += N;
    }
    return Written;
}

// --- xZDecompress ------------------------------------------------------------

namespace {
// Moves Stream to Start and makes sure Count bytes follow there.
void SeekRange(TStream* Stream, Int64 Start, Int64 Count)
{
    if (!Stream || Start < 0 || Count < 0)
        RaiseStreamRange();
    Int64 Size = Stream->Size();
    if (Start > Size || Count > Size - Start)
        RaiseStreamRange();
    if (Stream->Seek(Start, soBeginning) != Start)
        RaiseStreamRange();
}

// Cuts Dest at its position, so nothing of an older content stays behind.
void CutAtPosition(TStream* Dest)
{
    Int64 Pos = Dest->Position();
    if (Dest->Size() != Pos)
        Dest->SetSize(Pos);
}

// Raises the stored code when asked to: for the composite operations,
// whose parts report with Raise off so that their own code stays.
bool RaiseOnFailure(bool Ok, bool Raise)
{
    if (!Ok && Raise)
        RaiseXError();
    return Ok;
}
}

bool xZDecompress::CompressBuffer(TStream* Dest, Int64& StartPos, Int64& Written, bool Raise, IXProgress* Progress,
    Byte Level, Int64 Count, const void* Buffer)
{
    StartPos = 0;
    Written = 0;
    bool Ok = XGuarded(xecNone, false, [&] {
        if (!Dest || Count < 0 || (Count > 0 && !Buffer))
            throw EZCompressionError(u"Invalid arguments");
        StartPos = Dest->Position();
        if (Level > 0) {
            auto Z = MakeOwned<TXZCompressionStream>(Dest, Level);
            Z->CompressBuffer(Buffer, Count, Progress);
            Z->Finish();
            Written = Dest->Position() - StartPos;
        } else {
            Dest->WriteBuffer(Buffer, Count);
            Written = Count;
        }
    });
    ReportXResult(Ok, xecWriteFailed, 0, {}, Raise);
    return Ok;
}

bool xZDecompress::CompressStream(TStream* Dest, Int64& StartPos, Int64& Written, bool Raise, IXProgress* Progress,
    Byte Level, Int64 Count, Int64 Start, TStream* Source)
{
    StartPos = 0;
    Written = 0;
    bool Ok = XGuarded(xecNone, false, [&] {
        if (!Dest)
            throw EZCompressionError(u"No destination stream");
        StartPos = Dest->Position();
        if (Count > 0) {
            SeekRange(Source, Start, Count);
            if (Level > 0) {
                auto Z = MakeOwned<TXZCompressionStream>(Dest, Level);
                Z->CompressStream(Source, Count, Progress);
                Z->Finish();
                Written = Dest->Position() - StartPos;
            } else {
                Written = Dest->CopyFrom(Source, Count);
            }
        }
    });
    ReportXResult(Ok, xecWriteFailed, 0, {}, Raise);
    return Ok;
}

bool xZDecompress::CompressMemoryStream(TStream* Dest, TCustomMemoryStream* Source, Byte Level, bool Raise,
    IXProgress* Progress)
{
    Int64 StartPos = 0, Written = 0;
    if (!Source) {
        ReportXResult(false, xecWriteFailed, 0, {}, Raise);
        return false;
    }
    return CompressStream(Dest, StartPos, Written, Raise, Progress, Level, Source->Size(), 0, Source);
}

bool xZDecompress::CompressBufferCRC(TStream* Dest, Cardinal& CRC, Int64& StartPos, bool Raise, IXProgress* Progress,
    Byte Level, Int64 Count, const void* Buffer, Int64& Written)
{
    CRC32OfBuffer(CRC, Buffer, Count);
    return CompressBuffer(Dest, StartPos, Written, Raise, Progress, Level, Count, Buffer);
}

bool xZDecompress::CompressStreamRangeCRC(TStream* Dest, Cardinal& CRC, Int64& StartPos, bool Raise,
    IXProgress* Progress, Byte Level, Int64 Count, Int64 Start, TStream* Source, Int64& Written)
{
    StartPos = 0;
    Written = 0;
    if (Count <= 0) {
        // Nothing to protect: an empty range has CRC 0 and writes nothing.
        CRC = 0;
        return CompressStream(Dest, StartPos, Written, Raise, Progress, Level, Count, Start, Source);
    }
    if (!CRC32OfStreamRange(CRC, Source, Raise, Count, Start))
        return false;
    return CompressStream(Dest, StartPos, Written, Raise, Progress, Level, Count, Start, Source);
}

bool xZDecompress::CompressStreamCRC(TStream* Dest, Cardinal& CRC, Int64& StartPos, bool Raise, IXProgress* Progress,
    Byte Level, TStream* Source, Int64& Written)
{
    Int64 Count = -1;
    if (Source)
        XGuarded(xecNone, false, [&] { Count = Source->Size(); });
    if (Count < 0) {
        CRC = 0;
        StartPos = 0;
        Written = 0;
        ReportXResult(false, xecCRCFailed, 0, {}, Raise);
        return false;
    }
    return CompressStreamRangeCRC(Dest, CRC, StartPos, Raise, Progress, Level, Count, 0, Source, Written);
}

bool xZDecompress::DecompressBuffer(TStream* Source, void* Buffer, bool Compressed, bool Raise, IXProgress* Progress,
    Int64 Count, Int64 Start)
{
    bool Ok = XGuarded(xecNone, false, [&] {
        if (!Source || Count < 0 || (Count > 0 && !Buffer) || Start < 0)
            throw EZDecompressionError(u"Invalid arguments");
        if (Source->Seek(Start, soBeginning) != Start)
            RaiseStreamRange();
        if (Compressed) {
            auto Z = MakeOwned<TXZDecompressionStream>(Source);
            if (Z->DecompressBuffer(Buffer, Count, Progress) != Count)
                throw EZDecompressionError(u"Compressed data ends early");
        } else {
            Source->ReadBuffer(Buffer, Count);
        }
    });
    ReportXResult(Ok, xecReadFailed, 0, {}, Raise);
    return Ok;
}

bool xZDecompress::DecompressStream(TStream* Source, TStream* Dest, bool Compressed, bool Raise, IXProgress* Progress,
    Int64 Count, Int64 Start, Int64 Limit)
{
    bool Ok = XGuarded(xecNone, false, [&] {
        if (!Dest)
            throw EZDecompressionError(u"No destination stream");
        Dest->SetPosition(0);
        if (Count > 0) {
            SeekRange(Source, Start, Count);
            if (Compressed) {
                auto Window = MakeOwned<TXSubStream>(Source, Count, Start, 0);
                auto Z = MakeOwned<TXZDecompressionStream>(Window.get());
                Z->DecompressToStream(Dest, Progress, Window->Size(), Limit);
            } else {
                if (Count > Limit)
                    throw EZDecompressionError(u"Data is larger than allowed");
                Dest->CopyFrom(Source, Count);
            }
        }
        CutAtPosition(Dest);
    });
    ReportXResult(Ok, xecReadFailed, 0, {}, Raise);
    return Ok;
}

bool xZDecompress::DecompressText(TStream* Source, String& Text, bool Raise, IXProgress* Progress, bool Compressed,
    Int64 Count, Int64 Start)
{
    Text.clear();
    bool Ok = XGuarded(xecNone, false, [&] {
        if (Count > 0) {
            SeekRange(Source, Start, Count);
            if (Compressed) {
                auto Window = MakeOwned<TXSubStream>(Source, Count, Start, 0);
                auto Bytes = MakeOwned<TBytesStream>();
                auto Z = MakeOwned<TXZDecompressionStream>(Window.get());
                Z->DecompressToStream(Bytes.get(), Progress, Window->Size());
                Text = AnsiToString(
                    std::string_view(reinterpret_cast<const char*>(Bytes->Memory()), size_t(Bytes->Size())));
            } else {
                if (Count > xzMaxInflatedSize)
                    throw EZDecompressionError(u"Text is larger than allowed");
                std::string Bytes(size_t(Count), '\0');
                Source->ReadBuffer(Bytes.data(), Count);
                Text = UTF8ToString(Bytes);
            }
        }
    });
    if (!Ok)
        Text.clear();
    ReportXResult(Ok, xecReadFailed, 0, {}, Raise);
    return Ok;
}

bool xZDecompress::DecompressStreamText(TStream* Source, String& Text, bool Raise, IXProgress* Progress,
    bool Compressed)
{
    Int64 Count = -1;
    if (Source)
        XGuarded(xecNone, false, [&] { Count = Source->Size(); });
    if (Count < 0) {
        Text.clear();
        ReportXResult(false, xecReadFailed, 0, {}, Raise);
        return false;
    }
    return DecompressText(Source, Text, Raise, Progress, Compressed, Count, 0);
}

bool xZDecompress::DecompressBufferCRC(TStream* Source, Cardinal Expected, void* Buffer, bool Raise,
    IXProgress* Progress, bool Compressed, Int64 Count, Int64 Start)
{
    bool Ok = DecompressBuffer(Source, Buffer, Compressed, false, Progress, Count, Start) &&
        CheckCRC32OfBuffer(Expected, Buffer, Count, false);
    return RaiseOnFailure(Ok, Raise);
}

bool xZDecompress::DecompressStreamCRC(TStream* Source, Cardinal Expected, TStream* Dest, bool Raise,
    IXProgress* Progress, bool Compressed, Int64 Count, Int64 Start, Int64 Limit)
{
    bool Ok = DecompressStream(Source, Dest, Compressed, false, Progress, Count, Start, Limit) &&
        CheckCRC32OfStream(Expected, Dest, false);
    return RaiseOnFailure(Ok, Raise);
}
