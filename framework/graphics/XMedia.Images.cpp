#include "graphics/XMedia.Images.h"
#include "core/XCore.Errors.h"
#include "gdi/JpegImage.h"
#include "gdi/Picture.h"
#include "graphics/XMedia.Converters.h"
#include "rtl/Streams.h"

X_REGISTER_CLASS(TXImageObject)
X_REGISTER_CLASS(TXImageItem)
X_REGISTER_CLASS(TXThnImageItem)
X_REGISTER_CLASS(TXImageGroupItem)
X_REGISTER_CLASS(TXTemplateItem)
X_REGISTER_CLASS(TXImageCollection)
X_REGISTER_CLASS(TXThnImageCollection)
X_REGISTER_CLASS(TXImageGroupCollection)
X_REGISTER_CLASS(TXTemplateCollection)
X_REGISTER_CLASS(TXImageGroupObject)
X_REGISTER_CLASS(TXImagesBox)
X_REGISTER_CLASS(TXTemplatesBox)
X_REGISTER_CLASS(TXCustomImagesGroupBox)
X_REGISTER_CLASS(TXImagesGroupBox)
X_REGISTER_CLASS(TXImagesBoxList)
X_REGISTER_CLASS(TXImageObjectChangedAspect)

X_PUBLISHED(TXImageItem)
{
    X_PROP_READONLY(Data, ImageData);
}

X_PUBLISHED(TXThnImageItem)
{
    X_PROP_READONLY(Thn, Thn);
}

X_PUBLISHED(TXImageGroupItem)
{
    X_PROP_READONLY(Images, Images);
}

X_PUBLISHED(TXTemplateItem)
{
    X_PROP_READONLY(TemplateData, TemplateData);
    X_PROP_READONLY(Caption, Caption);
    X_PROP_READONLY(Description, Description);
}

X_PUBLISHED(TXImageGroupObject)
{
    X_PROP_READONLY(Groups, Groups);
}

X_PUBLISHED(TXImagesBox)
{
    X_PROP_READONLY(Images, Images);
}

X_PUBLISHED(TXTemplatesBox)
{
    X_PROP_READONLY(Items, Items);
}

X_PUBLISHED(TXImagesGroupBox)
{
    X_PROP_READONLY(Images, Images);
}

// ---- TXImageObject ----

bool TXImageObject::LoadFromObject(TObject* Source)
{
    if (DynamicCast<TXImageObject>(Source))
        return inherited::LoadFromObject(Source);
    if (auto* Item = DynamicCast<TXImageItem>(Source))
        return LoadFromObject(Item->ImageData());
    Clear();
    auto* Graphic = DynamicCast<TGraphic>(Source);
    if (!Graphic)
        return false;
    const bool Ok = XGuarded(xecReadFailed, false, [&] {
        Graphic->SaveToStream(DataStream());
        DataStream()->SetPosition(0);
        SetDataClass(Graphic->InheritsFrom(TJPEGImage::StaticClass()) ? String(u"TJPEGImage") : Graphic->ClassName());
        SetWidth(Graphic->Width());
        SetHeight(Graphic->Height());
    });
    if (!Ok)
        Clear();
    return Ok;
}

bool TXImageObject::LoadFromStream(const String& ADataClass, TStream* Source)
{
    Clear();
    TOwnedPtr<TPicture> Picture(MakeOwned<TPicture>());
    const TGraphicClass Class = StoredGraphicClass(ADataClass);
    const bool Decoded = Class && Source && XGuarded(xecReadFailed, false, [&] {
        ForcePictureType(Picture.get(), Class);
        Source->SetPosition(0);
        Picture->Graphic()->LoadFromStream(Source);
    });
    if (!Decoded || !inherited::LoadFromStream(ADataClass, Source)) {
        Clear();
        return false;
    }
    SetWidth(Picture->Width());
    SetHeight(Picture->Height());
    return true;
}

bool TXImageObject::LoadFromFile(const String& AFileName, bool Flag)
{
    Clear();
    TOwnedPtr<TPicture> Picture(MakeOwned<TPicture>());
    const bool Decoded = XGuarded(xecReadFailed, false, [&] { Picture->LoadFromFile(AFileName); });
    if (!Decoded || !Picture->Graphic() || !inherited::LoadFromFile(AFileName, Flag)) {
        Clear();
        return false;
    }
    SetDataClass(Picture->Graphic()->ClassName());
    SetWidth(Picture->Width());
    SetHeight(Picture->Height());
    return true;
}

TGraphic* TXImageObject::ToGraphic() const
{
    TMemoryStream* Data = DataStream();
    if (!Data || Data->Size() == 0)
        return nullptr;
    const TGraphicClass Class = StoredGraphicClass(DataClass());
    if (!Class)
        throw EInvalidGraphic(u"Not a picture class: " + DataClass());
    TOwnedPtr<TGraphic> Graphic(NewGraphic(Class));
    Data->SetPosition(0);
    Graphic->LoadFromStream(Data);
    return Graphic.release();
}

// ---- items ----

void TXImageItem::Init()
{
    inherited::Init();
    if (!FData)
        FData.reset(New<TXImageObject>()); // counting off: the item frees it
}

void TXThnImageItem::Init()
{
    inherited::Init();
    if (!FThn)
        FThn.reset(New<TXImageObject>());
}

void TXThnImageItem::SetStoreData(bool Value)
{
    inherited::SetStoreData(Value);
    if (FThn)
        FThn->SetStoreData(Value);
}

bool TXThnImageItem::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXThnImageItem>(Source); Other && Other != this && FThn)
        FThn->Assign(Other->FThn.get());
    return inherited::AssignFrom(Source);
}

void TXImageGroupItem::Init()
{
    inherited::Init();
    if (!FImages)
        FImages.reset(New<TXImageCollection>(this));
}

void TXTemplateItem::Init()
{
    inherited::Init();
    if (!FTemplateData)
        FTemplateData.reset(New<TXStreamObject>());
    if (!FCaption)
        FCaption.reset(New<TXStringCollection<>>(this));
    if (!FDescription)
        FDescription.reset(New<TXStringCollection<>>(this));
}

void TXTemplateItem::SetStoreData(bool Value)
{
    inherited::SetStoreData(Value);
    if (FTemplateData)
        FTemplateData->SetStoreData(Value);
}

bool TXTemplateItem::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXTemplateItem>(Source); Other && Other != this) {
        FTemplateData->Assign(Other->FTemplateData.get());
        FCaption->Assign(Other->FCaption.get());
        FDescription->Assign(Other->FDescription.get());
    }
    return inherited::AssignFrom(Source);
}

void TXImageGroupObject::Init()
{
    inherited::Init();
    if (!FGroups)
        FGroups.reset(New<TXImageGroupCollection>(this));
}

// ---- components ----

void TXImagesBox::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FImages.reset(New<TXImageCollection>(this));
}

bool TXImagesBox::AssignFrom(TPersistent* Source)
{
    auto* Other = DynamicCast<TXImagesBox>(Source);
    if (!Other)
        return inherited::AssignFrom(Source);
    // Cleared first, a box given itself would lose its pictures.
    if (Other != this) {
        FImages->Clear();
        FImages->AppendFrom(Other->FImages.get());
    }
    return true;
}

void TXTemplatesBox::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FItems.reset(New<TXTemplateCollection>(this));
}

bool TXTemplatesBox::AssignFrom(TPersistent* Source)
{
    auto* Other = DynamicCast<TXTemplatesBox>(Source);
    if (!Other)
        return inherited::AssignFrom(Source);
    if (Other != this) {
        FItems->Clear();
        FItems->AppendFrom(Other->FItems.get());
    }
    return true;
}

void TXCustomImagesGroupBox::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FImages.reset(New<TXImageGroupObject>());
}
