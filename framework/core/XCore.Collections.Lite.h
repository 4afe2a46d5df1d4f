// Light array lists for hot paths (error registry, observer lists, service
// registry): a bare array with amortised doubling, linear lookups and no
// change notifications. No list locks itself; users that share one between
// threads hold the list object's monitor around every use.
#pragma once
#include "rtl/Comparers.h"
#include "rtl/Exceptions.h"
#include "rtl/Format.h"
#include "rtl/Object.h"
#include "core/XCore.Pair.h"
#include <concepts>
#include <limits>
#include <new>
#include <utility>
#include <vector>

namespace XDetail {
template<class T>
concept LiteOrdered = std::three_way_comparable<T> || requires(const T& A, const T& B)
{
    {
        A < B
        } -> std::convertible_to<bool>;
};

// The default order of T; a type without one gets a comparer that refuses
// to compare, so lists of it work until something looks items up.
template<class T>
IPtr<IComparer<T>> LiteDefaultComparer()
{
    if constexpr (LiteOrdered<T>)
        return TComparer<T>::Default();
    else
        return TComparer<T>::Construct([](const T&, const T&) -> Integer {
            throw EInvalidOperation(u"No comparer is set for the items of this list");
        });
}
}

template<class T>
class TXLiteList : public TObject {
    X_CLASS_TEMPLATE(TXLiteList, TObject, u"TXLiteList")
public:
    using TItemComparer = IPtr<IComparer<T>>;

    void Create() override { Create(nullptr); }
    virtual void Create(TItemComparer AComparer)
    {
        inherited::Create();
        FComparer = AComparer ? std::move(AComparer) : XDetail::LiteDefaultComparer<T>();
    }
    ~TXLiteList() override { SetCapacity(0); }

    Integer Count() const { return FCount; }
    void SetCount(Integer Value)
    {
        if (Value < 0)
            throw EArgumentOutOfRangeException(RtlText::ArgumentOutOfRange);
        if (Value > Capacity())
            SetCapacity(Value);
        for (Integer I = Value; I < FCount; ++I)
            FItems[I] = T {};
        FCount = Value;
    }

    Integer Capacity() const { return static_cast<Integer>(FItems.size()); }
    void SetCapacity(Integer Value)
    {
        if (Value < 0)
            throw EArgumentOutOfRangeException(RtlText::ArgumentOutOfRange);
        if (Value < FCount)
            SetCount(Value);
        Resize(Value);
    }

    const T& Items(Integer Index) const
    {
        CheckIndex(Index);
        return FItems[Index];
    }
    // The address of an item inside the array; no range check.
    T* GetPItem(Integer Index) { return FItems.data() + Index; }

    const TItemComparer& Comparer() const { return FComparer; }
    void SetComparer(TItemComparer Value) { FComparer = Value ? std::move(Value) : XDetail::LiteDefaultComparer<T>(); }

    Integer Add(const T& Item)
    {
        if (FCount == std::numeric_limits<Integer>::max())
            throw EOutOfMemory(RtlText::OutOfMemory);
        T Copy = Item; // Item may live inside the array that grows
        if (FCount + 1 > Capacity())
            Grow(FCount + 1);
        FItems[FCount] = std::move(Copy);
        return FCount++;
    }
    Integer AddUnique(const T& Item)
    {
        Integer I = IndexOf(Item);
        return I >= 0 ? I : Add(Item);
    }
    Integer IndexOf(const T& Item) const
    {
        for (Integer I = 0; I < FCount; ++I)
            if (FComparer->Compare(FItems[I], Item) == 0)
                return I;
        return -1;
    }

    void Delete(Integer Index)
    {
        CheckIndex(Index);
        FItems[Index] = T {};
        for (Integer I = Index; I + 1 < FCount; ++I)
            FItems[I] = std::move(FItems[I + 1]);
        FItems[FCount - 1] = T {};
        --FCount;
    }
    void DeleteRange(Integer Index, Integer N)
    {
        if (Index < 0 || N < 0 || Index > FCount || N > FCount - Index)
            throw EArgumentOutOfRangeException(RtlText::ArgumentOutOfRange);
        if (N == 0)
            return;
        std::vector<T> Old(std::make_move_iterator(FItems.begin() + Index),
            std::make_move_iterator(FItems.begin() + Index + N));
        for (Integer I = Index; I + N < FCount; ++I)
            FItems[I] = std::move(FItems[I + N]);
        for (Integer I = FCount - N; I < FCount; ++I)
            FItems[I] = T {};
        FCount -= N;
    }
    void Clear()
    {
        SetCount(0);
        SetCapacity(0);
    }

    // Raises EListError with Msg formatted with Data.
    [[noreturn]] virtual void Error(const String& Msg, Integer Data) { throw EListError(Format(Msg, { Data })); }

private:
    std::vector<T> FItems; // its length is the capacity
    Integer FCount = 0;
    TItemComparer FComparer;

    void CheckIndex(Integer Index) const
    {
        if (Index < 0 || Index >= FCount)
            throw EArgumentOutOfRangeException(RtlText::ArgumentOutOfRange);
    }
    void Grow(Integer Needed)
    {
        Integer NewCapacity = Capacity();
        if (NewCapacity == 0)
            NewCapacity = Needed;
        while (NewCapacity < Needed) {
            if (NewCapacity & 0x40000000)
                throw EOutOfMemory(RtlText::OutOfMemory);
            NewCapacity *= 2;
        }
        Resize(NewCapacity);
    }
    void Resize(Integer Value)
    {
        try {
            FItems.resize(static_cast<std::size_t>(Value));
            if (Value == 0)
                FItems.shrink_to_fit();
        } catch (const std::bad_alloc&) {
            throw EOutOfMemory(RtlText::OutOfMemory);
        } catch (const std::length_error&) {
            throw EOutOfMemory(RtlText::OutOfMemory);
        }
    }
};

template<class K, class V>
class TXLitePairs : public TXLiteList<TXPair<K, V>> {
    using TBase = TXLiteList<TXPair<K, V>>;
    X_CLASS_TEMPLATE(TXLitePairs, TBase, u"TXLitePairs")
public:
    using TPair = TXPair<K, V>;
    using TBase::Add;
    using TBase::Create;

    // The list's own comparer orders pairs by key, then by value.
    void Create(typename TBase::TItemComparer AComparer) override
    {
        FKeyComparer = XDetail::LiteDefaultComparer<K>();
        FValueComparer = XDetail::LiteDefaultComparer<V>();
        if (!AComparer)
            AComparer = TComparer<TPair>::Construct([this](const TPair& L, const TPair& R) {
                Integer C = FKeyComparer->Compare(L.Key, R.Key);
                return C != 0 ? C : FValueComparer->Compare(L.Value, R.Value);
            });
        inherited::Create(std::move(AComparer));
    }

    const IPtr<IComparer<K>>& KeyComparer() const { return FKeyComparer; }
    void SetKeyComparer(IPtr<IComparer<K>> Value)
    {
        FKeyComparer = Value ? std::move(Value) : XDetail::LiteDefaultComparer<K>();
    }
    const IPtr<IComparer<V>>& ValueComparer() const { return FValueComparer; }
    void SetValueComparer(IPtr<IComparer<V>> Value)
    {
        FValueComparer = Value ? std::move(Value) : XDetail::LiteDefaultComparer<V>();
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
    void SetValue(const K& Key, const V& Value)
    {
        Integer I = IndexOfKey(Key);
        if (I >= 0)
            this->GetPItem(I)->Value = Value;
        else
            Add(Key, Value);
    }
    Integer Add(const K& Key, const V& Value) { return TBase::Add(TPair(Key, Value)); }
    void Remove(const K& Key)
    {
        Integer I = IndexOfKey(Key);
        if (I >= 0)
            this->Delete(I);
    }

private:
    IPtr<IComparer<K>> FKeyComparer;
    IPtr<IComparer<V>> FValueComparer;
};
