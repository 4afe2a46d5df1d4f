#include "rtl/Collection.h"
#include "rtl/Component.h"
#include "core/XCore.Engine.Aspects.h"
#include "core/XCore.Factory.h"
#include <gtest/gtest.h>
#include <thread>

namespace {

// Counts how many of its instances were freed.
class TFreeProbeAspect : public TXCustomAspect {
    X_CLASS(TFreeProbeAspect, TXCustomAspect)
public:
    static inline int Freed = 0;
    ~TFreeProbeAspect() override { ++Freed; }
};

class TRaisingObject : public TXObject {
    X_CLASS(TRaisingObject, TXObject)
public:
    void Init() override { throw EInvalidOperation(u"refused"); }
};

class TFactoryItem : public TCollectionItem {
    X_CLASS(TFactoryItem, TCollectionItem)
public:
    bool Built = false;
    void Create(TCollection* ACollection) override
    {
        inherited::Create(ACollection);
        Built = true;
    }
};

class TFactoryComponent : public TComponent {
    X_CLASS(TFactoryComponent, TComponent)
public:
    bool Built = false;
    void Create(TComponent* AOwner) override
    {
        inherited::Create(AOwner);
        Built = true;
    }
};

}

X_REGISTER_CLASS(TFreeProbeAspect)
X_REGISTER_CLASS(TRaisingObject)
X_REGISTER_CLASS(TFactoryItem)
X_REGISTER_CLASS(TFactoryComponent)

TEST(Notifications, CarryTopicSenderAndOwnedAspect)
{
    TFreeProbeAspect::Freed = 0;
    TObject Sender;
    auto* Aspect = New<TFreeProbeAspect>();
    {
        IPtr<IXNotification> N = NewNotification(Aspect, &Sender, u"topic");
        EXPECT_EQ(N->GetTopic(), u"topic");
        EXPECT_EQ(N->GetSender(), &Sender);
        EXPECT_EQ(N->GetAspect(), Aspect);
        EXPECT_TRUE(N.As<IXNotification>());
        EXPECT_EQ(TFreeProbeAspect::Freed, 0);
    }
    // Released without ever being delivered: the aspect goes with it.
    EXPECT_EQ(TFreeProbeAspect::Freed, 1);
}

TEST(Notifications, TypedNotificationAnswersItsAspectTyped)
{
    auto* N = New<TXNotification<TXActionAspect>>(Byte(1), String(), nullptr, New<TXActionAspect>(u"go", 5, 6));
    EXPECT_EQ(N->CountMode(), 2);
    IPtr<IXNotificationOf<TXActionAspect>> Typed(N);
    EXPECT_EQ(Typed->GetTypedAspect()->Name, u"go");
    EXPECT_EQ(Typed->GetTypedAspect()->ActionID, 5);
    EXPECT_EQ(Typed->GetTypedAspect()->Param, 6);
}

TEST(Notifications, ReleasedOnAnotherThreadExactlyOnce)
{
    // Built here, held by many threads at once, released last elsewhere.
    TFreeProbeAspect::Freed = 0;
    IPtr<IXNotification> N = NewNotification(New<TFreeProbeAspect>());
    std::vector<std::thread> Threads;
    for (int T = 0; T < 4; ++T)
        Threads.emplace_back([Copy = N]() mutable {
            for (int I = 0; I < 10000; ++I) {
                IPtr<IXNotification> More = Copy;
                More.Reset();
            }
        });
    N.Reset();
    for (auto& T : Threads)
        T.join();
    EXPECT_EQ(TFreeProbeAspect::Freed, 1);
}

TEST(Notifications, StackRecordCountsNothingAndAnswersNoQuery)
{
    TXActionAspect Aspect;
    TXNotificationRec Rec;
    IXNotification* N = Rec.Init(u"t", nullptr, &Aspect);
    EXPECT_EQ(N->_AddRef(), -1);
    EXPECT_EQ(N->_Release(), -1);
    EXPECT_EQ(N->_Release(), -1);
    void* Out = &Rec;
    EXPECT_EQ(N->QueryInterface(IXNotification::IID, &Out), E_NOINTERFACE);
    EXPECT_EQ(Out, nullptr);
    EXPECT_EQ(N->GetTopic(), u"t");
    EXPECT_EQ(N->GetAspect(), &Aspect);
}

TEST(Aspects, DialogActionOf)
{
    struct {
        Integer Action, Expected;
    } Cases[] = {
        { 0, 0 },
        { -1, 0 },
        { -10, 0 },
        { 1, 1 },
        { 5, 5 },
        { 10, 10 },
        { 11, 0 },
        { 1000, 0 },
    };
    for (auto C : Cases)
        EXPECT_EQ(DialogActionOf(C.Action), C.Expected) << C.Action;
}

TEST(Aspects, ConstructorsFillFields)
{
    TOwnedPtr<TXActionAspect> ById(New<TXActionAspect>(7));
    EXPECT_EQ(ById->ActionID, 7);
    EXPECT_EQ(ById->Param, 0);
    TOwnedPtr<TXRequestActionAspect> Request(New<TXRequestActionAspect>(3, 4));
    EXPECT_FALSE(Request->Handled);
    TOwnedPtr<TXTimeExactMinuteAspect> Minute(New<TXTimeExactMinuteAspect>(Word(61), 45000.5));
    EXPECT_EQ(Minute->MinOfDay, 61);
    EXPECT_EQ(Minute->DateTime, 45000.5);
    TXErrorData Error = TXErrorData::Create(44, 2, u"file");
    TOwnedPtr<TXOperationTerminatedAspect> Ended(New<TXOperationTerminatedAspect>(u"scan", Error));
    EXPECT_EQ(Ended->ErrorData.Code, 44);
    EXPECT_EQ(Ended->ErrorData.Text, u"file");
}

TEST(Aspects, DataChangedCopiesOnlyFromItsOwnClass)
{
    TOwnedPtr<TXStringChangedAspect> Target(New<TXStringChangedAspect>(u"old"));
    TOwnedPtr<TXStringChangedAspect> Same(New<TXStringChangedAspect>(u"new"));
    TOwnedPtr<TXDateTimeChangedAspect> Other(New<TXDateTimeChangedAspect>(1.0));
    EXPECT_TRUE(Target->AssignFrom(Other.get()));
    EXPECT_EQ(Target->Value, u"old");
    EXPECT_TRUE(Target->AssignFrom(nullptr));
    EXPECT_TRUE(Target->AssignFrom(Same.get()));
    EXPECT_EQ(Target->Value, u"new");
}

TEST(Factory, FindsRegisteredClassesOnly)
{
    EXPECT_EQ(FindClassSafe(u"txactionaspect"), TXActionAspect::StaticClass());
    EXPECT_EQ(FindClassSafe(u"NoSuchClassAnywhere"), nullptr);
    EXPECT_EQ(FindClassSafe(u""), nullptr);
}

TEST(Factory, CreatesWithTheFittingConstructor)
{
    EXPECT_EQ(CreateInstanceOf(nullptr), nullptr);
    EXPECT_EQ(CreateInstanceOf(TRaisingObject::StaticClass()), nullptr);
    TOwnedPtr<TObject> Plain(CreateInstanceOf(TXCustomAspect::StaticClass()));
    ASSERT_TRUE(Plain);
    EXPECT_EQ(Plain->ClassType(), TXCustomAspect::StaticClass());

    TOwnedPtr<TObject> Item(CreateInstanceOf(TFactoryItem::StaticClass()));
    ASSERT_TRUE(Item);
    EXPECT_TRUE(static_cast<TFactoryItem*>(Item.get())->Built);
    EXPECT_EQ(static_cast<TFactoryItem*>(Item.get())->Collection(), nullptr);

    TOwnedPtr<TObject> Component(CreateInstanceOf(TFactoryComponent::StaticClass()));
    ASSERT_TRUE(Component);
    EXPECT_TRUE(static_cast<TFactoryComponent*>(Component.get())->Built);
    EXPECT_EQ(static_cast<TFactoryComponent*>(Component.get())->Owner(), nullptr);

    TOwnedPtr<TObject> Aspect(CreateInstanceOf(TXTimeTickAspect::StaticClass()));
    ASSERT_TRUE(Aspect);
    EXPECT_FALSE(static_cast<TXTimeTickAspect*>(Aspect.get())->Tick);
}
