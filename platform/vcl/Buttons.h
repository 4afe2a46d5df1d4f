// Speed buttons: graphic buttons with a glyph and a caption, as tool bars
// use them. A button with a GroupIndex stays down when clicked; in a group
// of buttons of the same parent and GroupIndex one is down at a time (none
// with AllowAllUp). Flat buttons show their frame only under the pointer
// or while down.
//
//     auto* Bold = New<TSpeedButton>(Form);
//     Bold->SetParent(Form);
//     Bold->SetFlat(true);
//     Bold->Glyph()->LoadFromFile("bold.bmp");   // up, disabled, clicked, down
//     Bold->SetNumGlyphs(4);
//     Bold->SetGroupIndex(1);
//     Bold->SetAllowAllUp(true);
#pragma once
#include "gdi/Bitmap.h"
#include "vcl/Controls.h"
#include "vcl/ImgList.h"

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

class TSpeedButton : public TGraphicControl {
    X_CLASS(TSpeedButton, TGraphicControl)
    X_DECLARE_MESSAGES(TSpeedButton)
public:
    void Create(TComponent* AOwner) override;
    ~TSpeedButton() override;

    bool Flat() const { return FFlat; }
    void SetFlat(bool Value);
    // The glyph: NumGlyphs pictures side by side (up, disabled, clicked,
    // down); its bottom-left pixel's colour is see-through. A change goes
    // through SetGlyph or GlyphChanged.
    TBitmap* Glyph() const { return FGlyph.get(); }
    void SetGlyph(TBitmap* Value);
    void GlyphChanged();
    Integer NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(Integer Value);
    TButtonLayout Layout() const { return FLayout; }
    void SetLayout(TButtonLayout Value);
    // Between the glyph and the caption.
    Integer Spacing() const { return FSpacing; }
    void SetSpacing(Integer Value);
    Integer GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(Integer Value);
    bool Down() const { return FDown; }
    // Only in a group; the others of the group go up.
    void SetDown(bool Value);
    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool Value);
    // What the button shows now.
    TButtonState State() const { return FState; }
    // The pointer is over it.
    bool MouseInControl() const { return FMouseInControl; }

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
    void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;

    void CMMouseEnter(TMessage& Message);
    void CMMouseLeave(TMessage& Message);
    void CMEnabledChanged(TMessage& Message);
    void CMTextChanged(TMessage& Message);

private:
    // The others of the group go up when this one goes down.
    void UpdateExclusive();
    void UpdateState();
    // The glyph's pictures, cut into a list with the see-through colour clear.
    TCustomImageList* GlyphList();

    TOwnedPtr<TBitmap> FGlyph;
    TOwnedPtr<TImageList> FGlyphList;
    bool FGlyphListStale = true;
    Integer FNumGlyphs = 1;
    TButtonLayout FLayout = blGlyphLeft;
    Integer FSpacing = 4;
    Integer FGroupIndex = 0;
    bool FDown = false;
    bool FAllowAllUp = false;
    bool FFlat = false;
    bool FDragging = false;
    bool FMouseInControl = false;
    TButtonState FState = bsUp;
};
