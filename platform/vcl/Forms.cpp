#include "vcl/Forms.h"
#include <cwctype>
#include "rtl/StringList.h"
#include "win/Input.h"
#include "win/Presenter.h"
#include "rtl/Units.h"
#include "win/Metrics.h"
#include "win/WinApi.h"
#include "win/WindowPlacement.h"
#include <fontconfig/fontconfig.h>

X_REGISTER_CLASS(TApplication)
X_REGISTER_CLASS(TMonitor)
X_REGISTER_CLASS(TScreen)
X_REGISTER_CLASS(TCustomForm)
X_REGISTER_CLASS(TForm)

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

namespace {

// The display's presenter when the program runs on one (see
// MakeDisplayPresenter); the headless one serves otherwise.
TPresenter* DisplayPresenter = nullptr;

// The application's forms go when the program ends, before any unit is
// finalised: their controls still use the units above this one (skins,
// engines), which go before this unit does.
void DoneApplication()
{
    if (Application)
        Application->DestroyComponents();
}

void InitForms()
{
    DisplayPresenter = MakeDisplayPresenter();
    if (DisplayPresenter)
        SetPresenter(DisplayPresenter);
    Application = New<TApplication>(nullptr);
    Screen = New<TScreen>(nullptr);
    AddExitProc(&DoneApplication);
}

void DoneForms()
{
    FreeAndNil(Screen);
    FreeAndNil(Application);
    if (DisplayPresenter) {
        SetPresenter(nullptr);
        delete DisplayPresenter;
        DisplayPresenter = nullptr;
    }
}

TRect ToRect(const RECT& R)
{
    return { R.left, R.top, R.right, R.bottom };
}

DWORD DefaultFlags(TMonitorDefaultTo Default)
{
    switch (Default) {
    case mdNull: return MONITOR_DEFAULTTONULL;
    case mdPrimary: return MONITOR_DEFAULTTOPRIMARY;
    default: return MONITOR_DEFAULTTONEAREST;
    }
}

}

X_UNIT(Forms, "Forms", ({ "WinApi" }), &InitForms, &DoneForms)

// ---- TApplication ----

void TApplication::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FHandle = AllocateHWnd([this](TMessage& Message) { WndProc(Message); });
}

void TApplication::BeforeDestruction()
{
    DeallocateHWnd(FHandle);
    FHandle = nullptr;
    inherited::BeforeDestruction();
}

void TApplication::SetTitle(const String& Value)
{
    FTitle = Value;
    SetWindowText(FHandle, Value);
}

void TApplication::Dispatch(MSG& Msg)
{
    HintMessage(Msg);
    bool Handled = false;
    if (FOnMessage)
        FOnMessage(Msg, Handled);
    if (!Handled && OnShortCut && (Msg.message == WM_KEYDOWN || Msg.message == WM_SYSKEYDOWN)) {
        TMessage Key { Msg.message, Msg.wParam, Msg.lParam, 0 };
        const TShortCutEvent Handler = OnShortCut;
        Handler(Key, Handled);
    }
    if (!Handled && !IsDialogKeyMessage(Msg)) {
        TranslateMessage(&Msg);
        DispatchMessage(&Msg);
    }
    // Contexts that canvases took for drawing outside WM_PAINT go back, so
    // what they drew is shown.
    FreeDeviceContexts();
}

bool TApplication::ProcessMessage(MSG& Msg)
{
    if (!PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (Msg.message == WM_QUIT) {
        FTerminated = true;
        FQuit = Msg;
        ++FQuitsSeen;
    } else {
        Dispatch(Msg);
    }
    return true;
}

void TApplication::Run()
{
    FTerminated = false;
    while (!FTerminated)
        HandleMessage();
}

void TApplication::HandleMessage()
{
    MSG Msg;
    if (!ProcessMessage(Msg)) {
        Idle();
        if (!FTerminated)
            WaitMessage();
    }
}

void TApplication::Idle()
{
    FreeDeviceContexts();
    bool Done = true;
    if (const TIdleEvent Handler = OnIdle)
        Handler(this, Done);
}

void TApplication::SetHint(const String& Value)
{
    if (FHint == Value)
        return;
    FHint = Value;
    if (const TNotifyEvent Handler = OnHint)
        Handler(this);
}

void TApplication::HandleException(TObject* Sender)
{
    const std::exception_ptr Current = std::current_exception();
    if (!Current)
        return;
    if (HWND Capture = GetCapture())
        SendMessage(Capture, WM_CANCELMODE, 0, 0);
    try {
        std::rethrow_exception(Current);
    } catch (const EAbort&) {
        // A silent exception: nothing to report.
    } catch (Exception& E) {
        if (const TExceptionEvent Handler = OnException)
            Handler(Sender, &E);
        else
            ShowException(E);
    }
}

void TApplication::ShowException(const Exception& E)
{
    const std::string Text = StringToUTF8(E.Message());
    std::fprintf(stderr, "%s\n", Text.c_str());
}

bool TApplication::HelpCommand(Word Command, NativeInt Data)
{
    bool CallHelp = true;
    if (const THelpEvent Handler = OnHelp)
        return Handler(Command, Data, CallHelp);
    return false;
}

void TApplication::ModalStarted()
{
    ++FModalLevel;
    if (const TNotifyEvent Handler = OnModalBegin)
        Handler(this);
}

void TApplication::ModalFinished()
{
    --FModalLevel;
    if (const TNotifyEvent Handler = OnModalEnd)
        Handler(this);
}

void TApplication::ProcessMessages()
{
    MSG Msg;
    while (ProcessMessage(Msg)) { }
}

void TApplication::Terminate()
{
    PostQuitMessage(0);
}

void TApplication::Minimize()
{
    ShowWindow(FHandle, SW_MINIMIZE);
    if (const TNotifyEvent Handler = OnMinimize)
        Handler(this);
}

void TApplication::Restore()
{
    ShowWindow(FHandle, SW_RESTORE);
    if (const TNotifyEvent Handler = OnRestore)
        Handler(this);
}

void TApplication::WndProc(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_TIMER: HintTimer(UINT_PTR(Message.WParam)); break;
    case WM_SYSCOMMAND:
        switch (Message.WParam & 0xFFF0) {
        case SC_MINIMIZE: Minimize(); break;
        case SC_RESTORE: Restore(); break;
        }
        break;
    case WM_ACTIVATEAPP:
        if (const TNotifyEvent Handler = Message.WParam ? OnActivate : OnDeactivate)
            Handler(this);
        break;
    case WM_SETTINGCHANGE:
        if (const TSettingChangeEvent Handler = OnSettingChange) {
            Integer Result = 0;
            const auto* Section = reinterpret_cast<const Char*>(Message.LParam);
            Handler(this, Integer(Message.WParam), Section ? String(Section) : String(), Result);
            Message.Result = Result;
        }
        break;
    }
}

// ---- TMonitor ----

TRect TMonitor::BoundsRect() const
{
    MONITORINFOEX Info;
    return GetMonitorInfo(FHandle, &Info) ? ToRect(Info.rcMonitor) : TRect {};
}

TRect TMonitor::WorkareaRect() const
{
    MONITORINFOEX Info;
    return GetMonitorInfo(FHandle, &Info) ? ToRect(Info.rcWork) : TRect {};
}

bool TMonitor::Primary() const
{
    MONITORINFOEX Info;
    return GetMonitorInfo(FHandle, &Info) && (Info.dwFlags & MONITORINFOF_PRIMARY);
}

Integer TMonitor::PixelsPerInch() const
{
    UINT X = 0, Y = 0;
    return GetDpiForMonitor(FHandle, MDT_EFFECTIVE_DPI, &X, &Y) == S_OK ? Integer(Y) : 0;
}

// ---- TScreen ----

void TScreen::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FPixelsPerInch = GetScreenDeviceCaps(LOGPIXELSY);
    const std::pair<TCursor, Integer> Standard[] = {
        { crDefault, IDC_ARROW },
        { crArrow, IDC_ARROW },
        { crCross, IDC_CROSS },
        { crIBeam, IDC_IBEAM },
        { crSizeNESW, IDC_SIZENESW },
        { crSizeNS, IDC_SIZENS },
        { crSizeNWSE, IDC_SIZENWSE },
        { crSizeWE, IDC_SIZEWE },
        { crUpArrow, IDC_UPARROW },
        { crHourGlass, IDC_WAIT },
        { crNo, IDC_NO },
        { crAppStart, IDC_APPSTARTING },
        { crHelp, IDC_HELP },
        { crHandPoint, IDC_HAND },
        { crSizeAll, IDC_SIZEALL },
    };
    for (const auto& [Number, Id] : Standard)
        FCursors[Number] = LoadCursor(nullptr, Id);
}

TScreen::~TScreen() = default;

void TScreen::SetCursor(TCursor Value)
{
    FCursor = Value;
    ::SetCursor(Cursors(Value));
}

HCURSOR TScreen::Cursors(Integer Index) const
{
    auto It = FCursors.find(Index);
    if (It != FCursors.end())
        return It->second;
    return FCursors.at(crDefault);
}

void TScreen::SetCursors(Integer Index, HCURSOR Cursor)
{
    if (Cursor)
        FCursors[Index] = Cursor;
    else if (Index != crDefault)
        FCursors.erase(Index);
}

void TScreen::UpdateMonitors()
{
    const std::vector<HMONITOR> Handles = EnumDisplayMonitors();
    if (Handles.size() == FMonitors.size())
        return;
    FMonitors.clear();
    for (size_t I = 0; I < Handles.size(); ++I) {
        TOwnedPtr<TMonitor> M(New<TMonitor>());
        M->FHandle = Handles[I];
        M->FMonitorNum = Integer(I);
        FMonitors.push_back(std::move(M));
    }
}

TMonitor* TScreen::Find(HMONITOR Handle)
{
    UpdateMonitors();
    for (const auto& M : FMonitors)
        if (M->Handle() == Handle)
            return M.get();
    return nullptr;
}

Integer TScreen::MonitorCount()
{
    UpdateMonitors();
    return Integer(FMonitors.size());
}

TMonitor* TScreen::Monitors(Integer Index)
{
    UpdateMonitors();
    return Index >= 0 && size_t(Index) < FMonitors.size() ? FMonitors[size_t(Index)].get() : nullptr;
}

TMonitor* TScreen::PrimaryMonitor()
{
    UpdateMonitors();
    for (const auto& M : FMonitors)
        if (M->Primary())
            return M.get();
    return FMonitors.empty() ? nullptr : FMonitors.front().get();
}

TMonitor* TScreen::MonitorFromPoint(POINT Point, TMonitorDefaultTo Default)
{
    return Find(::MonitorFromPoint(Point, DefaultFlags(Default)));
}

TMonitor* TScreen::MonitorFromWindow(HWND Wnd, TMonitorDefaultTo Default)
{
    return Find(::MonitorFromWindow(Wnd, DefaultFlags(Default)));
}

Integer TScreen::Width()
{
    TMonitor* M = PrimaryMonitor();
    return M ? M->Width() : 0;
}

Integer TScreen::Height()
{
    TMonitor* M = PrimaryMonitor();
    return M ? M->Height() : 0;
}

TCustomForm* TScreen::ActiveForm() const
{
    HWND Active = GetActiveWindow();
    for (TCustomForm* F : FForms)
        if (F->HandleAllocated() && F->Handle() == Active)
            return F;
    return nullptr;
}

TControl* TScreen::ActiveControl() const
{
    TCustomForm* F = ActiveForm();
    return F ? F->ActiveControl() : nullptr;
}

TStrings* TScreen::Fonts()
{
    if (FFonts)
        return FFonts.get();
    FFonts.reset(New<TStringList>());
    FFonts->SetDuplicates(dupIgnore);
    FFonts->SetSorted(true);
    // A configuration of our own, freed after use: the process-wide one
    // would live until the end and belongs to whoever draws text.
    FcConfig* Config = FcInitLoadConfigAndFonts();
    if (!Config)
        return FFonts.get();
    FcPattern* Pattern = FcPatternCreate();
    FcObjectSet* Objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    if (FcFontSet* Set = FcFontList(Config, Pattern, Objects)) {
        for (int I = 0; I < Set->nfont; ++I) {
            FcChar8* Family = nullptr;
            if (FcPatternGetString(Set->fonts[I], FC_FAMILY, 0, &Family) == FcResultMatch && Family)
                FFonts->Add(UTF8ToString(reinterpret_cast<const char*>(Family)));
        }
        FcFontSetDestroy(Set);
    }
    FcObjectSetDestroy(Objects);
    FcPatternDestroy(Pattern);
    FcConfigDestroy(Config);
    return FFonts.get();
}

bool IsAccel(Char Key, const String& Caption)
{
    for (size_t I = 0; I + 1 < Caption.size(); ++I) {
        if (Caption[I] != u'&')
            continue;
        if (Caption[I + 1] == u'&') {
            ++I; // "&&" is an ampersand shown
            continue;
        }
        return std::towupper(wint_t(Caption[I + 1])) == std::towupper(wint_t(Key));
    }
    return false;
}
