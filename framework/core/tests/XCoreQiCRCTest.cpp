#include "core/XCore.Errors.h"
#include "core/XCore.Qi.CRC.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <numeric>

namespace {

// A stream whose reads fail the way a vanished device does.
class TFailingStream : public TMemoryStream {
public:
    Int64 Read(void*, Int64) override { throw EReadError(u"device gone"); }
};

TEST(QiCRC, KnownValues)
{
    Cardinal CRC = 1;
    EXPECT_TRUE(CRC32OfBuffer(CRC, "123456789", 9));
    EXPECT_EQ(CRC, 0xCBF43926u);
    EXPECT_TRUE(CRC32OfBuffer(CRC, nullptr, 0));
    EXPECT_EQ(CRC, 0u);
}

TEST(QiCRC, StreamRangeUsesExactlyItsBytes)
{
    std::vector<Byte> Data(100);
    std::iota(Data.begin(), Data.end(), Byte(0));
    auto S = MakeOwned<TBytesStream>(Data);
    Cardinal Expected = 0, CRC = 0;
    CRC32OfBuffer(Expected, Data.data() + 5, 10);
    SetXError(xecReadFailed, 0, {}, false);
    ASSERT_TRUE(CRC32OfStreamRange(CRC, S.get(), false, 10, 5));
    EXPECT_EQ(CRC, Expected);
    EXPECT_EQ(GetXErrorCode(), 0);

    CRC32OfBuffer(Expected, Data.data(), 100);
    ASSERT_TRUE(CRC32OfStream(CRC, S.get(), false));
    EXPECT_EQ(CRC, Expected);
    EXPECT_TRUE(CheckCRC32OfStream(Expected, S.get(), false));
}

TEST(QiCRC, StreamFailures)
{
    auto Failing = MakeOwned<TFailingStream>();
    Failing->SetSize(50);
    auto Short = MakeOwned<TBytesStream>(std::vector<Byte>(20));
    struct TCase {
        TStream* Stream;
        Int64 Count, Start;
    };
    const TCase Cases[] = {
        { Failing.get(), 10, 0 },
        { Short.get(), 10, 15 }, // the range runs past the end
        { Short.get(), -1, 0 },
        { nullptr, 1, 0 },
    };
    for (const TCase& C : Cases) {
        Cardinal CRC = 7;
        ClearXError();
        EXPECT_FALSE(CRC32OfStreamRange(CRC, C.Stream, false, C.Count, C.Start));
        EXPECT_EQ(CRC, 0u);
        EXPECT_EQ(GetXErrorCode(), xecCRCFailed);
    }
    Cardinal CRC = 0;
    EXPECT_EQ(Testing::RaisedCode([&] { CRC32OfStreamRange(CRC, Failing.get(), true, 10, 0); }), xecCRCFailed);
    EXPECT_EQ(Testing::RaisedCode([&] { CRC32OfStream(CRC, Failing.get(), true); }), xecCRCFailed);
    ClearXError();
    EXPECT_FALSE(CheckCRC32OfStream(0, Failing.get(), false));
    EXPECT_EQ(GetXErrorCode(), xecCRCFailed);
}

TEST(QiCRC, Checks)
{
    ClearXError();
    EXPECT_TRUE(CheckCRC32OfBuffer(0xCBF43926u, "123456789", 9, false));
    EXPECT_FALSE(CheckCRC32OfBuffer(0x12345678u, "123456789", 9, false));
    EXPECT_EQ(GetXErrorCode(), xecCRCMismatch);
    EXPECT_EQ(Testing::RaisedCode([] { CheckCRC32OfBuffer(1, "x", 1, true); }), xecCRCMismatch);
    auto S = MakeOwned<TBytesStream>(std::vector<Byte> { '1', '2', '3', '4', '5', '6', '7', '8', '9' });
    ClearXError();
    EXPECT_FALSE(CheckCRC32OfStream(1, S.get(), false));
    EXPECT_EQ(GetXErrorCode(), xecCRCMismatch);
}

}
