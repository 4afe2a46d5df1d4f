#include "richedit/RtfWriter.h"
#include <algorithm>
#include <optional>
#include <string>
#include <tuple>

namespace {

struct TFontKey {
    String Name;
    Byte Charset;
    Byte Pitch;
    bool operator==(const TFontKey&) const = default;
};

const TFontKey SymbolFont { u"Symbol", 2, VARIABLE_PITCH };

class TRtfWriter {
public:
    TRtfWriter(const TRichDocument& Doc, const TRtfWriteOptions& Options)
        : FDoc(Doc)
        , FOptions(Options)
    {
    }

    RawBytes Write();

private:
    void CollectTables();
    Integer FontIndex(const TFontKey& Key) const;
    Integer ColorIndex(TColor Color) const;
    void Header();
    void ParaProps(const TRichParaFormat& P);
    void CharProps(const TRichCharFormat& F);
    void Char(Char C);
    void Object(const TRichObject& Object);
    void Picture(const TRichPicture& Picture);
    void OpenLink(const String& Target);
    void CloseLink();
    void Word(std::string_view W) { FOut += '\\'; FOut += W; }
    void Word(std::string_view W, Int64 N) { Word(W); FOut += std::to_string(N); }

    const TRichDocument& FDoc;
    TRtfWriteOptions FOptions;
    RawBytes FOut;
    std::vector<TFontKey> FFonts;
    std::vector<TColor> FColors;
    std::optional<TRichCharFormat> FWritten; // the character format in force
    bool FInLink = false;
};

TFontKey KeyOf(const TRichCharFormat& F)
{
    return { F.FaceName, F.Charset, Byte(F.PitchAndFamily & 3) };
}

void TRtfWriter::CollectTables()
{
    for (const auto& Run : FDoc.Runs()) {
        const TFontKey Key = KeyOf(Run.Format);
        if (std::find(FFonts.begin(), FFonts.end(), Key) == FFonts.end())
            FFonts.push_back(Key);
        for (auto [Auto, Color] : { std::pair { CFE_AUTOCOLOR, Run.Format.TextColor },
                 std::pair { CFE_AUTOBACKCOLOR, Run.Format.BackColor } })
            if (!(Run.Format.Effects & Auto) && std::find(FColors.begin(), FColors.end(), Color) == FColors.end())
                FColors.push_back(Color);
    }
    const bool Bullets = std::any_of(
        FDoc.Paras().begin(), FDoc.Paras().end(), [](const auto& P) { return P.Format.Numbering == PFN_BULLET; });
    if (Bullets && std::find(FFonts.begin(), FFonts.end(), SymbolFont) == FFonts.end())
        FFonts.push_back(SymbolFont);
}

Integer TRtfWriter::FontIndex(const TFontKey& Key) const
{
    return Integer(std::find(FFonts.begin(), FFonts.end(), Key) - FFonts.begin());
}

Integer TRtfWriter::ColorIndex(TColor Color) const
{
    return Integer(std::find(FColors.begin(), FColors.end(), Color) - FColors.begin()) + 1;
}

void TRtfWriter::Char(::Char C)
{
    if (C == u'\\' || C == u'{' || C == u'}') {
        FOut += '\\';
        FOut += char(C);
    } else if (C == u'\t') {
        FOut += "\\tab ";
    } else if (C == u'\v') {
        FOut += "\\line ";
    } else if (C >= 0x20 && C < 0x7F) {
        FOut += char(C);
    } else {
        // Signed 16 bits, as the format takes them.
        FOut += "\\u" + std::to_string(Integer(int16_t(C))) + "?";
    }
}

void TRtfWriter::Header()
{
    FOut += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl";
    for (size_t I = 0; I < FFonts.size(); ++I) {
        FOut += "{";
        Word("f", Integer(I));
        Word("fnil");
        Word("fcharset", FFonts[I].Charset);
        if (FFonts[I].Pitch)
            Word("fprq", FFonts[I].Pitch);
        FOut += ' ';
        // A name is text of the font table, where \tab and \line mean
        // nothing: control characters go by number.
        for (::Char C : FFonts[I].Name)
            if (C == u';')
                FOut += "\\'3b";
            else if (C < 0x20)
                FOut += "\\u" + std::to_string(Integer(C)) + "?";
            else
                Char(C);
        FOut += ";}";
    }
    FOut += "}\r\n{\\colortbl ;";
    for (TColor C : FColors) {
        Word("red", C & 0xFF);
        Word("green", C >> 8 & 0xFF);
        Word("blue", C >> 16 & 0xFF);
        FOut += ';';
    }
    FOut += "}\r\n";
}

void TRtfWriter::ParaProps(const TRichParaFormat& P)
{
    Word("pard");
    switch (P.Alignment) {
    case PFA_RIGHT: Word("qr"); break;
    case PFA_CENTER: Word("qc"); break;
    case PFA_JUSTIFY: Word("qj"); break;
    default: break;
    }
    if (P.StartIndent + P.Offset)
        Word("li", Int64(P.StartIndent) + P.Offset);
    if (P.Offset)
        Word("fi", -Int64(P.Offset));
    if (P.RightIndent)
        Word("ri", P.RightIndent);
    if (P.SpaceBefore)
        Word("sb", P.SpaceBefore);
    if (P.SpaceAfter)
        Word("sa", P.SpaceAfter);
    switch (P.LineSpacingRule) {
    case 1: Word("sl", 360), Word("slmult", 1); break;
    case 2: Word("sl", 480), Word("slmult", 1); break;
    case 3: Word("sl", P.LineSpacing); break;
    case 4: Word("sl", -Int64(P.LineSpacing)); break;
    case 5: Word("sl", Int64(P.LineSpacing) * 12), Word("slmult", 1); break;
    default: break;
    }
    for (Integer I = 0; I < P.TabCount; ++I) {
        static constexpr std::string_view Kinds[] = { "", "tqc", "tqr", "tqdec" };
        const Integer Kind = P.Tabs[size_t(I)] >> 24 & 0xFF;
        if (Kind >= 1 && Kind <= 3)
            Word(Kinds[Kind]);
        Word("tx", P.TabPosition(I));
    }
    FOut += ' ';
    if (P.Numbering == PFN_BULLET) {
        const Integer F = FontIndex(SymbolFont);
        FOut += "{\\pntext\\f" + std::to_string(F) + "\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf" + std::to_string(F)
            + "\\pnindent0{\\pntxtb\\'b7}}";
    } else if (P.Numbering) {
        FOut += "{\\*\\pn\\pnlvlbody\\pndec}";
    }
    // A new paragraph's own words may have reset nothing of the
    // characters, but a field or a group around them may have: the next
    // character says its format again.
    FWritten.reset();
}

void TRtfWriter::CharProps(const TRichCharFormat& F)
{
    if (FWritten && *FWritten == F)
        return;
    // LibreOffice drops the raised text and the paragraph mark after it
    // when \plain alone ends a super- or subscript.
    if (FWritten && (FWritten->Effects & (CFE_SUBSCRIPT | CFE_SUPERSCRIPT)))
        Word("nosupersub");
    Word("plain");
    Word("f", FontIndex(KeyOf(F)));
    Word("fs", F.Height / 10);
    if (F.Effects & CFE_BOLD)
        Word("b");
    if (F.Effects & CFE_ITALIC)
        Word("i");
    if (F.Effects & CFE_UNDERLINE)
        Word("ul");
    if (F.Effects & CFE_STRIKEOUT)
        Word("strike");
    if (F.Effects & CFE_HIDDEN)
        Word("v");
    if (F.Effects & CFE_PROTECTED)
        Word("protect");
    if (F.Effects & CFE_DISABLED)
        Word("disabled");
    if (F.Effects & CFE_SUBSCRIPT)
        Word("sub");
    if (F.Effects & CFE_SUPERSCRIPT)
        Word("super");
    if (F.Offset > 0)
        Word("up", F.Offset / 10);
    else if (F.Offset < 0)
        Word("dn", -F.Offset / 10);
    if (!(F.Effects & CFE_AUTOCOLOR))
        Word("cf", ColorIndex(F.TextColor));
    if (!(F.Effects & CFE_AUTOBACKCOLOR))
        Word("highlight", ColorIndex(F.BackColor));
    FOut += ' ';
    FWritten = F;
}

void TRtfWriter::OpenLink(const String& Target)
{
    FOut += "{\\field{\\*\\fldinst{HYPERLINK ";
    StringView T = Target;
    if (!T.empty() && T[0] == u'#') {
        FOut += "\\\\l ";
        T.remove_prefix(1);
    }
    FOut += '"';
    for (::Char C : T)
        if (C == u'"')
            FOut += "%22";
        else
            Char(C);
    FOut += "\"}}{\\fldrslt{";
    FInLink = true;
}

void TRtfWriter::CloseLink()
{
    if (!FInLink)
        return;
    FOut += "}}}";
    FInLink = false;
}

void TRtfWriter::Picture(const TRichPicture& P)
{
    static constexpr std::string_view Kinds[] = { "", "pngblip", "jpegblip", "dibitmap0" };
    FOut += "{\\pict";
    Word(Kinds[P.Format]);
    Word("picw", P.Width);
    Word("pich", P.Height);
    if (P.GoalWidth)
        Word("picwgoal", P.GoalWidth);
    if (P.GoalHeight)
        Word("pichgoal", P.GoalHeight);
    if (P.ScaleX != 100)
        Word("picscalex", P.ScaleX);
    if (P.ScaleY != 100)
        Word("picscaley", P.ScaleY);
    FOut += "\r\n";
    static constexpr char Hex[] = "0123456789abcdef";
    for (size_t I = 0; I < P.Data.size(); ++I) {
        FOut += Hex[Byte(P.Data[I]) >> 4];
        FOut += Hex[Byte(P.Data[I]) & 15];
        if (I % 64 == 63)
            FOut += "\r\n";
    }
    FOut += '}';
}

void TRtfWriter::Object(const TRichObject& O)
{
    if (FOptions.NoObjects)
        return;
    if (O.Kind == rokObject && !O.Source.empty())
        FOut += O.Source;
    else if (O.Picture.Format != rpfNone && !O.Picture.Data.empty())
        Picture(O.Picture);
}

RawBytes TRtfWriter::Write()
{
    CollectTables();
    Header();
    const String& T = FDoc.Text();
    size_t Para = 0;
    size_t NextObject = 0;
    ParaProps(FDoc.Paras()[0].Format);
    for (size_t R = 0; R < FDoc.Runs().size(); ++R) {
        const TRichCharFormat& F = FDoc.Runs()[R].Format;
        const bool Link = (F.Effects & CFE_LINK) && !F.LinkTarget.empty();
        for (Integer I = FDoc.Runs()[R].Start; I < FDoc.RunEnd(R); ++I) {
            const ::Char C = T[size_t(I)];
            const bool InLink = Link && C != ParagraphMark && C != ObjectMark;
            if (!InLink)
                CloseLink();
            // The format goes before a link's field, so the field's result
            // holds text only (some readers drop the link at a \plain in
            // it) and the format is still in force after the field.
            CharProps(F);
            if (InLink && !FInLink)
                OpenLink(F.LinkTarget);
            if (C == ParagraphMark) {
                FOut += "\\par\r\n";
                ParaProps(FDoc.Paras()[++Para].Format);
            } else if (C == ObjectMark) {
                Object(FDoc.Objects()[NextObject++]);
            } else {
                Char(C);
            }
        }
        CloseLink();
    }
    FOut += "}\r\n";
    return std::move(FOut);
}

}

RawBytes WriteRtf(const TRichDocument& Doc, const TRtfWriteOptions& Options)
{
    return TRtfWriter(Doc, Options).Write();
}
