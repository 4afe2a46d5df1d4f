#include "PictureFuzz.h"
#include "gdi/Icon.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    const std::span<const Byte> Bytes(Data, Size);
    // Every entry decoded, and the chosen one drawn at a few sizes.
    TIconFile File;
    if (ReadIconFile(Bytes, File))
        for (size_t I = 0; I < File.Entries.size() && I < 64; ++I) {
            TIconImage Image;
            try {
                ReadIconImage(File, I, Image);
            } catch (const EInvalidGraphic&) { }
        }
    TOwnedPtr<TBitmap> Dest(MakeOwned<TBitmap>());
    Dest->SetSize(40, 40);
    for (Integer S : { 0, 16, 40 })
        DrawIconData(Dest->Canvas(), Rect(0, 0, S, S), Bytes);
    std::vector<Byte> Copy(Data, Data + Size);
    TOwnedPtr<TBytesStream> Stream(New<TBytesStream>(std::move(Copy)));
    TOwnedPtr<TIcon> Picture(MakeOwned<TIcon>());
    FuzzPicture(Picture.get(), Stream.get());
    return 0;
}

void FuzzSeeds(TFuzzSeeds& Seeds)
{
    Seeds.AddFromTool("four.ico",
        { "convert", "-size", "64x64", "xc:none", "-fill", "rgba(255,0,0,0.6)", "-draw", "circle 32,32 32,4", "-define",
            "icon:auto-resize=16,32,48", "ICO:{}" });
    Seeds.AddFromTool("png.ico",
        { "convert", "-size", "256x256", "gradient:red-blue", "-define", "icon:auto-resize=256", "ICO:{}" });
    Seeds.AddFromTool("palette.ico",
        { "convert", "-size", "16x16", "gradient:red-blue", "-colors", "16", "-type", "Palette", "ICO:{}" });
}
