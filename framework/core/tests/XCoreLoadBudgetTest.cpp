// Loads of hostile settings, word tables, language files and "card.ini",
// each in a child process of its own with its memory watched: what they
// cost follows the bytes read, whatever the data declares or inflates to.
#include "core/XClasses.h"
#include "core/XCore.Errors.h"
#include "core/XCore.Filers.h"
#include "core/XCore.ZLib.h"
#include "core/XIni.h"
#include "core/XSpark.App.h"
#include "core/XSpark.AppWizard.h"
#include "core/XSpark.Lg.h"
#include "core/XSpark.Lg.Filers.h"
#include "rtl/Streams.h"
#include "rtl/testing/Testing.h"
#include "win/RegistryKeys.h"
#include <gtest/gtest.h>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Count copies of Unit, deflated as they are made, so no test holds the
// long text itself.
RawBytes DeflatedRepeats(const std::string& Head, const std::string& Unit, Int64 Count, const std::string& Tail)
{
    TOwnedPtr<TMemoryStream> Packed(New<TMemoryStream>());
    {
        TOwnedPtr<TXZCompressionStream> Deflater(New<TXZCompressionStream>(Packed.get(), xzlBest));
        Deflater->CompressBuffer(Head.data(), Int64(Head.size()), nullptr);
        std::string Block;
        for (int I = 0; I < 4096; ++I)
            Block += Unit;
        for (Int64 Done = 0; Done < Count; Done += 4096)
            Deflater->CompressBuffer(Block.data(), Int64(Block.size()), nullptr);
        Deflater->CompressBuffer(Tail.data(), Int64(Tail.size()), nullptr);
        Deflater->Finish();
    }
    return RawBytes(static_cast<const char*>(Packed->Memory()), size_t(Packed->Size()));
}

void WriteHostileFile(const fs::path& Path, const RawBytes& Data)
{
    Testing::WriteFileBytes(Path, Testing::Bytes(Data.begin(), Data.end()));
}

// "True" or "False", the load's error code, and what it left in DocType.
std::string LoadHostileSettings(const String& FileName)
{
    TOwnedPtr<TXIni> Ini(New<TXIni>(nullptr));
    Ini->SetDocType(u"default");
    ClearXError();
    const bool Loaded = Ini->LoadFromFile(FileName);
    return std::string(Loaded ? "True" : "False") + ", code " + std::to_string(GetXErrorCode()) + ", DocType '" +
        Testing::U8(Ini->DocType()) + "'";
}

} // namespace

TEST(LoadBudget, HostileSettingsAndLanguageFilesCostWhatTheyHold)
{
    Testing::TTempFolder Temp;
    // Settings: one byte that is not UTF-8 among valid UTF-8.
    const RawBytes BadByte = "object Ini: TXIni\r\n  DocType = 'caf\xE9 \xC3\xBC'\r\nend\r\n";
    WriteHostileFile(Temp / "bad-byte.ini", BadByte);
    // Compressed settings whose text is a list of 32 M small items.
    const RawBytes LongList = DeflatedRepeats("object Ini: TXIni\r\n  DocType = (", "1 ", Int64(32) << 20, ")\r\nend\r\n");
    WriteHostileFile(Temp / "long-list.ini", LongList);
    // A language file whose word table inflates to 32 M pairs.
    {
        TOwnedPtr<TXLgProject> Project(New<TXLgProject>());
        Project->SetAppID(6001);
        Project->SetAppVer(600);
        std::string Block;
        for (int I = 0; I < 4096; ++I)
            Block += "1=\n";
        for (int I = 0; I < 8192; ++I)
            Project->Words()->WriteBuffer(Block.data(), Int64(Block.size()));
        ASSERT_TRUE(FilerSaveToFile(Temp.File("words.lng"), TXLgFiler::StaticClass(), Project.get(), false, nullptr));
    }
    // A word table of short lines, each a pair ten times its size.
    RawBytes ShortPairs;
    for (int I = 0; I < 1398101; ++I)
        ShortPairs += "1=\n";
    // "card.ini" beside the program is a link to /dev/zero.
    fs::create_directories(Temp / "program");
    fs::create_symlink("/dev/zero", Temp / "program" / "card.ini");

    struct Case {
        const char* Name;
        Int64 Size;
        std::function<std::string()> Load;
        std::string Result;
    };
    const Case Cases[] = {
        { "settings with a byte that is not UTF-8", Int64(BadByte.size()),
            [&] {
                const std::string Loaded = LoadHostileSettings(Temp.File("bad-byte.ini"));
                // The next save keeps the valid characters as they were.
                TOwnedPtr<TXIni> Ini(New<TXIni>(nullptr));
                Ini->LoadFromFile(Temp.File("bad-byte.ini"));
                Ini->SaveToFile(Temp.File("saved.ini"), false);
                const Testing::Bytes Saved = Testing::ReadFileBytes(Temp / "saved.ini");
                const std::string Text(Saved.begin(), Saved.end());
                return Loaded + (Text.find("caf\xEF\xBF\xBD \xC3\xBC") != std::string::npos ? ", saved as read" : "");
            },
            "True, code 0, DocType 'caf\xEF\xBF\xBD \xC3\xBC', saved as read" },
        { "compressed settings inflating to 32 M list items", Int64(LongList.size()),
            [&] { return LoadHostileSettings(Temp.File("long-list.ini")); }, "False, code 44, DocType 'default'" },
        { "language file inflating to 32 M word pairs", Int64(fs::file_size(Temp / "words.lng")),
            [&] {
                TOwnedPtr<TXLgProject> Project(New<TXLgProject>());
                Project->SetAppID(6001);
                Project->SetAppVer(600);
                ClearXError();
                const bool Read =
                    FilerLoadFromFile(Temp.File("words.lng"), TXLgFiler::StaticClass(), Project.get(), false, nullptr);
                TOwnedPtr<TXW> Table(New<TXW>());
                const bool Words = Read && GetXErrorCode() == 0 && LoadWords(Table.get(), Project->Words());
                return std::string(Words ? "read" : "refused") + ", code " + std::to_string(GetXErrorCode()) + ", " +
                    std::to_string(Table->Count()) + " pairs";
            },
            "refused, code 44, 0 pairs" },
        { "word table of 1.4 M pairs, 4 MiB as it stands", Int64(ShortPairs.size()),
            [&] {
                TOwnedPtr<TMemoryStream> Text(New<TMemoryStream>());
                Text->WriteBuffer(ShortPairs.data(), Int64(ShortPairs.size()));
                Text->SetPosition(0);
                TOwnedPtr<TXW> Table(New<TXW>());
                ClearXError();
                const bool Words = LoadWords(Table.get(), Text.get());
                return std::string(Words ? "read" : "refused") + ", code " + std::to_string(GetXErrorCode()) + ", " +
                    std::to_string(Table->Count()) + " pairs";
            },
            "refused, code 44, 0 pairs" },
        { "card.ini linked to /dev/zero", 0,
            [&] {
                Testing::TScopedEnv Config("XDG_CONFIG_HOME", (Temp / "config").string());
                SetRegistryFolder({});
                QVApp()->SetProgramFolder(Temp.File("program") + u"/");
                AppDataRoot = Temp.File("data");
                PortableMode = DemoMode = false;
                TOwnedPtr<TXAppWizard> Wizard(New<TXAppWizard>(nullptr));
                Wizard->SetRegKey(u"Quorvale\\LoadBudget");
                const bool Ok = Wizard->SetupDataFolder();
                return std::string(Ok ? "started" : "failed") + (PortableMode ? ", portable" : ", not portable");
            },
            "started, not portable" },
    };
    std::printf("| %-50s | %12s | %9s | %12s | %s |\n", "input", "size", "time", "peak RSS", "result");
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        const Testing::TBoundedRun Run = Testing::RunBounded(C.Load, 1024);
        Testing::PrintBoundedRun(C.Name, C.Size, Run);
        ASSERT_TRUE(Run.Exited);
        EXPECT_EQ(Run.Result, C.Result);
        // The rule: a small multiple of the bytes read plus the allowance
        // (16 MiB charged; the text, its wide copy and the inflated bytes
        // stand beside each other at most a few times over).
        // The address sanitizer keeps freed blocks in quarantine and pads
        // every block, which doubles what the same work holds.
        const Int64 Bound = (xzLoadFactor * C.Size + 4 * xzSettingsAllowance) / 1024 + 16 * 1024;
        EXPECT_LT(Run.PeakKiB, Testing::SanitizedBuild ? 2 * Bound : Bound);
    }
}
