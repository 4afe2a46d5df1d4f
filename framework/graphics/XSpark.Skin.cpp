#include "graphics/XSpark.Skin.h"
#include "rtl/Units.h"

X_REGISTER_CLASS(TXQVSkin)

namespace {

TXImagesBox* TheDefaultBox = nullptr;
TXQVSkin* TheSkin = nullptr;

void InitSkin()
{
    TheDefaultBox = New<TXImagesBox>(nullptr);
    TheSkin = New<TXQVSkin>(nullptr);
}

void DoneSkin()
{
    FreeAndNil(TheSkin);
    FreeAndNil(TheDefaultBox);
}

TXImageCollection* ImagesOf(TXSkinImagesKind Kind)
{
    TXImagesBox* Box = TheSkin ? TheSkin->Images(Kind) : nullptr;
    return Box ? Box->Images() : nullptr;
}

}

X_UNIT(XSpark_Skin, "XSpark.Skin", ({ "XCore.Classes" }), &InitSkin, &DoneSkin)

void TXQVSkin::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FImagesBoxes.reset(New<TXImagesBoxList>());
    for (size_t I = 0; I < FBoxes.size(); ++I)
        SetImages(TXSkinImagesKind(I), nullptr);
}

void TXQVSkin::SetImages(TXSkinImagesKind Kind, TXImagesBox* Value)
{
    if (!Value)
        Value = TheDefaultBox;
    FBoxes[Kind] = Value;
    if (Value)
        Value->FreeNotification(this);
}

void TXQVSkin::AddImagesBox(TXImagesBox* Box)
{
    if (Box)
        FImagesBoxes->AddUnique(Box);
}

TXImagesBox* TXQVSkin::GetImagesBox(const String& Name) const
{
    TXImagesBox* Box = FImagesBoxes->FindByName(Name);
    return Box ? Box : TheDefaultBox;
}

void TXQVSkin::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    for (TXImagesBox*& Box : FBoxes)
        if (Box == AComponent)
            Box = AComponent == TheDefaultBox ? nullptr : TheDefaultBox;
}

TXImagesBox* DefaultImagesBox()
{
    return TheDefaultBox;
}

TXQVSkin* QVSkin()
{
    return TheSkin;
}

TXImageCollection* SkinAppImages()
{
    return ImagesOf(sikApp);
}

TXImageCollection* SkinErrorImages()
{
    return ImagesOf(sikError);
}

TXImageCollection* SkinInfoImages()
{
    return ImagesOf(sikInfo);
}

TXImageCollection* SkinQuestionImages()
{
    return ImagesOf(sikQuestion);
}

TXImageCollection* SkinWarningImages()
{
    return ImagesOf(sikWarning);
}

TXImagesBox* SkinImagesBox(const String& Name)
{
    return TheSkin ? TheSkin->GetImagesBox(Name) : TheDefaultBox;
}
