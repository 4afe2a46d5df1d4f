// The rich-edit window classes: a window whose procedure speaks the
// rich-edit messages (RichEditMessages.h) over the engine's editor, and
// tells its parent of changes with EN_ notifications.
//
//     const TRichEditLibrary* Lib = LoadRichEditLibrary(u"RICHED20.DLL");
//     HWND Edit = CreateWindowEx(0, Lib->ClassName, u"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 80, Parent);
//     SendMessage(Edit, EM_REPLACESEL, 0, LPARAM(u"Hello"));
//
// The "libraries" are only names: each one registers its class on first
// load. A control of the class library that keeps its own window procedure
// hands the messages it leaves alone to RichEditWindowProc, paints through
// PaintRichEdit and takes the notifications through OnNotify instead of
// its parent's WM_NOTIFY.
#pragma once
#include "richedit/RichEditMessages.h"
#include "richedit/RichEditor.h"
#include <functional>
#include <span>

class TCanvas;

struct TRichEditLibrary {
    const Char* FileName; // what a control asks to load
    const Char* ClassName; // the window class it brings
    Integer Version; // tenths: 41 for 4.1
};

// The library of that file name, its class registered; null when there is
// none (or the seam below emptied the list).
const TRichEditLibrary* LoadRichEditLibrary(StringView FileName);
// Every library known, in no order.
std::span<const TRichEditLibrary> RichEditLibraries();
// Tests: with false, no library loads (the platform without a rich-edit
// control); true brings them back.
void SetRichEditLibrariesAvailable(bool Value);

LRESULT RichEditWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);

// The state behind one rich-edit window.
class TRichEditWindow {
public:
    explicit TRichEditWindow(HWND Wnd);

    HWND Handle() const { return FHandle; }
    TRichEditor& Editor() { return FEditor; }
    const TRichDocument& Document() const { return FEditor.Document(); }

    LRESULT Message(UINT Msg, WPARAM WParam, LPARAM LParam);
    // The visible text, selection and caret on Canvas, whose (0, 0) is the
    // client area's corner; Focused draws the caret.
    void Paint(TCanvas* Canvas, const TRect& Client, bool Focused);
    // The character nearest a client point.
    Integer CharFromPos(TPoint Pos, Integer ClientWidth);

    // Notifications go here when set (answer as WM_NOTIFY would), else to
    // the parent window. EN_CHANGE comes as OnChange, else WM_COMMAND.
    std::function<LRESULT(NMHDR& Header)> OnNotify;
    std::function<void()> OnChange;

    DWORD EventMask() const { return FEventMask; }
    bool Modified() const { return FModified; }
    bool ReadOnly() const { return FOptions & ECO_READONLY; }
    Integer TextLimit() const { return FLimit; }
    bool PlainText() const { return FTextMode & TM_PLAINTEXT; }
    TColor BackColor() const { return FBackColor; }

private:
    LRESULT Notify(NMHDR& Header, UINT Code);
    void Changed();
    void SelectionChanged();
    bool StreamIn(WPARAM Format, EDITSTREAM& Stream);
    bool StreamOut(WPARAM Format, EDITSTREAM& Stream);
    LRESULT FormatRange(bool Render, FORMATRANGE* Range);
    void KeyDown(Word Key);
    void Click(UINT Msg, LPARAM LParam);
    // Whether typing N more characters over the selection keeps the text
    // within the limit.
    bool Fits(Integer N) const;

    HWND FHandle;
    TRichEditor FEditor;
    DWORD FEventMask = 0;
    DWORD FOptions = ECO_AUTOWORDSELECTION;
    DWORD FLangOptions = IMF_AUTOFONT;
    WPARAM FTextMode = TM_RICHTEXT | TM_MULTILEVELUNDO;
    Integer FLimit = DefaultRichTextLimit;
    TColor FBackColor = 0xFFFFFF;
    bool FModified = false;
    bool FHideSelection = false;
    // The selection last told with EN_SELCHANGE.
    CHARRANGE FToldSel;
    // The protected change being asked about: its message.
    UINT FPendingMsg = 0;
    WPARAM FPendingWParam = 0;
    LPARAM FPendingLParam = 0;
};

// The state of a window of a rich-edit class (or of a control that hands
// its messages to RichEditWindowProc); null for any other window.
TRichEditWindow* RichEditWindowOf(HWND Wnd);
void PaintRichEdit(HWND Wnd, TCanvas* Canvas, const TRect& Client, bool Focused);
