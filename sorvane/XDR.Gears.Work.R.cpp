#include "sorvane/XDR.Gears.Work.R.h"
#include "win/RawVolume.h"
#include "sorvane/XDR.Work.R.h"

X_REGISTER_CLASS(TXDRRestoreFilesThread)
X_REGISTER_CLASS(TXDRDiskRestoreFilesWorkCommand)
X_REGISTER_CLASS(TXDRDiskImageRestoreFilesWorkCommand)

bool TXDRRestoreFilesThread::AcceptSource()
{
    if (DeviceName.empty())
        return true;
    auto* Disk = DynamicCast<TXBufDiskStream>(Data->DiskIO()->Stream());
    const bool Same = Disk && Data->ScannedDevice == DeviceName && Data->ScannedSize == Disk->Device()->Size() &&
        Data->ScannedSerial == Data->DiskIO()->Info.VolumeSerial;
    if (Same)
        return true;
    // Another card under the same name: its bytes are not the found files'.
    Data->DiskIO()->Close();
    Data->Source = nullptr;
    SetXError(xecDeviceGone, 0, DeviceName, false);
    return false;
}

void TXDRRestoreFilesThread::Execute()
{
    TXDRThreadErrorRecord Record;
    IPtr<IXWorker> W = Worker();
    if (!W)
        return;
    OperationName = u"Restore";
    W->SetName(OperationName);
    ClearXError();
    // A failure that carries no code of its own (out of memory, say)
    // must not end the work as a success.
    XGuarded(xecUnspecified, false, [&] {
        if (!OpenSource())
            return;
        // Files written onto the card being recovered would overwrite the
        // very clusters they are read from.
        auto* Disk = DynamicCast<TXDiskIO>(Data->Source);
        if (Disk && FolderOnDevice(TargetFolder, Disk->Path())) {
            SetXError(xecWriteFailed, 0, TargetFolder, false);
            return;
        }
        RestoreFiles(TargetFolder, Data->FoundFiles, Data->Source->Stream(), W.Get());
    });
    DetachSource();
    FinishFromRecord();
    ReleaseWorker();
}

void TXDRDiskRestoreFilesWorkCommand::Create(TXDRWorkerGear* AGear, const String& ASource, Int64 ADiskSize,
    const String& ATargetFolder)
{
    inherited::Create(AGear, ASource, ADiskSize);
    TargetFolder = ATargetFolder;
}

TXCustomDRThread* TXDRDiskRestoreFilesWorkCommand::CreateThread()
{
    auto* Thread = NewThread<TXDRRestoreFilesThread>();
    Thread->DeviceName = Source;
    Thread->DeviceSize = DiskSize;
    Thread->ImageFileName.clear();
    Thread->TargetFolder = TargetFolder;
    Thread->HasSource = !Source.empty();
    return Thread;
}

void TXDRDiskImageRestoreFilesWorkCommand::Create(TXDRWorkerGear* AGear, const String& ATargetFolder)
{
    inherited::Create(AGear, String());
    TargetFolder = ATargetFolder;
}

TXCustomDRThread* TXDRDiskImageRestoreFilesWorkCommand::CreateThread()
{
    auto* Thread = NewThread<TXDRRestoreFilesThread>();
    Thread->TargetFolder = TargetFolder;
    Thread->ImageFileName = Source;
    Thread->DeviceName.clear();
    Thread->DeviceSize = 0;
    Thread->HasSource = !Source.empty();
    return Thread;
}
