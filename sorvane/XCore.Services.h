// Volume information of a recovery source, as the system reports it or as
// a card image's trailer stores it, and the checked CRC-32 routine.
//
//     TXDiskInfoRecord Info;
//     Info.LoadXml(Trailer);                  // the card image's XML trailer
//     Info.ClusterSizeOrDefault();            // 1024 when the trailer had none
#pragma once
#include "win/RawVolume.h"
#include "core/XCore.Types.h"

class TStrings;

struct TXDiskInfoRecord {
    String RootPath; // the volume path the record was read from
    Cardinal VolumeSerial = 0;
    Cardinal FileSystemFlags = 0;
    Cardinal MaxComponentLength = 0;
    String VolumeName;
    String FileSystemName; // "FAT", "FAT32", "NTFS", "exFAT" ...
    Cardinal BytesPerSector = 0;
    Cardinal SectorsPerCluster = 0;
    Cardinal ClusterSize = 0;
    Int64 TotalClusters = 0;
    Int64 TotalBytes = 0;
    Int64 FreeClusters = 0;
    Int64 FreeBytes = 0;
    Int64 DiskSize = 0; // bytes the program reads from the source

    void Clear();
    // From the file system on an open device (its boot sector). False when
    // the device holds no file system we recognise (TotalBytes stays 0) or
    // cannot be read; DiskSize is the device's size either way.
    bool ReadVolume(TRawDevice& Device);
    // Opens Path read-only for ReadVolume.
    bool ReadVolume(const String& Path);
    // The device as one run of sectors: a cluster per sector.
    bool ReadGeometry(TRawDevice& Device);
    // The card image trailer: "<xml>" CR LF, eight elements, CR LF "</xml>",
    // UTF-8 without a signature.
    UTF8String SaveXml() const;
    // Missing or bad elements read as empty or 0.
    void LoadXml(const UTF8String& Xml);
    Cardinal ClusterSizeOrDefault() const { return ClusterSize != 0 ? ClusterSize : 1024; }
    // Readable lines about the volume, added to Lines.
    void Describe(TStrings* Lines) const;

    struct TFlagName {
        const char16_t* Name;
        Cardinal Flag; // 0: no flag sets it
    };
    static const TFlagName FlagNames[15];
};

// The CRC-32 of Length bytes (zlib's). Any failure gives CRC 0, false and
// error 40 (raised when Raise); success clears the calling thread's record.
bool ComputeCRC32(Cardinal& CRC, const void* Buffer, Int64 Length, bool Raise);

// The application is closing: work loops stop.
bool IsAppTerminated();
