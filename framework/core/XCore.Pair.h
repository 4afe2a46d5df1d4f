// A key and its value, as held by the key/value lists and the registries.
#pragma once
#include <compare>
#include <utility>

template<class K, class V>
struct TXPair {
    K Key {};
    V Value {};

    TXPair() = default;
    TXPair(K AKey, V AValue)
        : Key(std::move(AKey))
        , Value(std::move(AValue))
    { }

    // Key, then value; only where K and V have these themselves.
    friend bool operator==(const TXPair&, const TXPair&) = default;
    friend auto operator<=>(const TXPair&, const TXPair&) = default;
};
