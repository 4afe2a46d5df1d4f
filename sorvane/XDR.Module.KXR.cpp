#include "sorvane/XDR.Module.KXR.h"
#include "sorvane/XDR.Classes.h"
#include "sorvane/XDR.Gears.Work.I.h"
#include "sorvane/XDR.Gears.Work.R.h"

X_REGISTER_CLASS(TXKXRDataGear)
X_REGISTER_CLASS(TXKXRViewGear)
X_REGISTER_CLASS(TXKXREngine)

void TXKXREngine::DoAction(TXDRAction* Action)
{
    auto* Gear = DynamicCast<TXDRWorkerGear>(WorkerGear.get());
    if (!Gear || !Action)
        return;
    TXDRDataGear* D = DataGear.get();
    const bool FromImage = D->Action == 2;
    TXDRWorkCommand* Command = nullptr;
    if (DynamicCast<TXDRActionImageFile>(Action))
        Command =
            New<XDR::Gears::Work::I::TXDRDiskImageWorkCommand>(Gear, D->DiskName(), D->DiskSize(), D->ImageFileName);
    else if (DynamicCast<TXDRActionDeepScan>(Action))
        Command = FromImage
            ? static_cast<TXDRWorkCommand*>(New<TXDRDiskImageDeepScanWorkCommand>(Gear, D->ImageFileName))
            : New<TXDRDiskDeepScanWorkCommand>(Gear, D->DiskName(), D->DiskSize());
    else if (DynamicCast<TXDRActionRestoreFiles>(Action))
        Command = FromImage
            ? static_cast<TXDRWorkCommand*>(New<TXDRDiskImageRestoreFilesWorkCommand>(Gear, D->RestoreFolder))
            : New<TXDRDiskRestoreFilesWorkCommand>(Gear, D->DiskName(), D->DiskSize(), D->RestoreFolder);
    if (!Command)
        return;
    // Run from the engine's queue: the action comes inside the view gear's
    // broadcast, and the command takes the worker's observer list, which
    // is never taken after the view gear's.
    IPtr<IXCommand> Held(Command);
    Gear->PostGearMessage(Held.Get());
}

TXKXREngine* CreateKXREngine(TXKXRIni* Settings, IPtr<IInterface> Skin)
{
    TOwnedPtr<TXKXREngine> Engine(New<TXKXREngine>());
    if (Settings)
        Engine->DataGear->Settings = IPtr<IInterface>(static_cast<IXIni*>(Settings));
    Engine->ViewGear->Skin = std::move(Skin);
    Engine->Broadcast(NewNotification(New<TXAssembleAspect>()).Get());
    return Engine.release();
}
