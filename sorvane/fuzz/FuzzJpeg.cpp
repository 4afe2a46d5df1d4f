#include "gdi/Bitmap.h"
#include "FuzzCarver.h"
#include "gdi/JpegImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    FuzzCarver(TXDRScanFormatJPG::StaticClass(), Data, Size);
    return 0;
}

void FuzzSeeds(TFuzzSeeds& Seeds)
{
    Seeds.Add("minimal.jpg",
        RawBytes("\xff\xd8\xff\xe0\x00\x06JFIF\xff\xdb\x00\x04\x00\x00\xff\xda\x00\x04\x00\x00\x01\x02\xff\xd9", 26));
    // A whole picture from our encoder, so previews are made too.
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    Bmp->SetSize(24, 16);
    Bmp->FillRect(Rect(0, 0, 12, 16), RGB(200, 40, 90));
    TOwnedPtr<TJPEGImage> Jpeg(MakeOwned<TJPEGImage>());
    Jpeg->Assign(Bmp.get());
    TOwnedPtr<TMemoryStream> Out(MakeOwned<TMemoryStream>());
    Jpeg->SaveToStream(Out.get());
    Seeds.Add("picture.jpg", Out.get());
}
