#include "rtl/Guid.h"
#include <cstdio>
#include <mutex>
#include <random>

String TGUID::ToString() const
{
    char Buf[40];
    std::snprintf(Buf, sizeof Buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", D1, D2, D3, D4[0], D4[1],
        D4[2], D4[3], D4[4], D4[5], D4[6], D4[7]);
    return UTF8ToString(Buf);
}

bool TryStringToGUID(StringView Text, TGUID& Guid)
{
    static constexpr int Dashes[] = { 9, 14, 19, 24 };
    if (Text.size() != 38 || Text.front() != u'{' || Text.back() != u'}')
        return false;
    char Ascii[39];
    for (size_t I = 0; I < Text.size(); ++I) {
        Char C = Text[I];
        bool IsDash = false;
        for (int D : Dashes)
            IsDash |= int(I) == D;
        bool IsHex = (C >= u'0' && C <= u'9') || (C >= u'a' && C <= u'f') || (C >= u'A' && C <= u'F');
        if (I == 0 || I == 37 ? false : IsDash ? C != u'-' : !IsHex)
            return false;
        Ascii[I] = char(C);
    }
    Ascii[38] = 0;
    Guid = TGUID::Parse(Ascii);
    return true;
}

HRESULT CreateGUID(TGUID& Guid)
{
    static std::mutex Lock;
    static std::random_device Source;
    std::uniform_int_distribution<unsigned> Byte8(0, 255);
    Byte B[16];
    {
        std::lock_guard<std::mutex> Hold(Lock);
        for (Byte& X : B)
            X = Byte(Byte8(Source));
    }
    // Version 4 (random) in the high nibble of D3, variant 10xx in D4[0].
    B[6] = Byte((B[6] & 0x0F) | 0x40);
    B[8] = Byte((B[8] & 0x3F) | 0x80);
    Guid.D1 = Cardinal(B[0]) << 24 | Cardinal(B[1]) << 16 | Cardinal(B[2]) << 8 | B[3];
    Guid.D2 = Word(B[4] << 8 | B[5]);
    Guid.D3 = Word(B[6] << 8 | B[7]);
    for (int I = 0; I < 8; ++I)
        Guid.D4[I] = B[8 + I];
    return S_OK;
}
