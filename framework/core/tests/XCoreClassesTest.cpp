#include "core/XCore.Classes.h"
#include <gtest/gtest.h>

namespace {

std::vector<String> Events;

// ---- counting ----

struct TLife {
    int Destroyed = 0;
    Byte StateInInit = 0xFF;
    Byte StateAtEnd = 0xFF;
};

class TCountedObject : public TXManagedObject {
    X_CLASS(TCountedObject, TXManagedObject)
public:
    static inline TLife* Life = nullptr;
    static inline bool FailInInit = false;
    static inline bool KeepSelf = false;
    IPtr<IXThreadable> Self;
    void Init() override
    {
        Life->StateInInit = State();
        // Handed out while constructing, and released again.
        IPtr<IXThreadable> Temporary(this);
        if (KeepSelf)
            Self = Temporary;
        if (FailInInit)
            throw EAbort(u"init failed");
    }
    ~TCountedObject() override
    {
        ++Life->Destroyed;
        Life->StateAtEnd = State();
    }
};

class TCountedPersistent : public TXManagedPersistent {
    X_CLASS(TCountedPersistent, TXManagedPersistent)
public:
    static inline Byte NextMode = 0;
    static inline int Destroyed = 0;
    void Create() override
    {
        inherited::Create();
        SetCountMode(NextMode);
    }
    void Init() override { IPtr<IXAssignable> Temporary(this); }
    ~TCountedPersistent() override { ++Destroyed; }
};

class TCountedItem : public TXManagedCollectionItem {
    X_CLASS(TCountedItem, TXManagedCollectionItem)
public:
    static inline Byte NextMode = 0;
    static inline int Destroyed = 0;
    void Create(TCollection* ACollection) override
    {
        inherited::Create(ACollection);
        SetCountMode(NextMode);
    }
    ~TCountedItem() override { ++Destroyed; }
};

}
X_REGISTER_CLASS(TCountedObject)
X_REGISTER_CLASS(TCountedPersistent)
X_REGISTER_CLASS(TCountedItem)

TEST(XManagedObject, CountingModes)
{
    for (Byte Mode : { 0, 1, 2 }) {
        SCOPED_TRACE(int(Mode));
        TLife Life;
        TCountedObject::Life = &Life;
        auto* Obj = NewManaged<TCountedObject>(Mode);
        EXPECT_EQ(Life.StateInInit, xsConstructing);
        EXPECT_EQ(Obj->State(), xsReady);
        EXPECT_EQ(Life.Destroyed, 0) << "a reference handed out while constructing freed it";
        if (Mode == 0) {
            for (int I = 0; I < 3; ++I) {
                EXPECT_EQ(Obj->_AddRef(), -1);
                EXPECT_EQ(Obj->_Release(), -1);
                EXPECT_EQ(Obj->_Release(), -1);
            }
            EXPECT_EQ(Life.Destroyed, 0);
            Obj->Free();
        } else {
            EXPECT_EQ(Obj->RefCount(), 0);
            IPtr<IXThreadable> Ref(Obj);
            EXPECT_EQ(Obj->RefCount(), 1);
            Ref = nullptr;
        }
        EXPECT_EQ(Life.Destroyed, 1);
        EXPECT_EQ(Life.StateAtEnd, xsDestroying);
    }

    // Plain Create counts nothing.
    TLife Life;
    TCountedObject::Life = &Life;
    auto* Plain = New<TCountedObject>();
    EXPECT_EQ(Plain->CountMode(), 0);
    EXPECT_EQ(Plain->_Release(), -1);
    Plain->Free();
}

TEST(XManagedObject, KeptReferenceAndFailedConstruction)
{
    TLife Life;
    TCountedObject::Life = &Life;
    TCountedObject::KeepSelf = true;
    auto* Obj = NewManaged<TCountedObject>(2);
    TCountedObject::KeepSelf = false;
    EXPECT_EQ(Obj->RefCount(), 1);
    Obj->Self = nullptr;
    EXPECT_EQ(Life.Destroyed, 1);

    TCountedObject::FailInInit = true;
    EXPECT_THROW(NewManaged<TCountedObject>(1), EAbort);
    TCountedObject::FailInInit = false;
    EXPECT_EQ(Life.Destroyed, 2);
    EXPECT_EQ(Life.StateAtEnd, xsDestroying);
}

TEST(XManagedObject, PersistentAndItemFormsCountTheSameWay)
{
    for (Byte Mode : { 0, 1, 2 }) {
        SCOPED_TRACE(int(Mode));
        TCountedPersistent::Destroyed = 0;
        TCountedPersistent::NextMode = Mode;
        auto* P = New<TCountedPersistent>();
        EXPECT_EQ(TCountedPersistent::Destroyed, 0);
        EXPECT_EQ(P->CountMode(), Mode);
        if (Mode == 0) {
            EXPECT_EQ(P->_AddRef(), -1);
            EXPECT_EQ(P->_Release(), -1);
            EXPECT_EQ(P->_Release(), -1);
            EXPECT_EQ(TCountedPersistent::Destroyed, 0);
            P->Free();
        } else {
            EXPECT_EQ(P->RefCount(), 0);
            IPtr<IXAssignable> Ref(P);
            EXPECT_EQ(P->RefCount(), 1);
            Ref = nullptr;
        }
        EXPECT_EQ(TCountedPersistent::Destroyed, 1);

        TCountedItem::Destroyed = 0;
        TCountedItem::NextMode = Mode;
        auto Items = MakeOwned<TCollection>(TCountedItem::StaticClass());
        auto* Item = static_cast<TCountedItem*>(Items->Add());
        if (Mode == 0) {
            EXPECT_EQ(Item->_Release(), -1);
        } else {
            IPtr<IXNameable>(static_cast<IXNameable*>(Item)).Reset();
            EXPECT_EQ(Items->Count(), 0) << "the last release frees the item and takes it out";
        }
        EXPECT_EQ(TCountedItem::Destroyed, Mode == 0 ? 0 : 1);
    }
}

// ---- construction and assignment ----

namespace {
class TShape : public TXNamedPersistent {
    X_CLASS(TShape, TXNamedPersistent)
public:
    int Size = 0;
    Byte FlagsInInit = 0;
    Byte FlagsInAssign = 0;
    bool AcceptNil = true;
    void Init() override
    {
        FlagsInInit = Flags();
        Events.push_back(u"Init");
    }
    void Clear() override
    {
        Events.push_back(u"Clear");
        Size = 0;
    }
    void SetDefaults() override
    {
        inherited::SetDefaults();
        Events.push_back(u"SetDefaults");
        Size = 5;
    }
    void AfterConstruction() override
    {
        Events.push_back(u"AfterConstruction");
        inherited::AfterConstruction();
    }
    bool AssignFrom(TPersistent* Source) override
    {
        FlagsInAssign = Flags();
        inherited::AssignFrom(Source);
        if (!Source)
            return AcceptNil;
        auto* S = DynamicCast<TShape>(Source);
        if (!S)
            return false;
        Size = S->Size;
        return true;
    }
};

// Known only to itself: copies into a TShape through AssignTo.
class TSizeSource : public TInterfacedPersistent {
    X_CLASS(TSizeSource, TInterfacedPersistent)
public:
    void AssignTo(TPersistent* Dest) override
    {
        if (auto* S = DynamicCast<TShape>(Dest))
            S->Size = 77;
        else
            inherited::AssignTo(Dest);
    }
};

class TTaggedItem : public TXManagedCollectionItem {
    X_CLASS(TTaggedItem, TXManagedCollectionItem)
public:
    bool StoreDataInDefaults = false;
    void SetDefaults() override
    {
        StoreDataInDefaults = StoreData();
        inherited::SetDefaults();
    }
};

class TNamedComponent : public TXComponent {
    X_CLASS(TNamedComponent, TXComponent)
public:
    bool Known = false;
    bool AssignFrom(TPersistent* Source) override { return !Source || Known; }
};
}
X_REGISTER_CLASS(TShape)
X_REGISTER_CLASS(TSizeSource)
X_REGISTER_CLASS(TTaggedItem)
X_REGISTER_CLASS(TNamedComponent)

TEST(XPersistent, ConstructionRunsInitThenDefaultsAndTracksFlags)
{
    Events.clear();
    auto Shape = MakeOwned<TShape>();
    EXPECT_EQ(Events, (std::vector<String> { u"Init", u"Clear", u"SetDefaults", u"AfterConstruction" }));
    EXPECT_EQ(Shape->FlagsInInit, xfConstructing);
    EXPECT_EQ(Shape->Flags(), 0);
    EXPECT_EQ(Shape->Size, 5);
    EXPECT_TRUE(Shape->IsEmpty());
}

TEST(XPersistent, AssignAsksTheTargetFirstThenTheSource)
{
    auto A = MakeOwned<TShape>();
    auto B = MakeOwned<TShape>();
    B->SetName(u"B");
    B->Size = 9;
    A->Assign(B.get());
    EXPECT_EQ(A->Size, 9);
    EXPECT_EQ(A->Name(), u"B");
    EXPECT_EQ(A->FlagsInAssign, xfAssigning);
    EXPECT_EQ(A->Flags(), 0);

    auto Source = MakeOwned<TSizeSource>();
    A->Assign(Source.get());
    EXPECT_EQ(A->Size, 77);

    // Nil: nothing happens, whether the target accepts it or not.
    A->Assign(nullptr);
    A->AcceptNil = false;
    A->Assign(nullptr);
    EXPECT_EQ(A->Size, 77);
    EXPECT_EQ(A->Name(), u"B");

    // Neither side knows the other: the platform's error, and no flag left.
    auto Plain = MakeOwned<TPersistent>();
    EXPECT_THROW(A->Assign(Plain.get()), EConvertError);
    EXPECT_EQ(A->Flags(), 0);

    auto C = MakeOwned<TNamedComponent>(nullptr);
    C->Assign(nullptr);
    EXPECT_THROW(C->Assign(Plain.get()), EConvertError);
    C->Known = true;
    C->Assign(Plain.get());
}

TEST(XPersistent, AssignExceptNameKeepsTheNameOnce)
{
    auto Target = MakeOwned<TShape>();
    Target->SetName(u"Target");
    auto Source = MakeOwned<TShape>();
    Source->SetName(u"Source");
    Source->Size = 3;

    Target->AssignExceptName(Source.get());
    EXPECT_EQ(Target->Size, 3);
    EXPECT_EQ(Target->Name(), u"Target");
    EXPECT_EQ(Target->FlagsInAssign, xfKeepName);
    EXPECT_EQ(Target->Flags(), 0);

    // Through the interface a named source gives only its name, which the
    // target keeps here.
    Source->Size = 4;
    Target->AssignIntfExceptName(static_cast<IXNameable*>(Source.get()));
    EXPECT_EQ(Target->Size, 3);
    EXPECT_EQ(Target->Name(), u"Target");
    EXPECT_EQ(Target->Flags(), 0);

    Target->Assign(Source.get());
    EXPECT_EQ(Target->Name(), u"Source");

    // A failed assignment clears the bit as well.
    auto Plain = MakeOwned<TPersistent>();
    EXPECT_THROW(Target->AssignExceptName(Plain.get()), EConvertError);
    EXPECT_EQ(Target->Flags(), 0);
}

TEST(XPersistent, NamesComeFromAnyNameableSource)
{
    auto Items = MakeOwned<TCollection>(TTaggedItem::StaticClass());
    auto* Item = static_cast<TTaggedItem*>(Items->Add());
    EXPECT_TRUE(Item->StoreDataInDefaults);
    EXPECT_TRUE(Item->StoreData());
    Item->SetName(u"Caption");

    // A TXNamedPersistent takes the name of an item through IXNameable,
    // and an item takes the name of a persistent the same way.
    auto Shape = MakeOwned<TShape>();
    Shape->AcceptNil = true;
    Shape->AssignFromInterface(static_cast<IXNameable*>(Item));
    EXPECT_EQ(Shape->Name(), u"Caption");

    Shape->SetName(u"Shape");
    Item->Assign(Shape.get());
    EXPECT_EQ(Item->DisplayName(), u"Shape");
    Item->AssignExceptName(Items->Add());
    EXPECT_EQ(Item->GetName(), u"Shape");
    Item->Assign(Items->Items(1));
    EXPECT_EQ(Item->GetName(), u"");
    EXPECT_EQ(Item->Flags(), 0);

    // A source that is not nameable: the object behind the interface is
    // assigned instead.
    auto Sizer = MakeOwned<TSizeSource>();
    Shape->AssignFromInterface(static_cast<IInterface*>(Sizer.get()));
    EXPECT_EQ(Shape->Size, 77);
    EXPECT_EQ(Shape->Name(), u"Shape");
    Shape->AssignFromInterface(nullptr);
    EXPECT_EQ(Shape->Size, 77);
    EXPECT_EQ(Shape->Flags(), 0);
}

TEST(XInitializableObject, InitializeRunsOnTheFinishedObject)
{
    class TSingleton : public TXInitializableObject {
    public:
        std::vector<String> Seen;
        void Init() override { Seen.push_back(u"Init"); }
        void Initialize() override { Seen.push_back(u"Initialize"); }
    };
    auto S = MakeOwned<TSingleton>();
    EXPECT_EQ(S->Seen, (std::vector<String> { u"Init", u"Initialize" }));
}

namespace {
class TManagedPersistentProbe : public TXManagedPersistent {
    X_CLASS(TManagedPersistentProbe, TXManagedPersistent)
};
}
X_REGISTER_CLASS(TManagedPersistentProbe)

TEST(XManagedPersistent, CreateManagedCountsInTheGivenMode)
{
    TManagedPersistentProbe* P = NewManaged<TManagedPersistentProbe>(2);
    EXPECT_EQ(P->CountMode(), 2);
    {
        IPtr<IXSerializable> Ref(P);
        EXPECT_EQ(P->RefCount(), 1);
    } // the last release frees it
}
