#include "core/XCore.Containers.h"

X_REGISTER_CLASS(TXIntegerItem)
X_REGISTER_CLASS(TXNameValueItem)
X_REGISTER_CLASS(TXIntegerCollection)
X_REGISTER_CLASS(TXNameValueCollection)

X_PUBLISHED(TXIntegerItem)
{
    X_PROP(Name, Name, SetName);
    X_PROP(Value, Value, SetValue);
}

X_PUBLISHED(TXNameValueItem)
{
    X_PROP(Name, Name, SetName);
    X_PROP(Value, Value, SetValue);
}

TXIntegerItem* TXIntegerCollection::Find(Integer Value) const
{
    for (Integer I = 0; I < Count(); ++I)
        if (Comparer()->Compare(Items(I)->Value(), Value) == 0)
            return Items(I);
    return nullptr;
}

TXNameValueItem* TXNameValueCollection::FindByName(const String& Name)
{
    const Integer I = IndexOfName(Name);
    return I >= 0 ? Items(I) : nullptr;
}

TXNameValueItem* TXNameValueCollection::SetValue(const String& Name, const String& Value)
{
    TXNameValueItem* Item = FindByName(Name);
    if (!Item) {
        Item = Add();
        Item->SetName(Name);
    }
    Item->SetValue(Value);
    return Item;
}

String TXNameValueCollection::GetValue(const String& Name)
{
    TXNameValueItem* Item = FindByName(Name);
    return Item ? Item->Value() : String();
}
