#include "vcl/tests/ControlTestSupport.h"
#include "core/XCore.ScreenMetrics.h"
#include "graphics/XImageCtrls.h"
#include "graphics/XSkin.h"
#include "ScopedDpi.h"
#include "win/Metrics.h"
#include "win/ShellExecute.h"
#include <cstdlib>
#include <filesystem>

using namespace ControlTests;

namespace {

// A solid square picture with a darker frame, Size pixels wide.
TOwnedPtr<TBitmap> SolidPicture(TColor Color, Integer Size = 24)
{
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    Bmp->SetSize(Size, Size);
    Bmp->Canvas()->Brush()->SetColor(Color);
    Bmp->Canvas()->FillRect(Rect(0, 0, Size, Size));
    return Bmp;
}

// A skin images box of the application skin, one PNG picture (as skins
// hold them) per name.
TXSkinImagesBox* AddSkinBox(TComponent* Owner, const String& BoxName,
    const std::vector<std::pair<String, TColor>>& Pictures)
{
    auto* Box = New<TXSkinImagesBox>(Owner);
    Box->SetImagesName(BoxName);
    AppSkin()->ImagesList()->Add(Box);
    for (const auto& [Name, Color] : Pictures) {
        TXImageItem* Item = Box->Images()->Add();
        Item->SetDisplayName(Name);
        TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
        Png->Assign(SolidPicture(Color).get());
        EXPECT_TRUE(Item->ImageData()->LoadFromObject(Png.get()));
    }
    return Box;
}

// A glyph picture: a diamond of Color on a clear ground.
TXImageItem* AddDiamond(TXSkinImagesBox* Box, const String& Name, TColor Color)
{
    constexpr Integer Size = 24;
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->Assign(SolidPicture(Color, Size).get());
    Png->CreateAlpha();
    for (Integer Y = 0; Y < Size; ++Y)
        for (Integer X = 0; X < Size; ++X)
            Png->AlphaScanline(Y)[X] = std::abs(X - Size / 2) + std::abs(Y - Size / 2) <= 8 ? 255 : 0;
    TXImageItem* Item = Box->Images()->Add();
    Item->SetDisplayName(Name);
    EXPECT_TRUE(Item->ImageData()->LoadFromObject(Png.get()));
    return Item;
}

class GlyphControls : public TFormFixture {
protected:
    static constexpr TColor Red = 0x0000FF, Green = 0x00C000, Blue = 0xFF0000, Grey = 0x808080, Yellow = 0x00FFFF;

    void SetUp() override
    {
        TFormFixture::SetUp();
        Form->SetColor(clWhite);
    }
    // A per-state group: "Bold" and "Italic" in every state's box, red when
    // off, green when on, blue when hot, grey when disabled.
    TXGlyphGroup* StateGroup()
    {
        const std::pair<TXPaintState, TColor> States[] = { { cstOff, Red }, { cstOn, Green }, { cstHot, Blue },
            { cstHotOn, Yellow }, { cstDis, Grey } };
        auto* Data = New<TXGlyphGroupSkinData>(Form);
        for (const auto& [State, Color] : States)
            AddSkinBox(Form, StateImagePrefix(State) + u"Tools", { { u"Bold", Color }, { u"Italic", Color } });
        Data->ImageData()->SetImagesName(u"Tools");
        auto* Group = New<TXGlyphGroup>(Form);
        Group->SetSkinData(Data);
        return Group;
    }
    TXGlyph* AddGlyph(TXGlyphGroup* Group, const String& ImageName, Integer Left)
    {
        auto* G = New<TXGlyph>(Form);
        G->SetGroup(Group);
        G->SetImageName(ImageName);
        G->SetBounds(Left, 10, 24, 24);
        G->SetParent(Form);
        return G;
    }
};

}

TEST_F(GlyphControls, AGlyphClickFollowsItsGroupsKind)
{
    struct TCase {
        const char* Name;
        bool Exclusive, Toggle;
        TXButtonState Before, OtherBefore;
        TXButtonState After, OtherAfter;
    } const Cases[] = {
        { "exclusive turns on and the other off", true, false, cstOff, cstOn, cstOn, cstOff },
        { "exclusive on stays on", true, false, cstOn, cstOff, cstOn, cstOff },
        { "exclusive and toggle: still a radio", true, true, cstOn, cstOff, cstOn, cstOff },
        { "toggle turns on, others untouched", false, true, cstOff, cstOn, cstOn, cstOn },
        { "toggle turns off", false, true, cstOn, cstOff, cstOff, cstOff },
        { "toggle: mixed goes on", false, true, cstMix, cstMix, cstOn, cstMix },
        { "neither: the state stays", false, false, cstMix, cstOff, cstMix, cstOff },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto* Group = New<TXGlyphGroup>(Form);
        auto* G = AddGlyph(Group, u"", 10);
        auto* Other = AddGlyph(Group, u"", 40);
        G->SetCheckState(C.Before);
        Other->SetCheckState(C.OtherBefore);
        Group->SetExclusive(C.Exclusive);
        Group->SetToggle(C.Toggle);
        Integer Clicks = 0;
        G->OnClick = [&](TObject*) { ++Clicks; };
        G->Click();
        EXPECT_EQ(G->CheckState(), C.After);
        EXPECT_EQ(Other->CheckState(), C.OtherAfter);
        EXPECT_EQ(Clicks, 1);
        Group->Free();
        EXPECT_EQ(G->Group(), nullptr);
        G->Free();
        Other->Free();
    }
    // Without a group a click changes nothing but runs OnClick.
    auto* Lone = AddGlyph(nullptr, u"", 10);
    Lone->Click();
    EXPECT_EQ(Lone->CheckState(), cstOff);
}

TEST_F(GlyphControls, AGlyphPaintsItsStatesImageAndOnlyItsBaseWithoutOne)
{
    TXGlyphGroup* Group = StateGroup();
    auto* Bold = AddGlyph(Group, u"Bold", 10);
    auto* Italic = AddGlyph(Group, u"italic", 40); // found ignoring case
    auto* Missing = AddGlyph(Group, u"Underline", 70);
    auto* Unnamed = AddGlyph(Group, u"", 100);
    Italic->SetCheckState(cstOn);
    auto* Dimmed = AddGlyph(Group, u"Bold", 130);
    Dimmed->SetEnabled(false);
    Form->Show();
    Pump();
    EXPECT_EQ(PixelAt({ 22, 22 }), Red);
    EXPECT_EQ(PixelAt({ 52, 22 }), Green);
    EXPECT_EQ(Italic->ImageIndex(), 1);
    // A name the skin data lacks, or none, leaves the base painting.
    EXPECT_EQ(PixelAt({ 82, 22 }), clWhite);
    EXPECT_EQ(Missing->ImageIndex(), -1);
    EXPECT_EQ(PixelAt({ 112, 22 }), clWhite);
    EXPECT_EQ(Unnamed->ImageIndex(), -1);
    EXPECT_EQ(PixelAt({ 142, 22 }), Grey);
    // Under the mouse the hot picture shows; leaving brings the plain one back.
    Move({ 22, 22 });
    EXPECT_TRUE(Bold->Hot());
    EXPECT_EQ(PixelAt({ 22, 22 }), Blue);
    Move({ 52, 22 });
    EXPECT_EQ(PixelAt({ 22, 22 }), Red);
    EXPECT_EQ(PixelAt({ 52, 22 }), Yellow);

    // Skin data that goes: the glyphs paint their base and look up again.
    Group->GlyphSkinData()->Free();
    EXPECT_EQ(Italic->ImageIndex(), -1);
    Pump();
    EXPECT_EQ(PixelAt({ 22, 22 }), clWhite);
}

TEST_F(GlyphControls, ADisabledLayeredGlyphShowsItsBackgroundAndAHalfTransparentGlyph)
{
    AddSkinBox(Form, u"Back", { { u"Off_Back", Yellow }, { u"Dis_Back", Grey }, { u"On_Back", Green } });
    AddSkinBox(Form, u"Glyphs", { { u"Bold", Blue } });
    auto* Data = New<TXLayerGlyphGroupSkinData>(Form);
    Data->ImageData()->SetImagesName(u"Back");
    Data->ImageData()->SetGlyphImagesName(u"Glyphs");
    Data->ImageData()->SetImageIndex(cstOff, 0);
    Data->ImageData()->SetImageIndex(cstDis, 1);
    Data->ImageData()->SetImageIndex(cstOn, 2);
    auto* Group = New<TXGlyphGroup>(Form);
    Group->SetSkinData(Data);
    auto* On = AddGlyph(Group, u"Bold", 10);
    auto* Dis = AddGlyph(Group, u"Bold", 40);
    auto* NoGlyph = AddGlyph(Group, u"Missing", 70);
    Dis->SetEnabled(false);
    On->SetCheckState(cstOn);
    Form->Show();
    Pump();
    EXPECT_EQ(PixelAt({ 22, 22 }), Blue);
    // Half the glyph over the grey background.
    const TColor Mixed = PixelAt({ 52, 22 });
    EXPECT_NEAR(GetRValue(Mixed), 0x40, 2);
    EXPECT_NEAR(GetBValue(Mixed), 0xBF, 2);
    // Without the glyph the state's background alone.
    EXPECT_EQ(PixelAt({ 82, 22 }), Yellow);
    EXPECT_EQ(NoGlyph->ImageIndex(), -1);
}

TEST_F(GlyphControls, HandlersThatFreeTheirGlyphOrGroupEndCleanly)
{
    TXGlyphGroup* Group = StateGroup();
    Group->SetExclusive(true);
    auto* G = AddGlyph(Group, u"Bold", 10);
    auto* Other = AddGlyph(Group, u"Italic", 40);
    Form->Show();
    Pump();
    G->OnClick = [&](TObject*) { G->Free(); };
    Click({ 22, 22 });
    EXPECT_EQ(Group->Members()->Count(), 1);
    Other->OnClick = [&](TObject*) { Group->Free(); };
    Click({ 52, 22 });
    EXPECT_EQ(Other->Group(), nullptr);
    EXPECT_EQ(Other->CheckState(), cstOn);
    Pump();
    // Painting without a group is the base alone.
    EXPECT_EQ(PixelAt({ 52, 22 }), clWhite);
}

TEST_F(GlyphControls, GlyphStatesGalleryAt96And144Dpi)
{
    for (Integer DpiValue : { 96, 144 }) {
        TScopedDpi Dpi(DpiValue);
        auto* Host = New<TForm>(nullptr);
        Host->SetColor(clBtnFace);
        Host->SetBounds(50, 50, MulDiv(260, DpiValue, 96), MulDiv(60, DpiValue, 96));
        TOwnedPtr<TComponent> Keep(New<TComponent>(nullptr));
        AddSkinBox(Keep.get(), u"GBack",
            { { u"Off_B", 0xE0E0E0 }, { u"On_B", 0x60C060 }, { u"Hot_B", 0xF0C080 }, { u"Dis_B", 0xB0B0B0 },
                { u"Mix_B", 0x80C0E0 } });
        AddDiamond(AddSkinBox(Keep.get(), u"GGlyph", {}), u"Star", 0x2020A0);
        auto* Data = New<TXLayerGlyphButtonGroupSkinData>(Keep.get());
        Data->ImageData()->SetImagesName(u"GBack");
        Data->ImageData()->SetGlyphImagesName(u"GGlyph");
        TXStateImageIndexes Indexes;
        GetStateImageIndexesOfCollection(Data->ImageData()->Images()->Images(), Indexes);
        for (Integer S = cstDis; S <= cstHotMix; ++S)
            Data->ImageData()->SetImageIndex(TXPaintState(S), StateImageIndex(Indexes, TXPaintState(S)));
        auto* Group = New<TXGlyphGroup>(Host);
        Group->SetSkinData(Data);
        const Integer Size = MulDiv(24, DpiValue, 96);
        struct TShown {
            TXButtonState State;
            bool Enabled;
        } const Shown[] = { { cstOff, true }, { cstOn, true }, { cstMix, true }, { cstOff, false }, { cstOn, false } };
        Integer X = Size / 3;
        for (const TShown& S : Shown) {
            auto* G = New<TXGlyph>(Host);
            G->SetGroup(Group);
            G->SetImageName(u"Star");
            G->SetCheckState(S.State);
            G->SetEnabled(S.Enabled);
            G->SetBounds(X, Size / 3, Size, Size);
            G->SetParent(Host);
            X += Size + Size / 3;
        }
        Host->Show();
        Pump();
        SavePicture(Host->Handle(), "glyph-states-" + std::to_string(DpiValue) + ".png");
        Host->Free();
        Pump();
    }
}

namespace {

// Receives a hit image's commands: a published method, as a form has it.
class THitImageCommandLog : public TComponent {
    X_CLASS(THitImageCommandLog, TComponent)
public:
    std::vector<std::string> Log;
    void Cmd(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName, const String& Command,
        const String& Args)
    {
        Log.push_back(std::to_string(Monitor) + " " + std::to_string(Integer(Hit)) + " " + Testing::U8(HitName) + " "
            + Testing::U8(Command) + " " + Testing::U8(Args));
    }
};

class HitImages : public TFormFixture {
protected:
    Testing::TTempFolder Bin;
    Testing::TRecorder Opener { Bin / "xdg-open", Bin / "opened" };
    Testing::TScopedEnv Path { "PATH", Bin.Path().string() + ":" + std::getenv("PATH") };
};

}

X_PUBLISHED(THitImageCommandLog)
{
    X_METHOD(Cmd);
}
X_REGISTER_CLASS(THitImageCommandLog)

TEST_F(HitImages, AClickSendsTheAreasCommandUnlessItsKindIsBuiltIn)
{
    struct TCase {
        const char* Name;
        TXHitType Hit;
        const char16_t* Command;
        const char16_t* Args;
        std::vector<std::string> Sent;
        size_t Opened;
    } const Cases[] = {
        { "custom", xhtCustom, u"next", u"2", { "0 30 Pictures next 2" }, 0 },
        { "a web page opens itself", xhtWeb, u"", u"https://example.com/", {}, 1 },
        { "a program without a path is no built-in", xhtExe, u"", u"", { "0 " + std::to_string(Integer(xhtExe)) + " Pictures  " }, 0 },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TOwnedPtr<TXHitImageAreaItem> Area(New<TXHitImageAreaItem>(nullptr));
        Area->SetDisplayName(u"Pictures");
        Area->SetHit(C.Hit);
        Area->SetCommand(C.Command);
        Area->SetArgs(C.Args);
        Area->SetHint(u"Next picture");
        TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
        Png->Assign(SolidPicture(0x3060C0, 32).get());
        ASSERT_TRUE(Area->Image()->LoadFromObject(Png.get()));
        auto* Log = New<THitImageCommandLog>(Form);
        auto* Image = New<TXHitImage>(Form);
        Image->SetBounds(10, 10, 32, 32);
        Image->SetParent(Form);
        Image->SetHitArea(Area.get());
        EXPECT_EQ(Image->Cursor(), Area->Cursor());
        EXPECT_EQ(Image->Hint(), u"Next picture");
        ASSERT_NE(Image->ImageObject(), nullptr);
        EXPECT_EQ(Image->ImageObject()->Width(), 32);
        // The image keeps its own copy.
        Area.reset();
        Image->OnCommand.SetMethod({ MethodAddress(THitImageCommandLog::StaticClass(), u"Cmd"), Log });
        Image->Click();
        Clock.Advance(49);
        Pump();
        EXPECT_TRUE(Log->Log.empty());
        Clock.Advance(1);
        Pump();
        EXPECT_EQ(Log->Log, C.Sent);
        WaitForStartedPrograms();
        EXPECT_EQ(Opener.Runs().size(), C.Opened);
        Image->Free();
        Log->Free();
        std::filesystem::remove(Bin / "opened");
    }
}
