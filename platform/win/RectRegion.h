// Internal to the window layer: an area made of disjoint rectangles, for
// update regions, clip areas of device contexts and the parts of a
// backing store that wait for the screen. Past MaxRects pieces it becomes
// its bounding box: more is painted then, never less. A clip area may not
// grow so (it would paint over windows it must leave alone): an exact
// region keeps every piece.
#pragma once
#include "win/Rects.h"
#include <vector>

namespace WinDetail {

class TRectRegion {
public:
    static constexpr size_t MaxRects = 64;

    TRectRegion() = default;
    explicit TRectRegion(const RECT& R) { Include(R); }
    static TRectRegion Exact(const RECT& R)
    {
        TRectRegion Result;
        Result.FExact = true;
        Result.Include(R);
        return Result;
    }

    bool Empty() const { return FRects.empty(); }
    const std::vector<RECT>& Rects() const { return FRects; }
    RECT Bounds() const;
    bool Intersects(const RECT& R) const;
    bool Contains(POINT P) const;

    void Clear() { FRects.clear(); }
    void Include(const RECT& R);
    void Include(const TRectRegion& Other);
    void Exclude(const RECT& R);
    void IntersectWith(const RECT& R);
    void IntersectWith(const TRectRegion& Other);
    void Offset(LONG Dx, LONG Dy);

private:
    void Collapse();
    std::vector<RECT> FRects;
    bool FExact = false;
};

// The parts of A outside B (at most four), appended to Out.
void SubtractRect(const RECT& A, const RECT& B, std::vector<RECT>& Out);

}
