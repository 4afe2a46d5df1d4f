#include "calendar_designs/XVData.h"
#include "rtl/StrUtils.h"
#include "rtl/TypInfo.h"
#include "win/Time.h"
#include "core/XCore.DateTime.h"
#include "core/XCore.IO.h"
#include "core/XCore.Strings.h"
#include "core/XSpark.Lg.h"
#include "calendar_designs/XVData.Filers.h"
#include <cmath>
#include <filesystem>

X_REGISTER_CLASS(TXCustomVDataObject)
X_REGISTER_CLASS(TXVDataObject)
X_REGISTER_CLASS(TXCustomVNoteObject)
X_REGISTER_CLASS(TXVQuickNoteObject)
X_REGISTER_CLASS(TXVJournalObject)
X_REGISTER_CLASS(TXCustomVEventObject)
X_REGISTER_CLASS(TXVEventObject)
X_REGISTER_CLASS(TXVHolidayObject)
X_REGISTER_CLASS(TXVDataList)
X_REGISTER_CLASS(TXVTabList)
X_REGISTER_CLASS(TXVNotebookList)
X_REGISTER_CLASS(TXVVolumeList)
X_REGISTER_CLASS(TXCustomVFolderObject)
X_REGISTER_CLASS(TXVTabObject)
X_REGISTER_CLASS(TXVQuickNoteTabObject)
X_REGISTER_CLASS(TXVJournalTabObject)
X_REGISTER_CLASS(TXVEventTabObject)
X_REGISTER_CLASS(TXVHolidayTabObject)
X_REGISTER_CLASS(TXVNotebookObject)
X_REGISTER_CLASS(TXVVolumeObject)

X_PUBLISHED(TXCustomVDataObject)
{
    X_PROP(UID, UID, SetUID);
    X_PROP(ParentUID, ParentUID, SetParentUID);
    X_PROP_DATETIME(Created, Created, SetCreated);
    X_PROP_DATETIME(LastModified, LastModified, SetLastModified);
}

X_PUBLISHED(TXVDataObject)
{
    X_PROP(SensitivityType, SensitivityType, SetSensitivityType);
}

X_PUBLISHED(TXCustomVNoteObject)
{
    X_PROP(Priority, Priority, SetPriority);
    X_PROP(Summary, Summary, SetSummary);
    X_PROP(DescriptionTitle, DescriptionTitle, SetDescriptionTitle);
    X_PROP_READONLY(Description, Description);
    X_PROP_READONLY(Image, Image);
    X_PROP(ShowSummary, ShowSummary, SetShowSummary);
    X_PROP(ShowDescription, ShowDescription, SetShowDescription);
}

X_PUBLISHED(TXVJournalObject)
{
    X_PROP_READONLY(DTStart, DTStart);
}

X_PUBLISHED(TXCustomVEventObject)
{
    X_PROP(Enabled, Enabled, SetEnabled);
    X_PROP(Category, Category, SetCategory);
    X_PROP_READONLY(DTStart, DTStart);
    X_PROP_READONLY(DTEnd, DTEnd);
    X_PROP_READONLY(RRule, RRule);
    X_PROP(ColorType, ColorType, SetColorType);
    X_PROP(TextColor, TextColor, SetTextColor);
    X_PROP(BgColor, BgColor, SetBgColor);
}

X_PUBLISHED(TXVTabObject)
{
    X_PROP(Caption, Caption, SetCaption);
    X_PROP_READONLY(Order, Order);
}

X_PUBLISHED(TXVNotebookObject)
{
    X_PROP(Caption, Caption, SetCaption);
}

namespace {

constexpr const char16_t* FolderFileName = u"Folder";

TDateTime UTCNow()
{
    SYSTEMTIME St;
    GetSystemTime(&St);
    return SystemTimeToDateTime(St);
}

// A regular file (links followed): the only thing a load opens, so a
// FIFO or device of a stored name never blocks or feeds a read.
bool IsRegularFile(const String& FileName)
{
    std::error_code Error;
    return !FileName.empty() && std::filesystem::is_regular_file(StringToUTF8(FileName), Error);
}

// Caption made one folder-name component; a caption that cannot be one
// gives way to Fallback.
String FolderNameOf(const String& Caption, const String& Fallback)
{
    String Name = Trim(Caption);
    for (Char& C : Name)
        if (C == u'/' || C == u'\\' || C == 0)
            C = u'_';
    return Name.empty() || Name == u"." || Name == u".." ? Fallback : Name;
}

template<class T>
T* NewOfClass(TClass Class)
{
    if (!Class || !Class->InheritsFrom(T::StaticClass()))
        Class = T::StaticClass();
    return Construct(static_cast<T*>(Class->NewInstance()));
}

Integer CompareAlpha(TXCustomVDataObject* A, TXCustomVDataObject* B)
{
    return CompareText(A->GetDisplayText(), B->GetDisplayText());
}

Integer CompareAlphaDesc(TXCustomVDataObject* A, TXCustomVDataObject* B)
{
    return -CompareAlpha(A, B);
}

Integer CompareEqual(TXCustomVDataObject*, TXCustomVDataObject*)
{
    return 0;
}

// Day of a journal's or event's start; false when there is none.
bool StartDay(TXCustomVDataObject* Object, TDateTime& Day)
{
    TXVDateTimeItem* Start = nullptr;
    if (auto* J = DynamicCast<TXVJournalObject>(Object))
        Start = J->DTStart();
    else if (auto* E = DynamicCast<TXCustomVEventObject>(Object))
        Start = E->DTStart();
    if (!Start || !IsCalendarDate(Start->DDate()))
        return false;
    Day = DateOf(Start->DDate());
    return true;
}

} // namespace

bool IsCalendarDate(TDateTime Value)
{
    // 1 January of the year 1 .. the end of 31 December 9999.
    return std::isfinite(Value) && Value > -693594.0 && Value < 2958466.0;
}

String JournalFileName(const String& JournalsFolder, TDateTime Date)
{
    if (!IsCalendarDate(Date))
        return {};
    Word Y, M, D;
    DecodeDate(Date, Y, M, D);
    const String Year = IntToStr(Integer(Y));
    auto Two = [](Word V) { return (V < 10 ? String(u"0") : String()) + IntToStr(Integer(V)); };
    return IncludePathDelimiter(JournalsFolder) + Year + u"/" + Year + Two(M) + Two(D) + u".xjournal";
}

// ---- data objects ----

void TXCustomVDataObject::Init()
{
    inherited::Init();
    FHeader.reset(New<TXL>());
}

bool TXCustomVDataObject::AssignFrom(TPersistent* Source)
{
    if (!DynamicCast<TXCustomVDataObject>(Source))
        return inherited::AssignFrom(Source);
    AssignPublishedProperties(this, Source);
    SetState(vsfBlank, false);
    SetState(vsfModified, true);
    return true;
}

void TXCustomVDataObject::InitNew(TXCustomVDataObject* AParent)
{
    FState = vsfBlank | vsfLoaded;
    FParent = AParent;
    FUID = xStr::NewGUIDText();
    FCreationStamp = FCreated = FLastModified = UTCNow();
    if (TXVTabObject* Tab = GetTab())
        SetFileName(UniqueFileName(Tab->GetFolderPath() + FUID + GetExtension()));
}

void TXCustomVDataObject::Attach(TXCustomVDataObject* AParent, const String& AFileName)
{
    FParent = AParent;
    SetFileName(AFileName);
}

TXVDataCompare TXCustomVDataObject::GetCompare(TXVOrderType OrderType)
{
    switch (OrderType) {
    case vorAlphaAsc:
        return &CompareAlpha;
    case vorAlphaDesc:
        return &CompareAlphaDesc;
    default:
        return &CompareEqual;
    }
}

TClass TXCustomVDataObject::GetFilerClass() const
{
    return TXVDataObjectFiler::StaticClass();
}

void TXCustomVDataObject::FillHeaderInfo()
{
    TXNameValueCollection* Info = FHeader->Info();
    Info->Clear();
    Info->SetValue(u"Class", ClassName());
    Info->SetValue(u"UID", FUID);
    Info->SetValue(u"ParentUID", FParentUID);
}

bool TXCustomVDataObject::ReadFile(const String& AFileName, const TXFilerParts& Parts, Integer Id, Cardinal SuccessFlag)
{
    const Cardinal Others = vsfLoadFailed | vsfModified | vsfFolderUnavailable;
    if (!FileOrFolderExists(AFileName)) {
        SetState(vsfLoaded, true);
        SetState(vsfPartlyLoaded | Others, false);
        return true;
    }
    bool Ok;
    if (IsRegularFile(AFileName)) {
        Ok = FilerLoadFromFile(AFileName, GetFilerClass(), this, false, nullptr, Parts, Id);
        // A group that failed leaves its code while the filer goes on.
        Ok = Ok && GetXErrorCode() == 0;
    } else {
        SetXError(xecReadFailed, 0, AFileName, false);
        Ok = false;
    }
    if (Ok) {
        SetState((vsfLoaded | vsfPartlyLoaded) & ~SuccessFlag, false);
        SetState(SuccessFlag, true);
        SetState(Others, false);
    } else {
        SetState(vsfLoadFailed, true);
        SetState(vsfLoaded | vsfPartlyLoaded | vsfModified, false);
    }
    return Ok;
}

bool TXCustomVDataObject::LoadFile(const String& AFileName)
{
    if (HasState(vsfLoaded))
        return true;
    TXFilerParts Parts;
    Parts.set(0);
    return ReadFile(AFileName, Parts, 0, vsfLoaded);
}

bool TXCustomVDataObject::LoadPartial()
{
    if (HasState(vsfLoaded | vsfPartlyLoaded))
        return true;
    return ReadFile(FileName(), {}, 1, vsfPartlyLoaded);
}

bool TXCustomVDataObject::SaveFile(const String& AFileName)
{
    if (AFileName.empty() || !HasState(vsfModified) || !HasState(vsfLoaded | vsfBlank) || HasState(vsfLoadFailed))
        return true;
    SafeForceDirectories(FilePathOf(AFileName));
    FillHeaderInfo();
    if (!FilerSaveToFileViaTemp(AFileName, GetFilerClass(), this, false, nullptr, {}, 0)) {
        // The filer names a file it could not make as not opened; for the
        // editors every failed store is a failed write.
        SetXError(xecWriteFailed, 0, AFileName, false);
        return false;
    }
    SetState(vsfBlank | vsfModified, false);
    return true;
}

bool TXCustomVDataObject::TouchAndSave()
{
    SetState(vsfBlank, false);
    SetState(vsfModified, true);
    return Save();
}

TXVTabObject* TXCustomVDataObject::GetTab()
{
    // Parent chains come from our own tree; the bound only guards a cycle.
    TXCustomVDataObject* P = FParent;
    for (Integer Depth = 0; P && Depth < 64; ++Depth, P = P->Parent())
        if (auto* Tab = DynamicCast<TXVTabObject>(P))
            return Tab;
    return nullptr;
}

void TXCustomVNoteObject::Init()
{
    inherited::Init();
    FDescription.reset(New<TXStreamObject>());
    FImage.reset(New<TXImageObject>());
    // Their bytes go in data records of their own.
    FDescription->SetStoreData(false);
    FImage->SetStoreData(false);
}

String TXCustomVNoteObject::GetDisplayText()
{
    return Trim(FSummary).empty() ? FDescriptionTitle : FSummary;
}

TClass TXVQuickNoteObject::GetFilerClass() const
{
    return TXVQuickNoteFiler::StaticClass();
}

void TXVJournalObject::Init()
{
    inherited::Init();
    FDTStart.reset(New<TXVDateTimeItem>(static_cast<TCollection*>(nullptr)));
    FDTStart->SetDateOnly(true);
    SetShowSummary(false);
    SetShowDescription(true);
}

String TXVJournalObject::GetDisplayText()
{
    return DateToText(FDTStart->DDate()) + u" - " + DescriptionTitle();
}

TClass TXVJournalObject::GetFilerClass() const
{
    return TXVJournalFiler::StaticClass();
}

void TXCustomVEventObject::Init()
{
    inherited::Init();
    FDTStart.reset(New<TXVDateTimeItem>(static_cast<TCollection*>(nullptr)));
    FDTEnd.reset(New<TXVDateTimeItem>(static_cast<TCollection*>(nullptr)));
    FRRule.reset(New<TXVRecurrenceCollection>(static_cast<TPersistent*>(nullptr)));
    SetShowSummary(true);
    SetShowDescription(false);
}

TClass TXVEventObject::GetFilerClass() const
{
    return TXVEventFiler::StaticClass();
}

String TXVHolidayObject::GetDisplayText()
{
    return DateToText(DTStart()->DDate()) + u" - " + Summary();
}

TClass TXVHolidayObject::GetFilerClass() const
{
    return TXVHolidayFiler::StaticClass();
}

Integer TXVDataList::IndexOfDate(TDateTime Date) const
{
    if (!IsCalendarDate(Date))
        return -1;
    const TDateTime Day = DateOf(Date);
    for (Integer I = 0; I < Count(); ++I) {
        TDateTime Start;
        if (StartDay(Items(I), Start) && Start == Day)
            return I;
    }
    return -1;
}

Integer TXVDataList::IndexOfFileName(const String& FileName) const
{
    for (Integer I = 0; I < Count(); ++I)
        if (IsSameFileName(Items(I)->FileName(), FileName))
            return I;
    return -1;
}

// ---- folder objects ----

void TXCustomVFolderObject::InitNew(TXCustomVDataObject* AParent)
{
    inherited::InitNew(AParent);
    auto* Holder = DynamicCast<TXCustomVFolderObject>(AParent);
    const String Parent = Holder ? Holder->GetFolderPath() : String();
    const String Name = FolderNameOf(FolderCaption(), ClassName());
    const String Made = Parent.empty() ? String() : CreateUniqueFolder(Parent, Name);
    if (Made.empty()) {
        SetState(vsfFolderUnavailable, true);
        return;
    }
    FFolder = IncludePathDelimiter(ExtractFileName(ExcludeTrailingPathDelimiter(Made)));
    SetFileName(GetFolderPath() + FolderFileName + GetExtension());
    TouchAndSave();
}

void TXCustomVFolderObject::Attach(TXCustomVDataObject* AParent, const String& AFileName)
{
    inherited::Attach(AParent, AFileName);
    OpenFolder();
    SetFileName(GetFolderPath() + FolderFileName + GetExtension());
}

bool TXCustomVFolderObject::OpenFolder()
{
    const bool Ok = SafeForceDirectories(GetFolderPath());
    SetState(vsfFolderUnavailable, !Ok);
    return Ok;
}

String TXCustomVFolderObject::GetDisplayText()
{
    const String Caption = FolderCaption();
    return Caption.empty() ? ExcludeTrailingPathDelimiter(FFolder) : Caption;
}

void TXVTabObject::Init()
{
    inherited::Init();
    FOrder.reset(New<TXVOrder>());
    FItems.reset(New<TXVDataList>());
}

TClass TXVTabObject::GetFilerClass() const
{
    return TXVTabFiler::StaticClass();
}

String TXVTabObject::FolderCaption()
{
    return FCaption;
}

String TXVTabObject::GetFolderPath() const
{
    if (auto* Notebook = DynamicCast<TXVNotebookObject>(Parent()))
        return Notebook->GetFolderPath() + Folder();
    return Folder();
}

TXCustomVDataObject* TXVTabObject::AddItem()
{
    TXCustomVDataObject* Object = NewOfClass<TXCustomVDataObject>(GetItemClass());
    FItems->Add(Object);
    return Object;
}

TXCustomVDataObject* TXVTabObject::NewObject()
{
    TXCustomVDataObject* Object = AddItem();
    Object->InitNew(this);
    return Object;
}

TXCustomVDataObject* TXVTabObject::AttachObject(const String& AFileName)
{
    TXCustomVDataObject* Object = AddItem();
    Object->Attach(this, AFileName);
    return Object;
}

void TXVTabObject::ObjectRemoving(TXCustomVDataObject* Object)
{
    if (Notebooks())
        Notebooks()->NotifyRemoving(Object);
}

void TXVTabObject::RemoveObject(TXCustomVDataObject* Object)
{
    ObjectRemoving(Object);
    FItems->Remove(Object);
}

bool TXVTabObject::DeleteObject(TXCustomVDataObject* Object)
{
    if (!Object || FItems->IndexOf(Object) < 0)
        return false;
    if (!Object->FileName().empty() && !DeleteFileForced(Object->FileName())) {
        SetXError(xecWriteFailed, 0, Object->FileName(), false);
        return false;
    }
    RemoveObject(Object);
    return true;
}

void TXVTabObject::PurgeFlaggedObjects()
{
    for (Integer I = FItems->Count() - 1; I >= 0; --I)
        if (I < FItems->Count() && FItems->Items(I)->HasState(vsfBlank))
            RemoveObject(FItems->Items(I));
}

String TXVQuickNoteTabObject::GetLocalizedCaption() const
{
    return Lg()->GetWord(2164311660u);
}

TXVQuickNoteObject* TXVQuickNoteTabObject::DefaultQuickNote()
{
    if (FDefaultQuickNote)
        return FDefaultQuickNote;
    const String Default = u"default.xqnote";
    for (Integer I = 0; I < Items()->Count() && !FDefaultQuickNote; ++I)
        if (SameText(ExtractFileName(Items()->Items(I)->FileName()), Default))
            FDefaultQuickNote = DynamicCast<TXVQuickNoteObject>(Items()->Items(I));
    if (!FDefaultQuickNote)
        FDefaultQuickNote = DynamicCast<TXVQuickNoteObject>(AttachObject(GetFolderPath() + Default));
    return FDefaultQuickNote;
}

void TXVQuickNoteTabObject::ObjectRemoving(TXCustomVDataObject* Object)
{
    if (Object == FDefaultQuickNote)
        FDefaultQuickNote = nullptr;
    inherited::ObjectRemoving(Object);
}

String TXVJournalTabObject::GetLocalizedCaption() const
{
    return Lg()->GetWord(2164295240u);
}

TXVJournalObject* TXVJournalTabObject::NewJournal(TDateTime Date)
{
    auto* Journal = DynamicCast<TXVJournalObject>(NewObject());
    if (Journal)
        Journal->DTStart()->SetDDate(Date);
    return Journal;
}

TXVJournalObject* TXVJournalTabObject::JournalOfDate(TDateTime Date)
{
    const String Name = JournalFileName(GetFolderPath(), Date);
    if (Name.empty())
        return nullptr;
    if (const Integer I = Items()->IndexOfDate(Date); I >= 0) {
        auto* Journal = DynamicCast<TXVJournalObject>(Items()->Items(I));
        Journal->Load();
        return Journal;
    }
    // A day whose file did not load keeps its object: a new one of the same
    // name would overwrite that file.
    if (const Integer I = Items()->IndexOfFileName(Name); I >= 0)
        return DynamicCast<TXVJournalObject>(Items()->Items(I));
    TXVJournalObject* Journal = NewJournal(Date);
    if (DefaultJournalImage)
        Journal->Image()->Assign(DefaultJournalImage);
    Journal->SetFileName(Name);
    return Journal;
}

TXVJournalObject* TXVJournalTabObject::JournalOfDateText(const String& Text)
{
    const TDateTime Date = ParseVDateTime(Text);
    return Date == 0 ? nullptr : JournalOfDate(Date);
}

String TXVEventTabObject::GetLocalizedCaption() const
{
    return Lg()->GetWord(2164301992u);
}

String TXVHolidayTabObject::GetLocalizedCaption() const
{
    return Lg()->GetWord(2164320680u);
}

void TXVNotebookObject::Init()
{
    inherited::Init();
    FTabs.reset(New<TXVTabList>());
}

TClass TXVNotebookObject::GetFilerClass() const
{
    return TXVNotebookFiler::StaticClass();
}

String TXVNotebookObject::FolderCaption()
{
    return FCaption;
}

String TXVNotebookObject::GetFolderPath() const
{
    if (auto* Volume = DynamicCast<TXVVolumeObject>(Parent()))
        return Volume->GetFolderPath() + Folder();
    return Folder();
}

void TXVNotebookObject::DeleteObjectEverywhere(TXCustomVDataObject* Object)
{
    for (Integer I = 0; I < FTabs->Count(); ++I)
        FTabs->Items(I)->DeleteObject(Object);
}

void TXVVolumeObject::Init()
{
    inherited::Init();
    FNotebookList.reset(New<TXVNotebookList>());
}

void TXVVolumeObject::InitNew(TXCustomVDataObject* AParent)
{
    TXCustomVDataObject::InitNew(AParent);
    SetFileName(GetFolderPath() + FolderFileName + GetExtension());
    TouchAndSave();
}

TClass TXVVolumeObject::GetFilerClass() const
{
    return TXVVolumeFiler::StaticClass();
}
