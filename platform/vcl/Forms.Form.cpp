#include "vcl/Forms.h"
#include "win/Input.h"
#include "win/Monitors.h"
#include "win/WindowDecor.h"
#include "win/WindowPlacement.h"
#include <algorithm>

X_MESSAGES(TCustomForm)
{
    X_MESSAGE(WM_CLOSE, WMClose);
    X_MESSAGE(WM_ACTIVATE, WMActivate);
    X_MESSAGE(CM_SHOWINGCHANGED, CMShowingChanged);
    X_MESSAGE(CM_DIALOGKEY, CMDialogKey);
    X_MESSAGE(CM_RELEASE, CMRelease);
}

std::vector<HWND> DisableTaskWindows(HWND Active)
{
    std::vector<HWND> Disabled;
    for (HWND Wnd : EnumWindows()) {
        if (Wnd == Active || GetWindowThreadProcessId(Wnd) != GetCurrentThreadId())
            continue;
        if (IsWindowVisible(Wnd) && IsWindowEnabled(Wnd)) {
            EnableWindow(Wnd, false);
            Disabled.push_back(Wnd);
        }
    }
    return Disabled;
}

void EnableTaskWindows(const std::vector<HWND>& Windows)
{
    for (HWND Wnd : Windows)
        if (IsWindow(Wnd))
            EnableWindow(Wnd, true);
}

namespace {

TRect CenteredIn(const TRect& Area, Integer Width, Integer Height)
{
    const Integer L = Area.Left + (Area.Width() - Width) / 2;
    const Integer T = Area.Top + (Area.Height() - Height) / 2;
    return { L, T, L + Width, T + Height };
}

}

TCustomForm* GetParentForm(TControl* Control)
{
    TControl* Top = Control;
    while (Top && Top->Parent())
        Top = Top->Parent();
    return DynamicCast<TCustomForm>(Top);
}

void TCustomForm::Create(TComponent* AOwner)
{
    FFormState.Include(fsCreating);
    inherited::Create(AOwner);
    FVisible = false;
    FControlStyle.Include(csAcceptsControls);
    FWidth = 320;
    FHeight = 240;
    FIcon = MakeOwned<TIcon>();
    if (Screen)
        Screen->FForms.push_back(this);
    FFormState.Exclude(fsCreating);
}

void TCustomForm::BeforeDestruction()
{
    Fire(OnDestroy);
    if (Screen)
        std::erase(Screen->FForms, this);
    if (Application && Application->FMainForm == this)
        Application->FMainForm = nullptr;
    inherited::BeforeDestruction();
}

TCustomForm::~TCustomForm() = default;

void TCustomForm::SetBorderStyle(TFormBorderStyle Value)
{
    if (FBorderStyle == Value)
        return;
    FBorderStyle = Value;
    RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle Value)
{
    if (FFormStyle == Value)
        return;
    FFormStyle = Value;
    RecreateWnd();
}

TWindowState TCustomForm::WindowState() const
{
    if (FHandle && IsIconic(FHandle))
        return wsMinimized;
    return FWindowState == wsMinimized && FHandle ? wsNormal : FWindowState;
}

void TCustomForm::SetWindowState(TWindowState Value)
{
    FWindowState = Value;
    if (FHandle && Showing())
        ShowWindow(FHandle, Value == wsMinimized ? SW_SHOWMINIMIZED : Value == wsMaximized ? SW_MAXIMIZE : SW_RESTORE);
}

void TCustomForm::CreateParams(TCreateParams& Params)
{
    inherited::CreateParams(Params);
    Params.Style &= ~(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS);
    Params.Style |= WS_CLIPCHILDREN;
    Params.WndParent = Application ? Application->Handle() : nullptr;
    switch (FBorderStyle) {
    case bsNone: Params.Style |= WS_POPUP; break;
    case bsSingle: Params.Style |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX; break;
    case bsSizeable: Params.Style |= WS_OVERLAPPEDWINDOW; break;
    case bsDialog:
        Params.Style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
        Params.ExStyle |= WS_EX_DLGMODALFRAME;
        break;
    case bsToolWindow:
        Params.Style |= WS_CAPTION | WS_SYSMENU;
        Params.ExStyle |= WS_EX_TOOLWINDOW;
        break;
    case bsSizeToolWin:
        Params.Style |= WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
        Params.ExStyle |= WS_EX_TOOLWINDOW;
        break;
    }
    if (FFormStyle == fsStayOnTop)
        Params.ExStyle |= WS_EX_TOPMOST;
}

void TCustomForm::CreateWnd()
{
    inherited::CreateWnd();
    ApplyAlphaBlend();
    ApplyIcon();
}

void TCustomForm::SetAlphaBlend(bool Value)
{
    if (FAlphaBlend == Value)
        return;
    FAlphaBlend = Value;
    ApplyAlphaBlend();
}

void TCustomForm::SetAlphaBlendValue(Byte Value)
{
    if (FAlphaBlendValue == Value)
        return;
    FAlphaBlendValue = Value;
    ApplyAlphaBlend();
}

void TCustomForm::ApplyAlphaBlend()
{
    if (!FHandle)
        return;
    const LONG_PTR ExStyle = GetWindowLongPtr(FHandle, GWL_EXSTYLE);
    if (FAlphaBlend) {
        SetWindowLongPtr(FHandle, GWL_EXSTYLE, ExStyle | WS_EX_LAYERED);
        SetLayeredWindowAttributes(FHandle, 0, FAlphaBlendValue, LWA_ALPHA);
    } else if (ExStyle & WS_EX_LAYERED) {
        SetLayeredWindowAttributes(FHandle, 0, 255, LWA_ALPHA);
        SetWindowLongPtr(FHandle, GWL_EXSTYLE, ExStyle & ~LONG_PTR(WS_EX_LAYERED));
    }
}

void TCustomForm::SetIcon(TIcon* Value)
{
    if (Value)
        FIcon->Assign(Value);
    else
        FIcon = MakeOwned<TIcon>();
    ApplyIcon();
}

namespace {

// The entry of an icon file that suits a window's icon, as 32-bit pixels
// with their opacity; empty when the data holds no usable picture.
TPixelBuffer WindowIconPicture(std::span<const Byte> Data)
{
    TIconFile File;
    TIconImage Image;
    if (!ReadIconFile(Data, File) || !ReadIconImage(File, SelectIconEntry(File, SystemIconSize, SystemIconSize, 32), Image))
        return {};
    TPixelBuffer Picture(Image.Width, Image.Height);
    for (Integer Y = 0; Y < Image.Height; ++Y) {
        Byte* Row = Picture.ScanLine(Y);
        for (Integer X = 0; X < Image.Width; ++X) {
            const size_t I = size_t(Y) * size_t(Image.Width) + size_t(X);
            std::copy_n(&Image.Pixels[I * 4], 3, Row + X * 4);
            Row[X * 4 + 3] = Image.HasAlpha ? Image.Pixels[I * 4 + 3] : Image.Mask[I] ? 0 : 255;
        }
    }
    return Picture;
}

}

void TCustomForm::ApplyIcon()
{
    if (FHandle)
        SetWindowIconPicture(FHandle, WindowIconPicture(FIcon->Data()));
}

TMonitor* TCustomForm::Monitor()
{
    if (!Screen)
        return nullptr;
    if (FHandle)
        return Screen->MonitorFromWindow(FHandle);
    const TRect R = BoundsRect();
    return Screen->MonitorFromPoint({ R.Left + R.Width() / 2, R.Top + R.Height() / 2 });
}

TMonitor* TCustomForm::ChosenMonitor()
{
    // Before the program has a main form there is nothing to follow.
    if (!Screen || !Application || !Application->MainForm())
        return nullptr;
    TCustomForm* Other = nullptr;
    switch (FDefaultMonitor) {
    case dmDesktop: return nullptr;
    case dmPrimary: return Screen->PrimaryMonitor();
    case dmMainForm: Other = Application->MainForm(); break;
    case dmActiveForm: Other = Screen->ActiveForm(); break;
    }
    return Other && Other != this && Other->HandleAllocated() ? Other->Monitor() : nullptr;
}

bool TCustomForm::Showing() const
{
    return FVisible;
}

void TCustomForm::PlaceOnScreen()
{
    TRect Area;
    switch (FPosition) {
    case poScreenCenter: {
        TMonitor* M = ChosenMonitor();
        if (!M && Screen)
            M = Screen->PrimaryMonitor();
        if (M)
            Area = M->WorkareaRect();
        break;
    }
    case poDesktopCenter:
        if (Screen)
            for (Integer I = 0; I < Screen->MonitorCount(); ++I) {
                const TRect B = Screen->Monitors(I)->BoundsRect();
                Area = I == 0 ? B
                              : TRect { std::min(Area.Left, B.Left), std::min(Area.Top, B.Top),
                                    std::max(Area.Right, B.Right), std::max(Area.Bottom, B.Bottom) };
            }
        break;
    case poMainFormCenter:
    case poOwnerFormCenter: {
        TCustomForm* Center = FPosition == poOwnerFormCenter ? DynamicCast<TCustomForm>(Owner()) : nullptr;
        if (!Center && Application)
            Center = Application->MainForm();
        if (Center && Center != this)
            Area = Center->BoundsRect();
        else if (TMonitor* M = Screen ? Screen->PrimaryMonitor() : nullptr)
            Area = M->WorkareaRect();
        break;
    }
    case poDesigned: {
        // Taken to the chosen monitor at the same place relative to it.
        TMonitor* To = ChosenMonitor();
        TMonitor* From = To ? Monitor() : nullptr;
        if (From && From != To)
            SetBounds(FLeft - From->Left() + To->Left(), FTop - From->Top() + To->Top(), FWidth, FHeight);
        return;
    }
    default: return;
    }
    if (!Area.IsEmpty())
        SetBoundsRect(CenteredIn(Area, FWidth, FHeight));
}

void TCustomForm::CMShowingChanged(TMessage& Message)
{
    TLifeWatch Watch(FLife);
    if (Showing()) {
        PlaceOnScreen();
        FFormState.Include(fsShowing);
        DoShow();
        if (Watch.Freed())
            return;
        FFormState.Exclude(fsShowing);
        ShowWindow(FHandle,
            FWindowState == wsMinimized       ? SW_SHOWMINIMIZED
                : FWindowState == wsMaximized ? SW_MAXIMIZE
                                              : SW_SHOWNORMAL);
        if (!Watch.Freed())
            FFormState.Include(fsVisible);
    } else {
        DoHide();
        if (Watch.Freed())
            return;
        FFormState.Exclude(fsVisible);
        if (FHandle)
            ShowWindow(FHandle, SW_HIDE);
    }
}

void TCustomForm::DoShow()
{
    Fire(OnShow);
}

void TCustomForm::DoHide()
{
    Fire(OnHide);
}

void TCustomForm::Activate()
{
    Fire(OnActivate);
}

void TCustomForm::Deactivate()
{
    Fire(OnDeactivate);
}

void TCustomForm::Show()
{
    SetVisible(true);
    if (FHandle)
        SetForegroundWindow(FHandle);
}

void TCustomForm::WMActivate(TMessage& Message)
{
    TLifeWatch Watch(FLife);
    if (LOWORD(Message.WParam) != WA_INACTIVE) {
        FActive = true;
        FFormState.Include(fsActivated);
        // The focus goes to the control that had it (the form itself
        // without one), not to the form's window first.
        if (FActiveControl && FActiveControl->CanFocus())
            ::SetFocus(FActiveControl->Handle());
        else if (!HIWORD(Message.WParam))
            ::SetFocus(FHandle);
        if (!Watch.Freed())
            Activate();
    } else {
        FActive = false;
        Deactivate();
    }
}

bool TCustomForm::SetFocusedControl(TWinControl* Control)
{
    if (FFocusedControl == Control)
        return true;
    TWinControl* Old = FFocusedControl;
    FFocusedControl = Control;
    if (Control != this)
        FActiveControl = Control;
    TLifeWatch Watch(FLife);
    // CM_EXIT up from the control that had the focus to the first parent
    // that holds the new one, then CM_ENTER down to the new one.
    for (TWinControl* X = Old; X && X != this && !X->ContainsControl(Control); X = X->Parent()) {
        X->Perform(CM_EXIT);
        if (Watch.Freed() || FFocusedControl != Control)
            return true;
    }
    std::vector<TWinControl*> Chain;
    for (TWinControl* Y = Control; Y && Y != this && !(Old && Y->ContainsControl(Old)); Y = Y->Parent())
        Chain.insert(Chain.begin(), Y);
    for (TWinControl* Y : Chain) {
        if (!ContainsControl(Y))
            break;
        Y->Perform(CM_ENTER);
        if (Watch.Freed() || FFocusedControl != Control)
            return true;
    }
    return true;
}

void TCustomForm::SetActiveControl(TWinControl* Control)
{
    if (Control && (Control == this || !ContainsControl(Control)))
        throw EInvalidOperation(u"Invalid active control");
    FActiveControl = Control;
    if (FActive && Control && Control->CanFocus())
        ::SetFocus(Control->Handle());
}

void TCustomForm::DefocusControl(TWinControl* Control, bool Removing)
{
    if (FActiveControl && Control->ContainsControl(FActiveControl))
        FActiveControl = Removing ? nullptr : Control->Parent();
    if (FActiveControl == this)
        FActiveControl = nullptr;
    if (FFocusedControl && Control->ContainsControl(FFocusedControl))
        FFocusedControl = nullptr;
}

void TCustomForm::FocusControl(TWinControl* Control)
{
    SetActiveControl(Control);
}

void TCustomForm::SetFocus()
{
    if (FHandle)
        SetForegroundWindow(FHandle);
}

bool TCustomForm::PreviewKeyDown(Word& Key, TShiftState Shift)
{
    if (!FKeyPreview)
        return false;
    TLifeWatch Watch(FLife);
    KeyDown(Key, Shift);
    return Watch.Freed() || Key == 0;
}

bool TCustomForm::PreviewKeyUp(Word& Key, TShiftState Shift)
{
    if (!FKeyPreview)
        return false;
    TLifeWatch Watch(FLife);
    KeyUp(Key, Shift);
    return Watch.Freed() || Key == 0;
}

bool TCustomForm::PreviewKeyPress(Char& Key)
{
    if (!FKeyPreview)
        return false;
    TLifeWatch Watch(FLife);
    KeyPress(Key);
    return Watch.Freed() || Key == 0;
}

void TCustomForm::CMDialogKey(TMessage& Message)
{
    const TShiftState Shift = KeyboardStateToShiftState();
    if (Word(Message.WParam) == VK_TAB && !Shift.Contains(ssCtrl) && !Shift.Contains(ssAlt)) {
        SelectNext(FActiveControl, !Shift.Contains(ssShift), true);
        Message.Result = 1;
        return;
    }
    X_INHERITED_MESSAGE(Message);
}

bool TCustomForm::CloseQuery()
{
    bool CanClose = true;
    if (const TCloseQueryEvent Handler = OnCloseQuery)
        Handler(this, CanClose);
    return CanClose;
}

void TCustomForm::DoClose(TCloseAction& Action)
{
    if (const TCloseEvent Handler = OnClose)
        Handler(this, Action);
}

void TCustomForm::Close()
{
    if (FFormState.Contains(fsModal)) {
        FModalResult = mrCancel;
        return;
    }
    TLifeWatch Watch(FLife);
    if (!CloseQuery() || Watch.Freed())
        return;
    TCloseAction Action = caHide;
    DoClose(Action);
    if (Watch.Freed() || Action == caNone)
        return;
    if (Application && Application->MainForm() == this) {
        Application->Terminate();
        return;
    }
    switch (Action) {
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    case caFree: Release(); break;
    default: break;
    }
}

void TCustomForm::CloseModal()
{
    TLifeWatch Watch(FLife);
    TCloseAction Action = caNone;
    if (CloseQuery()) {
        if (Watch.Freed())
            return;
        Action = caHide;
        DoClose(Action);
    }
    if (Watch.Freed())
        return;
    switch (Action) {
    case caNone: FModalResult = mrNone; break;
    case caFree: Release(); break;
    default: break;
    }
}

void TCustomForm::Release()
{
    PostMessage(Handle(), CM_RELEASE, 0, 0);
}

void TCustomForm::CMRelease(TMessage& Message)
{
    Free();
}

void TCustomForm::WMClose(TMessage& Message)
{
    Close();
}

TModalResult TCustomForm::ShowModal()
{
    if (FVisible || !FEnabled || FFormState.Contains(fsModal))
        throw EInvalidOperation(u"Cannot make a visible window modal");
    if (HWND Capture = GetCapture()) {
        SendMessage(Capture, WM_CANCELMODE, 0, 0);
        ReleaseCapture();
    }
    TLifeWatch Watch(FLife);
    FFormState.Include(fsModal);
    const HWND ActiveBefore = GetActiveWindow();
    const std::vector<HWND> Disabled = DisableTaskWindows(Handle());
    Application->ModalStarted();
    FModalResult = mrNone;
    TModalResult Result = mrCancel;
    const UInt64 Quits = Application->FQuitsSeen;
    Show();
    while (!Watch.Freed()) {
        Application->HandleMessage();
        if (Watch.Freed())
            break;
        if (Application->FQuitsSeen != Quits) {
            // The loop outside must see the quit too.
            Application->FTerminated = false;
            PostQuitMessage(int(Application->FQuit.wParam));
            FModalResult = mrCancel;
        } else if (FModalResult != mrNone) {
            CloseModal();
            if (Watch.Freed())
                break;
        }
        if (FModalResult != mrNone) {
            Result = FModalResult;
            break;
        }
    }
    Application->ModalFinished();
    EnableTaskWindows(Disabled);
    if (ActiveBefore && IsWindow(ActiveBefore))
        SetActiveWindow(ActiveBefore);
    if (!Watch.Freed()) {
        FFormState.Exclude(fsModal);
        Hide();
    }
    return Result;
}
