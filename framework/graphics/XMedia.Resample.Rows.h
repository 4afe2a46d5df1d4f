// The two passes of the separable resampler on rows of 4-byte pixels, for
// every vector level. Each output byte is the single-precision sum, in slot
// order, of weight x source byte, rounded (ties to even) and clamped to
// 0..255. Internal to the resampler and its tests.
#pragma once
#include "graphics/XMedia.Simd.h"
#include <vector>

class TXPixWeightMap;

namespace XResampleRows {

// A weight map laid out for the horizontal pass: Slots taps per
// destination pixel, the unused ones padded with weight 0 on a valid index.
struct TTaps {
    Integer Count = 0; // destination pixels
    Integer Slots = 0;
    std::vector<Integer> Index; // Count x Slots, pixel-major
    std::vector<float> Weight;
    std::vector<Integer> Last; // the last used tap's index (-1: none)

    // Columns First .. First + Columns - 1 of Map (all of them for -1).
    void From(const TXPixWeightMap& Map, Integer First = 0, Integer Columns = -1);
};

// Destination row from a source row. CarryFourth: the fourth byte of each
// pixel is that of the last source pixel read instead of a filtered one.
void Horizontal(TXSimdLevel Level, const Byte* Source, Byte* Dest, const TTaps& Taps, bool CarryFourth);
// How many source rows the level's horizontal pass takes at once (1: one
// row at a time).
Integer BlockRows(TXSimdLevel Level);
// Horizontal for Count (at most BlockRows) rows at once: across the rows,
// one pixel of every row per vector lane, so each destination pixel's taps
// are plain loads. The source rows have pixels of SourceBytes bytes: 4, or
// 3 read as if widened with a fourth byte of 0. Scratch is reused between
// calls.
void HorizontalBlock(TXSimdLevel Level, const Byte* const* Sources, Integer SourceBytes, Byte* const* Dests,
    Integer Count, Integer SourceWidth, const TTaps& Taps, bool CarryFourth, std::vector<float>& Scratch);
// Bytes bytes of a destination row from Count rows, each weighted; the
// fourth byte of each pixel from CarryRow when it is given.
void Vertical(TXSimdLevel Level, const Byte* const* Rows, const float* Weights, Integer Count, Byte* Dest, size_t Bytes,
    const Byte* CarryRow);

// One destination row of a shared vertical pass: its taps are the union
// rows First .. First + Count - 1, in that order.
struct TSharedRow {
    Integer First = 0;
    Integer Count = 0;
    const float* Weights = nullptr;
    Byte* Dest = nullptr;
    const Byte* CarryRow = nullptr;
};
// Vertical for several destination rows whose taps are runs of one list of
// rows: each row is read and turned into floats once for all of them.
// Scratch is reused between calls.
void VerticalShared(TXSimdLevel Level, const Byte* const* Union, const TSharedRow* Outs, Integer OutCount, size_t Bytes,
    std::vector<float>& Scratch);

}
