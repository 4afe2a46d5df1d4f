#include "core/XCore.Engine.Progress.h"
#include <algorithm>
#include <cmath>

X_REGISTER_CLASS(TXProgress)
X_REGISTER_CLASS(TXProgressManager)
X_REGISTER_CLASS(TXProgressGear)

namespace {
// A * B / C with the product in 64 bits, rounded half to even.
Cardinal MulDivRound(UInt64 A, UInt64 B, UInt64 C)
{
    if (C == 0)
        return 0;
    const double Q = std::nearbyint(static_cast<double>(A * B) / static_cast<double>(C));
    return Q >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<Cardinal>(Q);
}
}

// ---- TXProgress ----

void TXProgress::Create(TXProgress* AParent)
{
    FParent = AParent;
    if (AParent)
        FManager = AParent->FManager;
    inherited::Create();
}

TXProgress::~TXProgress()
{
    // The child goes first: it hands the manager's current step back to
    // this one, which then hands it on to its own parent.
    FChild.reset();
    if (FManager && FManager->FCurrent == this)
        FManager->FCurrent = FParent;
}

void TXProgress::SetPosition(Cardinal P)
{
    FPosition = std::min(P, FMax);
    if (FManager)
        FManager->SetPosition(
            static_cast<Integer>(std::min<UInt64>(UInt64(FOffset) + MulDivRound(FSpan, FPosition, FMax), 0x7FFFFFFF)));
}

void TXProgress::SetMax(Cardinal M)
{
    if (M == 0)
        return;
    FMax = M;
    FPosition = std::min(FPosition, FMax);
}

void TXProgress::SetPercent(Byte Percent)
{
    SetPosition(MulDivRound(Percent, FMax, 100));
}

TXProgress* TXProgress::OpenChild()
{
    if (FChild) {
        FChild->Finish();
        FChild.reset();
    }
    FChild = MakeOwned<TXProgress>(this);
    FChild->FOffset = FOffset + MulDivRound(FSpan, FPosition, FMax);
    return FChild.get();
}

TXProgress* TXProgress::BeginPart(Byte Percent)
{
    const Cardinal P = Percent & 127;
    TXProgress* Child = OpenChild();
    Child->FEndInParent = FPosition + MulDivRound(P, FMax, 100);
    Child->FSpan = MulDivRound(P, FSpan, 100);
    if (FManager)
        FManager->FCurrent = Child;
    return Child;
}

TXProgress* TXProgress::BeginStep()
{
    TXProgress* Child = OpenChild();
    Child->FEndInParent = FPosition + 1;
    Child->FSpan = MulDivRound(FSpan, 1, FMax);
    if (FManager)
        FManager->FCurrent = Child;
    return Child;
}

void TXProgress::Finish()
{
    SetPosition(FMax);
    if (FParent)
        FParent->SetPosition(FEndInParent);
    else if (FManager)
        FManager->SetPosition(1000);
    FChild.reset();
    if (FManager)
        FManager->FCurrent = FParent;
}

// ---- TXProgressManager ----

void TXProgressManager::Create(IXObservable* AGear)
{
    FGear = AGear;
    inherited::Create(nullptr);
}

TXProgressManager::~TXProgressManager()
{
    // The steps reach back into the manager as they go, so they go while
    // it is whole.
    FCurrent = nullptr;
    FRoot.reset();
}

void TXProgressManager::Post(IPtr<IXNotification> Notification)
{
    if (FGear)
        FGear->PostNotification(Notification.Get());
    else
        PostNotification(Notification.Get());
}

TXProgress* TXProgressManager::Start(const String& ASection)
{
    FCurrent = nullptr;
    FRoot.reset();
    FRunning = true;
    Reset();
    FRoot = MakeOwned<TXProgress>(static_cast<TXProgress*>(nullptr));
    FRoot->FManager = this;
    FRoot->FOffset = 0;
    FRoot->FSpan = 1000;
    FCurrent = FRoot.get();
    if (ASection != FSection)
        SetSection(ASection);
    else
        Post(NewNotification(New<TXProgressSectionChangedAspect>(FSection), this));
    Post(NewNotification(New<TXProgressStyleChangedAspect>(FStyle), this));
    if (FPosition != FLastNotified) {
        FLastNotified = FPosition;
        Post(NewNotification(New<TXProgressChangedAspect>(FPosition), this));
    }
    return FRoot.get();
}

void TXProgressManager::SetSection(const String& Value)
{
    if (Value == FSection)
        return;
    FSection = Value;
    Post(NewNotification(New<TXProgressSectionChangedAspect>(FSection), this));
}

void TXProgressManager::SetStyle(Byte Value)
{
    if (Value == FStyle)
        return;
    FStyle = Value;
    Post(NewNotification(New<TXProgressStyleChangedAspect>(FStyle), this));
}

void TXProgressManager::SetPosition(Integer P)
{
    // A step wider than its parent's range (a part above 100 percent) or a
    // parent advanced past its open child would report beyond the scale.
    P = std::clamp<Integer>(P, 0, 1000);
    if (P != 0 && FPosition >= P)
        return;
    FPosition = P;
    NotifyPosition();
}

void TXProgressManager::NotifyPosition()
{
    if (FPosition == FLastNotified)
        return;
    FLastNotified = FPosition;
    Post(NewNotification(New<TXProgressChangedAspect>(FPosition), this));
}

void TXProgressManager::DoTerminated()
{
    FRunning = false;
    inherited::DoTerminated();
}

// ---- TXProgressGear ----

void TXProgressGear::Init()
{
    inherited::Init();
    FManager = MakeOwned<TXProgressManager>(static_cast<IXObservable*>(this));
}

void TXProgressGear::BeforeDestruction()
{
    // The manager posts through this gear: it goes before the gear's teardown.
    FManager.reset();
    inherited::BeforeDestruction();
}
