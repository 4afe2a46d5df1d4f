// TCollection and its items: a list of objects of one item class that the
// collection creates and frees.
//
// Items are made by virtual construction from the collection's ItemClass,
// so a collection built for a descendant item class makes descendants. An
// item joins its collection in Create and leaves it when it is freed or
// moved to another collection. Changes end in the virtual Update (nil for
// "all items"), held back between BeginUpdate and EndUpdate.
#pragma once
#include "rtl/Lists.h"

class TCollection;

class TCollectionItem : public TPersistent {
    X_CLASS(TCollectionItem, TPersistent)
public:
    virtual void Create(TCollection* ACollection);
    void BeforeDestruction() override;
    ~TCollectionItem() override;

    TCollection* Collection() const { return FCollection; }
    // Moves the item to Value (null: out of any collection).
    virtual void SetCollection(TCollection* Value);
    Integer Index() const;
    virtual void SetIndex(Integer Value);
    Integer ID() const { return FID; }
    String DisplayName() { return GetDisplayName(); }
    virtual String GetDisplayName();
    virtual void SetDisplayName(const String& Value);

    TPersistent* GetOwner() override;
    // "CollectionPath[Index]", or the class name outside a collection.
    String GetNamePath() override;

protected:
    // Tells the collection of a change to this item (or, AllItems, to all).
    void Changed(bool AllItems);

private:
    friend class TCollection;
    TCollection* FCollection = nullptr;
    Integer FID = 0;
};

class TCollection : public TPersistent {
    X_CLASS(TCollection, TPersistent)
public:
    virtual void Create(TClass AItemClass);
    void BeforeDestruction() override;
    ~TCollection() override;

    TClass ItemClass() const { return FItemClass; }
    Integer Count() const { return FItems.Count(); }
    TCollectionItem* Items(Integer Index) const { return FItems.Items(Index); }
    // Assigns Value to the item at Index.
    void SetItems(Integer Index, TCollectionItem* Value) { Items(Index)->Assign(Value); }

    TCollectionItem* Add();
    TCollectionItem* Insert(Integer Index);
    void Delete(Integer Index);
    void Clear();
    TCollectionItem* FindItemID(Integer ID) const;
    // Puts the items in Comparer's order in one pass; equal items keep
    // their order.
    void Sort(const IPtr<IComparer<TCollectionItem*>>& Comparer);

    virtual void BeginUpdate() { ++FUpdateCount; }
    virtual void EndUpdate();
    Integer UpdateCount() const { return FUpdateCount; }

    // Empties the collection and adds a copy of every item of a source
    // collection (made of this collection's item class).
    void Assign(TPersistent* Source) override;
    String GetNamePath() override;

protected:
    // Item is the changed item, or null when all may have changed.
    virtual void Update(TCollectionItem* Item);
    virtual void Notify(TCollectionItem* Item, TCollectionNotification Action);
    void Changed();

private:
    friend class TCollectionItem;
    // Raises EInvalidOperation when there is no item class.
    void CheckItemClass() const;
    void InsertItem(TCollectionItem* Item);
    void RemoveItem(TCollectionItem* Item);
    void MoveItem(Integer CurIndex, Integer NewIndex);

    TClass FItemClass = nullptr;
    TList<TCollectionItem*> FItems;
    Integer FUpdateCount = 0;
    Integer FNextID = 0;
};

// A collection that answers its owner to GetOwner (and so to name paths).
class TOwnedCollection : public TCollection {
    X_CLASS(TOwnedCollection, TCollection)
public:
    using TCollection::Create;
    virtual void Create(TPersistent* AOwner, TClass AItemClass);
    TPersistent* GetOwner() override { return FOwner; }

private:
    TPersistent* FOwner = nullptr;
};
