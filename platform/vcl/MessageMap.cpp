#include "vcl/MessageMap.h"
#include <map>
#include <mutex>
#include <unordered_map>

namespace {

struct TKey {
    TClass Class;
    UINT Msg;
    bool operator==(const TKey&) const = default;
};

struct TKeyHash {
    size_t operator()(const TKey& K) const
    {
        return std::hash<const void*>()(K.Class) ^ (size_t(K.Msg) * 0x9E3779B97F4A7C15ull);
    }
};

// Filled while statics are made (registration only), read afterwards.
std::unordered_map<TKey, TMessageThunk, TKeyHash>& Methods()
{
    static auto* Table = new std::unordered_map<TKey, TMessageThunk, TKeyHash>;
    return *Table;
}

}

namespace XDetail {

void RegisterMessageMethod(TClass Class, UINT Msg, TMessageThunk Thunk)
{
    Methods()[{ Class, Msg }] = Thunk;
}

}

TMessageThunk FindMessageMethod(TClass Class, UINT Msg)
{
    // The answer for a class never changes once the statics are made, so
    // each thread keeps what it looked up (every message asks).
    thread_local std::unordered_map<TKey, TMessageThunk, TKeyHash> Resolved;
    auto Known = Resolved.find({ Class, Msg });
    if (Known != Resolved.end())
        return Known->second;
    TMessageThunk Found = nullptr;
    for (TClass C = Class; C && !Found; C = C->Parent) {
        auto It = Methods().find({ C, Msg });
        if (It != Methods().end())
            Found = It->second;
    }
    Resolved.emplace(TKey { Class, Msg }, Found);
    return Found;
}
