#include "win/Registry.h"
#include "win/RegistryStore.h"
#include "rtl/StringList.h"
#include <cstring>
#include <unordered_map>

using namespace XRegistryStore;

namespace {

enum class TRoot { CurrentUser, ClassesRoot, LocalMachine };

// An open key is its root and path; a key deleted behind it answers
// ERROR_KEY_DELETED from then on.
struct TOpenKey {
    TRoot Root = TRoot::CurrentUser;
    std::vector<String> Path;
    REGSAM Access = 0;
};

// Guarded by the store's mutex.
std::unordered_map<NativeUInt, TOpenKey> Handles;
NativeUInt NextHandle = 0x1000;

const TKey EmptyKey;

std::vector<String> SplitPath(StringView Path)
{
    std::vector<String> Parts;
    std::size_t Start = 0;
    while (Start <= Path.size()) {
        std::size_t Sep = Path.find(u'\\', Start);
        if (Sep == StringView::npos)
            Sep = Path.size();
        if (Sep > Start)
            Parts.emplace_back(Path.substr(Start, Sep - Start));
        Start = Sep + 1;
    }
    return Parts;
}

bool ResolveHandle(HKEY Key, TOpenKey& Out)
{
    if (Key == HKEY_CURRENT_USER || Key == HKEY_CLASSES_ROOT || Key == HKEY_LOCAL_MACHINE) {
        Out.Root = Key == HKEY_CURRENT_USER ? TRoot::CurrentUser : Key == HKEY_CLASSES_ROOT ? TRoot::ClassesRoot : TRoot::LocalMachine;
        Out.Path.clear();
        Out.Access = Out.Root == TRoot::LocalMachine ? KEY_READ : KEY_ALL_ACCESS;
        return true;
    }
    auto It = Handles.find(reinterpret_cast<NativeUInt>(Key));
    if (It == Handles.end())
        return false;
    Out = It->second;
    return true;
}

// The path below HKEY_CURRENT_USER of a key; the classes root lives in
// Software\Classes there.
std::vector<String> TreePath(const TOpenKey& Key)
{
    std::vector<String> Path;
    if (Key.Root == TRoot::ClassesRoot)
        Path = { u"Software", u"Classes" };
    Path.insert(Path.end(), Key.Path.begin(), Key.Path.end());
    return Path;
}

template<class K>
K* FindKey(K& Root, const std::vector<String>& Path)
{
    K* Node = &Root;
    for (const String& Name : Path) {
        auto It = Node->Keys.find(FoldName(Name));
        if (It == Node->Keys.end())
            return nullptr;
        Node = &It->second;
    }
    return Node;
}

const TKey* FindOpenKey(const TOpenKey& Key)
{
    if (Key.Root == TRoot::LocalMachine)
        return Key.Path.empty() ? &EmptyKey : nullptr;
    return FindKey(TStore::Instance().Tree(), TreePath(Key));
}

// Looks the handle up and checks its rights: ERROR_SUCCESS with Key and
// Node (the key itself, null for nothing) filled.
Integer Lookup(HKEY Handle, REGSAM Needed, TOpenKey& Key, const TKey*& Node)
{
    if (!ResolveHandle(Handle, Key))
        return ERROR_INVALID_HANDLE;
    if ((Key.Access & Needed) != Needed)
        return ERROR_ACCESS_DENIED;
    Node = FindOpenKey(Key);
    return Node ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

HKEY NewHandle(TOpenKey Key)
{
    NativeUInt Id = NextHandle;
    NextHandle += 4;
    Handles.emplace(Id, std::move(Key));
    return reinterpret_cast<HKEY>(Id);
}

Integer ListNames(HKEY Handle, bool Keys, std::vector<String>& Names, std::vector<DWORD>* Types = nullptr)
{
    TOpenKey Key;
    const TKey* Node;
    Integer R = Lookup(Handle, Keys ? KEY_ENUMERATE_SUB_KEYS : KEY_QUERY_VALUE, Key, Node);
    if (R != ERROR_SUCCESS)
        return R;
    if (Keys) {
        for (const auto& [Folded, Sub] : Node->Keys)
            Names.push_back(Sub.Name);
    } else {
        for (const auto& [Folded, Value] : Node->Values) {
            Names.push_back(Value.Name);
            if (Types)
                Types->push_back(Value.Type);
        }
    }
    return ERROR_SUCCESS;
}

}

void SetRegistryFolder(const String& Folder)
{
    auto& Store = TStore::Instance();
    std::lock_guard Lock(Store.Mutex());
    Store.SetFolder(StringToUTF8(Folder));
}

String GetRegistryFolder()
{
    auto& Store = TStore::Instance();
    std::lock_guard Lock(Store.Mutex());
    return UTF8ToString(Store.Folder());
}

Integer RegOpenKeyEx(HKEY Key, StringView SubKey, DWORD Options, REGSAM Desired, HKEY* Result)
{
    if (!Result)
        return ERROR_INVALID_PARAMETER;
    *Result = nullptr;
    std::lock_guard Lock(TStore::Instance().Mutex());
    TOpenKey Base;
    const TKey* Node;
    Integer R = Lookup(Key, 0, Base, Node);
    if (R != ERROR_SUCCESS)
        return R;
    if (Base.Root == TRoot::LocalMachine && (Desired & ~KEY_READ & 0xFFFF))
        return ERROR_ACCESS_DENIED;
    auto Sub = SplitPath(SubKey);
    if (!FindKey(*Node, Sub))
        return ERROR_FILE_NOT_FOUND;
    Base.Path.insert(Base.Path.end(), Sub.begin(), Sub.end());
    Base.Access = Desired;
    *Result = NewHandle(std::move(Base));
    return ERROR_SUCCESS;
}

Integer RegCreateKeyEx(HKEY Key, StringView SubKey, REGSAM Desired, HKEY* Result, DWORD* Disposition)
{
    if (!Result)
        return ERROR_INVALID_PARAMETER;
    *Result = nullptr;
    auto& Store = TStore::Instance();
    std::lock_guard Lock(Store.Mutex());
    TOpenKey Base;
    const TKey* Node;
    Integer R = Lookup(Key, 0, Base, Node);
    if (R != ERROR_SUCCESS)
        return R;
    auto Sub = SplitPath(SubKey);
    bool Created = false;
    if (!FindKey(*Node, Sub)) {
        if (Base.Root == TRoot::LocalMachine || !(Base.Access & KEY_CREATE_SUB_KEY))
            return ERROR_ACCESS_DENIED;
        auto Path = TreePath(Base);
        if (Path.size() + Sub.size() > MaxDepth)
            return ERROR_INVALID_PARAMETER;
        R = Store.Modify([&](TKey& Root, bool& Changed) {
            TKey* At = FindKey(Root, Path);
            if (!At)
                return ERROR_KEY_DELETED;
            for (const String& Name : Sub) {
                TKey& Next = At->Keys[FoldName(Name)];
                if (Next.Name.empty()) {
                    Next.Name = Name;
                    Changed = true;
                }
                At = &Next;
            }
            return ERROR_SUCCESS;
        });
        if (R != ERROR_SUCCESS)
            return R;
        Created = true;
    } else if (Base.Root == TRoot::LocalMachine && (Desired & ~KEY_READ & 0xFFFF)) {
        return ERROR_ACCESS_DENIED;
    }
    if (Disposition)
        *Disposition = Created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    Base.Path.insert(Base.Path.end(), Sub.begin(), Sub.end());
    Base.Access = Desired;
    *Result = NewHandle(std::move(Base));
    return ERROR_SUCCESS;
}

Integer RegCloseKey(HKEY Key)
{
    if (Key == HKEY_CURRENT_USER || Key == HKEY_CLASSES_ROOT || Key == HKEY_LOCAL_MACHINE)
        return ERROR_SUCCESS;
    std::lock_guard Lock(TStore::Instance().Mutex());
    return Handles.erase(reinterpret_cast<NativeUInt>(Key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

Integer RegQueryValueEx(HKEY Key, StringView ValueName, DWORD* Type, Byte* Data, DWORD* Size)
{
    if (Data && !Size)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard Lock(TStore::Instance().Mutex());
    TOpenKey Open;
    const TKey* Node;
    Integer R = Lookup(Key, KEY_QUERY_VALUE, Open, Node);
    if (R != ERROR_SUCCESS)
        return R;
    auto It = Node->Values.find(FoldName(ValueName));
    if (It == Node->Values.end())
        return ERROR_FILE_NOT_FOUND;
    const TValue& Value = It->second;
    if (Type)
        *Type = Value.Type;
    if (Size) {
        DWORD Capacity = *Size;
        *Size = DWORD(Value.Data.size());
        if (Data) {
            if (Capacity < Value.Data.size())
                return ERROR_MORE_DATA;
            std::memcpy(Data, Value.Data.data(), Value.Data.size());
        }
    }
    return ERROR_SUCCESS;
}

Integer RegSetValueEx(HKEY Key, StringView ValueName, DWORD Type, const Byte* Data, DWORD Size)
{
    if (!Data && Size > 0)
        return ERROR_INVALID_PARAMETER;
    auto& Store = TStore::Instance();
    std::lock_guard Lock(Store.Mutex());
    TOpenKey Open;
    const TKey* Node;
    Integer R = Lookup(Key, KEY_SET_VALUE, Open, Node);
    if (R != ERROR_SUCCESS)
        return R;
    if (Open.Root == TRoot::LocalMachine)
        return ERROR_ACCESS_DENIED;
    auto Path = TreePath(Open);
    RawBytes Bytes(reinterpret_cast<const char*>(Data), Size);
    return Store.Modify([&](TKey& Root, bool& Changed) {
        TKey* At = FindKey(Root, Path);
        if (!At)
            return ERROR_KEY_DELETED;
        String Folded = FoldName(ValueName);
        auto It = At->Values.find(Folded);
        if (It == At->Values.end())
            It = At->Values.emplace(Folded, TValue { String(ValueName), REG_NONE, {} }).first;
        else if (It->second.Type == Type && It->second.Data == Bytes)
            return ERROR_SUCCESS;
        TValue& Value = It->second;
        Changed = true;
        Value.Type = Type;
        Value.Data = std::move(Bytes);
        return ERROR_SUCCESS;
    });
}

Integer RegDeleteValue(HKEY Key, StringView ValueName)
{
    auto& Store = TStore::Instance();
    std::lock_guard Lock(Store.Mutex());
    TOpenKey Open;
    const TKey* Node;
    Integer R = Lookup(Key, KEY_SET_VALUE, Open, Node);
    if (R != ERROR_SUCCESS)
        return R;
    auto Path = TreePath(Open);
    return Store.Modify([&](TKey& Root, bool& Changed) {
        TKey* At = FindKey(Root, Path);
        if (!At)
            return ERROR_KEY_DELETED;
        Changed = At->Values.erase(FoldName(ValueName)) > 0;
        return Changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

Integer RegDeleteTree(HKEY Key, StringView SubKey)
{
    auto Sub = SplitPath(SubKey);
    if (Sub.empty())
        return ERROR_INVALID_PARAMETER;
    auto& Store = TStore::Instance();
    std::lock_guard Lock(Store.Mutex());
    TOpenKey Open;
    const TKey* Node;
    Integer R = Lookup(Key, KEY_SET_VALUE, Open, Node);
    if (R != ERROR_SUCCESS)
        return R;
    if (Open.Root == TRoot::LocalMachine)
        return FindKey(*Node, Sub) ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
    auto Path = TreePath(Open);
    String Last = Sub.back();
    Sub.pop_back();
    Path.insert(Path.end(), Sub.begin(), Sub.end());
    return Store.Modify([&](TKey& Root, bool& Changed) {
        TKey* Parent = FindKey(Root, Path);
        Changed = Parent && Parent->Keys.erase(FoldName(Last)) > 0;
        return Changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

Integer RegEnumKeyEx(HKEY Key, DWORD Index, String& Name)
{
    std::lock_guard Lock(TStore::Instance().Mutex());
    std::vector<String> Names;
    Integer R = ListNames(Key, true, Names);
    if (R != ERROR_SUCCESS)
        return R;
    if (Index >= Names.size())
        return ERROR_NO_MORE_ITEMS;
    Name = Names[Index];
    return ERROR_SUCCESS;
}

Integer RegEnumValue(HKEY Key, DWORD Index, String& Name, DWORD* Type)
{
    std::lock_guard Lock(TStore::Instance().Mutex());
    std::vector<String> Names;
    std::vector<DWORD> Types;
    Integer R = ListNames(Key, false, Names, &Types);
    if (R != ERROR_SUCCESS)
        return R;
    if (Index >= Names.size())
        return ERROR_NO_MORE_ITEMS;
    Name = Names[Index];
    if (Type)
        *Type = Types[Index];
    return ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------
// TRegistry

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
    Integer R = CanCreate && CanModify()
        ? RegCreateKeyEx(BaseKey(Relative), S, FAccess, &Temp)
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
    Integer R = CanModify()
        ? RegCreateKeyEx(BaseKey(Relative), WithoutLead(Key), FAccess, &Temp)
        : ERROR_ACCESS_DENIED;
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
    if (FCurrentKey) {
        std::lock_guard Lock(TStore::Instance().Mutex());
        ListNames(FCurrentKey, true, Strings);
    }
}

void TRegistry::GetValueNames(std::vector<String>& Strings)
{
    Strings.clear();
    if (FCurrentKey) {
        std::lock_guard Lock(TStore::Instance().Mutex());
        ListNames(FCurrentKey, false, Strings);
    }
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
    } catch (...) {
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
    if (!FCurrentKey || Size > 0xFFFFFFFFu
        || RegSetValueEx(FCurrentKey, Name, Type, static_cast<const Byte*>(Data), DWORD(Size)) != ERROR_SUCCESS)
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
            return {};      // deleted meanwhile
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
