// The application wizard under temporary XDG folders and program folder:
// the data folder in every mode, the start sequence on the manual clock,
// the settings binding, language files made by TXLgFiler (and damaged
// copies of them), and the language menu and combo box.
#include "core/XClasses.h"
#include "core/XCore.Errors.h"
#include "core/XCore.IO.h"
#include "core/XCore.Locale.h"
#include "core/XCore.Qi.CRC.h"
#include "core/XCore.QStream.h"
#include "core/XIni.h"
#include "core/XSpark.App.h"
#include "core/XSpark.AppWizard.h"
#include "core/XSpark.Lg.English.h"
#include "core/XSpark.Lg.Filers.h"
#include "rtl/StrUtils.h"
#include "rtl/StringList.h"
#include "rtl/testing/Testing.h"
#include "vcl/Menus.h"
#include "vcl/StdCtrls.h"
#include "win/RegistryKeys.h"
#include "win/SystemFolders.h"
#include "win/Time.h"
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using Testing::TScopedEnv;
using Testing::TTempFolder;
using Testing::U8;

namespace {

const String WizardKey = u"Quorvale\\Lumeno";
constexpr Cardinal TestAppID = 6001;
constexpr Cardinal TestAppVer = 600;
// A word every test language has: its own greeting.
constexpr Cardinal GreetingWord = 0x80000100u;

// The program's published handlers.
class TWizardSink : public TComponent {
    X_CLASS(TWizardSink, TComponent)
public:
    std::vector<std::string> Log;

    void StartApp(TObject*) { Log.push_back("start"); }
    void InitApp(TObject*) { Log.push_back("init"); }
    void LoadIni(TObject*) { Log.push_back("load ini"); }
    void SaveIni(TObject*) { Log.push_back("save ini"); }
    void LoadData(TObject*) { Log.push_back("load data"); }
    void LanguageChanged(TObject*) { Log.push_back("language " + std::to_string(GetCurrentLgID())); }

    void Bind(TXNotifyEvent& Event, const char16_t* Name)
    {
        Event.SetMethod({ MethodAddress(StaticClass(), Name), this });
    }
};

// Counts how often the windows would re-caption.
struct TRecaptions {
    Integer Count = 0;
    void Recaption() { ++Count; }
    TXAnyProcedure Proc() { return TXAnyProcedure::Method<&TRecaptions::Recaption>(this); }
};

// A language file of the test identity with its greeting and a help text.
TOwnedPtr<TMemoryStream> LanguageStream(const String& Name, Cardinal LgID, Cardinal AppID = TestAppID)
{
    TOwnedPtr<TXLgProject> Project(New<TXLgProject>());
    Project->SetName(Name);
    Project->SetLgID(LgID);
    Project->SetAppID(AppID);
    Project->SetAppVer(TestAppVer);
    const UTF8String Words = MakeWordTableText({ { 1, IntToStr(Integer(LgID)) }, { GreetingWord, u"Hello " + Name } });
    Project->Words()->WriteBuffer(Words.data(), Int64(Words.size()));
    TXBI* Help = Project->Streams()->Add();
    Help->SetDisplayName(u"Help");
    const std::string HelpText = "Help of " + U8(Name);
    TOwnedPtr<TBytesStream> Source(New<TBytesStream>(std::vector<Byte>(HelpText.begin(), HelpText.end())));
    EXPECT_TRUE(Help->Data()->LoadFromStream(u".txt", Source.get()));
    TOwnedPtr<TMemoryStream> Stream(New<TMemoryStream>());
    EXPECT_TRUE(FilerSaveToStream(Stream.get(), TXLgFiler::StaticClass(), Project.get(), false, nullptr));
    return Stream;
}

String HelpText()
{
    TMemoryStream* Help = Lg()->GetStream(u"Help");
    return UTF8ToString(std::string_view(static_cast<const char*>(Help->Memory()), size_t(Help->Size())));
}

class AppWizardTest : public testing::Test {
protected:
    TManualClock Clock;
    TTempFolder Temp;
    TScopedEnv ConfigHome { "XDG_CONFIG_HOME", (Temp.Path() / "config").string() };
    TScopedEnv DataHome { "XDG_DATA_HOME", (Temp.Path() / "data").string() };
    const String SavedProgramFolder = QVApp()->ProgramFolder();
    const Integer ParamCount = QVParams()->Params()->Count();
    String ProgramFolder = Temp.File("program") + u"/";
    String DefaultRoot = IncludePathDelimiter(GetAppDataDirectory()) + u"Quorvale/Desktop";
    TOwnedPtr<TWizardSink> Sink { New<TWizardSink>(nullptr) };

    void SetUp() override
    {
        SetRegistryFolder({});
        fs::create_directories(Temp / "program");
        QVApp()->SetProgramFolder(ProgramFolder);
        AppDataRoot = DefaultRoot;
        PortableMode = DemoMode = false;
    }
    void TearDown() override
    {
        QVApp()->SetProgramFolder(SavedProgramFolder);
        QVApp()->SetDataFolder({});
        while (QVParams()->Params()->Count() > ParamCount)
            QVParams()->Params()->Delete(QVParams()->Params()->Count() - 1);
        AppDataRoot.clear();
        PortableMode = DemoMode = false;
        Lg()->Clear();
        SetRegistryFolder({});
    }

    TOwnedPtr<TXAppWizard> NewWizard()
    {
        TOwnedPtr<TXAppWizard> W(New<TXAppWizard>(nullptr));
        W->SetRegKey(WizardKey);
        W->LanguageAppID = TestAppID;
        W->LanguageAppVer = TestAppVer;
        return W;
    }
    void SetDemo(bool On)
    {
        const Integer I = QVParams()->Params()->IndexOf(u"/demo");
        if (On && I < 0)
            QVParams()->Params()->Add(u"/demo");
        else if (!On && I >= 0)
            QVParams()->Params()->Delete(I);
    }
    void WriteCard(const char* Text)
    {
        if (Text)
            std::ofstream(Temp / "program" / "card.ini") << Text;
        else
            fs::remove(Temp / "program" / "card.ini");
    }
    // The registry as it would be on a new machine.
    void ForgetRegistry()
    {
        fs::remove_all(Temp / "config");
        SetRegistryFolder({});
    }
    bool RegistryFileExists() const { return fs::exists(Temp / "config" / "quorvale" / "registry.txt"); }
};

}

X_PUBLISHED(TWizardSink)
{
    X_METHOD(StartApp);
    X_METHOD(InitApp);
    X_METHOD(LoadIni);
    X_METHOD(SaveIni);
    X_METHOD(LoadData);
    X_METHOD(LanguageChanged);
}
X_REGISTER_CLASS(TWizardSink)

TEST_F(AppWizardTest, TheDataFolderInEveryMode)
{
    const String Elsewhere = Temp.File("elsewhere") + u"/";
    struct TCase {
        const char* Name;
        const char* Card; // card.ini beside the program; null: none
        bool Demo;
        String Stored; // "DataFolder" before the start
        String Root;
        bool AllowReadOnly;
        // What the start gives:
        bool Ok;
        bool Portable;
        bool DemoMode;
        String Folder;
        String StoredAfter;
        bool ReadOnly;
    };
    const String Root = DefaultRoot + u"/";
    const TCase Cases[] = {
        { "CardMode 0", "CardMode=0\n", false, {}, DefaultRoot, false, true, false, false, Root, Root, false },
        { "CardMode not a number", "CardMode=yes\n", false, {}, DefaultRoot, false, true, false, false, Root, Root,
            false },
        { "no CardMode", "[Card]\nOther=1\n", false, {}, DefaultRoot, false, true, false, false, Root, Root, false },
        { "CardMode 2 with blanks", "[Card]\nCardMode= 2 \n", false, {}, DefaultRoot, false, true, true, false,
            ProgramFolder, {}, false },
        { "portable with /demo", "CardMode=1\n", true, {}, DefaultRoot, false, true, true, false, ProgramFolder, {},
            false },
        { "demo", nullptr, true, {}, DefaultRoot, false, true, false, true, DefaultRoot + u"demo/", {}, false },
        { "stored folder read back", nullptr, false, Elsewhere, DefaultRoot, false, true, false, false, Elsewhere,
            Elsewhere, false },
        { "stored folder cannot be made", nullptr, false, u"/proc/quorvale-none/", DefaultRoot, false, false, false,
            false, {}, u"/proc/quorvale-none/", false },
        { "stored folder read-only, allowed", nullptr, false, u"/proc/self/", DefaultRoot, true, true, false, false,
            u"/proc/self/", u"/proc/self/", true },
        { "stored folder read-only", nullptr, false, u"/proc/self/", DefaultRoot, false, false, false, false, {},
            u"/proc/self/", false },
        { "stored relative folder", nullptr, false, u"data/", DefaultRoot, false, false, false, false, {}, u"data/",
            false },
        { "empty root", nullptr, false, {}, {}, false, false, false, false, {}, {}, false },
        { "relative root", nullptr, false, {}, u"Quorvale/Desktop", false, false, false, false, {}, {}, false },
        { "demo with an empty root", nullptr, true, {}, {}, false, false, false, true, {}, {}, false },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        ForgetRegistry();
        WriteCard(C.Card);
        SetDemo(C.Demo);
        AppDataRoot = C.Root;
        if (!C.Stored.empty())
            WriteRegistryDataFolder(WizardKey, C.Stored);
        auto Wizard = NewWizard();
        Wizard->SetAllowReadOnly(C.AllowReadOnly);
        QVApp()->SetDataFolder(u"/stale/");
        EXPECT_EQ(Wizard->SetupDataFolder(), C.Ok);
        EXPECT_EQ(PortableMode, C.Portable);
        EXPECT_EQ(DemoMode, C.DemoMode);
        EXPECT_EQ(U8(QVApp()->DataFolder()), U8(C.Folder));
        EXPECT_EQ(U8(ReadRegistryDataFolder(WizardKey)), U8(C.StoredAfter));
        EXPECT_EQ(Wizard->ReadOnlyData(), C.ReadOnly);
        if (C.Ok)
            EXPECT_TRUE(fs::is_directory(U8(C.Folder)));
        // Neither portable nor demo mode goes near the registry.
        if (C.Portable || C.DemoMode)
            EXPECT_FALSE(RegistryFileExists());
    }
    // The demo folder was never made in the current folder.
    EXPECT_FALSE(fs::exists("demo"));
}

TEST_F(AppWizardTest, AFirstStartStoresTheDefaultFolderAndALaterOneReadsItBack)
{
    auto Wizard = NewWizard();
    ASSERT_TRUE(Wizard->SetupDataFolder());
    const String First = QVApp()->DataFolder();
    EXPECT_EQ(First, DefaultRoot + u"/");
    AppDataRoot = Temp.File("moved");
    auto Later = NewWizard();
    ASSERT_TRUE(Later->SetupDataFolder());
    EXPECT_EQ(QVApp()->DataFolder(), First);
    // SaveAll stores it again; portable mode would not.
    WriteRegistryDataFolder(WizardKey, u"/somewhere/");
    Later->SaveAll();
    EXPECT_EQ(ReadRegistryDataFolder(WizardKey), First);
    PortableMode = true;
    WriteRegistryDataFolder(WizardKey, u"/somewhere/");
    Later->SaveAll();
    EXPECT_EQ(ReadRegistryDataFolder(WizardKey), u"/somewhere/");
}

TEST_F(AppWizardTest, TheStartRaisesItsEventsInOrderAndLoadsDataFromTheLoop)
{
    TOwnedPtr<TMemoryStream> English(NewEnglishLanguageStream(TestAppID, TestAppVer));
    auto Wizard = NewWizard();
    Wizard->AddLanguageStream(English.get());
    Sink->Bind(Wizard->OnStartApp, u"StartApp");
    Sink->Bind(Wizard->OnInitApp, u"InitApp");
    Sink->Bind(Wizard->OnLoadIni, u"LoadIni");
    Sink->Bind(Wizard->OnLoadData, u"LoadData");
    Sink->Bind(Wizard->OnLanguageChanged, u"LanguageChanged");
    ASSERT_TRUE(Wizard->Start());
    EXPECT_EQ(Sink->Log, (std::vector<std::string> { "start", "init", "load ini", "language 9" }));
    EXPECT_EQ(Lg()->GetWord(2164265694u), u"Error");
    Clock.Advance(99);
    Application->ProcessMessages();
    EXPECT_EQ(Sink->Log.size(), 4u);
    Clock.Advance(1);
    Application->ProcessMessages();
    EXPECT_EQ(Sink->Log.back(), "load data");

    // A wizard freed before its 100 ms takes its LoadData with it.
    Sink->Log.clear();
    auto Short = NewWizard();
    Sink->Bind(Short->OnLoadData, u"LoadData");
    ASSERT_TRUE(Short->Start());
    Short.reset();
    Clock.Advance(200);
    Application->ProcessMessages();
    EXPECT_TRUE(Sink->Log.empty());

    // A start that finds no data folder raises nothing after OnInitApp.
    AppDataRoot.clear();
    ForgetRegistry();
    auto Failing = NewWizard();
    Sink->Bind(Failing->OnInitApp, u"InitApp");
    Sink->Bind(Failing->OnLoadIni, u"LoadIni");
    Sink->Bind(Failing->OnLoadData, u"LoadData");
    EXPECT_FALSE(Failing->Start());
    Clock.Advance(200);
    Application->ProcessMessages();
    EXPECT_EQ(Sink->Log, std::vector<std::string> { "init" });
    EXPECT_EQ(QVApp()->DataFolder(), u"");
}

TEST_F(AppWizardTest, SettingsLanguageAndFirstRun)
{
    const String FileName = u"<data>lumeno.ini";
    const auto Start = [&](TXIni* Settings) {
        auto Wizard = NewWizard();
        Wizard->SetIni(Settings);
        EXPECT_TRUE(Wizard->SetupDataFolder());
        Wizard->LoadIni();
        return Wizard;
    };
    TOwnedPtr<TXRIni> Settings(New<TXRIni>(nullptr));
    Settings->FileName = FileName;
    WriteRegistryLgID(WizardKey, 9);
    auto Wizard = Start(Settings.get());
    EXPECT_TRUE(Wizard->FirstRun());
    EXPECT_EQ(Wizard->RememberedLgID, 9u);

    // The file's lgID wins over the registry's.
    Settings->SetlgID(7);
    ASSERT_TRUE(Settings->SaveToFile(ExpandPathMacros(FileName), false));
    Wizard = Start(Settings.get());
    EXPECT_FALSE(Wizard->FirstRun());
    EXPECT_EQ(Wizard->RememberedLgID, 7u);

    // A file without lgID keeps the registry's.
    WriteRegistryLgID(WizardKey, 12);
    std::ofstream(U8(ExpandPathMacros(FileName))) << "object Settings: TXRIni\n  DocVer = 3\nend\n";
    Wizard = Start(Settings.get());
    EXPECT_EQ(Settings->DocVer(), 3);
    EXPECT_EQ(Wizard->RememberedLgID, 12u);

    // Demo mode: its own folder, a first run there, no registry.
    SetDemo(true);
    ForgetRegistry();
    Wizard = Start(Settings.get());
    EXPECT_TRUE(DemoMode);
    EXPECT_TRUE(Wizard->FirstRun());
    EXPECT_EQ(QVApp()->DataFolder(), DefaultRoot + u"demo/");
    Wizard = Start(nullptr);
    EXPECT_TRUE(Wizard->FirstRun());
    EXPECT_FALSE(RegistryFileExists());
}

TEST_F(AppWizardTest, ChangedSettingsAreSavedWhileBoundWhicheverSideGoesFirst)
{
    TOwnedPtr<TMemoryStream> English(NewEnglishLanguageStream(TestAppID, TestAppVer));
    TOwnedPtr<TXRIni> Settings(New<TXRIni>(nullptr));
    Settings->FileName = u"<data>lumeno.ini";
    auto Wizard = NewWizard();
    Wizard->AddLanguageStream(English.get());
    Sink->Bind(Wizard->OnSaveIni, u"SaveIni");
    Wizard->SetIni(Settings.get());
    ASSERT_TRUE(Wizard->SetupDataFolder());
    Wizard->LoadSavedLanguage();
    WriteRegistryLgID(WizardKey, 0);

    Settings->Changed();
    EXPECT_EQ(Sink->Log, std::vector<std::string> { "save ini" });
    const String Saved = ExpandPathMacros(Settings->FileName);
    EXPECT_TRUE(FileExistsCheck(Saved));
    EXPECT_EQ(ReadRegistryLgID(WizardKey), 9u);

    // Portable mode writes no "LgID" either.
    WriteRegistryLgID(WizardKey, 0);
    PortableMode = true;
    Settings->Changed();
    EXPECT_EQ(ReadRegistryLgID(WizardKey), 0u);
    PortableMode = false;

    // The wizard goes first: nothing reaches it any more.
    Wizard.reset();
    Settings->Changed();
    EXPECT_EQ(Sink->Log.size(), 2u);

    // The settings go first: the wizard forgets them.
    auto Other = NewWizard();
    Other->SetIni(Settings.get());
    Settings.reset();
    EXPECT_EQ(Other->Settings(), nullptr);
    Other->SaveIni();
}

TEST_F(AppWizardTest, LanguagesAreShownEnglishFirstThenByName)
{
    TOwnedPtr<TMemoryStream> English(NewEnglishLanguageStream(TestAppID, TestAppVer));
    auto German = LanguageStream(u"German", 7);
    auto French = LanguageStream(u"French", 12);
    auto SecondGerman = LanguageStream(u"Swiss German", 7);
    auto Foreign = LanguageStream(u"Svenska", 29, 7000);
    TOwnedPtr<TMemoryStream> Empty(New<TMemoryStream>());
    auto Wizard = NewWizard();
    for (TStream* S : { static_cast<TStream*>(English.get()), static_cast<TStream*>(German.get()),
             static_cast<TStream*>(French.get()) })
        Wizard->AddLanguageStream(S);
    // The same language again, another program's and nothing are left out.
    Wizard->AddLanguageStream(SecondGerman.get());
    Wizard->AddLanguageStream(Empty.get());
    ClearXError();
    Wizard->AddLanguageStream(Foreign.get());
    EXPECT_EQ(GetXErrorCode(), xecReadFailed);
    ASSERT_EQ(Wizard->Languages()->Count(), 3);
    std::vector<std::string> Names;
    for (Integer I = 0; I < Wizard->ShownLanguages()->Count(); ++I)
        Names.push_back(U8(Wizard->ShownLanguages()->Items(I)->Name()));
    EXPECT_EQ(Names, (std::vector<std::string> { "English", "French", "German" }));

    // A saved German loads German, with its words and streams.
    Wizard->RememberedLgID = 7;
    EXPECT_TRUE(Wizard->LoadSavedLanguage());
    EXPECT_EQ(GetCurrentLgID(), 7u);
    EXPECT_EQ(Lg()->GetWord(GreetingWord), u"Hello German");
    EXPECT_EQ(HelpText(), u"Help of German");
    // The caller's stream stays as it was.
    EXPECT_EQ(Testing::StreamBytes(German.get()), Testing::StreamBytes(LanguageStream(u"German", 7).get()));

    // Preferred languages narrow the list.
    Wizard->PreferredLanguages()->Add(u"12");
    Wizard->PreferredLanguages()->Add(u"9999");
    Wizard->RefreshLanguageList();
    ASSERT_EQ(Wizard->ShownLanguages()->Count(), 1);
    EXPECT_EQ(Wizard->ShownLanguages()->Items(0)->LgID(), 12u);
    EXPECT_FALSE(Wizard->LoadLanguage(1));
    EXPECT_FALSE(Wizard->LoadLanguage(-1));
}

TEST_F(AppWizardTest, DamagedLanguageFilesFallBackToTheBuiltInLanguage)
{
    const Testing::Bytes Good = Testing::StreamBytes(LanguageStream(u"German", 7).get());
    // Where the first stream item's header lies in the file.
    Int64 ItemHeader = 0;
    {
        auto Source = MakeOwned<TBytesStream>(Good);
        auto C = MakeOwned<TXQStream>();
        ASSERT_TRUE(C->OpenStream(xroRead, Source.get(), false, nullptr, 0));
        TXRGroupObject* Group = C->Groups()->SelectGroup(u"Language");
        ASSERT_TRUE(Group && Group->Headers->Count() == 2);
        ItemHeader = Group->Headers->Items(1)->Offset;
    }
    struct TCase {
        const char* Name;
        std::function<Testing::Bytes()> Make;
    };
    const TCase Cases[] = {
        { "other identity", [] { return Testing::StreamBytes(LanguageStream(u"German", 7, TestAppID + 1).get()); } },
        { "truncated", [&] { return Testing::Bytes(Good.begin(), Good.begin() + Good.size() * 2 / 3); } },
        { "item counts past the end",
            [&] {
                // The item header claims 65535 resources; its CRC is made
                // right, so only the count is wrong.
                Testing::Bytes B = Good;
                const size_t At = size_t(ItemHeader);
                B[At + 26] = 0xFF;
                B[At + 27] = 0xFF;
                Cardinal CRC = 0;
                CRC32OfBuffer(CRC, B.data() + At + 8, 28);
                std::memcpy(B.data() + At + 4, &CRC, 4);
                return B;
            } },
        { "missing", [] { return Testing::Bytes(); } },
    };
    TOwnedPtr<TMemoryStream> English(NewEnglishLanguageStream(TestAppID, TestAppVer));
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const fs::path File = Temp / "German.lng";
        fs::remove(File);
        if (const Testing::Bytes B = C.Make(); !B.empty())
            Testing::WriteFileBytes(File, B);
        auto Wizard = NewWizard();
        TOwnedPtr<TMenuItem> Menu(New<TMenuItem>(nullptr));
        Wizard->AddLanguageStream(English.get());
        auto* German = New<TXLgHeader>();
        German->SetName(u"German");
        German->SetLgID(7);
        German->FileName = String(File.u16string());
        Wizard->Languages()->Add(German);
        Wizard->RefreshLanguageList();
        Wizard->AddLanguageControl(Menu.get());
        ASSERT_EQ(U8(Wizard->ShownLanguages()->Items(1)->Name()), "German");
        // The built-in language read whole.
        EXPECT_TRUE(Wizard->LoadLanguage(1));
        EXPECT_EQ(GetCurrentLgID(), 9u);
        EXPECT_EQ(Lg()->GetWord(2164265694u), u"Error");
        EXPECT_TRUE(Menu->Items(0)->Checked());
        EXPECT_FALSE(Menu->Items(1)->Checked());
    }
    // The good file itself loads.
    Testing::WriteFileBytes(Temp / "German.lng", Good);
    auto Wizard = NewWizard();
    auto* German = New<TXLgHeader>();
    German->SetLgID(7);
    German->FileName = Temp.File("German.lng");
    Wizard->Languages()->Add(German);
    Wizard->RefreshLanguageList();
    EXPECT_TRUE(Wizard->LoadLanguage(0));
    EXPECT_EQ(Lg()->GetWord(GreetingWord), u"Hello German");
}

TEST_F(AppWizardTest, WithoutABuiltInLanguageAFailedLoadLeavesTheLanguageEmpty)
{
    auto Wizard = NewWizard();
    TOwnedPtr<TMenuItem> Menu(New<TMenuItem>(nullptr));
    TOwnedPtr<TComboBox> Combo(New<TComboBox>(nullptr));
    auto* Missing = New<TXLgHeader>();
    Missing->SetName(u"Nowhere");
    Missing->SetLgID(7);
    Missing->FileName = Temp.File("none.lng");
    Wizard->Languages()->Add(Missing);
    Wizard->RefreshLanguageList();
    Wizard->AddLanguageControl(Menu.get());
    Wizard->AddLanguageControl(Combo.get());
    Lg()->LoadWordsFromStream(LanguageStream(u"x", 5).get(), true);
    EXPECT_FALSE(Wizard->LoadLanguage(0));
    EXPECT_EQ(Lg()->Words()->Count(), 0);
    EXPECT_EQ(Lg()->GetWord(GreetingWord), u"");
    EXPECT_FALSE(Menu->Items(0)->Checked());
    EXPECT_EQ(Combo->ItemIndex(), 0);
}

TEST_F(AppWizardTest, TheMenuAndComboAreFilledAndAClickLoadsAndRecaptionsOnce)
{
    TOwnedPtr<TMemoryStream> English(NewEnglishLanguageStream(TestAppID, TestAppVer));
    auto German = LanguageStream(u"German", 7);
    auto French = LanguageStream(u"French", 12);
    auto Wizard = NewWizard();
    Sink->Bind(Wizard->OnLanguageChanged, u"LanguageChanged");
    TOwnedPtr<TMenuItem> Menu(New<TMenuItem>(nullptr));
    TOwnedPtr<TComboBox> Combo(New<TComboBox>(nullptr));
    Wizard->AddLanguageControl(Menu.get());
    Wizard->AddLanguageControl(Combo.get());
    for (TStream* S : { static_cast<TStream*>(English.get()), static_cast<TStream*>(German.get()),
             static_cast<TStream*>(French.get()) })
        Wizard->AddLanguageStream(S);
    ASSERT_TRUE(Wizard->LoadSavedLanguage());

    ASSERT_EQ(Menu->Count(), 3);
    std::vector<std::string> Captions;
    for (Integer I = 0; I < Menu->Count(); ++I) {
        Captions.push_back(U8(Menu->Items(I)->Caption()));
        EXPECT_TRUE(Menu->Items(I)->RadioItem());
    }
    EXPECT_EQ(Captions, (std::vector<std::string> { "English", "French", "German" }));
    EXPECT_EQ(Combo->Items()->CommaText(), u"English,French,German");
    EXPECT_TRUE(Menu->Items(0)->Checked());
    EXPECT_EQ(Combo->ItemIndex(), 0);

    TRecaptions Recaptions;
    RegisterLanguageListener(Recaptions.Proc());
    Recaptions.Count = 0;
    Sink->Log.clear();
    Menu->Items(2)->Click();
    EXPECT_EQ(GetCurrentLgID(), 7u);
    EXPECT_EQ(Recaptions.Count, 1);
    EXPECT_EQ(Sink->Log, std::vector<std::string> { "language 7" });
    EXPECT_TRUE(Menu->Items(2)->Checked());
    EXPECT_FALSE(Menu->Items(0)->Checked());
    EXPECT_EQ(Combo->ItemIndex(), 2);

    // The combo box: its change loads what it shows.
    Combo->SetItemIndex(1);
    Combo->OnChange(Combo.get());
    EXPECT_EQ(GetCurrentLgID(), 12u);
    EXPECT_EQ(Recaptions.Count, 2);
    EXPECT_TRUE(Menu->Items(1)->Checked());

    // Once the wizard is gone its controls call nothing.
    Wizard.reset();
    EXPECT_FALSE(Combo->OnChange);
    Menu->Items(0)->Click();
    EXPECT_EQ(GetCurrentLgID(), 12u);
    UnregisterLanguageListener(Recaptions.Proc());
}

TEST_F(AppWizardTest, TheBuiltInEnglishIsALanguageFileOfTheProgram)
{
    TOwnedPtr<TMemoryStream> English(NewEnglishLanguageStream(7000, 500));
    ASSERT_TRUE(English);
    TOwnedPtr<TXLgProject> Project(New<TXLgProject>());
    Project->SetAppID(7000);
    Project->SetAppVer(500);
    ASSERT_TRUE(FilerLoadFromStream(English.get(), TXLgFiler::StaticClass(), Project.get(), false, nullptr));
    EXPECT_EQ(Project->Name(), u"English");
    EXPECT_EQ(Project->LgID(), 9u);
    TOwnedPtr<TXLg> Language(New<TXLg>());
    ASSERT_TRUE(Language->LoadWordsFromStream(Project->Words(), true));
    EXPECT_EQ(Language->GetLgID(), 9u);
    for (const TXEnglishWord& W : EnglishWords())
        EXPECT_EQ(U8(Language->GetWord(W.Id)), W.Text);
    // Another program's identity does not read it.
    Project->SetAppID(6001);
    EXPECT_FALSE(FilerLoadFromStream(English.get(), TXLgFiler::StaticClass(), Project.get(), false, nullptr) &&
        GetXErrorCode() == 0);
}
