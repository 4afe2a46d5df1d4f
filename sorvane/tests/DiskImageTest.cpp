// The card image copy: whole FAT cards copied through a fake device, the
// read-error choices with their log lines, cancel, a lost device, a full
// disk and a target on the card itself.
#include "WorkSupport.h"
#include "core/XCore.Strings.h"
#include "core/XSpark.Lg.h"
#include "rtl/CodePages.h"
#include "sorvane/XDR.Gears.Work.I.h"
#include "sorvane/XDR.Module.KXR.h"
#include <csignal>
#include <deque>
#include <thread>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace WorkTest;
namespace fs = std::filesystem;
namespace W = XDRImageWords;
using XDR::Gears::Work::I::TXDRDiskImageWorkCommand;

namespace {

// A small word table for the log: every text but the device-gone one.
class TTestWords {
public:
    TTestWords()
    {
        std::string Table;
        auto Add = [&](Cardinal Id, const char* Text) {
            TCodePageString Digits = xStr::EncodeDigits(ToCodePage(S(Text), CP_UTF8), 36);
            Table += StringToUTF8(IntToHex(UInt64(Id), 8)) + "=" +
                std::string(Digits.Bytes.begin(), Digits.Bytes.end()) + "\r\n";
        };
        Add(W::Started, "copy to %s");
        Add(W::SkippedClusters, "skipped");
        Add(W::FailedCluster, "bad cluster");
        Add(W::FailedClusters, "bad clusters");
        Add(W::Done, "done");
        Add(W::LastCluster, "last");
        Add(W::Cancelled, "cancelled");
        Add(W::Error, "error");
        Lg()->Clear();
        TOwnedPtr<TBytesStream> Stream(New<TBytesStream>(std::vector<Byte>(Table.begin(), Table.end())));
        EXPECT_TRUE(Lg()->LoadWordsFromStream(Stream.get(), true));
    }
    ~TTestWords() { Lg()->Clear(); }
};

struct TChoice {
    Byte Choice;
    Int64 SkipCount = 10;
};

// Answers the dialog from a script; records the clusters it was asked about.
class TScriptedChooser {
public:
    std::deque<TChoice> Script;
    std::vector<Int64> Asked;
    std::function<void()> OnAsk;

    TScriptedChooser()
    {
        TXDRClusterErrorDialog::SetShowHook([this](TXDRClusterErrorDialog& D) {
            EXPECT_EQ(GetCurrentThreadId(), MainThreadID);
            Asked.push_back(D.ClusterNumber);
            if (OnAsk)
                OnAsk();
            if (Script.empty())
                return;
            D.Choice = Script.front().Choice;
            D.SkipCount = Script.front().SkipCount;
            Script.pop_front();
        });
    }
    ~TScriptedChooser() { TXDRClusterErrorDialog::SetShowHook(nullptr); }
};

// The image's bytes end at Offset, where its trailer begins.
bool TrailerAt(const Bytes& Image, Int64 Offset)
{
    const std::string Text(Image.begin(), Image.end());
    return Int64(Text.find("<xml>", size_t(Offset))) == Offset &&
        Text.find("<xml>", size_t(Offset) + 1) == std::string::npos && Text.substr(Text.size() - 6) == "</xml>";
}

RawBytes Raw(const Bytes& B)
{
    return RawBytes(B.begin(), B.end());
}

// The copy rig: a FAT12 card of 2048-byte clusters, its data area filled
// with random bytes, cut to Size, read as "/dev/fakeimage".
class DiskImage : public ::testing::Test {
protected:
    TTempFolder Folder { "disk-image" };
    TTestWords Words;
    TScriptedChooser Chooser;
    TWorkRig Rig;
    std::vector<String> Log;
    String Name = u"/dev/fakeimage";
    static constexpr Int64 Cluster = 2048;

    // The log lines the gear passes on.
    class TLogSink : public TObject {
    public:
        std::vector<String>* Lines = nullptr;
        void Logged(IXNotification* N) { Lines->push_back(static_cast<TXLogStringAspect*>(N->GetAspect())->Text); }
    };
    TOwnedPtr<TLogSink> Sink { New<TLogSink>() };

    DiskImage()
    {
        Sink->Lines = &Log;
        Rig.Gear->Subscribe(TXLogStringAspect::StaticClass(), TXNotificationHandler::Of<&TLogSink::Logged>(Sink.get()));
    }

    // Clusters of 2048 bytes (SectorsPerCluster sectors of 512).
    Bytes MakeCard(Int64 Size, int SectorsPerCluster = 4)
    {
        TFatImage Image(Folder / "card.img", 12, 512, SectorsPerCluster);
        Bytes Card = ReadFileBytes(Image.Path());
        const Bytes Noise = RandomBytes(Card.size(), 7);
        std::copy(Noise.begin() + Image.Geometry().DataStart(), Noise.end(),
            Card.begin() + Image.Geometry().DataStart());
        Card.resize(size_t(Size));
        return Card;
    }
    TEnd Copy(const String& Target, Int64 DiskSize = 0)
    {
        return Rig.Run(New<TXDRDiskImageWorkCommand>(Rig.Gear.get(), Name, DiskSize, Target));
    }
    String Line(Cardinal Id, const String& Rest = String()) { return Lg()->GetWord(Id) + Rest; }
};

}

TEST_F(DiskImage, FatCardsAreCopiedWithTheirTrailer)
{
    for (int Bits : { 16, 32 }) {
        SCOPED_TRACE(Bits);
        Log.clear();
        TFatImage Image =
            Bits == 16 ? TFatImage(Folder / "fat.img", 16, 4096, 1) : TFatImage(Folder / "fat.img", 32, 34000, 1);
        Image.MakeFolder("DCIM");
        Image.PutFile("DCIM/A.JPG", MakeJpeg(Folder, Bits));
        Image.PutFile("B.BIN", RandomBytes(300000, Bits));
        const Bytes Card = ReadFileBytes(Image.Path());
        TOwnedPtr<TFakeDevice> Device(New<TFakeDevice>(Raw(Card)));
        TFakeDeviceRegistration Registered(Name, Device.get());

        const String Target = Folder.File("card" + std::to_string(Bits) + ".bin");
        const TEnd End = Copy(Target);
        EXPECT_EQ(End.Name, u"ImageFile");
        EXPECT_EQ(End.Error.Code, 0);
        EXPECT_EQ(Log, (std::vector<String> { u"copy to " + Target, Line(W::Done) }));

        const Bytes Copied = ReadFileBytes(StringToUTF8(Target));
        ASSERT_GT(Copied.size(), Card.size());
        WriteFileBytes(Folder / "raw.bin", Bytes(Copied.begin(), Copied.begin() + Card.size()));
        const std::string Sum = RunTool({ "md5sum", "raw.bin" }, Folder.Path()).Output.substr(0, 32);
        EXPECT_EQ(Sum, RunTool({ "md5sum", "fat.img" }, Folder.Path()).Output.substr(0, 32));

        // The image opens again with the card's volume information.
        TOwnedPtr<TXFileDiskIO> Back(New<TXFileDiskIO>(nullptr));
        ASSERT_TRUE(Back->Open(Target, xofRead));
        EXPECT_EQ(Back->Info.ClusterSize, Cardinal(Image.Geometry().ClusterSize()));
        EXPECT_EQ(Back->FileSystem, Bits == 16 ? xfsFAT16 : xfsFAT32);
        fs::remove(Folder / "fat.img");
    }
}

TEST_F(DiskImage, ReadErrorsFollowTheChoices)
{
    // 150 whole clusters and a half one.
    const Int64 Size = 150 * Cluster + 1024;
    const Bytes Card = MakeCard(Size);
    const auto Bad = [](Int64 ClusterIndex, Int64 SectorInCluster = 1) { return ClusterIndex * 4 + SectorInCluster; };
    const String F = Lg()->GetWord(W::FailedCluster) + u": ", Fs = Lg()->GetWord(W::FailedClusters) + u": ",
                 Sk = Lg()->GetWord(W::SkippedClusters) + u": ";
    struct TRow {
        const char* What;
        std::vector<Int64> BadSectors;
        std::vector<TChoice> Script;
        std::vector<Int64> Asked; // cluster numbers, from 1
        std::vector<String> Lines; // after the first
        Integer Code;
        Int64 Written; // bytes before the trailer
        std::vector<std::pair<Int64, Int64>> Zeros; // cluster ranges left as zeros (unread)
    };
    const std::vector<TRow> Rows {
        { "ignore all: asked once", { Bad(5), Bad(9, 3) }, { { 1 } }, { 6 }, { F + u"5", F + u"9" }, xecReadFailed,
            Size, {} },
        { "skip this", { Bad(5) }, { { 2 } }, { 6 }, { F + u"5" }, xecReadFailed, Size, {} },
        { "skip 1", { Bad(5) }, { { 3, 1 } }, { 6 }, { F + u"5" }, xecReadFailed, Size, {} },
        { "skip 10", { Bad(5) }, { { 3, 10 } }, { 6 }, { F + u"5", Sk + u"5-14" }, xecReadFailed, Size, { { 6, 14 } } },
        { "skip past the end", { Bad(148) }, { { 3, 1000 } }, { 149 }, { F + u"148", Sk + u"148-150" }, xecReadFailed,
            Size, { { 149, 150 } } },
        { "skip 0 counts as 1", { Bad(5) }, { { 3, 0 } }, { 6 }, { F + u"5" }, xecReadFailed, Size, {} },
        { "finish", { Bad(5) }, { { 4 } }, { 6 }, { F + u"5" }, xecReadFailed, 5 * Cluster, {} },
        { "two in a row, then a good one", { Bad(5), Bad(6, 0) }, { { 2 }, { 2 } }, { 6, 7 }, { Fs + u"5-6" },
            xecReadFailed, Size, {} },
        { "a bad last sector of the half cluster", { Bad(150, 1) }, { { 2 } }, { 151 }, { F + u"150" }, xecReadFailed,
            Size, {} },
    };
    for (const TRow& Row : Rows) {
        SCOPED_TRACE(Row.What);
        Log.clear();
        Chooser.Asked.clear();
        Chooser.Script.assign(Row.Script.begin(), Row.Script.end());
        TOwnedPtr<TFakeDevice> Device(New<TFakeDevice>(Raw(Card)));
        for (Int64 S : Row.BadSectors)
            Device->FailSector(S, EIO);
        TFakeDeviceRegistration Registered(Name, Device.get());
        const String Target = Folder.File("row.bin");

        const TEnd End = Copy(Target);
        EXPECT_EQ(End.Error.Code, Row.Code);
        EXPECT_EQ(Chooser.Asked, Row.Asked);
        std::vector<String> Expected { u"copy to " + Target };
        Expected.insert(Expected.end(), Row.Lines.begin(), Row.Lines.end());
        EXPECT_EQ(Log, Expected);

        const Bytes Image = ReadFileBytes(Folder / "row.bin");
        ASSERT_GT(Int64(Image.size()), Row.Written);
        EXPECT_TRUE(TrailerAt(Image, Row.Written));
        TOwnedPtr<TXFileDiskIO> Back(New<TXFileDiskIO>(nullptr));
        ASSERT_TRUE(Back->Open(Target, xofRead));
        EXPECT_EQ(Back->Info.ClusterSize, Cardinal(Cluster)) << "the trailer reads back";
        Back->Close();
        for (Int64 At = 0; At < Row.Written; At += 512) {
            const Int64 Sector = At / 512, C = At / Cluster;
            bool Zero = std::find(Row.BadSectors.begin(), Row.BadSectors.end(), Sector) != Row.BadSectors.end();
            for (auto [From, To] : Row.Zeros)
                Zero = Zero || (C >= From && C <= To);
            const Int64 Len = std::min<Int64>(512, Row.Written - At);
            const Bytes Want = Zero ? Bytes(size_t(Len), 0) : Bytes(Card.begin() + At, Card.begin() + At + Len);
            ASSERT_EQ(Bytes(Image.begin() + At, Image.begin() + At + Len), Want) << "sector " << Sector;
        }
    }
}

TEST_F(DiskImage, ADeviceSmallerThanOneClusterIsReadWhole)
{
    // Clusters of 32 KiB on a card cut to 24 KiB.
    const Bytes Card = MakeCard(24 * 1024, 64);
    TOwnedPtr<TFakeDevice> Device(New<TFakeDevice>(Raw(Card)));
    Device->FailSector(40, EIO);
    TFakeDeviceRegistration Registered(Name, Device.get());
    Chooser.Script = { { 2 } };
    const String Target = Folder.File("small.bin");
    const TEnd End = Copy(Target);
    EXPECT_EQ(End.Error.Code, xecReadFailed);
    EXPECT_EQ(Chooser.Asked, std::vector<Int64> { 1 });
    EXPECT_EQ(Log, (std::vector<String> { u"copy to " + Target, Line(W::FailedCluster, u": 0") }));
    Bytes Want(Card);
    std::fill(Want.begin() + 40 * 512, Want.begin() + 41 * 512, 0);
    const Bytes Image = ReadFileBytes(Folder / "small.bin");
    ASSERT_GT(Image.size(), Card.size());
    EXPECT_EQ(Bytes(Image.begin(), Image.begin() + Card.size()), Want);
}

TEST_F(DiskImage, CancelAndALostDeviceEndWithTheLastCluster)
{
    const Int64 Size = 200 * Cluster;
    const Bytes Card = MakeCard(Size);
    TOwnedPtr<TFakeDevice> Device(New<TFakeDevice>(Raw(Card)));
    Device->FailSector(5 * 4, EIO);
    TFakeDeviceRegistration Registered(Name, Device.get());
    const String Target = Folder.File("cut.bin");

    // Cancelled while the dialog asks about cluster 5: cluster 5 is still
    // written, then the copy stops.
    Chooser.Script = { { 2 } };
    Chooser.OnAsk = [&] { Rig.Cancel(); };
    TEnd End = Copy(Target);
    EXPECT_EQ(End.Error.Code, xecCancelled);
    EXPECT_EQ(Log,
        (std::vector<String> { u"copy to " + Target, Line(W::FailedCluster, u": 5"), Line(W::LastCluster, u": 5"),
            Line(W::Cancelled) }));
    TOwnedPtr<TXFileDiskIO> Back(New<TXFileDiskIO>(nullptr));
    ASSERT_TRUE(Back->Open(Target, xofRead));
    EXPECT_EQ(Back->Info.ClusterSize, Cardinal(Cluster)) << "the trailer is there";
    EXPECT_TRUE(TrailerAt(ReadFileBytes(Folder / "cut.bin"), 6 * Cluster));
    Back->Close();

    // The device goes while the dialog is open: the failed cluster is
    // written and the next read ends the copy with 11; the device-gone
    // text has no word here and comes out empty.
    Log.clear();
    Chooser.Script = { { 2 } };
    Chooser.OnAsk = [&] { Device->VanishAfter(0); };
    End = Copy(Target);
    EXPECT_EQ(End.Error.Code, xecDeviceGone);
    EXPECT_EQ(Log,
        (std::vector<String> { u"copy to " + Target, Line(W::FailedCluster, u": 5"), Line(W::LastCluster, u": 5"),
            Line(W::Error), String() }));
    ASSERT_TRUE(Back->Open(Target, xofRead));
    EXPECT_TRUE(TrailerAt(ReadFileBytes(Folder / "cut.bin"), 6 * Cluster));
}

TEST_F(DiskImage, AFullDiskEndsWith45AndKeepsTheOldFile)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const Bytes Card = MakeCard(150 * Cluster);
    TOwnedPtr<TFakeDevice> Device(New<TFakeDevice>(Raw(Card)));
    TFakeDeviceRegistration Registered(Name, Device.get());
    WriteFileBytes(Folder / "full.bin", { 1, 2, 3 });
    auto FullDisk = [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit Limit { 100 * 1024, 100 * 1024 };
        setrlimit(RLIMIT_FSIZE, &Limit);
        const TEnd End = Copy(Folder.File("full.bin"));
        const bool Ok = End.Error.Code == xecWriteFailed && End.Error.SubCode == EFBIG &&
            std::find(Log.begin(), Log.end(), Line(W::Done)) == Log.end() &&
            ReadFileBytes(Folder / "full.bin") == Bytes { 1, 2, 3 };
        std::exit(Ok ? 0 : 1);
    };
    EXPECT_EXIT(FullDisk(), ::testing::ExitedWithCode(0), "");
}

// A dialog that raises, out of memory or otherwise, ends the copy with a
// code and leaves an earlier image of the name as it was, with no
// temporary file beside it.
TEST_F(DiskImage, ARaisingDialogEndsWithACodeAndKeepsTheEarlierImage)
{
    const Bytes Card = MakeCard(150 * Cluster);
    TOwnedPtr<TFakeDevice> Device(New<TFakeDevice>(Raw(Card)));
    Device->FailSector(20, EIO);
    TFakeDeviceRegistration Registered(Name, Device.get());
    const std::function<void()> Raises[] = { [] { throw std::bad_alloc(); },
        [] { throw std::runtime_error("the form could not be made"); } };
    for (const auto& Raise : Raises) {
        WriteFileBytes(Folder / "earlier.bin", { 1, 2, 3 });
        Chooser.OnAsk = Raise;
        const TEnd End = Copy(Folder.File("earlier.bin"));
        EXPECT_NE(End.Error.Code, 0);
        EXPECT_EQ(ReadFileBytes(Folder / "earlier.bin"), (Bytes { 1, 2, 3 }));
        for (const auto& E : fs::directory_iterator(Folder.Path()))
            EXPECT_EQ(E.path().filename().string().find("earlier.bin.~"), std::string::npos) << E.path();
    }
}

TEST_F(DiskImage, ATargetOnTheCardIsRefused)
{
    // A device node for the temporary folder's own device stands for the
    // card, as in the restore's test.
    struct stat Here { };
    ASSERT_EQ(stat(Folder.Path().c_str(), &Here), 0);
    const fs::path Node = Folder / "node";
    if (mknod(Node.c_str(), S_IFBLK | 0600, Here.st_dev) != 0)
        GTEST_SKIP() << "no right to make device nodes";
    const Bytes Card = MakeCard(20 * Cluster);
    TOwnedPtr<TFakeDevice> Device(New<TFakeDevice>(Raw(Card)));
    Name = UTF8ToString(Node.string());
    TFakeDeviceRegistration Registered(Name, Device.get());
    for (const fs::path& Target : { Folder / "card.bin", Node }) {
        const TEnd End = Copy(UTF8ToString(Target.string()));
        EXPECT_EQ(End.Error.Code, xecWriteFailed);
    }
    EXPECT_FALSE(fs::exists(Folder / "card.bin"));
}

TEST_F(DiskImage, AGearFreedWhileTheDialogWaitsEndsTheCopy)
{
    const Bytes Card = MakeCard(150 * Cluster);
    TOwnedPtr<TFakeDevice> Device(New<TFakeDevice>(Raw(Card)));
    Device->FailSector(20, EIO);
    TFakeDeviceRegistration Registered(Name, Device.get());
    Chooser.Script = { { 2 } };
    // The copy waits for the dialog; the gear goes before the main thread
    // ever shows it, and runs it while it waits for the thread.
    Rig.Post(New<TXDRDiskImageWorkCommand>(Rig.Gear.get(), Name, 0, Folder.File("gone.bin")));
    while (!SynchronizePending())
        std::this_thread::yield();
    Rig.Gear.reset();
    EXPECT_EQ(Chooser.Asked, std::vector<Int64> { 6 });
    EXPECT_TRUE(Rig.Ends.empty());
}

TEST_F(DiskImage, AnEngineFreedWhileTheDialogWaitsEndsTheCopy)
{
    const Bytes Card = MakeCard(150 * Cluster);
    TOwnedPtr<TFakeDevice> Device(New<TFakeDevice>(Raw(Card)));
    Device->FailSector(20, EIO);
    TFakeDeviceRegistration Registered(Name, Device.get());
    Chooser.Script = { { 2 } };
    TOwnedPtr<TXKXREngine> Engine(CreateKXREngine(nullptr, nullptr));
    Engine->ViewGear->Broadcast(NewNotification(New<TXDiskAspect>(Name, Byte(0), Int64(0))).Get());
    Engine->DataGear->ImageFileName = Folder.File("engine.bin");
    Engine->ViewGear->Broadcast(NewNotification(New<TXDRActionImageFile>()).Get());
    Rig.Pump();
    while (!SynchronizePending())
        std::this_thread::yield();
    Engine.reset();
    EXPECT_EQ(Chooser.Asked, std::vector<Int64> { 6 });
    Rig.Pump();
}
