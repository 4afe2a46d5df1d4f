// The long operations of the recovery program on worker threads: the work
// data they share, the generic worker thread and gear, the deep scan, and
// the work commands that start them.
//
//     IPtr<IXCommand> Scan(New<TXDRDiskImageDeepScanWorkCommand>(Gear, u"card.bin"));
//     Gear->PostGearMessage(Scan.Get());      // the gear starts the thread
//     ... TXOperationThreadTerminatedAspect on the gear: the scan has ended
//
// One thread runs at a time; a command given while it runs does nothing.
// A thread reports through the gear's worker: found files, progress and
// slow reads are posted and reach the gear's subscribers on the main
// thread; the end is broadcast there once, from the thread's end handler.
// Each thread keeps its own error record while it works (raising for 1
// and 11), and the operation's result comes from it.
#pragma once
#include "rtl/StringList.h"
#include "rtl/Threads.h"
#include "sorvane/XCore.IO.Classes.h"
#include "sorvane/XCore.Search.h"
#include "sorvane/XDR.Classes.h"
#include "sorvane/XDR.Engine.h"
#include "sorvane/XDR.Gears.Work.F.h"
#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>

// A device read longer than this (milliseconds) counts as a stall.
inline constexpr Integer xStallMs = 3000;

// The calling worker thread's own error record while this lives, raising
// for the codes 1 and 11, so that a check on the thread stops its work
// when the device is gone and a clear on the main thread changes nothing.
class TXDRThreadErrorRecord {
public:
    TXDRThreadErrorRecord();
    ~TXDRThreadErrorRecord();
    TXDRThreadErrorRecord(const TXDRThreadErrorRecord&) = delete;
    TXDRThreadErrorRecord& operator=(const TXDRThreadErrorRecord&) = delete;

private:
    TThreadID FThreadID;
};

// ---- work data ----

class TXDRData : public TXPersistent {
    X_CLASS(TXDRData, TXPersistent)
public:
    void Create() override;
    // No source; both sources closed; the FAT listing emptied.
    void Clear() override;

    // The run time of the last scan (a date-time difference).
    double Elapsed = 0;
    // Sorted, without duplicates: the lower-case extensions, with their
    // dot, of the file types to keep.
    TStringList* Extensions() const { return FExtensions.get(); }
    // ImageIO, DiskIO or none.
    TXCustomDiskIO* Source = nullptr;
    TXFileDiskIO* ImageIO() const { return FImageIO.get(); }
    TXDiskIO* DiskIO() const { return FDiskIO.get(); }
    TXDRFATDisk* FATDisk() const { return FFATDisk.get(); }
    TXBlocks* UsedBlocks() const { return FUsedBlocks.get(); }
    // The engine's found files (not owned). The worker thread adds to it
    // and the main thread reads it: both hold its monitor meanwhile.
    TXDRFileCollection* FoundFiles = nullptr;

    // The device the found files come from, as the scan saw it, so that a
    // restore that opens the device again reads the same card.
    String ScannedDevice;
    Int64 ScannedSize = -1;
    Cardinal ScannedSerial = 0;

private:
    TOwnedPtr<TStringList> FExtensions;
    TOwnedPtr<TXFileDiskIO> FImageIO;
    TOwnedPtr<TXDiskIO> FDiskIO;
    TOwnedPtr<TXDRFATDisk> FFATDisk;
    TOwnedPtr<TXBlocks> FUsedBlocks;
};

// ---- generic thread and gear ----

// A thread that works for a gear's worker on the gear's data.
template<class T>
class TXWorkerThread : public TThread {
    X_CLASS_TEMPLATE(TXWorkerThread, TThread, u"TXWorkerThread<T>")
public:
    using inherited::Create;
    // Suspended; OnTerminate runs on the main thread when the body ends.
    virtual void Create(TThreadNotifyEvent AOnTerminate, T* AData, IPtr<IXWorker> AWorker);
    void BeforeDestruction() override;

    // The gear's worker; null once the body has ended.
    IPtr<IXWorker> Worker() const;
    T* Data = nullptr;
    // Set when the thread ends without the end broadcast (the application
    // is closing).
    std::atomic<bool> Silent { false };

protected:
    virtual void InitThread() { }
    // Ends the thread's subscriptions on Worker (descendants add theirs).
    virtual void Unsubscribe(IXWorker* AWorker);
    // A terminate request finishes a worker that is still running.
    void TerminatedSet() override;
    // The body's last step: the thread lets go of the worker, so nothing
    // of the gear's is touched once the end handler has run.
    void ReleaseWorker();

private:
    mutable std::mutex FWorkerLock;
    IPtr<IXWorker> FWorker;

    void OperationTerminatedReceived(IXNotification* Notification);
    TXNotificationHandler TerminatedHandler()
    {
        return TXNotificationHandler::Of<&TXWorkerThread::OperationTerminatedReceived>(this);
    }
};

// A worker gear that runs one thread at a time on data it owns.
template<class T>
class TXThreadWorkerGear : public TXWorkerGear {
    X_CLASS_TEMPLATE(TXThreadWorkerGear, TXWorkerGear, u"TXThreadWorkerGear<T>")
public:
    using inherited::Create;
    void Create(IPtr<IInterface> AHost, const String& AName) override;
    // A running thread is cancelled, told to terminate and waited for
    // before the data goes; its end handler is detached first.
    void BeforeDestruction() override;

    TXWorkerThread<T>* Thread() const { return FThread; }
    T* Data() const { return FData.get(); }

    // The end handler to give a new thread (main thread).
    TThreadNotifyEvent TerminateHandler();
    // Starts a thread made by CreateThread (main thread); the gear runs
    // it until its end handler has run.
    void StartThread(TXWorkerThread<T>* AThread);
    // Sets Thread to none and broadcasts TXOperationThreadTerminatedAspect
    // through the worker (main thread).
    virtual void ThreadTerminated(TObject* Sender);

protected:
    TXWorkerThread<T>* FThread = nullptr;

private:
    TOwnedPtr<T> FData;
    // The end handler reaches the gear through this, so that a gear gone
    // first is never called.
    std::shared_ptr<TXThreadWorkerGear*> FLink;
};

extern template class TXWorkerThread<TXDRData>;
extern template class TXThreadWorkerGear<TXDRData>;

// ---- threads ----

class TXCustomDRThread : public TXWorkerThread<TXDRData> {
    X_CLASS(TXCustomDRThread, TXWorkerThread<TXDRData>)
public:
    // "Scan", "DeepScan", "Restore" or "ImageFile".
    String OperationName;
    // The thread opens its source itself; otherwise it works on
    // Data->Source as it is.
    bool HasSource = false;
    String ImageFileName;
    String DeviceName;
    // The size the user gave for the device; 0 for none.
    Int64 DeviceSize = 0;

    // Opens the source: False unless its stream is open. A code left in
    // the error record finishes the worker.
    bool OpenSource();
    // A device read took Milliseconds (worker thread).
    void ReportSlowRead(TObject* Sender, Cardinal Milliseconds);

protected:
    void InitThread() override;
    // The code of an operation that finds no open source to work on.
    virtual Integer MissingSourceCode() const { return xecFileNotFound; }
    // Checks the source just opened by name; False refuses it (with the
    // code in the error record).
    virtual bool AcceptSource() { return true; }
    // Finishes the worker from the error record: the codes that count as
    // success finish it with no error.
    void FinishFromRecord();
    // The source's stream calls nothing of the thread any more.
    void DetachSource();
};

class TXCustomDRScanThread : public TXCustomDRThread {
    X_CLASS(TXCustomDRScanThread, TXCustomDRThread)
public:
    void AfterConstruction() override;

    TXSearch* Search() const { return FSearch.get(); }
    // Names the nameless finds of one scan.
    Integer FoundCount = 0;

protected:
    void InitThread() override;
    void Execute() override;
    void Unsubscribe(IXWorker* AWorker) override;
    bool AcceptSource() override;
    virtual void DoScan() { }
    // The stop check: the application closes or the worker has ended.
    bool Stopped();

private:
    TOwnedPtr<TXSearch> FSearch;
    // The block lists of the files kept so far, by their hash, for the
    // duplicate test of deleted entries.
    std::unordered_multimap<size_t, Integer> FKeptBlocks;

    void FoundFileReceived(IXNotification* Notification);
    bool BlocksKept(TXDRFileCollection* Files, TXBlocks* Blocks);
    TXNotificationHandler FoundHandler()
    {
        return TXNotificationHandler::Of<&TXCustomDRScanThread::FoundFileReceived>(this);
    }
};

class TXDRDeepScanThread : public TXCustomDRScanThread {
    X_CLASS(TXDRDeepScanThread, TXCustomDRScanThread)
public:
    // The end of the range being scanned, for the read progress.
    Int64 ScanEnd = 0;

protected:
    void DoScan() override;
    // The signature scan of 0..End, outside the used blocks when there
    // are any.
    void ScanRange(Int64 End);
    void ReadProgress(Int64 Offset);
};

// ---- the gear ----

class TXDRWorkCommand;

class TXDRWorkerGear : public TXThreadWorkerGear<TXDRData> {
    X_CLASS(TXDRWorkerGear, TXThreadWorkerGear<TXDRData>)
public:
    // Work commands run at once; anything else as any gear runs it.
    void HandleMessage(IXCommand* Command) override;
    // Leaves the engine's view gear, which may stay.
    void BeforeDestruction() override;
    // Subscribes the gear to its own slow-read ticks and end notices.
    void Assemble() override;

    // A cancel heard from the view gear: carried out from the engine's
    // queue (CancelWork), never inside the view gear's broadcast. Observer
    // lists are taken in one order: the worker's, the worker gear's, the
    // view gear's (how the worker's notifications reach the view).
    void CancelReceived(IXNotification* Notification);
    // Cancels the worker and terminates the running thread.
    void CancelWork();
    void TicksReceived(IXNotification* Notification);
    void OperationTerminated(IXNotification* Notification);

    // Watches for a device that stalls: set by a deep scan of a device,
    // cleared by the first read over 3000 ms and by the end of the work.
    // Read and cleared on the worker thread too.
    std::atomic<bool> StallWatch { false };
    // The engine hosting the gear, once assembled; none for a gear
    // hosted elsewhere (its data is then filled in by its owner).
    TXDREngine* Engine = nullptr;

private:
    bool FAssembled = false;
};

// ---- work commands ----

class TXDRWorkCommand : public TXCommand {
    X_CLASS(TXDRWorkCommand, TXCommand)
public:
    using inherited::Create;
    virtual void Create(TXDRWorkerGear* AGear, const String& ASource);

    // Starts the command's thread unless the gear runs one.
    void Execute() override;
    // A new suspended thread, or null (the base makes none).
    virtual TXCustomDRThread* CreateThread() { return nullptr; }

    TXDRWorkerGear* Gear = nullptr; // not owned
    String Source;

protected:
    // Readies the gear's data before the thread starts (main thread).
    virtual void PrepareData(TXDRData*) { }
    // A thread of class T with the gear's end handler, data and worker.
    template<class T>
    T* NewThread()
    {
        return New<T>(Gear->TerminateHandler(), Gear->Data(), IPtr<IXWorker>(Gear->Worker()));
    }
};

class TXDRDiskWorkCommand : public TXDRWorkCommand {
    X_CLASS(TXDRDiskWorkCommand, TXDRWorkCommand)
public:
    using inherited::Create;
    virtual void Create(TXDRWorkerGear* AGear, const String& ASource, Int64 ADiskSize);
    Int64 DiskSize = 0;
};

namespace XDR::Gears::Work {
// A scan or restore whose source is a card image file.
class TXDRDiskImageWorkCommand : public TXDRWorkCommand {
    X_CLASS_TEMPLATE(TXDRDiskImageWorkCommand, TXDRWorkCommand, u"XDR.Gears.Work.TXDRDiskImageWorkCommand")
};
}

// A scan starts from an empty list of found files.
void ClearFoundFiles(TXDRData* Data);

class TXDRDiskDeepScanWorkCommand : public TXDRDiskWorkCommand {
    X_CLASS(TXDRDiskDeepScanWorkCommand, TXDRDiskWorkCommand)
public:
    TXCustomDRThread* CreateThread() override;

protected:
    void PrepareData(TXDRData* Data) override { ClearFoundFiles(Data); }
};

class TXDRDiskImageDeepScanWorkCommand : public XDR::Gears::Work::TXDRDiskImageWorkCommand {
    X_CLASS(TXDRDiskImageDeepScanWorkCommand, XDR::Gears::Work::TXDRDiskImageWorkCommand)
public:
    TXCustomDRThread* CreateThread() override;

protected:
    void PrepareData(TXDRData* Data) override { ClearFoundFiles(Data); }
};
