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

// ---- interfaces ----

namespace {
struct IProbe : IInterface {
    X_GUID("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}")
    virtual int Answer() = 0;
};

class TController : public TXManagedObject, public IProbe {
    X_CLASS(TController, TXManagedObject)
    X_INTERFACES(TController, IProbe)
    X_FORWARD_IINTERFACE(TXManagedObject)
public:
    int Answer() override { return 42; }
};

// Implements nothing itself but answers its controller's interfaces.
class TForwarder : public TXManagedObject {
    X_CLASS(TForwarder, TXManagedObject)
public:
    TController* Controller = nullptr;
    HRESULT QueryInterface(const TGUID& IID, void** Obj) override
    {
        if (TXManagedObject::QueryInterface(IID, Obj) == S_OK)
            return S_OK;
        return Controller->QueryInterface(IID, Obj);
    }
};
}
X_REGISTER_CLASS(TController)
X_REGISTER_CLASS(TForwarder)

TEST(XInterfaces, XSupportsAsksTheObjectFirstThenItsClass)
{
    auto Controller = MakeOwned<TController>();
    auto Forwarder = MakeOwned<TForwarder>();
    Forwarder->Controller = Controller.get();

    IPtr<IProbe> Probe;
    EXPECT_FALSE(XSupports<IProbe>(nullptr, Probe));
    ASSERT_TRUE(XSupports<IProbe>(Forwarder.get(), Probe));
    EXPECT_EQ(Probe->Answer(), 42);
    EXPECT_FALSE(Supports<IProbe>(Forwarder.get())) << "the class itself does not implement it";
    EXPECT_TRUE(XSupports<IProbe>(Controller.get(), Probe));

    auto Plain = MakeOwned<TObject>();
    IPtr<IXThreadable> Threadable;
    EXPECT_FALSE(XSupports<IXThreadable>(Plain.get(), Threadable));
    EXPECT_FALSE(Threadable);
}

TEST(XInterfaces, GenericInterfacesGetOneGuidPerInstance)
{
    EXPECT_NE(IXContentProvider<int>::IID, IXContentProvider<double>::IID);
    EXPECT_EQ(IXContentProvider<int>::IID, IXContentProvider<int>::IID);
    EXPECT_NE(IXObjectConverter<int>::IID, IXContentProvider<int>::IID);

    static int Freed = 0;
    class TContent : public TObject {
    public:
        ~TContent() override { ++Freed; }
    };
    {
        IPtr<IXContentProvider<TContent*>> Provider(New<TXManagedObjectContainer<TContent>>(New<TContent>()));
        EXPECT_NE(Provider->GetContent(), nullptr);
        EXPECT_EQ(Freed, 0);
    }
    EXPECT_EQ(Freed, 1);
}

TEST(XInterfaces, MakeUniqueComponentName)
{
    auto Owner = MakeOwned<TComponent>(nullptr);
    New<TComponent>(Owner.get())->SetName(u"Frame");
    New<TComponent>(Owner.get())->SetName(u"frame1");
    auto* Fresh = New<TComponent>(Owner.get());

    struct Case { const char16_t* Base; const char16_t* Expected; };
    for (Case C : { Case { u"Frame", u"Frame2" }, Case { u"Form", u"Form" }, Case { u"FRAME", u"FRAME2" } }) {
        String Name;
        MakeUniqueComponentName(Fresh, C.Base, Name);
        EXPECT_EQ(Name, C.Expected);
    }
    // Its own name is no clash; without an owner every name is free.
    Fresh->SetName(u"Frame2");
    String Name;
    MakeUniqueComponentName(Fresh, u"Frame2", Name);
    EXPECT_EQ(Name, u"Frame2");
    auto Lone = MakeOwned<TComponent>(nullptr);
    MakeUniqueComponentName(Lone.get(), u"Frame", Name);
    EXPECT_EQ(Name, u"Frame");
}

TEST(XInterfaces, MakeUniqueComponentNameGivesUpOnAValidatorThatRefusesAll)
{
    class TStrict : public TComponent {
    public:
        void ValidateRename(TComponent*, const String&, const String&) override { throw EComponentError(u"never"); }
    };
    auto Strict = MakeOwned<TStrict>(nullptr);
    String Name;
    EXPECT_THROW(MakeUniqueComponentName(Strict.get(), u"X", Name), EComponentError);
}

// ---- value types ----

TEST(XTypes, BitRoutines)
{
    struct Case { Cardinal Value; Integer Bit; bool State; Cardinal Expected; };
    const Case Cases[] = {
        { 0, 0, true, 1 }, { 0, 31, true, 0x80000000u }, { 0xFFFFFFFFu, 31, false, 0x7FFFFFFFu },
        { 5, 2, false, 1 }, { 5, 32, true, 5 }, { 5, 200, false, 5 }, { 5, -1, true, 5 },
    };
    for (const Case& C : Cases)
        EXPECT_EQ(SetBit(C.Value, C.Bit, C.State), C.Expected) << C.Value << " bit " << C.Bit;

    EXPECT_EQ(SetBits(0, { 0, 3, 32, 40, -5 }, true), 9u);
    EXPECT_EQ(SetBits(0xFF, { 0, 7, 99 }, false), 0x7Eu);
    EXPECT_TRUE(IsBitSet(0x80000000u, 31));
    EXPECT_FALSE(IsBitSet(0xFFFFFFFFu, 40));
    EXPECT_FALSE(IsBitSet(0xFFFFFFFFu, 32));
    EXPECT_FALSE(IsBitSet(0xFFFFFFFFu, -1));
    EXPECT_EQ(SetBit64(0, 63, true), 0x8000000000000000ull);
    EXPECT_EQ(SetBit64(7, 64, false), 7u);
}

TEST(XTypes, HiMetricToPixelsRoundsHalfToEven)
{
    struct Case { Word DPI; Integer Value; Integer Expected; };
    const Case Cases[] = {
        { 96, 2540, 96 }, { 0, 1234, 1234 }, { 1, 1270, 0 }, { 1, 3810, 2 }, { 1, -1270, 0 },
        { 1, -3810, -2 }, { 96, 1000, 38 }, { 65535, 2147483647, 2147483647 },
        { 65535, -2147483647 - 1, -2147483647 - 1 },
    };
    for (const Case& C : Cases)
        EXPECT_EQ(HiMetricToPixels(C.DPI, C.Value), C.Expected) << C.DPI << " " << C.Value;
}

TEST(XTypes, UpdateCountIsIdleOnlyAfterTheOutermostEnd)
{
    TXUpdateCount Count;
    EXPECT_TRUE(Count.IsIdle());
    Count.BeginUpdate();
    Count.BeginUpdate();
    Count.EndUpdate();
    EXPECT_FALSE(Count.IsIdle());
    Count.EndUpdate();
    EXPECT_TRUE(Count.IsIdle());

    IInterface* Sentinel = XUpdateSentinel();
    void* Out = &Count;
    EXPECT_EQ(Sentinel->QueryInterface(IInterface::IID, &Out), E_NOINTERFACE);
    EXPECT_EQ(Out, nullptr);
    EXPECT_EQ(Sentinel->_AddRef(), -1);
    EXPECT_EQ(Sentinel->_Release(), -1);
}

namespace {
int PlainCalls = 0;
void PlainProc() { ++PlainCalls; }
struct TCounter {
    int Calls = 0;
    void Tick() { ++Calls; }
};
}

TEST(XTypes, AnyProcedureCallsAndOrders)
{
    TCounter A, B;
    auto MA = TXAnyProcedure::Method<&TCounter::Tick>(&A);
    MA.Invoke();
    TXAnyProcedure::Method<&TCounter::Tick>(&B).Invoke();
    TXAnyProcedure::Plain(&PlainProc).Invoke();
    EXPECT_EQ(A.Calls, 1);
    EXPECT_EQ(B.Calls, 1);
    EXPECT_EQ(PlainCalls, 1);
    EXPECT_EQ(MA, TXAnyProcedure::Method<&TCounter::Tick>(&A));

    TXAnyProcedureComparer Comparer;
    // Data pointers 4 GiB apart: a 32-bit difference would give the wrong sign.
    TXAnyProcedure Low { &PlainProc, reinterpret_cast<void*>(NativeUInt(0x1000)) };
    TXAnyProcedure High { &PlainProc, reinterpret_cast<void*>(NativeUInt(0x100001000ull)) };
    EXPECT_LT(Comparer.Compare(Low, High), 0);
    EXPECT_GT(Comparer.Compare(High, Low), 0);
    EXPECT_EQ(Comparer.Compare(Low, Low), 0);
}
