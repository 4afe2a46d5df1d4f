#include "win/Rects.h"
#include <algorithm>

bool SetRect(RECT* Rect, LONG Left, LONG Top, LONG Right, LONG Bottom)
{
    if (!Rect)
        return false;
    *Rect = { Left, Top, Right, Bottom };
    return true;
}

bool SetRectEmpty(RECT* Rect)
{
    return SetRect(Rect, 0, 0, 0, 0);
}

bool IsRectEmpty(const RECT* Rect)
{
    return !Rect || RectEmpty(*Rect);
}

bool EqualRect(const RECT* A, const RECT* B)
{
    return A && B && *A == *B;
}

bool PtInRect(const RECT* Rect, POINT Point)
{
    return Rect && Point.x >= Rect->left && Point.x < Rect->right && Point.y >= Rect->top && Point.y < Rect->bottom;
}

bool OffsetRect(RECT* Rect, LONG Dx, LONG Dy)
{
    if (!Rect)
        return false;
    *Rect = RectOffset(*Rect, Dx, Dy);
    return true;
}

bool InflateRect(RECT* Rect, LONG Dx, LONG Dy)
{
    if (!Rect)
        return false;
    Rect->left -= Dx;
    Rect->top -= Dy;
    Rect->right += Dx;
    Rect->bottom += Dy;
    return true;
}

RECT RectIntersection(const RECT& A, const RECT& B)
{
    RECT R { std::max(A.left, B.left), std::max(A.top, B.top), std::min(A.right, B.right),
        std::min(A.bottom, B.bottom) };
    return RectEmpty(R) ? RECT {} : R;
}

RECT RectOffset(RECT R, LONG Dx, LONG Dy)
{
    R.left += Dx;
    R.right += Dx;
    R.top += Dy;
    R.bottom += Dy;
    return R;
}

bool IntersectRect(RECT* Dest, const RECT* A, const RECT* B)
{
    if (!Dest || !A || !B)
        return false;
    *Dest = RectIntersection(*A, *B);
    return !RectEmpty(*Dest);
}

bool UnionRect(RECT* Dest, const RECT* A, const RECT* B)
{
    if (!Dest || !A || !B)
        return false;
    if (RectEmpty(*A))
        *Dest = RectEmpty(*B) ? RECT {} : *B;
    else if (RectEmpty(*B))
        *Dest = *A;
    else
        *Dest = { std::min(A->left, B->left), std::min(A->top, B->top), std::max(A->right, B->right),
            std::max(A->bottom, B->bottom) };
    return !RectEmpty(*Dest);
}
