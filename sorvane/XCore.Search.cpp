#include "sorvane/XCore.Search.h"
#include "sorvane/XCore.Services.h"
#include "sorvane/XCore.Streams.Blocks.h"
#include <limits>

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
        if (Pos > std::numeric_limits<Int64>::max() - Int64(I) || !StreamReadByteAt(Stream, B, Pos + Int64(I))
            || B != Pattern[I])
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

Int64 TXSearch::Find(const TXByteArray& Pattern, Int64 From, Int64 To)
{
    if (!Stream || Pattern.empty())
        return -1;
    const Int64 Len = Int64(Pattern.size());
    const Int64 Limit = std::min(To, Stream->Size());
    Int64 Pos = std::max<Int64>(From, 0);
    Int64 I = 0;
    Byte B = 0;
    bool Ok = Pos <= Limit && ReadByteAt(B, Pos);
    while (Ok && I < Len) {
        if (B == Pattern[size_t(I)]) {
            ++Pos;
            ++I;
        } else {
            // Restart one byte after the start of the failed partial match.
            Pos = Pos - I + 1;
            I = 0;
        }
        if (I < Len)
            Ok = Pos <= Limit && ReadByteAt(B, Pos);
    }
    return I == Len ? Pos - Len : -1;
}

Int64 TXSearch::FindFrom(const TXByteArray& Pattern, Int64 From)
{
    return Find(Pattern, From, std::numeric_limits<Int64>::max());
}

Int64 TXSearch::FindAny(const TXByteArrays& Patterns, Integer& Index, Int64 From, Int64 To, Int64 Base,
    Int64 Step)
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
    std::vector<Byte> Alive(N);
    while (C <= To) {
        size_t AliveCount = 0;
        for (size_t P = 0; P < N; ++P) {
            Alive[P] = !Patterns[P].empty();
            AliveCount += Alive[P];
        }
        if (AliveCount == 0)
            return -1;
        for (Int64 J = 0; AliveCount > 0; ++J) {
            if (C > To - J)
                return -1;
            Byte B;
            if (!ReadByteAt(B, C + J))
                return -1;
            Integer Matched = -1;
            for (size_t P = 0; P < N; ++P) {
                if (!Alive[P] || Int64(Patterns[P].size()) <= J)
                    continue;
                if (Patterns[P][size_t(J)] != B) {
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
                        Full = ReadByteAt(B2, C + Int64(K2)) && B2 == Pat[K2];
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
