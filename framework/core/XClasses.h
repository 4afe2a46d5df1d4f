// The older layer of stored objects and lists: filerable objects with a
// name, a language id and an index, objects that announce their changes, an
// object list with a sorted mode and a duplicates policy, and owned
// collections of named items.
//
// The object list and the collection of this layer share their names with
// the generic ones of XCore.Collections, so they live in namespace XClasses
// (XClasses::TXObjectList, XClasses::TXCollection); every other class is
// global.
#pragma once
#include "rtl/Collection.h"
#include "rtl/Lists.h"
#include "rtl/StringList.h"
#include "core/XCore.Classes.h"
#include "core/XCore.Types.h"
#include <functional>

// One handler registered for an event.
class TXEventObject : public TObject {
    X_CLASS(TXEventObject, TObject)
public:
    Integer EventID = 0;
    TXNotifyMethod Method;
};

// Nesting count of a running change; the first Enter runs OnBegin, the
// Leave that brings the count to 0 runs OnEnd.
struct TXChangeCount {
    Integer Count = 0;
    TXAnyProcedure OnBegin;
    TXAnyProcedure OnEnd;

    void Enter();
    void Leave();
};

class TXChangeablePersistent : public TXPersistent {
    X_CLASS(TXChangeablePersistent, TXPersistent)
public:
    void Init() override;
    // The whole assignment runs inside one change.
    void Assign(TPersistent* Source) override;
    virtual void BeginChange() { }
    virtual void EndChange() { }

    TXChangeCount ChangeCount;
};

// Values of the State bits that an assignment changes.
inline constexpr Cardinal xstUnassigned = 4; // bit 2, cleared by AssignFrom
inline constexpr Cardinal xstAssigned = 64; // bit 6, set by AssignFrom

// The stored fields that filerable objects and collection items share: a
// language id, a filter, the store flag, an index and state bits. The
// filerable object and the collection item of this layer are this over
// their two bases.
template<class Base>
class TXFilerableFieldsOf : public Base {
    X_CLASS_TEMPLATE(TXFilerableFieldsOf, Base, u"TXFilerableFieldsOf<T>")
public:
    void Init() override
    {
        Base::Init();
        FState = 0;
    }
    void Clear() override
    {
        Base::Clear();
        FLgID = 0;
        FXFilter.clear();
        FStoreData = true;
        FIdx = -1;
    }
    // From an object of the same kind: the fields (the store flag through
    // SetStoreData) and the assigned state; then the base's answer.
    bool AssignFrom(TPersistent* Source) override
    {
        if (auto* Other = DynamicCast<TXFilerableFieldsOf>(Source)) {
            FLgID = Other->FLgID;
            FXFilter = Other->FXFilter;
            SetStoreData(Other->FStoreData);
            FIdx = Other->FIdx;
            FState = (FState & ~xstUnassigned) | xstAssigned;
        }
        return Base::AssignFrom(Source);
    }
    bool IsEmpty() override { return Base::IsEmpty() && FLgID == 0 && FXFilter.empty(); }
    virtual void SetStoreData(bool Value) { FStoreData = Value; }
    virtual void SetLgID(Cardinal Value) { FLgID = Value; }

    Cardinal LgID() const { return FLgID; }
    const String& XFilter() const { return FXFilter; }
    void SetXFilter(const String& Value) { FXFilter = Value; }
    bool StoreData() const { return FStoreData; }
    Integer Idx() const { return FIdx; }
    void SetIdx(Integer Value) { FIdx = Value; }
    Cardinal State() const { return FState; }
    void SetState(Cardinal Value) { FState = Value; }

protected:
    Cardinal FLgID = 0;
    String FXFilter;
    bool FStoreData = true;
    Integer FIdx = -1;
    Cardinal FState = 0;
};

class TXFilerableObject : public TXFilerableFieldsOf<TXPersistent> {
    X_CLASS(TXFilerableObject, TXFilerableFieldsOf<TXPersistent>)
public:
    void Clear() override;
    // The source's name first, then the usual assignment.
    void Assign(TPersistent* Source) override;
    bool IsEmpty() override;

    virtual void SetName(const String& Value) { FName = Value; }
    virtual String GetName() { return FName; }
    // AssignFrom (an exception counts as false), else the source's AssignTo.
    virtual void TryAssign(TPersistent* Source);

    const String& Name() const { return FName; }

protected:
    String FName;
};

// The localised name of a list or collection; English (9) when cleared.
class TXLgObject : public TXFilerableObject {
    X_CLASS(TXLgObject, TXFilerableObject)
public:
    void Clear() override;
};

class TXChangeableObject : public TXFilerableObject {
    X_CLASS(TXChangeableObject, TXFilerableObject)
public:
    // One OnChange after a whole assignment, also when it fails.
    void Assign(TPersistent* Source) override;
    void TryAssign(TPersistent* Source) override;

    virtual void Changed();
    virtual void BeginUpdate() { UpdateCount.BeginUpdate(); }
    virtual void EndUpdate();

    TXUpdateCount UpdateCount;
    TNotifyEvent OnChange;
};

using TXListCompare = std::function<Integer(TObject* Item1, TObject* Item2)>;
using TXListSameItem = std::function<bool(TObject* Item1, TObject* Item2)>;

namespace XClasses {

// An object list that can keep itself sorted by Compare; an object that
// Compare finds equal and SameItem finds the same counts as a duplicate.
// Add, Insert and the sorted mode are this class's own: use them through a
// TXObjectList, not through the platform's list.
class TXObjectList : public TObjectList {
    X_CLASS_TEMPLATE(TXObjectList, TObjectList, u"XClasses.TXObjectList")
public:
    void Create() override { Create(true); }
    virtual void Create(bool AOwnsObjects);

    virtual void AppendCopies(TObjectList* Source);
    virtual void AppendFrom(TObject* Source);
    virtual void CopyFrom(TObjectList* Source);
    virtual bool IsEmpty();
    virtual TObject* AddNew() { return nullptr; }

    // Unsorted: appends. Sorted: inserts where Find points; a duplicate is
    // ignored (its index answered), accepted, or refused with EListError.
    Integer Add(TObject* Item);
    Integer AddUnique(TObject* Item);
    // Inserts Item at Index (clamped to 0..Count), or moves it there
    // (clamped to 0..Count-1) when the list holds it; answers the index.
    Integer InsertOrMove(Integer Index, TObject* Item);
    bool Find(TObject* Item, Integer& Index);
    Integer IndexOfName(const String& Name) const;
    void DeleteByName(const String& Name);

    bool Sorted() const { return FSorted; }
    void SetSorted(bool Value);
    TDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }
    TXLgObject* LgObject() const { return FLgObject.get(); }
    // An empty function restores the default (always 0, never the same).
    void SetCompare(TXListCompare Value);
    void SetSameItem(TXListSameItem Value);
    const TXListCompare& Compare() const { return FCompare; }
    const TXListSameItem& SameItem() const { return FSameItem; }

private:
    bool FSorted = false;
    TDuplicates FDuplicates = dupIgnore;
    TOwnedPtr<TXLgObject> FLgObject;
    TXListCompare FCompare;
    TXListSameItem FSameItem;

    Integer SameItemAround(Integer Mid, TObject* Item);
};

}

// AddNew makes an object of ItemClass (a TXPersistent class).
class TXTypedObjectList : public XClasses::TXObjectList {
    X_CLASS(TXTypedObjectList, XClasses::TXObjectList)
public:
    // Null when there is no usable item class, or when the sorted list
    // ignored the new object as a duplicate (the object is then freed).
    TObject* AddNew() override;

    TClass ItemClass = nullptr;
};

class TXPersistentItem : public TCollectionItem {
    X_CLASS(TXPersistentItem, TCollectionItem)
public:
    void Create(TCollection* ACollection) override;
    // The display name, then AssignFrom (an exception counts as false);
    // the source's AssignTo when that failed.
    void Assign(TPersistent* Source) override;
    String GetDisplayName() override { return FName; }
    void SetDisplayName(const String& Value) override { FName = Value; }

    virtual void Init() { }
    virtual bool AssignFrom(TPersistent* Source) { return true; }
    virtual void TryAssign(TPersistent* Source);
    virtual void Clear() { FName.clear(); }
    virtual bool IsEmpty() { return FName.empty(); }
    virtual bool SameName(TObject* Item);

    const String& Name() const { return FName; }
    void SetName(const String& Value) { SetDisplayName(Value); }

private:
    String FName;
};

class TXYCollectionItem : public TXFilerableFieldsOf<TXPersistentItem> {
    X_CLASS(TXYCollectionItem, TXFilerableFieldsOf<TXPersistentItem>)
public:
    // Copies from another TXYCollectionItem; true in every case.
    bool AssignFrom(TPersistent* Source) override;
};

class TXClassItem : public TXPersistentItem {
    X_CLASS(TXClassItem, TXPersistentItem)
public:
    void Init() override;
    bool AssignFrom(TPersistent* Source) override;

    TClass ItemClass = nullptr;
};

class TXPersistentCollection : public TOwnedCollection {
    X_CLASS(TXPersistentCollection, TOwnedCollection)
public:
    using TOwnedCollection::Create;

    // Adds a copy of every source item (the items the source held when the
    // call began, so appending a collection to itself doubles it once).
    virtual void AppendCopies(TCollection* Source);
    virtual void Append(TPersistent* Source);
    // From a collection: this one's items are replaced by copies.
    void Assign(TPersistent* Source) override;
    // Display names compared without regard to case.
    Integer IndexOfName(const String& Name);
};

namespace XClasses {

// A collection with a localised name of its own.
class TXCollection : public TXPersistentCollection {
    X_CLASS_TEMPLATE(TXCollection, TXPersistentCollection, u"XClasses.TXCollection")
public:
    using TXPersistentCollection::Create;
    void Create(TClass AItemClass) override;
    void Create(TPersistent* AOwner, TClass AItemClass) override;

    // A TXCollection source gives its localised name first.
    void AppendCopies(TCollection* Source) override;
    virtual bool IsEmpty();

    TXLgObject* LgObject() const { return FLgObject.get(); }

private:
    TOwnedPtr<TXLgObject> FLgObject;
};

}

// A collection over Base whose items are always TItem (or a descendant):
// a constructor given any other item class takes TItem. The class and the
// object collections are this over their two bases.
template<class Base, class TItem>
class TXTypedCollectionOf : public Base {
    X_CLASS_TEMPLATE(TXTypedCollectionOf, Base, u"TXTypedCollectionOf<T,I>")
public:
    using Base::Create;
    void Create(TClass AItemClass) override { Base::Create(ItemClassFor(AItemClass)); }
    void Create(TPersistent* AOwner, TClass AItemClass) override { Base::Create(AOwner, ItemClassFor(AItemClass)); }

    TItem* Items(Integer Index) const { return static_cast<TItem*>(Base::Items(Index)); }
    TItem* Add() { return static_cast<TItem*>(Base::Add()); }

private:
    static TClass ItemClassFor(TClass AItemClass)
    {
        return AItemClass && AItemClass->InheritsFrom(TItem::StaticClass()) ? AItemClass : TItem::StaticClass();
    }
};

class TXClassCollection : public TXTypedCollectionOf<TXPersistentCollection, TXClassItem> {
    using TBase = TXTypedCollectionOf<TXPersistentCollection, TXClassItem>;
    X_CLASS(TXClassCollection, TBase)
public:
    // The item named after Class, added when missing; null for no class.
    TXClassItem* FindOrAdd(TClass Class);
};

// Process-wide flags, set by the unit's initialisation.
extern bool IsWinXPOrLater;
extern bool IsVistaOrLater;
// Set by the application wizard; registry work is skipped while either is on.
extern bool PortableMode;
extern bool DemoMode;
