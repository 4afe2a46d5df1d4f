// Rich text against the converters a user has: LibreOffice and pandoc.
#include "richedit/RichLayout.h"
#include "richedit/RichPicture.h"
#include "richedit/RtfReader.h"
#include "richedit/RtfWriter.h"
#include "RichTestSupport.h"
#include <gtest/gtest.h>

using namespace RichTesting;
using Testing::U8;

namespace {

// One LibreOffice run converting Files in Folder to Format into Out; its
// profile is the test's own, so runs beside it do not meet.
void Soffice(const Testing::TTempFolder& Folder, const std::string& Format, const std::filesystem::path& Out,
    const std::vector<std::string>& Files, const std::string& Filter = {})
{
    std::vector<std::string> Argv { "soffice", "-env:UserInstallation=file://" + (Folder / "profile").string(),
        "--headless" };
    if (!Filter.empty())
        Argv.push_back("--infilter=" + Filter);
    for (const std::string& A : { std::string("--convert-to"), Format, std::string("--outdir"), Out.string() })
        Argv.push_back(A);
    for (const std::string& F : Files)
        Argv.push_back((Folder / F).string());
    ASSERT_EQ(Testing::RunTool(Argv, Folder.Path()).ExitCode, 0);
}

TRichDocument ReadFile(const std::filesystem::path& Path)
{
    TRichDocument Doc;
    EXPECT_EQ(ReadRtf(FileText(Path), Doc), rrOk) << Path;
    return Doc;
}

constexpr const char16_t* Scripts[] = { u"\u041F\u0440\u0438\u0432\u0435\u0442", u"\u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC",
    u"\u65E5\u672C\u8A9E" };

// What both converters keep of the test's document.
void ExpectCommonAttributes(const TRichDocument& Doc)
{
    struct TStyle {
        const char16_t* Text;
        Cardinal Effect;
    };
    for (const TStyle& S : { TStyle { u"Bold", CFE_BOLD }, { u"italic", CFE_ITALIC }, { u"under", CFE_UNDERLINE },
             { u"strike", CFE_STRIKEOUT } }) {
        EXPECT_TRUE(CharOf(Doc, S.Text).Effects & S.Effect) << U8(S.Text);
        EXPECT_FALSE(CharOf(Doc, u"plain").Effects & S.Effect) << U8(S.Text);
    }
    const TRichCharFormat& Sub = Doc.CharFormatAt(Find(Doc, u"H2O") + 1);
    const TRichCharFormat& Super = Doc.CharFormatAt(Find(Doc, u"x2") + 1);
    EXPECT_TRUE((Sub.Effects & CFE_SUBSCRIPT) || Sub.Offset < 0);
    EXPECT_TRUE((Super.Effects & CFE_SUPERSCRIPT) || Super.Offset > 0);
    EXPECT_FALSE((Doc.CharFormatAt(Find(Doc, u"H2O")).Effects & CFE_SUBSCRIPT));
    for (const char16_t* S : Scripts)
        Find(Doc, S);
    const TRichCharFormat& Link = CharOf(Doc, u"link");
    EXPECT_TRUE(Link.Effects & CFE_LINK);
    EXPECT_EQ(U8(Link.LinkTarget), "https://example.org/a");
    ASSERT_EQ(Doc.Objects().size(), 1u);
    EXPECT_EQ(Doc.Objects()[0].Picture.Format, rpfPng);
    EXPECT_EQ(Doc.Objects()[0].Picture.Width, 8);
    EXPECT_EQ(Doc.Objects()[0].Picture.Height, 6);
    EXPECT_TRUE(DecodePicture(Doc.Objects()[0].Picture));
}

// Ours: every attribute the engine keeps, in one small document.
TRichDocument OurDocument(const RawBytes& Png)
{
    TRichDocument Doc;
    TRichCharFormat Plain;
    auto With = [&](Cardinal Effects) {
        TRichCharFormat F = Plain;
        F.Effects |= Effects;
        if (Effects & CFE_BOLD)
            F.Weight = 700;
        return F;
    };
    TRichCharFormat Red = Plain;
    Red.FaceName = u"Courier New";
    Red.PitchAndFamily = FIXED_PITCH;
    Red.Height = 360;
    Red.TextColor = 0x0000FF;
    Red.Effects &= ~CFE_AUTOCOLOR;
    TRichCharFormat Sub = With(CFE_SUBSCRIPT), Super = With(CFE_SUPERSCRIPT);
    TRichCharFormat Link = With(CFE_LINK | CFE_UNDERLINE);
    Link.LinkTarget = u"https://example.org/a";
    TRichObject Picture;
    Picture.Picture.Format = rpfPng;
    Picture.Picture.Data = Png;
    ReadPictureSize(Picture.Picture);

    Doc.Append(u"Bold", With(CFE_BOLD));
    Doc.Append(u" plain ", Plain);
    Doc.Append(u"italic", With(CFE_ITALIC));
    Doc.Append(u" ", Plain);
    Doc.Append(u"under", With(CFE_UNDERLINE));
    Doc.Append(u" ", Plain);
    Doc.Append(u"strike", With(CFE_STRIKEOUT));
    Doc.Append(u" H", Plain);
    Doc.Append(u"2", Sub);
    Doc.Append(u"O x", Plain);
    Doc.Append(u"2", Super);
    Doc.Append(u"\r", Plain);
    Doc.Append(u"Red mono", Red);
    Doc.Append(String(u" ") + Scripts[0] + u" " + Scripts[1] + u" " + Scripts[2] + u"\rfirst\rsecond\rIndented ", Plain);
    Doc.Append(u"link", Link);
    Doc.Append(u" tab\there\rright ", Plain);
    Doc.Append(u"\uFFFC", Plain, { Picture });
    TRichParaFormat Centre;
    Centre.Alignment = PFA_CENTER;
    Doc.SetParaFormat(0, 0, Centre, PFM_ALIGNMENT);
    TRichParaFormat Bullet;
    Bullet.Numbering = PFN_BULLET;
    Bullet.StartIndent = 360;
    Bullet.Offset = 360;
    Doc.SetParaFormat(Find(Doc, u"first"), Find(Doc, u"second"), Bullet, PFM_NUMBERING | PFM_STARTINDENT | PFM_OFFSET);
    TRichParaFormat Indent;
    Indent.StartIndent = 1440;
    Indent.TabCount = 1;
    Indent.Tabs[0] = 2880;
    Doc.SetParaFormat(Find(Doc, u"Indented"), Find(Doc, u"Indented"), Indent, PFM_STARTINDENT | PFM_TABSTOPS);
    TRichParaFormat Right;
    Right.Alignment = PFA_RIGHT;
    Doc.SetParaFormat(Doc.Length(), Doc.Length(), Right, PFM_ALIGNMENT);
    return Doc;
}

class RtfConverters : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* Tool : { "soffice", "pandoc", "convert" })
            if (!Testing::HaveTool(Tool))
                GTEST_SKIP() << Tool << " is missing (scripts/setup installs it)";
        ASSERT_EQ(Testing::RunTool({ "convert", "-size", "8x6", "xc:red", "PNG24:" + (Folder / "dot.png").string() })
                      .ExitCode,
            0);
        Png = FileText(Folder / "dot.png");
    }
    // The test's document as a web page, with its picture beside it.
    void WriteHtml()
    {
        Testing::WriteFileBytes(Folder / "doc.html",
            [] {
                const std::string Html = std::string("<html><head><meta charset=\"utf-8\"></head><body>")
                    + "<p style=\"text-align:center\"><b>Bold</b> plain <i>italic</i> <u>under</u> <s>strike</s> "
                      "H<sub>2</sub>O x<sup>2</sup></p>"
                    + "<p><font face=\"Courier New\" size=\"5\" color=\"#ff0000\">Red mono</font> " + U8(Scripts[0]) + " "
                    + U8(Scripts[1]) + " " + U8(Scripts[2]) + "</p><ul><li>first</li><li>second</li></ul>"
                    + "<p style=\"margin-left:1in\">Indented <a href=\"https://example.org/a\">link</a> tab</p>"
                    + "<p style=\"text-align:right\">right <img src=\"dot.png\" width=\"8\" height=\"6\"></p></body></html>";
                return Testing::Bytes(Html.begin(), Html.end());
            }());
    }
    Testing::TTempFolder Folder { "rtf-converters" };
    RawBytes Png;
};

}

TEST_F(RtfConverters, LibreOfficeAndPandocRtfReadsWithItsTextAndAttributes)
{
    WriteHtml();
    Soffice(Folder, "rtf", Folder.Path(), { "doc.html" }, "HTML (StarWriter)");
    ASSERT_EQ(Testing::RunTool({ "pandoc", "-s", "doc.html", "-o", "pandoc.rtf" }, Folder.Path()).ExitCode, 0);

    {
        SCOPED_TRACE("LibreOffice");
        const TRichDocument Doc = ReadFile(Folder / "doc.rtf");
        ExpectCommonAttributes(Doc);
        const TRichCharFormat& Red = CharOf(Doc, u"Red mono");
        EXPECT_EQ(U8(Red.FaceName), "Courier New");
        EXPECT_EQ(Red.Height, 360);
        EXPECT_EQ(Red.TextColor, TColor(0x0000FF));
        EXPECT_EQ(ParaOf(Doc, u"Bold").Alignment, PFA_CENTER);
        EXPECT_EQ(ParaOf(Doc, u"right").Alignment, PFA_RIGHT);
        EXPECT_EQ(ParaOf(Doc, u"Indented").StartIndent, 1440);
        EXPECT_EQ(ParaOf(Doc, u"first").Numbering, PFN_BULLET);
        EXPECT_GE(ParaOf(Doc, u"first").TabCount, 1);
        EXPECT_EQ(ParaOf(Doc, u"plain").Numbering, 0);
    }
    {
        SCOPED_TRACE("pandoc");
        const TRichDocument Doc = ReadFile(Folder / "pandoc.rtf");
        ExpectCommonAttributes(Doc);
        // pandoc writes a list's bullet as text.
        Find(Doc, u"\u2022\tfirst");
    }
}

TEST_F(RtfConverters, OursReadsInLibreOfficeAndPandocAndComesBackTheSame)
{
    const TRichDocument Ours = OurDocument(Png);
    const RawBytes Rtf = WriteRtf(Ours);
    Testing::WriteFileBytes(Folder / "ours.rtf", Testing::Bytes(Rtf.begin(), Rtf.end()));

    const std::string Html = Testing::RunTool({ "pandoc", "-f", "rtf", "-t", "html", "ours.rtf" }, Folder.Path()).Output;
    for (const char* Part : { "<strong>Bold</strong>", "<em>italic</em>", "<u>under</u>", "strike</", "<sub>2</sub>",
             "<sup>2</sup>", "<a href=\"https://example.org/a\">link</a>", "<img" })
        EXPECT_NE(Html.find(Part), std::string::npos) << Part << " not in\n" << Html;
    for (const char16_t* S : Scripts)
        EXPECT_NE(Html.find(U8(S)), std::string::npos) << U8(S);

    const std::filesystem::path Odt = Folder / "odt", Again = Folder / "again";
    Soffice(Folder, "odt", Odt, { "ours.rtf" });
    const std::string Content = Testing::RunTool({ "python3", "-c",
                                                     "import zipfile,sys;"
                                                     "print(zipfile.ZipFile(sys.argv[1]).read('content.xml').decode())",
                                                     (Odt / "ours.odt").string() })
                                    .Output;
    for (const char* Part : { "fo:font-weight=\"bold\"", "fo:font-style=\"italic\"",
             "style:text-line-through-style=\"solid\"", "style:text-underline-style=\"solid\"", "fo:color=\"#ff0000\"",
             "style:font-name=\"Courier New\"", "fo:font-size=\"18pt\"", "fo:text-align=\"center\"",
             "fo:text-align=\"end\"", "fo:margin-left=\"1in\"", "<style:tab-stop ",
             "xlink:href=\"https://example.org/a\"", "<draw:image", "<text:list", "Red mono" })
        EXPECT_NE(Content.find(Part), std::string::npos) << Part;
    for (const char16_t* S : Scripts)
        EXPECT_NE(Content.find(U8(S)), std::string::npos) << U8(S);

    // Ours through LibreOffice and back: the same text and, character by
    // character, the same attributes.
    Soffice(Folder, "rtf", Again, { "ours.rtf" });
    const TRichDocument Back = ReadFile(Again / "ours.rtf");
    // LibreOffice ends its last paragraph with a mark too.
    ASSERT_EQ(U8(Back.Text()), U8(Ours.Text() + u"\r"));
    constexpr Cardinal Kept = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_LINK | CFM_FACE | CFM_SIZE
        | CFM_COLOR | CFM_OFFSET | CFM_SUBSCRIPT;
    for (Integer I = 0; I < Ours.Length(); ++I) {
        TRichCharFormat Expected = Ours.CharFormatAt(I);
        TRichCharFormat Got = Back.CharFormatAt(I);
        // LibreOffice writes sub- and superscript as a lowered or raised
        // smaller font; compare which of the three it is.
        for (TRichCharFormat* F : { &Expected, &Got }) {
            const Integer Shift = (F->Effects & CFE_SUPERSCRIPT) || F->Offset > 0 ? 1 : (F->Effects & CFE_SUBSCRIPT) || F->Offset < 0 ? -1 : 0;
            F->Effects &= ~(CFE_SUBSCRIPT | CFE_SUPERSCRIPT);
            F->Offset = Shift;
            if (Shift)
                F->Height = 0;
        }
        const Char C = Ours.Text()[size_t(I)];
        if (C == ParagraphMark || C == ObjectMark)
            continue;
        // LibreOffice sizes East Asian text by the associated font of its
        // double-byte run (\afs), which the engine does not read.
        const Cardinal Compared = C >= 0x3000 ? Kept & ~CFM_SIZE : Kept;
        EXPECT_EQ(Expected.Agreeing(Got) & Compared, Compared) << "at " << I << " '" << U8(Ours.Text().substr(size_t(I), 1)) << "'";
    }
    for (size_t I = 0; I < Ours.Paras().size(); ++I) {
        EXPECT_EQ(Back.Paras()[I].Format.Alignment, Ours.Paras()[I].Format.Alignment) << I;
        EXPECT_EQ(Back.Paras()[I].Format.StartIndent, Ours.Paras()[I].Format.StartIndent) << I;
        EXPECT_EQ(Back.Paras()[I].Format.Numbering, Ours.Paras()[I].Format.Numbering) << I;
    }
    ASSERT_EQ(Back.Objects().size(), 1u);
    EXPECT_EQ(Back.Objects()[0].Picture.Width, 8);
}

namespace {

// The box round the pixels of Bmp that are not white: its height.
Integer InkHeight(TBitmap* Bmp)
{
    Integer First = -1, Last = -1;
    for (Integer Y = 0; Y < Bmp->Height(); ++Y)
        for (Integer X = 0; X < Bmp->Width(); ++X) {
            const Byte* P = Bmp->ScanLine(Y) + X * Bmp->BytesPerPixel();
            if (P[0] < 200 || P[1] < 200 || P[2] < 200) {
                First = First < 0 ? Y : First;
                Last = Y;
                break;
            }
        }
    return First < 0 ? 0 : Last - First + 1;
}

}

// LibreOffice's RTF of the test's document drawn by the engine at 96 and
// 144 dpi, beside LibreOffice's own rendering of that document.
TEST_F(RtfConverters, RendersBesideLibreOffice)
{
    WriteHtml();
    Soffice(Folder, "rtf", Folder.Path(), { "doc.html" }, "HTML (StarWriter)");
    Soffice(Folder, "pdf:writer_pdf_Export", Folder.Path(), { "doc.html" }, "HTML (StarWriter)");
    const TRichDocument Doc = ReadFile(Folder / "doc.rtf");
    // The page and margins of LibreOffice's document for web pages.
    const Integer PageWidth = 12240, Margin = 1134;
    for (Integer Dpi : { 96, 144 }) {
        SCOPED_TRACE(Dpi);
        const TRichPage Page = FormatRange(Doc, 0, Rect(Margin, Margin, PageWidth - Margin, 15840 - Margin));
        EXPECT_EQ(Page.Next, Doc.Length());
        TOwnedPtr<TBitmap> Ours(MakeOwned<TBitmap>());
        Ours->SetPixelFormat(pf24bit);
        Ours->SetSize(TwipsToPixels(PageWidth, Dpi), TwipsToPixels(Page.Bottom + Margin, Dpi));
        Ours->Canvas()->Brush()->SetColor(clWhite);
        Ours->Canvas()->FillRect(Rect(0, 0, Ours->Width(), Ours->Height()));
        DrawRange(Ours->Canvas(), Doc, Page, Dpi, Dpi);
        const std::string Name = "richedit-document-" + std::to_string(Dpi);
        const std::filesystem::path OursPng = SaveRendering(Ours.get(), Name + "-ours.png");

        const std::string Theirs = (Folder / ("lo" + std::to_string(Dpi))).string();
        ASSERT_EQ(Testing::RunTool({ "pdftoppm", "-r", std::to_string(Dpi), "-f", "1", "-l", "1", "-singlefile", "-png",
                                       (Folder / "doc.pdf").string(), Theirs })
                      .ExitCode,
            0);
        TOwnedPtr<TPngImage> LoPng(MakeOwned<TPngImage>());
        LoPng->LoadFromFile(S(Theirs + ".png"));
        TOwnedPtr<TBitmap> Lo(MakeOwned<TBitmap>());
        Lo->Assign(LoPng.get());
        Lo->SetPixelFormat(pf24bit);
        Lo->SetHeight(Ours->Height());
        ASSERT_EQ(Testing::RunTool({ "convert", OursPng.string(), "-bordercolor", "gray", "-border", "1",
                                       Theirs + ".png", "-crop", std::to_string(Lo->Width()) + "x" + std::to_string(Ours->Height()) + "+0+0",
                                       "+repage", "+append", Testing::TestPicturePath(Name + ".png").string() })
                      .ExitCode,
            0);

        // The same text at the same scale: red text and the red picture
        // are there, and the text runs about as far down the page.
        EXPECT_GT(CountNear(Ours.get(), 255, 0, 0, 60), Dpi * Dpi / 200);
        const double Ratio = double(InkHeight(Ours.get())) / std::max(InkHeight(Lo.get()), 1);
        EXPECT_GT(Ratio, 0.7);
        EXPECT_LT(Ratio, 1.4);
    }
}
