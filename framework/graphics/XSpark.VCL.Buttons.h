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
#include "vcl/Themes.h"

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

// The control skin of a framework button or check box; null for others.
TXControlSkin* ButtonSkinOf(TWinControl* Control);

// A platform hook that takes its styles from the hooked control's skin,
// not the application's: it takes messages only while that style styles
// controls.
template<class TBase>
class TXSkinStyleHookOf : public TBase {
    X_CLASS_TEMPLATE(TXSkinStyleHookOf, TBase, u"TXSkinStyleHookOf<T>")
public:
    using inherited::Create;
    void Create(TWinControl* AControl) override
    {
        inherited::Create(AControl);
        FControlSkin = ButtonSkinOf(AControl);
    }
    TXControlSkin* ControlSkin() const { return FControlSkin; }
    bool HandleMessage(TMessage& Message) override
    {
        TCustomStyleServices* Style = FControlSkin ? FControlSkin->StyleServices() : nullptr;
        return Style && Style->Enabled() && inherited::HandleMessage(Message);
    }

private:
    TXControlSkin* FControlSkin = nullptr; // the control's
};

// The hooks the unit registers for the two classes.
class TXButtonStyleHook : public TXSkinStyleHookOf<TButtonStyleHook> {
    X_CLASS(TXButtonStyleHook, TXSkinStyleHookOf<TButtonStyleHook>)
};

class TXCheckBoxStyleHook : public TXSkinStyleHookOf<TCheckBoxStyleHook> {
    X_CLASS(TXCheckBoxStyleHook, TXSkinStyleHookOf<TCheckBoxStyleHook>)
};
