#include "core/XCore.Engine.Worker.h"
#include "core/XCore.Errors.h"
#include "core/XCore.Qi.CRC.h"
#include "core/XCore.Streams.h"
#include "core/XCore.ZLib.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;

namespace {

std::vector<Byte> Sample(size_t Size)
{
    // Text-like and compressible, with some noise.
    std::mt19937 Rng(7);
    std::vector<Byte> Out(Size);
    for (size_t I = 0; I < Size; ++I)
        Out[I] = Byte(Rng() % 5 == 0 ? Rng() : "lumeno calendar "[I % 16]);
    return Out;
}

// Python's zlib is the other side: what we pack it unpacks, and the other
// way round.
class ZLibFiles : public testing::Test {
protected:
    Testing::TTempFolder Folder { "zlib-test" };
    void SetUp() override
    {
        ASSERT_TRUE(Testing::HaveTool("python3")) << "python3 is needed (scripts/setup)";
        ClearXError();
    }

    // Runs python3 once: for every file F given, writes Expr (over d, the
    // bytes of F) to F + ".out"; false when python fails.
    bool Python(const std::string& Expr, const std::vector<fs::path>& Files)
    {
        std::vector<std::string> Argv { "python3", "-c",
            "import zlib,sys\nfor f in sys.argv[1:]:\n d=open(f,'rb').read(); open(f+'.out','wb').write(" + Expr +
                ")" };
        for (const fs::path& F : Files)
            Argv.push_back(F.string());
        return Testing::RunTool(Argv).ExitCode == 0;
    }
    std::vector<Byte> Out(const fs::path& F) { return Testing::ReadFileBytes(F.string() + ".out"); }
};

TEST_F(ZLibFiles, OurStreamsInflateInPython)
{
    struct TCase {
        Byte Level;
        size_t Size;
        fs::path File;
        std::vector<Byte> Data;
    };
    std::vector<TCase> Cases;
    for (Byte Level : { xzlFastest, xzlDefault, xzlBest })
        for (size_t Size : { size_t(0), size_t(1), size_t(200000) })
            Cases.push_back({ Level, Size, Folder / ("z" + std::to_string(Cases.size())), Sample(Size) });
    std::vector<fs::path> Files;
    for (const TCase& C : Cases) {
        auto Dest = MakeOwned<TMemoryStream>();
        Int64 Start = 0, Written = 0;
        ASSERT_TRUE(xZDecompress::CompressBuffer(Dest.get(), Start, Written, false, nullptr, C.Level,
            Int64(C.Data.size()), C.Data.data()));
        EXPECT_EQ(Written, Dest->Size());
        Testing::WriteFileBytes(C.File, Testing::StreamBytes(Dest.get()));
        Files.push_back(C.File);
    }
    ASSERT_TRUE(Python("zlib.decompress(d)", Files));
    for (const TCase& C : Cases)
        EXPECT_EQ(Out(C.File), C.Data) << int(C.Level) << " " << C.Size;
}

TEST_F(ZLibFiles, PythonDataInflatesHere)
{
    auto Data = Sample(300000);
    const int Levels[] = { 0, 1, 9 };
    std::vector<fs::path> Files;
    for (int Level : Levels) {
        Files.push_back(Folder / ("raw" + std::to_string(Level)));
        Testing::WriteFileBytes(Files.back(), Data);
    }
    ASSERT_TRUE(Python("zlib.compress(d, int(f[-1]))", Files));
    for (const fs::path& File : Files) {
        const std::string Expr = File.filename().string();
        auto Packed = Out(File);
        // A container-like surrounding: the body sits between other bytes.
        std::vector<Byte> Around(Packed.size() + 20, 0xAA);
        std::copy(Packed.begin(), Packed.end(), Around.begin() + 10);
        std::fill(Around.end() - 10, Around.end(), 0xBB);
        auto Source = MakeOwned<TBytesStream>(Around);
        auto Dest = MakeOwned<TMemoryStream>();
        Cardinal CRC = 0;
        CRC32OfBuffer(CRC, Data.data(), Int64(Data.size()));
        ASSERT_TRUE(xZDecompress::DecompressStreamCRC(Source.get(), CRC, Dest.get(), false, nullptr, true,
            Int64(Packed.size()), 10))
            << Expr;
        EXPECT_EQ(Testing::StreamBytes(Dest.get()), Data) << Expr;
    }
}

TEST(ZLib, LevelZeroStoresAndLevelTwoWritesTheZlibHeader)
{
    auto Data = Sample(1000);
    auto Dest = MakeOwned<TMemoryStream>();
    Dest->WriteBuffer("pre", 3);
    Int64 Start = 0, Written = 0;
    ASSERT_TRUE(xZDecompress::CompressBuffer(Dest.get(), Start, Written, false, nullptr, xzlStore, 1000, Data.data()));
    EXPECT_EQ(Start, 3);
    EXPECT_EQ(Written, 1000);
    auto Stored = Testing::StreamBytes(Dest.get());
    EXPECT_EQ(std::vector<Byte>(Stored.begin() + 3, Stored.end()), Data);

    auto Z = MakeOwned<TMemoryStream>();
    ASSERT_TRUE(xZDecompress::CompressBuffer(Z.get(), Start, Written, false, nullptr, xzlDefault, 1000, Data.data()));
    auto Packed = Testing::StreamBytes(Z.get());
    ASSERT_GE(Packed.size(), 2u);
    EXPECT_EQ(Packed[0], 0x78);
    EXPECT_EQ(Packed[1], 0x9C);
}

TEST(ZLib, BufferRecordRoundTripsWithItsCRC)
{
    auto Data = Sample(5000);
    auto Dest = MakeOwned<TMemoryStream>();
    Cardinal CRC = 0;
    Int64 Start = 0, Written = 0;
    ASSERT_TRUE(
        xZDecompress::CompressBufferCRC(Dest.get(), CRC, Start, false, nullptr, xzlBest, 5000, Data.data(), Written));
    std::vector<Byte> Back(5000);
    EXPECT_TRUE(xZDecompress::DecompressBufferCRC(Dest.get(), CRC, Back.data(), false, nullptr, true, 5000, 0));
    EXPECT_EQ(Back, Data);

    ClearXError();
    EXPECT_FALSE(xZDecompress::DecompressBufferCRC(Dest.get(), CRC ^ 1, Back.data(), false, nullptr, true, 5000, 0));
    EXPECT_EQ(GetXErrorCode(), xecCRCMismatch);
    // Asking for more than the data holds fails instead of leaving stale bytes.
    std::vector<Byte> Larger(6000);
    EXPECT_FALSE(xZDecompress::DecompressBuffer(Dest.get(), Larger.data(), true, false, nullptr, 6000, 0));
    EXPECT_EQ(GetXErrorCode(), xecReadFailed);
}

TEST(ZLib, StreamRangeAndText)
{
    auto Source = MakeOwned<TStringStream>(u"xxHello, world!yy");
    auto Dest = MakeOwned<TMemoryStream>();
    Cardinal CRC = 0;
    Int64 Start = 0, Written = 0;
    ASSERT_TRUE(xZDecompress::CompressStreamRangeCRC(Dest.get(), CRC, Start, false, nullptr, xzlDefault, 13, 2,
        Source.get(), Written));
    Cardinal Expected = 0;
    CRC32OfBuffer(Expected, "Hello, world!", 13);
    EXPECT_EQ(CRC, Expected);
    String Text;
    ASSERT_TRUE(xZDecompress::DecompressText(Dest.get(), Text, false, nullptr, true, Written, 0));
    EXPECT_EQ(Text, u"Hello, world!");
    ASSERT_TRUE(xZDecompress::DecompressStreamText(Source.get(), Text, false, nullptr, false));
    EXPECT_EQ(Text, u"xxHello, world!yy");

    // Past the end of the source: a write failure, not a short record.
    ClearXError();
    EXPECT_FALSE(
        xZDecompress::CompressStream(Dest.get(), Start, Written, false, nullptr, xzlDefault, 100, 2, Source.get()));
    EXPECT_EQ(GetXErrorCode(), xecWriteFailed);
    ASSERT_TRUE(
        xZDecompress::CompressStream(Dest.get(), Start, Written, false, nullptr, xzlDefault, 0, 0, Source.get()));
    EXPECT_EQ(Written, 0);
}

TEST(ZLib, DecompressStreamLeavesNoOldTail)
{
    auto Data = Sample(100);
    auto Packed = MakeOwned<TMemoryStream>();
    Cardinal CRC = 0;
    Int64 Start = 0, Written = 0;
    ASSERT_TRUE(xZDecompress::CompressBufferCRC(Packed.get(), CRC, Start, false, nullptr, xzlDefault, 100, Data.data(),
        Written));
    auto Dest = MakeOwned<TBytesStream>(std::vector<Byte>(5000, 0xEE));
    ASSERT_TRUE(xZDecompress::DecompressStreamCRC(Packed.get(), CRC, Dest.get(), false, nullptr, true, Written, 0));
    EXPECT_EQ(Testing::StreamBytes(Dest.get()), Data);

    ASSERT_TRUE(xZDecompress::DecompressStream(Packed.get(), Dest.get(), true, false, nullptr, 0, 0));
    EXPECT_EQ(Dest->Position(), 0);
    EXPECT_EQ(Dest->Size(), 0);
}

TEST(ZLib, DamagedAndOversizedData)
{
    auto Data = Sample(70000);
    auto Packed = MakeOwned<TMemoryStream>();
    Cardinal CRC = 0;
    Int64 Start = 0, Written = 0;
    ASSERT_TRUE(xZDecompress::CompressBufferCRC(Packed.get(), CRC, Start, false, nullptr, xzlDefault,
        Int64(Data.size()), Data.data(), Written));
    auto Good = Testing::StreamBytes(Packed.get());

    struct TCase {
        const char* Name;
        std::vector<Byte> Body;
        Int64 Limit;
        Integer Code;
    };
    auto Flipped = Good;
    Flipped[Good.size() / 2] ^= 0x55;
    auto Cut = std::vector<Byte>(Good.begin(), Good.begin() + Int64(Good.size() / 2));
    auto BadHeader = Good;
    BadHeader[0] = 0x12;
    auto BadChecksum = Good;
    BadChecksum.back() ^= 1;
    const TCase Cases[] = {
        { "flipped", Flipped, xzMaxInflatedSize, xecReadFailed },
        { "cut", Cut, xzMaxInflatedSize, xecReadFailed },
        { "header", BadHeader, xzMaxInflatedSize, xecReadFailed },
        { "checksum", BadChecksum, xzMaxInflatedSize, xecReadFailed },
        { "over limit", Good, 1000, xecReadFailed },
    };
    for (const TCase& C : Cases) {
        auto Source = MakeOwned<TBytesStream>(C.Body);
        auto Dest = MakeOwned<TMemoryStream>();
        ClearXError();
        EXPECT_FALSE(xZDecompress::DecompressStreamCRC(Source.get(), CRC, Dest.get(), false, nullptr, true,
            Int64(C.Body.size()), 0, C.Limit))
            << C.Name;
        EXPECT_EQ(GetXErrorCode(), C.Code) << C.Name;
    }
    // A whole body with the wrong CRC.
    auto Source = MakeOwned<TBytesStream>(Good);
    auto Dest = MakeOwned<TMemoryStream>();
    ClearXError();
    EXPECT_FALSE(xZDecompress::DecompressStreamCRC(Source.get(), CRC + 1, Dest.get(), false, nullptr, true,
        Int64(Good.size()), 0));
    EXPECT_EQ(GetXErrorCode(), xecCRCMismatch);
    EXPECT_EQ(Testing::RaisedCode([&] {
        xZDecompress::DecompressStreamCRC(Source.get(), CRC + 1, Dest.get(), true, nullptr, true, Int64(Good.size()),
            0);
    }),
        xecCRCMismatch);
}

// Every inflate inside a load draws on the load's one budget; a scope that
// declares a size bounds what happens inside it, and outside every scope
// only each call's own limit holds.
TEST(ZLib, OneBudgetForAllTheInflatesOfALoad)
{
    auto Data = Sample(60000);
    auto Packed = MakeOwned<TMemoryStream>();
    Cardinal CRC = 0;
    Int64 Start = 0, Written = 0;
    ASSERT_TRUE(xZDecompress::CompressBufferCRC(Packed.get(), CRC, Start, false, nullptr, xzlDefault,
        Int64(Data.size()), Data.data(), Written));
    auto Inflate = [&] {
        auto Dest = MakeOwned<TMemoryStream>();
        return xZDecompress::DecompressStream(Packed.get(), Dest.get(), true, false, nullptr, Written, 0);
    };
    EXPECT_EQ(TXLoadBudget::Remaining(), xzMaxInflatedSize);
    {
        TXLoadBudget Load(100000);
        EXPECT_TRUE(Inflate());
        EXPECT_EQ(TXLoadBudget::Remaining(), 100000 - 60000);
        {
            TXLoadBudget Inner; // shares the load's budget
            ClearXError();
            EXPECT_FALSE(Inflate());
            EXPECT_EQ(GetXErrorCode(), xecReadFailed);
        }
        EXPECT_EQ(TXLoadBudget::Remaining(), 100000 - 60000); // the refused one counted nothing
        EXPECT_THROW(TXLoadBudget::Charge(40001), EZDecompressionError);
        EXPECT_NO_THROW(TXLoadBudget::Charge(40000));
    }
    {
        TXLoadBudget Load; // on its own, a load may take 256 MiB
        EXPECT_EQ(TXLoadBudget::Remaining(), xzMaxInflatedSize);
        TXLoadBudget Declared(70000); // a declared size bounds its own span
        EXPECT_TRUE(Inflate());
        EXPECT_FALSE(Inflate());
    }
    for (int I = 0; I < 3; ++I)
        EXPECT_TRUE(Inflate());
}

// Records the percentages the compressed streams report.
class TPercentProgress : public TXEmptyProgress {
public:
    std::vector<int> Seen;
    void SetPercent(Byte Percent) override { Seen.push_back(Percent); }
};

TEST(ZLib, ProgressRunsFromZeroToAHundred)
{
    auto Data = Sample(1 << 20);
    auto Progress = MakeOwned<TPercentProgress>();
    auto Packed = MakeOwned<TMemoryStream>();
    Int64 Start = 0, Written = 0;
    ASSERT_TRUE(xZDecompress::CompressBuffer(Packed.get(), Start, Written, false, Progress.get(), xzlFastest,
        Int64(Data.size()), Data.data()));
    auto Dest = MakeOwned<TMemoryStream>();
    ASSERT_TRUE(xZDecompress::DecompressStream(Packed.get(), Dest.get(), true, false, Progress.get(), Written, 0));
    ASSERT_FALSE(Progress->Seen.empty());
    EXPECT_EQ(Progress->Seen.back(), 100);
    for (int P : Progress->Seen)
        EXPECT_LE(P, 100);
}

TEST(SubStream, WindowOntoAnotherStream)
{
    std::vector<Byte> Data(25);
    for (size_t I = 0; I < Data.size(); ++I)
        Data[I] = Byte(I);
    auto Inner = MakeOwned<TBytesStream>(Data);
    auto Window = MakeOwned<TXSubStream>(Inner.get(), 10, 20, 0);
    EXPECT_EQ(Window->Size(), 5);
    Byte Buf[100] {};
    EXPECT_EQ(Window->Read(Buf, 100), 5);
    EXPECT_EQ(Buf[0], 20);
    EXPECT_EQ(Buf[4], 24);
    EXPECT_EQ(Window->Seek(2, soBeginning), 2);
    EXPECT_EQ(Window->Read(Buf, 100), 3);
    EXPECT_EQ(Window->Seek(-1, soEnd), 4);
    EXPECT_EQ(Window->Seek(1, TSeekOrigin(7)), 0);

    // A window that starts past the end is empty, never negative.
    auto Past = MakeOwned<TXSubStream>(Inner.get(), 10, 40, 0);
    EXPECT_EQ(Past->Size(), 0);
    EXPECT_EQ(Past->Read(Buf, 10), 0);
    auto Negative = MakeOwned<TXSubStream>(Inner.get(), -5, 0, 0);
    EXPECT_EQ(Negative->Size(), 0);

    // Owned inner streams go with the wrapper.
    auto* Owned = New<TMemoryStream>();
    Owned->WriteBuffer("abc", 3);
    auto Wrapper = MakeOwned<TXStreamWrapper>(Owned, xsoOwned);
    EXPECT_EQ(Wrapper->Size(), 3);
    ASSERT_NE(EmptyStream(), nullptr);
    EXPECT_EQ(EmptyStream()->Size(), 0);
}

}
