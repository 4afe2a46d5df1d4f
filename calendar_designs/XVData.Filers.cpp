#include "calendar_designs/XVData.Filers.h"
#include "calendar_designs/XVData.h"
#include "core/XCore.DateTime.h"

X_REGISTER_CLASS(TXVDataObjectFilerGroup)
X_REGISTER_CLASS(TXCustomVNoteObjectFilerGroup)
X_REGISTER_CLASS(TXVQuickNoteObjectFilerGroup)
X_REGISTER_CLASS(TXVJournalObjectFilerGroup)
X_REGISTER_CLASS(TXVEventObjectFilerGroup)
X_REGISTER_CLASS(TXVHolidayObjectFilerGroup)
X_REGISTER_CLASS(TXVTabObjectFilerGroup)
X_REGISTER_CLASS(TXVNotebookObjectFilerGroup)
X_REGISTER_CLASS(TXVVolumeObjectFilerGroup)
X_REGISTER_CLASS(TXVDataObjectFiler)
X_REGISTER_CLASS(TXVQuickNoteFiler)
X_REGISTER_CLASS(TXVJournalFiler)
X_REGISTER_CLASS(TXVEventFiler)
X_REGISTER_CLASS(TXVHolidayFiler)
X_REGISTER_CLASS(TXVTabFiler)
X_REGISTER_CLASS(TXVNotebookFiler)
X_REGISTER_CLASS(TXVVolumeFiler)

void TXVDataObjectFilerGroup::Create()
{
    inherited::Create();
    DefaultName = u"VData";
    ItemHeaderKind = 3;
}

void TXCustomVNoteObjectFilerGroup::RegisterObjectData()
{
    if (auto* Note = DynamicCast<TXCustomVNoteObject>(Data)) {
        RegisterEntry(u"Description", Note->Description()->DataStream());
        RegisterEntry(u"Image", Note->Image()->DataStream());
    }
}

void TXCustomVNoteObjectFilerGroup::ObjectDataLoaded()
{
    auto* Note = DynamicCast<TXCustomVNoteObject>(Data);
    if (!Note)
        return;
    BindEntry(u"Image", Note->Image()->DataStream());
    if (Filer && Filer->Parts()[0])
        BindEntry(u"Description", Note->Description()->DataStream());
}

#define X_VGROUP_NAME(Class, Text)                                                                                     \
    void Class::Create()                                                                                               \
    {                                                                                                                  \
        inherited::Create();                                                                                           \
        DefaultName = Text;                                                                                            \
    }
X_VGROUP_NAME(TXVQuickNoteObjectFilerGroup, u"QuickNote")
X_VGROUP_NAME(TXVJournalObjectFilerGroup, u"Journal")
X_VGROUP_NAME(TXVEventObjectFilerGroup, u"Event")
X_VGROUP_NAME(TXVHolidayObjectFilerGroup, u"Holiday")
X_VGROUP_NAME(TXVTabObjectFilerGroup, u"Tab")
X_VGROUP_NAME(TXVNotebookObjectFilerGroup, u"Notebook")
X_VGROUP_NAME(TXVVolumeObjectFilerGroup, u"Volume")
#undef X_VGROUP_NAME

void TXVDataObjectFiler::DefineGroups(TObject* AData, Integer AMode, const TXFilerParts& AParts)
{
    TXFilerParts Parts = AParts;
    if (Parts.none() && AMode >= 0 && size_t(AMode) < Parts.size())
        Parts.set(size_t(AMode));
    auto* Object = DynamicCast<TXCustomVDataObject>(AData);
    // The header's own definition would take the object for no header.
    TXRStreamFiler::DefineGroups(AData, AMode, Parts);
    if (!Object)
        return;
    DefineHeaderGroup(Object->Header());
    Groups()->AddGroup(this, GetGroupClass(), nullptr, Object);
}

void TXVDataObjectFiler::SetKind(const String& KindName)
{
    SetFilerIdentity(Identity, 3000, 0, 0, 0, 0, KindName);
}

#define X_VKIND_IDENTITY(Class, Text)                                                                                  \
    void Class::Create()                                                                                               \
    {                                                                                                                  \
        inherited::Create();                                                                                           \
        SetKind(Text);                                                                                                 \
    }
X_VKIND_IDENTITY(TXVQuickNoteFiler, u"QuickNote")
X_VKIND_IDENTITY(TXVJournalFiler, u"Journal")
X_VKIND_IDENTITY(TXVEventFiler, u"Event")
X_VKIND_IDENTITY(TXVHolidayFiler, u"Holiday")
X_VKIND_IDENTITY(TXVTabFiler, u"Tab")
X_VKIND_IDENTITY(TXVNotebookFiler, u"Notebook")
X_VKIND_IDENTITY(TXVVolumeFiler, u"Volume")
#undef X_VKIND_IDENTITY

namespace {

// A run of decimal digits; 0 when it is empty, holds anything else, or
// does not fit 32 bits.
Integer FieldNumber(StringView Text)
{
    if (Text.empty())
        return 0;
    Int64 Value = 0;
    for (Char C : Text) {
        if (C < u'0' || C > u'9')
            return 0;
        Value = Value * 10 + (C - u'0');
        if (Value > 2147483647)
            return 0;
    }
    return Integer(Value);
}

// Characters From .. From + Count - 1 of Text, as far as it has them.
StringView Field(StringView Text, size_t From, size_t Count)
{
    return From < Text.size() ? Text.substr(From, Count) : StringView();
}

} // namespace

TDateTime ParseVDateTime(StringView Text)
{
    const size_t T = Text.find(u'T');
    const StringView DatePart = Text.substr(0, T);
    const StringView TimePart = T == StringView::npos ? StringView() : Text.substr(T + 1);
    TDateTime Result = 0;
    if (!DatePart.empty()) {
        const size_t N = DatePart.size();
        const Integer Day = FieldNumber(DatePart.substr(N >= 2 ? N - 2 : 0));
        const Integer Month = N > 2 ? FieldNumber(DatePart.substr(N >= 4 ? N - 4 : 0, N >= 4 ? 2 : N - 2)) : 0;
        const Integer Year = N > 4 ? FieldNumber(DatePart.substr(0, N - 4)) : 0;
        Result = EncodeDateDef(Year, Month, Day, 0);
    }
    if (!TimePart.empty())
        Result += EncodeTimeDef(
            FieldNumber(Field(TimePart, 0, 2)), FieldNumber(Field(TimePart, 2, 2)), FieldNumber(Field(TimePart, 4, 2)), 0);
    return Result;
}
