#include "core/XCore.Strings.Containers.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

using TTexts = std::vector<std::pair<Cardinal, const char16_t*>>;

TOwnedPtr<TXStringCollection<>> Collection(const TTexts& Texts, Cardinal Default = 0)
{
    TOwnedPtr<TXStringCollection<>> C(New<TXStringCollection<>>(static_cast<TPersistent*>(nullptr)));
    C->SetLgID(Default);
    for (auto [LgID, Text] : Texts)
        C->SetText(LgID, Text);
    return C;
}

}

TEST(XStringCollection, TextForALanguageWithItsFallbacks)
{
    struct TCase {
        const char* What;
        TTexts Texts;
        Cardinal Default;
        Cardinal Asked;
        const char16_t* WithFallback;
        const char16_t* Exact;
    };
    const TCase Cases[] = {
        { "exact language", { { 1031, u"de" }, { 9, u"en" } }, 0, 1031, u"de", u"de" },
        { "English last", { { 1031, u"de" }, { 9, u"en" } }, 0, 1036, u"en", u"" },
        { "primary language", { { 1031, u"de" }, { 9, u"en" } }, 0, 2055, u"de", u"" },
        { "primary item itself", { { 7, u"de" }, { 9, u"en" } }, 0, 2055, u"de", u"" },
        { "bare primary item first", { { 1031, u"de-DE" }, { 7, u"de" } }, 0, 2055, u"de", u"" },
        { "neutral is no primary language", { { 0, u"neutral" }, { 9, u"en" } }, 0, 0x0400, u"neutral", u"" },
        { "collection language before neutral", { { 0, u"neutral" }, { 1036, u"fr" } }, 1036, 1031, u"fr", u"" },
        { "neutral before English", { { 9, u"en" }, { 0, u"neutral" } }, 0, 1036, u"neutral", u"" },
        { "nothing at all", { { 1031, u"de" } }, 0, 1036, u"", u"" },
        { "English collection skips the English step", { { 1031, u"de" } }, 9, 1036, u"", u"" },
        { "empty collection", {}, 0, 9, u"", u"" },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        auto Texts = Collection(C.Texts, C.Default);
        EXPECT_EQ(Texts->GetText(C.Asked, true), C.WithFallback);
        EXPECT_EQ(Texts->GetText(C.Asked, false), C.Exact);
    }
}

TEST(XStringCollection, EnglishStepFollowsTheFlag)
{
    auto Texts = Collection({ { 1031, u"de" }, { 9, u"en" } });
    EXPECT_EQ(Texts->IndexOfLgIDFallback(1036, true), 1);
    EXPECT_EQ(Texts->IndexOfLgIDFallback(1036, false), -1);
}

TEST(XStringCollection, SetTextReplacesTheTextOfItsLanguage)
{
    auto Texts = Collection({});
    Texts->SetText(9, u"");
    EXPECT_EQ(Texts->Count(), 1);
    EXPECT_TRUE(Texts->IsEmpty());
    Texts->SetText(9, u"Calendar");
    Texts->SetText(1031, u"Kalender");
    Texts->SetText(9, u"Wall calendar");
    EXPECT_EQ(Texts->Count(), 2);
    EXPECT_FALSE(Texts->IsEmpty());
    EXPECT_EQ(Texts->GetText(9, false), u"Wall calendar");
    EXPECT_EQ(Texts->Items(1)->LgID(), 1031u);
}

TEST(XStringCollection, ItemsCopyTextAndLanguageButNotColour)
{
    TOwnedPtr<TXColorStringCollection<>> Texts(New<TXColorStringCollection<>>(static_cast<TPersistent*>(nullptr)));
    TXColorStringItem* Source = Texts->Add();
    EXPECT_EQ(Source->Color(), TXColorStringItem::clNone);
    Source->SetName(u"title");
    Source->SetLgID(1031);
    Source->SetS(u"Kalender");
    Source->SetColor(0x0000FF);
    TXColorStringItem* Target = Texts->Add();
    Target->SetColor(0x00FF00);
    Target->Assign(Source);
    EXPECT_EQ(Target->s(), u"Kalender");
    EXPECT_EQ(Target->LgID(), 1031u);
    EXPECT_EQ(Target->GetName(), u"title");
    EXPECT_EQ(Target->Color(), 0x00FF00);

    Target->Clear();
    EXPECT_EQ(Target->s(), u"");
    EXPECT_EQ(Target->LgID(), 0u);
}

TEST(XStringCollection, ItemClassAndStoredText)
{
    // An item class outside the collection's is replaced by its own.
    TOwnedPtr<TXStringCollection<>> Plain(
        New<TXStringCollection<>>(static_cast<TPersistent*>(nullptr), TXLocalizedCollectionItem::StaticClass()));
    EXPECT_EQ(Plain->ItemClass(), TXStringItem::StaticClass());
    ASSERT_NE(Plain->LgObject(), nullptr);

    TOwnedPtr<TXColorStringCollection<>> Storable(
        New<TXColorStringCollection<>>(static_cast<TPersistent*>(nullptr), TXStorableColorStringItem::StaticClass()));
    TXColorStringItem* Item = Storable->Add();
    ASSERT_EQ(Item->ClassType(), TXStorableColorStringItem::StaticClass());
    const TPropInfo* Text = GetPropInfo(Item, u"s");
    ASSERT_NE(Text, nullptr);
    EXPECT_TRUE(IsStoredProp(Item, Text));
    auto Store = Supports<IXDataStorable>(Item);
    ASSERT_TRUE(Store);
    Store->SetStoreData(false);
    EXPECT_FALSE(Item->StoreData());
    EXPECT_FALSE(IsStoredProp(Item, Text));
    EXPECT_FALSE(Supports<IXDataStorable>(Plain->Add()));

    std::vector<String> Names;
    for (const TPropInfo* P : GetPropList(TXColorStringItem::StaticClass()))
        Names.push_back(P->Name);
    EXPECT_EQ(Names, (std::vector<String> { u"LgID", u"Name", u"s", u"Color" }));
}
