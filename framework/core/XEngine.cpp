#include "core/XEngine.h"
#include "core/XCore.Errors.h"
#include "core/XCore.Interfaces.h"
#include "rtl/Collection.h"
#include "rtl/Component.h"
#include "rtl/StrUtils.h"
#include "rtl/StringList.h"
#include "rtl/TypInfo.h"
#include "win/Registry.h"
#include <algorithm>

namespace {

bool IsValueKind(TTypeKind Kind)
{
    switch (Kind) {
    case tkInteger:
    case tkChar:
    case tkEnumeration:
    case tkFloat:
    case tkUString:
    case tkSet:
    case tkVariant:
    case tkInt64: return true;
    default: return false;
    }
}

String WithSlash(const String& Key)
{
    return !Key.empty() && Key.back() == u'\\' ? Key : Key + u"\\";
}

String ItemKey(const String& Key, Integer Index)
{
    return Key + u"Item" + IntToStr(Index) + u"\\";
}

// The object a class property holds; a property that fails to read holds
// none.
TObject* ObjectOf(TObject* Object, const String& Name)
{
    TObject* Held = nullptr;
    XGuarded(xecNone, false, [&] {
        if (const TPropInfo* Prop = GetPropInfo(Object, Name))
            Held = GetObjectProp(Object, Prop);
    });
    return Held;
}

// The property Name of Object itself (no path) from Text; a Boolean also
// takes a number, as a variant's conversion does.
bool SetPlainPropertyText(TObject* Object, StringView Name, StringView Text)
{
    return XGuarded(xecNone, false, [&] {
        const TPropInfo* Prop = GetPropInfo(Object, Name);
        if (!Prop)
            return false;
        Int64 Number = 0;
        if (Prop->PropType == TypeInfoOf<bool>() && TryStrToInt64(Trim(Text), Number))
            SetPropValueText(Object, Prop, Number != 0 ? u"True" : u"False");
        else
            SetPropValueText(Object, Prop, Text);
        return true;
    });
}

bool SaveValues(TObject* Object, const String& Key, TStrings* ObjectNames)
{
    auto Reg = MakeOwned<TRegistry>();
    if (!Reg->OpenKey(u"\\" + Key, true))
        return false;
    auto ValueNames = MakeOwned<TStringList>();
    ListPropertyNames(Object, ValueNames.get(), ObjectNames);
    for (Integer I = 0; I < ValueNames->Count(); ++I) {
        const String Name = ValueNames->Strings(I);
        // A value that fails to read or write is left out.
        XGuarded(xecNone, false, [&] { Reg->WriteString(Name, GetPropValueText(Object, GetPropInfo(Object, Name))); });
    }
    return true;
}

} // namespace

void ListPropertyNames(TObject* Object, TStrings* ValueNames, TStrings* ObjectNames)
{
    ValueNames->Clear();
    ObjectNames->Clear();
    if (!Object)
        return;
    XGuarded(xecNone, false, [&] {
        for (const TPropInfo* Prop : GetPropList(Object->ClassType())) {
            if (!IsStoredProp(Object, Prop))
                continue;
            if (IsValueKind(Prop->PropType->Kind))
                ValueNames->Add(Prop->Name);
            else if (Prop->PropType->Kind == tkClass)
                ObjectNames->Add(Prop->Name);
        }
    });
}

TObject* ResolvePropertyPath(TObject* Root, String& Path)
{
    TObject* Object = nullptr;
    String Rest = Path;
    const bool Resolved = Root && XGuarded(xecNone, false, [&] {
        Object = Root;
        if (const size_t Colon = Rest.find(u':'); Colon != String::npos) {
            auto* Owner = DynamicCast<TComponent>(Root);
            Object = Owner ? Owner->FindComponent(StringView(Rest).substr(0, Colon)) : nullptr;
            Rest.erase(0, Colon + 1);
        }
        for (size_t Dot; Object && (Dot = Rest.find(u'.')) != String::npos; Rest.erase(0, Dot + 1)) {
            const StringView Segment = StringView(Rest).substr(0, Dot);
            const size_t Open = Segment.find(u'[');
            TObject* Held = ObjectOf(Object, String(Segment.substr(0, Open)));
            if (Open == StringView::npos) {
                Object = Held;
                continue;
            }
            const size_t Close = Segment.find(u']', Open);
            const StringView Number =
                Close == StringView::npos ? StringView() : Segment.substr(Open + 1, Close - Open - 1);
            const Integer Index = StrToIntDef(Trim(Number), 0);
            auto* Items = DynamicCast<TCollection>(Held);
            Object = Items && Index >= 0 && Index < Items->Count() ? Items->Items(Index) : nullptr;
        }
    });
    if (!Resolved || !Object)
        return nullptr;
    Path = Rest;
    return Object;
}

bool GetPropertyText(TObject* Root, StringView Path, String& Text)
{
    Text.clear();
    String Name(Path);
    TObject* Object = ResolvePropertyPath(Root, Name);
    return Object && XGuarded(xecNone, false, [&] {
        const TPropInfo* Prop = GetPropInfo(Object, Name);
        if (!Prop)
            return false;
        Text = GetPropValueText(Object, Prop);
        return true;
    });
}

bool SetPropertyText(TObject* Root, StringView Path, StringView Text)
{
    String Name(Path);
    TObject* Object = ResolvePropertyPath(Root, Name);
    return Object && SetPlainPropertyText(Object, Name, Text);
}

bool SetMethodProperty(TObject* Root, StringView Path, const TMethod& Method)
{
    String Name(Path);
    TObject* Object = ResolvePropertyPath(Root, Name);
    return Object && XGuarded(xecNone, false, [&] {
        const TPropInfo* Prop = GetPropInfo(Object, Name);
        if (!Prop || Prop->PropType->Kind != tkMethod)
            return false;
        SetMethodProp(Object, Prop, Method);
        return true;
    });
}

namespace {

// Objects that hold themselves, or a registry nested without end, stop
// here instead of exhausting the stack.
constexpr int MaxDepth = 64;

bool SaveObject(TObject* Object, const String& Key, int Depth)
{
    if (Depth > MaxDepth)
        return false;
    return XGuarded(xecNone, false, [&] {
        auto ObjectNames = MakeOwned<TStringList>();
        if (!SaveValues(Object, Key, ObjectNames.get()))
            return false;
        bool Done = true;
        for (Integer I = 0; I < ObjectNames->Count(); ++I) {
            const String Name = ObjectNames->Strings(I);
            TObject* Held = ObjectOf(Object, Name);
            if (!Held)
                continue;
            const String Sub = Key + Name + u"\\";
            if (auto* Items = DynamicCast<TCollection>(Held)) {
                // The key holds only the items; those of a longer earlier
                // collection must not stay behind.
                MakeOwned<TRegistry>()->DeleteKey(u"\\" + Key + Name);
                for (Integer N = 0; N < Items->Count(); ++N)
                    Done = SaveObject(Items->Items(N), ItemKey(Sub, N), Depth + 1) && Done;
            } else {
                Done = SaveObject(Held, Sub, Depth + 1) && Done;
            }
        }
        return Done;
    });
}

// The subkeys "ItemN" of a collection in the order of N (compared as
// numbers of any length); other names are no items.
std::vector<String> ItemKeysInOrder(const std::vector<String>& SubKeys)
{
    struct TItemKey {
        StringView Digits; // without leading zeros
        const String* Name;
    };
    std::vector<TItemKey> Items;
    for (const String& Name : SubKeys) {
        if (Name.size() <= 4 || !SameText(StringView(Name).substr(0, 4), u"Item"))
            continue;
        StringView Digits = StringView(Name).substr(4);
        if (!std::all_of(Digits.begin(), Digits.end(), [](char16_t C) { return C >= u'0' && C <= u'9'; }))
            continue;
        while (Digits.size() > 1 && Digits[0] == u'0')
            Digits.remove_prefix(1);
        Items.push_back({ Digits, &Name });
    }
    std::stable_sort(Items.begin(), Items.end(), [](const TItemKey& A, const TItemKey& B) {
        return A.Digits.size() != B.Digits.size() ? A.Digits.size() < B.Digits.size() : A.Digits < B.Digits;
    });
    std::vector<String> Names;
    Names.reserve(Items.size());
    for (const TItemKey& Item : Items)
        Names.push_back(*Item.Name);
    return Names;
}

// The values of the open key into Object's properties: integers as their
// decimal text, texts as they are; other kinds, and names no property
// has, are passed over.
void LoadValues(TObject* Object, TRegistry* Reg)
{
    std::vector<String> Values;
    Reg->GetValueNames(Values);
    for (const String& Name : Values) {
        XGuarded(xecNone, false, [&] {
            String Text;
            switch (Reg->GetDataType(Name)) {
            case TRegDataType::rdInteger: Text = IntToStr(Reg->ReadInteger(Name)); break;
            case TRegDataType::rdString:
            case TRegDataType::rdExpandString: Text = Reg->ReadString(Name); break;
            default: return;
            }
            SetPlainPropertyText(Object, Name, Text);
        });
    }
}

bool LoadObject(TObject* Object, const String& Key, int Depth)
{
    if (Depth > MaxDepth)
        return false;
    return XGuarded(xecNone, false, [&] {
        std::vector<String> SubKeys;
        {
            auto Reg = MakeOwned<TRegistry>();
            if (!Object || !Reg->OpenKeyReadOnly(u"\\" + Key))
                return false;
            LoadValues(Object, Reg.get());
            Reg->GetKeyNames(SubKeys);
        }
        if (auto* Items = DynamicCast<TCollection>(Object)) {
            // The saved items replace what the collection held (defaults
            // among them), in the order they were saved.
            Items->Clear();
            bool Done = true;
            for (const String& Sub : ItemKeysInOrder(SubKeys))
                Done = LoadObject(Items->Add(), Key + Sub + u"\\", Depth + 1) && Done;
            return Done;
        }
        bool Done = true;
        for (const String& Sub : SubKeys) {
            const TPropInfo* Prop = GetPropInfo(Object, Sub);
            if (!Prop || Prop->PropType->Kind != tkClass)
                return false;
            if (TObject* Held = GetObjectProp(Object, Prop))
                Done = LoadObject(Held, Key + Sub + u"\\", Depth + 1) && Done;
        }
        return Done;
    });
}

} // namespace

bool SaveObjectToRegistry(TObject* Object, const String& Key)
{
    if (!Object)
        return false;
    TRegistryBatch Batch;
    const bool Saved = SaveObject(Object, WithSlash(Key), 0);
    return Batch.End() && Saved;
}

bool LoadObjectFromRegistry(TObject* Object, const String& Key)
{
    return Object && LoadObject(Object, WithSlash(Key), 0);
}
