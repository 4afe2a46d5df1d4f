#include "core/XCore.Collections.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

class TNamedTestItem : public TXCollectionItem {
    X_CLASS(TNamedTestItem, TXCollectionItem)
public:
    Integer Value = 0;
    bool AssignFrom(TPersistent* Source) override
    {
        inherited::AssignFrom(Source);
        if (auto* Item = DynamicCast<TNamedTestItem>(Source))
            Value = Item->Value;
        return true;
    }
};

using TTestCollection = TXCollection<TNamedTestItem>;
using TEntry = std::pair<String, Integer>;

TOwnedPtr<TTestCollection> CollectionOf(std::vector<TEntry> Entries)
{
    TOwnedPtr<TTestCollection> C(New<TTestCollection>(static_cast<TPersistent*>(nullptr)));
    for (const auto& [Name, Value] : Entries) {
        TNamedTestItem* Item = C->Add();
        Item->SetDisplayName(Name);
        Item->Value = Value;
    }
    return C;
}

std::vector<TEntry> Entries(TTestCollection& C)
{
    std::vector<TEntry> Result;
    for (Integer I = 0; I < C.Count(); ++I)
        Result.emplace_back(C.Items(I)->DisplayName(), C.Items(I)->Value);
    return Result;
}

}
X_REGISTER_CLASS(TNamedTestItem)

TEST(XCollection, MergeModes)
{
    struct TCase {
        TXMergeMode Mode;
        std::vector<TEntry> Expected;
    };
    const TCase Cases[] = {
        { mmAddMissing, { { u"ALPHA", 1 }, { u"beta", 2 }, { u"gamma", 30 } } },
        { mmAppend, { { u"ALPHA", 1 }, { u"beta", 2 }, { u"Alpha", 10 }, { u"gamma", 30 } } },
        { mmAddOrUpdate, { { u"Alpha", 10 }, { u"beta", 2 }, { u"gamma", 30 } } },
        { mmUpdateOnly, { { u"Alpha", 10 }, { u"beta", 2 } } },
        { TXMergeMode(9), { { u"ALPHA", 1 }, { u"beta", 2 }, { u"Alpha", 10 }, { u"gamma", 30 } } },
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(testing::Message() << "mode " << int(C.Mode));
        auto Target = CollectionOf({ { u"ALPHA", 1 }, { u"beta", 2 } });
        auto Source = CollectionOf({ { u"Alpha", 10 }, { u"gamma", 30 } });
        Target->Merge(Source.get(), C.Mode);
        EXPECT_EQ(Entries(*Target), C.Expected);
    }
}

TEST(XCollection, AppendUniqueStopsAtTheFirstDuplicate)
{
    // A name with format directives must reach the message unchanged.
    for (String Dup : { String(u"b"), String(u"%s%d%n %x") }) {
        auto Target = CollectionOf({ { Dup, 1 } });
        auto Source = CollectionOf({ { u"a", 2 }, { Dup, 3 }, { u"c", 4 } });
        try {
            Target->Merge(Source.get(), mmAppendUnique);
            ADD_FAILURE() << "no exception";
        } catch (const EListError& E) {
            EXPECT_EQ(E.Message(), u"Duplicate: " + Dup);
        }
        EXPECT_EQ(Entries(*Target), (std::vector<TEntry> { { Dup, 1 }, { u"a", 2 } }));
    }
}

TEST(XCollection, MergeAndAppendFromItselfEndAfterTheOriginalItems)
{
    auto C = CollectionOf({ { u"a", 1 }, { u"b", 2 } });
    C->Merge(C.get(), mmAppend);
    C->AppendFrom(C.get());
    EXPECT_EQ(C->Count(), 8);
    C->Merge(C.get(), mmAddOrUpdate);
    EXPECT_EQ(C->Count(), 8);
}

TEST(XCollection, SyncByNamesKeepsItemObjects)
{
    auto Target = CollectionOf({ { u"a", 1 }, { u"c", 3 }, { u"b", 2 } });
    TNamedTestItem* OldA = Target->Items(0);
    TNamedTestItem* OldB = Target->Items(2);
    auto Source = CollectionOf({ { u"b", 20 }, { u"a", 10 }, { u"A", 11 } });
    Target->SyncByNames(Source.get());
    EXPECT_EQ(Entries(*Target), (std::vector<TEntry> { { u"b", 20 }, { u"a", 10 }, { u"A", 11 } }));
    EXPECT_EQ(Target->Items(0), OldB);
    EXPECT_EQ(Target->Items(1), OldA);

    // Two items of one name: the first is reused, the second freed.
    auto Doubles = CollectionOf({ { u"x", 1 }, { u"x", 2 } });
    TNamedTestItem* FirstX = Doubles->Items(0);
    auto OneX = CollectionOf({ { u"x", 5 } });
    Doubles->SyncByNames(OneX.get());
    ASSERT_EQ(Doubles->Count(), 1);
    EXPECT_EQ(Doubles->Items(0), FirstX);
    EXPECT_EQ(Doubles->Items(0)->Value, 5);

    // Syncing with itself changes nothing.
    Target->SyncByNames(Target.get());
    EXPECT_EQ(Target->Count(), 3);
}

TEST(XCollection, LookupByName)
{
    auto C = CollectionOf({ { u"One", 1 }, { u"", 2 }, { u"two", 3 } });
    EXPECT_EQ(C->IndexOfName(u"ONE"), 0);
    EXPECT_EQ(C->IndexOfName(u""), 1);
    EXPECT_EQ(C->IndexOfName(u"three"), -1);
    EXPECT_EQ(C->FindByName(u"TWO"), C->Items(2));
    EXPECT_EQ(C->FindByName(u"none"), nullptr);
    C->DeleteByName(u"one");
    C->DeleteByName(u"none");
    EXPECT_EQ(Entries(*C), (std::vector<TEntry> { { u"", 2 }, { u"two", 3 } }));

    auto Empty = CollectionOf({});
    TCollectionItem* First = Empty->FirstOrAdd();
    EXPECT_EQ(Empty->Count(), 1);
    EXPECT_EQ(Empty->FirstOrAdd(), First);

    C->SetItemsStoreData(false);
    EXPECT_FALSE(C->Items(0)->StoreData());
    EXPECT_FALSE(C->Items(1)->StoreData());
}

TEST(XCollection, ItemClassMustDescendFromTheTypedClass)
{
    TOwnedPtr<TTestCollection> C(
        New<TTestCollection>(static_cast<TPersistent*>(nullptr), TXCollectionItem::StaticClass()));
    EXPECT_EQ(C->ItemClass(), TNamedTestItem::StaticClass());
}

TEST(XList, DeleteFromTo)
{
    struct TCase {
        Integer From, To;
        std::vector<Integer> Expected;
    };
    const TCase Cases[] = {
        { 1, 2, { 0, 3, 4 } },
        { 0, 4, {} },
        { 3, 1, { 0, 1, 2, 3, 4 } },
        { -1, 2, { 0, 1, 2, 3, 4 } },
        { 1, -1, { 0, 1, 2, 3, 4 } },
        { 5, 7, { 0, 1, 2, 3, 4 } },
        { 4, 4, { 0, 1, 2, 3 } },
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.From << ".." << C.To);
        auto List = MakeOwned<TXList<Integer>>();
        for (Integer I = 0; I < 5; ++I)
            List->Add(I);
        List->DeleteFromTo(C.From, C.To);
        EXPECT_EQ(std::vector<Integer>(List->begin(), List->end()), C.Expected);
    }
    auto List = MakeOwned<TXList<Integer>>();
    List->Add(1);
    List->Add(2);
    EXPECT_THROW(List->DeleteFromTo(1, 5), EArgumentOutOfRangeException);
    EXPECT_THROW(List->DeleteFromTo(0, 0x7FFFFFFF), EArgumentOutOfRangeException);
    EXPECT_EQ(List->Count(), 2);
    EXPECT_EQ(List->AddUnique(2), 1);
    EXPECT_EQ(List->AddUnique(3), 2);
}

TEST(XPairs, KeyLookupAndPairOrder)
{
    auto Words = MakeOwned<TXPairs<Cardinal, UTF8String>>();
    Words->Add({ 7, "seven" });
    Words->Add({ 3, "three" });
    EXPECT_EQ(Words->IndexOfKey(3), 1);
    EXPECT_EQ(Words->IndexOfKey(4), -1);
    EXPECT_EQ(Words->GetValue(7), "seven");
    EXPECT_EQ(Words->GetValue(4), "");
    EXPECT_EQ(Words->AddUnique({ 3, "three" }), 1);
    EXPECT_EQ(Words->AddUnique({ 3, "drei" }), 2);
    EXPECT_LT(Words->Comparer()->Compare({ 3, "z" }, { 7, "a" }), 0);
}

TEST(XClassList, AppendAndAssignFromClassListsOnly)
{
    auto List = MakeOwned<TXClassList>();
    auto Other = MakeOwned<TClassList>();
    Other->Add(TXCollectionItem::StaticClass());
    List->Add(TObject::StaticClass());
    List->AppendClasses(Other.get());
    List->AppendClasses(List.get());
    EXPECT_EQ(List->Count(), 4);
    List->AssignClasses(List.get());
    EXPECT_EQ(List->Count(), 4);
    List->AssignClasses(Other.get());
    ASSERT_EQ(List->Count(), 1);
    EXPECT_EQ(List->Items(0), TXCollectionItem::StaticClass());
    auto NotClasses = MakeOwned<TXCustomObjectList>();
    List->AssignClasses(NotClasses.get());
    EXPECT_EQ(List->Count(), 1);
}
