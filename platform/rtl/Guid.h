// GUIDs: the value, its braced text form and new random ones.
#pragma once
#include "rtl/Types.h"
#include <compare>

struct TGUID {
    Cardinal D1 = 0;
    Word D2 = 0;
    Word D3 = 0;
    Byte D4[8] {};

    friend bool operator==(const TGUID&, const TGUID&) = default;
    friend auto operator<=>(const TGUID&, const TGUID&) = default;
    bool IsEmpty() const { return *this == TGUID {}; }
    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
    String ToString() const;

    // Parses the braced text form at compile time.
    static constexpr TGUID Parse(const char* Text)
    {
        auto Hex = [](char C) -> unsigned {
            if (C >= '0' && C <= '9')
                return unsigned(C - '0');
            if (C >= 'a' && C <= 'f')
                return unsigned(C - 'a' + 10);
            if (C >= 'A' && C <= 'F')
                return unsigned(C - 'A' + 10);
            throw "bad GUID text";
        };
        auto Read = [&](int Pos, int Digits) -> unsigned long long {
            unsigned long long V = 0;
            for (int I = 0; I < Digits; ++I)
                V = V * 16 + Hex(Text[Pos + I]);
            return V;
        };
        TGUID G;
        G.D1 = Cardinal(Read(1, 8));
        G.D2 = Word(Read(10, 4));
        G.D3 = Word(Read(15, 4));
        G.D4[0] = Byte(Read(20, 2));
        G.D4[1] = Byte(Read(22, 2));
        for (int I = 0; I < 6; ++I)
            G.D4[2 + I] = Byte(Read(25 + 2 * I, 2));
        return G;
    }
};

// Parses "{...}" text into a GUID; false on malformed text.
bool TryStringToGUID(StringView Text, TGUID& Guid);

// A new random (version 4) GUID; answers S_OK.
HRESULT CreateGUID(TGUID& Guid);
