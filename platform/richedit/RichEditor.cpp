#include "richedit/RichEditor.h"
#include <algorithm>

namespace {

bool IsHighSurrogate(Char C)
{
    return C >= 0xD800 && C <= 0xDBFF;
}

bool IsLowSurrogate(Char C)
{
    return C >= 0xDC00 && C <= 0xDFFF;
}

bool IsSpace(Char C)
{
    return C == u' ' || C == u'\t' || C == ParagraphMark || C == u'\v' || C == ObjectMark || C == 0xA0;
}

// Whether Word starts as an address the user would click.
bool LooksLikeUrl(StringView Word)
{
    static constexpr StringView Starts[] = { u"http://", u"https://", u"ftp://", u"mailto:", u"file://", u"www." };
    for (StringView S : Starts)
        if (Word.size() > S.size() && Word.substr(0, S.size()) == S)
            return true;
    return false;
}

}

void TRichEditor::SetDocument(TRichDocument Doc)
{
    FDoc = std::move(Doc);
    FUndo.clear();
    FAnchor = FCaret = 0;
    FPending.reset();
    DetectUrls(0, FDoc.Length());
}

void TRichEditor::SetSel(Integer Anchor, Integer Caret)
{
    FAnchor = std::clamp(Anchor, 0, FDoc.Length());
    FCaret = std::clamp(Caret, 0, FDoc.Length());
    FPending.reset();
}

String TRichEditor::SelText() const
{
    return FDoc.Text().substr(size_t(SelStart()), size_t(SelLength()));
}

TRichCharFormat TRichEditor::InsertionFormat() const
{
    if (FPending)
        return *FPending;
    const Integer At = SelStart();
    TRichCharFormat F = FDoc.CharFormatAt(At > 0 && FDoc.Text()[size_t(At - 1)] != ParagraphMark ? At - 1 : At);
    // Typing next to a link does not make more of the link.
    F.Effects &= ~CFE_LINK;
    F.LinkTarget.clear();
    return F;
}

void TRichEditor::SetSelFormat(const TRichCharFormat& Format, Cardinal Mask)
{
    if (SelLength() == 0) {
        TRichCharFormat F = InsertionFormat();
        F.Apply(Format, Mask);
        FPending = F;
        return;
    }
    const Integer Start = SelStart(), End = Start + SelLength();
    if (!AllowChange(Start, End))
        return;
    Remember(Start, End, End - Start);
    FDoc.SetCharFormat(Start, End, Format, Mask);
}

void TRichEditor::ToggleSelStyle(Cardinal Effect)
{
    // Read once, from the selection's first character; the runs are then
    // changed in this one field only, so each keeps its other styles.
    TRichCharFormat First;
    FDoc.CharFormatOf(SelStart(), SelStart() + SelLength(), First);
    const TRichCharFormat Current = SelLength() ? First : InsertionFormat();
    TRichCharFormat F;
    F.Effects = (Current.Effects & Effect) ? 0 : Effect;
    SetSelFormat(F, Effect);
}

void TRichEditor::SetParaFormat(const TRichParaFormat& Format, Cardinal Mask)
{
    const Integer Start = SelStart(), End = Start + SelLength();
    Remember(Start, End, End - Start);
    FDoc.SetParaFormat(Start, End, Format, Mask);
}

bool TRichEditor::AllowChange(Integer Start, Integer End)
{
    bool Touched = false;
    if (Start == End) {
        // Typing inside protected text, not at its edge.
        Touched = Start > 0 && Start < FDoc.Length() && (FDoc.CharFormatAt(Start - 1).Effects & CFE_PROTECTED)
            && (FDoc.CharFormatAt(Start).Effects & CFE_PROTECTED);
    } else {
        for (size_t R = FDoc.RunIndexAt(Start); R < FDoc.Runs().size() && FDoc.Runs()[R].Start < End && !Touched; ++R)
            Touched = FDoc.Runs()[R].Format.Effects & CFE_PROTECTED;
    }
    if (!Touched)
        return true;
    bool Allow = false;
    if (OnProtectChange)
        OnProtectChange(Start, End, Allow);
    return Allow;
}

void TRichEditor::Remember(Integer Start, Integer End, Integer NewLength)
{
    if (FUndoLimit <= 0)
        return;
    TStep Step;
    Step.Start = Start;
    Step.NewLength = NewLength;
    Step.Old = FDoc.Slice(Start, End);
    for (size_t P = FDoc.ParaIndexAt(Start); P <= FDoc.ParaIndexAt(End); ++P)
        Step.OldParas.emplace_back(P, FDoc.Paras()[P].Format);
    Step.Anchor = FAnchor;
    Step.Caret = FCaret;
    FUndo.push_back(std::move(Step));
    if (Integer(FUndo.size()) > FUndoLimit)
        FUndo.erase(FUndo.begin());
}

void TRichEditor::Replace(Integer Start, Integer End, StringView Text, const TRichCharFormat& Format)
{
    FDoc.Delete(Start, End - Start);
    FDoc.Insert(Start, Text, Format);
    FAnchor = FCaret = Start + Integer(Text.size());
    FPending.reset();
    DetectUrls(Start, FCaret);
}

bool TRichEditor::ReplaceSel(StringView Text)
{
    const Integer Start = SelStart(), End = Start + SelLength();
    if (!AllowChange(Start, End))
        return false;
    const TRichCharFormat Format = InsertionFormat();
    Remember(Start, End, Integer(Text.size()));
    Replace(Start, End, Text, Format);
    return true;
}

bool TRichEditor::ReplaceSelDocument(const TRichDocument& Doc)
{
    const Integer Start = SelStart(), End = Start + SelLength();
    if (!AllowChange(Start, End))
        return false;
    Remember(Start, End, Doc.Length());
    FDoc.Delete(Start, End - Start);
    FDoc.InsertDocument(Start, Doc);
    FAnchor = FCaret = Start + Doc.Length();
    FPending.reset();
    DetectUrls(Start, FCaret);
    return true;
}

void TRichEditor::SetDefaultFormat(const TRichCharFormat& Format, Cardinal Mask)
{
    FDoc.SetDefaultFormat(Format, Mask);
    if (FDoc.Length() == 0)
        FPending.reset();
}

bool TRichEditor::Undo()
{
    if (FUndo.empty())
        return false;
    TStep Step = std::move(FUndo.back());
    FUndo.pop_back();
    FDoc.Delete(Step.Start, Step.NewLength);
    FDoc.InsertDocument(Step.Start, Step.Old);
    for (const auto& [Index, Format] : Step.OldParas)
        if (Index < FDoc.Paras().size()) {
            const Integer At = FDoc.Paras()[Index].Start;
            FDoc.SetParaFormat(At, At, Format, PFM_ALL2);
        }
    FAnchor = Step.Anchor;
    FCaret = Step.Caret;
    FPending.reset();
    DetectUrls(Step.Start, Step.Start + Step.Old.Length());
    return true;
}

void TRichEditor::SetUndoLimit(Integer Value)
{
    FUndoLimit = std::max(Value, 0);
    if (Integer(FUndo.size()) > FUndoLimit)
        FUndo.erase(FUndo.begin(), FUndo.begin() + (Integer(FUndo.size()) - FUndoLimit));
}

void TRichEditor::SetAutoURLDetect(bool Value)
{
    FAutoURLDetect = Value;
    DetectUrls(0, FDoc.Length());
}

void TRichEditor::DetectUrls(Integer Start, Integer End)
{
    // Whole paragraphs: an edit may join or split an address.
    Start = FDoc.Paras()[FDoc.ParaIndexAt(Start)].Start;
    End = FDoc.ParaEnd(FDoc.ParaIndexAt(End));
    TRichCharFormat Plain, Link;
    Link.Effects = CFE_LINK;
    // Links found in the text have no target; a hyperlink field's stay.
    for (size_t R = FDoc.RunIndexAt(Start); R < FDoc.Runs().size() && FDoc.Runs()[R].Start < End; ++R) {
        const TRichCharFormat& F = FDoc.Runs()[R].Format;
        if ((F.Effects & CFE_LINK) && F.LinkTarget.empty())
            FDoc.SetCharFormat(std::max(FDoc.Runs()[R].Start, Start), std::min(FDoc.RunEnd(R), End), Plain, CFM_LINK);
    }
    if (!FAutoURLDetect)
        return;
    const String& Text = FDoc.Text();
    for (Integer I = Start; I < End;) {
        while (I < End && IsSpace(Text[size_t(I)]))
            ++I;
        Integer J = I;
        while (J < End && !IsSpace(Text[size_t(J)]))
            ++J;
        Integer K = J; // trailing punctuation is the sentence's, not the address's
        while (K > I && StringView(u".,;:!?)]'\"").find(Text[size_t(K - 1)]) != StringView::npos)
            --K;
        if (LooksLikeUrl(StringView(Text).substr(size_t(I), size_t(K - I)))) {
            TRichCharFormat F;
            const Cardinal Uniform = FDoc.CharFormatOf(I, K, F);
            if ((Uniform & CFM_LINK) && F.LinkTarget.empty())
                FDoc.SetCharFormat(I, K, Link, CFM_LINK);
        }
        I = J;
    }
}

bool TRichEditor::KeyDown(Word Key, bool Shift, bool Ctrl)
{
    const String& Text = FDoc.Text();
    auto Move = [&](Integer To) {
        FCaret = std::clamp(To, 0, FDoc.Length());
        if (!Shift)
            FAnchor = FCaret;
        FPending.reset();
    };
    auto Step = [&](Integer From, Integer By) {
        Integer To = From + By;
        // A surrogate pair is one character.
        if (To > 0 && To < FDoc.Length() && IsLowSurrogate(Text[size_t(To)]) && IsHighSurrogate(Text[size_t(To - 1)]))
            To += By;
        return std::clamp(To, 0, FDoc.Length());
    };
    if (Ctrl) {
        switch (Key) {
        case 'B': ToggleSelStyle(CFE_BOLD); return true;
        case 'I': ToggleSelStyle(CFE_ITALIC); return true;
        case 'U': ToggleSelStyle(CFE_UNDERLINE); return true;
        case 'Z': Undo(); return true;
        case 'A': SetSel(0, FDoc.Length()); return true;
        default: break;
        }
    }
    switch (Key) {
    case VK_LEFT: Move(Shift || !SelLength() ? Step(FCaret, -1) : SelStart()); return true;
    case VK_RIGHT: Move(Shift || !SelLength() ? Step(FCaret, 1) : SelStart() + SelLength()); return true;
    case VK_HOME: Move(FDoc.Paras()[FDoc.ParaIndexAt(FCaret)].Start); return true;
    case VK_END: {
        const size_t P = FDoc.ParaIndexAt(FCaret);
        const Integer End = FDoc.ParaEnd(P);
        Move(End > FDoc.Paras()[P].Start && End <= FDoc.Length() && Text[size_t(End - 1)] == ParagraphMark ? End - 1 : End);
        return true;
    }
    case VK_BACK:
    case VK_DELETE:
        if (!SelLength()) {
            const Integer Other = Step(FCaret, Key == VK_BACK ? -1 : 1);
            if (Other == FCaret)
                return true;
            FAnchor = Other;
        }
        ReplaceSel(u"");
        return true;
    case VK_RETURN: ReplaceSel(u"\r"); return true;
    default: return false;
    }
}

void TRichEditor::KeyPress(Char C)
{
    if (C >= 0x20 || C == u'\t')
        ReplaceSel(StringView(&C, 1));
}

std::optional<std::pair<Integer, Integer>> TRichEditor::LinkAt(Integer Pos) const
{
    if (Pos < 0 || Pos >= FDoc.Length() || !(FDoc.CharFormatAt(Pos).Effects & CFE_LINK))
        return {};
    const String& Target = FDoc.CharFormatAt(Pos).LinkTarget;
    auto Same = [&](Integer I) {
        const TRichCharFormat& F = FDoc.CharFormatAt(I);
        return (F.Effects & CFE_LINK) && F.LinkTarget == Target;
    };
    Integer A = Pos, B = Pos + 1;
    while (A > 0 && Same(A - 1))
        --A;
    while (B < FDoc.Length() && Same(B))
        ++B;
    return std::pair { A, B };
}

void TRichEditor::MouseDown(Integer Pos)
{
    FLinkAnchor = LinkAt(Pos);
}

void TRichEditor::MouseUp(Integer Pos)
{
    const auto Range = LinkAt(Pos);
    const auto Anchor = FLinkAnchor;
    FLinkAnchor.reset();
    if (!Range || !Anchor || *Range != *Anchor || !OnURLClick)
        return;
    // A hyperlink field gives where it leads; a link found in the text is its own text.
    const String& Target = FDoc.CharFormatAt(Range->first).LinkTarget;
    OnURLClick(Target.empty() ? FDoc.Text().substr(size_t(Range->first), size_t(Range->second - Range->first)) : Target);
}
