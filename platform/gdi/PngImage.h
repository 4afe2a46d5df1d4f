// TPngImage: a PNG picture on libpng.
//
// The picture keeps the colour type and bit depth it was loaded or created
// with, and how it is transparent; its pixels are held as 3-byte BGR scan
// lines and, when it has any transparency, a separate alpha line of a byte
// per pixel (a transparent colour or palette entry loads into the alpha
// line). It is saved in its own colour type and depth where the pixels
// allow it (a palette of at most 256 entries, grey pixels for a grey
// picture), else in RGB or RGBA.
//
//     TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
//     Png->CreateBlank(COLOR_RGBALPHA, 8, 640, 480);   // black, alpha 0
//     Byte* Bgr = Png->Scanline(0);
//     Byte* Alpha = Png->AlphaScanline(0);
#pragma once
#include "gdi/Graphic.h"
#include <vector>

class TBitmap;

X_EXCEPTION(EPNGError, EInvalidGraphic)

// PNG colour types.
constexpr Byte COLOR_GRAYSCALE = 0;
constexpr Byte COLOR_RGB = 2;
constexpr Byte COLOR_PALETTE = 3;
constexpr Byte COLOR_GRAYSCALEALPHA = 4;
constexpr Byte COLOR_RGBALPHA = 6;

// None: opaque. Bit: one colour (or palette entries) fully transparent.
// Partial: an alpha channel, or palette entries of any opacity.
enum TPNGTransparencyMode { ptmNone, ptmBit, ptmPartial };

class TPngImage : public TGraphic {
    X_CLASS(TPngImage, TGraphic)
public:
    void Create() override;
    ~TPngImage() override;

    // Reads one PNG from the stream's position; the stream is left after
    // its IEND chunk. A failure leaves the picture as it was.
    void LoadFromStream(TStream* Stream) override;
    // An empty picture writes nothing.
    void SaveToStream(TStream* Stream) override;
    Integer Width() const override;
    Integer Height() const override;
    bool Empty() const override;
    // Blends the picture over Dest by its alpha.
    void Draw(TBitmap* Dest, const TRect& Rect) override;
    using TGraphic::Draw;
    // From a PNG picture, or a bitmap: 24-bit pixels (RGB), or 32-bit ones
    // with their alpha (RGBA; a 32-bit bitmap whose alpha bytes are all 0
    // carries no alpha and is taken as opaque RGB); null empties it.
    void Assign(TPersistent* Source) override;
    // Into a bitmap: 24-bit, or 32-bit with the alpha.
    void AssignTo(TPersistent* Dest) override;

    // A new black picture of that type (1, 2, 4, 8 or 16 bits as PNG
    // allows for it); the types with alpha get an alpha line of 0.
    void CreateBlank(Cardinal ColorType, Cardinal BitDepth, Integer AWidth, Integer AHeight);
    Byte ColorType() const { return FColorType; }
    Byte BitDepth() const { return FBitDepth; }
    TPNGTransparencyMode TransparencyMode() const { return FTransparencyMode; }
    // The fully transparent colour of a Bit picture (clNone-like 0 when
    // there is none).
    TColor TransparentColor() const { return FTransparentColor; }
    bool HasAlpha() const { return !FAlpha.empty(); }

    // Row Y: Width 3-byte BGR pixels. Raises outside the picture.
    Byte* Scanline(Integer Y);
    const Byte* Scanline(Integer Y) const;
    // Row Y of the alpha line; null when the picture has none.
    Byte* AlphaScanline(Integer Y);
    const Byte* AlphaScanline(Integer Y) const;
    TColor Pixels(Integer X, Integer Y) const;
    void SetPixels(Integer X, Integer Y, TColor Color);
    // Gives an opaque picture an alpha line of 255 and makes it RGBA (grey
    // with alpha when it was grey); a picture with alpha keeps it.
    void CreateAlpha();
    // Keeps the pixels that still fit at the top left; new ones are black
    // and transparent.
    void Resize(Integer AWidth, Integer AHeight);

private:
    void Reset(Integer AWidth, Integer AHeight, bool Alpha);
    TOwnedPtr<TBitmap> FPixels; // 24-bit BGR
    std::vector<Byte> FAlpha; // Width x Height, or empty
    Byte FColorType = COLOR_RGB;
    Byte FBitDepth = 8;
    TPNGTransparencyMode FTransparencyMode = ptmNone;
    TColor FTransparentColor = 0;
};

// A big-endian 32-bit value, as PNG's chunk lengths and header fields are stored.
Cardinal PngUInt32(const Byte* P);
