#include "rtl/testing/FuzzTarget.h"
#include "rtl/StringList.h"
#include "core/XClasses.h"
#include "core/XCore.Filers.h"
#include "core/XCore.Strings.Containers.h"
#include "core/XCore.XMLObjects.Filer.h"

namespace {

class TFuzzNote : public TXNamedPersistent {
    X_CLASS(TFuzzNote, TXNamedPersistent)
public:
    String Text;
};
X_REGISTER_CLASS(TFuzzNote)

// What the tag filer stores: a title, a collection of texts and a list of notes.
class TFuzzNotes : public TPersistent {
    X_CLASS(TFuzzNotes, TPersistent)
public:
    void Create() override
    {
        inherited::Create();
        Texts = New<TXStringCollection<>>(static_cast<TPersistent*>(this));
        Notes = New<TXTypedObjectList>();
        Notes->ItemClass = TFuzzNote::StaticClass();
    }
    ~TFuzzNotes() override
    {
        FreeAndNil(Texts);
        FreeAndNil(Notes);
    }
    String Title;
    TXStringCollection<>* Texts = nullptr;
    TXTypedObjectList* Notes = nullptr;
};
X_REGISTER_CLASS(TFuzzNotes)

UTF8String Between(const UTF8String& Text, const UTF8String& Tag)
{
    const size_t From = Text.find("<" + Tag + ">");
    const size_t To = Text.find("</" + Tag + ">");
    if (From == UTF8String::npos || To == UTF8String::npos || To < From + Tag.size() + 2)
        return {};
    return Text.substr(From + Tag.size() + 2, To - From - Tag.size() - 2);
}

class TFuzzNotesGroup : public TXTagFilerGroup {
    X_CLASS(TFuzzNotesGroup, TXTagFilerGroup)
public:
    void Create() override
    {
        inherited::Create();
        ObjectTag = "head";
        ItemTag = "item";
    }
    TFuzzNotes* Owner() const { return static_cast<TFuzzNotes*>(Filer->Data()); }
    void ObjectToText(Integer Flag, UTF8String& Text) override { Text = StringToUTF8(Owner()->Title); }
    bool ReadObjectText(const UTF8String& Text, TXProgress* Progress) override
    {
        Owner()->Title = UTF8ToString(Text);
        return true;
    }
    void ItemToText(TObject* Item, Integer Flag, UTF8String& Text) override
    {
        if (auto* S = DynamicCast<TXStringItem>(Item))
            Text = "<text>" + StringToUTF8(S->s()) + "</text>";
        else if (auto* N = DynamicCast<TFuzzNote>(Item))
            Text = "<text>" + StringToUTF8(N->Text) + "</text>";
    }
    TObject* ReadItemText(TObject* Item, const UTF8String& Text, TXProgress* Progress) override
    {
        if (auto* S = DynamicCast<TXStringItem>(Item))
            S->SetS(UTF8ToString(Between(Text, "text")));
        else if (auto* N = DynamicCast<TFuzzNote>(Item))
            N->Text = UTF8ToString(Between(Text, "text"));
        else
            return nullptr;
        return Item;
    }
};
X_REGISTER_CLASS(TFuzzNotesGroup)

class TFuzzNotesFiler : public TXTagFiler {
    X_CLASS(TFuzzNotesFiler, TXTagFiler)
public:
    void DefineGroups(TObject* AData, Integer AMode, const TXFilerParts& AParts) override
    {
        inherited::DefineGroups(AData, AMode, AParts);
        RootTag = "notes";
        auto* D = As<TFuzzNotes>(AData);
        Groups()->AddNamedGroup(this, TFuzzNotesGroup::StaticClass(), D->Texts, D, u"Texts");
        Groups()->AddNamedGroup(this, TFuzzNotesGroup::StaticClass(), D->Notes, nullptr, u"Notes");
    }
};
X_REGISTER_CLASS(TFuzzNotesFiler)

// What the XML filer stores.
class TFuzzRecord : public TPersistent {
    X_CLASS(TFuzzRecord, TPersistent)
public:
    void Create() override
    {
        inherited::Create();
        FLines = New<TStringList>();
    }
    ~TFuzzRecord() override { FreeAndNil(FLines); }
    const String& Name() const { return FName; }
    void SetName(const String& V) { FName = V; }
    Integer Count() const { return FCount; }
    void SetCount(Integer V) { FCount = V; }
    TStrings* Lines() const { return FLines; }

private:
    String FName;
    Integer FCount = 0;
    TStringList* FLines = nullptr;
};
X_REGISTER_CLASS(TFuzzRecord)
X_PUBLISHED(TFuzzRecord)
{
    X_PROP(Name, Name, SetName);
    X_PROP(Count, Count, SetCount).Default(0);
    X_PROP_READONLY(Lines, Lines);
}

enum TFuzzFilerKind : Byte { fkStrings, fkTags, fkXml, fkCount };

TOwnedPtr<TObject> DataFor(TFuzzFilerKind Kind)
{
    if (Kind == fkStrings)
        return TOwnedPtr<TObject>(New<TStringList>());
    if (Kind == fkTags)
        return TOwnedPtr<TObject>(New<TFuzzNotes>());
    return TOwnedPtr<TObject>(New<TFuzzRecord>());
}

TClass FilerFor(TFuzzFilerKind Kind)
{
    if (Kind == fkStrings)
        return TXStringsFiler::StaticClass();
    if (Kind == fkTags)
        return TFuzzNotesFiler::StaticClass();
    return TXMLFiler::StaticClass();
}

} // namespace

// The first byte picks the filer (and its read mode); the rest is the stored form.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    if (Size == 0)
        return 0;
    const auto Kind = TFuzzFilerKind(Data[0] % fkCount);
    TOwnedPtr<TObject> Target(DataFor(Kind));
    TOwnedPtr<TBytesStream> Stream(FuzzStream(Data + 1, Size - 1));
    FilerLoadFromStream(Stream.get(), FilerFor(Kind), Target.get(), false, nullptr, {}, (Data[0] / fkCount) % 3);
    return 0;
}

void FuzzSeeds(TFuzzSeeds& Seeds)
{
    for (Byte Kind = 0; Kind < fkCount; ++Kind) {
        TOwnedPtr<TObject> Source(DataFor(TFuzzFilerKind(Kind)));
        if (auto* Lines = DynamicCast<TStringList>(Source.get())) {
            Lines->Add(u"first line");
            Lines->Add(u"Grüße");
        } else if (auto* Notes = DynamicCast<TFuzzNotes>(Source.get())) {
            Notes->Title = u"Week 12";
            Notes->Texts->SetText(1031, u"Grüße aus Köln");
            Notes->Texts->SetText(9, u"plain");
            auto* N = New<TFuzzNote>();
            N->SetName(u"first");
            N->Text = u"buy milk";
            Notes->Notes->Add(N);
        } else if (auto* Record = DynamicCast<TFuzzRecord>(Source.get())) {
            Record->SetName(u"record <1>");
            Record->SetCount(3);
            Record->Lines()->Add(u"a line");
        }
        TOwnedPtr<TMemoryStream> Out(MakeOwned<TMemoryStream>());
        FilerSaveToStream(Out.get(), FilerFor(TFuzzFilerKind(Kind)), Source.get(), false, nullptr);
        TOwnedPtr<TMemoryStream> Seed(MakeOwned<TMemoryStream>());
        Seed->WriteBuffer(&Kind, 1);
        Seed->CopyFrom(Out.get(), 0);
        Seeds.Add("filer" + std::to_string(Kind), Seed.get());
    }
}
