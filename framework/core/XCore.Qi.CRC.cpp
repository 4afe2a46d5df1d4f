#include "core/XCore.Qi.CRC.h"
#include "core/XCore.Errors.h"
#include <algorithm>
#include <vector>
#include <zlib.h>

namespace {
constexpr Int64 CRCBlockSize = 0x10000;

Cardinal Update(Cardinal CRC, const void* Buffer, Int64 Count)
{
    return Cardinal(crc32_z(CRC, static_cast<const Bytef*>(Buffer), z_size_t(Count)));
}
}

bool CRC32OfBuffer(Cardinal& CRC, const void* Buffer, Int64 Count)
{
    CRC = (Count > 0 && Buffer) ? Update(0, Buffer, Count) : 0;
    return true;
}

bool CRC32OfStreamRange(Cardinal& CRC, TStream* Stream, bool Raise, Int64 Count, Int64 Start)
{
    CRC = 0;
    bool Ok = XGuarded(xecNone, false, [&] {
        if (!Stream || Count < 0 || Start < 0)
            throw EReadError(RtlText::ReadError);
        if (Stream->Seek(Start, soBeginning) != Start)
            throw EReadError(RtlText::ReadError);
        std::vector<Byte> Block(size_t(std::min(std::max(Count, Int64(1)), CRCBlockSize)));
        Cardinal Value = 0;
        for (Int64 Left = Count; Left > 0;) {
            Int64 N = std::min(Left, CRCBlockSize);
            Stream->ReadBuffer(Block.data(), N);
            Value = Update(Value, Block.data(), N);
            Left -= N;
        }
        CRC = Value;
    });
    ReportXResult(Ok, xecCRCFailed, 0, {}, Raise);
    return Ok;
}

bool CRC32OfStream(Cardinal& CRC, TStream* Stream, bool Raise)
{
    bool Ok =
        Stream && XGuarded(xecNone, false, [&] { return CRC32OfStreamRange(CRC, Stream, false, Stream->Size(), 0); });
    if (!Ok)
        CRC = 0;
    ReportXResult(Ok, xecCRCFailed, 0, {}, Raise);
    return Ok;
}

bool CheckCRC32OfBuffer(Cardinal Expected, const void* Buffer, Int64 Count, bool Raise)
{
    Cardinal CRC = 0;
    CRC32OfBuffer(CRC, Buffer, Count);
    if (CRC == Expected)
        return true;
    SetXError(xecCRCMismatch, 0, {}, Raise);
    return false;
}

bool CheckCRC32OfStream(Cardinal Expected, TStream* Stream, bool Raise)
{
    Cardinal CRC = 0;
    if (!CRC32OfStream(CRC, Stream, Raise))
        return false;
    if (CRC == Expected)
        return true;
    SetXError(xecCRCMismatch, 0, {}, Raise);
    return false;
}
