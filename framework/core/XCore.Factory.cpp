#include "core/XCore.Factory.h"
#include "rtl/Collection.h"
#include "rtl/Component.h"

TClass FindClassSafe(StringView Name)
{
    try {
        return GetClass(Name);
    } catch (...) {
        return nullptr;
    }
}

TObject* CreateInstanceOf(TClass Class)
{
    if (!Class)
        return nullptr;
    try {
        TObject* Obj = Class->NewInstance();
        if (!Obj)
            return nullptr;
        if (Class->InheritsFrom(TCollectionItem::StaticClass()))
            return Construct(static_cast<TCollectionItem*>(Obj), static_cast<TCollection*>(nullptr));
        if (Class->InheritsFrom(TComponent::StaticClass()))
            return Construct(static_cast<TComponent*>(Obj), static_cast<TComponent*>(nullptr));
        // A collection made by the plain constructor would have no item
        // class. The owned form is the one every descendant overrides to
        // choose its own item class; the base item class is the fallback.
        if (Class->InheritsFrom(TOwnedCollection::StaticClass()))
            return Construct(static_cast<TOwnedCollection*>(Obj), static_cast<TPersistent*>(nullptr),
                TCollectionItem::StaticClass());
        if (Class->InheritsFrom(TCollection::StaticClass()))
            return Construct(static_cast<TCollection*>(Obj), TCollectionItem::StaticClass());
        return Construct(Obj);
    } catch (...) {
        return nullptr;
    }
}
