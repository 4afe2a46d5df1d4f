#include "core/XCore.Types.h"
#include <algorithm>
#include <cmath>
#include <limits>

void TXAnyProcedure::Invoke() const
{
    if (!Code)
        return;
    if (Data)
        reinterpret_cast<TBound>(Code)(Data);
    else
        Code();
}

Integer TXAnyProcedureComparer::Compare(const TXAnyProcedure& Left, const TXAnyProcedure& Right)
{
    // Compared, not subtracted: a pointer difference does not fit 32 bits.
    auto Order = [](auto A, auto B) { return A < B ? -1 : A > B ? 1 : 0; };
    auto L = reinterpret_cast<NativeUInt>(Left.Code);
    auto R = reinterpret_cast<NativeUInt>(Right.Code);
    if (L != R)
        return Order(L, R);
    return Order(reinterpret_cast<NativeUInt>(Left.Data), reinterpret_cast<NativeUInt>(Right.Data));
}

namespace {
struct TUpdateSentinel final : IInterface {
    HRESULT QueryInterface(const TGUID&, void** Obj) override
    {
        if (Obj)
            *Obj = nullptr;
        return E_NOINTERFACE;
    }
    Integer _AddRef() override { return -1; }
    Integer _Release() override { return -1; }
};
}

IInterface* XUpdateSentinel()
{
    static TUpdateSentinel Sentinel;
    return &Sentinel;
}

void TXUpdateCount::BeginUpdate()
{
    if (!Sentinel) {
        Count = 1;
        Sentinel = XUpdateSentinel();
    } else {
        ++Count;
    }
}

void TXUpdateCount::EndUpdate()
{
    --Count;
    if (Count == 0)
        Sentinel = nullptr;
}

Cardinal SetBit(Cardinal Value, Integer Bit, bool State)
{
    if (Bit < 0 || Bit >= 32)
        return Value;
    Cardinal Mask = Cardinal(1) << Bit;
    return State ? Value | Mask : Value & ~Mask;
}

Cardinal SetBits(Cardinal Value, std::initializer_list<Integer> Bits, bool State)
{
    for (Integer Bit : Bits)
        Value = SetBit(Value, Bit, State);
    return Value;
}

bool IsBitSet(Cardinal Value, Integer Bit)
{
    return Bit >= 0 && Bit < 32 && (Value >> Bit) & 1;
}

UInt64 SetBit64(UInt64 Value, Integer Bit, bool State)
{
    if (Bit < 0 || Bit >= 64)
        return Value;
    UInt64 Mask = UInt64(1) << Bit;
    return State ? Value | Mask : Value & ~Mask;
}

Integer HiMetricToPixels(Word DPI, Integer Value)
{
    if (DPI == 0)
        return Value;
    // The product is below 2^47, exact in a double.
    double Pixels = std::nearbyint(double(DPI) * double(Value) / 2540.0);
    constexpr double Lo = std::numeric_limits<Integer>::min();
    constexpr double Hi = std::numeric_limits<Integer>::max();
    return Integer(std::clamp(Pixels, Lo, Hi));
}

void CopyBytes(const TXByteArray& Source, TXByteArray& Dest)
{
    Dest = Source;
}

void BytesFromBuffer(std::initializer_list<Byte> Bytes, TXByteArray& Dest)
{
    Dest.assign(Bytes.begin(), Bytes.end());
}

void BytesFromBuffer(const void* Buffer, std::size_t Count, TXByteArray& Dest)
{
    const Byte* P = static_cast<const Byte*>(Buffer);
    Dest.assign(P, P + (P ? Count : 0));
}

void AppendBytes(std::initializer_list<Byte> Bytes, TXByteArrays& List)
{
    List.emplace_back(Bytes.begin(), Bytes.end());
}

void AppendBytes(const void* Buffer, std::size_t Count, TXByteArrays& List)
{
    TXByteArray Item;
    BytesFromBuffer(Buffer, Count, Item);
    List.push_back(std::move(Item));
}
