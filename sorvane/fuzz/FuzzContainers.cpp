#include "FuzzCarver.h"

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

void FuzzSeeds(TFuzzSeeds& Seeds)
{
    Seeds.Add("mp4",
        RawBytes("\x02\x00\x00\x00\x18"
                 "ftypmp42\x00\x00\x00\x00mp42isom\x00\x00\x00\x08mdat",
            33));
}
