// Image controls that act: an image that sends its hit area's command
// when clicked, and glyphs painted by a shared glyph group and its skin
// data, with toggle and radio behaviour over the paint states.
//
//     auto* Next = New<TXHitImage>(Strip);
//     Next->SetHitArea(Area);                  // cursor, hint, picture, command
//     Next->OnCommand = Gear->CommandEvent();  // 50 ms after the click
//
//     auto* Group = New<TXGlyphGroup>(Form);   // finds "GlyphGroup" in the form's skin
//     Group->SetExclusive(true);               // radio buttons
//     auto* Bold = New<TXGlyph>(Form);
//     Bold->SetGroup(Group);
//     Bold->SetImageName(u"Bold");             // a glyph image of the skin data
//     Bold->SetParent(Form);
//
// The group finds its skin data again whenever the skin changes; a glyph
// looks its image index up once after each change of its group or of the
// group's skin data.
#pragma once
#include "core/XCore.Collections.h"
#include "core/XEngine.Gears.h"
#include "graphics/XControls.h"
#include "graphics/XSkin.h"
#include "graphics/XSpark.VCL.Images.h"
#include "graphics/XSkinData.h"
#include "graphics/XSpark.VCL.Lists.h"
#include "vcl/ImgList.h"

class TXGlyph;

// An image that carries a hit area (its own copy, picture included) and
// hands the area's command on when it is clicked.
class TXHitImage : public TXImage {
    X_CLASS(TXHitImage, TXImage)
public:
    void Create(TComponent* AOwner) override;

    TXHitImageAreaItem* HitItem() const { return FHitItem.get(); }
    // Takes the area's cursor and hint, copies it and shows its picture.
    void SetHitArea(TXHitAreaItem* Area);
    // OnClick; then, unless the item handles its own kind, OnCommand after
    // 50 ms with the monitor under the cursor.
    void Click() override;

    TXCommandEvent OnCommand;

private:
    TOwnedPtr<TXHitImageAreaItem> FHitItem;
};

// A glyph's check state: one of the paint states cstOff, cstOn and cstMix.
using TXButtonState = TXPaintState;

// How a glyph group paints: PaintGlyph draws the glyph of a state.
class TXCustomGlyphGroupSkinData : public TXSkinData {
    X_CLASS(TXCustomGlyphGroupSkinData, TXSkinData)
public:
    // The index of the glyph image of that display name (ignoring case);
    // -1 when there is none.
    virtual Integer IndexOfImage(const String& Name) { return -1; }
};

// One images box per paint state; the glyph is the image at its index in
// the state's box.
class TXGlyphGroupSkinData : public TXCustomGlyphGroupSkinData {
    X_CLASS(TXGlyphGroupSkinData, TXCustomGlyphGroupSkinData)
public:
    void Create(TComponent* AOwner) override;
    TXGlyphImageData* ImageData() const { return FImageData.get(); }

    void PaintGlyph(TControl* Control, TCanvas* Canvas, TXPaintState State, Integer GlyphIndex,
        const TRect& Rect) override;
    // Looked up in the box of cstOff.
    Integer IndexOfImage(const String& Name) override;

private:
    TOwnedPtr<TXGlyphImageData> FImageData;
};

// A background picture per state (its index in the background box) under
// the glyph, which is drawn half transparent on a disabled control.
class TXLayerGlyphGroupSkinData : public TXCustomGlyphGroupSkinData {
    X_CLASS(TXLayerGlyphGroupSkinData, TXCustomGlyphGroupSkinData)
public:
    void Create(TComponent* AOwner) override;
    TXLayerGlyphImageData* ImageData() const { return FImageData.get(); }

    void PaintGlyph(TControl* Control, TCanvas* Canvas, TXPaintState State, Integer GlyphIndex,
        const TRect& Rect) override;
    // Looked up in the glyph box.
    Integer IndexOfImage(const String& Name) override;

private:
    TOwnedPtr<TXLayerGlyphImageData> FImageData;
};

// Layered glyph buttons with a caption in the state's text colour.
class TXLayerGlyphButtonGroupSkinData : public TXLayerGlyphGroupSkinData {
    X_CLASS(TXLayerGlyphButtonGroupSkinData, TXLayerGlyphGroupSkinData)
public:
    void Create(TComponent* AOwner) override;
    TXColorData* TextColor() const { return FTextColor.get(); }

    // Centred, right to left when the control reads so.
    void PaintText(TControl* Control, TCanvas* Canvas, TXPaintState State, const String& Text,
        const TRect& Rect) override;

private:
    TOwnedPtr<TXColorData> FTextColor;
};

// The glyphs painted alike: their size, their skin data and whether a
// click toggles them or makes them the one glyph on.
class TXGlyphGroup : public TXSkinComponent {
    X_CLASS(TXGlyphGroup, TXSkinComponent)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;

    TXCustomGlyphGroupSkinData* GlyphSkinData() const;
    // Binds Value; every member looks its image up again and repaints.
    void SetSkinData(TXCustomGlyphGroupSkinData* Value);
    Integer Width() const { return FWidth; }
    void SetWidth(Integer Value) { FWidth = Value; }
    Integer Height() const { return FHeight; }
    void SetHeight(Integer Value) { FHeight = Value; }
    bool Toggle() const { return FToggle; }
    void SetToggle(bool Value) { FToggle = Value; }
    bool Exclusive() const { return FExclusive; }
    void SetExclusive(bool Value) { FExclusive = Value; }

    // The members, in the order they joined (not owned; freed ones leave).
    TXComponentList<TXGlyph>* Members() const { return FMembers.get(); }
    void AddMember(TXGlyph* Glyph);
    void RemoveMember(TXGlyph* Glyph);

    // The skin data of SkinDataName in the skin of the owner form; none
    // when the name is empty leaves the binding as it is.
    void ApplySkin() override;
    void SkinDataChanged() override;
    Integer IndexOfImage(const String& Name);
    // Every other member goes cstOff.
    void UncheckOthers(TXGlyph* Glyph);

private:
    TOwnedPtr<TXComponentList<TXGlyph>> FMembers;
    Integer FWidth = 24;
    Integer FHeight = 24;
    bool FToggle = false;
    bool FExclusive = false;
};

class TXGlyph : public TXSkinGraphicControl {
    X_CLASS(TXGlyph, TXSkinGraphicControl)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;

    TXButtonState CheckState() const { return FCheckState; }
    // An Exclusive group's other members go off before this one goes on.
    void SetCheckState(TXButtonState Value);
    TXGlyphGroup* Group() const { return FGroup; }
    void SetGroup(TXGlyphGroup* Value);
    const String& ImageName() const { return FImageName; }
    void SetImageName(const String& Value);
    // The glyph image's index in the group's skin data; -1 while not looked
    // up or not found.
    Integer ImageIndex() const { return FImageIndex; }
    // Forgets the image index; the next paint looks it up again.
    void ResetImageIndex() { FImageIndex = -1; }

    // Exclusive: on; Toggle: off and mixed go on, on goes off; then OnClick.
    void Click() override;

protected:
    void Paint() override;
    void DoMouseEnter() override;
    void DoMouseLeave() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TXButtonState FCheckState = cstOff;
    TXGlyphGroup* FGroup = nullptr;
    String FImageName;
    Integer FImageIndex = -1;
};

// A collection of pictures shown as icons in the list's icon view: one
// item per picture, its Data the picture item.
class TXCustomImageListView : public TXCustomListView {
    X_CLASS(TXCustomImageListView, TXCustomListView)
public:
    void Create(TComponent* AOwner) override;

    TCustomImageList* Images() const { return FImages; }
    TXBorders* ImageBorder() const { return FImageBorder.get(); }
    Integer ImageWidth() const { return FImageWidth; }
    Integer ImageHeight() const { return FImageHeight; }
    // The icon size; the shown collection is filled in again.
    void SetImageSize(Integer Width, Integer Height);

    // Borrowed: whoever frees it clears the view first (SetImages(nullptr)).
    TCollection* ImageCollection() const { return FCollection; }
    // Stores the collection and fills the view from it: icons give their
    // best-fitting entry, other pictures a thumbnail; a picture that does
    // not draw shows an empty icon.
    void SetImages(TCollection* Collection);

private:
    // The icon of one picture, ImageWidth x ImageHeight, 32-bit.
    TOwnedPtr<TBitmap> IconOf(TXImageItem* Item) const;

    TCustomImageList* FImages = nullptr;
    TOwnedPtr<TXBorders> FImageBorder;
    Integer FImageWidth = 32;
    Integer FImageHeight = 32;
    TCollection* FCollection = nullptr;
};

class TXImageListView : public TXCustomImageListView {
    X_CLASS(TXImageListView, TXCustomImageListView)
};
