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

// The control skin of a framework button or check box; null for others.
TXControlSkin* SkinOf(TWinControl* Control)
{
    if (auto* Button = dynamic_cast<TXCustomButton*>(Control))
        return Button->ControlSkin();
    if (auto* Check = dynamic_cast<TXCheckBox*>(Control))
        return Check->ControlSkin();
    return nullptr;
}

// Only a skin whose style styles controls has anything to paint.
bool SkinStyled(const TXControlSkin* Skin)
{
    return Skin && Skin->StyleServices() && Skin->StyleServices()->Enabled();
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

void TXButtonStyleHook::Create(TWinControl* AControl)
{
    inherited::Create(AControl);
    FControlSkin = SkinOf(AControl);
}

bool TXButtonStyleHook::HandleMessage(TMessage& Message)
{
    return SkinStyled(FControlSkin) && inherited::HandleMessage(Message);
}

void TXCheckBoxStyleHook::Create(TWinControl* AControl)
{
    inherited::Create(AControl);
    FControlSkin = SkinOf(AControl);
}

bool TXCheckBoxStyleHook::HandleMessage(TMessage& Message)
{
    return SkinStyled(FControlSkin) && inherited::HandleMessage(Message);
}
