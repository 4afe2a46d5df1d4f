#include "core/XCore.QStream.h"
#include "core/XCore.Engine.Worker.h"
#include "core/XCore.Errors.h"
#include "core/XCore.Qi.CRC.h"
#include "core/XCore.Streams.h"
#include "core/XCore.ZLib.h"
#include <cstring>
#include <vector>
#include <zlib.h>

X_REGISTER_CLASS(TXQHeaderObject)
X_REGISTER_CLASS(TXQGroupObject)
X_REGISTER_CLASS(TXQStream)

// The container code reports through its own codes, so it uses the zlib
// stream classes (which raise) rather than the reporting operations.
namespace {
constexpr Int64 BlockSize = 0x10000;

void Put32(Byte* P, Cardinal V)
{
    for (int I = 0; I < 4; ++I)
        P[I] = Byte(V >> (8 * I));
}

void Put64(Byte* P, Int64 V)
{
    for (int I = 0; I < 8; ++I)
        P[I] = Byte(UInt64(V) >> (8 * I));
}

Cardinal Get32(const Byte* P)
{
    return Cardinal(P[0]) | Cardinal(P[1]) << 8 | Cardinal(P[2]) << 16 | Cardinal(P[3]) << 24;
}

Int64 Get64(const Byte* P)
{
    UInt64 V = 0;
    for (int I = 0; I < 8; ++I)
        V |= UInt64(P[I]) << (8 * I);
    return Int64(V);
}

Cardinal BufferCRC(const void* Buffer, Int64 Count)
{
    Cardinal CRC = 0;
    CRC32OfBuffer(CRC, Buffer, Count);
    return CRC;
}

[[noreturn]] void ReadFailure()
{
    throw EReadError(RtlText::ReadError);
}

[[noreturn]] void WriteFailure()
{
    throw EWriteError(RtlText::WriteError);
}

void Locate(TStream* Stream, Int64 Offset)
{
    if (Offset < 0 || Stream->Seek(Offset, soBeginning) != Offset)
        ReadFailure();
}

void ReadAt(TStream* Stream, Int64 Offset, void* Buffer, Int64 Count)
{
    Locate(Stream, Offset);
    Stream->ReadBuffer(Buffer, Count);
}

void WriteAt(TStream* Stream, Int64 Offset, const void* Buffer, Int64 Count)
{
    if (Offset < 0 || Stream->Seek(Offset, soBeginning) != Offset)
        WriteFailure();
    Stream->WriteBuffer(Buffer, Count);
}

// The running form of zlib's crc32.
Cardinal ContinueCRC(Cardinal CRC, const Byte* Data, Int64 Count)
{
    return Cardinal(crc32_z(CRC, Data, z_size_t(Count)));
}

// The CRC-32 of Count bytes of Stream from Start; raises when they are not
// all there.
Cardinal RangeCRC(TStream* Stream, Int64 Start, Int64 Count)
{
    Locate(Stream, Start);
    std::vector<Byte> Block(size_t(std::clamp<Int64>(Count, 1, BlockSize)));
    Cardinal CRC = 0;
    for (Int64 Left = Count; Left > 0;) {
        Int64 N = std::min(Left, Int64(Block.size()));
        Stream->ReadBuffer(Block.data(), N);
        CRC = ContinueCRC(CRC, Block.data(), N);
        Left -= N;
    }
    return CRC;
}

// Cuts Dest at its position, so nothing of an older content stays behind.
void CutAtPosition(TStream* Dest)
{
    Int64 Pos = Dest->Position();
    if (Dest->Size() != Pos)
        Dest->SetSize(Pos);
}

void CopyRange(TStream* Source, Int64 Start, Int64 Count, TStream* Dest)
{
    Locate(Source, Start);
    if (Count > 0)
        Dest->CopyFrom(Source, Count);
}

// The CRC-32 of what the Count stored bytes at Start inflate to. The data
// only passes through: it counts against the load's budget, but nothing
// of it is kept.
Cardinal InflatedCRC(TStream* Source, Int64 Start, Int64 Count)
{
    Cardinal CRC = 0;
    if (Count <= 0)
        return CRC;
    Locate(Source, Start);
    auto Window = MakeOwned<TXSubStream>(Source, Count, Start, 0);
    if (Window->Size() != Count)
        ReadFailure();
    auto Z = MakeOwned<TXZDecompressionStream>(Window.get());
    std::vector<Byte> Block(static_cast<size_t>(BlockSize));
    Int64 Total = 0;
    while (!Z->Finished()) {
        Int64 N = Z->DecompressBuffer(Block.data(), BlockSize, nullptr);
        Total += N;
        if (Total > xzMaxInflatedSize)
            throw EZDecompressionError(u"Group data is larger than allowed");
        CRC = ContinueCRC(CRC, Block.data(), N);
    }
    return CRC;
}

// Inflates the Count stored bytes at Start into Dest from its position.
void InflateRange(TStream* Source, Int64 Start, Int64 Count, TStream* Dest, IXProgress* Progress)
{
    Locate(Source, Start);
    auto Window = MakeOwned<TXSubStream>(Source, Count, Start, 0);
    if (Window->Size() != Count)
        ReadFailure();
    auto Z = MakeOwned<TXZDecompressionStream>(Window.get());
    Z->DecompressToStream(Dest, Progress, Count);
}
}


// --- TXQHeaderObject ---------------------------------------------------------

void TXQHeaderObject::UpdateTableCRC()
{
    std::vector<Byte> Bytes(static_cast<size_t>(TableSize()));
    for (size_t I = 0; I < Table.size(); ++I)
        Table[I].Encode(Bytes.data() + I * xrResRecSize);
    Body.TableCRC = BufferCRC(Bytes.data(), Int64(Bytes.size()));
}

bool TXQHeaderObject::ReadTable(TStream* Stream, Int64 BaseOffset)
{
    Valid = false;
    Table.clear();
    return XGuarded(xecReadFailed, false, [&] {
        Int64 At = Offset + RecordSize();
        if (At > Limit || TableSize() > Limit - At)
            ReadFailure();
        std::vector<Byte> Bytes(static_cast<size_t>(TableSize()));
        ReadAt(Stream, BaseOffset + At, Bytes.data(), Int64(Bytes.size()));
        Table.resize(Body.Count);
        for (size_t I = 0; I < Table.size(); ++I)
            Table[I].Decode(Bytes.data() + I * xrResRecSize);
        if (BufferCRC(Bytes.data(), Int64(Bytes.size())) != Body.TableCRC) {
            SetXErrorOnce(xecCRCMismatch, 0, {}, false);
            return false;
        }
        if (!IndexTable())
            ReadFailure();
        Valid = true;
        return true;
    });
}

bool TXQHeaderObject::WriteTable(TStream* Stream, Int64 BaseOffset)
{
    return XGuarded(xecNone, false, [&] {
        std::vector<Byte> Bytes(static_cast<size_t>(TableSize()));
        for (size_t I = 0; I < Table.size() && I < Body.Count; ++I)
            Table[I].Encode(Bytes.data() + I * xrResRecSize);
        if (!Bytes.empty())
            WriteAt(Stream, BaseOffset + Offset + RecordSize(), Bytes.data(), Int64(Bytes.size()));
    });
}

// --- TXQGroupObject ----------------------------------------------------------

bool TXQGroupObject::ReadData(TStream* Stream, Int64 BaseOffset)
{
    Valid = false;
    Data->Clear();
    return XGuarded(xecReadFailed, false, [&] {
        Int64 At = Offset + RecordSize();
        Int64 Stored = Body.StoredSize;
        if (Stored < 0 || At > Limit || Stored > Limit - At)
            ReadFailure();
        if (InflatedCRC(Stream, BaseOffset + At, Stored) != Body.DataCRC) {
            SetXErrorOnce(xecCRCMismatch, 0, {}, false);
            return false;
        }
        Valid = true;
        return true;
    });
}

bool TXQGroupObject::Write(TStream* Stream, Cardinal Signature, Int64 BaseOffset)
{
    return XGuarded(xecNone, false, [&] {
        auto Packed = MakeOwned<TMemoryStream>();
        Body.DataCRC = BufferCRC(Data->Memory(), Data->Size());
        if (Data->Size() > 0) {
            auto Z = MakeOwned<TXZCompressionStream>(Packed.get(), xzlDefault);
            Z->CompressBuffer(Data->Memory(), Data->Size(), nullptr);
            Z->Finish();
        }
        Body.StoredSize = Packed->Size();
        WriteRecord(Stream, Signature, BaseOffset);
        if (Packed->Size() > 0)
            Stream->WriteBuffer(Packed->Memory(), Packed->Size());
    });
}

// --- TXQStream ---------------------------------------------------------------

void TXQStream::Create()
{
    inherited::Create();
    FGroups->HeaderClass = TXQHeaderObject::StaticClass();
    FGroups->GroupClass = TXQGroupObject::StaticClass();
}

void TXQStream::SetSignatures(Word Base)
{
    FSigFile = XRSignature(Base, 'F', 'Q');
    FSigLink = XRSignature(Base, 'N', 'Q');
    FSigGroup = XRSignature(Base, 'G', 'Q');
    FSigHeader = XRSignature(Base, 'H', 'Q');
    FSigEnd = XRSignature(Base, 'E', 'Q');
}

void TXQStream::WriteEndRecord(TStream* Stream, Int64 Offset)
{
    Byte Slot[xrSlotSize] {};
    Put32(Slot, FSigEnd);
    WriteAt(Stream, Offset, Slot, xrSlotSize);
}

void TXQStream::WriteLink(TStream* Stream, Int64 Offset, Int64 Next)
{
    Byte Slot[xrSlotSize] {};
    Put32(Slot, FSigLink);
    Put64(Slot + 8, Next);
    Put32(Slot + 4, BufferCRC(Slot + 8, 8));
    WriteAt(Stream, Offset, Slot, xrSlotSize);
}

TXRGroupObject* TXQStream::GroupForHeader(Cardinal GroupId)
{
    if (TXRGroupObject* Group = FGroups->FindGroupById(GroupId))
        return Group;
    // Known only from its headers until (and unless) its record comes.
    TXRGroupObject* Group = FGroups->NewGroup();
    Group->Body.Id = GroupId;
    Group->Valid = true;
    FGroups->Add(Group);
    return Group;
}

void TXQStream::ReadRecordAt(Int64 Offset, Int64 Limit, bool Quiet)
{
    if (Limit - Offset < xrHeaderPrefixSize)
        ReadFailure();
    Byte Prefix[xrHeaderPrefixSize];
    ReadAt(FStream, FBaseOffset + Offset, Prefix, xrHeaderPrefixSize);
    Cardinal Signature = Get32(Prefix);

    if (Signature == FSigGroup) {
        if (Limit - Offset < xrGroupRecordSize)
            ReadFailure();
        TOwnedPtr<TXRGroupObject> Group(FGroups->NewGroup());
        Group->Offset = Offset;
        Group->Limit = Limit;
        if (!Group->ReadRecord(FStream, FBaseOffset)) {
            if (!Quiet)
                SetXErrorOnce(xecCRCMismatch, 0, {}, false);
            return;
        }
        TXRGroupObject* Known = FGroups->FindGroupById(Group->Body.Id);
        if (Known && Known->HasRecord())
            return; // a later record for the same id does not count
        TXRGroupObject* Target = Known ? Known : Group.get();
        if (Known) {
            Known->Body = Group->Body;
            Known->Offset = Offset;
            Known->Limit = Limit;
        }
        Target->ReadData(FStream, FBaseOffset);
        if (!Known)
            FGroups->Add(Group.release());
        return;
    }

    if (Signature == FSigHeader) {
        if (Limit - Offset < xrHeaderRecordSize)
            ReadFailure();
        TOwnedPtr<TXRHeaderObject> Header(FGroups->NewHeader());
        Header->Offset = Offset;
        Header->Limit = Limit;
        if (!Header->ReadRecord(FStream, FBaseOffset)) {
            if (!Quiet)
                SetXErrorOnce(xecCRCMismatch, 0, {}, false);
            return;
        }
        Header->ReadTable(FStream, FBaseOffset);
        GroupForHeader(Header->Body.GroupId)->Headers->Add(Header.release());
    }
    // Any other record is skipped.
}

bool TXQStream::Scan(bool Quiet)
{
    bool Ok = true;
    FEndSeen = false;
    FEndOffset = xrFirstSlot;
    TXLoadBudget Budget;
    const bool Scanned = XGuarded(xecNone, false, [&] {
        Int64 Available = FStream->Size() - FBaseOffset;
        Int64 Offset = xrFirstSlot;
        while (Offset < Available) {
            FEndOffset = Offset;
            if (Available - Offset < xrSlotSize)
                ReadFailure();
            Byte Slot[xrSlotSize];
            ReadAt(FStream, FBaseOffset + Offset, Slot, xrSlotSize);
            Cardinal Signature = Get32(Slot);
            if (Signature == FSigEnd) {
                FEndSeen = true;
                break;
            }
            if (Signature != FSigLink || Get32(Slot + 4) != BufferCRC(Slot + 8, 8)) {
                if (!Quiet)
                    SetXErrorOnce(xecCRCMismatch, 0, {}, false);
                Ok = false;
                break;
            }
            Int64 Next = Get64(Slot + 8);
            // Only a link that moves past at least a record's signature and
            // CRC is followed: a link to itself or backwards would loop.
            if (Next < Offset || Next - Offset < xrSlotSize + xrHeaderPrefixSize)
                break;
            // A record that runs past the end of the stream is damage, and
            // the end offset stays on its link, inside the stream: the next
            // write replaces the link rather than landing far behind the end.
            if (Next > Available)
                ReadFailure();
            ReadRecordAt(Offset + xrSlotSize, Next, Quiet);
            Offset = Next;
            FEndOffset = Next;
        }
    });
    if (!Scanned) {
        if (!Quiet)
            SetXErrorOnce(xecContainerScan, 0, {}, false);
        FDamaged = true;
        Ok = false;
    }
    if (Ok && !FEndSeen && !Quiet)
        SetXErrorOnce(xecContainerNoEnd, 0, {}, false);
    return Ok;
}

bool TXQStream::ReadRecords(IXProgress* Progress)
{
    if (!ReadHeader()) {
        SetXError(xecContainerHeader, 0, {}, false);
        return false;
    }
    return Scan(false);
}

bool TXQStream::OpenForAppend(IXProgress* Progress)
{
    FAppend = true;
    if (!ReadHeader())
        return false;
    // The groups already there, so that a name the container holds keeps
    // its id and readers merge the new headers into that group; and the
    // end of the chain, where every reader arrives: the end record, the end
    // of the stream, or the first slot a reader cannot pass. New records go
    // there, replacing whatever no reader reaches (bytes behind the end
    // record, a cut-off record), so damage does not stop an append.
    Scan(true);
    FDamaged = false;
    FEndSeen = false;
    ClearXError();
    return true;
}

bool TXQStream::AddGroup(Integer Id, const String& Name, IXProgress* Progress, TStream* Data)
{
    ClearXError();
    if (!IsOpenForWrite()) {
        SetXError(xecWriteFailed, 0, {}, false);
        return false;
    }
    DiscardCurrentHeader();
    TOwnedPtr<TXRGroupObject> Group;
    MarkWrite(FEndOffset, xrSlotSize);
    bool Ok = XGuarded(xecNone, false, [&] {
        Int64 Old = FEndOffset;
        WriteEndRecord(FStream, FBaseOffset + Old);
        Group.reset(FGroups->NewGroup());
        Group->Valid = true;
        Group->Offset = Old + xrSlotSize;
        Group->Body.Id = Cardinal(Id);
        Group->Body.Name = TXRShortName::From(Name);
        if (Data)
            Group->Data->CopyFrom(Data, 0);
        Group->Data->SetPosition(0);
        if (!Group->Write(FStream, FSigGroup, FBaseOffset))
            WriteFailure();
        Int64 NewEnd = Group->Offset + Group->RecordSize() + Group->Body.StoredSize;
        WriteLink(FStream, FBaseOffset + Old, NewEnd);
        WriteEndRecord(FStream, FBaseOffset + NewEnd);
        FEndOffset = NewEnd;
        Group->Limit = NewEnd;
        FGroups->Add(Group.release());
    });
    if (Ok) {
        DiscardCurrentHeader(false);
    } else {
        WriteFailed();
        SetXErrorOnce(xecWriteFailed, 0, {}, false);
    }
    return Ok;
}

bool TXQStream::BeginHeader(Integer GroupId, Integer Kind, IXProgress* Progress, Word Count)
{
    if (!IsOpenForWrite()) {
        SetXErrorOnce(xecWriteFailed, 0, {}, false);
        return false;
    }
    DiscardCurrentHeader();
    // The mark lasts until the header ends, so a failure anywhere undoes
    // the whole header.
    MarkWrite(FEndOffset, xrSlotSize);
    const bool Begun = XGuarded(xecNone, false, [&] {
        WriteEndRecord(FStream, FBaseOffset + FEndOffset);
        TOwnedPtr<TXRHeaderObject> Header(FGroups->NewHeader());
        Header->Valid = true;
        Header->Offset = FEndOffset + xrSlotSize;
        Header->Body.GroupId = Cardinal(GroupId);
        Header->Body.Kind = Kind;
        Header->Body.Count = Count;
        Header->Table.assign(Count, TXRResRec());
        if (auto* Q = DynamicCast<TXQHeaderObject>(Header.get()))
            Q->UpdateTableCRC();
        Header->WriteRecord(FStream, FSigHeader, FBaseOffset);
        if (!Header->WriteTable(FStream, FBaseOffset))
            WriteFailure();
        FWritePos = Header->Offset + Header->RecordSize() + Header->TableSize();
        FResourceCounter = 0;
        FCurrentHeader = std::move(Header);
    });
    if (!Begun) {
        WriteFailed();
        SetXErrorOnce(xecWriteFailed, 0, {}, false);
    }
    return Begun;
}

bool TXQStream::WriteResource(Integer Kind, const void* Buffer, TStream* Source, Int64 Count, Int64 Start,
    IXProgress* Progress)
{
    TXRResRec Entry;
    Entry.Kind = Kind;
    const bool Written = XGuarded(xecNone, false, [&] {
        if (Count > 0) {
            Byte Level = Kind < 0 ? FCompressionLevel : xzlStore;
            if (Source) {
                if (Start < 0 || Start > Source->Size() || Count > Source->Size() - Start)
                    ReadFailure();
                Entry.CRC = RangeCRC(Source, Start, Count);
                Locate(Source, Start);
            } else {
                Entry.CRC = BufferCRC(Buffer, Count);
            }
            if (FStream->Seek(FBaseOffset + FWritePos, soBeginning) != FBaseOffset + FWritePos)
                WriteFailure();
            if (Level > 0) {
                auto Z = MakeOwned<TXZCompressionStream>(FStream, Level);
                if (Source)
                    Z->CompressStream(Source, Count, Progress);
                else
                    Z->CompressBuffer(Buffer, Count, Progress);
                Z->Finish();
            } else if (Source) {
                FStream->CopyFrom(Source, Count);
            } else {
                FStream->WriteBuffer(Buffer, Count);
            }
            Entry.Size = FStream->Position() - (FBaseOffset + FWritePos);
        }
    });
    if (!Written) {
        // The header is taken back out: its record is no longer whole.
        FWriteFailed = true;
        DiscardCurrentHeader();
        SetXErrorOnce(xecWriteFailed, 0, {}, false);
        return false;
    }
    FCurrentHeader->Table[FResourceCounter] = Entry;
    FWritePos += Entry.Size;
    ++FResourceCounter;
    return true;
}

bool TXQStream::AddResourceBuffer(Integer Kind, const void* Buffer, IXProgress* Progress, Integer Size)
{
    ClearXError();
    if (!IsOpenForWrite() || !FCurrentHeader || FResourceCounter >= FCurrentHeader->Body.Count)
        return false;
    if (Size < 0 || (Size > 0 && !Buffer)) {
        SetXError(xecWriteFailed, 0, {}, false);
        return false;
    }
    return WriteResource(Kind, Buffer, nullptr, Size, 0, Progress);
}

bool TXQStream::AddResourceStream(Integer Kind, TStream* Source, IXProgress* Progress, Int64 Count, Int64 Start)
{
    ClearXError();
    if (!IsOpenForWrite() || !FCurrentHeader || FResourceCounter >= FCurrentHeader->Body.Count)
        return false;
    if (Count > 0 && !Source) {
        SetXError(xecWriteFailed, 0, {}, false);
        return false;
    }
    return WriteResource(Kind, nullptr, Source, Count, Start, Progress);
}

bool TXQStream::EndHeader()
{
    if (!IsOpenForWrite() || !FCurrentHeader) {
        SetXErrorOnce(xecWriteFailed, 0, {}, false);
        return false;
    }
    bool Ok = XGuarded(xecNone, false, [&] {
        TXRHeaderObject* Header = FCurrentHeader.get();
        Int64 NewEnd = FWritePos;
        if (auto* Q = DynamicCast<TXQHeaderObject>(Header))
            Q->UpdateTableCRC();
        Header->WriteRecord(FStream, FSigHeader, FBaseOffset);
        if (!Header->WriteTable(FStream, FBaseOffset))
            WriteFailure();
        WriteLink(FStream, FBaseOffset + FEndOffset, NewEnd);
        WriteEndRecord(FStream, FBaseOffset + NewEnd);
        FEndOffset = NewEnd;
        Header->Limit = NewEnd;
        Header->IndexTable();
        // Joins the group of its id, as a reader of the file will see it.
        GroupForHeader(Header->Body.GroupId)->Headers->Add(Header);
        FCurrentHeader.release(); // the group's list holds it now
        DiscardCurrentHeader(false);
    });
    if (!Ok) {
        FWriteFailed = true;
        DiscardCurrentHeader();
        SetXErrorOnce(xecWriteFailed, 0, {}, false);
    }
    return Ok;
}

bool TXQStream::ReadResourceStream(TXRHeaderObject* Header, Word Index, IXProgress* Progress, TStream* Dest)
{
    if (!IsOpenForRead() || !Header || !Dest || Index >= Header->Body.Count)
        return false;
    FLastReadCount = Header->Body.Count;
    TXLoadBudget Budget;
    bool Ok = XGuarded(xecNone, false, [&] {
        Int64 Start = 0, Size = 0;
        if (!Header->Valid || !Header->ResourceRange(Index, Start, Size)) {
            SetXErrorOnce(xecCRCMismatch, 0, {}, false);
            ReadFailure();
        }
        const TXRResRec& Entry = Header->Table[Index];
        Dest->SetPosition(0);
        if (Size > 0) {
            if (Entry.Kind < 0)
                InflateRange(FStream, FBaseOffset + Start, Size, Dest, Progress);
            else
                CopyRange(FStream, FBaseOffset + Start, Size, Dest);
        }
        CutAtPosition(Dest);
        if (RangeCRC(Dest, 0, Dest->Size()) != Entry.CRC) {
            SetXErrorOnce(xecCRCMismatch, 0, {}, false);
            ReadFailure();
        }
    });
    if (!Ok) {
        SetXErrorOnce(xecReadFailed, 0, {}, false);
        FLastReadCount = 0;
    }
    return Ok;
}

bool TXQStream::ReadResourceBuffer(TXRHeaderObject* Header, Word Index, IXProgress* Progress, void* Buffer,
    Int64 Capacity, Int64* Length)
{
    if (Length)
        *Length = 0;
    if (!IsOpenForRead() || !Header || Index >= Header->Body.Count || Capacity < 0 || (Capacity > 0 && !Buffer))
        return false;
    FLastReadCount = Header->Body.Count;
    TXLoadBudget Budget;
    bool Ok = XGuarded(xecNone, false, [&] {
        Int64 Start = 0, Size = 0;
        if (!Header->Valid || !Header->ResourceRange(Index, Start, Size)) {
            SetXErrorOnce(xecCRCMismatch, 0, {}, false);
            ReadFailure();
        }
        const TXRResRec& Entry = Header->Table[Index];
        Int64 Got = 0;
        if (Size > 0 && Entry.Kind < 0) {
            Locate(FStream, FBaseOffset + Start);
            auto Window = MakeOwned<TXSubStream>(FStream, Size, FBaseOffset + Start, 0);
            auto Z = MakeOwned<TXZDecompressionStream>(Window.get());
            Got = Z->DecompressBuffer(Buffer, Capacity, Progress);
            Byte Extra;
            if (!Z->Finished() && Z->DecompressBuffer(&Extra, 1, nullptr) != 0)
                ReadFailure(); // more data than the buffer holds
        } else if (Size > 0) {
            if (Size > Capacity)
                ReadFailure();
            ReadAt(FStream, FBaseOffset + Start, Buffer, Size);
            Got = Size;
        }
        if (BufferCRC(Buffer, Got) != Entry.CRC) {
            SetXErrorOnce(xecCRCMismatch, 0, {}, false);
            ReadFailure();
        }
        if (Length)
            *Length = Got;
    });
    if (!Ok) {
        SetXErrorOnce(xecReadFailed, 0, {}, false);
        FLastReadCount = 0;
    }
    return Ok;
}

bool TXQStream::CompactTo(TStream* Dest, IXProgress* Progress, bool RaiseErrors)
{
    ClearXError();
    if (!IsOpenForRead()) {
        ReportXResult(false, xecReadFailed, 0, {}, RaiseErrors);
        return false;
    }
    bool Ok = XGuarded(xecNone, false, [&] {
        if (!Dest || Dest == FStream)
            WriteFailure();
        if (Progress)
            Progress->SetMax(2);
        Dest->SetPosition(0);
        CopyRange(FStream, FBaseOffset, xrFirstSlot, Dest);
        if (Progress)
            Progress->StepIt();
        auto Live = [](const TXRObject* R, bool Deleted) { return R->Valid && !Deleted; };
        Cardinal Headers = 0;
        for (Integer I = 0; I < FGroups->Count(); ++I) {
            TXRGroupObject* G = FGroups->Items(I);
            if (Live(G, G->Body.Deleted()))
                for (Integer J = 0; J < G->Headers->Count(); ++J)
                    Headers += Live(G->Headers->Items(J), G->Headers->Items(J)->Body.Deleted()) ? 1 : 0;
        }
        if (Progress) {
            Progress->AddMax(Headers);
            Progress->StepIt();
        }
        Int64 Pos = xrFirstSlot;
        auto CopyRecord = [&](const TXRObject* R, Int64 Size) {
            WriteLink(Dest, Pos, Pos + xrSlotSize + Size);
            CopyRange(FStream, FBaseOffset + R->Offset, Size, Dest);
            Pos += xrSlotSize + Size;
        };
        for (Integer I = 0; I < FGroups->Count(); ++I) {
            TXRGroupObject* G = FGroups->Items(I);
            if (!Live(G, G->Body.Deleted()))
                continue;
            // A group known only from its headers keeps that form.
            if (G->HasRecord())
                CopyRecord(G, G->RecordSize() + G->Body.StoredSize);
            for (Integer J = 0; J < G->Headers->Count(); ++J) {
                TXRHeaderObject* H = G->Headers->Items(J);
                if (!Live(H, H->Body.Deleted()))
                    continue;
                CopyRecord(H, H->TotalSize());
                if (Progress)
                    Progress->StepIt();
            }
        }
        WriteEndRecord(Dest, Pos);
        Pos += xrSlotSize;
        if (Dest->Size() > Pos)
            Dest->SetSize(Pos);
    });
    ReportXResultOnce(Ok, xecWriteFailed, 0, {}, RaiseErrors);
    return Ok;
}
