// The container stream of the framework's container files.
//
//     auto C = MakeOwned<TXQStream>();
//     C->SetIdentity(Identity);
//     C->OpenFile(xroCreate | xroRead | xroWrite, Name, false, nullptr, 0);
//     C->AddNamedGroup(u"Data", nullptr, false, nullptr);
//     C->AddSingleResourceHeader(u"Data", 3, false, nullptr, Stream, -2);
//     C->Close();
//
// Reading scans the chain once (OpenStream/OpenFile with xroRead) and keeps
// the groups and their headers; resources are read on demand and checked
// against their CRC-32.
#pragma once
#include "core/XCore.RStream.h"

class TXQHeaderObject : public TXRHeaderObject {
    X_CLASS(TXQHeaderObject, TXRHeaderObject)
public:
    // Reads the table and checks its CRC and that its sizes fit the record;
    // Valid follows the result.
    bool ReadTable(TStream* Stream, Int64 BaseOffset) override;
    bool WriteTable(TStream* Stream, Int64 BaseOffset) override;
    // The table CRC over the table as it is now.
    void UpdateTableCRC();
};

class TXQGroupObject : public TXRGroupObject {
    X_CLASS(TXQGroupObject, TXRGroupObject)
public:
    // Checks the stored data against the data CRC as it inflates, within
    // the load's budget, and keeps none of it; Valid follows the result.
    bool ReadData(TStream* Stream, Int64 BaseOffset) override;
    // Deflates Data behind the record and writes the record.
    bool Write(TStream* Stream, Cardinal Signature, Int64 BaseOffset) override;
};

class TXQStream : public TXRStream {
    X_CLASS(TXQStream, TXRStream)
public:
    using inherited::Create;
    void Create() override;

    void SetSignatures(Word Base) override;
    bool ReadRecords(IXProgress* Progress) override;
    // Writes the group at the end; in append mode a name the container
    // already holds gets that group's id through AddNamedGroup.
    bool AddGroup(Integer Id, const String& Name, IXProgress* Progress, TStream* Data) override;
    bool BeginHeader(Integer GroupId, Integer Kind, IXProgress* Progress, Word Count) override;
    bool AddResourceBuffer(Integer Kind, const void* Buffer, IXProgress* Progress, Integer Size) override;
    bool AddResourceStream(Integer Kind, TStream* Source, IXProgress* Progress, Int64 Count, Int64 Start) override;
    bool EndHeader() override;
    bool ReadResourceBuffer(TXRHeaderObject* Header, Word Index, IXProgress* Progress, void* Buffer, Int64 Capacity,
        Int64* Length = nullptr) override;
    bool ReadResourceStream(TXRHeaderObject* Header, Word Index, IXProgress* Progress, TStream* Dest) override;
    bool CompactTo(TStream* Dest, IXProgress* Progress, bool RaiseErrors) override;

protected:
    // Positions at the end of the chain as a reader finds it, and learns
    // the groups already there so appended headers join them.
    bool OpenForAppend(IXProgress* Progress) override;

private:
    // The chain from offset 107; Quiet records no codes.
    bool Scan(bool Quiet);
    void ReadRecordAt(Int64 Offset, Int64 Limit, bool Quiet);
    void WriteEndRecord(TStream* Stream, Int64 Offset);
    void WriteLink(TStream* Stream, Int64 Offset, Int64 Next);
    bool WriteResource(Integer Kind, const void* Buffer, TStream* Source, Int64 Count, Int64 Start,
        IXProgress* Progress);
    TXRGroupObject* GroupForHeader(Cardinal GroupId);
};
