#include "rtl/ComponentText.h"
#include "rtl/Collection.h"
#include "rtl/StrUtils.h"
#include "rtl/StringList.h"
#include <cmath>

namespace {
constexpr Integer LineLength = 64;     // characters of a string piece, bytes of binary a line = half
constexpr Integer MaxWriteDepth = 64;

void NewLine(String& Out, Integer Level)
{
    Out += u"\r\n";
    Out.append(size_t(Level) * 2, u' ');
}

bool Printable(Char C) { return C >= u' ' && C < 127 && C != u'\''; }

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
    case vkInteger:
        Out += V.Big ? UIntToStr(UInt64(V.Int)) : IntToStr(V.Int);
        break;
    case vkFloat:
        Out += FloatForText(V.Float);
        break;
    case vkString:
        FormatString(Out, V.Text, Level);
        break;
    case vkIdent:
        Out += V.Text;
        break;
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

// ---- writing ---------------------------------------------------------------

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
    std::vector<TObject*> FPath;     // objects being written, to stop at cycles

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
        case okStream:
            return;
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
        default:
            CollectProps(Obj, Name + u".", Out, Depth + 1);
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
        case tkChar:
            return StringValue(String(1, Char(GetOrdProp(Obj, P))));
        case tkEnumeration:
            return IdentValue(GetEnumName(T, GetOrdProp(Obj, P)));
        case tkSet: {
            TTextValue V = MakeValue(vkSet);
            UInt64 Bits = UInt64(GetOrdProp(Obj, P));
            for (size_t I = 0; I < T->CompType->EnumNames.size(); ++I)
                if (Bits & (UInt64(1) << I))
                    V.Names.push_back(T->CompType->EnumNames[I]);
            return V;
        }
        case tkFloat:
            return FloatValue(GetFloatProp(Obj, P));
        case tkUString:
            return StringValue(GetStrProp(Obj, P));
        case tkMethod:
            return IdentValue(GetMethodProp(Obj, P).Code->Name);
        case tkVariant: {
            TVariant V = GetVariantProp(Obj, P);
            return std::visit([](const auto& X) -> TTextValue {
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
            }, V.Value);
        }
        default:
            throw EWriteError(u"Property " + P->Name + u" cannot be written");
        }
    }
};

// ---- reading ---------------------------------------------------------------

// A read error already reported with its place; passes outer handlers.
class EPlacedReadError : public EReadError {
public:
    using EReadError::EReadError;
};

[[noreturn]] void Fail(const String& Message, Integer Line)
{
    throw EPlacedReadError(Message + u" on line " + IntToStr(Line));
}

class TLoader {
public:
    TLoader(const TComponentReadOptions& Options, TComponent* Root)
        : FOptions(Options), FMethodRoot(Options.MethodRoot ? Options.MethodRoot : Root),
          FChildBase(Options.ChildBase ? Options.ChildBase : TComponent::StaticClass())
    {
    }

    void Read(const TTextObject& Tree, TComponent* Root)
    {
        try {
            ReadInto(Tree, Root);
        } catch (...) {
            Abort();
            throw;
        }
        std::exception_ptr First;
        for (TComponent* C : FLoaded) {
            try {
                C->Loaded();
            } catch (...) {
                if (!First)
                    First = std::current_exception();
            }
            C->SetComponentStateItem(csLoading, false);
        }
        if (First)
            std::rethrow_exception(First);
    }

private:
    const TComponentReadOptions& FOptions;
    TObject* FMethodRoot;
    TClass FChildBase;
    std::vector<TComponent*> FLoaded;
    std::vector<TComponent*> FCreated;

    void Abort()
    {
        for (TComponent* C : FLoaded)
            if (std::find(FCreated.begin(), FCreated.end(), C) == FCreated.end()) {
                C->SetComponentStateItem(csReading, false);
                C->SetComponentStateItem(csLoading, false);
            }
        // Children were created after their owners: freeing last first
        // never frees a component twice.
        for (auto It = FCreated.rbegin(); It != FCreated.rend(); ++It)
            (*It)->Free();
    }

    void ReadInto(const TTextObject& T, TComponent* C)
    {
        C->SetComponentStateItem(csLoading, true);
        C->SetComponentStateItem(csReading, true);
        FLoaded.push_back(C);
        for (const TTextProp& P : T.Props)
            ReadProp(C, P);
        for (const TTextObject& Child : T.Children)
            ReadChild(Child, C);
        C->SetComponentStateItem(csReading, false);
    }

    void ReadChild(const TTextObject& T, TComponent* Owner)
    {
        TClass Class = GetClass(T.ClassName);
        if (!Class) {
            if (FOptions.IgnoreErrors)
                return;
            Fail(u"Class " + T.ClassName + u" not found", T.Line);
        }
        // Data decides which class is made: only classes meant for this place.
        if (!Class->InheritsFrom(FChildBase) || !Class->InheritsFrom(TComponent::StaticClass()))
            Fail(u"Class " + T.ClassName + u" is not a " + FChildBase->Name, T.Line);
        TComponent* C = T.Name.empty() ? nullptr : Owner->FindComponent(T.Name);
        if (C && !C->InheritsFrom(Class)) {
            if (FOptions.IgnoreErrors)
                return;
            Fail(u"A component named " + T.Name + u" already exists", T.Line);
        }
        if (!C) {
            try {
                TObject* Bare = Class->NewInstance();
                C = Construct(static_cast<TComponent*>(Bare), Owner);
            } catch (const Exception& E) {
                if (FOptions.IgnoreErrors)
                    return;
                Fail(E.Message(), T.Line);
            }
            FCreated.push_back(C);
            try {
                C->SetName(T.Name);
            } catch (const Exception& E) {
                FCreated.pop_back();
                C->Free();
                if (FOptions.IgnoreErrors)
                    return;
                Fail(E.Message(), T.Line);
            }
        }
        ReadInto(T, C);
    }

    void ReadProp(TObject* Instance, const TTextProp& P)
    {
        try {
            SetProp(Instance, P.Name, P.Value);
        } catch (const EPlacedReadError&) {
            throw;
        } catch (const Exception& E) {
            if (!FOptions.IgnoreErrors)
                Fail(u"Error reading " + P.Name + u": " + E.Message(), P.Line);
        } catch (const std::exception& E) {
            if (!FOptions.IgnoreErrors)
                Fail(u"Error reading " + P.Name + u": " + S(E.what()), P.Line);
        }
    }

    static TObject* ObjectOf(TObject* Instance, const TPropInfo* P)
    {
        if (P->PropType->Kind == tkClass)
            return GetObjectProp(Instance, P);
        if (P->PropType->Kind == tkInterface)
            return InterfaceToObject(GetInterfaceProp(Instance, P).Get());
        return nullptr;
    }

    void SetProp(TObject* Instance, StringView Path, const TTextValue& V)
    {
        TObject* Obj = Instance;
        size_t Dot;
        while ((Dot = Path.find(u'.')) != StringView::npos) {
            StringView Part = Path.substr(0, Dot);
            const TPropInfo* P = GetPropInfo(Obj, Part);
            if (!P)
                throw EReadError(u"Property " + String(Part) + u" does not exist");
            Obj = ObjectOf(Obj, P);
            if (!Obj)
                throw EReadError(u"Property " + String(Part) + u" holds no object");
            Path = Path.substr(Dot + 1);
        }
        String Name(Path);
        if (const TPropInfo* P = GetPropInfo(Obj, Name)) {
            ApplyValue(Obj, P, V);
            return;
        }
        if (auto* Strings = DynamicCast<TStrings>(Obj); Strings && SameText(Name, u"Strings")) {
            ReadStrings(Strings, V);
            return;
        }
        if (auto* Persistent = DynamicCast<TPersistent>(Obj)) {
            TOwnedPtr<TReader> Reader(New<TReader>());
            if (Reader->ReadDefined(Persistent, Name, V))
                return;
        }
        throw EReadError(u"Property " + Name + u" does not exist");
    }

    static void ReadStrings(TStrings* Strings, const TTextValue& V)
    {
        if (V.Kind != vkList)
            throw EReadError(u"Invalid property value");
        for (const TTextValue& Item : V.List)
            if (Item.Kind != vkString)
                throw EReadError(u"String expected");
        Strings->BeginUpdate();
        try {
            Strings->Clear();
            for (const TTextValue& Item : V.List)
                Strings->Add(Item.Text);
        } catch (...) {
            Strings->EndUpdate();
            throw;
        }
        Strings->EndUpdate();
    }

    void ReadCollection(TCollection* Collection, const TTextValue& V)
    {
        Collection->BeginUpdate();
        try {
            Collection->Clear();
            for (const TTextItem& Item : V.Items) {
                TCollectionItem* Target = Collection->Add();
                for (const TTextProp& P : Item.Props)
                    ReadProp(Target, P);
            }
        } catch (...) {
            Collection->EndUpdate();
            throw;
        }
        Collection->EndUpdate();
    }

    static Int64 OrdinalOf(const TPropInfo* P, const TTextValue& V)
    {
        const TTypeInfo* T = P->PropType;
        if (V.Kind == vkInteger) {
            if (V.Big && T->OrdType != otUQWord)
                throw EReadError(u"Value out of range");
            if (T->OrdType == otUQWord && V.Int < 0 && !V.Big)
                throw EReadError(u"Value out of range");
            return V.Int;
        }
        if (V.Kind == vkIdent) {
            Int64 Result = 0;
            if (T->Kind == tkEnumeration && (Result = GetEnumValue(T, V.Text)) >= 0)
                return Result;
            if (T->IdentToInt && T->IdentToInt(V.Text, Result))
                return Result;
        }
        if (V.Kind == vkString && T->Kind == tkChar && V.Text.size() == 1)
            return Int64(V.Text[0]);
        if (V.Kind == vkSet && T->Kind == tkSet) {
            UInt64 Bits = 0;
            for (const String& Name : V.Names) {
                Int64 Member = GetEnumValue(T->CompType, Name);
                if (Member < 0)
                    throw EReadError(u"Invalid set member " + Name);
                Bits |= UInt64(1) << Member;
            }
            return Int64(Bits);
        }
        throw EReadError(u"Invalid property value");
    }

    void ApplyValue(TObject* Obj, const TPropInfo* P, const TTextValue& V)
    {
        switch (P->PropType->Kind) {
        case tkInteger:
        case tkInt64:
        case tkChar:
        case tkEnumeration:
        case tkSet:
            SetOrdProp(Obj, P, OrdinalOf(P, V));
            return;
        case tkFloat:
            if (V.Kind == vkFloat)
                SetFloatProp(Obj, P, V.Float);
            else if (V.Kind == vkInteger)
                SetFloatProp(Obj, P, V.Big ? double(UInt64(V.Int)) : double(V.Int));
            else if (V.Kind == vkIdent && (SameText(V.Text, u"INF") || SameText(V.Text, u"NAN")))
                SetFloatProp(Obj, P, SameText(V.Text, u"INF") ? HUGE_VAL : std::nan(""));
            else
                throw EReadError(u"Invalid property value");
            return;
        case tkUString:
            if (V.Kind != vkString)
                throw EReadError(u"Invalid property value");
            SetStrProp(Obj, P, V.Text);
            return;
        case tkVariant:
            SetVariantProp(Obj, P, VariantOf(V));
            return;
        case tkMethod:
            if (V.Kind != vkIdent)
                throw EReadError(u"Invalid property value");
            // Names from outside data bind to code only when asked.
            if (FOptions.BindEvents)
                SetPropValueText(Obj, P, V.Text, FMethodRoot);
            return;
        case tkClass: {
            TObject* Target = GetObjectProp(Obj, P);
            if (auto* Strings = DynamicCast<TStrings>(Target); Strings && V.Kind == vkList) {
                ReadStrings(Strings, V);
                return;
            }
            if (auto* Collection = DynamicCast<TCollection>(Target); Collection && V.Kind == vkCollection) {
                ReadCollection(Collection, V);
                return;
            }
            throw EReadError(u"Invalid property value");
        }
        default:
            throw EReadError(u"Invalid property value");
        }
    }

    static TVariant VariantOf(const TTextValue& V)
    {
        switch (V.Kind) {
        case vkInteger:
            if (V.Big)
                throw EReadError(u"Value out of range");
            if (V.Int >= INT32_MIN && V.Int <= INT32_MAX)
                return TVariant(Integer(V.Int));
            return TVariant(V.Int);
        case vkFloat:
            return TVariant(V.Float);
        case vkString:
            return TVariant(V.Text);
        case vkIdent:
            if (SameText(V.Text, u"True") || SameText(V.Text, u"False"))
                return TVariant(SameText(V.Text, u"True"));
            if (SameText(V.Text, u"Null"))
                return TVariant::Null();
            if (SameText(V.Text, u"Unassigned") || SameText(V.Text, u"nil"))
                return TVariant();
            break;
        default:
            break;
        }
        throw EReadError(u"Invalid property value");
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

void ReadComponentFromText(StringView Text, TComponent* Root, const TComponentReadOptions& Options)
{
    TTextObject Tree = ParseComponentText(Text, Options.MaxDepth);
    TLoader(Options, Root).Read(Tree, Root);
}

// ---- filers ----------------------------------------------------------------

X_REGISTER_CLASS(TFiler)
X_REGISTER_CLASS(TReader)
X_REGISTER_CLASS(TWriter)

bool TReader::ReadDefined(TPersistent* Instance, const String& Name, const TTextValue& Value)
{
    FName = Name;
    FValue = &Value;
    FLists.clear();
    FTaken = false;
    FUsed = false;
    Instance->DefineProperties(this);
    FValue = nullptr;
    return FTaken;
}

void TReader::DefineProperty(const String& Name, TReaderProc ReadData, TWriterProc, bool)
{
    if (FTaken || !FValue || !ReadData || !SameText(Name, FName))
        return;
    FTaken = true;
    ReadData(this);
    if (!FUsed || !FLists.empty())
        throw EReadError(u"Property " + Name + u" was not read whole");
}

void TReader::DefineBinaryProperty(const String& Name, TStreamProc ReadData, TStreamProc, bool)
{
    if (FTaken || !FValue || !ReadData || !SameText(Name, FName))
        return;
    FTaken = true;
    if (FValue->Kind != vkBinary)
        throw EReadError(u"Invalid binary value for " + Name);
    TOwnedPtr<TMemoryStream> Stream(New<TMemoryStream>());
    Stream->WriteBuffer(FValue->Bytes.data(), Int64(FValue->Bytes.size()));
    Stream->SetPosition(0);
    ReadData(Stream.get());
}

const TTextValue& TReader::Next()
{
    if (FLists.empty()) {
        if (!FValue || FUsed)
            throw EReadError(u"No value to read");
        FUsed = true;
        return *FValue;
    }
    auto& [List, Index] = FLists.back();
    if (Index >= List->List.size())
        throw EReadError(u"Read past the end of a list");
    return List->List[Index++];
}

Integer TReader::ReadInteger()
{
    Int64 V = ReadInt64();
    if (V < INT32_MIN || V > INT32_MAX)
        throw EReadError(u"Integer out of range");
    return Integer(V);
}

Int64 TReader::ReadInt64()
{
    const TTextValue& V = Next();
    if (V.Kind != vkInteger || V.Big)
        throw EReadError(u"Integer expected");
    return V.Int;
}

double TReader::ReadFloat()
{
    const TTextValue& V = Next();
    if (V.Kind == vkFloat)
        return V.Float;
    if (V.Kind == vkInteger && !V.Big)
        return double(V.Int);
    throw EReadError(u"Float expected");
}

String TReader::ReadString()
{
    const TTextValue& V = Next();
    if (V.Kind != vkString)
        throw EReadError(u"String expected");
    return V.Text;
}

bool TReader::ReadBoolean()
{
    const TTextValue& V = Next();
    if (V.Kind == vkIdent && (SameText(V.Text, u"True") || SameText(V.Text, u"False")))
        return SameText(V.Text, u"True");
    throw EReadError(u"Boolean expected");
}

Char TReader::ReadChar()
{
    const TTextValue& V = Next();
    if (V.Kind != vkString || V.Text.size() != 1)
        throw EReadError(u"Character expected");
    return V.Text[0];
}

String TReader::ReadIdent()
{
    const TTextValue& V = Next();
    if (V.Kind != vkIdent)
        throw EReadError(u"Identifier expected");
    return V.Text;
}

void TReader::ReadListBegin()
{
    const TTextValue& V = Next();
    if (V.Kind != vkList)
        throw EReadError(u"List expected");
    FLists.emplace_back(&V, 0);
}

bool TReader::EndOfList() const
{
    return FLists.empty() || FLists.back().second >= FLists.back().first->List.size();
}

void TReader::ReadListEnd()
{
    if (FLists.empty() || !EndOfList())
        throw EReadError(u"End of list expected");
    FLists.pop_back();
}

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

void TWriter::WriteInteger(Int64 Value) { Put(IntValue(Value)); }
void TWriter::WriteFloat(double Value) { Put(FloatValue(Value)); }
void TWriter::WriteString(const String& Value) { Put(StringValue(Value)); }
void TWriter::WriteBoolean(bool Value) { Put(IdentValue(Value ? u"True" : u"False")); }
void TWriter::WriteChar(Char Value) { Put(StringValue(String(1, Value))); }
void TWriter::WriteIdent(const String& Value) { Put(IdentValue(Value)); }
void TWriter::WriteListBegin() { FStack.push_back(MakeValue(vkList)); }

void TWriter::WriteListEnd()
{
    if (FStack.empty())
        throw EWriteError(u"No list to end");
    TTextValue List = std::move(FStack.back());
    FStack.pop_back();
    Put(std::move(List));
}
