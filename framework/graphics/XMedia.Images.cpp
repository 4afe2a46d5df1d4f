#include "graphics/XMedia.Images.h"
#include "gdi/JpegImage.h"
#include "rtl/Streams.h"
#include <exception>

X_REGISTER_CLASS(TXImageObject)

bool TXImageObject::LoadFromObject(TObject* Source)
{
    if (DynamicCast<TXImageObject>(Source))
        return inherited::LoadFromObject(Source);
    Clear();
    auto* Graphic = DynamicCast<TGraphic>(Source);
    if (!Graphic)
        return false;
    try {
        Graphic->SaveToStream(DataStream());
        DataStream()->SetPosition(0);
        SetDataClass(Graphic->InheritsFrom(TJPEGImage::StaticClass()) ? String(u"TJPEGImage") : Graphic->ClassName());
        SetWidth(Graphic->Width());
        SetHeight(Graphic->Height());
        return true;
    } catch (const std::exception&) {
        Clear();
        return false;
    }
}

TGraphic* TXImageObject::ToGraphic() const
{
    TMemoryStream* Data = DataStream();
    if (!Data || Data->Size() == 0)
        return nullptr;
    // Stored JPEG pictures decode through the framework's JPEG class.
    const String Name = DataClass() == u"TJPEGImage" ? String(u"TXJPEGImage") : DataClass();
    TOwnedPtr<TGraphic> Graphic(NewGraphic(FindGraphicClass(Name)));
    Data->SetPosition(0);
    Graphic->LoadFromStream(Data);
    return Graphic.release();
}
