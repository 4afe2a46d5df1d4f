#include "rtl/StrUtils.h"
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cwctype>
#include <limits>
#include <locale.h>

namespace {

[[noreturn]] void RaiseNotInteger(StringView Text)
{
    String Msg = u"'";
    Msg.append(Text);
    Msg += u"' is not a valid integer value";
    throw EConvertError(Msg);
}

// Parses the class library's integer syntax into a magnitude and a sign.
// Decimal magnitudes are limited to Limit (the positive maximum, one more
// when negative); hexadecimal ones to HexLimit and wrap into the signed range.
bool ParseInteger(StringView Text, UInt64 Limit, UInt64 HexLimit, UInt64& Magnitude, bool& Negative, bool& Hex)
{
    size_t I = 0;
    while (I < Text.size() && Text[I] == u' ')
        ++I;
    Negative = false;
    if (I < Text.size() && (Text[I] == u'-' || Text[I] == u'+'))
        Negative = Text[I++] == u'-';
    Hex = false;
    if (I < Text.size() && (Text[I] == u'$' || Text[I] == u'x' || Text[I] == u'X')) {
        Hex = true;
        ++I;
    } else if (I + 1 < Text.size() && Text[I] == u'0' && (Text[I + 1] == u'x' || Text[I + 1] == u'X')) {
        Hex = true;
        I += 2;
    }
    if (I == Text.size())
        return false;
    UInt64 Max = Hex ? HexLimit : Limit + (Negative ? 1 : 0);
    UInt64 Base = Hex ? 16 : 10;
    UInt64 V = 0;
    for (; I < Text.size(); ++I) {
        Char C = Text[I];
        unsigned D;
        if (C >= u'0' && C <= u'9')
            D = C - u'0';
        else if (Hex && C >= u'a' && C <= u'f')
            D = C - u'a' + 10;
        else if (Hex && C >= u'A' && C <= u'F')
            D = C - u'A' + 10;
        else
            return false;
        if (V > (Max - D) / Base)
            return false;
        V = V * Base + D;
    }
    Magnitude = V;
    return true;
}

template<class T>
bool TryParse(StringView Text, T& Value)
{
    using U = std::make_unsigned_t<T>;
    UInt64 M;
    bool Negative, Hex;
    if (!ParseInteger(Text, UInt64(std::numeric_limits<T>::max()), UInt64(std::numeric_limits<U>::max()), M, Negative,
            Hex))
        return false;
    U Bits = U(M);
    if (Negative)
        Bits = U(0) - Bits;
    Value = T(Bits);
    return true;
}

String HexText(UInt64 Value, Integer Digits)
{
    static constexpr char16_t HexDigits[] = u"0123456789ABCDEF";
    String Out;
    do {
        Out.push_back(HexDigits[Value & 15]);
        Value >>= 4;
    } while (Value);
    if (Digits > 0 && size_t(Digits) > Out.size())
        Out.append(std::min<size_t>(size_t(Digits), 64) - Out.size(), u'0');
    std::reverse(Out.begin(), Out.end());
    return Out;
}

// Full case mapping needs a Unicode character type; the process locale
// may be plain "C", so a UTF-8 one is made once for this.
locale_t UnicodeLocale()
{
    static locale_t L = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    return L;
}

bool IsSurrogate(Char C)
{
    return C >= 0xD800 && C <= 0xDFFF;
}

Char AnsiLowerChar(Char C)
{
    if (C < 0x80)
        return C >= u'A' && C <= u'Z' ? Char(C + 32) : C;
    if (IsSurrogate(C))
        return C;
    locale_t L = UnicodeLocale();
    wint_t R = L ? towlower_l(C, L) : towlower(C);
    return R <= 0xFFFF && !IsSurrogate(Char(R)) ? Char(R) : C;
}

Char AsciiUpper(Char C)
{
    return C >= u'a' && C <= u'z' ? Char(C - 32) : C;
}

template<class Fold>
Integer CompareFolded(StringView L, StringView R, Fold F)
{
    size_t N = std::min(L.size(), R.size());
    for (size_t I = 0; I < N; ++I) {
        Char A = F(L[I]), B = F(R[I]);
        if (A != B)
            return Integer(A) - Integer(B);
    }
    return L.size() < R.size() ? -1 : L.size() > R.size() ? 1 : 0;
}

size_t LastDelimiter(StringView Text, StringView Delimiters)
{
    size_t P = Text.find_last_of(Delimiters);
    return P;
}

}

String IntToStr(Integer Value)
{
    return IntToStr(Int64(Value));
}

String IntToStr(Int64 Value)
{
    String Out = UIntToStr(Value < 0 ? UInt64(0) - UInt64(Value) : UInt64(Value));
    if (Value < 0)
        Out.insert(Out.begin(), u'-');
    return Out;
}

String UIntToStr(UInt64 Value)
{
    Char Buf[24];
    Char* P = Buf + 24;
    do {
        *--P = Char(u'0' + Value % 10);
        Value /= 10;
    } while (Value);
    return String(P, Buf + 24);
}

String IntToHex(Integer Value, Integer Digits)
{
    return HexText(Cardinal(Value), Digits);
}
String IntToHex(Int64 Value, Integer Digits)
{
    return HexText(UInt64(Value), Digits);
}
String IntToHex(UInt64 Value, Integer Digits)
{
    return HexText(Value, Digits);
}

bool TryStrToInt(StringView Text, Integer& Value)
{
    return TryParse(Text, Value);
}
bool TryStrToInt64(StringView Text, Int64& Value)
{
    return TryParse(Text, Value);
}

Integer StrToInt(StringView Text)
{
    Integer V;
    if (!TryParse(Text, V))
        RaiseNotInteger(Text);
    return V;
}

Int64 StrToInt64(StringView Text)
{
    Int64 V;
    if (!TryParse(Text, V))
        RaiseNotInteger(Text);
    return V;
}

Integer StrToIntDef(StringView Text, Integer Default)
{
    Integer V;
    return TryParse(Text, V) ? V : Default;
}

Int64 StrToInt64Def(StringView Text, Int64 Default)
{
    Int64 V;
    return TryParse(Text, V) ? V : Default;
}

String FloatToText(double Value)
{
    if (std::isnan(Value))
        return u"NAN";
    if (std::isinf(Value))
        return Value < 0 ? u"-INF" : u"INF";
    char Buf[64];
    auto Res = std::to_chars(Buf, Buf + sizeof Buf, Value);
    std::string Text(Buf, Res.ptr);
    for (char& C : Text)
        if (C == 'e')
            C = 'E';
    return S(Text);
}

bool TryTextToFloat(StringView Text, double& Value)
{
    String T = Trim(Text);
    if (SameText(T, u"NAN")) {
        Value = std::nan("");
        return true;
    }
    if (SameText(T, u"INF") || SameText(T, u"+INF") || SameText(T, u"-INF")) {
        Value = T[0] == u'-' ? -HUGE_VAL : HUGE_VAL;
        return true;
    }
    std::string A;
    for (Char C : T) {
        if (C > 127)
            return false;
        A += char(C);
    }
    size_t Start = !A.empty() && A[0] == '+' ? 1 : 0;
    // from_chars accepts "inf" and "nan" spellings; only digits, sign,
    // point and exponent are numbers here.
    if (A.size() == Start || A.find_first_not_of("0123456789.eE+-", Start) != std::string::npos)
        return false;
    double V = 0;
    auto Res = std::from_chars(A.data() + Start, A.data() + A.size(), V);
    if (Res.ec != std::errc() || Res.ptr != A.data() + A.size())
        return false;
    Value = V;
    return true;
}

String UpperCase(StringView Text)
{
    String Out(Text);
    for (Char& C : Out)
        C = AsciiUpper(C);
    return Out;
}

String LowerCase(StringView Text)
{
    String Out(Text);
    for (Char& C : Out)
        if (C >= u'A' && C <= u'Z')
            C = Char(C + 32);
    return Out;
}

Char AnsiUpperChar(Char C)
{
    if (C < 0x80)
        return AsciiUpper(C);
    if (IsSurrogate(C))
        return C;
    locale_t L = UnicodeLocale();
    wint_t R = L ? towupper_l(C, L) : towupper(C);
    return R <= 0xFFFF && !IsSurrogate(Char(R)) ? Char(R) : C;
}

String AnsiUpperCase(StringView Text)
{
    String Out(Text);
    for (Char& C : Out)
        C = AnsiUpperChar(C);
    return Out;
}

String AnsiLowerCase(StringView Text)
{
    String Out(Text);
    for (Char& C : Out)
        C = AnsiLowerChar(C);
    return Out;
}

Integer CompareStr(StringView Left, StringView Right)
{
    return CompareFolded(Left, Right, [](Char C) { return C; });
}

Integer CompareText(StringView Left, StringView Right)
{
    return CompareFolded(Left, Right, AsciiUpper);
}
bool SameText(StringView Left, StringView Right)
{
    return Left.size() == Right.size() && CompareText(Left, Right) == 0;
}

Integer AnsiCompareText(StringView Left, StringView Right)
{
    // Upper then lower, so that letters with several upper forms (the Greek
    // final sigma and sigma) meet in one form.
    return CompareFolded(Left, Right, [](Char C) { return AnsiLowerChar(AnsiUpperChar(C)); });
}

bool AnsiSameText(StringView Left, StringView Right)
{
    return Left.size() == Right.size() && AnsiCompareText(Left, Right) == 0;
}

String Trim(StringView Text)
{
    return TrimRight(TrimLeft(Text));
}

String TrimLeft(StringView Text)
{
    size_t I = 0;
    while (I < Text.size() && Text[I] <= u' ')
        ++I;
    return String(Text.substr(I));
}

String TrimRight(StringView Text)
{
    size_t N = Text.size();
    while (N > 0 && Text[N - 1] <= u' ')
        --N;
    return String(Text.substr(0, N));
}

Integer Pos(StringView Sub, StringView Text)
{
    return PosEx(Sub, Text, 1);
}

Integer PosEx(StringView Sub, StringView Text, Integer Offset)
{
    if (Sub.empty() || Offset < 1 || size_t(Offset) > Text.size())
        return 0;
    size_t P = Text.find(Sub, size_t(Offset) - 1);
    return P == StringView::npos ? 0 : Integer(P + 1);
}

String Copy(StringView Text, Integer Index, Integer Count)
{
    Int64 Start = std::max<Int64>(Index, 1) - 1;
    if (Count <= 0 || Start >= Int64(Text.size()))
        return {};
    return String(Text.substr(size_t(Start), size_t(Count)));
}

TReplaceFlags::TReplaceFlags(std::initializer_list<TReplaceFlag> Flags)
{
    for (TReplaceFlag F : Flags) {
        if (F == rfReplaceAll)
            ReplaceAll = true;
        else if (F == rfIgnoreCase)
            IgnoreCase = true;
    }
}

String StringReplace(StringView Text, StringView OldPattern, StringView NewPattern, TReplaceFlags Flags)
{
    if (OldPattern.empty())
        return String(Text);
    // Case folding keeps every code unit in place, so positions found in
    // the folded copy are positions in Text.
    String FoldedText, FoldedOld;
    StringView Hay = Text, Needle = OldPattern;
    if (Flags.IgnoreCase) {
        FoldedText = AnsiUpperCase(Text);
        FoldedOld = AnsiUpperCase(OldPattern);
        Hay = FoldedText;
        Needle = FoldedOld;
    }
    String Out;
    size_t From = 0;
    while (From <= Text.size()) {
        size_t P = Hay.find(Needle, From);
        if (P == StringView::npos)
            break;
        Out.append(Text.substr(From, P - From));
        Out.append(NewPattern);
        From = P + OldPattern.size();
        if (!Flags.ReplaceAll)
            break;
    }
    Out.append(Text.substr(std::min(From, Text.size())));
    return Out;
}

String QuotedStr(StringView Text)
{
    return AnsiQuotedStr(Text, u'\'');
}

String AnsiQuotedStr(StringView Text, Char Quote)
{
    String Out(1, Quote);
    for (Char C : Text) {
        Out.push_back(C);
        if (C == Quote)
            Out.push_back(C);
    }
    Out.push_back(Quote);
    return Out;
}

String AnsiDequotedStr(StringView Text, Char Quote)
{
    if (Text.empty())
        return {};
    String Inner;
    size_t I = 0;
    bool Opened = Text[0] == Quote;
    if (Opened) {
        I = 1;
        while (I < Text.size()) {
            if (Text[I] == Quote) {
                if (I + 1 < Text.size() && Text[I + 1] == Quote) {
                    Inner.push_back(Quote);
                    I += 2;
                    continue;
                }
                ++I; // past the closing quote
                break;
            }
            Inner.push_back(Text[I++]);
        }
    }
    bool AtEnd = I >= Text.size();
    if ((Inner.empty() || AtEnd) && (Text.front() != Quote || Text.back() != Quote))
        return String(Text);
    return Inner;
}

String StringOfChar(Char C, Integer Count)
{
    return Count > 0 ? String(size_t(Count), C) : String();
}

String BoolToStr(bool Value, bool UseBoolStrs)
{
    if (UseBoolStrs)
        return Value ? u"True" : u"False";
    return Value ? u"-1" : u"0";
}

bool StrToBoolDef(StringView Text, bool Default)
{
    if (SameText(Text, u"True"))
        return true;
    if (SameText(Text, u"False"))
        return false;
    Int64 Number = 0;
    return TryStrToInt64(Text, Number) ? Number != 0 : Default;
}

String IncludeTrailingPathDelimiter(StringView Path)
{
    String Out(Path);
    if (Out.empty() || Out.back() != PathDelim)
        Out.push_back(PathDelim);
    return Out;
}

String ExcludeTrailingPathDelimiter(StringView Path)
{
    String Out(Path);
    if (Out.size() > 1 && Out.back() == PathDelim)
        Out.pop_back();
    return Out;
}

String ExtractFilePath(StringView FileName)
{
    size_t P = FileName.rfind(PathDelim);
    return P == StringView::npos ? String() : String(FileName.substr(0, P + 1));
}

String ExtractFileDir(StringView FileName)
{
    size_t P = FileName.rfind(PathDelim);
    if (P == StringView::npos)
        return {};
    // A delimiter right after another one (or the root's) is kept.
    if (P > 0 && FileName[P - 1] != PathDelim)
        return String(FileName.substr(0, P));
    return String(FileName.substr(0, P + 1));
}

String ExtractFileName(StringView FileName)
{
    size_t P = FileName.rfind(PathDelim);
    return String(P == StringView::npos ? FileName : FileName.substr(P + 1));
}

String ExtractFileExt(StringView FileName)
{
    size_t P = LastDelimiter(FileName, u"./");
    if (P == StringView::npos || FileName[P] != u'.')
        return {};
    return String(FileName.substr(P));
}

String ChangeFileExt(StringView FileName, StringView Extension)
{
    size_t P = LastDelimiter(FileName, u"./");
    String Out(P == StringView::npos || FileName[P] != u'.' ? FileName : FileName.substr(0, P));
    Out.append(Extension);
    return Out;
}

IPtr<IComparer<String>> TStringComparer::Ordinal()
{
    return TComparer<String>::Construct([](const String& L, const String& R) { return CompareStr(L, R); });
}

IPtr<IComparer<String>> TIStringComparer::Ordinal()
{
    return TComparer<String>::Construct([](const String& L, const String& R) { return AnsiCompareText(L, R); });
}
