// Byte strings tagged with their code page, and the conversions between
// them and String. The "ANSI" code page is Windows-1252; UTF-8 is 65001.
#pragma once
#include "rtl/Types.h"

inline constexpr Word CP_1252 = 1252;
inline constexpr Word CP_UTF8 = 65001;

struct TCodePageString {
    RawBytes Bytes;
    Word CodePage = CP_1252;

    friend bool operator==(const TCodePageString&, const TCodePageString&) = default;
};
// The "ANSI" byte string: Windows-1252.
using AnsiString = TCodePageString;

// String <-> Windows-1252. A character 1252 cannot hold becomes '?' (a
// surrogate pair counts as one character). The five bytes 1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control
// characters of the same code, both ways.
AnsiString StringToAnsi(StringView Text);
String AnsiToString(std::string_view Bytes);
String AnsiToString(const AnsiString& Text);

// The same for any supported code page (1252 and 65001); any other raises
// EConvertError. FromCodePage reads the bytes in the string's own page.
TCodePageString ToCodePage(StringView Text, Word CodePage);
String FromCodePage(std::string_view Bytes, Word CodePage);
String FromCodePage(const TCodePageString& Text);
