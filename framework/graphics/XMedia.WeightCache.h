// The shared cache of weight maps: at most 6 maps, keyed by the destination
// and source counts of one direction and by the kernel (its class and
// radius), so kernels of different radii never share a table.
#pragma once
#include "graphics/XMedia.ObjectCache.h"
#include "graphics/XMedia.Resample.h"

struct TXWeightMapKey {
    TXSize Size; // destination count, source count
    TClass KernelClass = nullptr;
    float Radius = 0;
    bool operator==(const TXWeightMapKey& Other) const;
};

using TXWeightMapProvider = IPtr<IXContentProvider<TXPixWeightMap*>>;
using TXWeightMapCache = TXObjectCache<TXWeightMapKey, TXWeightMapProvider>;

TXWeightMapCache* XWeightMapCache();
// The map for DestCount from SourceCount pixels built with Kernel (not
// centred), from the cache or built now.
TXWeightMapProvider FetchWeightMap(Integer DestCount, Integer SourceCount, const TXFilterKernel* Kernel);
