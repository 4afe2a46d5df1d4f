// Where a thumbnail panel puts its picture, title and buttons, and which
// button picture it draws: pure computations of the thumbnail gear's
// settings, so that the geometry and the button pictures can be checked
// without windows.
//
//     TXThnGeometry G = ThnGeometry({ 4, 128, 96, tpBottom, false, 13 }, ButtonSizes(Box));
//     Panel->SetBounds(0, 0, G.CellWidth, G.CellHeight);
#pragma once
#include "graphics/XControls.h"
#include "graphics/XMedia.Types.h"
#include <vector>

class TXImageObject;

enum TXThnTitleType : Byte { tiNone, tiCustom, tiIndex, tiSize, tiID, tiTitle };
X_ENUM_INFO(TXThnTitleType, tiNone, tiCustom, tiIndex, tiSize, tiID, tiTitle)
// tpTop and tpBottom both put the title below the thumbnail.
enum TXThnTitlePosition : Byte { tpThn, tpTop, tpBottom };
X_ENUM_INFO(TXThnTitlePosition, tpThn, tpTop, tpBottom)

struct TXThnSettings {
    Integer Border = 0;
    Integer ThnWidth = 0;
    Integer ThnHeight = 0;
    TXThnTitlePosition TitlePosition = tpThn;
    bool CheckBox = false;
    // The height of the message font, either sign.
    Integer FontHeight = 0;
};

struct TXThnGeometry {
    Integer CellWidth = 0;
    Integer CellHeight = 0;
    TRect ThumbRect;
    TRect TitleRect;
    // One per button picture, first to last; laid right to left along the
    // top of the thumbnail.
    std::vector<TRect> ButtonRects;
};

// The geometry for the settings and the sizes of the button pictures.
TXThnGeometry ThnGeometry(const TXThnSettings& Settings, const std::vector<TXSize>& ButtonSizes);
// The sizes of the pictures of the box, first to last; none without a box.
std::vector<TXSize> ButtonSizes(TXSkinImagesBox* Box);

// The boxes of a row of buttons: the plain one gives the row; the hot and
// disabled ones may be missing or shorter.
struct TXThnButtonBoxes {
    TXSkinImagesBox* Plain = nullptr;
    TXSkinImagesBox* Hot = nullptr;
    TXSkinImagesBox* Disabled = nullptr;
};
// The picture of button Index: from the disabled box when not Enabled, from
// the hot box when Hot, else from the plain one; a box that is missing or
// holds no picture at Index gives the plain box's. Null when the plain box
// has none at Index either.
TXImageObject* ThnButtonImage(const TXThnButtonBoxes& Boxes, Integer Index, bool Enabled, bool Hot);
