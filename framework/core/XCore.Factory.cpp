#include "core/XCore.Factory.h"
#include "rtl/Collection.h"
#include "rtl/Component.h"
#include "core/XCore.Errors.h"

namespace {

// Raises what the construction raises.
TObject* ConstructOfClass(TClass Class)
{
    TObject* Obj = Class->NewInstance();
    if (!Obj)
        return nullptr;
    if (Class->InheritsFrom(TCollectionItem::StaticClass()))
        return Construct(static_cast<TCollectionItem*>(Obj), static_cast<TCollection*>(nullptr));
    if (Class->InheritsFrom(TComponent::StaticClass()))
        return Construct(static_cast<TComponent*>(Obj), static_cast<TComponent*>(nullptr));
    // A collection made by the plain constructor would have no item class.
    // The owned form is the one every descendant overrides to choose its own
    // item class; the base item class is the fallback.
    if (Class->InheritsFrom(TOwnedCollection::StaticClass()))
        return Construct(static_cast<TOwnedCollection*>(Obj), static_cast<TPersistent*>(nullptr),
            TCollectionItem::StaticClass());
    if (Class->InheritsFrom(TCollection::StaticClass()))
        return Construct(static_cast<TCollection*>(Obj), TCollectionItem::StaticClass());
    return Construct(Obj);
}

}

TClass FindClassSafe(StringView Name)
{
    TClass Class = nullptr;
    XGuarded(xecNone, false, [&] { Class = GetClass(Name); });
    return Class;
}

TObject* CreateInstanceOf(TClass Class)
{
    if (!Class)
        return nullptr;
    TObject* Made = nullptr;
    // A construction that raises has freed its instance: the answer is null.
    XGuarded(xecNone, false, [&] { Made = ConstructOfClass(Class); });
    return Made;
}
