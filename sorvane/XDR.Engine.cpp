#include "sorvane/XDR.Engine.h"

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
