// The rich-edit window's messages, notifications and records: the numbers
// and layouts a rich-edit control is spoken to with, so the controls of
// the class library and the framework send them unchanged.
//
//     CHARFORMAT2 Cf;
//     Cf.dwMask = CFM_BOLD;
//     Cf.dwEffects = CFE_BOLD;
//     SendMessage(Edit, EM_SETCHARFORMAT, SCF_SELECTION, LPARAM(&Cf));
//
// Device contexts: the engine draws only through a canvas, so a format
// range names the canvas to draw on and the resolution it measures in.
#pragma once
#include "richedit/RichFormat.h"
#include "win/Messages.h"

class TCanvas;

// Plain edit messages the window answers.
constexpr UINT EM_GETSEL = 0x00B0;
constexpr UINT EM_SETSEL = 0x00B1;
constexpr UINT EM_SCROLLCARET = 0x00B7;
constexpr UINT EM_GETMODIFY = 0x00B8;
constexpr UINT EM_SETMODIFY = 0x00B9;
constexpr UINT EM_GETLINECOUNT = 0x00BA;
constexpr UINT EM_LINEINDEX = 0x00BB;
constexpr UINT EM_LINELENGTH = 0x00C1;
constexpr UINT EM_REPLACESEL = 0x00C2;
constexpr UINT EM_GETLINE = 0x00C4;
constexpr UINT EM_CANUNDO = 0x00C6;
constexpr UINT EM_UNDO = 0x00C7;
constexpr UINT EM_LINEFROMCHAR = 0x00C9;
constexpr UINT EM_SETREADONLY = 0x00CF;
constexpr UINT EM_GETLIMITTEXT = 0x00D5;
constexpr UINT WM_CUT = 0x0300;
constexpr UINT WM_COPY = 0x0301;
constexpr UINT WM_PASTE = 0x0302;
constexpr UINT WM_CLEAR = 0x0303;
constexpr UINT WM_UNDO = 0x0304;

// Rich-edit messages.
constexpr UINT EM_CANPASTE = WM_USER + 50;
constexpr UINT EM_EXGETSEL = WM_USER + 52;
constexpr UINT EM_EXLIMITTEXT = WM_USER + 53;
constexpr UINT EM_EXLINEFROMCHAR = WM_USER + 54;
constexpr UINT EM_EXSETSEL = WM_USER + 55;
constexpr UINT EM_FORMATRANGE = WM_USER + 57;
constexpr UINT EM_GETCHARFORMAT = WM_USER + 58;
constexpr UINT EM_GETEVENTMASK = WM_USER + 59;
constexpr UINT EM_GETPARAFORMAT = WM_USER + 61;
constexpr UINT EM_HIDESELECTION = WM_USER + 63;
constexpr UINT EM_PASTESPECIAL = WM_USER + 64;
constexpr UINT EM_REQUESTRESIZE = WM_USER + 65;
constexpr UINT EM_SELECTIONTYPE = WM_USER + 66;
constexpr UINT EM_SETBKGNDCOLOR = WM_USER + 67;
constexpr UINT EM_SETCHARFORMAT = WM_USER + 68;
constexpr UINT EM_SETEVENTMASK = WM_USER + 69;
constexpr UINT EM_SETPARAFORMAT = WM_USER + 71;
constexpr UINT EM_SETTARGETDEVICE = WM_USER + 72;
constexpr UINT EM_STREAMIN = WM_USER + 73;
constexpr UINT EM_STREAMOUT = WM_USER + 74;
constexpr UINT EM_GETTEXTRANGE = WM_USER + 75;
constexpr UINT EM_SETOPTIONS = WM_USER + 77;
constexpr UINT EM_GETOPTIONS = WM_USER + 78;
constexpr UINT EM_FINDTEXTEX = WM_USER + 79;
constexpr UINT EM_SETUNDOLIMIT = WM_USER + 82;
constexpr UINT EM_SETTEXTMODE = WM_USER + 89;
constexpr UINT EM_GETTEXTMODE = WM_USER + 90;
constexpr UINT EM_AUTOURLDETECT = WM_USER + 91;
constexpr UINT EM_GETAUTOURLDETECT = WM_USER + 92;
constexpr UINT EM_GETTEXTEX = WM_USER + 94;
constexpr UINT EM_GETTEXTLENGTHEX = WM_USER + 95;
constexpr UINT EM_SETLANGOPTIONS = WM_USER + 120;
constexpr UINT EM_GETLANGOPTIONS = WM_USER + 121;

// Notifications: EN_CHANGE through WM_COMMAND, the others through WM_NOTIFY.
constexpr UINT EN_CHANGE = 0x0300;
constexpr UINT EN_REQUESTRESIZE = 0x0701;
constexpr UINT EN_SELCHANGE = 0x0702;
constexpr UINT EN_PROTECTED = 0x0704;
constexpr UINT EN_SAVECLIPBOARD = 0x0708;
constexpr UINT EN_LINK = 0x070B;

// Event mask bits.
constexpr DWORD ENM_CHANGE = 0x00000001;
constexpr DWORD ENM_REQUESTRESIZE = 0x00040000;
constexpr DWORD ENM_SELCHANGE = 0x00080000;
constexpr DWORD ENM_PROTECTED = 0x00200000;
constexpr DWORD ENM_LINK = 0x04000000;

// Stream formats.
constexpr DWORD SF_TEXT = 0x0001;
constexpr DWORD SF_RTF = 0x0002;
constexpr DWORD SF_RTFNOOBJS = 0x0003;
constexpr DWORD SF_UNICODE = 0x0010;
// Plain text in the code page of the high word.
constexpr DWORD SF_USECODEPAGE = 0x0020;
constexpr DWORD SFF_PLAINRTF = 0x4000;
constexpr DWORD SFF_SELECTION = 0x8000;

// Character format scopes.
constexpr WPARAM SCF_DEFAULT = 0x0000;
constexpr WPARAM SCF_SELECTION = 0x0001;
constexpr WPARAM SCF_WORD = 0x0002;
constexpr WPARAM SCF_ALL = 0x0004;

// Text modes.
constexpr WPARAM TM_PLAINTEXT = 1;
constexpr WPARAM TM_RICHTEXT = 2;
constexpr WPARAM TM_SINGLELEVELUNDO = 4;
constexpr WPARAM TM_MULTILEVELUNDO = 8;

// Options.
constexpr DWORD ECO_AUTOWORDSELECTION = 0x00000001;
constexpr DWORD ECO_NOHIDESEL = 0x00000100;
constexpr DWORD ECO_READONLY = 0x00000800;
constexpr DWORD ECO_SELECTIONBAR = 0x01000000;
constexpr WPARAM ECOOP_SET = 1;
constexpr WPARAM ECOOP_OR = 2;
constexpr WPARAM ECOOP_AND = 3;
constexpr WPARAM ECOOP_XOR = 4;

// Language options.
constexpr DWORD IMF_AUTOKEYBOARD = 1;
constexpr DWORD IMF_AUTOFONT = 2;
constexpr DWORD IMF_IMECANCELCOMPLETE = 4;
constexpr DWORD IMF_IMEALWAYSSENDNOTIFY = 8;

// Selection kinds.
constexpr Word SEL_EMPTY = 0;
constexpr Word SEL_TEXT = 1;
constexpr Word SEL_OBJECT = 2;
constexpr Word SEL_MULTICHAR = 4;
constexpr Word SEL_MULTIOBJECT = 8;

// EM_GETTEXTEX / EM_GETTEXTLENGTHEX.
constexpr DWORD GT_DEFAULT = 0;
constexpr DWORD GT_SELECTION = 2;
constexpr DWORD GTL_NUMCHARS = 8;

// Window styles of the rich-edit classes.
constexpr DWORD ES_MULTILINE = 0x0004;
constexpr DWORD ES_NOHIDESEL = 0x0100;
constexpr DWORD ES_READONLY = 0x0800;
constexpr DWORD ES_WANTRETURN = 0x1000;
constexpr DWORD ES_SAVESEL = 0x00008000;
constexpr DWORD ES_DISABLENOSCROLL = 0x00002000;
constexpr DWORD ES_SELECTIONBAR = 0x01000000;

// The text limit of a fresh window, and EM_EXLIMITTEXT's for 0.
constexpr Integer DefaultRichTextLimit = 32767;
constexpr Integer MaxRichTextLimit = 0x7FFFFFF0;

struct CHARRANGE {
    LONG cpMin = 0;
    LONG cpMax = 0;
};

struct TEXTRANGEW {
    CHARRANGE chrg;
    Char* lpstrText = nullptr; // room for cpMax - cpMin characters and a terminator
};

struct GETTEXTEX {
    DWORD cb = 0; // bytes of the buffer
    DWORD flags = GT_DEFAULT;
    UINT codepage = 1200;
};

struct GETTEXTLENGTHEX {
    DWORD flags = GTL_NUMCHARS;
    UINT codepage = 1200;
};

struct FINDTEXTEXW {
    CHARRANGE chrg;
    const Char* lpstrText = nullptr;
    CHARRANGE chrgText;
};
constexpr WPARAM FR_DOWN = 0x0001;
constexpr WPARAM FR_WHOLEWORD = 0x0002;
constexpr WPARAM FR_MATCHCASE = 0x0004;

struct CHARFORMAT2W {
    UINT cbSize = sizeof(CHARFORMAT2W);
    DWORD dwMask = 0;
    DWORD dwEffects = 0;
    LONG yHeight = 0;
    LONG yOffset = 0;
    DWORD crTextColor = 0;
    Byte bCharSet = 0;
    Byte bPitchAndFamily = 0;
    Char szFaceName[32] = {};
    Word wWeight = 0;
    std::int16_t sSpacing = 0;
    DWORD crBackColor = 0;
    DWORD lcid = 0;
    DWORD dwReserved = 0;
    std::int16_t sStyle = 0;
    Word wKerning = 0;
    Byte bUnderlineType = 0;
    Byte bAnimation = 0;
    Byte bRevAuthor = 0;
    Byte bReserved1 = 0;
};
static_assert(sizeof(CHARFORMAT2W) == 116);

struct PARAFORMAT2 {
    UINT cbSize = sizeof(PARAFORMAT2);
    DWORD dwMask = 0;
    Word wNumbering = 0;
    Word wEffects = 0;
    LONG dxStartIndent = 0;
    LONG dxRightIndent = 0;
    LONG dxOffset = 0;
    Word wAlignment = 0;
    std::int16_t cTabCount = 0;
    LONG rgxTabs[MAX_TAB_STOPS] = {};
    LONG dySpaceBefore = 0;
    LONG dySpaceAfter = 0;
    LONG dyLineSpacing = 0;
    std::int16_t sStyle = 0;
    Byte bLineSpacingRule = 0;
    Byte bOutlineLevel = 0;
    Word wShadingWeight = 0;
    Word wShadingStyle = 0;
    Word wNumberingStart = 0;
    Word wNumberingStyle = 0;
    Word wNumberingTab = 0;
    Word wBorderSpace = 0;
    Word wBorderWidth = 0;
    Word wBorders = 0;
};
static_assert(sizeof(PARAFORMAT2) == 188);

// Answers 0 to go on; *pcb the bytes moved (0 at the end of the data).
using EDITSTREAMCALLBACK = DWORD (*)(UINT_PTR dwCookie, Byte* pbBuff, LONG cb, LONG* pcb);
struct EDITSTREAM {
    UINT_PTR dwCookie = 0;
    DWORD dwError = 0;
    EDITSTREAMCALLBACK pfnCallback = nullptr;
};

// A page to format: hdc draws (null: measure only), hdcTarget measures;
// rc and rcPage in twips; chrg.cpMax -1 is the end of the text. The
// engine's canvases carry no resolution, so the record names the one its
// twips become pixels at (0: the screen's).
struct FORMATRANGE {
    TCanvas* hdc = nullptr;
    TCanvas* hdcTarget = nullptr;
    RECT rc;
    RECT rcPage;
    CHARRANGE chrg;
    Integer DpiX = 0, DpiY = 0;
};

struct NMHDR {
    HWND hwndFrom = nullptr;
    UINT_PTR idFrom = 0;
    UINT code = 0;
};

struct ENLINK {
    NMHDR nmhdr;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    CHARRANGE chrg;
};

struct ENPROTECTED {
    NMHDR nmhdr;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    CHARRANGE chrg;
};

struct SELCHANGE {
    NMHDR nmhdr;
    CHARRANGE chrg;
    Word seltyp = 0;
};

struct REQRESIZE {
    NMHDR nmhdr;
    RECT rc;
};

struct ENSAVECLIPBOARD {
    NMHDR nmhdr;
    LONG cObjectCount = 0;
    LONG cch = 0;
};
