#include "vcl/StdCtrls.h"
#include "gdi/Colors.h"
#include "vcl/ControlsDetail.h"
#include "vcl/Forms.h"
#include "win/Input.h"
#include "win/Metrics.h"
#include "win/Monitors.h"
#include "win/Painting.h"
#include <algorithm>

X_REGISTER_CLASS(TCustomComboBox)
X_REGISTER_CLASS(TComboBox)

X_MESSAGES(TCustomComboBox)
{
    X_MESSAGE(CN_DRAWITEM, CNDrawItem);
    X_MESSAGE(CM_ENABLEDCHANGED, CMEnabledChanged);
}

TOwnerDrawState OwnerDrawStateFromBits(UINT Bits)
{
    TOwnerDrawState S;
    const std::pair<UINT, TOwnerDrawStateItem> Map[] = {
        { ODS_SELECTED, odSelected },
        { ODS_GRAYED, odGrayed },
        { ODS_DISABLED, odDisabled },
        { ODS_CHECKED, odChecked },
        { ODS_FOCUS, odFocused },
        { ODS_DEFAULT, odDefault },
        { ODS_HOTLIGHT, odHotLight },
        { ODS_INACTIVE, odInactive },
        { ODS_NOACCEL, odNoAccel },
        { ODS_NOFOCUSRECT, odNoFocusRect },
        { ODS_COMBOBOXEDIT, odComboBoxEdit },
    };
    for (const auto& [Bit, Item] : Map)
        if (Bits & Bit)
            S.Include(Item);
    return S;
}

// The drop-down list: a window over the others that does not take the
// keyboard (the box keeps it) and holds the pointer while it is open.
class TComboListWindow : public TCustomControl {
    X_CLASS_TEMPLATE(TComboListWindow, TCustomControl, u"TComboListWindow")
public:
    TCustomComboBox* Combo = nullptr;
    Integer Hot = -1;
    TStripScrollBar Scroll;

    void Create(TComponent* AOwner) override
    {
        inherited::Create(AOwner);
        FVisible = false;
        // The list manages the capture itself; a press must not end it.
        FControlStyle.Exclude(csCaptureMouse);
        FControlStyle.Exclude(csDoubleClicks);
    }

    Integer Rows() const { return std::min(Combo->Items()->Count(), Combo->DropDownCount()); }
    // Inside the one-pixel frame: the rows, then the scroll bar when needed.
    TRect Inside()
    {
        const TRect C = ClientRect();
        return { C.Left + 1, C.Top + 1, C.Right - 1, C.Bottom - 1 };
    }
    TRect ScrollStrip()
    {
        const TRect I = Inside();
        return { I.Right - GetSystemMetrics(SM_CXVSCROLL), I.Top, I.Right, I.Bottom };
    }
    TRect RowsRect()
    {
        const TRect I = Inside();
        return { I.Left, I.Top, Scroll.Needed() ? ScrollStrip().Left : I.Right, I.Bottom };
    }
    // The item under a client point, -1 for none.
    Integer ItemAt(TPoint P)
    {
        const TRect R = RowsRect();
        if (P.X < R.Left || P.X >= R.Right || P.Y < R.Top || P.Y >= R.Bottom)
            return -1;
        const Integer Index = Scroll.Position() + (P.Y - R.Top) / Combo->ItemHeight();
        return Index < Combo->Items()->Count() ? Index : -1;
    }
    void MakeVisible(Integer Index)
    {
        if (Index < 0)
            return;
        if (Index < Scroll.Position())
            Scroll.SetPosition(Index);
        else if (Index >= Scroll.Position() + Rows())
            Scroll.SetPosition(Index - Rows() + 1);
    }
    void SetHot(Integer Index)
    {
        if (Index == Hot)
            return;
        Hot = Index;
        MakeVisible(Index);
        Invalidate();
    }

    void Open()
    {
        const Integer Count = Combo->Items()->Count();
        const Integer H = std::max(Rows(), 1) * Combo->ItemHeight() + 2;
        TPoint Below = Combo->ClientToScreen({ 0, Combo->Height() });
        // Above the box when the list would leave the monitor.
        MONITORINFOEX Info;
        if (GetMonitorInfo(MonitorFromPoint({ Below.X, Below.Y }, MONITOR_DEFAULTTONEAREST), &Info) &&
            Below.Y + H > Info.rcWork.bottom)
            Below.Y = Combo->ClientToScreen({ 0, 0 }).Y - H;
        SetBounds(Below.X, Below.Y, Combo->Width(), H);
        Scroll.SetRange(Count, Rows());
        Hot = Combo->ItemIndex();
        Scroll.SetPosition(0);
        MakeVisible(Hot);
        Tracking = false;
        SetVisible(true);
        SetCaptureControl(this);
    }
    void Close()
    {
        if (MouseCapture())
            SetCaptureControl(nullptr);
        SetVisible(false);
    }

protected:
    bool Tracking = false;

    void CreateParams(TCreateParams& Params) override
    {
        inherited::CreateParams(Params);
        Params.Style = WS_POPUP | WS_CLIPSIBLINGS;
        Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
        TWinControl* Top = ControlsDetail::TopParent(Combo);
        Params.WndParent = Top && Top->HandleAllocated() ? Top->Handle() : nullptr;
    }
    bool Showing() const override { return FVisible; }

    void PaintWindow(HDC Dc) override
    {
        const TRect C = ClientRect();
        FillDCRect(Dc, { C.Left, C.Top, C.Right, C.Top + 1 }, clWindowFrame);
        FillDCRect(Dc, { C.Left, C.Bottom - 1, C.Right, C.Bottom }, clWindowFrame);
        FillDCRect(Dc, { C.Left, C.Top, C.Left + 1, C.Bottom }, clWindowFrame);
        FillDCRect(Dc, { C.Right - 1, C.Top, C.Right, C.Bottom }, clWindowFrame);
        const TRect R = RowsRect();
        const Integer Height = Combo->ItemHeight();
        Integer Y = R.Top;
        for (Integer I = Scroll.Position(); I < Combo->Items()->Count() && Y < R.Bottom; ++I, Y += Height)
            Combo->PaintItem(Dc, I, { R.Left, Y, R.Right, std::min(Y + Height, R.Bottom) },
                I == Hot ? ODS_SELECTED : 0);
        if (Y < R.Bottom)
            FillDCRect(Dc, { R.Left, Y, R.Right, R.Bottom }, clWindow);
        if (Scroll.Needed()) {
            static_cast<TControlCanvas*>(Canvas())->SetHandle(Dc);
            Scroll.Paint(Canvas(), ScrollStrip());
            static_cast<TControlCanvas*>(Canvas())->SetHandle(nullptr);
        }
    }

    void MouseMove(TShiftState Shift, Integer X, Integer Y) override
    {
        if (Scroll.Dragging()) {
            if (Scroll.MouseMove({ X, Y }, ScrollStrip()))
                Invalidate();
            return;
        }
        const Integer Index = ItemAt({ X, Y });
        if (Index >= 0) {
            Tracking = true;
            SetHot(Index);
        }
    }
    void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override
    {
        const TRect C = ClientRect();
        if (X < 0 || Y < 0 || X >= C.Width() || Y >= C.Height()) {
            // A press anywhere else closes the list without a choice.
            Combo->SetDroppedDown(false);
            return;
        }
        if (Scroll.Needed() && X >= ScrollStrip().Left) {
            if (Scroll.MouseDown({ X, Y }, ScrollStrip()))
                Invalidate();
            return;
        }
        Tracking = true;
    }
    void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override
    {
        if (Scroll.Dragging()) {
            Scroll.MouseUp();
            return;
        }
        const Integer Index = ItemAt({ X, Y });
        if (Index >= 0 && Tracking)
            Combo->Choose(Index);
    }
    bool DoMouseWheel(TShiftState Shift, Integer WheelDelta, TPoint MousePos) override
    {
        if (Scroll.SetPosition(Scroll.Position() - WheelDelta / WHEEL_DELTA * 3))
            Invalidate();
        return true;
    }
};

void TCustomComboBox::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FItems = MakeOwned<TStringList>();
    FItems->OnChange = [this](TObject* Sender) { ItemsChanged(Sender); };
    FCanvas = MakeOwned<TControlCanvas>();
    FCanvas->SetControl(this);
    FColor = clWindow;
    FTabStop = true;
    FWidth = 145;
    FHeight = FItemHeight + 6;
    FList = New<TComboListWindow>(this);
    FList->Combo = this;
}

void TCustomComboBox::BeforeDestruction()
{
    if (FList)
        FList->Close();
    inherited::BeforeDestruction();
    FList = nullptr;
}

TCustomComboBox::~TCustomComboBox() = default;

void TCustomComboBox::CreateParams(TCreateParams& Params)
{
    inherited::CreateParams(Params);
    Params.Style |= WS_TABSTOP;
}

void TCustomComboBox::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight)
{
    // A box is as high as an item and its frame, as the system's are.
    if (FStyle != csSimple)
        AHeight = FItemHeight + 6;
    inherited::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TCustomComboBox::ItemsChanged(TObject*)
{
    if (FItemIndex >= FItems->Count())
        FItemIndex = -1;
    Invalidate();
    if (DroppedDown()) {
        FList->Scroll.SetRange(FItems->Count(), FList->Rows());
        FList->Invalidate();
    }
}

void TCustomComboBox::SetItemIndex(Integer Value)
{
    if (Value < -1 || Value >= FItems->Count())
        Value = -1;
    if (FItemIndex == Value)
        return;
    FItemIndex = Value;
    FText = Value >= 0 ? FItems->Strings(Value) : String();
    Invalidate();
}

void TCustomComboBox::SetStyle(TComboBoxStyle Value)
{
    if (FStyle == Value)
        return;
    FStyle = Value;
    SetBounds(FLeft, FTop, FWidth, FHeight);
    RecreateWnd();
}

void TCustomComboBox::SetItemHeight(Integer Value)
{
    if (Value < 1 || Value == FItemHeight)
        return;
    FItemHeight = Value;
    SetBounds(FLeft, FTop, FWidth, FHeight);
    Invalidate();
}

void TCustomComboBox::SetSorted(bool Value)
{
    FSorted = Value;
    FItems->SetSorted(Value);
}

bool TCustomComboBox::DroppedDown() const
{
    return FList && FList->Visible();
}

HWND TCustomComboBox::ListHandle() const
{
    return DroppedDown() && FList->HandleAllocated() ? FList->Handle() : nullptr;
}

void TCustomComboBox::SetDroppedDown(bool Value)
{
    if (Value == DroppedDown() || !FList)
        return;
    TLifeWatch Watch(FLife);
    if (Value) {
        DropDown();
        if (Watch.Freed())
            return;
        FList->Open();
    } else {
        FList->Close();
        CloseUp();
    }
    if (!Watch.Freed())
        Invalidate();
}

void TCustomComboBox::Choose(Integer Index)
{
    TLifeWatch Watch(FLife);
    const bool Changed = Index != FItemIndex;
    SetItemIndex(Index);
    SetDroppedDown(false);
    if (Watch.Freed() || !Changed)
        return;
    Click();
    if (!Watch.Freed())
        Select();
}

void TCustomComboBox::DrawItem(Integer Index, const TRect& Rect, TOwnerDrawState State)
{
    if (const TDrawItemEvent Handler = OnDrawItem) {
        Handler(this, Index, Rect, State);
        return;
    }
    FCanvas->FillRect(Rect);
    if (Index >= 0 && Index < FItems->Count())
        DrawControlText(FCanvas.get(), FItems->Strings(Index), { Rect.Left + 2, Rect.Top, Rect.Right, Rect.Bottom },
            State.Contains(odSelected) ? clHighlightText : clWindowText);
}

void TCustomComboBox::CNDrawItem(TMessage& Message)
{
    auto* Item = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
    if (!Item)
        return;
    const TOwnerDrawState State = OwnerDrawStateFromBits(Item->itemState);
    const TRect R { Item->rcItem.left, Item->rcItem.top, Item->rcItem.right, Item->rcItem.bottom };
    FCanvas->SetHandle(Item->hDC);
    TLifeWatch Watch(FLife);
    FCanvas->Brush()->SetColor(Item->itemID >= 0 && State.Contains(odSelected) ? clHighlight : FColor);
    if (Item->itemID >= 0)
        DrawItem(Item->itemID, R, State);
    else
        FCanvas->FillRect(R);
    if (!Watch.Freed())
        FCanvas->SetHandle(nullptr);
    Message.Result = 1;
}

void TCustomComboBox::PaintItem(HDC Dc, Integer Index, const TRect& R, UINT State)
{
    DRAWITEMSTRUCT Item;
    Item.itemID = Index;
    Item.itemState = State | (FEnabled ? 0 : ODS_DISABLED);
    Item.hwndItem = HandleAllocated() ? Handle() : nullptr;
    Item.hDC = Dc;
    Item.rcItem = { R.Left, R.Top, R.Right, R.Bottom };
    Item.itemData = Index >= 0 && Index < FItems->Count() ? ULONG_PTR(FItems->Objects(Index)) : 0;
    Perform(CN_DRAWITEM, 0, reinterpret_cast<LPARAM>(&Item));
}

TRect TCustomComboBox::ButtonRect()
{
    const TRect C = ClientRect();
    return { C.Right - 1 - GetSystemMetrics(SM_CXVSCROLL), C.Top + 1, C.Right - 1, C.Bottom - 1 };
}

void TCustomComboBox::PaintWindow(HDC Dc)
{
    const TRect C = ClientRect();
    const TColor Frame = Focused() ? clHighlight : clBtnShadow;
    FillDCRect(Dc, { C.Left, C.Top, C.Right, C.Top + 1 }, Frame);
    FillDCRect(Dc, { C.Left, C.Bottom - 1, C.Right, C.Bottom }, Frame);
    FillDCRect(Dc, { C.Left, C.Top, C.Left + 1, C.Bottom }, Frame);
    FillDCRect(Dc, { C.Right - 1, C.Top, C.Right, C.Bottom }, Frame);
    const TRect Button = ButtonRect();
    const TRect Edit { C.Left + 1, C.Top + 1, Button.Left, C.Bottom - 1 };
    UINT State = ODS_COMBOBOXEDIT;
    if (Focused() && !DroppedDown() && FItemIndex >= 0)
        State |= ODS_SELECTED | ODS_FOCUS;
    TLifeWatch Watch(FLife);
    PaintItem(Dc, FItemIndex, Edit, State);
    if (Watch.Freed())
        return;
    FillDCRect(Dc, Button, DroppedDown() ? clBtnShadow : clBtnFace);
    // The arrow: a small triangle pointing down.
    const Integer Cx = Button.Left + Button.Width() / 2, Cy = Button.Top + Button.Height() / 2;
    for (Integer Row = 0; Row < 4; ++Row)
        FillDCRect(Dc, { Cx - 3 + Row, Cy - 2 + Row, Cx + 4 - Row, Cy - 1 + Row }, FEnabled ? clBtnText : clGrayText);
}

void TCustomComboBox::CMEnabledChanged(TMessage& Message)
{
    if (!FEnabled)
        SetDroppedDown(false);
    X_INHERITED_MESSAGE(Message);
}

void TCustomComboBox::Change()
{
    Fire(OnChange);
}

void TCustomComboBox::Select()
{
    if (OnSelect)
        Fire(OnSelect);
    else
        Change();
}

void TCustomComboBox::DropDown()
{
    Fire(OnDropDown);
}

void TCustomComboBox::CloseUp()
{
    Fire(OnCloseUp);
}

bool TCustomComboBox::WantsKey(Word Key)
{
    return Key == VK_UP || Key == VK_DOWN || ((Key == VK_RETURN || Key == VK_ESCAPE) && DroppedDown());
}

void TCustomComboBox::KeyDown(Word& Key, TShiftState Shift)
{
    TLifeWatch Watch(FLife);
    inherited::KeyDown(Key, Shift);
    if (Watch.Freed() || Key == 0)
        return;
    if (DroppedDown()) {
        switch (Key) {
        case VK_UP: FList->SetHot(std::max(FList->Hot - 1, 0)); break;
        case VK_DOWN: FList->SetHot(std::min(FList->Hot + 1, FItems->Count() - 1)); break;
        case VK_RETURN: Choose(FList->Hot >= 0 ? FList->Hot : FItemIndex); break;
        case VK_ESCAPE: SetDroppedDown(false); break;
        case VK_F4: SetDroppedDown(false); break;
        default: return;
        }
        Key = 0;
        return;
    }
    if (Key == VK_F4 || (Key == VK_DOWN && Shift.Contains(ssAlt))) {
        SetDroppedDown(true);
        Key = 0;
        return;
    }
    Integer Next = FItemIndex;
    switch (Key) {
    case VK_UP: Next = std::max(FItemIndex - 1, 0); break;
    case VK_DOWN: Next = std::min(FItemIndex + 1, FItems->Count() - 1); break;
    case VK_HOME: Next = 0; break;
    case VK_END: Next = FItems->Count() - 1; break;
    default: return;
    }
    Key = 0;
    if (Next >= 0 && Next != FItemIndex) {
        SetItemIndex(Next);
        Click();
        if (!Watch.Freed())
            Select();
    }
}

void TCustomComboBox::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    TLifeWatch Watch(FLife);
    inherited::MouseDown(Button, Shift, X, Y);
    if (!Watch.Freed() && Button == mbLeft)
        SetDroppedDown(!DroppedDown());
}
