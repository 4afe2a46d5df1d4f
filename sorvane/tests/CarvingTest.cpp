// The signature scan over real files made by imagemagick, exiftool and
// ffmpeg, hidden at sector starts inside seeded random filler, and the
// carvers on damaged input.
#include "rtl/Streams.h"
#include "sorvane/XCore.Engine.WorkerProgress.h"
#include "sorvane/XCore.Search.h"
#include "sorvane/XDR.Work.P.h"
#include "sorvane/XDR.Work.S.h"
#include "gdi/JpegImage.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include "CarvingSupport.h"
#include <pthread.h>

using namespace CarvingTest;

TEST(Carving, RealFilesAreFoundWhole)
{
    if (!HaveTool("convert") || !HaveTool("exiftool") || !HaveTool("ffmpeg"))
        GTEST_SKIP() << "imagemagick, exiftool or ffmpeg missing";
    TTempFolder Dir;
    const struct {
        const char* Name;
        TSteps Command;
        const char16_t* Ext;
    } Made[] = {
        { "plain.jpg", { { "convert", "-size", "320x200", "gradient:navy-gold", "-quality", "80", "plain.jpg" } },
            u".jpg" },
        { "big.jpg",
            { { "convert", "-size", "640x480", "plasma:fractal", "-seed", "7", "-quality", "80", "big.jpg" },
                { "convert", "-size", "160x120", "gradient:red-blue", "small.jpg" },
                { "exiftool", "-q", "-overwrite_original", "-ThumbnailImage<=small.jpg", "-Make=Test", "big.jpg" } },
            u".jpg" },
        { "le.tif",
            { { "convert", "-size", "120x90", "gradient:green-white", "-define", "tiff:endian=lsb", "-compress", "none",
                "le.tif" } },
            u".tif" },
        { "be.tif",
            { { "convert", "-size", "100x80", "gradient:black-orange", "-define", "tiff:endian=msb", "-compress",
                "none", "be.tif" } },
            u".tif" },
        // The directory comes after the strip, and last.
        { "strip.tif",
            { { "convert", "-size", "64x64", "xc:gray", "-depth", "8", "-strip", "-compress", "none", "strip.tif" } },
            u".tif" },
        // The description's text comes last.
        { "described.tif",
            { { "convert", "-size", "64x64", "xc:gray", "-depth", "8", "-compress", "none", "-set", "comment",
                "another comment", "described.tif" } },
            u".tif" },
        { "tiled.tif",
            { { "convert", "-size", "300x200", "gradient:red-blue", "-define", "tiff:tile-geometry=64x64", "-compress",
                "none", "tiled.tif" } },
            u".tif" },
        { "pages.tif",
            { { "convert", "-size", "50x40", "xc:red", "xc:blue", "xc:green", "-compress", "none", "pages.tif" } },
            u".tif" },
        // A fixed picture in uncompressed strips: exiftool pads an odd-length
        // piece with a byte that nothing points at, which no carver can find.
        { "strips.tif",
            { { "convert", "-seed", "3", "-size", "300x200", "plasma:", "-define", "tiff:rows-per-strip=16",
                  "-compress", "none", "strips.tif" },
                { "exiftool", "-q", "-overwrite_original", "-Make=NIKON", "-Model=D70", "strips.tif" } },
            u".nef" },
        { "clip.avi",
            { { "ffmpeg", "-y", "-f", "lavfi", "-i", "testsrc=size=96x64:rate=5", "-t", "1", "-c:v", "mpeg4",
                "clip.avi" } },
            u".avi" },
        { "clip.mp4",
            { { "ffmpeg", "-y", "-f", "lavfi", "-i", "testsrc=size=96x64:rate=5", "-t", "1", "-c:v", "mpeg4",
                "clip.mp4" } },
            u".mp4" },
    };
    std::vector<std::vector<Byte>> Originals;
    std::vector<Int64> Starts;
    TImage Image;
    for (const auto& M : Made) {
        Originals.push_back(Make(Dir, M.Command, M.Name));
        ASSERT_FALSE(Originals.back().empty()) << M.Name;
        Image.Filler(1 + Int64(Starts.size()) % 3);
        Starts.push_back(Image.Put(Originals.back()));
    }
    Image.Filler(3);
    const auto& Plain = Originals[0];
    const auto& WithThumb = Originals[1];
    const Int64 AtPlain = Starts[0], AtThumb = Starts[1];
    // The thumbnail really is there, as its own FF D8 inside the header.
    ASSERT_NE(std::search(WithThumb.begin() + 2, WithThumb.end(), Plain.begin(), Plain.begin() + 2), WithThumb.end());

    TScanResult R;
    Scan(Image.Bytes, R);

    // Every file byte for byte: not a byte missing, not one more.
    for (size_t K = 0; K < std::size(Made); ++K) {
        SCOPED_TRACE(Made[K].Name);
        TXDRFileItem* F = R.At(Starts[K], Made[K].Ext);
        ASSERT_NE(F, nullptr);
        EXPECT_EQ(Carved(Image.Bytes, F), Originals[K]);
        EXPECT_TRUE(HasStatus(F->Status, drScanValid));
        // TIFFs without a picture are announced with a failed one.
        if (Made[K].Ext != std::u16string_view(u".jpg") && Made[K].Ext != std::u16string_view(u".avi") &&
            Made[K].Ext != std::u16string_view(u".mp4"))
            EXPECT_TRUE(HasStatus(F->Status, drThnError));
    }
    // JPEGs: the picture's own size and a thumbnail inside 72 x 72.
    const struct {
        Int64 At;
        TXSize Size;
    } Jpegs[] = { { AtPlain, { 320, 200 } }, { AtThumb, { 640, 480 } } };
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

    // A second scan with the same collection announces nothing new.
    const Integer Before = R.Files->Count();
    Scan(Image.Bytes, R);
    EXPECT_EQ(R.Files->Count(), Before);
}

TEST(Carving, TiffRules)
{
    const struct {
        const char* Name;
        std::vector<Byte> Bytes;
        Int64 End;
        const char16_t* Ext;
    } Cases[] = {
        { "one strip", Tiff({ { 273, 4, 1, 600 }, { 279, 4, 1, 100 } }, 0, 1000), 699, u".tif" },
        { "canon make", Tiff({ { 271, 2, 6, 400 }, { 273, 4, 1, 600 }, { 279, 4, 1, 100 } }, 0, 1000, "Canon"), 699,
            u".cr2" },
        { "dng whatever the make",
            Tiff({ { 271, 2, 6, 400 }, { 273, 4, 1, 600 }, { 279, 4, 1, 100 }, { 50706, 1, 4, 0x01040000 } }, 0, 1000,
                "Canon"),
            699, u".dng" },
        { "a100 fixed length cut at the stream's end",
            Tiff({ { 272, 2, 10, 400 }, { 330, 4, 1, 900 }, { 273, 4, 1, 600 }, { 279, 4, 1, 10 } }, 0, 1000,
                "DSLR-A100"),
            999, u".arw" },
        { "strip past the end is not trusted",
            Tiff({ { 273, 4, 1, 600 }, { 279, 4, 1, 0x7FFFFFF0 }, { 282, 5, 1, 300 } }, 0, 1000), 307, u".tif" },
        { "offset and count lists of different lengths", Tiff({ { 273, 4, 3, 300 }, { 279, 4, 2, 320 } }, 0, 1000), 801,
            u".tif" },
        { "looping chain", Tiff({ { 273, 4, 1, 600 }, { 279, 4, 1, 50 } }, 8, 1000), 649, u".tif" },
        { "sub-IFD pointing to itself", Tiff({ { 330, 4, 1, 8 }, { 273, 4, 1, 600 }, { 279, 4, 1, 50 } }, 0, 1000), 649,
            u".tif" },
        { "IFD entry count past the end", Tiff({}, 0, 16), -1, u".tif" },
        { "huge list count", Tiff({ { 273, 4, 0xFFFFFFFF, 100 }, { 279, 4, 1, 50 } }, 0, 1000), -1, u".tif" },
        { "next IFD past the end", Tiff({ { 273, 4, 1, 600 }, { 279, 4, 1, 50 } }, 0x7FFFFFFF, 1000), -1, u".tif" },
        { "truncated header", { 'I', 'I', 42, 0, 8 }, -1, u".tif" },
        // Whatever the file's pieces are, it ends with the last of them.
        { "directory after its strip", TiffOf(208, 1000, { { 208, Ifd({ { 273, 4, 1, 8 }, { 279, 4, 1, 200 } }) } }),
            208 + 2 + 24 + 4 - 1, u".tif" },
        { "offset and count arrays last",
            TiffOf(8, 1000,
                { { 8, Ifd({ { 273, 4, 2, 900 }, { 279, 4, 2, 908 } }) }, { 900, Longs({ 100, 200 }) },
                    { 908, Longs({ 50, 50 }) } }),
            915, u".tif" },
        { "sub-IFD array last",
            TiffOf(8, 1000,
                { { 8, Ifd({ { 273, 4, 1, 100 }, { 279, 4, 1, 10 }, { 330, 4, 2, 990 } }) },
                    { 500, Ifd({ { 273, 4, 1, 300 }, { 279, 4, 1, 10 } }) }, { 600, Ifd({}) },
                    { 990, Longs({ 500, 600 }) } }),
            997, u".tif" },
        { "nef whose Exif IFD comes last",
            TiffOf(8, 1000,
                { { 8, Ifd({ { 271, 2, 6, 400 }, { 273, 4, 1, 100 }, { 279, 4, 1, 50 }, { 34665, 4, 1, 980 } }) },
                    { 400, Chars("NIKON") }, { 980, Ifd({ { 36864, 7, 4, 0x30333230 } }) } }),
            997, u".nef" },
        { "a text ends with its closing zero",
            TiffOf(8, 1010,
                { { 8, Ifd({ { 270, 2, 16, 984 }, { 273, 4, 1, 100 }, { 279, 4, 1, 50 } }) },
                    { 984, Chars("another comment") } }),
            999, u".tif" },
        { "a text ending at the stream's end",
            TiffOf(8, 1000,
                { { 8, Ifd({ { 270, 2, 16, 984 }, { 273, 4, 1, 100 }, { 279, 4, 1, 50 } }) },
                    { 984, Chars("another comment") } }),
            999, u".tif" },
        { "last strip ending at the stream's end", Tiff({ { 273, 4, 1, 600 }, { 279, 4, 1, 400 } }, 0, 1000), 999,
            u".tif" },
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

TEST(Carving, TiffWalkReadsEachListOnceWithinOneBudget)
{
    // One IFD of 64 entries that each claim a list of 2^19 elements, all
    // at the same place after the IFD: offsets with their byte counts, or
    // sub-IFD lists (whose elements point back to the IFD). However many
    // entries claim lists, the walk reads about as much as the file holds.
    constexpr Cardinal Entries = 64, Elements = 1 << 19;
    constexpr Cardinal ListAt = 8 + 2 + 12 * (Entries + 1) + 4;
    auto Claiming = [](Cardinal Tag) {
        TBytes T;
        T.Text("II").U16(42).U32(8).U16(Entries + 1);
        for (Cardinal I = 0; I < Entries; ++I)
            T.Entry(Tag, 4, Elements, ListAt);
        T.Entry(279, 4, Elements, ListAt).U32(0);
        for (Cardinal I = 0; I < Elements; ++I)
            T.U32(8);
        return T.B;
    };
    const struct {
        const char* Name;
        std::vector<Byte> Bytes;
        bool Carved;
    } Cases[] = {
        { "offset lists", Claiming(273), true },
        { "sub-IFD lists", Claiming(330), false }, // more elements than one file may have
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TOwnedPtr<TCountingStream> Stream(New<TCountingStream>(C.Bytes));
        TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
        Search->Stream = Stream.get();
        TOwnedPtr<TXDRScanFormat> F(NewScanFormat(TXDRScanFormatTIF::StaticClass()));
        const Int64 End = F->FindEnd(Search.get(), 0);
        EXPECT_EQ(End, C.Carved ? Int64(C.Bytes.size()) - 1 : -1);
        EXPECT_LE(Stream->BytesRead, 3 * Int64(C.Bytes.size()));
        Search->Stream = nullptr;
    }
}

TEST(Carving, DeeplyNestedSubIfdsNeedNoStack)
{
    // 4,000 IFDs, each the only sub-IFD of the one before, walked on a
    // thread with a small stack.
    constexpr Cardinal Levels = 4000, IfdSize = 2 + 12 + 4;
    TBytes T;
    T.Text("II").U16(42).U32(8);
    for (Cardinal K = 0; K < Levels; ++K) {
        const Cardinal Sub = 8 + IfdSize * std::min(K + 1, Levels - 1);
        T.U16(1).Entry(330, 4, 1, Sub).U32(0);
    }
    struct TRun {
        const std::vector<Byte>* Bytes;
        Int64 End = 0;
    } Run { &T.B };
    pthread_attr_t Attr;
    pthread_attr_init(&Attr);
    pthread_attr_setstacksize(&Attr, 256 * 1024);
    pthread_t Thread;
    ASSERT_EQ(pthread_create(
                  &Thread, &Attr,
                  [](void* P) -> void* {
                      auto* R = static_cast<TRun*>(P);
                      R->End = Carve(TXDRScanFormatTIF::StaticClass(), *R->Bytes);
                      return nullptr;
                  },
                  &Run),
        0);
    pthread_join(Thread, nullptr);
    pthread_attr_destroy(&Attr);
    EXPECT_EQ(Run.End, Int64(T.B.size()) - 1);
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
    // A 24-byte ftyp of the given 12 bytes of brands, then moov and mdat.
    auto Brand = [&Atom](const std::string& Brands) {
        TBytes T;
        Atom(T, 24, "ftyp");
        T.B.insert(T.B.end(), Brands.begin(), Brands.end());
        Atom(T.Pad(24), 16, "moov").Pad(40);
        return Atom(T, 20, "mdat").Pad(60).B;
    };
    // Atoms without ftyp: 8-byte ones, the last 40 bytes, then junk.
    auto Leading = [&Atom](std::initializer_list<const char*> Types) {
        TBytes T;
        size_t Left = Types.size();
        for (const char* Type : Types) {
            const bool Last = --Left == 0;
            Atom(T, Last ? 40 : 8, Type).Pad(T.B.size() + (Last ? 32 : 0));
        }
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
        { "20-byte ftyp (ffmpeg's mov)", TXDRScanFormatMOV::StaticClass(), Movie(20, true), 20 + 8 + 40 - 1, u".mov" },
        { "16-byte ftyp", TXDRScanFormatMOV::StaticClass(), Movie(16, false), 16 + 40 - 1, u".mov" },
        { "12-byte ftyp holds no brand list", TXDRScanFormatMOV::StaticClass(), Movie(12, true), -1, nullptr },
        { "ftyp of an unknown brand", TXDRScanFormatMOV::StaticClass(), Brand("abcdabcdabcd"), -1, nullptr },
        { "known compatible brand", TXDRScanFormatMOV::StaticClass(), Brand(std::string("abcd\0\0\0\0isom", 12)), 59, u".mov" },
        { "leading wide, then mdat", TXDRScanFormatMOV::StaticClass(), Leading({ "wide", "mdat" }), 8 + 40 - 1,
            u".mov" },
        { "leading free, moov, skip, mdat", TXDRScanFormatMOV::StaticClass(),
            Leading({ "free", "moov", "skip", "mdat" }), 8 + 8 + 8 + 40 - 1, u".mov" },
        { "a movie's header alone is its tail", TXDRScanFormatMOV::StaticClass(), Leading({ "moov", "free" }), -1,
            nullptr },
        { "leading mdat", TXDRScanFormatMOV::StaticClass(), Leading({ "mdat" }), 40 - 1, u".mov" },
        { "padding atoms only", TXDRScanFormatMOV::StaticClass(), Leading({ "free", "wide", "skip" }), -1, nullptr },
        { "64-bit size 7 ends the file", TXDRScanFormatMOV::StaticClass(),
            Tiny(1, { 0, 0, 0, 0, 0, 0, 0, 7, 1, 2, 3, 4, 5, 6, 7, 8 }), 39, u".mov" },
        { "64-bit size 1 ends the file", TXDRScanFormatMOV::StaticClass(),
            Tiny(1, { 0, 0, 0, 0, 0, 0, 0, 1, 1, 2, 3, 4, 5, 6, 7, 8 }), 39, u".mov" },
        { "64-bit size cut by the end", TXDRScanFormatMOV::StaticClass(), Tiny(1, { 0, 0, 0 }), 39, u".mov" },
        { "64-bit size 24 is walked", TXDRScanFormatMOV::StaticClass(),
            Tiny(1, { 0, 0, 0, 0, 0, 0, 0, 24, 1, 2, 3, 4, 5, 6, 7, 8, 'j', 'u', 'n', 'k' }), 40 + 24 - 1, u".mov" },
        // 8-byte header block + 100 bytes of header data + (10 x 20 / 2) x 3.
        { "mrw of 12-bit samples", TXDRScanFormatMRW::StaticClass(), Mrw.B, 8 + 100 + 300 - 1, u".mrw" },
        { "mrw cut by the end", TXDRScanFormatMRW::StaticClass(), MrwCut.B, 149, u".mrw" },
        { "mrw header truncated", TXDRScanFormatMRW::StaticClass(),
            std::vector<Byte>(Mrw.B.begin(), Mrw.B.begin() + 20), -1, nullptr },
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
    TXByteArrays Masks;
    BuildSignatures(Patterns, Masks, Map, (1u << 0) | (1u << 14));
    ASSERT_EQ(Patterns.size(), 2u);
    EXPECT_EQ(Patterns[1], (TXByteArray { 'R', 'I', 'F', 'F' }));
    EXPECT_EQ(Masks, TXByteArrays(2));
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
    if (!HaveTool("convert"))
        GTEST_SKIP() << "imagemagick missing";
    TTempFolder Dir;
    const auto Jpeg = Make(Dir,
        { { "convert", "-size", "200x150", "plasma:fractal", "-seed", "3", "-quality", "70", "a.jpg" } }, "a.jpg");
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
