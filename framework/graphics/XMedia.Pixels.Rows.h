// Byte-row kernels of the pixel routines, for every vector level. Rows are
// plain byte arrays: a blend or a saturated sum treats every byte alike, and
// a 32-bit row keeps (or clears) the fourth byte of each pixel through
// FourthByte. Internal to the pixel routines and their tests.
#pragma once
#include "graphics/XMedia.Simd.h"

namespace XPixelRows {

// What happens to every fourth byte (offsets 3, 7, ...): left as it was,
// computed like the others, or set to 0.
enum TFourth { fbKeep, fbCompute, fbZero };

// Dest[i] = (Alpha x Source[i] + (255 - Alpha) x Dest[i]) shr 8, and 255
// where both are 255.
void Blend(TXSimdLevel Level, const Byte* Source, Byte* Dest, size_t Bytes, Byte Alpha, TFourth Fourth);
// Dest[i] = min(Dest[i] + Source[i], 255), or max(Dest[i] - Source[i], 0).
void AddSaturated(TXSimdLevel Level, const Byte* Source, Byte* Dest, size_t Bytes, TFourth Fourth);
void SubtractFloored(TXSimdLevel Level, const Byte* Source, Byte* Dest, size_t Bytes, TFourth Fourth);
// 32-bit pixels: each source pixel that differs from Key (as a whole 32-bit
// value) is copied (Alpha 255, all four bytes) or blended (the fourth byte
// kept).
void Keyed32(TXSimdLevel Level, const Byte* Source, Byte* Dest, Integer Pixels, Cardinal Key, Byte Alpha);
// The blur along a row of 4-byte pixels: Out[k] = round(sum over i = -R..R
// of Weights[i + R] x Padded[k + 4 (R - i)]), the row padded with R edge
// pixels on both sides and given as doubles (Bytes + 8R of them). Loads
// are shared by neighbouring outputs; each keeps its own order. AVX2 and up;
// false (nothing done) below.
bool BlurRow4(TXSimdLevel Level, const double* Padded, const double* Weights, Integer R, Byte* Out, size_t Bytes);
// Count bytes as doubles.
void BytesToDoubles(TXSimdLevel Level, const Byte* Source, double* Dest, size_t Count);
// Count 3-byte pixels widened to 4 bytes, the fourth byte 0.
void Widen24(TXSimdLevel Level, const Byte* Source, Byte* Dest, Integer Count);
// Out[i] = round(sum over t of Weights[t] x Rows[t][i]) in double, summed
// in t order, clamped to 0..255.
void WeightedSum(TXSimdLevel Level, const Byte* const* Rows, const double* Weights, Integer Taps, Byte* Out,
    size_t Bytes);
// WeightedSum for Count (at most 8) outputs at once that share their rows:
// Rows holds Count + Taps - 1 rows, and output o takes rows
// Count - 1 - o .. Count - 2 - o + Taps with Weights[0..Taps-1]. Each row is
// read once for all outputs; every output keeps its own order.
void WeightedSumShared(TXSimdLevel Level, const Byte* const* Rows, const double* Weights, Integer Taps,
    Byte* const* Outs, Integer Count, size_t Bytes);

}
