#include "core/XCore.Strings.h"
#include "core/XSpark.Lg.h"
#include "rtl/Exceptions.h"
#include "rtl/Streams.h"
#include "rtl/testing/Testing.h"
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace {
// A value as word tables store it: the UTF-8 bytes in base-36 digits.
std::string Coded(const std::string& Utf8)
{
    const TCodePageString D = xStr::EncodeDigits({ RawBytes(Utf8), CP_UTF8 }, 36);
    return std::string(D.Bytes.begin(), D.Bytes.end());
}

std::string Utf16(const std::string& Ascii, bool Little)
{
    std::string Out = Little ? "\xFF\xFE" : "\xFE\xFF";
    for (char C : Ascii)
        Out += Little ? std::string { C, '\0' } : std::string { '\0', C };
    return Out;
}

TOwnedPtr<TBytesStream> StreamOf(const std::string& Bytes)
{
    return TOwnedPtr<TBytesStream>(New<TBytesStream>(std::vector<Byte>(Bytes.begin(), Bytes.end())));
}

TOwnedPtr<TXW> TableOf(const std::string& Bytes)
{
    TOwnedPtr<TXW> Words(MakeOwned<TXW>());
    auto Stream = StreamOf(Bytes);
    EXPECT_TRUE(LoadWords(Words.get(), Stream.get()));
    return Words;
}
}

// A word table's byte-order mark names its encoding and is not part of the
// first id; without one the bytes are ANSI.
TEST(WordTables, TheByteOrderMarkNamesTheEncoding)
{
    const std::string Line = "1A=" + Coded("Grüße") + "\r\n";
    const std::string Rows[][2] = {
        { "UTF-8 mark", "\xEF\xBB\xBF" + Line },
        { "UTF-16 little-endian mark", Utf16(Line, true) },
        { "UTF-16 big-endian mark", Utf16(Line, false) },
        { "UTF-16 with an odd last byte", Utf16(Line, true) + "7" },
        { "ANSI", Line },
        // A 1252 byte in a line of no use does not disturb the others.
        { "ANSI with a stray byte", "\xE9\xFF=x\n" + Line },
    };
    for (const auto& [Name, Bytes] : Rows) {
        SCOPED_TRACE(Name);
        auto Words = TableOf(Bytes);
        EXPECT_EQ(Words->Count(), 1);
        EXPECT_EQ(Words->GetWord(0x1A), u"Grüße");
    }
}

// Every kind of line in one table, and what a lookup answers for it.
TEST(WordTables, LinesAndLookups)
{
    const std::string Table = "1A=" + Coded("twenty-six") + "\r\n" // hexadecimal name
        + "XY=" + Coded("bad hex") + "\n" // skipped
        + "0=" + Coded("zero") + "\r" // id 0 is never stored
        + "no equals sign\n" // skipped
        + "1B=" + Coded("line#13#10break") + "\n" // bit 31 clear: a line break
        + "8000001B=" + Coded("kept#13#10as is") + "\n" // bit 31 set: four characters
        + "1FFFFFFFF=" + Coded("beyond 32 bits") + "\n" // skipped, not wrapped to FFFFFFFF
        + "000000001C=" + Coded("leading zeros") + "\n" + "1D=" + Coded("first") + "\n" + "1D=" + Coded("second") +
        "\n" // the first pair of an id wins
        + "1E=!!\n" // digits outside base 36 decode to a byte that is no UTF-8
        + "1F=" + Coded("\xC3(") + "\n" // invalid UTF-8
        + "20=" + Coded("odd") + "Z\n" // a lone last digit is no byte
        + "21=\n" // an empty value
        + " 22=" + Coded("blank before the id") + "\n";
    auto Words = TableOf(Table);
    EXPECT_EQ(Words->Count(), 10);
    const std::pair<Cardinal, String> Lookups[] = {
        { 0x1A, u"twenty-six" },
        { 0x1B, u"line\r\nbreak" },
        { 0x8000001B, u"kept#13#10as is" },
        { 0xFFFFFFFF, u"" },
        { 0, u"" },
        { 0x1C, u"leading zeros" },
        { 0x1D, u"first" },
        { 0x1E, u"\uFFFD" },
        { 0x1F, u"\uFFFD(" },
        { 0x20, u"odd" },
        { 0x21, u"" },
        { 0x22, u"" },
        { 0x999, u"" },
    };
    for (const auto& [Id, Text] : Lookups)
        EXPECT_EQ(Words->GetWord(Id), Text) << std::hex << Id;
}

// Lookups are answered from an index of decoded texts: every change of
// the table must reach it.
TEST(WordTables, LookupsFollowEveryChangeOfTheTable)
{
    auto Words = TableOf("5=" + Coded("a") + "\n5=" + Coded("b") + "\n6=" + Coded("c") + "\n");
    EXPECT_EQ(Words->GetWord(5), u"a");
    Words->Exchange(0, 1);
    EXPECT_EQ(Words->GetWord(5), u"b");
    Words->Sort();
    EXPECT_EQ(Words->GetWord(5), u"a");
    Words->Add({ 7, Coded("d") });
    EXPECT_EQ(Words->GetWord(7), u"d");
    Words->Insert(0, { 5, Coded("e") });
    EXPECT_EQ(Words->GetWord(5), u"e");
    Words->SetItems(0, { 6, Coded("f") });
    EXPECT_EQ(Words->GetWord(5), u"a");
    EXPECT_EQ(Words->GetWord(6), u"f");
    Words->Delete(0);
    EXPECT_EQ(Words->GetWord(6), u"c");
    Words->Clear();
    EXPECT_EQ(Words->GetWord(6), u"");
}

namespace {

// Records the language procedures that ran, in order.
struct TListener {
    std::string Name;
    std::vector<std::string>* Log = nullptr;
    std::function<void()> Then;
    void Run()
    {
        Log->push_back(Name);
        if (Then)
            Then();
    }
    TXAnyProcedure Proc() { return TXAnyProcedure::Method<&TListener::Run>(this); }
};

class LanguageListeners : public testing::Test {
protected:
    std::vector<std::string> Log;
    TListener A { "A", &Log, {} }, B { "B", &Log, {} }, C { "C", &Log, {} };

    void TearDown() override
    {
        for (TListener* L : { &A, &B, &C })
            UnregisterLanguageListener(L->Proc());
        ResumeLanguageListeners(false);
        Lg()->Clear();
        Lg()->NotifyOnLoad = true;
    }
    std::vector<std::string> Round()
    {
        Log.clear();
        NotifyLanguageListeners();
        return Log;
    }
};

using TLog = std::vector<std::string>;

} // namespace

TEST_F(LanguageListeners, RegisteredOnceRunAtOnceUnlessSuspended)
{
    RegisterLanguageListener(A.Proc());
    RegisterLanguageListener(A.Proc());
    EXPECT_EQ(Log, TLog { "A" });
    SuspendLanguageListeners();
    RegisterLanguageListener(B.Proc());
    EXPECT_EQ(Round(), TLog {});
    ResumeLanguageListeners(false);
    EXPECT_EQ(Log, TLog {});
    EXPECT_EQ(Round(), (TLog { "A", "B" }));
    SuspendLanguageListeners();
    Log.clear();
    ResumeLanguageListeners(true);
    EXPECT_EQ(Log, (TLog { "A", "B" }));
}

TEST_F(LanguageListeners, OneThatRaisesEndsTheRound)
{
    RegisterLanguageListener(A.Proc());
    B.Then = [] { throw EConvertError(u"broken caption"); };
    RegisterLanguageListener(C.Proc());
    EXPECT_THROW(RegisterLanguageListener(B.Proc()), EConvertError);
    // B sits after C; now B raises before C.
    UnregisterLanguageListener(C.Proc());
    RegisterLanguageListener(C.Proc());
    EXPECT_EQ(Round(), (TLog { "A", "B" }));
}

TEST_F(LanguageListeners, ProceduresRemovingThemselvesOrOthers)
{
    RegisterLanguageListener(A.Proc());
    RegisterLanguageListener(B.Proc());
    RegisterLanguageListener(C.Proc());
    // A removes itself and C; B adds A again, which runs once, at once.
    A.Then = [&] {
        UnregisterLanguageListener(A.Proc());
        UnregisterLanguageListener(C.Proc());
    };
    B.Then = [&] {
        A.Then = nullptr;
        RegisterLanguageListener(A.Proc());
    };
    EXPECT_EQ(Round(), (TLog { "A", "B", "A" }));
    B.Then = nullptr;
    EXPECT_EQ(Round(), (TLog { "B", "A" }));
}

TEST_F(LanguageListeners, TheCurrentLanguageRunsThemWhenItChanges)
{
    RegisterLanguageListener(A.Proc());
    auto Stream = StreamOf("1=" + Coded("1031") + "\n");
    Log.clear();
    EXPECT_TRUE(Lg()->LoadWordsFromStream(Stream.get(), true));
    EXPECT_EQ(Log, TLog { "A" });
    EXPECT_EQ(GetCurrentLgID(), 1031u);
    EXPECT_EQ(GetCurrentLgIDHex(), u"0407");

    // Not while NotifyOnLoad is off, and never for another language object.
    TOwnedPtr<TXLg> Other(New<TXLg>());
    Log.clear();
    EXPECT_TRUE(Other->LoadWordsFromStream(Stream.get(), true));
    Lg()->NotifyOnLoad = false;
    EXPECT_TRUE(Lg()->LoadWordsFromStream(Stream.get(), true));
    EXPECT_EQ(Log, TLog {});
    // Assigning to the current language always runs them.
    Other->NotifyOnLoad = true;
    Lg()->Assign(Other.get());
    EXPECT_EQ(Log, TLog { "A" });
    EXPECT_TRUE(Lg()->NotifyOnLoad);
    Log.clear();
    Other->Assign(Lg());
    EXPECT_EQ(Log, TLog {});
}

TEST(Languages, LanguageIdsAndTheirHexadecimalForm)
{
    const std::pair<std::string, Cardinal> Cases[] = {
        { "9", 9 },
        { "1031", 1031 },
        { "74565", 0x12345 },
        { "4294967295", 0xFFFFFFFF },
        { "4294967296", 0 },
        { "10x", 0 },
        { "", 0 },
    };
    TOwnedPtr<TXLg> Lang(New<TXLg>());
    for (const auto& [Text, Id] : Cases) {
        Lang->Clear();
        auto Stream = StreamOf("1=" + Coded(Text) + "\n");
        ASSERT_TRUE(Lang->LoadWordsFromStream(Stream.get(), false));
        EXPECT_EQ(Lang->GetLgID(), Id) << Text;
    }
    Lang->Clear();
    EXPECT_EQ(Lang->GetLgID(), 0u);
    Lg()->Clear();
    EXPECT_EQ(GetCurrentLgIDHex(), u"0000");
    auto Stream = StreamOf("1=" + Coded("74565") + "\n");
    Lg()->NotifyOnLoad = false;
    Lg()->LoadWordsFromStream(Stream.get(), false);
    EXPECT_EQ(GetCurrentLgIDHex(), u"12345");
    Lg()->Clear();
    Lg()->NotifyOnLoad = true;
}

TEST(Languages, NamedStreams)
{
    TOwnedPtr<TXLg> Lang(New<TXLg>());
    auto Help = StreamOf("{\\rtf1 help}");
    Help->SetPosition(5);
    TXBI* Item = Lang->AddStream(u".rtf", Help.get(), u"Help");
    ASSERT_TRUE(Item);
    EXPECT_EQ(Item->Data()->DataClass(), u".rtf");
    TMemoryStream* Found = Lang->GetStream(u"HELP");
    ASSERT_EQ(Found, Item->Data()->DataStream());
    EXPECT_EQ(Testing::StreamBytes(Found),
        (Testing::Bytes { '{', '\\', 'r', 't', 'f', '1', ' ', 'h', 'e', 'l', 'p', '}' }));

    // A stream that cannot be read adds nothing.
    EXPECT_EQ(Lang->AddStream(u".rtf", nullptr, u"Broken"), nullptr);
    EXPECT_EQ(Lang->Streams()->Count(), 1);

    // The shared answer for a missing name is empty every time.
    TMemoryStream* None = Lang->GetStream(u"Missing");
    ASSERT_TRUE(None);
    None->WriteBuffer("junk", 4);
    EXPECT_EQ(Lang->GetStream(u"Other")->Size(), 0);
    EXPECT_EQ(Lang->GetStream(u"Other")->Position(), 0);

    // Assigning copies words and streams; the copy is no shared stream.
    auto Words = StreamOf("1A=" + Coded("copied") + "\n");
    ASSERT_TRUE(Lang->LoadWordsFromStream(Words.get(), true));
    Lang->NotifyOnLoad = false;
    TOwnedPtr<TXLg> Copy(New<TXLg>());
    auto Old = StreamOf("1B=" + Coded("dropped") + "\n");
    Copy->LoadWordsFromStream(Old.get(), true);
    Copy->Assign(Lang.get());
    EXPECT_EQ(Copy->GetWord(0x1A), u"copied");
    EXPECT_EQ(Copy->GetWord(0x1B), u"");
    EXPECT_FALSE(Copy->NotifyOnLoad);
    ASSERT_NE(Copy->GetStream(u"help"), Found);
    EXPECT_EQ(Copy->GetStream(u"help")->Size(), Found->Size());
    Found->Clear();
    EXPECT_EQ(Copy->GetStream(u"help")->Size(), 12);

    Copy->Clear();
    EXPECT_EQ(Copy->Words()->Count(), 0);
    EXPECT_EQ(Copy->Streams()->Count(), 0);
}

TEST(Languages, HeadersProjectsAndTheirList)
{
    TOwnedPtr<TXLgProject> Project(New<TXLgProject>());
    Project->SetName(u"Deutsch");
    Project->SetLgID(1031);
    Project->SetAppID(6001);
    Project->SetAppVer(600);
    Project->SetRevision(u"3");
    Project->SetAuthor(u"Ann");
    Project->SetContact(u"ann@example.org");
    Project->SetComments(u"none");
    Project->SetData(u"d");
    Project->FileName = u"/lang/de.lng";
    Project->Words()->WriteBuffer("1=1", 3);
    auto Help = StreamOf("help");
    Project->Streams()->Add()->Data()->LoadFromStream(u".rtf", Help.get());

    TOwnedPtr<TXLgProject> Copy(New<TXLgProject>());
    Copy->Assign(Project.get());
    for (TXLgHeader* H : { static_cast<TXLgHeader*>(Project.get()), static_cast<TXLgHeader*>(Copy.get()) }) {
        EXPECT_EQ(H->Name(), u"Deutsch");
        EXPECT_EQ(H->LgID(), 1031u);
        EXPECT_EQ(H->AppID(), 6001u);
        EXPECT_EQ(H->AppVer(), 600u);
        EXPECT_EQ(H->Revision() + H->Author() + H->Contact() + H->Comments() + H->Data(), u"3Annann@example.orgnoned");
        EXPECT_EQ(H->FileName, u"/lang/de.lng");
    }
    EXPECT_EQ(Testing::StreamBytes(Copy->Words()), (Testing::Bytes { '1', '=', '1' }));
    ASSERT_EQ(Copy->Streams()->Count(), 1);
    EXPECT_EQ(Copy->Streams()->Items(0)->Data()->Size(), 4);
    Copy->Clear();
    EXPECT_EQ(Copy->Name() + Copy->Author() + Copy->FileName, u"");
    EXPECT_EQ(Copy->LgID() + Copy->AppID() + Copy->AppVer(), 0u);
    EXPECT_EQ(Copy->Words()->Size(), 0);
    EXPECT_EQ(Copy->Streams()->Count(), 0);

    TOwnedPtr<TXLgHeaderList> List(New<TXLgHeaderList>());
    List->SortLanguages();
    const std::pair<const char16_t*, Cardinal> Languages[] = { { u"français", 1036 }, { u"Deutsch", 1031 },
        { u"English", 9 }, { u"deutsch", 2055 }, { u"Čeština", 1029 } };
    for (const auto& [Name, Id] : Languages) {
        TXLgHeader* H = List->AddNew();
        H->SetName(Name);
        H->SetLgID(Id);
    }
    TOwnedPtr<TMemoryStream> BuiltIn(New<TMemoryStream>());
    List->Items(3)->Stream = BuiltIn.get();
    EXPECT_EQ(List->IndexOfLgID(1031), 1);
    EXPECT_EQ(List->IndexOfLgID(7), -1);
    EXPECT_EQ(List->IndexOfBuiltIn(), 3);
    List->SortLanguages();
    std::vector<String> Order;
    for (Integer I = 0; I < List->Count(); ++I)
        Order.push_back(List->Items(I)->Name());
    // English first, then by name without regard to case (equal names keep
    // their order).
    EXPECT_EQ(Order, (std::vector<String> { u"English", u"Deutsch", u"deutsch", u"français", u"Čeština" }));
    EXPECT_EQ(List->IndexOfBuiltIn(), 2);
}
