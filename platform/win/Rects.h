// Rectangle and point routines of the window layer. Right and bottom are
// exclusive; a rectangle whose right or bottom is not beyond its left or
// top is empty.
#pragma once
#include "win/Messages.h"

bool SetRect(RECT* Rect, LONG Left, LONG Top, LONG Right, LONG Bottom);
bool SetRectEmpty(RECT* Rect);
bool IsRectEmpty(const RECT* Rect);
bool EqualRect(const RECT* A, const RECT* B);
bool PtInRect(const RECT* Rect, POINT Point);
bool OffsetRect(RECT* Rect, LONG Dx, LONG Dy);
bool InflateRect(RECT* Rect, LONG Dx, LONG Dy);
// The common part; empty (and false) when there is none.
bool IntersectRect(RECT* Dest, const RECT* A, const RECT* B);
// The smallest rectangle holding both; an empty one adds nothing.
bool UnionRect(RECT* Dest, const RECT* A, const RECT* B);

// Value forms of the same, for the layer's own code.
inline bool RectEmpty(const RECT& R)
{
    return R.right <= R.left || R.bottom <= R.top;
}
RECT RectIntersection(const RECT& A, const RECT& B);
RECT RectOffset(RECT R, LONG Dx, LONG Dy);
inline LONG RectWidth(const RECT& R)
{
    return R.right - R.left;
}
inline LONG RectHeight(const RECT& R)
{
    return R.bottom - R.top;
}
