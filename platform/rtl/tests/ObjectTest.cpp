#include "rtl/Interfaces.h"
#include "rtl/LifeWatch.h"
#include "rtl/Units.h"
#include <gtest/gtest.h>

namespace {

class TShape : public TObject {
    X_CLASS(TShape, TObject)
public:
    void Create() override { Created = Describe(); }
    virtual String Describe() const { return u"shape"; }
    String Created;
};

class TCircle : public TShape {
    X_CLASS(TCircle, TShape)
public:
    String Describe() const override { return u"circle"; }
};

}
X_REGISTER_CLASS(TShape)
X_REGISTER_CLASS(TCircle)

TEST(ObjectModel, CreateRunsWithTheFinalClassVirtuals)
{
    TOwnedPtr<TShape> Obj(New<TCircle>());
    EXPECT_EQ(Obj->Created, u"circle");
    EXPECT_EQ(Obj->ClassName(), u"TCircle");
    EXPECT_TRUE(Obj->InheritsFrom(TShape::StaticClass()));
    EXPECT_FALSE(TShape::StaticClass()->InheritsFrom(TCircle::StaticClass()));
}

TEST(ObjectModel, VirtualConstructionByName)
{
    TClass Class = GetClass(u"tcircle");
    ASSERT_EQ(Class, TCircle::StaticClass());
    auto* Obj = Construct(static_cast<TShape*>(Class->NewInstance()));
    EXPECT_EQ(Obj->Created, u"circle");
    Obj->Free();
    EXPECT_EQ(GetClass(u"TNoSuchClass"), nullptr);
    EXPECT_THROW(FindClass(u"TNoSuchClass"), EClassNotFound);
}

namespace {
struct IProbe : IInterface {
    X_GUID("{1D6B1A52-7C25-4F8E-9E0B-2E6C1F0A7B31}")
    virtual int Value() = 0;
};
struct IOther : IInterface {
    X_GUID("{1D6B1A52-7C25-4F8E-9E0B-2E6C1F0A7B32}")
};

int Destroyed = 0;
class TProbe : public TInterfacedObject, public IProbe {
    X_CLASS(TProbe, TInterfacedObject)
    X_INTERFACES(TProbe, IProbe)
public:
    HRESULT QueryInterface(const TGUID& IID, void** Obj) override
    {
        return TInterfacedObject::QueryInterface(IID, Obj);
    }
    Integer _AddRef() override { return TInterfacedObject::_AddRef(); }
    Integer _Release() override { return TInterfacedObject::_Release(); }
    void Create() override { IPtr<IProbe> Self(this); } // handed out while constructing
    ~TProbe() override { ++Destroyed; }
    int Value() override { return 7; }
};
}
X_REGISTER_CLASS(TProbe)

TEST(Interfaces, CountedObjectSurvivesReferenceTakenDuringConstruction)
{
    Destroyed = 0;
    {
        IPtr<IProbe> P = NewIntf<IProbe, TProbe>();
        EXPECT_EQ(Destroyed, 0);
        EXPECT_EQ(P->Value(), 7);
        EXPECT_TRUE(P.As<IInterface>());
        EXPECT_FALSE(P.As<IOther>());
        EXPECT_TRUE(InterfaceToObject(P.Get())->Is<TProbe>());
    }
    EXPECT_EQ(Destroyed, 1);
}

TEST(Monitor, IsReentrantOnOneThread)
{
    TOwnedPtr<TObject> Obj(New<TObject>());
    Obj->MonitorEnter();
    EXPECT_TRUE(Obj->MonitorTryEnter());
    Obj->MonitorExit();
    Obj->MonitorExit();
}

TEST(Utf, RoundTripAndInvalidInput)
{
    String Text = u"Grüße \U0001F600";
    EXPECT_EQ(UTF8ToString(StringToUTF8(Text)), Text);
    EXPECT_EQ(UTF8ToString("a\xC3"), u"a\uFFFD");
    EXPECT_EQ(UTF8ToString("\xC0\xAF"), u"\uFFFD"); // overlong
    EXPECT_EQ(UTF8ToString("\xE2\x28\xA1"), u"\uFFFD(\uFFFD");
}

#include "rtl/Comparers.h"
TEST(Comparers, DefaultAndFunction)
{
    auto C = TComparer<int>::Default();
    EXPECT_LT(C->Compare(1, 2), 0);
    EXPECT_EQ(C->Compare(2, 2), 0);
    auto R = TComparer<int>::Construct([](const int& A, const int& B) { return B - A; });
    EXPECT_GT(R->Compare(1, 2), 0);
}

TEST(LifeWatch, EveryNestedWatchLearnsOfTheFree)
{
    struct TOwner {
        TLifeMark Life;
    };
    auto* Kept = new TOwner;
    {
        TLifeWatch Outer(Kept->Life);
        {
            TLifeWatch Inner(Kept->Life);
        }
        EXPECT_FALSE(Outer.Freed());
    }
    delete Kept;

    auto* Freed = new TOwner;
    TLifeWatch Outer(Freed->Life);
    {
        TLifeWatch Inner(Freed->Life);
        delete Freed;
        EXPECT_TRUE(Inner.Freed());
    }
    EXPECT_TRUE(Outer.Freed());
}
