#include "graphics/XSpark.VCL.Lists.h"
#include "core/XCore.Errors.h"
#include "core/XCore.Locale.h"
#include "graphics/XMedia.Drawing.h"
#include "rtl/Units.h"
#include "vcl/Forms.h"
#include "win/Metrics.h"

X_REGISTER_CLASS(TXCustomComboBox)
X_REGISTER_CLASS(TXComboBox)
X_REGISTER_CLASS(TXCustomTreeView)
X_REGISTER_CLASS(TXTreeView)
X_REGISTER_CLASS(TXListViewStyleHook)

X_MESSAGES(TXCustomComboBox)
{
    X_MESSAGE(CN_DRAWITEM, CNDrawItem);
    X_MESSAGE(CM_FONTCHANGED, CMFontChanged);
}

namespace {

void InitLists()
{
    TCustomStyleEngine* Engine = TStyleManager::Engine();
    // Taking away a pair that is not registered changes nothing.
    Engine->UnRegisterStyleHook(TCustomListView::StaticClass(), TListViewStyleHook::StaticClass());
    Engine->RegisterStyleHook(TCustomListView::StaticClass(), TXListViewStyleHook::StaticClass());
}

void DoneLists()
{
    if (TCustomStyleEngine* Engine = TStyleManager::Engine())
        Engine->UnRegisterStyleHook(TCustomListView::StaticClass(), TXListViewStyleHook::StaticClass());
}

}

X_UNIT(XSpark_VCL_Lists, "XSpark.VCL.Lists", ({ "XSpark.VCL", "Themes", "XCore.Locale" }), &InitLists, &DoneLists)

// ---- combo box ----

void TXCustomComboBox::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    UpdateItemHeight();
}

void TXCustomComboBox::UpdateItemHeight()
{
    const Integer PixelsPerInch = Screen ? Screen->PixelsPerInch() : 96;
    SetItemHeight(std::abs(Font()->Height()) + MulDiv(6, PixelsPerInch, 96));
}

void TXCustomComboBox::CMFontChanged(TMessage& Message)
{
    X_INHERITED_MESSAGE(Message);
    UpdateItemHeight();
}

void TXCustomComboBox::AddLanguage(Cardinal LangID)
{
    for (Integer I = 0; I < Items()->Count(); ++I)
        if (auto* Language = DynamicCast<TXLocalizedCollectionItem>(Items()->Objects(I));
            Language && Language->LgID() == LangID)
            return;
    TXQVLocale* Locale = QVLocale();
    if (!Locale)
        return;
    // An id the locale table does not know has no name to show (its ISO
    // name would be a lone "-"): no row. The hexadecimal id names any.
    const bool ById = FLangCaptionKind < 1 || FLangCaptionKind > 4;
    if (!ById && LangID != 0 && !XDetail::FindLocaleData(LangID))
        return;
    Items()->AddObject(Locale->GetLocaleText(LangID, FLangCaptionKind), Locale->FindOrAddItem(LangID));
}

void TXCustomComboBox::CNDrawItem(TMessage& Message)
{
    auto* Item = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
    if (!Item)
        return;
    auto* C = static_cast<TControlCanvas*>(Canvas());
    TLifeWatch Watch(FLife);
    C->SetHandle(Item->hDC);
    C->Font()->Assign(Font());
    TCustomStyleServices* Style = StyleServices();
    TColor Brush = Color();
    if (TStyleManager::IsCustomStyleActive()) {
        if (FStyleElements.Contains(seClient))
            Brush = Style->GetStyleColor(Enabled() ? scComboBox : scComboBoxDisabled);
        if (FStyleElements.Contains(seFont))
            C->Font()->SetColor(Style->GetStyleFontColor(Enabled() ? sfComboBoxItemNormal : sfComboBoxItemDisabled));
    }
    if (Item->itemID >= 0 && (Item->itemState & ODS_SELECTED)) {
        Brush = Style->GetSystemColor(clHighlight);
        C->Font()->SetColor(Style->GetSystemColor(clHighlightText));
    }
    C->Brush()->SetColor(Brush);
    const TRect R { Item->rcItem.left, Item->rcItem.top, Item->rcItem.right, Item->rcItem.bottom };
    if (Item->itemID < 0)
        C->FillRect(R);
    else
        DrawItem(Item->itemID, R, OwnerDrawStateFromBits(Item->itemState));
    if (!Watch.Freed())
        C->SetHandle(nullptr);
    Message.Result = 1;
}

// ---- tree view ----

void TXCustomTreeView::SetCheckboxes(bool Value)
{
    if (Value == FCheckboxes)
        return;
    FCheckboxes = Value;
    if (Value) {
        if (HandleAllocated()) {
            const LONG_PTR Style = GetWindowLongPtr(Handle(), GWL_STYLE);
            SetWindowLongPtr(Handle(), GWL_STYLE, Style | LONG_PTR(TVS_CHECKBOXES));
            Invalidate();
        }
    } else if (Items()->Count() == 0)
        RecreateWnd();
}

void TXCustomTreeView::CreateParams(TCreateParams& Params)
{
    inherited::CreateParams(Params);
    if (FCheckboxes)
        Params.Style |= TVS_CHECKBOXES;
}

bool TXCustomTreeView::CanChange(TTreeNode* Node)
{
    TLifeWatch Watch(FLife);
    const bool Allowed = inherited::CanChange(Node);
    if (Watch.Freed())
        return false;
    if (Allowed)
        if (const TXTreeNodeEvent Handler = OnUpdateNode) {
            Handler(this, Node);
            if (Watch.Freed())
                return false;
        }
    return Allowed;
}

void TXCustomTreeView::Change(TTreeNode* Node)
{
    TLifeWatch Watch(FLife);
    inherited::Change(Node);
    if (Watch.Freed())
        return;
    if (Node) {
        if (const TXTreeNodeEvent Handler = OnInitNode)
            Handler(this, Node);
    } else
        Fire(OnClearNode);
}

TTreeNode* FindTreeNodeByData(TCustomTreeView* Tree, void* Data)
{
    if (!Tree || !Data)
        return nullptr;
    for (TTreeNode* Node = Tree->Items()->GetFirstNode(); Node; Node = Node->GetNext())
        if (Node->Data() == Data)
            return Node;
    return nullptr;
}

bool SetTreeNodeImage(TCustomTreeView* Tree, TTreeNode* Node, TXImageObject* Object)
{
    if (!Tree || !Node || !Tree->Images())
        return false;
    TCustomImageList* Images = Tree->Images();
    return XGuarded(xecReadFailed, false, [&] {
        TOwnedPtr<TBitmap> Picture(New<TBitmap>());
        Picture->SetPixelFormat(pf32bit);
        Picture->SetSize(Images->Width(), Images->Height());
        Picture->Canvas()->Brush()->SetColor(Tree->Color());
        const TRect Whole { 0, 0, Images->Width(), Images->Height() };
        Picture->Canvas()->FillRect(Whole);
        DrawImageObjectStretch(Picture->Canvas(), Whole, Object, XLanczosKernel());
        if (Node->ImageIndex() == -1) {
            const Integer Index = Images->Add(Picture.get(), nullptr);
            Node->SetImageIndex(Index);
            Node->SetSelectedIndex(Index);
        } else
            Images->Replace(Node->ImageIndex(), Picture.get(), nullptr);
    });
}

// ---- style hook ----

void TXListViewStyleHook::Create(TWinControl* AControl)
{
    inherited::Create(AControl);
    SetOverrideEraseBkgnd(false);
}
