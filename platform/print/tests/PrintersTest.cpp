#include "gdi/PngImage.h"
#include "gdi/tests/GdiTestSupport.h"
#include "print/Printers.h"
#include "rtl/testing/Testing.h"
#include "win/Metrics.h"
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <regex>
#include <sstream>

namespace {

using namespace GdiTest;
using Testing::RunTool;
using Testing::TTempFolder;

class Printing : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!Testing::HaveTool("pdfinfo") || !Testing::HaveTool("pdftotext") || !Testing::HaveTool("pdftoppm"))
            GTEST_SKIP() << "poppler-utils missing";
        P = MakeOwned<TPrinter>();
        P->SetFileName(Folder.File("job.pdf"));
        P->SetTitle(u"Test job");
    }
    std::string Tool(const std::vector<std::string>& Argv)
    {
        const Testing::TToolResult R = RunTool(Argv);
        EXPECT_EQ(R.ExitCode, 0) << Argv[0];
        return R.Output;
    }
    std::string Pdf() const { return (Folder / "job.pdf").string(); }
    // The page rendered by pdftoppm at Dpi.
    TOwnedPtr<TBitmap> Rendered(int Page, int Dpi)
    {
        Tool({ "pdftoppm", "-png", "-r", std::to_string(Dpi), "-f", std::to_string(Page), "-l",
            std::to_string(Page), "-singlefile", Pdf(), (Folder / "page").string() });
        TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
        Png->LoadFromFile(Folder.File("page.png"));
        TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
        Bmp->Assign(Png.get());
        return Bmp;
    }

    TTempFolder Folder;
    TOwnedPtr<TPrinter> P;
};

TEST_F(Printing, DeviceCapsDescribeTheSheetInPrinterPixels)
{
    struct TCase {
        double W, H;
        Integer Dpi;
        Integer Index, Expected;
    };
    const TCase Cases[] = {
        { 595.2756, 841.8898, 600, LOGPIXELSX, 600 },
        { 595.2756, 841.8898, 600, LOGPIXELSY, 600 },
        { 595.2756, 841.8898, 600, PHYSICALWIDTH, 4961 },
        { 595.2756, 841.8898, 600, PHYSICALHEIGHT, 7016 },
        { 595.2756, 841.8898, 600, HORZRES, 4961 },
        { 595.2756, 841.8898, 600, VERTRES, 7016 },
        { 595.2756, 841.8898, 600, HORZSIZE, 210 },
        { 595.2756, 841.8898, 600, VERTSIZE, 297 },
        { 595.2756, 841.8898, 600, PHYSICALOFFSETX, 0 },
        { 612, 792, 300, PHYSICALWIDTH, 2550 }, // US letter
        { 612, 792, 300, VERTRES, 3300 },
        { 612, 792, 300, 12345, 0 },
    };
    for (const TCase& C : Cases) {
        P->SetPaperSize(C.W, C.H);
        P->SetResolution(C.Dpi);
        EXPECT_EQ(P->GetDeviceCaps(C.Index), C.Expected) << C.Index << " at " << C.Dpi;
    }
    EXPECT_EQ(P->PageWidth(), 2550);
    EXPECT_THROW(P->SetResolution(10), EPrinter);
    EXPECT_THROW(P->SetPaperSize(0, 100), EPrinter);
}

TEST_F(Printing, PagesHoldTheirTextAsTextInOrderWithTheFontsEmbedded)
{
    P->BeginDoc();
    EXPECT_EQ(P->PageNumber(), 1);
    const Integer Dpi = P->GetDeviceCaps(LOGPIXELSY);
    P->Canvas()->Font()->SetName(u"DejaVu Sans");
    P->Canvas()->Font()->SetHeight(-MulDiv(12, Dpi, 72));
    for (int Page = 1; Page <= 3; ++Page) {
        if (Page > 1)
            P->NewPage();
        for (int Line = 0; Line < 3; ++Line)
            P->Canvas()->TextOut(Dpi, Dpi + Line * Dpi / 3,
                UTF8ToString("Page " + std::to_string(Page) + " line " + std::to_string(Line)));
    }
    P->Canvas()->Font()->SetStyle(StyleBit(fsBold));
    P->Canvas()->TextOut(Dpi, 2 * Dpi, u"Жирный шрифт");
    EXPECT_EQ(P->PageNumber(), 3);
    P->EndDoc();
    EXPECT_FALSE(P->Printing());
    EXPECT_EQ(P->Canvas(), nullptr);

    const std::string Info = Tool({ "pdfinfo", Pdf() });
    EXPECT_TRUE(std::regex_search(Info, std::regex("Pages: +3\n"))) << Info;
    EXPECT_TRUE(std::regex_search(Info, std::regex("Page size: +595\\.2[0-9]* x 841\\.8[0-9]* pts"))) << Info;
    EXPECT_TRUE(std::regex_search(Info, std::regex("Title: +Test job"))) << Info;

    const std::string Text = Tool({ "pdftotext", "-layout", Pdf(), "-" });
    size_t At = 0;
    for (const char* Want : { "Page 1 line 0", "Page 1 line 1", "Page 1 line 2", "Page 2 line 0", "Page 2 line 2",
             "Page 3 line 0", "Page 3 line 2", "Жирный шрифт" }) {
        const size_t Found = Text.find(Want, At);
        ASSERT_NE(Found, std::string::npos) << Want << " in\n" << Text;
        At = Found;
    }

    // Every font is embedded (the "emb" column says yes).
    const std::string Fonts = Tool({ "pdffonts", Pdf() });
    std::istringstream Rows(Fonts);
    std::string Row;
    int Listed = 0;
    while (std::getline(Rows, Row)) {
        if (Row.rfind("name", 0) == 0 || Row.rfind("----", 0) == 0 || Row.empty())
            continue;
        ++Listed;
        EXPECT_TRUE(std::regex_search(Row, std::regex(" yes +(yes|no) +(yes|no) +[0-9]+ +[0-9]+$"))) << Row;
    }
    EXPECT_GT(Listed, 0) << Fonts;
    EXPECT_NE(Fonts.find("Bold"), std::string::npos) << Fonts;
}

TEST_F(Printing, ShapesAndPicturesLandWhereTheCanvasPutsThem)
{
    // 96 dpi on a small sheet, so printer pixels and rendered pixels match.
    P->SetResolution(96);
    P->SetPaperSize(300, 225); // 400 x 300 pixels
    P->BeginDoc();
    TCanvas* C = P->Canvas();
    C->Brush()->SetColor(clWhite);
    C->FillRect(Rect(0, 0, 400, 300));
    C->Brush()->SetColor(TColor(0x0000FF)); // red
    C->FillRect(Rect(20, 20, 120, 80));
    C->Brush()->SetColor(TColor(0xFF0000)); // blue
    C->Pen()->SetColor(clBlack);
    C->Pen()->SetWidth(3);
    C->Rectangle(Rect(150, 20, 250, 80));
    const TPoint Tri[] = { Point(280, 80), Point(330, 20), Point(380, 80) };
    C->Brush()->SetColor(TColor(0x00A000));
    C->Polygon(Tri);
    C->Pen()->SetWidth(1);
    C->MoveTo(20, 100);
    C->LineTo(380, 100);
    auto Pic = SolidBitmap(pf24bit, 4, 4, TColor(0x00FFFF)); // yellow
    std::fill_n(Pic->ScanLine(0), 3, Byte(0));
    C->StretchDraw(Rect(20, 120, 120, 220), Pic.get());
    C->Brush()->SetStyle(bsClear);
    C->Font()->SetName(u"DejaVu Sans");
    C->Font()->SetHeight(-20);
    C->Font()->SetStyle(StyleBit(fsUnderline) | StyleBit(fsStrikeOut));
    C->TextOut(150, 140, u"Printed text");
    TRect R = Rect(150, 200, 380, 290);
    C->Font()->SetStyle(0);
    C->DrawText(u"A &wrapped DrawText line that breaks", R, DT_WORDBREAK | DT_CENTER);
    // Clipped away: the clip region holds.
    C->SetClipRect(Rect(0, 0, 10, 10));
    C->Brush()->SetColor(clBlack);
    C->FillRect(Rect(300, 150, 390, 190));
    P->EndDoc();

    auto Page = Rendered(1, 96);
    SavePicture(Page.get(), "print-shapes-page.png");
    const TBitmap* B = Page.get();
    ASSERT_EQ(B->Width(), 400);
    ASSERT_EQ(B->Height(), 300);
    struct TProbe {
        Integer X, Y;
        int R, G, Bl;
    };
    const TProbe Probes[] = {
        { 70, 50, 255, 0, 0 }, // the red fill
        { 200, 50, 0, 0, 255 }, // the blue rectangle's inside
        { 151, 50, 0, 0, 0 }, // its frame
        { 330, 70, 0, 160, 0 }, // the triangle
        { 200, 100, 0, 0, 0 }, // the line
        { 100, 200, 255, 255, 0 }, // the picture's yellow
        { 30, 130, 0, 0, 0 }, // its black top-left pixel, stretched
        { 350, 170, 255, 255, 255 }, // the clipped fill left nothing
        { 5, 5, 255, 255, 255 },
    };
    for (const TProbe& Pr : Probes)
        EXPECT_TRUE(Near(PixelAt(B, Pr.X, Pr.Y), Pr.R, Pr.G, Pr.Bl, 40)) << Pr.X << "," << Pr.Y;
    const std::string Text = Tool({ "pdftotext", Pdf(), "-" });
    EXPECT_NE(Text.find("Printed text"), std::string::npos) << Text;
    EXPECT_NE(Text.find("wrapped"), std::string::npos) << Text;
}

TEST_F(Printing, AJobEndsOnceAndAnAbortedOneDeliversNothing)
{
    Testing::WriteFileBytes(Folder / "job.pdf", { 'o', 'l', 'd' });
    EXPECT_THROW(P->NewPage(), EPrinter);
    EXPECT_THROW(P->EndDoc(), EPrinter);
    P->BeginDoc();
    EXPECT_THROW(P->BeginDoc(), EPrinter);
    EXPECT_THROW(P->SetResolution(300), EPrinter);
    P->Canvas()->TextOut(100, 100, u"never printed");
    P->Abort();
    EXPECT_TRUE(P->Aborted());
    EXPECT_FALSE(P->Printing());
    EXPECT_EQ(Testing::ReadFileBytes(Folder / "job.pdf"), (Testing::Bytes { 'o', 'l', 'd' }));
    // A printer freed in the middle of a job drops it too.
    P->BeginDoc();
    P.reset();
    EXPECT_EQ(Testing::ReadFileBytes(Folder / "job.pdf"), (Testing::Bytes { 'o', 'l', 'd' }));
}

TEST_F(Printing, ADestinationThatCannotTakeTheJobIsAnError)
{
    // A file in a folder that does not exist.
    P->SetFileName(Folder.File("no/such/folder/job.pdf"));
    P->BeginDoc();
    EXPECT_THROW(P->EndDoc(), EPrinter);
    EXPECT_FALSE(P->Printing());
    // CUPS with no scheduler listening: refused, never reported as printed.
    P->SetFileName(u"");
    cupsSetServer("127.0.0.1:9");
    for (const String& Name : { String(), String(u"nowhere") }) {
        P->SetPrinterName(Name);
        P->BeginDoc();
        try {
            P->EndDoc();
            ADD_FAILURE() << "a job went nowhere and was called printed";
        } catch (const EPrinter& E) {
            EXPECT_FALSE(E.Message().empty());
        }
    }
    cupsSetServer(nullptr);
}

TEST(PrinterGlobal, IsMadeOnceAndCanBeReplaced)
{
    TPrinter* First = Printer();
    EXPECT_EQ(Printer(), First);
    TPrinter* Mine = New<TPrinter>();
    TOwnedPtr<TPrinter> Old(SetPrinter(Mine));
    EXPECT_EQ(Old.get(), First);
    EXPECT_EQ(Printer(), Mine);
    TOwnedPtr<TPrinter> Back(SetPrinter(nullptr));
    EXPECT_EQ(Back.get(), Mine);
    EXPECT_NE(Printer(), nullptr);
}

} // namespace
