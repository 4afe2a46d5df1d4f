#include "core/XSpark.App.h"
#include "core/XCore.App.h"
#include "core/XCore.Engine.Aspects.h"
#include "core/XCore.Errors.h"
#include "core/XCore.IO.h"
#include "core/XCore.ScreenMetrics.h"
#include "core/XCore.ServiceManager.h"
#include "core/XCore.Strings.h"
#include "core/XCore.Version.h"
#include "rtl/StringList.h"
#include "rtl/StrUtils.h"
#include "rtl/SyncObjs.h"
#include "rtl/Units.h"
#include "win/InstanceLock.h"
#include "win/Metrics.h"
#include "win/WinApi.h"
#include "win/WindowPlacement.h"
#include <cmath>
#include <fstream>
#include <iterator>
#include <unistd.h>

X_REGISTER_CLASS(TXQVApp)
X_REGISTER_CLASS(TXQVParams)
X_REGISTER_CLASS(TXAppVersionService)

UINT WM_TASKBARCREATED = 0;
UINT WM_QVMACTIVATEAPPLICATION = 0;

namespace {

TXServiceManager* GServices = nullptr;
TXQVApp* GApp = nullptr;
TXQVParams* GParams = nullptr;

void InitApp()
{
    WM_TASKBARCREATED = RegisterWindowMessage(u"TaskbarCreated");
    WM_QVMACTIVATEAPPLICATION = RegisterWindowMessage(u"QVMActivateApplication");
    GServices = New<TXServiceManager>();
    GApp = New<TXQVApp>();
    RegisterAppVersionService(GServices, New<TXAppVersionService>());
    GParams = New<TXQVParams>();
}

void DoneApp()
{
    FreeAndNil(GParams);
    FreeAndNil(GApp);
    FreeAndNil(GServices);
}

// The running program's file, as the system knows it.
String ProgramPath()
{
    std::string Path(4096, '\0');
    const ssize_t N = ::readlink("/proc/self/exe", Path.data(), Path.size());
    if (N <= 0 || size_t(N) >= Path.size())
        return {};
    Path.resize(size_t(N));
    return UTF8ToString(Path);
}

// The arguments after the program's, NUL-separated in /proc.
std::vector<String> CommandLineArguments()
{
    std::ifstream In("/proc/self/cmdline", std::ios::binary);
    const std::string Bytes((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
    std::vector<String> Args;
    size_t Start = 0;
    while (Start < Bytes.size()) {
        size_t End = Bytes.find('\0', Start);
        if (End == std::string::npos)
            End = Bytes.size();
        Args.push_back(UTF8ToString(std::string_view(Bytes).substr(Start, End - Start)));
        Start = End + 1;
    }
    return Args;
}

}

X_UNIT(XSpark_App, "XSpark.App",
    ({ "XCore.App", "XCore.IO", "XCore.ScreenMetrics", "XCore.System", "XCore.Version", "Forms" }), &InitApp, &DoneApp)

// ---- TXQVApp ----

void TXQVApp::Init()
{
    inherited::Init();
    FMutexes.reset(New<TXObjectList<TMutex>>());
    FTaskBarForms.reset(New<TXComponentList<TComponent>>(false));
    if (Application)
        Application->SetOnMessage(Hook());
}

void TXQVApp::Initialize()
{
    inherited::Initialize();
    RegisterPathExpander(TXPathExpander::Of<&TXQVApp::ExpandMacros>(this));
    FRegistered = true;
    FProgramFile = ProgramPath();
    FProgramFolder = ExtractFilePath(FProgramFile);
    FDataFolder.clear();
}

void TXQVApp::BeforeDestruction()
{
    if (Application && Application->OnMessage() == Hook())
        Application->SetOnMessage({});
    if (FRegistered)
        UnregisterPathExpander(TXPathExpander::Of<&TXQVApp::ExpandMacros>(this));
    inherited::BeforeDestruction();
}

TXQVApp::~TXQVApp() = default;

bool TXQVApp::AcquireSingleInstance(const String& Name)
{
    if (TXQVCoreApp* Core = QVCoreApp(); !Core || Core->Terminated())
        return false;
    return XGuarded(xecNone, false, [&] {
        // WM_COPYDATA of other instances goes to the application engine's
        // window, whose hooks hand it to the message windows.
        HWND Target = GetAppEngine() ? GetAppEngine()->GetHandle() : nullptr;
        if (!Target && Application)
            Target = Application->Handle();
        auto Lock = TInstanceLock::Acquire(Name, Target);
        if (!Lock)
            return false;
        FSingleInstance = std::move(Lock);
        return true;
    });
}

bool TXQVApp::BringToFront()
{
    if (!Application)
        return false;
    HWND AppWnd = Application->Handle();
    if (IsIconic(AppWnd)) {
        SendMessage(AppWnd, WM_SYSCOMMAND, SC_RESTORE, 0);
        return true;
    }
    HWND Popup = GetLastActivePopup(AppWnd);
    if (Popup && Popup != AppWnd && IsWindowVisible(Popup) && IsWindowEnabled(Popup)) {
        SetForegroundWindow(Popup);
        return true;
    }
    return false;
}

void TXQVApp::AddTaskBarForm(TComponent* Form)
{
    FTaskBarForms->AddUnique(Form);
    TaskBarFormsChanged();
}

void TXQVApp::RemoveTaskBarForm(TComponent* Form)
{
    FTaskBarForms->Remove(Form);
    TaskBarFormsChanged();
}

String TXQVApp::GetVersionText()
{
    return QVVersion() ? QVVersion()->GetFileVersionText(FProgramFile) : String();
}

String TXQVApp::ExpandMacros(const String& Text)
{
    String S = xStr::ReplaceAll(u"<exe>", FProgramFolder, Text);
    S = xStr::ReplaceAll(u"<exen>", FProgramFile, S);
    return xStr::ReplaceAll(u"<data>", FDataFolder, S);
}

void TXQVApp::AppMessage(MSG& Msg, bool& Handled)
{
    if (Msg.message != WM_QVMACTIVATEAPPLICATION || WM_QVMACTIVATEAPPLICATION == 0) {
        if (FOnMessage)
            FOnMessage(Msg, Handled);
        return;
    }
    Handled = false;
    TXAppEngine* Engine = GetAppEngine();
    if (!Engine)
        return;
    const Integer Param = Integer(Msg.lParam);
    switch (Msg.wParam) {
    case 0: Engine->Broadcast(NewNotification(New<TXAppCustomActivateAspect>(Param)).Get()); break;
    case 1: Engine->Broadcast(NewNotification(New<TXAppOpenAspect>(Param)).Get()); break;
    case 2: Engine->Broadcast(NewNotification(New<TXAppTerminateAspect>()).Get()); break;
    default: break;
    }
    // Where other systems broadcast it to every top-level window, it goes to
    // the engine's window here, whose hooks hand it to the message windows.
    if (HWND Wnd = Engine->GetHandle())
        SendMessage(Wnd, Msg.message, Msg.wParam, Msg.lParam);
}

// ---- TXQVParams ----

void TXQVParams::Init()
{
    inherited::Init();
    FParams.reset(New<TStringList>());
}

void TXQVParams::Initialize()
{
    inherited::Initialize();
    std::vector<String> Args = CommandLineArguments();
    FParams->Clear();
    FParams->Add(ProgramPath());
    for (size_t I = 1; I < Args.size(); ++I)
        FParams->Add(Args[I]);
}

Integer TXQVParams::IndexOf(const String& Switch) const
{
    const bool Prefix = Switch.find(u':') != String::npos;
    for (Integer I = 0; I < FParams->Count(); ++I) {
        const String Arg = FParams->Strings(I);
        if (Prefix ? Arg.size() >= Switch.size() && SameText(StringView(Arg).substr(0, Switch.size()), Switch)
                   : SameText(Arg, Switch))
            return I;
    }
    return -1;
}

// ---- TXAppVersionService ----

void TXAppVersionService::Initialize()
{
    inherited::Initialize();
    PublisherId = u"xx";
}

String TXAppVersionService::GetVersionText()
{
    return GApp ? GApp->GetVersionText() : String();
}

// ---- free routines ----

TXQVApp* QVApp()
{
    return GApp;
}

TXQVParams* QVParams()
{
    return GParams;
}

TXServiceManager* AppServices()
{
    return GServices;
}

bool AcquireSingleInstance(const String& Name)
{
    return GApp && GApp->AcquireSingleInstance(Name);
}

bool BringAppToFront()
{
    return GApp && GApp->BringToFront();
}

void RegisterAppVersionService(TXServiceManager* Manager, TXAppVersionService* Service)
{
    Manager->SetService<TXAppVersionService>(Service);
    Manager->Own(Service);
}

void InitPerMonitorDPI()
{
    if (!IsWindows81OrLater() || !Screen)
        return;
    TMonitor* Primary = Screen->PrimaryMonitor();
    UINT X = 0, Y = 0;
    if (Primary && GetDpiForMonitor(Primary->Handle(), MDT_EFFECTIVE_DPI, &X, &Y) == S_OK && Y > 0)
        Screen->SetPixelsPerInch(Integer(Y));
}

Integer ScaleToDPI(Integer Value)
{
    return MulDiv(Value, ScreenDPIY, DefaultScreenDPI);
}

TRect ScaleRect(const TRect& Rect, double ScaleX, double ScaleY)
{
    auto Round = [](double V) { return Integer(std::nearbyint(V)); };
    return { Round(Rect.Left * ScaleX), Round(Rect.Top * ScaleY), Round(Rect.Right * ScaleX),
        Round(Rect.Bottom * ScaleY) };
}

bool IsWindows8OrLater()
{
    return true;
}

bool IsWindows81OrLater()
{
    return true;
}
