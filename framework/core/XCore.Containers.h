// Owned collections of named values: integer lists of stored rules and the
// name/value lists of object headers.
//
//     TOwnedPtr<TXNameValueCollection> Info(New<TXNameValueCollection>(static_cast<TPersistent*>(nullptr)));
//     Info->SetValue(u"Class", u"TXVHolidayObject");
//     Info->GetValue(u"class");                        // "TXVHolidayObject"
#pragma once
#include "core/XCore.Collections.h"

// An item with a display name (published as Name) and a value of type T.
template<class T>
class TXValueItem : public TXCollectionItem {
    X_CLASS_TEMPLATE(TXValueItem, TXCollectionItem, u"TXValueItem<T>")
public:
    const T& Value() const { return FValue; }
    virtual void SetValue(const T& AValue) { FValue = AValue; }
    String Name() { return this->DisplayName(); }
    void SetName(const String& AName) { SetDisplayName(AName); }

    void Clear() override
    {
        inherited::Clear();
        FValue = T {};
    }
    // The value of another item of the same kind, then the display name.
    bool AssignFrom(TPersistent* Source) override
    {
        if (auto* Other = DynamicCast<TXValueItem>(Source))
            SetValue(Other->Value());
        return inherited::AssignFrom(Source);
    }

private:
    T FValue {};
};

class TXIntegerItem : public TXValueItem<Integer> {
    X_CLASS(TXIntegerItem, TXValueItem<Integer>)
};

class TXNameValueItem : public TXValueItem<String> {
    X_CLASS(TXNameValueItem, TXValueItem<String>)
};

// A typed collection of value items that keeps the default comparer of T.
template<class T, class TItem>
class TXValueCollection : public TXCollection<TItem> {
    using TBase = TXCollection<TItem>;
    X_CLASS_TEMPLATE(TXValueCollection, TBase, u"TXValueCollection<T,TItem>")
public:
    using TBase::Create;
    using TBase::Add;

    void Init() override
    {
        TBase::Init();
        FComparer = TComparer<T>::Default();
    }

    // Appends an item holding Value.
    TItem* Add(const T& Value)
    {
        TItem* Item = TBase::Add();
        Item->SetValue(Value);
        return Item;
    }

    const IPtr<IComparer<T>>& Comparer() const { return FComparer; }

private:
    IPtr<IComparer<T>> FComparer;
};

class TXIntegerCollection : public TXValueCollection<Integer, TXIntegerItem> {
    using TBase = TXValueCollection<Integer, TXIntegerItem>;
    X_CLASS(TXIntegerCollection, TBase)
public:
    using inherited::Create;

    // The first item holding Value; null when none.
    TXIntegerItem* Find(Integer Value) const;
};

class TXNameValueCollection : public TXValueCollection<String, TXNameValueItem> {
    using TBase = TXValueCollection<String, TXNameValueItem>;
    X_CLASS(TXNameValueCollection, TBase)
public:
    using inherited::Create;

    // Names are found without regard to case.
    TXNameValueItem* FindByName(const String& Name);
    // The item named Name gets Value; appended first when there is none.
    TXNameValueItem* SetValue(const String& Name, const String& Value);
    // Empty when no item has that name.
    String GetValue(const String& Name);
};
