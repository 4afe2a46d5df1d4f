// The BMP file format of TBitmap: a BITMAPFILEHEADER, a BITMAPINFOHEADER
// (or one of its longer or older forms on load), an optional palette and
// the rows, bottom-up unless the height is negative. Paletted files (1, 4
// and 8 bits) load as 24-bit bitmaps; indexes beyond the palette are black.
#include "gdi/Bitmap.h"
#include "rtl/Streams.h"
#include <climits>
#include <cstring>

namespace {

constexpr Cardinal BI_RGB = 0;
constexpr Cardinal BI_BITFIELDS = 3;
constexpr Integer FileHeaderSize = 14;
constexpr Integer InfoHeaderSize = 40;

Word GetWord(const Byte* P)
{
    return Word(P[0] | (P[1] << 8));
}
Cardinal GetCardinal(const Byte* P)
{
    return Cardinal(P[0]) | (Cardinal(P[1]) << 8) | (Cardinal(P[2]) << 16) | (Cardinal(P[3]) << 24);
}
void PutWord(Byte* P, Word V)
{
    P[0] = Byte(V);
    P[1] = Byte(V >> 8);
}
void PutCardinal(Byte* P, Cardinal V)
{
    for (int I = 0; I < 4; ++I)
        P[I] = Byte(V >> (8 * I));
}

[[noreturn]] void Invalid(const char16_t* Why)
{
    throw EInvalidGraphic(String(u"Bitmap image is not valid: ") + Why);
}

void ReadExact(TStream* Stream, void* Buffer, Int64 Count)
{
    if (Stream->Read(Buffer, Count) != Count)
        Invalid(u"unexpected end of data");
}

} // namespace

void TBitmap::LoadFromStream(TStream* Stream)
{
    const Int64 Start = Stream->Position();
    const Int64 Avail = Stream->Size() - Start;
    if (Avail <= 0) {
        // An empty stream holds an empty bitmap.
        Assign(nullptr);
        return;
    }
    Byte Head[FileHeaderSize + 124] = {};
    if (Avail < FileHeaderSize + 12)
        Invalid(u"too short");
    ReadExact(Stream, Head, FileHeaderSize + 4);
    if (Head[0] != 'B' || Head[1] != 'M')
        Invalid(u"no BM signature");
    const Int64 OffBits = GetCardinal(Head + 10);
    const Cardinal InfoSize = GetCardinal(Head + 14);
    const bool Core = InfoSize == 12;
    if (!Core && (InfoSize < InfoHeaderSize || InfoSize > 124))
        Invalid(u"unknown header size");
    if (FileHeaderSize + Int64(InfoSize) > Avail)
        Invalid(u"unexpected end of data");
    ReadExact(Stream, Head + FileHeaderSize + 4, InfoSize - 4);
    const Byte* Info = Head + FileHeaderSize;

    Int64 Width, Height;
    Word Planes, BitCount;
    Cardinal Compression = BI_RGB, ClrUsed = 0;
    if (Core) {
        Width = GetWord(Info + 4);
        Height = GetWord(Info + 6);
        Planes = GetWord(Info + 8);
        BitCount = GetWord(Info + 10);
    } else {
        Width = Integer(GetCardinal(Info + 4));
        Height = Integer(GetCardinal(Info + 8));
        Planes = GetWord(Info + 12);
        BitCount = GetWord(Info + 14);
        Compression = GetCardinal(Info + 16);
        ClrUsed = GetCardinal(Info + 32);
    }
    const bool TopDown = Height < 0;
    if (TopDown)
        Height = -Height;
    if (Width <= 0 || Height <= 0)
        Invalid(u"empty or negative size");
    if (Planes != 1)
        Invalid(u"plane count is not 1");
    const bool Paletted = BitCount == 1 || BitCount == 4 || BitCount == 8;
    if (!Paletted && BitCount != 24 && BitCount != 32)
        Invalid(u"unsupported bit count");
    CheckGraphicSize(Width, Height);

    Int64 PaletteAt = FileHeaderSize + Int64(InfoSize);
    if (Compression == BI_BITFIELDS && BitCount == 32) {
        // Only the masks of plain BGRA pixels are taken.
        Byte Masks[12];
        if (InfoSize >= 52) {
            std::memcpy(Masks, Info + 40, 12);
        } else {
            if (PaletteAt + 12 > Avail)
                Invalid(u"unexpected end of data");
            ReadExact(Stream, Masks, 12);
            PaletteAt += 12;
        }
        if (GetCardinal(Masks) != 0x00FF0000 || GetCardinal(Masks + 4) != 0x0000FF00 ||
            GetCardinal(Masks + 8) != 0x000000FF)
            Invalid(u"unsupported colour masks");
    } else if (Compression != BI_RGB) {
        Invalid(u"unsupported compression");
    }

    Byte Palette[256][4] = {};
    if (Paletted) {
        const Int64 Colours = ClrUsed == 0 ? (Int64(1) << BitCount) : ClrUsed;
        if (Colours > 256)
            Invalid(u"palette too large");
        const Int64 EntrySize = Core ? 3 : 4;
        if (PaletteAt + Colours * EntrySize > Avail)
            Invalid(u"unexpected end of data");
        Stream->Seek(Start + PaletteAt, soBeginning);
        for (Int64 I = 0; I < Colours; ++I)
            ReadExact(Stream, Palette[I], EntrySize);
        PaletteAt += Colours * EntrySize;
    }

    const Int64 FileStride = ((Width * BitCount + 31) / 32) * 4;
    if (OffBits < PaletteAt || OffBits > Avail || FileStride * Height > Avail - OffBits)
        Invalid(u"pixel data outside the file");

    TOwnedPtr<TBitmap> Result(MakeOwned<TBitmap>());
    Result->SetPixelFormat(BitCount == 32 ? pf32bit : pf24bit);
    Result->SetSize(Integer(Width), Integer(Height));
    Stream->Seek(Start + OffBits, soBeginning);
    std::vector<Byte> Row(static_cast<size_t>(FileStride));
    for (Int64 I = 0; I < Height; ++I) {
        Byte* D = Result->ScanLine(Integer(TopDown ? I : Height - 1 - I));
        if (Paletted) {
            ReadExact(Stream, Row.data(), FileStride);
            const unsigned Mask = (1u << BitCount) - 1;
            for (Int64 X = 0; X < Width; ++X, D += 3) {
                const Int64 Bit = X * BitCount;
                const unsigned Index = (Row[size_t(Bit / 8)] >> (8 - BitCount - Bit % 8)) & Mask;
                std::memcpy(D, Palette[Index], 3);
            }
        } else {
            ReadExact(Stream, D, FileStride);
        }
    }
    Assign(Result.get());
}

void TBitmap::SaveToStream(TStream* Stream)
{
    if (Empty())
        return;
    const Cardinal ImageSize = Cardinal(Int64(FStride) * FHeight);
    Byte Head[FileHeaderSize + InfoHeaderSize] = {};
    Head[0] = 'B';
    Head[1] = 'M';
    PutCardinal(Head + 2, FileHeaderSize + InfoHeaderSize + ImageSize);
    PutCardinal(Head + 10, FileHeaderSize + InfoHeaderSize);
    Byte* Info = Head + FileHeaderSize;
    PutCardinal(Info, InfoHeaderSize);
    PutCardinal(Info + 4, Cardinal(FWidth));
    PutCardinal(Info + 8, Cardinal(FHeight));
    PutWord(Info + 12, 1);
    PutWord(Info + 14, Word(BytesPerPixel() * 8));
    PutCardinal(Info + 16, BI_RGB);
    PutCardinal(Info + 20, ImageSize);
    PutCardinal(Info + 24, 3780); // 96 DPI
    PutCardinal(Info + 28, 3780);
    Stream->WriteBuffer(Head, sizeof Head);
    for (Integer Y = FHeight - 1; Y >= 0; --Y)
        Stream->WriteBuffer(ScanLine(Y), FStride);
}
