#include "XMedia.Images.h"
#include "Streams.h"
#include "JpegImage.h"
#include <exception>

X_REGISTER_CLASS(TXImageObject)

bool TXImageObject::AssignFrom(TPersistent* Source)
{
    auto* Other = DynamicCast<TXImageObject>(Source);
    if (!Other)
        return inherited::AssignFrom(Source);
    if (Other != this) {
        FDataClass = Other->FDataClass;
        FData = Other->FData;
        FSize = Other->FSize;
    }
    return true;
}

void TXImageObject::Clear()
{
    inherited::Clear();
    FDataClass.clear();
    FData.clear();
    FSize.Clear();
}

bool TXImageObject::LoadFromObject(TPersistent* Source)
{
    Clear();
    if (auto* Other = DynamicCast<TXImageObject>(Source)) {
        AssignFrom(Other);
        return true;
    }
    auto* Graphic = DynamicCast<TGraphic>(Source);
    if (!Graphic)
        return false;
    try {
        TOwnedPtr<TBytesStream> Bytes(New<TBytesStream>());
        Graphic->SaveToStream(Bytes.get());
        FData.assign(Bytes->Bytes().begin(), Bytes->Bytes().begin() + Bytes->Size());
        FDataClass = Graphic->InheritsFrom(TJPEGImage::StaticClass()) ? String(u"TJPEGImage") : Graphic->ClassName();
        FSize.Create(Graphic->Width(), Graphic->Height());
        return true;
    } catch (const std::exception&) {
        Clear();
        return false;
    }
}

TGraphic* TXImageObject::ToGraphic() const
{
    if (FData.empty())
        return nullptr;
    // Stored JPEG pictures decode through the framework's JPEG class.
    TGraphicClass Class = FindGraphicClass(FDataClass == u"TJPEGImage" ? StringView(u"TXJPEGImage") : StringView(FDataClass));
    TOwnedPtr<TGraphic> Graphic(NewGraphic(Class));
    TOwnedPtr<TBytesStream> Bytes(New<TBytesStream>(FData));
    Graphic->LoadFromStream(Bytes.get());
    return Graphic.release();
}
