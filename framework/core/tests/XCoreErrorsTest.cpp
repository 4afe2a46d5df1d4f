#include "core/XCore.Errors.h"
#include "rtl/Streams.h"
#include "rtl/Verify.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <atomic>
#include <functional>
#include <future>
#include <thread>
#include <vector>

namespace {

using Testing::RaisedCode; // 0 when nothing was raised

[[noreturn]] bool RaiseCode41()
{
    SetXError(41, 0, {}, true);
    throw Exception(u"not reached");
}

// Runs Fn on a new thread and waits for it.
void OnThread(const std::function<void()>& Fn)
{
    std::thread T(Fn);
    T.join();
}

class XErrors : public testing::Test {
protected:
    void SetUp() override
    {
        SetXErrorClosingWait(std::chrono::milliseconds(0));
        ClearXError();
    }
    void TearDown() override
    {
        EndMainXErrorRedirect();
        ClearXError();
    }
};

}

TEST(XErrorData, RaisePolicy)
{
    struct TCase {
        Integer Code;
        TXErrorCodeSet RaiseSet;
        Integer Raised;
        TXErrorCodeSet Seen;
    };
    const TCase Cases[] = {
        { 5, 0, 0, XErrorCodeBit(5) }, { 5, XErrorCodeBit(5), 5, XErrorCodeBit(5) },
        { 5, XErrorCodeBit(6), 0, XErrorCodeBit(5) }, { 5, XErrorCodeBit(0), 5, XErrorCodeBit(5) },
        { 63, XErrorCodeBit(63), 63, XErrorCodeBit(63) }, { 1, XErrorCodeBit(1), 1, XErrorCodeBit(1) },
        { -1, XErrorCodeBit(63), 0, 0 }, // negative: not recorded, no bit of its own
        { -1, XErrorCodeBit(0), -1, 0 }, { 64, 0, 0, XErrorCodeBit(3) }, // 64 and more count as 3
        { 70, XErrorCodeBit(3), 70, XErrorCodeBit(3) }, { 70, XErrorCodeBit(0), 70, XErrorCodeBit(3) },
        { 70, XErrorCodeBit(6), 0, XErrorCodeBit(3) }, { 0x7FFFFFFF, XErrorCodeBit(3), 0x7FFFFFFF, XErrorCodeBit(3) },
        { 0, ~TXErrorCodeSet(0), 0, 0 }, // no code: nothing to check
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(testing::Message() << "code " << C.Code);
        TXErrorData E = TXErrorData::Create(C.Code, 0, {});
        E.RaiseSet = C.RaiseSet;
        EXPECT_EQ(RaisedCode([&] { E.Check(); }), C.Raised);
        EXPECT_EQ(E.SeenSet, C.Seen);
        EXPECT_EQ(E.Code, C.Code);
    }
}

TEST(XErrorData, RecordOperations)
{
    TXErrorData E = TXErrorData::Create(41, 2, u"a.bin");
    E.RaiseSet = XErrorCodeBit(9);
    E.SeenSet = XErrorCodeBit(9);
    E.Clear(); // keeps the sets
    EXPECT_EQ(E.Code, 0);
    EXPECT_EQ(E.SubCode, 0);
    EXPECT_EQ(E.Text, u"");
    EXPECT_EQ(E.RaiseSet, XErrorCodeBit(9));
    EXPECT_EQ(E.SeenSet, XErrorCodeBit(9));

    E.ReportOnce(false, 44, 1, u"x", false);
    E.ReportOnce(false, 45, 2, u"y", false);
    E.ReportOnce(true, 0, 0, {}, false); // success changes nothing
    EXPECT_EQ(E.Code, 44);
    EXPECT_EQ(E.Text, u"x");
    EXPECT_EQ(RaisedCode([&] { E.SetErrorOnce(45, 0, true, {}); }), 44);
    EXPECT_EQ(RaisedCode([&] { E.Report(true, 45, 0, {}, true); }), 0);
    EXPECT_EQ(E.Code, 0);
    EXPECT_EQ(RaisedCode([&] { E.RaiseError(); }), 3);
    EXPECT_EQ(E.Code, 3);
}

TEST_F(XErrors, SetReportAndRaiseOnTheCallingThread)
{
    SetXError(41, 7, u"file.dat", false);
    SetXErrorOnce(44, 0, u"other", false);
    EXPECT_EQ(GetXErrorCode(), 41);
    EXPECT_EQ(GetXErrorText(), u"file.dat");
    ClearXError();
    EXPECT_EQ(GetXErrorCode(), 0);
    SetXErrorOnce(44, 0, u"", false);
    EXPECT_EQ(GetXErrorCode(), 44);

    EXPECT_EQ(RaisedCode([] { ReportXResult(true, 45, 0, {}, true); }), 0);
    EXPECT_EQ(GetXErrorCode(), 0);
    try {
        SetXError(42, 0, {}, true);
        ADD_FAILURE();
    } catch (const EXError& E) {
        EXPECT_EQ(E.Message(), u"42");
    }
    EXPECT_EQ(GetXErrorCode(), 42);
    EXPECT_EQ(RaisedCode([] { ReportXResultOnce(false, 45, 0, {}, true); }), 42);
    EXPECT_EQ(RaisedCode([] { CheckXError(); }), 0); // empty raise set
    ClearXError();
    EXPECT_EQ(RaisedCode([] { RaiseXError(); }), 3);
    EXPECT_EQ(GetXErrorCode(), 3);
    // A raise left the registry usable from other threads.
    OnThread([] { SetXError(45, 0, {}, false); });
    EXPECT_EQ(GetXErrorCode(), 45);
}

TEST_F(XErrors, WorkerThreadsKeepTheirOwnRecords)
{
    std::atomic<int> Failures { 0 };
    std::vector<std::thread> Workers;
    for (Integer N = 1; N <= 8; ++N)
        Workers.emplace_back([N, &Failures] {
            AddXErrorThread(GetCurrentThreadId());
            for (int I = 0; I < 200; ++I) {
                SetXError(N, I, u"w", false);
                if (GetXErrorCode() != N)
                    ++Failures;
            }
            RemoveXErrorThread(GetCurrentThreadId());
        });
    for (auto& W : Workers)
        W.join();
    EXPECT_EQ(Failures.load(), 0);
    EXPECT_EQ(GetXErrorCode(), 0); // the main record was not touched
}

TEST_F(XErrors, ThreadWithoutARecordUsesTheMainRecord)
{
    OnThread([] { SetXError(31, 2, u"missing.txt", false); });
    EXPECT_EQ(GetXErrorCode(), 31);
    EXPECT_EQ(GetXErrorText(), u"missing.txt");

    // Once its record is removed, a worker falls back to the main record too.
    OnThread([] {
        AddXErrorThread(GetCurrentThreadId());
        AddXErrorThread(GetCurrentThreadId()); // no second record
        SetXError(44, 0, {}, false);
        RemoveXErrorThread(GetCurrentThreadId());
        EXPECT_EQ(GetXErrorCode(), 31);
    });
}

TEST_F(XErrors, MainThreadRedirectsToAWorkersRecord)
{
    std::promise<TThreadID> Ready;
    std::promise<void> Go;
    Integer WorkerSaw = -1;
    std::thread Worker([&] {
        AddXErrorThread(GetCurrentThreadId());
        Ready.set_value(GetCurrentThreadId());
        Go.get_future().wait();
        WorkerSaw = GetXErrorCode();
        RemoveXErrorThread(GetCurrentThreadId());
    });
    TThreadID WorkerID = Ready.get_future().get();

    SetXError(4, 0, u"main", false);
    RedirectMainXErrors(WorkerID);
    SetXError(45, 0, u"for worker", false);
    EXPECT_EQ(GetXErrorCode(), 45);
    EndMainXErrorRedirect();
    EXPECT_EQ(GetXErrorCode(), 4);
    EXPECT_EQ(GetXErrorText(), u"main");

    Go.set_value();
    Worker.join();
    EXPECT_EQ(WorkerSaw, 45);

    // A redirect to a thread whose record is gone works on the main record.
    RedirectMainXErrors(WorkerID);
    SetXError(46, 0, {}, false);
    EndMainXErrorRedirect();
    EXPECT_EQ(GetXErrorCode(), 46);
}

TEST_F(XErrors, ClosedRegistryRecordsNothing)
{
    SetXError(44, 0, u"before", false);
    DoneXErrors();
    EXPECT_EQ(GetXErrorCode(), 3);
    EXPECT_EQ(GetXErrorText(), u"");
    EXPECT_EQ(RaisedCode([] { SetXError(42, 0, u"x", true); }), 0);
    EXPECT_EQ(RaisedCode([] { RaiseXError(); }), 0);
    AddXErrorThread(12345);
    RedirectMainXErrors(12345);
    DoneXErrors(); // closing twice is harmless

    InitXErrors();
    EXPECT_EQ(GetXErrorCode(), 0); // a fresh registry
    SetXError(41, 0, {}, false);
    EXPECT_EQ(GetXErrorCode(), 41); // and no redirect survived
}

TEST_F(XErrors, ClosingWhileThreadsAreInsideCalls)
{
    std::atomic<bool> Stop { false };
    std::atomic<int> Started { 0 };
    std::vector<std::thread> Threads;
    for (int N = 0; N < 4; ++N)
        Threads.emplace_back([&, N] {
            if (N % 2)
                AddXErrorThread(GetCurrentThreadId());
            ++Started;
            while (!Stop) {
                SetXError(44, N, u"busy", false);
                (void)GetXErrorText();
                try {
                    RaiseXError();
                } catch (const EXError&) { }
            }
        });
    while (Started < 4)
        std::this_thread::yield();
    DoneXErrors();
    EXPECT_EQ(GetXErrorCode(), 3);
    Stop = true;
    for (auto& T : Threads)
        T.join();
    InitXErrors();
    EXPECT_EQ(GetXErrorCode(), 0);
}

TEST_F(XErrors, GuardedTurnsARaiseIntoItsCodeOnce)
{
    struct Row {
        const char* Name;
        TXErrorCode Code;
        Integer Earlier; // stored before the call, 0 for none
        std::function<bool()> Body;
        bool Answer;
        Integer Stored;
    };
    const std::vector<Row> Rows = {
        { "true passes", xecReadFailed, 0, [] { return true; }, true, 0 },
        { "false records nothing", xecReadFailed, 0, [] { return false; }, false, 0 },
        { "a raise takes the code", xecReadFailed, 0, []() -> bool { throw EReadError(u"x"); }, false, 44 },
        { "EXError keeps its own", xecReadFailed, 0, []() -> bool { RaiseCode41(); }, false, 41 },
        { "the first code stays", xecWriteFailed, 31, []() -> bool { throw Exception(u"x"); }, false, 31 },
        { "xecNone records nothing", xecNone, 0, []() -> bool { throw Exception(u"x"); }, false, 0 },
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(R.Name);
        ClearXError();
        if (R.Earlier)
            SetXError(R.Earlier, 0, {}, false);
        EXPECT_EQ(XGuarded(R.Code, false, R.Body), R.Answer);
        EXPECT_EQ(GetXErrorCode(), R.Stored);
    }
    ClearXError();
    XGuarded(xecReadFailed, false, []() -> bool { throw EReadError(u"stream read error"); });
    EXPECT_EQ(GetXErrorText(), u"stream read error");
    ClearXError();
    EXPECT_TRUE(XGuarded(xecReadFailed, false, [] {}));
    EXPECT_EQ(RaisedCode([] { XGuarded(xecWriteFailed, true, []() -> bool { throw Exception(u"x"); }); }), 45);
    EXPECT_EQ(GetXErrorCode(), 45);
}

TEST(XVerify, AFailedCheckStopsTheProgramWithItsPlace)
{
    EXPECT_DEATH(X_VERIFY(1 + 1 == 3, "arithmetic"), "check failed: arithmetic \\(1 \\+ 1 == 3\\)");
}
