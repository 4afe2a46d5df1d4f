#include "core/XCore.Engine.Worker.h"
#include "core/XCore.Errors.h"
#include "core/XCore.Qi.CRC.h"
#include "core/XCore.Streams.h"
#include "core/XCore.ZLib.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::vector<Byte> Bytes(TStream* S)
{
    std::vector<Byte> Out(size_t(S->Size()));
    S->SetPosition(0);
    if (!Out.empty())
        S->ReadBuffer(Out.data(), Int64(Out.size()));
    return Out;
}

std::vector<Byte> Sample(size_t Size)
{
    // Text-like and compressible, with some noise.
    std::mt19937 Rng(7);
    std::vector<Byte> Out(Size);
    for (size_t I = 0; I < Size; ++I)
        Out[I] = Byte(Rng() % 5 == 0 ? Rng() : "lumeno calendar "[I % 16]);
    return Out;
}

class ZLibFiles : public testing::Test {
protected:
    fs::path Folder;
    void SetUp() override
    {
        char Template[] = "/tmp/zlib-test-XXXXXX";
        ASSERT_NE(mkdtemp(Template), nullptr);
        Folder = Template;
        ClearXError();
    }
    void TearDown() override { fs::remove_all(Folder); }

    void Save(const fs::path& P, const std::vector<Byte>& Data)
    {
        std::ofstream(P, std::ios::binary).write(reinterpret_cast<const char*>(Data.data()), std::streamsize(Data.size()));
    }
    std::vector<Byte> Load(const fs::path& P)
    {
        std::ifstream In(P, std::ios::binary);
        return std::vector<Byte>(std::istreambuf_iterator<char>(In), {});
    }
    // Runs python3 once: for every file F given, writes Expr (over d, the
    // bytes of F) to F + ".out"; false when python fails.
    bool Python(const std::string& Expr, const std::vector<fs::path>& Files)
    {
        std::string Cmd = "python3 -c \"import zlib,sys\nfor f in sys.argv[1:]:\n d=open(f,'rb').read(); open(f+'.out','wb').write("
            + Expr + ")\"";
        for (const fs::path& F : Files)
            Cmd += " '" + F.string() + "'";
        return std::system(Cmd.c_str()) == 0;
    }
    std::vector<Byte> Out(const fs::path& F) { return Load(F.string() + ".out"); }
};

TEST_F(ZLibFiles, OurStreamsInflateInPython)
{
    struct TCase { Byte Level; size_t Size; fs::path File; std::vector<Byte> Data; };
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
        Save(C.File, Bytes(Dest.get()));
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
        Save(Files.back(), Data);
    }
    ASSERT_TRUE(Python("zlib.compress(d, int(f[-1]))", Files));
    for (const fs::path& File : Files) {
        const std::string Expr = File.filename().string();
        auto Packed = Out(File);
        // A container-like surrounding: the body sits between other bytes.
        std::vector<Byte> Around(10, 0xAA);
        Around.insert(Around.end(), Packed.begin(), Packed.end());
        Around.insert(Around.end(), 10, 0xBB);
        auto Source = MakeOwned<TBytesStream>(Around);
        auto Dest = MakeOwned<TMemoryStream>();
        Cardinal CRC = 0;
        CRC32OfBuffer(CRC, Data.data(), Int64(Data.size()));
        ASSERT_TRUE(xZDecompress::DecompressStreamCRC(Source.get(), CRC, Dest.get(), false, nullptr, true,
            Int64(Packed.size()), 10)) << Expr;
        EXPECT_EQ(Bytes(Dest.get()), Data) << Expr;
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
    auto Stored = Bytes(Dest.get());
    EXPECT_EQ(std::vector<Byte>(Stored.begin() + 3, Stored.end()), Data);

    auto Z = MakeOwned<TMemoryStream>();
    ASSERT_TRUE(xZDecompress::CompressBuffer(Z.get(), Start, Written, false, nullptr, xzlDefault, 1000, Data.data()));
    auto Packed = Bytes(Z.get());
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
    ASSERT_TRUE(xZDecompress::CompressBufferCRC(Dest.get(), CRC, Start, false, nullptr, xzlBest, 5000, Data.data(),
        Written));
    std::vector<Byte> Back(5000);
    EXPECT_TRUE(xZDecompress::DecompressBufferCRC(Dest.get(), CRC, Back.data(), false, nullptr, true, 5000, 0));
    EXPECT_EQ(Back, Data);

    ClearXError();
    EXPECT_FALSE(xZDecompress::DecompressBufferCRC(Dest.get(), CRC ^ 1, Back.data(), false, nullptr, true, 5000, 0));
    EXPECT_EQ(GetXErrorCode(), 41);
    // Asking for more than the data holds fails instead of leaving stale bytes.
    std::vector<Byte> Larger(6000);
    EXPECT_FALSE(xZDecompress::DecompressBuffer(Dest.get(), Larger.data(), true, false, nullptr, 6000, 0));
    EXPECT_EQ(GetXErrorCode(), 44);
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
    EXPECT_FALSE(xZDecompress::CompressStream(Dest.get(), Start, Written, false, nullptr, xzlDefault, 100, 2,
        Source.get()));
    EXPECT_EQ(GetXErrorCode(), 45);
    ASSERT_TRUE(xZDecompress::CompressStream(Dest.get(), Start, Written, false, nullptr, xzlDefault, 0, 0,
        Source.get()));
    EXPECT_EQ(Written, 0);
}

TEST(ZLib, DecompressStreamLeavesNoOldTail)
{
    auto Data = Sample(100);
    auto Packed = MakeOwned<TMemoryStream>();
    Cardinal CRC = 0;
    Int64 Start = 0, Written = 0;
    ASSERT_TRUE(xZDecompress::CompressBufferCRC(Packed.get(), CRC, Start, false, nullptr, xzlDefault, 100,
        Data.data(), Written));
    auto Dest = MakeOwned<TBytesStream>(std::vector<Byte>(5000, 0xEE));
    ASSERT_TRUE(xZDecompress::DecompressStreamCRC(Packed.get(), CRC, Dest.get(), false, nullptr, true, Written, 0));
    EXPECT_EQ(Bytes(Dest.get()), Data);

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
    auto Good = Bytes(Packed.get());

    struct TCase { const char* Name; std::vector<Byte> Body; Int64 Limit; Integer Code; };
    auto Flipped = Good;
    Flipped[Good.size() / 2] ^= 0x55;
    auto Cut = std::vector<Byte>(Good.begin(), Good.begin() + Int64(Good.size() / 2));
    auto BadHeader = Good;
    BadHeader[0] = 0x12;
    auto BadChecksum = Good;
    BadChecksum.back() ^= 1;
    const TCase Cases[] = {
        { "flipped", Flipped, xzMaxInflatedSize, 44 },
        { "cut", Cut, xzMaxInflatedSize, 44 },
        { "header", BadHeader, xzMaxInflatedSize, 44 },
        { "checksum", BadChecksum, xzMaxInflatedSize, 44 },
        { "over limit", Good, 1000, 44 },
    };
    for (const TCase& C : Cases) {
        auto Source = MakeOwned<TBytesStream>(C.Body);
        auto Dest = MakeOwned<TMemoryStream>();
        ClearXError();
        EXPECT_FALSE(xZDecompress::DecompressStreamCRC(Source.get(), CRC, Dest.get(), false, nullptr, true,
            Int64(C.Body.size()), 0, C.Limit)) << C.Name;
        EXPECT_EQ(GetXErrorCode(), C.Code) << C.Name;
    }
    // A whole body with the wrong CRC.
    auto Source = MakeOwned<TBytesStream>(Good);
    auto Dest = MakeOwned<TMemoryStream>();
    ClearXError();
    EXPECT_FALSE(xZDecompress::DecompressStreamCRC(Source.get(), CRC + 1, Dest.get(), false, nullptr, true,
        Int64(Good.size()), 0));
    EXPECT_EQ(GetXErrorCode(), 41);
    try {
        xZDecompress::DecompressStreamCRC(Source.get(), CRC + 1, Dest.get(), true, nullptr, true,
            Int64(Good.size()), 0);
        ADD_FAILURE() << "no exception";
    } catch (const EXError& E) {
        EXPECT_EQ(E.Message(), u"41");
    }
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
