#include "core/XCore.Errors.h"
#include "graphics/XImageCtrls.h"
#include "graphics/XMedia.Drawing.h"
#include "graphics/XMedia.Thumbnails.h"

X_REGISTER_CLASS(TXCustomImageListView)
X_REGISTER_CLASS(TXImageListView)

X_PUBLISHED(TXImageListView)
{
    X_PROP_READONLY(ImageBorder, ImageBorder);
}

void TXCustomImageListView::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FImageBorder.reset(New<TXBorders>());
    FImages = New<TImageList>(this);
    FImages->SetSize(FImageWidth, FImageHeight);
    SetLargeImages(FImages);
    SetViewStyle(vsIcon);
}

void TXCustomImageListView::SetImageSize(Integer Width, Integer Height)
{
    FImageWidth = std::max(Width, 1);
    FImageHeight = std::max(Height, 1);
    SetImages(FCollection);
}

namespace {

// The list's ground: what shows round a picture that does not fill its
// icon, and the whole icon of one that does not draw.
TOwnedPtr<TBitmap> BlankIcon(Integer Width, Integer Height)
{
    TOwnedPtr<TBitmap> Icon(MakeOwned<TBitmap>());
    Icon->SetPixelFormat(pf32bit);
    Icon->SetSize(Width, Height);
    Icon->Fill(ColorToRGB(clWindow));
    return Icon;
}

}

TOwnedPtr<TBitmap> TXCustomImageListView::IconOf(TXImageItem* Item) const
{
    TOwnedPtr<TBitmap> Icon = BlankIcon(FImageWidth, FImageHeight);
    const TRect R = Rect(0, 0, FImageWidth, FImageHeight);
    TXImageObject* Picture = Item ? Item->ImageData() : nullptr;
    // A picture that does not draw leaves the icon empty: a bad file in
    // the collection must not cost the others their icons.
    const bool Drawn = Picture && XGuarded(xecNone, false, [&] {
        if (Picture->IsIcon())
            DrawIconStream(Icon->Canvas(), R, Picture->DataStream());
        else
            DrawThumbnail(Icon->Canvas(), R, Picture, true);
    });
    if (Drawn)
        return Icon;
    // Whatever a failed draw left goes.
    return BlankIcon(FImageWidth, FImageHeight);
}

void TXCustomImageListView::SetImages(TCollection* Collection)
{
    FCollection = Collection;
    Items()->BeginUpdate();
    Items()->Clear();
    FImages->Clear();
    FImages->SetSize(FImageWidth, FImageHeight);
    const Integer SpaceX = FImageWidth + FImageBorder->Left() + FImageBorder->Right();
    const Integer SpaceY = FImageHeight + FImageBorder->Top() + FImageBorder->Bottom();
    Perform(LVM_SETICONSPACING, 0, MAKELPARAM(Word(std::min(SpaceX, 0xFFFF)), Word(std::min(SpaceY, 0xFFFF))));
    for (Integer I = 0; Collection && I < Collection->Count(); ++I) {
        auto* Item = DynamicCast<TXImageItem>(Collection->Items(I));
        if (!Item)
            continue;
        TOwnedPtr<TBitmap> Icon = IconOf(Item);
        TListItem* Shown = Items()->Add();
        Shown->SetData(Item);
        Shown->SetImageIndex(FImages->Add(Icon.get(), nullptr));
    }
    Items()->EndUpdate();
}
