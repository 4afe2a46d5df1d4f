// The framework's lists on the platform's generic, object, class and
// component lists, and the owned collection of stored items with lookup by
// display name, merging and synchronising by names.
#pragma once
#include "rtl/Collection.h"
#include "rtl/Lists.h"
#include "rtl/StrUtils.h"
#include "core/XCore.Classes.h"
#include "core/XCore.Pair.h"
#include "core/XCore.Types.h"
#include <concepts>

template<class T>
class TXList : public TList<T> {
    X_CLASS_TEMPLATE(TXList, TList<T>, u"TXList<T>")
public:
    using inherited::Create;

    // Adds Item unless IndexOf finds it; answers its index either way.
    Integer AddUnique(const T& Item)
    {
        Integer I = this->IndexOf(Item);
        return I >= 0 ? I : this->Add(Item);
    }

    // Deletes FromIndex..ToIndex inclusive when that names a range starting
    // inside the list; a ToIndex past the end is the list's range error.
    void DeleteFromTo(Integer FromIndex, Integer ToIndex) requires std::same_as<T, Integer>
    {
        Int64 N = Int64(ToIndex) - FromIndex + 1;
        if (FromIndex < 0 || ToIndex < 0 || FromIndex >= this->Count() || N <= 0)
            return;
        if (N > this->Count() - FromIndex)
            XDetail::RaiseArgumentOutOfRange();
        this->DeleteRange(FromIndex, Integer(N));
    }
};

template<class K, class V>
class TXPairs : public TXList<TXPair<K, V>> {
    using TBase = TXList<TXPair<K, V>>;
    X_CLASS_TEMPLATE(TXPairs, TBase, u"TXPairs<K,V>")
public:
    using TPair = TXPair<K, V>;

    // The list's comparer orders pairs by key, then by value.
    void Create() override
    {
        FKeyComparer = TComparer<K>::Default();
        FValueComparer = TComparer<V>::Default();
        inherited::Create(TComparer<TPair>::Construct([this](const TPair& L, const TPair& R) {
            Integer C = FKeyComparer->Compare(L.Key, R.Key);
            return C != 0 ? C : FValueComparer->Compare(L.Value, R.Value);
        }));
    }

    const IPtr<IComparer<K>>& KeyComparer() const { return FKeyComparer; }
    void SetKeyComparer(IPtr<IComparer<K>> Value) { FKeyComparer = Value ? std::move(Value) : TComparer<K>::Default(); }
    const IPtr<IComparer<V>>& ValueComparer() const { return FValueComparer; }
    void SetValueComparer(IPtr<IComparer<V>> Value)
    {
        FValueComparer = Value ? std::move(Value) : TComparer<V>::Default();
    }

    Integer IndexOfKey(const K& Key) const
    {
        for (Integer I = 0; I < this->Count(); ++I)
            if (FKeyComparer->Compare(this->Items(I).Key, Key) == 0)
                return I;
        return -1;
    }
    V GetValue(const K& Key) const
    {
        Integer I = IndexOfKey(Key);
        return I >= 0 ? this->Items(I).Value : V {};
    }

private:
    IPtr<IComparer<K>> FKeyComparer;
    IPtr<IComparer<V>> FValueComparer;
};

// Two keys and a value.
template<class A, class B, class C>
struct TXDoublePair {
    A Key1 {};
    B Key2 {};
    C Value {};

    TXDoublePair() = default;
    TXDoublePair(A AKey1, B AKey2, C AValue)
        : Key1(std::move(AKey1))
        , Key2(std::move(AKey2))
        , Value(std::move(AValue))
    { }

    friend bool operator==(const TXDoublePair&, const TXDoublePair&) = default;
    friend auto operator<=>(const TXDoublePair&, const TXDoublePair&) = default;
};

template<class A, class B, class C>
class TXDoublePairs : public TXList<TXDoublePair<A, B, C>> {
    using TBase = TXList<TXDoublePair<A, B, C>>;
    X_CLASS_TEMPLATE(TXDoublePairs, TBase, u"TXDoublePairs<A,B,C>")
public:
    using TDoublePair = TXDoublePair<A, B, C>;

    // The list's comparer orders by the first key, the second key, then the value.
    void Create() override
    {
        FKey1Comparer = TComparer<A>::Default();
        FKey2Comparer = TComparer<B>::Default();
        FValueComparer = TComparer<C>::Default();
        inherited::Create(TComparer<TDoublePair>::Construct([this](const TDoublePair& L, const TDoublePair& R) {
            Integer Cmp = FKey1Comparer->Compare(L.Key1, R.Key1);
            if (Cmp == 0)
                Cmp = FKey2Comparer->Compare(L.Key2, R.Key2);
            return Cmp != 0 ? Cmp : FValueComparer->Compare(L.Value, R.Value);
        }));
    }

    const IPtr<IComparer<A>>& Key1Comparer() const { return FKey1Comparer; }
    void SetKey1Comparer(IPtr<IComparer<A>> Value)
    {
        FKey1Comparer = Value ? std::move(Value) : TComparer<A>::Default();
    }
    const IPtr<IComparer<B>>& Key2Comparer() const { return FKey2Comparer; }
    void SetKey2Comparer(IPtr<IComparer<B>> Value)
    {
        FKey2Comparer = Value ? std::move(Value) : TComparer<B>::Default();
    }
    const IPtr<IComparer<C>>& ValueComparer() const { return FValueComparer; }
    void SetValueComparer(IPtr<IComparer<C>> Value)
    {
        FValueComparer = Value ? std::move(Value) : TComparer<C>::Default();
    }

private:
    IPtr<IComparer<A>> FKey1Comparer;
    IPtr<IComparer<B>> FKey2Comparer;
    IPtr<IComparer<C>> FValueComparer;
};

template<class T>
class TXQueue : public TQueue<T> {
    X_CLASS_TEMPLATE(TXQueue, TQueue<T>, u"TXQueue<T>")
};

using TListSortCompare = Integer (*)(TObject* Item1, TObject* Item2);

class TXCustomObjectList : public TObjectList {
    X_CLASS(TXCustomObjectList, TObjectList)
public:
    TListSortCompare SortCompare = nullptr;

    virtual TObject* AddNew() { return nullptr; }
    // Adds Obj unless it is in the list; answers its index either way.
    Integer AddUnique(TObject* Obj);
    // Sorts with SortCompare when it is set.
    void SortItems();
};

template<class T>
class TXObjectList : public TXCustomObjectList {
    X_CLASS_TEMPLATE(TXObjectList, TXCustomObjectList, u"TXObjectList<T>")
public:
    T* AddNew() override
    {
        T* Obj = New<T>();
        this->Add(Obj);
        return Obj;
    }
    T* GetItem(Integer Index) const { return static_cast<T*>(this->Items(Index)); }
};

class TXClassList : public TClassList {
    X_CLASS(TXClassList, TClassList)
public:
    // Both take their classes from a TClassList and ignore other sources.
    void AppendClasses(TObject* Source);
    void AssignClasses(TObject* Source);
};

template<class T = TComponent>
class TXComponentList : public TComponentList {
    X_CLASS_TEMPLATE(TXComponentList, TComponentList, u"TXComponentList<T>")
public:
    T* Items(Integer Index) const { return static_cast<T*>(TComponentList::Items(Index)); }
    Integer AddUnique(T* Component)
    {
        Integer I = this->IndexOf(Component);
        return I >= 0 ? I : this->Add(Component);
    }
    // By the component's Name, case-sensitive.
    Integer IndexOfName(const String& Name) const
    {
        for (Integer I = 0; I < this->Count(); ++I)
            if (TComponentList::Items(I) && TComponentList::Items(I)->Name() == Name)
                return I;
        return -1;
    }
    T* FindByName(const String& Name) const
    {
        Integer I = IndexOfName(Name);
        return I >= 0 ? Items(I) : nullptr;
    }
};

class TXAnyProcedureList : public TXList<TXAnyProcedure> {
    X_CLASS(TXAnyProcedureList, TXList<TXAnyProcedure>)
public:
    void Create() override;
};

enum TXMergeMode : Byte {
    mmAddMissing = 0,
    mmAppend = 1,
    mmAppendUnique = 2,
    mmAddOrUpdate = 3,
    mmUpdateOnly = 4,
};

// The owned collection of stored items, identified by display name.
class TXCustomCollection : public TOwnedCollection {
    X_CLASS(TXCustomCollection, TOwnedCollection)
public:
    // The first item whose display name equals Name, ignoring case; -1 when none.
    Integer IndexOfName(const String& Name);
    TCollectionItem* FindByName(const String& Name);
    void DeleteByName(const String& Name);
    // The first item, added when the collection is empty.
    TCollectionItem* FirstOrAdd();
    // Adds a copy of every source item, in order.
    void AppendFrom(TCollection* Source);
    void SetItemsStoreData(bool Value);
    // Any mode value outside TXMergeMode acts as mmAppend.
    void Merge(TCollection* Source, TXMergeMode Mode);
    // Makes this collection hold exactly the source's items, in its order,
    // reusing this collection's item objects by (case-sensitive) name.
    void SyncByNames(TCollection* Source);

private:
    TCollectionItem* AddAssigned(TCollectionItem* Source);
};

// Orders collection items of class T by display name, ignoring case, ascending.
template<class T>
class TXCollectionNameAscComparer : public TComparer<T*> {
public:
    Integer Compare(T* const& Left, T* const& Right) override
    {
        return CompareText(Left->DisplayName(), Right->DisplayName());
    }
};

template<class T>
class TXCollection : public TXCustomCollection {
    X_CLASS_TEMPLATE(TXCollection, TXCustomCollection, u"TXCollection<T>")
public:
    using TXCustomCollection::Create;

    // Runs first in both constructors, before the inherited one.
    virtual void Init() { }
    // Takes AItemClass when it is T or descends from T, else T.
    void Create(TPersistent* AOwner, TClass AItemClass) override
    {
        Init();
        TClass Class = AItemClass && AItemClass->InheritsFrom(T::StaticClass()) ? AItemClass : T::StaticClass();
        inherited::Create(AOwner, Class);
    }
    virtual void CreateOwned(TPersistent* AOwner)
    {
        Init();
        inherited::Create(AOwner, T::StaticClass());
    }
    // New<TXCollection<T>>(Owner) constructs through CreateOwned.
    void Create(TPersistent* AOwner) { CreateOwned(AOwner); }

    T* Items(Integer Index) const { return static_cast<T*>(TXCustomCollection::Items(Index)); }
    T* Add() { return static_cast<T*>(TXCustomCollection::Add()); }

    // Items ordered by display name, ignoring case; equal names keep their
    // order. The comparer is made on first use and kept.
    void SortByName()
    {
        if (this->Count() == 0)
            return;
        if (!FNameComparer)
            FNameComparer = IPtr<IComparer<TCollectionItem*>>(New<TXCollectionNameAscComparer<TCollectionItem>>());
        this->Sort(FNameComparer);
    }

private:
    IPtr<IComparer<TCollectionItem*>> FNameComparer;
};

