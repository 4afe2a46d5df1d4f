// Settings components: a non-visual observable component whose published
// properties are a program's settings, with defaults, an update counter
// and a change notification. They are kept in a settings file (the XML
// object form, indented, zlib-compressed when asked; the text form of
// components is read too) or under a registry key.
//
//     auto* Ini = New<TXKXRIni>(Owner);
//     Ini->ResetFromRegistry(u"Software\\Quorvale\\KXR7\\");  // defaults, then what is stored
//     Ini->BeginUpdate(); ...; Ini->EndUpdate();              // one TXChangedAspect
//     Ini->SaveToRegistry(u"Software\\Quorvale\\KXR7\\");
//
//     Settings->SetDefaults();
//     Settings->LoadFromFile(u"/home/ann/.local/share/Quorvale/lumeno.ini");
//     Settings->SaveToFile(u"/home/ann/.local/share/Quorvale/lumeno.ini", true);
#pragma once
#include "core/XSpark.Classes.h"
#include "rtl/Streams.h"

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
    // The outermost EndUpdate announces the change; one without a
    // BeginUpdate does nothing (the count never goes below 0, where no
    // later EndUpdate would announce anything).
    void EndUpdate() override;
    // Broadcasts a TXChangedAspect to the observers at once.
    void Changed() override;
    Integer UpdateCount() const { return FUpdateCount; }

    virtual void SetDefaults() { }
    // Runs after every load attempt; what it raises is dropped.
    virtual void AfterLoad() { }
    virtual void BeforeSave() { }
    // The whole stream: the XML form, plain or compressed, or the text
    // form of components written for any name and class. What was read
    // before a failure stays; False (xecReadFailed) then.
    virtual bool LoadFromStream(TStream* Stream);
    // The XML form, indented, compressed when asked; xecWriteFailed.
    virtual bool SaveToStream(TStream* Stream, bool Compressed);
    virtual bool LoadFromRegistry(const String& Key);
    // The save reaches the registry file in one write.
    virtual bool SaveToRegistry(const String& Key);

    // False for a missing file (after AfterLoad) and for a name that is
    // not an absolute path, which would name a file of whatever folder the
    // program runs in.
    bool LoadFromFile(const String& FileName);
    // Replaces the file whole (its folder is made when missing): a failed
    // save leaves the old file as it was. False for a name that is not an
    // absolute path.
    bool SaveToFile(const String& FileName, bool Compressed);
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

// The settings base of the desktop program.
class TXRIni : public TXIni {
    X_CLASS(TXRIni, TXIni)
};

// The settings base of the recovery program.
class TXAIni : public TXIni {
    X_CLASS(TXAIni, TXIni)
};
