#include "sorvane/XCore.Search.h"
#include "sorvane/XCore.Services.h"
#include "sorvane/XCore.Streams.Blocks.h"
#include <cstring>
#include <limits>
#include <vector>

X_REGISTER_CLASS(TXSearch)

bool TXSearch::Cancelled()
{
    return IsAppTerminated() || (Worker && Worker->GetTerminated());
}

bool TXSearch::ReadByteAt(Byte& B, Int64 Pos)
{
    B = 0;
    if (Cancelled())
        return false;
    return StreamReadByteAt(Stream, B, Pos);
}

bool TXSearch::MatchAt(const TXByteArray& Pattern, Int64 Pos)
{
    for (size_t I = 0; I < Pattern.size(); ++I) {
        Byte B;
        if (Pos > std::numeric_limits<Int64>::max() - Int64(I) || !StreamReadByteAt(Stream, B, Pos + Int64(I)) ||
            B != Pattern[I])
            return false;
    }
    return true;
}

bool TXSearch::RunAt(Byte Value, Int64 Count, Int64 Pos)
{
    for (Int64 I = 0; I < Count; ++I) {
        Byte B;
        if (Pos > std::numeric_limits<Int64>::max() - I || !StreamReadByteAt(Stream, B, Pos + I) || B != Value)
            return false;
    }
    return true;
}

namespace {

// The bytes of the searched stream, looked at in place: a view of what the
// stream's buffer holds, else one byte read as ReadByteAt reads it (which
// fills the buffer that the next view shows). Cancellation is asked once
// per view, and for every byte read the ordinary way.
class TViewReader {
public:
    explicit TViewReader(TXSearch* ASearch)
        : Search(ASearch)
        , Views(dynamic_cast<TXByteViewSource*>(ASearch->Stream))
        , Size(ASearch->Stream->Size())
    { }

    const Byte* Data = nullptr; // the bytes of Start .. End - 1
    Int64 Start = 0;
    Int64 End = 0;

    bool Holds(Int64 Pos) const { return Pos >= Start && Pos < End; }

    // Makes Pos held; false when cancelled or the byte cannot be read (at
    // or past the end).
    bool Load(Int64 Pos)
    {
        if (Holds(Pos))
            return true;
        if (Views && Pos >= 0 && Pos < Size) {
            const Byte* At;
            Int64 Count;
            if (Views->ViewAt(Pos, At, Count)) {
                if (Search->Cancelled())
                    return false;
                Data = At;
                Start = Pos;
                End = Pos + Count;
                return true;
            }
        }
        if (!Search->ReadByteAt(Single, Pos))
            return false;
        Data = &Single;
        Start = Pos;
        End = Pos + 1;
        return true;
    }

    bool ByteAt(Byte& B, Int64 Pos)
    {
        if (!Load(Pos))
            return false;
        B = Data[Pos - Start];
        return true;
    }

private:
    TXSearch* Search;
    TXByteViewSource* Views;
    Int64 Size;
    Byte Single = 0;
};

} // namespace

Int64 TXSearch::Find(const TXByteArray& Pattern, Int64 From, Int64 To)
{
    if (!Stream || Pattern.empty())
        return -1;
    const Int64 Len = Int64(Pattern.size());
    // A byte is read at most up to Limit; a match must lie within it.
    const Int64 Limit = std::min(To, Stream->Size());
    if (Limit < 0)
        return -1;
    TViewReader R(this);
    Int64 Pos = std::max<Int64>(From, 0);
    while (Pos <= Limit) {
        if (!R.Load(Pos))
            return -1;
        // The pattern's first byte within what is held.
        const Int64 Stop = std::min(R.End, Limit + 1);
        const void* First = std::memchr(R.Data + (Pos - R.Start), Pattern[0], size_t(Stop - Pos));
        if (!First) {
            Pos = Stop;
            continue;
        }
        Pos = R.Start + (static_cast<const Byte*>(First) - R.Data);
        Int64 I = 1;
        for (Byte B; I < Len; ++I) {
            if (Pos + I > Limit || !R.ByteAt(B, Pos + I))
                return -1;
            if (B != Pattern[size_t(I)])
                break;
        }
        if (I == Len)
            return Pos;
        // Restart one byte after the start of the failed partial match.
        ++Pos;
    }
    return -1;
}

Int64 TXSearch::FindFrom(const TXByteArray& Pattern, Int64 From)
{
    return Find(Pattern, From, std::numeric_limits<Int64>::max());
}

namespace {

Byte MaskByte(const TXByteArrays& Masks, size_t P, size_t J)
{
    return P < Masks.size() && J < Masks[P].size() ? Masks[P][J] : Byte(0xFF);
}

} // namespace

Int64 TXSearch::FindAny(const TXByteArrays& Patterns, Integer& Index, Int64 From, Int64 To, Int64 Base, Int64 Step)
{
    return FindAny(Patterns, TXByteArrays(), Index, From, To, Base, Step);
}

Int64 TXSearch::FindAny(const TXByteArrays& Patterns, const TXByteArrays& Masks, Integer& Index, Int64 From,
    Int64 To, Int64 Base, Int64 Step)
{
    Index = -1;
    if (!Stream || Step <= 0 || Patterns.empty())
        return -1;
    From = std::max<Int64>(From, 0);
    // The first candidate: From rounded up to Base + k × Step.
    __int128 Diff = __int128(From) - Base;
    __int128 K = Diff <= 0 ? -((-Diff) / Step) : (Diff + Step - 1) / Step;
    __int128 First = __int128(Base) + K * Step;
    if (First > To || First > std::numeric_limits<Int64>::max())
        return -1;
    Int64 C = Int64(First);
    const size_t N = Patterns.size();
    // The bytes some pattern starts with: any other ends a candidate at
    // its first byte.
    auto Fits = [&](size_t P, size_t J, Byte B) {
        const Byte M = MaskByte(Masks, P, J);
        return (B & M) == (Patterns[P][J] & M);
    };
    bool Starts[256] = {};
    size_t NonEmpty = 0;
    for (size_t P = 0; P < N; ++P)
        if (!Patterns[P].empty()) {
            for (Integer B = 0; B < 256; ++B)
                Starts[B] = Starts[B] || Fits(P, 0, Byte(B));
            ++NonEmpty;
        }
    if (NonEmpty == 0)
        return -1;
    TViewReader R(this);
    std::vector<Byte> Alive(N);
    while (C <= To) {
        if (!R.Load(C))
            return -1;
        // Candidates whose first byte starts no pattern, through what is held.
        while (!Starts[R.Data[C - R.Start]]) {
            if (C > std::numeric_limits<Int64>::max() - Step || C + Step > To)
                return -1;
            C += Step;
            if (!R.Holds(C))
                break;
        }
        if (!R.Holds(C))
            continue;
        size_t AliveCount = 0;
        for (size_t P = 0; P < N; ++P) {
            Alive[P] = !Patterns[P].empty();
            AliveCount += Alive[P];
        }
        for (Int64 J = 0; AliveCount > 0; ++J) {
            if (C > To - J)
                return -1;
            Byte B;
            if (!R.ByteAt(B, C + J))
                return -1;
            Integer Matched = -1;
            for (size_t P = 0; P < N; ++P) {
                if (!Alive[P] || Int64(Patterns[P].size()) <= J)
                    continue;
                if (!Fits(P, size_t(J), B)) {
                    Alive[P] = 0;
                    --AliveCount;
                } else if (Int64(Patterns[P].size()) == J + 1) {
                    Alive[P] = 0;
                    --AliveCount;
                    if (Matched < 0)
                        Matched = Integer(P);
                }
            }
            if (Matched >= 0) {
                Index = Matched;
                // Longer patterns of lower index that still match so far
                // win when they match completely.
                for (Integer P = 0; P < Matched; ++P) {
                    if (!Alive[size_t(P)])
                        continue;
                    const TXByteArray& Pat = Patterns[size_t(P)];
                    bool Full = Int64(Pat.size()) - 1 <= To - C;
                    for (size_t K2 = size_t(J) + 1; Full && K2 < Pat.size(); ++K2) {
                        Byte B2;
                        Full = R.ByteAt(B2, C + Int64(K2)) && Fits(size_t(P), K2, B2);
                    }
                    if (Full) {
                        Index = P;
                        break;
                    }
                }
                return C;
            }
        }
        if (C > std::numeric_limits<Int64>::max() - Step)
            return -1;
        C += Step;
    }
    return -1;
}
