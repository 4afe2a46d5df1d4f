// Coverage masks of filled and stroked shapes, rasterised by cairo without
// antialiasing: a byte per pixel over a bounding box, 0 (outside) or not 0.
// Coordinates are bitmap pixels; a pixel is inside when its centre is.
#pragma once
#include "gdi/Graphic.h"
#include <span>
#include <vector>

class TCoverageMask {
public:
    // Only pixels inside Bounds are ever set, so the mask costs at most
    // Bounds' area whatever the shape's coordinates.
    explicit TCoverageMask(const TRect& Bounds)
        : FBounds(Bounds)
    { }

    // The polygon through Points, alternate (even-odd) filling.
    void FillPolygon(std::span<const TPoint> Points);
    // A line of Width pixels through the centres of Points' pixels, with
    // round caps and joins; Closed joins the last point to the first.
    void StrokePolyline(std::span<const TPoint> Points, Integer Width, bool Closed);

    const TRect& Bounds() const { return FBounds; }
    // The box around the set pixels (empty when there are none) and one
    // row of the mask, Bounds().Width() bytes.
    const TRect& Used() const { return FUsed; }
    const Byte* Row(Integer Y) const { return &FBits[size_t(Y - FBounds.Top) * size_t(FStride)]; }

private:
    template<class F>
    void Render(double Left, double Top, double Right, double Bottom, F&& Draw);
    TRect FBounds;
    TRect FUsed;
    Integer FStride = 0;
    std::vector<Byte> FBits;
};
