#include "core/XCore.Streams.h"
#include "rtl/Units.h"
#include <algorithm>

X_REGISTER_CLASS(TXStreamWrapper)
X_REGISTER_CLASS(TXCustomSubStream)
X_REGISTER_CLASS(TXSubStream)

// --- TXStreamWrapper ---------------------------------------------------------

TXStreamWrapper::~TXStreamWrapper()
{
    if (FOwnership == xsoOwned && FInner)
        FInner->Free();
}

void TXStreamWrapper::Create(TStream* Stream, Integer AOwnership)
{
    inherited::Create();
    FInner = Stream;
    FOwnership = AOwnership;
}

Int64 TXStreamWrapper::Read(void* Buffer, Int64 Count)
{
    Int64 N = FInner->Read(Buffer, Count);
    return N < 0 ? 0 : N;
}

Int64 TXStreamWrapper::Write(const void* Buffer, Int64 Count)
{
    Int64 N = FInner->Write(Buffer, Count);
    return N < 0 ? 0 : N;
}

Int64 TXStreamWrapper::Seek(Int64 Offset, TSeekOrigin Origin)
{
    return FInner->Seek(Offset, Origin);
}

Int64 TXStreamWrapper::Size()
{
    return FInner->Size();
}

void TXStreamWrapper::SetSize(Int64 NewSize)
{
    FInner->SetSize(NewSize);
}

// --- TXCustomSubStream -------------------------------------------------------

void TXCustomSubStream::Create(TStream* Stream, Int64 ASize, Int64 AStart, Integer AOwnership)
{
    inherited::Create(Stream, AOwnership);
    if (!Stream || AStart < 0)
        throw EStreamError(u"Invalid sub-stream start");
    FStart = AStart;
    SetSize(ASize);
}

void TXCustomSubStream::SetSize(Int64 NewSize)
{
    if (NewSize < 0)
        NewSize = 0;
    Int64 Available = std::max<Int64>(FInner->Size() - FStart, 0);
    FSize = std::min(NewSize, Available);
}

Int64 TXCustomSubStream::Seek(Int64 Offset, TSeekOrigin Origin)
{
    Int64 Pos;
    switch (Origin) {
    case soBeginning: Pos = FInner->Seek(FStart + Offset, soBeginning); break;
    case soCurrent: Pos = FInner->Seek(Offset, soCurrent); break;
    case soEnd: Pos = FInner->Seek(FStart + FSize + Offset, soBeginning); break;
    default: return 0;
    }
    return Pos < 0 ? Pos : Pos - FStart;
}

Int64 TXCustomSubStream::Read(void* Buffer, Int64 Count)
{
    Int64 Pos = FInner->Position();
    if (Pos < FStart)
        Pos = FInner->Seek(FStart, soBeginning);
    if (Pos < 0)
        return 0;
    Count = std::clamp<Int64>(Count, 0, std::max<Int64>(FStart + FSize - Pos, 0));
    if (Count == 0)
        return 0;
    return inherited::Read(Buffer, Count);
}

// --- TXSubStream -------------------------------------------------------------

void TXSubStream::Create(TStream* Stream, Int64 ASize, Int64 AStart, Integer AOwnership)
{
    inherited::Create(Stream, ASize, AStart, AOwnership);
}

// --- The empty stream --------------------------------------------------------

namespace {
TMemoryStream* GEmptyStream = nullptr;

void InitStreams()
{
    GEmptyStream = New<TMemoryStream>();
}

void DoneStreams()
{
    FreeAndNil(GEmptyStream);
}
}

TStream* EmptyStream()
{
    return GEmptyStream;
}

X_UNIT(XCore_Streams, "XCore.Streams", {}, &InitStreams, &DoneStreams)
