// The common controls drawn by this library: the list view in its report
// view and the tree view, both scrolling their rows with a bar of their
// own.
//
// List view: columns with captions, widths and header images; items with
// captions, sub-items, an image of SmallImages and a data pointer. A click
// on a column header runs ColumnClick (OnColumnClick); CustomSort orders
// the items by a comparison procedure, or by OnCompare without one:
//
//     List->Columns()->Add()->SetCaption(u"Name");
//     TListItem* Item = List->Items()->Add();
//     Item->SetCaption(u"photo.jpg");
//     Item->SetData(Record);
//     List->CustomSort(nullptr, 0);           // OnCompare decides
//
// Tree view: nodes with texts, data pointers, image, selected-image and
// state indexes, expanded or not; with TVS_CHECKBOXES in its window's style
// every node shows a check box (state 1 unchecked, 2 checked) that a click
// toggles. Selecting asks CanChange (OnChanging), then runs Change
// (OnChange).
#pragma once
#include "rtl/Collection.h"
#include "rtl/StringList.h"
#include "vcl/ComCtrls.ProgressBar.h"
#include "vcl/Controls.h"
#include "vcl/ControlsDetail.h"
#include "vcl/ImgList.h"
#include <memory>
#include <vector>

constexpr DWORD TVS_HASBUTTONS = 0x0001;
constexpr DWORD TVS_HASLINES = 0x0002;
constexpr DWORD TVS_LINESATROOT = 0x0004;
constexpr DWORD TVS_SHOWSELALWAYS = 0x0020;
constexpr DWORD TVS_CHECKBOXES = 0x0100;
constexpr DWORD LVS_REPORT = 0x0001;
constexpr DWORD LVS_SHOWSELALWAYS = 0x0008;
constexpr UINT LVM_FIRST = 0x1000;
// lParam: MAKELPARAM(cx, cy) of the icon view's cells, -1 for the default
// of either; answers the old spacing the same way.
constexpr UINT LVM_SETICONSPACING = LVM_FIRST + 53;

class TCustomListView;
class TListItems;

class TListColumn : public TCollectionItem {
    X_CLASS(TListColumn, TCollectionItem)
public:
    void Create(TCollection* ACollection) override;
    const String& Caption() const { return FCaption; }
    void SetCaption(const String& Value);
    Integer Width() const { return FWidth; }
    void SetWidth(Integer Value);
    // An image of the list view's SmallImages shown in the header; -1 none.
    Integer ImageIndex() const { return FImageIndex; }
    void SetImageIndex(Integer Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    String GetDisplayName() override { return FCaption; }

private:
    String FCaption;
    Integer FWidth = 50;
    Integer FImageIndex = -1;
    TAlignment FAlignment = taLeftJustify;
};

class TListColumns : public TCollection {
    X_CLASS(TListColumns, TCollection)
public:
    void Create(TCustomListView* AOwner);
    TListColumn* Add() { return static_cast<TListColumn*>(TCollection::Add()); }
    TListColumn* Items(Integer Index) const { return static_cast<TListColumn*>(TCollection::Items(Index)); }
    TCustomListView* Owner() const { return FOwner; }
    TPersistent* GetOwner() override;

protected:
    void Update(TCollectionItem* Item) override;

private:
    TCustomListView* FOwner = nullptr;
};

class TListItem : public TPersistent {
    X_CLASS(TListItem, TPersistent)
public:
    void Create(TListItems* AOwner);
    ~TListItem() override;

    TListItems* Owner() const { return FOwner; }
    TCustomListView* ListView() const;
    Integer Index() const;
    const String& Caption() const { return FCaption; }
    void SetCaption(const String& Value);
    TStrings* SubItems() const { return FSubItems.get(); }
    Integer ImageIndex() const { return FImageIndex; }
    void SetImageIndex(Integer Value);
    void* Data() const { return FData; }
    void SetData(void* Value) { FData = Value; }
    bool Selected() const;
    void SetSelected(bool Value);
    bool Focused() const;
    void SetFocused(bool Value);
    // Scrolls the list until the item shows.
    void MakeVisible();
    // Frees the item.
    void Delete();

private:
    void Changed();
    TListItems* FOwner = nullptr;
    String FCaption;
    TOwnedPtr<TStringList> FSubItems;
    Integer FImageIndex = -1;
    void* FData = nullptr;
};

class TListItems : public TPersistent {
    X_CLASS(TListItems, TPersistent)
public:
    void Create(TCustomListView* AOwner);
    ~TListItems() override;

    TCustomListView* Owner() const { return FOwner; }
    Integer Count() const { return Integer(FItems.size()); }
    TListItem* Item(Integer Index) const;
    TListItem* Add() { return Insert(Count()); }
    TListItem* Insert(Integer Index);
    void Delete(Integer Index);
    void Clear();
    Integer IndexOf(const TListItem* Item) const;
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();

private:
    friend class TCustomListView;
    friend class TListItem;
    TCustomListView* FOwner = nullptr;
    std::vector<TListItem*> FItems;
    Integer FUpdateCount = 0;
};

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
// A comparison of two items (as lParam values) with the sort's lParam:
// negative, zero or positive.
using TLVCompare = Integer (*)(LPARAM Item1, LPARAM Item2, LPARAM SortData);
using TLVColumnClickEvent = std::function<void(TObject* Sender, TListColumn* Column)>;
using TLVCompareEvent =
    std::function<void(TObject* Sender, TListItem* Item1, TListItem* Item2, Integer Data, Integer& Compare)>;
using TLVSelectItemEvent = std::function<void(TObject* Sender, TListItem* Item, bool Selected)>;

// A control of rows with a scroll strip at its right edge: the strip's
// drag, the wheel and the arrow keys, shared by the list and tree views.
class TStripScrolledControl : public TCustomControl {
    X_CLASS(TStripScrolledControl, TCustomControl)
protected:
    void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
    bool DoMouseWheel(TShiftState Shift, Integer WheelDelta, TPoint MousePos) override;
    bool WantsKey(Word Key) override;
    bool PaintsFocus() override { return true; }
    TRect ScrollStrip();

    TStripScrollBar FScroll;
};

// In the icon view (vsIcon) the items stand in a grid of cells as large as
// the icon spacing (LVM_SETICONSPACING), each its large image over its
// caption, row after row; the report view has the columns.
class TCustomListView : public TStripScrolledControl {
    X_CLASS(TCustomListView, TStripScrolledControl)
    X_DECLARE_MESSAGES(TCustomListView)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;
    ~TCustomListView() override;

    TListColumns* Columns() const { return FColumns.get(); }
    TListItems* Items() const { return FItems.get(); }
    TViewStyle ViewStyle() const { return FViewStyle; }
    void SetViewStyle(TViewStyle Value);
    TCustomImageList* SmallImages() const { return FSmallImages; }
    // Borrowed; the list forgets it when it is freed.
    void SetSmallImages(TCustomImageList* Value);
    TCustomImageList* LargeImages() const { return FLargeImages; }
    // The icon view's images; borrowed as the small ones.
    void SetLargeImages(TCustomImageList* Value);
    // The icon view's cell: width and height.
    TSize IconSpacing() const { return FIconSpacing; }
    bool ColumnClick() const { return FColumnClick; }
    void SetColumnClick(bool Value) { FColumnClick = Value; }
    bool RowSelect() const { return FRowSelect; }
    void SetRowSelect(bool Value);
    bool GridLines() const { return FGridLines; }
    void SetGridLines(bool Value);

    TListItem* Selected() const { return FSelected; }
    void SetSelected(TListItem* Item);
    TListItem* ItemFocused() const { return FFocused; }
    void SetItemFocused(TListItem* Item);
    Integer ItemIndex() const { return FSelected ? FSelected->Index() : -1; }
    void SetItemIndex(Integer Value);
    // The item at a client point, null for none.
    TListItem* GetItemAt(Integer X, Integer Y);
    // The first row shown and how many fit.
    TListItem* TopItem();
    Integer VisibleRowCount();
    void Scroll(Integer Dx, Integer Dy);

    // Orders the items by SortProc (OnCompare, or the captions, without
    // one); answers true. Stable; a comparison that contradicts itself
    // leaves some order, never a fault.
    bool CustomSort(TLVCompare SortProc, LPARAM SortData);
    bool AlphaSort() { return CustomSort(nullptr, 0); }

    // Layout: the header's height, the height of a row (in the icon view a
    // row of cells), how many items a row holds.
    Integer HeaderHeight() const { return FHeaderHeight; }
    Integer RowHeight() const;
    Integer ItemsPerRow();

    TLVColumnClickEvent OnColumnClick;
    TLVCompareEvent OnCompare;
    TLVSelectItemEvent OnSelectItem;
    TNotifyEvent OnChange;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
    virtual void ColumnClick(TListColumn* Column);
    virtual void Change(TListItem* Item);
    void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
    void KeyDown(Word& Key, TShiftState Shift) override;
    void Resize() override;

    void LVMSetIconSpacing(TMessage& Message);

private:
    friend class TListItems;
    friend class TListItem;
    friend class TListColumns;
    // The band the header takes: none outside the report view.
    Integer HeaderBand() const { return FViewStyle == vsReport ? FHeaderHeight : 0; }
    Integer RowCount();
    void UpdateScrollRange();
    void PaintIcons(TCanvas* C, const TRect& Rows);
    void ItemsChanged();
    void ItemGone(TListItem* Item);
    TRect RowsArea();
    TListColumn* ColumnAt(Integer X);

    TOwnedPtr<TListColumns> FColumns;
    TOwnedPtr<TListItems> FItems;
    TViewStyle FViewStyle = vsReport;
    TCustomImageList* FSmallImages = nullptr;
    TCustomImageList* FLargeImages = nullptr;
    TSize FIconSpacing;
    bool FColumnClick = true;
    bool FRowSelect = true;
    bool FGridLines = false;
    TListItem* FSelected = nullptr;
    TListItem* FFocused = nullptr;
    Integer FHeaderHeight = 22;
};

class TListView : public TCustomListView {
    X_CLASS(TListView, TCustomListView)
};

class TCustomTreeView;
class TTreeNodes;

class TTreeNode : public TPersistent {
    X_CLASS(TTreeNode, TPersistent)
public:
    void Create(TTreeNodes* AOwner);
    ~TTreeNode() override;

    TTreeNodes* Owner() const { return FOwner; }
    TCustomTreeView* TreeView() const;
    TTreeNode* Parent() const { return FParent; }
    const String& Text() const { return FText; }
    void SetText(const String& Value);
    void* Data() const { return FData; }
    void SetData(void* Value) { FData = Value; }
    Integer ImageIndex() const { return FImageIndex; }
    void SetImageIndex(Integer Value);
    Integer SelectedIndex() const { return FSelectedIndex; }
    void SetSelectedIndex(Integer Value);
    // With check boxes: 1 unchecked, 2 checked.
    Integer StateIndex() const { return FStateIndex; }
    void SetStateIndex(Integer Value);
    bool Checked() const { return FStateIndex == 2; }
    void SetChecked(bool Value) { SetStateIndex(Value ? 2 : 1); }
    bool Expanded() const { return FExpanded; }
    void SetExpanded(bool Value);
    void Expand(bool Recurse);
    void Collapse(bool Recurse);
    bool Selected() const;
    void SetSelected(bool Value);

    Integer Count() const { return Integer(FChildren.size()); }
    TTreeNode* Item(Integer Index) const;
    bool HasChildren() const { return !FChildren.empty(); }
    TTreeNode* GetFirstChild() const { return FChildren.empty() ? nullptr : FChildren.front(); }
    TTreeNode* GetNextSibling() const;
    TTreeNode* GetPrevSibling() const;
    // The next node in the order the tree lists them (children first).
    TTreeNode* GetNext() const;
    Integer Level() const;
    Integer Index() const;
    // Its place among all nodes, in GetNext order.
    Integer AbsoluteIndex() const;
    // Expands its parents and scrolls until the node shows.
    void MakeVisible();
    // Frees the node and its children.
    void Delete();
    void DeleteChildren();

private:
    friend class TTreeNodes;
    friend class TCustomTreeView;
    void Changed();
    TTreeNodes* FOwner = nullptr;
    TTreeNode* FParent = nullptr;
    std::vector<TTreeNode*> FChildren;
    String FText;
    void* FData = nullptr;
    Integer FImageIndex = -1;
    Integer FSelectedIndex = -1;
    Integer FStateIndex = -1;
    bool FExpanded = false;
};

enum TNodeAttachMode { naAdd, naAddFirst, naAddChild, naAddChildFirst, naInsert };

class TTreeNodes : public TPersistent {
    X_CLASS(TTreeNodes, TPersistent)
public:
    void Create(TCustomTreeView* AOwner);
    ~TTreeNodes() override;

    TCustomTreeView* Owner() const { return FOwner; }
    // Every node, in GetNext order.
    Integer Count() const;
    TTreeNode* Item(Integer Index) const;
    TTreeNode* GetFirstNode() const { return FRoots.empty() ? nullptr : FRoots.front(); }
    // A new last sibling of Sibling (a root without one).
    TTreeNode* Add(TTreeNode* Sibling, const String& S) { return AddObject(Sibling, S, nullptr); }
    TTreeNode* AddObject(TTreeNode* Sibling, const String& S, void* Ptr);
    TTreeNode* AddFirst(TTreeNode* Sibling, const String& S);
    TTreeNode* AddChild(TTreeNode* Parent, const String& S) { return AddChildObject(Parent, S, nullptr); }
    TTreeNode* AddChildObject(TTreeNode* Parent, const String& S, void* Ptr);
    TTreeNode* AddChildFirst(TTreeNode* Parent, const String& S);
    // A new node just before Sibling.
    TTreeNode* Insert(TTreeNode* Sibling, const String& S);
    void Delete(TTreeNode* Node);
    void Clear();
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();

private:
    friend class TTreeNode;
    friend class TCustomTreeView;
    TTreeNode* Attach(TTreeNode* Parent, Integer Index, const String& S, void* Ptr);
    std::vector<TTreeNode*>& SiblingsOf(TTreeNode* Parent) { return Parent ? Parent->FChildren : FRoots; }
    TCustomTreeView* FOwner = nullptr;
    std::vector<TTreeNode*> FRoots;
    Integer FUpdateCount = 0;
};

using TTVChangingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowChange)>;
using TTVChangedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVExpandingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowExpansion)>;
using TTVExpandedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;

class TCustomTreeView : public TStripScrolledControl {
    X_CLASS(TCustomTreeView, TStripScrolledControl)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;
    ~TCustomTreeView() override;

    TTreeNodes* Items() const { return FNodes.get(); }
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);
    TCustomImageList* StateImages() const { return FStateImages; }
    void SetStateImages(TCustomImageList* Value);
    TTreeNode* Selected() const { return FSelected; }
    // Asks CanChange first; the selection stays when it says no.
    void SetSelected(TTreeNode* Node);
    bool ShowButtons() const { return FShowButtons; }
    void SetShowButtons(bool Value);
    bool ShowLines() const { return FShowLines; }
    void SetShowLines(bool Value);
    bool ShowRoot() const { return FShowRoot; }
    void SetShowRoot(bool Value);
    Integer Indent() const { return FIndent; }
    void SetIndent(Integer Value);
    // Whether the window's style has TVS_CHECKBOXES, so nodes show boxes.
    bool HasCheckBoxes();

    TTreeNode* GetNodeAt(Integer X, Integer Y);
    TTreeNode* TopItem() const;
    Integer VisibleRowCount();
    Integer RowHeight() const;
    void FullExpand();
    void FullCollapse();

    TTVChangingEvent OnChanging;
    TTVChangedEvent OnChange;
    TTVExpandingEvent OnExpanding;
    TTVExpandingEvent OnCollapsing;
    TTVExpandedEvent OnExpanded;
    TTVExpandedEvent OnCollapsed;
    TTVExpandedEvent OnDeletion;
    TTVExpandedEvent OnStateChange;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
    virtual bool CanChange(TTreeNode* Node);
    virtual void Change(TTreeNode* Node);
    virtual bool CanExpand(TTreeNode* Node);
    virtual bool CanCollapse(TTreeNode* Node);
    virtual void Expand(TTreeNode* Node);
    virtual void Collapse(TTreeNode* Node);
    void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
    void DblClick() override;
    void KeyDown(Word& Key, TShiftState Shift) override;
    void Resize() override;

private:
    friend class TTreeNodes;
    friend class TTreeNode;
    // The nodes that show (every parent expanded), top to bottom.
    std::vector<TTreeNode*> VisibleNodes() const;
    void NodesChanged();
    void NodeGone(TTreeNode* Node);
    void ToggleExpanded(TTreeNode* Node);
    void ScrollTo(TTreeNode* Node);
    TRect RowsArea();
    // Where the parts of a row lie: the button, the check box, the image.
    Integer NodeLeft(const TTreeNode* Node) const;

    TOwnedPtr<TTreeNodes> FNodes;
    TCustomImageList* FImages = nullptr;
    TCustomImageList* FStateImages = nullptr;
    TTreeNode* FSelected = nullptr;
    bool FShowButtons = true;
    bool FShowLines = true;
    bool FShowRoot = true;
    Integer FIndent = 19;
};

class TTreeView : public TCustomTreeView {
    X_CLASS(TTreeView, TCustomTreeView)
};
