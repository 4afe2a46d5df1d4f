// A key and its value, as held by the key/value lists and the registries.
#pragma once
#include <utility>

template<class K, class V>
struct TXPair {
    K Key {};
    V Value {};

    TXPair() = default;
    TXPair(K AKey, V AValue) : Key(std::move(AKey)), Value(std::move(AValue)) { }
};
