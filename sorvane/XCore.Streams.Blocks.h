// A block list shown as one contiguous stream over a volume stream, and the
// bounded read routines of the carvers and the byte search.
//
//     TOwnedPtr<TXBlockStream> File(New<TXBlockStream>(Volume, FoundFile->Blocks));
//     File->ReadBuffer(Header, 16);      // the first bytes of the found file
#pragma once
#include "core/XCore.Intervals.h"
#include "core/XCore.Streams.h"

// A stream that can show bytes it already holds, in place and read-only,
// so a search can look through them without a call per byte.
class TXByteViewSource {
public:
    // The bytes from Pos on that the stream holds now: Data and their
    // Count (at least 1). False when it holds none there; nothing is read
    // then (an ordinary read fills what a later view shows). A view lasts
    // until the stream is next read, seeked or viewed.
    virtual bool ViewAt(Int64 Pos, const Byte*& Data, Int64& Count) = 0;

protected:
    ~TXByteViewSource() = default;
};

class TXCustomBlockStream : public TXStreamWrapper, public TXByteViewSource {
    X_CLASS(TXCustomBlockStream, TXStreamWrapper)
public:
    using inherited::Create;
    // Blocks is not owned and must outlive the stream.
    virtual void Create(TStream* Stream, Integer AOwnership, TXBlocks* ABlocks);

    // Offsets are logical, counted through the list.
    Int64 Read(void* Buffer, Int64 Count) override;
    Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
    Int64 Size() override { return FBlocks ? FBlocks->Size() : 0; }
    void SetSize(Int64) override { }
    // What the inner stream shows at the byte's volume offset, up to the
    // end of its block.
    bool ViewAt(Int64 Pos, const Byte*& Data, Int64& Count) override;

    TXBlocks* Blocks() const { return FBlocks; }
    const TXBlockCursor& Cursor() const { return FCursor; }

protected:
    TXBlocks* FBlocks = nullptr;
    TXBlockCursor FCursor;
    TXByteViewSource* FInnerViews = nullptr;
};

class TXBlockStream : public TXCustomBlockStream {
    X_CLASS(TXBlockStream, TXCustomBlockStream)
public:
    using inherited::Create;
    // The inner stream is not owned.
    void Create(TStream* Stream, TXBlocks* ABlocks) { inherited::Create(Stream, 0, ABlocks); }
};

// Bounded reads: false at or past the end (or before the start); a read
// that raises gives zeros, its error is acknowledged (CheckXError) and the
// answer is true.
bool StreamSeekInside(TStream* Stream, Int64 Pos);
bool StreamReadByteAt(TStream* Stream, Byte& B, Int64 Pos);
bool StreamReadByte(TStream* Stream, Byte& B);
bool StreamReadAt(TStream* Stream, void* Buffer, Int64 Count, Int64 Pos);
// Refuses a read that would reach the end of the stream, ending exactly at
// it included.
bool StreamReadNext(TStream* Stream, void* Buffer, Int64 Count);
