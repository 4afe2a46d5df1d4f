// A stored picture: the encoded bytes and the name of the graphic class
// that decodes them, never a decoded bitmap.
//
//     TOwnedPtr<TXImageObject> Thumb(New<TXImageObject>());
//     Thumb->LoadFromObject(Bitmap);         // "TBitmap", its BMP bytes
//     TOwnedPtr<TGraphic> G(Thumb->ToGraphic());
#pragma once
#include "gdi/Graphic.h"
// By path: the recovery library has a header of the same name.
#include "core/XCore.Streams.Containers.h"
#include "graphics/XMedia.Types.h"

class TXImageObject : public TXCustomSizeStreamObject {
    X_CLASS(TXImageObject, TXCustomSizeStreamObject)
public:
    // A TXImageObject is copied; a graphic stores its own encoding
    // ("TJPEGImage" for every JPEG class) and its size. Anything else, or a
    // failure, leaves the object empty and answers false.
    bool LoadFromObject(TObject* Source) override;
    // A new graphic of DataClass decoded from the bytes; null when empty.
    // Raises when the class is unknown or the bytes do not decode.
    TGraphic* ToGraphic() const;

    bool IsTransparent() const { return DataClass() == u"TIcon" || DataClass() == u"TPngImage"; }
    bool IsIcon() const { return DataClass() == u"TIcon"; }
    TXSize ImageSize() const { return { Width(), Height() }; }
};
