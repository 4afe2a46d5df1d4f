// The work data, the generic worker thread and gear, the thread base of
// the recovery program, its worker gear and the work commands. The scan
// threads are in XDR.Gears.Work.Scan.cpp.
#include "sorvane/XDR.Gears.Work.h"
#include "rtl/StrUtils.h"
#include "rtl/Verify.h"
#include "core/XCode.Trek.h"
#include "sorvane/XCore.Services.h"
#include <system_error>

X_REGISTER_CLASS(TXDRData)
X_REGISTER_CLASS(TXCustomDRThread)
X_REGISTER_CLASS(TXDRWorkerGear)
X_REGISTER_CLASS(TXDRWorkCommand)
X_REGISTER_CLASS(TXDRDiskWorkCommand)
X_REGISTER_CLASS(TXDRDiskDeepScanWorkCommand)
X_REGISTER_CLASS(TXDRDiskImageDeepScanWorkCommand)

// ---- TXDRThreadErrorRecord ----

TXDRThreadErrorRecord::TXDRThreadErrorRecord()
    : FThreadID(GetCurrentThreadId())
{
    AddXErrorThread(FThreadID);
    ClearXError();
    TXErrorData CodeSets;
    CodeSets.RaiseSet = XErrorCodeBit(xecCancelled) | XErrorCodeBit(xecDeviceGone);
    SetXErrorCodeSets(CodeSets);
}

TXDRThreadErrorRecord::~TXDRThreadErrorRecord()
{
    RemoveXErrorThread(FThreadID);
}

// ---- TXDRData ----

void TXDRData::Create()
{
    // Made first: the inherited construction clears the data.
    FExtensions = MakeOwned<TStringList>();
    FExtensions->SetSorted(true);
    FExtensions->SetDuplicates(dupIgnore);
    FImageIO = MakeOwned<TXFileDiskIO>(nullptr);
    FDiskIO = MakeOwned<TXDiskIO>(nullptr);
    FFATDisk = MakeOwned<TXDRFATDisk>();
    FUsedBlocks = MakeOwned<TXBlocks>();
    inherited::Create();
}

void TXDRData::Clear()
{
    Source = nullptr;
    if (FImageIO)
        FImageIO->Close();
    if (FDiskIO)
        FDiskIO->Close();
    if (FFATDisk)
        FFATDisk->Clear();
}

// ---- TXWorkerThread<T> ----

template<class T>
void TXWorkerThread<T>::Create(TThreadNotifyEvent AOnTerminate, T* AData, IPtr<IXWorker> AWorker)
{
    inherited::Create(true);
    FWorker = std::move(AWorker);
    Data = AData;
    SetOnTerminate(std::move(AOnTerminate));
    InitThread();
    if (FWorker)
        FWorker->Subscribe(TXOperationTerminatedAspect::StaticClass(), TerminatedHandler());
}

template<class T>
void TXWorkerThread<T>::BeforeDestruction()
{
    ReleaseWorker();
    inherited::BeforeDestruction();
}

template<class T>
IPtr<IXWorker> TXWorkerThread<T>::Worker() const
{
    std::lock_guard Guard(FWorkerLock);
    return FWorker;
}

template<class T>
void TXWorkerThread<T>::Unsubscribe(IXWorker* AWorker)
{
    AWorker->UnsubscribeMethod(TerminatedHandler());
}

template<class T>
void TXWorkerThread<T>::ReleaseWorker()
{
    IPtr<IXWorker> Released;
    {
        std::lock_guard Guard(FWorkerLock);
        Released = std::move(FWorker);
    }
    if (Released)
        Unsubscribe(Released.Get());
}

template<class T>
void TXWorkerThread<T>::TerminatedSet()
{
    inherited::TerminatedSet();
    // Not under the lock: the worker's list may be busy with a broadcast
    // on the thread, which can itself ask to terminate.
    IPtr<IXWorker> W = Worker();
    if (!W)
        return;
    W->UnsubscribeMethod(TerminatedHandler());
    if (!W->GetTerminated()) {
        TXErrorData Result;
        W->GetErrorData(Result);
        W->Terminate(Result);
    }
}

template<class T>
void TXWorkerThread<T>::OperationTerminatedReceived(IXNotification*)
{
    if (!Terminated())
        Terminate();
}

// ---- TXThreadWorkerGear<T> ----

template<class T>
void TXThreadWorkerGear<T>::Create(IPtr<IInterface> AHost, const String& AName)
{
    FLink = std::make_shared<TXThreadWorkerGear*>(this);
    FData = MakeOwned<T>();
    inherited::Create(AHost, AName);
}

template<class T>
void TXThreadWorkerGear<T>::BeforeDestruction()
{
    if (FLink)
        *FLink = nullptr;
    DetachWorker();
    if (TXWorkerThread<T>* Running = std::exchange(FThread, nullptr)) {
        // The thread object lives until its end handler has run, which
        // happens on this thread: taking its signal here is safe.
        std::shared_ptr<TThreadEnd> End = Running->EndSignal();
        if (IXWorker* W = Worker(); W && !W->GetTerminated())
            W->Cancel();
        Running->Terminate();
        End->WaitFor();
    }
    inherited::BeforeDestruction();
}

template<class T>
TThreadNotifyEvent TXThreadWorkerGear<T>::TerminateHandler()
{
    return [Link = FLink](TObject* Sender) {
        if (TXThreadWorkerGear* Gear = *Link)
            Gear->ThreadTerminated(Sender);
    };
}

template<class T>
void TXThreadWorkerGear<T>::StartThread(TXWorkerThread<T>* AThread)
{
    X_VERIFY(AThread && !FThread, "one worker thread at a time");
    FThread = AThread;
    try {
        AThread->Start();
    } catch (const std::system_error&) { // no thread could be made
        FThread = nullptr;
        AThread->Free();
        throw;
    }
}

template<class T>
void TXThreadWorkerGear<T>::ThreadTerminated(TObject* Sender)
{
    if (Sender == FThread)
        FThread = nullptr;
    auto* Ended = DynamicCast<TXWorkerThread<T>>(Sender);
    if (Ended && Ended->Silent)
        return;
    // Held: a subscriber may free the gear during the broadcast.
    IPtr<IXWorker> W(Worker());
    if (!W)
        return;
    TXErrorData Result;
    W->GetErrorData(Result);
    W->Broadcast(NewNotification(New<TXOperationThreadTerminatedAspect>(W->GetName(), Result)).Get());
}

template class TXWorkerThread<TXDRData>;
template class TXThreadWorkerGear<TXDRData>;

// ---- TXCustomDRThread ----

void TXCustomDRThread::InitThread()
{
    inherited::InitThread();
    SetFreeOnTerminate(true);
}

bool TXCustomDRThread::OpenSource()
{
    ClearXError();
    TXDRData* D = Data;
    bool Ok;
    if (!HasSource) {
        Ok = D->Source && D->Source->Stream();
        if (!Ok)
            SetXError(MissingSourceCode(), 0, ImageFileName, false);
    } else {
        const String Name = DeviceName.empty() ? ImageFileName : DeviceName;
        Ok = XGuarded(xecOpenFailed, false, [&] {
            if (D->Source)
                D->Source->Close();
            if (!DeviceName.empty()) {
                D->Source = D->DiskIO();
                if (!D->DiskIO()->Open(DeviceName, xofRead))
                    return false;
                if (DeviceSize != 0) {
                    D->DiskIO()->Info.DiskSize = DeviceSize;
                    D->DiskIO()->Stream()->SetSize(DeviceSize);
                }
                if (D->DiskIO()->Info.DiskSize == 0)
                    SetXError(xecDeviceGone, 0, DeviceName, false);
            } else {
                D->Source = D->ImageIO();
                if (!D->ImageIO()->Open(ImageFileName, xofRead))
                    return false;
            }
            return AcceptSource();
        });
        // An open that failed without saying why still fails the work.
        if (!Ok && GetXErrorCode() == 0)
            SetXError(xecOpenFailed, 0, Name, false);
        Ok = Ok && D->Source && D->Source->Stream();
    }
    if (Ok)
        if (auto* Disk = DynamicCast<TXBufDiskStream>(D->Source->Stream()))
            Disk->OnSlowRead = [this](TObject* Sender, Cardinal Ms) { ReportSlowRead(Sender, Ms); };
    if (GetXErrorCode() != 0)
        if (IPtr<IXWorker> W = Worker()) {
            const TXErrorData E = GetXErrorData();
            W->Terminate(TXErrorData::Create(E.Code, E.SubCode, E.Text));
        }
    return Ok;
}

void TXCustomDRThread::DetachSource()
{
    if (Data->Source)
        if (TXCustomBufStream* Stream = Data->Source->Stream()) {
            Stream->OnSlowRead = nullptr;
            Stream->OnFill = nullptr;
        }
}

void TXCustomDRThread::ReportSlowRead(TObject*, Cardinal Milliseconds)
{
    if (CodeTrekEnabled())
        CodeTrek()->Add(u"Timeout " + UIntToStr(Milliseconds));
    if (IsAppTerminated())
        return;
    if (IPtr<IXWorker> W = Worker())
        W->PostNotification(
            NewNotification(New<TXTimeElapsedTicks>(Integer(std::min<Cardinal>(Milliseconds, 0x7FFFFFFF)))).Get());
}

void TXCustomDRThread::FinishFromRecord()
{
    IPtr<IXWorker> W = Worker();
    if (!W)
        return;
    const TXErrorData E = GetXErrorData();
    switch (E.Code) {
    case xecNone:
    case xecDeviceReadEnd:
    case xecSeekFailed:
    case xecReadPastEnd:
    case xecReadFailed: W->Terminate(TXErrorData {}); break;
    default: W->Terminate(TXErrorData::Create(E.Code, E.SubCode, E.Text));
    }
}

// ---- TXDRWorkerGear ----

void TXDRWorkerGear::HandleMessage(IXCommand* Command)
{
    auto* Work = DynamicCast<TXDRWorkCommand>(InterfaceToObject(Command));
    if (!Work) {
        inherited::HandleMessage(Command);
        return;
    }
    IPtr<IXCommand> Held(Command);
    Work->Execute();
    StallWatch = DynamicCast<TXDRDiskDeepScanWorkCommand>(Work) != nullptr;
}

void TXDRWorkerGear::BeforeDestruction()
{
    if (Engine && Engine->ViewGear)
        Engine->ViewGear->UnsubscribeMethod(TXNotificationHandler::Of<&TXDRWorkerGear::CancelReceived>(this));
    inherited::BeforeDestruction();
}

void TXDRWorkerGear::Assemble()
{
    inherited::Assemble();
    if (FAssembled)
        return;
    FAssembled = true;
    Engine = DynamicCast<TXDREngine>(InterfaceToObject(GetHost()));
    if (Engine && Engine->ViewGear)
        Engine->ViewGear->Subscribe(TXActionCancelAspect::StaticClass(),
            TXNotificationHandler::Of<&TXDRWorkerGear::CancelReceived>(this));
    if (Engine && Engine->DataGear)
        Data()->FoundFiles = Engine->DataGear->FoundFiles();
    Subscribe(TXTimeElapsedTicks::StaticClass(), TXNotificationHandler::Of<&TXDRWorkerGear::TicksReceived>(this));
    Subscribe(TXOperationTerminatedAspect::StaticClass(),
        TXNotificationHandler::Of<&TXDRWorkerGear::OperationTerminated>(this));
}

// The cancel that the view gear's notice leaves in the engine's queue.
class TXDRCancelWorkCommand : public TXCommand {
    X_CLASS(TXDRCancelWorkCommand, TXCommand)
public:
    using inherited::Create;
    void Create(TXDRWorkerGear* AGear)
    {
        inherited::Create();
        Gear = AGear;
    }
    void Execute() override { Gear->CancelWork(); }

    TXDRWorkerGear* Gear = nullptr; // not owned
};

X_REGISTER_CLASS(TXDRCancelWorkCommand)

void TXDRWorkerGear::CancelReceived(IXNotification* Notification)
{
    if (!Notification || !DynamicCast<TXActionCancelAspect>(Notification->GetAspect()))
        return;
    IPtr<IXCommand> Cancel(New<TXDRCancelWorkCommand>(this));
    PostGearMessage(Cancel.Get());
}

void TXDRWorkerGear::CancelWork()
{
    IXWorker* W = Worker();
    if (!W)
        return;
    StallWatch = false;
    // A worker that has finished keeps its result.
    if (!W->GetTerminated())
        W->Cancel();
    if (FThread)
        FThread->Terminate();
}

void TXDRWorkerGear::TicksReceived(IXNotification* Notification)
{
    auto* Ticks = Notification ? DynamicCast<TXTimeElapsedTicks>(Notification->GetAspect()) : nullptr;
    if (!Ticks)
        return;
    IXWorker* W = Worker();
    // The watch acts once per operation. The engine has no stall question
    // to ask yet, so a stall only ends the watch.
    if (StallWatch && W && !W->GetTerminated() && Ticks->Ticks > xStallMs)
        StallWatch = false;
}

void TXDRWorkerGear::OperationTerminated(IXNotification*)
{
    StallWatch = false;
}

// ---- work commands ----

void ClearFoundFiles(TXDRData* Data)
{
    if (TXDRFileCollection* Files = Data->FoundFiles) {
        TMonitorLock Lock(Files);
        Files->Clear();
    }
}

void TXDRWorkCommand::Create(TXDRWorkerGear* AGear, const String& ASource)
{
    inherited::Create();
    Gear = AGear;
    Source = ASource;
}

void TXDRWorkCommand::Execute()
{
    if (!Gear || Gear->Thread())
        return;
    // What the last thread posted and the main thread has not seen yet goes
    // first: it may name found files that are about to be cleared. The
    // worker starts afresh here, so a cancel given as soon as the thread
    // runs is not undone by the thread.
    Gear->ResetWorker();
    if (Gear->Engine && Gear->Engine->DataGear)
        Gear->Data()->Extensions()->Assign(Gear->Engine->DataGear->GetExtensions());
    PrepareData(Gear->Data());
    TXCustomDRThread* Thread = CreateThread();
    if (Thread)
        Gear->StartThread(Thread);
}

void TXDRDiskWorkCommand::Create(TXDRWorkerGear* AGear, const String& ASource, Int64 ADiskSize)
{
    inherited::Create(AGear, ASource);
    DiskSize = ADiskSize;
}

TXCustomDRThread* TXDRDiskDeepScanWorkCommand::CreateThread()
{
    auto* Thread = NewThread<TXDRDeepScanThread>();
    Thread->DeviceName = Source;
    Thread->DeviceSize = DiskSize;
    Thread->ImageFileName.clear();
    Thread->HasSource = !Source.empty();
    return Thread;
}

TXCustomDRThread* TXDRDiskImageDeepScanWorkCommand::CreateThread()
{
    auto* Thread = NewThread<TXDRDeepScanThread>();
    Thread->ImageFileName = Source;
    Thread->DeviceName.clear();
    Thread->DeviceSize = 0;
    Thread->HasSource = !Source.empty();
    return Thread;
}
