#include "graphics/XSpark.Skin.Data.Win.h"
#include "gdi/Icon.h"
#include "gdi/PngImage.h"
#include "graphics/XMedia.Resample.h"
#include "graphics/XSpark.Skin.h"
#include "rtl/StrUtils.h"
#include "rtl/Streams.h"
#include "rtl/Units.h"

X_REGISTER_CLASS(TxskWinData)

#include "SkinPictures.inc"

namespace {

TxskWinData* TheData = nullptr;

void InitWinData()
{
    TheData = New<TxskWinData>(nullptr);
}

void DoneWinData()
{
    FreeAndNil(TheData);
}

TXImagesBox* NewBox(TComponent* Owner, const String& Name)
{
    TXImagesBox* Box = New<TXImagesBox>(Owner);
    Box->SetName(Name);
    return Box;
}

TXImageItem* AddItem(TXImagesBox* Box, const String& Name)
{
    auto* Item = static_cast<TXImageItem*>(Box->Images()->Add());
    Item->SetDisplayName(Name);
    return Item;
}

void LoadGraphic(TXImageItem* Item, TGraphic* Graphic, std::span<const Byte> Data)
{
    TOwnedPtr<TBytesStream> Stream(New<TBytesStream>(std::vector<Byte>(Data.begin(), Data.end())));
    Graphic->LoadFromStream(Stream.get());
    Item->ImageData()->LoadFromObject(Graphic);
}

// The icon file's entry of exactly Size x Size pixels as an icon file of
// its own; empty when the data holds no such entry that decodes.
std::vector<Byte> IconAtSize(std::span<const Byte> Data, Integer Size)
{
    TIconFile File;
    if (!ReadIconFile(Data, File))
        return {};
    const size_t Best = SelectIconEntry(File, Size, Size, 32);
    const TIconEntry& E = File.Entries[Best];
    TIconImage Image;
    if (E.Width != Size || E.Height != Size || !ReadIconImage(File, Best, Image))
        return {};
    const Cardinal Offset = 6 + 16;
    std::vector<Byte> Out { 0, 0, 1, 0, 1, 0, Byte(Size), Byte(Size), Byte(E.ColorCount), 0, 1, 0, Byte(E.BitCount),
        Byte(E.BitCount >> 8), Byte(E.Size), Byte(E.Size >> 8), Byte(E.Size >> 16), Byte(E.Size >> 24), Byte(Offset), 0,
        0, 0 };
    const auto Picture = Data.subspan(E.Offset, E.Size);
    Out.insert(Out.end(), Picture.begin(), Picture.end());
    return Out;
}

// Item 0's picture resampled to 48, 32 and 16 pixels into items 1 to 3.
void FillSizes(TXImagesBox* Box, std::span<const Byte> Png64)
{
    TOwnedPtr<TPngImage> Source(New<TPngImage>());
    LoadGraphic(AddItem(Box, u"64"), Source.get(), Png64);
    for (Integer Size : { 48, 32, 16 }) {
        TOwnedPtr<TPngImage> Small(New<TPngImage>());
        LanczosResamplePng(Source.get(), Small.get(), Size, Size, XLanczosKernel());
        AddItem(Box, IntToStr(Size))->ImageData()->LoadFromObject(Small.get());
    }
}

}

X_UNIT(XSpark_Skin_Data_Win, "XSpark.Skin.Data.Win", ({ "XSpark.Skin", "XMedia.Resample" }), &InitWinData, &DoneWinData)

void TxskWinData::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FAppImages = NewBox(this, u"AppImages");
    FInfoImages = NewBox(this, u"InfoImages");
    FQuestionImages = NewBox(this, u"QuestionImages");
    FErrorImages = NewBox(this, u"ErrorImages");
    FWarningImages = NewBox(this, u"WarningImages");

    // The application's icon is the program's main icon here.
    TOwnedPtr<TIcon> Icon(New<TIcon>());
    LoadGraphic(AddItem(FAppImages, u"Application"), Icon.get(), ProgramIconData());
    for (Integer Size : { 16, 48 }) {
        const std::vector<Byte> One = IconAtSize(ProgramIconData(), Size);
        if (One.empty())
            continue;
        TOwnedPtr<TIcon> Sized(New<TIcon>());
        LoadGraphic(AddItem(FAppImages, u"Application" + IntToStr(Size)), Sized.get(), One);
    }

    FillSizes(FInfoImages, InformationPng);
    FillSizes(FQuestionImages, QuestionPng);
    FillSizes(FErrorImages, ErrorPng);
    FillSizes(FWarningImages, WarningPng);

    if (TXQVSkin* Skin = QVSkin()) {
        Skin->SetAppImages(FAppImages);
        Skin->SetErrorImages(FErrorImages);
        Skin->SetInfoImages(FInfoImages);
        Skin->SetQuestionImages(FQuestionImages);
        Skin->SetWarningImages(FWarningImages);
    }
}

TxskWinData* xskWinData()
{
    return TheData;
}

std::span<const Byte> ProgramIconData()
{
    return ProgramIcon;
}
