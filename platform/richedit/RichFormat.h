// Character and paragraph formats of the rich-text engine, with the mask
// and effect bits the rich-edit messages use (their numbers are the
// message layer's, so a format record crosses it unchanged).
//
//     TRichCharFormat F;              // the default: 10 pt, automatic colour
//     F.Effects |= CFE_BOLD;
//     Doc.SetCharFormat(0, 5, F, CFM_BOLD);
#pragma once
#include "gdi/Colors.h"
#include "rtl/Types.h"
#include <array>

// Which fields of a character format a write sets or a read found uniform.
constexpr Cardinal CFM_BOLD = 0x00000001;
constexpr Cardinal CFM_ITALIC = 0x00000002;
constexpr Cardinal CFM_UNDERLINE = 0x00000004;
constexpr Cardinal CFM_STRIKEOUT = 0x00000008;
constexpr Cardinal CFM_PROTECTED = 0x00000010;
constexpr Cardinal CFM_LINK = 0x00000020;
constexpr Cardinal CFM_HIDDEN = 0x00000100;
constexpr Cardinal CFM_DISABLED = 0x00002000;
constexpr Cardinal CFM_REVAUTHOR = 0x00008000;
constexpr Cardinal CFM_SUBSCRIPT = 0x00030000; // subscript and superscript
constexpr Cardinal CFM_WEIGHT = 0x00400000;
constexpr Cardinal CFM_BACKCOLOR = 0x04000000;
constexpr Cardinal CFM_CHARSET = 0x08000000;
constexpr Cardinal CFM_OFFSET = 0x10000000;
constexpr Cardinal CFM_FACE = 0x20000000;
constexpr Cardinal CFM_COLOR = 0x40000000;
constexpr Cardinal CFM_SIZE = 0x80000000;
constexpr Cardinal CFM_ALL2 = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_PROTECTED | CFM_LINK
    | CFM_HIDDEN | CFM_DISABLED | CFM_REVAUTHOR | CFM_SUBSCRIPT | CFM_WEIGHT | CFM_BACKCOLOR | CFM_CHARSET
    | CFM_OFFSET | CFM_FACE | CFM_COLOR | CFM_SIZE;

// Effects: the bits of the mask above that are on/off attributes, and two
// "automatic colour" flags.
constexpr Cardinal CFE_BOLD = 0x00000001;
constexpr Cardinal CFE_ITALIC = 0x00000002;
constexpr Cardinal CFE_UNDERLINE = 0x00000004;
constexpr Cardinal CFE_STRIKEOUT = 0x00000008;
constexpr Cardinal CFE_PROTECTED = 0x00000010;
constexpr Cardinal CFE_LINK = 0x00000020;
constexpr Cardinal CFE_HIDDEN = 0x00000100;
constexpr Cardinal CFE_DISABLED = 0x00002000;
constexpr Cardinal CFE_SUBSCRIPT = 0x00010000;
constexpr Cardinal CFE_SUPERSCRIPT = 0x00020000;
constexpr Cardinal CFE_AUTOBACKCOLOR = 0x04000000;
constexpr Cardinal CFE_AUTOCOLOR = 0x40000000;

// Pitch in the low two bits of PitchAndFamily.
constexpr Byte DEFAULT_PITCH = 0;
constexpr Byte FIXED_PITCH = 1;
constexpr Byte VARIABLE_PITCH = 2;

constexpr Byte DEFAULT_CHARSET = 1;
constexpr Byte ANSI_CHARSET = 0;
constexpr Byte SYMBOL_CHARSET = 2;

// Longest face name a format holds, as the record's 32-character field
// with its terminator.
constexpr size_t MaxFaceName = 31;
// Sizes in twips the engine accepts: 1/20 pt to 1638 pt.
constexpr Integer MinCharHeight = 1;
constexpr Integer MaxCharHeight = 1638 * 20;
// Indents, offsets and spacing in twips are kept within 22 inches either way.
constexpr Integer MaxTwips = 22 * 1440;

Integer ClampTwips(Int64 Value);
Integer ClampCharHeight(Int64 Value);

struct TRichCharFormat {
    Cardinal Effects = CFE_AUTOCOLOR | CFE_AUTOBACKCOLOR;
    Integer Height = 200; // twips
    Integer Offset = 0; // twips above the baseline
    TColor TextColor = 0; // 0x00BBGGRR
    TColor BackColor = 0;
    Byte Charset = DEFAULT_CHARSET;
    Byte PitchAndFamily = DEFAULT_PITCH;
    Word Weight = 400;
    String FaceName = u"Arial";
    // Where a link made by a hyperlink field leads; empty for plain text
    // and for links found in the text itself.
    String LinkTarget;

    bool operator==(const TRichCharFormat&) const = default;
    // The fields of Source that Mask names, into this one. Bold and
    // weight follow each other, as do super- and subscript (one excludes
    // the other).
    void Apply(const TRichCharFormat& Source, Cardinal Mask);
    // The mask bits whose fields agree with Other.
    Cardinal Agreeing(const TRichCharFormat& Other) const;
};

// Paragraph masks and values.
constexpr Cardinal PFM_STARTINDENT = 0x00000001;
constexpr Cardinal PFM_RIGHTINDENT = 0x00000002;
constexpr Cardinal PFM_OFFSET = 0x00000004;
constexpr Cardinal PFM_ALIGNMENT = 0x00000008;
constexpr Cardinal PFM_TABSTOPS = 0x00000010;
constexpr Cardinal PFM_NUMBERING = 0x00000020;
constexpr Cardinal PFM_SPACEBEFORE = 0x00000040;
constexpr Cardinal PFM_SPACEAFTER = 0x00000080;
constexpr Cardinal PFM_LINESPACING = 0x00000100;
constexpr Cardinal PFM_ALL2 = 0x000001FF;

constexpr Word PFA_LEFT = 1;
constexpr Word PFA_RIGHT = 2;
constexpr Word PFA_CENTER = 3;
constexpr Word PFA_JUSTIFY = 4;

constexpr Word PFN_BULLET = 1;
constexpr Word PFN_ARABIC = 2;

constexpr Integer MAX_TAB_STOPS = 32;

struct TRichParaFormat {
    Word Numbering = 0;
    Integer StartIndent = 0; // first line, from the left edge, twips
    Integer RightIndent = 0;
    Integer Offset = 0; // the other lines, from StartIndent
    Word Alignment = PFA_LEFT;
    Integer TabCount = 0;
    // Low 24 bits the position in twips; the top byte keeps alignment and leader.
    std::array<Integer, MAX_TAB_STOPS> Tabs {};
    Integer SpaceBefore = 0;
    Integer SpaceAfter = 0;
    // Rule 0 single, 1 one and a half, 2 double, 3 at least, 4 exactly,
    // 5 multiple of LineSpacing / 20 lines.
    Integer LineSpacing = 0;
    Byte LineSpacingRule = 0;

    bool operator==(const TRichParaFormat&) const = default;
    void Apply(const TRichParaFormat& Source, Cardinal Mask);
    Cardinal Agreeing(const TRichParaFormat& Other) const;
    Integer TabPosition(Integer Index) const { return Tabs[size_t(Index)] & 0xFFFFFF; }
};
