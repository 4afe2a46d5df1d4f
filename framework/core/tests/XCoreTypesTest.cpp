#include "core/XCore.Types.h"
#include <gtest/gtest.h>

TEST(XByteArrays, CopiesAreIndependent)
{
    TXByteArrays List;
    AppendBytes({ 0xFF, 0xD8 }, List);
    AppendBytes("<xml>", 5, List);
    ASSERT_EQ(List.size(), 2u);
    EXPECT_EQ(List[1], TXByteArray({ '<', 'x', 'm', 'l', '>' }));
    TXByteArray Copy;
    CopyBytes(List[0], Copy);
    List[0][0] = 0;
    EXPECT_EQ(Copy, TXByteArray({ 0xFF, 0xD8 }));
}

TEST(XTypes, BitRoutines)
{
    struct Case {
        Cardinal Value;
        Integer Bit;
        bool State;
        Cardinal Expected;
    };
    const Case Cases[] = {
        { 0, 0, true, 1 },
        { 0, 31, true, 0x80000000u },
        { 0xFFFFFFFFu, 31, false, 0x7FFFFFFFu },
        { 5, 2, false, 1 },
        { 5, 32, true, 5 },
        { 5, 200, false, 5 },
        { 5, -1, true, 5 },
    };
    for (const Case& C : Cases)
        EXPECT_EQ(SetBit(C.Value, C.Bit, C.State), C.Expected) << C.Value << " bit " << C.Bit;

    EXPECT_EQ(SetBits(0, { 0, 3, 32, 40, -5 }, true), 9u);
    EXPECT_EQ(SetBits(0xFF, { 0, 7, 99 }, false), 0x7Eu);
    EXPECT_TRUE(IsBitSet(0x80000000u, 31));
    EXPECT_FALSE(IsBitSet(0xFFFFFFFFu, 40));
    EXPECT_FALSE(IsBitSet(0xFFFFFFFFu, 32));
    EXPECT_FALSE(IsBitSet(0xFFFFFFFFu, -1));
    EXPECT_EQ(SetBit64(0, 63, true), 0x8000000000000000ull);
    EXPECT_EQ(SetBit64(7, 64, false), 7u);
}

TEST(XTypes, HiMetricToPixelsRoundsHalfToEven)
{
    struct Case {
        Word DPI;
        Integer Value;
        Integer Expected;
    };
    const Case Cases[] = {
        { 96, 2540, 96 },
        { 0, 1234, 1234 },
        { 1, 1270, 0 },
        { 1, 3810, 2 },
        { 1, -1270, 0 },
        { 1, -3810, -2 },
        { 96, 1000, 38 },
        { 65535, 2147483647, 2147483647 },
        { 65535, -2147483647 - 1, -2147483647 - 1 },
    };
    for (const Case& C : Cases)
        EXPECT_EQ(HiMetricToPixels(C.DPI, C.Value), C.Expected) << C.DPI << " " << C.Value;
}

TEST(XTypes, UpdateCountIsIdleOnlyAfterTheOutermostEnd)
{
    TXUpdateCount Count;
    EXPECT_TRUE(Count.IsIdle());
    Count.BeginUpdate();
    Count.BeginUpdate();
    Count.EndUpdate();
    EXPECT_FALSE(Count.IsIdle());
    Count.EndUpdate();
    EXPECT_TRUE(Count.IsIdle());

    IInterface* Sentinel = XUpdateSentinel();
    void* Out = &Count;
    EXPECT_EQ(Sentinel->QueryInterface(IInterface::IID, &Out), E_NOINTERFACE);
    EXPECT_EQ(Out, nullptr);
    EXPECT_EQ(Sentinel->_AddRef(), -1);
    EXPECT_EQ(Sentinel->_Release(), -1);
}

namespace {
int PlainCalls = 0;
void PlainProc()
{
    ++PlainCalls;
}
struct TCounter {
    int Calls = 0;
    void Tick() { ++Calls; }
};
}

TEST(XTypes, AnyProcedureCallsAndOrders)
{
    TCounter A, B;
    auto MA = TXAnyProcedure::Method<&TCounter::Tick>(&A);
    MA.Invoke();
    TXAnyProcedure::Method<&TCounter::Tick>(&B).Invoke();
    TXAnyProcedure::Plain(&PlainProc).Invoke();
    EXPECT_EQ(A.Calls, 1);
    EXPECT_EQ(B.Calls, 1);
    EXPECT_EQ(PlainCalls, 1);
    EXPECT_EQ(MA, TXAnyProcedure::Method<&TCounter::Tick>(&A));

    TXAnyProcedureComparer Comparer;
    // Data pointers 4 GiB apart: a 32-bit difference would give the wrong sign.
    TXAnyProcedure Low { &PlainProc, reinterpret_cast<void*>(NativeUInt(0x1000)) };
    TXAnyProcedure High { &PlainProc, reinterpret_cast<void*>(NativeUInt(0x100001000ull)) };
    EXPECT_LT(Comparer.Compare(Low, High), 0);
    EXPECT_GT(Comparer.Compare(High, Low), 0);
    EXPECT_EQ(Comparer.Compare(Low, Low), 0);
}
