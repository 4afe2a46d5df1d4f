#include "win/RawVolume.h"
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fstream>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

X_REGISTER_CLASS(TRawDevice)
X_REGISTER_CLASS(TRawVolume)

TRawResult RawOpenError(int Errno)
{
    switch (Errno) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOMEDIUM: return { RawError::DeviceGone, Errno };
    case EACCES:
    case EPERM:
    case EROFS: return { RawError::AccessDenied, Errno };
    default: return { RawError::Failed, Errno };
    }
}

TRawResult RawReadError(int Errno, bool StillPresent)
{
    switch (Errno) {
    case ENODEV:
    case ENXIO:
    case ENOMEDIUM: return { RawError::DeviceGone, Errno };
    case EIO: return { StillPresent ? RawError::ReadFailed : RawError::DeviceGone, Errno };
    default: return { RawError::ReadFailed, Errno };
    }
}

Int64 TRawDevice::SectorCount() const
{
    const Int64 Sector = SectorSize();
    return Sector > 0 ? Size() / Sector + (Size() % Sector != 0) : 0;
}

TRawResult TRawDevice::CheckRequest(Int64 First, Int64 Count, const void* Buffer, Int64& Bytes) const
{
    if (!Active())
        return { RawError::Failed, EBADF };
    if (First < 0 || Count < 0 || (Count > 0 && !Buffer))
        return { RawError::Failed, EINVAL };
    const Int64 Sectors = SectorCount();
    if (First > Sectors || Count > Sectors - First)
        return { RawError::PastEnd, 0 };
    Bytes = Count * static_cast<Int64>(SectorSize());
    return {};
}

namespace {

bool ValidSectorSize(std::uint64_t Value)
{
    return Value >= 512 && Value <= 4096 && (Value & (Value - 1)) == 0;
}

// The kernel's name of a block device ("sdb1"), from its device number, so
// that symlinks such as /dev/disk/by-id/... resolve to the name in /sys.
std::string KernelNameOf(dev_t Device)
{
    const std::string Link = "/sys/dev/block/" + std::to_string(major(Device)) + ":" + std::to_string(minor(Device));
    char Target[4096];
    const ssize_t Length = readlink(Link.c_str(), Target, sizeof(Target) - 1);
    if (Length <= 0)
        return {};
    const std::string Text(Target, static_cast<size_t>(Length));
    const size_t Slash = Text.rfind('/');
    return Slash == std::string::npos ? Text : Text.substr(Slash + 1);
}


}

namespace {
std::atomic<TRawDeviceHook> GDeviceHook { nullptr };

// "major:minor" of a block device number.
std::string DevText(dev_t Device)
{
    return std::to_string(major(Device)) + ":" + std::to_string(minor(Device));
}

// The device number of the whole disk that holds the partition Device, or
// Device itself when it is no partition.
std::string WholeDiskOf(dev_t Device)
{
    const std::string Sys = "/sys/dev/block/" + DevText(Device);
    struct stat Info { };
    if (::stat((Sys + "/partition").c_str(), &Info) != 0)
        return DevText(Device);
    std::ifstream Parent(Sys + "/../dev");
    std::string Text;
    std::getline(Parent, Text);
    return Text.empty() ? DevText(Device) : Text;
}
}

TRawDevice* NewRawDevice(StringView Path)
{
    if (TRawDeviceHook Hook = GDeviceHook.load())
        if (TRawDevice* Device = Hook(Path))
            return Device;
    return New<TRawVolume>();
}

void SetRawDeviceHook(TRawDeviceHook Hook)
{
    GDeviceHook.store(Hook);
}

bool FolderOnDevice(const String& Folder, const String& Device)
{
    struct stat Node { };
    if (::stat(StringToUTF8(Device).c_str(), &Node) != 0 || !S_ISBLK(Node.st_mode))
        return false;
    std::string Path = StringToUTF8(Folder);
    struct stat Info { };
    while (::stat(Path.c_str(), &Info) != 0) {
        while (Path.size() > 1 && Path.back() == '/')
            Path.pop_back();
        const size_t Slash = Path.rfind('/');
        if (Slash == std::string::npos)
            Path = ".";
        else
            Path = Slash == 0 ? "/" : Path.substr(0, Slash);
        if (Path == "/" || Path == ".") {
            if (::stat(Path.c_str(), &Info) != 0)
                return false;
            break;
        }
    }
    if (Info.st_dev == Node.st_rdev)
        return true;
    // The folder lies on a partition of the device given as a whole disk.
    return WholeDiskOf(Info.st_dev) == DevText(Node.st_rdev);
}

TRawVolume::~TRawVolume()
{
    Close();
}

TRawResult TRawVolume::Open(StringView Path)
{
    Close();
    const std::string Name = StringToUTF8(Path);
    if (Name.empty() || Name.find('\0') != std::string::npos)
        return { RawError::Failed, EINVAL };
    // Non-blocking only for the open itself, so a FIFO given by mistake
    // cannot hang us; it is refused below.
    const int Handle = ::open(Name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (Handle < 0)
        return RawOpenError(errno);

    struct stat Info { };
    TRawResult Result;
    Int64 Size = 0;
    Cardinal SectorSize = 512;
    std::string KernelName;
    if (fstat(Handle, &Info) != 0) {
        Result = RawOpenError(errno);
    } else if (S_ISBLK(Info.st_mode)) {
        std::uint64_t Bytes = 0;
        int Logical = 0;
        if (ioctl(Handle, BLKGETSIZE64, &Bytes) != 0 || ioctl(Handle, BLKSSZGET, &Logical) != 0)
            Result = RawOpenError(errno);
        else if (Logical <= 0 || !ValidSectorSize(static_cast<std::uint64_t>(Logical)) ||
            Bytes > static_cast<std::uint64_t>(INT64_MAX))
            Result = { RawError::Failed, EINVAL };
        else {
            Size = static_cast<Int64>(Bytes);
            SectorSize = static_cast<Cardinal>(Logical);
            KernelName = KernelNameOf(Info.st_rdev);
        }
    } else if (S_ISREG(Info.st_mode)) {
        Size = Info.st_size;
    } else {
        Result = { RawError::Failed, S_ISDIR(Info.st_mode) ? EISDIR : ENOTBLK };
    }
    if (Result.Ok() && Size <= 0)
        Result = { RawError::DeviceGone, 0 };
    if (Result.Ok()) {
        const int Flags = fcntl(Handle, F_GETFL);
        if (Flags < 0 || fcntl(Handle, F_SETFL, Flags & ~O_NONBLOCK) != 0)
            Result = { RawError::Failed, errno };
    }
    if (!Result.Ok()) {
        ::close(Handle);
        return Result;
    }
    FHandle = Handle;
    FSize = Size;
    FSectorSize = SectorSize;
    FKernelName = std::move(KernelName);
    FPath = String(Path);
    return {};
}

void TRawVolume::Close()
{
    if (FHandle >= 0)
        ::close(FHandle);
    FHandle = -1;
    FSize = 0;
    FSectorSize = 512;
    FKernelName.clear();
}

bool TRawVolume::StillPresent() const
{
    if (FKernelName.empty())
        return true;
    struct stat Info { };
    return stat(("/sys/class/block/" + FKernelName).c_str(), &Info) == 0;
}

TRawResult TRawVolume::ReadSectors(Int64 First, Int64 Count, void* Buffer)
{
    Int64 Bytes = 0;
    if (const TRawResult Check = CheckRequest(First, Count, Buffer, Bytes); !Check.Ok())
        return Check;
    auto* Out = static_cast<Byte*>(Buffer);
    const Int64 Offset = First * static_cast<Int64>(FSectorSize);
    // A file's last sector may be partial; its tail reads as zeros.
    const Int64 Wanted = std::min(Bytes, FSize - Offset);
    Int64 Done = 0;
    TRawResult Result;
    while (Done < Wanted) {
        const ssize_t Got = ::pread(FHandle, Out + Done, static_cast<size_t>(Wanted - Done), Offset + Done);
        if (Got < 0) {
            if (errno == EINTR)
                continue;
            Result = RawReadError(errno, StillPresent());
            break;
        }
        if (Got == 0) {
            // The device or file ended before the size it had when opened.
            Result =
                StillPresent() ? TRawResult { RawError::ReadFailed, 0 } : TRawResult { RawError::DeviceGone, ENODEV };
            break;
        }
        Done += Got;
    }
    std::memset(Out + Done, 0, static_cast<size_t>(Bytes - Done));
    return Result;
}
