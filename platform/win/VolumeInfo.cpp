#include "win/VolumeInfo.h"
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

namespace {

constexpr Cardinal NameLength = 255;
constexpr Int64 FatChunkBytes = 65536;
constexpr Int64 MaxDirectoryBytes = 65536 * 32; // a FAT directory holds at most 65536 entries

Word Le16(const Byte* P)
{
    return static_cast<Word>(P[0] | P[1] << 8);
}
Cardinal Le32(const Byte* P)
{
    return Le16(P) | static_cast<Cardinal>(Le16(P + 2)) << 16;
}
UInt64 Le64(const Byte* P)
{
    return Le32(P) | static_cast<UInt64>(Le32(P + 4)) << 32;
}
bool PowerOfTwo(UInt64 V)
{
    return V != 0 && (V & (V - 1)) == 0;
}

// Reads Length bytes at byte Offset through whole sectors. With Fill, a
// failed read (other than a lost device) is retried sector by sector and
// the sectors that still fail read as Fill bytes.
TRawResult ReadBytes(TRawDevice& Device, Int64 Offset, Int64 Length, Byte* Out, std::optional<Byte> Fill = {})
{
    const Int64 Sector = Device.SectorSize();
    if (Offset < 0 || Length <= 0 || Offset > Device.Size() || Length > Device.Size() - Offset)
        return { RawError::PastEnd, 0 };
    const Int64 First = Offset / Sector;
    const Int64 Count = (Offset + Length - 1) / Sector - First + 1;
    std::vector<Byte> Buffer(static_cast<size_t>(Count * Sector));
    TRawResult Result = Device.ReadSectors(First, Count, Buffer.data());
    if (!Result.Ok() && Result.Code != RawError::DeviceGone && Fill) {
        Result = {};
        for (Int64 I = 0; I < Count && Result.Ok(); ++I) {
            Byte* Part = Buffer.data() + I * Sector;
            const TRawResult One = Device.ReadSectors(First + I, 1, Part);
            if (One.Code == RawError::DeviceGone)
                Result = One;
            else if (!One.Ok())
                std::memset(Part, *Fill, static_cast<size_t>(Sector));
        }
    }
    if (Result.Ok())
        std::memcpy(Out, Buffer.data() + (Offset - First * Sector), static_cast<size_t>(Length));
    return Result;
}

// A label as stored on disk: 11 bytes, blank-padded; 0x05 stands for a
// leading 0xE5. Bytes above 127 are taken as Latin-1.
String LabelText(const Byte* P)
{
    String Text;
    for (int I = 0; I < 11; ++I)
        Text += static_cast<Char>(I == 0 && P[0] == 0x05 ? 0xE5 : P[I]);
    while (!Text.empty() && (Text.back() == u' ' || Text.back() == 0))
        Text.pop_back();
    return Text;
}

struct TFatLayout {
    int Bits = 0;
    Cardinal BytesPerSector = 0;
    Cardinal SectorsPerCluster = 0;
    Int64 ClusterBytes = 0;
    Int64 Clusters = 0; // data clusters, numbered 2 .. Clusters + 1
    Int64 FatStart = 0; // byte offset of the first FAT
    Int64 RootStart = 0; // FAT12/16: byte offset of the root directory
    Int64 RootBytes = 0;
    Cardinal RootCluster = 0; // FAT32
    Int64 FsInfoStart = -1; // FAT32: byte offset of the FSInfo sector
    Int64 DataStart = 0;
    const Byte* Extended = nullptr; // the extended boot record (signature, serial, label)
};

// Checks every field the layout depends on; false for anything a FAT
// formatter would not have written.
bool ParseFat(const Byte* Boot, Int64 DeviceSize, TFatLayout& L)
{
    if (Boot[0] != 0xEB && Boot[0] != 0xE9)
        return false;
    const Cardinal Bps = Le16(Boot + 11);
    const Cardinal Spc = Boot[13];
    const Int64 Reserved = Le16(Boot + 14);
    const Int64 Fats = Boot[16];
    const Int64 RootEntries = Le16(Boot + 17);
    const Byte Media = Boot[21];
    const Int64 Total = Le16(Boot + 19) ? Le16(Boot + 19) : Le32(Boot + 32);
    const bool Fat32Layout = Le16(Boot + 22) == 0;
    const Int64 FatSectors = Fat32Layout ? Le32(Boot + 36) : Le16(Boot + 22);
    if (Bps < 512 || Bps > 4096 || !PowerOfTwo(Bps) || !PowerOfTwo(Spc) || Reserved == 0 || Fats == 0)
        return false;
    if ((Media < 0xF8 && Media != 0xF0) || Total == 0 || FatSectors == 0)
        return false;
    if (Fat32Layout != (RootEntries == 0))
        return false;
    const Int64 RootSectors = (RootEntries * 32 + Bps - 1) / Bps;
    const Int64 DataSector = Reserved + Fats * FatSectors + RootSectors;
    if (DataSector >= Total || DataSector * Bps > DeviceSize)
        return false;
    L.Clusters = (Total - DataSector) / Spc;
    if (L.Clusters < 1)
        return false;
    if (Fat32Layout)
        L.Bits = 32;
    else if (L.Clusters < 4085)
        L.Bits = 12;
    else if (L.Clusters < 65525)
        L.Bits = 16;
    else
        return false;
    // The FAT must hold an entry for every cluster.
    if (FatSectors * Bps * 8 < (L.Clusters + 2) * L.Bits || (L.Bits == 32 && L.Clusters > 0x0FFFFFF5 - 2))
        return false;
    L.BytesPerSector = Bps;
    L.SectorsPerCluster = Spc;
    L.ClusterBytes = static_cast<Int64>(Bps) * Spc;
    L.FatStart = Reserved * Bps;
    L.RootStart = (Reserved + Fats * FatSectors) * Bps;
    L.RootBytes = RootEntries * 32;
    L.DataStart = DataSector * Bps;
    if (L.Bits == 32) {
        L.RootCluster = Le32(Boot + 44);
        if (L.RootCluster < 2 || L.RootCluster > L.Clusters + 1)
            return false;
        const Int64 FsInfo = Le16(Boot + 48);
        if (FsInfo >= 1 && FsInfo < Reserved)
            L.FsInfoStart = FsInfo * Bps;
        L.Extended = Boot + 64;
    } else {
        L.Extended = Boot + 36;
    }
    return true;
}

// Entry Index of a stretch of the FAT that starts at an entry boundary
// (for FAT12 the stretch is the whole table).
Int64 FatEntry(const Byte* Fat, Int64 Index, int Bits)
{
    if (Bits == 32)
        return Le32(Fat + Index * 4) & 0x0FFFFFFF;
    if (Bits == 16)
        return Le16(Fat + Index * 2);
    const Word Pair = Le16(Fat + Index * 3 / 2);
    return Index & 1 ? Pair >> 4 : Pair & 0x0FFF;
}

// Counts the free clusters in the first FAT, a chunk at a time. FAT12 is
// read whole (it is at most 6 KB), so no entry straddles two chunks.
TRawResult CountFreeClusters(TRawDevice& Device, const TFatLayout& L, Int64& Free)
{
    Free = 0;
    const Int64 Entries = L.Clusters + 2;
    const Int64 FatBytes = L.Bits == 12 ? (Entries * 3 + 1) / 2 : Entries * L.Bits / 8;
    const Int64 EntryBytes = L.Bits == 12 ? FatBytes : L.Bits / 8;
    const Int64 Chunk = L.Bits == 12 ? FatBytes : FatChunkBytes;
    std::vector<Byte> Buffer(static_cast<size_t>(std::min(Chunk, FatBytes)));
    for (Int64 Start = 0; Start < FatBytes; Start += Chunk) {
        const Int64 Length = std::min(Chunk, FatBytes - Start);
        // Unreadable FAT sectors read as 0xFF: their clusters count as used.
        if (const TRawResult R = ReadBytes(Device, L.FatStart + Start, Length, Buffer.data(), Byte(0xFF)); !R.Ok())
            return R;
        const Int64 FirstEntry = L.Bits == 12 ? 0 : Start / EntryBytes;
        const Int64 LastEntry = L.Bits == 12 ? Entries : (Start + Length) / EntryBytes;
        for (Int64 C = std::max<Int64>(FirstEntry, 2); C < LastEntry; ++C)
            if (FatEntry(Buffer.data(), C - FirstEntry, L.Bits) == 0)
                ++Free;
    }
    return {};
}

// Looks for the volume label entry in Length bytes of a directory. Answers
// true when the directory's end marker was met.
bool ScanForLabel(const Byte* Dir, Int64 Length, std::optional<String>& Label)
{
    for (Int64 At = 0; At + 32 <= Length; At += 32) {
        const Byte* Entry = Dir + At;
        if (Entry[0] == 0)
            return true;
        const Byte Attributes = Entry[11];
        if (Entry[0] == 0xE5 || Attributes == 0x0F)
            continue;
        if ((Attributes & 0x18) == 0x08) {
            Label = LabelText(Entry);
            return true;
        }
    }
    return false;
}

// The label entry of the root directory, which the system shows in
// preference to the boot sector's copy. Unreadable directory sectors read
// as deleted entries.
TRawResult RootDirectoryLabel(TRawDevice& Device, const TFatLayout& L, std::optional<String>& Label)
{
    if (L.Bits != 32) {
        std::vector<Byte> Dir(static_cast<size_t>(L.RootBytes));
        if (const TRawResult R = ReadBytes(Device, L.RootStart, L.RootBytes, Dir.data(), Byte(0xE5)); !R.Ok())
            return R.Code == RawError::DeviceGone ? R : TRawResult {};
        ScanForLabel(Dir.data(), L.RootBytes, Label);
        return {};
    }
    std::vector<Byte> Cluster(static_cast<size_t>(L.ClusterBytes));
    Int64 Current = L.RootCluster;
    // Bounded by the largest directory FAT allows, so a looping chain ends.
    for (Int64 Read = 0; Read < MaxDirectoryBytes; Read += L.ClusterBytes) {
        const Int64 Offset = L.DataStart + (Current - 2) * L.ClusterBytes;
        if (Offset + L.ClusterBytes > Device.Size())
            return {};
        if (const TRawResult R = ReadBytes(Device, Offset, L.ClusterBytes, Cluster.data(), Byte(0xE5)); !R.Ok())
            return R.Code == RawError::DeviceGone ? R : TRawResult {};
        if (ScanForLabel(Cluster.data(), L.ClusterBytes, Label))
            return {};
        Byte Next[4];
        if (const TRawResult R = ReadBytes(Device, L.FatStart + Current * 4, 4, Next); !R.Ok())
            return R.Code == RawError::DeviceGone ? R : TRawResult {};
        Current = Le32(Next) & 0x0FFFFFFF;
        if (Current < 2 || Current > L.Clusters + 1)
            return {};
    }
    return {};
}

// A valid FSInfo free count, or nothing when the sector does not hold one.
TRawResult FsInfoFreeCount(TRawDevice& Device, const TFatLayout& L, std::optional<Int64>& Free)
{
    if (L.FsInfoStart < 0)
        return {};
    std::vector<Byte> Sector(L.BytesPerSector);
    const TRawResult R = ReadBytes(Device, L.FsInfoStart, L.BytesPerSector, Sector.data());
    if (!R.Ok())
        return R.Code == RawError::DeviceGone ? R : TRawResult {};
    const Byte* S = Sector.data();
    if (Le32(S) != 0x41615252 || Le32(S + 484) != 0x61417272 || Le32(S + 508) != 0xAA550000)
        return {};
    const Int64 Count = Le32(S + 488);
    if (Count <= L.Clusters)
        Free = Count;
    return {};
}

TRawResult ReadFat(TRawDevice& Device, const TFatLayout& L, TVolumeInfo& Info)
{
    Info.FileSystemName = L.Bits == 32 ? u"FAT32" : u"FAT";
    Info.MaxComponentLength = NameLength;
    Info.FileSystemFlags = FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
    Info.BytesPerSector = L.BytesPerSector;
    Info.SectorsPerCluster = L.SectorsPerCluster;
    Info.TotalClusters = L.Clusters;

    const Byte* Ext = L.Extended;
    std::optional<String> Label;
    if (Ext[2] == 0x29 || Ext[2] == 0x28)
        Info.VolumeSerial = Le32(Ext + 3);
    if (const TRawResult R = RootDirectoryLabel(Device, L, Label); !R.Ok())
        return R;
    if (Label)
        Info.VolumeName = *Label;
    else if (Ext[2] == 0x29 && LabelText(Ext + 7) != u"NO NAME")
        Info.VolumeName = LabelText(Ext + 7);

    std::optional<Int64> Free;
    if (L.Bits == 32)
        if (const TRawResult R = FsInfoFreeCount(Device, L, Free); !R.Ok())
            return R;
    if (!Free) {
        Int64 Counted = 0;
        if (const TRawResult R = CountFreeClusters(Device, L, Counted); !R.Ok())
            return R;
        Free = Counted;
    }
    Info.FreeClusters = *Free;
    return {};
}

bool ParseExFat(const Byte* Boot, Int64 DeviceSize, TVolumeInfo& Info)
{
    if (std::memcmp(Boot + 3, "EXFAT   ", 8) != 0)
        return false;
    if (std::any_of(Boot + 11, Boot + 64, [](Byte B) { return B != 0; }))
        return false;
    const UInt64 VolumeSectors = Le64(Boot + 72);
    const UInt64 FatOffset = Le32(Boot + 80);
    const UInt64 FatLength = Le32(Boot + 84);
    const UInt64 HeapOffset = Le32(Boot + 88);
    const UInt64 Clusters = Le32(Boot + 92);
    const int SectorShift = Boot[108];
    const int ClusterShift = Boot[109];
    const UInt64 Fats = Boot[110];
    if (SectorShift < 9 || SectorShift > 12 || ClusterShift > 25 - SectorShift || (Fats != 1 && Fats != 2))
        return false;
    if (Clusters == 0 || FatOffset < 24 || FatOffset + FatLength * Fats > HeapOffset)
        return false;
    if (HeapOffset + (Clusters << ClusterShift) > VolumeSectors ||
        (HeapOffset << SectorShift) > static_cast<UInt64>(DeviceSize))
        return false;
    Info.FileSystemName = u"exFAT";
    Info.MaxComponentLength = NameLength;
    Info.FileSystemFlags = FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
    Info.VolumeSerial = Le32(Boot + 100);
    Info.BytesPerSector = 1u << SectorShift;
    Info.SectorsPerCluster = 1u << ClusterShift;
    Info.TotalClusters = static_cast<Int64>(Clusters);
    return true;
}

bool ParseNtfs(const Byte* Boot, TVolumeInfo& Info)
{
    if (std::memcmp(Boot + 3, "NTFS    ", 8) != 0)
        return false;
    const Cardinal Bps = Le16(Boot + 11);
    const Byte SpcCode = Boot[13];
    // Above 128 the byte is a negative power of two: 0xF4 is 4096 sectors.
    const UInt64 Spc = SpcCode <= 0x80 ? SpcCode : SpcCode >= 0xF4 ? UInt64(1) << (256 - SpcCode) : 0;
    const UInt64 TotalSectors = Le64(Boot + 40);
    const UInt64 MftCluster = Le64(Boot + 48);
    if (Bps < 512 || Bps > 4096 || !PowerOfTwo(Bps) || !PowerOfTwo(Spc) || TotalSectors > (UInt64(1) << 48))
        return false;
    const UInt64 Clusters = TotalSectors / Spc;
    if (Clusters == 0 || MftCluster >= Clusters)
        return false;
    Info.FileSystemName = u"NTFS";
    Info.MaxComponentLength = NameLength;
    Info.FileSystemFlags = FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK |
        FILE_PERSISTENT_ACLS | FILE_FILE_COMPRESSION | FILE_VOLUME_QUOTAS | FILE_SUPPORTS_SPARSE_FILES |
        FILE_SUPPORTS_REPARSE_POINTS | FILE_SUPPORTS_OBJECT_IDS | FILE_SUPPORTS_ENCRYPTION | FILE_NAMED_STREAMS;
    Info.VolumeSerial = Le32(Boot + 72);
    Info.BytesPerSector = Bps;
    Info.SectorsPerCluster = static_cast<Cardinal>(Spc);
    Info.TotalClusters = static_cast<Int64>(Clusters);
    return true;
}

}

TRawResult ReadVolumeInfo(TRawDevice& Device, TVolumeInfo& Info)
{
    Info = {};
    if (!Device.Active())
        return { RawError::Failed, EBADF };
    // The first device sector; a device shorter than 512 bytes reads as
    // zeros past its end and matches nothing.
    std::vector<Byte> Boot(std::max<size_t>(Device.SectorSize(), 512));
    if (const TRawResult R = Device.ReadSectors(0, 1, Boot.data()); !R.Ok())
        return R;

    TFatLayout Layout;
    TRawResult Result;
    if (ParseFat(Boot.data(), Device.Size(), Layout))
        Result = ReadFat(Device, Layout, Info);
    else if (!ParseExFat(Boot.data(), Device.Size(), Info))
        ParseNtfs(Boot.data(), Info);
    if (!Result.Ok()) {
        Info = {};
        return Result;
    }
    Info.ClusterSize = Info.BytesPerSector * Info.SectorsPerCluster;
    Info.TotalBytes = Info.TotalClusters * Info.ClusterSize;
    Info.FreeBytes = Info.FreeClusters * Info.ClusterSize;
    return {};
}
