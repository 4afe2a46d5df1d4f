#include "forms/XSpark.VCL.Forms.h"
#include "core/XCore.App.h"
#include "core/XCore.Interfaces.h"
#include "core/XSpark.App.h"
#include "core/XSpark.Lg.h"
#include "core/XCore.Errors.h"
#include "forms/XForms.h"
#include "graphics/XMedia.Images.h"
#include "graphics/XSpark.Skin.h"
#include "rtl/Units.h"
#include "vcl/Themes.h"

X_REGISTER_CLASS(TXCustomForm)
X_REGISTER_CLASS(TXFormStyleHook)

X_MESSAGES(TXCustomForm)
{
    X_MESSAGE(WM_SIZE, WMSize);
    X_MESSAGE(WM_MOVING, WMMoving);
    X_MESSAGE(WM_SIZING, WMSizing);
    X_MESSAGE(WM_SYSCOMMAND, WMSysCommand);
    X_MESSAGE(CM_SHOWINGCHANGED, CMShowingChanged);
}

namespace {

void InitForms()
{
    TStyleManager::Engine()->RegisterStyleHook(TXCustomForm::StaticClass(), TXFormStyleHook::StaticClass());
}

void DoneForms()
{
    if (TCustomStyleEngine* Engine = TStyleManager::Engine())
        Engine->UnRegisterStyleHook(TXCustomForm::StaticClass(), TXFormStyleHook::StaticClass());
}

// The action id of a system command the form asks about; 0 for others.
Integer SysCommandAction(WPARAM Command)
{
    switch (Command & 0xFFF0) {
    case SC_SIZE: return xaSize;
    case SC_MOVE: return xaMove;
    case SC_MAXIMIZE: return xaMaximize;
    case SC_MINIMIZE: return xaMinimize;
    default: return 0;
    }
}

}

X_UNIT(XSpark_VCL_Forms, "XSpark.VCL.Forms", ({ "XSpark.VCL", "Themes" }), &InitForms, &DoneForms)

void TXCustomForm::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    TForm::SetCaption(u"XCustomForm");
    TForm::SetClientSize(320, 240);
    SetColor(clBtnFace);
    FShowTaskBar = true;
}

void TXCustomForm::AfterConstruction()
{
    inherited::AfterConstruction();
    SetFont(SharedFonts(0));
    RegisterLanguageListener(TXAnyProcedure::Method<&TXCustomForm::LanguageChanged>(this));
    SetShowTaskBar(FShowTaskBar);
    InitForm();
}

void TXCustomForm::BeforeDestruction()
{
    UnregisterLanguageListener(TXAnyProcedure::Method<&TXCustomForm::LanguageChanged>(this));
    if (!Designing(this))
        ControlSkin()->Broadcast(NewNotification(New<TXDestroyingAspect>(), this).Get());
    DoneForm();
    ListOnTaskBar(this, false);
    inherited::BeforeDestruction();
}

void TXCustomForm::SetName(const String& NewName)
{
    inherited::SetName(AcceptedComponentName(this, NewName));
}

void TXCustomForm::SetParent(TWinControl* AParent)
{
    inherited::SetParent(AParent);
    if (AParent)
        LanguageChanged();
}

void TXCustomForm::ScaleToScreen()
{
    ScaleBy(Screen->PixelsPerInch(), 96);
}

void TXCustomForm::Loaded()
{
    inherited::Loaded();
    SetFont(SharedFonts(0));
    if (Designing(this) || !Icon()->Empty())
        return;
    TXImageCollection* Pictures = SkinAppImages();
    auto* Item = Pictures ? static_cast<TXImageItem*>(Pictures->FindByName(u"Application16")) : nullptr;
    if (!Item || !Item->Data() || !Item->Data()->DataStream())
        return;
    TMemoryStream* Stream = Item->Data()->DataStream();
    Stream->SetPosition(0);
    // A picture that is no icon leaves the form without one.
    XGuarded(xecUnspecified, false, [&] { Icon()->LoadFromStream(Stream); });
}

void TXCustomForm::WndProc(TMessage& Message)
{
    if (!OfferStyleMessage(this, ControlSkin(), Message))
        inherited::WndProc(Message);
}

void TXCustomForm::SetShowTaskBar(bool Value)
{
    FShowTaskBar = Value;
    if (!Designing(this))
        ListOnTaskBar(this, Value && Visible());
}

bool TXCustomForm::Tell(TXCustomAspect* Aspect)
{
    if (Designing(this)) {
        Aspect->Free();
        return true;
    }
    TLifeWatch Watch(LifeMark());
    ControlSkin()->Broadcast(NewNotification(Aspect, this).Get());
    return !Watch.Freed();
}

bool TXCustomForm::RequestAction(TObject* Sender, Integer Action, Integer Param)
{
    auto* Request = New<TXRequestActionAspect>(Action, Param);
    IPtr<IXNotification> Asked = NewNotification(Request, Sender);
    TLifeWatch Watch(LifeMark());
    ControlSkin()->Broadcast(Asked.Get());
    if (Watch.Freed() || Request->Handled)
        return false;
    return Tell(New<TXActionAspect>(Action, Param));
}

bool TXCustomForm::CloseQuery()
{
    TLifeWatch Watch(LifeMark());
    if (!inherited::CloseQuery() || Watch.Freed())
        return false;
    if (!RequestAction(this, xaClose, 0))
        return false;
    if (Application && Application->MainForm() == this)
        TerminateApp();
    return true;
}

void TXCustomForm::DoShow()
{
    if (FShowTaskBar && !Designing(this))
        ListOnTaskBar(this, true);
    TLifeWatch Watch(LifeMark());
    FormShown();
    if (Watch.Freed())
        return;
    inherited::DoShow();
    if (!Watch.Freed())
        Tell(New<TXShownAspect>());
}

void TXCustomForm::DoHide()
{
    TLifeWatch Watch(LifeMark());
    FormHidden();
    if (Watch.Freed())
        return;
    inherited::DoHide();
    if (Watch.Freed())
        return;
    ListOnTaskBar(this, false);
    Tell(New<TXHiddenAspect>());
}

void TXCustomForm::WMSize(TMessage& Message)
{
    TLifeWatch Watch(LifeMark());
    X_INHERITED_MESSAGE(Message);
    if (!Watch.Freed())
        Tell(New<TXSizeChangedAspect>());
}

void TXCustomForm::WMMoving(TMessage& Message)
{
    TLifeWatch Watch(LifeMark());
    X_INHERITED_MESSAGE(Message);
    if (!Watch.Freed())
        Tell(New<TXMovingAspect>());
}

void TXCustomForm::WMSizing(TMessage& Message)
{
    auto* Request = New<TXRequestActionAspect>(xaSize, 0);
    IPtr<IXNotification> Asked = NewNotification(Request, this);
    TLifeWatch Watch(LifeMark());
    ControlSkin()->Broadcast(Asked.Get());
    if (Watch.Freed())
        return;
    if (!Request->Handled) {
        X_INHERITED_MESSAGE(Message);
        return;
    }
    // Refused: the rectangle the size would have taken is the form's own.
    if (auto* R = reinterpret_cast<RECT*>(Message.LParam))
        *R = { Left(), Top(), Left() + Width(), Top() + Height() };
    Message.Result = 1;
}

void TXCustomForm::WMSysCommand(TMessage& Message)
{
    const Integer Action = SysCommandAction(Message.WParam);
    if (!Action) {
        X_INHERITED_MESSAGE(Message);
        return;
    }
    auto* Request = New<TXRequestActionAspect>(Action, 0);
    IPtr<IXNotification> Asked = NewNotification(Request, this);
    TLifeWatch Watch(LifeMark());
    ControlSkin()->Broadcast(Asked.Get());
    if (Watch.Freed() || Request->Handled)
        return;
    X_INHERITED_MESSAGE(Message);
    if (!Watch.Freed())
        Tell(New<TXActionAspect>(Action, 0));
}

void TXCustomForm::CMShowingChanged(TMessage& Message)
{
    if (TXQVApp* App = QVApp())
        App->TaskBarFormsChanged();
    X_INHERITED_MESSAGE(Message);
}

void TXCustomForm::ObserveTopic(IXObservable* Observable, const String& Topic, TClass AspectClass)
{
    Observable->SubscribeTopic(Topic, AspectClass, TXNotificationHandler::Of<&TXCustomForm::ProcessNotification>(this));
}

void TXCustomForm::Observe(IXObservable* Observable, TClass AspectClass)
{
    Observable->Subscribe(AspectClass, TXNotificationHandler::Of<&TXCustomForm::ProcessNotification>(this));
}

void TXCustomForm::ProcessNotification(IXNotification* Notification)
{
    ControlSkin()->Broadcast(Notification);
}

// ---- style hook ----

void TXFormStyleHook::Create(TWinControl* AControl)
{
    inherited::Create(AControl);
    if (auto* Form = DynamicCast<TXCustomForm>(AControl))
        FControlSkin = Form->ControlSkin();
}

bool TXFormStyleHook::HandleMessage(TMessage& Message)
{
    TCustomStyleServices* Style = FControlSkin ? FControlSkin->StyleServices() : nullptr;
    return Style && Style->Enabled() && inherited::HandleMessage(Message);
}
