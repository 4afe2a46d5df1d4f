// The newer form base: TXCustomForm is observable, tells its observers of
// its life (shown, hidden, moving, sized, destroyed) and asks them before
// it sizes, moves, minimises, maximises or closes. Dialogs drive it through
// IXForm and IXFormOptions:
//
//     Form->Subscribe(TXRequestActionAspect::StaticClass(), Handler);
//     ...   // a handler refusing -21 keeps the form open:
//     static_cast<TXRequestActionAspect*>(N->GetAspect())->SetHandled();
//
// The requests and reports carry these action ids: -21 close, -22 move,
// -23 size, -24 maximise, -25 minimise.
//
// TXFormStyleHook is registered for the class; only the system style
// exists here, so it is routing without a painter of its own.
#pragma once
#include "core/XCore.Engine.Aspects.h"
#include "graphics/XSpark.VCL.h"

constexpr Integer xaClose = -21;
constexpr Integer xaMove = -22;
constexpr Integer xaSize = -23;
constexpr Integer xaMaximize = -24;
constexpr Integer xaMinimize = -25;

struct IXFormOptions : IInterface {
    X_GUID("{5D8E2C41-7A3B-4F19-9E06-B1C4D2A7F853}")
    virtual String GetCaption() = 0;
    virtual void SetCaption(const String& Value) = 0;
    virtual TFormBorderStyle GetBorderStyle() = 0;
    virtual void SetBorderStyle(TFormBorderStyle Value) = 0;
    virtual TRect GetBoundsRect() = 0;
    virtual void SetBoundsRect(const TRect& Value) = 0;
    virtual Integer GetClientWidth() = 0;
    virtual void SetClientWidth(Integer Value) = 0;
    virtual Integer GetClientHeight() = 0;
    virtual void SetClientHeight(Integer Value) = 0;
    virtual Integer GetLeft() = 0;
    virtual void SetLeft(Integer Value) = 0;
    virtual Integer GetTop() = 0;
    virtual void SetTop(Integer Value) = 0;
    virtual TPosition GetPosition() = 0;
    virtual void SetPosition(TPosition Value) = 0;
    virtual TWindowState GetWindowState() = 0;
    virtual void SetWindowState(TWindowState Value) = 0;
};

struct IXForm : IInterface {
    X_GUID("{9A61F0D7-3C2E-4B85-8D14-6E7B5A90C2F1}")
    virtual IXObservable* GetObservable() = 0;
    virtual IXObserver* GetObserver() = 0;
    virtual IXFormOptions* GetOptions() = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual Integer ShowModal() = 0;
    virtual void SetModalResult(Integer Value) = 0;
    virtual void Release() = 0;
    virtual bool IsModal() = 0;
    virtual bool IsVisible() = 0;
};

class TXCustomForm : public TXControlOf<TForm>, public IXForm, public IXFormOptions, public IXObserver {
    X_CLASS(TXCustomForm, TXControlOf<TForm>)
    X_INTERFACES(TXCustomForm, IXForm, IXFormOptions, IXObserver)
    X_NOT_COUNTED
    X_DECLARE_MESSAGES(TXCustomForm)
public:
    // "XCustomForm", a client of 320 x 240, on the task bar.
    void Create(TComponent* AOwner) override;
    void AfterConstruction() override;
    // Destroying is told first, then DoneForm.
    void BeforeDestruction() override;
    void SetName(const String& NewName) override;
    void SetParent(TWinControl* AParent) override;
    void ScaleToScreen() override;
    // The shared message font again; a form without an icon takes the
    // skin's "Application16".
    void Loaded() override;
    void WndProc(TMessage& Message) override;

    bool ShowTaskBar() const { return FShowTaskBar; }
    void SetShowTaskBar(bool Value);
    // Asks the observers (TXRequestActionAspect); when none refused, tells
    // them it happens (TXActionAspect) and answers true.
    bool RequestAction(TObject* Sender, Integer Action, Integer Param);
    // The form's answer, then the observers' (-21); closing the main form
    // ends the application.
    bool CloseQuery() override;

    virtual void InitForm() { }
    virtual void DoneForm() { }
    virtual void FormHidden() { }
    virtual void FormShown() { }
    virtual void LanguageChanged() { }
    Integer ShowModal() override { return TForm::ShowModal(); }
    void ObserveTopic(IXObservable* Observable, const String& Topic, TClass AspectClass) override;
    void Observe(IXObservable* Observable, TClass AspectClass) override;
    virtual void ProcessNotification(IXNotification* Notification);

    // IXForm
    IXObservable* GetObservable() override { return ControlSkin(); }
    IXObserver* GetObserver() override { return this; }
    IXFormOptions* GetOptions() override { return this; }
    void Show() override { TForm::Show(); }
    void Hide() override { TForm::Hide(); }
    void SetModalResult(Integer Value) override { TForm::SetModalResult(Value); }
    void Release() override { TForm::Release(); }
    bool IsModal() override { return FormState().Contains(fsModal); }
    bool IsVisible() override { return FormState().Contains(fsVisible); }

    // IXFormOptions
    String GetCaption() override { return Caption(); }
    void SetCaption(const String& Value) override { TForm::SetCaption(Value); }
    TFormBorderStyle GetBorderStyle() override { return BorderStyle(); }
    void SetBorderStyle(TFormBorderStyle Value) override { TForm::SetBorderStyle(Value); }
    TRect GetBoundsRect() override { return BoundsRect(); }
    void SetBoundsRect(const TRect& Value) override { TForm::SetBoundsRect(Value); }
    Integer GetClientWidth() override { return ClientWidth(); }
    void SetClientWidth(Integer Value) override { TForm::SetClientWidth(Value); }
    Integer GetClientHeight() override { return ClientHeight(); }
    void SetClientHeight(Integer Value) override { TForm::SetClientHeight(Value); }
    Integer GetLeft() override { return Left(); }
    void SetLeft(Integer Value) override { TForm::SetLeft(Value); }
    Integer GetTop() override { return Top(); }
    void SetTop(Integer Value) override { TForm::SetTop(Value); }
    TPosition GetPosition() override { return Position(); }
    void SetPosition(TPosition Value) override { TForm::SetPosition(Value); }
    TWindowState GetWindowState() override { return WindowState(); }
    void SetWindowState(TWindowState Value) override { TForm::SetWindowState(Value); }

protected:
    void DoShow() override;
    void DoHide() override;
    void WMSize(TMessage& Message);
    void WMMoving(TMessage& Message);
    void WMSizing(TMessage& Message);
    void WMSysCommand(TMessage& Message);
    void CMShowingChanged(TMessage& Message);

private:
    bool FShowTaskBar = true;

    // Broadcasts a notification of Aspect from the form; false once the
    // form is gone.
    bool Tell(TXCustomAspect* Aspect);
};

// The form style hook of TXCustomForm: it styles with the form's own
// skin, so it takes messages only while that skin's style is enabled.
class TXFormStyleHook : public TMouseTrackControlStyleHook {
    X_CLASS(TXFormStyleHook, TMouseTrackControlStyleHook)
public:
    using inherited::Create;
    void Create(TWinControl* AControl) override;
    TXControlSkin* ControlSkin() const { return FControlSkin; }
    bool HandleMessage(TMessage& Message) override;

private:
    TXControlSkin* FControlSkin = nullptr; // the form's
};
