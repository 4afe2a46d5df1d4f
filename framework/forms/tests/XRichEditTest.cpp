#include "forms/XSpark.VCL.RichEdit.h"
#include "vcl/tests/ControlTestSupport.h"
#include "gdi/PngImage.h"
#include "richedit/RichEditWindow.h"
#include "rtl/Streams.h"
#include <filesystem>
#include <fstream>

using namespace ControlTests;

namespace {

class RichEdits : public TFormFixture {
protected:
    void SetUp() override
    {
        TFormFixture::SetUp();
        Edit = Add<TXRichEdit>(Form, Rect(10, 10, 310, 210), 0xFFFFFF);
        Edit->HandleNeeded();
    }
    void LoadBytes(const std::string& Bytes, Word Encoding = 0)
    {
        TBytesStream S;
        S.Create();
        S.WriteBuffer(Bytes.data(), Int64(Bytes.size()));
        S.SetPosition(0);
        Edit->Lines()->LoadFromStream(&S, Encoding);
    }
    void SavePng(TBitmap* Bmp, const std::string& Name)
    {
        TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
        Png->Assign(Bmp);
        Png->SaveToFile(S(Testing::TestPicturePath(Name).string()));
    }

    TXRichEdit* Edit = nullptr;
};

// A stream whose every read fails.
class TFailingStream : public TBytesStream {
public:
    Int64 Read(void*, Int64) override { throw EReadError(u"gone"); }
};

}

TEST_F(RichEdits, StreamsLoadAsRichOrPlainTextAndFailClearly)
{
    struct TCase {
        const char* Name;
        std::string Bytes;
        bool PlainText;
        String Text;
    };
    const TCase Cases[] = {
        { "no header reads as plain text", "Hello", false, u"Hello" },
        { "utf-8 with BOM and LF", "\xEF\xBB\xBF" "one\ntwo", false, u"one\rtwo" },
        { "a second BOM is a character", "\xEF\xBB\xBF" "a\xEF\xBB\xBF", true, u"a\uFEFF" },
        { "utf-16 LE", std::string("\xFF\xFEh\0i\0", 6), true, u"hi" },
        { "rtf", "{\\rtf1\\ansi {\\b bold} x}", false, u"bold x" },
    };
    for (const TCase& C : Cases) {
        Edit->SetPlainText(C.PlainText);
        LoadBytes(C.Bytes);
        EXPECT_EQ(Edit->Text(), C.Text) << C.Name;
    }
    Edit->SetPlainText(false);
    for (bool Plain : { false, true }) {
        Edit->SetPlainText(Plain);
        TFailingStream Failing;
        Failing.Create();
        EXPECT_THROW(Edit->Lines()->LoadFromStream(&Failing, 0), EOutOfResources) << Plain;
    }
}

TEST_F(RichEdits, PlainTextSavesInTheEncodingAsked)
{
    Edit->SetPlainText(true);
    Edit->SetText(u"caf\u00E9\rx");
    struct TCase {
        Word Encoding;
        std::string Bytes;
    };
    for (const TCase& C : { TCase { 65001, "\xEF\xBB\xBF" "caf\xC3\xA9\r\nx" }, TCase { 0, "caf\xE9\r\nx" } }) {
        TBytesStream S;
        S.Create();
        Edit->Lines()->SaveToStream(&S, C.Encoding);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(S.Bytes().data()), size_t(S.Size())), C.Bytes);
    }
}

TEST_F(RichEdits, LinesAndParagraphEdges)
{
    Edit->SetText(u"a\rb\r");
    EXPECT_EQ(Edit->Lines()->Count(), 2) << "the empty line after the last break";
    Edit->SetText(String(5000, u'x'));
    EXPECT_EQ(Edit->Lines()->Strings(0).size(), 4096u);

    Edit->SetText(u"para");
    EXPECT_EQ(Edit->Paragraph()->LeftIndent(), 0);
    Edit->Paragraph()->SetNumbering(PFN_BULLET);
    EXPECT_EQ(Edit->Paragraph()->LeftIndent(), 10);
    Edit->Paragraph()->SetTab(2, 72);
    EXPECT_EQ(Edit->Paragraph()->Tab(2), 72);
    for (Integer Ignored : { -1, 31, 40 }) {
        Edit->Paragraph()->SetTab(Ignored, 99);
        EXPECT_EQ(Edit->Paragraph()->Record().cTabCount, 3) << Ignored;
    }
    EXPECT_EQ(Edit->Paragraph()->Tab(-1), 0);
}

TEST_F(RichEdits, RichTextGoesInAndOutWhole)
{
    Edit->SetRichText(u"{\\rtf1\\ansi abc}");
    EXPECT_EQ(Edit->Text(), u"abc");
    const String Rtf = Edit->GetRichText();
    EXPECT_TRUE(Rtf.starts_with(u"{\\rtf"));
    EXPECT_NE(Rtf.back(), 0);
    // Text that is no RTF, and a character outside the ANSI page in RTF.
    Edit->SetRichText(u"plain \u0416");
    EXPECT_EQ(Edit->Text(), u"plain \u0416");
    Edit->SetRichText(u"{\\rtf1\\ansi \u0416x}");
    EXPECT_EQ(Edit->Text(), u"\u0416x");
}

TEST_F(RichEdits, ToggleKeepsEachRunsOtherStyles)
{
    Edit->SetText(u"ab");
    Edit->SetSelStart(0);
    Edit->SetSelLength(1);
    Edit->SelAttributes()->SetStyle(1u << fsItalic);
    Edit->SetSelLength(2);
    Edit->ToggleSelStyle(fsBold);
    const TRichDocument& Doc = RichEditWindowOf(Edit->Handle())->Document();
    EXPECT_EQ(Doc.CharFormatAt(0).Effects & (CFE_BOLD | CFE_ITALIC), CFE_BOLD | CFE_ITALIC);
    EXPECT_EQ(Doc.CharFormatAt(1).Effects & (CFE_BOLD | CFE_ITALIC), CFE_BOLD);
}

TEST_F(RichEdits, LinkClicksNeedPressAndReleaseOnOneLink)
{
    Form->Show();
    Pump();
    Edit->SetText(u"https://a.test https://b.test");
    std::vector<String> Clicked;
    Edit->OnURLClick = [&](TObject*, const String& Url, TMouseButton) { Clicked.push_back(Url); };
    Press(Point(15, 15), true);
    Press(Point(15, 15), false);
    EXPECT_EQ(Clicked, std::vector<String> { u"https://a.test" });
    Press(Point(15, 15), true);
    Press(Point(200, 15), false);
    EXPECT_EQ(Clicked.size(), 1u) << "pressed on one link, released on the other";
}

TEST_F(RichEdits, ProtectedTextIsRefusedWithoutAHandler)
{
    Edit->SetText(u"locked");
    Edit->SelectAll();
    CHARFORMAT2W Cf;
    Cf.dwMask = CFM_PROTECTED;
    Cf.dwEffects = CFE_PROTECTED;
    Edit->Perform(EM_SETCHARFORMAT, SCF_SELECTION, LPARAM(&Cf));
    Edit->SetSelText(u"x");
    EXPECT_EQ(Edit->Text(), u"locked");
    Edit->OnProtectChange = [](TObject*, Integer, Integer, bool& Allow) { Allow = true; };
    Edit->SetSelText(u"x");
    EXPECT_EQ(Edit->Text(), u"x");
}

TEST_F(RichEdits, FilesRoundTrip)
{
    Testing::TTempFolder Folder;
    const auto Path = Folder / "note.rtf";
    Edit->SetRichText(u"{\\rtf1\\ansi {\\b new}}");
    Edit->Lines()->SaveToFile(S(Path.string()));
    Edit->Clear();
    Edit->Lines()->LoadFromFile(S(Path.string()));
    EXPECT_EQ(Edit->Text(), u"new");
}

TEST_F(RichEdits, RendersFitTheFormattedPart)
{
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    EXPECT_TRUE(RenderRichTextToBitmap(Form, u"", Bmp.get(), 200, 100, 0, 0, 0, 0));
    EXPECT_EQ(Bmp->Width(), 200);
    EXPECT_EQ(Bmp->Height(), 0);

    const String Doc = u"{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red200\\green0\\blue0;}"
                       u"\\f0\\fs28 {\\b Bold} {\\i italic} {\\cf1 red}\\par\\qc centred\\par}";
    EXPECT_TRUE(RenderRichTextToBitmap(Form, Doc, Bmp.get(), 240, 600, 10, 6, 10, 6));
    EXPECT_GT(Bmp->Height(), 20);
    EXPECT_LT(Bmp->Height(), 200);
    SavePng(Bmp.get(), "richedit-render.png");

    String Long;
    for (int I = 0; I < 100; ++I)
        Long += u"a line of text\r";
    EXPECT_FALSE(RenderRichTextToBitmap(Form, Long, Bmp.get(), 200, 100, 0, 0, 0, 0));
    EXPECT_LE(Bmp->Height(), 100);

    // The stream render reads from the start, and plain text as plain text.
    TBytesStream S;
    S.Create();
    S.WriteBuffer("not {\\rtf", 9);
    EXPECT_TRUE(RenderRichStreamToBitmap(Form, &S, Bmp.get(), 200, 100, 0, 0, 0, 0));
    EXPECT_GT(Bmp->Height(), 0);

    // The metafile render records the same text on a clear background.
    TOwnedPtr<TMetafile> Meta(MakeOwned<TMetafile>());
    Edit->SetRichText(Doc);
    Integer Height = 600;
    EXPECT_TRUE(Edit->RenderToMetafile(Meta.get(), 240, Height, 6, 0, 6, 2));
    EXPECT_GT(Height, 20);
    EXPECT_EQ(Meta->Height(), Height);
    EXPECT_FALSE(Meta->Records().empty());
}
