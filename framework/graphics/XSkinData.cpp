#include "graphics/XSkinData.h"
#include "graphics/XSkin.h"

X_REGISTER_CLASS(TXColorData)
X_REGISTER_CLASS(TXActiveColorData)
X_REGISTER_CLASS(TXFormColorData)
X_REGISTER_CLASS(TXImageData)
X_REGISTER_CLASS(TXLayerGlyphImageData)
X_REGISTER_CLASS(TXGlyphImageData)

X_PUBLISHED(TXColorData)
{
    X_PROP(colDis, Col<cstDis>, SetCol<cstDis>).Default(clBtnFace);
    X_PROP(colHot, Col<cstHot>, SetCol<cstHot>).Default(clBtnFace);
    X_PROP(colOff, Col<cstOff>, SetCol<cstOff>).Default(clBtnFace);
    X_PROP(colOn, Col<cstOn>, SetCol<cstOn>).Default(clBtnFace);
    X_PROP(colMix, Col<cstMix>, SetCol<cstMix>).Default(clBtnFace);
    X_PROP(colPress, Col<cstPress>, SetCol<cstPress>).Default(clBtnFace);
    X_PROP(colFocus, Col<cstFocus>, SetCol<cstFocus>).Default(clBtnFace);
    X_PROP(colDisOn, Col<cstDisOn>, SetCol<cstDisOn>).Default(clBtnFace);
    X_PROP(colHotOn, Col<cstHotOn>, SetCol<cstHotOn>).Default(clBtnFace);
    X_PROP(colFocusOn, Col<cstFocusOn>, SetCol<cstFocusOn>).Default(clBtnFace);
    X_PROP(colDisMix, Col<cstDisMix>, SetCol<cstDisMix>).Default(clBtnFace);
    X_PROP(colHotMix, Col<cstHotMix>, SetCol<cstHotMix>).Default(clBtnFace);
}

X_PUBLISHED(TXActiveColorData)
{
    X_PROP(colOff, colOff, SetcolOff).Default(clBtnFace);
    X_PROP(colOn, colOn, SetcolOn).Default(clBtnFace);
}

X_PUBLISHED(TXFormColorData)
{
    X_PROP(Alpha, Alpha, SetAlpha).Default(255);
}

X_PUBLISHED(TXImageData)
{
    X_PROP(ImagesName, ImagesName, SetImagesName);
    X_PROP(imgDis, Img<cstDis>, SetImg<cstDis>).Default(0);
    X_PROP(imgHot, Img<cstHot>, SetImg<cstHot>).Default(0);
    X_PROP(imgOff, Img<cstOff>, SetImg<cstOff>).Default(0);
    X_PROP(imgOn, Img<cstOn>, SetImg<cstOn>).Default(0);
    X_PROP(imgMix, Img<cstMix>, SetImg<cstMix>).Default(0);
    X_PROP(imgPress, Img<cstPress>, SetImg<cstPress>).Default(0);
    X_PROP(imgFocus, Img<cstFocus>, SetImg<cstFocus>).Default(0);
    X_PROP(imgDisOn, Img<cstDisOn>, SetImg<cstDisOn>).Default(0);
    X_PROP(imgHotOn, Img<cstHotOn>, SetImg<cstHotOn>).Default(0);
    X_PROP(imgFocusOn, Img<cstFocusOn>, SetImg<cstFocusOn>).Default(0);
    X_PROP(imgDisMix, Img<cstDisMix>, SetImg<cstDisMix>).Default(0);
    X_PROP(imgHotMix, Img<cstHotMix>, SetImg<cstHotMix>).Default(0);
    X_PROP(imgRgn, imgRgn, SetimgRgn).Default(-1);
}

X_PUBLISHED(TXLayerGlyphImageData)
{
    X_PROP(GlyphImagesName, GlyphImagesName, SetGlyphImagesName);
}

X_PUBLISHED(TXGlyphImageData)
{
    X_PROP(ImagesName, ImagesName, SetImagesName);
}

namespace {

// The application skin's box of that name; null when there is none.
TXSkinImagesBox* SkinBox(const String& Name)
{
    XSkin::TXSkin* Skin = AppSkin();
    return Skin ? Skin->ImagesList()->FindByName(Name) : nullptr;
}

}

// ---- colours ----

void TXColorData::SetDefaults()
{
    inherited::SetDefaults();
    FColors.fill(clBtnFace);
}

bool TXColorData::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXColorData>(Source))
        FColors = Other->FColors;
    return inherited::AssignFrom(Source);
}

void TXActiveColorData::SetDefaults()
{
    inherited::SetDefaults();
    FColors.fill(clBtnFace);
}

bool TXActiveColorData::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXActiveColorData>(Source))
        FColors = Other->FColors;
    return inherited::AssignFrom(Source);
}

void TXFormColorData::SetDefaults()
{
    inherited::SetDefaults();
    FAlpha = 255;
}

bool TXFormColorData::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXFormColorData>(Source))
        FAlpha = Other->FAlpha;
    return inherited::AssignFrom(Source);
}

// ---- TXImageData ----

void TXImageData::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FIndexes.fill(0);
    FRgn = -1;
}

void TXImageData::Bind(TXSkinImagesBox*& Slot, TXSkinImagesBox* Box)
{
    // The notification stays on a box let go of: another slot may still
    // point at it, and one more notice costs nothing.
    Slot = Box;
    if (Box)
        Box->FreeNotification(this);
}

void TXImageData::SetImagesName(const String& Value)
{
    FImagesName = Value;
    if (!Value.empty())
        Bind(FImages, SkinBox(Value));
}

bool TXImageData::AssignFrom(TPersistent* Source)
{
    auto* Other = DynamicCast<TXImageData>(Source);
    if (!Other)
        return inherited::AssignFrom(Source);
    FIndexes = Other->FIndexes;
    FRgn = Other->FRgn;
    FImagesName = Other->FImagesName;
    Bind(FImages, Other->FImages);
    return true;
}

void TXImageData::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FImages)
        FImages = nullptr;
}

// ---- TXLayerGlyphImageData ----

void TXLayerGlyphImageData::SetGlyphImagesName(const String& Value)
{
    FGlyphImagesName = Value;
    if (!Value.empty())
        Bind(FGlyphImages, SkinBox(Value));
}

bool TXLayerGlyphImageData::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXLayerGlyphImageData>(Source)) {
        FGlyphImagesName = Other->FGlyphImagesName;
        Bind(FGlyphImages, Other->FGlyphImages);
    }
    return inherited::AssignFrom(Source);
}

void TXLayerGlyphImageData::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FGlyphImages)
        FGlyphImages = nullptr;
}

// ---- TXGlyphImageData ----

void TXGlyphImageData::SetImages(TXPaintState State, TXSkinImagesBox* Value)
{
    // As in TXImageData::Bind, a box let go of keeps its notification.
    FBoxes[Slot(State)] = Value;
    if (Value)
        Value->FreeNotification(this);
}

void TXGlyphImageData::SetImagesName(const String& Value)
{
    FImagesName = Value;
    if (Value.empty())
        return;
    for (Integer S = cstDis; S <= cstHotMix; ++S)
        SetImages(TXPaintState(S), SkinBox(StateImagePrefix(TXPaintState(S)) + Value));
}

bool TXGlyphImageData::AssignFrom(TPersistent* Source)
{
    auto* Other = DynamicCast<TXGlyphImageData>(Source);
    if (!Other)
        return inherited::AssignFrom(Source);
    FImagesName = Other->FImagesName;
    for (Integer S = cstDis; S <= cstHotMix; ++S)
        SetImages(TXPaintState(S), Other->Images(TXPaintState(S)));
    return true;
}

void TXGlyphImageData::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove)
        for (TXSkinImagesBox*& Box : FBoxes)
            if (Box == AComponent)
                Box = nullptr;
}
