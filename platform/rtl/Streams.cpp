// The stream base and the memory streams.
#include "rtl/Streams.h"
#include "rtl/SafeSave.h"
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

X_REGISTER_CLASS(TStream)
X_REGISTER_CLASS(TCustomMemoryStream)
X_REGISTER_CLASS(TMemoryStream)
X_REGISTER_CLASS(TBytesStream)
X_REGISTER_CLASS(TStringStream)

namespace {
constexpr Int64 CopyBufferSize = 0x10000;
constexpr Int64 MemoryDelta = 0x2000; // memory streams grow in steps of 8 KiB
constexpr const char16_t* MemoryStreamError = u"Out of memory while expanding memory stream";
constexpr const char16_t* SizeNotSupported = u"Stream size cannot be changed";
}

// --- TStream ---------------------------------------------------------------

Int64 TStream::Size()
{
    Int64 Pos = Seek(0, soCurrent);
    Int64 Result = Seek(0, soEnd);
    Seek(Pos, soBeginning);
    return Result;
}

void TStream::SetSize(Int64)
{
    throw EStreamError(SizeNotSupported);
}

void TStream::ReadBuffer(void* Buffer, Int64 Count)
{
    if (Count < 0)
        throw EReadError(RtlText::ReadError);
    auto* P = static_cast<Byte*>(Buffer);
    Int64 Done = 0;
    while (Done < Count) {
        Int64 N = Read(P + Done, Count - Done);
        if (N <= 0)
            throw EReadError(RtlText::ReadError);
        Done += N;
    }
}

void TStream::WriteBuffer(const void* Buffer, Int64 Count)
{
    if (Count < 0)
        throw EWriteError(RtlText::WriteError);
    const auto* P = static_cast<const Byte*>(Buffer);
    Int64 Done = 0;
    while (Done < Count) {
        Int64 N = Write(P + Done, Count - Done);
        if (N <= 0)
            throw EWriteError(RtlText::WriteError);
        Done += N;
    }
}

Int64 TStream::CopyFrom(TStream* Source, Int64 Count)
{
    if (Count <= 0) {
        Source->SetPosition(0);
        Count = Source->Size();
        if (Count <= 0)
            return 0;
    }
    std::vector<Byte> Buffer(size_t(std::min(Count, CopyBufferSize)));
    Int64 Left = Count;
    while (Left > 0) {
        Int64 N = std::min(Left, Int64(Buffer.size()));
        Source->ReadBuffer(Buffer.data(), N);
        WriteBuffer(Buffer.data(), N);
        Left -= N;
    }
    return Count;
}

// --- TCustomMemoryStream -----------------------------------------------------

Int64 TCustomMemoryStream::Read(void* Buffer, Int64 Count)
{
    if (FPosition < 0 || Count <= 0 || FPosition >= FSize)
        return 0;
    Int64 N = std::min(Count, FSize - FPosition);
    std::memcpy(Buffer, static_cast<Byte*>(FMemory) + FPosition, size_t(N));
    FPosition += N;
    return N;
}

Int64 TCustomMemoryStream::Seek(Int64 Offset, TSeekOrigin Origin)
{
    Int64 Base = 0;
    switch (Origin) {
    case soBeginning: Base = 0; break;
    case soCurrent: Base = FPosition; break;
    case soEnd: Base = FSize; break;
    default: return -1;
    }
    Int64 NewPos;
    if (__builtin_add_overflow(Base, Offset, &NewPos) || NewPos < 0)
        return -1;
    FPosition = NewPos;
    return FPosition;
}

void TCustomMemoryStream::SetPointer(void* Ptr, Int64 Size)
{
    FMemory = Ptr;
    FSize = Size;
}

void TCustomMemoryStream::SaveToStream(TStream* Stream)
{
    if (FSize > 0)
        Stream->WriteBuffer(FMemory, FSize);
}

void TCustomMemoryStream::SaveToFile(const String& FileName)
{
    // A failed save keeps the old file.
    SaveBytesToFileSafely(FileName, std::string_view(static_cast<const char*>(FMemory), size_t(FSize)));
}

// --- TMemoryStream -----------------------------------------------------------

TMemoryStream::~TMemoryStream()
{
    Clear();
}

void* TMemoryStream::Realloc(Int64& NewCapacity)
{
    if (NewCapacity > 0 && NewCapacity != FSize) {
        if (NewCapacity > std::numeric_limits<Int64>::max() - MemoryDelta)
            throw EStreamError(MemoryStreamError);
        NewCapacity = (NewCapacity + MemoryDelta - 1) & ~(MemoryDelta - 1);
    }
    if (NewCapacity == FCapacity)
        return FMemory;
    if (NewCapacity <= 0) {
        std::free(FMemory);
        return nullptr;
    }
    if (UInt64(NewCapacity) > std::numeric_limits<size_t>::max() / 2)
        throw EStreamError(MemoryStreamError);
    void* P = std::realloc(FMemory, size_t(NewCapacity));
    if (!P)
        throw EStreamError(MemoryStreamError);
    return P;
}

void TMemoryStream::SetCapacity(Int64 NewCapacity)
{
    if (NewCapacity < FSize)
        throw EArgumentOutOfRangeException(RtlText::ArgumentOutOfRange);
    void* P = Realloc(NewCapacity);
    SetPointer(P, FSize);
    FCapacity = P ? NewCapacity : 0;
}

// Makes room for NewSize bytes, growing by half again so that many small
// writes copy the content only a few times, and zeroes the bytes between
// the old and the new end.
void TMemoryStream::Grow(Int64 NewSize)
{
    if (NewSize > FCapacity) {
        Int64 Target = NewSize;
        if (FCapacity <= std::numeric_limits<Int64>::max() / 2)
            Target = std::max(NewSize, FCapacity + FCapacity / 2);
        SetCapacity(Target);
    }
    std::memset(static_cast<Byte*>(FMemory) + FSize, 0, size_t(NewSize - FSize));
    FSize = NewSize;
}

Int64 TMemoryStream::Write(const void* Buffer, Int64 Count)
{
    if (FPosition < 0 || Count <= 0)
        return 0;
    Int64 End;
    if (__builtin_add_overflow(FPosition, Count, &End))
        throw EStreamError(MemoryStreamError);
    if (End > FSize)
        Grow(End);
    std::memcpy(static_cast<Byte*>(FMemory) + FPosition, Buffer, size_t(Count));
    FPosition = End;
    return Count;
}

void TMemoryStream::SetSize(Int64 NewSize)
{
    if (NewSize < 0)
        throw EArgumentOutOfRangeException(RtlText::ArgumentOutOfRange);
    if (NewSize > FSize) {
        Grow(NewSize);
    } else {
        FSize = NewSize;
        SetCapacity(NewSize);
    }
    if (FPosition > NewSize)
        FPosition = NewSize;
}

void TMemoryStream::Clear()
{
    FSize = 0;
    FPosition = 0;
    SetCapacity(0);
}

void TMemoryStream::LoadFromStream(TStream* Stream)
{
    Stream->SetPosition(0);
    Int64 Count = Stream->Size();
    if (Count < 0)
        throw EReadError(RtlText::ReadError);
    SetSize(Count);
    if (Count > 0)
        Stream->ReadBuffer(FMemory, Count);
}

void TMemoryStream::LoadFromFile(const String& FileName)
{
    TOwnedPtr<TFileStream> File(New<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite));
    LoadFromStream(File.get());
}

// --- TBytesStream, TStringStream ---------------------------------------------

void TBytesStream::Create(std::vector<Byte> ABytes)
{
    FBytes = std::move(ABytes);
    Int64 Size = Int64(FBytes.size());
    SetPointer(FBytes.empty() ? nullptr : FBytes.data(), Size);
    SetCapacity(Size);
}

TBytesStream::~TBytesStream()
{
    // The vector goes with this object; detach before the memory stream's
    // destructor would free the block.
    Clear();
}

void* TBytesStream::Realloc(Int64& NewCapacity)
{
    if (NewCapacity < 0 || UInt64(NewCapacity) > FBytes.max_size())
        throw EStreamError(MemoryStreamError);
    try {
        FBytes.resize(size_t(NewCapacity));
    } catch (const std::bad_alloc&) {
        throw EStreamError(MemoryStreamError);
    }
    return FBytes.empty() ? nullptr : FBytes.data();
}

void TStringStream::Create(const String& AString)
{
    UTF8String Utf8 = StringToUTF8(AString);
    inherited::Create(std::vector<Byte>(Utf8.begin(), Utf8.end()));
}

String TStringStream::DataString() const
{
    return UTF8ToString(std::string_view(static_cast<const char*>(FMemory), size_t(FSize)));
}
