#include "vcl/StdCtrls.Edit.h"
#include "richedit/RichEditWindow.h"
#include "win/Painting.h"
#include <algorithm>

X_REGISTER_CLASS(TCustomEdit)
X_REGISTER_CLASS(TCustomMemo)
X_REGISTER_CLASS(TMemo)

void TCustomEdit::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FEditCanvas = MakeOwned<TControlCanvas>();
    FEditCanvas->SetControl(this);
    SetTabStop(true);
    SetBounds(Left(), Top(), 121, 23);
}

TCustomEdit::~TCustomEdit() = default;

String TCustomEdit::EditClassName() const
{
    return ClassName();
}

void TCustomEdit::CreateParams(TCreateParams& Params)
{
    inherited::CreateParams(Params);
    Params.Style |= WS_BORDER | (FReadOnly ? ES_READONLY : 0);
    Params.WinClassName = EditClassName();
}

void TCustomEdit::CreateWnd()
{
    inherited::CreateWnd();
    // The engine's state is made by the first message it sees.
    Perform(EM_EXLIMITTEXT, 0, FMaxLength > 0 ? FMaxLength : MaxRichTextLimit);
    Perform(EM_SETEVENTMASK, 0, Perform(EM_GETEVENTMASK, 0, 0) | ENM_CHANGE);
    if (TRichEditWindow* W = RichEditWindowOf(FHandle))
        W->OnChange = [this] { Change(); };
    Perform(EM_SETREADONLY, FReadOnly, 0);
}

void TCustomEdit::DefaultHandler(TMessage& Message)
{
    if (!FHandle) {
        inherited::DefaultHandler(Message);
        return;
    }
    if (Message.Msg == WM_PAINT || Message.Msg == WM_ERASEBKGND) {
        inherited::DefaultHandler(Message);
        return;
    }
    Message.Result = RichEditWindowProc(FHandle, Message.Msg, Message.WParam, Message.LParam);
}

void TCustomEdit::PaintWindow(HDC Dc)
{
    FEditCanvas->SetHandle(Dc);
    FEditCanvas->SetFont(Font());
    PaintRichEdit(FHandle, FEditCanvas.get(), ClientRect(), Focused());
    FEditCanvas->SetHandle(nullptr);
}

namespace {

LPARAM PointParam(Integer X, Integer Y)
{
    return LPARAM((UINT_PTR(Word(Y)) << 16) | Word(X));
}

}

void TCustomEdit::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    if (Button == mbLeft && CanFocus() && !Focused())
        SetFocus();
    TLifeWatch Watch(FLife);
    inherited::MouseDown(Button, Shift, X, Y);
    // The engine places the caret and tells of links; a handler there may
    // free this edit.
    if (!Watch.Freed() && Button == mbLeft && FHandle)
        RichEditWindowProc(FHandle, WM_LBUTTONDOWN, 0, PointParam(X, Y));
}

void TCustomEdit::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    TLifeWatch Watch(FLife);
    inherited::MouseUp(Button, Shift, X, Y);
    if (!Watch.Freed() && Button == mbLeft && FHandle)
        RichEditWindowProc(FHandle, WM_LBUTTONUP, 0, PointParam(X, Y));
}

void TCustomEdit::Change()
{
    if (OnChange)
        OnChange(this);
}

String TCustomEdit::Text()
{
    const Integer N = Integer(Perform(WM_GETTEXTLENGTH, 0, 0));
    String S(size_t(N) + 1, u'\0');
    S.resize(size_t(Perform(WM_GETTEXT, WPARAM(N + 1), LPARAM(S.data()))));
    return S;
}

void TCustomEdit::SetText(const String& Value)
{
    HandleNeeded();
    Perform(WM_SETTEXT, 0, LPARAM(Value.c_str()));
}

Integer TCustomEdit::SelStart()
{
    CHARRANGE R;
    Perform(EM_EXGETSEL, 0, LPARAM(&R));
    return R.cpMin;
}

void TCustomEdit::SetSelStart(Integer Value)
{
    CHARRANGE R { LONG(Value), LONG(Value) };
    Perform(EM_EXSETSEL, 0, LPARAM(&R));
}

Integer TCustomEdit::SelLength()
{
    CHARRANGE R;
    Perform(EM_EXGETSEL, 0, LPARAM(&R));
    return R.cpMax - R.cpMin;
}

void TCustomEdit::SetSelLength(Integer Value)
{
    CHARRANGE R;
    Perform(EM_EXGETSEL, 0, LPARAM(&R));
    R.cpMax = R.cpMin + std::max(Value, 0);
    Perform(EM_EXSETSEL, 0, LPARAM(&R));
    Perform(EM_SCROLLCARET, 0, 0);
}

String TCustomEdit::SelText()
{
    String S(size_t(SelLength()) + 1, u'\0');
    GETTEXTEX G;
    G.cb = DWORD(S.size() * sizeof(Char));
    G.flags = GT_SELECTION;
    S.resize(size_t(Perform(EM_GETTEXTEX, WPARAM(&G), LPARAM(S.data()))));
    return S;
}

void TCustomEdit::SetSelText(const String& Value)
{
    Perform(EM_REPLACESEL, 1, LPARAM(Value.c_str()));
}

void TCustomEdit::SelectAll()
{
    Perform(EM_SETSEL, 0, -1);
}

void TCustomEdit::ClearSelection()
{
    SetSelText(String());
}

void TCustomEdit::Clear()
{
    SetText(String());
}

bool TCustomEdit::Modified()
{
    return Perform(EM_GETMODIFY, 0, 0) != 0;
}

void TCustomEdit::SetModified(bool Value)
{
    Perform(EM_SETMODIFY, Value, 0);
}

void TCustomEdit::SetReadOnly(bool Value)
{
    FReadOnly = Value;
    if (FHandle)
        Perform(EM_SETREADONLY, Value, 0);
}

void TCustomEdit::SetMaxLength(Integer Value)
{
    FMaxLength = std::max(Value, 0);
    if (FHandle)
        Perform(EM_EXLIMITTEXT, 0, FMaxLength > 0 ? FMaxLength : MaxRichTextLimit);
}

bool TCustomEdit::CanUndo()
{
    return Perform(EM_CANUNDO, 0, 0) != 0;
}

void TCustomEdit::Undo()
{
    Perform(WM_UNDO, 0, 0);
}

void TCustomMemo::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    SetBounds(Left(), Top(), 185, 89);
}

void TCustomMemo::CreateParams(TCreateParams& Params)
{
    inherited::CreateParams(Params);
    Params.Style |= ES_MULTILINE;
    if (FScrollBars == ssVertical || FScrollBars == ssBoth)
        Params.Style |= WS_VSCROLL;
    if ((FScrollBars == ssHorizontal || FScrollBars == ssBoth) && !FWordWrap)
        Params.Style |= WS_HSCROLL;
}

void TCustomMemo::SetScrollBars(TScrollStyle Value)
{
    if (FScrollBars == Value)
        return;
    FScrollBars = Value;
    RecreateWnd();
}

void TCustomMemo::SetWordWrap(bool Value)
{
    if (FWordWrap == Value)
        return;
    FWordWrap = Value;
    RecreateWnd();
}

bool TCustomMemo::WantsKey(Word Key)
{
    return (Key == VK_RETURN && FWantReturns) || (Key == VK_TAB && FWantTabs) || Key == VK_LEFT || Key == VK_RIGHT
        || Key == VK_UP || Key == VK_DOWN || inherited::WantsKey(Key);
}

TPoint TCustomMemo::CaretPos()
{
    CHARRANGE R;
    Perform(EM_EXGETSEL, 0, LPARAM(&R));
    const Integer Line = Integer(Perform(EM_EXLINEFROMCHAR, 0, R.cpMax));
    return Point(R.cpMax - Integer(Perform(EM_LINEINDEX, WPARAM(Line), 0)), Line);
}

void TCustomMemo::SetCaretPos(TPoint Value)
{
    const LRESULT Start = Perform(EM_LINEINDEX, WPARAM(std::max(Value.Y, 0)), 0);
    if (Start >= 0)
        SetSelStart(Integer(Start) + std::max(Value.X, 0));
}
