#include "core/XCore.ServiceManager.h"
#include <gtest/gtest.h>

namespace {

class TBaseService : public TObject {
    X_CLASS(TBaseService, TObject)
public:
    bool* Freed = nullptr;
    ~TBaseService() override
    {
        if (Freed)
            *Freed = true;
    }
};

class TClientService : public TBaseService {
    X_CLASS(TClientService, TBaseService)
};

struct IProbeService : IInterface {
    X_GUID("{5B0E0F7A-3C1D-4E55-9A0B-6D2E8C4F1A21}")
};

class TProbeService : public TInterfacedObject, public IProbeService {
    X_CLASS(TProbeService, TInterfacedObject)
    X_INTERFACES(TProbeService, IProbeService)
    X_FORWARD_IINTERFACE(TInterfacedObject)
};

struct IOtherService : IInterface {
    X_GUID("{5B0E0F7A-3C1D-4E55-9A0B-6D2E8C4F1A22}")
};

template<class T>
T* NewService(bool* Freed)
{
    T* S = New<T>();
    S->Freed = Freed;
    return S;
}

class Services : public testing::Test {
protected:
    TOwnedPtr<TXServiceManager> Manager { New<TXServiceManager>() };
};

}

X_REGISTER_CLASS(TBaseService)
X_REGISTER_CLASS(TClientService)
X_REGISTER_CLASS(TProbeService)

TEST_F(Services, ADescendantReplacesAndFreesTheServiceBefore)
{
    bool OldFreed = false, NewFreed = false;
    TBaseService* Old = NewService<TBaseService>(&OldFreed);
    Manager->SetService<TBaseService>(Old);
    Manager->Own(Old);
    EXPECT_EQ(Manager->GetService<TBaseService>(), Old);
    EXPECT_EQ(Manager->GetService<TClientService>(), nullptr);

    TClientService* Client = NewService<TClientService>(&NewFreed);
    Manager->SetService<TBaseService>(Client);
    Manager->Own(Client);
    EXPECT_TRUE(OldFreed);
    EXPECT_EQ(Manager->GetService<TBaseService>(), Client);
    EXPECT_EQ(Manager->GetService<TClientService>(), Client);

    Manager.reset();
    EXPECT_TRUE(NewFreed);
}

TEST_F(Services, TheRegisteredObjectAgainChangesNothing)
{
    bool Freed = false;
    TClientService* Client = NewService<TClientService>(&Freed);
    Manager->SetService<TBaseService>(Client);
    Manager->Own(Client);
    Manager->SetService<TBaseService>(Client);
    EXPECT_FALSE(Freed);
    EXPECT_EQ(Manager->GetService<TBaseService>(), Client);
    EXPECT_EQ(Manager->GetService<TClientService>(), Client);

    // Freed points into this body: the manager goes while it is there.
    Manager.reset();
    EXPECT_TRUE(Freed);
}

TEST_F(Services, RemovingAServiceDropsEveryEntryLeadingToIt)
{
    bool FirstFreed = false, SecondFreed = false;
    TClientService* First = NewService<TClientService>(&FirstFreed);
    Manager->SetService<TBaseService>(First);
    Manager->Own(First);
    // Registering under the class itself frees the first object, which
    // the base type led to as well.
    TClientService* Second = NewService<TClientService>(&SecondFreed);
    Manager->SetService<TClientService>(Second);
    Manager->Own(Second);
    EXPECT_TRUE(FirstFreed);
    EXPECT_EQ(Manager->GetService<TBaseService>(), nullptr);
    EXPECT_EQ(Manager->GetService<TClientService>(), Second);

    Manager->RemoveService<TClientService>();
    EXPECT_TRUE(SecondFreed);
    EXPECT_EQ(Manager->GetService<TClientService>(), nullptr);
}

TEST_F(Services, InterfacesByGuid)
{
    EXPECT_FALSE(Manager->GetInterface<IProbeService>());
    IPtr<IProbeService> A = NewIntf<IProbeService, TProbeService>();
    IPtr<IProbeService> B = NewIntf<IProbeService, TProbeService>();
    Manager->RegisterInterface(IProbeService::IID, A.Get());
    EXPECT_EQ(Manager->GetInterface<IProbeService>(), A);
    Manager->RegisterInterface(IProbeService::IID, B.Get());
    EXPECT_EQ(Manager->GetInterface<IProbeService>(), B);
    // Stored under a GUID it does not answer: nothing comes back.
    Manager->RegisterInterface(IOtherService::IID, A.Get());
    EXPECT_FALSE(Manager->GetInterface<IOtherService>());

    auto* Object = static_cast<TProbeService*>(InterfaceToObject(B.Get()));
    const Integer Held = Object->RefCount();
    Manager.reset();
    EXPECT_EQ(Object->RefCount(), Held - 1);
}
