#include "core/XCore.ComponentText.h"
#include "rtl/StrUtils.h"
#include "core/XCore.Engine.Progress.h"
#include "core/XCore.Errors.h"
#include "core/XCore.Factory.h"
#include "core/XCore.Strings.h"

TXObjectXMLHooks XMLObjectHooks;

namespace {

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

// The whole stream from its beginning; it counts against the load's budget
// like inflated data.
RawBytes ReadWholeStream(TStream* Stream)
{
    Int64 Size = Stream->Size();
    if (Size < 0 || Size > xzMaxInflatedSize)
        throw EReadError(u"The stream is too large for an object text");
    TXLoadBudget::Charge(Size);
    Stream->SetPosition(0);
    RawBytes Data(size_t(Size), '\0');
    if (Size > 0)
        Stream->ReadBuffer(Data.data(), Size);
    return Data;
}

// UTF-8, a byte-order mark dropped. A broken sequence becomes U+FFFD
// alone: the rest of the text keeps its characters, where reading the
// whole text in another code page would change every one of them and the
// next save would keep the change.
String BytesToText(std::string_view Bytes)
{
    if (Bytes.starts_with(Utf8Bom))
        Bytes.remove_prefix(Utf8Bom.size());
    return UTF8ToString(Bytes);
}

// What a stored object starts with, past a byte-order mark and blanks.
enum TObjectForm { ofText, ofXML, ofOther, ofEmpty };

template<class C>
TObjectForm FormOf(std::basic_string_view<C> S)
{
    size_t I = 0;
    if constexpr (sizeof(C) == 1) {
        if (S.starts_with(Utf8Bom))
            I = Utf8Bom.size();
    } else if (!S.empty() && S[0] == 0xFEFF)
        I = 1;
    while (I < S.size() && (S[I] == ' ' || S[I] == '\t' || S[I] == '\r' || S[I] == '\n'))
        ++I;
    if (I == S.size())
        return ofEmpty;
    // No zlib stream starts with these: its first byte is 0x?8.
    switch (S[I]) {
    case 'o':
    case 'O':
    case 'i':
    case 'I': return ofText;
    case '<': return ofXML;
    default: return ofOther;
    }
}

void Finish(TXProgress* Progress)
{
    if (Progress)
        Progress->Finish();
}

// The class name a stored TXObjectComponent gives, found by plain search
// before anything is parsed.
String FindObjClassName(StringView Text)
{
    if (FormOf(Text) == ofText) {
        size_t From = 0;
        for (;;) {
            size_t At = Text.find(u"ObjClassName", From);
            if (At == StringView::npos)
                return {};
            size_t I = At + 12;
            while (I < Text.size() && (Text[I] == u' ' || Text[I] == u'\t'))
                ++I;
            if (I < Text.size() && Text[I] == u'=') {
                size_t End = Text.find_first_of(u"\r\n", I + 1);
                StringView Value = Text.substr(I + 1, End == StringView::npos ? StringView::npos : End - I - 1);
                return xStr::Dequoted(Trim(Value), u'\'');
            }
            From = At + 1;
        }
    }
    constexpr StringView Opener = u"<p name=\"ObjClassName\">";
    size_t At = Text.find(Opener);
    if (At == StringView::npos)
        return {};
    size_t Start = At + Opener.size();
    size_t End = Text.find(u"</p>", Start);
    if (End == StringView::npos)
        return {};
    return Trim(Text.substr(Start, End - Start));
}

TClass ClassForData(const String& Name)
{
    if (Name.empty())
        throw EClassNotFound(u"The data names no class");
    return FindClass(Name);
}

}

// ---- the text layer ---------------------------------------------------------

String ComponentToText(TComponent* Component)
{
    return WriteComponentToText(Component);
}

void TextToComponent(StringView Text, TComponent* Root)
{
    TXLoadBudget Budget;
    TComponentReadOptions Options;
    Options.IgnoreErrors = true;
    // Data read here never binds code: event names stay unassigned.
    Options.BindEvents = false;
    // The parsed tree counts against the load like inflated data: a short
    // text of many small values would otherwise grow a tree a hundred
    // times its size.
    Options.MaxTreeBytes = TXLoadBudget::Remaining();
    ReadComponentFromText(Text, Root, Options);
}

void LoadComponentFromText(StringView Text, TComponent* Root)
{
    TXLoadBudget Budget;
    if (FormOf(Text) == ofText) {
        TextToComponent(Text, Root);
        return;
    }
    if (!XMLObjectHooks.XMLTextToComponent)
        throw EReadError(u"The XML form cannot be read: no reader installed");
    if (!XMLObjectHooks.XMLTextToComponent(Text, Root))
        throw EReadError(u"The text is neither the text form nor the XML form of an object");
}

TComponent* LoadComponentFromStream(TStream* Stream, TComponent* Root)
{
    TXLoadBudget Budget;
    if (Stream->Size() == 0)
        return Root;
    RawBytes Data = ReadWholeStream(Stream);
    if (FormOf(std::string_view(Data)) == ofText) {
        TextToComponent(BytesToText(Data), Root);
        return Root;
    }
    if (!XMLObjectHooks.XMLStreamToComponent)
        throw EReadError(u"The XML form cannot be read: no reader installed");
    Stream->SetPosition(0);
    if (!XMLObjectHooks.XMLStreamToComponent(Stream, Root))
        throw EReadError(u"The stream is neither the text form nor the XML form of an object");
    return Root;
}

String ReadStreamText(TStream* Stream)
{
    TXLoadBudget Budget;
    RawBytes Data = ReadWholeStream(Stream);
    TObjectForm Form = FormOf(std::string_view(Data));
    if (Form == ofText || Form == ofXML)
        return BytesToText(Data);
    TOwnedPtr<TMemoryStream> Source(New<TMemoryStream>());
    Source->WriteBuffer(Data.data(), Int64(Data.size()));
    Source->SetPosition(0);
    TOwnedPtr<TMemoryStream> Plain(New<TMemoryStream>());
    TOwnedPtr<TXZDecompressionStream> Inflater(New<TXZDecompressionStream>(Source.get()));
    Inflater->DecompressToStream(Plain.get(), nullptr, Source->Size(), xzMaxInflatedSize);
    if (!Inflater->Finished())
        throw EZDecompressionError(u"The compressed object text ends early");
    return BytesToText(std::string_view(static_cast<const char*>(Plain->Memory()), size_t(Plain->Size())));
}

bool CopyCompressed(TStream* Source, TStream* Dest, bool Compressed)
{
    return XGuarded(xecWriteFailed, false, [&] {
        if (!Compressed) {
            Source->SetPosition(0);
            Dest->CopyFrom(Source, 0);
            return;
        }
        TOwnedPtr<TXZCompressionStream> Deflater(New<TXZCompressionStream>(Dest, xzlDefault));
        Deflater->CompressStream(Source, 0, nullptr);
        Deflater->Finish();
    });
}

// ---- TXObjectComponent ------------------------------------------------------

X_REGISTER_CLASS(TXObjectComponent)

X_PUBLISHED(TXObjectComponent)
{
    // The class first: readers find it before the object is made.
    X_PROP(ObjClassName, ObjClassName, SetObjClassName);
    X_PROP(Obj, Obj, SetObj);
}

void TXObjectComponent::SetObjClassName(const String& Value)
{
    if (Loading || Value == FObjClassName)
        return;
    TClass Class = Value.empty() ? nullptr : FindClass(Value);
    FObj = nullptr;
    FObjClass = Class;
    FObjClassName = Value;
}

void TXObjectComponent::SetObjClass(TClass Value)
{
    if (Loading)
        return;
    FObj = nullptr;
    FObjClass = Value;
    FObjClassName = Value ? Value->Name : String();
}

void TXObjectComponent::SetObj(TObject* Value)
{
    FObj = Value;
    FObjClass = Value ? Value->ClassType() : nullptr;
    FObjClassName = Value ? Value->ClassName() : String();
}

bool TXObjectComponent::CreateObj(TClass Class)
{
    if (ItemMode)
        return true;
    TClass Expected = ExpectedClass ? ExpectedClass : TPersistent::StaticClass();
    if (!Class || !Class->InheritsFrom(TPersistent::StaticClass()) || !Class->InheritsFrom(Expected))
        return false;
    TObject* Made = CreateInstanceOf(Class);
    if (!Made)
        return false;
    SetObj(Made);
    return true;
}

String TXObjectComponent::ToText(bool AsText)
{
    String Result;
    bool Ok = XGuarded(xecWriteFailed, false, [&] {
        if (AsText)
            Result = ComponentToText(this);
        else if (!XMLObjectHooks.ComponentToXMLText)
            throw EWriteError(u"The XML form cannot be written: no writer installed");
        else
            Result = XMLObjectHooks.ComponentToXMLText(this);
    });
    return Ok ? Result : String();
}

bool TXObjectComponent::ToStream(TStream* Stream, bool AsText)
{
    return XGuarded(xecWriteFailed, false, [&] {
        if (AsText) {
            UTF8String Text = StringToUTF8(ComponentToText(this));
            Stream->WriteBuffer(Text.data(), Int64(Text.size()));
        } else if (!XMLObjectHooks.ComponentToXMLStream)
            throw EWriteError(u"The XML form cannot be written: no writer installed");
        else
            XMLObjectHooks.ComponentToXMLStream(this, Stream);
    });
}

bool TXObjectComponent::SaveToStream(TStream* Stream, bool AsText, bool Raise)
{
    bool Ok = XGuarded(xecWriteFailed, false, [&] {
        Stream->SetSize(0);
        Stream->SetPosition(0);
    });
    Ok = Ok && ToStream(Stream, AsText);
    if (!Ok && Raise)
        RaiseXError();
    return Ok;
}

bool TXObjectComponent::LoadFromText(StringView Text, bool Raise)
{
    TXLoadBudget Budget;
    TObject* Made = nullptr;
    bool WasLoading = Loading;
    bool Ok = XGuarded(xecReadFailed, false, [&] {
        if (!ItemMode) {
            TClass Class = ClassForData(FindObjClassName(Text));
            if (!CreateObj(Class)) {
                FObj = nullptr;
                throw EReadError(u"An object of class " + Class->Name + u" cannot be loaded here");
            }
            Made = FObj;
        }
        // The stored ObjClassName line must not re-type the object made above.
        Loading = true;
        LoadComponentFromText(Text, this);
    });
    Loading = WasLoading;
    if (!Ok && Made) {
        if (FObj == Made)
            SetObj(nullptr);
        Made->Free();
    }
    if (!Ok && Raise)
        RaiseXError();
    return Ok;
}

bool TXObjectComponent::LoadFromStream(TStream* Stream, bool Raise)
{
    // Reading the text and the objects it holds are one load.
    TXLoadBudget Budget;
    ClearXError();
    String Text;
    if (!XGuarded(xecReadFailed, Raise, [&] { Text = ReadStreamText(Stream); }))
        return false;
    return LoadFromText(Text, Raise);
}

bool TXObjectComponent::LoadWithClass(TStream* Stream, TClass Class, bool Raise)
{
    TXLoadBudget Budget;
    TObject* Made = nullptr;
    bool WasLoading = Loading;
    Loading = true;
    bool Ok = XGuarded(xecReadFailed, false, [&] {
        if (!ItemMode) {
            if (!CreateObj(Class)) {
                FObj = nullptr;
                throw EReadError(u"An object of class " + (Class ? Class->Name : String(u"nil")) + u" cannot be made");
            }
            Made = FObj;
        }
        LoadComponentFromStream(Stream, this);
    });
    Loading = WasLoading;
    if (!Ok && Made) {
        if (FObj == Made)
            SetObj(nullptr);
        Made->Free();
    }
    if (!Ok && Raise)
        RaiseXError();
    return Ok;
}

// ---- routines through a carrier -------------------------------------------

bool LoadCollectionItem(TCollection* Collection, TStream* Stream, bool Raise)
{
    ClearXError();
    TCollectionItem* Item = nullptr;
    bool Ok = false;
    if (XGuarded(xecReadFailed, false, [&] { Item = Collection->Add(); })) {
        TOwnedPtr<TXObjectComponent> Carrier(New<TXObjectComponent>(nullptr));
        Carrier->ItemMode = true;
        Carrier->SetObj(Item);
        Ok = Carrier->LoadWithClass(Stream, Collection->ItemClass(), false);
        if (!Ok)
            Item->Free();
    }
    if (!Ok && Raise)
        RaiseXError();
    return Ok;
}

namespace {
// Loads through a carrier; the object made, or null.
TObject* LoadCarried(TClass Expected, const std::function<bool(TXObjectComponent*)>& Load)
{
    TOwnedPtr<TXObjectComponent> Carrier(New<TXObjectComponent>(nullptr));
    Carrier->ExpectedClass = Expected;
    return Load(Carrier.get()) ? Carrier->Obj() : nullptr;
}

bool AssignLoaded(TPersistent* Target, TObject* Loaded)
{
    TOwnedPtr<TObject> Holder(Loaded);
    auto* Source = DynamicCast<TPersistent>(Loaded);
    if (!Source)
        return false;
    return XGuarded(xecReadFailed, false, [&] { Target->Assign(Source); });
}
}

TObject* LoadObjectFromStream(TStream* Stream, bool Raise)
{
    TObject* Result = LoadCarried(nullptr, [&](TXObjectComponent* C) { return C->LoadFromStream(Stream, false); });
    if (!Result && Raise)
        RaiseXError();
    return Result;
}

bool LoadAssignFromStream(TPersistent* Target, TStream* Stream, bool Raise)
{
    ClearXError();
    bool Ok = false;
    if (!Target)
        SetXErrorOnce(xecReadFailed, 0, u"No object to load into", false);
    else
        Ok = AssignLoaded(Target,
            LoadCarried(Target->ClassType(), [&](TXObjectComponent* C) { return C->LoadFromStream(Stream, false); }));
    if (!Ok)
        SetXErrorOnce(xecReadFailed, 0, {}, false);
    if (!Ok && Raise)
        RaiseXError();
    return Ok;
}

bool SaveObjectToStream(TObject* Object, TStream* Stream, bool AsText, bool Raise)
{
    ClearXError();
    TOwnedPtr<TXObjectComponent> Carrier(New<TXObjectComponent>(nullptr));
    Carrier->SetObj(Object);
    bool Ok = Carrier->SaveToStream(Stream, AsText, false);
    Carrier->SetObj(nullptr);
    if (!Ok && Raise)
        RaiseXError();
    return Ok;
}

bool LoadObjectFromText(TPersistent* Target, StringView Text, TXProgress* Progress, bool Raise)
{
    ClearXError();
    bool Ok = false;
    if (!Target)
        SetXErrorOnce(xecReadFailed, 0, u"No object to load into", false);
    else
        Ok = AssignLoaded(Target,
            LoadCarried(Target->ClassType(), [&](TXObjectComponent* C) { return C->LoadFromText(Text, false); }));
    if (!Ok)
        SetXErrorOnce(xecReadFailed, 0, {}, false);
    Finish(Progress);
    if (!Ok && Raise)
        RaiseXError();
    return Ok;
}

bool SaveObjectToText(TObject* Object, String& Text, bool AsText, bool Raise, TXProgress* Progress)
{
    ClearXError();
    TOwnedPtr<TXObjectComponent> Carrier(New<TXObjectComponent>(nullptr));
    Carrier->SetObj(Object);
    String Result = Carrier->ToText(AsText);
    Carrier->SetObj(nullptr);
    bool Ok = GetXErrorCode() == xecNone;
    if (Ok)
        Text = std::move(Result);
    Finish(Progress);
    if (!Ok && Raise)
        RaiseXError();
    return Ok;
}

// ---- TXObjectItem and TXObjectCollection ----------------------------------

X_REGISTER_CLASS(TXObjectItem)

X_PUBLISHED(TXObjectItem)
{
    X_PROP(ObjClassName, ObjClassName, SetObjClassName);
    X_PROP(Obj, Obj, SetObj);
}

void TXObjectItem::DropObj()
{
    FObj = nullptr;
    FOwnedObj.reset();
}

void TXObjectItem::SetObjClassName(const String& Value)
{
    if (Value == FObjClassName)
        return;
    TClass Class = Value.empty() ? nullptr : FindClass(Value);
    DropObj();
    FObjClassName = Value;
    if (Class && !CreateObj(Class))
        throw EReadError(u"An object of class " + Class->Name + u" cannot be kept in an object item");
}

void TXObjectItem::SetObj(TPersistent* Value)
{
    if (Value != FObj)
        DropObj();
    FObj = Value;
    FObjClassName = Value ? Value->ClassName() : String();
}

TPersistent* TXObjectItem::ReleaseObj()
{
    TPersistent* Obj = FObj;
    FObj = nullptr;
    (void)FOwnedObj.release(); // the caller's from now on
    FObjClassName.clear();
    return Obj;
}

bool TXObjectItem::CreateObj(TClass Class)
{
    if (!Class || !Class->InheritsFrom(TPersistent::StaticClass()))
        return false;
    auto* Made = static_cast<TPersistent*>(CreateInstanceOf(Class));
    if (!Made)
        return false;
    DropObj();
    FOwnedObj.reset(Made);
    FObj = Made;
    return true;
}

X_REGISTER_CLASS(TXObjectCollection)

void TXObjectCollection::MoveObjectsTo(TObjectList* List)
{
    for (Integer I = 0; I < Count(); ++I)
        if (TPersistent* Obj = Items(I)->Obj()) {
            List->Add(Obj);
            Items(I)->ReleaseObj();
        }
    Clear();
}

void TXObjectCollection::ExtractObjects(TObjectList* List)
{
    List->Clear();
    MoveObjectsTo(List);
}
