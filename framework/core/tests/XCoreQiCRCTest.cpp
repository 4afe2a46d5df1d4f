#include "win/Metrics.h"
#include "core/XCore.Errors.h"
#include "core/XCore.Qi.CRC.h"
#include "core/XCore.Registry.h"
#include "core/XCore.ScreenMetrics.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <numeric>

namespace {

Integer RaisedCode(const std::function<void()>& Fn)
{
    try {
        Fn();
    } catch (const EXError& E) {
        return std::stoi(StringToUTF8(E.Message()));
    }
    return -1;
}

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
    SetXError(44, 0, {}, false);
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
    struct TCase { TStream* Stream; Int64 Count, Start; };
    const TCase Cases[] = {
        { Failing.get(), 10, 0 },
        { Short.get(), 10, 15 },    // the range runs past the end
        { Short.get(), -1, 0 },
        { nullptr, 1, 0 },
    };
    for (const TCase& C : Cases) {
        Cardinal CRC = 7;
        ClearXError();
        EXPECT_FALSE(CRC32OfStreamRange(CRC, C.Stream, false, C.Count, C.Start));
        EXPECT_EQ(CRC, 0u);
        EXPECT_EQ(GetXErrorCode(), 40);
    }
    Cardinal CRC = 0;
    EXPECT_EQ(RaisedCode([&] { CRC32OfStreamRange(CRC, Failing.get(), true, 10, 0); }), 40);
    EXPECT_EQ(RaisedCode([&] { CRC32OfStream(CRC, Failing.get(), true); }), 40);
    ClearXError();
    EXPECT_FALSE(CheckCRC32OfStream(0, Failing.get(), false));
    EXPECT_EQ(GetXErrorCode(), 40);
}

TEST(QiCRC, Checks)
{
    ClearXError();
    EXPECT_TRUE(CheckCRC32OfBuffer(0xCBF43926u, "123456789", 9, false));
    EXPECT_FALSE(CheckCRC32OfBuffer(0x12345678u, "123456789", 9, false));
    EXPECT_EQ(GetXErrorCode(), 41);
    EXPECT_EQ(RaisedCode([] { CheckCRC32OfBuffer(1, "x", 1, true); }), 41);
    auto S = MakeOwned<TBytesStream>(std::vector<Byte>{ '1', '2', '3', '4', '5', '6', '7', '8', '9' });
    ClearXError();
    EXPECT_FALSE(CheckCRC32OfStream(1, S.get(), false));
    EXPECT_EQ(GetXErrorCode(), 41);
}

class XRegistryTest : public testing::Test {
protected:
    std::filesystem::path Folder;
    void SetUp() override
    {
        char Template[] = "/tmp/xregistry-test-XXXXXX";
        ASSERT_NE(mkdtemp(Template), nullptr);
        Folder = Template;
        SetRegistryFolder(UTF8ToString(Folder.string()));
    }
    void TearDown() override
    {
        SetRegistryFolder({});
        std::filesystem::remove_all(Folder);
    }
};

TEST_F(XRegistryTest, ReadsWithDefaults)
{
    auto Reg = MakeOwned<TXRegistry>();
    ASSERT_TRUE(Reg->OpenKey(u"Software\\Test", true));
    Reg->WriteInteger(u"Number", 42);
    Reg->WriteString(u"Text", u"hello");
    EXPECT_EQ(Reg->ReadIntegerDef(u"Number", 7), 42);
    EXPECT_EQ(Reg->ReadIntegerDef(u"Text", 7), 7);
    EXPECT_EQ(Reg->ReadIntegerDef(u"Missing", 7), 7);
    EXPECT_EQ(Reg->ReadStringDef(u"Text", u"d"), u"hello");
    EXPECT_EQ(Reg->ReadStringDef(u"Number", u"d"), u"d");
    EXPECT_EQ(Reg->ReadStringDef(u"Missing", u"d"), u"d");
    Reg->CloseKey();
    EXPECT_EQ(Reg->ReadIntegerDef(u"Number", 7), 7);
}

TEST(ScreenMetrics, ScaledToTheScreen)
{
    SetScreenDPI(144, 144);
    LoadScreenMetrics();
    EXPECT_EQ(ScreenDPIY, 144);
    EXPECT_TRUE(IsScreenScaled);
    EXPECT_EQ(ScaledSizes[16], 24);
    EXPECT_EQ(ScaledSizes[1], 2);      // 1.5 rounds away from zero
    EXPECT_EQ(Scaled100, 150);
    EXPECT_EQ(SystemMetrics.CXIcon, GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(SystemMetrics.CYSizeFrame, SystemMetrics.CYFrame);

    SetScreenDPI(96, 96);
    LoadScreenMetrics();
    EXPECT_FALSE(IsScreenScaled);
    EXPECT_EQ(ScaledSizes[24], 24);
    EXPECT_EQ(SystemMetrics.CXIcon, 32);
}

}
