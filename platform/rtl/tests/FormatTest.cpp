#include "rtl/Format.h"
#include "rtl/StrUtils.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <vector>

namespace {

struct TFormatCase {
    const char16_t* Fmt;
    std::vector<TVarRec> Args;
    const char16_t* Expected;
};

String Fmt(const String& Fmt, const std::vector<TVarRec>& Args, const TFormatSettings& FS = TFormatSettings {})
{
    return Format(Fmt, std::span<const TVarRec>(Args), FS);
}

}

TEST(Format, Conversions)
{
    const TFormatCase Cases[] = {
        { u"plain", {}, u"plain" },
        { u"%d|%D", { 42, -7 }, u"42|-7" },
        { u"[%5d][%-5d]", { 42, 42 }, u"[   42][42   ]" },
        { u"[%05d]", { 3 }, u"[    3]" }, // no zero flag: 05 is a width
        { u"%.5d", { -3 }, u"-00003" },
        { u"%3.1d", { 12345 }, u"12345" },
        { u"%d", { std::numeric_limits<Int64>::min() }, u"-9223372036854775808" },
        { u"%d", { std::numeric_limits<UInt64>::max() }, u"18446744073709551615" },
        { u"%d", { 4000000000u }, u"4000000000" },
        { u"%u", { -1 }, u"4294967295" },
        { u"%x|%.4x|%X", { 255, 255, -1 }, u"FF|00FF|FFFFFFFF" },
        { u"%x", { Int64(-1) }, u"FFFFFFFFFFFFFFFF" },
        { u"%s and %s", { u"a", String(u"b") }, u"a and b" },
        { u"%s", { "caf\xC3\xA9" }, u"caf\u00E9" },
        { u"[%.2s][%6s][%-3s]", { u"abcdef", u"ab", u"ab" }, u"[ab][    ab][ab ]" },
        { u"[%.0s][%.0s][%.3s]", { u"abc", u'x', u"abc" }, u"[][][abc]" }, // precision 0 keeps nothing
        { u"%s%s", { u'x', 'y' }, u"xy" },
        { u"%1:s %0:s", { u"a", u"b" }, u"b a" },
        { u"%1:s %s", { u"a", u"b", u"c" }, u"b c" }, // numbering goes on after an index
        { u"%0:s-%0:s", { u"r" }, u"r-r" },
        { u"[%*d][%-*d]", { 4, 7, 3, 7 }, u"[   7][7  ]" },
        { u"%.*f", { 1, 2.25 }, u"2.3" },
        { u"100%% %s", { u"done" }, u"100% done" },
        { u"%d", { 1, 2, 3 }, u"1" }, // extra arguments are ignored
        { u"%p", { reinterpret_cast<void*>(0x1234) }, u"0000000000001234" },
        { u"%p", { nullptr }, u"0000000000000000" },
        { u"%s", { static_cast<const char16_t*>(nullptr) }, u"" },
        { u"%f", { 1234.5 }, u"1234.50" },
        { u"%0.2f", { 1.5 }, u"1.50" },
        { u"%.0f|%.0f|%.0f", { 0.5, 2.5, -2.5 }, u"1|3|-3" }, // halves away from zero
        { u"%.2f|%.2f", { 1.125, 1.005 }, u"1.13|1.00" }, // 1.005 is just below in binary
        { u"%.2f", { -0.001 }, u"0.00" },
        { u"%.1f", { 9.96 }, u"10.0" },
        { u"%8.3f|", { -3.14159 }, u"  -3.142|" },
        { u"%e", { 1234.5678 }, u"1.23456780000000E+003" },
        { u"%.3e|%.1e", { 1234.5678, 9.96 }, u"1.23E+003|1E+001" },
        { u"%e", { 0.0 }, u"0.00000000000000E+000" },
        { u"%.4e", { -1.5e-10 }, u"-1.500E-010" },
        { u"%g|%g|%g", { 1234.5, 0.0, 1e20 }, u"1234.5|0|1E020" },
        { u"%g|%g", { 0.00001, 0.000001 }, u"0.00001|1E-006" },
        { u"%.3g", { 1234.5 }, u"1.23E003" },
        { u"%n|%.0n|%n", { 1234567.891, 999.5, -1234.5 }, u"1,234,567.89|1,000|-1,234.50" },
        { u"%n", { 123.0 }, u"123.00" },
        { u"%m|%m|%.0m", { 1234.5, -1234.5, 2.5 }, u"$1,234.50|($1,234.50)|$3" },
        { u"%f|%f|%e", { std::nan(""), -INFINITY, INFINITY }, u"NAN|-INF|INF" },
        { u"%s", { String(u"%d") }, u"%d" },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(Fmt(C.Fmt, C.Args), C.Expected) << StringToUTF8(C.Fmt);
}

TEST(Format, BadArgumentsRaiseTheConversionError)
{
    const TFormatCase Cases[] = {
        { u"%d", {}, nullptr },
        { u"%d %d", { 1 }, nullptr },
        { u"%d", { 1.5 }, nullptr },
        { u"%d", { u"1" }, nullptr },
        { u"%d", { true }, nullptr },
        { u"%d", { u'1' }, nullptr },
        { u"%f", { 1 }, nullptr }, // an integer is not a float
        { u"%s", { 1 }, nullptr },
        { u"%s", { true }, nullptr },
        { u"%p", { 1 }, nullptr },
        { u"%x", { 1.0 }, nullptr },
        { u"%*d", { u"4", 1 }, nullptr },
        { u"%3:d", { 1, 2 }, nullptr },
        { u"abc%", { 1 }, nullptr },
        { u"%5", { 1 }, nullptr },
        { u"%.", { 1 }, nullptr },
        { u"%z", { 1 }, nullptr },
        { u"%-", { 1 }, nullptr },
        { u"%99999999999d", { 1 }, nullptr }, // refused, never allocated
        { u"%.9999999d", { 1 }, nullptr },
    };
    for (const auto& C : Cases) {
        try {
            Fmt(C.Fmt, C.Args);
            ADD_FAILURE() << "no error for " << StringToUTF8(C.Fmt);
        } catch (const EConvertError& E) {
            EXPECT_EQ(E.Message(), u"Format '" + String(C.Fmt) + u"' invalid or incompatible with argument");
        }
    }
}

TEST(Format, SettingsGiveTheSeparators)
{
    TFormatSettings FS;
    FS.DecimalSeparator = u',';
    FS.ThousandSeparator = u'.';
    FS.CurrencyString = u"EUR";
    FS.CurrencyFormat = 3;
    FS.NegCurrFormat = 8;
    EXPECT_EQ(Fmt(u"%.2f|%n|%e", { 1.5, 1234567.5, 1.5 }, FS), u"1,50|1.234.567,50|1,50000000000000E+000");
    EXPECT_EQ(Fmt(u"%m|%m", { 1234.5, -2.0 }, FS), u"1.234,50 EUR|-2,00 EUR");
    EXPECT_EQ(FloatToStr(0.25, FS), u"0,25");
    EXPECT_EQ(StrToFloat(u"0,25", FS), 0.25);
    double V;
    EXPECT_FALSE(TryStrToFloat(u"0.25", V, FS));
    FS.ThousandSeparator = 0;
    EXPECT_EQ(Fmt(u"%n", { 1234567.0 }, FS), u"1234567,00");
}

TEST(Format, LocaleSeparators)
{
    TFormatSettings FS;
    FS.DecimalSeparator = u'#';
    EXPECT_FALSE(ReadLocaleSeparators("xx_NO.SUCH-LOCALE", FS));
    EXPECT_EQ(FS.DecimalSeparator, u'#');
    ASSERT_TRUE(ReadLocaleSeparators("C", FS));
    EXPECT_EQ(FS.DecimalSeparator, u'.');
    EXPECT_EQ(FS.ThousandSeparator, u','); // "C" groups with nothing
}

TEST(Format, FloatToStrIsShortestWith15Digits)
{
    const std::pair<double, const char16_t*> Cases[] = {
        { 1.5, u"1.5" },
        { 100, u"100" },
        { 0.1, u"0.1" },
        { -0.0, u"0" },
        { 1.0 / 3, u"0.333333333333333" },
        { 2.0 / 3, u"0.666666666666667" },
        { 1e20, u"1E20" },
        { 1.5e-7, u"1.5E-7" },
        { 0.0001234, u"0.0001234" },
        { 123456789012345678.0, u"1.23456789012346E17" },
        { 999999999999999.0, u"999999999999999" },
        { 9999999999999999.0, u"1E16" },
        { -12.75, u"-12.75" },
        { std::nan(""), u"NAN" },
    };
    for (auto [V, Expected] : Cases)
        EXPECT_EQ(FloatToStr(V, TFormatSettings {}), Expected) << V;
    EXPECT_EQ(FloatToStrF(1234.5678, ffFixed, 4, 2, TFormatSettings {}), u"1235.00");
    EXPECT_EQ(FloatToStrF(1234567.0, ffFixed, 4, 2, TFormatSettings {}), u"1.235E6");
    EXPECT_EQ(FloatToStrF(1234.5, ffNumber, 15, 1, TFormatSettings {}), u"1,234.5");
}

TEST(Format, StrToFloat)
{
    const std::pair<const char16_t*, double> Good[] = {
        { u"1.5", 1.5 },
        { u" -2.5e3 ", -2500 },
        { u"+.5", 0.5 },
        { u"5.", 5 },
        { u"1E-2", 0.01 },
        { u"007", 7 },
        { u"1e-999", 0 },
        { u"0.1", 0.1 },
    };
    TFormatSettings FS;
    for (auto [Text, V] : Good)
        EXPECT_EQ(StrToFloat(Text, FS), V) << StringToUTF8(Text);
    const char16_t* Bad[] = { u"", u" ", u"abc", u"1,5", u"1e", u"1e+", u"inf", u"nan", u"0x10", u"1e999", u"1.2.3",
        u"--1", u"1 2", u"." };
    for (const char16_t* Text : Bad) {
        double V = 42;
        EXPECT_FALSE(TryStrToFloat(Text, V, FS)) << StringToUTF8(Text);
        EXPECT_EQ(V, 42);
    }
    EXPECT_EQ(StrToFloatDef(u"x", 3.5), 3.5);
    try {
        StrToFloat(u"1,5x", FS);
        ADD_FAILURE();
    } catch (const EConvertError& E) {
        EXPECT_EQ(E.Message(), u"'1,5x' is not a valid floating point value");
    }
    for (double V : { 0.1, 1.0 / 3, 6.02214076e23, -1.6e-19, 1e300 })
        EXPECT_NEAR(StrToFloat(FloatToStr(V, FS), FS), V, std::fabs(V) * 1e-14);
}

// Rounding against python's exact decimal arithmetic: every double's exact
// value rounded half away from zero, at fixed places and significant digits.
TEST(Format, RoundingAgreesWithExactDecimalArithmetic)
{
    std::mt19937_64 Rng(12345);
    std::vector<double> Values;
    for (int I = 0; I < 300; ++I) {
        // Exact halves at several places, and ordinary values.
        Values.push_back(double(Rng() % 100000) / 8 * (I % 2 ? 1 : -1));
        Values.push_back(std::ldexp(double(Rng() % 1000000), -int(Rng() % 30)));
        Values.push_back(std::uniform_real_distribution<double>(-1e6, 1e6)(Rng));
    }
    Testing::TTempFolder Dir;
    {
        std::ofstream F(Dir / "in.txt");
        for (double V : Values) {
            char Hex[64];
            std::snprintf(Hex, sizeof Hex, "%a", V);
            F << Hex << "\n";
        }
    }
    const Testing::TToolResult Python = Testing::RunTool({ "python3", "-c",
        "import sys\n"
        "from decimal import Decimal, ROUND_HALF_UP, Context\n"
        "for line in open(sys.argv[1]):\n"
        "    d = Decimal(float.fromhex(line.strip()))\n"
        "    f = d.quantize(Decimal('0.01'), rounding=ROUND_HALF_UP)\n"
        "    if f == 0: f = abs(f)\n"
        "    e = Context(prec=6, rounding=ROUND_HALF_UP).plus(d)\n"
        "    if e == 0:\n"
        "        es = '0.00000E+000'\n"
        "    else:\n"
        "        t = e.as_tuple(); digits = ''.join(map(str, t.digits)).ljust(6, '0')[:6]\n"
        "        x = e.adjusted()\n"
        "        es = ('-' if t.sign else '') + digits[0] + '.' + digits[1:] + 'E' + ('-' if x < 0 else '+') + "
        "'%03d' % abs(x)\n"
        "    print('%s %s' % (f, es))\n",
        (Dir / "in.txt").string() });
    ASSERT_EQ(Python.ExitCode, 0);
    std::istringstream Lines(Python.Output);
    for (double V : Values) {
        std::string Fixed, Sci;
        ASSERT_TRUE(Lines >> Fixed >> Sci);
        EXPECT_EQ(StringToUTF8(Fmt(u"%.2f", { V })), Fixed) << V;
        EXPECT_EQ(StringToUTF8(Fmt(u"%.6e", { V })), Sci) << V;
    }
}
