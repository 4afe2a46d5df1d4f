#include "core/XCore.App.h"
#include "rtl/Units.h"
#include "vcl/Forms.h"
#include <algorithm>

X_REGISTER_CLASS(TXAppEngine)
X_REGISTER_CLASS(TXQVCoreApp)

namespace {
TXQVCoreApp* GCoreApp = nullptr;

IPtr<IComparer<TXWndMethod>> WndMethodComparer()
{
    return TComparer<TXWndMethod>::Construct([](const TXWndMethod& A, const TXWndMethod& B) -> Integer {
        auto Key = [](const TXWndMethod& M) {
            return std::pair(reinterpret_cast<NativeUInt>(M.Code), reinterpret_cast<NativeUInt>(M.Data));
        };
        return Key(A) < Key(B) ? -1 : (Key(B) < Key(A) ? 1 : 0);
    });
}

void InitApp()
{
    GCoreApp = New<TXQVCoreApp>();
}

void DoneApp()
{
    FreeAndNil(GCoreApp);
}
}

X_UNIT(XCore_App, "XCore.App", ({ "XCore.Classes", "XCore.Errors", "WinApi", "Forms" }), &InitApp, &DoneApp)

// ---- TXAppEngine ----

void TXAppEngine::Init()
{
    FHooks.reset(New<TXLiteList<TXWndMethod>>(WndMethodComparer()));
    inherited::Init();
}

Integer TXAppEngine::AddWndProcHook(const TXWndMethod& Method)
{
    return FHooks->AddUnique(Method);
}

Integer TXAppEngine::RemoveWndProcHook(const TXWndMethod& Method)
{
    const Integer I = FHooks->IndexOf(Method);
    if (I < 0)
        return I;
    if (FChainDepth > 0) {
        // The chain walks the list by index: the entry stays, empty, until
        // the outermost chain ends, so no later hook moves under the walk.
        *FHooks->GetPItem(I) = TXWndMethod {};
        ++FClearedHooks;
    } else
        FHooks->Delete(I);
    return I;
}

Integer TXAppEngine::HookCount() const
{
    return FHooks ? FHooks->Count() - FClearedHooks : 0;
}

void TXAppEngine::RunHooks(TMessage& Message)
{
    ++FChainDepth;
    struct TChainEnd {
        TXAppEngine* Engine;
        ~TChainEnd()
        {
            if (--Engine->FChainDepth > 0 || Engine->FClearedHooks == 0)
                return;
            for (Integer I = Engine->FHooks->Count() - 1; I >= 0; --I)
                if (!Engine->FHooks->Items(I).Code)
                    Engine->FHooks->Delete(I);
            Engine->FClearedHooks = 0;
        }
    } End { this };
    // Hooks added meanwhile wait for the next message; removed ones are
    // passed over.
    const Integer Count = FHooks->Count();
    for (Integer I = 0; I < Count; ++I) {
        const TXWndMethod Hook = FHooks->Items(I);
        if (Hook.Code)
            Hook(Message);
    }
}

void TXAppEngine::WndProc(TMessage& Message)
{
    const LRESULT Before = Message.Result;
    RunHooks(Message);
    const LRESULT Hooked = Message.Result;
    if (Message.Msg == WM_QUIT) {
        if (TXQVCoreApp* App = FOwnerApp ? FOwnerApp : GCoreApp)
            App->Terminate();
    } else if (Message.Msg == WM_TIMECHANGE) {
        Broadcast(NewNotification(New<TXSystemTimeChangedAspect>()).Get());
    }
    inherited::WndProc(Message);
    // The default handling answers for the window; a result a hook gave
    // stands.
    if (Hooked != Before)
        Message.Result = Hooked;
}

// ---- TXQVCoreApp ----

void TXQVCoreApp::Init()
{
    inherited::Init();
    FEngine.reset(New<TXAppEngine>());
    FEngine->FOwnerApp = this;
}

TDateTime TXQVCoreApp::Now()
{
    return ::Now();
}

TDateTime TXQVCoreApp::UTCNow()
{
    SYSTEMTIME St;
    GetSystemTime(&St);
    return SystemTimeToDateTime(St);
}

TDateTime TXQVCoreApp::Date()
{
    return ::Date();
}

TDateTime TXQVCoreApp::Time()
{
    return ::Time();
}

void TXQVCoreApp::StartTicks(Cardinal& Ticks)
{
    Ticks = GetTickCount();
}

void TXQVCoreApp::TicksSince(Cardinal& Ticks)
{
    Ticks = GetTickCount() - Ticks;
}

void TXQVCoreApp::Terminate()
{
    // Set before the broadcast: an observer that terminates again changes
    // nothing.
    if (FTerminated.exchange(true))
        return;
    if (FEngine)
        FEngine->Broadcast(NewNotification(New<TXAppTerminatedAspect>()).Get());
}

// ---- the single instance ----

TXQVCoreApp* QVCoreApp()
{
    return GCoreApp;
}

TXAppEngine* GetAppEngine()
{
    return GCoreApp ? GCoreApp->Engine() : nullptr;
}

IPtr<IInterface> AppEngineHost()
{
    return IPtr<IInterface>(static_cast<IXEngine*>(GetAppEngine()));
}

TDateTime AppNow()
{
    return GCoreApp ? GCoreApp->Now() : Now();
}

TDateTime AppDate()
{
    return GCoreApp ? GCoreApp->Date() : Date();
}

void TerminateApp()
{
    if (GCoreApp)
        GCoreApp->Terminate();
}

void HandAppQuit(const MSG& Quit)
{
    if (TXAppEngine* Engine = GetAppEngine()) {
        TMessage M { WM_QUIT, Quit.wParam, Quit.lParam, 0 };
        Engine->WndProc(M);
    }
}

int RunAppMessageLoop()
{
    Application->Run();
    HandAppQuit(Application->QuitMessage());
    return int(Application->QuitMessage().wParam);
}
