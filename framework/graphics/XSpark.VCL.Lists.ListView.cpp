#include "graphics/XSpark.VCL.Lists.h"
#include <unordered_map>

X_REGISTER_CLASS(TXListViewSortItem)
X_REGISTER_CLASS(TXListViewSortCollection)
X_REGISTER_CLASS(TXCustomListView)
X_REGISTER_CLASS(TXListView)

X_PUBLISHED(TXCustomListView)
{
    X_PROP(ColumnSort, ColumnSort, SetColumnSort).Default(false);
}

namespace {

// What a sort by a column procedure hands the comparison.
struct TProcedureSort {
    const TXListViewCompare* Compare;
    Integer SortKey;
};

Integer CompareByProcedure(LPARAM Item1, LPARAM Item2, LPARAM Data)
{
    const auto* Sort = reinterpret_cast<const TProcedureSort*>(Data);
    return (*Sort->Compare)(reinterpret_cast<TListItem*>(Item1), reinterpret_cast<TListItem*>(Item2), Sort->SortKey);
}

// The data order: every item's key is read once before the sort.
struct TKeySort {
    std::unordered_map<const TListItem*, Integer> Keys;
    Integer Sign;
};

Integer CompareByKeys(LPARAM Item1, LPARAM Item2, LPARAM Data)
{
    const auto* Sort = reinterpret_cast<const TKeySort*>(Data);
    const Integer A = Sort->Keys.at(reinterpret_cast<const TListItem*>(Item1));
    const Integer B = Sort->Keys.at(reinterpret_cast<const TListItem*>(Item2));
    return Sort->Sign * (A < B ? -1 : A > B ? 1 : 0);
}

}

void TXCustomListView::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FSortItems.reset(New<TXListViewSortCollection>(static_cast<TPersistent*>(this)));
}

void TXCustomListView::BeforeDestruction()
{
    if (FSortItems)
        FSortItems->Clear();
    inherited::BeforeDestruction();
}

void TXCustomListView::SetColumnSort(bool Value)
{
    FColumnSort = Value;
    for (Integer I = 0; I < Columns()->Count(); ++I)
        Columns()->Items(I)->SetImageIndex(-1);
    FSortColumn = 0;
    FSortOrder = lsoNone;
    if (Value && !ComponentState().Contains(csDesigning))
        OnCompare = [this](TObject* Sender, TListItem* Item1, TListItem* Item2, Integer Data, Integer& Compare) {
            OwnCompare(Sender, Item1, Item2, Data, Compare);
        };
}

void TXCustomListView::SetSortOrder(TXListSortOrder Value)
{
    FSortOrder = Value;
    SortByColumn();
}

Integer TXCustomListView::CurrentSortKey() const
{
    return FSortOrder == lsoDescending ? FSortColumn - 65536 : FSortColumn + 65536;
}

void TXCustomListView::SortByColumn()
{
    for (Integer I = 0; I < Columns()->Count(); ++I) {
        const Integer Arrow = I != FSortColumn ? -1
            : FSortOrder == lsoAscending       ? 0
            : FSortOrder == lsoDescending      ? 1
                                               : -1;
        if (Columns()->Items(I)->ImageIndex() != Arrow)
            Columns()->Items(I)->SetImageIndex(Arrow);
    }
    const Integer SortKey = CurrentSortKey();
    if (FSortOrder != lsoNone) {
        if (FSortColumn < 0 || FSortColumn >= FSortItems->Count() || !FSortItems->Items(FSortColumn)->Compare)
            return;
        const TProcedureSort Sort { &FSortItems->Items(FSortColumn)->Compare, SortKey };
        CustomSort(&CompareByProcedure, reinterpret_cast<LPARAM>(&Sort));
        return;
    }
    TKeySort Sort { {}, SortKey < 0 ? -1 : 1 };
    Sort.Keys.reserve(size_t(Items()->Count()));
    for (Integer I = 0; I < Items()->Count(); ++I)
        Sort.Keys.emplace(Items()->Item(I), OrderKeyOf(Items()->Item(I)));
    CustomSort(&CompareByKeys, reinterpret_cast<LPARAM>(&Sort));
}

Integer TXCustomListView::OrderKeyOf(TListItem* Item)
{
    if (!Item || !Item->Data())
        return 0;
    // The list's contract: an item's data is null or an object.
    IPtr<IXListOrderKey> Key = Supports<IXListOrderKey>(static_cast<TObject*>(Item->Data()));
    return Key ? Key->GetOrderKey() : 0;
}

Integer TXCustomListView::DefaultCompare(TListItem* Item1, TListItem* Item2, Integer SortKey)
{
    const Integer A = OrderKeyOf(Item1), B = OrderKeyOf(Item2);
    return (SortKey < 0 ? -1 : 1) * (A < B ? -1 : A > B ? 1 : 0);
}

void TXCustomListView::OwnCompare(TObject* Sender, TListItem* Item1, TListItem* Item2, Integer Data, Integer& Compare)
{
    if (FSortOrder == lsoNone) {
        Compare = DefaultCompare(Item1, Item2, Data);
        return;
    }
    if (FSortColumn >= 0 && FSortColumn < FSortItems->Count())
        if (const TXListViewCompare& Procedure = FSortItems->Items(FSortColumn)->Compare)
            Compare = Procedure(Item1, Item2, Data);
}

void TXCustomListView::ColumnClick(TListColumn* Column)
{
    if (FColumnSort && Column && Column->Index() < FSortItems->Count()) {
        FSortColumn = Column->Index();
        TLifeWatch Watch(FLife);
        SetSortOrder(TXListSortOrder((FSortOrder + 1) % 3));
        if (Watch.Freed())
            return;
    }
    inherited::ColumnClick(Column);
}
