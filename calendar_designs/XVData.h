// The user's calendar: a tree of stored objects, each in a file of its
// own. A volume (the calendar root folder) holds notebooks, a notebook
// tabs, a tab its data objects: quick notes, journals (one per day),
// events and holidays. Folder objects are folders on disk too.
//
//     TOwnedPtr<TXVCalendars> C(New<TXVCalendars>(static_cast<TComponent*>(nullptr)));
//     C->OpenStorage(DataFolder + u"Calendars/");
//     TXVHolidayObject* H = static_cast<TXVHolidayObject*>(C->HolidaysTab()->NewObject());
//     H->SetSummary(u"Spring");
//     H->TouchAndSave();                               // written now, never at exit
//
// An object that failed to load, or was read only in part, is never
// written back over its file.
#pragma once
#include "gdi/Colors.h"
#include "rtl/Component.h"
#include "core/XCore.Streams.Containers.h"
#include "graphics/XMedia.Images.h"
#include "calendar_designs/XL.Filers.h"
#include "calendar_designs/XVData.Items.h"
#include <vector>

// Bits of an object's state set.
inline constexpr Cardinal vsfLoadFailed = Cardinal(1) << 1;
inline constexpr Cardinal vsfBlank = Cardinal(1) << 2;
inline constexpr Cardinal vsfPartlyLoaded = Cardinal(1) << 4;
inline constexpr Cardinal vsfLoaded = Cardinal(1) << 5;
inline constexpr Cardinal vsfModified = Cardinal(1) << 6;
inline constexpr Cardinal vsfFolderUnavailable = Cardinal(1) << 10;

class TXCustomVDataObject;
class TXVTabObject;
class TXVNotebookObject;
class TXVVolumeObject;
class TXVNotebooks;

using TXVDataCompare = Integer (*)(TXCustomVDataObject* A, TXCustomVDataObject* B);

// Whether a date read from a file is a day of the years 1 to 9999.
bool IsCalendarDate(TDateTime Value);
// The file name of the journal of Date's day under the journals folder:
// year folder, then yyyymmdd with the journal extension; empty for a date
// outside the years 1 to 9999.
String JournalFileName(const String& JournalsFolder, TDateTime Date);

class TXCustomVDataObject : public TXFilerablePersistent {
    X_CLASS(TXCustomVDataObject, TXFilerablePersistent)
public:
    void Init() override;
    // The published properties; then the object counts as changed.
    bool AssignFrom(TPersistent* Source) override;

    // A new blank object under Parent, with a new UID and, inside a tab, a
    // free file name there.
    virtual void InitNew(TXCustomVDataObject* AParent);
    virtual void Attach(TXCustomVDataObject* AParent, const String& AFileName);
    virtual String GetDisplayText() { return {}; }
    virtual TXVDataCompare GetCompare(TXVOrderType OrderType);
    virtual String GetExtension() const { return {}; }
    virtual TClass GetFilerClass() const;
    // Info: "Class", "UID", "ParentUID", in that order.
    virtual void FillHeaderInfo();

    bool Load() { return LoadFile(FileName()); }
    bool LoadFile(const String& AFileName);
    // Properties and picture, not the description.
    bool LoadPartial();
    bool Save() { return SaveFile(FileName()); }
    bool SaveFile(const String& AFileName);
    bool TouchAndSave();
    virtual TXVTabObject* GetTab();

    const String& UID() const { return FUID; }
    void SetUID(const String& Value) { FUID = Value; }
    const String& ParentUID() const { return FParentUID; }
    void SetParentUID(const String& Value) { FParentUID = Value; }
    TDateTime Created() const { return FCreated; }
    void SetCreated(TDateTime Value) { FCreated = Value; }
    TDateTime LastModified() const { return FLastModified; }
    void SetLastModified(TDateTime Value) { FLastModified = Value; }

    Cardinal State() const { return FState; }
    bool HasState(Cardinal Bits) const { return (FState & Bits) != 0; }
    void SetState(Cardinal Bits, bool On) { FState = On ? FState | Bits : FState & ~Bits; }
    TXCustomVDataObject* Parent() const { return FParent; }
    TXL* Header() const { return FHeader.get(); }
    const String& FileName() const { return FHeader->FileName(); }
    void SetFileName(const String& Value) { FHeader->SetFileName(Value); }
    TDateTime CreationStamp() const { return FCreationStamp; }
    Integer OrderKey() const { return FOrderKey; }

protected:
    void SetParent(TXCustomVDataObject* Value) { FParent = Value; }

private:
    bool ReadFile(const String& AFileName, const TXFilerParts& Parts, Integer Id, Cardinal SuccessFlag);
    String FUID;
    String FParentUID;
    TDateTime FCreated = 0;
    TDateTime FLastModified = 0;
    Cardinal FState = 0;
    TXCustomVDataObject* FParent = nullptr;
    TOwnedPtr<TXL> FHeader;
    TDateTime FCreationStamp = 0;
    Integer FOrderKey = 2147483647;
};

class TXVDataObject : public TXCustomVDataObject {
    X_CLASS(TXVDataObject, TXCustomVDataObject)
public:
    TXVSensitivityType SensitivityType() const { return FSensitivityType; }
    void SetSensitivityType(TXVSensitivityType Value) { FSensitivityType = Value; }

private:
    TXVSensitivityType FSensitivityType = vcsPublic;
};

class TXCustomVNoteObject : public TXVDataObject {
    X_CLASS(TXCustomVNoteObject, TXVDataObject)
public:
    void Init() override;
    // Summary when it is not blank, else the description's title.
    String GetDisplayText() override;

    Integer Priority() const { return FPriority; }
    void SetPriority(Integer Value) { FPriority = Value; }
    const String& Summary() const { return FSummary; }
    void SetSummary(const String& Value) { FSummary = Value; }
    const String& DescriptionTitle() const { return FDescriptionTitle; }
    void SetDescriptionTitle(const String& Value) { FDescriptionTitle = Value; }
    // The rich-text body and the icon picture; their bytes are data records
    // of the file, not part of the object's properties.
    TXStreamObject* Description() const { return FDescription.get(); }
    TXImageObject* Image() const { return FImage.get(); }
    bool ShowSummary() const { return FShowSummary; }
    void SetShowSummary(bool Value) { FShowSummary = Value; }
    bool ShowDescription() const { return FShowDescription; }
    void SetShowDescription(bool Value) { FShowDescription = Value; }

private:
    Integer FPriority = 0;
    String FSummary;
    String FDescriptionTitle;
    TOwnedPtr<TXStreamObject> FDescription;
    TOwnedPtr<TXImageObject> FImage;
    bool FShowSummary = false;
    bool FShowDescription = false;
};

class TXVQuickNoteObject : public TXCustomVNoteObject {
    X_CLASS(TXVQuickNoteObject, TXCustomVNoteObject)
public:
    String GetExtension() const override { return u".xqnote"; }
    TClass GetFilerClass() const override;
};

class TXVJournalObject : public TXCustomVNoteObject {
    X_CLASS(TXVJournalObject, TXCustomVNoteObject)
public:
    void Init() override;
    String GetDisplayText() override;
    String GetExtension() const override { return u".xjournal"; }
    TClass GetFilerClass() const override;

    TXVDateTimeItem* DTStart() const { return FDTStart.get(); }

private:
    TOwnedPtr<TXVDateTimeItem> FDTStart;
};

class TXCustomVEventObject : public TXCustomVNoteObject {
    X_CLASS(TXCustomVEventObject, TXCustomVNoteObject)
public:
    void Init() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value) { FEnabled = Value; }
    const String& Category() const { return FCategory; }
    void SetCategory(const String& Value) { FCategory = Value; }
    TXVDateTimeItem* DTStart() const { return FDTStart.get(); }
    TXVDateTimeItem* DTEnd() const { return FDTEnd.get(); }
    TXVRecurrenceCollection* RRule() const { return FRRule.get(); }
    TXVDayColorType ColorType() const { return FColorType; }
    void SetColorType(TXVDayColorType Value) { FColorType = Value; }
    TColor TextColor() const { return FTextColor; }
    void SetTextColor(TColor Value) { FTextColor = Value; }
    TColor BgColor() const { return FBgColor; }
    void SetBgColor(TColor Value) { FBgColor = Value; }

private:
    bool FEnabled = true;
    String FCategory;
    TOwnedPtr<TXVDateTimeItem> FDTStart;
    TOwnedPtr<TXVDateTimeItem> FDTEnd;
    TOwnedPtr<TXVRecurrenceCollection> FRRule;
    TXVDayColorType FColorType = vdcDay;
    TColor FTextColor = clNone;
    TColor FBgColor = clNone;
};

class TXVEventObject : public TXCustomVEventObject {
    X_CLASS(TXVEventObject, TXCustomVEventObject)
public:
    String GetExtension() const override { return u".xevent"; }
    TClass GetFilerClass() const override;
};

class TXVHolidayObject : public TXVEventObject {
    X_CLASS(TXVHolidayObject, TXVEventObject)
public:
    String GetDisplayText() override;
    String GetExtension() const override { return u".xholiday"; }
    TClass GetFilerClass() const override;
};

// The data objects of a tab; owning.
class TXVDataList : public Generics::TObjectList<TXCustomVDataObject> {
    X_CLASS(TXVDataList, Generics::TObjectList<TXCustomVDataObject>)
public:
    // The first journal or event whose start falls on Date's day; -1 when none.
    Integer IndexOfDate(TDateTime Date) const;
    // The first object of that file name; -1 when none.
    Integer IndexOfFileName(const String& FileName) const;
};

class TXVTabList : public Generics::TObjectList<TXVTabObject> {
    X_CLASS(TXVTabList, Generics::TObjectList<TXVTabObject>)
};

class TXVNotebookList : public Generics::TObjectList<TXVNotebookObject> {
    X_CLASS(TXVNotebookList, Generics::TObjectList<TXVNotebookObject>)
};

class TXVVolumeList : public Generics::TObjectList<TXVVolumeObject> {
    X_CLASS(TXVVolumeList, Generics::TObjectList<TXVVolumeObject>)
};

// What volumes, notebooks and tabs share: the storage component that made
// them and a folder, relative to the parent's but for a volume's.
class TXCustomVFolderObject : public TXCustomVDataObject {
    X_CLASS(TXCustomVFolderObject, TXCustomVDataObject)
public:
    // Makes the folder, named after Caption, and stores the object at once.
    void InitNew(TXCustomVDataObject* AParent) override;
    // The folder is made when missing; the file is the folder's "Folder" file.
    void Attach(TXCustomVDataObject* AParent, const String& AFileName) override;
    TXVTabObject* GetTab() override { return nullptr; }
    // Caption, or the folder name without its delimiter.
    String GetDisplayText() override;

    virtual String GetFolderPath() const = 0;
    virtual String FolderCaption() { return {}; }
    TXVNotebooks* Notebooks() const { return FNotebooks; }
    void SetNotebooks(TXVNotebooks* Value) { FNotebooks = Value; }
    const String& Folder() const { return FFolder; }
    void SetFolder(const String& Value) { FFolder = Value; }
    // Makes the folder when missing; FolderUnavailable when it cannot be.
    bool OpenFolder();

private:
    TXVNotebooks* FNotebooks = nullptr;
    String FFolder;
};

class TXVTabObject : public TXCustomVFolderObject {
    X_CLASS(TXVTabObject, TXCustomVFolderObject)
public:
    void Init() override;
    String GetExtension() const override { return u".xtab"; }
    TClass GetFilerClass() const override;
    TXVTabObject* GetTab() override { return this; }
    String FolderCaption() override;
    String GetFolderPath() const override;

    virtual TClass GetItemClass() const { return TXCustomVDataObject::StaticClass(); }
    virtual String GetDefaultCaption() const { return u"Tab"; }
    virtual String GetLocalizedCaption() const { return {}; }

    TXCustomVDataObject* NewObject();
    TXCustomVDataObject* AttachObject(const String& AFileName);
    // Deletes the object's file and frees the object; False (object kept)
    // when the file stays.
    bool DeleteObject(TXCustomVDataObject* Object);
    // Frees every blank object; their files were never written.
    void PurgeFlaggedObjects();

    const String& Caption() const { return FCaption; }
    void SetCaption(const String& Value) { FCaption = Value; }
    TXVOrder* Order() const { return FOrder.get(); }
    TXVDataList* Items() const { return FItems.get(); }

protected:
    TXCustomVDataObject* AddItem();
    // Before an object of the tab is freed.
    virtual void ObjectRemoving(TXCustomVDataObject* Object);

private:
    void RemoveObject(TXCustomVDataObject* Object);
    String FCaption;
    TOwnedPtr<TXVOrder> FOrder;
    TOwnedPtr<TXVDataList> FItems;
};

class TXVQuickNoteTabObject : public TXVTabObject {
    X_CLASS(TXVQuickNoteTabObject, TXVTabObject)
public:
    TClass GetItemClass() const override { return TXVQuickNoteObject::StaticClass(); }
    String GetDefaultCaption() const override { return u"Quick Notes"; }
    String GetLocalizedCaption() const override;
    // The tab's "default.xqnote" (any case), attached when there is none.
    TXVQuickNoteObject* DefaultQuickNote();

protected:
    void ObjectRemoving(TXCustomVDataObject* Object) override;

private:
    TXVQuickNoteObject* FDefaultQuickNote = nullptr; // one of the items
};

class TXVJournalTabObject : public TXVTabObject {
    X_CLASS(TXVJournalTabObject, TXVTabObject)
public:
    TClass GetItemClass() const override { return TXVJournalObject::StaticClass(); }
    String GetDefaultCaption() const override { return u"Journals"; }
    String GetLocalizedCaption() const override;

    TXVJournalObject* NewJournal(TDateTime Date);
    // The day's journal, fully loaded; else the object already holding the
    // day's file (one that failed to load); else a new blank journal named
    // after the day. Null for a date outside the years 1 to 9999.
    TXVJournalObject* JournalOfDate(TDateTime Date);
    TXVJournalObject* JournalOfDateText(const String& Text);

    // The picture new journals start with; not owned, may be null.
    TXImageObject* DefaultJournalImage = nullptr;
};

class TXVEventTabObject : public TXVTabObject {
    X_CLASS(TXVEventTabObject, TXVTabObject)
public:
    TClass GetItemClass() const override { return TXVEventObject::StaticClass(); }
    String GetDefaultCaption() const override { return u"Events"; }
    String GetLocalizedCaption() const override;
};

class TXVHolidayTabObject : public TXVTabObject {
    X_CLASS(TXVHolidayTabObject, TXVTabObject)
public:
    TClass GetItemClass() const override { return TXVHolidayObject::StaticClass(); }
    String GetDefaultCaption() const override { return u"Holidays"; }
    String GetLocalizedCaption() const override;
};

class TXVNotebookObject : public TXCustomVFolderObject {
    X_CLASS(TXVNotebookObject, TXCustomVFolderObject)
public:
    void Init() override;
    String GetExtension() const override { return u".xnotebook"; }
    TClass GetFilerClass() const override;
    String FolderCaption() override;
    String GetFolderPath() const override;
    void DeleteObjectEverywhere(TXCustomVDataObject* Object);

    const String& Caption() const { return FCaption; }
    void SetCaption(const String& Value) { FCaption = Value; }
    TXVTabList* Tabs() const { return FTabs.get(); }

private:
    String FCaption;
    TOwnedPtr<TXVTabList> FTabs;
};

class TXVVolumeObject : public TXCustomVFolderObject {
    X_CLASS(TXVVolumeObject, TXCustomVFolderObject)
public:
    void Init() override;
    void InitNew(TXCustomVDataObject* AParent) override;
    String GetExtension() const override { return u".xvolume"; }
    TClass GetFilerClass() const override;
    String GetFolderPath() const override { return Folder(); }

    TXVNotebookList* NotebookList() const { return FNotebookList.get(); }

private:
    TOwnedPtr<TXVNotebookList> FNotebookList;
};

class TXVTabClassItem : public TXClassItem {
    X_CLASS(TXVTabClassItem, TXClassItem)
};

class TXVTabClassCollection : public TXClassCollection {
    X_CLASS(TXVTabClassCollection, TXClassCollection)
public:
    using inherited::Create;
    // The registered tab class of that name (any case); null when none.
    TClass FindTabClass(const String& Name);
};

// Told before the storage frees one of its data objects.
class IXVDataObjectWatcher {
public:
    virtual void DataObjectRemoving(TXCustomVDataObject* Object) = 0;

protected:
    ~IXVDataObjectWatcher() = default;
};

class TXVNotebooks : public TComponent {
    X_CLASS(TXVNotebooks, TComponent)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;

    TXVVolumeObject* AddVolume(const String& RootFolder);
    TXVNotebookObject* AddNotebook(const String& FolderName, TXVVolumeObject* Volume);
    // Null when no tab class of that name is registered.
    TXVTabObject* CreateTab(const String& FolderName, const String& TabClassName, TXVNotebookObject* Notebook);
    bool LoadVolume(TXVVolumeObject* Volume);
    bool LoadNotebook(TXVNotebookObject* Notebook);
    TXVTabObject* DiscoverTab(const String& FolderName, TXVNotebookObject* Notebook);
    void LoadTabObjects(TXVTabObject* Tab);
    TXVNotebookObject* FindNotebook(const String& FolderName, TXVVolumeObject* Volume);
    TXVTabObject* FindTab(const String& FolderName, TXVNotebookObject* Notebook);
    void RegisterTabClass(TClass TabClass);

    TXVVolumeList* Volumes() const { return FVolumes.get(); }
    TXVTabClassCollection* TabClasses() const { return FTabClasses.get(); }

    void AddWatcher(IXVDataObjectWatcher* Watcher);
    void RemoveWatcher(IXVDataObjectWatcher* Watcher);
    void NotifyRemoving(TXCustomVDataObject* Object);

private:
    bool OpenFolderObject(TXCustomVFolderObject* Object);
    TOwnedPtr<TXVVolumeList> FVolumes;
    TOwnedPtr<TXVTabClassCollection> FTabClasses;
    std::vector<IXVDataObjectWatcher*> FWatchers;
};

class TXVCalendars : public TXVNotebooks {
    X_CLASS(TXVCalendars, TXVNotebooks)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;

    void OpenStorage(const String& RootFolder);
    // The built-in categories in the current language, and the holidays'.
    void UpdateCategories();

    TXVNotebookObject* DefaultNotebook() const { return FDefaultNotebook; }
    TXVQuickNoteTabObject* QNotesTab() const { return FQNotesTab; }
    TXVJournalTabObject* JournalsTab() const { return FJournalsTab; }
    TXVHolidayTabObject* HolidaysTab() const { return FHolidaysTab; }
    TXVEventTabObject* EventsTab() const { return FEventsTab; }
    TStringList* EventCategories() const { return FEventCategories.get(); }
    TStringList* HolidayCategories() const { return FHolidayCategories.get(); }

private:
    TXVNotebookObject* FDefaultNotebook = nullptr;
    TXVQuickNoteTabObject* FQNotesTab = nullptr;
    TXVJournalTabObject* FJournalsTab = nullptr;
    TXVHolidayTabObject* FHolidaysTab = nullptr;
    TXVEventTabObject* FEventsTab = nullptr;
    TOwnedPtr<TStringList> FEventCategories;
    TOwnedPtr<TStringList> FHolidayCategories;
    bool FListening = false;
};
