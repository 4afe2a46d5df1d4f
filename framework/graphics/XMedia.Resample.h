// Resampling: filter kernels, two-dimensional data maps, the weight tables
// that map destination pixels to weighted source pixels, and the two
// resamplers (PNG pictures with alpha, 32-bit bitmaps).
//
//     TOwnedPtr<TPngImage> Small(MakeOwned<TPngImage>());
//     LanczosResamplePng(Photo, Small.get(), 320, 200, XLanczosKernel());
//
// Both resamplers work separably: a horizontal pass of each source row into
// an intermediate row of bytes, then a vertical pass over intermediate rows,
// with single-precision sums taken in slot order and rounded to bytes (ties
// to even). Only a band of intermediate rows is ever held. Weight tables
// come from the shared cache (XMedia.ObjectCache), keyed by the two counts
// and the kernel.
#pragma once
#include "core/XCore.Classes.h"
#include "graphics/XMedia.Types.h"
#include <vector>

class TBitmap;
class TGraphic;
class TJPEGImage;
class TPngImage;

class TXFilterKernel : public TXPersistent {
    X_CLASS(TXFilterKernel, TXPersistent)
public:
    void Init() override;
    float Radius() const { return FRadius; }
    virtual void SetRadius(float Value) { }
    // The kernel's value at X.
    virtual double Filter(float X) const { return 0; }
    bool AssignFrom(TPersistent* Source) override;

protected:
    float FRadius = 1.0f;
};

// A kernel whose radius can be set: up to 4; 0 becomes 1.
class TXSizableFilterKernel : public TXFilterKernel {
    X_CLASS(TXSizableFilterKernel, TXFilterKernel)
public:
    void Init() override;
    void Clear() override;
    void SetRadius(float Value) override;
};

class TXLanczosKernel : public TXSizableFilterKernel {
    X_CLASS(TXLanczosKernel, TXSizableFilterKernel)
public:
    // 1 at 0, 0 from the radius on; else sin(a) r sin(a / r) / a² with
    // a = |X| pi in single precision.
    double Filter(float X) const override;
};

// The program's shared Lanczos kernel of radius 3.
TXLanczosKernel* XLanczosKernel();

// A rectangular map of T: Size().Width columns, Size().Height rows,
// row-major.
template<class T>
class TXDataMap : public TXPersistent {
    X_CLASS_TEMPLATE(TXDataMap, TXPersistent, u"TXDataMap<T>")
public:
    const TXSize& Size() const { return FSize; }
    // Reallocates only when the size changes.
    void SetSize(Integer Width, Integer Height)
    {
        if (Width == FSize.Width && Height == FSize.Height)
            return;
        FSize.Create(std::max(Width, 0), std::max(Height, 0));
        Allocate();
    }
    void Clear() override
    {
        FSize.Clear();
        FData.clear();
        FData.shrink_to_fit();
        Allocate();
    }
    bool IsEmpty() override { return FSize.Width == 0 && FSize.Height == 0; }
    T* Rows(Integer Y) { return FData.data() + size_t(Y) * size_t(FSize.Width); }
    const T* Rows(Integer Y) const { return FData.data() + size_t(Y) * size_t(FSize.Width); }
    bool AssignFrom(TPersistent* Source) override
    {
        auto* Other = DynamicCast<TXDataMap<T>>(Source);
        if (!Other || Other->ClassType() != ClassType())
            return inherited::AssignFrom(Source);
        Clear();
        if (!Other->IsEmpty()) {
            SetSize(Other->FSize.Width, Other->FSize.Height);
            CopyData(Other);
        }
        return true;
    }

protected:
    virtual void Allocate() { FData.assign(size_t(FSize.Width) * size_t(FSize.Height), T {}); }
    virtual void CopyData(TXDataMap<T>* Source) { FData = Source->FData; }

private:
    TXSize FSize;
    std::vector<T> FData;
};

#pragma pack(push, 1)
struct TXPixWeight {
    Integer Index = 0;
    float Weight = 0;
};
#pragma pack(pop)
static_assert(sizeof(TXPixWeight) == 8);

using TXByteMap = TXDataMap<Byte>;
using TXRGBMap = TXDataMap<TXRGBColor>;

// The weight table of one direction: a column per destination pixel, a row
// per weight slot; Rows(k)[i] is the k-th weight of destination pixel i and
// Counts()[i] how many of its slots are used.
class TXPixWeightMap : public TXDataMap<TXPixWeight> {
    X_CLASS(TXPixWeightMap, TXDataMap<TXPixWeight>)
public:
    const std::vector<Integer>& Counts() const { return FCounts; }
    std::vector<Integer>& Counts() { return FCounts; }
    void Clear() override;

protected:
    void Allocate() override;
    void CopyData(TXDataMap<TXPixWeight>* Source) override;

private:
    std::vector<Integer> FCounts;
};

// Fills Map for DestCount destination pixels from SourceCount source pixels
// (empty when either is below 2). Every source index stays inside the
// source, reflected at its edges as often as needed, and no column takes
// more weights than it has slots.
void BuildWeightMap(TXPixWeightMap* Map, Integer DestCount, Integer SourceCount, bool Centred,
    const TXFilterKernel* Kernel);

// Dest becomes an 8-bit RGBA picture of Width x Height (empty for a size of
// 0 or less) with Source resampled into it, colour and alpha filtered
// alike. A source of another colour type or depth, or any other picture,
// is first taken as 8-bit RGBA (opaque without alpha). When a side of the
// source or the target is 3 or less, colour and alpha are stretched to the
// nearest pixel instead.
void LanczosResamplePng(TGraphic* Source, TPngImage* Dest, Integer Width, Integer Height, const TXFilterKernel* Kernel);
// Dest becomes a 32-bit bitmap of Width x Height with Source resampled by
// the shared radius-3 kernel; each pixel's fourth byte is that of the last
// source pixel its sums read. Sides below 4 are stretched to the nearest
// pixel. The kernel argument is not used.
void ResampleBitmap(TBitmap* Source, TBitmap* Dest, Integer Width, Integer Height,
    const TXFilterKernel* Kernel = nullptr);

// The two resamplers for a part of the target only: the result of
// resampling to Width x Height is made only inside Window (cut to that
// size), and Dest becomes Window's size holding those pixels, bit for bit
// as the whole result has them there. Sizes are never allocated beyond
// the window.
void LanczosResamplePngWindow(TGraphic* Source, TPngImage* Dest, Integer Width, Integer Height,
    const TXFilterKernel* Kernel, const TRect& Window);
void ResampleBitmapWindow(const TBitmap* Source, TBitmap* Dest, Integer Width, Integer Height, const TRect& Window);
// ResampleBitmapWindow of a JPEG picture's decoded pixels, bit for bit, but
// with the rows decoded as the resampler reads them, so the whole decoded
// picture is never held (nor kept by the picture afterwards). Damaged data
// raises EJPEG as decoding the picture would, leaving Dest empty.
void ResampleJPEGWindow(TJPEGImage* Source, TBitmap* Dest, Integer Width, Integer Height, const TRect& Window);
