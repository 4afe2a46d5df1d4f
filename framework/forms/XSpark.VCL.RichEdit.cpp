#include "XSpark.VCL.RichEdit.h"
#include "gdi/Bitmap.h"
#include "richedit/RichEditWindow.h"
#include "richedit/RichLayout.h"
#include "richedit/RichStreams.h"
#include "richedit/RtfReader.h"
#include "rtl/StrUtils.h"
#include "rtl/CodePages.h"
#include "rtl/Streams.h"
#include "win/Metrics.h"
#include <algorithm>

X_REGISTER_CLASS(TXTextAttributes)
X_REGISTER_CLASS(TXParaAttributes)
X_REGISTER_CLASS(TXRichEditStrings)
X_REGISTER_CLASS(TXCustomRichEdit)
X_REGISTER_CLASS(TXRichEdit)

namespace {

constexpr Cardinal StyleEffects = CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE | CFE_STRIKEOUT;

Integer ScreenDpi(Integer Index)
{
    const Integer Dpi = GetScreenDeviceCaps(Index);
    return Dpi > 0 ? Dpi : DefaultScreenDPI;
}

Integer ToTwips(Integer Pixels, Integer Dpi)
{
    return Integer(std::clamp<Int64>((Int64(Pixels) * 1440 + Dpi / 2) / Dpi, INT32_MIN, INT32_MAX));
}

// Moves a stream's bytes into and out of the control.
struct TStreamCookie {
    TStream* Stream = nullptr;
};

DWORD StreamReader(UINT_PTR Cookie, Byte* Buffer, LONG Size, LONG* Done)
{
    try {
        *Done = LONG(reinterpret_cast<TStreamCookie*>(Cookie)->Stream->Read(Buffer, Size));
        return 0;
    } catch (const Exception&) {
        *Done = 0;
        return 1;
    }
}

DWORD StreamWriter(UINT_PTR Cookie, Byte* Buffer, LONG Size, LONG* Done)
{
    try {
        *Done = LONG(reinterpret_cast<TStreamCookie*>(Cookie)->Stream->Write(Buffer, Size));
        return 0;
    } catch (const Exception&) {
        *Done = 0;
        return 1;
    }
}

}

// ---- character attributes

void TXTextAttributes::Create(TXCustomRichEdit* AOwner, Integer AKind)
{
    inherited::Create();
    FOwner = AOwner;
    FKind = AKind;
}

CHARFORMAT2W TXTextAttributes::Record() const
{
    CHARFORMAT2W Cf;
    if (FOwner->HandleAllocated())
        FOwner->Perform(EM_GETCHARFORMAT, FKind == 0 ? SCF_DEFAULT : SCF_SELECTION, LPARAM(&Cf));
    else
        Cf = CHARFORMAT2W(); // the zeroed record
    return Cf;
}

void TXTextAttributes::Write(CHARFORMAT2W& Cf) const
{
    if (!FOwner->HandleAllocated())
        return;
    const WPARAM Scope = FKind == 0 ? SCF_DEFAULT : FKind == 1 ? SCF_SELECTION : SCF_SELECTION | SCF_WORD;
    FOwner->Perform(EM_SETCHARFORMAT, Scope, LPARAM(&Cf));
}

TColor TXTextAttributes::Color() const
{
    const CHARFORMAT2W Cf = Record();
    return (Cf.dwEffects & CFE_AUTOCOLOR) ? clWindowText : TColor(Cf.crTextColor);
}

void TXTextAttributes::SetColor(TColor Value)
{
    CHARFORMAT2W Cf;
    Cf.dwMask = CFM_COLOR;
    if (Value == clWindowText || Value == clDefault)
        Cf.dwEffects = CFE_AUTOCOLOR;
    else
        Cf.crTextColor = DWORD(ColorToRGB(Value));
    Write(Cf);
}

String TXTextAttributes::Name() const
{
    const CHARFORMAT2W Cf = Record();
    return String(Cf.szFaceName, std::find(Cf.szFaceName, Cf.szFaceName + 32, Char(0)));
}

void TXTextAttributes::SetName(const String& Value)
{
    CHARFORMAT2W Cf;
    Cf.dwMask = CFM_FACE;
    std::copy_n(Value.begin(), std::min<size_t>(Value.size(), 31), Cf.szFaceName);
    Write(Cf);
}

Byte TXTextAttributes::Charset() const
{
    return Record().bCharSet;
}

void TXTextAttributes::SetCharset(Byte Value)
{
    CHARFORMAT2W Cf;
    Cf.dwMask = CFM_CHARSET;
    Cf.bCharSet = Value;
    Write(Cf);
}

TFontStyles TXTextAttributes::Style() const
{
    const DWORD E = Record().dwEffects;
    TFontStyles S = 0;
    if (E & CFE_BOLD)
        S |= 1u << fsBold;
    if (E & CFE_ITALIC)
        S |= 1u << fsItalic;
    if (E & CFE_UNDERLINE)
        S |= 1u << fsUnderline;
    if (E & CFE_STRIKEOUT)
        S |= 1u << fsStrikeOut;
    return S;
}

void TXTextAttributes::SetStyle(TFontStyles Value)
{
    CHARFORMAT2W Cf;
    Cf.dwMask = StyleEffects;
    Cf.dwEffects = ((Value & (1u << fsBold)) ? CFE_BOLD : 0) | ((Value & (1u << fsItalic)) ? CFE_ITALIC : 0)
        | ((Value & (1u << fsUnderline)) ? CFE_UNDERLINE : 0) | ((Value & (1u << fsStrikeOut)) ? CFE_STRIKEOUT : 0);
    Write(Cf);
}

Integer TXTextAttributes::Size() const
{
    return Record().yHeight / 20;
}

void TXTextAttributes::SetSize(Integer Value)
{
    CHARFORMAT2W Cf;
    Cf.dwMask = CFM_SIZE;
    Cf.yHeight = LONG(std::clamp<Int64>(Int64(Value) * 20, 0, INT32_MAX));
    Write(Cf);
}

TFontPitch TXTextAttributes::Pitch() const
{
    switch (Record().bPitchAndFamily & 3) {
    case FIXED_PITCH: return fpFixed;
    case VARIABLE_PITCH: return fpVariable;
    default: return fpDefault;
    }
}

void TXTextAttributes::Assign(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXTextAttributes>(Source)) {
        CHARFORMAT2W Cf = Other->Record();
        Write(Cf);
        return;
    }
    if (auto* F = DynamicCast<TFont>(Source)) {
        CHARFORMAT2W Cf;
        Cf.dwMask = StyleEffects | CFM_SIZE | CFM_COLOR | CFM_FACE;
        const TFontStyles S = F->Style();
        Cf.dwEffects = ((S & (1u << fsBold)) ? CFE_BOLD : 0) | ((S & (1u << fsItalic)) ? CFE_ITALIC : 0)
            | ((S & (1u << fsUnderline)) ? CFE_UNDERLINE : 0) | ((S & (1u << fsStrikeOut)) ? CFE_STRIKEOUT : 0);
        Cf.yHeight = F->Size() * 20;
        if (F->Color() == clWindowText || F->Color() == clDefault)
            Cf.dwEffects |= CFE_AUTOCOLOR;
        else
            Cf.crTextColor = DWORD(ColorToRGB(F->Color()));
        const String Name = F->Name();
        std::copy_n(Name.begin(), std::min<size_t>(Name.size(), 31), Cf.szFaceName);
        Write(Cf);
        return;
    }
    inherited::Assign(Source);
}

// ---- paragraph attributes

void TXParaAttributes::Create(TXCustomRichEdit* AOwner)
{
    inherited::Create();
    FOwner = AOwner;
}

PARAFORMAT2 TXParaAttributes::Record() const
{
    PARAFORMAT2 Pf;
    if (FOwner->HandleAllocated())
        FOwner->Perform(EM_GETPARAFORMAT, 0, LPARAM(&Pf));
    else
        Pf = PARAFORMAT2();
    return Pf;
}

void TXParaAttributes::Write(PARAFORMAT2& Pf) const
{
    FOwner->HandleNeeded();
    FOwner->Perform(EM_SETPARAFORMAT, 0, LPARAM(&Pf));
}

TAlignment TXParaAttributes::Alignment() const
{
    const Word A = Record().wAlignment;
    return A == PFA_RIGHT ? taRightJustify : A == PFA_CENTER ? taCenter : taLeftJustify;
}

void TXParaAttributes::SetAlignment(TAlignment Value)
{
    PARAFORMAT2 Pf;
    Pf.dwMask = PFM_ALIGNMENT;
    Pf.wAlignment = Value == taRightJustify ? PFA_RIGHT : Value == taCenter ? PFA_CENTER : PFA_LEFT;
    Write(Pf);
}

Integer TXParaAttributes::FirstIndent() const
{
    return Record().dxStartIndent / 20;
}

void TXParaAttributes::SetFirstIndent(Integer Value)
{
    PARAFORMAT2 Pf;
    Pf.dwMask = PFM_STARTINDENT;
    Pf.dxStartIndent = ClampTwips(Int64(Value) * 20);
    Write(Pf);
}

Integer TXParaAttributes::LeftIndent() const
{
    return Record().dxOffset / 20;
}

void TXParaAttributes::SetLeftIndent(Integer Value)
{
    PARAFORMAT2 Pf;
    Pf.dwMask = PFM_OFFSET;
    Pf.dxOffset = ClampTwips(Int64(Value) * 20);
    Write(Pf);
}

Integer TXParaAttributes::RightIndent() const
{
    return Record().dxRightIndent / 20;
}

void TXParaAttributes::SetRightIndent(Integer Value)
{
    PARAFORMAT2 Pf;
    Pf.dwMask = PFM_RIGHTINDENT;
    Pf.dxRightIndent = ClampTwips(Int64(Value) * 20);
    Write(Pf);
}

Word TXParaAttributes::Numbering() const
{
    return Record().wNumbering;
}

void TXParaAttributes::SetNumbering(Word Value)
{
    if (Value == 0)
        SetLeftIndent(0);
    else if (LeftIndent() < 10)
        SetLeftIndent(10);
    PARAFORMAT2 Pf;
    Pf.dwMask = PFM_NUMBERING;
    Pf.wNumbering = Value;
    Write(Pf);
}

Integer TXParaAttributes::Tab(Integer Index) const
{
    if (Index < 0 || Index >= MAX_TAB_STOPS)
        return 0;
    return (Record().rgxTabs[Index] & 0xFFFFFF) / 20;
}

void TXParaAttributes::SetTab(Integer Index, Integer Value)
{
    if (Index < 0 || Index > MAX_TAB_STOPS - 2)
        return;
    PARAFORMAT2 Pf = Record();
    if (Index >= Pf.cTabCount) {
        Pf.cTabCount = std::int16_t(Index + 1);
        Pf.rgxTabs[Index] = 0;
    }
    Pf.rgxTabs[Index] = LONG((Pf.rgxTabs[Index] & 0xFF000000) | (ClampTwips(Int64(Value) * 20) & 0xFFFFFF));
    Pf.dwMask = PFM_TABSTOPS;
    Write(Pf);
}

void TXParaAttributes::Assign(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXParaAttributes>(Source)) {
        PARAFORMAT2 Pf = Other->Record();
        Pf.dwMask = PFM_ALL2;
        Write(Pf);
        return;
    }
    inherited::Assign(Source);
}

// ---- lines

void TXRichEditStrings::Create(TXCustomRichEdit* AOwner)
{
    inherited::Create();
    FOwner = AOwner;
}

Integer TXRichEditStrings::Count() const
{
    Integer N = Integer(FOwner->Perform(EM_GETLINECOUNT, 0, 0));
    // The empty line after a final break is not one.
    if (N > 0 && FOwner->Perform(EM_LINELENGTH, WPARAM(FOwner->Perform(EM_LINEINDEX, WPARAM(N - 1), 0)), 0) == 0)
        --N;
    return N;
}

String TXRichEditStrings::Get(Integer Index) const
{
    constexpr Integer Room = 4096;
    String Line(Room, u'\0');
    Line[0] = Char(Room);
    Line.resize(size_t(FOwner->Perform(EM_GETLINE, WPARAM(Index), LPARAM(Line.data()))));
    return Line;
}

void TXRichEditStrings::Replace(Integer Start, Integer End, const String& S) const
{
    CHARRANGE R { LONG(Start), LONG(End) };
    FOwner->Perform(EM_EXSETSEL, 0, LPARAM(&R));
    FOwner->Perform(EM_REPLACESEL, 0, LPARAM(S.c_str()));
}

void TXRichEditStrings::Put(Integer Index, const String& S)
{
    if (Index < 0)
        return;
    const LRESULT Start = FOwner->Perform(EM_LINEINDEX, WPARAM(Index), 0);
    if (Start < 0)
        return;
    Replace(Integer(Start), Integer(Start + FOwner->Perform(EM_LINELENGTH, WPARAM(Start), 0)), S);
}

void TXRichEditStrings::Insert(Integer Index, const String& S)
{
    if (Index < 0)
        return;
    const LRESULT Start = FOwner->Perform(EM_LINEINDEX, WPARAM(Index), 0);
    if (Start >= 0) {
        Replace(Integer(Start), Integer(Start), S + u"\r");
        return;
    }
    if (Index == 0)
        return;
    const LRESULT Prev = FOwner->Perform(EM_LINEINDEX, WPARAM(Index - 1), 0);
    if (Prev < 0)
        return;
    const LRESULT Length = FOwner->Perform(EM_LINELENGTH, WPARAM(Prev), 0);
    if (Length > 0)
        Replace(Integer(Prev + Length), Integer(Prev + Length), u"\r" + S);
}

void TXRichEditStrings::Delete(Integer Index)
{
    if (Index < 0)
        return;
    const LRESULT Start = FOwner->Perform(EM_LINEINDEX, WPARAM(Index), 0);
    if (Start < 0)
        return;
    LRESULT End = FOwner->Perform(EM_LINEINDEX, WPARAM(Index + 1), 0);
    if (End < 0)
        End = Start + FOwner->Perform(EM_LINELENGTH, WPARAM(Start), 0);
    Replace(Integer(Start), Integer(End), String());
}

void TXRichEditStrings::Clear()
{
    FOwner->Clear();
}

void TXRichEditStrings::LoadFromStream(TStream* Stream, Word Encoding)
{
    FOwner->HandleNeeded();
    const Int64 Start = Stream->Position();
    if (!Encoding) {
        char Head[3] = {};
        LONG Got = 0;
        TStreamCookie Peek { Stream };
        if (StreamReader(UINT_PTR(&Peek), reinterpret_cast<Byte*>(Head), 3, &Got))
            throw EOutOfResources(u"Failed to Load Stream");
        Stream->SetPosition(Start);
        Encoding = DetectTextEncoding(std::string_view(Head, size_t(std::max<LONG>(Got, 0))));
    }
    const WPARAM PlainFormat = SF_TEXT | SF_USECODEPAGE | (WPARAM(Encoding ? Encoding : 1252) << 16);
    WPARAM Format = PlainFormat;
    if (!FPlainText)
        Format = (FStreamMode.Contains(smNoObjects) ? SF_RTFNOOBJS : SF_RTF)
            | (FStreamMode.Contains(smPlainRtf) ? SFF_PLAINRTF : 0);
    if (FStreamMode.Contains(smSelection))
        Format |= SFF_SELECTION;
    TStreamCookie Cookie { Stream };
    EDITSTREAM Es;
    Es.dwCookie = UINT_PTR(&Cookie);
    Es.pfnCallback = &StreamReader;
    FOwner->Perform(EM_STREAMIN, Format, LPARAM(&Es));
    // Rich text that is none reads again as plain text; a failing stream
    // fails in every mode.
    if (Es.dwError && Es.dwError != 1 && !FPlainText) {
        Stream->SetPosition(Start);
        Es.dwError = 0;
        FOwner->Perform(EM_STREAMIN, PlainFormat | (Format & SFF_SELECTION), LPARAM(&Es));
    }
    if (Es.dwError)
        throw EOutOfResources(u"Failed to Load Stream");
}

void TXRichEditStrings::SaveToStream(TStream* Stream, Word Encoding) const
{
    FOwner->HandleNeeded();
    WPARAM Format;
    if (FPlainText) {
        static constexpr std::pair<Word, std::string_view> Marks[] = { { 1200, "\xFF\xFE" }, { 1201, "\xFE\xFF" },
            { 65001, "\xEF\xBB\xBF" } };
        for (const auto& [Page, Mark] : Marks)
            if (Page == Encoding)
                Stream->WriteBuffer(Mark.data(), Int64(Mark.size()));
        Format = SF_TEXT | SF_USECODEPAGE | (WPARAM(Encoding ? Encoding : 1252) << 16);
    } else {
        Format = (FStreamMode.Contains(smNoObjects) ? SF_RTFNOOBJS : SF_RTF)
            | (FStreamMode.Contains(smPlainRtf) ? SFF_PLAINRTF : 0);
    }
    if (FStreamMode.Contains(smSelection))
        Format |= SFF_SELECTION;
    TStreamCookie Cookie { Stream };
    EDITSTREAM Es;
    Es.dwCookie = UINT_PTR(&Cookie);
    Es.pfnCallback = &StreamWriter;
    FOwner->Perform(EM_STREAMOUT, Format, LPARAM(&Es));
    if (Es.dwError)
        throw EOutOfResources(u"Failed to Save Stream");
}

// ---- the control

void TXCustomRichEdit::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FSelAttributes = MakeOwned<TXTextAttributes>(this, 1);
    FDefAttributes = MakeOwned<TXTextAttributes>(this, 0);
    FWordAttributes = MakeOwned<TXTextAttributes>(this, 2);
    FParagraph = MakeOwned<TXParaAttributes>(this);
    FLines = MakeOwned<TXRichEditStrings>(this);
    SetScrollBars(ssBoth);
}

TXCustomRichEdit::~TXCustomRichEdit() = default;

String TXCustomRichEdit::LibraryClassName()
{
    // The newest library there is, chosen once; without any, the class of
    // the middle one.
    static const String Chosen = [] {
        for (const Char* Name : { u"MSFTEDIT.DLL", u"RICHED20.DLL", u"RICHED32.DLL" })
            if (const TRichEditLibrary* Lib = LoadRichEditLibrary(Name))
                return String(Lib->ClassName);
        return String(u"RichEdit20W");
    }();
    return Chosen;
}

String TXCustomRichEdit::EditClassName() const
{
    // The window keeps the control's own procedure, which hands what it
    // leaves alone to the library's class.
    LibraryClassName();
    return ClassName();
}

void TXCustomRichEdit::CreateWnd()
{
    inherited::CreateWnd();
    Perform(EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_SELCHANGE | ENM_REQUESTRESIZE | ENM_PROTECTED | ENM_LINK);
    Perform(EM_AUTOURLDETECT, FAutoURLDetect, 0);
    FUndoLimit = Integer(Perform(EM_SETUNDOLIMIT, WPARAM(std::max(FUndoLimit, 0)), 0));
    Perform(EM_SETTEXTMODE, (PlainText() ? TM_PLAINTEXT : TM_RICHTEXT)
        | (FUndoLimit > 1 ? TM_MULTILEVELUNDO : TM_SINGLELEVELUNDO), 0);
    if (TRichEditWindow* W = RichEditWindowOf(FHandle))
        W->OnNotify = [this](NMHDR& H) { return Notify(H); };
}

void TXCustomRichEdit::SetMaxLength(Integer Value)
{
    inherited::SetMaxLength(Value);
    if (HandleAllocated())
        Perform(EM_EXLIMITTEXT, 0, Value > 0 ? Value : 0xFFFFFF);
}

void TXCustomRichEdit::SetUndoLimit(Integer Value)
{
    FUndoLimit = std::max(Value, 0);
    if (HandleAllocated())
        FUndoLimit = Integer(Perform(EM_SETUNDOLIMIT, WPARAM(FUndoLimit), 0));
}

void TXCustomRichEdit::SetAutoURLDetect(bool Value)
{
    FAutoURLDetect = Value;
    if (HandleAllocated())
        Perform(EM_AUTOURLDETECT, Value, 0);
}

LRESULT TXCustomRichEdit::Notify(NMHDR& Header)
{
    switch (Header.code) {
    case EN_SELCHANGE: SelectionChange(); return 0;
    case EN_REQUESTRESIZE: {
        const RECT& R = reinterpret_cast<REQRESIZE&>(Header).rc;
        RequestSize(Rect(R.left, R.top, R.right, R.bottom));
        return 0;
    }
    case EN_PROTECTED: {
        const auto& P = reinterpret_cast<ENPROTECTED&>(Header);
        return ProtectChange(P.chrg.cpMin, P.chrg.cpMax) ? 0 : 1;
    }
    case EN_LINK: {
        const auto& L = reinterpret_cast<ENLINK&>(Header);
        if (L.msg == WM_LBUTTONDOWN) {
            FLinkAnchor = L.chrg;
        } else if (L.msg == WM_LBUTTONUP) {
            const bool Same = FLinkAnchor.cpMin == L.chrg.cpMin && FLinkAnchor.cpMax == L.chrg.cpMax;
            FLinkAnchor = { -1, -1 };
            if (Same)
                URLClick(GetTextRange(L.chrg.cpMin, L.chrg.cpMax), mbLeft);
        }
        return 0;
    }
    default: return 0;
    }
}

void TXCustomRichEdit::RequestSize(const TRect& Rect)
{
    if (OnResizeRequest)
        OnResizeRequest(this, Rect);
}

void TXCustomRichEdit::SelectionChange()
{
    if (OnSelectionChange)
        OnSelectionChange(this);
}

bool TXCustomRichEdit::ProtectChange(Integer StartPos, Integer EndPos)
{
    bool Allow = false;
    if (OnProtectChange)
        OnProtectChange(this, StartPos, EndPos, Allow);
    return Allow;
}

void TXCustomRichEdit::URLClick(const String& URLText, TMouseButton Button)
{
    if (OnURLClick)
        OnURLClick(this, URLText, Button);
}

Integer TXCustomRichEdit::GetTextLength()
{
    GETTEXTLENGTHEX G;
    return Integer(Perform(EM_GETTEXTLENGTHEX, WPARAM(&G), 0));
}

String TXCustomRichEdit::GetTextRange(Integer Start, Integer End)
{
    String S(size_t(std::max(End - Start, 0)) + 1, u'\0');
    TEXTRANGEW R;
    R.chrg = { LONG(Start), LONG(End) };
    R.lpstrText = S.data();
    S.resize(size_t(Perform(EM_GETTEXTRANGE, 0, LPARAM(&R))));
    return S;
}

void TXCustomRichEdit::Clear()
{
    inherited::Clear();
    SetModified(false);
}

void TXCustomRichEdit::ToggleSelStyle(TFontStyle Style)
{
    static constexpr Cardinal Effects[] = { CFE_BOLD, CFE_ITALIC, CFE_UNDERLINE, CFE_STRIKEOUT };
    HandleNeeded();
    if (TRichEditWindow* W = RichEditWindowOf(FHandle)) {
        // In one pass over the runs: shrinking a run character by character
        // until it is uniform costs the square of its length.
        W->Editor().ToggleSelStyle(Effects[Style]);
        SetModified(true);
        Invalidate();
    }
}

void TXCustomRichEdit::SetRichText(const String& Text)
{
    // Rich text is 7-bit, so what is not ANSI is no RTF word: the text goes
    // in whole, and a character outside the ANSI page reads as itself.
    FLines->Clear();
    if (Text.empty())
        return;
    const RawBytes Bytes(reinterpret_cast<const char*>(Text.data()), Text.size() * sizeof(Char));
    const AnsiString Ansi = StringToAnsi(Text);
    const bool Rtf = !PlainText() && LooksLikeRtf(Ansi.Bytes);
    TBytesStream Stream;
    Stream.Create();
    if (Rtf && AnsiToString(Ansi) == Text) {
        Stream.WriteBuffer(Ansi.Bytes.data(), Int64(Ansi.Bytes.size()));
        Stream.SetPosition(0);
        FLines->LoadFromStream(&Stream, 1252);
        return;
    }
    Stream.WriteBuffer(Bytes.data(), Int64(Bytes.size()));
    Stream.SetPosition(0);
    if (Rtf) {
        // RTF holding characters beyond the page: each as \uN.
        String Escaped;
        for (Char C : Text)
            Escaped += C < 0x80 ? String(1, C) : u"\\u" + IntToStr(std::int16_t(C)) + u"?";
        const AnsiString E = StringToAnsi(Escaped);
        TBytesStream Rich;
        Rich.Create();
        Rich.WriteBuffer(E.Bytes.data(), Int64(E.Bytes.size()));
        Rich.SetPosition(0);
        FLines->LoadFromStream(&Rich, 1252);
        return;
    }
    const bool Keep = PlainText();
    SetPlainText(true);
    try {
        FLines->LoadFromStream(&Stream, 1200);
    } catch (...) {
        SetPlainText(Keep);
        throw;
    }
    SetPlainText(Keep);
}

String TXCustomRichEdit::GetRichText()
{
    TBytesStream Stream;
    Stream.Create();
    FLines->SaveToStream(&Stream, PlainText() ? 1252 : 0);
    const auto& B = Stream.Bytes();
    String S = AnsiToString(std::string_view(reinterpret_cast<const char*>(B.data()), size_t(Stream.Size())));
    while (!S.empty() && S.back() == 0)
        S.pop_back();
    return S;
}

// ---- renders

bool TXRichEdit::RenderToBitmap(TBitmap* Bitmap, Integer Width, Integer Height, Integer LeftMargin, Integer TopMargin,
    Integer RightMargin, Integer BottomMargin)
{
    if (Width < 1)
        Width = ClientWidth();
    if (Height < 1)
        Height = ClientHeight();
    const Integer DpiX = ScreenDpi(LOGPIXELSX), DpiY = ScreenDpi(LOGPIXELSY);
    TOwnedPtr<TMetafile> Meta = MakeOwned<TMetafile>();
    Meta->SetSize(Width, Height);
    FORMATRANGE F;
    F.rcPage = { 0, 0, ToTwips(Width, DpiX), ToTwips(Height, DpiY) };
    F.rc = { ToTwips(LeftMargin, DpiX), ToTwips(TopMargin, DpiY), F.rcPage.right - ToTwips(RightMargin, DpiX),
        F.rcPage.bottom - ToTwips(BottomMargin, DpiY) };
    F.chrg = { 0, -1 };
    LRESULT Last = 0;
    {
        TOwnedPtr<TMetafileCanvas> Canvas = MakeOwned<TMetafileCanvas>(Meta.get());
        F.hdc = F.hdcTarget = Canvas.get();
        F.DpiX = DpiX;
        F.DpiY = DpiY;
        Last = Perform(EM_FORMATRANGE, 1, LPARAM(&F));
        Perform(EM_FORMATRANGE, 0, 0);
    }
    Bitmap->Canvas()->Brush()->SetColor(Color());
    Bitmap->Canvas()->Brush()->SetStyle(bsSolid);
    if (Last < 1 || GetTextLength() == 0) {
        Bitmap->SetSize(Width, 0);
        return true;
    }
    const bool All = Last >= GetTextLength();
    const Integer Bottom = TwipsToPixels(F.rc.bottom, DpiY);
    Bitmap->SetSize(Width, Bottom);
    Bitmap->Canvas()->FillRect(Rect(0, 0, Width, Bottom));
    Meta->Draw(Bitmap, Rect(0, 0, Width, Height));
    return All;
}

bool TXRichEdit::RenderToMetafile(TMetafile* Metafile, Integer Width, Integer& Height, Integer LeftMargin,
    Integer TopMargin, Integer RightMargin, Integer BottomMargin)
{
    if (Width < 1)
        Width = ClientWidth();
    if (Height < 1)
        Height = ClientHeight();
    const Integer DpiX = ScreenDpi(LOGPIXELSX), DpiY = ScreenDpi(LOGPIXELSY);
    Metafile->Clear();
    Metafile->SetSize(Width, Height);
    FORMATRANGE F;
    F.rcPage = { 0, 0, ToTwips(Width, DpiX), ToTwips(Height, DpiY) };
    F.rc = { ToTwips(LeftMargin, DpiX), ToTwips(TopMargin, DpiY), F.rcPage.right - ToTwips(RightMargin, DpiX),
        F.rcPage.bottom - ToTwips(BottomMargin, DpiY) };
    F.chrg = { 0, -1 };
    LRESULT Last = 0;
    {
        TOwnedPtr<TMetafileCanvas> Canvas = MakeOwned<TMetafileCanvas>(Metafile);
        Canvas->Brush()->SetStyle(bsClear);
        F.hdc = F.hdcTarget = Canvas.get();
        F.DpiX = DpiX;
        F.DpiY = DpiY;
        Last = Perform(EM_FORMATRANGE, 1, LPARAM(&F));
        Perform(EM_FORMATRANGE, 0, 0);
    }
    if (Last < 1 || GetTextLength() == 0) {
        Metafile->SetSize(Width, 0);
        Height = 0;
        return true;
    }
    Height = TwipsToPixels(F.rc.bottom, DpiY);
    Metafile->SetSize(Width, Height);
    return Last >= GetTextLength();
}

namespace {

template<class TFill>
bool RenderWith(TWinControl* Owner, TBitmap* Bitmap, Integer Width, Integer Height, Integer L, Integer T, Integer R,
    Integer B, TFill Fill)
{
    TXRichEdit* Edit = nullptr;
    try {
        Edit = New<TXRichEdit>(Owner);
        Edit->SetVisible(false);
        Edit->SetParent(Owner);
        Edit->SetBounds(0, 0, Width, 600);
        Edit->SetColor(0xFFFFFF);
        Fill(Edit);
        const bool Ok = Edit->RenderToBitmap(Bitmap, Width, Height, L, T, R, B);
        FreeAndNil(Edit);
        return Ok;
    } catch (...) {
        FreeAndNil(Edit);
        return false;
    }
}

}

bool RenderRichTextToBitmap(TWinControl* Owner, const String& Text, TBitmap* Bitmap, Integer Width, Integer Height,
    Integer LeftMargin, Integer TopMargin, Integer RightMargin, Integer BottomMargin)
{
    return RenderWith(Owner, Bitmap, Width, Height, LeftMargin, TopMargin, RightMargin, BottomMargin,
        [&](TXRichEdit* E) { E->SetRichText(Text); });
}

bool RenderRichStreamToBitmap(TWinControl* Owner, TStream* Stream, TBitmap* Bitmap, Integer Width, Integer Height,
    Integer LeftMargin, Integer TopMargin, Integer RightMargin, Integer BottomMargin)
{
    return RenderWith(Owner, Bitmap, Width, Height, LeftMargin, TopMargin, RightMargin, BottomMargin,
        [&](TXRichEdit* E) {
            Stream->SetPosition(0);
            E->Lines()->LoadFromStream(Stream, 0);
        });
}
