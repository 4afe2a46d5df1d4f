// The class library's streams: the abstract TStream with 64-bit positions,
// streams over a file descriptor and a named file (with the class library's
// open and share modes), and streams over memory, a byte vector and text.
//
//     TOwnedPtr<TFileStream> F(New<TFileStream>(Name, fmOpenRead | fmShareDenyWrite));
//     F->ReadBuffer(&Header, sizeof Header);
//
// Read and Write answer the number of bytes moved (-1 when the system
// refused a file operation before anything moved); ReadBuffer and
// WriteBuffer move everything or raise EReadError / EWriteError.
#pragma once
#include "rtl/Object.h"
#include <type_traits>
#include <vector>

// Word-sized, as in the class library: any origin a caller passes is a
// value of the type, and each stream refuses the ones it does not know.
enum TSeekOrigin : Word { soBeginning, soCurrent, soEnd };

// File open modes: one access mode or'ed with one share mode, or fmCreate
// (create or truncate, read-write) or fmCreateNew (a new file only,
// read-write) or'ed with a share mode.
constexpr Word fmCreate = 0xFF00;
// Refused with EEXIST when anything of that name exists, a link included
// (nothing already there is opened, followed or truncated).
constexpr Word fmCreateNew = 0xFE00;
constexpr Word fmOpenRead = 0x0000;
constexpr Word fmOpenWrite = 0x0001;
constexpr Word fmOpenReadWrite = 0x0002;
constexpr Word fmShareCompat = 0x0000; // treated as fmShareExclusive
constexpr Word fmShareExclusive = 0x0010;
constexpr Word fmShareDenyWrite = 0x0020;
constexpr Word fmShareDenyRead = 0x0030;
constexpr Word fmShareDenyNone = 0x0040;

class TStream : public TObject {
    X_CLASS(TStream, TObject)
public:
    virtual Int64 Read(void* Buffer, Int64 Count) = 0;
    virtual Int64 Write(const void* Buffer, Int64 Count) = 0;
    // Answers the new position, -1 when it cannot be reached.
    virtual Int64 Seek(Int64 Offset, TSeekOrigin Origin) = 0;

    Int64 Position() { return Seek(0, soCurrent); }
    void SetPosition(Int64 Pos) { Seek(Pos, soBeginning); }
    virtual Int64 Size();
    // Streams that cannot change their size raise EStreamError.
    virtual void SetSize(Int64 NewSize);

    void ReadBuffer(void* Buffer, Int64 Count);
    void WriteBuffer(const void* Buffer, Int64 Count);
    // Copies Count bytes from Source's position; Count 0 (or less) copies
    // the whole Source from its beginning. Answers the bytes copied.
    Int64 CopyFrom(TStream* Source, Int64 Count);

    template<class T>
    Int64 ReadData(T& Value)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        return Read(&Value, sizeof(T));
    }
    template<class T>
    Int64 WriteData(const T& Value)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        return Write(&Value, sizeof(T));
    }
    template<class T>
    void ReadBufferData(T& Value)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        ReadBuffer(&Value, sizeof(T));
    }
    template<class T>
    void WriteBufferData(const T& Value)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        WriteBuffer(&Value, sizeof(T));
    }
};

// A stream over a file descriptor it does not own.
class THandleStream : public TStream {
    X_CLASS(THandleStream, TStream)
public:
    void Create(int AHandle);
    int Handle() const { return FHandle; }

    Int64 Read(void* Buffer, Int64 Count) override;
    Int64 Write(const void* Buffer, Int64 Count) override;
    Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
    // Truncates or extends the file (sparse) and moves to NewSize; raises
    // EOSError when the system refuses.
    void SetSize(Int64 NewSize) override;

protected:
    int FHandle = -1;
};

// A named file opened with one of the modes above. The share modes hold
// between all opens of the file, in this process and in others. A refused
// open raises EFOpenError (EFCreateError for fmCreate) whose ErrorCode is
// the errno; EBUSY means another open's share mode refused this one.
class TFileStream : public THandleStream {
    X_CLASS(TFileStream, THandleStream)
public:
    // Rights: permission bits of a file that fmCreate makes (before umask).
    void Create(const String& AFileName, Word Mode, Cardinal Rights = 0666);
    ~TFileStream() override;
    const String& FileName() const { return FFileName; }

private:
    String FFileName;
};

// A stream over a block of memory; reads and seeks, the writing is the
// descendants' business.
class TCustomMemoryStream : public TStream {
    X_CLASS(TCustomMemoryStream, TStream)
public:
    Int64 Read(void* Buffer, Int64 Count) override;
    Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
    Int64 Size() override { return FSize; }
    void* Memory() const { return FMemory; }
    // Writes the whole content, whatever the position.
    void SaveToStream(TStream* Stream);
    // Replaces the file in one rename (SafeSave.h): a failure keeps the old one.
    void SaveToFile(const String& FileName);

protected:
    void SetPointer(void* Ptr, Int64 Size);
    void* FMemory = nullptr;
    Int64 FSize = 0;
    Int64 FPosition = 0;
};

// A growing block of memory. Bytes between the old end and a write or size
// beyond it read as zeros.
class TMemoryStream : public TCustomMemoryStream {
    X_CLASS(TMemoryStream, TCustomMemoryStream)
public:
    ~TMemoryStream() override;
    Int64 Write(const void* Buffer, Int64 Count) override;
    void SetSize(Int64 NewSize) override;
    Int64 Capacity() const { return FCapacity; }
    void SetCapacity(Int64 NewCapacity);
    void Clear();
    // Replaces the content with the whole Stream, read from its beginning.
    void LoadFromStream(TStream* Stream);
    void LoadFromFile(const String& FileName);

protected:
    // Answers a block of NewCapacity bytes holding the current content
    // (null for 0); may round NewCapacity up.
    virtual void* Realloc(Int64& NewCapacity);

private:
    void Grow(Int64 NewSize);
    Int64 FCapacity = 0;
};

// A memory stream kept in a byte vector. As in the class library, Bytes
// holds Capacity bytes of which the first Size are the data.
class TBytesStream : public TMemoryStream {
    X_CLASS(TBytesStream, TMemoryStream)
public:
    void Create() override { }
    void Create(std::vector<Byte> ABytes);
    ~TBytesStream() override;
    const std::vector<Byte>& Bytes() const { return FBytes; }

protected:
    void* Realloc(Int64& NewCapacity) override;

private:
    std::vector<Byte> FBytes;
};

// A bytes stream holding text as UTF-8.
class TStringStream : public TBytesStream {
    X_CLASS(TStringStream, TBytesStream)
public:
    void Create() override { }
    void Create(const String& AString);
    String DataString() const;
};
