#include "graphics/XSpark.VCL.Buttons.h"
#include "rtl/Units.h"
#include "vcl/Themes.h"

X_REGISTER_CLASS(TXCustomButton)
X_REGISTER_CLASS(TXButton)
X_REGISTER_CLASS(TXCheckBox)
X_REGISTER_CLASS(TXButtonStyleHook)
X_REGISTER_CLASS(TXCheckBoxStyleHook)

namespace {

void InitButtons()
{
    TCustomStyleEngine* Engine = TStyleManager::Engine();
    Engine->UnRegisterStyleHook(TXCustomButton::StaticClass(), TXButtonStyleHook::StaticClass());
    Engine->RegisterStyleHook(TXCustomButton::StaticClass(), TXButtonStyleHook::StaticClass());
    Engine->UnRegisterStyleHook(TXCheckBox::StaticClass(), TXCheckBoxStyleHook::StaticClass());
    Engine->RegisterStyleHook(TXCheckBox::StaticClass(), TXCheckBoxStyleHook::StaticClass());
}

void DoneButtons()
{
    if (TCustomStyleEngine* Engine = TStyleManager::Engine()) {
        Engine->UnRegisterStyleHook(TXCustomButton::StaticClass(), TXButtonStyleHook::StaticClass());
        Engine->UnRegisterStyleHook(TXCheckBox::StaticClass(), TXCheckBoxStyleHook::StaticClass());
    }
}

}

X_UNIT(XSpark_VCL_Buttons, "XSpark.VCL.Buttons", ({ "XSpark.VCL", "Themes" }), &InitButtons, &DoneButtons)

void TXCustomButton::WndProc(TMessage& Message)
{
    if (!OfferStyleMessage(this, ControlSkin(), Message))
        inherited::WndProc(Message);
}

void TXCustomButton::ScaleToScreen()
{
    ScaleBy(Screen->PixelsPerInch(), 96);
}

void TXCustomButton::DoExit()
{
    TLifeWatch Watch(FLife);
    inherited::DoExit();
    if (!Watch.Freed())
        TellFocusChanged(this, this);
}

void TXCheckBox::WndProc(TMessage& Message)
{
    if (!OfferStyleMessage(this, ControlSkin(), Message))
        inherited::WndProc(Message);
}

void TXCheckBox::ScaleToScreen()
{
    ScaleBy(Screen->PixelsPerInch(), 96);
}

TXControlSkin* ButtonSkinOf(TWinControl* Control)
{
    if (auto* Button = dynamic_cast<TXCustomButton*>(Control))
        return Button->ControlSkin();
    if (auto* Check = dynamic_cast<TXCheckBox*>(Control))
        return Check->ControlSkin();
    return nullptr;
}
