#include "core/XCore.Classes.h"
#include "rtl/Units.h"

X_REGISTER_CLASS(TXObject)
X_REGISTER_CLASS(TXInitializableObject)
X_REGISTER_CLASS(TXManagedObject)
X_REGISTER_CLASS(TXPersistent)
X_REGISTER_CLASS(TXManagedPersistent)
X_REGISTER_CLASS(TXNamedPersistent)
X_REGISTER_CLASS(TXCollectionItem)
X_REGISTER_CLASS(TXManagedCollectionItem)
X_REGISTER_CLASS(TXComponent)

X_UNIT(XCore_Classes, "XCore.Classes", {}, nullptr, nullptr)

// ---- Counting ----

Integer XDetail::TXRefCounter::AddRef()
{
    switch (Mode) {
    case 1: {
        Integer Value = Count.load(std::memory_order_relaxed) + 1;
        Count.store(Value, std::memory_order_relaxed);
        return Value;
    }
    case 2: return Count.fetch_add(1, std::memory_order_acq_rel) + 1;
    default: return -1;
    }
}

Integer XDetail::TXRefCounter::Release(bool& Free)
{
    Integer Value;
    switch (Mode) {
    case 1:
        Value = Count.load(std::memory_order_relaxed) - 1;
        Count.store(Value, std::memory_order_relaxed);
        break;
    case 2: Value = Count.fetch_sub(1, std::memory_order_acq_rel) - 1; break;
    default: Free = false; return -1;
    }
    Free = Value == 0;
    return Value;
}

void XDetail::TXRefCounter::Constructed()
{
    if (Mode == 1)
        Count.store(Count.load(std::memory_order_relaxed) - 1, std::memory_order_relaxed);
    else if (Mode == 2)
        Count.fetch_sub(1, std::memory_order_acq_rel);
}

namespace {
// The assignment of the persistent and item classes: the target's
// AssignFrom first, then the source's AssignTo; the assigning and
// keep-name bits never outlive the call.
template<class Self>
void AssignWithFlags(Self* Target, Byte& Flags, TPersistent* Source)
{
    if (!(Flags & xfKeepName))
        Flags |= xfAssigning;
    try {
        if (!Target->AssignFrom(Source) && Source)
            Source->AssignTo(Target);
    } catch (...) { // the bits go, then the failure passes on
        Flags &= Byte(~(xfAssigning | xfKeepName));
        throw;
    }
    Flags &= Byte(~(xfAssigning | xfKeepName));
}

template<class Self>
void AssignInterfaceWithFlags(Self* Target, Byte& Flags, IInterface* Source)
{
    IPtr<IInterface> Hold(Source);
    if (!(Flags & xfKeepName))
        Flags |= xfAssigning;
    try {
        if (!Target->AssignFromIntf(Source))
            if (auto* Persistent = DynamicCast<TPersistent>(InterfaceToObject(Source)))
                Target->Assign(Persistent);
    } catch (...) { // the bits go, then the failure passes on
        Flags &= Byte(~(xfAssigning | xfKeepName));
        throw;
    }
    Flags &= Byte(~(xfAssigning | xfKeepName));
}

// A name through IXNameable; false when the source answers none.
bool NameFromIntf(IInterface* Source, String& Name)
{
    if (!Source)
        return false;
    auto Nameable = IPtr<IInterface>(Source).As<IXNameable>();
    if (!Nameable)
        return false;
    Name = Nameable->GetName();
    return true;
}

bool NameFromObject(TPersistent* Source, String& Name)
{
    IPtr<IXNameable> Nameable;
    if (!XSupports<IXNameable>(Source, Nameable))
        return false;
    Name = Nameable->GetName();
    return true;
}
}

// ---- TXObject ----

void TXObject::Create()
{
    inherited::Create();
    Init();
}

bool TXObject::AssignFrom(TXObject*)
{
    return true;
}

void TXInitializableObject::AfterConstruction()
{
    inherited::AfterConstruction();
    Initialize();
}

// ---- TXManagedObject ----

void TXManagedObject::Create()
{
    CreateManaged(0);
}

void TXManagedObject::CreateManaged(Byte Mode)
{
    FState = xsConstructing;
    FCounter.Mode = Mode;
    try {
        TXObject::Create();
    } catch (...) { // marks the failed construction, then the failure passes on
        FState = xsDestroying;
        throw;
    }
}

HRESULT TXManagedObject::QueryInterface(const TGUID& IID, void** Obj)
{
    return GetInterface(IID, Obj) ? S_OK : E_NOINTERFACE;
}

Integer TXManagedObject::_AddRef()
{
    return FCounter.AddRef();
}

Integer TXManagedObject::_Release()
{
    bool Destroy = false;
    Integer Count = FCounter.Release(Destroy);
    if (Destroy)
        Free();
    return Count;
}

void TXManagedObject::AfterConstruction()
{
    inherited::AfterConstruction();
    FCounter.Constructed();
    FState = xsReady;
}

void TXManagedObject::BeforeDestruction()
{
    FState = xsDestroying;
    inherited::BeforeDestruction();
}

// ---- TXPersistent ----

void TXPersistent::Create()
{
    FFlags = xfConstructing;
    try {
        inherited::Create();
        Init();
        SetDefaults();
    } catch (...) { // marks the failed construction, then the failure passes on
        FFlags = xfDestroying;
        throw;
    }
}

void TXPersistent::AfterConstruction()
{
    inherited::AfterConstruction();
    FFlags = 0;
}

void TXPersistent::BeforeDestruction()
{
    FFlags = xfDestroying;
    inherited::BeforeDestruction();
}

void TXPersistent::Assign(TPersistent* Source)
{
    AssignWithFlags(this, FFlags, Source);
}

bool TXPersistent::AssignFrom(TPersistent*)
{
    return true;
}

bool TXPersistent::AssignFromIntf(IInterface*)
{
    return false;
}

// ---- TXManagedPersistent ----

void TXManagedPersistent::Create()
{
    SetCountMode(0);
    inherited::Create();
}

void TXManagedPersistent::CreateManaged(Byte Mode)
{
    SetCountMode(Mode);
    TXPersistent::Create();
}

void TXManagedPersistent::SetCountMode(Byte Mode)
{
    FCountMode = Mode;
    FCounter.Mode = Mode;
}

HRESULT TXManagedPersistent::QueryInterface(const TGUID& IID, void** Obj)
{
    return GetInterface(IID, Obj) ? S_OK : E_NOINTERFACE;
}

Integer TXManagedPersistent::_AddRef()
{
    return FCounter.AddRef();
}

Integer TXManagedPersistent::_Release()
{
    bool Destroy = false;
    Integer Count = FCounter.Release(Destroy);
    if (Destroy)
        Free();
    return Count;
}

void TXManagedPersistent::AfterConstruction()
{
    inherited::AfterConstruction();
    FCounter.Constructed();
}

void TXManagedPersistent::AssignFromInterface(IInterface* Source)
{
    AssignInterfaceWithFlags(this, FFlags, Source);
}

// ---- TXNamedPersistent ----

void TXNamedPersistent::AssignExceptName(TPersistent* Source)
{
    FFlags |= xfKeepName;
    Assign(Source);
}

void TXNamedPersistent::AssignIntfExceptName(IInterface* Source)
{
    FFlags |= xfKeepName;
    AssignFromInterface(Source);
}

bool TXNamedPersistent::AssignFrom(TPersistent* Source)
{
    if (FFlags & xfKeepName)
        return true;
    if (auto* Named = DynamicCast<TXNamedPersistent>(Source))
        FName = Named->FName;
    else
        NameFromObject(Source, FName);
    return true;
}

bool TXNamedPersistent::AssignFromIntf(IInterface* Source)
{
    if (FFlags & xfKeepName)
        return true;
    return NameFromIntf(Source, FName);
}

// ---- TXCollectionItem ----

void TXCollectionItem::Create(TCollection* ACollection)
{
    FFlags = xfConstructing;
    try {
        inherited::Create(ACollection);
        Init();
        SetStoreData(true);
        SetDefaults();
    } catch (...) { // marks the failed construction, then the failure passes on
        FFlags = xfDestroying;
        throw;
    }
}

void TXCollectionItem::AfterConstruction()
{
    inherited::AfterConstruction();
    FFlags = 0;
}

void TXCollectionItem::BeforeDestruction()
{
    FFlags = xfDestroying;
    inherited::BeforeDestruction();
}

void TXCollectionItem::Assign(TPersistent* Source)
{
    AssignWithFlags(this, FFlags, Source);
}

bool TXCollectionItem::AssignFrom(TPersistent* Source)
{
    if (FFlags & xfKeepName)
        return true;
    if (auto* Item = DynamicCast<TCollectionItem>(Source))
        FDisplayName = Item->DisplayName();
    else
        NameFromObject(Source, FDisplayName);
    return true;
}

bool TXCollectionItem::AssignFromIntf(IInterface* Source)
{
    if (FFlags & xfKeepName)
        return true;
    return NameFromIntf(Source, FDisplayName);
}

// ---- TXManagedCollectionItem ----

void TXManagedCollectionItem::Create(TCollection* ACollection)
{
    SetCountMode(0);
    inherited::Create(ACollection);
}

void TXManagedCollectionItem::SetCountMode(Byte Mode)
{
    FCountMode = Mode;
    FCounter.Mode = Mode;
}

HRESULT TXManagedCollectionItem::QueryInterface(const TGUID& IID, void** Obj)
{
    return GetInterface(IID, Obj) ? S_OK : E_NOINTERFACE;
}

Integer TXManagedCollectionItem::_AddRef()
{
    return FCounter.AddRef();
}

Integer TXManagedCollectionItem::_Release()
{
    bool Destroy = false;
    Integer Count = FCounter.Release(Destroy);
    if (Destroy)
        Free();
    return Count;
}

void TXManagedCollectionItem::AfterConstruction()
{
    inherited::AfterConstruction();
    FCounter.Constructed();
}

void TXManagedCollectionItem::AssignFromInterface(IInterface* Source)
{
    AssignInterfaceWithFlags(this, FFlags, Source);
}

void TXManagedCollectionItem::AssignExceptName(TPersistent* Source)
{
    FFlags |= xfKeepName;
    Assign(Source);
}

void TXManagedCollectionItem::AssignIntfExceptName(IInterface* Source)
{
    FFlags |= xfKeepName;
    AssignFromInterface(Source);
}

// ---- TXComponent ----

void TXComponent::Assign(TPersistent* Source)
{
    if (!AssignFrom(Source) && Source)
        Source->AssignTo(this);
}

bool TXComponent::AssignFrom(TPersistent*)
{
    return true;
}

bool TXComponent::AssignFromIntf(IInterface*)
{
    return false;
}
