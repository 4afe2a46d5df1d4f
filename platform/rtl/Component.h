// TComponent: a persistent object with an owner and a name.
//
// An owner holds its components in insertion order and frees them, last
// first, when it is freed. Names are identifiers, unique among the owner's
// components without regard to case (empty names are allowed and never
// clash). A component told of another's fate through FreeNotification
// receives Notification(Other, opRemove) when the other is freed; an owner
// receives opInsert/opRemove for its components and passes every
// notification on to them.
//
// The teardown (Destroying, free notifications, freeing the owned
// components, leaving the owner) runs in BeforeDestruction, where every
// Notification override still dispatches; descendants that override
// BeforeDestruction call the inherited one.
#pragma once
#include "rtl/Persistent.h"
#include <vector>

enum TOperation { opInsert, opRemove };

enum TComponentStateItem {
    csLoading,
    csReading,
    csWriting,
    csDestroying,
    csDesigning,
    csAncestor,
    csUpdating,
    csFixups,
    csFreeNotification,
    csInline,
    csDesignInstance
};

// The set of TComponentStateItem values.
class TComponentState {
public:
    TComponentState() = default;
    TComponentState(std::initializer_list<TComponentStateItem> Items)
    {
        for (auto I : Items)
            Include(I);
    }
    bool Contains(TComponentStateItem Item) const { return FBits & Bit(Item); }
    void Include(TComponentStateItem Item) { FBits |= Bit(Item); }
    void Exclude(TComponentStateItem Item) { FBits &= ~Bit(Item); }
    bool IsEmpty() const { return FBits == 0; }
    friend bool operator==(TComponentState, TComponentState) = default;

private:
    static Cardinal Bit(TComponentStateItem Item) { return Cardinal(1) << Item; }
    Cardinal FBits = 0;
};

// True for a letter or "_" followed by letters, digits and "_".
bool IsValidIdent(StringView Ident);

// In the body of a TComponent descendant that implements interfaces: the
// component's IInterface methods. Components are never counted; they live
// until they are freed.
#define X_NOT_COUNTED                                                                                                  \
public:                                                                                                                \
    HRESULT QueryInterface(const TGUID& IID, void** Obj) override                                                      \
    {                                                                                                                  \
        return GetInterface(IID, Obj) ? S_OK : E_NOINTERFACE;                                                          \
    }                                                                                                                  \
    Integer _AddRef() override                                                                                         \
    {                                                                                                                  \
        return -1;                                                                                                     \
    }                                                                                                                  \
    Integer _Release() override                                                                                        \
    {                                                                                                                  \
        return -1;                                                                                                     \
    }

class TComponent : public TPersistent, public IInterface {
    X_CLASS(TComponent, TPersistent)
    X_INTERFACES(TComponent, IInterface)
    X_NOT_COUNTED
public:
    virtual void Create(TComponent* AOwner);
    void BeforeDestruction() override;
    ~TComponent() override;

    TComponent* Owner() const { return FOwner; }
    const String& Name() const { return FName; }
    virtual void SetName(const String& NewName);
    NativeInt Tag() const { return FTag; }
    void SetTag(NativeInt Value) { FTag = Value; }
    TComponentState ComponentState() const { return FComponentState; }

    Integer ComponentCount() const { return Integer(FComponents.size()); }
    TComponent* Components(Integer Index) const;
    // Position among the owner's components; -1 without an owner.
    Integer ComponentIndex() const;
    void SetComponentIndex(Integer Value);
    TComponent* FindComponent(StringView AName) const;

    void InsertComponent(TComponent* AComponent);
    void RemoveComponent(TComponent* AComponent);
    // Frees every owned component, last first.
    void DestroyComponents();
    // Marks this component and its owned components as being destroyed.
    void Destroying();

    // AComponent is told (Notification opRemove) when this one is freed,
    // and the other way round.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    // Raises EComponentError when AComponent, owned by this component (or
    // about to be), may not be renamed from CurName to NewName.
    virtual void ValidateRename(TComponent* AComponent, const String& CurName, const String& NewName);

    TPersistent* GetOwner() override { return FOwner; }
    String GetNamePath() override { return FName; }

    // Component state changes made by the loaders.
    void SetComponentStateItem(TComponentStateItem Item, bool Value);
    virtual void Loaded();

protected:
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    virtual void ChangeName(const String& NewName) { FName = NewName; }

private:
    void Insert(TComponent* AComponent);
    void Remove(TComponent* AComponent);
    void RemoveNotification(TComponent* AComponent);
    void RemoveFreeNotifications();

    TComponent* FOwner = nullptr;
    String FName;
    NativeInt FTag = 0;
    TComponentState FComponentState;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
};
