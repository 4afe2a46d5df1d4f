// A stream that forwards to another one, a window onto part of another
// stream, and the shared empty stream.
//
//     TOwnedPtr<TXSubStream> Window(New<TXSubStream>(File, 100, 20, 0));
//     Window->Read(Buffer, 100);      // bytes 20 to 119 of File at most
#pragma once
#include "rtl/Streams.h"

// Inner's freeing: with this ownership the wrapper frees it.
inline constexpr Integer xsoOwned = 1;

class TXStreamWrapper : public TStream {
    X_CLASS(TXStreamWrapper, TStream)
public:
    using inherited::Create;
    ~TXStreamWrapper() override;
    virtual void Create(TStream* Stream, Integer AOwnership);

    // A read or write the inner stream refuses (-1) answers 0.
    Int64 Read(void* Buffer, Int64 Count) override;
    Int64 Write(const void* Buffer, Int64 Count) override;
    Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
    Int64 Size() override;
    void SetSize(Int64 NewSize) override;

    Integer Ownership() const { return FOwnership; }
    TStream* Inner() const { return FInner; }

protected:
    Integer FOwnership = 0;
    TStream* FInner = nullptr;
};

// Positions are relative to Start; reads never pass Start + Size, writes
// are not limited.
class TXCustomSubStream : public TXStreamWrapper {
    X_CLASS(TXCustomSubStream, TXStreamWrapper)
public:
    using inherited::Create;
    // A negative Start raises EStreamError.
    virtual void Create(TStream* Stream, Int64 ASize, Int64 AStart, Integer AOwnership);

    Int64 Read(void* Buffer, Int64 Count) override;
    // From the end, Offset is added to the window's end (0 or negative
    // stays inside), as for every other stream.
    Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
    Int64 Size() override { return FSize; }
    // Sets the window's size: never below 0, never past Inner's end.
    void SetSize(Int64 NewSize) override;

    Int64 Start() const { return FStart; }

protected:
    Int64 FStart = 0;
    Int64 FSize = 0;
};

class TXSubStream : public TXCustomSubStream {
    X_CLASS(TXSubStream, TXCustomSubStream)
public:
    using inherited::Create;
    void Create(TStream* Stream, Int64 ASize, Int64 AStart, Integer AOwnership) override;
};

// The one empty stream, answered where a stream is asked for and none
// exists; callers only read it. Exists while the unit is initialised.
TStream* EmptyStream();
