#include "sorvane/XDR.Engine.h"
#include "rtl/StringList.h"
#include "rtl/TypInfo.h"
#include "sorvane/XCore.IO.Classes.h"
#include "sorvane/XDR.Classes.h"
#include "sorvane/XDR.Work.P.h"
#include <exception>

X_REGISTER_CLASS(TXWorkerGear)

void TXWorkerGear::Create(IPtr<IInterface> AHost, const String& AName)
{
    inherited::Create(AHost, AName);
    FWorker = IPtr<IXWorker>(NewManagedObservable<TXWorker>(Byte(2), AHost));
    FWorker->SubscribeAll(ForwardHandler());
    FForwarding = true;
    if ((FAssembler = AHost.As<IXObservable>()))
        FAssembler->Subscribe(TXAssembleAspect::StaticClass(), AssembleHandler());
}

void TXWorkerGear::BeforeDestruction()
{
    if (IPtr<IXObservable> Assembler = std::move(FAssembler))
        Assembler->UnsubscribeMethod(AssembleHandler());
    DetachWorker();
    FWorker = nullptr;
    inherited::BeforeDestruction();
}

void TXWorkerGear::SetHost(IPtr<IInterface> NewHost)
{
    inherited::SetHost(NewHost);
    if (auto* Worker = DynamicCast<TXObservable>(InterfaceToObject(FWorker.Get())))
        Worker->SetHost(NewHost);
}

void TXWorkerGear::DetachWorker()
{
    if (FWorker && FForwarding)
        FWorker->UnsubscribeMethod(ForwardHandler());
    FForwarding = false;
}

void TXWorkerGear::WorkerNotified(IXNotification* Notification)
{
    Broadcast(Notification);
}

void TXWorkerGear::AssembleReceived(IXNotification*)
{
    Assemble();
}

void TXWorkerGear::ResetWorker()
{
    if (!FWorker)
        return;
    if (auto* Worker = DynamicCast<TXObservable>(InterfaceToObject(FWorker.Get())))
        if (IPtr<IXEngine> Engine = Supports<IXEngine>(InterfaceToObject(Worker->GetHost())))
            Engine->PurgeMessages(Worker);
    FWorker->Reset();
    if (IPtr<IXProgress> Progress = FWorker->GetProgress())
        Progress->ResetProgress();
}

// ---- TXDRDataGear ----

X_REGISTER_CLASS(TXDRDataGear)

void TXDRDataGear::Create(IPtr<IInterface> AHost, const String& AName)
{
    inherited::Create(AHost, AName);
    FExtensions.reset(New<TStringList>());
    FDisk.reset(New<TXDiskAspect>(String(), Byte(1), Int64(0)));
    FFoundFiles.reset(New<TXDRFileCollection>(static_cast<TPersistent*>(nullptr)));
}

TXDRDataGear::~TXDRDataGear() = default;

String TXDRDataGear::DiskName() const
{
    return FDisk->Disk;
}
Int64 TXDRDataGear::DiskSize() const
{
    return FDisk->Size;
}

TStringList* TXDRDataGear::GetExtensions()
{
    if (!Advanced) {
        TOwnedPtr<TXDRFileTypes> All(New<TXDRFileTypes>());
        All->AllExtensions(FExtensions.get());
        return FExtensions.get();
    }
    FExtensions->Clear();
    // The settings are reached through their published FileTypes, so the
    // gear needs nothing of the settings class.
    TObject* Ini = Settings ? InterfaceToObject(Settings.Get()) : nullptr;
    const TPropInfo* Prop = Ini ? GetPropInfo(Ini, u"FileTypes") : nullptr;
    if (auto* Types = Prop ? DynamicCast<TXDRFileTypes>(GetObjectProp(Ini, Prop)) : nullptr)
        Types->GetExtensions(FExtensions.get());
    return FExtensions.get();
}

void TXDRDataGear::Assemble(IXNotification*)
{
    if (FAssembled || !Engine)
        return;
    FAssembled = true;
    if (Engine->WorkerGear)
        Engine->WorkerGear->Subscribe(TXOperationThreadTerminatedAspect::StaticClass(),
            TXNotificationHandler::Of<&TXDRDataGear::StoreResult>(this));
    if (Engine->ViewGear)
        Engine->ViewGear->Subscribe(TXDiskAspect::StaticClass(),
            TXNotificationHandler::Of<&TXDRDataGear::DiskSelected>(this));
}

void TXDRDataGear::StoreResult(IXNotification* Notification)
{
    auto* Ended = Notification ? DynamicCast<TXOperationThreadTerminatedAspect>(Notification->GetAspect()) : nullptr;
    if (!Ended)
        return;
    if (Ended->Name == u"Scan" || Ended->Name == u"DeepScan")
        ScanResult = Ended->ErrorData;
    else if (Ended->Name == u"ImageFile")
        ImageResult = Ended->ErrorData;
    else if (Ended->Name == u"Restore")
        RestoreResult = Ended->ErrorData;
}

void TXDRDataGear::DiskSelected(IXNotification* Notification)
{
    if (auto* Chosen = Notification ? DynamicCast<TXDiskAspect>(Notification->GetAspect()) : nullptr) {
        FDisk->Disk = Chosen->Disk;
        FDisk->Size = Chosen->Size;
        FDisk->Flag = Chosen->Flag;
    }
}

// ---- TXDRViewGear ----

X_REGISTER_CLASS(TXDRViewGear)

void TXDRViewGear::Create(IPtr<IInterface> AHost, const String& AName)
{
    inherited::Create(AHost, AName);
    FExtensionNames.reset(New<TStringList>());
    for (int I = 0; I < 3; ++I)
        FExtensionNames->Add(String());
    for (const char16_t* E : ImageExtensions)
        FExtensionNames->Add(E);
    for (const char16_t* E : VideoExtensions)
        FExtensionNames->Add(E);
    for (const char16_t* E : AudioExtensions)
        FExtensionNames->Add(E);
}

TXDRViewGear::~TXDRViewGear() = default;

void TXDRViewGear::Assemble(IXNotification*)
{
    if (FAssembled || !Engine || !Engine->WorkerGear)
        return;
    FAssembled = true;
    const auto Handler = TXNotificationHandler::Of<&TXDRViewGear::Relay>(this);
    for (TClass C :
        { TXProgressAspect::StaticClass(), TXDRAddFileAspect::StaticClass(), TXLogClearAspect::StaticClass(),
            TXLogStringAspect::StaticClass(), TXOperationThreadTerminatedAspect::StaticClass() })
        Engine->WorkerGear->Subscribe(C, Handler);
}

void TXDRViewGear::Relay(IXNotification* Notification)
{
    Broadcast(Notification);
}

// ---- TXDREngine ----

X_REGISTER_CLASS(TXDREngine)

void TXDREngine::Init()
{
    inherited::Init();
    // Failing critical errors without a system message box has no
    // counterpart here: device errors already come back as error codes.
    FOldCodeSets = GetXErrorData();
    TXErrorData Raise;
    Raise.RaiseSet = XErrorCodeBit(xecCancelled) | XErrorCodeBit(xecDeviceGone);
    SetXErrorCodeSets(Raise);
}

void TXDREngine::CreateGears(TXDRDataGear* (*NewData)(IPtr<IInterface>), TXDRViewGear* (*NewView)(IPtr<IInterface>),
    TXWorkerGear* (*NewWorker)(IPtr<IInterface>))
{
    IPtr<IInterface> Self(static_cast<IXEngine*>(this));
    const TClass Assemble = TXAssembleAspect::StaticClass();
    DataGear.reset(NewData(Self));
    DataGear->Engine = this;
    Subscribe(Assemble, TXNotificationHandler::Of<&TXDRDataGear::Assemble>(DataGear.get()));
    ViewGear.reset(NewView(Self));
    ViewGear->Engine = this;
    Subscribe(Assemble, TXNotificationHandler::Of<&TXDRViewGear::Assemble>(ViewGear.get()));
    ViewGear->Subscribe(TXDRAction::StaticClass(), TXNotificationHandler::Of<&TXDREngine::ActionReceived>(this));
    // The worker gear subscribes its own Assemble when it is created.
    WorkerGear.reset(NewWorker(Self));
}

void TXDREngine::ActionReceived(IXNotification* Notification)
{
    if (auto* Action = Notification ? DynamicCast<TXDRAction>(Notification->GetAspect()) : nullptr)
        DoAction(Action);
}

void TXDREngine::BeforeDestruction()
{
    // No gear hears from the engine or another gear from here on.
    XCore::Engine::TXGear* Gears[] = { DataGear.get(), ViewGear.get(), WorkerGear.get() };
    for (XCore::Engine::TXGear* G : Gears)
        if (G) {
            UnsubscribeObject(static_cast<IXGear*>(G));
            for (XCore::Engine::TXGear* Other : Gears)
                if (Other && Other != G)
                    Other->UnsubscribeObject(static_cast<IXGear*>(G));
            G->UnsubscribeObject(static_cast<IXEngine*>(this));
        }
    // Every gear goes even when one raises; the first exception follows.
    std::exception_ptr First;
    auto FreeGear = [&First](auto& Owned) {
        // Held for the caller, not turned into a code: the engine's owner
        // decides what a failed free means.
        // Not reset(): a unique_ptr's deleter must not raise.
        try {
            if (auto* Gear = Owned.release())
                Gear->Free();
        } catch (...) {
            if (!First)
                First = std::current_exception();
        }
    };
    FreeGear(WorkerGear);
    FreeGear(DataGear);
    FreeGear(ViewGear);
    SetXErrorCodeSets(FOldCodeSets);
    inherited::BeforeDestruction();
    if (First)
        std::rethrow_exception(First);
}
