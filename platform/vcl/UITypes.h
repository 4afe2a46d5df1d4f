// Cursor numbers of the screen's cursor table. The standard cursors are
// negative; programs install their own under positive numbers.
#pragma once
#include "rtl/Types.h"
#include <initializer_list>

using TCursor = std::int16_t;

constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;

// A set of up to 64 values of an enumeration, as the class library's sets
// of small enumerations.
template<class E>
class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> Items)
    {
        for (E I : Items)
            Include(I);
    }
    constexpr bool Contains(E Item) const { return (FBits & Bit(Item)) != 0; }
    constexpr TSet& Include(E Item)
    {
        FBits |= Bit(Item);
        return *this;
    }
    constexpr TSet& Exclude(E Item)
    {
        FBits &= ~Bit(Item);
        return *this;
    }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr UInt64 Bits() const { return FBits; }
    static constexpr TSet FromBits(UInt64 Bits)
    {
        TSet S;
        S.FBits = Bits;
        return S;
    }
    constexpr TSet operator+(TSet O) const { return FromBits(FBits | O.FBits); }
    constexpr TSet operator-(TSet O) const { return FromBits(FBits & ~O.FBits); }
    constexpr TSet operator*(TSet O) const { return FromBits(FBits & O.FBits); }
    friend constexpr bool operator==(TSet, TSet) = default;

private:
    static constexpr UInt64 Bit(E Item) { return UInt64(1) << unsigned(Item); }
    UInt64 FBits = 0;
};
