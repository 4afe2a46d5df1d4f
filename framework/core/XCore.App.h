// The core application: one process-wide object that owns the application
// engine, answers the one clock every part of the program reads, and knows
// whether the application has been terminated.
//
// The application engine carries application-wide notifications; objects
// without an engine of their own use it as their host. Its hidden window is
// where other units hook into the application's window messages, and where
// WM_QUIT and WM_TIMECHANGE become notifications:
//
//     GetAppEngine()->Subscribe(TXSystemTimeChangedAspect::StaticClass(), Handler);
//     GetAppEngine()->AddWndProcHook(TXWndMethod::Of<&TForm::AppMessage>(Form));
//
// Both objects exist from the unit's initialisation to its finalisation.
#pragma once
#include "core/XCore.Collections.Lite.h"
#include "core/XCore.Engine.h"

// A procedure that takes a window message by reference, bound to an object
// (Data) or plain (Data null). Equal when code and data are equal.
struct TXWndMethod {
    using TThunk = void (*)(void* Data, TMessage& Message);

    TThunk Code = nullptr;
    void* Data = nullptr;

    template<auto Method, class T>
    static TXWndMethod Of(T* Obj)
    {
        TThunk Thunk = [](void* Self, TMessage& M) { (static_cast<T*>(Self)->*Method)(M); };
        return { Thunk, Obj };
    }
    static TXWndMethod Plain(void (*Proc)(void* Data, TMessage& Message), void* Data = nullptr)
    {
        return { Proc, Data };
    }
    void operator()(TMessage& Message) const { Code(Data, Message); }
    friend bool operator==(const TXWndMethod&, const TXWndMethod&) = default;
};

class TXAppEngine : public XCore::Engine::TXEngine {
    X_CLASS(TXAppEngine, XCore::Engine::TXEngine)
public:
    // The hook list first, then the engine with its window.
    void Init() override;

    // The index of Method, added when it was not listed yet.
    Integer AddWndProcHook(const TXWndMethod& Method);
    // The index Method had, or -1 when it was not listed. Removed while the
    // hooks run, it is not called again and no other hook is passed over.
    Integer RemoveWndProcHook(const TXWndMethod& Method);
    Integer HookCount() const;

    // Every hook sees the message in list order (and may set its result),
    // then WM_QUIT terminates the core application and WM_TIMECHANGE is
    // broadcast as TXSystemTimeChangedAspect, then the engine's own
    // handling runs.
    void WndProc(TMessage& Message) override;

private:
    friend class TXQVCoreApp;
    void RunHooks(TMessage& Message);

    TOwnedPtr<TXLiteList<TXWndMethod>> FHooks;
    // Chains running (a hook may send the window another message), and
    // entries emptied by removals during them.
    Integer FChainDepth = 0;
    Integer FClearedHooks = 0;
    // The core application that owns the engine; the single instance when
    // none does.
    class TXQVCoreApp* FOwnerApp = nullptr;
};

class TXQVCoreApp : public TXInitializableObject {
    X_CLASS(TXQVCoreApp, TXInitializableObject)
public:
    // Creates the engine.
    void Init() override;

    // The clock; callable from any thread.
    virtual TDateTime Now();
    virtual TDateTime UTCNow();
    virtual TDateTime Date();
    virtual TDateTime Time();
    // Ticks = the tick count now.
    virtual void StartTicks(Cardinal& Ticks);
    // Ticks = milliseconds since StartTicks stored it, across the 32-bit
    // wrap of the tick count.
    virtual void TicksSince(Cardinal& Ticks);

    // Sets Terminated once and announces TXAppTerminatedAspect on the
    // engine; later calls do nothing.
    void Terminate();
    bool Terminated() const { return FTerminated.load(); }
    TXAppEngine* Engine() const { return FEngine.get(); }

private:
    TOwnedPtr<TXAppEngine> FEngine;
    std::atomic<bool> FTerminated { false };
};

// The single instance and its engine; null outside the unit's lifetime.
TXQVCoreApp* QVCoreApp();
TXAppEngine* GetAppEngine();
// The engine as a host for observables.
IPtr<IInterface> AppEngineHost();
// The core application's clock; the runtime's clock while it does not
// exist.
TDateTime AppNow();
TDateTime AppDate();
void TerminateApp();

// The application's message loop (the application object's, so its
// OnMessage sees every message): runs until WM_QUIT and hands that to the
// application engine's window procedure (its hooks see it, and the core
// application is terminated) before it answers the exit code.
int RunAppMessageLoop();
// The same hand-over for a loop of its own that met WM_QUIT.
void HandAppQuit(const MSG& Quit);
