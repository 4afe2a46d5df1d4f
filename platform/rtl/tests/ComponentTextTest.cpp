#include "rtl/Collection.h"
#include "rtl/ComponentText.h"
#include "rtl/StrUtils.h"
#include "rtl/StringList.h"
#include <gtest/gtest.h>

namespace {

enum TMood { mdCalm, mdGlad, mdCross };
X_ENUM_INFO(TMood, mdCalm, mdGlad, mdCross)

class TSheetItem : public TCollectionItem {
    X_CLASS(TSheetItem, TCollectionItem)
public:
    const String& Caption() const { return FCaption; }
    void SetCaption(const String& V) { FCaption = V; }
    Integer Size() const { return FSize; }
    void SetSize(Integer V) { FSize = V; }

private:
    String FCaption;
    Integer FSize = 0;
};
X_REGISTER_CLASS(TSheetItem)
X_PUBLISHED(TSheetItem)
{
    X_PROP(Caption, Caption, SetCaption);
    X_PROP(Size, Size, SetSize).Default(0);
}

class TSheetFont : public TPersistent {
    X_CLASS(TSheetFont, TPersistent)
public:
    const String& Name() const { return FName; }
    void SetName(const String& V) { FName = V; }
    Integer Height() const { return FHeight; }
    void SetHeight(Integer V) { FHeight = V; }

private:
    String FName;
    Integer FHeight = 12;
};
X_REGISTER_CLASS(TSheetFont)
X_PUBLISHED(TSheetFont)
{
    X_PROP(Name, Name, SetName);
    X_PROP(Height, Height, SetHeight).Default(12);
}

// A component with a property of every kind, a binary and a list-valued
// defined property, and a log of Loaded calls.
class TSheet : public TComponent {
    X_CLASS(TSheet, TComponent)
public:
    void Create(TComponent* AOwner) override
    {
        inherited::Create(AOwner);
        FFont = New<TSheetFont>();
        FLines = New<TStringList>();
        FItems = New<TCollection>(TSheetItem::StaticClass());
    }
    ~TSheet() override
    {
        FreeAndNil(FItems);
        FreeAndNil(FLines);
        FreeAndNil(FFont);
    }

    Byte Count() const { return FCount; }
    void SetCount(Byte V) { FCount = V; }
    Integer Width() const { return FWidth; }
    void SetWidth(Integer V) { FWidth = V; }
    Char Letter() const { return FLetter; }
    void SetLetter(Char V) { FLetter = V; }
    TMood Mood() const { return FMood; }
    void SetMood(TMood V) { FMood = V; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool V) { FVisible = V; }
    UInt64 Moods() const { return FMoods; }
    void SetMoods(UInt64 V) { FMoods = V; }
    double Ratio() const { return FRatio; }
    void SetRatio(double V) { FRatio = V; }
    double When() const { return FWhen; }
    void SetWhen(double V) { FWhen = V; }
    const String& Caption() const { return FCaption; }
    void SetCaption(const String& V) { FCaption = V; }
    Int64 Huge() const { return FHuge; }
    void SetHuge(Int64 V) { FHuge = V; }
    TVariant Data() const { return FData; }
    void SetData(const TVariant& V) { FData = V; }
    Integer Secret() const { return FSecret; }
    void SetSecret(Integer V) { FSecret = V; }
    TSheetFont* Font() const { return FFont; }
    TStrings* Lines() const { return FLines; }
    TCollection* Items() const { return FItems; }
    TEvent<void(TObject*)> OnPing;

    void Ping(TObject*) { ++Pings; }
    Integer Pings = 0;
    RawBytes Blob;
    std::vector<Integer> Marks;
    Integer LoadedCalls = 0;
    bool WasReading = false;

    void DefineProperties(TFiler* Filer) override
    {
        inherited::DefineProperties(Filer);
        Filer->DefineBinaryProperty(
            u"Blob",
            [this](TStream* S) {
                Blob.resize(size_t(S->Size()));
                S->ReadBuffer(Blob.data(), S->Size());
            },
            [this](TStream* S) { S->WriteBuffer(Blob.data(), Int64(Blob.size())); }, !Blob.empty());
        Filer->DefineProperty(
            u"Marks",
            [this](TReader* R) {
                Marks.clear();
                R->ReadListBegin();
                while (!R->EndOfList())
                    Marks.push_back(R->ReadInteger());
                R->ReadListEnd();
            },
            [this](TWriter* W) {
                W->WriteListBegin();
                for (Integer M : Marks)
                    W->WriteInteger(M);
                W->WriteListEnd();
            },
            !Marks.empty());
    }
    void Loaded() override
    {
        WasReading = ComponentState().Contains(csReading);
        ++LoadedCalls;
        inherited::Loaded();
    }

private:
    Byte FCount = 0;
    Integer FWidth = 100;
    Char FLetter = u'a';
    TMood FMood = mdCalm;
    bool FVisible = true;
    UInt64 FMoods = 0;
    double FRatio = 0;
    double FWhen = 0;
    String FCaption;
    Int64 FHuge = 0;
    TVariant FData;
    Integer FSecret = 0;
    TSheetFont* FFont = nullptr;
    TStringList* FLines = nullptr;
    TCollection* FItems = nullptr;
};
X_REGISTER_CLASS(TSheet)
X_PUBLISHED(TSheet)
{
    X_PROP(Count, Count, SetCount);
    X_PROP(Width, Width, SetWidth).Default(100);
    X_PROP(Letter, Letter, SetLetter).Default(u'a');
    X_PROP(Mood, Mood, SetMood).Default(mdCalm);
    X_PROP(Visible, Visible, SetVisible).Default(true);
    X_PROP_SET(Moods, TMood, Moods, SetMoods).Default(0);
    X_PROP(Ratio, Ratio, SetRatio);
    X_PROP_DATETIME(When, When, SetWhen);
    X_PROP(Caption, Caption, SetCaption);
    X_PROP(Huge, Huge, SetHuge);
    X_PROP(Data, Data, SetData);
    X_PROP(Secret, Secret, SetSecret).Stored(false);
    X_PROP_READONLY(Font, Font);
    X_PROP_READONLY(Lines, Lines);
    X_PROP_READONLY(Items, Items);
    X_EVENT(OnPing, OnPing);
    X_METHOD(Ping);
}

// A component class that a sheet text must not be able to make.
class TIntruder : public TComponent {
    X_CLASS(TIntruder, TComponent)
};
X_REGISTER_CLASS(TIntruder)

// Fails on purpose when it is loaded.
class TBroken : public TSheet {
    X_CLASS(TBroken, TSheet)
public:
    void Loaded() override { throw EInvalidOperation(u"broken"); }
};
X_REGISTER_CLASS(TBroken)

TOwnedPtr<TSheet> NewSheet(const char16_t* Name = u"Root")
{
    TOwnedPtr<TSheet> Sheet(New<TSheet>(nullptr));
    Sheet->SetName(Name);
    return Sheet;
}

void Read(const String& Text, TSheet* Root, TComponentReadOptions Options = {})
{
    if (!Options.ChildBase)
        Options.ChildBase = TSheet::StaticClass();
    ReadComponentFromText(Text, Root, Options);
}

TEST(ComponentText, WritesTheClassLibraryLayout)
{
    auto Root = NewSheet();
    Root->SetCaption(u"it's\r\nok\u00e9");
    Root->SetMoods((1 << mdGlad) | (1 << mdCross));
    Root->SetSecret(5); // not stored
    Root->Font()->SetName(u"Sans");
    Root->Lines()->Add(u"a");
    Root->Lines()->Add(u"b");
    static_cast<TSheetItem*>(Root->Items()->Add())->SetCaption(u"x");
    Root->Blob = RawBytes(32, '\xAB') + "\x01";
    auto* Kid = New<TSheet>(Root.get());
    Kid->SetName(u"Kid");
    Kid->SetWidth(5);
    const String Expected = u"object Root: TSheet\r\n"
                            u"  Count = 0\r\n"
                            u"  Moods = [mdGlad, mdCross]\r\n"
                            u"  Caption = 'it'#39's'#13#10'ok'#233\r\n"
                            u"  Font.Name = 'Sans'\r\n"
                            u"  Lines.Strings = (\r\n"
                            u"    'a'\r\n"
                            u"    'b')\r\n"
                            u"  Items = <\r\n"
                            u"    item\r\n"
                            u"      Caption = 'x'\r\n"
                            u"    end>\r\n"
                            u"  Blob = {\r\n"
                            u"    ABABABABABABABABABABABABABABABABABABABABABABABABABABABABABABABAB\r\n"
                            u"    01}\r\n"
                            u"  object Kid: TSheet\r\n"
                            u"    Count = 0\r\n"
                            u"    Width = 5\r\n"
                            u"    Items = <>\r\n"
                            u"  end\r\n"
                            u"end\r\n";
    EXPECT_EQ(WriteComponentToText(Root.get()), Expected);
}

TEST(ComponentText, LongStringsWrapAtSixtyFourCharacters)
{
    struct TCase {
        String Text;
        String Expected;
    };
    const String A64(64, u'A');
    const TCase Cases[] = {
        { u"", u"''" },
        { A64, u"'" + A64 + u"'" },
        { A64 + u"BB", u"\r\n    '" + A64 + u"' +\r\n    'BB'" },
        { String(63, u'A') + u"\n" + u"C", u"\r\n    '" + String(63, u'A') + u"'#10 +\r\n    'C'" },
    };
    for (const TCase& C : Cases) {
        TTextValue V;
        V.Kind = vkString;
        V.Text = C.Text;
        EXPECT_EQ(FormatTextValue(V, 1), C.Expected);
        // Whatever the wrapping, the reader joins it back.
        auto Sheet = NewSheet();
        Read(u"object Root: TSheet\r\n  Caption = " + C.Expected + u"\r\nend\r\n", Sheet.get());
        EXPECT_EQ(Sheet->Caption(), C.Text);
    }
}

TEST(ComponentText, EveryKindRoundTrips)
{
    auto Root = NewSheet();
    Root->SetCount(200);
    Root->SetWidth(-7);
    Root->SetLetter(u'\u20ac');
    Root->SetMood(mdCross);
    Root->SetVisible(false);
    Root->SetMoods(1 << mdCalm);
    Root->SetRatio(0.1);
    Root->SetWhen(45000.5);
    Root->SetCaption(String(100, u'q') + u"\u4e2d'\t" + String(1, Char(0xD83D)) + String(1, Char(0xDE00)));
    Root->SetHuge(INT64_MIN);
    Root->SetData(TVariant(2.0));
    Root->Font()->SetName(u"Mono");
    Root->Font()->SetHeight(9);
    Root->Lines()->Add(u"first");
    Root->Lines()->Add(u"");
    for (Integer I = 0; I < 2; ++I) {
        auto* Item = static_cast<TSheetItem*>(Root->Items()->Add());
        Item->SetCaption(u"item" + IntToStr(I));
        Item->SetSize(I * 10);
    }
    Root->Blob = RawBytes("\0\xFF\x10", 3);
    Root->Marks = { 3, -1, 2000000000 };
    Root->OnPing.SetMethod(TMethod { MethodAddress(TSheet::StaticClass(), u"Ping"), Root.get() });
    auto* Kid = New<TSheet>(Root.get());
    Kid->SetName(u"Kid");
    Kid->SetData(TVariant(u"text"));
    auto* Grandkid = New<TSheet>(Kid);
    Grandkid->SetName(u"Grandkid");
    Grandkid->SetData(TVariant::Null());

    String Text = WriteComponentToText(Root.get());
    auto Copy = NewSheet(u"Copy");
    TComponentReadOptions Options;
    Options.BindEvents = true;
    Read(Text, Copy.get(), Options);

    EXPECT_EQ(Copy->Name(), u"Copy");
    EXPECT_EQ(Copy->Count(), 200);
    EXPECT_EQ(Copy->Width(), -7);
    EXPECT_EQ(Copy->Letter(), u'\u20ac');
    EXPECT_EQ(Copy->Mood(), mdCross);
    EXPECT_FALSE(Copy->Visible());
    EXPECT_EQ(Copy->Moods(), 1u << mdCalm);
    EXPECT_EQ(Copy->Ratio(), 0.1);
    EXPECT_EQ(Copy->When(), 45000.5);
    EXPECT_EQ(Copy->Caption(), Root->Caption());
    EXPECT_EQ(Copy->Huge(), INT64_MIN);
    EXPECT_EQ(Copy->Data(), TVariant(2.0));
    EXPECT_EQ(Copy->Font()->Name(), u"Mono");
    EXPECT_EQ(Copy->Font()->Height(), 9);
    EXPECT_EQ(Copy->Lines()->Text(), u"first\r\n\r\n");
    ASSERT_EQ(Copy->Items()->Count(), 2);
    EXPECT_EQ(static_cast<TSheetItem*>(Copy->Items()->Items(1))->Caption(), u"item1");
    EXPECT_EQ(static_cast<TSheetItem*>(Copy->Items()->Items(1))->Size(), 10);
    EXPECT_EQ(Copy->Blob, Root->Blob);
    EXPECT_EQ(Copy->Marks, Root->Marks);
    Copy->OnPing(nullptr);
    EXPECT_EQ(Copy->Pings, 1);
    auto* CopyKid = DynamicCast<TSheet>(Copy->FindComponent(u"Kid"));
    ASSERT_NE(CopyKid, nullptr);
    EXPECT_EQ(CopyKid->Data(), TVariant(u"text"));
    auto* CopyGrandkid = DynamicCast<TSheet>(CopyKid->FindComponent(u"Grandkid"));
    ASSERT_NE(CopyGrandkid, nullptr);
    EXPECT_TRUE(CopyGrandkid->Data().IsNull());
    // Read and written again, the text is the same but for the root's name.
    Copy->SetName(u"Root");
    EXPECT_EQ(WriteComponentToText(Copy.get()), Text);
    // Every read component was loading while read and got Loaded once.
    for (TSheet* S : { Copy.get(), CopyKid, CopyGrandkid }) {
        EXPECT_EQ(S->LoadedCalls, 1);
        EXPECT_FALSE(S->WasReading);
        EXPECT_TRUE(S->ComponentState().IsEmpty());
    }
}

TEST(ComponentText, ReadsHandWrittenTextsTolerantly)
{
    struct TCase {
        const char* Body; // inside "object X: TSheet ... end"
        std::function<bool(TSheet*)> Check;
    };
    const TCase Cases[] = {
        { "Width = $1F", [](TSheet* S) { return S->Width() == 31; } },
        { "width = -5", [](TSheet* S) { return S->Width() == -5; } },
        { "Ratio = 1.5e3", [](TSheet* S) { return S->Ratio() == 1500; } },
        { "Ratio = -2.5E-2", [](TSheet* S) { return S->Ratio() == -0.025; } },
        { "Ratio = 7", [](TSheet* S) { return S->Ratio() == 7; } },
        { "Caption = 'a''b'", [](TSheet* S) { return S->Caption() == u"a'b"; } },
        { "Caption = 'a'#13#10'b'", [](TSheet* S) { return S->Caption() == u"a\r\nb"; } },
        { "Caption = 'a'+#13#10+'b'", [](TSheet* S) { return S->Caption() == u"a\r\nb"; } },
        { "Caption = 'one' +\n    'two'", [](TSheet* S) { return S->Caption() == u"onetwo"; } },
        { "Caption = #$41#66", [](TSheet* S) { return S->Caption() == u"AB"; } },
        { "Mood = MDGLAD", [](TSheet* S) { return S->Mood() == mdGlad; } },
        { "Visible = false", [](TSheet* S) { return !S->Visible(); } },
        { "Moods = [mdCalm,mdCross]", [](TSheet* S) { return S->Moods() == 5; } },
        { "Moods = []", [](TSheet* S) { return S->Moods() == 0; } },
        { "Letter = #9", [](TSheet* S) { return S->Letter() == u'\t'; } },
        { "Font.Name = 'x'\r\nFont.Height = 3",
            [](TSheet* S) { return S->Font()->Name() == u"x" && S->Font()->Height() == 3; } },
        { "Lines.Strings = ('a' 'b')", [](TSheet* S) { return S->Lines()->Text() == u"a\r\nb\r\n"; } },
        { "Lines = (\n'a'\n)", [](TSheet* S) { return S->Lines()->Text() == u"a\r\n"; } },
        { "Items = <>", [](TSheet* S) { return S->Items()->Count() == 0; } },
        { "Items = <item Caption = 'p' Size = 2 end item end>",
            [](TSheet* S) {
                return S->Items()->Count() == 2 && static_cast<TSheetItem*>(S->Items()->Items(0))->Size() == 2;
            } },
        { "Blob = {00 ff\r\n 1A}", [](TSheet* S) { return S->Blob == RawBytes("\0\xFF\x1A", 3); } },
        { "Blob = {}", [](TSheet* S) { return S->Blob.empty(); } },
        { "Marks = (1, 2)",
            [](TSheet* S) {
                return S->Marks == std::vector<Integer> { 1, 2 };
            } },
        { "Data = 5000000000", [](TSheet* S) { return S->Data() == TVariant(Int64(5000000000)); } },
        { "Data = True", [](TSheet* S) { return S->Data() == TVariant(true); } },
        { "OnPing = Ping", [](TSheet* S) { return !S->OnPing; } }, // events stay unbound by default
        { "inherited Kid: TSheet\nend", [](TSheet* S) { return S->FindComponent(u"Kid") != nullptr; } },
        { "inline TSheet\n Width = 1\nend", [](TSheet* S) { return S->ComponentCount() == 1; } },
    };
    for (const TCase& C : Cases) {
        auto Sheet = NewSheet();
        String Text = u"object X: TSheet\n" + S(C.Body) + u"\nend";
        try {
            Read(Text, Sheet.get());
            EXPECT_TRUE(C.Check(Sheet.get())) << C.Body;
        } catch (const Exception& E) {
            ADD_FAILURE() << C.Body << ": " << E.what();
        }
    }
}

TEST(ComponentText, ExistingComponentsAreReadIntoByName)
{
    auto Root = NewSheet();
    auto* Kid = New<TSheet>(Root.get());
    Kid->SetName(u"Kid");
    Read(u"object Root: TSheet\n object kid: TSheet\n Width = 9\n end\nend", Root.get());
    EXPECT_EQ(Root->ComponentCount(), 1);
    EXPECT_EQ(Kid->Width(), 9);
}

TEST(ComponentText, DamagedOrHostileTextsFailCleanly)
{
    struct TCase {
        String Text;
        bool Parser; // EParserError, else EReadError
        const char* Message; // part of the message
    };
    String Deep;
    for (int I = 0; I < 40; ++I)
        Deep += u"object A" + IntToStr(I) + u": TSheet\n";
    for (int I = 0; I < 40; ++I)
        Deep += u"end\n";
    String DeepList = u"object X: TSheet\nMarks = " + String(100000, u'(') + u"\nend";
    const TCase Cases[] = {
        { u"", true, "end of text" },
        { u"object X: TSheet\n  Width = 1\n", true, "line 3" },
        { u"object X: TSheet\n  Caption = 'open\nend", true, "Unterminated string on line 2" },
        { u"object X: TSheet\n  Blob = {0G}\nend", true, "Invalid binary" },
        { u"object X: TSheet\n  Blob = {ABC}\nend", true, "Odd number" },
        { u"object X: TSheet\n  Blob = {AB", true, "end of text" },
        { u"object X: TSheet\n  Caption = #70000\nend", true, "character code" },
        { u"object X: TSheet\n  Width = 99999999999999999999\nend", true, "too large" },
        { u"object X: TSheet\n  Items = <item\nend", true, "end of text" },
        { u"object X: TSheet\n  Width = \nend", true, "" },
        { u"object X: TSheet\nend\nobject Y: TSheet\nend", true, "after the final end" },
        { Deep, true, "Nesting too deep" },
        { DeepList, true, "Nesting too deep" },
        { u"object X: TSheet\n  Nothing = 1\nend", false, "Nothing does not exist on line 2" },
        { u"object X: TSheet\n  Font.Nothing = 1\nend", false, "does not exist" },
        { u"object X: TSheet\n  Width.Size = 1\nend", false, "" },
        { u"object X: TSheet\n  Width = 'text'\nend", false, "Invalid property value" },
        { u"object X: TSheet\n  Width = 2147483648\nend", false, "out of range" },
        { u"object X: TSheet\n  Count = 256\nend", false, "out of range" },
        { u"object X: TSheet\n  Mood = mdSad\nend", false, "" },
        { u"object X: TSheet\n  Moods = [mdCalm, mdSad]\nend", false, "mdSad" },
        { u"object X: TSheet\n  Blob = 'x'\nend", false, "binary" },
        { u"object X: TSheet\n  Marks = ('x')\nend", false, "Integer expected" },
        { u"object X: TSheet\n  Marks = (1\n)\n  Lines.Strings = (1)\nend", false, "String expected" },
        { u"object X: TSheet\n  object Y: TNoSuchClass\n  end\nend", false, "Class TNoSuchClass not found on line 2" },
        { u"object X: TSheet\n  object Y: TIntruder\n  end\nend", false, "TIntruder is not a TSheet" },
        { u"object X: TSheet\n  object Y: TStringList\n  end\nend", false, "not a" },
        { u"object X: TSheet\n  object Y: TSheet\n  end\n  object Y: TSheet\n  Lines = 3 end\nend", false, "" },
        { u"object X: TSheet\n  object 1: TSheet\n  end\nend", true, "" },
        { u"object X: TSheet\n  object Bad_Name: TSheet\n  Width = 'x'\n  end\nend", false, "line 3" },
    };
    for (const TCase& C : Cases) {
        auto Sheet = NewSheet();
        try {
            Read(C.Text, Sheet.get());
            ADD_FAILURE() << "no error for: " << StringToUTF8(C.Text.substr(0, 80));
        } catch (const EParserError& E) {
            EXPECT_TRUE(C.Parser) << E.what();
            EXPECT_NE(std::string(E.what()).find(C.Message), std::string::npos) << E.what();
        } catch (const EReadError& E) {
            EXPECT_FALSE(C.Parser) << E.what();
            EXPECT_NE(std::string(E.what()).find(C.Message), std::string::npos) << E.what();
        }
        // A failed read leaves no half-read children and nothing loading.
        EXPECT_EQ(Sheet->ComponentCount(), 0) << StringToUTF8(C.Text.substr(0, 80));
        EXPECT_TRUE(Sheet->ComponentState().IsEmpty());
    }
}

TEST(ComponentText, IgnoringErrorsSkipsWhatCannotBeUsed)
{
    auto Sheet = NewSheet();
    TComponentReadOptions Options;
    Options.IgnoreErrors = true;
    Read(u"object X: TSheet\n"
         u"  Nothing = 1\n  Width = 'bad'\n  Count = 7\n"
         u"  Items = <item Caption = 'a' Bogus = 1 end>\n"
         u"  object Y: TNoSuchClass\n  end\n"
         u"  object Z: TSheet\n    Width = 3\n  end\n"
         u"end",
        Sheet.get(), Options);
    EXPECT_EQ(Sheet->Width(), 100);
    EXPECT_EQ(Sheet->Count(), 7);
    ASSERT_EQ(Sheet->Items()->Count(), 1);
    EXPECT_EQ(static_cast<TSheetItem*>(Sheet->Items()->Items(0))->Caption(), u"a");
    ASSERT_EQ(Sheet->ComponentCount(), 1);
    EXPECT_EQ(Sheet->Components(0)->Name(), u"Z");
    // An unexpected class is never made, errors ignored or not.
    EXPECT_THROW(Read(u"object X: TSheet\n object Y: TIntruder\n end\nend", Sheet.get(), Options), EReadError);
    EXPECT_EQ(Sheet->ComponentCount(), 1);
}

TEST(ComponentText, EventsBindOnlyWhenAskedAndInTheMethodRoot)
{
    auto Root = NewSheet();
    auto Handler = NewSheet(u"Handler");
    TComponentReadOptions Options;
    Options.BindEvents = true;
    Options.MethodRoot = Handler.get();
    Read(u"object X: TSheet\n  OnPing = Ping\nend", Root.get(), Options);
    Root->OnPing(nullptr);
    EXPECT_EQ(Handler->Pings, 1);
    EXPECT_EQ(Root->Pings, 0);
    EXPECT_THROW(Read(u"object X: TSheet\n  OnPing = Pong\nend", Root.get(), Options), EReadError);
}

TEST(ComponentText, AFailingLoadedStillEndsTheLoadingState)
{
    auto Root = NewSheet();
    TComponentReadOptions Options;
    Options.ChildBase = TSheet::StaticClass();
    EXPECT_THROW(ReadComponentFromText(u"object X: TSheet\n object B: TBroken\n end\n object C: TSheet\n end\nend",
                     Root.get(), Options),
        EInvalidOperation);
    ASSERT_EQ(Root->ComponentCount(), 2);
    for (TComponent* C : { static_cast<TComponent*>(Root.get()), Root->Components(0), Root->Components(1) })
        EXPECT_FALSE(C->ComponentState().Contains(csLoading));
    EXPECT_EQ(static_cast<TSheet*>(Root->Components(1))->LoadedCalls, 1);
}

}
