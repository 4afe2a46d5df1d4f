#include "win/RegistryKeys.h"
#include "win/RegistryStore.h"
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
        Out.Root = Key == HKEY_CURRENT_USER ? TRoot::CurrentUser
            : Key == HKEY_CLASSES_ROOT      ? TRoot::ClassesRoot
                                            : TRoot::LocalMachine;
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

Integer RegKeyNames(HKEY Key, std::vector<String>& Names)
{
    std::lock_guard Lock(TStore::Instance().Mutex());
    return ListNames(Key, true, Names);
}

Integer RegValueNames(HKEY Key, std::vector<String>& Names)
{
    std::lock_guard Lock(TStore::Instance().Mutex());
    return ListNames(Key, false, Names);
}

void RegBeginBatch()
{
    auto& Store = TStore::Instance();
    std::lock_guard Lock(Store.Mutex());
    Store.BeginBatch();
}

Integer RegEndBatch()
{
    auto& Store = TStore::Instance();
    std::lock_guard Lock(Store.Mutex());
    return Store.EndBatch();
}
