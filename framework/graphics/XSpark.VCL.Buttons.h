// The push button and the check box with the framework's control skin:
// each is an observable (its control skin), hands its messages to the
// style engine first while its skin's style styles controls, and the
// button tells its observers when it loses the focus:
//
//     auto* Ok = New<TXButton>(Form);
//     Ok->Subscribe(TXFocusChangedAspect::StaticClass(), Handler);
//     Ok->ControlSkin()->SetSkinName(u"Windows");
#pragma once
#include "graphics/XSpark.VCL.h"
#include "vcl/StdCtrls.h"

class TXCustomButton : public TXControlOf<TCustomButton> {
    X_CLASS(TXCustomButton, TXControlOf<TCustomButton>)
public:
    void WndProc(TMessage& Message) override;
    void ScaleToScreen() override;

protected:
    void DoExit() override;
};

class TXButton : public TXCustomButton {
    X_CLASS(TXButton, TXCustomButton)
};

class TXCheckBox : public TXControlOf<TCheckBox> {
    X_CLASS(TXCheckBox, TXControlOf<TCheckBox>)
public:
    void WndProc(TMessage& Message) override;
    void ScaleToScreen() override;
};

// The hooks the unit registers for the two classes: they take styles
// from the hooked control's skin, not the application's.
class TXButtonStyleHook : public TButtonStyleHook {
    X_CLASS(TXButtonStyleHook, TButtonStyleHook)
public:
    void Create(TWinControl* AControl) override;
    TXControlSkin* ControlSkin() const { return FControlSkin; }
    bool HandleMessage(TMessage& Message) override;

private:
    TXControlSkin* FControlSkin = nullptr; // the control's
};

class TXCheckBoxStyleHook : public TCheckBoxStyleHook {
    X_CLASS(TXCheckBoxStyleHook, TCheckBoxStyleHook)
public:
    void Create(TWinControl* AControl) override;
    TXControlSkin* ControlSkin() const { return FControlSkin; }
    bool HandleMessage(TMessage& Message) override;

private:
    TXControlSkin* FControlSkin = nullptr; // the control's
};
