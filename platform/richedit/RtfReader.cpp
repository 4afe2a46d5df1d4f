#include "richedit/RtfReader.h"
#include "richedit/RichCodePages.h"
#include "richedit/RichPicture.h"
#include <algorithm>
#include <unordered_map>

namespace {

// Where the text of a group goes.
enum TDest : Byte {
    dBody, // the document
    dFontTable,
    dColorTable,
    dFieldInst, // a field's instruction
    dPict, // a picture's data
    dDiscard, // text dropped, control words still read (an object's result, bullet text)
};

struct TFontEntry {
    String Name;
    Byte Charset = ANSI_CHARSET;
    Byte Pitch = DEFAULT_PITCH;
};

// What a group changes, saved at its "{" and restored at its "}".
struct TState {
    TDest Dest = dBody;
    TRichCharFormat Char;
    TRichParaFormat Para;
    Integer LeftIndent = 0, FirstIndent = 0; // \li and \fi: the format keeps their sum
    Integer TabKind = 0; // alignment byte of the next \tx
    Integer Uc = 1;
    Word FontPage = 0; // the code page of the current font, 0 for the document's
    Integer Field = -1; // index of the field whose instruction or result this is
    Integer Object = -1; // 0 inside an object group
    bool LinkResult = false; // inside a hyperlink field's result
    bool Pict = false;
    bool Pn = false; // inside a paragraph's bullet description
    size_t GroupStart = 0; // offset of this group's "{"
};

constexpr Integer MaxFaceChars = 64;

bool IsHex(char C)
{
    return (C >= '0' && C <= '9') || (C >= 'a' && C <= 'f') || (C >= 'A' && C <= 'F');
}

Integer HexValue(char C)
{
    return C <= '9' ? C - '0' : (C | 0x20) - 'a' + 10;
}

bool IsLetter(char C)
{
    return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z');
}

// The target of a HYPERLINK field instruction: its first quoted argument,
// or its first word; empty for other fields. A "\l" switch names a place
// in the document ("#name").
String HyperlinkTarget(StringView Inst)
{
    size_t I = Inst.find_first_not_of(u" \t\r\n");
    if (I == StringView::npos || Inst.substr(I, 9) != u"HYPERLINK")
        return {};
    I += 9;
    String Target;
    bool Local = false;
    while (I < Inst.size()) {
        if (Inst[I] == u' ' || Inst[I] == u'\t') {
            ++I;
        } else if (Inst[I] == u'\\') {
            Local |= I + 1 < Inst.size() && Inst[I + 1] == u'l';
            I += 2;
        } else if (Inst[I] == u'"') {
            const size_t End = Inst.find(u'"', I + 1);
            Target = String(Inst.substr(I + 1, End == StringView::npos ? StringView::npos : End - I - 1));
            break;
        } else {
            const size_t End = Inst.find_first_of(u" \t\"", I); // no target holds a quote
            Target = String(Inst.substr(I, End == StringView::npos ? StringView::npos : End - I));
            break;
        }
    }
    return Local && !Target.empty() ? u"#" + Target : Target;
}

class TRtfReader {
public:
    TRtfReader(std::string_view In, TRichDocument& Doc, const TRtfReadOptions& Options)
        : FIn(In)
        , FDoc(Doc)
        , FOptions(Options)
        , FDocPage(Options.DefaultCodePage)
    {
        FState.Char = Doc.DefaultFormat();
        FState.Char.Height = 24 * 10; // \fs24, RTF's own default
    }

    TRtfReadResult Read();

private:
    // Tokens
    void ControlWord();
    void ControlSymbol(char C);
    bool ReadParam(Int64& Value);
    void OpenGroup();
    bool CloseGroup();
    void SkipGroup(bool Pushed);
    void SkipBinary(Int64 Count, bool Keep);

    // Text
    void AddByte(Byte B);
    void AddChar(Char C);
    void AddUnicode(Int64 Value);
    void DecodeBytes();
    void FlushText();
    bool Skipping();

    // Groups that end something
    void EndFontEntry();
    void EndColor();
    void EndPicture(const TState& Closed);
    void EndObject(const TState& Closed, size_t End);
    void EndParagraph();
    TRichParaFormat CurrentPara() const;

    void Keyword(std::string_view W, bool HasParam, Int64 Param);
    bool CharWord(std::string_view W, bool HasParam, Int64 Param);
    bool ParaWord(std::string_view W, bool HasParam, Int64 Param);
    bool DestinationWord(std::string_view W);
    void SetFont(Int64 Number);
    TRichCharFormat PlainFormat() const;

    std::string_view FIn;
    size_t FPos = 0;
    TRichDocument& FDoc;
    TRtfReadOptions FOptions;
    TState FState;
    std::vector<TState> FStack;
    // Skipping: the open groups left of the skipped one; Pushed when its
    // own "{" saved a state.
    Integer FSkipDepth = 0;
    bool FSkipPushed = false;
    bool FStarStar = false; // "\*" seen: an unknown destination word skips its group
    Integer FUcLeft = 0; // characters still to skip after \u

    Word FDocPage;
    RawBytes FBytes; // \'hh bytes not yet decoded
    Word FBytesPage = 0;
    String FText; // decoded text not yet put in its destination

    std::unordered_map<Int64, TFontEntry> FFonts;
    Int64 FDefaultFont = 0;
    Int64 FFontNumber = 0; // the entry the font table is filling
    TFontEntry FFontEntry;
    std::vector<Int64> FColors; // 0x00BBGGRR, or -1 for "automatic"
    Integer FRed = 0, FGreen = 0, FBlue = 0;
    bool FColorSet = false;
    std::vector<String> FFieldInsts;

    TRichPicture FPicture;
    Integer FNibble = -1;
    bool FHavePicture = false; // an object's result picture
    TRichPicture FObjectPicture;
    bool FDamaged = false;
    bool FAtEnd = false; // closing what the input left open
};

bool TRtfReader::Skipping()
{
    return FSkipDepth > 0;
}

TRtfReadResult TRtfReader::Read()
{
    if (!LooksLikeRtf(FIn))
        return rrNotRtf;
    FPos = FIn.find('{');
    while (FPos < FIn.size()) {
        const char C = FIn[FPos];
        if (C == '{') {
            ++FPos;
            OpenGroup();
        } else if (C == '}') {
            ++FPos;
            if (FStack.size() == 1 && !Skipping()) {
                // The document's own group ends: its last paragraph takes
                // the format in effect here; what follows is not ours.
                FlushText();
                FDoc.SetLastParaFormat(CurrentPara());
                FStack.clear();
                return FDamaged ? rrDamaged : rrOk;
            }
            if (!CloseGroup())
                break;
        } else if (C == '\\') {
            ++FPos;
            if (FPos >= FIn.size())
                break;
            if (IsLetter(FIn[FPos]))
                ControlWord();
            else
                ControlSymbol(FIn[FPos++]);
        } else if (C == '\r' || C == '\n') {
            ++FPos;
        } else {
            ++FPos;
            if (Skipping())
                continue;
            if (FUcLeft > 0) {
                --FUcLeft;
                continue;
            }
            if (FState.Dest == dPict) {
                if (IsHex(C)) {
                    if (FNibble < 0)
                        FNibble = HexValue(C);
                    else {
                        FPicture.Data.push_back(char(FNibble << 4 | HexValue(C)));
                        FNibble = -1;
                    }
                }
                continue;
            }
            if (C == ';' && FState.Dest == dFontTable) {
                EndFontEntry();
                continue;
            }
            if (C == ';' && FState.Dest == dColorTable) {
                EndColor();
                continue;
            }
            if (C == '\t') {
                AddChar(u'\t');
                continue;
            }
            AddByte(Byte(C));
        }
    }
    // Groups left open: damage, but the text read so far stays.
    if (!FStack.empty() || FSkipDepth > 0)
        FDamaged = true;
    FAtEnd = true;
    FSkipDepth = 0;
    FlushText();
    FDoc.SetLastParaFormat(CurrentPara());
    while (FStack.size() > 1)
        CloseGroup();
    return FDamaged ? rrDamaged : rrOk;
}

void TRtfReader::OpenGroup()
{
    if (Skipping()) {
        ++FSkipDepth;
        return;
    }
    FlushText();
    FUcLeft = 0;
    FStarStar = false;
    if (FStack.size() >= MaxRtfDepth) {
        // Too deep to be a document: the whole group is left out, with no
        // state saved for it.
        FDamaged = true;
        FSkipDepth = 1;
        FSkipPushed = false;
        return;
    }
    FStack.push_back(FState);
    FState.GroupStart = FPos - 1;
}

void TRtfReader::SkipGroup(bool Pushed)
{
    FlushText();
    FSkipDepth = 1;
    FSkipPushed = Pushed;
}

bool TRtfReader::CloseGroup()
{
    if (Skipping()) {
        if (--FSkipDepth > 0 || !FSkipPushed)
            return true;
    } else {
        FlushText();
    }
    FUcLeft = 0;
    FStarStar = false;
    if (FStack.empty()) {
        return false;
    }
    TState Closed = std::move(FState);
    FState = std::move(FStack.back());
    FStack.pop_back();
    if (Closed.Dest == dFontTable && FState.Dest != dFontTable) {
        if (!FFontEntry.Name.empty())
            EndFontEntry();
        SetFont(FDefaultFont);
    }
    if (Closed.Pict && !FState.Pict)
        EndPicture(Closed);
    if (Closed.Object == 0 && FState.Object < 0)
        EndObject(Closed, FPos);
    if (FStack.empty())
        return false; // the document's own group
    return true;
}

bool TRtfReader::ReadParam(Int64& Value)
{
    bool Negative = false;
    if (FPos < FIn.size() && FIn[FPos] == '-' && FPos + 1 < FIn.size() && FIn[FPos + 1] >= '0' && FIn[FPos + 1] <= '9') {
        Negative = true;
        ++FPos;
    }
    if (FPos >= FIn.size() || FIn[FPos] < '0' || FIn[FPos] > '9')
        return false;
    Int64 V = 0;
    while (FPos < FIn.size() && FIn[FPos] >= '0' && FIn[FPos] <= '9') {
        V = std::min<Int64>(V * 10 + (FIn[FPos] - '0'), Int64(1) << 40); // saturates; every use clamps
        ++FPos;
    }
    Value = Negative ? -V : V;
    return true;
}

void TRtfReader::ControlWord()
{
    const size_t Start = FPos;
    while (FPos < FIn.size() && IsLetter(FIn[FPos]))
        ++FPos;
    const std::string_view W = FIn.substr(Start, FPos - Start);
    Int64 Param = 0;
    const bool HasParam = ReadParam(Param);
    if (FPos < FIn.size() && FIn[FPos] == ' ')
        ++FPos;
    if (W == "bin") {
        SkipBinary(HasParam ? Param : 0, !Skipping() && FState.Dest == dPict && FUcLeft == 0);
        return;
    }
    if (Skipping())
        return;
    if (FUcLeft > 0) {
        --FUcLeft;
        return;
    }
    Keyword(W, HasParam, Param);
}

void TRtfReader::SkipBinary(Int64 Count, bool Keep)
{
    // The count may claim more than there is: only what is there is taken.
    const size_t N = size_t(std::clamp<Int64>(Count, 0, Int64(FIn.size() - FPos)));
    if (Keep)
        FPicture.Data.append(FIn.substr(FPos, N));
    FPos += N;
}

void TRtfReader::ControlSymbol(char C)
{
    if (Skipping())
        return;
    if (C == '\'') {
        // Two hex digits; anything else is no character and is dropped.
        if (FPos + 1 < FIn.size() && IsHex(FIn[FPos]) && IsHex(FIn[FPos + 1])) {
            const Byte B = Byte(HexValue(FIn[FPos]) << 4 | HexValue(FIn[FPos + 1]));
            FPos += 2;
            if (FUcLeft > 0) {
                --FUcLeft;
                return;
            }
            if (FState.Dest == dPict)
                return;
            AddByte(B);
        }
        return;
    }
    if (FUcLeft > 0) {
        --FUcLeft;
        return;
    }
    switch (C) {
    case '*': FStarStar = true; return;
    case '\\':
    case '{':
    case '}': AddByte(Byte(C)); return;
    case '~': AddChar(0x00A0); return;
    case '_': AddChar(0x2011); return;
    case '-': return; // an optional hyphen: only where a line breaks
    case '\r':
    case '\n': EndParagraph(); return; // "\" before a line end is \par
    case '\t': AddChar(u'\t'); return;
    default: return;
    }
}

void TRtfReader::AddByte(Byte B)
{
    if (Skipping() || FState.Dest == dPict)
        return;
    const Word Page = FState.FontPage ? FState.FontPage : FDocPage;
    if (!FBytes.empty() && FBytesPage != Page)
        DecodeBytes();
    FBytesPage = Page;
    FBytes.push_back(char(B));
}

void TRtfReader::DecodeBytes()
{
    if (FBytes.empty())
        return;
    FText += DecodeCodePage(FBytes, FBytesPage);
    FBytes.clear();
}

void TRtfReader::AddChar(Char C)
{
    if (Skipping() || FState.Dest == dPict)
        return;
    DecodeBytes();
    FText.push_back(C);
}

void TRtfReader::AddUnicode(Int64 Value)
{
    if (Value < 0)
        Value += 65536;
    AddChar(Value >= 0 && Value <= 0xFFFF ? Char(Value) : Char(0xFFFD));
    FUcLeft = FState.Uc;
}

void TRtfReader::FlushText()
{
    DecodeBytes();
    if (FText.empty())
        return;
    switch (FState.Dest) {
    case dBody: {
        if (FState.LinkResult && FState.Field >= 0) {
            TRichCharFormat F = FState.Char;
            F.Effects |= CFE_LINK;
            F.LinkTarget = HyperlinkTarget(FFieldInsts[size_t(FState.Field)]);
            FDoc.Append(FText, F);
        } else {
            FDoc.Append(FText, FState.Char);
        }
        break;
    }
    case dFontTable:
        if (Integer(FFontEntry.Name.size()) < MaxFaceChars)
            FFontEntry.Name += FText.substr(0, size_t(MaxFaceChars) - FFontEntry.Name.size());
        break;
    case dFieldInst:
        if (FState.Field >= 0 && FFieldInsts[size_t(FState.Field)].size() < 4096)
            FFieldInsts[size_t(FState.Field)] += FText.substr(0, 4096);
        break;
    default: break;
    }
    FText.clear();
}

void TRtfReader::EndFontEntry()
{
    FlushText();
    // Cut to what a format holds first, so the name never ends in a
    // space that reading it again would drop.
    String Name = FFontEntry.Name.substr(0, MaxFaceName);
    while (!Name.empty() && (Name.back() == u' ' || Name.back() == u';'))
        Name.pop_back();
    FFontEntry.Name = Name;
    FFonts[FFontNumber] = std::move(FFontEntry);
    FFontEntry = {};
}

void TRtfReader::EndColor()
{
    FColors.push_back(FColorSet ? Int64(FRed | FGreen << 8 | FBlue << 16) : -1);
    FRed = FGreen = FBlue = 0;
    FColorSet = false;
}

void TRtfReader::EndParagraph()
{
    if (FState.Dest != dBody)
        return;
    FlushText();
    FDoc.SetLastParaFormat(CurrentPara());
    FDoc.Append(u"\r", FState.Char);
}

TRichParaFormat TRtfReader::CurrentPara() const
{
    TRichParaFormat P = FState.Para;
    P.StartIndent = ClampTwips(Int64(FState.LeftIndent) + FState.FirstIndent);
    P.Offset = ClampTwips(-Int64(FState.FirstIndent));
    return P;
}

void TRtfReader::EndPicture(const TState& Closed)
{
    TRichPicture Picture = std::move(FPicture);
    FPicture = {};
    FNibble = -1;
    // A picture whose own header cannot be read could never be shown.
    if (Picture.Format == rpfNone || !ReadPictureSize(Picture))
        return;
    if (FState.Object == 0) {
        FObjectPicture = std::move(Picture);
        FHavePicture = true;
        return;
    }
    if (FState.Dest != dBody)
        return;
    FlushText();
    TRichObject Object;
    Object.Picture = std::move(Picture);
    std::vector<TRichObject> One;
    One.push_back(std::move(Object));
    FDoc.Append(u"\uFFFC", FState.Char, std::move(One));
}

void TRtfReader::EndObject(const TState& Closed, size_t End)
{
    TRichObject Object;
    Object.Kind = rokObject;
    // Kept whole only when it can go out again as it came: complete, 7-bit
    // and without binary data (whose count a change of escaping breaks).
    const std::string_view Source = FIn.substr(Closed.GroupStart, End - Closed.GroupStart);
    if (!FAtEnd && Source.find("\\bin") == std::string_view::npos
        && std::all_of(Source.begin(), Source.end(), [](char C) { return Byte(C) < 0x80 && C != 0; }))
        Object.Source = RawBytes(Source);
    else
        Object.Kind = rokPicture;
    if (FHavePicture)
        Object.Picture = std::move(FObjectPicture);
    const bool Shown = FHavePicture;
    FObjectPicture = {};
    FHavePicture = false;
    if (FState.Dest != dBody || (Object.Kind == rokPicture && !Shown))
        return;
    std::vector<TRichObject> One;
    One.push_back(std::move(Object));
    FDoc.Append(u"\uFFFC", FState.Char, std::move(One));
}

TRichCharFormat TRtfReader::PlainFormat() const
{
    TRichCharFormat F;
    F.FaceName = FDoc.DefaultFormat().FaceName;
    F.Height = 24 * 10; // \fs24, RTF's default size
    auto It = FFonts.find(FDefaultFont);
    if (It != FFonts.end()) {
        F.FaceName = It->second.Name;
        F.Charset = It->second.Charset;
        F.PitchAndFamily = It->second.Pitch;
    }
    return F;
}

void TRtfReader::SetFont(Int64 Number)
{
    auto It = FFonts.find(Number);
    if (It == FFonts.end())
        return;
    FState.Char.FaceName = It->second.Name;
    FState.Char.Charset = It->second.Charset;
    FState.Char.PitchAndFamily = It->second.Pitch;
    FState.FontPage = CharsetCodePage(It->second.Charset);
}

bool TRtfReader::DestinationWord(std::string_view W)
{
    // Groups whose content is not text of the document.
    static constexpr std::string_view Skipped[] = { "info", "stylesheet", "header", "headerl", "headerr", "headerf",
        "footer", "footerl", "footerr", "footerf", "footnote", "annotation", "pntext", "pntxta", "pntxtb", "listtext",
        "nonshppict", "objdata", "objclass", "objalias", "objsect", "shp", "shprslt", "xe", "tc", "rxe", "txe",
        "private", "template", "author", "title", "subject", "doccomm", "keywords", "comment", "operator", "company",
        "category", "manager", "hlinkbase", "revtbl", "listtable", "listoverridetable", "fldtype", "datafield",
        "atnid", "atnauthor", "bkmkstart", "bkmkend", "field_data", "themedata", "colorschememapping",
        "latentstyles", "datastore", "pgdsctbl", "rsidtbl", "generator", "mmathPr", "xmlnstbl", "userprops",
        "ftnsep", "ftnsepc", "ftncn", "aftnsep", "aftnsepc", "aftncn", "picprop", "blipuid" };
    if (W == "fonttbl") {
        FState.Dest = dFontTable;
        return true;
    }
    if (W == "colortbl") {
        FState.Dest = dColorTable;
        return true;
    }
    if (std::find(std::begin(Skipped), std::end(Skipped), W) != std::end(Skipped)) {
        SkipGroup(true);
        return true;
    }
    if (W == "field") {
        if (FFieldInsts.size() < FIn.size()) {
            FFieldInsts.emplace_back();
            FState.Field = Integer(FFieldInsts.size() - 1);
        }
        return true;
    }
    if (W == "fldinst") {
        FState.Dest = dFieldInst;
        return true;
    }
    if (W == "fldrslt") {
        FState.LinkResult = FState.Field >= 0 && !HyperlinkTarget(FFieldInsts[size_t(FState.Field)]).empty();
        return true;
    }
    if (W == "pict") {
        if (FOptions.NoObjects || (FState.Dest != dBody && FState.Object != 0) || FState.Pict) {
            SkipGroup(true);
            return true;
        }
        FPicture = {};
        FNibble = -1;
        FState.Pict = true;
        FState.Dest = dPict;
        return true;
    }
    if (W == "object") {
        // Kept whole as its group, so the word must open that group.
        const bool Opens = !FStack.empty() && FIn.substr(FState.GroupStart, 8) == "{\\object";
        if (FOptions.NoObjects || FState.Dest != dBody || FState.Object >= 0 || !Opens) {
            SkipGroup(true);
            return true;
        }
        FState.Object = 0;
        // Its text is the other program's, kept in its source; only its
        // result picture is shown.
        FState.Dest = dDiscard;
        FHavePicture = false;
        FObjectPicture = {};
        return true;
    }
    if (W == "result") {
        FState.Dest = FState.Object == 0 ? dDiscard : FState.Dest;
        return true;
    }
    if (W == "pn") {
        FState.Dest = dDiscard; // its words set the paragraph's bullets; its text is left out
        FState.Pn = true;
        return true;
    }
    if (W == "shppict")
        return true;
    return false;
}

bool TRtfReader::CharWord(std::string_view W, bool HasParam, Int64 Param)
{
    TRichCharFormat& F = FState.Char;
    const bool On = !HasParam || Param != 0;
    auto Effect = [&](Cardinal Bit, bool Set) { F.Effects = Set ? (F.Effects | Bit) : (F.Effects & ~Bit); };
    if (W == "plain") {
        F = PlainFormat();
        FState.FontPage = CharsetCodePage(F.Charset);
    } else if (W == "b") {
        Effect(CFE_BOLD, On);
        F.Weight = On ? 700 : 400;
    } else if (W == "i") {
        Effect(CFE_ITALIC, On);
    } else if (W == "ul" || W == "uld" || W == "uldb" || W == "ulw" || W == "ulwave" || W == "uldash"
        || W == "ulth" || W == "ulhwave" || W == "ululdbwave" || W == "uldashd" || W == "uldashdd") {
        Effect(CFE_UNDERLINE, On);
    } else if (W == "ulnone") {
        Effect(CFE_UNDERLINE, false);
    } else if (W == "strike" || W == "striked") {
        Effect(CFE_STRIKEOUT, On);
    } else if (W == "v") {
        Effect(CFE_HIDDEN, On);
    } else if (W == "protect") {
        Effect(CFE_PROTECTED, On);
    } else if (W == "disabled") {
        Effect(CFE_DISABLED, On);
    } else if (W == "sub") {
        Effect(CFE_SUPERSCRIPT, false);
        Effect(CFE_SUBSCRIPT, On);
    } else if (W == "super") {
        Effect(CFE_SUBSCRIPT, false);
        Effect(CFE_SUPERSCRIPT, On);
    } else if (W == "nosupersub") {
        Effect(CFE_SUBSCRIPT | CFE_SUPERSCRIPT, false);
    } else if (W == "up" || W == "dn") {
        const Int64 HalfPoints = HasParam ? Param : 6;
        F.Offset = ClampTwips((W == "up" ? HalfPoints : -HalfPoints) * 10);
    } else if (W == "fs") {
        F.Height = ClampCharHeight((HasParam ? Param : 24) * 10);
    } else if (W == "f") {
        if (HasParam)
            SetFont(Param);
    } else if (W == "cf" || W == "cb" || W == "highlight" || W == "chcbpat") {
        const bool Text = W == "cf";
        const Int64 Color = HasParam && Param > 0 && Param < Int64(FColors.size()) ? FColors[size_t(Param)] : -1;
        const Cardinal Auto = Text ? CFE_AUTOCOLOR : CFE_AUTOBACKCOLOR;
        Effect(Auto, Color < 0);
        (Text ? F.TextColor : F.BackColor) = Color < 0 ? 0 : TColor(Color);
    } else {
        return false;
    }
    return true;
}

bool TRtfReader::ParaWord(std::string_view W, bool HasParam, Int64 Param)
{
    TRichParaFormat& P = FState.Para;
    const Integer Twips = ClampTwips(HasParam ? Param : 0);
    if (W == "pard") {
        P = {};
        FState.LeftIndent = FState.FirstIndent = FState.TabKind = 0;
    } else if (W == "ql") {
        P.Alignment = PFA_LEFT;
    } else if (W == "qr") {
        P.Alignment = PFA_RIGHT;
    } else if (W == "qc") {
        P.Alignment = PFA_CENTER;
    } else if (W == "qj" || W == "qd") {
        P.Alignment = PFA_JUSTIFY;
    } else if (W == "li") {
        // Kept wider than an indent: the first line's indent is \li + \fi.
        FState.LeftIndent = Integer(std::clamp<Int64>(HasParam ? Param : 0, -2 * MaxTwips, 2 * MaxTwips));
    } else if (W == "fi") {
        FState.FirstIndent = Twips;
    } else if (W == "ri") {
        P.RightIndent = Twips;
    } else if (W == "sb") {
        P.SpaceBefore = std::max(Twips, 0);
    } else if (W == "sa") {
        P.SpaceAfter = std::max(Twips, 0);
    } else if (W == "sl") {
        P.LineSpacing = Twips < 0 ? -Twips : Twips;
        P.LineSpacingRule = Twips == 0 ? 0 : Twips < 0 ? 4 : 3;
    } else if (W == "slmult") {
        if (HasParam && Param == 1 && P.LineSpacingRule == 3) {
            P.LineSpacingRule = 5;
            P.LineSpacing = P.LineSpacing * 20 / 240;
        }
    } else if (W == "tqr" || W == "tqc" || W == "tqdec") {
        FState.TabKind = W == "tqc" ? 1 : W == "tqr" ? 2 : 3;
    } else if (W == "tx" || W == "tb") {
        if (P.TabCount < MAX_TAB_STOPS && Twips > 0)
            P.Tabs[size_t(P.TabCount++)] = (FState.TabKind << 24) | (Twips & 0xFFFFFF);
        FState.TabKind = 0;
    } else if (W == "pnlvlblt" || W == "pnlvlbody") {
        P.Numbering = W == "pnlvlblt" ? PFN_BULLET : PFN_ARABIC;
        // The description is a group of its own; what it says belongs to
        // the paragraph around it.
        if (FState.Pn && !FStack.empty())
            FStack.back().Para.Numbering = P.Numbering;
    } else if (W == "ls") {
        // A list of the newer kind: shown as bullets.
        P.Numbering = PFN_BULLET;
    } else {
        return false;
    }
    return true;
}

void TRtfReader::Keyword(std::string_view W, bool HasParam, Int64 Param)
{
    const bool Star = FStarStar;
    FStarStar = false;
    if (DestinationWord(W))
        return;
    if (FState.Dest == dPict) {
        auto Clamped = [&] { return Integer(std::clamp<Int64>(Param, 0, MaxTwips * 20)); };
        if (W == "pngblip")
            FPicture.Format = rpfPng;
        else if (W == "jpegblip")
            FPicture.Format = rpfJpeg;
        else if (W == "dibitmap")
            FPicture.Format = rpfDib;
        else if (W == "picw")
            FPicture.Width = Clamped();
        else if (W == "pich")
            FPicture.Height = Clamped();
        else if (W == "picwgoal")
            FPicture.GoalWidth = std::min(Clamped(), MaxTwips);
        else if (W == "pichgoal")
            FPicture.GoalHeight = std::min(Clamped(), MaxTwips);
        else if (W == "picscalex")
            FPicture.ScaleX = std::clamp<Integer>(Integer(std::min<Int64>(Param, 1000)), 1, 1000);
        else if (W == "picscaley")
            FPicture.ScaleY = std::clamp<Integer>(Integer(std::min<Int64>(Param, 1000)), 1, 1000);
        else if (W == "wmetafile" || W == "emfblip" || W == "macpict" || W == "wbitmap" || W == "pmmetafile")
            FPicture.Format = rpfNone;
        return;
    }
    // Characters by number, wherever text goes (font names too).
    if (W == "u") {
        if (HasParam)
            AddUnicode(Param);
        return;
    }
    if (W == "uc") {
        FState.Uc = Integer(std::clamp<Int64>(HasParam ? Param : 1, 0, 16));
        return;
    }
    if (Star) {
        // "\*" marks a destination a reader may not know: its group goes.
        SkipGroup(true);
        return;
    }
    if (FState.Dest == dFontTable) {
        if (W == "f" && HasParam) {
            if (!FFontEntry.Name.empty())
                EndFontEntry();
            FFontNumber = Param;
        } else if (W == "fcharset" && HasParam) {
            FFontEntry.Charset = Byte(std::clamp<Int64>(Param, 0, 255));
            FState.FontPage = CharsetCodePage(FFontEntry.Charset);
        } else if (W == "fprq" && HasParam) {
            FFontEntry.Pitch = Param == 1 ? FIXED_PITCH : Param == 2 ? VARIABLE_PITCH : DEFAULT_PITCH;
        }
        return;
    }
    if (FState.Dest == dColorTable) {
        const Integer V = Integer(std::clamp<Int64>(HasParam ? Param : 0, 0, 255));
        if (W == "red")
            FRed = V, FColorSet = true;
        else if (W == "green")
            FGreen = V, FColorSet = true;
        else if (W == "blue")
            FBlue = V, FColorSet = true;
        return;
    }
    if (W == "ansicpg") {
        if (HasParam && Param > 0 && Param < 65536 && CodePageKnown(::Word(Param)))
            FDocPage = ::Word(Param);
        return;
    }
    if (W == "mac") {
        FDocPage = 10000;
        return;
    }
    if (W == "pc") {
        FDocPage = 437;
        return;
    }
    if (W == "pca") {
        FDocPage = 850;
        return;
    }
    if (W == "deff") {
        FDefaultFont = HasParam ? Param : 0;
        return;
    }
    FlushText();
    if (CharWord(W, HasParam, Param) || ParaWord(W, HasParam, Param))
        return;
    if (W == "par" || W == "row" || W == "sect") {
        EndParagraph();
        return;
    }
    struct TSymbol {
        std::string_view Name;
        Char C;
    };
    static constexpr TSymbol Symbols[] = { { "tab", u'\t' }, { "cell", u'\t' }, { "line", u'\v' },
        { "emdash", 0x2014 }, { "endash", 0x2013 }, { "lquote", 0x2018 }, { "rquote", 0x2019 },
        { "ldblquote", 0x201C }, { "rdblquote", 0x201D }, { "bullet", 0x2022 }, { "emspace", 0x2003 },
        { "enspace", 0x2002 }, { "qmspace", 0x2005 }, { "zwj", 0x200D }, { "zwnj", 0x200C }, { "ltrmark", 0x200E },
        { "rtlmark", 0x200F } };
    for (const TSymbol& S : Symbols)
        if (S.Name == W) {
            AddChar(S.C);
            return;
        }
}

}

bool LooksLikeRtf(std::string_view Bytes)
{
    const size_t I = Bytes.find_first_not_of(" \t\r\n");
    return I != std::string_view::npos && Bytes.substr(I, 5) == "{\\rtf";
}

TRtfReadResult ReadRtf(std::string_view Bytes, TRichDocument& Doc, const TRtfReadOptions& Options)
{
    TRtfReader Reader(Bytes, Doc, Options);
    return Reader.Read();
}
