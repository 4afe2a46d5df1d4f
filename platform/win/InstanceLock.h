// One running instance per program name and user, and the road by which
// another process reaches the running one.
//
// The holder keeps an exclusive flock on "<name>.lock" in a folder of the
// user's own ($XDG_RUNTIME_DIR/quorvale/, else a 0700 folder of ours in
// the system temporary folder); the kernel lets it go when the process
// ends however it ends, so a crashed instance never blocks the next one.
// The holder also listens on "<name>.sock" (0600, only the same user's
// processes are heard) and posts each record to the thread that took the
// lock, under the message number that thread has for the record's name:
//
//     auto Lock = TInstanceLock::Acquire(u"My Program", Application->Handle());
//     if (!Lock)
//         SendInstanceRecord(u"My Program", { u"QVMActivateApplication", 1, 0 });
//
// A WM_COPYDATA record is sent to Target on that thread, its data living
// until the window has handled it.
#pragma once
#include "win/Messages.h"
#include <memory>
#include <vector>

struct TInstanceRecord {
    String MessageName; // a registered message; empty for WM_COPYDATA
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    ULONG_PTR CopyDataKind = 0; // WM_COPYDATA: dwData and the data
    std::vector<Byte> CopyData;
};

// Longest message name and copy data a record may carry.
constexpr size_t MaxInstanceMessageName = 255;
constexpr size_t MaxInstanceCopyData = 64 * 1024;

class TInstanceLock {
public:
    // Null when another process holds the name, or the lock cannot be made.
    static std::unique_ptr<TInstanceLock> Acquire(StringView Name, HWND Target);
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

private:
    struct TState;
    explicit TInstanceLock(std::unique_ptr<TState> State);
    std::unique_ptr<TState> FState;
};

// Sends one record to the holder of Name; False when none listens or the
// record is too large.
bool SendInstanceRecord(StringView Name, const TInstanceRecord& Record);

// Name as one file-name component: letters, digits, "-", "_" and "."
// stay (not a leading "."), other bytes become %XX; a long name is cut
// and ends with a hash of the whole, so different names stay apart.
std::string InstanceFileName(StringView Name);
