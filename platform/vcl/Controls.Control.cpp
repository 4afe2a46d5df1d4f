#include "gdi/Colors.h"
#include "vcl/Controls.h"
#include "vcl/ControlsDetail.h"
#include "win/Input.h"
#include "win/Metrics.h"
#include "win/Painting.h"
#include "win/WindowTree.h"

X_REGISTER_CLASS(TControl)

X_MESSAGES(TControl)
{
    X_MESSAGE(WM_LBUTTONDOWN, WMLButtonDown);
    X_MESSAGE(WM_LBUTTONUP, WMLButtonUp);
    X_MESSAGE(WM_LBUTTONDBLCLK, WMLButtonDblClk);
    X_MESSAGE(WM_RBUTTONDOWN, WMRButtonDown);
    X_MESSAGE(WM_RBUTTONUP, WMRButtonUp);
    X_MESSAGE(WM_MBUTTONDOWN, WMMButtonDown);
    X_MESSAGE(WM_MBUTTONUP, WMMButtonUp);
    X_MESSAGE(WM_MOUSEMOVE, WMMouseMove);
    X_MESSAGE(WM_MOUSEWHEEL, WMMouseWheel);
    X_MESSAGE(CM_MOUSEENTER, CMMouseEnter);
    X_MESSAGE(CM_MOUSELEAVE, CMMouseLeave);
    X_MESSAGE(CM_VISIBLECHANGED, CMVisibleChanged);
    X_MESSAGE(CM_ENABLEDCHANGED, CMEnabledChanged);
    X_MESSAGE(CM_COLORCHANGED, CMColorChanged);
    X_MESSAGE(CM_PARENTCOLORCHANGED, CMParentColorChanged);
    X_MESSAGE(CM_FONTCHANGED, CMFontChanged);
    X_MESSAGE(CM_PARENTFONTCHANGED, CMParentFontChanged);
    X_MESSAGE(CM_HITTEST, CMHitTest);
}

namespace {

TControl* CaptureControl = nullptr;
TControl* PointerControl = nullptr;

}

namespace ControlsDetail {

TControl* MouseControl()
{
    return PointerControl;
}

void SetMouseControl(TControl* Control)
{
    if (PointerControl == Control)
        return;
    TControl* Old = PointerControl;
    PointerControl = Control;
    // Either control may go in the other's handler; ControlGone clears
    // PointerControl then, so it is looked at again after each call.
    if (Old)
        Old->Perform(CM_MOUSELEAVE);
    if (Control && PointerControl == Control)
        Control->Perform(CM_MOUSEENTER);
}

void ControlGone(TControl* Control)
{
    if (PointerControl == Control)
        PointerControl = nullptr;
    if (CaptureControl == Control) {
        CaptureControl = nullptr;
        ReleaseCapture();
    }
}

TWinControl* TopParent(TControl* Control)
{
    TWinControl* Top = DynamicCast<TWinControl>(Control);
    for (TWinControl* P = Control ? Control->Parent() : nullptr; P; P = P->Parent())
        Top = P;
    return Top;
}

}

TShiftState KeysToShiftState(WPARAM Keys)
{
    TShiftState S;
    if (Keys & MK_SHIFT)
        S.Include(ssShift);
    if (Keys & MK_CONTROL)
        S.Include(ssCtrl);
    if (Keys & MK_LBUTTON)
        S.Include(ssLeft);
    if (Keys & MK_RBUTTON)
        S.Include(ssRight);
    if (Keys & MK_MBUTTON)
        S.Include(ssMiddle);
    if (GetKeyState(VK_MENU) < 0)
        S.Include(ssAlt);
    return S;
}

TShiftState KeyboardStateToShiftState()
{
    TShiftState S;
    if (GetKeyState(VK_SHIFT) < 0)
        S.Include(ssShift);
    if (GetKeyState(VK_CONTROL) < 0)
        S.Include(ssCtrl);
    if (GetKeyState(VK_MENU) < 0)
        S.Include(ssAlt);
    if (GetKeyState(VK_LBUTTON) < 0)
        S.Include(ssLeft);
    if (GetKeyState(VK_RBUTTON) < 0)
        S.Include(ssRight);
    if (GetKeyState(VK_MBUTTON) < 0)
        S.Include(ssMiddle);
    return S;
}

TControl* GetCaptureControl()
{
    if (CaptureControl) {
        // The window holding the capture may have lost it meanwhile.
        TWinControl* Holder = DynamicCast<TWinControl>(CaptureControl);
        if (!Holder)
            Holder = CaptureControl->Parent();
        if (!Holder || !Holder->HandleAllocated() || GetCapture() != Holder->Handle())
            CaptureControl = nullptr;
    }
    return CaptureControl;
}

void SetCaptureControl(TControl* Control)
{
    ReleaseCapture();
    CaptureControl = nullptr;
    if (!Control)
        return;
    TWinControl* Holder = DynamicCast<TWinControl>(Control);
    if (!Holder)
        Holder = Control->Parent();
    if (!Holder)
        return;
    SetCapture(Holder->Handle());
    CaptureControl = Control;
}

void TControl::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FWindowProc = TWindowMethod::Of<&TControl::WndProc>(this);
    FColor = clBtnFace;
    FFont = MakeOwned<TFont>();
}

void TControl::BeforeDestruction()
{
    ControlsDetail::ControlGone(this);
    if (FParent)
        FParent->RemoveControl(this);
    inherited::BeforeDestruction();
}

TControl::~TControl() = default;

void TControl::SetParent(TWinControl* AParent)
{
    if (FParent == AParent)
        return;
    for (TWinControl* P = AParent; P; P = P->Parent())
        if (P == this)
            throw EInvalidOperation(u"A control cannot have itself or one of its children as its parent");
    if (FParent)
        FParent->RemoveControl(this);
    if (AParent) {
        AParent->InsertControl(this);
        UpdateAnchorRules();
    }
}

void TControl::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight)
{
    AWidth = std::max(AWidth, 0);
    AHeight = std::max(AHeight, 0);
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight)
        return;
    const bool Sized = AWidth != FWidth || AHeight != FHeight;
    Invalidate();
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    BoundsChanged();
    Invalidate();
    if (FParent && !FParent->ControlState().Contains(csAligning)) {
        UpdateAnchorRules();
        if (FAlign != alNone)
            FParent->Realign();
    }
    if (FParent)
        FParent->ChildBoundsChanged(this);
    if (Sized)
        Resize();
}

TRect TControl::ClientRect()
{
    return { 0, 0, FWidth, FHeight };
}

void TControl::SetClientSize(Integer AWidth, Integer AHeight)
{
    const TRect Client = ClientRect();
    SetBounds(FLeft, FTop, FWidth - Client.Width() + AWidth, FHeight - Client.Height() + AHeight);
}

TPoint TControl::ClientOrigin()
{
    if (!FParent)
        return { FLeft, FTop };
    const TPoint P = FParent->ClientOrigin();
    return { P.X + FLeft, P.Y + FTop };
}

TPoint TControl::ClientToParent(TPoint P, TWinControl* AParent)
{
    if (!AParent)
        AParent = FParent;
    const TPoint Screen = ClientToScreen(P);
    return AParent ? AParent->ScreenToClient(Screen) : Screen;
}

void TControl::SetAlign(TAlign Value)
{
    if (FAlign == Value)
        return;
    FAlign = Value;
    UpdateAnchorRules();
    if (FParent)
        FParent->Realign();
}

void TControl::SetAnchors(TAnchors Value)
{
    FAnchors = Value;
    UpdateAnchorRules();
}

void TControl::UpdateAnchorRules()
{
    if (!FParent)
        return;
    const TRect Client = FParent->ClientRect();
    FAnchorOrigin = BoundsRect();
    FAnchorParentSize = { Client.Width(), Client.Height() };
}

namespace {

// One axis of an anchored control: its new start and length in a parent
// whose length went from OldParent to NewParent.
void AnchorAxis(bool Near, bool Far, Integer& Start, Integer& Length, Integer OldParent, Integer NewParent)
{
    const Integer Delta = NewParent - OldParent;
    if (Near && Far)
        Length = std::max(Length + Delta, 0);
    else if (Far)
        Start += Delta;
    else if (!Near && OldParent > 0)
        Start = Integer(Int64(2 * Start + Length) * NewParent / (2 * Int64(OldParent))) - Length / 2;
}

}

void TControl::ApplyAnchors(TPoint ParentSize)
{
    if (FAlign != alNone || FAnchors == TAnchors { akLeft, akTop } || !FParent)
        return;
    Integer L = FAnchorOrigin.Left, T = FAnchorOrigin.Top;
    Integer W = FAnchorOrigin.Width(), H = FAnchorOrigin.Height();
    AnchorAxis(FAnchors.Contains(akLeft), FAnchors.Contains(akRight), L, W, FAnchorParentSize.X, ParentSize.X);
    AnchorAxis(FAnchors.Contains(akTop), FAnchors.Contains(akBottom), T, H, FAnchorParentSize.Y, ParentSize.Y);
    SetBounds(L, T, W, H);
}

void TControl::SetVisible(bool Value)
{
    if (FVisible == Value)
        return;
    VisibleChanging();
    FVisible = Value;
    // A control shown or hidden may be freed by what that sets off.
    TLifeWatch Watch(FLife);
    Perform(CM_VISIBLECHANGED, Value ? 1 : 0);
    if (Watch.Freed())
        return;
    if (FParent && FAlign != alNone)
        FParent->Realign();
    if (FParent)
        FParent->ChildBoundsChanged(this);
}

void TControl::SetEnabled(bool Value)
{
    if (FEnabled == Value)
        return;
    FEnabled = Value;
    Perform(CM_ENABLEDCHANGED);
}

void TControl::SetColor(TColor Value)
{
    if (FColor == Value)
        return;
    FColor = Value;
    FParentColor = false;
    Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool Value)
{
    if (FParentColor == Value)
        return;
    FParentColor = Value;
    if (FParent && Value)
        Perform(CM_PARENTCOLORCHANGED);
}

void TControl::SetFont(TFont* Value)
{
    if (Value)
        FFont->Assign(Value);
    FParentFont = false;
    Perform(CM_FONTCHANGED);
}

void TControl::SetParentFont(bool Value)
{
    if (FParentFont == Value)
        return;
    FParentFont = Value;
    if (Value && FParent)
        Perform(CM_PARENTFONTCHANGED);
}

void TControl::CMFontChanged(TMessage& Message)
{
    Invalidate();
}

void TControl::CMParentFontChanged(TMessage& Message)
{
    if (!FParentFont || !FParent)
        return;
    FFont->Assign(FParent->Font());
    Perform(CM_FONTCHANGED);
    // SetFont would have cleared it: the font still follows the parent.
    FParentFont = true;
}

void TControl::SetCursor(TCursor Value)
{
    FCursor = Value;
}

void TControl::SetText(const String& Value)
{
    if (FText == Value)
        return;
    FText = Value;
    Perform(CM_TEXTCHANGED);
}

bool TControl::Showing() const
{
    return FVisible && FParent && FParent->Showing();
}

void TControl::Invalidate()
{
    if (!FParent || !FParent->HandleAllocated() || (!FVisible && !ControlState().Contains(csCreating)))
        return;
    const RECT R { FLeft, FTop, FLeft + FWidth, FTop + FHeight };
    InvalidateRect(FParent->Handle(), &R, !FControlStyle.Contains(csOpaque));
}

void TControl::Update()
{
    if (FParent && FParent->HandleAllocated())
        FParent->Update();
}

void TControl::Repaint()
{
    Invalidate();
    Update();
}

void TControl::BringToFront()
{
    if (!FParent)
        return;
    auto& List = FParent->FControls;
    if (std::erase(List, this))
        List.push_back(this);
    Invalidate();
}

void TControl::SendToBack()
{
    if (!FParent)
        return;
    auto& List = FParent->FControls;
    if (std::erase(List, this))
        List.insert(List.begin(), this);
    Invalidate();
}

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam)
{
    TMessage Message { Msg, WParam, LParam, 0 };
    const TWindowMethod Method = FWindowProc;
    if (Method)
        Method(Message);
    return Message.Result;
}

void TControl::WndProc(TMessage& Message)
{
    Dispatch(Message);
}

void TControl::DispatchFrom(TClass Start, TMessage& Message)
{
    if (TMessageThunk Method = FindMessageMethod(Start, Message.Msg))
        Method(this, Message);
    else
        DefaultHandler(Message);
}

void TControl::DefaultHandler(TMessage& Message)
{ }

void TControl::ChangeScale(Integer M, Integer D)
{
    if (M == D || D == 0)
        return;
    if (!FParentFont || !FParent) {
        FFont->SetHeight(MulDiv(FFont->Height(), M, D));
        Perform(CM_FONTCHANGED);
    }
    SetBounds(MulDiv(FLeft, M, D), MulDiv(FTop, M, D), MulDiv(FLeft + FWidth, M, D) - MulDiv(FLeft, M, D),
        MulDiv(FTop + FHeight, M, D) - MulDiv(FTop, M, D));
}

void TControl::ScaleBy(Integer M, Integer D)
{
    ChangeScale(M, D);
}

bool TControl::Fire(const TNotifyEvent& Handler)
{
    if (!Handler)
        return true;
    TLifeWatch Watch(FLife);
    const TNotifyEvent Call = Handler;
    Call(this);
    return !Watch.Freed();
}

void TControl::Click()
{
    Fire(OnClick);
}

void TControl::DblClick()
{
    Fire(OnDblClick);
}

bool TControl::MouseCapture() const
{
    return GetCaptureControl() == this;
}

void TControl::SetMouseCapture(bool Value)
{
    if (MouseCapture() == Value)
        return;
    SetCaptureControl(Value ? this : nullptr);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    if (const TMouseEvent Handler = OnMouseDown)
        Handler(this, Button, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    if (const TMouseEvent Handler = OnMouseUp)
        Handler(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, Integer X, Integer Y)
{
    if (const TMouseMoveEvent Handler = OnMouseMove)
        Handler(this, Shift, X, Y);
}

bool TControl::DoMouseWheel(TShiftState Shift, Integer WheelDelta, TPoint MousePos)
{
    bool Handled = false;
    if (const TMouseWheelEvent Handler = OnMouseWheel)
        Handler(this, Shift, WheelDelta, MousePos, Handled);
    return Handled;
}

void TControl::Resize()
{
    Fire(OnResize);
}

void TControl::DoMouseDown(TMessage& Message, TMouseButton Button, TShiftState Extra)
{
    const TPoint P = ControlsDetail::MessagePoint(Message);
    MouseDown(Button, KeysToShiftState(Message.WParam) + Extra, P.X, P.Y);
}

void TControl::DoMouseUp(TMessage& Message, TMouseButton Button)
{
    const TPoint P = ControlsDetail::MessagePoint(Message);
    MouseUp(Button, KeysToShiftState(Message.WParam), P.X, P.Y);
}

void TControl::WMLButtonDown(TMessage& Message)
{
    if (FControlStyle.Contains(csCaptureMouse))
        SetMouseCapture(true);
    if (FControlStyle.Contains(csClickEvents))
        FControlState.Include(csClicked);
    DoMouseDown(Message, mbLeft, {});
}

void TControl::WMLButtonDblClk(TMessage& Message)
{
    if (FControlStyle.Contains(csCaptureMouse))
        SetMouseCapture(true);
    TLifeWatch Watch(FLife);
    if (FControlStyle.Contains(csClickEvents))
        DblClick();
    if (Watch.Freed())
        return;
    DoMouseDown(Message, mbLeft, { ssDouble });
}

void TControl::WMLButtonUp(TMessage& Message)
{
    if (FControlStyle.Contains(csCaptureMouse))
        SetMouseCapture(false);
    TLifeWatch Watch(FLife);
    if (FControlState.Contains(csClicked)) {
        FControlState.Exclude(csClicked);
        const TPoint P = ControlsDetail::MessagePoint(Message);
        const TRect R = ClientRect();
        if (P.X >= R.Left && P.X < R.Right && P.Y >= R.Top && P.Y < R.Bottom)
            Click();
        if (Watch.Freed())
            return;
    }
    DoMouseUp(Message, mbLeft);
}

void TControl::WMRButtonDown(TMessage& Message)
{
    DoMouseDown(Message, mbRight, {});
}

void TControl::WMRButtonUp(TMessage& Message)
{
    DoMouseUp(Message, mbRight);
}

void TControl::WMMButtonDown(TMessage& Message)
{
    DoMouseDown(Message, mbMiddle, {});
}

void TControl::WMMButtonUp(TMessage& Message)
{
    DoMouseUp(Message, mbMiddle);
}

void TControl::WMMouseMove(TMessage& Message)
{
    const TPoint P = ControlsDetail::MessagePoint(Message);
    MouseMove(KeysToShiftState(Message.WParam), P.X, P.Y);
}

void TControl::WMMouseWheel(TMessage& Message)
{
    const TPoint P { GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam) };
    TLifeWatch Watch(FLife);
    const bool Handled =
        DoMouseWheel(KeysToShiftState(LOWORD(Message.WParam)), std::int16_t(HIWORD(Message.WParam)), P);
    if (Watch.Freed())
        return;
    if (Handled)
        Message.Result = 1;
    else
        X_INHERITED_MESSAGE(Message);
}

void TControl::CMMouseEnter(TMessage& Message)
{
    Fire(OnMouseEnter);
}

void TControl::CMMouseLeave(TMessage& Message)
{
    Fire(OnMouseLeave);
}

void TControl::CMVisibleChanged(TMessage& Message)
{
    // A graphic control shows or goes from its parent's picture.
    if (FParent && FParent->HandleAllocated()) {
        const RECT R { FLeft, FTop, FLeft + FWidth, FTop + FHeight };
        InvalidateRect(FParent->Handle(), &R, true);
    }
}

void TControl::CMEnabledChanged(TMessage& Message)
{
    Invalidate();
}

void TControl::CMColorChanged(TMessage& Message)
{
    Invalidate();
}

void TControl::CMParentColorChanged(TMessage& Message)
{
    if (FParentColor && FParent) {
        FColor = FParent->Color();
        FParentColor = true;
        Invalidate();
    }
}

void TControl::CMHitTest(TMessage& Message)
{
    Message.Result = HTCLIENT;
}
