// The picture-bearing items: the image item (a picture, an embossed look
// and a credit line), the background item (the page's bottom layer, painted
// straight into the page), the live image item (a picture that is also a
// clickable area) and the shape item (rectangle, rounded rectangle or
// ellipse).
#pragma once
#include "calendar_designs/XDesign.Borders.h"

enum TXDImageStyle { isFlat, isBlendLowered, isBlendRaised };
X_ENUM_INFO(TXDImageStyle, isFlat, isBlendLowered, isBlendRaised)
enum TXDShapeType { stRectangle, stRoundRect, stEllipse };
X_ENUM_INFO(TXDShapeType, stRectangle, stRoundRect, stEllipse)

class TXDImageItem : public TXDBorderItem {
    X_CLASS(TXDImageItem, TXDBorderItem)
public:
    void Init() override;
    void SetAutoSize(bool Value) override;
    void SetByteProp(Integer Index, Byte Value) override;
    Byte GetByteProp(Integer Index) const override;
    void SetStrProp(Integer Index, const String& Value) override;
    String GetStrProp(Integer Index) const override;
    void Scale(Integer DPI, Integer ImageDPI) override;
    void PaintBackground(TBitmap* Bitmap, const TRect& PageRect, Cardinal Flags, TColor Key) override;
    void PaintContent(TBitmap* Bitmap, const TRect& PageRect, Cardinal Flags, TColor Key) override;

    TXDImageStyle ImageStyle() const { return FImageStyle; }
    void SetImageStyle(TXDImageStyle Value);
    Byte BlendContrast() const { return FBlendContrast; }
    const String& Copyright() const { return FCopyright; }

    Integer BlendDepth = 1;
    Integer CreditFontHeight = 12;

protected:
    void CopyFrom(TXDesignItem* Source) override;
    void PaintEmbossed(TBitmap* Bitmap, Cardinal Flags);
    void PaintCredit(TBitmap* Bitmap);

    TXDImageStyle FImageStyle = isFlat;
    Byte FBlendContrast = 0;
    String FCopyright;
};

class TXDBgItem : public TXDImageItem {
    X_CLASS(TXDBgItem, TXDImageItem)
public:
    void Init() override;
    void Scale(Integer DPI, Integer ImageDPI) override;
    TRect GetBoundsRect() const override;
    // Straight into the page, visible or not; no layers.
    void Paint(TBitmap* Target, const TRect& PageRect, Cardinal Flags) override;
    void PaintContent(TBitmap* Bitmap, const TRect& PageRect, Cardinal Flags, TColor Key) override;
};

class TXDLiveImageItem : public TXDImageItem {
    X_CLASS(TXDLiveImageItem, TXDImageItem)
public:
    void Init() override;
    void CollectHitAreas(TXAreaCollection* Areas) override;

    TXHitItem* Hit() const { return FHit; }

protected:
    void CopyFrom(TXDesignItem* Source) override;

private:
    // The hit item lives in a collection of its own, which owns it.
    TOwnedPtr<TXHitCollection> FHitHolder;
    TXHitItem* FHit = nullptr;
};

class TXDShapeItem : public TXDBorderItem {
    X_CLASS(TXDShapeItem, TXDBorderItem)
public:
    void PaintBackground(TBitmap*, const TRect&, Cardinal, TColor) override { }
    void PaintContent(TBitmap* Bitmap, const TRect& PageRect, Cardinal Flags, TColor Key) override;

    TXDShapeType ShapeType() const { return FShapeType; }
    void SetShapeType(TXDShapeType Value);

protected:
    void CopyFrom(TXDesignItem* Source) override;

private:
    TXDShapeType FShapeType = stRectangle;
};
