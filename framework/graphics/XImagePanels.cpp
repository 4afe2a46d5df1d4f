#include "graphics/XImagePanels.h"
#include <algorithm>

X_REGISTER_CLASS(TXIPanel)
X_REGISTER_CLASS(TXIPanelList)
X_REGISTER_CLASS(TXIPanelGroupList)
X_REGISTER_CLASS(TXICustomPanels)
X_REGISTER_CLASS(TXIPanels)

X_PUBLISHED(TXICustomPanels)
{
    X_PROP(Columns, Columns, SetColumns).Default(0);
    X_PROP(FullWidth, FullWidth, SetFullWidth).Default(false);
    X_PROP(MultiSelect, MultiSelect, SetMultiSelect).Default(false);
    X_PROP(Themed, Themed, SetThemed).Default(false);
}

X_PUBLISHED(TXIPanels)
{
    X_PROP(ItemColor, Col<picItem>, SetCol<picItem>).Default(clBtnFace);
    X_PROP(SelectedItemColor, Col<picSelectedItem>, SetCol<picSelectedItem>).Default(0xF5EFE3);
    X_PROP(Color, Col<picGroup>, SetCol<picGroup>).Default(clBtnFace);
    X_PROP(SelectedColor, Col<picSelectedGroup>, SetCol<picSelectedGroup>).Default(0xF5EFE3);
    X_PROP(CaptionColor, Col<picCaption>, SetCol<picCaption>).Default(clBtnText);
    X_PROP(SelectedCaptionColor, Col<picSelectedCaption>, SetCol<picSelectedCaption>).Default(clBlack);
}

// ---- panel ----

void TXIPanel::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    SetTransparent(false);
    SetParentColor(false);
}

void TXIPanel::BeforeDestruction()
{
    if (TXICustomPanels* Gear = Panels())
        Gear->PanelGone(this);
    inherited::BeforeDestruction();
}

TXICustomPanels* TXIPanel::Panels() const
{
    return FGroup ? FGroup->Panels() : nullptr;
}

Integer TXIPanel::Index() const
{
    return FGroup ? FGroup->IndexOf(const_cast<TXIPanel*>(this)) : -1;
}

void TXIPanel::HidePanel()
{
    if (TXICustomPanels* Gear = Panels())
        Gear->HidePanel(this);
}

void TXIPanel::SetSelected(bool Value)
{
    if (Value == FSelected)
        return;
    FSelected = Value;
    TLifeWatch Watch(LifeMark());
    UpdateColor();
    TXIPanelList* List = FGroup;
    TXICustomPanels* Gear = Panels();
    if (!List || !Gear)
        return;
    if (!Value) {
        Gear->Raise(Gear->OnItemDeselected, this);
        return;
    }
    if (List->GroupPanel())
        List->GroupPanel()->SetSelected(true);
    if (Watch.Freed())
        return;
    Gear->SetCurrentGroup(List->GroupIndex());
    if (Watch.Freed())
        return;
    List->SetSelectedIndex(Index());
}

void TXIPanel::SetChecked(bool Value)
{
    if (Value == FChecked)
        return;
    FChecked = Value;
    TLifeWatch Watch(LifeMark());
    UpdateCheck();
    if (Watch.Freed())
        return;
    if (TXICustomPanels* Gear = Panels())
        Gear->Raise(Gear->OnItemCheckChanged, this);
}

void TXIPanel::DataChanged()
{
    if (TXICustomPanels* Gear = Panels())
        Gear->Raise(Gear->OnItemDataChanged, this);
}

void TXIPanel::UpdateColor()
{
    TXICustomPanels* Gear = Panels();
    if (!Gear)
        return;
    if (Gear->Themed()) {
        SetColor(Gear->Colors(picItem));
        Invalidate();
    } else {
        SetColor(Gear->Colors(FSelected ? picSelectedItem : picItem));
    }
}

void TXIPanel::Paint()
{
    inherited::Paint();
    // The system style's selected list item: its highlight round the panel.
    TXICustomPanels* Gear = Panels();
    if (FSelected && Gear && Gear->Themed()) {
        TCanvas* C = Canvas();
        C->Brush()->SetStyle(bsClear);
        C->Pen()->SetColor(clHighlight);
        C->Pen()->SetWidth(1);
        const TRect R = ClientRect();
        C->Rectangle(R);
        C->Rectangle(Rect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1));
    }
}

void TXIPanel::MouseMove(TShiftState Shift, Integer X, Integer Y)
{
    TLifeWatch Watch(LifeMark());
    inherited::MouseMove(Shift, X, Y);
    if (Watch.Freed())
        return;
    const Integer Hit = GetHotHit(X, Y);
    if (Hit == 0 || Watch.Freed())
        return;
    if (TXICustomPanels* Gear = Panels())
        Gear->RaiseHit(Gear->OnItemMouseHot, this, Hit, X, Y);
}

void TXIPanel::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y)
{
    TLifeWatch Watch(LifeMark());
    inherited::MouseUp(Button, Shift, X, Y);
    if (Watch.Freed() || !Panels())
        return;
    if (Button == mbLeft) {
        const Integer Hit = GetLeftHit(X, Y);
        if (Watch.Freed())
            return;
        if (Hit != 0) {
            Panels()->RaiseHit(Panels()->OnItemMouseBtnLeft, this, Hit, X, Y);
            return;
        }
        SetSelected(true);
        if (!Watch.Freed() && Panels())
            Panels()->Raise(Panels()->OnItemClick, this);
    } else if (Button == mbRight) {
        const Integer Hit = GetRightHit(X, Y);
        if (Hit != 0 && !Watch.Freed() && Panels())
            Panels()->RaiseHit(Panels()->OnItemMouseBtnRight, this, Hit, X, Y);
    }
}

void TXIPanel::DblClick()
{
    TLifeWatch Watch(LifeMark());
    inherited::DblClick();
    if (Watch.Freed())
        return;
    SetSelected(true);
    if (!Watch.Freed() && Panels())
        Panels()->Raise(Panels()->OnItemDblClick, this);
}

// ---- group ----

void TXIPanelList::Create(TXICustomPanels* APanels, TXGroupPanel* AGroupPanel)
{
    Create();
    FPanels = APanels;
    FGroupPanel = AGroupPanel;
    AGroupPanel->OnSelect = [this](TObject* Sender) { GroupSelect(Sender); };
    AGroupPanel->OnDeselect = [this](TObject* Sender) { GroupDeselect(Sender); };
    AGroupPanel->OnCheckChanged = [this](TObject* Sender) { GroupCheckChanged(Sender); };
}

TXIPanelList::~TXIPanelList()
{
    Clear();
    if (FGroupPanel) {
        FGroupPanel->OnSelect = nullptr;
        FGroupPanel->OnDeselect = nullptr;
        FGroupPanel->OnCheckChanged = nullptr;
        FGroupPanel->SetVisible(false);
        FGroupPanel->Free();
    }
}

Integer TXIPanelList::GroupIndex() const
{
    return FPanels ? FPanels->Groups()->IndexOf(const_cast<TXIPanelList*>(this)) : -1;
}

Integer TXIPanelList::CaptionHeight() const
{
    return FGroupPanel && FGroupPanel->CaptionBar() ? FGroupPanel->CaptionBar()->Height() : 0;
}

TXIPanel* TXIPanelList::AddPanel(TObject* AData)
{
    if (!FGroupPanel)
        return nullptr;
    auto* Panel = static_cast<TXIPanel*>(Construct(
        static_cast<TXIPanel*>(FPanels->PanelClass()->NewInstance()), static_cast<TComponent*>(FGroupPanel)));
    Panel->SetGroup(this);
    Panel->SetData(AData);
    Panel->LoadData();
    Panel->UpdateColor();
    const Integer Index = Add(Panel);
    Layout(Index);
    Panel->SetParent(FGroupPanel);
    Panel->AfterAdd();
    return Panel;
}

void TXIPanelList::AddCollectionPanels(TCollection* Collection)
{
    if (!Collection)
        return;
    for (Integer I = 0; I < Collection->Count(); ++I)
        AddPanel(Collection->Items(I));
}

void TXIPanelList::DeletePanel(Integer Index)
{
    if (Index < 0 || Index >= Count())
        return;
    if (FSelectedIndex == Index)
        FSelectedIndex = -1;
    else if (FSelectedIndex > Index)
        --FSelectedIndex;
    Delete(Index);
    Layout(Index);
}

bool TXIPanelList::DeselectOthers(TXIPanel* Keep)
{
    TLifeWatch Watch(FLife);
    // A snapshot: handlers may free panels meanwhile.
    std::vector<TXIPanel*> Panels;
    for (Integer I = 0; I < Count(); ++I)
        Panels.push_back(Items(I));
    for (TXIPanel* Panel : Panels) {
        if (Panel == Keep || IndexOf(Panel) < 0)
            continue;
        Panel->SetSelected(false);
        if (Watch.Freed())
            return false;
    }
    return true;
}

void TXIPanelList::SetSelectedIndex(Integer Index)
{
    if (Index == FSelectedIndex || Index < -1 || Index >= Count())
        return;
    FSelectedIndex = -1;
    TXIPanel* Chosen = Index >= 0 ? Items(Index) : nullptr;
    if (!FPanels->MultiSelect() && !DeselectOthers(Chosen))
        return;
    if (!Chosen || IndexOf(Chosen) < 0)
        return;
    FSelectedIndex = IndexOf(Chosen);
    TLifeWatch Watch(Chosen->LifeMark());
    Chosen->SetSelected(true);
    if (!Watch.Freed())
        FPanels->Raise(FPanels->OnItemSelected, Chosen);
}

TXIPanel* TXIPanelList::GetSelected() const
{
    return FSelectedIndex >= 0 && FSelectedIndex < Count() ? Items(FSelectedIndex) : nullptr;
}

void TXIPanelList::CheckAll()
{
    TLifeWatch Watch(FLife);
    for (Integer I = 0; I < Count() && !Watch.Freed(); ++I)
        Items(I)->SetChecked(true);
}

void TXIPanelList::UncheckAll()
{
    TLifeWatch Watch(FLife);
    for (Integer I = 0; I < Count() && !Watch.Freed(); ++I)
        Items(I)->SetChecked(false);
}

void TXIPanelList::SaveAllData()
{
    for (Integer I = 0; I < Count(); ++I)
        Items(I)->SaveData();
}

void TXIPanelList::Layout(Integer FromIndex)
{
    if (FPanels->Updating())
        return;
    FromIndex = std::max(FromIndex, 0);
    if (FPanels->WorkColumns() == 0)
        FPanels->Relayout();
    const Integer Caption = CaptionHeight();
    const Integer N = FPanels->WorkColumns();
    if (N <= 1) {
        Integer Y = Caption;
        if (FromIndex > 0 && FromIndex <= Count())
            Y = Items(FromIndex - 1)->Top() + Items(FromIndex - 1)->Height();
        const bool Wide = FPanels->FullWidth();
        for (Integer I = FromIndex; I < Count(); ++I) {
            TXIPanel* P = Items(I);
            P->SetBounds(0, Y, Wide ? FPanels->HostClientWidth() : P->Width(), P->Height());
            Y += P->Height();
        }
    } else {
        for (Integer I = FromIndex; I < Count(); ++I) {
            TXIPanel* P = Items(I);
            P->SetBounds(P->Width() * (I % N), Caption + P->Height() * (I / N), P->Width(), P->Height());
        }
    }
    if (!FGroupPanel)
        return;
    if (Count() > 0)
        FGroupPanel->SetFullHeight(Items(Count() - 1)->Top() + Items(Count() - 1)->Height());
    else
        FGroupPanel->SetFullHeight(Caption);
}

void TXIPanelList::UpdateCaptionColors()
{
    if (!FGroupPanel || !FGroupPanel->CaptionBar())
        return;
    const bool Selected = FGroupPanel->Selected();
    FGroupPanel->CaptionBar()->SetColors(FPanels->Colors(Selected ? picSelectedGroup : picGroup),
        FPanels->Colors(Selected ? picSelectedCaption : picCaption));
}

void TXIPanelList::GroupSelect(TObject* Sender)
{
    UpdateCaptionColors();
    TLifeWatch Watch(FLife);
    if (!FPanels->Raise(FPanels->OnSelected, this) || Watch.Freed())
        return;
    FPanels->SetCurrentGroup(GroupIndex());
}

void TXIPanelList::GroupDeselect(TObject* Sender)
{
    FSelectedIndex = -1;
    if (!FPanels->MultiSelect() && !DeselectOthers(nullptr))
        return;
    UpdateCaptionColors();
    FPanels->Raise(FPanels->OnDeselected, this);
}

void TXIPanelList::GroupCheckChanged(TObject* Sender)
{
    FPanels->Raise(FPanels->OnCheckChanged, this);
}

// ---- gear ----

void TXICustomPanels::Create(TComponent* AOwner)
{
    FGroups.reset(New<TXIPanelGroupList>(true));
    FPanelClass = TXIPanel::StaticClass();
    FGroupPanelClass = TXIGroupPanel::StaticClass();
    FColors = { clBtnFace, 0xF5EFE3, clBtnFace, 0xF5EFE3, clBtnText, clBlack };
    inherited::Create(AOwner);
    SetName(u"Groups");
}

void TXICustomPanels::BeforeDestruction()
{
    // The groups (and with them their group panels) go before the gear
    // frees its components.
    Clear();
    FPendingHides.clear();
    SetHost(nullptr);
    inherited::BeforeDestruction();
}

void TXICustomPanels::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == FHost)
        FHost = nullptr;
    // A group panel freed with its parent window: its group lets go of it.
    for (Integer G = 0; G < FGroups->Count(); ++G)
        if (FGroups->GetItem(G)->FGroupPanel == AComponent)
            FGroups->GetItem(G)->FGroupPanel = nullptr;
}

void TXICustomPanels::SetHost(TWinControl* Value)
{
    if (Value == FHost)
        return;
    if (FHost)
        FHost->RemoveFreeNotification(this);
    FHost = Value;
    if (Value)
        Value->FreeNotification(this);
}

void TXICustomPanels::SetPanelClass(TClass Value)
{
    if (Value && Value->InheritsFrom(TXIPanel::StaticClass()) && Value->Factory)
        FPanelClass = Value;
}

void TXICustomPanels::SetGroupPanelClass(TClass Value)
{
    if (Value && Value->InheritsFrom(TXGroupPanel::StaticClass()) && Value->Factory)
        FGroupPanelClass = Value;
}

void TXICustomPanels::SetColumns(Integer Value)
{
    FColumns = std::max(Value, 0);
    Relayout();
}

void TXICustomPanels::SetFullWidth(bool Value)
{
    FFullWidth = Value;
    UpdateFullWidth();
}

void TXICustomPanels::SetColors(TXIPanelColor Index, TColor Value)
{
    FColors[Index] = Value;
    for (Integer G = 0; G < FGroups->Count(); ++G) {
        TXIPanelList* List = FGroups->GetItem(G);
        List->UpdateCaptionColors();
        for (Integer I = 0; I < List->Count(); ++I)
            List->Items(I)->UpdateColor();
    }
}

Integer TXICustomPanels::HostClientWidth() const
{
    return FHost ? FHost->ClientWidth() : 0;
}

bool TXICustomPanels::Raise(const TNotifyEvent& Event, TObject* Sender)
{
    if (!Event)
        return true;
    TLifeWatch Watch(FLife);
    const TNotifyEvent Call = Event;
    Call(Sender);
    return !Watch.Freed();
}

bool TXICustomPanels::RaiseHit(const TXMouseHitEvent& Event, TObject* Sender, Integer Hit, Integer X, Integer Y)
{
    if (!Event)
        return true;
    TLifeWatch Watch(FLife);
    const TXMouseHitEvent Call = Event;
    Call(Sender, Hit, X, Y);
    return !Watch.Freed();
}

TXIPanelList* TXICustomPanels::AddGroup()
{
    auto* GroupPanel = static_cast<TXGroupPanel*>(
        Construct(static_cast<TXGroupPanel*>(FGroupPanelClass->NewInstance()), static_cast<TComponent*>(this)));
    if (FHost)
        GroupPanel->SetColor(FHost->Color());
    if (GroupPanel->CaptionBar())
        GroupPanel->CaptionBar()->SetAlignment(taLeftJustify);
    Integer Top = 0;
    if (FGroups->Count() > 0) {
        if (TXGroupPanel* Last = FGroups->GetItem(FGroups->Count() - 1)->GroupPanel())
            Top = Last->Top() + Last->Height();
    }
    GroupPanel->SetTop(Top);
    GroupPanel->SetAlign(alTop);
    GroupPanel->SetFullHeight(GroupPanel->CaptionBar() ? GroupPanel->CaptionBar()->Height() : 0);
    GroupPanel->SetShowCheckBox(true);
    GroupPanel->SetParent(FHost);
    auto* List = New<TXIPanelList>(this, GroupPanel);
    FGroups->Add(List);
    List->UpdateCaptionColors();
    return List;
}

void TXICustomPanels::Clear()
{
    ++FUpdateCount;
    for (Integer G = 0; G < FGroups->Count(); ++G)
        FGroups->GetItem(G)->Clear();
    FGroups->Clear();
    FCurrentGroupIndex = -1;
    --FUpdateCount;
}

TXIPanelList* TXICustomPanels::GetCurrentGroup() const
{
    if (FGroups->Count() == 0)
        return nullptr;
    if (FCurrentGroupIndex >= 0 && FCurrentGroupIndex < FGroups->Count())
        return FGroups->GetItem(FCurrentGroupIndex);
    return FGroups->GetItem(0);
}

void TXICustomPanels::SetCurrentGroup(Integer Index)
{
    if (Index == FCurrentGroupIndex || Index >= FGroups->Count() || Index < -1)
        return;
    TLifeWatch Watch(FLife);
    std::vector<TXIPanelList*> Others;
    for (Integer G = 0; G < FGroups->Count(); ++G)
        if (G != Index)
            Others.push_back(FGroups->GetItem(G));
    TXIPanelList* Chosen = Index >= 0 ? FGroups->GetItem(Index) : nullptr;
    for (TXIPanelList* Other : Others) {
        if (FGroups->IndexOf(Other) < 0)
            continue;
        if (Other->GroupPanel())
            Other->GroupPanel()->SetSelected(false);
        if (Watch.Freed())
            return;
        if (FGroups->IndexOf(Other) >= 0)
            Other->ResetSelectedIndex();
    }
    if (Chosen && FGroups->IndexOf(Chosen) < 0)
        return;
    FCurrentGroupIndex = Chosen ? FGroups->IndexOf(Chosen) : -1;
    if (Chosen && Chosen->GroupPanel())
        Chosen->GroupPanel()->SetSelected(true);
}

void TXICustomPanels::UpdateFullWidth()
{
    if (!FFullWidth || FColumns != 1)
        return;
    const Integer W = HostClientWidth();
    for (Integer G = 0; G < FGroups->Count(); ++G) {
        TXIPanelList* List = FGroups->GetItem(G);
        for (Integer I = 0; I < List->Count(); ++I)
            List->Items(I)->SetWidth(W);
    }
}

void TXICustomPanels::Relayout()
{
    FWorkColumns = FColumns;
    for (Integer G = 0; G < FGroups->Count(); ++G) {
        TXIPanelList* List = FGroups->GetItem(G);
        if (List->Count() == 0)
            continue;
        if (FWorkColumns == 0) {
            if (const Integer W = List->Items(0)->Width(); W != 0)
                FWorkColumns = HostClientWidth() / W;
            FWorkColumns = std::max(FWorkColumns, 1);
        }
        List->Layout(0);
    }
}

void TXICustomPanels::HidePanel(TXIPanel* Panel)
{
    if (!Panel || !Window())
        return;
    const UInt64 Serial = FNextHide++;
    FPendingHides[Serial] = Panel;
    PostMessage(Window(), XM_HIDEPANEL, WPARAM(Serial), 0);
}

void TXICustomPanels::PanelGone(TXIPanel* Panel)
{
    std::erase_if(FPendingHides, [Panel](const auto& Entry) { return Entry.second == Panel; });
}

void TXICustomPanels::WndProc(TMessage& Message)
{
    if (Message.Msg != XM_HIDEPANEL) {
        inherited::WndProc(Message);
        return;
    }
    Message.Result = 1;
    HidePanelNow(UInt64(Message.WParam));
}

void TXICustomPanels::HidePanelNow(UInt64 Serial)
{
    const auto Found = FPendingHides.find(Serial);
    if (Found == FPendingHides.end())
        return;
    TXIPanel* Panel = Found->second;
    FPendingHides.erase(Found);
    TLifeWatch Watch(FLife);
    for (Integer G = 0; G < FGroups->Count(); ++G) {
        TXIPanelList* List = FGroups->GetItem(G);
        if (List->IndexOf(Panel) < 0)
            continue;
        TLifeWatch PanelWatch(Panel->LifeMark());
        if (!Raise(OnItemHide, Panel->Data()))
            return;
        if (PanelWatch.Freed())
            return;
        // The handler may have moved things: find the panel again.
        if (FGroups->IndexOf(List) >= 0 && List->IndexOf(Panel) >= 0)
            List->DeletePanel(List->IndexOf(Panel));
        return;
    }
    (void)Watch;
}
