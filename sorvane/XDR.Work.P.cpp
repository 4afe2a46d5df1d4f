#include "sorvane/XDR.Work.P.h"
#include "gdi/Bitmap.h"
#include "rtl/StrUtils.h"
#include "rtl/Streams.h"
#include "core/XCore.Errors.h"
#include "sorvane/XCore.Services.h"
#include "sorvane/XCore.Streams.Blocks.h"
#include "sorvane/XDR.Work.P.Reader.h"
#include "graphics/XMedia.JPEG.h"
#include <algorithm>
#include <cstring>
#include <exception>
#include <string>

X_REGISTER_CLASS(TXDRScanFormat)
X_REGISTER_CLASS(TXDRScanFormatMRW)

TXSize ThumbnailSize { 72, 72 };
TXSize PreviewSize { 600, 600 };

const char16_t* const ImageExtensions[46] = {
    u".jpg",
    u".arw",
    u".cr2",
    u".dng",
    u".nef",
    u".orf",
    u".pef",
    u".raf",
    u".raw",
    u".tif",
    u".3fr",
    u".ari",
    u".bay",
    u".bmp",
    u".cap",
    u".crw",
    u".dcr",
    u".dcs",
    u".drf",
    u".eip",
    u".erf",
    u".fff",
    u".gif",
    u".iiq",
    u".jp2",
    u".jps",
    u".k25",
    u".kdc",
    u".mef",
    u".mos",
    u".mpo",
    u".mrw",
    u".nrw",
    u".pcd",
    u".png",
    u".pns",
    u".psd",
    u".ptx",
    u".pxn",
    u".r3d",
    u".rw1",
    u".rw2",
    u".rwz",
    u".srf",
    u".sr2",
    u".x3f",
};
const char16_t* const VideoExtensions[17] = {
    u".avi",
    u".mov",
    u".mp4",
    u".mpg",
    u".3g2",
    u".3gp",
    u".cam",
    u".flv",
    u".m1v",
    u".m2t",
    u".m2v",
    u".m4v",
    u".mpe",
    u".mts",
    u".rm",
    u".qt",
    u".wmv",
};
const char16_t* const AudioExtensions[10] = {
    u".mp3",
    u".wma",
    u".aif",
    u".amr",
    u".m4a",
    u".m4b",
    u".mid",
    u".mp2",
    u".ra",
    u".wav",
};

namespace {

struct TFormatInfo {
    TClass (*Class)();
    const char16_t* Extension;
    Cardinal SignatureMask;
};

const TFormatInfo Formats[ScanFormatCount] = {
    { &TXDRScanFormatJPG::StaticClass, u".jpg", 1 },
    { &TXDRScanFormatTIF::StaticClass, u".tif", 6 },
    { &TXDRScanFormatDNG::StaticClass, u".dng", 6 },
    { &TXDRScanFormatCR2::StaticClass, u".cr2", 6 },
    { &TXDRScanFormatNEF::StaticClass, u".nef", 6 },
    { &TXDRScanFormatORF::StaticClass, u".orf", 8 },
    { &TXDRScanFormatPEF::StaticClass, u".pef", 6 },
    { &TXDRScanFormatARW::StaticClass, u".arw", 6 },
    { &TXDRScanFormatARWTIF::StaticClass, u".arw", 6 },
    { &TXDRScanFormatSRF::StaticClass, u".srf", 6 },
    { &TXDRScanFormatSR2::StaticClass, u".sr2", 6 },
    { &TXDRScanFormatRAW::StaticClass, u".raw", 6 },
    { &TXDRScanFormatMRW::StaticClass, u".mrw", 32 },
    { &TXDRScanFormatRW2::StaticClass, u".rw2", 16 },
    { &TXDRScanFormatAVI::StaticClass, u".avi", 64 },
    { &TXDRScanFormatMOV::StaticClass, u".mov", 0x1FF80 },
    { &TXDRScanFormatMP4::StaticClass, u".mp4", 0x1FF80 },
};

const TXByteArray SignatureBytes[ScanSignatureCount] = {
    { 0xFF, 0xD8 },
    { 0x49, 0x49, 0x2A, 0x00 },
    { 0x4D, 0x4D, 0x00, 0x2A },
    { 0x49, 0x49, 0x52, 0x4F },
    { 0x49, 0x49, 0x55, 0x00 },
    { 0x00, 0x4D, 0x52, 0x4D },
    { 0x52, 0x49, 0x46, 0x46 },
    { 0x00, 0x00, 0x00, 0x18, 0x66, 0x74, 0x79, 0x70 },
    { 0x00, 0x00, 0x00, 0x20, 0x66, 0x74, 0x79, 0x70 },
    { 0x00, 0x00, 0x00, 0x1C, 0x66, 0x74, 0x79, 0x70 },
    { 0x00, 0x00, 0x01, 0x18, 0x73, 0x6B, 0x69, 0x70 },
    // A QuickTime or MP4 file starting with any of the atoms it may lead
    // with, of a size below 16 MiB (or a 64-bit size): "ftyp", "wide",
    // "free", "skip", "mdat", "moov". The size bytes are masked out.
    { 0x00, 0x00, 0x00, 0x00, 0x66, 0x74, 0x79, 0x70 },
    { 0x00, 0x00, 0x00, 0x00, 0x77, 0x69, 0x64, 0x65 },
    { 0x00, 0x00, 0x00, 0x00, 0x66, 0x72, 0x65, 0x65 },
    { 0x00, 0x00, 0x00, 0x00, 0x73, 0x6B, 0x69, 0x70 },
    { 0x00, 0x00, 0x00, 0x00, 0x6D, 0x64, 0x61, 0x74 },
    { 0x00, 0x00, 0x00, 0x00, 0x6D, 0x6F, 0x6F, 0x76 },
};

const TXByteArray AtomSizeMask { 0xFF, 0x00, 0x00, 0x00 };

const TXByteArray& PatternMask(Integer Number)
{
    static const TXByteArray Whole;
    return Number >= 11 ? AtomSizeMask : Whole;
}

} // namespace

const TXByteArray& ScanSignature(Integer Number)
{
    return SignatureBytes[std::clamp<Integer>(Number, 0, ScanSignatureCount - 1)];
}

namespace {

Integer FormatIndexOf(Integer Number)
{
    Number &= 0x7F;
    return Number >= 1 && Number < ScanFormatCount ? Number : 0;
}

} // namespace

// ---- base ----

void TXDRScanFormat::Init()
{
    inherited::Init();
    ID = FormatID();
}

String TXDRScanFormat::Extension() const
{
    return Formats[FormatIndexOf(FormatID())].Extension;
}

Cardinal TXDRScanFormat::SignatureMask() const
{
    return Formats[FormatIndexOf(FormatID())].SignatureMask;
}

String TXDRScanFormat::ExtensionText() const
{
    return Formats[FormatIndexOf(ID)].Extension;
}

bool TXDRScanFormat::MakePreview(const TXSize&, TXSize& PictureSize, TStream*, TXImageObject* Image)
{
    PictureSize.Clear();
    if (Image)
        Image->Clear();
    return true;
}

Int64 TXDRScanFormat::FindEnd(TXSearch*, Int64)
{
    return -1;
}

bool TXDRScanFormat::Validate(TXSearch* Search, Int64 Hit)
{
    // The base knows no format: nothing to refuse.
    if (ClassType() == TXDRScanFormat::StaticClass())
        return true;
    return FindEnd(Search, Hit) >= 0;
}

bool TXDRScanFormat::ValidateBlocks(TStream* VolumeStream, TXBlocks* Blocks)
{
    try {
        TOwnedPtr<TXBlockStream> File(New<TXBlockStream>(VolumeStream, Blocks));
        TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
        Search->Stream = File.get();
        return Validate(Search.get(), 0);
    } catch (const std::exception&) {
        CheckXError();
        return false;
    }
}

namespace {

// The first Count bytes of a file's blocks, block for block (no merging:
// the order of the bytes is the file's).
void TakeHead(TXBlocks* Head, TXBlocks* Blocks, Int64 Count)
{
    for (Integer I = 0; I < Blocks->Count() && Count > 0; ++I) {
        TXBlock B = Blocks->Items(I);
        if (B.Length <= 0)
            continue;
        B.Length = std::min(B.Length, Count);
        Count -= B.Length;
        static_cast<TXList<TXBlock>*>(Head)->Add(B);
    }
}

} // namespace

bool TXDRScanFormat::MakePicture(const TXSize& TargetSize, TXSize& PictureSize, TXImageObject* Image, TXBlocks* Blocks,
    TStream* VolumeStream)
{
    PictureSize.Clear();
    Image->Clear();
    if (!HasPreview())
        return true;
    if (!Blocks || !VolumeStream)
        return false;
    try {
        // The picture is read from the volume through the file's blocks,
        // whatever the file's size: a JPEG is always checked (the JPEG
        // reader refuses what it cannot hold), and a raw file needs only
        // the bytes up to its picture's end.
        TXBlocks* Source = Blocks;
        TOwnedPtr<TXBlocks> Head;
        const Int64 Needed = PictureEnd();
        if (Needed < Blocks->Size()) {
            Head.reset(New<TXBlocks>());
            TakeHead(Head.get(), Blocks, Needed);
            Source = Head.get();
        }
        TOwnedPtr<TXBlockStream> File(New<TXBlockStream>(VolumeStream, Source));
        return MakePreview(TargetSize, PictureSize, File.get(), Image);
    } catch (const std::exception&) {
        CheckXError();
        Image->Clear();
        PictureSize.Clear();
        return false;
    }
}

bool TXDRScanFormat::ThumbnailBytes(Int64 FileSize, Int64& From, Int64& To)
{
    From = To = 0;
    if (!HasPreview() || ThumbnailSize.IsEmpty())
        return false;
    // As MakePicture and DecodePreview read: the file up to the picture's
    // end, from the picture's offset; more than the JPEG reader takes is
    // refused before a byte is read.
    const Int64 Size = std::min(PictureEnd(), FileSize);
    const Int64 Offset = PictureOffset();
    if (Offset < 0 || Offset >= Size || Size - Offset > MaxJPEGDataSize)
        return false;
    From = Offset;
    To = Size;
    return true;
}

bool TXDRScanFormat::MakeThumbnailFrom(TStream* Bytes, TXSize& PictureSize, TXImageObject* Image)
{
    PictureSize.Clear();
    Image->Clear();
    try {
        return MakePreview(ThumbnailSize, PictureSize, Bytes, Image);
    } catch (const std::exception&) {
        CheckXError();
        Image->Clear();
        PictureSize.Clear();
        return false;
    }
}

bool TXDRScanFormat::MakeThumbnail(TXSize& PictureSize, TXImageObject* Image, TXBlocks* Blocks, TStream* VolumeStream)
{
    return MakePicture(ThumbnailSize, PictureSize, Image, Blocks, VolumeStream);
}

bool TXDRScanFormat::MakeLargePreview(TXSize& PictureSize, TXImageObject* Image, TXBlocks* Blocks,
    TStream* VolumeStream)
{
    return MakePicture(PreviewSize, PictureSize, Image, Blocks, VolumeStream);
}

bool TXDRScanFormat::DecodePreview(const TXSize& TargetSize, TXSize& Decoded, TStream* Stream, Int64 Offset,
    TXImageObject* Image)
{
    Decoded.Clear();
    if (!Stream || Offset < 0 || Offset >= Stream->Size() || TargetSize.IsEmpty())
        return false;
    TOwnedPtr<TXJPEGImage> Jpeg(New<TXJPEGImage>());
    Stream->Seek(Offset, soBeginning);
    Jpeg->LoadFromStream(Stream);
    // The header's size, before any scaled decoding.
    Decoded.Create(Jpeg->Width(), Jpeg->Height());
    // Small targets decode at one eighth unless that is below 200 pixels
    // (the scaled size follows from the header, before any decoding).
    if (TargetSize.Width < 200 && TargetSize.Height < 200) {
        Jpeg->SetScale(jsEighth);
        if (Jpeg->Width() < 200 || Jpeg->Height() < 200)
            Jpeg->SetScale(jsFullSize);
    }
    const TBitmap* Pixels = Jpeg->Bitmap();
    if (!Pixels || Pixels->Empty())
        return false;
    Integer W = 0, H = 0;
    CalcBestFitSize(W, H, Pixels->Width(), Pixels->Height(), TargetSize.Width, TargetSize.Height);
    TOwnedPtr<TBitmap> Fitted(New<TBitmap>());
    Fitted->SetPixelFormat(pf32bit);
    Fitted->SetSize(W, H);
    StretchDraw(Fitted.get(), Rect(0, 0, W, H), Pixels, smHalftone);
    return Image->LoadFromObject(Fitted.get());
}

// ---- MRW ----

Int64 TXDRScanFormatMRW::FindEnd(TXSearch* Search, Int64 Hit)
{
    TXDRReader R(Search);
    if (!R.Matches(ScanSignature(5), Hit))
        return -1;
    Cardinal L, A, B;
    Byte SampleWidth = 0;
    if (!R.ReadBE32(L, Hit + 4) || !R.ReadBE16(A, Hit + 24) || !R.ReadBE16(B, Hit + 26) ||
        !R.Read(&SampleWidth, 1, Hit + 32))
        return -1;
    if (A == 0 || B == 0)
        return -1;
    // The picture block holds the sensor's height, then its width; the raw
    // data follows the 8-byte block header and the L bytes of header data.
    Width = Integer(B);
    Height = Integer(A);
    const Int64 P = Int64(Cardinal(A * B) / 2);
    const Int64 DataLength = SampleWidth == 16 ? P * 4 : P * 3;
    const Int64 End = Hit + 8 + Int64(L) + DataLength - 1;
    // A file cut by the end of the stream keeps the bytes there are.
    return std::min(End, R.Size - 1);
}

// ---- tables ----

TClass FormatClassOf(Integer Number)
{
    return Formats[FormatIndexOf(Number)].Class();
}

TXDRScanFormat* NewScanFormat(TClass FormatClass)
{
    if (!FormatClass || !FormatClass->InheritsFrom(TXDRScanFormat::StaticClass()))
        FormatClass = TXDRScanFormatJPG::StaticClass();
    return Construct(static_cast<TXDRScanFormat*>(FormatClass->NewInstance()));
}

TClass FormatClassOfExtension(const String& Text)
{
    const String Lower = LowerCase(Text);
    for (const TFormatInfo& F : Formats)
        if (Lower == F.Extension)
            return F.Class();
    return nullptr;
}

Integer ExtensionCategory(const String& Text)
{
    const String Lower = LowerCase(Text);
    auto In = [&](const char16_t* const* Begin, const char16_t* const* End) {
        return std::any_of(Begin, End, [&](const char16_t* E) { return Lower == E; });
    };
    if (In(std::begin(ImageExtensions), std::end(ImageExtensions)))
        return 1;
    if (In(std::begin(VideoExtensions), std::end(VideoExtensions)))
        return 2;
    if (In(std::begin(AudioExtensions), std::end(AudioExtensions)))
        return 3;
    return 0;
}

void BuildSignatures(TXByteArrays& Patterns, TXByteArrays& Masks, TXDRSignatureMap& Map, TXDRScanFormatSet FormatSet)
{
    Patterns.clear();
    Masks.clear();
    Map.fill(-1);
    Cardinal Union = 0;
    for (Integer F = 0; F < ScanFormatCount; ++F)
        if (FormatSet & (TXDRScanFormatSet(1) << F))
            Union |= Formats[F].SignatureMask;
    for (Integer S = 0; S < ScanSignatureCount; ++S)
        if (Union & (Cardinal(1) << S)) {
            Map[size_t(S)] = Integer(Patterns.size());
            Patterns.push_back(SignatureBytes[S]);
            Masks.push_back(PatternMask(S));
        }
}

Integer SignatureOfPattern(const TXDRSignatureMap& Map, Integer PatternIndex)
{
    for (Integer S = 0; S < ScanSignatureCount; ++S)
        if (Map[size_t(S)] == PatternIndex)
            return S;
    return 0;
}

Integer FormatOfSignature(Integer Number)
{
    if (Number < 0 || Number >= ScanSignatureCount)
        return 0;
    for (Integer F = 0; F < ScanFormatCount; ++F)
        if (Formats[F].SignatureMask & (Cardinal(1) << Number))
            return F;
    return 0;
}
