#include "sorvane/XDR.Work.P.Tiff.h"
#include "sorvane/XDR.Work.P.h"
#include "core/XCore.Errors.h"
#include "sorvane/XCore.Services.h"
#include "sorvane/XDR.Work.P.Reader.h"
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <exception>
#include <map>
#include <set>
#include <string>
#include <vector>

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
X_REGISTER_CLASS(TXDRScanFormatRW2)

namespace {

struct TTiffStop { }; // cancelled, a failed read or a limit passed: no file

const Byte TiffTypeSizes[14] = { 0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4 };

// Elements of offset, byte-count and sub-IFD lists read per file, all lists
// together: however many entries claim long lists, a walk reads at most
// this many. A file that claims more is not one we carve.
constexpr Int64 MaxTiffElements = Int64(1) << 20;
// Make and model texts are read up to this length.
constexpr Int64 MaxTiffText = 256;
// IFDs walked per file, chains and sub-IFDs together, and the entries
// they may hold in all: overlapping IFDs cannot make the walk read on and on.
constexpr Integer MaxTiffIfds = 4096;
constexpr Int64 MaxTiffEntries = Int64(1) << 20;

struct TTiffEntry {
    Cardinal Tag = 0, Type = 0, Count = 0, Value = 0;
    Byte Raw[4] = {}; // the value field as stored
    Int64 TypeSize() const { return Type < 14 ? TiffTypeSizes[Type] : 0; }
    Int64 DataSize() const { return TypeSize() * Count; }
    bool Inline() const { return DataSize() <= 4; }
};

// What one IFD says about its data. Of the offset entries (273, 513) and of
// the byte-count entries (279, 514) the last one met counts.
struct TTiffIfd {
    bool HaveOffsets = false, HaveCounts = false;
    TTiffEntry Offsets, Counts;
    bool SingleFromRaw = false; // the Panasonic raw data offset (tag 280)
    Cardinal RawOffset = 0;
    bool HaveTiles[2] = { false, false };
    TTiffEntry Tiles[2]; // offsets (324), byte counts (325)
    std::vector<TTiffEntry> SubIfdLists;
};

bool ContainsText(const std::string& Text, const char* Part)
{
    return Text.find(Part) != std::string::npos;
}

class TTiffWalk {
public:
    TTiffWalk(TXSearch* S, Int64 AHit, bool AIsRW2)
        : R(S)
        , Hit(AHit)
        , IsRW2(AIsRW2)
        , Available(R.Size - AHit)
    { }

    void Run(TXDRTiffResult& Out);
    bool ReadFailed() const { return FReadFailed; }
    bool Cancelled() const { return R.Cancelled(); }

private:
    TXDRReader R;
    Int64 Hit;
    bool IsRW2;
    Int64 Available; // bytes from the hit to the stream's end
    bool Little = true;

    Byte ID = 1;
    Int64 PreviewOffset = 0;
    Int64 E = 0; // the extent: the end of the furthest data met
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
    Int64 ElementsLeft = MaxTiffElements;
    // Where the first piece of each offset list ends (by its offset), and
    // the Panasonic picture: the length of the picture that the preview
    // offset turns out to be.
    std::map<Int64, Int64> PieceEnds;
    bool FReadFailed = false;

    void Check();
    void Read(void* Buffer, Int64 Count, Int64 Offset);
    Cardinal Get16(const Byte* B) const { return Little ? Cardinal(B[0] | B[1] << 8) : Cardinal(B[0] << 8 | B[1]); }
    Cardinal Get32(const Byte* B) const
    {
        return Little ? Cardinal(B[0]) | Cardinal(B[1]) << 8 | Cardinal(B[2]) << 16 | Cardinal(B[3]) << 24
                      : Cardinal(B[0]) << 24 | Cardinal(B[1]) << 16 | Cardinal(B[2]) << 8 | Cardinal(B[3]);
    }
    Cardinal Read16(Int64 Offset)
    {
        Byte B[2];
        Read(B, 2, Offset);
        return Get16(B);
    }
    Cardinal Read32(Int64 Offset)
    {
        Byte B[4];
        Read(B, 4, Offset);
        return Get32(B);
    }

    void Extend(Int64 Offset, Int64 Length);
    void NotePiece(Int64 Offset, Int64 Length);
    std::vector<Cardinal> Elements(const TTiffEntry& En);
    Cardinal EntryValue(const TTiffEntry& En);
    std::string ReadText(const TTiffEntry& En);

    Int64 WalkTree(Int64 O);
    Int64 WalkIFD(Int64 O, std::vector<Int64>& Pending);
    void TakeEntry(const TTiffEntry& En, TTiffIfd& D);
    void ExtendData(const TTiffIfd& D, std::vector<Int64>& Pending);
    void DecideFormat();
};

void TTiffWalk::Check()
{
    if (IsAppTerminated() || R.Cancelled() || FReadFailed)
        throw TTiffStop();
}

void TTiffWalk::Read(void* Buffer, Int64 Count, Int64 Offset)
{
    Check();
    if (!R.Read(Buffer, Count, Hit + Offset)) {
        FReadFailed = true;
        Check();
    }
}

// Data that lies within the bytes there extends the file; data claimed
// past the stream's end is not there to recover and is not trusted.
void TTiffWalk::Extend(Int64 Offset, Int64 Length)
{
    if (Offset < 0 || Length < 0 || Offset > Available || Length > Available - Offset)
        return;
    E = std::max(E, Offset + Length);
}

void TTiffWalk::NotePiece(Int64 Offset, Int64 Length)
{
    Int64& End = PieceEnds[Offset];
    End = std::max(End, Offset + Length);
}

// The elements of an entry of 16- or 32-bit numbers: from the value field
// when they fit there, else from the offset it holds. Every element counts
// against the file's budget before it is read.
std::vector<Cardinal> TTiffWalk::Elements(const TTiffEntry& En)
{
    std::vector<Cardinal> List;
    const Int64 Size = En.TypeSize();
    if (Size != 2 && Size != 4)
        return List;
    if (En.Count > ElementsLeft)
        throw TTiffStop();
    ElementsLeft -= En.Count;
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

// The entry's value: the value field when the data fits there, else the
// first element at its offset (the list itself is read once, after the
// entries).
Cardinal TTiffWalk::EntryValue(const TTiffEntry& En)
{
    const Int64 Size = En.TypeSize();
    if (En.Inline()) {
        if (En.Count >= 1 && Size == 1)
            return En.Raw[0];
        if (En.Count >= 1 && Size == 2)
            return Get16(En.Raw);
        return En.Value;
    }
    if (Size == 2)
        return Read16(En.Value);
    if (Size == 4)
        return Read32(En.Value);
    return En.Value;
}

std::string TTiffWalk::ReadText(const TTiffEntry& En)
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
    return Text;
}

// Walks the IFD at O and, depth first and in their order, every sub-IFD
// below it, with a list of its own instead of recursion: nesting costs no
// stack. Answers O's next-IFD offset; the sub-IFDs' own chains are not
// followed.
Int64 TTiffWalk::WalkTree(Int64 O)
{
    std::vector<Int64> Pending;
    const Int64 Next = WalkIFD(O, Pending);
    while (!Pending.empty()) {
        const Int64 Sub = Pending.back();
        Pending.pop_back();
        WalkIFD(Sub, Pending);
    }
    return Next;
}

// Walks one IFD: its entries, the data they point at, and the sub-IFDs it
// lists (added to Pending so that the first is walked next). Answers the
// next IFD's offset, 0 at the end or when the chain comes back to an IFD
// walked before.
Int64 TTiffWalk::WalkIFD(Int64 O, std::vector<Int64>& Pending)
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
    // The directory is part of the file too; writers often put it last.
    Extend(O, 2 + Int64(Block.size()));

    TTiffIfd D;
    for (Cardinal I = 0; I < N; ++I) {
        const Byte* P = &Block[size_t(I) * 12];
        TTiffEntry En;
        En.Tag = Get16(P);
        En.Type = Get16(P + 2);
        En.Count = Get32(P + 4);
        std::copy(P + 8, P + 12, En.Raw);
        En.Value = Get32(P + 8);
        TakeEntry(En, D);
    }
    const Int64 Next = Get32(&Block[size_t(N) * 12]);
    ExtendData(D, Pending);
    return Next;
}

void TTiffWalk::TakeEntry(const TTiffEntry& En, TTiffIfd& D)
{
    switch (En.Tag) {
    case 2: SensorWidth = EntryValue(En); break;
    case 3: SensorHeight = EntryValue(En); break;
    case 46:
        if (IsRW2 && PreviewOffset == 0) {
            PreviewOffset = En.Value;
            NotePiece(En.Value, En.DataSize());
        }
        break;
    case 271: Make = ReadText(En); break;
    case 272: Model = ReadText(En); break;
    case 273:
        if (std::int32_t(En.Value) != -1)
            StripsMet = true;
        D.Offsets = En;
        D.HaveOffsets = true;
        D.SingleFromRaw = false;
        if (PreviewOffset == 0)
            PreviewOffset = EntryValue(En);
        break;
    case 279:
        D.Counts = En;
        D.HaveCounts = true;
        if (En.Count == 1 && EntryValue(En) != 0)
            LastStripByteCount = EntryValue(En);
        break;
    case 280:
        if (IsRW2) {
            StripsMet = true;
            D.HaveOffsets = false;
            D.SingleFromRaw = true;
            D.RawOffset = EntryValue(En);
        }
        break;
    case 324:
        D.Tiles[0] = En;
        D.HaveTiles[0] = true;
        break;
    case 325:
        D.Tiles[1] = En;
        D.HaveTiles[1] = true;
        break;
    case 330:
        if (ContainsText(Model, "DSLR-A100")) {
            A100 = En.Value;
            HasA100 = true;
        } else {
            D.SubIfdLists.push_back(En);
        }
        break;
    case 513:
        D.Offsets = En;
        D.HaveOffsets = true;
        D.SingleFromRaw = false;
        JpegOffset = EntryValue(En);
        if (PreviewOffset == 0)
            PreviewOffset = JpegOffset;
        break;
    case 514:
        D.Counts = En;
        D.HaveCounts = true;
        break;
    case 34665: ExifIfd = En.Value; break;
    case 34853: GpsIfd = En.Value; break;
    case 40965: InteropIfd = En.Value; break;
    case 50706: ID = 2; break;
    default: break;
    }
    // Data stored out of line is part of the file, the texts and the
    // arrays of offsets, byte counts and sub-IFDs included. A text's count
    // holds its closing zero already: the file ends with it when the text
    // comes last, as libtiff writes a description.
    if (!En.Inline())
        Extend(En.Value, En.DataSize());
}

// The strips or the JPEG picture (offsets paired with byte counts; the
// shorter list decides how many pairs there are), the tiles, and the
// sub-IFDs to walk next. Each list is read once.
void TTiffWalk::ExtendData(const TTiffIfd& D, std::vector<Int64>& Pending)
{
    if (D.HaveOffsets || D.SingleFromRaw) {
        const std::vector<Cardinal> Offs =
            D.SingleFromRaw ? std::vector<Cardinal> { D.RawOffset } : Elements(D.Offsets);
        const std::vector<Cardinal> Cnts = D.HaveCounts ? Elements(D.Counts) : std::vector<Cardinal> {};
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
        if (!Offs.empty() && !Cnts.empty())
            NotePiece(Offs.front(), Cnts.front());
    }
    if (D.HaveTiles[0] && D.HaveTiles[1]) {
        const std::vector<Cardinal> Offs = Elements(D.Tiles[0]);
        const std::vector<Cardinal> Cnts = Elements(D.Tiles[1]);
        for (size_t K = 0; K < std::min(Offs.size(), Cnts.size()); ++K)
            Extend(Offs[K], Cnts[K]);
    }
    std::vector<Int64> Subs;
    for (const TTiffEntry& List : D.SubIfdLists)
        for (Cardinal V : Elements(List))
            Subs.push_back(V);
    Pending.insert(Pending.end(), Subs.rbegin(), Subs.rend());
}

void TTiffWalk::DecideFormat()
{
    if (ID != 1)
        return;
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

void TTiffWalk::Run(TXDRTiffResult& Out)
{
    Byte Order[2];
    Read(Order, 2, 0);
    if (Order[0] == 'I' && Order[1] == 'I')
        Little = true;
    else if (Order[0] == 'M' && Order[1] == 'M')
        Little = false;
    else
        return;
    for (Int64 Ifd = Read32(4); Ifd != 0;)
        Ifd = WalkTree(Ifd);

    DecideFormat();
    for (Int64 Ifd : { ExifIfd, GpsIfd, InteropIfd })
        if (Ifd != 0)
            WalkTree(Ifd);
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

    Out.ID = ID;
    if (E <= 0)
        return;
    Out.End = Hit + E - 1;
    Out.PreviewOffset = PreviewOffset;
    const auto Piece = PieceEnds.find(PreviewOffset);
    if (PreviewOffset != 0 && Piece != PieceEnds.end() && Piece->second > PreviewOffset)
        Out.PreviewLength = Piece->second - PreviewOffset;
}

} // namespace

TXDRTiffResult WalkTiff(TXSearch* Search, Int64 Hit, bool IsRW2)
{
    TXDRTiffResult Out;
    TTiffWalk Walk(Search, Hit, IsRW2);
    try {
        Walk.Run(Out);
    } catch (const TTiffStop&) {
        if (Walk.ReadFailed() && !Walk.Cancelled())
            SetXError(39, 0, {}, false);
        Out.End = -1;
    } catch (const std::exception&) {
        CheckXError();
        Out.End = -1;
    }
    if (Out.End < 0)
        Out.PreviewOffset = Out.PreviewLength = 0;
    return Out;
}

// ---- TIFF family ----

Int64 TXDRScanFormatTIF::FindEnd(TXSearch* Search, Int64 Hit)
{
    const TXDRTiffResult Walk = WalkTiff(Search, Hit, InheritsFrom(TXDRScanFormatRW2::StaticClass()));
    ID = Walk.ID;
    PreviewOffset = Walk.PreviewOffset;
    PreviewLength = Walk.PreviewLength;
    return Walk.End;
}

Int64 TXDRScanFormatTIF::PictureEnd() const
{
    if (PreviewOffset > 0 && PreviewLength > 0 && PreviewLength <= INT64_MAX - PreviewOffset)
        return PreviewOffset + PreviewLength;
    return inherited::PictureEnd();
}

bool TXDRScanFormatTIF::MakePreview(const TXSize& TargetSize, TXSize& PictureSize, TStream* Stream,
    TXImageObject* Image)
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
