#include "core/XClasses.h"
#include "core/XCore.Factory.h"
#include "rtl/TypInfo.h"
#include <gtest/gtest.h>
#include <vector>


namespace {

// Sorted by Key; the same entry when the names match too.
class TKeyed : public TXFilerableObject {
    X_CLASS(TKeyed, TXFilerableObject)
public:
    Integer Key = 0;
    bool AssignFrom(TPersistent* Source) override
    {
        if (auto* Other = DynamicCast<TKeyed>(Source))
            Key = Other->Key;
        return inherited::AssignFrom(Source);
    }
};

// Refuses every source, to see what a failed assignment leaves behind.
class TRefusing : public TXChangeableObject {
    X_CLASS(TRefusing, TXChangeableObject)
public:
    bool AssignFrom(TPersistent*) override { throw EConvertError(u"refused"); }
};

class TCountingChange : public TXChangeablePersistent {
    X_CLASS(TCountingChange, TXChangeablePersistent)
public:
    Integer Begins = 0;
    Integer Ends = 0;
    bool Fail = false;
    void BeginChange() override { ++Begins; }
    void EndChange() override { ++Ends; }
    bool AssignFrom(TPersistent* Source) override
    {
        if (Fail)
            throw EConvertError(u"refused");
        return inherited::AssignFrom(Source);
    }
};

TKeyed* Keyed(Integer Key, const String& Name)
{
    auto* K = New<TKeyed>();
    K->Key = Key;
    K->SetName(Name);
    return K;
}

TOwnedPtr<XClasses::TXObjectList> SortedList(TDuplicates Duplicates, bool Sorted = true)
{
    TOwnedPtr<XClasses::TXObjectList> List(New<XClasses::TXObjectList>(true));
    List->SetCompare(
        [](TObject* A, TObject* B) { return static_cast<TKeyed*>(A)->Key - static_cast<TKeyed*>(B)->Key; });
    List->SetSameItem(
        [](TObject* A, TObject* B) { return static_cast<TKeyed*>(A)->Name() == static_cast<TKeyed*>(B)->Name(); });
    List->SetDuplicates(Duplicates);
    List->SetSorted(Sorted);
    return List;
}

String Names(const XClasses::TXObjectList& List)
{
    String Result;
    for (TObject* Obj : List)
        Result += Obj ? static_cast<TXFilerableObject*>(Obj)->Name() : String(u"-");
    return Result;
}

}
X_REGISTER_CLASS(TKeyed)
X_REGISTER_CLASS(TRefusing)
X_REGISTER_CLASS(TCountingChange)

TEST(XObjectList, SortedAddFollowsTheDuplicatesPolicy)
{
    struct TCase {
        const char* What;
        TDuplicates Duplicates;
        std::vector<std::pair<Integer, const char16_t*>> Existing;
        Integer Key;
        const char16_t* Name;
        Integer Index; // -1: raises
        const char16_t* After;
    };
    const TCase Cases[] = {
        { "new key goes in order", dupIgnore, { { 1, u"a" }, { 3, u"c" } }, 2, u"b", 1, u"abc" },
        { "ignore answers the existing index", dupIgnore, { { 1, u"a" }, { 2, u"b" }, { 3, u"c" } }, 2, u"b", 1,
            u"abc" },
        { "error refuses and adds nothing", dupError, { { 1, u"a" }, { 2, u"b" }, { 3, u"c" } }, 2, u"b", -1, u"abc" },
        { "accept inserts at the found index", dupAccept, { { 1, u"a" }, { 2, u"b" }, { 3, u"c" } }, 2, u"b", 1,
            u"abbc" },
        { "equal key, other item: not a duplicate", dupError, { { 1, u"a" }, { 2, u"b" }, { 3, u"c" } }, 2, u"x", 2,
            u"abxc" },
        // The duplicate stands beside the probed item among equal keys.
        { "duplicate among equal keys", dupIgnore, { { 2, u"p" }, { 2, u"q" }, { 2, u"r" }, { 2, u"s" } }, 2, u"s", 3,
            u"pqrs" },
        { "duplicate among equal keys refused", dupError, { { 2, u"p" }, { 2, u"q" }, { 2, u"r" } }, 2, u"p", -1,
            u"pqr" },
        { "empty list", dupError, {}, 5, u"z", 0, u"z" },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        // Filled before sorting is switched on, so equal keys keep this order.
        auto List = SortedList(C.Duplicates, false);
        for (auto [Key, Name] : C.Existing)
            List->Add(Keyed(Key, Name));
        List->SetSorted(true);
        TOwnedPtr<TKeyed> Item(Keyed(C.Key, C.Name));
        if (C.Index < 0) {
            try {
                List->Add(Item.get());
                ADD_FAILURE() << "no exception";
            } catch (const EListError& E) {
                EXPECT_EQ(E.Message(), u"Duplicate");
            }
        } else {
            EXPECT_EQ(List->Add(Item.get()), C.Index);
            if (List->IndexOf(Item.get()) >= 0)
                Item.release();
        }
        EXPECT_EQ(Names(*List), C.After);
    }
}

TEST(XObjectList, SwitchingSortedOnSortsStablyAndUnsortedAppends)
{
    auto List = SortedList(dupAccept, false);
    List->Add(Keyed(3, u"c"));
    List->Add(Keyed(1, u"a"));
    List->Add(Keyed(3, u"d"));
    List->Add(Keyed(2, u"b"));
    EXPECT_EQ(Names(*List), u"cadb");
    List->SetSorted(true);
    EXPECT_EQ(Names(*List), u"abcd");
    List->SetSorted(false);
    List->Add(Keyed(0, u"e"));
    EXPECT_EQ(Names(*List), u"abcde");
}

TEST(XObjectList, SortingWithACompareThatRaisesLosesNothing)
{
    TOwnedPtr<XClasses::TXObjectList> List(New<XClasses::TXObjectList>(true));
    for (Integer I = 0; I < 40; ++I)
        List->Add(Keyed(40 - I, String(1, Char(u'A' + I % 26))));
    Integer Calls = 0;
    List->SetCompare([&Calls](TObject* A, TObject* B) -> Integer {
        if (++Calls == 30)
            throw EConvertError(u"compare failed");
        return static_cast<TKeyed*>(A)->Key - static_cast<TKeyed*>(B)->Key;
    });
    String Before = Names(*List);
    EXPECT_THROW(List->SetSorted(true), EConvertError);
    EXPECT_FALSE(List->Sorted());
    EXPECT_EQ(Names(*List), Before);
}

TEST(XObjectList, InsertOrMoveClampsTheIndex)
{
    struct TCase {
        Integer Index;
        bool Held;
        Integer Answer;
        const char16_t* After;
    };
    const TCase Cases[] = {
        { 10, false, 3, u"abcx" },
        { -5, false, 0, u"xabc" },
        { 1, false, 1, u"axbc" },
        { 10, true, 3, u"abcx" }, // x starts at 0 of "xabc"
        { -1, true, 0, u"xabc" },
        { 2, true, 2, u"abxc" },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.Index << (C.Held ? " held" : " new"));
        TOwnedPtr<XClasses::TXObjectList> List(New<XClasses::TXObjectList>(true));
        auto* X = Keyed(0, u"x");
        if (C.Held)
            List->Add(X);
        for (const char16_t* N : { u"a", u"b", u"c" })
            List->Add(Keyed(0, N));
        EXPECT_EQ(List->InsertOrMove(C.Index, X), C.Answer);
        EXPECT_EQ(Names(*List), C.After);
    }
}

TEST(XObjectList, NamesFindWithoutCaseAndDeleteExactlyFromTheEnd)
{
    TOwnedPtr<XClasses::TXObjectList> List(New<XClasses::TXObjectList>(true));
    List->Add(New<TObject>());
    List->Add(Keyed(0, u"Ärger"));
    List->Add(Keyed(0, u"beta"));
    List->Add(Keyed(0, u"BETA"));
    List->Add(Keyed(0, u"beta"));
    EXPECT_EQ(List->IndexOfName(u"äRGER"), 1);
    EXPECT_EQ(List->IndexOfName(u"Beta"), 2);
    EXPECT_EQ(List->IndexOfName(u"gamma"), -1);
    List->DeleteByName(u"beta");
    EXPECT_EQ(List->Count(), 3);
    EXPECT_EQ(List->IndexOfName(u"beta"), 2);
    EXPECT_EQ(static_cast<TKeyed*>(List->Items(2))->Name(), u"BETA");
}

TEST(XObjectList, CopiesArePersistentObjectsOfTheSameClass)
{
    TOwnedPtr<XClasses::TXObjectList> Source(New<XClasses::TXObjectList>(true));
    Source->Add(Keyed(7, u"a"));
    Source->Add(New<TObject>());
    Source->Add(New<TXLgObject>());
    Source->LgObject()->SetName(u"Kalender");
    Source->LgObject()->SetLgID(1031);

    TOwnedPtr<XClasses::TXObjectList> Target(New<XClasses::TXObjectList>(true));
    Target->Add(Keyed(1, u"old"));
    Target->CopyFrom(Source.get());
    ASSERT_EQ(Target->Count(), 2);
    auto* Copy = DynamicCast<TKeyed>(Target->Items(0));
    ASSERT_NE(Copy, nullptr);
    EXPECT_NE(Copy, Source->Items(0));
    EXPECT_EQ(Copy->Key, 7);
    EXPECT_EQ(Copy->Name(), u"a");
    EXPECT_EQ(Target->Items(1)->ClassType(), TXLgObject::StaticClass());
    EXPECT_EQ(Target->LgObject()->Name(), u"Kalender");
    EXPECT_EQ(Target->LgObject()->LgID(), 1031u);

    // Copying a list onto itself keeps it; appending it to itself doubles it once.
    Target->CopyFrom(Target.get());
    EXPECT_EQ(Target->Count(), 2);
    Target->AppendCopies(Target.get());
    EXPECT_EQ(Names(*Target), u"aa");
}

TEST(XObjectList, SortedCopiesAreFiledUnderTheirOwnKeys)
{
    TOwnedPtr<XClasses::TXObjectList> Source(New<XClasses::TXObjectList>(true));
    Source->Add(Keyed(3, u"c"));
    Source->Add(Keyed(1, u"a"));
    Source->Add(Keyed(3, u"c"));
    auto Target = SortedList(dupIgnore);
    Target->Add(Keyed(2, u"b"));
    Target->AppendCopies(Source.get());
    EXPECT_EQ(Names(*Target), u"abc");
}

TEST(XObjectList, IsEmptyAsksEveryObject)
{
    TOwnedPtr<XClasses::TXObjectList> List(New<XClasses::TXObjectList>(true));
    EXPECT_TRUE(List->IsEmpty());
    auto* Blank = New<TXFilerableObject>();
    List->Add(Blank);
    EXPECT_TRUE(List->IsEmpty());
    Blank->SetXFilter(u"f");
    EXPECT_FALSE(List->IsEmpty());
    Blank->SetXFilter(u"");
    List->Add(New<TObject>());
    EXPECT_FALSE(List->IsEmpty());
    EXPECT_EQ(List->AddNew(), nullptr);
}

TEST(XObjectList, TypedAddNewMakesItemClassObjects)
{
    TOwnedPtr<TXTypedObjectList> List(New<TXTypedObjectList>(true));
    EXPECT_EQ(List->AddNew(), nullptr);
    List->ItemClass = TObject::StaticClass();
    EXPECT_EQ(List->AddNew(), nullptr);
    List->ItemClass = TKeyed::StaticClass();
    TObject* Obj = List->AddNew();
    ASSERT_NE(Obj, nullptr);
    EXPECT_EQ(Obj->ClassType(), TKeyed::StaticClass());
    EXPECT_EQ(List->Count(), 1);
    EXPECT_EQ(static_cast<TKeyed*>(Obj)->Idx(), -1);
}

TEST(XChangeable, OneChangeAfterTheOutermostUpdate)
{
    TOwnedPtr<TXChangeableObject> Obj(New<TXChangeableObject>());
    TOwnedPtr<TXChangeableObject> Source(New<TXChangeableObject>());
    Source->SetName(u"n");
    Integer Changes = 0;
    Obj->OnChange = [&Changes](TObject*) { ++Changes; };

    Obj->Assign(Source.get());
    EXPECT_EQ(Changes, 1);
    EXPECT_EQ(Obj->Name(), u"n");

    Obj->BeginUpdate();
    Obj->BeginUpdate();
    Obj->Assign(Source.get());
    Obj->TryAssign(Source.get());
    Obj->EndUpdate();
    EXPECT_EQ(Changes, 1);
    Obj->EndUpdate();
    EXPECT_EQ(Changes, 2);

    TOwnedPtr<TRefusing> Refusing(New<TRefusing>());
    Integer RefusedChanges = 0;
    Refusing->OnChange = [&RefusedChanges](TObject*) { ++RefusedChanges; };
    EXPECT_THROW(Refusing->Assign(Source.get()), EConvertError);
    EXPECT_EQ(RefusedChanges, 1);
    EXPECT_TRUE(Refusing->UpdateCount.IsIdle());
}

TEST(XChangeable, AssignRunsInOneChangeEvenWhenItFails)
{
    TOwnedPtr<TCountingChange> Obj(New<TCountingChange>());
    TOwnedPtr<TXPersistent> Source(New<TXPersistent>());
    Obj->Assign(Source.get());
    EXPECT_EQ(Obj->Begins, 1);
    EXPECT_EQ(Obj->Ends, 1);
    Obj->Fail = true;
    EXPECT_THROW(Obj->Assign(Source.get()), EConvertError);
    EXPECT_EQ(Obj->Begins, 2);
    EXPECT_EQ(Obj->Ends, 2);
    EXPECT_EQ(Obj->ChangeCount.Count, 0);
}

TEST(XFilerable, ClearAssignAndState)
{
    TOwnedPtr<TXLgObject> Lg(New<TXLgObject>());
    EXPECT_EQ(Lg->LgID(), 9u);
    EXPECT_EQ(Lg->Name(), u"");
    EXPECT_EQ(Lg->Idx(), -1);
    EXPECT_TRUE(Lg->StoreData());

    TOwnedPtr<TXFilerableObject> Source(New<TXFilerableObject>());
    Source->SetName(u"src");
    Source->SetLgID(1031);
    Source->SetXFilter(u"f");
    Source->SetStoreData(false);
    Source->SetIdx(4);
    TOwnedPtr<TXFilerableObject> Target(New<TXFilerableObject>());
    EXPECT_TRUE(Target->IsEmpty());
    Target->SetState(xstUnassigned | 1);
    Target->Assign(Source.get());
    EXPECT_EQ(Target->Name(), u"src");
    EXPECT_EQ(Target->LgID(), 1031u);
    EXPECT_EQ(Target->XFilter(), u"f");
    EXPECT_FALSE(Target->StoreData());
    EXPECT_EQ(Target->Idx(), 4);
    EXPECT_EQ(Target->State(), xstAssigned | 1);
    EXPECT_FALSE(Target->IsEmpty());

    // AssignFrom alone leaves the name.
    TOwnedPtr<TXFilerableObject> Other(New<TXFilerableObject>());
    Other->TryAssign(Source.get());
    EXPECT_EQ(Other->Name(), u"");
    EXPECT_EQ(Other->LgID(), 1031u);
}

namespace {
class TOtherItem : public TXPersistentItem {
    X_CLASS(TOtherItem, TXPersistentItem)
};
}
X_REGISTER_CLASS(TOtherItem)

TEST(XCollectionItems, AssignFromAnotherClassCopiesOnlyTheName)
{
    TOwnedPtr<TXPersistentCollection> Ys(
        New<TXPersistentCollection>(static_cast<TPersistent*>(nullptr), TXYCollectionItem::StaticClass()));
    TOwnedPtr<TXPersistentCollection> Others(
        New<TXPersistentCollection>(static_cast<TPersistent*>(nullptr), TOtherItem::StaticClass()));
    auto* Y = static_cast<TXYCollectionItem*>(Ys->Add());
    Y->SetLgID(7);
    Y->SetIdx(3);
    auto* Other = static_cast<TOtherItem*>(Others->Add());
    Other->SetDisplayName(u"other");

    EXPECT_TRUE(Y->AssignFrom(Other));
    EXPECT_EQ(Y->LgID(), 7u);
    EXPECT_EQ(Y->DisplayName(), u"");
    Y->Assign(Other);
    EXPECT_EQ(Y->DisplayName(), u"other");
    EXPECT_EQ(Y->Idx(), 3);
    EXPECT_TRUE(Y->SameName(Other));
    EXPECT_FALSE(Y->SameName(Ys.get()));

    auto* Y2 = static_cast<TXYCollectionItem*>(Ys->Add());
    EXPECT_TRUE(Y2->IsEmpty());
    Y2->Assign(Y);
    EXPECT_EQ(Y2->LgID(), 7u);
    EXPECT_EQ(Y2->State(), xstAssigned);
}

// The filerable object and the collection item share their stored fields
// through one template: each keeps its name and published properties, and
// the fields pass only between objects of the same kind.
TEST(XFilerable, ObjectsAndItemsKeepTheirClassesAndCopyTheirOwnKind)
{
    for (TClass Class : { TXFilerableObject::StaticClass(), TXYCollectionItem::StaticClass() }) {
        EXPECT_EQ(GetClass(Class->Name), Class) << StringToUTF8(Class->Name);
        EXPECT_NE(GetPropInfo(Class, u"Name"), nullptr) << StringToUTF8(Class->Name);
        EXPECT_NE(GetPropInfo(Class, u"LgID"), nullptr) << StringToUTF8(Class->Name);
    }
    EXPECT_TRUE(TXFilerableObject::StaticClass()->InheritsFrom(TXPersistent::StaticClass()));
    EXPECT_TRUE(TXYCollectionItem::StaticClass()->InheritsFrom(TXPersistentItem::StaticClass()));

    TOwnedPtr<TXFilerableObject> Object(New<TXFilerableObject>());
    Object->SetLgID(1031);
    Object->SetXFilter(u"f");
    Object->SetIdx(2);
    TOwnedPtr<TXPersistentCollection> Ys(
        New<TXPersistentCollection>(static_cast<TPersistent*>(nullptr), TXYCollectionItem::StaticClass()));
    auto* Y = static_cast<TXYCollectionItem*>(Ys->Add());
    EXPECT_TRUE(Y->AssignFrom(Object.get()));
    EXPECT_TRUE(Y->IsEmpty());
    EXPECT_EQ(Y->Idx(), -1);
    EXPECT_EQ(Y->State(), 0u);

    Y->SetLgID(7);
    Y->SetStoreData(false);
    TOwnedPtr<TXFilerableObject> Back(New<TXFilerableObject>());
    EXPECT_TRUE(Back->AssignFrom(Y));
    EXPECT_EQ(Back->LgID(), 0u);
    EXPECT_TRUE(Back->StoreData());
}

TEST(XCollections, AssignAppendAndLookup)
{
    using XClasses::TXCollection;
    TOwnedPtr<TXCollection> Source(
        New<TXCollection>(static_cast<TPersistent*>(nullptr), TXYCollectionItem::StaticClass()));
    for (const char16_t* N : { u"Äpfel", u"birnen" })
        Source->Add()->SetDisplayName(N);
    Source->LgObject()->SetName(u"Obst");
    EXPECT_FALSE(Source->IsEmpty());

    TOwnedPtr<TXCollection> Target(
        New<TXCollection>(static_cast<TPersistent*>(nullptr), TXYCollectionItem::StaticClass()));
    EXPECT_TRUE(Target->IsEmpty());
    Target->Add()->SetDisplayName(u"old");
    Target->Assign(Source.get());
    ASSERT_EQ(Target->Count(), 2);
    EXPECT_EQ(Target->Items(0)->DisplayName(), u"Äpfel");
    EXPECT_EQ(Target->LgObject()->Name(), u"Obst");
    EXPECT_EQ(Target->IndexOfName(u"äPFEL"), 0);
    EXPECT_EQ(Target->IndexOfName(u"BIRNEN"), 1);
    EXPECT_EQ(Target->IndexOfName(u"kirschen"), -1);

    // Assigning a collection to itself loses nothing.
    Target->Assign(Target.get());
    EXPECT_EQ(Target->Count(), 2);
    Target->Append(Target.get());
    EXPECT_EQ(Target->Count(), 4);
}

namespace {
class TSpecialClassItem : public TXClassItem {
    X_CLASS(TSpecialClassItem, TXClassItem)
};
}
X_REGISTER_CLASS(TSpecialClassItem)

TEST(XCollections, ClassCollectionFindsOrAddsByClassName)
{
    TOwnedPtr<TXClassCollection> Classes(
        New<TXClassCollection>(static_cast<TPersistent*>(nullptr), TOtherItem::StaticClass()));
    EXPECT_EQ(Classes->ItemClass(), TXClassItem::StaticClass());
    TXClassItem* Item = Classes->FindOrAdd(TKeyed::StaticClass());
    ASSERT_NE(Item, nullptr);
    EXPECT_EQ(Item->DisplayName(), u"TKeyed");
    EXPECT_EQ(Item->ItemClass, TKeyed::StaticClass());
    EXPECT_EQ(Classes->FindOrAdd(TKeyed::StaticClass()), Item);
    EXPECT_EQ(Classes->FindOrAdd(nullptr), nullptr);
    EXPECT_EQ(Classes->Count(), 1);

    TOwnedPtr<TXClassCollection> Copy(New<TXClassCollection>(static_cast<TPersistent*>(nullptr), nullptr));
    Copy->Assign(Classes.get());
    EXPECT_EQ(Copy->Items(0)->ItemClass, TKeyed::StaticClass());

    // A descendant item class stays; made by name, as readers make it, the
    // collection holds class items.
    TOwnedPtr<TXClassCollection> Special(
        New<TXClassCollection>(static_cast<TPersistent*>(nullptr), TSpecialClassItem::StaticClass()));
    EXPECT_EQ(Special->ItemClass(), TSpecialClassItem::StaticClass());
    EXPECT_TRUE(Special->Add()->Is<TSpecialClassItem>());
    TOwnedPtr<TObject> ByName(CreateInstanceOf(GetClass(u"TXClassCollection")));
    ASSERT_TRUE(ByName && ByName->Is<TXClassCollection>());
    EXPECT_EQ(static_cast<TXClassCollection*>(ByName.get())->ItemClass(), TXClassItem::StaticClass());
}

TEST(XClassesUnit, PlatformFlags)
{
    EXPECT_TRUE(IsWinXPOrLater);
    EXPECT_TRUE(IsVistaOrLater);
    EXPECT_FALSE(PortableMode);
    EXPECT_FALSE(DemoMode);
}
