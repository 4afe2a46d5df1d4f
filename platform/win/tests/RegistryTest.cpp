#include "win/Registry.h"
#include "win/RegistryStore.h"
#include "rtl/StringList.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& Path)
{
    std::ifstream In(Path, std::ios::binary);
    std::stringstream S;
    S << In.rdbuf();
    return S.str();
}

void WriteAll(const fs::path& Path, const std::string& Content)
{
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out << Content;
}

class RegistryTest : public ::testing::Test {
protected:
    Testing::TTempFolder Home { "registry-test" };
    const fs::path& Folder = Home.Path();

    void SetUp() override { SetRegistryFolder(UTF8ToString(Folder.string())); }
    void TearDown() override { SetRegistryFolder({}); }
    fs::path File() const { return Folder / XRegistryStore::FileName; }
    // What a freshly started program sees: the store forgets its memory.
    void Reload() { SetRegistryFolder(UTF8ToString(Folder.string())); }
    TOwnedPtr<TRegistry> Open(StringView Key, bool CanCreate = true)
    {
        auto Reg = MakeOwned<TRegistry>();
        EXPECT_TRUE(Reg->OpenKey(Key, CanCreate)) << StringToUTF8(Key);
        return Reg;
    }
    std::vector<String> KeyNames(StringView Key)
    {
        std::vector<String> Names;
        auto Reg = Open(Key, false);
        Reg->GetKeyNames(Names);
        return Names;
    }
};

}

TEST_F(RegistryTest, ValuesSurviveTheFile)
{
    const String Texts[] = {
        u"",
        u"plain",
        u"C:\\Program Files\\x.exe \"%1\"",
        u"tab\there\nline\r\x01\x7f",
        u"Grüße ☺ \U0001F600",
        String(u"lone \xD800 high"),
        String(u"lone \xDC00 low"),
    };
    const Integer Numbers[] = { 0, 1, -1, INT_MAX, INT_MIN, 42 };
    std::string Bytes;
    for (int I = 0; I < 256; ++I)
        Bytes.push_back(char(I));
    {
        auto Reg = Open(u"Software\\Quorvale\\Lumeno");
        for (std::size_t I = 0; I < std::size(Texts); ++I)
            Reg->WriteString(u"Text" + UTF8ToString(std::to_string(I)), Texts[I]);
        for (std::size_t I = 0; I < std::size(Numbers); ++I)
            Reg->WriteInteger(u"Number" + UTF8ToString(std::to_string(I)), Numbers[I]);
        Reg->WriteString(u"", u"the default");
        Reg->WriteExpandString(u"Expand", u"%HOME%\\x");
        Reg->WriteBool(u"Flag", true);
        Reg->WriteFloat(u"Float", -2.5e-300);
        Reg->WriteBinaryData(u"Blob", Bytes.data(), Integer(Bytes.size()));
        Reg->WriteString(u"Name\\with\\backslashes", u"v");
        Reg->CreateKey(u"Empty\\Sub");
    }
    Reload();
    auto Reg = Open(u"Software\\Quorvale\\Lumeno", false);
    for (std::size_t I = 0; I < std::size(Texts); ++I)
        EXPECT_EQ(Reg->ReadString(u"Text" + UTF8ToString(std::to_string(I))), Texts[I]) << I;
    for (std::size_t I = 0; I < std::size(Numbers); ++I)
        EXPECT_EQ(Reg->ReadInteger(u"Number" + UTF8ToString(std::to_string(I))), Numbers[I]) << I;
    EXPECT_EQ(Reg->ReadString(u""), u"the default");
    EXPECT_EQ(Reg->ReadString(u"Expand"), u"%HOME%\\x");
    EXPECT_EQ(Reg->GetDataType(u"Expand"), TRegDataType::rdExpandString);
    EXPECT_TRUE(Reg->ReadBool(u"Flag"));
    EXPECT_EQ(Reg->ReadFloat(u"Float"), -2.5e-300);
    std::string Back(300, '\0');
    EXPECT_EQ(Reg->ReadBinaryData(u"Blob", Back.data(), 300), 256);
    EXPECT_EQ(Back.substr(0, 256), Bytes);
    EXPECT_EQ(Reg->ReadString(u"Name\\with\\backslashes"), u"v");
    EXPECT_TRUE(Reg->KeyExists(u"Empty\\Sub"));
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirFirstSpelling)
{
    {
        auto Reg = Open(u"Software\\Quorvale\\KXR7\\");
        Reg->WriteString(u"DataFolder", u"one");
        Reg->WriteString(u"DATAFOLDER", u"two");
        Reg->WriteString(u"Ärger", u"x");
        Reg->WriteString(u"äRGER", u"y");
    }
    Reload();
    auto Reg = Open(u"SOFTWARE\\quorvale\\kxr7", false);
    EXPECT_EQ(Reg->ReadString(u"datafolder"), u"two");
    EXPECT_EQ(Reg->ReadString(u"ÄRGER"), u"y");
    std::vector<String> Names;
    Reg->GetValueNames(Names);
    EXPECT_EQ(Names, (std::vector<String> { u"DataFolder", u"Ärger" }));
    EXPECT_EQ(KeyNames(u"Software"), std::vector<String> { u"Quorvale" });
}

TEST_F(RegistryTest, ListingsAreSortedWithoutRegardToCase)
{
    auto Reg = Open(u"Software\\List");
    for (const char16_t* Name : { u"Item2", u"item10", u"b", u"A", u"Item1" }) {
        Reg->CreateKey(Name);
        Reg->WriteInteger(Name, 1);
    }
    std::vector<String> Expected { u"A", u"b", u"Item1", u"item10", u"Item2" };
    std::vector<String> Names;
    Reg->GetKeyNames(Names);
    EXPECT_EQ(Names, Expected);
    Reg->GetValueNames(Names);
    EXPECT_EQ(Names, Expected);

    TOwnedPtr<TStringList> List(New<TStringList>());
    List->Add(u"stale");
    Reg->GetKeyNames(List.get());
    ASSERT_EQ(List->Count(), Integer(Expected.size()));
    for (Integer I = 0; I < List->Count(); ++I)
        EXPECT_EQ(List->Strings(I), Expected[I]);
}

TEST_F(RegistryTest, OpenKeyFollowsTheCurrentKeyUnlessTheNameStartsWithABackslash)
{
    auto Reg = MakeOwned<TRegistry>();
    EXPECT_EQ(Reg->RootKey(), HKEY_CURRENT_USER);
    EXPECT_FALSE(Reg->OpenKey(u"Software\\Missing", false));
    EXPECT_EQ(Reg->CurrentKey(), nullptr);
    ASSERT_TRUE(Reg->OpenKey(u"Software", true));
    ASSERT_TRUE(Reg->OpenKey(u"Quorvale", true));
    EXPECT_EQ(Reg->CurrentPath(), u"Software\\Quorvale");
    ASSERT_TRUE(Reg->OpenKey(u"\\Control Panel\\Desktop", true));
    EXPECT_EQ(Reg->CurrentPath(), u"Control Panel\\Desktop");
    EXPECT_TRUE(Reg->KeyExists(u"\\Software\\Quorvale"));
    EXPECT_FALSE(Reg->KeyExists(u"Software")); // relative to Control Panel\Desktop
    Reg->CloseKey();
    EXPECT_TRUE(Reg->KeyExists(u"Software"));
    EXPECT_TRUE(Reg->CurrentPath().empty());
}

TEST_F(RegistryTest, ReadsOfMissingOrMistypedValues)
{
    auto Reg = Open(u"Software\\Types");
    Reg->WriteString(u"Text", u"42");
    Reg->WriteInteger(u"Number", 42);
    Reg->WriteString(u"Empty", u"");
    double D = 0;
    char Small[4];
    struct Case {
        const char* What;
        std::function<void()> Read;
        bool Raises;
        const char16_t* Message; // null: any message
    } Cases[] = {
        { "missing text is empty", [&] { EXPECT_EQ(Reg->ReadString(u"None"), u""); }, false, nullptr },
        { "empty text", [&] { EXPECT_EQ(Reg->ReadString(u"Empty"), u""); }, false, nullptr },
        { "number as text", [&] { Reg->ReadString(u"Number"); }, true, u"Invalid data type for 'Number'" },
        { "text as number", [&] { Reg->ReadInteger(u"Text"); }, true, nullptr },
        { "missing number", [&] { Reg->ReadInteger(u"None"); }, true, u"Failed to get data for 'None'" },
        { "missing bool", [&] { Reg->ReadBool(u"None"); }, true, u"Failed to get data for 'None'" },
        { "number as float", [&] { D = Reg->ReadFloat(u"Number"); }, true, u"Invalid data type for 'Number'" },
        { "text as binary", [&] { Reg->ReadBinaryData(u"Text", Small, 4); }, true, u"Invalid data type for 'Text'" },
        { "missing binary", [&] { EXPECT_EQ(Reg->ReadBinaryData(u"None", Small, 4), 0); }, false, nullptr },
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.What);
        try {
            C.Read();
            EXPECT_FALSE(C.Raises) << "no exception";
        } catch (const ERegistryException& E) {
            EXPECT_TRUE(C.Raises) << E.what();
            if (C.Message)
                EXPECT_EQ(E.Message(), C.Message);
        }
    }
    EXPECT_EQ(Reg->GetDataType(u"Text"), TRegDataType::rdString);
    EXPECT_EQ(Reg->GetDataType(u"Number"), TRegDataType::rdInteger);
    EXPECT_EQ(Reg->GetDataType(u"None"), TRegDataType::rdUnknown);
    EXPECT_EQ(Reg->GetDataSize(u"None"), -1);
    EXPECT_EQ(Reg->GetDataSize(u"Number"), 4);
}

TEST_F(RegistryTest, DeletingValuesAndWholeKeys)
{
    {
        auto Reg = Open(u"Software\\Quorvale\\KXR7\\Font");
        Reg->WriteString(u"Name", u"Arial");
        ASSERT_TRUE(Reg->OpenKey(u"\\Software\\Quorvale\\KXR7\\Items\\Item0\\Font", true));
        Reg->WriteInteger(u"Size", 9);
        ASSERT_TRUE(Reg->OpenKey(u"\\Software\\Quorvale\\KXR7", false));
        Reg->WriteString(u"Keep", u"k");
        Reg->WriteString(u"Drop", u"d");
        EXPECT_TRUE(Reg->DeleteValue(u"drop"));
        EXPECT_FALSE(Reg->DeleteValue(u"drop"));
        EXPECT_TRUE(Reg->DeleteKey(u"Items"));
        EXPECT_FALSE(Reg->DeleteKey(u"Items"));
        EXPECT_FALSE(Reg->DeleteKey(u"\\"));
    }
    Reload();
    auto Reg = Open(u"Software\\Quorvale\\KXR7", false);
    EXPECT_FALSE(Reg->ValueExists(u"Drop"));
    EXPECT_TRUE(Reg->ValueExists(u"Keep"));
    EXPECT_FALSE(Reg->KeyExists(u"Items"));
    EXPECT_FALSE(Reg->KeyExists(u"Items\\Item0\\Font"));
    EXPECT_TRUE(Reg->KeyExists(u"Font"));
}

TEST_F(RegistryTest, ReadOnlyOpenRefusesEveryChange)
{
    Open(u"Software\\Ro")->WriteString(u"Value", u"old");
    auto Reg = MakeOwned<TRegistry>();
    ASSERT_TRUE(Reg->OpenKeyReadOnly(u"Software\\Ro"));
    EXPECT_EQ(Reg->Access(), KEY_READ);
    EXPECT_THROW(Reg->WriteString(u"Value", u"new"), ERegistryException);
    EXPECT_THROW(Reg->WriteInteger(u"Other", 1), ERegistryException);
    EXPECT_FALSE(Reg->DeleteValue(u"Value"));
    EXPECT_THROW(Reg->CreateKey(u"Sub"), ERegistryException);
    EXPECT_FALSE(Reg->OpenKey(u"\\Software\\New", true));
    ASSERT_TRUE(Reg->OpenKey(u"\\Software", true));
    EXPECT_FALSE(Reg->DeleteKey(u"Ro"));
    Reload();
    EXPECT_EQ(Open(u"Software\\Ro", false)->ReadString(u"Value"), u"old");
    EXPECT_FALSE(Open(u"Software", false)->KeyExists(u"New"));
}

TEST_F(RegistryTest, ClassesRootIsTheUsersSoftwareClasses)
{
    Open(u"Software\\Classes\\http\\shell\\open\\command")->WriteString(u"", u"\"/usr/bin/browser\" %1");
    auto Reg = MakeOwned<TRegistry>(KEY_READ);
    Reg->SetRootKey(HKEY_CLASSES_ROOT);
    ASSERT_TRUE(Reg->OpenKey(u"\\http\\shell\\open\\command", false));
    EXPECT_EQ(Reg->ReadString(u""), u"\"/usr/bin/browser\" %1");

    Reg->SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(Reg->OpenKeyReadOnly(u"Software"));
    HKEY Key = nullptr;
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"Software", KEY_ALL_ACCESS, &Key), ERROR_ACCESS_DENIED);
}

TEST_F(RegistryTest, ObjectsInOneProcessShareOneStore)
{
    auto A = Open(u"Software\\Shared");
    auto B = Open(u"Software\\Shared");
    A->WriteInteger(u"LgID", 1033);
    EXPECT_EQ(B->ReadInteger(u"lgid"), 1033);
    A->DeleteKey(u"\\Software\\Shared");
    EXPECT_FALSE(B->ValueExists(u"LgID"));
    EXPECT_THROW(B->WriteInteger(u"LgID", 1), ERegistryException); // its key is gone
}

TEST_F(RegistryTest, ConcurrentProcessesLoseNoChange)
{
    Open(u"Software\\Proc")->WriteString(u"Before", u"b");
    constexpr int Writers = 3, Each = 20;
    std::vector<pid_t> Children;
    for (int W = 0; W < Writers; ++W) {
        pid_t Pid = fork();
        ASSERT_GE(Pid, 0);
        if (Pid == 0) {
            int Failures = 0;
            try {
                auto Reg = MakeOwned<TRegistry>();
                Failures += !Reg->OpenKey(u"Software\\Proc", true);
                for (int I = 0; I < Each; ++I)
                    Reg->WriteInteger(UTF8ToString("W" + std::to_string(W) + "_" + std::to_string(I)), I);
            } catch (...) { // a forked child ends here, whatever went wrong
                Failures = 1;
            }
            _exit(Failures);
        }
        Children.push_back(Pid);
    }
    for (pid_t Pid : Children) {
        int Status = 0;
        ASSERT_EQ(waitpid(Pid, &Status, 0), Pid);
        EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0);
    }
    // No Reload: the store notices the file changed under it.
    auto Reg = Open(u"Software\\Proc", false);
    std::vector<String> Names;
    Reg->GetValueNames(Names);
    EXPECT_EQ(Names.size(), std::size_t(Writers * Each + 1));
    EXPECT_EQ(Reg->ReadString(u"Before"), u"b");
    EXPECT_EQ(Reg->ReadInteger(u"W2_19"), 19);
}

TEST_F(RegistryTest, ADamagedFileReadsEmptyAndIsKeptAsBad)
{
    const std::string Good =
        "QuorvaleRegistry 1\nK\tHKEY_CURRENT_USER\nK\tHKEY_CURRENT_USER\tSoftware\nV\t1\tA\t\"x\nEnd\n";
    const std::pair<const char*, std::string> Cases[] = {
        { "binary junk", std::string("\x00\xff\x10garbage", 10) },
        { "no header", "K\tHKEY_CURRENT_USER\nEnd\n" },
        { "cut off before End", Good.substr(0, Good.size() - 4) },
        { "cut off mid-line", Good.substr(0, Good.size() - 1) },
        { "value before any key", "QuorvaleRegistry 1\nV\t1\tA\t\"x\nEnd\n" },
        { "unknown root", "QuorvaleRegistry 1\nK\tHKEY_USERS\nEnd\n" },
        { "odd hex", "QuorvaleRegistry 1\nK\tHKEY_CURRENT_USER\nV\t3\tB\t#abc\nEnd\n" },
        { "number too big", "QuorvaleRegistry 1\nK\tHKEY_CURRENT_USER\nV\t4\tN\t=4294967296\nEnd\n" },
        { "bad escape", "QuorvaleRegistry 1\nK\tHKEY_CURRENT_USER\nV\t1\tA\t\"\\q\nEnd\n" },
        { "lines after End", Good + "K\tHKEY_CURRENT_USER\n" },
        { "level skipped", "QuorvaleRegistry 2\nK\t0\tHKEY_CURRENT_USER\nK\t2\tSoftware\nEnd\n" },
        { "key before the root", "QuorvaleRegistry 2\nK\t1\tSoftware\nEnd\n" },
        { "level 0 of another root", "QuorvaleRegistry 2\nK\t0\tHKEY_USERS\nEnd\n" },
        { "level not a number", "QuorvaleRegistry 2\nK\t0\tHKEY_CURRENT_USER\nK\tone\tSoftware\nEnd\n" },
        { "path line in the level form",
            "QuorvaleRegistry 2\nK\t0\tHKEY_CURRENT_USER\nK\tHKEY_CURRENT_USER\tSoftware\nEnd\n" },
        { "nested too deep",
            [] {
                std::string Line = "QuorvaleRegistry 1\nK\tHKEY_CURRENT_USER";
                for (std::size_t I = 0; I <= XRegistryStore::MaxDepth; ++I)
                    Line += "\tk";
                return Line + "\nEnd\n";
            }() },
    };
    WriteAll(File(), Good);
    Reload();
    ASSERT_EQ(Open(u"Software", false)->ReadString(u"A"), u"x");
    for (const auto& [What, Content] : Cases) {
        SCOPED_TRACE(What);
        fs::remove(Folder / (std::string(XRegistryStore::FileName) + ".bad"));
        WriteAll(File(), Content);
        Reload();
        auto Reg = MakeOwned<TRegistry>();
        EXPECT_FALSE(Reg->KeyExists(u"Software"));
        EXPECT_EQ(ReadAll(Folder / (std::string(XRegistryStore::FileName) + ".bad")), Content);
        EXPECT_EQ(ReadAll(File()), Content); // reading never rewrites
        ASSERT_TRUE(Reg->OpenKey(u"Software", true));
        Reg->WriteString(u"A", u"fresh");
        Reload();
        EXPECT_EQ(Open(u"Software", false)->ReadString(u"A"), u"fresh");
        EXPECT_EQ(ReadAll(Folder / (std::string(XRegistryStore::FileName) + ".bad")), Content);
    }
}

TEST_F(RegistryTest, AnInterruptedWriteNeverLosesTheOldFile)
{
    Open(u"Software\\Quorvale\\Lumeno")->WriteString(u"DataFolder", u"/data");
    const std::string Before = ReadAll(File());
    // A writer that died half-way left its temporary file behind.
    const fs::path Temp = File().string() + ".tmp";
    WriteAll(Temp, Before.substr(0, Before.size() / 2));
    Reload();
    auto Reg = Open(u"Software\\Quorvale\\Lumeno", false);
    EXPECT_EQ(Reg->ReadString(u"DataFolder"), u"/data");
    Reg->WriteInteger(u"LgID", 1031);
    EXPECT_FALSE(fs::exists(Temp));
    Reload();
    Reg = Open(u"Software\\Quorvale\\Lumeno", false);
    EXPECT_EQ(Reg->ReadString(u"DataFolder"), u"/data");
    EXPECT_EQ(Reg->ReadInteger(u"LgID"), 1031);

    // A write that cannot be completed reports it and changes nothing.
    const std::string Now = ReadAll(File());
    fs::create_directory(Temp);
    EXPECT_THROW(Reg->WriteString(u"DataFolder", u"/elsewhere"), ERegistryException);
    EXPECT_EQ(Reg->ReadString(u"DataFolder"), u"/data");
    EXPECT_EQ(ReadAll(File()), Now);
    fs::remove(Temp);
}

TEST_F(RegistryTest, ABatchReachesTheFileOnceAtItsOutermostEnd)
{
    const String Key = u"Software\\Quorvale\\Batch";
    Open(Key)->WriteString(u"Kept", u"yes");
    const std::string Before = ReadAll(File());
    {
        TRegistryBatch Outer;
        auto Reg = Open(Key);
        Reg->WriteInteger(u"A", 1);
        {
            TRegistryBatch Inner;
            Reg->WriteString(u"B", u"two");
            EXPECT_TRUE(Inner.End());
        }
        // This process sees the changes; the file does not have them yet.
        EXPECT_EQ(Reg->ReadInteger(u"A"), 1);
        EXPECT_EQ(ReadAll(File()), Before);
        EXPECT_TRUE(Outer.End());
        EXPECT_TRUE(Outer.End());
    }
    EXPECT_NE(ReadAll(File()), Before);
    Reload();
    auto Reg = Open(Key, false);
    EXPECT_EQ(Reg->ReadInteger(u"A"), 1);
    EXPECT_EQ(Reg->ReadString(u"B"), u"two");

    // A batch whose write fails drops its changes and leaves the file.
    const std::string Now = ReadAll(File());
    const fs::path Temp = File().string() + ".tmp";
    fs::create_directory(Temp);
    {
        TRegistryBatch Batch;
        Reg->WriteString(u"B", u"lost");
        Reg->DeleteValue(u"Kept");
        EXPECT_FALSE(Batch.End());
    }
    EXPECT_EQ(Reg->ReadString(u"B"), u"two");
    EXPECT_EQ(Reg->ReadString(u"Kept"), u"yes");
    EXPECT_EQ(ReadAll(File()), Now);
    fs::remove(Temp);

    // A batch that cannot take the file's lock refuses every change and
    // says so at its end.
    WriteAll(Folder / "plain-file", "not a folder");
    SetRegistryFolder(UTF8ToString((Folder / "plain-file" / "registry").string()));
    {
        TRegistryBatch Batch;
        auto Refused = MakeOwned<TRegistry>();
        EXPECT_FALSE(Refused->OpenKey(Key, true));
        EXPECT_FALSE(Batch.End());
    }
    TRegistryBatch Empty;
    EXPECT_TRUE(Empty.End());
}

TEST_F(RegistryTest, AFileOfPathsReadsAndIsWrittenByLevelsThatGrowWithItsKeys)
{
    WriteAll(File(),
        "QuorvaleRegistry 1\nK\tHKEY_CURRENT_USER\nV\t4\tTop\t=7\nK\tHKEY_CURRENT_USER\tSoftware\tQuorvale\n"
        "V\t1\tA\t\"x\nEnd\n");
    Reload();
    EXPECT_EQ(Open(u"Software\\Quorvale", false)->ReadString(u"A"), u"x");
    // A key 500 levels deep, and 50 more keys at its bottom.
    String Deep = u"Software";
    for (int I = 0; I < 499; ++I)
        Deep += u"\\k";
    {
        TRegistryBatch Batch;
        Open(Deep);
        for (int I = 0; I < 50; ++I)
            Open(Deep + u"\\b" + UTF8ToString(std::to_string(I)));
    }
    const std::string Text = ReadAll(File());
    EXPECT_EQ(Text.substr(0, Text.find('\n')), "QuorvaleRegistry 2");
    EXPECT_NE(Text.find("K\t0\tHKEY_CURRENT_USER\nV\t4\tTop\t=7\nK\t1\tSoftware\nK\t2\tk\n"), std::string::npos)
        << Text.substr(0, 200);
    // A line a key: written with whole paths, the 50 keys alone would take
    // 50 lines of a kilobyte each.
    EXPECT_LT(Text.size(), std::size_t(12) * 1024);
    Reload();
    EXPECT_EQ(Open(u"Software\\Quorvale", false)->ReadString(u"A"), u"x");
    Open(Deep + u"\\b49", false);
    EXPECT_EQ(Open(u"", false)->ReadInteger(u"Top"), 7);
}

TEST_F(RegistryTest, AFileOfManyDeepKeysIsRefusedWithItsMemoryBounded)
{
    // 8,000 lines of whole paths 512 keys deep, each under a new first key:
    // 8.4 MB that would make four million keys.
    std::string Text = "QuorvaleRegistry 1\n";
    std::string Tail;
    for (std::size_t I = 1; I < XRegistryStore::MaxDepth; ++I)
        Tail += "\tk";
    for (int Line = 0; Line < 8000; ++Line)
        Text += "K\tHKEY_CURRENT_USER\tr" + std::to_string(Line) + Tail + "\n";
    Text += "End\n";
    WriteAll(File(), Text);
    const Testing::TBoundedRun Run = Testing::RunBounded(
        [&] {
            Reload();
            auto Reg = MakeOwned<TRegistry>();
            return std::string(Reg->KeyExists(u"r0") ? "read" : "refused as damaged");
        },
        1024);
    Testing::PrintBoundedRun("registry file of 8,000 keys 512 deep", Int64(Text.size()), Run);
    ASSERT_TRUE(Run.Exited);
    EXPECT_EQ(Run.Result, "refused as damaged");
    // The file, its copy kept as ".bad", and the keys up to the cap; a
    // sanitizer's shadow and quarantine take as much again.
    const Int64 Bound = 3 * Int64(Text.size()) / 1024 + 64 * 1024;
    EXPECT_LT(Run.PeakKiB, Testing::SanitizedBuild ? 2 * Bound : Bound);
}
