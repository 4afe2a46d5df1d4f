#include "win/MessageQueue.h"
#include "rtl/Threads.h"
#include "rtl/Units.h"
#include <map>
#include <unistd.h>
#include <unordered_map>

using namespace WinDetail;

namespace {

Char Fold(Char C)
{
    return C >= u'a' && C <= u'z' ? Char(C - 32) : C;
}

String FoldName(StringView Name)
{
    String Result(Name);
    for (auto& C : Result)
        C = Fold(C);
    return Result;
}

// Windows by handle number (handles are never reused, so the map is also
// the creation order), queues by thread, window classes by folded name.
struct TRegistry {
    std::mutex Lock;
    std::map<std::uintptr_t, TWindowRef> Windows;
    std::unordered_map<TThreadID, TQueueRef> Queues;
    std::map<String, WNDCLASS> Classes;
    std::map<String, String> ClassNames;
    std::map<String, UINT> Messages;
    std::uintptr_t NextHandle = 0x10000;
    UINT NextMessage = MAXINTATOM;
    ATOM NextAtom = MAXINTATOM;
};

TRegistry& Registry()
{
    static auto* Instance = new TRegistry;     // outlives every thread's queue
    return *Instance;
}

std::uintptr_t HandleValue(HWND Wnd)
{
    return reinterpret_cast<std::uintptr_t>(Wnd);
}

// Ends the thread's queue when the thread ends: its windows die without
// messages (the thread can no longer run their procedures), waiting senders
// get 0.
struct TQueueHolder {
    TQueueRef Queue;
    ~TQueueHolder()
    {
        if (!Queue)
            return;
        std::vector<TWindowRef> Dead;
        {
            std::lock_guard Guard(Registry().Lock);
            Registry().Queues.erase(Queue->ThreadId);
            for (auto It = Registry().Windows.begin(); It != Registry().Windows.end();) {
                if (It->second->ThreadId == Queue->ThreadId) {
                    It->second->Alive = false;
                    Dead.push_back(It->second);
                    It = Registry().Windows.erase(It);
                } else {
                    ++It;
                }
            }
        }
        std::deque<std::shared_ptr<TSentMessage>> Sent;
        {
            std::lock_guard Guard(Queue->Lock);
            Queue->Alive = false;
            Queue->Posted.clear();
            Queue->Timers.clear();
            Sent.swap(Queue->Sent);
        }
        for (auto& S : Sent) {
            {
                std::lock_guard Guard(S->Sender->Lock);
                S->Done = true;
            }
            S->Sender->Wake.notify_all();
        }
    }
};

LRESULT FunctionWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam)
{
    // The reference keeps the function alive while it runs, even when it
    // destroys its own window.
    TWindowRef Window = FindWindow(Wnd);
    if (!Window || !Window->Function)
        return DefWindowProc(Wnd, Msg, WParam, LParam);
    return Window->Function(Wnd, Msg, WParam, LParam);
}

HWND MakeWindow(DWORD ExStyle, StringView ClassName, StringView WindowName, DWORD Style, HWND Parent,
                void* Param, WNDPROC Proc, TWindowProc Function, LONG_PTR UserData)
{
    auto Window = std::make_shared<TWindowObject>();
    Window->ThreadId = GetCurrentThreadId();
    Window->Queue = CurrentQueue();
    Window->Parent = Parent;
    Window->ClassName = String(ClassName);
    Window->Text = String(WindowName);
    Window->Function = std::move(Function);
    Window->Proc = Proc;
    Window->UserData = UserData;
    Window->Style = static_cast<LONG_PTR>(Style);
    Window->ExStyle = static_cast<LONG_PTR>(ExStyle);
    {
        std::lock_guard Guard(Registry().Lock);
        if (Parent && !Registry().Windows.count(HandleValue(Parent)))
            return nullptr;
        Window->Handle = reinterpret_cast<HWND>(Registry().NextHandle);
        Registry().NextHandle += 4;
        Registry().Windows[HandleValue(Window->Handle)] = Window;
    }
    CREATESTRUCT Create;
    Create.lpCreateParams = Param;
    Create.hwndParent = Parent;
    Create.style = static_cast<LONG>(Style);
    Create.lpszName = Window->Text.c_str();
    Create.lpszClass = Window->ClassName.c_str();
    Create.dwExStyle = ExStyle;
    HWND Handle = Window->Handle;
    if (SendMessage(Handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&Create)) == -1) {
        DestroyWindow(Handle);
        return nullptr;
    }
    return Handle;
}

void RemoveWindow(const TWindowRef& Window)
{
    {
        std::lock_guard Guard(Registry().Lock);
        Registry().Windows.erase(HandleValue(Window->Handle));
        Window->Alive = false;
    }
    if (auto Queue = Window->Queue.lock()) {
        std::lock_guard Guard(Queue->Lock);
        DropWindowTimers(*Queue, Window->Handle);
        Queue->Posted.erase_if([&](const TPostedMessage& P) { return P.Window == Window; });
    }
}

TDateTime TimeSourceNow()
{
    const auto Wall = TimeSource().WallTime();
    return MillisecondsToDateTime(Wall.Local + static_cast<Int64>(UnixDateDelta) * MSecsPerDay);
}

void FillSystemTime(Int64 UnixMs, SYSTEMTIME* Time)
{
    if (!Time)
        return;
    *Time = SYSTEMTIME {};
    DateTimeToSystemTime(MillisecondsToDateTime(UnixMs + static_cast<Int64>(UnixDateDelta) * MSecsPerDay), *Time);
}

void WakeMain()
{
    WakeQueue(MainThreadID);
}

void InitWinApi()
{
    TTimeSource::OnClockChanged = &WakeAllQueues;
    SetNowFunction(&TimeSourceNow);
    WakeMainThread = &WakeMain;
    CurrentQueue();
}

void DoneWinApi()
{
    WakeMainThread = nullptr;
    SetNowFunction(nullptr);
    TTimeSource::OnClockChanged = nullptr;
}

}

X_UNIT(WinApi, "WinApi", {}, &InitWinApi, &DoneWinApi)

namespace WinDetail {

const TQueueRef& CurrentQueue()
{
    thread_local TQueueHolder Holder;
    if (!Holder.Queue) {
        auto Queue = std::make_shared<TThreadQueue>();
        Queue->ThreadId = GetCurrentThreadId();
        Queue->TimeChangesSeen = TimeSource().WallClockChanges();
        std::lock_guard Guard(Registry().Lock);
        Registry().Queues[Queue->ThreadId] = Queue;
        Holder.Queue = std::move(Queue);
    }
    return Holder.Queue;
}

TQueueRef FindQueue(TThreadID ThreadId)
{
    std::lock_guard Guard(Registry().Lock);
    auto It = Registry().Queues.find(ThreadId);
    return It == Registry().Queues.end() ? nullptr : It->second;
}

TWindowRef FindWindow(HWND Wnd)
{
    if (!Wnd)
        return nullptr;
    // The window this thread looked up last: handles are never reused, so
    // while that window lives the handle still names it, without the
    // registry's lock.
    thread_local HWND LastHandle = nullptr;
    thread_local std::weak_ptr<TWindowObject> LastWindow;
    if (Wnd == LastHandle)
        if (TWindowRef Window = LastWindow.lock(); Window && Window->Alive)
            return Window;
    std::lock_guard Guard(Registry().Lock);
    auto It = Registry().Windows.find(HandleValue(Wnd));
    if (It == Registry().Windows.end())
        return nullptr;
    LastHandle = Wnd;
    LastWindow = It->second;
    return It->second;
}

std::vector<TWindowRef> TopLevelWindows(TThreadID ThreadId)
{
    std::vector<TWindowRef> Result;
    std::lock_guard Guard(Registry().Lock);
    for (auto& [Handle, Window] : Registry().Windows)
        if (Window->ThreadId == ThreadId && !Window->Parent)
            Result.push_back(Window);
    return Result;
}

void WakeAllQueues()
{
    std::vector<TQueueRef> Queues;
    {
        std::lock_guard Guard(Registry().Lock);
        for (auto& [Id, Queue] : Registry().Queues)
            Queues.push_back(Queue);
    }
    for (auto& Queue : Queues) {
        // Taking the lock orders the wake after a waiter's last look at the clock.
        std::lock_guard Guard(Queue->Lock);
        Queue->Wake.notify_all();
    }
}

void WakeQueue(TThreadID ThreadId)
{
    if (auto Queue = FindQueue(ThreadId)) {
        std::lock_guard Guard(Queue->Lock);
        Queue->Wake.notify_all();
    }
}

}

ATOM RegisterClass(const WNDCLASS& Class)
{
    if (!Class.lpfnWndProc || !Class.lpszClassName || !*Class.lpszClassName)
        return 0;
    String Key = FoldName(Class.lpszClassName);
    std::lock_guard Guard(Registry().Lock);
    if (Registry().Classes.count(Key) || Registry().NextAtom == 0xFFFF)
        return 0;
    WNDCLASS Stored = Class;
    Registry().ClassNames[Key] = Class.lpszClassName;
    Stored.lpszClassName = Registry().ClassNames[Key].c_str();
    Registry().Classes[Key] = Stored;
    return Registry().NextAtom++;
}

bool UnregisterClass(StringView ClassName)
{
    String Key = FoldName(ClassName);
    std::lock_guard Guard(Registry().Lock);
    if (!Registry().Classes.erase(Key))
        return false;
    Registry().ClassNames.erase(Key);
    return true;
}

HWND CreateWindowEx(DWORD ExStyle, StringView ClassName, StringView WindowName, DWORD Style, HWND Parent,
                    void* Param)
{
    WNDPROC Proc;
    String Name;
    {
        std::lock_guard Guard(Registry().Lock);
        auto It = Registry().Classes.find(FoldName(ClassName));
        if (It == Registry().Classes.end())
            return nullptr;
        Proc = It->second.lpfnWndProc;
        Name = It->second.lpszClassName;
    }
    return MakeWindow(ExStyle, Name, WindowName, Style, Parent, Param, Proc, nullptr, 0);
}

HWND CreateHiddenWindow(TWindowProc Proc, LONG_PTR UserData)
{
    if (!Proc)
        return nullptr;
    return MakeWindow(WS_EX_TOOLWINDOW, {}, {}, 0, nullptr, nullptr, &FunctionWindowProc, std::move(Proc),
                      UserData);
}

HWND AllocateHWnd(TWndMethod Method)
{
    if (!Method)
        return nullptr;
    return CreateHiddenWindow([Method = std::move(Method)](HWND, UINT Msg, WPARAM WParam, LPARAM LParam) {
        TMessage Message { Msg, WParam, LParam, 0 };
        Method(Message);
        return Message.Result;
    });
}

void DeallocateHWnd(HWND Wnd)
{
    DestroyWindow(Wnd);
}

bool DestroyWindow(HWND Wnd)
{
    TWindowRef Window = FindWindow(Wnd);
    if (!Window || Window->ThreadId != GetCurrentThreadId() || Window->Destroying)
        return false;
    Window->Destroying = true;
    try {
        std::vector<TWindowRef> Children;
        {
            std::lock_guard Guard(Registry().Lock);
            for (auto& [Handle, Child] : Registry().Windows)
                if (Child->Parent == Wnd)
                    Children.push_back(Child);
        }
        for (auto& Child : Children)
            DestroyWindow(Child->Handle);
        CallWindowProc(Window->Proc, Wnd, WM_DESTROY, 0, 0);
        CallWindowProc(Window->Proc, Wnd, WM_NCDESTROY, 0, 0);
    } catch (...) {     // the window goes all the same, then the exception passes on
        RemoveWindow(Window);
        throw;
    }
    RemoveWindow(Window);
    return true;
}

bool IsWindow(HWND Wnd)
{
    return FindWindow(Wnd) != nullptr;
}

DWORD GetWindowThreadProcessId(HWND Wnd, DWORD* ProcessId)
{
    TWindowRef Window = FindWindow(Wnd);
    if (!Window)
        return 0;
    if (ProcessId)
        *ProcessId = GetCurrentProcessId();
    return Window->ThreadId;
}

HWND GetParent(HWND Wnd)
{
    TWindowRef Window = FindWindow(Wnd);
    return Window ? Window->Parent : nullptr;
}

LONG_PTR GetWindowLongPtr(HWND Wnd, int Index)
{
    TWindowRef Window = FindWindow(Wnd);
    if (!Window)
        return 0;
    switch (Index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(Window->Proc.load());
    case GWLP_USERDATA: return Window->UserData;
    case GWL_STYLE: return Window->Style;
    case GWL_EXSTYLE: return Window->ExStyle;
    default: return 0;
    }
}

LONG_PTR SetWindowLongPtr(HWND Wnd, int Index, LONG_PTR Value)
{
    TWindowRef Window = FindWindow(Wnd);
    if (!Window)
        return 0;
    switch (Index) {
    case GWLP_WNDPROC:
        if (!Value)
            return 0;
        return reinterpret_cast<LONG_PTR>(Window->Proc.exchange(reinterpret_cast<WNDPROC>(Value)));
    case GWLP_USERDATA: return Window->UserData.exchange(Value);
    case GWL_STYLE: return Window->Style.exchange(Value);
    case GWL_EXSTYLE: return Window->ExStyle.exchange(Value);
    default: return 0;
    }
}

LRESULT CallWindowProc(WNDPROC Proc, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam)
{
    return Proc ? Proc(Wnd, Msg, WParam, LParam) : 0;
}

LRESULT DefWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam)
{
    switch (Msg) {
    case WM_CLOSE:
        DestroyWindow(Wnd);
        return 0;
    case WM_QUERYENDSESSION:
        return 1;
    default:
        return 0;
    }
}

UINT RegisterWindowMessage(StringView Name)
{
    if (Name.empty())
        return 0;
    String Key = FoldName(Name);
    std::lock_guard Guard(Registry().Lock);
    auto It = Registry().Messages.find(Key);
    if (It != Registry().Messages.end())
        return It->second;
    if (Registry().NextMessage > 0xFFFF)
        return 0;
    UINT Id = Registry().NextMessage++;
    Registry().Messages.emplace(std::move(Key), Id);
    return Id;
}

UINT FindWindowMessage(StringView Name)
{
    std::lock_guard Guard(Registry().Lock);
    auto It = Registry().Messages.find(FoldName(Name));
    return It == Registry().Messages.end() ? 0 : It->second;
}

DWORD GetTickCount()
{
    return static_cast<DWORD>(TimeSource().TickCount());
}

UInt64 GetTickCount64()
{
    return TimeSource().TickCount();
}

void GetSystemTime(SYSTEMTIME* Time)
{
    FillSystemTime(TimeSource().WallTime().Utc, Time);
}

void GetLocalTime(SYSTEMTIME* Time)
{
    FillSystemTime(TimeSource().WallTime().Local, Time);
}

DWORD GetCurrentProcessId()
{
    return static_cast<DWORD>(::getpid());
}

void Sleep(DWORD Milliseconds)
{
    TimeSource().Sleep(Milliseconds);
}

bool SetWindowText(HWND Wnd, StringView Text)
{
    TWindowRef Window = FindWindow(Wnd);
    if (!Window)
        return false;
    std::lock_guard Guard(Registry().Lock);
    Window->Text = String(Text);
    return true;
}

String GetWindowText(HWND Wnd)
{
    TWindowRef Window = FindWindow(Wnd);
    if (!Window)
        return {};
    std::lock_guard Guard(Registry().Lock);
    return Window->Text;
}

String GetClassName(HWND Wnd)
{
    TWindowRef Window = FindWindow(Wnd);
    return Window ? Window->ClassName : String();
}

std::vector<HWND> EnumWindows()
{
    std::vector<HWND> Result;
    std::lock_guard Guard(Registry().Lock);
    for (auto& [Handle, Window] : Registry().Windows)
        if (!Window->Parent && Window->Alive)
            Result.push_back(Window->Handle);
    return Result;
}
