// Workers: the observable face of one long operation.
//
// A worker has a name, a progress object, a terminated flag and the error
// record the operation ended with. Whatever its progress object notifies is
// re-posted on the worker, so observers of the worker see progress through
// the worker's host engine, on the engine's thread, even when the
// operation runs on another thread. The end of the operation is broadcast
// at once on the calling thread:
//
//     Worker->Subscribe(TXTaskTerminatedAspect::StaticClass(), Handler);
//     ... the operation ...
//     Worker->Terminate(TXErrorData::Create(0, 0, {}));
#pragma once
#include "core/XCore.Engine.Aspects.h"
#include "core/XCore.Engine.Observers.h"
#include "core/XCore.Errors.h"
#include <atomic>

// Progress as nested sections on the scale 0..1000.
struct IXProgress : virtual IXObservable {
    X_GUID("{9629854F-687C-48C9-B834-011214A23A34}")
    // The overall position, 0..1000.
    virtual Integer GetPosition() = 0;
    // Position 0; the outermost section is current again, nested ones are
    // dropped.
    virtual void ResetProgress() = 0;
    // A nested section covering Percent of the current section's range
    // from its position.
    virtual void BeginSection(const String& Text, Byte Percent) = 0;
    virtual void BeginSectionPart(Byte Percent) = 0;
    // A nested section covering the current section's next unit.
    virtual void BeginUnitSection(const String& Text) = 0;
    virtual void BeginUnitSectionPart() = 0;
    // Count 0 (and Max 0) change nothing.
    virtual void AddMax(Cardinal Count) = 0;
    virtual void SetMax(Cardinal Max) = 0;
    virtual void StepIt() = 0;
    virtual void StepBy(Cardinal Count) = 0;
    virtual void SetPercent(Byte Percent) = 0;
    // The position becomes Value thousandths of the maximum.
    virtual void SetPerMille(Cardinal Value) = 0;
    // Does nothing in every implementation; kept for the layout.
    virtual void Reserved() = 0;
    virtual void EndSection() = 0;
};

// A section of Progress opened for a scope and ended however it is left.
class TXProgressScope {
public:
    TXProgressScope(IXProgress* AProgress, Byte Percent)
        : Progress(AProgress)
    {
        Progress->BeginSection(String(), Percent);
    }
    ~TXProgressScope() { Progress->EndSection(); }
    TXProgressScope(const TXProgressScope&) = delete;
    TXProgressScope& operator=(const TXProgressScope&) = delete;

private:
    IXProgress* Progress;
};

// The default progress: position 0, every other operation does nothing.
class TXEmptyProgress : public TXObservable, public virtual IXProgress {
    X_CLASS(TXEmptyProgress, TXObservable)
    X_INTERFACES(TXEmptyProgress, IXProgress)
public:
    Integer GetPosition() override { return 0; }
    void ResetProgress() override { }
    void BeginSection(const String&, Byte) override { }
    void BeginSectionPart(Byte) override { }
    void BeginUnitSection(const String&) override { }
    void BeginUnitSectionPart() override { }
    void AddMax(Cardinal) override { }
    void SetMax(Cardinal) override { }
    void StepIt() override { }
    void StepBy(Cardinal) override { }
    void SetPercent(Byte) override { }
    void SetPerMille(Cardinal) override { }
    void Reserved() override { }
    void EndSection() override { }
};

// The shared empty progress; exists while the unit is initialised.
TXEmptyProgress* EmptyProgress();

struct IXWorker : virtual IXObservable {
    X_GUID("{F8750091-49E0-49BC-B3F6-CE3BACF87C85}")
    virtual String GetName() = 0;
    virtual void SetName(const String& Value) = 0;
    virtual bool GetTerminated() = 0;
    // Terminated with the error code 1.
    virtual bool GetCancelled() = 0;
    virtual void GetErrorData(TXErrorData& Data) = 0;
    virtual IPtr<IXProgress> GetProgress() = 0;
    virtual void Reset() = 0;
    virtual void Terminate(const TXErrorData& Data) = 0;
    virtual void Cancel() = 0;
};

// The error code of a cancelled operation.

// The worker ended, successfully or not.
class TXTaskTerminatedAspect : public TXCustomAspect {
    X_CLASS(TXTaskTerminatedAspect, TXCustomAspect)
};

// Terminated is read by the operation's thread while the main thread
// cancels, so it is atomic; the error record is guarded by the worker's
// monitor.
class TXCustomWorker : public TXObservable, public virtual IXWorker {
    X_CLASS(TXCustomWorker, TXObservable)
    X_INTERFACES(TXCustomWorker, IXWorker)
public:
    // A descendant that brings its own progress stores it in FProgress in
    // its Init, after the inherited one.
    void Init() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;

    String GetName() override;
    void SetName(const String& Value) override;
    bool GetTerminated() override { return FTerminated.load(); }
    bool GetCancelled() override;
    void GetErrorData(TXErrorData& Data) override;
    IPtr<IXProgress> GetProgress() override { return FProgress; }
    void Reset() override;
    void Terminate(const TXErrorData& Data) override;
    void Cancel() override;

protected:
    // Runs when the worker ends, before its notifications.
    virtual void DoTerminated() { }
    IPtr<IXProgress> FProgress;

private:
    void ProgressNotified(IXNotification* Notification);
    TXNotificationHandler ForwardHandler();
    void BroadcastNew(IPtr<IXNotification> Notification);

    String FName;
    std::atomic<bool> FTerminated { false };
    TXErrorData FErrorData;
    IPtr<IXProgress> FSubscribed;
};
