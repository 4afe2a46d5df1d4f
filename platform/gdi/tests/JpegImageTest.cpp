#include "GdiTestSupport.h"
#include "gdi/JpegImage.h"
#include "rtl/StringList.h"
#include <functional>
#include <random>

using namespace GdiTest;

namespace {

// A JPEG made by ImageMagick from the arguments, or, without it, a solid
// white one of the size encoded by our own libjpeg encoder.
RawBytes MakeJpeg(const std::string& Args, Integer W = 0, Integer H = 0)
{
    if (HaveConvert()) {
        TempDir Dir;
        Convert(Args + " '" + Dir / "x.jpg" + "'");
        return ReadBytes(Dir / "x.jpg");
    }
    auto Bmp = MakeOwned<TBitmap>();
    Bmp->SetSize(W, H);
    auto Jpeg = MakeOwned<TJPEGImage>();
    Jpeg->Assign(Bmp.get());
    auto S = MakeOwned<TMemoryStream>();
    Jpeg->SaveToStream(S.get());
    return BytesOf(S.get());
}

TOwnedPtr<TJPEGImage> LoadJpeg(const RawBytes& Bytes, TJPEGScale Scale = jsFullSize)
{
    auto Jpeg = MakeOwned<TJPEGImage>();
    Jpeg->SetScale(Scale);
    Jpeg->LoadFromStream(StreamOf(Bytes).get());
    return Jpeg;
}

} // namespace

TEST(JpegImage, SolidColoursDecodeInEveryColourSpace)
{
    REQUIRE_CONVERT();
    struct Case {
        const char* Name;
        const char* Args;
        int R, G, B;
    } Cases[] = {
        { "YCbCr", "-size 40x24 xc:'rgb(200,40,90)' -quality 95", 200, 40, 90 },
        { "progressive", "-size 40x24 xc:'rgb(200,40,90)' -interlace JPEG -quality 95", 200, 40, 90 },
        { "grey", "-size 40x24 xc:'rgb(100,100,100)' -colorspace Gray -quality 95", 100, 100, 100 },
        { "CMYK", "-size 40x24 xc:'rgb(200,40,90)' -colorspace CMYK -quality 95", 200, 40, 90 },
    };
    for (const Case& C : Cases) {
        auto Jpeg = LoadJpeg(MakeJpeg(C.Args));
        ASSERT_EQ(Jpeg->Width(), 40) << C.Name;
        ASSERT_EQ(Jpeg->Height(), 24) << C.Name;
        const TBitmap* Bmp = Jpeg->Bitmap();
        EXPECT_EQ(Bmp->PixelFormat(), pf24bit) << C.Name;
        for (auto [X, Y] : { std::pair { 0, 0 }, { 39, 23 }, { 20, 11 } })
            EXPECT_TRUE(Near(PixelAt(Bmp, X, Y), C.R, C.G, C.B, 6)) << C.Name;
    }
}

TEST(JpegImage, TwoColoursKeepTheirPlaces)
{
    REQUIRE_CONVERT();
    auto Jpeg = LoadJpeg(MakeJpeg("-size 32x32 xc:red xc:blue +append -quality 95"));
    ASSERT_EQ(Jpeg->Width(), 64);
    EXPECT_TRUE(Near(PixelAt(Jpeg->Bitmap(), 4, 16), 255, 0, 0, 8));
    EXPECT_TRUE(Near(PixelAt(Jpeg->Bitmap(), 60, 16), 0, 0, 255, 8));
}

TEST(JpegImage, ScaledSizesAreKnownBeforeDecodingAndMatchTheDecode)
{
    struct Case {
        Integer W, H;
        TJPEGScale Scale;
        Integer ScaledW, ScaledH;
    } Cases[] = {
        { 800, 600, jsEighth, 100, 75 },
        { 801, 601, jsEighth, 101, 76 },
        { 801, 601, jsQuarter, 201, 151 },
        { 801, 601, jsHalf, 401, 301 },
        { 801, 601, jsFullSize, 801, 601 },
        { 5, 3, jsEighth, 1, 1 },
    };
    for (const Case& C : Cases) {
        std::string Size = std::to_string(C.W) + "x" + std::to_string(C.H);
        auto Jpeg = LoadJpeg(MakeJpeg("-size " + Size + " xc:'rgb(10,200,30)'", C.W, C.H), C.Scale);
        EXPECT_EQ(Jpeg->Width(), C.ScaledW) << Size << " " << C.Scale;
        EXPECT_EQ(Jpeg->Height(), C.ScaledH) << Size << " " << C.Scale;
        EXPECT_EQ(Jpeg->Bitmap()->Width(), C.ScaledW) << Size << " " << C.Scale;
        EXPECT_EQ(Jpeg->Bitmap()->Height(), C.ScaledH) << Size << " " << C.Scale;
    }
}

TEST(JpegImage, ScaleChangeDecodesAgain)
{
    auto Jpeg = LoadJpeg(MakeJpeg("-size 800x600 xc:white", 800, 600), jsEighth);
    EXPECT_EQ(Jpeg->Bitmap()->Width(), 100);
    Jpeg->SetScale(jsFullSize);
    EXPECT_EQ(Jpeg->Width(), 800);
    EXPECT_EQ(Jpeg->Bitmap()->Height(), 600);
}

TEST(JpegImage, LoadsFromTheStreamPosition)
{
    RawBytes Jpeg = MakeJpeg("-size 16x8 xc:white", 16, 8);
    auto S = StreamOf(RawBytes(1000, '\x5A') + Jpeg);
    S->SetPosition(1000);
    auto Image = MakeOwned<TJPEGImage>();
    Image->LoadFromStream(S.get());
    EXPECT_EQ(Image->Width(), 16);
    EXPECT_EQ(Image->Height(), 8);
    EXPECT_TRUE(Near(PixelAt(Image->Bitmap(), 3, 3), 255, 255, 255, 2));
    // What it saves is the data it took.
    auto Out = MakeOwned<TMemoryStream>();
    Image->SaveToStream(Out.get());
    EXPECT_EQ(BytesOf(Out.get()), Jpeg);
}

TEST(JpegImage, DamagedDataRaisesAndLeavesNoPicture)
{
    const RawBytes Good = MakeJpeg("-size 64x64 plasma:fractal -seed 7 -quality 90", 64, 64);
    std::mt19937 Random(42);
    RawBytes Garbage(4000, '\0');
    for (char& C : Garbage)
        C = char(Random());
    // The frame header's height and width, patched to a huge size.
    RawBytes Huge = Good;
    size_t Sof = Huge.find("\xFF\xC0");
    ASSERT_NE(Sof, RawBytes::npos);
    Huge[Sof + 5] = Huge[Sof + 6] = Huge[Sof + 7] = Huge[Sof + 8] = '\xF0';
    struct Case {
        const char* Name;
        RawBytes Bytes;
    } Cases[] = {
        { "empty", "" },
        { "garbage", Garbage },
        { "start of image only", "\xFF\xD8" },
        { "header cut", Good.substr(0, 100) },
        { "scan data cut", Good.substr(0, Good.size() * 2 / 3) },
        { "beyond the pixel cap", Huge },
    };
    for (const Case& C : Cases) {
        auto Jpeg = MakeOwned<TJPEGImage>();
        EXPECT_THROW(
            {
                Jpeg->LoadFromStream(StreamOf(C.Bytes).get());
                Jpeg->DIBNeeded();
            },
            EInvalidGraphic)
            << C.Name;
    }
    auto Jpeg = LoadJpeg(Good);
    EXPECT_THROW(Jpeg->LoadFromStream(StreamOf(Good.substr(0, 100)).get()), EJPEG);
    EXPECT_TRUE(Jpeg->Empty());
    EXPECT_EQ(Jpeg->Width(), 0);
}

TEST(JpegImage, EncodesABitmapThatImageMagickReads)
{
    REQUIRE_CONVERT();
    auto Bmp = MakeOwned<TBitmap>();
    Bmp->SetPixelFormat(pf32bit);
    Bmp->SetSize(48, 20);
    Bmp->Fill(RGB(30, 160, 220));
    auto Jpeg = MakeOwned<TJPEGImage>();
    Jpeg->SetCompressionQuality(95);
    Jpeg->Assign(Bmp.get());
    EXPECT_EQ(Jpeg->Width(), 48);
    TempDir Dir;
    Jpeg->SaveToFile(Path(Dir / "out.jpg"));
    EXPECT_EQ(Convert("'" + Dir / "out.jpg" + "' -format '%m %w %h' info:"), "JPEG 48 20");
    std::string Pixel = Convert("'" + Dir / "out.jpg" +
        "' -format '%[fx:int(255*p{9,9}.r+0.5)] %[fx:int(255*p{9,9}.g+0.5)] %[fx:int(255*p{9,9}.b+0.5)]' info:");
    int R = 0, G = 0, B = 0;
    ASSERT_EQ(std::sscanf(Pixel.c_str(), "%d %d %d", &R, &G, &B), 3) << Pixel;
    EXPECT_TRUE(Near({ B, G, R, -1 }, 30, 160, 220, 6));
    EXPECT_THROW(Jpeg->SetCompressionQuality(0), EArgumentOutOfRangeException);
}

TEST(JpegImage, AssignsToAndFromOtherClasses)
{
    auto Jpeg = LoadJpeg(MakeJpeg("-size 24x16 xc:white", 24, 16), jsHalf);
    auto Bmp = MakeOwned<TBitmap>();
    Bmp->Assign(Jpeg.get());
    EXPECT_EQ(Bmp->Width(), 12);
    EXPECT_EQ(Bmp->Height(), 8);
    auto Copy = MakeOwned<TJPEGImage>();
    Copy->Assign(Jpeg.get());
    EXPECT_EQ(Copy->Scale(), jsHalf);
    EXPECT_EQ(Copy->Width(), 12);
    Copy->Assign(nullptr);
    EXPECT_TRUE(Copy->Empty());
    auto Other = MakeOwned<TStringList>();
    EXPECT_THROW(Copy->Assign(Other.get()), EConvertError);
}
