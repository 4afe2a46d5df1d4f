#include "rtl/Collection.h"
#include "rtl/Component.h"
#include <gtest/gtest.h>

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

    // Made by the plain constructor (virtual construction by class), a
    // collection has no item class: adding refuses instead of calling through it.
    TOwnedPtr<TObject> Bare(Construct(TNotes::StaticClass()->NewInstance()));
    auto* NoClass = static_cast<TNotes*>(Bare.get());
    EXPECT_EQ(NoClass->ItemClass(), nullptr);
    EXPECT_THROW(NoClass->Add(), EInvalidOperation);
    EXPECT_THROW(NoClass->Insert(0), EInvalidOperation);
    TNote* Moving = AddNote(Notes.get(), "m");
    EXPECT_THROW(Moving->SetCollection(NoClass), EInvalidOperation);
    EXPECT_EQ(Moving->Collection(), Notes.get());
    EXPECT_EQ(NoClass->Count(), 0);
}
