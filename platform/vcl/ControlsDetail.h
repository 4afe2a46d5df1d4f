// Internal to the controls: shared helpers of the control units.
#pragma once
#include "vcl/Controls.h"

// P lies in R (right and bottom edges outside).
inline bool InRect(const TRect& R, TPoint P)
{
    return P.X >= R.Left && P.X < R.Right && P.Y >= R.Top && P.Y < R.Bottom;
}

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

// A scroll bar that a control draws in a strip of its own (in its client
// area or its frame): arrow boxes at both ends, a thumb as long as the page
// is of the whole. Vertical unless made horizontal. Positions count what
// the control scrolls by (rows, pixels); an arrow moves by the line step.
class TStripScrollBar {
public:
    explicit TStripScrollBar(bool Horizontal = false)
        : FHorizontal(Horizontal)
    { }
    bool Horizontal() const { return FHorizontal; }
    Integer Position() const { return FPosition; }
    Integer Total() const { return FTotal; }
    Integer Page() const { return FPage; }
    Integer MaxPosition() const { return FTotal > FPage ? FTotal - FPage : 0; }
    bool Needed() const { return FTotal > FPage; }
    void SetRange(Integer Total, Integer Page);
    Integer LineStep() const { return FLineStep; }
    void SetLineStep(Integer Value) { FLineStep = Value > 0 ? Value : 1; }
    // Clamped; true when the position changed.
    bool SetPosition(Integer Value);

    void Paint(TCanvas* Canvas, const TRect& Strip) const;
    // The part of the strip under P as a scroll code: SB_LINEUP and
    // SB_LINEDOWN on the arrows, SB_PAGEUP and SB_PAGEDOWN beside the
    // thumb, SB_THUMBTRACK on it; -1 elsewhere or while nothing scrolls.
    Integer HitCode(TPoint P, const TRect& Strip) const;
    // Where a scroll code leads from the position now (clamped).
    Integer StepPosition(Integer Code) const;
    // A press on the thumb starts a drag; DragPosition follows the pointer.
    void BeginDrag(TPoint P, const TRect& Strip);
    Integer DragPosition(TPoint P, const TRect& Strip) const;
    // True when the press changed the position or started a drag.
    bool MouseDown(TPoint P, const TRect& Strip);
    bool MouseMove(TPoint P, const TRect& Strip);
    void MouseUp() { FDragging = false; }
    bool Dragging() const { return FDragging; }

private:
    // Lengths along the bar and across it.
    Integer Along(TPoint P) const { return FHorizontal ? P.X : P.Y; }
    Integer Start(const TRect& R) const { return FHorizontal ? R.Left : R.Top; }
    Integer Length(const TRect& R) const { return FHorizontal ? R.Width() : R.Height(); }
    Integer Arrow(const TRect& R) const { return FHorizontal ? R.Height() : R.Width(); }
    // A span along the bar as a rectangle of the strip.
    TRect Span(const TRect& Strip, Integer From, Integer To) const;
    TRect Thumb(const TRect& Strip) const;
    bool FHorizontal = false;
    Integer FTotal = 0;
    Integer FPage = 0;
    Integer FPosition = 0;
    Integer FLineStep = 1;
    bool FDragging = false;
    Integer FDragOffset = 0;
};
