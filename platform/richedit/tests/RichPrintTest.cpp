#include "RichTestSupport.h"
#include "print/Printers.h"
#include "richedit/RichLayout.h"
#include "win/Metrics.h"
#include <regex>

using namespace RichTesting;

namespace {

// The printer's page loop: each pass formats one page from the first
// character not yet printed and must take a line, so printing ends.
// Answers the pages printed.
Integer PrintDocument(TPrinter* P, const TRichDocument& Doc)
{
    const Integer Dx = P->GetDeviceCaps(LOGPIXELSX), Dy = P->GetDeviceCaps(LOGPIXELSY);
    const TRect Page { 0, 0, PixelsToTwips(P->PageWidth(), Dx), PixelsToTwips(P->PageHeight(), Dy) };
    P->BeginDoc();
    Integer Next = 0, Pages = 1;
    for (;;) {
        const TRichPage Laid = FormatRange(Doc, Next, Page, true);
        DrawRange(P->Canvas(), Doc, Laid, Dx, Dy, Rect(0, 0, P->PageWidth(), P->PageHeight()));
        if (Laid.Next >= Doc.Length() || Laid.Next <= Next)
            break;
        Next = Laid.Next;
        P->NewPage();
        ++Pages;
    }
    P->EndDoc();
    return Pages;
}

class RichPrint : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!Testing::HaveTool("pdfinfo") || !Testing::HaveTool("pdftotext") || !Testing::HaveTool("pdftoppm"))
            GTEST_SKIP() << "poppler-utils missing";
        P = MakeOwned<TPrinter>();
        P->SetFileName(Folder.File("doc.pdf"));
        // A small sheet, so page breaks come often.
        P->SetPaperSize(4 * 72, 3 * 72);
    }
    std::string Run(const std::vector<std::string>& Argv)
    {
        const Testing::TToolResult R = Testing::RunTool(Argv);
        EXPECT_EQ(R.ExitCode, 0) << Argv[0];
        return R.Output;
    }
    Integer PdfPages()
    {
        std::smatch M;
        const std::string Info = Run({ "pdfinfo", (Folder / "doc.pdf").string() });
        return std::regex_search(Info, M, std::regex("Pages: +([0-9]+)")) ? std::stoi(M[1]) : -1;
    }

    Testing::TTempFolder Folder;
    TOwnedPtr<TPrinter> P;
};

TEST_F(RichPrint, NoLineIsLostOrDoubledAtPageBreaks)
{
    TRichDocument Doc;
    TRichCharFormat F;
    F.Effects = CFE_AUTOCOLOR | CFE_AUTOBACKCOLOR;
    const Integer Count = 60;
    for (Integer I = 0; I < Count; ++I) {
        F.Height = 200 + (I % 4) * 80;
        F.Effects = (F.Effects & ~(CFE_BOLD | CFE_UNDERLINE)) | (I % 3 == 0 ? CFE_BOLD : 0) |
            (I % 5 == 0 ? CFE_UNDERLINE : 0);
        Doc.Append(u"Entry " + S(std::to_string(1000 + I)) + u" ends here", F);
        if (I + 1 < Count)
            Doc.Append(u"\r", F);
    }
    const Integer Pages = PrintDocument(P.get(), Doc);
    EXPECT_GT(Pages, 3);
    EXPECT_EQ(PdfPages(), Pages);

    const std::string Text = Run({ "pdftotext", (Folder / "doc.pdf").string(), "-" });
    std::vector<int> Seen;
    const std::regex Entry("Entry ([0-9]{4}) ends here");
    for (auto It = std::sregex_iterator(Text.begin(), Text.end(), Entry); It != std::sregex_iterator(); ++It)
        Seen.push_back(std::stoi((*It)[1]) - 1000);
    std::vector<int> Expected(Count);
    for (int I = 0; I < Count; ++I)
        Expected[size_t(I)] = I;
    EXPECT_EQ(Seen, Expected) << Text;

    Run({ "pdftoppm", "-png", "-r", "96", "-f", "2", "-l", "2", "-singlefile", (Folder / "doc.pdf").string(),
        (Folder / "page").string() });
    std::filesystem::copy_file(Folder / "page.png", Testing::TestPicturePath("richedit-printed-page-2.png"),
        std::filesystem::copy_options::overwrite_existing);
}

TEST_F(RichPrint, ALineTallerThanThePageIsPrintedCutAndPrintingEnds)
{
    TRichDocument Doc;
    TRichCharFormat Huge;
    Huge.Height = 400 * 20; // 400 points on a sheet 3 inches high
    TRichCharFormat Small;
    Doc.Append(u"before\r", Small);
    Doc.Append(u"X\r", Huge);
    Doc.Append(u"after", Small);
    const Integer Pages = PrintDocument(P.get(), Doc);
    EXPECT_EQ(Pages, 3);
    EXPECT_EQ(PdfPages(), 3);
    const std::string Text = Run({ "pdftotext", (Folder / "doc.pdf").string(), "-" });
    EXPECT_LT(Text.find("before"), Text.find("after")) << Text;
}

} // namespace
