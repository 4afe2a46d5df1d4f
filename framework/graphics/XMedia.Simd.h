// Which vector instructions the pixel routines use. Every level gives the
// same bits: the paths only compute several pixels (or channels) at once,
// each with its own products summed in the same order.
//
// The best level the processor has is chosen at start; tests step through
// every available level to compare the paths.
#pragma once
#include "rtl/Types.h"
#include <vector>

enum TXSimdLevel { xslPlain, xslSSE2, xslAVX2, xslAVX512 };

TXSimdLevel XSimdLevel();
// The levels this processor can run, lowest first.
std::vector<TXSimdLevel> XSimdLevels();
// Uses Level, or the best available below it.
void SetXSimdLevel(TXSimdLevel Level);
const char* XSimdLevelName(TXSimdLevel Level);
