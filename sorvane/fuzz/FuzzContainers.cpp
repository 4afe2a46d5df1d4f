#include "FuzzTarget.h"

// MRW, AVI and QuickTime, chosen by the first byte.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    if (Size == 0)
        return 0;
    static TClass (*const Classes[])() = { &TXDRScanFormatMRW::StaticClass, &TXDRScanFormatAVI::StaticClass,
                                           &TXDRScanFormatMOV::StaticClass };
    FuzzCarver(Classes[Data[0] % 3](), Data + 1, Size - 1);
    return 0;
}
