// UTF-8 and UTF-16 conversions.
#include "rtl/Types.h"

String UTF8ToString(std::string_view Utf8)
{
    String Out;
    Out.reserve(Utf8.size());
    const auto* P = reinterpret_cast<const unsigned char*>(Utf8.data());
    const auto* End = P + Utf8.size();
    while (P < End) {
        unsigned char C = *P;
        char32_t Code;
        int Extra;
        if (C < 0x80) {
            Out.push_back(C);
            ++P;
            continue;
        }
        if ((C & 0xE0) == 0xC0) {
            Code = C & 0x1F;
            Extra = 1;
        } else if ((C & 0xF0) == 0xE0) {
            Code = C & 0x0F;
            Extra = 2;
        } else if ((C & 0xF8) == 0xF0) {
            Code = C & 0x07;
            Extra = 3;
        } else {
            Out.push_back(0xFFFD);
            ++P;
            continue;
        }
        if (End - P < Extra + 1) {
            Out.push_back(0xFFFD);
            break;
        }
        bool Ok = true;
        for (int I = 1; I <= Extra; ++I) {
            if ((P[I] & 0xC0) != 0x80) {
                Ok = false;
                Extra = I - 1;
                break;
            }
            Code = (Code << 6) | (P[I] & 0x3F);
        }
        static constexpr char32_t Min[] = { 0, 0x80, 0x800, 0x10000 };
        if (!Ok || Code < Min[Extra] || Code > 0x10FFFF || (Code >= 0xD800 && Code <= 0xDFFF)) {
            Out.push_back(0xFFFD);
            P += Extra + 1;
            continue;
        }
        P += Extra + 1;
        if (Code >= 0x10000) {
            Code -= 0x10000;
            Out.push_back(Char(0xD800 + (Code >> 10)));
            Out.push_back(Char(0xDC00 + (Code & 0x3FF)));
        } else {
            Out.push_back(Char(Code));
        }
    }
    return Out;
}

UTF8String StringToUTF8(StringView Text)
{
    UTF8String Out;
    Out.reserve(Text.size());
    for (size_t I = 0; I < Text.size(); ++I) {
        char32_t Code = Text[I];
        if (Code >= 0xD800 && Code <= 0xDBFF && I + 1 < Text.size() && Text[I + 1] >= 0xDC00 && Text[I + 1] <= 0xDFFF) {
            Code = 0x10000 + ((Code - 0xD800) << 10) + (Text[I + 1] - 0xDC00);
            ++I;
        } else if (Code >= 0xD800 && Code <= 0xDFFF) {
            Code = 0xFFFD;
        }
        if (Code < 0x80) {
            Out.push_back(char(Code));
        } else if (Code < 0x800) {
            Out.push_back(char(0xC0 | (Code >> 6)));
            Out.push_back(char(0x80 | (Code & 0x3F)));
        } else if (Code < 0x10000) {
            Out.push_back(char(0xE0 | (Code >> 12)));
            Out.push_back(char(0x80 | ((Code >> 6) & 0x3F)));
            Out.push_back(char(0x80 | (Code & 0x3F)));
        } else {
            Out.push_back(char(0xF0 | (Code >> 18)));
            Out.push_back(char(0x80 | ((Code >> 12) & 0x3F)));
            Out.push_back(char(0x80 | ((Code >> 6) & 0x3F)));
            Out.push_back(char(0x80 | (Code & 0x3F)));
        }
    }
    return Out;
}
