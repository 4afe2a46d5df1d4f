// The signature scan over real files made by imagemagick, exiftool and
// ffmpeg, hidden at sector starts inside seeded random filler, and the
// carvers on damaged input.
#include "Streams.h"
#include "XCore.Engine.WorkerProgress.h"
#include "XCore.Search.h"
#include "XDR.Work.P.h"
#include "XDR.Work.S.h"
#include "JpegImage.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {

std::vector<Byte> ReadFileBytes(const fs::path& P)
{
    std::ifstream In(P, std::ios::binary);
    return std::vector<Byte>(std::istreambuf_iterator<char>(In), {});
}

bool HasTool(const char* Name)
{
    return std::system((std::string("command -v ") + Name + " >/dev/null 2>&1").c_str()) == 0;
}

struct TTempDir {
    fs::path Path;
    TTempDir()
    {
        std::string T = (fs::temp_directory_path() / "carving-XXXXXX").string();
        Path = mkdtemp(T.data());
    }
    ~TTempDir() { std::error_code E; fs::remove_all(Path, E); }
};

// Runs a tool; the file it made, or an empty list when it failed.
std::vector<Byte> Make(const TTempDir& Dir, const std::string& Command, const char* Output)
{
    const std::string Full = "cd '" + Dir.Path.string() + "' && " + Command + " >/dev/null 2>&1";
    if (std::system(Full.c_str()) != 0)
        return {};
    return ReadFileBytes(Dir.Path / Output);
}

// Files at sector starts inside random filler whose sector starts begin
// with a byte no signature starts with.
struct TImage {
    std::vector<Byte> Bytes;
    std::mt19937 Random { 20261211 };

    void Filler(Int64 Sectors)
    {
        const size_t At = Bytes.size();
        Bytes.resize(At + size_t(Sectors) * 512);
        for (size_t I = At; I < Bytes.size(); ++I)
            Bytes[I] = Byte(Random());
        for (size_t I = At; I < Bytes.size(); I += 512)
            Bytes[I] = 0x01;
    }
    Int64 Put(const std::vector<Byte>& File)
    {
        const Int64 At = Int64(Bytes.size());
        Bytes.insert(Bytes.end(), File.begin(), File.end());
        Bytes.resize((Bytes.size() + 511) / 512 * 512, 0x01);
        return At;
    }
};

struct TScanResult : TObject {
    struct TFound {
        String Extension;
        TXBlocks* Blocks;
        TXSize ImageSize;
        TXSize Thumb;
        TXDRFileStatusSet Status;
    };
    TOwnedPtr<TXDRFileCollection> Files { New<TXDRFileCollection>(static_cast<TPersistent*>(nullptr)) };

    void Seen(IXNotification* N)
    {
        auto* Aspect = static_cast<TXDRFoundFileAspect*>(N->GetAspect());
        Files->Add()->Assign(Aspect->Item());
    }
    TXDRFileItem* At(Int64 Start, const String& Ext) const
    {
        for (Integer I = 0; I < Files->Count(); ++I) {
            TXDRFileItem* F = Files->Items(I);
            if (F->Blocks()->Count() > 0 && F->Blocks()->Items(0).Start == Start && F->Extension == Ext)
                return F;
        }
        return nullptr;
    }
};

// Scans the whole of Bytes into R; Worker may be given to cancel.
void Scan(const std::vector<Byte>& Bytes, TScanResult& R)
{
    TOwnedPtr<TBytesStream> Volume(New<TBytesStream>(Bytes));
    TOwnedPtr<TXBlocks> Blocks(New<TXBlocks>());
    Blocks->Add(0, Int64(Bytes.size()));
    TOwnedPtr<TXWorker> Worker(New<TXWorker>(IPtr<IInterface>()));
    Worker->Subscribe(TXDRFoundFileAspect::StaticClass(), TXNotificationHandler::Of<&TScanResult::Seen>(&R));
    TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
    Search->Worker = IPtr<IXWorker>(Worker.get());
    ScanBlocks(Search.get(), Volume.get(), Blocks.get(), R.Files.get());
    Search->Worker = nullptr;
    Worker->UnsubscribeMethod(TXNotificationHandler::Of<&TScanResult::Seen>(&R));
}

std::vector<Byte> Carved(const std::vector<Byte>& Image, TXDRFileItem* F)
{
    std::vector<Byte> Out;
    for (Integer I = 0; I < F->Blocks()->Count(); ++I) {
        const TXBlock B = F->Blocks()->Items(I);
        Out.insert(Out.end(), Image.begin() + B.Start, Image.begin() + B.Start + B.Length);
    }
    return Out;
}

// The numbers exiftool prints for a tag of the file, in order.
std::vector<Int64> ExifNumbers(const TTempDir& Dir, const char* File, const char* Tag)
{
    const fs::path Out = Dir.Path / "tag.txt";
    const std::string Cmd = "cd '" + Dir.Path.string() + "' && exiftool -s -s -s -n -" + Tag + " " + File + " > tag.txt 2>/dev/null";
    std::vector<Int64> Numbers;
    if (std::system(Cmd.c_str()) != 0)
        return Numbers;
    std::ifstream In(Out);
    Int64 V;
    while (In >> V)
        Numbers.push_back(V);
    return Numbers;
}

} // namespace

TEST(Carving, RealFilesAreFoundWhole)
{
    if (!HasTool("convert") || !HasTool("exiftool") || !HasTool("ffmpeg"))
        GTEST_SKIP() << "imagemagick, exiftool or ffmpeg missing";
    TTempDir Dir;
    const auto Plain = Make(Dir, "convert -size 320x200 gradient:navy-gold -quality 80 plain.jpg", "plain.jpg");
    const auto WithThumb = Make(Dir,
        "convert -size 640x480 plasma:fractal -seed 7 -quality 80 big.jpg && convert -size 160x120 gradient:red-blue small.jpg"
        " && exiftool -q -overwrite_original '-ThumbnailImage<=small.jpg' -Make=Test big.jpg", "big.jpg");
    const auto LittleTiff = Make(Dir, "convert -size 120x90 gradient:green-white -define tiff:endian=lsb -compress none le.tif", "le.tif");
    const auto BigTiff = Make(Dir, "convert -size 100x80 gradient:black-orange -define tiff:endian=msb -compress none be.tif", "be.tif");
    const auto Avi = Make(Dir, "ffmpeg -y -f lavfi -i testsrc=size=96x64:rate=5 -t 1 -c:v mpeg4 clip.avi", "clip.avi");
    const auto Mp4 = Make(Dir, "ffmpeg -y -f lavfi -i testsrc=size=96x64:rate=5 -t 1 -c:v mpeg4 clip.mp4", "clip.mp4");
    for (const auto* F : { &Plain, &WithThumb, &LittleTiff, &BigTiff, &Avi, &Mp4 })
        ASSERT_FALSE(F->empty());
    // The thumbnail really is there, as its own FF D8 inside the header.
    ASSERT_NE(std::search(WithThumb.begin() + 2, WithThumb.end(), Plain.begin(), Plain.begin() + 2), WithThumb.end());

    TImage Image;
    Image.Filler(3);
    const Int64 AtPlain = Image.Put(Plain);
    Image.Filler(2);
    const Int64 AtThumb = Image.Put(WithThumb);
    Image.Filler(1);
    const Int64 AtLe = Image.Put(LittleTiff);
    Image.Filler(4);
    const Int64 AtBe = Image.Put(BigTiff);
    Image.Filler(1);
    const Int64 AtAvi = Image.Put(Avi);
    Image.Filler(2);
    const Int64 AtMp4 = Image.Put(Mp4);
    Image.Filler(3);

    TScanResult R;
    Scan(Image.Bytes, R);

    const struct {
        Int64 At;
        const char16_t* Ext;
        const std::vector<Byte>* Original;
    } Whole[] = { { AtPlain, u".jpg", &Plain }, { AtThumb, u".jpg", &WithThumb }, { AtAvi, u".avi", &Avi },
                  { AtMp4, u".mp4", &Mp4 } };
    for (const auto& C : Whole) {
        SCOPED_TRACE(StringToUTF8(C.Ext) + " at " + std::to_string(C.At));
        TXDRFileItem* F = R.At(C.At, C.Ext);
        ASSERT_NE(F, nullptr);
        EXPECT_EQ(Carved(Image.Bytes, F), *C.Original);
        EXPECT_TRUE(HasStatus(F->Status, drScanValid));
    }
    // JPEGs: the picture's own size and a thumbnail inside 72 x 72.
    const struct { Int64 At; TXSize Size; } Jpegs[] = { { AtPlain, { 320, 200 } }, { AtThumb, { 640, 480 } } };
    for (const auto& J : Jpegs) {
        TXDRFileItem* F = R.At(J.At, u".jpg");
        ASSERT_NE(F, nullptr);
        EXPECT_EQ(F->ImageSize, J.Size);
        EXPECT_TRUE(HasStatus(F->Status, drThnValidated));
        TOwnedPtr<TGraphic> Thumb(F->Thumbnail()->ToGraphic());
        ASSERT_TRUE(Thumb);
        EXPECT_LE(Thumb->Width(), 72);
        EXPECT_LE(Thumb->Height(), 72);
        EXPECT_TRUE(Thumb->Width() == 72 || Thumb->Height() == 72);
    }
    // The embedded thumbnail does not end the big JPEG, and nothing inside
    // a carved JPEG is reported again.
    for (Integer I = 0; I < R.Files->Count(); ++I) {
        const Int64 Start = R.Files->Items(I)->Blocks()->Items(0).Start;
        EXPECT_FALSE(Start > AtThumb && Start < AtThumb + Int64(WithThumb.size())) << Start;
    }
    // TIFF: the file runs to the end of its furthest data (strips included),
    // never past the file.
    const struct { Int64 At; const std::vector<Byte>* Original; const char* Name; } Tiffs[] = {
        { AtLe, &LittleTiff, "le.tif" }, { AtBe, &BigTiff, "be.tif" } };
    for (const auto& T : Tiffs) {
        SCOPED_TRACE(T.Name);
        TXDRFileItem* F = R.At(T.At, u".tif");
        ASSERT_NE(F, nullptr);
        const auto Offsets = ExifNumbers(Dir, T.Name, "StripOffsets");
        const auto Counts = ExifNumbers(Dir, T.Name, "StripByteCounts");
        ASSERT_EQ(Offsets.size(), Counts.size());
        ASSERT_FALSE(Offsets.empty());
        Int64 StripEnd = 0;
        for (size_t K = 0; K < Offsets.size(); ++K)
            StripEnd = std::max(StripEnd, Offsets[K] + Counts[K]);
        EXPECT_GE(F->Size(), StripEnd);
        EXPECT_LE(F->Size(), Int64(T.Original->size()));
        const auto Bytes = Carved(Image.Bytes, F);
        EXPECT_TRUE(std::equal(Bytes.begin(), Bytes.end(), T.Original->begin()));
        // Plain TIFFs carry no preview: announced with a failed picture.
        EXPECT_TRUE(HasStatus(F->Status, drThnError));
    }

    // A second scan with the same collection announces nothing new.
    const Integer Before = R.Files->Count();
    Scan(Image.Bytes, R);
    EXPECT_EQ(R.Files->Count(), Before);
}

namespace {

// Answers of a carver over the bytes as the whole stream, hit at 0.
Int64 Carve(TClass Class, const std::vector<Byte>& Bytes, String* Ext = nullptr)
{
    TOwnedPtr<TBytesStream> Stream(New<TBytesStream>(Bytes));
    TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
    Search->Stream = Stream.get();
    TOwnedPtr<TXDRScanFormat> F(NewScanFormat(Class));
    const Int64 End = F->FindEnd(Search.get(), 0);
    if (Ext)
        *Ext = F->ExtensionText();
    return End;
}

struct TBytes {
    std::vector<Byte> B;
    bool Little = true;
    TBytes& U8(Byte V) { B.push_back(V); return *this; }
    TBytes& U16(Cardinal V) { return Little ? U8(Byte(V)).U8(Byte(V >> 8)) : U8(Byte(V >> 8)).U8(Byte(V)); }
    TBytes& U32(Cardinal V) { return Little ? U16(V & 0xFFFF).U16(V >> 16) : U16(V >> 16).U16(V & 0xFFFF); }
    TBytes& Text(const char* S) { while (*S) U8(Byte(*S++)); return *this; }
    TBytes& Entry(Cardinal Tag, Cardinal Type, Cardinal Count, Cardinal Value)
    {
        U16(Tag).U16(Type).U32(Count);
        if (Type == 3 && Count == 1)
            return U16(Value).U16(0);
        return U32(Value);
    }
    TBytes& Pad(size_t Size) { B.resize(std::max(B.size(), Size)); return *this; }
};

// A little-endian TIFF header with one IFD at 8 holding Entries, then the
// next-IFD offset Next, then padding to Size.
std::vector<Byte> Tiff(std::initializer_list<std::array<Cardinal, 4>> Entries, Cardinal Next, size_t Size, const char* Make = nullptr)
{
    TBytes T;
    T.Text("II").U16(42).U32(8).U16(Cardinal(Entries.size()));
    for (const auto& E : Entries)
        T.Entry(E[0], E[1], E[2], E[3]);
    T.U32(Next).Pad(Size);
    if (Make)
        std::copy(Make, Make + std::strlen(Make) + 1, T.B.begin() + 400);
    return T.B;
}

} // namespace

TEST(Carving, TiffRules)
{
    const struct {
        const char* Name;
        std::vector<Byte> Bytes;
        Int64 End;
        const char16_t* Ext;
    } Cases[] = {
        { "one strip", Tiff({ { 273, 4, 1, 600 }, { 279, 4, 1, 100 } }, 0, 1000), 699, u".tif" },
        { "canon make", Tiff({ { 271, 2, 6, 400 }, { 273, 4, 1, 600 }, { 279, 4, 1, 100 } }, 0, 1000, "Canon"), 699, u".cr2" },
        { "dng whatever the make", Tiff({ { 271, 2, 6, 400 }, { 273, 4, 1, 600 }, { 279, 4, 1, 100 }, { 50706, 1, 4, 0x01040000 } }, 0, 1000, "Canon"), 699, u".dng" },
        { "a100 fixed length cut at the stream's end", Tiff({ { 272, 2, 10, 400 }, { 330, 4, 1, 900 }, { 273, 4, 1, 600 }, { 279, 4, 1, 10 } }, 0, 1000, "DSLR-A100"), 999, u".arw" },
        { "strip past the end is not trusted", Tiff({ { 273, 4, 1, 600 }, { 279, 4, 1, 0x7FFFFFF0 }, { 282, 5, 1, 300 } }, 0, 1000), 307, u".tif" },
        { "offset and count lists of different lengths", Tiff({ { 273, 4, 3, 300 }, { 279, 4, 2, 320 } }, 0, 1000), 801, u".tif" },
        { "looping chain", Tiff({ { 273, 4, 1, 600 }, { 279, 4, 1, 50 } }, 8, 1000), 649, u".tif" },
        { "sub-IFD pointing to itself", Tiff({ { 330, 4, 1, 8 }, { 273, 4, 1, 600 }, { 279, 4, 1, 50 } }, 0, 1000), 649, u".tif" },
        { "IFD entry count past the end", Tiff({ }, 0, 16), -1, u".tif" },
        { "huge list count", Tiff({ { 273, 4, 0xFFFFFFFF, 100 }, { 279, 4, 1, 50 } }, 0, 1000), -1, u".tif" },
        { "next IFD past the end", Tiff({ { 273, 4, 1, 600 }, { 279, 4, 1, 50 } }, 0x7FFFFFFF, 1000), -1, u".tif" },
        { "truncated header", { 'I', 'I', 42, 0, 8 }, -1, u".tif" },
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto Bytes = C.Bytes;
        if (std::string(C.Name) == "offset and count lists of different lengths") {
            // Offsets 600, 700, 800 at 300; counts 2, 102 at 320.
            TBytes L;
            L.U32(600).U32(700).U32(800);
            std::copy(L.B.begin(), L.B.end(), Bytes.begin() + 300);
            TBytes M;
            M.U32(2).U32(102);
            std::copy(M.B.begin(), M.B.end(), Bytes.begin() + 320);
        }
        if (std::string(C.Name) == "IFD entry count past the end")
            Bytes[8] = 0xFF, Bytes[9] = 0xFF;
        String Ext;
        EXPECT_EQ(Carve(TXDRScanFormatTIF::StaticClass(), Bytes, &Ext), C.End);
        if (C.End >= 0)
            EXPECT_EQ(Ext, C.Ext);
    }
}

TEST(Carving, ContainerSizes)
{
    auto Riff = [](Cardinal Size, const char* Kind, size_t Total) {
        TBytes T;
        T.Text("RIFF").U32(Size).Text(Kind).Pad(Total);
        return T.B;
    };
    auto Atom = [](TBytes& T, Cardinal Size, const char* Type) -> TBytes& {
        T.Little = false;
        return T.U32(Size).Text(Type);
    };
    TBytes Mp4;
    Atom(Mp4, 24, "ftyp").Text("isommp41isom").Pad(24);
    Atom(Mp4, 16, "moov").Pad(40);
    Atom(Mp4, 20, "mdat").Pad(60);
    Atom(Mp4, 8, "junk").Pad(100);
    TBytes Mov = Mp4;
    std::copy_n("qt  qt  qt  ", 12, Mov.B.begin() + 8);
    TBytes Zero;
    Atom(Zero, 24, "ftyp").Text("qt  qt  qt  ").Pad(24);
    Atom(Zero, 0, "mdat").Pad(200);
    TBytes Past;
    Atom(Past, 24, "ftyp").Text("qt  qt  qt  ").Pad(24);
    Atom(Past, 0x7FFFFFFF, "mdat").Pad(100);
    TBytes Backwards;
    Atom(Backwards, 24, "ftyp").Text("qt  qt  qt  ").Pad(24);
    Atom(Backwards, 1, "mdat").U32(0xFFFFFFFF).U32(0xFFFFFF00).Pad(100);
    // An ftyp of the given size with brands, a "wide" atom when asked, and
    // 40 bytes of mdat before an atom no file is walked over.
    auto Movie = [&Atom](Cardinal FtypSize, bool Wide) {
        TBytes T;
        Atom(T, FtypSize, "ftyp").Text("qt  ").Pad(FtypSize);
        if (Wide)
            Atom(T, 8, "wide");
        Atom(T, 40, "mdat").Pad(T.B.size() + 32);
        return Atom(T, 8, "junk").B;
    };
    // ftyp and moov (40 bytes), then an atom whose size is below a header's
    // length: the file ends before it.
    auto Tiny = [&Atom](Cardinal Size, std::vector<Byte> After) {
        TBytes T;
        Atom(T, 24, "ftyp").Text("qt  qt  qt  ").Pad(24);
        Atom(T, 16, "moov").Pad(40);
        Atom(T, Size, "mdat");
        T.B.insert(T.B.end(), After.begin(), After.end());
        return T.B;
    };
    const std::vector<Byte> Filler(32, 0x55);
    TBytes Mrw;
    Mrw.Little = false;
    Mrw.U8(0).Text("MRM").U32(100).Pad(24).U16(10).U16(20).Pad(32).U8(12).Pad(500);
    TBytes MrwCut = Mrw;
    MrwCut.B.resize(150);

    const struct {
        const char* Name;
        TClass Class;
        std::vector<Byte> Bytes;
        Int64 End;
        const char16_t* Ext;
    } Cases[] = {
        { "avi", TXDRScanFormatAVI::StaticClass(), Riff(100, "AVI ", 200), 107, u".avi" },
        { "avi of size 0", TXDRScanFormatAVI::StaticClass(), Riff(0, "AVI ", 200), -1, nullptr },
        { "riff that is no avi", TXDRScanFormatAVI::StaticClass(), Riff(100, "WAVE", 200), -1, nullptr },
        { "avi cut by the end", TXDRScanFormatAVI::StaticClass(), Riff(0xFFFFFFFF, "AVI ", 200), 199, u".avi" },
        { "mp4 ends before an unknown atom", TXDRScanFormatMOV::StaticClass(), Mp4.B, 59, u".mp4" },
        { "mov brands", TXDRScanFormatMOV::StaticClass(), Mov.B, 59, u".mov" },
        { "atom of size 0 ends the file", TXDRScanFormatMOV::StaticClass(), Zero.B, 23, u".mov" },
        { "atom past the end is cut there", TXDRScanFormatMOV::StaticClass(), Past.B, 99, u".mov" },
        { "64-bit size with the top bit set", TXDRScanFormatMOV::StaticClass(), Backwards.B, 23, u".mov" },
        { "24-byte ftyp, wide, mdat", TXDRScanFormatMOV::StaticClass(), Movie(24, true), 24 + 8 + 40 - 1, u".mov" },
        { "28-byte ftyp, wide, mdat", TXDRScanFormatMOV::StaticClass(), Movie(28, true), 28 + 8 + 40 - 1, u".mov" },
        { "32-byte ftyp, wide, mdat", TXDRScanFormatMOV::StaticClass(), Movie(32, true), 32 + 8 + 40 - 1, u".mov" },
        { "32-byte ftyp, mdat", TXDRScanFormatMOV::StaticClass(), Movie(32, false), 32 + 40 - 1, u".mov" },
        { "20-byte ftyp has no signature", TXDRScanFormatMOV::StaticClass(), Movie(20, true), -1, nullptr },
        { "64-bit size 7 ends the file", TXDRScanFormatMOV::StaticClass(), Tiny(1, { 0, 0, 0, 0, 0, 0, 0, 7, 1, 2, 3, 4, 5, 6, 7, 8 }), 39, u".mov" },
        { "64-bit size 1 ends the file", TXDRScanFormatMOV::StaticClass(), Tiny(1, { 0, 0, 0, 0, 0, 0, 0, 1, 1, 2, 3, 4, 5, 6, 7, 8 }), 39, u".mov" },
        { "64-bit size cut by the end", TXDRScanFormatMOV::StaticClass(), Tiny(1, { 0, 0, 0 }), 39, u".mov" },
        { "64-bit size 24 is walked", TXDRScanFormatMOV::StaticClass(), Tiny(1, { 0, 0, 0, 0, 0, 0, 0, 24, 1, 2, 3, 4, 5, 6, 7, 8, 'j', 'u', 'n', 'k' }), 40 + 24 - 1, u".mov" },
        // 8-byte header block + 100 bytes of header data + (10 x 20 / 2) x 3.
        { "mrw of 12-bit samples", TXDRScanFormatMRW::StaticClass(), Mrw.B, 8 + 100 + 300 - 1, u".mrw" },
        { "mrw cut by the end", TXDRScanFormatMRW::StaticClass(), MrwCut.B, 149, u".mrw" },
        { "mrw header truncated", TXDRScanFormatMRW::StaticClass(), std::vector<Byte>(Mrw.B.begin(), Mrw.B.begin() + 20), -1, nullptr },
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        String Ext;
        EXPECT_EQ(Carve(C.Class, C.Bytes, &Ext), C.End);
        if (C.Ext)
            EXPECT_EQ(Ext, C.Ext);
    }
    for (Cardinal Size = 2; Size < 8; ++Size)
        EXPECT_EQ(Carve(TXDRScanFormatMOV::StaticClass(), Tiny(Size, Filler)), 39) << "atom size " << Size;
    // The picture block gives the sensor's height, then its width.
    TOwnedPtr<TBytesStream> Stream(New<TBytesStream>(Mrw.B));
    TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
    Search->Stream = Stream.get();
    TOwnedPtr<TXDRScanFormat> F(NewScanFormat(TXDRScanFormatMRW::StaticClass()));
    ASSERT_GE(F->FindEnd(Search.get(), 0), 0);
    EXPECT_EQ(F->Width, 20);
    EXPECT_EQ(F->Height, 10);
}

TEST(Carving, JpegSegmentWalk)
{
    auto Jpeg = [](Byte First, bool Thumbnail, bool Eoi) {
        TBytes T;
        T.Little = false;
        T.U8(0xFF).U8(0xD8).U8(0xFF).U8(First).U16(Thumbnail ? 14 : 6);
        if (Thumbnail)
            T.U8(0xFF).U8(0xD8).U8(1).U8(2).U8(3).U8(4).U8(5).U8(6).U8(7).U8(8).U8(0xFF).U8(0xD9);
        else
            T.Text("JFIF");
        T.U8(0xFF).U8(0xDA).U16(4).U16(0).Text("scan data").U8(0xFF);
        if (Eoi)
            T.U8(0xD9);
        return T.Pad(T.B.size() + 20).B;
    };
    const auto WithThumb = Jpeg(0xE1, true, true);
    auto Patched = [](std::vector<Byte> Bytes, size_t At, Byte Value) {
        Bytes[At] = Value;
        return Bytes;
    };
    const struct {
        const char* Name;
        std::vector<Byte> Bytes;
        Int64 End;
    } Cases[] = {
        { "plain", Jpeg(0xE0, false, true), 2 + 8 + 6 + 9 + 1 },
        { "thumbnail inside does not end it", WithThumb, 2 + 16 + 6 + 9 + 1 },
        { "first segment is no application segment", Jpeg(0xDB, false, true), -1 },
        { "no end of image", Jpeg(0xE0, false, false), -1 },
        { "a segment header without FF is no marker", Patched(Jpeg(0xE0, false, true), 10, 0x00), -1 },
        { "FF 00 is no marker", Patched(Jpeg(0xE0, false, true), 11, 0x00), -1 },
        { "truncated in the header", std::vector<Byte>(WithThumb.begin(), WithThumb.begin() + 12), -1 },
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        EXPECT_EQ(Carve(TXDRScanFormatJPG::StaticClass(), C.Bytes), C.End);
    }
}

TEST(Carving, SignatureTables)
{
    EXPECT_EQ(FormatOfSignature(1), 1);
    EXPECT_EQ(FormatOfSignature(3), 5);
    EXPECT_EQ(FormatOfSignature(9), 15);
    TXByteArrays Patterns;
    TXDRSignatureMap Map;
    BuildSignatures(Patterns, Map, (1u << 0) | (1u << 14));
    ASSERT_EQ(Patterns.size(), 2u);
    EXPECT_EQ(Patterns[1], (TXByteArray { 'R', 'I', 'F', 'F' }));
    TXDRSignatureMap Expected;
    Expected.fill(-1);
    Expected[0] = 0;
    Expected[6] = 1;
    EXPECT_EQ(Map, Expected);
    EXPECT_EQ(FormatClassOf(0x80 | 16), TXDRScanFormatMP4::StaticClass());
    EXPECT_EQ(FormatClassOf(40), TXDRScanFormatJPG::StaticClass());
    EXPECT_EQ(FormatClassOfExtension(u".ARW"), TXDRScanFormatARW::StaticClass());
    EXPECT_EQ(FormatClassOfExtension(u".gif"), nullptr);
    EXPECT_EQ(ExtensionCategory(u".MOV"), 2);
    EXPECT_EQ(ExtensionCategory(u".wav"), 3);
    EXPECT_EQ(ExtensionCategory(u".txt"), 0);
}

TEST(Carving, ScanFollowsRangesAndResumes)
{
    // A 100,000-byte AVI at sector 0 and a JPEG-like header in the second
    // range: the AVI is one block, the scan goes on inside it, and the hit in
    // the second range keeps its volume offset.
    TBytes Avi;
    Avi.Text("RIFF").U32(100000).Text("AVI ").Pad(120000);
    std::vector<Byte> Volume = Avi.B;
    Volume.resize(300000, 0x01);
    TOwnedPtr<TBytesStream> Stream(New<TBytesStream>(Volume));
    TOwnedPtr<TXBlocks> Blocks(New<TXBlocks>());
    Blocks->Add(0, 102400);
    Blocks->Add(200704, 4096);
    TScanResult R;
    TOwnedPtr<TXWorker> Worker(New<TXWorker>(IPtr<IInterface>()));
    Worker->Subscribe(TXDRFoundFileAspect::StaticClass(), TXNotificationHandler::Of<&TScanResult::Seen>(&R));
    TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
    Search->Worker = IPtr<IXWorker>(Worker.get());
    ScanBlocks(Search.get(), Stream.get(), Blocks.get(), R.Files.get());
    Search->Worker = nullptr;
    Worker->UnsubscribeMethod(TXNotificationHandler::Of<&TScanResult::Seen>(&R));
    ASSERT_EQ(R.Files->Count(), 1);
    TXDRFileItem* F = R.Files->Items(0);
    EXPECT_EQ(F->Extension, u".avi");
    ASSERT_EQ(F->Blocks()->Count(), 1);
    EXPECT_EQ(F->Blocks()->Items(0), (TXBlock { 0, 100008 }));
    EXPECT_TRUE(HasStatus(F->Status, drThnValidated));
    EXPECT_EQ(Search->Stream, nullptr);
}

namespace {

// Cancels the worker once a read reaches Limit.
class TCancellingStream : public TBytesStream {
    X_CLASS(TCancellingStream, TBytesStream)
public:
    TXWorker* Worker = nullptr;
    Int64 Limit = 0;
    Int64 Read(void* Buffer, Int64 Count) override
    {
        if (Position() + Count > Limit && !Worker->GetTerminated())
            Worker->Cancel();
        return inherited::Read(Buffer, Count);
    }
};
X_REGISTER_CLASS(TCancellingStream)

} // namespace

TEST(Carving, JpegAcrossARangeGapAndCancelledInItsData)
{
    if (!HasTool("convert"))
        GTEST_SKIP() << "imagemagick missing";
    TTempDir Dir;
    const auto Jpeg = Make(Dir, "convert -size 200x150 plasma:fractal -seed 3 -quality 70 a.jpg", "a.jpg");
    ASSERT_GT(Jpeg.size(), 4096u);
    // The JPEG starts at 8192 in the first range, which ends 2048 bytes into
    // it; the rest lies at 65536, where the second range starts.
    std::vector<Byte> Volume(65536 + Jpeg.size() + 4096, 0x01);
    std::copy(Jpeg.begin(), Jpeg.begin() + 2048, Volume.begin() + 8192);
    std::copy(Jpeg.begin() + 2048, Jpeg.end(), Volume.begin() + 65536);
    TOwnedPtr<TXBlocks> Blocks(New<TXBlocks>());
    Blocks->Add(0, 8192 + 2048);
    Blocks->Add(65536, Int64(Jpeg.size()) + 4096 - 2048);

    for (const bool Cancel : { false, true }) {
        SCOPED_TRACE(Cancel ? "cancelled" : "whole");
        TOwnedPtr<TCancellingStream> Stream(New<TCancellingStream>(Volume));
        TScanResult R;
        TOwnedPtr<TXWorker> Worker(New<TXWorker>(IPtr<IInterface>()));
        Stream->Worker = Worker.get();
        Stream->Limit = Cancel ? 65536 + 1000 : INT64_MAX;
        Worker->Subscribe(TXDRFoundFileAspect::StaticClass(), TXNotificationHandler::Of<&TScanResult::Seen>(&R));
        TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
        Search->Worker = IPtr<IXWorker>(Worker.get());
        ScanBlocks(Search.get(), Stream.get(), Blocks.get(), R.Files.get());
        Search->Worker = nullptr;
        Worker->UnsubscribeMethod(TXNotificationHandler::Of<&TScanResult::Seen>(&R));
        if (Cancel) {
            EXPECT_EQ(R.Files->Count(), 0);
            continue;
        }
        ASSERT_EQ(R.Files->Count(), 1);
        TXDRFileItem* F = R.Files->Items(0);
        ASSERT_EQ(F->Blocks()->Count(), 2);
        EXPECT_EQ(F->Blocks()->Items(0), (TXBlock { 8192, 2048 }));
        EXPECT_EQ(Carved(Volume, F), Jpeg);
    }
}
