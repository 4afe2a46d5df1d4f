#include "FormsTestSupport.h"
#include "forms/XDlg.h"
#include "vcl/StdCtrls.h"
#include "graphics/tests/ScopedDpi.h"
#include "graphics/XSpark.VCL.h"
#include "win/Metrics.h"
#include "win/WindowTree.h"

using namespace FormsTests;

namespace {

void SetPx(TBitmap* Bmp, Integer X, Integer Y, TColor C)
{
    Bmp->FillRect({ X, Y, X + 1, Y + 1 }, C);
}

// A frame dialog of the gallery: a plain content frame of 320 x 120 and
// OK / Cancel under it, in a skinned form with a caption frame.
class TGalleryDialog : public TXCustomDialog {
    X_CLASS_TEMPLATE(TGalleryDialog, TXCustomDialog, u"TGalleryDialog")
public:
    void InitDialog() override
    {
        SetFrameClass(TFrame::StaticClass());
        SetCommandFrameClass(TXCmdOKCancel::StaticClass());
        SetDefaultCaption(u"Pack details");
        XStyle()->SetCaptionFrameClass(TXCaptionFrame::StaticClass());
        XStyle()->SetSkinStyle(u"FormsTest");
        SetDlgWidth(320);
        SetDlgHeight(120);
    }
};

class FormsGallery : public TSkinnedFixture {
protected:
    // Skin data of the gallery: a thin dark-blue frame, white captions.
    void Frame(Integer Dpi)
    {
        for (Integer I = 0; I < 4; ++I)
            Data->Border()->SetWidth(I, Word(MulDiv(3, Dpi, 96)));
        Data->Color()->SetcolOn(0x00804020);
        Data->Color()->SetcolOff(0x00A09080);
        Data->CaptionColor()->SetcolOn(clWhite);
        Data->CaptionColor()->SetcolOff(0x00E0E0E0);
    }
    void Begin(Integer Dpi)
    {
        ::Screen->SetPixelsPerInch(Dpi);
        InitSharedFonts();
        Frame(Dpi);
    }
    void End()
    {
        ::Screen->SetPixelsPerInch(96);
        InitSharedFonts();
    }
    static std::string Name(const char* What, Integer Dpi) { return std::string(What) + "-" + std::to_string(Dpi) + ".png"; }
};

}

TEST_F(FormsGallery, SkinnedFormWithCaptionFrameActiveAndInactive)
{
    for (Integer Dpi : { 96, 144 }) {
        TScopedDpi Scoped(Dpi);
        Begin(Dpi);
        TXForm* F = NewForm();
        F->SetCaption(u"Wallpaper settings");
        F->Style()->SetCaptionFrameClass(TXCaptionFrame::StaticClass());
        Skinned(F);
        TXCommandFrame* Cmd = TXCommandFrame::CreateScaled(TXCmdOKCancel::StaticClass(), F, true);
        Cmd->SetParent(F);
        SetDefaultCommandButton(Cmd, 1);
        F->SetClientSize(MulDiv(360, Dpi, 96), F->ClientHeight());
        F->Show();
        Pump();
        ASSERT_NE(F->CaptionFrame(), nullptr);
        EXPECT_EQ(F->CaptionFrame()->CaptionLabel()->Caption(), u"Wallpaper settings ");
        for (bool Active : { true, false }) {
            F->Perform(WM_NCACTIVATE, Active ? 1 : 0, 0);
            EXPECT_EQ(F->Color(), Active ? TColor(0x00804020) : TColor(0x00A09080));
            EXPECT_EQ(F->CaptionFrame()->CaptionLabel()->Font()->Color(), Active ? clWhite : TColor(0x00E0E0E0));
            F->Invalidate();
            Pump();
            SavePicture(F->Handle(), Name(Active ? "skinned-form-active" : "skinned-form-inactive", Dpi));
        }
        End();
    }
}

TEST_F(FormsGallery, EveryCommandFrameSet)
{
    const TClass Sets[] = { TXCmdOK::StaticClass(), TXCmdClose::StaticClass(), TXCmdOKCancel::StaticClass(),
        TXCmdNextCancel::StaticClass(), TXCmdCheckNowNoThanks::StaticClass(), TXCmdDeleteCancel::StaticClass(),
        TXCmdDownloadCancel::StaticClass(), TXCmdRunOpenFolderCancel::StaticClass(),
        TXCmdOpenOpenFolderCancel::StaticClass(), TXCmdOpenSaveOKCancel::StaticClass() };
    for (Integer Dpi : { 96, 144 }) {
        TScopedDpi Scoped(Dpi);
        Begin(Dpi);
        auto* Host = New<TForm>(nullptr);
        Host->SetColor(clBtnFace);
        Host->SetBounds(20, 20, MulDiv(460, Dpi, 96), 10);
        Host->HandleNeeded();
        Integer Y = 0;
        for (TClass Set : Sets) {
            TXCommandFrame* Cmd = TXCommandFrame::CreateScaled(Set, Host, true);
            Cmd->SetAlign(alNone);
            Cmd->SetBounds(0, Y, Host->ClientWidth(), Cmd->Height());
            Cmd->SetParent(Host);
            Cmd->ArrangeButtons();
            Y += Cmd->Height();
            // Every button lies inside its frame.
            for (Integer I = 0; I < Cmd->ControlCount(); ++I) {
                EXPECT_GE(Cmd->Controls(I)->Left(), 0);
                EXPECT_LE(Cmd->Controls(I)->Left() + Cmd->Controls(I)->Width(), Cmd->Width());
            }
        }
        Host->SetClientSize(Host->ClientWidth(), Y);
        Host->Show();
        Pump();
        SavePicture(Host->Handle(), Name("command-frames", Dpi));
        Host->Free();
        Pump();
        End();
    }
}

TEST_F(FormsGallery, AFrameDialog)
{
    for (Integer Dpi : { 96, 144 }) {
        TScopedDpi Scoped(Dpi);
        Begin(Dpi);
        TOwnedPtr<TGalleryDialog> Dialog(New<TGalleryDialog>(nullptr));
        ASSERT_TRUE(Dialog->ShowForm());
        auto* Text = New<TLabel>(Dialog->ContentFrame());
        Text->SetBounds(MulDiv(12, Dpi, 96), MulDiv(12, Dpi, 96), MulDiv(290, Dpi, 96), MulDiv(40, Dpi, 96));
        Text->SetAutoSize(false);
        Text->SetWordWrap(true);
        Text->SetCaption(u"The pack \"Autumn\" holds 12 wallpapers and 3 print templates.");
        Text->SetParent(Dialog->ContentFrame());
        SetDefaultCommandButton(Dialog->CommandFrame(), 1);
        TXWinForm* Form = Dialog->Form();
        EXPECT_EQ(Form->ClientWidth(), MulDiv(320, Dpi, 96));
        // The content, the buttons and the caption frame all fit the client.
        auto* Skinned = static_cast<TXForm*>(Form);
        EXPECT_EQ(Form->ClientHeight(),
            MulDiv(120, Dpi, 96) + Dialog->CommandFrame()->Height() + Skinned->CaptionFrame()->Height());
        Pump();
        SavePicture(Form->Handle(), Name("frame-dialog", Dpi));
        Dialog->CloseDialog(2);
        Dialog.reset();
        Pump();
        End();
    }
}

TEST_F(FormsGallery, AlphaStyleFormOverItsCompanionOnAWallpaper)
{
    for (Integer Dpi : { 96, 144 }) {
        TScopedDpi Scoped(Dpi);
        Begin(Dpi);
        for (Integer I = 0; I < 4; ++I)
            Data->Border()->SetWidth(I, Word(MulDiv(8, Dpi, 96)));
        Data->SetAlphaStyle(true);
        Data->AlphaColor()->SetcolOn(clBlack);
        Data->AlphaColor()->SetcolOff(clBlack);
        Data->AlphaColor()->SetAlpha(128);
        TXForm* F = NewForm();
        F->SetCaption(u"Quick note");
        F->Style()->SetCaptionFrameClass(TXCaptionFrame::StaticClass());
        Skinned(F);
        auto* Note = Add<ControlTests::TProbePanel>(F, { 20, 50, 200, 150 }, 0x00C0F0FF);
        Note->SetBounds(MulDiv(20, Dpi, 96), MulDiv(50, Dpi, 96), MulDiv(180, Dpi, 96), MulDiv(100, Dpi, 96));
        Note->SetParent(F);
        F->UpdateWindowRegion();
        F->Show();
        Pump();
        ASSERT_NE(F->Companion(), nullptr);
        // The screen as a compositor makes it: a known wallpaper, the
        // companion's black at its opacity, the form's region over it.
        const TRect Area { F->Left() - 20, F->Top() - 20, F->Left() + F->Width() + 20, F->Top() + F->Height() + 20 };
        TOwnedPtr<TBitmap> Shot(MakeOwned<TBitmap>());
        Shot->SetPixelFormat(pf24bit);
        Shot->SetSize(Area.Width(), Area.Height());
        for (Integer Y = 0; Y < Area.Height(); ++Y)
            for (Integer X = 0; X < Area.Width(); ++X)
                SetPx(Shot.get(), X, Y, RGB(Byte(40 + X * 200 / Area.Width()), Byte(120), Byte(200 - Y * 150 / Area.Height())));
        const Byte Alpha = F->Companion()->AlphaBlendValue();
        for (Integer Y = 20; Y < 20 + F->Height(); ++Y)
            for (Integer X = 20; X < 20 + F->Width(); ++X) {
                const TColor C = Shot->Pixel(X, Y);
                auto Dim = [&](Integer V) { return Byte(V * (255 - Alpha) / 255); };
                SetPx(Shot.get(), X, Y, RGB(Dim(GetRValue(C)), Dim(GetGValue(C)), Dim(GetBValue(C))));
            }
        TOwnedPtr<TBitmap> Form(MakeOwned<TBitmap>());
        ASSERT_TRUE(GetWindowBitmap(F->Handle(), Form.get()));
        std::vector<RECT> Shape;
        ASSERT_TRUE(GetWindowShape(F->Handle(), Shape));
        for (const RECT& R : Shape)
            for (Integer Y = R.top; Y < R.bottom; ++Y)
                for (Integer X = R.left; X < R.right; ++X)
                    SetPx(Shot.get(), X + 20, Y + 20, Form->Pixel(X, Y));
        // The middle of the form, outside its children, shows the dimmed
        // wallpaper: about half as bright.
        const TColor Seen = Shot->Pixel(20 + F->Width() - MulDiv(30, Dpi, 96), 20 + F->Height() - MulDiv(20, Dpi, 96));
        EXPECT_NEAR(GetGValue(Seen), 120 / 2, 2);
        TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
        Png->Assign(Shot.get());
        Png->SaveToFile(S(Testing::TestPicturePath(Name("alpha-form", Dpi)).string()));
        End();
    }
}
