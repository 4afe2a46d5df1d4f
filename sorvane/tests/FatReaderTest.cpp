// The boot-sector geometry and the cluster table, checked against what
// mkfs.fat wrote and minfo reports, and against damaged boot sectors and
// tables: a damaged field never opens a table larger than the image backs.
#include "rtl/Streams.h"
#include "rtl/testing/FatImage.h"
#include "sorvane/XDR.Work.F.FAT.h"
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

namespace {

using namespace Testing;

void Put16(Bytes& B, size_t At, UInt64 V)
{
    B[At] = Byte(V);
    B[At + 1] = Byte(V >> 8);
}
void Put32(Bytes& B, size_t At, UInt64 V)
{
    Put16(B, At, V);
    Put16(B, At + 2, V >> 16);
}

TXBootSector BootOf(const Bytes& Image)
{
    TXBootSector Boot {};
    std::memcpy(Boot.data(), Image.data(), std::min<size_t>(Image.size(), Boot.size()));
    return Boot;
}

// The reader over Image held in memory; null when it does not open.
TOwnedPtr<TXFAT> OpenFAT(const Bytes& Image, TOwnedPtr<TBytesStream>& Stream)
{
    Stream.reset(New<TBytesStream>(Image));
    TOwnedPtr<TXFAT> Fat(New<TXFAT>());
    Fat->BootSector = BootOf(Image);
    if (!Fat->Open(Stream.get(), TXDiskInfoRecord()))
        return nullptr;
    return Fat;
}

// One FAT16 and one FAT32 image from mkfs.fat, made once for the suite.
class FatReader : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Folder = new TTempFolder("fat-reader");
        Fat16 = new TFatImage(*Folder / "fat16.img", 16, 4096);
        Fat32 = new TFatImage(*Folder / "fat32.img", 32, 34000);
    }
    static void TearDownTestSuite()
    {
        delete Fat16;
        delete Fat32;
        delete Folder;
    }
    static inline TTempFolder* Folder = nullptr;
    static inline TFatImage* Fat16 = nullptr;
    static inline TFatImage* Fat32 = nullptr;
};

TEST_F(FatReader, BootSectorsAgainstMinfoAndDamage)
{
    // The worked example: 512 bytes per sector, 4 per cluster, 1 reserved,
    // 2 FATs of 200 sectors, 512 root entries, 65,536 sectors.
    Bytes Example(512);
    Put16(Example, 11, 512);
    Example[13] = 4;
    Put16(Example, 14, 1);
    Example[16] = 2;
    Put16(Example, 17, 512);
    Put16(Example, 22, 200);
    Put32(Example, 32, 65536);
    std::memcpy(Example.data() + 54, "FAT16   ", 8);

    const Bytes Image16 = ReadFileBytes(Fat16->Path());
    const Bytes Image32 = ReadFileBytes(Fat32->Path());
    auto Changed = [](Bytes Image, const std::function<void(Bytes&)>& Change) {
        Change(Image);
        return Image;
    };
    const Int64 Clusters16 = [] {
        const auto& G = Fat16->Geometry();
        return G.TotalSectors / G.SectorsPerCluster - G.DataStart() / G.ClusterSize() + 2;
    }();
    const Int64 Clusters32 = [] {
        const auto& G = Fat32->Geometry();
        return G.TotalSectors / G.SectorsPerCluster - G.DataStart() / G.ClusterSize() + 2;
    }();

    struct TCase {
        const char* What;
        Bytes Image;
        const TFatImage* Made; // geometry from minfo; null: not checked
        Byte Type;
        bool Opens;
        Int64 TableCount; // -1: not checked beyond the bound
    };
    const TCase Cases[] = {
        { "FAT16 from mkfs.fat", Image16, Fat16, xftFAT16, true, Clusters16 },
        { "FAT32 from mkfs.fat", Image32, Fat32, xftFAT32, true, Clusters32 },
        { "bytes per sector 0", Changed(Image16, [](Bytes& B) { Put16(B, 11, 0); }), nullptr, xftFAT16, false, 0 },
        { "bytes per sector 3", Changed(Image16, [](Bytes& B) { Put16(B, 11, 3); }), nullptr, xftFAT16, false, 0 },
        { "bytes per sector 8192", Changed(Image16, [](Bytes& B) { Put16(B, 11, 8192); }), nullptr, xftFAT16, false,
            0 },
        { "cluster size 0", Changed(Image16, [](Bytes& B) { B[13] = 0; }), nullptr, xftFAT16, false, 0 },
        { "cluster size 3", Changed(Image16, [](Bytes& B) { B[13] = 3; }), nullptr, xftFAT16, false, 0 },
        { "no FAT", Changed(Image16, [](Bytes& B) { B[16] = 0; }), nullptr, xftFAT16, false, 0 },
        { "FAT size 0", Changed(Image16, [](Bytes& B) { Put16(B, 22, 0); }), nullptr, xftFAT16, false, 0 },
        { "FAT32 FAT size 0", Changed(Image32, [](Bytes& B) { Put32(B, 36, 0); }), nullptr, xftFAT32, false, 0 },
        { "total sectors FFFFFFFF",
            Changed(Image16,
                [](Bytes& B) {
                    Put16(B, 19, 0);
                    Put32(B, 32, 0xFFFFFFFF);
                }),
            nullptr, xftFAT16, true, Clusters16 },
        { "FAT32 total and FAT size FFFFFFFF",
            Changed(Image32,
                [](Bytes& B) {
                    Put32(B, 32, 0xFFFFFFFF);
                    Put32(B, 36, 0xFFFFFFFF);
                }),
            nullptr, xftFAT32, false, 0 },
        { "FAT32 total sectors FFFFFFFF", Changed(Image32, [](Bytes& B) { Put32(B, 32, 0xFFFFFFFF); }), nullptr,
            xftFAT32, true, Clusters32 },
        { "FAT past the end", Changed(Image16, [](Bytes& B) { Put16(B, 14, 0xFFFF); }), nullptr, xftFAT16, false, 0 },
        { "image cut inside the FAT", Bytes(Image16.begin(), Image16.begin() + 512 + 1000), nullptr, xftFAT16, true,
            2 },
        { "image cut inside the data area",
            Bytes(Image16.begin(), Image16.begin() + Fat16->Geometry().ClusterOffset(12) + 100), nullptr, xftFAT16,
            true, 12 },
        { "image cut after the boot sector", Bytes(Image16.begin(), Image16.begin() + 512), nullptr, xftFAT16, false,
            0 },
        { "FAT12 text", Changed(Image16, [](Bytes& B) { std::memcpy(B.data() + 54, "FAT12   ", 8); }), nullptr,
            xftFAT12, false, 0 },
        { "no type text", Changed(Image16, [](Bytes& B) { std::memset(B.data() + 54, ' ', 8); }), nullptr, 0, false,
            0 },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        const TXBootSector Boot = BootOf(C.Image);
        EXPECT_EQ(FATTypeOfBoot(Boot), C.Type);
        if (C.Made) {
            const auto& G = C.Made->Geometry();
            EXPECT_EQ(BootBytesPerSector(Boot), G.BytesPerSector);
            EXPECT_EQ(BootClusterSize(Boot), G.ClusterSize());
            EXPECT_EQ(BootFATSize(Boot), G.FATSectors * G.BytesPerSector);
            EXPECT_EQ(BootFATOffset(Boot, 0), G.FATOffset());
            EXPECT_EQ(BootFATOffset(Boot, 1), G.FATOffset(1));
            EXPECT_EQ(BootRootDirOffset(Boot), G.RootOffset());
            EXPECT_EQ(BootDataStart(Boot), G.DataStart());
            EXPECT_EQ(BootClusterOffset(Boot, 2), G.ClusterOffset(2));
            EXPECT_EQ(BootClusterCount(Boot), C.TableCount);
        }
        TOwnedPtr<TBytesStream> Stream;
        TOwnedPtr<TXFAT> Fat = OpenFAT(C.Image, Stream);
        ASSERT_EQ(Fat != nullptr, C.Opens);
        if (!Fat)
            continue;
        // Never more records than clusters whose bytes the image holds.
        const Int64 Bound = Int64(C.Image.size()) / BootClusterSize(Boot) + 2;
        EXPECT_LE(Fat->Clusters.Count(), Bound);
        if (C.TableCount >= 0)
            EXPECT_EQ(Fat->Clusters.Count(), C.TableCount);
        for (Int64 Cl = 2; Cl < Fat->Clusters.Count(); ++Cl)
            EXPECT_LE(Fat->ClusterOffset(Cl) + Fat->ClusterSize(), Int64(C.Image.size()));
    }

    const TXBootSector Boot = BootOf(Example);
    EXPECT_EQ(BootFATOffset(Boot, 0), 512);
    EXPECT_EQ(BootRootDirOffset(Boot), 205312);
    EXPECT_EQ(BootDataStart(Boot), 221696);
    EXPECT_EQ(BootDataStartClusters(Boot), 108);
    EXPECT_EQ(BootClusterCount(Boot), 16278);
    // The example's FAT lies beyond its 512 bytes: it does not open.
    TOwnedPtr<TBytesStream> Stream;
    EXPECT_EQ(OpenFAT(Example, Stream), nullptr);
}

TEST_F(FatReader, FatValuesBecomeRecords)
{
    Bytes Image16 = ReadFileBytes(Fat16->Path());
    const Int64 F16 = Fat16->Geometry().FATOffset();
    const std::pair<Int64, UInt64> Values16[] = { { 3, 0xFFF7 }, { 4, 0xFFF8 }, { 5, 0xFFFF }, { 6, 7 },
        { 7, 0xFFF0 } };
    for (auto [Cluster, Value] : Values16)
        Put16(Image16, size_t(F16 + Cluster * 2), Value);
    Bytes Image32 = ReadFileBytes(Fat32->Path());
    const Int64 F32 = Fat32->Geometry().FATOffset();
    const std::pair<Int64, UInt64> Values32[] = { { 3, 0x0FFFFFF7 }, { 4, 0x0FFFFFF8 }, { 5, 0xFFFFFFFF },
        { 6, 0xF0000007 }, { 7, 0x0FFFFFF0 } };
    for (auto [Cluster, Value] : Values32)
        Put32(Image32, size_t(F32 + Cluster * 4), Value);

    for (const Bytes* Image : { &Image16, &Image32 }) {
        TOwnedPtr<TBytesStream> Stream;
        TOwnedPtr<TXFAT> Fat = OpenFAT(*Image, Stream);
        ASSERT_TRUE(Fat);
        const TXClusterArray& C = Fat->Clusters;
        EXPECT_EQ(C[0].State, clStart);
        EXPECT_EQ(C[1].State, clStart);
        EXPECT_EQ(C[2].State, Fat->IsFAT32() ? clLast : clAvailable); // the FAT32 root
        EXPECT_EQ(C[3].State, clBad);
        EXPECT_EQ(C[4].State, clLast);
        EXPECT_EQ(C[5].State, clLast);
        EXPECT_EQ(C[6].State, clNext);
        EXPECT_EQ(C[6].Next, 7u); // upper four bits cleared
        EXPECT_EQ(C[7].State, clNext);
        EXPECT_FALSE(Fat->IsChainValue(C[7].Next)); // a reserved value
        EXPECT_TRUE(Fat->IsChainValue(7));
        EXPECT_FALSE(Fat->IsChainValue(1));
        EXPECT_FALSE(Fat->IsChainValue(Cardinal(C.Count())));
        EXPECT_EQ(C[8].State, clAvailable);
        if (Fat->IsFAT32())
            EXPECT_EQ(BootRootCluster(Fat->BootSector, C.Count()), 2u);
    }
    // A root cluster outside the table falls back to 2.
    TXBootSector Boot = BootOf(Image32);
    Boot[44] = 0xFF;
    Boot[45] = 0xFF;
    Boot[46] = 0xFF;
    EXPECT_EQ(BootRootCluster(Boot, 1000), 2u);
    Boot[44] = 9;
    Boot[45] = Boot[46] = Boot[47] = 0;
    EXPECT_EQ(BootRootCluster(Boot, 1000), 9u);
}

}
