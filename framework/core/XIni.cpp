#include "core/XIni.h"
#include "core/XCore.ComponentText.h"
#include "core/XCore.Engine.Aspects.h"
#include "core/XCore.Errors.h"
#include "core/XCore.IO.h"
#include "core/XCore.XMLObjects.h"
#include "core/XCore.ZLib.h"
#include "core/XEngine.h"
#include "rtl/SafeSave.h"
#include "rtl/StrUtils.h"
#include "rtl/TypInfo.h"
#include <filesystem>

X_REGISTER_CLASS(TXCustomIni)
X_REGISTER_CLASS(TXIni)
X_REGISTER_CLASS(TXRIni)
X_REGISTER_CLASS(TXAIni)

X_PUBLISHED(TXIni)
{
    X_PROP(DocType, DocType, SetDocType);
    X_PROP(DocVer, DocVer, SetDocVer);
    X_PROP(lgID, lgID, SetlgID);
}

namespace {

bool IsAbsoluteName(const String& FileName)
{
    return !FileName.empty() && FileName[0] == u'/';
}

// Only a regular file is read: a pipe or device of that name would hang
// or never end.
bool IsRegularFile(const String& FileName)
{
    std::error_code Error;
    return std::filesystem::is_regular_file(std::filesystem::path(StringToUTF8(FileName)), Error);
}

// A text form written by another component or class names this one on
// its first line instead, so it reads into this component.
void RenameTextRoot(String& Text, TComponent* Component)
{
    if (!Text.starts_with(u"object"))
        return;
    const size_t End = std::min(Text.find_first_of(u"\r\n"), Text.size());
    const String Name = Component->Name();
    const String Line = u"object " + (Name.empty() ? Component->ClassName() : Name + u": " + Component->ClassName());
    Text.replace(0, End, Line);
}

} // namespace

void TXCustomIni::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0)
        Changed();
}

void TXCustomIni::Changed()
{
    Broadcast(NewNotification(New<TXChangedAspect>()).Get());
}

bool TXCustomIni::LoadFromStream(TStream* Stream)
{
    const bool Loaded = Stream && XGuarded(xecReadFailed, false, [&] {
        TXLoadBudget Budget(LoadLimit(Stream->Size(), xzSettingsAllowance));
        String Text = ReadStreamText(Stream);
        RenameTextRoot(Text, this);
        LoadComponentFromText(Text, this);
    });
    XGuarded(xecNone, false, [&] { AfterLoad(); });
    return Loaded;
}

bool TXCustomIni::SaveToStream(TStream* Stream, bool Compressed)
{
    return Stream && XGuarded(xecWriteFailed, false, [&] {
        BeforeSave();
        TOwnedPtr<TMemoryStream> Buffer(New<TMemoryStream>());
        TOwnedPtr<xXMLObjectFiler> Filer(New<xXMLObjectFiler>());
        if (Filer->WriteObject(this, Buffer.get()))
            return CopyCompressed(Buffer.get(), Stream, Compressed);
        SetXError(xecWriteFailed, 0, Name(), false);
        return false;
    });
}

bool TXCustomIni::LoadFromFile(const String& FileName)
{
    if (!IsAbsoluteName(FileName) || !IsRegularFile(FileName)) {
        XGuarded(xecNone, false, [&] { AfterLoad(); });
        return false;
    }
    return XGuarded(xecReadFailed, false, [&] {
        return LoadFromStream(OpenDataFile(FileName, xzSettingsAllowance).get());
    });
}

bool TXCustomIni::SaveToFile(const String& FileName, bool Compressed)
{
    if (!IsAbsoluteName(FileName))
        return false;
    return XGuarded(xecWriteFailed, false, [&] {
        TOwnedPtr<TMemoryStream> Data(New<TMemoryStream>());
        if (!SaveToStream(Data.get(), Compressed))
            return false;
        SafeForceDirectories(ExtractFilePath(FileName));
        SaveBytesToFileSafely(FileName,
            std::string_view(static_cast<const char*>(Data->Memory()), size_t(Data->Size())));
        return true;
    });
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
