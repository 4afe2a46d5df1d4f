#include "graphics/XControls.h"

X_REGISTER_CLASS(TXSkinImagesBox)
X_REGISTER_CLASS(TXSkinImagesList)

X_PUBLISHED(TXSkinImagesBox)
{
    X_PROP(ImagesName, ImagesName, SetImagesName);
}

TXSkinImagesBox* TXSkinImagesList::FindByName(const String& Name) const
{
    for (Integer I = 0; I < Count(); ++I)
        if (TXSkinImagesBox* Box = Items(I); Box && Box->ImagesName() == Name)
            return Box;
    return nullptr;
}
