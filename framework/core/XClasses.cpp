#include "core/XClasses.h"
#include "rtl/StrUtils.h"
#include "rtl/TypInfo.h"
#include "rtl/Units.h"
#include "core/XCore.Errors.h"
#include <algorithm>

namespace {
// Runs Fn inside one update of Obj, ending the update also when Fn raises.
template<class T, class F>
void InUpdate(T* Obj, F&& Fn)
{
    Obj->BeginUpdate();
    try {
        Fn();
    } catch (...) { // ends the update, then the failure passes on
        Obj->EndUpdate();
        throw;
    }
    Obj->EndUpdate();
}

// AssignFrom, where an exception counts as a refusal; a refusal hands the
// work to the source's AssignTo.
template<class T>
void TryAssignFrom(T* Target, TPersistent* Source)
{
    bool Done = XGuarded(xecNone, false, [&] { return Target->AssignFrom(Source); });
    if (!Done && Source)
        Source->AssignTo(Target);
}
}

X_REGISTER_CLASS(TXEventObject)
X_REGISTER_CLASS(TXChangeablePersistent)
X_REGISTER_CLASS(TXFilerableObject)
X_REGISTER_CLASS(TXLgObject)
X_REGISTER_CLASS(TXChangeableObject)
X_REGISTER_CLASS(TXTypedObjectList)
X_REGISTER_CLASS(TXPersistentItem)
X_REGISTER_CLASS(TXYCollectionItem)
X_REGISTER_CLASS(TXClassItem)
X_REGISTER_CLASS(TXPersistentCollection)
X_REGISTER_CLASS(TXClassCollection)

X_PUBLISHED(TXFilerableObject)
{
    X_PROP(Name, GetName, SetName);
    X_PROP(LgID, LgID, SetLgID);
}

X_PUBLISHED(TXPersistentItem)
{
    X_PROP(Name, GetDisplayName, SetDisplayName);
}

X_PUBLISHED(TXYCollectionItem)
{
    X_PROP(LgID, LgID, SetLgID);
}

bool IsWinXPOrLater = false;
bool IsVistaOrLater = false;
bool PortableMode = false;
bool DemoMode = false;

namespace {
// The version this platform reports: an NT system of the current line.
constexpr bool PlatformIsNT = true;
constexpr Integer PlatformMajor = 10;
constexpr Integer PlatformMinor = 0;

void InitClasses()
{
    IsWinXPOrLater =
        (PlatformIsNT && (PlatformMajor > 5 || (PlatformMajor == 5 && PlatformMinor >= 1))) || PlatformMajor >= 6;
    IsVistaOrLater = PlatformMajor >= 6;
    PortableMode = false;
    DemoMode = false;
}
}

X_UNIT(XClasses, "XClasses", { "XCore.Classes" }, &InitClasses, nullptr)

// ---- TXChangeCount ----

void TXChangeCount::Enter()
{
    if (Count == 0 && !OnBegin.IsEmpty())
        OnBegin.Invoke();
    ++Count;
}

void TXChangeCount::Leave()
{
    --Count;
    if (Count <= 0) {
        // A Leave without its Enter must not push later changes off balance.
        Count = 0;
        if (!OnEnd.IsEmpty())
            OnEnd.Invoke();
    }
}

// ---- TXChangeablePersistent ----

void TXChangeablePersistent::Init()
{
    inherited::Init();
    ChangeCount.OnBegin = TXAnyProcedure::Method<&TXChangeablePersistent::BeginChange>(this);
    ChangeCount.OnEnd = TXAnyProcedure::Method<&TXChangeablePersistent::EndChange>(this);
}

void TXChangeablePersistent::Assign(TPersistent* Source)
{
    ChangeCount.Enter();
    try {
        inherited::Assign(Source);
    } catch (...) { // leaves the change, then the failure passes on
        ChangeCount.Leave();
        throw;
    }
    ChangeCount.Leave();
}

// ---- TXFilerableObject ----

void TXFilerableObject::Clear()
{
    inherited::Clear();
    FName.clear();
}

void TXFilerableObject::Assign(TPersistent* Source)
{
    if (auto* Filerable = DynamicCast<TXFilerableObject>(Source))
        SetName(Filerable->GetName());
    inherited::Assign(Source);
}

bool TXFilerableObject::IsEmpty()
{
    return inherited::IsEmpty() && FName.empty();
}

void TXFilerableObject::TryAssign(TPersistent* Source)
{
    TryAssignFrom(this, Source);
}

// ---- TXLgObject ----

void TXLgObject::Clear()
{
    inherited::Clear();
    FLgID = 9;
}

// ---- TXChangeableObject ----

void TXChangeableObject::Changed()
{
    if (UpdateCount.IsIdle() && OnChange)
        OnChange(this);
}

void TXChangeableObject::EndUpdate()
{
    UpdateCount.EndUpdate();
    if (UpdateCount.IsIdle())
        Changed();
}

void TXChangeableObject::Assign(TPersistent* Source)
{
    InUpdate(this, [&] { inherited::Assign(Source); });
}

void TXChangeableObject::TryAssign(TPersistent* Source)
{
    InUpdate(this, [&] { inherited::TryAssign(Source); });
}

// ---- XClasses::TXObjectList ----

namespace XClasses {

namespace {
Integer NoCompare(TObject*, TObject*)
{
    return 0;
}
bool NeverSame(TObject*, TObject*)
{
    return false;
}
}

void TXObjectList::Create(bool AOwnsObjects)
{
    inherited::Create(AOwnsObjects);
    FCompare = &NoCompare;
    FSameItem = &NeverSame;
    FLgObject = MakeOwned<TXLgObject>();
}

void TXObjectList::SetCompare(TXListCompare Value)
{
    FCompare = Value ? std::move(Value) : TXListCompare(&NoCompare);
}

void TXObjectList::SetSameItem(TXListSameItem Value)
{
    FSameItem = Value ? std::move(Value) : TXListSameItem(&NeverSame);
}

void TXObjectList::SetSorted(bool Value)
{
    if (Value == FSorted)
        return;
    if (Value) {
        // Sorted on a copy: a Compare that raises leaves the list as it was
        // instead of half-moved (an owning list would free twice).
        TItems Copy = RawItems();
        std::stable_sort(Copy.begin(), Copy.end(), [this](TObject* L, TObject* R) { return FCompare(L, R) < 0; });
        RawItems().swap(Copy);
    }
    FSorted = Value;
}

// The index of an item that SameItem matches among the run of items around
// Mid that Compare finds equal to Item (Mid itself first); -1 when none. A
// lone probe at Mid would miss a duplicate standing beside an equal item.
Integer TXObjectList::SameItemAround(Integer Mid, TObject* Item)
{
    if (FSameItem(Items(Mid), Item))
        return Mid;
    for (Integer I = Mid - 1; I >= 0 && FCompare(Items(I), Item) == 0; --I)
        if (FSameItem(Items(I), Item))
            return I;
    for (Integer I = Mid + 1; I < Count() && FCompare(Items(I), Item) == 0; ++I)
        if (FSameItem(Items(I), Item))
            return I;
    return -1;
}

bool TXObjectList::Find(TObject* Item, Integer& Index)
{
    Integer Lo = 0;
    Integer Hi = Count() - 1;
    bool Found = false;
    while (Lo <= Hi) {
        Integer Mid = Lo + (Hi - Lo) / 2;
        Integer C = FCompare(Items(Mid), Item);
        if (C < 0) {
            Lo = Mid + 1;
        } else {
            Hi = Mid - 1;
            if (C == 0) {
                Integer Same = SameItemAround(Mid, Item);
                if (Same >= 0) {
                    Found = true;
                    if (FDuplicates != dupAccept) {
                        Lo = Same;
                        break;
                    }
                } else {
                    Lo = Mid + 1;
                }
            }
        }
    }
    Index = Lo;
    return Found;
}

Integer TXObjectList::Add(TObject* Item)
{
    if (!FSorted)
        return inherited::Add(Item);
    Integer Index;
    if (Find(Item, Index)) {
        if (FDuplicates == dupIgnore)
            return Index;
        if (FDuplicates == dupError)
            throw EListError(u"Duplicate");
    }
    Insert(Index, Item);
    return Index;
}

Integer TXObjectList::AddUnique(TObject* Item)
{
    Integer Index = IndexOf(Item);
    return Index >= 0 ? Index : Add(Item);
}

Integer TXObjectList::InsertOrMove(Integer Index, TObject* Item)
{
    Integer Current = IndexOf(Item);
    if (Current < 0) {
        Index = std::clamp(Index, 0, Count());
        Insert(Index, Item);
    } else {
        Index = std::clamp(Index, 0, Count() - 1);
        Move(Current, Index);
    }
    return Index;
}

Integer TXObjectList::IndexOfName(const String& Name) const
{
    for (Integer I = 0; I < Count(); ++I)
        if (auto* Obj = DynamicCast<TXFilerableObject>(Items(I)))
            if (AnsiSameText(Obj->Name(), Name))
                return I;
    return -1;
}

void TXObjectList::DeleteByName(const String& Name)
{
    for (Integer I = Count() - 1; I >= 0; --I)
        if (auto* Obj = DynamicCast<TXFilerableObject>(Items(I)))
            if (Obj->Name() == Name)
                Delete(I);
}

void TXObjectList::AppendCopies(TObjectList* Source)
{
    if (!Source)
        return;
    // The objects the source holds now: appending a list to itself copies
    // each of them once.
    std::vector<TObject*> Originals(Source->begin(), Source->end());
    for (TObject* Original : Originals) {
        auto* From = DynamicCast<TXPersistent>(Original);
        if (!From || !From->ClassType()->Factory)
            continue;
        // Assigned before it is added, so a sorted list files the copy under
        // its real key; a copy the list does not take is freed.
        TOwnedPtr<TXPersistent> Copy(Construct(static_cast<TXPersistent*>(From->ClassType()->NewInstance())));
        Copy->Assign(From);
        Integer Index = Add(Copy.get());
        if (Index < Count() && Items(Index) == Copy.get())
            Copy.release();
    }
}

void TXObjectList::AppendFrom(TObject* Source)
{
    if (auto* List = DynamicCast<TXObjectList>(Source))
        FLgObject->Assign(List->FLgObject.get());
    if (auto* List = DynamicCast<TObjectList>(Source))
        AppendCopies(List);
}

void TXObjectList::CopyFrom(TObjectList* Source)
{
    // Clearing first would free the very objects to be copied.
    if (!Source || Source == this)
        return;
    Clear();
    AppendFrom(Source);
}

bool TXObjectList::IsEmpty()
{
    for (TObject* Obj : *this) {
        auto* Filerable = DynamicCast<TXFilerableObject>(Obj);
        if (!Filerable || !Filerable->IsEmpty())
            return false;
    }
    return true;
}

}

// ---- TXTypedObjectList ----

TObject* TXTypedObjectList::AddNew()
{
    if (!ItemClass || !ItemClass->InheritsFrom(TXPersistent::StaticClass()) || !ItemClass->Factory)
        return nullptr;
    TOwnedPtr<TXPersistent> Obj(Construct(static_cast<TXPersistent*>(ItemClass->NewInstance())));
    Integer Index = Add(Obj.get());
    if (Index >= Count() || Items(Index) != Obj.get())
        return nullptr;
    return Obj.release();
}

// ---- TXPersistentItem ----

void TXPersistentItem::Create(TCollection* ACollection)
{
    inherited::Create(ACollection);
    Init();
    Clear();
}

void TXPersistentItem::Assign(TPersistent* Source)
{
    // A failure to take the name counts as a refusal too.
    bool Done = XGuarded(xecNone, false, [&] {
        if (auto* Item = DynamicCast<TCollectionItem>(Source))
            SetDisplayName(Item->DisplayName());
        return AssignFrom(Source);
    });
    if (!Done && Source)
        Source->AssignTo(this);
}

void TXPersistentItem::TryAssign(TPersistent* Source)
{
    TryAssignFrom(this, Source);
}

bool TXPersistentItem::SameName(TObject* Item)
{
    auto* Other = DynamicCast<TCollectionItem>(Item);
    return Other && Other->DisplayName() == DisplayName();
}

// ---- TXYCollectionItem ----

bool TXYCollectionItem::AssignFrom(TPersistent* Source)
{
    inherited::AssignFrom(Source);
    return true;
}

// ---- TXClassItem ----

void TXClassItem::Init()
{
    inherited::Init();
    ItemClass = nullptr;
}

bool TXClassItem::AssignFrom(TPersistent* Source)
{
    if (auto* Item = DynamicCast<TXClassItem>(Source))
        ItemClass = Item->ItemClass;
    return inherited::AssignFrom(Source);
}

// ---- TXPersistentCollection ----

void TXPersistentCollection::AppendCopies(TCollection* Source)
{
    if (!Source)
        return;
    const Integer N = Source->Count();
    for (Integer I = 0; I < N; ++I) {
        TCollectionItem* Item = Add();
        try {
            Item->Assign(Source->Items(I));
        } catch (...) { // no blank item stays behind a failed copy; the failure passes on
            Item->Free();
            throw;
        }
    }
}

void TXPersistentCollection::Append(TPersistent* Source)
{
    if (auto* Collection = DynamicCast<TCollection>(Source))
        AppendCopies(Collection);
}

void TXPersistentCollection::Assign(TPersistent* Source)
{
    auto* Collection = DynamicCast<TCollection>(Source);
    if (!Collection) {
        inherited::Assign(Source);
        return;
    }
    // Clearing first would free the very items to be copied.
    if (Collection == this)
        return;
    InUpdate(this, [&] {
        Clear();
        Append(Collection);
    });
}

Integer TXPersistentCollection::IndexOfName(const String& Name)
{
    for (Integer I = 0; I < Count(); ++I)
        if (AnsiSameText(Items(I)->DisplayName(), Name))
            return I;
    return -1;
}

// ---- XClasses::TXCollection ----

namespace XClasses {

void TXCollection::Create(TClass AItemClass)
{
    inherited::Create(AItemClass);
    if (!FLgObject)
        FLgObject = MakeOwned<TXLgObject>();
}

void TXCollection::Create(TPersistent* AOwner, TClass AItemClass)
{
    inherited::Create(AOwner, AItemClass);
    if (!FLgObject)
        FLgObject = MakeOwned<TXLgObject>();
}

void TXCollection::AppendCopies(TCollection* Source)
{
    if (auto* Collection = DynamicCast<TXCollection>(Source))
        FLgObject->Assign(Collection->FLgObject.get());
    inherited::AppendCopies(Source);
}

bool TXCollection::IsEmpty()
{
    for (Integer I = 0; I < Count(); ++I) {
        auto* Item = DynamicCast<TXYCollectionItem>(Items(I));
        if (!Item || !Item->IsEmpty())
            return false;
    }
    return true;
}

}

// ---- TXClassCollection ----

TXClassItem* TXClassCollection::FindOrAdd(TClass Class)
{
    if (!Class)
        return nullptr;
    Integer Index = IndexOfName(Class->Name);
    if (Index >= 0)
        return Items(Index);
    TXClassItem* Item = Add();
    Item->SetDisplayName(Class->Name);
    Item->ItemClass = Class;
    return Item;
}
