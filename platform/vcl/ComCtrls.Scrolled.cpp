#include "vcl/ComCtrls.h"
#include "win/Input.h"
#include "win/Metrics.h"

X_REGISTER_CLASS(TStripScrolledControl)

TRect TStripScrolledControl::ScrollStrip()
{
    const TRect C = ClientRect();
    return { C.Right - GetSystemMetrics(SM_CXVSCROLL), C.Top, C.Right, C.Bottom };
}

void TStripScrolledControl::MouseMove(TShiftState Shift, Integer X, Integer Y)
{
    TLifeWatch Watch(FLife);
    inherited::MouseMove(Shift, X, Y);
    if (!Watch.Freed() && FScroll.MouseMove({ X, Y }, ScrollStrip()))
        Invalidate();
}

void TStripScrolledControl::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    FScroll.MouseUp();
    inherited::MouseUp(Button, Shift, X, Y);
}

bool TStripScrolledControl::DoMouseWheel(TShiftState Shift, Integer WheelDelta, TPoint MousePos)
{
    TLifeWatch Watch(FLife);
    if (inherited::DoMouseWheel(Shift, WheelDelta, MousePos) || Watch.Freed())
        return true;
    if (FScroll.SetPosition(FScroll.Position() - WheelDelta / WHEEL_DELTA * 3))
        Invalidate();
    return true;
}

bool TStripScrolledControl::WantsKey(Word Key)
{
    return Key == VK_UP || Key == VK_DOWN || Key == VK_LEFT || Key == VK_RIGHT;
}
