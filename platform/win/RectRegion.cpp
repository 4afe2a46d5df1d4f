#include "win/RectRegion.h"

namespace WinDetail {

void SubtractRect(const RECT& A, const RECT& B, std::vector<RECT>& Out)
{
    const RECT Cut = RectIntersection(A, B);
    if (RectEmpty(Cut)) {
        if (!RectEmpty(A))
            Out.push_back(A);
        return;
    }
    if (A.top < Cut.top)
        Out.push_back({ A.left, A.top, A.right, Cut.top });
    if (Cut.bottom < A.bottom)
        Out.push_back({ A.left, Cut.bottom, A.right, A.bottom });
    if (A.left < Cut.left)
        Out.push_back({ A.left, Cut.top, Cut.left, Cut.bottom });
    if (Cut.right < A.right)
        Out.push_back({ Cut.right, Cut.top, A.right, Cut.bottom });
}

RECT TRectRegion::Bounds() const
{
    RECT Result {};
    for (const RECT& R : FRects)
        UnionRect(&Result, &Result, &R);
    return Result;
}

bool TRectRegion::Intersects(const RECT& R) const
{
    for (const RECT& Piece : FRects)
        if (!RectEmpty(RectIntersection(Piece, R)))
            return true;
    return false;
}

bool TRectRegion::Contains(POINT P) const
{
    for (const RECT& Piece : FRects)
        if (PtInRect(&Piece, P))
            return true;
    return false;
}

void TRectRegion::Include(const RECT& R)
{
    if (RectEmpty(R))
        return;
    // Only the parts not yet covered are added, so the pieces stay disjoint.
    std::vector<RECT> Fresh { R };
    for (const RECT& Have : FRects) {
        std::vector<RECT> Left;
        for (const RECT& F : Fresh)
            SubtractRect(F, Have, Left);
        Fresh.swap(Left);
        if (Fresh.empty())
            return;
    }
    FRects.insert(FRects.end(), Fresh.begin(), Fresh.end());
    Collapse();
}

void TRectRegion::Include(const TRectRegion& Other)
{
    for (const RECT& R : Other.FRects)
        Include(R);
}

void TRectRegion::Exclude(const RECT& R)
{
    if (RectEmpty(R) || FRects.empty())
        return;
    std::vector<RECT> Left;
    for (const RECT& Have : FRects)
        SubtractRect(Have, R, Left);
    FRects.swap(Left);
    Collapse();
}

void TRectRegion::IntersectWith(const RECT& R)
{
    std::vector<RECT> Left;
    for (const RECT& Have : FRects) {
        const RECT Cut = RectIntersection(Have, R);
        if (!RectEmpty(Cut))
            Left.push_back(Cut);
    }
    FRects.swap(Left);
}

void TRectRegion::IntersectWith(const TRectRegion& Other)
{
    std::vector<RECT> Left;
    for (const RECT& Have : FRects)
        for (const RECT& O : Other.FRects) {
            const RECT Cut = RectIntersection(Have, O);
            if (!RectEmpty(Cut))
                Left.push_back(Cut);
        }
    FRects.swap(Left);
    Collapse();
}

void TRectRegion::Offset(LONG Dx, LONG Dy)
{
    for (RECT& R : FRects)
        R = RectOffset(R, Dx, Dy);
}

void TRectRegion::Collapse()
{
    if (!FExact && FRects.size() > MaxRects)
        FRects = { Bounds() };
}

}
