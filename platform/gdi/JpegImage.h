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
#include <memory>
#include <vector>

class TBitmap;
struct TJPEGDecodeState;

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
    // True once the decoded pixels are kept.
    bool Decoded() const { return FBitmap != nullptr; }
    // The decoded pixels (decoded on first use); null for an empty picture.
    const TBitmap* Bitmap();

private:
    friend class TJPEGRowDecoder;
    void Clear();
    void ReadHeader();
    std::vector<Byte> FData;
    TBitmap* FBitmap = nullptr;
    TJPEGScale FScale = jsFullSize;
    Integer FQuality = 90;
    Integer FImageWidth = 0; // full size, from the header
    Integer FImageHeight = 0;
};

// A JPEG picture's rows decoded one after another at its scale, for a
// reader that needs each row once and never the whole picture: the same
// pixels as TJPEGImage::Bitmap's rows. The picture must outlive the
// decoder and keep its data meanwhile.
//
//     TJPEGRowDecoder Rows(Jpeg);
//     for (Integer Y = 0; Y < Rows.Height(); ++Y)
//         Rows.ReadRow(Line.data());       // Width() x 3 bytes, BGR
//     Rows.Finish();
//
// Damaged data raises EJPEG, from the constructor (header, size caps) or
// from the row where it shows.
class TJPEGRowDecoder {
public:
    explicit TJPEGRowDecoder(const TJPEGImage* Image);
    ~TJPEGRowDecoder();
    TJPEGRowDecoder(const TJPEGRowDecoder&) = delete;
    TJPEGRowDecoder& operator=(const TJPEGRowDecoder&) = delete;
    Integer Width() const;
    Integer Height() const;
    // The row ReadRow decodes next.
    Integer NextRow() const;
    // Decodes the next row into Dest, Width() pixels of 3 bytes.
    void ReadRow(Byte* Dest);
    // Decodes the rows left and the end of the data, so damage anywhere
    // raises as it would for the whole picture.
    void Finish();

private:
    std::unique_ptr<TJPEGDecodeState> FState;
};
