// The recovery engine's worker gear: a gear with a worker whose
// notifications it passes on to its own subscribers, so that the engine's
// other gears follow every operation through the one gear.
//
//     auto* Gear = New<TXDRWorkerGear>(EngineHost, u"Worker");
//     Gear->Subscribe(TXOperationThreadTerminatedAspect::StaticClass(), Handler);
//
// The gear wires the rest of its subscriptions when its host engine
// announces that it is complete (TXAssembleAspect).
#pragma once
#include "core/XCore.Engine.h"
#include "sorvane/XCore.Engine.WorkerProgress.h"

class TXWorkerGear : public XCore::Engine::TXGear {
    X_CLASS(TXWorkerGear, XCore::Engine::TXGear)
public:
    using inherited::Create;
    // The worker is counted interlocked and hosted by AHost, so that what
    // it posts from a worker thread is delivered on the host's thread.
    void Create(IPtr<IInterface> AHost, const String& AName) override;
    void BeforeDestruction() override;
    // The worker follows the gear to its new host.
    void SetHost(IPtr<IInterface> NewHost) override;

    IXWorker* Worker() const { return FWorker.Get(); }
    // Before new work (main thread): drops what the worker posted and was
    // not delivered yet, and resets the worker and its progress.
    void ResetWorker();
    // Wires the gear's subscriptions once the engine is complete.
    virtual void Assemble() { }

protected:
    // Ends the forwarding of the worker's notifications (idempotent).
    void DetachWorker();

private:
    IPtr<IXWorker> FWorker;
    IPtr<IXObservable> FAssembler;
    bool FForwarding = false;

    void WorkerNotified(IXNotification* Notification);
    void AssembleReceived(IXNotification* Notification);
    TXNotificationHandler ForwardHandler() { return TXNotificationHandler::Of<&TXWorkerGear::WorkerNotified>(this); }
    TXNotificationHandler AssembleHandler() { return TXNotificationHandler::Of<&TXWorkerGear::AssembleReceived>(this); }
};
