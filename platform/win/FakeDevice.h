// An in-memory volume that stands in for a real device in tests: it can
// refuse to open, fail chosen sectors, vanish after a number of reads, and
// read slowly. Slowness is not slept: each read's delay is handed to
// OnDelay (a test advances its manual clock there) and kept in
// LastReadDelay.
#pragma once
#include "win/RawVolume.h"
#include <functional>
#include <map>

class TFakeDevice : public TRawDevice {
    X_CLASS(TFakeDevice, TRawDevice)
    using TDelayEvent = std::function<void(Cardinal Milliseconds)>;

    void Create(RawBytes Image, Cardinal SectorSize = 512);

    TRawResult Open(StringView Path) override;
    void Close() override { FActive = false; }
    bool Active() const override { return FActive; }
    Int64 Size() const override { return static_cast<Int64>(FImage.size()); }
    Cardinal SectorSize() const override { return FSectorSize; }
    TRawResult ReadSectors(Int64 First, Int64 Count, void* Buffer) override;

    RawBytes& Image() { return FImage; }
    // The next opens answer Result (10 for a refused device, 11 for a missing one).
    void FailOpen(TRawResult Result) { FOpenResult = Result; }
    // Reads that touch Sector fail with the code of Errno (EIO: code 44).
    void FailSector(Int64 Sector, int Errno);
    // After Reads more reads the device is gone: reads and opens answer 11.
    void VanishAfter(Integer Reads) { FReadsLeft = Reads; }
    bool Vanished() const { return FReadsLeft == 0; }
    // Reads that touch sectors First .. First + Count - 1 take Milliseconds.
    void SlowSectors(Int64 First, Int64 Count, Cardinal Milliseconds);

    TDelayEvent OnDelay;
    Cardinal LastReadDelay() const { return FLastReadDelay; }
    Integer ReadCount() const { return FReadCount; }

private:
    struct TSlowRange {
        Int64 First;
        Int64 Count;
        Cardinal Milliseconds;
    };
    RawBytes FImage;
    Cardinal FSectorSize = 512;
    bool FActive = false;
    TRawResult FOpenResult;
    std::map<Int64, int> FBadSectors;
    std::vector<TSlowRange> FSlow;
    Integer FReadsLeft = -1; // -1: never vanishes
    Cardinal FLastReadDelay = 0;
    Integer FReadCount = 0;
};

// While it lives, opening Name as a recovery source (NewRawDevice) reads
// Device, which stays the caller's and must outlive the registration and
// every stream opened meanwhile.
class TFakeDeviceRegistration {
public:
    TFakeDeviceRegistration(const String& Name, TFakeDevice* Device);
    ~TFakeDeviceRegistration();
    TFakeDeviceRegistration(const TFakeDeviceRegistration&) = delete;
    TFakeDeviceRegistration& operator=(const TFakeDeviceRegistration&) = delete;

    // Another device under the same name from now on (a card swapped).
    void Replace(TFakeDevice* Device);

private:
    String FName;
};
