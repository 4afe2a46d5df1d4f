#include "gdi/Colors.h"
#include "rtl/StableSort.h"
#include "rtl/StrUtils.h"
#include "vcl/ComCtrls.h"
#include "vcl/Themes.h"
#include "win/Input.h"
#include "win/Metrics.h"
#include <algorithm>

X_REGISTER_CLASS(TListColumn)
X_REGISTER_CLASS(TListColumns)
X_REGISTER_CLASS(TListItem)
X_REGISTER_CLASS(TListItems)
X_REGISTER_CLASS(TCustomListView)
X_REGISTER_CLASS(TListView)

X_MESSAGES(TCustomListView)
{
    X_MESSAGE(LVM_SETICONSPACING, LVMSetIconSpacing);
}

namespace {

// The icon view's cell when nobody set one: the system's icon spacing.
TSize DefaultIconSpacing()
{
    return { GetSystemMetrics(SM_CXICONSPACING), GetSystemMetrics(SM_CYICONSPACING) };
}

}

// ---- Columns

void TListColumn::Create(TCollection* ACollection)
{
    inherited::Create(ACollection);
}

void TListColumn::SetCaption(const String& Value)
{
    FCaption = Value;
    Changed(false);
}

void TListColumn::SetWidth(Integer Value)
{
    FWidth = std::max(Value, 0);
    Changed(false);
}

void TListColumn::SetImageIndex(Integer Value)
{
    FImageIndex = Value;
    Changed(false);
}

void TListColumn::SetAlignment(TAlignment Value)
{
    FAlignment = Value;
    Changed(false);
}

void TListColumns::Create(TCustomListView* AOwner)
{
    FOwner = AOwner;
    inherited::Create(TListColumn::StaticClass());
}

TPersistent* TListColumns::GetOwner()
{
    return FOwner;
}

void TListColumns::Update(TCollectionItem* Item)
{
    if (FOwner)
        FOwner->Invalidate();
}

// ---- Items

void TListItem::Create(TListItems* AOwner)
{
    FOwner = AOwner;
    FSubItems = MakeOwned<TStringList>();
    FSubItems->OnChange = [this](TObject*) { Changed(); };
}

TListItem::~TListItem() = default;

TCustomListView* TListItem::ListView() const
{
    return FOwner ? FOwner->Owner() : nullptr;
}

Integer TListItem::Index() const
{
    return FOwner ? FOwner->IndexOf(this) : -1;
}

void TListItem::Changed()
{
    if (FOwner)
        FOwner->Owner()->ItemsChanged();
}

void TListItem::SetCaption(const String& Value)
{
    FCaption = Value;
    Changed();
}

void TListItem::SetImageIndex(Integer Value)
{
    FImageIndex = Value;
    Changed();
}

bool TListItem::Selected() const
{
    return ListView() && ListView()->Selected() == this;
}

void TListItem::SetSelected(bool Value)
{
    if (TCustomListView* List = ListView()) {
        if (Value)
            List->SetSelected(this);
        else if (List->Selected() == this)
            List->SetSelected(nullptr);
    }
}

bool TListItem::Focused() const
{
    return ListView() && ListView()->ItemFocused() == this;
}

void TListItem::SetFocused(bool Value)
{
    if (TCustomListView* List = ListView())
        List->SetItemFocused(Value ? this : nullptr);
}

void TListItem::MakeVisible()
{
    TCustomListView* List = ListView();
    if (!List)
        return;
    const Integer I = Index() / List->ItemsPerRow();
    const Integer Top = List->FScroll.Position(), Page = List->VisibleRowCount();
    if (I < Top)
        List->FScroll.SetPosition(I);
    else if (I >= Top + Page)
        List->FScroll.SetPosition(I - Page + 1);
    List->Invalidate();
}

void TListItem::Delete()
{
    if (FOwner)
        FOwner->Delete(Index());
}

void TListItems::Create(TCustomListView* AOwner)
{
    FOwner = AOwner;
}

TListItems::~TListItems()
{
    for (TListItem* I : FItems)
        I->Free();
}

TListItem* TListItems::Item(Integer Index) const
{
    if (Index < 0 || Index >= Count())
        throw EListError(u"List index out of bounds (" + IntToStr(Index) + u")");
    return FItems[size_t(Index)];
}

TListItem* TListItems::Insert(Integer Index)
{
    Index = std::clamp(Index, 0, Count());
    TListItem* Item = New<TListItem>(this);
    FItems.insert(FItems.begin() + Index, Item);
    FOwner->ItemsChanged();
    return Item;
}

void TListItems::Delete(Integer Index)
{
    TListItem* Item = this->Item(Index);
    FItems.erase(FItems.begin() + Index);
    FOwner->ItemGone(Item);
    Item->Free();
    FOwner->ItemsChanged();
}

void TListItems::Clear()
{
    while (!FItems.empty())
        Delete(Count() - 1);
}

Integer TListItems::IndexOf(const TListItem* Item) const
{
    auto It = std::find(FItems.begin(), FItems.end(), Item);
    return It == FItems.end() ? -1 : Integer(It - FItems.begin());
}

void TListItems::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0)
        FOwner->ItemsChanged();
}

// ---- The list view

void TCustomListView::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FColumns.reset(New<TListColumns>(this));
    FItems.reset(New<TListItems>(this));
    FColor = clWindow;
    FTabStop = true;
    FWidth = 250;
    FHeight = 150;
    FControlStyle.Include(csOpaque);
    FHeaderHeight = MeasureText(FFont.get(), u"Wg").cy + 8;
    FIconSpacing = DefaultIconSpacing();
}

void TCustomListView::BeforeDestruction()
{
    FSelected = FFocused = nullptr;
    inherited::BeforeDestruction();
}

TCustomListView::~TCustomListView() = default;

void TCustomListView::CreateParams(TCreateParams& Params)
{
    inherited::CreateParams(Params);
    Params.ExStyle |= WS_EX_CLIENTEDGE;
    Params.Style |= LVS_SHOWSELALWAYS | (FViewStyle == vsReport ? LVS_REPORT : 0);
}

void TCustomListView::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FSmallImages)
        FSmallImages = nullptr;
    if (Operation == opRemove && AComponent == FLargeImages)
        FLargeImages = nullptr;
}

void TCustomListView::SetViewStyle(TViewStyle Value)
{
    if (FViewStyle == Value)
        return;
    FViewStyle = Value;
    RecreateWnd();
    ItemsChanged();
}

void TCustomListView::SetSmallImages(TCustomImageList* Value)
{
    if (FSmallImages == Value)
        return;
    if (FSmallImages)
        FSmallImages->RemoveFreeNotification(this);
    FSmallImages = Value;
    if (Value)
        Value->FreeNotification(this);
    ItemsChanged();
}

void TCustomListView::SetLargeImages(TCustomImageList* Value)
{
    if (FLargeImages == Value)
        return;
    if (FLargeImages)
        FLargeImages->RemoveFreeNotification(this);
    FLargeImages = Value;
    if (Value)
        Value->FreeNotification(this);
    ItemsChanged();
}

void TCustomListView::LVMSetIconSpacing(TMessage& Message)
{
    const TSize Old = FIconSpacing;
    const TSize Default = DefaultIconSpacing();
    const auto Cx = std::int16_t(LOWORD(UINT_PTR(Message.LParam))), Cy = std::int16_t(HIWORD(UINT_PTR(Message.LParam)));
    // -1 (or anything below one pixel) asks for the default.
    FIconSpacing = { Cx > 0 ? Integer(Cx) : Default.cx, Cy > 0 ? Integer(Cy) : Default.cy };
    Message.Result = MAKELPARAM(Word(Old.cx), Word(Old.cy));
    ItemsChanged();
}

void TCustomListView::SetRowSelect(bool Value)
{
    FRowSelect = Value;
    Invalidate();
}

void TCustomListView::SetGridLines(bool Value)
{
    FGridLines = Value;
    Invalidate();
}

Integer TCustomListView::RowHeight() const
{
    if (FViewStyle == vsIcon)
        return FIconSpacing.cy;
    return std::max(MeasureText(FFont.get(), u"Wg").cy + 2, FSmallImages ? FSmallImages->Height() : 0) + 2;
}

TRect TCustomListView::RowsArea()
{
    const TRect C = ClientRect();
    const Integer Right = FScroll.Needed() ? ScrollStrip().Left : C.Right;
    return { C.Left, C.Top + HeaderBand(), Right, C.Bottom };
}

Integer TCustomListView::VisibleRowCount()
{
    const TRect C = ClientRect();
    return std::max((C.Height() - HeaderBand()) / RowHeight(), 1);
}

Integer TCustomListView::ItemsPerRow()
{
    if (FViewStyle != vsIcon)
        return 1;
    // The strip takes its room only when the rows do not fit without it.
    const Integer Width = ClientRect().Width();
    const Integer Count = FItems ? FItems->Count() : 0;
    const Integer Wide = std::max(Width / FIconSpacing.cx, 1);
    if ((Count + Wide - 1) / Wide <= VisibleRowCount())
        return Wide;
    return std::max((Width - ScrollStrip().Width()) / FIconSpacing.cx, 1);
}

Integer TCustomListView::RowCount()
{
    const Integer Count = FItems ? FItems->Count() : 0;
    const Integer PerRow = ItemsPerRow();
    return (Count + PerRow - 1) / PerRow;
}

void TCustomListView::UpdateScrollRange()
{
    FScroll.SetRange(RowCount(), VisibleRowCount());
}

void TCustomListView::ItemsChanged()
{
    if (FItems && FItems->FUpdateCount > 0)
        return;
    UpdateScrollRange();
    Invalidate();
}

void TCustomListView::Resize()
{
    UpdateScrollRange();
    inherited::Resize();
}

void TCustomListView::ItemGone(TListItem* Item)
{
    if (FSelected == Item)
        FSelected = nullptr;
    if (FFocused == Item)
        FFocused = nullptr;
}

void TCustomListView::SetSelected(TListItem* Item)
{
    if (FSelected == Item)
        return;
    TListItem* Old = FSelected;
    FSelected = Item;
    if (Item)
        FFocused = Item;
    Invalidate();
    TLifeWatch Watch(FLife);
    if (Old && OnSelectItem) {
        const TLVSelectItemEvent Handler = OnSelectItem;
        Handler(this, Old, false);
        if (Watch.Freed())
            return;
    }
    if (Item && OnSelectItem && FSelected == Item) {
        const TLVSelectItemEvent Handler = OnSelectItem;
        Handler(this, Item, true);
        if (Watch.Freed())
            return;
    }
    Change(Item);
}

void TCustomListView::SetItemFocused(TListItem* Item)
{
    FFocused = Item;
    Invalidate();
}

void TCustomListView::SetItemIndex(Integer Value)
{
    SetSelected(Value >= 0 && Value < FItems->Count() ? FItems->Item(Value) : nullptr);
}

void TCustomListView::Change(TListItem* Item)
{
    Fire(OnChange);
}

TListItem* TCustomListView::GetItemAt(Integer X, Integer Y)
{
    const TRect Rows = RowsArea();
    if (X < Rows.Left || X >= Rows.Right || Y < Rows.Top || Y >= Rows.Bottom)
        return nullptr;
    const Integer Row = FScroll.Position() + (Y - Rows.Top) / RowHeight();
    Integer Column = 0;
    if (FViewStyle == vsIcon) {
        Column = (X - Rows.Left) / FIconSpacing.cx;
        if (Column >= ItemsPerRow())
            return nullptr;
    }
    const Int64 Index = Int64(Row) * ItemsPerRow() + Column;
    return Index < FItems->Count() ? FItems->Item(Integer(Index)) : nullptr;
}

TListItem* TCustomListView::TopItem()
{
    const Int64 First = Int64(FScroll.Position()) * ItemsPerRow();
    return First < FItems->Count() ? FItems->Item(Integer(First)) : nullptr;
}

void TCustomListView::Scroll(Integer Dx, Integer Dy)
{
    if (FScroll.SetPosition(FScroll.Position() + Dy / RowHeight()))
        Invalidate();
}

TListColumn* TCustomListView::ColumnAt(Integer X)
{
    Integer Left = 0;
    for (Integer I = 0; I < FColumns->Count(); ++I) {
        TListColumn* C = FColumns->Items(I);
        if (X >= Left && X < Left + C->Width())
            return C;
        Left += C->Width();
    }
    return nullptr;
}

bool TCustomListView::CustomSort(TLVCompare SortProc, LPARAM SortData)
{
    std::vector<TListItem*>& List = FItems->FItems;
    const std::vector<TListItem*> Before = List;
    auto Compare = [&](Integer A, Integer B) {
        TListItem* Left = Before[size_t(A)];
        TListItem* Right = Before[size_t(B)];
        Integer Result = 0;
        if (SortProc)
            Result = SortProc(reinterpret_cast<LPARAM>(Left), reinterpret_cast<LPARAM>(Right), SortData);
        else if (OnCompare)
            OnCompare(this, Left, Right, Integer(SortData), Result);
        else
            Result = AnsiCompareText(Left->Caption(), Right->Caption());
        return Result < 0;
    };
    const std::vector<Integer> Order = MergeSortPositions(Integer(Before.size()), Compare);
    for (size_t I = 0; I < Order.size(); ++I)
        List[I] = Before[size_t(Order[I])];
    Invalidate();
    return true;
}

void TCustomListView::ColumnClick(TListColumn* Column)
{
    if (const TLVColumnClickEvent Handler = OnColumnClick)
        Handler(this, Column);
}

void TCustomListView::PaintIcons(TCanvas* C, const TRect& Rows)
{
    const Integer PerRow = ItemsPerRow();
    const TSize Cell = FIconSpacing;
    const Integer ImageW = FLargeImages ? FLargeImages->Width() : 0;
    const Integer ImageH = FLargeImages ? FLargeImages->Height() : 0;
    const Int64 First = Int64(FScroll.Position()) * PerRow;
    for (Int64 I = First; I < FItems->Count(); ++I) {
        const Integer Row = Integer((I - First) / PerRow), Column = Integer((I - First) % PerRow);
        const TRect Box { Rows.Left + Column * Cell.cx, Rows.Top + Row * Cell.cy, Rows.Left + (Column + 1) * Cell.cx,
            Rows.Top + (Row + 1) * Cell.cy };
        if (Box.Top >= Rows.Bottom)
            break;
        TListItem* Item = FItems->Item(Integer(I));
        const bool Sel = Item == FSelected;
        const TColor Mark = Focused() ? clHighlight : clBtnFace;
        if (FLargeImages && Item->ImageIndex() >= 0) {
            const TPoint At { Box.Left + (Cell.cx - ImageW) / 2, Box.Top + 2 };
            // A selected picture stands on the selection colour: an item
            // without a caption shows its selection there alone.
            if (Sel) {
                C->Brush()->SetColor(Mark);
                C->FillRect({ At.X - 2, At.Y - 2, At.X + ImageW + 2, At.Y + ImageH + 2 });
            }
            FLargeImages->Draw(C, At.X, At.Y, Item->ImageIndex(), FEnabled);
        }
        if (Item->Caption().empty())
            continue;
        // The caption under the image, broken into lines within the cell.
        TRect Text { Box.Left + 2, Box.Top + ImageH + 4, Box.Right - 2, Box.Bottom };
        TRect Measured = Text;
        C->SetFont(FFont.get());
        C->DrawText(Item->Caption(), Measured, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
        const Integer W = std::min(Measured.Width(), Text.Width());
        const TRect Label { Text.Left + (Text.Width() - W) / 2 - 1, Text.Top, Text.Left + (Text.Width() + W) / 2 + 1,
            std::min(Text.Top + Measured.Height(), Text.Bottom) };
        if (Sel) {
            C->Brush()->SetColor(Mark);
            C->FillRect(Label);
        }
        C->Brush()->SetStyle(bsClear);
        C->Font()->SetColor(Sel && Focused() ? clHighlightText : FEnabled ? clWindowText : clGrayText);
        C->DrawText(Item->Caption(), Text, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS);
        C->Brush()->SetStyle(bsSolid);
    }
}

void TCustomListView::Paint()
{
    TCanvas* C = Canvas();
    const TRect Client = ClientRect();
    if (FViewStyle == vsIcon) {
        const TRect Rows = RowsArea();
        C->Brush()->SetColor(FColor);
        C->FillRect(Client);
        PaintIcons(C, Rows);
        if (FScroll.Needed())
            FScroll.Paint(C, ScrollStrip());
        return;
    }
    TCustomStyleServices* Style = StyleServices();
    const Integer StripLeft = FScroll.Needed() ? ScrollStrip().Left : Client.Right;
    // The header: one themed item per column, its image, its caption.
    Integer X = 0;
    const Integer Row = RowHeight();
    for (Integer I = 0; I < FColumns->Count(); ++I) {
        TListColumn* Col = FColumns->Items(I);
        const TRect Item { X, 0, X + Col->Width(), FHeaderHeight };
        Style->DrawElement(C, Style->GetElementDetails(teHeaderItem), Item);
        Integer TextLeft = X + 6;
        if (FSmallImages && Col->ImageIndex() >= 0) {
            FSmallImages->Draw(C, X + 4, (FHeaderHeight - FSmallImages->Height()) / 2, Col->ImageIndex());
            TextLeft += FSmallImages->Width() + 2;
        }
        DrawControlText(C, Col->Caption(), { TextLeft, 0, Item.Right - 4, FHeaderHeight }, clBtnText);
        X += Col->Width();
    }
    if (X < StripLeft)
        Style->DrawElement(C, Style->GetElementDetails(teHeaderItem), { X, 0, StripLeft, FHeaderHeight });

    // The rows from the first one scrolled to.
    const TRect Rows = RowsArea();
    C->Brush()->SetColor(FColor);
    C->FillRect(Rows);
    Integer Y = Rows.Top;
    for (Integer I = FScroll.Position(); I < FItems->Count() && Y < Rows.Bottom; ++I, Y += Row) {
        TListItem* Item = FItems->Item(I);
        const bool Sel = Item == FSelected;
        const Integer Right = FRowSelect
            ? std::min(X, Rows.Right)
            : std::min(FColumns->Count() ? FColumns->Items(0)->Width() : Rows.Right, Rows.Right);
        if (Sel) {
            C->Brush()->SetColor(Focused() ? clHighlight : clBtnFace);
            C->FillRect({ Rows.Left, Y, std::max(Right, Rows.Left), Y + Row });
        }
        Integer Left = 0;
        for (Integer Col = 0; Col < std::max(FColumns->Count(), 1); ++Col) {
            const Integer Width = FColumns->Count() ? FColumns->Items(Col)->Width() : Rows.Width();
            Integer TextLeft = Left + 4;
            if (Col == 0 && FSmallImages && Item->ImageIndex() >= 0) {
                FSmallImages->Draw(C, Left + 2, Y + (Row - FSmallImages->Height()) / 2, Item->ImageIndex(), FEnabled);
                TextLeft = Left + 4 + FSmallImages->Width();
            }
            const String Text = Col == 0              ? Item->Caption()
                : Col - 1 < Item->SubItems()->Count() ? Item->SubItems()->Strings(Col - 1)
                                                      : String();
            DrawControlText(C, Text, { TextLeft, Y, Left + Width - 2, Y + Row },
                Sel && Focused() ? clHighlightText
                    : FEnabled   ? clWindowText
                                 : clGrayText);
            Left += Width;
        }
        if (FGridLines) {
            C->Brush()->SetColor(clBtnFace);
            C->FillRect({ Rows.Left, Y + Row - 1, Rows.Right, Y + Row });
        }
    }
    if (FGridLines) {
        C->Brush()->SetColor(clBtnFace);
        for (Integer I = 0, Left = 0; I < FColumns->Count(); ++I) {
            Left += FColumns->Items(I)->Width();
            C->FillRect({ Left - 1, Rows.Top, Left, Rows.Bottom });
        }
    }
    if (FScroll.Needed())
        FScroll.Paint(C, ScrollStrip());
}

void TCustomListView::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    TLifeWatch Watch(FLife);
    inherited::MouseDown(Button, Shift, X, Y);
    if (Watch.Freed())
        return;
    if (FScroll.Needed() && X >= ScrollStrip().Left) {
        if (FScroll.MouseDown({ X, Y }, ScrollStrip()))
            Invalidate();
        return;
    }
    if (Y < HeaderBand()) {
        if (TListColumn* Column = ColumnAt(X); Column && FColumnClick && Button == mbLeft)
            ColumnClick(Column);
        return;
    }
    if (TListItem* Item = GetItemAt(X, Y))
        SetSelected(Item);
}

void TCustomListView::KeyDown(Word& Key, TShiftState Shift)
{
    TLifeWatch Watch(FLife);
    inherited::KeyDown(Key, Shift);
    if (Watch.Freed() || Key == 0 || FItems->Count() == 0)
        return;
    const Integer Current = FSelected ? FSelected->Index() : -1;
    // A row holds one item, or in the icon view a row of cells.
    const Integer PerRow = ItemsPerRow();
    const Integer Page = VisibleRowCount() * PerRow;
    Integer Next;
    switch (Key) {
    case VK_UP: Next = Current - PerRow; break;
    case VK_DOWN: Next = Current + PerRow; break;
    case VK_LEFT:
        if (FViewStyle != vsIcon)
            return;
        Next = Current - 1;
        break;
    case VK_RIGHT:
        if (FViewStyle != vsIcon)
            return;
        Next = Current + 1;
        break;
    case VK_PRIOR: Next = Current - Page; break;
    case VK_NEXT: Next = Current + Page; break;
    case VK_HOME: Next = 0; break;
    case VK_END: Next = FItems->Count() - 1; break;
    default: return;
    }
    Key = 0;
    Next = std::clamp(Next, 0, FItems->Count() - 1);
    TListItem* Item = FItems->Item(Next);
    SetSelected(Item);
    if (!Watch.Freed() && FItems->IndexOf(Item) >= 0)
        Item->MakeVisible();
}
