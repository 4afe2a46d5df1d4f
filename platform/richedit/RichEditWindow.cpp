#include "richedit/RichEditWindow.h"
#include "gdi/Canvas.h"
#include "richedit/RichLayout.h"
#include "richedit/RichStreams.h"
#include "richedit/RtfReader.h"
#include "richedit/RtfWriter.h"
#include "rtl/CodePages.h"
#include "rtl/StrUtils.h"
#include "win/Input.h"
#include "win/Metrics.h"
#include "win/Painting.h"
#include "win/WinApi.h"
#include "win/Rects.h"
#include "win/WindowTree.h"
#include <algorithm>
#include <map>
#include <memory>

namespace {

constexpr TRichEditLibrary Libraries[] = {
    { u"MSFTEDIT.DLL", u"RICHEDIT50W", 41 },
    { u"RICHED20.DLL", u"RichEdit20W", 30 },
    { u"RICHED32.DLL", u"RICHEDIT", 10 },
};
bool LibrariesAvailable = true;

// Windows of the rich-edit classes by handle; each window's messages come
// on its own thread, so the map is guarded for the handles of several.
std::map<HWND, std::unique_ptr<TRichEditWindow>>& Windows()
{
    static std::map<HWND, std::unique_ptr<TRichEditWindow>> Map;
    return Map;
}

// Streams move in pieces of this many bytes, as the control's buffer would.
constexpr LONG StreamPiece = 4096;

bool SameName(StringView A, StringView B)
{
    return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](Char X, Char Y) {
        return (X >= u'a' && X <= u'z' ? X - 32 : X) == (Y >= u'a' && Y <= u'z' ? Y - 32 : Y);
    });
}

Integer ScreenDpi(Integer Index)
{
    const Integer Dpi = GetScreenDeviceCaps(Index);
    return Dpi > 0 ? Dpi : DefaultScreenDPI;
}

// The layout of the whole document in one column as wide as the client area.
TRichPage LayOut(const TRichDocument& Doc, Integer ClientWidth)
{
    const Integer Width = std::max<Integer>(PixelsToTwips(ClientWidth, ScreenDpi(LOGPIXELSX)), 1);
    return FormatRange(Doc, 0, Rect(0, 0, Width, MaxTwips * 64), true);
}

// X in twips of character Pos on Line (a piece spreads its width evenly:
// the engine draws words whole).
Integer XOfChar(const TRichLine& Line, Integer Pos)
{
    for (const TRichLine::TPiece& P : Line.Pieces)
        if (Pos >= P.Start && Pos < P.End)
            return P.X + Integer(Int64(P.Width) * (Pos - P.Start) / std::max(P.End - P.Start, 1));
    return Line.Pieces.empty() ? 0 : Line.Pieces.back().X + Line.Pieces.back().Width;
}

CHARFORMAT2W ToRecord(const TRichCharFormat& F, Cardinal Mask)
{
    CHARFORMAT2W R;
    R.dwMask = Mask;
    R.dwEffects = F.Effects;
    R.yHeight = F.Height;
    R.yOffset = F.Offset;
    R.crTextColor = DWORD(F.TextColor);
    R.crBackColor = DWORD(F.BackColor);
    R.bCharSet = F.Charset;
    R.bPitchAndFamily = F.PitchAndFamily;
    R.wWeight = F.Weight;
    std::copy_n(F.FaceName.begin(), std::min(F.FaceName.size(), MaxFaceName), R.szFaceName);
    return R;
}

TRichCharFormat FromRecord(const CHARFORMAT2W& R)
{
    TRichCharFormat F;
    F.Effects = R.dwEffects;
    F.Height = ClampCharHeight(R.yHeight);
    F.Offset = ClampTwips(R.yOffset);
    F.TextColor = TColor(R.crTextColor & 0xFFFFFF);
    F.BackColor = TColor(R.crBackColor & 0xFFFFFF);
    F.Charset = R.bCharSet;
    F.PitchAndFamily = R.bPitchAndFamily;
    F.Weight = R.wWeight;
    const Char* End = std::find(R.szFaceName, R.szFaceName + MaxFaceName, Char(0));
    F.FaceName.assign(R.szFaceName, End);
    return F;
}

PARAFORMAT2 ToRecord(const TRichParaFormat& F, Cardinal Mask)
{
    PARAFORMAT2 R;
    R.dwMask = Mask;
    R.wNumbering = F.Numbering;
    R.dxStartIndent = F.StartIndent;
    R.dxRightIndent = F.RightIndent;
    R.dxOffset = F.Offset;
    R.wAlignment = F.Alignment;
    R.cTabCount = std::int16_t(F.TabCount);
    std::copy(F.Tabs.begin(), F.Tabs.end(), R.rgxTabs);
    R.dySpaceBefore = F.SpaceBefore;
    R.dySpaceAfter = F.SpaceAfter;
    R.dyLineSpacing = F.LineSpacing;
    R.bLineSpacingRule = F.LineSpacingRule;
    return R;
}

TRichParaFormat FromRecord(const PARAFORMAT2& R)
{
    TRichParaFormat F;
    F.Numbering = R.wNumbering;
    F.StartIndent = ClampTwips(R.dxStartIndent);
    F.RightIndent = ClampTwips(R.dxRightIndent);
    F.Offset = ClampTwips(R.dxOffset);
    F.Alignment = R.wAlignment >= PFA_LEFT && R.wAlignment <= PFA_JUSTIFY ? R.wAlignment : PFA_LEFT;
    F.TabCount = std::clamp<Integer>(R.cTabCount, 0, MAX_TAB_STOPS);
    std::copy(R.rgxTabs, R.rgxTabs + MAX_TAB_STOPS, F.Tabs.begin());
    F.SpaceBefore = ClampTwips(R.dySpaceBefore);
    F.SpaceAfter = ClampTwips(R.dySpaceAfter);
    F.LineSpacing = ClampTwips(R.dyLineSpacing);
    F.LineSpacingRule = R.bLineSpacingRule <= 5 ? R.bLineSpacingRule : 0;
    return F;
}

// Plain text as bytes of a stream: CR LF line ends, in UTF-16 or a code page.
RawBytes EncodePlainText(StringView Text, Word CodePage)
{
    String WithBreaks;
    WithBreaks.reserve(Text.size());
    for (Char C : Text) {
        WithBreaks += C;
        if (C == ParagraphMark)
            WithBreaks += u'\n';
    }
    RawBytes Out;
    if (CodePage == CP_UTF16LE || CodePage == CP_UTF16BE) {
        Out.reserve(WithBreaks.size() * 2);
        for (Char C : WithBreaks) {
            const char Lo = char(C & 0xFF), Hi = char(C >> 8);
            Out += CodePage == CP_UTF16LE ? Lo : Hi;
            Out += CodePage == CP_UTF16LE ? Hi : Lo;
        }
        return Out;
    }
    const TCodePageString Bytes = ToCodePage(WithBreaks, CodePage == 65001 ? 65001 : 1252);
    return Bytes.Bytes;
}

// The code page plain text of a stream format is in.
Word StreamCodePage(WPARAM Format)
{
    if (Format & SF_UNICODE)
        return CP_UTF16LE;
    if (Format & SF_USECODEPAGE)
        return HIWORD(Format);
    return 1252;
}

}

const TRichEditLibrary* LoadRichEditLibrary(StringView FileName)
{
    if (!LibrariesAvailable)
        return nullptr;
    for (const TRichEditLibrary& L : Libraries)
        if (SameName(L.FileName, FileName)) {
            WNDCLASS Class;
            Class.style = CS_DBLCLKS;
            Class.lpfnWndProc = &RichEditWindowProc;
            Class.lpszClassName = L.ClassName;
            RegisterClass(Class); // 0 when it was registered before
            return &L;
        }
    return nullptr;
}

std::span<const TRichEditLibrary> RichEditLibraries()
{
    return Libraries;
}

void SetRichEditLibrariesAvailable(bool Value)
{
    LibrariesAvailable = Value;
}

TRichEditWindow* RichEditWindowOf(HWND Wnd)
{
    auto It = Windows().find(Wnd);
    return It == Windows().end() ? nullptr : It->second.get();
}

LRESULT RichEditWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam)
{
    if (Msg == WM_NCDESTROY) {
        // Taken out of the map first: a handler running now finds no state.
        auto It = Windows().find(Wnd);
        if (It != Windows().end()) {
            std::unique_ptr<TRichEditWindow> Gone = std::move(It->second);
            Windows().erase(It);
        }
        return DefWindowProc(Wnd, Msg, WParam, LParam);
    }
    if (!IsWindow(Wnd))
        return 0;
    auto& Slot = Windows()[Wnd];
    if (!Slot)
        Slot = std::make_unique<TRichEditWindow>(Wnd);
    return Slot->Message(Msg, WParam, LParam);
}

void PaintRichEdit(HWND Wnd, TCanvas* Canvas, const TRect& Client, bool Focused)
{
    if (TRichEditWindow* W = RichEditWindowOf(Wnd))
        W->Paint(Canvas, Client, Focused);
}

TRichEditWindow::TRichEditWindow(HWND Wnd)
    : FHandle(Wnd)
{
    FEditor.OnProtectChange = [this](Integer Start, Integer End, bool& Allow) {
        Allow = false;
        if (!(FEventMask & ENM_PROTECTED))
            return;
        ENPROTECTED N;
        N.msg = FPendingMsg;
        N.wParam = FPendingWParam;
        N.lParam = FPendingLParam;
        N.chrg = { LONG(Start), LONG(End) };
        Allow = Notify(N.nmhdr, EN_PROTECTED) == 0;
    };
    const LONG_PTR Style = GetWindowLongPtr(Wnd, GWL_STYLE);
    if (Style & ES_READONLY)
        FOptions |= ECO_READONLY;
    if (Style & ES_SELECTIONBAR)
        FOptions |= ECO_SELECTIONBAR;
    FHideSelection = !(Style & ES_NOHIDESEL);
}

LRESULT TRichEditWindow::Notify(NMHDR& Header, UINT Code)
{
    Header.hwndFrom = FHandle;
    Header.idFrom = UINT_PTR(GetWindowLongPtr(FHandle, GWLP_ID));
    Header.code = Code;
    if (OnNotify)
        return OnNotify(Header);
    return SendMessage(GetParent(FHandle), WM_NOTIFY, Header.idFrom, LPARAM(&Header));
}

// Every notification may destroy the window, and this object with it:
// after one, nothing of it is touched unless the handle still leads here.
void TRichEditWindow::Changed()
{
    const HWND Wnd = FHandle;
    FModified = true;
    InvalidateRect(Wnd, nullptr, false);
    if (FEventMask & ENM_CHANGE) {
        if (OnChange)
            OnChange();
        else
            SendMessage(GetParent(Wnd), WM_COMMAND, (WPARAM(EN_CHANGE) << 16) | (GetWindowLongPtr(Wnd, GWLP_ID) & 0xFFFF),
                LPARAM(Wnd));
        if (RichEditWindowOf(Wnd) != this)
            return;
    }
    if (FEventMask & ENM_REQUESTRESIZE) {
        RECT Client;
        GetClientRect(Wnd, &Client);
        const TRichPage Page = LayOut(FEditor.Document(), RectWidth(Client));
        REQRESIZE N;
        N.rc = { 0, 0, Client.right, TwipsToPixels(Page.Bottom, ScreenDpi(LOGPIXELSY)) };
        Notify(N.nmhdr, EN_REQUESTRESIZE);
        if (RichEditWindowOf(Wnd) != this)
            return;
    }
    SelectionChanged();
}

void TRichEditWindow::SelectionChanged()
{
    const CHARRANGE Now { LONG(FEditor.SelStart()), LONG(FEditor.SelStart() + FEditor.SelLength()) };
    if (Now.cpMin == FToldSel.cpMin && Now.cpMax == FToldSel.cpMax)
        return;
    FToldSel = Now;
    InvalidateRect(FHandle, nullptr, false);
    if (!(FEventMask & ENM_SELCHANGE))
        return;
    SELCHANGE N;
    N.chrg = Now;
    N.seltyp = Word(Message(EM_SELECTIONTYPE, 0, 0));
    Notify(N.nmhdr, EN_SELCHANGE);
}

bool TRichEditWindow::Fits(Integer N) const
{
    return Int64(FEditor.Document().Length()) - FEditor.SelLength() + N <= FLimit;
}

bool TRichEditWindow::StreamIn(WPARAM Format, EDITSTREAM& Stream)
{
    Stream.dwError = 0;
    if (!Stream.pfnCallback)
        return false;
    const bool Rich = (Format & 0x3) == SF_RTF || (Format & 0x3) == SF_RTFNOOBJS;
    RawBytes All;
    String Text;
    TPlainTextReader Reader(StreamCodePage(Format));
    for (;;) {
        char Buffer[StreamPiece];
        LONG Got = 0;
        const DWORD Error = Stream.pfnCallback(Stream.dwCookie, reinterpret_cast<Byte*>(Buffer), StreamPiece, &Got);
        if (Error) {
            Stream.dwError = Error;
            return false;
        }
        if (Got <= 0)
            break;
        const std::string_view Piece(Buffer, size_t(std::min(Got, StreamPiece)));
        if (Rich)
            All += Piece;
        else
            Reader.Feed(Piece, Text);
    }
    TRichDocument Doc;
    if (Rich) {
        TRtfReadOptions Options;
        Options.NoObjects = (Format & 0x3) == SF_RTFNOOBJS;
        if (ReadRtf(All, Doc, Options) == rrNotRtf) {
            Stream.dwError = DWORD(-16); // not rich text: the caller may read it as plain text
            return false;
        }
    } else {
        Reader.Finish(Text);
        Doc.Append(Text, FEditor.Document().DefaultFormat());
    }
    if (Format & SFF_SELECTION) {
        FEditor.ReplaceSelDocument(Doc);
    } else {
        Doc.SetDefaultFormat(FEditor.Document().DefaultFormat(), CFM_ALL2);
        FEditor.SetDocument(std::move(Doc));
    }
    return true;
}

bool TRichEditWindow::StreamOut(WPARAM Format, EDITSTREAM& Stream)
{
    Stream.dwError = 0;
    if (!Stream.pfnCallback)
        return false;
    const bool Rich = (Format & 0x3) == SF_RTF || (Format & 0x3) == SF_RTFNOOBJS;
    const TRichDocument& Whole = FEditor.Document();
    const TRichDocument Part = (Format & SFF_SELECTION)
        ? Whole.Slice(FEditor.SelStart(), FEditor.SelStart() + FEditor.SelLength())
        : TRichDocument();
    const TRichDocument& Doc = (Format & SFF_SELECTION) ? Part : Whole;
    RawBytes Bytes;
    if (Rich) {
        TRtfWriteOptions Options;
        Options.NoObjects = (Format & 0x3) == SF_RTFNOOBJS;
        Bytes = WriteRtf(Doc, Options);
    } else {
        Bytes = EncodePlainText(Doc.Text(), StreamCodePage(Format));
    }
    for (size_t At = 0; At < Bytes.size();) {
        const LONG N = LONG(std::min<size_t>(Bytes.size() - At, StreamPiece));
        LONG Done = 0;
        const DWORD Error
            = Stream.pfnCallback(Stream.dwCookie, reinterpret_cast<Byte*>(Bytes.data() + At), N, &Done);
        if (Error || Done != N) {
            Stream.dwError = Error ? Error : DWORD(-1);
            return false;
        }
        At += size_t(N);
    }
    return true;
}

LRESULT TRichEditWindow::FormatRange(bool Render, FORMATRANGE* Range)
{
    if (!Range)
        return 0; // the engine keeps no format cache to flush
    const TRichDocument& Doc = FEditor.Document();
    const Integer Start = std::clamp<Integer>(Range->chrg.cpMin, 0, Doc.Length());
    const TRect Area = Rect(Range->rc.left, Range->rc.top, Range->rc.right, Range->rc.bottom);
    // Printing moves on: a line taller than the page is taken cut.
    const TRichPage Page = ::FormatRange(Doc, Start, Area, true);
    Range->rc.bottom = Page.Bottom;
    if (Render && Range->hdc) {
        const Integer DpiX = Range->DpiX > 0 ? Range->DpiX : ScreenDpi(LOGPIXELSX);
        const Integer DpiY = Range->DpiY > 0 ? Range->DpiY : ScreenDpi(LOGPIXELSY);
        const TRect Clip = Rect(TwipsToPixels(Area.Left, DpiX), TwipsToPixels(Area.Top, DpiY),
            TwipsToPixels(Area.Right, DpiX), TwipsToPixels(Area.Bottom, DpiY));
        DrawRange(Range->hdc, Doc, Page, DpiX, DpiY, Clip);
    }
    return Page.Next;
}

Integer TRichEditWindow::CharFromPos(TPoint Pos, Integer ClientWidth)
{
    const TRichPage Page = LayOut(FEditor.Document(), ClientWidth);
    const Integer X = PixelsToTwips(Pos.X, ScreenDpi(LOGPIXELSX));
    const Integer Y = PixelsToTwips(Pos.Y, ScreenDpi(LOGPIXELSY));
    for (const TRichLine& Line : Page.Lines) {
        if (Y >= Line.Top + Line.Height && &Line != &Page.Lines.back())
            continue;
        for (const TRichLine::TPiece& P : Line.Pieces)
            if (X < P.X + P.Width) {
                if (X < P.X)
                    return P.Start;
                const Integer N = std::max(P.End - P.Start, 1);
                return P.Start + std::min(N - 1, Integer(Int64(X - P.X) * N / std::max(P.Width, 1)));
            }
        // Past the line's end: before its paragraph mark.
        Integer End = Line.End;
        if (End > Line.Start && End <= FEditor.Document().Length()
            && FEditor.Document().Text()[size_t(End - 1)] == ParagraphMark)
            --End;
        return End;
    }
    return FEditor.Document().Length();
}

void TRichEditWindow::Paint(TCanvas* Canvas, const TRect& Client, bool Focused)
{
    Canvas->Brush()->SetColor(FBackColor);
    Canvas->Brush()->SetStyle(bsSolid);
    Canvas->FillRect(Client);
    const TRichDocument& Doc = FEditor.Document();
    const TRichPage Page = LayOut(Doc, Client.Width());
    const Integer DpiX = ScreenDpi(LOGPIXELSX), DpiY = ScreenDpi(LOGPIXELSY);
    const Integer SelStart = FEditor.SelStart(), SelEnd = SelStart + FEditor.SelLength();
    const bool ShowSel = SelEnd > SelStart && (Focused || !FHideSelection);
    if (ShowSel) {
        Canvas->Brush()->SetColor(0xF0D8B0); // a light blue under the text keeps its colours readable
        for (const TRichLine& Line : Page.Lines) {
            const Integer A = std::max(Line.Start, SelStart), B = std::min(Line.End, SelEnd);
            if (A >= B)
                continue;
            Canvas->FillRect(Rect(Client.Left + TwipsToPixels(XOfChar(Line, A), DpiX),
                Client.Top + TwipsToPixels(Line.Top, DpiY), Client.Left + TwipsToPixels(XOfChar(Line, B), DpiX),
                Client.Top + TwipsToPixels(Line.Top + Line.Height, DpiY)));
        }
    }
    DrawRange(Canvas, Doc, Page, DpiX, DpiY, Client);
    if (Focused && !ShowSel) {
        const Integer Caret = FEditor.Caret();
        for (const TRichLine& Line : Page.Lines)
            if ((Caret >= Line.Start && Caret < Line.End) || &Line == &Page.Lines.back()) {
                const Integer X = Client.Left + TwipsToPixels(XOfChar(Line, Caret), DpiX);
                Canvas->Pen()->SetColor(clBlack);
                Canvas->MoveTo(X, Client.Top + TwipsToPixels(Line.Top, DpiY));
                Canvas->LineTo(X, Client.Top + TwipsToPixels(Line.Top + Line.Height, DpiY));
                break;
            }
    }
}

void TRichEditWindow::KeyDown(Word Key)
{
    const bool Ctrl = GetKeyState(VK_CONTROL) < 0, Shift = GetKeyState(VK_SHIFT) < 0;
    const bool Moves = Key == VK_LEFT || Key == VK_RIGHT || Key == VK_HOME || Key == VK_END;
    const bool Edits = !Moves && !(Ctrl && (Key == 'A' || Key == 'C'));
    if (Edits && ReadOnly())
        return;
    if (Key == VK_RETURN && !Fits(1))
        return;
    const String Before = FEditor.Document().Text();
    const size_t Runs = FEditor.Document().Runs().size();
    const bool Undoable = FEditor.CanUndo();
    FPendingMsg = WM_KEYDOWN;
    FPendingWParam = Key;
    if (!FEditor.KeyDown(Key, Shift, Ctrl))
        return;
    if (Edits && (FEditor.Document().Text() != Before || FEditor.Document().Runs().size() != Runs
                     || FEditor.CanUndo() != Undoable || (Ctrl && Key != 'A')))
        Changed();
    else
        SelectionChanged();
}

void TRichEditWindow::Click(UINT Msg, LPARAM LParam)
{
    const HWND Wnd = FHandle;
    RECT Client;
    GetClientRect(Wnd, &Client);
    const Integer Pos = CharFromPos(Point(std::int16_t(LOWORD(UINT_PTR(LParam))), std::int16_t(HIWORD(UINT_PTR(LParam)))),
        RectWidth(Client));
    if (const auto Link = FEditor.LinkAt(Pos); Link && (FEventMask & ENM_LINK)) {
        ENLINK N;
        N.msg = Msg;
        N.lParam = LParam;
        N.chrg = { LONG(Link->first), LONG(Link->second) };
        if (Notify(N.nmhdr, EN_LINK) || RichEditWindowOf(Wnd) != this)
            return;
    }
    if (Msg == WM_LBUTTONDOWN) {
        const bool Shift = GetKeyState(VK_SHIFT) < 0;
        FEditor.SetSel(Shift ? FEditor.SelStart() : Pos, Pos);
        SelectionChanged();
    }
}

LRESULT TRichEditWindow::Message(UINT Msg, WPARAM WParam, LPARAM LParam)
{
    TRichDocument const& Doc = FEditor.Document();
    switch (Msg) {
    case WM_CREATE: return 0;
    case WM_SETTEXT: {
        const Char* Text = reinterpret_cast<const Char*>(LParam);
        const String S = Text ? String(Text) : String();
        TRichDocument New;
        const AnsiString Bytes = StringToAnsi(S);
        if (PlainText() || ReadRtf(Bytes.Bytes, New) == rrNotRtf) {
            New.Clear();
            TPlainTextReader Reader(CP_UTF16LE);
            String Norm;
            Reader.Feed(std::string_view(reinterpret_cast<const char*>(S.data()), S.size() * 2), Norm);
            Reader.Finish(Norm);
            New.Append(Norm, Doc.DefaultFormat());
        }
        New.SetDefaultFormat(Doc.DefaultFormat(), CFM_ALL2);
        FEditor.SetDocument(std::move(New));
        FModified = false;
        Changed();
        return 1;
    }
    case WM_GETTEXTLENGTH: return LRESULT(Doc.Length());
    case WM_GETTEXT: {
        Char* Buffer = reinterpret_cast<Char*>(LParam);
        if (!Buffer || WParam == 0)
            return 0;
        const size_t N = std::min(Doc.Text().size(), size_t(WParam) - 1);
        std::copy_n(Doc.Text().begin(), N, Buffer);
        Buffer[N] = 0;
        return LRESULT(N);
    }
    case EM_GETSEL: {
        const DWORD A = DWORD(FEditor.SelStart()), B = DWORD(FEditor.SelStart() + FEditor.SelLength());
        if (WParam)
            *reinterpret_cast<DWORD*>(WParam) = A;
        if (LParam)
            *reinterpret_cast<DWORD*>(LParam) = B;
        return LRESULT((std::min<DWORD>(B, 0xFFFF) << 16) | std::min<DWORD>(A, 0xFFFF));
    }
    case EM_SETSEL:
    case EM_EXSETSEL: {
        LONG A = LONG(WParam), B = LONG(LParam);
        if (Msg == EM_EXSETSEL) {
            const CHARRANGE* R = reinterpret_cast<const CHARRANGE*>(LParam);
            if (!R)
                return 0;
            A = R->cpMin;
            B = R->cpMax;
        }
        if (A < 0)
            FEditor.SetSel(FEditor.Caret(), FEditor.Caret()); // -1: no selection, the caret stays
        else if (B < 0)
            FEditor.SetSel(A, Doc.Length());
        else
            FEditor.SetSel(A, B);
        SelectionChanged();
        return LRESULT(FEditor.SelStart() + FEditor.SelLength());
    }
    case EM_EXGETSEL:
        if (auto* R = reinterpret_cast<CHARRANGE*>(LParam))
            *R = { LONG(FEditor.SelStart()), LONG(FEditor.SelStart() + FEditor.SelLength()) };
        return 0;
    case EM_REPLACESEL: {
        const Char* Text = reinterpret_cast<const Char*>(LParam);
        StringView S = Text ? StringView(Text) : StringView();
        const Integer Room = std::max<Integer>(0, FLimit - (Doc.Length() - FEditor.SelLength()));
        S = S.substr(0, size_t(std::min<Int64>(Room, Int64(S.size()))));
        // CR LF and LF are one paragraph mark, as in every other way text comes in.
        String Norm;
        TPlainTextReader Reader(CP_UTF16LE);
        Reader.Feed(std::string_view(reinterpret_cast<const char*>(S.data()), S.size() * 2), Norm);
        Reader.Finish(Norm);
        const Integer Keep = FEditor.UndoLimit();
        if (!WParam)
            FEditor.SetUndoLimit(0);
        FPendingMsg = EM_REPLACESEL;
        const bool Done = FEditor.ReplaceSel(Norm);
        if (!WParam)
            FEditor.SetUndoLimit(Keep);
        if (Done)
            Changed();
        return 0;
    }
    case EM_GETMODIFY: return FModified ? 1 : 0;
    case EM_SETMODIFY: FModified = WParam != 0; return 0;
    case EM_GETLINECOUNT: return LRESULT(Doc.Paras().size());
    case EM_LINEINDEX: {
        const Int64 Line = Int64(std::intptr_t(WParam)) < 0 ? Int64(Doc.ParaIndexAt(FEditor.Caret())) : Int64(WParam);
        return Line < Int64(Doc.Paras().size()) ? LRESULT(Doc.Paras()[size_t(Line)].Start) : -1;
    }
    case EM_LINEFROMCHAR:
    case EM_EXLINEFROMCHAR: {
        const LONG Pos = LONG(Msg == EM_LINEFROMCHAR ? std::intptr_t(WParam) : LParam);
        return LRESULT(Doc.ParaIndexAt(Pos < 0 ? FEditor.Caret() : std::min<Integer>(Pos, Doc.Length())));
    }
    case EM_LINELENGTH: {
        const LONG Pos = LONG(std::intptr_t(WParam));
        const size_t Para = Doc.ParaIndexAt(Pos < 0 ? FEditor.Caret() : std::min<Integer>(Pos, Doc.Length()));
        Integer End = Doc.ParaEnd(Para);
        if (End > Doc.Paras()[Para].Start && Doc.Text()[size_t(End - 1)] == ParagraphMark)
            --End;
        return LRESULT(End - Doc.Paras()[Para].Start);
    }
    case EM_GETLINE: {
        // The buffer's first character holds its size in characters.
        Char* Buffer = reinterpret_cast<Char*>(LParam);
        if (!Buffer || WParam >= Doc.Paras().size())
            return 0;
        const size_t Size = size_t(Buffer[0]);
        const Integer Start = Doc.Paras()[WParam].Start;
        Integer End = Doc.ParaEnd(WParam);
        if (End > Start && Doc.Text()[size_t(End - 1)] == ParagraphMark)
            --End;
        const size_t N = std::min(size_t(End - Start), Size);
        std::copy_n(Doc.Text().begin() + Start, N, Buffer);
        return LRESULT(N);
    }
    case EM_CANUNDO: return FEditor.CanUndo() ? 1 : 0;
    case EM_UNDO:
    case WM_UNDO:
        if (!FEditor.Undo())
            return 0;
        Changed();
        return 1;
    case EM_SETREADONLY:
        FOptions = WParam ? (FOptions | ECO_READONLY) : (FOptions & ~ECO_READONLY);
        return 1;
    case EM_GETLIMITTEXT: return FLimit;
    case EM_EXLIMITTEXT: FLimit = LParam > 0 ? Integer(std::min<LPARAM>(LParam, MaxRichTextLimit)) : 65536; return 0;
    case EM_CANPASTE: return 0; // no clipboard reaches the engine yet
    case EM_GETCHARFORMAT: {
        auto* R = reinterpret_cast<CHARFORMAT2W*>(LParam);
        if (!R || R->cbSize != sizeof(CHARFORMAT2W))
            return 0;
        TRichCharFormat F = Doc.DefaultFormat();
        Cardinal Mask = CFM_ALL2;
        if (WParam & SCF_SELECTION)
            Mask = FEditor.SelLength() ? Doc.CharFormatOf(FEditor.SelStart(), FEditor.SelStart() + FEditor.SelLength(), F)
                                       : (F = FEditor.InsertionFormat(), CFM_ALL2);
        *R = ToRecord(F, Mask);
        return LRESULT(Mask);
    }
    case EM_SETCHARFORMAT: {
        const auto* R = reinterpret_cast<const CHARFORMAT2W*>(LParam);
        if (!R || R->cbSize != sizeof(CHARFORMAT2W))
            return 0;
        const TRichCharFormat F = FromRecord(*R);
        if (WParam & SCF_ALL) {
            const Integer A = FEditor.SelStart(), B = A + FEditor.SelLength();
            FEditor.SetSel(0, Doc.Length());
            FEditor.SetSelFormat(F, R->dwMask);
            FEditor.SetSel(A, B);
        } else if (WParam & SCF_SELECTION) {
            if ((WParam & SCF_WORD) && !FEditor.SelLength()) {
                const Integer A = FEditor.Caret();
                Integer S = A, E = A;
                auto InWord = [&](Integer I) { return I >= 0 && I < Doc.Length() && StringView(u" \t\r\uFFFC").find(Doc.Text()[size_t(I)]) == StringView::npos; };
                while (InWord(S - 1))
                    --S;
                while (InWord(E))
                    ++E;
                FEditor.SetSel(S, E);
                FEditor.SetSelFormat(F, R->dwMask);
                FEditor.SetSel(A, A);
            } else {
                FEditor.SetSelFormat(F, R->dwMask);
            }
        } else {
            FEditor.SetDefaultFormat(F, R->dwMask);
            return 1;
        }
        FModified = true;
        InvalidateRect(FHandle, nullptr, false);
        return 1;
    }
    case EM_GETPARAFORMAT: {
        auto* R = reinterpret_cast<PARAFORMAT2*>(LParam);
        if (!R || R->cbSize != sizeof(PARAFORMAT2))
            return 0;
        TRichParaFormat F;
        const Cardinal Mask = Doc.ParaFormatOf(FEditor.SelStart(), FEditor.SelStart() + FEditor.SelLength(), F);
        *R = ToRecord(F, Mask);
        return LRESULT(Mask);
    }
    case EM_SETPARAFORMAT: {
        const auto* R = reinterpret_cast<const PARAFORMAT2*>(LParam);
        if (!R || R->cbSize != sizeof(PARAFORMAT2))
            return 0;
        FEditor.SetParaFormat(FromRecord(*R), R->dwMask);
        FModified = true;
        InvalidateRect(FHandle, nullptr, false);
        return 1;
    }
    case EM_STREAMIN: {
        auto* S = reinterpret_cast<EDITSTREAM*>(LParam);
        if (!S || !StreamIn(WParam, *S))
            return 0;
        const LRESULT Length = LRESULT(FEditor.Document().Length());
        if (!(WParam & SFF_SELECTION))
            FModified = false;
        Changed();
        return Length;
    }
    case EM_STREAMOUT: {
        auto* S = reinterpret_cast<EDITSTREAM*>(LParam);
        return S && StreamOut(WParam, *S) ? 1 : 0;
    }
    case EM_FORMATRANGE: return FormatRange(WParam != 0, reinterpret_cast<FORMATRANGE*>(LParam));
    case EM_SETTARGETDEVICE: return 1; // lines always wrap at the window's width
    case EM_GETEVENTMASK: return LRESULT(FEventMask);
    case EM_SETEVENTMASK: {
        const DWORD Old = FEventMask;
        FEventMask = DWORD(LParam);
        return LRESULT(Old);
    }
    case EM_HIDESELECTION:
        FHideSelection = WParam != 0;
        InvalidateRect(FHandle, nullptr, false);
        return 0;
    case EM_SELECTIONTYPE: {
        const Integer A = FEditor.SelStart(), B = A + FEditor.SelLength();
        const Integer Objects = Integer(std::count(Doc.Text().begin() + A, Doc.Text().begin() + B, ObjectMark));
        Word Kind = SEL_EMPTY;
        if (B - A > Objects)
            Kind |= SEL_TEXT | (B - A - Objects > 1 ? SEL_MULTICHAR : 0);
        if (Objects)
            Kind |= SEL_OBJECT | (Objects > 1 ? SEL_MULTIOBJECT : 0);
        return Kind;
    }
    case EM_SETBKGNDCOLOR: {
        const TColor Old = FBackColor;
        FBackColor = WParam ? TColor(0xFFFFFF) : TColor(LParam & 0xFFFFFF);
        InvalidateRect(FHandle, nullptr, false);
        return LRESULT(Old);
    }
    case EM_GETTEXTRANGE: {
        auto* R = reinterpret_cast<TEXTRANGEW*>(LParam);
        if (!R || !R->lpstrText)
            return 0;
        const Integer A = std::clamp<Integer>(R->chrg.cpMin, 0, Doc.Length());
        const Integer B = R->chrg.cpMax < 0 ? Doc.Length() : std::clamp<Integer>(R->chrg.cpMax, A, Doc.Length());
        std::copy(Doc.Text().begin() + A, Doc.Text().begin() + B, R->lpstrText);
        R->lpstrText[B - A] = 0;
        return B - A;
    }
    case EM_GETOPTIONS: return LRESULT(FOptions);
    case EM_SETOPTIONS: {
        const DWORD V = DWORD(LParam);
        switch (WParam) {
        case ECOOP_SET: FOptions = V; break;
        case ECOOP_OR: FOptions |= V; break;
        case ECOOP_AND: FOptions &= V; break;
        case ECOOP_XOR: FOptions ^= V; break;
        default: break;
        }
        return LRESULT(FOptions);
    }
    case EM_FINDTEXTEX: {
        auto* F = reinterpret_cast<FINDTEXTEXW*>(LParam);
        if (!F || !F->lpstrText || !*F->lpstrText)
            return -1;
        const StringView What(F->lpstrText);
        const bool Case = WParam & FR_MATCHCASE, Down = WParam & FR_DOWN;
        const String Hay = Case ? Doc.Text() : AnsiLowerCase(Doc.Text());
        const String Needle = Case ? String(What) : AnsiLowerCase(What);
        const Integer From = std::clamp<Integer>(F->chrg.cpMin, 0, Doc.Length());
        const Integer To = F->chrg.cpMax < 0 ? (Down ? Doc.Length() : 0) : std::clamp<Integer>(F->chrg.cpMax, 0, Doc.Length());
        size_t At = String::npos;
        if (Down) {
            At = Hay.find(Needle, size_t(From));
            if (At != String::npos && Integer(At + Needle.size()) > To)
                At = String::npos;
        } else if (From >= Integer(Needle.size())) {
            At = Hay.rfind(Needle, size_t(From) - Needle.size());
            if (At != String::npos && Integer(At) < To)
                At = String::npos;
        }
        if (At == String::npos)
            return -1;
        F->chrgText = { LONG(At), LONG(At + Needle.size()) };
        return LRESULT(At);
    }
    case EM_SETUNDOLIMIT: FEditor.SetUndoLimit(Integer(std::min<WPARAM>(WParam, 0x7FFFFFFF))); return FEditor.UndoLimit();
    case EM_GETTEXTMODE: return LRESULT(FTextMode);
    case EM_SETTEXTMODE:
        if (Doc.Length())
            return 1; // the mode of a control holding text stays
        if (WParam & (TM_PLAINTEXT | TM_RICHTEXT))
            FTextMode = (FTextMode & ~(TM_PLAINTEXT | TM_RICHTEXT)) | (WParam & (TM_PLAINTEXT | TM_RICHTEXT));
        if (WParam & (TM_SINGLELEVELUNDO | TM_MULTILEVELUNDO))
            FTextMode = (FTextMode & ~(TM_SINGLELEVELUNDO | TM_MULTILEVELUNDO)) | (WParam & (TM_SINGLELEVELUNDO | TM_MULTILEVELUNDO));
        if (FTextMode & TM_SINGLELEVELUNDO)
            FEditor.SetUndoLimit(std::min(FEditor.UndoLimit(), 1));
        return 0;
    case EM_AUTOURLDETECT: FEditor.SetAutoURLDetect(WParam != 0); InvalidateRect(FHandle, nullptr, false); return 0;
    case EM_GETAUTOURLDETECT: return FEditor.AutoURLDetect() ? 1 : 0;
    case EM_GETTEXTEX: {
        const auto* G = reinterpret_cast<const GETTEXTEX*>(WParam);
        Char* Buffer = reinterpret_cast<Char*>(LParam);
        if (!G || !Buffer || G->cb < sizeof(Char) || G->codepage != CP_UTF16LE)
            return 0;
        const String Text = (G->flags & GT_SELECTION) ? FEditor.SelText() : Doc.Text();
        const size_t N = std::min(Text.size(), G->cb / sizeof(Char) - 1);
        std::copy_n(Text.begin(), N, Buffer);
        Buffer[N] = 0;
        return LRESULT(N);
    }
    case EM_GETTEXTLENGTHEX: return LRESULT(Doc.Length());
    case EM_GETLANGOPTIONS: return LRESULT(FLangOptions);
    case EM_SETLANGOPTIONS: FLangOptions = DWORD(LParam); return 1;
    case EM_SCROLLCARET: return 0;
    case WM_KEYDOWN: KeyDown(Word(WParam)); return 0;
    case WM_CHAR: {
        const Char C = Char(WParam);
        if (ReadOnly() || (C < 0x20 && C != u'\t') || !Fits(1))
            return 0;
        FPendingMsg = WM_CHAR;
        FPendingWParam = WParam;
        const String Before = Doc.Text();
        FEditor.KeyPress(C);
        if (FEditor.Document().Text() != Before)
            Changed();
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        Click(Msg, LParam);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: InvalidateRect(FHandle, nullptr, false); return 0;
    case WM_PAINT: {
        // A bare window of the class has no canvas of its own: controls
        // paint it through PaintRichEdit.
        PAINTSTRUCT Ps;
        BeginPaint(FHandle, &Ps);
        EndPaint(FHandle, &Ps);
        return 0;
    }
    default: return DefWindowProc(FHandle, Msg, WParam, LParam);
    }
}
