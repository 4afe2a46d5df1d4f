#include "core/XClasses.h"
#include "core/XPlatform.Utils.h"
#include "rtl/StringList.h"
#include "rtl/testing/Testing.h"
#include "gdi/Bitmap.h"
#include "vcl/Forms.h"
#include "win/Autostart.h"
#include "win/Presenter.h"
#include "win/ShellExecute.h"
#include "win/WinApi.h"
#include "win/WindowPlacement.h"
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using Testing::TScopedEnv;
using Testing::TTempFolder;

namespace {

std::string ReadText(const fs::path& Path)
{
    const Testing::Bytes B = Testing::ReadFileBytes(Path);
    return std::string(B.begin(), B.end());
}

void WriteText(const fs::path& Path, const std::string& Text)
{
    Testing::WriteFileBytes(Path, Testing::Bytes(Text.begin(), Text.end()));
}

class RunAtLogon : public testing::Test {
protected:
    void TearDown() override
    {
        PortableMode = false;
        DemoMode = false;
    }
    std::vector<std::string> Files()
    {
        std::vector<std::string> Names;
        if (fs::exists(Autostart))
            for (const auto& E : fs::directory_iterator(Autostart))
                Names.push_back(E.path().filename().string());
        std::sort(Names.begin(), Names.end());
        return Names;
    }
    std::vector<String> CommandOf(const std::string& File)
    {
        bool Readable = true;
        for (const TAutostartEntry& E : ReadAutostartEntries(Readable))
            if (fs::path(StringToUTF8(E.FileName)).filename() == File)
                return E.Command;
        return {};
    }

    TTempFolder Config;
    TScopedEnv ConfigVar { "XDG_CONFIG_HOME", Config.Path().string() };
    fs::path Autostart = Config / "autostart";
    const String Program = u"/opt/lumeno dir/lumeno";
};

}

TEST(OpenCommands, SplitIntoProgramAndParameters)
{
    TScopedEnv Root("X_TEST_ROOT", "/srv");
    struct {
        String Command, Program, Parameters;
    } Cases[] = {
        { u"\"C:\\Program Files\\App\\app.exe\" \"%1\"", u"C:\\Program Files\\App\\app.exe", u"" },
        { u"C:\\Windows\\system32\\rundll32.exe \"C:\\Windows\\lib.dll\",ImageView_Fullscreen %1",
            u"C:\\Windows\\system32\\rundll32.exe", u"C:\\Windows\\lib.dll,ImageView_Fullscreen" },
        { u"c:\\x\\viewer.exe %1 /view", u"c:\\x\\viewer.exe", u"/view" },
        { u"c:\\a.com\\run.BAT", u"c:\\a.com\\run.BAT", u"" },
        { u"firefox %u", u"firefox", u"" },
        { u"\"/opt/my app/run\" --new \"%U\"", u"/opt/my app/run", u"--new" },
        { u"%X_TEST_ROOT%/bin/open.exe -q", u"/srv/bin/open.exe", u"-q" },
        { u"%NO_SUCH_VARIABLE_HERE%/x", u"%NO_SUCH_VARIABLE_HERE%/x", u"" },
    };
    for (const auto& C : Cases) {
        String Program, Parameters;
        SplitOpenCommand(C.Command, Program, Parameters);
        EXPECT_EQ(StringToUTF8(Program), StringToUTF8(C.Program)) << StringToUTF8(C.Command);
        EXPECT_EQ(StringToUTF8(Parameters), StringToUTF8(C.Parameters)) << StringToUTF8(C.Command);
    }
}

TEST(OpenCommands, ComeFromTheRegistry)
{
    TTempFolder Folder;
    SetRegistryFolder(UTF8ToString(Folder.Path().string()));
    {
        TOwnedPtr<TRegistry> Reg(New<TRegistry>());
        ASSERT_TRUE(Reg->OpenKey(u"\\Software\\Classes\\http\\shell\\open\\command", true));
        Reg->WriteString(u"", u"\"/usr/bin/browser\" --url \"%1\"");
        ASSERT_TRUE(Reg->OpenKey(u"\\Software\\Classes\\.empty\\shell\\open\\command", true));
        Reg->WriteString(u"", u"  ");
    }
    String Program = u"x", Parameters = u"y";
    EXPECT_TRUE(GetRegisteredProgram(u"http", Program, Parameters));
    EXPECT_EQ(Program, u"/usr/bin/browser");
    EXPECT_EQ(Parameters, u"--url");
    EXPECT_FALSE(GetRegisteredProgram(u".empty", Program, Parameters));
    EXPECT_FALSE(ReadOpenCommand(HKEY_CURRENT_USER, u"Software\\Classes\\mailto", Program, Parameters));
    EXPECT_EQ(Program, u"");
    EXPECT_EQ(Parameters, u"");
    SetRegistryFolder({});
}

TEST_F(RunAtLogon, EntriesAreValidAndTheirCommandParsesBack)
{
    const String Parameters = u"--x \"two words\" 100% $(touch\\ x) `id` back\\slash \"q\\\"uote\"";
    ASSERT_TRUE(SetRunAtLogon(true, u"Lumeno Wallpaper", Program, Parameters));
    ASSERT_EQ(Files(), std::vector<std::string> { "Lumeno_Wallpaper.desktop" });
    const std::vector<String> Expected = { Program, u"/a", u"--x", u"two words", u"100%", u"$(touch\\", u"x)", u"`id`",
        u"back\\slash", u"q\"uote" };
    EXPECT_EQ(CommandOf("Lumeno_Wallpaper.desktop"), Expected);
    if (Testing::HaveTool("desktop-file-validate")) {
        const auto Result =
            Testing::RunTool({ "desktop-file-validate", (Autostart / "Lumeno_Wallpaper.desktop").string() });
        EXPECT_EQ(Result.ExitCode, 0) << Result.Output << ReadText(Autostart / "Lumeno_Wallpaper.desktop");
    }

    // A hostile name stays one file in the folder; control characters are
    // refused.
    EXPECT_TRUE(SetRunAtLogon(true, u"../../evil", u"/bin/evil", u""));
    EXPECT_TRUE(fs::exists(Autostart / "_._.._evil.desktop"));
    EXPECT_FALSE(SetRunAtLogon(true, u"Line", u"/bin/x", u"a\nb"));
}

TEST_F(RunAtLogon, RemovingTakesOnlyTheProgramsOwnEntries)
{
    fs::create_directories(Autostart);
    WriteText(Autostart / "other.desktop", "[Desktop Entry]\nType=Application\nName=Other\nExec=/usr/bin/other /a\n");
    WriteText(Autostart / "prefix.desktop",
        "[Desktop Entry]\nType=Application\nName=P\nExec=\"/opt/lumeno dir/lumeno2\" /a\n");
    WriteText(Autostart / "upper.desktop",
        "[Desktop Entry]\nType=Application\nName=U\nExec=\"/OPT/LUMENO DIR/LUMENO\" /a\n");
    WriteText(Autostart / "noexec.desktop", "[Desktop Entry]\nType=Application\nName=N\n");
    ASSERT_TRUE(SetRunAtLogon(true, u"Lumeno Wallpaper", Program, u""));
    ASSERT_TRUE(SetRunAtLogon(true, u"Second Name", Program, u"/b"));

    EXPECT_TRUE(RemoveRunAtLogon(u""));
    EXPECT_EQ(Files().size(), 6u);
    EXPECT_TRUE(RemoveRunAtLogon(Program));
    EXPECT_EQ(Files(),
        (std::vector<std::string> { "noexec.desktop", "other.desktop", "prefix.desktop", "upper.desktop" }));

    // An entry that cannot be read makes the answer False; the others are
    // still looked at.
    ASSERT_TRUE(SetRunAtLogon(true, u"Lumeno Wallpaper", Program, u""));
    ASSERT_EQ(::mkfifo((Autostart / "pipe.desktop").c_str(), 0600), 0);
    EXPECT_FALSE(RemoveRunAtLogon(Program));
    EXPECT_FALSE(fs::exists(Autostart / "Lumeno_Wallpaper.desktop"));
}

TEST_F(RunAtLogon, SyncGoesByProgramAndModesTouchNothing)
{
    ASSERT_TRUE(SetRunAtLogon(true, u"Old Name", Program, u""));
    EXPECT_TRUE(SyncRunAtLogon(true, u"Lumeno Wallpaper", Program, u""));
    EXPECT_EQ(Files(), std::vector<std::string> { "Old_Name.desktop" });
    EXPECT_TRUE(SyncRunAtLogon(false, u"Lumeno Wallpaper", Program, u""));
    EXPECT_TRUE(Files().empty());
    EXPECT_TRUE(SyncRunAtLogon(true, u"Lumeno Wallpaper", Program, u"/x"));
    EXPECT_EQ(Files(), std::vector<std::string> { "Lumeno_Wallpaper.desktop" });

    for (bool* Mode : { &PortableMode, &DemoMode }) {
        *Mode = true;
        EXPECT_FALSE(SetRunAtLogon(true, u"New", u"/bin/new", u""));
        EXPECT_TRUE(RemoveRunAtLogon(Program));
        EXPECT_FALSE(SyncRunAtLogon(false, u"Lumeno Wallpaper", Program, u""));
        EXPECT_EQ(Files(), std::vector<std::string> { "Lumeno_Wallpaper.desktop" });
        *Mode = false;
    }

    bool Flag = true;
    EXPECT_TRUE(ToggleRunAtLogon(Flag, u"Lumeno Wallpaper", Program, u""));
    EXPECT_FALSE(Flag);
    EXPECT_TRUE(Files().empty());
}

TEST(ShellUtilities, CursorsShellAndWindows)
{
    THeadlessPresenter Presenter;
    EXPECT_EQ(CursorFontShape(Screen->Cursors(crXHMove)), XC_fleur);
    EXPECT_EQ(CursorFontShape(Screen->Cursors(crXHPoint)), XC_hand2);
    EXPECT_EQ(CursorFontShape(Screen->Cursors(crXPick)), XC_crosshair);
    SetHourGlassCursor();
    EXPECT_EQ(Presenter.CursorShape(), XC_watch);
    SetDefaultCursor();
    EXPECT_EQ(Presenter.CursorShape(), XC_left_ptr);
    EXPECT_NE(XM_Progress, 0u);
    EXPECT_GT(XCaptionButtonWidth, 0);

    TTempFolder Bin;
    Testing::TRecorder Opener(Bin / "xdg-open", Bin / "record");
    TScopedEnv Path("PATH", Bin.Path().string() + ":" + std::getenv("PATH"));
    EXPECT_TRUE(ShellExecuteFile(u"open", u"/etc/hosts", u"", u""));
    EXPECT_FALSE(ShellExecuteFile(u"print", u"/etc/hosts", u"", u""));
    WaitForStartedPrograms();
    EXPECT_EQ(Opener.Runs(), std::vector<Testing::TRecorder::TArgs> { { "/etc/hosts" } });

    WNDCLASS Class;
    Class.lpfnWndProc = &DefWindowProc;
    Class.lpszClassName = u"XProbeFinder";
    ASSERT_NE(RegisterClass(Class), 0);
    HWND A = CreateWindowEx(0, u"XProbeFinder", u"Windows Sidebar", 0);
    HWND B = CreateWindowEx(0, u"XProbeFinder", u"Other", 0);
    TXHWndArray Found;
    FindWindowsByClassAndTitle(u"XProbeFinder", u"Windows Sidebar", Found);
    EXPECT_EQ(Found, TXHWndArray { A });
    FindWindowsByClassAndTitle(u"XProbeFinder", u"", Found);
    EXPECT_EQ(Found, (TXHWndArray { A, B }));
    FindWindowsByClassAndTitle(u"", u"", Found);
    EXPECT_NE(std::find(Found.begin(), Found.end(), B), Found.end());
    EXPECT_EQ(std::find(Found.begin(), Found.end(), Application->Handle()), Found.end());
    DestroyWindow(A);
    DestroyWindow(B);
    UnregisterClass(u"XProbeFinder");
}

TEST(ShellUtilities, DisplaysAndMonitorIndexes)
{
    THeadlessPresenter Presenter;
    TMonitorDesc Left { { 0, 0, 1920, 1080 }, { 0, 0, 1920, 1040 }, 96, 96, false, u"Left panel", 0, u"Card A" };
    TMonitorDesc Right { { 1920, 0, 4800, 1620 }, { 1920, 0, 4800, 1620 }, 144, 144, true, u"Right panel", 0,
        u"Card A" };
    TMonitorDesc Far { { 4800, 0, 6720, 1080 }, { 4800, 0, 6720, 1080 }, 96, 96, false, u"Far panel", 1, u"Card B" };
    Presenter.SetMonitors({ Left, Right });
    TOwnedPtr<TStringList> Lines(New<TStringList>());
    // One adapter with two monitors: only its first monitor is named.
    ListDisplayDevices(Lines.get());
    EXPECT_EQ(Lines->Text(), u"1. Left panel on Card A\r\n");
    Presenter.SetMonitors({ Left, Right, Far });
    ListDisplayDevices(Lines.get());
    EXPECT_EQ(Lines->Text(), u"1. Left panel on Card A\r\n2. Far panel on Card B\r\n");

    EXPECT_EQ(GetPrimaryMonitorIndex(), 1);
    EXPECT_EQ(GetPointMonitorIndex({ 5000, 10 }, MONITOR_DEFAULTTONULL), 2);
    EXPECT_EQ(GetPointMonitorIndex({ 10, 5000 }, MONITOR_DEFAULTTONULL), 0);
    EXPECT_EQ(GetPointMonitorIndex({ 10, 5000 }, MONITOR_DEFAULTTOPRIMARY), 1);
    HWND Wnd = CreateHiddenWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    MoveWindow(Wnd, 1800, 100, 800, 600, false);
    EXPECT_EQ(GetWindowMonitorIndex(Wnd, MONITOR_DEFAULTTONEAREST), 1);
    DestroyWindow(Wnd);
}

TEST(ShellUtilities, TextIsMeasuredInTheFontAsTheCanvasMeasuresIt)
{
    TOwnedPtr<TFont> Font(MakeOwned<TFont>());
    Font->SetName(u"Arial");
    Font->SetHeight(-16);
    const Integer Short = GetTextWidth(u"Hello", Font.get());
    EXPECT_GT(Short, 20);
    EXPECT_GT(GetTextWidth(u"Hello, world", Font.get()), Short);
    Integer W = 0, H = 0;
    GetTextExtent(u"Hello", Font.get(), W, H);
    EXPECT_EQ(W, Short);
    EXPECT_EQ(H, Font->Metrics().Height());
    // The same text as a canvas measures it, however long.
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    Bmp->Canvas()->SetFont(Font.get());
    const String Long(400, u'W');
    EXPECT_EQ(GetTextWidth(Long, Font.get()), Bmp->Canvas()->TextWidth(Long));
    Font->SetHeight(-32);
    EXPECT_GT(GetTextWidth(u"Hello", Font.get()), Short);
}

TEST(ShellUtilities, ClientOriginsAndWindowMessagesOfAForm)
{
    THeadlessPresenter Presenter;
    auto* Form = New<TForm>(nullptr);
    Form->SetBounds(50, 60, 300, 200);
    auto* Child = New<TCustomControl>(Form);
    Child->SetParent(Form);
    Child->SetBounds(10, 20, 100, 50);
    Form->Show();
    EXPECT_EQ(GetClientOriginInParent(Child), (TPoint { 10, 20 }));
    // Forms have no frame of their own here: client and window points agree.
    EXPECT_EQ(ClientToWindowPoint(Form, { 5, 7 }), (TPoint { 5, 7 }));

    Integer Seen = 0;
    HWND Other = CreateHiddenWindow([&](HWND, UINT M, WPARAM, LPARAM) -> LRESULT {
        Seen += M == WM_USER;
        return 0;
    });
    PostMessage(Other, WM_USER, 0, 0);
    PostMessage(Form->Handle(), WM_NULL, 0, 0);
    ProcessWindowMessages(Form);
    EXPECT_EQ(Seen, 0); // another window's message waits
    MSG Msg;
    EXPECT_FALSE(PumpWindowMessage(Form, Msg));
    Application->ProcessMessages();
    EXPECT_EQ(Seen, 1);
    DestroyWindow(Other);
    Form->Free();
}
