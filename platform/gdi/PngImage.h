// TPngImage: a PNG picture on libpng. The pixels are held decoded: 24-bit
// BGR, or 32-bit BGRA (straight alpha) when the file has transparency.
// Palettes, grey levels and 16-bit samples are expanded on load.
#pragma once
#include "gdi/Graphic.h"

class TBitmap;

X_EXCEPTION(EPNGError, EInvalidGraphic)

class TPngImage : public TGraphic {
    X_CLASS(TPngImage, TGraphic)
public:
    void Create() override;
    ~TPngImage() override;

    // Reads one PNG from the stream's position; the stream is left after
    // its IEND chunk.
    void LoadFromStream(TStream* Stream) override;
    // RGB, or RGBA when the picture has an alpha channel. An empty picture
    // writes nothing.
    void SaveToStream(TStream* Stream) override;
    Integer Width() const override;
    Integer Height() const override;
    bool Empty() const override;
    // Blends the picture over Dest by its alpha.
    void Draw(TBitmap* Dest, const TRect& Rect) override;
    // From a PNG picture, or a bitmap: 24-bit pixels, or 32-bit ones with
    // their alpha (a 32-bit bitmap whose alpha bytes are all 0 carries no
    // alpha and is taken as opaque); null empties the picture.
    void Assign(TPersistent* Source) override;
    // Into a bitmap: 24-bit, or 32-bit with the alpha.
    void AssignTo(TPersistent* Dest) override;

    bool HasAlpha() const;

private:
    TBitmap* FPixels = nullptr;
};
