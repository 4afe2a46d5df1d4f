// TFont: the face, size, style, colour and quality text is drawn with.
//
//     TCanvas* C = Bmp->Canvas();
//     C->Font()->SetName(u"Arial");         // Liberation Sans here
//     C->Font()->SetHeight(-16);            // 16-pixel em
//     C->Font()->SetColor(clRed);
//     C->TextOut(10, 10, u"Hello");
//
// Names are resolved by the fontconfig configuration built into this
// library (fonts/fonts.conf): Arial, Times New Roman and Courier New
// become Liberation Sans, Serif and Mono, every other name DejaVu Sans.
// Text is laid out by pango and drawn as a coverage mask (one bit deep
// for fqNonAntialiased).
#pragma once
#include "gdi/Graphic.h"
#include "rtl/TypInfo.h"

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
X_ENUM_INFO(TFontStyle, fsBold, fsItalic, fsUnderline, fsStrikeOut)
// A set of TFontStyle: bit 1 << style.
using TFontStyles = Cardinal;
constexpr TFontStyles StyleBit(TFontStyle S)
{
    return TFontStyles(1) << S;
}

enum TFontQuality { fqDefault, fqDraft, fqProof, fqNonAntialiased, fqAntialiased, fqClearType, fqClearTypeNatural };

// Screen resolution that Size (points) converts at.
constexpr Integer ScreenPixelsPerInch = 96;

struct TSize {
    Integer cx = 0, cy = 0;
    bool operator==(const TSize&) const = default;
};

// What a resolved font measures, in pixels: the cell above and below the
// baseline, the leading the face asks for between lines, and the mean
// character width.
struct TFontMetrics {
    Integer Ascent = 0;
    Integer Descent = 0;
    Integer ExternalLeading = 0;
    Integer AveCharWidth = 0;
    Integer Height() const { return Ascent + Descent; }
};

class TFont : public TPersistent {
    X_CLASS(TFont, TPersistent)
public:
    void Create() override { }
    ~TFont() override;

    String Name() const { return FName; }
    void SetName(const String& Value);
    // Negative: the em in pixels; positive: the cell (ascent + descent);
    // 0: the default size.
    Integer Height() const { return FHeight; }
    void SetHeight(Integer Value);
    // Points at 96 dpi; setting it makes the height negative.
    Integer Size() const;
    void SetSize(Integer Value);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles Value);
    TColor Color() const { return FColor; }
    void SetColor(TColor Value) { FColor = Value; }
    // The character set stored fonts name; kept and copied, text is Unicode.
    Byte Charset() const { return FCharset; }
    void SetCharset(Byte Value) { FCharset = Value; }
    TFontQuality Quality() const { return FQuality; }
    void SetQuality(TFontQuality Value) { FQuality = Value; }
    void Assign(TPersistent* Source) override;

    // The family fontconfig chose for the name.
    String ResolvedFamily() const;
    TFontMetrics Metrics() const;
    // The em in pixels that Height stands for.
    double EmPixels() const;
    // The pango font description (PangoFontDescription*), owned by the
    // font and rebuilt after a change.
    void* Description() const;

private:
    void Changed();
    String FName = u"Tahoma";
    Integer FHeight = -11;
    TFontStyles FStyle = 0;
    TColor FColor = clBlack;
    TFontQuality FQuality = fqDefault;
    Byte FCharset = 1;
    mutable void* FDescription = nullptr;
    mutable double FEm = 0;
};
