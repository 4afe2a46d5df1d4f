// Finds byte patterns in a 64-bit stream, byte by byte through the
// stream's own buffering. Every byte read for a search first asks whether
// the work is cancelled (the worker terminated or the application
// closing), so a long scan stops within a byte of a cancel.
//
//     TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
//     Search->Stream = Volume;
//     Int64 At = Search->FindAny(Signatures, Index, 0, Volume->Size() - 1, 0, 512);
#pragma once
#include "rtl/Streams.h"
#include "core/XCore.Classes.h"
#include "core/XCore.Engine.Worker.h"
#include "core/XCore.Types.h"

class TXSearch : public TXComponent {
    X_CLASS(TXSearch, TXComponent)
public:
    TStream* Stream = nullptr; // not owned
    IPtr<IXWorker> Worker; // its termination cancels

    bool Cancelled();
    // False when cancelled or at or past the end; a read that fails gives 0.
    bool ReadByteAt(Byte& B, Int64 Pos);
    // Whether the bytes from Pos are Pattern (an empty pattern matches);
    // not cancelled.
    bool MatchAt(const TXByteArray& Pattern, Int64 Pos);
    // Whether Count bytes from Pos all equal Value.
    bool RunAt(Byte Value, Int64 Count, Int64 Pos);
    // The offset of the first match lying within From..To (To capped at the
    // stream's end), -1 when none, cancelled or the pattern is empty.
    Int64 Find(const TXByteArray& Pattern, Int64 From, Int64 To);
    Int64 FindFrom(const TXByteArray& Pattern, Int64 From);
    // The first offset Base + k × Step at or after From where one of the
    // patterns lies (within To); Index is the pattern found, the lowest
    // index winning among those that match there. -1 (Index -1) when none,
    // cancelled, or Step is not positive.
    Int64 FindAny(const TXByteArrays& Patterns, Integer& Index, Int64 From, Int64 To, Int64 Base, Int64 Step);
    // As above, a pattern's byte compared only in the bits its mask byte
    // (Masks[P][J]) sets; a pattern without a mask, or bytes past its
    // mask's end, compare whole.
    Int64 FindAny(const TXByteArrays& Patterns, const TXByteArrays& Masks, Integer& Index, Int64 From, Int64 To,
        Int64 Base, Int64 Step);
};
