#include "rtl/StrUtils.h"
#include "rtl/StringList.h"
#include "core/XCore.ComponentText.h"
#include "core/XCore.Engine.Progress.h"
#include "core/XCore.Errors.h"
#include "core/XCore.XMLObjects.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <cmath>
#include <functional>

namespace {

enum TPsShade { psLight, psMiddle, psDark };
X_ENUM_INFO(TPsShade, psLight, psMiddle, psDark)

class TPsChild : public TPersistent {
    X_CLASS(TPsChild, TPersistent)
public:
    const String& Label() const { return FLabel; }
    void SetLabel(const String& V) { FLabel = V; }
    Integer Level() const { return FLevel; }
    void SetLevel(Integer V) { FLevel = V; }
    void Assign(TPersistent* Source) override
    {
        auto* From = DynamicCast<TPsChild>(Source);
        if (!From)
            return inherited::Assign(Source);
        FLabel = From->FLabel;
        FLevel = From->FLevel;
    }

private:
    String FLabel;
    Integer FLevel = 0;
};
X_REGISTER_CLASS(TPsChild)
X_PUBLISHED(TPsChild)
{
    X_PROP(Label, Label, SetLabel);
    X_PROP(Level, Level, SetLevel).Default(0);
}

// A second entry class for object lists of mixed classes.
class TPsOtherChild : public TPsChild {
    X_CLASS(TPsOtherChild, TPsChild)
public:
    double Weight() const { return FWeight; }
    void SetWeight(double V) { FWeight = V; }

private:
    double FWeight = 0;
};
X_REGISTER_CLASS(TPsOtherChild)
X_PUBLISHED(TPsOtherChild)
{
    X_PROP(Weight, Weight, SetWeight);
}

class TPsItem : public TCollectionItem {
    X_CLASS(TPsItem, TCollectionItem)
public:
    String GetDisplayName() override { return FName; }
    void SetDisplayName(const String& V) override { FName = V; }
    Integer Value() const { return FValue; }
    void SetValue(Integer V) { FValue = V; }

private:
    String FName;
    Integer FValue = 0;
};
X_REGISTER_CLASS(TPsItem)
X_PUBLISHED(TPsItem)
{
    X_PROP(Value, Value, SetValue).Default(0);
}

// A persistent object with a property of every kind, a nested object, a
// string list, a collection, an object list, an event and a binary
// defined property.
class TPsSample : public TPersistent {
    X_CLASS(TPsSample, TPersistent)
public:
    void Create() override
    {
        inherited::Create();
        FChild = MakeOwned<TPsChild>();
        FLines = MakeOwned<TStringList>();
        FItems = MakeOwned<TCollection>(TPsItem::StaticClass());
        FEntries = MakeOwned<TObjectList>();
    }

    Integer Width() const { return FWidth; }
    void SetWidth(Integer V) { FWidth = V; }
    Cardinal Mask() const { return FMask; }
    void SetMask(Cardinal V) { FMask = V; }
    Byte Small() const { return FSmall; }
    void SetSmall(Byte V) { FSmall = V; }
    TPsShade Shade() const { return FShade; }
    void SetShade(TPsShade V) { FShade = V; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool V) { FEnabled = V; }
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
    UInt64 Huge() const { return FHuge; }
    void SetHuge(UInt64 V) { FHuge = V; }
    TVariant Note() const { return FNote; }
    void SetNote(const TVariant& V) { FNote = V; }
    TPsChild* Child() const { return FChild.get(); }
    TStrings* Lines() const { return FLines.get(); }
    TCollection* Items() const { return FItems.get(); }
    TObjectList* Entries() const { return FEntries.get(); }
    TEvent<void(TObject*)> OnChange;
    void Touch(TObject*) { }

    RawBytes Data;
    bool DataRead = false;
    void DefineProperties(TFiler* Filer) override
    {
        inherited::DefineProperties(Filer);
        Filer->DefineBinaryProperty(
            u"Data",
            [this](TStream* S) {
                DataRead = true;
                Data.resize(size_t(S->Size()));
                S->ReadBuffer(Data.data(), S->Size());
            },
            [this](TStream* S) { S->WriteBuffer(Data.data(), Int64(Data.size())); }, !Data.empty());
    }

private:
    Integer FWidth = 100;
    Cardinal FMask = 0;
    Byte FSmall = 0;
    TPsShade FShade = psLight;
    bool FEnabled = true;
    UInt64 FShades = 0;
    double FRatio = 0;
    double FWhen = 0;
    String FTitle;
    Int64 FBig = 0;
    UInt64 FHuge = 0;
    TVariant FNote;
    TOwnedPtr<TPsChild> FChild;
    TOwnedPtr<TStringList> FLines;
    TOwnedPtr<TCollection> FItems;
    TOwnedPtr<TObjectList> FEntries;
};
X_REGISTER_CLASS(TPsSample)
X_PUBLISHED(TPsSample)
{
    X_PROP(Width, Width, SetWidth).Default(100);
    X_PROP(Mask, Mask, SetMask).Default(0);
    X_PROP(Small, Small, SetSmall);
    X_PROP(Shade, Shade, SetShade).Default(psLight);
    X_PROP(Enabled, Enabled, SetEnabled).Default(true);
    X_PROP_SET(Shades, TPsShade, Shades, SetShades).Default(0);
    X_PROP(Ratio, Ratio, SetRatio);
    X_PROP_DATETIME(When, When, SetWhen);
    X_PROP(Title, Title, SetTitle);
    X_PROP(Big, Big, SetBig);
    X_PROP(Huge, Huge, SetHuge);
    X_PROP(Note, Note, SetNote);
    X_PROP_READONLY(Child, Child);
    X_PROP_READONLY(Lines, Lines);
    X_PROP_READONLY(Items, Items);
    X_PROP_READONLY(Entries, Entries);
    X_EVENT(OnChange, OnChange);
    X_METHOD(Touch);
}

// A persistent object counted while it lives.
class TPsCounted : public TPersistent {
    X_CLASS(TPsCounted, TPersistent)
public:
    static inline int Live = 0;
    void Create() override
    {
        inherited::Create();
        ++Live;
    }
    ~TPsCounted() override { --Live; }
};
X_REGISTER_CLASS(TPsCounted)

class TPsCountedToo : public TPsCounted {
    X_CLASS(TPsCountedToo, TPsCounted)
};
X_REGISTER_CLASS(TPsCountedToo)

// Holds mixed objects in an object collection.
class TPsBox : public TPersistent {
    X_CLASS(TPsBox, TPersistent)
public:
    void Create() override
    {
        inherited::Create();
        FObjects = MakeOwned<TXObjectCollection>(static_cast<TPersistent*>(this));
    }
    TXObjectCollection* Objects() const { return FObjects.get(); }

private:
    TOwnedPtr<TXObjectCollection> FObjects;
};
X_REGISTER_CLASS(TPsBox)
X_PUBLISHED(TPsBox)
{
    X_PROP_READONLY(Objects, Objects);
}

class TPsPanel : public TComponent {
    X_CLASS(TPsPanel, TComponent)
public:
    const String& Caption() const { return FCaption; }
    void SetCaption(const String& V) { FCaption = V; }

private:
    String FCaption;
};
X_REGISTER_CLASS(TPsPanel)
X_PUBLISHED(TPsPanel)
{
    X_PROP(Caption, Caption, SetCaption);
}

TOwnedPtr<TPsSample> FullSample(bool WithEntries)
{
    TOwnedPtr<TPsSample> S(New<TPsSample>());
    S->SetWidth(-7);
    S->SetMask(0xFFFFFFF0u);
    S->SetSmall(200);
    S->SetShade(psDark);
    S->SetEnabled(false);
    S->SetShades((1 << psLight) | (1 << psDark));
    S->SetRatio(0.1 + 0.2);
    S->SetWhen(45292.75);
    S->SetTitle(u"Tab\there, quote ' \" <&> \u00e9\u4e2d and\r\nnext line");
    S->SetBig(-9000000000LL);
    S->SetHuge(0xFFFFFFFFFFFFFFF0ULL);
    S->SetNote(TVariant(String(u"note")));
    S->Child()->SetLabel(u"inner");
    S->Child()->SetLevel(3);
    S->Lines()->Add(u"first");
    S->Lines()->Add(u"");
    S->Lines()->Add(u"third");
    auto* A = static_cast<TPsItem*>(S->Items()->Add());
    A->SetDisplayName(u"a");
    A->SetValue(1);
    static_cast<TPsItem*>(S->Items()->Add())->SetValue(2);
    if (WithEntries) {
        auto* E1 = New<TPsChild>();
        E1->SetLabel(u"e1");
        S->Entries()->Add(E1);
        auto* E2 = New<TPsOtherChild>();
        E2->SetWeight(2.5);
        S->Entries()->Add(E2);
    }
    for (Integer I = 0; I < 70; ++I)
        S->Data += char(I * 37);
    return S;
}

// The text form stores no display names of items that do not publish them.
void ExpectSame(TPsSample* A, TPsSample* B, bool WithEntries, bool ItemNames = true)
{
    EXPECT_EQ(A->Width(), B->Width());
    EXPECT_EQ(A->Mask(), B->Mask());
    EXPECT_EQ(A->Small(), B->Small());
    EXPECT_EQ(A->Shade(), B->Shade());
    EXPECT_EQ(A->Enabled(), B->Enabled());
    EXPECT_EQ(A->Shades(), B->Shades());
    EXPECT_EQ(A->Ratio(), B->Ratio());
    EXPECT_EQ(A->When(), B->When());
    EXPECT_EQ(A->Title(), B->Title());
    EXPECT_EQ(A->Big(), B->Big());
    EXPECT_EQ(A->Huge(), B->Huge());
    EXPECT_EQ(VarToStr(A->Note()), VarToStr(B->Note()));
    EXPECT_EQ(A->Child()->Label(), B->Child()->Label());
    EXPECT_EQ(A->Child()->Level(), B->Child()->Level());
    EXPECT_EQ(A->Lines()->Text(), B->Lines()->Text());
    ASSERT_EQ(A->Items()->Count(), B->Items()->Count());
    for (Integer I = 0; I < A->Items()->Count(); ++I) {
        if (ItemNames)
            EXPECT_EQ(A->Items()->Items(I)->DisplayName(), B->Items()->Items(I)->DisplayName());
        EXPECT_EQ(static_cast<TPsItem*>(A->Items()->Items(I))->Value(),
            static_cast<TPsItem*>(B->Items()->Items(I))->Value());
    }
    if (WithEntries) {
        ASSERT_EQ(B->Entries()->Count(), 2);
        EXPECT_EQ(B->Entries()->Items(0)->ClassType(), TPsChild::StaticClass());
        EXPECT_EQ(static_cast<TPsChild*>(B->Entries()->Items(0))->Label(), u"e1");
        ASSERT_EQ(B->Entries()->Items(1)->ClassType(), TPsOtherChild::StaticClass());
        EXPECT_EQ(static_cast<TPsOtherChild*>(B->Entries()->Items(1))->Weight(), 2.5);
    }
    EXPECT_EQ(A->Data, B->Data);
}

TOwnedPtr<TMemoryStream> StreamOf(std::string_view Bytes)
{
    TOwnedPtr<TMemoryStream> S(New<TMemoryStream>());
    S->WriteBuffer(Bytes.data(), Int64(Bytes.size()));
    S->SetPosition(0);
    return S;
}

RawBytes BytesOf(TMemoryStream* S)
{
    return RawBytes(static_cast<const char*>(S->Memory()), size_t(S->Size()));
}

RawBytes Compressed(std::string_view Bytes)
{
    auto Plain = StreamOf(Bytes);
    TOwnedPtr<TMemoryStream> Packed(New<TMemoryStream>());
    EXPECT_TRUE(CopyCompressed(Plain.get(), Packed.get(), true));
    return BytesOf(Packed.get());
}

// xmllint's verdict on a document, read from its standard input.
bool XmllintAccepts(const RawBytes& Xml)
{
    return Testing::RunTool({ "xmllint", "--noout", "--nonet", "-" }, {}, Xml).ExitCode == 0;
}

// ---- round trips -------------------------------------------------------------

TEST(ObjectPersistence, RoundTripsEveryPropertyKind)
{
    struct TCase {
        const char* Name;
        bool AsText;
        bool Compress;
    };
    const TCase Cases[] = {
        { "xml", false, false },
        { "xml compressed", false, true },
        { "text form", true, false },
        { "text form compressed", true, true },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        // The text form has no place for object-list entries.
        bool WithEntries = !C.AsText;
        auto Source = FullSample(WithEntries);
        TOwnedPtr<TMemoryStream> Stream(New<TMemoryStream>());
        ASSERT_TRUE(SaveObjectToStream(Source.get(), Stream.get(), C.AsText, false));
        RawBytes Bytes = BytesOf(Stream.get());
        auto In = StreamOf(C.Compress ? Compressed(Bytes) : Bytes);
        TOwnedPtr<TObject> Loaded(LoadObjectFromStream(In.get(), false));
        ASSERT_TRUE(Loaded) << StringToUTF8(GetXErrorText());
        auto* Copy = DynamicCast<TPsSample>(Loaded.get());
        ASSERT_TRUE(Copy);
        ExpectSame(Source.get(), Copy, WithEntries, !C.AsText);
    }
}

TEST(ObjectPersistence, XmlLayoutIsTheOneReadersSearch)
{
    TOwnedPtr<TPsSample> Plain(New<TPsSample>());
    String Text;
    ASSERT_TRUE(SaveObjectToText(Plain.get(), Text, false, false, nullptr));
    // Defaults are left out (an ordinal without a declared default is
    // always written); objects held by properties still appear.
    EXPECT_EQ(Text,
        u"<?xml version=\"1.0\" encoding=\"UTF-8\"?><objects><o name=\"\">"
        u"<p name=\"ObjClassName\">TPsSample</p><o name=\"Obj\"><p name=\"Small\">0</p><o name=\"Child\"/>"
        u"<p name=\"Lines\"/><o name=\"Items\"/><o name=\"Entries\"/></o></o></objects>");

    auto S = FullSample(false);
    String Xml = ObjectToXMLText(S.get(), false);
    EXPECT_NE(Xml.find(u"<p name=\"Mask\">-16</p>"), String::npos);
    EXPECT_NE(Xml.find(u"<p name=\"Shades\">[psLight,psDark]</p>"), String::npos);
    EXPECT_NE(Xml.find(u"<p name=\"Lines\">first&#13;\n&#13;\nthird&#13;\n</p>"), String::npos);
    EXPECT_NE(Xml.find(u"<i name=\"a\"><p name=\"Value\">1</p></i><i name=\"\"><p name=\"Value\">2</p></i>"),
        String::npos);
    EXPECT_EQ(Xml.find(u"OnChange"), String::npos);
    EXPECT_EQ(Xml.find(u"<o name=\""), Xml.find(u"<o name=\"Child\">")); // not a component: no name on the root
}

TEST(ObjectPersistence, BinaryPropertiesAreHexLinesOf32Bytes)
{
    struct TCase {
        size_t Size;
        String Expected;
    };
    const String Line(64, u'A');
    const TCase Cases[] = {
        { 0, u"" },
        { 1, u"AA" },
        { 32, Line },
        { 33, Line + u"\r\nAA" },
        { 64, Line + u"\r\n" + Line },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Size);
        RawBytes Bytes(C.Size, '\xAA');
        EXPECT_EQ(BytesToHexLines(Bytes), C.Expected);
        EXPECT_EQ(HexLinesToBytes(C.Expected), Bytes);
    }
    EXPECT_EQ(HexLinesToBytes(u" 0a\r\n1B\b ff\n"), RawBytes("\x0A\x1B\xFF"));

    struct TBad {
        const char16_t* Text;
    };
    for (const TBad& B :
        { TBad { u"0G" }, TBad { u"ABC" }, TBad { u"AB\tCD" }, TBad { u"A B" }, TBad { u"\u00c4\u00c4" } }) {
        SCOPED_TRACE(StringToUTF8(B.Text));
        if (String(B.Text) == u"A B")
            EXPECT_EQ(HexLinesToBytes(B.Text), RawBytes("\xAB")); // blanks between digits are passed over
        else
            EXPECT_THROW(HexLinesToBytes(B.Text), EReadError);
    }
}

TEST(ObjectPersistence, XmlWriterOutputIsAcceptedByXmllint)
{
    if (!Testing::HaveTool("xmllint"))
        GTEST_SKIP() << "xmllint is not installed";
    auto S = FullSample(true);
    // Characters XML 1.0 cannot hold are left out; CR survives.
    S->SetTitle(String(u"bell\x07 nul") + Char(0) + u" esc\x1b cr\r end \xFFFE");
    for (bool Indented : { false, true }) {
        SCOPED_TRACE(Indented);
        TOwnedPtr<TMemoryStream> Stream(New<TMemoryStream>());
        SaveObjectToXMLStream(S.get(), Stream.get(), Indented);
        EXPECT_TRUE(XmllintAccepts(BytesOf(Stream.get())));
        TOwnedPtr<TPsSample> Copy(New<TPsSample>());
        ASSERT_TRUE(LoadObjectFromXMLStream(Copy.get(), Stream.get()));
        EXPECT_EQ(Copy->Title(), u"bell nul esc cr\r end ");
        EXPECT_EQ(Copy->Data, S->Data);
    }
}

TEST(ObjectPersistence, ObjectFilersWriteCompactAndIndented)
{
    auto S = FullSample(false);
    TOwnedPtr<TMemoryStream> Compact(New<TMemoryStream>());
    TOwnedPtr<TMemoryStream> Indented(New<TMemoryStream>());
    TOwnedPtr<TXCustomObjectFiler> C(New<xCompactXMLObjectFiler>());
    TOwnedPtr<TXCustomObjectFiler> I(New<xXMLObjectFiler>());
    ASSERT_TRUE(C->WriteObject(S.get(), Compact.get()));
    ASSERT_TRUE(I->WriteObject(S.get(), Indented.get()));
    EXPECT_EQ(BytesOf(Compact.get()).find("\n  <o"), RawBytes::npos);
    EXPECT_NE(BytesOf(Indented.get()).find("\n  <o>\n    <p name=\"Width\">-7</p>"), RawBytes::npos);
    TOwnedPtr<TPsSample> Copy(New<TPsSample>());
    ASSERT_TRUE(I->ReadObject(Copy.get(), Indented.get()));
    ExpectSame(S.get(), Copy.get(), false);
}

// ---- reading what people and other writers produce ---------------------------

TEST(ObjectPersistence, ReadsHandWrittenTextForm)
{
    // LF line ends, a byte-order mark, odd spacing and case, $hex, #codes
    // and joins, an unknown property and a bad value that are skipped.
    const RawBytes Text = "\xEF\xBB\xBF\n"
                          "  object TXObjectComponent\n"
                          "    ObjClassName='TPsSample'\n"
                          "    obj.width = $10\n"
                          "    Obj.Mask = 4294967295\n"
                          "    Obj.Shade = psMiddle\n"
                          "    Obj.Shades = [psMiddle, psDark]\n"
                          "    Obj.Ratio = 5E-1\n"
                          "    Obj.Title = 'caf'#233' ' +\n      'au lait'#13#10'x'\n"
                          "    Obj.NoSuchThing = 5\n"
                          "    Obj.Small = 'not a number'\n"
                          "    Obj.Child.Label = 'kid'\n"
                          "    Obj.Lines.Strings = (\n      'one'\n      'two')\n"
                          "    Obj.Items = <\n      item\n        Value = 9\n      end>\n"
                          "    Obj.Data = {0102\n      0304}\n"
                          "    Obj.OnChange = Touch\n"
                          "  end\n";
    auto In = StreamOf(Text);
    TOwnedPtr<TObject> Loaded(LoadObjectFromStream(In.get(), false));
    ASSERT_TRUE(Loaded) << StringToUTF8(GetXErrorText());
    auto* S = As<TPsSample>(Loaded.get());
    EXPECT_EQ(S->Width(), 16);
    EXPECT_EQ(S->Mask(), 0xFFFFFFFFu);
    EXPECT_EQ(S->Shade(), psMiddle);
    EXPECT_EQ(S->Shades(), UInt64((1 << psMiddle) | (1 << psDark)));
    EXPECT_EQ(S->Ratio(), 0.5);
    EXPECT_EQ(S->Title(), u"caf\u00e9 au lait\r\nx");
    EXPECT_EQ(S->Small(), 0);
    EXPECT_EQ(S->Child()->Label(), u"kid");
    EXPECT_EQ(S->Lines()->Text(), u"one\r\ntwo\r\n");
    ASSERT_EQ(S->Items()->Count(), 1);
    EXPECT_EQ(static_cast<TPsItem*>(S->Items()->Items(0))->Value(), 9);
    EXPECT_EQ(S->Data, RawBytes("\x01\x02\x03\x04"));
    // Names from data never bind code.
    EXPECT_FALSE(S->OnChange);
}

TEST(ObjectPersistence, ReadsHandWrittenXml)
{
    const RawBytes Xml = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<objects>\n"
                         "  <!-- kept by hand -->\n"
                         "  <o name=\"\">\n"
                         "    <p name=\"ObjClassName\">TPsSample</p>\n"
                         "    <o name=\"Obj\">\n"
                         "      <p name=\"Ratio\">0.5</p>\n"
                         "      <p name=\"ratio\">7</p>\n"
                         "      <p name=\"Width\">wide</p>\n"
                         "      <p name=\"Mask\">-1</p>\n"
                         "      <p name=\"Shade\">psNowhere</p>\n"
                         "      <p name=\"Enabled\">false</p>\n"
                         "      <p name=\"OnChange\">Touch</p>\n"
                         "      <p>no name</p>\n"
                         "      <i name=\"Width\">an item here is not a property</i>\n"
                         "      <o name=\"Child\"><p name=\"Label\">&lt;kid&gt;</p></o>\n"
                         "      <p name=\"DATA\">0a0b\n 0c</p>\n"
                         "    </o>\n"
                         "  </o>\n"
                         "  <o name=\"ignored\"/>\n"
                         "</objects>\n";
    auto In = StreamOf(Xml);
    TOwnedPtr<TObject> Loaded(LoadObjectFromStream(In.get(), false));
    ASSERT_TRUE(Loaded) << StringToUTF8(GetXErrorText());
    auto* S = As<TPsSample>(Loaded.get());
    EXPECT_EQ(S->Ratio(), 0.5); // names are exact: "ratio" is not Ratio
    EXPECT_EQ(S->Width(), 0); // invalid integers read as 0
    EXPECT_EQ(S->Mask(), 0xFFFFFFFFu);
    EXPECT_EQ(S->Shade(), psLight);
    EXPECT_FALSE(S->Enabled());
    EXPECT_FALSE(S->OnChange);
    EXPECT_EQ(S->Child()->Label(), u"<kid>");
    EXPECT_EQ(S->Data, RawBytes("\x0A\x0B\x0C"));
}

TEST(ObjectPersistence, CollectionsAreClearedAndStringListsReplaced)
{
    auto S = FullSample(false);
    ASSERT_TRUE(LoadObjectFromXMLText(S.get(),
        u"<objects><o><p name=\"Lines\">only&#13;\nthis</p><o name=\"Items\"/></o></objects>"));
    EXPECT_EQ(S->Items()->Count(), 0);
    EXPECT_EQ(S->Lines()->Count(), 2);
    EXPECT_EQ(S->Lines()->Strings(1), u"this");
    EXPECT_FALSE(S->DataRead); // a missing binary element leaves the property unread
}

TEST(ObjectPersistence, ObjectCollectionHoldsMixedClasses)
{
    TOwnedPtr<TPsBox> Box(New<TPsBox>());
    auto* A = New<TPsChild>();
    A->SetLabel(u"plain");
    Box->Objects()->Add()->SetObj(A);
    auto* B = New<TPsOtherChild>();
    B->SetWeight(0.25);
    Box->Objects()->Add()->SetObj(B);
    for (bool AsText : { true, false }) {
        SCOPED_TRACE(AsText);
        TOwnedPtr<TMemoryStream> Stream(New<TMemoryStream>());
        ASSERT_TRUE(SaveObjectToStream(Box.get(), Stream.get(), AsText, false));
        TOwnedPtr<TObject> Loaded(LoadObjectFromStream(Stream.get(), false));
        ASSERT_TRUE(Loaded) << StringToUTF8(GetXErrorText());
        auto* Copy = As<TPsBox>(Loaded.get());
        TOwnedPtr<TObjectList> Objects(New<TObjectList>());
        Objects->Add(New<TPsChild>());
        Copy->Objects()->ExtractObjects(Objects.get());
        EXPECT_EQ(Copy->Objects()->Count(), 0);
        ASSERT_EQ(Objects->Count(), 2);
        EXPECT_EQ(As<TPsChild>(Objects->Items(0))->Label(), u"plain");
        EXPECT_EQ(As<TPsOtherChild>(Objects->Items(1))->Weight(), 0.25);
    }
    Box->Objects()->Items(0)->SetObj(nullptr);
    Box->Objects()->Items(1)->SetObj(nullptr);
    A->Free();
    B->Free();
}

TEST(ObjectPersistence, ComponentsKeepTheirNameAndEmptyStreamsChangeNothing)
{
    TOwnedPtr<TPsPanel> Panel(New<TPsPanel>(nullptr));
    Panel->SetName(u"Mine");
    Panel->SetCaption(u"before");
    TOwnedPtr<TMemoryStream> Empty(New<TMemoryStream>());
    EXPECT_EQ(LoadComponentFromStream(Empty.get(), Panel.get()), Panel.get());
    EXPECT_EQ(Panel->Caption(), u"before");

    struct TCase {
        const char* Name;
        RawBytes Data;
    };
    const TCase Cases[] = {
        { "text", "object Theirs: TPsPanel\r\n  Caption = 'after'\r\nend\r\n" },
        { "xml", "<objects><o name=\"Theirs\"><p name=\"Caption\">after</p></o></objects>" },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Panel->SetCaption(u"before");
        auto In = StreamOf(C.Data);
        LoadComponentFromStream(In.get(), Panel.get());
        EXPECT_EQ(Panel->Caption(), u"after");
        EXPECT_EQ(Panel->Name(), u"Mine");
    }
    EXPECT_NE(ObjectToXMLText(Panel.get(), false).find(u"<objects><o name=\"Mine\">"), String::npos);
}

TEST(ObjectPersistence, CollectionItemsLoadOrAreDeletedAgain)
{
    TOwnedPtr<TCollection> Items(New<TCollection>(TPsItem::StaticClass()));
    auto Good = StreamOf("<objects><o><o name=\"Obj\"><p name=\"Value\">4</p></o></o></objects>");
    ASSERT_TRUE(LoadCollectionItem(Items.get(), Good.get(), false));
    ASSERT_EQ(Items->Count(), 1);
    EXPECT_EQ(static_cast<TPsItem*>(Items->Items(0))->Value(), 4);
    auto Bad = StreamOf("<objects><o>");
    EXPECT_FALSE(LoadCollectionItem(Items.get(), Bad.get(), false));
    EXPECT_EQ(GetXErrorCode(), xecReadFailed);
    EXPECT_EQ(Items->Count(), 1);
}

TEST(ObjectPersistence, TextTwinsFinishTheProgressEitherWay)
{
    TOwnedPtr<TPsChild> Source(New<TPsChild>());
    Source->SetLabel(u"colours");
    Source->SetLevel(2);
    for (bool AsText : { true, false })
        for (bool Good : { true, false }) {
            SCOPED_TRACE(testing::Message() << AsText << Good);
            TOwnedPtr<TXProgress> Progress(New<TXProgress>(static_cast<TXProgress*>(nullptr)));
            Progress->SetMax(10);
            String Text;
            ASSERT_TRUE(SaveObjectToText(Source.get(), Text, AsText, false, Progress.get()));
            EXPECT_EQ(Progress->Position(), 10u);
            if (!Good)
                Text.resize(Text.size() - 12);
            Progress->SetPosition(0);
            TOwnedPtr<TPsChild> Target(New<TPsChild>());
            Target->SetLabel(u"before");
            EXPECT_EQ(LoadObjectFromText(Target.get(), Text, Progress.get(), false), Good);
            EXPECT_EQ(Progress->Position(), 10u);
            // A failed load leaves the target as it was.
            EXPECT_EQ(Target->Label(), Good ? u"colours" : u"before");
            EXPECT_EQ(GetXErrorCode(), Good ? xecNone : xecReadFailed);
        }
}

TEST(ObjectPersistence, CompressedStreamsAndSniffing)
{
    auto S = FullSample(false);
    String Text = ObjectToXMLText(S.get(), true);
    RawBytes Xml = StringToUTF8(Text);
    auto Packed = StreamOf(Compressed(Xml));
    EXPECT_EQ(ReadStreamText(Packed.get()), Text);
    auto WithBom = StreamOf("\xEF\xBB\xBF" + Xml);
    EXPECT_EQ(ReadStreamText(WithBom.get()), Text);
    // One broken byte costs its own character only: the valid UTF-8 around
    // it is not read in another code page.
    auto Broken = StreamOf("object X\r\n  Obj.Title = 'caf\xE9 \xC3\xBC\xE2\x82\xAC'\r\nend");
    EXPECT_EQ(ReadStreamText(Broken.get()), u"object X\r\n  Obj.Title = 'caf\uFFFD \u00fc\u20ac'\r\nend");
    TOwnedPtr<TMemoryStream> Copy(New<TMemoryStream>());
    auto Source = StreamOf("plain");
    Source->SetPosition(3);
    ASSERT_TRUE(CopyCompressed(Source.get(), Copy.get(), false));
    EXPECT_EQ(BytesOf(Copy.get()), "plain");
}

// ---- hostile and damaged input --------------------------------------------------

namespace {
// A stream whose writes fail the way a full disk does.
class TRefusingWrites : public TMemoryStream {
public:
    Int64 Write(const void*, Int64) override { throw EWriteError(u"disk full"); }
};
}

// A save whose stream refuses what it is given answers false with the
// save's code, or raises that code when asked to.
TEST(ObjectPersistence, SavesIntoAStreamThatRefusesWritesFailWithTheSaveCode)
{
    TOwnedPtr<TPsChild> Source(New<TPsChild>());
    Source->SetLabel(u"colours");
    TOwnedPtr<TMemoryStream> Plain(New<TMemoryStream>());
    Plain->WriteBuffer("object", 6);
    struct TCase {
        const char* Name;
        std::function<bool(TStream* Target, bool Raise)> Save;
    };
    const TCase Cases[] = {
        { "text form", [&](TStream* T, bool Raise) { return SaveObjectToStream(Source.get(), T, true, Raise); } },
        { "XML form", [&](TStream* T, bool Raise) { return SaveObjectToStream(Source.get(), T, false, Raise); } },
        { "copied", [&](TStream* T, bool) { return CopyCompressed(Plain.get(), T, false); } },
        { "compressed", [&](TStream* T, bool) { return CopyCompressed(Plain.get(), T, true); } },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TOwnedPtr<TRefusingWrites> Target(New<TRefusingWrites>());
        ClearXError();
        EXPECT_FALSE(C.Save(Target.get(), false));
        EXPECT_EQ(GetXErrorCode(), xecWriteFailed);
    }
    TOwnedPtr<TRefusingWrites> Target(New<TRefusingWrites>());
    EXPECT_EQ(Testing::RaisedCode([&] { SaveObjectToStream(Source.get(), Target.get(), true, true); }), xecWriteFailed);
}

TEST(ObjectPersistence, HostileOrDamagedInputFailsWithItsCode)
{
    const RawBytes Good = StringToUTF8(ObjectToXMLText(FullSample(true).get(), false));
    TOwnedPtr<TPsSample> Holder(New<TPsSample>());
    TOwnedPtr<TXObjectComponent> Carrier(New<TXObjectComponent>(nullptr));
    Carrier->SetObj(FullSample(false).release());
    const RawBytes GoodText = StringToUTF8(Carrier->ToText(true));
    Carrier->Obj()->Free();
    Carrier->SetObj(nullptr);

    struct TCase {
        const char* Name;
        RawBytes Data;
    };
    const TCase Cases[] = {
        { "empty", "" },
        { "doctype with entities",
            "<?xml version=\"1.0\"?><!DOCTYPE objects [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>"
            "<objects><o><p name=\"ObjClassName\">TPsSample</p><o name=\"Obj\"><p "
            "name=\"Title\">&b;</p></o></o></objects>" },
        { "unknown class", "object TXObjectComponent\r\n  ObjClassName = 'TNoSuchClass'\r\nend\r\n" },
        { "no class", "object TXObjectComponent\r\nend\r\n" },
        { "class not persistent", "object TXObjectComponent\r\n  ObjClassName = 'TMemoryStream'\r\nend\r\n" },
        { "class not persistent, xml", "<objects><o><p name=\"ObjClassName\">TXmlDocument</p></o></objects>" },
        { "list entry of a foreign class",
            "<objects><o><p name=\"ObjClassName\">TPsSample</p><o name=\"Obj\"><o name=\"Entries\">"
            "<i type=\"TMemoryStream\"/></o></o></o></objects>" },
        { "nested component of a foreign class",
            "object TXObjectComponent\r\n  ObjClassName = 'TPsSample'\r\n  object X: TMemoryStream\r\n  "
            "end\r\nend\r\n" },
        { "cut-off xml", Good.substr(0, Good.size() / 2) },
        { "cut-off text", GoodText.substr(0, GoodText.size() / 2) },
        { "bad hex",
            "<objects><o><p name=\"ObjClassName\">TPsSample</p><o name=\"Obj\">"
            "<p name=\"Data\">0G</p></o></o></objects>" },
        { "odd hex",
            "<objects><o><p name=\"ObjClassName\">TPsSample</p><o name=\"Obj\">"
            "<p name=\"Data\">ABC</p></o></o></objects>" },
        { "bad hex nested in a list entry",
            "<objects><o><p name=\"ObjClassName\">TPsSample</p><o name=\"Obj\">"
            "<o name=\"Entries\"><i type=\"TPsSample\"><p name=\"Data\">zz</p></i></o></o></o></objects>" },
        { "text form bad binary",
            "object TXObjectComponent\r\n  ObjClassName = 'TPsSample'\r\n  Obj.Data = {0G}\r\nend\r\n" },
        { "neither form", "hello world" },
        { "byte-order mark and anything else", "\xEF\xBB\xBFhello" },
        { "damaged zlib", "\x78\x9C\x01\x02\x03\x04garbage" },
        { "cut-off zlib", Compressed(Good).substr(0, 40) },
        { "two roots", "<objects/><objects/>" },
        { "not the object form", "<?xml version=\"1.0\"?><other><o/></other>" },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto In = StreamOf(C.Data);
        SetXError(3, 0, {}, false);
        TObject* Loaded = LoadObjectFromStream(In.get(), false);
        EXPECT_EQ(Loaded, nullptr);
        if (Loaded)
            Loaded->Free();
        EXPECT_EQ(GetXErrorCode(), xecReadFailed);
        In->SetPosition(0);
        EXPECT_FALSE(LoadAssignFromStream(Holder.get(), In.get(), false));
        EXPECT_EQ(GetXErrorCode(), xecReadFailed);
        EXPECT_EQ(Holder->Width(), 100);
        In->SetPosition(0);
        EXPECT_THROW(LoadObjectFromStream(In.get(), true), EXError);
    }
}

TEST(ObjectPersistence, OnlyTheTargetsClassIsMadeForIt)
{
    // A stored child is a persistent, but not what a sample is loaded from.
    TOwnedPtr<TPsChild> Child(New<TPsChild>());
    Child->SetLabel(u"x");
    TOwnedPtr<TMemoryStream> Stream(New<TMemoryStream>());
    ASSERT_TRUE(SaveObjectToStream(Child.get(), Stream.get(), false, false));
    TOwnedPtr<TPsSample> Target(New<TPsSample>());
    EXPECT_FALSE(LoadAssignFromStream(Target.get(), Stream.get(), false));
    EXPECT_EQ(GetXErrorCode(), xecReadFailed);

    // A descendant of the target's class is fine.
    TOwnedPtr<TPsOtherChild> Other(New<TPsOtherChild>());
    Other->SetLabel(u"other");
    ASSERT_TRUE(SaveObjectToStream(Other.get(), Stream.get(), true, false));
    ASSERT_TRUE(LoadAssignFromStream(Child.get(), Stream.get(), false));
    EXPECT_EQ(Child->Label(), u"other");
}

TEST(ObjectPersistence, ObjectItemsRefuseClassesThatAreNotPersistent)
{
    TOwnedPtr<TXObjectCollection> Objects(New<TXObjectCollection>(static_cast<TPersistent*>(nullptr)));
    TXObjectItem* Item = Objects->Add();
    EXPECT_THROW(Item->SetObjClassName(u"TMemoryStream"), EReadError);
    EXPECT_EQ(Item->Obj(), nullptr);
    EXPECT_THROW(Item->SetObjClassName(u"TNoSuchClass"), EClassNotFound);
    Item->SetObjClassName(u"TPsChild");
    TOwnedPtr<TPersistent> Made(Item->ReleaseObj());
    EXPECT_EQ(Made->ClassType(), TPsChild::StaticClass());
    EXPECT_EQ(Item->Obj(), nullptr);
}

// An object an item made from data is the item's until it is handed out;
// one given to it stays the giver's.
TEST(ObjectPersistence, ObjectItemsOwnTheObjectsTheyMake)
{
    TOwnedPtr<TPsBox> Box(New<TPsBox>());
    const String Twice =
        u"<objects><o><o name=\"Objects\">"
        u"<i name=\"a\"><p name=\"ObjClassName\">TPsCounted</p><p name=\"ObjClassName\">TPsCountedToo</p></i>"
        u"<i name=\"b\"><p name=\"ObjClassName\">TPsCounted</p></i>"
        u"</o></o></objects>";
    ASSERT_TRUE(LoadObjectFromXMLText(Box.get(), Twice));
    ASSERT_EQ(Box->Objects()->Count(), 2);
    EXPECT_EQ(Box->Objects()->Items(0)->Obj()->ClassType(), TPsCountedToo::StaticClass());
    EXPECT_EQ(TPsCounted::Live, 2);
    // Read again into the filled collection.
    ASSERT_TRUE(LoadObjectFromXMLText(Box.get(), Twice));
    EXPECT_EQ(TPsCounted::Live, 2);
    // A copy through the text form holds objects of its own, and frees them.
    TOwnedPtr<TMemoryStream> Stream(New<TMemoryStream>());
    ASSERT_TRUE(SaveObjectToStream(Box.get(), Stream.get(), true, false));
    {
        TOwnedPtr<TObject> Copy(LoadObjectFromStream(Stream.get(), false));
        ASSERT_TRUE(Copy);
        EXPECT_EQ(TPsCounted::Live, 4);
    }
    EXPECT_EQ(TPsCounted::Live, 2);

    // Handed out, the objects outlive the collection.
    TOwnedPtr<TObjectList> List(New<TObjectList>());
    Box->Objects()->MoveObjectsTo(List.get());
    EXPECT_EQ(Box->Objects()->Count(), 0);
    EXPECT_EQ(TPsCounted::Live, 2);
    List->Clear();
    EXPECT_EQ(TPsCounted::Live, 0);

    // Given objects stay the giver's, also when the item makes another.
    TOwnedPtr<TPsCounted> Given(New<TPsCounted>());
    TXObjectItem* Item = Box->Objects()->Add();
    Item->SetObj(Given.get());
    Item->SetObjClassName(u"TPsCountedToo");
    EXPECT_EQ(TPsCounted::Live, 2);
    Item->SetObj(Given.get()); // drops the one it made
    EXPECT_EQ(TPsCounted::Live, 1);
    Box.reset();
    EXPECT_EQ(TPsCounted::Live, 1);
}

}

TEST(ObjectPersistence, CollectionsMadeByNameGetAnItemClass)
{
    struct TCase {
        const char* Name;
        RawBytes Data;
        TClass Made;
        TClass Item;
    };
    const TCase Cases[] = {
        { "object collection, xml",
            "<objects><o name=\"\"><p name=\"ObjClassName\">TXObjectCollection</p><o "
            "name=\"Obj\"><i/></o></o></objects>",
            TXObjectCollection::StaticClass(), TXObjectItem::StaticClass() },
        { "object collection, text form",
            "object TXObjectComponent\r\n  ObjClassName = 'TXObjectCollection'\r\n  Obj = <\r\n    item\r\n    "
            "end>\r\nend\r\n",
            TXObjectCollection::StaticClass(), TXObjectItem::StaticClass() },
        { "plain collection, xml",
            "<objects><o name=\"\"><p name=\"ObjClassName\">TCollection</p><o name=\"Obj\"><i/><i/></o></o></objects>",
            TCollection::StaticClass(), TCollectionItem::StaticClass() },
        { "owned collection, text form",
            "object TXObjectComponent\r\n  ObjClassName = 'TOwnedCollection'\r\n  Obj = <\r\n    item\r\n    "
            "end>\r\nend\r\n",
            TOwnedCollection::StaticClass(), TCollectionItem::StaticClass() },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto In = StreamOf(C.Data);
        TOwnedPtr<TObject> Loaded(LoadObjectFromStream(In.get(), false));
        ASSERT_TRUE(Loaded) << StringToUTF8(GetXErrorText());
        ASSERT_EQ(Loaded->ClassType(), C.Made);
        auto* Collection = static_cast<TCollection*>(Loaded.get());
        EXPECT_EQ(Collection->ItemClass(), C.Item);
        ASSERT_GE(Collection->Count(), 1);
        EXPECT_EQ(Collection->Items(0)->ClassType(), C.Item);
    }

    // The same as the object of an object item and as an object-list entry.
    auto Boxed = StreamOf("<objects><o><p name=\"ObjClassName\">TPsBox</p><o name=\"Obj\"><o name=\"Objects\">"
                          "<i><p name=\"ObjClassName\">TXObjectCollection</p><o name=\"Obj\"><i/></o></i>"
                          "</o></o></o></objects>");
    TOwnedPtr<TObject> Box(LoadObjectFromStream(Boxed.get(), false));
    ASSERT_TRUE(Box) << StringToUTF8(GetXErrorText());
    TOwnedPtr<TObjectList> Held(New<TObjectList>());
    As<TPsBox>(Box.get())->Objects()->MoveObjectsTo(Held.get());
    ASSERT_EQ(Held->Count(), 1);
    EXPECT_EQ(As<TXObjectCollection>(Held->Items(0))->Count(), 1);

    auto Listed = StreamOf("<objects><o><p name=\"ObjClassName\">TPsSample</p><o name=\"Obj\"><o name=\"Entries\">"
                           "<i type=\"TXObjectCollection\"><i/><i/></i></o></o></o></objects>");
    TOwnedPtr<TObject> Sample(LoadObjectFromStream(Listed.get(), false));
    ASSERT_TRUE(Sample) << StringToUTF8(GetXErrorText());
    ASSERT_EQ(As<TPsSample>(Sample.get())->Entries()->Count(), 1);
    EXPECT_EQ(As<TXObjectCollection>(As<TPsSample>(Sample.get())->Entries()->Items(0))->Count(), 2);
}
