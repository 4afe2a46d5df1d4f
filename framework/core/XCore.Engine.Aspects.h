// Notifications and the general-purpose aspects.
//
// A notification carries an optional topic, the sending object and one
// owned payload, the aspect, whose class says what happened. Subscribers
// choose what they receive by aspect class. Heap notifications live as long
// as interface references to them; build them with NewNotification:
//
//     Observable->PostNotification(NewNotification(New<TXActionAspect>(7), this).Get());
//
// A TXNotificationRec lives in the caller's stack frame for cheap
// synchronous broadcasts; the engines' queues refuse it.
#pragma once
#include "rtl/DateTime.h"
#include "core/XCore.Classes.h"
#include "core/XCore.Engine.Interfaces.h"
#include "core/XCore.Errors.h"

class TXCustomAspect : public TXObject {
    X_CLASS(TXCustomAspect, TXObject)
};

class AXNotification : public TXManagedObject, public virtual IXNotification {
    X_CLASS(AXNotification, TXManagedObject)
    X_INTERFACES(AXNotification, IXNotification)
public:
    using inherited::Create;
    // Takes Aspect over: it is freed with the notification, also when this
    // raises. Counting mode 1 is counted interlocked like mode 2.
    virtual void Create(Byte CountMode, const String& ATopic, TObject* ASender, TXCustomAspect* AAspect);
    ~AXNotification() override;

    X_FORWARD_IINTERFACE(TXManagedObject)

    String GetTopic() override { return FTopic; }
    TObject* GetSender() override { return FSender; }
    TXCustomAspect* GetAspect() override { return FAspect.get(); }

private:
    String FTopic;
    TObject* FSender = nullptr;
    TOwnedPtr<TXCustomAspect> FAspect;
};

template<class TAspect>
class TXNotification : public AXNotification, public IXNotificationOf<TAspect> {
    X_CLASS_TEMPLATE(TXNotification, AXNotification, u"TXNotification<T>")
public:
    using inherited::Create;
    // For the base aspect class itself this is the inherited Create again,
    // for any other a typed one beside it; "override" fits only the first.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpragmas"
#pragma GCC diagnostic ignored "-Winconsistent-missing-override"
    void Create(Byte CountMode, const String& ATopic, TObject* ASender, TAspect* AAspect)
    {
        inherited::Create(CountMode, ATopic, ASender, AAspect);
    }
#pragma GCC diagnostic pop
    TAspect* GetTypedAspect() override
    {
        return static_cast<TAspect*>(GetAspect());
    }
};

// A new notification of Aspect (taken over), counted interlocked: it may be
// built on one thread, queued, and released on another.
template<class TAspect>
IPtr<IXNotification> NewNotification(TAspect* Aspect, TObject* Sender = nullptr, const String& Topic = {})
{
    TXNotification<TAspect>* N;
    try {
        N = new TXNotification<TAspect>();
    } catch (...) { // the aspect was handed over: free it, pass the failure on
        FreeAndNil(Aspect);
        throw;
    }
    return IPtr<IXNotification>(Construct(N, Byte(2), Topic, Sender, Aspect));
}

// A notification in the caller's stack frame. Its interface counts nothing
// (_AddRef and _Release answer -1) and answers no query; the caller frees
// the aspect itself afterwards.
struct TXNotificationRec : IXNotification {
    String Topic;
    TObject* Sender = nullptr;
    TXCustomAspect* Aspect = nullptr;

    IXNotification* Init(const String& ATopic, TObject* ASender, TXCustomAspect* AAspect);

    HRESULT QueryInterface(const TGUID&, void** Obj) override;
    Integer _AddRef() override { return -1; }
    Integer _Release() override { return -1; }
    String GetTopic() override { return Topic; }
    TObject* GetSender() override { return Sender; }
    TXCustomAspect* GetAspect() override { return Aspect; }
};

template<class TAspect>
struct TXNotificationRecOf : IXNotificationOf<TAspect> {
    String Topic;
    TObject* Sender = nullptr;
    TAspect* Aspect = nullptr;

    IXNotificationOf<TAspect>* Init(const String& ATopic, TObject* ASender, TAspect* AAspect)
    {
        Topic = ATopic;
        Sender = ASender;
        Aspect = AAspect;
        return this;
    }

    HRESULT QueryInterface(const TGUID&, void** Obj) override
    {
        if (Obj)
            *Obj = nullptr;
        return E_NOINTERFACE;
    }
    Integer _AddRef() override { return -1; }
    Integer _Release() override { return -1; }
    String GetTopic() override { return Topic; }
    TObject* GetSender() override { return Sender; }
    TXCustomAspect* GetAspect() override { return Aspect; }
    TAspect* GetTypedAspect() override { return Aspect; }
};

// Action when it is one of the dialog actions 1..10, else 0.
Integer DialogActionOf(Integer Action);

// ---- Application aspects ----

class TXAppTerminateAspect : public TXCustomAspect {
    X_CLASS(TXAppTerminateAspect, TXCustomAspect)
};

class TXAppTerminatedAspect : public TXCustomAspect {
    X_CLASS(TXAppTerminatedAspect, TXCustomAspect)
};

class TXAppCustomActivateAspect : public TXCustomAspect {
    X_CLASS(TXAppCustomActivateAspect, TXCustomAspect)
public:
    using inherited::Create;
    virtual void Create(Integer AParam);
    Integer Param = 0;
};

class TXAppOpenAspect : public TXCustomAspect {
    X_CLASS(TXAppOpenAspect, TXCustomAspect)
public:
    using inherited::Create;
    virtual void Create(Integer AParam);
    Integer Param = 0;
};

class TXObjectStateAspect : public TXCustomAspect {
    X_CLASS(TXObjectStateAspect, TXCustomAspect)
};

class TXDestroyingAspect : public TXObjectStateAspect {
    X_CLASS(TXDestroyingAspect, TXObjectStateAspect)
};

class TXSystemAspect : public TXCustomAspect {
    X_CLASS(TXSystemAspect, TXCustomAspect)
};

class TXSystemTimeChangedAspect : public TXSystemAspect {
    X_CLASS(TXSystemTimeChangedAspect, TXSystemAspect)
};

// ---- Clock aspects ----

class TXTimeAspect : public TXCustomAspect {
    X_CLASS(TXTimeAspect, TXCustomAspect)
};

class TXTimeExactMinuteAspect : public TXTimeAspect {
    X_CLASS(TXTimeExactMinuteAspect, TXTimeAspect)
public:
    using inherited::Create;
    virtual void Create(Word AMinOfDay, TDateTime ADateTime);
    TDateTime DateTime = 0;
    Word MinOfDay = 0;
};

class TXTimeMinuteAspect : public TXTimeAspect {
    X_CLASS(TXTimeMinuteAspect, TXTimeAspect)
};

class TXTimeHourAspect : public TXTimeAspect {
    X_CLASS(TXTimeHourAspect, TXTimeAspect)
};

class TXTimeDayAspect : public TXTimeAspect {
    X_CLASS(TXTimeDayAspect, TXTimeAspect)
};

class TXTimeChangedAspect : public TXTimeAspect {
    X_CLASS(TXTimeChangedAspect, TXTimeAspect)
};

class TXTimeTickAspect : public TXTimeAspect {
    X_CLASS(TXTimeTickAspect, TXTimeAspect)
public:
    using inherited::Create;
    virtual void Create(bool ATick);
    bool Tick = false;
};

// ---- Actions ----

// Sent before a system command runs; a subscriber sets Handled to stop the
// default handling.
class TXRequestActionAspect : public TXCustomAspect {
    X_CLASS(TXRequestActionAspect, TXCustomAspect)
public:
    using inherited::Create;
    virtual void Create(Integer AAction, Integer AParam);
    // A subscriber refuses the request: the sender skips the action.
    void SetHandled() { Handled = true; }
    Integer Action = 0;
    Integer Param = 0;
    bool Handled = false;
};

class TXActionAspect : public TXCustomAspect {
    X_CLASS(TXActionAspect, TXCustomAspect)
public:
    using inherited::Create;
    // CreateNamed, CreateParam and Create(ActionID) with Param 0.
    virtual void Create(const String& AName, Integer AActionID, Integer AParam);
    virtual void Create(Integer AActionID, Integer AParam);
    virtual void Create(Integer AActionID);
    String Name;
    Integer ActionID = 0;
    Integer Param = 0;
};

// ---- Changes ----

class TXChangedAspect : public TXCustomAspect {
    X_CLASS(TXChangedAspect, TXCustomAspect)
};

template<class T>
class TXDataChangedAspect : public TXChangedAspect {
    X_CLASS_TEMPLATE(TXDataChangedAspect, TXChangedAspect, u"TXDataChangedAspect<T>")
public:
    using inherited::Create;
    virtual void Create(const T& AValue)
    {
        Value = AValue;
        inherited::Create();
    }
    // Copies Value from an aspect of the same class; answers True always.
    bool AssignFrom(TXObject* Source) override
    {
        if (Source && Source->ClassType() == ClassType())
            Value = static_cast<TXDataChangedAspect*>(Source)->Value;
        return true;
    }
    T Value {};
};

using TXDateTimeChangedAspect = TXDataChangedAspect<TDateTime>;
using TXStringChangedAspect = TXDataChangedAspect<String>;

class TXSizeChangedAspect : public TXChangedAspect {
    X_CLASS(TXSizeChangedAspect, TXChangedAspect)
};

class TXMovingAspect : public TXChangedAspect {
    X_CLASS(TXMovingAspect, TXChangedAspect)
};

class TXMovedAspect : public TXChangedAspect {
    X_CLASS(TXMovedAspect, TXChangedAspect)
};

class TXShownAspect : public TXChangedAspect {
    X_CLASS(TXShownAspect, TXChangedAspect)
};

class TXHiddenAspect : public TXChangedAspect {
    X_CLASS(TXHiddenAspect, TXChangedAspect)
};

class TXFocusChangedAspect : public TXChangedAspect {
    X_CLASS(TXFocusChangedAspect, TXChangedAspect)
};

// ---- Operations and progress ----

class TXOperationAspect : public TXCustomAspect {
    X_CLASS(TXOperationAspect, TXCustomAspect)
};

class TXCustomOperationTerminatedAspect : public TXOperationAspect {
    X_CLASS(TXCustomOperationTerminatedAspect, TXOperationAspect)
public:
    String Name;
    TXErrorData ErrorData; // a copy
};

class TXOperationTerminatedAspect : public TXCustomOperationTerminatedAspect {
    X_CLASS(TXOperationTerminatedAspect, TXCustomOperationTerminatedAspect)
public:
    using inherited::Create;
    virtual void Create(const String& AName, const TXErrorData& AErrorData);
};

class TXProgressAspect : public TXOperationAspect {
    X_CLASS(TXProgressAspect, TXOperationAspect)
};

class TXProgressSectionChangedAspect : public TXProgressAspect {
    X_CLASS(TXProgressSectionChangedAspect, TXProgressAspect)
public:
    using inherited::Create;
    virtual void Create(const String& ASection);
    String Section;
};

class TXProgressStyleChangedAspect : public TXProgressAspect {
    X_CLASS(TXProgressStyleChangedAspect, TXProgressAspect)
public:
    using inherited::Create;
    virtual void Create(Byte AStyle);
    Byte Style = 0;
};

class TXProgressChangedAspect : public TXProgressAspect {
    X_CLASS(TXProgressChangedAspect, TXProgressAspect)
public:
    using inherited::Create;
    // Position in 0..1000.
    virtual void Create(Integer APosition);
    Integer Position = 0;
};

// ---- The recovery program's wizard actions ----

// Action codes shared by the wizard and its windows.
inline constexpr Integer xacCancel = -30;
inline constexpr Integer xacPrevious = -31;
inline constexpr Integer xacNext = -32;
inline constexpr Integer xacHelp = -100;
inline constexpr Integer xacAbout = -200;

class TXActionCancelAspect : public TXActionAspect {
    X_CLASS(TXActionCancelAspect, TXActionAspect)
public:
    using inherited::Create;
    void Create(Integer AParam) override { inherited::Create(xacCancel, AParam); }
};

class TXActionAboutAspect : public TXActionAspect {
    X_CLASS(TXActionAboutAspect, TXActionAspect)
public:
    void Create() override { inherited::Create(xacAbout, 0); }
};

class TXActionHelpAspect : public TXActionAspect {
    X_CLASS(TXActionHelpAspect, TXActionAspect)
public:
    void Create() override { inherited::Create(xacHelp, 0); }
};

class TXActionPreviousAspect : public TXActionAspect {
    X_CLASS(TXActionPreviousAspect, TXActionAspect)
public:
    void Create() override { inherited::Create(xacPrevious, 0); }
};

class TXActionNextAspect : public TXActionAspect {
    X_CLASS(TXActionNextAspect, TXActionAspect)
public:
    void Create() override { inherited::Create(xacNext, 0); }
};

// Asks whether the wizard may cancel; a subscriber that must not be
// cancelled now calls SetHandled.
class TXRequestActionCancelAspect : public TXRequestActionAspect {
    X_CLASS(TXRequestActionCancelAspect, TXRequestActionAspect)
public:
    using inherited::Create;
    virtual void Create(Integer AParam) { inherited::Create(xacCancel, AParam); }
};

// Broadcasts a TXRequestActionCancelAspect with Param on Observable and,
// when no subscriber refused it, a TXActionCancelAspect with the same
// Param. Answers whether the cancel action was sent.
bool RequestCancel(IXObservable* Observable, Integer Param = 0);

// A read of the source took this long (posted by a worker thread).
class TXTimeElapsedTicks : public TXTimeAspect {
    X_CLASS(TXTimeElapsedTicks, TXTimeAspect)
public:
    using inherited::Create;
    virtual void Create(Integer ATicks);
    Integer Ticks = 0; // milliseconds
};

// ---- Worker threads, the status log and the engine's assembly ----

// A worker thread has ended: its operation's name and result.
class TXOperationThreadTerminatedAspect : public TXCustomOperationTerminatedAspect {
    X_CLASS(TXOperationThreadTerminatedAspect, TXCustomOperationTerminatedAspect)
public:
    using inherited::Create;
    virtual void Create(const String& AName, const TXErrorData& AErrorData);
};

class TXLogAspect : public TXCustomAspect {
    X_CLASS(TXLogAspect, TXCustomAspect)
};

// Empty the status log.
class TXLogClearAspect : public TXLogAspect {
    X_CLASS(TXLogClearAspect, TXLogAspect)
};

// Append a line to the status log.
class TXLogStringAspect : public TXLogAspect {
    X_CLASS(TXLogStringAspect, TXLogAspect)
public:
    using inherited::Create;
    virtual void Create(const String& AText);
    String Text;
};

// An engine has been put together: each gear wires its subscriptions.
class TXAssembleAspect : public TXObjectStateAspect {
    X_CLASS(TXAssembleAspect, TXObjectStateAspect)
};
