#include "PictureFuzz.h"
#include "PngImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    TOwnedPtr<TPngImage> Picture(MakeOwned<TPngImage>());
    FuzzPicture(Picture.get(), FuzzStream(Data, Size).get());
    return 0;
}

void FuzzSeeds(TFuzzSeeds& Seeds)
{
    for (TPixelFormat Format : { pf24bit, pf32bit }) {
        TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
        Png->Assign(SampleBitmap(Format).get());
        TOwnedPtr<TMemoryStream> Out(MakeOwned<TMemoryStream>());
        Png->SaveToStream(Out.get());
        Seeds.Add(Format == pf24bit ? "rgb.png" : "rgba.png", Out.get());
    }
    // The kinds our writer does not make.
    Seeds.AddFromTool("palette.png", "/usr/bin/convert -size 6x3 gradient:red-blue -alpha set -fill none -draw 'matte 1,1 point' PNG8:{}");
    Seeds.AddFromTool("grey.png", "/usr/bin/convert -size 6x3 gradient:white-black -type Grayscale PNG:{}");
    Seeds.AddFromTool("16bit.png", "/usr/bin/convert -size 6x3 gradient:red-blue -depth 16 PNG48:{}");
    Seeds.AddFromTool("interlaced.png", "/usr/bin/convert -size 6x3 gradient:red-blue -interlace PNG PNG24:{}");
}
