#include "CalendarTestSupport.h"
#include "calendar_designs/XVData.Filers.h"
#include "calendar_designs/XVData.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>

using namespace Testing;
using namespace CalendarTesting;

namespace {

void PutBytes(TStream* S, const std::string& Text)
{
    S->SetSize(0);
    S->WriteBuffer(Text.data(), Int64(Text.size()));
}

std::string TextOf(TStream* S)
{
    const Bytes B = StreamBytes(S);
    return std::string(B.begin(), B.end());
}

// A holiday with every field set, new, named File.
TOwnedPtr<TXVHolidayObject> FullHoliday(const String& File)
{
    TOwnedPtr<TXVHolidayObject> H(New<TXVHolidayObject>());
    H->InitNew(nullptr);
    H->SetFileName(File);
    H->SetParentUID(u"parent-1");
    H->SetSensitivityType(vcsPrivate);
    H->SetPriority(-7);
    H->SetSummary(u"Midsummer \u00e9t\u00e9");
    H->SetDescriptionTitle(u"Title");
    PutBytes(H->Description()->DataStream(), "{\\rtf1 body}");
    PutBytes(H->Image()->DataStream(), std::string("\x89PNG-ish\0bytes", 14));
    H->SetShowSummary(false);
    H->SetShowDescription(true);
    H->SetEnabled(false);
    H->SetCategory(u"Family");
    H->DTStart()->SetDDate(D(2024, 6, 21, 9, 30));
    H->DTEnd()->SetDDate(D(2024, 6, 22, 18));
    TXVRecurrenceItem* R = H->RRule()->Add();
    R->SetFrequency(vfqMonthly);
    R->SetInterval(2);
    R->SetEndType(vreEndDate);
    R->SetEndDate(D(2030, 1, 1));
    R->SetInstances(5);
    R->ByMonthDay()->Add(-1);
    R->ByWeekDay()->AddWeekDay(-2, 5);
    H->SetColorType(vdcCustom);
    H->SetTextColor(0x123456);
    H->SetBgColor(0x00FF00);
    return H;
}

} // namespace

TEST(XVDataFiles, HolidayRoundTripsFieldByField)
{
    TTempFolder Folder;
    const String File = Folder.File("h.xholiday");
    auto H = FullHoliday(File);
    ASSERT_TRUE(H->TouchAndSave());

    TOwnedPtr<TXVHolidayObject> Back(New<TXVHolidayObject>());
    Back->SetFileName(File);
    ASSERT_TRUE(Back->Load()) << GetXErrorCode();
    EXPECT_EQ(Back->UID(), H->UID());
    EXPECT_EQ(Back->UID().size(), 36u);
    EXPECT_EQ(Back->ParentUID(), u"parent-1");
    EXPECT_EQ(Back->Created(), H->Created());
    EXPECT_EQ(Back->LastModified(), H->LastModified());
    EXPECT_EQ(Back->SensitivityType(), vcsPrivate);
    EXPECT_EQ(Back->Priority(), -7);
    EXPECT_EQ(Back->Summary(), H->Summary());
    EXPECT_EQ(Back->DescriptionTitle(), u"Title");
    EXPECT_EQ(TextOf(Back->Description()->DataStream()), "{\\rtf1 body}");
    EXPECT_EQ(TextOf(Back->Image()->DataStream()), TextOf(H->Image()->DataStream()));
    EXPECT_FALSE(Back->ShowSummary());
    EXPECT_TRUE(Back->ShowDescription());
    EXPECT_FALSE(Back->Enabled());
    EXPECT_EQ(Back->Category(), u"Family");
    EXPECT_EQ(Back->DTStart()->DDate(), D(2024, 6, 21, 9, 30));
    EXPECT_FALSE(Back->DTStart()->DateOnly());
    EXPECT_EQ(Back->DTEnd()->DDate(), D(2024, 6, 22, 18));
    ASSERT_EQ(Back->RRule()->Count(), 1);
    TXVRecurrenceItem* R = Back->RRule()->Items(0);
    EXPECT_EQ(R->Frequency(), vfqMonthly);
    EXPECT_EQ(R->Interval(), 2u);
    EXPECT_EQ(R->EndType(), vreEndDate);
    EXPECT_EQ(R->EndDate(), D(2030, 1, 1));
    EXPECT_EQ(R->Instances(), 5);
    ASSERT_EQ(R->ByMonthDay()->Count(), 1);
    EXPECT_EQ(R->ByMonthDay()->Items(0)->Value(), -1);
    ASSERT_EQ(R->ByWeekDay()->Count(), 1);
    EXPECT_EQ(R->ByWeekDay()->Items(0)->Value(), -2);
    EXPECT_EQ(R->ByWeekDay()->Items(0)->WeekDay(), 5);
    EXPECT_EQ(Back->ColorType(), vdcCustom);
    EXPECT_EQ(Back->TextColor(), 0x123456);
    EXPECT_EQ(Back->BgColor(), 0x00FF00);

    // The header alone, as the tab discovery reads it.
    TOwnedPtr<TXL> L(New<TXL>());
    ASSERT_TRUE(FilerLoadFromFile(File, TXRLStreamFiler::StaticClass(), L.get(), false, nullptr));
    ASSERT_EQ(L->Info()->Count(), 3);
    const char16_t* Names[] = { u"Class", u"UID", u"ParentUID" };
    const String Values[] = { u"TXVHolidayObject", H->UID(), u"parent-1" };
    for (Integer I = 0; I < 3; ++I) {
        EXPECT_EQ(L->Info()->Items(I)->Name(), Names[I]);
        EXPECT_EQ(L->Info()->Items(I)->Value(), Values[I]);
    }
    EXPECT_EQ(L->LType(), 0);

    // Options {1} read the picture, not the description.
    TOwnedPtr<TXVHolidayObject> Part(New<TXVHolidayObject>());
    ASSERT_TRUE(FilerLoadFromFile(File, TXVHolidayFiler::StaticClass(), Part.get(), false, nullptr, TXFilerParts(2), 1));
    EXPECT_EQ(TextOf(Part->Image()->DataStream()), TextOf(H->Image()->DataStream()));
    EXPECT_EQ(Part->Description()->DataStream()->Size(), 0);
    EXPECT_EQ(Part->Summary(), H->Summary());
}

TEST(XVDataFiles, RefusedHeaderAndWrongKindAreNotLoaded)
{
    TTempFolder Folder;
    const String File = Folder.File("h.xholiday");
    auto H = FullHoliday(File);
    H->FillHeaderInfo();
    H->Header()->SetLType(1);
    ASSERT_TRUE(FilerSaveToFileViaTemp(File, TXVHolidayFiler::StaticClass(), H.get(), false, nullptr));
    const auto Md5 = [&] { return RunTool({ "md5sum", (Folder / "h.xholiday").string() }).Output; };
    const std::string Before = Md5();

    TOwnedPtr<TXVHolidayObject> Back(New<TXVHolidayObject>());
    Back->SetFileName(File);
    EXPECT_FALSE(Back->Load());
    EXPECT_EQ(GetXErrorCode(), xecObjectHeader);
    EXPECT_TRUE(Back->HasState(vsfLoadFailed));
    EXPECT_FALSE(Back->HasState(vsfLoaded));
    // Later changes and saves leave the file as it is.
    Back->SetSummary(u"changed");
    EXPECT_TRUE(Back->TouchAndSave());
    Back->Assign(H.get());
    EXPECT_TRUE(Back->Save());
    EXPECT_EQ(Md5(), Before);

    // A holiday read as a journal: the container's identity says no.
    ASSERT_TRUE(FilerSaveToFileViaTemp(Folder.File("ok.xholiday"), TXVHolidayFiler::StaticClass(),
        FullHoliday(Folder.File("ok.xholiday")).get(), false, nullptr));
    TOwnedPtr<TXVJournalObject> J(New<TXVJournalObject>());
    J->SetFileName(Folder.File("ok.xholiday"));
    EXPECT_FALSE(J->Load());
    EXPECT_EQ(GetXErrorCode(), xecContainerHeader);
    EXPECT_TRUE(J->HasState(vsfLoadFailed));
}

// A save that runs out of room (the file size limit, in a process of its
// own) answers 45 and keeps the old file and the object's flags.
TEST(XVDataFiles, AFailedWriteKeepsTheOldFileAndTheFlags)
{
    if (const char* Target = std::getenv("X_TEST_CALENDAR_CUT")) {
        const String File = UTF8ToString(Target);
        TOwnedPtr<TXVHolidayObject> H(New<TXVHolidayObject>());
        H->SetFileName(File);
        ASSERT_TRUE(H->Load());
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit Limit { 2000, 2000 };
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &Limit), 0);
        const Bytes Noise = RandomBytes(20000, 5);
        PutBytes(H->Description()->DataStream(), std::string(Noise.begin(), Noise.end()));
        EXPECT_FALSE(H->TouchAndSave());
        EXPECT_EQ(GetXErrorCode(), xecWriteFailed);
        EXPECT_TRUE(H->HasState(vsfModified));
        EXPECT_TRUE(H->HasState(vsfLoaded));
        return;
    }
    TTempFolder Folder;
    ASSERT_TRUE(FullHoliday(Folder.File("h.xholiday"))->TouchAndSave());
    const Bytes Before = ReadFileBytes(Folder / "h.xholiday");
    const TToolResult Child = RunThisTestWith({ "X_TEST_CALENDAR_CUT=" + (Folder / "h.xholiday").string() });
    EXPECT_EQ(Child.ExitCode, 0) << Child.Output;
    EXPECT_EQ(ReadFileBytes(Folder / "h.xholiday"), Before);
    Integer Files = 0;
    for ([[maybe_unused]] const auto& E : std::filesystem::directory_iterator(Folder.Path()))
        ++Files;
    EXPECT_EQ(Files, 1) << "no temporary file is left";
}

TEST(XVDataFiles, ParseVDateTime)
{
    const struct {
        const char16_t* Text;
        TDateTime Expected;
    } Cases[] = {
        { u"20190305", D(2019, 3, 5) },
        { u"20190305T101520", EncodeDateTime(2019, 3, 5, 10, 15, 20, 0) },
        { u"20190231", 0 },
        { u"20190231T120000", 0.5 },
        { u"20190305T1015", D(2019, 3, 5, 10, 15) },
        { u"", 0 },
        { u"5", 0 },
        { u"20190229", 0 },
        { u"20200229", D(2020, 2, 29) },
        { u"1234567890123456789012345678901234560101", 0 },
        { u"T", 0 },
        { u"2019T9", 0.375 },
        { u"2019x305", 0 },
        { u"20190305T99", D(2019, 3, 5) },
        { u"00010101", D(1, 1, 1) },
    };
    for (const auto& C : Cases)
        EXPECT_NEAR(ParseVDateTime(C.Text), C.Expected, 1e-9) << U8(C.Text);
}

TEST(XVDataFiles, StateFlagsFollowTheObjectsLife)
{
    TTempFolder Folder;
    const String Stored = Folder.File("stored.xholiday");
    ASSERT_TRUE(FullHoliday(Stored)->TouchAndSave());
    Testing::WriteFileBytes(Folder / "broken.xholiday", { 'n', 'o', 't' });

    auto Flags = [](TXCustomVDataObject* O) {
        std::string S;
        for (auto [Bit, Name] : { std::pair { vsfLoadFailed, "failed" }, { vsfBlank, "blank" },
                 { vsfPartlyLoaded, "partly" }, { vsfLoaded, "loaded" }, { vsfModified, "modified" } })
            if (O->HasState(Bit))
                S += (S.empty() ? "" : " ") + std::string(Name);
        return S;
    };
    TOwnedPtr<TXVHolidayObject> New_(New<TXVHolidayObject>());
    TOwnedPtr<TXVHolidayObject> Partial(New<TXVHolidayObject>());
    TOwnedPtr<TXVHolidayObject> Failed(New<TXVHolidayObject>());
    TOwnedPtr<TXVHolidayObject> Assigned(New<TXVHolidayObject>());
    TOwnedPtr<TXVHolidayObject> Saved(New<TXVHolidayObject>());
    const struct {
        const char* Step;
        std::function<void()> Run;
        TXCustomVDataObject* Object;
        std::string Expected;
    } Steps[] = {
        { "new", [&] { New_->InitNew(nullptr); }, New_.get(), "blank loaded" },
        { "partial", [&] { Partial->SetFileName(Stored); EXPECT_TRUE(Partial->LoadPartial()); }, Partial.get(), "partly" },
        { "partial, then full", [&] { EXPECT_TRUE(Partial->Load()); }, Partial.get(), "loaded" },
        { "failed", [&] { Failed->SetFileName(Folder.File("broken.xholiday")); EXPECT_FALSE(Failed->Load()); },
            Failed.get(), "failed" },
        { "missing file counts as loaded", [&] { Assigned->SetFileName(Folder.File("none.xholiday")); EXPECT_TRUE(Assigned->Load()); },
            Assigned.get(), "loaded" },
        { "assigned", [&] { Assigned->Assign(New_.get()); }, Assigned.get(), "loaded modified" },
        { "new, then saved", [&] { Saved->InitNew(nullptr); Saved->SetFileName(Folder.File("s.xholiday")); EXPECT_TRUE(Saved->TouchAndSave()); },
            Saved.get(), "loaded" },
        { "a new object never touched is not written", [&] { New_->SetFileName(Folder.File("untouched.xholiday")); EXPECT_TRUE(New_->Save()); },
            New_.get(), "blank loaded" },
    };
    for (const auto& S : Steps) {
        S.Run();
        EXPECT_EQ(Flags(S.Object), S.Expected) << S.Step;
    }
    EXPECT_FALSE(std::filesystem::exists(Folder / "untouched.xholiday"));
    EXPECT_TRUE(std::filesystem::exists(Folder / "s.xholiday"));
}
