// Raw, read-only access to a volume: a block device (/dev/sdb, /dev/sdb1,
// /dev/loop0, /dev/mmcblk0p1) or an image file, read in whole sectors.
//
// TRawDevice is the shape the recovery streams read through; TRawVolume is
// the real device, TFakeDevice (FakeDevice.h) the stand-in for tests.
// Failures come back as a TRawResult: the program's error code with the
// system error number (errno) as sub-code.
#pragma once
#include "rtl/Object.h"

// Error codes of raw volume access, as the recovery program reports them.
namespace RawError {
inline constexpr Integer None = 0;
inline constexpr Integer Failed = 4; // the system refused otherwise; sub-code errno
inline constexpr Integer AccessDenied = 10; // no right to read the device
inline constexpr Integer DeviceGone = 11; // missing, no medium, size 0, or removed while reading
inline constexpr Integer PastEnd = 39; // a read beyond the last sector
inline constexpr Integer ReadFailed = 44; // the device could not read the sectors; sub-code errno
}

struct TRawResult {
    Integer Code = RawError::None;
    Integer SubCode = 0;
    bool Ok() const { return Code == RawError::None; }
    bool operator==(const TRawResult&) const = default;
};

// The code of a failed open() or size query, by errno.
TRawResult RawOpenError(int Errno);
// The code of a failed read, by errno; StillPresent tells whether the
// device is still known to the system (an I/O error on a device that has
// left the system means it was pulled out).
TRawResult RawReadError(int Errno, bool StillPresent);

class TRawDevice : public TObject {
    X_CLASS(TRawDevice, TObject)
    using inherited::Create;
    // Opens Path for reading; an open device is closed first.
    virtual TRawResult Open(StringView Path) = 0;
    virtual void Close() = 0;
    virtual bool Active() const = 0;
    // Bytes on the device (a file's size need not be a whole number of sectors).
    virtual Int64 Size() const = 0;
    // Logical sector size: a power of two from 512 to 4096.
    virtual Cardinal SectorSize() const = 0;
    // Reads Count sectors from sector First into Buffer (Count × SectorSize
    // bytes). Bytes past the end of a file read as zeros; on failure the
    // bytes not read are zeros too, so the buffer never holds stale data.
    virtual TRawResult ReadSectors(Int64 First, Int64 Count, void* Buffer) = 0;

    const String& Path() const { return FPath; }
    // Number of sectors, the last one possibly partial.
    Int64 SectorCount() const;

protected:
    String FPath;
    // Checks a ReadSectors request against the open device before a byte is
    // touched; on success Bytes is the request's length in bytes.
    TRawResult CheckRequest(Int64 First, Int64 Count, const void* Buffer, Int64& Bytes) const;
};

// The device object an open of Path reads through: a stand-in registered
// under that name (FakeDevice.h, for tests), else a new TRawVolume. The
// caller owns it; it is not open yet.
TRawDevice* NewRawDevice(StringView Path);
// Set by the stand-in registry: the stand-in for Path, or null.
using TRawDeviceHook = TRawDevice* (*)(StringView Path);
void SetRawDeviceHook(TRawDeviceHook Hook);

// Whether the folder (or, when it does not exist yet, its nearest existing
// parent) lies on the block device Device or on one of its partitions: the
// folder's st_dev against the device node's st_rdev, a partition by its
// parent in /sys. False when Device is not a block device.
bool FolderOnDevice(const String& Folder, const String& Device);

class TRawVolume : public TRawDevice {
    X_CLASS(TRawVolume, TRawDevice)
    ~TRawVolume() override;
    TRawResult Open(StringView Path) override;
    void Close() override;
    bool Active() const override { return FHandle >= 0; }
    Int64 Size() const override { return FSize; }
    Cardinal SectorSize() const override { return FSectorSize; }
    TRawResult ReadSectors(Int64 First, Int64 Count, void* Buffer) override;

private:
    int FHandle = -1;
    Int64 FSize = 0;
    Cardinal FSectorSize = 512;
    // Kernel name of a block device ("sdb1"), empty for a file.
    std::string FKernelName;

    bool StillPresent() const;
};
