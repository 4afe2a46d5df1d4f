#include "vcl/Forms.h"
#include "win/Input.h"
#include "win/WinApi.h"

namespace {

// The application window's timers: the pause before a hint, its time shown.
constexpr UINT_PTR HintShowTimer = 1;
constexpr UINT_PTR HintHideTimer = 2;
// The hint sits this far below the pointer, clear of the cursor.
constexpr Integer HintBelowCursor = 20;
constexpr Integer HintMaxWidth = 300;

// The control whose hint shows for Control: it or the first parent with
// ShowHint.
TControl* HintControlOf(TControl* Control)
{
    while (Control && !Control->ShowHint())
        Control = Control->Parent();
    return Control;
}

}

void TApplication::SetShowHint(bool Value)
{
    FShowHint = Value;
    if (!Value)
        CancelHint();
}

void TApplication::SetHintControl(TControl* Control)
{
    if (FHintControl == Control)
        return;
    if (FHintControl)
        FHintControl->RemoveFreeNotification(this);
    FHintControl = Control;
    if (Control)
        Control->FreeNotification(this);
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FHintControl) {
        FHintControl = nullptr;
        CancelHint();
    }
}

void TApplication::HintMessage(const MSG& Msg)
{
    switch (Msg.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE: {
        POINT P {};
        GetCursorPos(&P);
        TControl* Control = HintControlOf(FindDragTarget({ P.x, P.y }, false));
        if (Control == FHintControl)
            return;
        CancelHint();
        SetHintControl(Control);
        if (Control && FShowHint && !Control->Hint().empty())
            SetTimer(FHandle, HintShowTimer, UINT(std::max(FHintPause, 1)), nullptr);
        return;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_MOUSEWHEEL:
        if (FHintWindow && FHintWindow->Visible())
            CancelHint();
        else
            KillTimer(FHandle, HintShowTimer);
        return;
    }
}

void TApplication::HintTimer(UINT_PTR Id)
{
    KillTimer(FHandle, Id);
    if (Id == HintShowTimer) {
        POINT P {};
        GetCursorPos(&P);
        ActivateHint({ P.x, P.y });
    } else if (Id == HintHideTimer && FHintWindow) {
        FHintWindow->ReleaseHandle();
    }
}

void TApplication::ActivateHint(TPoint CursorPos)
{
    KillTimer(FHandle, HintShowTimer);
    TControl* Control = HintControlOf(FindDragTarget(CursorPos, false));
    SetHintControl(Control);
    if (!Control || !FShowHint)
        return;
    THintInfo Info;
    Info.HintControl = Control;
    Info.CursorPos = CursorPos;
    Info.HintMaxWidth = HintMaxWidth;
    Info.HintStr = Control->Hint();
    bool CanShow = !Info.HintStr.empty();
    if (const TShowHintEvent Handler = OnShowHint)
        Handler(Info.HintStr, CanShow, Info);
    if (!CanShow || Info.HintStr.empty())
        return;
    if (!FHintWindow)
        FHintWindow.reset(New<THintWindow>(nullptr));
    TRect R = FHintWindow->CalcHintRect(Info.HintMaxWidth, Info.HintStr);
    const TPoint At { Info.CursorPos.X, Info.CursorPos.Y + HintBelowCursor };
    R = { At.X, At.Y, At.X + R.Width(), At.Y + R.Height() };
    FHintWindow->ActivateHint(R, Info.HintStr);
    if (FHintHidePause > 0)
        SetTimer(FHandle, HintHideTimer, UINT(FHintHidePause), nullptr);
}

void TApplication::CancelHint()
{
    KillTimer(FHandle, HintShowTimer);
    KillTimer(FHandle, HintHideTimer);
    // The control stays noted: its hint comes again only once the pointer
    // has left it.
    if (FHintWindow)
        FHintWindow->ReleaseHandle();
}
