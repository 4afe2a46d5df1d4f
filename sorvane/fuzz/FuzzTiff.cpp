#include "FuzzCarver.h"

// Both the plain TIFF carver and the Panasonic one, which reads two more tags.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    if (Size == 0)
        return 0;
    FuzzCarver(Data[0] & 1 ? TXDRScanFormatRW2::StaticClass() : TXDRScanFormatTIF::StaticClass(), Data + 1, Size - 1);
    return 0;
}

void FuzzSeeds(TFuzzSeeds& Seeds)
{
    Seeds.Add("strip.tif",
        RawBytes("\x00II*\x00\x08\x00\x00\x00\x02\x00\x11\x01\x04\x00\x01\x00\x00\x00\x26\x00\x00\x00"
                 "\x17\x01\x04\x00\x01\x00\x00\x00\x04\x00\x00\x00\x00\x00\x00\x00"
                 "abcd",
            43));
}
