#include "vcl/Themes.h"
#include "rtl/StrUtils.h"
#include "rtl/Units.h"
#include "vcl/ComCtrls.h"
#include "vcl/Forms.h"
#include "vcl/StdCtrls.h"
#include "win/Metrics.h"
#include <algorithm>

X_REGISTER_CLASS(TCustomStyleServices)
X_REGISTER_CLASS(TSystemStyleServices)
X_REGISTER_CLASS(TStyleHook)
X_REGISTER_CLASS(TMouseTrackControlStyleHook)
X_REGISTER_CLASS(TScrollingStyleHook)
X_REGISTER_CLASS(TButtonStyleHook)
X_REGISTER_CLASS(TCheckBoxStyleHook)
X_REGISTER_CLASS(TComboBoxStyleHook)
X_REGISTER_CLASS(TListViewStyleHook)
X_REGISTER_CLASS(TTreeViewStyleHook)
X_REGISTER_CLASS(TFormStyleHook)
X_REGISTER_CLASS(TCustomStyleEngine)
X_REGISTER_CLASS(TStyleEngine)

namespace {

TSystemStyleServices* SystemStyle = nullptr;
TStyleEngine* TheEngine = nullptr;

void InitThemes()
{
    SystemStyle = New<TSystemStyleServices>();
    TheEngine = New<TStyleEngine>();
    // The class library's hooks for its standard controls.
    TheEngine->RegisterStyleHook(TCustomComboBox::StaticClass(), TComboBoxStyleHook::StaticClass());
    TheEngine->RegisterStyleHook(TCustomListView::StaticClass(), TListViewStyleHook::StaticClass());
    TheEngine->RegisterStyleHook(TCustomTreeView::StaticClass(), TTreeViewStyleHook::StaticClass());
    TheEngine->RegisterStyleHook(TCustomForm::StaticClass(), TFormStyleHook::StaticClass());
}

void DoneThemes()
{
    FreeAndNil(TheEngine);
    FreeAndNil(SystemStyle);
}

}

X_UNIT(Themes, "Themes", ({ "Forms" }), &InitThemes, &DoneThemes)

TColor TSystemStyleServices::GetStyleColor(TStyleColor Color) const
{
    switch (Color) {
    case scComboBox:
    case scEdit:
    case scListBox:
    case scListView:
    case scTreeView:
    case scGrid: return clWindow;
    case scComboBoxDisabled:
    case scEditDisabled:
    case scListBoxDisabled:
    case scPanelDisabled:
    case scButtonDisabled: return clBtnFace;
    case scBorder: return clWindowFrame;
    case scWindow: return clWindow;
    default: return clBtnFace;
    }
}

TColor TSystemStyleServices::GetStyleFontColor(TStyleFont Font) const
{
    switch (Font) {
    case sfComboBoxItemDisabled:
    case sfListItemTextDisabled:
    case sfTreeItemTextDisabled:
    case sfTextLabelDisabled:
    case sfWindowTextDisabled: return clGrayText;
    case sfComboBoxItemSelected:
    case sfListItemTextSelected:
    case sfTreeItemTextSelected: return clHighlightText;
    default: return clWindowText;
    }
}

namespace {

// The check box of the system style: 13 pixels at 96 pixels per inch.
Integer CheckBoxSize()
{
    return MulDiv(13, GetScreenDeviceCaps(LOGPIXELSX), DefaultScreenDPI);
}

}

TPoint TSystemStyleServices::GetElementSize(const TThemedElementDetails& Details) const
{
    switch (Details.Element) {
    case teMenuPopupSeparator: return { 0, 2 };
    case teTreeViewGlyphClosed:
    case teTreeViewGlyphOpened: return { 9, 9 };
    case teCheckBoxChecked:
    case teCheckBoxUnchecked: return { CheckBoxSize(), CheckBoxSize() };
    case teHeaderSortArrowUp:
    case teHeaderSortArrowDown: return { 9, 5 };
    default: return { 0, 0 };
    }
}

bool TSystemStyleServices::DrawElement(TCanvas* Canvas, const TThemedElementDetails& Details, const TRect& R) const
{
    if (!Canvas)
        return false;
    TBrush* Brush = Canvas->Brush();
    const TColor OldBrush = Brush->Color();
    const TBrushStyle OldStyle = Brush->Style();
    const TColor OldPen = Canvas->Pen()->Color();
    auto Fill = [&](TRect Area, TColor Color) {
        Brush->SetColor(Color);
        Canvas->FillRect(Area);
    };
    switch (Details.Element) {
    case teMenuPopupSeparator:
        // A shadow line with a highlight below it.
        Fill({ R.Left, R.Top, R.Right, R.Top + 1 }, clBtnShadow);
        Fill({ R.Left, R.Top + 1, R.Right, R.Top + 2 }, clBtnHighlight);
        break;
    case teHeaderItem:
        Fill(R, clBtnFace);
        Fill({ R.Right - 1, R.Top, R.Right, R.Bottom }, clBtnShadow);
        Fill({ R.Left, R.Bottom - 1, R.Right, R.Bottom }, clBtnShadow);
        break;
    case teTreeViewGlyphClosed:
    case teTreeViewGlyphOpened: {
        // A box with a minus, and a plus when closed.
        const Integer X = R.Left + (R.Width() - 9) / 2, Y = R.Top + (R.Height() - 9) / 2;
        Fill({ X, Y, X + 9, Y + 9 }, clGray);
        Fill({ X + 1, Y + 1, X + 8, Y + 8 }, clWindow);
        Fill({ X + 2, Y + 4, X + 7, Y + 5 }, clWindowText);
        if (Details.Element == teTreeViewGlyphClosed)
            Fill({ X + 4, Y + 2, X + 5, Y + 7 }, clWindowText);
        break;
    }
    case teCheckBoxChecked:
    case teCheckBoxUnchecked: {
        // The screen's size, smaller only where the rectangle is.
        const Integer S = std::max(std::min({ CheckBoxSize(), R.Width(), R.Height() }), 0);
        const Integer X = R.Left + (R.Width() - S) / 2, Y = R.Top + (R.Height() - S) / 2;
        Fill({ X, Y, X + S, Y + S }, clBtnShadow);
        Fill({ X + 1, Y + 1, X + S - 1, Y + S - 1 }, clWindow);
        if (Details.Element == teCheckBoxChecked) {
            // A check mark: down from the left, then up to the right, laid
            // out on 13 pixels and grown with the box.
            static constexpr Integer Mark[][2] = { { 3, 6 }, { 4, 7 }, { 5, 8 }, { 6, 7 }, { 7, 6 }, { 8, 5 },
                { 9, 4 } };
            auto At = [S](Integer N) { return N * S / 13; };
            for (const auto& P : Mark)
                Fill({ X + At(P[0]), Y + At(P[1]), X + std::max(At(P[0] + 1), At(P[0]) + 1),
                         Y + std::max(At(P[1] + 2), At(P[1]) + 2) },
                    clWindowText);
        }
        break;
    }
    case teProgressChunk:
    case teProgressChunkVert: Fill(R, clHighlight); break;
    case teHeaderSortArrowUp:
    case teHeaderSortArrowDown: {
        const Integer X = R.Left + (R.Width() - 9) / 2, Y = R.Top + (R.Height() - 5) / 2;
        for (Integer Row = 0; Row < 5; ++Row) {
            const Integer Half = Details.Element == teHeaderSortArrowUp ? Row : 4 - Row;
            Fill({ X + 4 - Half, Y + Row, X + 5 + Half, Y + Row + 1 }, clGrayText);
        }
        break;
    }
    default: return false;
    }
    Brush->SetColor(OldBrush);
    Brush->SetStyle(OldStyle);
    Canvas->Pen()->SetColor(OldPen);
    return true;
}

void TStyleHook::Create(TWinControl* AControl)
{
    FControl = AControl;
}

void TListViewStyleHook::Create(TWinControl* AControl)
{
    inherited::Create(AControl);
    FOverrideEraseBkgnd = true;
}

void TCustomStyleEngine::RegisterStyleHook(TClass ControlClass, TClass StyleHookClass)
{
    const std::pair<TClass, TClass> Pair { ControlClass, StyleHookClass };
    if (std::find(FHooks.begin(), FHooks.end(), Pair) != FHooks.end())
        throw EStyleEngineException(
            u"Style hook class " + StyleHookClass->Name + u" is already registered for " + ControlClass->Name);
    FHooks.push_back(Pair);
}

void TCustomStyleEngine::UnRegisterStyleHook(TClass ControlClass, TClass StyleHookClass)
{
    std::erase(FHooks, std::pair<TClass, TClass> { ControlClass, StyleHookClass });
}

std::vector<TClass> TCustomStyleEngine::StyleHooks(TClass ControlClass) const
{
    for (TClass C = ControlClass; C; C = C->Parent) {
        std::vector<TClass> Found;
        for (auto It = FHooks.rbegin(); It != FHooks.rend(); ++It)
            if (It->first == C)
                Found.push_back(It->second);
        if (!Found.empty())
            return Found;
    }
    return {};
}

bool TCustomStyleEngine::HandleMessage(TWinControl* Control, TMessage& Message)
{
    // The callers ask only for controls their style styles; the system
    // style styles none. Each hook of the control's class is offered the
    // message, the last registered first.
    if (!Control)
        return false;
    TLifeWatch Watch(Control->LifeMark());
    for (TClass HookClass : StyleHooks(Control->ClassType())) {
        TOwnedPtr<TStyleHook> Hook(Construct(static_cast<TStyleHook*>(HookClass->NewInstance()), Control));
        if (Hook->HandleMessage(Message) || Watch.Freed())
            return true;
    }
    return false;
}

TCustomStyleServices* TStyleManager::ActiveStyle()
{
    return SystemStyle;
}

namespace {

// Styles besides the system style; nothing in the programs adds one.
std::vector<TCustomStyleServices*>& ExtraStyles()
{
    static std::vector<TCustomStyleServices*> Styles;
    return Styles;
}

}

TCustomStyleServices* TStyleManager::Style(StringView Name)
{
    if (SameText(String(Name), SystemStyle->Name()))
        return SystemStyle;
    for (TCustomStyleServices* S : ExtraStyles())
        if (SameText(String(Name), S->Name()))
            return S;
    return nullptr;
}

std::vector<String> TStyleManager::StyleNames()
{
    std::vector<String> Names { SystemStyle->Name() };
    for (TCustomStyleServices* S : ExtraStyles())
        Names.push_back(S->Name());
    return Names;
}

void TStyleManager::RegisterStyle(TCustomStyleServices* Style)
{
    if (Style && !TStyleManager::Style(Style->Name()))
        ExtraStyles().push_back(Style);
}

void TStyleManager::UnRegisterStyle(TCustomStyleServices* Style)
{
    std::erase(ExtraStyles(), Style);
}

bool TStyleManager::TrySetStyle(StringView Name)
{
    return Style(Name) != nullptr;
}

TCustomStyleEngine* TStyleManager::Engine()
{
    return TheEngine;
}

TCustomStyleServices* TStyleHook::Style() const
{
    return FStyle ? FStyle : StyleServices();
}

TCustomStyleServices* StyleServices()
{
    return SystemStyle;
}
