#include "gdi/JpegImage.h"
#include "PictureFuzz.h"

// The first byte picks the scale the picture is decoded at.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    if (Size == 0)
        return 0;
    TOwnedPtr<TJPEGImage> Picture(MakeOwned<TJPEGImage>());
    Picture->SetScale(TJPEGScale(Data[0] % 4));
    FuzzPicture(Picture.get(), FuzzStream(Data + 1, Size - 1).get());
    return 0;
}

void FuzzSeeds(TFuzzSeeds& Seeds)
{
    for (Integer Quality : { 10, 90 }) {
        TOwnedPtr<TJPEGImage> Jpeg(MakeOwned<TJPEGImage>());
        Jpeg->SetCompressionQuality(Quality);
        Jpeg->Assign(SampleBitmap(pf24bit).get());
        TOwnedPtr<TMemoryStream> Out(MakeOwned<TMemoryStream>());
        Out->WriteBuffer("\0", 1);
        Jpeg->SaveToStream(Out.get());
        Seeds.Add("quality" + std::to_string(Quality) + ".jpg", Out.get());
    }
    Seeds.AddFromTool("grey.jpg",
        { "convert", "-size", "17x9", "gradient:white-black", "-type", "Grayscale", "JPG:{}" }, RawBytes(1, '\1'));
    Seeds.AddFromTool("progressive.jpg",
        { "convert", "-size", "17x9", "gradient:red-blue", "-interlace", "JPEG", "JPG:{}" }, RawBytes(1, '\2'));
    Seeds.AddFromTool("cmyk.jpg", { "convert", "-size", "8x8", "xc:red", "-colorspace", "CMYK", "JPG:{}" },
        RawBytes(1, '\3'));
}
