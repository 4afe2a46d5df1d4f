// Menu items as a model: a tree of items with captions, check marks
// (radio items uncheck the others of their group), enabling, visibility
// and a click event. Showing menus on the screen waits for the work that
// shows one.
//
//     auto* Languages = New<TMenuItem>(Form);
//     auto* English = New<TMenuItem>(Form);
//     English->SetCaption(u"English");
//     English->SetRadioItem(true);
//     Languages->Add(English);
//     English->Click();                       // runs OnClick
#pragma once
#include "rtl/Component.h"
#include "vcl/Controls.h"
#include <vector>

class TMenuItem : public TComponent {
    X_CLASS(TMenuItem, TComponent)
public:
    void BeforeDestruction() override;

    const String& Caption() const { return FCaption; }
    void SetCaption(const String& Value) { FCaption = Value; }
    bool Checked() const { return FChecked; }
    // Checking a radio item unchecks the other radio items of its group
    // among its siblings.
    void SetChecked(bool Value);
    bool RadioItem() const { return FRadioItem; }
    void SetRadioItem(bool Value);
    Byte GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(Byte Value) { FGroupIndex = Value; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value) { FEnabled = Value; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value) { FVisible = Value; }
    const String& Hint() const { return FHint; }
    void SetHint(const String& Value) { FHint = Value; }

    // Sub-items, which this item frees with itself.
    Integer Count() const { return Integer(FItems.size()); }
    TMenuItem* Items(Integer Index) const;
    TMenuItem* Parent() const { return FParent; }
    // The place among the parent's items; -1 without a parent.
    Integer MenuIndex() const;
    Integer IndexOf(TMenuItem* Item) const;
    // Raises EMenuError for an item that has a parent already or is this
    // item or one of its parents, and for an index out of range.
    void Add(TMenuItem* Item);
    void Insert(Integer Index, TMenuItem* Item);
    // Takes the item out (it is not freed).
    void Remove(TMenuItem* Item);
    // Frees the item at Index.
    void Delete(Integer Index);
    // Frees every sub-item.
    void Clear();

    // Runs OnClick when enabled; the handler may free the item.
    virtual void Click();
    TNotifyEvent OnClick;

private:
    String FCaption;
    String FHint;
    bool FChecked = false;
    bool FRadioItem = false;
    Byte FGroupIndex = 0;
    bool FEnabled = true;
    bool FVisible = true;
    TMenuItem* FParent = nullptr;
    std::vector<TMenuItem*> FItems;

    void TurnSiblingsOff();
};

X_EXCEPTION(EMenuError, Exception)
