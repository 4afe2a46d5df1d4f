#include "GdiTestSupport.h"
#include "gdi/FontSystem.h"
#include "gdi/Metafile.h"
#include <set>

using namespace GdiTest;

namespace {

const char* const LiberationSans = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";

TOwnedPtr<TBitmap> WhiteBitmap(Integer W, Integer H)
{
    return SolidBitmap(pf24bit, W, H, clWhite);
}

// A canvas with a clear brush and the font set up.
TCanvas* TextCanvas(TBitmap* Bmp, const String& Name = u"Arial", Integer Height = -20)
{
    TCanvas* C = Bmp->Canvas();
    C->Brush()->SetStyle(bsClear);
    C->Font()->SetName(Name);
    C->Font()->SetHeight(Height);
    return C;
}

// The ink of Text drawn by TextOut at (0, 0) on a fresh bitmap: where the
// glyphs sit relative to the text's cell.
TRect InkOfTextOut(const String& Text, const String& Name = u"Arial", Integer Height = -20, Integer W = 600)
{
    TOwnedPtr<TBitmap> Bmp(WhiteBitmap(W, 100));
    TextCanvas(Bmp.get(), Name, Height)->TextOut(0, 0, Text);
    return InkBox(Bmp.get(), clWhite);
}

::testing::AssertionResult SameBox(const TRect& Got, const TRect& Want, Integer Tolerance = 1)
{
    if (std::abs(Got.Left - Want.Left) <= Tolerance && std::abs(Got.Top - Want.Top) <= Tolerance &&
        std::abs(Got.Right - Want.Right) <= Tolerance && std::abs(Got.Bottom - Want.Bottom) <= Tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "ink (" << Got.Left << "," << Got.Top << ")-(" << Got.Right << ","
                                         << Got.Bottom << ") is not within " << Tolerance << " of (" << Want.Left << ","
                                         << Want.Top << ")-(" << Want.Right << "," << Want.Bottom << ")";
}

TRect Shifted(const TRect& R, Integer DX, Integer DY)
{
    return Rect(R.Left + DX, R.Top + DY, R.Right + DX, R.Bottom + DY);
}

bool Inside(const TRect& Inner, const TRect& Outer)
{
    return !Inner.IsEmpty() && Inner.Left >= Outer.Left && Inner.Top >= Outer.Top && Inner.Right <= Outer.Right &&
        Inner.Bottom <= Outer.Bottom;
}

// The line cells (rows of LineHeight from the top) that hold ink.
std::set<Integer> InkLines(const TBitmap* Bmp, TColor Background, Integer LineHeight)
{
    std::set<Integer> Lines;
    for (Integer Y = 0; Y < Bmp->Height(); ++Y)
        for (Integer X = 0; X < Bmp->Width(); ++X)
            if (Bmp->Pixel(X, Y) != Background) {
                Lines.insert(Y / LineHeight);
                break;
            }
    return Lines;
}

} // namespace

TEST(Font, NamesResolveThroughTheBuiltInConfiguration)
{
    const struct {
        const char16_t* Name;
        const char16_t* Family;
    } Cases[] = {
        { u"Arial", u"Liberation Sans" },
        { u"Times New Roman", u"Liberation Serif" },
        { u"Courier New", u"Liberation Mono" },
        { u"Tahoma", u"DejaVu Sans" },
        { u"Segoe UI", u"DejaVu Sans" },
        { u"DejaVu Serif", u"DejaVu Sans" },
        { u"Nonexistent, Arial", u"DejaVu Sans" },
    };
    for (const auto& C : Cases) {
        TOwnedPtr<TFont> F(MakeOwned<TFont>());
        F->SetName(C.Name);
        EXPECT_EQ(F->ResolvedFamily(), String(C.Family)) << StringToUTF8(C.Name);
    }
}

TEST(Font, LanguageNamesOfEveryScriptHaveGlyphs)
{
    // Shown in the programs' language lists, each in its own script.
    const char* const Names[] = { "日本語", "中文", "한국어", "Русский", "Ελληνικά", "français", "עברית", "العربية" };
    for (const char16_t* Family : { u"Tahoma", u"Arial" }) {
        TOwnedPtr<TFont> F(MakeOwned<TFont>());
        F->SetName(Family);
        std::lock_guard Guard(FontSystem::Lock());
        PangoContext* Context = FontSystem::NewContext(fqAntialiased);
        for (const char* Name : Names) {
            PangoLayout* Layout = FontSystem::NewLayout(Context, F.get(), Name);
            EXPECT_EQ(pango_layout_get_unknown_glyphs_count(Layout), 0) << Name << " in " << StringToUTF8(Family);
            g_object_unref(Layout);
        }
        g_object_unref(Context);
    }
}

TEST(Font, HeightSizeAndCell)
{
    TOwnedPtr<TFont> F(MakeOwned<TFont>());
    F->SetSize(8);
    EXPECT_EQ(F->Height(), -11);
    EXPECT_EQ(F->Size(), 8);
    F->SetSize(12);
    EXPECT_EQ(F->Height(), -16);
    F->SetName(u"Arial");
    // A negative height is the em; a positive one the cell.
    F->SetHeight(-40);
    EXPECT_EQ(F->EmPixels(), 40);
    const Integer EmCell = F->Metrics().Height();
    EXPECT_GT(EmCell, 40);
    F->SetHeight(40);
    EXPECT_NEAR(F->Metrics().Height(), 40, 1);
    EXPECT_LT(F->EmPixels(), 40);
    // Heights from data are bounded before anything is laid out.
    F->SetHeight(-2000000000);
    EXPECT_LE(F->EmPixels(), 4096);
}

TEST(Text, ExtentMatchesImageMagickWithTheSameFace)
{
    if (!Testing::HaveTool("convert") || ::access(LiberationSans, R_OK) != 0)
        GTEST_SKIP() << "ImageMagick or Liberation Sans missing";
    TOwnedPtr<TBitmap> Bmp(WhiteBitmap(10, 10));
    TCanvas* C = TextCanvas(Bmp.get(), u"Arial");
    for (Integer Px : { 12, 20, 33 }) {
        C->Font()->SetHeight(-Px);
        for (const char* Text : { "Hello, World", "Quorvale wallpaper calendar", "iiii WWWW" }) {
            const Testing::TToolResult R = Testing::RunTool({ "convert", "-density", "72", "-font", LiberationSans,
                "-pointsize", std::to_string(Px), std::string("label:") + Text, "-format", "%w", "info:" });
            ASSERT_EQ(R.ExitCode, 0);
            EXPECT_NEAR(C->TextWidth(UTF8ToString(Text)), std::stoi(R.Output), 1) << Text << " at " << Px;
        }
    }
}

TEST(Text, AlignmentsAndLayoutsPlaceTheInk)
{
    const String Text = u"Aligned text";
    const TRect Ink0 = InkOfTextOut(Text);
    TOwnedPtr<TBitmap> Probe(WhiteBitmap(1, 1));
    TCanvas* P = TextCanvas(Probe.get());
    const TSize Extent = P->TextExtent(Text);
    const TRect R = Rect(20, 10, 380, 110);
    const struct {
        Cardinal Format;
        Integer X, Y; // where the cell's top-left should land
    } Cases[] = {
        { DT_SINGLELINE | DT_LEFT | DT_TOP, R.Left, R.Top },
        { DT_SINGLELINE | DT_CENTER | DT_TOP, R.Left + (R.Width() - Extent.cx) / 2, R.Top },
        { DT_SINGLELINE | DT_RIGHT | DT_TOP, R.Right - Extent.cx, R.Top },
        { DT_SINGLELINE | DT_LEFT | DT_VCENTER, R.Left, R.Top + (R.Height() - Extent.cy) / 2 },
        { DT_SINGLELINE | DT_RIGHT | DT_BOTTOM, R.Right - Extent.cx, R.Bottom - Extent.cy },
        { DT_SINGLELINE | DT_CENTER | DT_VCENTER, R.Left + (R.Width() - Extent.cx) / 2,
            R.Top + (R.Height() - Extent.cy) / 2 },
    };
    for (const auto& C : Cases) {
        TOwnedPtr<TBitmap> Bmp(WhiteBitmap(400, 120));
        TRect Box = R;
        TextCanvas(Bmp.get())->DrawText(Text, Box, C.Format | DT_NOPREFIX);
        EXPECT_TRUE(SameBox(InkBox(Bmp.get(), clWhite), Shifted(Ink0, C.X, C.Y))) << "format " << C.Format;
    }
}

TEST(Text, WordBreakLinesMatchTheCalculatedRectangle)
{
    const String Text = u"The quick brown fox jumps over the lazy dog and keeps running through the field until night";
    for (Integer Width : { 120, 200, 333 }) {
        TOwnedPtr<TBitmap> Bmp(WhiteBitmap(Width + 20, 400));
        TCanvas* C = TextCanvas(Bmp.get());
        TRect Calc = Rect(10, 0, 10 + Width, 0);
        const Integer Height = C->DrawText(Text, Calc, DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX);
        EXPECT_EQ(InkBox(Bmp.get(), clWhite), TRect {}) << "DT_CALCRECT draws nothing";
        EXPECT_EQ(Calc.Height(), Height);
        EXPECT_LE(Calc.Right, 10 + Width);
        const Integer LineHeight = C->TextHeight(u"W");
        ASSERT_EQ(Height % LineHeight, 0);

        TRect R = Rect(10, 0, 10 + Width, 400);
        C->DrawText(Text, R, DT_WORDBREAK | DT_NOPREFIX);
        const std::set<Integer> Lines = InkLines(Bmp.get(), clWhite, LineHeight);
        EXPECT_EQ(Integer(Lines.size()), Height / LineHeight) << "width " << Width;
        EXPECT_EQ(*Lines.rbegin(), Height / LineHeight - 1);
        EXPECT_GE(Height / LineHeight, 3);
        EXPECT_TRUE(Inside(InkBox(Bmp.get(), clWhite), Rect(10, 0, 10 + Width, Height)));
    }
    // Without DT_WORDBREAK only line breaks start lines; DT_EXTERNALLEADING
    // adds the face's leading to each.
    TOwnedPtr<TBitmap> Bmp(WhiteBitmap(10, 10));
    TCanvas* C = TextCanvas(Bmp.get());
    TRect R = Rect(0, 0, 50, 0);
    EXPECT_EQ(C->DrawText(u"one\r\ntwo\nthree\rfour", R, DT_CALCRECT | DT_NOPREFIX), 4 * C->TextHeight(u"W"));
    R = Rect(0, 0, 50, 0);
    EXPECT_EQ(C->DrawText(u"one\ntwo", R, DT_CALCRECT | DT_EXTERNALLEADING | DT_NOPREFIX),
        2 * (C->TextHeight(u"W") + C->Font()->Metrics().ExternalLeading));
}

TEST(Text, EllipsesStayInsideTheRectangle)
{
    const String Long = u"C:\\Users\\Someone\\Pictures\\Holidays in the mountains\\summer-evening.jpg";
    const TRect R = Rect(10, 10, 250, 40);
    for (Cardinal Kind : { DT_END_ELLIPSIS, DT_WORD_ELLIPSIS, DT_PATH_ELLIPSIS }) {
        TOwnedPtr<TBitmap> Bmp(WhiteBitmap(600, 50));
        TRect Box = R;
        TCanvas* C = TextCanvas(Bmp.get());
        C->Font()->SetQuality(fqNonAntialiased);
        C->DrawText(Long, Box, Kind | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
        const TRect Ink = InkBox(Bmp.get(), clWhite);
        EXPECT_TRUE(Inside(Ink, R)) << "kind " << Kind;
        EXPECT_GT(Ink.Width(), R.Width() * 3 / 4) << "kind " << Kind;
        if (Kind == DT_PATH_ELLIPSIS) {
            // The file name is kept whole at the end: the last columns of
            // ink are the file name's own glyphs.
            TOwnedPtr<TBitmap> Name(WhiteBitmap(600, 50));
            TCanvas* N = TextCanvas(Name.get());
            N->Font()->SetQuality(fqNonAntialiased);
            N->TextOut(0, 10, u"summer-evening.jpg");
            const TRect NameInk = InkBox(Name.get(), clWhite);
            Integer Differ = 0;
            for (Integer Y = NameInk.Top; Y < NameInk.Bottom; ++Y)
                for (Integer X = 0; X < NameInk.Width(); ++X)
                    Differ += Name->Pixel(NameInk.Left + X, Y) != Bmp->Pixel(Ink.Right - NameInk.Width() + X, Y);
            EXPECT_EQ(Differ, 0);
        }
    }
    // A text that fits is left alone.
    TOwnedPtr<TBitmap> A(WhiteBitmap(300, 40)), B(WhiteBitmap(300, 40));
    TRect RA = Rect(0, 0, 300, 40), RB = RA;
    TextCanvas(A.get())->DrawText(u"short.jpg", RA, DT_SINGLELINE | DT_END_ELLIPSIS);
    TextCanvas(B.get())->DrawText(u"short.jpg", RB, DT_SINGLELINE);
    EXPECT_EQ(InkBox(A.get(), clWhite), InkBox(B.get(), clWhite));
}

TEST(Text, RightToLeftScripts)
{
    const struct {
        const char* Name;
        String Text;
    } Cases[] = {
        { "Hebrew", S("שלום עולם") },
        { "Arabic", S("مرحبا بالعالم") },
    };
    for (const auto& C : Cases) {
        TOwnedPtr<TBitmap> Bmp(WhiteBitmap(300, 50));
        TRect R = Rect(10, 5, 290, 45);
        TCanvas* Canvas = TextCanvas(Bmp.get());
        const TSize Extent = Canvas->TextExtent(C.Text);
        Canvas->DrawText(C.Text, R, DT_SINGLELINE | DT_RIGHT | DT_VCENTER | DT_RTLREADING | DT_NOPREFIX);
        const TRect Ink = InkBox(Bmp.get(), clWhite);
        EXPECT_TRUE(Inside(Ink, R)) << C.Name;
        EXPECT_NEAR(Ink.Right, R.Right, 3) << C.Name;
        EXPECT_NEAR(Ink.Width(), Extent.cx, 4) << C.Name;
    }
    // Reading order: in a right-to-left paragraph the Latin word that
    // starts the text stands at the right.
    TOwnedPtr<TBitmap> Ltr(WhiteBitmap(300, 40)), Rtl(WhiteBitmap(300, 40));
    const String Mixed = S("WWWW שלום");
    TRect R1 = Rect(0, 0, 300, 40), R2 = R1;
    TextCanvas(Ltr.get())->DrawText(Mixed, R1, DT_SINGLELINE | DT_NOPREFIX);
    TextCanvas(Rtl.get())->DrawText(Mixed, R2, DT_SINGLELINE | DT_NOPREFIX | DT_RTLREADING);
    const TRect W = InkOfTextOut(u"WWWW");
    auto DarkColumns = [](TBitmap* B, Integer X1, Integer X2) {
        Integer N = 0;
        for (Integer X = X1; X < X2; ++X)
            for (Integer Y = 0; Y < B->Height(); ++Y)
                N += B->Pixel(X, Y) != clWhite;
        return N;
    };
    const Integer InkL = InkBox(Rtl.get(), clWhite).Right;
    EXPECT_GT(DarkColumns(Ltr.get(), W.Left, W.Right), 0);
    // The W run of the RTL line sits at the right end of its ink.
    TOwnedPtr<TBitmap> Only(WhiteBitmap(300, 40));
    TRect R3 = R1;
    TextCanvas(Only.get())->DrawText(u"WWWW", R3, DT_SINGLELINE | DT_NOPREFIX);
    Integer Differ = 0;
    for (Integer Y = 0; Y < 40; ++Y)
        for (Integer X = 0; X < W.Width(); ++X)
            Differ += Only->Pixel(W.Left + X, Y) != Rtl->Pixel(InkL - W.Width() + X, Y);
    EXPECT_LE(Differ, 4);
}

TEST(Text, NonAntialiasedTextHasOnlyItsColour)
{
    for (TColor Color : { clRed, TColor(RGB(20, 90, 200)) }) {
        for (TFontQuality Q : { fqNonAntialiased, fqAntialiased }) {
            TOwnedPtr<TBitmap> Bmp(WhiteBitmap(300, 40));
            TCanvas* C = TextCanvas(Bmp.get());
            C->Font()->SetColor(Color);
            C->Font()->SetQuality(Q);
            C->TextOut(5, 5, u"Sharp edges: Wgy@&%");
            std::set<TColor> Seen;
            for (Integer Y = 0; Y < 40; ++Y)
                for (Integer X = 0; X < 300; ++X)
                    Seen.insert(Bmp->Pixel(X, Y));
            if (Q == fqNonAntialiased)
                EXPECT_EQ(Seen, (std::set<TColor> { clWhite, Color }));
            else
                EXPECT_GT(Seen.size(), 4u);
        }
    }
}

TEST(Text, OpaqueBrushClipAndPenPosition)
{
    TOwnedPtr<TBitmap> Bmp(WhiteBitmap(200, 40));
    TCanvas* C = Bmp->Canvas();
    C->Font()->SetName(u"Arial");
    C->Font()->SetHeight(-20);
    C->Brush()->SetColor(clLime);
    C->TextOut(10, 5, u"Opaque");
    const TSize E = C->TextExtent(u"Opaque");
    EXPECT_EQ(C->PenPos(), Point(10 + E.cx, 5));
    EXPECT_EQ(Bmp->Pixel(10, 5), clLime);
    EXPECT_EQ(Bmp->Pixel(10 + E.cx - 1, 5 + E.cy - 1), clLime);
    EXPECT_EQ(Bmp->Pixel(10 + E.cx, 5), clWhite);

    // The clip rectangle holds text too.
    TOwnedPtr<TBitmap> Clipped(WhiteBitmap(200, 40));
    TCanvas* K = TextCanvas(Clipped.get());
    K->SetClipRect(Rect(30, 0, 60, 40));
    K->TextOut(0, 5, u"WWWWWWWWWW");
    EXPECT_TRUE(Inside(InkBox(Clipped.get(), clWhite), Rect(30, 0, 60, 40)));
}

TEST(Text, HugeCoordinatesCostNothing)
{
    TOwnedPtr<TBitmap> Bmp(WhiteBitmap(50, 50));
    TCanvas* C = TextCanvas(Bmp.get());
    C->TextOut(INT32_MAX - 5, INT32_MIN + 5, u"far away");
    TRect R = Rect(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
    C->DrawText(u"centred in everything", R, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    SUCCEED();
}

TEST(Text, SheetForAPerson)
{
    TOwnedPtr<TBitmap> Bmp(WhiteBitmap(640, 560));
    TCanvas* C = Bmp->Canvas();
    C->Brush()->SetStyle(bsClear);
    C->Pen()->SetColor(RGB(200, 200, 200));
    Integer Y = 10;
    auto Box = [&](const TRect& R) {
        C->Brush()->SetStyle(bsClear);
        C->Rectangle(R);
    };
    const struct {
        Cardinal Format;
        const char16_t* Label;
    } Aligns[] = {
        { DT_LEFT | DT_TOP, u"left, top" },
        { DT_CENTER | DT_VCENTER, u"centre, middle" },
        { DT_RIGHT | DT_BOTTOM, u"right, bottom" },
    };
    C->Font()->SetName(u"Arial");
    C->Font()->SetHeight(-16);
    for (const auto& A : Aligns) {
        TRect R = Rect(10, Y, 310, Y + 40);
        Box(R);
        C->DrawText(A.Label, R, A.Format | DT_SINGLELINE);
        Y += 48;
    }
    const String Path = u"C:\\Users\\Someone\\Pictures\\Holidays in the mountains\\summer-evening.jpg";
    for (Cardinal Kind : { DT_END_ELLIPSIS, DT_WORD_ELLIPSIS, DT_PATH_ELLIPSIS }) {
        TRect R = Rect(10, Y, 310, Y + 24);
        Box(R);
        C->DrawText(Path, R, Kind | DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER);
        Y += 30;
    }
    TRect Wrap = Rect(330, 10, 630, 200);
    Box(Wrap);
    C->Font()->SetName(u"Times New Roman");
    C->DrawText(u"Word break: the quick brown fox jumps over the lazy dog, and the &mnemonic is underlined.\ttab", Wrap,
        DT_WORDBREAK | DT_EXPANDTABS);
    C->Font()->SetName(u"Courier New");
    C->TextOut(330, 210, u"Courier New → Liberation Mono");
    C->Font()->SetName(u"Arial");
    for (const String& T : { S("שלום עולם, hello"), S("مرحبا بالعالم") }) {
        TRect R = Rect(330, Y, 630, Y + 30);
        Box(R);
        C->DrawText(T, R, DT_SINGLELINE | DT_RIGHT | DT_VCENTER | DT_RTLREADING);
        Y += 36;
    }
    const struct {
        TFontQuality Q;
        TColor Color;
        const char16_t* Label;
        TFontStyles Style;
    } Qualities[] = {
        { fqAntialiased, clBlack, u"Antialiased black", 0 },
        { fqNonAntialiased, clRed, u"Non-antialiased red", 0 },
        { fqNonAntialiased, clBlue, u"Non-antialiased blue, bold", StyleBit(fsBold) },
        { fqAntialiased, TColor(RGB(0, 120, 0)), u"Italic underlined strike-out",
            StyleBit(fsItalic) | StyleBit(fsUnderline) | StyleBit(fsStrikeOut) },
    };
    Y = std::max(Y, 260);
    for (const auto& Q : Qualities) {
        C->Font()->SetQuality(Q.Q);
        C->Font()->SetColor(Q.Color);
        C->Font()->SetStyle(Q.Style);
        C->Font()->SetHeight(-22);
        C->TextOut(10, Y, Q.Label);
        Y += 34;
    }
    C->Font()->SetStyle(0);
    C->Font()->SetColor(clBlack);
    C->Font()->SetHeight(-12);
    C->Brush()->SetColor(RGB(255, 240, 160));
    C->TextOut(10, Y + 4, u"An opaque brush fills the cell (Tahoma → DejaVu Sans, 12 px)");
    SavePicture(Bmp.get(), "text-sheet.png");
}

TEST(Text, MetafilesRecordText)
{
    auto Draw = [](TCanvas* C) {
        C->Font()->SetName(u"Arial");
        C->Font()->SetHeight(-18);
        C->Font()->SetColor(clBlue);
        C->Brush()->SetStyle(bsClear);
        C->TextOut(5, 2, u"Recorded");
        C->Font()->SetStyle(StyleBit(fsBold));
        C->Font()->SetQuality(fqNonAntialiased);
        TRect R = Rect(0, 25, 200, 50);
        C->DrawText(u"right & bold", R, DT_SINGLELINE | DT_RIGHT | DT_NOPREFIX);
    };
    TOwnedPtr<TBitmap> Direct(WhiteBitmap(200, 50));
    Draw(Direct->Canvas());

    auto Mf = MakeOwned<TMetafile>();
    Mf->SetSize(200, 50);
    {
        auto C = MakeOwned<TMetafileCanvas>(Mf.get());
        Draw(C.get());
        EXPECT_GT(C->PenPos().X, 5);
    }
    ASSERT_EQ(Mf->Records().size(), 2u);
    auto Data = MakeOwned<TMemoryStream>();
    Mf->SaveToStream(Data.get());
    Data->SetPosition(0);
    auto Loaded = MakeOwned<TMetafile>();
    Loaded->LoadFromStream(Data.get());
    TOwnedPtr<TBitmap> Replayed(WhiteBitmap(200, 50));
    Loaded->Draw(Replayed.get(), Rect(0, 0, 200, 50));
    for (Integer Y = 0; Y < 50; ++Y)
        for (Integer X = 0; X < 200; ++X)
            ASSERT_EQ(Replayed->Pixel(X, Y), Direct->Pixel(X, Y)) << X << "," << Y;

    // Twice the frame: twice the text.
    TOwnedPtr<TBitmap> Large(WhiteBitmap(400, 100));
    Loaded->Draw(Large.get(), Rect(0, 0, 400, 100));
    EXPECT_NEAR(InkBox(Large.get(), clWhite).Height(), 2 * InkBox(Direct.get(), clWhite).Height(), 4);

    // A text length past the end is damage, not an allocation.
    const RawBytes Bytes = BytesOf(Data.get());
    for (size_t Cut : { Bytes.size() - 1, Bytes.size() - 20, size_t(60) }) {
        auto Short = StreamOf(Bytes.substr(0, Cut));
        auto M = MakeOwned<TMetafile>();
        EXPECT_THROW(M->LoadFromStream(Short.get()), EInvalidGraphic) << Cut;
    }
}
