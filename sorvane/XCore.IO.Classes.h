// Recovery sources: a volume read raw (TXDiskIO) or a card image file
// (TXFileDiskIO), both opened from a path into a buffered stream, with the
// volume's information and its file-system kind.
//
// A card image ("*.bin") is the volume's bytes followed by the volume
// information as UTF-8 XML, found again in the file's last 0x8000 bytes:
//
//     TOwnedPtr<TXDiskIO> Disk(New<TXDiskIO>(nullptr));
//     if (Disk->Open(u"/dev/sdb1", xofRead))
//         Disk->SaveToFile(u"card.bin");      // bytes, then the trailer
#pragma once
#include "core/XCore.Classes.h"
#include "core/XCore.Engine.Aspects.h"
#include "sorvane/XCore.IO.Interfaces.h"
#include "sorvane/XCore.Services.h"
#include "sorvane/XCore.Streams.Buffered.h"

// File-system kinds of TXCustomDiskIO::FileSystem.
enum TXFileSystemKind : Byte {
    xfsNone = 0,
    xfsFAT = 1,
    xfsFAT12 = 2,
    xfsFAT16 = 3,
    xfsFAT32 = 4,
    xfsExFAT = 5,
    xfsNTFS = 6,
    xfsCDFS = 7,
    xfsHFS = 9,
};

// Bytes of a card image's end searched for its trailer.
inline constexpr Int64 xCardImageTrailerWindow = 0x8000;
// The buffer of the sources.
inline constexpr Integer xSourceBufferSize = 262144;

class TXStreamIO : public TXComponent, public IXStreamIO {
    X_CLASS(TXStreamIO, TXComponent)
    X_INTERFACES(TXStreamIO, IXStreamIO)
    X_NOT_COUNTED
public:
    void BeforeDestruction() override;

    TXCustomBufStream* Stream() override { return FStream; }
    // Closes, then opens; false (closed) after any failure.
    bool Open(const String& APath, Byte AOpenFlags) override;
    // False (and closed) when the source no longer answers.
    bool Check() override;
    void Close() override;
    // The whole stream from its start into Target at its position.
    bool SaveToStream(TStream* Target) override;
    // The same into a new file that replaces FileName only when it is
    // whole (a failure keeps the old file).
    bool SaveToFile(const String& FileName) override;

    const String& Path() const { return FPath; }
    Byte OpenFlags() const { return FOpenFlags; }

protected:
    virtual void DoOpen() { }
    virtual bool DoCheck() { return true; }
    virtual void DoClose();

    String FPath;
    Byte FOpenFlags = 0;
    TXCustomBufStream* FStream = nullptr;
};

class TXCustomDiskIO : public TXStreamIO {
    X_CLASS(TXCustomDiskIO, TXStreamIO)
public:
    TXDiskInfoRecord Info;
    Byte FileSystem = xfsNone;

    // The kind from the file-system name, else from the boot sector's type
    // texts. Leaves no error behind when there was none before.
    void DetectFileSystem();
};

// A card image file.
class TXFileDiskIO : public TXCustomDiskIO {
    X_CLASS(TXFileDiskIO, TXCustomDiskIO)
protected:
    void DoOpen() override;
};

// A volume.
class TXDiskIO : public TXCustomDiskIO {
    X_CLASS(TXDiskIO, TXCustomDiskIO)
public:
    // The trailer (Info as XML) at Target's position.
    void WriteInfo(TStream* Target);
    // The volume's bytes, then the trailer: a complete card image.
    bool SaveToStream(TStream* Target) override;

protected:
    void DoOpen() override;
    bool DoCheck() override;
};

// The drive chosen on the Disk page.
class TXDiskAspect : public TXCustomAspect {
    X_CLASS(TXDiskAspect, TXCustomAspect)
public:
    using inherited::Create;
    virtual void Create(const String& ADisk, Byte AFlag, Int64 ASize);
    bool AssignFrom(TXObject* Source) override;

    String Disk;
    Int64 Size = 0;
    Byte Flag = 0;
};
