// A stored picture: the encoded bytes and the name of the graphic class
// that decodes them, never a decoded bitmap.
//
//     TOwnedPtr<TXImageObject> Thumb(New<TXImageObject>());
//     Thumb->LoadFromObject(Bitmap);         // "TBitmap", its BMP bytes
//     TOwnedPtr<TGraphic> G(Thumb->ToGraphic());
#pragma once
#include "Graphic.h"
#include "XCore.Classes.h"
#include "XCore.Types.h"
#include "XMedia.Types.h"

class TXImageObject : public TXPersistent {
    X_CLASS(TXImageObject, TXPersistent)
public:
    bool AssignFrom(TPersistent* Source) override;
    void Clear() override;
    bool IsEmpty() override { return FData.empty(); }

    // A TXImageObject is copied; a graphic stores its own encoding
    // ("TJPEGImage" for every JPEG class) and its size. Anything else, or a
    // failure, leaves the object empty and answers false.
    bool LoadFromObject(TPersistent* Source);
    // A new graphic of DataClass decoded from the bytes; null when empty.
    // Raises when the class is unknown or the bytes do not decode.
    TGraphic* ToGraphic() const;

    bool IsTransparent() const { return FDataClass == u"TIcon" || FDataClass == u"TPngImage"; }
    const String& DataClass() const { return FDataClass; }
    const TXByteArray& Data() const { return FData; }
    Integer Width() const { return FSize.Width; }
    Integer Height() const { return FSize.Height; }
    const TXSize& ImageSize() const { return FSize; }

private:
    String FDataClass;
    TXByteArray FData;
    TXSize FSize;
};
