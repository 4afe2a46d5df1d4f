#include "graphics/XMedia.Thumbnails.h"
#include "core/XCore.Errors.h"
#include "gdi/JpegImage.h"
#include "graphics/XMedia.Drawing.h"
#include "graphics/XMedia.Resample.h"
#include <algorithm>

namespace {

// The largest reduction whose picture still covers Need in both sizes.
TJPEGScale CoveringScale(Integer FullWidth, Integer FullHeight, Integer NeedWidth, Integer NeedHeight)
{
    const std::pair<TJPEGScale, Integer> Scales[] = { { jsEighth, 8 }, { jsQuarter, 4 }, { jsHalf, 2 } };
    for (const auto& [Scale, Div] : Scales)
        if (FullWidth / Div >= NeedWidth && FullHeight / Div >= NeedHeight)
            return Scale;
    return jsFullSize;
}

Int64 PictureBytes(TXImageObject* Picture)
{
    return Picture && Picture->DataStream() ? Picture->DataStream()->Size() : 0;
}

}

bool DrawThumbnail(TCanvas* Canvas, const TRect& R, TXImageObject* Picture, bool KeepAspectRatio)
{
    if (!Picture || Picture->IsEmpty())
        return false;
    TOwnedPtr<TGraphic> G(Picture->ToGraphic());
    if (!G || G->Empty() || G->Width() <= 0 || G->Height() <= 0)
        return false;
    if (auto* Jpeg = DynamicCast<TJPEGImage>(G.get())) {
        Integer W = R.Width(), H = R.Height();
        if (KeepAspectRatio)
            CalcDownScaledBestFitSize(W, H, Jpeg->Width(), Jpeg->Height(), R.Width(), R.Height());
        Jpeg->SetScale(CoveringScale(Jpeg->Width(), Jpeg->Height(), W, H));
    }
    if (KeepAspectRatio)
        DrawGraphicDownScaledBestFit(Canvas, R, G.get(), XLanczosKernel());
    else
        StretchDrawResampled(Canvas, R, G.get(), XLanczosKernel());
    return true;
}

TXThumbnailCache::TXThumbnailCache(size_t Budget)
    : FBudget(Budget)
{ }

void TXThumbnailCache::SetBudget(size_t Value)
{
    FBudget = Value;
    Trim();
}

TBitmap* TXThumbnailCache::Thumbnail(const void* Key, TXImageItem* Item, const TXThumbnailLook& Look)
{
    TXImageObject* Picture = ItemPicture(Item);
    if (auto Found = FIndex.find(Key); Found != FIndex.end()) {
        TEntry& E = *Found->second;
        if (E.Picture == Picture && E.PictureBytes == PictureBytes(Picture) && E.Look == Look) {
            FEntries.splice(FEntries.begin(), FEntries, Found->second);
            return E.Bitmap.get();
        }
        Drop(Found->second);
    }
    if (Look.Width <= 0 || Look.Height <= 0 || !Picture)
        return nullptr;
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    Bmp->SetPixelFormat(pf24bit);
    Bmp->SetSize(Look.Width, Look.Height);
    Bmp->Canvas()->Brush()->SetColor(Look.Background);
    Bmp->Canvas()->FillRect(Rect(0, 0, Look.Width, Look.Height));
    ++FDrawn;
    if (!XGuarded(xecReadFailed, false,
            [&] { return DrawThumbnail(Bmp->Canvas(), Rect(0, 0, Look.Width, Look.Height), Picture, Look.KeepAspectRatio); }))
        return nullptr;
    const size_t Bytes = size_t(Bmp->Height()) * size_t(Bmp->BytesPerScanline());
    FEntries.push_front({ Key, Picture, PictureBytes(Picture), Look, std::move(Bmp), Bytes });
    FIndex[Key] = FEntries.begin();
    FBytes += Bytes;
    Trim();
    // The newest stays even when it alone is over the budget: it is drawn now.
    return FEntries.front().Bitmap.get();
}

void TXThumbnailCache::Forget(const void* Key)
{
    if (auto Found = FIndex.find(Key); Found != FIndex.end())
        Drop(Found->second);
}

void TXThumbnailCache::Clear()
{
    FEntries.clear();
    FIndex.clear();
    FBytes = 0;
}

void TXThumbnailCache::Trim()
{
    while (FBytes > FBudget && FEntries.size() > 1)
        Drop(std::prev(FEntries.end()));
}

void TXThumbnailCache::Drop(TEntries::iterator It)
{
    FBytes -= It->Bytes;
    FIndex.erase(It->Key);
    FEntries.erase(It);
}
