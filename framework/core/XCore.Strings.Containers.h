// Collections that keep one text per language. A lookup by language falls
// back from the exact language to its primary language, the collection's
// own language, the neutral language (0) and finally English (9):
//
//     TOwnedPtr<TXStringCollection<>> Titles(New<TXStringCollection<>>(Owner));
//     Titles->SetText(1031, u"Kalender");
//     Titles->GetText(2055, true);             // "Kalender", through German
#pragma once
#include "core/XCore.Locale.h"

class TXStringItem : public TXLocalizedCollectionItem {
    X_CLASS(TXStringItem, TXLocalizedCollectionItem)
public:
    // The text, then the language id and the display name.
    bool AssignFrom(TPersistent* Source) override;
    void Clear() override;

    const String& s() const { return Fs; }
    void SetS(const String& Value) { Fs = Value; }

private:
    String Fs;
};

// A text with the colour it is drawn in. Assign leaves the colour alone.
class TXColorStringItem : public TXStringItem {
    X_CLASS(TXColorStringItem, TXStringItem)
public:
    static constexpr Integer clNone = 0x1FFFFFFF;

    void SetDefaults() override;

    Integer Color() const { return FColor; }
    void SetColor(Integer Value) { FColor = Value; }

private:
    Integer FColor = clNone;
};

// Lets a container keep the item's text out of a stored file.
class TXStorableColorStringItem : public TXColorStringItem, public IXDataStorable {
    X_CLASS(TXStorableColorStringItem, TXColorStringItem)
    X_INTERFACES(TXStorableColorStringItem, IXDataStorable)
    X_FORWARD_IINTERFACE(TXColorStringItem)
    void SetStoreData(bool Value) override { TXColorStringItem::SetStoreData(Value); }
};

template<class T = TXStringItem>
class TXStringCollection : public TXLocalizedCollection<T> {
    X_CLASS_TEMPLATE(TXStringCollection, TXLocalizedCollection<T>, u"TXStringCollection<T>")
public:
    using inherited::Create;

    // The exact language, its primary language (an item of the bare
    // primary id first, then any item of that primary language, so German
    // 1031 serves Swiss German 2055), the collection's language (when it
    // differs), the neutral language, then (with UseEnglish and a collection
    // language other than 9) English; -1 when none is there.
    Integer IndexOfLgIDFallback(Cardinal LgID, bool UseEnglish) const
    {
        Integer Index = this->IndexOfLgID(LgID);
        if (Index < 0)
            Index = IndexOfPrimaryLangID(GetPrimaryLangID(LgID));
        const Cardinal Default = this->LgID();
        if (Index < 0 && LgID != Default)
            Index = this->IndexOfLgID(Default);
        if (Index < 0)
            Index = this->IndexOfLgID(0);
        if (Index < 0 && UseEnglish && Default != 9)
            Index = this->IndexOfLgID(9);
        return Index;
    }

    Integer IndexOfPrimaryLangID(Cardinal Primary) const
    {
        Integer Index = this->IndexOfLgID(Primary);
        for (Integer I = 0; Index < 0 && I < this->Count(); ++I)
            if (GetPrimaryLangID(this->Items(I)->LgID()) == Primary)
                Index = I;
        return Index;
    }

    // The item of exactly that language (added when missing) gets Text.
    void SetText(Cardinal LgID, const String& Text)
    {
        Integer Index = this->IndexOfLgID(LgID);
        T* Item = Index >= 0 ? this->Items(Index) : this->Add();
        Item->SetLgID(LgID);
        Item->SetS(Text);
    }

    String GetText(Cardinal LgID, bool UseFallback) const
    {
        Integer Index = UseFallback ? IndexOfLgIDFallback(LgID, true) : this->IndexOfLgID(LgID);
        return Index >= 0 ? this->Items(Index)->s() : String();
    }

    // No item holds a text.
    bool IsEmpty() const
    {
        for (Integer I = 0; I < this->Count(); ++I)
            if (!this->Items(I)->s().empty())
                return false;
        return true;
    }
};

template<class T = TXColorStringItem>
class TXColorStringCollection : public TXStringCollection<T> {
    X_CLASS_TEMPLATE(TXColorStringCollection, TXStringCollection<T>, u"TXColorStringCollection<T>")
public:
    using inherited::Create;
};
