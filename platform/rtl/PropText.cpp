#include "rtl/StrUtils.h"
#include "rtl/TypInfo.h"

String VarToStr(const TVariant& V)
{
    return std::visit(
        [](const auto& X) -> String {
            using T = std::decay_t<decltype(X)>;
            if constexpr (std::is_same_v<T, std::monostate> || std::is_same_v<T, TVarNull>)
                return {};
            else if constexpr (std::is_same_v<T, bool>)
                return X ? u"True" : u"False";
            else if constexpr (std::is_same_v<T, double>)
                return FloatToText(X);
            else if constexpr (std::is_same_v<T, String>)
                return X;
            else
                return IntToStr(X);
        },
        V.Value);
}

String GetPropValueText(TObject* Instance, const TPropInfo* Prop)
{
    const TTypeInfo* T = Prop->PropType;
    switch (T->Kind) {
    case tkInteger:
    case tkInt64: {
        Int64 V = GetOrdProp(Instance, Prop);
        String Ident;
        if (T->IntToIdent && T->IntToIdent(V, Ident))
            return Ident;
        return T->OrdType == otUQWord ? UIntToStr(UInt64(V)) : IntToStr(V);
    }
    case tkChar: return String(1, Char(GetOrdProp(Instance, Prop)));
    case tkEnumeration: return GetEnumName(T, GetOrdProp(Instance, Prop));
    case tkSet: return SetToString(T, UInt64(GetOrdProp(Instance, Prop)));
    case tkFloat: return FloatToText(GetFloatProp(Instance, Prop));
    case tkUString: return GetStrProp(Instance, Prop);
    case tkVariant: return VarToStr(GetVariantProp(Instance, Prop));
    case tkMethod: {
        TMethod M = GetMethodProp(Instance, Prop);
        return M.Code ? M.Code->Name : String();
    }
    default: throw EConvertError(u"Property " + Prop->Name + u" has no text form");
    }
}

namespace {
[[noreturn]] void BadValue(const TPropInfo* Prop, StringView Text)
{
    throw EConvertError(u"Invalid value '" + String(Text) + u"' for property " + Prop->Name);
}

Int64 TextToOrd(const TPropInfo* Prop, StringView Text)
{
    const TTypeInfo* T = Prop->PropType;
    String S = Trim(Text);
    Int64 V = 0;
    if (T->IdentToInt && T->IdentToInt(S, V))
        return V;
    if (T->OrdType == otUQWord && !S.empty() && S[0] != u'-' && S[0] != u'$') {
        // Beyond Int64: parse by hand into the unsigned bit pattern.
        UInt64 U = 0;
        for (Char C : S) {
            if (C < u'0' || C > u'9' || U > (UINT64_MAX - (C - u'0')) / 10)
                BadValue(Prop, Text);
            U = U * 10 + UInt64(C - u'0');
        }
        return Int64(U);
    }
    if (!TryStrToInt64(S, V))
        BadValue(Prop, Text);
    if (T->OrdType == otUQWord && V < 0 && S[0] == u'-')
        BadValue(Prop, Text);
    return V;
}
}

void SetPropValueText(TObject* Instance, const TPropInfo* Prop, StringView Text, TObject* MethodRoot)
{
    const TTypeInfo* T = Prop->PropType;
    switch (T->Kind) {
    case tkInteger:
    case tkInt64: try { SetOrdProp(Instance, Prop, TextToOrd(Prop, Text));
        } catch (const EPropertyError&) {
            BadValue(Prop, Text);
        }
        return;
    case tkChar:
        if (Text.size() != 1)
            BadValue(Prop, Text);
        SetOrdProp(Instance, Prop, Int64(Text[0]));
        return;
    case tkEnumeration: {
        Int64 V = GetEnumValue(T, Trim(Text));
        if (V < 0)
            BadValue(Prop, Text);
        SetOrdProp(Instance, Prop, V);
        return;
    }
    case tkSet: SetOrdProp(Instance, Prop, Int64(StringToSet(T, Text))); return;
    case tkFloat: {
        double V = 0;
        if (!TryTextToFloat(Text, V))
            BadValue(Prop, Text);
        SetFloatProp(Instance, Prop, V);
        return;
    }
    case tkUString: SetStrProp(Instance, Prop, String(Text)); return;
    case tkVariant: SetVariantProp(Instance, Prop, TVariant(String(Text))); return;
    case tkMethod: {
        if (Text.empty()) {
            SetMethodProp(Instance, Prop, TMethod {});
            return;
        }
        if (!MethodRoot)
            throw EConvertError(u"No object to find method " + String(Text) + u" in");
        const TMethodInfo* Code = MethodAddress(MethodRoot->ClassType(), Trim(Text));
        if (!Code)
            throw EConvertError(u"Method " + String(Text) + u" not found");
        try {
            SetMethodProp(Instance, Prop, TMethod { Code, MethodRoot });
        } catch (const EInvalidCast& E) {
            throw EConvertError(E.Message());
        }
        return;
    }
    default: throw EConvertError(u"Property " + Prop->Name + u" has no text form");
    }
}
