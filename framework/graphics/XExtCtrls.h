// The skinned panel most framework panels derive from: bevel lines or a
// panel frame in shades of its colour, a caption inside TitleBorder, and
// the parent's background when Transparent.
//
//     auto* Bar = New<TXSkinPanel>(Form);
//     Bar->SetParent(Form);
//     Bar->SetBevelShape(bsBottomLine);
//     Bar->TitleBorder()->SetLeft(24);        // room for a check box
//
// The region builders cut a skinned window's region out of its visible
// children and its border strips (TXBorders::CreateBordersRegion).
#pragma once
#include "graphics/XControls.h"
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

// Answers WM_ERASEBKGND for a see-through panel: the parent erases, and
// paints its windowless controls, into the panel's context.
void PaintParentBackground(TWinControl* Panel, TMessage& Message);
