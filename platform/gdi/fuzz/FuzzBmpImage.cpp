#include "PictureFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    TOwnedPtr<TBitmap> Picture(MakeOwned<TBitmap>());
    FuzzPicture(Picture.get(), FuzzStream(Data, Size).get());
    return 0;
}

void FuzzSeeds(TFuzzSeeds& Seeds)
{
    for (TPixelFormat Format : { pf24bit, pf32bit }) {
        TOwnedPtr<TMemoryStream> Out(MakeOwned<TMemoryStream>());
        SampleBitmap(Format)->SaveToStream(Out.get());
        Seeds.Add(Format == pf24bit ? "24bit.bmp" : "32bit.bmp", Out.get());
    }
    // The kinds our writer does not make: palettes, run lengths, 16-bit, OS/2 headers.
    Seeds.AddFromTool("palette.bmp", { "convert", "-size", "5x3", "gradient:red-blue", "-type", "Palette", "BMP3:{}" });
    Seeds.AddFromTool("rle8.bmp",
        { "convert", "-size", "6x3", "gradient:red-blue", "-type", "Palette", "-compress", "RLE", "BMP3:{}" });
    Seeds.AddFromTool("mono.bmp", { "convert", "-size", "9x2", "pattern:checkerboard", "-monochrome", "BMP3:{}" });
    Seeds.AddFromTool("16bit.bmp",
        { "convert", "-size", "4x3", "gradient:red-blue", "-define", "bmp:subtype=RGB565", "BMP:{}" });
    Seeds.AddFromTool("os2.bmp", { "convert", "-size", "4x3", "gradient:red-blue", "BMP2:{}" });
}
