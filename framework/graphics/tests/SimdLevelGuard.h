// Shared by the pixel tests that force each vector level in turn.
#pragma once
#include "graphics/XMedia.Simd.h"

// Restores the best vector level when a test leaves.
struct TLevelGuard {
    ~TLevelGuard() { SetXSimdLevel(XSimdLevels().back()); }
};
