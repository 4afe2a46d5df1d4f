// The framework's base classes.
//
// Construction runs an Init hook (and, for persistent objects and items, a
// defaults hook) before AfterConstruction. Assignment asks the target first
// (AssignFrom) and only then the source (AssignTo). Interface counting is
// chosen per object: 0 off (_AddRef/_Release answer -1; the object lives
// until it is freed), 1 plain, 2 interlocked. A counted object starts at 1
// until AfterConstruction, so a reference handed out while it is being
// built does not free it; afterwards the last release frees it.
#pragma once
#include "rtl/Collection.h"
#include "rtl/Component.h"
#include "core/XCore.Interfaces.h"
#include "core/XCore.Types.h"
#include <atomic>

// Values of the Flags byte of TXPersistent and TXCollectionItem.
inline constexpr Byte xfConstructing = 1;
inline constexpr Byte xfDestroying = 2;
inline constexpr Byte xfAssigning = 4;
inline constexpr Byte xfKeepName = 8;

// Values of TXManagedObject::State.
inline constexpr Byte xsReady = 0;
inline constexpr Byte xsConstructing = 1;
inline constexpr Byte xsDestroying = 2;

namespace XDetail {
// The counting rules shared by the managed classes.
struct TXRefCounter {
    Byte Mode = 0;
    std::atomic<Integer> Count { 1 };

    Integer AddRef();
    // The new count; Free is true when the object must now be destroyed.
    Integer Release(bool& Free);
    void Constructed();
};
}

class TXObject : public TObject {
    X_CLASS(TXObject, TObject)
public:
    void Create() override;
    virtual void Init() { }
    virtual bool AssignFrom(TXObject* Source);
    virtual void Lock() { MonitorEnter(); }
    virtual void Unlock() { MonitorExit(); }
};

// Process-wide singletons fill themselves in Initialize, which runs once
// the object is completely built.
class TXInitializableObject : public TXObject {
    X_CLASS(TXInitializableObject, TXObject)
public:
    void AfterConstruction() override;
    virtual void Initialize() { }
};

class TXManagedObject : public TXObject, public IXThreadable {
    X_CLASS(TXManagedObject, TXObject)
    X_INTERFACES(TXManagedObject, IXThreadable)
public:
    // Counting off.
    void Create() override;
    void CreateManaged(Byte Mode);

    HRESULT QueryInterface(const TGUID& IID, void** Obj) override;
    Integer _AddRef() override;
    Integer _Release() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;
    void Lock() override { TXObject::Lock(); }
    void Unlock() override { TXObject::Unlock(); }

    Byte State() const { return FState; }
    Byte CountMode() const { return FCounter.Mode; }
    Integer RefCount() const { return FCounter.Count.load(); }

private:
    Byte FState = xsReady;
    XDetail::TXRefCounter FCounter;
};

// Builds a T through its CreateManaged(Mode) (managed objects and
// managed persistents).
template<class T>
T* NewManaged(Byte Mode)
{
    T* Obj = new T();
    try {
        Obj->CreateManaged(Mode);
    } catch (...) { // the half-built object goes, then the failure passes on
        delete Obj;
        throw;
    }
    Obj->AfterConstruction();
    return Obj;
}

class TXPersistent : public TPersistent {
    X_CLASS(TXPersistent, TPersistent)
public:
    void Create() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;
    // AssignFrom first; the source's AssignTo when that answers false.
    void Assign(TPersistent* Source) override;

    virtual void Init() { }
    virtual bool AssignFrom(TPersistent* Source);
    virtual bool AssignFromIntf(IInterface* Source);
    virtual void SetDefaults() { Clear(); }
    virtual void Clear() { }
    virtual bool IsEmpty() { return true; }
    // Repairs or clamps values after loading.
    virtual void Normalize() { }
    virtual void Reserved() { }
    virtual void Lock() { MonitorEnter(); }
    virtual void Unlock() { MonitorExit(); }

    Byte Flags() const { return FFlags; }
    Byte CountMode() const { return FCountMode; }

protected:
    Byte FFlags = 0;
    Byte FCountMode = 0;
};

class TXManagedPersistent : public TXPersistent, public IXThreadable, public IXSerializable, public IXAssignable {
    X_CLASS(TXManagedPersistent, TXPersistent)
    X_INTERFACES(TXManagedPersistent, IXThreadable, IXSerializable, IXAssignable)
public:
    // Counting off; a descendant may choose a mode in its own Create.
    void Create() override;
    // Create with the counting mode Mode (0 off, 1 plain, 2 interlocked),
    // set before the persistent's own construction runs; NewManaged<T>(Mode).
    void CreateManaged(Byte Mode);
    HRESULT QueryInterface(const TGUID& IID, void** Obj) override;
    Integer _AddRef() override;
    Integer _Release() override;
    void AfterConstruction() override;

    void Assign(TPersistent* Source) override { TXPersistent::Assign(Source); }
    void AssignFromInterface(IInterface* Source) override;
    void Normalize() override { TXPersistent::Normalize(); }
    void Reserved() override { TXPersistent::Reserved(); }
    void Lock() override { TXPersistent::Lock(); }
    void Unlock() override { TXPersistent::Unlock(); }

    Integer RefCount() const { return FCounter.Count.load(); }

protected:
    void SetCountMode(Byte Mode);

private:
    XDetail::TXRefCounter FCounter;
};

class TXNamedPersistent : public TXManagedPersistent, public IXNameable {
    X_CLASS(TXNamedPersistent, TXManagedPersistent)
    X_INTERFACES(TXNamedPersistent, IXNameable)
    X_FORWARD_IINTERFACE(TXManagedPersistent)
public:
    void Assign(TPersistent* Source) override { TXManagedPersistent::Assign(Source); }
    void AssignFromInterface(IInterface* Source) override { TXManagedPersistent::AssignFromInterface(Source); }

    String GetName() override { return FName; }
    void SetName(const String& Value) override { FName = Value; }
    const String& Name() const { return FName; }
    void AssignExceptName(TPersistent* Source) override;
    void AssignIntfExceptName(IInterface* Source) override;
    bool AssignFrom(TPersistent* Source) override;
    bool AssignFromIntf(IInterface* Source) override;

private:
    String FName;
};

class TXCollectionItem : public TCollectionItem {
    X_CLASS(TXCollectionItem, TCollectionItem)
public:
    void Create(TCollection* ACollection) override;
    void AfterConstruction() override;
    void BeforeDestruction() override;
    void Assign(TPersistent* Source) override;
    String GetDisplayName() override { return FDisplayName; }
    void SetDisplayName(const String& Value) override { FDisplayName = Value; }

    virtual void Init() { }
    virtual bool AssignFrom(TPersistent* Source);
    virtual bool AssignFromIntf(IInterface* Source);
    virtual void SetDefaults() { Clear(); }
    virtual void Clear() { FDisplayName.clear(); }
    virtual bool IsEmpty() { return true; }
    virtual void SetStoreData(bool Value) { FStoreData = Value; }

    Byte Flags() const { return FFlags; }
    Byte CountMode() const { return FCountMode; }
    bool StoreData() const { return FStoreData; }

protected:
    Byte FFlags = 0;
    Byte FCountMode = 0;

private:
    bool FStoreData = false;
    String FDisplayName;
};

// A collection item answering IXNameable; its name is the display name.
class TXManagedCollectionItem : public TXCollectionItem, public IXNameable {
    X_CLASS(TXManagedCollectionItem, TXCollectionItem)
    X_INTERFACES(TXManagedCollectionItem, IXNameable)
public:
    void Create(TCollection* ACollection) override;
    HRESULT QueryInterface(const TGUID& IID, void** Obj) override;
    Integer _AddRef() override;
    Integer _Release() override;
    void AfterConstruction() override;

    void Assign(TPersistent* Source) override { TXCollectionItem::Assign(Source); }
    void AssignFromInterface(IInterface* Source) override;
    String GetName() override { return DisplayName(); }
    void SetName(const String& Value) override { SetDisplayName(Value); }
    void AssignExceptName(TPersistent* Source) override;
    void AssignIntfExceptName(IInterface* Source) override;

    Integer RefCount() const { return FCounter.Count.load(); }

protected:
    void SetCountMode(Byte Mode);

private:
    XDetail::TXRefCounter FCounter;
};

class TXComponent : public TComponent {
    X_CLASS(TXComponent, TComponent)
public:
    // AssignFrom first; the source's AssignTo when that answers false.
    void Assign(TPersistent* Source) override;
    virtual bool AssignFrom(TPersistent* Source);
    virtual bool AssignFromIntf(IInterface* Source);
};

template<class T>
class TXCustomObjectConverter : public TXManagedObject, public IXObjectConverter<T> {
    X_CLASS_TEMPLATE(TXCustomObjectConverter, TXManagedObject, u"TXCustomObjectConverter<T>")
    X_INTERFACES(TXCustomObjectConverter, IXObjectConverter<T>)
    X_FORWARD_IINTERFACE(TXManagedObject)
public:
    void Convert(T Dest) override = 0;
};

// Owns one T (a class) and lends it to interface users; freed with the
// container.
template<class T>
class TXManagedObjectContainer : public TXManagedObject, public IXContentProvider<T*> {
    X_CLASS_TEMPLATE(TXManagedObjectContainer, TXManagedObject, u"TXManagedObjectContainer<T>")
    X_INTERFACES(TXManagedObjectContainer, IXContentProvider<T*>)
    X_FORWARD_IINTERFACE(TXManagedObject)
public:
    using TXManagedObject::Create;
    // Takes Content over; counted interlocked unless told otherwise.
    void Create(T* AContent, Byte Mode = 2)
    {
        FContent.reset(AContent);
        CreateManaged(Mode);
    }

    T* GetContent() override { return FContent.get(); }

private:
    TOwnedPtr<T> FContent;
};
