// Progress of long operations as a tree of nested weighted steps.
//
// Each step counts from 0 to its own maximum and covers a slice of the
// overall scale 0..1000; it can open one child step covering a percentage
// of its range (BeginPart) or exactly its next unit (BeginStep). The
// manager keeps the overall position, which only moves forward within a
// run, and posts section, style and position notifications through its
// gear, so a display on the main thread follows an operation running on
// another thread:
//
//     TXProgress* Root = Manager->Start(u"Scanning");
//     Root->SetMax(Count);
//     for (...) { TXProgress* Step = Root->BeginStep(); ...; Step->Finish(); }
//     Root->Finish();
//
// Only the innermost open step should be advanced. Routines that take a
// step accept null and then report nothing.
#pragma once
#include "core/XCore.Engine.Worker.h"
#include "core/XCore.Engine.h"

class TXProgressManager;

class TXProgress : public TXObject {
    X_CLASS(TXProgress, TXObject)
public:
    using inherited::Create;
    // A root step when Parent is null; the manager is taken from Parent.
    virtual void Create(TXProgress* AParent);
    ~TXProgress() override;

    // Position = min(P, Max); reports the overall position to the manager.
    void SetPosition(Cardinal P);
    // 0 is ignored; the position is lowered to a smaller maximum silently.
    void SetMax(Cardinal M);
    void StepIt() { SetPosition(FPosition + 1); }
    void SetPercent(Byte Percent);
    // A child covering Percent (its low seven bits) percent of this step's
    // range from the current position. Finishes and frees an open child
    // first.
    TXProgress* BeginPart(Byte Percent);
    // A child covering exactly this step's next unit.
    TXProgress* BeginStep();
    // Runs this step to its maximum and moves the parent to where the step
    // ends (the root moves the overall position to 1000); the parent
    // becomes the manager's current step.
    void Finish();

    Cardinal Position() const { return FPosition; }
    Cardinal Max() const { return FMax; }
    Cardinal Offset() const { return FOffset; }
    Cardinal Span() const { return FSpan; }
    Cardinal EndInParent() const { return FEndInParent; }
    TXProgress* Parent() const { return FParent; }
    TXProgress* Child() const { return FChild.get(); }
    TXProgressManager* Manager() const { return FManager; }

private:
    friend class TXProgressManager;
    TXProgress* OpenChild();

    Cardinal FPosition = 0;
    Cardinal FMax = 1000;
    Cardinal FOffset = 0;
    Cardinal FSpan = 0;
    Cardinal FEndInParent = 0;
    TXProgress* FParent = nullptr; // borrowed: the parent owns this step
    TOwnedPtr<TXProgress> FChild;
    TXProgressManager* FManager = nullptr; // borrowed
};

// Display styles of Style.
inline constexpr Byte xpsDeterminate = 0;
inline constexpr Byte xpsMarquee = 1;

class TXProgressManager : public TXCustomWorker {
    X_CLASS(TXProgressManager, TXCustomWorker)
public:
    using inherited::Create;
    // Gear carries the notifications (not counted; it owns the manager).
    // Without one they go through the manager's own observable.
    virtual void Create(IXObservable* AGear);
    ~TXProgressManager() override;

    // Starts a run and answers its new root step.
    TXProgress* Start(const String& ASection);
    void SetSection(const String& Value);
    void SetStyle(Byte Value);
    Integer GetPosition() const { return FPosition; }
    // Ignored when P is not 0 and the position is already P or more;
    // values above 1000 count as 1000.
    void SetPosition(Integer P);
    void NotifyPosition();

    const String& Section() const { return FSection; }
    Byte Style() const { return FStyle; }
    bool Running() const { return FRunning; }
    TXProgress* Root() const { return FRoot.get(); }
    TXProgress* Current() const { return FCurrent; }
    IXObservable* Gear() const { return FGear; }

protected:
    void DoTerminated() override;

private:
    friend class TXProgress;
    void Post(IPtr<IXNotification> Notification);

    String FSection;
    Byte FStyle = xpsDeterminate;
    bool FRunning = false;
    Integer FLastNotified = 0;
    Integer FPosition = 0;
    TOwnedPtr<TXProgress> FRoot;
    TXProgress* FCurrent = nullptr; // borrowed: a step of the root's tree
    IXObservable* FGear = nullptr; // borrowed: the gear owns the manager
};

// Carries a manager's notifications. Create it with the application engine
// as host: they are then queued there and reach the gear's subscribers on
// the main thread.
class TXProgressGear : public XCore::Engine::TXGear {
    X_CLASS(TXProgressGear, XCore::Engine::TXGear)
public:
    void Init() override;
    void BeforeDestruction() override;
    TXProgressManager* Manager() const { return FManager.get(); }

private:
    TOwnedPtr<TXProgressManager> FManager;
};
