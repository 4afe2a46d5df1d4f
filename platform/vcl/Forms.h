// The application and screen objects.
//
// Application owns the application window (hidden, the owner of the
// program's forms), the title and the message loop; every message the loop
// takes passes OnMessage first:
//
//     Application->SetOnMessage(TMessageEvent::Of<&TMyApp::AppMessage>(this));
//     Application->Run();                     // until WM_QUIT
//
// Screen answers the monitors, the pixels per inch, the cursor shown over
// the program's windows and its table of cursors, and the installed fonts.
// Both exist from the unit's initialisation to its finalisation.
#pragma once
#include "gdi/Graphic.h"
#include "rtl/Component.h"
#include "vcl/UITypes.h"
#include "win/Cursors.h"
#include "win/Monitors.h"
#include <map>
#include <vector>

class TStrings;
class TStringList;

// A handler of the loop's messages (method and object); Handled stops the
// message there.
struct TMessageEvent {
    using TThunk = void (*)(void* Data, MSG& Msg, bool& Handled);

    TThunk Code = nullptr;
    void* Data = nullptr;

    template<auto Method, class T>
    static TMessageEvent Of(T* Obj)
    {
        TThunk Thunk = [](void* Self, MSG& Msg, bool& Handled) { (static_cast<T*>(Self)->*Method)(Msg, Handled); };
        return { Thunk, Obj };
    }
    explicit operator bool() const { return Code != nullptr; }
    void operator()(MSG& Msg, bool& Handled) const { Code(Data, Msg, Handled); }
    friend bool operator==(const TMessageEvent&, const TMessageEvent&) = default;
};

class TApplication : public TComponent {
    X_CLASS(TApplication, TComponent)
public:
    // Makes the application window.
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;

    HWND Handle() const { return FHandle; }
    const String& Title() const { return FTitle; }
    void SetTitle(const String& Value);
    const TMessageEvent& OnMessage() const { return FOnMessage; }
    void SetOnMessage(const TMessageEvent& Value) { FOnMessage = Value; }

    // Takes messages until WM_QUIT, then sets Terminated.
    void Run();
    // One message, waiting for it when none is there.
    void HandleMessage();
    // Every message waiting now.
    void ProcessMessages();
    // Ends the loop: posts WM_QUIT.
    void Terminate();
    bool Terminated() const { return FTerminated; }
    // The WM_QUIT that ended the loop.
    const MSG& QuitMessage() const { return FQuit; }

    void Minimize();
    void Restore();

private:
    HWND FHandle = nullptr;
    String FTitle;
    TMessageEvent FOnMessage;
    bool FTerminated = false;
    MSG FQuit;

    // False when no message was waiting; WM_QUIT ends the loop.
    bool ProcessMessage(MSG& Msg);
    void Dispatch(MSG& Msg);
    void WndProc(TMessage& Message);
};

class TMonitor : public TObject {
    X_CLASS(TMonitor, TObject)
public:
    HMONITOR Handle() const { return FHandle; }
    Integer MonitorNum() const { return FMonitorNum; }
    TRect BoundsRect() const;
    TRect WorkareaRect() const;
    Integer Left() const { return BoundsRect().Left; }
    Integer Top() const { return BoundsRect().Top; }
    Integer Width() const { return BoundsRect().Width(); }
    Integer Height() const { return BoundsRect().Height(); }
    bool Primary() const;
    Integer PixelsPerInch() const;

private:
    friend class TScreen;
    HMONITOR FHandle = nullptr;
    Integer FMonitorNum = 0;
};

enum TMonitorDefaultTo { mdNearest, mdNull, mdPrimary };

class TScreen : public TComponent {
    X_CLASS(TScreen, TComponent)
public:
    // Pixels per inch from the screen; the standard cursors in the table.
    void Create(TComponent* AOwner) override;
    ~TScreen() override;

    Integer PixelsPerInch() const { return FPixelsPerInch; }
    // Written as it is: nothing is rescaled.
    void SetPixelsPerInch(Integer Value) { FPixelsPerInch = Value; }

    TCursor Cursor() const { return FCursor; }
    // Shows the table's cursor of that number (crDefault: the arrow).
    void SetCursor(TCursor Value);
    // The table's cursor; the arrow for a number not in the table.
    HCURSOR Cursors(Integer Index) const;
    // A null cursor takes the number out of the table.
    void SetCursors(Integer Index, HCURSOR Cursor);

    // The monitors as the presenter has them now.
    Integer MonitorCount();
    TMonitor* Monitors(Integer Index);
    TMonitor* PrimaryMonitor();
    TMonitor* MonitorFromPoint(POINT Point, TMonitorDefaultTo Default = mdNearest);
    TMonitor* MonitorFromWindow(HWND Wnd, TMonitorDefaultTo Default = mdNearest);
    // The primary monitor's size.
    Integer Width();
    Integer Height();

    // The font families installed, sorted, each once.
    TStrings* Fonts();

private:
    Integer FPixelsPerInch = 96;
    TCursor FCursor = crDefault;
    std::map<Integer, HCURSOR> FCursors;
    std::vector<TOwnedPtr<TMonitor>> FMonitors;
    TOwnedPtr<TStringList> FFonts;

    void UpdateMonitors();
    TMonitor* Find(HMONITOR Handle);
};

extern TApplication* Application;
extern TScreen* Screen;
