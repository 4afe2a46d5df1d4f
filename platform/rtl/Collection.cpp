#include "rtl/Collection.h"

X_REGISTER_CLASS(TCollectionItem)
X_REGISTER_CLASS(TCollection)
X_REGISTER_CLASS(TOwnedCollection)

void TCollectionItem::Create(TCollection* ACollection)
{
    inherited::Create();
    SetCollection(ACollection);
}

void TCollectionItem::BeforeDestruction()
{
    inherited::BeforeDestruction();
    SetCollection(nullptr);
}

TCollectionItem::~TCollectionItem()
{
    // Still in a collection only when Create raised after joining it.
    if (FCollection)
        FCollection->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* Value)
{
    if (FCollection == Value)
        return;
    if (Value)
        Value->CheckItemClass();
    if (Value && !InheritsFrom(Value->ItemClass()))
        throw EInvalidCast(u"Cannot add a " + ClassName() + u" to a collection of " + Value->ItemClass()->Name);
    if (FCollection)
        FCollection->RemoveItem(this);
    if (Value)
        Value->InsertItem(this);
}

Integer TCollectionItem::Index() const
{
    return FCollection ? FCollection->FItems.IndexOf(const_cast<TCollectionItem*>(this)) : -1;
}

void TCollectionItem::SetIndex(Integer Value)
{
    Integer Current = Index();
    if (Current >= 0 && Current != Value) {
        FCollection->MoveItem(Current, Value);
        Changed(true);
    }
}

String TCollectionItem::GetDisplayName()
{
    return ClassName();
}

void TCollectionItem::SetDisplayName(const String&)
{
    Changed(false);
}

void TCollectionItem::Changed(bool AllItems)
{
    if (FCollection && FCollection->FUpdateCount == 0)
        FCollection->Update(AllItems ? nullptr : this);
}

TPersistent* TCollectionItem::GetOwner()
{
    return FCollection;
}

String TCollectionItem::GetNamePath()
{
    if (!FCollection)
        return ClassName();
    return FCollection->GetNamePath() + u"[" + UTF8ToString(std::to_string(Index())) + u"]";
}

void TCollection::Create(TClass AItemClass)
{
    inherited::Create();
    // Items are made from this class and used as TCollectionItem.
    if (!AItemClass || !AItemClass->InheritsFrom(TCollectionItem::StaticClass()))
        throw EInvalidCast(u"A collection's item class must descend from TCollectionItem");
    FItemClass = AItemClass;
}

void TCollection::BeforeDestruction()
{
    inherited::BeforeDestruction();
    FUpdateCount = 1;
    Clear();
}

TCollection::~TCollection()
{
    // Items left only when the collection was not freed with Free.
    while (FItems.Count() > 0) {
        TCollectionItem* Item = FItems.Last();
        FItems.Delete(FItems.Count() - 1);
        Item->FCollection = nullptr;
        Item->Free();
    }
}

void TCollection::CheckItemClass() const
{
    // Only a collection made without its constructor (by the plain one) has none.
    if (!FItemClass)
        throw EInvalidOperation(u"The collection " + ClassName() + u" has no item class");
}

TCollectionItem* TCollection::Add()
{
    CheckItemClass();
    auto* Item = static_cast<TCollectionItem*>(FItemClass->NewInstance());
    return Construct(Item, this);
}

TCollectionItem* TCollection::Insert(Integer Index)
{
    if (Index < 0 || Index > Count())
        XDetail::RaiseArgumentOutOfRange();
    TCollectionItem* Item = Add();
    Item->SetIndex(Index);
    return Item;
}

void TCollection::Delete(Integer Index)
{
    TCollectionItem* Item = Items(Index);
    Notify(Item, cnDeleting);
    Item->Free();
}

void TCollection::Clear()
{
    if (Count() == 0)
        return;
    BeginUpdate();
    try {
        while (Count() > 0)
            FItems.Last()->Free();
    } catch (...) { // ends the update, then passes the exception on
        EndUpdate();
        throw;
    }
    EndUpdate();
}

TCollectionItem* TCollection::FindItemID(Integer ID) const
{
    for (TCollectionItem* Item : FItems)
        if (Item->FID == ID)
            return Item;
    return nullptr;
}

void TCollection::EndUpdate()
{
    if (FUpdateCount > 0)
        --FUpdateCount;
    Changed();
}

void TCollection::Assign(TPersistent* Source)
{
    auto* Other = DynamicCast<TCollection>(Source);
    if (!Other) {
        inherited::Assign(Source);
        return;
    }
    if (Other == this)
        return;
    BeginUpdate();
    try {
        Clear();
        for (TCollectionItem* Item : Other->FItems)
            Add()->Assign(Item);
    } catch (...) { // ends the update, then passes the exception on
        EndUpdate();
        throw;
    }
    EndUpdate();
}

String TCollection::GetNamePath()
{
    return ClassName();
}

void TCollection::Update(TCollectionItem*)
{ }

void TCollection::Notify(TCollectionItem*, TCollectionNotification)
{ }

void TCollection::Changed()
{
    if (FUpdateCount == 0)
        Update(nullptr);
}

void TCollection::InsertItem(TCollectionItem* Item)
{
    FItems.Add(Item);
    Item->FCollection = this;
    Item->FID = FNextID++;
    Notify(Item, cnAdded);
    Changed();
}

void TCollection::RemoveItem(TCollectionItem* Item)
{
    Notify(Item, cnExtracting);
    Integer Index = FItems.Count() - 1;
    if (Index < 0 || FItems.Items(Index) != Item)
        Index = FItems.IndexOf(Item);
    if (Index >= 0)
        FItems.Delete(Index);
    Item->FCollection = nullptr;
    Changed();
}

void TCollection::Sort(const IPtr<IComparer<TCollectionItem*>>& Comparer)
{
    if (!Comparer || FItems.Count() < 2)
        return;
    FItems.Sort(Comparer);
    Changed();
}

void TCollection::MoveItem(Integer CurIndex, Integer NewIndex)
{
    FItems.Move(CurIndex, NewIndex);
}

void TOwnedCollection::Create(TPersistent* AOwner, TClass AItemClass)
{
    FOwner = AOwner;
    inherited::Create(AItemClass);
}
