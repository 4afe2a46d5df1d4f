// Controls: the class library's visual components on the window tree.
//
// A TControl has a parent, bounds in its parent's client area, alignment,
// visibility, enabling, a colour and a cursor, and mouse events. A
// TWinControl owns a window (its Handle, made from CreateParams when first
// needed) and holds child controls; a TGraphicControl has no window and
// paints into its parent's window; TCustomControl is a windowed control
// that paints on its own canvas.
//
// Every message reaches a control through WindowProc (WndProc by default),
// then Dispatch: the message methods registered for its number (see
// vcl/MessageMap.h), else DefaultHandler (DefWindowProc for windowed
// controls). Perform sends a message to the control directly.
//
//     auto* Panel = New<TMyPanel>(Form);
//     Panel->SetParent(Form);
//     Panel->SetBounds(8, 8, 200, 100);
//     Panel->OnClick = [](TObject* Sender) { ... };
//
// Handlers may free the control that runs them (an OnClick that frees its
// form): nothing of the control is touched after such a handler returns.
#pragma once
#include "gdi/Canvas.h"
#include "gdi/Colors.h"
#include "rtl/Component.h"
#include "rtl/LifeWatch.h"
#include "vcl/MessageMap.h"
#include "vcl/UITypes.h"
#include "win/Messages.h"
#include "win/WinApi.h"
#include <functional>
#include <vector>

struct HDC__;
using HDC = HDC__*;

// Messages of the class library's controls.
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0;
constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
constexpr UINT CM_GOTFOCUS = CM_BASE + 2;
constexpr UINT CM_LOSTFOCUS = CM_BASE + 3;
constexpr UINT CM_CANCELMODE = CM_BASE + 4;
constexpr UINT CM_DIALOGKEY = CM_BASE + 5;
constexpr UINT CM_DIALOGCHAR = CM_BASE + 6;
constexpr UINT CM_FOCUSCHANGED = CM_BASE + 7;
constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 8;
constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 9;
constexpr UINT CM_HITTEST = CM_BASE + 10;
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 11;
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 12;
constexpr UINT CM_COLORCHANGED = CM_BASE + 13;
constexpr UINT CM_FONTCHANGED = CM_BASE + 14;
constexpr UINT CM_CURSORCHANGED = CM_BASE + 15;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
constexpr UINT CM_SHOWINGCHANGED = CM_BASE + 25;
constexpr UINT CM_ENTER = CM_BASE + 26;
constexpr UINT CM_EXIT = CM_BASE + 27;
constexpr UINT CM_WANTSPECIALKEY = CM_BASE + 30;
constexpr UINT CM_RELEASE = CM_BASE + 33;
constexpr UINT CM_TABSTOPCHANGED = CM_BASE + 40;
constexpr UINT CM_CHILDKEY = CM_BASE + 46;
constexpr UINT CM_RECREATEWND = CM_BASE + 51;
constexpr UINT CM_INVALIDATE = CM_BASE + 52;
constexpr UINT CM_CONTROLLISTCHANGE = CM_BASE + 44;
constexpr UINT CM_CONTROLCHANGE = CM_BASE + 54;
constexpr UINT CM_STYLECHANGED = CM_BASE + 89;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TScrollBarKind { sbHorizontal, sbVertical };
// What a scroll bar was asked to do, as the scroll codes say it.
enum TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll };

// The parent's edges a control keeps its distance to when the parent is
// sized (controls aligned to an edge follow their alignment instead). A
// control anchored to neither edge of a pair keeps its centre at the same
// fraction of the parent.
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = TSet<TAnchorKind>;

enum TControlStyleItem {
    csAcceptsControls,
    csCaptureMouse,
    csDesignInteractive,
    csClickEvents,
    csFramed,
    csSetCaption,
    csOpaque,
    csDoubleClicks,
    csFixedWidth,
    csFixedHeight,
    csNoDesignVisible,
    csReplicatable,
    csNoStdEvents,
    csDisplayDragImage,
    csReflector,
    csActionClient,
    csMenuEvents,
    csNeedsBorderPaint,
    csParentBackground,
    csPannable,
    csAlignWithMargins,
    csGestures,
    csPaintBlackOpaqueOnGlass,
    csOverrideStylePaint
};
using TControlStyle = TSet<TControlStyleItem>;

enum TControlStateItem {
    csLButtonDown,
    csClicked,
    csPalette,
    csReadingState,
    csAlignmentNeeded,
    csFocusing,
    csCreating,
    csPaintCopy,
    csCustomPaint,
    csDestroyingHandle,
    csDocking,
    csDesignerHide,
    csPanning,
    csRecreating,
    csAligning
};
using TControlState = TSet<TControlStateItem>;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateItem>;

class TControl;
class TWinControl;

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, Integer X, Integer Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, Integer X, Integer Y)>;
using TMouseWheelEvent =
    std::function<void(TObject* Sender, TShiftState Shift, Integer WheelDelta, TPoint MousePos, bool& Handled)>;
using TKeyEvent = std::function<void(TObject* Sender, Word& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, Char& Key)>;

// The shift state of a mouse message's key bits, or of the keyboard now.
TShiftState KeysToShiftState(WPARAM Keys);
TShiftState KeyboardStateToShiftState();

// A canvas on a control: on a device context of its window (or, for a
// graphic control, of its parent's window) while Handle is set. What is
// drawn lands in the window's bitmap, inside the context's clip area, when
// the handle is let go (SetHandle(nullptr) or FreeHandle).
class TControlCanvas : public TCanvas {
    X_CLASS(TControlCanvas, TCanvas)
public:
    void Create() override;
    ~TControlCanvas() override;

    TControl* Control() const { return FControl; }
    void SetControl(TControl* Value);
    // The context; a context of the control's window is taken when none is
    // set, given back by FreeHandle (the application does it after every
    // message).
    HDC Handle();
    void SetHandle(HDC Value);
    bool HandleAllocated() const { return FHandle != nullptr; }
    void FreeHandle();

private:
    void Bind(HDC Dc);
    void Unbind();

    TControl* FControl = nullptr;
    HDC FHandle = nullptr;
    bool FOwnDC = false;
    TOwnedPtr<TBitmap> FScratch;
    RECT FBox {}; // the logical area the scratch bitmap holds
};

// Lets go of every context that control canvases took for themselves.
void FreeDeviceContexts();

// A window's picture (its bitmap with its shown children over it) as a
// 24-bit bitmap; false for a dead window.
bool GetWindowBitmap(HWND Wnd, TBitmap* Bitmap);

struct TCreateParams {
    String Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    Integer X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = nullptr;
    void* Param = nullptr;
    WNDCLASS WindowClass;
    String WinClassName;
};

// A window method: the control's procedure for every message.
struct TWindowMethod {
    void (*Code)(void* Data, TMessage& Message) = nullptr;
    void* Data = nullptr;
    explicit operator bool() const { return Code != nullptr; }
    void operator()(TMessage& Message) const { Code(Data, Message); }
    template<auto Method, class T>
    static TWindowMethod Of(T* Obj)
    {
        return { [](void* Self, TMessage& M) { (static_cast<T*>(Self)->*Method)(M); }, Obj };
    }
    friend bool operator==(const TWindowMethod&, const TWindowMethod&) = default;
};

class TControl : public TComponent {
    X_CLASS(TControl, TComponent)
    X_DECLARE_MESSAGES(TControl)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;
    ~TControl() override;

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* AParent);
    bool HasParent() const { return FParent != nullptr; }

    Integer Left() const { return FLeft; }
    Integer Top() const { return FTop; }
    Integer Width() const { return FWidth; }
    Integer Height() const { return FHeight; }
    void SetLeft(Integer Value) { SetBounds(Value, FTop, FWidth, FHeight); }
    void SetTop(Integer Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
    void SetWidth(Integer Value) { SetBounds(FLeft, FTop, Value, FHeight); }
    void SetHeight(Integer Value) { SetBounds(FLeft, FTop, FWidth, Value); }
    virtual void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight);
    TRect BoundsRect() const { return { FLeft, FTop, FLeft + FWidth, FTop + FHeight }; }
    void SetBoundsRect(const TRect& R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }
    // Client coordinates: (0, 0, ClientWidth, ClientHeight).
    virtual TRect ClientRect();
    Integer ClientWidth() { return ClientRect().Width(); }
    Integer ClientHeight() { return ClientRect().Height(); }
    void SetClientWidth(Integer Value) { SetClientSize(Value, ClientHeight()); }
    void SetClientHeight(Integer Value) { SetClientSize(ClientWidth(), Value); }
    virtual void SetClientSize(Integer AWidth, Integer AHeight);
    // The client area's top-left corner on the screen.
    virtual TPoint ClientOrigin();
    TPoint ClientToScreen(TPoint P)
    {
        TPoint O = ClientOrigin();
        return { P.X + O.X, P.Y + O.Y };
    }
    TPoint ScreenToClient(TPoint P)
    {
        TPoint O = ClientOrigin();
        return { P.X - O.X, P.Y - O.Y };
    }
    // Client coordinates of this control into its parent's.
    TPoint ClientToParent(TPoint P, TWinControl* AParent = nullptr);

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign Value);
    TAnchors Anchors() const { return FAnchors; }
    void SetAnchors(TAnchors Value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool Value);
    TControlStyle ControlStyle() const { return FControlStyle; }
    void SetControlStyle(TControlStyle Value) { FControlStyle = Value; }
    TControlState ControlState() const { return FControlState; }
    void SetControlState(TControlState Value) { FControlState = Value; }
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool Value);
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor Value);
    // The font the control draws its text with. The picture layer's fonts
    // tell nobody of a change: a change goes through SetFont (or is
    // followed by Perform(CM_FONTCHANGED)).
    TFont* Font() const { return FFont.get(); }
    void SetFont(TFont* Value);
    // Takes the parent's font, and its changes (true after construction).
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool Value);
    const String& Caption() const { return FText; }
    void SetCaption(const String& Value) { SetText(Value); }
    const String& Text() const { return FText; }
    virtual void SetText(const String& Value);
    const String& Hint() const { return FHint; }
    void SetHint(const String& Value) { FHint = Value; }
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool Value) { FShowHint = Value; }
    // Visible, and every parent showing.
    virtual bool Showing() const;

    // Shown again: the control's rectangle in its parent is invalidated.
    virtual void Invalidate();
    // Paints what waits at once.
    virtual void Update();
    virtual void Repaint();
    void Refresh() { Repaint(); }
    void BringToFront();
    void SendToBack();

    // Code outside the control that calls out of it (and may see a handler
    // free it) watches this mark.
    TLifeMark& LifeMark() { return FLife; }

    // Sends a message to the control itself (through WindowProc).
    LRESULT Perform(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
    const TWindowMethod& WindowProc() const { return FWindowProc; }
    void SetWindowProc(const TWindowMethod& Value) { FWindowProc = Value; }
    virtual void WndProc(TMessage& Message);
    // The message methods of the class chain, then DefaultHandler.
    void Dispatch(TMessage& Message) { DispatchFrom(ClassType(), Message); }
    void DispatchFrom(TClass Start, TMessage& Message);
    virtual void DefaultHandler(TMessage& Message);

    // Scales position and size by M / D (fonts follow when there are any).
    virtual void ChangeScale(Integer M, Integer D);
    void ScaleBy(Integer M, Integer D);

    virtual void Click();
    virtual void DblClick();
    // True when the mouse is held by this control.
    bool MouseCapture() const;
    void SetMouseCapture(bool Value);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TMouseWheelEvent OnMouseWheel;
    TNotifyEvent OnResize;

protected:
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y);
    virtual void MouseMove(TShiftState Shift, Integer X, Integer Y);
    // False lets the wheel go on to the parent.
    virtual bool DoMouseWheel(TShiftState Shift, Integer WheelDelta, TPoint MousePos);
    virtual void Resize();
    // The control's position changed; windowed controls move their window.
    virtual void BoundsChanged() { }
    virtual void VisibleChanging() { }
    // Runs Handler with the control as Sender; answers false when the
    // handler freed the control (the caller then touches nothing of it).
    bool Fire(const TNotifyEvent& Handler);

    void WMLButtonDown(TMessage& Message);
    void WMLButtonUp(TMessage& Message);
    void WMLButtonDblClk(TMessage& Message);
    void WMRButtonDown(TMessage& Message);
    void WMRButtonUp(TMessage& Message);
    void WMMButtonDown(TMessage& Message);
    void WMMButtonUp(TMessage& Message);
    void WMMouseMove(TMessage& Message);
    void WMMouseWheel(TMessage& Message);
    void CMMouseEnter(TMessage& Message);
    void CMMouseLeave(TMessage& Message);
    void CMVisibleChanged(TMessage& Message);
    void CMEnabledChanged(TMessage& Message);
    void CMColorChanged(TMessage& Message);
    void CMParentColorChanged(TMessage& Message);
    void CMFontChanged(TMessage& Message);
    void CMParentFontChanged(TMessage& Message);
    void CMHitTest(TMessage& Message);

    TLifeMark FLife;
    TWinControl* FParent = nullptr;
    Integer FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TAlign FAlign = alNone;
    TAnchors FAnchors { akLeft, akTop };
    bool FVisible = true;
    bool FEnabled = true;
    TControlStyle FControlStyle { csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks };
    TControlState FControlState;
    TColor FColor = clBtnFace;
    bool FParentColor = false;
    TCursor FCursor = crDefault;
    TOwnedPtr<TFont> FFont;
    bool FParentFont = true;
    String FText;
    String FHint;
    bool FShowHint = false;
    TWindowMethod FWindowProc;

private:
    friend class TWinControl;
    // The bounds and the parent's client size the anchors measure from,
    // taken whenever the control is placed other than by its anchors.
    void UpdateAnchorRules();
    void ApplyAnchors(TPoint ParentSize);
    TRect FAnchorOrigin;
    TPoint FAnchorParentSize;
    void DoMouseDown(TMessage& Message, TMouseButton Button, TShiftState Extra);
    void DoMouseUp(TMessage& Message, TMouseButton Button);
};

// The control that holds the mouse (a graphic control holds it through
// its parent's window); null for none.
TControl* GetCaptureControl();
void SetCaptureControl(TControl* Control);
// The windowed control behind a window of this program; null for others.
TWinControl* FindControl(HWND Wnd);
// A key down that the form takes as a dialog key (Tab moving the focus):
// true when taken, and then the key goes no further. Message loops ask
// before TranslateMessage, so no character is made of such a key.
bool IsDialogKeyMessage(const MSG& Msg);
// The control under a screen point: the windowed control there or its
// graphic child under the point.
TControl* FindDragTarget(TPoint Pos, bool AllowDisabled);

class TWinControl : public TControl {
    X_CLASS(TWinControl, TControl)
    X_DECLARE_MESSAGES(TWinControl)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;
    ~TWinControl() override;

    // The control's window, made (with its parents' and children's) when
    // first asked for.
    HWND Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    void HandleNeeded() { Handle(); }
    // A window outside this library to live in, when there is no parent.
    HWND ParentWindow() const { return FParentWindow; }
    void SetParentWindow(HWND Value);
    // The window is made again (CM_RECREATEWND): children, bounds, text,
    // visibility and focus stay as they were.
    void RecreateWnd();
    // Hands Key to the form as a dialog key unless this control keeps it
    // (WantsKey); true when the form took it.
    bool DialogKey(Word Key);

    // The child controls: the graphic ones, then the windowed ones.
    Integer ControlCount() const { return Integer(FControls.size() + FWinControls.size()); }
    TControl* Controls(Integer Index) const
    {
        return size_t(Index) < FControls.size() ? FControls[size_t(Index)]
                                                : FWinControls[size_t(Index) - FControls.size()];
    }
    void InsertControl(TControl* AControl);
    void RemoveControl(TControl* AControl);
    bool ContainsControl(TControl* Control) const;
    // The child control at a client point: graphic controls over windowed
    // ones, topmost first; null when none (invisible and, unless allowed,
    // disabled ones are passed over).
    TControl* ControlAtPos(TPoint Pos, bool AllowDisabled, bool AllowWinControls = false);
    // Sends Message to every child control, until one sets a result; a
    // child freed or moved away by an earlier handler is passed over, and a
    // handler that frees this control ends it.
    void Broadcast(TMessage& Message);
    void NotifyControls(UINT Msg);

    // Alignment of the child controls; DisableAlign/EnableAlign nest.
    void Realign();
    // Moves the children and the pixels under them by (DeltaX, DeltaY):
    // only what the move uncovers is painted again.
    void ScrollBy(Integer DeltaX, Integer DeltaY);
    void DisableAlign() { ++FAlignLevel; }
    void EnableAlign();
    virtual void AlignControls(TControl* AControl, TRect& Rect);
    // The anchored children follow the client area's new size.
    void AnchorControls();

    // Focus.
    virtual bool CanFocus();
    bool Focused();
    virtual void SetFocus();
    Integer TabOrder() const;
    void SetTabOrder(Integer Value);
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool Value);
    // The windowed children in tab order.
    std::vector<TWinControl*> TabList() const;
    // The next control after CurControl in the tab order of this control's
    // children and theirs (going back with GoForward false), that can take
    // the focus (and has TabStop when CheckTabStop); null for none.
    TWinControl* FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop, bool CheckParent);
    void SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop);

    TRect ClientRect() override;
    TPoint ClientOrigin() override;
    void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;
    bool Showing() const override;
    void Invalidate() override;
    void Update() override;
    void Repaint() override;
    void DefaultHandler(TMessage& Message) override;
    void WndProc(TMessage& Message) override;
    void ChangeScale(Integer M, Integer D) override;
    void SetEnabled(bool Value) override;
    void SetText(const String& Value) override;

    // The graphic children painted into a context of this window.
    void PaintControls(HDC Dc, TControl* First);
    // A top-level container (a form) hears that focus moved to Control,
    // one of its own; answers whether it took note.
    virtual bool SetFocusedControl(TWinControl* Control) { return false; }

    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

protected:
    virtual void CreateParams(TCreateParams& Params);
    virtual void CreateWnd();
    virtual void CreateHandle();
    virtual void DestroyWnd();
    virtual void DestroyHandle();
    // Paints the window itself (TCustomControl: its Paint).
    virtual void PaintWindow(HDC Dc) { }
    virtual void DoEnter();
    virtual void DoExit();
    virtual void KeyDown(Word& Key, TShiftState Shift);
    virtual void KeyUp(Word& Key, TShiftState Shift);
    virtual void KeyPress(Char& Key);
    // A dialog key (Tab, arrows, Return, Escape) this control does not
    // keep: handled by the form (CM_DIALOGKEY).
    virtual bool WantsKey(Word Key);
    // A top-level container that sees its controls' keys first (a form with
    // KeyPreview); true when it ate the key.
    virtual bool PreviewKeyDown(Word& Key, TShiftState Shift) { return false; }
    virtual bool PreviewKeyUp(Word& Key, TShiftState Shift) { return false; }
    virtual bool PreviewKeyPress(Char& Key) { return false; }
    // True for controls whose look shows the focus (a highlighted frame or
    // selection): they are painted again when it comes and when it goes.
    virtual bool PaintsFocus() { return false; }
    // A child came, went, moved, was sized, shown or hidden.
    virtual void ChildBoundsChanged(TControl* Child) { }
    void BoundsChanged() override;
    void UpdateShowing();

    void WMPaint(TMessage& Message);
    void WMEraseBkgnd(TMessage& Message);
    void WMNCHitTest(TMessage& Message);
    void WMSetCursor(TMessage& Message);
    void WMSetFocus(TMessage& Message);
    void WMKillFocus(TMessage& Message);
    void WMKeyDown(TMessage& Message);
    void WMKeyUp(TMessage& Message);
    void WMChar(TMessage& Message);
    void WMMouseLeave(TMessage& Message);
    void WMNCDestroy(TMessage& Message);
    void WMWindowPosChanged(TMessage& Message);
    void WMGetDlgCode(TMessage& Message);
    void WMNCPaint(TMessage& Message);
    void CMRecreateWnd(TMessage& Message);
    void CMShowingChanged(TMessage& Message);
    void CMVisibleChanged(TMessage& Message);
    void CMTextChanged(TMessage& Message);
    void CMEnter(TMessage& Message);
    void CMExit(TMessage& Message);
    void CMEnabledChanged(TMessage& Message);
    void CMColorChanged(TMessage& Message);
    void CMFontChanged(TMessage& Message);
    void CMDialogKey(TMessage& Message);
    void CMDialogChar(TMessage& Message);
    void WMSysChar(TMessage& Message);

    HWND FHandle = nullptr;
    HWND FParentWindow = nullptr;
    std::vector<TControl*> FControls; // graphic children, in paint order
    std::vector<TWinControl*> FWinControls; // windowed children, bottom first
    std::vector<TWinControl*> FTabList;
    bool FTabStop = false;
    Integer FAlignLevel = 0;
    bool FSettingBounds = false;

private:
    friend class TControl;
    friend LRESULT ControlWindowProc(HWND, UINT, WPARAM, LPARAM);
    void DoAlign(TAlign AAlign, TRect& Rect);
    // Fn on each child that is still one (a call may free or move any
    // child) until it answers true; false when a call freed this control.
    bool ForEachChild(const std::function<bool(TControl*)>& Fn);
    bool IsControlMouseMsg(TMessage& Message);
    void TrackMouse(TControl* Target);
    void UpdateBoundsFromWindow();
};

class TGraphicControl : public TControl {
    X_CLASS(TGraphicControl, TControl)
    X_DECLARE_MESSAGES(TGraphicControl)
public:
    void Create(TComponent* AOwner) override;
    ~TGraphicControl() override;
    TCanvas* Canvas() const { return FCanvas.get(); }

protected:
    virtual void Paint() { }
    void WMPaint(TMessage& Message);

private:
    TOwnedPtr<TControlCanvas> FCanvas;
};

class TCustomControl : public TWinControl {
    X_CLASS(TCustomControl, TWinControl)
public:
    void Create(TComponent* AOwner) override;
    ~TCustomControl() override;
    TCanvas* Canvas() const { return FCanvas.get(); }

protected:
    virtual void Paint() { }
    void PaintWindow(HDC Dc) override;

private:
    TOwnedPtr<TControlCanvas> FCanvas;
};

// The small window a hint shows in: a top-level window that is never
// activated or focused and lets the pointer through to what lies under it.
// The application shows it over the control under the pointer after
// HintPause (TApplication::ActivateHint).
class THintWindow : public TCustomControl {
    X_CLASS(THintWindow, TCustomControl)
    X_DECLARE_MESSAGES(THintWindow)
public:
    void Create(TComponent* AOwner) override;

    // Shows AHint in Rect (screen coordinates), over every other window.
    virtual void ActivateHint(TRect Rect, const String& AHint);
    // Hides it.
    void ReleaseHandle();
    // Where AHint fits, lines broken at MaxWidth, at (0, 0).
    virtual TRect CalcHintRect(Integer MaxWidth, const String& AHint);

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
    void WMNCHitTest(TMessage& Message);
};
