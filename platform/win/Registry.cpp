#include "win/Registry.h"
#include "rtl/StringList.h"

X_REGISTER_CLASS(TRegistry)

namespace {

String Quoted(const char16_t* Before, StringView Name, const char16_t* After)
{
    return String(Before) + String(Name) + After;
}

[[noreturn]] void ReadError(StringView Name)
{
    throw ERegistryException(Quoted(u"Invalid data type for '", Name, u"'"));
}

bool IsRelative(StringView Key)
{
    return Key.empty() || Key[0] != u'\\';
}

StringView WithoutLead(StringView Key)
{
    return IsRelative(Key) ? Key : Key.substr(1);
}

TRegDataType DataTypeOf(DWORD Type)
{
    switch (Type) {
    case REG_SZ: return TRegDataType::rdString;
    case REG_EXPAND_SZ: return TRegDataType::rdExpandString;
    case REG_DWORD: return TRegDataType::rdInteger;
    case REG_BINARY: return TRegDataType::rdBinary;
    default: return TRegDataType::rdUnknown;
    }
}

RawBytes StringData(StringView Value)
{
    RawBytes Data;
    Data.reserve((Value.size() + 1) * 2);
    for (Char C : Value) {
        Data.push_back(char(C & 0xFF));
        Data.push_back(char(C >> 8));
    }
    Data.append(2, '\0');
    return Data;
}

}

TRegistry::~TRegistry()
{
    CloseKey();
}

void TRegistry::Create()
{
    Create(KEY_ALL_ACCESS);
}

void TRegistry::Create(REGSAM AAccess)
{
    inherited::Create();
    FRootKey = HKEY_CURRENT_USER;
    FAccess = AAccess;
    FLazyWrite = true;
}

void TRegistry::SetRootKey(HKEY Value)
{
    if (Value == FRootKey)
        return;
    FRootKey = Value;
    CloseKey();
}

void TRegistry::CloseKey()
{
    if (FCurrentKey) {
        RegCloseKey(FCurrentKey);
        FCurrentKey = nullptr;
        FCurrentPath.clear();
    }
}

HKEY TRegistry::BaseKey(bool Relative) const
{
    return FCurrentKey && Relative ? FCurrentKey : FRootKey;
}

bool TRegistry::OpenKey(StringView Key, bool CanCreate)
{
    bool Relative = IsRelative(Key);
    StringView S = WithoutLead(Key);
    HKEY Temp = nullptr;
    Integer R = CanCreate && CanModify() ? RegCreateKeyEx(BaseKey(Relative), S, FAccess, &Temp)
                                         : RegOpenKeyEx(BaseKey(Relative), S, 0, FAccess, &Temp);
    if (R != ERROR_SUCCESS)
        return false;
    String Path = FCurrentKey && Relative ? FCurrentPath + u"\\" + String(S) : String(S);
    CloseKey();
    FCurrentKey = Temp;
    FCurrentPath = std::move(Path);
    return true;
}

bool TRegistry::OpenKeyReadOnly(StringView Key)
{
    FAccess = KEY_READ;
    return OpenKey(Key, false);
}

bool TRegistry::CreateKey(StringView Key)
{
    bool Relative = IsRelative(Key);
    HKEY Temp = nullptr;
    Integer R = CanModify() ? RegCreateKeyEx(BaseKey(Relative), WithoutLead(Key), FAccess, &Temp) : ERROR_ACCESS_DENIED;
    if (R != ERROR_SUCCESS)
        throw ERegistryException(Quoted(u"Failed to create key ", Key, u""));
    RegCloseKey(Temp);
    return true;
}

bool TRegistry::DeleteKey(StringView Key)
{
    if (!CanModify())
        return false;
    bool Relative = IsRelative(Key);
    return RegDeleteTree(BaseKey(Relative), WithoutLead(Key)) == ERROR_SUCCESS;
}

bool TRegistry::KeyExists(StringView Key)
{
    bool Relative = IsRelative(Key);
    HKEY Temp = nullptr;
    if (RegOpenKeyEx(BaseKey(Relative), WithoutLead(Key), 0, KEY_READ, &Temp) != ERROR_SUCCESS)
        return false;
    RegCloseKey(Temp);
    return true;
}

bool TRegistry::ValueExists(StringView Name)
{
    return FCurrentKey && RegQueryValueEx(FCurrentKey, Name, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool TRegistry::DeleteValue(StringView Name)
{
    return FCurrentKey && CanModify() && RegDeleteValue(FCurrentKey, Name) == ERROR_SUCCESS;
}

TRegDataType TRegistry::GetDataType(StringView Name)
{
    DWORD Type = REG_NONE;
    if (!FCurrentKey || RegQueryValueEx(FCurrentKey, Name, &Type, nullptr, nullptr) != ERROR_SUCCESS)
        return TRegDataType::rdUnknown;
    return DataTypeOf(Type);
}

Integer TRegistry::GetDataSize(StringView Name)
{
    DWORD Size = 0;
    if (!FCurrentKey || RegQueryValueEx(FCurrentKey, Name, nullptr, nullptr, &Size) != ERROR_SUCCESS)
        return -1;
    return Integer(Size);
}

void TRegistry::GetKeyNames(std::vector<String>& Strings)
{
    Strings.clear();
    if (FCurrentKey)
        RegKeyNames(FCurrentKey, Strings);
}

void TRegistry::GetValueNames(std::vector<String>& Strings)
{
    Strings.clear();
    if (FCurrentKey)
        RegValueNames(FCurrentKey, Strings);
}

namespace {

void FillStrings(TStrings* Strings, const std::vector<String>& Names)
{
    if (!Strings)
        return;
    Strings->BeginUpdate();
    try {
        Strings->Clear();
        for (const String& Name : Names)
            Strings->Add(Name);
    } catch (...) { // ends the update, then passes the exception on
        Strings->EndUpdate();
        throw;
    }
    Strings->EndUpdate();
}

}

void TRegistry::GetKeyNames(TStrings* Strings)
{
    std::vector<String> Names;
    GetKeyNames(Names);
    FillStrings(Strings, Names);
}

void TRegistry::GetValueNames(TStrings* Strings)
{
    std::vector<String> Names;
    GetValueNames(Names);
    FillStrings(Strings, Names);
}

void TRegistry::PutData(StringView Name, DWORD Type, const void* Data, std::size_t Size)
{
    if (!FCurrentKey || Size > 0xFFFFFFFFu ||
        RegSetValueEx(FCurrentKey, Name, Type, static_cast<const Byte*>(Data), DWORD(Size)) != ERROR_SUCCESS)
        throw ERegistryException(Quoted(u"Failed to set data for '", Name, u"'"));
}

DWORD TRegistry::GetData(StringView Name, void* Buffer, DWORD& Size)
{
    DWORD Type = REG_NONE;
    if (!FCurrentKey || RegQueryValueEx(FCurrentKey, Name, &Type, static_cast<Byte*>(Buffer), &Size) != ERROR_SUCCESS)
        throw ERegistryException(Quoted(u"Failed to get data for '", Name, u"'"));
    return Type;
}

String TRegistry::ReadString(StringView Name)
{
    DWORD Type = REG_NONE, Size = 0;
    if (!FCurrentKey || RegQueryValueEx(FCurrentKey, Name, &Type, nullptr, &Size) != ERROR_SUCCESS || Size == 0)
        return {};
    if (Type != REG_SZ && Type != REG_EXPAND_SZ)
        ReadError(Name);
    // The value may change between the two queries; read it whole once more.
    RawBytes Data(Size, '\0');
    for (;;) {
        DWORD Got = DWORD(Data.size());
        Integer R = RegQueryValueEx(FCurrentKey, Name, &Type, reinterpret_cast<Byte*>(Data.data()), &Got);
        if (R == ERROR_MORE_DATA) {
            Data.resize(Got);
            continue;
        }
        if (R == ERROR_FILE_NOT_FOUND)
            return {}; // deleted meanwhile
        if (R != ERROR_SUCCESS)
            throw ERegistryException(Quoted(u"Failed to get data for '", Name, u"'"));
        if (Type != REG_SZ && Type != REG_EXPAND_SZ)
            ReadError(Name);
        Data.resize(Got);
        break;
    }
    // Up to the first zero character, as the text ends there.
    String Result;
    for (std::size_t I = 0; I + 1 < Data.size(); I += 2) {
        Char C = Char(Byte(Data[I]) | (Byte(Data[I + 1]) << 8));
        if (C == 0)
            break;
        Result.push_back(C);
    }
    return Result;
}

void TRegistry::WriteString(StringView Name, StringView Value)
{
    RawBytes Data = StringData(Value);
    PutData(Name, REG_SZ, Data.data(), Data.size());
}

void TRegistry::WriteExpandString(StringView Name, StringView Value)
{
    RawBytes Data = StringData(Value);
    PutData(Name, REG_EXPAND_SZ, Data.data(), Data.size());
}

Integer TRegistry::ReadInteger(StringView Name)
{
    Byte Data[4] = {};
    DWORD Size = sizeof Data;
    if (GetData(Name, Data, Size) != REG_DWORD)
        ReadError(Name);
    return Integer(Cardinal(Data[0]) | Cardinal(Data[1]) << 8 | Cardinal(Data[2]) << 16 | Cardinal(Data[3]) << 24);
}

void TRegistry::WriteInteger(StringView Name, Integer Value)
{
    Cardinal V = Cardinal(Value);
    Byte Data[4] = { Byte(V), Byte(V >> 8), Byte(V >> 16), Byte(V >> 24) };
    PutData(Name, REG_DWORD, Data, sizeof Data);
}

bool TRegistry::ReadBool(StringView Name)
{
    return ReadInteger(Name) != 0;
}

void TRegistry::WriteBool(StringView Name, bool Value)
{
    WriteInteger(Name, Value ? 1 : 0);
}

double TRegistry::ReadFloat(StringView Name)
{
    double Result = 0;
    DWORD Size = sizeof Result;
    if (GetData(Name, &Result, Size) != REG_BINARY || Size != sizeof Result)
        ReadError(Name);
    return Result;
}

void TRegistry::WriteFloat(StringView Name, double Value)
{
    PutData(Name, REG_BINARY, &Value, sizeof Value);
}

Integer TRegistry::ReadBinaryData(StringView Name, void* Buffer, Integer BufSize)
{
    DWORD Type = REG_NONE, Size = 0;
    if (!FCurrentKey || RegQueryValueEx(FCurrentKey, Name, &Type, nullptr, &Size) != ERROR_SUCCESS)
        return 0;
    TRegDataType Kind = DataTypeOf(Type);
    if ((Kind != TRegDataType::rdBinary && Kind != TRegDataType::rdUnknown) || BufSize < 0 || Size > DWORD(BufSize))
        ReadError(Name);
    Size = DWORD(BufSize);
    Type = GetData(Name, Buffer, Size);
    Kind = DataTypeOf(Type);
    if (Kind != TRegDataType::rdBinary && Kind != TRegDataType::rdUnknown)
        ReadError(Name);
    return Integer(Size);
}

void TRegistry::WriteBinaryData(StringView Name, const void* Buffer, Integer BufSize)
{
    if (BufSize < 0 || (!Buffer && BufSize > 0))
        throw ERegistryException(Quoted(u"Failed to set data for '", Name, u"'"));
    PutData(Name, REG_BINARY, Buffer, std::size_t(BufSize));
}
