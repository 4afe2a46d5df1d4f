#include "gdi/Colors.h"
#include "rtl/StrUtils.h"
#include <array>

namespace {

// One fixed light theme, so drawings look the same on every machine.
constexpr std::array<TColor, 31> SystemColors = {
    RGB(200, 200, 200), // scroll bar
    RGB(0, 0, 0), // desktop background
    RGB(153, 180, 209), // active caption
    RGB(191, 205, 219), // inactive caption
    RGB(240, 240, 240), // menu
    RGB(255, 255, 255), // window
    RGB(100, 100, 100), // window frame
    RGB(0, 0, 0), // menu text
    RGB(0, 0, 0), // window text
    RGB(0, 0, 0), // caption text
    RGB(180, 180, 180), // active border
    RGB(244, 247, 252), // inactive border
    RGB(171, 171, 171), // application work space
    RGB(0, 120, 215), // highlight
    RGB(255, 255, 255), // highlight text
    RGB(240, 240, 240), // button face
    RGB(160, 160, 160), // button shadow
    RGB(109, 109, 109), // grey text
    RGB(0, 0, 0), // button text
    RGB(0, 0, 0), // inactive caption text
    RGB(255, 255, 255), // button highlight
    RGB(105, 105, 105), // 3D dark shadow
    RGB(227, 227, 227), // 3D light
    RGB(0, 0, 0), // tooltip text
    RGB(255, 255, 225), // tooltip background
    RGB(0, 0, 0), // (unused)
    RGB(0, 102, 204), // hot light
    RGB(185, 209, 234), // gradient active caption
    RGB(215, 228, 242), // gradient inactive caption
    RGB(51, 153, 255), // menu highlight
    RGB(240, 240, 240), // menu bar
};

} // namespace

TColor ColorToRGB(TColor Color)
{
    if (Color >= 0)
        return Color;
    const unsigned Index = unsigned(Color) & 0xFF;
    return Index < SystemColors.size() ? SystemColors[Index] : clBlack;
}

namespace {

struct TColorName {
    TColor Value;
    const char16_t* Name;
};

constexpr TColorName ColorNames[] = { { 0x000000, u"clBlack" }, { 0x000080, u"clMaroon" }, { 0x008000, u"clGreen" },
    { 0x008080, u"clOlive" }, { 0x800000, u"clNavy" }, { 0x800080, u"clPurple" }, { 0x808000, u"clTeal" },
    { 0x808080, u"clGray" }, { 0xC0C0C0, u"clSilver" }, { 0x0000FF, u"clRed" }, { 0x00FF00, u"clLime" },
    { 0x00FFFF, u"clYellow" }, { 0xFF0000, u"clBlue" }, { 0xFF00FF, u"clFuchsia" }, { 0xFFFF00, u"clAqua" },
    { 0xFFFFFF, u"clWhite" }, { clNone, u"clNone" }, { clDefault, u"clDefault" }, { clScrollBar, u"clScrollBar" },
    { clBackground, u"clBackground" }, { clActiveCaption, u"clActiveCaption" },
    { clInactiveCaption, u"clInactiveCaption" }, { clMenu, u"clMenu" }, { clWindow, u"clWindow" },
    { clWindowFrame, u"clWindowFrame" }, { clMenuText, u"clMenuText" }, { clWindowText, u"clWindowText" },
    { clCaptionText, u"clCaptionText" }, { clActiveBorder, u"clActiveBorder" },
    { clInactiveBorder, u"clInactiveBorder" }, { clAppWorkSpace, u"clAppWorkSpace" }, { clHighlight, u"clHighlight" },
    { clHighlightText, u"clHighlightText" }, { clBtnFace, u"clBtnFace" }, { clBtnShadow, u"clBtnShadow" },
    { clGrayText, u"clGrayText" }, { clBtnText, u"clBtnText" }, { clInactiveCaptionText, u"clInactiveCaptionText" },
    { clBtnHighlight, u"clBtnHighlight" }, { cl3DDkShadow, u"cl3DDkShadow" }, { cl3DLight, u"cl3DLight" },
    { clInfoText, u"clInfoText" }, { clInfoBk, u"clInfoBk" } };

bool ColorToIdent(Int64 Value, String& Ident)
{
    for (const TColorName& N : ColorNames)
        if (N.Value == Value) {
            Ident = N.Name;
            return true;
        }
    return false;
}

bool IdentToColor(StringView Ident, Int64& Value)
{
    for (const TColorName& N : ColorNames)
        if (SameText(Ident, N.Name)) {
            Value = N.Value;
            return true;
        }
    return false;
}

}

const TTypeInfo* ColorTypeInfo()
{
    static const TTypeInfo Info = [] {
        TTypeInfo I = *TypeInfoOf<Integer>();
        I.Name = u"TColor";
        I.IntToIdent = ColorToIdent;
        I.IdentToInt = IdentToColor;
        return I;
    }();
    return &Info;
}
