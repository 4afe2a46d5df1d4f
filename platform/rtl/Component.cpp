#include "rtl/Component.h"
#include "rtl/StrUtils.h"
#include "rtl/TypInfo.h"
#include <algorithm>

X_REGISTER_CLASS(TComponent)

// The name is written in the object header, not as a property.
X_PUBLISHED(TComponent)
{
    X_PROP(Name, Name, SetName).Stored(false);
    X_PROP(Tag, Tag, SetTag).Default(0);
}

namespace {
// Component names are ASCII identifiers.
bool IsNameStart(Char C)
{
    return (C >= u'A' && C <= u'Z') || (C >= u'a' && C <= u'z') || C == u'_';
}

String ReplaceFirst(StringView Pattern, StringView Value)
{
    String Result(Pattern);
    auto Pos = Result.find(u"%s");
    if (Pos != String::npos)
        Result.replace(Pos, 2, Value);
    return Result;
}

void Erase(std::vector<TComponent*>& List, TComponent* Item)
{
    auto It = std::find(List.begin(), List.end(), Item);
    if (It != List.end())
        List.erase(It);
}
}

bool IsValidIdent(StringView Ident)
{
    if (Ident.empty() || !IsNameStart(Ident[0]))
        return false;
    return std::all_of(Ident.begin() + 1, Ident.end(),
        [](Char C) { return IsNameStart(C) || (C >= u'0' && C <= u'9'); });
}

void TComponent::Create(TComponent* AOwner)
{
    inherited::Create();
    if (AOwner)
        AOwner->InsertComponent(this);
}

void TComponent::BeforeDestruction()
{
    inherited::BeforeDestruction();
    Destroying();
    RemoveFreeNotifications();
    DestroyComponents();
    if (FOwner)
        FOwner->RemoveComponent(this);
}

TComponent::~TComponent()
{
    // Left to do only when Create raised and the instance is deleted: the
    // same teardown, now with this class's own virtuals.
    RemoveFreeNotifications();
    DestroyComponents();
    if (FOwner)
        FOwner->RemoveComponent(this);
}

TComponent* TComponent::Components(Integer Index) const
{
    if (Index < 0 || Index >= ComponentCount())
        throw EArgumentOutOfRangeException(RtlText::ArgumentOutOfRange);
    return FComponents[size_t(Index)];
}

Integer TComponent::ComponentIndex() const
{
    if (!FOwner)
        return -1;
    auto& Siblings = FOwner->FComponents;
    auto It = std::find(Siblings.begin(), Siblings.end(), this);
    return It == Siblings.end() ? -1 : Integer(It - Siblings.begin());
}

void TComponent::SetComponentIndex(Integer Value)
{
    if (!FOwner)
        return;
    auto& Siblings = FOwner->FComponents;
    Integer Current = ComponentIndex();
    Value = std::clamp(Value, 0, Integer(Siblings.size()) - 1);
    if (Current < 0 || Current == Value)
        return;
    Siblings.erase(Siblings.begin() + Current);
    Siblings.insert(Siblings.begin() + Value, this);
}

TComponent* TComponent::FindComponent(StringView AName) const
{
    if (AName.empty())
        return nullptr;
    for (TComponent* C : FComponents)
        if (SameText(C->FName, AName))
            return C;
    return nullptr;
}

void TComponent::SetName(const String& NewName)
{
    if (FName == NewName)
        return;
    if (!NewName.empty() && !IsValidIdent(NewName))
        throw EComponentError(ReplaceFirst(RtlText::InvalidName, NewName));
    if (FOwner)
        FOwner->ValidateRename(this, FName, NewName);
    else
        ValidateRename(nullptr, FName, NewName);
    ChangeName(NewName);
}

void TComponent::ValidateRename(TComponent* AComponent, const String& CurName, const String& NewName)
{
    if (AComponent && !SameText(CurName, NewName) && AComponent->FOwner == this) {
        TComponent* Existing = FindComponent(NewName);
        if (Existing && Existing != AComponent)
            throw EComponentError(ReplaceFirst(RtlText::DuplicateName, NewName));
    }
}

void TComponent::InsertComponent(TComponent* AComponent)
{
    if (!AComponent || AComponent->FOwner == this)
        return;
    // An owner cycle would free its members forever.
    for (TComponent* C = this; C; C = C->FOwner)
        if (C == AComponent)
            throw EComponentError(u"A component cannot own itself or its owner");
    if (!AComponent->FName.empty() && FindComponent(AComponent->FName))
        throw EComponentError(ReplaceFirst(RtlText::DuplicateName, AComponent->FName));
    ValidateRename(AComponent, String(), AComponent->FName);
    if (AComponent->FOwner)
        AComponent->FOwner->RemoveComponent(AComponent);
    Insert(AComponent);
    Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent)
{
    if (!AComponent || AComponent->FOwner != this)
        return;
    ValidateRename(AComponent, AComponent->FName, String());
    Notification(AComponent, opRemove);
    Remove(AComponent);
}

void TComponent::Insert(TComponent* AComponent)
{
    FComponents.push_back(AComponent);
    AComponent->FOwner = this;
}

void TComponent::Remove(TComponent* AComponent)
{
    Erase(FComponents, AComponent);
    AComponent->FOwner = nullptr;
}

void TComponent::DestroyComponents()
{
    while (!FComponents.empty()) {
        TComponent* Child = FComponents.back();
        // The child leaves through RemoveComponent, so the remaining
        // components hear of it before it is gone.
        Child->Free();
        // A child whose BeforeDestruction did not reach ours is gone anyway.
        if (!FComponents.empty() && FComponents.back() == Child)
            FComponents.pop_back();
    }
}

void TComponent::Destroying()
{
    if (FComponentState.Contains(csDestroying))
        return;
    FComponentState.Include(csDestroying);
    for (TComponent* C : FComponents)
        C->Destroying();
}

void TComponent::FreeNotification(TComponent* AComponent)
{
    if (!AComponent || AComponent == this)
        return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end()) {
        FFreeNotifies.push_back(AComponent);
        AComponent->FreeNotification(this);
    }
    FComponentState.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent)
{
    RemoveNotification(AComponent);
    if (AComponent)
        AComponent->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* AComponent)
{
    Erase(FFreeNotifies, AComponent);
    if (FFreeNotifies.empty())
        FComponentState.Exclude(csFreeNotification);
}

void TComponent::RemoveFreeNotifications()
{
    while (!FFreeNotifies.empty()) {
        TComponent* Other = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        // Unlinked first, so an override that skips the inherited
        // Notification still keeps no pointer to this component.
        Other->RemoveNotification(this);
        Other->Notification(this, opRemove);
    }
    FComponentState.Exclude(csFreeNotification);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation)
{
    if (Operation == opRemove && AComponent)
        RemoveFreeNotification(AComponent);
    // Handlers may free components; walk down and stay inside the list.
    for (size_t I = FComponents.size(); I > 0; --I) {
        if (I > FComponents.size())
            I = FComponents.size();
        if (I == 0)
            break;
        FComponents[I - 1]->Notification(AComponent, Operation);
    }
}

void TComponent::SetComponentStateItem(TComponentStateItem Item, bool Value)
{
    if (Value)
        FComponentState.Include(Item);
    else
        FComponentState.Exclude(Item);
}

void TComponent::Loaded()
{
    FComponentState.Exclude(csLoading);
}
