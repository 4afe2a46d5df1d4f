#include "graphics/XImagePanels.Geometry.h"
#include "core/XSpark.App.h"
#include <cstdlib>

TXThnGeometry ThnGeometry(const TXThnSettings& S, const std::vector<TXSize>& ButtonSizes)
{
    const Integer B = S.Border;
    TXThnGeometry G;
    G.CellWidth = 2 * B + S.ThnWidth;
    G.ThumbRect = Rect(B, B, B + S.ThnWidth, B + S.ThnHeight);
    if (S.TitlePosition != tpThn) {
        G.CellHeight = std::abs(S.FontHeight) + 3 * B + S.ThnHeight;
        G.TitleRect = Rect(0, G.ThumbRect.Bottom + B, G.CellWidth, G.CellHeight);
    } else {
        G.CellHeight = 2 * B + S.ThnHeight;
        const Integer DX = ScaleToDPI(4), DY = ScaleToDPI(3);
        G.TitleRect = Rect(G.ThumbRect.Left + DX, G.ThumbRect.Top + DY, G.ThumbRect.Right - DX,
            G.ThumbRect.Bottom - DY);
        if (S.CheckBox)
            G.TitleRect.Left += ScaleToDPI(17);
    }
    const Integer M = ScaleToDPI(4);
    G.ButtonRects.resize(ButtonSizes.size());
    Integer X = M;
    for (size_t I = ButtonSizes.size(); I-- > 0;) {
        const TXSize& Size = ButtonSizes[I];
        G.ButtonRects[I] = Rect(G.ThumbRect.Right - X - Size.Width, G.ThumbRect.Top + M, G.ThumbRect.Right - X,
            G.ThumbRect.Top + M + Size.Height);
        X += Size.Width + M;
    }
    if (S.TitlePosition == tpThn && !G.ButtonRects.empty())
        G.TitleRect.Right = G.ButtonRects.front().Left;
    return G;
}

std::vector<TXSize> ButtonSizes(TXSkinImagesBox* Box)
{
    std::vector<TXSize> Sizes;
    if (!Box)
        return Sizes;
    TXImageCollection* Images = Box->Images();
    Sizes.reserve(size_t(Images->Count()));
    for (Integer I = 0; I < Images->Count(); ++I)
        Sizes.push_back(Images->Items(I)->ImageData()->ImageSize());
    return Sizes;
}

namespace {

TXImageObject* ImageAt(TXSkinImagesBox* Box, Integer Index)
{
    if (!Box || Index < 0 || Index >= Box->Images()->Count())
        return nullptr;
    return Box->Images()->Items(Index)->ImageData();
}

}

TXImageObject* ThnButtonImage(const TXThnButtonBoxes& Boxes, Integer Index, bool Enabled, bool Hot)
{
    TXSkinImagesBox* Box = !Enabled ? Boxes.Disabled : Hot ? Boxes.Hot : Boxes.Plain;
    if (TXImageObject* Image = ImageAt(Box, Index))
        return Image;
    return ImageAt(Boxes.Plain, Index);
}
