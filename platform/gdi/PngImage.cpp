#include "gdi/PngImage.h"
#include "gdi/Bitmap.h"
#include "rtl/Streams.h"
#include <csetjmp>
#include <png.h>
#include <algorithm>
#include <cstring>

X_REGISTER_CLASS(TPngImage)

namespace {

// libpng reports errors through longjmp to the setjmp of the function that
// drives it; C++ objects live outside those functions, in their callers,
// so the jump skips no destructor.
struct TPngState {
    png_structp Png = nullptr;
    png_infop Info = nullptr;
    TStream* Stream = nullptr;
    TBitmap* Pixels = nullptr;
    std::vector<png_bytep> Rows;
    char Text[200] = {};
};

void ErrorFn(png_structp Png, png_const_charp Message)
{
    auto* St = static_cast<TPngState*>(png_get_error_ptr(Png));
    std::strncpy(St->Text, Message ? Message : "", sizeof St->Text - 1);
    png_longjmp(Png, 1);
}

void WarningFn(png_structp, png_const_charp) { }

void ReadFn(png_structp Png, png_bytep Data, size_t Count)
{
    auto* St = static_cast<TPngState*>(png_get_io_ptr(Png));
    bool Ok;
    try {
        Ok = St->Stream->Read(Data, Int64(Count)) == Int64(Count);
    } catch (...) {
        Ok = false;
    }
    if (!Ok)
        png_error(Png, "Unexpected end of PNG data");
}

void WriteFn(png_structp Png, png_bytep Data, size_t Count)
{
    auto* St = static_cast<TPngState*>(png_get_io_ptr(Png));
    bool Ok = true;
    try {
        St->Stream->WriteBuffer(Data, Int64(Count));
    } catch (...) {
        Ok = false;
    }
    if (!Ok)
        png_error(Png, "PNG data could not be written");
}

void FlushFn(png_structp) { }

void AllocateRows(TPngState* St, Integer Width, Integer Height, bool Alpha)
{
    St->Pixels->SetPixelFormat(Alpha ? pf32bit : pf24bit);
    St->Pixels->SetSize(Width, Height);
    St->Rows.resize(size_t(Height));
    for (Integer Y = 0; Y < Height; ++Y)
        St->Rows[size_t(Y)] = St->Pixels->ScanLine(Y);
}

bool RunRead(TPngState* St)
{
    if (setjmp(png_jmpbuf(St->Png)))
        return false;
    png_set_user_limits(St->Png, MaxGraphicSide, MaxGraphicSide);
    png_set_read_fn(St->Png, St, ReadFn);
    png_read_info(St->Png, St->Info);
    png_uint_32 W = 0, H = 0;
    int Depth = 0, ColourType = 0, Interlace = 0;
    png_get_IHDR(St->Png, St->Info, &W, &H, &Depth, &ColourType, &Interlace, nullptr, nullptr);
    CheckGraphicSize(W, H);
    const bool Alpha = (ColourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(St->Png, St->Info, PNG_INFO_tRNS);
    png_set_expand(St->Png);
    png_set_scale_16(St->Png);
    png_set_gray_to_rgb(St->Png);
    png_set_bgr(St->Png);
    png_set_interlace_handling(St->Png);
    png_read_update_info(St->Png, St->Info);
    const size_t RowBytes = png_get_rowbytes(St->Png, St->Info);
    if (png_get_channels(St->Png, St->Info) != (Alpha ? 4 : 3) || RowBytes != size_t(W) * (Alpha ? 4 : 3))
        throw EPNGError(u"Unexpected PNG pixel layout");
    AllocateRows(St, Integer(W), Integer(H), Alpha);
    png_read_image(St->Png, St->Rows.data());
    png_read_end(St->Png, nullptr);
    return true;
}

bool RunWrite(TPngState* St)
{
    if (setjmp(png_jmpbuf(St->Png)))
        return false;
    const bool Alpha = St->Pixels->PixelFormat() == pf32bit;
    png_set_write_fn(St->Png, St, WriteFn, FlushFn);
    png_set_IHDR(St->Png, St->Info, png_uint_32(St->Pixels->Width()), png_uint_32(St->Pixels->Height()), 8,
                 Alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(St->Png, St->Info);
    png_set_bgr(St->Png);
    png_write_image(St->Png, St->Rows.data());
    png_write_end(St->Png, nullptr);
    return true;
}

bool AlphaUsed(const TBitmap* Bmp)
{
    for (Integer Y = 0; Y < Bmp->Height(); ++Y) {
        const Byte* P = Bmp->ScanLine(Y);
        for (Integer X = 0; X < Bmp->Width(); ++X)
            if (P[X * 4 + 3] != 0)
                return true;
    }
    return false;
}

} // namespace

void TPngImage::Create()
{
    inherited::Create();
    FPixels = New<TBitmap>();
}

TPngImage::~TPngImage()
{
    FreeAndNil(FPixels);
}

Integer TPngImage::Width() const { return FPixels->Width(); }
Integer TPngImage::Height() const { return FPixels->Height(); }
bool TPngImage::Empty() const { return FPixels->Empty(); }
bool TPngImage::HasAlpha() const { return FPixels->PixelFormat() == pf32bit; }

void TPngImage::LoadFromStream(TStream* Stream)
{
    TOwnedPtr<TBitmap> Pixels(MakeOwned<TBitmap>());
    TPngState St;
    St.Stream = Stream;
    St.Pixels = Pixels.get();
    St.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &St, ErrorFn, WarningFn);
    if (St.Png)
        St.Info = png_create_info_struct(St.Png);
    if (!St.Info) {
        png_destroy_read_struct(&St.Png, nullptr, nullptr);
        throw EOutOfMemory(RtlText::OutOfMemory);
    }
    bool Ok;
    try {
        Ok = RunRead(&St);
    } catch (...) {
        png_destroy_read_struct(&St.Png, &St.Info, nullptr);
        throw;
    }
    png_destroy_read_struct(&St.Png, &St.Info, nullptr);
    if (!Ok)
        throw EPNGError(u"PNG error: " + S(St.Text));
    FPixels->Assign(Pixels.get());
}

void TPngImage::SaveToStream(TStream* Stream)
{
    if (Empty())
        return;
    TPngState St;
    St.Stream = Stream;
    St.Pixels = FPixels;
    St.Rows.resize(size_t(FPixels->Height()));
    for (Integer Y = 0; Y < FPixels->Height(); ++Y)
        St.Rows[size_t(Y)] = FPixels->ScanLine(Y);
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
        StretchDraw(Dest, Rect, FPixels);
        return;
    }
    // The stretched picture is blended over what Dest holds.
    const Integer Left = std::max(Rect.Left, 0), Right = std::min(Rect.Right, Dest->Width());
    const Integer Top = std::max(Rect.Top, 0), Bottom = std::min(Rect.Bottom, Dest->Height());
    if (Left >= Right || Top >= Bottom)
        return;
    TOwnedPtr<TBitmap> Layer(MakeOwned<TBitmap>());
    Layer->SetPixelFormat(pf32bit);
    Layer->SetSize(Right - Left, Bottom - Top);
    StretchDraw(Layer.get(), ::Rect(Rect.Left - Left, Rect.Top - Top, Rect.Right - Left, Rect.Bottom - Top), FPixels);
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
        return;
    }
    if (auto* Other = DynamicCast<TPngImage>(Source)) {
        FPixels->Assign(Other->FPixels);
        return;
    }
    if (auto* Bmp = DynamicCast<TBitmap>(Source)) {
        FPixels->Assign(Bmp);
        if (Bmp->PixelFormat() == pf32bit && !AlphaUsed(Bmp))
            FPixels->SetPixelFormat(pf24bit);
        return;
    }
    inherited::Assign(Source);
}

void TPngImage::AssignTo(TPersistent* Dest)
{
    if (auto* Bmp = DynamicCast<TBitmap>(Dest)) {
        Bmp->Assign(FPixels);
        return;
    }
    inherited::AssignTo(Dest);
}
