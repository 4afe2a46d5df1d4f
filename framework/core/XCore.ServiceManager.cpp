#include "core/XCore.ServiceManager.h"

X_REGISTER_CLASS(TXServiceManager)

void TXServiceManager::Init()
{
    inherited::Init();
    FInterfaces.reset(New<TXLitePairs<TGUID, IPtr<IInterface>>>());
    FInstances.reset(New<TXLitePairs<TClass, TObject*>>());
    FLinks.reset(New<TXLitePairs<TClass, TClass>>());
    FOwned.reset(New<TXCustomObjectList>());
}

TXServiceManager::~TXServiceManager()
{
    // The lookups go first, so nothing points at a service being freed.
    FInstances.reset();
    FLinks.reset();
    FOwned.reset();
    FInterfaces.reset();
}

void TXServiceManager::RegisterInterface(const TGUID& Guid, IInterface* Service)
{
    FInterfaces->SetValue(Guid, IPtr<IInterface>(Service));
}

IPtr<IInterface> TXServiceManager::FindInterface(const TGUID& Guid) const
{
    return FInterfaces->GetValue(Guid);
}

void TXServiceManager::SetService(TClass Type, TObject* Service)
{
    if (GetService(Type) == Service)
        return;
    RemoveService(Type);
    FInstances->SetValue(Type, Service);
    TClass Class = Service ? Service->ClassType() : nullptr;
    if (Class && Class != Type && FInstances->IndexOfKey(Class) < 0) {
        FInstances->Add(Class, Service);
        FLinks->SetValue(Type, Class);
    }
}

void TXServiceManager::RemoveService(TClass Type)
{
    TObject* Service = GetService(Type);
    FInstances->Remove(Type);
    const Integer Link = FLinks->IndexOfKey(Type);
    if (Link >= 0) {
        FInstances->Remove(FLinks->Items(Link).Value);
        FLinks->Delete(Link);
    }
    if (!Service)
        return;
    // Every other entry that leads to the object goes too, and with it
    // the links of those entries: nothing may find it once it is freed.
    for (Integer I = FInstances->Count() - 1; I >= 0; --I)
        if (FInstances->Items(I).Value == Service)
            FInstances->Delete(I);
    for (Integer I = FLinks->Count() - 1; I >= 0; --I)
        if (FInstances->IndexOfKey(FLinks->Items(I).Key) < 0)
            FLinks->Delete(I);
    FOwned->Remove(Service);
}

TObject* TXServiceManager::GetService(TClass Type) const
{
    return FInstances->GetValue(Type);
}

void TXServiceManager::Own(TObject* Service)
{
    if (Service)
        FOwned->AddUnique(Service);
}
