// Internal to the window layer: an area made of disjoint rectangles, for
// update regions, clip areas of device contexts and the parts of a
// picture that wait to be composed. Past MaxRects pieces it becomes its
// bounding box: more is painted then, never less.
#pragma once
#include "win/Rects.h"
#include <vector>

namespace WinDetail {

class TRectRegion {
public:
    static constexpr size_t MaxRects = 64;

    TRectRegion() = default;
    explicit TRectRegion(const RECT& R) { Include(R); }

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
};

// The parts of A outside B (at most four), appended to Out.
void SubtractRect(const RECT& A, const RECT& B, std::vector<RECT>& Out);

}
