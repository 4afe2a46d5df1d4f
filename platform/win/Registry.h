// The class library's registry object over the routines of
// RegistryKeys.h, which tells where the keys are kept.
//
//     auto Reg = MakeOwned<TRegistry>();
//     if (Reg->OpenKey(u"Software\\Quorvale\\Lumeno", true))
//         Reg->WriteInteger(u"LgID", 1033);
#pragma once
#include "win/RegistryKeys.h"
#include "rtl/Object.h"
#include <vector>

class TStrings;

X_EXCEPTION(ERegistryException, Exception)

enum class TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

// The class library's registry object: one open key at a time, below
// RootKey (HKEY_CURRENT_USER unless changed). A key name starting with "\"
// is taken from RootKey, any other from the open key.
class TRegistry : public TObject {
    X_CLASS(TRegistry, TObject)
public:
    ~TRegistry() override;
    void Create() override;
    virtual void Create(REGSAM AAccess);

    HKEY RootKey() const { return FRootKey; }
    void SetRootKey(HKEY Value);
    HKEY CurrentKey() const { return FCurrentKey; }
    const String& CurrentPath() const { return FCurrentPath; }
    REGSAM Access() const { return FAccess; }
    void SetAccess(REGSAM Value) { FAccess = Value; }
    // Kept for callers; every change reaches the file at once.
    bool LazyWrite() const { return FLazyWrite; }
    void SetLazyWrite(bool Value) { FLazyWrite = Value; }

    bool OpenKey(StringView Key, bool CanCreate);
    // Opens for reading and keeps the object read-only (Access becomes KEY_READ).
    bool OpenKeyReadOnly(StringView Key);
    void CloseKey();
    // Creates the key without opening it; raises when it cannot.
    bool CreateKey(StringView Key);
    bool DeleteKey(StringView Key);
    bool KeyExists(StringView Key);

    bool ValueExists(StringView Name);
    bool DeleteValue(StringView Name);
    TRegDataType GetDataType(StringView Name);
    // The data size in bytes; -1 when the value does not exist.
    Integer GetDataSize(StringView Name);
    void GetKeyNames(std::vector<String>& Strings);
    void GetValueNames(std::vector<String>& Strings);
    // The same into a string list, which is emptied first.
    void GetKeyNames(TStrings* Strings);
    void GetValueNames(TStrings* Strings);

    // Empty for a missing value; raises for a value of another type.
    String ReadString(StringView Name);
    void WriteString(StringView Name, StringView Value);
    void WriteExpandString(StringView Name, StringView Value);
    // These raise for a missing value and for one of another type.
    Integer ReadInteger(StringView Name);
    void WriteInteger(StringView Name, Integer Value);
    bool ReadBool(StringView Name);
    void WriteBool(StringView Name, bool Value);
    double ReadFloat(StringView Name);
    void WriteFloat(StringView Name, double Value);
    // The data size; 0 for a missing value; raises when the value is not
    // binary or does not fit in BufSize bytes.
    Integer ReadBinaryData(StringView Name, void* Buffer, Integer BufSize);
    void WriteBinaryData(StringView Name, const void* Buffer, Integer BufSize);

private:
    HKEY FRootKey = nullptr;
    HKEY FCurrentKey = nullptr;
    String FCurrentPath;
    REGSAM FAccess = KEY_ALL_ACCESS;
    bool FLazyWrite = true;

    HKEY BaseKey(bool Relative) const;
    bool CanModify() const { return (FAccess & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) != 0; }
    void PutData(StringView Name, DWORD Type, const void* Data, std::size_t Size);
    // Answers the value's type; raises when it is missing or larger than Size.
    DWORD GetData(StringView Name, void* Buffer, DWORD& Size);
};
