#include "FuzzTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    FuzzCarver(TXDRScanFormatJPG::StaticClass(), Data, Size);
    return 0;
}
