#include "forms/XSpark.Toc.h"
#include "rtl/TypInfo.h"

X_REGISTER_CLASS(TXTocActionItem)
X_REGISTER_CLASS(TXTocActionCollection)
X_REGISTER_CLASS(TXTocItem)
X_REGISTER_CLASS(TXTocCollection)
X_REGISTER_CLASS(TXTocGroupItem)
X_REGISTER_CLASS(TXTocGroupCollection)

X_PUBLISHED(TXTocActionItem)
{
    X_PROP(ControlType, ControlType, SetControlType).Default(0);
    X_PROP(Log, Log, SetLog).Default(false);
    X_PROP(Default, Default, SetDefault).Default(false);
}

X_PUBLISHED(TXTocItem)
{
    X_PROP_DATETIME(TocDate, TocDate, SetTocDate);
    X_PROP(GroupName, GroupName, SetGroupName);
    X_PROP(ImageAction, ImageAction, SetImageAction);
    X_PROP_READONLY(Rtf, Rtf);
    X_PROP_READONLY(Actions, Actions);
}

X_PUBLISHED(TXTocGroupItem)
{
    X_PROP(Name, DisplayName, SetDisplayName);
    X_PROP_DATETIME(GroupDate, GroupDate, SetGroupDate);
}

namespace {

TOwnedPtr<TXStringCollection<>> NewTexts(TPersistent* Owner)
{
    return TOwnedPtr<TXStringCollection<>>(New<TXStringCollection<>>(Owner));
}

} // namespace

void TXTocActionItem::Init()
{
    inherited::Init();
    if (!FCaption) {
        FCaption = NewTexts(this);
        FHint = NewTexts(this);
        FArgument = NewTexts(this);
    }
}

bool TXTocActionItem::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXTocActionItem>(Source); Other && Other != this) {
        FControlType = Other->FControlType;
        FLog = Other->FLog;
        FDefault = Other->FDefault;
        FChecked = Other->FChecked;
        FCaption->Assign(Other->FCaption.get());
        FHint->Assign(Other->FHint.get());
        FArgument->Assign(Other->FArgument.get());
    }
    return inherited::AssignFrom(Source);
}

void TXTocItem::Init()
{
    inherited::Init();
    if (!FActions) {
        FCaption = NewTexts(this);
        FRtf = NewTexts(this);
        FActions.reset(New<TXTocActionCollection>(static_cast<TPersistent*>(this)));
    }
}

bool TXTocItem::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXTocItem>(Source); Other && Other != this) {
        FTocDate = Other->FTocDate;
        FGroupName = Other->FGroupName;
        FImageAction = Other->FImageAction;
        FCaption->Assign(Other->FCaption.get());
        FRtf->Assign(Other->FRtf.get());
        FActions->Clear();
        FActions->AppendFrom(Other->FActions.get());
    }
    return inherited::AssignFrom(Source);
}

TXTocCollection* TXTocItem::Toc() const
{
    return DynamicCast<TXTocCollection>(Collection());
}

void TXTocCollection::Init()
{
    inherited::Init();
    FHidden = MakeOwned<TStringList>();
    FHidden->SetSorted(true);
    FHidden->SetDuplicates(dupIgnore);
    FDefaultLog = MakeOwned<TStringList>();
    FOtherLog = MakeOwned<TStringList>();
}

void TXTocCollection::DeleteGroup(const String& Name)
{
    for (Integer I = Count() - 1; I >= 0; --I)
        if (Items(I)->GroupName() == Name)
            Delete(I);
}

void TXTocCollection::LogAction(TXTocItem* Item, TXTocActionItem* Action)
{
    if (!FLogActions || !Item || !Action || !Action->Log())
        return;
    (Action->Default() ? FDefaultLog : FOtherLog)->Add(Item->DisplayName() + u"=" + Action->DisplayName());
}

void TXTocGroupItem::Init()
{
    inherited::Init();
    if (!FCaption)
        FCaption = NewTexts(this);
}

bool TXTocGroupItem::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXTocGroupItem>(Source); Other && Other != this) {
        FGroupDate = Other->FGroupDate;
        FCaption->Assign(Other->FCaption.get());
        SetDisplayName(Other->DisplayName());
        return true;
    }
    if (auto* Item = DynamicCast<TXTocItem>(Source)) {
        FGroupDate = Item->TocDate();
        FCaption->Assign(Item->Caption());
        SetDisplayName(Item->DisplayName());
        return true;
    }
    return inherited::AssignFrom(Source);
}

void TXTocGroupCollection::FillFromGroup(TXTocCollection* Items, const String& Name)
{
    Clear();
    if (!Items)
        return;
    for (Integer I = 0; I < Items->Count(); ++I)
        if (Items->Items(I)->GroupName() == Name)
            Add()->Assign(Items->Items(I));
}
