#include "GdiTestSupport.h"
#include "gdi/Icon.h"
#include "gdi/Metafile.h"
#include "gdi/Picture.h"

using namespace GdiTest;
using Testing::Bytes;

namespace {

void Put16(Bytes& B, size_t At, unsigned V)
{
    B[At] = Byte(V);
    B[At + 1] = Byte(V >> 8);
}
void Put32(Bytes& B, size_t At, Cardinal V)
{
    for (int I = 0; I < 4; ++I)
        B[At + size_t(I)] = Byte(V >> (8 * I));
}

// An icon file of one DIB entry at Bpp bits, W x H: pixel (x, y) takes
// palette index or colour Pattern(x, y); the mask is set where Masked(x, y).
struct TDibIcon {
    Integer W = 8, H = 6;
    Word Bpp = 8;
    Bytes File;
};

Byte PatternIndex(Integer X, Integer Y, Word Bpp)
{
    return Byte((X * 3 + Y * 5) & ((1 << std::min<int>(Bpp, 8)) - 1));
}
bool Masked(Integer X, Integer Y)
{
    return (X + 2 * Y) % 7 == 0;
}
std::array<Byte, 3> PaletteColour(unsigned I)
{
    return { Byte(I * 37), Byte(255 - I * 11), Byte(I * 73) };
}
std::array<Byte, 4> DirectColour(Integer X, Integer Y)
{
    return { Byte(X * 30), Byte(Y * 40), Byte(200 - X * 10), Byte(X * 28 + 3) };
}

Bytes DibIcon(Integer W, Integer H, Word Bpp, Integer EntryH = -1, Integer HeaderH = -1)
{
    const size_t Stride = ((size_t(W) * Bpp + 31) / 32) * 4, MaskStride = ((size_t(W) + 31) / 32) * 4;
    const size_t Colours = Bpp <= 8 ? (size_t(1) << Bpp) : 0;
    const size_t ImageSize = 40 + Colours * 4 + Stride * H + MaskStride * H;
    Bytes B(6 + 16 + ImageSize, 0);
    Put16(B, 2, 1);
    Put16(B, 4, 1);
    B[6] = Byte(W);
    B[7] = Byte(EntryH < 0 ? H : EntryH);
    Put16(B, 6 + 4, 1);
    Put16(B, 6 + 6, Bpp);
    Put32(B, 6 + 8, Cardinal(ImageSize));
    Put32(B, 6 + 12, 22);
    const size_t D = 22;
    Put32(B, D, 40);
    Put32(B, D + 4, Cardinal(W));
    Put32(B, D + 8, Cardinal(HeaderH < 0 ? 2 * H : HeaderH));
    Put16(B, D + 12, 1);
    Put16(B, D + 14, Bpp);
    for (size_t I = 0; I < Colours; ++I) {
        const auto C = PaletteColour(unsigned(I));
        std::copy(C.begin(), C.end(), B.begin() + long(D + 40 + 4 * I));
    }
    const size_t Xor = D + 40 + Colours * 4, And = Xor + Stride * H;
    for (Integer Y = 0; Y < H; ++Y) {
        Byte* Row = &B[Xor + Stride * size_t(H - 1 - Y)];
        Byte* MaskRow = &B[And + MaskStride * size_t(H - 1 - Y)];
        for (Integer X = 0; X < W; ++X) {
            if (Bpp <= 8) {
                const size_t Bit = size_t(X) * Bpp;
                Row[Bit / 8] |= Byte(PatternIndex(X, Y, Bpp) << (8 - Bpp - Bit % 8));
            } else if (Bpp == 16) {
                const auto C = DirectColour(X, Y);
                const unsigned V = (C[0] >> 3) | ((C[1] >> 3) << 5) | ((C[2] >> 3) << 10);
                Row[2 * X] = Byte(V);
                Row[2 * X + 1] = Byte(V >> 8);
            } else {
                const auto C = DirectColour(X, Y);
                std::copy(C.begin(), C.begin() + Bpp / 8, Row + X * (Bpp / 8));
            }
            if (Masked(X, Y))
                MaskRow[X / 8] |= Byte(0x80 >> (X % 8));
        }
    }
    return B;
}

// ImageMagick's icon of four entries (16, 32, 48 as DIBs with alpha, 256
// as PNG) of a picture with partial transparency.
struct TMagickIcon {
    Testing::TTempFolder Folder { "icon-test" };
    Bytes File;
    explicit TMagickIcon()
    {
        const auto R =
            Testing::RunTool({ "convert", "-size", "256x256", "xc:none", "-fill", "rgba(255,0,0,0.8)", "-draw",
                                 "circle 128,128 128,10", "-fill", "rgba(0,128,255,0.5)", "-draw",
                                 "rectangle 20,20 120,200", "-define", "icon:auto-resize=16,32,48,256", "x.ico" },
                Folder.Path());
        if (R.ExitCode == 0)
            File = Testing::ReadFileBytes(Folder / "x.ico");
    }
    // Entry n as 8-bit RGBA from ImageMagick.
    Bytes Rgba(int N) const
    {
        const auto R =
            Testing::RunTool({ "convert", "x.ico[" + std::to_string(N) + "]", "-depth", "8", "rgba:-" }, Folder.Path());
        return Bytes(R.Output.begin(), R.Output.end());
    }
};

TOwnedPtr<TBitmap> Background(Integer W, Integer H)
{
    TOwnedPtr<TBitmap> Bmp(SolidBitmap(pf24bit, W, H, RGB(40, 160, 90)));
    return Bmp;
}

} // namespace

TEST(Icon, EntryChosenPerRectangleSize)
{
    TMagickIcon Ico;
    if (Ico.File.empty())
        GTEST_SKIP() << "ImageMagick missing";
    TIconFile File;
    ASSERT_TRUE(ReadIconFile(Ico.File, File));
    ASSERT_EQ(File.Entries.size(), 4u);
    EXPECT_EQ(File.Entries[3].Width, 256) << "a size byte of 0 is 256";
    const struct {
        Integer W, H, Chosen;
    } Cases[] = {
        { 16, 16, 16 },
        { 32, 32, 32 },
        { 48, 48, 48 },
        { 256, 256, 256 },
        { 0, 0, 32 },
        { 8, 8, 16 },
        { 40, 40, 32 },
        { 100, 100, 48 },
        { 300, 300, 256 },
        { 48, 16, 16 },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(File.Entries[SelectIconEntry(File, C.W, C.H, 32)].Width, C.Chosen) << C.W << "x" << C.H;
    // On a 4-bit device only entries of at most 16 colours qualify past
    // the first.
    EXPECT_EQ(File.Entries[SelectIconEntry(File, 48, 48, 4)].Width, 16);
}

TEST(Icon, PixelsMatchImageMagickOverABackground)
{
    TMagickIcon Ico;
    if (Ico.File.empty())
        GTEST_SKIP() << "ImageMagick missing";
    const Integer Sizes[] = { 16, 32, 48, 256 };
    for (int N = 0; N < 4; ++N) {
        const Integer S = Sizes[N];
        const Bytes Want = Ico.Rgba(N);
        ASSERT_EQ(Want.size(), size_t(S) * S * 4);
        TOwnedPtr<TBitmap> Bmp(Background(S + 10, S + 10));
        ASSERT_TRUE(DrawIconData(Bmp->Canvas(), Rect(5, 5, 5 + S, 5 + S), Ico.File));
        Integer Worst = 0;
        for (Integer Y = 0; Y < S; ++Y)
            for (Integer X = 0; X < S; ++X) {
                const Byte* W = &Want[(size_t(Y) * S + X) * 4];
                const int Bg[3] = { 40, 160, 90 };
                const TPixel P = PixelAt(Bmp.get(), X + 5, Y + 5);
                const int Got[3] = { P.R, P.G, P.B };
                for (int I = 0; I < 3; ++I) {
                    const int Expect = (W[I] * W[3] + Bg[I] * (255 - W[3]) + 127) / 255;
                    Worst = std::max(Worst, Integer(std::abs(Got[I] - Expect)));
                }
            }
        EXPECT_LE(Worst, 1) << "entry " << N;
        // The frame round the icon is untouched.
        EXPECT_EQ(Bmp->Pixel(4, 4), RGB(40, 160, 90));
        EXPECT_EQ(Bmp->Pixel(S + 5, S + 5), RGB(40, 160, 90));
    }
}

TEST(Icon, DibsAtEveryDepthWithTheirMask)
{
    for (Word Bpp : { 1, 4, 8, 16, 24, 32 }) {
        const Integer W = 13, H = 6;
        const Bytes File = DibIcon(W, H, Bpp);
        TIconFile Dir;
        ASSERT_TRUE(ReadIconFile(File, Dir)) << Bpp;
        TIconImage Image;
        ASSERT_TRUE(ReadIconImage(Dir, 0, Image)) << Bpp;
        ASSERT_EQ(Image.Width, W);
        ASSERT_EQ(Image.Height, H);
        EXPECT_EQ(Image.HasAlpha, Bpp == 32);
        for (Integer Y = 0; Y < H; ++Y)
            for (Integer X = 0; X < W; ++X) {
                const Byte* P = &Image.Pixels[(size_t(Y) * W + X) * 4];
                std::array<Byte, 3> Want;
                if (Bpp <= 8) {
                    const auto C = PaletteColour(PatternIndex(X, Y, Bpp));
                    Want = { C[0], C[1], C[2] };
                } else {
                    const auto C = DirectColour(X, Y);
                    Want = { C[0], C[1], C[2] };
                    if (Bpp == 16)
                        for (Byte& V : Want)
                            V = Byte(((V >> 3) * 255 + 15) / 31);
                }
                EXPECT_EQ(P[0], Want[0]) << Bpp << " at " << X << "," << Y;
                EXPECT_EQ(P[1], Want[1]) << Bpp << " at " << X << "," << Y;
                EXPECT_EQ(P[2], Want[2]) << Bpp << " at " << X << "," << Y;
                EXPECT_EQ(Image.Mask[size_t(Y) * W + X], Masked(X, Y) ? 1 : 0);
            }
    }
    // Without alpha the screen is ANDed with the mask and XORed with the
    // colours: masked pixels of colour 0 keep the screen, others invert it.
    const Bytes File = DibIcon(8, 8, 1);
    TOwnedPtr<TBitmap> Bmp(SolidBitmap(pf24bit, 8, 8, RGB(10, 20, 30)));
    ASSERT_TRUE(DrawIconData(Bmp->Canvas(), Rect(0, 0, 8, 8), File));
    for (Integer Y = 0; Y < 8; ++Y)
        for (Integer X = 0; X < 8; ++X) {
            const auto C = PaletteColour(PatternIndex(X, Y, 1));
            const TColor Colour = RGB(C[2], C[1], C[0]);
            const TColor Want = Masked(X, Y) ? (RGB(10, 20, 30) ^ Colour) : Colour;
            EXPECT_EQ(Bmp->Pixel(X, Y), Want) << X << "," << Y;
        }
}

TEST(Icon, DamagedIconsDrawNothing)
{
    const Bytes Good = DibIcon(16, 16, 32);
    auto Damaged = [&](auto Change) {
        Bytes B = Good;
        Change(B);
        return B;
    };
    const std::vector<std::pair<const char*, Bytes>> Cases = {
        { "count 0", Damaged([](Bytes& B) { Put16(B, 4, 0); }) },
        { "count past the data", Damaged([](Bytes& B) { Put16(B, 4, 500); }) },
        { "offset past the end", Damaged([](Bytes& B) { Put32(B, 6 + 12, Cardinal(B.size() + 10)); }) },
        { "size past the end", Damaged([](Bytes& B) { Put32(B, 6 + 8, 0xFFFFFFF0); }) },
        { "empty image", Damaged([](Bytes& B) { Put32(B, 6 + 8, 0); }) },
        { "DIB height not twice the entry's", DibIcon(16, 16, 32, 16, 16) },
        { "DIB width not the entry's", Damaged([](Bytes& B) { Put32(B, 22 + 4, 17); }) },
        { "huge DIB", Damaged([](Bytes& B) {
             B[6] = 0;
             B[7] = 0;
             Put32(B, 22 + 4, 65535);
             Put32(B, 22 + 8, 131070);
         }) },
        { "colours cut short", Bytes(Good.begin(), Good.begin() + 22 + 40 + 100) },
        { "bad depth", Damaged([](Bytes& B) { Put16(B, 22 + 14, 7); }) },
        { "compressed", Damaged([](Bytes& B) { Put32(B, 22 + 16, 1); }) },
        { "header only", Bytes(Good.begin(), Good.begin() + 6) },
        { "not an icon", Damaged([](Bytes& B) { Put16(B, 2, 9); }) },
    };
    for (const auto& [Name, File] : Cases) {
        TOwnedPtr<TBitmap> Bmp(Background(20, 20));
        EXPECT_FALSE(DrawIconData(Bmp->Canvas(), Rect(0, 0, 16, 16), File)) << Name;
        EXPECT_EQ(InkBox(Bmp.get(), RGB(40, 160, 90)), TRect {}) << Name;
    }
    // A PNG entry must be a PNG of the entry's size.
    TMagickIcon Ico;
    if (!Ico.File.empty()) {
        Bytes B = Ico.File;
        B[6 + 3 * 16] = 128; // the 256 entry now claims 128 x 256
        TIconFile Dir;
        ASSERT_TRUE(ReadIconFile(B, Dir));
        TIconImage Image;
        EXPECT_FALSE(ReadIconImage(Dir, 3, Image));
    }
}

TEST(Icon, HandlesAndTheIconClass)
{
    TOwnedPtr<TBitmap> Colour(SolidBitmap(pf32bit, 4, 4, clRed)), Mask(SolidBitmap(pf24bit, 4, 4, clBlack));
    ICONINFO Info;
    Info.hbmColor = Colour.get();
    Info.hbmMask = Mask.get();
    HICON Icon = CreateIconIndirect(&Info);
    ASSERT_NE(Icon, nullptr);
    Integer W = 0, H = 0;
    EXPECT_TRUE(GetIconSize(Icon, W, H));
    EXPECT_EQ(W, 4);
    TOwnedPtr<TBitmap> Bmp(SolidBitmap(pf24bit, 20, 20, clWhite));
    // Stretched to 12 x 8, the mask opaque: red there, white around.
    EXPECT_TRUE(DrawIconEx(Bmp->Canvas(), 2, 3, Icon, 12, 8, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(InkBox(Bmp.get(), clWhite), Rect(2, 3, 14, 11));
    EXPECT_TRUE(DestroyIcon(Icon));
    EXPECT_FALSE(DestroyIcon(Icon));
    EXPECT_FALSE(DrawIconEx(Bmp->Canvas(), 0, 0, Icon, 0, 0, 0, nullptr, DI_NORMAL));
    Info.hbmMask = SolidBitmap(pf24bit, 3, 4, clBlack).release();
    EXPECT_EQ(CreateIconIndirect(&Info), nullptr);
    Info.hbmMask->Free();
    EXPECT_EQ(GetDeviceCaps(Bmp->Canvas(), BITSPIXEL), 32);

    // TIcon keeps its bytes; files by extension.
    Testing::TTempFolder Folder;
    const Bytes File = DibIcon(16, 16, 8);
    Testing::WriteFileBytes(Folder / "a.ico", File);
    TOwnedPtr<TPicture> Picture(MakeOwned<TPicture>());
    Picture->LoadFromFile(Folder.File("a.ico"));
    auto* Loaded = DynamicCast<TIcon>(Picture->Graphic());
    ASSERT_NE(Loaded, nullptr);
    EXPECT_EQ(Loaded->Width(), 16);
    TOwnedPtr<TMemoryStream> Out(MakeOwned<TMemoryStream>());
    Loaded->SaveToStream(Out.get());
    EXPECT_EQ(Testing::StreamBytes(Out.get()), File);
    EXPECT_EQ(GraphicClassOfExtension(u".EMF"), TMetafile::StaticClass());
    EXPECT_EQ(GraphicClassOfExtension(u".wmf"), TMetafile::StaticClass());
    // Bytes that are no icon leave the picture as it was.
    TOwnedPtr<TMemoryStream> Junk(MakeOwned<TMemoryStream>());
    Junk->WriteBuffer("not an icon", 11);
    Junk->SetPosition(0);
    EXPECT_THROW(Loaded->LoadFromStream(Junk.get()), EInvalidGraphic);
    EXPECT_EQ(Loaded->Data(), File);
}

TEST(Icon, SheetForAPerson)
{
    TMagickIcon Ico;
    if (Ico.File.empty())
        GTEST_SKIP() << "ImageMagick missing";
    TOwnedPtr<TBitmap> Bmp(SolidBitmap(pf24bit, 560, 300, clWhite));
    // A checker board shows the transparency.
    for (Integer Y = 0; Y < 300; Y += 10)
        for (Integer X = (Y / 10 % 2) * 10; X < 560; X += 20)
            Bmp->FillRect(Rect(X, Y, X + 10, Y + 10), RGB(200, 200, 200));
    const struct {
        Integer S, X, Y;
    } Places[] = { { 16, 10, 10 }, { 24, 40, 10 }, { 32, 80, 10 }, { 48, 130, 10 }, { 64, 190, 10 }, { 128, 10, 100 },
        { 256, 290, 20 } };
    for (const auto& P : Places)
        DrawIconData(Bmp->Canvas(), Rect(P.X, P.Y, P.X + P.S, P.Y + P.S), Ico.File);
    SavePicture(Bmp.get(), "icons-at-sizes.png");
}
