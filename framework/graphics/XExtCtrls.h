// The skinned panel most framework panels derive from: bevel lines or a
// panel frame in shades of its colour, a caption inside TitleBorder, and
// the parent's background when Transparent.
//
//     auto* Bar = New<TXSkinPanel>(Form);
//     Bar->SetParent(Form);
//     Bar->SetBevelShape(bsBottomLine);
//     Bar->TitleBorder()->SetLeft(24);        // room for a check box
//
// Desktop panels are small windows over the wallpaper that turn a hit
// area of the composed page into a clickable spot: never activated, never
// painted, owned by one hidden window (DesktopPanelOwner).
//
//     auto* Spot = New<TXHitDesktopPanel>(nullptr);
//     Spot->SetHit(Area, Area->Rect());       // bounds, hint and cursor
//     Spot->OnCommand = Gear->PostCommandEvent();
//     Spot->SetVisible(true);                 // a click: OnCommand 50 ms later
//
// The region builders cut a skinned window's region out of its visible
// children and its border strips (TXBorders::CreateBordersRegion).
#pragma once
#include "core/XEngine.Gears.h"
#include "graphics/XControls.h"
#include "graphics/XSpark.VCL.Lists.h"
#include "graphics/XSpark.VCL.Panels.h"

// How the window region builder treats a skin panel: by its children, as
// its bounds, or as its bounds with rounded corners when the region is
// for an alpha window.
enum TXControlRgnType { rgnControls, rgnRect, rgnAlphaRect };
X_ENUM_INFO(TXControlRgnType, rgnControls, rgnRect, rgnAlphaRect)

class TXSkinPanel : public TXPanel {
    X_CLASS(TXSkinPanel, TXPanel)
    X_DECLARE_MESSAGES(TXSkinPanel)
public:
    void Create(TComponent* AOwner) override;

    TXControlRgnType RgnType() const { return FRgnType; }
    void SetRgnType(TXControlRgnType Value) { FRgnType = Value; }
    TBevelCut BevelStyle() const { return FBevelStyle; }
    void SetBevelStyle(TBevelCut Value);
    TBevelShape BevelShape() const { return FBevelShape; }
    void SetBevelShape(TBevelShape Value);
    bool Transparent() const { return FTransparent; }
    // Ignored while the panel is being destroyed.
    void SetTransparent(bool Value);
    // The caption's margins inside the client area.
    TXBorders* TitleBorder() const { return FTitleBorder.get(); }
    void SetTitleBorder(TXBorders* Value) { FTitleBorder->Assign(Value); }

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
    bool Styled() const;

    void WMEraseBkgnd(TMessage& Message);
    void XMSkinChanged(TMessage& Message);

private:
    void PaintBevel();
    void PaintCaption();

    TXControlRgnType FRgnType = rgnControls;
    TBevelCut FBevelStyle = bvLowered;
    TBevelShape FBevelShape = bsBox;
    bool FTransparent = false;
    TOwnedPtr<TXBorders> FTitleBorder;
};

// What the region builder asks of a command frame of the forms layer:
// whether the frame takes its whole bounds (a caption frame does) or only
// its visible children.
class IXCommandFrameRegion {
public:
    virtual bool FullRegion() const = 0;

protected:
    ~IXCommandFrameRegion() = default;
};

// The region of Container's visible children (spacers left out), in
// Container's client coordinates, or in its parent's with Offset; Alpha
// asks for rounded corners where the controls want them. The caller
// deletes the region.
HRGN BuildControlsRegion(TWinControl* Container, bool Alpha, bool Offset);

// Answers WM_ERASEBKGND for a see-through panel: the parent erases, and
// paints its windowless controls, into the panel's context.
void PaintParentBackground(TWinControl* Panel, TMessage& Message);

// A window over the wallpaper: top-level on the desktop, transparent to
// painting, never activated. A modal form disables every window of the
// program; AutoEnable gives this one its input back 100 ms later.
class TXDesktopPanel : public TWinControl {
    X_CLASS(TXDesktopPanel, TWinControl)
    X_DECLARE_MESSAGES(TXDesktopPanel)
public:
    void Create(TComponent* AOwner) override;

    bool AutoEnable() const { return FAutoEnable; }
    void SetAutoEnable(bool Value) { FAutoEnable = Value; }

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;

    void WMEraseBkgnd(TMessage& Message);
    void WMCancelMode(TMessage& Message);

private:
    void ReenableWindow(TObject* Sender);

    bool FAutoEnable = true;
};

// A desktop panel for one hit item: it keeps its own copy of the item.
class TXCustomHitDesktopPanel : public TXDesktopPanel {
    X_CLASS(TXCustomHitDesktopPanel, TXDesktopPanel)
public:
    void Create(TComponent* AOwner) override;

    // Copies Item (nothing for a null one), takes Rect as the bounds, and
    // the item's hint and cursor.
    virtual void SetHit(TXHitItem* Item, const TRect& Rect);

    TXHitItem* HitItem() const { return FHitItem.get(); }
    const TRect& HitRect() const { return FHitRect; }

protected:
    // The panel's own item, made with the panel.
    virtual TXHitItem* NewHitItem() { return New<TXHitItem>(nullptr); }

private:
    TOwnedPtr<TXHitItem> FHitItem;
    TRect FHitRect {};
};

// A click runs the item's own action (a program, a mail, a web page);
// any other kind reaches OnCommand 50 ms later from the message loop.
class TXHitDesktopPanel : public TXCustomHitDesktopPanel {
    X_CLASS(TXHitDesktopPanel, TXCustomHitDesktopPanel)
public:
    void Click() override;

    TXCommandEvent OnCommand;
};

// A hit area with sub-areas: while the mouse is over the panel the pop-up
// control shows them, next to the cursor and inside the monitor's work
// area. The panel owns the pop-up.
class TXHotDesktopPanel : public TXCustomHitDesktopPanel {
    X_CLASS(TXHotDesktopPanel, TXCustomHitDesktopPanel)
    X_DECLARE_MESSAGES(TXHotDesktopPanel)
public:
    TXHitImageAreasItem* HitAreasItem() const { return static_cast<TXHitImageAreasItem*>(HitItem()); }
    TControl* PopupControl() const { return FPopupControl; }
    void SetPopupControl(TControl* Value);

protected:
    TXHitItem* NewHitItem() override { return New<TXHitImageAreasItem>(nullptr); }
    void Notification(TComponent* AComponent, TOperation Operation) override;

    void CMMouseEnter(TMessage& Message);

private:
    void ShowPopup();

    TControl* FPopupControl = nullptr;
};

// The display adapters of the desktop, one line each.
class TXMonitorsComboBox : public TCustomComboBox {
    X_CLASS(TXMonitorsComboBox, TCustomComboBox)
    X_DECLARE_MESSAGES(TXMonitorsComboBox)
public:
    void Create(TComponent* AOwner) override;
    // The lines again; the selected line stays unless the list got
    // shorter than it (then the first).
    void RefillList();

protected:
    void CreateWnd() override;

    void XMRefill(TMessage& Message);
};

// Asks a monitors combo box to read the adapters again.
constexpr UINT XM_REFILLMONITORS = WM_APP + 201;

// A combo box's ItemIndex, 0 when none is selected.
Integer GetItemIndexOrZero(TCustomComboBox* ComboBox);

// The hidden window that owns every desktop panel; null outside the
// unit's lifetime.
TXMessageGear* DesktopPanelOwner();
// The group panels' roll-up ("XUARROWB") and roll-down ("XDARROWB")
// glyphs: 12 x 12, 32 bits with alpha; null outside the unit's lifetime.
TBitmap* XUArrowBitmap();
TBitmap* XDArrowBitmap();
