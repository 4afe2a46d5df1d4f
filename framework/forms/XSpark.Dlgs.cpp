#include "forms/XSpark.Dlgs.h"
#include "core/XCore.Engine.Aspects.h"
#include "core/XCore.Errors.h"
#include "core/XSpark.Lg.h"
#include "forms/XForms.h"

namespace XSpark::Dlgs {

X_REGISTER_CLASS(TXDialogData)

void TXDialog<>::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FOptions = MakeOwned<TXFormOptions>();
    FAutoFree = true;
    InitDialog();
    RegisterLanguageListener(TXAnyProcedure::Method<&TXDialog<>::LanguageChanged>(this));
    if (!FAutoFree)
        CreateAndObserveForm();
}

void TXDialog<>::BeforeDestruction()
{
    UnregisterLanguageListener(TXAnyProcedure::Method<&TXDialog<>::LanguageChanged>(this));
    if (TXContainedObservable* Observers = Observable())
        XGuarded(xecUnspecified, false,
            [&] { Observers->Broadcast(NewNotification(New<TXDestroyingAspect>(), this).Get()); });
    CloseDialog(2);
    UnobserveAndFreeForm();
    inherited::BeforeDestruction();
}

void TXDialog<>::SetAutoFree(bool Value)
{
    if (FAutoFree == Value)
        return;
    FAutoFree = Value;
    if (Value && FForm && !FForm->IsVisible())
        UnobserveAndFreeForm();
    else if (!Value && !FForm)
        CreateAndObserveForm();
}

void TXDialog<>::CreateForm()
{
    if (FForm || !FFormClass || !FFormClass->InheritsFrom(TComponent::StaticClass()))
        return;
    auto* Made = Construct(static_cast<TComponent*>(FFormClass->NewInstance()), static_cast<TComponent*>(nullptr));
    IPtr<IXForm> Form = Supports<IXForm>(Made);
    if (!Form) {
        // Only an IXForm can be driven; another class gives no form.
        Made->Free();
        return;
    }
    FFormObject = Made;
    FForm = Form.Get();
    Made->FreeNotification(this);
    IXFormOptions* To = FForm->GetOptions();
    const TXFormOptions* From = FOptions.get();
    To->SetCaption(From->Caption());
    To->SetBorderStyle(From->BorderStyle());
    To->SetPosition(From->Position());
    if (From->Position() == poDesigned || From->Position() == poDefaultSizeOnly) {
        To->SetLeft(From->Left());
        To->SetTop(From->Top());
    }
    if (From->Width() > 0)
        To->SetClientWidth(From->Width());
    if (From->Height() > 0)
        To->SetClientHeight(From->Height());
    if (!From->BoundsRect().IsEmpty())
        To->SetBoundsRect(From->BoundsRect());
    To->SetWindowState(From->WindowState());
}

void TXDialog<>::CreateAndObserveForm()
{
    CreateForm();
    if (!FForm)
        return;
    LanguageChanged();
    ObserveForm();
}

void TXDialog<>::ObserveForm()
{
    IXObservable* Events = FForm ? FForm->GetObservable() : nullptr;
    if (!Events)
        return;
    Events->Subscribe(TXRequestActionAspect::StaticClass(), TXNotificationHandler::Of<&TXDialog<>::FormRequest>(this));
    Events->Subscribe(TXHiddenAspect::StaticClass(), TXNotificationHandler::Of<&TXDialog<>::FormHidden>(this));
}

void TXDialog<>::UnobserveForm()
{
    if (!FForm)
        return;
    if (IXObservable* Events = FForm->GetObservable())
        Events->UnsubscribeComponent(this);
    if (TXContainedObservable* Own = Observable())
        Own->UnsubscribeComponent(FFormObject);
}

void TXDialog<>::FreeForm()
{
    IXForm* Form = FForm;
    TComponent* Object = FFormObject;
    FForm = nullptr;
    FFormObject = nullptr;
    if (!Object)
        return;
    Object->RemoveFreeNotification(this);
    if (!Object->ComponentState().Contains(csDestroying))
        Form->Release();
}

void TXDialog<>::UnobserveAndFreeForm()
{
    if (!FForm)
        return;
    const bool Done = XGuarded(xecUnspecified, false, [&] {
        UnobserveForm();
        FreeForm();
    });
    if (!Done) {
        // A failed release drops the form all the same.
        if (FFormObject)
            FFormObject->RemoveFreeNotification(this);
        FForm = nullptr;
        FFormObject = nullptr;
    }
}

void TXDialog<>::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FFormObject) {
        FForm = nullptr;
        FFormObject = nullptr;
    }
}

void TXDialog<>::UpdateFormPosition()
{
    if (!FForm)
        return;
    if (FOptions->Position() == poDesigned || FOptions->Position() == poDefaultSizeOnly) {
        FForm->GetOptions()->SetLeft(FOptions->Left());
        FForm->GetOptions()->SetTop(FOptions->Top());
    }
}

Integer TXDialog<>::ShowModalForm()
{
    FResult = 0;
    if (!FForm)
        return 0;
    TLifeWatch Watch(FLife);
    ApplyOptions();
    ApplyData();
    UpdateFormPosition();
    if (Watch.Freed() || !FForm)
        return Watch.Freed() ? 2 : 0;
    const Integer Result = FForm->ShowModal();
    if (Watch.Freed())
        return 2;
    FResult = Result;
    return Result;
}

Integer TXDialog<>::Execute()
{
    FResult = 0;
    if (IsModal())
        return 0;
    TLifeWatch Watch(FLife);
    Integer Result = 0;
    bool Ran = XGuarded(xecUnspecified, false, [&] {
        if (!FForm)
            CreateAndObserveForm();
    });
    if (Watch.Freed())
        return 2;
    if (Ran)
        Ran = XGuarded(xecUnspecified, false, [&] { Result = ShowModalForm(); });
    // Freed meanwhile (a handler, its owner): nothing of it is touched.
    if (Watch.Freed())
        return 2;
    if (!Ran)
        Result = 2;
    FResult = Result;
    RefreshTaskBarForms();
    return Result;
}

bool TXDialog<>::ShowForm()
{
    FResult = 0;
    if (!FForm)
        CreateAndObserveForm();
    if (!FForm)
        return false;
    TLifeWatch Watch(FLife);
    ApplyOptions();
    ApplyData();
    UpdateFormPosition();
    if (Watch.Freed() || !FForm)
        return false;
    FForm->Show();
    return true;
}

bool TXDialog<>::CloseDialog(Integer ModalResult)
{
    if (!FForm)
        return false;
    FResult = ModalResult;
    if (FForm->IsModal())
        FForm->SetModalResult(ModalResult);
    else
        FForm->Hide();
    return true;
}

void TXDialog<>::FormRequest(IXNotification* Notification)
{
    auto* Request = DynamicCast<TXRequestActionAspect>(Notification->GetAspect());
    if (Request && Request->Action >= 1 && Request->Action <= 10)
        CloseDialog(Request->Action);
}

void TXDialog<>::FormHidden(IXNotification* Notification)
{
    // A modal form closed another way (its system menu: 2) ends the run
    // with its own result, so a cancelled run keeps the dialog's data.
    if (auto* Modal = DynamicCast<TCustomForm>(FFormObject); Modal && Modal->ModalResult() != 0)
        FResult = Modal->ModalResult();
    TLifeWatch Watch(FLife);
    XGuarded(xecUnspecified, false, [&] { ReadBackData(); });
    if (!Watch.Freed() && FAutoFree)
        UnobserveAndFreeForm();
}

}
