// The registry form of objects: values, sub-objects, collections and the
// update counter of the settings components, on a registry file under a
// temporary XDG_CONFIG_HOME.
#include "core/XEngine.h"
#include "core/XCore.Engine.Aspects.h"
#include "core/XIni.h"
#include "rtl/Collection.h"
#include "rtl/StringList.h"
#include "rtl/TypInfo.h"
#include "rtl/testing/Testing.h"
#include "win/Registry.h"
#include <gtest/gtest.h>

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
    Loaded->AddItems({ u"kept" });
    ASSERT_TRUE(LoadObjectFromRegistry(Loaded.get(), Key));
    EXPECT_EQ(Loaded->Count(), -7);
    EXPECT_EQ(Loaded->Ratio(), 0.1);
    EXPECT_EQ(Loaded->Title(), u"Ünïcode \\ text");
    EXPECT_TRUE(Loaded->Flag());
    EXPECT_EQ(Loaded->Font()->Size(), 11);
    // Loaded items are appended to those already there.
    ASSERT_EQ(Loaded->Items()->Count(), 4);
    for (Integer I = 1; I < 4; ++I) {
        EXPECT_EQ(Loaded->Item(I)->Caption(), Saved->Item(I - 1)->Caption());
        EXPECT_EQ(Loaded->Item(I)->Font()->Size(), I);
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
    EXPECT_FALSE(SetPropertyText(Again.get(), u"Font.Size", u"5"));
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
