// The writer of the text form: components and their properties to text,
// and the filer that collects what DefineProperties writes.
#include "rtl/ComponentText.h"
#include "rtl/Collection.h"
#include "rtl/StrUtils.h"
#include "rtl/StringList.h"
#include <algorithm>
#include <cmath>

namespace {
constexpr Integer LineLength = 64; // characters of a string piece, bytes of binary a line = half
constexpr Integer MaxWriteDepth = 64;

void NewLine(String& Out, Integer Level)
{
    Out += u"\r\n";
    Out.append(size_t(Level) * 2, u' ');
}

bool Printable(Char C)
{
    return C >= u' ' && C < 127 && C != u'\'';
}

// Quoted pieces for printable ASCII, #nnn for everything else; strings
// longer than a line start on a line of their own and break every 64
// characters with " +".
void FormatString(String& Out, const String& S, Integer Level)
{
    size_t L = S.size();
    if (L == 0) {
        Out += u"''";
        return;
    }
    if (L > size_t(LineLength))
        NewLine(Out, Level + 1);
    size_t I = 0;
    size_t K = 0;
    while (I < L) {
        bool Break = false;
        if (Printable(S[I])) {
            size_t J = I;
            do
                ++I;
            while (I < L && Printable(S[I]) && I - K < size_t(LineLength));
            Break = I - K >= size_t(LineLength);
            Out += u'\'';
            Out.append(S, J, I - J);
            Out += u'\'';
        } else {
            Out += u'#';
            Out += IntToStr(Integer(S[I]));
            ++I;
            Break = I - K >= size_t(LineLength);
        }
        if (Break && I < L) {
            Out += u" +";
            NewLine(Out, Level + 1);
            K = I;
        }
    }
}

String FloatForText(double V)
{
    String S = FloatToText(V);
    // A float keeps a point or an exponent so that it reads back as a float.
    if (std::isfinite(V) && S.find_first_of(u".E") == String::npos)
        S += u".0";
    return S;
}

void FormatValue(String& Out, const TTextValue& V, Integer Level);

void FormatProp(String& Out, const TTextProp& P, Integer Level)
{
    Out += P.Name;
    Out += u" = ";
    FormatValue(Out, P.Value, Level);
}

void FormatValue(String& Out, const TTextValue& V, Integer Level)
{
    static const char16_t Hex[] = u"0123456789ABCDEF";
    switch (V.Kind) {
    case vkInteger: Out += V.Big ? UIntToStr(UInt64(V.Int)) : IntToStr(V.Int); break;
    case vkFloat: Out += FloatForText(V.Float); break;
    case vkString: FormatString(Out, V.Text, Level); break;
    case vkIdent: Out += V.Text; break;
    case vkSet:
        Out += u'[';
        for (size_t I = 0; I < V.Names.size(); ++I) {
            if (I)
                Out += u", ";
            Out += V.Names[I];
        }
        Out += u']';
        break;
    case vkList:
        Out += u'(';
        for (const TTextValue& Item : V.List) {
            NewLine(Out, Level + 1);
            FormatValue(Out, Item, Level + 1);
        }
        Out += u')';
        break;
    case vkBinary:
        Out += u'{';
        for (size_t I = 0; I < V.Bytes.size(); ++I) {
            if (I % size_t(LineLength / 2) == 0)
                NewLine(Out, Level + 1);
            Byte B = Byte(V.Bytes[I]);
            Out += Hex[B >> 4];
            Out += Hex[B & 15];
        }
        Out += u'}';
        break;
    case vkCollection:
        Out += u'<';
        for (const TTextItem& Item : V.Items) {
            NewLine(Out, Level + 1);
            Out += u"item";
            for (const TTextProp& P : Item.Props) {
                NewLine(Out, Level + 2);
                FormatProp(Out, P, Level + 2);
            }
            NewLine(Out, Level + 1);
            Out += u"end";
        }
        Out += u'>';
        break;
    }
}

TTextValue MakeValue(TTextValueKind Kind)
{
    TTextValue V;
    V.Kind = Kind;
    return V;
}

TTextValue IdentValue(const String& Text)
{
    TTextValue V = MakeValue(vkIdent);
    V.Text = Text;
    return V;
}

TTextValue StringValue(const String& Text)
{
    TTextValue V = MakeValue(vkString);
    V.Text = Text;
    return V;
}

TTextValue IntValue(Int64 I, bool Big = false)
{
    TTextValue V = MakeValue(vkInteger);
    V.Int = I;
    V.Big = Big;
    return V;
}

TTextValue FloatValue(double F)
{
    TTextValue V = MakeValue(vkFloat);
    V.Float = F;
    return V;
}

class TTextWriter {
public:
    void WriteObject(String& Out, TComponent* C, Integer Level)
    {
        if (Level > MaxWriteDepth)
            throw EWriteError(u"Components nested too deep");
        Out.append(size_t(Level) * 2, u' ');
        Out += u"object ";
        if (!C->Name().empty())
            Out += C->Name() + u": ";
        Out += C->ClassName();
        Out += u"\r\n";
        std::vector<TTextProp> Props;
        CollectProps(C, u"", Props, 0);
        for (const TTextProp& P : Props) {
            Out.append(size_t(Level + 1) * 2, u' ');
            FormatProp(Out, P, Level + 1);
            Out += u"\r\n";
        }
        for (Integer I = 0; I < C->ComponentCount(); ++I)
            WriteObject(Out, C->Components(I), Level + 1);
        Out.append(size_t(Level) * 2, u' ');
        Out += u"end\r\n";
    }

private:
    std::vector<TObject*> FPath; // objects being written, to stop at cycles

    void CollectProps(TObject* Obj, const String& Prefix, std::vector<TTextProp>& Out, Integer Depth)
    {
        if (Depth > MaxWriteDepth)
            throw EWriteError(u"Objects nested too deep");
        FPath.push_back(Obj);
        for (const TPropInfo* P : GetPropList(Obj->ClassType())) {
            if (!IsStoredProp(Obj, P))
                continue;
            TTypeKind Kind = P->PropType->Kind;
            if (Kind == tkClass)
                CollectObject(GetObjectProp(Obj, P), Prefix + P->Name, Out, Depth);
            else if (Kind == tkInterface)
                CollectObject(InterfaceToObject(GetInterfaceProp(Obj, P).Get()), Prefix + P->Name, Out, Depth);
            else if (!IsDefaultPropValue(Obj, P))
                Out.push_back(TTextProp { Prefix + P->Name, ValueOf(Obj, P), 0 });
        }
        if (auto* Persistent = DynamicCast<TPersistent>(Obj)) {
            TOwnedPtr<TWriter> Writer(New<TWriter>());
            for (TTextProp& P : Writer->CollectDefined(Persistent)) {
                P.Name = Prefix + P.Name;
                Out.push_back(std::move(P));
            }
        }
        FPath.pop_back();
    }

    void CollectObject(TObject* Obj, const String& Name, std::vector<TTextProp>& Out, Integer Depth)
    {
        if (!Obj || std::find(FPath.begin(), FPath.end(), Obj) != FPath.end())
            return;
        switch (PropObjectKind(Obj)) {
        case okStream: return;
        case okStrings: {
            auto* Strings = static_cast<TStrings*>(Obj);
            if (Strings->Count() == 0)
                return;
            TTextValue List = MakeValue(vkList);
            for (Integer I = 0; I < Strings->Count(); ++I)
                List.List.push_back(StringValue(Strings->Strings(I)));
            Out.push_back(TTextProp { Name + u".Strings", std::move(List), 0 });
            return;
        }
        case okCollection: {
            auto* Collection = static_cast<TCollection*>(Obj);
            TTextValue Items = MakeValue(vkCollection);
            for (Integer I = 0; I < Collection->Count(); ++I) {
                TTextItem Item;
                CollectProps(Collection->Items(I), u"", Item.Props, Depth + 1);
                Items.Items.push_back(std::move(Item));
            }
            Out.push_back(TTextProp { Name, std::move(Items), 0 });
            return;
        }
        default: CollectProps(Obj, Name + u".", Out, Depth + 1);
        }
    }

    static TTextValue ValueOf(TObject* Obj, const TPropInfo* P)
    {
        const TTypeInfo* T = P->PropType;
        switch (T->Kind) {
        case tkInteger:
        case tkInt64: {
            Int64 V = GetOrdProp(Obj, P);
            String Ident;
            if (T->IntToIdent && T->IntToIdent(V, Ident))
                return IdentValue(Ident);
            return IntValue(V, T->OrdType == otUQWord && V < 0);
        }
        case tkChar: return StringValue(String(1, Char(GetOrdProp(Obj, P))));
        case tkEnumeration: return IdentValue(GetEnumName(T, GetOrdProp(Obj, P)));
        case tkSet: {
            TTextValue V = MakeValue(vkSet);
            UInt64 Bits = UInt64(GetOrdProp(Obj, P));
            for (size_t I = 0; I < T->CompType->EnumNames.size(); ++I)
                if (Bits & (UInt64(1) << I))
                    V.Names.push_back(T->CompType->EnumNames[I]);
            return V;
        }
        case tkFloat: return FloatValue(GetFloatProp(Obj, P));
        case tkUString: return StringValue(GetStrProp(Obj, P));
        case tkMethod: return IdentValue(GetMethodProp(Obj, P).Code->Name);
        case tkVariant: {
            TVariant V = GetVariantProp(Obj, P);
            return std::visit(
                [](const auto& X) -> TTextValue {
                    using X_T = std::decay_t<decltype(X)>;
                    if constexpr (std::is_same_v<X_T, std::monostate> || std::is_same_v<X_T, TVarNull>)
                        return IdentValue(u"Null");
                    else if constexpr (std::is_same_v<X_T, bool>)
                        return IdentValue(X ? u"True" : u"False");
                    else if constexpr (std::is_same_v<X_T, double>)
                        return FloatValue(X);
                    else if constexpr (std::is_same_v<X_T, String>)
                        return StringValue(X);
                    else
                        return IntValue(Int64(X));
                },
                V.Value);
        }
        default: throw EWriteError(u"Property " + P->Name + u" cannot be written");
        }
    }
};
}

String FormatTextValue(const TTextValue& Value, Integer Level)
{
    String Out;
    FormatValue(Out, Value, Level);
    return Out;
}

String WriteComponentToText(TComponent* Root)
{
    String Out;
    TTextWriter().WriteObject(Out, Root, 0);
    return Out;
}

X_REGISTER_CLASS(TFiler)
X_REGISTER_CLASS(TWriter)

std::vector<TTextProp> TWriter::CollectDefined(TPersistent* Instance)
{
    FProps.clear();
    Instance->DefineProperties(this);
    return std::move(FProps);
}

void TWriter::DefineProperty(const String& Name, TReaderProc, TWriterProc WriteData, bool HasData)
{
    if (!HasData || !WriteData)
        return;
    FStack.clear();
    FHasResult = false;
    WriteData(this);
    if (!FStack.empty())
        throw EWriteError(u"Property " + Name + u" left a list open");
    if (FHasResult)
        FProps.push_back(TTextProp { Name, std::move(FResult), 0 });
    FHasResult = false;
}

void TWriter::DefineBinaryProperty(const String& Name, TStreamProc, TStreamProc WriteData, bool HasData)
{
    if (!HasData || !WriteData)
        return;
    TOwnedPtr<TMemoryStream> Stream(New<TMemoryStream>());
    WriteData(Stream.get());
    TTextValue V = MakeValue(vkBinary);
    V.Bytes.assign(static_cast<const char*>(Stream->Memory()), size_t(Stream->Size()));
    FProps.push_back(TTextProp { Name, std::move(V), 0 });
}

void TWriter::Put(TTextValue Value)
{
    if (!FStack.empty()) {
        FStack.back().List.push_back(std::move(Value));
        return;
    }
    if (FHasResult)
        throw EWriteError(u"A defined property writes one value");
    FResult = std::move(Value);
    FHasResult = true;
}

void TWriter::WriteInteger(Int64 Value)
{
    Put(IntValue(Value));
}
void TWriter::WriteFloat(double Value)
{
    Put(FloatValue(Value));
}
void TWriter::WriteString(const String& Value)
{
    Put(StringValue(Value));
}
void TWriter::WriteBoolean(bool Value)
{
    Put(IdentValue(Value ? u"True" : u"False"));
}
void TWriter::WriteChar(Char Value)
{
    Put(StringValue(String(1, Value)));
}
void TWriter::WriteIdent(const String& Value)
{
    Put(IdentValue(Value));
}
void TWriter::WriteListBegin()
{
    FStack.push_back(MakeValue(vkList));
}

void TWriter::WriteListEnd()
{
    if (FStack.empty())
        throw EWriteError(u"No list to end");
    TTextValue List = std::move(FStack.back());
    FStack.pop_back();
    Put(std::move(List));
}
