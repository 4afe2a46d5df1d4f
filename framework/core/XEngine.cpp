#include "core/XEngine.h"
#include "core/XCore.Errors.h"
#include "core/XCore.Interfaces.h"
#include "rtl/Collection.h"
#include "rtl/StrUtils.h"
#include "rtl/StringList.h"
#include "rtl/TypInfo.h"
#include "win/Registry.h"

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

bool SetPropertyText(TObject* Root, StringView Path, StringView Text)
{
    if (Path.find_first_of(u":.") != StringView::npos)
        return false;
    return SetPropText(Root, Path, Text);
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
            std::vector<String> Values;
            Reg->GetValueNames(Values);
            for (const String& Name : Values) {
                const String Text = Reg->GetDataType(Name) == TRegDataType::rdInteger ? IntToStr(Reg->ReadInteger(Name))
                                                                                      : Reg->ReadString(Name);
                // Names that match no property are ignored.
                SetPropertyText(Object, Name, Text);
            }
            Reg->GetKeyNames(SubKeys);
        }
        if (auto* Items = DynamicCast<TCollection>(Object)) {
            bool Done = true;
            for (const String& Sub : SubKeys)
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
    return Object && SaveObject(Object, WithSlash(Key), 0);
}

bool LoadObjectFromRegistry(TObject* Object, const String& Key)
{
    return Object && LoadObject(Object, WithSlash(Key), 0);
}
