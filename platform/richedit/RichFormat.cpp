#include "richedit/RichFormat.h"
#include <algorithm>

Integer ClampTwips(Int64 Value)
{
    return Integer(std::clamp<Int64>(Value, -MaxTwips, MaxTwips));
}

Integer ClampCharHeight(Int64 Value)
{
    return Integer(std::clamp<Int64>(Value, MinCharHeight, MaxCharHeight));
}

namespace {

// The mask bits that stand for one effect bit each.
constexpr Cardinal EffectMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_PROTECTED | CFM_LINK
    | CFM_HIDDEN | CFM_DISABLED | CFM_SUBSCRIPT;

}

void TRichCharFormat::Apply(const TRichCharFormat& Source, Cardinal Mask)
{
    Effects = (Effects & ~(Mask & EffectMask)) | (Source.Effects & Mask & EffectMask);
    if (Mask & CFM_COLOR) {
        Effects = (Effects & ~CFE_AUTOCOLOR) | (Source.Effects & CFE_AUTOCOLOR);
        TextColor = Source.TextColor;
    }
    if (Mask & CFM_BACKCOLOR) {
        Effects = (Effects & ~CFE_AUTOBACKCOLOR) | (Source.Effects & CFE_AUTOBACKCOLOR);
        BackColor = Source.BackColor;
    }
    if (Mask & CFM_SIZE)
        Height = ClampCharHeight(Source.Height);
    if (Mask & CFM_OFFSET)
        Offset = ClampTwips(Source.Offset);
    if (Mask & CFM_CHARSET)
        Charset = Source.Charset;
    if (Mask & CFM_FACE) {
        FaceName = Source.FaceName.substr(0, MaxFaceName);
        PitchAndFamily = Source.PitchAndFamily;
    }
    if (Mask & CFM_WEIGHT)
        Weight = Source.Weight;
    if (Mask & CFM_LINK)
        LinkTarget = (Effects & CFE_LINK) ? Source.LinkTarget : String();
    // Bold and weight describe one thing; the last one written wins.
    if ((Mask & CFM_BOLD) && !(Mask & CFM_WEIGHT))
        Weight = (Effects & CFE_BOLD) ? 700 : 400;
    else if ((Mask & CFM_WEIGHT) && !(Mask & CFM_BOLD))
        Effects = Weight >= 551 ? (Effects | CFE_BOLD) : (Effects & ~CFE_BOLD);
    // Super- and subscript are one field of three states.
    if ((Effects & CFE_SUBSCRIPT) && (Effects & CFE_SUPERSCRIPT))
        Effects &= ~CFE_SUBSCRIPT;
}

Cardinal TRichCharFormat::Agreeing(const TRichCharFormat& Other) const
{
    Cardinal Mask = 0;
    const Cardinal Same = ~(Effects ^ Other.Effects);
    for (Cardinal Bit : { CFM_BOLD, CFM_ITALIC, CFM_UNDERLINE, CFM_STRIKEOUT, CFM_PROTECTED, CFM_HIDDEN, CFM_DISABLED })
        if (Same & Bit)
            Mask |= Bit;
    if ((Same & CFE_LINK) && LinkTarget == Other.LinkTarget)
        Mask |= CFM_LINK;
    if ((Same & CFM_SUBSCRIPT) == CFM_SUBSCRIPT)
        Mask |= CFM_SUBSCRIPT;
    if ((Same & CFE_AUTOCOLOR) && ((Effects & CFE_AUTOCOLOR) || TextColor == Other.TextColor))
        Mask |= CFM_COLOR;
    if ((Same & CFE_AUTOBACKCOLOR) && ((Effects & CFE_AUTOBACKCOLOR) || BackColor == Other.BackColor))
        Mask |= CFM_BACKCOLOR;
    if (Height == Other.Height)
        Mask |= CFM_SIZE;
    if (Offset == Other.Offset)
        Mask |= CFM_OFFSET;
    if (Charset == Other.Charset)
        Mask |= CFM_CHARSET;
    if (FaceName == Other.FaceName)
        Mask |= CFM_FACE;
    if (Weight == Other.Weight)
        Mask |= CFM_WEIGHT;
    return Mask | CFM_REVAUTHOR;
}

void TRichParaFormat::Apply(const TRichParaFormat& Source, Cardinal Mask)
{
    if (Mask & PFM_NUMBERING)
        Numbering = Source.Numbering;
    if (Mask & PFM_STARTINDENT)
        StartIndent = ClampTwips(Source.StartIndent);
    if (Mask & PFM_RIGHTINDENT)
        RightIndent = ClampTwips(Source.RightIndent);
    if (Mask & PFM_OFFSET)
        Offset = ClampTwips(Source.Offset);
    if (Mask & PFM_ALIGNMENT)
        Alignment = Source.Alignment >= PFA_LEFT && Source.Alignment <= PFA_JUSTIFY ? Source.Alignment : PFA_LEFT;
    if (Mask & PFM_TABSTOPS) {
        TabCount = std::clamp(Source.TabCount, 0, MAX_TAB_STOPS);
        Tabs = Source.Tabs;
    }
    if (Mask & PFM_SPACEBEFORE)
        SpaceBefore = std::clamp(Source.SpaceBefore, 0, MaxTwips);
    if (Mask & PFM_SPACEAFTER)
        SpaceAfter = std::clamp(Source.SpaceAfter, 0, MaxTwips);
    if (Mask & PFM_LINESPACING) {
        LineSpacing = ClampTwips(Source.LineSpacing);
        LineSpacingRule = Source.LineSpacingRule <= 5 ? Source.LineSpacingRule : 0;
    }
}

Cardinal TRichParaFormat::Agreeing(const TRichParaFormat& Other) const
{
    Cardinal Mask = 0;
    if (Numbering == Other.Numbering)
        Mask |= PFM_NUMBERING;
    if (StartIndent == Other.StartIndent)
        Mask |= PFM_STARTINDENT;
    if (RightIndent == Other.RightIndent)
        Mask |= PFM_RIGHTINDENT;
    if (Offset == Other.Offset)
        Mask |= PFM_OFFSET;
    if (Alignment == Other.Alignment)
        Mask |= PFM_ALIGNMENT;
    if (TabCount == Other.TabCount && Tabs == Other.Tabs)
        Mask |= PFM_TABSTOPS;
    if (SpaceBefore == Other.SpaceBefore)
        Mask |= PFM_SPACEBEFORE;
    if (SpaceAfter == Other.SpaceAfter)
        Mask |= PFM_SPACEAFTER;
    if (LineSpacing == Other.LineSpacing && LineSpacingRule == Other.LineSpacingRule)
        Mask |= PFM_LINESPACING;
    return Mask;
}
