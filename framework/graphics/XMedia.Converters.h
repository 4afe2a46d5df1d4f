// Converters between stored pictures and pictures to draw:
//
//     IPtr<IXObjectConverter<TBitmap*>> C(New<TXImageObjectToBitmapConverter>(Stored));
//     C->Convert(Bitmap);            // decoded and drawn; 0 x 0 on failure
//
// A stored class name is used only when it names a registered picture
// class; "TJPEGImage" decodes through the framework's TXJPEGImage.
#pragma once
#include "core/XCore.Classes.h"
#include "gdi/Bitmap.h"
#include "gdi/Picture.h"
#include "graphics/XMedia.Images.h"

// The picture class for a stored class name: TXJPEGImage for "TJPEGImage"
// (and its own name), the registered TGraphic descendant of that name
// otherwise; null for a name that names none.
TGraphicClass StoredGraphicClass(const String& DataClass);

// Forces Picture to hold a picture of GraphicClass (TXJPEGImage in place of
// TJPEGImage) unless it does; a null class changes nothing.
void ForcePictureType(TPicture* Picture, TGraphicClass GraphicClass);

// The size to draw a stored picture at: the stored one, or the decoded
// one where the stored side is 0 or less or the stored size is beyond the
// picture cap.
TXSize StoredDrawSize(const TXImageObject* Source, const TGraphic* Decoded);
// A stored size above 0 and within the picture cap.
bool StoredSizeUsable(Int64 Width, Int64 Height);

class TXImageObjectToPictureConverter : public TXCustomObjectConverter<TPicture*> {
    X_CLASS(TXImageObjectToPictureConverter, TXCustomObjectConverter<TPicture*>)
public:
    void Create(TXImageObject* ASource);
    // Forces the picture to the stored class and loads the bytes; a load
    // that fails leaves the picture as it was.
    void Convert(TPicture* Picture) override;

private:
    TXImageObject* FSource = nullptr; // borrowed
};

class TXImageObjectToBitmapConverter : public TXCustomObjectConverter<TBitmap*> {
    X_CLASS(TXImageObjectToBitmapConverter, TXCustomObjectConverter<TBitmap*>)
public:
    void Create(TXImageObject* ASource);
    // Decodes and draws the picture at (0, 0) on the bitmap sized to it;
    // any failure leaves the bitmap 0 x 0. Without data or class name the
    // bitmap is not touched.
    void Convert(TBitmap* Bitmap) override;

private:
    TXImageObject* FSource = nullptr; // borrowed
};

class TXGraphicToImageObjectConverter : public TXCustomObjectConverter<TXImageObject*> {
    X_CLASS(TXGraphicToImageObjectConverter, TXCustomObjectConverter<TXImageObject*>)
public:
    void Create(TGraphic* ASource);
    // The object gets the graphic's class name, its encoding, byte count
    // and size.
    void Convert(TXImageObject* ImageObject) override;

private:
    TGraphic* FSource = nullptr; // borrowed
};
