#include "core/XCore.Errors.h"
#include "rtl/Units.h"
#include "core/XCore.Collections.Lite.h"
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>

namespace {

[[noreturn]] void RaiseCode(Integer Code)
{
    throw EXError(S(std::to_string(Code)));
}

constexpr Integer UnspecifiedError = 3;

using TXErrorList = TXLitePairs<TThreadID, TXErrorData>;

// The registry. The gate lives as long as the process: every call holds it
// shared while it looks at the list, and the list is made and freed only
// under it exclusively, so no call can meet a freed list. The list's own
// monitor serialises the calls among themselves.
struct TRegistry {
    std::shared_mutex Gate;
    TXErrorList* List = nullptr;
    std::atomic<bool> Closing { false };
    std::atomic<TThreadID> Redirect { 0 };
    std::atomic<std::chrono::milliseconds::rep> ClosingWait { 100 };
};

TRegistry& Registry()
{
    static TRegistry* R = new TRegistry; // never destroyed: threads may call late
    return *R;
}

// Under the list's monitor: the index of the record the calling thread uses,
// adding the main thread's record when there is none.
Integer FindXErrorIndex(TXErrorList& List)
{
    TThreadID ID = GetCurrentThreadId();
    if (ID == MainThreadID)
        if (TThreadID Redirect = Registry().Redirect.load())
            ID = Redirect;
    Integer I = List.IndexOfKey(ID);
    if (I < 0)
        I = List.IndexOfKey(MainThreadID);
    if (I < 0)
        I = List.Add(MainThreadID, TXErrorData {});
    return I;
}

// Runs Fn on the open list under its monitor; answers Closed, doing nothing,
// once the registry closes (or before it opens).
template<class R, class Fn>
R WithList(R Closed, Fn&& Body)
{
    TRegistry& Reg = Registry();
    if (Reg.Closing.load())
        return Closed;
    std::shared_lock Gate(Reg.Gate);
    if (Reg.Closing.load() || !Reg.List)
        return Closed;
    TMonitorLock Lock(Reg.List);
    return Body(*Reg.List);
}

template<class Fn>
void WithList(Fn&& Body)
{
    WithList(0, [&](TXErrorList& List) {
        Body(List);
        return 0;
    });
}

template<class Fn>
void WithRecord(Fn&& Body)
{
    WithList([&](TXErrorList& List) { Body(List.GetPItem(FindXErrorIndex(List))->Value); });
}

}

TXErrorData TXErrorData::Create(Integer ACode, Integer ASubCode, const String& AText)
{
    TXErrorData Data;
    Data.Code = ACode;
    Data.SubCode = ASubCode;
    Data.Text = AText;
    return Data;
}

TXErrorData TXErrorData::Init(Integer ACode)
{
    TXErrorData Data;
    Data.Code = ACode;
    return Data;
}

void TXErrorData::CopyCodeSets(TXErrorData& Dest, const TXErrorData& Source)
{
    Dest.RaiseSet = Source.RaiseSet;
    Dest.SeenSet = Source.SeenSet;
}

String TXErrorData::ToText() const
{
    return S(std::to_string(Code) + ' ' + std::to_string(Cardinal(SubCode)) + ' ') + Text;
}

void TXErrorData::Clear()
{
    Code = 0;
    SubCode = 0;
    Text.clear();
}

void TXErrorData::SetError(Integer ACode, Integer ASubCode, bool Raise, const String& AText)
{
    Code = ACode;
    SubCode = ASubCode;
    Text = AText;
    if (Raise)
        RaiseCode(Code);
}

void TXErrorData::SetErrorOnce(Integer ACode, Integer ASubCode, bool Raise, const String& AText)
{
    if (Code == 0) {
        Code = ACode;
        SubCode = ASubCode;
        Text = AText;
    }
    if (Raise)
        RaiseCode(Code);
}

void TXErrorData::Report(bool Success, Integer ACode, Integer ASubCode, const String& AText, bool Raise)
{
    if (Success)
        Clear();
    else
        SetError(ACode, ASubCode, Raise, AText);
}

void TXErrorData::ReportOnce(bool Success, Integer ACode, Integer ASubCode, const String& AText, bool Raise)
{
    if (!Success)
        SetErrorOnce(ACode, ASubCode, Raise, AText);
}

void TXErrorData::RaiseError()
{
    if (Code == 0)
        Code = UnspecifiedError;
    RaiseCode(Code);
}

void TXErrorData::Check()
{
    if (Code == 0)
        return;
    constexpr TXErrorCodeSet All = XErrorCodeBit(0);
    if (Code < 64) {
        bool Known = Code >= 0; // a negative code is neither recorded nor raised by its bit
        if (Known)
            SeenSet |= XErrorCodeBit(Code);
        if ((RaiseSet & All) || (Known && (RaiseSet & XErrorCodeBit(Code))))
            RaiseError();
    } else {
        SeenSet |= XErrorCodeBit(UnspecifiedError);
        if (RaiseSet & (All | XErrorCodeBit(UnspecifiedError)))
            RaiseError();
    }
}

void ClearXError()
{
    WithRecord([](TXErrorData& E) { E.Clear(); });
}

void SetXError(Integer Code, Integer SubCode, const String& Text, bool Raise)
{
    WithRecord([&](TXErrorData& E) { E.SetError(Code, SubCode, Raise, Text); });
}

void SetXErrorOnce(Integer Code, Integer SubCode, const String& Text, bool Raise)
{
    WithRecord([&](TXErrorData& E) { E.SetErrorOnce(Code, SubCode, Raise, Text); });
}

void ReportXResult(bool Success, Integer Code, Integer SubCode, const String& Text, bool Raise)
{
    WithRecord([&](TXErrorData& E) { E.Report(Success, Code, SubCode, Text, Raise); });
}

void ReportXResultOnce(bool Success, Integer Code, Integer SubCode, const String& Text, bool Raise)
{
    WithRecord([&](TXErrorData& E) { E.ReportOnce(Success, Code, SubCode, Text, Raise); });
}

void CheckXError()
{
    WithRecord([](TXErrorData& E) {
        if (E.Code != 0)
            E.Check();
    });
}

void RaiseXError()
{
    WithRecord([](TXErrorData& E) { E.RaiseError(); });
}

TXErrorData GetXErrorData()
{
    return WithList(TXErrorData::Init(UnspecifiedError),
        [](TXErrorList& List) { return List.GetPItem(FindXErrorIndex(List))->Value; });
}

void SetXErrorCodeSets(const TXErrorData& CodeSets)
{
    WithRecord([&](TXErrorData& E) { TXErrorData::CopyCodeSets(E, CodeSets); });
}

Integer GetXErrorCode()
{
    return WithList(UnspecifiedError,
        [](TXErrorList& List) { return List.GetPItem(FindXErrorIndex(List))->Value.Code; });
}

String GetXErrorText()
{
    return WithList(String(), [](TXErrorList& List) { return List.GetPItem(FindXErrorIndex(List))->Value.Text; });
}

void AddXErrorThread(TThreadID ThreadID)
{
    WithList([&](TXErrorList& List) {
        if (List.IndexOfKey(ThreadID) < 0)
            List.Add(ThreadID, TXErrorData {});
    });
}

void RemoveXErrorThread(TThreadID ThreadID)
{
    WithList([&](TXErrorList& List) { List.Remove(ThreadID); });
}

void RedirectMainXErrors(TThreadID ThreadID)
{
    WithList([&](TXErrorList&) { Registry().Redirect.store(ThreadID); });
}

void EndMainXErrorRedirect()
{
    WithList([](TXErrorList&) { Registry().Redirect.store(0); });
}

void SetXErrorClosingWait(std::chrono::milliseconds Wait)
{
    Registry().ClosingWait.store(Wait.count());
}

void InitXErrors()
{
    TRegistry& Reg = Registry();
    std::unique_lock Gate(Reg.Gate);
    if (!Reg.List)
        Reg.List = New<TXErrorList>();
    Reg.Redirect.store(0);
    Reg.Closing.store(false);
}

void DoneXErrors()
{
    TRegistry& Reg = Registry();
    Reg.Closing.store(true);
    if (auto Wait = Reg.ClosingWait.load(); Wait > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(Wait));
    TXErrorList* List;
    {
        std::unique_lock Gate(Reg.Gate);
        List = std::exchange(Reg.List, nullptr);
    }
    if (List) {
        List->Clear();
        List->Free();
    }
}

X_UNIT(XCore_Errors, "XCore.Errors", { "XCore.Classes" }, &InitXErrors, &DoneXErrors)

namespace XErrorsDetail {

bool RecordCurrentException(TXErrorCode Code, bool Raise)
{
    Integer Stored = Code;
    String Text;
    try {
        throw;
    } catch (const EXError& E) {
        // Raised by this model: it carries its own code.
        Stored = std::atoi(StringToUTF8(E.Message()).c_str());
        if (Stored == 0)
            Stored = xecUnspecified;
    } catch (const Exception& E) { // the caller's code, the failure's message as its text
        Text = E.Message();
    } catch (...) { // any other failure takes the caller's code
    }
    if (Stored != xecNone)
        SetXErrorOnce(Stored, 0, Text, Raise);
    else if (Raise)
        RaiseXError();
    return false;
}

}
