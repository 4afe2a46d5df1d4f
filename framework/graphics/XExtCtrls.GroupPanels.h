// Group panels: collapsible sections under a caption bar. A click on the
// bar selects the group, a double click (or the bar's arrow button) rolls
// it up to the bar or down to its full height, and the bar's check box
// checks it. The image panel controls stack them in a scroll box.
//
//     auto* Group = New<TXGroupPanel>(Box);
//     Group->SetParent(Box);
//     Group->SetAlign(alTop);
//     Group->SetContentHeight(Rows * RowHeight);
//     Group->OnRollUpChanged = [](TObject* Sender) { ... };
#pragma once
#include "graphics/XExtCtrls.h"
#include "graphics/XSpark.VCL.Buttons.h"
#include "vcl/Buttons.h"

class TXCustomGroupPanel;

// The caption bar of a group panel; its owner is the group panel.
class TXCustomGroupToolPanel : public TXSkinPanel {
    X_CLASS(TXCustomGroupToolPanel, TXSkinPanel)
public:
    void Create(TComponent* AOwner) override;

    // The owner's RollUpState turned over.
    virtual void ToggleRollUp();
    virtual void CheckBoxClick() { }
    // The owner selected.
    virtual void Select();
    virtual void SetCheckState(bool Value) { }
    virtual void SetCheckBoxVisible(bool Value) { }
    virtual void SetRolledUp(bool Value) { }
    // The bar's colour and its font's.
    virtual void SetColors(TColor AColor, TColor FontColor);

protected:
    // The group panel that owns the bar; null for another owner.
    TXCustomGroupPanel* Group() const;
};

// The bar with a check box on the left and a flat roll-up button on the
// right, its caption between them.
class TXGroupToolPanel : public TXCustomGroupToolPanel {
    X_CLASS(TXGroupToolPanel, TXCustomGroupToolPanel)
public:
    void Create(TComponent* AOwner) override;
    void Loaded() override;

    void CheckBoxClick() override;
    void SetCheckState(bool Value) override;
    void SetCheckBoxVisible(bool Value) override;
    // The arrow down when rolled up, else up.
    void SetRolledUp(bool Value) override;

    TSpeedButton* RollUpButton() const { return FRollUpButton; }
    TXCheckBox* CheckBox() const { return FCheckBox; }

protected:
    // The button stays at the right edge.
    void Resize() override;

private:
    void PlaceRollUpButton();

    // Both are components and children of the bar.
    TSpeedButton* FRollUpButton = nullptr;
    TXCheckBox* FCheckBox = nullptr;
};

// A section: unrolled, it is FullHeight high; rolled up, only its caption
// bar shows and FullHeight is remembered.
class TXCustomGroupPanel : public TPanel {
    X_CLASS(TXCustomGroupPanel, TPanel)
public:
    Integer FullHeight() const { return FFullHeight; }
    // Rolled up, only the remembered height changes.
    void SetFullHeight(Integer Value);
    // The height of the content below the caption bar.
    void SetContentHeight(Integer Value);
    bool Checked() const { return FChecked; }
    void SetChecked(bool Value);
    bool ShowCheckBox() const { return FShowCheckBox; }
    void SetShowCheckBox(bool Value);
    bool RollUpState() const { return FRollUpState; }
    void SetRollUpState(bool Value);
    bool Selected() const { return FSelected; }
    void SetSelected(bool Value);
    TXCustomGroupToolPanel* CaptionBar() const { return FCaptionBar; }

    TNotifyEvent OnSelect;
    TNotifyEvent OnDeselect;
    TNotifyEvent OnCheckChanged;
    TNotifyEvent OnRollUpChanged;

protected:
    // Takes Bar (a component of this panel) as the caption bar.
    void SetCaptionBar(TXCustomGroupToolPanel* Bar);
    Integer CaptionBarHeight() const;
    // At least the bar's height; the bar as wide as the panel.
    void Resize() override;

private:
    Integer FFullHeight = 0;
    bool FChecked = false;
    bool FShowCheckBox = false;
    bool FRollUpState = false;
    bool FSelected = false;
    TXCustomGroupToolPanel* FCaptionBar = nullptr;
};

class TXGroupPanel : public TXCustomGroupPanel {
    X_CLASS(TXGroupPanel, TXCustomGroupPanel)
public:
    void Create(TComponent* AOwner) override;
    TXGroupToolPanel* ToolPanel() const { return static_cast<TXGroupToolPanel*>(CaptionBar()); }
};

// Opaque, without bevels, its caption bar opaque too.
class TXIGroupPanel : public TXGroupPanel {
    X_CLASS(TXIGroupPanel, TXGroupPanel)
public:
    void Create(TComponent* AOwner) override;
};

// A group without a visible header: its caption bar is 0 high.
class TXISingleGroupPanel : public TXGroupPanel {
    X_CLASS(TXISingleGroupPanel, TXGroupPanel)
public:
    void Create(TComponent* AOwner) override;
};

// The roll-up button's glyphs: the arrow down ("XDARROWB") or up
// ("XUARROWB"); their bottom-left pixel's colour is see-through.
TBitmap* RollUpArrowGlyph(bool Down);
