#include "core/XEngine.MsgWindows.h"
#include "core/XCore.App.h"
#include "core/XSpark.App.h"
#include "win/WinApi.h"
#include "win/WindowPlacement.h"
#include <cstring>

X_REGISTER_CLASS(TXCoreMsgWindow)
X_REGISTER_CLASS(TXMsgWindow)
X_REGISTER_CLASS(TXTitleMsgWindow)

X_PUBLISHED(TXCoreMsgWindow)
{
    X_EVENT(OnActionExecute, OnActionExecute);
    X_EVENT(OnActionUpdate, OnActionUpdate);
    X_EVENT(OnActivate, OnActivate);
    X_EVENT(OnDeactivate, OnDeactivate);
    X_EVENT(OnException, OnException);
    X_EVENT(OnIdle, OnIdle);
    X_EVENT(OnHelp, OnHelp);
    X_EVENT(OnHint, OnHint);
    X_EVENT(OnMessage, OnMessage);
    X_EVENT(OnMinimize, OnMinimize);
    X_EVENT(OnRestore, OnRestore);
    X_EVENT(OnShowHint, OnShowHint);
    X_EVENT(OnShortCut, OnShortCut);
    X_EVENT(OnSettingChange, OnSettingChange);
    X_EVENT(OnModalBegin, OnModalBegin);
    X_EVENT(OnModalEnd, OnModalEnd);
    X_EVENT(OnXMessage, OnXMessage);
    X_EVENT(OnOpen, OnOpen);
    X_EVENT(OnTerminate, OnTerminate);
    X_EVENT(OnWMCopyData, OnWMCopyData);
}

X_PUBLISHED(TXTitleMsgWindow)
{
    X_PROP(Title, Title, SetTitle);
}

String CopyDataText(const COPYDATASTRUCT* Data)
{
    if (!Data || !Data->lpData || Data->cbData == 0)
        return {};
    // cbData counts bytes: never read past them, whatever the sender meant.
    String Text(Data->cbData / 2, u'\0');
    std::memcpy(Text.data(), Data->lpData, Text.size() * sizeof(Char));
    if (!Text.empty() && Text.back() == u'\0')
        Text.pop_back();
    return Text;
}

// ---- TXCoreMsgWindow ----

void TXCoreMsgWindow::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FOwnerForm = DynamicCast<TCustomForm>(AOwner);
    if (Application)
        SetWindowText(Window(), Application->Title());
    if (TXAppEngine* Engine = GetAppEngine()) {
        Engine->AddWndProcHook(TXWndMethod::Of<&TXCoreMsgWindow::InstanceMessage>(this));
        FHooked = true;
    }
}

void TXCoreMsgWindow::BeforeDestruction()
{
    if (FHooked)
        if (TXAppEngine* Engine = GetAppEngine())
            Engine->RemoveWndProcHook(TXWndMethod::Of<&TXCoreMsgWindow::InstanceMessage>(this));
    FHooked = false;
    inherited::BeforeDestruction();
}

void TXCoreMsgWindow::InstanceMessage(TMessage& Message)
{
    const bool Activation = WM_QVMACTIVATEAPPLICATION != 0 && Message.Msg == WM_QVMACTIVATEAPPLICATION;
    if (Activation || Message.Msg == WM_COPYDATA)
        Message.Result = SendMessage(Window(), Message.Msg, Message.WParam, Message.LParam);
}

void TXCoreMsgWindow::WndProc(TMessage& Message)
{
    if (WM_QVMACTIVATEAPPLICATION != 0 && Message.Msg == WM_QVMACTIVATEAPPLICATION && Message.WParam == 2) {
        Message.Result = 1;
        if (const TXNotifyEvent Handler = OnTerminate)
            Handler(this);
        return;
    }
    if (Message.Msg == WM_COPYDATA) {
        Message.Result = 1;
        CopyData(Message);
        return;
    }
    TLifeWatch Watch(FLife);
    bool Handled = false;
    if (const TXHandledMessageEvent Handler = OnXMessage)
        Handler(Message, Handled);
    if (!Handled && !Watch.Freed())
        inherited::WndProc(Message);
}

void TXCoreMsgWindow::CopyData(TMessage& Message)
{
    const auto* Data = reinterpret_cast<const COPYDATASTRUCT*>(Message.LParam);
    const String Text = CopyDataText(Data);
    const ULONG_PTR Kind = Data ? Data->dwData : 0;
    if (Kind == 1 && Application) {
        // Failures are of no concern to the sender.
        const HWND App = Application->Handle();
        if (IsIconic(App))
            Application->Restore();
        else
            SetForegroundWindow(GetLastActivePopup(App));
    }
    if (const TXWMCopyDataEvent Handler = OnWMCopyData)
        Handler(this, reinterpret_cast<HWND>(Message.WParam), Text, Kind);
}

void TXCoreMsgWindow::Minimize()
{
    if (Application)
        Application->Minimize();
}

void TXCoreMsgWindow::Restore()
{
    if (Application)
        Application->Restore();
}

void TXCoreMsgWindow::ShowOwnerForm()
{
    if (FOwnerForm)
        FOwnerForm->Show();
}

// ---- TXMsgWindow ----

namespace {

// An application event routed to the message window's event of the same
// name; the window recognises its own routes when it goes.
template<auto Member>
struct TAppRoute {
    TXCoreMsgWindow* Window = nullptr;

    template<class... A>
    auto operator()(A&&... Args) const
    {
        // A copy: the handler may free the window.
        const auto Handler = Window->*Member;
        return Handler(std::forward<A>(Args)...);
    }
};

template<auto Member, class F>
void RouteTo(F& Event, TXCoreMsgWindow* Window)
{
    Event = TAppRoute<Member> { Window };
}

template<auto Member, class F>
void UnrouteFrom(F& Event, TXCoreMsgWindow* Window)
{
    if (const auto* Route = Event.template target<TAppRoute<Member>>(); Route && Route->Window == Window)
        Event = nullptr;
}

// Every application event with the member it goes to.
template<class Fn>
void ForEachAppEvent(Fn&& Each)
{
    TApplication* A = Application;
    Each.template operator()<&TXCoreMsgWindow::OnActionExecute>(A->OnActionExecute);
    Each.template operator()<&TXCoreMsgWindow::OnActionUpdate>(A->OnActionUpdate);
    Each.template operator()<&TXCoreMsgWindow::OnActivate>(A->OnActivate);
    Each.template operator()<&TXCoreMsgWindow::OnDeactivate>(A->OnDeactivate);
    Each.template operator()<&TXCoreMsgWindow::OnException>(A->OnException);
    Each.template operator()<&TXCoreMsgWindow::OnIdle>(A->OnIdle);
    Each.template operator()<&TXCoreMsgWindow::OnHelp>(A->OnHelp);
    Each.template operator()<&TXCoreMsgWindow::OnHint>(A->OnHint);
    Each.template operator()<&TXCoreMsgWindow::OnMinimize>(A->OnMinimize);
    Each.template operator()<&TXCoreMsgWindow::OnRestore>(A->OnRestore);
    Each.template operator()<&TXCoreMsgWindow::OnShowHint>(A->OnShowHint);
    Each.template operator()<&TXCoreMsgWindow::OnShortCut>(A->OnShortCut);
    Each.template operator()<&TXCoreMsgWindow::OnSettingChange>(A->OnSettingChange);
    Each.template operator()<&TXCoreMsgWindow::OnModalBegin>(A->OnModalBegin);
    Each.template operator()<&TXCoreMsgWindow::OnModalEnd>(A->OnModalEnd);
}

}

void TXMsgWindow::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    if (!ComponentState().Contains(csDesigning))
        Route();
}

void TXMsgWindow::BeforeDestruction()
{
    Unroute();
    inherited::BeforeDestruction();
}

void TXMsgWindow::Route()
{
    if (Application)
        ForEachAppEvent([this]<auto Member>(auto& Event) { RouteTo<Member>(Event, this); });
    if (QVApp())
        QVApp()->SetOnMessage(TMessageEvent::Of<&TXMsgWindow::AppMessage>(this));
    FRouted = true;
}

void TXMsgWindow::Unroute()
{
    if (!FRouted)
        return;
    FRouted = false;
    // Only what is still ours: a message window made later keeps its own.
    if (Application)
        ForEachAppEvent([this]<auto Member>(auto& Event) { UnrouteFrom<Member>(Event, this); });
    if (QVApp() && QVApp()->OnMessage() == TMessageEvent::Of<&TXMsgWindow::AppMessage>(this))
        QVApp()->SetOnMessage({});
}

void TXMsgWindow::AppMessage(MSG& Msg, bool& Handled)
{
    if (Handled)
        return;
    if (const TXMessageEvent Handler = OnMessage)
        Handler(Msg, Handled);
}

// ---- TXTitleMsgWindow ----

void TXTitleMsgWindow::SetTitle(const String& Value)
{
    if (FTitle == Value)
        return;
    FTitle = Value;
    SetWindowText(Window(), FTitle);
}
