// Thumbnails drawn once and kept while they may show again. A box of
// thousands of pictures paints only the panels that show; each keeps its
// drawn thumbnail here, and the least recently shown ones go once the
// cache holds more bytes than its budget:
//
//     TXThumbnailCache Cache(4 << 20);
//     if (TBitmap* Thumb = Cache.Thumbnail(Panel, Item, { 128, 96, true, clWhite }))
//         Canvas->Draw(X, Y, Thumb);
//     Cache.Forget(Panel);                     // when the panel goes
//
// A JPEG picture is decoded at the smallest of its reduced sizes (a half,
// a quarter, an eighth) that still covers the thumbnail.
#pragma once
#include "gdi/Bitmap.h"
#include "graphics/XMedia.Images.h"
#include <list>
#include <unordered_map>

// How a thumbnail is drawn: its size, best fit (down-scaled only) or
// stretched, on a ground of Background.
struct TXThumbnailLook {
    Integer Width = 0;
    Integer Height = 0;
    bool KeepAspectRatio = true;
    TColor Background = clWhite;
    friend bool operator==(const TXThumbnailLook&, const TXThumbnailLook&) = default;
};

// Draws the picture into R as a thumbnail: best fit down-scaled, or
// stretched; JPEG pictures decoded at a reduced size where that suffices.
// False for a picture without pixels; raises when it does not decode.
bool DrawThumbnail(TCanvas* Canvas, const TRect& R, TXImageObject* Picture, bool KeepAspectRatio);

class TXThumbnailCache {
public:
    explicit TXThumbnailCache(size_t Budget);
    TXThumbnailCache(const TXThumbnailCache&) = delete;
    TXThumbnailCache& operator=(const TXThumbnailCache&) = delete;

    size_t Budget() const { return FBudget; }
    // The oldest thumbnails go until the rest fit.
    void SetBudget(size_t Value);

    // The thumbnail Key shows of Item's picture with that look: the kept
    // one while the picture and the look are the ones it was drawn from,
    // else drawn now. Null for an empty size or a picture that does not
    // decode (nothing is kept then). The bitmap lives until the next call.
    TBitmap* Thumbnail(const void* Key, TXImageItem* Item, const TXThumbnailLook& Look);
    void Forget(const void* Key);
    void Clear();

    size_t Bytes() const { return FBytes; }
    Integer Count() const { return Integer(FEntries.size()); }
    // How many thumbnails were drawn so far (each a decode).
    Int64 Drawn() const { return FDrawn; }

private:
    struct TEntry {
        const void* Key = nullptr;
        TXImageObject* Picture = nullptr;
        Int64 PictureBytes = 0;
        TXThumbnailLook Look;
        TOwnedPtr<TBitmap> Bitmap;
        size_t Bytes = 0;
    };
    using TEntries = std::list<TEntry>;

    void Trim();
    void Drop(TEntries::iterator It);

    size_t FBudget;
    size_t FBytes = 0;
    Int64 FDrawn = 0;
    TEntries FEntries; // most recently shown first
    std::unordered_map<const void*, TEntries::iterator> FIndex;
};
