// The process's one time source: tick counts, the wall clock (UTC and
// local) and the waiting of message loops all go through it.
//
// The system clock is the default. Tests install a TManualClock and drive
// time by hand; no message loop then waits in real time for a timer:
//
//     TManualClock Clock;                    // installs itself
//     SetTimer(Wnd, 1, 1000, nullptr);
//     Clock.Advance(1000);
//     PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE);   // the WM_TIMER
//
// Advancing the clock, or setting its wall time, wakes every thread that
// waits for messages, so a loop blocked in GetMessage on another thread
// sees its timers fall due.
#pragma once
#include "rtl/DateTime.h"
#include "win/Messages.h"
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>

// The Windows SYSTEMTIME layout; wDayOfWeek is 0 = Sunday .. 6 = Saturday.
struct SYSTEMTIME {
    Word wYear = 0;
    Word wMonth = 0;
    Word wDayOfWeek = 0;
    Word wDay = 0;
    Word wHour = 0;
    Word wMinute = 0;
    Word wSecond = 0;
    Word wMilliseconds = 0;
};

class TTimeSource {
public:
    virtual ~TTimeSource() = default;
    // Milliseconds since an arbitrary start; never goes back.
    virtual UInt64 TickCount() = 0;
    // The tick count at the few milliseconds' resolution that message times
    // have, cheaper to read: what posted messages are stamped with. It may
    // lag TickCount by a few milliseconds.
    virtual UInt64 CoarseTickCount() { return TickCount(); }
    // The wall clock read once: UTC and local time, in milliseconds since
    // 1970-01-01 00:00 of each.
    struct TWallTime {
        Int64 Utc = 0;
        Int64 Local = 0;
    };
    virtual TWallTime WallTime() = 0;
    // How many times the wall clock has jumped (set, or time zone changed)
    // since the process started. Message loops compare it with the last
    // value they saw and send WM_TIMECHANGE on a change.
    virtual UInt64 WallClockChanges() = 0;
    // Waits on Cond (Lock held) until notified, or until TickCount reaches
    // Due when one is given. Spurious returns are allowed.
    virtual void Wait(std::condition_variable& Cond, std::unique_lock<std::mutex>& Lock, std::optional<UInt64> Due) = 0;
    // Lets Milliseconds pass on this clock before it returns.
    virtual void Sleep(UInt64 Milliseconds) = 0;

    // Wakes every waiting message loop; a clock that changes calls it.
    static void NotifyClockChanged();
    // Set once by the message queues.
    static inline std::atomic<void (*)()> OnClockChanged { nullptr };
};

// The installed source (the system clock when none is installed).
TTimeSource& TimeSource();
// Installs Source (null: the system clock again) and answers the previous
// one, null for the system clock.
TTimeSource* SetTimeSource(TTimeSource* Source);

// A clock moved only by hand. Constructing one installs it; destroying it
// puts back the source that was installed before.
class TManualClock : public TTimeSource {
public:
    explicit TManualClock(TDateTime LocalStart = EncodeDateTime(2024, 1, 1, 12, 0, 0, 0), UInt64 StartTick = 1000000,
        Integer UtcOffsetMinutes = 0);
    ~TManualClock() override;
    TManualClock(const TManualClock&) = delete;
    TManualClock& operator=(const TManualClock&) = delete;

    // Moves the tick count and the wall clock on together.
    void Advance(UInt64 Milliseconds);
    // Jumps of the wall clock; the tick count stays.
    void SetLocalTime(TDateTime Local);
    void SetUtcOffset(Integer Minutes);

    UInt64 TickCount() override;
    TWallTime WallTime() override;
    UInt64 WallClockChanges() override;
    void Wait(std::condition_variable& Cond, std::unique_lock<std::mutex>& Lock, std::optional<UInt64> Due) override;
    // A pause on a manual clock is time moving on: it advances the clock,
    // so code that pauses between attempts runs at once in tests.
    void Sleep(UInt64 Milliseconds) override { Advance(Milliseconds); }

private:
    std::mutex FLock;
    UInt64 FTick;
    Int64 FUtc; // ms since 1970 UTC
    Int64 FOffset; // local minus UTC, ms
    UInt64 FChanges = 0;
    TTimeSource* FPrevious;
};

// Conversions between the SYSTEMTIME record and TDateTime. A record out of
// range gives false (Try) or EConvertError.
bool TrySystemTimeToDateTime(const SYSTEMTIME& Time, TDateTime& Value);
TDateTime SystemTimeToDateTime(const SYSTEMTIME& Time);
void DateTimeToSystemTime(TDateTime Value, SYSTEMTIME& Time);

// A file time: 100-nanosecond intervals since 1601-01-01 00:00, split in two
// halves as the Windows record is.
struct FILETIME {
    DWORD dwLowDateTime = 0;
    DWORD dwHighDateTime = 0;
};

// The packed date and time of FAT directory entries (date: day bits 0-4,
// month 5-8, years since 1980 9-15; time: two-second units 0-4, minutes
// 5-10, hours 11-15) as a file time, taken as it stands (no zone is
// applied). False, with FileTime untouched, for a day, month, hour, minute
// or second out of range.
bool DosDateTimeToFileTime(Word FatDate, Word FatTime, FILETIME& FileTime);
// False for a file time past the largest signed 64-bit count.
bool FileTimeToSystemTime(const FILETIME& FileTime, SYSTEMTIME& Time);
