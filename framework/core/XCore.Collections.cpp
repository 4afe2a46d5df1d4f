#include "core/XCore.Collections.h"
#include <algorithm>
#include <vector>

X_REGISTER_CLASS(TXCustomObjectList)
X_REGISTER_CLASS(TXClassList)
X_REGISTER_CLASS(TXAnyProcedureList)
X_REGISTER_CLASS(TXCustomCollection)

Integer TXCustomObjectList::AddUnique(TObject* Obj)
{
    Integer I = IndexOf(Obj);
    return I >= 0 ? I : Add(Obj);
}

void TXCustomObjectList::SortItems()
{
    if (!SortCompare)
        return;
    TListSortCompare Compare = SortCompare;
    Sort(TComparer<TObject*>::Construct([Compare](TObject* const& L, TObject* const& R) { return Compare(L, R); }));
}

void TXClassList::AppendClasses(TObject* Source)
{
    auto* List = DynamicCast<TClassList>(Source);
    if (!List)
        return;
    std::vector<TClass> Classes(List->begin(), List->end()); // Source may be this list
    for (TClass Class : Classes)
        Add(Class);
}

void TXClassList::AssignClasses(TObject* Source)
{
    if (Source == this || !DynamicCast<TClassList>(Source))
        return;
    Clear();
    AppendClasses(Source);
}

void TXAnyProcedureList::Create()
{
    inherited::Create(IPtr<IComparer<TXAnyProcedure>>(New<TXAnyProcedureComparer>()));
}

Integer TXCustomCollection::IndexOfName(const String& Name)
{
    for (Integer I = 0; I < Count(); ++I)
        if (CompareText(Items(I)->DisplayName(), Name) == 0)
            return I;
    return -1;
}

TCollectionItem* TXCustomCollection::FindByName(const String& Name)
{
    Integer I = IndexOfName(Name);
    return I >= 0 ? Items(I) : nullptr;
}

void TXCustomCollection::DeleteByName(const String& Name)
{
    Integer I = IndexOfName(Name);
    if (I >= 0)
        Delete(I);
}

TCollectionItem* TXCustomCollection::FirstOrAdd()
{
    return Count() > 0 ? Items(0) : Add();
}

// A new item assigned from Source; a failed assignment leaves no blank item.
TCollectionItem* TXCustomCollection::AddAssigned(TCollectionItem* Source)
{
    TCollectionItem* Item = Add();
    try {
        Item->Assign(Source);
    } catch (...) { // no blank item stays behind; the failure passes on
        Item->Free();
        throw;
    }
    return Item;
}

void TXCustomCollection::AppendFrom(TCollection* Source)
{
    if (!Source)
        return;
    Integer N = Source->Count(); // Source may be this collection
    for (Integer I = 0; I < N; ++I)
        AddAssigned(Source->Items(I));
}

void TXCustomCollection::SetItemsStoreData(bool Value)
{
    if (!ItemClass()->InheritsFrom(TXCollectionItem::StaticClass()))
        return;
    for (Integer I = 0; I < Count(); ++I)
        static_cast<TXCollectionItem*>(Items(I))->SetStoreData(Value);
}

void TXCustomCollection::Merge(TCollection* Source, TXMergeMode Mode)
{
    if (!Source)
        return;
    Integer N = Source->Count(); // Source may be this collection
    for (Integer I = 0; I < N; ++I) {
        TCollectionItem* From = Source->Items(I);
        String Name = From->DisplayName();
        switch (Mode) {
        case mmAddMissing:
            if (!FindByName(Name))
                AddAssigned(From);
            break;
        case mmAppendUnique:
            // The name comes from stored or downloaded data: plain text, never a format.
            if (FindByName(Name))
                throw EListError(u"Duplicate: " + Name);
            AddAssigned(From);
            break;
        case mmAddOrUpdate:
            if (TCollectionItem* Item = FindByName(Name))
                Item->Assign(From);
            else
                AddAssigned(From);
            break;
        case mmUpdateOnly:
            if (TCollectionItem* Item = FindByName(Name))
                Item->Assign(From);
            break;
        default: AddAssigned(From); break;
        }
    }
}

void TXCustomCollection::SyncByNames(TCollection* Source)
{
    // A collection already holds exactly its own items; detaching them
    // first would empty the source as well.
    if (!Source || Source == this)
        return;
    auto SourceHasName = [Source](const String& Name) {
        for (Integer J = 0; J < Source->Count(); ++J)
            if (Source->Items(J)->DisplayName() == Name)
                return true;
        return false;
    };
    for (Integer I = Count() - 1; I >= 0; --I)
        if (!SourceHasName(Items(I)->DisplayName()))
            Delete(I);

    std::vector<TCollectionItem*> Detached;
    while (Count() > 0) {
        TCollectionItem* Item = Items(0);
        Item->SetCollection(nullptr);
        Detached.push_back(Item);
    }
    try {
        for (Integer J = 0; J < Source->Count(); ++J) {
            TCollectionItem* From = Source->Items(J);
            String Name = From->DisplayName();
            auto It = std::find_if(Detached.begin(), Detached.end(),
                [&](TCollectionItem* Item) { return Item->DisplayName() == Name; });
            TCollectionItem* Item;
            if (It != Detached.end()) {
                Item = *It;
                Detached.erase(It);
                Item->SetCollection(this);
            } else {
                Item = Add();
            }
            Item->Assign(From);
        }
    } catch (...) { // items not taken yet go back, then the failure passes on
        for (TCollectionItem* Item : Detached)
            Item->SetCollection(this);
        throw;
    }
    for (TCollectionItem* Item : Detached)
        Item->Free();
}
