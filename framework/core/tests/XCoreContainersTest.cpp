#include "core/XCore.Containers.h"
#include "core/XCore.DateTime.Containers.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

std::vector<Integer> ValuesOf(const TXDatesList& L)
{
    std::vector<Integer> V;
    for (Integer I = 0; I < L.Count(); ++I)
        V.push_back(L.Items(I));
    return V;
}

} // namespace

TEST(XCoreContainers, KeepRangeSortsAndCuts)
{
    const struct {
        std::vector<Integer> In;
        Integer From, To;
        std::vector<Integer> Out;
    } Cases[] = {
        { { 25, 3, 12, 20, 10 }, 10, 20, { 10, 12, 20 } },
        { { 3, 5 }, 10, 20, {} },
        { { 25, 30 }, 10, 20, {} },
        { {}, 10, 20, {} },
        { { 15 }, 15, 15, { 15 } },
        { { 9, 21 }, 10, 20, {} },
        { { 20, 10, 10 }, 10, 20, { 10, 10, 20 } },
        { { 5, 1, 3 }, 20, 10, {} }, // an empty window
        { { -5, 0, 5 }, -2147483647 - 1, 2147483647, { -5, 0, 5 } },
    };
    for (const auto& C : Cases) {
        TOwnedPtr<TXDatesList> L(New<TXDatesList>());
        for (Integer V : C.In)
            L->Add(V);
        L->KeepRange(C.From, C.To);
        EXPECT_EQ(ValuesOf(*L), C.Out) << C.From << ".." << C.To;
    }
}

TEST(XCoreContainers, NameValuesFoundWithoutCase)
{
    TOwnedPtr<TXNameValueCollection> Info(New<TXNameValueCollection>(static_cast<TPersistent*>(nullptr)));
    Info->SetValue(u"Class", u"A");
    Info->SetValue(u"UID", u"1");
    const struct {
        const char16_t* Name;
        const char16_t* Set; // null: only read
        const char16_t* Expected;
        Integer Count;
    } Steps[] = {
        { u"class", u"B", u"B", 2 },
        { u"CLASS", nullptr, u"B", 2 },
        { u"Missing", nullptr, u"", 2 },
        { u"ParentUID", u"", u"", 3 },
        { u"uid", nullptr, u"1", 3 },
    };
    for (const auto& S : Steps) {
        if (S.Set)
            Info->SetValue(S.Name, S.Set);
        EXPECT_EQ(Info->GetValue(S.Name), S.Expected) << StringToUTF8(S.Name);
        EXPECT_EQ(Info->Count(), S.Count) << StringToUTF8(S.Name);
    }
    EXPECT_EQ(Info->Items(0)->Name(), u"Class") << "the first spelling stays";
    EXPECT_EQ(Info->FindByName(u"nothing"), nullptr);

    // A copy carries names and values.
    TOwnedPtr<TXNameValueCollection> Copy(New<TXNameValueCollection>(static_cast<TPersistent*>(nullptr)));
    Copy->Assign(Info.get());
    ASSERT_EQ(Copy->Count(), 3);
    EXPECT_EQ(Copy->Items(1)->Name(), u"UID");
    EXPECT_EQ(Copy->Items(1)->Value(), u"1");
}

TEST(XCoreContainers, IntegerCollectionAddAndFind)
{
    TOwnedPtr<TXIntegerCollection> L(New<TXIntegerCollection>(static_cast<TPersistent*>(nullptr)));
    L->Add(-1);
    L->Add(31);
    L->Add(-1);
    EXPECT_EQ(L->Find(-1), L->Items(0));
    EXPECT_EQ(L->Find(31), L->Items(1));
    EXPECT_EQ(L->Find(0), nullptr);
}
