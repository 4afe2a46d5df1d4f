#include "rtl/Streams.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class StreamFiles : public ::testing::Test {
protected:
    String Path(const char* Name) const { return S((Dir / Name).string()); }
    std::string ReadAll(const String& Name) const
    {
        std::ifstream In(StringToUTF8(Name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(In), {});
    }
    void WriteAll(const String& Name, const std::string& Data) const
    {
        std::ofstream(StringToUTF8(Name), std::ios::binary) << Data;
    }

    Testing::TTempFolder Folder { "streams" };
    const fs::path& Dir = Folder.Path();
};

TOwnedPtr<TFileStream> Open(const String& Name, Word Mode)
{
    return TOwnedPtr<TFileStream>(New<TFileStream>(Name, Mode));
}

std::string ReadText(TStream* Stream, Int64 Count)
{
    std::string Out(size_t(Count), '\0');
    Out.resize(size_t(Stream->Read(Out.data(), Count)));
    return Out;
}

}

TEST_F(StreamFiles, PositionsBeyondFourGiBOnASparseFile)
{
    const Int64 FiveGiB = Int64(5) << 30;
    const Int64 Far = (Int64(1) << 32) + 7;
    auto F = Open(Path("sparse.bin"), fmCreate);
    try {
        F->SetSize(FiveGiB);
    } catch (const EOSError& E) {
        GTEST_SKIP() << "file system refuses a 5 GiB file: " << E.what();
    }
    EXPECT_EQ(F->Size(), FiveGiB);
    EXPECT_EQ(F->Seek(Far, soBeginning), Far);
    F->WriteBuffer("abc", 3);
    EXPECT_EQ(F->Position(), Far + 3);
    F->SetPosition(Far - 1);
    EXPECT_EQ(ReadText(F.get(), 5), std::string("\0abc\0", 5));
    EXPECT_EQ(F->Seek(-2, soEnd), FiveGiB - 2);
    EXPECT_EQ(ReadText(F.get(), 10).size(), 2u);
    EXPECT_EQ(F->Read(nullptr, 10), 0);

    struct stat St { };
    ASSERT_EQ(stat((Dir / "sparse.bin").c_str(), &St), 0);
    EXPECT_EQ(St.st_size, FiveGiB);
}

TEST_F(StreamFiles, FileRoundTripWithTypedDataAndUnicodeName)
{
    struct TRecord {
        Integer A;
        Word B;
    };
    String Name = Path("Grüße.bin");
    {
        auto F = Open(Name, fmCreate);
        F->WriteBufferData(TRecord { -5, 7 });
        EXPECT_EQ(F->WriteData(Int64(1) << 40), 8);
    }
    ASSERT_TRUE(fs::exists(Dir / u8"Grüße.bin"));
    auto F = Open(Name, fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(F->FileName(), Name);
    EXPECT_EQ(F->Size(), Int64(sizeof(TRecord) + 8));
    TRecord R {};
    F->ReadBufferData(R);
    Int64 Big = 0;
    EXPECT_EQ(F->ReadData(Big), 8);
    EXPECT_EQ(R.A, -5);
    EXPECT_EQ(R.B, 7);
    EXPECT_EQ(Big, Int64(1) << 40);
}

TEST_F(StreamFiles, ShortTransfersRaise)
{
    String Name = Path("short.bin");
    WriteAll(Name, "12345");
    auto F = Open(Name, fmOpenRead | fmShareDenyNone);
    char Buf[8];
    F->SetPosition(2);
    try {
        F->ReadBuffer(Buf, 4);
        FAIL() << "short read not raised";
    } catch (const EReadError& E) {
        EXPECT_EQ(E.Message(), u"Stream read error");
    }
    try {
        F->WriteBuffer("x", 1); // opened for reading only
        FAIL() << "refused write not raised";
    } catch (const EWriteError& E) {
        EXPECT_EQ(E.Message(), u"Stream write error");
    }
    auto M = MakeOwned<TMemoryStream>();
    M->WriteBuffer("ab", 2);
    M->SetPosition(0);
    EXPECT_THROW(M->ReadBuffer(Buf, 3), EReadError);
    M->SetPosition(0);
    EXPECT_NO_THROW(M->ReadBuffer(Buf, 2));
    EXPECT_NO_THROW(M->ReadBuffer(Buf, 0));
}

TEST(Streams, CopyFrom)
{
    struct TCase {
        Int64 SourcePos;
        Int64 Count;
        Int64 Copied;
        Int64 FirstByte;
    };
    const Int64 SourceSize = 200000; // more than one copy block
    const TCase Cases[] = {
        { 1000, 0, SourceSize, 0 }, // 0: the whole source from its beginning
        { 1000, -1, SourceSize, 0 },
        { 1000, 150000, 150000, 1000 }, // from the source's position
        { 0, 5, 5, 0 },
    };
    auto Source = MakeOwned<TMemoryStream>();
    for (Int64 I = 0; I < SourceSize; ++I)
        Source->WriteData(Byte(I % 251));
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Count);
        auto Dest = MakeOwned<TMemoryStream>();
        Source->SetPosition(C.SourcePos);
        EXPECT_EQ(Dest->CopyFrom(Source.get(), C.Count), C.Copied);
        ASSERT_EQ(Dest->Size(), C.Copied);
        EXPECT_EQ(std::memcmp(Dest->Memory(), static_cast<Byte*>(Source->Memory()) + C.FirstByte, size_t(C.Copied)), 0);
    }
    auto Dest = MakeOwned<TMemoryStream>();
    Source->SetPosition(SourceSize - 10);
    EXPECT_THROW(Dest->CopyFrom(Source.get(), 11), EReadError);
}

TEST(Streams, MemoryStreamGrowsAndTruncates)
{
    auto M = MakeOwned<TMemoryStream>();
    std::string Expected;
    for (int I = 0; I < 5000; ++I) {
        std::string Piece = std::to_string(I) + ",";
        M->WriteBuffer(Piece.data(), Int64(Piece.size()));
        Expected += Piece;
    }
    ASSERT_EQ(M->Size(), Int64(Expected.size()));
    EXPECT_GE(M->Capacity(), M->Size());
    EXPECT_EQ(std::string(static_cast<char*>(M->Memory()), Expected.size()), Expected);

    M->SetSize(6);
    EXPECT_EQ(M->Position(), 6); // clamped to the new end
    EXPECT_EQ(M->Read(nullptr, 1), 0);
    M->SetSize(10); // regrown bytes are zeros, not the old text
    M->SetPosition(0);
    EXPECT_EQ(ReadText(M.get(), 20), std::string("0,1,2,\0\0\0\0", 10));

    M->Seek(4, soEnd); // a write past the end leaves zeros in the gap
    M->WriteBuffer("Z", 1);
    EXPECT_EQ(M->Size(), 15);
    M->SetPosition(9);
    EXPECT_EQ(ReadText(M.get(), 20), std::string("\0\0\0\0\0Z", 6));

    EXPECT_EQ(M->Seek(-1, soBeginning), -1);
    EXPECT_EQ(M->Position(), 15);
    EXPECT_THROW(M->SetSize(-1), EArgumentOutOfRangeException);
    M->Clear();
    EXPECT_EQ(M->Size(), 0);
    EXPECT_EQ(M->Capacity(), 0);
    EXPECT_EQ(M->Memory(), nullptr);
}

TEST(Streams, BytesAndStringStreams)
{
    TOwnedPtr<TStringStream> S(New<TStringStream>(String(u"Grüße")));
    EXPECT_EQ(S->Size(), 7); // UTF-8 bytes
    S->Seek(0, soEnd);
    S->WriteBuffer("!", 1);
    EXPECT_EQ(S->DataString(), u"Grüße!");
    ASSERT_GE(S->Bytes().size(), 8u);
    EXPECT_EQ(S->Bytes()[7], '!');
    EXPECT_TRUE(S->Is<TMemoryStream>());

    TOwnedPtr<TBytesStream> B(New<TBytesStream>(std::vector<Byte> { 1, 2, 3 }));
    B->SetSize(2);
    Byte Buf[4] {};
    EXPECT_EQ(B->Read(Buf, 4), 2);
    EXPECT_EQ(Buf[1], 2);
}

TEST_F(StreamFiles, MemoryStreamFiles)
{
    String Name = Path("mem.bin");
    auto M = MakeOwned<TMemoryStream>();
    M->WriteBuffer("hello", 5);
    M->SetPosition(2);
    M->SaveToFile(Name);
    EXPECT_EQ(ReadAll(Name), "hello");

    WriteAll(Name, "replaced");
    M->LoadFromFile(Name);
    EXPECT_EQ(M->Size(), 8);
    EXPECT_EQ(std::string(static_cast<char*>(M->Memory()), 8), "replaced");
}

TEST_F(StreamFiles, RefusedOpensRaiseWithTheSystemError)
{
    fs::create_directory(Dir / "sub");
    struct TCase {
        const char* Name;
        Word Mode;
        int Error;
        bool Create;
    };
    const TCase Cases[] = {
        { "missing.bin", fmOpenRead, ENOENT, false },
        { "sub", fmOpenRead | fmShareDenyNone, EISDIR, false },
        { "no/such/dir.bin", fmCreate, ENOENT, true },
        { "file.bin", 0x0003, EINVAL, false }, // no such access mode
        { "file.bin", fmOpenRead | 0x0050, EINVAL, false },
    };
    WriteAll(Path("file.bin"), "x");
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        try {
            Open(Path(C.Name), C.Mode);
            FAIL() << "opened";
        } catch (const EFileStreamError& E) {
            EXPECT_EQ(E.ErrorCode, C.Error);
            EXPECT_EQ(dynamic_cast<const EFCreateError*>(&E) != nullptr, C.Create);
        }
    }
    try {
        Open(Path("missing.bin"), fmOpenRead);
    } catch (const EFOpenError& E) {
        EXPECT_EQ(E.Message(), u"Cannot open file \"" + Path("missing.bin") + u"\". " + S(std::strerror(ENOENT)));
    }
    String WithNul = Path("nul");
    WithNul.push_back(u'\0');
    EXPECT_THROW(Open(WithNul, fmCreate), EFCreateError);
    EXPECT_FALSE(fs::exists(Dir / "nul"));
}

TEST_F(StreamFiles, ShareModesBetweenOpens)
{
    struct TCase {
        Word First;
        Word Second;
        bool Allowed;
    };
    const TCase Cases[] = {
        { fmOpenRead | fmShareDenyNone, fmOpenRead | fmShareDenyNone, true },
        { fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareDenyWrite, true },
        { fmOpenRead | fmShareDenyWrite, fmOpenReadWrite | fmShareDenyNone, false },
        { fmOpenReadWrite | fmShareDenyNone, fmOpenRead | fmShareDenyWrite, false },
        { fmOpenReadWrite | fmShareDenyNone, fmOpenReadWrite | fmShareDenyNone, true },
        { fmOpenReadWrite | fmShareDenyWrite, fmOpenReadWrite | fmShareDenyWrite, false }, // a second writer
        { fmOpenReadWrite | fmShareDenyWrite, fmOpenRead | fmShareDenyNone, true },
        { fmOpenWrite | fmShareDenyWrite, fmOpenWrite | fmShareDenyNone, false },
        { fmOpenWrite | fmShareDenyNone, fmOpenWrite | fmShareDenyNone, true },
        { fmOpenWrite | fmShareDenyNone, fmOpenRead | fmShareDenyWrite, false },
        { fmOpenWrite | fmShareDenyNone, fmOpenRead | fmShareDenyRead, true },
        { fmOpenRead | fmShareDenyRead, fmOpenRead | fmShareDenyNone, false },
        { fmOpenRead | fmShareDenyRead, fmOpenWrite | fmShareDenyNone, true },
        { fmOpenReadWrite | fmShareDenyNone, fmOpenWrite | fmShareDenyRead, false },
        { fmOpenRead | fmShareExclusive, fmOpenRead | fmShareDenyNone, false },
        { fmOpenRead | fmShareDenyNone, fmOpenRead | fmShareExclusive, false },
        { fmOpenRead | fmShareCompat, fmOpenRead | fmShareDenyNone, false },
        { fmCreate | fmShareDenyWrite, fmOpenRead | fmShareDenyNone, true },
        { fmCreate, fmOpenRead | fmShareDenyNone, false },
        { fmOpenRead | fmShareDenyNone, fmCreate | fmShareDenyNone, true },
        { fmOpenRead | fmShareDenyWrite, fmCreate | fmShareDenyNone, false },
    };
    String Name = Path("shared.bin");
    for (const TCase& C : Cases) {
        SCOPED_TRACE(testing::Message() << std::hex << C.First << " then " << C.Second);
        WriteAll(Name, "keep");
        auto First = Open(Name, C.First);
        const std::string Before = ReadAll(Name);
        if (C.Allowed) {
            EXPECT_NO_THROW(Open(Name, C.Second));
            continue;
        }
        try {
            Open(Name, C.Second);
            ADD_FAILURE() << "second open allowed";
        } catch (const EFileStreamError& E) {
            EXPECT_EQ(E.ErrorCode, EBUSY);
            EXPECT_EQ(dynamic_cast<const EFCreateError*>(&E) != nullptr, C.Second == (fmCreate | (C.Second & 0xF0)));
        }
        EXPECT_EQ(ReadAll(Name), Before); // a refused fmCreate truncated nothing
        First.reset();
        EXPECT_NO_THROW(Open(Name, C.Second)); // closing the first lifts its locks
    }
}

TEST_F(StreamFiles, ShareModesHoldAcrossProcesses)
{
    String Name = Path("other.bin");
    WriteAll(Name, "data");
    auto Writer = Open(Name, fmOpenReadWrite | fmShareDenyWrite);
    pid_t Child = fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
        // Our own open in the child; the inherited one shares the parent's locks.
        int Code = 3;
        try {
            TOwnedPtr<TFileStream> Second(New<TFileStream>(Name, fmOpenWrite | fmShareDenyNone));
            Code = 0;
        } catch (const EFileStreamError& E) {
            Code = E.ErrorCode == EBUSY ? 1 : 2;
        }
        _exit(Code);
    }
    int Status = 0;
    ASSERT_EQ(waitpid(Child, &Status, 0), Child);
    ASSERT_TRUE(WIFEXITED(Status));
    EXPECT_EQ(WEXITSTATUS(Status), 1);
}

TEST_F(StreamFiles, OpeningAFifoWithoutWriterDoesNotHang)
{
    ASSERT_EQ(mkfifo((Dir / "fifo").c_str(), 0600), 0);
    auto F = Open(Path("fifo"), fmOpenRead | fmShareDenyNone);
    char C;
    EXPECT_EQ(F->Read(&C, 1), 0);
}
