// A registry of shared service objects, found by type or by interface
// without knowing who made them. A service registered under a type T whose
// class C differs is found under C too:
//
//     Services->SetService<TXAppVersionService>(New<TXAppClientService>());
//     Services->Own(Service);                 // freed with the registry
//     auto* Version = Services->GetService<TXAppVersionService>();
//     auto* Client = Services->GetService<TXAppClientService>();  // the same
//
// Registering under T removes (and frees, when owned) what was registered
// under T before; registering the object that is there already changes
// nothing.
#pragma once
#include "core/XCore.Classes.h"
#include "core/XCore.Collections.h"
#include "core/XCore.Collections.Lite.h"

class TXServiceManager : public TXNamedPersistent {
    X_CLASS(TXServiceManager, TXNamedPersistent)
public:
    void Init() override;
    ~TXServiceManager() override;

    // Adds the pair, or replaces the interface stored under Guid.
    void RegisterInterface(const TGUID& Guid, IInterface* Service);
    // The stored interface asked for Guid; null when nothing is stored.
    IPtr<IInterface> FindInterface(const TGUID& Guid) const;
    template<class I>
    IPtr<I> GetInterface() const
    {
        return FindInterface(I::IID).template As<I>();
    }

    void SetService(TClass Type, TObject* Service);
    void RemoveService(TClass Type);
    // Null when nothing is registered under Type.
    TObject* GetService(TClass Type) const;
    // The registry frees Service when it is removed or the registry goes.
    void Own(TObject* Service);

    template<class T>
    void SetService(T* Service)
    {
        SetService(T::StaticClass(), Service);
    }
    template<class T>
    void RemoveService()
    {
        RemoveService(T::StaticClass());
    }
    template<class T>
    T* GetService() const
    {
        return static_cast<T*>(GetService(T::StaticClass()));
    }

private:
    TOwnedPtr<TXLitePairs<TGUID, IPtr<IInterface>>> FInterfaces;
    TOwnedPtr<TXLitePairs<TClass, TObject*>> FInstances;
    // Type T to class C, for a service registered under T whose class C
    // differs.
    TOwnedPtr<TXLitePairs<TClass, TClass>> FLinks;
    TOwnedPtr<TXCustomObjectList> FOwned;
};
