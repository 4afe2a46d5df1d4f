#include "core/XCore.Engine.Worker.h"
#include "rtl/Units.h"

X_REGISTER_CLASS(TXEmptyProgress)
X_REGISTER_CLASS(TXTaskTerminatedAspect)
X_REGISTER_CLASS(TXCustomWorker)

namespace {
TXEmptyProgress* GEmptyProgress = nullptr;

void InitWorker()
{
    GEmptyProgress = New<TXEmptyProgress>();
}

void DoneWorker()
{
    FreeAndNil(GEmptyProgress);
}
}

X_UNIT(XCore_Engine_Worker, "XCore.Engine.Worker", ({ "XCore.Classes", "XCore.Errors" }), &InitWorker, &DoneWorker)

TXEmptyProgress* EmptyProgress()
{
    return GEmptyProgress;
}

void TXCustomWorker::Init()
{
    inherited::Init();
    FProgress = IPtr<IXProgress>(GEmptyProgress);
}

void TXCustomWorker::AfterConstruction()
{
    inherited::AfterConstruction();
    if (FProgress) {
        FProgress->SubscribeAll(ForwardHandler());
        FSubscribed = FProgress;
    }
}

void TXCustomWorker::BeforeDestruction()
{
    if (IPtr<IXProgress> Progress = std::move(FSubscribed))
        Progress->UnsubscribeMethod(ForwardHandler());
    inherited::BeforeDestruction();
}

TXNotificationHandler TXCustomWorker::ForwardHandler()
{
    return TXNotificationHandler::Of<&TXCustomWorker::ProgressNotified>(this);
}

// With a host engine the notification is queued there and reaches the
// worker's observers on the engine's thread; without one it is broadcast
// at once.
void TXCustomWorker::ProgressNotified(IXNotification* Notification)
{
    PostNotification(Notification);
}

String TXCustomWorker::GetName()
{
    TMonitorLock Guard(this);
    return FName;
}

void TXCustomWorker::SetName(const String& Value)
{
    TMonitorLock Guard(this);
    FName = Value;
}

bool TXCustomWorker::GetCancelled()
{
    TMonitorLock Guard(this);
    return FTerminated.load() && FErrorData.Code == xecCancelled;
}

void TXCustomWorker::GetErrorData(TXErrorData& Data)
{
    TMonitorLock Guard(this);
    Data = FErrorData;
}

void TXCustomWorker::Reset()
{
    TMonitorLock Guard(this);
    FTerminated = false;
    FErrorData.Clear();
}

void TXCustomWorker::BroadcastNew(IPtr<IXNotification> Notification)
{
    Broadcast(Notification.Get());
}

void TXCustomWorker::Terminate(const TXErrorData& Data)
{
    String Name;
    TXErrorData Copy;
    {
        TMonitorLock Guard(this);
        // A worker ends once.
        if (FTerminated.load())
            return;
        FErrorData = Data;
        FTerminated = true;
        Name = FName;
        Copy = FErrorData;
    }
    DoTerminated();
    BroadcastNew(NewNotification(New<TXOperationTerminatedAspect>(Name, Copy), this));
    BroadcastNew(NewNotification(New<TXTaskTerminatedAspect>(), this));
}

void TXCustomWorker::Cancel()
{
    {
        TMonitorLock Guard(this);
        FErrorData = TXErrorData::Create(xecCancelled, 0, String());
        FTerminated = true;
    }
    DoTerminated();
    BroadcastNew(NewNotification(New<TXTaskTerminatedAspect>(), this));
}
