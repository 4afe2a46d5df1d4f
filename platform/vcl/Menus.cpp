#include "vcl/Menus.h"
#include <algorithm>

X_REGISTER_CLASS(TMenuItem)

void TMenuItem::BeforeDestruction()
{
    while (!FItems.empty())
        FItems.back()->Free();
    if (FParent)
        FParent->Remove(this);
    inherited::BeforeDestruction();
}

void TMenuItem::SetChecked(bool Value)
{
    FChecked = Value;
    if (Value && FRadioItem)
        TurnSiblingsOff();
}

void TMenuItem::SetRadioItem(bool Value)
{
    FRadioItem = Value;
    if (Value && FChecked)
        TurnSiblingsOff();
}

void TMenuItem::TurnSiblingsOff()
{
    if (!FParent)
        return;
    for (TMenuItem* Other : FParent->FItems)
        if (Other != this && Other->FRadioItem && Other->FGroupIndex == FGroupIndex)
            Other->FChecked = false;
}

TMenuItem* TMenuItem::Items(Integer Index) const
{
    if (Index < 0 || size_t(Index) >= FItems.size())
        throw EMenuError(u"Menu index out of range");
    return FItems[size_t(Index)];
}

Integer TMenuItem::MenuIndex() const
{
    return FParent ? FParent->IndexOf(const_cast<TMenuItem*>(this)) : -1;
}

Integer TMenuItem::IndexOf(TMenuItem* Item) const
{
    auto It = std::find(FItems.begin(), FItems.end(), Item);
    return It == FItems.end() ? -1 : Integer(It - FItems.begin());
}

void TMenuItem::Add(TMenuItem* Item)
{
    Insert(Count(), Item);
}

void TMenuItem::Insert(Integer Index, TMenuItem* Item)
{
    if (!Item || Item->FParent)
        throw EMenuError(u"Menu inserted twice");
    for (const TMenuItem* P = this; P; P = P->FParent)
        if (P == Item)
            throw EMenuError(u"A menu item cannot hold itself");
    if (Index < 0 || Index > Count())
        throw EMenuError(u"Menu index out of range");
    FItems.insert(FItems.begin() + Index, Item);
    Item->FParent = this;
    if (Item->FChecked && Item->FRadioItem)
        Item->TurnSiblingsOff();
}

void TMenuItem::Remove(TMenuItem* Item)
{
    auto It = std::find(FItems.begin(), FItems.end(), Item);
    if (It == FItems.end())
        return;
    FItems.erase(It);
    Item->FParent = nullptr;
}

void TMenuItem::Delete(Integer Index)
{
    Items(Index)->Free();
}

void TMenuItem::Clear()
{
    while (!FItems.empty())
        FItems.back()->Free();
}

void TMenuItem::Click()
{
    if (!FEnabled)
        return;
    const TNotifyEvent Handler = OnClick;
    if (Handler)
        Handler(this);
}
