#include "core/XCore.Errors.h"
#include <gtest/gtest.h>
#include <atomic>
#include <functional>
#include <future>
#include <thread>
#include <vector>

namespace {

// The code an EXError carries, or -1000 when Fn raised nothing.
Integer RaisedCode(const std::function<void()>& Fn)
{
    try {
        Fn();
    } catch (const EXError& E) {
        return std::stoi(StringToUTF8(E.Message()));
    }
    return -1000;
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
    struct TCase { Integer Code; TXErrorCodeSet RaiseSet; Integer Raised; TXErrorCodeSet Seen; };
    const TCase Cases[] = {
        { 5, 0, -1000, XErrorCodeBit(5) },
        { 5, XErrorCodeBit(5), 5, XErrorCodeBit(5) },
        { 5, XErrorCodeBit(6), -1000, XErrorCodeBit(5) },
        { 5, XErrorCodeBit(0), 5, XErrorCodeBit(5) },
        { 63, XErrorCodeBit(63), 63, XErrorCodeBit(63) },
        { 1, XErrorCodeBit(1), 1, XErrorCodeBit(1) },
        { -1, XErrorCodeBit(63), -1000, 0 },          // negative: not recorded, no bit of its own
        { -1, XErrorCodeBit(0), -1, 0 },
        { 64, 0, -1000, XErrorCodeBit(3) },           // 64 and more count as 3
        { 70, XErrorCodeBit(3), 70, XErrorCodeBit(3) },
        { 70, XErrorCodeBit(0), 70, XErrorCodeBit(3) },
        { 70, XErrorCodeBit(6), -1000, XErrorCodeBit(3) },
        { 0x7FFFFFFF, XErrorCodeBit(3), 0x7FFFFFFF, XErrorCodeBit(3) },
        { 0, ~TXErrorCodeSet(0), -1000, 0 },          // no code: nothing to check
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
    E.Clear();                          // keeps the sets
    EXPECT_EQ(E.Code, 0);
    EXPECT_EQ(E.SubCode, 0);
    EXPECT_EQ(E.Text, u"");
    EXPECT_EQ(E.RaiseSet, XErrorCodeBit(9));
    EXPECT_EQ(E.SeenSet, XErrorCodeBit(9));

    E.ReportOnce(false, 44, 1, u"x", false);
    E.ReportOnce(false, 45, 2, u"y", false);
    E.ReportOnce(true, 0, 0, {}, false);    // success changes nothing
    EXPECT_EQ(E.Code, 44);
    EXPECT_EQ(E.Text, u"x");
    EXPECT_EQ(RaisedCode([&] { E.SetErrorOnce(45, 0, true, {}); }), 44);
    EXPECT_EQ(RaisedCode([&] { E.Report(true, 45, 0, {}, true); }), -1000);
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

    EXPECT_EQ(RaisedCode([] { ReportXResult(true, 45, 0, {}, true); }), -1000);
    EXPECT_EQ(GetXErrorCode(), 0);
    try {
        SetXError(42, 0, {}, true);
        ADD_FAILURE();
    } catch (const EXError& E) {
        EXPECT_EQ(E.Message(), u"42");
    }
    EXPECT_EQ(GetXErrorCode(), 42);
    EXPECT_EQ(RaisedCode([] { ReportXResultOnce(false, 45, 0, {}, true); }), 42);
    EXPECT_EQ(RaisedCode([] { CheckXError(); }), -1000);   // empty raise set
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
    EXPECT_EQ(GetXErrorCode(), 0);      // the main record was not touched
}

TEST_F(XErrors, ThreadWithoutARecordUsesTheMainRecord)
{
    OnThread([] { SetXError(31, 2, u"missing.txt", false); });
    EXPECT_EQ(GetXErrorCode(), 31);
    EXPECT_EQ(GetXErrorText(), u"missing.txt");

    // Once its record is removed, a worker falls back to the main record too.
    OnThread([] {
        AddXErrorThread(GetCurrentThreadId());
        AddXErrorThread(GetCurrentThreadId());   // no second record
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
    EXPECT_EQ(RaisedCode([] { SetXError(42, 0, u"x", true); }), -1000);
    EXPECT_EQ(RaisedCode([] { RaiseXError(); }), -1000);
    AddXErrorThread(12345);
    RedirectMainXErrors(12345);
    DoneXErrors();                      // closing twice is harmless

    InitXErrors();
    EXPECT_EQ(GetXErrorCode(), 0);      // a fresh registry
    SetXError(41, 0, {}, false);
    EXPECT_EQ(GetXErrorCode(), 41);     // and no redirect survived
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
                } catch (const EXError&) {
                }
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
