#include "forms/XDlg.h"
#include "core/XCore.Errors.h"
#include "core/XPlatform.Utils.h"
#include "core/XSpark.App.h"
#include "core/XSpark.Lg.h"
#include "forms/XForms.MessageBox.h"
#include "rtl/StrUtils.h"
#include "rtl/Verify.h"

X_REGISTER_CLASS(TXCustomWinDialog)
X_REGISTER_CLASS(TXCustomCancelDialog)

X_PUBLISHED(TXCustomWinDialog)
{
    X_PROP(optSilentError, optSilentError, SetoptSilentError).Default(false);
    X_PROP(optAlwaysRearrange, optAlwaysRearrange, SetoptAlwaysRearrange).Default(false);
    X_PROP(Caption, Caption, SetCaption);
    X_PROP(CustomTag, CustomTag, SetCustomTag).Default(0);
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
    TLifeWatch Watch(FLife);
    LoadFormDataIfNeeded();
    UpdateCaption();
    DoExecute();
    DoShow();
    if (Watch.Freed())
        return 2;
    Integer Result = FForm ? FForm->ShowModal() : 0;
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
