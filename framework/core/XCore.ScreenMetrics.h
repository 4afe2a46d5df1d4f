// The screen's pixels per inch, sizes scaled from 96 DPI to it and the
// system metrics the controls and forms read. Taken once at start-up; they
// do not follow later DPI changes.
#pragma once
#include "rtl/Types.h"
#include <array>

struct TXSystemMetrics {
    Integer CXBorder = 0, CYBorder = 0;
    Integer CXDlgFrame = 0, CYDlgFrame = 0;
    Integer CXEdge = 0, CYEdge = 0;
    Integer CXFrame = 0, CYFrame = 0;
    Integer CXHScroll = 0, CYHScroll = 0;
    Integer CXHThumb = 0;
    Integer CXIcon = 0, CYIcon = 0;
    Integer CXIconSpacing = 0, CYIconSpacing = 0;
    Integer CXMenuCheck = 0, CYMenuCheck = 0;
    Integer CXMenuSize = 0, CYMenuSize = 0;
    Integer CXMinimized = 0, CYMinimized = 0;
    Integer CXSize = 0, CYSize = 0;
    Integer CXSizeFrame = 0, CYSizeFrame = 0;
    Integer CXSmIcon = 0, CYSmIcon = 0;
    Integer CXSmSize = 0, CYSmSize = 0;
    Integer CXVScroll = 0;
    Integer CYVScroll = 0;
    Integer CYCaption = 0;
    Integer CYMenu = 0;
    Integer CYSmCaption = 0;
    Integer CYVThumb = 0;
};

extern const Integer& ScreenDPIX;
extern const Integer& ScreenDPIY;
// True unless both DPI values are 96.
extern const bool& IsScreenScaled;
// Entry n (0 to 24) is n scaled from 96 DPI to ScreenDPIY.
extern const std::array<Word, 25>& ScaledSizes;
extern const Word& Scaled32;
extern const Word& Scaled48;
extern const Word& Scaled64;
extern const Word& Scaled75;
extern const Word& Scaled100;
extern const TXSystemMetrics& SystemMetrics;

// Takes the values from the screen; the unit's initialisation calls it.
void LoadScreenMetrics();
