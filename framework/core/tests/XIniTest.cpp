// Settings files: the XML form written indented (compressed or plain), the
// text form of other components, safe replacement of the file, and the
// update counter that makes one save of many edits.
#include "core/XCore.Engine.Aspects.h"
#include "core/XCore.Errors.h"
#include "core/XIni.h"
#include "rtl/Streams.h"
#include "rtl/StrUtils.h"
#include "rtl/TypInfo.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

using namespace Testing;

class TIniFont : public TPersistent {
    X_CLASS(TIniFont, TPersistent)
public:
    Integer Size() const { return FSize; }
    void SetSize(Integer V) { FSize = V; }

private:
    Integer FSize = 0;
};

class TFileIni : public TXRIni {
    X_CLASS(TFileIni, TXRIni)
public:
    using inherited::Create;
    void Create(TComponent* AOwner) override
    {
        FFont = MakeOwned<TIniFont>();
        inherited::Create(AOwner);
    }
    void SetDefaults() override
    {
        inherited::SetDefaults();
        FWidth = 640;
        FFont->SetSize(9);
    }
    void AfterLoad() override
    {
        ++Loads;
        if (RaiseInSteps)
            throw Exception(u"after load");
    }
    void BeforeSave() override
    {
        ++Saves;
        if (RaiseInSteps)
            throw Exception(u"before save");
    }

    Integer Width() const { return FWidth; }
    void SetWidth(Integer V) { FWidth = V; }
    TIniFont* Font() const { return FFont.get(); }

    Integer Loads = 0, Saves = 0;
    bool RaiseInSteps = false;

private:
    Integer FWidth = 0;
    TOwnedPtr<TIniFont> FFont;
};

} // namespace

X_PUBLISHED(TIniFont)
{
    X_PROP(Size, Size, SetSize);
}
X_PUBLISHED(TFileIni)
{
    X_PROP(Width, Width, SetWidth);
    X_PROP_READONLY(Font, Font);
}
X_REGISTER_CLASS(TIniFont)
X_REGISTER_CLASS(TFileIni)

namespace {

class SettingsFiles : public testing::Test {
protected:
    TTempFolder Folder { "settings-files" };
    const String File = Folder.File("lumeno.ini");

    static TOwnedPtr<TFileIni> NewIni(const String& Name = u"Settings")
    {
        TOwnedPtr<TFileIni> Ini(New<TFileIni>(static_cast<TComponent*>(nullptr)));
        Ini->SetName(Name);
        Ini->SetDefaults();
        return Ini;
    }
    static Bytes BytesOf(const std::string& Text) { return Bytes(Text.begin(), Text.end()); }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> Out;
        for (const auto& Entry : fs::directory_iterator(Folder.Path()))
            Out.push_back(Entry.path().filename().string());
        std::sort(Out.begin(), Out.end());
        return Out;
    }
};

} // namespace

TEST_F(SettingsFiles, CompressedAndPlainFilesLoadAlike)
{
    for (bool Compressed : { true, false }) {
        SCOPED_TRACE(Compressed ? "compressed" : "plain");
        auto Saved = NewIni();
        Saved->SetWidth(1280);
        Saved->SetlgID(1031);
        Saved->SetDocType(u"Kalender <&> \"Ü\"");
        Saved->Font()->SetSize(14);
        ASSERT_TRUE(Saved->SaveToFile(File, Compressed));
        EXPECT_EQ(Saved->Saves, 1);
        const Bytes Data = ReadFileBytes(Folder / "lumeno.ini");
        ASSERT_GT(Data.size(), 2u);
        if (Compressed) {
            // A zlib stream.
            EXPECT_EQ(Data[0], 0x78);
        } else {
            const std::string Xml(Data.begin(), Data.end());
            EXPECT_EQ(Xml.rfind("<?xml", 0), 0u) << Xml;
            EXPECT_NE(Xml.find("\n  <o name=\"Settings\">"), std::string::npos) << Xml;
            EXPECT_NE(Xml.find("<o name=\"Font\">"), std::string::npos) << Xml;
            if (HaveTool("xmllint"))
                EXPECT_EQ(RunTool({ "xmllint", "--noout", "--nonet", (Folder / "lumeno.ini").string() }).ExitCode, 0);
        }
        auto Loaded = NewIni(u"Other");
        EXPECT_TRUE(Loaded->LoadFromFile(File));
        EXPECT_EQ(Loaded->Loads, 1);
        EXPECT_EQ(Loaded->Width(), 1280);
        EXPECT_EQ(Loaded->lgID(), 1031u);
        EXPECT_EQ(Loaded->DocType(), u"Kalender <&> \"Ü\"");
        EXPECT_EQ(Loaded->Font()->Size(), 14);
        EXPECT_EQ(Loaded->Name(), u"Other");
    }
}

// The class library's text form, written by another component under
// another name (or by one without a name), reads into this one.
TEST_F(SettingsFiles, TheTextFormOfAnotherClassAndName)
{
    const std::string Bodies[] = {
        "object OldSettings: TOldIni\r\n",
        "object TOldIni\n",
        "\xEF\xBB\xBFobject OldSettings: TOldIni\r\n",
    };
    for (const std::string& First : Bodies) {
        SCOPED_TRACE(First);
        WriteFileBytes(Folder / "lumeno.ini",
            BytesOf(First + "  Width = 1024\r\n  lgID = 7\r\n  DocType = 'old'\r\n  Font.Size = 11\r\nend\r\n"));
        for (const String& Name : { String(u"Settings"), String() }) {
            auto Ini = NewIni(Name);
            EXPECT_TRUE(Ini->LoadFromFile(File));
            EXPECT_EQ(Ini->Width(), 1024);
            EXPECT_EQ(Ini->lgID(), 7u);
            EXPECT_EQ(Ini->DocType(), u"old");
            EXPECT_EQ(Ini->Font()->Size(), 11);
            EXPECT_EQ(Ini->Name(), Name);
        }
    }
}

TEST_F(SettingsFiles, MissingDamagedOrUnusableFilesLeaveTheDefaults)
{
    ASSERT_EQ(::mkfifo((Folder / "pipe.ini").c_str(), 0600), 0);
    WriteFileBytes(Folder / "damaged.ini", BytesOf("\x78\x9C garbage that is no zlib stream"));
    // A relative name would be a file of whatever folder the program runs in.
    const String Names[] = { Folder.File("missing.ini"), Folder.File("damaged.ini"), Folder.File("pipe.ini"),
        Folder.File(""), u"lumeno.ini", u"" };
    for (const String& Name : Names) {
        SCOPED_TRACE(StringToUTF8(Name));
        auto Ini = NewIni();
        EXPECT_FALSE(Ini->LoadFromFile(Name));
        EXPECT_EQ(Ini->Loads, 1);
        EXPECT_EQ(Ini->Width(), 640);
        EXPECT_EQ(Ini->lgID(), 9u);
    }
    auto Ini = NewIni();
    EXPECT_FALSE(Ini->SaveToFile(u"lumeno.ini", false));
    EXPECT_FALSE(fs::exists(fs::current_path() / "lumeno.ini"));
}

// The file is replaced whole: an older temporary file of that name stays
// as it is, a read-only file is replaced (keeping its permissions), and
// nothing else is left behind.
TEST_F(SettingsFiles, SavesReplaceTheFileWhole)
{
    WriteFileBytes(Folder / "lumeno.tmp", BytesOf("older temporary file"));
    WriteFileBytes(Folder / "lumeno.ini", BytesOf("previous settings"));
    fs::permissions(Folder / "lumeno.ini", fs::perms::owner_read | fs::perms::group_read);
    auto Ini = NewIni();
    Ini->SetWidth(800);
    ASSERT_TRUE(Ini->SaveToFile(File, true));
    EXPECT_EQ(ReadFileBytes(Folder / "lumeno.tmp"), BytesOf("older temporary file"));
    EXPECT_EQ(Names(), (std::vector<std::string> { "lumeno.ini", "lumeno.tmp" }));
    EXPECT_EQ(fs::status(Folder / "lumeno.ini").permissions() & fs::perms::all,
        fs::perms::owner_read | fs::perms::group_read);
    auto Loaded = NewIni();
    EXPECT_TRUE(Loaded->LoadFromFile(File));
    EXPECT_EQ(Loaded->Width(), 800);

    // A missing folder is made.
    EXPECT_TRUE(Ini->SaveToFile(Folder.File("new/deeper/lumeno.ini"), false));
    EXPECT_TRUE(Loaded->LoadFromFile(Folder.File("new/deeper/lumeno.ini")));
}

// A save that runs out of room (here the file size limit, in a process of
// its own) answers False and keeps the old file.
TEST_F(SettingsFiles, ASaveCutShortKeepsTheOldFile)
{
    if (const char* Target = std::getenv("X_TEST_CUT_SAVE")) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit Limit { 200, 200 };
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &Limit), 0);
        auto Ini = NewIni();
        Ini->SetDocType(String(4000, u'x'));
        ClearXError();
        EXPECT_FALSE(Ini->SaveToFile(UTF8ToString(Target), false));
        EXPECT_EQ(GetXErrorCode(), xecWriteFailed);
        return;
    }
    auto Old = NewIni();
    Old->SetWidth(1111);
    ASSERT_TRUE(Old->SaveToFile(File, true));
    const Bytes Before = ReadFileBytes(Folder / "lumeno.ini");
    const TToolResult Child = RunThisTestWith({ "X_TEST_CUT_SAVE=" + (Folder / "lumeno.ini").string() });
    EXPECT_EQ(Child.ExitCode, 0) << Child.Output;
    EXPECT_EQ(ReadFileBytes(Folder / "lumeno.ini"), Before);
    EXPECT_EQ(Names(), std::vector<std::string> { "lumeno.ini" });
}

// A step of a descendant that raises reaches no caller, on the file and on
// the registry paths alike: the save fails, the load keeps its own answer.
TEST_F(SettingsFiles, RaisingLoadAndSaveStepsStayInside)
{
    const String Key = u"Software\\Quorvale\\SettingsSteps\\";
    auto Good = NewIni();
    Good->SetWidth(1024);
    ASSERT_TRUE(Good->SaveToFile(File, false));
    ASSERT_TRUE(Good->SaveToRegistry(Key));

    struct TPath {
        const char* Name;
        std::function<bool(TFileIni*)> Load, Save;
    };
    const TPath Paths[] = {
        { "file", [&](TFileIni* I) { return I->LoadFromFile(File); }, [&](TFileIni* I) { return I->SaveToFile(File, false); } },
        { "registry", [&](TFileIni* I) { return I->LoadFromRegistry(Key); },
            [&](TFileIni* I) { return I->SaveToRegistry(Key); } },
    };
    for (const TPath& P : Paths) {
        SCOPED_TRACE(P.Name);
        auto Ini = NewIni();
        Ini->RaiseInSteps = true;
        bool Loaded = false, Saved = true;
        EXPECT_NO_THROW(Loaded = P.Load(Ini.get()));
        EXPECT_TRUE(Loaded);
        EXPECT_EQ(Ini->Width(), 1024);
        EXPECT_EQ(Ini->Loads, 1);
        Ini->SetWidth(1);
        EXPECT_NO_THROW(Saved = P.Save(Ini.get()));
        EXPECT_FALSE(Saved);
        EXPECT_EQ(Ini->Saves, 1);
        auto Back = NewIni();
        EXPECT_TRUE(P.Load(Back.get()));
        EXPECT_EQ(Back->Width(), 1024);
    }
}

namespace {
// Saves the settings whenever they announce a change, as the application
// wizard does.
struct TSaver : TObject {
    TFileIni* Ini = nullptr;
    String File;
    void Changed(IXNotification*) { Ini->SaveToFile(File, true); }
};
}

TEST_F(SettingsFiles, NestedUpdatesSaveOnce)
{
    auto Ini = NewIni();
    TSaver Saver;
    Saver.Ini = Ini.get();
    Saver.File = File;
    const auto Handler = TXNotificationHandler::Of<&TSaver::Changed>(&Saver);
    Ini->Subscribe(TXChangedAspect::StaticClass(), Handler);
    Ini->BeginUpdate();
    Ini->SetWidth(1000);
    Ini->BeginUpdate();
    Ini->SetlgID(1036);
    Ini->EndUpdate();
    EXPECT_FALSE(fs::exists(Folder / "lumeno.ini"));
    Ini->EndUpdate();
    EXPECT_EQ(Ini->Saves, 1);
    auto Loaded = NewIni();
    ASSERT_TRUE(Loaded->LoadFromFile(File));
    EXPECT_EQ(Loaded->Width(), 1000);
    EXPECT_EQ(Loaded->lgID(), 1036u);

    // An EndUpdate too many changes nothing, and later updates still save.
    Ini->EndUpdate();
    EXPECT_EQ(Ini->UpdateCount(), 0);
    EXPECT_EQ(Ini->Saves, 1);
    Ini->BeginUpdate();
    Ini->EndUpdate();
    EXPECT_EQ(Ini->Saves, 2);
    Ini->UnsubscribeMethod(Handler);
}
