// The loader of the text form: a parsed tree applied to components, and
// the filer that hands a defined property its value.
#include "rtl/ComponentText.h"
#include "rtl/Collection.h"
#include "rtl/StrUtils.h"
#include "rtl/StringList.h"
#include <algorithm>
#include <cmath>
#include <new>

namespace {
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
        : FOptions(Options)
        , FMethodRoot(Options.MethodRoot ? Options.MethodRoot : Root)
        , FChildBase(Options.ChildBase ? Options.ChildBase : TComponent::StaticClass())
    { }

    void Read(const TTextObject& Tree, TComponent* Root)
    {
        try {
            ReadInto(Tree, Root);
        } catch (...) { // frees what this read made, then passes the exception on
            Abort();
            throw;
        }
        std::exception_ptr First;
        for (TComponent* C : FLoaded) {
            try {
                C->Loaded();
            } catch (...) { // kept and raised again once every component is loaded
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
        } catch (const EOutOfMemory&) {
            throw; // no value is skipped for want of memory: the read fails
        } catch (const std::bad_alloc&) {
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
        } catch (...) { // ends the update, then passes the exception on
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
        } catch (...) { // ends the update, then passes the exception on
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
        case tkSet: SetOrdProp(Obj, P, OrdinalOf(P, V)); return;
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
        case tkVariant: SetVariantProp(Obj, P, VariantOf(V)); return;
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
        default: throw EReadError(u"Invalid property value");
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
        case vkFloat: return TVariant(V.Float);
        case vkString: return TVariant(V.Text);
        case vkIdent:
            if (SameText(V.Text, u"True") || SameText(V.Text, u"False"))
                return TVariant(SameText(V.Text, u"True"));
            if (SameText(V.Text, u"Null"))
                return TVariant::Null();
            if (SameText(V.Text, u"Unassigned") || SameText(V.Text, u"nil"))
                return TVariant();
            break;
        default: break;
        }
        throw EReadError(u"Invalid property value");
    }
};
}

void ReadComponentFromText(StringView Text, TComponent* Root, const TComponentReadOptions& Options)
{
    TTextObject Tree = ParseComponentText(Text, Options.MaxDepth, Options.MaxTreeBytes);
    TLoader(Options, Root).Read(Tree, Root);
}

X_REGISTER_CLASS(TReader)

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
