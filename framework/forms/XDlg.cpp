#include "forms/XDlg.h"
#include "core/XCore.Errors.h"
#include "core/XEngine.h"
#include "core/XPlatform.Utils.h"
#include "core/XSpark.App.h"
#include "core/XSpark.Lg.h"
#include "forms/XCaptionFr.h"
#include "forms/XForms.MessageBox.h"
#include "rtl/StrUtils.h"
#include "rtl/Verify.h"
#include <algorithm>

X_REGISTER_CLASS(TXCustomWinDialog)
X_REGISTER_CLASS(TXCustomCancelDialog)
X_REGISTER_CLASS(TXCustomDialog)

X_PUBLISHED(TXCustomWinDialog)
{
    X_PROP(optSilentError, optSilentError, SetoptSilentError).Default(false);
    X_PROP(optAlwaysRearrange, optAlwaysRearrange, SetoptAlwaysRearrange).Default(false);
    X_PROP(Caption, Caption, SetCaption);
    X_PROP(CustomTag, CustomTag, SetCustomTag).Default(0);
}

X_PUBLISHED(TXCustomDialog)
{
    X_PROP(DlgWidth, DlgWidth, SetDlgWidth).Default(0);
    X_PROP(DlgHeight, DlgHeight, SetDlgHeight).Default(0);
    X_METHOD(DoCmdClick);
}

namespace {

// The text of a run that failed.
constexpr Cardinal wDialogFailed = 0x8600E993;

void RefreshTaskBar()
{
    if (TXQVApp* App = QVApp())
        App->TaskBarFormsChanged();
}

}

void TXCustomWinDialog::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FStyle = MakeOwned<TXFormStyle>();
    FStyle->SetTarget(this);
    FStyle->SetBorderStyle(bsDialog);
    FStyle->SetPosition(poScreenCenter);
    InitDialog();
    RegisterLanguageListener(TXAnyProcedure::Method<&TXCustomWinDialog::LanguageChanged>(this));
    if (!FDynamicDlg)
        CreateForm();
}

void TXCustomWinDialog::BeforeDestruction()
{
    UnregisterLanguageListener(TXAnyProcedure::Method<&TXCustomWinDialog::LanguageChanged>(this));
    CloseDialog(2);
    FreeForm();
    inherited::BeforeDestruction();
}

void TXCustomWinDialog::SetCaption(const String& Value)
{
    FCaption = Value;
    UpdateCaption();
}

void TXCustomWinDialog::UpdateCaption()
{
    if (FForm && !ComponentState().Contains(csDesigning))
        FForm->SetCaption(FCaption.empty() ? FDefaultCaption : FCaption);
}

void TXCustomWinDialog::SetDynamicDlg(bool Value)
{
    if (FDynamicDlg == Value)
        return;
    FDynamicDlg = Value;
    if (Value && FForm && !FForm->Visible())
        FreeForm();
    else if (!Value && !FForm)
        CreateForm();
}

void TXCustomWinDialog::LoadFormDataIfNeeded()
{
    if (!FLoadData)
        return;
    // A load that raised is tried again at the next show.
    LoadFormData();
    FLoadData = false;
}

void TXCustomWinDialog::CreateForm()
{
    FLoadData = true;
    if (ComponentState().Contains(csDesigning) || !FFormClass || FForm)
        return;
    X_VERIFY(FFormClass->InheritsFrom(TXWinForm::StaticClass()), "a dialog's form is a TXWinForm");
    auto* Form = static_cast<TXWinForm*>(FFormClass->NewInstance());
    FForm = Construct(Form, static_cast<TComponent*>(Application));
    FForm->FreeNotification(this);
    if (auto* Skinned = DynamicCast<TXForm>(FForm)) {
        Skinned->SetOwningDialog(this);
        Skinned->Style()->Assign(FStyle.get());
        Skinned->OnMove = [this](TObject* Sender) {
            if (OnMove)
                OnMove(Sender);
        };
    } else {
        FForm->SetOwningDialog(this);
        FStyle->AssignTo(FForm);
    }
}

void TXCustomWinDialog::FreeForm()
{
    TXWinForm* Form = FForm;
    FForm = nullptr;
    if (!Form)
        return;
    Form->RemoveFreeNotification(this);
    XGuarded(xecUnspecified, false, [&] { Form->Release(); });
}

void TXCustomWinDialog::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FForm)
        FForm = nullptr;
}

void TXCustomWinDialog::DoExecute()
{
    if (OnExecute)
        OnExecute(FForm);
}

void TXCustomWinDialog::DoExecuted()
{
    if (OnExecuted)
        OnExecuted(FForm);
}

bool TXCustomWinDialog::IsModal()
{
    if (!FForm || !FForm->FormState().Contains(fsModal))
        return false;
    XGuarded(xecUnspecified, false, [&] { FForm->BringToFront(); });
    return true;
}

Integer TXCustomWinDialog::ShowModalForm()
{
    FResult = 0;
    if (!FForm)
        return 0;
    return RunModal([this]() -> TCustomForm* { return FForm; }, nullptr);
}

Integer TXCustomWinDialog::RunModal(const std::function<TCustomForm*()>& ModalForm, const std::function<void()>& Mount)
{
    FResult = 0;
    TLifeWatch Watch(FLife);
    if (Mount)
        Mount();
    LoadFormDataIfNeeded();
    UpdateCaption();
    DoExecute();
    DoShow();
    if (Watch.Freed())
        return 2;
    TCustomForm* Modal = ModalForm();
    Integer Result = Modal ? Modal->ShowModal() : 0;
    // Freed meanwhile (a handler, its owner): nothing of it is touched.
    if (Watch.Freed())
        return 2;
    DoExecuted();
    if (Watch.Freed())
        return 2;
    CloseDialog(Result);
    return Watch.Freed() ? 2 : Result;
}

Integer TXCustomWinDialog::Execute()
{
    FResult = 0;
    if (IsModal())
        return 0;
    TLifeWatch Watch(FLife);
    Integer Result = 0;
    const bool Ran = XGuarded(xecUnspecified, false, [&] {
        if (!FForm)
            CreateForm();
        Result = ShowModalForm();
        if (Watch.Freed())
            return;
        if (FDynamicDlg)
            FreeForm();
        RefreshTaskBar();
    });
    if (Watch.Freed())
        return 2;
    if (!Ran) {
        Result = 2;
        if (!FSilentError && MessageBoxProc)
            MessageBoxProc(Lg() ? Lg()->GetWord(wDialogFailed) : String(), u"", IDI_EXCLAMATION, 1,
                TXCmdOK::StaticClass());
    }
    return Result;
}

bool TXCustomWinDialog::ShowForm()
{
    FResult = 0;
    if (!FForm)
        CreateForm();
    if (!FForm)
        return false;
    LoadFormDataIfNeeded();
    UpdateCaption();
    if (FAlwaysRearrange || !FForm->Visible())
        DoShow();
    if (!FForm)
        return false;
    FForm->Show();
    if (FForm)
        XGuarded(xecUnspecified, false, [&] { FForm->BringToFront(); });
    return true;
}

bool TXCustomWinDialog::CloseDialog(Integer ModalResult)
{
    if (!FForm)
        return false;
    FResult = ModalResult;
    if (FForm->FormState().Contains(fsModal))
        FForm->SetModalResult(ModalResult);
    else if (FForm->Visible())
        FForm->Hide();
    TLifeWatch Watch(FLife);
    SaveFormData();
    if (Watch.Freed())
        return true;
    DoHide();
    if (!Watch.Freed() && FDynamicDlg)
        FreeForm();
    return true;
}

void TXCustomWinDialog::DoIntCommand(
    TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName, Integer Command, const String& Args)
{
    if (Command == XCMD_CLOSEDIALOG)
        CloseDialog(StrToIntDef(Args, 2));
    else
        inherited::DoIntCommand(Sender, Monitor, Hit, HitName, Command, Args);
}

void TXCustomDialog::Create(TComponent* AOwner)
{
    // Before the inherited creation: InitDialog may choose another class.
    SetFormClass(TXForm::StaticClass());
    inherited::Create(AOwner);
}

void TXCustomDialog::Watch(TComponent* Old, TComponent* New)
{
    if (Old && Old != New)
        Old->RemoveFreeNotification(this);
    if (New)
        New->FreeNotification(this);
}

void TXCustomDialog::SetHostControl(TWinControl* Control)
{
    Watch(FHost, Control);
    FHost = Control;
}

void TXCustomDialog::SetAnchorControl(TControl* Value)
{
    Watch(FAnchorControl, Value);
    FAnchorControl = Value;
}

void TXCustomDialog::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == FFrame)
        FFrame = nullptr;
    if (AComponent == FCommandFrame)
        FCommandFrame = nullptr;
    if (AComponent == FHost)
        FHost = nullptr;
    if (AComponent == FAnchorControl)
        FAnchorControl = nullptr;
}

void TXCustomDialog::DoCmdClick(TMessage& Msg)
{
    if (OnCmdClick)
        OnCmdClick(Msg);
}

void TXCustomDialog::CreateForm()
{
    const bool Made = !Form();
    inherited::CreateForm();
    if (Made && Form()) {
        FDesignedClient = Point(Form()->ClientWidth(), Form()->ClientHeight());
        if (auto* Skinned = DynamicCast<TXForm>(Form()); Skinned && Skinned->CaptionFrame())
            FDesignedClient.Y = std::max(0, FDesignedClient.Y - Skinned->CaptionFrame()->Height());
    }
    if (Designing(this) || !FFrameClass)
        return;
    if (!FFrame) {
        X_VERIFY(FFrameClass->InheritsFrom(TFrame::StaticClass()), "a dialog's content is a TFrame");
        FFrame = Construct(static_cast<TFrame*>(FFrameClass->NewInstance()), static_cast<TComponent*>(this));
        if (Screen && Screen->PixelsPerInch() != 96)
            FFrame->ScaleBy(Screen->PixelsPerInch(), 96);
        // Frames without the event simply stay unbound.
        SetMethodProperty(FFrame, u"OnCmdClick", TMethod { MethodAddress(ClassType(), u"DoCmdClick"), this });
    }
    if (!FCommandFrame && FCommandFrameClass)
        FCommandFrame = TXCommandFrame::CreateScaled(FCommandFrameClass, this, true);
    if (auto* Skinned = DynamicCast<TXForm>(Form()))
        if (TXCaptionFrame* Caption = Skinned->CaptionFrame(); Caption && !Caption->AttachedControl())
            Caption->AttachControl(FFrame);
}

void TXCustomDialog::FreeForm()
{
    for (TComponent** Frame : { reinterpret_cast<TComponent**>(&FCommandFrame), reinterpret_cast<TComponent**>(&FFrame) }) {
        TComponent* Gone = *Frame;
        *Frame = nullptr;
        if (Gone)
            XGuarded(xecUnspecified, false, [&] { Gone->Free(); });
    }
    inherited::FreeForm();
}

void TXCustomDialog::MountFrames(TWinControl* Parent)
{
    if (FFrame) {
        FFrame->SetParent(Parent);
        if (Parent == Form())
            FFrame->SetTabOrder(0);
        FFrame->SetVisible(true);
    }
    if (FCommandFrame)
        FCommandFrame->SetParent(Parent);
}

Integer TXCustomDialog::ShowModalForm()
{
    if (!FFrame)
        return inherited::ShowModalForm();
    if (!FHost && !Form())
        return 0;
    return RunModal(
        [this]() -> TCustomForm* { return FHost ? DynamicCast<TCustomForm>(FHost) : Form(); },
        [this] { MountFrames(FHost ? FHost : Form()); });
}

bool TXCustomDialog::ShowForm()
{
    if (!FFrameClass)
        return inherited::ShowForm();
    if (!Form())
        CreateForm();
    TWinControl* Parent = FHost ? FHost : Form();
    if (!Parent)
        return false;
    TLifeWatch Life(FLife);
    MountFrames(Parent);
    LoadFormDataIfNeeded();
    UpdateCaption();
    if (Life.Freed())
        return false;
    if (optAlwaysRearrange() || !Parent->Visible())
        DoShow();
    if (Life.Freed())
        return false;
    Parent = FHost ? FHost : Form();
    if (!Parent)
        return false;
    Parent->Show();
    XGuarded(xecUnspecified, false, [&] { Parent->BringToFront(); });
    return true;
}

bool TXCustomDialog::CloseDialog(Integer ModalResult)
{
    // A host form runs the modal loop when the content shows in it.
    auto* HostForm = DynamicCast<TCustomForm>(FHost);
    const bool HostModal = FFrame && HostForm && HostForm->FormState().Contains(fsModal);
    if (FFrame && Form() && !Form()->FormState().Contains(fsModal))
        Form()->Hide();
    TLifeWatch Life(FLife);
    const bool Closed = inherited::CloseDialog(ModalResult);
    if (Life.Freed())
        return Closed;
    if (HostModal && FHost == HostForm)
        HostForm->SetModalResult(ModalResult);
    if (FFrame)
        FFrame->SetParent(nullptr);
    if (FCommandFrame)
        FCommandFrame->SetParent(nullptr);
    return Closed;
}

void TXCustomDialog::DoShow()
{
    SizeForm();
    PlaceForm();
    if (OnShow)
        OnShow(Form());
}

void TXCustomDialog::DoHide()
{
    if (OnHide)
        OnHide(Form());
}

void TXCustomDialog::SetDlgSize(Integer Index, Integer Value)
{
    if (Index < 0 || Index > 1)
        return;
    FDlgSize[Index] = Value;
    SizeForm();
}

void TXCustomDialog::PlaceAt(TPoint Point, Byte Flags)
{
    FAnchor = Point;
    FPlaceFlags = Flags;
    PlaceForm();
}

void TXCustomDialog::SizeForm()
{
    TXWinForm* F = Form();
    if (FHost || !F)
        return;
    Integer W = ScaleToDPI(FDlgSize[0]);
    Integer H = ScaleToDPI(FDlgSize[1]);
    if (FFrame && FFrameSize) {
        if (W == 0)
            W = FFrame->Width();
        if (H == 0)
            H = FFrame->Height();
    }
    // The designed size, not the client the last sizing left (that one
    // already holds the frames, and would grow at every show).
    if (W == 0)
        W = FDesignedClient.X;
    if (H == 0)
        H = FDesignedClient.Y;
    if (OnResize)
        OnResize(this, W, H);
    if (FCommandFrame)
        H += FCommandFrame->Height();
    if (auto* Skinned = DynamicCast<TXForm>(F))
        if (Skinned->CaptionFrame())
            H += Skinned->CaptionFrame()->Height();
    F->SetClientSize(W, H);
    if (FFrame)
        FFrame->SetAlign(alClient);
    if (F->Visible())
        KeepFormOnMonitor(F, nullptr);
}

namespace {

// A control's bounds on the screen.
TRect ScreenBounds(TControl* Control)
{
    const TRect R = Control->BoundsRect();
    if (!Control->Parent())
        return R;
    const TPoint P = Control->Parent()->ClientToScreen({ R.Left, R.Top });
    return { P.X, P.Y, P.X + R.Width(), P.Y + R.Height() };
}

}

void TXCustomDialog::PlaceForm()
{
    TXWinForm* F = Form();
    if (!F)
        return;
    const TRect Desktop = VirtualDesktopRect();
    const Byte Flags = FPlaceFlags;
    Integer L = F->Left();
    Integer T = F->Top();
    if (Flags == 0 || (Flags & dpfCenter)) {
        const bool OnDesktop = XStyle()->DefaultMonitor() == dmDesktop;
        TMonitor* M = !Screen ? nullptr
            : OnDesktop       ? Screen->MonitorFromPoint(POINT { FAnchor.X, FAnchor.Y })
            : Screen->MonitorCount() > 0 ? Screen->Monitors(0)
                                         : nullptr;
        const TRect Work = M ? M->WorkareaRect() : Desktop;
        L = Work.Left + (Work.Width() - F->Width()) / 2;
        T = Work.Top + (Work.Height() - F->Height()) / 2;
        if (!OnDesktop) {
            L = std::max(L, 0);
            T = std::max(T, 0);
        }
    } else if (Flags & dpfParkBelow) {
        F->SetTop(Desktop.Height() + 20);
        return;
    } else {
        const Integer X = FAnchor.X;
        const Integer Y = FAnchor.Y;
        if ((Flags & dpfRelative) && FAnchorControl) {
            const TRect C = ScreenBounds(FAnchorControl);
            L = (Flags & dpfLeft) ? C.Left - X : C.Right + X;
            T = (Flags & dpfTop) ? C.Top - Y - F->Height() : C.Bottom + Y;
        } else {
            if (Flags & dpfRight)
                L = X - F->Width();
            else if (Flags & dpfLeft)
                L = X;
            if (Flags & dpfBottom)
                T = Y - F->Height();
            else if (Flags & dpfTop)
                T = Y;
        }
        L = std::max(L, Desktop.Left);
        T = std::max(T, Desktop.Top);
    }
    if (OnRealign)
        OnRealign(this, L, T);
    F->SetBounds(L, T, F->Width(), F->Height());
}

void TXCustomCancelDialog::SetCanceled(bool Value)
{
    if (FCanceled == Value)
        return;
    FCanceled = Value;
    if (!Value)
        return;
    TLifeWatch Watch(FLife);
    Cancel();
    if (!Watch.Freed())
        DoCanceled();
}

void TXCustomCancelDialog::DoCanceled()
{
    if (OnCanceled)
        OnCanceled(this);
}

void TXCustomCancelDialog::ProcessMessages()
{
    if (Form())
        ProcessWindowMessages(Form());
}
