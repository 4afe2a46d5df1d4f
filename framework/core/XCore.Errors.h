// Error records. Most operations answer a Boolean and leave the reason for a
// failure in the calling thread's error record instead of raising:
//
//     ClearXError();
//     if (!Open(Name))
//         SetXError(4, Errno, Name, false);
//     ...
//     ReportXResult(Ok, 44, 0, {}, Raise);    // the caller reads GetXErrorCode()
//
// The process keeps one record per thread that asked for one with
// AddXErrorThread; other threads share the main thread's record. While the
// main thread runs code for a worker, RedirectMainXErrors points its calls
// at the worker's record. Once the registry closes (unit finalisation) every
// call does nothing.
//
// The one boundary between raised exceptions and this model is XGuarded:
//
//     return XGuarded(xecReadFailed, Raise, [&] { return ReadAll(Stream); });
//
// runs the body and, when it raises, records the code once and answers
// False (or raises when asked to). Write no catch (...) of your own.
#pragma once
#include "rtl/Exceptions.h"
#include "rtl/Types.h"
#include <chrono>
#include <type_traits>

// The error codes of both programs, one name each.
enum TXErrorCode : Integer {
    xecSkipped = -1, // not a failure: an item left out by its group's filter
    xecNone = 0,
    xecCancelled = 1,
    xecUnspecified = 3, // raised without a code, or the registry is closing
    xecOpenFailed = 4, // sub-code: the system error; text: the file name
    xecAccessDenied = 10, // opening a device
    xecDeviceGone = 11, // the device does not exist, is not ready or has gone away
    xecDeviceReadEnd = 12, // a device read stopped early
    xecSeekFailed = 13, // positioning a device failed
    xecCopyFinished = 14, // the card image copy was ended by the user
    xecDownloadWrite = 30, // a downloaded file cannot be written
    xecFileNotFound = 31,
    xecFileAccessDenied = 33,
    xecReadPastEnd = 39, // a buffered read at or past the end of the stream
    xecCRCFailed = 40, // computing a CRC-32 failed
    xecCRCMismatch = 41,
    xecContainerHeader = 42, // a container's header or identity does not match
    xecObjectHeader = 43, // a stored object's header has non-zero type fields
    xecReadFailed = 44, // reading, loading or decompressing failed
    xecWriteFailed = 45, // writing, saving or compressing failed
    xecContainerScan = 46, // a container scan stopped on a read failure
    xecContainerNoEnd = 47, // a container was scanned without its end record
    xecNetworkFailed = 1000,
    xecServerFailed = 1003,
};

// Raised with the error code in decimal as its message ("44").
X_EXCEPTION(EXError, Exception)

// A set of the codes 0 to 63: bit n stands for code n.
using TXErrorCodeSet = UInt64;
constexpr TXErrorCodeSet XErrorCodeBit(Integer Code)
{
    return TXErrorCodeSet(1) << Code;
}

struct TXErrorData {
    Integer Code = 0; // 0: no error
    Integer SubCode = 0; // as a rule the system error of the failed call
    String Text; // a detail such as a file name
    // Bit 0: raise for every code; bit n: raise when code n is checked.
    TXErrorCodeSet RaiseSet = 0;
    // The codes that CheckXError met while stored.
    TXErrorCodeSet SeenSet = 0;

    static TXErrorData Create(Integer ACode, Integer ASubCode, const String& AText);
    // Code alone: sub-code 0, no text, no code sets.
    static TXErrorData Init(Integer ACode);
    // The code-set part (RaiseSet, SeenSet) of Source into Dest.
    static void CopyCodeSets(TXErrorData& Dest, const TXErrorData& Source);
    // "Code SubCode Text", the sub-code unsigned; both blanks always there.
    String ToText() const;
    void Clear();
    void SetError(Integer ACode, Integer ASubCode, bool Raise, const String& AText);
    // Keeps the first failure: stores only while no code is stored.
    void SetErrorOnce(Integer ACode, Integer ASubCode, bool Raise, const String& AText);
    void Report(bool Success, Integer ACode, Integer ASubCode, const String& AText, bool Raise);
    void ReportOnce(bool Success, Integer ACode, Integer ASubCode, const String& AText, bool Raise);
    // Stores 3 when no code is stored, then raises with the code.
    [[noreturn]] void RaiseError();
    // The raise policy: records the code in SeenSet and raises when
    // RaiseSet asks for it. Codes of 64 and more count as code 3.
    void Check();
};

// The calling thread's record (see above).
void ClearXError();
void SetXError(Integer Code, Integer SubCode, const String& Text, bool Raise);
void SetXErrorOnce(Integer Code, Integer SubCode, const String& Text, bool Raise);
void ReportXResult(bool Success, Integer Code, Integer SubCode, const String& Text, bool Raise);
void ReportXResultOnce(bool Success, Integer Code, Integer SubCode, const String& Text, bool Raise);
void CheckXError();
void RaiseXError();
// A copy of the calling thread's record; code 3 once the registry is closing.
TXErrorData GetXErrorData();
// Replaces the code-set part of the calling thread's record with that of
// CodeSets; nothing once the registry is closing.
void SetXErrorCodeSets(const TXErrorData& CodeSets);
// 0 when no code is stored; 3 once the registry is closing.
Integer GetXErrorCode();
// Empty once the registry is closing.
String GetXErrorText();

void AddXErrorThread(TThreadID ThreadID);
void RemoveXErrorThread(TThreadID ThreadID);
// One redirect for the whole process: the last call wins.
void RedirectMainXErrors(TThreadID ThreadID);
void EndMainXErrorRedirect();

// The unit's initialisation (opens the registry) and finalisation (closes
// it: the closing flag, then a wait so threads inside a call can leave, then
// the records are freed). Tests call them to close and reopen the registry.
void InitXErrors();
void DoneXErrors();
// Runs Body, which answers bool or nothing (nothing counts as True). When
// it raises, the failure is recorded once in the calling thread's record
// (an EXError keeps the code it carries, anything else becomes Code; with
// Code xecNone nothing is recorded) and the answer is False; with Raise the
// recorded code is raised as EXError instead. Programming errors are not
// caught here: they stop the program through X_VERIFY.
template<class F>
bool XGuarded(TXErrorCode Code, bool Raise, F&& Body);

// The wait of DoneXErrors; 100 ms unless set (tests set 0).
void SetXErrorClosingWait(std::chrono::milliseconds Wait);

// ---- implementation ----

namespace XErrorsDetail {
// Records the exception in flight (see XGuarded); answers False or raises.
bool RecordCurrentException(TXErrorCode Code, bool Raise);
}

template<class F>
bool XGuarded(TXErrorCode Code, bool Raise, F&& Body)
{
    try {
        if constexpr (std::is_void_v<std::invoke_result_t<F&>>) {
            Body();
            return true;
        } else {
            return static_cast<bool>(Body());
        }
    } catch (...) { // the boundary itself
        return XErrorsDetail::RecordCurrentException(Code, Raise);
    }
}
