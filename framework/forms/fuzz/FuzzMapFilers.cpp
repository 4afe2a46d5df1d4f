#include "rtl/testing/FuzzTarget.h"
#include "gdi/Bitmap.h"
#include "gdi/PngImage.h"
#include "forms/XSpark.Maps.Filers.h"

namespace {

// A small PNG for the seeds.
void LoadPicture(TXImageObject* Into, TColor Color)
{
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    Bmp->SetPixelFormat(pf24bit);
    Bmp->SetSize(12, 8);
    Bmp->FillRect(Rect(0, 0, 12, 8), Color);
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->Assign(Bmp.get());
    Into->LoadFromObject(Png.get());
}

// Every picture that loaded is decoded, as a map control would.
void DecodeAll(TXImageCollection* Images)
{
    for (Integer I = 0; I < Images->Count(); ++I)
        XGuarded(xecReadFailed, false, [&] { TOwnedPtr<TGraphic> G(Images->Items(I)->ImageData()->ToGraphic()); });
}

} // namespace

// The first byte picks the filer; the rest is the file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    if (Size == 0)
        return 0;
    TOwnedPtr<TBytesStream> Stream(FuzzStream(Data + 1, Size - 1));
    if (Data[0] % 2 == 0) {
        TOwnedPtr<TXSimpleMapObject> Map(New<TXSimpleMapObject>());
        FilerLoadFromStream(Stream.get(), TXRSimpleMapObjectFiler::StaticClass(), Map.get(), false, nullptr);
        XGuarded(xecReadFailed, false, [&] { TOwnedPtr<TGraphic> G(Map->ToGraphic()); });
    } else {
        TOwnedPtr<TXMapObject> Map(New<TXMapObject>());
        FilerLoadFromStream(Stream.get(), TXRMapObjectFiler::StaticClass(), Map.get(), false, nullptr);
        DecodeAll(Map->Images());
    }
    return 0;
}

void FuzzSeeds(TFuzzSeeds& Seeds)
{
    TOwnedPtr<TXSimpleMapObject> Simple(New<TXSimpleMapObject>());
    LoadPicture(Simple.get(), clRed);
    Simple->Hit()->SetHit(xhtWeb);
    Simple->Hit()->SetArgs(u"https://example.com/");
    TOwnedPtr<TXMapObject> Map(New<TXMapObject>());
    Map->SetImagesSuffix(u"menu");
    Map->Areas()->Add()->SetArea(u"1,1,6,4");
    for (const char16_t* Name : { u"Off_menu", u"Hot_menu" }) {
        TXImageItem* Item = Map->Images()->Add();
        Item->SetName(Name);
        LoadPicture(Item->ImageData(), clBlue);
    }
    const std::pair<TClass, TObject*> Kinds[] = { { TXRSimpleMapObjectFiler::StaticClass(), Simple.get() },
        { TXRMapObjectFiler::StaticClass(), Map.get() } };
    for (Byte Kind = 0; Kind < 2; ++Kind) {
        TOwnedPtr<TMemoryStream> Seed(MakeOwned<TMemoryStream>());
        Seed->WriteBuffer(&Kind, 1);
        FilerSaveToStream(Seed.get(), Kinds[Kind].first, Kinds[Kind].second, false, nullptr);
        Seeds.Add(Kind == 0 ? "simple-map" : "map", Seed.get());
    }
}
