#include "win/Metrics.h"
#include "rtl/Exceptions.h"
#include <atomic>
#include <cstdlib>
#include <limits>

namespace {

std::atomic<Integer> ScreenDPIX { DefaultScreenDPI };
std::atomic<bool> ParametersFail { false };
std::atomic<Integer> ScreenDPIY { DefaultScreenDPI };

enum class TAxis { X, Y, Fixed };

struct TMetric {
    Integer Index;
    Integer At96;
    TAxis Axis; // which DPI scales it; borders stay one pixel
};

constexpr TMetric Table[] = {
    { SM_CXBORDER, 1, TAxis::Fixed },
    { SM_CYBORDER, 1, TAxis::Fixed },
    { SM_CXDLGFRAME, 3, TAxis::X },
    { SM_CYDLGFRAME, 3, TAxis::Y },
    { SM_CXEDGE, 2, TAxis::X },
    { SM_CYEDGE, 2, TAxis::Y },
    { SM_CXFRAME, 4, TAxis::X },
    { SM_CYFRAME, 4, TAxis::Y },
    { SM_CXHSCROLL, 17, TAxis::X },
    { SM_CYHSCROLL, 17, TAxis::Y },
    { SM_CXHTHUMB, 17, TAxis::X },
    { SM_CYVTHUMB, 17, TAxis::Y },
    { SM_CXICON, 32, TAxis::X },
    { SM_CYICON, 32, TAxis::Y },
    { SM_CXDOUBLECLK, 4, TAxis::X },
    { SM_CYDOUBLECLK, 4, TAxis::Y },
    { SM_CXICONSPACING, 75, TAxis::X },
    { SM_CYICONSPACING, 75, TAxis::Y },
    { SM_CXMENUCHECK, 15, TAxis::X },
    { SM_CYMENUCHECK, 15, TAxis::Y },
    { SM_CXMENUSIZE, 19, TAxis::X },
    { SM_CYMENUSIZE, 19, TAxis::Y },
    { SM_CXMINIMIZED, 160, TAxis::X },
    { SM_CYMINIMIZED, 28, TAxis::Y },
    { SM_CXSIZE, 36, TAxis::X },
    { SM_CYSIZE, 22, TAxis::Y },
    { SM_CXSMICON, 16, TAxis::X },
    { SM_CYSMICON, 16, TAxis::Y },
    { SM_CXSMSIZE, 12, TAxis::X },
    { SM_CYSMSIZE, 15, TAxis::Y },
    { SM_CXVSCROLL, 17, TAxis::X },
    { SM_CYVSCROLL, 17, TAxis::Y },
    { SM_CYCAPTION, 23, TAxis::Y },
    { SM_CYMENU, 20, TAxis::Y },
    { SM_CYSMCAPTION, 16, TAxis::Y },
};

}

Integer MulDiv(Integer Number, Integer Numerator, Integer Denominator)
{
    if (Denominator == 0)
        return -1;
    Int64 Product = Int64(Number) * Numerator;
    Int64 Half = std::llabs(Denominator) / 2;
    bool Negative = (Product < 0) != (Denominator < 0);
    Int64 Magnitude = (std::llabs(Product) + Half) / std::llabs(Denominator);
    Int64 Result = Negative ? -Magnitude : Magnitude;
    if (Result > std::numeric_limits<Integer>::max() || Result < std::numeric_limits<Integer>::min())
        return -1;
    return Integer(Result);
}

Integer GetSystemMetrics(Integer Index)
{
    for (const TMetric& M : Table) {
        if (M.Index != Index)
            continue;
        switch (M.Axis) {
        case TAxis::X: return MulDiv(M.At96, ScreenDPIX.load(), DefaultScreenDPI);
        case TAxis::Y: return MulDiv(M.At96, ScreenDPIY.load(), DefaultScreenDPI);
        case TAxis::Fixed: return M.At96;
        }
    }
    return 0;
}

Integer GetScreenDeviceCaps(Integer Index)
{
    switch (Index) {
    case LOGPIXELSX: return ScreenDPIX.load();
    case LOGPIXELSY: return ScreenDPIY.load();
    default: return 0;
    }
}

void SetScreenDPI(Integer DPIX, Integer DPIY)
{
    if (DPIX < 1 || DPIX > 9600 || DPIY < 1 || DPIY > 9600)
        throw EArgumentOutOfRangeException(RtlText::ArgumentOutOfRange);
    ScreenDPIX = DPIX;
    ScreenDPIY = DPIY;
}

bool SystemParametersInfo(Cardinal Action, Cardinal Param, void* Data, Cardinal WinIni)
{
    if (ParametersFail.load() || Action != SPI_GETNONCLIENTMETRICS || !Data)
        return false;
    auto* M = static_cast<NONCLIENTMETRICS*>(Data);
    if (M->cbSize != 504 && M->cbSize != 500)
        return false;
    const Cardinal Size = M->cbSize;
    *M = NONCLIENTMETRICS {};
    M->cbSize = Size;
    M->iBorderWidth = 1;
    M->iScrollWidth = GetSystemMetrics(SM_CXVSCROLL);
    M->iScrollHeight = GetSystemMetrics(SM_CYHSCROLL);
    M->iCaptionWidth = GetSystemMetrics(SM_CXSIZE);
    M->iCaptionHeight = GetSystemMetrics(SM_CYSIZE);
    M->iSmCaptionWidth = GetSystemMetrics(SM_CXSMSIZE);
    M->iSmCaptionHeight = GetSystemMetrics(SM_CYSMSIZE);
    M->iMenuWidth = GetSystemMetrics(SM_CXMENUSIZE);
    M->iMenuHeight = GetSystemMetrics(SM_CYMENUSIZE);
    LOGFONT Font;
    Font.lfHeight = -MulDiv(9, ScreenDPIY.load(), 72);
    Font.lfFaceName = u"DejaVu Sans";
    M->lfCaptionFont = M->lfSmCaptionFont = M->lfMenuFont = M->lfStatusFont = M->lfMessageFont = Font;
    return true;
}

void SetSystemParametersFailing(bool Fail)
{
    ParametersFail = Fail;
}
