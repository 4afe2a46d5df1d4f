#include "gdi/Colors.h"
#include "rtl/StrUtils.h"
#include "vcl/ComCtrls.h"
#include "vcl/Themes.h"
#include "win/Input.h"
#include "win/Metrics.h"
#include <algorithm>

X_REGISTER_CLASS(TTreeNode)
X_REGISTER_CLASS(TTreeNodes)
X_REGISTER_CLASS(TCustomTreeView)
X_REGISTER_CLASS(TTreeView)

namespace {

constexpr Integer CheckBoxWidth = 16;

}

// ---- Nodes

void TTreeNode::Create(TTreeNodes* AOwner)
{
    FOwner = AOwner;
}

TTreeNode::~TTreeNode()
{
    for (TTreeNode* C : FChildren)
        C->Free();
}

TCustomTreeView* TTreeNode::TreeView() const
{
    return FOwner ? FOwner->Owner() : nullptr;
}

void TTreeNode::Changed()
{
    if (TCustomTreeView* Tree = TreeView())
        Tree->NodesChanged();
}

void TTreeNode::SetText(const String& Value)
{
    FText = Value;
    Changed();
}

void TTreeNode::SetImageIndex(Integer Value)
{
    FImageIndex = Value;
    Changed();
}

void TTreeNode::SetSelectedIndex(Integer Value)
{
    FSelectedIndex = Value;
    Changed();
}

void TTreeNode::SetStateIndex(Integer Value)
{
    FStateIndex = Value;
    Changed();
}

void TTreeNode::SetExpanded(bool Value)
{
    if (Value == FExpanded)
        return;
    TCustomTreeView* Tree = TreeView();
    if (!Tree)
        return;
    if (Value) {
        if (!Tree->CanExpand(this))
            return;
        FExpanded = true;
        Tree->NodesChanged();
        Tree->Expand(this);
        return;
    }
    if (!Tree->CanCollapse(this))
        return;
    FExpanded = false;
    // The selection may not hide in a collapsed branch: it moves up here.
    for (TTreeNode* S = Tree->Selected(); S; S = S->FParent)
        if (S->FParent == this) {
            Tree->SetSelected(this);
            break;
        }
    Tree->NodesChanged();
    Tree->Collapse(this);
}

void TTreeNode::Expand(bool Recurse)
{
    SetExpanded(true);
    if (Recurse)
        for (TTreeNode* C : std::vector<TTreeNode*>(FChildren))
            C->Expand(true);
}

void TTreeNode::Collapse(bool Recurse)
{
    if (Recurse)
        for (TTreeNode* C : std::vector<TTreeNode*>(FChildren))
            C->Collapse(true);
    SetExpanded(false);
}

bool TTreeNode::Selected() const
{
    return TreeView() && TreeView()->Selected() == this;
}

void TTreeNode::SetSelected(bool Value)
{
    if (TCustomTreeView* Tree = TreeView()) {
        if (Value)
            Tree->SetSelected(this);
        else if (Tree->Selected() == this)
            Tree->SetSelected(nullptr);
    }
}

TTreeNode* TTreeNode::Item(Integer Index) const
{
    if (Index < 0 || Index >= Count())
        throw EListError(u"Tree node index out of bounds (" + IntToStr(Index) + u")");
    return FChildren[size_t(Index)];
}

TTreeNode* TTreeNode::GetNextSibling() const
{
    const auto& List = FOwner->SiblingsOf(FParent);
    auto It = std::find(List.begin(), List.end(), this);
    return It == List.end() || It + 1 == List.end() ? nullptr : *(It + 1);
}

TTreeNode* TTreeNode::GetPrevSibling() const
{
    const auto& List = FOwner->SiblingsOf(FParent);
    auto It = std::find(List.begin(), List.end(), this);
    return It == List.end() || It == List.begin() ? nullptr : *(It - 1);
}

TTreeNode* TTreeNode::GetNext() const
{
    if (!FChildren.empty())
        return FChildren.front();
    for (const TTreeNode* N = this; N; N = N->FParent)
        if (TTreeNode* Next = N->GetNextSibling())
            return Next;
    return nullptr;
}

Integer TTreeNode::Level() const
{
    Integer L = 0;
    for (const TTreeNode* P = FParent; P; P = P->FParent)
        ++L;
    return L;
}

Integer TTreeNode::Index() const
{
    const auto& List = FOwner->SiblingsOf(FParent);
    auto It = std::find(List.begin(), List.end(), this);
    return It == List.end() ? -1 : Integer(It - List.begin());
}

Integer TTreeNode::AbsoluteIndex() const
{
    Integer I = 0;
    for (TTreeNode* N = FOwner->GetFirstNode(); N; N = N->GetNext(), ++I)
        if (N == this)
            return I;
    return -1;
}

void TTreeNode::MakeVisible()
{
    for (TTreeNode* P = FParent; P; P = P->FParent)
        P->SetExpanded(true);
    if (TCustomTreeView* Tree = TreeView())
        Tree->ScrollTo(this);
}

void TTreeNode::Delete()
{
    FOwner->Delete(this);
}

void TTreeNode::DeleteChildren()
{
    while (!FChildren.empty())
        FOwner->Delete(FChildren.back());
}

void TTreeNodes::Create(TCustomTreeView* AOwner)
{
    FOwner = AOwner;
}

TTreeNodes::~TTreeNodes()
{
    for (TTreeNode* N : FRoots)
        N->Free();
}

Integer TTreeNodes::Count() const
{
    Integer N = 0;
    for (TTreeNode* Node = GetFirstNode(); Node; Node = Node->GetNext())
        ++N;
    return N;
}

TTreeNode* TTreeNodes::Item(Integer Index) const
{
    Integer I = 0;
    for (TTreeNode* Node = GetFirstNode(); Node; Node = Node->GetNext(), ++I)
        if (I == Index)
            return Node;
    throw EListError(u"Tree node index out of bounds (" + IntToStr(Index) + u")");
}

TTreeNode* TTreeNodes::Attach(TTreeNode* Parent, Integer Index, const String& S, void* Ptr)
{
    TTreeNode* Node = New<TTreeNode>(this);
    Node->FParent = Parent;
    Node->FText = S;
    Node->FData = Ptr;
    auto& List = SiblingsOf(Parent);
    Index = std::clamp<Integer>(Index, 0, Integer(List.size()));
    List.insert(List.begin() + Index, Node);
    FOwner->NodesChanged();
    return Node;
}

TTreeNode* TTreeNodes::AddObject(TTreeNode* Sibling, const String& S, void* Ptr)
{
    TTreeNode* Parent = Sibling ? Sibling->FParent : nullptr;
    return Attach(Parent, Integer(SiblingsOf(Parent).size()), S, Ptr);
}

TTreeNode* TTreeNodes::AddFirst(TTreeNode* Sibling, const String& S)
{
    return Attach(Sibling ? Sibling->FParent : nullptr, 0, S, nullptr);
}

TTreeNode* TTreeNodes::AddChildObject(TTreeNode* Parent, const String& S, void* Ptr)
{
    return Attach(Parent, Integer(SiblingsOf(Parent).size()), S, Ptr);
}

TTreeNode* TTreeNodes::AddChildFirst(TTreeNode* Parent, const String& S)
{
    return Attach(Parent, 0, S, nullptr);
}

TTreeNode* TTreeNodes::Insert(TTreeNode* Sibling, const String& S)
{
    if (!Sibling)
        return Add(nullptr, S);
    return Attach(Sibling->FParent, Sibling->Index(), S, nullptr);
}

void TTreeNodes::Delete(TTreeNode* Node)
{
    if (!Node || Node->FOwner != this)
        return;
    // Children go first, each told to the tree.
    while (!Node->FChildren.empty())
        Delete(Node->FChildren.back());
    auto& List = SiblingsOf(Node->FParent);
    std::erase(List, Node);
    FOwner->NodeGone(Node);
    Node->Free();
    FOwner->NodesChanged();
}

void TTreeNodes::Clear()
{
    while (!FRoots.empty())
        Delete(FRoots.back());
}

void TTreeNodes::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0)
        FOwner->NodesChanged();
}

// ---- The tree view

void TCustomTreeView::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FNodes.reset(New<TTreeNodes>(this));
    FColor = clWindow;
    FTabStop = true;
    FWidth = 121;
    FHeight = 97;
    FControlStyle.Include(csOpaque);
}

void TCustomTreeView::BeforeDestruction()
{
    FSelected = nullptr;
    // No handler hears of the nodes going with the tree.
    OnDeletion = nullptr;
    inherited::BeforeDestruction();
}

TCustomTreeView::~TCustomTreeView() = default;

void TCustomTreeView::CreateParams(TCreateParams& Params)
{
    inherited::CreateParams(Params);
    Params.ExStyle |= WS_EX_CLIENTEDGE;
    Params.Style |= TVS_SHOWSELALWAYS | (FShowButtons ? TVS_HASBUTTONS : 0) | (FShowLines ? TVS_HASLINES : 0) |
        (FShowRoot ? TVS_LINESATROOT : 0);
}

void TCustomTreeView::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == FImages)
        FImages = nullptr;
    if (AComponent == FStateImages)
        FStateImages = nullptr;
}

void TCustomTreeView::SetImages(TCustomImageList* Value)
{
    if (FImages)
        FImages->RemoveFreeNotification(this);
    FImages = Value;
    if (Value)
        Value->FreeNotification(this);
    NodesChanged();
}

void TCustomTreeView::SetStateImages(TCustomImageList* Value)
{
    if (FStateImages)
        FStateImages->RemoveFreeNotification(this);
    FStateImages = Value;
    if (Value)
        Value->FreeNotification(this);
    NodesChanged();
}

void TCustomTreeView::SetShowButtons(bool Value)
{
    FShowButtons = Value;
    Invalidate();
}

void TCustomTreeView::SetShowLines(bool Value)
{
    FShowLines = Value;
    Invalidate();
}

void TCustomTreeView::SetShowRoot(bool Value)
{
    FShowRoot = Value;
    Invalidate();
}

void TCustomTreeView::SetIndent(Integer Value)
{
    FIndent = std::max(Value, 1);
    Invalidate();
}

bool TCustomTreeView::HasCheckBoxes()
{
    return HandleAllocated() && (DWORD(GetWindowLongPtr(Handle(), GWL_STYLE)) & TVS_CHECKBOXES) != 0;
}

Integer TCustomTreeView::RowHeight() const
{
    return std::max(MeasureText(FFont.get(), u"Wg").cy + 2, FImages ? FImages->Height() : 0) + 2;
}

TRect TCustomTreeView::RowsArea()
{
    const TRect C = ClientRect();
    return { C.Left, C.Top, FScroll.Needed() ? ScrollStrip().Left : C.Right, C.Bottom };
}

Integer TCustomTreeView::VisibleRowCount()
{
    return std::max(ClientRect().Height() / RowHeight(), 1);
}

std::vector<TTreeNode*> TCustomTreeView::VisibleNodes() const
{
    std::vector<TTreeNode*> Result;
    // Depth first with an explicit stack of sibling lists.
    std::vector<std::pair<const std::vector<TTreeNode*>*, size_t>> Stack { { &FNodes->FRoots, 0 } };
    while (!Stack.empty()) {
        auto& [List, At] = Stack.back();
        if (At >= List->size()) {
            Stack.pop_back();
            continue;
        }
        TTreeNode* Node = (*List)[At++];
        Result.push_back(Node);
        if (Node->FExpanded && !Node->FChildren.empty())
            Stack.push_back({ &Node->FChildren, 0 });
    }
    return Result;
}

void TCustomTreeView::NodesChanged()
{
    if (FNodes && FNodes->FUpdateCount > 0)
        return;
    FScroll.SetRange(Integer(VisibleNodes().size()), VisibleRowCount());
    Invalidate();
}

void TCustomTreeView::Resize()
{
    FScroll.SetRange(Integer(VisibleNodes().size()), VisibleRowCount());
    inherited::Resize();
}

void TCustomTreeView::NodeGone(TTreeNode* Node)
{
    if (FSelected == Node)
        FSelected = nullptr;
    if (const TTVExpandedEvent Handler = OnDeletion)
        Handler(this, Node);
}

TTreeNode* TCustomTreeView::TopItem() const
{
    const std::vector<TTreeNode*> Rows = VisibleNodes();
    return size_t(FScroll.Position()) < Rows.size() ? Rows[size_t(FScroll.Position())] : nullptr;
}

void TCustomTreeView::ScrollTo(TTreeNode* Node)
{
    const std::vector<TTreeNode*> Rows = VisibleNodes();
    auto It = std::find(Rows.begin(), Rows.end(), Node);
    if (It == Rows.end())
        return;
    FScroll.SetRange(Integer(Rows.size()), VisibleRowCount());
    const Integer Row = Integer(It - Rows.begin());
    if (Row < FScroll.Position())
        FScroll.SetPosition(Row);
    else if (Row >= FScroll.Position() + FScroll.Page())
        FScroll.SetPosition(Row - FScroll.Page() + 1);
    Invalidate();
}

TTreeNode* TCustomTreeView::GetNodeAt(Integer X, Integer Y)
{
    const TRect Rows = RowsArea();
    if (X < Rows.Left || X >= Rows.Right || Y < Rows.Top || Y >= Rows.Bottom)
        return nullptr;
    const std::vector<TTreeNode*> Visible = VisibleNodes();
    const size_t Index = size_t(FScroll.Position() + (Y - Rows.Top) / RowHeight());
    return Index < Visible.size() ? Visible[Index] : nullptr;
}

Integer TCustomTreeView::NodeLeft(const TTreeNode* Node) const
{
    const Integer RootCell = FShowRoot && (FShowButtons || FShowLines) ? 1 : 0;
    return (Node->Level() + RootCell) * FIndent + 2;
}

void TCustomTreeView::SetSelected(TTreeNode* Node)
{
    if (Node == FSelected)
        return;
    TLifeWatch Watch(FLife);
    if (!CanChange(Node) || Watch.Freed())
        return;
    FSelected = Node;
    if (Node)
        ScrollTo(Node);
    Invalidate();
    Change(Node);
}

bool TCustomTreeView::CanChange(TTreeNode* Node)
{
    bool Allow = true;
    if (const TTVChangingEvent Handler = OnChanging)
        Handler(this, Node, Allow);
    return Allow;
}

void TCustomTreeView::Change(TTreeNode* Node)
{
    if (const TTVChangedEvent Handler = OnChange)
        Handler(this, Node);
}

bool TCustomTreeView::CanExpand(TTreeNode* Node)
{
    bool Allow = true;
    if (const TTVExpandingEvent Handler = OnExpanding)
        Handler(this, Node, Allow);
    return Allow;
}

bool TCustomTreeView::CanCollapse(TTreeNode* Node)
{
    bool Allow = true;
    if (const TTVExpandingEvent Handler = OnCollapsing)
        Handler(this, Node, Allow);
    return Allow;
}

void TCustomTreeView::Expand(TTreeNode* Node)
{
    if (const TTVExpandedEvent Handler = OnExpanded)
        Handler(this, Node);
}

void TCustomTreeView::Collapse(TTreeNode* Node)
{
    if (const TTVExpandedEvent Handler = OnCollapsed)
        Handler(this, Node);
}

void TCustomTreeView::ToggleExpanded(TTreeNode* Node)
{
    if (Node && Node->HasChildren())
        Node->SetExpanded(!Node->Expanded());
}

void TCustomTreeView::FullExpand()
{
    for (TTreeNode* N : std::vector<TTreeNode*>(FNodes->FRoots))
        N->Expand(true);
}

void TCustomTreeView::FullCollapse()
{
    for (TTreeNode* N : std::vector<TTreeNode*>(FNodes->FRoots))
        N->Collapse(true);
}

void TCustomTreeView::Paint()
{
    TCanvas* C = Canvas();
    const TRect Rows = RowsArea();
    TCustomStyleServices* Style = StyleServices();
    C->Brush()->SetColor(FColor);
    C->FillRect(Rows);
    const bool Boxes = HasCheckBoxes();
    const std::vector<TTreeNode*> Visible = VisibleNodes();
    const Integer Row = RowHeight();
    const Integer RootCell = FShowRoot && (FShowButtons || FShowLines) ? 1 : 0;
    auto Line = [&](TRect R) {
        C->Brush()->SetColor(clGray);
        C->FillRect(R);
    };
    Integer Y = Rows.Top;
    for (size_t I = size_t(FScroll.Position()); I < Visible.size() && Y < Rows.Bottom; ++I, Y += Row) {
        TTreeNode* Node = Visible[I];
        const Integer Left = NodeLeft(Node);
        const Integer Mid = Y + Row / 2;
        // Lines: down through the cells of ancestors that go on below, and
        // from this node's cell to the node.
        if (FShowLines) {
            const Integer Level = Node->Level();
            Integer Depth = Level;
            for (TTreeNode* A = Node; A && Depth + RootCell >= 1; A = A->Parent(), --Depth) {
                const Integer CellX = (Depth + RootCell - 1) * FIndent + FIndent / 2 + 2;
                if (A == Node) {
                    Line({ CellX, Y, CellX + 1, A->GetNextSibling() ? Y + Row : Mid });
                    Line({ CellX, Mid, Left - 2, Mid + 1 });
                } else if (A->GetNextSibling()) {
                    Line({ CellX, Y, CellX + 1, Y + Row });
                }
            }
        }
        if (FShowButtons && Node->HasChildren() && (Node->Level() + RootCell) >= 1) {
            const Integer CellX = (Node->Level() + RootCell - 1) * FIndent + 2;
            Style->DrawElement(C,
                Style->GetElementDetails(Node->Expanded() ? teTreeViewGlyphOpened : teTreeViewGlyphClosed),
                { CellX, Y, CellX + FIndent, Y + Row });
        }
        Integer X = Left;
        if (Boxes) {
            Style->DrawElement(C, Style->GetElementDetails(Node->Checked() ? teCheckBoxChecked : teCheckBoxUnchecked),
                { X, Y, X + CheckBoxWidth, Y + Row });
            X += CheckBoxWidth + 2;
        } else if (FStateImages && Node->StateIndex() >= 0) {
            FStateImages->Draw(C, X, Y + (Row - FStateImages->Height()) / 2, Node->StateIndex(), FEnabled);
            X += FStateImages->Width() + 2;
        }
        if (FImages) {
            const Integer Image =
                Node == FSelected && Node->SelectedIndex() >= 0 ? Node->SelectedIndex() : Node->ImageIndex();
            if (Image >= 0)
                FImages->Draw(C, X, Y + (Row - FImages->Height()) / 2, Image, FEnabled);
            X += FImages->Width() + 2;
        }
        const bool Sel = Node == FSelected;
        if (Sel) {
            C->Brush()->SetColor(Focused() ? clHighlight : clBtnFace);
            C->FillRect({ X, Y + 1, std::min(X + C->TextWidth(Node->Text()) + 4, Rows.Right), Y + Row - 1 });
        }
        DrawControlText(C, Node->Text(), { X + 2, Y, Rows.Right, Y + Row },
            Sel && Focused() ? clHighlightText
                : FEnabled   ? clWindowText
                             : clGrayText);
    }
    if (FScroll.Needed())
        FScroll.Paint(C, ScrollStrip());
}

void TCustomTreeView::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
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
    TTreeNode* Node = GetNodeAt(X, Y);
    if (!Node || Button != mbLeft)
        return;
    const Integer Left = NodeLeft(Node);
    if (X < Left) {
        // In the button's cell.
        if (FShowButtons && X >= Left - FIndent - 2)
            ToggleExpanded(Node);
        return;
    }
    if (HasCheckBoxes() && X < Left + CheckBoxWidth) {
        Node->SetChecked(!Node->Checked());
        if (const TTVExpandedEvent Handler = OnStateChange)
            Handler(this, Node);
        return;
    }
    SetSelected(Node);
}

void TCustomTreeView::DblClick()
{
    TTreeNode* Node = FSelected;
    TLifeWatch Watch(FLife);
    inherited::DblClick();
    if (!Watch.Freed() && Node && FSelected == Node)
        ToggleExpanded(Node);
}

void TCustomTreeView::KeyDown(Word& Key, TShiftState Shift)
{
    TLifeWatch Watch(FLife);
    inherited::KeyDown(Key, Shift);
    if (Watch.Freed() || Key == 0)
        return;
    const std::vector<TTreeNode*> Visible = VisibleNodes();
    if (Visible.empty())
        return;
    auto It = std::find(Visible.begin(), Visible.end(), FSelected);
    const Integer At = It == Visible.end() ? -1 : Integer(It - Visible.begin());
    TTreeNode* Next = nullptr;
    switch (Key) {
    case VK_UP: Next = Visible[size_t(std::max(At - 1, 0))]; break;
    case VK_DOWN: Next = Visible[size_t(std::min(At + 1, Integer(Visible.size()) - 1))]; break;
    case VK_HOME: Next = Visible.front(); break;
    case VK_END: Next = Visible.back(); break;
    case VK_LEFT:
        if (FSelected && FSelected->Expanded())
            FSelected->SetExpanded(false);
        else if (FSelected)
            Next = FSelected->Parent();
        break;
    case VK_RIGHT:
        if (FSelected && FSelected->HasChildren() && !FSelected->Expanded())
            FSelected->SetExpanded(true);
        else if (FSelected)
            Next = FSelected->GetFirstChild();
        break;
    case VK_SPACE:
        if (FSelected && HasCheckBoxes())
            FSelected->SetChecked(!FSelected->Checked());
        break;
    default: return;
    }
    Key = 0;
    if (!Watch.Freed() && Next)
        SetSelected(Next);
}
