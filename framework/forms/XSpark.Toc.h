// Tables of contents of downloadable content, as far as the panels that
// show them need: items with a picture, a group, a description per
// language and actions; group items; the hidden names and the action logs
// of a table.
//
//     TXTocItem* Item = Toc->Add();
//     Item->SetGroupName(u"Packs");
//     Item->Rtf()->SetText(9, u"{\\rtf1 A pack of {\\b winter} pictures.}");
//     TXTocActionItem* Get = Item->Actions()->Add();
//     Get->SetDisplayName(u"download");
#pragma once
#include "rtl/StringList.h"
#include "core/XCore.Strings.Containers.h"
#include "graphics/XMedia.Images.h"
#include "graphics/XSpark.Actions.Hit.h"

// An action of an item: a check box (ControlType 1) or a link. Its texts
// are per language; the checked state is not stored.
class TXTocActionItem : public TXHitItem {
    X_CLASS(TXTocActionItem, TXHitItem)
public:
    void Init() override;
    bool AssignFrom(TPersistent* Source) override;

    Integer ControlType() const { return FControlType; }
    void SetControlType(Integer Value) { FControlType = Value; }
    bool Log() const { return FLog; }
    void SetLog(bool Value) { FLog = Value; }
    bool Default() const { return FDefault; }
    void SetDefault(bool Value) { FDefault = Value; }
    bool Checked() const { return FChecked; }
    void SetChecked(bool Value) { FChecked = Value; }
    // Per language; they stand for the hit item's plain texts.
    TXStringCollection<>* Caption() const { return FCaption.get(); }
    TXStringCollection<>* Hint() const { return FHint.get(); }
    TXStringCollection<>* Argument() const { return FArgument.get(); }

private:
    Integer FControlType = 0;
    bool FLog = false;
    bool FDefault = false;
    bool FChecked = true;
    TOwnedPtr<TXStringCollection<>> FCaption;
    TOwnedPtr<TXStringCollection<>> FHint;
    TOwnedPtr<TXStringCollection<>> FArgument;
};

class TXTocActionCollection : public TXHitCollectionOf<TXTocActionItem> {
    X_CLASS(TXTocActionCollection, TXHitCollectionOf<TXTocActionItem>)
public:
    using inherited::Create;
};

class TXTocCollection;

class TXTocItem : public TXImageItem {
    X_CLASS(TXTocItem, TXImageItem)
public:
    void Init() override;
    bool AssignFrom(TPersistent* Source) override;

    TDateTime TocDate() const { return FTocDate; }
    void SetTocDate(TDateTime Value) { FTocDate = Value; }
    const String& GroupName() const { return FGroupName; }
    void SetGroupName(const String& Value) { FGroupName = Value; }
    // The action a click on the picture runs, by name.
    const String& ImageAction() const { return FImageAction; }
    void SetImageAction(const String& Value) { FImageAction = Value; }
    TXStringCollection<>* Caption() const { return FCaption.get(); }
    // The description per language, as rich text.
    TXStringCollection<>* Rtf() const { return FRtf.get(); }
    TXTocActionCollection* Actions() const { return FActions.get(); }
    // The table that holds the item; null outside one.
    TXTocCollection* Toc() const;

private:
    TDateTime FTocDate = 0;
    String FGroupName;
    String FImageAction;
    TOwnedPtr<TXStringCollection<>> FCaption;
    TOwnedPtr<TXStringCollection<>> FRtf;
    TOwnedPtr<TXTocActionCollection> FActions;
};

class TXTocCollection : public TXStreamCollection<TXTocItem> {
    X_CLASS(TXTocCollection, TXStreamCollection<TXTocItem>)
public:
    void Init() override;

    // Every item whose group name is Name (case-sensitive), from the last.
    void DeleteGroup(const String& Name);
    // With logging on and the action's Log set: "item=action" into the
    // default or the other list by the action's Default.
    void LogAction(TXTocItem* Item, TXTocActionItem* Action);

    bool LogActions() const { return FLogActions; }
    void SetLogActions(bool Value) { FLogActions = Value; }
    // Names the user hid: sorted, each once.
    TStringList* HiddenNames() const { return FHidden.get(); }
    TStringList* DefaultActionLog() const { return FDefaultLog.get(); }
    TStringList* OtherActionLog() const { return FOtherLog.get(); }

private:
    bool FLogActions = false;
    TOwnedPtr<TStringList> FHidden;
    TOwnedPtr<TStringList> FDefaultLog;
    TOwnedPtr<TStringList> FOtherLog;
};

class TXTocGroupItem : public TXCollectionItem {
    X_CLASS(TXTocGroupItem, TXCollectionItem)
public:
    void Init() override;
    // From a group item: date and caption; from a table item: its date as
    // the group's and its caption; the name from either.
    bool AssignFrom(TPersistent* Source) override;

    TDateTime GroupDate() const { return FGroupDate; }
    void SetGroupDate(TDateTime Value) { FGroupDate = Value; }
    TXStringCollection<>* Caption() const { return FCaption.get(); }

private:
    TDateTime FGroupDate = 0;
    TOwnedPtr<TXStringCollection<>> FCaption;
};

class TXTocGroupCollection : public TXCollection<TXTocGroupItem> {
    X_CLASS(TXTocGroupCollection, TXCollection<TXTocGroupItem>)
public:
    using inherited::Create;
    // Emptied, then a copy of every item of Items in the group Name.
    void FillFromGroup(TXTocCollection* Items, const String& Name);
};
