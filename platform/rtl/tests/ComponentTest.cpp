#include "rtl/Component.h"
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
X_REGISTER_CLASS(TProbe)
X_REGISTER_CLASS(TFailing)
X_REGISTER_CLASS(TDestroyWatch)

TEST(Component, NamesAreIdentifiersUniqueWithinTheOwner)
{
    auto Owner = MakeOwned<TComponent>(nullptr);
    TComponent* Frame = NewProbe(Owner.get(), "Frame");
    TComponent* Other = NewProbe(Owner.get(), "");

    struct Case {
        const char* Name;
        const char16_t* Error;
    };
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
        u"free Owner",
        u"free C",
        u"B -C",
        u"A -C",
        u"Owner -C",
        u"free B",
        u"A -B",
        u"Owner -B",
        u"free A",
        u"Owner -A",
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
        u"Form +Button",
        u"Form -Button",
        u"Panel +Button",
        u"free Button",
        u"Watcher -Button",
        u"Panel -Button",
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
