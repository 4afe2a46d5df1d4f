#include "rtl/Threads.h"
#include "win/Timers.h"
#include "win/WinApi.h"
#include <future>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

// Every test runs on a manual clock and starts with an empty queue.
class Messaging : public testing::Test {
protected:
    void SetUp() override { Drain(); }
    void TearDown() override
    {
        for (HWND W : Windows)
            DestroyWindow(W);
        Drain();
    }

    static void Drain()
    {
        MSG Msg;
        while (PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE)) { }
    }

    // A hidden window that records what reaches its procedure.
    HWND Recorder(std::vector<MSG>* Log, LRESULT Answer = 0)
    {
        HWND W = CreateHiddenWindow([Log, Answer](HWND Wnd, UINT M, WPARAM WP, LPARAM LP) -> LRESULT {
            if (M == WM_CREATE || M == WM_DESTROY || M == WM_NCDESTROY)
                return 0;
            Log->push_back(MSG { Wnd, M, WP, LP, 0, {} });
            return Answer;
        });
        Windows.push_back(W);
        return W;
    }

    // Pumps until nothing is waiting.
    static void Pump()
    {
        MSG Msg;
        while (PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessage(&Msg);
    }

    TManualClock Clock;
    std::vector<HWND> Windows;
};

}

TEST_F(Messaging, PostsFromSeveralThreadsArriveInOrderPerSender)
{
    std::vector<MSG> Log;
    HWND W = Recorder(&Log);
    constexpr int Senders = 4, Each = 500;
    std::vector<std::thread> Threads;
    for (int S = 0; S < Senders; ++S)
        Threads.emplace_back([=] {
            for (int I = 0; I < Each; ++I)
                EXPECT_TRUE(PostMessage(W, WM_APP + 200, S, I));
        });
    // The main loop blocks meanwhile and is woken by the posts.
    MSG Msg;
    for (int Got = 0; Got < Senders * Each; ++Got) {
        ASSERT_EQ(GetMessage(&Msg, nullptr, 0, 0), 1);
        DispatchMessage(&Msg);
    }
    for (auto& T : Threads)
        T.join();
    std::vector<LPARAM> Next(Senders, 0);
    for (const MSG& M : Log) {
        ASSERT_EQ(M.message, WM_APP + 200);
        EXPECT_EQ(M.lParam, Next[M.wParam]++);
    }
    EXPECT_EQ(Next, std::vector<LPARAM>(Senders, Each));
}

TEST_F(Messaging, SendRunsAtOnceOnTheOwnerAndWaitsAcrossThreads)
{
    std::vector<MSG> Log;
    HWND W = Recorder(&Log, 77);
    EXPECT_EQ(SendMessage(W, WM_USER, 1, 2), 77);
    ASSERT_EQ(Log.size(), 1u);

    TThreadID HandledOn = 0;
    HWND Echo = CreateHiddenWindow([&](HWND Wnd, UINT M, WPARAM WP, LPARAM LP) -> LRESULT {
        if (M != WM_USER)
            return DefWindowProc(Wnd, M, WP, LP);
        HandledOn = GetCurrentThreadId();
        // Sending back to the waiting sender must not dead-lock.
        return SendMessage(reinterpret_cast<HWND>(LP), WM_USER + 1, 0, 0) + 1;
    });
    Windows.push_back(Echo);
    LRESULT Answer = 0;
    std::thread Worker([&] {
        HWND Back = CreateHiddenWindow([](HWND Wnd, UINT M, WPARAM WP, LPARAM LP) -> LRESULT {
            return M == WM_USER + 1 ? 41 : DefWindowProc(Wnd, M, WP, LP);
        });
        Answer = SendMessage(Echo, WM_USER, 0, reinterpret_cast<LPARAM>(Back));
        DestroyWindow(Back);
        PostMessage(Echo, WM_NULL, 0, 0); // lets the main loop return
    });
    MSG Msg;
    ASSERT_EQ(GetMessage(&Msg, nullptr, 0, 0), 1);
    Worker.join();
    EXPECT_EQ(Answer, 42);
    EXPECT_EQ(HandledOn, MainThreadID);

    // A window whose thread has ended takes nothing.
    HWND Orphan = nullptr;
    std::thread([&] { Orphan = CreateHiddenWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 5; }); }).join();
    EXPECT_FALSE(IsWindow(Orphan));
    EXPECT_EQ(SendMessage(Orphan, WM_USER, 0, 0), 0);
    EXPECT_FALSE(PostMessage(Orphan, WM_USER, 0, 0));
}

TEST_F(Messaging, PeekFiltersByWindowAndRange)
{
    std::vector<MSG> Log;
    HWND A = Recorder(&Log), B = Recorder(&Log);
    const HWND ThreadOnly = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));
    struct {
        HWND Filter;
        UINT Min, Max;
        HWND WantWnd;
        UINT WantMsg; // 0: nothing matches
    } Cases[] = {
        { nullptr, 0, 0, A, WM_USER + 1 },
        { B, 0, 0, B, WM_USER + 2 },
        { nullptr, WM_USER + 3, WM_APP, nullptr, WM_USER + 3 },
        { ThreadOnly, 0, 0, nullptr, WM_USER + 3 },
        { A, WM_USER + 2, WM_USER + 3, nullptr, 0 },
        { nullptr, WM_APP, WM_APP + 10, nullptr, 0 },
    };
    for (const auto& C : Cases) {
        Drain();
        PostMessage(A, WM_USER + 1, 0, 0);
        PostMessage(B, WM_USER + 2, 0, 0);
        PostThreadMessage(GetCurrentThreadId(), WM_USER + 3, 0, 0);
        MSG Msg;
        ASSERT_EQ(PeekMessage(&Msg, C.Filter, C.Min, C.Max, PM_NOREMOVE), C.WantMsg != 0);
        if (!C.WantMsg)
            continue;
        EXPECT_EQ(Msg.message, C.WantMsg);
        EXPECT_EQ(Msg.hwnd, C.WantWnd);
        // NOREMOVE left it; REMOVE takes the same one, then it is gone.
        MSG Again;
        ASSERT_TRUE(PeekMessage(&Again, C.Filter, C.Min, C.Max, PM_REMOVE));
        EXPECT_EQ(Again.message, C.WantMsg);
        if (PeekMessage(&Again, C.Filter, C.Min, C.Max, PM_NOREMOVE))
            EXPECT_NE(Again.message, C.WantMsg);
    }
    // A filter naming a dead window, or one of another thread, is an error.
    MSG Msg;
    HWND Other = nullptr;
    std::promise<void> Made, Release;
    std::thread Owner([&] {
        Other = CreateHiddenWindow([](HWND W, UINT M, WPARAM WP, LPARAM LP) { return DefWindowProc(W, M, WP, LP); });
        Made.set_value();
        Release.get_future().wait();
    });
    Made.get_future().wait();
    EXPECT_EQ(GetMessage(&Msg, Other, 0, 0), -1);
    EXPECT_EQ(DispatchMessage(&(Msg = MSG { Other, WM_USER, 0, 0, 0, {} })), 0);
    EXPECT_FALSE(DestroyWindow(Other));
    Release.set_value();
    Owner.join();
    EXPECT_EQ(GetMessage(&Msg, Other, 0, 0), -1);
}

TEST_F(Messaging, QuitComesAfterPostedMessagesAndPassesAnyFilter)
{
    std::vector<MSG> Log;
    HWND W = Recorder(&Log);
    const UINT Engine = WM_APP + 200;
    PostMessage(W, Engine, 0, 0);
    PostQuitMessage(7);
    PostMessage(W, Engine, 0, 0);
    PostMessage(W, WM_USER, 0, 0);

    MSG Msg;
    ASSERT_EQ(GetMessage(&Msg, nullptr, 0, 0), 1);
    EXPECT_EQ(Msg.message, Engine);
    // The engine's way of collapsing its posts: the second post, then the
    // quit, whatever the range.
    ASSERT_TRUE(PeekMessage(&Msg, W, Engine, Engine, PM_REMOVE));
    EXPECT_EQ(Msg.message, Engine);
    ASSERT_TRUE(PeekMessage(&Msg, W, Engine, Engine, PM_NOREMOVE));
    EXPECT_EQ(Msg.message, WM_QUIT);
    ASSERT_TRUE(PeekMessage(&Msg, W, Engine, Engine, PM_REMOVE));
    EXPECT_EQ(Msg.message, WM_QUIT);
    EXPECT_EQ(Msg.wParam, 7u);
    EXPECT_FALSE(PeekMessage(&Msg, W, Engine, Engine, PM_REMOVE));
    PostQuitMessage(static_cast<int>(Msg.wParam));

    // Unfiltered: the waiting posted message first, then the quit.
    ASSERT_EQ(GetMessage(&Msg, nullptr, 0, 0), 1);
    EXPECT_EQ(Msg.message, WM_USER);
    EXPECT_EQ(GetMessage(&Msg, nullptr, 0, 0), 0);
    EXPECT_EQ(Msg.wParam, 7u);
}

TEST_F(Messaging, TimersFireInDueOrderAfterPostedMessages)
{
    std::vector<MSG> Log;
    HWND W = Recorder(&Log);
    SetTimer(W, 30, 30, nullptr);
    SetTimer(W, 10, 10, nullptr);
    SetTimer(W, 20, 20, nullptr);
    MSG Msg;
    Clock.Advance(9);
    EXPECT_FALSE(PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE));
    Clock.Advance(21);
    PostMessage(W, WM_USER, 0, 0);
    Pump();
    std::vector<UINT_PTR> Order;
    for (const MSG& M : Log)
        Order.push_back(M.message == WM_TIMER ? M.wParam : 0);
    EXPECT_EQ(Order, (std::vector<UINT_PTR> { 0, 10, 20, 30 }));

    // Re-armed from the moment each fired (now), not from the missed due times.
    Log.clear();
    KillTimer(W, 20);
    KillTimer(W, 30);
    Clock.Advance(9);
    Pump();
    EXPECT_TRUE(Log.empty());
    Clock.Advance(1);
    Pump();
    EXPECT_EQ(Log.size(), 1u);
    EXPECT_FALSE(KillTimer(W, 20));
    EXPECT_EQ(SetTimer(reinterpret_cast<HWND>(12345), 1, 10, nullptr), 0u);
}

namespace {
int ThreadTimerCalls = 0;
void CountThreadTimer(HWND, UINT, UINT_PTR, DWORD)
{
    ++ThreadTimerCalls;
}
}

TEST_F(Messaging, ThreadTimersCallTheirProcedureOnlyWhileAlive)
{
    ThreadTimerCalls = 0;
    UINT_PTR Id = SetTimer(nullptr, 0, 100, &CountThreadTimer);
    ASSERT_NE(Id, 0u);
    Clock.Advance(100);
    MSG Msg;
    ASSERT_TRUE(PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(Msg.message, WM_TIMER);
    EXPECT_EQ(Msg.hwnd, nullptr);
    DispatchMessage(&Msg);
    EXPECT_EQ(ThreadTimerCalls, 1);
    // Killed after its message was taken: the message calls nothing.
    KillTimer(nullptr, Id);
    DispatchMessage(&Msg);
    EXPECT_EQ(ThreadTimerCalls, 1);
}

TEST_F(Messaging, TimerObjectMayFreeItselfInItsHandler)
{
    int Calls = 0;
    auto* Timer = New<TTimerObject>();
    HWND Window = Timer->Handle();
    Timer->SetInterval(50);
    Timer->SetOnTimer([&](TObject* Sender) {
        ++Calls;
        Sender->Free();
    });
    Clock.Advance(49);
    Pump();
    EXPECT_EQ(Calls, 0);
    Clock.Advance(1);
    Pump();
    EXPECT_EQ(Calls, 1);
    EXPECT_FALSE(IsWindow(Window));
    Clock.Advance(1000);
    Pump();
    EXPECT_EQ(Calls, 1);

    // Disabled, it stays silent; enabled again, it counts from then.
    TOwnedPtr<TTimerObject> Repeating(New<TTimerObject>());
    Repeating->SetOnTimer([&](TObject*) { ++Calls; });
    Repeating->SetEnabled(false);
    Clock.Advance(5000);
    Pump();
    EXPECT_EQ(Calls, 1);
    Repeating->SetEnabled(true);
    Clock.Advance(1000);
    Pump();
    Clock.Advance(1000);
    Pump();
    EXPECT_EQ(Calls, 3);
}

TEST_F(Messaging, AdvancingTheClockWakesALoopWaitingOnAnotherThread)
{
    std::promise<void> Armed;
    std::promise<UINT> Got;
    std::thread Loop([&] {
        HWND W =
            CreateHiddenWindow([](HWND Wnd, UINT M, WPARAM WP, LPARAM LP) { return DefWindowProc(Wnd, M, WP, LP); });
        SetTimer(W, 1, 1000, nullptr);
        Armed.set_value();
        MSG Msg;
        GetMessage(&Msg, nullptr, 0, 0);
        Got.set_value(Msg.message);
        DestroyWindow(W);
    });
    Armed.get_future().wait();
    Clock.Advance(1000);
    EXPECT_EQ(Got.get_future().get(), WM_TIMER);
    Loop.join();
}

TEST_F(Messaging, WallClockJumpsSendTimeChangeToTopLevelWindows)
{
    int TopLevel = 0, Child = 0;
    HWND Top = CreateHiddenWindow([&](HWND W, UINT M, WPARAM WP, LPARAM LP) -> LRESULT {
        TopLevel += M == WM_TIMECHANGE;
        return 0;
    });
    Windows.push_back(Top);
    static int* ChildCount;
    ChildCount = &Child;
    WNDCLASS Class;
    Class.lpszClassName = u"MessagingChild";
    Class.lpfnWndProc = [](HWND W, UINT M, WPARAM WP, LPARAM LP) -> LRESULT {
        if (M == WM_TIMECHANGE)
            ++*ChildCount;
        return DefWindowProc(W, M, WP, LP);
    };
    RegisterClass(Class);
    ASSERT_NE(CreateWindowEx(0, u"messagingCHILD", u"", WS_CHILD, Top), nullptr);

    Clock.Advance(60000); // time passing is no jump
    Pump();
    EXPECT_EQ(TopLevel, 0);
    Clock.SetLocalTime(EncodeDateTime(2024, 6, 1, 8, 30, 0, 0));
    Pump();
    EXPECT_EQ(TopLevel, 1);
    EXPECT_EQ(Child, 0);
    SYSTEMTIME Local, Utc;
    GetLocalTime(&Local);
    EXPECT_EQ(Local.wHour * 100 + Local.wMinute, 830);
    EXPECT_EQ(Local.wDayOfWeek, 6); // a Saturday
    EXPECT_DOUBLE_EQ(Date(), EncodeDate(2024, 6, 1));

    Clock.SetUtcOffset(120);
    Pump();
    EXPECT_EQ(TopLevel, 2);
    GetSystemTime(&Utc);
    GetLocalTime(&Local);
    EXPECT_EQ((Local.wHour - Utc.wHour + 24) % 24, 2);
    UnregisterClass(u"MessagingChild");
}

TEST_F(Messaging, SynchronizeAndQueueRunWhileTheMainThreadPumps)
{
    class TWorker : public TThread {
    public:
        HWND Notify = nullptr;
        TThreadID SyncOn = 0, QueueOn = 0;

    protected:
        void Execute() override
        {
            Synchronize([this] { SyncOn = GetCurrentThreadId(); });
            Queue([this] { QueueOn = GetCurrentThreadId(); });
            PostMessage(Notify, WM_USER, 0, 0);
        }
    };
    std::vector<MSG> Log;
    auto* Worker = new TWorker();
    Worker->Notify = Recorder(&Log);
    Construct(Worker, true);
    Worker->Start();
    MSG Msg;
    while (Log.empty() || !Worker->QueueOn) {
        ASSERT_EQ(GetMessage(&Msg, nullptr, 0, 0), 1);
        DispatchMessage(&Msg);
    }
    EXPECT_EQ(Worker->SyncOn, MainThreadID);
    EXPECT_EQ(Worker->QueueOn, MainThreadID);
    Worker->Free();
}

TEST_F(Messaging, WindowProceduresCanBeHookedAndWindowsDestroyed)
{
    std::vector<MSG> Log;
    HWND W = Recorder(&Log);
    static WNDPROC Original;
    static int Hooked;
    Hooked = 0;
    Original = reinterpret_cast<WNDPROC>(GetWindowLongPtr(W, GWLP_WNDPROC));
    WNDPROC Hook = [](HWND Wnd, UINT M, WPARAM WP, LPARAM LP) -> LRESULT {
        ++Hooked;
        return CallWindowProc(Original, Wnd, M, WP + 100, LP);
    };
    EXPECT_EQ(SetWindowLongPtr(W, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Hook)),
        reinterpret_cast<LONG_PTR>(Original));
    EXPECT_EQ(SetWindowLongPtr(W, GWLP_WNDPROC, 0), 0); // refused
    SetWindowLongPtr(W, GWLP_USERDATA, 99);
    EXPECT_EQ(GetWindowLongPtr(W, GWLP_USERDATA), 99);
    PostMessage(W, WM_USER, 1, 0);
    Pump();
    ASSERT_EQ(Log.size(), 1u);
    EXPECT_EQ(Log[0].wParam, 101u);
    EXPECT_EQ(Hooked, 1);
    EXPECT_EQ(GetWindowThreadProcessId(W), GetCurrentThreadId());

    // Posted messages of a destroyed window are dropped, later posts fail;
    // WM_CLOSE through the default procedure destroys a window.
    PostMessage(W, WM_USER, 2, 0);
    EXPECT_TRUE(DestroyWindow(W));
    EXPECT_FALSE(DestroyWindow(W));
    EXPECT_FALSE(IsWindow(W));
    EXPECT_FALSE(PostMessage(W, WM_USER, 3, 0));
    Pump();
    EXPECT_EQ(Log.size(), 1u);
    HWND Closing =
        CreateHiddenWindow([](HWND Wnd, UINT M, WPARAM WP, LPARAM LP) { return DefWindowProc(Wnd, M, WP, LP); });
    SendMessage(Closing, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(Closing));
}

TEST(RegisteredMessages, SameNameSameIdWithoutRegardToCase)
{
    UINT A = RegisterWindowMessage(u"QVMActivateApplication");
    EXPECT_GE(A, 0xC000u);
    EXPECT_EQ(RegisterWindowMessage(u"qvmactivateAPPLICATION"), A);
    UINT B = RegisterWindowMessage(u"TaskbarCreated");
    EXPECT_NE(B, A);
    EXPECT_GE(B, 0xC000u);
    EXPECT_EQ(RegisterWindowMessage(u""), 0u);
}

TEST(TickCount, WrapsAtThirtyTwoBits)
{
    TManualClock Clock(EncodeDate(2024, 1, 1), 0xFFFFFFF0ull);
    DWORD Start = GetTickCount();
    Clock.Advance(0x20);
    EXPECT_EQ(GetTickCount64(), 0x100000010ull);
    EXPECT_EQ(static_cast<DWORD>(GetTickCount() - Start), 0x20u);
}

TEST(TickCount, PostsAreStampedWithTheCoarseTickOfTheClock)
{
    // The system clock's coarse tick lies within its resolution of the
    // exact one read around it.
    const UInt64 Before = TimeSource().TickCount();
    const UInt64 Coarse = TimeSource().CoarseTickCount();
    const UInt64 After = TimeSource().TickCount();
    EXPECT_LE(Coarse, After + 1);
    EXPECT_GE(Coarse + 20, Before);
    // A manual clock's is its tick count, and a posted message carries it.
    TManualClock Clock(EncodeDate(2024, 1, 1), 5000);
    EXPECT_EQ(TimeSource().CoarseTickCount(), 5000u);
    ASSERT_TRUE(PostThreadMessage(GetCurrentThreadId(), WM_APP + 7, 0, 0));
    Clock.Advance(30);
    MSG Msg;
    ASSERT_TRUE(PeekMessage(&Msg, nullptr, WM_APP + 7, WM_APP + 7, PM_REMOVE));
    EXPECT_EQ(Msg.time, 5000u);
}
