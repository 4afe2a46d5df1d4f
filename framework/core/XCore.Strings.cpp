#include "core/XCore.Strings.h"
#include "rtl/Guid.h"
#include "rtl/SafeSave.h"
#include "rtl/StrUtils.h"
#include "rtl/StringList.h"
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <string>
#include <unistd.h>

X_REGISTER_CLASS(TXRawStringStream)

namespace {

constexpr Integer MaxPosition = std::numeric_limits<Integer>::max();

// 0-based index where a search from the 1-based Start begins.
size_t StartIndex(Integer Start)
{
    return Start < 1 ? 0 : size_t(Start) - 1;
}

template<class C>
Integer FindFrom(std::basic_string_view<C> Sub, std::basic_string_view<C> S, Integer Start)
{
    size_t From = StartIndex(Start);
    if (Sub.empty() || S.empty() || From >= S.size())
        return 0;
    size_t P = S.find(Sub, From);
    return P == std::basic_string_view<C>::npos ? 0 : Integer(P + 1);
}

Char LowerAscii(Char C)
{
    return C >= u'A' && C <= u'Z' ? Char(C + 32) : C;
}
Char UpperAscii(Char C)
{
    return C >= u'a' && C <= u'z' ? Char(C - 32) : C;
}

bool SameIgnoringCase(Char InText, Char InPattern)
{
    return InText == InPattern || InText == UpperAscii(InPattern) || InText == LowerAscii(InPattern);
}

using TFinder = Integer (*)(StringView, StringView, Integer);

String Between(TFinder Find, StringView Opener, StringView Closer, StringView S, Integer From)
{
    Integer P1 = Find(Opener, S, From);
    if (P1 == 0)
        return {};
    Integer Inner = P1 + Integer(Opener.size());
    Integer P2 = Find(Closer, S, Inner);
    if (P2 == 0)
        return {};
    return String(S.substr(size_t(Inner) - 1, size_t(P2 - Inner)));
}

// Bytes tagged with the code page of the text they came from.
TCodePageString Tagged(RawBytes Bytes, const TCodePageString& Like)
{
    return { std::move(Bytes), Like.CodePage };
}

std::string_view View(const TCodePageString& S)
{
    return S.Bytes;
}

void CheckBase(Integer Base)
{
    if (Base < 2 || Base > 36)
        throw EArgumentOutOfRangeException(Format(u"Digit base %d outside 2..36", { Base }));
}

Integer DigitValue(Char C)
{
    const char* Hit = C < 128 && C != 0 ? std::strchr(xStr::DigitTable, char(C)) : nullptr;
    return Hit ? Integer(Hit - xStr::DigitTable) : -1;
}

// Modular 32-bit arithmetic: long texts wrap instead of overflowing.
template<class Text>
Integer DigitsValue(const Text& Digits, Integer Base)
{
    Cardinal Value = 0, Weight = 1;
    for (size_t I = Digits.size(); I-- > 0;) {
        Value += Cardinal(DigitValue(Char(static_cast<std::make_unsigned_t<typename Text::value_type>>(Digits[I])))) *
            Weight;
        Weight *= Cardinal(Base);
    }
    return Integer(Value);
}

bool IsMixedBlank(char C)
{
    return C == 8 || C == 10 || C == 13 || C == ' ';
}

// Visits every digit group of Digits; blanks (backspace, LF, CR, space) go
// to OnBlank when given, else groups run over them as the plain decoder does.
template<class G, class B>
void WalkGroups(std::string_view Digits, Integer Base, bool Mixed, G OnGroup, B OnBlank)
{
    CheckBase(Base);
    size_t Width = size_t(xStr::DigitWidth(Base));
    size_t I = 0;
    while (Mixed ? I < Digits.size() : I + 1 < Digits.size()) {
        if (Mixed && IsMixedBlank(Digits[I])) {
            OnBlank(Digits[I]);
            ++I;
            continue;
        }
        std::string_view Group = Digits.substr(I, Width);
        OnGroup(DigitsValue(Group, Base));
        I += Group.size();
    }
}

// The bytes from the stream's position; raises EReadError when fewer than
// Count are there.
RawBytes ReadBytes(TStream* Stream, Int64 Count)
{
    if (!Stream)
        throw EReadError(RtlText::ReadError);
    Int64 Left = std::max<Int64>(Stream->Size() - Stream->Position(), 0);
    if (Count == -1)
        Count = Left;
    if (Count <= 0)
        return {};
    if (Count > Left)
        throw EReadError(RtlText::ReadError);
    RawBytes Bytes(size_t(Count), '\0');
    Stream->ReadBuffer(Bytes.data(), Count);
    return Bytes;
}

}

// Search and replace

Integer xStr::PosFrom(StringView SubStr, StringView S, Integer Start)
{
    return FindFrom(SubStr, S, Start);
}

Integer xStr::PosFromIgnoreCase(StringView SubStr, StringView S, Integer Start)
{
    size_t From = StartIndex(Start);
    if (SubStr.empty() || S.empty() || From >= S.size() || SubStr.size() > S.size())
        return 0;
    for (size_t I = From; I + SubStr.size() <= S.size(); ++I) {
        size_t J = 0;
        while (J < SubStr.size() && SameIgnoringCase(S[I + J], SubStr[J]))
            ++J;
        if (J == SubStr.size())
            return Integer(I + 1);
    }
    return 0;
}

String xStr::ReplaceAll(StringView OldPattern, StringView NewPattern, StringView S)
{
    return StringReplace(S, OldPattern, NewPattern, { rfReplaceAll });
}

String xStr::ReplaceAllIgnoreCase(StringView OldPattern, StringView NewPattern, StringView S)
{
    return StringReplace(S, OldPattern, NewPattern, { rfReplaceAll, rfIgnoreCase });
}

String xStr::ReplaceBetween(StringView Opener, StringView Closer, StringView NewText, StringView S, Integer From)
{
    String R(S);
    for (;;) {
        Integer P1 = PosFrom(Opener, R, From);
        if (P1 == 0)
            break;
        Integer Inner = P1 + Integer(Opener.size());
        Integer P2 = PosFrom(Closer, R, Inner);
        if (P2 == 0)
            break;
        R.replace(size_t(Inner) - 1, size_t(P2 - Inner), NewText);
        From = Inner + Integer(NewText.size() + Closer.size());
    }
    return R;
}

String xStr::ReplaceBetweenInclusive(StringView Opener, StringView Closer, StringView NewText, StringView S,
    Integer From)
{
    // Each round either moves From on or shortens R (an empty NewText
    // removes at least both markers), so the loop ends.
    String R(S);
    for (;;) {
        Integer P1 = PosFrom(Opener, R, From);
        if (P1 == 0)
            break;
        Integer P2 = PosFrom(Closer, R, P1 + Integer(Opener.size()));
        if (P2 == 0)
            break;
        R.replace(size_t(P1) - 1, size_t(P2 - P1) + Closer.size(), NewText);
        From = P1 + Integer(NewText.size());
    }
    return R;
}

String xStr::TextBetween(StringView Opener, StringView Closer, StringView S, Integer From)
{
    return Between(&xStr::PosFrom, Opener, Closer, S, From);
}

String xStr::TextBetweenIgnoreCase(StringView Opener, StringView Closer, StringView S, Integer From)
{
    return Between(&xStr::PosFromIgnoreCase, Opener, Closer, S, From);
}

void xStr::SplitAtFirst(StringView S, String& Left, String& Right, StringView Separator)
{
    Integer P = PosFrom(Separator, S, 1);
    if (P == 0) {
        Left = String(S);
        Right.clear();
        return;
    }
    Left = String(S.substr(0, size_t(P) - 1));
    Right = String(S.substr(size_t(P) - 1 + Separator.size()));
}

String xStr::TextBefore(StringView S, StringView Separator)
{
    String Left, Right;
    SplitAtFirst(S, Left, Right, Separator);
    return Left;
}

String xStr::TextAfter(StringView S, StringView Separator)
{
    String Left, Right;
    SplitAtFirst(S, Left, Right, Separator);
    return Right;
}

String xStr::JoinStrings(StringView Separator, TStrings* Lines)
{
    String Out;
    bool First = true;
    for (Integer I = 0; Lines && I < Lines->Count(); ++I) {
        String Line = Lines->Strings(I);
        if (Line.empty())
            continue;
        if (!First)
            Out.append(Separator);
        Out.append(Line);
        First = false;
    }
    return Out;
}

String xStr::NewGUIDText()
{
    TGUID Guid;
    if (CreateGUID(Guid) != S_OK)
        return {};
    String Text = Guid.ToString();
    return Text.size() == 38 ? Text.substr(1, 36) : String();
}

// Quoting and small texts

String xStr::EnsureQuoted(StringView S, Char Quote)
{
    if (S.empty() || S.front() == Quote)
        return String(S);
    return AnsiQuotedStr(S, Quote);
}

String xStr::Dequoted(StringView S, Char Quote)
{
    return AnsiDequotedStr(S, Quote);
}

String xStr::ToSafeText(StringView S)
{
    auto Safe = [](Char C) {
        return C == u' ' || C == u'!' || C == u'#' || C == u'*' || C == u'-' || C == u'.' || C == u':' || C == u'_' ||
            (C >= u'0' && C <= u'9') || (C >= u'A' && C <= u'Z') || (C >= u'a' && C <= u'z');
    };
    String Out = Trim(S);
    for (Char& C : Out)
        if (!Safe(C))
            C = u'_';
    return Out;
}

String xStr::FormatSafe(const String& Fmt, std::initializer_list<TVarRec> Args)
{
    return FormatSafe(Fmt, std::span<const TVarRec>(Args.begin(), Args.size()));
}

String xStr::FormatSafe(const String& Fmt, std::span<const TVarRec> Args)
{
    try {
        return Format(Fmt, Args, FormatSettings);
    } catch (const Exception&) {
        return Fmt;
    }
}

String xStr::RepeatChar(Char Ch, Integer Count)
{
    return Count > 0 ? String(size_t(Count), Ch) : String();
}

String xStr::PadInt(Int64 Value, Char Ch, Integer Width)
{
    String Digits = IntToStr(Value);
    if (Integer(Digits.size()) < Width)
        Digits.insert(0, size_t(Width) - Digits.size(), Ch);
    return Digits;
}

String xStr::ZeroPadInt(Int64 Value, Integer Width)
{
    return PadInt(Value, u'0', Width);
}

String xStr::StreamToStr(TStream* Stream, Int64 Count)
{
    if (Count < -1)
        return {};
    try {
        return AnsiToString(ReadBytes(Stream, Count));
    } catch (const Exception&) {
        return {};
    }
}

// Tag texts

String xStr::OpenTag(StringView Name)
{
    return u"<" + String(Name) + u">";
}

String xStr::CloseTag(StringView Name)
{
    return u"</" + String(Name) + u">";
}

String xStr::TagText(StringView Tag, StringView S, Integer From)
{
    return TextBetween(OpenTag(Tag), CloseTag(Tag), S, From);
}

Integer xStr::TagInt(StringView Tag, StringView S, Integer From)
{
    return TagIntDef(Tag, S, 0, From);
}

Integer xStr::TagIntDef(StringView Tag, StringView S, Integer Default, Integer From)
{
    return StrToIntDef(TagText(Tag, S, From), Default);
}

Int64 xStr::TagInt64(StringView Tag, StringView S, Integer From)
{
    return StrToInt64Def(TagText(Tag, S, From), 0);
}

String xStr::TagElement(StringView Name, StringView Value)
{
    return OpenTag(Name) + XmlEscape(Value) + CloseTag(Name);
}

String xStr::TagElementInt64(StringView Name, Int64 Value)
{
    return OpenTag(Name) + S(std::to_string(Value)) + CloseTag(Name);
}

String xStr::TagElementCardinal(StringView Name, Cardinal Value)
{
    return OpenTag(Name) + S(std::to_string(Value)) + CloseTag(Name);
}

String xStr::TagBlock(StringView Name, StringView Inner)
{
    return OpenTag(Name) + u"\r\n" + String(Inner) + u"\r\n" + CloseTag(Name);
}

String xStr::Parenthesize(StringView S)
{
    return u"(" + String(S) + u")";
}

String xStr::ReplaceMany(StringView S, const std::vector<String>& Patterns, const std::vector<String>& Replacements)
{
    if (Patterns.size() != Replacements.size())
        throw EArgumentException(u"ReplaceMany needs one replacement for every pattern");
    String Out;
    Out.reserve(S.size());
    size_t I = 0;
    while (I < S.size()) {
        size_t Hit = 0;
        while (Hit < Patterns.size() && (Patterns[Hit].empty() || S.substr(I, Patterns[Hit].size()) != Patterns[Hit]))
            ++Hit;
        if (Hit < Patterns.size()) {
            Out += Replacements[Hit];
            I += Patterns[Hit].size();
        } else {
            Out += S[I++];
        }
    }
    return Out;
}

namespace {
const std::vector<String>& XmlPlain()
{
    static const std::vector<String> Plain { u"<", u">", u"&", u"'", u"\"" };
    return Plain;
}
const std::vector<String>& XmlEntities()
{
    static const std::vector<String> Entities { u"&lt;", u"&gt;", u"&amp;", u"&apos;", u"&quot;" };
    return Entities;
}
}

String xStr::XmlEscape(StringView S)
{
    return ReplaceMany(S, XmlPlain(), XmlEntities());
}

String xStr::XmlUnescape(StringView S)
{
    return ReplaceMany(S, XmlEntities(), XmlPlain());
}

String xStr::QuotientText(Integer Divisor, double Value)
{
    return FormatSafe(u"%0.2f", { Value / double(Divisor) });
}

String xStr::ByteSizeText(double Value)
{
    if (Value < 1024.0)
        return FormatSafe(u"%0.0f bytes", { Value });
    if (Value < 1048576.0)
        return FormatSafe(u"%0.2f KB", { Value / 1024.0 });
    if (Value >= 1073741824.0)
        return FormatSafe(u"%0.2f GB", { Value / 1073741824.0 });
    return FormatSafe(u"%0.2f MB", { Value / 1048576.0 });
}

String xStr::HexBytes(std::span<const Byte> Bytes, StringView Separator)
{
    static constexpr char16_t Digits[] = u"0123456789ABCDEF";
    String Out;
    Out.reserve(Bytes.size() * (2 + Separator.size()));
    for (Byte B : Bytes) {
        Out += Digits[B >> 4];
        Out += Digits[B & 15];
        Out += Separator;
    }
    return Out;
}

// Byte strings

TCodePageString xStr::StreamToUTF8(TStream* Stream, Int64 Count)
{
    if (Count <= 0 && Count != -1)
        return { {}, CP_UTF8 };
    return { ReadBytes(Stream, Count), CP_UTF8 };
}

void xStr::WriteToStreamA(TStream* Stream, const TCodePageString& S)
{
    if (!S.Bytes.empty())
        Stream->WriteBuffer(S.Bytes.data(), Int64(S.Bytes.size()));
}

void xStr::SaveToFileA(const String& FileName, const TCodePageString& S)
{
    SaveBytesToFileSafely(FileName, S.Bytes);
}

Integer xStr::PosFromA(const TCodePageString& SubStr, const TCodePageString& S, Integer Start)
{
    return FindFrom(View(SubStr), View(S), Start);
}

Integer xStr::LastPosA(const TCodePageString& SubStr, const TCodePageString& S, Integer Limit)
{
    if (Limit < -1 || Limit == 0 || SubStr.Bytes.empty())
        return 0;
    std::string_view Within = View(S);
    if (Limit != -1)
        Within = Within.substr(0, size_t(Limit));
    size_t P = Within.rfind(View(SubStr));
    return P == std::string_view::npos ? 0 : Integer(P + 1);
}

TCodePageString xStr::TextBetweenA(const TCodePageString& Opener, const TCodePageString& Closer,
    const TCodePageString& S, Integer From)
{
    Integer P1 = PosFromA(Opener, S, From);
    if (P1 == 0)
        return Tagged({}, S);
    Integer Inner = P1 + Integer(Opener.Bytes.size());
    Integer P2 = PosFromA(Closer, S, Inner);
    if (P2 == 0)
        return Tagged({}, S);
    return Tagged(S.Bytes.substr(size_t(Inner) - 1, size_t(P2 - Inner)), S);
}

TCodePageString xStr::TextBetweenToLastA(const TCodePageString& Opener, const TCodePageString& Closer,
    const TCodePageString& S, Integer From)
{
    Integer P1 = PosFromA(Opener, S, From);
    if (P1 == 0 || Closer.Bytes.empty())
        return Tagged({}, S);
    size_t Inner = size_t(P1) - 1 + Opener.Bytes.size();
    size_t P2 = View(S).rfind(View(Closer));
    if (P2 == std::string_view::npos || P2 < Inner)
        return Tagged({}, S);
    return Tagged(S.Bytes.substr(Inner, P2 - Inner), S);
}

TCodePageString xStr::OpenTagA(const TCodePageString& Name)
{
    return Tagged("<" + Name.Bytes + ">", Name);
}

TCodePageString xStr::CloseTagA(const TCodePageString& Name)
{
    return Tagged("</" + Name.Bytes + ">", Name);
}

TCodePageString xStr::OpenTagNamedA(const TCodePageString& Tag, const TCodePageString& Name)
{
    if (Name.Bytes.empty())
        return OpenTagA(Tag);
    return Tagged("<" + Tag.Bytes + " name=\"" + Name.Bytes + "\">", Tag);
}

TCodePageString xStr::TagTextA(const TCodePageString& Tag, const TCodePageString& S, Integer From)
{
    return TextBetweenA(OpenTagA(Tag), CloseTagA(Tag), S, From);
}

TCodePageString xStr::TagTextToLastA(const TCodePageString& Tag, const TCodePageString& S, Integer From)
{
    return TextBetweenToLastA(OpenTagA(Tag), CloseTagA(Tag), S, From);
}

TCodePageString xStr::WrapTagA(const TCodePageString& Tag, const TCodePageString& Content)
{
    return WrapTagNamedA(Tag, Tagged({}, Tag), Content);
}

TCodePageString xStr::WrapTagNamedA(const TCodePageString& Tag, const TCodePageString& Name,
    const TCodePageString& Content)
{
    return Tagged(OpenTagNamedA(Tag, Name).Bytes + "\r\n" + Content.Bytes + "\r\n" + CloseTagA(Tag).Bytes, Content);
}

TCodePageString xStr::RepeatCharA(char Ch, Integer Count)
{
    return { Count > 0 ? RawBytes(size_t(Count), Ch) : RawBytes(), CP_1252 };
}

TCodePageString xStr::PadLeftA(const TCodePageString& S, char Ch, Integer Width)
{
    TCodePageString Out = S;
    if (Integer(Out.Bytes.size()) < Width)
        Out.Bytes.insert(0, size_t(Width) - Out.Bytes.size(), Ch);
    return Out;
}

TCodePageString xStr::ReplaceManyA(const TCodePageString& S, const std::vector<TCodePageString>& Patterns,
    const std::vector<TCodePageString>& Replacements)
{
    if (Patterns.size() != Replacements.size())
        throw EArgumentException(u"ReplaceManyA needs one replacement for every pattern");
    std::string_view Text = View(S);
    RawBytes Out;
    Out.reserve(Text.size());
    size_t I = 0;
    while (I < Text.size()) {
        size_t Hit = 0;
        while (Hit < Patterns.size() &&
            (Patterns[Hit].Bytes.empty() || Text.substr(I, Patterns[Hit].Bytes.size()) != Patterns[Hit].Bytes))
            ++Hit;
        if (Hit < Patterns.size()) {
            Out += Replacements[Hit].Bytes;
            I += Patterns[Hit].Bytes.size();
        } else {
            Out += Text[I++];
        }
    }
    return Tagged(std::move(Out), S);
}

TCodePageString xStr::DecodeXMLEntitiesA(const TCodePageString& S)
{
    static const std::vector<TCodePageString> Entities { { "&lt;" }, { "&gt;" }, { "&amp;" }, { "&apos;" },
        { "&quot;" } };
    static const std::vector<TCodePageString> Plain { { "<" }, { ">" }, { "&" }, { "'" }, { "\"" } };
    return ReplaceManyA(S, Entities, Plain);
}

// The digit coder

Integer xStr::DigitWidth(Integer Base)
{
    CheckBase(Base);
    return Base < 16 ? (32 + Base - 1) / Base : 2;
}

String xStr::IntToDigits(Cardinal Value, Integer Base, Integer Width)
{
    CheckBase(Base);
    String Digits;
    for (; Value != 0; Value /= Cardinal(Base))
        Digits.insert(Digits.begin(), Char(DigitTable[Value % Cardinal(Base)]));
    if (Integer(Digits.size()) < Width)
        Digits.insert(0, size_t(Width) - Digits.size(), u'0');
    return Digits.empty() ? String(u"0") : Digits;
}

Integer xStr::DigitsToInt(StringView Digits, Integer Base)
{
    CheckBase(Base);
    return DigitsValue(Digits, Base);
}

TCodePageString xStr::EncodeDigits(const TCodePageString& S, Integer Base)
{
    Integer Width = DigitWidth(Base);
    RawBytes Out;
    Out.reserve(S.Bytes.size() * size_t(Width));
    for (unsigned char B : S.Bytes)
        Out += StringToUTF8(IntToDigits(B, Base, Width));
    return { std::move(Out), CP_1252 };
}

TCodePageString xStr::DecodeDigits(const TCodePageString& Digits, Integer Base)
{
    RawBytes Out;
    WalkGroups(
        View(Digits), Base, false, [&](Integer V) { Out += char(V & 0xFF); }, [](char) {});
    return Tagged(std::move(Out), Digits);
}

TCodePageString xStr::DecodeOctal(const TCodePageString& Digits)
{
    return DecodeDigits(Digits, 8);
}

TCodePageString xStr::DecodeDigitsMixed(const TCodePageString& Digits, Integer Base)
{
    // Gathered as UTF-16 first so that two groups forming a surrogate pair
    // become one character in UTF-8.
    String Out;
    WalkGroups(
        View(Digits), Base, true, [&](Integer V) { Out += Char(V & 0xFFFF); }, [&](char C) { Out += Char(C); });
    return { StringToUTF8(Out), CP_UTF8 };
}

void xStr::DecodeDigitsToStream(const TCodePageString& Digits, TStream* Stream, Integer Base)
{
    RawBytes Out;
    WalkGroups(
        View(Digits), Base, true, [&](Integer V) { Out += char(V & 0xFF); }, [](char) {});
    WriteToStreamA(Stream, { std::move(Out) });
}

// TXStrFields

String TXStrFields::GetItem(Integer Index) const
{
    return Index >= 0 && size_t(Index) < Fields.size() ? Fields[size_t(Index)] : String();
}

void TXStrFields::SetItem(Integer Index, const String& Value)
{
    if (Index < 0)
        return;
    if (size_t(Index) >= Fields.size())
        Fields.resize(size_t(Index) + 1);
    Fields[size_t(Index)] = Value;
}

void TXStrFields::Split(StringView S, StringView Separators)
{
    Fields.clear();
    if (S.empty())
        return;
    size_t Start = 0;
    for (size_t I = 0; I < S.size(); ++I)
        if (Separators.find(S[I]) != StringView::npos) {
            Fields.emplace_back(S.substr(Start, I - Start));
            Start = I + 1;
        }
    Fields.emplace_back(S.substr(Start));
}

void TXStrFields::SplitFixed(StringView S, Integer Width)
{
    Fields.clear();
    if (Width < 1)
        return;
    for (size_t I = 0; I < S.size(); I += size_t(Width))
        Fields.emplace_back(S.substr(I, size_t(Width)));
}

// TXRawStringStream

void TXRawStringStream::Create()
{
    Clear();
}

void TXRawStringStream::Create(TCodePageString AData)
{
    if (AData.Bytes.size() > size_t(MaxPosition))
        throw EStreamError(u"A raw string stream holds at most 2 GB");
    FData = std::move(AData);
    FPosition = 0;
}

void TXRawStringStream::Clear()
{
    FData = { {}, CP_UTF8 };
    FPosition = 0;
}

Int64 TXRawStringStream::Read(void* Buffer, Int64 Count)
{
    Int64 N = std::min(Count, Size() - FPosition);
    if (N <= 0)
        return 0;
    std::memcpy(Buffer, FData.Bytes.data() + FPosition, size_t(N));
    FPosition += Integer(N);
    return N;
}

Int64 TXRawStringStream::Write(const void* Buffer, Int64 Count)
{
    if (Count <= 0 || Count > Int64(MaxPosition) - FPosition)
        return 0;
    FData.Bytes.resize(size_t(FPosition + Count));
    std::memcpy(FData.Bytes.data() + FPosition, Buffer, size_t(Count));
    FPosition += Integer(Count);
    return Count;
}

Int64 TXRawStringStream::Seek(Int64 Offset, TSeekOrigin Origin)
{
    Int64 Off = Integer(static_cast<Cardinal>(Offset));
    Int64 P = Off;
    if (Origin == soCurrent)
        P = FPosition + Off;
    else if (Origin == soEnd)
        P = Size() - Off;
    FPosition = Integer(std::clamp<Int64>(P, 0, Size()));
    return FPosition;
}

void TXRawStringStream::SetSize(Int64 NewSize)
{
    if (NewSize < 0 || NewSize > MaxPosition)
        throw EStreamError(Format(u"Stream size %d outside 0..2147483647", { NewSize }));
    FData.Bytes.resize(size_t(NewSize));
    FPosition = std::min(FPosition, Integer(NewSize));
}
