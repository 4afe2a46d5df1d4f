#include "core/XCore.Filers.h"
#include "rtl/SafeSave.h"
#include "rtl/StrUtils.h"
#include "rtl/TypInfo.h"
#include "core/XCore.Collections.h"
#include "core/XCore.Factory.h"
#include "core/XClasses.h"
#include "core/XCore.ZLib.h"
#include <sys/stat.h>

X_REGISTER_CLASS(TXFilerablePersistent)
X_REGISTER_CLASS(TXFilerableItem)
X_REGISTER_CLASS(TXDataIndexItem)
X_REGISTER_CLASS(TXDataIndexCollection)
X_REGISTER_CLASS(TXDataIndex)
X_REGISTER_CLASS(TXFilerGroup)
X_REGISTER_CLASS(TXFilerGroupList)
X_REGISTER_CLASS(TXFiler)
X_REGISTER_CLASS(TXTextFilerGroup)
X_REGISTER_CLASS(TXTextFiler)
X_REGISTER_CLASS(TXStringsFiler)
X_REGISTER_CLASS(TXTagFilerGroup)
X_REGISTER_CLASS(TXTagFiler)

X_PUBLISHED(TXDataIndexItem)
{
    X_PROP(Name, GetName, SetName);
    X_PROP(Idx, Idx, SetIdx);
    X_PROP(XFilter, XFilter, SetXFilter);
}

X_PUBLISHED(TXDataIndex)
{
    X_PROP(LgID, LgID, SetLgID);
    X_PROP_READONLY(DataIndex, DataIndex);
}

TXFilerParts PartsOrMode(const TXFilerParts& Parts, Integer Mode)
{
    TXFilerParts Result = Parts;
    if (Result.none() && Mode >= 0 && size_t(Mode) < Result.size())
        Result.set(size_t(Mode));
    return Result;
}

bool IsDataLoaded(Cardinal Flags)
{
    return (Flags & xsfDataLoaded) != 0;
}

// ---- data index ----

void TXDataIndexItem::Init()
{
    inherited::Init();
    if (!FStream)
        FStream = MakeOwned<TMemoryStream>();
}

TXDataIndexItem* TXDataIndexCollection::AddEntry(const String& Name, const String& Filter, Cardinal LgID)
{
    TXDataIndexItem* Entry = Add();
    Entry->SetName(Name);
    Entry->SetXFilter(Filter);
    Entry->SetLgID(LgID);
    Entry->SetIdx(Entry->Index() + BaseNumber);
    return Entry;
}

Integer TXDataIndexCollection::IdxOfName(const String& Name) const
{
    for (Integer I = 0; I < Count(); ++I)
        if (Items(I)->GetName() == Name)
            return Items(I)->Idx();
    return 0;
}

Integer TXDataIndexCollection::IdxOfNameExactLg(const String& Name, Cardinal LgID, bool Primary) const
{
    for (Integer I = 0; I < Count(); ++I) {
        TXDataIndexItem* Entry = Items(I);
        Cardinal Id = Primary ? GetPrimaryLangID(Entry->LgID()) : Entry->LgID();
        if (Id == LgID && Entry->GetName() == Name)
            return Entry->Idx();
    }
    return 0;
}

Integer TXDataIndexCollection::IdxOfNameLg(const String& Name, Cardinal LgID, bool TryEnglish) const
{
    Integer Idx = IdxOfNameExactLg(Name, LgID, false);
    if (!Idx)
        Idx = IdxOfNameExactLg(Name, GetPrimaryLangID(LgID), true);
    if (!Idx)
        Idx = IdxOfNameExactLg(Name, this->LgID(), false);
    if (!Idx)
        Idx = IdxOfNameExactLg(Name, 0, false);
    if (!Idx && TryEnglish && this->LgID() != 9)
        Idx = IdxOfNameExactLg(Name, 9, false);
    return Idx;
}

void TXDataIndex::Init()
{
    inherited::Init();
    if (!FDataIndex)
        FDataIndex = MakeOwned<TXDataIndexCollection>(static_cast<TPersistent*>(this));
}

void TXDataIndex::Clear()
{
    inherited::Clear();
    if (FDataIndex) {
        FDataIndex->Clear();
        FDataIndex->SetLgID(0);
    }
    Enabled = false;
}

bool TXDataIndex::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXDataIndex>(Source)) {
        Enabled = Other->Enabled;
        FDataIndex->Assign(Other->FDataIndex.get());
        FDataIndex->BaseNumber = Other->FDataIndex->BaseNumber;
        FDataIndex->SetLgID(Other->FDataIndex->LgID());
    }
    return inherited::AssignFrom(Source);
}

void TXDataIndex::SetLgID(Cardinal Value)
{
    inherited::SetLgID(Value);
    if (FDataIndex)
        FDataIndex->SetLgID(Value);
}

// ---- groups ----

void TXFilerGroup::Create()
{
    inherited::Create();
    FFilter = MakeOwned<TStringList>();
    ReadOptions = TXFilerOptions(0b11110); // 1, 2, 3, 4
    WriteOptions = TXFilerOptions(0b101010); // 1, 3, 5
}

bool TXFilerGroup::WriteObjectText(UTF8String& Text, TXProgress* Progress, bool RaiseErrors)
{
    Text.clear();
    return true;
}

bool TXFilerGroup::WriteItemText(TObject* Item, UTF8String& Text, Integer Flag, TXProgress* Progress)
{
    Text.clear();
    return true;
}

bool TXFilerGroup::SaveToText(UTF8String& Text, TXProgress* Progress, bool RaiseErrors)
{
    Text.clear();
    return true;
}

bool TXFilerGroup::SaveToRawText(RawBytes& Text, TXProgress* Progress, bool RaiseErrors)
{
    Text.clear();
    return true;
}

void TXFilerGroup::Clear()
{
    BeforeClear();
    if (auto* Coll = DynamicCast<TCollection>(Collection))
        Coll->Clear();
    else if (auto* List = DynamicCast<TObjectList>(Collection))
        List->Clear();
    else if (auto* Components = DynamicCast<TComponentList>(Collection))
        Components->Clear();
}

TClass TXFilerGroup::ExpectedItemClass() const
{
    if (ItemClass)
        return ItemClass;
    if (auto* Coll = DynamicCast<TCollection>(Collection))
        return Coll->ItemClass();
    if (auto* Typed = DynamicCast<TXTypedObjectList>(Collection))
        return Typed->ItemClass;
    return nullptr;
}

TXFilerGroup* TXFilerGroupList::AddNamedGroup(TXFiler* Filer, TClass GroupClass, TObject* Collection, TObject* Data,
    const String& Name)
{
    if (!GroupClass || !GroupClass->InheritsFrom(TXFilerGroup::StaticClass()))
        throw EInvalidCast(u"Not a filer group class");
    TObject* Bare = GroupClass->NewInstance();
    if (!Bare)
        throw EInvalidCast(u"Filer group class " + GroupClass->Name + u" cannot be created");
    auto* Group = Construct(static_cast<TXFilerGroup*>(Bare));
    Group->Name = Name;
    Group->Data = Data;
    Group->Collection = Collection;
    Group->Filer = Filer;
    Add(Group);
    return Group;
}

TXFilerGroup* TXFilerGroupList::AddGroup(TXFiler* Filer, TClass GroupClass, TObject* Collection, TObject* Data)
{
    return AddNamedGroup(Filer, GroupClass, Collection, Data, {});
}

// ---- the base filer ----

namespace {

void FinishProgress(TXProgress* Progress)
{
    if (Progress)
        Progress->Finish();
}

// The whole stream, counted against the load's budget as it comes in.
RawBytes ReadWholeStream(TStream* Stream)
{
    Int64 Size = Stream->Size();
    if (Size < 0)
        throw EReadError(RtlText::ReadError);
    RawBytes Bytes;
    Stream->SetPosition(0);
    // Read in blocks so a size that overstates the content cannot make us
    // reserve memory for data that is not there.
    char Block[65536];
    for (;;) {
        Int64 N = Stream->Read(Block, sizeof Block);
        if (N < 0)
            throw EReadError(RtlText::ReadError);
        if (N == 0)
            break;
        TXLoadBudget::Charge(N);
        Bytes.append(Block, size_t(N));
    }
    return Bytes;
}

UTF8String StripUtf8Bom(const RawBytes& Bytes)
{
    if (Bytes.size() >= 3 && Bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return Bytes.substr(3);
    return Bytes;
}

bool FileExistsUtf8(const String& FileName)
{
    struct stat St { };
    UTF8String Path = StringToUTF8(FileName);
    return !Path.empty() && ::stat(Path.c_str(), &St) == 0 && S_ISREG(St.st_mode);
}

}

void TXFiler::Create()
{
    inherited::Create();
    FGroups = MakeOwned<TXFilerGroupList>();
    FMode = 0;
    BaseOffset = 0;
}

bool TXFiler::Report(bool Ok, TXErrorCode Code, bool RaiseErrors)
{
    ReportXResultOnce(Ok, Code, 0, {}, RaiseErrors);
    return Ok;
}

void TXFiler::DefineGroups(TObject* AData, Integer AMode, const TXFilerParts& AParts)
{
    FData = AData;
    FMode = AMode;
    FParts = AParts;
    FGroups->Clear();
}

bool TXFiler::LoadFromText(const UTF8String& Text, TXProgress* Progress, bool RaiseErrors)
{
    bool Ok = XGuarded(xecReadFailed, false, [&] {
        TOwnedPtr<TBytesStream> Stream(New<TBytesStream>(std::vector<Byte>(Text.begin(), Text.end())));
        return LoadFromStream(Stream.get(), Progress, false);
    });
    return Report(Ok, xecReadFailed, RaiseErrors);
}

bool TXFiler::LoadFromRawText(const RawBytes& Text, TXProgress* Progress, bool RaiseErrors)
{
    return LoadFromText(Text, Progress, RaiseErrors);
}

bool TXFiler::LoadFromStream(TStream* Stream, TXProgress* Progress, bool RaiseErrors)
{
    return Report(false, xecReadFailed, RaiseErrors);
}

bool TXFiler::LoadFromTextAlt(const UTF8String& Text, TXProgress* Progress, bool RaiseErrors)
{
    bool Ok = XGuarded(xecReadFailed, false, [&] {
        TOwnedPtr<TBytesStream> Stream(New<TBytesStream>(std::vector<Byte>(Text.begin(), Text.end())));
        return LoadFromStreamAlt(Stream.get(), Progress, false);
    });
    return Report(Ok, xecReadFailed, RaiseErrors);
}

bool TXFiler::LoadFromRawTextAlt(const RawBytes& Text, TXProgress* Progress, bool RaiseErrors)
{
    return LoadFromTextAlt(Text, Progress, RaiseErrors);
}

bool TXFiler::LoadFromStreamAlt(TStream* Stream, TXProgress* Progress, bool RaiseErrors)
{
    return Report(false, xecReadFailed, RaiseErrors);
}

bool TXFiler::ReadByMode(const std::function<bool()>& Load, const std::function<bool()>& LoadAlt, TXProgress* Progress,
    bool RaiseErrors)
{
    ResetParams();
    TXLoadBudget Budget;
    bool Ok = XGuarded(xecReadFailed, false, [&] {
        switch (ReadMode) {
        case 0:
            for (TXFilerGroup* Group : *FGroups)
                Group->Clear();
            return Load();
        case 1: return Load();
        case 2: return LoadAlt();
        default: return false;
        }
    });
    return Report(Ok, xecReadFailed, RaiseErrors);
}

bool TXFiler::ReadText(const UTF8String& Text, TXProgress* Progress, bool RaiseErrors)
{
    return ReadByMode([&] { return LoadFromText(Text, Progress, false); },
        [&] { return LoadFromTextAlt(Text, Progress, false); }, Progress, RaiseErrors);
}

bool TXFiler::ReadRawText(const RawBytes& Text, TXProgress* Progress, bool RaiseErrors)
{
    return ReadByMode([&] { return LoadFromRawText(Text, Progress, false); },
        [&] { return LoadFromRawTextAlt(Text, Progress, false); }, Progress, RaiseErrors);
}

bool TXFiler::ReadStream(TStream* Stream, TXProgress* Progress, bool RaiseErrors)
{
    return ReadByMode([&] { return LoadFromStream(Stream, Progress, false); },
        [&] { return LoadFromStreamAlt(Stream, Progress, false); }, Progress, RaiseErrors);
}

bool TXFiler::SaveToText(UTF8String& Text, TXProgress* Progress, bool RaiseErrors)
{
    // The stream's bytes are kept as they are: the text filers write UTF-8,
    // and a second conversion would garble everything outside ASCII.
    Text.clear();
    bool Ok = XGuarded(xecWriteFailed, false, [&] {
        TOwnedPtr<TBytesStream> Stream(New<TBytesStream>());
        if (!SaveToStream(Stream.get(), Progress, false))
            return false;
        Text.assign(reinterpret_cast<const char*>(Stream->Memory()), size_t(Stream->Size()));
        return true;
    });
    return Report(Ok, xecWriteFailed, RaiseErrors);
}

bool TXFiler::SaveToRawText(RawBytes& Text, TXProgress* Progress, bool RaiseErrors)
{
    return SaveToText(Text, Progress, RaiseErrors);
}

bool TXFiler::SaveToStream(TStream* Stream, TXProgress* Progress, bool RaiseErrors)
{
    return Report(false, xecWriteFailed, RaiseErrors);
}

bool TXFiler::UpdateFile(const String& FileName, TXProgress* Progress, bool RaiseErrors)
{
    return Report(false, xecWriteFailed, RaiseErrors);
}

bool TXFiler::UpdateFileAlt(const String& FileName, TXProgress* Progress, bool RaiseErrors)
{
    return UpdateFile(FileName, Progress, RaiseErrors);
}

bool TXFiler::ReadFile(const String& FileName, TXProgress* Progress, bool RaiseErrors)
{
    bool Ok = XGuarded(xecReadFailed, false, [&] {
        try {
            TOwnedPtr<TFileStream> Stream(New<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite));
            return ReadStream(Stream.get(), Progress, false);
        } catch (const EFileStreamError& E) {
            // Not opened: the system's reason and the file's name.
            SetXErrorOnce(xecOpenFailed, E.ErrorCode, E.Message(), false);
            return false;
        }
    });
    FinishProgress(Progress);
    return Report(Ok, xecReadFailed, RaiseErrors);
}

bool TXFiler::WriteFile(const String& FileName, TXProgress* Progress, bool RaiseErrors)
{
    ResetParams();
    // The whole output is made first; the target is only ever replaced by
    // one rename of a complete, flushed file, so a failed save keeps the
    // old file.
    bool Ok = XGuarded(xecWriteFailed, false, [&] {
        try {
            TOwnedPtr<TBytesStream> Buffer(New<TBytesStream>());
            if (!SaveToStream(Buffer.get(), Progress, false))
                return false;
            SaveBytesToFileSafely(FileName,
                std::string_view(static_cast<const char*>(Buffer->Memory()), size_t(Buffer->Size())));
            return true;
        } catch (const EFileStreamError& E) {
            // Not created: the system's reason and the file's name.
            SetXErrorOnce(xecOpenFailed, E.ErrorCode, E.Message(), false);
            return false;
        }
    });
    FinishProgress(Progress);
    return Report(Ok, xecWriteFailed, RaiseErrors);
}

// ---- text filers ----

namespace {

// The items of a collection or object list, in order.
std::vector<TObject*> GroupItems(TObject* Collection)
{
    std::vector<TObject*> Items;
    if (auto* Coll = DynamicCast<TCollection>(Collection)) {
        for (Integer I = 0; I < Coll->Count(); ++I)
            Items.push_back(Coll->Items(I));
    } else if (auto* List = DynamicCast<TObjectList>(Collection)) {
        for (Integer I = 0; I < List->Count(); ++I)
            Items.push_back(List->Items(I));
    }
    return Items;
}

}

bool TXTextFilerGroup::SaveToText(UTF8String& Text, TXProgress* Progress, bool RaiseErrors)
{
    Text.clear();
    bool Ok = XGuarded(xecWriteFailed, false, [&] {
        if (!BeforeWrite(1))
            return false;
        if (WriteOptions.test(1)) {
            if (!BeforeWriteObject(1))
                return false;
            UTF8String Part;
            if (!WriteObjectText(Part, Progress, false))
                return false;
            Text += Part;
        }
        // Object lists are written too: their items would otherwise be lost
        // on every save.
        for (TObject* Item : GroupItems(Collection)) {
            if (!BeforeWriteItem(Item, 1))
                return false;
            UTF8String Part;
            if (!WriteItemText(Item, Part, 1, Progress))
                return false;
            Text += Part;
        }
        return true;
    });
    if (!Ok)
        Text.clear();
    ReportXResultOnce(Ok, xecWriteFailed, 0, {}, RaiseErrors);
    return Ok;
}

bool TXTextFilerGroup::SaveToRawText(RawBytes& Text, TXProgress* Progress, bool RaiseErrors)
{
    Text.clear();
    return true;
}

bool TXTextFiler::LoadFromText(const UTF8String& Text, TXProgress* Progress, bool RaiseErrors)
{
    return Report(false, xecReadFailed, RaiseErrors);
}

bool TXTextFiler::LoadFromRawText(const RawBytes& Text, TXProgress* Progress, bool RaiseErrors)
{
    return Report(false, xecReadFailed, RaiseErrors);
}

bool TXTextFiler::LoadFromTextAlt(const UTF8String& Text, TXProgress* Progress, bool RaiseErrors)
{
    return Report(false, xecReadFailed, RaiseErrors);
}

bool TXTextFiler::LoadFromRawTextAlt(const RawBytes& Text, TXProgress* Progress, bool RaiseErrors)
{
    return Report(false, xecReadFailed, RaiseErrors);
}

bool TXTextFiler::LoadFromStream(TStream* Stream, TXProgress* Progress, bool RaiseErrors)
{
    // Read as the UTF-8 the text filers write, so a save and a load give
    // back the same text.
    bool Ok = XGuarded(xecReadFailed, false,
        [&] { return Stream && LoadFromText(StripUtf8Bom(ReadWholeStream(Stream)), Progress, false); });
    return Report(Ok, xecReadFailed, RaiseErrors);
}

bool TXTextFiler::LoadFromStreamAlt(TStream* Stream, TXProgress* Progress, bool RaiseErrors)
{
    bool Ok = XGuarded(xecReadFailed, false,
        [&] { return Stream && LoadFromTextAlt(StripUtf8Bom(ReadWholeStream(Stream)), Progress, false); });
    return Report(Ok, xecReadFailed, RaiseErrors);
}

bool TXTextFiler::SaveToText(UTF8String& Text, TXProgress* Progress, bool RaiseErrors)
{
    Text.clear();
    bool Ok = XGuarded(xecWriteFailed, false, [&] {
        for (TXFilerGroup* Group : *Groups()) {
            UTF8String Part;
            if (!Group->SaveToText(Part, Progress, false))
                return false;
            Text += Part;
        }
        return true;
    });
    if (!Ok)
        Text.clear();
    return Report(Ok, xecWriteFailed, RaiseErrors);
}

bool TXTextFiler::SaveToRawText(RawBytes& Text, TXProgress* Progress, bool RaiseErrors)
{
    Text.clear();
    bool Ok = XGuarded(xecWriteFailed, false, [&] {
        for (TXFilerGroup* Group : *Groups()) {
            RawBytes Part;
            if (!Group->SaveToRawText(Part, Progress, false))
                return false;
            Text += Part;
        }
        return true;
    });
    if (!Ok)
        Text.clear();
    return Report(Ok, xecWriteFailed, RaiseErrors);
}

bool TXTextFiler::SaveToStream(TStream* Stream, TXProgress* Progress, bool RaiseErrors)
{
    bool Ok = XGuarded(xecWriteFailed, false, [&] {
        UTF8String Text;
        if (!Stream || !SaveToText(Text, Progress, false))
            return false;
        Stream->WriteBuffer(Text.data(), Int64(Text.size()));
        return true;
    });
    return Report(Ok, xecWriteFailed, RaiseErrors);
}

bool TXStringsFiler::LoadFromText(const UTF8String& Text, TXProgress* Progress, bool RaiseErrors)
{
    bool Ok = XGuarded(xecReadFailed, false, [&] {
        auto* List = DynamicCast<TStrings>(Data());
        if (!List)
            return false;
        List->SetText(Trim(UTF8ToString(Text)));
        return true;
    });
    return Report(Ok, xecReadFailed, RaiseErrors);
}

bool TXStringsFiler::SaveToText(UTF8String& Text, TXProgress* Progress, bool RaiseErrors)
{
    Text.clear();
    bool Ok = XGuarded(xecWriteFailed, false, [&] {
        auto* List = DynamicCast<TStrings>(Data());
        if (!List)
            return false;
        Text = StringToUTF8(List->Text());
        return true;
    });
    return Report(Ok, xecWriteFailed, RaiseErrors);
}

// ---- tag filers ----

UTF8String TagElement(const UTF8String& Tag, const UTF8String& Body, const UTF8String* Name)
{
    UTF8String Text = "<" + Tag;
    if (Name)
        Text += " name=\"" + *Name + "\"";
    Text += ">\r\n" + Body + "\r\n</" + Tag + ">";
    return Text;
}

bool TXTagFilerGroup::WriteObjectText(UTF8String& Text, TXProgress* Progress, bool RaiseErrors)
{
    Text.clear();
    if (!Data || ObjectTag.empty())
        return true;
    UTF8String Body;
    ObjectToText(1, Body);
    Text = TagElement(ObjectTag, Body) + "\r\n";
    return true;
}

bool TXTagFilerGroup::WriteItemText(TObject* Item, UTF8String& Text, Integer Flag, TXProgress* Progress)
{
    UTF8String Body;
    ItemToText(Item, Flag, Body);
    if (auto* CollItem = DynamicCast<TCollectionItem>(Item)) {
        UTF8String Name = StringToUTF8(CollItem->DisplayName());
        Text = TagElement(ItemTag, Body, &Name) + "\r\n";
    } else if (auto* Named = DynamicCast<TXNamedPersistent>(Item)) {
        UTF8String Name = StringToUTF8(Named->Name());
        Text = TagElement(ItemTag, Body, &Name) + "\r\n";
    } else {
        Text = TagElement(ItemTag, Body);
    }
    return true;
}

bool TXTagFilerGroup::SaveToText(UTF8String& Text, TXProgress* Progress, bool RaiseErrors)
{
    UTF8String Inner;
    bool Ok = inherited::SaveToText(Inner, Progress, false);
    if (!Ok) {
        Text.clear();
        ReportXResultOnce(false, xecWriteFailed, 0, {}, RaiseErrors);
        return false;
    }
    Text = Name.empty() ? Inner : TagElement(StringToUTF8(Name), Inner) + "\r\n";
    return true;
}

namespace {

// The text between Open and the next Close from Pos on; false when either
// is missing.
bool Between(const UTF8String& Text, const UTF8String& Open, const UTF8String& Close, UTF8String& Inner, size_t Pos = 0)
{
    size_t Start = Text.find(Open, Pos);
    if (Start == UTF8String::npos)
        return false;
    Start += Open.size();
    size_t End = Text.find(Close, Start);
    if (End == UTF8String::npos)
        return false;
    Inner = Text.substr(Start, End - Start);
    return true;
}

}

bool TXTagFilerGroup::ReadTagText(const UTF8String& Text, TXProgress* Progress)
{
    UTF8String Section;
    if (Name.empty()) {
        Section = Text;
    } else {
        UTF8String Tag = StringToUTF8(Name);
        // A group that is not in the text has nothing to read; one that
        // opens and never closes is cut off.
        if (!Between(Text, "<" + Tag + ">", "</" + Tag + ">", Section))
            return Text.find("<" + Tag + ">") == UTF8String::npos && AfterRead(0);
    }
    if (Data && !ObjectTag.empty()) {
        UTF8String ObjectText;
        if (Between(Section, "<" + ObjectTag + ">", "</" + ObjectTag + ">", ObjectText)) {
            if (!BeforeReadObject(0) || !ReadObjectText(ObjectText, Progress) || !Prepare(0))
                return false;
        }
    }
    if (Collection && !Name.empty() && !ItemTag.empty() && !ReadTagItems(Section, Progress))
        return false;
    return AfterRead(0);
}

bool TXTagFilerGroup::ReadTagItems(const UTF8String& Section, TXProgress* Progress)
{
    const UTF8String Open = "<" + ItemTag;
    const UTF8String Close = "</" + ItemTag + ">";
    size_t Pos = 0;
    for (;;) {
        size_t Start = Section.find(Open, Pos);
        if (Start == UTF8String::npos)
            return true;
        size_t After = Start + Open.size();
        // <item2> is not an <item>.
        if (After >= Section.size() || (Section[After] != ' ' && Section[After] != '>')) {
            Pos = After;
            continue;
        }
        size_t End = Section.find(Close, After);
        if (End == UTF8String::npos)
            return false; // cut off: the item has no end
        UTF8String ItemText = Section.substr(After, End - After);
        Pos = End + Close.size();

        // The name belongs to the opening tag, not to anything in the body.
        UTF8String ItemName;
        size_t TagEnd = ItemText.find('>');
        Between(ItemText.substr(0, TagEnd), "name=\"", "\"", ItemName);

        if (auto* Coll = DynamicCast<TCollection>(Collection)) {
            if (!ReadCollectionItem(Coll, ItemText, ItemName, Progress))
                return false;
        } else if (auto* List = DynamicCast<TObjectList>(Collection)) {
            if (!ReadListItem(List, ItemText, ItemName, Progress))
                return false;
        } else {
            return false;
        }
    }
}

bool TXTagFilerGroup::ReadCollectionItem(TCollection* Target, const UTF8String& ItemText, const UTF8String& ItemName,
    TXProgress* Progress)
{
    TCollectionItem* Item = Target->Add();
    // A failure is the load's, reported where the load ends.
    bool Ok = XGuarded(xecNone, false, [&] {
        Item->SetDisplayName(UTF8ToString(ItemName));
        return ReadItemText(Item, ItemText, Progress) == Item && AfterReadItem(Item, 0);
    });
    if (!Ok)
        Item->Free();
    return Ok;
}

bool TXTagFilerGroup::ReadListItem(TObjectList* Target, const UTF8String& ItemText, const UTF8String& ItemName,
    TXProgress* Progress)
{
    TObject* Obj = nullptr;
    bool Added = false;
    UTF8String ClassName;
    if (Between(ItemText, "<class>", "</class>", ClassName)) {
        // Only a class that fits the list may be made from the data.
        TClass Expected = ExpectedItemClass();
        TClass Class = FindClassSafe(Trim(UTF8ToString(ClassName)));
        if (!Class || !Expected || !Class->InheritsFrom(Expected))
            return false;
        Obj = CreateInstanceOf(Class);
    } else if (auto* Framework = DynamicCast<XClasses::TXObjectList>(Target)) {
        Obj = Framework->AddNew();
        Added = Obj != nullptr;
    } else if (auto* Custom = DynamicCast<TXCustomObjectList>(Target)) {
        Obj = Custom->AddNew();
        Added = Obj != nullptr;
    }
    if (!Obj)
        return false;

    TObject* Read = nullptr;
    // A failure is the load's, reported where the load ends.
    bool Ok = XGuarded(xecNone, false, [&] {
        Read = ReadItemText(Obj, ItemText, Progress);
        if (!Read)
            return false;
        if (auto* Named = DynamicCast<TXNamedPersistent>(Read))
            Named->SetName(UTF8ToString(ItemName));
        if (Read != Obj) {
            // Made here and not kept: freed whether or not the list owns
            // its objects.
            if (Added)
                Target->Extract(Obj);
            Obj->Free();
            Added = false;
            Obj = Read;
        }
        if (!Added) {
            Target->Add(Read);
            Added = true;
        }
        return AfterReadItem(Read, 0);
    });
    if (Ok)
        return true;
    if (Added) {
        TObject* Item = Read ? Read : Obj;
        Target->Extract(Item);
        Item->Free();
    } else {
        Obj->Free();
    }
    return false;
}

bool TXTagFiler::LoadFromText(const UTF8String& Text, TXProgress* Progress, bool RaiseErrors)
{
    bool Ok = XGuarded(xecReadFailed, false, [&] {
        if (!RootTag.empty() && Text.find("<" + RootTag + ">") == UTF8String::npos)
            return false;
        bool All = true;
        for (TXFilerGroup* Group : *Groups())
            if (auto* Tagged = DynamicCast<TXTagFilerGroup>(Group))
                All = Tagged->ReadTagText(Text, Progress) && All;
        return All;
    });
    return Report(Ok, xecReadFailed, RaiseErrors);
}

bool TXTagFiler::LoadFromRawText(const RawBytes& Text, TXProgress* Progress, bool RaiseErrors)
{
    return LoadFromText(StripUtf8Bom(Text), Progress, RaiseErrors);
}

bool TXTagFiler::SaveToText(UTF8String& Text, TXProgress* Progress, bool RaiseErrors)
{
    UTF8String Inner;
    if (!inherited::SaveToText(Inner, Progress, false)) {
        Text.clear();
        return Report(false, xecWriteFailed, RaiseErrors);
    }
    Text = RootTag.empty() ? Inner : TagElement(RootTag, Inner);
    return true;
}

// ---- the load and save routines ----

namespace {

TOwnedPtr<TXFiler> MakeFiler(TClass FilerClass, TObject* Data, Integer Mode, const TXFilerParts& Parts)
{
    if (!FilerClass || !FilerClass->InheritsFrom(TXFiler::StaticClass()))
        return nullptr;
    TObject* Bare = FilerClass->NewInstance();
    if (!Bare)
        return nullptr;
    TOwnedPtr<TXFiler> Filer(Construct(static_cast<TXFiler*>(Bare)));
    Filer->DefineGroups(Data, Mode, Parts);
    Filer->ResetParams();
    return Filer;
}

// Steps 1 to 4 common to every routine: Run does the reading or writing.
template<class F>
bool RunFiler(TClass FilerClass, TObject* Data, bool RaiseErrors, TXProgress* Progress, const TXFilerParts& Parts,
    Integer Mode, bool Loading, F&& Run)
{
    // A load with its hooks is one load: one budget for all it inflates.
    TXLoadBudget Budget;
    bool Ok = XGuarded(Loading ? xecReadFailed : xecWriteFailed, false, [&] {
        TOwnedPtr<TXFiler> Filer = MakeFiler(FilerClass, Data, Mode, Parts);
        if (!Filer)
            return false;
        if (Loading)
            return Filer->BeforeLoad() && Run(Filer.get()) && Filer->AfterLoad();
        return Filer->BeforeSave() && Run(Filer.get()) && Filer->AfterSave();
    });
    FinishProgress(Progress);
    ReportXResultOnce(Ok, Loading ? xecReadFailed : xecWriteFailed, 0, {}, RaiseErrors);
    return Ok;
}

}

bool FilerLoadFromString(const RawBytes& Source, TClass FilerClass, TObject* Data, bool RaiseErrors,
    TXProgress* Progress, const TXFilerParts& Parts, Integer Mode)
{
    ClearXError();
    return RunFiler(FilerClass, Data, RaiseErrors, Progress, Parts, Mode, true,
        [&](TXFiler* Filer) { return Filer->ReadRawText(Source, Progress, false); });
}

bool FilerLoadFromStream(TStream* Source, TClass FilerClass, TObject* Data, bool RaiseErrors, TXProgress* Progress,
    const TXFilerParts& Parts, Integer Mode)
{
    ClearXError();
    return RunFiler(FilerClass, Data, RaiseErrors, Progress, Parts, Mode, true,
        [&](TXFiler* Filer) { return Source && Filer->ReadStream(Source, Progress, false); });
}

bool FilerSaveToStream(TStream* Target, TClass FilerClass, TObject* Data, bool RaiseErrors, TXProgress* Progress,
    const TXFilerParts& Parts, Integer Mode)
{
    ClearXError();
    return RunFiler(FilerClass, Data, RaiseErrors, Progress, Parts, Mode, false,
        [&](TXFiler* Filer) { return Target && Filer->SaveToStream(Target, Progress, false); });
}

bool FilerLoadFromFile(const String& FileName, TClass FilerClass, TObject* Data, bool RaiseErrors, TXProgress* Progress,
    const TXFilerParts& Parts, Integer Mode)
{
    ClearXError();
    if (!FileExistsUtf8(FileName)) {
        SetXError(xecFileNotFound, 0, FileName, false);
        FinishProgress(Progress);
        ReportXResultOnce(false, xecReadFailed, 0, {}, RaiseErrors);
        return false;
    }
    return RunFiler(FilerClass, Data, RaiseErrors, Progress, Parts, Mode, true,
        [&](TXFiler* Filer) { return Filer->ReadFile(FileName, Progress, false); });
}

bool FilerSaveToFile(const String& FileName, TClass FilerClass, TObject* Data, bool RaiseErrors, TXProgress* Progress,
    const TXFilerParts& Parts, Integer Mode)
{
    ClearXError();
    return RunFiler(FilerClass, Data, RaiseErrors, Progress, Parts, Mode, false,
        [&](TXFiler* Filer) { return Filer->WriteFile(FileName, Progress, false); });
}

bool FilerSaveToFileViaTemp(const String& FileName, TClass FilerClass, TObject* Data, bool RaiseErrors,
    TXProgress* Progress, const TXFilerParts& Parts, Integer Mode)
{
    // Every file save already goes through a temporary file.
    return FilerSaveToFile(FileName, FilerClass, Data, RaiseErrors, Progress, Parts, Mode);
}
