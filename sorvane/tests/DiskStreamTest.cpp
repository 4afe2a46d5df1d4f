// Buffered disk and file streams over the fake device: bad sectors, slow
// reads and a vanishing device, each with its code; seeks, ends and the
// block stream and read routines on top.
#include "win/FakeDevice.h"
#include "rtl/testing/Testing.h"
#include "win/Time.h"
#include "core/XCore.Errors.h"
#include "sorvane/XCore.Streams.Blocks.h"
#include "sorvane/XCore.Streams.Buffered.h"
#include <cerrno>
#include <gtest/gtest.h>

namespace {

constexpr Integer Sector = 512;
constexpr Integer Buffer = 4 * Sector;

// Sector n holds the byte n + 1 throughout.
RawBytes Image(Int64 Sectors)
{
    RawBytes B;
    for (Int64 S = 0; S < Sectors; ++S)
        B.append(size_t(Sector), char(S + 1));
    return B;
}

struct TDisk {
    TFakeDevice* Device;
    TOwnedPtr<TXBufDiskStream> Stream;
};

TDisk OpenDisk(Int64 Sectors, const std::function<void(TFakeDevice&)>& Setup = {})
{
    auto* Device = New<TFakeDevice>(Image(Sectors));
    if (Setup)
        Setup(*Device);
    TDisk D { Device, TOwnedPtr<TXBufDiskStream>(New<TXBufDiskStream>(Device, u"fake", Buffer, xofRead)) };
    return D;
}

Integer CodeOfRaise(const std::function<void()>& Fn)
{
    try {
        Fn();
    } catch (const EXError& E) {
        return std::stoi(E.what());
    }
    return 0;
}

TEST(DiskStream, ReadErrorCases)
{
    const struct {
        const char* Name;
        Byte RaiseReadErrors;
        Int64 BadSector;
        Int64 ReadAt;
        Integer RaisedCode; // 0: the read answers
        Integer RecordedCode;
        Byte FirstByte;
    } Cases[] = {
        // Sector 2 is bad inside the window 0..3.
        { "good sector before a bad one, raising", 1, 2, 1 * Sector, 0, 0, 2 },
        { "the bad sector, raising", 1, 2, 2 * Sector, 44, 44, 0 },
        { "the bad sector, not raising", 0, 2, 2 * Sector, 0, 44, 0 },
        { "good sector after a bad one, not raising", 0, 2, 3 * Sector, 0, 44, 4 },
        { "good sector after a bad one, raising", 1, 2, 3 * Sector, 44, 44, 0 },
        { "another window", 1, 2, 5 * Sector, 0, 0, 6 },
    };
    for (const auto& C : Cases) {
        ClearXError();
        auto D = OpenDisk(8, [&](TFakeDevice& F) { F.FailSector(C.BadSector, EIO); });
        D.Stream->RaiseReadErrors = C.RaiseReadErrors;
        Byte B = 0xEE;
        D.Stream->Seek(C.ReadAt, soBeginning);
        Integer Raised = CodeOfRaise([&] { EXPECT_EQ(D.Stream->Read(&B, 1), 1) << C.Name; });
        EXPECT_EQ(Raised, C.RaisedCode) << C.Name;
        EXPECT_EQ(GetXErrorCode(), C.RecordedCode) << C.Name;
        if (C.RecordedCode)
            EXPECT_EQ(GetXErrorData().SubCode, EIO) << C.Name;
        if (!Raised)
            EXPECT_EQ(B, C.FirstByte) << C.Name;
    }
    ClearXError();
}

TEST(DiskStream, AWholeWindowReadsAroundItsBadSector)
{
    ClearXError();
    auto D = OpenDisk(4, [](TFakeDevice& F) { F.FailSector(1, EIO); });
    D.Stream->RaiseReadErrors = 0;
    std::vector<Byte> All(4 * Sector, 0xEE);
    EXPECT_EQ(D.Stream->Read(All.data(), Int64(All.size())), Int64(All.size()));
    EXPECT_EQ(All[0], 1);
    EXPECT_EQ(All[Sector], 0);
    EXPECT_EQ(All[2 * Sector], 3);
    EXPECT_EQ(All[3 * Sector + 511], 4);
    EXPECT_EQ(GetXErrorCode(), 44);
    ClearXError();
}

TEST(DiskStream, AVanishedDeviceRaisesElevenWhateverTheSetting)
{
    for (Byte Raise : { Byte(0), Byte(1) }) {
        ClearXError();
        auto D = OpenDisk(16);
        D.Device->VanishAfter(1);
        D.Stream->RaiseReadErrors = Raise;
        Byte B;
        EXPECT_EQ(D.Stream->Read(&B, 1), 1); // the first window
        D.Stream->Seek(8 * Sector, soBeginning);
        EXPECT_EQ(CodeOfRaise([&] { D.Stream->Read(&B, 1); }), 11);
        EXPECT_EQ(GetXErrorData().SubCode, ENODEV);
    }
    ClearXError();
}

TEST(DiskStream, OpeningReportsMissingAndRefusedDevices)
{
    const struct {
        TRawResult Open;
        Integer Code;
    } Cases[] = { { { 11, ENOENT }, 11 }, { { 10, EACCES }, 10 } };
    for (const auto& C : Cases) {
        ClearXError();
        auto* Device = New<TFakeDevice>(Image(4));
        Device->FailOpen(C.Open);
        EXPECT_EQ(CodeOfRaise([&] { New<TXBufDiskStream>(Device, u"fake", Buffer, xofRead); }), C.Code);
        EXPECT_EQ(GetXErrorText(), u"fake");
    }
    ClearXError();
    EXPECT_THROW(New<TXBufDiskStream>(u"/nonexistent/recovery-device", Buffer, xofRead), EXError);
    EXPECT_EQ(GetXErrorCode(), 11);
    ClearXError();
}

TEST(DiskStream, SlowReadsAreReportedOncePerFill)
{
    const struct {
        Cardinal Delay;
        bool Reported;
    } Cases[] = { { 1000, false }, { 1001, true } };
    for (const auto& C : Cases) {
        TManualClock Clock;
        auto D = OpenDisk(8, [&](TFakeDevice& F) {
            F.SlowSectors(1, 1, C.Delay);
            F.OnDelay = [&Clock](Cardinal Ms) { Clock.Advance(Ms); };
        });
        std::vector<Cardinal> Slow;
        D.Stream->OnSlowRead = [&](TObject*, Cardinal Ms) { Slow.push_back(Ms); };
        Byte B;
        D.Stream->Read(&B, 1);
        D.Stream->Seek(4 * Sector, soBeginning);
        D.Stream->Read(&B, 1);
        EXPECT_EQ(Slow, C.Reported ? std::vector<Cardinal> { C.Delay } : std::vector<Cardinal> {});
    }
    // A slow window with a bad sector is re-read, and still reported once.
    ClearXError();
    TManualClock Clock;
    auto D = OpenDisk(4, [&](TFakeDevice& F) {
        F.SlowSectors(0, 4, 600);
        F.FailSector(3, EIO);
        F.OnDelay = [&Clock](Cardinal Ms) { Clock.Advance(Ms); };
    });
    D.Stream->RaiseReadErrors = 0;
    Integer Events = 0;
    D.Stream->OnSlowRead = [&](TObject*, Cardinal Ms) {
        ++Events;
        EXPECT_GT(Ms, 1000u);
    };
    Byte B;
    D.Stream->Read(&B, 1);
    EXPECT_EQ(Events, 1);
    ClearXError();
}


// Everything a reader of the stream can see of one read.
struct TSeenRead {
    Int64 At = 0;
    std::vector<Byte> Bytes;
    Integer Raised = 0;
    Integer Code = 0;
    Integer SubCode = 0;
    std::vector<Cardinal> Slow;
    std::vector<Int64> Fills;
    friend bool operator==(const TSeenRead&, const TSeenRead&) = default;
};

std::ostream& operator<<(std::ostream& Out, const TSeenRead& R)
{
    Out << "{" << R.Bytes.size() << " bytes from " << int(R.Bytes.empty() ? -1 : R.Bytes[0]) << ", raised " << R.Raised
        << ", code " << R.Code << "/" << R.SubCode << ", slow";
    for (Cardinal S : R.Slow)
        Out << " " << S;
    Out << ", fills";
    for (Int64 F : R.Fills)
        Out << " " << F;
    return Out << "}";
}

TEST(DiskStream, ReadingAheadShowsWhatReadingInTurnShows)
{
    // The same device faults, read with and without the read-ahead: the
    // same bytes, codes, raises, slow-read and fill events, read after
    // read, forwards, back to a kept window and with whole-window reads.
    // (A window taken back from the kept ones is not read again, so it
    // reports no new slow read: the slow case reads forwards only.) The
    // device holds more windows than the read-ahead keeps, so the look
    // back also meets windows let go of and read again.
    const struct {
        const char* Name;
        Byte RaiseReadErrors;
        std::function<void(TFakeDevice&, TManualClock&)> Setup;
        bool Back; // also reads back (not after the device is gone)
    } Cases[] = {
        { "clean", 1, [](TFakeDevice&, TManualClock&) {}, true },
        { "bad sector, raising", 1, [](TFakeDevice& F, TManualClock&) { F.FailSector(13, EIO); }, true },
        { "bad sector, not raising", 0, [](TFakeDevice& F, TManualClock&) { F.FailSector(13, EIO); }, true },
        { "slow sectors", 1,
            [](TFakeDevice& F, TManualClock& C) {
                F.SlowSectors(9, 2, 1200);
                F.OnDelay = [&C](Cardinal Ms) { C.Advance(Ms); };
            },
            false },
        { "device gone", 0, [](TFakeDevice& F, TManualClock&) { F.VanishAfter(3); }, false },
    };
    // More windows than the read-ahead keeps.
    constexpr Int64 Sectors = 4 * 30;
    for (const auto& C : Cases) {
        // Read in turn, with the read-ahead as it chooses (the fake device
        // is fast: the stream mostly reads for itself), and always ahead.
        std::vector<TSeenRead> Seen[3];
        for (const Integer Ahead : { 0, 1, 2 }) {
            TManualClock Clock;
            auto D = OpenDisk(Sectors, [&](TFakeDevice& F) { C.Setup(F, Clock); });
            D.Stream->RaiseReadErrors = C.RaiseReadErrors;
            TSeenRead* Now = nullptr;
            D.Stream->OnSlowRead = [&](TObject*, Cardinal Ms) { Now->Slow.push_back(Ms); };
            D.Stream->OnFill = [&](TObject*, Int64 At) { Now->Fills.push_back(At); };
            if (Ahead)
                D.Stream->StartReadAhead({}, Ahead == 2);
            auto Read = [&](Int64 At, Int64 Count) {
                ClearXError();
                Seen[Ahead].emplace_back();
                Now = &Seen[Ahead].back();
                Now->At = At;
                Now->Bytes.assign(size_t(Count), 0xEE);
                D.Stream->Seek(At, soBeginning);
                Now->Raised = Testing::RaisedCode([&] { D.Stream->Read(Now->Bytes.data(), Count); });
                Now->Code = GetXErrorCode();
                Now->SubCode = GetXErrorData().SubCode;
            };
            for (Int64 At = 0; At < Sectors * Sector; At += 700)
                Read(At, 300);
            if (C.Back) {
                Read(3 * Sector, 10);
                Read(12 * Sector, 2 * Sector);
                Read(0, 3 * Buffer);
                Read((Sectors - 9) * Sector, 10);
                Read((Sectors - 30) * Sector, 2 * Buffer + 7);
            }
            EXPECT_EQ(D.Stream->ReadingAhead(), Ahead != 0);
            D.Stream->StopReadAhead();
        }
        for (const Integer Ahead : { 1, 2 }) {
            ASSERT_EQ(Seen[Ahead].size(), Seen[0].size()) << C.Name;
            for (size_t K = 0; K < Seen[0].size(); ++K) {
                // Reading ahead, other windows are read before the device
                // goes than in turn: each read gives the same bytes or 11.
                const TSeenRead& R = Seen[Ahead][K];
                if (!C.Back && Ahead == 2 && (R.Raised == 11 || Seen[0][K].Raised == 11)) {
                    for (size_t I = 0; R.Raised != 11 && I < R.Bytes.size(); ++I)
                        ASSERT_EQ(R.Bytes[I], Byte((R.At + Int64(I)) / Sector + 1)) << C.Name << ", read " << K;
                    continue;
                }
                EXPECT_EQ(Seen[Ahead][K], Seen[0][K]) << C.Name << ", read " << K << ", read-ahead " << Ahead;
            }
        }
    }
    ClearXError();
}

TEST(DiskStream, AWholeWindowReadGoesStraightToTheDevice)
{
    ClearXError();
    auto D = OpenDisk(16);
    const Integer Opened = D.Device->ReadCount();
    std::vector<Int64> Fills;
    D.Stream->OnFill = [&](TObject*, Int64 At) { Fills.push_back(At); };
    std::vector<Byte> All(12 * Sector + 7, 0xEE);
    D.Stream->Seek(Sector, soBeginning);
    EXPECT_EQ(D.Stream->Read(All.data(), Int64(All.size())), Int64(All.size()));
    for (Int64 I = 0; I < Int64(All.size()); I += Sector)
        EXPECT_EQ(All[size_t(I)], Byte(I / Sector + 2)) << I;
    // The first window through the buffer, then whole windows straight
    // into the caller's memory, then the last one through the buffer:
    // every window still counts as a fill.
    EXPECT_EQ(Fills, (std::vector<Int64> { 0, Buffer, 2 * Buffer, 3 * Buffer }));
    EXPECT_EQ(D.Device->ReadCount() - Opened, 4);
    EXPECT_EQ(GetXErrorCode(), 0);
}

TEST(DiskStream, SeeksEndsAndShortReads)
{
    ClearXError();
    auto D = OpenDisk(3);
    TXBufDiskStream* S = D.Stream.get();
    EXPECT_EQ(S->Size(), 3 * Sector);
    EXPECT_EQ(S->Seek(99999, soBeginning), 3 * Sector);
    EXPECT_EQ(S->Seek(99999, soEnd), 0);
    EXPECT_EQ(S->Seek(-5, soBeginning), 0);
    EXPECT_EQ(S->Seek(-5, soCurrent), 0);

    Byte Buf[8];
    S->Seek(0, soEnd);
    std::fill(std::begin(Buf), std::end(Buf), 0xEE);
    EXPECT_EQ(S->Read(Buf, 8), 0);
    EXPECT_EQ(GetXErrorCode(), 39);
    EXPECT_EQ(Buf[7], 0); // nothing left uninitialised

    ClearXError();
    S->Seek(3 * Sector - 3, soBeginning);
    std::fill(std::begin(Buf), std::end(Buf), 0xEE);
    EXPECT_EQ(S->Read(Buf, 8), 3);
    EXPECT_EQ(Buf[2], 3);
    EXPECT_EQ(Buf[3], 0);

    S->SetSize(Sector + 1); // a size the user chose
    S->Seek(Sector, soBeginning);
    EXPECT_EQ(S->Read(Buf, 8), 1);
    EXPECT_EQ(S->Write(Buf, 1), 0);
    ClearXError();
}

TEST(DiskStream, BlockStreamAndReadRoutines)
{
    ClearXError();
    auto D = OpenDisk(1);
    // Bytes 0..511 all hold 1; make them distinct through a memory image.
    RawBytes Bytes(1024, '\0');
    for (int I = 0; I < 1024; ++I)
        Bytes[size_t(I)] = char(I % 251);
    TOwnedPtr<TStringStream> Raw(New<TStringStream>(S(std::string())));
    Raw->WriteBuffer(Bytes.data(), 1024);
    TOwnedPtr<TXCustomBufStream> Volume(New<TXCustomBufStream>(Raw.get(), 256, 0));
    TOwnedPtr<TXBlocks> Blocks(New<TXBlocks>());
    Blocks->Add(100, 2);
    Blocks->Add(300, 1);
    TOwnedPtr<TXBlockStream> Found(New<TXBlockStream>(Volume.get(), Blocks.get()));
    Byte Out[4] = { 9, 9, 9, 9 };
    EXPECT_EQ(Found->Read(Out, 4), 3);
    EXPECT_EQ(Out[0], 100);
    EXPECT_EQ(Out[1], 101);
    EXPECT_EQ(Out[2], Byte(300 % 251));
    EXPECT_EQ(Out[3], 0);
    EXPECT_EQ(Found->Read(Out, 1), 0);
    EXPECT_EQ(Found->Seek(1, soBeginning), 1);
    EXPECT_EQ(Found->Read(Out, 2), 2);
    EXPECT_EQ(Out[1], Byte(300 % 251));
    EXPECT_EQ(Found->Size(), 3);

    Byte B = 7;
    EXPECT_TRUE(StreamReadByteAt(Volume.get(), B, 1023));
    EXPECT_EQ(B, Byte(1023 % 251));
    EXPECT_FALSE(StreamReadByteAt(Volume.get(), B, 1024));
    EXPECT_FALSE(StreamReadByteAt(Volume.get(), B, -1));
    EXPECT_FALSE(StreamSeekInside(Volume.get(), 1024));
    Volume->Seek(1020, soBeginning);
    EXPECT_FALSE(StreamReadNext(Volume.get(), Out, 4)); // would end at the end
    EXPECT_TRUE(StreamReadNext(Volume.get(), Out, 3));

    // The file stream's bad reads: a read that raises gives zeros and true.
    auto Bad = OpenDisk(2, [](TFakeDevice& F) { F.FailSector(1, EIO); });
    Bad.Stream->RaiseReadErrors = 1;
    Byte Four[4] = { 5, 5, 5, 5 };
    EXPECT_TRUE(StreamReadAt(Bad.Stream.get(), Four, 4, Sector));
    EXPECT_EQ(Four[0], 0);
    EXPECT_EQ(GetXErrorCode(), 44);
    ClearXError();
}

TEST(FileStream, OpenFailuresHaveTheirCodes)
{
    ClearXError();
    EXPECT_THROW(New<TXBufFileStream>(u"/nonexistent/card.bin", fmOpenRead, 0666, 4096), EXError);
    EXPECT_EQ(GetXErrorCode(), 31);
    ClearXError();
    EXPECT_THROW(New<TXBufFileStream>(u"/", fmOpenReadWrite, 0666, 4096), EXError);
    EXPECT_EQ(GetXErrorCode(), 4);
    EXPECT_EQ(GetXErrorData().SubCode, EISDIR);
    ClearXError();
}

}
