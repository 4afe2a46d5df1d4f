#include "core/XIni.h"
#include "core/XCore.Engine.Aspects.h"
#include "core/XCore.Errors.h"
#include "core/XEngine.h"
#include "rtl/TypInfo.h"

X_REGISTER_CLASS(TXCustomIni)
X_REGISTER_CLASS(TXIni)
X_REGISTER_CLASS(TXAIni)

X_PUBLISHED(TXIni)
{
    X_PROP(DocType, DocType, SetDocType);
    X_PROP(DocVer, DocVer, SetDocVer);
    X_PROP(lgID, lgID, SetlgID);
}

void TXCustomIni::EndUpdate()
{
    if (--FUpdateCount == 0)
        Changed();
}

void TXCustomIni::Changed()
{
    Broadcast(NewNotification(New<TXChangedAspect>()).Get());
}

bool TXCustomIni::LoadFromRegistry(const String& Key)
{
    const bool Loaded = LoadObjectFromRegistry(this, Key);
    AfterLoad();
    return Loaded;
}

bool TXCustomIni::SaveToRegistry(const String& Key)
{
    BeforeSave();
    return SaveObjectToRegistry(this, Key);
}

bool TXCustomIni::ResetFromRegistry(const String& Key)
{
    bool Loaded = false;
    XGuarded(xecNone, false, [&] {
        SetDefaults();
        Loaded = LoadFromRegistry(Key);
    });
    return Loaded;
}

void TXIni::SetDefaults()
{
    inherited::SetDefaults();
    FlgID = 9;
}
