// Stretched copies between bitmaps: nearest pixel, or the average of the
// source area each target pixel covers (the halftone mode).
#include "gdi/Bitmap.h"
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

struct TSpan {
    Int64 First, Last; // target pixels inside the target bitmap, Last exclusive
};

TSpan Clip(Int64 Lo, Int64 Hi, Integer Limit)
{
    return { std::max<Int64>(Lo, 0), std::min<Int64>(Hi, Limit) };
}

// Source pixels covering target pixel D (relative to the rectangle) and
// their weights: source pixel S covers [S*DstLen, (S+1)*DstLen) and target
// pixel D covers [D*SrcLen, (D+1)*SrcLen) on one scale; a weight is the
// length of the overlap, and the weights of one target pixel add up to SrcLen.
struct TTap {
    Integer Source;
    Int64 Weight;
};

void Taps(Int64 D, Int64 DstLen, Int64 SrcLen, std::vector<TTap>& Out)
{
    Out.clear();
    const Int64 Lo = D * SrcLen, Hi = (D + 1) * SrcLen;
    for (Int64 S = Lo / DstLen; S * DstLen < Hi && S < SrcLen; ++S) {
        Int64 W = std::min(Hi, (S + 1) * DstLen) - std::max(Lo, S * DstLen);
        if (W > 0)
            Out.push_back({ Integer(S), W });
    }
}

void Put(Byte* D, Integer DstBpp, const float* Value)
{
    for (Integer C = 0; C < DstBpp; ++C)
        D[C] = Byte(std::clamp(std::nearbyint(Value[C]), 0.0f, 255.0f));
}

// The source at its own size: pixel X - R.Left of row Y - R.Top, which is
// what the nearest pixel is at a scale of 1, row by row.
void CopyOwnSize(Byte* D, const Byte* S, Int64 Count, Integer SB, Integer DB)
{
    if (SB == DB) {
        std::memcpy(D, S, size_t(Count) * SB);
        return;
    }
    for (Int64 X = 0; X < Count; ++X, S += SB, D += DB) {
        D[0] = S[0];
        D[1] = S[1];
        D[2] = S[2];
        if (DB == 4)
            D[3] = 0;
    }
}

void DrawNearest(TBitmap* Dest, const TRect& R, const TBitmap* Src, TSpan Xs, TSpan Ys)
{
    const Int64 RW = Int64(R.Right) - R.Left, RH = Int64(R.Bottom) - R.Top;
    const Int64 SW = Src->Width(), SH = Src->Height();
    const Integer SB = Src->BytesPerPixel(), DB = Dest->BytesPerPixel();
    if (RW == SW && RH == SH) {
        for (Int64 Y = Ys.First; Y < Ys.Last; ++Y)
            CopyOwnSize(Dest->ScanLine(Integer(Y)) + Xs.First * DB,
                Src->ScanLine(Integer(Y - R.Top)) + (Xs.First - R.Left) * SB, Xs.Last - Xs.First, SB, DB);
        return;
    }
    std::vector<Integer> Column(size_t(Xs.Last - Xs.First));
    for (Int64 X = Xs.First; X < Xs.Last; ++X)
        Column[size_t(X - Xs.First)] = Integer(((2 * (X - R.Left) + 1) * SW) / (2 * RW));
    for (Int64 Y = Ys.First; Y < Ys.Last; ++Y) {
        const Byte* S = Src->ScanLine(Integer(((2 * (Y - R.Top) + 1) * SH) / (2 * RH)));
        Byte* D = Dest->ScanLine(Integer(Y)) + Xs.First * DB;
        for (Integer SX : Column) {
            const Byte* P = S + size_t(SX) * SB;
            D[0] = P[0];
            D[1] = P[1];
            D[2] = P[2];
            if (DB == 4)
                D[3] = SB == 4 ? P[3] : 0;
            D += DB;
        }
    }
}

void DrawHalftone(TBitmap* Dest, const TRect& R, const TBitmap* Src, TSpan Xs, TSpan Ys)
{
    const Int64 RW = Int64(R.Right) - R.Left, RH = Int64(R.Bottom) - R.Top;
    const Int64 SW = Src->Width(), SH = Src->Height();
    const Integer SB = Src->BytesPerPixel(), DB = Dest->BytesPerPixel();
    const size_t Count = size_t(Xs.Last - Xs.First);
    std::vector<std::vector<TTap>> ColumnTaps(Count);
    for (size_t I = 0; I < Count; ++I)
        Taps(Xs.First + Int64(I) - R.Left, RW, SW, ColumnTaps[I]);
    std::vector<TTap> RowTaps;
    std::vector<float> Line(Count * 4), Sum(Count * 4);
    for (Int64 Y = Ys.First; Y < Ys.Last; ++Y) {
        Taps(Y - R.Top, RH, SH, RowTaps);
        std::fill(Sum.begin(), Sum.end(), 0.0f);
        for (const TTap& RowTap : RowTaps) {
            const Byte* S = Src->ScanLine(RowTap.Source);
            for (size_t I = 0; I < Count; ++I) {
                float Acc[4] = {};
                for (const TTap& T : ColumnTaps[I]) {
                    const Byte* P = S + size_t(T.Source) * SB;
                    for (Integer C = 0; C < SB; ++C)
                        Acc[C] += float(T.Weight) * P[C];
                }
                for (Integer C = 0; C < 4; ++C)
                    Sum[I * 4 + C] += Acc[C] / float(SW) * float(RowTap.Weight);
            }
        }
        Byte* D = Dest->ScanLine(Integer(Y)) + Xs.First * DB;
        for (size_t I = 0; I < Count; ++I, D += DB) {
            for (Integer C = 0; C < 4; ++C)
                Line[C] = Sum[I * 4 + C] / float(SH);
            Put(D, DB, Line.data());
        }
    }
}

} // namespace

void StretchDraw(TBitmap* Dest, const TRect& DestRect, const TBitmap* Source, TStretchMode Mode)
{
    if (!Dest || !Source || Source->Empty() || Dest->Empty())
        return;
    if (Int64(DestRect.Right) <= DestRect.Left || Int64(DestRect.Bottom) <= DestRect.Top)
        return;
    TSpan Xs = Clip(DestRect.Left, DestRect.Right, Dest->Width());
    TSpan Ys = Clip(DestRect.Top, DestRect.Bottom, Dest->Height());
    if (Xs.First >= Xs.Last || Ys.First >= Ys.Last)
        return;
    // Drawing a bitmap into itself reads from a copy.
    TOwnedPtr<TBitmap> Copy;
    if (Source == Dest) {
        Copy.reset(New<TBitmap>());
        Copy->Assign(const_cast<TBitmap*>(Source));
        Source = Copy.get();
    }
    if (Mode == smHalftone)
        DrawHalftone(Dest, DestRect, Source, Xs, Ys);
    else
        DrawNearest(Dest, DestRect, Source, Xs, Ys);
}
