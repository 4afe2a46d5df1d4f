// Window and shell utilities the forms, dialogs and programs share: the
// program registered for a file type or protocol, starting at logon, the
// shell with the application window as owner, the hourglass and the
// program's own cursors, top-level windows by class and title, and the
// monitor and display-adapter lists.
//
//     SyncRunAtLogon(Settings->RunAtStartup, u"Lumeno Wallpaper", QVApp()->ProgramFile(), u"");
//     Screen->SetCursor(crXHPoint);           // over a clickable spot
#pragma once
#include "core/XCore.Types.h"
#include "vcl/UITypes.h"
#include "win/Registry.h"
#include <vector>

class TStrings;
class TFont;
class TControl;
class TCustomForm;
struct TPoint;

using TXHWndArray = std::vector<HWND>;

// The program's cursors in the screen's table: moving, pointing, picking.
constexpr TCursor crXHMove = 4;
constexpr TCursor crXHPoint = 5;
constexpr TCursor crXPick = 6;

// The registered id of "XM_Progress".
extern UINT XM_Progress;
// The width of a caption button; 16 when the system does not tell.
extern Integer XCaptionButtonWidth;

// The open command of Key under Root ("\Key\shell\open\command", default
// value), split into the program and its parameters (placeholders such as
// "%1" dropped). False, and both empty, when there is none.
bool ReadOpenCommand(HKEY Root, const String& Key, String& Program, String& Parameters);
// Under HKEY_CURRENT_USER\Software\Classes, else HKEY_CLASSES_ROOT.
bool GetRegisteredProgram(const String& TypeOrProtocol, String& Program, String& Parameters);
// The splitting of ReadOpenCommand: after the last ".exe", ".bat" or
// ".com" (any case); a command with none splits after its first argument.
void SplitOpenCommand(const String& Command, String& Program, String& Parameters);

// Starting at logon: an autostart entry Value Name whose command is the
// program, "/a" and the parameters. In portable or demo mode nothing is
// touched: Set and Sync answer False, Remove True.
bool SetRunAtLogon(bool On, const String& ValueName, const String& ProgramPath, const String& Parameters);
// Deletes every entry whose program is ProgramPath (compared exactly); an
// empty path deletes nothing. False when an entry could not be read or
// deleted (the others are still looked at).
bool RemoveRunAtLogon(const String& ProgramPath);
// Sets or removes as On says, when an entry of the program is missing or
// there; answers whether the entries could be read.
bool SyncRunAtLogon(bool On, const String& ValueName, const String& ProgramPath, const String& Parameters);
bool ToggleRunAtLogon(bool& Flag, const String& ValueName, const String& ProgramPath, const String& Parameters);

// The shell with the application window as owner; True when started.
bool ShellExecuteFile(const String& Verb, const String& FileName, const String& Parameters, const String& Directory);

// Text measured in Font on the unit's measuring bitmap (100 x 100 before
// every measurement): the advance, and the advance with the font's cell
// height.
Integer GetTextWidth(const String& Text, TFont* Font);
void GetTextExtent(const String& Text, TFont* Font, Integer& Width, Integer& Height);
// The control's client origin in its parent's client coordinates.
TPoint GetClientOriginInParent(TControl* Control);
// Point of the form's client area relative to the form's window rectangle.
TPoint ClientToWindowPoint(TCustomForm* Form, TPoint Point);

void SetHourGlassCursor();
void SetDefaultCursor();

// Takes one waiting message of the form's window and dispatches it; WM_QUIT
// ends the application instead. False when none was waiting.
bool PumpWindowMessage(TCustomForm* Form, MSG& Msg);
// Every message of the form's window that is waiting.
void ProcessWindowMessages(TCustomForm* Form);

// Every top-level window but the application window whose class name and
// text equal the filters (an empty filter takes any).
void FindWindowsByClassAndTitle(const String& ClassName, const String& Title, TXHWndArray& Handles);

// One line per display adapter: "1. <first monitor> on <adapter>".
void ListDisplayDevices(TStrings* Lines);
// Indexes in the screen's monitor list; 0 when there is none.
Integer GetPrimaryMonitorIndex();
Integer GetWindowMonitorIndex(HWND Window, DWORD DefaultTo);
Integer GetPointMonitorIndex(POINT Point, DWORD DefaultTo);
