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
#include "core/XCore.Collections.h"
#include "forms/XCommandFr.h"
#include "forms/XForms.h"
#include <functional>

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
    // The modal run of the form ModalForm answers once the dialog is ready
    // (null: nothing runs modally, the result is 0); Mount puts the content
    // in place before the data loads. 2 when the dialog was freed meanwhile.
    Integer RunModal(const std::function<TCustomForm*()>& ModalForm, const std::function<void()>& Mount);

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

using TXCustomResizeEvent = std::function<void(TObject* Sender, Integer& NewWidth, Integer& NewHeight)>;
using TXCustomRealignEvent = std::function<void(TObject* Sender, Integer& NewLeft, Integer& NewTop)>;

// How a dialog places its form (PlaceAt); 0 centres it too.
enum : Byte {
    dpfParkBelow = 1, // below the virtual desktop
    dpfTop = 2, // top edge at y; above the anchor control
    dpfBottom = 4, // bottom edge at y
    dpfLeft = 8, // left edge at x; left of the anchor control's left
    dpfRight = 16, // right edge at x
    dpfCenter = 32,
    dpfRelative = 64, // x and y are offsets from the anchor control
};

// A dialog built from a content frame and a command frame, sized to the
// frame and placed by rules. The frame's published OnCmdClick event is
// bound to DoCmdClick, so buttons with negative Tags reach OnCmdClick.
class TXCustomDialog : public TXCustomWinDialog {
    X_CLASS(TXCustomDialog, TXCustomWinDialog)
public:
    void Create(TComponent* AOwner) override;

    TClass FrameClass() const { return FFrameClass; }
    TClass CommandFrameClass() const { return FCommandFrameClass; }
    TFrame* ContentFrame() const { return FFrame; }
    TXCommandFrame* CommandFrame() const { return FCommandFrame; }
    TWinControl* HostControl() const { return FHost; }
    // Sizes at 96 DPI; 0 takes the frame's or the form's size.
    Integer DlgWidth() const { return FDlgSize[0]; }
    Integer DlgHeight() const { return FDlgSize[1]; }
    void SetDlgWidth(Integer Value) { SetDlgSize(0, Value); }
    void SetDlgHeight(Integer Value) { SetDlgSize(1, Value); }
    void SetDlgSize(Integer Index, Integer Value);
    bool FrameSize() const { return FFrameSize; }
    void SetFrameSize(bool Value) { FFrameSize = Value; }
    TPoint AnchorPoint() const { return FAnchor; }
    TControl* AnchorControl() const { return FAnchorControl; }
    void SetAnchorControl(TControl* Value);
    Byte PlaceFlags() const { return FPlaceFlags; }
    // Stores the point and the flags and places the form again.
    void PlaceAt(TPoint Point, Byte Flags);

    TXCustomResizeEvent OnResize;
    TXCustomRealignEvent OnRealign;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    std::function<void(TMessage& Msg)> OnCmdClick;

    // With a control the content shows inside it instead of the form.
    virtual void SetHostControl(TWinControl* Control);
    // Bound to the content frame's OnCmdClick.
    virtual void DoCmdClick(TMessage& Msg);

    void CreateForm() override;
    void FreeForm() override;
    Integer ShowModalForm() override;
    bool ShowForm() override;
    bool CloseDialog(Integer ModalResult) override;
    void DoShow() override;
    void DoHide() override;

protected:
    void SetFrameClass(TClass Value) { FFrameClass = Value; }
    void SetCommandFrameClass(TClass Value) { FCommandFrameClass = Value; }
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // The form's client size from the dialog size, the frame and OnResize.
    void SizeForm();
    // The form's place by the flags, then OnRealign.
    void PlaceForm();

private:
    TClass FFrameClass = nullptr;
    TClass FCommandFrameClass = nullptr;
    TFrame* FFrame = nullptr;
    TXCommandFrame* FCommandFrame = nullptr;
    TWinControl* FHost = nullptr;
    Integer FDlgSize[2] = { 0, 0 };
    bool FFrameSize = true;
    TPoint FAnchor {};
    TControl* FAnchorControl = nullptr;
    Byte FPlaceFlags = dpfCenter;
    TPoint FDesignedClient {}; // the form's client when it was made

    // The content frame and the command frame into Parent.
    void MountFrames(TWinControl* Parent);
    void Watch(TComponent* Old, TComponent* New);
};

// Dialogs listed without being owned.
using TXDialogList = TXComponentList<TXCustomDialog>;

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
