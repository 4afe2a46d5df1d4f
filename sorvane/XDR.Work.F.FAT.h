// The FAT reader: the geometry of a FAT16 or FAT32 boot sector and the
// cluster table read from the first FAT, one record per cluster with the
// next cluster and a state.
//
//     TOwnedPtr<TXFAT> Fat(New<TXFAT>());
//     Fat->BootSector = Boot;                 // the volume's first 512 bytes
//     if (Fat->Open(Volume, Info))            // false: no usable FAT
//         Next = Fat->Clusters[Cluster].Next;
//
// The table holds only clusters that the first FAT describes, that the read
// delivered and whose bytes lie wholly inside the volume stream, so a
// cluster number that passes IsDataCluster can be read.
#pragma once
#include "sorvane/XDR.Work.F.h"
#include <array>
#include <vector>

using TXBootSector = std::array<Byte, 512>;

// FAT types of FATTypeOfBoot (the file-system kinds of the sources).
inline constexpr Byte xftFAT12 = 2;
inline constexpr Byte xftFAT16 = 3;
inline constexpr Byte xftFAT32 = 4;

// "FAT12" or "FAT16" at offset 54 give 2 or 3, else "FAT32" at 82 gives 4,
// else 0.
Byte FATTypeOfBoot(const TXBootSector& Boot);

// Geometry in bytes, in 64 bits, as the boot sector states it; the
// routines that divide answer 0 where a divisor is 0.
Int64 BootBytesPerSector(const TXBootSector& Boot);
Int64 BootSectorsPerCluster(const TXBootSector& Boot);
Int64 BootClusterSize(const TXBootSector& Boot);
Int64 BootFATSize(const TXBootSector& Boot);
Int64 BootFATOffset(const TXBootSector& Boot, Integer N);
Int64 BootRootDirOffset(const TXBootSector& Boot);
Int64 BootRootDirEntries(const TXBootSector& Boot);
Int64 BootRootDirSize(const TXBootSector& Boot);
Int64 BootDataStart(const TXBootSector& Boot);
Int64 BootClusterOffset(const TXBootSector& Boot, Int64 N);
Int64 BootDataStartClusters(const TXBootSector& Boot);
// May be 0 or negative for a damaged boot sector.
Int64 BootClusterCount(const TXBootSector& Boot);
// Bytes per sector a power of two from 512 to 4096, sectors per cluster a
// power of two from 1 to 128, at least one FAT of non-zero size.
bool BootGeometryUsable(const TXBootSector& Boot);
// FAT32: the root cluster at offset 44 when it lies in 2..Count-1, else 2.
Cardinal BootRootCluster(const TXBootSector& Boot, Int64 Count);
// Readable lines about the boot sector, added to Lines.
void DescribeBoot(const TXBootSector& Boot, TStrings* Lines);

enum TXClusterState : Byte { clAvailable, clStart, clBad, clNext, clLast, clAvailableFolder };

struct TXClusterRecord {
    Cardinal Next = 0;
    TXClusterState State = clAvailable;
};

// One record per FAT entry, indexed by cluster number.
class TXClusterArray {
public:
    Int64 Count() const { return Int64(FItems.size()); }
    bool IsDataCluster(Int64 Cluster) const { return Cluster >= 2 && Cluster < Count(); }
    TXClusterRecord& operator[](Int64 Cluster) { return FItems[size_t(Cluster)]; }
    const TXClusterRecord& operator[](Int64 Cluster) const { return FItems[size_t(Cluster)]; }
    void Clear()
    {
        FItems.clear();
        FItems.shrink_to_fit();
    }
    void Resize(Int64 Count) { FItems.assign(size_t(Count), TXClusterRecord()); }

private:
    std::vector<TXClusterRecord> FItems;
};

class TXFAT : public TXFileSystem {
    X_CLASS(TXFAT, TXFileSystem)
public:
    Byte FATType = 0;
    TXBootSector BootSector {};
    TXClusterArray Clusters;

    // Type 0, Info and BootSector zero-filled, no clusters.
    void Clear();
    // Reads the first FAT of the volume whose boot sector the caller put in
    // BootSector. False for anything but a usable FAT16 or FAT32 geometry
    // with room for the two reserved records; a failing read raises.
    bool Open(TStream* AStream, const TXDiskInfoRecord& AInfo) override;

    Int64 ClusterSize() const { return BootClusterSize(BootSector); }
    Int64 ClusterOffset(Int64 Cluster) const { return BootClusterOffset(BootSector, Cluster); }
    bool IsFAT32() const { return FATType == xftFAT32; }
    // A chain may go on to Value: a data cluster of the table, not one of
    // the reserved values of the FAT type.
    bool IsChainValue(Cardinal Value) const;
};
