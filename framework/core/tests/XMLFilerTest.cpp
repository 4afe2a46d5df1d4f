#include "rtl/StringList.h"
#include "core/XCore.Errors.h"
#include "core/XCore.XMLObjects.Filer.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>

namespace {

class TXfNote : public TPersistent {
    X_CLASS(TXfNote, TPersistent)
public:
    void Create() override
    {
        inherited::Create();
        FLines = MakeOwned<TStringList>();
    }
    const String& Title() const { return FTitle; }
    void SetTitle(const String& V) { FTitle = V; }
    TStrings* Lines() const { return FLines.get(); }

private:
    String FTitle;
    TOwnedPtr<TStringList> FLines;
};
X_REGISTER_CLASS(TXfNote)
X_PUBLISHED(TXfNote)
{
    X_PROP(Title, Title, SetTitle);
    X_PROP_READONLY(Lines, Lines);
}

RawBytes FileBytes(const std::filesystem::path& Path)
{
    Testing::Bytes Bytes = Testing::ReadFileBytes(Path);
    return RawBytes(Bytes.begin(), Bytes.end());
}

class XMLFiler : public testing::Test {
protected:
    Testing::TTempFolder Folder { "xmlfiler" };
    const std::filesystem::path& FFolder = Folder.Path();
};

TEST_F(XMLFiler, SavesThroughATemporaryFileAndLoadsBack)
{
    auto Path = FFolder / "note.xml";
    String Name = UTF8ToString(Path.string());
    {
        std::ofstream(Path) << "old content";
    }
    TOwnedPtr<TXfNote> Note(New<TXfNote>());
    Note->SetTitle(u"caf\u00e9 & <tea>\rend");
    Note->Lines()->Add(u"one");
    Note->Lines()->Add(u"two");
    TOwnedPtr<TXProgress> Progress(New<TXProgress>(static_cast<TXProgress*>(nullptr)));
    Progress->SetMax(4);
    ASSERT_TRUE(FilerSaveToFileViaTemp(Name, TXMLFiler::StaticClass(), Note.get(), false, Progress.get()));
    EXPECT_EQ(Progress->Position(), 4u);
    RawBytes Saved = FileBytes(Path);
    EXPECT_EQ(Saved.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?><objects><o>", 0), 0u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(FFolder), {}), 1);
    if (Testing::HaveTool("xmllint"))
        EXPECT_EQ(Testing::RunTool({ "xmllint", "--noout", "--nonet", Path.string() }).ExitCode, 0);

    TOwnedPtr<TXfNote> Copy(New<TXfNote>());
    Progress->SetPosition(0);
    ASSERT_TRUE(FilerLoadFromFile(Name, TXMLFiler::StaticClass(), Copy.get(), false, Progress.get()));
    EXPECT_EQ(Progress->Position(), 4u);
    EXPECT_EQ(Copy->Title(), Note->Title());
    EXPECT_EQ(Copy->Lines()->Text(), u"one\r\ntwo\r\n");
}

TEST_F(XMLFiler, DamagedOrHostileDocumentsFailToRead)
{
    const RawBytes Cases[] = {
        "<?xml version=\"1.0\"?><!DOCTYPE objects [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
        "<objects><o><p name=\"Title\">&x;</p></o></objects>",
        "<objects><o><p name=\"Title\">cut",
        "object Note: TXfNote\r\nend\r\n",
        "<notobjects><o><p name=\"Title\">x</p></o></notobjects>",
        "<objects><o><p name=\"Title\">x</p></o></objects><objects/>",
    };
    for (const RawBytes& Data : Cases) {
        SCOPED_TRACE(Data);
        TOwnedPtr<TXfNote> Note(New<TXfNote>());
        Note->SetTitle(u"kept");
        EXPECT_FALSE(FilerLoadFromString(Data, TXMLFiler::StaticClass(), Note.get(), false, nullptr));
        EXPECT_EQ(GetXErrorCode(), xecReadFailed);
        EXPECT_EQ(Note->Title(), u"kept");
    }
}

}
