// Restore: names made unique without touching what the folder holds,
// hostile names kept inside it, failed writes leaving nothing behind,
// unreadable sectors written as zeros, and the device checks of the
// restore thread (another card, a closed source, a target on the card).
#include "WorkSupport.h"
#include "rtl/Streams.h"
#include "sorvane/XDR.Work.R.h"
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace WorkTest;
namespace fs = std::filesystem;

// A source of numbered bytes and found files cut out of it.
class Restore : public ::testing::Test {
protected:
    TTempFolder Folder { "restore" };
    Bytes Source = RandomBytes(64 * 1024, 77);
    TOwnedPtr<TXFileDiskIO> IO { New<TXFileDiskIO>(nullptr) };
    TOwnedPtr<TXDRFileCollection> Files { New<TXDRFileCollection>(static_cast<TPersistent*>(nullptr)) };

    void SetUp() override
    {
        WriteFileBytes(Folder / "source.bin", Source);
        ASSERT_TRUE(IO->Open(Folder.File("source.bin"), xofRead));
    }
    // An item of the bytes Start..Start+Length-1 (and a second range when
    // given), checked or not.
    TXDRFileItem* Add(const String& Name, const String& Ext, Int64 Start, Int64 Length, bool Selected = true,
        Int64 Start2 = 0, Int64 Length2 = 0)
    {
        TXDRFileItem* Item = Files->Add();
        Item->Name = Name;
        Item->Extension = Ext;
        Item->Selected = Selected;
        Item->Blocks()->Add(Start, Length);
        Item->Blocks()->Add(Start2, Length2);
        return Item;
    }
    Bytes Slice(Int64 Start, Int64 Length) const
    {
        return Bytes(Source.begin() + Start, Source.begin() + Start + Length);
    }
    std::map<std::string, Bytes> Listing(const fs::path& Dir) const
    {
        std::map<std::string, Bytes> Out;
        for (const auto& E : fs::directory_iterator(Dir))
            if (fs::is_regular_file(E.symlink_status()))
                Out[E.path().filename().string()] = ReadFileBytes(E.path());
        return Out;
    }
};

} // namespace

TEST_F(Restore, NamesStayInTheFolderAndNothingThereIsTouched)
{
    const fs::path Target = Folder / "target";
    fs::create_directories(Target);
    const Bytes Old = RandomBytes(100, 1), Outside = RandomBytes(50, 2);
    WriteFileBytes(Target / "B.JPG", Old);
    WriteFileBytes(Target / "C.JPG", Old);
    fs::permissions(Target / "C.JPG", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    WriteFileBytes(Folder / "outside.jpg", Outside);
    fs::create_symlink(Folder / "outside.jpg", Target / "D.JPG");

    struct {
        String Name, Ext;
        Int64 Start, Length;
        bool Selected;
        std::string Expected; // the file it lands in; empty: none
    } Cases[] = {
        { u"A.JPG", u".JPG", 0, 1000, true, "A.JPG" }, { u"A.JPG", u".JPG", 1000, 2000, true, "A1.JPG" },
        { u"A.JPG", u".JPG", 3000, 10, true, "A2.JPG" },
        { u"B.JPG", u".JPG", 3010, 20, true, "B1.JPG" }, // an older file keeps its name
        { u"C.JPG", u".JPG", 3030, 30, true, "C1.JPG" }, // read-only
        { u"D.JPG", u".JPG", 3060, 40, true, "D1.JPG" }, // a link to a file outside
        { u"../E.JPG", u".JPG", 3100, 50, true, ".._E.JPG" }, { u"sub/F.JPG", u".JPG", 3150, 60, true, "sub_F.JPG" },
        { String(u"G\0.JPG", 6), u".JPG", 3210, 70, true, "G_.JPG" }, { u"", u".jpg", 3280, 80, true, "000010.jpg" },
        { u".", u"/.jpg", 3360, 90, true, "000011_.jpg" }, { u"..", u".mp4", 3450, 100, true, "000012.mp4" },
        { u"H.JPG", u".JPG", 3550, 110, false, "" }, // not checked
    };
    for (const auto& C : Cases)
        Add(C.Name, C.Ext, C.Start, C.Length, C.Selected);
    TOwnedPtr<TXWorker> Worker(New<TXWorker>(IPtr<IInterface>()));
    ClearXError();
    // Without its trailing "/": the files still go inside the folder.
    RestoreFiles(UTF8ToString(Target.string()), Files.get(), IO->Stream(), Worker.get());
    EXPECT_EQ(GetXErrorCode(), 0);
    EXPECT_EQ(Worker->GetProgress()->GetPosition(), 1000);

    std::map<std::string, Bytes> Expected { { "B.JPG", Old }, { "C.JPG", Old } };
    for (const auto& C : Cases)
        if (!C.Expected.empty())
            Expected[C.Expected] = Slice(C.Start, C.Length);
    EXPECT_EQ(Listing(Target), Expected);
    EXPECT_EQ(ReadFileBytes(Folder / "outside.jpg"), Outside);
    EXPECT_TRUE(fs::is_symlink(Target / "D.JPG"));
    EXPECT_FALSE(fs::exists(Folder / "E.JPG"));
    EXPECT_EQ(Listing(Folder.Path()).count("A.JPG"), 0u) << "written beside the folder";
}

TEST_F(Restore, AFailedWriteIsFortyFiveAndLeavesNoPartialFile)
{
    Add(u"SMALL.JPG", u".JPG", 0, 4000);
    Add(u"LARGE.JPG", u".JPG", 4000, 40000);
    Add(u"AFTER.JPG", u".JPG", 100, 5000);
    const fs::path Target = Folder / "limited";
    // A file size limit of 16 KiB in a child process: writes past it fail
    // with EFBIG (the signal ignored).
    const pid_t Child = fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit Limit { 16384, 16384 };
        setrlimit(RLIMIT_FSIZE, &Limit);
        ClearXError();
        RestoreFiles(UTF8ToString(Target.string()) + u"/", Files.get(), IO->Stream(), nullptr);
        _exit(GetXErrorCode());
    }
    int Status = 0;
    ASSERT_EQ(waitpid(Child, &Status, 0), Child);
    ASSERT_TRUE(WIFEXITED(Status));
    EXPECT_EQ(WEXITSTATUS(Status), xecWriteFailed);
    // The first failure is kept; later files are still written.
    EXPECT_EQ(Listing(Target),
        (std::map<std::string, Bytes> { { "SMALL.JPG", Slice(0, 4000) }, { "AFTER.JPG", Slice(100, 5000) } }));
}

namespace {

// A source that kills its process (SIGKILL, nothing runs after it) when a
// read reaches offset Fatal.
class TKillingStream : public TBytesStream {
public:
    Int64 Fatal = 0;
    Int64 Read(void* Buffer, Int64 Count) override
    {
        if (Position() + Count > Fatal)
            ::kill(::getpid(), SIGKILL);
        return TBytesStream::Read(Buffer, Count);
    }
};

} // namespace

TEST_F(Restore, AProcessKilledMidFileLeavesNoCutFileUnderAFinalName)
{
    // Two files of 3 MiB: the second is cut in its second MiB.
    const Int64 Size = 3 << 20;
    const Bytes Big = RandomBytes(size_t(2 * Size), 5);
    TOwnedPtr<TKillingStream> Stream(New<TKillingStream>());
    Stream->WriteBuffer(Big.data(), Int64(Big.size()));
    Stream->Fatal = Size + (3 << 19);
    Add(u"FIRST.MOV", u".MOV", 0, Size);
    Add(u"SECOND.MOV", u".MOV", Size, Size);
    const fs::path Target = Folder / "killed";
    const pid_t Child = fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
        RestoreFiles(UTF8ToString(Target.string()), Files.get(), Stream.get(), nullptr);
        _exit(0);
    }
    int Status = 0;
    ASSERT_EQ(waitpid(Child, &Status, 0), Child);
    ASSERT_TRUE(WIFSIGNALED(Status));
    EXPECT_EQ(WTERMSIG(Status), SIGKILL);
    const auto Left = Listing(Target);
    ASSERT_EQ(Left.count("FIRST.MOV"), 1u);
    EXPECT_TRUE(Left.at("FIRST.MOV") == Bytes(Big.begin(), Big.begin() + Size));
    EXPECT_EQ(Left.count("SECOND.MOV"), 0u) << "a cut file under its final name";
    // What the kill left is a temporary file of the child's, no other name.
    for (const auto& [Name, Data] : Left)
        if (Name != "FIRST.MOV")
            EXPECT_EQ(Name.rfind("SECOND.MOV.~" + std::to_string(Child) + "-", 0), 0u) << Name;
}

TEST_F(Restore, AFolderThatCannotBeWrittenReportsItsOwnError)
{
    Add(u"ONE.JPG", u".JPG", 0, 100);
    const fs::path Locked = Folder / "locked";
    fs::create_directories(Locked);
    fs::permissions(Locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
            fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(Folder.Path(), fs::perms::others_exec | fs::perms::group_exec, fs::perm_options::add);
    const fs::path File = Folder / "plain";
    WriteFileBytes(File, { 1 });
    const struct {
        const char* Name;
        fs::path Target;
        int Errno;
    } Cases[] = {
        { "a read-only folder", Locked, EACCES },
        { "a folder that cannot be made in it", Locked / "new", EACCES },
        { "a file where the folder should be", File / "new", ENOTDIR },
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        // Root writes everywhere: the child runs as nobody.
        const pid_t Child = fork();
        ASSERT_GE(Child, 0);
        if (Child == 0) {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                _exit(100);
            ClearXError();
            RestoreFiles(UTF8ToString(C.Target.string()), Files.get(), IO->Stream(), nullptr);
            const TXErrorData E = GetXErrorData();
            _exit(E.Code == xecWriteFailed && E.SubCode == C.Errno ? 0 : 1 + (E.SubCode & 63));
        }
        int Status = 0;
        ASSERT_EQ(waitpid(Child, &Status, 0), Child);
        ASSERT_TRUE(WIFEXITED(Status));
        EXPECT_EQ(WEXITSTATUS(Status), 0) << "another error: errno " << WEXITSTATUS(Status) - 1;
    }
    EXPECT_TRUE(fs::is_empty(Locked));
}

TEST_F(Restore, UnreadableSectorsAreWrittenAsZerosAtFullLength)
{
    RawBytes Image(Source.begin(), Source.end());
    auto* Device = New<TFakeDevice>(Image);
    Device->FailSector(5, EIO);
    TOwnedPtr<TXBufDiskStream> Stream(New<TXBufDiskStream>(Device, u"/dev/fakebad", 4096, xofRead));
    Add(u"BAD.JPG", u".JPG", 1000, 6000, true, 9000, 100);
    ClearXError();
    RestoreFiles(Folder.File("out"), Files.get(), Stream.get(), nullptr);
    EXPECT_EQ(GetXErrorCode(), xecReadFailed) << "a read error, which the restore reports as success";
    EXPECT_EQ(Stream->RaiseReadErrors, 1) << "the stream's own setting comes back";
    Bytes Expected = Slice(1000, 6000);
    std::fill(Expected.begin() + (5 * 512 - 1000), Expected.begin() + (6 * 512 - 1000), Byte(0));
    const Bytes Second = Slice(9000, 100);
    Expected.insert(Expected.end(), Second.begin(), Second.end());
    EXPECT_EQ(ReadFileBytes(Folder / "out" / "BAD.JPG"), Expected);
}

// ---- through the gear ----

namespace {

// A small FAT16 card with two pictures, registered as a device.
class RestoreDevice : public ::testing::Test {
protected:
    TTempFolder Folder { "restore-device" };
    std::unique_ptr<TFatImage> Image;
    Bytes One, Two;
    TOwnedPtr<TFakeDevice> Device;
    std::unique_ptr<TFakeDeviceRegistration> Registered;
    TWorkRig Rig;
    String Name = u"/dev/fakecard";

    void SetUp() override
    {
        Image = std::make_unique<TFatImage>(Folder / "card.img", 16, 4096, 1);
        One = MakeJpeg(Folder, 11);
        Two = MakeJpeg(Folder, 12, "400x300");
        Image->PutFile("ONE.JPG", One);
        Image->PutFile("TWO.JPG", Two);
        Device.reset(New<TFakeDevice>(Raw(Image->Path())));
        Registered = std::make_unique<TFakeDeviceRegistration>(Name, Device.get());
    }
    static RawBytes Raw(const fs::path& Path)
    {
        const Bytes B = ReadFileBytes(Path);
        return RawBytes(B.begin(), B.end());
    }
    void Scan()
    {
        const TEnd End = Rig.Run(New<TXDRDiskDeepScanWorkCommand>(Rig.Gear.get(), Name, 0));
        ASSERT_EQ(End.Error.Code, 0);
        ASSERT_EQ(Rig.Files->Count(), 2);
    }
    TEnd RestoreFromDevice(const fs::path& Target)
    {
        return Rig.Run(New<TXDRDiskRestoreFilesWorkCommand>(Rig.Gear.get(), Name, 0, UTF8ToString(Target.string())));
    }
};

}

TEST_F(RestoreDevice, ADeviceOpenedAgainMustBeTheScannedCard)
{
    Scan();
    // The same card again: restored.
    EXPECT_EQ(RestoreFromDevice(Folder / "same").Error.Code, 0);
    EXPECT_EQ(ReadFileBytes(Folder / "same" / "TWO.JPG"), Two);

    // Another card under the same name (its volume serial differs): 11,
    // nothing written.
    TFatImage Other = Image->CopyTo(Folder / "other.img");
    Other.WriteBytes(39, { 0x12, 0x34, 0x56, 0x78 });
    TOwnedPtr<TFakeDevice> Swapped(New<TFakeDevice>(Raw(Folder / "other.img")));
    Registered->Replace(Swapped.get());
    const TEnd Refused = RestoreFromDevice(Folder / "other");
    EXPECT_EQ(Refused.Name, u"Restore");
    EXPECT_EQ(Refused.Error.Code, xecDeviceGone);
    EXPECT_FALSE(fs::exists(Folder / "other"));
    Registered->Replace(Device.get());

    // A restore from the scan's source after that source was closed.
    Scan();
    Rig.Gear->Data()->Clear();
    const TEnd Closed = Rig.Run(New<TXDRDiskImageRestoreFilesWorkCommand>(Rig.Gear.get(), Folder.File("closed")));
    EXPECT_EQ(Closed.Error.Code, xecDeviceGone);
    EXPECT_FALSE(fs::exists(Folder / "closed"));
}

TEST_F(RestoreDevice, ATargetOnTheSourceDeviceIsRefused)
{
    // A device node for the temporary folder's own device stands for the
    // card: the fake card is read under that node's name.
    struct stat Here { };
    ASSERT_EQ(stat(Folder.Path().c_str(), &Here), 0);
    const fs::path Node = Folder / "node";
    if (mknod(Node.c_str(), S_IFBLK | 0600, Here.st_dev) != 0)
        GTEST_SKIP() << "no right to make device nodes";
    Name = UTF8ToString(Node.string());
    TFakeDeviceRegistration AsNode(Name, Device.get());
    Scan();
    const TEnd End = RestoreFromDevice(Folder / "onthecard");
    EXPECT_EQ(End.Error.Code, xecWriteFailed);
    EXPECT_FALSE(fs::exists(Folder / "onthecard"));
}

TEST_F(RestoreDevice, AGearFreedDuringARestoreWaitsForItsThread)
{
    Scan();
    TReadGate Gate(Device.get());
    Gate.Arm();
    Rig.Post(New<TXDRDiskRestoreFilesWorkCommand>(Rig.Gear.get(), Name, 0, Folder.File("freed")));
    Rig.PumpUntil([&] { return Gate.Held() || Rig.Ends.size() > 1; });
    ASSERT_TRUE(Gate.Held());
    Gate.Release();
    Rig.Gear.reset();
    EXPECT_EQ(Rig.Ends.size(), 1u) << "only the scan's end";
}
