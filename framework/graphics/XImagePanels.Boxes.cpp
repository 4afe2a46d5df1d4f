#include "graphics/XImagePanels.h"

X_REGISTER_CLASS(TXICustomPanelsBox)
X_REGISTER_CLASS(TXIThnPanelsBox)
X_REGISTER_CLASS(TXITemplatePanelsBox)

X_PUBLISHED(TXIThnPanelsBox)
{
    X_PROP_READONLY(Groups, Groups);
}

void TXICustomPanelsBox::Loaded()
{
    inherited::Loaded();
    Layout();
}

void TXICustomPanelsBox::Resize()
{
    Layout();
    inherited::Resize();
}

void TXICustomPanelsBox::Layout()
{
    if (FLayingOut || ComponentState().Contains(csDestroying) || ComponentState().Contains(csLoading))
        return;
    FLayingOut = true;
    TLifeWatch Watch(LifeMark());
    // A layout may bring or take a scroll bar, and so change the width it
    // was made for: once more then, and no more (the bar could come and go
    // forever).
    for (Integer Pass = 0; Pass < 2 && !Watch.Freed(); ++Pass) {
        const Integer Width = ClientWidth();
        UpdateLayout();
        if (Watch.Freed() || ClientWidth() == Width)
            break;
    }
    if (!Watch.Freed())
        FLayingOut = false;
}

void TXIThnPanelsBox::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FGroups = New<TXIThnPanels>(this);
    FGroups->SetHost(this);
}

void TXIThnPanelsBox::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FGroups)
        FGroups = nullptr;
}

void TXIThnPanelsBox::UpdateLayout()
{
    if (!FGroups)
        return;
    FGroups->UpdateFullWidth();
    FGroups->Relayout();
    FGroups->UpdateThumbnailBudget();
}

void TXITemplatePanelsBox::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    Groups()->SetPanelClass(TXITemplatePanel::StaticClass());
}
