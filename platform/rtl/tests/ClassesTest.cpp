#include "rtl/Collection.h"
#include "rtl/Component.h"
#include "rtl/Persistent.h"
#include <gtest/gtest.h>

namespace {

std::vector<String>* Log = nullptr;
void Record(const String& Line)
{
    if (Log)
        Log->push_back(Line);
}

struct TLogScope {
    std::vector<String> Lines;
    TLogScope() { Log = &Lines; }
    ~TLogScope() { Log = nullptr; }
};

class TPoint2 : public TPersistent {
    X_CLASS(TPoint2, TPersistent)
public:
    int X = 0;
    void Assign(TPersistent* Source) override
    {
        if (auto* P = DynamicCast<TPoint2>(Source))
            X = P->X;
        else
            inherited::Assign(Source);
    }
};

// Knows how to copy itself into a TPoint2, which does not know it.
class TExporter : public TPersistent {
    X_CLASS(TExporter, TPersistent)
public:
    int Value = 42;
    void AssignTo(TPersistent* Dest) override
    {
        if (auto* P = DynamicCast<TPoint2>(Dest))
            P->X = Value;
        else
            inherited::AssignTo(Dest);
    }
};

class TProbe : public TComponent {
    X_CLASS(TProbe, TComponent)
public:
    void BeforeDestruction() override
    {
        Record(u"free " + Name());
        inherited::BeforeDestruction();
    }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override
    {
        inherited::Notification(AComponent, Operation);
        if (AComponent != this)
            Record(Name() + (Operation == opInsert ? u" +" : u" -") + AComponent->Name());
    }
};

class TFailing : public TComponent {
    X_CLASS(TFailing, TComponent)
public:
    void Create(TComponent* AOwner) override
    {
        inherited::Create(AOwner);
        throw EAbort(u"no");
    }
};

TProbe* NewProbe(TComponent* Owner, const char* Name)
{
    auto* P = New<TProbe>(nullptr);
    P->SetName(S(Name));
    if (Owner)
        Owner->InsertComponent(P);
    return P;
}

class TDestroyWatch : public TComponent {
    X_CLASS(TDestroyWatch, TComponent)
public:
    bool* SawDestroying = nullptr;
    void BeforeDestruction() override
    {
        *SawDestroying = ComponentState().Contains(csDestroying);
        inherited::BeforeDestruction();
    }
};

}
X_REGISTER_CLASS(TPoint2)
X_REGISTER_CLASS(TExporter)
X_REGISTER_CLASS(TProbe)
X_REGISTER_CLASS(TFailing)
X_REGISTER_CLASS(TDestroyWatch)

TEST(Persistent, AssignAsksTheSourceAndReportsWhatNeitherSideKnows)
{
    auto Point = MakeOwned<TPoint2>();
    auto Exporter = MakeOwned<TExporter>();
    auto Plain = MakeOwned<TPersistent>();

    Point->Assign(Exporter.get());
    EXPECT_EQ(Point->X, 42);

    struct Case { TPersistent* Dest; TPersistent* Source; const char16_t* Message; };
    const Case Cases[] = {
        { Point.get(), nullptr, u"Cannot assign a nil to a TPoint2" },
        { Point.get(), Plain.get(), u"Cannot assign a TPersistent to a TPoint2" },
        { Exporter.get(), Point.get(), u"Cannot assign a TPoint2 to a TExporter" },
        { Plain.get(), nullptr, u"Cannot assign a nil to a TPersistent" },
    };
    for (const Case& C : Cases) {
        try {
            C.Dest->Assign(C.Source);
            ADD_FAILURE() << "no error for " << StringToUTF8(C.Message);
        } catch (const EConvertError& E) {
            EXPECT_EQ(E.Message(), C.Message);
        }
    }
}

TEST(Persistent, InterfacedPersistentCountsOnlyThroughItsOwner)
{
    class TOwnedPart : public TInterfacedPersistent {
    public:
        TPersistent* Owner = nullptr;
        TPersistent* GetOwner() override { return Owner; }
    };
    auto Alone = MakeOwned<TOwnedPart>();
    EXPECT_EQ(Alone->_AddRef(), -1);
    EXPECT_EQ(Alone->_Release(), -1);

    // A component owner answers IInterface and counts nothing either; the
    // call must reach it and come back without freeing anything.
    auto Owner = MakeOwned<TComponent>(nullptr);
    auto* Part = new TOwnedPart;
    Part->Owner = Owner.get();
    Construct(Part);
    EXPECT_EQ(Part->_Release(), -1);
    EXPECT_EQ(Part->GetNamePath(), u"TInterfacedPersistent");
    Part->Free();
}

TEST(Component, NamesAreIdentifiersUniqueWithinTheOwner)
{
    auto Owner = MakeOwned<TComponent>(nullptr);
    TComponent* Frame = NewProbe(Owner.get(), "Frame");
    TComponent* Other = NewProbe(Owner.get(), "");

    struct Case { const char* Name; const char16_t* Error; };
    const Case Cases[] = {
        { "Frame1", nullptr },
        { "_x9", nullptr },
        { "", nullptr },
        { "FRAME", u"A component named FRAME already exists" },
        { "9Lives", u"''9Lives'' is not a valid component name" },
        { "Two Words", u"''Two Words'' is not a valid component name" },
        { "Dot.Name", u"''Dot.Name'' is not a valid component name" },
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        try {
            Other->SetName(S(C.Name));
            EXPECT_EQ(C.Error, nullptr);
            EXPECT_EQ(Other->Name(), S(C.Name));
        } catch (const EComponentError& E) {
            ASSERT_NE(C.Error, nullptr);
            EXPECT_EQ(E.Message(), C.Error);
        }
        Other->SetName(u"");
    }
    // Renaming a component to another spelling of its own name is no clash.
    Frame->SetName(u"FRAME");
    EXPECT_EQ(Owner->FindComponent(u"frame"), Frame);
    EXPECT_EQ(Owner->FindComponent(u""), nullptr);

    // Inserting a component whose name is taken is refused and moves nothing.
    auto Elsewhere = MakeOwned<TComponent>(nullptr);
    TComponent* Clash = NewProbe(Elsewhere.get(), "frame");
    EXPECT_THROW(Owner->InsertComponent(Clash), EComponentError);
    EXPECT_EQ(Clash->Owner(), Elsewhere.get());
    EXPECT_EQ(Owner->ComponentCount(), 2);
}

TEST(Component, OwnerFreesItsComponentsLastFirstAndTellsTheRest)
{
    TLogScope Scope;
    auto* Owner = NewProbe(nullptr, "Owner");
    NewProbe(Owner, "A");
    NewProbe(Owner, "B");
    TComponent* C = NewProbe(Owner, "C");
    EXPECT_EQ(C->ComponentIndex(), 2);
    EXPECT_EQ(Owner->Components(1)->Name(), u"B");
    EXPECT_THROW(Owner->Components(3), EArgumentOutOfRangeException);
    Scope.Lines.clear();

    Owner->Free();
    const std::vector<String> Expected {
        u"free Owner", u"free C", u"B -C", u"A -C", u"Owner -C",
        u"free B", u"A -B", u"Owner -B", u"free A", u"Owner -A",
    };
    EXPECT_EQ(Scope.Lines, Expected);
}

TEST(Component, InsertRemoveAndFreeNotificationsReachWhoAsked)
{
    TLogScope Scope;
    auto* Form = NewProbe(nullptr, "Form");
    auto* Watcher = NewProbe(nullptr, "Watcher");
    auto* Button = NewProbe(Form, "Button");
    Button->FreeNotification(Watcher);
    EXPECT_TRUE(Watcher->ComponentState().Contains(csFreeNotification));

    // Moving to another owner: the old owner hears opRemove, the new opInsert.
    auto* Panel = NewProbe(nullptr, "Panel");
    Panel->InsertComponent(Button);
    EXPECT_EQ(Button->Owner(), Panel);
    EXPECT_EQ(Form->ComponentCount(), 0);

    Button->Free();
    const std::vector<String> Expected {
        u"Form +Button", u"Form -Button", u"Panel +Button", u"free Button", u"Watcher -Button", u"Panel -Button",
    };
    EXPECT_EQ(Scope.Lines, Expected);
    EXPECT_FALSE(Watcher->ComponentState().Contains(csFreeNotification));

    // Free notification works both ways: freeing the watcher unlinks it.
    auto* Label = NewProbe(nullptr, "Label");
    Label->FreeNotification(Watcher);
    Scope.Lines.clear();
    Watcher->Free();
    Label->Free();
    EXPECT_EQ(Scope.Lines, (std::vector<String> { u"free Watcher", u"Label -Watcher", u"free Label" }));
    Panel->Free();
    Form->Free();
}

TEST(Component, OwnerCyclesAreRefused)
{
    auto* Root = NewProbe(nullptr, "Root");
    auto* Child = NewProbe(Root, "Child");
    EXPECT_THROW(Child->InsertComponent(Root), EComponentError);
    EXPECT_THROW(Child->InsertComponent(Child), EComponentError);
    EXPECT_EQ(Root->Owner(), nullptr);
    Root->Free();
}

TEST(Component, FailedCreateLeavesTheOwnerClean)
{
    TLogScope Scope;
    auto* Owner = NewProbe(nullptr, "Owner");
    EXPECT_THROW(New<TFailing>(Owner), EAbort);
    EXPECT_EQ(Owner->ComponentCount(), 0);
    Owner->Free();
}

TEST(Component, StateFollowsLoadingAndDestroying)
{
    auto* Owner = New<TComponent>(nullptr);
    bool ChildSawDestroying = false;
    New<TDestroyWatch>(Owner)->SawDestroying = &ChildSawDestroying;
    Owner->SetComponentStateItem(csLoading, true);
    Owner->Loaded();
    EXPECT_FALSE(Owner->ComponentState().Contains(csLoading));
    Owner->Free();
    EXPECT_TRUE(ChildSawDestroying);
}

namespace {
class TNote : public TCollectionItem {
    X_CLASS(TNote, TCollectionItem)
public:
    String Text;
    String GetDisplayName() override { return Text; }
    void Assign(TPersistent* Source) override
    {
        if (auto* N = DynamicCast<TNote>(Source))
            Text = N->Text;
        else
            inherited::Assign(Source);
    }
};

class TLoudNote : public TNote {
    X_CLASS(TLoudNote, TNote)
};

class TNotes : public TOwnedCollection {
    X_CLASS(TNotes, TOwnedCollection)
public:
    int Updates = 0;
    std::vector<String> Events;

protected:
    void Update(TCollectionItem*) override { ++Updates; }
    void Notify(TCollectionItem* Item, TCollectionNotification Action) override
    {
        static const char16_t* Names[] = { u"added", u"removed", u"extracted", u"extracting", u"deleting" };
        Events.push_back(Item->DisplayName() + u" " + Names[Action]);
    }
};

TNote* AddNote(TCollection* C, const char* Text)
{
    auto* N = static_cast<TNote*>(C->Add());
    N->Text = S(Text);
    return N;
}

String Texts(TCollection* C)
{
    String R;
    for (Integer I = 0; I < C->Count(); ++I)
        R += static_cast<TNote*>(C->Items(I))->Text;
    return R;
}
}
X_REGISTER_CLASS(TNote)
X_REGISTER_CLASS(TLoudNote)
X_REGISTER_CLASS(TNotes)

TEST(Collection, AddInsertDeleteAndIndexMoves)
{
    auto Owner = MakeOwned<TComponent>(nullptr);
    Owner->SetName(u"Owner");
    auto Notes = MakeOwned<TNotes>(Owner.get(), TNote::StaticClass());
    TNote* A = AddNote(Notes.get(), "a");
    AddNote(Notes.get(), "b");
    TNote* C = AddNote(Notes.get(), "c");
    EXPECT_EQ(Texts(Notes.get()), u"abc");
    EXPECT_EQ(C->Index(), 2);
    EXPECT_EQ(C->ID(), 2);
    EXPECT_EQ(C->GetNamePath(), u"TNotes[2]");

    static_cast<TNote*>(Notes->Insert(0))->Text = u"x";
    EXPECT_EQ(Texts(Notes.get()), u"xabc");
    static_cast<TNote*>(Notes->Insert(4))->Text = u"y";
    EXPECT_EQ(Texts(Notes.get()), u"xabcy");
    EXPECT_THROW(Notes->Insert(6), EArgumentOutOfRangeException);
    EXPECT_EQ(Notes->Count(), 5);

    A->SetIndex(3);
    EXPECT_EQ(Texts(Notes.get()), u"xbcay");
    C->SetIndex(0);
    EXPECT_EQ(Texts(Notes.get()), u"cxbay");
    EXPECT_THROW(C->SetIndex(5), EArgumentOutOfRangeException);
    EXPECT_EQ(Notes->FindItemID(0), A);
    EXPECT_EQ(Notes->FindItemID(99), nullptr);

    Notes->Events.clear();
    Notes->Delete(1);
    EXPECT_EQ(Texts(Notes.get()), u"cbay");
    EXPECT_EQ(Notes->Events, (std::vector<String> { u"x deleting", u"x extracting" }));
    EXPECT_THROW(Notes->Delete(4), EArgumentOutOfRangeException);
    EXPECT_THROW(Notes->Items(-1), EArgumentOutOfRangeException);

    // Freeing an item takes it out; freeing the collection frees the rest.
    A->Free();
    EXPECT_EQ(Texts(Notes.get()), u"cby");
    EXPECT_EQ(Notes->GetOwner(), Owner.get());
}

TEST(Collection, UpdatesWaitForTheOutermostEndUpdate)
{
    auto Notes = MakeOwned<TNotes>(nullptr, TNote::StaticClass());
    AddNote(Notes.get(), "a");
    EXPECT_EQ(Notes->Updates, 1);
    Notes->BeginUpdate();
    Notes->BeginUpdate();
    AddNote(Notes.get(), "b");
    Notes->Items(0)->SetIndex(1);
    Notes->EndUpdate();
    EXPECT_EQ(Notes->Updates, 1);
    Notes->EndUpdate();
    EXPECT_EQ(Notes->Updates, 2);
}

TEST(Collection, AssignCopiesItemsAsTheTargetsItemClass)
{
    auto Source = MakeOwned<TNotes>(nullptr, TLoudNote::StaticClass());
    AddNote(Source.get(), "p");
    AddNote(Source.get(), "q");
    auto Target = MakeOwned<TNotes>(nullptr, TNote::StaticClass());
    AddNote(Target.get(), "old");

    Target->Assign(Source.get());
    EXPECT_EQ(Texts(Target.get()), u"pq");
    EXPECT_EQ(Target->Items(0)->ClassType(), TNote::StaticClass());
    EXPECT_EQ(Source->Items(0)->ClassType(), TLoudNote::StaticClass());

    Target->Assign(Target.get());
    EXPECT_EQ(Texts(Target.get()), u"pq");
    auto Plain = MakeOwned<TPersistent>();
    EXPECT_THROW(Target->Assign(Plain.get()), EConvertError);
}

TEST(Collection, ItemsMoveOnlyBetweenCollectionsThatCanHoldThem)
{
    auto Notes = MakeOwned<TNotes>(nullptr, TNote::StaticClass());
    auto Loud = MakeOwned<TNotes>(nullptr, TLoudNote::StaticClass());
    TNote* Plain = AddNote(Notes.get(), "n");
    TNote* Shout = AddNote(Loud.get(), "L");

    Shout->SetCollection(Notes.get());
    EXPECT_EQ(Texts(Notes.get()), u"nL");
    EXPECT_EQ(Loud->Count(), 0);
    EXPECT_THROW(Plain->SetCollection(Loud.get()), EInvalidCast);
    EXPECT_EQ(Plain->Collection(), Notes.get());

    Plain->SetCollection(nullptr);
    EXPECT_EQ(Texts(Notes.get()), u"L");
    EXPECT_EQ(Plain->Index(), -1);
    Plain->Free();

    EXPECT_THROW(New<TNotes>(nullptr, TComponent::StaticClass()), EInvalidCast);
}
