#include "graphics/XSpark.VCL.Skins.h"
#include "core/XCore.App.h"
#include "rtl/Units.h"
#include "vcl/Forms.h"

using XSpark::VCL::Skins::TXSkin;

X_REGISTER_CLASS(TXSkinAspect)
X_REGISTER_CLASS(TXSkinChangedAspect)
X_REGISTER_CLASS(TXSkin)
X_REGISTER_CLASS(TXStyleSkin)
X_REGISTER_CLASS(TXSkins)
X_REGISTER_CLASS(TXQVSkinEngine)
X_REGISTER_CLASS(TXControlObservable)
X_REGISTER_CLASS(TXControlSkin)

namespace {

TXQVSkinEngine* TheEngine = nullptr;

void InitSkins()
{
    TheEngine = New<TXQVSkinEngine>();
}

void DoneSkins()
{
    FreeAndNil(TheEngine);
}

}

X_UNIT(XSpark_VCL_Skins, "XSpark.VCL.Skins", ({ "XSpark.Skin.Data.Win", "XSpark.Classes", "Themes" }), &InitSkins,
    &DoneSkins)

namespace XSpark::VCL::Skins {

void TXSkin::SetStyleName(const String& Value)
{
    FStyleName = Value;
    Changed();
}

void TXSkin::SetSkinName(const String& Value)
{
    FSkinName = Value;
    Changed();
}

void TXSkin::Changed()
{
    ResolveStyle();
    Broadcast(NewNotification(New<TXSkinChangedAspect>(), this).Get());
}

}

void TXStyleSkin::ResolveStyle()
{
    FStyleServices = TStyleManager::Style(StyleName());
}

void TXQVSkinEngine::Create()
{
    inherited::Create();
    FSkins.reset(New<TXSkins>(false));
    FOwnedSkins.reset(New<TXSkins>(true));
    FDefaultSkin.reset(New<TXStyleSkin>(nullptr));
    FDefaultSkin->SetStyleName(u"Windows");
    FDefaultSkin->SetSkinName(u"Windows");
    FSkins->Add(FDefaultSkin.get());
    FCurrentSkin = FDefaultSkin.get();
}

TXQVSkinEngine::~TXQVSkinEngine()
{
    FSkins.reset();
    FOwnedSkins.reset();
    FCurrentSkin = nullptr;
}

TXSkin* TXQVSkinEngine::FindSkin(const String& Name) const
{
    if (!Name.empty())
        for (Integer I = 0; I < FSkins->Count(); ++I)
            if (TXStyleSkin* Skin = FSkins->Items(I); Skin && Skin->SkinName() == Name)
                return Skin;
    return FCurrentSkin;
}

TXQVSkinEngine* QVSkinEngine()
{
    return TheEngine;
}

TXSkin* FindStyleSkin(const String& Name)
{
    return TheEngine ? TheEngine->FindSkin(Name) : nullptr;
}

void TXControlObservable::Create(TControl* AControl)
{
    IPtr<IInterface> Host;
    TComponent* Owner = AControl ? AControl->Owner() : nullptr;
    if (IPtr<IXEngine> Engine = Supports<IXEngine>(Owner))
        Host = IPtr<IInterface>(static_cast<IInterface*>(Engine.Get()));
    else
        Host = AppEngineHost();
    inherited::Create(std::move(Host), AControl);
}

void TXControlSkin::Create(TControl* AControl)
{
    inherited::Create(AControl);
    FSkin = FindStyleSkin({});
}

void TXControlSkin::SetSkinName(const String& Value)
{
    FSkinName = Value;
    FSkin = FindStyleSkin(Value);
    TLifeWatch Watch(FLife);
    Broadcast(NewNotification(New<TXSkinChangedAspect>(), Control()).Get());
    if (Watch.Freed())
        return;
    TControl* Target = Control();
    if (!Target)
        return;
    if (auto* Form = DynamicCast<TCustomForm>(Target)) {
        SendMessage(Form->Handle(), CM_STYLECHANGED, 0, 0);
        if (Watch.Freed())
            return;
        Form->Perform(CM_RECREATEWND);
        if (Watch.Freed())
            return;
    }
    Target->Invalidate();
}

TCustomStyleServices* TXControlSkin::StyleServices() const
{
    if (auto* Style = DynamicCast<TXStyleSkin>(FSkin))
        return Style->StyleServices();
    return ::StyleServices();
}
