#include "core/XCore.Errors.h"
#include "core/XCore.QStream.h"
#include "core/XCore.Qi.CRC.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

using TBytes = std::vector<Byte>;

TBytes Bytes(TStream* S)
{
    TBytes Out(size_t(S->Size()));
    S->SetPosition(0);
    if (!Out.empty())
        S->ReadBuffer(Out.data(), Int64(Out.size()));
    return Out;
}

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
    return Bytes(S.get());
}

class Container : public testing::Test {
protected:
    fs::path Folder;
    void SetUp() override
    {
        char Template[] = "/tmp/container-test-XXXXXX";
        ASSERT_NE(mkdtemp(Template), nullptr);
        Folder = Template;
        ClearXError();
    }
    void TearDown() override { fs::remove_all(Folder); }
    String File(const char* Name) { return UTF8ToString((Folder / Name).string()); }
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
        EXPECT_EQ(GetXErrorCode(), 44);
        C->Close();
        ASSERT_TRUE(C->OpenFileAppend(xroRead | xroWrite, Name, false, nullptr, 0));
        ASSERT_TRUE(C->AddNamedGroup(u"Data", nullptr, false, nullptr));
        ASSERT_TRUE(C->BeginNamedHeader(u"Data", 3, false, nullptr, 3));
        ASSERT_TRUE(C->AddResourceText(-1, UTF8ToString(Letter), false, nullptr));
        ASSERT_TRUE(C->AddResourceBuffer(1, Raw.data(), nullptr, Integer(Raw.size())));
        ASSERT_TRUE(C->EndNamedHeader(false));
    }
    std::ifstream In(StringToUTF8(Name), std::ios::binary);
    TBytes B((std::istreambuf_iterator<char>(In)), {});
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
    EXPECT_EQ(B[ResourcesAt], 0x78);   // the letter as a zlib stream

    auto C = MakeOwned<TXQStream>();
    C->OnHeader = [&](TObject*, bool& Accept) { Accept = C->CheckIdentity(3000, 0, 0, 0, 0, u"Data"); };
    ASSERT_TRUE(C->OpenFile(xroRead, Name, false, nullptr, 0));
    EXPECT_EQ(GetXErrorCode(), 0);
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
    EXPECT_EQ(Bytes(Dest.get()), TBytes(Raw.begin(), Raw.end()));
    ASSERT_TRUE(C->ReadResource(u"Data", 0, false, nullptr, Dest.get(), 2));
    EXPECT_EQ(Dest->Size(), 0);
    EXPECT_FALSE(C->ReadResource(u"Data", 1, false, nullptr, Dest.get(), 0));
    EXPECT_FALSE(C->ReadResource(u"Nope", 0, false, nullptr, Dest.get(), 0));
    EXPECT_TRUE(C->ReadNamedResourceOfKind(u"Data", -1, false, nullptr, Dest.get(), 1, 0));
    EXPECT_FALSE(C->ReadNamedResourceOfKind(u"Data", 2, false, nullptr, Dest.get(), 1, 0));
    EXPECT_EQ(GetXErrorCode(), 0);
}

TEST_F(Container, ReadResourceBufferKeepsToTheCallersBuffer)
{
    auto S = MakeOwned<TMemoryStream>();
    auto C = MakeOwned<TXQStream>();
    WriteGolden(C.get(), S.get());
    TXRHeaderObject* H = C->Groups()->Items(0)->Headers->Items(0);
    char Buf[200] {};
    Int64 Length = -1;
    struct TCase { Word Index; Int64 Capacity; bool Ok; Int64 Length; };
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
    EXPECT_EQ(GetXErrorCode(), 0);
    ASSERT_TRUE(C->EndHeader());
    ASSERT_TRUE(C->AddGroup(5, u"First", nullptr, nullptr));
    ASSERT_TRUE(C->AddGroup(5, u"Second", nullptr, nullptr));
    auto Data = MakeOwned<TStringStream>(u"group data");
    ASSERT_TRUE(C->AddNamedGroup(u"WithData", Data.get(), false, nullptr));
    C->Close();

    ASSERT_TRUE(C->OpenStream(xroRead, S.get(), false, nullptr, 0));
    EXPECT_EQ(GetXErrorCode(), 0);
    TXRGroupObject* G = C->Groups()->FindGroupById(5);
    ASSERT_NE(G, nullptr);
    EXPECT_EQ(G->Body.Name.ToString(), u"First");
    EXPECT_EQ(G->Headers->Count(), 1);
    TXRGroupObject* W = C->Groups()->FindGroupByName(u"WithData");
    ASSERT_NE(W, nullptr);
    EXPECT_EQ(W->Body.Id, 6u);
    EXPECT_TRUE(W->Valid);
    EXPECT_EQ(Bytes(W->Data), Bytes(Data.get()));
    EXPECT_EQ(C->Groups()->NextGroupId(), 7u);

    // Writing needs the write flag.
    EXPECT_FALSE(C->AddGroup(9, u"No", nullptr, nullptr));
    EXPECT_EQ(GetXErrorCode(), 45);
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
    EXPECT_EQ(GetXErrorCode(), 47);
    EXPECT_EQ(C->Groups()->Count(), 0);

    TBytes B = GoldenBytes();
    B.resize(B.size() - 16);
    auto Cut = MakeOwned<TBytesStream>(B);
    ASSERT_TRUE(C->OpenStream(xroRead, Cut.get(), false, nullptr, 0));
    EXPECT_EQ(GetXErrorCode(), 47);
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
        bool Readable;      // the letter can still be read
    };
    const TCase Cases[] = {
        { "intact", [](TBytes&) {}, true, 0, true },
        { "file header CRC", [](TBytes& B) { B[40] ^= 1; }, false, 42, false },
        { "version", [](TBytes& B) { B[8] = 2; Reseal(B, 0, 75); }, false, 42, false },
        { "not a container", [](TBytes& B) { B[2] = 'Y'; }, false, 42, false },
        { "too short", [](TBytes& B) { B.resize(60); }, false, 42, false },
        { "bad slot", [](TBytes& B) { B[107] = 'Q'; }, false, 41, false },
        { "link CRC", [](TBytes& B) { B[115] ^= 1; }, false, 41, false },
        { "link to itself", [](TBytes& B) { Put64(B, HeaderLinkAt + 8, HeaderLinkAt); Reseal(B, HeaderLinkAt, 8); },
            true, 47, false },
        { "link backwards", [](TBytes& B) { Put64(B, HeaderLinkAt + 8, 107); Reseal(B, HeaderLinkAt, 8); },
            true, 47, false },
        { "cut in a record", [](TBytes& B) { B.resize(HeaderAt + 20); }, false, 46, false },
        { "group body CRC", [](TBytes& B) { B[GroupAt + 20] ^= 1; }, true, 41, false },
        { "oversized group data",
            [](TBytes& B) { Put64(B, GroupAt + 85, Int64(1) << 40); Reseal(B, GroupAt, 85); }, true, 44, true },
        { "oversized resource",
            [](TBytes& B) {
                Put64(B, TableAt + 16 + 8, Int64(1) << 50);
                Reseal(B, HeaderAt, 28);
                Cardinal CRC = 0;
                CRC32OfBuffer(CRC, B.data() + TableAt, 48);
                Put32(B, HeaderAt + 8, CRC);
                Reseal(B, HeaderAt, 28);
            }, true, 44, false },
        { "negative resource",
            [](TBytes& B) {
                Put64(B, TableAt + 8, -5);
                Cardinal CRC = 0;
                CRC32OfBuffer(CRC, B.data() + TableAt, 48);
                Put32(B, HeaderAt + 8, CRC);
                Reseal(B, HeaderAt, 28);
            }, true, 44, false },
        { "huge resource count",
            [](TBytes& B) { B[HeaderAt + 26] = 0xFF; B[HeaderAt + 27] = 0xFF; Reseal(B, HeaderAt, 28); },
            true, 44, false },
        { "table CRC", [](TBytes& B) { B[TableAt + 4] ^= 1; }, true, 41, false },
        { "resource bytes", [&](TBytes& B) { B[ResourcesAt + LetterSize / 2] ^= 0x40; }, true, 0, false },
        { "header body CRC", [](TBytes& B) { B[HeaderAt + 16] ^= 1; }, true, 41, false },
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
        if (!T.Opens && T.Code == 42)
            EXPECT_FALSE(C->IsOpen()) << T.Name;
        if (T.Code == 46)
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
    struct TCase { Integer V1, V2; const char16_t* Name; };
    const TCase Cases[] = { { 100, 0, u"Data" }, { 3000, 6001, u"Data" }, { 3000, 0, u"Language" } };
    for (const TCase& T : Cases) {
        auto C = MakeOwned<TXQStream>();
        C->OnHeader = [&](TObject*, bool& Accept) { Accept = C->CheckIdentity(T.V1, T.V2, 0, 0, 0, T.Name); };
        EXPECT_FALSE(C->OpenStream(xroRead, S.get(), false, nullptr, 0));
        EXPECT_EQ(GetXErrorCode(), 42);
        EXPECT_FALSE(C->IsOpen());
        EXPECT_EQ(C->Groups()->Count(), 0);
    }
    auto C = MakeOwned<TXQStream>();
    C->OnHeader = [&](TObject*, bool& Accept) { Accept = C->CheckIdentity(1, 2, 3); };
    try {
        C->OpenStream(xroRead, S.get(), true, nullptr, 0);
        ADD_FAILURE() << "no exception";
    } catch (const EXError& E) {
        EXPECT_EQ(E.Message(), u"42");
    }
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

    // Trailing bytes that are neither end record nor link: the next link goes behind them.
    TBytes B = Bytes(S.get());
    B.insert(B.end(), { 'j', 'u', 'n', 'k' });
    auto Junk = MakeOwned<TBytesStream>(B);
    ASSERT_TRUE(C->OpenStreamAppend(xroWrite, Junk.get(), false, nullptr, 0));
    EXPECT_EQ(C->EndOffset(), Junk->Size());
    C->Close();

    ASSERT_TRUE(C->OpenStream(xroRead, S.get(), false, nullptr, 0));
    EXPECT_EQ(GetXErrorCode(), 0);
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
    TBytes B = Bytes(S.get());
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
    TBytes Out = Bytes(Dest.get());
    EXPECT_LT(Out.size(), B.size());
    EXPECT_EQ(TBytes(Out.begin(), Out.begin() + 107), TBytes(B.begin(), B.begin() + 107));

    ASSERT_TRUE(C->OpenStream(xroRead, Dest.get(), false, nullptr, 0));
    EXPECT_EQ(GetXErrorCode(), 0);
    EXPECT_TRUE(C->EndSeen());
    EXPECT_EQ(C->Groups()->Count(), 1);
    EXPECT_EQ(C->Groups()->Items(0)->Headers->Count(), 1);
    String Text;
    ASSERT_TRUE(C->ReadResourceText(u"Data", 0, false, nullptr, Text, 0));
    EXPECT_EQ(Text, u"extra");
}

}
