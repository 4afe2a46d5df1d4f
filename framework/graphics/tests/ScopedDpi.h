// The screen's DPI and the scaled metrics of a test at another DPI, back
// to 96 at the end of the scope.
#pragma once
#include "core/XCore.ScreenMetrics.h"
#include "win/Metrics.h"

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
};
