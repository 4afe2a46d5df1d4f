#include "FuzzTarget.h"

// Both the plain TIFF carver and the Panasonic one, which reads two more tags.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    if (Size == 0)
        return 0;
    FuzzCarver(Data[0] & 1 ? TXDRScanFormatRW2::StaticClass() : TXDRScanFormatTIF::StaticClass(), Data + 1, Size - 1);
    return 0;
}
