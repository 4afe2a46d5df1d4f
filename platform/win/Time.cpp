#include "win/Time.h"
#include "rtl/Exceptions.h"
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <thread>

namespace {

constexpr Int64 UnixDeltaMs = static_cast<Int64>(UnixDateDelta) * MSecsPerDay;
// A wall clock that moves against the tick count by more than this is taken
// as set; smaller drifts are the clock being slewed.
constexpr Int64 JumpThresholdMs = 1000;
// The system clock never waits longer in one go, so a loop recovers its
// timers after a suspend and notices a clock that was set.
constexpr UInt64 LongestWaitMs = 1000;

Int64 ReadMs(clockid_t Clock)
{
    timespec Ts {};
    clock_gettime(Clock, &Ts);
    return static_cast<Int64>(Ts.tv_sec) * 1000 + Ts.tv_nsec / 1000000;
}

Int64 ReadNs(clockid_t Clock)
{
    timespec Ts {};
    clock_gettime(Clock, &Ts);
    return static_cast<Int64>(Ts.tv_sec) * 1000000000 + Ts.tv_nsec;
}

class TSystemClock : public TTimeSource {
public:
    // The boot-time clock counts a suspend too, so a resumed machine shows
    // no false jump of the wall clock.
    UInt64 TickCount() override { return static_cast<UInt64>(ReadMs(CLOCK_BOOTTIME)); }

    // The coarse monotonic clock costs a few nanoseconds against some thirty
    // of the boot-time clock; how far the boot-time clock is ahead of it
    // (the time spent suspended) is looked at again every 50 ms.
    UInt64 CoarseTickCount() override
    {
        const Int64 Coarse = ReadNs(CLOCK_MONOTONIC_COARSE);
        if (Coarse - FLeadAt.load(std::memory_order_relaxed) >= Int64(LookEveryMs) * 1000000) {
            FLead.store(ReadNs(CLOCK_BOOTTIME) - ReadNs(CLOCK_MONOTONIC), std::memory_order_relaxed);
            FLeadAt.store(Coarse, std::memory_order_relaxed);
        }
        return static_cast<UInt64>((Coarse + FLead.load(std::memory_order_relaxed)) / 1000000);
    }

    TWallTime WallTime() override
    {
        timespec Ts {};
        clock_gettime(CLOCK_REALTIME, &Ts);
        tm Local {};
        time_t Seconds = Ts.tv_sec;
        localtime_r(&Seconds, &Local);
        TWallTime Result;
        Result.Utc = static_cast<Int64>(Ts.tv_sec) * 1000 + Ts.tv_nsec / 1000000;
        Result.Local = Result.Utc + static_cast<Int64>(Local.tm_gmtoff) * 1000;
        return Result;
    }

    UInt64 WallClockChanges() override
    {
        // Message loops ask at every fetch; the wall clock (and the local
        // time, through localtime_r) is looked at only every 50 ms.
        const UInt64 Now = TickCount();
        if (FSeen.load() && Now - FLastLook.load() < LookEveryMs)
            return FChanges.load();
        std::lock_guard Guard(FLock);
        FLastLook = Now;
        const Int64 Tick = static_cast<Int64>(Now);
        const TWallTime Wall = WallTime();
        const Int64 Drift = Wall.Utc - Tick;
        const Int64 Offset = Wall.Local - Wall.Utc;
        if (!FSeen.load()) {
            FSeen = true;
        } else if (Drift - FDrift > JumpThresholdMs || FDrift - Drift > JumpThresholdMs || Offset != FOffset) {
            ++FChanges;
        } else {
            return FChanges.load(); // keep the reference so slow drift adds up
        }
        FDrift = Drift;
        FOffset = Offset;
        return FChanges.load();
    }

    void Wait(std::condition_variable& Cond, std::unique_lock<std::mutex>& Lock, std::optional<UInt64> Due) override
    {
        UInt64 Span = LongestWaitMs;
        if (Due) {
            const UInt64 Now = TickCount();
            Span = *Due <= Now ? 0 : std::min<UInt64>(*Due - Now, LongestWaitMs);
        }
        if (Span > 0)
            Cond.wait_for(Lock, std::chrono::milliseconds(Span));
    }

    void Sleep(UInt64 Milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds)); }

private:
    static constexpr UInt64 LookEveryMs = 50;
    std::atomic<Int64> FLead { 0 };
    std::atomic<Int64> FLeadAt { std::numeric_limits<Int64>::min() / 2 };
    std::mutex FLock;
    std::atomic<bool> FSeen { false };
    std::atomic<UInt64> FLastLook { 0 };
    Int64 FDrift = 0;
    Int64 FOffset = 0;
    std::atomic<UInt64> FChanges { 0 };
};

TSystemClock& SystemClock()
{
    static auto* Clock = new TSystemClock;
    return *Clock;
}

std::atomic<TTimeSource*> Installed { nullptr };

}

void TTimeSource::NotifyClockChanged()
{
    if (auto Handler = OnClockChanged.load())
        Handler();
}

TTimeSource& TimeSource()
{
    TTimeSource* Source = Installed.load();
    return Source ? *Source : SystemClock();
}

TTimeSource* SetTimeSource(TTimeSource* Source)
{
    TTimeSource* Previous = Installed.exchange(Source);
    TTimeSource::NotifyClockChanged();
    return Previous;
}

TManualClock::TManualClock(TDateTime LocalStart, UInt64 StartTick, Integer UtcOffsetMinutes)
    : FTick(StartTick)
    , FOffset(static_cast<Int64>(UtcOffsetMinutes) * 60000)
{
    FUtc = DateTimeToMilliseconds(LocalStart) - UnixDeltaMs - FOffset;
    FPrevious = SetTimeSource(this);
}

TManualClock::~TManualClock()
{
    // Only if still installed: another clock may have replaced this one.
    TTimeSource* Self = this;
    if (Installed.compare_exchange_strong(Self, FPrevious))
        NotifyClockChanged();
}

void TManualClock::Advance(UInt64 Milliseconds)
{
    {
        std::lock_guard Guard(FLock);
        FTick += Milliseconds;
        FUtc += static_cast<Int64>(Milliseconds);
    }
    NotifyClockChanged();
}

void TManualClock::SetLocalTime(TDateTime Local)
{
    const Int64 LocalMs = DateTimeToMilliseconds(Local) - UnixDeltaMs;
    {
        std::lock_guard Guard(FLock);
        FUtc = LocalMs - FOffset;
        ++FChanges;
    }
    NotifyClockChanged();
}

void TManualClock::SetUtcOffset(Integer Minutes)
{
    {
        std::lock_guard Guard(FLock);
        FOffset = static_cast<Int64>(Minutes) * 60000;
        ++FChanges;
    }
    NotifyClockChanged();
}

UInt64 TManualClock::TickCount()
{
    std::lock_guard Guard(FLock);
    return FTick;
}

TTimeSource::TWallTime TManualClock::WallTime()
{
    std::lock_guard Guard(FLock);
    return { FUtc, FUtc + FOffset };
}

UInt64 TManualClock::WallClockChanges()
{
    std::lock_guard Guard(FLock);
    return FChanges;
}

void TManualClock::Wait(std::condition_variable& Cond, std::unique_lock<std::mutex>& Lock, std::optional<UInt64> Due)
{
    // Time moves only through Advance, which wakes the waiters.
    Cond.wait(Lock);
}

bool TrySystemTimeToDateTime(const SYSTEMTIME& Time, TDateTime& Value)
{
    return TryEncodeDateTime(Time.wYear, Time.wMonth, Time.wDay, Time.wHour, Time.wMinute, Time.wSecond,
        Time.wMilliseconds, Value);
}

TDateTime SystemTimeToDateTime(const SYSTEMTIME& Time)
{
    TDateTime Result;
    if (!TrySystemTimeToDateTime(Time, Result))
        throw EConvertError(u"Invalid SYSTEMTIME value");
    return Result;
}

void DateTimeToSystemTime(TDateTime Value, SYSTEMTIME& Time)
{
    DecodeDateTime(Value, Time.wYear, Time.wMonth, Time.wDay, Time.wHour, Time.wMinute, Time.wSecond,
        Time.wMilliseconds);
    Time.wDayOfWeek = Time.wYear ? static_cast<Word>(DayOfWeek(Value) - 1) : 0;
}

namespace {
// Days from 1601-01-01 to 1899-12-30, the start of TDateTime.
constexpr Int64 FileTimeEpochDays = 109205;
constexpr Int64 TicksPerMs = 10000;
}

bool DosDateTimeToFileTime(Word FatDate, Word FatTime, FILETIME& FileTime)
{
    const Word Year = Word(1980 + (FatDate >> 9));
    const Word Month = Word((FatDate >> 5) & 0x0F);
    const Word Day = Word(FatDate & 0x1F);
    const Word Hour = Word(FatTime >> 11);
    const Word Minute = Word((FatTime >> 5) & 0x3F);
    const Word Second = Word((FatTime & 0x1F) * 2);
    TDateTime Value = 0;
    if (Hour > 23 || Minute > 59 || Second > 59 || !TryEncodeDateTime(Year, Month, Day, Hour, Minute, Second, 0, Value))
        return false;
    // Whole days and the milliseconds of the day, so no rounding of the double creeps in.
    const Int64 Days = Int64(std::floor(Value)) + FileTimeEpochDays;
    const Int64 Ms = ((Int64(Hour) * 60 + Minute) * 60 + Second) * 1000;
    const UInt64 Ticks = UInt64(Days * MSecsPerDay + Ms) * TicksPerMs;
    FileTime.dwLowDateTime = DWORD(Ticks);
    FileTime.dwHighDateTime = DWORD(Ticks >> 32);
    return true;
}

bool FileTimeToSystemTime(const FILETIME& FileTime, SYSTEMTIME& Time)
{
    const UInt64 Ticks = UInt64(FileTime.dwHighDateTime) << 32 | FileTime.dwLowDateTime;
    if (Ticks > UInt64(INT64_MAX))
        return false;
    const Int64 TotalMs = Int64(Ticks / TicksPerMs);
    const Int64 Days = TotalMs / MSecsPerDay;
    const Int64 Ms = TotalMs % MSecsPerDay;
    // Civil date of a day count (days since 1970-01-01 first), valid far
    // beyond the years a file time can hold.
    const Int64 Z = Days - 134774 + 719468;
    const Int64 Era = Z / 146097;
    const Int64 DayOfEra = Z - Era * 146097;
    const Int64 YearOfEra = (DayOfEra - DayOfEra / 1460 + DayOfEra / 36524 - DayOfEra / 146096) / 365;
    const Int64 DayOfYear = DayOfEra - (365 * YearOfEra + YearOfEra / 4 - YearOfEra / 100);
    const Int64 MonthIndex = (5 * DayOfYear + 2) / 153;
    const Word Day = Word(DayOfYear - (153 * MonthIndex + 2) / 5 + 1);
    const Word Month = Word(MonthIndex < 10 ? MonthIndex + 3 : MonthIndex - 9);
    const Int64 Year = YearOfEra + Era * 400 + (Month <= 2 ? 1 : 0);
    if (Year > 30827)
        return false;
    Time.wYear = Word(Year);
    Time.wMonth = Month;
    Time.wDay = Day;
    Time.wDayOfWeek = Word((Days + 1) % 7); // 1601-01-01 was a Monday
    Time.wHour = Word(Ms / 3600000);
    Time.wMinute = Word(Ms / 60000 % 60);
    Time.wSecond = Word(Ms / 1000 % 60);
    Time.wMilliseconds = Word(Ms % 1000);
    return true;
}
