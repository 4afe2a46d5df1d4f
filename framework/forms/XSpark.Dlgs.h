// The newer dialog framework: a dialog component makes a form that it only
// knows through IXForm, hands it options and data through the reader
// interfaces, and learns of the end of a run from the form's notifications
// (a request action 1-10 closes it, the hidden form gives its data back):
//
//     auto* Dialog = New<TXDialog<TMyOptions, TMyData>>(Owner);
//     if (Dialog->ExecuteOK())                       // result 1
//         Use(Dialog->Data());
//
// TXDialog<> is the base; TXDialog<TOptions, TData> adds an options and a
// data object that travel to and from the form's content.
#pragma once
#include "core/XCore.Interfaces.h"
#include "core/XSpark.Classes.h"
#include "forms/XSpark.VCL.Forms.h"
#include "graphics/XSpark.Forms.h"
#include "rtl/LifeWatch.h"

namespace XSpark::Dlgs {

template<class... T>
class TXDialog;

template<>
class TXDialog<> : public TXObservableComponent, public IXLazy {
    X_CLASS_TEMPLATE(TXDialog, TXObservableComponent, u"XSpark.Dlgs.TXDialog")
    X_INTERFACES(TXDialog, IXLazy)
    X_FORWARD_IINTERFACE(TXObservableComponent)
public:
    // Auto-free on, the options, InitDialog, the language hook; a form at
    // once when InitDialog switched auto-free off.
    void Create(TComponent* AOwner) override;
    // Observers are told, the form closes with 2 and goes.
    void BeforeDestruction() override;

    TXFormOptions* FormOptions() const { return FOptions.get(); }
    TClass FormClass() const { return FFormClass; }
    IXForm* Form() const { return FForm; }
    Integer LastResult() const { return FResult; }

    // IXLazy
    bool IsCreated() override { return HasForm(); }
    bool GetAutoFree() override { return FAutoFree; }
    void SetAutoFree(bool Value) override;

    virtual void InitDialog() { }
    virtual void CreateForm();
    virtual void ObserveForm();
    virtual void UnobserveForm();
    virtual void FreeForm();
    virtual void UpdateFormPosition();
    virtual void ApplyOptions() { }
    virtual void ApplyData() { }
    virtual void ReadBackData() { }
    virtual Integer ShowModalForm();
    virtual void LanguageChanged() { }
    // The modal result; 2 when the run failed; 0 when the form is modal
    // already. Silent: no box on failure.
    virtual Integer Execute();
    virtual bool ExecuteOK() { return Execute() == 1; }
    virtual bool ShowForm();
    virtual bool CloseDialog(Integer ModalResult);
    virtual bool HasForm() { return FForm != nullptr; }
    virtual bool IsVisible() { return FForm && FForm->IsVisible(); }
    virtual bool IsModal() { return FForm && FForm->IsModal(); }

protected:
    void SetFormClass(TClass Value) { FFormClass = Value; }
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // The form's content answers I: the form itself, else nothing.
    template<class I>
    IPtr<I> FormAs() const
    {
        return FFormObject ? Supports<I>(FFormObject) : IPtr<I>();
    }

    TLifeMark FLife;

private:
    bool FAutoFree = true;
    TOwnedPtr<TXFormOptions> FOptions;
    TClass FFormClass = nullptr;
    IXForm* FForm = nullptr;
    TComponent* FFormObject = nullptr; // the form as the component it is
    Integer FResult = 0;

    void CreateAndObserveForm();
    void UnobserveAndFreeForm();
    void FormRequest(IXNotification* Notification);
    void FormHidden(IXNotification* Notification);
};

// A dialog without data of its own.
class TXDialogData : public TXComponent {
    X_CLASS(TXDialogData, TXComponent)
};

// A dialog with an options object and a data object (both its own):
// before every show the form's content reads both; unless the run ended
// with 2 the content writes the data back.
template<class TOptions, class TData>
class TXDialog<TOptions, TData> : public TXDialog<> {
    X_CLASS_TEMPLATE(TXDialog, TXDialog<>, u"XSpark.Dlgs.TXDialog<TOptions,TData>")
public:
    void Create(TComponent* AOwner) override
    {
        // Before the inherited creation: InitDialog may fill them.
        FOptionsObject.reset(New<TOptions>(nullptr));
        FData.reset(New<TData>(nullptr));
        inherited::Create(AOwner);
    }
    TOptions* Options() const { return FOptionsObject.get(); }
    TData* Data() const { return FData.get(); }

    void ApplyOptions() override
    {
        if (auto Reader = FormAs<IXOptionsReader<TOptions*>>())
            Reader->ReadOptions(Options());
    }
    void ApplyData() override
    {
        if (auto Reader = FormAs<IXDataReader<TData*>>())
            Reader->ReadData(Data());
    }
    void ReadBackData() override
    {
        if (LastResult() == 2)
            return;
        if (auto Writer = FormAs<IXDataWriter<TData*>>())
            Writer->WriteData(Data());
    }

private:
    TOwnedPtr<TOptions> FOptionsObject;
    TOwnedPtr<TData> FData;
};

}
