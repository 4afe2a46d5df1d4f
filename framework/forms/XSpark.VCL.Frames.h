// The frame base of the newer dialogs: an observable frame that tells its
// observers when it is shown, hidden and destroyed, re-captions itself on
// language changes and whenever it gets a parent, passes action
// notifications on, and takes its data from a dialog through two
// published handlers:
//
//     Frame->Subscribe(TXHiddenAspect::StaticClass(), Handler);
//     IPtr<IXControl<TWinControl>> C = Supports<IXControl<TWinControl>>(Frame);
//     C->PlaceInto(Form, alClient);
//
// TXPopupFrame floats free as a pop-up window that a click never
// activates.
#pragma once
#include "core/XCore.Engine.Aspects.h"
#include "graphics/XSpark.VCL.h"

class TXCustomFrame : public TXControlOf<TFrame>, public IXObserver {
    X_CLASS(TXCustomFrame, TXControlOf<TFrame>)
    X_INTERFACES(TXCustomFrame, IXObserver)
    X_NOT_COUNTED
public:
    void Create(TComponent* AOwner) override;
    void AfterConstruction() override;
    // The destroying notification, then DoneFrame.
    void BeforeDestruction() override;

    // Outside design time a name the owner accepts.
    void SetName(const String& NewName) override;
    void SetParent(TWinControl* AParent) override;
    void ScaleToScreen() override;
    void WndProc(TMessage& Message) override;

    IXObservable* GetObservable() override { return ControlSkin(); }
    IXObserver* GetObserver() { return this; }

    virtual void InitFrame() { }
    virtual void DoneFrame() { }
    virtual void FrameShown() { }
    virtual void FrameHidden() { }
    virtual void LanguageChanged() { }
    virtual void FrameResized() { }
    // Action notifications go on to the frame's own observers.
    virtual void ProcessAction(IXNotification* Notification);
    void ObserveTopic(IXObservable* Observable, const String& Topic, TClass AspectClass) override;
    void Observe(IXObservable* Observable, TClass AspectClass) override;
    // Published: descendants take a dialog's data here.
    virtual void ProcessInitDataNotification(IXNotification* Msg) { }
    virtual void ProcessUpdateDataNotification(IXNotification* Msg) { }

protected:
    void Resize() override;

private:
    // Any other notification goes on to the frame's observers too.
    void Relay(IXNotification* Notification);
    // Broadcasts a notification of Aspect from the frame; false once the
    // frame is gone.
    bool Tell(TXCustomAspect* Aspect);
};

class TXPopupFrame : public TXCustomFrame {
    X_CLASS(TXPopupFrame, TXCustomFrame)
    X_DECLARE_MESSAGES(TXPopupFrame)
protected:
    void CreateParams(TCreateParams& Params) override;
    void WMMouseActivate(TMessage& Message);
};
