// What the system would report about a volume's file system, read by us
// from its boot sector: FAT12, FAT16 and FAT32 in full; exFAT and NTFS by
// name, serial and geometry.
#pragma once
#include "win/RawVolume.h"

// File-system feature flags, with the values the volume information uses.
inline constexpr Cardinal FILE_CASE_SENSITIVE_SEARCH = 0x1;
inline constexpr Cardinal FILE_CASE_PRESERVED_NAMES = 0x2;
inline constexpr Cardinal FILE_UNICODE_ON_DISK = 0x4;
inline constexpr Cardinal FILE_PERSISTENT_ACLS = 0x8;
inline constexpr Cardinal FILE_FILE_COMPRESSION = 0x10;
inline constexpr Cardinal FILE_VOLUME_QUOTAS = 0x20;
inline constexpr Cardinal FILE_SUPPORTS_SPARSE_FILES = 0x40;
inline constexpr Cardinal FILE_SUPPORTS_REPARSE_POINTS = 0x80;
inline constexpr Cardinal FILE_VOLUME_IS_COMPRESSED = 0x8000;
inline constexpr Cardinal FILE_SUPPORTS_OBJECT_IDS = 0x10000;
inline constexpr Cardinal FILE_SUPPORTS_ENCRYPTION = 0x20000;
inline constexpr Cardinal FILE_NAMED_STREAMS = 0x40000;
inline constexpr Cardinal FILE_READ_ONLY_VOLUME = 0x80000;

struct TVolumeInfo {
    // "FAT" (FAT12 and FAT16), "FAT32", "exFAT" or "NTFS"; empty when the
    // first sector holds no file system we recognise.
    String FileSystemName;
    String VolumeName; // label; empty when the volume has none
    Cardinal VolumeSerial = 0;
    Cardinal MaxComponentLength = 0;
    Cardinal FileSystemFlags = 0;
    Cardinal BytesPerSector = 0;
    Cardinal SectorsPerCluster = 0;
    Cardinal ClusterSize = 0;
    Int64 TotalClusters = 0; // clusters of the data area
    Int64 FreeClusters = 0;
    Int64 TotalBytes = 0; // TotalClusters × ClusterSize
    Int64 FreeBytes = 0; // FreeClusters × ClusterSize

    bool Recognised() const { return !FileSystemName.empty(); }
    bool operator==(const TVolumeInfo&) const = default;
};

// Reads the volume information of an open device. A device without a file
// system we recognise, or with a damaged boot sector, answers Ok with an
// empty Info. A device that fails while its boot sector is read answers
// that failure; unreadable FAT sectors count as used clusters.
TRawResult ReadVolumeInfo(TRawDevice& Device, TVolumeInfo& Info);
