// The registry form of objects: values, sub-objects, collections and the
// update counter of the settings components, on a registry file under a
// temporary XDG_CONFIG_HOME.
#include "core/XEngine.h"
#include "core/XCore.Engine.Aspects.h"
#include "core/XIni.h"
#include "rtl/Collection.h"
#include "rtl/StrUtils.h"
#include "rtl/StringList.h"
#include "rtl/TypInfo.h"
#include "rtl/testing/Testing.h"
#include "win/Registry.h"
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

using namespace Testing;

class TTestFont : public TPersistent {
    X_CLASS(TTestFont, TPersistent)
public:
    Integer Size() const { return FSize; }
    void SetSize(Integer V) { FSize = V; }

private:
    Integer FSize = 0;
};

class TTestItem : public TCollectionItem {
    X_CLASS(TTestItem, TCollectionItem)
public:
    using inherited::Create;
    void Create(TCollection* C) override
    {
        FFont.reset(New<TTestFont>());
        inherited::Create(C);
    }
    String Caption() const { return FCaption; }
    void SetCaption(const String& V) { FCaption = V; }
    TTestFont* Font() const { return FFont.get(); }

private:
    String FCaption;
    TOwnedPtr<TTestFont> FFont;
};

class TTestObject : public TPersistent {
    X_CLASS(TTestObject, TPersistent)
public:
    void Create() override
    {
        inherited::Create();
        FFont.reset(New<TTestFont>());
        FItems.reset(New<TCollection>(TTestItem::StaticClass()));
    }
    Integer Count() const { return FCount; }
    void SetCount(Integer V) { FCount = V; }
    double Ratio() const { return FRatio; }
    void SetRatio(double V) { FRatio = V; }
    String Title() const { return FTitle; }
    void SetTitle(const String& V) { FTitle = V; }
    bool Flag() const { return FFlag; }
    void SetFlag(bool V) { FFlag = V; }
    TTestFont* Font() const { return FFont.get(); }
    TCollection* Items() const { return FItems.get(); }
    TTestFont* Missing() const { return nullptr; }

    TTestItem* Item(Integer I) const { return static_cast<TTestItem*>(FItems->Items(I)); }
    void AddItems(std::initializer_list<const char16_t*> Captions)
    {
        for (const char16_t* C : Captions) {
            auto* Item = static_cast<TTestItem*>(FItems->Add());
            Item->SetCaption(C);
            Item->Font()->SetSize(Integer(std::char_traits<char16_t>::length(C)));
        }
    }

private:
    Integer FCount = 0;
    double FRatio = 0;
    String FTitle;
    bool FFlag = false;
    TOwnedPtr<TTestFont> FFont;
    TOwnedPtr<TCollection> FItems;
};

class TTestIni : public TXIni {
    X_CLASS(TTestIni, TXIni)
public:
    Integer Width() const { return FWidth; }
    void SetWidth(Integer V) { FWidth = V; }
    void SetDefaults() override
    {
        inherited::SetDefaults();
        FWidth = 640;
    }
    Integer Loads = 0, Saves = 0;
    void AfterLoad() override { ++Loads; }
    void BeforeSave() override { ++Saves; }

private:
    Integer FWidth = 0;
};

// A frame with a command event and a form that owns one, as dialogs bind
// their frames' events by name.
class TPathFrame : public TComponent {
    X_CLASS(TPathFrame, TComponent)
public:
    String Caption() const { return FCaption; }
    void SetCaption(const String& V) { FCaption = V; }
    TEvent<void(TObject*)> OnCmdClick;

private:
    String FCaption;
};

class TPathForm : public TComponent {
    X_CLASS(TPathForm, TComponent)
public:
    using inherited::Create;
    void Create(TComponent* AOwner) override
    {
        FPages.reset(New<TCollection>(TTestItem::StaticClass()));
        inherited::Create(AOwner);
    }
    String Title() const { return FTitle; }
    void SetTitle(const String& V) { FTitle = V; }
    TCollection* Pages() const { return FPages.get(); }
    TTestFont* Font() const { return nullptr; }
    void DoCmdClick(TObject* Sender) { Clicks.push_back(Sender); }
    void DoOther() { }

    std::vector<TObject*> Clicks;

private:
    String FTitle;
    TOwnedPtr<TCollection> FPages;
};

// Every test gets a registry of its own, found through XDG_CONFIG_HOME.
class RegistryForm : public testing::Test {
protected:
    TTempFolder Config { "registry-form" };
    TScopedEnv ConfigVar { "XDG_CONFIG_HOME", Config.Path().string() };
    const String Key = u"Software\\Quorvale\\Test\\";

    void SetUp() override
    {
        SetRegistryFolder({});
        ASSERT_EQ(StringToUTF8(GetRegistryFolder()).rfind(Config.Path().string(), 0), 0u);
    }
    void TearDown() override { SetRegistryFolder({}); }

    std::vector<String> SubKeys(const String& Path)
    {
        auto Reg = MakeOwned<TRegistry>();
        std::vector<String> Names;
        if (Reg->OpenKeyReadOnly(u"\\" + Path))
            Reg->GetKeyNames(Names);
        return Names;
    }
    template<class F>
    void Write(const String& Path, F&& Body)
    {
        auto Reg = MakeOwned<TRegistry>();
        ASSERT_TRUE(Reg->OpenKey(u"\\" + Path, true));
        Body(Reg.get());
    }
};

} // namespace

X_PUBLISHED(TTestFont)
{
    X_PROP(Size, Size, SetSize);
}
X_PUBLISHED(TTestItem)
{
    X_PROP(Caption, Caption, SetCaption);
    X_PROP_READONLY(Font, Font);
}
X_PUBLISHED(TTestObject)
{
    X_PROP(Count, Count, SetCount);
    X_PROP(Ratio, Ratio, SetRatio);
    X_PROP(Title, Title, SetTitle);
    X_PROP(Flag, Flag, SetFlag);
    X_PROP_READONLY(Font, Font);
    X_PROP_READONLY(Items, Items);
    X_PROP_READONLY(Missing, Missing);
}
X_PUBLISHED(TTestIni)
{
    X_PROP(Width, Width, SetWidth);
}
X_PUBLISHED(TPathFrame)
{
    X_PROP(Caption, Caption, SetCaption);
    X_EVENT(OnCmdClick, OnCmdClick);
}
X_PUBLISHED(TPathForm)
{
    X_PROP(Title, Title, SetTitle);
    X_PROP_READONLY(Pages, Pages);
    X_PROP_READONLY(Font, Font);
    X_METHOD(DoCmdClick);
    X_METHOD(DoOther);
}
X_REGISTER_CLASS(TPathFrame)
X_REGISTER_CLASS(TPathForm)
X_REGISTER_CLASS(TTestFont)
X_REGISTER_CLASS(TTestItem)
X_REGISTER_CLASS(TTestObject)
X_REGISTER_CLASS(TTestIni)

TEST_F(RegistryForm, ListPropertyNamesSplitsValuesFromObjects)
{
    TOwnedPtr<TTestObject> Obj(New<TTestObject>());
    auto Values = MakeOwned<TStringList>(), Objects = MakeOwned<TStringList>();
    Values->Add(u"stale");
    ListPropertyNames(Obj.get(), Values.get(), Objects.get());
    EXPECT_EQ(Values->CommaText(), u"Count,Ratio,Title,Flag");
    EXPECT_EQ(Objects->CommaText(), u"Font,Items,Missing");
}

TEST_F(RegistryForm, AnObjectWithSubObjectsAndACollectionRoundTrips)
{
    TOwnedPtr<TTestObject> Saved(New<TTestObject>());
    Saved->SetCount(-7);
    Saved->SetRatio(0.1);
    Saved->SetTitle(u"Ünïcode \\ text");
    Saved->SetFlag(true);
    Saved->Font()->SetSize(11);
    Saved->AddItems({ u"a", u"bb", u"ccc", u"dddd", u"eeeee" });
    ASSERT_TRUE(SaveObjectToRegistry(Saved.get(), Key));
    // A shorter collection leaves no stale item behind, and the collection
    // key holds only the item keys.
    Saved->Items()->Clear();
    Saved->AddItems({ u"x", u"yy", u"zzz" });
    ASSERT_TRUE(SaveObjectToRegistry(Saved.get(), Key));
    EXPECT_EQ(SubKeys(Key + u"Items"), (std::vector<String> { u"Item0", u"Item1", u"Item2" }));
    EXPECT_EQ(SubKeys(Key + u"Items\\Item1"), std::vector<String> { u"Font" });

    TOwnedPtr<TTestObject> Loaded(New<TTestObject>());
    Loaded->AddItems({ u"default" });
    ASSERT_TRUE(LoadObjectFromRegistry(Loaded.get(), Key));
    EXPECT_EQ(Loaded->Count(), -7);
    EXPECT_EQ(Loaded->Ratio(), 0.1);
    EXPECT_EQ(Loaded->Title(), u"Ünïcode \\ text");
    EXPECT_TRUE(Loaded->Flag());
    EXPECT_EQ(Loaded->Font()->Size(), 11);
    // The saved items replace what the collection held.
    ASSERT_EQ(Loaded->Items()->Count(), 3);
    for (Integer I = 0; I < 3; ++I) {
        EXPECT_EQ(Loaded->Item(I)->Caption(), Saved->Item(I)->Caption());
        EXPECT_EQ(Loaded->Item(I)->Font()->Size(), I + 1);
    }
}

TEST_F(RegistryForm, LoadTakesDwordsAsNumbersIgnoresUnknownValuesAndStopsAtAnUnknownSubkey)
{
    Write(Key, [](TRegistry* R) {
        R->WriteInteger(u"Count", 42);
        R->WriteString(u"Nobody", u"x");
        R->WriteString(u"Title", u"before");
    });
    Write(Key + u"Font\\", [](TRegistry* R) { R->WriteString(u"Size", u"9"); });
    TOwnedPtr<TTestObject> Obj(New<TTestObject>());
    EXPECT_TRUE(LoadObjectFromRegistry(Obj.get(), Key));
    EXPECT_EQ(Obj->Count(), 42);
    EXPECT_EQ(Obj->Title(), u"before");
    EXPECT_EQ(Obj->Font()->Size(), 9);

    // "Ghost" sorts after "Font": what came before it stays loaded.
    Write(Key + u"Ghost\\", [](TRegistry* R) { R->WriteString(u"Size", u"1"); });
    Write(Key + u"Font\\", [](TRegistry* R) { R->WriteString(u"Size", u"12"); });
    TOwnedPtr<TTestObject> Again(New<TTestObject>());
    EXPECT_FALSE(LoadObjectFromRegistry(Again.get(), Key));
    EXPECT_EQ(Again->Count(), 42);
    EXPECT_EQ(Again->Font()->Size(), 12);

    // A missing key, and a value of the wrong kind, answer False.
    EXPECT_FALSE(LoadObjectFromRegistry(Again.get(), u"Software\\Quorvale\\None\\"));
    EXPECT_TRUE(SetPropertyText(Again.get(), u"Count", u"5"));
    EXPECT_FALSE(SetPropertyText(Again.get(), u"Count", u"five"));
    EXPECT_EQ(Again->Count(), 5);
}

TEST_F(RegistryForm, SettingsComponentsLoadSaveResetAndCountUpdates)
{
    TOwnedPtr<TTestIni> Ini(New<TTestIni>(static_cast<TComponent*>(nullptr)));
    EXPECT_FALSE(Ini->ResetFromRegistry(Key));
    EXPECT_EQ(Ini->Width(), 640);
    EXPECT_EQ(Ini->lgID(), 9u);
    EXPECT_EQ(Ini->Loads, 1);

    Ini->SetWidth(800);
    Ini->SetlgID(1031);
    Ini->SetDocType(u"kxr");
    ASSERT_TRUE(Ini->SaveToRegistry(Key));
    EXPECT_EQ(Ini->Saves, 1);
    TOwnedPtr<TTestIni> Other(New<TTestIni>(static_cast<TComponent*>(nullptr)));
    EXPECT_TRUE(Other->ResetFromRegistry(Key));
    EXPECT_EQ(Other->Width(), 800);
    EXPECT_EQ(Other->lgID(), 1031u);
    EXPECT_EQ(Other->DocType(), u"kxr");

    // Only the outermost EndUpdate tells the observers.
    std::vector<Integer> Seen;
    struct TCounter : TObject {
        std::vector<Integer>* Seen;
        TTestIni* Ini;
        void Changed(IXNotification*) { Seen->push_back(Ini->UpdateCount()); }
    } Counter;
    Counter.Seen = &Seen;
    Counter.Ini = Ini.get();
    const auto Handler = TXNotificationHandler::Of<&TCounter::Changed>(&Counter);
    Ini->Subscribe(TXChangedAspect::StaticClass(), Handler);
    Ini->BeginUpdate();
    Ini->BeginUpdate();
    Ini->EndUpdate();
    EXPECT_TRUE(Seen.empty());
    Ini->EndUpdate();
    EXPECT_EQ(Seen, std::vector<Integer> { 0 });
    Ini->UnsubscribeMethod(Handler);
}

namespace {

// A form with a frame "Frame1" and three pages, for the path cases.
struct TPathFixture {
    TOwnedPtr<TPathForm> Form { New<TPathForm>(static_cast<TComponent*>(nullptr)) };
    TPathFrame* Frame = nullptr;

    TPathFixture()
    {
        Form->SetTitle(u"form");
        Frame = New<TPathFrame>(static_cast<TComponent*>(Form.get()));
        Frame->SetName(u"Frame1");
        Frame->SetCaption(u"frame");
        for (const char16_t* Caption : { u"p0", u"p1", u"p2" }) {
            auto* Item = static_cast<TTestItem*>(Form->Pages()->Add());
            Item->SetCaption(Caption);
            Item->Font()->SetSize(Integer(Caption[1] - u'0') + 10);
        }
    }
};

} // namespace

TEST(PropertyPaths, ComponentPrefixesItemsAndSubObjects)
{
    TPathFixture F;
    struct TCase {
        const char16_t* Path;
        bool Found;
        const char16_t* Text;
    };
    const TCase Cases[] = {
        { u"Title", true, u"form" },
        { u"Frame1:Caption", true, u"frame" },
        { u"Pages[1].Caption", true, u"p1" },
        { u"Pages[2].Font.Size", true, u"12" },
        { u"Pages[ 2 ].Caption", true, u"p2" },
        // A number that does not parse counts as 0.
        { u"Pages[x].Caption", true, u"p0" },
        { u"Pages[].Caption", true, u"p0" },
        { u"Ghost:Caption", false, u"" },
        { u"Frame1:Ghost", false, u"" },
        { u"Pages[3].Caption", false, u"" },
        { u"Pages[-1].Caption", false, u"" },
        { u"Title[0].Caption", false, u"" },
        { u"Font.Size", false, u"" },
        { u"Nothing.Size", false, u"" },
        { u"Pages.", false, u"" },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(StringToUTF8(C.Path));
        String Text = u"stale";
        EXPECT_EQ(GetPropertyText(F.Form.get(), C.Path, Text), C.Found);
        EXPECT_EQ(Text, C.Text);
    }

    String Path = u"Frame1:Pages";
    EXPECT_EQ(ResolvePropertyPath(F.Form.get(), Path), F.Frame);
    EXPECT_EQ(Path, u"Pages");
    Path = u"Pages[1].Font.Size";
    EXPECT_EQ(ResolvePropertyPath(F.Form.get(), Path), static_cast<TTestItem*>(F.Form->Pages()->Items(1))->Font());
    EXPECT_EQ(Path, u"Size");
    // A prefix needs a component to look in.
    TOwnedPtr<TTestObject> Plain(New<TTestObject>());
    Path = u"Frame1:Count";
    EXPECT_EQ(ResolvePropertyPath(Plain.get(), Path), nullptr);
    EXPECT_EQ(Path, u"Frame1:Count");

    EXPECT_TRUE(SetPropertyText(F.Form.get(), u"Pages[2].Font.Size", u"30"));
    EXPECT_EQ(static_cast<TTestItem*>(F.Form->Pages()->Items(2))->Font()->Size(), 30);
    EXPECT_TRUE(SetPropertyText(F.Form.get(), u"Frame1:Caption", u"renamed"));
    EXPECT_EQ(F.Frame->Caption(), u"renamed");
    EXPECT_FALSE(SetPropertyText(F.Form.get(), u"Ghost:Caption", u"x"));
    // Booleans take numbers as a variant would.
    TOwnedPtr<TTestObject> Obj(New<TTestObject>());
    for (const auto& [Text, Flag] : { std::pair(u"1", true), std::pair(u"0", false), std::pair(u"-3", true),
             std::pair(u"false", false), std::pair(u"True", true) }) {
        EXPECT_TRUE(SetPropertyText(Obj.get(), Text, Text) == false);
        EXPECT_TRUE(SetPropertyText(Obj.get(), u"Flag", Text)) << StringToUTF8(Text);
        EXPECT_EQ(Obj->Flag(), Flag) << StringToUTF8(Text);
    }
    EXPECT_FALSE(SetPropertyText(Obj.get(), u"Flag", u"maybe"));
}

TEST(PropertyPaths, SetMethodPropertyBindsAFramesEvent)
{
    TPathFixture F;
    const TMethod Click { MethodAddress(TPathForm::StaticClass(), u"DoCmdClick"), F.Form.get() };
    ASSERT_TRUE(Click.Code);
    EXPECT_TRUE(SetMethodProperty(F.Form.get(), u"Frame1:OnCmdClick", Click));
    F.Frame->OnCmdClick(F.Frame);
    EXPECT_EQ(F.Form->Clicks, std::vector<TObject*> { F.Frame });
    String Text;
    EXPECT_TRUE(GetPropertyText(F.Form.get(), u"Frame1:OnCmdClick", Text));
    EXPECT_EQ(Text, u"DoCmdClick");

    // Not an event, not there, or a method of another signature.
    EXPECT_FALSE(SetMethodProperty(F.Form.get(), u"Frame1:Caption", Click));
    EXPECT_FALSE(SetMethodProperty(F.Form.get(), u"Frame2:OnCmdClick", Click));
    EXPECT_FALSE(SetMethodProperty(F.Form.get(), u"Frame1:OnGone", Click));
    const TMethod Other { MethodAddress(TPathForm::StaticClass(), u"DoOther"), F.Form.get() };
    EXPECT_FALSE(SetMethodProperty(F.Form.get(), u"Frame1:OnCmdClick", Other));
    EXPECT_EQ(F.Frame->OnCmdClick.Method(), Click);
    // An empty method unbinds.
    EXPECT_TRUE(SetMethodProperty(F.Form.get(), u"Frame1:OnCmdClick", TMethod {}));
    EXPECT_FALSE(F.Frame->OnCmdClick);
}

TEST_F(RegistryForm, ItemsLoadInTheOrderOfTheirNumbersIntoTheEmptiedCollection)
{
    TOwnedPtr<TTestObject> Saved(New<TTestObject>());
    Saved->AddItems({ u"i0", u"i1", u"i2", u"i3", u"i4", u"i5", u"i6", u"i7", u"i8", u"i9", u"i10", u"i11" });
    ASSERT_TRUE(SaveObjectToRegistry(Saved.get(), Key));
    // The store lists Item10 and Item11 before Item2.
    EXPECT_EQ(SubKeys(Key + u"Items")[2], u"Item10");
    // Subkeys of a collection that are no items are passed over.
    Write(Key + u"Items\\Extra\\", [](TRegistry* R) { R->WriteString(u"Caption", u"extra"); });

    TOwnedPtr<TTestObject> Loaded(New<TTestObject>());
    Loaded->AddItems({ u"default 1", u"default 2" });
    ASSERT_TRUE(LoadObjectFromRegistry(Loaded.get(), Key));
    ASSERT_EQ(Loaded->Items()->Count(), 12);
    for (Integer I = 0; I < 12; ++I)
        EXPECT_EQ(Loaded->Item(I)->Caption(), u"i" + IntToStr(I));
    // Loading again does not grow the collection.
    ASSERT_TRUE(LoadObjectFromRegistry(Loaded.get(), Key));
    EXPECT_EQ(Loaded->Items()->Count(), 12);

    // Five, then three: three item keys, three items.
    Saved->Items()->Clear();
    Saved->AddItems({ u"a", u"b", u"c", u"d", u"e" });
    ASSERT_TRUE(SaveObjectToRegistry(Saved.get(), Key));
    Saved->Items()->Clear();
    Saved->AddItems({ u"x", u"y", u"z" });
    ASSERT_TRUE(SaveObjectToRegistry(Saved.get(), Key));
    EXPECT_EQ(SubKeys(Key + u"Items"), (std::vector<String> { u"Item0", u"Item1", u"Item2" }));
    ASSERT_TRUE(LoadObjectFromRegistry(Loaded.get(), Key));
    ASSERT_EQ(Loaded->Items()->Count(), 3);
    EXPECT_EQ(Loaded->Item(2)->Caption(), u"z");
}

TEST_F(RegistryForm, ValuesOfOtherKindsArePassedOverAndDwordBooleansLoad)
{
    Write(Key, [](TRegistry* R) {
        const Byte Blob[] = { 1, 2, 3 };
        R->WriteBinaryData(u"Count", Blob, sizeof Blob);
        R->WriteBinaryData(u"Aaa", Blob, sizeof Blob);
        R->WriteInteger(u"Flag", 1);
        R->WriteString(u"Title", u"after the blobs");
    });
    TOwnedPtr<TTestObject> Obj(New<TTestObject>());
    Obj->SetCount(7);
    EXPECT_TRUE(LoadObjectFromRegistry(Obj.get(), Key));
    EXPECT_EQ(Obj->Count(), 7);
    EXPECT_TRUE(Obj->Flag());
    EXPECT_EQ(Obj->Title(), u"after the blobs");
    Write(Key, [](TRegistry* R) { R->WriteInteger(u"Flag", 0); });
    EXPECT_TRUE(LoadObjectFromRegistry(Obj.get(), Key));
    EXPECT_FALSE(Obj->Flag());
}

TEST_F(RegistryForm, ASaveIsOneWriteOfTheStore)
{
    // Create the folder and file first, so only the save's writes are seen.
    Write(Key, [](TRegistry* R) { R->WriteString(u"Title", u"old"); });
    const int Watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(Watch, 0);
    // Creations of the temporary file come between the moves, so the
    // kernel cannot merge moves that follow one another.
    ASSERT_GE(inotify_add_watch(Watch, StringToUTF8(GetRegistryFolder()).c_str(), IN_CREATE | IN_MOVED_TO), 0);
    TOwnedPtr<TTestObject> Saved(New<TTestObject>());
    Saved->SetTitle(u"new");
    Saved->AddItems({ u"a", u"b", u"c", u"d", u"e" });
    ASSERT_TRUE(SaveObjectToRegistry(Saved.get(), Key));
    Integer Writes = 0;
    alignas(inotify_event) char Buffer[4096];
    for (ssize_t N; (N = read(Watch, Buffer, sizeof Buffer)) > 0;)
        for (char* P = Buffer; P < Buffer + N;) {
            const auto* Event = reinterpret_cast<const inotify_event*>(P);
            Writes += (Event->mask & IN_MOVED_TO) && Event->len > 0 && std::string(Event->name) == "registry.txt";
            P += sizeof(inotify_event) + Event->len;
        }
    close(Watch);
    EXPECT_EQ(Writes, 1);
    TOwnedPtr<TTestObject> Loaded(New<TTestObject>());
    ASSERT_TRUE(LoadObjectFromRegistry(Loaded.get(), Key));
    EXPECT_EQ(Loaded->Title(), u"new");
    EXPECT_EQ(Loaded->Items()->Count(), 5);
}
