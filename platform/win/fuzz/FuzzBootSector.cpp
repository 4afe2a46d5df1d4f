#include "rtl/testing/FuzzTarget.h"
#include "win/VolumeInfo.h"
#include <algorithm>
#include <cstring>

namespace {

// The input, then zeros up to 40 MiB (room for the smallest FAT32 volume),
// without holding the zeros.
class TFuzzDevice : public TRawDevice {
    X_CLASS(TFuzzDevice, TRawDevice)
public:
    static constexpr Int64 DeviceSize = Int64(40) << 20;
    const Byte* Data = nullptr;
    Int64 Length = 0;

    TRawResult Open(StringView Path) override
    {
        FPath = String(Path);
        return {};
    }
    void Close() override { }
    bool Active() const override { return true; }
    Int64 Size() const override { return DeviceSize; }
    Cardinal SectorSize() const override { return 512; }
    TRawResult ReadSectors(Int64 First, Int64 Count, void* Buffer) override
    {
        Int64 Bytes = 0;
        if (const TRawResult Check = CheckRequest(First, Count, Buffer, Bytes); !Check.Ok())
            return Check;
        const Int64 From = First * 512;
        const Int64 Copied = std::clamp<Int64>(Length - From, 0, Bytes);
        if (Copied > 0)
            std::memcpy(Buffer, Data + From, size_t(Copied));
        std::memset(static_cast<Byte*>(Buffer) + Copied, 0, size_t(Bytes - Copied));
        return {};
    }
};
X_REGISTER_CLASS(TFuzzDevice)

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    TOwnedPtr<TFuzzDevice> Device(New<TFuzzDevice>());
    Device->Data = Data;
    Device->Length = Int64(Size);
    TVolumeInfo Info;
    ReadVolumeInfo(*Device, Info);
    if (Info.TotalBytes < 0 || Info.FreeClusters > Info.TotalClusters)
        __builtin_trap(); // counts come from the device's own sectors
    return 0;
}

// The start of volumes made by mkfs.fat: the boot sector, the FAT32
// information sector, and the first FAT sectors of the smaller kinds.
void FuzzSeeds(TFuzzSeeds& Seeds)
{
    const std::pair<const char*, std::vector<std::string>> Made[] = {
        { "fat12", { "-F", "12", "-n", "SEED12", "{}", "1440" } },
        { "fat16", { "-F", "16", "-n", "SEED16", "{}", "16384" } },
        { "fat32", { "-F", "32", "-s", "1", "-n", "SEED32", "{}", "40960" } },
    };
    for (const auto& [Name, Args] : Made) {
        std::vector<std::string> Argv { "mkfs.fat", "-C" };
        Argv.insert(Argv.end(), Args.begin(), Args.end());
        Seeds.AddFromTool(Name, Argv, {}, 4096);
    }
}
