#include "core/XCore.ScreenMetrics.h"
#include "win/Metrics.h"
#include "rtl/Units.h"

namespace {
Integer GDPIX = DefaultScreenDPI;
Integer GDPIY = DefaultScreenDPI;
bool GScaled = false;
std::array<Word, 25> GSizes {};
Word G32 = 32, G48 = 48, G64 = 64, G75 = 75, G100 = 100;
TXSystemMetrics GMetrics;

Word Scale(Integer N)
{
    Integer V = MulDiv(N, GDPIY, DefaultScreenDPI);
    return V < 0 ? 0 : V > 0xFFFF ? 0xFFFF : Word(V);
}
}

const Integer& ScreenDPIX = GDPIX;
const Integer& ScreenDPIY = GDPIY;
const bool& IsScreenScaled = GScaled;
const std::array<Word, 25>& ScaledSizes = GSizes;
const Word& Scaled32 = G32;
const Word& Scaled48 = G48;
const Word& Scaled64 = G64;
const Word& Scaled75 = G75;
const Word& Scaled100 = G100;
const TXSystemMetrics& SystemMetrics = GMetrics;

void LoadScreenMetrics()
{
    GDPIX = GetScreenDeviceCaps(LOGPIXELSX);
    GDPIY = GetScreenDeviceCaps(LOGPIXELSY);
    GScaled = GDPIX != DefaultScreenDPI || GDPIY != DefaultScreenDPI;
    for (Integer N = 0; N < Integer(GSizes.size()); ++N)
        GSizes[size_t(N)] = Scale(N);
    G32 = Scale(32);
    G48 = Scale(48);
    G64 = Scale(64);
    G75 = Scale(75);
    G100 = Scale(100);

    TXSystemMetrics& M = GMetrics;
    M.CXBorder = GetSystemMetrics(SM_CXBORDER);
    M.CYBorder = GetSystemMetrics(SM_CYBORDER);
    M.CXDlgFrame = GetSystemMetrics(SM_CXDLGFRAME);
    M.CYDlgFrame = GetSystemMetrics(SM_CYDLGFRAME);
    M.CXEdge = GetSystemMetrics(SM_CXEDGE);
    M.CYEdge = GetSystemMetrics(SM_CYEDGE);
    M.CXFrame = GetSystemMetrics(SM_CXFRAME);
    M.CYFrame = GetSystemMetrics(SM_CYFRAME);
    M.CXHScroll = GetSystemMetrics(SM_CXHSCROLL);
    M.CYHScroll = GetSystemMetrics(SM_CYHSCROLL);
    M.CXHThumb = GetSystemMetrics(SM_CXHTHUMB);
    M.CXIcon = GetSystemMetrics(SM_CXICON);
    M.CYIcon = GetSystemMetrics(SM_CYICON);
    M.CXIconSpacing = GetSystemMetrics(SM_CXICONSPACING);
    M.CYIconSpacing = GetSystemMetrics(SM_CYICONSPACING);
    M.CXMenuCheck = GetSystemMetrics(SM_CXMENUCHECK);
    M.CYMenuCheck = GetSystemMetrics(SM_CYMENUCHECK);
    M.CXMenuSize = GetSystemMetrics(SM_CXMENUSIZE);
    M.CYMenuSize = GetSystemMetrics(SM_CYMENUSIZE);
    M.CXMinimized = GetSystemMetrics(SM_CXMINIMIZED);
    M.CYMinimized = GetSystemMetrics(SM_CYMINIMIZED);
    M.CXSize = GetSystemMetrics(SM_CXSIZE);
    M.CYSize = GetSystemMetrics(SM_CYSIZE);
    M.CXSizeFrame = GetSystemMetrics(SM_CXSIZEFRAME);
    M.CYSizeFrame = GetSystemMetrics(SM_CYSIZEFRAME);
    M.CXSmIcon = GetSystemMetrics(SM_CXSMICON);
    M.CYSmIcon = GetSystemMetrics(SM_CYSMICON);
    M.CXSmSize = GetSystemMetrics(SM_CXSMSIZE);
    M.CYSmSize = GetSystemMetrics(SM_CYSMSIZE);
    M.CXVScroll = GetSystemMetrics(SM_CXVSCROLL);
    M.CYVScroll = GetSystemMetrics(SM_CYVSCROLL);
    M.CYCaption = GetSystemMetrics(SM_CYCAPTION);
    M.CYMenu = GetSystemMetrics(SM_CYMENU);
    M.CYSmCaption = GetSystemMetrics(SM_CYSMCAPTION);
    M.CYVThumb = GetSystemMetrics(SM_CYVTHUMB);
}

X_UNIT(XCore_ScreenMetrics, "XCore.ScreenMetrics", {}, &LoadScreenMetrics, nullptr)
