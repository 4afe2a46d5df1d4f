#include "GdiTestSupport.h"
#include "gdi/Icon.h"
#include "gdi/PngImage.h"
#include <cstdlib>
#include <fstream>
#include <functional>
#include <zlib.h>

using namespace GdiTest;

namespace {

RawBytes MakePng(const std::string& Args)
{
    TempDir Dir;
    // A format prefix ("PNG8:") joins the file name.
    Convert(Args + (Args.back() == ':' ? "'" : " '") + Dir / "x.png" + "'");
    return ReadBytes(Dir / "x.png");
}

RawBytes SavePng(TPngImage* Png)
{
    auto S = MakeOwned<TMemoryStream>();
    Png->SaveToStream(S.get());
    return BytesOf(S.get());
}

TOwnedPtr<TBitmap> PixelsOf(TPngImage* Png)
{
    auto Bmp = MakeOwned<TBitmap>();
    Bmp->Assign(Png);
    return Bmp;
}

// A picture made by our own encoder, so the damage cases need no tool.
RawBytes OurPng()
{
    auto Bmp = MakeOwned<TBitmap>();
    Bmp->SetSize(20, 10);
    for (Integer Y = 0; Y < 10; ++Y)
        Bmp->FillRect(Rect(0, Y, 20, Y + 1), RGB(Byte(Y * 20), 50, 100));
    auto Png = MakeOwned<TPngImage>();
    Png->Assign(Bmp.get());
    return SavePng(Png.get());
}

void PutU32BE(RawBytes& B, size_t At, Cardinal V)
{
    for (int I = 0; I < 4; ++I)
        B[At + I] = char(V >> (24 - 8 * I));
}

// Sets the header's size and fixes its checksum, so only the size is wrong.
RawBytes WithSize(RawBytes B, Cardinal W, Cardinal H)
{
    PutU32BE(B, 16, W);
    PutU32BE(B, 20, H);
    PutU32BE(B, 29, Cardinal(crc32(0, reinterpret_cast<const Bytef*>(B.data() + 12), 17)));
    return B;
}

// A chunk with its length and checksum.
RawBytes Chunk(const std::string& Type, const RawBytes& Data)
{
    RawBytes C(8, '\0');
    PutU32BE(C, 0, Cardinal(Data.size()));
    C.replace(4, 4, Type);
    C += Data;
    C += RawBytes(4, '\0');
    PutU32BE(C, C.size() - 4, Cardinal(crc32(0, reinterpret_cast<const Bytef*>(C.data() + 4), uInt(4 + Data.size()))));
    return C;
}

// Signature and header of the picture, Extra, then the rest.
RawBytes WithChunkAfterHeader(const RawBytes& Png, const RawBytes& Extra)
{
    return Png.substr(0, 33) + Extra + Png.substr(33);
}

} // namespace

TEST(PngImage, ImageMagickPicturesOfEveryKindDecode)
{
    REQUIRE_CONVERT();
    struct Case {
        const char* Name;
        const char* Args;
        bool Alpha;
        int R, G, B, A;
    } Cases[] = {
        { "RGB", "-size 9x5 xc:'rgb(200,40,90)' PNG24:", false, 200, 40, 90, -1 },
        { "RGBA", "-size 9x5 xc:'rgba(200,40,90,0.6)' PNG32:", true, 200, 40, 90, 153 },
        { "palette", "-size 9x5 xc:'rgb(200,40,90)' -type Palette PNG8:", false, 200, 40, 90, -1 },
        { "palette with transparency",
            "-size 9x5 xc:'rgb(200,40,90)' -alpha set -fill none -draw 'matte 8,4 point' PNG8:", true, 200, 40, 90,
            255 },
        { "grey", "-size 9x5 xc:'rgb(77,77,77)' -type Grayscale", false, 77, 77, 77, -1 },
        { "grey with alpha", "-size 9x5 xc:'rgba(77,77,77,0.2)' -type GrayscaleAlpha", true, 77, 77, 77, 51 },
        { "16-bit", "-size 9x5 xc:'rgb(200,40,90)' -depth 16 PNG48:", false, 200, 40, 90, -1 },
        { "interlaced", "-size 9x5 xc:'rgb(200,40,90)' -interlace PNG PNG24:", false, 200, 40, 90, -1 },
    };
    for (const Case& C : Cases) {
        auto Png = MakeOwned<TPngImage>();
        Png->LoadFromStream(StreamOf(MakePng(C.Args)).get());
        EXPECT_EQ(Png->Width(), 9) << C.Name;
        EXPECT_EQ(Png->Height(), 5) << C.Name;
        EXPECT_EQ(Png->HasAlpha(), C.Alpha) << C.Name;
        auto Bmp = PixelsOf(Png.get());
        EXPECT_EQ(Bmp->PixelFormat(), C.Alpha ? pf32bit : pf24bit) << C.Name;
        TPixel P = PixelAt(Bmp.get(), 3, 2);
        EXPECT_TRUE(Near(P, C.R, C.G, C.B, 1)) << C.Name;
        EXPECT_NEAR(P.A, C.A, 1) << C.Name;
    }
}

TEST(PngImage, SavedPicturesAreReadByImageMagickWithTheirAlpha)
{
    REQUIRE_CONVERT();
    TempDir Dir;
    auto Bmp = MakeOwned<TBitmap>();
    Bmp->SetPixelFormat(pf32bit);
    Bmp->SetSize(6, 4);
    Bmp->Fill(RGB(10, 120, 250));
    Bmp->ScanLine(1)[2 * 4 + 3] = 128;
    auto Png = MakeOwned<TPngImage>();
    Png->Assign(Bmp.get());
    EXPECT_TRUE(Png->HasAlpha());
    Png->SaveToFile(Path(Dir / "alpha.png"));
    EXPECT_EQ(Convert("'" + Dir / "alpha.png" +
                  "' -format '%w %h %[channels] %[fx:int(255*p{2,1}.a+0.5)] %[fx:int(255*p{0,0}.a+0.5)] "
                  "%[fx:int(255*p{2,1}.b+0.5)]' info:"),
        "6 4 srgba 128 0 250");
    // A 32-bit bitmap whose fourth bytes are all 0 carries no alpha.
    Bmp->ScanLine(1)[2 * 4 + 3] = 0;
    Png->Assign(Bmp.get());
    EXPECT_FALSE(Png->HasAlpha());
    Png->SaveToFile(Path(Dir / "opaque.png"));
    EXPECT_EQ(Convert("'" + Dir / "opaque.png" + "' -format '%[channels] %[fx:int(255*p{2,1}.g+0.5)]' info:"),
        "srgb 120");
}

TEST(PngImage, RoundTripAndConsecutivePicturesInOneStream)
{
    const RawBytes Bytes = OurPng();
    auto S = StreamOf(Bytes + Bytes + "tail");
    auto First = MakeOwned<TPngImage>();
    First->LoadFromStream(S.get());
    EXPECT_EQ(S->Position(), Int64(Bytes.size()));
    auto Second = MakeOwned<TPngImage>();
    Second->LoadFromStream(S.get());
    EXPECT_EQ(Second->Width(), 20);
    EXPECT_EQ(PixelsOf(Second.get())->Pixel(7, 9), RGB(180, 50, 100));
}

TEST(PngImage, DamagedDataRaisesAndLeavesThePicture)
{
    const RawBytes Good = OurPng();
    RawBytes BadCrc = Good;
    BadCrc[30] ^= 1;
    RawBytes BadData = Good;
    size_t Idat = BadData.find("IDAT");
    ASSERT_NE(Idat, RawBytes::npos);
    BadData[Idat + 8] ^= 0x55;
    struct Case {
        const char* Name;
        RawBytes Bytes;
    } Cases[] = {
        { "empty", "" },
        { "not a PNG", "GIF89a and more bytes than a signature" },
        { "signature only", Good.substr(0, 8) },
        { "cut in the pixels", Good.substr(0, Good.size() - 20) },
        { "header checksum", BadCrc },
        { "pixel data", BadData },
        { "zero width", WithSize(Good, 0, 10) },
        { "beyond the side cap", WithSize(Good, 70000, 1) },
        { "beyond the pixel cap", WithSize(Good, 20000, 20000) },
    };
    auto Png = MakeOwned<TPngImage>();
    Png->LoadFromStream(StreamOf(Good).get());
    for (const Case& C : Cases) {
        EXPECT_THROW(Png->LoadFromStream(StreamOf(C.Bytes).get()), EInvalidGraphic) << C.Name;
        EXPECT_EQ(Png->Width(), 20) << C.Name;
    }
}

TEST(PngImage, DrawBlendsByAlpha)
{
    auto Src = MakeOwned<TBitmap>();
    Src->SetPixelFormat(pf32bit);
    Src->SetSize(2, 2);
    Src->Fill(clRed);
    for (Integer Y = 0; Y < 2; ++Y)
        for (Integer X = 0; X < 2; ++X)
            Src->ScanLine(Y)[X * 4 + 3] = X == 0 ? 255 : 51;
    auto Png = MakeOwned<TPngImage>();
    Png->Assign(Src.get());
    auto Dst = MakeOwned<TBitmap>();
    Dst->SetSize(4, 2);
    Dst->Fill(clWhite);
    Png->Draw(Dst.get(), Rect(-1, 0, 3, 2));
    EXPECT_EQ(Dst->Pixel(0, 0), clRed);
    EXPECT_EQ(Dst->Pixel(1, 1), RGB(255, 204, 204));
    EXPECT_EQ(Dst->Pixel(3, 0), clWhite);
}

TEST(PngImage, ChunkLongerThanTheDataFailsBeforeItIsAllocated)
{
    // A 1x1 header, then a text chunk that declares 1.5 GiB and holds none.
    const RawBytes Bomb = WithSize(OurPng(), 1, 1).substr(0, 33) + RawBytes("\x60\x00\x00\x00tEXt", 8);
    ASSERT_EQ(Bomb.size(), 41u);
    // In a child of its own, whose peak memory starts at what it shares.
    EXPECT_EXIT(
        {
            const long Before = Testing::PeakResidentKiB();
            bool Refused = false;
            try {
                MakeOwned<TPngImage>()->LoadFromStream(StreamOf(Bomb).get());
            } catch (const EPNGError&) {
                Refused = true;
            }
            const long Grown = Testing::PeakResidentKiB() - Before;
            std::_Exit(Refused && Before > 0 && Grown < 64 * 1024 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(PngImage, MetadataChunksAreSkippedWhateverTheirSize)
{
    const RawBytes Good = OurPng();
    struct Case {
        const char* Name;
        RawBytes Bytes;
    } Cases[] = {
        // Longer than anything libpng may allocate at once, and present.
        { "9 MiB text",
            WithChunkAfterHeader(Good, Chunk("tEXt", "Comment" + RawBytes(1, '\0') + RawBytes(9 << 20, 'x'))) },
        { "damaged profile", WithChunkAfterHeader(Good, Chunk("iCCP", "icc" + RawBytes(2, '\0') + "not zlib")) },
    };
    for (const Case& C : Cases) {
        auto Png = MakeOwned<TPngImage>();
        ASSERT_NO_THROW(Png->LoadFromStream(StreamOf(C.Bytes).get())) << C.Name;
        EXPECT_EQ(PixelsOf(Png.get())->Pixel(7, 9), RGB(180, 50, 100)) << C.Name;
    }
}

namespace {

// Pixels of the picture as R, G, B, A bytes (255 without an alpha line),
// the order ImageMagick writes "rgba:".
std::string RgbaOf(const TPngImage* Png)
{
    std::string Out;
    for (Integer Y = 0; Y < Png->Height(); ++Y) {
        const Byte* P = Png->Scanline(Y);
        const Byte* A = Png->AlphaScanline(Y);
        for (Integer X = 0; X < Png->Width(); ++X, P += 3)
            Out += { char(P[2]), char(P[1]), char(P[0]), char(A ? A[X] : 255) };
    }
    return Out;
}

// ImageMagick's 16-bit samples (little-endian) rounded to 8 bits. Its own
// "-depth 8" truncates some 16-bit values instead of rounding them.
std::string ImageMagickRgba(const Testing::TTempFolder& Dir, const std::string& File)
{
    const auto R = Testing::RunTool({ "convert", File, "-depth", "16", "rgba:-" }, Dir.Path());
    EXPECT_EQ(R.ExitCode, 0);
    std::string Out;
    for (size_t I = 0; I + 1 < R.Output.size(); I += 2) {
        const unsigned V = Byte(R.Output[I]) | unsigned(Byte(R.Output[I + 1])) << 8;
        Out += char((V * 255 + 32767) / 65535);
    }
    return Out;
}

} // namespace

TEST(PngImage, ColourTypesLoadAsMadeAndSaveInTheirOwnType)
{
    if (!Testing::HaveTool("convert"))
        GTEST_SKIP() << "ImageMagick is not installed";
    Testing::TTempFolder Dir;
    struct Case {
        const char* Name;
        std::vector<std::string> Args;
        Byte ColorType, BitDepth;
        TPNGTransparencyMode Mode;
    } Cases[] = {
        { "palette+tRNS",
            { "-size", "7x5", "gradient:red-blue", "-fill", "rgb(10,20,30)", "-draw", "point 1,1", "-transparent",
                "rgb(10,20,30)", "PNG8:x.png" },
            COLOR_PALETTE, 8, ptmBit },
        { "grey", { "-size", "7x5", "gradient:", "-type", "Grayscale", "-depth", "8", "PNG:x.png" }, COLOR_GRAYSCALE, 8,
            ptmNone },
        { "grey+alpha",
            { "-size", "7x5", "gradient:", "-type", "GrayscaleAlpha", "-channel", "A", "-fx", "i/w", "-depth", "8",
                "PNG:x.png" },
            COLOR_GRAYSCALEALPHA, 8, ptmPartial },
        { "RGB+tRNS",
            { "-size", "7x5", "gradient:red-blue", "-fill", "rgb(10,20,30)", "-draw", "point 1,1", "-transparent",
                "rgb(10,20,30)", "PNG24:x.png" },
            COLOR_RGB, 8, ptmBit },
        { "RGBA",
            { "-size", "7x5", "gradient:red-blue", "-alpha", "set", "-channel", "A", "-fx", "i/w", "PNG32:x.png" },
            COLOR_RGBALPHA, 8, ptmPartial },
        { "16-bit", { "-size", "7x5", "gradient:red-blue", "-depth", "16", "PNG48:x.png" }, COLOR_RGB, 16, ptmNone },
    };
    for (const Case& C : Cases) {
        std::vector<std::string> Argv { "convert" };
        Argv.insert(Argv.end(), C.Args.begin(), C.Args.end());
        ASSERT_EQ(Testing::RunTool(Argv, Dir.Path()).ExitCode, 0) << C.Name;
        auto Png = MakeOwned<TPngImage>();
        Png->LoadFromFile(Dir.File("x.png"));
        EXPECT_EQ(Png->ColorType(), C.ColorType) << C.Name;
        EXPECT_EQ(Png->BitDepth(), C.BitDepth) << C.Name;
        EXPECT_EQ(Png->TransparencyMode(), C.Mode) << C.Name;
        if (C.Mode == ptmBit)
            EXPECT_EQ(Png->TransparentColor(), RGB(10, 20, 30)) << C.Name;
        EXPECT_TRUE(RgbaOf(Png.get()) == ImageMagickRgba(Dir, "x.png")) << C.Name;
        // Saved and loaded again: the same type, depth and pixels.
        Png->SaveToFile(Dir.File("y.png"));
        auto Again = MakeOwned<TPngImage>();
        Again->LoadFromFile(Dir.File("y.png"));
        EXPECT_EQ(Again->ColorType(), C.ColorType) << C.Name;
        EXPECT_EQ(Again->BitDepth(), C.BitDepth) << C.Name;
        EXPECT_EQ(Again->TransparencyMode(), C.Mode) << C.Name;
        EXPECT_TRUE(RgbaOf(Again.get()) == RgbaOf(Png.get())) << C.Name;
    }
}

TEST(PngImage, BlankPicturesAlphaLinesAndResize)
{
    auto Png = MakeOwned<TPngImage>();
    Png->CreateBlank(COLOR_RGBALPHA, 8, 4, 3);
    ASSERT_NE(Png->AlphaScanline(2), nullptr);
    EXPECT_EQ(Png->AlphaScanline(2)[3], 0);
    EXPECT_EQ(Png->Pixels(3, 2), clBlack);
    Png->SetPixels(1, 1, RGB(1, 2, 3));
    Png->AlphaScanline(1)[1] = 200;
    Png->Resize(6, 2);
    EXPECT_EQ(Png->Width(), 6);
    EXPECT_EQ(Png->Pixels(1, 1), RGB(1, 2, 3));
    EXPECT_EQ(Png->AlphaScanline(1)[1], 200);
    EXPECT_EQ(Png->AlphaScanline(1)[5], 0);
    EXPECT_THROW(Png->CreateBlank(COLOR_RGB, 4, 2, 2), EPNGError);
    Png->CreateBlank(COLOR_GRAYSCALE, 8, 2, 2);
    EXPECT_EQ(Png->AlphaScanline(0), nullptr);
    Png->CreateAlpha();
    EXPECT_EQ(Png->ColorType(), COLOR_GRAYSCALEALPHA);
    EXPECT_EQ(Png->AlphaScanline(0)[1], 255);
    // A grey picture whose pixels gained colour is saved as RGB(A).
    Png->SetPixels(0, 0, clRed);
    auto S = MakeOwned<TMemoryStream>();
    Png->SaveToStream(S.get());
    S->SetPosition(0);
    auto Again = MakeOwned<TPngImage>();
    Again->LoadFromStream(S.get());
    EXPECT_EQ(Again->ColorType(), COLOR_RGBALPHA);
    EXPECT_EQ(Again->Pixels(0, 0), clRed);
}

TEST(PngImage, HostilePicturesCostWhatTheirBytesHold)
{
    // An RGBA header of Width x Height with Interlace over our own picture's
    // data, whose IDAT holds some 200 bytes.
    auto Declaring = [](Cardinal Width, Cardinal Height, Byte Interlace) {
        RawBytes B = OurPng();
        B[25] = char(6);
        B[28] = char(Interlace);
        return WithSize(B, Width, Height);
    };
    // An icon of one 16 x 16 entry whose data is a PNG of 6000 x 6000.
    auto Big = MakeOwned<TPngImage>();
    Big->CreateBlank(COLOR_RGBALPHA, 8, 6000, 6000);
    const RawBytes Inner = SavePng(Big.get());
    Big.reset();
    RawBytes Ico("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0", 14);
    for (Cardinal V : { Cardinal(Inner.size()), Cardinal(22) })
        for (int I = 0; I < 4; ++I)
            Ico += char(V >> (8 * I));
    Ico += Inner;

    auto LoadPng = [](const RawBytes& Data) {
        return [Data] {
            auto Png = MakeOwned<TPngImage>();
            try {
                Png->LoadFromStream(StreamOf(Data).get());
            } catch (const EPNGError& E) {
                return std::string("refused: ") + Testing::U8(E.Message());
            }
            return std::string("read ") + std::to_string(Png->Width()) + "x" + std::to_string(Png->Height());
        };
    };
    struct Case {
        const char* Name;
        RawBytes Data;
        std::function<std::string()> Load;
        const char* Result;
    };
    const RawBytes Interlaced = Declaring(10000, 10000, 1);
    const RawBytes Cut = Declaring(10000, 10000, 0).substr(0, 74);
    const Case Cases[] = {
        { "PNG, interlaced RGBA 10000 x 10000", Interlaced, LoadPng(Interlaced),
            "refused: PNG error: PNG data too short for its picture" },
        { "PNG, RGBA 10000 x 10000 cut at 74 bytes", Cut, LoadPng(Cut),
            "refused: PNG error: PNG data too short for its picture" },
        { "ICO, 16 x 16 entry holding a 6000 x 6000 PNG", Ico,
            [&Ico] {
                TIconFile File;
                TIconImage Image;
                const std::span<const Byte> Data(reinterpret_cast<const Byte*>(Ico.data()), Ico.size());
                if (!ReadIconFile(Data, File))
                    return std::string("directory refused");
                return std::string(ReadIconImage(File, 0, Image) ? "entry read" : "entry refused");
            },
            "entry refused" },
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        const Testing::TBoundedRun Run = Testing::RunBounded(C.Load, 512);
        Testing::PrintBoundedRun(C.Name, Int64(C.Data.size()), Run);
        ASSERT_TRUE(Run.Exited);
        EXPECT_EQ(Run.Result, C.Result);
        // Nothing near the declared picture is ever allocated.
        EXPECT_LT(Run.PeakKiB, 16 * 1024);
    }
}
