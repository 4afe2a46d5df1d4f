// Forms, the application and the screen.
//
// A form is a top-level windowed control: its window is owned by the
// application window, shown by Show or ShowModal, placed by Position and
// framed as BorderStyle says (the screen's window manager draws the frame).
// ShowModal runs a message loop until ModalResult is set, the form closes
// or WM_QUIT arrives (which it posts again for the loop outside); the
// program's other windows are disabled meanwhile:
//
//     auto* Dialog = New<TMyDialog>(Application);
//     if (Dialog->ShowModal() == mrOk) ...
//
// Application owns the application window (hidden, the owner of the
// program's forms), the title and the message loop; every message the loop
// takes passes OnMessage first:
//
//     Application->SetOnMessage(TMessageEvent::Of<&TMyApp::AppMessage>(this));
//     Application->Run();                     // until WM_QUIT
//
// Screen answers the monitors, the pixels per inch, the cursor shown over
// the program's windows and its table of cursors, the forms, and the
// installed fonts. Both exist from the unit's initialisation to its
// finalisation.
#pragma once
#include "gdi/Graphic.h"
#include "gdi/Icon.h"
#include "rtl/Component.h"
#include "rtl/TypInfo.h"
#include "vcl/Controls.h"
#include "vcl/ControlsDetail.h"
#include "vcl/UITypes.h"
#include "win/Cursors.h"
#include "win/Monitors.h"
#include <algorithm>
#include <map>
#include <vector>

class TStrings;
class TStringList;
class TBasicAction;
class TCustomForm;

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

using TModalResult = Integer;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;
constexpr TModalResult mrAll = 8;
constexpr TModalResult mrNoToAll = 9;
constexpr TModalResult mrYesToAll = 10;
constexpr TModalResult mrClose = 11;

// The application's events, as the class library types them.
using TActionEvent = std::function<void(TBasicAction* Action, bool& Handled)>;
using TExceptionEvent = std::function<void(TObject* Sender, Exception* E)>;
using TIdleEvent = std::function<void(TObject* Sender, bool& Done)>;
using THelpEvent = std::function<bool(Word Command, NativeInt Data, bool& CallHelp)>;
struct THintInfo {
    TControl* HintControl = nullptr;
    TPoint CursorPos;
    Integer HintMaxWidth = 0;
    String HintStr;
};
using TShowHintEvent = std::function<void(String& HintStr, bool& CanShow, THintInfo& HintInfo)>;
using TShortCutEvent = std::function<void(TMessage& Msg, bool& Handled)>;
using TSettingChangeEvent = std::function<void(TObject* Sender, Integer Flag, const String& Section, Integer& Result)>;

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

    // The first form shown by the program; closing it ends the loop.
    TCustomForm* MainForm() const { return FMainForm; }
    void SetMainForm(TCustomForm* Value) { FMainForm = Value; }
    const String& Hint() const { return FHint; }
    // Raises OnHint when the text changes.
    void SetHint(const String& Value);
    // Inside a handler of an exception: EAbort is dropped, anything else goes
    // to OnException, or, without one, to ShowException.
    void HandleException(TObject* Sender);
    // Reports an exception when nobody handles it (standard error: this
    // layer shows no message box).
    void ShowException(const Exception& E);
    // Help: OnHelp's answer, false without one.
    bool HelpCommand(Word Command, NativeInt Data);
    // A modal loop starts and ends (OnModalBegin, OnModalEnd).
    void ModalStarted();
    void ModalFinished();

    // Hints: shown over the control under the pointer (the first up its
    // parents with ShowHint) after HintPause, hidden after HintHidePause,
    // when the pointer leaves the control, on a press or a key.
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool Value);
    Integer HintPause() const { return FHintPause; }
    void SetHintPause(Integer Value) { FHintPause = std::max(Value, 0); }
    Integer HintHidePause() const { return FHintHidePause; }
    void SetHintHidePause(Integer Value) { FHintHidePause = std::max(Value, 0); }
    // Shows the hint of the control at a screen point now (OnShowHint may
    // change or refuse it).
    void ActivateHint(TPoint CursorPos);
    void CancelHint();
    // The window the hints show in; null until a hint showed.
    THintWindow* HintWindow() const { return FHintWindow.get(); }

    TActionEvent OnActionExecute;
    TActionEvent OnActionUpdate;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TExceptionEvent OnException;
    TIdleEvent OnIdle;
    THelpEvent OnHelp;
    TNotifyEvent OnHint;
    TNotifyEvent OnMinimize;
    TNotifyEvent OnRestore;
    TShowHintEvent OnShowHint;
    TShortCutEvent OnShortCut;
    TSettingChangeEvent OnSettingChange;
    TNotifyEvent OnModalBegin;
    TNotifyEvent OnModalEnd;

private:
    HWND FHandle = nullptr;
    String FTitle;
    String FHint;
    TMessageEvent FOnMessage;
    bool FTerminated = false;
    MSG FQuit;
    TCustomForm* FMainForm = nullptr;
    Integer FModalLevel = 0;
    UInt64 FQuitsSeen = 0; // WM_QUIT messages the loops took
    bool FShowHint = true;
    Integer FHintPause = 500;
    Integer FHintHidePause = 2500;
    TOwnedPtr<THintWindow> FHintWindow;
    // The control the pointer was last over; a free notification clears it.
    TControl* FHintControl = nullptr;
    void SetHintControl(TControl* Control);
    // A message that moves the pointer or presses starts or ends a hint.
    void HintMessage(const MSG& Msg);
    void HintTimer(UINT_PTR Id);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

    friend class TCustomForm;
    // False when no message was waiting; WM_QUIT ends the loop.
    bool ProcessMessage(MSG& Msg);
    void Dispatch(MSG& Msg);
    void Idle();
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

    // The program's forms, oldest first, and the active one.
    Integer FormCount() const { return Integer(FForms.size()); }
    TCustomForm* Forms(Integer Index) const { return FForms[size_t(Index)]; }
    TCustomForm* ActiveForm() const;
    TControl* ActiveControl() const;

private:
    friend class TCustomForm;
    std::vector<TCustomForm*> FForms;
    Integer FPixelsPerInch = 96;
    TCursor FCursor = crDefault;
    std::map<Integer, HCURSOR> FCursors;
    std::vector<TOwnedPtr<TMonitor>> FMonitors;
    TOwnedPtr<TStringList> FFonts;

    void UpdateMonitors();
    TMonitor* Find(HMONITOR Handle);
};

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
X_ENUM_INFO(TFormBorderStyle, bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin)
X_ENUM_INFO(TPosition, poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
    poMainFormCenter, poOwnerFormCenter)
// The monitor a form shows on when it is placed: the desktop as it is,
// the primary monitor, or the monitor of the main or the active form.
enum TDefaultMonitor { dmDesktop, dmPrimary, dmMainForm, dmActiveForm };
X_ENUM_INFO(TDefaultMonitor, dmDesktop, dmPrimary, dmMainForm, dmActiveForm)
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
X_ENUM_INFO(TWindowState, wsNormal, wsMinimized, wsMaximized)
enum TFormStateItem { fsCreating, fsVisible, fsShowing, fsModal, fsCreatedMDIChild, fsActivated };
using TFormState = TSet<TFormStateItem>;
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

class TCustomForm : public TWinControl {
    X_CLASS(TCustomForm, TWinControl)
    X_DECLARE_MESSAGES(TCustomForm)
public:
    // Hidden, sizeable, 320 x 240; listed by the screen.
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;
    ~TCustomForm() override;

    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    // Makes the window again when there is one.
    void SetBorderStyle(TFormBorderStyle Value);
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition Value) { FPosition = Value; }
    TFormStyle FormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle Value);
    TDefaultMonitor DefaultMonitor() const { return FDefaultMonitor; }
    void SetDefaultMonitor(TDefaultMonitor Value) { FDefaultMonitor = Value; }
    // The monitor the form lies on (the nearest one).
    TMonitor* Monitor();
    // The whole form is seen through by AlphaBlendValue (255: opaque)
    // while AlphaBlend is on.
    bool AlphaBlend() const { return FAlphaBlend; }
    void SetAlphaBlend(bool Value);
    Byte AlphaBlendValue() const { return FAlphaBlendValue; }
    void SetAlphaBlendValue(Byte Value);
    // The icon the desktop shows for the form (its 32-pixel picture).
    TIcon* Icon() const { return FIcon.get(); }
    void SetIcon(TIcon* Value);
    TWindowState WindowState() const;
    void SetWindowState(TWindowState Value);
    bool KeyPreview() const { return FKeyPreview; }
    void SetKeyPreview(bool Value) { FKeyPreview = Value; }
    TFormState FormState() const { return FFormState; }
    // The form's window is the active one.
    bool Active() const { return FActive; }

    TWinControl* ActiveControl() const { return FActiveControl; }
    // The control to focus; it gets the focus now when the form is active.
    void SetActiveControl(TWinControl* Control);
    // Focus leaves Control (and its children) for the form itself.
    void DefocusControl(TWinControl* Control, bool Removing);
    void FocusControl(TWinControl* Control);
    bool SetFocusedControl(TWinControl* Control) override;
    void SetFocus() override;

    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult Value) { FModalResult = Value; }
    // Shows the form and runs the loop until it ends modal; answers the
    // result (mrCancel when the form closed otherwise or WM_QUIT came).
    // Raises EInvalidOperation for a form that is visible or disabled.
    virtual TModalResult ShowModal();
    void Show();
    void Hide() { SetVisible(false); }
    // Asks OnCloseQuery, runs OnClose and does what it says (a modal form
    // ends its loop; closing the main form ends the program).
    void Close();
    virtual bool CloseQuery();
    // Frees the form once the messages waiting now are handled.
    void Release();

    bool Showing() const override;

    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    virtual void DoClose(TCloseAction& Action);
    virtual void DoShow();
    virtual void DoHide();
    virtual void Activate();
    virtual void Deactivate();
    bool PreviewKeyDown(Word& Key, TShiftState Shift) override;
    bool PreviewKeyUp(Word& Key, TShiftState Shift) override;
    bool PreviewKeyPress(Char& Key) override;

    void WMClose(TMessage& Message);
    void WMActivate(TMessage& Message);
    void WMDestroy(TMessage& Message);
    void CMShowingChanged(TMessage& Message);
    void CMDialogKey(TMessage& Message);
    void CMRelease(TMessage& Message);

private:
    void PlaceOnScreen();
    // The monitor DefaultMonitor names; null for dmDesktop.
    TMonitor* ChosenMonitor();
    void CloseModal();
    void ApplyAlphaBlend();
    void ApplyIcon();

    TFormBorderStyle FBorderStyle = bsSizeable;
    TPosition FPosition = poDesigned;
    TFormStyle FFormStyle = fsNormal;
    TDefaultMonitor FDefaultMonitor = dmActiveForm;
    bool FAlphaBlend = false;
    Byte FAlphaBlendValue = 255;
    TOwnedPtr<TIcon> FIcon;
    TWindowState FWindowState = wsNormal;
    bool FKeyPreview = false;
    bool FActive = false;
    TFormState FFormState;
    TWinControl* FActiveControl = nullptr;
    TWinControl* FFocusedControl = nullptr;
    TModalResult FModalResult = mrNone;
};

class TForm : public TCustomForm {
    X_CLASS(TForm, TCustomForm)
};

class TScrollingWinControl;

// One scroll bar of a scrolling control, drawn in the control's frame.
// Range is the extent of the content (set by the control while AutoScroll
// is on); the bar shows while Visible and the range exceeds the client
// area. Position is how far the content is scrolled, in pixels.
class TControlScrollBar : public TPersistent {
    X_CLASS(TControlScrollBar, TPersistent)
public:
    void Create(TScrollingWinControl* AControl, TScrollBarKind AKind);

    TScrollBarKind Kind() const { return FKind; }
    Integer Position() const { return FBar.Position(); }
    // Scrolls the content there (clamped to the range).
    void SetPosition(Integer Value);
    Integer Range() const { return FRange; }
    // A range set in code turns the control's AutoScroll off.
    void SetRange(Integer Value);
    // The step of an arrow; Smooth makes it a tenth of the page instead.
    Integer Increment() const;
    void SetIncrement(Integer Value);
    bool Smooth() const { return FSmooth; }
    void SetSmooth(bool Value);
    // The content follows the thumb while it is dragged (else when it is let go).
    bool Tracking() const { return FTracking; }
    void SetTracking(bool Value) { FTracking = Value; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    // The bar shows now.
    bool IsScrollBarVisible() const { return FShown; }
    // Across the bar, in pixels (the system's scroll bar size).
    Integer Size() const;

private:
    friend class TScrollingWinControl;
    TScrollingWinControl* FControl = nullptr;
    TScrollBarKind FKind = sbVertical;
    Integer FRange = 0;
    Integer FIncrement = 8;
    bool FSmooth = false;
    bool FTracking = false;
    bool FVisible = true;
    bool FShown = false;
    TStripScrollBar FBar;
    // A scroll code from the bar or WM_HSCROLL/WM_VSCROLL.
    void ScrollMessage(Integer Code, Integer Pos);
};

// A windowed control whose children may reach beyond its client area:
// scroll bars in its frame (WM_NCCALCSIZE, WM_NCPAINT, WM_NCHITTEST) move
// them through ScrollBy; the wheel scrolls too. With AutoScroll the bars'
// ranges follow the children and the bars come and go with them.
class TScrollingWinControl : public TWinControl {
    X_CLASS(TScrollingWinControl, TWinControl)
    X_DECLARE_MESSAGES(TScrollingWinControl)
public:
    void Create(TComponent* AOwner) override;
    ~TScrollingWinControl() override;

    TControlScrollBar* HorzScrollBar() const { return FHorzScrollBar.get(); }
    TControlScrollBar* VertScrollBar() const { return FVertScrollBar.get(); }
    bool AutoScroll() const { return FAutoScroll; }
    void SetAutoScroll(bool Value);
    // Scrolls until the control (a child or deeper) shows whole, as far as it fits.
    void ScrollInView(TControl* AControl);
    void AlignControls(TControl* AControl, TRect& Rect) override;

protected:
    void ChildBoundsChanged(TControl* Child) override;
    bool DoMouseWheel(TShiftState Shift, Integer WheelDelta, TPoint MousePos) override;
    // The ranges from the children (AutoScroll), then the bars' visibility,
    // pages and positions.
    void UpdateScrollBars();
    // Where a bar lies in window coordinates; empty while it does not show.
    TRect ScrollBarRect(TScrollBarKind Kind);

    void WMNCCalcSize(TMessage& Message);
    void WMNCPaint(TMessage& Message);
    void WMNCHitTest(TMessage& Message);
    void WMNCLButtonDown(TMessage& Message);
    void WMMouseMove(TMessage& Message);
    void WMLButtonUp(TMessage& Message);
    void WMHScroll(TMessage& Message);
    void WMVScroll(TMessage& Message);
    void WMSize(TMessage& Message);

private:
    friend class TControlScrollBar;
    TControlScrollBar* Bar(TScrollBarKind Kind) const
    {
        return Kind == sbVertical ? FVertScrollBar.get() : FHorzScrollBar.get();
    }
    // The content's extent along a bar's axis, scrolled back to 0.
    Integer ContentExtent(TScrollBarKind Kind);
    // A point of the screen in window coordinates.
    TPoint ScreenToWindow(TPoint P);
    void PaintScrollBars();

    TOwnedPtr<TControlScrollBar> FHorzScrollBar;
    TOwnedPtr<TControlScrollBar> FVertScrollBar;
    bool FAutoScroll = true;
    Integer FUpdating = 0;
    TControlScrollBar* FDragging = nullptr; // the bar whose thumb is held
};

// The border of a control: bsNone or bsSingle (a sunken edge).
using TBorderStyle = TFormBorderStyle;

// A scrolling container with an optional sunken border.
class TScrollBox : public TScrollingWinControl {
    X_CLASS(TScrollBox, TScrollingWinControl)
public:
    void Create(TComponent* AOwner) override;
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle Value);

protected:
    void CreateParams(TCreateParams& Params) override;

private:
    TBorderStyle FBorderStyle = bsSingle;
};

// A frame: a scrolling container of controls designed together, placed on
// forms and other containers.
class TCustomFrame : public TScrollingWinControl {
    X_CLASS(TCustomFrame, TScrollingWinControl)
public:
    void Create(TComponent* AOwner) override;
};

class TFrame : public TCustomFrame {
    X_CLASS(TFrame, TCustomFrame)
};

// The caption's accelerator (the character after a single "&") is Key,
// without regard to case.
bool IsAccel(Char Key, const String& Caption);

// Disables the thread's shown and enabled windows other than Active, and
// answers them; EnableTaskWindows enables those still alive again.
std::vector<HWND> DisableTaskWindows(HWND Active);
void EnableTaskWindows(const std::vector<HWND>& Windows);

// The form a control lives on, null for none.
TCustomForm* GetParentForm(TControl* Control);

extern TApplication* Application;
extern TScreen* Screen;
