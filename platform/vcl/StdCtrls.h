// Standard controls drawn by this library: the combo box, the label, the
// push button and the check box.
//
// A combo box shows its selected item and drops down a list of its items
// (a window of its own over the others, which takes the pointer while it
// is open). Items hold texts with objects; owner-drawn styles paint each
// item through CN_DRAWITEM, which runs DrawItem (and OnDrawItem):
//
//     auto* Box = New<TComboBox>(Form);
//     Box->SetParent(Form);
//     Box->SetStyle(csOwnerDrawFixed);
//     Box->Items()->AddObject(u"English", Language);
//     Box->OnDrawItem = [](TWinControl* C, Integer Index, TRect R, TOwnerDrawState S) { ... };
//     Box->SetItemIndex(0);
#pragma once
#include "rtl/StringList.h"
#include <algorithm>
#include "vcl/Controls.h"
#include "vcl/ControlsDetail.h"

constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;

// lParam of CN_DRAWITEM: one item (itemID; -1 none) to paint in rcItem of
// hDC, with the ODS_* state bits.
struct DRAWITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    Integer itemID = -1;
    UINT itemAction = 0;
    UINT itemState = 0;
    HWND hwndItem = nullptr;
    HDC hDC = nullptr;
    RECT rcItem;
    ULONG_PTR itemData = 0;
};

enum TOwnerDrawStateItem {
    odSelected,
    odGrayed,
    odDisabled,
    odChecked,
    odFocused,
    odDefault,
    odHotLight,
    odInactive,
    odNoAccel,
    odNoFocusRect,
    odReserved1,
    odReserved2,
    odComboBoxEdit
};
using TOwnerDrawState = TSet<TOwnerDrawStateItem>;
TOwnerDrawState OwnerDrawStateFromBits(UINT ItemState);

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

using TDrawItemEvent = std::function<void(TWinControl* Control, Integer Index, TRect Rect, TOwnerDrawState State)>;

class TComboListWindow;

class TCustomComboBox : public TWinControl {
    X_CLASS(TCustomComboBox, TWinControl)
    X_DECLARE_MESSAGES(TCustomComboBox)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;
    ~TCustomComboBox() override;

    // The items; a change repaints the box.
    TStrings* Items() const { return FItems.get(); }
    Integer ItemIndex() const { return FItemIndex; }
    // -1 selects nothing; an index out of range selects nothing too.
    void SetItemIndex(Integer Value);
    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle Value);
    // The height of an item; the box is as high as an item and its frame.
    Integer ItemHeight() const { return FItemHeight; }
    void SetItemHeight(Integer Value);
    Integer DropDownCount() const { return FDropDownCount; }
    void SetDropDownCount(Integer Value) { FDropDownCount = std::max(Value, 1); }
    bool DroppedDown() const;
    void SetDroppedDown(bool Value);
    bool Sorted() const { return FSorted; }
    void SetSorted(bool Value);
    // The canvas owner-drawn items paint on.
    TCanvas* Canvas() const { return FCanvas.get(); }
    // The drop-down list's window while it is open, else null.
    HWND ListHandle() const;

    void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;

    TNotifyEvent OnChange;
    TNotifyEvent OnSelect;
    TNotifyEvent OnDropDown;
    TNotifyEvent OnCloseUp;
    TDrawItemEvent OnDrawItem;

protected:
    void CreateParams(TCreateParams& Params) override;
    void PaintWindow(HDC Dc) override;
    // Paints item Index in Rect of Canvas (OnDrawItem when set; else the
    // brush and the item's text).
    virtual void DrawItem(Integer Index, const TRect& Rect, TOwnerDrawState State);
    virtual void Change();
    virtual void Select();
    virtual void DropDown();
    virtual void CloseUp();
    void KeyDown(Word& Key, TShiftState Shift) override;
    bool WantsKey(Word Key) override;
    bool PaintsFocus() override { return true; }
    void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;

    void CNDrawItem(TMessage& Message);
    void CMEnabledChanged(TMessage& Message);

private:
    friend class TComboListWindow;
    // Paints item Index through CN_DRAWITEM.
    void PaintItem(HDC Dc, Integer Index, const TRect& R, UINT State);
    // Chosen in the list: selected, told, closed up.
    void Choose(Integer Index);
    bool OwnerDrawn() const { return FStyle == csOwnerDrawFixed || FStyle == csOwnerDrawVariable; }
    TRect ButtonRect();
    void ItemsChanged(TObject* Sender);

    TOwnedPtr<TStringList> FItems;
    TOwnedPtr<TControlCanvas> FCanvas;
    TComboListWindow* FList = nullptr; // a child component, freed with the box
    Integer FItemIndex = -1;
    TComboBoxStyle FStyle = csDropDown;
    Integer FItemHeight = 16;
    Integer FDropDownCount = 8;
    bool FSorted = false;
};

class TComboBox : public TCustomComboBox {
    X_CLASS(TComboBox, TCustomComboBox)
};

enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TEllipsisPosition { epNone, epPathEllipsis, epEndEllipsis, epWordEllipsis };

// A label: its caption drawn on its parent, no window of its own. AutoSize
// (on by default) fits the bounds to the text, keeping the right edge of a
// right-justified label; WordWrap breaks lines at the width; a transparent
// label leaves its parent's background under the text.
//
//     auto* Label = New<TLabel>(Form);
//     Label->SetParent(Form);
//     Label->SetCaption(u"Name:");
class TCustomLabel : public TGraphicControl {
    X_CLASS(TCustomLabel, TGraphicControl)
    X_DECLARE_MESSAGES(TCustomLabel)
public:
    void Create(TComponent* AOwner) override;

    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    TTextLayout Layout() const { return FLayout; }
    void SetLayout(TTextLayout Value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);
    bool Transparent() const { return !FControlStyle.Contains(csOpaque); }
    void SetTransparent(bool Value);
    TEllipsisPosition EllipsisPosition() const { return FEllipsisPosition; }
    void SetEllipsisPosition(TEllipsisPosition Value);
    // Kept for the styles that draw a glow behind text; the system style
    // draws none.
    Integer GlowSize() const { return FGlowSize; }
    void SetGlowSize(Integer Value) { FGlowSize = Value; }
    // The label's own flags for DrawText: alignment, layout, wrapping and
    // ellipsis.
    Cardinal DrawTextFlags() const;

protected:
    void Paint() override;
    // Draws the caption with Flags into Rect; with DT_CALCRECT it measures
    // instead and sets Rect's right and bottom.
    virtual void DoDrawText(TRect& Rect, Cardinal Flags);
    // Fits the bounds to the text while AutoSize is on.
    virtual void AdjustBounds();
    // A canvas in the label's font that measures without drawing.
    TCanvas* MeasureCanvas();

    void CMTextChanged(TMessage& Message);
    void CMFontChanged(TMessage& Message);

    TAlignment FAlignment = taLeftJustify;
    bool FAutoSize = true;
    TTextLayout FLayout = tlTop;
    bool FWordWrap = false;
    TEllipsisPosition FEllipsisPosition = epNone;
    Integer FGlowSize = 0;

private:
    TOwnedPtr<TCanvas> FMeasure;
};

class TLabel : public TCustomLabel {
    X_CLASS(TLabel, TCustomLabel)
};

// The base of the push button and the check box: a windowed control that
// takes the focus by Tab and paints itself on its canvas.
class TButtonControl : public TCustomControl {
    X_CLASS(TButtonControl, TCustomControl)
    X_DECLARE_MESSAGES(TButtonControl)
public:
    void Create(TComponent* AOwner) override;

protected:
    void CMTextChanged(TMessage& Message);
    void CMMouseEnter(TMessage& Message);
    void CMMouseLeave(TMessage& Message);
    void CMEnter(TMessage& Message);
    void CMExit(TMessage& Message);

    // Drawn pressed: the left button is down over it, or Space is held.
    bool FPressed = false;
    bool FHot = false;
};

// A push button. Enter presses the default button (or the focused one),
// Escape the cancel button, through CM_DIALOGKEY from the form; a click
// sets the form's ModalResult when the button has one.
//
//     auto* Ok = New<TButton>(Form);
//     Ok->SetParent(Form);
//     Ok->SetDefault(true);
//     Ok->SetModalResult(mrOk);
class TCustomButton : public TButtonControl {
    X_CLASS(TCustomButton, TButtonControl)
    X_DECLARE_MESSAGES(TCustomButton)
public:
    void Create(TComponent* AOwner) override;

    bool Default() const { return FDefault; }
    void SetDefault(bool Value);
    bool Cancel() const { return FCancel; }
    void SetCancel(bool Value) { FCancel = Value; }
    Integer ModalResult() const { return FModalResult; }
    void SetModalResult(Integer Value) { FModalResult = Value; }
    // The caption breaks into centred lines at the width.
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);
    // Enter presses this button: it has the focus, or it is the default
    // button and no other button has the focus.
    bool Active();

    void Click() override;

protected:
    void Paint() override;
    void KeyDown(Word& Key, TShiftState Shift) override;
    void KeyUp(Word& Key, TShiftState Shift) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
    void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;

    void CMDialogKey(TMessage& Message);

private:
    // A click that lands from a press, or from Space let go.
    void Release(bool Clicked);

    bool FDefault = false;
    bool FCancel = false;
    bool FWordWrap = false;
    Integer FModalResult = 0;
};

class TButton : public TCustomButton {
    X_CLASS(TButton, TCustomButton)
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

// A check box: a box with its caption to the right. A click or Space goes
// to the next state (grayed between checked and unchecked when
// AllowGrayed); a change runs OnClick.
class TCustomCheckBox : public TButtonControl {
    X_CLASS(TCustomCheckBox, TButtonControl)
public:
    void Create(TComponent* AOwner) override;

    TCheckBoxState State() const { return FState; }
    void SetState(TCheckBoxState Value);
    bool Checked() const { return FState == cbChecked; }
    void SetChecked(bool Value) { SetState(Value ? cbChecked : cbUnchecked); }
    bool AllowGrayed() const { return FAllowGrayed; }
    void SetAllowGrayed(bool Value) { FAllowGrayed = Value; }
    TAlignment Alignment() const { return FAlignment; }
    // taLeftJustify puts the box right of the caption.
    void SetAlignment(TAlignment Value);

protected:
    // The next state, as a click takes it.
    virtual void Toggle();
    void Paint() override;
    void KeyDown(Word& Key, TShiftState Shift) override;
    void KeyUp(Word& Key, TShiftState Shift) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;

private:
    TCheckBoxState FState = cbUnchecked;
    bool FAllowGrayed = false;
    TAlignment FAlignment = taRightJustify;
};

class TCheckBox : public TCustomCheckBox {
    X_CLASS(TCheckBox, TCustomCheckBox)
};

using TScrollEvent = std::function<void(TObject* Sender, TScrollCode ScrollCode, Integer& ScrollPos)>;

// A scroll bar control: arrows, a track and a thumb, horizontal or
// vertical. Position runs from Min to Max less the page; a press on an
// arrow moves it by SmallChange, beside the thumb by LargeChange, and a
// drag follows the thumb. Every move runs Scroll (OnScroll, which may
// change the position it leads to), then OnChange when the position
// changed.
class TScrollBar : public TCustomControl {
    X_CLASS(TScrollBar, TCustomControl)
public:
    void Create(TComponent* AOwner) override;

    TScrollBarKind Kind() const { return FKind; }
    void SetKind(TScrollBarKind Value);
    Integer Min() const { return FMin; }
    Integer Max() const { return FMax; }
    Integer Position() const { return FMin + FBar.Position(); }
    Integer PageSize() const { return FPageSize; }
    void SetMin(Integer Value) { SetParams(Position(), Value, FMax); }
    void SetMax(Integer Value) { SetParams(Position(), FMin, Value); }
    void SetPageSize(Integer Value);
    // Clamped to the range; OnChange when it moved.
    void SetPosition(Integer Value);
    // Raises EInvalidOperation when AMax is below AMin.
    void SetParams(Integer APosition, Integer AMin, Integer AMax);
    Integer SmallChange() const { return FSmallChange; }
    void SetSmallChange(Integer Value);
    Integer LargeChange() const { return FLargeChange; }
    void SetLargeChange(Integer Value) { FLargeChange = std::max(Value, 1); }

    TScrollEvent OnScroll;
    TNotifyEvent OnChange;

protected:
    virtual void Scroll(TScrollCode ScrollCode, Integer& ScrollPos);
    virtual void Change();
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
    void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
    void KeyDown(Word& Key, TShiftState Shift) override;
    bool WantsKey(Word Key) override;
    // A scroll code and the position it leads to: Scroll, then the position.
    void DoScroll(TScrollCode Code, Integer Pos);
    // Where an arrow or page scroll code leads from the position now.
    Integer StepTarget(Integer Code) const;

private:
    void UpdateRange();

    TStripScrollBar FBar { true };
    TScrollBarKind FKind = sbHorizontal;
    Integer FMin = 0;
    Integer FMax = 100;
    Integer FPageSize = 0;
    Integer FSmallChange = 1;
    Integer FLargeChange = 1;
};
