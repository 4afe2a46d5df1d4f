#include "richedit/RichDocument.h"
#include <algorithm>

namespace {

Integer ShownLength(Integer Goal, Integer Pixels, Integer Scale)
{
    const Int64 Twips = Goal > 0 ? Goal : Int64(Pixels) * 15; // 1440 / 96
    return ClampTwips(Twips * std::clamp(Scale, 1, 1000) / 100);
}

}

Integer TRichPicture::ShownWidth() const
{
    return ShownLength(GoalWidth, Width, ScaleX);
}

Integer TRichPicture::ShownHeight() const
{
    return ShownLength(GoalHeight, Height, ScaleY);
}

TRichDocument::TRichDocument()
{
    Clear();
}

void TRichDocument::Clear()
{
    FText.clear();
    FObjects.clear();
    FRuns.assign(1, TRun { 0, FDefault });
    FParas.assign(1, TPara {});
}

Integer TRichDocument::Clamp(Integer Pos) const
{
    return std::clamp(Pos, 0, Length());
}

size_t TRichDocument::RunIndexAt(Integer Pos) const
{
    auto It = std::upper_bound(FRuns.begin(), FRuns.end(), Pos, [](Integer P, const TRun& R) { return P < R.Start; });
    return It == FRuns.begin() ? 0 : size_t(It - FRuns.begin() - 1);
}

Integer TRichDocument::RunEnd(size_t Index) const
{
    return Index + 1 < FRuns.size() ? FRuns[Index + 1].Start : Length();
}

size_t TRichDocument::SplitRunAt(Integer Pos)
{
    if (Pos >= Length())
        return FRuns.size();
    const size_t I = RunIndexAt(Pos);
    if (FRuns[I].Start == Pos)
        return I;
    FRuns.insert(FRuns.begin() + Integer(I) + 1, TRun { Pos, FRuns[I].Format });
    return I + 1;
}

void TRichDocument::NormalizeRuns()
{
    std::vector<TRun> Out;
    Out.reserve(FRuns.size());
    for (size_t I = 0; I < FRuns.size(); ++I) {
        if (RunEnd(I) <= FRuns[I].Start && !FText.empty())
            continue; // empty
        if (!Out.empty() && Out.back().Format == FRuns[I].Format)
            continue;
        Out.push_back(std::move(FRuns[I]));
    }
    if (Out.empty())
        Out.push_back(TRun { 0, FRuns.empty() ? FDefault : FRuns.front().Format });
    if (FText.empty())
        Out.resize(1);
    Out.front().Start = 0;
    FRuns = std::move(Out);
}

Integer TRichDocument::ObjectsBefore(Integer Pos) const
{
    return Integer(std::count(FText.begin(), FText.begin() + Clamp(Pos), ObjectMark));
}

Integer TRichDocument::ObjectIndexAt(Integer Pos) const
{
    if (Pos < 0 || Pos >= Length() || FText[size_t(Pos)] != ObjectMark)
        return -1;
    return ObjectsBefore(Pos);
}

TRichObject* TRichDocument::ObjectAt(Integer Pos)
{
    const Integer I = ObjectIndexAt(Pos);
    return I < 0 ? nullptr : &FObjects[size_t(I)];
}

void TRichDocument::Insert(Integer Pos, StringView Text, const TRichCharFormat& Format, std::vector<TRichObject> Objects)
{
    if (Text.empty())
        return;
    Pos = Clamp(Pos);
    const Integer N = Integer(Text.size());

    std::vector<TRichObject> Placed;
    size_t Next = 0;
    for (Char C : Text)
        if (C == ObjectMark)
            Placed.push_back(Next < Objects.size() ? std::move(Objects[Next++]) : TRichObject {});
    if (!Placed.empty()) {
        const Integer At = ObjectsBefore(Pos);
        FObjects.insert(FObjects.begin() + At, std::make_move_iterator(Placed.begin()),
            std::make_move_iterator(Placed.end()));
    }

    const bool WasEmpty = FText.empty();
    const size_t R = WasEmpty ? 0 : SplitRunAt(Pos);
    for (size_t I = R; I < FRuns.size(); ++I)
        FRuns[I].Start += N;
    FRuns.insert(FRuns.begin() + Integer(R), TRun { Pos, Format });

    const size_t P = ParaIndexAt(Pos);
    for (size_t I = P + 1; I < FParas.size(); ++I)
        FParas[I].Start += N;
    std::vector<TPara> Made;
    for (Integer J = 0; J < N; ++J)
        if (Text[size_t(J)] == ParagraphMark)
            Made.push_back(TPara { Pos + J + 1, FParas[P].Format });
    FParas.insert(FParas.begin() + Integer(P) + 1, Made.begin(), Made.end());

    FText.insert(size_t(Pos), Text);
    NormalizeRuns();
}

void TRichDocument::Append(StringView Text, const TRichCharFormat& Format, std::vector<TRichObject> Objects)
{
    if (Text.empty())
        return;
    size_t Next = 0;
    const Integer Base = Length();
    for (size_t J = 0; J < Text.size(); ++J) {
        if (Text[J] == ObjectMark)
            FObjects.push_back(Next < Objects.size() ? std::move(Objects[Next++]) : TRichObject {});
        else if (Text[J] == ParagraphMark)
            FParas.push_back(TPara { Base + Integer(J) + 1, FParas.back().Format });
    }
    if (FText.empty())
        FRuns.front().Format = Format;
    else if (!(FRuns.back().Format == Format))
        FRuns.push_back(TRun { Base, Format });
    FText.append(Text);
}

void TRichDocument::SetLastParaFormat(const TRichParaFormat& Format)
{
    FParas.back().Format.Apply(Format, PFM_ALL2);
}

void TRichDocument::Delete(Integer Pos, Integer Count)
{
    Pos = Clamp(Pos);
    const Integer End = Clamp(Count > Length() - Pos ? Length() : Pos + std::max(Count, 0));
    if (End <= Pos)
        return;
    const Integer N = End - Pos;

    const Integer FirstObject = ObjectsBefore(Pos);
    const Integer Gone = Integer(std::count(FText.begin() + Pos, FText.begin() + End, ObjectMark));
    FObjects.erase(FObjects.begin() + FirstObject, FObjects.begin() + FirstObject + Gone);

    const TRichCharFormat Kept = CharFormatAt(Pos);
    const size_t A = SplitRunAt(Pos);
    const size_t B = SplitRunAt(End);
    FRuns.erase(FRuns.begin() + Integer(A), FRuns.begin() + Integer(B));
    for (size_t I = A; I < FRuns.size(); ++I)
        FRuns[I].Start -= N;

    // A removed paragraph mark joins two paragraphs; the joined one keeps
    // the format of the mark that ends it, the later one.
    const size_t P = ParaIndexAt(Pos);
    size_t Q = P + 1;
    while (Q < FParas.size() && FParas[Q].Start <= End)
        ++Q;
    if (Q > P + 1) {
        FParas[P].Format = FParas[Q - 1].Format;
        FParas.erase(FParas.begin() + Integer(P) + 1, FParas.begin() + Integer(Q));
    }
    for (size_t I = P + 1; I < FParas.size(); ++I)
        FParas[I].Start -= N;

    FText.erase(size_t(Pos), size_t(N));
    if (FRuns.empty())
        FRuns.push_back(TRun { 0, Kept });
    NormalizeRuns();
}

const TRichCharFormat& TRichDocument::CharFormatAt(Integer Pos) const
{
    return FRuns[RunIndexAt(Clamp(Pos))].Format;
}

Cardinal TRichDocument::CharFormatOf(Integer Start, Integer End, TRichCharFormat& Format) const
{
    Start = Clamp(Start);
    End = Clamp(End);
    if (End <= Start) {
        Format = CharFormatAt(Start > 0 ? Start - 1 : 0);
        return CFM_ALL2;
    }
    size_t I = RunIndexAt(Start);
    Format = FRuns[I].Format;
    Cardinal Mask = CFM_ALL2;
    for (++I; I < FRuns.size() && FRuns[I].Start < End; ++I)
        Mask &= Format.Agreeing(FRuns[I].Format);
    return Mask;
}

void TRichDocument::SetCharFormat(Integer Start, Integer End, const TRichCharFormat& Format, Cardinal Mask)
{
    Start = Clamp(Start);
    End = Clamp(End);
    if (End <= Start)
        return;
    const size_t A = SplitRunAt(Start);
    const size_t B = SplitRunAt(End);
    for (size_t I = A; I < B; ++I)
        FRuns[I].Format.Apply(Format, Mask);
    NormalizeRuns();
}

size_t TRichDocument::ParaIndexAt(Integer Pos) const
{
    auto It = std::upper_bound(FParas.begin(), FParas.end(), Pos, [](Integer P, const TPara& R) { return P < R.Start; });
    return It == FParas.begin() ? 0 : size_t(It - FParas.begin() - 1);
}

Integer TRichDocument::ParaEnd(size_t Index) const
{
    return Index + 1 < FParas.size() ? FParas[Index + 1].Start : Length();
}

void TRichDocument::SetParaFormat(Integer Start, Integer End, const TRichParaFormat& Format, Cardinal Mask)
{
    Start = Clamp(Start);
    End = Clamp(End);
    const size_t Last = ParaIndexAt(End > Start ? End - 1 : Start);
    for (size_t I = ParaIndexAt(Start); I <= Last; ++I)
        FParas[I].Format.Apply(Format, Mask);
}

Cardinal TRichDocument::ParaFormatOf(Integer Start, Integer End, TRichParaFormat& Format) const
{
    Start = Clamp(Start);
    End = Clamp(End);
    const size_t First = ParaIndexAt(Start);
    const size_t Last = ParaIndexAt(End > Start ? End - 1 : Start);
    Format = FParas[First].Format;
    Cardinal Mask = PFM_ALL2;
    for (size_t I = First + 1; I <= Last; ++I)
        Mask &= Format.Agreeing(FParas[I].Format);
    return Mask;
}

void TRichDocument::SetDefaultFormat(const TRichCharFormat& Format, Cardinal Mask)
{
    FDefault.Apply(Format, Mask);
    if (FText.empty())
        FRuns.front().Format = FDefault;
}

TRichDocument TRichDocument::Slice(Integer Start, Integer End) const
{
    Start = Clamp(Start);
    End = std::max(Start, Clamp(End));
    TRichDocument Out;
    Out.FDefault = FDefault;
    Out.FText = FText.substr(size_t(Start), size_t(End - Start));
    Out.FRuns.clear();
    for (size_t I = RunIndexAt(Start); I < FRuns.size() && (FRuns[I].Start < End || Out.FRuns.empty()); ++I)
        Out.FRuns.push_back(TRun { std::max(FRuns[I].Start, Start) - Start, FRuns[I].Format });
    Out.FParas.clear();
    for (size_t I = ParaIndexAt(Start); I < FParas.size() && (FParas[I].Start <= End || Out.FParas.empty()); ++I)
        if (FParas[I].Start < End || Out.FParas.empty())
            Out.FParas.push_back(TPara { std::max(FParas[I].Start, Start) - Start, FParas[I].Format });
    const Integer First = ObjectsBefore(Start);
    const Integer Count = Integer(std::count(Out.FText.begin(), Out.FText.end(), ObjectMark));
    Out.FObjects.assign(FObjects.begin() + First, FObjects.begin() + First + Count);
    Out.NormalizeRuns();
    return Out;
}

void TRichDocument::InsertDocument(Integer Pos, const TRichDocument& Other)
{
    Pos = Clamp(Pos);
    size_t NextObject = 0;
    for (size_t I = 0; I < Other.FRuns.size(); ++I) {
        const Integer A = Other.FRuns[I].Start;
        const StringView Piece = StringView(Other.FText).substr(size_t(A), size_t(Other.RunEnd(I) - A));
        const size_t Count = size_t(std::count(Piece.begin(), Piece.end(), ObjectMark));
        std::vector<TRichObject> Objects(Other.FObjects.begin() + Integer(NextObject),
            Other.FObjects.begin() + Integer(NextObject + Count));
        NextObject += Count;
        Insert(Pos + A, Piece, Other.FRuns[I].Format, std::move(Objects));
    }
    // Each of Other's paragraph marks brings its format; its last
    // paragraph has no mark and joins the one it went into.
    for (size_t I = 0; I + 1 < Other.FParas.size(); ++I)
        FParas[ParaIndexAt(Pos + Other.FParas[I].Start)].Format = Other.FParas[I].Format;
}
