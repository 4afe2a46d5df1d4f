#include "win/Input.h"
#include "win/Metrics.h"
#include "win/MessageQueue.h"
#include "win/Presenter.h"
#include "win/ScreenRequests.h"
#include "win/WindowPlacement.h"
#include <array>
#include <atomic>
#include <cstdlib>

using namespace WinDetail;

namespace {

// Key states of the program: bit 7 down. Only the thread that routes input
// (the presenter's) changes them.
std::array<std::atomic<Byte>, 256> KeyStates {};
std::atomic<LONG> CursorX { 0 }, CursorY { 0 };
std::atomic<UINT> DoubleClickTime { 500 };

struct THotKey {
    HWND Wnd = nullptr;
    Integer Id = 0;
    UINT Modifiers = 0;
    UINT VirtualKey = 0;
};

struct THotKeys {
    std::mutex Lock;
    std::vector<THotKey> Keys;
};

THotKeys& HotKeys()
{
    static auto* Instance = new THotKeys;
    return *Instance;
}

struct TLastPress {
    HWND Wnd = nullptr;
    Integer Button = -1;
    DWORD Time = 0;
    POINT Point;
};
thread_local TLastPress LastPress;
// Set while a click activates a window, so WM_ACTIVATE says WA_CLICKACTIVE.
thread_local bool ClickActivation = false;

bool Down(UINT VirtualKey)
{
    return (KeyStates[VirtualKey & 0xFF].load() & 0x80) != 0;
}

void SetDown(UINT VirtualKey, bool Value)
{
    KeyStates[VirtualKey & 0xFF] = Value ? 0x80 : 0;
}

UINT HeldModifiers(UINT Except)
{
    UINT Mods = 0;
    if (Except != VK_MENU && Down(VK_MENU))
        Mods |= MOD_ALT;
    if (Except != VK_CONTROL && Down(VK_CONTROL))
        Mods |= MOD_CONTROL;
    if (Except != VK_SHIFT && Down(VK_SHIFT))
        Mods |= MOD_SHIFT;
    if (Except != VK_LWIN && Except != VK_RWIN && (Down(VK_LWIN) || Down(VK_RWIN)))
        Mods |= MOD_WIN;
    return Mods;
}

WPARAM MouseKeys()
{
    WPARAM Keys = 0;
    if (Down(VK_LBUTTON))
        Keys |= MK_LBUTTON;
    if (Down(VK_RBUTTON))
        Keys |= MK_RBUTTON;
    if (Down(VK_MBUTTON))
        Keys |= MK_MBUTTON;
    if (Down(VK_SHIFT))
        Keys |= MK_SHIFT;
    if (Down(VK_CONTROL))
        Keys |= MK_CONTROL;
    return Keys;
}

constexpr UINT ButtonKeys[] = { VK_LBUTTON, VK_RBUTTON, VK_MBUTTON };

MSG NewMessage(HWND Wnd, UINT Message, WPARAM WParam, LPARAM LParam, POINT Point)
{
    MSG Msg;
    Msg.hwnd = Wnd;
    Msg.message = Message;
    Msg.wParam = WParam;
    Msg.lParam = LParam;
    Msg.time = GetTickCount();
    Msg.pt = Point;
    return Msg;
}

// The window under the pointer, or the capture; false when nothing of
// this thread takes the pointer.
HWND PointerTarget(TThreadQueue& Queue, POINT Point, LRESULT& Hit, bool& Captured)
{
    Captured = false;
    if (Queue.Capture && OwnWindow(Queue.Capture)) {
        Captured = true;
        Hit = HTCLIENT;
        return Queue.Capture;
    }
    Queue.Capture = nullptr;
    return WindowHitTest(Point, &Hit);
}

LPARAM ClientPoint(HWND Wnd, POINT Point)
{
    ScreenToClient(Wnd, &Point);
    return PointToLParam(Point);
}

// When the pointer moves to another window, a window that asked for it
// hears WM_MOUSELEAVE first.
bool Leave(TThreadQueue& Queue, HWND Target, MSG& Msg)
{
    if (Queue.Hover == Target)
        return false;
    TWindowRef Old = OwnWindow(Queue.Hover);
    Queue.Hover = Target;
    if (!Old || !Old->TrackLeave)
        return false;
    Old->TrackLeave = false;
    Msg = NewMessage(Old->Handle, WM_MOUSELEAVE, 0, 0, { CursorX.load(), CursorY.load() });
    return true;
}

void Requeue(const TInputEvent& Event)
{
    const TQueueRef& Queue = CurrentQueue();
    std::lock_guard Guard(Queue->Lock);
    Queue->Input.push_front(Event);
}

bool RouteMove(TThreadQueue& Queue, const TInputEvent& Event, MSG& Msg)
{
    LRESULT Hit = HTNOWHERE;
    bool Captured = false;
    HWND Target = PointerTarget(Queue, Event.Point, Hit, Captured);
    if (Leave(Queue, Captured ? Queue.Hover : Target, Msg)) {
        Requeue(Event);
        return true;
    }
    if (!Target || Hit == HTERROR || Hit == HTNOWHERE)
        return false;
    if (!Captured) {
        SendMessage(Target, WM_SETCURSOR, reinterpret_cast<WPARAM>(Target), MAKELPARAM(Word(Hit), Word(WM_MOUSEMOVE)));
        if (!IsWindow(Target))
            return false;
    }
    if (Hit == HTCLIENT)
        Msg = NewMessage(Target, WM_MOUSEMOVE, MouseKeys(), ClientPoint(Target, Event.Point), Event.Point);
    else
        Msg = NewMessage(Target, WM_NCMOUSEMOVE, WPARAM(Hit), PointToLParam(Event.Point), Event.Point);
    return true;
}

bool RouteButton(TThreadQueue& Queue, const TInputEvent& Event, MSG& Msg)
{
    const Integer Button = Event.Button < 0 || Event.Button > 2 ? 0 : Event.Button;
    SetDown(ButtonKeys[Button], Event.Down);
    LRESULT Hit = HTNOWHERE;
    bool Captured = false;
    HWND Target = PointerTarget(Queue, Event.Point, Hit, Captured);
    if (!Target || Hit == HTNOWHERE)
        return false;
    const UINT ClientBase = WM_LBUTTONDOWN + 3 * UINT(Button);
    const UINT NCBase = WM_NCLBUTTONDOWN + 3 * UINT(Button);
    if (Event.Down && !Captured) {
        TWindowRef Top = TopLevelOf(FindWindow(Target));
        if (!Top)
            return false;
        if (Hit == HTERROR) {
            // A press on a window that a modal one disabled brings that one.
            HWND Popup = GetLastActivePopup(Top->Handle);
            if (Popup && Popup != Top->Handle)
                SetForegroundWindow(Popup);
            return false;
        }
        if (GetActiveWindow() != Top->Handle) {
            const LRESULT Answer = SendMessage(Target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(Top->Handle),
                MAKELPARAM(Word(Hit), Word(Hit == HTCLIENT ? ClientBase : NCBase)));
            if (Answer == MA_ACTIVATE || Answer == MA_ACTIVATEANDEAT) {
                ClickActivation = true;
                SetForegroundWindow(Top->Handle);
                ClickActivation = false;
            }
            if (Answer == MA_ACTIVATEANDEAT || Answer == MA_NOACTIVATEANDEAT || !IsWindow(Target))
                return false;
        }
        SendMessage(Target, WM_SETCURSOR, reinterpret_cast<WPARAM>(Target), MAKELPARAM(Word(Hit), Word(ClientBase)));
        if (!IsWindow(Target))
            return false;
    }
    if (Hit == HTERROR)
        return false;
    UINT Offset = Event.Down ? 0 : 1;
    if (Event.Down) {
        TWindowRef Window = OwnWindow(Target);
        const DWORD Now = GetTickCount();
        const bool Double = Window && (Window->ClassStyle & CS_DBLCLKS) && LastPress.Wnd == Target &&
            LastPress.Button == Button && Now - LastPress.Time <= DoubleClickTime.load() &&
            std::abs(Event.Point.x - LastPress.Point.x) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
            std::abs(Event.Point.y - LastPress.Point.y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
        if (Double) {
            Offset = 2;
            LastPress = {};
        } else {
            LastPress = { Target, Button, Now, Event.Point };
        }
    }
    if (Hit == HTCLIENT)
        Msg = NewMessage(Target, ClientBase + Offset, MouseKeys(), ClientPoint(Target, Event.Point), Event.Point);
    else
        Msg = NewMessage(Target, NCBase + Offset, WPARAM(Hit), PointToLParam(Event.Point), Event.Point);
    return true;
}

bool RouteWheel(TThreadQueue& Queue, const TInputEvent& Event, MSG& Msg)
{
    LRESULT Hit = HTNOWHERE;
    bool Captured = false;
    HWND Target = PointerTarget(Queue, Event.Point, Hit, Captured);
    if (!Target || Hit == HTERROR || Hit == HTNOWHERE)
        return false;
    Msg = NewMessage(Target, WM_MOUSEWHEEL, MAKEWPARAM(Word(MouseKeys()), Word(std::int16_t(Event.Delta))),
        PointToLParam(Event.Point), Event.Point);
    return true;
}

// The focus; with none, the active window, whose keys are system keys.
HWND KeyTarget(const TThreadQueue& Queue, bool& System)
{
    if (OwnWindow(Queue.Focus))
        return Queue.Focus;
    System = true;
    return OwnWindow(Queue.Active) ? Queue.Active : nullptr;
}

// Characters without a key: posted, so the units of one text (a surrogate
// pair above all) arrive together, before the next input record.
void RouteText(const TThreadQueue& Queue, const TInputEvent& Event)
{
    bool System = false;
    const HWND Target = KeyTarget(Queue, System);
    if (!Target)
        return;
    for (const Char Unit : Event.Text)
        PostMessage(Target, System ? WM_SYSCHAR : WM_CHAR, WPARAM(Unit), 1);
}

bool RouteKey(TThreadQueue& Queue, const TInputEvent& Event, MSG& Msg)
{
    const UINT Vk = Event.VirtualKey & 0xFF;
    const bool WasDown = Down(Vk);
    SetDown(Vk, Event.Down);
    if (Event.Down) {
        const UINT Mods = Event.Modifiers >= 0 ? UINT(Event.Modifiers) : HeldModifiers(Vk);
        THotKey Found;
        {
            std::lock_guard Guard(HotKeys().Lock);
            for (const THotKey& K : HotKeys().Keys)
                if (K.VirtualKey == Vk && K.Modifiers == Mods)
                    Found = K;
        }
        if (Found.Wnd) {
            const LPARAM LParam = MAKELPARAM(Word(Mods), Word(Vk));
            if (OwnWindow(Found.Wnd)) {
                Msg = NewMessage(Found.Wnd, WM_HOTKEY, WPARAM(Found.Id), LParam, { CursorX.load(), CursorY.load() });
                return true;
            }
            PostMessage(Found.Wnd, WM_HOTKEY, WPARAM(Found.Id), LParam);
            return false;
        }
    }
    const bool Alt = Down(VK_MENU) && !Down(VK_CONTROL);
    bool System = Alt || Vk == VK_MENU;
    const HWND Target = KeyTarget(Queue, System);
    if (!Target)
        return false;
    LPARAM LParam = 1;
    if (Alt)
        LParam |= LPARAM(1) << 29;
    if (WasDown)
        LParam |= LPARAM(1) << 30;
    if (!Event.Down)
        LParam |= LPARAM(1) << 31;
    const UINT Message = System ? (Event.Down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (Event.Down ? WM_KEYDOWN : WM_KEYUP);
    Msg = NewMessage(Target, Message, WPARAM(Vk), LParam, { CursorX.load(), CursorY.load() });
    Msg.lPrivate = Event.Down ? DWORD(Event.Character) : 0;
    return true;
}

}

namespace WinDetail {

bool RouteInput(const TInputEvent& Event, MSG& Msg)
{
    const TQueueRef& Queue = CurrentQueue();
    if (Event.Kind == TInputEvent::MouseMove || Event.Kind == TInputEvent::MouseButton ||
        Event.Kind == TInputEvent::Wheel) {
        CursorX = Event.Point.x;
        CursorY = Event.Point.y;
    }
    switch (Event.Kind) {
    case TInputEvent::MouseMove: return RouteMove(*Queue, Event, Msg);
    case TInputEvent::MouseButton: return RouteButton(*Queue, Event, Msg);
    case TInputEvent::Wheel: return RouteWheel(*Queue, Event, Msg);
    case TInputEvent::PointerLeft: return Leave(*Queue, nullptr, Msg);
    case TInputEvent::Key: return RouteKey(*Queue, Event, Msg);
    case TInputEvent::Characters: RouteText(*Queue, Event); return false;
    case TInputEvent::Activate:
        if (TWindowRef Window = OwnWindow(Event.Window); Window && !Window->Parent && Window->Enabled())
            SetActiveWindow(Window->Handle);
        return false;
    case TInputEvent::Deactivate: SetActiveWindow(nullptr); return false;
    case TInputEvent::Close:
        if (!OwnWindow(Event.Window))
            return false;
        Msg = NewMessage(Event.Window, WM_SYSCOMMAND, SC_CLOSE, MAKELPARAM(Word(CursorX.load()), Word(CursorY.load())),
            { CursorX.load(), CursorY.load() });
        return true;
    case TInputEvent::Placed:
        if (TWindowRef Window = OwnWindow(Event.Window); Window && !Window->Parent)
            ScreenPlaced(Window, Event.Bounds);
        return false;
    case TInputEvent::Minimized:
        if (TWindowRef Window = OwnWindow(Event.Window); Window && !Window->Parent)
            ScreenMinimized(Window, Event.Down);
        return false;
    case TInputEvent::Maximized:
        if (TWindowRef Window = OwnWindow(Event.Window); Window && !Window->Parent)
            ScreenMaximized(Window, Event.Down);
        return false;
    case TInputEvent::Exposed:
        // The picture is whole; it only goes to the screen again.
        if (TWindowRef Window = OwnWindow(Event.Window); Window && !Window->Parent)
            MarkChanged(Window, Event.Bounds);
        return false;
    }
    return false;
}

void InputWindowGone(TThreadQueue& Queue, HWND Wnd)
{
    if (Queue.Focus == Wnd)
        Queue.Focus = nullptr;
    if (Queue.Active == Wnd)
        Queue.Active = nullptr;
    if (Queue.Capture == Wnd)
        Queue.Capture = nullptr;
    if (Queue.Hover == Wnd)
        Queue.Hover = nullptr;
    if (LastPress.Wnd == Wnd)
        LastPress = {};
}

void HotKeysWindowGone(HWND Wnd)
{
    std::vector<THotKey> Gone;
    {
        std::lock_guard Guard(HotKeys().Lock);
        for (const THotKey& K : HotKeys().Keys)
            if (K.Wnd == Wnd)
                Gone.push_back(K);
        std::erase_if(HotKeys().Keys, [Wnd](const THotKey& K) { return K.Wnd == Wnd; });
    }
    for (const THotKey& K : Gone)
        Presenter().ReleaseHotKey(K.Modifiers, K.VirtualKey);
}

}

void PostInput(const TInputEvent& Event)
{
    const TQueueRef& Queue = CurrentQueue();
    std::lock_guard Guard(Queue->Lock);
    Queue->Input.push_back(Event);
    WinDetail::Wake(*Queue);
}

HWND SetFocus(HWND Wnd)
{
    const TQueueRef& Queue = CurrentQueue();
    const HWND Old = OwnWindow(Queue->Focus) ? Queue->Focus : nullptr;
    TWindowRef Window;
    if (Wnd) {
        Window = OwnWindow(Wnd);
        if (!Window)
            return nullptr;
        for (TWindowRef W = Window; W; W = ParentOf(*W))
            if (!W->Enabled())
                return nullptr;
        TWindowRef Top = TopLevelOf(Window);
        if (Queue->Active != Top->Handle) {
            SetActiveWindow(Top->Handle);
            if (!Window->Alive)
                return nullptr;
        }
    }
    if (Queue->Focus == Wnd)
        return Old;
    const HWND Before = OwnWindow(Queue->Focus) ? Queue->Focus : nullptr;
    Queue->Focus = Wnd;
    if (Before)
        SendMessage(Before, WM_KILLFOCUS, reinterpret_cast<WPARAM>(Wnd), 0);
    if (Wnd && Queue->Focus == Wnd && Window->Alive)
        SendMessage(Wnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(Before), 0);
    return Old;
}

HWND GetFocus()
{
    const TQueueRef& Queue = CurrentQueue();
    return OwnWindow(Queue->Focus) ? Queue->Focus : nullptr;
}

HWND SetActiveWindow(HWND Wnd)
{
    const TQueueRef& Queue = CurrentQueue();
    TWindowRef Window;
    if (Wnd) {
        Window = OwnWindow(Wnd);
        if (!Window)
            return nullptr;
        Window = TopLevelOf(Window);
        Wnd = Window->Handle;
    }
    const HWND Old = OwnWindow(Queue->Active) ? Queue->Active : nullptr;
    if (Old == Wnd)
        return Old;
    Queue->Active = Wnd;
    if (Old) {
        SendMessage(Old, WM_NCACTIVATE, 0, 0);
        SendMessage(Old, WM_ACTIVATE, MAKEWPARAM(Word(WA_INACTIVE), Word(IsIconic(Old))),
            reinterpret_cast<LPARAM>(Wnd));
    }
    if (!Old != !Wnd)
        for (const TWindowRef& Top : TopLevelZOrder())
            if (Top->ThreadId == Queue->ThreadId && Top->Alive)
                SendMessage(Top->Handle, WM_ACTIVATEAPP, Wnd ? 1 : 0, 0);
    if (!Wnd) {
        if (Queue->Focus)
            SetFocus(nullptr);
        return Old;
    }
    if (!Window->Alive || Queue->Active != Wnd)
        return Old;
    const HWND Root = GetAncestor(Wnd, GA_ROOTOWNER);
    if (TWindowRef RootWindow = OwnWindow(Root))
        RootWindow->LastActivePopup = Wnd;
    SendMessage(Wnd, WM_NCACTIVATE, 1, 0);
    SendMessage(Wnd, WM_ACTIVATE, MAKEWPARAM(Word(ClickActivation ? WA_CLICKACTIVE : WA_ACTIVE), Word(IsIconic(Wnd))),
        reinterpret_cast<LPARAM>(Old));
    return Old;
}

HWND GetActiveWindow()
{
    const TQueueRef& Queue = CurrentQueue();
    return OwnWindow(Queue->Active) ? Queue->Active : nullptr;
}

HWND SetCapture(HWND Wnd)
{
    const TQueueRef& Queue = CurrentQueue();
    const HWND Old = OwnWindow(Queue->Capture) ? Queue->Capture : nullptr;
    if (Wnd && !OwnWindow(Wnd))
        return Old;
    Queue->Capture = Wnd;
    if (Old && Old != Wnd)
        SendMessage(Old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(Wnd));
    return Old;
}

bool ReleaseCapture()
{
    const TQueueRef& Queue = CurrentQueue();
    const HWND Old = OwnWindow(Queue->Capture) ? Queue->Capture : nullptr;
    Queue->Capture = nullptr;
    if (Old)
        SendMessage(Old, WM_CAPTURECHANGED, 0, 0);
    return true;
}

HWND GetCapture()
{
    const TQueueRef& Queue = CurrentQueue();
    return OwnWindow(Queue->Capture) ? Queue->Capture : nullptr;
}

bool TrackMouseEvent(TRACKMOUSEEVENT* Track)
{
    if (!Track)
        return false;
    TWindowRef Window = OwnWindow(Track->hwndTrack);
    if (!Window)
        return false;
    if (Track->dwFlags & TME_CANCEL) {
        if (Track->dwFlags & TME_LEAVE)
            Window->TrackLeave = false;
        return true;
    }
    if (!(Track->dwFlags & TME_LEAVE))
        return true;
    if (CurrentQueue()->Hover == Window->Handle)
        Window->TrackLeave = true;
    else
        PostMessage(Window->Handle, WM_MOUSELEAVE, 0, 0);
    return true;
}

std::int16_t GetKeyState(Integer VirtualKey)
{
    return Down(UINT(VirtualKey)) ? std::int16_t(-128) : 0;
}

std::int16_t GetAsyncKeyState(Integer VirtualKey)
{
    return GetKeyState(VirtualKey);
}

bool GetCursorPos(POINT* Point)
{
    if (!Point)
        return false;
    *Point = { CursorX.load(), CursorY.load() };
    return true;
}

UINT GetDoubleClickTime()
{
    return DoubleClickTime.load();
}

bool SetDoubleClickTime(UINT Milliseconds)
{
    DoubleClickTime = Milliseconds ? Milliseconds : 500;
    return true;
}

bool RegisterHotKey(HWND Wnd, Integer Id, UINT Modifiers, UINT VirtualKey)
{
    if (!OwnWindow(Wnd))
        return false;
    Modifiers &= MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN;
    VirtualKey &= 0xFF;
    {
        std::lock_guard Guard(HotKeys().Lock);
        for (const THotKey& K : HotKeys().Keys)
            if ((K.Wnd == Wnd && K.Id == Id) || (K.Modifiers == Modifiers && K.VirtualKey == VirtualKey))
                return false;
    }
    if (!Presenter().GrabHotKey(Modifiers, VirtualKey))
        return false;
    std::lock_guard Guard(HotKeys().Lock);
    HotKeys().Keys.push_back({ Wnd, Id, Modifiers, VirtualKey });
    return true;
}

bool UnregisterHotKey(HWND Wnd, Integer Id)
{
    THotKey Gone;
    {
        std::lock_guard Guard(HotKeys().Lock);
        auto& Keys = HotKeys().Keys;
        auto It = std::find_if(Keys.begin(), Keys.end(), [&](const THotKey& K) { return K.Wnd == Wnd && K.Id == Id; });
        if (It == Keys.end())
            return false;
        Gone = *It;
        Keys.erase(It);
    }
    Presenter().ReleaseHotKey(Gone.Modifiers, Gone.VirtualKey);
    return true;
}
