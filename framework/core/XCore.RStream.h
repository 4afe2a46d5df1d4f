// Container files: a chain of records inside a seekable stream, starting at
// a base offset. Every record carries a 32-bit signature and a CRC-32;
// records are reached through 16-byte links from offset 107 on, up to an
// end record, so a container grows by appending without rewriting what is
// there. Groups (a name and an id) and headers (a numbered table of
// resources, each stored raw or as a zlib stream) are tied by the group id.
//
// All integers are little-endian; offsets are relative to the base offset.
// TXRStream is the reader and writer's frame; TXQStream (XCore.QStream)
// implements the format.
#pragma once
#include "core/XCore.Errors.h"
#include "core/XCore.Classes.h"
#include "rtl/Lists.h"
#include "rtl/Streams.h"
#include <algorithm>
#include <array>
#include <functional>
#include <unordered_map>
#include <vector>

struct IXProgress;

// Sizes of the format.
inline constexpr Int64 xrHeaderPrefixSize = 8; // signature and CRC
inline constexpr Int64 xrIdentitySize = 75;
inline constexpr Int64 xrFirstSlot = 107;
inline constexpr Int64 xrSlotSize = 16;
inline constexpr Int64 xrGroupBodySize = 85;
inline constexpr Int64 xrGroupRecordSize = 93;
inline constexpr Int64 xrHeaderBodySize = 28;
inline constexpr Int64 xrHeaderRecordSize = 36;
inline constexpr Int64 xrResRecSize = 16;
inline constexpr Int64 xrShortNameSize = 51;
inline constexpr Int64 xrShortNameMax = 50;

// Open flags.
inline constexpr Byte xroCreate = 1; // write a new header
inline constexpr Byte xroCreateEmpty = 2; // a new header when missing or empty
inline constexpr Byte xroRead = 4;
inline constexpr Byte xroWrite = 8;


// The base of the signatures ("XX") and the five signatures built on it.
inline constexpr Word xrSignatureBase = 0x5858;
constexpr Cardinal XRSignature(Word Base, char A, char B)
{
    return Cardinal(Base) | Cardinal(Byte(A)) << 16 | Cardinal(Byte(B)) << 24;
}

// A length byte (0 to 50) and up to 50 bytes of ANSI text, zero after it.
struct TXRShortName {
    std::array<Byte, xrShortNameSize> Bytes {};

    // The text in the ANSI code page, cut to 50 bytes.
    static TXRShortName From(StringView Text);
    String ToString() const;
    Byte Length() const { return std::min<Byte>(Bytes[0], Byte(xrShortNameMax)); }
    // Length byte and text equal; bytes after the text do not count.
    bool SameAs(const TXRShortName& Other) const;
};

// The file header's body: what a container holds.
struct TXRIdentity {
    Cardinal Version = 1;
    Integer Value1 = 0;
    Integer Value2 = 0;
    Integer Value3 = 0;
    Integer Value4 = 0;
    Integer Value5 = 0;
    TXRShortName Name;

    void Encode(Byte* Out) const;
    void Decode(const Byte* In);
};

// Note the order of values 5 and 4.
void SetFilerIdentity(TXRIdentity& Identity, Integer Value1, Integer Value2, Integer Value3, Integer Value5,
    Integer Value4, const String& Name);
bool IdentityIsEmpty(const TXRIdentity& Identity);

// One entry of a header's resource table. A negative kind is stored as a
// zlib stream, any other as it is.
struct TXRResRec {
    Cardinal CRC = 0;
    Integer Kind = 0;
    Int64 Size = 0;

    void Encode(Byte* Out) const;
    void Decode(const Byte* In);
};

struct TXRGroupBody {
    Cardinal DataCRC = 0;
    Cardinal Id = 0;
    TXRShortName Name;
    std::array<Byte, 18> Reserved {};
    Int64 StoredSize = 0;

    bool Deleted() const { return Reserved[1] != 0; }
    void Encode(Byte* Out) const;
    void Decode(const Byte* In);
};

struct TXRHeaderBody {
    Cardinal TableCRC = 0;
    Cardinal GroupId = 0;
    Integer Kind = 0;
    std::array<Byte, 6> Reserved {};
    Word Count = 0;
    std::array<Byte, 8> Reserved2 {};

    bool Deleted() const { return Reserved[1] != 0; }
    void Encode(Byte* Out) const;
    void Decode(const Byte* In);
};

// A record in memory. Limit is where the bytes that belong to it end (the
// next slot, or the stream's end when that comes first): no size read from
// the record may reach past it.
class TXRObject : public TXObject {
    X_CLASS(TXRObject, TXObject)
public:
    Int64 Offset = 0;
    Int64 Limit = 0;
    bool Valid = false;
};

class TXRHeaderObject : public TXRObject {
    X_CLASS(TXRHeaderObject, TXRObject)
public:
    TXRHeaderBody Body;
    std::vector<TXRResRec> Table;

    virtual bool ReadTable(TStream* Stream, Int64 BaseOffset) = 0;
    virtual bool WriteTable(TStream* Stream, Int64 BaseOffset) = 0;

    // Reads signature, CRC and body at Offset; false when the CRC differs.
    // Raises when the stream does not hold the record.
    bool ReadRecord(TStream* Stream, Int64 BaseOffset);
    void WriteRecord(TStream* Stream, Cardinal Signature, Int64 BaseOffset);
    Int64 RecordSize() const { return xrHeaderRecordSize; }
    Int64 TableSize() const { return xrResRecSize * Body.Count; }
    // Where resource Index starts and how many bytes it has; false when the
    // table's sizes do not fit the record.
    bool ResourceRange(Word Index, Int64& Start, Int64& Size) const;
    // Works out where every resource starts, in one pass, after the table
    // or Limit changed; false when the sizes do not fit the record. Until
    // then ResourceRange counts from the first entry on each call.
    bool IndexTable();
    // The whole record: header, table and resources.
    Int64 TotalSize() const;

private:
    // Start of each resource and the end of the last; empty when unknown.
    std::vector<Int64> FStarts;
};

class TXRHeaderList : public Generics::TObjectList<TXRHeaderObject> {
    X_CLASS(TXRHeaderList, Generics::TObjectList<TXRHeaderObject>)
};

class TXRGroupObject : public TXRObject {
    X_CLASS(TXRGroupObject, TXRObject)
public:
    void Create() override;

    // Body.Id must not change while the group is in a TXRGroupList, which
    // finds groups by it.
    TXRGroupBody Body;
    // The group data to write, uncompressed. Reading checks stored data
    // without keeping it, so this stays empty for a group read back.
    TOwnedPtr<TMemoryStream> Data;
    TOwnedPtr<TXRHeaderList> Headers;

    virtual bool ReadData(TStream* Stream, Int64 BaseOffset) = 0;
    virtual bool Write(TStream* Stream, Cardinal Signature, Int64 BaseOffset) = 0;
    Int64 RecordSize() const { return xrGroupRecordSize; }

    bool ReadRecord(TStream* Stream, Int64 BaseOffset);
    void WriteRecord(TStream* Stream, Cardinal Signature, Int64 BaseOffset);
    // False for a group known only from its headers.
    bool HasRecord() const { return Offset > 0; }
};

// The groups of a container with the classes made while reading.
class TXRGroupList : public Generics::TObjectList<TXRGroupObject> {
    X_CLASS(TXRGroupList, Generics::TObjectList<TXRGroupObject>)
public:
    TClass HeaderClass = nullptr;
    TClass GroupClass = nullptr;

    TXRGroupObject* Current() const { return FCurrent; }
    TXRGroupObject* FindGroupById(Cardinal Id) const;
    // The current group when its name matches, else the first that does;
    // names compare as ANSI bytes, case-sensitive.
    TXRGroupObject* FindGroupByName(StringView Name) const;
    TXRGroupObject* SelectGroup(StringView Name);
    Cardinal NextGroupId() const;

    TXRGroupObject* NewGroup() const;
    TXRHeaderObject* NewHeader() const;

protected:
    void Notify(TXRGroupObject* const& Item, TCollectionNotification Action) override;

private:
    // The groups of each id, so that a scan finds a record's group at once.
    // First is the group found, null when a second one of the id came and
    // went (the list is searched then).
    struct TIdEntry {
        TXRGroupObject* First = nullptr;
        Integer Count = 0;
    };
    std::unordered_map<Cardinal, TIdEntry> FById;
    TXRGroupObject* FCurrent = nullptr;
};

// Sender is the container stream; Accept starts true.
using TXRHeaderEvent = std::function<void(TObject* Sender, bool& Accept)>;

// Operations clear the calling thread's error record first (BeginHeader,
// EndHeader and the two resource reads do not), answer a Boolean and
// record 41 (CRC or slot), 42 (header or identity refused), 44 (open or
// read), 45 (write), 46 (scan stopped on damage) or 47 (no end record; the
// open still succeeds).
//
// A container created over a file (flag 1, base offset 0) is written to a
// temporary file beside it, which Close puts in the file's place; one that
// is freed or reopened before Close, or whose writing failed, leaves the
// file as it was. Every other write goes into the stream in place, and a
// write that fails is undone: the stream is cut back to its length before
// it and the slot it began at is written again.
class TXRStream : public TXPersistent {
    X_CLASS(TXRStream, TXPersistent)
public:
    using inherited::Create;
    ~TXRStream() override;
    void Create() override;

    virtual void SetSignatures(Word Base) = 0;
    virtual void Reset();
    virtual bool ReadRecords(IXProgress* Progress) = 0;
    virtual bool AddGroup(Integer Id, const String& Name, IXProgress* Progress, TStream* Data) = 0;
    virtual bool BeginHeader(Integer GroupId, Integer Kind, IXProgress* Progress, Word Count) = 0;
    virtual bool AddResourceBuffer(Integer Kind, const void* Buffer, IXProgress* Progress, Integer Size) = 0;
    virtual bool AddResourceStream(Integer Kind, TStream* Source, IXProgress* Progress, Int64 Count, Int64 Start) = 0;
    virtual bool EndHeader() = 0;
    // Capacity is the size of Buffer; the resource must fit it. Length
    // receives the bytes read.
    virtual bool ReadResourceBuffer(TXRHeaderObject* Header, Word Index, IXProgress* Progress, void* Buffer,
        Int64 Capacity, Int64* Length = nullptr) = 0;
    // Dest receives exactly the resource's bytes.
    virtual bool ReadResourceStream(TXRHeaderObject* Header, Word Index, IXProgress* Progress, TStream* Dest) = 0;
    virtual bool OpenStream(Byte Flags, TStream* Stream, bool RaiseErrors, IXProgress* Progress, Int64 BaseOffset);
    virtual bool OpenFile(Byte Flags, const String& FileName, bool RaiseErrors, IXProgress* Progress, Int64 BaseOffset);
    virtual bool OpenStreamAppend(Byte Flags, TStream* Stream, bool RaiseErrors, IXProgress* Progress,
        Int64 BaseOffset);
    virtual bool OpenFileAppend(Byte Flags, const String& FileName, bool RaiseErrors, IXProgress* Progress,
        Int64 BaseOffset);
    virtual bool CompactTo(TStream* Dest, IXProgress* Progress, bool RaiseErrors) = 0;

    void SetIdentity(const TXRIdentity& Identity);
    const TXRIdentity& Identity() const { return FHeader; }
    bool CheckIdentity(Integer Value1, Integer Value2, Integer Value3);
    bool CheckIdentity(Integer Value1, Integer Value2, Integer Value3, Integer Value4, Integer Value5);
    bool CheckIdentity(Integer Value1, Integer Value2, Integer Value3, Integer Value4, Integer Value5,
        const String& Name);
    bool ReadHeader();
    bool WriteHeader(bool RaiseErrors);
    // False (45) when a container created over a file could not be put in
    // its place, or a write into it had failed (the file stays as it was).
    bool Close();
    // An update of several records written in place: BeginUpdate notes the
    // stream's length and its end slot; CancelUpdate cuts the stream back
    // to that length and writes the old end slot again, undoing every
    // record written since, and counts as a failed write. Never raises.
    void BeginUpdate();
    void CancelUpdate();
    bool IsOpen() const { return FOpen; }
    bool IsOpenForRead() const { return FOpen && (FFlags & xroRead); }
    bool IsOpenForWrite() const { return FOpen && (FFlags & xroWrite); }
    bool AppendMode() const { return FAppend; }
    bool Damaged() const { return FDamaged; }
    bool EndSeen() const { return FEndSeen; }
    Int64 BaseOffset() const { return FBaseOffset; }
    Int64 EndOffset() const { return FEndOffset; }
    TStream* Stream() const { return FStream; }
    TXRGroupList* Groups() const { return FGroups.get(); }
    Byte CompressionLevel() const { return FCompressionLevel; }
    // The resource count of the header last read from (0 after a failure).
    Word LastReadCount() const { return FLastReadCount; }

    TXRHeaderEvent OnHeader;

    bool AddNamedGroup(const String& Name, TStream* Data, bool RaiseErrors, IXProgress* Progress);
    bool AddNamedGroupText(const String& Name, const String& Text, bool RaiseErrors, IXProgress* Progress);
    bool BeginNamedHeader(const String& GroupName, Integer Kind, bool RaiseErrors, IXProgress* Progress, Word Count);
    bool EndNamedHeader(bool RaiseErrors);
    bool AddResource(Integer Kind, TStream* Stream, bool RaiseErrors, IXProgress* Progress);
    bool AddResourceText(Integer Kind, const String& Text, bool RaiseErrors, IXProgress* Progress);
    bool AddSingleResourceHeader(const String& GroupName, Integer Kind, bool RaiseErrors, IXProgress* Progress,
        TStream* Stream, Integer ResourceKind);
    bool ReadResource(const String& GroupName, Integer HeaderIndex, bool RaiseErrors, IXProgress* Progress,
        TStream* Dest, Word ResourceIndex);
    bool ReadResourceText(const String& GroupName, Integer HeaderIndex, bool RaiseErrors, IXProgress* Progress,
        String& Text, Word ResourceIndex);
    bool ReadNamedResourceOfKind(const String& GroupName, Integer Kind, bool RaiseErrors, IXProgress* Progress,
        TStream* Dest, Word ResourceIndex, Integer HeaderIndex);

    Cardinal FileSignature() const { return FSigFile; }
    Cardinal LinkSignature() const { return FSigLink; }
    Cardinal GroupSignature() const { return FSigGroup; }
    Cardinal HeaderSignature() const { return FSigHeader; }
    Cardinal EndSignature() const { return FSigEnd; }

protected:
    // Append mode without a scan of the chain; here a plain scan.
    virtual bool OpenForAppend(IXProgress* Progress) { return ReadRecords(Progress); }
    // Forgets the header being written; with Undo, its bytes are taken out
    // of the stream as well.
    void DiscardCurrentHeader(bool Undo = true);
    // Before a write that starts at the slot Offset (relative to the base):
    // notes what UndoWrite needs. A header's mark lasts until it ends.
    void MarkWrite(Int64 Offset, Int64 Count);
    // After a failed write: the stream cut back to its marked length, the
    // marked bytes written again, the end offset as it was. Never raises.
    void UndoWrite();
    // Undoes the write and remembers that one failed.
    void WriteFailed();

    TXRIdentity FHeader;
    Cardinal FSigFile = 0, FSigLink = 0, FSigGroup = 0, FSigHeader = 0, FSigEnd = 0;
    Int64 FBaseOffset = 0;
    Int64 FEndOffset = 0;
    TStream* FStream = nullptr; // FOwnedStream or a caller's stream
    TOwnedPtr<TStream> FOwnedStream;
    bool FOpen = false;
    bool FAppend = false;
    Byte FFlags = 0;
    bool FDamaged = false;
    bool FEndSeen = false;
    Byte FCompressionLevel = 2;
    TOwnedPtr<TXRGroupList> FGroups;
    // The header being written; a group's list takes it when it ends.
    TOwnedPtr<TXRHeaderObject> FCurrentHeader;
    Word FResourceCounter = 0;
    // Where the next resource of the current header goes.
    Int64 FWritePos = 0;
    Word FLastReadCount = 0;
    // A write failed since the container was opened.
    bool FWriteFailed = false;

private:
    struct TWriteMark {
        bool Set = false;
        Int64 Length = 0;
        Int64 At = 0;
        std::vector<Byte> Bytes;
        Int64 EndOffset = 0;
    };
    TWriteMark FMark;
    TWriteMark FUpdateMark;
    // Held on an existing file while a new container is written beside it,
    // so that it is opened exclusively as a container file written in
    // place would be.
    TOwnedPtr<TStream> FTargetLock;

    bool DoOpenStream(Byte Flags, TStream* Stream, bool RaiseErrors, IXProgress* Progress, Int64 BaseOffset,
        bool Append);
    bool DoOpenFile(Byte Flags, const String& FileName, bool RaiseErrors, IXProgress* Progress, Int64 BaseOffset,
        bool Append);
    bool DoOpen(Byte Flags, TStream* Stream, IXProgress* Progress, Int64 BaseOffset, bool Append);
};
