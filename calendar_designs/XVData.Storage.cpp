// The storage components of the unit XVData: opening a calendar tree,
// discovering its tabs and loading their objects.
#include "calendar_designs/XVData.h"
#include "rtl/StrUtils.h"
#include "core/XCore.IO.h"
#include "core/XSpark.Lg.h"
#include "calendar_designs/XVData.Filers.h"
#include <algorithm>
#include <filesystem>
#include <unordered_set>

X_REGISTER_CLASS(TXVTabClassItem)
X_REGISTER_CLASS(TXVTabClassCollection)
X_REGISTER_CLASS(TXVNotebooks)
X_REGISTER_CLASS(TXVCalendars)

namespace {

bool IsRegularTabFile(const String& FileName)
{
    std::error_code Error;
    return std::filesystem::is_regular_file(StringToUTF8(FileName), Error);
}

// The class a tab folder's own file names; empty when it has none or it
// cannot be read.
String StoredTabClass(const String& TabFile)
{
    if (!IsRegularTabFile(TabFile))
        return {};
    TOwnedPtr<TXL> L(New<TXL>());
    if (!FilerLoadFromFile(TabFile, TXRLStreamFiler::StaticClass(), L.get(), false, nullptr) || GetXErrorCode() != 0)
        return {};
    return L->Info()->GetValue(u"Class");
}

bool HoldsFileWithExtension(const String& Folder, const String& Extension)
{
    TOwnedPtr<TStringList> Files(New<TStringList>());
    ListFiles(Folder, u"*" + Extension, Files.get(), true);
    return Files->Count() > 0;
}

} // namespace

TClass TXVTabClassCollection::FindTabClass(const String& Name)
{
    for (Integer I = 0; I < Count(); ++I) {
        TClass Class = static_cast<TXClassItem*>(Items(I))->ItemClass;
        if (Class && SameText(Class->ClassName(), Name))
            return Class;
    }
    return nullptr;
}

void TXVNotebooks::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FVolumes.reset(New<TXVVolumeList>());
    FTabClasses.reset(New<TXVTabClassCollection>(static_cast<TPersistent*>(nullptr), TXVTabClassItem::StaticClass()));
}

void TXVNotebooks::BeforeDestruction()
{
    inherited::BeforeDestruction();
    // The watchers hear of the free through the component's notification.
    FWatchers.clear();
    FVolumes.reset();
}

void TXVNotebooks::RegisterTabClass(TClass TabClass)
{
    if (!TabClass || !TabClass->InheritsFrom(TXVTabObject::StaticClass()))
        return;
    FTabClasses->FindOrAdd(TabClass);
}

void TXVNotebooks::AddWatcher(IXVDataObjectWatcher* Watcher)
{
    if (Watcher && std::find(FWatchers.begin(), FWatchers.end(), Watcher) == FWatchers.end())
        FWatchers.push_back(Watcher);
}

void TXVNotebooks::RemoveWatcher(IXVDataObjectWatcher* Watcher)
{
    std::erase(FWatchers, Watcher);
}

void TXVNotebooks::NotifyRemoving(TXCustomVDataObject* Object)
{
    // A watcher may leave during the round.
    const std::vector<IXVDataObjectWatcher*> Round = FWatchers;
    for (IXVDataObjectWatcher* W : Round)
        if (std::find(FWatchers.begin(), FWatchers.end(), W) != FWatchers.end())
            W->DataObjectRemoving(Object);
}

TXVVolumeObject* TXVNotebooks::AddVolume(const String& RootFolder)
{
    auto* Volume = New<TXVVolumeObject>();
    Volume->SetNotebooks(this);
    Volume->SetFolder(IncludePathDelimiter(RootFolder));
    FVolumes->Add(Volume);
    Volume->Attach(nullptr, {});
    return Volume;
}

TXVNotebookObject* TXVNotebooks::AddNotebook(const String& FolderName, TXVVolumeObject* Volume)
{
    auto* Notebook = New<TXVNotebookObject>();
    Notebook->SetNotebooks(this);
    Notebook->SetFolder(IncludePathDelimiter(FolderName));
    Volume->NotebookList()->Add(Notebook);
    Notebook->Attach(Volume, {});
    return Notebook;
}

TXVTabObject* TXVNotebooks::CreateTab(const String& FolderName, const String& TabClassName, TXVNotebookObject* Notebook)
{
    TClass Class = FTabClasses->FindTabClass(TabClassName);
    if (!Class)
        return nullptr;
    auto* Tab = Construct(static_cast<TXVTabObject*>(Class->NewInstance()));
    Tab->SetNotebooks(this);
    Tab->SetFolder(IncludePathDelimiter(FolderName));
    Notebook->Tabs()->Add(Tab);
    Tab->Attach(Notebook, {});
    Tab->Load();
    return Tab;
}

bool TXVNotebooks::OpenFolderObject(TXCustomVFolderObject* Object)
{
    if (Object->OpenFolder())
        Object->Load();
    return Object->HasState(vsfLoaded);
}

bool TXVNotebooks::LoadVolume(TXVVolumeObject* Volume)
{
    if (!OpenFolderObject(Volume))
        return false;
    TOwnedPtr<TStringList> Folders(New<TStringList>());
    ListSubFolders(Volume->GetFolderPath(), Folders.get());
    for (Integer I = 0; I < Folders->Count(); ++I)
        if (!FindNotebook(Folders->Strings(I), Volume))
            AddNotebook(Folders->Strings(I), Volume);
    for (Integer I = 0; I < Volume->NotebookList()->Count(); ++I)
        OpenFolderObject(Volume->NotebookList()->Items(I));
    return true;
}

bool TXVNotebooks::LoadNotebook(TXVNotebookObject* Notebook)
{
    if (!OpenFolderObject(Notebook))
        return false;
    TOwnedPtr<TStringList> Folders(New<TStringList>());
    ListSubFolders(Notebook->GetFolderPath(), Folders.get());
    for (Integer I = 0; I < Folders->Count(); ++I)
        if (!FindTab(Folders->Strings(I), Notebook))
            DiscoverTab(Folders->Strings(I), Notebook);
    return true;
}

TXVTabObject* TXVNotebooks::DiscoverTab(const String& FolderName, TXVNotebookObject* Notebook)
{
    const String Folder = Notebook->GetFolderPath() + IncludePathDelimiter(FolderName);
    const String TabFile = Folder + u"Folder.xtab";
    String ClassName;
    if (FileOrFolderExists(TabFile)) {
        ClassName = StoredTabClass(TabFile);
    } else {
        for (Integer I = 0; I < FTabClasses->Count() && ClassName.empty(); ++I) {
            TClass Class = static_cast<TXClassItem*>(FTabClasses->Items(I))->ItemClass;
            TOwnedPtr<TXVTabObject> Probe(Construct(static_cast<TXVTabObject*>(Class->NewInstance())));
            TClass ItemClass = Probe->GetItemClass();
            TOwnedPtr<TXCustomVDataObject> Item(Construct(static_cast<TXCustomVDataObject*>(ItemClass->NewInstance())));
            if (HoldsFileWithExtension(Folder, Item->GetExtension()))
                ClassName = Class->ClassName();
        }
    }
    return ClassName.empty() ? nullptr : CreateTab(FolderName, ClassName, Notebook);
}

void TXVNotebooks::LoadTabObjects(TXVTabObject* Tab)
{
    Tab->Load();
    TOwnedPtr<TXCustomVDataObject> Sample(
        Construct(static_cast<TXCustomVDataObject*>(Tab->GetItemClass()->NewInstance())));
    TOwnedPtr<TStringList> Files(New<TStringList>());
    ListFiles(Tab->GetFolderPath(), u"*" + Sample->GetExtension(), Files.get(), true);
    // Objects the tab holds already keep their place; a set keeps a large
    // folder's scan linear.
    std::unordered_set<String> Known;
    for (Integer I = 0; I < Tab->Items()->Count(); ++I)
        Known.insert(Tab->Items()->Items(I)->FileName());
    for (Integer I = 0; I < Files->Count(); ++I) {
        if (!Known.insert(Files->Strings(I)).second)
            continue;
        TXCustomVDataObject* Object = Construct(static_cast<TXCustomVDataObject*>(Tab->GetItemClass()->NewInstance()));
        Tab->Items()->Add(Object);
        Object->SetFileName(Files->Strings(I));
        Object->LoadPartial();
    }
}

TXVNotebookObject* TXVNotebooks::FindNotebook(const String& FolderName, TXVVolumeObject* Volume)
{
    const String Name = IncludePathDelimiter(FolderName);
    for (Integer I = 0; I < Volume->NotebookList()->Count(); ++I)
        if (IsSameFileName(Volume->NotebookList()->Items(I)->Folder(), Name))
            return Volume->NotebookList()->Items(I);
    return nullptr;
}

TXVTabObject* TXVNotebooks::FindTab(const String& FolderName, TXVNotebookObject* Notebook)
{
    const String Name = IncludePathDelimiter(FolderName);
    for (Integer I = 0; I < Notebook->Tabs()->Count(); ++I)
        if (IsSameFileName(Notebook->Tabs()->Items(I)->Folder(), Name))
            return Notebook->Tabs()->Items(I);
    return nullptr;
}

// ---- the program's calendars ----

void TXVCalendars::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FEventCategories.reset(New<TStringList>());
    FHolidayCategories.reset(New<TStringList>());
    for (TStringList* L : { FEventCategories.get(), FHolidayCategories.get() }) {
        L->SetSorted(true);
        L->SetDuplicates(dupIgnore);
    }
    for (TClass Class : { TXVQuickNoteTabObject::StaticClass(), TXVJournalTabObject::StaticClass(),
             TXVHolidayTabObject::StaticClass(), TXVEventTabObject::StaticClass() })
        RegisterTabClass(Class);
}

void TXVCalendars::BeforeDestruction()
{
    if (FListening)
        UnregisterLanguageListener(TXAnyProcedure::Method<&TXVCalendars::UpdateCategories>(this));
    FListening = false;
    FDefaultNotebook = nullptr;
    FQNotesTab = nullptr;
    FJournalsTab = nullptr;
    FHolidaysTab = nullptr;
    FEventsTab = nullptr;
    inherited::BeforeDestruction();
}

void TXVCalendars::OpenStorage(const String& RootFolder)
{
    TXVVolumeObject* Volume = AddVolume(RootFolder);
    FDefaultNotebook = AddNotebook(u"Default/", Volume);
    FQNotesTab = static_cast<TXVQuickNoteTabObject*>(CreateTab(u"QNotes/", u"TXVQuickNoteTabObject", FDefaultNotebook));
    FJournalsTab = static_cast<TXVJournalTabObject*>(CreateTab(u"Journals/", u"TXVJournalTabObject", FDefaultNotebook));
    FHolidaysTab = static_cast<TXVHolidayTabObject*>(CreateTab(u"Holidays/", u"TXVHolidayTabObject", FDefaultNotebook));
    FEventsTab = static_cast<TXVEventTabObject*>(CreateTab(u"Events/", u"TXVEventTabObject", FDefaultNotebook));
    LoadVolume(Volume);
    LoadNotebook(FDefaultNotebook);
    for (TXVTabObject* Tab : std::initializer_list<TXVTabObject*> { FQNotesTab, FJournalsTab, FHolidaysTab })
        LoadTabObjects(Tab);
    FQNotesTab->DefaultQuickNote()->Load();
    if (!FListening) {
        FListening = true;
        RegisterLanguageListener(TXAnyProcedure::Method<&TXVCalendars::UpdateCategories>(this));
    }
}

void TXVCalendars::UpdateCategories()
{
    // A language without these texts adds no empty category.
    auto AddWord = [](TStringList* List, Cardinal Id) {
        if (const String Word = Lg()->GetWord(Id); !Word.empty())
            List->Add(Word);
    };
    FEventCategories->Clear();
    for (Cardinal Id : { 2181089780u, 2181082421u, 2181068503u, 2181083222u, 2181050720u, 2181100530u })
        AddWord(FEventCategories.get(), Id);
    FHolidayCategories->Clear();
    for (Cardinal Id : { 2181089780u, 2181068503u, 2181083222u, 2181050720u, 2181100530u })
        AddWord(FHolidayCategories.get(), Id);
    if (!FHolidaysTab)
        return;
    for (Integer I = 0; I < FHolidaysTab->Items()->Count(); ++I)
        if (auto* E = DynamicCast<TXCustomVEventObject>(FHolidaysTab->Items()->Items(I)); E && !E->Category().empty())
            FHolidayCategories->Add(E->Category());
}
