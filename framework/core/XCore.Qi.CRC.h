// CRC-32 as zlib and PNG compute it (reflected polynomial 0xEDB88320),
// over buffers and stream ranges. The stream forms report to the calling
// thread's error record: 40 when the stream could not be read, 41 when a
// check does not match.
#pragma once
#include "rtl/Streams.h"

// The CRC-32 of Count bytes; always true. Count 0 gives 0.
bool CRC32OfBuffer(Cardinal& CRC, const void* Buffer, Int64 Count);
// Reads the Count bytes from Start in blocks of 64 KiB. A range that the
// stream does not hold completely, or a stream that raises, gives CRC 0,
// false and code 40; success clears the record.
bool CRC32OfStreamRange(Cardinal& CRC, TStream* Stream, bool Raise, Int64 Count, Int64 Start);
bool CRC32OfStream(Cardinal& CRC, TStream* Stream, bool Raise);
// False with code 41 when the CRC differs from Expected.
bool CheckCRC32OfBuffer(Cardinal Expected, const void* Buffer, Int64 Count, bool Raise);
// False with code 40 when the stream cannot be read, 41 when it differs.
bool CheckCRC32OfStream(Cardinal Expected, TStream* Stream, bool Raise);

// Error codes of the CRC checks.
inline constexpr Integer xecCRCFailed = 40;
inline constexpr Integer xecCRCMismatch = 41;
