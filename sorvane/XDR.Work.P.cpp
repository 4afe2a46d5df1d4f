#include "XDR.Work.P.h"
#include "Bitmap.h"
#include "StrUtils.h"
#include "Streams.h"
#include "XCore.Errors.h"
#include "XCore.Services.h"
#include "XCore.Streams.Blocks.h"
#include "XMedia.JPEG.h"
#include <algorithm>
#include <exception>
#include <cctype>
#include <cstring>
#include <set>

X_REGISTER_CLASS(TXDRScanFormat)
X_REGISTER_CLASS(TXDRScanFormatJPG)
X_REGISTER_CLASS(TXDRScanFormatTIF)
X_REGISTER_CLASS(TXDRScanFormatDNG)
X_REGISTER_CLASS(TXDRScanFormatCR2)
X_REGISTER_CLASS(TXDRScanFormatNEF)
X_REGISTER_CLASS(TXDRScanFormatORF)
X_REGISTER_CLASS(TXDRScanFormatPEF)
X_REGISTER_CLASS(TXDRScanFormatARW)
X_REGISTER_CLASS(TXDRScanFormatARWTIF)
X_REGISTER_CLASS(TXDRScanFormatSRF)
X_REGISTER_CLASS(TXDRScanFormatSR2)
X_REGISTER_CLASS(TXDRScanFormatRAW)
X_REGISTER_CLASS(TXDRScanFormatMRW)
X_REGISTER_CLASS(TXDRScanFormatRW2)
X_REGISTER_CLASS(TXDRScanFormatAVI)
X_REGISTER_CLASS(TXDRScanFormatMOV)
X_REGISTER_CLASS(TXDRScanFormatMP4)

TXSize ThumbnailSize { 72, 72 };
TXSize PreviewSize { 600, 600 };

const char16_t* const ImageExtensions[46] = {
    u".jpg", u".arw", u".cr2", u".dng", u".nef", u".orf", u".pef", u".raf", u".raw", u".tif", u".3fr", u".ari",
    u".bay", u".bmp", u".cap", u".crw", u".dcr", u".dcs", u".drf", u".eip", u".erf", u".fff", u".gif", u".iiq",
    u".jp2", u".jps", u".k25", u".kdc", u".mef", u".mos", u".mpo", u".mrw", u".nrw", u".pcd", u".png", u".pns",
    u".psd", u".ptx", u".pxn", u".r3d", u".rw1", u".rw2", u".rwz", u".srf", u".sr2", u".x3f",
};
const char16_t* const VideoExtensions[17] = {
    u".avi", u".mov", u".mp4", u".mpg", u".3g2", u".3gp", u".cam", u".flv", u".m1v", u".m2t", u".m2v", u".m4v",
    u".mpe", u".mts", u".rm", u".qt", u".wmv",
};
const char16_t* const AudioExtensions[10] = {
    u".mp3", u".wma", u".aif", u".amr", u".m4a", u".m4b", u".mid", u".mp2", u".ra", u".wav",
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
    { &TXDRScanFormatMOV::StaticClass, u".mov", 1920 },
    { &TXDRScanFormatMP4::StaticClass, u".mp4", 1920 },
};

const TXByteArray Signatures[ScanSignatureCount] = {
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
};

Integer FormatIndexOf(Integer Number)
{
    Number &= 0x7F;
    return Number >= 1 && Number < ScanFormatCount ? Number : 0;
}

// Reads of a carver: all inside the stream, or failed. The stream's own
// error handling (zeros and an acknowledged error code) covers a bad
// sector; a cancelled search reads nothing.
struct TReader {
    TXSearch* Search;
    Int64 Size;

    explicit TReader(TXSearch* S) : Search(S), Size(S && S->Stream ? S->Stream->Size() : 0) { }
    bool Cancelled() const { return Search->Cancelled(); }
    bool Inside(Int64 Pos, Int64 Count) const { return Pos >= 0 && Count >= 0 && Pos <= Size && Count <= Size - Pos; }
    bool Read(void* Buffer, Int64 Count, Int64 Pos) const
    {
        if (Cancelled() || !Inside(Pos, Count))
            return false;
        return Count == 0 || StreamReadAt(Search->Stream, Buffer, Count, Pos);
    }
    bool ReadBE32(Cardinal& V, Int64 Pos) const
    {
        Byte B[4];
        if (!Read(B, 4, Pos))
            return false;
        V = Cardinal(B[0]) << 24 | Cardinal(B[1]) << 16 | Cardinal(B[2]) << 8 | B[3];
        return true;
    }
    bool ReadBE16(Cardinal& V, Int64 Pos) const
    {
        Byte B[2];
        if (!Read(B, 2, Pos))
            return false;
        V = Cardinal(B[0]) << 8 | B[1];
        return true;
    }
    bool Matches(const TXByteArray& Bytes, Int64 Pos) const
    {
        TXByteArray Got(Bytes.size());
        return Read(Got.data(), Int64(Got.size()), Pos) && Got == Bytes;
    }
};

bool ContainsText(const std::string& Text, const char* Part)
{
    return Text.find(Part) != std::string::npos;
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

bool TXDRScanFormat::MakePicture(const TXSize& TargetSize, TXSize& PictureSize, TXImageObject* Image, TXBlocks* Blocks,
                                 TStream* VolumeStream)
{
    PictureSize.Clear();
    Image->Clear();
    if (!HasPreview())
        return true;
    // A file too large to hold in memory keeps its entry without a picture.
    if (!Blocks || Blocks->Size() > MaxPreviewFileSize)
        return true;
    try {
        TOwnedPtr<TBytesStream> File(New<TBytesStream>());
        if (!Blocks->CopyTo(VolumeStream, File.get()))
            return false;
        File->SetPosition(0);
        return MakePreview(TargetSize, PictureSize, File.get(), Image);
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

bool TXDRScanFormat::MakeLargePreview(TXSize& PictureSize, TXImageObject* Image, TXBlocks* Blocks, TStream* VolumeStream)
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

// ---- JPEG ----

namespace {

// The segment at Hit + Offset: its type, and where the next one starts
// (-1 when the header is not accepted or cannot be read).
Byte ReadJpegSegment(const TReader& R, Int64 Hit, Int64 Offset, Int64& Next)
{
    Next = -1;
    Byte B[4];
    if (!R.Read(B, 4, Hit + Offset))
        return 0;
    // A marker starts with FF, and FF 00 is a stuffed data byte, no marker:
    // a walk that lands anywhere else has left the segment structure.
    if (B[0] != 0xFF || B[1] == 0)
        return 0;
    Next = Offset + (Int64(B[2]) << 8 | B[3]) + 2;
    return B[1];
}

} // namespace

Int64 TXDRScanFormatJPG::FindScanStart(TXSearch* Search, Int64 Hit)
{
    TReader R(Search);
    Byte Soi[2];
    if (!R.Read(Soi, 2, Hit) || Soi[0] != 0xFF || Soi[1] != 0xD8)
        return -1;
    Int64 Offset = 2;
    bool First = true;
    for (;;) {
        if (IsAppTerminated() || R.Cancelled())
            return -1;
        Int64 Next;
        const Byte Type = ReadJpegSegment(R, Hit, Offset, Next);
        if (Next < 0)
            return -1;
        if (First && (Type < 0xE0 || Type > 0xEF))
            return -1;
        First = false;
        if (Type == 0xDA)
            return Hit + Next;
        Offset = Next;      // at least 2 bytes on: the walk ends at the stream's end
    }
}

Int64 TXDRScanFormatJPG::FindEnd(TXSearch* Search, Int64 Hit)
{
    try {
        const Int64 Start = FindScanStart(Search, Hit);
        if (Start < 0)
            return -1;
        const Int64 Eoi = Search->Find({ 0xFF, 0xD9 }, Start, Search->Stream->Size() - 1);
        return Eoi > Hit ? Eoi + 1 : -1;
    } catch (const std::exception&) {
        CheckXError();
        return -1;
    }
}

bool TXDRScanFormatJPG::Validate(TXSearch* Search, Int64 Hit)
{
    try {
        return FindScanStart(Search, Hit) >= 0;
    } catch (const std::exception&) {
        CheckXError();
        return false;
    }
}

bool TXDRScanFormatJPG::MakePreview(const TXSize& TargetSize, TXSize& PictureSize, TStream* Stream, TXImageObject* Image)
{
    PictureSize.Clear();
    Image->Clear();
    try {
        if (!Stream || Stream->Size() == 0)
            return false;
        TXSize Decoded;
        if (!DecodePreview(TargetSize, Decoded, Stream, 0, Image))
            return false;
        PictureSize = Decoded;
        return true;
    } catch (const std::exception&) {
        CheckXError();
        Image->Clear();
        PictureSize.Clear();
        return false;
    }
}

// ---- TIFF family ----

namespace {

struct TTiffStop { };           // cancelled or a failed read: the carver answers -1

const Byte TiffTypeSizes[14] = { 0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4 };

// Lists of offsets and counts are read whole only up to this many elements;
// a longer list is not a file we carve.
constexpr Int64 MaxTiffList = Int64(1) << 20;
// Make and model texts are read up to this length.
constexpr Int64 MaxTiffText = 256;
// IFDs walked per file, chains and sub-IFDs together, and the entries
// they may hold in all: overlapping IFDs cannot make the walk read on and on.
constexpr Integer MaxTiffIfds = 4096;
constexpr Int64 MaxTiffEntries = Int64(1) << 20;

struct TTiffEntry {
    Cardinal Tag = 0, Type = 0, Count = 0, Value = 0;
    Byte Raw[4] = {};           // the value field as stored
    Int64 DataSize() const { return Type < 14 ? Int64(TiffTypeSizes[Type]) * Count : 0; }
    bool Inline() const { return DataSize() <= 4; }
};

struct TTiffWalk {
    TReader R;
    Int64 Hit;
    bool Little = true;
    bool IsRW2 = false;
    Byte& ID;
    Int64& PreviewOffset;
    Int64 Available;            // bytes from the hit to the stream's end

    Int64 E = 0;
    std::string Make, Model;
    bool StripsMet = false;
    Cardinal LastStripByteCount = 0;
    Int64 A100 = 0;
    bool HasA100 = false;
    Int64 JpegOffset = 0;
    Int64 ExifIfd = 0, GpsIfd = 0, InteropIfd = 0;
    Cardinal SensorWidth = 0, SensorHeight = 0;
    std::set<Int64> Walked;
    Int64 Entries = 0;
    bool ReadFailed = false;

    TTiffWalk(TXSearch* S, Int64 AHit, Byte& AID, Int64& APreview)
        : R(S), Hit(AHit), ID(AID), PreviewOffset(APreview), Available(R.Size - AHit) { }

    void Check()
    {
        if (IsAppTerminated() || R.Cancelled())
            throw TTiffStop();
        if (ReadFailed)
            throw TTiffStop();
    }
    void Read(void* Buffer, Int64 Count, Int64 Offset)
    {
        Check();
        if (!R.Read(Buffer, Count, Hit + Offset)) {
            ReadFailed = true;
            Check();
        }
    }
    Cardinal Get16(const Byte* B) const { return Little ? Cardinal(B[0] | B[1] << 8) : Cardinal(B[0] << 8 | B[1]); }
    Cardinal Get32(const Byte* B) const
    {
        return Little ? Cardinal(B[0]) | Cardinal(B[1]) << 8 | Cardinal(B[2]) << 16 | Cardinal(B[3]) << 24
                      : Cardinal(B[0]) << 24 | Cardinal(B[1]) << 16 | Cardinal(B[2]) << 8 | Cardinal(B[3]);
    }
    Cardinal Read16(Int64 Offset) { Byte B[2]; Read(B, 2, Offset); return Get16(B); }
    Cardinal Read32(Int64 Offset) { Byte B[4]; Read(B, 4, Offset); return Get32(B); }

    // Data that lies within the bytes there extends the file; data claimed
    // past the stream's end is not there to recover and is not trusted.
    void Extend(Int64 Offset, Int64 Length)
    {
        if (Offset < 0 || Length < 0 || Offset > Available || Length > Available - Offset)
            return;
        E = std::max(E, Offset + Length);
    }

    // The elements of an entry of 16- or 32-bit numbers: from the value
    // field when they fit there, else from the offset it holds.
    std::vector<Cardinal> Elements(const TTiffEntry& En)
    {
        std::vector<Cardinal> List;
        const Int64 Size = En.Type < 14 ? TiffTypeSizes[En.Type] : 0;
        if (Size != 2 && Size != 4)
            return List;
        if (En.Count > MaxTiffList)
            throw TTiffStop();
        const Int64 Bytes = Size * En.Count;
        std::vector<Byte> Data(static_cast<size_t>(Bytes));
        if (Bytes <= 4)
            std::copy(En.Raw, En.Raw + Bytes, Data.begin());
        else
            Read(Data.data(), Bytes, En.Value);
        List.reserve(En.Count);
        for (Int64 I = 0; I < Bytes; I += Size)
            List.push_back(Size == 2 ? Get16(&Data[size_t(I)]) : Get32(&Data[size_t(I)]));
        return List;
    }

    // The entry's value: the value field when the data fits there, else
    // the first element at its offset.
    Cardinal EntryValue(const TTiffEntry& En)
    {
        if (En.Inline() && En.Count >= 1) {
            const Int64 Size = En.Type < 14 ? TiffTypeSizes[En.Type] : 0;
            if (Size == 1)
                return En.Raw[0];
            if (Size == 2)
                return Get16(En.Raw);
            return En.Value;
        }
        if (!En.Inline()) {
            const std::vector<Cardinal> L = Elements(En);
            return L.empty() ? En.Value : L.front();
        }
        return En.Value;
    }

    std::string ReadText(const TTiffEntry& En)
    {
        const Int64 Count = std::min<Int64>(En.Count, MaxTiffText);
        std::string Text(static_cast<size_t>(Count), '\0');
        if (Count <= 4)
            std::copy(En.Raw, En.Raw + Count, Text.begin());
        else
            Read(Text.data(), Count, En.Value);
        Text.erase(std::find(Text.begin(), Text.end(), '\0'), Text.end());
        for (char& C : Text)
            C = char(std::toupper(static_cast<unsigned char>(C)));
        if (!En.Inline())
            Extend(En.Value, En.Count);
        return Text;
    }

    void WalkChain(Int64 Offset)
    {
        while (Offset != 0)
            Offset = WalkIFD(Offset);
    }

    // Walks one IFD, its sub-IFDs, and answers the next IFD's offset (0 at
    // the end, or when the chain comes back to an IFD walked before).
    Int64 WalkIFD(Int64 O)
    {
        Check();
        if (!Walked.insert(O).second || Integer(Walked.size()) > MaxTiffIfds)
            return 0;
        const Cardinal N = Read16(O);
        Entries += N;
        if (Entries > MaxTiffEntries)
            throw TTiffStop();
        std::vector<Byte> Block(size_t(N) * 12 + 4);
        Read(Block.data(), Int64(Block.size()), O + 2);

        bool HaveOffsets = false, HaveCounts = false;
        TTiffEntry Offsets, Counts;
        TTiffEntry Tiles[2];
        bool HaveTiles[2] = { false, false };
        std::vector<Int64> SubIfds;
        Cardinal SingleOffset = 0;
        bool SingleFromRaw = false;

        for (Cardinal I = 0; I < N; ++I) {
            const Byte* P = &Block[size_t(I) * 12];
            TTiffEntry En;
            En.Tag = Get16(P);
            En.Type = Get16(P + 2);
            En.Count = Get32(P + 4);
            std::copy(P + 8, P + 12, En.Raw);
            En.Value = Get32(P + 8);
            switch (En.Tag) {
            case 2: SensorWidth = EntryValue(En); break;
            case 3: SensorHeight = EntryValue(En); break;
            case 46:
                if (IsRW2 && PreviewOffset == 0)
                    PreviewOffset = En.Value;
                break;
            case 271: Make = ReadText(En); break;
            case 272: Model = ReadText(En); break;
            case 273:
                if (std::int32_t(En.Value) != -1)
                    StripsMet = true;
                Offsets = En;
                HaveOffsets = true;
                SingleFromRaw = false;
                if (PreviewOffset == 0)
                    PreviewOffset = EntryValue(En);
                break;
            case 279:
                Counts = En;
                HaveCounts = true;
                if (En.Count == 1 && EntryValue(En) != 0)
                    LastStripByteCount = EntryValue(En);
                break;
            case 280:
                if (IsRW2) {
                    StripsMet = true;
                    HaveOffsets = false;
                    SingleFromRaw = true;
                    SingleOffset = EntryValue(En);
                }
                break;
            case 324: Tiles[0] = En; HaveTiles[0] = true; break;
            case 325: Tiles[1] = En; HaveTiles[1] = true; break;
            case 330:
                if (ContainsText(Model, "DSLR-A100")) {
                    A100 = En.Value;
                    HasA100 = true;
                } else {
                    for (Cardinal V : Elements(En))
                        SubIfds.push_back(V);
                }
                break;
            case 513:
                Offsets = En;
                HaveOffsets = true;
                SingleFromRaw = false;
                JpegOffset = EntryValue(En);
                if (PreviewOffset == 0)
                    PreviewOffset = JpegOffset;
                break;
            case 514: Counts = En; HaveCounts = true; break;
            case 34665: ExifIfd = En.Value; break;
            case 34853: GpsIfd = En.Value; break;
            case 40965: InteropIfd = En.Value; break;
            case 50706: ID = 2; break;
            default:
                if (!En.Inline())
                    Extend(En.Value, En.DataSize() + (En.Type == 2 ? 1 : 0));
                break;
            }
        }
        const Int64 Next = Get32(&Block[size_t(N) * 12]);

        // Strips or the JPEG picture: offsets paired with byte counts; the
        // shorter list decides how many pairs there are.
        if (HaveOffsets || SingleFromRaw) {
            std::vector<Cardinal> Offs = SingleFromRaw ? std::vector<Cardinal> { SingleOffset } : Elements(Offsets);
            std::vector<Cardinal> Cnts = HaveCounts ? Elements(Counts) : std::vector<Cardinal> {};
            if (Offs.size() == 1) {
                Int64 Count = Cnts.empty() ? 0 : Cnts.front();
                if (IsRW2 && Count == 0)
                    Count = Int64(SensorWidth) * SensorHeight * 2;
                if (Offs.front() != 0)
                    Extend(Offs.front(), Count);
            } else {
                for (size_t K = 0; K < std::min(Offs.size(), Cnts.size()); ++K)
                    Extend(Offs[K], Cnts[K]);
            }
        }
        if (HaveTiles[0] && HaveTiles[1]) {
            const std::vector<Cardinal> Offs = Elements(Tiles[0]);
            const std::vector<Cardinal> Cnts = Elements(Tiles[1]);
            for (size_t K = 0; K < std::min(Offs.size(), Cnts.size()); ++K)
                Extend(Offs[K], Cnts[K]);
        }
        for (Int64 Sub : SubIfds)
            WalkIFD(Sub);           // its own chain is not followed
        return Next;
    }

    Int64 Run()
    {
        ID = 1;
        PreviewOffset = 0;
        Byte Order[2];
        Read(Order, 2, 0);
        if (Order[0] == 'I' && Order[1] == 'I')
            Little = true;
        else if (Order[0] == 'M' && Order[1] == 'M')
            Little = false;
        else
            return -1;
        WalkChain(Read32(4));

        if (ID == 1) {
            if (ContainsText(Make, "NIKON"))
                ID = 4;
            else if (ContainsText(Make, "PENTAX"))
                ID = 6;
            else if (ContainsText(Make, "CANON"))
                ID = 3;
            else if (ContainsText(Make, "SONY")) {
                if (ContainsText(Model, "DSLR-A"))
                    ID = 8;
                else if (ContainsText(Model, "DSC-R1"))
                    ID = 10;
                else if (!StripsMet && LastStripByteCount != 0)
                    ID = 9;
            } else {
                Byte Sig[4];
                Read(Sig, 4, 0);
                if (Sig[0] == 0x49 && Sig[1] == 0x49 && Sig[2] == 0x55 && Sig[3] == 0x00)
                    ID = 13;
                else if (Sig[0] == 0x49 && Sig[1] == 0x49 && Sig[2] == 0x52 && Sig[3] == 0x4F)
                    ID = 5;
            }
        }
        for (Int64 Ifd : { ExifIfd, GpsIfd, InteropIfd })
            if (Ifd != 0)
                WalkIFD(Ifd);
        if (HasA100) {
            ID = 7;
            if (E < A100)
                E = std::min<Int64>(20'534'752, Available);
        }
        if (!StripsMet && LastStripByteCount != 0)
            Extend(0, E + LastStripByteCount);
        if (ID == 1 || ID == 2)
            PreviewOffset = 0;
        else if (ID == 4 || ID == 6)
            PreviewOffset = JpegOffset;
        if (PreviewOffset < 0 || PreviewOffset >= Available)
            PreviewOffset = 0;
        Check();
        return E > 0 ? Hit + E - 1 : -1;
    }
};

} // namespace

Int64 TXDRScanFormatTIF::FindEnd(TXSearch* Search, Int64 Hit)
{
    Byte NewID = 1;
    Int64 Preview = 0;
    TTiffWalk Walk(Search, Hit, NewID, Preview);
    Walk.IsRW2 = InheritsFrom(TXDRScanFormatRW2::StaticClass());
    Int64 Result = -1;
    try {
        Result = Walk.Run();
    } catch (const TTiffStop&) {
        if (Walk.ReadFailed && !Walk.R.Cancelled())
            SetXError(39, 0, {}, false);
        Result = -1;
    } catch (const std::exception&) {
        CheckXError();
        Result = -1;
    }
    ID = NewID;
    PreviewOffset = Result < 0 ? 0 : Preview;
    return Result;
}

bool TXDRScanFormatTIF::MakePreview(const TXSize& TargetSize, TXSize& PictureSize, TStream* Stream, TXImageObject* Image)
{
    PictureSize.Clear();
    Image->Clear();
    try {
        if (!Stream || Stream->Size() == 0 || PreviewOffset == 0)
            return false;
        TXSize Decoded;
        return DecodePreview(TargetSize, Decoded, Stream, PreviewOffset, Image);
    } catch (const std::exception&) {
        CheckXError();
        Image->Clear();
        return false;
    }
}

// ---- MRW ----

Int64 TXDRScanFormatMRW::FindEnd(TXSearch* Search, Int64 Hit)
{
    TReader R(Search);
    if (!R.Matches(Signatures[5], Hit))
        return -1;
    Cardinal L, A, B;
    Byte SampleWidth = 0;
    if (!R.ReadBE32(L, Hit + 4) || !R.ReadBE16(A, Hit + 24) || !R.ReadBE16(B, Hit + 26)
        || !R.Read(&SampleWidth, 1, Hit + 32))
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

// ---- AVI ----

Int64 TXDRScanFormatAVI::FindEnd(TXSearch* Search, Int64 Hit)
{
    TReader R(Search);
    Byte Head[12];
    if (!R.Read(Head, 12, Hit) || std::memcmp(Head, "RIFF", 4) != 0 || std::memcmp(Head + 8, "AVI ", 4) != 0)
        return -1;
    const Int64 S = Int64(Head[4]) | Int64(Head[5]) << 8 | Int64(Head[6]) << 16 | Int64(Head[7]) << 24;
    if (S == 0)
        return -1;
    return std::min(Hit + S + 7, R.Size - 1);
}

// ---- QuickTime ----

namespace {

// ftyp brands are read up to this length.
constexpr Int64 MaxBrandText = 4096;

// The top-level atoms a file is walked over. "wide" is padding that
// cameras put between "ftyp" and "mdat" (it is kept free for a 64-bit
// size), so it is walked like "free".
bool IsWalkedAtom(const std::string& Type)
{
    for (const char* Known : { "ftyp", "skip", "mdat", "moov", "free", "wide", "uuid" })
        if (Type == Known)
            return true;
    return false;
}

} // namespace

Int64 TXDRScanFormatMOV::FindEnd(TXSearch* Search, Int64 Hit)
{
    ID = 15;
    try {
        TReader R(Search);
        bool Signed = false;
        for (Integer S = 7; S <= 10 && !Signed; ++S)
            Signed = R.Matches(Signatures[S], Hit);
        if (!Signed)
            return -1;
        const Int64 Available = R.Size - Hit;
        Int64 Offset = 0;
        for (;;) {
            if (IsAppTerminated() || R.Cancelled())
                return -1;
            Byte Head[8];
            if (!R.Read(Head, 8, Hit + Offset))
                break;
            Int64 Size = Int64(Head[0]) << 24 | Int64(Head[1]) << 16 | Int64(Head[2]) << 8 | Head[3];
            const std::string Type(reinterpret_cast<const char*>(Head + 4), 4);
            if (!IsWalkedAtom(Type))
                break;
            if (Size == 1) {
                Byte Big[8];
                if (!R.Read(Big, 8, Hit + Offset + 8))
                    break;
                UInt64 V = 0;
                for (Byte B : Big)
                    V = V << 8 | B;
                // A size with its top bit set would walk backwards.
                Size = V > UInt64(INT64_MAX) ? 0 : Int64(V);
            }
            // Sizes below a header's length make no progress: the file
            // ends before such an atom.
            if (Size < 8)
                break;
            if (Type == "ftyp" && Size > 8) {
                const Int64 Count = std::min({ Size - 8, MaxBrandText, Available - Offset - 8 });
                std::string Brands(static_cast<size_t>(std::max<Int64>(Count, 0)), '\0');
                if (Count > 0 && R.Read(Brands.data(), Count, Hit + Offset + 8)
                    && Brands.find("mp4") != std::string::npos)
                    ID = 16;
            }
            // An atom cut by the end of the stream keeps the bytes there are.
            if (Size >= Available - Offset) {
                Offset = Available;
                break;
            }
            Offset += Size;
        }
        return Offset > 0 ? Hit + Offset - 1 : -1;
    } catch (const std::exception&) {
        CheckXError();
        return -1;
    }
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

void BuildSignatures(TXByteArrays& Patterns, TXDRSignatureMap& Map, TXDRScanFormatSet FormatSet)
{
    Patterns.clear();
    Map.fill(-1);
    Cardinal Union = 0;
    for (Integer F = 0; F < ScanFormatCount; ++F)
        if (FormatSet & (TXDRScanFormatSet(1) << F))
            Union |= Formats[F].SignatureMask;
    for (Integer S = 0; S < ScanSignatureCount; ++S)
        if (Union & (Cardinal(1) << S)) {
            Map[size_t(S)] = Integer(Patterns.size());
            Patterns.push_back(Signatures[S]);
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
