// Stretched copies between bitmaps: nearest pixel, or the average of the
// source area each target pixel covers (the halftone mode). The halftone's
// values are exact to the bit (thumbnails are compared byte for byte): its
// sums add in one order, each rounded as a float.
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

// The four channels of one pixel, worked on together: each lane takes the
// operations, in the order, that its channel alone would.
typedef float TLanes __attribute__((vector_size(16)));

// The taps of every target column, tap by tap: the K-th tap of column I is
// at K * Columns + I. Columns with fewer taps end in taps of weight 0 (on
// pixel 0), which add +0 and so change no sum.
struct TColumnTaps {
    size_t Columns = 0;
    size_t Depth = 0; // taps per column
    std::vector<size_t> Channel; // where the pixel's channels start in the row
    std::vector<float> Weight;
};

// The weighted sums of one source row for every target column. The row's
// channels become floats first; the columns' sums then go on side by side,
// tap by tap, each in its own order. With three channels a pixel's fourth
// lane holds the next pixel's first channel: that lane is not used.
void SumRow(const Byte* Row, std::vector<float>& Channels, const TColumnTaps& Taps, std::vector<TLanes>& Out)
{
    const size_t Count = Channels.size() - 1; // one float more, for the last pixel's fourth lane
    for (size_t C = 0; C < Count; ++C)
        Channels[C] = float(Row[C]);
    std::fill(Out.begin(), Out.end(), TLanes {});
    for (size_t K = 0; K < Taps.Depth; ++K) {
        const size_t* Channel = Taps.Channel.data() + K * Taps.Columns;
        const float* Weight = Taps.Weight.data() + K * Taps.Columns;
        for (size_t I = 0; I < Taps.Columns; ++I) {
            TLanes Pixel;
            std::memcpy(&Pixel, Channels.data() + Channel[I], sizeof Pixel);
            Out[I] += Weight[I] * Pixel;
        }
    }
}

template<Integer SB>
void DrawHalftoneOf(TBitmap* Dest, const TRect& R, const TBitmap* Src, TSpan Xs, TSpan Ys)
{
    const Int64 RW = Int64(R.Right) - R.Left, RH = Int64(R.Bottom) - R.Top;
    const Int64 SW = Src->Width(), SH = Src->Height();
    const Integer DB = Dest->BytesPerPixel();
    const size_t Count = size_t(Xs.Last - Xs.First);
    TColumnTaps Columns;
    Columns.Columns = Count;
    std::vector<std::vector<TTap>> ByColumn(Count);
    for (size_t I = 0; I < Count; ++I) {
        Taps(Xs.First + Int64(I) - R.Left, RW, SW, ByColumn[I]);
        Columns.Depth = std::max(Columns.Depth, ByColumn[I].size());
    }
    Columns.Channel.assign(Columns.Depth * Count, 0);
    Columns.Weight.assign(Columns.Depth * Count, 0.0f);
    for (size_t I = 0; I < Count; ++I)
        for (size_t K = 0; K < ByColumn[I].size(); ++K) {
            Columns.Channel[K * Count + I] = size_t(ByColumn[I][K].Source) * SB;
            Columns.Weight[K * Count + I] = float(ByColumn[I][K].Weight);
        }
    std::vector<float> Channels(size_t(SW) * SB + 1);
    // A source row's sums serve every target row it reaches: the last two
    // rows summed are kept (rows come in order).
    struct TSummed {
        Integer Row = -1;
        std::vector<TLanes> Sums;
    } Summed[2];
    for (TSummed& S : Summed)
        S.Sums.resize(Count);
    std::vector<TTap> RowTaps;
    std::vector<TLanes> Sum(Count);
    const float FSW = float(SW), FSH = float(SH);
    for (Int64 Y = Ys.First; Y < Ys.Last; ++Y) {
        Taps(Y - R.Top, RH, SH, RowTaps);
        std::fill(Sum.begin(), Sum.end(), TLanes {});
        for (const TTap& RowTap : RowTaps) {
            TSummed* Row = Summed[0].Row == RowTap.Source ? &Summed[0]
                : Summed[1].Row == RowTap.Source          ? &Summed[1]
                : Summed[0].Row < Summed[1].Row           ? &Summed[0]
                                                          : &Summed[1];
            if (Row->Row != RowTap.Source) {
                SumRow(Src->ScanLine(RowTap.Source), Channels, Columns, Row->Sums);
                Row->Row = RowTap.Source;
            }
            const float Weight = float(RowTap.Weight);
            for (size_t I = 0; I < Count; ++I)
                Sum[I] += Row->Sums[I] / FSW * Weight;
        }
        Byte* D = Dest->ScanLine(Integer(Y)) + Xs.First * DB;
        for (size_t I = 0; I < Count; ++I, D += DB) {
            const TLanes Value = Sum[I] / FSH;
            const float Line[4] = { Value[0], Value[1], Value[2], SB == 4 ? Value[3] : 0.0f };
            Put(D, DB, Line);
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
    if (Mode == smHalftone && Source->BytesPerPixel() == 4)
        DrawHalftoneOf<4>(Dest, DestRect, Source, Xs, Ys);
    else if (Mode == smHalftone)
        DrawHalftoneOf<3>(Dest, DestRect, Source, Xs, Ys);
    else
        DrawNearest(Dest, DestRect, Source, Xs, Ys);
}
