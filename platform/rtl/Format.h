// Format and the number conversions that follow the format settings.
//
//     Format(u"%s has %d items (%.1f%%)", {Name, Count, Percent});
//
// A conversion is %[index:][-][width][.prec]type, where index, width and
// precision may be '*' (taken from the next argument, an integer) and type
// is one of d u x e f g n m p s (either case). An argument of the wrong kind,
// a missing one or a broken conversion raises EConvertError.
#pragma once
#include "rtl/Types.h"
#include <array>
#include <concepts>
#include <initializer_list>
#include <span>
#include <type_traits>

// One argument of Format: a small tagged value made implicitly from the
// C++ value.
struct TVarRec {
    enum TVarType : Byte { vtInteger, vtInt64, vtUInt64, vtExtended, vtChar, vtString, vtPointer, vtBoolean };

    TVarType VType;
    union {
        Integer VInteger;
        Int64 VInt64;
        UInt64 VUInt64;
        double VExtended;
        Char VChar;
        const void* VPointer;
        bool VBoolean;
    };
    String VString;

    TVarRec(bool V)
        : VType(vtBoolean)
        , VBoolean(V)
    { }
    TVarRec(char16_t V)
        : VType(vtChar)
        , VChar(V)
    { }
    TVarRec(char V)
        : VType(vtChar)
        , VChar(Char(static_cast<unsigned char>(V)))
    { }
    template<std::integral T>
    requires(!std::is_same_v<T, bool> && !std::is_same_v<T, char> && !std::is_same_v<T, char16_t> &&
        !std::is_same_v<T, char8_t> && !std::is_same_v<T, char32_t> && !std::is_same_v<T, wchar_t>) TVarRec(T V)
    {
        if constexpr (std::is_signed_v<T> && sizeof(T) <= 4) {
            VType = vtInteger;
            VInteger = V;
        } else if constexpr (std::is_unsigned_v<T> && sizeof(T) < 4) {
            VType = vtInteger;
            VInteger = V;
        } else if constexpr (std::is_signed_v<T> || sizeof(T) < 8) {
            VType = vtInt64;
            VInt64 = Int64(V);
        } else {
            VType = vtUInt64;
            VUInt64 = V;
        }
    }
    template<std::floating_point T>
    TVarRec(T V)
        : VType(vtExtended)
        , VExtended(double(V))
    { }
    TVarRec(const String& V)
        : VType(vtString)
        , VInt64(0)
        , VString(V)
    { }
    TVarRec(String&& V)
        : VType(vtString)
        , VInt64(0)
        , VString(std::move(V))
    { }
    TVarRec(StringView V)
        : VType(vtString)
        , VInt64(0)
        , VString(V)
    { }
    TVarRec(const char16_t* V)
        : VType(vtString)
        , VInt64(0)
        , VString(V ? V : u"")
    { }
    // A C string is UTF-8 text.
    TVarRec(const char* V);
    TVarRec(std::nullptr_t)
        : VType(vtPointer)
        , VPointer(nullptr)
    { }
    template<class T>
    requires(!std::is_same_v<std::remove_cv_t<T>, char> && !std::is_same_v<std::remove_cv_t<T>, char16_t>) TVarRec(T* V)
        : VType(vtPointer)
        , VPointer(V)
    { }
};

// The settings that number, date and time texts follow. A default
// TFormatSettings is the invariant (United States) form.
struct TFormatSettings {
    Byte CurrencyFormat = 0; // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
    Byte NegCurrFormat = 0; // 0 "($1)" .. 15 "(1 $)", as the system's table
    Char ThousandSeparator = u','; // 0: none
    Char DecimalSeparator = u'.';
    Byte CurrencyDecimals = 2;
    Char DateSeparator = u'/';
    Char TimeSeparator = u':';
    Char ListSeparator = u',';
    String CurrencyString = u"$";
    String ShortDateFormat = u"M/d/yyyy";
    String LongDateFormat = u"dddd, MMMM d, yyyy";
    String TimeAMString = u"AM";
    String TimePMString = u"PM";
    String ShortTimeFormat = u"h:mm AMPM";
    String LongTimeFormat = u"h:mm:ss AMPM";
    // Index 0 is January, and Sunday for the day names.
    std::array<String, 12> ShortMonthNames { u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun", u"Jul", u"Aug", u"Sep",
        u"Oct", u"Nov", u"Dec" };
    std::array<String, 12> LongMonthNames { u"January", u"February", u"March", u"April", u"May", u"June", u"July",
        u"August", u"September", u"October", u"November", u"December" };
    std::array<String, 7> ShortDayNames { u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat" };
    std::array<String, 7> LongDayNames { u"Sunday", u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday",
        u"Saturday" };
    Word TwoDigitYearCenturyWindow = 50;
};

// The process's settings. The decimal separator (and with it the thousands
// separator) comes from the user's numeric locale (LC_ALL, LC_NUMERIC, LANG)
// when the units are initialised; '.' when there is none.
extern TFormatSettings FormatSettings;
// Reads the separators of a numeric locale name ("" for the user's) into
// Settings; false, leaving Settings alone, when the locale is unknown.
bool ReadLocaleSeparators(const char* LocaleName, TFormatSettings& Settings);

String Format(const String& Fmt, std::initializer_list<TVarRec> Args);
String Format(const String& Fmt, std::initializer_list<TVarRec> Args, const TFormatSettings& Settings);
String Format(const String& Fmt, std::span<const TVarRec> Args, const TFormatSettings& Settings);

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// Precision is the number of significant digits (at most 18); Digits the
// digits after the decimal point (ffFixed, ffNumber, ffCurrency) or the
// least number of exponent digits (ffGeneral, ffExponent). Halves round
// away from zero.
String FloatToStrF(double Value, TFloatFormat Fmt, Integer Precision, Integer Digits);
String FloatToStrF(double Value, TFloatFormat Fmt, Integer Precision, Integer Digits, const TFormatSettings& Settings);
// The shortest form with 15 significant digits: "1.5", "1E20".
String FloatToStr(double Value);
String FloatToStr(double Value, const TFormatSettings& Settings);

// Optional sign, digits with one decimal separator, optional exponent;
// blanks around are allowed.
double StrToFloat(StringView Text); // raises EConvertError
double StrToFloat(StringView Text, const TFormatSettings& Settings);
double StrToFloatDef(StringView Text, double Default);
bool TryStrToFloat(StringView Text, double& Value);
bool TryStrToFloat(StringView Text, double& Value, const TFormatSettings& Settings);
