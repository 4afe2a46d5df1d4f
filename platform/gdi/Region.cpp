#include "gdi/Region.h"
#include "gdi/Canvas.h"
#include "win/WindowTree.h"
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

// --- region values ----------------------------------------------------------

TRegion::TRegion()
{
    pixman_region32_init(&FRegion);
}

TRegion::TRegion(const TRect& R)
{
    if (R.IsEmpty())
        pixman_region32_init(&FRegion);
    else
        pixman_region32_init_rect(&FRegion, R.Left, R.Top, unsigned(Int64(R.Right) - R.Left),
            unsigned(Int64(R.Bottom) - R.Top));
}

TRegion::TRegion(std::span<const pixman_box32_t> Boxes)
{
    pixman_region32_init_rects(&FRegion, Boxes.data(), int(Boxes.size()));
}

TRegion::TRegion(const TRegion& Other)
{
    pixman_region32_init(&FRegion);
    pixman_region32_copy(&FRegion, const_cast<pixman_region32_t*>(&Other.FRegion));
}

TRegion& TRegion::operator=(const TRegion& Other)
{
    if (this != &Other)
        pixman_region32_copy(&FRegion, const_cast<pixman_region32_t*>(&Other.FRegion));
    return *this;
}

TRegion::~TRegion()
{
    pixman_region32_fini(&FRegion);
}

bool TRegion::IsEmpty() const
{
    return !pixman_region32_not_empty(const_cast<pixman_region32_t*>(&FRegion));
}

TRect TRegion::Extents() const
{
    if (IsEmpty())
        return {};
    const pixman_box32_t* E = pixman_region32_extents(const_cast<pixman_region32_t*>(&FRegion));
    return Rect(E->x1, E->y1, E->x2, E->y2);
}

bool TRegion::Contains(Integer X, Integer Y) const
{
    return pixman_region32_contains_point(const_cast<pixman_region32_t*>(&FRegion), X, Y, nullptr);
}

std::span<const pixman_box32_t> TRegion::Boxes() const
{
    int N = 0;
    const pixman_box32_t* B = pixman_region32_rectangles(const_cast<pixman_region32_t*>(&FRegion), &N);
    return { B, size_t(N) };
}

bool TRegion::operator==(const TRegion& Other) const
{
    // pixman tells empty regions apart by where they were moved to.
    if (IsEmpty() && Other.IsEmpty())
        return true;
    return pixman_region32_equal(const_cast<pixman_region32_t*>(&FRegion),
        const_cast<pixman_region32_t*>(&Other.FRegion));
}

void TRegion::Intersect(const TRegion& Other)
{
    pixman_region32_intersect(&FRegion, &FRegion, const_cast<pixman_region32_t*>(&Other.FRegion));
}

void TRegion::Unite(const TRegion& Other)
{
    pixman_region32_union(&FRegion, &FRegion, const_cast<pixman_region32_t*>(&Other.FRegion));
}

void TRegion::Subtract(const TRegion& Other)
{
    pixman_region32_subtract(&FRegion, &FRegion, const_cast<pixman_region32_t*>(&Other.FRegion));
}

void TRegion::Xor(const TRegion& Other)
{
    TRegion Both(*this);
    Both.Intersect(Other);
    Unite(Other);
    Subtract(Both);
}

void TRegion::Offset(Integer DX, Integer DY)
{
    pixman_region32_translate(&FRegion, DX, DY);
}

Integer RegionKind(const TRegion& R)
{
    const size_t N = R.Boxes().size();
    return N == 0 ? NULLREGION : N == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// --- handles ----------------------------------------------------------------

namespace {

struct THandleTable {
    std::mutex Lock;
    std::map<uintptr_t, std::unique_ptr<TRegion>> Regions;
    uintptr_t Next = 1;
};

THandleTable& Table()
{
    static THandleTable T;
    return T;
}

HRGN Register(TRegion R)
{
    THandleTable& T = Table();
    std::lock_guard<std::mutex> Guard(T.Lock);
    const uintptr_t Id = T.Next++;
    T.Regions.emplace(Id, std::make_unique<TRegion>(std::move(R)));
    return reinterpret_cast<HRGN>(Id);
}

// Runs Fn on the regions behind the handles under the table's lock; ERROR
// when a handle is bad.
template<class F>
auto WithRegions(std::initializer_list<HRGN> Handles, F&& Fn) -> decltype(Fn(std::vector<TRegion*> {}))
{
    THandleTable& T = Table();
    std::lock_guard<std::mutex> Guard(T.Lock);
    std::vector<TRegion*> Found;
    for (HRGN H : Handles) {
        auto It = T.Regions.find(reinterpret_cast<uintptr_t>(H));
        if (It == T.Regions.end())
            return {};
        Found.push_back(It->second.get());
    }
    return Fn(Found);
}

TRect Ordered(Integer Left, Integer Top, Integer Right, Integer Bottom)
{
    return Rect(std::min(Left, Right), std::min(Top, Bottom), std::max(Left, Right), std::max(Top, Bottom));
}

} // namespace

HRGN CreateRectRgn(Integer Left, Integer Top, Integer Right, Integer Bottom)
{
    return Register(TRegion(Ordered(Left, Top, Right, Bottom)));
}

HRGN CreateRectRgnIndirect(const TRect& R)
{
    return CreateRectRgn(R.Left, R.Top, R.Right, R.Bottom);
}

HRGN CreateRoundRectRgn(Integer Left, Integer Top, Integer Right, Integer Bottom, Integer EllipseWidth,
    Integer EllipseHeight)
{
    TRect R = Ordered(Left, Top, Right, Bottom);
    // GDI's round regions stop a pixel short on the right and the bottom.
    if (!R.IsEmpty()) {
        --R.Right;
        --R.Bottom;
    }
    const Int64 W = std::min<Int64>(Int64(R.Right) - R.Left, std::llabs(Int64(EllipseWidth)));
    const Int64 H = std::min<Int64>(Int64(R.Bottom) - R.Top, std::llabs(Int64(EllipseHeight)));
    if (W < 2 || H < 2 || R.IsEmpty())
        return Register(TRegion(R));
    // Row by row: each row of the top and bottom corner bands is cut in on
    // both sides by where the corner ellipse crosses the row's centre.
    // Rows with the same cut share one rectangle, so a corner costs at most
    // its height (and never more rows than the bitmap cap).
    const Int64 Band = std::min<Int64>(H / 2, MaxGraphicSide);
    const double A = W / 2.0, B = H / 2.0;
    std::vector<pixman_box32_t> Boxes;
    auto Inset = [&](Int64 Row) {
        const double DY = B - (Row + 0.5);
        const double XExtent = A * std::sqrt(std::max(0.0, 1.0 - (DY * DY) / (B * B)));
        return Int64(std::nearbyint(A - XExtent));
    };
    auto Add = [&](Int64 Y1, Int64 Y2, Int64 In) {
        if (Y1 < Y2 && R.Left + In < R.Right - In)
            Boxes.push_back({ Integer(R.Left + In), Integer(Y1), Integer(R.Right - In), Integer(Y2) });
    };
    Int64 Start = 0;
    for (Int64 Row = 1; Row <= Band; ++Row)
        if (Row == Band || Inset(Row) != Inset(Start)) {
            Add(R.Top + Start, R.Top + Row, Inset(Start));
            Add(R.Bottom - Row, R.Bottom - Start, Inset(Start));
            Start = Row;
        }
    Add(R.Top + Band, R.Bottom - Band, 0);
    return Register(TRegion(Boxes));
}

Integer CombineRgn(HRGN Dest, HRGN Src1, HRGN Src2, Integer Mode)
{
    if (Mode == RGN_COPY)
        return WithRegions({ Dest, Src1 }, [](std::vector<TRegion*> R) {
            *R[0] = *R[1];
            return RegionKind(*R[0]);
        });
    if (Mode < RGN_AND || Mode > RGN_DIFF)
        return ERROR;
    return WithRegions({ Dest, Src1, Src2 }, [Mode](std::vector<TRegion*> R) {
        TRegion Result(*R[1]);
        switch (Mode) {
        case RGN_AND: Result.Intersect(*R[2]); break;
        case RGN_OR: Result.Unite(*R[2]); break;
        case RGN_XOR: Result.Xor(*R[2]); break;
        default: Result.Subtract(*R[2]); break;
        }
        *R[0] = Result;
        return RegionKind(*R[0]);
    });
}

Integer OffsetRgn(HRGN Rgn, Integer DX, Integer DY)
{
    return WithRegions({ Rgn }, [&](std::vector<TRegion*> R) {
        R[0]->Offset(DX, DY);
        return RegionKind(*R[0]);
    });
}

Integer GetRgnBox(HRGN Rgn, TRect* Box)
{
    return WithRegions({ Rgn }, [&](std::vector<TRegion*> R) {
        if (Box)
            *Box = R[0]->Extents();
        return RegionKind(*R[0]);
    });
}

bool PtInRegion(HRGN Rgn, Integer X, Integer Y)
{
    return WithRegions({ Rgn }, [&](std::vector<TRegion*> R) { return R[0]->Contains(X, Y); });
}

bool EqualRgn(HRGN A, HRGN B)
{
    return WithRegions({ A, B }, [](std::vector<TRegion*> R) { return *R[0] == *R[1]; });
}

bool DeleteObject(HRGN Rgn)
{
    THandleTable& T = Table();
    std::lock_guard<std::mutex> Guard(T.Lock);
    return T.Regions.erase(reinterpret_cast<uintptr_t>(Rgn)) == 1;
}

const TRegion* RegionOf(HRGN Rgn)
{
    return WithRegions({ Rgn }, [](std::vector<TRegion*> R) { return static_cast<const TRegion*>(R[0]); });
}

Integer SelectClipRgn(TCanvas* Canvas, HRGN Rgn)
{
    if (!Canvas)
        return ERROR;
    if (!Rgn) {
        Canvas->ResetClip();
        return SIMPLEREGION;
    }
    const bool Done = WithRegions({ Rgn }, [&](std::vector<TRegion*> R) {
        Canvas->SetClipRegion(*R[0]);
        return true;
    });
    return Done ? RegionKind(*Canvas->ClipRegion()) : ERROR;
}

Integer IntersectClipRect(TCanvas* Canvas, Integer Left, Integer Top, Integer Right, Integer Bottom)
{
    if (!Canvas)
        return ERROR;
    TRegion Clip = Canvas->ClipRegion() ? *Canvas->ClipRegion() : TRegion(Canvas->ClipRect());
    Clip.Intersect(TRegion(Ordered(Left, Top, Right, Bottom)));
    Canvas->SetClipRegion(Clip);
    return RegionKind(Clip);
}

Integer SetWindowRgn(HWND Wnd, HRGN Rgn, bool Redraw)
{
    if (!Rgn)
        return SetWindowShape(Wnd, nullptr, Redraw) ? 1 : 0;
    std::vector<RECT> Rects;
    WithRegions({ Rgn }, [&](std::vector<TRegion*> R) {
        for (const pixman_box32_t& B : R[0]->Boxes())
            Rects.push_back({ B.x1, B.y1, B.x2, B.y2 });
        return 0;
    });
    DeleteObject(Rgn);
    return SetWindowShape(Wnd, &Rects, Redraw) ? 1 : 0;
}

Integer GetWindowRgn(HWND Wnd, HRGN Rgn)
{
    std::vector<RECT> Rects;
    if (!GetWindowShape(Wnd, Rects))
        return ERROR;
    std::vector<pixman_box32_t> Boxes;
    for (const RECT& R : Rects)
        Boxes.push_back({ R.left, R.top, R.right, R.bottom });
    return WithRegions({ Rgn }, [&](std::vector<TRegion*> R) {
        *R[0] = TRegion(Boxes);
        return RegionKind(*R[0]);
    });
}
