#include "win/MessageQueue.h"
#include "rtl/Threads.h"
#include "win/Presenter.h"
#include "win/WindowPlacement.h"
#include <algorithm>
#include "rtl/Units.h"
#include <map>
#include <unistd.h>
#include <unordered_map>

using namespace WinDetail;

namespace {

// Spots on the desktop stay below every other top-level window, in their
// own order.
void KeepSpotsAtBottom(std::vector<TWindowRef>& Z)
{
    std::stable_partition(Z.begin(), Z.end(), [](const TWindowRef& W) { return !IsDesktopSpot(DWORD(W->ExStyle.load())); });
}

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
    std::vector<TWindowRef> ZOrder; // top-level windows, topmost first
    std::uintptr_t NextHandle = 0x10000;
    UINT NextMessage = MAXINTATOM;
    ATOM NextAtom = MAXINTATOM;
};

TRegistry& Registry()
{
    static auto* Instance = new TRegistry; // outlives every thread's queue
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
            WinDetail::Wake(*S->Sender);
        }
        if (const int Fd = Queue->WakeFd.exchange(-1); Fd >= 0)
            ::close(Fd);
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

struct TCreateArgs {
    DWORD ExStyle = 0;
    StringView ClassName;
    StringView WindowName;
    DWORD Style = 0;
    RECT Rect;
    bool Placed = false;
    HWND Parent = nullptr;
    void* Param = nullptr;
    WNDPROC Proc = nullptr;
    TWindowProc Function;
    LONG_PTR UserData = 0;
    UINT ClassStyle = 0;
    HCURSOR ClassCursor = nullptr;
};

HWND MakeWindow(TCreateArgs Args)
{
    auto Window = std::make_shared<TWindowObject>();
    Window->ThreadId = GetCurrentThreadId();
    Window->Queue = CurrentQueue();
    Window->ClassName = String(Args.ClassName);
    Window->Text = String(Args.WindowName);
    Window->Function = std::move(Args.Function);
    Window->Proc = Args.Proc;
    Window->UserData = Args.UserData;
    // Visible comes with the first ShowWindow, after WM_CREATE.
    Window->Style = static_cast<LONG_PTR>(Args.Style & ~WS_VISIBLE);
    Window->ExStyle = static_cast<LONG_PTR>(Args.ExStyle);
    Window->Rect = Args.Rect;
    Window->Client = Window->WindowArea();
    Window->Placed = Args.Placed;
    Window->ClassStyle = Args.ClassStyle;
    Window->ClassCursor = Args.ClassCursor;
    TWindowRef ParentWindow;
    // A window in the desktop is a top-level window of its own.
    if (Args.Parent == GetDesktopWindow())
        Args.Parent = nullptr;
    if (Args.Parent) {
        // A child lives in its parent (of the same thread); any other window
        // given a parent is a top-level window that the other one owns.
        ParentWindow = OwnWindow(Args.Parent);
        if (!ParentWindow)
            return nullptr;
        if (Window->Child())
            Window->Parent = Args.Parent;
        else
            Window->Owner = TopLevelOf(ParentWindow)->Handle;
    } else {
        Window->Style = Window->Style & ~LONG_PTR(WS_CHILD);
    }
    {
        std::lock_guard Guard(Registry().Lock);
        Window->Handle = reinterpret_cast<HWND>(Registry().NextHandle);
        Registry().NextHandle += 4;
        Registry().Windows[HandleValue(Window->Handle)] = Window;
        if (!Window->Parent) {
            Registry().ZOrder.insert(Registry().ZOrder.begin(), Window);
            KeepSpotsAtBottom(Registry().ZOrder);
        }
    }
    if (Window->Parent)
        ParentWindow->Children.push_back(Window);
    CREATESTRUCT Create;
    Create.lpCreateParams = Args.Param;
    Create.hwndParent = Args.Parent;
    Create.style = static_cast<LONG>(Args.Style);
    Create.lpszName = Window->Text.c_str();
    Create.lpszClass = Window->ClassName.c_str();
    Create.dwExStyle = Args.ExStyle;
    Create.x = Args.Rect.left;
    Create.y = Args.Rect.top;
    Create.cx = RectWidth(Args.Rect);
    Create.cy = RectHeight(Args.Rect);
    HWND Handle = Window->Handle;
    if (!RectEmpty(Window->Rect)) {
        RecalcClient(Window);
        // A new window paints itself whole once it is shown.
        InvalidateWindow(Window, Window->WindowArea(), true);
    }
    if (SendMessage(Handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&Create)) == -1) {
        DestroyWindow(Handle);
        return nullptr;
    }
    if (!Window->Alive)
        return nullptr;
    if (Args.Style & WS_VISIBLE)
        ShowWindow(Handle, SW_SHOWNORMAL);
    return Handle;
}

void RemoveWindow(const TWindowRef& Window)
{
    if (Window->Alive)
        WindowGone(Window);
    if (TWindowRef Parent = ParentOf(*Window))
        std::erase(Parent->Children, Window);
    {
        std::lock_guard Guard(Registry().Lock);
        Registry().Windows.erase(HandleValue(Window->Handle));
        std::erase(Registry().ZOrder, Window);
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
        WinDetail::Wake(*Queue);
    }
}

void WakeQueue(TThreadID ThreadId)
{
    if (auto Queue = FindQueue(ThreadId)) {
        std::lock_guard Guard(Queue->Lock);
        WinDetail::Wake(*Queue);
    }
}

LRESULT CallWindow(const TWindowRef& Window, UINT Msg, WPARAM WParam, LPARAM LParam)
{
    // The caller's reference keeps a function alive while it runs.
    if (Window->Function && Window->Proc.load() == &FunctionWindowProc)
        return Window->Function(Window->Handle, Msg, WParam, LParam);
    return CallWindowProc(Window->Proc, Window->Handle, Msg, WParam, LParam);
}

void Wake(TThreadQueue& Queue)
{
    Queue.Wake.notify_all();
    if (const int Fd = Queue.WakeFd.load(); Fd >= 0) {
        const std::uint64_t One = 1;
        // A full counter already wakes the reader; nothing else can fail here.
        [[maybe_unused]] auto Written = ::write(Fd, &One, sizeof One);
    }
}

TWindowRef OwnWindow(HWND Wnd)
{
    TWindowRef Window = FindWindow(Wnd);
    return Window && Window->ThreadId == GetCurrentThreadId() ? Window : nullptr;
}

TWindowRef ParentOf(const TWindowObject& Window)
{
    return Window.Parent ? FindWindow(Window.Parent) : nullptr;
}

TWindowRef TopLevelOf(const TWindowRef& Window)
{
    TWindowRef Top = Window;
    while (Top && Top->Parent) {
        TWindowRef Up = FindWindow(Top->Parent);
        if (!Up)
            break;
        Top = std::move(Up);
    }
    return Top;
}

bool ReallyVisible(const TWindowObject& Window)
{
    if (!Window.Visible() || !Window.Alive)
        return false;
    for (TWindowRef Up = ParentOf(Window); Up; Up = ParentOf(*Up))
        if (!Up->Visible())
            return false;
    return true;
}

std::vector<TWindowRef> TopLevelZOrder()
{
    std::lock_guard Guard(Registry().Lock);
    return Registry().ZOrder;
}

void BringTopLevelToFront(const TWindowRef& Window)
{
    std::lock_guard Guard(Registry().Lock);
    auto& Z = Registry().ZOrder;
    // The window, then every window it owns (directly or not) above it, in
    // their present order.
    std::vector<TWindowRef> Moved;
    std::vector<HWND> Owners { Window->Handle };
    for (auto It = Z.rbegin(); It != Z.rend(); ++It)
        if (*It == Window)
            Moved.push_back(*It);
    for (bool Grew = true; Grew;) {
        Grew = false;
        for (auto It = Z.rbegin(); It != Z.rend(); ++It)
            if ((*It)->Owner && std::find(Owners.begin(), Owners.end(), (*It)->Owner) != Owners.end() &&
                std::find(Moved.begin(), Moved.end(), *It) == Moved.end()) {
                Moved.push_back(*It);
                Owners.push_back((*It)->Handle);
                Grew = true;
            }
    }
    std::erase_if(Z, [&](const TWindowRef& W) { return std::find(Moved.begin(), Moved.end(), W) != Moved.end(); });
    // Moved holds bottom first.
    Z.insert(Z.begin(), Moved.rbegin(), Moved.rend());
    KeepSpotsAtBottom(Z);
}

void SendTopLevelToBack(const TWindowRef& Window)
{
    std::lock_guard Guard(Registry().Lock);
    auto& Z = Registry().ZOrder;
    std::erase(Z, Window);
    Z.push_back(Window);
}

void DropFromZOrder(HWND Wnd)
{
    std::lock_guard Guard(Registry().Lock);
    std::erase_if(Registry().ZOrder, [Wnd](const TWindowRef& W) { return W->Handle == Wnd; });
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

HWND CreateWindowEx(DWORD ExStyle, StringView ClassName, StringView WindowName, DWORD Style, Integer X, Integer Y,
    Integer Width, Integer Height, HWND Parent, void* Param)
{
    TCreateArgs Args;
    {
        std::lock_guard Guard(Registry().Lock);
        auto It = Registry().Classes.find(FoldName(ClassName));
        if (It == Registry().Classes.end())
            return nullptr;
        Args.Proc = It->second.lpfnWndProc;
        Args.ClassStyle = It->second.style;
        Args.ClassCursor = It->second.hCursor;
        Args.ClassName = It->second.lpszClassName;
    }
    Args.ExStyle = ExStyle;
    Args.WindowName = WindowName;
    Args.Style = Style;
    Args.Rect = { X, Y, X + std::max(Width, 0), Y + std::max(Height, 0) };
    Args.Placed = true;
    Args.Parent = Parent;
    Args.Param = Param;
    return MakeWindow(std::move(Args));
}

HWND CreateWindowEx(DWORD ExStyle, StringView ClassName, StringView WindowName, DWORD Style, HWND Parent, void* Param)
{
    HWND Wnd = CreateWindowEx(ExStyle, ClassName, WindowName, Style, 0, 0, 0, 0, Parent, Param);
    if (TWindowRef Window = OwnWindow(Wnd))
        Window->Placed = false;
    return Wnd;
}

HWND CreateHiddenWindow(TWindowProc Proc, LONG_PTR UserData)
{
    if (!Proc)
        return nullptr;
    TCreateArgs Args;
    Args.ExStyle = WS_EX_TOOLWINDOW;
    Args.Proc = &FunctionWindowProc;
    Args.Function = std::move(Proc);
    Args.UserData = UserData;
    return MakeWindow(std::move(Args));
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
        // Windows it owns go first, then its children.
        std::vector<TWindowRef> Owned;
        {
            std::lock_guard Guard(Registry().Lock);
            for (auto& [Handle, Other] : Registry().Windows)
                if (Other->Owner == Wnd)
                    Owned.push_back(Other);
        }
        for (auto& W : Owned)
            DestroyWindow(W->Handle);
        const std::vector<TWindowRef> Children = Window->Children;
        for (auto& Child : Children)
            DestroyWindow(Child->Handle);
        if (Window->Visible())
            ShowWindow(Wnd, SW_HIDE);
        CallWindowProc(Window->Proc, Wnd, WM_DESTROY, 0, 0);
        CallWindowProc(Window->Proc, Wnd, WM_NCDESTROY, 0, 0);
    } catch (...) { // the window goes all the same, then the exception passes on
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
    return !Window ? nullptr : Window->Parent ? Window->Parent : Window->Owner;
}

LONG_PTR GetWindowLongPtr(HWND Wnd, int Index)
{
    TWindowRef Window = FindWindow(Wnd);
    if (!Window)
        return 0;
    switch (Index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(Window->Proc.load());
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(Window->Parent ? Window->Parent : Window->Owner);
    case GWLP_ID: return LONG_PTR(Window->Id.load());
    case GWLP_USERDATA: return Window->UserData;
    case GWL_STYLE: return Window->Style;
    case GWL_EXSTYLE: return Window->ExStyle;
    default: return 0;
    }
}

namespace {

// A top-level window's new owner (the top-level window of Owner, or none);
// answers the old one. A child keeps its parent; a window never owns
// itself or one of its owners.
HWND SetOwner(const TWindowRef& Window, HWND Owner)
{
    if (Window->Parent)
        return Window->Parent;
    const HWND Old = Window->Owner;
    TWindowRef New;
    if (Owner && Owner != GetDesktopWindow()) {
        TWindowRef Given = FindWindow(Owner);
        if (!Given)
            return Old;
        New = TopLevelOf(Given);
        for (TWindowRef Up = New; Up; Up = Up->Owner ? FindWindow(Up->Owner) : TWindowRef())
            if (Up == Window)
                return Old;
    }
    Window->Owner = New ? New->Handle : nullptr;
    return Old;
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
    case GWLP_ID: return LONG_PTR(Window->Id.exchange(UINT_PTR(Value)));
    case GWLP_USERDATA: return Window->UserData.exchange(Value);
    case GWL_STYLE: return Window->Style.exchange(Value);
    case GWL_EXSTYLE: {
        const LONG_PTR Old = Window->ExStyle.exchange(Value);
        if (Old != Value && !Window->Parent && Window->HasSurface && Window->ThreadId == GetCurrentThreadId())
            Presenter().SetExStyle(Wnd, DWORD(Value));
        return Old;
    }
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(SetOwner(Window, reinterpret_cast<HWND>(Value)));
    default: return 0;
    }
}

HWND GetDesktopWindow()
{
    // Never a window's handle: those are multiples of four.
    return reinterpret_cast<HWND>(std::uintptr_t(2));
}

LRESULT CallWindowProc(WNDPROC Proc, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam)
{
    return Proc ? Proc(Wnd, Msg, WParam, LParam) : 0;
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
    {
        std::lock_guard Guard(Registry().Lock);
        Window->Text = String(Text);
    }
    if (Window->ThreadId == GetCurrentThreadId() && Window->HasSurface)
        Presenter().SetTitle(Wnd, String(Text));
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
