// Input: what the pointer and the keyboard do, routed to windows as
// messages; focus, activation, capture, key states and hot keys.
//
// A presenter (or a test) hands raw input records to the input router with
// PostInput; the thread's message loop turns each into a message when it
// takes it, so routing sees the capture and focus that the messages before
// it left behind:
//
//     PostInput(TInputEvent::ButtonEvent({ 40, 30 }, mbiLeft, true));
//     PostInput(TInputEvent::ButtonEvent({ 40, 30 }, mbiLeft, false));
//     Application->ProcessMessages();          // WM_LBUTTONDOWN, WM_LBUTTONUP
//
// The pointer: WM_NCHITTEST is sent to the topmost window under the point
// (children before their parents; HTTRANSPARENT and disabled children let
// the point through to what lies below), then WM_SETCURSOR, and the client
// message (client coordinates) or the WM_NC* message (screen coordinates,
// wParam the hit code). A button pressed on a window of an inactive
// top-level window first sends WM_MOUSEACTIVATE. A second press within the
// double-click time and distance, on a window whose class has CS_DBLCLKS,
// becomes WM_xBUTTONDBLCLK. With a capture, every pointer message goes to
// the capturing window in its client coordinates.
// Keys: registered hot keys are matched first and become WM_HOTKEY; every
// other key goes to the focus (or, with none, to the active window as
// WM_SYSKEY*). TranslateMessage makes the WM_CHAR of a key down. Text that
// comes without a key of its own (an input method's composed characters)
// goes to the same window as WM_CHAR (WM_SYSCHAR), a UTF-16 unit each.
#pragma once
#include "win/Messages.h"

enum TMouseButtonIndex { mbiLeft = 0, mbiRight = 1, mbiMiddle = 2 };

// One raw input record.
struct TInputEvent {
    enum TKind {
        MouseMove, // Point: where the pointer is (screen)
        MouseButton, // Point, Button, Down
        Wheel, // Point, Delta (WHEEL_DELTA a notch, positive away from the user)
        PointerLeft, // the pointer left every window of the program
        Key, // VirtualKey, Down, Character (the text it types; 0 none)
        Characters, // Text: typed without a key of its own
        Activate, // Window became the active window on the screen
        Deactivate, // another program's window became active
        Close, // the screen asks Window to close (SC_CLOSE)
        Placed, // the screen moved or sized Window to Bounds (WM_SIZING first)
        Minimized, // Window was minimised (Down) or restored (not Down) by the screen
        Maximized, // Window was maximised (Down) or restored (not Down) by the screen
        Exposed, // Bounds of Window (window coordinates) must be shown again
    };
    TKind Kind = MouseMove;
    POINT Point;
    Integer Button = mbiLeft;
    bool Down = false;
    Integer Delta = 0;
    UINT VirtualKey = 0;
    char32_t Character = 0;
    // Keys: the modifiers held (MOD_*) as the screen saw them; -1 takes
    // them from the keys routed before (a hot key pressed while another
    // program had the keyboard brings its own).
    Integer Modifiers = -1;
    HWND Window = nullptr;
    RECT Bounds;
    String Text;

    static TInputEvent Move(POINT P)
    {
        TInputEvent E;
        E.Kind = MouseMove;
        E.Point = P;
        return E;
    }
    static TInputEvent ButtonEvent(POINT P, Integer Button, bool Down)
    {
        TInputEvent E;
        E.Kind = MouseButton;
        E.Point = P;
        E.Button = Button;
        E.Down = Down;
        return E;
    }
    static TInputEvent WheelEvent(POINT P, Integer Delta)
    {
        TInputEvent E;
        E.Kind = Wheel;
        E.Point = P;
        E.Delta = Delta;
        return E;
    }
    static TInputEvent KeyEvent(UINT VirtualKey, bool Down, char32_t Character = 0)
    {
        TInputEvent E;
        E.Kind = Key;
        E.VirtualKey = VirtualKey;
        E.Down = Down;
        E.Character = Character;
        return E;
    }
    static TInputEvent TextEvent(String Text)
    {
        TInputEvent E;
        E.Kind = Characters;
        E.Text = std::move(Text);
        return E;
    }
    static TInputEvent WindowEvent(TKind Kind, HWND Wnd)
    {
        TInputEvent E;
        E.Kind = Kind;
        E.Window = Wnd;
        return E;
    }
};

// Queues Event for the calling thread's message loop.
void PostInput(const TInputEvent& Event);

// Virtual keys.
constexpr UINT VK_LBUTTON = 0x01;
constexpr UINT VK_RBUTTON = 0x02;
constexpr UINT VK_MBUTTON = 0x04;
constexpr UINT VK_BACK = 0x08;
constexpr UINT VK_TAB = 0x09;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_SHIFT = 0x10;
constexpr UINT VK_CONTROL = 0x11;
constexpr UINT VK_MENU = 0x12;
constexpr UINT VK_PAUSE = 0x13;
constexpr UINT VK_CAPITAL = 0x14;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_SPACE = 0x20;
constexpr UINT VK_PRIOR = 0x21;
constexpr UINT VK_NEXT = 0x22;
constexpr UINT VK_END = 0x23;
constexpr UINT VK_HOME = 0x24;
constexpr UINT VK_LEFT = 0x25;
constexpr UINT VK_UP = 0x26;
constexpr UINT VK_RIGHT = 0x27;
constexpr UINT VK_DOWN = 0x28;
constexpr UINT VK_INSERT = 0x2D;
constexpr UINT VK_DELETE = 0x2E;
constexpr UINT VK_LWIN = 0x5B;
constexpr UINT VK_RWIN = 0x5C;
constexpr UINT VK_APPS = 0x5D;
constexpr UINT VK_NUMPAD0 = 0x60;
constexpr UINT VK_MULTIPLY = 0x6A;
constexpr UINT VK_ADD = 0x6B;
constexpr UINT VK_SUBTRACT = 0x6D;
constexpr UINT VK_DECIMAL = 0x6E;
constexpr UINT VK_DIVIDE = 0x6F;
constexpr UINT VK_F1 = 0x70;
constexpr UINT VK_F4 = 0x73;
constexpr UINT VK_F12 = 0x7B;
constexpr UINT VK_F24 = 0x87;
constexpr UINT VK_NUMLOCK = 0x90;
constexpr UINT VK_SCROLL = 0x91;

// Modifiers of hot keys.
constexpr UINT MOD_ALT = 0x0001;
constexpr UINT MOD_CONTROL = 0x0002;
constexpr UINT MOD_SHIFT = 0x0004;
constexpr UINT MOD_WIN = 0x0008;
constexpr UINT MOD_NOREPEAT = 0x4000;

// Focus: the window of this thread that takes the keys. SetFocus answers
// the window that had it; it activates the window's top-level window
// first. Null (or a window that is disabled, hidden or another thread's)
// gives focus to nobody / fails with null.
HWND SetFocus(HWND Wnd);
HWND GetFocus();
// The active top-level window of this thread: WM_NCACTIVATE and
// WM_ACTIVATE (WA_INACTIVE) to the one before, WM_ACTIVATEAPP when the
// program becomes active or inactive, WM_NCACTIVATE and WM_ACTIVATE to the
// new one. Answers the one before.
HWND SetActiveWindow(HWND Wnd);
HWND GetActiveWindow();

// Pointer capture of this thread; WM_CAPTURECHANGED tells the window that
// loses it.
HWND SetCapture(HWND Wnd);
bool ReleaseCapture();
HWND GetCapture();

// WM_MOUSELEAVE is posted to the window once the pointer leaves it.
constexpr DWORD TME_LEAVE = 0x00000002;
constexpr DWORD TME_CANCEL = 0x80000000;
struct TRACKMOUSEEVENT {
    DWORD dwFlags = 0;
    HWND hwndTrack = nullptr;
};
bool TrackMouseEvent(TRACKMOUSEEVENT* Track);

// The key's state as the routed messages left it: the top bit (negative)
// while down.
std::int16_t GetKeyState(Integer VirtualKey);
std::int16_t GetAsyncKeyState(Integer VirtualKey);
// Where the pointer was last seen (screen).
bool GetCursorPos(POINT* Point);

// Double clicks: a second press within this many milliseconds and within
// SM_CXDOUBLECLK x SM_CYDOUBLECLK of the first.
UINT GetDoubleClickTime();
bool SetDoubleClickTime(UINT Milliseconds);

// Hot keys of the whole desktop: WM_HOTKEY (wParam Id, lParam
// MAKELPARAM(Modifiers, VirtualKey)) is posted to Wnd when the key is
// pressed anywhere. False when the key is taken (by this program or, as
// the presenter says, another one) or Wnd is dead.
bool RegisterHotKey(HWND Wnd, Integer Id, UINT Modifiers, UINT VirtualKey);
bool UnregisterHotKey(HWND Wnd, Integer Id);
