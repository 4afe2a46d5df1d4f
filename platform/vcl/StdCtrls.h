// Standard controls drawn by this library: the combo box.
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
