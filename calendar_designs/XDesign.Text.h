// Text items: one line of text stretched to the item's box or sizing the
// box to the text, flat with an optional drop shadow or embossed into the
// page beneath; the month text item shows a month's name and year taken
// from the page's "Date" and "Format" defaults.
#pragma once
#include "calendar_designs/XDesign.Borders.h"
#include "core/XCore.Locale.h"
#include "gdi/Font.h"
#include "gdi/Metafile.h"

enum TXDTextStyle { tsFlat, tsBlendLowered, tsBlendRaised };
X_ENUM_INFO(TXDTextStyle, tsFlat, tsBlendLowered, tsBlendRaised)

class TXDTextItem : public TXDShadowItem {
    X_CLASS(TXDTextItem, TXDShadowItem)
public:
    void Init() override;
    void SetAutoSize(bool Value) override;
    void SetByteProp(Integer Index, Byte Value) override;
    Byte GetByteProp(Integer Index) const override;
    void SetColorProp(Integer Index, TColor Value) override;
    TColor GetColorProp(Integer Index) const override;
    void SetStrProp(Integer Index, const String& Value) override;
    String GetStrProp(Integer Index) const override;
    void SetFloatProp(Integer Index, double Value) override;
    double GetFloatProp(Integer Index) const override;
    void Scale(Integer DPI, Integer ImageDPI) override;
    void Rescale(double XFactor, double YFactor) override;
    void PaintContent(TBitmap* Bitmap, const TRect& PageRect, Cardinal Flags, TColor Key) override;

    // The text's size in the item's font, one line; 0 x 0 when empty.
    TSize MeasureText() const;
    // Width and height become the measured size times Factor.
    void FitToText(double Factor);

    TFont* Font() const { return FFont.get(); }
    void SetFont(TFont* Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    TXDTextStyle TextStyle() const { return FTextStyle; }
    void SetTextStyle(TXDTextStyle Value);
    const String& Text() const { return FText; }
    TColor TextColor() const { return FTextColor; }

protected:
    void CopyFrom(TXDesignItem* Source) override;
    // The text drawn in Color into a metafile of the measured size.
    TOwnedPtr<TMetafile> TextMetafile(TColor Color) const;

    TOwnedPtr<TFont> FFont;
    TColor FTextColor = 0;
    TAlignment FAlignment = taLeftJustify;
    TXDTextStyle FTextStyle = tsFlat;
    Byte FBlendContrast = 0;
    String FText;
    double FXTScale = 1.0, FYTScale = 1.0;
};

class TXDMonthTextItem : public TXDTextItem {
    X_CLASS(TXDMonthTextItem, TXDTextItem)
public:
    void Init() override;
    void SetIntProp(Integer Index, Integer Value) override;
    Integer GetIntProp(Integer Index) const override;
    void Scale(Integer DPI, Integer ImageDPI) override;
    void ApplyDataDefaults() override;
    void TakeDate(Word Day, Word Month, Integer Year) override;
    void TakeFormatSettings(const TXFormatSettings& Settings) override;

    Integer Month() const { return FMonth; }
    Integer Year() const { return FYear; }
    Integer DisplayMonth = 1, DisplayYear = 2000;
    TXFormatSettings FormatSettings;

protected:
    void CopyFrom(TXDesignItem* Source) override;

private:
    Integer FMonth = 0, FYear = 0;
};
