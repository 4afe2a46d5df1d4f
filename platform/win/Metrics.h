// Screen metrics of this platform's screen: pixels per inch (96 unless set)
// and the system metrics, a fixed table of a 96-DPI screen scaled to the
// screen's DPI, as the system does when its DPI changes. The display
// presenter or a test sets the DPI; readers see it at once.
#pragma once
#include "rtl/Types.h"

// Indexes of GetSystemMetrics.
constexpr Integer SM_CXVSCROLL = 2;
constexpr Integer SM_CYHSCROLL = 3;
constexpr Integer SM_CYCAPTION = 4;
constexpr Integer SM_CXBORDER = 5;
constexpr Integer SM_CYBORDER = 6;
constexpr Integer SM_CXDLGFRAME = 7;
constexpr Integer SM_CYDLGFRAME = 8;
constexpr Integer SM_CYVTHUMB = 9;
constexpr Integer SM_CXHTHUMB = 10;
constexpr Integer SM_CXICON = 11;
constexpr Integer SM_CYICON = 12;
constexpr Integer SM_CYMENU = 15;
constexpr Integer SM_CYVSCROLL = 20;
constexpr Integer SM_CXHSCROLL = 21;
constexpr Integer SM_CXSIZE = 30;
constexpr Integer SM_CYSIZE = 31;
constexpr Integer SM_CXFRAME = 32;
constexpr Integer SM_CYFRAME = 33;
constexpr Integer SM_CXICONSPACING = 38;
constexpr Integer SM_CYICONSPACING = 39;
constexpr Integer SM_CXDOUBLECLK = 36;
constexpr Integer SM_CYDOUBLECLK = 37;
constexpr Integer SM_CXEDGE = 45;
constexpr Integer SM_CYEDGE = 46;
constexpr Integer SM_CXSMICON = 49;
constexpr Integer SM_CYSMICON = 50;
constexpr Integer SM_CYSMCAPTION = 51;
constexpr Integer SM_CXSMSIZE = 52;
constexpr Integer SM_CYSMSIZE = 53;
constexpr Integer SM_CXMENUSIZE = 54;
constexpr Integer SM_CYMENUSIZE = 55;
constexpr Integer SM_CXMINIMIZED = 57;
constexpr Integer SM_CYMINIMIZED = 58;
constexpr Integer SM_CXMENUCHECK = 71;
constexpr Integer SM_CYMENUCHECK = 72;
constexpr Integer SM_CXSIZEFRAME = SM_CXFRAME;
constexpr Integer SM_CYSIZEFRAME = SM_CYFRAME;

// Indexes of GetScreenDeviceCaps.
constexpr Integer LOGPIXELSX = 88;
constexpr Integer LOGPIXELSY = 90;

constexpr Integer DefaultScreenDPI = 96;

// The metric at the current DPI; 0 for an index the table does not hold.
Integer GetSystemMetrics(Integer Index);
// What the screen device context answers: LOGPIXELSX, LOGPIXELSY; 0 otherwise.
Integer GetScreenDeviceCaps(Integer Index);
// Raises EArgumentOutOfRangeException outside 1 to 9600.
void SetScreenDPI(Integer DPIX, Integer DPIY);

// Number × Numerator / Denominator in 64 bits, rounded half away from zero;
// -1 when Denominator is 0 or the result does not fit in 32 bits.
Integer MulDiv(Integer Number, Integer Numerator, Integer Denominator);

// A font as the system describes it: the height in pixels (negative: the
// character height without the leading), weight 400 normal and 700 bold.
struct LOGFONT {
    std::int32_t lfHeight = 0;
    std::int32_t lfWidth = 0;
    std::int32_t lfEscapement = 0;
    std::int32_t lfOrientation = 0;
    std::int32_t lfWeight = 400;
    Byte lfItalic = 0;
    Byte lfUnderline = 0;
    Byte lfStrikeOut = 0;
    Byte lfCharSet = 1; // DEFAULT_CHARSET
    String lfFaceName;
};

// The sizes and fonts of window frames, captions, menus and messages.
struct NONCLIENTMETRICS {
    Cardinal cbSize = 504;
    Integer iBorderWidth = 0;
    Integer iScrollWidth = 0;
    Integer iScrollHeight = 0;
    Integer iCaptionWidth = 0;
    Integer iCaptionHeight = 0;
    LOGFONT lfCaptionFont;
    Integer iSmCaptionWidth = 0;
    Integer iSmCaptionHeight = 0;
    LOGFONT lfSmCaptionFont;
    Integer iMenuWidth = 0;
    Integer iMenuHeight = 0;
    LOGFONT lfMenuFont;
    LOGFONT lfStatusFont;
    LOGFONT lfMessageFont;
    Integer iPaddedBorderWidth = 0;
};

constexpr Cardinal SPI_GETNONCLIENTMETRICS = 0x0029;

// SPI_GETNONCLIENTMETRICS fills a NONCLIENTMETRICS whose cbSize is 504 or
// 500 (the sizes the system knows): the metrics of the screen's DPI and
// the desktop's fonts (DejaVu Sans, 9 points). Anything else, and every
// call while a test made it fail, answers false.
bool SystemParametersInfo(Cardinal Action, Cardinal Param, void* Data, Cardinal WinIni);
// Tests: makes SystemParametersInfo fail, or work again.
void SetSystemParametersFailing(bool Fail);
