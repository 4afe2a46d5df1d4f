// A cost-aware cache of built objects: it keeps at most Capacity entries
// and, when full, replaces its cheapest entry only with one that took at
// least as long to build. Build time comes from the platform time source,
// so tests price entries by advancing a manual clock inside the build.
//
//     TXObjectCache<TXWeightMapKey, TXWeightMapProvider> Cache;
//     Cache.Create(6, Build);
//     TXWeightMapProvider Map;
//     Cache.Fetch(Key, Map);
#pragma once
#include "core/XCore.Classes.h"
#include "core/XCore.DateTime.h"
#include "rtl/DateTime.h"
#include "win/Time.h"
#include <algorithm>
#include <functional>
#include <mutex>
#include <vector>

// The bookkeeping of one cache entry (32 bytes).
struct TXCacheAlgorithm {
    Int64 HitCount = 0;
    TXDateTimeRec LastAccess;
    Int64 BuildCost = 0; // time source ticks the build took
    Byte Reserved[8] = {};
};
static_assert(sizeof(TXCacheAlgorithm) == 32);

using TXCacheComparer = std::function<Integer(const TXCacheAlgorithm&, const TXCacheAlgorithm&)>;

// By build cost, most expensive first.
struct TXCacheLTEComparer {
    Integer operator()(const TXCacheAlgorithm& A, const TXCacheAlgorithm& B) const
    {
        return B.BuildCost < A.BuildCost ? -1 : (B.BuildCost > A.BuildCost ? 1 : 0);
    }
};

template<class TKey, class TProvider>
class TXObjectCache {
public:
    using TBuild = std::function<void(const TKey& Key, TProvider& Provider)>;
    struct TEntry {
        TKey Key;
        TXCacheAlgorithm Algorithm;
        TProvider Provider;
    };

    void Create(Integer ACapacity, TBuild ABuild, TXCacheComparer AComparer = TXCacheLTEComparer())
    {
        FCapacity = ACapacity;
        FBuild = std::move(ABuild);
        FComparer = std::move(AComparer);
    }

    // The provider of Key, built by the cache's callback when missing.
    void Fetch(const TKey& Key, TProvider& Provider) { Fetch(Key, Provider, FBuild); }
    // The same with a build of the caller's (which brings what the key
    // stands for, such as a kernel).
    void Fetch(const TKey& Key, TProvider& Provider, const TBuild& Build)
    {
        std::lock_guard<std::mutex> Guard(FLock);
        for (TEntry& E : FEntries)
            if (E.Key == Key) {
                ++E.Algorithm.HitCount;
                E.Algorithm.LastAccess = TXDateTimeRec::Create(Now());
                Provider = E.Provider;
                return;
            }
        TEntry New { Key, {}, {} };
        const UInt64 Start = TimeSource().TickCount();
        Build(Key, New.Provider);
        New.Algorithm.BuildCost = Int64(TimeSource().TickCount() - Start);
        New.Algorithm.HitCount = 1;
        New.Algorithm.LastAccess = TXDateTimeRec::Create(Now());
        Provider = New.Provider;
        if (FCapacity <= 0 || Integer(FEntries.size()) < FCapacity) {
            FEntries.push_back(std::move(New));
            return;
        }
        SortByExpiry();
        // Cached only when at least as costly as the cheapest entry.
        if (FComparer(New.Algorithm, FEntries.back().Algorithm) <= 0) {
            FEntries.pop_back();
            FEntries.push_back(std::move(New));
        }
    }

    Integer Capacity() const { return FCapacity; }
    void SetCapacity(Integer N)
    {
        std::lock_guard<std::mutex> Guard(FLock);
        if (N == FCapacity)
            return;
        FCapacity = N;
        if (N > 0 && N < Integer(FEntries.size())) {
            SortByExpiry();
            FEntries.resize(size_t(N));
        }
        if (N > 0)
            FEntries.reserve(size_t(N));
    }
    Integer Count() const { return Integer(FEntries.size()); }
    const std::vector<TEntry>& Entries() const { return FEntries; }
    void Clear()
    {
        std::lock_guard<std::mutex> Guard(FLock);
        FEntries.clear();
    }

private:
    void SortByExpiry()
    {
        std::stable_sort(FEntries.begin(), FEntries.end(),
            [this](const TEntry& A, const TEntry& B) { return FComparer(A.Algorithm, B.Algorithm) < 0; });
    }

    Integer FCapacity = 0;
    TBuild FBuild;
    TXCacheComparer FComparer = TXCacheLTEComparer();
    std::vector<TEntry> FEntries;
    std::mutex FLock;
};
