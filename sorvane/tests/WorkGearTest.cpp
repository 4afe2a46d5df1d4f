// The deep scan on its worker thread, driven through the worker gear and
// the engine's queue as the program drives it: FAT16 and FAT32 cards made
// by mkfs.fat and mtools (pictures by ImageMagick, a clip by ffmpeg), a
// card without a file system, cancels in every phase, slow and vanishing
// devices, and gears freed while their thread runs.
#include "WorkSupport.h"
#include "core/XCore.App.h"
#include <map>
#include <set>

namespace {

using namespace WorkTest;

// A card with every kind of find: existing files (one fragmented), a
// deleted file, a file in a lost folder, a picture in free space that no
// entry names, and a picture inside another file (seen only by the scan
// of the used area).
struct TCard {
    std::filesystem::path Path;
    // The found files' expected names and bytes.
    std::map<String, Bytes> Expected;
    Bytes FreePicture, InnerPicture;
};

TCard MakeCard(const TTempFolder& Folder, int Bits)
{
    TFatImage Image =
        Bits == 16 ? TFatImage(Folder / "card.img", 16, 4096, 1) : TFatImage(Folder / "card.img", 32, 34000, 1);
    const auto& G = Image.Geometry();
    const Int64 Cluster = G.ClusterSize();
    TCard Card;
    Card.Path = Image.Path();
    const Bytes First = MakeJpeg(Folder, 1), Deleted = MakeJpeg(Folder, 3), Lost = MakeJpeg(Folder, 4);
    const Bytes Fragmented = MakeJpeg(Folder, 5, "320x240"), Clip = MakeMp4(Folder);
    const Bytes Movie = MakeMov(Folder, 1), DeletedMovie = MakeMov(Folder, 2);
    Card.FreePicture = MakeJpeg(Folder, 6);
    Card.InnerPicture = MakeJpeg(Folder, 7);

    Image.MakeFolder("DCIM");
    Image.MakeFolder("DCIM/100CANON");
    Image.PutFile("DCIM/100CANON/IMG_0001.JPG", First);
    Bytes Data = RandomBytes(1024, 1);
    Data.insert(Data.end(), Card.InnerPicture.begin(), Card.InnerPicture.end());
    const Bytes Tail = RandomBytes(700, 2);
    Data.insert(Data.end(), Tail.begin(), Tail.end());
    Image.PutFile("DCIM/100CANON/DATA.BIN", Data);
    Image.PutFile("DCIM/100CANON/MVI_0002.MP4", Clip);
    Image.PutFile("DCIM/100CANON/MVI_0004.MOV", Movie);
    // Copy, delete, copy: FRAG.JPG fills the hole B.BIN left and goes on
    // after C.BIN.
    Image.MakeFolder("DOCS");
    Image.PutFile("DOCS/A.BIN", RandomBytes(size_t(3 * Cluster), 3));
    Image.PutFile("DOCS/B.BIN", RandomBytes(size_t(2 * Cluster), 4));
    Image.PutFile("DOCS/C.BIN", RandomBytes(size_t(3 * Cluster), 5));
    Image.Delete("DOCS/B.BIN");
    Image.ForgetNextFree();
    Image.PutFile("FRAG.JPG", Fragmented);
    // Copied before the lost folder and deleted after it, so that no copy
    // takes its clusters.
    Image.PutFile("DCIM/100CANON/IMG_0003.JPG", Deleted);
    Image.PutFile("DCIM/100CANON/MVI_0005.MOV", DeletedMovie);
    // A folder whose entry was removed and whose clusters were freed.
    Image.MakeFolder("DCIM/LOST");
    Image.PutFile("DCIM/LOST/PIC.JPG", Lost);
    const auto LostFolder = Image.Chain("DCIM/LOST"), LostFile = Image.Chain("DCIM/LOST/PIC.JPG");
    Image.Delete("DCIM/100CANON/IMG_0003.JPG");
    Image.Delete("DCIM/100CANON/MVI_0005.MOV");
    Image.WriteBytes(Image.EntryOffset("DCIM/LOST"), { 0xE5 });
    for (const auto* Chain : { &LostFolder, &LostFile })
        for (Int64 C : *Chain)
            Image.SetFATEntry(C, 0);
    // A picture in free space near the end of the volume.
    const Int64 Clusters = (G.TotalSectors * G.BytesPerSector - G.DataStart()) / Cluster;
    const Int64 Spot = Clusters + 2 - (Int64(Card.FreePicture.size()) / Cluster + 40);
    Image.WriteBytes(G.ClusterOffset(Spot), Card.FreePicture);

    Card.Expected = {
        { u"IMG_0001.JPG", First },
        { u"MVI_0002.MP4", Clip },
        { u"FRAG.JPG", Fragmented },
        { u"!MG_0003.JPG", Deleted },
        { u"MVI_0004.MOV", Movie },
        { u"!VI_0005.MOV", DeletedMovie },
        { u"PIC.JPG", Lost },
        // Free space is scanned before the used area: the free picture is
        // numbered first although the inner one lies lower on the card.
        { u"000001.jpg", Card.FreePicture },
        { u"000002.jpg", Card.InnerPicture },
    };
    return Card;
}

std::set<String> NamesOf(const std::vector<String>& Names)
{
    return std::set<String>(Names.begin(), Names.end());
}

std::set<String> KeysOf(const std::map<String, Bytes>& Files)
{
    std::set<String> Keys;
    for (const auto& [Name, Data] : Files)
        Keys.insert(Name);
    return Keys;
}

// Every restored file by name, from the folder.
std::map<String, Bytes> FolderFiles(const std::filesystem::path& Folder)
{
    std::map<String, Bytes> Out;
    for (const auto& Entry : std::filesystem::directory_iterator(Folder))
        Out[UTF8ToString(Entry.path().filename().string())] = ReadFileBytes(Entry.path());
    return Out;
}

void ExpectRestored(const std::filesystem::path& Folder, const std::map<String, Bytes>& Expected)
{
    const auto Restored = FolderFiles(Folder);
    EXPECT_EQ(KeysOf(Restored), KeysOf(Expected));
    for (const auto& [Name, Data] : Expected) {
        SCOPED_TRACE(StringToUTF8(Name));
        auto It = Restored.find(Name);
        ASSERT_NE(It, Restored.end());
        EXPECT_TRUE(It->second == Data) << "restored " << It->second.size() << " bytes, expected " << Data.size();
    }
}

class DeepScan : public ::testing::TestWithParam<int> {
protected:
    TTempFolder Folder { "deep-scan" };
};

INSTANTIATE_TEST_SUITE_P(Fat, DeepScan, ::testing::Values(16, 32),
    [](const auto& Info) { return "FAT" + std::to_string(Info.param); });

} // namespace

TEST_P(DeepScan, FindsNamesAndCarvesThenRestoresEveryFileByteForByte)
{
    const TCard Card = MakeCard(Folder, GetParam());
    TWorkRig Rig;
    const TEnd End = Rig.Run(New<TXDRDiskImageDeepScanWorkCommand>(Rig.Gear.get(), UTF8ToString(Card.Path.string())));
    EXPECT_EQ(End.Name, u"DeepScan");
    EXPECT_EQ(End.Error.Code, 0);
    EXPECT_EQ(End.Thread, MainThreadID);
    EXPECT_EQ(NamesOf(Rig.Names()), KeysOf(Card.Expected));
    EXPECT_EQ(Rig.Files->Count(), Integer(Card.Expected.size())) << "a file was added twice";
    EXPECT_FALSE(Rig.AddedOutsideFiles);
    EXPECT_EQ(Rig.Added.size(), Card.Expected.size());
    EXPECT_TRUE(HasStatus(Rig.Named(u"IMG_0001.JPG")->Status, drEntry));
    EXPECT_TRUE(HasStatus(Rig.Named(u"!MG_0003.JPG")->Status, drDeletedEntry));
    EXPECT_GT(Rig.Named(u"FRAG.JPG")->Blocks()->Count(), 1) << "FRAG.JPG is not fragmented";
    EXPECT_EQ(Rig.Gear->Worker()->GetProgress()->GetPosition(), 1000);
    EXPECT_EQ(Rig.Gear->Thread(), nullptr);

    // From the source the scan left open.
    const auto Target = Folder / "restored";
    const TEnd Restore =
        Rig.Run(New<TXDRDiskImageRestoreFilesWorkCommand>(Rig.Gear.get(), UTF8ToString(Target.string())));
    EXPECT_EQ(Restore.Name, u"Restore");
    EXPECT_EQ(Restore.Error.Code, 0);
    ExpectRestored(Target, Card.Expected);
}

TEST(DeepScanDevice, ACardReadAsADeviceGivesTheSameFilesAndRestoresFromTheDeviceAgain)
{
    TTempFolder Folder("deep-scan-device");
    const TCard Card = MakeCard(Folder, 16);
    const Bytes Raw = ReadFileBytes(Card.Path);
    TOwnedPtr<TFakeDevice> Device(New<TFakeDevice>(RawBytes(Raw.begin(), Raw.end())));
    TFakeDeviceRegistration Registered(u"/dev/fakecard", Device.get());
    TWorkRig Rig;
    const TEnd End = Rig.Run(New<TXDRDiskDeepScanWorkCommand>(Rig.Gear.get(), u"/dev/fakecard", 0));
    EXPECT_EQ(End.Error.Code, 0);
    EXPECT_EQ(NamesOf(Rig.Names()), KeysOf(Card.Expected));
    Rig.Gear->Data()->Clear(); // the wizard went back: the device is opened again
    const auto Target = Folder / "restored";
    const TEnd Restore = Rig.Run(New<TXDRDiskRestoreFilesWorkCommand>(Rig.Gear.get(), u"/dev/fakecard", 0,
        UTF8ToString(Target.string()) + u"/"));
    EXPECT_EQ(Restore.Error.Code, 0);
    ExpectRestored(Target, Card.Expected);
}

TEST(DeepScanRaw, AVolumeWithoutFileSystemIsCarvedWholeInOnePass)
{
    TTempFolder Folder("deep-scan-raw");
    const Bytes A = MakeJpeg(Folder, 8), Clip = MakeMp4(Folder), B = MakeJpeg(Folder, 9), Movie = MakeMov(Folder, 1);
    // Random filler whose sector starts begin no signature.
    auto Filler = [](size_t Count, unsigned Seed) {
        Bytes F = RandomBytes(Count, Seed);
        for (size_t I = 0; I < F.size(); I += 512)
            F[I] = 0x01;
        return F;
    };
    Bytes Raw = Filler(64 * 512, 30);
    std::map<String, Bytes> Expected;
    const std::pair<const char16_t*, const Bytes*> Parts[] = { { u"000001.jpg", &A }, { u"000002.mp4", &Clip },
        { u"000003.jpg", &B }, { u"000004.mov", &Movie } };
    for (const auto& [Name, Data] : Parts) {
        Raw.insert(Raw.end(), Data->begin(), Data->end());
        Raw.resize((Raw.size() + 511) / 512 * 512, 0x01);
        const Bytes More = Filler(40 * 512, unsigned(Raw.size()));
        Raw.insert(Raw.end(), More.begin(), More.end());
        Expected[Name] = *Data;
    }
    WriteFileBytes(Folder / "raw.bin", Raw);
    TWorkRig Rig;
    const TEnd End = Rig.Run(New<TXDRDiskImageDeepScanWorkCommand>(Rig.Gear.get(), Folder.File("raw.bin")));
    EXPECT_EQ(End.Error.Code, 0);
    EXPECT_EQ(Rig.Names(), (std::vector<String> { u"000001.jpg", u"000002.mp4", u"000003.jpg", u"000004.mov" }));
    const auto Target = Folder / "out";
    EXPECT_EQ(Rig.Run(New<TXDRDiskImageRestoreFilesWorkCommand>(Rig.Gear.get(), UTF8ToString(Target.string())))
                  .Error.Code,
        0);
    ExpectRestored(Target, Expected);
}

// ---- cancel, stalls, lost devices and freed gears ----

namespace {

// Sees each found file on the worker thread, inside its announcement.
struct TFoundHook : TObject {
    std::atomic<int> ScanFinds { 0 };
    std::function<void(TXDRFileItem*, int ScanFind)> OnFound;
    void Found(IXNotification* N)
    {
        TXDRFileItem* Item = static_cast<TXDRFoundFileAspect*>(N->GetAspect())->Item();
        const int Scan = HasStatus(Item->Status, drScanValid) ? ++ScanFinds : 0;
        if (OnFound)
            OnFound(Item, Scan);
    }
    TXNotificationHandler Handler() { return TXNotificationHandler::Of<&TFoundHook::Found>(this); }
};

// A FAT16 card on a fake device whose reads the test can hold.
class HeldCard : public ::testing::Test {
protected:
    TTempFolder Folder { "held-card" };
    TCard Card = MakeCard(Folder, 16);
    TOwnedPtr<TFakeDevice> Device { New<TFakeDevice>(RawBytes("x")) };
    std::unique_ptr<TFakeDeviceRegistration> Registered;
    std::unique_ptr<TReadGate> Gate;
    std::unique_ptr<TWorkRig> Rig;
    TFoundHook Hook;

    void SetUp() override
    {
        const Bytes Raw = ReadFileBytes(Card.Path);
        Device->Image().assign(Raw.begin(), Raw.end());
        Registered = std::make_unique<TFakeDeviceRegistration>(u"/dev/fakecard", Device.get());
        Gate = std::make_unique<TReadGate>(Device.get());
        Rig = std::make_unique<TWorkRig>();
        Rig->Gear->Worker()->Subscribe(TXDRFoundFileAspect::StaticClass(), Hook.Handler());
    }
    void TearDown() override
    {
        Unhook();
        Rig.reset();
    }
    void Unhook()
    {
        if (Rig && Rig->Gear)
            Rig->Gear->Worker()->UnsubscribeMethod(Hook.Handler());
    }
    TXDRWorkCommand* ScanCommand() { return New<TXDRDiskDeepScanWorkCommand>(Rig->Gear.get(), u"/dev/fakecard", 0); }
    // Pumps until the thread waits in a device read; False when the
    // operation ended first.
    bool PumpUntilHeld(size_t EndsBefore)
    {
        Rig->PumpUntil([&] { return Gate->Held() || Rig->Ends.size() > EndsBefore; });
        return Gate->Held();
    }
};

}

TEST_F(HeldCard, CancelInEveryPhaseEndsOnceWithCodeOneAndANewScanRunsAfter)
{
    // Where the thread is held: before the first read (opening), then
    // after the announcement of a file of each phase.
    std::atomic<bool> UsedPhase { false };
    const std::function<bool(TXDRFileItem*, int)> Phases[] = {
        nullptr, [](TXDRFileItem* I, int) { return I->Name == u"IMG_0001.JPG"; }, // the FAT listing
        [](TXDRFileItem* I, int) { return I->Name == u"PIC.JPG"; }, // the lost folders
        [](TXDRFileItem*, int Scan) { return Scan == 1; }, // the free space
        nullptr, // the used area, below
    };
    // The scan of the used area starts from the card's first sector again,
    // after the free space has been scanned.
    Device->SlowSectors(0, 1, 2);
    Gate->OnSlow = [&](Cardinal Ms) {
        if (UsedPhase && Ms == 2 && Hook.ScanFinds >= 1)
            Gate->Arm();
    };
    size_t Ends = 0;
    for (size_t P = 0; P < std::size(Phases); ++P) {
        UsedPhase = P == 4;
        SCOPED_TRACE(P);
        Hook.ScanFinds = 0;
        Hook.OnFound = [&, P](TXDRFileItem* Item, int Scan) {
            if (Phases[P] && Phases[P](Item, Scan))
                Gate->Arm();
        };
        if (P == 0)
            Gate->Arm();
        Rig->Post(ScanCommand());
        ASSERT_TRUE(PumpUntilHeld(Ends)) << "the scan ended before it was held";
        // A second command while the thread runs is ignored.
        Rig->Post(ScanCommand());
        if (P % 2) {
            // As the view gear passes it on: carried out from the queue,
            // outside the view gear's broadcast.
            Rig->Gear->CancelReceived(NewNotification(New<TXActionCancelAspect>(0)).Get());
            EXPECT_FALSE(Rig->Gear->Worker()->GetTerminated());
            Rig->Pump();
            EXPECT_TRUE(Rig->Gear->Worker()->GetTerminated());
        } else {
            Rig->Cancel();
        }
        EXPECT_FALSE(Rig->Gear->StallWatch);
        Gate->Release();
        Rig->WaitForEnds(++Ends);
        EXPECT_EQ(Rig->Ends.back().Error.Code, 1);
        EXPECT_EQ(Rig->Ends.back().Name, u"DeepScan");
        Rig->Pump();
        EXPECT_EQ(Rig->Ends.size(), Ends) << "one end notice per operation";
        EXPECT_EQ(Rig->Gear->Thread(), nullptr);
    }
    Hook.OnFound = nullptr;
    UsedPhase = false;
    // Right after the last cancel: a whole scan, and nothing posted by the
    // cancelled one names an item of the new list.
    const TEnd Fresh = Rig->Run(ScanCommand());
    EXPECT_EQ(Fresh.Error.Code, 0);
    EXPECT_EQ(NamesOf(Rig->Names()), KeysOf(Card.Expected));
    EXPECT_FALSE(Rig->AddedOutsideFiles);
}

TEST_F(HeldCard, AWorkerOutOfMemoryEndsWithACode)
{
    // Out of memory in the FAT listing, then in the carving of free space.
    const std::function<bool(TXDRFileItem*, int)> Where[] = {
        [](TXDRFileItem* I, int) { return I->Name == u"IMG_0001.JPG"; },
        [](TXDRFileItem*, int Scan) { return Scan == 1; },
    };
    for (const auto& At : Where) {
        Hook.ScanFinds = 0;
        Hook.OnFound = [&](TXDRFileItem* I, int Scan) {
            if (At(I, Scan))
                throw std::bad_alloc();
        };
        const TEnd End = Rig->Run(ScanCommand());
        EXPECT_EQ(End.Name, u"DeepScan");
        EXPECT_NE(End.Error.Code, 0) << "out of memory ended the scan as a success";
    }
    Hook.OnFound = nullptr;
    const TEnd End = Rig->Run(ScanCommand());
    EXPECT_EQ(End.Error.Code, 0);
    EXPECT_EQ(Rig->Files->Count(), Integer(Card.Expected.size()));
}

TEST_F(HeldCard, AVanishedDeviceEndsTheScanWithElevenAndAClosingAppSendsNoEnd)
{
    Device->VanishAfter(6);
    const TEnd Gone = Rig->Run(ScanCommand());
    EXPECT_EQ(Gone.Name, u"DeepScan");
    EXPECT_EQ(Gone.Error.Code, 11);
    EXPECT_EQ(Rig->Gear->Thread(), nullptr);

    // The application closing is for good: in a child process of its own.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const Bytes Raw = ReadFileBytes(Card.Path);
            auto* Again = New<TFakeDevice>(RawBytes(Raw.begin(), Raw.end()));
            Registered->Replace(Again);
            TReadGate Held(Again);
            TWorkRig Child;
            Held.Arm();
            Child.Post(New<TXDRDiskDeepScanWorkCommand>(Child.Gear.get(), u"/dev/fakecard", 0));
            Child.PumpUntil([&] { return Held.Held(); });
            QVCoreApp()->Terminate();
            Held.Release();
            Child.PumpUntil([&] { return Child.Gear->Thread() == nullptr; });
            std::exit(Child.Ends.empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(HeldCard, SlowReadsOfThreeSecondsAreToleratedAndLongerOnesEndTheWatchOnce)
{
    for (Cardinal Ms : { 3000u, 3001u }) {
        SCOPED_TRACE(Ms);
        // The window from 256 KiB is read once, by the listing; the read
        // after it is held so the thread still runs when the tick arrives.
        Device->SlowSectors(512, 1, Ms);
        auto Fired = std::make_shared<std::atomic<bool>>(false);
        Gate->AfterSlow = [&, Ms, Fired](Cardinal Delay) {
            if (Delay == Ms && !Fired->exchange(true)) {
                Rig->Clock.Advance(Delay);
                Gate->Arm();
            }
        };
        Rig->Ticks.clear();
        const size_t Before = Rig->Ends.size();
        // The watch is switched on when the command runs, on a later pump:
        // only what the tick leaves behind is checked.
        Rig->Post(ScanCommand());
        ASSERT_TRUE(PumpUntilHeld(Before));
        Rig->Pump();
        EXPECT_EQ(Rig->Ticks, std::vector<Integer> { Integer(Ms) });
        EXPECT_EQ(Rig->Gear->StallWatch, Ms <= 3000);
        Gate->Release();
        Rig->WaitForEnds(Before + 1);
        EXPECT_EQ(Rig->Ends.back().Error.Code, 0);
        EXPECT_FALSE(Rig->Gear->StallWatch);
    }
}

TEST_F(HeldCard, AGearFreedWhileItsThreadRunsWaitsForIt)
{
    Hook.OnFound = [&](TXDRFileItem* Item, int) {
        if (Item->Name == u"MVI_0002.MP4")
            Gate->Arm();
    };
    Rig->Post(ScanCommand());
    ASSERT_TRUE(PumpUntilHeld(0));
    Gate->Release();
    Unhook();
    Rig->Gear.reset(); // the thread is still working
    EXPECT_TRUE(Rig->Ends.empty());
    Rig.reset();
}
