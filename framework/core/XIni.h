// Settings components: a non-visual observable component whose published
// properties are a program's settings, with defaults, an update counter
// and the registry form of Load/SaveToRegistry.
//
//     auto* Ini = New<TXKXRIni>(Owner);
//     Ini->ResetFromRegistry(u"Software\\Quorvale\\KXR7\\");  // defaults, then what is stored
//     Ini->BeginUpdate(); ...; Ini->EndUpdate();              // one TXChangedAspect
//     Ini->SaveToRegistry(u"Software\\Quorvale\\KXR7\\");
#pragma once
#include "core/XSpark.Classes.h"

struct IXIni : virtual IXObservable {
    X_GUID("{6C1B8E0A-3F57-4D0B-9C36-2E4A7D91B5F3}")
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
    virtual void Changed() = 0;
};

class TXCustomIni : public TXObservableComponent, public virtual IXIni {
    X_CLASS(TXCustomIni, TXObservableComponent)
    X_INTERFACES(TXCustomIni, IXIni)
public:
    void BeginUpdate() override { ++FUpdateCount; }
    // The outermost EndUpdate announces the change.
    void EndUpdate() override;
    // Broadcasts a TXChangedAspect to the observers at once.
    void Changed() override;
    Integer UpdateCount() const { return FUpdateCount; }

    virtual void SetDefaults() { }
    virtual void AfterLoad() { }
    virtual void BeforeSave() { }
    virtual bool LoadFromRegistry(const String& Key);
    virtual bool SaveToRegistry(const String& Key);
    // SetDefaults, then LoadFromRegistry; False also when anything raises.
    bool ResetFromRegistry(const String& Key);

private:
    Integer FUpdateCount = 0;
};

class TXIni : public TXCustomIni {
    X_CLASS(TXIni, TXCustomIni)
public:
    // Language id 9 besides what the descendants set.
    void SetDefaults() override;

    String DocType() const { return FDocType; }
    void SetDocType(const String& Value) { FDocType = Value; }
    Integer DocVer() const { return FDocVer; }
    void SetDocVer(Integer Value) { FDocVer = Value; }
    Cardinal lgID() const { return FlgID; }
    void SetlgID(Cardinal Value) { FlgID = Value; }

    // The settings file name, with path macros; set by the program.
    String FileName;

private:
    String FDocType;
    Integer FDocVer = 0;
    Cardinal FlgID = 0;
};

// The settings base of the recovery program.
class TXAIni : public TXIni {
    X_CLASS(TXAIni, TXIni)
};
