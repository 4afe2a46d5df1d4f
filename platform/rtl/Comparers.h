// Comparers for the generic lists: IComparer<T> and the defaults.
#pragma once
#include "rtl/Interfaces.h"
#include <compare>
#include <functional>

template<class T>
struct IComparer : IInterface {
    // Negative, zero or positive, as Left sorts before, with or after Right.
    virtual Integer Compare(const T& Left, const T& Right) = 0;
};

// A comparer object counted through its interface.
template<class T>
class TComparer : public TInterfacedObject, public IComparer<T> {
public:
    using inherited = TInterfacedObject;
    X_FORWARD_IINTERFACE(TInterfacedObject)

    // The default order of T: operator<=> (or < and ==).
    static IPtr<IComparer<T>> Default();
    // A comparer from a function.
    static IPtr<IComparer<T>> Construct(std::function<Integer(const T&, const T&)> Compare);
};

namespace XDetail {
template<class T>
Integer DefaultCompare(const T& L, const T& R)
{
    if constexpr (std::three_way_comparable<T>) {
        auto C = L <=> R;
        return C < 0 ? -1 : C > 0 ? 1 : 0;
    } else {
        return L < R ? -1 : R < L ? 1 : 0;
    }
}

template<class T>
class TFunctionComparer final : public TComparer<T> {
public:
    std::function<Integer(const T&, const T&)> Fn;
    Integer Compare(const T& L, const T& R) override { return Fn(L, R); }
};
}

template<class T>
IPtr<IComparer<T>> TComparer<T>::Construct(std::function<Integer(const T&, const T&)> Compare)
{
    auto* C = New<XDetail::TFunctionComparer<T>>();
    C->Fn = std::move(Compare);
    return IPtr<IComparer<T>>(C);
}

template<class T>
IPtr<IComparer<T>> TComparer<T>::Default()
{
    return Construct(&XDetail::DefaultCompare<T>);
}
