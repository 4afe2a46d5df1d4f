#include "CalendarTestSupport.h"
#include "calendar_designs/XVData.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <chrono>
#include <filesystem>
#include <sys/stat.h>

using namespace Testing;
using namespace CalendarTesting;
namespace fs = std::filesystem;

namespace {

TOwnedPtr<TXVCalendars> OpenAt(const fs::path& Root)
{
    TOwnedPtr<TXVCalendars> C(New<TXVCalendars>(static_cast<TComponent*>(nullptr)));
    C->OpenStorage(UTF8ToString(Root.string()));
    return C;
}

// Stores a new object of Class at Path.
void StoreObject(TClass Class, const fs::path& Path, const String& Summary = u"stored")
{
    fs::create_directories(Path.parent_path());
    TOwnedPtr<TXCustomVDataObject> O(Construct(static_cast<TXCustomVDataObject*>(Class->NewInstance())));
    O->InitNew(nullptr);
    O->SetFileName(UTF8ToString(Path.string()));
    if (auto* N = DynamicCast<TXCustomVNoteObject>(O.get()))
        N->SetSummary(Summary);
    O->SetState(vsfLoaded, true);
    ASSERT_TRUE(O->TouchAndSave()) << Path;
}

void WriteWithFolders(const fs::path& Path, const Bytes& Data)
{
    fs::create_directories(Path.parent_path());
    WriteFileBytes(Path, Data);
}

Integer RegularFiles(const fs::path& Root)
{
    Integer N = 0;
    for (const auto& E : fs::recursive_directory_iterator(Root))
        N += E.is_regular_file();
    return N;
}

} // namespace

TEST(XVDataStorage, AnEmptyRootGetsItsFoldersAndNoFile)
{
    TTempFolder Folder;
    auto C = OpenAt(Folder / "Calendars");
    for (const char* Sub : { "Calendars/Default", "Calendars/Default/QNotes", "Calendars/Default/Journals",
             "Calendars/Default/Holidays", "Calendars/Default/Events" })
        EXPECT_TRUE(fs::is_directory(Folder / Sub)) << Sub;
    EXPECT_EQ(RegularFiles(Folder.Path()), 0);
    EXPECT_EQ(C->DefaultNotebook()->Tabs()->Count(), 4);
    EXPECT_TRUE(C->QNotesTab()->DefaultQuickNote()->HasState(vsfLoaded));
    EXPECT_EQ(C->HolidaysTab()->GetFolderPath(), Folder.File("Calendars/Default/Holidays/"));
}

TEST(XVDataStorage, TabsAreDiscoveredByTheirFileOrTheirObjects)
{
    TTempFolder Folder;
    const fs::path Default = Folder / "Calendars/Default";
    StoreObject(TXVHolidayObject::StaticClass(), Default / "OnlyHolidays/a.xholiday");
    StoreObject(TXVQuickNoteObject::StaticClass(), Default / "Both/a.xqnote");
    StoreObject(TXVHolidayObject::StaticClass(), Default / "Both/b.xholiday");
    StoreObject(TXVJournalObject::StaticClass(), Default / "Deep/2024/sub/20240101.xjournal");
    StoreObject(TXVEventTabObject::StaticClass(), Default / "Named/Folder.xtab");
    StoreObject(TXVHolidayObject::StaticClass(), Default / "Named/x.xholiday");
    StoreObject(TXVTabObject::StaticClass(), Default / "Unregistered/Folder.xtab");
    StoreObject(TXVHolidayObject::StaticClass(), Default / "Unregistered/y.xholiday");
    WriteWithFolders(Default / "Unknown/readme.txt", { 'x' });
    WriteWithFolders(Default / "Damaged/Folder.xtab", { 'b', 'a', 'd' });
    // Objects in sub-folders of a tab folder belong to that tab.
    StoreObject(TXVHolidayObject::StaticClass(), Default / "Holidays/2024/spring.xholiday", u"Spring");

    auto C = OpenAt(Folder / "Calendars");
    const struct {
        const char16_t* Folder;
        const char16_t* Class; // null: ignored
    } Cases[] = {
        { u"OnlyHolidays", u"TXVHolidayTabObject" },
        { u"Both", u"TXVQuickNoteTabObject" }, // registration order decides
        { u"Deep", u"TXVJournalTabObject" },
        { u"Named", u"TXVEventTabObject" }, // the tab file wins over the objects
        { u"Unregistered", nullptr },
        { u"Unknown", nullptr },
        { u"Damaged", nullptr },
    };
    for (const auto& Case : Cases) {
        TXVTabObject* Tab = C->FindTab(Case.Folder, C->DefaultNotebook());
        EXPECT_EQ(Tab ? U8(Tab->ClassName()) : "ignored", Case.Class ? U8(Case.Class) : "ignored") << U8(Case.Folder);
    }
    ASSERT_EQ(C->HolidaysTab()->Items()->Count(), 1);
    auto* Spring = DynamicCast<TXVHolidayObject>(C->HolidaysTab()->Items()->Items(0));
    EXPECT_EQ(Spring->Summary(), u"Spring");
    EXPECT_TRUE(Spring->HasState(vsfPartlyLoaded));
    EXPECT_EQ(Spring->GetTab(), nullptr) << "found by the scan: no parent link";
}

TEST(XVDataStorage, APartlyLoadedObjectIsWrittenOnlyAfterAFullLoad)
{
    TTempFolder Folder;
    String File;
    {
        auto C = OpenAt(Folder / "Calendars");
        auto* H = DynamicCast<TXVHolidayObject>(C->HolidaysTab()->NewObject());
        H->SetSummary(u"first");
        H->Description()->DataStream()->WriteBuffer("rich body", 9);
        ASSERT_TRUE(H->TouchAndSave());
        File = H->FileName();
        EXPECT_EQ(ExtractFilePath(File), C->HolidaysTab()->GetFolderPath());
    }
    const fs::path Path = StringToUTF8(File);
    const Bytes Stored = ReadFileBytes(Path);
    auto C = OpenAt(Folder / "Calendars");
    ASSERT_EQ(C->HolidaysTab()->Items()->Count(), 1);
    auto* H = DynamicCast<TXVHolidayObject>(C->HolidaysTab()->Items()->Items(0));
    EXPECT_TRUE(H->HasState(vsfPartlyLoaded));
    EXPECT_EQ(H->Description()->DataStream()->Size(), 0);
    H->SetSummary(u"second");
    EXPECT_TRUE(H->TouchAndSave()) << "nothing had to be written";
    EXPECT_EQ(ReadFileBytes(Path), Stored);

    ASSERT_TRUE(H->Load());
    H->SetSummary(u"third");
    ASSERT_TRUE(H->TouchAndSave());
    TOwnedPtr<TXVHolidayObject> Back(New<TXVHolidayObject>());
    Back->SetFileName(File);
    ASSERT_TRUE(Back->Load());
    EXPECT_EQ(Back->Summary(), u"third");
    EXPECT_EQ(StreamBytes(Back->Description()->DataStream()), (Bytes { 'r', 'i', 'c', 'h', ' ', 'b', 'o', 'd', 'y' }));
}

TEST(XVDataStorage, DefaultQuickNoteIsFoundInAnyCase)
{
    TTempFolder Folder;
    StoreObject(TXVQuickNoteObject::StaticClass(), Folder / "Calendars/Default/QNotes/DEFAULT.XQNOTE", u"mine");
    // Found by the scan only when the mask ignores case, as it does.
    auto C = OpenAt(Folder / "Calendars");
    TXVQuickNoteObject* Note = C->QNotesTab()->DefaultQuickNote();
    ASSERT_NE(Note, nullptr);
    EXPECT_EQ(ExtractFileName(Note->FileName()), u"DEFAULT.XQNOTE");
    EXPECT_EQ(Note->Summary(), u"mine");
    EXPECT_TRUE(Note->HasState(vsfLoaded));
    EXPECT_EQ(C->QNotesTab()->Items()->Count(), 1);
    // Purged or deleted, it is looked up afresh.
    ASSERT_TRUE(C->QNotesTab()->DeleteObject(Note));
    EXPECT_FALSE(fs::exists(Folder / "Calendars/Default/QNotes/DEFAULT.XQNOTE"));
    TXVQuickNoteObject* Again = C->QNotesTab()->DefaultQuickNote();
    EXPECT_EQ(ExtractFileName(Again->FileName()), u"default.xqnote");
}

// Nested tab folders, a link loop and FIFOs where objects are looked for:
// the open ends, reading only regular files.
TEST(XVDataStorage, HostileTreesOpenInBoundedTime)
{
    TTempFolder Folder;
    const fs::path Default = Folder / "Calendars/Default";
    fs::path Deep = Default / "Holidays";
    for (Integer I = 0; I < 40; ++I)
        Deep /= "n";
    StoreObject(TXVHolidayObject::StaticClass(), Deep / "deep.xholiday");
    fs::create_directories(Default / "Loop");
    fs::create_directory_symlink("..", Default / "Loop/up");
    fs::create_directory_symlink("../..", Default / "Holidays/up");
    ASSERT_EQ(::mkfifo((Default / "Holidays/x.xholiday").c_str(), 0600), 0);
    fs::create_directories(Default / "Fifo");
    ASSERT_EQ(::mkfifo((Default / "Fifo/x.xholiday").c_str(), 0600), 0);
    fs::create_directories(Default / "QNotes");
    ASSERT_EQ(::mkfifo((Default / "QNotes/default.xqnote").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((Default / "FifoTab").c_str(), 0600), 0);

    const auto Began = std::chrono::steady_clock::now();
    auto C = OpenAt(Folder / "Calendars");
    std::printf("opened in %.1f ms\n",
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Began).count());
    ASSERT_EQ(C->HolidaysTab()->Items()->Count(), 1);
    EXPECT_TRUE(C->HolidaysTab()->Items()->Items(0)->HasState(vsfPartlyLoaded));
    EXPECT_EQ(C->FindTab(u"Fifo", C->DefaultNotebook()), nullptr);
    EXPECT_EQ(C->FindTab(u"Loop", C->DefaultNotebook()), nullptr);
    // The FIFO named like the default note is not read, and never replaced.
    TXVQuickNoteObject* Note = C->QNotesTab()->DefaultQuickNote();
    EXPECT_TRUE(Note->HasState(vsfLoadFailed));
    Note->SetSummary(u"x");
    EXPECT_TRUE(Note->TouchAndSave());
    EXPECT_TRUE(fs::is_fifo(Default / "QNotes/default.xqnote"));
}

TEST(XVDataStorage, JournalsOfDays)
{
    TTempFolder Folder;
    const fs::path Journals = Folder / "Calendars/Default/Journals";
    WriteWithFolders(Journals / "2024/20240315.xjournal", { 'd', 'a', 'm', 'a', 'g', 'e', 'd' });
    auto C = OpenAt(Folder / "Calendars");
    TXVJournalTabObject* Tab = C->JournalsTab();

    // A day whose file did not load answers that object, which is never written.
    TXVJournalObject* Damaged = Tab->JournalOfDate(D(2024, 3, 15, 12));
    ASSERT_NE(Damaged, nullptr);
    EXPECT_TRUE(Damaged->HasState(vsfLoadFailed));
    EXPECT_EQ(Tab->Items()->Count(), 1);
    Damaged->SetDescriptionTitle(u"over it");
    EXPECT_TRUE(Damaged->TouchAndSave());
    EXPECT_EQ(ReadFileBytes(Journals / "2024/20240315.xjournal"), (Bytes { 'd', 'a', 'm', 'a', 'g', 'e', 'd' }));

    // A day without one: a blank journal named after the day, not stored.
    TXVJournalObject* Fresh = Tab->JournalOfDateText(u"20240305");
    ASSERT_NE(Fresh, nullptr);
    EXPECT_EQ(Fresh->FileName(), UTF8ToString((Journals / "2024/20240305.xjournal").string()));
    EXPECT_TRUE(Fresh->HasState(vsfBlank));
    EXPECT_EQ(Tab->JournalOfDate(D(2024, 3, 5)), Fresh) << "found again by its day";
    Tab->PurgeFlaggedObjects();
    EXPECT_EQ(Tab->Items()->Count(), 1);
    EXPECT_FALSE(fs::exists(Journals / "2024/20240305.xjournal"));

    // Written once touched, then found by its day after a new open.
    TXVJournalObject* Kept = Tab->JournalOfDate(D(2024, 3, 6));
    Kept->SetDescriptionTitle(u"kept");
    ASSERT_TRUE(Kept->TouchAndSave());
    auto Again = OpenAt(Folder / "Calendars");
    TXVJournalObject* Found = Again->JournalsTab()->JournalOfDate(D(2024, 3, 6, 23));
    ASSERT_NE(Found, nullptr);
    EXPECT_EQ(Found->DescriptionTitle(), u"kept");
    EXPECT_TRUE(Found->HasState(vsfLoaded));

    for (TDateTime Bad : { std::numeric_limits<double>::quiet_NaN(), 1e9, -1e9 })
        EXPECT_EQ(Tab->JournalOfDate(Bad), nullptr);
    EXPECT_EQ(Tab->JournalOfDateText(u"nonsense"), nullptr);
}

TEST(XVDataStorage, NewFoldersAreNamedAfterTheirCaptionInOneComponent)
{
    TTempFolder Folder;
    auto C = OpenAt(Folder / "Calendars");
    const struct {
        const char16_t* Caption;
        const char* Folder;
    } Cases[] = {
        { u"Birthdays", "Birthdays" },
        { u"Birthdays", "Birthdays1" },
        { u"../../escape", ".._.._escape" },
        { u"..", "TXVHolidayTabObject" },
        { u".", "TXVHolidayTabObject1" },
        { u"", "TXVHolidayTabObject2" },
    };
    for (const auto& Case : Cases) {
        auto* Tab = New<TXVHolidayTabObject>();
        Tab->SetNotebooks(C.get());
        Tab->SetCaption(Case.Caption);
        C->DefaultNotebook()->Tabs()->Add(Tab);
        Tab->InitNew(C->DefaultNotebook());
        EXPECT_EQ(U8(Tab->Folder()), std::string(Case.Folder) + "/") << U8(Case.Caption);
        EXPECT_TRUE(fs::is_regular_file(Folder / "Calendars/Default" / Case.Folder / "Folder.xtab")) << Case.Folder;
    }
    EXPECT_FALSE(fs::exists(Folder / "escape"));
}

TEST(XVDataStorage, HolidayCategoriesAreListedOnce)
{
    TTempFolder Folder;
    for (const char* Name : { "a", "b", "c" })
        StoreObject(TXVHolidayObject::StaticClass(), Folder / "Calendars/Default/Holidays" / (std::string(Name) + ".xholiday"));
    auto C = OpenAt(Folder / "Calendars");
    const char16_t* Categories[] = { u"Family", u"Work", u"Family" };
    for (Integer I = 0; I < 3; ++I)
        DynamicCast<TXCustomVEventObject>(C->HolidaysTab()->Items()->Items(I))->SetCategory(Categories[I]);
    C->UpdateCategories();
    TStringList* L = C->HolidayCategories();
    EXPECT_EQ(L->IndexOf(u"Family") >= 0 && L->IndexOf(u"Work") >= 0, true);
    Integer Family = 0;
    for (Integer I = 0; I < L->Count(); ++I)
        Family += L->Strings(I) == u"Family";
    EXPECT_EQ(Family, 1);
}
