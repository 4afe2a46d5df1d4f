// Screen metrics at a DPI for the tests of the graphics layer.
#pragma once
#include "core/XCore.ScreenMetrics.h"
#include "win/Metrics.h"

// The screen DPI and the scaled metric tables at Dpi while it lives, 96
// again after.
class TScopedDpi {
public:
    explicit TScopedDpi(Integer Dpi)
    {
        SetScreenDPI(Dpi, Dpi);
        LoadScreenMetrics();
    }
    ~TScopedDpi()
    {
        SetScreenDPI(96, 96);
        LoadScreenMetrics();
    }
    TScopedDpi(const TScopedDpi&) = delete;
    TScopedDpi& operator=(const TScopedDpi&) = delete;
};
