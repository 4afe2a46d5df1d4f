// The older dialog framework: a dialog is a component (a gear) that keeps
// the dialog's settings and data while no window exists, makes its form
// when it is needed, loads its data into it, shows it, takes the result
// and the data back and lets the form go again.
//
//     auto* Dialog = New<TMyDialog>(DataModule);      // InitDialog picks the form class
//     if (Dialog->ExecuteOK())                        // OK pressed: SaveFormData ran
//         Use(Dialog->Data());
//
// Forms and command frames close a dialog with the integer command 104
// whose argument is the result as decimal text. A dialog freed while its
// form runs modally (by a handler, its owner) is touched no more; its
// Execute answers 2.
#pragma once
#include "core/XEngine.Gears.h"
#include "forms/XForms.h"

class TXCustomWinDialog : public XEngine::TXGear {
    X_CLASS(TXCustomWinDialog, XEngine::TXGear)
public:
    // The style (bsDialog, poScreenCenter), InitDialog, the language hook;
    // without DynamicDlg the form at once.
    void Create(TComponent* AOwner) override;
    // The language hook goes, CloseDialog(2), the form is let go.
    void BeforeDestruction() override;

    bool optSilentError() const { return FSilentError; }
    void SetoptSilentError(bool Value) { FSilentError = Value; }
    bool optAlwaysRearrange() const { return FAlwaysRearrange; }
    void SetoptAlwaysRearrange(bool Value) { FAlwaysRearrange = Value; }
    TXFormStyle* XStyle() const { return FStyle.get(); }
    const String& Caption() const { return FCaption; }
    void SetCaption(const String& Value);
    Integer CustomTag() const { return FCustomTag; }
    void SetCustomTag(Integer Value) { FCustomTag = Value; }
    TNotifyEvent OnExecute;
    TNotifyEvent OnExecuted;
    TNotifyEvent OnMove;

    TClass FormClass() const { return FFormClass; }
    TXWinForm* Form() const { return FForm; }
    bool DynamicDlg() const { return FDynamicDlg; }
    void SetDynamicDlg(bool Value);
    Integer LastResult() const { return FResult; }

    // The modal run: its result, 2 when it failed (with a message box
    // unless optSilentError), 0 when the form is modal already.
    Integer Execute();
    bool ExecuteOK() { return Execute() == 1; }
    // LoadFormData runs again before the next show.
    void InvalidateFormData() { FLoadData = true; }
    void LoadFormDataIfNeeded();

    virtual void UpdateCaption();
    virtual void InitDialog() { }
    virtual void CreateForm();
    virtual void FreeForm();
    virtual void DoShow() { }
    virtual void DoHide() { }
    virtual void DoExecute();
    virtual void DoExecuted();
    virtual void LoadFormData() { }
    virtual Integer ShowModalForm();
    virtual void LanguageChanged() { UpdateCaption(); }
    virtual void SaveFormData() { }
    // The modeless show; false without a form.
    virtual bool ShowForm();
    // Ends the run with ModalResult: a modal form takes it, a modeless one
    // hides; the data is saved. False without a form.
    virtual bool CloseDialog(Integer ModalResult);
    virtual bool HasForm() { return FForm != nullptr; }
    virtual bool IsVisible() { return FForm && FForm->Visible(); }
    virtual bool IsModal();

    // Command 104 closes the dialog with its argument (2 when that is no
    // number); the rest goes to the gear.
    void DoIntCommand(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName, Integer Command,
        const String& Args) override;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void SetFormClass(TClass Value) { FFormClass = Value; }
    void SetDefaultCaption(const String& Value) { FDefaultCaption = Value; }

private:
    bool FSilentError = false;
    bool FAlwaysRearrange = false;
    TOwnedPtr<TXFormStyle> FStyle;
    String FCaption;
    String FDefaultCaption;
    Integer FCustomTag = 0;
    TClass FFormClass = nullptr;
    TXWinForm* FForm = nullptr;
    bool FDynamicDlg = true;
    bool FLoadData = true;
    Integer FResult = 0;
};

// A dialog for long operations that the user may cancel.
class TXCustomCancelDialog : public TXCustomWinDialog {
    X_CLASS(TXCustomCancelDialog, TXCustomWinDialog)
public:
    bool CanCancel() const { return FCanCancel; }
    virtual void SetCanCancel(bool Value) { FCanCancel = Value; }
    bool Canceled() const { return FCanceled; }
    // Becoming true closes the dialog with 2, then DoCanceled.
    virtual void SetCanceled(bool Value);
    virtual void Cancel() { CloseDialog(2); }
    virtual void DoCanceled();
    // Handles the messages waiting for the form's window.
    virtual void ProcessMessages();

    TNotifyEvent OnCanceled;

private:
    bool FCanCancel = false;
    bool FCanceled = false;
};
