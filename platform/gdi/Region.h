// Regions: sets of pixels made of rectangles (pixman_region32), as clip
// shapes of a canvas and as GDI's region handles.
//
//     HRGN A = CreateRectRgn(0, 0, 100, 100);
//     HRGN B = CreateRoundRectRgn(50, 50, 151, 151, 9, 9);
//     CombineRgn(A, A, B, RGN_OR);
//     SelectClipRgn(Bmp->Canvas(), A);     // the canvas keeps a copy
//     DeleteObject(B);
//     DeleteObject(A);
//
// Handles are numbers never reused: a deleted or made-up handle fails
// (ERROR) instead of reaching freed memory.
#pragma once
#include "gdi/Graphic.h"
#include "win/Messages.h"
#include <pixman.h>
#include <span>

class TRegion {
public:
    TRegion();
    explicit TRegion(const TRect& R);
    // The union of the boxes, in any order.
    explicit TRegion(std::span<const pixman_box32_t> Boxes);
    TRegion(const TRegion& Other);
    TRegion& operator=(const TRegion& Other);
    ~TRegion();

    bool IsEmpty() const;
    // The box round every pixel; empty when the region is.
    TRect Extents() const;
    bool Contains(Integer X, Integer Y) const;
    // The rectangles, banded: sorted by top, then left; the rectangles of
    // one band share top and bottom.
    std::span<const pixman_box32_t> Boxes() const;
    bool operator==(const TRegion& Other) const;

    void Intersect(const TRegion& Other);
    void Unite(const TRegion& Other);
    void Subtract(const TRegion& Other);
    void Xor(const TRegion& Other);
    void Offset(Integer DX, Integer DY);

    // Calls Fn(A, B) for each piece [A, B) of row Y between X1 and X2
    // that lies in the region, left to right.
    template<class F>
    void Spans(Integer Y, Integer X1, Integer X2, F&& Fn) const
    {
        const std::span<const pixman_box32_t> B = Boxes();
        // The bands are sorted, so the first box ending below Y starts the
        // band that holds Y, if any does.
        size_t Lo = 0, Hi = B.size();
        while (Lo < Hi) {
            const size_t Mid = (Lo + Hi) / 2;
            if (B[Mid].y2 <= Y)
                Lo = Mid + 1;
            else
                Hi = Mid;
        }
        for (size_t I = Lo; I < B.size() && B[I].y1 <= Y; ++I) {
            const Integer A = B[I].x1 > X1 ? B[I].x1 : X1;
            const Integer E = B[I].x2 < X2 ? B[I].x2 : X2;
            if (A < E)
                Fn(A, E);
        }
    }

private:
    pixman_region32_t FRegion;
};

// GDI's region handles.
struct HRGN__;
using HRGN = HRGN__*;

constexpr Integer ERROR = 0;
constexpr Integer NULLREGION = 1;
constexpr Integer SIMPLEREGION = 2;
constexpr Integer COMPLEXREGION = 3;
constexpr Integer RGN_AND = 1;
constexpr Integer RGN_OR = 2;
constexpr Integer RGN_XOR = 3;
constexpr Integer RGN_DIFF = 4;
constexpr Integer RGN_COPY = 5;

// Corners are put in order first.
HRGN CreateRectRgn(Integer Left, Integer Top, Integer Right, Integer Bottom);
HRGN CreateRectRgnIndirect(const TRect& R);
// A rectangle with elliptic corners of EllipseWidth x EllipseHeight. As
// GDI makes it, the region stops one pixel short of Right and Bottom (so
// (0, 0, 11, 11) covers pixels 0..9); corners below 2 pixels are square.
HRGN CreateRoundRectRgn(Integer Left, Integer Top, Integer Right, Integer Bottom, Integer EllipseWidth,
    Integer EllipseHeight);
// Dest = Src1 op Src2 (Src2 unused for RGN_COPY); answers the kind of the
// result, or ERROR for a bad handle or mode.
Integer CombineRgn(HRGN Dest, HRGN Src1, HRGN Src2, Integer Mode);
Integer OffsetRgn(HRGN Rgn, Integer DX, Integer DY);
Integer GetRgnBox(HRGN Rgn, TRect* Box);
bool PtInRegion(HRGN Rgn, Integer X, Integer Y);
bool EqualRgn(HRGN A, HRGN B);
bool DeleteObject(HRGN Rgn);
// The region behind a handle; null for a bad one.
const TRegion* RegionOf(HRGN Rgn);
// The kind of a region: NULLREGION, SIMPLEREGION or COMPLEXREGION.
Integer RegionKind(const TRegion& R);

// The window's region: the window takes the handle over (it is deleted
// here, as the window's own copy is kept); null gives the whole window
// back. Answers 1, or 0 for a dead window.
Integer SetWindowRgn(HWND Wnd, HRGN Rgn, bool Redraw);
// Copies the window's region into Rgn; ERROR when it has none.
Integer GetWindowRgn(HWND Wnd, HRGN Rgn);

class TCanvas;
// The canvas clips to a copy of Rgn (coordinates of the bitmap); null
// removes the clip. Answers the kind of the new clip.
Integer SelectClipRgn(TCanvas* Canvas, HRGN Rgn);
// The clip becomes its meet with the rectangle (the bitmap when none).
Integer IntersectClipRect(TCanvas* Canvas, Integer Left, Integer Top, Integer Right, Integer Bottom);
