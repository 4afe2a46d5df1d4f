#include "win/Time.h"
#include "win/WinApi.h"
#include "core/XCore.App.h"
#include <cstdlib>
#include <gtest/gtest.h>
#include <vector>

namespace {

class TAppLog : public TObject {
public:
    std::vector<TClass> Got;
    void On(IXNotification* N) { Got.push_back(N->GetAspect()->ClassType()); }
    TXNotificationHandler Handler() { return TXNotificationHandler::Of<&TAppLog::On>(this); }
};

class THook : public TObject {
public:
    std::vector<UINT> Seen;
    std::function<void(TMessage&)> Action;
    void Message(TMessage& M)
    {
        Seen.push_back(M.Msg);
        if (Action)
            Action(M);
    }
    TXWndMethod Method() { return TXWndMethod::Of<&THook::Message>(this); }
};

// A core application of the test's own, so terminating it leaves the
// process's instance alone.
class CoreApp : public testing::Test {
protected:
    void SetUp() override
    {
        App.reset(New<TXQVCoreApp>());
        Engine = App->Engine();
        Engine->SubscribeAll(Log.Handler());
    }
    void TearDown() override { App.reset(); }
    LRESULT Send(UINT Msg) { return SendMessage(Engine->GetHandle(), Msg, 0, 0); }

    TManualClock Clock { EncodeDateTime(2024, 6, 30, 23, 15, 0, 0), 0xFFFFFF00ull, 120 };
    TOwnedPtr<TXQVCoreApp> App;
    TXAppEngine* Engine = nullptr;
    TAppLog Log;
};

constexpr UINT WM_PROBE = WM_APP + 7;

}

TEST_F(CoreApp, TerminateAnnouncesOnceEvenWhenAnObserverTerminatesAgain)
{
    bool Again = false;
    class TReentrant : public TObject {
    public:
        TXQVCoreApp* App = nullptr;
        bool* Again = nullptr;
        void On(IXNotification*)
        {
            *Again = true;
            App->Terminate();
        }
    } Reentrant;
    Reentrant.App = App.get();
    Reentrant.Again = &Again;
    Engine->Subscribe(TXAppTerminatedAspect::StaticClass(), TXNotificationHandler::Of<&TReentrant::On>(&Reentrant));

    App->Terminate();
    App->Terminate();
    EXPECT_TRUE(App->Terminated());
    EXPECT_TRUE(Again);
    EXPECT_EQ(Log.Got, std::vector<TClass> { TXAppTerminatedAspect::StaticClass() });
    Engine->UnsubscribeComponent(&Reentrant);
}

TEST_F(CoreApp, HooksSeeEveryMessageOnceThenQuitAndTimeChangeBecomeNotifications)
{
    THook Hook;
    Hook.Action = [](TMessage& M) {
        if (M.Msg == WM_PROBE)
            M.Result = 42;
    };
    EXPECT_EQ(Engine->AddWndProcHook(Hook.Method()), 0);
    EXPECT_EQ(Engine->AddWndProcHook(Hook.Method()), 0);

    EXPECT_EQ(Send(WM_PROBE), 42);
    Send(WM_TIMECHANGE);
    EXPECT_FALSE(App->Terminated());
    Send(WM_QUIT);

    EXPECT_EQ(Hook.Seen, (std::vector<UINT> { WM_PROBE, WM_TIMECHANGE, WM_QUIT }));
    EXPECT_TRUE(App->Terminated());
    EXPECT_EQ(Log.Got,
        (std::vector<TClass> { TXSystemTimeChangedAspect::StaticClass(), TXAppTerminatedAspect::StaticClass() }));

    EXPECT_EQ(Engine->RemoveWndProcHook(Hook.Method()), 0);
    EXPECT_EQ(Engine->RemoveWndProcHook(Hook.Method()), -1);
    EXPECT_EQ(Engine->HookCount(), 0);
}

TEST_F(CoreApp, AHookThatRemovesHooksDuringTheChainDoesNotRunPastTheList)
{
    THook First, Second, Third;
    First.Action = [&](TMessage&) {
        Engine->RemoveWndProcHook(First.Method());
        Engine->RemoveWndProcHook(Second.Method());
        Engine->RemoveWndProcHook(Third.Method());
    };
    Engine->AddWndProcHook(First.Method());
    Engine->AddWndProcHook(Second.Method());
    Engine->AddWndProcHook(Third.Method());
    Send(WM_PROBE);
    EXPECT_EQ(First.Seen.size(), 1u);
    EXPECT_TRUE(Second.Seen.empty());
    EXPECT_TRUE(Third.Seen.empty());
    EXPECT_EQ(Engine->HookCount(), 0);
}

TEST_F(CoreApp, HooksRemovedDuringTheChainPassNoOtherHookOver)
{
    struct TCase {
        const char* Name;
        int Actor; // the hook that acts on the first message
        std::vector<int> Removes; // hooks it removes
        bool Nested; // it removes them inside a second message it sends
        std::vector<size_t> Seen; // probes each hook saw
        Integer Left;
    };
    const TCase Cases[] = {
        { "the first removes itself", 0, { 0 }, false, { 1, 1, 1 }, 2 },
        { "the second removes itself", 1, { 1 }, false, { 1, 1, 1 }, 2 },
        { "the first removes the second", 0, { 1 }, false, { 1, 0, 1 }, 2 },
        { "the second removes the first and itself", 1, { 0, 1 }, false, { 1, 1, 1 }, 1 },
        { "removed inside a nested message", 0, { 0 }, true, { 2, 2, 2 }, 2 },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        THook Hooks[3];
        int Calls = 0;
        Hooks[C.Actor].Action = [&](TMessage& M) {
            if (M.Msg != WM_PROBE)
                return;
            ++Calls;
            if (C.Nested && Calls == 1)
                Send(WM_PROBE);
            else if (Calls == (C.Nested ? 2 : 1))
                for (int R : C.Removes)
                    Engine->RemoveWndProcHook(Hooks[R].Method());
        };
        for (THook& H : Hooks)
            Engine->AddWndProcHook(H.Method());
        Send(WM_PROBE);
        for (int I = 0; I < 3; ++I)
            EXPECT_EQ(Hooks[I].Seen.size(), C.Seen[I]) << "hook " << I;
        EXPECT_EQ(Engine->HookCount(), C.Left);
        for (THook& H : Hooks)
            Engine->RemoveWndProcHook(H.Method());
        EXPECT_EQ(Engine->HookCount(), 0);
    }
}

TEST_F(CoreApp, AWallClockChangeIsAnnouncedWithNothingQueued)
{
    MSG Msg;
    PeekMessage(&Msg, nullptr, 0, 0, PM_NOREMOVE);
    Log.Got.clear();
    Clock.SetLocalTime(EncodeDateTime(2024, 7, 1, 8, 0, 0, 0));
    EXPECT_FALSE(PeekMessage(&Msg, nullptr, 0, 0, PM_NOREMOVE) && Msg.message != WM_TIMER);
    EXPECT_EQ(Log.Got, std::vector<TClass> { TXSystemTimeChangedAspect::StaticClass() });
}

TEST_F(CoreApp, ClockOperations)
{
    EXPECT_EQ(App->Now(), EncodeDateTime(2024, 6, 30, 23, 15, 0, 0));
    EXPECT_EQ(App->Date(), EncodeDate(2024, 6, 30));
    EXPECT_EQ(App->Time(), EncodeTime(23, 15, 0, 0));
    EXPECT_EQ(App->UTCNow(), EncodeDateTime(2024, 6, 30, 21, 15, 0, 0));

    // The tick count passes 2^32 meanwhile.
    Cardinal Ticks = 0;
    App->StartTicks(Ticks);
    Clock.Advance(0x300);
    App->TicksSince(Ticks);
    EXPECT_EQ(Ticks, 0x300u);
}

TEST(CoreAppLoop, TheMessageLoopHandsWMQuitToTheApplicationEngineBeforeItEnds)
{
    // The process's own core application is terminated for good, so this
    // runs in a child process.
    EXPECT_EXIT(
        {
            THook Hook;
            GetAppEngine()->AddWndProcHook(Hook.Method());
            PostQuitMessage(3);
            const int Code = RunAppMessageLoop();
            const bool Ok = Code == 3 && QVCoreApp()->Terminated() && !Hook.Seen.empty() && Hook.Seen.back() == WM_QUIT;
            std::_Exit(Ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_FALSE(QVCoreApp()->Terminated());
}
