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
    for (TClass C = Class; C; C = C->Parent) {
        auto It = Methods().find({ C, Msg });
        if (It != Methods().end())
            return It->second;
    }
    return nullptr;
}
