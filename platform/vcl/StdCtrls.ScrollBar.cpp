#include "vcl/StdCtrls.h"
#include "win/Input.h"
#include "win/Metrics.h"
#include <algorithm>

X_REGISTER_CLASS(TScrollBar)

void TScrollBar::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FWidth = 121;
    FHeight = GetSystemMetrics(SM_CYHSCROLL);
    SetTabStop(true);
    FControlStyle.Exclude(csDoubleClicks);
    UpdateRange();
}

void TScrollBar::UpdateRange()
{
    // The bar's own positions count from Min: Max - Min + 1 places, of
    // which a page shows.
    FBar.SetRange(Integer(std::min<Int64>(Int64(FMax) - FMin + 1, INT32_MAX)), std::max(FPageSize, 1));
    FBar.SetLineStep(FSmallChange);
    Invalidate();
}

void TScrollBar::SetKind(TScrollBarKind Value)
{
    if (FKind == Value)
        return;
    FKind = Value;
    const Integer Pos = FBar.Position();
    FBar = TStripScrollBar(Value == sbHorizontal);
    UpdateRange();
    FBar.SetPosition(Pos);
    SetBounds(FLeft, FTop, FHeight, FWidth);
}

void TScrollBar::SetParams(Integer APosition, Integer AMin, Integer AMax)
{
    if (AMax < AMin)
        throw EInvalidOperation(u"Scroll bar property out of range");
    FMin = AMin;
    FMax = AMax;
    FPageSize = std::min(FPageSize, Integer(std::min<Int64>(Int64(AMax) - AMin + 1, INT32_MAX)));
    const Integer Old = Position();
    UpdateRange();
    FBar.SetPosition(Integer(std::clamp<Int64>(Int64(APosition) - FMin, 0, INT32_MAX)));
    if (Position() != Old)
        Change();
}

void TScrollBar::SetPageSize(Integer Value)
{
    FPageSize = std::clamp(Value, 0, Integer(std::min<Int64>(Int64(FMax) - FMin + 1, INT32_MAX)));
    const Integer Old = Position();
    UpdateRange();
    if (Position() != Old)
        Change();
}

void TScrollBar::SetSmallChange(Integer Value)
{
    FSmallChange = std::max(Value, 1);
    FBar.SetLineStep(FSmallChange);
}

void TScrollBar::SetPosition(Integer Value)
{
    if (FBar.SetPosition(Integer(std::clamp<Int64>(Int64(Value) - FMin, 0, INT32_MAX)))) {
        Invalidate();
        Change();
    }
}

void TScrollBar::Scroll(TScrollCode ScrollCode, Integer& ScrollPos)
{
    if (const auto Handler = OnScroll)
        Handler(this, ScrollCode, ScrollPos);
}

void TScrollBar::Change()
{
    Fire(OnChange);
}

Integer TScrollBar::StepTarget(Integer Code) const
{
    switch (Code) {
    case SB_LINEUP: return Position() - FSmallChange;
    case SB_LINEDOWN: return Position() + FSmallChange;
    case SB_PAGEUP: return Position() - FLargeChange;
    case SB_PAGEDOWN: return Position() + FLargeChange;
    }
    return Position();
}

void TScrollBar::DoScroll(TScrollCode Code, Integer Pos)
{
    TLifeWatch Watch(FLife);
    Scroll(Code, Pos);
    if (!Watch.Freed() && Code != scEndScroll)
        SetPosition(Pos);
}

void TScrollBar::Paint()
{
    FBar.Paint(Canvas(), ClientRect());
}

void TScrollBar::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    TLifeWatch Watch(FLife);
    inherited::MouseDown(Button, Shift, X, Y);
    if (Watch.Freed() || Button != mbLeft || !FEnabled)
        return;
    const TRect Strip = ClientRect();
    const Integer Code = FBar.HitCode({ X, Y }, Strip);
    if (Code == SB_THUMBTRACK)
        FBar.BeginDrag({ X, Y }, Strip);
    else if (Code >= 0)
        DoScroll(TScrollCode(Code), StepTarget(Code));
}

void TScrollBar::MouseMove(TShiftState Shift, Integer X, Integer Y)
{
    TLifeWatch Watch(FLife);
    inherited::MouseMove(Shift, X, Y);
    if (!Watch.Freed() && FBar.Dragging())
        DoScroll(scTrack, FMin + FBar.DragPosition({ X, Y }, ClientRect()));
}

void TScrollBar::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    TLifeWatch Watch(FLife);
    const bool Dragged = FBar.Dragging();
    FBar.MouseUp();
    if (Dragged)
        DoScroll(scPosition, Position());
    if (!Watch.Freed())
        DoScroll(scEndScroll, Position());
    if (!Watch.Freed())
        inherited::MouseUp(Button, Shift, X, Y);
}

bool TScrollBar::WantsKey(Word Key)
{
    return Key == VK_UP || Key == VK_DOWN || Key == VK_LEFT || Key == VK_RIGHT;
}

void TScrollBar::KeyDown(Word& Key, TShiftState Shift)
{
    TLifeWatch Watch(FLife);
    inherited::KeyDown(Key, Shift);
    if (Watch.Freed())
        return;
    switch (Key) {
    case VK_UP:
    case VK_LEFT: DoScroll(scLineUp, StepTarget(SB_LINEUP)); break;
    case VK_DOWN:
    case VK_RIGHT: DoScroll(scLineDown, StepTarget(SB_LINEDOWN)); break;
    case VK_PRIOR: DoScroll(scPageUp, StepTarget(SB_PAGEUP)); break;
    case VK_NEXT: DoScroll(scPageDown, StepTarget(SB_PAGEDOWN)); break;
    }
}
