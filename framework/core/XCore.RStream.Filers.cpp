#include "core/XCore.RStream.Filers.h"
#include "core/XCore.ComponentText.h"
#include "core/XCore.Strings.Containers.h"
#include "core/XCore.Streams.Containers.h"
#include "core/XCore.ZLib.h"
#include "rtl/CodePages.h"
#include "core/XCore.IO.h"

X_REGISTER_CLASS(TXRStreamFiler)
X_REGISTER_CLASS(TXRStreamObjectFiler)
X_REGISTER_CLASS(TXRStreamFilerGroup)
X_REGISTER_CLASS(TXRStreamItemsFilerGroup)
X_REGISTER_CLASS(TXRStreamObjectFilerGroup)

namespace {

constexpr Integer ResFilterText = -1;
constexpr Integer ResStream = -2;
constexpr Integer ResObject = -3;
constexpr Integer ResCollectionItem = -4;
constexpr Integer ResComponent = -5;
constexpr Integer ResDataIndex = -6;

// Object bytes in the XML form of the object persistence.
bool ObjectBytes(TObject* Object, TMemoryStream* Bytes)
{
    Bytes->Clear();
    return SaveObjectToStream(Object, Bytes, false, false);
}

// Reads the stored properties into an object that exists already.
bool ReadInto(TObject* Object, TStream* Bytes)
{
    Bytes->SetPosition(0);
    TOwnedPtr<TXObjectComponent> Carrier(New<TXObjectComponent>(static_cast<TComponent*>(nullptr)));
    Carrier->ItemMode = true;
    Carrier->SetObj(Object);
    const bool Ok = Carrier->LoadWithClass(Bytes, Object->ClassType(), false);
    Carrier->SetObj(nullptr);
    return Ok;
}

// Records the failure of a part: Code, unless a real failure is recorded
// already (a skipped item's -1 gives way).
void Fail(TXErrorCode Code)
{
    const Integer Now = GetXErrorCode();
    if (Now == 0 || Now == xecSkipped)
        SetXError(Code, 0, {}, false);
}

} // namespace

// ---- filer ----

void TXRStreamFiler::Create()
{
    inherited::Create();
    StreamClass = TXQStream::StaticClass();
}

TOwnedPtr<TXRStream> TXRStreamFiler::NewContainer()
{
    TClass Class =
        StreamClass && StreamClass->InheritsFrom(TXRStream::StaticClass()) ? StreamClass : TXQStream::StaticClass();
    TOwnedPtr<TXRStream> C(Construct(static_cast<TXRStream*>(Class->NewInstance())));
    C->OnHeader = [this](TObject* Sender, bool& Accept) {
        auto* Container = DynamicCast<TXRStream>(Sender);
        Accept = Container && CheckIdentity(Container);
    };
    return C;
}

bool TXRStreamFiler::CheckIdentity(TXRStream* Stream)
{
    if (IdentityIsEmpty(Identity))
        return true;
    const TXRIdentity& I = Identity;
    if (I.Name.Length() > 0)
        return Stream->CheckIdentity(I.Value1, I.Value2, I.Value3, I.Value4, I.Value5, I.Name.ToString());
    return Stream->CheckIdentity(I.Value1, I.Value2, I.Value3, I.Value4, I.Value5);
}

bool TXRStreamFiler::WriteIdentity(TXRStream* Stream)
{
    if (!IdentityIsEmpty(Identity)) {
        Stream->SetIdentity(Identity);
        Stream->WriteHeader(true);
    }
    return true;
}

bool TXRStreamFiler::ReadGroups(TXRStream* Stream, TXProgress* Progress)
{
    bool AllRead = true;
    for (TXFilerGroup* G : *Groups())
        if (auto* Group = DynamicCast<TXRStreamFilerGroup>(G))
            AllRead &= Group->ReadGroup(Stream, Progress);
    // The container's own calls clear the record: the code goes in last.
    if (!AllRead)
        Fail(xecReadFailed);
    return true;
}

bool TXRStreamFiler::WriteGroups(TXRStream* Stream, TXProgress* Progress)
{
    bool AllWritten = true;
    for (TXFilerGroup* G : *Groups())
        if (auto* Group = DynamicCast<TXRStreamFilerGroup>(G))
            AllWritten &= Group->WriteGroup(Stream, Progress);
    if (!AllWritten)
        Fail(xecWriteFailed);
    return AllWritten;
}

Int64 TXRStreamFiler::LoadAllowance() const
{
    return xzMaxInflatedSize;
}

bool TXRStreamFiler::LoadFromStream(TStream* Stream, TXProgress* Progress, bool RaiseErrors)
{
    TXLoadBudget Budget(LoadLimit(Stream->Size() - BaseOffset, LoadAllowance()));
    const bool Ok = XGuarded(xecReadFailed, false, [&] {
        TOwnedPtr<TXRStream> C(NewContainer());
        if (!C->OpenStream(xroRead, Stream, true, nullptr, BaseOffset))
            return false;
        const bool Read = ReadGroups(C.get(), Progress);
        const Integer Code = GetXErrorCode();
        C->Close();
        if (Code != 0 && GetXErrorCode() == 0)
            SetXError(Code, 0, {}, false);
        return Read;
    });
    return Report(Ok, xecReadFailed, RaiseErrors);
}

bool TXRStreamFiler::LoadFromStreamAlt(TStream* Stream, TXProgress* Progress, bool RaiseErrors)
{
    return false;
}

bool TXRStreamFiler::SaveToStream(TStream* Stream, TXProgress* Progress, bool RaiseErrors)
{
    const bool Ok = XGuarded(xecWriteFailed, false, [&] {
        TOwnedPtr<TXRStream> C(NewContainer());
        C->SetIdentity(Identity);
        if (!C->OpenStream(xroCreate | xroWrite, Stream, true, nullptr, BaseOffset))
            return false;
        const bool Written = WriteGroups(C.get(), Progress);
        const bool Closed = C->Close();
        if (!Written)
            Fail(xecWriteFailed);
        return Written && Closed;
    });
    return Report(Ok, xecWriteFailed, RaiseErrors);
}

bool TXRStreamFiler::Update(const String& FileName, bool Append, TXProgress* Progress, bool RaiseErrors)
{
    if (!FileExistsCheck(FileName))
        return WriteFile(FileName, Progress, RaiseErrors);
    ResetParams();
    TXLoadBudget Budget;
    const bool Ok = XGuarded(xecWriteFailed, false, [&] {
        TOwnedPtr<TXRStream> C(NewContainer());
        const bool Opened = Append ? C->OpenFileAppend(xroCreateEmpty | xroRead | xroWrite, FileName, true, nullptr, 0)
                                   : C->OpenFile(xroRead | xroWrite, FileName, true, nullptr, 0);
        if (!Opened)
            return false;
        // Everything this update writes goes, or none of it.
        C->BeginUpdate();
        const bool Written = WriteGroups(C.get(), Progress);
        if (!Written)
            C->CancelUpdate();
        const bool Closed = C->Close();
        if (!Written)
            Fail(xecWriteFailed);
        return Written && Closed;
    });
    return Report(Ok, xecWriteFailed, RaiseErrors);
}

bool TXRStreamFiler::UpdateFile(const String& FileName, TXProgress* Progress, bool RaiseErrors)
{
    return Update(FileName, false, Progress, RaiseErrors);
}

bool TXRStreamFiler::UpdateFileAlt(const String& FileName, TXProgress* Progress, bool RaiseErrors)
{
    return Update(FileName, true, Progress, RaiseErrors);
}

void TXRStreamObjectFiler::Create()
{
    inherited::Create();
    SetFilerIdentity(Identity, 3000, 0, 0, 0, 0, u"Data");
}

// ---- group ----

void TXRStreamFilerGroup::Create()
{
    inherited::Create();
    FDataIndex.reset(New<TXDataIndex>());
    WriteOptions = TXFilerOptions(0b10110); // 1, 2, 4
}

bool TXRStreamFilerGroup::PrepareWrite(Integer Fixed, bool EnableIndex, const std::function<void()>& Register)
{
    ResourceCount = Fixed;
    Entries()->BaseNumber = Fixed;
    FDataIndex->Enabled = EnableIndex;
    if (EnableIndex) {
        Register();
        ResourceCount = Fixed + Entries()->Count();
    }
    // A header counts its resources in 16 bits.
    return ResourceCount <= 0xFFFF;
}

bool TXRStreamFilerGroup::BeforeWriteObject(Integer Flag)
{
    return inherited::BeforeWriteObject(Flag) &&
        PrepareWrite(ObjectFixedResources, WriteOptions[2], [this] { RegisterObjectData(); });
}

bool TXRStreamFilerGroup::BeforeWriteItem(TObject* Item, Integer Flag)
{
    return inherited::BeforeWriteItem(Item, Flag) &&
        PrepareWrite(ItemFixedResources, WriteOptions[4], [&] { RegisterItemData(Item); });
}

void TXRStreamFilerGroup::BindEntry(const String& EntryName, TStream* Target, bool EmptyFirst)
{
    if (EmptyFirst)
        Target->SetSize(0);
    const Integer Idx = Entries()->IdxOfName(EntryName);
    if (Idx <= 0)
        return;
    for (Integer I = 0; I < Entries()->Count(); ++I) {
        TXDataIndexItem* Entry = Entries()->Items(I);
        if (Entry->Idx() == Idx && Entry->GetName() == EntryName) {
            if (!EmptyFirst)
                Target->SetSize(0);
            Entry->Target = Target;
            Entry->Bound = true;
            return;
        }
    }
}

void TXRStreamFilerGroup::RegisterEntry(const String& EntryName, TStream* Target)
{
    TXDataIndexItem* Entry = Entries()->AddEntry(EntryName, {}, 0);
    Entry->Target = Target;
}

bool TXRStreamFilerGroup::ReadIndexedData(TXRStream* Stream, TXRHeaderObject* Header, Integer IndexResource,
    const std::function<void()>& Loaded)
{
    FDataIndex->Clear();
    const Integer Count = Header->Body.Count;
    if (IndexResource >= Count || IndexResource >= Integer(Header->Table.size()) ||
        std::abs(Header->Table[size_t(IndexResource)].Kind) != 6)
        return true;
    TOwnedPtr<TMemoryStream> Bytes(MakeOwned<TMemoryStream>());
    if (!Stream->ReadResourceStream(Header, Word(IndexResource), nullptr, Bytes.get()) ||
        !ReadInto(FDataIndex.get(), Bytes.get()))
        return false;
    Loaded();
    for (Integer I = 0; I < Entries()->Count(); ++I) {
        TXDataIndexItem* Entry = Entries()->Items(I);
        if (!Entry->Bound || Entry->Idx() <= 0 || !Entry->Target)
            continue;
        // The entry must name a resource of this header.
        const Integer Idx = Entry->Idx();
        bool Ok = Idx < Count && Idx < Integer(Header->Table.size());
        TObject* Target = Entry->Target;
        if (auto* S = DynamicCast<TStream>(Target)) {
            S->SetSize(0);
            Ok = Ok && Stream->ReadResourceStream(Header, Word(Idx), nullptr, S);
            if (!Ok)
                S->SetSize(0);
        } else {
            TOwnedPtr<TMemoryStream> Data(MakeOwned<TMemoryStream>());
            Ok = Ok && Stream->ReadResourceStream(Header, Word(Idx), nullptr, Data.get());
            if (auto* Text = DynamicCast<TXStringItem>(Target)) {
                Text->SetS(Ok
                        ? AnsiToString(std::string_view(static_cast<const char*>(Data->Memory()), size_t(Data->Size())))
                        : String());
            } else if (auto* P = DynamicCast<TPersistent>(Target); P && Ok) {
                Data->SetPosition(0);
                TOwnedPtr<TObject> Decoded(LoadObjectFromStream(Data.get(), false));
                Ok = Decoded &&
                    XGuarded(xecReadFailed, false, [&] { P->Assign(static_cast<TPersistent*>(Decoded.get())); });
            }
        }
        if (!Ok) {
            Fail(xecReadFailed);
            return false;
        }
    }
    return true;
}

bool TXRStreamFilerGroup::ReadObjectData(TXRStream* Stream, TXProgress* Progress)
{
    TXRGroupObject* Group = Stream->Groups()->SelectGroup(GroupName());
    if (!Group || Group->Headers->Count() == 0)
        return false;
    return ReadIndexedData(Stream, Group->Headers->Items(0), ObjectFixedResources - 1, [this] { ObjectDataLoaded(); });
}

bool TXRStreamFilerGroup::ReadItemData(TObject* Item, TXRStream* Stream, TXProgress* Progress, Integer HeaderIndex)
{
    TXRGroupObject* Group = Stream->Groups()->SelectGroup(GroupName());
    if (!Group || HeaderIndex < 0 || HeaderIndex >= Group->Headers->Count())
        return false;
    return ReadIndexedData(Stream, Group->Headers->Items(HeaderIndex), ItemFixedResources - 1,
        [&] { ItemDataLoaded(Item); });
}

bool TXRStreamFilerGroup::ReadObject(TXRStream* Stream, TXProgress* Progress)
{
    if (!Data)
        return true;
    return XGuarded(xecReadFailed, false, [&] {
        TXRGroupObject* Group = Stream->Groups()->SelectGroup(GroupName());
        if (!BeforeReadObject(0) || !Group || Group->Headers->Count() == 0)
            return false;
        TXRHeaderObject* Header = Group->Headers->Items(0);
        TOwnedPtr<TMemoryStream> Bytes(MakeOwned<TMemoryStream>());
        if (!Stream->ReadResourceStream(Header, 0, nullptr, Bytes.get()))
            return false;
        ResourceCount = Header->Body.Count;
        Bytes->SetPosition(0);
        if (!AfterLoadData(Bytes.get(), 0) || !ReadInto(Data, Bytes.get()) || !Prepare(0))
            return false;
        return !ReadOptions[2] || ReadObjectData(Stream, Progress);
    });
}

bool TXRStreamFilerGroup::ReadItem(TXRStream* Stream, TXProgress* Progress, Integer HeaderIndex)
{
    const String Container = GroupName();
    if (Filter()->Count() > 0) {
        String Text;
        if (!Stream->ReadResourceText(Container, HeaderIndex, false, nullptr, Text, 0))
            return false;
        if (Filter()->IndexOf(Text) < 0) {
            SetXError(xecSkipped, 0, {}, false);
            return false;
        }
    }
    TObject* Item = nullptr;
    auto Drop = [&] {
        if (auto* CI = DynamicCast<TCollectionItem>(Item))
            CI->Free();
        else if (auto* List = DynamicCast<TObjectList>(Collection)) {
            const bool Owns = List->OwnsObjects();
            List->Remove(Item);
            if (!Owns)
                Item->Free();
        } else if (auto* Components = DynamicCast<TComponentList>(Collection)) {
            const bool Owns = Components->OwnsObjects();
            Components->Remove(static_cast<TComponent*>(Item));
            if (!Owns)
                Item->Free();
        } else if (Item)
            Item->Free();
        Item = nullptr;
    };
    const bool Ok = XGuarded(xecReadFailed, false, [&] {
        TXRGroupObject* Group = Stream->Groups()->SelectGroup(Container);
        TXRHeaderObject* Header = Group->Headers->Items(HeaderIndex);
        TOwnedPtr<TMemoryStream> Bytes(MakeOwned<TMemoryStream>());
        if (!Stream->ReadResourceStream(Header, 1, nullptr, Bytes.get()))
            return false;
        ResourceCount = Header->Body.Count;
        Bytes->SetPosition(0);
        if (!AfterLoadData(Bytes.get(), 0))
            return false;
        Bytes->SetPosition(0);
        const TClass Expected = ExpectedItemClass();
        if (auto* Coll = DynamicCast<TCollection>(Collection)) {
            const Integer Before = Coll->Count();
            if (!LoadCollectionItem(Coll, Bytes.get(), false) || Coll->Count() != Before + 1)
                return false;
            Item = Coll->Items(Before);
        } else {
            TObject* Made = LoadObjectFromStream(Bytes.get(), false);
            if (!Made)
                return false;
            Item = Made;
            const bool Fits = !Expected || Made->InheritsFrom(Expected);
            if (auto* Components = DynamicCast<TComponentList>(Collection);
                Components && Fits && DynamicCast<TComponent>(Made))
                Components->Add(static_cast<TComponent*>(Made));
            else if (auto* List = DynamicCast<TObjectList>(Collection); List && Fits)
                List->Add(Made);
            else {
                Made->Free();
                Item = nullptr;
                return false;
            }
        }
        if (auto Filerable = Supports<IXFilerable>(Item))
            Filerable->SetIndex(HeaderIndex);
        if (!AfterReadItem(Item, 0))
            return false;
        return !ReadOptions[4] || ReadItemData(Item, Stream, Progress, HeaderIndex);
    });
    if (!Ok && Item)
        Drop();
    return Ok;
}

bool TXRStreamFilerGroup::ReadGroup(TXRStream* Stream, TXProgress* Progress)
{
    if (!Stream->IsOpenForRead())
        return false;
    TXRGroupObject* Group = Stream->Groups()->SelectGroup(GroupName());
    if (!Group)
        return false;
    Integer First = WriteOptions[1] ? 1 : 0;
    if (ReadOptions[1]) {
        if (!ReadObject(Stream, Progress)) {
            Fail(xecReadFailed);
            return false;
        }
        First = 1;
    }
    bool Ok = true;
    if (Collection) {
        // Updates append object headers of their own between the items:
        // only item headers are read as items.
        const Integer Count = Stream->Groups()->SelectGroup(GroupName())->Headers->Count();
        for (Integer I = First; I < Count; ++I) {
            TXRGroupObject* G = Stream->Groups()->SelectGroup(GroupName());
            if (G->Headers->Items(I)->Body.Kind != ItemHeaderKind)
                continue;
            if (!ReadItem(Stream, Progress, I) && GetXErrorCode() != xecSkipped) {
                Fail(xecReadFailed);
                Ok = false;
            }
        }
    }
    return AfterRead(0) && Ok;
}

bool TXRStreamFilerGroup::WriteIndexedData(TXRStream* Stream, const std::function<bool(TXDataIndexItem*)>& Custom)
{
    for (Integer I = 0; I < Entries()->Count(); ++I) {
        TXDataIndexItem* Entry = Entries()->Items(I);
        TObject* Target = Entry->Target;
        bool Ok;
        if (auto* S = DynamicCast<TStream>(Target)) {
            S->SetPosition(0);
            Ok = Stream->AddResource(ResStream, S, false, nullptr);
        } else if (auto* Text = DynamicCast<TXStringItem>(Target)) {
            Ok = Stream->AddResourceText(ResFilterText, Text->s(), false, nullptr);
        } else if (DynamicCast<TPersistent>(Target)) {
            TOwnedPtr<TMemoryStream> Bytes(MakeOwned<TMemoryStream>());
            Ok = ObjectBytes(Target, Bytes.get()) && Stream->AddResource(ResObject, Bytes.get(), false, nullptr);
        } else {
            Ok = Custom(Entry);
        }
        if (!Ok)
            return false;
    }
    return true;
}

bool TXRStreamFilerGroup::WriteObjectData(TXRStream* Stream, TXProgress* Progress)
{
    return WriteIndexedData(Stream, [&](TXDataIndexItem* Entry) { return WriteObjectCustomData(Stream, Entry); });
}

bool TXRStreamFilerGroup::WriteItemData(TObject* Item, TXRStream* Stream, TXProgress* Progress)
{
    return WriteIndexedData(Stream, [&](TXDataIndexItem* Entry) { return WriteItemCustomData(Stream, Item, Entry); });
}

bool TXRStreamFilerGroup::WriteObject(TXRStream* Stream, TXProgress* Progress)
{
    const String Container = GroupName();
    if (!Data) {
        TOwnedPtr<TMemoryStream> Empty(MakeOwned<TMemoryStream>());
        return Stream->AddSingleResourceHeader(Container, ObjectHeaderKind, false, nullptr, Empty.get(), 0);
    }
    return XGuarded(xecWriteFailed, false, [&] {
        FDataIndex->Clear();
        if (!BeforeWriteObject(0))
            return false;
        if (auto Storable = Supports<IXDataStorable>(Data))
            Storable->SetStoreData(WriteOptions[3]);
        TOwnedPtr<TMemoryStream> Bytes(MakeOwned<TMemoryStream>());
        if (!ObjectBytes(Data, Bytes.get()) || !BeforeStoreItemData(Bytes.get(), 0))
            return false;
        if (!Stream->BeginNamedHeader(Container, ObjectHeaderKind, false, nullptr, Word(ResourceCount)))
            return false;
        Bytes->SetPosition(0);
        if (!Stream->AddResource(ResObject, Bytes.get(), false, nullptr))
            return false;
        if (FDataIndex->Enabled) {
            TOwnedPtr<TMemoryStream> Index(MakeOwned<TMemoryStream>());
            if (!ObjectBytes(FDataIndex.get(), Index.get()) ||
                !Stream->AddResource(ResDataIndex, Index.get(), false, nullptr))
                return false;
        }
        return WriteObjectData(Stream, Progress) && Stream->EndNamedHeader(false);
    });
}

bool TXRStreamFilerGroup::WriteItem(TXRStream* Stream, TXProgress* Progress, TObject* Item)
{
    const String Container = GroupName();
    return XGuarded(xecWriteFailed, false, [&] {
        FDataIndex->Clear();
        if (auto Storable = Supports<IXDataStorable>(Item))
            Storable->SetStoreData(WriteOptions[5]);
        if (!BeforeWriteItem(Item, 0))
            return false;
        TOwnedPtr<TMemoryStream> Bytes(MakeOwned<TMemoryStream>());
        if (!ObjectBytes(Item, Bytes.get()) || !BeforeStoreItemData(Bytes.get(), 0))
            return false;
        if (!Stream->BeginNamedHeader(Container, ItemHeaderKind, false, nullptr, Word(ResourceCount)))
            return false;
        auto Filerable = Supports<IXFilerable>(Item);
        if (!Stream->AddResourceText(ResFilterText, Filerable ? Filerable->GetFilterText() : String(), false, nullptr))
            return false;
        const Integer Kind = DynamicCast<TCollectionItem>(Item) ? ResCollectionItem
            : DynamicCast<TComponent>(Item)                     ? ResComponent
                                                                : ResObject;
        Bytes->SetPosition(0);
        if (!Stream->AddResource(Kind, Bytes.get(), false, nullptr))
            return false;
        if (FDataIndex->Enabled) {
            TOwnedPtr<TMemoryStream> Index(MakeOwned<TMemoryStream>());
            if (!ObjectBytes(FDataIndex.get(), Index.get()) ||
                !Stream->AddResource(ResDataIndex, Index.get(), false, nullptr))
                return false;
        }
        if (!WriteItemData(Item, Stream, Progress) || !Stream->EndNamedHeader(false))
            return false;
        if (Filerable)
            if (TXRGroupObject* G = Stream->Groups()->SelectGroup(Container))
                Filerable->SetIndex(G->Headers->Count() - 1);
        return true;
    });
}

bool TXRStreamFilerGroup::WriteGroup(TXRStream* Stream, TXProgress* Progress)
{
    if (!Stream->IsOpenForWrite())
        return false;
    const String Container = GroupName();
    Stream->Groups()->SelectGroup(Container);
    if (!BeforeWrite(1))
        return false;
    if (!Stream->Groups()->FindGroupByName(Container) && !Stream->AddNamedGroupText(Container, {}, false, nullptr))
        return false;
    if (WriteOptions[1] && !WriteObject(Stream, Progress)) {
        Fail(xecWriteFailed);
        return false;
    }
    bool Ok = true;
    auto Each = [&](TObject* Item) {
        if (!WriteItem(Stream, Progress, Item)) {
            Fail(xecWriteFailed);
            Ok = false;
        }
    };
    if (auto* Coll = DynamicCast<TCollection>(Collection)) {
        for (Integer I = 0; I < Coll->Count(); ++I)
            Each(Coll->Items(I));
    } else if (auto* List = DynamicCast<TObjectList>(Collection)) {
        for (Integer I = 0; I < List->Count(); ++I)
            Each(List->Items(I));
    } else if (auto* Components = DynamicCast<TComponentList>(Collection)) {
        for (Integer I = 0; I < Components->Count(); ++I)
            Each(Components->Items(I));
    }
    return Ok;
}

// ---- stream groups ----

void TXRStreamItemsFilerGroup::Create()
{
    inherited::Create();
    DefaultName = u"Streams";
    ItemHeaderKind = 2;
}

void TXRStreamItemsFilerGroup::ItemDataLoaded(TObject* Item)
{
    if (auto* S = DynamicCast<TXStreamItem>(Item); S && S->Data())
        BindEntry(u"Data", S->Data()->DataStream(), true);
}

void TXRStreamItemsFilerGroup::RegisterItemData(TObject* Item)
{
    if (auto* S = DynamicCast<TXStreamItem>(Item); S && S->Data())
        RegisterEntry(u"Data", S->Data()->DataStream());
}

void TXRStreamObjectFilerGroup::Create()
{
    inherited::Create();
    DefaultName = u"Data";
    ItemHeaderKind = 3;
}

void TXRStreamObjectFilerGroup::ObjectDataLoaded()
{
    if (auto* S = DynamicCast<TXStreamObject>(Data))
        BindEntry(u"Data", S->DataStream(), true);
}

void TXRStreamObjectFilerGroup::RegisterObjectData()
{
    if (auto* S = DynamicCast<TXStreamObject>(Data))
        RegisterEntry(u"Data", S->DataStream());
}
