#include "win/X11Presenter.h"
#include "win/Input.h"
#include "win/X11Clipboard.h"
#include <algorithm>
#include <atomic>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <mutex>
#include <thread>
#include <vector>
// Xlib last: its macros (None, Bool, Status...) must not reach our headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>

namespace {

// Xlib's default error handler ends the process. Ours counts the errors
// and goes on; a call that must know (a hot key) syncs and looks.
std::atomic<int> XErrors { 0 };

int CountError(Display*, XErrorEvent*)
{
    ++XErrors;
    return 0;
}

struct TErrorTrap {
    Display* Dpy;
    explicit TErrorTrap(Display* D)
        : Dpy(D)
    {
        XSync(Dpy, False);
        XErrors = 0;
    }
    bool Failed()
    {
        XSync(Dpy, False);
        return XErrors.load() != 0;
    }
};

struct TKeyName {
    UINT Vk;
    KeySym Sym;
};

// Keys whose symbol is not the character itself.
constexpr TKeyName KeyNames[] = {
    { VK_BACK, XK_BackSpace },
    { VK_TAB, XK_Tab },
    { VK_TAB, XK_ISO_Left_Tab },
    { VK_RETURN, XK_Return },
    { VK_RETURN, XK_KP_Enter },
    { VK_PAUSE, XK_Pause },
    { VK_CAPITAL, XK_Caps_Lock },
    { VK_ESCAPE, XK_Escape },
    { VK_SPACE, XK_space },
    { VK_PRIOR, XK_Prior },
    { VK_NEXT, XK_Next },
    { VK_END, XK_End },
    { VK_HOME, XK_Home },
    { VK_LEFT, XK_Left },
    { VK_UP, XK_Up },
    { VK_RIGHT, XK_Right },
    { VK_DOWN, XK_Down },
    { VK_INSERT, XK_Insert },
    { VK_DELETE, XK_Delete },
    { VK_SHIFT, XK_Shift_L },
    { VK_SHIFT, XK_Shift_R },
    { VK_CONTROL, XK_Control_L },
    { VK_CONTROL, XK_Control_R },
    { VK_MENU, XK_Alt_L },
    { VK_MENU, XK_Alt_R },
    { VK_MENU, XK_Meta_L },
    { VK_LWIN, XK_Super_L },
    { VK_RWIN, XK_Super_R },
    { VK_APPS, XK_Menu },
    { VK_MULTIPLY, XK_KP_Multiply },
    { VK_ADD, XK_KP_Add },
    { VK_SUBTRACT, XK_KP_Subtract },
    { VK_DECIMAL, XK_KP_Decimal },
    { VK_DIVIDE, XK_KP_Divide },
    { VK_NUMLOCK, XK_Num_Lock },
    { VK_SCROLL, XK_Scroll_Lock },
    { 0xBA, XK_semicolon },
    { 0xBB, XK_equal },
    { 0xBC, XK_comma },
    { 0xBD, XK_minus },
    { 0xBE, XK_period },
    { 0xBF, XK_slash },
    { 0xC0, XK_grave },
    { 0xDB, XK_bracketleft },
    { 0xDC, XK_backslash },
    { 0xDD, XK_bracketright },
    { 0xDE, XK_apostrophe },
};

UINT ModifiersFromState(unsigned State)
{
    UINT Mods = 0;
    if (State & ShiftMask)
        Mods |= MOD_SHIFT;
    if (State & ControlMask)
        Mods |= MOD_CONTROL;
    if (State & Mod1Mask)
        Mods |= MOD_ALT;
    if (State & Mod4Mask)
        Mods |= MOD_WIN;
    return Mods;
}

unsigned StateFromModifiers(UINT Mods)
{
    unsigned State = 0;
    if (Mods & MOD_SHIFT)
        State |= ShiftMask;
    if (Mods & MOD_CONTROL)
        State |= ControlMask;
    if (Mods & MOD_ALT)
        State |= Mod1Mask;
    if (Mods & MOD_WIN)
        State |= Mod4Mask;
    return State;
}

// Caps Lock and Num Lock must not stop a hot key: it is grabbed with each.
constexpr unsigned LockVariants[] = { 0, LockMask, Mod2Mask, LockMask | Mod2Mask };

// What a surface asks of the server; an input context adds its own.
constexpr long SurfaceEvents = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
    KeyReleaseMask | FocusChangeMask | StructureNotifyMask | EnterWindowMask | LeaveWindowMask | PropertyChangeMask;

bool Utf8Locale()
{
    const char* Set = nl_langinfo(CODESET);
    return Set && (std::strcmp(Set, "UTF-8") == 0 || std::strcmp(Set, "utf8") == 0);
}

// The display's input method (XMODIFIERS chooses it; without one, Xlib's
// own with the compose tables). Its locale is fixed when it opens: a UTF-8
// one, the user's when it is, so that dead keys and compose sequences know
// every character. The program's own locale is left as it was.
XIM OpenInputMethod(Display* Dpy)
{
    const char* Current = std::setlocale(LC_CTYPE, nullptr);
    const std::string Saved = Current ? Current : "C";
    if (!std::setlocale(LC_CTYPE, "") || !Utf8Locale())
        std::setlocale(LC_CTYPE, "C.UTF-8");
    XIM Im = nullptr;
    if (Utf8Locale() && XSupportsLocale()) {
        if (XSetLocaleModifiers(""))
            Im = XOpenIM(Dpy, nullptr, nullptr, nullptr);
        // The method XMODIFIERS names is not running: Xlib's own.
        if (!Im && XSetLocaleModifiers("@im=none"))
            Im = XOpenIM(Dpy, nullptr, nullptr, nullptr);
    }
    std::setlocale(LC_CTYPE, Saved.c_str());
    return Im;
}

// The input style for contexts of our windows: the method shows nothing
// of its own in them (composing happens out of sight or in its window).
XIMStyle ChooseInputStyle(XIM Im)
{
    XIMStyles* Styles = nullptr;
    if (XGetIMValues(Im, XNQueryInputStyle, &Styles, nullptr) || !Styles)
        return 0;
    XIMStyle Chosen = 0;
    for (const XIMStyle Wanted :
        { XIMStyle(XIMPreeditNothing | XIMStatusNothing), XIMStyle(XIMPreeditNone | XIMStatusNone) })
        for (unsigned short I = 0; I < Styles->count_styles && !Chosen; ++I)
            if (Styles->supported_styles[I] == Wanted)
                Chosen = Wanted;
    XFree(Styles);
    return Chosen;
}

// The text a key press types and its key symbol. Through the input
// context when there is one; else Xlib's plain lookup (Latin-1, or the
// character a Unicode key symbol names).
String TypedText(XKeyEvent& Key, XIC Ic, KeySym& Sym)
{
    Sym = 0;
    if (Ic) {
        std::string Text(64, '\0');
        Status Got = 0;
        int Length = Xutf8LookupString(Ic, &Key, Text.data(), int(Text.size()), &Sym, &Got);
        // An input method's commit is a few characters; one that claims
        // more than a page of text is dropped.
        if (Got == XBufferOverflow && Length > 0 && Length <= 65536) {
            Text.resize(size_t(Length));
            Length = Xutf8LookupString(Ic, &Key, Text.data(), int(Text.size()), &Sym, &Got);
        }
        if (Got != XLookupKeySym && Got != XLookupBoth)
            Sym = 0;
        if (Got != XLookupChars && Got != XLookupBoth)
            return {};
        Text.resize(size_t(std::clamp(Length, 0, int(Text.size()))));
        return UTF8ToString(Text);
    }
    char Latin[16] = {};
    const int Length = XLookupString(&Key, Latin, sizeof Latin, &Sym, nullptr);
    if (Sym >= 0x1000100 && Sym <= 0x110FFFF) {
        const char32_t C = char32_t(Sym - 0x1000000);
        if (C < 0x10000)
            return String(1, Char(C));
        return { Char(0xD800 + ((C - 0x10000) >> 10)), Char(0xDC00 + ((C - 0x10000) & 0x3FF)) };
    }
    String Text;
    for (int I = 0; I < std::clamp(Length, 0, int(sizeof Latin)); ++I)
        Text += Char(static_cast<unsigned char>(Latin[I]));
    return Text;
}

// One character of a text, 0 when it holds none or more than one.
char32_t SingleCharacter(const String& Text)
{
    if (Text.size() == 1 && (Text[0] < 0xD800 || Text[0] > 0xDFFF))
        return Text[0];
    if (Text.size() == 2 && Text[0] >= 0xD800 && Text[0] < 0xDC00 && Text[1] >= 0xDC00 && Text[1] <= 0xDFFF)
        return 0x10000 + ((char32_t(Text[0]) - 0xD800) << 10) + (char32_t(Text[1]) - 0xDC00);
    return 0;
}

long MoveResizeDirection(LRESULT Hit)
{
    switch (Hit) {
    case HTTOPLEFT: return 0;
    case HTTOP: return 1;
    case HTTOPRIGHT: return 2;
    case HTRIGHT: return 3;
    case HTBOTTOMRIGHT:
    case HTSIZE: return 4;
    case HTBOTTOM: return 5;
    case HTBOTTOMLEFT: return 6;
    case HTLEFT: return 7;
    default: return 8; // move
    }
}

}

UINT VirtualKeyFromKeySym(unsigned long Sym)
{
    if (Sym >= XK_a && Sym <= XK_z)
        return UINT('A' + (Sym - XK_a));
    if (Sym >= XK_A && Sym <= XK_Z)
        return UINT(Sym);
    if (Sym >= XK_0 && Sym <= XK_9)
        return UINT(Sym);
    if (Sym >= XK_F1 && Sym <= XK_F24)
        return UINT(VK_F1 + (Sym - XK_F1));
    if (Sym >= XK_KP_0 && Sym <= XK_KP_9)
        return UINT(VK_NUMPAD0 + (Sym - XK_KP_0));
    for (const TKeyName& K : KeyNames)
        if (K.Sym == Sym)
            return K.Vk;
    return 0;
}

unsigned long KeySymFromVirtualKey(UINT Vk)
{
    if ((Vk >= 'A' && Vk <= 'Z'))
        return XK_a + (Vk - 'A');
    if (Vk >= '0' && Vk <= '9')
        return Vk;
    if (Vk >= VK_F1 && Vk <= VK_F24)
        return XK_F1 + (Vk - VK_F1);
    if (Vk >= VK_NUMPAD0 && Vk <= VK_NUMPAD0 + 9)
        return XK_KP_0 + (Vk - VK_NUMPAD0);
    for (const TKeyName& K : KeyNames)
        if (K.Vk == Vk)
            return K.Sym;
    return 0;
}

struct TX11Presenter::TState {
    Display* Dpy = nullptr;
    int ScreenNo = 0;
    Window Root = 0;
    Visual* Vis = nullptr;
    int Depth = 0;
    GC Gc = nullptr;
    bool DirectPixels = false; // the visual holds our BGRA words as they are
    std::recursive_mutex Lock;
    std::thread::id Owner; // the thread whose loop reads the connection
    std::string DisplayName;
    XIM Im = nullptr;
    XIMStyle InputStyle = 0;

    struct TSurface {
        Window Win = 0;
        RECT Bounds;
        bool Mapped = false; // we asked for it to show
        bool Iconic = false;
        int PendingMaps = 0; // maps we asked for whose MapNotify has not come
        XIC Ic = nullptr;
        bool Spot = false; // an input-only spot on the desktop
        DWORD ExStyle = 0;
        bool Owned = false; // transient for another surface
        Byte Opacity = 255;
        bool HeldBack = false; // shown as asked, but left unmapped (a shade)
        bool Zoomed = false; // maximised, as asked or as the window manager says
    };
    std::map<HWND, TSurface> Surfaces;
    std::map<Window, HWND> Handles;
    Integer ShownCursor = 68;
    std::map<Integer, Cursor> Cursors;
    Pixmap Desktop = 0;
    std::unique_ptr<TX11Clipboard> Clip;

    struct TMoveSize {
        HWND Wnd = nullptr;
        LRESULT Hit = 0;
        POINT Start;
        RECT Bounds;
    } Moving;

    Atom WmProtocols = 0, WmDeleteWindow = 0, NetWmName = 0, Utf8String = 0, NetWmWindowType = 0, TypeNormal = 0,
         TypeDialog = 0, TypeUtility = 0, TypePopup = 0, NetSupported = 0, NetMoveResize = 0, NetActiveWindow = 0,
         RootPixmap = 0, SetRootPixmap = 0, MotifHints = 0, NetWmState = 0, MaxVert = 0, MaxHorz = 0,
         TypeDesktop = 0, NetClientList = 0;
    Atom TypeTooltip = 0;
    Atom StateAbove = 0, StateSkipTaskbar = 0, CompositorSelection = 0, WmState = 0;
    bool HasShape = false;

    // A compositing manager owns the screen's _NET_WM_CM_S<n> selection.
    bool Compositing() { return XGetSelectionOwner(Dpy, CompositorSelection) != 0; }

    // The window manager states the extended styles ask for.
    std::vector<Atom> StatesOf(const TSurface& S)
    {
        std::vector<Atom> States;
        if (StaysOnTop(S.ExStyle))
            States.push_back(StateAbove);
        if (SkipsTaskBar(S.ExStyle, S.Owned))
            States.push_back(StateSkipTaskbar);
        if (S.Zoomed) {
            States.push_back(MaxVert);
            States.push_back(MaxHorz);
        }
        return States;
    }
    // Before the window is mapped the property is the request; a mapped
    // window asks the window manager, one state at a time.
    void PublishStates(const TSurface& S, const std::vector<Atom>& Before)
    {
        const std::vector<Atom> Now = StatesOf(S);
        if (!S.Mapped || S.HeldBack) {
            XChangeProperty(Dpy, S.Win, NetWmState, XA_ATOM, 32, PropModeReplace,
                reinterpret_cast<const unsigned char*>(Now.data()), int(Now.size()));
            return;
        }
        auto AskState = [&](Atom State, bool Add) {
            XEvent E {};
            E.xclient.type = ClientMessage;
            E.xclient.window = S.Win;
            E.xclient.message_type = NetWmState;
            E.xclient.format = 32;
            E.xclient.data.l[0] = Add ? 1 : 0;
            E.xclient.data.l[1] = long(State);
            E.xclient.data.l[3] = 1; // from a normal program
            XSendEvent(Dpy, Root, False, SubstructureRedirectMask | SubstructureNotifyMask, &E);
        };
        auto Has = [](const std::vector<Atom>& List, Atom A) { return std::find(List.begin(), List.end(), A) != List.end(); };
        for (Atom A : Now)
            if (!Has(Before, A))
                AskState(A, true);
        for (Atom A : Before)
            if (!Has(Now, A))
                AskState(A, false);
    }
    // A 32-bit property of another program's making: at most Max values,
    // none when its type or format is not the one asked for.
    std::vector<long> ReadLongs(Window Win, Atom Property, Atom Wanted, long Max)
    {
        Atom Type = 0;
        int Format = 0;
        unsigned long Count = 0, After = 0;
        unsigned char* Data = nullptr;
        std::vector<long> Values;
        if (XGetWindowProperty(Dpy, Win, Property, 0, Max, False, Wanted, &Type, &Format, &Count, &After, &Data) !=
                Success ||
            !Data)
            return Values;
        if (Type == Wanted && Format == 32)
            Values.assign(reinterpret_cast<const long*>(Data), reinterpret_cast<const long*>(Data) + Count);
        XFree(Data);
        return Values;
    }
    // The maximised state the window manager keeps in _NET_WM_STATE.
    bool ReadZoomed(Window Win)
    {
        const std::vector<long> States = ReadLongs(Win, NetWmState, XA_ATOM, 64);
        auto Has = [&](Atom A) { return std::find(States.begin(), States.end(), long(A)) != States.end(); };
        return Has(MaxVert) && Has(MaxHorz);
    }
    // The window manager made a shown window iconic.
    void NoteIconic(TSurface& S, HWND Wnd)
    {
        if (!S.Mapped || S.Iconic || S.HeldBack)
            return;
        const std::vector<long> State = ReadLongs(S.Win, WmState, WmState, 2);
        if (State.empty() || State[0] != IconicState)
            return;
        S.Iconic = true;
        TInputEvent Ev = TInputEvent::WindowEvent(TInputEvent::Minimized, Wnd);
        Ev.Down = true;
        PostInput(Ev);
    }
    // A shown window that became or stopped being a shade.
    void Reconsider(TSurface& S)
    {
        if (!S.Mapped || S.Iconic || S.Spot)
            return;
        if (S.HeldBack) {
            MapShown(S, false);
        } else if (IsShade(S.ExStyle, S.Opacity) && !Compositing()) {
            S.HeldBack = true;
            XUnmapWindow(Dpy, S.Win);
        }
    }
    // Maps a surface that is to show, unless it is a shade without a
    // compositing manager to blend it: it would cover the desktop with an
    // opaque block.
    void MapShown(TSurface& S, bool Raise)
    {
        S.HeldBack = IsShade(S.ExStyle, S.Opacity) && !Compositing();
        if (S.HeldBack)
            return;
        ++S.PendingMaps;
        if (Raise)
            XMapRaised(Dpy, S.Win);
        else
            XMapWindow(Dpy, S.Win);
    }

    // The window manager's desktop window (_NET_WM_WINDOW_TYPE_DESKTOP
    // among its clients), or 0.
    Window DesktopWindow()
    {
        Atom Type = 0;
        int Format = 0;
        unsigned long Count = 0, After = 0;
        unsigned char* Data = nullptr;
        // At most 4096 clients are looked at; the list comes from another
        // program.
        if (XGetWindowProperty(Dpy, Root, NetClientList, 0, 4096, False, XA_WINDOW, &Type, &Format, &Count, &After,
                &Data) != Success ||
            !Data)
            return 0;
        Window Found = 0;
        if (Type == XA_WINDOW && Format == 32) {
            const Window* Clients = reinterpret_cast<const Window*>(Data);
            for (unsigned long I = 0; I < Count && !Found; ++I)
                if (HasWindowType(Clients[I], TypeDesktop))
                    Found = Clients[I];
        }
        XFree(Data);
        return Found;
    }
    bool HasWindowType(Window Win, Atom Wanted)
    {
        Atom Type = 0;
        int Format = 0;
        unsigned long Count = 0, After = 0;
        unsigned char* Data = nullptr;
        TErrorTrap Trap(Dpy); // the client may be gone already
        if (XGetWindowProperty(Dpy, Win, NetWmWindowType, 0, 16, False, XA_ATOM, &Type, &Format, &Count, &After,
                &Data) != Success ||
            !Data)
            return false;
        bool Has = false;
        if (Type == XA_ATOM && Format == 32)
            for (unsigned long I = 0; I < Count; ++I)
                Has = Has || reinterpret_cast<const Atom*>(Data)[I] == Wanted;
        XFree(Data);
        return Has;
    }
    // The root's child that holds Win: a window manager restacks the frame
    // it put a client in, not the client. 0 when Win is gone.
    Window FrameOf(Window Win)
    {
        TErrorTrap Trap(Dpy); // the client may be gone already
        // A frame nests a client a few levels deep at most.
        for (int Depth = 0; Win && Depth < 16; ++Depth) {
            Window RootOfTree = 0, Parent = 0;
            Window* Children = nullptr;
            unsigned Count = 0;
            if (!XQueryTree(Dpy, Win, &RootOfTree, &Parent, &Children, &Count))
                return 0;
            if (Children)
                XFree(Children);
            if (Parent == Root)
                return Win;
            Win = Parent;
        }
        return 0;
    }
    // A spot goes just above the desktop window, else to the bottom of the
    // stack: ordinary windows cover it.
    void Sink(Window Win)
    {
        if (const Window Desktop = FrameOf(DesktopWindow())) {
            TErrorTrap Trap(Dpy);
            XWindowChanges C {};
            C.sibling = Desktop;
            C.stack_mode = Above;
            XConfigureWindow(Dpy, Win, CWSibling | CWStackMode, &C);
            if (!Trap.Failed())
                return;
        }
        XLowerWindow(Dpy, Win);
    }

    Atom Intern(const char* Name) { return XInternAtom(Dpy, Name, False); }

    TSurface* Find(HWND Wnd)
    {
        auto It = Surfaces.find(Wnd);
        return It == Surfaces.end() ? nullptr : &It->second;
    }

    HWND HandleOf(Window Win)
    {
        auto It = Handles.find(Win);
        return It == Handles.end() ? nullptr : It->second;
    }

    Cursor CursorFor(Integer Shape)
    {
        auto It = Cursors.find(Shape);
        if (It != Cursors.end())
            return It->second;
        Cursor C = XCreateFontCursor(Dpy, unsigned(Shape));
        Cursors[Shape] = C;
        return C;
    }

    bool Supports(Atom What)
    {
        Atom Type;
        int Format;
        unsigned long Count = 0, After = 0;
        unsigned char* Data = nullptr;
        bool Found = false;
        if (XGetWindowProperty(Dpy, Root, NetSupported, 0, 4096, False, XA_ATOM, &Type, &Format, &Count, &After,
                &Data) == Success &&
            Data && Format == 32) {
            const auto* Atoms = reinterpret_cast<const Atom*>(Data);
            Found = std::find(Atoms, Atoms + Count, What) != Atoms + Count;
        }
        if (Data)
            XFree(Data);
        return Found;
    }

    // Puts a part of a picture on a drawable, converting when the visual
    // is not 32-bit BGRA.
    void PutPicture(Drawable Target, const TPixelBuffer& Picture, const RECT& R)
    {
        const int W = R.right - R.left, H = R.bottom - R.top;
        if (W <= 0 || H <= 0)
            return;
        if (DirectPixels) {
            XImage* Img = XCreateImage(Dpy, Vis, unsigned(Depth), ZPixmap, 0,
                reinterpret_cast<char*>(const_cast<Byte*>(Picture.ScanLine(0))), unsigned(Picture.Width()),
                unsigned(Picture.Height()), 32, Picture.Width() * 4);
            if (!Img)
                return;
            Img->byte_order = LSBFirst;
            XPutImage(Dpy, Target, Gc, Img, R.left, R.top, R.left, R.top, unsigned(W), unsigned(H));
            Img->data = nullptr; // the pixels stay the picture's
            XDestroyImage(Img);
            return;
        }
        XImage* Img = XCreateImage(Dpy, Vis, unsigned(Depth), ZPixmap, 0, nullptr, unsigned(W), unsigned(H), 32, 0);
        if (!Img)
            return;
        Img->data = static_cast<char*>(std::malloc(size_t(Img->bytes_per_line) * H));
        if (!Img->data) {
            XDestroyImage(Img);
            return;
        }
        auto Scale = [](unsigned long Mask, Cardinal Value) -> unsigned long {
            if (!Mask)
                return 0;
            int Shift = 0;
            while (!((Mask >> Shift) & 1))
                ++Shift;
            const unsigned long Max = Mask >> Shift;
            return ((Value * Max + 127) / 255) << Shift;
        };
        for (int Y = 0; Y < H; ++Y) {
            const auto* Row = reinterpret_cast<const Cardinal*>(Picture.ScanLine(R.top + Y)) + R.left;
            for (int X = 0; X < W; ++X) {
                const Cardinal P = Row[X];
                XPutPixel(Img, X, Y,
                    Scale(Vis->red_mask, (P >> 16) & 0xFF) | Scale(Vis->green_mask, (P >> 8) & 0xFF) |
                        Scale(Vis->blue_mask, P & 0xFF));
            }
        }
        XPutImage(Dpy, Target, Gc, Img, 0, 0, R.left, R.top, unsigned(W), unsigned(H));
        XDestroyImage(Img);
    }

    void Translate(XEvent& E);
    void TranslateKey(XKeyEvent& Key, HWND Wnd);
    static void InputMethodEnded(XIM, XPointer Client, XPointer)
    {
        auto* State = reinterpret_cast<TState*>(Client);
        State->Im = nullptr;
        for (auto& [Wnd, S] : State->Surfaces)
            S.Ic = nullptr;
    }
    void MoveSizeStep(int RootX, int RootY);

    // An input context for a surface's window, and the events it needs.
    XIC MakeInputContext(Window Win)
    {
        if (!Im || !InputStyle)
            return nullptr;
        XIC Ic = XCreateIC(Im, XNInputStyle, InputStyle, XNClientWindow, Win, XNFocusWindow, Win, nullptr);
        long Wanted = 0;
        if (Ic && !XGetICValues(Ic, XNFilterEvents, &Wanted, nullptr) && (Wanted & ~SurfaceEvents))
            XSelectInput(Dpy, Win, SurfaceEvents | Wanted);
        return Ic;
    }
};

TX11Presenter::TX11Presenter(const std::string& DisplayName)
    : F(std::make_unique<TState>())
{
    // Several threads may ask the presenter (monitors, most of all).
    static const bool Threads = XInitThreads() != 0;
    (void)Threads;
    XSetErrorHandler(&CountError);
    F->Dpy = XOpenDisplay(DisplayName.empty() ? nullptr : DisplayName.c_str());
    if (!F->Dpy)
        return;
    F->Owner = std::this_thread::get_id();
    F->DisplayName = DisplayString(F->Dpy);
    F->Im = OpenInputMethod(F->Dpy);
    if (F->Im) {
        F->InputStyle = ChooseInputStyle(F->Im);
        // An input method server that ends takes its contexts with it: keys
        // are looked up without one from then on.
        XIMCallback Destroyed { reinterpret_cast<XPointer>(F.get()), &TState::InputMethodEnded };
        XSetIMValues(F->Im, XNDestroyCallback, &Destroyed, nullptr);
    }
    F->ScreenNo = DefaultScreen(F->Dpy);
    F->Root = RootWindow(F->Dpy, F->ScreenNo);
    F->Vis = DefaultVisual(F->Dpy, F->ScreenNo);
    F->Depth = DefaultDepth(F->Dpy, F->ScreenNo);
    F->Gc = XCreateGC(F->Dpy, F->Root, 0, nullptr);
    F->Clip = std::make_unique<TX11Clipboard>(F->Dpy);
    F->DirectPixels = (F->Depth == 24 || F->Depth == 32) && F->Vis->red_mask == 0xFF0000 &&
        F->Vis->green_mask == 0xFF00 && F->Vis->blue_mask == 0xFF;
    F->WmProtocols = F->Intern("WM_PROTOCOLS");
    F->WmDeleteWindow = F->Intern("WM_DELETE_WINDOW");
    F->NetWmName = F->Intern("_NET_WM_NAME");
    F->Utf8String = F->Intern("UTF8_STRING");
    F->NetWmWindowType = F->Intern("_NET_WM_WINDOW_TYPE");
    F->TypeNormal = F->Intern("_NET_WM_WINDOW_TYPE_NORMAL");
    F->TypeDesktop = F->Intern("_NET_WM_WINDOW_TYPE_DESKTOP");
    F->NetClientList = F->Intern("_NET_CLIENT_LIST");
    F->TypeDialog = F->Intern("_NET_WM_WINDOW_TYPE_DIALOG");
    F->TypeUtility = F->Intern("_NET_WM_WINDOW_TYPE_UTILITY");
    F->TypePopup = F->Intern("_NET_WM_WINDOW_TYPE_POPUP_MENU");
    F->TypeTooltip = F->Intern("_NET_WM_WINDOW_TYPE_TOOLTIP");
    F->NetSupported = F->Intern("_NET_SUPPORTED");
    F->NetMoveResize = F->Intern("_NET_WM_MOVERESIZE");
    F->NetActiveWindow = F->Intern("_NET_ACTIVE_WINDOW");
    F->RootPixmap = F->Intern("_XROOTPMAP_ID");
    F->SetRootPixmap = F->Intern("ESETROOT_PMAP_ID");
    F->MotifHints = F->Intern("_MOTIF_WM_HINTS");
    F->NetWmState = F->Intern("_NET_WM_STATE");
    F->MaxVert = F->Intern("_NET_WM_STATE_MAXIMIZED_VERT");
    F->MaxHorz = F->Intern("_NET_WM_STATE_MAXIMIZED_HORZ");
    F->StateAbove = F->Intern("_NET_WM_STATE_ABOVE");
    F->WmState = F->Intern("WM_STATE");
    F->StateSkipTaskbar = F->Intern("_NET_WM_STATE_SKIP_TASKBAR");
    F->CompositorSelection = F->Intern(("_NET_WM_CM_S" + std::to_string(F->ScreenNo)).c_str());
    int ShapeEvent = 0, ShapeError = 0;
    F->HasShape = XShapeQueryExtension(F->Dpy, &ShapeEvent, &ShapeError) != 0;
    // Hot keys arrive as key presses on the root window.
    XSelectInput(F->Dpy, F->Root, KeyPressMask | KeyReleaseMask);
    XFlush(F->Dpy);
}

TX11Presenter::~TX11Presenter()
{
    if (!F->Dpy)
        return;
    F->Clip.reset();
    for (auto& [Wnd, S] : F->Surfaces) {
        if (S.Ic)
            XDestroyIC(S.Ic);
        XDestroyWindow(F->Dpy, S.Win);
    }
    if (F->Im)
        XCloseIM(F->Im);
    for (auto& [Shape, C] : F->Cursors)
        XFreeCursor(F->Dpy, C);
    if (F->Gc)
        XFreeGC(F->Dpy, F->Gc);
    XCloseDisplay(F->Dpy);
}

bool TX11Presenter::Ok() const
{
    return F->Dpy != nullptr;
}

unsigned long TX11Presenter::XWindowOf(HWND Wnd) const
{
    std::lock_guard Guard(F->Lock);
    auto* S = F->Find(Wnd);
    return S ? S->Win : 0;
}

bool TX11Presenter::CompositorRunning()
{
    std::lock_guard Guard(F->Lock);
    return F->Dpy && F->Compositing();
}

void TX11Presenter::Sync()
{
    std::lock_guard Guard(F->Lock);
    if (F->Dpy)
        XSync(F->Dpy, False);
}

namespace {

// The monitors as a connection's server tells them.
std::vector<TMonitorDesc> QueryMonitors(Display* Dpy)
{
    std::vector<TMonitorDesc> Result;
    const int ScreenNo = DefaultScreen(Dpy);
    const Window Root = RootWindow(Dpy, ScreenNo);
    // Pixels per inch as the desktop sets them for fonts (Xft.dpi).
    UINT Dpi = 96;
    if (const char* Resources = XResourceManagerString(Dpy)) {
        if (const char* At = std::strstr(Resources, "Xft.dpi:")) {
            const long Value = std::strtol(At + 8, nullptr, 10);
            if (Value >= 48 && Value <= 960)
                Dpi = UINT(Value);
        }
    }
    int Count = 0;
    if (XRRMonitorInfo* Info = XRRGetMonitors(Dpy, Root, True, &Count)) {
        for (int I = 0; I < Count; ++I) {
            TMonitorDesc M;
            M.Bounds = { Info[I].x, Info[I].y, Info[I].x + Info[I].width, Info[I].y + Info[I].height };
            M.WorkArea = M.Bounds;
            M.DpiX = M.DpiY = Dpi;
            M.Primary = Info[I].primary != 0;
            if (char* Name = Info[I].name ? XGetAtomName(Dpy, Info[I].name) : nullptr) {
                M.Name = UTF8ToString(Name);
                XFree(Name);
            }
            M.AdapterName = UTF8ToString(DisplayString(Dpy));
            Result.push_back(M);
        }
        XRRFreeMonitors(Info);
    }
    if (Result.empty()) {
        TMonitorDesc M;
        M.Bounds = { 0, 0, DisplayWidth(Dpy, ScreenNo), DisplayHeight(Dpy, ScreenNo) };
        M.WorkArea = M.Bounds;
        M.DpiX = M.DpiY = Dpi;
        M.Name = u"X screen";
        M.AdapterName = UTF8ToString(DisplayString(Dpy));
        Result.push_back(M);
    }
    if (std::none_of(Result.begin(), Result.end(), [](const TMonitorDesc& M) { return M.Primary; }))
        Result.front().Primary = true;
    // The window manager's work area (of the first desktop), cut to each monitor.
    Atom Type;
    int Format;
    unsigned long Items = 0, After = 0;
    unsigned char* Data = nullptr;
    if (XGetWindowProperty(Dpy, Root, XInternAtom(Dpy, "_NET_WORKAREA", True), 0, 4, False, XA_CARDINAL, &Type, &Format,
            &Items, &After, &Data) == Success &&
        Data && Format == 32 && Items >= 4) {
        const auto* V = reinterpret_cast<const long*>(Data);
        const RECT Work { LONG(V[0]), LONG(V[1]), LONG(V[0] + V[2]), LONG(V[1] + V[3]) };
        for (TMonitorDesc& M : Result) {
            const RECT Cut { std::max(M.Bounds.left, Work.left), std::max(M.Bounds.top, Work.top),
                std::min(M.Bounds.right, Work.right), std::min(M.Bounds.bottom, Work.bottom) };
            if (Cut.right > Cut.left && Cut.bottom > Cut.top)
                M.WorkArea = Cut;
        }
    }
    if (Data)
        XFree(Data);
    return Result;
}

// A connection of a thread other than the one whose loop reads the
// presenter's: asking on the presenter's own from there would pull the
// display's events into Xlib's queue behind the back of that loop, which
// sleeps on the descriptor and would not see them.
class TThreadConnection {
public:
    ~TThreadConnection()
    {
        if (FDpy)
            XCloseDisplay(FDpy);
    }
    Display* For(const std::string& Name)
    {
        if (FDpy && Name == FName)
            return FDpy;
        if (FDpy)
            XCloseDisplay(FDpy);
        FName = Name;
        FDpy = XOpenDisplay(Name.c_str());
        return FDpy;
    }

private:
    std::string FName;
    Display* FDpy = nullptr;
};

}

std::vector<TMonitorDesc> TX11Presenter::Monitors()
{
    if (!F->Dpy)
        return {};
    if (std::this_thread::get_id() != F->Owner) {
        thread_local TThreadConnection Own;
        Display* Dpy = Own.For(F->DisplayName);
        return Dpy ? QueryMonitors(Dpy) : std::vector<TMonitorDesc> {};
    }
    std::lock_guard Guard(F->Lock);
    return QueryMonitors(F->Dpy);
}

void TX11Presenter::CreateSurface(HWND Wnd, const TSurfaceDesc& Desc)
{
    std::lock_guard Guard(F->Lock);
    if (!F->Dpy || F->Find(Wnd))
        return;
    if (IsDesktopSpot(Desc.ExStyle)) {
        CreateSpot(Wnd, Desc);
        return;
    }
    // Drop-down lists and the like: shown where the program says, never
    // framed or focused by the window manager.
    const bool Unmanaged =
        (Desc.Style & WS_POPUP) && !(Desc.Style & WS_CAPTION) && (Desc.ExStyle & (WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE));
    XSetWindowAttributes A {};
    A.background_pixel = WhitePixel(F->Dpy, F->ScreenNo);
    A.bit_gravity = NorthWestGravity;
    A.override_redirect = Unmanaged ? True : False;
    A.event_mask = SurfaceEvents;
    A.cursor = F->CursorFor(F->ShownCursor);
    const int W = std::max<int>(Desc.Bounds.right - Desc.Bounds.left, 1);
    const int H = std::max<int>(Desc.Bounds.bottom - Desc.Bounds.top, 1);
    Window Win = XCreateWindow(F->Dpy, F->Root, Desc.Bounds.left, Desc.Bounds.top, unsigned(W), unsigned(H), 0,
        F->Depth, InputOutput, F->Vis, CWBackPixel | CWBitGravity | CWOverrideRedirect | CWEventMask | CWCursor, &A);
    XSetWMProtocols(F->Dpy, Win, &F->WmDeleteWindow, 1);
    XSizeHints Hints {};
    Hints.flags = USPosition | PPosition | USSize | PSize;
    Hints.x = Desc.Bounds.left;
    Hints.y = Desc.Bounds.top;
    Hints.width = W;
    Hints.height = H;
    if (!(Desc.Style & WS_THICKFRAME)) {
        Hints.flags |= PMinSize | PMaxSize;
        Hints.min_width = Hints.max_width = W;
        Hints.min_height = Hints.max_height = H;
    }
    XSetWMNormalHints(F->Dpy, Win, &Hints);
    XClassHint Class;
    char Name[] = "quorvale";
    Class.res_name = Name;
    Class.res_class = Name;
    XSetClassHint(F->Dpy, Win, &Class);
    // An unmanaged window above all others is a hint.
    Atom Type = Unmanaged && (Desc.ExStyle & WS_EX_TOPMOST) ? F->TypeTooltip
        : (Desc.ExStyle & WS_EX_TOOLWINDOW)                 ? F->TypeUtility
        : (Desc.ExStyle & WS_EX_DLGMODALFRAME)              ? F->TypeDialog
        : Unmanaged                                         ? F->TypePopup
                                                            : F->TypeNormal;
    XChangeProperty(F->Dpy, Win, F->NetWmWindowType, XA_ATOM, 32, PropModeReplace,
        reinterpret_cast<unsigned char*>(&Type), 1);
    if (!(Desc.Style & WS_CAPTION)) {
        // No frame from the window manager (flags: decorations; none).
        long Motif[5] = { 2, 0, 0, 0, 0 };
        XChangeProperty(F->Dpy, Win, F->MotifHints, F->MotifHints, 32, PropModeReplace,
            reinterpret_cast<unsigned char*>(Motif), 5);
    }
    TState::TSurface S;
    if (auto* Owner = F->Find(Desc.Owner)) {
        XSetTransientForHint(F->Dpy, Win, Owner->Win);
        S.Owned = true;
    }
    if (Desc.ExStyle & WS_EX_NOACTIVATE)
        RefuseFocus(Win);
    S.Win = Win;
    S.Bounds = Desc.Bounds;
    S.ExStyle = Desc.ExStyle;
    S.Ic = F->MakeInputContext(Win);
    F->PublishStates(S, {});
    F->Surfaces[Wnd] = S;
    F->Handles[Win] = Wnd;
    SetTitle(Wnd, Desc.Title);
    XFlush(F->Dpy);
}

void TX11Presenter::RefuseFocus(unsigned long Win)
{
    // The window manager gives no focus to a window that says it takes no
    // input, nor on map to one whose last user action was never.
    XWMHints* Hints = XAllocWMHints();
    if (!Hints)
        return;
    Hints->flags = InputHint;
    Hints->input = False;
    XSetWMHints(F->Dpy, Win, Hints);
    XFree(Hints);
    long Never = 0;
    XChangeProperty(F->Dpy, Win, F->Intern("_NET_WM_USER_TIME"), XA_CARDINAL, 32, PropModeReplace,
        reinterpret_cast<unsigned char*>(&Never), 1);
}

void TX11Presenter::DestroySurface(HWND Wnd)
{
    std::lock_guard Guard(F->Lock);
    auto* S = F->Find(Wnd);
    if (!S)
        return;
    if (F->Moving.Wnd == Wnd) {
        XUngrabPointer(F->Dpy, CurrentTime);
        F->Moving = {};
    }
    if (S->Ic)
        XDestroyIC(S->Ic);
    XDestroyWindow(F->Dpy, S->Win);
    F->Handles.erase(S->Win);
    F->Surfaces.erase(Wnd);
    XFlush(F->Dpy);
}

void TX11Presenter::CreateSpot(HWND Wnd, const TSurfaceDesc& Desc)
{
    // Input only: nothing is drawn, the wallpaper shows; no window manager
    // frames or focuses it.
    XSetWindowAttributes A {};
    A.override_redirect = True;
    A.event_mask = SurfaceEvents & ~(ExposureMask | KeyPressMask | KeyReleaseMask | FocusChangeMask);
    A.cursor = F->CursorFor(F->ShownCursor);
    const int W = std::max<int>(Desc.Bounds.right - Desc.Bounds.left, 1);
    const int H = std::max<int>(Desc.Bounds.bottom - Desc.Bounds.top, 1);
    Window Win = XCreateWindow(F->Dpy, F->Root, Desc.Bounds.left, Desc.Bounds.top, unsigned(W), unsigned(H), 0, 0,
        InputOnly, CopyFromParent, CWOverrideRedirect | CWEventMask | CWCursor, &A);
    TState::TSurface S;
    S.Win = Win;
    S.Bounds = Desc.Bounds;
    S.Spot = true;
    F->Surfaces[Wnd] = S;
    F->Handles[Win] = Wnd;
    F->Sink(Win);
    SetTitle(Wnd, Desc.Title);
    XFlush(F->Dpy);
}

void TX11Presenter::ShowWindow(HWND Wnd, Integer Cmd)
{
    std::lock_guard Guard(F->Lock);
    auto* S = F->Find(Wnd);
    if (!S)
        return;
    switch (Cmd) {
    case SW_HIDE:
        S->Mapped = false;
        S->HeldBack = false;
        XUnmapWindow(F->Dpy, S->Win);
        break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
        if (!S->Mapped) {
            XWMHints* Hints = XAllocWMHints();
            Hints->flags = StateHint;
            Hints->initial_state = IconicState;
            if (S->ExStyle & WS_EX_NOACTIVATE) {
                Hints->flags |= InputHint;
                Hints->input = False;
            }
            XSetWMHints(F->Dpy, S->Win, Hints);
            XFree(Hints);
            S->Mapped = true;
            ++S->PendingMaps;
            XMapWindow(F->Dpy, S->Win);
        }
        S->Iconic = true;
        XIconifyWindow(F->Dpy, S->Win, F->ScreenNo);
        break;
    default: {
        // Withdrawn (never mapped, hidden, held back): the states go with
        // the map; iconic: it is mapped again; on the screen already: only
        // raised, as no map comes back for it.
        const bool Withdrawn = !S->Mapped || S->HeldBack;
        const bool Map = Withdrawn || S->Iconic;
        const std::vector<Atom> Before = F->StatesOf(*S);
        S->Iconic = false;
        if (Cmd == SW_MAXIMIZE || Cmd == SW_RESTORE || Cmd == SW_SHOWNORMAL)
            S->Zoomed = Cmd == SW_MAXIMIZE;
        if (S->Spot) {
            S->Mapped = true;
            ++S->PendingMaps;
            XMapWindow(F->Dpy, S->Win);
            F->Sink(S->Win);
            break;
        }
        if (Withdrawn)
            S->Mapped = false;
        F->PublishStates(*S, Before);
        S->Mapped = true;
        const bool Raise = Cmd != SW_SHOWNA && Cmd != SW_SHOWNOACTIVATE;
        if (Map)
            F->MapShown(*S, Raise);
        else if (Raise)
            XRaiseWindow(F->Dpy, S->Win);
        break;
    }
    }
    XFlush(F->Dpy);
}

void TX11Presenter::SetBounds(HWND Wnd, const RECT& Bounds)
{
    std::lock_guard Guard(F->Lock);
    auto* S = F->Find(Wnd);
    if (!S)
        return;
    S->Bounds = Bounds;
    XMoveResizeWindow(F->Dpy, S->Win, Bounds.left, Bounds.top, unsigned(std::max<LONG>(Bounds.right - Bounds.left, 1)),
        unsigned(std::max<LONG>(Bounds.bottom - Bounds.top, 1)));
    XFlush(F->Dpy);
}

void TX11Presenter::SetTitle(HWND Wnd, const String& Title)
{
    std::lock_guard Guard(F->Lock);
    auto* S = F->Find(Wnd);
    if (!S)
        return;
    const std::string Utf8 = StringToUTF8(Title);
    XChangeProperty(F->Dpy, S->Win, F->NetWmName, F->Utf8String, 8, PropModeReplace,
        reinterpret_cast<const unsigned char*>(Utf8.data()), int(Utf8.size()));
    XStoreName(F->Dpy, S->Win, Utf8.c_str());
    XFlush(F->Dpy);
}

void TX11Presenter::SetOpacity(HWND Wnd, Byte Alpha)
{
    std::lock_guard Guard(F->Lock);
    auto* S = F->Find(Wnd);
    if (!S)
        return;
    // A compositing manager reads the opacity as a fraction of 0xFFFFFFFF;
    // an opaque window carries no property at all.
    const Atom Opacity = F->Intern("_NET_WM_WINDOW_OPACITY");
    if (Alpha == 255) {
        XDeleteProperty(F->Dpy, S->Win, Opacity);
    } else {
        long Value = long(Cardinal(Alpha) * 0x01010101u);
        XChangeProperty(
            F->Dpy, S->Win, Opacity, XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&Value), 1);
    }
    const bool WasShade = IsShade(S->ExStyle, S->Opacity);
    S->Opacity = Alpha;
    if (WasShade != IsShade(S->ExStyle, Alpha))
        F->Reconsider(*S);
    XFlush(F->Dpy);
}

void TX11Presenter::SetShape(HWND Wnd, const std::vector<RECT>* Rects)
{
    std::lock_guard Guard(F->Lock);
    auto* S = F->Find(Wnd);
    if (!S || !F->HasShape)
        return;
    // What is drawn and what takes the pointer are the same region: a
    // click in a cut-out reaches the window below.
    for (const int Kind : { ShapeBounding, ShapeInput }) {
        if (!Rects) {
            XShapeCombineMask(F->Dpy, S->Win, Kind, 0, 0, 0, ShapeSet);
            continue;
        }
        std::vector<XRectangle> Boxes;
        Boxes.reserve(Rects->size());
        for (const RECT& R : *Rects) {
            // X rectangles hold 16 bits; a window is never larger.
            const LONG L = std::clamp<LONG>(R.left, -32768, 32767), T = std::clamp<LONG>(R.top, -32768, 32767);
            const LONG W = std::clamp<LONG>(R.right - L, 0, 65535), H = std::clamp<LONG>(R.bottom - T, 0, 65535);
            if (W > 0 && H > 0)
                Boxes.push_back({ short(L), short(T), (unsigned short)(W), (unsigned short)(H) });
        }
        XShapeCombineRectangles(F->Dpy, S->Win, Kind, 0, 0, Boxes.data(), int(Boxes.size()), ShapeSet, Unsorted);
    }
    XFlush(F->Dpy);
}

void TX11Presenter::SetExStyle(HWND Wnd, DWORD ExStyle)
{
    std::lock_guard Guard(F->Lock);
    auto* S = F->Find(Wnd);
    if (!S || S->Spot || S->ExStyle == ExStyle)
        return;
    const std::vector<Atom> Before = F->StatesOf(*S);
    const bool WasShade = IsShade(S->ExStyle, S->Opacity);
    if ((ExStyle & WS_EX_NOACTIVATE) && !(S->ExStyle & WS_EX_NOACTIVATE))
        RefuseFocus(S->Win);
    S->ExStyle = ExStyle;
    F->PublishStates(*S, Before);
    if (WasShade != IsShade(ExStyle, S->Opacity))
        F->Reconsider(*S);
    XFlush(F->Dpy);
}

void TX11Presenter::SetIcon(HWND Wnd, const TPixelBuffer& Picture)
{
    std::lock_guard Guard(F->Lock);
    auto* S = F->Find(Wnd);
    if (!S)
        return;
    const Atom Icon = F->Intern("_NET_WM_ICON");
    if (Picture.Width() <= 0 || Picture.Height() <= 0) {
        XDeleteProperty(F->Dpy, S->Win, Icon);
    } else {
        // Width, height, then ARGB pixels, each in a long (format 32).
        std::vector<long> Data;
        Data.reserve(2 + Picture.Pixels().size());
        Data.push_back(Picture.Width());
        Data.push_back(Picture.Height());
        for (Cardinal P : Picture.Pixels())
            Data.push_back(long(P));
        XChangeProperty(F->Dpy, S->Win, Icon, XA_CARDINAL, 32, PropModeReplace,
            reinterpret_cast<unsigned char*>(Data.data()), int(Data.size()));
    }
    XFlush(F->Dpy);
}

bool TX11Presenter::SetForeground(HWND Wnd)
{
    std::lock_guard Guard(F->Lock);
    auto* S = F->Find(Wnd);
    if (!S || S->Spot || (S->ExStyle & WS_EX_NOACTIVATE))
        return false; // a spot, and a window that takes no activation, are never focused
    XRaiseWindow(F->Dpy, S->Win);
    if (S->Mapped) {
        // Refused while the window is not viewable yet: the error is
        // counted, nothing else happens.
        XSetInputFocus(F->Dpy, S->Win, RevertToParent, CurrentTime);
        XEvent E {};
        E.xclient.type = ClientMessage;
        E.xclient.window = S->Win;
        E.xclient.message_type = F->NetActiveWindow;
        E.xclient.format = 32;
        E.xclient.data.l[0] = 2; // asked by a pager-like source: the program itself
        XSendEvent(F->Dpy, F->Root, False, SubstructureRedirectMask | SubstructureNotifyMask, &E);
    }
    XFlush(F->Dpy);
    return true;
}

HWND TX11Presenter::Foreground()
{
    std::lock_guard Guard(F->Lock);
    Window Focus = 0;
    int Revert = 0;
    XGetInputFocus(F->Dpy, &Focus, &Revert);
    return F->HandleOf(Focus);
}

void TX11Presenter::Update(HWND Wnd, const RECT& Changed, const TPixelBuffer& Picture)
{
    std::lock_guard Guard(F->Lock);
    auto* S = F->Find(Wnd);
    if (!S || S->Spot)
        return; // an input-only window has no pixels
    const RECT R { std::max<LONG>(Changed.left, 0), std::max<LONG>(Changed.top, 0),
        std::min<LONG>(Changed.right, Picture.Width()), std::min<LONG>(Changed.bottom, Picture.Height()) };
    F->PutPicture(S->Win, Picture, R);
    XFlush(F->Dpy);
}

void TX11Presenter::SetCursorShape(Integer Shape)
{
    std::lock_guard Guard(F->Lock);
    if (!F->Dpy || Shape < 0 || Shape >= 154 || Shape == F->ShownCursor)
        return;
    F->ShownCursor = Shape;
    const Cursor C = F->CursorFor(Shape);
    for (auto& [Wnd, S] : F->Surfaces)
        XDefineCursor(F->Dpy, S.Win, C);
    XFlush(F->Dpy);
}

bool TX11Presenter::GrabHotKey(UINT Modifiers, UINT VirtualKey)
{
    std::lock_guard Guard(F->Lock);
    if (!F->Dpy)
        return false;
    const KeySym Sym = KeySymFromVirtualKey(VirtualKey);
    const KeyCode Code = Sym ? XKeysymToKeycode(F->Dpy, Sym) : 0;
    if (!Code)
        return false;
    const unsigned State = StateFromModifiers(Modifiers);
    TErrorTrap Trap(F->Dpy);
    for (unsigned Lock : LockVariants)
        XGrabKey(F->Dpy, Code, State | Lock, F->Root, True, GrabModeAsync, GrabModeAsync);
    if (!Trap.Failed())
        return true;
    // Another client holds it: let go of the variants that were had.
    for (unsigned Lock : LockVariants)
        XUngrabKey(F->Dpy, Code, State | Lock, F->Root);
    XSync(F->Dpy, False);
    return false;
}

void TX11Presenter::ReleaseHotKey(UINT Modifiers, UINT VirtualKey)
{
    std::lock_guard Guard(F->Lock);
    const KeySym Sym = KeySymFromVirtualKey(VirtualKey);
    const KeyCode Code = Sym && F->Dpy ? XKeysymToKeycode(F->Dpy, Sym) : 0;
    if (!Code)
        return;
    for (unsigned Lock : LockVariants)
        XUngrabKey(F->Dpy, Code, StateFromModifiers(Modifiers) | Lock, F->Root);
    XFlush(F->Dpy);
}

void TX11Presenter::BeginMoveSize(HWND Wnd, LRESULT HitCode, POINT Point)
{
    std::lock_guard Guard(F->Lock);
    auto* S = F->Find(Wnd);
    if (!S)
        return;
    if (F->Supports(F->NetMoveResize)) {
        XUngrabPointer(F->Dpy, CurrentTime);
        XEvent E {};
        E.xclient.type = ClientMessage;
        E.xclient.window = S->Win;
        E.xclient.message_type = F->NetMoveResize;
        E.xclient.format = 32;
        E.xclient.data.l[0] = Point.x;
        E.xclient.data.l[1] = Point.y;
        E.xclient.data.l[2] = MoveResizeDirection(HitCode);
        E.xclient.data.l[3] = Button1;
        E.xclient.data.l[4] = 1;
        XSendEvent(F->Dpy, F->Root, False, SubstructureRedirectMask | SubstructureNotifyMask, &E);
        XFlush(F->Dpy);
        return;
    }
    // No window manager to ask: the presenter follows the pointer itself
    // until the button is let go.
    XGrabPointer(F->Dpy, S->Win, False, ButtonReleaseMask | PointerMotionMask, GrabModeAsync, GrabModeAsync, 0, 0,
        CurrentTime);
    F->Moving = { Wnd, HitCode, Point, S->Bounds };
    XFlush(F->Dpy);
}

bool TX11Presenter::SetDesktopPicture(const TPixelBuffer& Picture)
{
    std::lock_guard Guard(F->Lock);
    if (!F->Dpy || Picture.Width() <= 0 || Picture.Height() <= 0)
        return false;
    TErrorTrap Trap(F->Dpy);
    Pixmap P =
        XCreatePixmap(F->Dpy, F->Root, unsigned(Picture.Width()), unsigned(Picture.Height()), unsigned(F->Depth));
    F->PutPicture(P, Picture, { 0, 0, Picture.Width(), Picture.Height() });
    XSetWindowBackgroundPixmap(F->Dpy, F->Root, P);
    XClearWindow(F->Dpy, F->Root);
    // Published for the programs that show the desktop through their own
    // windows (terminals, compositors).
    XChangeProperty(F->Dpy, F->Root, F->RootPixmap, XA_PIXMAP, 32, PropModeReplace,
        reinterpret_cast<unsigned char*>(&P), 1);
    XChangeProperty(F->Dpy, F->Root, F->SetRootPixmap, XA_PIXMAP, 32, PropModeReplace,
        reinterpret_cast<unsigned char*>(&P), 1);
    if (F->Desktop)
        XFreePixmap(F->Dpy, F->Desktop);
    F->Desktop = P;
    return !Trap.Failed();
}

int TX11Presenter::FileDescriptor()
{
    return F->Dpy ? ConnectionNumber(F->Dpy) : -1;
}

void TX11Presenter::Dispatch()
{
    std::lock_guard Guard(F->Lock);
    if (!F->Dpy)
        return;
    while (XPending(F->Dpy) > 0) {
        XEvent E;
        XNextEvent(F->Dpy, &E);
        // The input method takes what it composes from (a dead key, the
        // keys of a compose sequence) and sends back what they make.
        if (XFilterEvent(&E, 0))
            continue;
        if (F->Clip && F->Clip->Handle(E))
            continue;
        F->Translate(E);
    }
}

void TX11Presenter::TState::MoveSizeStep(int RootX, int RootY)
{
    const LONG Dx = RootX - Moving.Start.x, Dy = RootY - Moving.Start.y;
    RECT R = Moving.Bounds;
    switch (Moving.Hit) {
    case HTCAPTION: R = { R.left + Dx, R.top + Dy, R.right + Dx, R.bottom + Dy }; break;
    case HTLEFT: R.left += Dx; break;
    case HTRIGHT: R.right += Dx; break;
    case HTTOP: R.top += Dy; break;
    case HTBOTTOM: R.bottom += Dy; break;
    case HTTOPLEFT:
        R.left += Dx;
        R.top += Dy;
        break;
    case HTTOPRIGHT:
        R.right += Dx;
        R.top += Dy;
        break;
    case HTBOTTOMLEFT:
        R.left += Dx;
        R.bottom += Dy;
        break;
    default:
        R.right += Dx;
        R.bottom += Dy;
        break;
    }
    R.right = std::max(R.right, R.left + 1);
    R.bottom = std::max(R.bottom, R.top + 1);
    auto* S = Find(Moving.Wnd);
    if (!S)
        return;
    S->Bounds = R;
    XMoveResizeWindow(Dpy, S->Win, R.left, R.top, unsigned(R.right - R.left), unsigned(R.bottom - R.top));
    TInputEvent Placed = TInputEvent::WindowEvent(TInputEvent::Placed, Moving.Wnd);
    Placed.Bounds = R;
    PostInput(Placed);
}

void TX11Presenter::TState::Translate(XEvent& E)
{
    const HWND Wnd = HandleOf(E.xany.window);
    switch (E.type) {
    case Expose:
        if (Wnd) {
            TInputEvent Ev = TInputEvent::WindowEvent(TInputEvent::Exposed, Wnd);
            Ev.Bounds = { E.xexpose.x, E.xexpose.y, E.xexpose.x + E.xexpose.width, E.xexpose.y + E.xexpose.height };
            PostInput(Ev);
        }
        break;
    case MotionNotify: {
        // Only the last of a run of moves counts.
        while (XCheckTypedWindowEvent(Dpy, E.xmotion.window, MotionNotify, &E)) { }
        if (Moving.Wnd) {
            MoveSizeStep(E.xmotion.x_root, E.xmotion.y_root);
            break;
        }
        PostInput(TInputEvent::Move({ E.xmotion.x_root, E.xmotion.y_root }));
        break;
    }
    case ButtonPress:
    case ButtonRelease: {
        const POINT P { E.xbutton.x_root, E.xbutton.y_root };
        if (Moving.Wnd) {
            if (E.type == ButtonRelease) {
                XUngrabPointer(Dpy, CurrentTime);
                Moving = {};
            }
            break;
        }
        switch (E.xbutton.button) {
        case Button1: PostInput(TInputEvent::ButtonEvent(P, mbiLeft, E.type == ButtonPress)); break;
        case Button2: PostInput(TInputEvent::ButtonEvent(P, mbiMiddle, E.type == ButtonPress)); break;
        case Button3: PostInput(TInputEvent::ButtonEvent(P, mbiRight, E.type == ButtonPress)); break;
        case Button4:
            if (E.type == ButtonPress)
                PostInput(TInputEvent::WheelEvent(P, WHEEL_DELTA));
            break;
        case Button5:
            if (E.type == ButtonPress)
                PostInput(TInputEvent::WheelEvent(P, -WHEEL_DELTA));
            break;
        }
        break;
    }
    case EnterNotify: PostInput(TInputEvent::Move({ E.xcrossing.x_root, E.xcrossing.y_root })); break;
    case LeaveNotify:
        if (E.xcrossing.mode == NotifyNormal && E.xcrossing.detail != NotifyInferior)
            PostInput(TInputEvent::WindowEvent(TInputEvent::PointerLeft, nullptr));
        break;
    case KeyPress:
    case KeyRelease: TranslateKey(E.xkey, Wnd); break;
    case FocusIn:
        if (auto* S = Wnd ? Find(Wnd) : nullptr; S && S->Ic)
            XSetICFocus(S->Ic);
        if (Wnd && E.xfocus.mode != NotifyGrab && E.xfocus.mode != NotifyUngrab && E.xfocus.detail != NotifyPointer)
            PostInput(TInputEvent::WindowEvent(TInputEvent::Activate, Wnd));
        break;
    case FocusOut:
        // Grabs (a hot key pressed) take the keyboard for a moment only.
        if (Wnd && E.xfocus.mode == NotifyNormal && E.xfocus.detail != NotifyInferior &&
            E.xfocus.detail != NotifyPointer) {
            if (auto* S = Find(Wnd); S && S->Ic)
                XUnsetICFocus(S->Ic);
            PostInput(TInputEvent::WindowEvent(TInputEvent::Deactivate, Wnd));
        }
        break;
    case ClientMessage:
        if (Wnd && E.xclient.message_type == WmProtocols && Atom(E.xclient.data.l[0]) == WmDeleteWindow)
            PostInput(TInputEvent::WindowEvent(TInputEvent::Close, Wnd));
        break;
    case ConfigureNotify:
        if (auto* S = Wnd ? Find(Wnd) : nullptr) {
            int X = 0, Y = 0;
            Window Child;
            XTranslateCoordinates(Dpy, S->Win, Root, 0, 0, &X, &Y, &Child);
            const RECT R { X, Y, X + E.xconfigure.width, Y + E.xconfigure.height };
            if (R == S->Bounds)
                break;
            S->Bounds = R;
            TInputEvent Ev = TInputEvent::WindowEvent(TInputEvent::Placed, Wnd);
            Ev.Bounds = R;
            PostInput(Ev);
        }
        break;
    case UnmapNotify:
        // Hidden by the window manager (minimised), not by the program. A
        // window manager that frames a window unmaps it too: only the
        // iconic state counts, whichever of the two comes first.
        if (auto* S = Wnd ? Find(Wnd) : nullptr)
            NoteIconic(*S, Wnd);
        break;
    case MapNotify:
        if (auto* S = Wnd ? Find(Wnd) : nullptr) {
            if (S->PendingMaps > 0) {
                --S->PendingMaps;
            } else if (S->Iconic) {
                // Restored by the window manager.
                S->Iconic = false;
                PostInput(TInputEvent::WindowEvent(TInputEvent::Minimized, Wnd));
            }
        }
        break;
    case PropertyNotify:
        if (auto* S = Wnd ? Find(Wnd) : nullptr; S && E.xproperty.atom == WmState) {
            NoteIconic(*S, Wnd);
            break;
        }
        // The window manager maximised or restored the window.
        if (auto* S = Wnd ? Find(Wnd) : nullptr; S && E.xproperty.atom == NetWmState && S->Mapped && !S->Iconic) {
            const bool Zoomed = ReadZoomed(S->Win);
            if (Zoomed != S->Zoomed) {
                S->Zoomed = Zoomed;
                TInputEvent Ev = TInputEvent::WindowEvent(TInputEvent::Maximized, Wnd);
                Ev.Down = Zoomed;
                PostInput(Ev);
            }
        }
        break;
    case MappingNotify:
        // Another keyboard layout: key symbols are looked up afresh.
        if (E.xmapping.request == MappingKeyboard || E.xmapping.request == MappingModifier)
            XRefreshKeyboardMapping(&E.xmapping);
        break;
    default: break;
    }
}

void TX11Presenter::TState::TranslateKey(XKeyEvent& Key, HWND Wnd)
{
    const auto* S = Wnd ? Find(Wnd) : nullptr;
    const bool Press = Key.type == KeyPress;
    KeySym Sym = 0;
    String Text;
    if (Press)
        Text = TypedText(Key, S ? S->Ic : nullptr, Sym);
    else
        XLookupString(&Key, nullptr, 0, &Sym, nullptr);
    // What an input method sends back (composed characters) comes on no
    // key of the keyboard (key code 0): text alone, no key to hold down.
    UINT Vk = 0;
    if (Key.keycode != 0) {
        // The key itself, whatever level Shift chose.
        Vk = VirtualKeyFromKeySym(XLookupKeysym(&Key, 0));
        if (!Vk)
            Vk = VirtualKeyFromKeySym(Sym);
    }
    const Integer Modifiers = Integer(ModifiersFromState(Key.state));
    if (Vk) {
        const char32_t Character = SingleCharacter(Text);
        TInputEvent Ev = TInputEvent::KeyEvent(Vk, Press, Character);
        Ev.Modifiers = Modifiers;
        PostInput(Ev);
        if (Character || Text.empty())
            return;
    }
    // Keys this layer names no virtual key for (letters of other scripts,
    // a key the keyboard map gives one character of its own) and texts of
    // several characters.
    if (!Text.empty())
        PostInput(TInputEvent::TextEvent(std::move(Text)));
}

TPresenter* MakeDisplayPresenter()
{
    const char* Choice = std::getenv("X_PRESENTER");
    const char* Display = std::getenv("DISPLAY");
    if ((Choice && std::strcmp(Choice, "headless") == 0) || !Display || !*Display)
        return nullptr;
    auto* P = new TX11Presenter();
    if (!P->Ok()) {
        delete P;
        return nullptr;
    }
    return P;
}

void TX11Presenter::OfferClipboard(const TClipboardItems& Items)
{
    std::lock_guard Guard(F->Lock);
    if (F->Clip)
        F->Clip->Offer(Items);
}

bool TX11Presenter::ClipboardIsForeign()
{
    std::lock_guard Guard(F->Lock);
    return F->Clip && F->Clip->IsForeign();
}

std::vector<UINT> TX11Presenter::ClipboardFormats()
{
    std::lock_guard Guard(F->Lock);
    return F->Clip ? F->Clip->Formats() : std::vector<UINT> {};
}

std::optional<std::string> TX11Presenter::ReadClipboard(UINT Format)
{
    std::lock_guard Guard(F->Lock);
    return F->Clip ? F->Clip->Read(Format) : std::nullopt;
}

void TX11Presenter::SetClipboardLimits(size_t MaxBytes, std::chrono::milliseconds Timeout)
{
    std::lock_guard Guard(F->Lock);
    if (F->Clip)
        F->Clip->SetLimits(MaxBytes, Timeout);
}
