// The Gaussian blur: a separable kernel cut where its tails hold less than
// 1/510 of the weight, applied along rows and then along columns. Edge
// pixels repeat. Sums are taken in double in offset order from -r to r,
// rounded (ties to even) and clamped.
//
// Both passes work on whole rows of bytes, each byte being one channel of
// one pixel: along a row the tap for offset i is the row shifted by i
// pixels (the row is first padded with its edge pixels), down the columns
// it is another row. So the vector paths compute many pixels at once with
// each pixel's products and order unchanged.
#include "graphics/XMedia.Pixels.h"
#include "graphics/XMedia.Pixels.Rows.h"
#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

std::mutex GKernelLock;
TXGaussKernel GKernel;
constexpr double TailThreshold = 1.0 / 510;

void Normalise(TXGaussKernel& K, Integer Radius)
{
    double Sum = 0;
    for (Integer I = -Radius; I <= Radius; ++I)
        Sum += K.Weight(I);
    const double Inv = 1 / Sum;
    for (Integer I = -Radius; I <= Radius; ++I)
        K.Weights[I + 100] = float(K.Weight(I) * Inv);
}

bool Build(double Sigma)
{
    if (!(Sigma > 0) || !std::isfinite(Sigma) || Sigma == GKernel.Sigma)
        return false;
    GKernel.Sigma = Sigma;
    for (Integer I = -100; I <= 100; ++I) {
        const double T = I / Sigma;
        GKernel.Weights[I + 100] = float(std::exp(-T * T * 0.5));
    }
    Normalise(GKernel, 100);
    Integer R = 100;
    double S = 0;
    while (S < TailThreshold && R > 1) {
        S = S + 2 * double(GKernel.Weight(R));
        --R;
    }
    GKernel.Radius = Byte(R);
    Normalise(GKernel, R);
    return true;
}

} // namespace

const TXGaussKernel& XGaussKernel()
{
    return GKernel;
}

bool BuildGaussKernel(double Sigma)
{
    std::lock_guard<std::mutex> Guard(GKernelLock);
    return Build(Sigma);
}

void GaussianBlur(TBitmap* Bitmap, double Sigma)
{
    if (!Bitmap || Bitmap->Empty() || !(Sigma > 0) || !std::isfinite(Sigma))
        return;
    if (Bitmap->PixelFormat() != pf32bit)
        Bitmap->SetPixelFormat(pf24bit);
    // The kernel is shared; one blur at a time uses it.
    std::lock_guard<std::mutex> Guard(GKernelLock);
    Build(Sigma);
    const Integer R = GKernel.Radius, Taps = 2 * R + 1;
    std::vector<double> Weights(static_cast<size_t>(Taps));
    for (Integer I = -R; I <= R; ++I)
        Weights[size_t(I + R)] = GKernel.Weight(I);
    const Integer W = Bitmap->Width(), H = Bitmap->Height(), Bpp = Bitmap->BytesPerPixel();
    const size_t RowBytes = size_t(W) * Bpp;
    const bool Keep = Bpp == 4;
    const TXSimdLevel Level = XSimdLevel();
    std::vector<const Byte*> Rows(static_cast<size_t>(Taps));
    std::vector<Byte> Out(RowBytes);
    auto Store = [&](Byte* Row) {
        if (!Keep) {
            std::memcpy(Row, Out.data(), RowBytes);
            return;
        }
        // Only blue, green and red are written; the fourth byte stays.
        for (size_t B = 0; B < RowBytes; B += 4)
            std::memcpy(Row + B, Out.data() + B, 3);
    };

    // Along the rows: the row padded with R edge pixels on each side; the
    // tap of offset i (source b - i) starts R - i pixels into it.
    std::vector<Byte> Padded(size_t(W + 2 * R) * Bpp);
    std::vector<double> PaddedDoubles(Bpp == 4 ? Padded.size() : 0);
    for (Integer Y = 0; Y < H; ++Y) {
        Byte* Row = Bitmap->ScanLine(Y);
        for (Integer X = 0; X < R; ++X) {
            std::memcpy(&Padded[size_t(X) * Bpp], Row, size_t(Bpp));
            std::memcpy(&Padded[size_t(R + W + X) * Bpp], Row + RowBytes - Bpp, size_t(Bpp));
        }
        std::memcpy(&Padded[size_t(R) * Bpp], Row, RowBytes);
        if (Bpp == 4) {
            XPixelRows::BytesToDoubles(Level, Padded.data(), PaddedDoubles.data(), Padded.size());
            if (XPixelRows::BlurRow4(Level, PaddedDoubles.data(), Weights.data(), R, Out.data(), RowBytes)) {
                Store(Row);
                continue;
            }
        }
        for (Integer I = -R; I <= R; ++I)
            Rows[size_t(I + R)] = &Padded[size_t(R - I) * Bpp];
        XPixelRows::WeightedSum(Level, Rows.data(), Weights.data(), Taps, Out.data(), RowBytes);
        Store(Row);
    }

    // Down the columns, in place, Block rows at a time (each source row is
    // read once for all of them): rows above the block are kept unblurred
    // in a ring of R + Block rows before they are overwritten.
    constexpr Integer Block = 8;
    const Integer Ring = R + Block;
    std::vector<Byte> Saved(size_t(Ring) * RowBytes);
    std::vector<Byte> Outs(size_t(Block) * RowBytes);
    std::vector<Byte*> OutRows(static_cast<size_t>(Block));
    std::vector<const Byte*> Shared(static_cast<size_t>(Taps + Block - 1));
    for (Integer Y = 0; Y < H; Y += Block) {
        const Integer Count = std::min(Block, H - Y), Last = Y + Count - 1;
        for (Integer K = Y; K <= Last; ++K)
            std::memcpy(&Saved[size_t(K % Ring) * RowBytes], Bitmap->ScanLine(K), RowBytes);
        // Source rows from Last + R down to Y - R: output Y + o takes rows
        // Y + o + R down to Y + o - R, that is offsets -R..R in order.
        for (Integer T = 0; T < Count + Taps - 1; ++T) {
            const Integer Row = std::clamp(Last + R - T, 0, H - 1);
            Shared[size_t(T)] = Row <= Last ? &Saved[size_t(Row % Ring) * RowBytes] : Bitmap->ScanLine(Row);
        }
        for (Integer O = 0; O < Count; ++O)
            OutRows[size_t(O)] = &Outs[size_t(O) * RowBytes];
        XPixelRows::WeightedSumShared(Level, Shared.data(), Weights.data(), Taps, OutRows.data(), Count, RowBytes);
        for (Integer O = 0; O < Count; ++O) {
            std::memcpy(Out.data(), OutRows[size_t(O)], RowBytes);
            Store(Bitmap->ScanLine(Y + O));
        }
    }
}
