#include "graphics/XMedia.Resample.h"
#include "gdi/Bitmap.h"
#include "gdi/JpegImage.h"
#include "gdi/PngImage.h"
#include "graphics/XMedia.ObjectCache.h"
#include "graphics/XMedia.Resample.Rows.h"
#include "graphics/XMedia.WeightCache.h"
#include "rtl/Units.h"
#include "rtl/Verify.h"
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>

X_REGISTER_CLASS(TXFilterKernel)
X_REGISTER_CLASS(TXSizableFilterKernel)
X_REGISTER_CLASS(TXLanczosKernel)
X_REGISTER_CLASS(TXPixWeightMap)

// --- kernels ----------------------------------------------------------------

void TXFilterKernel::Init()
{
    inherited::Init();
    FRadius = 1.0f;
}

bool TXFilterKernel::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXFilterKernel>(Source)) {
        SetRadius(Other->Radius());
        return true;
    }
    return inherited::AssignFrom(Source);
}

void TXSizableFilterKernel::Init()
{
    inherited::Init();
    FRadius = 3.0f;
}

void TXSizableFilterKernel::Clear()
{
    inherited::Clear();
    FRadius = 3.0f;
}

void TXSizableFilterKernel::SetRadius(float Value)
{
    FRadius = Value > 4 ? 4.0f : (Value == 0 ? 1.0f : Value);
}

double TXLanczosKernel::Filter(float X) const
{
    if (X == 0)
        return 1;
    if (std::fabs(X) >= FRadius)
        return 0;
    const float Pi = 3.14159265358979f;
    const float A = std::fabs(X) * Pi;
    const double R = FRadius;
    return std::sin(double(A)) * R * std::sin(A / R) / (double(A) * A);
}

// --- weight maps -------------------------------------------------------------

void TXPixWeightMap::Clear()
{
    inherited::Clear();
    FCounts.clear();
}

void TXPixWeightMap::Allocate()
{
    inherited::Allocate();
    FCounts.assign(size_t(Size().Width), 0);
}

void TXPixWeightMap::CopyData(TXDataMap<TXPixWeight>* Source)
{
    inherited::CopyData(Source);
    if (auto* Other = DynamicCast<TXPixWeightMap>(Source))
        FCounts = Other->FCounts;
}

namespace {

// Reflects J into 0..Count-1: below 0 about the first pixel (-1 reads 1),
// from Count on about the gap after the last (Count reads Count-1), as
// often as it takes for reaches of more than one source width.
Integer Reflect(Int64 J, Integer Count)
{
    while (J < 0 || J >= Count) {
        if (J < 0)
            J = -J;
        if (J >= Count)
            J = 2 * Int64(Count) - 1 - J;
        if (Count == 1)
            return 0;
    }
    return Integer(J);
}

} // namespace

void BuildWeightMap(TXPixWeightMap* Map, Integer DestCount, Integer SourceCount, bool Centred,
    const TXFilterKernel* Kernel)
{
    Map->Clear();
    if (DestCount < 2 || SourceCount < 2 || !Kernel)
        return;
    const float S = Centred ? float(DestCount) / float(SourceCount) : float(DestCount - 1) / float(SourceCount - 1);
    const float C = 1.0f / S;
    const bool Enlarging = S >= 1;
    const float E = Enlarging ? Kernel->Radius() : Kernel->Radius() * C;
    // A radius that is negative or not finite gives no weights at all.
    if (!std::isfinite(E) || E < 0)
        return;
    const Integer Slots = Integer(std::trunc(2 * E + 1));
    Map->SetSize(DestCount, Slots);
    for (Integer I = 0; I < DestCount; ++I) {
        const float H = float(I) * C;
        const Int64 First = Int64(std::floor(H - E)), Last = Int64(std::ceil(H + E));
        float Sum = 0;
        Integer Used = 0;
        for (Int64 J = First; J <= Last && Used < Slots; ++J) {
            const float D = H - float(J);
            const float W = Enlarging ? float(Kernel->Filter(D)) : float(double(S) * Kernel->Filter(S * D));
            if (W == 0)
                continue;
            Map->Rows(Used)[I] = { Reflect(J, SourceCount), W };
            ++Used;
            Sum += W;
        }
        Map->Counts()[size_t(I)] = Used;
        if (Sum != 0 && Sum != 1) {
            const float Inv = 1.0f / Sum;
            for (Integer K = 0; K < Used; ++K)
                Map->Rows(K)[I].Weight *= Inv;
        }
    }
}

// --- the shared kernel and weight cache ---------------------------------------

namespace {

TOwnedPtr<TXLanczosKernel> GLanczos;
std::unique_ptr<TXWeightMapCache> GCache;

void BuildEntry(const TXWeightMapKey& Key, TXWeightMapProvider& Provider, const TXFilterKernel* Kernel)
{
    TOwnedPtr<TXPixWeightMap> Map(MakeOwned<TXPixWeightMap>());
    BuildWeightMap(Map.get(), Key.Size.Width, Key.Size.Height, false, Kernel);
    Provider = TXWeightMapProvider(New<TXManagedObjectContainer<TXPixWeightMap>>(Map.release()));
}

void InitResample()
{
    GLanczos = MakeOwned<TXLanczosKernel>();
    GLanczos->SetRadius(3.0f);
    GCache = std::make_unique<TXWeightMapCache>();
    // Without a kernel of the caller's, the cache builds with the shared one.
    GCache->Create(6,
        [](const TXWeightMapKey& Key, TXWeightMapProvider& Provider) { BuildEntry(Key, Provider, GLanczos.get()); });
}

void DoneResample()
{
    GCache.reset();
    GLanczos.reset();
}

X_UNIT(XMedia_Resample, "XMedia.Resample", { "XCore.Classes" }, &InitResample, &DoneResample)

} // namespace

TXLanczosKernel* XLanczosKernel()
{
    X_VERIFY(GLanczos, "the resampling unit is not initialised");
    return GLanczos.get();
}

TXWeightMapCache* XWeightMapCache()
{
    X_VERIFY(GCache, "the resampling unit is not initialised");
    return GCache.get();
}

bool TXWeightMapKey::operator==(const TXWeightMapKey& Other) const
{
    return Size == Other.Size && KernelClass == Other.KernelClass &&
        std::bit_cast<Cardinal>(Radius) == std::bit_cast<Cardinal>(Other.Radius);
}

TXWeightMapProvider FetchWeightMap(Integer DestCount, Integer SourceCount, const TXFilterKernel* Kernel)
{
    const TXWeightMapKey Key { { DestCount, SourceCount }, Kernel->ClassType(), Kernel->Radius() };
    TXWeightMapProvider Provider;
    XWeightMapCache()->Fetch(Key, Provider,
        [Kernel](const TXWeightMapKey& K, TXWeightMapProvider& P) { BuildEntry(K, P, Kernel); });
    return Provider;
}

// --- the separable resampler ---------------------------------------------------

namespace {

constexpr Integer SourceRowsKept = 16;

// The picture the resampler reads: rows of 4-byte pixels (or 3-byte ones,
// read with a fourth byte of 0), asked for in any order, but never more
// than a band of rows above the lowest row asked for so far; a row's
// pointer stays valid for the next SourceRowsKept rows asked for, so a
// block of rows can be read at once.
struct TResampleSource {
    TResampleSource(Integer AWidth, Integer AHeight, Integer ABytes, std::function<const Byte*(Integer Y)> ARow)
        : Width(AWidth)
        , Height(AHeight)
        , Bytes(ABytes)
        , Row(std::move(ARow))
    { }
    Integer Width, Height;
    Integer Bytes;
    std::function<const Byte*(Integer Y)> Row;
    // Told once, before the first row, how many rows the band holds (the
    // lowest row asked for so far counts as one).
    std::function<void(Integer Band)> Prepare;
};

// What the resampler makes: the part Window of a Width x Height result,
// rows numbered from Window's top. A row is made where Row says (Window's
// width of 4-byte pixels), or without Row in a buffer of the resampler's,
// and then handed to Put when there is one. CarryFourth: the fourth byte of
// each pixel is that of the last source pixel read instead of a filtered
// one.
struct TResampleTarget {
    TResampleTarget(Integer AWidth, Integer AHeight, const TRect& AWindow)
        : Width(AWidth)
        , Height(AHeight)
        , Window(AWindow)
    { }
    Integer Width, Height;
    TRect Window;
    std::function<Byte*(Integer Y)> Row;
    std::function<void(Integer Y, const Byte* Row)> Put;
    bool CarryFourth = false;
};

// Resamples rows of 4-byte pixels. Intermediate rows are kept in a ring
// just large enough for one destination row's taps (and one block of
// rows of the horizontal pass), each computed once while the taps move
// down the source.
void Resample4(const TResampleSource& Source, const TResampleTarget& Target, const TXFilterKernel* Kernel)
{
    const Integer SW = Source.Width, SH = Source.Height, DW = Target.Width, DH = Target.Height;
    const TRect& Window = Target.Window;
    const bool CarryFourth = Target.CarryFourth;
    const TXWeightMapProvider HProvider = FetchWeightMap(DW, SW, Kernel);
    const TXWeightMapProvider VProvider = FetchWeightMap(DH, SH, Kernel);
    const TXPixWeightMap& VMap = *VProvider->GetContent();
    XResampleRows::TTaps Taps;
    Taps.From(*HProvider->GetContent(), Window.Left, Window.Width());
    const TXSimdLevel Level = XSimdLevel();
    const Integer Block = XResampleRows::BlockRows(Level);
    const Integer Slots = VMap.Size().Height;
    auto Index = [&](Integer Y, Integer K) { return VMap.Rows(K)[Y].Index; };
    auto Count = [&](Integer Y) { return VMap.Counts()[size_t(Y)]; };
    // Destination rows whose taps are runs of consecutive source rows go in
    // groups of up to 8 that read their shared rows once; any other row
    // (reflections at the edges) goes alone.
    auto IsRun = [&](Integer Y) {
        for (Integer K = 1; K < Count(Y); ++K)
            if (Index(Y, K) != Index(Y, 0) + K)
                return false;
        return Count(Y) > 0;
    };
    const Integer MaxGroup = Level >= xslAVX2 ? 8 : 1;
    struct TGroup {
        Integer First, Size, Lo, Hi;
    };
    std::vector<TGroup> Groups;
    Integer Span = 1;
    for (Integer Y = Window.Top; Y < Window.Bottom;) {
        TGroup G { Y, 1, SH, -1 };
        for (Integer K = 0; K < Count(Y); ++K) {
            G.Lo = std::min(G.Lo, Index(Y, K));
            G.Hi = std::max(G.Hi, Index(Y, K));
        }
        if (IsRun(Y))
            while (G.Size < MaxGroup && Y + G.Size < Window.Bottom && IsRun(Y + G.Size)) {
                const Integer Next = Y + G.Size;
                G.Lo = std::min(G.Lo, Index(Next, 0));
                G.Hi = std::max(G.Hi, Index(Next, Count(Next) - 1));
                ++G.Size;
            }
        Span = std::max(Span, G.Hi - G.Lo + 1);
        Groups.push_back(G);
        Y += G.Size;
    }
    // The rows of one group and a block from any of them on fall in
    // distinct slots.
    const Integer Ring = Span + Block - 1;
    const size_t RowBytes = size_t(Window.Width()) * 4;
    std::vector<Byte> Band(size_t(Ring) * RowBytes);
    std::vector<Integer> Held(size_t(Ring), -1);
    std::vector<const Byte*> Rows(size_t(std::max(Slots, 1)));
    std::vector<float> Weights(Rows.size() * size_t(MaxGroup));
    std::vector<Byte> Out(Target.Row ? 0 : RowBytes * size_t(MaxGroup));
    auto OutRow = [&](Integer Y, Integer O) {
        return Target.Row ? Target.Row(Y - Window.Top) : Out.data() + size_t(O) * RowBytes;
    };
    auto Put = [&](Integer Y, const Byte* Row) {
        if (Target.Put)
            Target.Put(Y - Window.Top, Row);
    };
    // Rows are asked for from a group's lowest tap row on, and at most a
    // block past the highest so far.
    if (Source.Prepare)
        Source.Prepare(Ring);
    std::vector<float> Scratch, Pieces;
    std::vector<const Byte*> Sources(static_cast<size_t>(Block));
    std::vector<Byte*> Dests(static_cast<size_t>(Block));
    std::vector<const Byte*> Union(static_cast<size_t>(Span));
    XResampleRows::TSharedRow Shared[8];
    auto SlotRow = [&](Integer I) { return Band.data() + size_t(I % Ring) * RowBytes; };
    auto Need = [&](Integer I) {
        if (Held[size_t(I % Ring)] == I)
            return;
        const Integer N = std::min(Block, SH - I);
        for (Integer R = 0; R < N; ++R) {
            Sources[size_t(R)] = Source.Row(I + R);
            Dests[size_t(R)] = SlotRow(I + R);
            Held[size_t((I + R) % Ring)] = I + R;
        }
        XResampleRows::HorizontalBlock(Level, Sources.data(), Source.Bytes, Dests.data(), N, SW, Taps, CarryFourth,
            Scratch);
    };
    for (const TGroup& G : Groups) {
        if (G.Size == 1) {
            const Integer Y = G.First, N = Count(Y);
            for (Integer K = 0; K < N; ++K) {
                Need(Index(Y, K));
                Rows[size_t(K)] = SlotRow(Index(Y, K));
                Weights[size_t(K)] = VMap.Rows(K)[Y].Weight;
            }
            Byte* const Dest = OutRow(Y, 0);
            if (N > 0)
                XResampleRows::Vertical(Level, Rows.data(), Weights.data(), N, Dest, RowBytes,
                    CarryFourth ? Rows[size_t(N - 1)] : nullptr);
            else
                std::fill_n(Dest, RowBytes, Byte(0));
            Put(Y, Dest);
            continue;
        }
        for (Integer I = G.Lo; I <= G.Hi; ++I) {
            Need(I);
            Union[size_t(I - G.Lo)] = SlotRow(I);
        }
        for (Integer O = 0; O < G.Size; ++O) {
            const Integer Y = G.First + O;
            float* W = &Weights[size_t(O) * Rows.size()];
            for (Integer K = 0; K < Count(Y); ++K)
                W[K] = VMap.Rows(K)[Y].Weight;
            Shared[O] = { Index(Y, 0) - G.Lo, Count(Y), W, OutRow(Y, O),
                CarryFourth ? Union[size_t(Index(Y, Count(Y) - 1) - G.Lo)] : nullptr };
        }
        XResampleRows::VerticalShared(Level, Union.data(), Shared, G.Size, RowBytes, Pieces);
        for (Integer O = 0; O < G.Size; ++O)
            Put(G.First + O, Shared[O].Dest);
    }
}

// The picture's pixels as rows of B, G, R, A: a PNG picture's colour and
// alpha lines (255 without alpha), any other picture drawn opaque.
class TRgbaRows {
public:
    explicit TRgbaRows(TGraphic* Source)
    {
        if (auto* Png = DynamicCast<TPngImage>(Source)) {
            FPng = Png;
        } else {
            FBitmap = MakeOwned<TBitmap>();
            FBitmap->Assign(Source);
        }
        FRows.resize(size_t(Width()) * 4 * SourceRowsKept);
    }
    Integer Width() const { return FPng ? FPng->Width() : FBitmap->Width(); }
    Integer Height() const { return FPng ? FPng->Height() : FBitmap->Height(); }
    const Byte* Row(Integer Y)
    {
        const Integer W = Width();
        Byte* const Start = FRows.data() + size_t(Y % SourceRowsKept) * size_t(W) * 4;
        Byte* D = Start;
        if (FPng) {
            const Byte* S = FPng->Scanline(Y);
            const Byte* A = FPng->AlphaScanline(Y);
            for (Integer X = 0; X < W; ++X, S += 3, D += 4) {
                D[0] = S[0];
                D[1] = S[1];
                D[2] = S[2];
                D[3] = A ? A[X] : 255;
            }
        } else {
            const Byte* S = FBitmap->ScanLine(Y);
            const Integer Bpp = FBitmap->BytesPerPixel();
            for (Integer X = 0; X < W; ++X, S += Bpp, D += 4) {
                D[0] = S[0];
                D[1] = S[1];
                D[2] = S[2];
                D[3] = 255;
            }
        }
        return Start;
    }

private:
    TPngImage* FPng = nullptr;
    TOwnedPtr<TBitmap> FBitmap;
    std::vector<Byte> FRows; // the last SourceRowsKept rows
};

void PutPngRow(TPngImage* Dest, Integer Y, const Byte* Row)
{
    Byte* D = Dest->Scanline(Y);
    Byte* A = Dest->AlphaScanline(Y);
    for (Integer X = 0; X < Dest->Width(); ++X, Row += 4, D += 3) {
        D[0] = Row[0];
        D[1] = Row[1];
        D[2] = Row[2];
        A[X] = Row[3];
    }
}

// A bitmap's rows as they are.
TResampleSource BitmapSource(const TBitmap* Source)
{
    return TResampleSource(Source->Width(), Source->Height(), Source->BytesPerPixel(),
        [Source](Integer Y) { return Source->ScanLine(Y); });
}

// A JPEG picture's rows decoded as the resampler asks for them, kept in a
// ring as deep as the resampler's band and a block more.
class TJpegRows {
public:
    explicit TJpegRows(const TJPEGImage* Image)
        : FImage(Image)
        , FDecoder(std::make_unique<TJPEGRowDecoder>(Image))
    { }
    Integer Width() const { return FDecoder->Width(); }
    Integer Height() const { return FDecoder->Height(); }
    void Prepare(Integer Band)
    {
        FKeep = std::min(Height(), Band + SourceRowsKept);
        FRing.resize(size_t(FKeep) * size_t(Width()) * 3);
    }
    const Byte* Row(Integer Y)
    {
        X_VERIFY(!FRing.empty(), "the JPEG rows are read before their band is known");
        // A row that has left the ring (the band says it will not) is
        // decoded again from the start.
        if (Y < FDecoder->NextRow() - FKeep)
            FDecoder = std::make_unique<TJPEGRowDecoder>(FImage);
        while (FDecoder->NextRow() <= Y)
            FDecoder->ReadRow(Slot(FDecoder->NextRow()));
        return Slot(Y);
    }
    void Finish() { FDecoder->Finish(); }

private:
    Byte* Slot(Integer Y) { return FRing.data() + size_t(Y % FKeep) * size_t(Width()) * 3; }
    const TJPEGImage* FImage;
    std::unique_ptr<TJPEGRowDecoder> FDecoder;
    Integer FKeep = 1;
    TPixelBytes FRing;
};

// A bitmap's rows made in place.
TResampleTarget BitmapTarget(TBitmap* Dest, Integer Width, Integer Height, const TRect& Window)
{
    TResampleTarget Target(Width, Height, Window);
    Target.Row = [Dest](Integer Y) { return Dest->ScanLine(Y); };
    Target.CarryFourth = true;
    return Target;
}

} // namespace

namespace {

// Empties a bitmap whose rows are being made in place when the work stops
// part-way, so no undefined pixels are left behind.
struct TEmptiedUnlessDone {
    TBitmap* Bitmap;
    bool Done = false;
    ~TEmptiedUnlessDone()
    {
        if (!Done)
            Bitmap->Assign(nullptr);
    }
};

// Window cut to the Width x Height picture; empty when nothing is left.
TRect InsideOf(const TRect& Window, Integer Width, Integer Height)
{
    TRect R = Rect(std::max(Window.Left, 0), std::max(Window.Top, 0), std::min(Window.Right, Width),
        std::min(Window.Bottom, Height));
    return R.IsEmpty() ? TRect {} : R;
}

} // namespace

void LanczosResamplePng(TGraphic* Source, TPngImage* Dest, Integer Width, Integer Height, const TXFilterKernel* Kernel)
{
    LanczosResamplePngWindow(Source, Dest, Width, Height, Kernel, Rect(0, 0, Width, Height));
}

void LanczosResamplePngWindow(TGraphic* Source, TPngImage* Dest, Integer Width, Integer Height,
    const TXFilterKernel* Kernel, const TRect& Window)
{
    if (!Dest)
        return;
    const TRect W = InsideOf(Window, Width, Height);
    if (Width <= 0 || Height <= 0 || W.IsEmpty()) {
        Dest->Assign(nullptr);
        return;
    }
    // Resampling a picture into itself reads from a copy.
    TOwnedPtr<TPngImage> Copy;
    if (Source == Dest) {
        Copy = MakeOwned<TPngImage>();
        Copy->Assign(Dest);
        Source = Copy.get();
    }
    Dest->CreateBlank(COLOR_RGBALPHA, 8, W.Width(), W.Height());
    if (!Source || Source->Empty())
        return;
    TRgbaRows Rows(Source);
    const Integer SW = Rows.Width(), SH = Rows.Height();
    if (SW > 3 && SH > 3 && Width > 3 && Height > 3) {
        TResampleTarget Target(Width, Height, W);
        Target.Put = [&](Integer Y, const Byte* Row) { PutPngRow(Dest, Y, Row); };
        Resample4(TResampleSource(SW, SH, 4, [&](Integer Y) { return Rows.Row(Y); }), Target,
            Kernel ? Kernel : XLanczosKernel());
        return;
    }
    // Small sizes: colour and alpha stretched to the nearest pixel together.
    TOwnedPtr<TBitmap> From(MakeOwned<TBitmap>()), To(MakeOwned<TBitmap>());
    From->SetPixelFormat(pf32bit);
    From->SetSize(SW, SH);
    for (Integer Y = 0; Y < SH; ++Y)
        std::memcpy(From->ScanLine(Y), Rows.Row(Y), size_t(SW) * 4);
    To->SetPixelFormat(pf32bit);
    To->SetSize(W.Width(), W.Height());
    StretchDraw(To.get(), Rect(-W.Left, -W.Top, Width - W.Left, Height - W.Top), From.get());
    for (Integer Y = 0; Y < W.Height(); ++Y)
        PutPngRow(Dest, Y, To->ScanLine(Y));
}

void ResampleJPEGWindow(TJPEGImage* Source, TBitmap* Dest, Integer Width, Integer Height, const TRect& Window)
{
    if (!Source || !Dest || Source->Empty())
        return;
    const TRect W = InsideOf(Window, Width, Height);
    if (Source->Decoded() || Width < 4 || Height < 4 || W.IsEmpty()) {
        ResampleBitmapWindow(Source->Bitmap(), Dest, Width, Height, Window);
        return;
    }
    TJpegRows Rows(Source);
    if (Rows.Width() < 4 || Rows.Height() < 4) {
        ResampleBitmapWindow(Source->Bitmap(), Dest, Width, Height, Window);
        return;
    }
    Dest->SetSizeForOverwrite(pf32bit, W.Width(), W.Height());
    TEmptiedUnlessDone Guard { Dest };
    TResampleSource From(Rows.Width(), Rows.Height(), 3, [&Rows](Integer Y) { return Rows.Row(Y); });
    From.Prepare = [&Rows](Integer Band) { Rows.Prepare(Band); };
    Resample4(From, BitmapTarget(Dest, Width, Height, W), XLanczosKernel());
    // Damage past the rows the window needs raises as for the whole picture.
    Rows.Finish();
    Guard.Done = true;
}

void ResampleBitmap(TBitmap* Source, TBitmap* Dest, Integer Width, Integer Height, const TXFilterKernel*)
{
    ResampleBitmapWindow(Source, Dest, Width, Height, Rect(0, 0, Width, Height));
}

void ResampleBitmapWindow(const TBitmap* ConstSource, TBitmap* Dest, Integer Width, Integer Height, const TRect& Window)
{
    auto* Source = const_cast<TBitmap*>(ConstSource);
    if (!Source || !Dest)
        return;
    TOwnedPtr<TBitmap> Copy;
    if (Source == Dest) {
        Copy = MakeOwned<TBitmap>();
        Copy->Assign(Source);
        Source = Copy.get();
    }
    const TRect W = InsideOf(Window, Width, Height);
    const Integer SW = Source->Width(), SH = Source->Height();
    if (Width <= 0 || Height <= 0 || W.IsEmpty() || SW < 4 || SH < 4 || Width < 4 || Height < 4) {
        Dest->Assign(nullptr);
        Dest->SetPixelFormat(pf32bit);
        if (W.IsEmpty() || Width <= 0 || Height <= 0)
            return;
        Dest->SetSize(W.Width(), W.Height());
        StretchDraw(Dest, Rect(-W.Left, -W.Top, Width - W.Left, Height - W.Top), Source);
        return;
    }
    // Every row is made in place; a failure part-way leaves no half-made
    // picture behind.
    Dest->SetSizeForOverwrite(pf32bit, W.Width(), W.Height());
    TEmptiedUnlessDone Guard { Dest };
    Resample4(BitmapSource(Source), BitmapTarget(Dest, Width, Height, W), XLanczosKernel());
    Guard.Done = true;
}
