// Raw volumes, the fake device and the volume information, judged against
// images made by mkfs.fat and read back by fsck.fat and mtools.
#include "win/FakeDevice.h"
#include "win/RawVolume.h"
#include "win/VolumeInfo.h"
#include "rtl/testing/Testing.h"
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

using Testing::RunTool;
using TArgs = std::vector<std::string>;

bool HaveTools()
{
    for (const char* Tool : { "mkfs.fat", "fsck.fat", "mdir", "mcopy", "mlabel", "mmd" })
        if (!Testing::HaveTool(Tool))
            return false;
    return true;
}

RawBytes ReadFile(const std::string& Path, std::streamoff Limit = INT64_MAX)
{
    std::ifstream In(Path, std::ios::binary | std::ios::ate);
    RawBytes Bytes(static_cast<size_t>(std::clamp<std::streamoff>(In.tellg(), 0, Limit)), '\0');
    In.seekg(0).read(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
    return Bytes;
}

void WriteFile(const std::string& Path, const RawBytes& Bytes)
{
    std::ofstream(Path, std::ios::binary).write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
}

// Digits that end at End in Text, as a number; -1 when there are none.
// Begin is set to where they start.
Int64 DigitsBefore(const std::string& Text, size_t End, size_t& Begin)
{
    Begin = End;
    while (Begin > 0 && std::isdigit(static_cast<unsigned char>(Text[Begin - 1])))
        --Begin;
    return Begin < End ? std::stoll(Text.substr(Begin, End - Begin)) : -1;
}

// "N<Suffix>": N of the first such place in Text; -1 when there is none.
Int64 NumberBefore(const std::string& Text, const std::string& Suffix)
{
    size_t Begin = 0;
    for (size_t At = Text.find(Suffix); At != std::string::npos; At = Text.find(Suffix, At + 1))
        if (Int64 N = DigitsBefore(Text, At, Begin); N >= 0)
            return N;
    return -1;
}

// "A/B<Suffix>": A and B of the first such place in Text; -1 and -1 when
// there is none.
std::pair<Int64, Int64> FractionBefore(const std::string& Text, const std::string& Suffix)
{
    size_t Begin = 0;
    for (size_t At = Text.find(Suffix); At != std::string::npos; At = Text.find(Suffix, At + 1)) {
        const Int64 B = DigitsBefore(Text, At, Begin);
        if (B < 0 || Begin == 0 || Text[Begin - 1] != '/')
            continue;
        if (const Int64 A = DigitsBefore(Text, Begin - 1, Begin); A >= 0)
            return { A, B };
    }
    return { -1, -1 };
}

// The rest of the line after Marker, without trailing blanks; empty when
// Marker is not there.
std::string RestOfLine(const std::string& Text, const std::string& Marker)
{
    const size_t At = Text.find(Marker);
    if (At == std::string::npos)
        return {};
    std::string Rest = Text.substr(At + Marker.size());
    Rest.erase(std::min(Rest.find('\n'), Rest.size()));
    Rest.erase(Rest.find_last_not_of(' ') + 1);
    return Rest;
}

// The first 2 MB of an image: for the small volumes made here they hold the
// boot sector, the FATs and the root directory, which is all that is read.
RawBytes Head(const std::string& Path)
{
    return ReadFile(Path, 2 << 20);
}

void Put(RawBytes& Image, size_t Offset, std::initializer_list<int> Bytes)
{
    for (int B : Bytes)
        Image[Offset++] = static_cast<char>(B);
}

void Put32(RawBytes& Image, size_t Offset, Cardinal Value)
{
    Put(Image, Offset, { int(Value & 0xFF), int(Value >> 8 & 0xFF), int(Value >> 16 & 0xFF), int(Value >> 24) });
}

TOwnedPtr<TFakeDevice> OpenFake(RawBytes Image, Cardinal SectorSize = 512)
{
    auto Device = MakeOwned<TFakeDevice>(std::move(Image), SectorSize);
    EXPECT_TRUE(Device->Open(u"fake").Ok());
    return Device;
}

// What fsck.fat and mtools say about an image.
struct TToolReport {
    Int64 BytesPerSector, ClusterSize, TotalClusters, FreeClusters;
    Cardinal Serial;
    String Label;
};

TToolReport ToolReport(const std::string& Image)
{
    const std::string Fsck = RunTool({ "fsck.fat", "-n", "-v", Image }).Output;
    const std::string Dir = RunTool({ "mdir", "-i", Image, "::" }).Output;
    const std::string Label = RunTool({ "mlabel", "-s", "-i", Image, "::" }).Output;
    TToolReport R {};
    R.BytesPerSector = NumberBefore(Fsck, " bytes per logical sector");
    R.ClusterSize = NumberBefore(Fsck, " bytes per cluster");
    const auto [Used, Total] = FractionBefore(Fsck, " clusters");
    R.TotalClusters = Total;
    R.FreeClusters = Total - Used;
    const std::string Serial = RestOfLine(Dir, "Serial Number is ");
    if (Serial.size() == 9 && Serial[4] == '-')
        R.Serial = static_cast<Cardinal>(std::stoul(Serial.substr(0, 4) + Serial.substr(5), nullptr, 16));
    R.Label = S(RestOfLine(Label, "Volume label is "));
    return R;
}

class VolumeImages : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Folder = std::make_unique<Testing::TTempFolder>("rawvolume"); }
    static void TearDownTestSuite() { Folder.reset(); }
    void SetUp() override { ASSERT_TRUE(HaveTools()) << "dosfstools and mtools are needed (scripts/setup)"; }

    // A fresh FAT image with a few files and a folder in it.
    static std::string MakeImage(const std::string& Name, const TArgs& Options, int KiloBytes)
    {
        const std::string Dir = Folder->Path().string();
        const std::string Path = Dir + "/" + Name + ".img";
        const std::string Data = Dir + "/data.bin";
        WriteFile(Data, RawBytes(70000, 'x'));
        std::filesystem::remove(Path);
        TArgs Mkfs { "mkfs.fat", "-C" };
        Mkfs.insert(Mkfs.end(), Options.begin(), Options.end());
        Mkfs.insert(Mkfs.end(), { Path, std::to_string(KiloBytes) });
        EXPECT_EQ(RunTool(Mkfs).ExitCode, 0) << Name;
        EXPECT_EQ(RunTool({ "mmd", "-i", Path, "::/DCIM" }).ExitCode, 0) << Name;
        EXPECT_EQ(RunTool({ "mcopy", "-i", Path, Data, "::/A.JPG" }).ExitCode, 0) << Name;
        EXPECT_EQ(RunTool({ "mcopy", "-i", Path, Data, "::/DCIM/B.JPG" }).ExitCode, 0) << Name;
        return Path;
    }

    static inline std::unique_ptr<Testing::TTempFolder> Folder;
};

struct TImageCase {
    const char* Name;
    TArgs Options;
    int KiloBytes;
    const char16_t* FileSystem;
};

const TImageCase ImageCases[] = {
    { "fat12", { "-F", "12", "-n", "SMALL12", "-i", "0BADF00D" }, 2048, u"FAT" },
    { "fat16", { "-F", "16", "-n", "CARD16", "-i", "1234ABCD" }, 32768, u"FAT" },
    { "fat16_2k_sectors", { "-F", "16", "-S", "2048", "-n", "BIGSECT", "-i", "00C0FFEE" }, 32768, u"FAT" },
    { "fat16_no_label", { "-F", "16", "-i", "00000001" }, 32768, u"FAT" },
    { "fat32", { "-F", "32", "-n", "CARD32", "-i", "89ABCDEF" }, 65536, u"FAT32" },
    { "fat32_1k_clusters", { "-F", "32", "-s", "2", "-n", "MY CARD", "-i", "FFFFFFFF" }, 80000, u"FAT32" },
};

TEST_F(VolumeImages, FatImagesReportWhatTheToolsReport)
{
    for (const TImageCase& Case : ImageCases) {
        SCOPED_TRACE(Case.Name);
        const std::string Path = MakeImage(Case.Name, Case.Options, Case.KiloBytes);
        const TToolReport Expected = ToolReport(Path);
        ASSERT_GT(Expected.TotalClusters, 0);

        auto Volume = MakeOwned<TRawVolume>();
        ASSERT_EQ(Volume->Open(S(Path)), TRawResult {});
        EXPECT_EQ(Volume->Size(), Int64(Case.KiloBytes) * 1024);
        EXPECT_EQ(Volume->SectorSize(), 512u);
        TVolumeInfo Info;
        ASSERT_EQ(ReadVolumeInfo(*Volume, Info), TRawResult {});
        EXPECT_EQ(Info.FileSystemName, Case.FileSystem);
        EXPECT_EQ(Info.VolumeName, Expected.Label);
        EXPECT_EQ(Info.VolumeSerial, Expected.Serial);
        EXPECT_EQ(Info.BytesPerSector, Expected.BytesPerSector);
        EXPECT_EQ(Info.ClusterSize, Expected.ClusterSize);
        EXPECT_EQ(Info.SectorsPerCluster, Expected.ClusterSize / Expected.BytesPerSector);
        EXPECT_EQ(Info.TotalClusters, Expected.TotalClusters);
        EXPECT_EQ(Info.FreeClusters, Expected.FreeClusters);
        EXPECT_EQ(Info.TotalBytes, Expected.TotalClusters * Expected.ClusterSize);
        EXPECT_EQ(Info.FreeBytes, Expected.FreeClusters * Expected.ClusterSize);
        EXPECT_EQ(Info.MaxComponentLength, 255u);

        // The same volume on a device with 4096-byte sectors reads the same.
        TVolumeInfo Wide;
        ASSERT_TRUE(ReadVolumeInfo(*OpenFake(Head(Path), 4096), Wide).Ok());
        EXPECT_EQ(Wide, Info);
    }
}

TEST_F(VolumeImages, Fat32FreeCountComesFromTheFatWhenFsInfoHasNone)
{
    const std::string Path = MakeImage("fsinfo", { "-F", "32", "-n", "FSINFO" }, 65536);
    const Int64 Free = ToolReport(Path).FreeClusters;
    const RawBytes Image = Head(Path);
    const size_t FsInfo = 512 * (Byte(Image[48]) | Byte(Image[49]) << 8);
    struct {
        const char* Name;
        Cardinal Stored;
        bool Signed;
    } Cases[] = {
        { "unknown count", 0xFFFFFFFF, true },
        { "count beyond the volume", 0x7FFFFFFF, true },
        { "no signature", 5, false },
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        RawBytes Patched = Image;
        Put32(Patched, FsInfo + 488, Case.Stored);
        if (!Case.Signed)
            Put32(Patched, FsInfo, 0);
        TVolumeInfo Info;
        ASSERT_TRUE(ReadVolumeInfo(*OpenFake(Patched), Info).Ok());
        EXPECT_EQ(Info.FreeClusters, Free);
    }
}

TEST_F(VolumeImages, RootDirectoryLabelWinsOverTheBootSectorCopy)
{
    RawBytes Fat32 = Head(MakeImage("label32", { "-F", "32", "-n", "ROOTNAME" }, 65536));
    RawBytes Fat16 = Head(MakeImage("label16", { "-F", "16", "-n", "ROOTNAME" }, 32768));
    std::memcpy(Fat32.data() + 71, "BOOTNAME   ", 11);
    std::memcpy(Fat16.data() + 43, "BOOTNAME   ", 11);
    for (RawBytes* Image : { &Fat32, &Fat16 }) {
        TVolumeInfo Info;
        ASSERT_TRUE(ReadVolumeInfo(*OpenFake(*Image), Info).Ok());
        EXPECT_EQ(Info.VolumeName, u"ROOTNAME");
    }

    // A root directory without its label entry whose cluster chain loops
    // back on itself: the search ends and the boot sector's label is used.
    const auto Le = [&](size_t At, int Bytes) {
        Int64 V = 0;
        for (int I = Bytes - 1; I >= 0; --I)
            V = V << 8 | Byte(Fat32[At + I]);
        return V;
    };
    const Int64 FatStart = Le(14, 2) * 512;
    const Int64 RootStart = (Le(14, 2) + Le(16, 1) * Le(36, 4)) * 512; // root cluster 2 starts the data area
    ASSERT_EQ(Le(44, 4), 2);
    std::memset(Fat32.data() + RootStart, 0xE5, 512 * Le(13, 1));
    Put32(Fat32, static_cast<size_t>(FatStart + 2 * 4), 2);
    TVolumeInfo Info;
    ASSERT_TRUE(ReadVolumeInfo(*OpenFake(Fat32), Info).Ok());
    EXPECT_EQ(Info.VolumeName, u"BOOTNAME");
}

TEST_F(VolumeImages, DamagedBootSectorsGiveNoFileSystem)
{
    const RawBytes Fat16 = Head(MakeImage("damaged16", { "-F", "16" }, 32768));
    const RawBytes Fat32 = Head(MakeImage("damaged32", { "-F", "32" }, 65536));
    for (const RawBytes* Base : { &Fat16, &Fat32 }) {
        TVolumeInfo Info;
        ASSERT_TRUE(ReadVolumeInfo(*OpenFake(*Base), Info).Ok());
        ASSERT_TRUE(Info.Recognised());
    }
    struct TPatch {
        const char* Name;
        const RawBytes* Base;
        size_t Offset;
        std::initializer_list<int> Bytes;
    };
    const TPatch Cases[] = {
        { "no jump instruction", &Fat16, 0, { 0x00 } },
        { "bytes per sector 0", &Fat16, 11, { 0x00, 0x00 } },
        { "bytes per sector 1000", &Fat16, 11, { 0xE8, 0x03 } },
        { "bytes per sector 8192", &Fat16, 11, { 0x00, 0x20 } },
        { "sectors per cluster 0", &Fat16, 13, { 0 } },
        { "sectors per cluster 3", &Fat16, 13, { 3 } },
        { "no reserved sectors", &Fat16, 14, { 0, 0 } },
        { "no FATs", &Fat16, 16, { 0 } },
        { "no root entries on FAT16", &Fat16, 17, { 0, 0 } },
        { "media byte 0", &Fat16, 21, { 0 } },
        { "no sectors", &Fat16, 32, { 0, 0, 0, 0 } },
        { "FAT too small for the clusters", &Fat16, 22, { 1, 0 } },
        { "FAT beyond the volume", &Fat16, 22, { 0xFF, 0xFF } },
        { "too many clusters for FAT16", &Fat16, 32, { 0xFF, 0xFF, 0xFF, 0x0F } },
        { "root entries on FAT32", &Fat32, 17, { 0x00, 0x02 } },
        { "FAT32 size 0", &Fat32, 36, { 0, 0, 0, 0 } },
        { "FAT32 root cluster 0", &Fat32, 44, { 0, 0, 0, 0 } },
        { "FAT32 root cluster past the end", &Fat32, 44, { 0xFF, 0xFF, 0xFF, 0x0F } },
        { "FAT32 FATs beyond the volume", &Fat32, 36, { 0xFF, 0xFF, 0xFF, 0x7F } },
    };
    for (const TPatch& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        RawBytes Image = *Case.Base;
        Put(Image, Case.Offset, Case.Bytes);
        TVolumeInfo Info;
        Info.FileSystemName = u"stale";
        EXPECT_EQ(ReadVolumeInfo(*OpenFake(Image), Info), TRawResult {});
        EXPECT_EQ(Info, TVolumeInfo {});
    }

    struct TWhole {
        const char* Name;
        RawBytes Image;
    } Wholes[] = {
        { "zeros", RawBytes(65536, '\0') },
        { "one byte", RawBytes(1, '\xEB') },
        { "FAT16 cut before its data area", Fat16.substr(0, 16384) },
        { "FAT32 cut inside its FAT", Fat32.substr(0, 65536) },
    };
    for (const TWhole& Case : Wholes) {
        SCOPED_TRACE(Case.Name);
        TVolumeInfo Info;
        EXPECT_EQ(ReadVolumeInfo(*OpenFake(Case.Image), Info), TRawResult {});
        EXPECT_FALSE(Info.Recognised());
    }
}

// Boot sectors of the other file systems, with only the fields read.
RawBytes ExFatBoot(bool Damaged)
{
    RawBytes Image(1 << 20, '\0');
    Put(Image, 0, { 0xEB, 0x76, 0x90 });
    std::memcpy(Image.data() + 3, "EXFAT   ", 8);
    Put32(Image, 72, 2048); // volume sectors
    Put32(Image, 80, 128); // FAT offset
    Put32(Image, 84, 8); // FAT length
    Put32(Image, 88, 256); // cluster heap offset
    Put32(Image, 92, 220); // clusters
    Put32(Image, 100, 0xCAFEBABE);
    Put(Image, 108, { 9, 3, 1 }); // 512-byte sectors, 8 per cluster, one FAT
    Put(Image, 510, { 0x55, 0xAA });
    if (Damaged)
        Image[40] = 1; // inside the area that must be zero
    return Image;
}

RawBytes NtfsBoot(int SectorsPerCluster)
{
    RawBytes Image(1 << 20, '\0');
    Put(Image, 0, { 0xEB, 0x52, 0x90 });
    std::memcpy(Image.data() + 3, "NTFS    ", 8);
    Put(Image, 11, { 0x00, 0x02, SectorsPerCluster });
    Put32(Image, 40, 2047); // total sectors
    Put32(Image, 48, 4); // MFT cluster
    Put32(Image, 72, 0x01234567);
    Put(Image, 510, { 0x55, 0xAA });
    return Image;
}

TEST(VolumeInfo, OtherFileSystemsAreNamed)
{
    struct {
        const char* Name;
        RawBytes Image;
        const char16_t* FileSystem;
        Cardinal Serial;
        Cardinal ClusterSize;
        Int64 Clusters;
    } Cases[] = {
        { "exFAT", ExFatBoot(false), u"exFAT", 0xCAFEBABE, 4096, 220 },
        { "exFAT with stray bytes", ExFatBoot(true), u"", 0, 0, 0 },
        { "NTFS", NtfsBoot(8), u"NTFS", 0x01234567, 4096, 255 },
        { "NTFS 4096-sector clusters", NtfsBoot(0xF4), u"", 0, 0, 0 }, // not one whole cluster
        { "NTFS sectors per cluster 3", NtfsBoot(3), u"", 0, 0, 0 },
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TVolumeInfo Info;
        ASSERT_TRUE(ReadVolumeInfo(*OpenFake(Case.Image), Info).Ok());
        EXPECT_EQ(Info.FileSystemName, Case.FileSystem);
        EXPECT_EQ(Info.VolumeSerial, Case.Serial);
        EXPECT_EQ(Info.ClusterSize, Case.ClusterSize);
        EXPECT_EQ(Info.TotalClusters, Case.Clusters);
    }
}

TEST(RawVolume, ErrorsMapToTheProgramsCodes)
{
    struct {
        int Errno;
        TRawResult Open, ReadPresent, ReadGone;
    } Cases[] = {
        { ENOENT, { 11, ENOENT }, { 44, ENOENT }, { 44, ENOENT } },
        { ENOMEDIUM, { 11, ENOMEDIUM }, { 11, ENOMEDIUM }, { 11, ENOMEDIUM } },
        { ENXIO, { 11, ENXIO }, { 11, ENXIO }, { 11, ENXIO } },
        { ENODEV, { 11, ENODEV }, { 11, ENODEV }, { 11, ENODEV } },
        { EACCES, { 10, EACCES }, { 44, EACCES }, { 44, EACCES } },
        { EPERM, { 10, EPERM }, { 44, EPERM }, { 44, EPERM } },
        { EROFS, { 10, EROFS }, { 44, EROFS }, { 44, EROFS } },
        { EIO, { 4, EIO }, { 44, EIO }, { 11, EIO } },
        { EBUSY, { 4, EBUSY }, { 44, EBUSY }, { 44, EBUSY } },
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Errno);
        EXPECT_EQ(RawOpenError(Case.Errno), Case.Open);
        EXPECT_EQ(RawReadError(Case.Errno, true), Case.ReadPresent);
        EXPECT_EQ(RawReadError(Case.Errno, false), Case.ReadGone);
    }
}

class RawFiles : public ::testing::Test {
protected:
    Testing::TTempFolder Folder { "rawfiles" };
    const std::string Dir = Folder.Path().string();
};

TEST_F(RawFiles, OpenRefusesWhatIsNotAVolume)
{
    WriteFile(Dir + "/empty", {});
    ASSERT_EQ(mkfifo((Dir + "/fifo").c_str(), 0600), 0);
    struct {
        const char* Name;
        std::string Path;
        TRawResult Expected;
    } Cases[] = {
        { "missing", Dir + "/none", { 11, ENOENT } },
        { "empty file", Dir + "/empty", { 11, 0 } },
        { "directory", Dir, { 4, EISDIR } },
        { "character device", "/dev/null", { 4, ENOTBLK } },
        { "fifo without a writer", Dir + "/fifo", { 4, ENOTBLK } },
        { "empty path", "", { 4, EINVAL } },
    };
    auto Volume = MakeOwned<TRawVolume>();
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        EXPECT_EQ(Volume->Open(S(Case.Path)), Case.Expected);
        EXPECT_FALSE(Volume->Active());
    }
}

TEST_F(RawFiles, ReadsWholeSectorsAndChecksEveryRequest)
{
    RawBytes Content(1000, '\0');
    for (size_t I = 0; I < Content.size(); ++I)
        Content[I] = static_cast<char>(I * 7 + 1);
    WriteFile(Dir + "/image.bin", Content);
    WriteFile(Dir + "/other.bin", RawBytes(4096, 'o'));

    auto Volume = MakeOwned<TRawVolume>();
    ASSERT_EQ(Volume->Open(S(Dir + "/image.bin")), TRawResult {});
    EXPECT_EQ(Volume->Size(), 1000);
    EXPECT_EQ(Volume->SectorCount(), 2);

    RawBytes Buffer(1024, '\xCC');
    ASSERT_EQ(Volume->ReadSectors(0, 2, Buffer.data()), TRawResult {});
    EXPECT_EQ(Buffer.substr(0, 1000), Content);
    EXPECT_EQ(Buffer.substr(1000), RawBytes(24, '\0')); // the partial last sector's tail

    struct {
        const char* Name;
        Int64 First, Count;
        TRawResult Expected;
    } Requests[] = {
        { "last sector", 1, 1, {} },
        { "nothing at the end", 2, 0, {} },
        { "past the end", 2, 1, { 39, 0 } },
        { "running past the end", 1, 2, { 39, 0 } },
        { "far past the end", INT64_MAX / 512, 1, { 39, 0 } },
        { "huge count", 0, INT64_MAX, { 39, 0 } },
        { "negative sector", -1, 1, { 4, EINVAL } },
        { "negative count", 0, -1, { 4, EINVAL } },
    };
    for (const auto& Case : Requests) {
        SCOPED_TRACE(Case.Name);
        EXPECT_EQ(Volume->ReadSectors(Case.First, Case.Count, Buffer.data()), Case.Expected);
    }
    EXPECT_EQ(Volume->ReadSectors(0, 1, nullptr), (TRawResult { 4, EINVAL }));

    ASSERT_EQ(Volume->Open(S(Dir + "/other.bin")), TRawResult {}); // reopening replaces
    EXPECT_EQ(Volume->Size(), 4096);
    Volume->Close();
    EXPECT_EQ(Volume->ReadSectors(0, 1, Buffer.data()), (TRawResult { 4, EBADF }));
}

RawBytes Numbered(int Sectors)
{
    RawBytes Image(static_cast<size_t>(Sectors) * 512, '\0');
    for (size_t I = 0; I < Image.size(); ++I)
        Image[I] = static_cast<char>(I / 512 + 1);
    return Image;
}

TEST(FakeDevice, BadSectorsFailWithTheirCode)
{
    auto Device = OpenFake(Numbered(8));
    Device->FailSector(3, EIO);
    Device->FailSector(6, ENXIO);
    struct {
        Int64 First, Count;
        TRawResult Expected;
        Int64 GoodSectors;
    } Cases[] = {
        { 0, 3, {}, 3 },
        { 0, 8, { 44, EIO }, 3 }, // the sectors before the bad one arrive
        { 3, 1, { 44, EIO }, 0 },
        { 4, 2, {}, 2 },
        { 5, 2, { 11, ENXIO }, 1 },
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.First);
        RawBytes Buffer(static_cast<size_t>(Case.Count) * 512, '\xCC');
        EXPECT_EQ(Device->ReadSectors(Case.First, Case.Count, Buffer.data()), Case.Expected);
        const size_t Good = static_cast<size_t>(Case.GoodSectors) * 512;
        EXPECT_EQ(Buffer.substr(0, Good), Device->Image().substr(static_cast<size_t>(Case.First) * 512, Good));
        EXPECT_EQ(Buffer.substr(Good), RawBytes(Buffer.size() - Good, '\0'));
    }
}

TEST(FakeDevice, VanishesAfterItsReads)
{
    auto Device = OpenFake(Numbered(4));
    Device->VanishAfter(2);
    RawBytes Buffer(512, '\0');
    EXPECT_TRUE(Device->ReadSectors(0, 1, Buffer.data()).Ok());
    EXPECT_TRUE(Device->ReadSectors(1, 1, Buffer.data()).Ok());
    EXPECT_EQ(Device->ReadSectors(2, 1, Buffer.data()), (TRawResult { 11, ENODEV }));
    EXPECT_EQ(Buffer, RawBytes(512, '\0'));
    EXPECT_EQ(Device->Open(u"fake"), (TRawResult { 11, ENODEV }));
    EXPECT_FALSE(Device->Active());
}

TEST(FakeDevice, RefusedAndEmptyDevicesDoNotOpen)
{
    auto Device = MakeOwned<TFakeDevice>(Numbered(1));
    Device->FailOpen({ 10, EACCES });
    EXPECT_EQ(Device->Open(u"fake"), (TRawResult { 10, EACCES }));
    EXPECT_FALSE(Device->Active());
    EXPECT_EQ(MakeOwned<TFakeDevice>(RawBytes())->Open(u"fake"), (TRawResult { 11, 0 }));
    EXPECT_THROW(MakeOwned<TFakeDevice>(Numbered(1), 1000), EArgumentOutOfRangeException);
}

TEST(FakeDevice, SlowReadsReportTheirDelayWithoutWaiting)
{
    auto Device = OpenFake(Numbered(8));
    Device->SlowSectors(2, 2, 1500);
    Device->FailSector(3, EIO);
    Int64 Clock = 0; // the test's clock, advanced by the device instead of sleeping
    Device->OnDelay = [&](Cardinal Milliseconds) { Clock += Milliseconds; };
    RawBytes Buffer(8 * 512, '\0');
    struct {
        Int64 First, Count;
        Cardinal Delay;
        TRawResult Expected;
    } Cases[] = {
        { 0, 2, 0, {} },
        { 0, 3, 1500, {} },
        { 3, 1, 1500, { 44, EIO } }, // slow and failing: both are reported
        { 4, 4, 0, {} },
    };
    Int64 Expected = 0;
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.First);
        EXPECT_EQ(Device->ReadSectors(Case.First, Case.Count, Buffer.data()), Case.Expected);
        EXPECT_EQ(Device->LastReadDelay(), Case.Delay);
        Expected += Case.Delay;
        EXPECT_EQ(Clock, Expected);
    }
}

TEST_F(VolumeImages, DeviceFailuresWhileReadingTheVolume)
{
    const RawBytes Image = Head(MakeImage("failing16", { "-F", "16", "-n", "FAILING" }, 32768));
    TVolumeInfo Clean;
    ASSERT_TRUE(ReadVolumeInfo(*OpenFake(Image), Clean).Ok());

    // A bad FAT sector: its clusters count as used, the rest are counted.
    const Int64 FatStart = 512 * (Byte(Image[14]) | Byte(Image[15]) << 8);
    const Int64 BadSector = FatStart / 512 + 1;
    Int64 FreeInBad = 0;
    for (Int64 At = BadSector * 512; At < (BadSector + 1) * 512; At += 2)
        FreeInBad += Image[At] == 0 && Image[At + 1] == 0;
    ASSERT_GT(FreeInBad, 0);
    auto BadFat = OpenFake(Image);
    BadFat->FailSector(BadSector, EIO);
    TVolumeInfo Info;
    ASSERT_EQ(ReadVolumeInfo(*BadFat, Info), TRawResult {});
    EXPECT_EQ(Info.FreeClusters, Clean.FreeClusters - FreeInBad);
    EXPECT_EQ(Info.VolumeName, u"FAILING");

    auto BadBoot = OpenFake(Image);
    BadBoot->FailSector(0, EIO);
    EXPECT_EQ(ReadVolumeInfo(*BadBoot, Info), (TRawResult { 44, EIO }));
    EXPECT_EQ(Info, TVolumeInfo {});

    auto Leaving = OpenFake(Image);
    Leaving->VanishAfter(1); // the boot sector is read, then the card is pulled
    EXPECT_EQ(ReadVolumeInfo(*Leaving, Info), (TRawResult { 11, ENODEV }));
    EXPECT_EQ(Info, TVolumeInfo {});
}

TEST_F(VolumeImages, LoopDeviceReadsLikeItsImage)
{
    if (geteuid() != 0 || !Testing::HaveTool("losetup"))
        GTEST_SKIP() << "no loop devices here";
    const std::string Path = MakeImage("loop", { "-F", "32", "-n", "LOOPED" }, 65536);
    const Testing::TToolResult Losetup = RunTool({ "losetup", "-f", "--show", "-r", Path });
    std::string Loop = Losetup.Output;
    if (Losetup.ExitCode != 0 || Loop.rfind("/dev/loop", 0) != 0)
        GTEST_SKIP() << "cannot set up a loop device: " << Loop;
    Loop.erase(Loop.find_last_not_of("\n") + 1);

    auto FromFile = MakeOwned<TRawVolume>();
    auto FromLoop = MakeOwned<TRawVolume>();
    ASSERT_TRUE(FromFile->Open(S(Path)).Ok());
    const TRawResult Opened = FromLoop->Open(S(Loop));
    TVolumeInfo FileInfo, LoopInfo;
    if (Opened.Ok()) {
        EXPECT_EQ(FromLoop->Size(), FromFile->Size());
        EXPECT_EQ(FromLoop->SectorSize(), 512u);
        EXPECT_TRUE(ReadVolumeInfo(*FromFile, FileInfo).Ok());
        EXPECT_TRUE(ReadVolumeInfo(*FromLoop, LoopInfo).Ok());
    }
    FromLoop->Close();
    RunTool({ "losetup", "-d", Loop });
    ASSERT_EQ(Opened, TRawResult {});
    EXPECT_EQ(LoopInfo, FileInfo);
    EXPECT_EQ(LoopInfo.VolumeName, u"LOOPED");
}

}

TEST(FakeDevice, ARegisteredDeviceOpensUnderItsNameUntilUnregistered)
{
    auto First = MakeOwned<TFakeDevice>(Numbered(2));
    auto Second = MakeOwned<TFakeDevice>(Numbered(3));
    TOwnedPtr<TRawDevice> Opened;
    {
        TFakeDeviceRegistration Card(u"/dev/fakecard", First.get());
        Opened.reset(NewRawDevice(u"/dev/fakecard/"));
        ASSERT_TRUE(Opened->Open(u"/dev/fakecard").Ok());
        EXPECT_TRUE(First->Active());
        RawBytes Buffer(512, '\0');
        ASSERT_TRUE(Opened->ReadSectors(1, 1, Buffer.data()).Ok());
        EXPECT_EQ(Buffer, First->Image().substr(512, 512));
        Opened->Close();
        EXPECT_FALSE(First->Active());

        Card.Replace(Second.get());
        Opened.reset(NewRawDevice(u"/dev/fakecard"));
        ASSERT_TRUE(Opened->Open(u"/dev/fakecard").Ok());
        EXPECT_EQ(Opened->Size(), 3 * 512);
        Opened.reset();
    }
    Opened.reset(NewRawDevice(u"/dev/fakecard"));
    EXPECT_TRUE(Opened->Is<TRawVolume>());
}

// Whether a folder lies on a device: the folder's device number against a
// block device node made for it here (mknod needs the right to make one).
TEST(RawVolume, FolderOnDeviceComparesTheFoldersDeviceWithTheNode)
{
    Testing::TTempFolder Temp;
    const std::string Dir = Temp.Path().string();
    struct stat Folder { };
    ASSERT_EQ(stat(Dir.c_str(), &Folder), 0);
    const std::string Same = Dir + "/same", Other = Dir + "/other", Plain = Dir + "/plain";
    std::ofstream(Plain) << "x";
    if (mknod(Same.c_str(), S_IFBLK | 0600, Folder.st_dev) != 0 ||
        mknod(Other.c_str(), S_IFBLK | 0600, makedev(major(Folder.st_dev), minor(Folder.st_dev) + 77)) != 0) {
        GTEST_SKIP() << "no right to make device nodes";
    }
    struct {
        std::string Folder, Device;
        bool On;
    } Cases[] = {
        { Dir, Same, true },
        { Dir + "/not/made/yet", Same, true }, // its nearest existing parent counts
        { Dir, Other, false },
        { Dir, Plain, false }, // an image file is no device
        { Dir, Dir + "/missing", false },
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Folder + " on " + C.Device);
        EXPECT_EQ(FolderOnDevice(S(C.Folder), S(C.Device)), C.On);
    }
}
