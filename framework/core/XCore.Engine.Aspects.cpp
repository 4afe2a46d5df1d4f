#include "core/XCore.Engine.Aspects.h"

X_REGISTER_CLASS(TXCustomAspect)
X_REGISTER_CLASS(AXNotification)

void AXNotification::Create(Byte CountMode, const String& ATopic, TObject* ASender, TXCustomAspect* AAspect)
{
    FAspect.reset(AAspect);
    FTopic = ATopic;
    FSender = ASender;
    // Notifications are made on one thread and released on another once
    // they are posted: plain counting is taken as interlocked.
    CreateManaged(CountMode == 1 ? 2 : CountMode);
}

AXNotification::~AXNotification()
{
    FSender = nullptr;
    FAspect.reset();
}

IXNotification* TXNotificationRec::Init(const String& ATopic, TObject* ASender, TXCustomAspect* AAspect)
{
    Topic = ATopic;
    Sender = ASender;
    Aspect = AAspect;
    return this;
}

HRESULT TXNotificationRec::QueryInterface(const TGUID&, void** Obj)
{
    if (Obj)
        *Obj = nullptr;
    return E_NOINTERFACE;
}

Integer DialogActionOf(Integer Action)
{
    return Action >= 1 && Action <= 10 ? Action : 0;
}

X_REGISTER_CLASS(TXAppTerminateAspect)
X_REGISTER_CLASS(TXAppTerminatedAspect)
X_REGISTER_CLASS(TXAppCustomActivateAspect)
X_REGISTER_CLASS(TXAppOpenAspect)
X_REGISTER_CLASS(TXObjectStateAspect)
X_REGISTER_CLASS(TXDestroyingAspect)
X_REGISTER_CLASS(TXSystemAspect)
X_REGISTER_CLASS(TXSystemTimeChangedAspect)
X_REGISTER_CLASS(TXTimeAspect)
X_REGISTER_CLASS(TXTimeExactMinuteAspect)
X_REGISTER_CLASS(TXTimeMinuteAspect)
X_REGISTER_CLASS(TXTimeHourAspect)
X_REGISTER_CLASS(TXTimeDayAspect)
X_REGISTER_CLASS(TXTimeChangedAspect)
X_REGISTER_CLASS(TXTimeTickAspect)
X_REGISTER_CLASS(TXRequestActionAspect)
X_REGISTER_CLASS(TXActionAspect)
X_REGISTER_CLASS(TXChangedAspect)
X_REGISTER_CLASS(TXSizeChangedAspect)
X_REGISTER_CLASS(TXMovingAspect)
X_REGISTER_CLASS(TXMovedAspect)
X_REGISTER_CLASS(TXShownAspect)
X_REGISTER_CLASS(TXHiddenAspect)
X_REGISTER_CLASS(TXFocusChangedAspect)
X_REGISTER_CLASS(TXOperationAspect)
X_REGISTER_CLASS(TXCustomOperationTerminatedAspect)
X_REGISTER_CLASS(TXOperationTerminatedAspect)
X_REGISTER_CLASS(TXProgressAspect)
X_REGISTER_CLASS(TXProgressSectionChangedAspect)
X_REGISTER_CLASS(TXProgressStyleChangedAspect)
X_REGISTER_CLASS(TXProgressChangedAspect)

void TXAppCustomActivateAspect::Create(Integer AParam)
{
    Param = AParam;
    inherited::Create();
}

void TXAppOpenAspect::Create(Integer AParam)
{
    Param = AParam;
    inherited::Create();
}

void TXTimeExactMinuteAspect::Create(Word AMinOfDay, TDateTime ADateTime)
{
    MinOfDay = AMinOfDay;
    DateTime = ADateTime;
    inherited::Create();
}

void TXTimeTickAspect::Create(bool ATick)
{
    Tick = ATick;
    inherited::Create();
}

void TXRequestActionAspect::Create(Integer AAction, Integer AParam)
{
    Action = AAction;
    Param = AParam;
    Handled = false;
    inherited::Create();
}

void TXActionAspect::Create(const String& AName, Integer AActionID, Integer AParam)
{
    Name = AName;
    ActionID = AActionID;
    Param = AParam;
    inherited::Create();
}

void TXActionAspect::Create(Integer AActionID, Integer AParam)
{
    Create(String(), AActionID, AParam);
}

void TXActionAspect::Create(Integer AActionID)
{
    Create(String(), AActionID, 0);
}

void TXOperationTerminatedAspect::Create(const String& AName, const TXErrorData& AErrorData)
{
    Name = AName;
    ErrorData = AErrorData;
    inherited::Create();
}

void TXProgressSectionChangedAspect::Create(const String& ASection)
{
    Section = ASection;
    inherited::Create();
}

void TXProgressStyleChangedAspect::Create(Byte AStyle)
{
    Style = AStyle;
    inherited::Create();
}

void TXProgressChangedAspect::Create(Integer APosition)
{
    Position = APosition;
    inherited::Create();
}

// ---- The recovery program's aspects ----

X_REGISTER_CLASS(TXActionCancelAspect)
X_REGISTER_CLASS(TXActionAboutAspect)
X_REGISTER_CLASS(TXActionHelpAspect)
X_REGISTER_CLASS(TXActionPreviousAspect)
X_REGISTER_CLASS(TXActionNextAspect)
X_REGISTER_CLASS(TXRequestActionCancelAspect)
X_REGISTER_CLASS(TXTimeElapsedTicks)
X_REGISTER_CLASS(TXOperationThreadTerminatedAspect)
X_REGISTER_CLASS(TXLogAspect)
X_REGISTER_CLASS(TXLogClearAspect)
X_REGISTER_CLASS(TXLogStringAspect)
X_REGISTER_CLASS(TXAssembleAspect)

bool RequestCancel(IXObservable* Observable, Integer Param)
{
    if (!Observable)
        return false;
    // The request is read after its broadcast: the notification holds it.
    IPtr<IXNotification> Request = NewNotification(New<TXRequestActionCancelAspect>(Param));
    auto* Aspect = static_cast<TXRequestActionCancelAspect*>(Request->GetAspect());
    Observable->Broadcast(Request.Get());
    if (Aspect->Handled)
        return false;
    Observable->Broadcast(NewNotification(New<TXActionCancelAspect>(Param)).Get());
    return true;
}

void TXTimeElapsedTicks::Create(Integer ATicks)
{
    Ticks = ATicks;
    inherited::Create();
}

void TXOperationThreadTerminatedAspect::Create(const String& AName, const TXErrorData& AErrorData)
{
    Name = AName;
    ErrorData = AErrorData;
    inherited::Create();
}

void TXLogStringAspect::Create(const String& AText)
{
    Text = AText;
    inherited::Create();
}
