// Published properties and methods: the reflection that persistence, the
// settings and the registry form use instead of hand-written field lists.
//
// A class registers what it publishes once, in its source beside
// X_REGISTER_CLASS:
//
//     X_PUBLISHED(TFoo)
//     {
//         X_PROP(Width, GetWidth, SetWidth).Default(100);
//         X_PROP(Caption, Caption, SetCaption);
//         X_PROP_SET(Styles, TFontStyle, GetStyleBits, SetStyleBits).Default(0);
//         X_PROP_DATETIME(Created, GetCreated, SetCreated);
//         X_PROP_READONLY(Lines, Lines).Stored(&TFoo::HasLines);
//         X_EVENT(OnChange, FOnChange);
//         X_METHOD(DoClick);
//     }
//
// The kind of a property follows from its getter's type: bool (Boolean),
// Char, integers of 8 to 32 bits, 64-bit integers, enumerations declared
// with X_ENUM_INFO, double, String, TVariant, pointers to TObject classes,
// IPtr interfaces; events are TEvent members. Sets of an enumeration travel
// as bit masks (UInt64, bit N = value N). Getters and setters are always
// called, never the fields behind them.
#pragma once
#include "rtl/Interfaces.h"
#include <any>
#include <functional>
#include <typeinfo>
#include <variant>
#include <vector>

class TObject;
class TPersistent;

enum TTypeKind {
    tkUnknown,
    tkInteger,
    tkChar,
    tkEnumeration,
    tkFloat,
    tkUString,
    tkSet,
    tkClass,
    tkMethod,
    tkVariant,
    tkInterface,
    tkInt64
};

enum TOrdType { otSByte, otUByte, otSWord, otUWord, otSLong, otULong, otSQWord, otUQWord };

struct TTypeInfo {
    TTypeKind Kind = tkUnknown;
    String Name;
    TOrdType OrdType = otSLong;
    Int64 MinValue = 0; // integers, chars, enumerations
    Int64 MaxValue = 0;
    std::vector<String> EnumNames; // enumerations: the name of each value from 0
    const TTypeInfo* CompType = nullptr; // sets: the member enumeration
    TClass ClassType = nullptr; // classes
    TGUID Guid; // interfaces
    const std::type_info* Signature = nullptr; // methods: R(Args...)
    // Integer types with names for some values (colours and the like).
    bool (*IntToIdent)(Int64 Value, String& Ident) = nullptr;
    bool (*IdentToInt)(StringView Ident, Int64& Value) = nullptr;

    bool IsDateTime() const { return Kind == tkFloat && Name == u"TDateTime"; }
    bool IsUnsigned() const
    {
        return OrdType == otUByte || OrdType == otUWord || OrdType == otULong || OrdType == otUQWord;
    }
};

// A small variant: empty, null, Integer, Int64, double, Boolean or String.
struct TVarNull {
    friend bool operator==(TVarNull, TVarNull) { return true; }
};
struct TVariant {
    std::variant<std::monostate, TVarNull, Integer, Int64, double, bool, String> Value;

    TVariant() = default;
    template<class T, class = std::enable_if_t<!std::is_same_v<std::decay_t<T>, TVariant>>>
    TVariant(T&& V)
        : Value(std::forward<T>(V))
    { }
    TVariant(const char16_t* V)
        : Value(String(V))
    { }
    static TVariant Null() { return TVariant(TVarNull {}); }
    bool IsEmpty() const { return Value.index() == 0; }
    bool IsNull() const { return Value.index() == 1; }
    friend bool operator==(const TVariant&, const TVariant&) = default;
};
// Text of a variant: empty for empty and null, "True"/"False", numbers as
// GetPropValueText writes them.
String VarToStr(const TVariant& V);

// A published method of a class, callable on an instance of it.
struct TMethodInfo {
    String Name;
    TClass Owner = nullptr;
    const std::type_info* Signature = nullptr;
    std::any Caller; // std::function<R(TObject* Self, Args...)>
};

// The class library's method pointer: a published method and its object.
struct TMethod {
    const TMethodInfo* Code = nullptr;
    TObject* Data = nullptr;
    explicit operator bool() const { return Code != nullptr; }
    friend bool operator==(const TMethod&, const TMethod&) = default;
};

// An event that holds a method pointer and calls it; unassigned it does
// nothing and answers R().
template<class Sig>
class TEvent;
template<class R, class... A>
class TEvent<R(A...)> {
public:
    using TSignature = R(A...);
    using TCaller = std::function<R(TObject*, A...)>;

    const TMethod& Method() const { return FMethod; }
    // Raises EInvalidCast when the method's signature differs.
    void SetMethod(const TMethod& M)
    {
        if (M.Code && (!M.Code->Signature || *M.Code->Signature != typeid(TSignature)))
            throw EInvalidCast(u"Method " + M.Code->Name + u" does not match the event");
        FMethod = M.Code ? M : TMethod {};
    }
    explicit operator bool() const { return FMethod.Code != nullptr; }
    R operator()(A... Args) const
    {
        if (!FMethod.Code)
            return R();
        const auto* Call = std::any_cast<TCaller>(&FMethod.Code->Caller);
        return (*Call)(FMethod.Data, std::forward<A>(Args)...);
    }

private:
    TMethod FMethod;
};

// A property value in transit: ordinals (and set bits) as Int64, floats,
// strings, variants, objects, interfaces, methods.
using TPropValue = std::variant<Int64, double, String, TVariant, TObject*, IPtr<IInterface>, TMethod>;

struct TPropInfo {
    String Name;
    const TTypeInfo* PropType = nullptr;
    TClass Owner = nullptr; // the declaring class
    std::function<TPropValue(TObject*)> Get;
    std::function<void(TObject*, const TPropValue&)> Set; // null: read-only
    bool HasDefault = false; // ordinals, sets, 64-bit integers
    Int64 Default = 0;
    bool StoredConst = true;
    std::function<bool(TObject*)> StoredProc; // when set, asked instead of StoredConst
};

// Type information of a value type.
template<class T>
const TTypeInfo* TypeInfoOf();
const TTypeInfo* DateTimeTypeInfo();
template<class E>
const TTypeInfo* SetTypeInfo();

// Names of an enumeration's values; "" / -1 when out of range or unknown
// (names compare without regard to case).
String GetEnumName(const TTypeInfo* Info, Int64 Value);
Int64 GetEnumValue(const TTypeInfo* Info, StringView Name);
// Set text "[a,b]" of a bit mask and back; unknown names raise EConvertError.
String SetToString(const TTypeInfo* SetInfo, UInt64 Bits, bool Brackets = true);
UInt64 StringToSet(const TTypeInfo* SetInfo, StringView Text);

// Published properties, ancestors' first, each class's in declaration order.
std::vector<const TPropInfo*> GetPropList(TClass Class);
// Looks a property up by name (without regard to case), from the class
// itself towards its ancestors; null when there is none.
const TPropInfo* GetPropInfo(TClass Class, StringView Name);
const TPropInfo* GetPropInfo(const TObject* Instance, StringView Name);
bool IsStoredProp(TObject* Instance, const TPropInfo* Prop);
// True when the value needs no storing: the declared default of an ordinal
// (none declared: never default), 0 for floats and 64-bit integers without
// one, empty texts and variants, unassigned methods, nil objects.
bool IsDefaultPropValue(TObject* Instance, const TPropInfo* Prop);

// Typed access; a kind that does not fit raises EPropertyError.
X_EXCEPTION(EPropertyError, Exception)
Int64 GetOrdProp(TObject* Instance, const TPropInfo* Prop);
void SetOrdProp(TObject* Instance, const TPropInfo* Prop, Int64 Value); // range-checked
double GetFloatProp(TObject* Instance, const TPropInfo* Prop);
void SetFloatProp(TObject* Instance, const TPropInfo* Prop, double Value);
String GetStrProp(TObject* Instance, const TPropInfo* Prop);
void SetStrProp(TObject* Instance, const TPropInfo* Prop, const String& Value);
Int64 GetInt64Prop(TObject* Instance, const TPropInfo* Prop);
void SetInt64Prop(TObject* Instance, const TPropInfo* Prop, Int64 Value);
TVariant GetVariantProp(TObject* Instance, const TPropInfo* Prop);
void SetVariantProp(TObject* Instance, const TPropInfo* Prop, const TVariant& Value);
TObject* GetObjectProp(TObject* Instance, const TPropInfo* Prop);
void SetObjectProp(TObject* Instance, const TPropInfo* Prop, TObject* Value);
IPtr<IInterface> GetInterfaceProp(TObject* Instance, const TPropInfo* Prop);
void SetInterfaceProp(TObject* Instance, const TPropInfo* Prop, const IPtr<IInterface>& Value);
TMethod GetMethodProp(TObject* Instance, const TPropInfo* Prop);
void SetMethodProp(TObject* Instance, const TPropInfo* Prop, const TMethod& Value);
String GetEnumProp(TObject* Instance, const TPropInfo* Prop);
void SetEnumProp(TObject* Instance, const TPropInfo* Prop, StringView Name);

// What an object held by a class property is, for the storing code.
enum TPropObjectKind {
    okNone,
    okObject,
    okPersistent,
    okStrings,
    okStream,
    okCollection,
    okObjectList,
    okComponentList,
    okComponent
};
TPropObjectKind PropObjectKind(TObject* Obj);

// Any property value as text and back: integers decimal (also "$hex" when
// read), floats with "." and as many digits as round-trip, enumerations
// and Booleans by name, sets as "[a,b]", texts and characters as they are,
// variants by their value, methods by name (found in MethodRoot's class
// when set). Class and interface properties have no text; bad text raises
// EConvertError.
String GetPropValueText(TObject* Instance, const TPropInfo* Prop);
void SetPropValueText(TObject* Instance, const TPropInfo* Prop, StringView Text, TObject* MethodRoot = nullptr);

// Published methods by name (without regard to case), along the ancestors.
const TMethodInfo* MethodAddress(TClass Class, StringView Name);
// The method's name when it belongs to Class or an ancestor, else "".
String MethodName(TClass Class, const TMethodInfo* Code);

namespace XDetail {
TTypeInfo MakeEnumInfo(const char16_t* Name, const char16_t* Names, std::initializer_list<Int64> Values);
const TTypeInfo* RegisterSetInfo(const TTypeInfo* CompType);
// Entries live in stores of the program's life; the Add calls attach them.
TPropInfo* NewPropInfo();
TMethodInfo* NewMethodInfo();
void AddProp(TClass Class, TPropInfo* Prop);
void AddMethod(TClass Class, TMethodInfo* Method);
[[noreturn]] void RaiseKind(const TPropInfo* Prop, const char16_t* Wanted);

template<class T>
struct TIsIPtr : std::false_type { };
template<class I>
struct TIsIPtr<IPtr<I>> : std::true_type {
    using Intf = I;
};
template<class T>
struct TIsEvent : std::false_type { };
template<class Sig>
struct TIsEvent<TEvent<Sig>> : std::true_type { };

const TTypeInfo* BooleanInfo();
const TTypeInfo* CharInfo();
const TTypeInfo* OrdInfo(TOrdType Type);
const TTypeInfo* FloatInfo();
const TTypeInfo* StringInfo();
const TTypeInfo* VariantInfo();
const TTypeInfo* ClassInfoOf(TClass Class);
const TTypeInfo* InterfaceInfo(const TGUID& Guid, const char16_t* Name);
const TTypeInfo* MethodInfoOf(const std::type_info& Signature);

template<class T>
constexpr TOrdType OrdTypeOf()
{
    if constexpr (sizeof(T) == 1)
        return std::is_signed_v<T> ? otSByte : otUByte;
    else if constexpr (sizeof(T) == 2)
        return std::is_signed_v<T> ? otSWord : otUWord;
    else if constexpr (sizeof(T) == 4)
        return std::is_signed_v<T> ? otSLong : otULong;
    else
        return std::is_signed_v<T> ? otSQWord : otUQWord;
}

// Value type <-> TPropValue.
template<class V>
TPropValue ToPropValue(const V& Value)
{
    if constexpr (std::is_same_v<V, bool> || std::is_same_v<V, Char> || std::is_integral_v<V> || std::is_enum_v<V>)
        return Int64(Value);
    else if constexpr (std::is_floating_point_v<V>)
        return double(Value);
    else if constexpr (std::is_same_v<V, String> || std::is_same_v<V, TVariant>)
        return Value;
    else if constexpr (std::is_pointer_v<V>)
        return static_cast<TObject*>(const_cast<std::remove_const_t<std::remove_pointer_t<V>>*>(Value));
    else if constexpr (TIsIPtr<V>::value)
        return Value ? Value.template As<IInterface>() : IPtr<IInterface>();
    else
        static_assert(sizeof(V) == 0, "type cannot be published");
}

template<class V>
V FromPropValue(const TPropValue& Value)
{
    if constexpr (std::is_same_v<V, bool>)
        return std::get<Int64>(Value) != 0;
    else if constexpr (std::is_integral_v<V> || std::is_enum_v<V>)
        return static_cast<V>(std::get<Int64>(Value));
    else if constexpr (std::is_floating_point_v<V>)
        return static_cast<V>(std::get<double>(Value));
    else if constexpr (std::is_same_v<V, String> || std::is_same_v<V, TVariant>)
        return std::get<V>(Value);
    else if constexpr (std::is_pointer_v<V>) {
        using U = std::remove_const_t<std::remove_pointer_t<V>>;
        TObject* Obj = std::get<TObject*>(Value);
        if (Obj && !Obj->Is<U>())
            throw EInvalidCast(u"Invalid class typecast");
        return static_cast<U*>(Obj);
    } else if constexpr (TIsIPtr<V>::value) {
        const auto& Intf = std::get<IPtr<IInterface>>(Value);
        V Result = Intf ? Intf.template As<typename TIsIPtr<V>::Intf>() : V();
        if (Intf && !Result)
            throw EInvalidCast(u"Interface not supported");
        return Result;
    } else
        static_assert(sizeof(V) == 0, "type cannot be published");
}

template<class T>
class TPropBuilder {
public:
    explicit TPropBuilder(TPropInfo* Prop)
        : FProp(Prop)
    { }
    template<class D>
    TPropBuilder& Default(D Value)
    {
        FProp->HasDefault = true;
        FProp->Default = Int64(Value);
        return *this;
    }
    TPropBuilder& Stored(bool Value)
    {
        FProp->StoredConst = Value;
        return *this;
    }
    TPropBuilder& Stored(bool (T::*Test)() const)
    {
        FProp->StoredProc = [Test](TObject* Obj) { return (static_cast<T*>(Obj)->*Test)(); };
        return *this;
    }
    // A named integer type (colours and the like) in place of the deduced one.
    TPropBuilder& Type(const TTypeInfo* Info)
    {
        FProp->PropType = Info;
        return *this;
    }

private:
    TPropInfo* FProp;
};

template<class T>
class TPropDefiner {
public:
    template<class G, class S>
    TPropBuilder<T> Prop(const char16_t* Name, G Getter, S Setter)
    {
        using V = std::decay_t<std::invoke_result_t<G, T*>>;
        TPropInfo* P = Make(Name, TypeInfoOf<V>(), Getter);
        P->Set = [Setter](TObject* Obj, const TPropValue& Value) {
            std::invoke(Setter, static_cast<T*>(Obj), FromPropValue<V>(Value));
        };
        return TPropBuilder<T>(P);
    }
    template<class G>
    TPropBuilder<T> ReadOnly(const char16_t* Name, G Getter)
    {
        using V = std::decay_t<std::invoke_result_t<G, T*>>;
        return TPropBuilder<T>(Make(Name, TypeInfoOf<V>(), Getter));
    }
    template<class G, class S>
    TPropBuilder<T> DateTime(const char16_t* Name, G Getter, S Setter)
    {
        auto B = Prop(Name, Getter, Setter);
        return B.Type(DateTimeTypeInfo());
    }
    template<class E, class G, class S>
    TPropBuilder<T> Set(const char16_t* Name, G Getter, S Setter)
    {
        static_assert(std::is_enum_v<E>);
        auto B = Prop(Name, Getter, Setter);
        return B.Type(SetTypeInfo<E>());
    }
    template<class Sig>
    TPropBuilder<T> Event(const char16_t* Name, TEvent<Sig> T::*Member)
    {
        auto* P = NewPropInfo();
        P->Name = Name;
        P->PropType = MethodInfoOf(typeid(Sig));
        P->Owner = T::StaticClass();
        P->Get = [Member](TObject* Obj) -> TPropValue { return (static_cast<T*>(Obj)->*Member).Method(); };
        P->Set = [Member](TObject* Obj, const TPropValue& Value) {
            (static_cast<T*>(Obj)->*Member).SetMethod(std::get<TMethod>(Value));
        };
        AddProp(T::StaticClass(), P);
        return TPropBuilder<T>(P);
    }
    template<class R, class... A>
    void Method(const char16_t* Name, R (T::*Fn)(A...))
    {
        auto* M = NewMethodInfo();
        M->Name = Name;
        M->Owner = T::StaticClass();
        M->Signature = &typeid(R(A...));
        M->Caller = std::function<R(TObject*, A...)>(
            [Fn](TObject* Self, A... Args) -> R { return (static_cast<T*>(Self)->*Fn)(std::forward<A>(Args)...); });
        AddMethod(T::StaticClass(), M);
    }

private:
    template<class G>
    TPropInfo* Make(const char16_t* Name, const TTypeInfo* Type, G Getter)
    {
        auto* P = NewPropInfo();
        P->Name = Name;
        P->PropType = Type;
        P->Owner = T::StaticClass();
        P->Get = [Getter](TObject* Obj) -> TPropValue {
            using V = std::decay_t<std::invoke_result_t<G, T*>>;
            return ToPropValue<V>(std::invoke(Getter, static_cast<T*>(Obj)));
        };
        AddProp(T::StaticClass(), P);
        return P;
    }
};

struct TPublishedRegistrar {
    template<class T>
    explicit TPublishedRegistrar(void (*Define)(TPropDefiner<T>&))
    {
        TPropDefiner<T> D;
        Define(D);
    }
};
}

template<class T>
const TTypeInfo* TypeInfoOf()
{
    using namespace XDetail;
    if constexpr (std::is_same_v<T, bool>)
        return BooleanInfo();
    else if constexpr (std::is_same_v<T, Char>)
        return CharInfo();
    else if constexpr (std::is_integral_v<T>)
        return OrdInfo(OrdTypeOf<T>());
    else if constexpr (std::is_floating_point_v<T>)
        return FloatInfo();
    else if constexpr (std::is_same_v<T, String>)
        return StringInfo();
    else if constexpr (std::is_same_v<T, TVariant>)
        return VariantInfo();
    else if constexpr (std::is_enum_v<T>)
        return XTypeInfoOf(static_cast<T*>(nullptr));
    else if constexpr (std::is_pointer_v<T>)
        return ClassInfoOf(std::remove_const_t<std::remove_pointer_t<T>>::StaticClass());
    else if constexpr (TIsIPtr<T>::value)
        return InterfaceInfo(TIsIPtr<T>::Intf::IID, u"IInterface");
    else
        static_assert(sizeof(T) == 0, "type cannot be published");
}

template<class E>
const TTypeInfo* SetTypeInfo()
{
    static const TTypeInfo* Info = XDetail::RegisterSetInfo(TypeInfoOf<E>());
    return Info;
}

// Declares the names of an enumeration whose values run 0, 1, 2...; in a
// header, at namespace scope, after the enumeration.
#define X_ENUM_INFO(Type, ...)                                                                                         \
    inline const TTypeInfo* XTypeInfoOf(Type*)                                                                         \
    {                                                                                                                  \
        using enum Type;                                                                                               \
        static const TTypeInfo Info = XDetail::MakeEnumInfo(u## #Type, u"" #__VA_ARGS__, { __VA_ARGS__ });             \
        return &Info;                                                                                                  \
    }

// The published block of a class, in its source.
#define X_PUBLISHED(Self)                                                                                              \
    struct Self::XPublished {                                                                                          \
        using TSelf = Self;                                                                                            \
        static void Define(XDetail::TPropDefiner<Self>& D);                                                            \
    };                                                                                                                 \
    static XDetail::TPublishedRegistrar XPublished_##Self(&Self::XPublished::Define);                                  \
    void Self::XPublished::Define([[maybe_unused]] XDetail::TPropDefiner<Self>& D)

#define X_PROP(Name, Getter, Setter) D.Prop(u## #Name, &TSelf::Getter, &TSelf::Setter)
#define X_PROP_READONLY(Name, Getter) D.ReadOnly(u## #Name, &TSelf::Getter)
#define X_PROP_DATETIME(Name, Getter, Setter) D.DateTime(u## #Name, &TSelf::Getter, &TSelf::Setter)
#define X_PROP_SET(Name, Enum, Getter, Setter) D.Set<Enum>(u## #Name, &TSelf::Getter, &TSelf::Setter)
#define X_EVENT(Name, Member) D.Event(u## #Name, &TSelf::Member)
#define X_METHOD(Name) D.Method(u## #Name, &TSelf::Name)
