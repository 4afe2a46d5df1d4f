#include "gdi/PngImage.h"
#include "gdi/Bitmap.h"
#include "rtl/Streams.h"
#include <csetjmp>
#include <png.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <unordered_map>

X_REGISTER_CLASS(TPngImage)

namespace {

// The most libpng may allocate at once while reading: one chunk's data, or
// what a compressed text or colour profile inflates to. Real metadata is
// far smaller; libpng's own limit only warns for ancillary chunks.
constexpr png_alloc_size_t MaxPngAllocation = png_alloc_size_t(8) << 20;

// libpng reports errors through longjmp to the setjmp of the function that
// drives it; C++ objects live outside those functions, in their callers,
// so the jump skips no destructor.
struct TPngState {
    png_structp Png = nullptr;
    png_infop Info = nullptr;
    TStream* Stream = nullptr;
    // Where the stream ends; -1 when it cannot tell.
    Int64 StreamEnd = -1;
    char Text[200] = {};
};

// What a read hands back: the pixels split into BGR and alpha, and the
// picture's header and transparency.
struct TPngRead : TPngState {
    TBitmap* Pixels = nullptr;
    std::vector<Byte>* Alpha = nullptr;
    std::vector<Byte> Buffer;
    std::vector<png_bytep> Rows;
    Byte ColorType = 0, BitDepth = 0;
    TPNGTransparencyMode Mode = ptmNone;
    TColor TransparentColor = 0;
};

// What a write needs: the rows already in the file's layout.
struct TPngWrite : TPngState {
    Integer Width = 0, Height = 0;
    int ColorType = 0, BitDepth = 8;
    std::vector<png_color> Palette;
    std::vector<png_byte> PaletteAlpha;
    bool HasKey = false;
    png_color_16 Key {};
    std::vector<Byte> Row;
    // Fills Row with row Y in the file's layout.
    std::function<void(Integer Y, Byte* Row)> MakeRow;
};

void ErrorFn(png_structp Png, png_const_charp Message)
{
    auto* St = static_cast<TPngState*>(png_get_error_ptr(Png));
    std::strncpy(St->Text, Message ? Message : "", sizeof St->Text - 1);
    png_longjmp(Png, 1);
}

void WarningFn(png_structp, png_const_charp)
{ }

void* MallocFn(png_structp, png_alloc_size_t Size)
{
    return Size <= MaxPngAllocation ? std::malloc(Size) : nullptr;
}

void FreeFn(png_structp, png_voidp Block)
{
    std::free(Block);
}

void ReadFn(png_structp Png, png_bytep Data, size_t Count)
{
    auto* St = static_cast<TPngState*>(png_get_io_ptr(Png));
    bool Ok;
    Int64 Left = -1;
    try {
        Ok = St->Stream->Read(Data, Int64(Count)) == Int64(Count);
        if (Ok && St->StreamEnd >= 0)
            Left = St->StreamEnd - St->Stream->Position();
    } catch (...) {
        // Any failure of the stream is an early end here: libpng cannot
        // let an exception through its C frames.
        Ok = false;
    }
    if (!Ok)
        png_error(Png, "Unexpected end of PNG data");
    // libpng reads a chunk's length and type in one call and may buffer the
    // data before it reads it: a length the stream cannot hold (with the
    // checksum behind it) is refused here, before anything is allocated.
    if (Left >= 0 && Count == 8 && (png_get_io_state(Png) & PNG_IO_MASK_LOC) == PNG_IO_CHUNK_HDR &&
        Int64(PngUInt32(Data)) + 4 > Left)
        png_error(Png, "PNG chunk longer than the data left");
}

void WriteFn(png_structp Png, png_bytep Data, size_t Count)
{
    auto* St = static_cast<TPngState*>(png_get_io_ptr(Png));
    bool Ok = true;
    try {
        St->Stream->WriteBuffer(Data, Int64(Count));
    } catch (...) {
        // As in ReadFn: the failure goes back through png_error.
        Ok = false;
    }
    if (!Ok)
        png_error(Png, "PNG data could not be written");
}

void FlushFn(png_structp)
{ }

// An 8-bit value of a sample of Depth bits.
Byte ScaleSample(unsigned Value, int Depth)
{
    if (Depth == 16)
        return Byte((Value * 255u + 32767u) / 65535u);
    if (Depth == 8)
        return Byte(Value);
    return Byte(Value * 255u / ((1u << Depth) - 1u));
}

// The header's transparency: the mode and the transparent colour.
void ReadTransparency(TPngRead* St, int ColourType, int Depth)
{
    if (ColourType & PNG_COLOR_MASK_ALPHA) {
        St->Mode = ptmPartial;
        return;
    }
    png_bytep TransAlpha = nullptr;
    int Count = 0;
    png_color_16p TransColour = nullptr;
    if (!png_get_valid(St->Png, St->Info, PNG_INFO_tRNS) ||
        !png_get_tRNS(St->Png, St->Info, &TransAlpha, &Count, &TransColour))
        return;
    St->Mode = ptmBit;
    if (ColourType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp Palette = nullptr;
        int Colours = 0;
        png_get_PLTE(St->Png, St->Info, &Palette, &Colours);
        bool Found = false;
        for (int I = 0; I < Count && TransAlpha; ++I) {
            if (TransAlpha[I] != 0 && TransAlpha[I] != 255)
                St->Mode = ptmPartial;
            if (TransAlpha[I] == 0 && !Found && I < Colours) {
                St->TransparentColor = RGB(Palette[I].red, Palette[I].green, Palette[I].blue);
                Found = true;
            }
        }
        return;
    }
    if (!TransColour)
        return;
    if (ColourType == PNG_COLOR_TYPE_GRAY) {
        const Byte G = ScaleSample(TransColour->gray, Depth);
        St->TransparentColor = RGB(G, G, G);
    } else {
        St->TransparentColor = RGB(ScaleSample(TransColour->red, Depth), ScaleSample(TransColour->green, Depth),
            ScaleSample(TransColour->blue, Depth));
    }
}

void SplitRow(const Byte* Bgra, Byte* Bgr, Byte* Alpha, Integer Width)
{
    for (Integer X = 0; X < Width; ++X, Bgra += 4, Bgr += 3) {
        Bgr[0] = Bgra[0];
        Bgr[1] = Bgra[1];
        Bgr[2] = Bgra[2];
        Alpha[X] = Bgra[3];
    }
}

// Deflate makes at most about 1032 bytes of one. A picture whose rows need
// more than the bytes left could make is refused before its pixels are
// allocated: a 74-byte file declaring 10000 x 10000 pixels is damaged, not
// a reason to take 700 MB. Where the stream cannot tell its end, only the
// pixel cap holds.
constexpr UInt64 MaxDeflateRatio = 1032;

void CheckDataHoldsPicture(TPngState* St, size_t RowBytes, png_uint_32 Height)
{
    if (St->StreamEnd < 0)
        return;
    Int64 Left = 0;
    try {
        Left = St->StreamEnd - St->Stream->Position();
    } catch (...) {
        Left = 0;
    }
    // The rows without their filter bytes: fewer than any layout stores.
    const UInt64 Raw = UInt64(RowBytes) * Height;
    if (Raw / MaxDeflateRatio > UInt64(std::max<Int64>(Left, 0)))
        png_error(St->Png, "PNG data too short for its picture");
}

bool RunRead(TPngRead* St)
{
    if (setjmp(png_jmpbuf(St->Png)))
        return false;
    png_set_user_limits(St->Png, MaxGraphicSide, MaxGraphicSide);
    png_set_chunk_malloc_max(St->Png, MaxPngAllocation);
    // Only the header, palette, transparency and pixels make the picture;
    // every other chunk (texts, profiles, private data) is skipped unread.
    png_set_keep_unknown_chunks(St->Png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_read_fn(St->Png, St, ReadFn);
    png_read_info(St->Png, St->Info);
    png_uint_32 W = 0, H = 0;
    int Depth = 0, ColourType = 0, Interlace = 0;
    png_get_IHDR(St->Png, St->Info, &W, &H, &Depth, &ColourType, &Interlace, nullptr, nullptr);
    CheckGraphicSize(W, H);
    CheckDataHoldsPicture(St, png_get_rowbytes(St->Png, St->Info), H);
    St->ColorType = Byte(ColourType);
    St->BitDepth = Byte(Depth);
    ReadTransparency(St, ColourType, Depth);
    const bool Alpha = St->Mode != ptmNone;
    png_set_expand(St->Png);
    png_set_scale_16(St->Png);
    png_set_gray_to_rgb(St->Png);
    png_set_bgr(St->Png);
    const int Passes = png_set_interlace_handling(St->Png);
    png_read_update_info(St->Png, St->Info);
    const size_t Channels = Alpha ? 4 : 3;
    if (png_get_channels(St->Png, St->Info) != Channels || png_get_rowbytes(St->Png, St->Info) != size_t(W) * Channels)
        png_error(St->Png, "Unexpected PNG pixel layout");
    St->Pixels->SetSize(Integer(W), Integer(H));
    if (Alpha)
        St->Alpha->assign(size_t(W) * H, 0);
    if (!Alpha) {
        // Opaque pictures decode straight into the BGR rows.
        St->Rows.resize(H);
        for (png_uint_32 Y = 0; Y < H; ++Y)
            St->Rows[Y] = St->Pixels->ScanLine(Integer(Y));
        png_read_image(St->Png, St->Rows.data());
    } else if (Passes == 1) {
        St->Buffer.resize(size_t(W) * 4);
        for (png_uint_32 Y = 0; Y < H; ++Y) {
            png_read_row(St->Png, St->Buffer.data(), nullptr);
            SplitRow(St->Buffer.data(), St->Pixels->ScanLine(Integer(Y)), St->Alpha->data() + size_t(Y) * W,
                Integer(W));
        }
    } else {
        // Interlaced passes fill the whole picture before it can be split.
        St->Buffer.resize(size_t(W) * 4 * H);
        St->Rows.resize(H);
        for (png_uint_32 Y = 0; Y < H; ++Y)
            St->Rows[Y] = St->Buffer.data() + size_t(Y) * W * 4;
        png_read_image(St->Png, St->Rows.data());
        for (png_uint_32 Y = 0; Y < H; ++Y)
            SplitRow(St->Rows[Y], St->Pixels->ScanLine(Integer(Y)), St->Alpha->data() + size_t(Y) * W, Integer(W));
    }
    png_read_end(St->Png, nullptr);
    return true;
}

bool RunWrite(TPngWrite* St)
{
    if (setjmp(png_jmpbuf(St->Png)))
        return false;
    png_set_write_fn(St->Png, St, WriteFn, FlushFn);
    png_set_IHDR(St->Png, St->Info, png_uint_32(St->Width), png_uint_32(St->Height), St->BitDepth, St->ColorType,
        PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (St->ColorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(St->Png, St->Info, St->Palette.data(), int(St->Palette.size()));
        if (!St->PaletteAlpha.empty())
            png_set_tRNS(St->Png, St->Info, St->PaletteAlpha.data(), int(St->PaletteAlpha.size()), nullptr);
    } else if (St->HasKey) {
        png_set_tRNS(St->Png, St->Info, nullptr, 0, &St->Key);
    }
    png_write_info(St->Png, St->Info);
    for (Integer Y = 0; Y < St->Height; ++Y) {
        St->MakeRow(Y, St->Row.data());
        png_write_row(St->Png, St->Row.data());
    }
    png_write_end(St->Png, nullptr);
    return true;
}

// Packs samples of Depth bits (below 8) into bytes, leftmost in the high bits.
void PackSamples(const Byte* Samples, Integer Count, int Depth, Byte* Out)
{
    const int PerByte = 8 / Depth;
    for (Integer I = 0; I < Count; I += PerByte) {
        Byte B = 0;
        for (int K = 0; K < PerByte; ++K)
            B = Byte(B << Depth | (I + K < Count ? Samples[I + K] : 0));
        Out[I / PerByte] = B;
    }
}

} // namespace

void TPngImage::Create()
{
    inherited::Create();
    FPixels = MakeOwned<TBitmap>();
}

TPngImage::~TPngImage() = default;

Integer TPngImage::Width() const
{
    return FPixels->Width();
}
Integer TPngImage::Height() const
{
    return FPixels->Height();
}
bool TPngImage::Empty() const
{
    return FPixels->Empty();
}

void TPngImage::Reset(Integer AWidth, Integer AHeight, bool Alpha)
{
    CheckGraphicSize(AWidth, AHeight);
    FPixels->Assign(nullptr);
    FPixels->SetSize(AWidth, AHeight);
    FAlpha.clear();
    if (Alpha)
        FAlpha.assign(size_t(AWidth) * size_t(AHeight), 0);
}

void TPngImage::CreateBlank(Cardinal ColorType, Cardinal BitDepth, Integer AWidth, Integer AHeight)
{
    bool Valid;
    switch (ColorType) {
    case COLOR_GRAYSCALE:
        Valid = BitDepth == 1 || BitDepth == 2 || BitDepth == 4 || BitDepth == 8 || BitDepth == 16;
        break;
    case COLOR_PALETTE: Valid = BitDepth == 1 || BitDepth == 2 || BitDepth == 4 || BitDepth == 8; break;
    case COLOR_RGB:
    case COLOR_GRAYSCALEALPHA:
    case COLOR_RGBALPHA: Valid = BitDepth == 8 || BitDepth == 16; break;
    default: Valid = false;
    }
    if (!Valid)
        throw EPNGError(u"Invalid PNG colour type or bit depth");
    const bool Alpha = ColorType & PNG_COLOR_MASK_ALPHA;
    Reset(AWidth, AHeight, Alpha);
    for (Integer Y = 0; Y < AHeight; ++Y)
        std::memset(FPixels->ScanLine(Y), 0, size_t(FPixels->BytesPerScanline()));
    FColorType = Byte(ColorType);
    FBitDepth = Byte(BitDepth);
    FTransparencyMode = Alpha ? ptmPartial : ptmNone;
    FTransparentColor = 0;
}

Byte* TPngImage::Scanline(Integer Y)
{
    return FPixels->ScanLine(Y);
}
const Byte* TPngImage::Scanline(Integer Y) const
{
    return static_cast<const TBitmap*>(FPixels.get())->ScanLine(Y);
}

Byte* TPngImage::AlphaScanline(Integer Y)
{
    return const_cast<Byte*>(static_cast<const TPngImage*>(this)->AlphaScanline(Y));
}

const Byte* TPngImage::AlphaScanline(Integer Y) const
{
    if (Y < 0 || Y >= Height())
        throw EInvalidGraphicOperation(u"Scan line index out of range");
    return FAlpha.empty() ? nullptr : FAlpha.data() + size_t(Y) * size_t(Width());
}

TColor TPngImage::Pixels(Integer X, Integer Y) const
{
    return FPixels->Pixel(X, Y);
}

void TPngImage::SetPixels(Integer X, Integer Y, TColor Color)
{
    if (X < 0 || X >= Width())
        throw EInvalidGraphicOperation(u"Pixel index out of range");
    Byte* P = Scanline(Y) + size_t(X) * 3;
    P[0] = GetBValue(Color);
    P[1] = GetGValue(Color);
    P[2] = GetRValue(Color);
}

void TPngImage::CreateAlpha()
{
    if (HasAlpha())
        return;
    FAlpha.assign(size_t(Width()) * size_t(Height()), 255);
    FColorType = FColorType == COLOR_GRAYSCALE ? COLOR_GRAYSCALEALPHA : COLOR_RGBALPHA;
    if (FBitDepth < 8)
        FBitDepth = 8;
    FTransparencyMode = ptmPartial;
}

void TPngImage::Resize(Integer AWidth, Integer AHeight)
{
    CheckGraphicSize(AWidth, AHeight);
    const Integer OldW = Width(), OldH = Height();
    const Integer KeepW = std::min(OldW, AWidth), KeepH = std::min(OldH, AHeight);
    TOwnedPtr<TBitmap> Pixels(MakeOwned<TBitmap>());
    Pixels->SetSize(AWidth, AHeight);
    for (Integer Y = 0; Y < AHeight; ++Y) {
        Byte* D = Pixels->ScanLine(Y);
        std::memset(D, 0, size_t(Pixels->BytesPerScanline()));
        if (Y < KeepH)
            std::memcpy(D, FPixels->ScanLine(Y), size_t(KeepW) * 3);
    }
    if (HasAlpha()) {
        std::vector<Byte> Alpha(size_t(AWidth) * size_t(AHeight), 0);
        for (Integer Y = 0; Y < KeepH; ++Y)
            std::memcpy(&Alpha[size_t(Y) * AWidth], &FAlpha[size_t(Y) * OldW], size_t(KeepW));
        FAlpha.swap(Alpha);
    }
    FPixels = std::move(Pixels);
}

void TPngImage::LoadFromStream(TStream* Stream)
{
    TOwnedPtr<TBitmap> Pixels(MakeOwned<TBitmap>());
    std::vector<Byte> Alpha;
    TPngRead St;
    St.Stream = Stream;
    try {
        St.StreamEnd = Stream->Size();
    } catch (...) { // a stream that cannot tell its size: reads alone decide
        St.StreamEnd = -1;
    }
    St.Pixels = Pixels.get();
    St.Alpha = &Alpha;
    St.Png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &St, ErrorFn, WarningFn, nullptr, MallocFn, FreeFn);
    if (St.Png)
        St.Info = png_create_info_struct(St.Png);
    if (!St.Info) {
        png_destroy_read_struct(&St.Png, nullptr, nullptr);
        throw EOutOfMemory(RtlText::OutOfMemory);
    }
    bool Ok;
    try {
        Ok = RunRead(&St);
    } catch (...) { // free libpng's state, then pass the failure on
        png_destroy_read_struct(&St.Png, &St.Info, nullptr);
        throw;
    }
    png_destroy_read_struct(&St.Png, &St.Info, nullptr);
    if (!Ok)
        throw EPNGError(u"PNG error: " + S(St.Text));
    FPixels = std::move(Pixels);
    FAlpha.swap(Alpha);
    FColorType = St.ColorType;
    FBitDepth = St.BitDepth;
    FTransparencyMode = St.Mode;
    FTransparentColor = St.TransparentColor;
}

void TPngImage::SaveToStream(TStream* Stream)
{
    if (Empty())
        return;
    const Integer W = Width(), H = Height();
    TPngWrite St;
    St.Stream = Stream;
    St.Width = W;
    St.Height = H;
    const bool Alpha = HasAlpha();
    auto AllAlpha = [&](auto&& Pred) { return std::all_of(FAlpha.begin(), FAlpha.end(), Pred); };
    const bool Opaque = !Alpha || AllAlpha([](Byte A) { return A == 255; });
    bool AllGrey = true;
    for (Integer Y = 0; Y < H && AllGrey; ++Y) {
        const Byte* P = FPixels->ScanLine(Y);
        for (Integer X = 0; X < W && AllGrey; ++X, P += 3)
            AllGrey = P[0] == P[1] && P[1] == P[2];
    }
    // A transparent colour stands for the alpha line when the line is 0
    // exactly where the pixel has that colour, and 255 elsewhere.
    auto KeyCovers = [&]() {
        if (!Alpha || FTransparencyMode != ptmBit)
            return false;
        const TColor K = FTransparentColor;
        for (Integer Y = 0; Y < H; ++Y) {
            const Byte* P = FPixels->ScanLine(Y);
            const Byte* A = &FAlpha[size_t(Y) * W];
            for (Integer X = 0; X < W; ++X, P += 3) {
                const bool IsKey = P[2] == GetRValue(K) && P[1] == GetGValue(K) && P[0] == GetBValue(K);
                if (A[X] != (IsKey ? 0 : 255))
                    return false;
            }
        }
        return true;
    };
    const int Depth16 = FBitDepth == 16 ? 16 : 8;
    const Byte* AlphaData = FAlpha.data();
    const TBitmap* Pixels = FPixels.get();

    // The palette, when the picture has at most 256 distinct pixels.
    std::unordered_map<Cardinal, Byte> Index;
    if (FColorType == COLOR_PALETTE) {
        std::vector<Cardinal> Entries;
        for (Integer Y = 0; Y < H && Entries.size() <= 256; ++Y) {
            const Byte* P = FPixels->ScanLine(Y);
            for (Integer X = 0; X < W; ++X, P += 3) {
                const Cardinal A = Alpha ? FAlpha[size_t(Y) * W + X] : 255;
                const Cardinal Key = Cardinal(P[0]) | Cardinal(P[1]) << 8 | Cardinal(P[2]) << 16 | A << 24;
                if (Index.emplace(Key, 0).second) {
                    Entries.push_back(Key);
                    if (Entries.size() > 256)
                        break;
                }
            }
        }
        if (Entries.size() <= 256) {
            // Translucent entries first keep the tRNS chunk short.
            std::stable_sort(Entries.begin(), Entries.end(),
                [](Cardinal L, Cardinal R) { return (L >> 24 == 255) < (R >> 24 == 255); });
            for (size_t I = 0; I < Entries.size(); ++I) {
                const Cardinal E = Entries[I];
                Index[E] = Byte(I);
                St.Palette.push_back(png_color { Byte(E >> 16), Byte(E >> 8), Byte(E) });
                if (E >> 24 != 255)
                    St.PaletteAlpha.push_back(Byte(E >> 24));
            }
            int Depth = 8;
            for (int D : { 1, 2, 4 })
                if (D >= FBitDepth && Entries.size() <= (1u << D)) {
                    Depth = D;
                    break;
                }
            St.ColorType = PNG_COLOR_TYPE_PALETTE;
            St.BitDepth = Depth;
            St.Row.resize(size_t(W));
            auto Samples = std::make_shared<std::vector<Byte>>(size_t(W));
            St.MakeRow = [=, &Index](Integer Y, Byte* Row) {
                const Byte* P = Pixels->ScanLine(Y);
                Byte* Out = Depth == 8 ? Row : Samples->data();
                for (Integer X = 0; X < W; ++X, P += 3) {
                    const Cardinal A = AlphaData ? AlphaData[size_t(Y) * W + X] : 255;
                    Out[X] = Index.at(Cardinal(P[0]) | Cardinal(P[1]) << 8 | Cardinal(P[2]) << 16 | A << 24);
                }
                if (Depth < 8)
                    PackSamples(Samples->data(), W, Depth, Row);
            };
        }
    }
    const bool Grey = (FColorType == COLOR_GRAYSCALE || FColorType == COLOR_GRAYSCALEALPHA) && AllGrey;
    if (!St.MakeRow && Grey && (FColorType == COLOR_GRAYSCALEALPHA || Opaque || KeyCovers())) {
        const bool WithAlpha = FColorType == COLOR_GRAYSCALEALPHA;
        int Depth = WithAlpha ? Depth16 : FBitDepth;
        if (Depth < 8) {
            // Low depths only when every grey level is one of theirs.
            const unsigned Step = 255u / ((1u << Depth) - 1u);
            for (Integer Y = 0; Y < H && Depth < 8; ++Y) {
                const Byte* P = FPixels->ScanLine(Y);
                for (Integer X = 0; X < W; ++X, P += 3)
                    if (P[0] % Step) {
                        Depth = 8;
                        break;
                    }
            }
        }
        St.ColorType = WithAlpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY;
        St.BitDepth = Depth;
        if (!WithAlpha && !Opaque) {
            St.HasKey = true;
            const unsigned G = GetRValue(FTransparentColor);
            St.Key.gray = png_uint_16(Depth == 16 ? G * 257 : Depth == 8 ? G : G / (255u / ((1u << Depth) - 1u)));
        }
        const size_t Samples = WithAlpha ? 2 : 1, Bytes = Depth == 16 ? 2 : 1;
        St.Row.resize(size_t(W) * Samples * Bytes);
        auto Low = std::make_shared<std::vector<Byte>>(size_t(W));
        St.MakeRow = [=](Integer Y, Byte* Row) {
            const Byte* P = Pixels->ScanLine(Y);
            if (Depth < 8) {
                const unsigned Step = 255u / ((1u << Depth) - 1u);
                for (Integer X = 0; X < W; ++X)
                    (*Low)[X] = Byte(P[X * 3] / Step);
                PackSamples(Low->data(), W, Depth, Row);
                return;
            }
            // 16-bit samples of v are v * 257: both bytes v.
            for (Integer X = 0; X < W; ++X, P += 3) {
                for (size_t B = 0; B < Bytes; ++B)
                    *Row++ = P[0];
                if (WithAlpha)
                    for (size_t B = 0; B < Bytes; ++B)
                        *Row++ = AlphaData ? AlphaData[size_t(Y) * W + X] : 255;
            }
        };
    }
    if (!St.MakeRow) {
        // RGB (with its transparent colour when that still holds), or RGBA.
        const bool KeepKey = !Opaque && FColorType != COLOR_RGBALPHA && KeyCovers();
        const bool WithAlpha =
            FColorType == COLOR_RGBALPHA || FColorType == COLOR_GRAYSCALEALPHA || (!Opaque && !KeepKey);
        St.ColorType = WithAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
        St.BitDepth = Depth16;
        if (KeepKey) {
            St.HasKey = true;
            const unsigned M = Depth16 == 16 ? 257 : 1;
            St.Key.red = png_uint_16(GetRValue(FTransparentColor) * M);
            St.Key.green = png_uint_16(GetGValue(FTransparentColor) * M);
            St.Key.blue = png_uint_16(GetBValue(FTransparentColor) * M);
        }
        const size_t Bytes = Depth16 == 16 ? 2 : 1;
        St.Row.resize(size_t(W) * (WithAlpha ? 4 : 3) * Bytes);
        St.MakeRow = [=](Integer Y, Byte* Row) {
            const Byte* P = Pixels->ScanLine(Y);
            for (Integer X = 0; X < W; ++X, P += 3) {
                const Byte V[4] = { P[2], P[1], P[0], AlphaData ? AlphaData[size_t(Y) * W + X] : Byte(255) };
                for (int C = 0; C < (WithAlpha ? 4 : 3); ++C)
                    for (size_t B = 0; B < Bytes; ++B)
                        *Row++ = V[C];
            }
        };
    }
    St.Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &St, ErrorFn, WarningFn);
    if (St.Png)
        St.Info = png_create_info_struct(St.Png);
    if (!St.Info) {
        png_destroy_write_struct(&St.Png, nullptr);
        throw EOutOfMemory(RtlText::OutOfMemory);
    }
    const bool Ok = RunWrite(&St);
    png_destroy_write_struct(&St.Png, &St.Info);
    if (!Ok)
        throw EPNGError(u"PNG error: " + S(St.Text));
}

void TPngImage::Draw(TBitmap* Dest, const TRect& Rect)
{
    if (Empty() || !Dest || Dest->Empty() || Rect.IsEmpty())
        return;
    if (!HasAlpha()) {
        StretchDraw(Dest, Rect, FPixels.get());
        return;
    }
    // The stretched picture is blended over what Dest holds.
    const Integer Left = std::max(Rect.Left, 0), Right = std::min(Rect.Right, Dest->Width());
    const Integer Top = std::max(Rect.Top, 0), Bottom = std::min(Rect.Bottom, Dest->Height());
    if (Left >= Right || Top >= Bottom)
        return;
    TOwnedPtr<TBitmap> Source(MakeOwned<TBitmap>());
    AssignTo(Source.get());
    TOwnedPtr<TBitmap> Layer(MakeOwned<TBitmap>());
    Layer->SetPixelFormat(pf32bit);
    Layer->SetSize(Right - Left, Bottom - Top);
    StretchDraw(Layer.get(), ::Rect(Rect.Left - Left, Rect.Top - Top, Rect.Right - Left, Rect.Bottom - Top),
        Source.get());
    const Integer DB = Dest->BytesPerPixel();
    for (Integer Y = Top; Y < Bottom; ++Y) {
        const Byte* S = Layer->ScanLine(Y - Top);
        Byte* D = Dest->ScanLine(Y) + size_t(Left) * DB;
        for (Integer X = Left; X < Right; ++X, S += 4, D += DB) {
            const unsigned A = S[3];
            for (int C = 0; C < 3; ++C)
                D[C] = Byte((S[C] * A + D[C] * (255 - A) + 127) / 255);
            if (DB == 4)
                D[3] = Byte(A + (D[3] * (255 - A) + 127) / 255);
        }
    }
}

void TPngImage::Assign(TPersistent* Source)
{
    if (!Source) {
        FPixels->Assign(nullptr);
        FAlpha.clear();
        FColorType = COLOR_RGB;
        FBitDepth = 8;
        FTransparencyMode = ptmNone;
        FTransparentColor = 0;
        return;
    }
    if (auto* Other = DynamicCast<TPngImage>(Source)) {
        if (Other == this)
            return;
        FPixels->Assign(Other->FPixels.get());
        FAlpha = Other->FAlpha;
        FColorType = Other->FColorType;
        FBitDepth = Other->FBitDepth;
        FTransparencyMode = Other->FTransparencyMode;
        FTransparentColor = Other->FTransparentColor;
        return;
    }
    if (auto* Bmp = DynamicCast<TBitmap>(Source)) {
        const Integer W = Bmp->Width(), H = Bmp->Height();
        bool Alpha = false;
        if (Bmp->PixelFormat() == pf32bit)
            for (Integer Y = 0; Y < H && !Alpha; ++Y) {
                const Byte* P = Bmp->ScanLine(Y);
                for (Integer X = 0; X < W; ++X)
                    if (P[X * 4 + 3] != 0) {
                        Alpha = true;
                        break;
                    }
            }
        TOwnedPtr<TBitmap> Pixels(MakeOwned<TBitmap>());
        Pixels->Assign(Bmp);
        Pixels->SetPixelFormat(pf24bit);
        std::vector<Byte> AlphaLine;
        if (Alpha) {
            AlphaLine.resize(size_t(W) * size_t(H));
            for (Integer Y = 0; Y < H; ++Y) {
                const Byte* P = Bmp->ScanLine(Y);
                for (Integer X = 0; X < W; ++X)
                    AlphaLine[size_t(Y) * W + X] = P[X * 4 + 3];
            }
        }
        FPixels = std::move(Pixels);
        FAlpha.swap(AlphaLine);
        FColorType = Alpha ? COLOR_RGBALPHA : COLOR_RGB;
        FBitDepth = 8;
        FTransparencyMode = Alpha ? ptmPartial : ptmNone;
        FTransparentColor = 0;
        return;
    }
    inherited::Assign(Source);
}

void TPngImage::AssignTo(TPersistent* Dest)
{
    if (auto* Bmp = DynamicCast<TBitmap>(Dest)) {
        Bmp->Assign(FPixels.get());
        if (HasAlpha()) {
            Bmp->SetPixelFormat(pf32bit);
            const Integer W = Width();
            for (Integer Y = 0; Y < Height(); ++Y) {
                Byte* P = Bmp->ScanLine(Y);
                const Byte* A = &FAlpha[size_t(Y) * W];
                for (Integer X = 0; X < W; ++X)
                    P[X * 4 + 3] = A[X];
            }
        }
        return;
    }
    inherited::AssignTo(Dest);
}

Cardinal PngUInt32(const Byte* P)
{
    return Cardinal(P[0]) << 24 | Cardinal(P[1]) << 16 | Cardinal(P[2]) << 8 | Cardinal(P[3]);
}
