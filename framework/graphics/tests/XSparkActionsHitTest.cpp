#include "core/XCore.ComponentText.h"
#include "core/XCore.XMLObjects.h"
#include "core/XEngine.h"
#include "core/XPlatform.Utils.h"
#include "core/XSpark.App.h"
#include "graphics/XSpark.Actions.Hit.h"
#include "rtl/StrUtils.h"
#include "rtl/testing/Testing.h"
#include "win/ShellExecute.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>

namespace fs = std::filesystem;
using Testing::TScopedEnv;
using Testing::TTempFolder;
using TArgs = Testing::TRecorder::TArgs;

namespace {

// The owner of a hit collection: its published handlers log what they see.
class THitSink : public TComponent {
    X_CLASS(THitSink, TComponent)
public:
    void Create(TComponent* AOwner) override
    {
        inherited::Create(AOwner);
        Hits.reset(New<TXHitCollection>(this));
        auto Bind = [this](auto& Event, const char16_t* Name) {
            Event.SetMethod(TMethod { MethodAddress(ClassType(), Name), this });
        };
        Bind(Hits->OnHit, u"Hit");
        Bind(Hits->OnHandleHit, u"HandleHit");
    }
    TXHitCollection* Items() const { return Hits.get(); }

    void Hit(TObject* Owner, TXHitItem* Item)
    {
        Log.push_back("hit " + StringToUTF8(Item->DisplayName()) + (Owner == this ? "" : " (other owner)"));
        if (FreeOnHit)
            Hits->Delete(Item->Index());
    }
    void HandleHit(TObject* Owner, TXHitItem* Item, bool& Handled)
    {
        Log.push_back("handle " + StringToUTF8(Item->DisplayName()));
        Handled = HandleAll;
        if (FreeOnHandle)
            Hits->Delete(Item->Index());
    }

    TOwnedPtr<TXHitCollection> Hits;
    std::vector<std::string> Log;
    bool HandleAll = false;
    bool FreeOnHandle = false;
    bool FreeOnHit = false;
};
X_REGISTER_CLASS(THitSink)
X_PUBLISHED(THitSink)
{
    X_PROP_READONLY(Items, Items);
    X_METHOD(Hit);
    X_METHOD(HandleHit);
}

// Hit items as stored data.
class THitHolder : public TXPersistent {
    X_CLASS(THitHolder, TXPersistent)
public:
    void Init() override
    {
        inherited::Init();
        Hits.reset(New<TXHitCollection>(this));
    }
    bool AssignFrom(TPersistent* Source) override
    {
        if (auto* Other = DynamicCast<THitHolder>(Source))
            Hits->Assign(Other->Hits.get());
        return inherited::AssignFrom(Source);
    }
    TXHitCollection* Items() const { return Hits.get(); }

    TOwnedPtr<TXHitCollection> Hits;
};
X_REGISTER_CLASS(THitHolder)
X_PUBLISHED(THitHolder)
{
    X_PROP_READONLY(Items, Items);
}

// A recording xdg-open first on PATH and a data folder with a recording
// program in it.
class HitItems : public testing::Test {
protected:
    void SetUp() override
    {
        Sink.reset(New<THitSink>(nullptr));
        QVApp()->SetDataFolder(UTF8ToString(Data.Path().string() + "/"));
    }
    void TearDown() override { QVApp()->SetDataFolder(u""); }

    TXHitItem* AddItem(const char16_t* Name, TXHitType Hit, const String& Command, const String& Args)
    {
        TXHitItem* Item = Sink->Hits->Add();
        Item->SetDisplayName(Name);
        Item->SetHit(Hit);
        Item->SetCommand(Command);
        Item->SetArgs(Args);
        return Item;
    }
    std::vector<TArgs> Opened()
    {
        WaitForStartedPrograms();
        auto Runs = Opener.Runs();
        std::sort(Runs.begin(), Runs.end());
        return Runs;
    }

    TTempFolder Bin;
    Testing::TRecorder Opener { Bin / "xdg-open", Bin / "opened" };
    TScopedEnv Path { "PATH", Bin.Path().string() + ":" + std::getenv("PATH") };
    TTempFolder Data;
    Testing::TRecorder Tool { Data / "tool", Data / "ran" };
    TOwnedPtr<THitSink> Sink;
};

}

TEST(HitTypes, EachKindHasItsCursorAndHitTestCode)
{
    struct {
        TXHitType Hit;
        TCursor Cursor;
        Integer Code;
    } const Cases[] = {
        { xhtNone, crDefault, 0 },
        { xhtClient, crDefault, 1 },
        { xhtCaption, crXHMove, 2 },
        { xhtSysMenu, crXHPoint, 3 },
        { xhtSize, crSizeNWSE, 4 },
        { xhtMenu, crDefault, 5 },
        { xhtHScroll, crDefault, 6 },
        { xhtVScroll, crDefault, 7 },
        { xhtMin, crXHPoint, 8 },
        { xhtMax, crXHPoint, 9 },
        { xhtLeft, crSizeWE, 10 },
        { xhtRight, crSizeWE, 11 },
        { xhtTop, crSizeNS, 12 },
        { xhtTopLeft, crSizeNWSE, 13 },
        { xhtTopRight, crSizeNESW, 14 },
        { xhtBottom, crSizeNS, 15 },
        { xhtBottomLeft, crSizeNESW, 16 },
        { xhtBottomRight, crSizeNWSE, 17 },
        { xhtBorder, crDefault, 18 },
        { xhtObject, crXHPoint, 19 },
        { xhtClose, crXHPoint, 20 },
        { xhtHelp, crXHPoint, 21 },
        { xhtRoll, crXHPoint, 1 },
        { xhtTray, crXHPoint, 1 },
        { xhtExe, crXHPoint, 1 },
        { xhtMail, crXHPoint, 1 },
        { xhtWeb, crXHPoint, 1 },
        { xhtDownload, crXHPoint, 1 },
        { xhtCgiDownload, crXHPoint, 1 },
        { xhtReserved, crXHPoint, 1 },
        { xhtCustom, crXHPoint, 1 },
    };
    ASSERT_EQ(std::size(Cases), size_t(xhtCount));
    TOwnedPtr<TXHitCollection> Hits(New<TXHitCollection>(static_cast<TPersistent*>(nullptr)));
    TXHitItem* Item = Hits->Add();
    for (const auto& C : Cases) {
        SCOPED_TRACE(StringToUTF8(GetEnumName(TypeInfoOf<TXHitType>(), C.Hit)));
        Item->SetHit(C.Hit);
        EXPECT_EQ(Item->Cursor(), C.Cursor);
        EXPECT_EQ(HitTypeToNCHitTest(C.Hit), C.Code);
    }
    // A cursor set by hand stays until Hit is set again.
    Item->SetHit(xhtLeft);
    Item->SetCursor(crHandPoint);
    EXPECT_EQ(Item->Cursor(), crHandPoint);
    Item->SetHit(xhtLeft);
    EXPECT_EQ(Item->Cursor(), crSizeWE);
    // Values beyond the kinds never index the table.
    for (Integer Bad : { -1, 31, 255 })
        EXPECT_EQ(HitTypeCursor(Bad), crDefault) << Bad;
    Item->SetHit(TXHitType(31));
    EXPECT_EQ(Item->Hit(), xhtLeft);
    EXPECT_EQ(Item->Cursor(), crSizeWE);
}

TEST_F(HitItems, WebMailAndProgramsStartThroughTheShellWithExactArguments)
{
    AddItem(u"web", xhtWeb, u"", u"https://example.com/<low>A B");
    AddItem(u"mail", xhtMail, u"", u"mailto:ann@example.com");
    AddItem(u"mail2", xhtMail, u"", u"bob@example.com");
    AddItem(u"exe", xhtExe, u"<data>tool", u"<data>in.txt \"two words\" --x");
    AddItem(u"empty web", xhtWeb, u"https://x/", u"");
    AddItem(u"empty exe", xhtExe, u"", u"<data>tool");
    AddItem(u"custom", xhtCustom, u"cmd", u"args");
    std::vector<bool> Answers;
    for (Integer I = 0; I < Sink->Hits->Count(); ++I)
        Answers.push_back(Sink->Hits->Items(I)->Execute());
    EXPECT_EQ(Answers, (std::vector<bool> { true, true, true, true, false, false, false }));

    const std::vector<TArgs> Expected = { { "https://example.com/a b" }, { "mailto:ann@example.com" },
        { "mailto:bob@example.com" } };
    auto Sorted = Expected;
    std::sort(Sorted.begin(), Sorted.end());
    EXPECT_EQ(Opened(), Sorted);
    EXPECT_EQ(Tool.Runs(), (std::vector<TArgs> { { Data.Path().string() + "/in.txt", "two words", "--x" } }));
    // Each was offered to OnHandleHit; what nobody handled went to OnHit.
    EXPECT_EQ(Sink->Log,
        (std::vector<std::string> { "handle web", "handle mail", "handle mail2", "handle exe", "handle empty web",
            "hit empty web", "handle empty exe", "hit empty exe", "handle custom", "hit custom" }));
}

TEST_F(HitItems, AHandledHitStopsTheItemAndOnHit)
{
    TXHitItem* Web = AddItem(u"web", xhtWeb, u"", u"https://example.com/");
    Sink->HandleAll = true;
    EXPECT_TRUE(Web->Execute());
    EXPECT_EQ(Sink->Log, (std::vector<std::string> { "handle web" }));
    EXPECT_TRUE(Opened().empty());

    // ExecuteOr calls its handler only for what nobody handled.
    Sink->HandleAll = false;
    Sink->Log.clear();
    std::vector<String> Fallback;
    TXHitItem* Custom = AddItem(u"custom", xhtCustom, u"", u"");
    Web->ExecuteOr([&](TXHitItem* I) { Fallback.push_back(I->DisplayName()); });
    Custom->ExecuteOr([&](TXHitItem* I) { Fallback.push_back(I->DisplayName()); });
    EXPECT_EQ(Fallback, (std::vector<String> { u"custom" }));
    EXPECT_EQ(Opened(), (std::vector<TArgs> { { "https://example.com/" } }));

    // Outside a collection an item runs its own kinds only.
    TOwnedPtr<TXHitCollection> Other(New<TXHitCollection>(static_cast<TPersistent*>(nullptr)));
    TXHitItem* Lone = Other->Add();
    Lone->SetHit(xhtCustom);
    EXPECT_FALSE(Lone->Execute());
}

TEST_F(HitItems, AHandlerMayFreeTheItem)
{
    // Freed while it was being handled, and while nobody handled it.
    Sink->FreeOnHandle = true;
    Sink->HandleAll = true;
    EXPECT_TRUE(AddItem(u"a", xhtCustom, u"", u"")->Execute());
    Sink->HandleAll = false;
    EXPECT_FALSE(AddItem(u"b", xhtWeb, u"", u"https://example.com/")->Execute());
    Sink->FreeOnHandle = false;
    Sink->FreeOnHit = true;
    bool Called = false;
    AddItem(u"c", xhtCustom, u"", u"")->ExecuteOr([&](TXHitItem*) { Called = true; });
    EXPECT_FALSE(Called);
    EXPECT_EQ(Sink->Hits->Count(), 0);
    EXPECT_EQ(Sink->Log, (std::vector<std::string> { "handle a", "handle b", "handle c", "hit c" }));
    EXPECT_TRUE(Opened().empty());
}

TEST(HitItemData, AKindOutsideTheRangeIsRefusedInEveryStoredForm)
{
    TOwnedPtr<THitHolder> Sink(New<THitHolder>());
    TXHitItem* Item = Sink->Hits->Add();
    Item->SetDisplayName(u"spot");
    Item->SetHit(xhtWeb);
    Item->SetArgs(u"https://example.com/");

    // Text form: by name and by number.
    String Text;
    ASSERT_TRUE(SaveObjectToText(Sink.get(), Text, true, false, nullptr));
    ASSERT_NE(Text.find(u"Hit = xhtWeb"), String::npos) << StringToUTF8(Text);
    // The bad value is skipped; the rest of the item loads.
    for (const char16_t* Value : { u"Hit = 31", u"Hit = 255", u"Hit = -1" }) {
        SCOPED_TRACE(StringToUTF8(Value));
        TOwnedPtr<THitHolder> Loaded(New<THitHolder>());
        LoadObjectFromText(Loaded.get(), StringReplace(Text, u"Hit = xhtWeb", Value, {}), nullptr, false);
        ASSERT_EQ(Loaded->Hits->Count(), 1);
        EXPECT_EQ(Loaded->Hits->Items(0)->Hit(), xhtNone);
        EXPECT_EQ(Loaded->Hits->Items(0)->Args(), u"https://example.com/");
    }
    TOwnedPtr<THitHolder> Good(New<THitHolder>());
    ASSERT_TRUE(LoadObjectFromText(Good.get(), StringReplace(Text, u"Hit = xhtWeb", u"Hit = 25", {}), nullptr, false));
    ASSERT_EQ(Good->Hits->Count(), 1);
    EXPECT_EQ(Good->Hits->Items(0)->Hit(), xhtMail);
    EXPECT_EQ(Good->Hits->Items(0)->Cursor(), crXHPoint);

    // XML form: names only.
    const String Xml = ObjectToXMLText(Sink.get(), false);
    ASSERT_NE(Xml.find(u">xhtWeb<"), String::npos) << StringToUTF8(Xml);
    for (const char16_t* Value : { u">31<", u">26<", u">xhtNowhere<" }) {
        SCOPED_TRACE(StringToUTF8(Value));
        TOwnedPtr<THitHolder> Loaded(New<THitHolder>());
        LoadObjectFromXMLText(Loaded.get(), StringReplace(Xml, u">xhtWeb<", Value, {}));
        ASSERT_EQ(Loaded->Hits->Count(), 1);
        EXPECT_EQ(Loaded->Hits->Items(0)->Hit(), xhtNone);
    }

    // Registry form: a value's text.
    EXPECT_FALSE(SetPropertyText(Item, u"Hit", u"31"));
    EXPECT_FALSE(SetPropertyText(Item, u"Hit", u"xhtNowhere"));
    EXPECT_EQ(Item->Hit(), xhtWeb);
    EXPECT_TRUE(SetPropertyText(Item, u"Hit", u"xhtLeft"));
    EXPECT_EQ(Item->Cursor(), crSizeWE);
}

TEST(HitAspect, CopiesTheItem)
{
    TOwnedPtr<TXHitCollection> Hits(New<TXHitCollection>(static_cast<TPersistent*>(nullptr)));
    TXHitItem* Item = Hits->Add();
    Item->SetDisplayName(u"Print");
    Item->SetHit(xhtCustom);
    Item->SetCommand(u"print");
    Item->SetArgs(u"2");
    TOwnedPtr<TXHitAspect> A(New<TXHitAspect>(3, Item));
    EXPECT_EQ(A->Monitor, 3);
    EXPECT_EQ(A->Hit, xhtCustom);
    EXPECT_EQ(A->Name, u"Print");
    EXPECT_EQ(A->Command, u"print");
    EXPECT_EQ(A->Args, u"2");

    // Assignment copies everything but the collection.
    TXHitItem* Copy = Hits->Add();
    Item->SetCursor(crHandPoint);
    Item->SetCaption(u"Cap");
    Item->SetHint(u"Tip");
    Copy->Assign(Item);
    EXPECT_EQ(Copy->DisplayName(), u"Print");
    EXPECT_EQ(Copy->Hit(), xhtCustom);
    EXPECT_EQ(Copy->Cursor(), crHandPoint);
    EXPECT_EQ(Copy->Caption(), u"Cap");
    EXPECT_EQ(Copy->Command(), u"print");
    EXPECT_EQ(Copy->Args(), u"2");
    EXPECT_EQ(Copy->Hint(), u"Tip");
}

namespace {

// The owner of an area collection: logs the area events.
class TAreaSink : public TComponent {
    X_CLASS(TAreaSink, TComponent)
public:
    void Create(TComponent* AOwner) override
    {
        inherited::Create(AOwner);
        Areas.reset(New<XSpark::Actions::Hit::TXAreaCollection>(this));
        for (const char16_t* Name : { u"Hit", u"AreaSelected", u"AreaDeselected" }) {
            const TMethod M { MethodAddress(ClassType(), Name), this };
            if (Name == StringView(u"Hit"))
                Areas->OnHit.SetMethod(M);
            else if (Name == StringView(u"AreaSelected"))
                Areas->OnAreaSelected.SetMethod(M);
            else
                Areas->OnAreaDeselected.SetMethod(M);
        }
    }
    void Hit(TObject* Owner, TXHitItem* Item)
    {
        Log.push_back("hit " + StringToUTF8(Item->DisplayName()));
        if (FreeOnHit)
            Areas->Delete(Item->Index());
    }
    bool FreeOnHit = false;
    void AreaSelected(TObject* Owner, TXHitAreaItem* Item)
    {
        Log.push_back("selected " + StringToUTF8(Item->DisplayName()));
    }
    void AreaDeselected(TObject* Owner, TXHitAreaItem* Item)
    {
        Log.push_back("deselected " + StringToUTF8(Item->DisplayName()));
    }

    TOwnedPtr<XSpark::Actions::Hit::TXAreaCollection> Areas;
    std::vector<std::string> Log;
};
X_REGISTER_CLASS(TAreaSink)
X_PUBLISHED(TAreaSink)
{
    X_METHOD(Hit);
    X_METHOD(AreaSelected);
    X_METHOD(AreaDeselected);
}

}

TEST(HitAreas, StateFlagsGiveThePaintStateAndTheOnFlagRunsTheItemEveryTime)
{
    TOwnedPtr<TAreaSink> Sink(New<TAreaSink>(nullptr));
    auto* Area = static_cast<TXHitAreaItem*>(Sink->Areas->Add());
    Area->SetDisplayName(u"spot");
    Area->SetHit(xhtCustom);
    EXPECT_EQ(Area->State(), 0);
    EXPECT_EQ(Area->PaintState(), cstOff);

    EXPECT_TRUE(Area->IncludeState(2)); // hot
    EXPECT_EQ(Area->PaintState(), cstHot);
    EXPECT_FALSE(Area->IncludeState(3)); // a flag without meaning
    EXPECT_EQ(Area->State(), 0x0C);
    EXPECT_FALSE(Area->IncludeState(8)); // no such flag
    EXPECT_FALSE(Area->ExcludeState(-1));
    EXPECT_EQ(Area->State(), 0x0C);

    EXPECT_TRUE(Area->IncludeState(4)); // on: hot and on
    EXPECT_EQ(Area->PaintState(), cstHotOn);
    EXPECT_FALSE(Area->IncludeState(4)); // again: no change, but it runs again
    EXPECT_FALSE(Area->IncludeState(6)); // pressed does not count when on
    EXPECT_EQ(Area->PaintState(), cstHotOn);
    EXPECT_TRUE(Area->IsEnabled());
    EXPECT_TRUE(Area->IncludeState(1));
    EXPECT_FALSE(Area->IsEnabled());
    EXPECT_EQ(Area->PaintState(), cstDisOn);
    EXPECT_TRUE(Area->ExcludeState(4));
    EXPECT_EQ(Area->PaintState(), cstDis);
    EXPECT_EQ(Sink->Log,
        (std::vector<std::string> { "hit spot", "selected spot", "hit spot", "selected spot", "deselected spot" }));
}

TEST(HitAreas, AreaTextAssignmentAndSortingByName)
{
    TOwnedPtr<TAreaSink> Sink(New<TAreaSink>(nullptr));
    XSpark::Actions::Hit::TXAreaCollection* Areas = Sink->Areas.get();
    Sink->Areas->SortByName(); // empty: nothing happens
    for (const char16_t* Name : { u"b", u"C", u"a", u"B" }) {
        auto* A = static_cast<TXHitAreaItem*>(Areas->Add());
        A->SetDisplayName(Name);
        A->SetArea(u"1,2,30,40");
    }
    auto* First = static_cast<TXHitAreaItem*>(Areas->Items(0));
    EXPECT_EQ(First->Rect(), Rect(1, 2, 30, 40));
    First->SetRect(Rect(-5, 0, 7, 9));
    EXPECT_EQ(First->Area(), u"-5,0,7,9");
    First->IncludeState(7);
    auto* Copy = static_cast<TXHitAreaItem*>(Areas->Items(3));
    Copy->Assign(First);
    EXPECT_EQ(Copy->Rect(), Rect(-5, 0, 7, 9));
    EXPECT_EQ(Copy->State(), 0x80);
    EXPECT_EQ(Copy->PaintState(), cstFocus);
    Copy->SetDisplayName(u"B");

    Areas->SortByName();
    std::vector<String> Names;
    for (Integer I = 0; I < Areas->Count(); ++I)
        Names.push_back(Areas->Items(I)->DisplayName());
    // Ignoring case; equal names keep their order.
    EXPECT_EQ(Names, (std::vector<String> { u"a", u"b", u"B", u"C" }));
    EXPECT_EQ(Areas->Items(1), First);
    EXPECT_EQ(Areas->Items(2), Copy);
}
