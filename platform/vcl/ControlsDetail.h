// Internal to the controls: shared helpers of the control units.
#pragma once
#include "vcl/Controls.h"

// Fills a logical rectangle of a device context, inside its clip area.
void FillDCRect(HDC Dc, const TRect& R, TColor Color);

namespace ControlsDetail {

// The control under the pointer, told of CM_MOUSEENTER and CM_MOUSELEAVE.
TControl* MouseControl();
void SetMouseControl(TControl* Control);
// A control going away: it holds neither the pointer nor the capture.
void ControlGone(TControl* Control);
// The top-level windowed control a control lives in.
TWinControl* TopParent(TControl* Control);

}
