// The item kinds directly above the design item: the group (items sharing
// an id), the invisible space item other items anchor to, the shadow item
// (a drop shadow offset) and the border item (background fill or picture,
// a border in a flat or blended style, and the painted shadow).
#pragma once
#include "calendar_designs/XDesign.Items.h"
#include "graphics/XMedia.Images.h"
#include "graphics/XMedia.Types.h"

enum TXDShadowStyle { ssFlat, ssBlur };
X_ENUM_INFO(TXDShadowStyle, ssFlat, ssBlur)
enum TXDBorderStyle {
    bsFlat,
    bsLowered,
    bsRaised,
    bsGradientLowered,
    bsGradientFlat,
    bsGradientRaised,
    bsBlendLowered,
    bsBlendRaised
};
X_ENUM_INFO(TXDBorderStyle, bsFlat, bsLowered, bsRaised, bsGradientLowered, bsGradientFlat, bsGradientRaised,
    bsBlendLowered, bsBlendRaised)

// A stored length in pixels; a positive or negative one that rounds to 0
// still gives one pixel (towards its sign for offsets).
Integer AtLeastOnePixel(Integer DPI, Integer Value);

class TXDGroupItem : public TXDesignItem {
    X_CLASS(TXDGroupItem, TXDesignItem)
public:
    void Init() override;
    void BeforeDestruction() override;

    Integer GID() const { return FGID; }
    void SetGID(Integer Value) { FGID = Value; }
    TXDesignList* Members() const { return FMembers.get(); }
    // Every page item whose GroupID is GID, once each, in page order.
    void RebuildMembers();

protected:
    void CopyFrom(TXDesignItem* Source) override;

private:
    Integer FGID = 0;
    TOwnedPtr<TXDesignList> FMembers;
};

class TXDSpaceItem : public TXDesignItem {
    X_CLASS(TXDSpaceItem, TXDesignItem)
public:
    void Init() override;
};

class TXDShadowItem : public TXDesignItem {
    X_CLASS(TXDShadowItem, TXDesignItem)
public:
    void Init() override;
    void SetIntProp(Integer Index, Integer Value) override;
    Integer GetIntProp(Integer Index) const override;
    void SetColorProp(Integer Index, TColor Value) override;
    TColor GetColorProp(Integer Index) const override;
    void SetOuterWidth(Integer Value) override;
    Integer GetOuterWidth() const override;
    void SetOuterHeight(Integer Value) override;
    Integer GetOuterHeight() const override;
    void ResetSize() override;
    void Scale(Integer DPI, Integer ImageDPI) override;

    TXDShadowStyle ShadowStyle() const { return FShadowStyle; }
    void SetShadowStyle(TXDShadowStyle Value);
    TColor ShadowColor() const { return FShadowColor; }
    TXGradientObject* ShadowGradient() const { return FShadowGradient.get(); }
    Integer ShadowDX() const { return FShadowDX; }
    Integer ShadowDY() const { return FShadowDY; }

    Integer PixShadowDX = 0, PixShadowDY = 0;

protected:
    void CopyFrom(TXDesignItem* Source) override;
    // Twice the border width for border items, added to the outer size.
    virtual Integer FrameExtent() const { return 0; }
    // The pixel offsets from the stored ones; 1 where a non-zero offset
    // rounds to 0.
    void ScaleShadowOffsets(Integer DPI);

    TXDShadowStyle FShadowStyle = ssFlat;
    TColor FShadowColor = 0;
    Integer FShadowDX = 0, FShadowDY = 0;
    TOwnedPtr<TXGradientObject> FShadowGradient;
    // The blur margin is added once per Scale.
    bool FBlurPending = false;
};

class TXDBorderItem : public TXDShadowItem {
    X_CLASS(TXDBorderItem, TXDShadowItem)
public:
    void Init() override;
    void SetIntProp(Integer Index, Integer Value) override;
    Integer GetIntProp(Integer Index) const override;
    void SetColorProp(Integer Index, TColor Value) override;
    TColor GetColorProp(Integer Index) const override;
    void ResetSize() override;
    void Scale(Integer DPI, Integer ImageDPI) override;
    void PaintBackground(TBitmap* Bitmap, const TRect& PageRect, Cardinal Flags, TColor Key) override;
    void Rescale(double XFactor, double YFactor) override;
    bool HasNoBackground() const override { return FBgColor == clNone; }

    TXDBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TXDBorderStyle Value);
    TColor BgColor() const { return FBgColor; }
    TXGradientObject* BgGradient() const { return FBgGradient.get(); }
    TXImagePosition ImagePosition() const { return FImagePosition; }
    void SetImagePosition(TXImagePosition Value);
    TXImageObject* Image() const { return FImage.get(); }
    TColor BorderColor() const { return FBorderColor; }
    TXGradientObject* BorderGradient() const { return FBorderGradient.get(); }
    Integer BorderWidth() const { return FBorderWidth; }

    Integer PixBorderWidth = 0, PixImageWidth = 0, PixImageHeight = 0;

    // The painting steps the picture kinds share.
    void PaintFillAndPicture(TBitmap* Bitmap, const TRect& R, Cardinal Flags, TColor Key);
    void PaintShadow(TBitmap* Bitmap, const TRect& R);
    void PaintBorder(TBitmap* Bitmap, const TRect& R, Cardinal Flags, TColor Key);

protected:
    void CopyFrom(TXDesignItem* Source) override;
    Integer FrameExtent() const override { return FBorderWidth; }

    TXDBorderStyle FBorderStyle = bsFlat;
    TColor FBgColor = 0;
    TXImagePosition FImagePosition = ipColorOnly;
    TColor FBorderColor = 0;
    Integer FBorderWidth = 0;
    TOwnedPtr<TXGradientObject> FBgGradient;
    TOwnedPtr<TXImageObject> FImage;
    TOwnedPtr<TXGradientObject> FBorderGradient;
};
