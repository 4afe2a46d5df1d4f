#include "win/InstanceLock.h"
#include "win/WinApi.h"
#include "rtl/testing/Testing.h"
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;
using Testing::TChildProcess;
using Testing::TScopedEnv;
using Testing::TTempFolder;

namespace {

int RunHelper(const std::vector<std::string>& Args)
{
    std::vector<std::string> Argv { INSTANCE_HELPER };
    Argv.insert(Argv.end(), Args.begin(), Args.end());
    return Testing::RunTool(Argv).ExitCode;
}

// A runtime folder and a name of the test's own.
class SingleInstance : public testing::Test {
protected:
    TTempFolder Runtime;
    TScopedEnv RuntimeVar { "XDG_RUNTIME_DIR", Runtime.Path().string() };
    const std::string Name =
        "Probe Program: " + std::string(testing::UnitTest::GetInstance()->current_test_info()->name());
    String WName = UTF8ToString(Name);
};

}

TEST(InstanceNames, BecomeOneSafeComponent)
{
    EXPECT_EQ(InstanceFileName(u"Lumeno Wallpaper"), "Lumeno%20Wallpaper");
    EXPECT_EQ(InstanceFileName(u"../x"), "%2E.%2Fx");
    EXPECT_EQ(InstanceFileName(u".."), "%2E.");
    EXPECT_EQ(InstanceFileName(u""), "%");
    EXPECT_EQ(InstanceFileName(u"K\u00e4se"), "K%C3%A4se");
    const String Long(100, u'a');
    const std::string A = InstanceFileName(Long + u"1"), B = InstanceFileName(Long + u"2");
    EXPECT_EQ(A.size(), 64u);
    EXPECT_NE(A, B);
}

TEST_F(SingleInstance, ASecondProcessIsRefusedWhileTheFirstHolds)
{
    auto First = TInstanceLock::Acquire(WName, nullptr);
    ASSERT_TRUE(First);
    EXPECT_EQ(RunHelper({ "acquire", Name }), 1);
    EXPECT_FALSE(TInstanceLock::Acquire(WName, nullptr));
    EXPECT_EQ(RunHelper({ "acquire", Name + " other" }), 0);

    // Lock and socket live in a folder of ours alone; the lock file stays.
    const fs::path Folder = Runtime / "quorvale";
    EXPECT_EQ(fs::status(Folder).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_TRUE(fs::is_socket(Folder / (InstanceFileName(WName) + ".sock")));
    First.reset();
    EXPECT_TRUE(fs::exists(Folder / (InstanceFileName(WName) + ".lock")));
    EXPECT_FALSE(fs::exists(Folder / (InstanceFileName(WName) + ".sock")));
    EXPECT_EQ(RunHelper({ "acquire", Name }), 0);
}

TEST_F(SingleInstance, TheLockIsFreeAfterTheHolderEndsOrIsKilled)
{
    {
        TChildProcess Holder({ INSTANCE_HELPER, "hold", Name });
        ASSERT_EQ(Holder.ReadLine(), "ready");
        EXPECT_FALSE(TInstanceLock::Acquire(WName, nullptr));
        Holder.CloseInput();
        EXPECT_EQ(Holder.Wait(), 0);
        EXPECT_TRUE(TInstanceLock::Acquire(WName, nullptr));
    }
    TChildProcess Holder({ INSTANCE_HELPER, "hold", Name });
    ASSERT_EQ(Holder.ReadLine(), "ready");
    EXPECT_FALSE(TInstanceLock::Acquire(WName, nullptr));
    Holder.Kill(SIGKILL);
    EXPECT_EQ(Holder.Wait(), -1);
    EXPECT_TRUE(TInstanceLock::Acquire(WName, nullptr));
}

TEST_F(SingleInstance, AChildOfTheHolderDoesNotKeepTheLock)
{
    // The child tells its process id through one FIFO and waits on another.
    TTempFolder Work;
    const fs::path PidFifo = Work / "pid", WaitFifo = Work / "wait";
    ASSERT_EQ(::mkfifo(PidFifo.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(WaitFifo.c_str(), 0600), 0);
    const fs::path Child = Work / "child";
    const std::string Script =
        "#!/bin/sh\necho $$ > '" + PidFifo.string() + "'\nread x < '" + WaitFifo.string() + "'\n";
    Testing::WriteFileBytes(Child, Testing::Bytes(Script.begin(), Script.end()));
    fs::permissions(Child, fs::perms::owner_all);

    TChildProcess Holder({ INSTANCE_HELPER, "hold", Name, Child.string() });
    ASSERT_EQ(Holder.ReadLine(), "ready");
    std::string PidText;
    {
        std::ifstream In(PidFifo);
        std::getline(In, PidText);
    }
    const pid_t ChildPid = pid_t(std::stol(PidText));
    Holder.Kill(SIGKILL);
    Holder.Wait();

    EXPECT_EQ(::kill(ChildPid, 0), 0);
    EXPECT_TRUE(TInstanceLock::Acquire(WName, nullptr));
    std::ofstream(WaitFifo) << "\n";
}

TEST_F(SingleInstance, RecordsReachTheHoldersThreadUnderItsOwnNumbers)
{
    const UINT Probe = RegisterWindowMessage(u"QVMInstanceProbe");
    std::vector<std::string> Copies;
    HWND Target = CreateHiddenWindow([&](HWND W, UINT M, WPARAM WP, LPARAM LP) -> LRESULT {
        if (M == WM_COPYDATA) {
            auto* Data = reinterpret_cast<const COPYDATASTRUCT*>(LP);
            Copies.push_back(
                std::to_string(Data->dwData) + ":" + std::string(static_cast<const char*>(Data->lpData), Data->cbData));
            return 1;
        }
        return DefWindowProc(W, M, WP, LP);
    });
    auto Lock = TInstanceLock::Acquire(WName, Target);
    ASSERT_TRUE(Lock);

    EXPECT_EQ(RunHelper({ "send", Name, "QVMInstanceProbe", "3", "77" }), 0);
    EXPECT_EQ(RunHelper({ "send", Name, "QVMNeverRegistered", "1", "1" }), 0);
    EXPECT_EQ(RunHelper({ "garbage", Name }), 0);
    EXPECT_EQ(RunHelper({ "copy", Name, "5", "hello" }), 0);
    if (::getuid() == 0)
        EXPECT_NE(RunHelper({ "send-as", "65534", Name, "QVMInstanceProbe", "4", "4" }), 0);
    EXPECT_EQ(RunHelper({ "send", Name, "QVMInstanceProbe", "9", "0" }), 0);
    EXPECT_NE(RunHelper({ "send", Name + " nobody", "QVMInstanceProbe", "1", "1" }), 0);

    std::vector<std::pair<WPARAM, LPARAM>> Got;
    MSG Msg;
    while (GetMessage(&Msg, nullptr, 0, 0) > 0) {
        if (Msg.message == Probe) {
            Got.emplace_back(Msg.wParam, Msg.lParam);
            if (Msg.wParam == 9)
                break;
        } else {
            DispatchMessage(&Msg);
        }
    }
    EXPECT_EQ(Got, (std::vector<std::pair<WPARAM, LPARAM>> { { 3, 77 }, { 9, 0 } }));
    EXPECT_EQ(Copies, std::vector<std::string> { "5:hello" });
    Lock.reset();
    DestroyWindow(Target);
}
