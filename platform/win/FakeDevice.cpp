#include "win/FakeDevice.h"
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

X_REGISTER_CLASS(TFakeDevice)

void TFakeDevice::Create(RawBytes Image, Cardinal SectorSize)
{
    inherited::Create();
    if (SectorSize < 512 || SectorSize > 4096 || (SectorSize & (SectorSize - 1)) != 0)
        throw EArgumentOutOfRangeException(RtlText::ArgumentOutOfRange);
    FImage = std::move(Image);
    FSectorSize = SectorSize;
}

TRawResult TFakeDevice::Open(StringView Path)
{
    FActive = false;
    if (Vanished())
        return { RawError::DeviceGone, ENODEV };
    if (!FOpenResult.Ok())
        return FOpenResult;
    if (FImage.empty())
        return { RawError::DeviceGone, 0 };
    FPath = String(Path);
    FActive = true;
    return {};
}

void TFakeDevice::FailSector(Int64 Sector, int Errno)
{
    FBadSectors[Sector] = Errno;
}

void TFakeDevice::SlowSectors(Int64 First, Int64 Count, Cardinal Milliseconds)
{
    FSlow.push_back({ First, Count, Milliseconds });
}

TRawResult TFakeDevice::ReadSectors(Int64 First, Int64 Count, void* Buffer)
{
    Int64 Bytes = 0;
    if (const TRawResult Check = CheckRequest(First, Count, Buffer, Bytes); !Check.Ok())
        return Check;
    auto* Out = static_cast<Byte*>(Buffer);
    ++FReadCount;
    if (Vanished()) {
        std::memset(Out, 0, static_cast<size_t>(Bytes));
        return { RawError::DeviceGone, ENODEV };
    }
    if (FReadsLeft > 0)
        --FReadsLeft;

    // Reported before the result, as a slow read that fails is still slow.
    FLastReadDelay = 0;
    for (const TSlowRange& Range : FSlow)
        if (Range.Count > 0 && Range.First < First + Count &&
            (First <= Range.First || First - Range.First < Range.Count))
            FLastReadDelay = std::max(FLastReadDelay, Range.Milliseconds);
    if (FLastReadDelay > 0 && OnDelay)
        OnDelay(FLastReadDelay);

    // Like a real device, the sectors before a bad one arrive; the rest do not.
    Int64 Good = Count;
    int Errno = 0;
    if (const auto Bad = FBadSectors.lower_bound(First); Bad != FBadSectors.end() && Bad->first < First + Count) {
        Good = Bad->first - First;
        Errno = Bad->second;
    }
    const Int64 Offset = First * static_cast<Int64>(FSectorSize);
    const Int64 Available = static_cast<Int64>(FImage.size()) - Offset;
    const Int64 Copied = std::max<Int64>(0, std::min(Good * static_cast<Int64>(FSectorSize), Available));
    std::memcpy(Out, FImage.data() + Offset, static_cast<size_t>(Copied));
    std::memset(Out + Copied, 0, static_cast<size_t>(Bytes - Copied));
    return Errno ? RawReadError(Errno, true) : TRawResult {};
}

// --- registered stand-ins ---------------------------------------------------

namespace {

std::mutex& RegistryLock()
{
    static auto* Lock = new std::mutex;
    return *Lock;
}

std::map<String, TFakeDevice*>& Registry()
{
    static auto* Map = new std::map<String, TFakeDevice*>;
    return *Map;
}

TFakeDevice* Registered(StringView Name)
{
    std::lock_guard Guard(RegistryLock());
    auto It = Registry().find(String(Name));
    return It == Registry().end() ? nullptr : It->second;
}

// What a stream owns in place of a real volume: it opens, reads and closes
// the registered device, which it does not own.
class TFakeDeviceView : public TRawDevice {
    X_CLASS(TFakeDeviceView, TRawDevice)
public:
    using inherited::Create;
    void Create(TFakeDevice* ADevice)
    {
        inherited::Create();
        FDevice = ADevice;
    }
    TRawResult Open(StringView Path) override
    {
        FPath = String(Path);
        return FDevice->Open(Path);
    }
    void Close() override { FDevice->Close(); }
    bool Active() const override { return FDevice->Active(); }
    Int64 Size() const override { return FDevice->Size(); }
    Cardinal SectorSize() const override { return FDevice->SectorSize(); }
    TRawResult ReadSectors(Int64 First, Int64 Count, void* Buffer) override
    {
        return FDevice->ReadSectors(First, Count, Buffer);
    }

private:
    TFakeDevice* FDevice = nullptr;
};

TRawDevice* FakeDeviceHook(StringView Path)
{
    String Name(Path);
    // A device path given with a trailing "/" names the same device.
    while (Name.size() > 1 && Name.back() == u'/')
        Name.pop_back();
    TFakeDevice* Device = Registered(Name);
    return Device ? New<TFakeDeviceView>(Device) : nullptr;
}

} // namespace

X_REGISTER_CLASS(TFakeDeviceView)

TFakeDeviceRegistration::TFakeDeviceRegistration(const String& Name, TFakeDevice* Device)
    : FName(Name)
{
    {
        std::lock_guard Guard(RegistryLock());
        Registry()[FName] = Device;
    }
    SetRawDeviceHook(&FakeDeviceHook);
}

TFakeDeviceRegistration::~TFakeDeviceRegistration()
{
    std::lock_guard Guard(RegistryLock());
    Registry().erase(FName);
}

void TFakeDeviceRegistration::Replace(TFakeDevice* Device)
{
    std::lock_guard Guard(RegistryLock());
    Registry()[FName] = Device;
}
