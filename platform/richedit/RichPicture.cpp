#include "richedit/RichPicture.h"
#include "gdi/Bitmap.h"
#include "gdi/JpegImage.h"
#include "gdi/PngImage.h"
#include "rtl/Streams.h"
#include <cstring>

namespace {

Cardinal BigEndian32(const RawBytes& B, size_t At)
{
    return Cardinal(Byte(B[At])) << 24 | Cardinal(Byte(B[At + 1])) << 16 | Cardinal(Byte(B[At + 2])) << 8
        | Cardinal(Byte(B[At + 3]));
}

Cardinal LittleEndian32(const RawBytes& B, size_t At)
{
    return Cardinal(Byte(B[At])) | Cardinal(Byte(B[At + 1])) << 8 | Cardinal(Byte(B[At + 2])) << 16
        | Cardinal(Byte(B[At + 3])) << 24;
}

Word LittleEndian16(const RawBytes& B, size_t At)
{
    return Word(Byte(B[At]) | Byte(B[At + 1]) << 8);
}

bool PngSize(const RawBytes& B, Int64& W, Int64& H)
{
    if (B.size() < 24 || B.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || B.compare(12, 4, "IHDR") != 0)
        return false;
    W = BigEndian32(B, 16);
    H = BigEndian32(B, 20);
    return true;
}

bool JpegSize(const RawBytes& B, Int64& W, Int64& H)
{
    if (B.size() < 4 || Byte(B[0]) != 0xFF || Byte(B[1]) != 0xD8)
        return false;
    size_t I = 2;
    // Each marker segment tells its length, so the walk is linear.
    while (I + 4 <= B.size()) {
        if (Byte(B[I]) != 0xFF)
            return false;
        const Byte M = Byte(B[I + 1]);
        if (M == 0xFF) {
            ++I;
            continue;
        }
        const size_t Len = size_t(Byte(B[I + 2])) << 8 | Byte(B[I + 3]);
        const bool Frame = M >= 0xC0 && M <= 0xCF && M != 0xC4 && M != 0xC8 && M != 0xCC;
        if (Frame) {
            if (I + 9 > B.size())
                return false;
            H = Int64(Byte(B[I + 5])) << 8 | Byte(B[I + 6]);
            W = Int64(Byte(B[I + 7])) << 8 | Byte(B[I + 8]);
            return true;
        }
        if (Len < 2)
            return false;
        I += 2 + Len;
    }
    return false;
}

bool DibSize(const RawBytes& B, Int64& W, Int64& H)
{
    if (B.size() < 12)
        return false;
    const Cardinal Header = LittleEndian32(B, 0);
    if (Header == 12) {
        W = LittleEndian16(B, 4);
        H = LittleEndian16(B, 6);
        return true;
    }
    if (Header < 40 || B.size() < 16)
        return false;
    W = Integer(LittleEndian32(B, 4));
    H = Integer(LittleEndian32(B, 8));
    if (H < 0)
        H = -H;
    return W >= 0;
}

bool PictureSize(const TRichPicture& Picture, Int64& W, Int64& H)
{
    switch (Picture.Format) {
    case rpfPng: return PngSize(Picture.Data, W, H);
    case rpfJpeg: return JpegSize(Picture.Data, W, H);
    case rpfDib: return DibSize(Picture.Data, W, H);
    default: return false;
    }
}

// A device-independent bitmap with the file header a .bmp file has.
RawBytes DibAsFile(const RawBytes& Dib)
{
    const Cardinal Header = LittleEndian32(Dib, 0);
    Cardinal Colors = 0;
    if (Header >= 40) {
        const Word Bits = LittleEndian16(Dib, 14);
        const Cardinal Used = Dib.size() >= 36 ? LittleEndian32(Dib, 32) : 0;
        Colors = Used ? Used : Bits <= 8 ? (1u << Bits) : 0;
        if (Header == 40 && Dib.size() >= 20 && LittleEndian32(Dib, 16) == 3)
            Colors += 3; // the three masks of bit fields
        Colors = Colors > 256 + 3 ? 256 + 3 : Colors;
    } else {
        const Word Bits = LittleEndian16(Dib, 10);
        Colors = Bits <= 8 ? (1u << Bits) : 0;
    }
    const Cardinal Entry = Header == 12 ? 3 : 4;
    const Cardinal Offset = 14 + Header + Colors * Entry;
    const Cardinal Size = Cardinal(14 + Dib.size());
    RawBytes File = "BM";
    for (Cardinal V : { Size, Cardinal(0), Offset })
        for (int I = 0; I < 4; ++I)
            File.push_back(char(V >> (8 * I)));
    return File + Dib;
}

}

bool ReadPictureSize(TRichPicture& Picture)
{
    Int64 W = 0, H = 0;
    if (!PictureSize(Picture, W, H) || W > MaxGraphicSide || H > MaxGraphicSide)
        return false;
    Picture.Width = Integer(W);
    Picture.Height = Integer(H);
    return true;
}

TOwnedPtr<TGraphic> DecodePicture(const TRichPicture& Picture)
{
    Int64 W = 0, H = 0;
    if (!PictureSize(Picture, W, H) || W <= 0 || H <= 0 || W * H > MaxRichPicturePixels)
        return {};
    TOwnedPtr<TGraphic> Graphic;
    RawBytes Bytes;
    switch (Picture.Format) {
    case rpfPng: Graphic.reset(New<TPngImage>()); Bytes = Picture.Data; break;
    case rpfJpeg: Graphic.reset(New<TJPEGImage>()); Bytes = Picture.Data; break;
    case rpfDib: Graphic.reset(New<TBitmap>()); Bytes = DibAsFile(Picture.Data); break;
    default: return {};
    }
    TOwnedPtr<TBytesStream> Stream(New<TBytesStream>(std::vector<Byte>(Bytes.begin(), Bytes.end())));
    try {
        Graphic->LoadFromStream(Stream.get());
    } catch (const EInvalidGraphic&) {
        return {};
    } catch (const EStreamError&) {
        return {};
    }
    return Graphic;
}
