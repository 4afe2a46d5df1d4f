#include "gdi/JpegImage.h"
#include "gdi/Bitmap.h"
#include "rtl/Streams.h"
#include "rtl/Verify.h"
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <jerror.h>

X_REGISTER_CLASS(TJPEGImage)

namespace {

// libjpeg reports errors through longjmp to the setjmp of the function that
// drives it; C++ objects live outside those functions, in their callers,
// so the jump skips no destructor.
struct TJpegError {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
    char Text[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr Info)
{
    auto* Err = reinterpret_cast<TJpegError*>(Info->err);
    Info->err->format_message(Info, Err->Text);
    std::longjmp(Err->Jump, 1);
}

// Data that end before the picture is complete is an error: libjpeg would
// fill the rest with grey and call it a warning.
void EmitMessage(j_common_ptr Info, int Level)
{
    if (Level < 0 && Info->err->msg_code == JWRN_JPEG_EOF)
        ErrorExit(Info);
}

void OutputMessage(j_common_ptr)
{ }

// A progressive file can hold any number of scans, each of which is
// decoded again; real files have a few dozen.
constexpr int MaxScans = 500;

void ProgressMonitor(j_common_ptr Info)
{
    if (Info->is_decompressor && reinterpret_cast<j_decompress_ptr>(Info)->input_scan_number > MaxScans) {
        Info->err->msg_code = JERR_UNKNOWN_MARKER;
        auto* Err = reinterpret_cast<TJpegError*>(Info->err);
        std::snprintf(Err->Text, sizeof Err->Text, "Too many scans");
        std::longjmp(Err->Jump, 1);
    }
}

void InitError(TJpegError& Err)
{
    jpeg_std_error(&Err.Pub);
    Err.Pub.error_exit = ErrorExit;
    Err.Pub.emit_message = EmitMessage;
    Err.Pub.output_message = OutputMessage;
    Err.Text[0] = 0;
}

} // namespace

// Everything a decode touches after its setjmp.
struct TJPEGDecodeState {
    jpeg_decompress_struct Info;
    TJpegError Err;
    jpeg_progress_mgr Progress;
    bool Created = false;
    const Byte* Data = nullptr;
    size_t Size = 0;
    unsigned Denom = 1;
    bool HeaderOnly = false;
    int Components = 3;
    Byte* Target = nullptr; // where the next row goes
    std::vector<Byte> Row;
    ~TJPEGDecodeState()
    {
        if (Created)
            jpeg_destroy_decompress(&Info);
    }
};

namespace {

using TDecode = TJPEGDecodeState;

// The header only has to name a picture within the side limit: the pixel
// cap is for what a decode allocates, at the scale it decodes at (an
// eighth of a very large photo is small).
void CheckHeader(TDecode* D)
{
    const Int64 W = D->Info.image_width, H = D->Info.image_height;
    if (W > MaxGraphicSide || H > MaxGraphicSide)
        CheckGraphicSize(W, H);
    if (W == 0 || H == 0)
        throw EJPEG(u"JPEG image has no pixels");
}

void ConvertRow(TDecode* D, Byte* Dst)
{
    const Byte* S = D->Row.data();
    const JDIMENSION W = D->Info.output_width;
    if (D->Info.out_color_space == JCS_GRAYSCALE) {
        for (JDIMENSION X = 0; X < W; ++X, Dst += 3)
            Dst[0] = Dst[1] = Dst[2] = S[X];
        return;
    }
    // Adobe's CMYK (and YCCK, which becomes it) is stored inverted.
    const bool Inverted = D->Info.saw_Adobe_marker;
    for (JDIMENSION X = 0; X < W; ++X, S += 4, Dst += 3) {
        unsigned C = S[0], M = S[1], Y = S[2], K = S[3];
        if (!Inverted) {
            C = 255 - C;
            M = 255 - M;
            Y = 255 - Y;
            K = 255 - K;
        }
        Dst[0] = Byte((Y * K + 127) / 255);
        Dst[1] = Byte((M * K + 127) / 255);
        Dst[2] = Byte((C * K + 127) / 255);
    }
}

// What any JPEG may take for its coefficients beyond its share by size.
constexpr UInt64 JpegMemoryAllowance = UInt64(64) << 20;

// The steps of a decode answer false after a libjpeg error (the text is in
// D->Err.Text). Start reads the header and, unless only the header is
// wanted, starts the decompression at the picture's scale.
bool StartDecode(TDecode* D)
{
    if (setjmp(D->Err.Jump))
        return false;
    jpeg_create_decompress(&D->Info);
    D->Created = true;
    // Progressive pictures keep every coefficient until the last scan,
    // whatever few bytes describe them: that memory follows the data's
    // size (a real photo holds far more than a 256th of its coefficients).
    D->Info.mem->max_memory_to_use = long(std::min<UInt64>(UInt64(1) << 30, JpegMemoryAllowance + 256 * UInt64(D->Size)));
    D->Info.progress = &D->Progress;
    jpeg_mem_src(&D->Info, D->Data, static_cast<unsigned long>(D->Size));
    jpeg_read_header(&D->Info, TRUE);
    CheckHeader(D);
    if (D->HeaderOnly)
        return true;
    D->Info.scale_num = 1;
    D->Info.scale_denom = D->Denom;
    switch (D->Info.jpeg_color_space) {
    case JCS_GRAYSCALE: D->Info.out_color_space = JCS_GRAYSCALE; break;
    case JCS_CMYK:
    case JCS_YCCK: D->Info.out_color_space = JCS_CMYK; break;
    default: D->Info.out_color_space = JCS_EXT_BGR; break;
    }
    jpeg_calc_output_dimensions(&D->Info);
    CheckGraphicSize(D->Info.output_width, D->Info.output_height);
    jpeg_start_decompress(&D->Info);
    D->Components = D->Info.out_color_space == JCS_GRAYSCALE ? 1 : D->Info.out_color_space == JCS_CMYK ? 4 : 3;
    if (D->Info.output_components != D->Components)
        throw EJPEG(u"Unexpected JPEG colour layout");
    if (D->Components != 3)
        D->Row.resize(size_t(D->Info.output_width) * size_t(D->Components));
    return true;
}

// The next row as 3-byte BGR pixels, into D->Target.
bool ReadDecodedRow(TDecode* D)
{
    if (setjmp(D->Err.Jump))
        return false;
    JSAMPROW Rows[1] = { D->Components == 3 ? D->Target : D->Row.data() };
    if (jpeg_read_scanlines(&D->Info, Rows, 1) != 1)
        throw EJPEG(u"JPEG data ended early");
    if (D->Components != 3)
        ConvertRow(D, D->Target);
    return true;
}

bool FinishDecode(TDecode* D)
{
    if (setjmp(D->Err.Jump))
        return false;
    jpeg_finish_decompress(&D->Info);
    return true;
}

[[noreturn]] void RaiseDecodeError(TDecode& D)
{
    throw EJPEG(u"JPEG error: " + S(D.Err.Text));
}

void Start(TDecode& D)
{
    InitError(D.Err);
    D.Info.err = &D.Err.Pub;
    D.Progress.progress_monitor = ProgressMonitor;
    if (D.Size == 0)
        throw EJPEG(u"JPEG data is empty");
    if (!StartDecode(&D))
        RaiseDecodeError(D);
}

// Everything an encode touches after its setjmp.
struct TEncode {
    jpeg_compress_struct Info;
    TJpegError Err;
    jpeg_destination_mgr Dest;
    bool Created = false;
    const TBitmap* Source = nullptr;
    int Quality = 90;
    std::vector<Byte> Out;
    std::vector<Byte> Buffer;
    ~TEncode()
    {
        if (Created)
            jpeg_destroy_compress(&Info);
    }
};

TEncode* EncodeOf(j_compress_ptr Info)
{
    return static_cast<TEncode*>(Info->client_data);
}

void InitDestination(j_compress_ptr Info)
{
    TEncode* E = EncodeOf(Info);
    Info->dest->next_output_byte = E->Buffer.data();
    Info->dest->free_in_buffer = E->Buffer.size();
}

// Appends what the buffer holds; answers false when memory ran out.
bool Flush(TEncode* E, size_t Count)
{
    try {
        E->Out.insert(E->Out.end(), E->Buffer.begin(), E->Buffer.begin() + ptrdiff_t(Count));
        return true;
    } catch (...) { // no exception may cross libjpeg's C frames
        return false;
    }
}

boolean EmptyOutput(j_compress_ptr Info)
{
    TEncode* E = EncodeOf(Info);
    if (!Flush(E, E->Buffer.size()))
        ERREXIT1(Info, JERR_OUT_OF_MEMORY, 0);
    InitDestination(Info);
    return TRUE;
}

void TermDestination(j_compress_ptr Info)
{
    TEncode* E = EncodeOf(Info);
    if (!Flush(E, E->Buffer.size() - Info->dest->free_in_buffer))
        ERREXIT1(Info, JERR_OUT_OF_MEMORY, 0);
}

bool RunEncode(TEncode* E)
{
    if (setjmp(E->Err.Jump))
        return false;
    jpeg_create_compress(&E->Info);
    E->Created = true;
    E->Info.client_data = E;
    E->Info.dest = &E->Dest;
    E->Info.image_width = JDIMENSION(E->Source->Width());
    E->Info.image_height = JDIMENSION(E->Source->Height());
    const bool Four = E->Source->PixelFormat() == pf32bit;
    E->Info.input_components = Four ? 4 : 3;
    E->Info.in_color_space = Four ? JCS_EXT_BGRX : JCS_EXT_BGR;
    jpeg_set_defaults(&E->Info);
    jpeg_set_quality(&E->Info, E->Quality, TRUE);
    jpeg_start_compress(&E->Info, TRUE);
    while (E->Info.next_scanline < E->Info.image_height) {
        JSAMPROW Rows[1] = { const_cast<Byte*>(E->Source->ScanLine(Integer(E->Info.next_scanline))) };
        jpeg_write_scanlines(&E->Info, Rows, 1);
    }
    jpeg_finish_compress(&E->Info);
    return true;
}

std::vector<Byte> Encode(const TBitmap* Source, int Quality)
{
    TEncode E;
    InitError(E.Err);
    E.Info.err = &E.Err.Pub;
    E.Dest.init_destination = InitDestination;
    E.Dest.empty_output_buffer = EmptyOutput;
    E.Dest.term_destination = TermDestination;
    E.Source = Source;
    E.Quality = Quality;
    E.Buffer.resize(64 * 1024);
    if (!RunEncode(&E))
        throw EJPEG(u"JPEG error: " + S(E.Err.Text));
    return std::move(E.Out);
}

unsigned DenomOf(TJPEGScale Scale)
{
    switch (Scale) {
    case jsHalf: return 2;
    case jsQuarter: return 4;
    case jsEighth: return 8;
    default: return 1;
    }
}

} // namespace

TJPEGImage::~TJPEGImage()
{
    FreeAndNil(FBitmap);
}

void TJPEGImage::Clear()
{
    FData.clear();
    FreeAndNil(FBitmap);
    FImageWidth = FImageHeight = 0;
}

void TJPEGImage::ReadHeader()
{
    TDecode D;
    D.Data = FData.data();
    D.Size = FData.size();
    D.HeaderOnly = true;
    Start(D);
    FImageWidth = Integer(D.Info.image_width);
    FImageHeight = Integer(D.Info.image_height);
}

void TJPEGImage::LoadFromStream(TStream* Stream)
{
    const Int64 Count = Stream->Size() - Stream->Position();
    if (Count <= 0)
        throw EJPEG(u"JPEG data is empty");
    if (Count > MaxJPEGDataSize)
        throw EJPEG(u"JPEG data too large");
    std::vector<Byte> Data(static_cast<size_t>(Count));
    if (Stream->Read(Data.data(), Count) != Count)
        throw EJPEG(u"JPEG data could not be read");
    Clear();
    FData.swap(Data);
    try {
        ReadHeader();
    } catch (...) { // leave no half-read picture, pass the failure on
        Clear();
        throw;
    }
}

void TJPEGImage::SaveToStream(TStream* Stream)
{
    if (!FData.empty())
        Stream->WriteBuffer(FData.data(), Int64(FData.size()));
}

Integer TJPEGImage::Width() const
{
    if (FBitmap)
        return FBitmap->Width();
    const Integer Denom = Integer(DenomOf(FScale));
    return (FImageWidth + Denom - 1) / Denom;
}

Integer TJPEGImage::Height() const
{
    if (FBitmap)
        return FBitmap->Height();
    const Integer Denom = Integer(DenomOf(FScale));
    return (FImageHeight + Denom - 1) / Denom;
}

void TJPEGImage::SetScale(TJPEGScale Value)
{
    if (Value == FScale)
        return;
    FScale = Value;
    FreeAndNil(FBitmap);
}

void TJPEGImage::SetCompressionQuality(Integer Value)
{
    if (Value < 1 || Value > 100)
        throw EArgumentOutOfRangeException(RtlText::ArgumentOutOfRange);
    FQuality = Value;
}

void TJPEGImage::DIBNeeded()
{
    if (FBitmap || FData.empty())
        return;
    TJPEGRowDecoder Rows(this);
    TOwnedPtr<TBitmap> Pixels(MakeOwned<TBitmap>());
    // Every row is written below; a decode that fails drops the bitmap.
    Pixels->SetSizeForOverwrite(pf24bit, Rows.Width(), Rows.Height());
    for (Integer Y = 0; Y < Rows.Height(); ++Y)
        Rows.ReadRow(Pixels->ScanLine(Y));
    Rows.Finish();
    FBitmap = Pixels.release();
}

const TBitmap* TJPEGImage::Bitmap()
{
    DIBNeeded();
    return FBitmap;
}

void TJPEGImage::Draw(TBitmap* Dest, const TRect& Rect)
{
    if (const TBitmap* Pixels = Bitmap())
        StretchDraw(Dest, Rect, Pixels);
}

void TJPEGImage::Assign(TPersistent* Source)
{
    if (!Source) {
        Clear();
        return;
    }
    if (auto* Other = DynamicCast<TJPEGImage>(Source)) {
        if (Other == this)
            return;
        std::vector<Byte> Data = Other->FData;
        TOwnedPtr<TBitmap> Pixels;
        if (Other->FBitmap) {
            Pixels.reset(New<TBitmap>());
            Pixels->Assign(Other->FBitmap);
        }
        Clear();
        FData.swap(Data);
        FBitmap = Pixels.release();
        FScale = Other->FScale;
        FQuality = Other->FQuality;
        FImageWidth = Other->FImageWidth;
        FImageHeight = Other->FImageHeight;
        return;
    }
    if (auto* Bmp = DynamicCast<TBitmap>(Source)) {
        if (Bmp->Empty()) {
            Clear();
            return;
        }
        std::vector<Byte> Data = Encode(Bmp, FQuality);
        Clear();
        FData.swap(Data);
        ReadHeader();
        return;
    }
    inherited::Assign(Source);
}

void TJPEGImage::AssignTo(TPersistent* Dest)
{
    if (auto* Bmp = DynamicCast<TBitmap>(Dest)) {
        Bmp->Assign(const_cast<TBitmap*>(Bitmap()));
        return;
    }
    inherited::AssignTo(Dest);
}

TJPEGRowDecoder::TJPEGRowDecoder(const TJPEGImage* Image)
    : FState(std::make_unique<TJPEGDecodeState>())
{
    if (Image->FData.empty())
        throw EJPEG(u"JPEG data is empty");
    FState->Data = Image->FData.data();
    FState->Size = Image->FData.size();
    FState->Denom = DenomOf(Image->FScale);
    Start(*FState);
}

TJPEGRowDecoder::~TJPEGRowDecoder() = default;

Integer TJPEGRowDecoder::Width() const
{
    return Integer(FState->Info.output_width);
}

Integer TJPEGRowDecoder::Height() const
{
    return Integer(FState->Info.output_height);
}

Integer TJPEGRowDecoder::NextRow() const
{
    return Integer(FState->Info.output_scanline);
}

void TJPEGRowDecoder::ReadRow(Byte* Dest)
{
    X_VERIFY(NextRow() < Height(), "no JPEG row is left to read");
    FState->Target = Dest;
    if (!ReadDecodedRow(FState.get()))
        RaiseDecodeError(*FState);
}

void TJPEGRowDecoder::Finish()
{
    if (NextRow() < Height()) {
        std::vector<Byte> Rest(size_t(Width()) * 3);
        while (NextRow() < Height())
            ReadRow(Rest.data());
    }
    if (!FinishDecode(FState.get()))
        RaiseDecodeError(*FState);
}
