#include "PictureFuzz.h"
#include "gdi/PngImage.h"
#include <zlib.h>

namespace {

// Every whole chunk gets its right checksum, so mutations reach the
// chunk readers instead of stopping at the checksum.
void FixChecksums(std::vector<Byte>& B)
{
    for (size_t At = 8; At + 12 <= B.size();) {
        const size_t Length = size_t(B[At]) << 24 | size_t(B[At + 1]) << 16 | size_t(B[At + 2]) << 8 | B[At + 3];
        if (Length > B.size() - At - 12)
            return;
        const uLong Crc = crc32(0, B.data() + At + 4, uInt(Length + 4));
        for (int I = 0; I < 4; ++I)
            B[At + 8 + Length + size_t(I)] = Byte(Crc >> (24 - 8 * I));
        At += Length + 12;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    std::vector<Byte> Bytes(Data, Data + Size);
    FixChecksums(Bytes);
    TOwnedPtr<TBytesStream> Stream(New<TBytesStream>(std::move(Bytes)));
    TOwnedPtr<TPngImage> Picture(MakeOwned<TPngImage>());
    FuzzPicture(Picture.get(), Stream.get());
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
    Seeds.AddFromTool("palette.png",
        { "convert", "-size", "6x3", "gradient:red-blue", "-alpha", "set", "-fill", "none", "-draw", "matte 1,1 point",
            "PNG8:{}" });
    Seeds.AddFromTool("grey.png",
        { "convert", "-size", "6x3", "gradient:white-black", "-type", "Grayscale", "PNG:{}" });
    Seeds.AddFromTool("16bit.png", { "convert", "-size", "6x3", "gradient:red-blue", "-depth", "16", "PNG48:{}" });
    Seeds.AddFromTool("interlaced.png",
        { "convert", "-size", "6x3", "gradient:red-blue", "-interlace", "PNG", "PNG24:{}" });
}
