// zlib compression of buffers, stream ranges and texts, with progress and
// CRC-32 protection. Data is written in the zlib format (window bits 15,
// memory level 8, default strategy). The framework's level byte: 0 stores
// (no zlib stream at all in the xZDecompress operations), 1 fastest,
// 2 zlib's default, 3 best.
//
//     Cardinal CRC; Int64 Start, Written;
//     if (!xZDecompress::CompressBufferCRC(Dest, CRC, Start, false, nullptr, 2, Size, Data, Written))
//         ... GetXErrorCode() is 45 ...
#pragma once
#include "core/XCore.Errors.h"
#include "rtl/Streams.h"
#include <memory>

struct IXProgress;

X_EXCEPTION(EZCompressionError, Exception)
X_EXCEPTION(EZDecompressionError, Exception)
// A load past its budget (TXLoadBudget). Readers that skip a bad value
// let this one through: the load as a whole is refused.
X_EXCEPTION(ELoadBudgetError, EZDecompressionError)

inline constexpr Byte xzlStore = 0;
inline constexpr Byte xzlFastest = 1;
inline constexpr Byte xzlDefault = 2;
inline constexpr Byte xzlBest = 3;

// Inflating stops with a failure past this size where the data's own
// record declares none, so a small body cannot fill the memory.
inline constexpr Int64 xzMaxInflatedSize = Int64(256) << 20;

// The rule for every load of outside data: what it inflates, reads whole
// and builds from the data (parse trees, word pairs, keys) is charged to
// one budget, and the budget of a load of a kind with an allowance of its
// own is xzLoadFactor times the bytes the load reads plus that allowance
// (never above xzMaxInflatedSize). Peak memory then follows the bytes read,
// not what inflation makes of them; a refused load raises, which the
// loads' guards turn into False and 44.
inline constexpr Int64 xzLoadFactor = 8;
// Settings files (the components' files, "card.ini") and their
// compressed form.
inline constexpr Int64 xzSettingsAllowance = Int64(16) << 20;
// Language files and word tables.
inline constexpr Int64 xzLanguageAllowance = Int64(16) << 20;
// xzLoadFactor * BytesRead + Allowance, capped at xzMaxInflatedSize.
Int64 LoadLimit(Int64 BytesRead, Int64 Allowance);

// One budget for everything a load inflates or reads whole into memory, so
// that many small bodies cannot add up to what one body may not reach.
// The first scope a thread opens sets the budget (256 MiB unless the data
// declares its size); scopes opened inside it share it, and one that
// declares a size adds that bound for its own span. Outside every scope
// only the limits of each call hold.
//
//     TXLoadBudget Budget;        // at a load's entry point
//     ... every inflate below counts against it ...
class TXLoadBudget {
public:
    TXLoadBudget();
    explicit TXLoadBudget(Int64 Declared);
    ~TXLoadBudget();
    TXLoadBudget(const TXLoadBudget&) = delete;
    TXLoadBudget& operator=(const TXLoadBudget&) = delete;

    // Counts Count more bytes against the open scopes of this thread;
    // raises ELoadBudgetError (and counts nothing) past a bound.
    static void Charge(Int64 Count);
    // What the open scopes still allow; xzMaxInflatedSize outside them.
    static Int64 Remaining();

private:
    TXLoadBudget* FOuter = nullptr;
    Int64 FLimit = 0;
    Int64 FUsed = 0;
};

// The zlib level of a level byte (above 3 counts as 3).
int ZLibLevel(Byte Level);

// Deflates into Dest. Finish ends the zlib stream (the rest and the
// checksum); destruction finishes a stream not yet finished and drops a
// failure there, so callers that report finish first.
class TXZCompressionStream : public TObject {
    X_CLASS(TXZCompressionStream, TObject)
public:
    using inherited::Create;
    TXZCompressionStream();
    ~TXZCompressionStream() override;
    void Create(TStream* Dest, Byte Level);

    void CompressBuffer(const void* Buffer, Int64 Count, IXProgress* Progress);
    // Count 0 copies the whole source from its beginning.
    void CompressStream(TStream* Source, Int64 Count, IXProgress* Progress);
    void Finish();

private:
    struct TState;
    void Deflate(const void* Buffer, Int64 Count, bool Final);
    void DoProgress();

    std::unique_ptr<TState> FState;
    TStream* FDest = nullptr;
    Int64 FTotal = 0;
    IXProgress* FProgress = nullptr;
};

// Inflates from Source, which it reads in blocks from its position on.
// Damaged data, a source that ends before the zlib stream does, and output
// past the thread's load budget (TXLoadBudget) raise EZDecompressionError.
class TXZDecompressionStream : public TObject {
    X_CLASS(TXZDecompressionStream, TObject)
public:
    using inherited::Create;
    TXZDecompressionStream();
    ~TXZDecompressionStream() override;
    void Create(TStream* Source);

    // Up to Count bytes; fewer only at the end of the zlib stream.
    Int64 DecompressBuffer(void* Buffer, Int64 Count, IXProgress* Progress);
    // Everything up to the end of the zlib stream; Total is the compressed
    // size for progress. More than Limit bytes raise.
    Int64 DecompressToStream(TStream* Dest, IXProgress* Progress, Int64 Total, Int64 Limit = xzMaxInflatedSize);
    bool Finished() const { return FEnded; }

private:
    struct TState;
    Int64 Inflate(Byte* Out, Int64 Count);
    void DoProgress();

    std::unique_ptr<TState> FState;
    TStream* FSource = nullptr;
    Int64 FTotal = 0;
    IXProgress* FProgress = nullptr;
    bool FByInput = false;
    bool FEnded = false;
};

// The compressed-data operations. Each catches every failure of its work,
// answers true or false and reports to the calling thread's error record
// (44 reading, 45 writing, 40 and 41 for CRC work); with Raise an EXError
// with the code follows a failure.
class xZDecompress {
public:
    static bool CompressBuffer(TStream* Dest, Int64& StartPos, Int64& Written, bool Raise, IXProgress* Progress,
        Byte Level, Int64 Count, const void* Buffer);
    // Count <= 0 writes nothing. Source must hold the whole range.
    static bool CompressStream(TStream* Dest, Int64& StartPos, Int64& Written, bool Raise, IXProgress* Progress,
        Byte Level, Int64 Count, Int64 Start, TStream* Source);
    static bool CompressMemoryStream(TStream* Dest, TCustomMemoryStream* Source, Byte Level, bool Raise,
        IXProgress* Progress);
    static bool CompressBufferCRC(TStream* Dest, Cardinal& CRC, Int64& StartPos, bool Raise, IXProgress* Progress,
        Byte Level, Int64 Count, const void* Buffer, Int64& Written);
    static bool CompressStreamRangeCRC(TStream* Dest, Cardinal& CRC, Int64& StartPos, bool Raise, IXProgress* Progress,
        Byte Level, Int64 Count, Int64 Start, TStream* Source, Int64& Written);
    static bool CompressStreamCRC(TStream* Dest, Cardinal& CRC, Int64& StartPos, bool Raise, IXProgress* Progress,
        Byte Level, TStream* Source, Int64& Written);

    // Exactly Count bytes must come out (fewer is a failure).
    static bool DecompressBuffer(TStream* Source, void* Buffer, bool Compressed, bool Raise, IXProgress* Progress,
        Int64 Count, Int64 Start);
    // Dest receives the data from its beginning and ends with it: an older,
    // longer content leaves no tail behind. A compressed range inflates to
    // at most Limit bytes.
    static bool DecompressStream(TStream* Source, TStream* Dest, bool Compressed, bool Raise, IXProgress* Progress,
        Int64 Count, Int64 Start, Int64 Limit = xzMaxInflatedSize);
    // Inflated text is in the ANSI code page, stored text in UTF-8.
    static bool DecompressText(TStream* Source, String& Text, bool Raise, IXProgress* Progress, bool Compressed,
        Int64 Count, Int64 Start);
    static bool DecompressStreamText(TStream* Source, String& Text, bool Raise, IXProgress* Progress, bool Compressed);
    static bool DecompressBufferCRC(TStream* Source, Cardinal Expected, void* Buffer, bool Raise, IXProgress* Progress,
        bool Compressed, Int64 Count, Int64 Start);
    static bool DecompressStreamCRC(TStream* Source, Cardinal Expected, TStream* Dest, bool Raise, IXProgress* Progress,
        bool Compressed, Int64 Count, Int64 Start, Int64 Limit = xzMaxInflatedSize);
};
