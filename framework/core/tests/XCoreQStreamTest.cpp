#include "core/XCore.Errors.h"
#include "core/XCore.QStream.h"
#include "core/XCore.Qi.CRC.h"
#include "core/XCore.ZLib.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using TBytes = std::vector<Byte>;

Cardinal Get32(const TBytes& B, size_t At)
{
    return Cardinal(B[At]) | Cardinal(B[At + 1]) << 8 | Cardinal(B[At + 2]) << 16 | Cardinal(B[At + 3]) << 24;
}

void Put32(TBytes& B, size_t At, Cardinal V)
{
    for (int I = 0; I < 4; ++I)
        B[At + size_t(I)] = Byte(V >> (8 * I));
}

void Put64(TBytes& B, size_t At, Int64 V)
{
    for (int I = 0; I < 8; ++I)
        B[At + size_t(I)] = Byte(UInt64(V) >> (8 * I));
}

std::string Text(const TBytes& B, size_t At, size_t N)
{
    return std::string(reinterpret_cast<const char*>(B.data() + At), N);
}

TBytes FileBytes(const String& Name)
{
    return Testing::ReadFileBytes(StringToUTF8(Name));
}

void WriteFileBytes(const String& Name, const TBytes& B)
{
    Testing::WriteFileBytes(StringToUTF8(Name), B);
}

// A memory stream that stops taking bytes at Cap, as a full disk does.
class TCappedStream : public TMemoryStream {
public:
    Int64 Cap = 0;
    Int64 Write(const void* Buffer, Int64 Count) override
    {
        Int64 Room = std::max<Int64>(Cap - Position(), 0);
        return TMemoryStream::Write(Buffer, std::min(Count, Room));
    }
};

// Files may not grow past Limit bytes while it lives: writes beyond fail
// with EFBIG, as on a full disk.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t Limit)
    {
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &FOld);
        rlimit New = FOld;
        New.rlim_cur = Limit;
        setrlimit(RLIMIT_FSIZE, &New);
    }
    ~TFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldHandler);
    }

private:
    rlimit FOld {};
    void (*FOldHandler)(int) = nullptr;
};

// Recomputes the CRC at At + 4 over the N body bytes behind it.
void Reseal(TBytes& B, size_t At, size_t N)
{
    Cardinal CRC = 0;
    CRC32OfBuffer(CRC, B.data() + At + 8, Int64(N));
    Put32(B, At + 4, CRC);
}

TXRIdentity DataIdentity()
{
    TXRIdentity Id;
    SetFilerIdentity(Id, 3000, 0, 0, 0, 0, u"Data");
    return Id;
}

const std::string Letter = "Dear reader, this text is stored compressed. Dear reader, again.";
const std::string Raw = "RAW!!";

// The golden container of these tests, with its offsets:
//   0 file header, 107 link, 123 group "Data" (id 1, no data),
//   216 link, 232 header (group 1, kind 3, three entries: the letter
//   compressed, five raw bytes, one never written), then the end record.
constexpr size_t GroupAt = 123;
constexpr size_t HeaderLinkAt = 216;
constexpr size_t HeaderAt = 232;
constexpr size_t TableAt = HeaderAt + 36;
constexpr size_t ResourcesAt = TableAt + 3 * 16;

void WriteGolden(TXQStream* C, TStream* S)
{
    C->SetIdentity(DataIdentity());
    ASSERT_TRUE(C->OpenStream(xroCreate | xroRead | xroWrite, S, false, nullptr, 0));
    ASSERT_TRUE(C->AddNamedGroup(u"Data", nullptr, false, nullptr));
    ASSERT_TRUE(C->BeginNamedHeader(u"Data", 3, false, nullptr, 3));
    ASSERT_TRUE(C->AddResourceText(-1, UTF8ToString(Letter), false, nullptr));
    ASSERT_TRUE(C->AddResourceBuffer(1, Raw.data(), nullptr, Integer(Raw.size())));
    ASSERT_TRUE(C->EndNamedHeader(false));
}

TBytes GoldenBytes()
{
    auto S = MakeOwned<TMemoryStream>();
    auto C = MakeOwned<TXQStream>();
    WriteGolden(C.get(), S.get());
    C->Close();
    return Testing::StreamBytes(S.get());
}

class Container : public testing::Test {
protected:
    Testing::TTempFolder Folder { "container-test" };
    void SetUp() override { ClearXError(); }
    String File(const std::string& Name) { return Folder.File(Name); }
};

TEST_F(Container, GoldenFileLayoutAndReadBack)
{
    String Name = File("golden.xq");
    {
        auto C = MakeOwned<TXQStream>();
        C->SetIdentity(DataIdentity());
        ASSERT_TRUE(C->OpenFile(xroCreate | xroRead | xroWrite, Name, false, nullptr, 0));
        // The file is open exclusively while it is written.
        auto Other = MakeOwned<TXQStream>();
        EXPECT_FALSE(Other->OpenFile(xroRead | xroWrite, Name, false, nullptr, 0));
        EXPECT_EQ(GetXErrorCode(), xecReadFailed);
        C->Close();
        ASSERT_TRUE(C->OpenFileAppend(xroRead | xroWrite, Name, false, nullptr, 0));
        ASSERT_TRUE(C->AddNamedGroup(u"Data", nullptr, false, nullptr));
        ASSERT_TRUE(C->BeginNamedHeader(u"Data", 3, false, nullptr, 3));
        ASSERT_TRUE(C->AddResourceText(-1, UTF8ToString(Letter), false, nullptr));
        ASSERT_TRUE(C->AddResourceBuffer(1, Raw.data(), nullptr, Integer(Raw.size())));
        ASSERT_TRUE(C->EndNamedHeader(false));
    }
    TBytes B = FileBytes(Name);
    EXPECT_EQ(B, GoldenBytes());

    ASSERT_GT(B.size(), ResourcesAt + 16);
    EXPECT_EQ(Text(B, 0, 4), "XXFQ");
    EXPECT_EQ(Get32(B, 8), 1u);
    EXPECT_EQ(Get32(B, 12), 3000u);
    EXPECT_EQ(B[32], 4);
    EXPECT_EQ(Text(B, 33, 4), "Data");
    EXPECT_EQ(Text(B, 107, 4), "XXNQ");
    EXPECT_EQ(Get32(B, 115), Cardinal(HeaderLinkAt));
    EXPECT_EQ(Text(B, GroupAt, 4), "XXGQ");
    EXPECT_EQ(Get32(B, GroupAt + 12), 1u);
    EXPECT_EQ(Text(B, HeaderLinkAt, 4), "XXNQ");
    EXPECT_EQ(Text(B, HeaderAt, 4), "XXHQ");
    EXPECT_EQ(B[HeaderAt + 26], 3);
    EXPECT_EQ(Text(B, B.size() - 16, 4), "XXEQ");
    Cardinal RawCRC = 0;
    CRC32OfBuffer(RawCRC, Raw.data(), Int64(Raw.size()));
    EXPECT_EQ(Get32(B, TableAt + 16), RawCRC);
    EXPECT_EQ(Text(B, B.size() - 16 - Raw.size(), Raw.size()), Raw);
    EXPECT_EQ(B[ResourcesAt], 0x78); // the letter as a zlib stream

    auto C = MakeOwned<TXQStream>();
    C->OnHeader = [&](TObject*, bool& Accept) { Accept = C->CheckIdentity(3000, 0, 0, 0, 0, u"Data"); };
    ASSERT_TRUE(C->OpenFile(xroRead, Name, false, nullptr, 0));
    EXPECT_EQ(GetXErrorCode(), xecNone);
    EXPECT_TRUE(C->EndSeen());
    ASSERT_EQ(C->Groups()->Count(), 1);
    TXRGroupObject* G = C->Groups()->Items(0);
    EXPECT_EQ(G->Body.Name.ToString(), u"Data");
    ASSERT_EQ(G->Headers->Count(), 1);
    String Letters;
    ASSERT_TRUE(C->ReadResourceText(u"Data", 0, false, nullptr, Letters, 0));
    EXPECT_EQ(Letters, UTF8ToString(Letter));
    EXPECT_EQ(C->LastReadCount(), 3);

    // Reading into a stream that holds older, longer bytes gives exactly the resource.
    auto Dest = MakeOwned<TBytesStream>(TBytes(500, 0xEE));
    ASSERT_TRUE(C->ReadResource(u"Data", 0, false, nullptr, Dest.get(), 1));
    EXPECT_EQ(Testing::StreamBytes(Dest.get()), TBytes(Raw.begin(), Raw.end()));
    ASSERT_TRUE(C->ReadResource(u"Data", 0, false, nullptr, Dest.get(), 2));
    EXPECT_EQ(Dest->Size(), 0);
    EXPECT_FALSE(C->ReadResource(u"Data", 1, false, nullptr, Dest.get(), 0));
    EXPECT_FALSE(C->ReadResource(u"Nope", 0, false, nullptr, Dest.get(), 0));
    EXPECT_TRUE(C->ReadNamedResourceOfKind(u"Data", -1, false, nullptr, Dest.get(), 1, 0));
    EXPECT_FALSE(C->ReadNamedResourceOfKind(u"Data", 2, false, nullptr, Dest.get(), 1, 0));
    EXPECT_EQ(GetXErrorCode(), xecNone);
}

TEST_F(Container, ReadResourceBufferKeepsToTheCallersBuffer)
{
    auto S = MakeOwned<TMemoryStream>();
    auto C = MakeOwned<TXQStream>();
    WriteGolden(C.get(), S.get());
    TXRHeaderObject* H = C->Groups()->Items(0)->Headers->Items(0);
    char Buf[200] {};
    Int64 Length = -1;
    struct TCase {
        Word Index;
        Int64 Capacity;
        bool Ok;
        Int64 Length;
    };
    const TCase Cases[] = {
        { 1, 5, true, 5 },
        { 1, 4, false, 0 },
        { 0, 200, true, Int64(Letter.size()) },
        { 0, 10, false, 0 },
        { 2, 0, true, 0 },
        { 3, 200, false, 0 },
    };
    for (const TCase& T : Cases) {
        ClearXError();
        EXPECT_EQ(C->ReadResourceBuffer(H, T.Index, nullptr, Buf, T.Capacity, &Length), T.Ok) << T.Index;
        EXPECT_EQ(Length, T.Length) << T.Index;
    }
    ASSERT_TRUE(C->ReadResourceBuffer(H, 0, nullptr, Buf, 200, &Length));
    EXPECT_EQ(std::string(Buf, size_t(Length)), Letter);
}

TEST_F(Container, WritingRules)
{
    auto S = MakeOwned<TMemoryStream>();
    auto C = MakeOwned<TXQStream>();
    C->SetIdentity(DataIdentity());
    ASSERT_TRUE(C->OpenStream(xroCreate | xroRead | xroWrite, S.get(), false, nullptr, 0));
    EXPECT_EQ(S->Size(), 107);
    // A header before its group, two records with one id, a resource too many.
    ASSERT_TRUE(C->BeginHeader(5, 4, nullptr, 1));
    ASSERT_TRUE(C->AddResourceBuffer(0, "a", nullptr, 1));
    EXPECT_FALSE(C->AddResourceBuffer(0, "b", nullptr, 1));
    EXPECT_EQ(GetXErrorCode(), xecNone);
    ASSERT_TRUE(C->EndHeader());
    ASSERT_TRUE(C->AddGroup(5, u"First", nullptr, nullptr));
    ASSERT_TRUE(C->AddGroup(5, u"Second", nullptr, nullptr));
    auto Data = MakeOwned<TStringStream>(u"group data");
    ASSERT_TRUE(C->AddNamedGroup(u"WithData", Data.get(), false, nullptr));
    C->Close();

    ASSERT_TRUE(C->OpenStream(xroRead, S.get(), false, nullptr, 0));
    EXPECT_EQ(GetXErrorCode(), xecNone);
    TXRGroupObject* G = C->Groups()->FindGroupById(5);
    ASSERT_NE(G, nullptr);
    EXPECT_EQ(G->Body.Name.ToString(), u"First");
    EXPECT_EQ(G->Headers->Count(), 1);
    TXRGroupObject* W = C->Groups()->FindGroupByName(u"WithData");
    ASSERT_NE(W, nullptr);
    EXPECT_EQ(W->Body.Id, 6u);
    EXPECT_TRUE(W->Valid); // the data matched its CRC
    EXPECT_EQ(W->Data->Size(), 0); // and was not kept
    EXPECT_EQ(C->Groups()->NextGroupId(), 7u);

    // Writing needs the write flag.
    EXPECT_FALSE(C->AddGroup(9, u"No", nullptr, nullptr));
    EXPECT_EQ(GetXErrorCode(), xecWriteFailed);
}

TEST_F(Container, EmptyContainerAndCutEndRecord)
{
    auto S = MakeOwned<TMemoryStream>();
    auto C = MakeOwned<TXQStream>();
    C->SetIdentity(DataIdentity());
    ASSERT_TRUE(C->OpenStream(xroCreateEmpty | xroRead | xroWrite, S.get(), false, nullptr, 0));
    C->Close();
    EXPECT_EQ(S->Size(), 107);
    ASSERT_TRUE(C->OpenStream(xroRead, S.get(), false, nullptr, 0));
    EXPECT_EQ(GetXErrorCode(), xecContainerNoEnd);
    EXPECT_EQ(C->Groups()->Count(), 0);

    TBytes B = GoldenBytes();
    B.resize(B.size() - 16);
    auto Cut = MakeOwned<TBytesStream>(B);
    ASSERT_TRUE(C->OpenStream(xroRead, Cut.get(), false, nullptr, 0));
    EXPECT_EQ(GetXErrorCode(), xecContainerNoEnd);
    String Letters;
    EXPECT_TRUE(C->ReadResourceText(u"Data", 0, false, nullptr, Letters, 0));
}

TEST_F(Container, DamagedInputs)
{
    const TBytes Golden = GoldenBytes();
    const size_t LetterSize = size_t(Get32(Golden, TableAt + 8));
    struct TCase {
        const char* Name;
        std::function<void(TBytes&)> Damage;
        bool Opens;
        Integer Code;
        bool Readable; // the letter can still be read
    };
    const TCase Cases[] = {
        { "intact", [](TBytes&) {}, true, xecNone, true },
        { "file header CRC", [](TBytes& B) { B[40] ^= 1; }, false, xecContainerHeader, false },
        { "version",
            [](TBytes& B) {
                B[8] = 2;
                Reseal(B, 0, 75);
            },
            false, xecContainerHeader, false },
        { "not a container", [](TBytes& B) { B[2] = 'Y'; }, false, xecContainerHeader, false },
        { "too short", [](TBytes& B) { B.resize(60); }, false, xecContainerHeader, false },
        { "bad slot", [](TBytes& B) { B[107] = 'Q'; }, false, xecCRCMismatch, false },
        { "link CRC", [](TBytes& B) { B[111] ^= 1; }, false, xecCRCMismatch, false },
        { "link past the end",
            [](TBytes& B) {
                Put64(B, HeaderLinkAt + 8, Int64(1) << 40);
                Reseal(B, HeaderLinkAt, 8);
            },
            false, xecContainerScan, false },
        { "link to itself",
            [](TBytes& B) {
                Put64(B, HeaderLinkAt + 8, HeaderLinkAt);
                Reseal(B, HeaderLinkAt, 8);
            },
            true, xecContainerNoEnd, false },
        { "link backwards",
            [](TBytes& B) {
                Put64(B, HeaderLinkAt + 8, 107);
                Reseal(B, HeaderLinkAt, 8);
            },
            true, xecContainerNoEnd, false },
        { "cut in a record", [](TBytes& B) { B.resize(HeaderAt + 20); }, false, xecContainerScan, false },
        { "group body CRC", [](TBytes& B) { B[GroupAt + 20] ^= 1; }, true, xecCRCMismatch, false },
        { "oversized group data",
            [](TBytes& B) {
                Put64(B, GroupAt + 85, Int64(1) << 40);
                Reseal(B, GroupAt, 85);
            },
            true, xecReadFailed, true },
        { "oversized resource",
            [](TBytes& B) {
                Put64(B, TableAt + 16 + 8, Int64(1) << 50);
                Reseal(B, HeaderAt, 28);
                Cardinal CRC = 0;
                CRC32OfBuffer(CRC, B.data() + TableAt, 48);
                Put32(B, HeaderAt + 8, CRC);
                Reseal(B, HeaderAt, 28);
            },
            true, xecReadFailed, false },
        { "negative resource",
            [](TBytes& B) {
                Put64(B, TableAt + 8, -5);
                Cardinal CRC = 0;
                CRC32OfBuffer(CRC, B.data() + TableAt, 48);
                Put32(B, HeaderAt + 8, CRC);
                Reseal(B, HeaderAt, 28);
            },
            true, xecReadFailed, false },
        { "huge resource count",
            [](TBytes& B) {
                B[HeaderAt + 26] = 0xFF;
                B[HeaderAt + 27] = 0xFF;
                Reseal(B, HeaderAt, 28);
            },
            true, xecReadFailed, false },
        { "table CRC", [](TBytes& B) { B[TableAt + 4] ^= 1; }, true, xecCRCMismatch, false },
        { "resource bytes", [&](TBytes& B) { B[ResourcesAt + LetterSize / 2] ^= 0x40; }, true, xecNone, false },
        { "header body CRC", [](TBytes& B) { B[HeaderAt + 16] ^= 1; }, true, xecCRCMismatch, false },
    };
    for (const TCase& T : Cases) {
        TBytes B = Golden;
        T.Damage(B);
        auto S = MakeOwned<TBytesStream>(B);
        auto C = MakeOwned<TXQStream>();
        C->OnHeader = [&](TObject*, bool& Accept) { Accept = C->CheckIdentity(3000, 0, 0); };
        ClearXError();
        EXPECT_EQ(C->OpenStream(xroRead, S.get(), false, nullptr, 0), T.Opens) << T.Name;
        EXPECT_EQ(GetXErrorCode(), T.Code) << T.Name;
        if (!T.Opens && T.Code == xecContainerHeader)
            EXPECT_FALSE(C->IsOpen()) << T.Name;
        if (T.Code == xecContainerScan)
            EXPECT_TRUE(C->Damaged()) << T.Name;
        String Letters;
        EXPECT_EQ(C->ReadResourceText(u"Data", 0, false, nullptr, Letters, 0), T.Readable) << T.Name;
        if (T.Readable)
            EXPECT_EQ(Letters, UTF8ToString(Letter)) << T.Name;
    }
}

TEST_F(Container, WrongIdentityIsRefused)
{
    auto S = MakeOwned<TBytesStream>(GoldenBytes());
    struct TCase {
        Integer V1, V2;
        const char16_t* Name;
    };
    const TCase Cases[] = { { 100, 0, u"Data" }, { 3000, 6001, u"Data" }, { 3000, 0, u"Language" } };
    for (const TCase& T : Cases) {
        auto C = MakeOwned<TXQStream>();
        C->OnHeader = [&](TObject*, bool& Accept) { Accept = C->CheckIdentity(T.V1, T.V2, 0, 0, 0, T.Name); };
        EXPECT_FALSE(C->OpenStream(xroRead, S.get(), false, nullptr, 0));
        EXPECT_EQ(GetXErrorCode(), xecContainerHeader);
        EXPECT_FALSE(C->IsOpen());
        EXPECT_EQ(C->Groups()->Count(), 0);
    }
    auto C = MakeOwned<TXQStream>();
    C->OnHeader = [&](TObject*, bool& Accept) { Accept = C->CheckIdentity(1, 2, 3); };
    EXPECT_EQ(Testing::RaisedCode([&] { C->OpenStream(xroRead, S.get(), true, nullptr, 0); }), xecContainerHeader);
}

TEST_F(Container, AppendJoinsGroupsByName)
{
    auto S = MakeOwned<TBytesStream>(GoldenBytes());
    auto C = MakeOwned<TXQStream>();
    ASSERT_TRUE(C->OpenStreamAppend(xroWrite, S.get(), false, nullptr, 0));
    EXPECT_TRUE(C->AppendMode());
    EXPECT_EQ(C->EndOffset(), S->Size() - 16);
    ASSERT_TRUE(C->AddNamedGroup(u"Data", nullptr, false, nullptr));
    ASSERT_TRUE(C->AddNamedGroup(u"Other", nullptr, false, nullptr));
    auto Second = MakeOwned<TStringStream>(u"second");
    ASSERT_TRUE(C->AddSingleResourceHeader(u"Data", 3, false, nullptr, Second.get(), 1));
    C->Close();

    ASSERT_TRUE(C->OpenStream(xroRead, S.get(), false, nullptr, 0));
    EXPECT_EQ(GetXErrorCode(), xecNone);
    ASSERT_EQ(C->Groups()->Count(), 2);
    TXRGroupObject* Data = C->Groups()->FindGroupByName(u"Data");
    ASSERT_NE(Data, nullptr);
    EXPECT_EQ(Data->Headers->Count(), 2);
    EXPECT_EQ(C->Groups()->FindGroupByName(u"Other")->Body.Id, 2u);
    String Text;
    ASSERT_TRUE(C->ReadResourceText(u"Data", 1, false, nullptr, Text, 0));
    EXPECT_EQ(Text, u"second");
}

TEST_F(Container, CompactionKeepsLiveRecords)
{
    auto S = MakeOwned<TMemoryStream>();
    auto C = MakeOwned<TXQStream>();
    WriteGolden(C.get(), S.get());
    ASSERT_TRUE(C->AddNamedGroup(u"Gone", nullptr, false, nullptr));
    auto Extra = MakeOwned<TStringStream>(u"extra");
    ASSERT_TRUE(C->AddSingleResourceHeader(u"Data", 3, false, nullptr, Extra.get(), -2));
    C->Close();
    // Mark the group "Gone" deleted (byte 68 of its record) and the first header of "Data".
    TBytes B = Testing::StreamBytes(S.get());
    B[HeaderAt + 21] = 1;
    Reseal(B, HeaderAt, 28);
    size_t GoneAt = size_t(Get32(B, HeaderLinkAt + 8)) + 16;
    ASSERT_EQ(Text(B, GoneAt, 4), "XXGQ");
    B[GoneAt + 68] = 1;
    Reseal(B, GoneAt, 85);
    auto Source = MakeOwned<TBytesStream>(B);

    ASSERT_TRUE(C->OpenStream(xroRead, Source.get(), false, nullptr, 0));
    auto Dest = MakeOwned<TBytesStream>(TBytes(5000, 0xEE));
    ASSERT_TRUE(C->CompactTo(Dest.get(), nullptr, false));
    C->Close();
    TBytes Out = Testing::StreamBytes(Dest.get());
    EXPECT_LT(Out.size(), B.size());
    EXPECT_EQ(TBytes(Out.begin(), Out.begin() + 107), TBytes(B.begin(), B.begin() + 107));

    ASSERT_TRUE(C->OpenStream(xroRead, Dest.get(), false, nullptr, 0));
    EXPECT_EQ(GetXErrorCode(), xecNone);
    EXPECT_TRUE(C->EndSeen());
    EXPECT_EQ(C->Groups()->Count(), 1);
    EXPECT_EQ(C->Groups()->Items(0)->Headers->Count(), 1);
    String Text;
    ASSERT_TRUE(C->ReadResourceText(u"Data", 0, false, nullptr, Text, 0));
    EXPECT_EQ(Text, u"extra");
}

}

namespace {

TBytes Noise(size_t N, unsigned Seed)
{
    TBytes B(N);
    for (Byte& X : B) {
        Seed = Seed * 1103515245u + 12345u;
        X = Byte(Seed >> 16);
    }
    return B;
}

// A container of Count groups whose data are Size zero bytes each; the
// deflated data is made once and copied into every record.
TBytes GroupBombs(int Count, size_t Size)
{
    auto S = MakeOwned<TMemoryStream>();
    auto C = MakeOwned<TXQStream>();
    C->OpenStream(xroCreate | xroRead | xroWrite, S.get(), false, nullptr, 0);
    auto Zeros = MakeOwned<TBytesStream>(TBytes(Size));
    C->AddGroup(1, u"Bomb", nullptr, Zeros.get());
    C->Close();
    TBytes One = Testing::StreamBytes(S.get());
    const TBytes Header(One.begin(), One.begin() + 107);
    const TBytes Record(One.begin() + 107 + 16, One.end() - 16); // group record and data
    TBytes B = Header;
    for (int I = 0; I < Count; ++I) {
        size_t At = B.size();
        B.resize(At + 16);
        Put32(B, At, XRSignature(xrSignatureBase, 'N', 'Q'));
        Put64(B, At + 8, Int64(At + 16 + Record.size()));
        Reseal(B, At, 8);
        B.insert(B.end(), Record.begin(), Record.end());
        Put32(B, At + 16 + 12, Cardinal(I + 1));
        Reseal(B, At + 16, 85);
    }
    size_t End = B.size();
    B.resize(End + 16);
    Put32(B, End, XRSignature(xrSignatureBase, 'E', 'Q'));
    return B;
}

TEST_F(Container, AppendGoesWhereReadersArrive)
{
    const TBytes Golden = GoldenBytes();
    struct TCase {
        const char* Name;
        std::function<void(TBytes&)> Damage;
        Int64 End; // where the next link goes
        bool Letter; // the golden header stays readable
    };
    const TCase Cases[] = {
        { "intact", [](TBytes&) {}, Int64(Golden.size()) - 16, true },
        { "bytes behind the end record",
            [](TBytes& B) {
                B.insert(B.end(), { 'j', 'u', 'n', 'k' });
            },
            Int64(Golden.size()) - 16, true },
        { "end record cut off", [](TBytes& B) { B.resize(B.size() - 16); }, Int64(Golden.size()) - 16, true },
        { "cut in a record", [](TBytes& B) { B.resize(HeaderAt + 20); }, Int64(HeaderLinkAt), false },
        { "link past the end",
            [](TBytes& B) {
                Put64(B, HeaderLinkAt + 8, Int64(1) << 40);
                Reseal(B, HeaderLinkAt, 8);
            },
            Int64(HeaderLinkAt), false },
        { "bad slot", [](TBytes& B) { B[HeaderLinkAt] = 'Q'; }, Int64(HeaderLinkAt), false },
    };
    for (const TCase& T : Cases) {
        TBytes B = Golden;
        T.Damage(B);
        auto S = MakeOwned<TBytesStream>(B);
        auto C = MakeOwned<TXQStream>();
        ASSERT_TRUE(C->OpenStreamAppend(xroWrite, S.get(), false, nullptr, 0)) << T.Name;
        EXPECT_EQ(C->EndOffset(), T.End) << T.Name;
        ASSERT_TRUE(C->AddNamedGroup(u"Late", nullptr, false, nullptr)) << T.Name;
        C->Close();

        ASSERT_TRUE(C->OpenStream(xroRead, S.get(), false, nullptr, 0)) << T.Name;
        EXPECT_EQ(GetXErrorCode(), xecNone) << T.Name;
        EXPECT_NE(C->Groups()->FindGroupByName(u"Late"), nullptr) << T.Name;
        String Letters;
        EXPECT_EQ(C->ReadResourceText(u"Data", 0, false, nullptr, Letters, 0), T.Letter) << T.Name;
    }
}

TEST_F(Container, LinkPastTheEndNeverBecomesTheWritePosition)
{
    // File header, a link to 1 TiB, a whole group record: 216 bytes.
    TBytes B = GoldenBytes();
    B.resize(HeaderLinkAt);
    Put64(B, 107 + 8, Int64(1) << 40);
    Reseal(B, 107, 8);
    String Name = File("far.xq");
    WriteFileBytes(Name, B);

    auto C = MakeOwned<TXQStream>();
    EXPECT_FALSE(C->OpenFile(xroRead | xroWrite, Name, false, nullptr, 0));
    EXPECT_EQ(GetXErrorCode(), xecContainerScan);
    EXPECT_FALSE(C->IsOpen());
    ASSERT_TRUE(C->OpenFileAppend(xroWrite, Name, false, nullptr, 0));
    EXPECT_EQ(C->EndOffset(), 107);
    ASSERT_TRUE(C->AddNamedGroup(u"Fresh", nullptr, false, nullptr));
    ASSERT_TRUE(C->Close());
    EXPECT_EQ(fs::file_size(StringToUTF8(Name)), 107u + 16 + 93 + 16);
    ASSERT_TRUE(C->OpenFile(xroRead, Name, false, nullptr, 0));
    EXPECT_EQ(GetXErrorCode(), xecNone);
    EXPECT_NE(C->Groups()->FindGroupByName(u"Fresh"), nullptr);
    C->Close();

    // A stream stays open after the failed scan; its writes stay inside it too.
    auto S = MakeOwned<TBytesStream>(B);
    EXPECT_FALSE(C->OpenStream(xroRead | xroWrite, S.get(), false, nullptr, 0));
    EXPECT_EQ(GetXErrorCode(), xecContainerScan);
    ASSERT_TRUE(C->IsOpen());
    EXPECT_EQ(C->EndOffset(), 107);
    EXPECT_TRUE(C->AddNamedGroup(u"Fresh", nullptr, false, nullptr));
    EXPECT_EQ(S->Size(), 107 + 16 + 93 + 16);
}

TEST_F(Container, GroupDataIsCheckedAsItInflatesAndNeverKept)
{
    // A data CRC that does not match: the group stays listed, invalid, and
    // compaction drops it.
    auto S = MakeOwned<TMemoryStream>();
    auto C = MakeOwned<TXQStream>();
    ASSERT_TRUE(C->OpenStream(xroCreate | xroRead | xroWrite, S.get(), false, nullptr, 0));
    auto Data = MakeOwned<TStringStream>(u"group data");
    ASSERT_TRUE(C->AddNamedGroup(u"Odd", Data.get(), false, nullptr));
    ASSERT_TRUE(C->AddNamedGroup(u"Plain", nullptr, false, nullptr));
    C->Close();
    TBytes B = Testing::StreamBytes(S.get());
    B[GroupAt + 8] ^= 1;
    Reseal(B, GroupAt, 85);
    auto Damaged = MakeOwned<TBytesStream>(B);
    ASSERT_TRUE(C->OpenStream(xroRead, Damaged.get(), false, nullptr, 0));
    EXPECT_EQ(GetXErrorCode(), xecCRCMismatch);
    TXRGroupObject* Odd = C->Groups()->FindGroupByName(u"Odd");
    ASSERT_NE(Odd, nullptr);
    EXPECT_FALSE(Odd->Valid);
    EXPECT_EQ(Odd->Data->Size(), 0);
    auto Compact = MakeOwned<TBytesStream>();
    ASSERT_TRUE(C->CompactTo(Compact.get(), nullptr, false));
    ASSERT_TRUE(C->OpenStream(xroRead, Compact.get(), false, nullptr, 0));
    EXPECT_EQ(C->Groups()->Count(), 1);
    EXPECT_EQ(C->Groups()->FindGroupByName(u"Odd"), nullptr);

    // Many small bodies that inflate far: the whole scan has one budget
    // (256 MiB), and what passes it is flagged invalid, not held in memory.
    constexpr int Groups = 270;
    auto Bombs = MakeOwned<TBytesStream>(GroupBombs(Groups, size_t(1) << 20));
    EXPECT_LT(Bombs->Size(), 2 << 20);
    ASSERT_TRUE(C->OpenStream(xroRead, Bombs.get(), false, nullptr, 0));
    EXPECT_EQ(GetXErrorCode(), xecReadFailed);
    ASSERT_EQ(C->Groups()->Count(), Groups);
    int Checked = 0;
    for (Integer I = 0; I < Groups; ++I) {
        TXRGroupObject* G = C->Groups()->Items(I);
        EXPECT_EQ(G->Data->Size(), 0);
        Checked += G->Valid ? 1 : 0;
        if (I > 0 && G->Valid)
            EXPECT_TRUE(C->Groups()->Items(I - 1)->Valid) << I;
    }
    EXPECT_GE(Checked, 250);
    EXPECT_LE(Checked, 256);
}

TEST_F(Container, LargeTablesAndManyGroupsReadBack)
{
    // One header with the most entries a table holds, and many groups
    // (each met by id before its record): reading is linear in the file.
    auto S = MakeOwned<TMemoryStream>();
    auto C = MakeOwned<TXQStream>();
    ASSERT_TRUE(C->OpenStream(xroCreate | xroRead | xroWrite, S.get(), false, nullptr, 0));
    ASSERT_TRUE(C->AddNamedGroup(u"Wide", nullptr, false, nullptr));
    ASSERT_TRUE(C->BeginNamedHeader(u"Wide", 3, false, nullptr, 0xFFFF));
    for (Word I = 0; I < 0xFFFF; ++I) {
        Byte One = Byte(I);
        ASSERT_TRUE(C->AddResourceBuffer(1, &One, nullptr, I % 3 == 0 ? 0 : 1));
    }
    ASSERT_TRUE(C->EndNamedHeader(false));
    constexpr Integer Groups = 60000;
    for (Integer I = 2; I <= Groups; ++I) {
        ASSERT_TRUE(C->BeginHeader(I, 4, nullptr, 0));
        ASSERT_TRUE(C->EndHeader());
        ASSERT_TRUE(C->AddGroup(I, u"G", nullptr, nullptr));
    }
    C->Close();

    ASSERT_TRUE(C->OpenStream(xroRead, S.get(), false, nullptr, 0));
    EXPECT_EQ(GetXErrorCode(), xecNone);
    ASSERT_EQ(C->Groups()->Count(), Groups);
    EXPECT_EQ(C->Groups()->FindGroupById(Groups)->Headers->Count(), 1);
    EXPECT_TRUE(C->Groups()->FindGroupById(Groups)->HasRecord());
    TXRHeaderObject* Wide = C->Groups()->Items(0)->Headers->Items(0);
    ASSERT_TRUE(Wide->Valid);
    auto Dest = MakeOwned<TBytesStream>();
    for (Word I = 0xFFFF - 3; I < 0xFFFF; ++I) {
        ASSERT_TRUE(C->ReadResourceStream(Wide, I, nullptr, Dest.get())) << I;
        EXPECT_EQ(Testing::StreamBytes(Dest.get()), I % 3 == 0 ? TBytes() : TBytes { Byte(I) }) << I;
    }
}

TEST_F(Container, FailedWritesAreUndone)
{
    const TBytes Golden = GoldenBytes();
    const TBytes Big = Noise(4096, 7);
    const TBytes Ten = Noise(10, 9);
    struct TCase {
        const char* Name;
        Int64 Room; // bytes the stream may grow by
        std::function<bool(TXQStream*)> Write;
    };
    const TCase Cases[] = {
        { "group data", 100,
            [&](TXQStream* C) {
                auto Data = MakeOwned<TBytesStream>(Big);
                return C->AddNamedGroup(u"Big", Data.get(), false, nullptr);
            } },
        { "header record", 20, [&](TXQStream* C) { return C->BeginNamedHeader(u"Data", 3, false, nullptr, 1); } },
        { "resource", 100,
            [&](TXQStream* C) {
                auto Data = MakeOwned<TBytesStream>(Big);
                return C->AddSingleResourceHeader(u"Data", 3, false, nullptr, Data.get(), -2);
            } },
        { "end record of a header", 52 + 10,
            [&](TXQStream* C) {
                return C->BeginNamedHeader(u"Data", 3, false, nullptr, 1) &&
                    C->AddResourceBuffer(1, Ten.data(), nullptr, Integer(Ten.size())) && C->EndNamedHeader(false);
            } },
    };
    for (const TCase& T : Cases) {
        auto S = MakeOwned<TCappedStream>();
        S->Cap = Int64(Golden.size());
        S->WriteBuffer(Golden.data(), Int64(Golden.size()));
        S->Cap = S->Size() + T.Room;
        auto C = MakeOwned<TXQStream>();
        ASSERT_TRUE(C->OpenStream(xroRead | xroWrite, S.get(), false, nullptr, 0)) << T.Name;
        EXPECT_FALSE(T.Write(C.get())) << T.Name;
        EXPECT_EQ(GetXErrorCode(), xecWriteFailed) << T.Name;
        EXPECT_EQ(Testing::StreamBytes(S.get()), Golden) << T.Name;
        EXPECT_EQ(C->EndOffset(), Int64(Golden.size()) - 16) << T.Name;
        EXPECT_FALSE(C->AddResourceBuffer(1, Ten.data(), nullptr, 1)) << T.Name; // no header left open

        // The container goes on from where it was.
        S->Cap = Int64(1) << 20;
        ASSERT_TRUE(C->AddNamedGroup(u"After", nullptr, false, nullptr)) << T.Name;
        C->Close();
        ASSERT_TRUE(C->OpenStream(xroRead, S.get(), false, nullptr, 0)) << T.Name;
        EXPECT_EQ(GetXErrorCode(), xecNone) << T.Name;
        EXPECT_EQ(C->Groups()->Count(), 2) << T.Name;
        EXPECT_NE(C->Groups()->FindGroupByName(u"After"), nullptr) << T.Name;
        EXPECT_EQ(C->Groups()->FindGroupByName(u"Data")->Headers->Count(), 1) << T.Name;
    }

    // A new header that cannot be written leaves an empty stream empty.
    auto S = MakeOwned<TCappedStream>();
    S->Cap = 50;
    auto C = MakeOwned<TXQStream>();
    EXPECT_FALSE(C->OpenStream(xroCreateEmpty | xroRead | xroWrite, S.get(), false, nullptr, 0));
    EXPECT_EQ(S->Size(), 0);
}

TEST_F(Container, FilesKeepTheirContentWhenAWriteFails)
{
    const TBytes Golden = GoldenBytes();
    const TBytes Old = { 'o', 'l', 'd' };
    const TBytes Big = Noise(8192, 3);
    auto Only = [&](const char* Name) {
        std::vector<std::string> Names;
        for (const auto& E : fs::directory_iterator(Folder.Path()))
            Names.push_back(E.path().filename().string());
        return Names == std::vector<std::string> { Name };
    };
    // Grows the file past the limit: false, whatever the kind of open.
    auto AddBig = [&](TXQStream* C, const String& Name) {
        rlim_t Limit = rlim_t(fs::file_size(StringToUTF8(Name)) + 200);
        bool Ok;
        {
            TFileSizeLimit L(Limit);
            auto Data = MakeOwned<TBytesStream>(Big);
            Ok = C->AddNamedGroup(u"Big", Data.get(), false, nullptr);
        }
        return Ok;
    };

    // In place: cut back to the old length, old end record written again.
    String Name = File("in-place.xq");
    WriteFileBytes(Name, Golden);
    auto C = MakeOwned<TXQStream>();
    ASSERT_TRUE(C->OpenFile(xroRead | xroWrite, Name, false, nullptr, 0));
    EXPECT_FALSE(AddBig(C.get(), Name));
    EXPECT_EQ(GetXErrorCode(), xecWriteFailed);
    EXPECT_TRUE(C->Close());
    EXPECT_EQ(FileBytes(Name), Golden);
    fs::remove(StringToUTF8(Name));

    // A new container over a file: the old file stays until Close.
    Name = File("new.xq");
    WriteFileBytes(Name, Old);
    C->SetIdentity(DataIdentity());
    ASSERT_TRUE(C->OpenFile(xroCreate | xroRead | xroWrite, Name, false, nullptr, 0));
    ASSERT_TRUE(C->AddNamedGroup(u"Data", nullptr, false, nullptr));
    EXPECT_EQ(FileBytes(Name), Old);
    auto Other = MakeOwned<TXQStream>();
    EXPECT_FALSE(Other->OpenFile(xroCreate | xroRead | xroWrite, Name, false, nullptr, 0));
    EXPECT_EQ(GetXErrorCode(), xecReadFailed);
    EXPECT_FALSE(Other->OpenFile(xroRead, Name, false, nullptr, 0));
    // Abandoned: freed without Close.
    C.reset();
    EXPECT_EQ(FileBytes(Name), Old);
    EXPECT_TRUE(Only("new.xq"));

    // Failed: Close answers false and puts nothing in place.
    C = MakeOwned<TXQStream>();
    ASSERT_TRUE(C->OpenFile(xroCreate | xroRead | xroWrite, Name, false, nullptr, 0));
    ASSERT_TRUE(C->AddNamedGroup(u"Data", nullptr, false, nullptr));
    EXPECT_FALSE(AddBig(C.get(), File("new.xq.~" + std::to_string(getpid()) + "-0")));
    EXPECT_FALSE(C->Close());
    EXPECT_EQ(GetXErrorCode(), xecWriteFailed);
    EXPECT_EQ(FileBytes(Name), Old);
    EXPECT_TRUE(Only("new.xq"));

    // Closed: the new container takes the file's place.
    C->SetIdentity(DataIdentity());
    ASSERT_TRUE(C->OpenFile(xroCreate | xroRead | xroWrite, Name, false, nullptr, 0));
    ASSERT_TRUE(C->AddNamedGroup(u"Data", nullptr, false, nullptr));
    ASSERT_TRUE(C->BeginNamedHeader(u"Data", 3, false, nullptr, 3));
    ASSERT_TRUE(C->AddResourceText(-1, UTF8ToString(Letter), false, nullptr));
    ASSERT_TRUE(C->AddResourceBuffer(1, Raw.data(), nullptr, Integer(Raw.size())));
    ASSERT_TRUE(C->EndNamedHeader(false));
    ASSERT_TRUE(C->Close());
    EXPECT_EQ(FileBytes(Name), Golden);
    EXPECT_TRUE(Only("new.xq"));
}

}
