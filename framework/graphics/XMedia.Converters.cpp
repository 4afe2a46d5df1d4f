#include "graphics/XMedia.Converters.h"
#include "core/XCore.Errors.h"
#include "graphics/XMedia.JPEG.h"
#include "rtl/Streams.h"

X_REGISTER_CLASS(TXImageObjectToPictureConverter)
X_REGISTER_CLASS(TXImageObjectToBitmapConverter)
X_REGISTER_CLASS(TXGraphicToImageObjectConverter)

TGraphicClass StoredGraphicClass(const String& DataClass)
{
    const TGraphicClass Class = FindGraphicClass(DataClass);
    if (Class && Class->InheritsFrom(TJPEGImage::StaticClass()))
        return TXJPEGImage::StaticClass();
    return Class;
}

void ForcePictureType(TPicture* Picture, TGraphicClass GraphicClass)
{
    if (!Picture || !GraphicClass)
        return;
    if (GraphicClass == TJPEGImage::StaticClass())
        GraphicClass = TXJPEGImage::StaticClass();
    Picture->ForceGraphicClass(GraphicClass);
}

TXSize StoredDrawSize(const TXImageObject* Source, const TGraphic* Decoded)
{
    if (!StoredSizeUsable(Source->Width(), Source->Height()))
        return { Decoded->Width(), Decoded->Height() };
    return { Source->Width(), Source->Height() };
}

bool StoredSizeUsable(Int64 Width, Int64 Height)
{
    return Width > 0 && Height > 0 && Width <= MaxGraphicSide && Height <= MaxGraphicSide &&
        Width * Height <= MaxGraphicPixels;
}

namespace {

bool HasData(const TXImageObject* Source)
{
    return Source && Source->DataStream() && Source->DataStream()->Size() > 0 && !Source->DataClass().empty();
}

} // namespace

// ---- stored picture to picture ----

void TXImageObjectToPictureConverter::Create(TXImageObject* ASource)
{
    FSource = ASource;
    CreateManaged(1);
}

void TXImageObjectToPictureConverter::Convert(TPicture* Picture)
{
    if (!Picture || !HasData(FSource))
        return;
    const TGraphicClass Class = StoredGraphicClass(FSource->DataClass());
    if (!Class)
        return;
    // Decoded apart, so a failure leaves the picture as it was.
    TOwnedPtr<TPicture> Decoded(MakeOwned<TPicture>());
    if (Picture->Graphic() && Picture->Graphic()->InheritsFrom(Class))
        Decoded->SetGraphic(Picture->Graphic());
    const bool Ok = XGuarded(xecReadFailed, false, [&] {
        ForcePictureType(Decoded.get(), Class);
        FSource->DataStream()->SetPosition(0);
        Decoded->Graphic()->LoadFromStream(FSource->DataStream());
    });
    if (Ok)
        Picture->Assign(Decoded.get());
}

// ---- stored picture to bitmap ----

void TXImageObjectToBitmapConverter::Create(TXImageObject* ASource)
{
    FSource = ASource;
    CreateManaged(1);
}

void TXImageObjectToBitmapConverter::Convert(TBitmap* Bitmap)
{
    if (!Bitmap || !HasData(FSource))
        return;
    const TGraphicClass Class = StoredGraphicClass(FSource->DataClass());
    const bool Ok = Class && XGuarded(xecReadFailed, false, [&] {
        TOwnedPtr<TPicture> Picture(MakeOwned<TPicture>());
        ForcePictureType(Picture.get(), Class);
        FSource->DataStream()->SetPosition(0);
        Picture->Graphic()->LoadFromStream(FSource->DataStream());
        const TXSize Size = StoredDrawSize(FSource, Picture->Graphic());
        Bitmap->SetSize(0, 0);
        Bitmap->SetSize(Size.Width, Size.Height);
        Bitmap->Canvas()->Draw(0, 0, Picture->Graphic());
    });
    if (!Ok)
        Bitmap->SetSize(0, 0);
}

// ---- graphic to stored picture ----

void TXGraphicToImageObjectConverter::Create(TGraphic* ASource)
{
    FSource = ASource;
    CreateManaged(1);
}

void TXGraphicToImageObjectConverter::Convert(TXImageObject* ImageObject)
{
    if (!ImageObject)
        return;
    ImageObject->Clear();
    if (!FSource)
        return;
    const bool Ok = XGuarded(xecWriteFailed, false, [&] {
        ImageObject->SetDataClass(FSource->ClassName());
        FSource->SaveToStream(ImageObject->DataStream());
        ImageObject->DataStream()->SetPosition(0);
        ImageObject->SetSize(ImageObject->DataStream()->Size());
        ImageObject->SetWidth(FSource->Width());
        ImageObject->SetHeight(FSource->Height());
    });
    if (!Ok)
        ImageObject->Clear();
}
