#include "core/XPlatform.Utils.h"
#include "core/XClasses.h"
#include "core/XCore.Errors.h"
#include "gdi/Bitmap.h"
#include "rtl/StringList.h"
#include "rtl/StrUtils.h"
#include "rtl/Units.h"
#include "vcl/Forms.h"
#include "win/Autostart.h"
#include "win/Cursors.h"
#include "win/Environment.h"
#include "win/Metrics.h"
#include "win/Monitors.h"
#include "win/ShellExecute.h"
#include "win/WinApi.h"
#include "win/WindowTree.h"
#include <algorithm>

UINT XM_Progress = 0;
Integer XCaptionButtonWidth = 16;

namespace {

// Class names and titles are read with room for 300 characters.
constexpr size_t WindowTextRoom = 299;
// Environment expansion in a buffer of 261 characters.
constexpr size_t ExpandRoom = 260;

TBitmap* MeasuringBitmap = nullptr;

void InitUtils()
{
    XM_Progress = RegisterWindowMessage(u"XM_Progress");
    MeasuringBitmap = New<TBitmap>();
    NONCLIENTMETRICS Metrics;
    XCaptionButtonWidth =
        SystemParametersInfo(SPI_GETNONCLIENTMETRICS, Metrics.cbSize, &Metrics, 0) ? Metrics.iCaptionWidth : 16;
    // The program's cursors are shapes of the cursor font here.
    if (Screen) {
        Screen->SetCursors(crXHMove, CreateFontCursor(XC_fleur));
        Screen->SetCursors(crXHPoint, CreateFontCursor(XC_hand2));
        Screen->SetCursors(crXPick, CreateFontCursor(XC_crosshair));
    }
}

bool RunAtLogonLocked()
{
    return PortableMode || DemoMode;
}

std::vector<String> RunCommand(const String& ProgramPath, const String& Parameters)
{
    std::vector<String> Command { ProgramPath, u"/a" };
    for (String& Arg : CommandLineToArgv(Parameters))
        Command.push_back(std::move(Arg));
    return Command;
}

bool IsEntryOf(const TAutostartEntry& Entry, const String& ProgramPath)
{
    return !ProgramPath.empty() && !Entry.Command.empty() && Entry.Command[0] == ProgramPath;
}

// Placeholders ("%1", "%L") go: each "%" with what follows it up to the
// next blank.
String DropPlaceholders(const String& S)
{
    String Out;
    for (size_t I = 0; I < S.size(); ++I) {
        if (S[I] == u'%') {
            while (I + 1 < S.size() && S[I + 1] != u' ')
                ++I;
            continue;
        }
        Out += S[I];
    }
    return Out;
}

void DoneUtils()
{
    FreeAndNil(MeasuringBitmap);
}

TSize Measure(const String& Text, TFont* Font)
{
    MeasuringBitmap->SetSize(100, 100);
    TCanvas* C = MeasuringBitmap->Canvas();
    if (Font)
        C->SetFont(Font);
    return C->TextExtent(Text);
}

}

X_UNIT(XPlatform_Utils, "XPlatform.Utils", ({ "Forms", "WinApi" }), &InitUtils, &DoneUtils)

// ---- text and coordinates ----

Integer GetTextWidth(const String& Text, TFont* Font)
{
    return Measure(Text, Font).cx;
}

void GetTextExtent(const String& Text, TFont* Font, Integer& Width, Integer& Height)
{
    const TSize S = Measure(Text, Font);
    Width = S.cx;
    Height = S.cy;
}

TPoint GetClientOriginInParent(TControl* Control)
{
    const TPoint Origin = Control->ClientOrigin();
    return Control->Parent() ? Control->Parent()->ScreenToClient(Origin) : Origin;
}

TPoint ClientToWindowPoint(TCustomForm* Form, TPoint Point)
{
    RECT Window;
    GetWindowRect(Form->Handle(), &Window);
    POINT Corner { Window.left, Window.top };
    ScreenToClient(Form->Handle(), &Corner);
    return { Point.X - Corner.x, Point.Y - Corner.y };
}

// ---- messages ----

bool PumpWindowMessage(TCustomForm* Form, MSG& Msg)
{
    if (!PeekMessage(&Msg, Form->Handle(), 0, 0, PM_REMOVE))
        return false;
    if (Msg.message == WM_QUIT) {
        Application->Terminate();
        return true;
    }
    if (!IsDialogKeyMessage(Msg)) {
        TranslateMessage(&Msg);
        DispatchMessage(&Msg);
    }
    return true;
}

void ProcessWindowMessages(TCustomForm* Form)
{
    MSG Msg;
    while (PumpWindowMessage(Form, Msg)) { }
}

// ---- file types and protocols ----

void SplitOpenCommand(const String& Command, String& Program, String& Parameters)
{
    String S = Command;
    Parameters.clear();
    // The last ".exe", ".bat" or ".com" ends the program.
    size_t Cut = String::npos;
    for (size_t A = S.size(); A >= 4 && Cut == String::npos; --A) {
        const String Ext = UpperCase(StringView(S).substr(A - 4, 4));
        if (Ext == u".EXE" || Ext == u".BAT" || Ext == u".COM")
            Cut = A;
    }
    if (Cut == String::npos) {
        // No such ending (the usual case here): the first argument is the
        // program; a closing quote goes with the parameters and is dropped.
        if (!S.empty() && S[0] == u'"') {
            const size_t Close = S.find(u'"', 1);
            Cut = Close == String::npos ? S.size() : Close;
        } else {
            const size_t Blank = S.find(u' ');
            Cut = Blank == String::npos ? S.size() : Blank;
        }
    }
    if (Cut < S.size()) {
        String Rest = Trim(StringView(S).substr(Cut));
        Rest.erase(std::remove(Rest.begin(), Rest.end(), u'"'), Rest.end());
        Parameters = Trim(DropPlaceholders(Rest));
        S.resize(Cut);
    }
    if (!S.empty() && S[0] == u'"')
        S.erase(0, 1);
    Program = S;
    String Expanded;
    if (Program.find(u'%') != String::npos && ExpandEnvironmentStrings(Program, Expanded, ExpandRoom))
        Program = Expanded;
}

bool ReadOpenCommand(HKEY Root, const String& Key, String& Program, String& Parameters)
{
    Program.clear();
    Parameters.clear();
    String Command;
    const bool Read = XGuarded(xecNone, false, [&] {
        TOwnedPtr<TRegistry> Reg(New<TRegistry>(KEY_READ));
        Reg->SetRootKey(Root);
        if (!Reg->OpenKeyReadOnly(u"\\" + Key + u"\\shell\\open\\command"))
            return false;
        Command = Reg->ReadString(u"");
        return true;
    });
    if (!Read || Trim(Command).empty())
        return false;
    SplitOpenCommand(Command, Program, Parameters);
    return !Program.empty();
}

bool GetRegisteredProgram(const String& TypeOrProtocol, String& Program, String& Parameters)
{
    return ReadOpenCommand(HKEY_CURRENT_USER, u"Software\\Classes\\" + TypeOrProtocol, Program, Parameters) ||
        ReadOpenCommand(HKEY_CLASSES_ROOT, TypeOrProtocol, Program, Parameters);
}

// ---- start at logon ----

bool SetRunAtLogon(bool On, const String& ValueName, const String& ProgramPath, const String& Parameters)
{
    if (RunAtLogonLocked())
        return false;
    if (!On)
        return RemoveRunAtLogon(ProgramPath);
    if (ProgramPath.empty())
        return false;
    return XGuarded(xecNone, false,
        [&] { return WriteAutostartEntry(ValueName, RunCommand(ProgramPath, Parameters)); });
}

bool RemoveRunAtLogon(const String& ProgramPath)
{
    if (RunAtLogonLocked() || ProgramPath.empty())
        return true;
    return XGuarded(xecNone, false, [&] {
        bool Readable = true;
        const std::vector<TAutostartEntry> Entries = ReadAutostartEntries(Readable);
        bool Result = Readable;
        for (const TAutostartEntry& Entry : Entries) {
            if (!Entry.Readable)
                Result = false;
            else if (IsEntryOf(Entry, ProgramPath) && !DeleteAutostartEntry(Entry))
                Result = false;
        }
        return Result;
    });
}

bool SyncRunAtLogon(bool On, const String& ValueName, const String& ProgramPath, const String& Parameters)
{
    if (RunAtLogonLocked())
        return false;
    return XGuarded(xecNone, false, [&] {
        bool Readable = true;
        const std::vector<TAutostartEntry> Entries = ReadAutostartEntries(Readable);
        if (!Readable)
            return false;
        const bool Found = std::any_of(Entries.begin(), Entries.end(),
            [&](const TAutostartEntry& E) { return IsEntryOf(E, ProgramPath); });
        if (On && !Found)
            SetRunAtLogon(true, ValueName, ProgramPath, Parameters);
        else if (!On && Found)
            RemoveRunAtLogon(ProgramPath);
        return true;
    });
}

bool ToggleRunAtLogon(bool& Flag, const String& ValueName, const String& ProgramPath, const String& Parameters)
{
    Flag = !Flag;
    return SetRunAtLogon(Flag, ValueName, ProgramPath, Parameters);
}

// ---- shell and cursors ----

bool ShellExecuteFile(const String& Verb, const String& FileName, const String& Parameters, const String& Directory)
{
    return ShellExecute(Application ? Application->Handle() : nullptr, Verb, FileName, Parameters, Directory,
               SW_SHOWNORMAL) > 32;
}

void SetHourGlassCursor()
{
    if (Screen)
        Screen->SetCursor(crHourGlass);
}

void SetDefaultCursor()
{
    if (Screen)
        Screen->SetCursor(crDefault);
}

// ---- windows and displays ----

void FindWindowsByClassAndTitle(const String& ClassName, const String& Title, TXHWndArray& Handles)
{
    Handles.clear();
    const HWND Own = Application ? Application->Handle() : nullptr;
    for (HWND Wnd : EnumWindows()) {
        if (Wnd == Own)
            continue;
        if (!ClassName.empty() && GetClassName(Wnd).substr(0, WindowTextRoom) != ClassName)
            continue;
        if (!Title.empty() && GetWindowText(Wnd).substr(0, WindowTextRoom) != Title)
            continue;
        Handles.push_back(Wnd);
    }
}

void ListDisplayDevices(TStrings* Lines)
{
    Lines->Clear();
    Integer Number = 0;
    DISPLAY_DEVICE Adapter;
    for (DWORD I = 0; EnumDisplayDevices(u"", I, &Adapter, 0); ++I) {
        if (!(Adapter.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP))
            continue;
        DISPLAY_DEVICE Monitor;
        if (!EnumDisplayDevices(Adapter.DeviceName, 0, &Monitor, 0))
            Monitor.DeviceString.clear();
        Lines->Add(IntToStr(++Number) + u". " + Monitor.DeviceString + u" on " + Adapter.DeviceString);
    }
}

Integer GetPrimaryMonitorIndex()
{
    if (!Screen)
        return 0;
    for (Integer I = 0; I < Screen->MonitorCount(); ++I)
        if (Screen->Monitors(I)->Primary())
            return I;
    return 0;
}

namespace {
Integer IndexOfMonitor(HMONITOR Monitor)
{
    if (!Screen || !Monitor)
        return 0;
    for (Integer I = 0; I < Screen->MonitorCount(); ++I)
        if (Screen->Monitors(I)->Handle() == Monitor)
            return I;
    return 0;
}
}

Integer GetWindowMonitorIndex(HWND Window, DWORD DefaultTo)
{
    return IndexOfMonitor(MonitorFromWindow(Window, DefaultTo & 0x7F));
}

Integer GetPointMonitorIndex(POINT Point, DWORD DefaultTo)
{
    return IndexOfMonitor(MonitorFromPoint(Point, DefaultTo & 0x7F));
}
