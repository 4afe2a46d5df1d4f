#include "rtl/Lists.h"

X_REGISTER_CLASS(TObjectList)
X_REGISTER_CLASS(TClassList)
X_REGISTER_CLASS(TComponentList)

void XDetail::RaiseArgumentOutOfRange()
{
    throw EArgumentOutOfRangeException(RtlText::ArgumentOutOfRange);
}

void XDetail::RaiseEmptyQueue()
{
    throw EListError(u"Unbalanced stack or queue operation");
}

// Receives the free notifications of the listed components.
class TComponentList::TNexus : public TComponent {
public:
    TComponentList* List = nullptr;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override
    {
        if (Operation == opRemove && List)
            List->HandleFreeNotify(AComponent);
        TComponent::Notification(AComponent, Operation);
    }
};

TComponentList::~TComponentList()
{
    if (FNexus) {
        FNexus->List = nullptr;
        FreeAndNil(FNexus);
    }
}

void TComponentList::HandleFreeNotify(TComponent* AComponent)
{
    while (Extract(AComponent))
        ;
}

void TComponentList::Notify(TComponent* const& Item, TCollectionNotification Action)
{
    if (Item) {
        if (!FNexus) {
            FNexus = New<TNexus>(nullptr);
            FNexus->List = this;
        }
        if (Action == cnAdded)
            FNexus->FreeNotification(Item);
        else if (!Contains(Item))
            FNexus->RemoveFreeNotification(Item);
    }
    inherited::Notify(Item, Action);
}
