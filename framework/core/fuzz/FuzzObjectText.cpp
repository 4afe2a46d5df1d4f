#include "rtl/testing/FuzzTarget.h"
#include "rtl/StringList.h"
#include "core/XCore.ComponentText.h"
#include "core/XCore.Streams.Containers.h"
#include "core/XCore.XMLObjects.h"

namespace {

enum TFuzzShade { fsLight, fsMiddle, fsDark };
X_ENUM_INFO(TFuzzShade, fsLight, fsMiddle, fsDark)

class TFuzzItem : public TCollectionItem {
    X_CLASS(TFuzzItem, TCollectionItem)
public:
    Integer Value() const { return FValue; }
    void SetValue(Integer V) { FValue = V; }

private:
    Integer FValue = 0;
};
X_REGISTER_CLASS(TFuzzItem)
X_PUBLISHED(TFuzzItem)
{
    X_PROP(Value, Value, SetValue).Default(0);
}

// A property of every kind the readers know, nested objects, the three
// list kinds, a stored blob ("Data" or compressed "CData") and a binary
// defined property.
class TFuzzSample : public TPersistent {
    X_CLASS(TFuzzSample, TPersistent)
public:
    void Create() override
    {
        inherited::Create();
        FLines = New<TStringList>();
        FItems = New<TCollection>(TFuzzItem::StaticClass());
        FEntries = New<TObjectList>();
        FObjects = New<TXObjectCollection>(static_cast<TPersistent*>(this));
        FBlob = New<TXStreamObject>();
    }
    ~TFuzzSample() override
    {
        // The collection's items do not own their objects; their holder does.
        TOwnedPtr<TObjectList> Held(New<TObjectList>());
        FObjects->ExtractObjects(Held.get());
        FreeAndNil(FBlob);
        FreeAndNil(FObjects);
        FreeAndNil(FEntries);
        FreeAndNil(FItems);
        FreeAndNil(FLines);
    }
    void Assign(TPersistent* Source) override
    {
        if (!DynamicCast<TFuzzSample>(Source))
            inherited::Assign(Source);
    }

    Integer Width() const { return FWidth; }
    void SetWidth(Integer V) { FWidth = V; }
    TFuzzShade Shade() const { return FShade; }
    void SetShade(TFuzzShade V) { FShade = V; }
    UInt64 Shades() const { return FShades; }
    void SetShades(UInt64 V) { FShades = V; }
    double Ratio() const { return FRatio; }
    void SetRatio(double V) { FRatio = V; }
    double When() const { return FWhen; }
    void SetWhen(double V) { FWhen = V; }
    const String& Title() const { return FTitle; }
    void SetTitle(const String& V) { FTitle = V; }
    Int64 Big() const { return FBig; }
    void SetBig(Int64 V) { FBig = V; }
    TVariant Note() const { return FNote; }
    void SetNote(const TVariant& V) { FNote = V; }
    TStrings* Lines() const { return FLines; }
    TCollection* Items() const { return FItems; }
    TObjectList* Entries() const { return FEntries; }
    TXObjectCollection* Objects() const { return FObjects; }
    TXStreamObject* Blob() const { return FBlob; }
    TEvent<void(TObject*)> OnChange;

    RawBytes Data;
    void DefineProperties(TFiler* Filer) override
    {
        inherited::DefineProperties(Filer);
        Filer->DefineBinaryProperty(
            u"Data",
            [this](TStream* S) {
                Data.resize(size_t(S->Size()));
                S->ReadBuffer(Data.data(), S->Size());
            },
            [this](TStream* S) { S->WriteBuffer(Data.data(), Int64(Data.size())); }, !Data.empty());
    }

private:
    Integer FWidth = 100;
    TFuzzShade FShade = fsLight;
    UInt64 FShades = 0;
    double FRatio = 0;
    double FWhen = 0;
    String FTitle;
    Int64 FBig = 0;
    TVariant FNote;
    TStringList* FLines = nullptr;
    TCollection* FItems = nullptr;
    TObjectList* FEntries = nullptr;
    TXObjectCollection* FObjects = nullptr;
    TXStreamObject* FBlob = nullptr;
};
X_REGISTER_CLASS(TFuzzSample)
X_PUBLISHED(TFuzzSample)
{
    X_PROP(Width, Width, SetWidth).Default(100);
    X_PROP(Shade, Shade, SetShade).Default(fsLight);
    X_PROP_SET(Shades, TFuzzShade, Shades, SetShades).Default(0);
    X_PROP(Ratio, Ratio, SetRatio);
    X_PROP_DATETIME(When, When, SetWhen);
    X_PROP(Title, Title, SetTitle);
    X_PROP(Big, Big, SetBig);
    X_PROP(Note, Note, SetNote);
    X_PROP_READONLY(Lines, Lines);
    X_PROP_READONLY(Items, Items);
    X_PROP_READONLY(Entries, Entries);
    X_PROP_READONLY(Objects, Objects);
    X_PROP_READONLY(Blob, Blob);
    X_EVENT(OnChange, OnChange);
}

TOwnedPtr<TFuzzSample> FullSample(bool Compressed)
{
    TOwnedPtr<TFuzzSample> S(New<TFuzzSample>());
    S->SetWidth(-7);
    S->SetShade(fsDark);
    S->SetShades((1 << fsLight) | (1 << fsDark));
    S->SetRatio(0.25);
    S->SetWhen(45292.75);
    S->SetTitle(u"Tab\there, quote ' \" <&> \u00e9\u4e2d and\r\nnext line");
    S->SetBig(-9000000000LL);
    S->SetNote(TVariant(String(u"note")));
    S->Lines()->Add(u"first");
    S->Lines()->Add(u"");
    static_cast<TFuzzItem*>(S->Items()->Add())->SetValue(2);
    S->Entries()->Add(New<TFuzzSample>());
    S->Objects()->Add()->SetObj(New<TFuzzSample>());
    TOwnedPtr<TBytesStream> Blob(New<TBytesStream>(std::vector<Byte>(40, Byte('b'))));
    S->Blob()->LoadFromStream(u".txt", Blob.get());
    S->Blob()->SetCompressed(Compressed);
    for (Integer I = 0; I < 40; ++I)
        S->Data += char(I * 37);
    return S;
}

// The readers answer false or raise what their callers expect for damaged data.
template<class F>
void Expected(F&& Read)
{
    try {
        Read();
    } catch (const Exception&) { }
}

} // namespace

// The stream is read as a stored object of any class, into a sample, and
// into a component; each reader takes the text form, XML and either one
// compressed.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    TOwnedPtr<TBytesStream> Stream(FuzzStream(Data, Size));
    if (TObject* Loaded = LoadObjectFromStream(Stream.get(), false))
        Loaded->Free();
    Stream->SetPosition(0);
    TOwnedPtr<TFuzzSample> Sample(New<TFuzzSample>());
    LoadAssignFromStream(Sample.get(), Stream.get(), false);
    Stream->SetPosition(0);
    TOwnedPtr<TXObjectComponent> Carrier(New<TXObjectComponent>(nullptr));
    Carrier->LoadWithClass(Stream.get(), TFuzzSample::StaticClass(), false);
    if (Carrier->Obj())
        Carrier->Obj()->Free();
    Stream->SetPosition(0);
    Expected([&] { LoadObjectFromXMLStream(Sample.get(), Stream.get()); });
    return 0;
}

void FuzzSeeds(TFuzzSeeds& Seeds)
{
    for (bool AsText : { true, false })
        for (bool Compressed : { false, true }) {
            TOwnedPtr<TFuzzSample> S(FullSample(Compressed));
            TOwnedPtr<TMemoryStream> Plain(MakeOwned<TMemoryStream>());
            SaveObjectToStream(S.get(), Plain.get(), AsText, false);
            const std::string Name = std::string(AsText ? "text" : "xml") + (Compressed ? "-cdata" : "");
            Seeds.Add(Name, Plain.get());
            TOwnedPtr<TMemoryStream> Packed(MakeOwned<TMemoryStream>());
            CopyCompressed(Plain.get(), Packed.get(), true);
            Seeds.Add(Name + ".z", Packed.get());
        }
}
