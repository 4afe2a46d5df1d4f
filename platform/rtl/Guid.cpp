// Random GUIDs.
#include "rtl/StrUtils.h"
#include <mutex>
#include <random>

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
