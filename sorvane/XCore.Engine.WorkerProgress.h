// The recovery program's worker and its progress: nested sections on one
// overall scale of 0 to 1000. A section takes a share of its parent from
// the parent's position and counts in its own units; every change of the
// overall value is sent as TXProgressChangedAspect.
//
//     Progress->BeginSection(u"FAT", 35);     // 0..350
//     Progress->SetMax(Files);  ... Progress->StepIt();
//     Progress->EndSection();                 // 350
#pragma once
#include "core/XCore.Engine.Worker.h"

class TXWorkerProgress;

class TXProgressSection : public TXObject {
    X_CLASS(TXProgressSection, TXObject)
public:
    ~TXProgressSection() override;

    String Title;
    Cardinal Position = 0;
    Cardinal Max = 1000;
    Integer Offset = 0; // overall value where the section starts
    Integer Span = 0; // its share of the overall scale
    Integer ParentEnd = 0; // the parent's position when it ends
    TXProgressSection* Parent = nullptr;
    TXProgressSection* Child = nullptr; // owned
    TXWorkerProgress* Progress = nullptr;

    // Position := min(P, Max); the overall value follows.
    void SetPosition(UInt64 P);
    // 0 changes nothing; the position is cut to the new maximum.
    void SetMax(Cardinal M);
    // The overall value at the section's position.
    Integer OverallAt(UInt64 P) const;
};

class TXWorkerProgress : public TXObservable, public virtual IXProgress {
    X_CLASS(TXWorkerProgress, TXObservable)
    X_INTERFACES(TXWorkerProgress, IXProgress)
public:
    using inherited::Create;
    // Counted interlocked: the worker holds it as its IXProgress.
    void Create(IPtr<IInterface> AHost) override;
    void Init() override;
    ~TXWorkerProgress() override;

    X_FORWARD_IINTERFACE(TXObservable)

    Integer GetPosition() override { return FOverall; }
    void ResetProgress() override;
    void BeginSection(const String& Text, Byte Percent) override;
    void BeginSectionPart(Byte Percent) override { BeginSection(String(), Percent); }
    void BeginUnitSection(const String& Text) override;
    void BeginUnitSectionPart() override { BeginUnitSection(String()); }
    void AddMax(Cardinal Count) override;
    void SetMax(Cardinal Max) override;
    void StepIt() override;
    void StepBy(Cardinal Count) override;
    void SetPercent(Byte Percent) override;
    void SetPerMille(Cardinal Value) override;
    void Reserved() override { }
    void EndSection() override;

    // The overall value never moves back, except to 0; it stays within
    // 0..1000.
    void SetOverall(Integer V);
    TXProgressSection* Root() const { return FRoot; }
    TXProgressSection* Current() const { return FCurrent; }

private:
    Integer FOverall = 0;
    Integer FLastNotified = -1;
    TXProgressSection* FRoot = nullptr;
    TXProgressSection* FCurrent = nullptr;

    TXProgressSection* OpenChild(const String& Text);
};

class TXWorker : public TXCustomWorker {
    X_CLASS(TXWorker, TXCustomWorker)
public:
    void Init() override;
};
