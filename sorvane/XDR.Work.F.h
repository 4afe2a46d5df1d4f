// File-system entries: the tests that tell a plausible 32-byte FAT
// directory entry from garbage (deleted and lost directories are judged
// from raw bytes), the decoded name, dates and first cluster of an entry,
// the records of listed entries, and the file-system base of the FAT reader.
//
//     if (IsValidDirEntry(Entry) && IsFileDirEntry(Entry))
//         Name = DirEntryName(Entry);        // "PHOTO.JPG", "README."
#pragma once
#include "rtl/DateTime.h"
#include "core/XCore.Classes.h"
#include "core/XCore.Collections.h"
#include "sorvane/XCore.Services.h"

class TStream;
class TStrings;

inline constexpr Integer DirEntryBytes = 32;

// Attribute bits of an entry, as bit numbers of TXDirEntryAttributes.
enum TXDirEntryAttribute : Byte { daReadOnly, daHidden, daSystem, daVolumeLabel, daDirectory, daArchive };
using TXDirEntryAttributes = Byte;

// Each test takes the 32 bytes of one entry.
bool IsEndDirEntry(const Byte* Entry);
bool IsErasedDirEntry(const Byte* Entry);
bool IsDotDirEntry(const Byte* Entry);
bool IsLongNameEntry(const Byte* Entry);
bool IsSubdirectoryEntry(const Byte* Entry);
bool IsFileDirEntry(const Byte* Entry);
bool IsValidShortName(const Byte* Entry);
bool IsValidDirEntry(const Byte* Entry);
TXDirEntryAttributes DirEntryAttributes(const Byte* Entry);

// The low 16 bits, with the high 16 bits above them on FAT32.
Cardinal DirEntryFirstCluster(const Byte* Entry, bool IsFAT32);
Cardinal DirEntryFileSize(const Byte* Entry);
// The trimmed base and the trimmed extension joined with "." ("README."
// when there is no extension); a first byte 05 stands for E5. Bytes above
// 127 are read in the ANSI code page.
String DirEntryName(const Byte* Entry);
// Local date-times as the entry holds them; 0 for long-name entries and
// for stamps that do not convert.
TDateTime DirEntryCreated(const Byte* Entry);
TDateTime DirEntryModified(const Byte* Entry);
// The date with time 0.
TDateTime DirEntryAccessed(const Byte* Entry);

class TXFileSystemEntryList;

// Values of TXFileSystemEntry::Flags.
inline constexpr Byte xfeReported = 1;
inline constexpr Byte xfeDeleted = 2;
inline constexpr Byte xfeFolder = 4;

// One listed entry.
class TXFileSystemEntry : public TXObject {
    X_CLASS(TXFileSystemEntry, TXObject)
public:
    String Name;
    Int64 Size = 0;
    TDateTime Created = 0;
    TDateTime Modified = 0;
    TDateTime Accessed = 0;
    Cardinal FirstCluster = 0;
    Byte Flags = 0;

    bool IsReported() const { return (Flags & xfeReported) != 0; }
    bool IsDeleted() const { return (Flags & xfeDeleted) != 0; }
    bool IsFolder() const { return (Flags & xfeFolder) != 0; }
    void SetReported(bool Value) { SetFlag(xfeReported, Value); }
    void SetDeleted(bool Value) { SetFlag(xfeDeleted, Value); }
    void SetFolder(bool Value) { SetFlag(xfeFolder, Value); }

    // The one shared, always empty list (a folder entry answers its own).
    virtual TXFileSystemEntryList* Children();
    // The entry's trace line.
    virtual void Dump(TStrings* Lines);

private:
    void SetFlag(Byte Bit, bool Value) { Flags = Value ? Byte(Flags | Bit) : Byte(Flags & ~Bit); }
};

class TXFileSystemEntryList : public TXObjectList<TXFileSystemEntry> {
    X_CLASS(TXFileSystemEntryList, TXObjectList<TXFileSystemEntry>)
};

class TXFileSystemFolderEntry : public TXFileSystemEntry {
    X_CLASS(TXFileSystemFolderEntry, TXFileSystemEntry)
public:
    void Create() override;
    TXFileSystemEntryList* Children() override { return FChildren.get(); }

private:
    TOwnedPtr<TXFileSystemEntryList> FChildren;
};

class TXFileSystem : public TXManagedObject {
    X_CLASS(TXFileSystem, TXManagedObject)
public:
    void Create() override;

    TStream* Stream = nullptr; // the volume, not owned
    TXDiskInfoRecord Info;
    TXFileSystemEntryList* Entries() const { return FEntries.get(); }

    // Keeps the stream and a copy of Info.
    virtual bool Open(TStream* AStream, const TXDiskInfoRecord& AInfo);

private:
    TOwnedPtr<TXFileSystemEntryList> FEntries;
};
