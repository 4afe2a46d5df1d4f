#include "core/XCore.RStream.h"
#include "rtl/CodePages.h"
#include "core/XCore.Engine.Worker.h"
#include "core/XCore.Errors.h"
#include "core/XCore.Qi.CRC.h"
#include "core/XCore.ZLib.h"
#include "rtl/SafeSave.h"
#include <cstdlib>
#include <cstring>
#include <filesystem>

X_REGISTER_CLASS(TXRObject)
X_REGISTER_CLASS(TXRHeaderObject)
X_REGISTER_CLASS(TXRHeaderList)
X_REGISTER_CLASS(TXRGroupObject)
X_REGISTER_CLASS(TXRGroupList)
X_REGISTER_CLASS(TXRStream)

namespace {
void PutNext32(Byte*& P, Cardinal V)
{
    for (int I = 0; I < 4; ++I)
        *P++ = Byte(V >> (8 * I));
}

void PutNext64(Byte*& P, Int64 V)
{
    for (int I = 0; I < 8; ++I)
        *P++ = Byte(UInt64(V) >> (8 * I));
}

Cardinal TakeNext32(const Byte*& P)
{
    Cardinal V = 0;
    for (int I = 0; I < 4; ++I)
        V |= Cardinal(*P++) << (8 * I);
    return V;
}

Int64 TakeNext64(const Byte*& P)
{
    UInt64 V = 0;
    for (int I = 0; I < 8; ++I)
        V |= UInt64(*P++) << (8 * I);
    return Int64(V);
}

template<size_t N>
void PutBytes(Byte*& P, const std::array<Byte, N>& A)
{
    std::memcpy(P, A.data(), N);
    P += N;
}

template<size_t N>
void GetBytes(const Byte*& P, std::array<Byte, N>& A)
{
    std::memcpy(A.data(), P, N);
    P += N;
}

Cardinal RecordCRC(const void* Buffer, Int64 Count)
{
    Cardinal CRC = 0;
    CRC32OfBuffer(CRC, Buffer, Count);
    return CRC;
}

// Reads Count bytes at Offset of Stream; raises when they are not all there.
void ReadRecordAt(TStream* Stream, Int64 Offset, void* Buffer, Int64 Count)
{
    if (Stream->Seek(Offset, soBeginning) != Offset)
        throw EReadError(RtlText::ReadError);
    Stream->ReadBuffer(Buffer, Count);
}

void WriteRecordAt(TStream* Stream, Int64 Offset, const void* Buffer, Int64 Count)
{
    if (Stream->Seek(Offset, soBeginning) != Offset)
        throw EWriteError(RtlText::WriteError);
    Stream->WriteBuffer(Buffer, Count);
}

Int64 Abs64(Integer V)
{
    return V < 0 ? -Int64(V) : Int64(V);
}
}

// --- Records -----------------------------------------------------------------

TXRShortName TXRShortName::From(StringView Text)
{
    TXRShortName Result;
    AnsiString Ansi = StringToAnsi(Text);
    size_t N = std::min<size_t>(Ansi.Bytes.size(), size_t(xrShortNameMax));
    Result.Bytes[0] = Byte(N);
    std::memcpy(Result.Bytes.data() + 1, Ansi.Bytes.data(), N);
    return Result;
}

String TXRShortName::ToString() const
{
    return AnsiToString(std::string_view(reinterpret_cast<const char*>(Bytes.data() + 1), Length()));
}

bool TXRShortName::SameAs(const TXRShortName& Other) const
{
    return Bytes[0] == Other.Bytes[0] && Length() == Bytes[0] &&
        std::memcmp(Bytes.data() + 1, Other.Bytes.data() + 1, Length()) == 0;
}

void TXRIdentity::Encode(Byte* Out) const
{
    PutNext32(Out, Version);
    PutNext32(Out, Cardinal(Value1));
    PutNext32(Out, Cardinal(Value2));
    PutNext32(Out, Cardinal(Value3));
    PutNext32(Out, Cardinal(Value4));
    PutNext32(Out, Cardinal(Value5));
    PutBytes(Out, Name.Bytes);
}

void TXRIdentity::Decode(const Byte* In)
{
    Version = TakeNext32(In);
    Value1 = Integer(TakeNext32(In));
    Value2 = Integer(TakeNext32(In));
    Value3 = Integer(TakeNext32(In));
    Value4 = Integer(TakeNext32(In));
    Value5 = Integer(TakeNext32(In));
    GetBytes(In, Name.Bytes);
}

void SetFilerIdentity(TXRIdentity& Identity, Integer Value1, Integer Value2, Integer Value3, Integer Value5,
    Integer Value4, const String& Name)
{
    Identity = TXRIdentity();
    Identity.Value1 = Value1;
    Identity.Value2 = Value2;
    Identity.Value3 = Value3;
    Identity.Value4 = Value4;
    Identity.Value5 = Value5;
    Identity.Name = TXRShortName::From(Name);
}

bool IdentityIsEmpty(const TXRIdentity& Identity)
{
    return Identity.Value1 == 0 && Identity.Value2 == 0 && Identity.Value3 == 0 && Identity.Value4 == 0 &&
        Identity.Value5 == 0 && Identity.Name.Length() == 0;
}

void TXRResRec::Encode(Byte* Out) const
{
    PutNext32(Out, CRC);
    PutNext32(Out, Cardinal(Kind));
    PutNext64(Out, Size);
}

void TXRResRec::Decode(const Byte* In)
{
    CRC = TakeNext32(In);
    Kind = Integer(TakeNext32(In));
    Size = TakeNext64(In);
}

void TXRGroupBody::Encode(Byte* Out) const
{
    PutNext32(Out, DataCRC);
    PutNext32(Out, Id);
    PutBytes(Out, Name.Bytes);
    PutBytes(Out, Reserved);
    PutNext64(Out, StoredSize);
}

void TXRGroupBody::Decode(const Byte* In)
{
    DataCRC = TakeNext32(In);
    Id = TakeNext32(In);
    GetBytes(In, Name.Bytes);
    GetBytes(In, Reserved);
    StoredSize = TakeNext64(In);
}

void TXRHeaderBody::Encode(Byte* Out) const
{
    PutNext32(Out, TableCRC);
    PutNext32(Out, GroupId);
    PutNext32(Out, Cardinal(Kind));
    PutBytes(Out, Reserved);
    *Out++ = Byte(Count);
    *Out++ = Byte(Count >> 8);
    PutBytes(Out, Reserved2);
}

void TXRHeaderBody::Decode(const Byte* In)
{
    TableCRC = TakeNext32(In);
    GroupId = TakeNext32(In);
    Kind = Integer(TakeNext32(In));
    GetBytes(In, Reserved);
    Count = Word(In[0] | In[1] << 8);
    In += 2;
    GetBytes(In, Reserved2);
}

// --- TXRHeaderObject ---------------------------------------------------------

bool TXRHeaderObject::ReadRecord(TStream* Stream, Int64 BaseOffset)
{
    Byte Buf[xrHeaderRecordSize];
    ReadRecordAt(Stream, BaseOffset + Offset, Buf, xrHeaderRecordSize);
    const Byte* P = Buf + 4;
    Cardinal CRC = TakeNext32(P);
    Body.Decode(Buf + xrHeaderPrefixSize);
    return CRC == RecordCRC(Buf + xrHeaderPrefixSize, xrHeaderBodySize);
}

void TXRHeaderObject::WriteRecord(TStream* Stream, Cardinal Signature, Int64 BaseOffset)
{
    Byte Buf[xrHeaderRecordSize];
    Body.Encode(Buf + xrHeaderPrefixSize);
    Byte* P = Buf;
    PutNext32(P, Signature);
    PutNext32(P, RecordCRC(Buf + xrHeaderPrefixSize, xrHeaderBodySize));
    WriteRecordAt(Stream, BaseOffset + Offset, Buf, xrHeaderRecordSize);
}

bool TXRHeaderObject::ResourceRange(Word Index, Int64& Start, Int64& Size) const
{
    Start = Size = 0;
    if (Index >= Body.Count || Index >= Table.size() || Offset < 0 || Limit < Offset)
        return false;
    // The starts worked out by IndexTable, while they still match the table.
    if (FStarts.size() == Table.size() + 1 && Table[Index].Size == FStarts[Index + 1] - FStarts[Index]) {
        Start = FStarts[Index];
        Size = Table[Index].Size;
        return true;
    }
    Int64 Pos = Offset + RecordSize() + TableSize();
    if (Pos > Limit)
        return false;
    for (Word I = 0; I <= Index; ++I) {
        Int64 N = Table[I].Size;
        if (N < 0 || N > Limit - Pos)
            return false;
        if (I == Index) {
            Start = Pos;
            Size = N;
            return true;
        }
        Pos += N;
    }
    return false;
}

bool TXRHeaderObject::IndexTable()
{
    FStarts.clear();
    if (Offset < 0 || Limit < Offset || Table.size() > Body.Count)
        return false;
    Int64 Pos = Offset + RecordSize() + TableSize();
    if (Pos > Limit)
        return false;
    std::vector<Int64> Starts;
    Starts.reserve(Table.size() + 1);
    for (const TXRResRec& R : Table) {
        if (R.Size < 0 || R.Size > Limit - Pos)
            return false;
        Starts.push_back(Pos);
        Pos += R.Size;
    }
    Starts.push_back(Pos);
    FStarts = std::move(Starts);
    return true;
}

Int64 TXRHeaderObject::TotalSize() const
{
    Int64 Total = RecordSize() + TableSize();
    for (const TXRResRec& R : Table)
        Total += R.Size;
    return Total;
}

// --- TXRGroupObject ----------------------------------------------------------

void TXRGroupObject::Create()
{
    inherited::Create();
    Data = MakeOwned<TMemoryStream>();
    Headers = MakeOwned<TXRHeaderList>();
}

bool TXRGroupObject::ReadRecord(TStream* Stream, Int64 BaseOffset)
{
    Byte Buf[xrGroupRecordSize];
    ReadRecordAt(Stream, BaseOffset + Offset, Buf, xrGroupRecordSize);
    const Byte* P = Buf + 4;
    Cardinal CRC = TakeNext32(P);
    Body.Decode(Buf + xrHeaderPrefixSize);
    return CRC == RecordCRC(Buf + xrHeaderPrefixSize, xrGroupBodySize);
}

void TXRGroupObject::WriteRecord(TStream* Stream, Cardinal Signature, Int64 BaseOffset)
{
    Byte Buf[xrGroupRecordSize];
    Body.Encode(Buf + xrHeaderPrefixSize);
    Byte* P = Buf;
    PutNext32(P, Signature);
    PutNext32(P, RecordCRC(Buf + xrHeaderPrefixSize, xrGroupBodySize));
    WriteRecordAt(Stream, BaseOffset + Offset, Buf, xrGroupRecordSize);
}

// --- TXRGroupList ------------------------------------------------------------

TXRGroupObject* TXRGroupList::FindGroupById(Cardinal Id) const
{
    auto It = FById.find(Id);
    if (It == FById.end())
        return nullptr;
    if (It->second.Count == 1 && It->second.First)
        return It->second.First;
    // Several groups of the id: the first in list order.
    for (TXRGroupObject* G : const_cast<TXRGroupList*>(this)->RawItems())
        if (G->Body.Id == Id)
            return G;
    return nullptr;
}

TXRGroupObject* TXRGroupList::FindGroupByName(StringView Name) const
{
    TXRShortName Wanted = TXRShortName::From(Name);
    // A group known only from its headers has no name to match.
    auto Matches = [&](const TXRGroupObject* G) { return G->HasRecord() && G->Body.Name.SameAs(Wanted); };
    if (FCurrent && Matches(FCurrent))
        return FCurrent;
    for (TXRGroupObject* G : const_cast<TXRGroupList*>(this)->RawItems())
        if (Matches(G))
            return G;
    return nullptr;
}

TXRGroupObject* TXRGroupList::SelectGroup(StringView Name)
{
    FCurrent = FindGroupByName(Name);
    return FCurrent;
}

Cardinal TXRGroupList::NextGroupId() const
{
    Cardinal Highest = 0;
    for (TXRGroupObject* G : const_cast<TXRGroupList*>(this)->RawItems())
        Highest = std::max(Highest, G->Body.Id);
    return Highest == 0xFFFFFFFFu ? Highest : Highest + 1;
}

TXRGroupObject* TXRGroupList::NewGroup() const
{
    if (!GroupClass || !GroupClass->InheritsFrom(TXRGroupObject::StaticClass()))
        throw EInvalidOperation(u"No group class");
    TObject* Bare = GroupClass->NewInstance();
    if (!Bare)
        throw EInvalidOperation(u"No group class");
    return Construct(static_cast<TXRGroupObject*>(Bare));
}

TXRHeaderObject* TXRGroupList::NewHeader() const
{
    if (!HeaderClass || !HeaderClass->InheritsFrom(TXRHeaderObject::StaticClass()))
        throw EInvalidOperation(u"No header class");
    TObject* Bare = HeaderClass->NewInstance();
    if (!Bare)
        throw EInvalidOperation(u"No header class");
    return Construct(static_cast<TXRHeaderObject*>(Bare));
}

void TXRGroupList::Notify(TXRGroupObject* const& Item, TCollectionNotification Action)
{
    if (Item) {
        if (Action == cnAdded) {
            TIdEntry& Entry = FById[Item->Body.Id];
            if (Entry.Count++ == 0)
                Entry.First = Item;
        } else if (auto It = FById.find(Item->Body.Id); It != FById.end()) {
            if (--It->second.Count <= 0)
                FById.erase(It);
            else if (It->second.First == Item)
                It->second.First = nullptr;
        }
    }
    if (Action != cnAdded && Item == FCurrent)
        FCurrent = nullptr;
    // An owning list frees a removed item here.
    inherited::Notify(Item, Action);
}

// --- TXRStream ---------------------------------------------------------------

void TXRStream::Create()
{
    inherited::Create();
    FCompressionLevel = xzlDefault;
    FGroups = MakeOwned<TXRGroupList>();
    SetSignatures(xrSignatureBase);
    Reset();
}

TXRStream::~TXRStream()
{
    // Without Close a container created over a file is abandoned.
    Reset();
}

void TXRStream::DiscardCurrentHeader(bool Undo)
{
    if (FCurrentHeader && Undo)
        UndoWrite();
    FMark = TWriteMark();
    FCurrentHeader.reset();
    FResourceCounter = 0;
    FWritePos = 0;
}

void TXRStream::MarkWrite(Int64 Offset, Int64 Count)
{
    FMark = TWriteMark();
    if (!FStream)
        return;
    const bool Marked = XGuarded(xecNone, false, [&] {
        FMark.EndOffset = FEndOffset;
        FMark.Length = FStream->Size();
        FMark.At = FBaseOffset + Offset;
        Int64 Kept = std::clamp<Int64>(FMark.Length - FMark.At, 0, Count);
        FMark.Bytes.resize(size_t(Kept));
        if (Kept > 0)
            ReadRecordAt(FStream, FMark.At, FMark.Bytes.data(), Kept);
        FMark.Set = true;
    });
    if (!Marked)
        FMark = TWriteMark();
}

void TXRStream::UndoWrite()
{
    if (!FMark.Set || !FStream)
        return;
    FEndOffset = FMark.EndOffset;
    // A failure here is not reported: the chain still ends where it did,
    // as the slot is written last.
    XGuarded(xecNone, false, [&] {
        if (FStream->Size() > FMark.Length)
            FStream->SetSize(FMark.Length);
        if (!FMark.Bytes.empty())
            WriteRecordAt(FStream, FMark.At, FMark.Bytes.data(), Int64(FMark.Bytes.size()));
    });
    FMark = TWriteMark();
}

void TXRStream::BeginUpdate()
{
    // The one mark machinery, kept apart from the per-record mark.
    TWriteMark Saved = std::move(FMark);
    MarkWrite(FEndOffset, xrSlotSize);
    FUpdateMark = std::move(FMark);
    FMark = std::move(Saved);
}

void TXRStream::CancelUpdate()
{
    if (!FUpdateMark.Set)
        return;
    DiscardCurrentHeader(false);
    FMark = std::move(FUpdateMark);
    FUpdateMark = TWriteMark();
    WriteFailed();
}

void TXRStream::WriteFailed()
{
    UndoWrite();
    FWriteFailed = true;
}

void TXRStream::Reset()
{
    // A caller's stream may be gone by now; only our own file is touched.
    DiscardCurrentHeader(FOwnedStream && FStream == FOwnedStream.get());
    FOwnedStream.reset(); // an uncommitted replacement file goes with it
    FTargetLock.reset();
    FStream = nullptr;
    if (FGroups)
        FGroups->Clear();
    FHeader.Version = 1;
    FBaseOffset = 0;
    FEndOffset = 0;
    FOpen = false;
    FAppend = false;
    FFlags = 0;
    FDamaged = false;
    FEndSeen = false;
    FLastReadCount = 0;
    FWriteFailed = false;
}

bool TXRStream::Close()
{
    bool Ok = true;
    if (auto* Replacement = DynamicCast<TReplacementFileStream>(FOwnedStream.get())) {
        if (FOpen && FStream == Replacement) {
            DiscardCurrentHeader();
            Integer SubCode = 0;
            Ok = !FWriteFailed && XGuarded(xecNone, false, [&] {
                try {
                    Replacement->Commit();
                    return true;
                } catch (const EFileStreamError& E) {
                    SubCode = E.ErrorCode; // the system's reason goes with the code
                    return false;
                }
            });
            if (!Ok)
                SetXErrorOnce(xecWriteFailed, SubCode, Replacement->FileName(), false);
        }
    }
    FOpen = false;
    FAppend = false;
    Reset();
    return Ok;
}

void TXRStream::SetIdentity(const TXRIdentity& Identity)
{
    FHeader.Value1 = Identity.Value1;
    FHeader.Value2 = Identity.Value2;
    FHeader.Value3 = Identity.Value3;
    FHeader.Value4 = Identity.Value4;
    FHeader.Value5 = Identity.Value5;
    FHeader.Name = Identity.Name;
    FHeader.Version = 1;
}

bool TXRStream::CheckIdentity(Integer Value1, Integer Value2, Integer Value3)
{
    bool Ok = FOpen && FHeader.Value1 == Value1 && FHeader.Value2 == Value2 && FHeader.Value3 == Value3;
    if (!Ok)
        SetXError(xecContainerHeader, 0, {}, false);
    return Ok;
}

bool TXRStream::CheckIdentity(Integer Value1, Integer Value2, Integer Value3, Integer Value4, Integer Value5)
{
    bool Ok = CheckIdentity(Value1, Value2, Value3) && FHeader.Value4 == Value4 && FHeader.Value5 == Value5;
    if (!Ok)
        SetXError(xecContainerHeader, 0, {}, false);
    return Ok;
}

bool TXRStream::CheckIdentity(Integer Value1, Integer Value2, Integer Value3, Integer Value4, Integer Value5,
    const String& Name)
{
    bool Ok = CheckIdentity(Value1, Value2, Value3, Value4, Value5) && FHeader.Name.SameAs(TXRShortName::From(Name));
    if (!Ok)
        SetXError(xecContainerHeader, 0, {}, false);
    return Ok;
}

bool TXRStream::WriteHeader(bool RaiseErrors)
{
    bool Ok = XGuarded(xecNone, false, [&] {
        if (!FStream)
            throw EWriteError(RtlText::WriteError);
        FHeader.Version = 1;
        Byte Buf[xrFirstSlot] {};
        FHeader.Encode(Buf + xrHeaderPrefixSize);
        Byte* P = Buf;
        PutNext32(P, FSigFile);
        PutNext32(P, RecordCRC(Buf + xrHeaderPrefixSize, xrIdentitySize));
        MarkWrite(0, xrFirstSlot);
        WriteRecordAt(FStream, FBaseOffset, Buf, xrFirstSlot);
        if (FGroups->Count() == 0 && !FAppend)
            FEndOffset = xrFirstSlot;
        FMark = TWriteMark();
    });
    if (!Ok)
        WriteFailed();
    ReportXResultOnce(Ok, xecWriteFailed, 0, {}, RaiseErrors);
    return Ok;
}

bool TXRStream::ReadHeader()
{
    Byte Buf[xrHeaderPrefixSize + xrIdentitySize];
    if (!FStream || !XGuarded(xecNone, false, [&] { ReadRecordAt(FStream, FBaseOffset, Buf, sizeof Buf); })) {
        Close();
        SetXError(xecReadFailed, 0, {}, false);
        return false;
    }
    const Byte* P = Buf;
    Cardinal Signature = TakeNext32(P);
    Cardinal CRC = TakeNext32(P);
    TXRIdentity Found;
    Found.Decode(Buf + xrHeaderPrefixSize);
    if (Found.Version != 1) {
        Close();
        SetXError(xecContainerHeader, 0, {}, false);
        return false;
    }
    if (Signature != FSigFile || CRC != RecordCRC(Buf + xrHeaderPrefixSize, xrIdentitySize)) {
        Close();
        SetXError(xecCRCMismatch, 0, {}, false);
        return false;
    }
    FHeader = Found;
    bool Accept = true;
    if (OnHeader)
        OnHeader(this, Accept);
    if (!Accept) {
        Close();
        if (GetXErrorCode() != xecContainerHeader)
            SetXError(xecCRCMismatch, 0, {}, false);
        return false;
    }
    return true;
}

bool TXRStream::DoOpen(Byte Flags, TStream* Stream, IXProgress* Progress, Int64 BaseOffset, bool Append)
{
    FOpen = true;
    FStream = Stream;
    FFlags = Flags;
    FBaseOffset = BaseOffset;
    return XGuarded(xecNone, false, [&] {
        if ((Flags & xroCreate) || ((Flags & xroCreateEmpty) && Stream->Size() == BaseOffset))
            return WriteHeader(false);
        return Append ? OpenForAppend(Progress) : ReadRecords(Progress);
    });
}

bool TXRStream::DoOpenStream(Byte Flags, TStream* Stream, bool RaiseErrors, IXProgress* Progress, Int64 BaseOffset,
    bool Append)
{
    ClearXError();
    Reset();
    bool Ok = Stream && BaseOffset >= 0 && DoOpen(Flags, Stream, Progress, BaseOffset, Append);
    ReportXResultOnce(Ok, xecReadFailed, 0, {}, RaiseErrors);
    return Ok;
}

bool TXRStream::DoOpenFile(Byte Flags, const String& FileName, bool RaiseErrors, IXProgress* Progress, Int64 BaseOffset,
    bool Append)
{
    ClearXError();
    Reset();
    bool Ok = false;
    if (BaseOffset >= 0) {
        std::error_code Ec;
        bool Exists = std::filesystem::exists(std::filesystem::path(StringToUTF8(FileName)), Ec);
        // A new container over the whole file is written beside it, and the
        // old file stays until Close puts the new one in its place.
        bool Replace = (Flags & xroCreate) && BaseOffset == 0;
        Word Mode;
        if (Flags & xroCreate)
            Mode = (BaseOffset > 0 && Exists) ? fmOpenReadWrite | fmShareExclusive : fmCreate | fmShareExclusive;
        else if (Flags & xroCreateEmpty)
            Mode = Exists ? fmOpenReadWrite | fmShareExclusive : fmCreate | fmShareExclusive;
        else if (Flags & xroWrite)
            Mode = fmOpenReadWrite | fmShareExclusive;
        else
            Mode = fmOpenRead | fmShareDenyWrite;
        Ok = XGuarded(xecNone, false, [&] {
            try {
                if (Replace) {
                    if (Exists)
                        FTargetLock = MakeOwned<TFileStream>(FileName, Word(fmOpenRead | fmShareExclusive));
                    FOwnedStream = MakeOwned<TReplacementFileStream>(FileName);
                } else {
                    FOwnedStream = MakeOwned<TFileStream>(FileName, Mode);
                }
            } catch (const EFileStreamError& E) {
                // A refused open names the file and the system's reason.
                SetXErrorOnce(xecReadFailed, E.ErrorCode, FileName, false);
                return false;
            }
            return DoOpen(Flags, FOwnedStream.get(), Progress, BaseOffset, Append);
        });
    }
    if (!Ok)
        Reset(); // closed; a new container over the file is abandoned
    ReportXResultOnce(Ok, xecReadFailed, 0, FileName, RaiseErrors);
    return Ok;
}

bool TXRStream::OpenStream(Byte Flags, TStream* Stream, bool RaiseErrors, IXProgress* Progress, Int64 BaseOffset)
{
    return DoOpenStream(Flags, Stream, RaiseErrors, Progress, BaseOffset, false);
}

bool TXRStream::OpenFile(Byte Flags, const String& FileName, bool RaiseErrors, IXProgress* Progress, Int64 BaseOffset)
{
    return DoOpenFile(Flags, FileName, RaiseErrors, Progress, BaseOffset, false);
}

bool TXRStream::OpenStreamAppend(Byte Flags, TStream* Stream, bool RaiseErrors, IXProgress* Progress, Int64 BaseOffset)
{
    return DoOpenStream(Flags, Stream, RaiseErrors, Progress, BaseOffset, true);
}

bool TXRStream::OpenFileAppend(Byte Flags, const String& FileName, bool RaiseErrors, IXProgress* Progress,
    Int64 BaseOffset)
{
    return DoOpenFile(Flags, FileName, RaiseErrors, Progress, BaseOffset, true);
}

// --- Named helpers -----------------------------------------------------------

bool TXRStream::AddNamedGroup(const String& Name, TStream* Data, bool RaiseErrors, IXProgress* Progress)
{
    ClearXError();
    bool Ok =
        FGroups->FindGroupByName(Name) != nullptr || AddGroup(Integer(FGroups->NextGroupId()), Name, Progress, Data);
    ReportXResultOnce(Ok, xecWriteFailed, 0, {}, RaiseErrors);
    return Ok;
}

bool TXRStream::AddNamedGroupText(const String& Name, const String& Text, bool RaiseErrors, IXProgress* Progress)
{
    AnsiString Ansi = StringToAnsi(Text);
    auto Data = MakeOwned<TBytesStream>(std::vector<Byte>(Ansi.Bytes.begin(), Ansi.Bytes.end()));
    return AddNamedGroup(Name, Data.get(), RaiseErrors, Progress);
}

bool TXRStream::BeginNamedHeader(const String& GroupName, Integer Kind, bool RaiseErrors, IXProgress* Progress,
    Word Count)
{
    ClearXError();
    TXRGroupObject* Group = FGroups->SelectGroup(GroupName);
    bool Ok = Group && BeginHeader(Integer(Group->Body.Id), Kind, Progress, Count);
    ReportXResultOnce(Ok, xecWriteFailed, 0, {}, RaiseErrors);
    return Ok;
}

bool TXRStream::EndNamedHeader(bool RaiseErrors)
{
    ClearXError();
    bool Ok = EndHeader();
    ReportXResultOnce(Ok, xecWriteFailed, 0, {}, RaiseErrors);
    return Ok;
}

bool TXRStream::AddResource(Integer Kind, TStream* Stream, bool RaiseErrors, IXProgress* Progress)
{
    ClearXError();
    bool Ok = Stream &&
        XGuarded(xecNone, false, [&] { return AddResourceStream(Kind, Stream, Progress, Stream->Size(), 0); });
    ReportXResultOnce(Ok, xecWriteFailed, 0, {}, RaiseErrors);
    return Ok;
}

bool TXRStream::AddResourceText(Integer Kind, const String& Text, bool RaiseErrors, IXProgress* Progress)
{
    ClearXError();
    AnsiString Ansi = StringToAnsi(Text);
    bool Ok = Ansi.Bytes.size() <= 0x7FFFFFFFu &&
        AddResourceBuffer(Kind, Ansi.Bytes.data(), Progress, Integer(Ansi.Bytes.size()));
    ReportXResultOnce(Ok, xecWriteFailed, 0, {}, RaiseErrors);
    return Ok;
}

bool TXRStream::AddSingleResourceHeader(const String& GroupName, Integer Kind, bool RaiseErrors, IXProgress* Progress,
    TStream* Stream, Integer ResourceKind)
{
    auto Part = [&](Byte Percent, const std::function<bool()>& Step) {
        if (Progress)
            Progress->BeginSectionPart(Percent);
        bool Ok = Step();
        if (Progress)
            Progress->EndSection();
        return Ok;
    };
    bool Ok = Part(10, [&] { return BeginNamedHeader(GroupName, Kind, false, Progress, 1); }) &&
        Part(80, [&] { return AddResource(ResourceKind, Stream, false, Progress); }) &&
        Part(10, [&] { return EndNamedHeader(false); });
    if (!Ok)
        DiscardCurrentHeader();
    ReportXResultOnce(Ok, xecWriteFailed, 0, {}, RaiseErrors);
    return Ok;
}

bool TXRStream::ReadResource(const String& GroupName, Integer HeaderIndex, bool RaiseErrors, IXProgress* Progress,
    TStream* Dest, Word ResourceIndex)
{
    ClearXError();
    TXRGroupObject* Group = FGroups->SelectGroup(GroupName);
    bool Ok = Group && HeaderIndex >= 0 && HeaderIndex < Group->Headers->Count() &&
        ReadResourceStream(Group->Headers->Items(HeaderIndex), ResourceIndex, Progress, Dest);
    ReportXResultOnce(Ok, xecReadFailed, 0, {}, RaiseErrors);
    return Ok;
}

bool TXRStream::ReadResourceText(const String& GroupName, Integer HeaderIndex, bool RaiseErrors, IXProgress* Progress,
    String& Text, Word ResourceIndex)
{
    Text.clear();
    auto Bytes = MakeOwned<TBytesStream>();
    if (!ReadResource(GroupName, HeaderIndex, RaiseErrors, Progress, Bytes.get(), ResourceIndex))
        return false;
    Text = AnsiToString(std::string_view(reinterpret_cast<const char*>(Bytes->Memory()), size_t(Bytes->Size())));
    return true;
}

bool TXRStream::ReadNamedResourceOfKind(const String& GroupName, Integer Kind, bool RaiseErrors, IXProgress* Progress,
    TStream* Dest, Word ResourceIndex, Integer HeaderIndex)
{
    ClearXError();
    TXRGroupObject* Group = FGroups->SelectGroup(GroupName);
    if (!Group || HeaderIndex < 0 || HeaderIndex >= Group->Headers->Count())
        return false;
    TXRHeaderObject* Header = Group->Headers->Items(HeaderIndex);
    if (ResourceIndex >= Header->Table.size() || Abs64(Header->Table[ResourceIndex].Kind) != Abs64(Kind))
        return false;
    return ReadResource(GroupName, HeaderIndex, RaiseErrors, Progress, Dest, ResourceIndex);
}
