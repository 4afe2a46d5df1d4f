#include "GdiTestSupport.h"
#include <cstring>
#include <functional>

using namespace GdiTest;

namespace {

// A bitmap whose every pixel differs: B = X, G = Y, R = X + Y.
TOwnedPtr<TBitmap> Pattern(TPixelFormat Format, Integer W, Integer H)
{
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    Bmp->SetPixelFormat(Format);
    Bmp->SetSize(W, H);
    for (Integer Y = 0; Y < H; ++Y) {
        Byte* P = Bmp->ScanLine(Y);
        for (Integer X = 0; X < W; ++X, P += Bmp->BytesPerPixel()) {
            P[0] = Byte(X);
            P[1] = Byte(Y);
            P[2] = Byte(X + Y);
            if (Format == pf32bit)
                P[3] = Byte(200 - X);
        }
    }
    return Bmp;
}

bool SamePixels(const TBitmap* A, const TBitmap* B)
{
    if (A->Width() != B->Width() || A->Height() != B->Height() || A->PixelFormat() != B->PixelFormat())
        return false;
    size_t Bytes = size_t(A->Width()) * A->BytesPerPixel();
    for (Integer Y = 0; Y < A->Height(); ++Y)
        if (std::memcmp(A->ScanLine(Y), B->ScanLine(Y), Bytes) != 0)
            return false;
    return true;
}

RawBytes SaveBmp(TBitmap* Bmp)
{
    TOwnedPtr<TMemoryStream> S(MakeOwned<TMemoryStream>());
    Bmp->SaveToStream(S.get());
    return BytesOf(S.get());
}

void PutU32(RawBytes& B, size_t At, Cardinal V)
{
    for (int I = 0; I < 4; ++I)
        B[At + I] = char(V >> (8 * I));
}

void PutU16(RawBytes& B, size_t At, Word V)
{
    B[At] = char(V);
    B[At + 1] = char(V >> 8);
}

} // namespace

TEST(Bitmap, RowsArePaddedAndResizingKeepsTheTopLeft)
{
    auto Bmp = Pattern(pf24bit, 5, 3);
    EXPECT_EQ(Bmp->BytesPerScanline(), 16);
    Bmp->SetSize(7, 2);
    EXPECT_EQ(Bmp->BytesPerScanline(), 24);
    TPixel Kept = PixelAt(Bmp.get(), 4, 1);
    EXPECT_EQ(Kept.B, 4);
    EXPECT_EQ(Kept.G, 1);
    EXPECT_EQ(Kept.R, 5);
    EXPECT_EQ(Bmp->Pixel(6, 0), clWhite);
    EXPECT_THROW(Bmp->ScanLine(2), EInvalidGraphicOperation);
    EXPECT_THROW(Bmp->ScanLine(-1), EInvalidGraphicOperation);
}

TEST(Bitmap, SizesBeyondTheCapAreRefusedAndLeaveTheBitmap)
{
    auto Bmp = Pattern(pf32bit, 4, 4);
    EXPECT_THROW(Bmp->SetSize(-1, 4), EInvalidGraphic);
    EXPECT_THROW(Bmp->SetSize(70000, 1), EInvalidGraphic);
    EXPECT_THROW(Bmp->SetSize(20000, 20000), EInvalidGraphic);
    EXPECT_EQ(Bmp->Width(), 4);
    EXPECT_THROW(Bmp->SetPixelFormat(pf8bit), EInvalidGraphicOperation);
}

TEST(Bitmap, PixelFormatChangeKeepsColoursAndFillClearsTheFourthByte)
{
    auto Bmp = Pattern(pf32bit, 3, 2);
    Bmp->SetPixelFormat(pf24bit);
    EXPECT_EQ(Bmp->Pixel(2, 1), RGB(3, 1, 2));
    Bmp->SetPixelFormat(pf32bit);
    EXPECT_EQ(PixelAt(Bmp.get(), 2, 1).A, 0);
    auto Full = Pattern(pf32bit, 3, 2);
    Full->FillRect(Rect(-5, 1, 2, 9), RGB(10, 20, 30));
    TPixel P = PixelAt(Full.get(), 1, 1);
    EXPECT_TRUE(Near(P, 10, 20, 30, 0));
    EXPECT_EQ(P.A, 0);
    EXPECT_EQ(Full->Pixel(2, 1), RGB(3, 1, 2));
    EXPECT_EQ(Full->Pixel(0, 0), RGB(0, 0, 0));
}

TEST(Bitmap, BmpRoundTripKeepsEveryPixel)
{
    for (TPixelFormat Format : { pf24bit, pf32bit }) {
        for (auto [W, H] : { std::pair { 1, 1 }, { 5, 3 }, { 33, 17 } }) {
            auto Bmp = Pattern(Format, W, H);
            RawBytes Bytes = SaveBmp(Bmp.get());
            auto Back = MakeOwned<TBitmap>();
            Back->LoadFromStream(StreamOf(Bytes).get());
            EXPECT_TRUE(SamePixels(Bmp.get(), Back.get())) << Format << " " << W << "x" << H;
        }
    }
}

TEST(Bitmap, LoadsFromTheStreamPositionAndStopsAfterThePixels)
{
    auto Bmp = Pattern(pf24bit, 6, 4);
    RawBytes Bmp1 = SaveBmp(Bmp.get());
    auto S = StreamOf("junk" + Bmp1 + "tail");
    S->SetPosition(4);
    auto Back = MakeOwned<TBitmap>();
    Back->LoadFromStream(S.get());
    EXPECT_TRUE(SamePixels(Bmp.get(), Back.get()));
    EXPECT_EQ(S->Position(), Int64(4 + Bmp1.size()));
}

TEST(Bitmap, TopDownRowsLoadInTheirOrder)
{
    auto Bmp = Pattern(pf24bit, 5, 3);
    RawBytes Bytes = SaveBmp(Bmp.get());
    // Negative height: the rows are stored from the top.
    RawBytes TopDown = Bytes.substr(0, 54);
    PutU32(TopDown, 22, Cardinal(-3));
    for (int Y = 2; Y >= 0; --Y)
        TopDown += Bytes.substr(54 + size_t(Y) * 16, 16);
    auto Back = MakeOwned<TBitmap>();
    Back->LoadFromStream(StreamOf(TopDown).get());
    EXPECT_TRUE(SamePixels(Bmp.get(), Back.get()));
}

TEST(Bitmap, ImageMagickReadsOurBmpAndWeReadItsBmps)
{
    REQUIRE_CONVERT();
    TempDir Dir;
    auto Bmp = Pattern(pf24bit, 9, 5);
    Bmp->SaveToFile(Path(Dir / "ours.bmp"));
    EXPECT_EQ(Convert("'" + Dir / "ours.bmp" + "' -format '%w %h %[pixel:p{7,3}]' info:"), "9 5 srgb(10,3,7)");

    struct Case {
        const char* Name;
        const char* Args;
        TPixelFormat Format;
    } Cases[] = {
        { "24-bit", "-size 7x3 xc:'rgb(200,40,90)' -type TrueColor BMP3:", pf24bit },
        { "1-bit palette", "-size 7x3 xc:'rgb(200,40,90)' -type Palette BMP3:", pf24bit },
        { "8-bit palette",
            "-size 7x3 xc:'rgb(200,40,90)' -fill 'rgb(1,2,3)' -draw 'point 0,0' -fill 'rgb(4,5,6)' -draw 'point 1,0' "
            "-fill 'rgb(7,8,9)' -draw 'point 2,0' -fill 'rgb(9,9,9)' -draw 'point 3,0' -fill 'rgb(99,9,9)' -draw "
            "'point 4,0' "
            "-fill 'rgb(9,99,9)' -draw 'point 5,0' -fill 'rgb(9,9,99)' -draw 'point 6,0' -fill 'rgb(99,99,9)' -draw "
            "'point 0,1' "
            "-fill 'rgb(9,99,99)' -draw 'point 1,1' -fill 'rgb(99,9,99)' -draw 'point 2,1' -fill 'rgb(77,7,7)' -draw "
            "'point 3,1' "
            "-fill 'rgb(7,77,7)' -draw 'point 4,1' -fill 'rgb(7,7,77)' -draw 'point 5,1' -fill 'rgb(7,77,77)' -draw "
            "'point 6,1' "
            "-fill 'rgb(77,77,7)' -draw 'point 0,2' -fill 'rgb(77,7,77)' -draw 'point 1,2' -fill 'rgb(50,50,50)' -draw "
            "'point 2,2' "
            "-type Palette -compress None BMP3:",
            pf24bit },
        { "32-bit with alpha", "-size 7x3 xc:'rgba(200,40,90,0.5)' -type TrueColorAlpha BMP:", pf32bit },
    };
    for (const Case& C : Cases) {
        std::string File = Dir / (std::string(C.Name) + ".bmp");
        Convert(std::string(C.Args) + "'" + File + "'");
        auto Back = MakeOwned<TBitmap>();
        Back->LoadFromFile(Path(File));
        EXPECT_EQ(Back->Width(), 7) << C.Name;
        EXPECT_EQ(Back->Height(), 3) << C.Name;
        EXPECT_EQ(Back->PixelFormat(), C.Format) << C.Name;
        EXPECT_TRUE(Near(PixelAt(Back.get(), 6, 2), 200, 40, 90, 0)) << C.Name;
        TPixel P = PixelAt(Back.get(), 0, 0);
        EXPECT_EQ(Convert("'" + File +
                      "' -format '%[fx:int(255*p{0,0}.r+0.5)],%[fx:int(255*p{0,0}.g+0.5)],%[fx:int(255*p{0,0}.b+0.5)]' "
                      "info:"),
            std::to_string(P.R) + "," + std::to_string(P.G) + "," + std::to_string(P.B))
            << C.Name;
    }
}

TEST(Bitmap, DamagedBmpRaisesAndLeavesTheBitmap)
{
    auto Bmp = Pattern(pf24bit, 4, 2);
    const RawBytes Good = SaveBmp(Bmp.get());
    struct Case {
        const char* Name;
        std::function<void(RawBytes&)> Damage;
    } Cases[] = {
        { "signature", [](RawBytes& B) { B[0] = 'X'; } },
        { "header size", [](RawBytes& B) { PutU32(B, 14, 200); } },
        { "zero width", [](RawBytes& B) { PutU32(B, 18, 0); } },
        { "smallest height", [](RawBytes& B) { PutU32(B, 22, 0x80000000u); } },
        { "huge size",
            [](RawBytes& B) {
                PutU32(B, 18, 60000);
                PutU32(B, 22, 60000);
            } },
        { "planes", [](RawBytes& B) { PutU16(B, 26, 2); } },
        { "16 bits", [](RawBytes& B) { PutU16(B, 28, 16); } },
        { "run-length compression", [](RawBytes& B) { PutU32(B, 30, 1); } },
        { "pixel offset past the end", [](RawBytes& B) { PutU32(B, 10, 0xFFFFFFF0u); } },
        { "pixel offset inside the header", [](RawBytes& B) { PutU32(B, 10, 20); } },
        { "truncated pixels", [](RawBytes& B) { B.resize(B.size() - 1); } },
        { "truncated header", [](RawBytes& B) { B.resize(30); } },
        { "palette too large",
            [](RawBytes& B) {
                PutU16(B, 28, 8);
                PutU32(B, 46, 300);
            } },
        { "palette past the end",
            [](RawBytes& B) {
                PutU16(B, 28, 8);
                PutU32(B, 46, 256);
            } },
    };
    for (const Case& C : Cases) {
        RawBytes Bytes = Good;
        C.Damage(Bytes);
        auto Target = Pattern(pf32bit, 3, 3);
        EXPECT_THROW(Target->LoadFromStream(StreamOf(Bytes).get()), EInvalidGraphic) << C.Name;
        EXPECT_EQ(Target->Width(), 3) << C.Name;
        EXPECT_EQ(Target->PixelFormat(), pf32bit) << C.Name;
    }
}

TEST(Bitmap, EightBitPixelsOutsideThePaletteAreBlack)
{
    // 2x1, 8-bit, two palette entries; the second pixel indexes entry 7.
    RawBytes B(14 + 40 + 8 + 4, '\0');
    B[0] = 'B';
    B[1] = 'M';
    PutU32(B, 10, 14 + 40 + 8);
    PutU32(B, 14, 40);
    PutU32(B, 18, 2);
    PutU32(B, 22, 1);
    PutU16(B, 26, 1);
    PutU16(B, 28, 8);
    PutU32(B, 46, 2);
    B[54 + 4] = char(10); // entry 1: blue 10, green 20, red 30
    B[54 + 5] = char(20);
    B[54 + 6] = char(30);
    B[62] = 1;
    B[63] = 7;
    auto Bmp = MakeOwned<TBitmap>();
    Bmp->LoadFromStream(StreamOf(B).get());
    EXPECT_EQ(Bmp->Pixel(0, 0), RGB(30, 20, 10));
    EXPECT_EQ(Bmp->Pixel(1, 0), clBlack);
}

TEST(Bitmap, EmptyStreamGivesAnEmptyBitmapAndEmptyBitmapSavesNothing)
{
    auto Bmp = Pattern(pf24bit, 2, 2);
    Bmp->LoadFromStream(StreamOf("").get());
    EXPECT_TRUE(Bmp->Empty());
    EXPECT_EQ(SaveBmp(Bmp.get()), "");
}

TEST(Stretch, NearestDoublesA2x2Exactly)
{
    auto Src = MakeOwned<TBitmap>();
    Src->SetSize(2, 2);
    const TColor Colours[2][2] = { { clRed, clLime }, { clBlue, RGB(1, 2, 3) } };
    for (int Y = 0; Y < 2; ++Y)
        for (int X = 0; X < 2; ++X)
            Src->FillRect(Rect(X, Y, X + 1, Y + 1), Colours[Y][X]);
    auto Dst = MakeOwned<TBitmap>();
    Dst->SetPixelFormat(pf32bit);
    Dst->SetSize(4, 4);
    StretchDraw(Dst.get(), Rect(0, 0, 4, 4), Src.get());
    for (int Y = 0; Y < 4; ++Y)
        for (int X = 0; X < 4; ++X) {
            EXPECT_EQ(Dst->Pixel(X, Y), Colours[Y / 2][X / 2]) << X << "," << Y;
            EXPECT_EQ(PixelAt(Dst.get(), X, Y).A, 0);
        }
}

TEST(Stretch, HalftoneAveragesTheCoveredArea)
{
    // Columns alternate black and white: every 2x1 block averages to 127.5.
    auto Src = MakeOwned<TBitmap>();
    Src->SetSize(4, 4);
    Src->Fill(clBlack);
    Src->FillRect(Rect(1, 0, 2, 4), clWhite);
    Src->FillRect(Rect(3, 0, 4, 4), clWhite);
    auto Dst = MakeOwned<TBitmap>();
    Dst->SetSize(2, 2);
    StretchDraw(Dst.get(), Rect(0, 0, 2, 2), Src.get(), smHalftone);
    for (int Y = 0; Y < 2; ++Y)
        for (int X = 0; X < 2; ++X)
            EXPECT_TRUE(Near(PixelAt(Dst.get(), X, Y), 128, 128, 128, 0));
    // A 3-to-2 reduction weighs the shared middle column half to each side.
    auto Row = MakeOwned<TBitmap>();
    Row->SetSize(3, 1);
    Row->FillRect(Rect(0, 0, 1, 1), RGB(0, 0, 0));
    Row->FillRect(Rect(1, 0, 2, 1), RGB(90, 90, 90));
    Row->FillRect(Rect(2, 0, 3, 1), RGB(180, 180, 180));
    auto Two = MakeOwned<TBitmap>();
    Two->SetSize(2, 1);
    StretchDraw(Two.get(), Rect(0, 0, 2, 1), Row.get(), smHalftone);
    EXPECT_TRUE(Near(PixelAt(Two.get(), 0, 0), 30, 30, 30, 0));
    EXPECT_TRUE(Near(PixelAt(Two.get(), 1, 0), 150, 150, 150, 0));
}

TEST(Stretch, HalftoneKeepsItsExactValues)
{
    // Thumbnails are compared byte for byte, so the halftone's rounding is
    // pinned: the hashes of reductions (a JPEG at full size and at an
    // eighth into a thumbnail), an enlargement and a clipped reduction,
    // for both source and target layouts.
    const struct {
        Integer SW, SH, DW, DH;
        TRect R;
        UInt64 Hash[2][2]; // by source, then target format: 24, 32 bits
    } Cases[] = {
        { 800, 600, 72, 54, Rect(0, 0, 72, 54),
            { { 1073021501256283165ull, 3712177313638545455ull },
                { 4225096027633214887ull, 10464950847406179558ull } } },
        { 500, 375, 72, 54, Rect(0, 0, 72, 54),
            { { 17414711809355043334ull, 16186450258574817494ull },
                { 17835867021101819104ull, 3250203552708139080ull } } },
        { 37, 23, 100, 61, Rect(0, 0, 100, 61),
            { { 1713378144807142363ull, 14466330937499834609ull },
                { 5856981818593727631ull, 1365074158199318537ull } } },
        { 640, 480, 80, 60, Rect(-3, 2, 68, 55),
            { { 15259286714594932009ull, 14235660083269737839ull },
                { 11195029846213508908ull, 10772912426499429889ull } } },
        { 1, 1, 5, 5, Rect(0, 0, 5, 5),
            { { 9667734042756323196ull, 12078023626879067820ull },
                { 9667734042756323196ull, 11307019619359660979ull } } },
    };
    for (const auto& C : Cases)
        for (Integer SF = 0; SF < 2; ++SF)
            for (Integer DF = 0; DF < 2; ++DF) {
                auto Src = MakeOwned<TBitmap>();
                Src->SetPixelFormat(SF ? pf32bit : pf24bit);
                Src->SetSize(C.SW, C.SH);
                UInt64 Seed = 88172645463325252ull;
                for (Integer Y = 0; Y < C.SH; ++Y) {
                    Byte* P = Src->ScanLine(Y);
                    for (Integer X = 0; X < C.SW * Src->BytesPerPixel(); ++X) {
                        Seed ^= Seed << 13;
                        Seed ^= Seed >> 7;
                        Seed ^= Seed << 17;
                        P[X] = Byte(Seed);
                    }
                }
                auto Dst = MakeOwned<TBitmap>();
                Dst->SetPixelFormat(DF ? pf32bit : pf24bit);
                Dst->SetSize(C.DW, C.DH);
                Dst->Fill(clWhite);
                StretchDraw(Dst.get(), C.R, Src.get(), smHalftone);
                UInt64 Hash = 14695981039346656037ull;
                for (Integer Y = 0; Y < C.DH; ++Y) {
                    const Byte* P = Dst->ScanLine(Y);
                    for (Integer X = 0; X < C.DW * Dst->BytesPerPixel(); ++X)
                        Hash = (Hash ^ P[X]) * 1099511628211ull;
                }
                EXPECT_EQ(Hash, C.Hash[SF][DF])
                    << C.SW << "x" << C.SH << " to " << C.DW << "x" << C.DH << ", " << SF << DF;
            }
}

TEST(Stretch, ClipsToTheTargetAndIgnoresEmptyRectangles)
{
    auto Src = Pattern(pf24bit, 4, 4);
    for (TStretchMode Mode : { smNearest, smHalftone }) {
        auto Dst = MakeOwned<TBitmap>();
        Dst->SetSize(3, 3);
        Dst->Fill(clWhite);
        // Only the rectangle's bottom-right quarter lands on the target.
        StretchDraw(Dst.get(), Rect(-2, -2, 2, 2), Src.get(), Mode);
        EXPECT_EQ(Dst->Pixel(0, 0), RGB(4, 2, 2)) << Mode;
        EXPECT_EQ(Dst->Pixel(2, 2), clWhite) << Mode;
        for (TRect R : { Rect(1, 1, 1, 3), Rect(2, 2, 0, 0), Rect(5, 5, 9, 9), Rect(-9, 0, -3, 3) })
            StretchDraw(Dst.get(), R, Src.get(), Mode);
        EXPECT_EQ(Dst->Pixel(2, 2), clWhite) << Mode;
        StretchDraw(Dst.get(), Rect(-2147483647, -2147483647, 2147483647, 2147483647), Src.get(), Mode);
        EXPECT_EQ(Dst->Pixel(1, 1), Src->Pixel(2, 2)) << Mode;
    }
}

TEST(Stretch, IntoItselfReadsTheOriginal)
{
    auto Bmp = Pattern(pf24bit, 4, 4);
    auto Original = Pattern(pf24bit, 4, 4);
    StretchDraw(Bmp.get(), Rect(0, 0, 8, 8), Bmp.get());
    EXPECT_EQ(Bmp->Pixel(3, 3), Original->Pixel(1, 1));
}

TEST(Stretch, OwnSizeCopiesEveryPixelAcrossPixelSizes)
{
    for (TPixelFormat From : { pf24bit, pf32bit })
        for (TPixelFormat To : { pf24bit, pf32bit })
            for (TPoint At : { TPoint { 0, 0 }, TPoint { -2, -1 }, TPoint { 3, 2 } }) {
                auto Src = Pattern(From, 7, 5);
                auto Dst = MakeOwned<TBitmap>();
                Dst->SetPixelFormat(To);
                Dst->SetSize(6, 4);
                Dst->Fill(clWhite);
                StretchDraw(Dst.get(), Rect(At.X, At.Y, At.X + 7, At.Y + 5), Src.get());
                for (Integer Y = 0; Y < 4; ++Y)
                    for (Integer X = 0; X < 6; ++X) {
                        const Integer SX = X - At.X, SY = Y - At.Y;
                        const bool Inside = SX >= 0 && SX < 7 && SY >= 0 && SY < 5;
                        TPixel Want { 255, 255, 255, 0 };
                        if (Inside) {
                            Want = PixelAt(Src.get(), SX, SY);
                            if (From == pf24bit)
                                Want.A = 0;
                        }
                        const TPixel Got = PixelAt(Dst.get(), X, Y);
                        EXPECT_TRUE(
                            Got.R == Want.R && Got.G == Want.G && Got.B == Want.B && (To == pf24bit || Got.A == Want.A))
                            << From << "->" << To << " at " << At.X << "," << At.Y << " pixel " << X << "," << Y;
                    }
            }
}
