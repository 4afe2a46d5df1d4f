// The generic lists of the class library and the object, class and
// component lists built on them.
//
// TList<T> keeps values in a std::vector. Every index is range-checked
// (EArgumentOutOfRangeException "Argument out of range"). Adding and
// removing call the virtual Notify (and OnNotify when set): cnAdded for an
// item that comes in, cnRemoved for one deleted, cnExtracted for one taken
// out with Extract. Owning lists free their objects on cnRemoved.
//
// The generic object list is Generics::TObjectList<T> (items T*); the plain
// TObjectList holds TObject* and is the base of the framework's object
// lists.
#pragma once
#include "rtl/Comparers.h"
#include "rtl/Component.h"
#include <algorithm>
#include <deque>
#include <functional>
#include <limits>
#include <vector>

// What happened to an item of a list (cnAdded, cnRemoved, cnExtracted) or
// of a collection (cnAdded, cnExtracting, cnDeleting).
enum TCollectionNotification { cnAdded, cnRemoved, cnExtracted, cnExtracting, cnDeleting };

namespace XDetail {
[[noreturn]] void RaiseArgumentOutOfRange();
[[noreturn]] void RaiseEmptyQueue();
}

template<class T>
class TList : public TObject {
    X_CLASS_TEMPLATE(TList, TObject, u"TList<T>")
public:
    using TNotifyHandler = std::function<void(TObject* Sender, const T& Item, TCollectionNotification Action)>;
    using TItems = std::vector<T>;

    void Create() override { inherited::Create(); }
    void Create(IPtr<IComparer<T>> AComparer)
    {
        inherited::Create();
        FComparer = std::move(AComparer);
    }
    void BeforeDestruction() override
    {
        inherited::BeforeDestruction();
        Clear();
    }

    Integer Count() const { return Integer(FItems.size()); }
    void SetCount(Integer Value)
    {
        if (Value < 0)
            XDetail::RaiseArgumentOutOfRange();
        if (Value < Count())
            DeleteRange(Value, Count() - Value);
        else
            FItems.resize(size_t(Value));
    }
    Integer Capacity() const
    {
        return Integer(std::min<size_t>(FItems.capacity(), std::numeric_limits<Integer>::max()));
    }
    void SetCapacity(Integer Value)
    {
        if (Value < 0)
            XDetail::RaiseArgumentOutOfRange();
        if (Value < Count())
            SetCount(Value);
        if (size_t(Value) > FItems.capacity()) {
            FItems.reserve(size_t(Value));
        } else if (size_t(Value) < FItems.capacity()) {
            TItems Smaller;
            Smaller.reserve(size_t(Value));
            std::move(FItems.begin(), FItems.end(), std::back_inserter(Smaller));
            FItems.swap(Smaller);
        }
    }

    const T& Items(Integer Index) const { return FItems[Check(Index)]; }
    const T& operator[](Integer Index) const { return Items(Index); }
    void SetItems(Integer Index, T Value)
    {
        T Old = std::exchange(FItems[Check(Index)], std::move(Value));
        Notify(Old, cnRemoved);
        Notify(FItems[size_t(Index)], cnAdded);
    }
    const T& First() const { return Items(0); }
    const T& Last() const { return Items(Count() - 1); }

    IPtr<IComparer<T>> Comparer() const
    {
        if (!FComparer)
            FComparer = TComparer<T>::Default();
        return FComparer;
    }

    Integer Add(T Value)
    {
        FItems.push_back(std::move(Value));
        Notify(FItems.back(), cnAdded);
        return Count() - 1;
    }
    void Insert(Integer Index, T Value)
    {
        if (Index < 0 || Index > Count())
            XDetail::RaiseArgumentOutOfRange();
        auto It = FItems.insert(FItems.begin() + Index, std::move(Value));
        Notify(*It, cnAdded);
    }
    void Delete(Integer Index)
    {
        T Old = std::move(FItems[Check(Index)]);
        FItems.erase(FItems.begin() + Index);
        Notify(Old, cnRemoved);
    }
    void DeleteRange(Integer Index, Integer ACount)
    {
        if (Index < 0 || ACount < 0 || ACount > Count() - Index)
            XDetail::RaiseArgumentOutOfRange();
        if (ACount == 0)
            return;
        TItems Old(std::make_move_iterator(FItems.begin() + Index),
            std::make_move_iterator(FItems.begin() + Index + ACount));
        FItems.erase(FItems.begin() + Index, FItems.begin() + Index + ACount);
        for (const T& Item : Old)
            Notify(Item, cnRemoved);
    }
    // Deletes the first item equal to Value; its former index or -1.
    Integer Remove(const T& Value)
    {
        Integer Index = IndexOf(Value);
        if (Index >= 0)
            Delete(Index);
        return Index;
    }
    // Takes the first item equal to Value out without cnRemoved (an owning
    // list does not free it); a default T when there is none.
    T Extract(const T& Value)
    {
        Integer Index = IndexOf(Value);
        if (Index < 0)
            return T {};
        T Old = std::move(FItems[size_t(Index)]);
        FItems.erase(FItems.begin() + Index);
        Notify(Old, cnExtracted);
        return Old;
    }
    // Frees without allocating (it may run to give memory back): the items
    // are taken out whole, then announced.
    void Clear()
    {
        TItems Old;
        Old.swap(FItems);
        for (const T& Item : Old)
            Notify(Item, cnRemoved);
    }

    Integer IndexOf(const T& Value) const
    {
        auto C = Comparer();
        for (size_t I = 0; I < FItems.size(); ++I)
            if (C->Compare(FItems[I], Value) == 0)
                return Integer(I);
        return -1;
    }
    bool Contains(const T& Value) const { return IndexOf(Value) >= 0; }

    void Exchange(Integer Index1, Integer Index2)
    {
        std::swap(FItems[Check(Index1)], FItems[Check(Index2)]);
        Reordered();
    }
    void Move(Integer CurIndex, Integer NewIndex)
    {
        Check(CurIndex);
        Check(NewIndex);
        if (CurIndex < NewIndex)
            std::rotate(FItems.begin() + CurIndex, FItems.begin() + CurIndex + 1, FItems.begin() + NewIndex + 1);
        else if (CurIndex > NewIndex)
            std::rotate(FItems.begin() + NewIndex, FItems.begin() + CurIndex, FItems.begin() + CurIndex + 1);
        Reordered();
    }
    void Reverse()
    {
        std::reverse(FItems.begin(), FItems.end());
        Reordered();
    }

    // Stable, so equal items keep their order and a comparer that is not a
    // strict order cannot make the sort run past the items.
    void Sort() { Sort(Comparer()); }
    void Sort(const IPtr<IComparer<T>>& AComparer)
    {
        IComparer<T>* C = AComparer.Get();
        std::stable_sort(FItems.begin(), FItems.end(), [C](const T& L, const T& R) { return C->Compare(L, R) < 0; });
        Reordered();
    }
    // On a list sorted by the comparer: true when Item is there, FoundIndex
    // the first equal item; else false, FoundIndex where Item would go.
    bool BinarySearch(const T& Item, Integer& FoundIndex) const { return BinarySearch(Item, FoundIndex, Comparer()); }
    bool BinarySearch(const T& Item, Integer& FoundIndex, const IPtr<IComparer<T>>& AComparer) const
    {
        IComparer<T>* C = AComparer.Get();
        auto It = std::lower_bound(FItems.begin(), FItems.end(), Item,
            [C](const T& L, const T& R) { return C->Compare(L, R) < 0; });
        FoundIndex = Integer(It - FItems.begin());
        return It != FItems.end() && C->Compare(*It, Item) == 0;
    }

    TNotifyHandler OnNotify;

    typename TItems::const_iterator begin() const { return FItems.begin(); }
    typename TItems::const_iterator end() const { return FItems.end(); }

protected:
    virtual void Notify(const T& Item, TCollectionNotification Action)
    {
        if (OnNotify)
            OnNotify(this, Item, Action);
    }
    // The items changed places (Exchange, Move, Reverse, Sort); none came
    // or went. For descendants that keep an index of positions.
    virtual void Reordered() { }
    size_t Check(Integer Index) const
    {
        if (Index < 0 || Index >= Count())
            XDetail::RaiseArgumentOutOfRange();
        return size_t(Index);
    }
    // Direct access for descendants that manage items themselves.
    TItems& RawItems() { return FItems; }

private:
    TItems FItems;
    mutable IPtr<IComparer<T>> FComparer;
};

namespace Generics {
// A list of T* that frees what it removes while OwnsObjects is set
// (the default). Extract hands an object out without freeing it.
template<class T>
class TObjectList : public TList<T*> {
    X_CLASS_TEMPLATE(TObjectList, TList<T*>, u"TObjectList<T>")
public:
    void Create() override { inherited::Create(); }
    void Create(bool AOwnsObjects)
    {
        inherited::Create();
        FOwnsObjects = AOwnsObjects;
    }
    void Create(IPtr<IComparer<T*>> AComparer, bool AOwnsObjects = true)
    {
        inherited::Create(std::move(AComparer));
        FOwnsObjects = AOwnsObjects;
    }
    ~TObjectList() override
    {
        // Only when the list was not freed with Free (which clears it).
        if (FOwnsObjects)
            for (T* Item : this->RawItems())
                if (Item)
                    Item->Free();
    }

    bool OwnsObjects() const { return FOwnsObjects; }
    void SetOwnsObjects(bool Value) { FOwnsObjects = Value; }

protected:
    void Notify(T* const& Item, TCollectionNotification Action) override
    {
        inherited::Notify(Item, Action);
        if (FOwnsObjects && Action == cnRemoved && Item)
            Item->Free();
    }

private:
    bool FOwnsObjects = true;
};
}

// A list of values that leave in the order they came.
template<class T>
class TQueue : public TObject {
    X_CLASS_TEMPLATE(TQueue, TObject, u"TQueue<T>")
public:
    using TNotifyHandler = std::function<void(TObject* Sender, const T& Item, TCollectionNotification Action)>;

    void BeforeDestruction() override
    {
        inherited::BeforeDestruction();
        Clear();
    }
    Integer Count() const { return Integer(FItems.size()); }
    void Enqueue(T Value)
    {
        FItems.push_back(std::move(Value));
        Notify(FItems.back(), cnAdded);
    }
    // Raises EListError on an empty queue.
    T Dequeue()
    {
        if (FItems.empty())
            XDetail::RaiseEmptyQueue();
        T Item = std::move(FItems.front());
        FItems.pop_front();
        Notify(Item, cnRemoved);
        return Item;
    }
    const T& Peek() const
    {
        if (FItems.empty())
            XDetail::RaiseEmptyQueue();
        return FItems.front();
    }
    void Clear()
    {
        while (!FItems.empty())
            Dequeue();
    }

    TNotifyHandler OnNotify;

protected:
    virtual void Notify(const T& Item, TCollectionNotification Action)
    {
        if (OnNotify)
            OnNotify(this, Item, Action);
    }

private:
    std::deque<T> FItems;
};

class TObjectList : public Generics::TObjectList<TObject> {
    X_CLASS(TObjectList, Generics::TObjectList<TObject>)
};

class TClassList : public TList<TClass> {
    X_CLASS(TClassList, TList<TClass>)
};

// A list of components that drops a component when it is freed; it frees
// its components itself only while OwnsObjects is set (the default).
class TComponentList : public Generics::TObjectList<TComponent> {
    X_CLASS(TComponentList, Generics::TObjectList<TComponent>)
public:
    ~TComponentList() override;

protected:
    void Notify(TComponent* const& Item, TCollectionNotification Action) override;

private:
    class TNexus;
    friend class TNexus;
    void HandleFreeNotify(TComponent* AComponent);
    TNexus* FNexus = nullptr;
};
