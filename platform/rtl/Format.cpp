#include "rtl/Format.h"
#include "rtl/Exceptions.h"
#include "rtl/StrUtils.h"
#include "rtl/Units.h"
#include <charconv>
#include <cmath>
#include <langinfo.h>
#include <locale.h>

TFormatSettings FormatSettings;

TVarRec::TVarRec(const char* V)
    : VType(vtString)
    , VInt64(0)
    , VString(V ? UTF8ToString(V) : String())
{ }

namespace {

// Widths and zero padding beyond this are refused rather than allocated.
constexpr Int64 MaxPadding = 1 << 20;
constexpr int MaxFloatDigits = 18;

[[noreturn]] void RaiseInvalidFormat(const String& Fmt)
{
    // The format text is put in as it stands; it is never formatted itself.
    String Msg = RtlText::InvalidFormat;
    size_t P = Msg.find(u"%s");
    Msg.replace(P, 2, Fmt);
    throw EConvertError(Msg);
}

// A decimal number as digits: 0.Digits x 10^Exponent; no leading zeros,
// empty for zero.
struct TDecimal {
    std::string Digits;
    int Exponent = 0;
    bool Negative = false;
};

void StripLeadingZeros(TDecimal& D)
{
    size_t Z = 0;
    while (Z < D.Digits.size() && D.Digits[Z] == '0')
        ++Z;
    D.Digits.erase(0, Z);
    D.Exponent -= int(Z);
    if (D.Digits.empty())
        D.Exponent = 0;
}

// Adds one unit in the last place of a digit text; true when it carried out
// of the first digit ("999" became "000").
bool IncrementDigits(std::string& Digits)
{
    for (size_t I = Digits.size(); I-- > 0;) {
        if (Digits[I] == '.')
            continue;
        if (Digits[I] != '9') {
            ++Digits[I];
            return false;
        }
        Digits[I] = '0';
    }
    return true;
}

std::string ToChars(double A, std::chars_format Form, int Precision)
{
    char Buf[1100];
    auto R = std::to_chars(Buf, Buf + sizeof Buf, A, Form, Precision);
    return std::string(Buf, R.ptr);
}

// |Value| rounded to Count significant digits, halves away from zero.
TDecimal RoundSignificant(double Value, int Count)
{
    TDecimal D;
    D.Negative = std::signbit(Value);
    double A = std::fabs(Value);
    if (A == 0)
        return D;
    auto Split = [](const std::string& Sci, std::string& Digits, int& Exp) {
        size_t E = Sci.find('e');
        Digits.clear();
        for (size_t I = 0; I < E; ++I)
            if (Sci[I] != '.')
                Digits.push_back(Sci[I]);
        Exp = std::stoi(Sci.substr(E + 1));
    };
    int Exp;
    Split(ToChars(A, std::chars_format::scientific, Count - 1), D.Digits, Exp);
    // The conversion rounds an exact half to even; find such halves and
    // round them up instead.
    std::string Longer;
    int LongerExp;
    Split(ToChars(A, std::chars_format::scientific, Count), Longer, LongerExp);
    if (Longer.back() == '5') {
        std::string Exact;
        int ExactExp;
        Split(ToChars(A, std::chars_format::scientific, 780), Exact, ExactExp);
        if (Exact.find_first_not_of('0', size_t(Count) + 1) == std::string::npos) {
            D.Digits = Longer.substr(0, size_t(Count));
            Exp = LongerExp;
            if (IncrementDigits(D.Digits)) {
                D.Digits.insert(D.Digits.begin(), '1');
                D.Digits.pop_back();
                ++Exp;
            }
        }
    }
    D.Exponent = Exp + 1;
    return D;
}

void FromFixedText(const std::string& Text, TDecimal& D)
{
    size_t Dot = Text.find('.');
    D.Digits.clear();
    for (char C : Text)
        if (C != '.')
            D.Digits.push_back(C);
    D.Exponent = int(Dot == std::string::npos ? Text.size() : Dot);
    StripLeadingZeros(D);
}

// |Value| rounded to Decimals places after the point, halves away from zero.
TDecimal RoundFixed(double Value, int Decimals)
{
    TDecimal D;
    D.Negative = std::signbit(Value);
    double A = std::fabs(Value);
    std::string Text = ToChars(A, std::chars_format::fixed, Decimals);
    // An exact half needs at most one more place: A is then a multiple of
    // 2^-(Decimals+1), and the longer text shows it exactly.
    double Scaled = std::ldexp(A, Decimals + 1);
    if (std::isfinite(Scaled) && std::floor(Scaled) == Scaled) {
        std::string Longer = ToChars(A, std::chars_format::fixed, Decimals + 1);
        if (Longer.back() == '5') {
            Longer.pop_back();
            if (Decimals == 0)
                Longer.pop_back(); // the '.'
            if (IncrementDigits(Longer))
                Longer.insert(Longer.begin(), '1');
            Text = Longer;
        }
    }
    FromFixedText(Text, D);
    return D;
}

// Rounds a decimal record to Decimals places, halves up on its digits.
void RoundDecimalPlaces(TDecimal& D, int Decimals)
{
    long Keep = long(D.Exponent) + Decimals;
    if (Keep >= long(D.Digits.size()))
        return;
    if (Keep < 0) {
        D.Digits.clear();
        D.Exponent = 0;
        return;
    }
    bool Up = D.Digits[size_t(Keep)] >= '5';
    D.Digits.resize(size_t(Keep));
    if (Up && IncrementDigits(D.Digits)) {
        D.Digits.insert(D.Digits.begin(), '1');
        ++D.Exponent;
    }
    StripLeadingZeros(D);
}

String Ascii(const std::string& S)
{
    return String(S.begin(), S.end());
}

bool IsZero(const TDecimal& D)
{
    return D.Digits.find_first_not_of('0') == std::string::npos;
}

String ExponentText(int Exp, int MinDigits, bool PlusSign)
{
    String Out;
    if (Exp < 0)
        Out.push_back(u'-');
    else if (PlusSign)
        Out.push_back(u'+');
    String Num = UIntToStr(UInt64(std::abs(Exp)));
    if (int(Num.size()) < MinDigits)
        Out.append(size_t(MinDigits) - Num.size(), u'0');
    return Out + Num;
}

// Integer part and Decimals fraction digits, with thousands separators
// when Thousands is not 0.
String FixedDigits(const TDecimal& D, int Decimals, Char DecimalSep, Char Thousands)
{
    auto Digit = [&](long I) { return I >= 0 && I < long(D.Digits.size()) ? Char(D.Digits[size_t(I)]) : u'0'; };
    String Int;
    if (D.Exponent <= 0 || D.Digits.empty()) {
        Int = u"0";
    } else {
        for (long I = 0; I < D.Exponent; ++I) {
            if (Thousands && I > 0 && (D.Exponent - I) % 3 == 0)
                Int.push_back(Thousands);
            Int.push_back(Digit(I));
        }
    }
    if (Decimals > 0) {
        Int.push_back(DecimalSep);
        for (long I = 0; I < Decimals; ++I)
            Int.push_back(Digit(long(D.Exponent) + I));
    }
    return Int;
}

String GeneralText(double Value, int Precision, int ExpDigits, const TFormatSettings& FS)
{
    TDecimal D = RoundSignificant(Value, Precision);
    while (!D.Digits.empty() && D.Digits.back() == '0')
        D.Digits.pop_back();
    if (D.Digits.empty())
        return u"0";
    String Out = D.Negative ? u"-" : u"";
    if (D.Exponent > Precision || D.Exponent < -4) {
        Out.push_back(Char(D.Digits[0]));
        if (D.Digits.size() > 1) {
            Out.push_back(FS.DecimalSeparator);
            Out += Ascii(D.Digits.substr(1));
        }
        Out.push_back(u'E');
        Out += ExponentText(D.Exponent - 1, ExpDigits, false);
        return Out;
    }
    int Decimals = std::max(0, int(D.Digits.size()) - D.Exponent);
    return Out + FixedDigits(D, Decimals, FS.DecimalSeparator, 0);
}

String ExponentForm(double Value, int Precision, int ExpDigits, const TFormatSettings& FS)
{
    TDecimal D = RoundSignificant(Value, Precision);
    String Out = D.Negative && !D.Digits.empty() ? u"-" : u"";
    int Exp = 0;
    if (D.Digits.empty())
        D.Digits.assign(size_t(Precision), '0');
    else
        Exp = D.Exponent - 1;
    Out.push_back(Char(D.Digits[0]));
    if (Precision > 1) {
        Out.push_back(FS.DecimalSeparator);
        Out += Ascii(D.Digits.substr(1));
    }
    Out.push_back(u'E');
    return Out + ExponentText(Exp, ExpDigits, true);
}

String CurrencyForm(const String& Number, bool Negative, const TFormatSettings& FS)
{
    const String& C = FS.CurrencyString;
    if (!Negative) {
        switch (FS.CurrencyFormat) {
        case 1: return Number + C;
        case 2: return C + u" " + Number;
        case 3: return Number + u" " + C;
        default: return C + Number;
        }
    }
    switch (FS.NegCurrFormat) {
    case 1: return u"-" + C + Number;
    case 2: return C + u"-" + Number;
    case 3: return C + Number + u"-";
    case 4: return u"(" + Number + C + u")";
    case 5: return u"-" + Number + C;
    case 6: return Number + u"-" + C;
    case 7: return Number + C + u"-";
    case 8: return u"-" + Number + u" " + C;
    case 9: return u"-" + C + u" " + Number;
    case 10: return Number + u" " + C + u"-";
    case 11: return C + u" " + Number + u"-";
    case 12: return C + u" -" + Number;
    case 13: return Number + u"- " + C;
    case 14: return u"(" + C + u" " + Number + u")";
    case 15: return u"(" + Number + u" " + C + u")";
    default: return u"(" + C + Number + u")";
    }
}

String FloatText(double Value, TFloatFormat Fmt, int Precision, int Digits, const TFormatSettings& FS)
{
    if (std::isnan(Value))
        return u"NAN";
    if (std::isinf(Value))
        return Value < 0 ? u"-INF" : u"INF";
    Precision = std::clamp(Precision, 1, MaxFloatDigits);
    switch (Fmt) {
    case ffGeneral: return GeneralText(Value, Precision, std::clamp(Digits, 0, 4), FS);
    case ffExponent: return ExponentForm(Value, Precision, std::clamp(Digits, 0, 4), FS);
    default: break;
    }
    Digits = std::clamp(Digits, 0, MaxFloatDigits);
    TDecimal D;
    if (Precision >= MaxFloatDigits) {
        D = RoundFixed(Value, Digits);
    } else {
        D = RoundSignificant(Value, Precision);
        RoundDecimalPlaces(D, Digits);
    }
    // More integer digits than the precision carries: the general form.
    if (D.Exponent > Precision)
        return GeneralText(Value, std::min(Precision, 15), 0, FS);
    bool Negative = D.Negative && !IsZero(D);
    Char Thousands = Fmt == ffFixed ? Char(0) : FS.ThousandSeparator;
    String Number = FixedDigits(D, Digits, FS.DecimalSeparator, Thousands);
    if (Fmt == ffCurrency)
        return CurrencyForm(Number, Negative, FS);
    return Negative ? u"-" + Number : Number;
}

// Whether a plain decimal text ("123.45e-6") is below one in magnitude.
bool BelowOne(const std::string& Text)
{
    size_t E = Text.find('e');
    std::string Mantissa = Text.substr(0, E);
    long Exp = 0;
    if (E != std::string::npos) {
        // Saturates: the digits only tell which side of one the value is.
        size_t I = E + 1;
        bool Neg = I < Text.size() && Text[I] == '-';
        if (I < Text.size() && (Text[I] == '-' || Text[I] == '+'))
            ++I;
        for (; I < Text.size(); ++I)
            Exp = std::min<long>(Exp * 10 + (Text[I] - '0'), 100000);
        if (Neg)
            Exp = -Exp;
    }
    size_t Dot = Mantissa.find('.');
    long IntDigits = long(Dot == std::string::npos ? Mantissa.size() : Dot);
    size_t First = Mantissa.find_first_of("123456789");
    if (First == std::string::npos)
        return true;
    long Position = long(First) < IntDigits ? long(First) : long(First) - 1;
    return IntDigits - Position - 1 + Exp < 0;
}

String IntegerDigits(UInt64 Magnitude, bool Negative, Int64 Precision, bool Hex)
{
    String Digits = Hex ? IntToHex(Magnitude, 1) : UIntToStr(Magnitude);
    if (Precision > Int64(Digits.size()))
        Digits.insert(0, size_t(Precision) - Digits.size(), u'0');
    return Negative ? u"-" + Digits : Digits;
}

}

String FloatToStrF(double Value, TFloatFormat Fmt, Integer Precision, Integer Digits)
{
    return FloatText(Value, Fmt, Precision, Digits, FormatSettings);
}

String FloatToStrF(double Value, TFloatFormat Fmt, Integer Precision, Integer Digits, const TFormatSettings& Settings)
{
    return FloatText(Value, Fmt, Precision, Digits, Settings);
}

String FloatToStr(double Value)
{
    return FloatText(Value, ffGeneral, 15, 0, FormatSettings);
}
String FloatToStr(double Value, const TFormatSettings& Settings)
{
    return FloatText(Value, ffGeneral, 15, 0, Settings);
}

String Format(const String& Fmt, std::initializer_list<TVarRec> Args)
{
    return Format(Fmt, std::span<const TVarRec>(Args.begin(), Args.size()), FormatSettings);
}

String Format(const String& Fmt, std::initializer_list<TVarRec> Args, const TFormatSettings& Settings)
{
    return Format(Fmt, std::span<const TVarRec>(Args.begin(), Args.size()), Settings);
}

String Format(const String& Fmt, std::span<const TVarRec> Args, const TFormatSettings& Settings)
{
    String Out;
    Out.reserve(Fmt.size() + 16);
    size_t I = 0, N = Fmt.size();
    size_t ArgIndex = 0;
    auto Fail = [&]() { RaiseInvalidFormat(Fmt); };
    auto NextArg = [&]() -> const TVarRec& {
        if (ArgIndex >= Args.size())
            Fail();
        return Args[ArgIndex++];
    };
    // A number or '*'; -1 when there is none (or '*' gave a negative one).
    auto ReadNumber = [&](bool& Present) -> Int64 {
        Present = false;
        if (I < N && Fmt[I] == u'*') {
            ++I;
            Present = true;
            const TVarRec& A = NextArg();
            if (A.VType != TVarRec::vtInteger)
                Fail();
            return A.VInteger < 0 ? -1 : A.VInteger;
        }
        Int64 V = 0;
        while (I < N && Fmt[I] >= u'0' && Fmt[I] <= u'9') {
            Present = true;
            V = std::min<Int64>(V * 10 + (Fmt[I] - u'0'), MaxPadding + 1);
            ++I;
        }
        return Present ? V : -1;
    };
    while (I < N) {
        size_t Next = Fmt.find(u'%', I);
        if (Next == String::npos) {
            Out.append(Fmt, I, String::npos);
            break;
        }
        Out.append(Fmt, I, Next - I);
        I = Next + 1;
        if (I >= N)
            Fail();
        if (Fmt[I] == u'%') {
            Out.push_back(u'%');
            ++I;
            continue;
        }
        bool Present;
        Int64 Width = ReadNumber(Present);
        if (Present && I < N && Fmt[I] == u':') {
            ++I;
            if (Width < 0)
                Fail();
            ArgIndex = size_t(Width);
            Width = -1;
        }
        bool Left = false;
        if (!Present || Width == -1) {
            if (I < N && Fmt[I] == u'-') {
                Left = true;
                ++I;
            }
            Width = ReadNumber(Present);
        }
        Int64 Prec = -1;
        if (I < N && Fmt[I] == u'.') {
            ++I;
            Prec = ReadNumber(Present);
            if (!Present)
                Prec = 0;
        }
        if (I >= N || Width > MaxPadding || Prec > MaxPadding)
            Fail();
        Char Type = Fmt[I++];
        if (Type >= u'A' && Type <= u'Z')
            Type = Char(Type + 32);
        const TVarRec& A = NextArg();
        String Piece;
        switch (Type) {
        case u'd':
            if (A.VType == TVarRec::vtInteger)
                Piece = IntegerDigits(A.VInteger < 0 ? 0 - UInt64(Int64(A.VInteger)) : UInt64(A.VInteger),
                    A.VInteger < 0, Prec, false);
            else if (A.VType == TVarRec::vtInt64)
                Piece =
                    IntegerDigits(A.VInt64 < 0 ? 0 - UInt64(A.VInt64) : UInt64(A.VInt64), A.VInt64 < 0, Prec, false);
            else if (A.VType == TVarRec::vtUInt64)
                Piece = IntegerDigits(A.VUInt64, false, Prec, false);
            else
                Fail();
            break;
        case u'u':
        case u'x':
            if (A.VType == TVarRec::vtInteger)
                Piece = IntegerDigits(Cardinal(A.VInteger), false, Prec, Type == u'x');
            else if (A.VType == TVarRec::vtInt64 || A.VType == TVarRec::vtUInt64)
                Piece = IntegerDigits(A.VUInt64, false, Prec, Type == u'x');
            else
                Fail();
            break;
        case u'e':
        case u'f':
        case u'g':
        case u'n':
        case u'm': {
            if (A.VType != TVarRec::vtExtended)
                Fail();
            int P = int(Prec);
            switch (Type) {
            case u'e': Piece = FloatText(A.VExtended, ffExponent, Prec < 0 ? 15 : P, 3, Settings); break;
            case u'g': Piece = FloatText(A.VExtended, ffGeneral, Prec < 0 ? 15 : P, 3, Settings); break;
            case u'f': Piece = FloatText(A.VExtended, ffFixed, MaxFloatDigits, Prec < 0 ? 2 : P, Settings); break;
            case u'n': Piece = FloatText(A.VExtended, ffNumber, MaxFloatDigits, Prec < 0 ? 2 : P, Settings); break;
            default:
                Piece = FloatText(A.VExtended, ffCurrency, MaxFloatDigits, Prec < 0 ? Settings.CurrencyDecimals : P,
                    Settings);
            }
            break;
        }
        case u'p':
            if (A.VType != TVarRec::vtPointer)
                Fail();
            Piece = IntToHex(UInt64(reinterpret_cast<NativeUInt>(A.VPointer)), int(sizeof(void*) * 2));
            break;
        case u's':
            if (A.VType == TVarRec::vtString)
                Piece = Prec >= 0 && size_t(Prec) < A.VString.size() ? A.VString.substr(0, size_t(Prec)) : A.VString;
            else if (A.VType == TVarRec::vtChar)
                Piece = Prec == 0 ? String() : String(1, A.VChar);
            else
                Fail();
            break;
        default: Fail();
        }
        if (Width > Int64(Piece.size())) {
            size_t Pad = size_t(Width) - Piece.size();
            if (Left)
                Piece.append(Pad, u' ');
            else
                Piece.insert(0, Pad, u' ');
        }
        Out += Piece;
    }
    return Out;
}

bool TryStrToFloat(StringView Text, double& Value)
{
    return TryStrToFloat(Text, Value, FormatSettings);
}

bool TryStrToFloat(StringView Text, double& Value, const TFormatSettings& Settings)
{
    size_t B = 0, E = Text.size();
    while (B < E && Text[B] <= u' ')
        ++B;
    while (E > B && Text[E - 1] <= u' ')
        --E;
    // Only the plain syntax is let through to the conversion; it would
    // also take "inf", "nan" and hexadecimal forms.
    std::string Ascii;
    bool Negative = false;
    size_t I = B;
    if (I < E && (Text[I] == u'+' || Text[I] == u'-'))
        Negative = Text[I++] == u'-';
    bool Digits = false, Point = false;
    for (; I < E; ++I) {
        Char C = Text[I];
        if (C >= u'0' && C <= u'9') {
            Digits = true;
            Ascii.push_back(char(C));
        } else if (C == Settings.DecimalSeparator && !Point) {
            Point = true;
            Ascii.push_back('.');
        } else {
            break;
        }
    }
    if (!Digits)
        return false;
    if (I < E && (Text[I] == u'e' || Text[I] == u'E')) {
        Ascii.push_back('e');
        ++I;
        if (I < E && (Text[I] == u'+' || Text[I] == u'-'))
            Ascii.push_back(char(Text[I++]));
        bool ExpDigits = false;
        for (; I < E && Text[I] >= u'0' && Text[I] <= u'9'; ++I) {
            ExpDigits = true;
            Ascii.push_back(char(Text[I]));
        }
        if (!ExpDigits)
            return false;
    }
    if (I != E)
        return false;
    double V = 0;
    auto R = std::from_chars(Ascii.data(), Ascii.data() + Ascii.size(), V, std::chars_format::general);
    if (R.ec == std::errc::result_out_of_range) {
        // Too small for a double is zero; too large is an error.
        if (!BelowOne(Ascii))
            return false;
        V = 0;
    } else if (R.ec != std::errc() || R.ptr != Ascii.data() + Ascii.size()) {
        return false;
    }
    Value = Negative ? -V : V;
    return true;
}

double StrToFloat(StringView Text)
{
    return StrToFloat(Text, FormatSettings);
}

double StrToFloat(StringView Text, const TFormatSettings& Settings)
{
    double V;
    if (!TryStrToFloat(Text, V, Settings)) {
        String Msg = u"'";
        Msg.append(Text);
        Msg += u"' is not a valid floating point value";
        throw EConvertError(Msg);
    }
    return V;
}

double StrToFloatDef(StringView Text, double Default)
{
    double V;
    return TryStrToFloat(Text, V) ? V : Default;
}

bool ReadLocaleSeparators(const char* LocaleName, TFormatSettings& Settings)
{
    // A private locale object: the process's own C locale stays "C", so
    // printf, strtod and the libraries that use them keep writing '.'.
    locale_t L = newlocale(LC_NUMERIC_MASK, LocaleName, locale_t(0));
    if (!L)
        return false;
    auto OneChar = [](const char* Utf8) -> Char {
        String S = Utf8 ? UTF8ToString(Utf8) : String();
        return S.size() == 1 ? S[0] : Char(0);
    };
    Char Decimal = OneChar(nl_langinfo_l(RADIXCHAR, L));
    Char Thousands = OneChar(nl_langinfo_l(THOUSEP, L));
    freelocale(L);
    if (!Decimal)
        Decimal = u'.';
    // The locale may have no grouping character; keep one that differs
    // from the decimal separator, so number texts stay readable.
    if (!Thousands || Thousands == Decimal)
        Thousands = Decimal == u',' ? u'.' : u',';
    Settings.DecimalSeparator = Decimal;
    Settings.ThousandSeparator = Thousands;
    return true;
}

namespace {
void InitFormatSettings()
{
    FormatSettings = TFormatSettings {};
    ReadLocaleSeparators("", FormatSettings);
}
}

X_UNIT(Rtl_Format, "Rtl.Format", {}, &InitFormatSettings, nullptr)
