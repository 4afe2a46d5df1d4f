// The FAT phases of the deep scan: the directory tree with its existing
// and deleted files, then the directory clusters that no longer belong to
// the tree (lost directories). Existing files follow their FAT chains;
// deleted and lost files are taken as runs of free clusters. Each file is
// announced on the worker as a TXDRFoundFileAspect; every cluster of an
// existing file goes into the used blocks, so the signature scan can look
// at the free space first.
//
//     TOwnedPtr<TXDRFATDisk> Disk(New<TXDRFATDisk>());
//     if (Disk->Open(Source)) {
//         ListFATFiles(Disk.get(), UsedBlocks, Worker);
//         ListLostFiles(Disk.get(), Worker);
//     }
//
// The volume may be damaged or hostile: every cluster read or reported is
// a data cluster of the table, every directory cluster is read once, and
// the work per file is bounded by its size and the volume's free space.
#pragma once
#include "core/XCore.Engine.Worker.h"
#include "core/XCore.Intervals.h"
#include "sorvane/XCore.IO.Classes.h"
#include "sorvane/XDR.Work.F.FAT.h"
#include <vector>

class TStrings;

// Values of TXDRDirClusterObject::Flags.
inline constexpr Byte xdcDotFirst = 1; // its first entry is a "." entry
inline constexpr Byte xdcInTree = 2; // reached from the directory tree
inline constexpr Byte xdcLost = 4; // read as a lost directory

// One directory cluster, or the FAT16 root directory (cluster 1), as read.
class TXDRDirClusterObject : public TXObject {
    X_CLASS(TXDRDirClusterObject, TXObject)
public:
    void Create() override;

    Cardinal Cluster = 0;
    Byte Flags = 0;
    bool Listed = false;
    TXFileSystemEntryList* Entries() const { return FEntries.get(); }

    // "Cluster: " and the number, then a line per entry.
    void Dump(TStrings* Lines);

private:
    TOwnedPtr<TXFileSystemEntryList> FEntries;
};

class TXDRDirClusterList : public TXObjectList<TXDRDirClusterObject> {
    X_CLASS(TXDRDirClusterList, TXObjectList<TXDRDirClusterObject>)
};

class TXDRFATDisk : public TXPersistent {
    X_CLASS(TXDRFATDisk, TXPersistent)
public:
    void Create() override;
    void Clear() override;

    // Reads the boot sector and the first FAT of the source's stream. True
    // for a FAT16 or FAT32 volume whose FAT loaded; a source that names
    // another file system is not read. Fills in the source's sector and
    // cluster size when it has none.
    bool Open(TXCustomDiskIO* AIO);

    TXCustomDiskIO* IO = nullptr; // not owned
    TXFAT* FAT() const { return FFAT.get(); }
    TXDRDirClusterList* DirClusters() const { return FDirClusters.get(); }
    bool Valid = false;

    // Directory clusters read so far (the walk and the lost search read
    // each once); one mark per cluster of the table.
    std::vector<bool> DirRead;

private:
    TOwnedPtr<TXFAT> FFAT;
    TOwnedPtr<TXDRDirClusterList> FDirClusters;

    void TraceOpen();
};

// The directory tree, then every existing file, then every deleted one.
void ListFATFiles(TXDRFATDisk* FATDisk, TXBlocks* UsedBlocks, IXWorker* Worker);
// Lost directories, then the files in them and every entry not listed yet.
void ListLostFiles(TXDRFATDisk* FATDisk, IXWorker* Worker);
// Free clusters that read as a directory become clAvailableFolder and are
// read; their subfolders are not followed.
void SearchLostDirectories(TXDRFATDisk* FATDisk, IXWorker* Worker);
