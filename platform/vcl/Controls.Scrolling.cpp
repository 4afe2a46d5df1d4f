#include "vcl/Controls.h"
#include "win/Painting.h"

void TWinControl::ScrollBy(Integer DeltaX, Integer DeltaY)
{
    if (DeltaX == 0 && DeltaY == 0)
        return;
    DisableAlign();
    // Graphic children ride along with the pixels they are drawn in: their
    // places change without a paint of their own.
    for (TControl* C : FControls) {
        C->FLeft += DeltaX;
        C->FTop += DeltaY;
    }
    if (FHandle) {
        // The windows move with their pixels; their bounds follow from
        // WM_WINDOWPOSCHANGED.
        ScrollWindowEx(FHandle, DeltaX, DeltaY, nullptr, nullptr, nullptr,
            SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
    } else {
        for (TWinControl* C : FWinControls) {
            C->FLeft += DeltaX;
            C->FTop += DeltaY;
        }
    }
    EnableAlign();
}
