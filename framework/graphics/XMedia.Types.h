// Picture sizes and the fit rules of the picture routines.
//
//     TXSize Thumb;
//     CalcBestFitSize(Thumb.Width, Thumb.Height, 640, 480, 72, 72);   // 72 x 54
#pragma once
#include "rtl/Types.h"

struct TXSize {
    Integer Width = 0;
    Integer Height = 0;

    void Create(Integer AWidth, Integer AHeight) { Width = AWidth; Height = AHeight; }
    void Clear() { Width = 0; Height = 0; }
    bool IsEmpty() const { return Width == 0 || Height == 0; }
    String ToString() const;
    friend bool operator==(const TXSize&, const TXSize&) = default;
};

// The largest size of the source's proportions inside the maximum; smaller
// sources are enlarged. A side never drops below 1 while the source has
// both sides; an empty source or maximum gives 0 x 0.
void CalcBestFitSize(Integer& W, Integer& H, Integer SrcW, Integer SrcH, Integer MaxW, Integer MaxH);
// The same, never enlarged.
void CalcDownScaledBestFitSize(Integer& W, Integer& H, Integer SrcW, Integer SrcH, Integer MaxW, Integer MaxH);
