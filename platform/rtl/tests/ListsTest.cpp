#include "rtl/Lists.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <fstream>
#include <string>

namespace {

std::vector<int> Values(const TList<int>& L)
{
    return std::vector<int>(L.begin(), L.end());
}

TOwnedPtr<TList<int>> ListOf(std::initializer_list<int> Items)
{
    auto L = MakeOwned<TList<int>>();
    for (int I : Items)
        L->Add(I);
    return L;
}

int Freed = 0;
class TCounted : public TObject {
public:
    int Id = 0;
    ~TCounted() override { ++Freed; }
};

}

TEST(List, IndexAndCountErrorsRaiseArgumentOutOfRange)
{
    auto L = ListOf({ 1, 2, 3 });
    const std::vector<std::pair<const char*, std::function<void()>>> Cases = {
        { "Items(-1)", [&] { L->Items(-1); } },
        { "Items(Count)", [&] { L->Items(3); } },
        { "SetItems(Count)", [&] { L->SetItems(3, 0); } },
        { "Insert(Count+1)", [&] { L->Insert(4, 0); } },
        { "Insert(-1)", [&] { L->Insert(-1, 0); } },
        { "Delete(Count)", [&] { L->Delete(3); } },
        { "DeleteRange past end", [&] { L->DeleteRange(2, 2); } },
        { "DeleteRange negative count", [&] { L->DeleteRange(0, -1); } },
        { "DeleteRange overflowing", [&] { L->DeleteRange(1, std::numeric_limits<Integer>::max()); } },
        { "SetCount(-1)", [&] { L->SetCount(-1); } },
        { "SetCapacity(-1)", [&] { L->SetCapacity(-1); } },
        { "Exchange", [&] { L->Exchange(0, 3); } },
        { "Move", [&] { L->Move(3, 0); } },
    };
    for (auto& [Name, Call] : Cases) {
        SCOPED_TRACE(Name);
        try {
            Call();
            ADD_FAILURE() << "no error";
        } catch (const EArgumentOutOfRangeException& E) {
            EXPECT_EQ(E.Message(), u"Argument out of range");
        }
        EXPECT_EQ(Values(*L), (std::vector<int> { 1, 2, 3 }));
    }
    auto Empty = MakeOwned<TList<int>>();
    EXPECT_THROW(Empty->First(), EArgumentOutOfRangeException);
    EXPECT_THROW(Empty->Last(), EArgumentOutOfRangeException);
    Empty->DeleteRange(0, 0);
}

TEST(List, EditsKeepOrderAndNotifyEveryItem)
{
    std::vector<std::pair<int, TCollectionNotification>> Seen;
    auto L = ListOf({ 1, 2, 3, 4, 5 });
    L->OnNotify = [&](TObject*, const int& Item, TCollectionNotification Action) { Seen.emplace_back(Item, Action); };

    L->Insert(5, 6);
    L->Delete(0);
    L->DeleteRange(1, 2);
    EXPECT_EQ(L->Remove(9), -1);
    EXPECT_EQ(L->Remove(5), 1);
    EXPECT_EQ(L->Extract(2), 2);
    EXPECT_EQ(L->Extract(2), 0);
    L->SetItems(0, 7);
    EXPECT_EQ(Values(*L), (std::vector<int> { 7 }));
    const std::vector<std::pair<int, TCollectionNotification>> Expected {
        { 6, cnAdded },
        { 1, cnRemoved },
        { 3, cnRemoved },
        { 4, cnRemoved },
        { 5, cnRemoved },
        { 2, cnExtracted },
        { 6, cnRemoved },
        { 7, cnAdded },
    };
    EXPECT_EQ(Seen, Expected);

    auto M = ListOf({ 0, 1, 2, 3, 4 });
    M->Move(0, 3);
    EXPECT_EQ(Values(*M), (std::vector<int> { 1, 2, 3, 0, 4 }));
    M->Move(4, 1);
    EXPECT_EQ(Values(*M), (std::vector<int> { 1, 4, 2, 3, 0 }));
    M->Exchange(0, 4);
    M->Reverse();
    EXPECT_EQ(Values(*M), (std::vector<int> { 1, 3, 2, 4, 0 }));
    EXPECT_EQ(M->First(), 1);
    EXPECT_EQ(M->Last(), 0);
    EXPECT_TRUE(M->Contains(4));
    EXPECT_EQ(M->IndexOf(7), -1);
}

TEST(List, CountAndCapacityGrowAndShrink)
{
    auto L = ListOf({ 1, 2, 3 });
    L->SetCount(5);
    EXPECT_EQ(Values(*L), (std::vector<int> { 1, 2, 3, 0, 0 }));
    L->SetCapacity(100);
    EXPECT_GE(L->Capacity(), 100);
    L->SetCapacity(2);
    EXPECT_EQ(Values(*L), (std::vector<int> { 1, 2 }));
    EXPECT_EQ(L->Capacity(), 2);
    L->Clear();
    EXPECT_EQ(L->Count(), 0);
}

TEST(List, SortAndBinarySearchUseTheComparer)
{
    auto Descending = TComparer<int>::Construct([](const int& A, const int& B) { return B - A; });
    auto L = MakeOwned<TList<int>>(Descending);
    for (int I : { 5, 1, 9, 5, 3 })
        L->Add(I);
    L->Sort();
    EXPECT_EQ(Values(*L), (std::vector<int> { 9, 5, 5, 3, 1 }));

    struct Case {
        int Item;
        bool Found;
        Integer Index;
    };
    for (Case C : { Case { 5, true, 1 }, Case { 9, true, 0 }, Case { 4, false, 3 }, Case { 0, false, 5 },
             Case { 10, false, 0 } }) {
        Integer Index = -1;
        EXPECT_EQ(L->BinarySearch(C.Item, Index), C.Found) << C.Item;
        EXPECT_EQ(Index, C.Index) << C.Item;
    }
    L->Sort(TComparer<int>::Default());
    EXPECT_EQ(Values(*L), (std::vector<int> { 1, 3, 5, 5, 9 }));

    // A comparer that is no order at all must not make the sort misbehave.
    auto Chaos = TComparer<int>::Construct([](const int&, const int&) { return -1; });
    auto Big = MakeOwned<TList<int>>();
    for (int I = 0; I < 200; ++I)
        Big->Add(I % 7);
    Big->Sort(Chaos);
    EXPECT_EQ(Big->Count(), 200);
}

TEST(ObjectList, FreesWhatItRemovesWhileItOwnsObjects)
{
    Freed = 0;
    auto Owning = MakeOwned<Generics::TObjectList<TCounted>>();
    TCounted* Items[4];
    for (auto*& Item : Items)
        Owning->Add(Item = New<TCounted>());
    Owning->Delete(0);
    EXPECT_EQ(Freed, 1);
    EXPECT_EQ(Owning->Extract(Items[1]), Items[1]);
    EXPECT_EQ(Freed, 1);
    Items[1]->Free();
    Owning->Remove(Items[2]);
    EXPECT_EQ(Freed, 3);
    Owning.reset();
    EXPECT_EQ(Freed, 4);

    Freed = 0;
    auto* Kept = New<TCounted>();
    {
        auto Plain = MakeOwned<TObjectList>(false);
        Plain->Add(Kept);
        Plain->Add(nullptr);
        Plain->Clear();
        Plain->Add(Kept);
    }
    EXPECT_EQ(Freed, 0);
    Kept->Free();
}

TEST(Queue, ValuesLeaveInArrivalOrder)
{
    auto Q = MakeOwned<TQueue<String>>();
    Q->Enqueue(u"a");
    Q->Enqueue(u"b");
    EXPECT_EQ(Q->Peek(), u"a");
    EXPECT_EQ(Q->Dequeue(), u"a");
    EXPECT_EQ(Q->Dequeue(), u"b");
    EXPECT_EQ(Q->Count(), 0);
    EXPECT_THROW(Q->Dequeue(), EListError);
    EXPECT_THROW(Q->Peek(), EListError);
    Q->Enqueue(u"c");
    Q->Clear();
    EXPECT_EQ(Q->Count(), 0);
}

TEST(ComponentList, DropsComponentsThatAreFreedElsewhere)
{
    auto* Owner = New<TComponent>(nullptr);
    auto* A = New<TComponent>(Owner);
    auto* B = New<TComponent>(Owner);
    auto* Lone = New<TComponent>(nullptr);
    auto List = MakeOwned<TComponentList>(false);
    List->Add(A);
    List->Add(B);
    List->Add(A);
    List->Add(Lone);

    // Removing one of two entries keeps the list told about the other.
    List->Delete(0);
    A->Free();
    EXPECT_EQ(List->Count(), 2);
    EXPECT_EQ(List->IndexOf(A), -1);

    Owner->Free();
    ASSERT_EQ(List->Count(), 1);
    EXPECT_EQ(List->Items(0), Lone);

    // An extracted component is no longer watched, and freeing the list
    // leaves a component it does not own alive and unlinked.
    List->Extract(Lone);
    List->Add(Lone);
    List.reset();
    Lone->Free();
}

TEST(ComponentList, OwningListFreesItsComponentsAndTheyLeaveTheirOwner)
{
    auto Owner = MakeOwned<TComponent>(nullptr);
    auto List = MakeOwned<TComponentList>();
    List->Add(New<TComponent>(Owner.get()));
    auto* Survivor = New<TComponent>(Owner.get());
    List->Add(Survivor);
    List->Extract(Survivor);
    List.reset();
    ASSERT_EQ(Owner->ComponentCount(), 1);
    EXPECT_EQ(Owner->Components(0), Survivor);
}

TEST(ClassList, HoldsClasses)
{
    auto L = MakeOwned<TClassList>();
    L->Add(TComponent::StaticClass());
    L->Add(TObjectList::StaticClass());
    EXPECT_EQ(L->IndexOf(TObjectList::StaticClass()), 1);
    EXPECT_EQ(L->ClassName(), u"TClassList");
}

// The address space of the process now, in bytes (VmSize).
static long long AddressSpaceInUse()
{
    std::ifstream Status("/proc/self/status");
    for (std::string Line; std::getline(Status, Line);)
        if (Line.rfind("VmSize:", 0) == 0)
            return std::stoll(Line.substr(7)) * 1024;
    return -1;
}

TEST(List, ClearFreesWithoutAllocatingWhenMemoryIsShort)
{
    if (Testing::SanitizedBuild)
        GTEST_SKIP() << "the sanitizers reserve address space of their own";
    constexpr int Items = 16 << 20; // 128 MiB of values
    auto L = MakeOwned<TList<Int64>>();
    L->SetCapacity(Items);
    for (int I = 0; I < Items; ++I)
        L->Add(I);
    int Removed = 0;
    L->OnNotify = [&](TObject*, const Int64&, TCollectionNotification Action) { Removed += Action == cnRemoved; };
    const long long InUse = AddressSpaceInUse();
    ASSERT_GT(InUse, 0);
    rlimit Old {};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &Old), 0);
    // No room for a second copy of the items.
    rlimit Tight = Old;
    Tight.rlim_cur = rlim_t(InUse + (32 << 20));
    ASSERT_EQ(setrlimit(RLIMIT_AS, &Tight), 0);
    bool Raised = false;
    try {
        L->Clear();
    } catch (const std::bad_alloc&) {
        Raised = true;
    }
    setrlimit(RLIMIT_AS, &Old);
    EXPECT_FALSE(Raised);
    EXPECT_EQ(L->Count(), 0);
    EXPECT_EQ(L->Capacity(), 0);
    EXPECT_EQ(Removed, Items);
}
