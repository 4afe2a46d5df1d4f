// The card image copy on a worker thread: the device is read cluster by
// cluster into a card image file, the volume information is appended as
// its trailer, and what happened is posted as log lines. A cluster that
// cannot be read is handled as the user chooses in the read-error dialog.
//
//     IPtr<IXCommand> Copy(New<XDR::Gears::Work::I::TXDRDiskImageWorkCommand>(Gear, u"/dev/sdb1", 0, u"card.bin"));
//     Gear->PostGearMessage(Copy.Get());
#pragma once
#include "sorvane/XDR.Gears.Work.h"
#include <functional>

// Cluster sizes above this cannot come from a real volume: a copy refuses
// them before it makes its buffer.
inline constexpr Int64 xMaxImageClusterSize = Int64(32) << 20;

// What the read-error dialog asks and answers. The thread shows it on the
// main thread; the show step is a hook that the user interface sets (tests
// script it). Without a hook the dialog answers as its defaults would:
// ignore all errors unless another choice was made before.
class TXDRClusterErrorDialog : public TObject {
    X_CLASS(TXDRClusterErrorDialog, TObject)
public:
    using TShowHook = std::function<void(TXDRClusterErrorDialog& Dialog)>;

    // 0 nothing chosen yet, 1 ignore all errors, 2 skip this cluster,
    // 3 skip SkipCount clusters, 4 finish reading.
    Byte Choice = 0;
    Int64 SkipCount = 10;
    // The failed cluster, counted from 1.
    Int64 ClusterNumber = 0;
    Int64 TotalClusters = 0;
    Int64 ClusterSize = 0;

    // Runs the show hook (main thread); afterwards Choice is 1..4 and
    // SkipCount at least 1. Answers 1 (OK).
    Integer ShowModalForm();

    // The hook of every dialog from now on (main thread); none for the
    // defaults. Answers the previous one.
    static TShowHook SetShowHook(TShowHook Hook);
};

class TXDRDiskImageThread : public TXCustomDRThread {
    X_CLASS(TXDRDiskImageThread, TXCustomDRThread)
public:
    TXDRClusterErrorDialog* ErrorDialog() const { return FErrorDialog.get(); }
    String LogLine;
    String TargetFileName;

    // Posts LogLine through the worker and clears it.
    void PostLog();
    // Runs the dialog on the main thread while this thread waits.
    void ShowErrorDialog();

protected:
    void InitThread() override;
    void Execute() override;

private:
    TOwnedPtr<TXDRClusterErrorDialog> FErrorDialog;
    // The failed clusters not logged yet (indexes from 0; -1 for none).
    Int64 FFirstFailed = -1;
    Int64 FLastFailed = -1;
    Int64 FIndex = 0;

    void Copy(IXWorker* W);
    void WriteErrorRange();
    bool Stopped(IXWorker* W);
};

namespace XDR::Gears::Work::I {
// Copies the device Source into the card image file TargetFileName.
class TXDRDiskImageWorkCommand : public TXDRDiskWorkCommand {
    X_CLASS_TEMPLATE(TXDRDiskImageWorkCommand, TXDRDiskWorkCommand, u"XDR.Gears.Work.I.TXDRDiskImageWorkCommand")
public:
    using inherited::Create;
    virtual void Create(TXDRWorkerGear* AGear, const String& ASource, Int64 ADiskSize, const String& ATargetFileName);
    TXCustomDRThread* CreateThread() override;
    String TargetFileName;
};
}

// The language texts of the copy's log.
namespace XDRImageWords {
inline constexpr Cardinal Started = 2181097166u; // "...%s..."
inline constexpr Cardinal SkippedClusters = 2181039062u;
inline constexpr Cardinal FailedCluster = 2181040145u;
inline constexpr Cardinal FailedClusters = 2181059441u;
inline constexpr Cardinal Done = 2248176157u;
inline constexpr Cardinal LastCluster = 2181078020u;
inline constexpr Cardinal Cancelled = 2248172134u;
inline constexpr Cardinal Error = 2164265694u;
inline constexpr Cardinal DeviceGone = 2248207101u;
}
