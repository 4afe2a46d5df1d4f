#include "GdiTestSupport.h"
#include "gdi/Metafile.h"
#include "gdi/PngImage.h"
#include <cstring>

using namespace GdiTest;

namespace {

// One scene drawn on any canvas: shapes, underlined and struck text, a
// picture with transparency, a stretched bitmap and a copy of a canvas.
void DrawScene(TCanvas* C, TCanvas* CopySource)
{
    C->Brush()->SetColor(TColor(0xE0F0FF));
    C->FillRect(Rect(0, 0, 200, 120));
    C->Font()->SetName(u"DejaVu Sans");
    C->Font()->SetHeight(-16);
    C->Font()->SetColor(TColor(0x800000));
    C->Font()->SetStyle(StyleBit(fsUnderline));
    C->Brush()->SetStyle(bsClear);
    C->TextOut(8, 4, u"Underlined");
    C->Font()->SetStyle(StyleBit(fsStrikeOut) | StyleBit(fsBold));
    C->TextOut(8, 26, u"Struck out");

    auto Rgba = SolidBitmap(pf32bit, 16, 16, TColor(0x0000FF));
    for (Integer Y = 0; Y < 16; ++Y)
        for (Integer X = 0; X < 16; ++X)
            Rgba->ScanLine(Y)[X * 4 + 3] = Byte(X * 16 + 8); // fades in from the left
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->Assign(Rgba.get());
    C->Draw(120, 8, Png.get());
    auto Opaque = SolidBitmap(pf24bit, 3, 2, TColor(0x00A000));
    Opaque->ScanLine(0)[0] = Opaque->ScanLine(0)[1] = Opaque->ScanLine(0)[2] = 0;
    C->StretchDraw(Rect(140, 40, 170, 60), Opaque.get());
    C->CopyRect(Rect(10, 60, 40, 90), CopySource, Rect(0, 0, 30, 30));
}

TOwnedPtr<TBitmap> Source()
{
    auto S = SolidBitmap(pf24bit, 30, 30, TColor(0x00FFFF));
    S->FillRect(Rect(10, 10, 20, 20), clFuchsia);
    return S;
}

TOwnedPtr<TMemoryStream> Saved(TMetafile* Mf)
{
    auto S = MakeOwned<TMemoryStream>();
    Mf->SaveToStream(S.get());
    S->SetPosition(0);
    return S;
}

} // namespace

TEST(MetafilePictures, AReplayedMetafileGivesTheDirectDrawingsPixels)
{
    auto Src = Source();
    auto Direct = SolidBitmap(pf24bit, 200, 120, clWhite);
    DrawScene(Direct->Canvas(), Src->Canvas());

    auto Mf = MakeOwned<TMetafile>();
    Mf->SetSize(200, 120);
    {
        auto C = MakeOwned<TMetafileCanvas>(Mf.get());
        DrawScene(C.get(), Src->Canvas());
    }
    // What was copied is kept as it was then.
    Src->Fill(clBlack);
    auto Loaded = MakeOwned<TMetafile>();
    auto S = Saved(Mf.get());
    EXPECT_EQ(std::memcmp(S->Memory(), "XMF2", 4), 0);
    Loaded->LoadFromStream(S.get());
    for (TMetafile* M : { Mf.get(), Loaded.get() }) {
        auto Replayed = SolidBitmap(pf24bit, 200, 120, clWhite);
        M->Draw(Replayed.get(), Rect(0, 0, 200, 120));
        Int64 Differ = 0;
        for (Integer Y = 0; Y < 120; ++Y)
            Differ += std::memcmp(Direct->ScanLine(Y), Replayed->ScanLine(Y), 200 * 3) != 0;
        EXPECT_EQ(Differ, 0) << (M == Mf.get() ? "recorded" : "loaded");
    }
    SavePicture(Direct.get(), "metafile-scene-direct.png");
    // The underline and the strike-out really are there (font colour rows
    // under and through the text).
    EXPECT_EQ(InkBox(Direct.get(), TColor(0x800000)).IsEmpty(), false);
    EXPECT_EQ(Direct->Pixel(20, 70), clFuchsia);
}

TEST(MetafilePictures, StreamsWithoutPicturesKeepTheOldFormAndHostilePicturesRaise)
{
    auto Plain = MakeOwned<TMetafile>();
    Plain->SetSize(10, 10);
    {
        auto C = MakeOwned<TMetafileCanvas>(Plain.get());
        C->FillRect(Rect(0, 0, 5, 5));
    }
    auto Old = Saved(Plain.get());
    EXPECT_EQ(std::memcmp(Old->Memory(), "XMF1", 4), 0);
    auto Reread = MakeOwned<TMetafile>();
    Reread->LoadFromStream(Old.get());
    EXPECT_EQ(Reread->Records().size(), 1u);

    auto WithPicture = MakeOwned<TMetafile>();
    WithPicture->SetSize(10, 10);
    {
        auto C = MakeOwned<TMetafileCanvas>(WithPicture.get());
        auto Pic = SolidBitmap(pf24bit, 2, 2, clRed);
        C->Draw(1, 1, Pic.get());
    }
    const RawBytes Good = BytesOf(Saved(WithPicture.get()).get());
    // The picture record's PNG starts after the header (16 bytes), the
    // record's fixed part and its two points.
    const size_t PngAt = 16 + 19 + 16 + 4;
    ASSERT_EQ(Good.substr(PngAt + 1, 3), "PNG");
    struct TCase {
        const char* Name;
        RawBytes Bytes;
    };
    RawBytes Huge = Good, Kind7InOld = Good, Cut = Good.substr(0, Good.size() - 10);
    // IHDR claims 60000 x 60000 pixels in a few dozen bytes.
    for (size_t Field : { PngAt + 16, PngAt + 20 }) {
        Huge[Field] = 0;
        Huge[Field + 1] = 0;
        Huge[Field + 2] = char(0xEA);
        Huge[Field + 3] = char(0x60);
    }
    Kind7InOld[3] = '1';
    const TCase Cases[] = { { "huge picture", Huge }, { "picture in the old form", Kind7InOld }, { "cut", Cut } };
    for (const TCase& C : Cases) {
        auto Mf = MakeOwned<TMetafile>();
        EXPECT_THROW(Mf->LoadFromStream(StreamOf(C.Bytes).get()), EInvalidGraphic) << C.Name;
    }
}
