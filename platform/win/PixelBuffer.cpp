#include "win/PixelBuffer.h"
#include "win/Rects.h"
#include <algorithm>
#include <atomic>
#include <cstring>

void TPixelBuffer::SetSize(Integer AWidth, Integer AHeight)
{
    AWidth = std::max(AWidth, 0);
    AHeight = std::max(AHeight, 0);
    if (AWidth == FWidth && AHeight == FHeight)
        return;
    std::vector<Cardinal> Pixels(size_t(AWidth) * AHeight, 0x00FFFFFFu);
    const Integer W = std::min(AWidth, FWidth), H = std::min(AHeight, FHeight);
    for (Integer Y = 0; Y < H; ++Y)
        std::memcpy(Pixels.data() + size_t(Y) * AWidth, FPixels.data() + size_t(Y) * FWidth, size_t(W) * 4);
    FPixels.swap(Pixels);
    FWidth = AWidth;
    FHeight = AHeight;
}

void CopyPixels(const TPixelBuffer& From, const RECT& Source, TPixelBuffer& To, Integer X, Integer Y)
{
    RECT S = RectIntersection(Source, { 0, 0, From.Width(), From.Height() });
    if (RectEmpty(S))
        return;
    // Where S lands, cut to the target.
    RECT D = RectOffset(S, X - Source.left, Y - Source.top);
    const RECT Cut = RectIntersection(D, { 0, 0, To.Width(), To.Height() });
    if (RectEmpty(Cut))
        return;
    S = RectOffset(Cut, Source.left - X, Source.top - Y);
    const size_t Bytes = size_t(RectWidth(Cut)) * 4;
    for (Integer Row = 0; Row < RectHeight(Cut); ++Row)
        std::memcpy(To.ScanLine(Cut.top + Row) + size_t(Cut.left) * 4, From.ScanLine(S.top + Row) + size_t(S.left) * 4,
            Bytes);
}
