// The restore on a worker thread and the two commands that start it: from
// a device opened again, or from the source the last scan left open.
//
//     IPtr<IXCommand> Restore(New<TXDRDiskImageRestoreFilesWorkCommand>(Gear, u"/home/me/Recovered/"));
//     Gear->PostGearMessage(Restore.Get());
#pragma once
#include "sorvane/XDR.Gears.Work.h"

class TXDRRestoreFilesThread : public TXCustomDRThread {
    X_CLASS(TXDRRestoreFilesThread, TXCustomDRThread)
public:
    String TargetFolder;

protected:
    void Execute() override;
    // Without an open source there is no card to read.
    Integer MissingSourceCode() const override { return xecDeviceGone; }
    // A device opened again must be the card that was scanned.
    bool AcceptSource() override;
};

class TXDRDiskRestoreFilesWorkCommand : public TXDRDiskWorkCommand {
    X_CLASS(TXDRDiskRestoreFilesWorkCommand, TXDRDiskWorkCommand)
public:
    using inherited::Create;
    virtual void Create(TXDRWorkerGear* AGear, const String& ASource, Int64 ADiskSize, const String& ATargetFolder);
    TXCustomDRThread* CreateThread() override;
    String TargetFolder;
};

class TXDRDiskImageRestoreFilesWorkCommand : public XDR::Gears::Work::TXDRDiskImageWorkCommand {
    X_CLASS(TXDRDiskImageRestoreFilesWorkCommand, XDR::Gears::Work::TXDRDiskImageWorkCommand)
public:
    using inherited::Create;
    // No source of its own: the thread reads what the last scan opened.
    void Create(TXDRWorkerGear* AGear, const String& ATargetFolder) override;
    TXCustomDRThread* CreateThread() override;
    String TargetFolder;
};
