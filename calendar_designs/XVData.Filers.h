// The container files of calendar objects: the identity of the object's
// kind, the "XXL" header group, then a group with the object and, for
// notes, journals, events and holidays, the data records "Description"
// (read only when the filer's options hold 0) and "Image".
#pragma once
#include "calendar_designs/XL.Filers.h"

class TXVDataObjectFilerGroup : public TXRStreamFilerGroup {
    X_CLASS(TXVDataObjectFilerGroup, TXRStreamFilerGroup)
public:
    void Create() override;
};

class TXCustomVNoteObjectFilerGroup : public TXVDataObjectFilerGroup {
    X_CLASS(TXCustomVNoteObjectFilerGroup, TXVDataObjectFilerGroup)
public:
    void RegisterObjectData() override;
    void ObjectDataLoaded() override;
};

class TXVQuickNoteObjectFilerGroup : public TXCustomVNoteObjectFilerGroup {
    X_CLASS(TXVQuickNoteObjectFilerGroup, TXCustomVNoteObjectFilerGroup)
public:
    void Create() override;
};

class TXVJournalObjectFilerGroup : public TXCustomVNoteObjectFilerGroup {
    X_CLASS(TXVJournalObjectFilerGroup, TXCustomVNoteObjectFilerGroup)
public:
    void Create() override;
};

class TXVEventObjectFilerGroup : public TXCustomVNoteObjectFilerGroup {
    X_CLASS(TXVEventObjectFilerGroup, TXCustomVNoteObjectFilerGroup)
public:
    void Create() override;
};

class TXVHolidayObjectFilerGroup : public TXCustomVNoteObjectFilerGroup {
    X_CLASS(TXVHolidayObjectFilerGroup, TXCustomVNoteObjectFilerGroup)
public:
    void Create() override;
};

class TXVTabObjectFilerGroup : public TXVDataObjectFilerGroup {
    X_CLASS(TXVTabObjectFilerGroup, TXVDataObjectFilerGroup)
public:
    void Create() override;
};

class TXVNotebookObjectFilerGroup : public TXVDataObjectFilerGroup {
    X_CLASS(TXVNotebookObjectFilerGroup, TXVDataObjectFilerGroup)
public:
    void Create() override;
};

class TXVVolumeObjectFilerGroup : public TXVDataObjectFilerGroup {
    X_CLASS(TXVVolumeObjectFilerGroup, TXVDataObjectFilerGroup)
public:
    void Create() override;
};

class TXVDataObjectFiler : public TXRLStreamFiler {
    X_CLASS(TXVDataObjectFiler, TXRLStreamFiler)
public:
    // Empty options become the set holding Id alone; a calendar object gets
    // its header group and its own group.
    void DefineGroups(TObject* AData, Integer AMode, const TXFilerParts& AParts) override;
    virtual TClass GetGroupClass() const { return TXVDataObjectFilerGroup::StaticClass(); }

protected:
    // The identity 3000, 0, 0, 0, 0 and the kind's name.
    void SetKind(const String& KindName);
};

// One filer per kind, its group class and identity name the kind's.
template<class TGroup>
class TXVKindFilerOf : public TXVDataObjectFiler {
    X_CLASS_TEMPLATE(TXVKindFilerOf, TXVDataObjectFiler, u"TXVKindFilerOf<T>")
public:
    TClass GetGroupClass() const override { return TGroup::StaticClass(); }
};

#define X_VKIND_FILER(Name, Group)                                                                                     \
    class Name : public TXVKindFilerOf<Group> {                                                                        \
        X_CLASS(Name, TXVKindFilerOf<Group>)                                                                           \
    public:                                                                                                            \
        void Create() override;                                                                                        \
    };

X_VKIND_FILER(TXVQuickNoteFiler, TXVQuickNoteObjectFilerGroup)
X_VKIND_FILER(TXVJournalFiler, TXVJournalObjectFilerGroup)
X_VKIND_FILER(TXVEventFiler, TXVEventObjectFilerGroup)
X_VKIND_FILER(TXVHolidayFiler, TXVHolidayObjectFilerGroup)
X_VKIND_FILER(TXVTabFiler, TXVTabObjectFilerGroup)
X_VKIND_FILER(TXVNotebookFiler, TXVNotebookObjectFilerGroup)
X_VKIND_FILER(TXVVolumeFiler, TXVVolumeObjectFilerGroup)
#undef X_VKIND_FILER

// The calendar date-time text: yyyymmdd, optionally "T" and hhmmss.
// Missing fields are 0; a field that is no number (or does not fit 32
// bits) is 0; 0 for an invalid date (the time then stands alone) or an
// empty text.
TDateTime ParseVDateTime(StringView Text);
