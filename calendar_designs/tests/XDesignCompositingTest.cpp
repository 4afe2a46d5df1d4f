// Compositing checked against ImageMagick: the same scene composed by
// `convert` with the opacities the items use must match ours to within two
// levels per channel. Our blends divide by 256 and truncate (the pixel
// layer's rule), convert divides by 255 and rounds: up to 2 apart where
// both are right, while a wrong opacity, key or offset is dozens off.
#include "DesignTestSupport.h"
#include <gtest/gtest.h>

using namespace DesignTesting;
using namespace Testing;

namespace {

// ImageMagick's colour of a TColor.
std::string Hex(TColor C)
{
    char Buf[16];
    std::snprintf(Buf, sizeof Buf, "#%02x%02x%02x", C & 0xFF, (C >> 8) & 0xFF, (C >> 16) & 0xFF);
    return Buf;
}

std::string Percent(Integer Alpha)
{
    return std::to_string(Alpha * 100.0 / 255) + "%";
}

struct TOracleScene {
    TTempFolder Folder;
    std::string Photo = U8(Folder.File("photo.png"));

    TOracleScene()
    {
        RunTool({ "convert", "-size", "120x80", "gradient:#20c040-#e08010", "-rotate", "0", Photo });
    }

    TOwnedPtr<TXPageObject> Page()
    {
        auto P = NewPage(120, 80);
        TXDBgItem* Bg = P->GetBgItem();
        EXPECT_TRUE(Bg->Image()->LoadFromFile(S(Photo), false));
        Bg->SetImagePosition(ipStretch);
        return P;
    }

    // convert's picture from Args (after the photo) against ours.
    void Check(TXPageObject* Page, std::vector<std::string> Args, const std::string& Name)
    {
        const std::string Out = U8(Folder.File(Name + "-oracle.png"));
        Args.insert(Args.begin(), { "convert", Photo });
        Args.push_back(Out);
        ASSERT_EQ(RunTool(Args).ExitCode, 0);
        TOwnedPtr<TBitmap> Ours(MakeOwned<TBitmap>());
        ASSERT_TRUE(Page->RenderPage(Ours.get(), true));
        TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
        Png->LoadFromFile(S(Out));
        TOwnedPtr<TBitmap> Theirs(MakeOwned<TBitmap>());
        Theirs->Assign(Png.get());
        ASSERT_EQ(Theirs->Width(), Ours->Width());
        Integer Worst = 0, WX = 0, WY = 0;
        for (Integer Y = 0; Y < Ours->Height(); ++Y)
            for (Integer X = 0; X < Ours->Width(); ++X) {
                const TColor A = At(Ours.get(), X, Y), B = At(Theirs.get(), X, Y);
                for (Integer Shift : { 0, 8, 16 }) {
                    const Integer D = std::abs(Integer((A >> Shift) & 0xFF) - Integer((B >> Shift) & 0xFF));
                    if (D > Worst) {
                        Worst = D;
                        WX = X;
                        WY = Y;
                    }
                }
            }
        SaveDesignPicture(Ours.get(), "compositing-" + Name + ".png");
        if (Worst > 2) {
            SaveDesignPicture(Theirs.get(), "compositing-" + Name + "-oracle.png");
            ADD_FAILURE() << Name << ": " << Worst << " levels apart at " << WX << "," << WY << " (ours "
                          << std::hex << At(Ours.get(), WX, WY) << ", convert's " << At(Theirs.get(), WX, WY) << ")";
        }
    }
};

TEST(DesignCompositing, MatchesImageMagick)
{
    if (!HaveTool("convert"))
        GTEST_SKIP() << "no ImageMagick";
    TOracleScene Scene;
    const TColor Body = 0x336699, Frame = 0xFF00FF, Shadow = 0x202020;

    {
        SCOPED_TRACE("keyed layer at half opacity, own magenta kept");
        auto Page = Scene.Page();
        AddItem<TXDBorderItem>(Page.get(), [&](TXDBorderItem* I) {
            I->SetIntProp(dipLeft, 10);
            I->SetIntProp(dipTop, 12);
            I->SetIntProp(dipWidth, 40);
            I->SetIntProp(dipHeight, 30);
            I->SetColorProp(100, Body);
            I->SetColorProp(101, Frame);
            I->SetIntProp(100, 3);
            I->SetByteProp(0, 128);
        });
        Scene.Check(Page.get(),
            { "(", "-size", "46x36", "xc:" + Hex(0xFE00FF), "-fill", Hex(Body), "-draw", "rectangle 3,3 42,32",
                "-alpha", "set", "-channel", "A", "-evaluate", "set", Percent(128), "+channel", ")", "-geometry",
                "+10+12", "-compose", "over", "-composite" },
            "alpha");
    }
    {
        SCOPED_TRACE("separate background layer with a flat shadow");
        auto Page = Scene.Page();
        AddItem<TXDBorderItem>(Page.get(), [&](TXDBorderItem* I) {
            I->SetIntProp(dipLeft, 20);
            I->SetIntProp(dipTop, 20);
            I->SetIntProp(dipWidth, 50);
            I->SetIntProp(dipHeight, 30);
            I->SetColorProp(100, Body);
            I->SetColorProp(50, Shadow);
            I->SetIntProp(50, 3);
            I->SetIntProp(51, 3);
            I->SetBoolProp(2, true);
            I->SetByteProp(1, 64);
        });
        // Body 50 x 30, shadow band 3 wide at the right and bottom.
        Scene.Check(Page.get(),
            { "(", "-size", "53x33", "xc:none", "-fill", Hex(Body), "-draw", "rectangle 0,0 49,29", "-fill",
                Hex(Shadow), "-draw", "rectangle 3,30 52,32", "-draw", "rectangle 50,3 52,32", "-channel", "A",
                "-evaluate", "multiply", std::to_string(64 / 255.0), "+channel", ")", "-geometry", "+20+20",
                "-compose", "over", "-composite" },
            "bg-alpha-shadow");
    }
    {
        SCOPED_TRACE("blurred shadow style widens the band to 7");
        auto Page = Scene.Page();
        AddItem<TXDBorderItem>(Page.get(), [&](TXDBorderItem* I) {
            I->SetIntProp(dipLeft, 30);
            I->SetIntProp(dipTop, 10);
            I->SetIntProp(dipWidth, 40);
            I->SetIntProp(dipHeight, 40);
            I->SetColorProp(100, Body);
            I->SetColorProp(50, Shadow);
            I->SetIntProp(50, 3);
            I->SetIntProp(51, 3);
            I->SetShadowStyle(ssBlur);
        });
        Scene.Check(Page.get(),
            { "-fill", Hex(Body), "-draw", "rectangle 30,10 69,49", "-fill", Hex(Shadow), "-draw",
                "rectangle 37,50 76,56", "-draw", "rectangle 70,17 76,56" },
            "blur-shadow");
    }
    {
        SCOPED_TRACE("background fade towards its colour and white");
        auto Page = Scene.Page();
        TXDBgItem* Bg = Page->GetBgItem();
        Bg->SetColorProp(100, 0);
        Bg->SetByteProp(0, 155);
        Scene.Check(Page.get(),
            { "-fill", "black", "-colorize", Percent(100), "-fill", "white", "-colorize", Percent(100) }, "bg-fade");
    }
    {
        SCOPED_TRACE("raised embossing of a bright picture");
        auto Page = Scene.Page();
        const std::string Mark = U8(Scene.Folder.File("mark.png"));
        RunTool({ "convert", "-size", "30x20", "xc:black", "-fill", "#f0f0f0", "-draw", "rectangle 8,5 21,14", Mark });
        AddItem<TXDImageItem>(Page.get(), [&](TXDImageItem* I) {
            I->SetIntProp(dipLeft, 40);
            I->SetIntProp(dipTop, 30);
            I->SetIntProp(dipWidth, 30);
            I->SetIntProp(dipHeight, 20);
            I->SetImageStyle(isBlendRaised);
            I->SetByteProp(150, 100);
            EXPECT_TRUE(I->Image()->LoadFromFile(S(Mark), false));
        });
        // Grey = red - (255 - 150); lifted at (40, 30), sunk one pixel
        // further right and down.
        Scene.Check(Page.get(),
            { "(", Mark, "-channel", "R", "-separate", "+channel", "-evaluate", "subtract", std::to_string(105 * 257),
                "-set", "colorspace", "sRGB", "-colorspace", "sRGB", "-type", "TrueColor", "-write", "mpr:grey",
                "+delete", ")", "mpr:grey", "-geometry", "+41+31", "-compose", "minus_src", "-composite", "mpr:grey",
                "-geometry", "+40+30", "-compose", "plus", "-composite" },
            "emboss");
    }
}

}
