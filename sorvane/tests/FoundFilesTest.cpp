// Found files, their status pairs, the file-type choice, and the picture
// size limit of thumbnails.
#include "gdi/Bitmap.h"
#include "rtl/StringList.h"
#include "rtl/Streams.h"
#include "sorvane/XDR.Classes.h"
#include "gdi/JpegImage.h"
#include "sorvane/XDR.Work.P.h"
#include <cstring>
#include <gtest/gtest.h>

namespace {

std::vector<String> Texts(TStringList* L)
{
    std::vector<String> V;
    for (Integer I = 0; I < L->Count(); ++I)
        V.push_back(L->Strings(I));
    return V;
}

} // namespace

TEST(FoundFiles, StatusPairsExcludeEachOther)
{
    TXDRFileStatusSet S = 0;
    SetEntryStatus(S);
    SetDeletedEntryStatus(S);
    EXPECT_EQ(S, DRStatusBit(drDeletedEntry));
    EXPECT_TRUE(IsDeletedEntry(S));
    SetThumbnailResult(S, true);
    SetThumbnailResult(S, false);
    SetScanValidStatus(S);
    EXPECT_EQ(StatusText(S), u"[drThnError, drDeletedEntry, drScanValid]");
}

TEST(FoundFiles, ItemsAndCollection)
{
    TOwnedPtr<TXDRFileCollection> Files(New<TXDRFileCollection>(static_cast<TPersistent*>(nullptr)));
    TXDRFileItem* A = Files->Add();
    A->Extension = u".jpg";
    A->Blocks()->Add(0, 1000);
    TXDRFileItem* B = Files->Add();
    B->Extension = u".avi";
    B->Blocks()->Add(4096, 50);
    B->Blocks()->Add(9000, 50);
    EXPECT_TRUE(A->HasExtension(u".JPG"));
    EXPECT_FALSE(A->HasAnyExtension(std::vector<String> {}));
    EXPECT_EQ(TXDRFileItemsSelectedSize(Files.get()), 1100);
    TXDRFileItemsSetSelected(Files.get(), { u".JPG", u".avi" }, false);
    EXPECT_FALSE(TXDRFileItemsAnySelected(Files.get()));
    EXPECT_EQ(TXDRFileItemsSelectedSize(Files.get()), 0);
    EXPECT_EQ(TXDRFileItemsIndexOfBlocks(Files.get(), B->Blocks()), 1);

    // A copy keeps everything, the blocks and the thumbnail included.
    B->Name = u"clip";
    SetScanValidStatus(B->Status);
    B->ImageSize.Create(96, 64);
    TOwnedPtr<TBitmap> Pixels(New<TBitmap>());
    Pixels->SetSize(4, 3);
    ASSERT_TRUE(B->Thumbnail()->LoadFromObject(Pixels.get()));
    TXDRFileItem* C = Files->Add();
    C->Assign(B);
    EXPECT_EQ(C->Name, u"clip");
    EXPECT_EQ(C->Status, B->Status);
    EXPECT_EQ(C->ImageSize, B->ImageSize);
    ASSERT_EQ(C->Thumbnail()->DataStream()->Size(), B->Thumbnail()->DataStream()->Size());
    EXPECT_EQ(std::memcmp(C->Thumbnail()->DataStream()->Memory(), B->Thumbnail()->DataStream()->Memory(),
                  size_t(B->Thumbnail()->DataStream()->Size())),
        0);
    EXPECT_EQ(C->Thumbnail()->ImageSize(), (TXSize { 4, 3 }));
    EXPECT_EQ(C->Thumbnail()->DataClass(), u"TBitmap");
    EXPECT_TRUE(C->Blocks()->Equals(B->Blocks()));
}

TEST(FoundFiles, FileTypes)
{
    TOwnedPtr<TXDRFileTypes> Types(New<TXDRFileTypes>());
    TOwnedPtr<TStringList> List(New<TStringList>());
    Types->Clear();
    Types->GetExtensions(List.get());
    EXPECT_EQ(List->Count(), 73);
    Types->SelectDefaults();
    Types->GetExtensions(List.get());
    EXPECT_EQ(Texts(List.get()),
        (std::vector<String> { u".arw", u".avi", u".cr2", u".dng", u".jpg", u".mov", u".mp3", u".mp4", u".mpg", u".nef",
            u".orf", u".pef", u".raf", u".raw", u".tif", u".wma" }));
    Types->SetFlag<1>(false); // Video
    Types->GetExtensions(List.get());
    for (const String& E : Texts(List.get()))
        EXPECT_NE(ExtensionCategory(E), 2) << StringToUTF8(E);
    Types->AllExtensions(List.get());
    EXPECT_EQ(List->Count(), 73);
}

TEST(FoundFiles, PicturesAreCheckedWhateverTheFileSize)
{
    // A JPEG past the JPEG reader's limit cannot be checked: it has no
    // picture and fails, so the scan drops it like any JPEG that does not
    // decode. A format without pictures succeeds without reading.
    TOwnedPtr<TBytesStream> Volume(New<TBytesStream>(std::vector<Byte>(512, 0)));
    TOwnedPtr<TXBlocks> Blocks(New<TXBlocks>());
    Blocks->Add(0, MaxJPEGDataSize + 1);
    const struct {
        TClass Class;
        bool Made;
    } Cases[] = { { TXDRScanFormatJPG::StaticClass(), false }, { TXDRScanFormatAVI::StaticClass(), true } };
    for (const auto& C : Cases) {
        TOwnedPtr<TXDRScanFormat> Format(NewScanFormat(C.Class));
        TOwnedPtr<TXImageObject> Image(New<TXImageObject>());
        TXSize Size { 5, 5 };
        EXPECT_EQ(Format->MakeThumbnail(Size, Image.get(), Blocks.get(), Volume.get()), C.Made)
            << StringToUTF8(C.Class->ClassName());
        EXPECT_TRUE(Image->IsEmpty());
        EXPECT_TRUE(Size.IsEmpty());
    }
}
