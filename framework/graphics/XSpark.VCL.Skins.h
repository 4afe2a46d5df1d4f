// Style skins: named skins bound to a visual style of the class library,
// the process-wide engine that finds them, and the control skin through
// which a control or form learns that its skin changed.
//
// The engine knows one skin, "Windows", on the system style, so every
// lookup answers it. A control skin is a control's observable: it carries
// the control's notifications and, when its skin name is set, tells its
// observers (TXSkinChangedAspect), makes a form's window again and repaints
// the control:
//
//     Skin = New<TXControlSkin>(Control);
//     Skin->Subscribe(TXSkinChangedAspect::StaticClass(), Handler);
//     Skin->SetSkinName(u"Windows");
//
// The engine exists from the unit's initialisation to its finalisation.
#pragma once
#include "core/XCore.Collections.h"
#include "core/XSpark.Classes.h"
#include "rtl/LifeWatch.h"
#include "vcl/Controls.h"
#include "vcl/Themes.h"

// The notification that a skin changed; it carries nothing.
class TXSkinAspect : public TXChangedAspect {
    X_CLASS(TXSkinAspect, TXChangedAspect)
};

class TXSkinChangedAspect : public TXSkinAspect {
    X_CLASS(TXSkinChangedAspect, TXSkinAspect)
};

namespace XSpark::VCL::Skins {

// A named skin; setting either name resolves the style again and tells the
// skin's observers.
class TXSkin : public TXObservableComponent {
    X_CLASS(TXSkin, TXObservableComponent)
public:
    const String& StyleName() const { return FStyleName; }
    void SetStyleName(const String& Value);
    const String& SkinName() const { return FSkinName; }
    void SetSkinName(const String& Value);

protected:
    virtual void ResolveStyle() { }

private:
    void Changed();
    String FStyleName;
    String FSkinName;
};

}

// A skin on the class library's style of StyleName (the active style when
// there is none of that name).
class TXStyleSkin : public XSpark::VCL::Skins::TXSkin {
    X_CLASS(TXStyleSkin, XSpark::VCL::Skins::TXSkin)
public:
    TCustomStyleServices* StyleServices() const { return FStyleServices ? FStyleServices : ::StyleServices(); }

protected:
    void ResolveStyle() override;

private:
    TCustomStyleServices* FStyleServices = nullptr; // the style manager's
};

class TXSkins : public TXComponentList<TXStyleSkin> {
    X_CLASS(TXSkins, TXComponentList<TXStyleSkin>)
};

class TXQVSkinEngine : public TXInitializableObject {
    X_CLASS(TXQVSkinEngine, TXInitializableObject)
public:
    // Both lists and the "Windows" skin, the default and current one.
    void Create() override;
    ~TXQVSkinEngine() override;

    // The current skin for an empty name; else the first registered skin of
    // that SkinName (case-sensitive), else the current skin.
    XSpark::VCL::Skins::TXSkin* FindSkin(const String& Name) const;
    // Registered skins (not owned).
    TXSkins* Skins() const { return FSkins.get(); }
    XSpark::VCL::Skins::TXSkin* DefaultSkin() const { return FDefaultSkin.get(); }
    XSpark::VCL::Skins::TXSkin* CurrentSkin() const { return FCurrentSkin; }

private:
    TOwnedPtr<TXSkins> FSkins;
    TOwnedPtr<TXSkins> FOwnedSkins;
    TOwnedPtr<TXStyleSkin> FDefaultSkin;
    XSpark::VCL::Skins::TXSkin* FCurrentSkin = nullptr;
};

// The process-wide engine; null outside the unit's lifetime.
TXQVSkinEngine* QVSkinEngine();
// The engine's FindSkin; null without the engine.
XSpark::VCL::Skins::TXSkin* FindStyleSkin(const String& Name);

// An observable owned by a control, which answers the control as its
// container.
class TXControlObservable : public TXContainedObservableOf<TControl> {
    X_CLASS(TXControlObservable, TXContainedObservableOf<TControl>)
public:
    using inherited::Create;
    // Hosted by the control's owner when that is an engine, else by the
    // application engine.
    virtual void Create(TControl* AControl);
    TControl* Control() const { return Owner(); }
};

class TXControlSkin : public TXControlObservable {
    X_CLASS(TXControlSkin, TXControlObservable)
public:
    using inherited::Create;
    // The current skin is the engine's.
    void Create(TControl* AControl) override;

    XSpark::VCL::Skins::TXSkin* Skin() const { return FSkin; }
    const String& SkinName() const { return FSkinName; }
    // Takes the skin of that name, tells the observers, makes a form's
    // window again and repaints the control.
    void SetSkinName(const String& Value);
    // The style the control is drawn in: its style skin's, else the
    // active style.
    TCustomStyleServices* StyleServices() const;

private:
    TLifeMark FLife;
    XSpark::VCL::Skins::TXSkin* FSkin = nullptr; // the engine's
    String FSkinName;
};
