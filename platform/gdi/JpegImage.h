// TJPEGImage: a JPEG picture on libjpeg. It keeps the encoded bytes and
// decodes them when pixels are needed, at the size its Scale asks for.
//
//     TOwnedPtr<TJPEGImage> Jpeg(MakeOwned<TJPEGImage>());
//     Jpeg->SetScale(jsEighth);
//     Jpeg->LoadFromStream(Stream);        // from the current position on
//     Jpeg->Width();                       // 100 for an 800-pixel-wide file
//     const TBitmap* Pixels = Jpeg->Bitmap();
//
// Damaged data raises EJPEG, also when the scan data ends early.
#pragma once
#include "gdi/Graphic.h"
#include <vector>

class TBitmap;

enum TJPEGScale { jsFullSize, jsHalf, jsQuarter, jsEighth };

X_EXCEPTION(EJPEG, EInvalidGraphic)

// The encoded data a JPEG picture takes from one stream.
constexpr Int64 MaxJPEGDataSize = Int64(256) << 20;

class TJPEGImage : public TGraphic {
    X_CLASS(TJPEGImage, TGraphic)
public:
    void Create() override { }
    ~TJPEGImage() override;

    // Takes every byte from the stream's position to its end as the JPEG
    // data and reads its header; the pixels are decoded later.
    void LoadFromStream(TStream* Stream) override;
    // Writes the JPEG data; an empty picture writes nothing.
    void SaveToStream(TStream* Stream) override;
    // The size of the decoded picture at the current scale.
    Integer Width() const override;
    Integer Height() const override;
    bool Empty() const override { return FData.empty(); }
    void Draw(TBitmap* Dest, const TRect& Rect) override;
    using TGraphic::Draw;
    // From a JPEG picture (its data and settings) or a bitmap (encoded with
    // CompressionQuality); null empties the picture.
    void Assign(TPersistent* Source) override;
    // Into a bitmap: the decoded pixels, 24-bit.
    void AssignTo(TPersistent* Dest) override;

    TJPEGScale Scale() const { return FScale; }
    // A new scale drops the decoded pixels.
    void SetScale(TJPEGScale Value);
    // 1..100; used when a bitmap is encoded.
    Integer CompressionQuality() const { return FQuality; }
    void SetCompressionQuality(Integer Value);

    // Decodes now; raises EJPEG for damaged data.
    void DIBNeeded();
    // The decoded pixels (decoded on first use); null for an empty picture.
    const TBitmap* Bitmap();

private:
    void Clear();
    void ReadHeader();
    std::vector<Byte> FData;
    TBitmap* FBitmap = nullptr;
    TJPEGScale FScale = jsFullSize;
    Integer FQuality = 90;
    Integer FImageWidth = 0; // full size, from the header
    Integer FImageHeight = 0;
};
