#include "sorvane/XCore.Engine.WorkerProgress.h"
#include <algorithm>
#include <cmath>
#include <limits>

X_REGISTER_CLASS(TXProgressSection)
X_REGISTER_CLASS(TXWorkerProgress)
X_REGISTER_CLASS(TXWorker)

namespace {
constexpr Integer FullScale = 1000;

// To the nearest integer, halves to even.
Integer Rnd(double X)
{
    X = std::nearbyint(X);
    return Integer(
        std::clamp(X, double(std::numeric_limits<Integer>::min()), double(std::numeric_limits<Integer>::max())));
}

Cardinal ToCardinal(UInt64 V)
{
    return Cardinal(std::min<UInt64>(V, std::numeric_limits<Cardinal>::max()));
}
}

// --- TXProgressSection ----------------------------------------------------------

TXProgressSection::~TXProgressSection()
{
    FreeAndNil(Child);
}

Integer TXProgressSection::OverallAt(UInt64 P) const
{
    return Rnd(double(Span) * double(P) / double(Max)) + Offset;
}

void TXProgressSection::SetPosition(UInt64 P)
{
    Position = ToCardinal(std::min<UInt64>(P, Max));
    if (Progress)
        Progress->SetOverall(OverallAt(Position));
}

void TXProgressSection::SetMax(Cardinal M)
{
    if (M == 0)
        return;
    Max = M;
    Position = std::min(Position, Max);
}

// --- TXWorkerProgress -------------------------------------------------------------

void TXWorkerProgress::Create(IPtr<IInterface> AHost)
{
    CreateManaged(2, std::move(AHost));
}

void TXWorkerProgress::Init()
{
    inherited::Init();
    FRoot = New<TXProgressSection>();
    FRoot->Progress = this;
    FRoot->Span = FullScale;
    FCurrent = FRoot;
}

TXWorkerProgress::~TXWorkerProgress()
{
    FreeAndNil(FRoot);
}

void TXWorkerProgress::SetOverall(Integer V)
{
    V = std::clamp(V, 0, FullScale);
    if (V != 0 && V <= FOverall)
        return;
    FOverall = V;
    if (V != FLastNotified) {
        FLastNotified = V;
        PostNotification(NewNotification(New<TXProgressChangedAspect>(V), this).Get());
    }
}

void TXWorkerProgress::ResetProgress()
{
    FOverall = 0;
    FLastNotified = -1;
    FRoot->Position = 0;
    FreeAndNil(FRoot->Child);
    FCurrent = FRoot;
}

TXProgressSection* TXWorkerProgress::OpenChild(const String& Text)
{
    TXProgressSection* C = FCurrent;
    FreeAndNil(C->Child);
    auto* S = New<TXProgressSection>();
    S->Title = Text;
    S->Parent = C;
    S->Progress = this;
    S->Offset = C->OverallAt(C->Position);
    C->Child = S;
    FCurrent = S;
    return S;
}

void TXWorkerProgress::BeginSection(const String& Text, Byte Percent)
{
    TXProgressSection* C = FCurrent;
    TXProgressSection* S = OpenChild(Text);
    S->ParentEnd = Integer(std::min<Int64>(Int64(Rnd(double(Percent) * double(C->Max) / 100.0)) + C->Position,
        std::numeric_limits<Integer>::max()));
    // The scale ends at 1000: a share beyond it is cut.
    S->Span = std::clamp(Rnd(double(Percent) * double(C->Span) / 100.0), 0, FullScale - S->Offset);
}

void TXWorkerProgress::BeginUnitSection(const String& Text)
{
    TXProgressSection* C = FCurrent;
    const UInt64 Unit = C->Position;
    TXProgressSection* S = OpenChild(Text);
    S->ParentEnd = Integer(std::min<UInt64>(Unit + 1, std::numeric_limits<Integer>::max()));
    // The step covers its own unit only: from where the parent stands to
    // where its next position puts it. Were it to span from the parent's
    // start, early units would run ahead and the last ones show nothing.
    const Integer Span = C->OverallAt(std::min<UInt64>(Unit + 1, C->Max)) - S->Offset;
    S->Span = std::clamp(Span, 0, std::max(FullScale - S->Offset, 0));
}

void TXWorkerProgress::AddMax(Cardinal Count)
{
    if (Count == 0)
        return;
    TXProgressSection* C = FCurrent;
    const UInt64 NewMax = std::min<UInt64>(UInt64(Count) + C->Max, std::numeric_limits<Cardinal>::max());
    C->SetPosition(UInt64(std::max(Rnd(double(C->Position) * double(NewMax) / double(C->Max)), 0)));
    C->SetMax(Cardinal(NewMax));
}

void TXWorkerProgress::SetMax(Cardinal Max)
{
    if (Max == 0)
        return;
    TXProgressSection* C = FCurrent;
    C->SetMax(Max);
    if (Max < C->Position)
        C->SetPosition(Max);
}

void TXWorkerProgress::StepIt()
{
    FCurrent->SetPosition(UInt64(FCurrent->Position) + 1);
}

void TXWorkerProgress::StepBy(Cardinal Count)
{
    if (Count != 0)
        FCurrent->SetPosition(UInt64(FCurrent->Position) + Count);
}

void TXWorkerProgress::SetPercent(Byte Percent)
{
    FCurrent->SetPosition(UInt64(Rnd(double(Percent) * double(FCurrent->Max) * 0.01)));
}

void TXWorkerProgress::SetPerMille(Cardinal Value)
{
    FCurrent->SetPosition(UInt64(std::max(Rnd(double(Value) * double(FCurrent->Max) * 0.001), 0)));
}

void TXWorkerProgress::EndSection()
{
    TXProgressSection* C = FCurrent;
    C->SetPosition(C->Max);
    if (!C->Parent) {
        SetOverall(FullScale);
        return;
    }
    TXProgressSection* P = C->Parent;
    P->SetPosition(UInt64(std::max(C->ParentEnd, 0)));
    FCurrent = P;
    FreeAndNil(P->Child);
}

// --- TXWorker ---------------------------------------------------------------------

void TXWorker::Init()
{
    inherited::Init();
    FProgress = IPtr<IXProgress>(New<TXWorkerProgress>(IPtr<IInterface>()));
}
