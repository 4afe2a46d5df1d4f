// The face of a recovery source: a buffered stream opened from a path.
#pragma once
#include "rtl/Interfaces.h"

class TStream;
class TXCustomBufStream;

struct IXStreamIO : IInterface {
    X_GUID("{D8CF6B0E-EEE3-4C50-AAFD-94F09AF25198}")
    // The open stream; null while closed.
    virtual TXCustomBufStream* Stream() = 0;
    // Never raise: false with the reason in the calling thread's error record.
    virtual bool Open(const String& APath, Byte AOpenFlags) = 0;
    virtual bool Check() = 0;
    virtual void Close() = 0;
    virtual bool SaveToStream(TStream* Target) = 0;
    virtual bool SaveToFile(const String& FileName) = 0;
};
