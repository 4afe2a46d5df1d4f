// The framework's list controls: a combo box that paints its items in the
// colours of the active style and lists languages; a list view that sorts
// by the clicked column (ascending, descending, then back to the data
// order) with a compare procedure per column and arrow images 0 and 1 in
// the header; a tree view with check boxes and node events; routines that
// find a tree node by its data and give a node a picture. The unit puts
// its own list view style hook in place of the class library's.
//
//     List->SetColumnSort(true);
//     List->SortItems()->Add()->Compare = ByName;  // column 0
//     List->Columns()->Items(0)->... ;             // a click sorts
//
// The list view's data order: every item's data is null or an object; an
// object that implements IXListOrderKey gives its key, any other item
// sorts as key 0. Sorting is stable.
#pragma once
#include "core/XCore.Collections.h"
#include "core/XCore.Interfaces.h"
#include "core/XSpark.Lg.h"
#include "graphics/XMedia.Images.h"
#include "vcl/ComCtrls.h"
#include "vcl/StdCtrls.h"
#include "vcl/Themes.h"
#include <functional>

class TXCustomComboBox : public TCustomComboBox, public IXLanguageList {
    X_CLASS(TXCustomComboBox, TCustomComboBox)
    X_INTERFACES(TXCustomComboBox, IXLanguageList)
    X_NOT_COUNTED
    X_DECLARE_MESSAGES(TXCustomComboBox)
public:
    // Owner-drawn with items as high as the font and 6 pixels (scaled).
    void Create(TComponent* AOwner) override;

    // How AddLanguage names a language: 1 ISO 639 name, 2 ISO name, 3
    // English name, 4 native name, any other value the id in four
    // hexadecimal digits.
    Byte LangCaptionKind() const { return FLangCaptionKind; }
    void SetLangCaptionKind(Byte Value) { FLangCaptionKind = Value; }
    // Lists language LangID once: the item's object is the locale's
    // language item of that id.
    void AddLanguage(Cardinal LangID) override;
    // Which parts a custom style paints (all by default).
    TStyleElements StyleElements() const { return FStyleElements; }
    void SetStyleElements(TStyleElements Value) { FStyleElements = Value; }

protected:
    void CNDrawItem(TMessage& Message);
    void CMFontChanged(TMessage& Message);

private:
    void UpdateItemHeight();
    Byte FLangCaptionKind = 4;
    TStyleElements FStyleElements { seFont, seClient, seBorder };
};

class TXComboBox : public TXCustomComboBox {
    X_CLASS(TXComboBox, TXCustomComboBox)
};

// The order key of a list item's data object.
struct IXListOrderKey : IInterface {
    X_GUID("{2C8E5A71-4F0B-4D93-8E26-A1B7C3D9F514}")
    virtual Integer GetOrderKey() = 0;
};

// Compares two items for a column: negative, zero or positive. SortKey's
// lower 16 bits are the column, its upper half +1 (ascending) or -1
// (descending).
using TXListViewCompare = std::function<Integer(TListItem* Item1, TListItem* Item2, Integer SortKey)>;

class TXListViewSortItem : public TXCollectionItem {
    X_CLASS(TXListViewSortItem, TXCollectionItem)
public:
    // Nothing by default: the column does not sort.
    TXListViewCompare Compare;
};

class TXListViewSortCollection : public TXCollection<TXListViewSortItem> {
    X_CLASS(TXListViewSortCollection, TXCollection<TXListViewSortItem>)
public:
    using inherited::Create;
};

enum TXListSortOrder : Byte { lsoNone = 0, lsoAscending = 1, lsoDescending = 2 };

class TXCustomListView : public TCustomListView {
    X_CLASS(TXCustomListView, TCustomListView)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;

    bool ColumnSort() const { return FColumnSort; }
    // Clears every column's image and the sort (column 0, no order); on,
    // the list's OnCompare becomes its own comparison.
    void SetColumnSort(bool Value);
    Integer SortColumn() const { return FSortColumn; }
    TXListSortOrder SortOrder() const { return FSortOrder; }
    // Stores the order and sorts.
    void SetSortOrder(TXListSortOrder Value);
    // One item per column.
    TXListViewSortCollection* SortItems() const { return FSortItems.get(); }
    // Shows the arrow of the sort column (image 0 ascending, 1 descending)
    // and sorts: by the column's procedure, or by the data order without
    // an order (a column without a procedure leaves the items as they are).
    void SortByColumn();
    // The data order: the items' keys (IXListOrderKey, else 0) ascending,
    // times the sign of SortKey's upper half.
    static Integer DefaultCompare(TListItem* Item1, TListItem* Item2, Integer SortKey);
    // The key of an item's data object; 0 without one.
    static Integer OrderKeyOf(TListItem* Item);

protected:
    void ColumnClick(TListColumn* Column) override;

private:
    void OwnCompare(TObject* Sender, TListItem* Item1, TListItem* Item2, Integer Data, Integer& Compare);
    Integer CurrentSortKey() const;

    bool FColumnSort = false;
    Integer FSortColumn = 0;
    TXListSortOrder FSortOrder = lsoNone;
    TOwnedPtr<TXListViewSortCollection> FSortItems;
};

class TXListView : public TXCustomListView {
    X_CLASS(TXListView, TXCustomListView)
};

using TXTreeNodeEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;

class TXCustomTreeView : public TCustomTreeView {
    X_CLASS(TXCustomTreeView, TCustomTreeView)
public:
    bool Checkboxes() const { return FCheckboxes; }
    // On: the window's style takes TVS_CHECKBOXES. Off: the window is made
    // again, but only while the tree has no nodes (a tree with nodes keeps
    // its boxes until its window is made again).
    void SetCheckboxes(bool Value);

    // A node selected, or the selection cleared.
    TXTreeNodeEvent OnInitNode;
    TNotifyEvent OnClearNode;
    // A selection change the tree allowed, with the new node.
    TXTreeNodeEvent OnUpdateNode;

protected:
    void CreateParams(TCreateParams& Params) override;
    bool CanChange(TTreeNode* Node) override;
    void Change(TTreeNode* Node) override;

private:
    bool FCheckboxes = false;
};

class TXTreeView : public TXCustomTreeView {
    X_CLASS(TXTreeView, TXCustomTreeView)
};

// The first node whose data is not null and equals Data; null for none.
TTreeNode* FindTreeNodeByData(TCustomTreeView* Tree, void* Data);
// The picture stretched (Lanczos) onto a bitmap of the tree's image list
// size over the tree's colour: added for a node without an image (its
// image and selected image become it), else put in place of its image.
// False without an image list or a node; a failure (a picture that does
// not decode, an image index the list does not hold) records 44, answers
// false and raises nothing.
bool SetTreeNodeImage(TCustomTreeView* Tree, TTreeNode* Node, TXImageObject* Object);

// The class library's list view hook without its own background erasing.
class TXListViewStyleHook : public TListViewStyleHook {
    X_CLASS(TXListViewStyleHook, TListViewStyleHook)
public:
    void Create(TWinControl* AControl) override;
};
