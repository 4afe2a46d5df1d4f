// Volumes and card images: FAT16 and FAT32 images made by mkfs.fat are
// recognised with their volume information, saved as card images with the
// XML trailer, and opened again from the trailer.
#include "rtl/StringList.h"
#include "core/XCore.Errors.h"
#include "sorvane/XCore.IO.Classes.h"
#include "win/VolumeInfo.h"
#include "rtl/testing/Testing.h"
#include <cstdio>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using Testing::RunTool;

TEST(CardImage, TrailerWrittenAndReadBack)
{
    TXDiskInfoRecord Info;
    Info.VolumeSerial = 3000000000u;
    Info.MaxComponentLength = 255;
    Info.VolumeName = u"A&B <\"x'>";
    Info.FileSystemName = u"FAT32";
    Info.BytesPerSector = 512;
    Info.ClusterSize = 4096;
    Info.TotalClusters = 1000;
    Info.FreeClusters = 10;
    UTF8String Xml = Info.SaveXml();
    EXPECT_EQ(Xml.substr(0, 7), "<xml>\r\n");
    EXPECT_NE(Xml.find("<volume_name>A&amp;B &lt;&quot;x&apos;&gt;</volume_name>"), std::string::npos);
    EXPECT_NE(Xml.find("<volume_serial>3000000000</volume_serial>"), std::string::npos);
    EXPECT_EQ(Xml.substr(Xml.size() - 8), "\r\n</xml>");

    TXDiskInfoRecord Back;
    Back.LoadXml(Xml);
    EXPECT_EQ(Back.VolumeSerial, 3000000000u);
    EXPECT_EQ(Back.VolumeName, Info.VolumeName);
    EXPECT_EQ(Back.SectorsPerCluster, 8u);
    EXPECT_EQ(Back.TotalBytes, 4096000);
    EXPECT_EQ(Back.DiskSize, 4096000);
    EXPECT_EQ(Back.FreeBytes, 40960);

    // Damaged numbers read as 0, never as garbage.
    Back.LoadXml("<xml><volume_serial>-1</volume_serial><cluster_size>99999999999</cluster_size>"
                 "<total_clusters>-5</total_clusters><sector_size>0</sector_size></xml>");
    EXPECT_EQ(Back.VolumeSerial, 0u);
    EXPECT_EQ(Back.ClusterSize, 0u);
    EXPECT_EQ(Back.ClusterSizeOrDefault(), 1024u);
    EXPECT_EQ(Back.TotalClusters, 0);
}

TEST(CardImage, FatImagesAreRecognisedAndCopiedWithTheirTrailer)
{
    if (!Testing::HaveTool("mkfs.fat") || !Testing::HaveTool("minfo"))
        GTEST_SKIP() << "mkfs.fat or mtools is not installed";
    Testing::TTempFolder Dir;
    const struct {
        const char* Fat;
        int SizeKiB;
        const char16_t* Name;
        Byte Kind;
    } Cases[] = { { "16", 20480, u"FAT", xfsFAT16 }, { "32", 40960, u"FAT32", xfsFAT32 } };
    for (const auto& C : Cases) {
        const std::string Image = (Dir / ("fat" + std::string(C.Fat) + ".img")).string();
        ASSERT_EQ(RunTool({ "mkfs.fat", "-C", "-F", C.Fat, "-n", "CARD A&B", "-i", "1234ABCD", "-s", "4", Image,
                              std::to_string(C.SizeKiB) })
                      .ExitCode,
            0);
        const Testing::TToolResult Check = RunTool({ "minfo", "-i", Image, "::" });

        ClearXError();
        TOwnedPtr<TXDiskIO> Disk(New<TXDiskIO>(nullptr));
        ASSERT_TRUE(Disk->Open(S(Image), xofRead)) << GetXErrorCode();
        EXPECT_EQ(Disk->Info.FileSystemName, C.Name);
        EXPECT_EQ(Disk->FileSystem, C.Kind);
        EXPECT_EQ(Disk->Info.VolumeName, u"CARD A&B");
        EXPECT_EQ(Disk->Info.VolumeSerial, 0x1234ABCDu);
        EXPECT_EQ(Disk->Info.BytesPerSector, 512u);
        EXPECT_EQ(Disk->Info.ClusterSize, 2048u);
        EXPECT_EQ(Disk->Info.DiskSize, Int64(C.SizeKiB) * 1024);
        EXPECT_GT(Disk->Info.FreeClusters, 0);
        EXPECT_LE(Disk->Info.FreeClusters, Disk->Info.TotalClusters);
        ASSERT_EQ(Check.ExitCode, 0);
        EXPECT_NE(Check.Output.find("serial number: 1234ABCD"), std::string::npos) << Check.Output;

        const std::string Card = (Dir / ("card" + std::string(C.Fat) + ".bin")).string();
        ASSERT_TRUE(Disk->SaveToFile(S(Card)));
        TOwnedPtr<TXFileDiskIO> File(New<TXFileDiskIO>(nullptr));
        ASSERT_TRUE(File->Open(S(Card), xofRead));
        EXPECT_EQ(File->Info.VolumeName, u"CARD A&B");
        EXPECT_EQ(File->Info.FileSystemName, C.Name);
        EXPECT_EQ(File->Info.TotalClusters, Disk->Info.TotalClusters);
        EXPECT_EQ(File->Info.FreeClusters, Disk->Info.FreeClusters);
        EXPECT_EQ(File->Info.DiskSize, File->Stream()->Size());
        EXPECT_EQ(File->FileSystem, C.Kind);
        // The volume's bytes come first, unchanged: mtools reads the copy.
        EXPECT_EQ(RunTool({ "minfo", "-i", Card, "::" }).ExitCode, 0);
        EXPECT_EQ(GetXErrorCode(), 0);
    }
}

TEST(CardImage, ImagesWithoutTrailerAndKindsFromTheBootSector)
{
    Testing::TTempFolder Dir;
    const struct {
        const char* Name;
        size_t Size;
        Int64 TextAt;
        const char* Text;
        Byte Kind;
    } Cases[] = {
        { "tiny", 100, 54, "FAT16   ", xfsFAT16 },
        { "fat12", 70000, 54, "FAT12   ", xfsFAT12 },
        { "fat32", 70000, 82, "FAT32   ", xfsFAT32 },
        { "exfat", 4096, 3, "EXFAT   ", xfsExFAT },
        { "none", 40000, 0, "", xfsNone },
    };
    for (const auto& C : Cases) {
        std::string Bytes(C.Size, '\0');
        Bytes.replace(size_t(C.TextAt), std::strlen(C.Text), C.Text);
        const std::string Path = (Dir / (std::string(C.Name) + ".bin")).string();
        std::ofstream(Path, std::ios::binary).write(Bytes.data(), std::streamsize(Bytes.size()));
        ClearXError();
        TOwnedPtr<TXFileDiskIO> File(New<TXFileDiskIO>(nullptr));
        ASSERT_TRUE(File->Open(S(Path), xofRead)) << C.Name;
        EXPECT_EQ(File->Info.DiskSize, Int64(C.Size)) << C.Name;
        EXPECT_EQ(File->Info.ClusterSizeOrDefault(), 1024u);
        EXPECT_EQ(File->FileSystem, C.Kind) << C.Name;
        EXPECT_EQ(GetXErrorCode(), 0) << C.Name;
    }
    ClearXError();
    TOwnedPtr<TXFileDiskIO> Missing(New<TXFileDiskIO>(nullptr));
    EXPECT_FALSE(Missing->Open(u"/nonexistent/card.bin", xofRead));
    EXPECT_EQ(GetXErrorCode(), 31);
    EXPECT_EQ(Missing->Stream(), nullptr);
    ClearXError();
}

// A card image saved over the file it was opened from: the copy is read
// whole before it takes the file's place, so nothing is lost.
TEST(CardImage, SavingOverTheSourceKeepsItsBytes)
{
    Testing::TTempFolder Dir;
    std::string Bytes(300000, '\0');
    for (size_t I = 0; I < Bytes.size(); ++I)
        Bytes[I] = char(I * 13 % 251);
    Bytes.replace(54, 8, "FAT16   ");
    const std::string Path = (Dir / "self.bin").string();
    std::ofstream(Path, std::ios::binary).write(Bytes.data(), std::streamsize(Bytes.size()));
    TOwnedPtr<TXFileDiskIO> File(New<TXFileDiskIO>(nullptr));
    ASSERT_TRUE(File->Open(S(Path), xofRead));
    EXPECT_TRUE(File->SaveToFile(S(Path)));
    EXPECT_FALSE(File->SaveToFile(Dir.File("missing/copy.bin")));
    File->Close();
    std::ifstream In(Path, std::ios::binary);
    EXPECT_TRUE(std::string((std::istreambuf_iterator<char>(In)), {}) == Bytes);
    std::vector<std::string> Left;
    for (const auto& Entry : std::filesystem::directory_iterator(Dir.Path()))
        Left.push_back(Entry.path().filename().string());
    EXPECT_EQ(Left, std::vector<std::string> { "self.bin" });
}

TEST(CardImage, DescribeListsTheSetFlags)
{
    TXDiskInfoRecord Info;
    Info.FileSystemFlags = FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
    Info.TotalBytes = 2048;
    TOwnedPtr<TStringList> Lines(New<TStringList>());
    Info.Describe(Lines.get());
    ASSERT_EQ(Lines->Count(), 15);
    EXPECT_EQ(Lines->Strings(5), u"Flags: 6 , FilePreserveCase, SupportsUnicode");
    EXPECT_EQ(Lines->Strings(11), u"Total space: 2048 2.00 KB");
}

}
