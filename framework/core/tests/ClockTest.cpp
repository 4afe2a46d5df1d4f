#include "win/Time.h"
#include "win/WinApi.h"
#include "core/XCore.App.h"
#include "core/XCore.Clock.h"
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// The clock's notifications as short words: "changed", "exact 1439",
// "day", "hour", "minute", "tick".
class TClockLog : public TObject {
public:
    std::vector<std::string> Got;
    std::vector<TDateTime> ExactTimes;
    std::function<void(TXCustomAspect*)> Action;
    void On(IXNotification* N)
    {
        TXCustomAspect* A = N->GetAspect();
        if (auto* E = DynamicCast<TXTimeExactMinuteAspect>(A)) {
            Got.push_back("exact " + std::to_string(E->MinOfDay));
            ExactTimes.push_back(E->DateTime);
        } else if (A->Is<TXTimeChangedAspect>())
            Got.push_back("changed");
        else if (A->Is<TXTimeDayAspect>())
            Got.push_back("day");
        else if (A->Is<TXTimeHourAspect>())
            Got.push_back("hour");
        else if (A->Is<TXTimeMinuteAspect>())
            Got.push_back("minute");
        else if (A->Is<TXTimeTickAspect>())
            Got.push_back("tick");
        if (Action)
            Action(A);
    }
    TXNotificationHandler Handler() { return TXNotificationHandler::Of<&TClockLog::On>(this); }
    using TWords = std::vector<std::string>;
};

TDateTime At(Word Y, Word Mo, Word D, Word H, Word Mi, Word S = 0)
{
    return EncodeDateTime(Y, Mo, D, H, Mi, S, 0);
}

class Clock : public testing::Test {
protected:
    void Start(TDateTime Local)
    {
        Manual.SetLocalTime(Local);
        Sut.reset(New<TXQVClock>());
        // The loop tells the windows of the clock that was set; that passes
        // before the test looks.
        MSG Msg;
        PeekMessage(&Msg, nullptr, 0, 0, PM_NOREMOVE);
        Sut->Observable()->Subscribe(TXTimeAspect::StaticClass(), Log.Handler());
    }
    void TearDown() override { Sut.reset(); }

    TManualClock Manual;
    TClockLog Log;
    TOwnedPtr<TXQVClock> Sut;
    using W = TClockLog::TWords;
};

}

TEST_F(Clock, TheSameMinuteGivesOnlyTheTick)
{
    Start(At(2024, 3, 10, 9, 15, 5));
    Manual.Advance(1000);
    Sut->Tick();
    EXPECT_EQ(Log.Got, W { "tick" });
}

TEST_F(Clock, TheTimerDrivesTheTickThroughTheMessageLoop)
{
    Start(At(2024, 3, 10, 9, 15, 5));
    Manual.Advance(1000);
    MSG Msg;
    while (Log.Got.empty() && PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessage(&Msg);
    EXPECT_EQ(Log.Got, W { "tick" });
}

TEST_F(Clock, OrderOfNotificationsForEachKindOfChange)
{
    struct TCase {
        const char* Name;
        TDateTime From, To;
        std::vector<std::string> Expected;
    };
    const TCase Cases[] = {
        { "one minute", At(2024, 3, 10, 9, 15, 20), At(2024, 3, 10, 9, 16, 1),
            { "changed", "exact 556", "minute", "tick" } },
        { "busy for two minutes", At(2024, 3, 10, 9, 15, 20), At(2024, 3, 10, 9, 17, 1),
            { "changed", "exact 556", "exact 557", "minute", "tick" } },
        { "full hour", At(2024, 3, 10, 13, 59, 40), At(2024, 3, 10, 14, 0, 1),
            { "changed", "exact 840", "hour", "minute", "tick" } },
        { "midnight", At(2024, 3, 10, 23, 58, 30), At(2024, 3, 11, 0, 1, 2),
            { "changed", "exact 1439", "day", "exact 0", "exact 1", "minute", "tick" } },
        { "midnight on the hour", At(2024, 3, 10, 23, 59, 30), At(2024, 3, 11, 0, 0, 2),
            { "changed", "day", "exact 0", "hour", "minute", "tick" } },
        { "set back ten minutes", At(2024, 3, 10, 9, 15, 20), At(2024, 3, 10, 9, 5, 0),
            { "changed", "minute", "tick" } },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Sut.reset();
        Log.Got.clear();
        Start(C.From);
        Manual.SetLocalTime(C.To);
        Sut->Tick();
        EXPECT_EQ(Log.Got, C.Expected);
        EXPECT_EQ(Sut->LastTime(), C.To);
    }
}

TEST_F(Clock, CatchUpMinutesKeepTheSecondsOfTheOldDayAndStartTheNewDayAtMidnight)
{
    Start(At(2024, 3, 10, 23, 58, 30));
    Manual.SetLocalTime(At(2024, 3, 11, 0, 1, 2));
    Sut->Tick();
    ASSERT_EQ(Log.ExactTimes.size(), 3u);
    EXPECT_EQ(DateTimeToMilliseconds(Log.ExactTimes[0]), DateTimeToMilliseconds(At(2024, 3, 10, 23, 59, 30)));
    EXPECT_EQ(DateTimeToMilliseconds(Log.ExactTimes[1]), DateTimeToMilliseconds(At(2024, 3, 11, 0, 0, 0)));
    EXPECT_EQ(DateTimeToMilliseconds(Log.ExactTimes[2]), DateTimeToMilliseconds(At(2024, 3, 11, 0, 1, 0)));
}

TEST_F(Clock, AfterBeingSetBackTheMinutesCountFromTheNewTime)
{
    Start(At(2024, 3, 10, 9, 15, 20));
    Manual.SetLocalTime(At(2024, 3, 10, 9, 5, 10));
    Sut->Tick();
    Log.Got.clear();
    Manual.Advance(60 * 1000);
    Sut->Tick();
    EXPECT_EQ(Log.Got, (W { "changed", "exact 546", "minute", "tick" }));
    EXPECT_EQ(Sut->GetClockMinute(), 15);
}

TEST_F(Clock, AHandlerThatTicksAgainInsideCannotRepeatMinutes)
{
    Start(At(2024, 3, 10, 9, 15, 20));
    // A handler that pumps messages meets the next timer event nested in
    // its own; here it runs the tick directly.
    bool Nested = false;
    Log.Action = [&](TXCustomAspect* A) {
        if (!Nested && A->Is<TXTimeExactMinuteAspect>()) {
            Nested = true;
            Sut->Tick();
        }
    };
    Manual.SetLocalTime(At(2024, 3, 10, 9, 18, 0));
    Sut->Tick();
    EXPECT_EQ(Log.Got, (W { "changed", "exact 556", "tick", "exact 557", "exact 558", "minute", "tick" }));
}

TEST_F(Clock, AWallClockChangeReachesTheClockThroughTheApplicationEngine)
{
    Start(At(2024, 3, 10, 9, 15, 20));
    Manual.SetLocalTime(At(2024, 3, 10, 10, 0, 0));
    MSG Msg;
    PeekMessage(&Msg, nullptr, 0, 0, PM_NOREMOVE);
    ASSERT_FALSE(Log.Got.empty());
    EXPECT_EQ(Log.Got.front(), "changed");
    EXPECT_EQ(Log.Got.back(), "tick");
    EXPECT_EQ(Sut->Now(), At(2024, 3, 10, 10, 0, 0));
}

// ---- clock gears, on the process clock ----

namespace {
class ClockGears : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(QVClock(), nullptr);
        Manual.SetLocalTime(At(2024, 5, 1, 8, 0, 30));
        QVClock()->Refresh();
        QVClock()->Tick();
        Gear.reset(New<TXClockGear>(static_cast<TComponent*>(nullptr)));
        Gear->SetOnDay([this](TObject*) { Got.push_back("day"); });
        Gear->SetOnMinute([this](TObject*) { Got.push_back("minute"); });
        Gear->SetOnHour([this](TObject*) { Got.push_back("hour"); });
        Gear->SetOnChanged([this](TObject*) { Got.push_back("changed"); });
        Gear->SetOnExactMinute(
            [this](TObject*, TDateTime, Word Min) { Got.push_back("exact " + std::to_string(Min)); });
        Gear->SetOnTick([this](TObject*, bool) { Got.push_back("tick"); });
    }
    void TearDown() override { Gear.reset(); }
    void NextMinute()
    {
        Manual.Advance(60 * 1000);
        QVClock()->Tick();
    }

    TManualClock Manual;
    TOwnedPtr<TXClockGear> Gear;
    std::vector<std::string> Got;
    using W = std::vector<std::string>;
};
}

TEST_F(ClockGears, StayQuietUntilFireAllThenFollowTheClock)
{
    NextMinute();
    EXPECT_TRUE(Got.empty());

    Gear->FireAll();
    EXPECT_EQ(Got, (W { "day", "exact 481", "minute", "changed", "tick" }));
    EXPECT_TRUE(Gear->Started);
    Got.clear();
    NextMinute();
    EXPECT_EQ(Got, (W { "changed", "exact 482", "minute", "tick" }));
}

TEST_F(ClockGears, ClearedEventsAndFreedGearsLeaveTheClock)
{
    Gear->FireAll();
    Got.clear();
    Gear->SetOnTick(nullptr);
    Gear->SetOnMinute([this](TObject*) { Got.push_back("minute"); }); // assigned twice, runs once
    NextMinute();
    EXPECT_EQ(Got, (W { "changed", "exact 481", "minute" }));

    Got.clear();
    Gear.reset();
    NextMinute();
    EXPECT_TRUE(Got.empty());
}

TEST_F(ClockGears, AGearFreedByItsOwnEventStopsThere)
{
    // Each event names itself after it ran (from its own captured word), so
    // a freed handler that kept running would show up.
    const char* Freeing = nullptr;
    auto Record = [&](const char* Word) {
        return [this, &Freeing, Name = std::string(Word)](auto&&...) {
            if (Freeing && Name == Freeing)
                Gear.reset();
            Got.push_back(Name);
        };
    };
    struct TCase {
        const char* Freeing;
        bool ByFireAll;
        W Expected;
    };
    const TCase Cases[] = {
        { "day", true, { "day" } },
        { "exact", true, { "day", "exact" } },
        { "minute", true, { "day", "exact", "minute" } },
        { "changed", true, { "day", "exact", "minute", "changed" } },
        { "tick", true, { "day", "exact", "minute", "changed", "tick" } },
        { "changed", false, { "changed" } },
        { "minute", false, { "changed", "exact", "minute" } },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(std::string(C.Freeing) + (C.ByFireAll ? " in FireAll" : " on the clock"));
        Gear.reset(New<TXClockGear>(static_cast<TComponent*>(nullptr)));
        Gear->SetOnDay(Record("day"));
        Gear->SetOnExactMinute(Record("exact"));
        Gear->SetOnMinute(Record("minute"));
        Gear->SetOnChanged(Record("changed"));
        Gear->SetOnTick(Record("tick"));
        if (!C.ByFireAll)
            Gear->FireAll();
        Got.clear();
        Freeing = C.Freeing;
        if (C.ByFireAll)
            Gear->FireAll();
        else
            NextMinute();
        EXPECT_EQ(Got, C.Expected);
        EXPECT_FALSE(Gear);
        Freeing = nullptr;
    }
}
