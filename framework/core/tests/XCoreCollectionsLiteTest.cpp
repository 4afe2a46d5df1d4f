#include "core/XCore.Collections.Lite.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <memory>

namespace {

template<class L>
TOwnedPtr<L> Make()
{
    return MakeOwned<L>();
}

using TInts = TXLiteList<Integer>;

TOwnedPtr<TInts> IntsOf(std::initializer_list<Integer> Values)
{
    auto List = Make<TInts>();
    for (Integer V : Values)
        List->Add(V);
    return List;
}

std::vector<Integer> Contents(TInts& List)
{
    std::vector<Integer> Result;
    for (Integer I = 0; I < List.Count(); ++I)
        Result.push_back(List.Items(I));
    return Result;
}

void ExpectOutOfRange(const std::function<void()>& Fn)
{
    try {
        Fn();
        ADD_FAILURE() << "no exception";
    } catch (const EArgumentOutOfRangeException& E) {
        EXPECT_EQ(E.Message(), u"Argument out of range");
    }
}

}

TEST(XLiteList, GrowsFromExactNeedThenByDoubling)
{
    auto List = Make<TInts>();
    std::vector<Integer> Capacities;
    for (Integer I = 0; I < 9; ++I) {
        List->Add(I);
        Capacities.push_back(List->Capacity());
    }
    EXPECT_EQ(Capacities, (std::vector<Integer> { 1, 2, 4, 4, 8, 8, 8, 8, 16 }));

    List->SetCount(20); // above the capacity: exactly that size
    EXPECT_EQ(List->Capacity(), 20);
    EXPECT_EQ(List->Items(19), 0);
    List->Clear();
    EXPECT_EQ(List->Count(), 0);
    EXPECT_EQ(List->Capacity(), 0);
}

TEST(XLiteList, CapacityWithBit30CannotDouble)
{
    if (Testing::SanitizedBuild)
        GTEST_SKIP() << "a list of a GiB: checked in the optimised build";
    // An element of no size keeps the test cheap in memory.
    struct TEmpty {
        auto operator<=>(const TEmpty&) const = default;
    };
    auto List = Make<TXLiteList<TEmpty>>();
    List->SetCapacity(0x40000000);
    List->SetCount(0x40000000);
    EXPECT_THROW(List->Add(TEmpty {}), EOutOfMemory);
    EXPECT_EQ(List->Count(), 0x40000000);
}

TEST(XLiteList, LoweringCapacityDropsItemsAbove)
{
    auto List = IntsOf({ 1, 2, 3, 4 });
    List->SetCapacity(2);
    EXPECT_EQ(Contents(*List), (std::vector<Integer> { 1, 2 }));
    List->SetCount(4); // the dropped slots come back empty
    EXPECT_EQ(Contents(*List), (std::vector<Integer> { 1, 2, 0, 0 }));
}

TEST(XLiteList, DeleteAndDeleteRange)
{
    struct TCase {
        Integer Index, N;
        std::vector<Integer> Expected;
    };
    const TCase Cases[] = {
        { 0, 1, { 2, 3, 4 } },
        { 1, 2, { 1, 4 } },
        { 2, 2, { 1, 2 } },
        { 4, 0, { 1, 2, 3, 4 } },
        { 0, 4, {} },
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.Index << "," << C.N);
        auto List = IntsOf({ 1, 2, 3, 4 });
        List->DeleteRange(C.Index, C.N);
        EXPECT_EQ(Contents(*List), C.Expected);
        // The freed slots are empty again.
        List->SetCount(4);
        for (Integer I = static_cast<Integer>(C.Expected.size()); I < 4; ++I)
            EXPECT_EQ(List->Items(I), 0);
    }
    auto List = IntsOf({ 1, 2, 3 });
    List->Delete(1);
    EXPECT_EQ(Contents(*List), (std::vector<Integer> { 1, 3 }));
}

TEST(XLiteList, IndexAndCountErrors)
{
    auto List = IntsOf({ 1, 2 });
    List->DeleteRange(2, 0); // empty range at the end does nothing
    EXPECT_EQ(List->Count(), 2);
    ExpectOutOfRange([&] { List->Delete(2); });
    ExpectOutOfRange([&] { List->Delete(-1); });
    ExpectOutOfRange([&] { List->DeleteRange(-1, 1); });
    ExpectOutOfRange([&] { List->DeleteRange(1, -1); });
    ExpectOutOfRange([&] { List->DeleteRange(1, 2); });
    ExpectOutOfRange([&] { List->DeleteRange(1, 0x7FFFFFFF); }); // Index + N overflows
    ExpectOutOfRange([&] { List->SetCount(-1); });
    ExpectOutOfRange([&] { (void)List->Items(2); });
    EXPECT_EQ(Contents(*List), (std::vector<Integer> { 1, 2 }));
}

TEST(XLiteList, NonTrivialItemsAreReleasedWhenDeleted)
{
    auto Shared = std::make_shared<int>(7);
    auto List = Make<TXLiteList<std::shared_ptr<int>>>();
    List->Add(Shared);
    List->Add(Shared);
    List->Add(Shared);
    EXPECT_EQ(Shared.use_count(), 4);
    List->Delete(0);
    EXPECT_EQ(Shared.use_count(), 3);
    List->DeleteRange(0, 2);
    EXPECT_EQ(Shared.use_count(), 1);
    List->Add(Shared);
    List.reset();
    EXPECT_EQ(Shared.use_count(), 1);
}

TEST(XLiteList, AddingAnItemOfTheListItselfWhileGrowing)
{
    auto List = Make<TXLiteList<String>>();
    List->Add(u"first item long enough to live on the heap");
    List->Add(*List->GetPItem(0)); // the array moves while adding
    EXPECT_EQ(List->Items(1), List->Items(0));
}

TEST(XLiteList, LookupsUseTheComparer)
{
    auto List = IntsOf({ 5, 7, 5 });
    EXPECT_EQ(List->IndexOf(5), 0);
    EXPECT_EQ(List->IndexOf(9), -1);
    EXPECT_EQ(List->AddUnique(7), 1);
    EXPECT_EQ(List->AddUnique(9), 3);

    // A comparer that sees only the last digit.
    auto ByLastDigit =
        TComparer<Integer>::Construct([](const Integer& L, const Integer& R) { return (L % 10) - (R % 10); });
    auto Digits = MakeOwned<TInts>(ByLastDigit);
    Digits->Add(13);
    EXPECT_EQ(Digits->IndexOf(23), 0);
    EXPECT_EQ(Digits->AddUnique(3), 0);
}

TEST(XLiteList, ErrorRaisesListErrorWithTheNumber)
{
    auto List = Make<TInts>();
    try {
        List->Error(RtlText::ListIndexError, 12);
        ADD_FAILURE();
    } catch (const EListError& E) {
        EXPECT_EQ(E.Message(), u"List index out of bounds (12)");
    }
}

TEST(XLitePairs, KeyLookupsAndValues)
{
    auto Pairs = Make<TXLitePairs<Cardinal, String>>();
    Pairs->Add(1, u"one");
    Pairs->Add(2, u"two");
    Pairs->Add(1, u"again"); // Add does not look
    EXPECT_EQ(Pairs->Count(), 3);
    EXPECT_EQ(Pairs->IndexOfKey(1), 0);
    EXPECT_EQ(Pairs->IndexOfKey(3), -1);
    EXPECT_EQ(Pairs->GetValue(2), u"two");
    EXPECT_EQ(Pairs->GetValue(3), u"");

    Pairs->SetValue(2, u"zwei");
    Pairs->SetValue(4, u"four");
    EXPECT_EQ(Pairs->GetValue(2), u"zwei");
    EXPECT_EQ(Pairs->IndexOfKey(4), 3);

    Pairs->Remove(1);
    Pairs->Remove(9);
    EXPECT_EQ(Pairs->GetValue(1), u"again");
    EXPECT_EQ(Pairs->Count(), 3);
}

TEST(XLitePairs, PairsCompareByKeyThenValue)
{
    auto Pairs = Make<TXLitePairs<Cardinal, String>>();
    Pairs->Add(1, u"b");
    Pairs->Add(1, u"a");
    EXPECT_EQ(Pairs->IndexOf(TXPair<Cardinal, String>(1, u"a")), 1);
    EXPECT_EQ(Pairs->IndexOf(TXPair<Cardinal, String>(2, u"a")), -1);
    EXPECT_LT(Pairs->Comparer()->Compare({ 1, u"z" }, { 2, u"a" }), 0);
    EXPECT_GT(Pairs->Comparer()->Compare({ 1, u"b" }, { 1, u"a" }), 0);

    // A case-blind key comparer changes key lookups.
    auto Texts = Make<TXLitePairs<String, Integer>>();
    Texts->SetKeyComparer(TComparer<String>::Construct(
        [](const String& L, const String& R) { return Integer(L.size()) - Integer(R.size()); }));
    Texts->Add(u"abc", 1);
    EXPECT_EQ(Texts->IndexOfKey(u"xyz"), 0);
}

TEST(XLitePairs, ValuesWithoutAnOrderStillWork)
{
    struct TRecord {
        Integer A = 0;
    };
    auto Pairs = Make<TXLitePairs<Cardinal, TRecord>>();
    Pairs->Add(5, TRecord { 9 });
    EXPECT_EQ(Pairs->GetValue(5).A, 9);
    EXPECT_THROW(Pairs->IndexOf(TXPair<Cardinal, TRecord>(5, {})), EInvalidOperation);
}
