#include "core/XCore.XMLObjects.h"
#include "rtl/StrUtils.h"
#include "rtl/StringList.h"
#include "rtl/Units.h"
#include "core/XCore.Errors.h"
#include "core/XCore.Factory.h"
#include "core/XCore.Strings.h"
#include "core/XCore.ZLib.h"
#include <algorithm>
#include <charconv>
#include <new>

namespace {

constexpr StringView ObjectsTag = u"objects";
constexpr StringView ObjectTag = u"o";
constexpr StringView PropTag = u"p";
constexpr StringView ItemTag = u"i";
constexpr size_t HexBytesPerLine = 32;
// The deepest object element the writer makes: its "p" children must stay
// within what the reader accepts.
constexpr Integer MaxObjectDepth = XmlMaxDepth - 2;

// Damaged or unexpected data: fails the whole read instead of one property.
class EXMLObjectDataError : public EReadError {
public:
    using EReadError::EReadError;
};

bool IsElement(TXmlNode Node, StringView Name)
{
    return Node.NodeType() == TXmlNodeType::Element && Node.NodeName() == Name;
}

TObject* ObjectOf(TObject* Instance, const TPropInfo* P)
{
    if (P->PropType->Kind == tkClass)
        return GetObjectProp(Instance, P);
    if (P->PropType->Kind == tkInterface)
        return InterfaceToObject(GetInterfaceProp(Instance, P).Get());
    return nullptr;
}

bool ParseDecimal(StringView Text, bool Unsigned, Int64& Value)
{
    String T = Trim(Text);
    std::string A;
    for (Char C : T) {
        if (C > 127)
            return false;
        A += char(C);
    }
    const char* First = A.data();
    const char* Last = A.data() + A.size();
    if (First != Last && *First == '+')
        ++First;
    if (First == Last)
        return false;
    if (Unsigned) {
        UInt64 U = 0;
        auto Res = std::from_chars(First, Last, U);
        if (Res.ec != std::errc() || Res.ptr != Last)
            return false;
        Value = Int64(U);
        return true;
    }
    auto Res = std::from_chars(First, Last, Value);
    return Res.ec == std::errc() && Res.ptr == Last;
}

String StringsText(TStrings* Strings)
{
    String Text;
    for (Integer I = 0; I < Strings->Count(); ++I) {
        Text += Strings->Strings(I);
        Text += u"\r\n";
    }
    return Text;
}

void SetStringsText(TStrings* Strings, StringView Text)
{
    Strings->BeginUpdate();
    try {
        Strings->Clear();
        size_t I = 0;
        while (I < Text.size()) {
            size_t End = Text.find_first_of(u"\r\n", I);
            if (End == StringView::npos) {
                Strings->Add(String(Text.substr(I)));
                break;
            }
            Strings->Add(String(Text.substr(I, End - I)));
            I = End + (Text[End] == u'\r' && End + 1 < Text.size() && Text[End + 1] == u'\n' ? 2 : 1);
        }
    } catch (...) { // ends the update, then the failure passes on
        Strings->EndUpdate();
        throw;
    }
    Strings->EndUpdate();
}

// ---- writing ---------------------------------------------------------------

class TObjectWriter {
public:
    void WriteObject(TObject* Obj, TXmlNode E, Integer Depth)
    {
        if (Depth > MaxObjectDepth)
            throw EWriteError(u"Objects nested too deep for the XML form");
        FPath.push_back(Obj);
        try {
            for (const TPropInfo* P : GetPropList(Obj->ClassType()))
                WriteProp(Obj, P, E, Depth);
            WriteContent(Obj, E, Depth);
        } catch (...) { // leaves the path, then the failure passes on
            FPath.pop_back();
            throw;
        }
        FPath.pop_back();
    }

private:
    std::vector<TObject*> FPath; // objects being written, to stop at cycles

    static void AddProp(TXmlNode E, const String& Name, StringView Value)
    {
        TXmlNode P = E.AddChild(PropTag);
        P.SetAttribute(u"name", Name);
        P.SetText(Value);
    }

    static String ValueText(TObject* Obj, const TPropInfo* P)
    {
        const TTypeInfo* T = P->PropType;
        switch (T->Kind) {
        case tkInteger:
            // Unsigned values above the signed range keep their bit pattern.
            return IntToStr(Integer(Cardinal(UInt64(GetOrdProp(Obj, P)))));
        case tkEnumeration: {
            String Name = GetEnumName(T, GetOrdProp(Obj, P));
            if (Name.empty())
                throw EWriteError(u"Property " + P->Name + u" is out of its range");
            return Name;
        }
        case tkFloat:
            // The shortest text that reads back as the same value.
            return FloatToText(GetFloatProp(Obj, P));
        case tkUString: return GetStrProp(Obj, P);
        case tkSet: return SetToString(T, UInt64(GetOrdProp(Obj, P)));
        case tkVariant: return VarToStr(GetVariantProp(Obj, P));
        case tkInt64: {
            Int64 V = GetInt64Prop(Obj, P);
            return T->OrdType == otUQWord ? UIntToStr(UInt64(V)) : IntToStr(V);
        }
        default: return {};
        }
    }

    void WriteProp(TObject* Obj, const TPropInfo* P, TXmlNode E, Integer Depth)
    {
        TXmlNode Added;
        try {
            if (!IsStoredProp(Obj, P))
                return;
            switch (P->PropType->Kind) {
            case tkInteger:
            case tkEnumeration:
            case tkFloat:
            case tkUString:
            case tkSet:
            case tkVariant:
            case tkInt64:
                if (!IsDefaultPropValue(Obj, P))
                    AddProp(E, P->Name, ValueText(Obj, P));
                return;
            case tkClass:
            case tkInterface: {
                TObject* Value = ObjectOf(Obj, P);
                if (!Value || Value->Is<TStream>() || std::find(FPath.begin(), FPath.end(), Value) != FPath.end())
                    return;
                if (auto* Strings = DynamicCast<TStrings>(Value)) {
                    if (P->PropType->Kind == tkClass)
                        AddProp(E, P->Name, StringsText(Strings));
                    return;
                }
                Added = E.AddChild(ObjectTag);
                Added.SetAttribute(u"name", P->Name);
                WriteObject(Value, Added, Depth + 1);
                return;
            }
            default: return;
            }
        } catch (const std::exception&) {
            // A property that cannot be written is left out, and only it.
            if (Added)
                E.RemoveChild(Added);
        }
    }

    void WriteContent(TObject* Obj, TXmlNode E, Integer Depth)
    {
        if (auto* Collection = DynamicCast<TCollection>(Obj)) {
            for (Integer I = 0; I < Collection->Count(); ++I) {
                TCollectionItem* Item = Collection->Items(I);
                TXmlNode Child = E.AddChild(ItemTag);
                Child.SetAttribute(u"name", Item->DisplayName());
                WriteObject(Item, Child, Depth + 1);
            }
        } else if (auto* List = DynamicCast<TObjectList>(Obj)) {
            for (Integer I = 0; I < List->Count(); ++I) {
                TObject* Entry = List->Items(I);
                if (!Entry || std::find(FPath.begin(), FPath.end(), Entry) != FPath.end())
                    continue;
                TXmlNode Child = E.AddChild(ItemTag);
                Child.SetAttribute(u"type", Entry->ClassName());
                WriteObject(Entry, Child, Depth + 1);
            }
        } else if (auto* Persistent = DynamicCast<TPersistent>(Obj)) {
            TOwnedPtr<TXMLWriter> Writer(New<TXMLWriter>());
            Writer->Element = E;
            Persistent->DefineProperties(Writer.get());
        }
    }
};

// ---- reading ---------------------------------------------------------------

class TObjectReader {
public:
    void ReadObject(TObject* Obj, TXmlNode E)
    {
        for (TXmlNode Child = E.FirstChild(); Child; Child = Child.NextSibling())
            if (IsElement(Child, PropTag) || IsElement(Child, ObjectTag))
                ReadProp(Obj, Child);
        if (auto* Collection = DynamicCast<TCollection>(Obj))
            ReadCollection(Collection, E);
        else if (auto* List = DynamicCast<TObjectList>(Obj))
            ReadObjectList(List, E);
        else if (auto* Persistent = DynamicCast<TPersistent>(Obj)) {
            TOwnedPtr<TXMLReader> Reader(New<TXMLReader>());
            Reader->Element = E;
            Persistent->DefineProperties(Reader.get());
        }
    }

private:
    void ReadProp(TObject* Obj, TXmlNode Child)
    {
        try {
            String Name = Child.GetAttribute(u"name");
            const TPropInfo* P = GetPropInfo(Obj, Name);
            if (!P || P->Name != Name)
                return;
            if (IsElement(Child, ObjectTag)) {
                if (TObject* Target = ObjectOf(Obj, P))
                    ReadObject(Target, Child);
                return;
            }
            SetValue(Obj, P, Child.Text());
        } catch (const EXMLObjectDataError&) {
            throw;
        } catch (const ELoadBudgetError&) {
            throw; // the load as a whole is too large
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception&) {
            // A value that cannot be used is skipped, and only it.
        }
    }

    static void SetValue(TObject* Obj, const TPropInfo* P, const String& Text)
    {
        const TTypeInfo* T = P->PropType;
        switch (T->Kind) {
        case tkInteger: {
            Int64 V = 0;
            if (!ParseDecimal(Text, false, V))
                V = 0;
            // The writer keeps unsigned values above the signed range as
            // negative numbers: take them back as their bit pattern.
            if (T->OrdType == otULong && V < 0 && V >= INT32_MIN)
                V += Int64(1) << 32;
            SetOrdProp(Obj, P, V);
            return;
        }
        case tkEnumeration: {
            Int64 V = GetEnumValue(T, Trim(Text));
            if (V < 0)
                throw EReadError(u"Invalid value for " + P->Name);
            SetOrdProp(Obj, P, V);
            return;
        }
        case tkFloat: {
            double V = 0;
            if (!TryTextToFloat(Text, V))
                V = 0;
            SetFloatProp(Obj, P, V);
            return;
        }
        case tkUString: SetStrProp(Obj, P, Text); return;
        case tkSet: SetOrdProp(Obj, P, Int64(StringToSet(T, Text))); return;
        case tkVariant: SetVariantProp(Obj, P, TVariant(Text)); return;
        case tkInt64: {
            Int64 V = 0;
            if (!ParseDecimal(Text, T->OrdType == otUQWord, V))
                V = 0;
            SetInt64Prop(Obj, P, V);
            return;
        }
        case tkClass:
            if (auto* Strings = DynamicCast<TStrings>(GetObjectProp(Obj, P)))
                SetStringsText(Strings, Text);
            return;
        default: return;
        }
    }

    void ReadCollection(TCollection* Collection, TXmlNode E)
    {
        Collection->BeginUpdate();
        try {
            Collection->Clear();
            for (TXmlNode Child = E.FirstChild(); Child; Child = Child.NextSibling()) {
                if (!IsElement(Child, ItemTag))
                    continue;
                TCollectionItem* Item = Collection->Add();
                Item->SetDisplayName(Child.GetAttribute(u"name"));
                ReadObject(Item, Child);
            }
        } catch (...) { // ends the update, then the failure passes on
            Collection->EndUpdate();
            throw;
        }
        Collection->EndUpdate();
    }

    static TClass EntryBase(TObjectList* List)
    {
        if (auto* Typed = DynamicCast<TXTypedObjectList>(List); Typed && Typed->ItemClass)
            return Typed->ItemClass;
        return TPersistent::StaticClass();
    }

    void ReadObjectList(TObjectList* List, TXmlNode E)
    {
        TClass Base = EntryBase(List);
        for (TXmlNode Child = E.FirstChild(); Child; Child = Child.NextSibling()) {
            if (!IsElement(Child, ItemTag))
                continue;
            String Type = Child.GetAttribute(u"type");
            TClass Class = FindClassSafe(Type);
            if (!Class)
                continue;
            // The data chooses the class: only classes meant for this list.
            if (!Class->InheritsFrom(Base))
                throw EXMLObjectDataError(u"Class " + Type + u" is not a " + Base->Name);
            TObject* Entry = CreateInstanceOf(Class);
            if (!Entry)
                continue;
            List->Add(Entry);
            ReadObject(Entry, Child);
        }
    }
};

std::unique_ptr<TXmlDocument, TObjectFree> BuildDocument(TObject* Object, bool Indented)
{
    std::unique_ptr<TXmlDocument, TObjectFree> Doc(New<TXmlDocument>());
    Doc->SetIndented(Indented);
    TXmlNode Root = Doc->CreateRoot(ObjectsTag);
    TXmlNode O = Root.AddChild(ObjectTag);
    if (auto* Component = DynamicCast<TComponent>(Object))
        O.SetAttribute(u"name", Component->Name());
    WriteObjectToXML(Object, O);
    return Doc;
}

bool ReadDocument(TObject* Object, TXmlDocument* Doc)
{
    TXmlNode Root = Doc->DocumentElement();
    if (!Root || Root.NodeName() != ObjectsTag)
        return false;
    TXmlNode O = Root.FindChild(ObjectTag);
    return O && ReadObjectFromXML(Object, O);
}

}

// ---- filers ----------------------------------------------------------------

X_REGISTER_CLASS(TXMLReader)
X_REGISTER_CLASS(TXMLWriter)

void TXMLReader::DefineBinaryProperty(const String& Name, TStreamProc ReadData, TStreamProc, bool)
{
    if (!ReadData || !Element)
        return;
    for (TXmlNode Child = Element.FirstChild(); Child; Child = Child.NextSibling()) {
        if (Child.NodeType() != TXmlNodeType::Element || !SameText(Child.GetAttribute(u"name"), Name))
            continue;
        RawBytes Bytes;
        try {
            Bytes = HexLinesToBytes(Child.Text());
        } catch (const EReadError& E) {
            throw EXMLObjectDataError(u"Property " + Name + u": " + E.Message());
        }
        TOwnedPtr<TMemoryStream> Stream(New<TMemoryStream>());
        Stream->WriteBuffer(Bytes.data(), Int64(Bytes.size()));
        Stream->SetPosition(0);
        ReadData(Stream.get());
        return;
    }
}

void TXMLWriter::DefineBinaryProperty(const String& Name, TStreamProc, TStreamProc WriteData, bool HasData)
{
    if (!HasData || !WriteData || !Element)
        return;
    TOwnedPtr<TMemoryStream> Stream(New<TMemoryStream>());
    WriteData(Stream.get());
    TXmlNode P = Element.AddChild(PropTag);
    P.SetAttribute(u"name", Name);
    P.SetText(BytesToHexLines(std::string_view(static_cast<const char*>(Stream->Memory()), size_t(Stream->Size()))));
}

String BytesToHexLines(std::string_view Bytes)
{
    static const char16_t Hex[] = u"0123456789ABCDEF";
    String Out;
    Out.reserve(Bytes.size() * 2 + Bytes.size() / HexBytesPerLine * 2);
    for (size_t I = 0; I < Bytes.size(); ++I) {
        if (I > 0 && I % HexBytesPerLine == 0)
            Out += u"\r\n";
        auto B = static_cast<Byte>(Bytes[I]);
        Out += Hex[B >> 4];
        Out += Hex[B & 15];
    }
    return Out;
}

RawBytes HexLinesToBytes(StringView Text)
{
    // Checked here so that damaged data fails instead of decoding to
    // wrong bytes; the digits then go through the framework's decoder.
    RawBytes Digits;
    Digits.reserve(Text.size());
    for (Char C : Text) {
        if (C == u'\b' || C == u'\n' || C == u'\r' || C == u' ')
            continue;
        if (C >= u'0' && C <= u'9')
            Digits += char(C);
        else if (C >= u'A' && C <= u'F')
            Digits += char(C);
        else if (C >= u'a' && C <= u'f')
            Digits += char(C - u'a' + u'A');
        else
            throw EReadError(u"Invalid hexadecimal data");
    }
    if (Digits.size() % 2 != 0)
        throw EReadError(u"Hexadecimal data ends in half a byte");
    TOwnedPtr<TMemoryStream> Stream(New<TMemoryStream>());
    xStr::DecodeDigitsToStream({ std::move(Digits), CP_UTF8 }, Stream.get(), 16);
    return RawBytes(static_cast<const char*>(Stream->Memory()), size_t(Stream->Size()));
}

// ---- documents ---------------------------------------------------------------

void WriteObjectToXML(TObject* Object, TXmlNode Element)
{
    TObjectWriter().WriteObject(Object, Element, 2);
}

bool ReadObjectFromXML(TObject* Object, TXmlNode Element)
{
    try {
        TObjectReader().ReadObject(Object, Element);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void SaveObjectToXMLStream(TObject* Object, TStream* Stream, bool Indented)
{
    RawBytes Bytes = BuildDocument(Object, Indented)->SaveToBytes();
    Stream->WriteBuffer(Bytes.data(), Int64(Bytes.size()));
}

String ObjectToXMLText(TObject* Object, bool Indented)
{
    return UTF8ToString(BuildDocument(Object, Indented)->SaveToBytes());
}

bool LoadObjectFromXMLStream(TObject* Object, TStream* Stream)
{
    TXLoadBudget Budget;
    try {
        Int64 Size = Stream->Size();
        if (Size == 0)
            return true;
        if (Size < 0 || Size > xzMaxInflatedSize)
            return false;
        TXLoadBudget::Charge(Size);
        RawBytes Bytes(size_t(Size), '\0');
        Stream->SetPosition(0);
        Stream->ReadBuffer(Bytes.data(), Size);
        TXLoadBudget::Charge(XmlParseCost(Bytes));
        TOwnedPtr<TXmlDocument> Doc(New<TXmlDocument>());
        Doc->LoadFromBytes(Bytes);
        return ReadDocument(Object, Doc.get());
    } catch (const std::exception&) {
        return false;
    }
}

bool LoadObjectFromXMLText(TObject* Object, StringView Text)
{
    TXLoadBudget Budget;
    try {
        if (!Text.empty() && Text[0] == 0xFEFF)
            Text.remove_prefix(1);
        TXLoadBudget::Charge(XmlParseCost(Text));
        TOwnedPtr<TXmlDocument> Doc(New<TXmlDocument>());
        Doc->LoadFromText(Text);
        return ReadDocument(Object, Doc.get());
    } catch (const std::exception&) {
        return false;
    }
}

X_REGISTER_CLASS(TXCustomObjectFiler)
X_REGISTER_CLASS(xCompactXMLObjectFiler)
X_REGISTER_CLASS(xXMLObjectFiler)

bool xCompactXMLObjectFiler::ReadObject(TObject* Object, TStream* Stream)
{
    return LoadObjectFromXMLStream(Object, Stream);
}

bool xCompactXMLObjectFiler::WriteObject(TObject* Object, TStream* Stream)
{
    try {
        SaveObjectToXMLStream(Object, Stream, false);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool xXMLObjectFiler::WriteObject(TObject* Object, TStream* Stream)
{
    try {
        SaveObjectToXMLStream(Object, Stream, true);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// ---- hooks of the text layer -------------------------------------------------

namespace {
String HookComponentToXMLText(TComponent* Component)
{
    return ObjectToXMLText(Component, false);
}
bool HookXMLTextToComponent(StringView Text, TComponent* Component)
{
    return LoadObjectFromXMLText(Component, Text);
}
void HookComponentToXMLStream(TComponent* Component, TStream* Stream)
{
    SaveObjectToXMLStream(Component, Stream, false);
}
bool HookXMLStreamToComponent(TStream* Stream, TComponent* Component)
{
    return LoadObjectFromXMLStream(Component, Stream);
}

void InitXMLObjects()
{
    XMLObjectHooks.ComponentToXMLText = &HookComponentToXMLText;
    XMLObjectHooks.XMLTextToComponent = &HookXMLTextToComponent;
    XMLObjectHooks.ComponentToXMLStream = &HookComponentToXMLStream;
    XMLObjectHooks.XMLStreamToComponent = &HookXMLStreamToComponent;
}

void DoneXMLObjects()
{
    XMLObjectHooks = {};
}
}

X_UNIT(XCore_XMLObjects, "XCore.XMLObjects", {}, &InitXMLObjects, &DoneXMLObjects)
