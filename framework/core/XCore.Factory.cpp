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
        return Construct(Obj);
    } catch (...) {
        return nullptr;
    }
}
