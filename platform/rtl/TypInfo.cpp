#include "rtl/TypInfo.h"
#include "rtl/Collection.h"
#include "rtl/Lists.h"
#include "rtl/StrUtils.h"
#include "rtl/StringList.h"
#include "rtl/Streams.h"
#include <deque>
#include <limits>
#include <map>
#include <mutex>
#include <typeindex>

namespace {
// Type infos made at run time (sets, classes, interfaces, methods) live
// here for the program's life; registration happens before main.
std::mutex& InfoLock()
{
    static std::mutex Lock;
    return Lock;
}

std::deque<TTypeInfo>& InfoStore()
{
    static std::deque<TTypeInfo> Store;
    return Store;
}

const TTypeInfo* Keep(TTypeInfo Info)
{
    InfoStore().push_back(std::move(Info));
    return &InfoStore().back();
}

std::map<TClass, std::vector<const TMethodInfo*>>& MethodTable()
{
    static std::map<TClass, std::vector<const TMethodInfo*>> Table;
    return Table;
}

TTypeInfo OrdTypeInfo(TTypeKind Kind, const char16_t* Name, TOrdType Ord, Int64 Min, Int64 Max)
{
    TTypeInfo I;
    I.Kind = Kind;
    I.Name = Name;
    I.OrdType = Ord;
    I.MinValue = Min;
    I.MaxValue = Max;
    return I;
}
}

namespace XDetail {
TTypeInfo MakeEnumInfo(const char16_t* Name, const char16_t* Names, std::initializer_list<Int64> Values)
{
    TTypeInfo I;
    I.Kind = tkEnumeration;
    I.Name = Name;
    I.OrdType = otUByte;
    StringView Rest(Names);
    while (!Rest.empty()) {
        size_t Comma = Rest.find(u',');
        I.EnumNames.push_back(Trim(Rest.substr(0, Comma)));
        Rest = Comma == StringView::npos ? StringView() : Rest.substr(Comma + 1);
    }
    Int64 Expected = 0;
    for (Int64 V : Values)
        if (V != Expected++)
            throw EArgumentException(u"Enumeration " + I.Name + u" does not run 0, 1, 2...");
    I.MaxValue = Int64(I.EnumNames.size()) - 1;
    if (I.MaxValue > 255)
        I.OrdType = otUWord;
    return I;
}

const TTypeInfo* RegisterSetInfo(const TTypeInfo* CompType)
{
    if (!CompType || CompType->Kind != tkEnumeration || CompType->MaxValue >= 64)
        throw EArgumentException(u"A set needs an enumeration of at most 64 values");
    TTypeInfo I;
    I.Kind = tkSet;
    I.Name = u"set of " + CompType->Name;
    I.OrdType = otUQWord;
    I.CompType = CompType;
    std::lock_guard Guard(InfoLock());
    return Keep(std::move(I));
}

TPropInfo* NewPropInfo()
{
    static std::deque<TPropInfo> Store;
    std::lock_guard Guard(InfoLock());
    return &Store.emplace_back();
}

TMethodInfo* NewMethodInfo()
{
    static std::deque<TMethodInfo> Store;
    std::lock_guard Guard(InfoLock());
    return &Store.emplace_back();
}

void AddProp(TClass Class, TPropInfo* Prop)
{
    // The class infos are static and writable; TClass only shows them const.
    const_cast<TClassInfo*>(Class)->Props.push_back(Prop);
}

void AddMethod(TClass Class, TMethodInfo* Method)
{
    std::lock_guard Guard(InfoLock());
    MethodTable()[Class].push_back(Method);
}

void RaiseKind(const TPropInfo* Prop, const char16_t* Wanted)
{
    throw EPropertyError(u"Property " + Prop->Name + u" is not " + Wanted);
}

const TTypeInfo* BooleanInfo()
{
    static const TTypeInfo Info = [] {
        TTypeInfo I = OrdTypeInfo(tkEnumeration, u"Boolean", otUByte, 0, 1);
        I.EnumNames = { u"False", u"True" };
        return I;
    }();
    return &Info;
}

const TTypeInfo* CharInfo()
{
    static const TTypeInfo Info = OrdTypeInfo(tkChar, u"Char", otUWord, 0, 0xFFFF);
    return &Info;
}

const TTypeInfo* OrdInfo(TOrdType Type)
{
    static const TTypeInfo Infos[] = {
        OrdTypeInfo(tkInteger, u"ShortInt", otSByte, -128, 127),
        OrdTypeInfo(tkInteger, u"Byte", otUByte, 0, 255),
        OrdTypeInfo(tkInteger, u"SmallInt", otSWord, -32768, 32767),
        OrdTypeInfo(tkInteger, u"Word", otUWord, 0, 65535),
        OrdTypeInfo(tkInteger, u"Integer", otSLong, std::numeric_limits<Integer>::min(),
            std::numeric_limits<Integer>::max()),
        OrdTypeInfo(tkInteger, u"Cardinal", otULong, 0, std::numeric_limits<Cardinal>::max()),
        OrdTypeInfo(tkInt64, u"Int64", otSQWord, std::numeric_limits<Int64>::min(), std::numeric_limits<Int64>::max()),
        // The unsigned 64-bit range does not fit Int64; values travel as bit patterns.
        OrdTypeInfo(tkInt64, u"UInt64", otUQWord, 0, -1),
    };
    return &Infos[Type];
}

const TTypeInfo* FloatInfo()
{
    static const TTypeInfo Info = OrdTypeInfo(tkFloat, u"Double", otSLong, 0, 0);
    return &Info;
}

const TTypeInfo* StringInfo()
{
    static const TTypeInfo Info = OrdTypeInfo(tkUString, u"String", otSLong, 0, 0);
    return &Info;
}

const TTypeInfo* VariantInfo()
{
    static const TTypeInfo Info = OrdTypeInfo(tkVariant, u"Variant", otSLong, 0, 0);
    return &Info;
}

const TTypeInfo* ClassInfoOf(TClass Class)
{
    std::lock_guard Guard(InfoLock());
    static std::map<TClass, const TTypeInfo*> Known;
    auto& Slot = Known[Class];
    if (!Slot) {
        TTypeInfo I;
        I.Kind = tkClass;
        I.Name = Class->Name;
        I.ClassType = Class;
        Slot = Keep(std::move(I));
    }
    return Slot;
}

const TTypeInfo* InterfaceInfo(const TGUID& Guid, const char16_t* Name)
{
    std::lock_guard Guard(InfoLock());
    static std::map<TGUID, const TTypeInfo*> Known;
    auto& Slot = Known[Guid];
    if (!Slot) {
        TTypeInfo I;
        I.Kind = tkInterface;
        I.Name = Name;
        I.Guid = Guid;
        Slot = Keep(std::move(I));
    }
    return Slot;
}

const TTypeInfo* MethodInfoOf(const std::type_info& Signature)
{
    std::lock_guard Guard(InfoLock());
    static std::map<std::type_index, const TTypeInfo*> Known;
    auto& Slot = Known[std::type_index(Signature)];
    if (!Slot) {
        TTypeInfo I;
        I.Kind = tkMethod;
        I.Name = u"TMethod";
        I.Signature = &Signature;
        Slot = Keep(std::move(I));
    }
    return Slot;
}
}

const TTypeInfo* DateTimeTypeInfo()
{
    static const TTypeInfo Info = OrdTypeInfo(tkFloat, u"TDateTime", otSLong, 0, 0);
    return &Info;
}

String GetEnumName(const TTypeInfo* Info, Int64 Value)
{
    if (!Info || Value < 0 || Value >= Int64(Info->EnumNames.size()))
        return {};
    return Info->EnumNames[size_t(Value)];
}

Int64 GetEnumValue(const TTypeInfo* Info, StringView Name)
{
    if (!Info)
        return -1;
    for (size_t I = 0; I < Info->EnumNames.size(); ++I)
        if (SameText(Info->EnumNames[I], Name))
            return Int64(I);
    return -1;
}

String SetToString(const TTypeInfo* SetInfo, UInt64 Bits, bool Brackets)
{
    String Result;
    const TTypeInfo* Comp = SetInfo->CompType;
    for (size_t I = 0; I < Comp->EnumNames.size(); ++I)
        if (Bits & (UInt64(1) << I)) {
            if (!Result.empty())
                Result += u',';
            Result += Comp->EnumNames[I];
        }
    return Brackets ? u"[" + Result + u"]" : Result;
}

UInt64 StringToSet(const TTypeInfo* SetInfo, StringView Text)
{
    String S = Trim(Text);
    StringView Rest(S);
    if (!Rest.empty() && Rest.front() == u'[') {
        if (Rest.back() != u']')
            throw EConvertError(u"Invalid set text: " + S);
        Rest = Rest.substr(1, Rest.size() - 2);
    }
    UInt64 Bits = 0;
    while (!Trim(Rest).empty()) {
        size_t Comma = Rest.find(u',');
        String Name = Trim(Rest.substr(0, Comma));
        Int64 V = GetEnumValue(SetInfo->CompType, Name);
        if (V < 0)
            throw EConvertError(u"Invalid set member: " + Name);
        Bits |= UInt64(1) << V;
        Rest = Comma == StringView::npos ? StringView() : Rest.substr(Comma + 1);
    }
    return Bits;
}

std::vector<const TPropInfo*> GetPropList(TClass Class)
{
    std::vector<TClass> Chain;
    for (TClass C = Class; C; C = C->Parent)
        Chain.push_back(C);
    std::vector<const TPropInfo*> Result;
    for (auto It = Chain.rbegin(); It != Chain.rend(); ++It)
        Result.insert(Result.end(), (*It)->Props.begin(), (*It)->Props.end());
    return Result;
}

const TPropInfo* GetPropInfo(TClass Class, StringView Name)
{
    for (TClass C = Class; C; C = C->Parent)
        for (const TPropInfo* P : C->Props)
            if (SameText(P->Name, Name))
                return P;
    return nullptr;
}

const TPropInfo* GetPropInfo(const TObject* Instance, StringView Name)
{
    return Instance ? GetPropInfo(Instance->ClassType(), Name) : nullptr;
}

bool IsStoredProp(TObject* Instance, const TPropInfo* Prop)
{
    return Prop->StoredProc ? Prop->StoredProc(Instance) : Prop->StoredConst;
}

bool IsDefaultPropValue(TObject* Instance, const TPropInfo* Prop)
{
    TPropValue V = Prop->Get(Instance);
    switch (Prop->PropType->Kind) {
    case tkInteger:
    case tkChar:
    case tkEnumeration:
    case tkSet: return Prop->HasDefault && std::get<Int64>(V) == Prop->Default;
    case tkInt64: return std::get<Int64>(V) == (Prop->HasDefault ? Prop->Default : 0);
    case tkFloat: return std::get<double>(V) == 0.0;
    case tkUString: return std::get<String>(V).empty();
    case tkVariant: return std::get<TVariant>(V).IsEmpty();
    case tkClass: return std::get<TObject*>(V) == nullptr;
    case tkInterface: return !std::get<IPtr<IInterface>>(V);
    case tkMethod: return !std::get<TMethod>(V);
    default: return true;
    }
}

namespace {
bool IsOrdinal(TTypeKind K)
{
    return K == tkInteger || K == tkChar || K == tkEnumeration || K == tkSet || K == tkInt64;
}

void CheckWritable(const TPropInfo* Prop)
{
    if (!Prop->Set)
        throw EPropertyError(u"Property " + Prop->Name + u" is read-only");
}

template<class V>
V GetAs(TObject* Instance, const TPropInfo* Prop, const char16_t* Wanted)
{
    TPropValue Value = Prop->Get(Instance);
    if (auto* P = std::get_if<V>(&Value))
        return *P;
    XDetail::RaiseKind(Prop, Wanted);
}

template<class V>
void SetAs(TObject* Instance, const TPropInfo* Prop, TTypeKind Kind, const V& Value, const char16_t* Wanted)
{
    if (Prop->PropType->Kind != Kind)
        XDetail::RaiseKind(Prop, Wanted);
    CheckWritable(Prop);
    Prop->Set(Instance, TPropValue(Value));
}
}

Int64 GetOrdProp(TObject* Instance, const TPropInfo* Prop)
{
    if (!IsOrdinal(Prop->PropType->Kind))
        XDetail::RaiseKind(Prop, u"ordinal");
    return GetAs<Int64>(Instance, Prop, u"ordinal");
}

void SetOrdProp(TObject* Instance, const TPropInfo* Prop, Int64 Value)
{
    const TTypeInfo* T = Prop->PropType;
    if (!IsOrdinal(T->Kind))
        XDetail::RaiseKind(Prop, u"ordinal");
    CheckWritable(Prop);
    bool InRange = true;
    if (T->Kind == tkSet)
        InRange = T->CompType->EnumNames.size() >= 64 || (UInt64(Value) >> T->CompType->EnumNames.size()) == 0;
    else if (T->OrdType != otUQWord && T->OrdType != otSQWord)
        InRange = Value >= T->MinValue && Value <= T->MaxValue;
    if (!InRange)
        throw EPropertyError(u"Value out of range for property " + Prop->Name);
    Prop->Set(Instance, TPropValue(Value));
}

double GetFloatProp(TObject* Instance, const TPropInfo* Prop)
{
    return GetAs<double>(Instance, Prop, u"a float");
}
void SetFloatProp(TObject* Instance, const TPropInfo* Prop, double Value)
{
    SetAs(Instance, Prop, tkFloat, Value, u"a float");
}
String GetStrProp(TObject* Instance, const TPropInfo* Prop)
{
    return GetAs<String>(Instance, Prop, u"a string");
}
void SetStrProp(TObject* Instance, const TPropInfo* Prop, const String& Value)
{
    SetAs(Instance, Prop, tkUString, Value, u"a string");
}

Int64 GetInt64Prop(TObject* Instance, const TPropInfo* Prop)
{
    if (Prop->PropType->Kind != tkInt64)
        XDetail::RaiseKind(Prop, u"a 64-bit integer");
    return GetAs<Int64>(Instance, Prop, u"a 64-bit integer");
}

void SetInt64Prop(TObject* Instance, const TPropInfo* Prop, Int64 Value)
{
    SetAs(Instance, Prop, tkInt64, Value, u"a 64-bit integer");
}
TVariant GetVariantProp(TObject* Instance, const TPropInfo* Prop)
{
    return GetAs<TVariant>(Instance, Prop, u"a variant");
}
void SetVariantProp(TObject* Instance, const TPropInfo* Prop, const TVariant& Value)
{
    SetAs(Instance, Prop, tkVariant, Value, u"a variant");
}
TObject* GetObjectProp(TObject* Instance, const TPropInfo* Prop)
{
    return GetAs<TObject*>(Instance, Prop, u"a class");
}

void SetObjectProp(TObject* Instance, const TPropInfo* Prop, TObject* Value)
{
    SetAs(Instance, Prop, tkClass, Value, u"a class");
}

IPtr<IInterface> GetInterfaceProp(TObject* Instance, const TPropInfo* Prop)
{
    return GetAs<IPtr<IInterface>>(Instance, Prop, u"an interface");
}

void SetInterfaceProp(TObject* Instance, const TPropInfo* Prop, const IPtr<IInterface>& Value)
{
    SetAs(Instance, Prop, tkInterface, Value, u"an interface");
}

TMethod GetMethodProp(TObject* Instance, const TPropInfo* Prop)
{
    return GetAs<TMethod>(Instance, Prop, u"a method");
}
void SetMethodProp(TObject* Instance, const TPropInfo* Prop, const TMethod& Value)
{
    SetAs(Instance, Prop, tkMethod, Value, u"a method");
}

String GetEnumProp(TObject* Instance, const TPropInfo* Prop)
{
    if (Prop->PropType->Kind != tkEnumeration)
        XDetail::RaiseKind(Prop, u"an enumeration");
    return GetEnumName(Prop->PropType, GetOrdProp(Instance, Prop));
}

void SetEnumProp(TObject* Instance, const TPropInfo* Prop, StringView Name)
{
    if (Prop->PropType->Kind != tkEnumeration)
        XDetail::RaiseKind(Prop, u"an enumeration");
    Int64 V = GetEnumValue(Prop->PropType, Name);
    if (V < 0)
        throw EPropertyError(u"Invalid enumeration value " + String(Name) + u" for property " + Prop->Name);
    SetOrdProp(Instance, Prop, V);
}

TPropObjectKind PropObjectKind(TObject* Obj)
{
    if (!Obj)
        return okNone;
    if (Obj->Is<TStrings>())
        return okStrings;
    if (Obj->Is<TStream>())
        return okStream;
    if (Obj->Is<TCollection>())
        return okCollection;
    if (Obj->Is<TComponentList>())
        return okComponentList;
    if (Obj->Is<TObjectList>())
        return okObjectList;
    if (Obj->Is<TComponent>())
        return okComponent;
    if (Obj->Is<TPersistent>())
        return okPersistent;
    return okObject;
}

const TMethodInfo* MethodAddress(TClass Class, StringView Name)
{
    std::lock_guard Guard(InfoLock());
    for (TClass C = Class; C; C = C->Parent) {
        auto It = MethodTable().find(C);
        if (It == MethodTable().end())
            continue;
        for (const TMethodInfo* M : It->second)
            if (SameText(M->Name, Name))
                return M;
    }
    return nullptr;
}

String MethodName(TClass Class, const TMethodInfo* Code)
{
    if (Code && Class && Class->InheritsFrom(Code->Owner))
        return Code->Name;
    return {};
}
