// The stored property groups of skin data: a colour per paint state,
// inactive and active colours (with an opacity for forms), picture indexes
// per state into one images box, and one images box per state.
//
// Image data binds its boxes by name from the application skin's boxes and
// lets go of a box that is freed:
//
//     Glyphs->SetImagesName(u"Close");        // imgHot <- box "Hot_Close" ...
//     TXSkinImagesBox* Hot = Glyphs->Images(cstHot);
//
// Box references are bound through the names; the stored forms keep the
// names and indexes.
#pragma once
#include "core/XCore.Classes.h"
#include "gdi/Colors.h"
#include "graphics/XControls.h"
#include "graphics/XSpark.Skin.Data.h"

// A colour for each paint state cstDis..cstHotMix, clBtnFace after
// defaults.
class TXColorData : public TXPersistent {
    X_CLASS(TXColorData, TXPersistent)
public:
    void SetDefaults() override;
    // From another colour data, then the inherited assignment.
    bool AssignFrom(TPersistent* Source) override;

    // cstGroupDis has the colour of cstDis.
    TColor Colors(TXPaintState State) const { return FColors[Slot(State)]; }
    void SetColors(TXPaintState State, TColor Value) { FColors[Slot(State)] = Value; }
    template<TXPaintState S>
    TColor Col() const
    {
        return Colors(S);
    }
    template<TXPaintState S>
    void SetCol(TColor Value)
    {
        SetColors(S, Value);
    }

private:
    static size_t Slot(TXPaintState State) { return State == cstGroupDis || State > cstHotMix ? 0 : State - 1; }
    std::array<TColor, 12> FColors {};
};

// Inactive (colOff) and active (colOn) colours, clBtnFace after defaults.
class TXActiveColorData : public TXPersistent {
    X_CLASS(TXActiveColorData, TXPersistent)
public:
    void SetDefaults() override;
    bool AssignFrom(TPersistent* Source) override;

    TColor colOff() const { return FColors[0]; }
    void SetcolOff(TColor Value) { FColors[0] = Value; }
    TColor colOn() const { return FColors[1]; }
    void SetcolOn(TColor Value) { FColors[1] = Value; }
    // The active colour when Active, else the inactive one.
    TColor Colors(bool Active) const { return FColors[Active ? 1 : 0]; }

private:
    std::array<TColor, 2> FColors {};
};

// A form's colours and its opacity (255 after defaults).
class TXFormColorData : public TXActiveColorData {
    X_CLASS(TXFormColorData, TXActiveColorData)
public:
    void SetDefaults() override;
    bool AssignFrom(TPersistent* Source) override;

    Byte Alpha() const { return FAlpha; }
    void SetAlpha(Byte Value) { FAlpha = Value; }

private:
    Byte FAlpha = 255;
};

// The images box of a skin (bound by ImagesName from the application
// skin's boxes) and a picture index into it per paint state; imgRgn is the
// picture whose shape cuts the control's region (-1: none).
class TXImageData : public TXComponent {
    X_CLASS(TXImageData, TXComponent)
public:
    void Create(TComponent* AOwner) override;
    // Indexes, names and boxes from another image data of this class.
    bool AssignFrom(TPersistent* Source) override;

    TXSkinImagesBox* Images() const { return FImages; }
    void SetImages(TXSkinImagesBox* Value) { Bind(FImages, Value); }
    const String& ImagesName() const { return FImagesName; }
    // A name that is not empty binds Images to the skin's box of that
    // name, or to nothing when there is none.
    void SetImagesName(const String& Value);

    // cstGroupDis has the index of cstDis.
    Integer ImageIndex(TXPaintState State) const { return FIndexes[Slot(State)]; }
    void SetImageIndex(TXPaintState State, Integer Value) { FIndexes[Slot(State)] = Value; }
    const TXStateImageIndexes& ImageIndexes() const { return FIndexes; }
    template<TXPaintState S>
    Integer Img() const
    {
        return ImageIndex(S);
    }
    template<TXPaintState S>
    void SetImg(Integer Value)
    {
        SetImageIndex(S, Value);
    }
    Integer imgRgn() const { return FRgn; }
    void SetimgRgn(Integer Value) { FRgn = Value; }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // Points Slot at Box, moving the free notification.
    void Bind(TXSkinImagesBox*& Slot, TXSkinImagesBox* Box);

private:
    static size_t Slot(TXPaintState State) { return State == cstGroupDis || State > cstHotMix ? 0 : State - 1; }
    TXSkinImagesBox* FImages = nullptr;
    String FImagesName;
    TXStateImageIndexes FIndexes {};
    Integer FRgn = -1;
};

// Image data with a second box for the glyphs laid over the pictures.
class TXLayerGlyphImageData : public TXImageData {
    X_CLASS(TXLayerGlyphImageData, TXImageData)
public:
    bool AssignFrom(TPersistent* Source) override;

    TXSkinImagesBox* GlyphImages() const { return FGlyphImages; }
    void SetGlyphImages(TXSkinImagesBox* Value) { Bind(FGlyphImages, Value); }
    const String& GlyphImagesName() const { return FGlyphImagesName; }
    void SetGlyphImagesName(const String& Value);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TXSkinImagesBox* FGlyphImages = nullptr;
    String FGlyphImagesName;
};

// One images box per paint state, bound by the state's prefix and
// ImagesName ("Hot_" + name ...) from the application skin's boxes.
class TXGlyphImageData : public TXComponent {
    X_CLASS(TXGlyphImageData, TXComponent)
public:
    bool AssignFrom(TPersistent* Source) override;

    // cstGroupDis has the box of cstDis.
    TXSkinImagesBox* Images(TXPaintState State) const { return FBoxes[Slot(State)]; }
    void SetImages(TXPaintState State, TXSkinImagesBox* Value);
    const String& ImagesName() const { return FImagesName; }
    // A name that is not empty binds every state's box; a state without a
    // box of its name is left empty.
    void SetImagesName(const String& Value);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    static size_t Slot(TXPaintState State) { return State == cstGroupDis || State > cstHotMix ? 0 : State - 1; }
    std::array<TXSkinImagesBox*, 12> FBoxes {};
    String FImagesName;
};
