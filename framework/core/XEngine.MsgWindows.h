// Message windows: engine boxes whose hidden window takes what other
// instances of the program send (the activation message and WM_COPYDATA,
// both coming through the single-instance socket) and, for TXMsgWindow,
// the application's events while the window exists:
//
//     auto* Messages = New<TXMsgWindow>(DataModule);
//     Messages->OnTerminate.SetMethod(...);   // another instance asked us to end
//     Messages->OnException.SetMethod(...);   // else exceptions are dropped unshown
#pragma once
#include "core/XEngine.Gears.h"
#include "vcl/Forms.h"

using TXHandledMessageEvent = TEvent<void(TMessage& Message, bool& Handled)>;
using TXWMCopyDataEvent = TEvent<void(TObject* Sender, HWND SenderWindow, const String& Text, ULONG_PTR DataKind)>;
// The application's event types as published events.
using TXNotifyEvent = TEvent<void(TObject* Sender)>;
using TXActionEvent = TEvent<void(TBasicAction* Action, bool& Handled)>;
using TXExceptionEvent = TEvent<void(TObject* Sender, Exception* E)>;
using TXIdleEvent = TEvent<void(TObject* Sender, bool& Done)>;
using TXHelpEvent = TEvent<bool(Word Command, NativeInt Data, bool& CallHelp)>;
using TXMessageEvent = TEvent<void(MSG& Msg, bool& Handled)>;
using TXShowHintEvent = TEvent<void(String& HintStr, bool& CanShow, THintInfo& HintInfo)>;
using TXSettingChangeEvent = TEvent<void(TObject* Sender, Integer Flag, const String& Section, Integer& Result)>;

// The text of WM_COPYDATA data: cbData / 2 UTF-16 units (an odd last byte
// is ignored), a final null dropped; empty without data.
String CopyDataText(const COPYDATASTRUCT* Data);

class TXCoreMsgWindow : public TXEngineBox {
    X_CLASS(TXCoreMsgWindow, TXEngineBox)
public:
    // The window's text is the application title; what other instances
    // send reaches the window from here on.
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;

    // The owner, when it is a form.
    TCustomForm* OwnerForm() const { return FOwnerForm; }

    // The activation message with wParam 2: OnTerminate, result 1.
    // WM_COPYDATA: with DataKind 1 the application is restored or brought
    // to the front, then OnWMCopyData; result 1. Other messages go to
    // OnXMessage and, unless it handles them, to the engine box.
    void WndProc(TMessage& Message) override;
    virtual void Minimize();
    virtual void Restore();
    virtual void ShowOwnerForm();

    TXActionEvent OnActionExecute;
    TXActionEvent OnActionUpdate;
    TXNotifyEvent OnActivate;
    TXNotifyEvent OnDeactivate;
    TXExceptionEvent OnException;
    TXIdleEvent OnIdle;
    TXHelpEvent OnHelp;
    TXNotifyEvent OnHint;
    TXMessageEvent OnMessage;
    TXNotifyEvent OnMinimize;
    TXNotifyEvent OnRestore;
    TXShowHintEvent OnShowHint;
    TXHandledMessageEvent OnShortCut;
    TXSettingChangeEvent OnSettingChange;
    TXNotifyEvent OnModalBegin;
    TXNotifyEvent OnModalEnd;
    TXHandledMessageEvent OnXMessage;
    TXNotifyEvent OnOpen;
    TXNotifyEvent OnTerminate;
    TXWMCopyDataEvent OnWMCopyData;

private:
    TCustomForm* FOwnerForm = nullptr;
    bool FHooked = false;

    // The application engine's window receives what other instances send
    // and hands it on to every message window.
    void InstanceMessage(TMessage& Message);
    void CopyData(TMessage& Message);
};

// Takes over the application's events while it exists: each goes to the
// published event of the same name (an unassigned one does nothing, so an
// exception other than EAbort is dropped unshown without OnException), and
// the application object's message hook to OnMessage for messages not yet
// handled. Its end gives back only the events still routed to it.
class TXMsgWindow : public TXCoreMsgWindow {
    X_CLASS(TXMsgWindow, TXCoreMsgWindow)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;

private:
    bool FRouted = false;
    void AppMessage(MSG& Msg, bool& Handled);
    void Route();
    void Unroute();
};

class TXTitleMsgWindow : public TXCoreMsgWindow {
    X_CLASS(TXTitleMsgWindow, TXCoreMsgWindow)
public:
    const String& Title() const { return FTitle; }
    // A different title is also the window's text.
    void SetTitle(const String& Value);

private:
    String FTitle;
};
