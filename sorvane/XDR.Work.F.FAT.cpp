#include "sorvane/XDR.Work.F.FAT.h"
#include "rtl/StrUtils.h"
#include "rtl/StringList.h"
#include "rtl/Streams.h"
#include <algorithm>
#include <cstring>
#include <string>

X_REGISTER_CLASS(TXFAT)

namespace {

Int64 Le16(const TXBootSector& B, size_t At)
{
    return Int64(B[At]) | Int64(B[At + 1]) << 8;
}
Int64 Le32(const TXBootSector& B, size_t At)
{
    return Le16(B, At) | Le16(B, At + 2) << 16;
}
bool PowerOfTwo(Int64 V)
{
    return V > 0 && (V & (V - 1)) == 0;
}

std::string TypeText(const TXBootSector& Boot, size_t At)
{
    std::string S(reinterpret_cast<const char*>(Boot.data() + At), 8);
    const size_t B = S.find_first_not_of(' ');
    if (B == std::string::npos)
        return {};
    return S.substr(B, S.find_last_not_of(' ') - B + 1);
}

Int64 TotalSectors(const TXBootSector& Boot)
{
    const Int64 Small = Le16(Boot, 19);
    return Small != 0 ? Small : Le32(Boot, 32);
}

Int64 NumberOfFATs(const TXBootSector& Boot)
{
    return Boot[16];
}
Int64 ReservedSectors(const TXBootSector& Boot)
{
    return Le16(Boot, 14);
}

} // namespace

// --- boot sector ------------------------------------------------------------------

Byte FATTypeOfBoot(const TXBootSector& Boot)
{
    const std::string At54 = TypeText(Boot, 54);
    if (At54 == "FAT12")
        return xftFAT12;
    if (At54 == "FAT16")
        return xftFAT16;
    return TypeText(Boot, 82) == "FAT32" ? xftFAT32 : 0;
}

Int64 BootBytesPerSector(const TXBootSector& Boot)
{
    return Le16(Boot, 11);
}
Int64 BootSectorsPerCluster(const TXBootSector& Boot)
{
    return Boot[13];
}
Int64 BootClusterSize(const TXBootSector& Boot)
{
    return BootBytesPerSector(Boot) * BootSectorsPerCluster(Boot);
}

Int64 BootFATSize(const TXBootSector& Boot)
{
    const Byte Type = FATTypeOfBoot(Boot);
    const Int64 Sectors = Type == xftFAT12 || Type == xftFAT16 ? Le16(Boot, 22) : Le32(Boot, 36);
    return Sectors * BootBytesPerSector(Boot);
}

Int64 BootFATOffset(const TXBootSector& Boot, Integer N)
{
    return N * BootFATSize(Boot) + ReservedSectors(Boot) * BootBytesPerSector(Boot);
}

Int64 BootRootDirOffset(const TXBootSector& Boot)
{
    return BootFATOffset(Boot, 0) + BootFATSize(Boot) * NumberOfFATs(Boot);
}

Int64 BootRootDirEntries(const TXBootSector& Boot)
{
    return Le16(Boot, 17);
}
Int64 BootRootDirSize(const TXBootSector& Boot)
{
    return BootRootDirEntries(Boot) * DirEntryBytes;
}

Int64 BootDataStart(const TXBootSector& Boot)
{
    const Int64 Root = BootRootDirOffset(Boot);
    const Int64 Sector = BootBytesPerSector(Boot);
    if (BootRootDirEntries(Boot) == 0 || Sector == 0)
        return Root;
    return Root + (BootRootDirSize(Boot) + Sector - 1) / Sector * Sector;
}

Int64 BootClusterOffset(const TXBootSector& Boot, Int64 N)
{
    return BootDataStart(Boot) + (N - 2) * BootClusterSize(Boot);
}

Int64 BootDataStartClusters(const TXBootSector& Boot)
{
    const Int64 Size = BootClusterSize(Boot);
    return Size == 0 ? 0 : BootDataStart(Boot) / Size;
}

Int64 BootClusterCount(const TXBootSector& Boot)
{
    const Int64 PerCluster = BootSectorsPerCluster(Boot);
    if (PerCluster == 0)
        return 0;
    return TotalSectors(Boot) / PerCluster - BootDataStartClusters(Boot) + 2;
}

bool BootGeometryUsable(const TXBootSector& Boot)
{
    const Int64 Sector = BootBytesPerSector(Boot);
    const Int64 PerCluster = BootSectorsPerCluster(Boot);
    return PowerOfTwo(Sector) && Sector >= 512 && Sector <= 4096 && PowerOfTwo(PerCluster) && PerCluster <= 128 &&
        NumberOfFATs(Boot) >= 1 && BootFATSize(Boot) > 0;
}

Cardinal BootRootCluster(const TXBootSector& Boot, Int64 Count)
{
    const Int64 Root = Le32(Boot, 44);
    return Root >= 2 && Root < Count ? Cardinal(Root) : 2;
}

void DescribeBoot(const TXBootSector& Boot, TStrings* Lines)
{
    const std::pair<const char16_t*, Int64> Fields[] = {
        { u"FAT type: ", FATTypeOfBoot(Boot) },
        { u"Bytes per sector: ", BootBytesPerSector(Boot) },
        { u"Sectors per cluster: ", BootSectorsPerCluster(Boot) },
        { u"Reserved sectors: ", ReservedSectors(Boot) },
        { u"Number of FATs: ", NumberOfFATs(Boot) },
        { u"Root directory entries: ", BootRootDirEntries(Boot) },
        { u"Total sectors: ", TotalSectors(Boot) },
        { u"FAT size: ", BootFATSize(Boot) },
        { u"FAT offset: ", BootFATOffset(Boot, 0) },
        { u"Root directory offset: ", BootRootDirOffset(Boot) },
        { u"Data start: ", BootDataStart(Boot) },
        { u"Cluster size: ", BootClusterSize(Boot) },
        { u"Cluster count: ", BootClusterCount(Boot) },
    };
    for (const auto& [Name, Value] : Fields)
        Lines->Add(String(Name) + IntToStr(Value));
}

// --- the table ---------------------------------------------------------------------

void TXFAT::Clear()
{
    FATType = 0;
    Info = TXDiskInfoRecord();
    BootSector.fill(0);
    Clusters.Clear();
}

bool TXFAT::IsChainValue(Cardinal Value) const
{
    const Cardinal ReservedFrom = IsFAT32() ? 0x0FFFFFF0u : 0xFFF0u;
    return Clusters.IsDataCluster(Value) && Value < ReservedFrom;
}

bool TXFAT::Open(TStream* AStream, const TXDiskInfoRecord& AInfo)
{
    inherited::Open(AStream, AInfo);
    FATType = FATTypeOfBoot(BootSector);
    Clusters.Clear();
    if ((FATType != xftFAT16 && FATType != xftFAT32) || !AStream || !BootGeometryUsable(BootSector))
        return false;
    const Int64 Stated = BootClusterCount(BootSector);
    if (Stated <= 0)
        return false;

    // Every bound below comes from what is really there, so nothing is
    // allocated for entries that the first FAT, the read or the volume
    // cannot back.
    const Int64 EntryBytes = IsFAT32() ? 4 : 2;
    const Int64 FATOffset = BootFATOffset(BootSector, 0);
    const Int64 StreamSize = AStream->Size();
    const Int64 DataStart = BootDataStart(BootSector);
    const Int64 InStream = std::max<Int64>(StreamSize - FATOffset, 0) / EntryBytes;
    const Int64 WithData = DataStart <= StreamSize ? (StreamSize - DataStart) / ClusterSize() + 2 : 2;
    Int64 Count = std::min({ Stated, BootFATSize(BootSector) / EntryBytes, InStream, WithData });
    if (Count < 2)
        return false;

    std::vector<Byte> Table(size_t(Count * EntryBytes));
    AStream->Seek(FATOffset, soBeginning);
    const Int64 Got = AStream->Read(Table.data(), Int64(Table.size()));
    Count = std::min(Count, std::max<Int64>(Got, 0) / EntryBytes);
    if (Count < 2)
        return false;

    Clusters.Resize(Count);
    Clusters[0] = { 0, clStart };
    Clusters[1] = { 0, clStart };
    const Byte* P = Table.data();
    for (Int64 C = 2; C < Count; ++C) {
        Cardinal V;
        Cardinal Bad, Last;
        if (IsFAT32()) {
            const Byte* E = P + C * 4;
            V = (Cardinal(E[0]) | Cardinal(E[1]) << 8 | Cardinal(E[2]) << 16 | Cardinal(E[3]) << 24) & 0x0FFFFFFFu;
            Bad = 0x0FFFFFF7u;
            Last = 0x0FFFFFF8u;
        } else {
            const Byte* E = P + C * 2;
            V = Cardinal(E[0]) | Cardinal(E[1]) << 8;
            Bad = 0xFFF7u;
            Last = 0xFFF8u;
        }
        TXClusterRecord& R = Clusters[C];
        if (V == 0)
            R = { 0, clAvailable };
        else if (V == Bad)
            R = { 0, clBad };
        else if (V >= Last)
            R = { 0, clLast };
        else
            R = { V, clNext };
    }
    return true;
}
