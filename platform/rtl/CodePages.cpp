#include "rtl/CodePages.h"
#include "rtl/Exceptions.h"
#include "rtl/StrUtils.h"

namespace {

// What the bytes 0x80..0x9F stand for; the rest of 1252 is Latin-1.
constexpr Char High1252[32] = {
    0x20AC,
    0x0081,
    0x201A,
    0x0192,
    0x201E,
    0x2026,
    0x2020,
    0x2021,
    0x02C6,
    0x2030,
    0x0160,
    0x2039,
    0x0152,
    0x008D,
    0x017D,
    0x008F,
    0x0090,
    0x2018,
    0x2019,
    0x201C,
    0x201D,
    0x2022,
    0x2013,
    0x2014,
    0x02DC,
    0x2122,
    0x0161,
    0x203A,
    0x0153,
    0x009D,
    0x017E,
    0x0178,
};

char CharTo1252(Char C)
{
    if (C < 0x80 || (C >= 0xA0 && C <= 0xFF))
        return char(C);
    for (int I = 0; I < 32; ++I)
        if (High1252[I] == C)
            return char(0x80 + I);
    return '?';
}

[[noreturn]] void RaiseCodePage(Word CodePage)
{
    throw EConvertError(u"No mapping for the code page " + IntToStr(Integer(CodePage)));
}

}

AnsiString StringToAnsi(StringView Text)
{
    AnsiString Out;
    Out.Bytes.reserve(Text.size());
    for (size_t I = 0; I < Text.size(); ++I) {
        Char C = Text[I];
        if (C >= 0xD800 && C <= 0xDBFF && I + 1 < Text.size() && Text[I + 1] >= 0xDC00 && Text[I + 1] <= 0xDFFF)
            ++I; // one character, one '?'
        Out.Bytes.push_back(CharTo1252(C));
    }
    return Out;
}

String AnsiToString(std::string_view Bytes)
{
    String Out;
    Out.reserve(Bytes.size());
    for (char B : Bytes) {
        auto U = static_cast<unsigned char>(B);
        Out.push_back(U >= 0x80 && U <= 0x9F ? High1252[U - 0x80] : Char(U));
    }
    return Out;
}

String AnsiToString(const AnsiString& Text)
{
    return FromCodePage(Text);
}

TCodePageString ToCodePage(StringView Text, Word CodePage)
{
    switch (CodePage) {
    case CP_1252: return StringToAnsi(Text);
    case CP_UTF8: return { StringToUTF8(Text), CP_UTF8 };
    default: RaiseCodePage(CodePage);
    }
}

String FromCodePage(std::string_view Bytes, Word CodePage)
{
    switch (CodePage) {
    case CP_1252: return AnsiToString(Bytes);
    case CP_UTF8: return UTF8ToString(Bytes);
    default: RaiseCodePage(CodePage);
    }
}

String FromCodePage(const TCodePageString& Text)
{
    return FromCodePage(Text.Bytes, Text.CodePage);
}
