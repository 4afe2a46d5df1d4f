#include "graphics/XMedia.Simd.h"
#include <atomic>

namespace {

TXSimdLevel Best()
{
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw"))
        return xslAVX512;
    if (__builtin_cpu_supports("avx2"))
        return xslAVX2;
    return xslSSE2;
}

std::atomic<TXSimdLevel>& Current()
{
    static std::atomic<TXSimdLevel> Level { Best() };
    return Level;
}

} // namespace

TXSimdLevel XSimdLevel()
{
    return Current().load(std::memory_order_relaxed);
}

std::vector<TXSimdLevel> XSimdLevels()
{
    std::vector<TXSimdLevel> Out;
    for (int L = xslPlain; L <= Best(); ++L)
        Out.push_back(TXSimdLevel(L));
    return Out;
}

void SetXSimdLevel(TXSimdLevel Level)
{
    Current().store(Level > Best() ? Best() : Level);
}

const char* XSimdLevelName(TXSimdLevel Level)
{
    switch (Level) {
    case xslPlain: return "plain";
    case xslSSE2: return "SSE2";
    case xslAVX2: return "AVX2";
    case xslAVX512: return "AVX-512";
    }
    return "?";
}
