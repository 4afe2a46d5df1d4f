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
// The client point a mouse message carries.
inline TPoint MessagePoint(const TMessage& M)
{
    return { GET_X_LPARAM(M.LParam), GET_Y_LPARAM(M.LParam) };
}

}

// Text on controls, in Color, inside R, vertically centred, cut with an
// ellipsis; in the canvas's font.
void DrawControlText(TCanvas* Canvas, const String& Text, const TRect& R, TColor Color);
// What Text needs in Font: its advance and the font's cell height.
TSize MeasureText(const TFont* Font, const String& Text);

// A vertical scroll bar that a control draws in a strip of its own client
// area: arrow boxes at both ends, a thumb as long as the page is of the
// whole. Positions count rows.
class TStripScrollBar {
public:
    Integer Position() const { return FPosition; }
    Integer Total() const { return FTotal; }
    Integer Page() const { return FPage; }
    Integer MaxPosition() const { return FTotal > FPage ? FTotal - FPage : 0; }
    bool Needed() const { return FTotal > FPage; }
    void SetRange(Integer Total, Integer Page);
    // Clamped; true when the position changed.
    bool SetPosition(Integer Value);

    void Paint(TCanvas* Canvas, const TRect& Strip) const;
    // True when the press changed the position or started a drag.
    bool MouseDown(TPoint P, const TRect& Strip);
    bool MouseMove(TPoint P, const TRect& Strip);
    void MouseUp() { FDragging = false; }
    bool Dragging() const { return FDragging; }

private:
    TRect Thumb(const TRect& Strip) const;
    Integer FTotal = 0;
    Integer FPage = 0;
    Integer FPosition = 0;
    bool FDragging = false;
    Integer FDragOffset = 0;
};
