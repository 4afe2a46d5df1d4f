#include "vcl/tests/ControlTestSupport.h"
#include "core/XCore.ScreenMetrics.h"
#include "graphics/XSkin.h"
#include "graphics/XSkinData.h"
#include "win/Metrics.h"
#include "win/WindowTree.h"
#include <functional>

using namespace ControlTests;

namespace {

// Skin data of a class of its own, for lookups by class.
class TFrameSkinData : public TXSkinData {
    X_CLASS_TEMPLATE(TFrameSkinData, TXSkinData, u"TXSkinTestFrameSkinData")
public:
    // Paints the whole window red; what lands is what NCPaint lets through.
    void PaintNonClient(TCustomForm* Form, TCanvas* Canvas) override
    {
        Canvas->Brush()->SetColor(0x0000FF);
        Canvas->FillRect(Rect(0, 0, 1000, 1000));
    }
    Integer HitTestNonClient(TCustomForm* Form, TPoint Point) override
    {
        Seen = Point;
        return Point.Y < 8 ? HTCAPTION : HTCLIENT;
    }
    TPoint Seen {};
};

// Counts what a skin change does to it; Then runs after each count.
template<class TBase>
class TCounting : public TBase {
    X_CLASS_TEMPLATE(TCounting, TBase, u"TXSkinTestCounting")
public:
    Integer SkinChanges = 0;
    std::function<void()> Then;
    void SkinChanged() override
    {
        ++SkinChanges;
        if (auto Call = Then)
            Call();
    }
};
using TSkinnedShape = TCounting<TXSkinGraphicControl>;
using TSkinnedPanel = TCounting<TXSkinCustomControl>;

class TCountingSkinComponent : public TXSkinComponent {
    X_CLASS_TEMPLATE(TCountingSkinComponent, TXSkinComponent, u"TXSkinTestComponent")
public:
    Integer Applies = 0;
    Integer DataChanges = 0;
    std::function<void()> Then;
    void ApplySkin() override
    {
        ++Applies;
        if (auto Call = Then)
            Call();
    }
    void SkinDataChanged() override { ++DataChanges; }
};

// A form with a skin, as the skinned forms of the forms layer are; it
// counts the skin-changed messages it hears.
class TSkinnedForm : public TForm, public IXSkinnedForm {
    X_CLASS_TEMPLATE(TSkinnedForm, TForm, u"TXSkinTestForm")
    X_INTERFACES(TSkinnedForm, IXSkinnedForm)
    X_NOT_COUNTED
public:
    XSkin::TXSkin* Skin = nullptr;
    Integer SkinMessages = 0;
    std::function<void()> Then;
    XSkin::TXSkin* GetFormSkin() override { return Skin; }
    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == XM_SKINCHANGED) {
            ++SkinMessages;
            if (auto Call = Then) {
                TLifeWatch Watch(LifeMark());
                Call();
                if (Watch.Freed())
                    return;
            }
        }
        TForm::WndProc(Message);
    }
};

// A form whose frame is 8 pixels wide on every side.
class TFramedForm : public TForm {
    X_CLASS_TEMPLATE(TFramedForm, TForm, u"TXSkinTestFramedForm")
public:
    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == WM_NCCALCSIZE && Message.LParam) {
            auto* R = reinterpret_cast<RECT*>(Message.LParam);
            *R = { R->left + 8, R->top + 8, R->right - 8, R->bottom - 8 };
            return;
        }
        TForm::WndProc(Message);
    }
};

bool Listed(XSkin::TXSkin* Skin)
{
    Integer N = 0;
    for (Integer I = 0; I < SkinList()->Count(); ++I)
        N += SkinList()->Items(I) == Skin;
    return N == 1;
}

}

TEST(Skins, FoundByNameWithTheApplicationSkinAsDefault)
{
    XSkin::TXSkin* App = AppSkin();
    ASSERT_NE(App, nullptr);
    EXPECT_EQ(App->SkinName(), u"xAppSkin");
    EXPECT_EQ(FindSkin(u"xAppSkin"), App);
    EXPECT_EQ(FindSkin(u"Nowhere"), App);
    EXPECT_EQ(FindSkinExact(u"Nowhere"), nullptr);

    TOwnedPtr<XSkin::TXSkin> Blue(New<XSkin::TXSkin>(nullptr));
    TOwnedPtr<XSkin::TXSkin> Other(New<XSkin::TXSkin>(nullptr));
    XSkin::TXSkin::RegisterAs(Blue.get(), u"Blue");
    EXPECT_EQ(FindSkinExact(u"Blue"), Blue.get());
    EXPECT_EQ(FindSkinExact(u"blue"), nullptr);
    // A second skin of the name takes its place.
    XSkin::TXSkin::RegisterAs(Other.get(), u"Blue");
    EXPECT_EQ(FindSkin(u"Blue"), Other.get());
    EXPECT_EQ(SkinList()->IndexOf(Blue.get()), -1);
    // Registered again under a new name, a skin moves.
    XSkin::TXSkin::RegisterAs(Other.get(), u"Green");
    EXPECT_TRUE(Listed(Other.get()));
    EXPECT_EQ(FindSkinExact(u"Blue"), nullptr);
    EXPECT_EQ(FindSkinExact(u"Green"), Other.get());
    XSkin::TXSkin::RegisterAs(Other.get(), u"Green");
    EXPECT_TRUE(Listed(Other.get()));
    // Freed, it leaves the list.
    const Integer Count = SkinList()->Count();
    Other.reset();
    EXPECT_EQ(SkinList()->Count(), Count - 1);
    EXPECT_EQ(FindSkin(u"Green"), App);
}

TEST(Skins, SkinDataByNameAndClass)
{
    // Names are unique per owner: two data modules.
    TOwnedPtr<TComponent> Module(New<TComponent>(nullptr));
    TOwnedPtr<TComponent> OtherModule(New<TComponent>(nullptr));
    auto* Plain = New<TXSkinData>(Module.get());
    Plain->SetName(u"Form");
    auto* Frame = New<TFrameSkinData>(Module.get());
    Frame->SetName(u"Form2");
    auto* FrameToo = New<TFrameSkinData>(OtherModule.get());
    FrameToo->SetName(u"Form");
    EXPECT_EQ(Plain->PaintType(), ptSkin);

    TOwnedPtr<XSkin::TXSkin> Skin(New<XSkin::TXSkin>(nullptr));
    EXPECT_EQ(Skin->AddSkinData(Plain), 0);
    EXPECT_EQ(Skin->AddSkinData(Frame), 1);
    EXPECT_EQ(Skin->AddSkinData(Plain), 0);
    EXPECT_EQ(Skin->AddSkinData(FrameToo), 2);
    EXPECT_EQ(Skin->FindSkinData(u"Form", TXSkinData::StaticClass()), Plain);
    EXPECT_EQ(Skin->FindSkinData(u"Form", TFrameSkinData::StaticClass()), FrameToo);
    EXPECT_EQ(Skin->FindSkinData(u"form", TXSkinData::StaticClass()), nullptr);
    EXPECT_EQ(Skin->FindSkinData(u"Form2", TFrameSkinData::StaticClass()), Frame);
    Plain->Free();
    EXPECT_EQ(Skin->FindSkinData(u"Form", TXSkinData::StaticClass()), FrameToo);
    Module.reset();
    OtherModule.reset();
    EXPECT_EQ(Skin->SkinDataList()->Count(), 0);
    EXPECT_EQ(Skin->State(), 0);
}

TEST(Skins, SkinComponentsApplyOnANewNameAndFollowTheirSkinData)
{
    TOwnedPtr<TCountingSkinComponent> C(New<TCountingSkinComponent>(nullptr));
    C->SetSkinDataName(u"Button");
    C->SetSkinDataName(u"Button");
    EXPECT_EQ(C->Applies, 1);
    C->SetSkinDataName(u"");
    EXPECT_EQ(C->Applies, 2);

    TXSkinData* Data = New<TXSkinData>(nullptr);
    C->BindSkinData(Data);
    EXPECT_EQ(C->SkinData(), Data);
    EXPECT_EQ(C->DataChanges, 1);
    Data->Free();
    EXPECT_EQ(C->SkinData(), nullptr);
    EXPECT_EQ(C->DataChanges, 2);
    // Bound to another, the first one's fate no longer matters.
    TOwnedPtr<TXSkinData> First(New<TXSkinData>(nullptr));
    TOwnedPtr<TXSkinData> Second(New<TXSkinData>(nullptr));
    C->BindSkinData(First.get());
    C->BindSkinData(Second.get());
    First.reset();
    EXPECT_EQ(C->SkinData(), Second.get());
    EXPECT_EQ(C->DataChanges, 4);
}

TEST(Skins, RoundedRegionsScaleTheirCornersToTheScreen)
{
    TOwnedPtr<TXSkinData> Data(New<TXSkinData>(nullptr));
    TOwnedPtr<TProbeShape> Shape(New<TProbeShape>(nullptr));
    Shape->SetBounds(10, 20, 50, 30);
    EXPECT_EQ(Data->CreateRegion(Shape.get(), false), nullptr);

    struct {
        Integer Dpi;
        bool CornerIn;
    } const Cases[] = { { 96, true }, { 144, false } };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Dpi);
        SetScreenDPI(C.Dpi, C.Dpi);
        LoadScreenMetrics();
        HRGN Rgn = Data->CreateRegion(Shape.get(), true);
        ASSERT_NE(Rgn, nullptr);
        TRect Box;
        GetRgnBox(Rgn, &Box);
        EXPECT_EQ(Box, Rect(10, 20, 60, 50)); // the bounds, to the last pixel
        for (TPoint P : { TPoint { 10, 20 }, TPoint { 59, 20 }, TPoint { 10, 49 }, TPoint { 59, 49 } })
            EXPECT_EQ(PtInRegion(Rgn, P.X, P.Y), C.CornerIn) << P.X << "," << P.Y;
        EXPECT_TRUE(PtInRegion(Rgn, 11, 20));
        EXPECT_TRUE(PtInRegion(Rgn, 10, 21));
        DeleteObject(Rgn);
    }
    SetScreenDPI(96, 96);
    LoadScreenMetrics();
}

namespace {

class SkinControls : public TFormFixture {
protected:
    template<class T>
    T* AddTo(TWinControl* Parent, TRect R)
    {
        return Add<T>(Parent, R, 0x808080);
    }
};

}

TEST_F(SkinControls, TheHotFlagFollowsTheMouse)
{
    auto* Shape = AddTo<TSkinnedShape>(Form, { 10, 10, 60, 60 });
    auto* Panel = AddTo<TSkinnedPanel>(Form, { 100, 10, 160, 60 });
    std::vector<std::string> Log;
    Shape->OnMouseEnter = [&](TObject*) { Log.push_back("shape enter"); };
    Shape->OnMouseLeave = [&](TObject*) { Log.push_back("shape leave"); };
    Panel->OnMouseEnter = [&](TObject*) { Log.push_back("panel enter"); };
    Panel->OnMouseLeave = [&](TObject*) { Log.push_back("panel leave"); };
    Form->Show();
    Pump();

    Move({ 20, 20 });
    EXPECT_TRUE(Shape->Hot());
    Move({ 120, 20 });
    EXPECT_FALSE(Shape->Hot());
    EXPECT_TRUE(Panel->Hot());
    Move({ 300, 200 });
    EXPECT_FALSE(Panel->Hot());
    EXPECT_EQ(Log, (std::vector<std::string> { "shape enter", "shape leave", "panel enter", "panel leave" }));
}

TEST_F(SkinControls, FreedSkinDataLeavesTheControlsAndTheirPaintingAlone)
{
    auto* Shape = AddTo<TSkinnedShape>(Form, { 10, 10, 60, 60 });
    auto* Panel = AddTo<TSkinnedPanel>(Form, { 100, 10, 160, 60 });
    TXSkinData* Data = New<TXSkinData>(nullptr);
    Shape->SetSkinData(Data);
    Panel->SetSkinData(Data);
    Form->Show();
    Pump();
    Data->Free();
    EXPECT_EQ(Shape->SkinData(), nullptr);
    EXPECT_EQ(Panel->SkinData(), nullptr);
    // Both asked to be painted again.
    RECT Update {};
    EXPECT_TRUE(GetUpdateRect(Form->Handle(), &Update, false));
    EXPECT_TRUE(GetUpdateRect(Panel->Handle(), &Update, false));
    Pump();
    // Outside the designer a skinned control paints nothing of its own.
    EXPECT_EQ(PixelAt({ 30, 30 }), TColor(0xFFFFFF));
}

TEST_F(SkinControls, ReskinningReachesEveryFormAndEachSkinnedControlOnce)
{
    auto* Shape = AddTo<TSkinnedShape>(Form, { 10, 10, 60, 60 });
    auto* Panel = AddTo<TSkinnedPanel>(Form, { 100, 10, 160, 60 });
    auto* Component = New<TCountingSkinComponent>(Form);
    TOwnedPtr<TSkinnedForm> Second(New<TSkinnedForm>(nullptr));
    auto* Other = New<TSkinnedShape>(Second.get());
    Other->SetParent(Second.get());
    TOwnedPtr<XSkin::TXSkin> Skin(New<XSkin::TXSkin>(nullptr));

    XSkin::TXSkin::RegisterAs(Skin.get(), u"Red");
    EXPECT_EQ(Shape->SkinChanges, 1);
    EXPECT_EQ(Panel->SkinChanges, 1);
    EXPECT_EQ(Other->SkinChanges, 1);
    EXPECT_EQ(Component->Applies, 1);
    EXPECT_EQ(Second->SkinMessages, 1);

    // One form alone.
    BroadcastSkinChanged(Second.get());
    EXPECT_EQ(Other->SkinChanges, 2);
    EXPECT_EQ(Shape->SkinChanges, 1);
    EXPECT_EQ(Second->SkinMessages, 1);
}

TEST_F(SkinControls, ReskinningSurvivesHandlersThatFreeOrAddControlsAndForms)
{
    auto* First = AddTo<TSkinnedShape>(Form, { 10, 10, 60, 60 });
    auto* Victim = AddTo<TSkinnedShape>(Form, { 70, 10, 90, 60 });
    auto* Panel = AddTo<TSkinnedPanel>(Form, { 100, 10, 160, 60 });
    auto* Doomed = New<TCountingSkinComponent>(Form);
    auto* Killer = New<TCountingSkinComponent>(Form);
    // The component that frees the other comes first.
    Form->RemoveComponent(Doomed);
    Form->InsertComponent(Doomed);
    Killer->Then = [&] { FreeAndNil(Doomed); };
    First->Then = [&] { FreeAndNil(Victim); };
    std::vector<TForm*> Made;
    Panel->Then = [&] { Made.push_back(New<TForm>(nullptr)); };

    // A second form that frees itself on the message, a third freed by the
    // first of the new forms' neighbours.
    TSkinnedForm* SelfFreeing = New<TSkinnedForm>(nullptr);
    SelfFreeing->Then = [&] { FreeAndNil(SelfFreeing); };
    TSkinnedForm* ByControl = New<TSkinnedForm>(nullptr);
    auto* Freer = New<TSkinnedShape>(ByControl);
    Freer->SetParent(ByControl);
    auto* Late = New<TSkinnedShape>(ByControl);
    Late->SetParent(ByControl);
    Freer->Then = [&] { FreeAndNil(ByControl); };

    ReskinAllForms();
    EXPECT_EQ(Victim, nullptr);
    EXPECT_EQ(Doomed, nullptr);
    EXPECT_EQ(SelfFreeing, nullptr);
    EXPECT_EQ(ByControl, nullptr);
    EXPECT_EQ(Killer->Applies, 1);
    EXPECT_EQ(First->SkinChanges, 1);
    EXPECT_EQ(Panel->SkinChanges, 1);
    // Forms made meanwhile are not reached this time.
    EXPECT_EQ(Made.size(), 1u);
    for (TForm* F : Made)
        F->Free();
}

TEST_F(SkinControls, SkinDataIsFoundInTheSkinOfTheControlsForm)
{
    TOwnedPtr<XSkin::TXSkin> Skin(New<XSkin::TXSkin>(nullptr));
    TOwnedPtr<TFrameSkinData> Data(New<TFrameSkinData>(nullptr));
    Data->SetName(u"Button");
    Skin->AddSkinData(Data.get());

    // A form without a skin finds nothing.
    auto* OnPlain = AddTo<TSkinnedShape>(Form, { 0, 0, 10, 10 });
    EXPECT_EQ(FindFormSkinData(OnPlain, u"Button", TXSkinData::StaticClass()), nullptr);

    TOwnedPtr<TSkinnedForm> Skinned(New<TSkinnedForm>(nullptr));
    auto* Panel = New<TProbePanel>(Skinned.get());
    Panel->SetParent(Skinned.get());
    auto* Deep = New<TSkinnedShape>(Skinned.get());
    Deep->SetParent(Panel);
    auto* Group = New<TCountingSkinComponent>(Panel);
    EXPECT_EQ(FindFormSkinData(Deep, u"Button", TXSkinData::StaticClass()), nullptr); // no skin yet
    Skinned->Skin = Skin.get();
    EXPECT_EQ(FindFormSkinData(Deep, u"Button", TXSkinData::StaticClass()), Data.get());
    EXPECT_EQ(FindFormSkinData(Panel, u"Button", TFrameSkinData::StaticClass()), Data.get());
    EXPECT_EQ(FindFormSkinData(Deep, u"Label", TXSkinData::StaticClass()), nullptr);
    EXPECT_EQ(FindGroupSkinData(Group, u"Button", TXSkinData::StaticClass()), Data.get());
    TOwnedPtr<TCountingSkinComponent> Lone(New<TCountingSkinComponent>(nullptr));
    EXPECT_EQ(FindGroupSkinData(Lone.get(), u"Button", TXSkinData::StaticClass()), nullptr);
}

TEST_F(SkinControls, TheFrameIsPaintedAndHitTestedOnTheWindow)
{
    TOwnedPtr<TFrameSkinData> Data(New<TFrameSkinData>(nullptr));
    TOwnedPtr<TFramedForm> Framed(New<TFramedForm>(nullptr));
    Framed->SetBounds(200, 150, 120, 90);
    Framed->SetColor(0xFFFFFF);
    Framed->Show();
    Pump();
    ASSERT_EQ(Framed->ClientWidth(), 104);

    TXSkinData::NCPaint(Data.get(), Framed.get());
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    ASSERT_TRUE(GetWindowBitmap(Framed->Handle(), Bmp.get()));
    EXPECT_EQ(Bmp->Pixel(0, 0), TColor(0x0000FF));
    EXPECT_EQ(Bmp->Pixel(7, 50), TColor(0x0000FF));
    EXPECT_EQ(Bmp->Pixel(119, 89), TColor(0x0000FF));
    EXPECT_EQ(Bmp->Pixel(8, 8), TColor(0xFFFFFF)); // the client area is left out
    EXPECT_EQ(Bmp->Pixel(111, 81), TColor(0xFFFFFF));
    SavePicture(Framed->Handle(), "skin-frame.png");
    // Nothing to paint with or on: nothing happens.
    TXSkinData::NCPaint(nullptr, Framed.get());
    TXSkinData::NCPaint(Data.get(), nullptr);

    RECT W {};
    GetWindowRect(Framed->Handle(), &W);
    TMessage M { WM_NCHITTEST, 0, MAKELPARAM(Word(W.left + 30), Word(W.top + 5)), 0 };
    TXSkinData::NCHitTest(Data.get(), Framed.get(), M);
    EXPECT_EQ(M.Result, HTCAPTION);
    EXPECT_EQ(Data->Seen, (TPoint { 30, 5 }));
    M.LParam = MAKELPARAM(Word(W.left + 30), Word(W.top + 40));
    TXSkinData::NCHitTest(Data.get(), Framed.get(), M);
    EXPECT_EQ(M.Result, HTCLIENT);
    // Points left of and above the screen's origin stay signed.
    Framed->SetBounds(-50, -40, 120, 90);
    GetWindowRect(Framed->Handle(), &W);
    M.LParam = MAKELPARAM(Word(W.left + 2), Word(W.top + 3));
    TXSkinData::NCHitTest(Data.get(), Framed.get(), M);
    EXPECT_EQ(Data->Seen, (TPoint { 2, 3 }));
}

namespace {

// Skin data that paints a glyph button: the picture of the state from its
// image data's box, its caption in the state's text colour.
class TButtonSkinData : public TXSkinData {
    X_CLASS_TEMPLATE(TButtonSkinData, TXSkinData, u"TXSkinTestButtonSkinData")
public:
    void Create(TComponent* AOwner) override
    {
        inherited::Create(AOwner);
        Images = New<TXImageData>(this);
        TextColors.reset(New<TXColorData>());
    }
    void PaintGlyph(TControl* Control, TCanvas* Canvas, TXPaintState State, Integer GlyphIndex,
        const TRect& Rect) override
    {
        TXSkinImagesBox* Box = Images->Images();
        const Integer Index = Images->ImageIndex(State);
        if (!Box || Index >= Box->Images()->Count())
            return;
        TOwnedPtr<TGraphic> Picture(Box->Images()->Items(Index)->ImageData()->ToGraphic());
        Canvas->StretchDraw(Rect, Picture.get());
    }
    void PaintText(TControl* Control, TCanvas* Canvas, TXPaintState State, const String& Text,
        const TRect& Rect) override
    {
        Canvas->Brush()->SetStyle(bsClear);
        Canvas->Font()->SetColor(TextColors->Colors(State));
        TRect R = Rect;
        Canvas->DrawText(Text, R, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }

    TXImageData* Images = nullptr;
    TOwnedPtr<TXColorData> TextColors;
};

// A skinned button that paints through its skin data in a given state.
class TStateButton : public TXSkinGraphicControl {
    X_CLASS_TEMPLATE(TStateButton, TXSkinGraphicControl, u"TXSkinTestStateButton")
public:
    TXPaintState State = cstOff;

protected:
    void Paint() override
    {
        if (TXSkinData* Data = SkinData()) {
            Data->PaintGlyph(this, Canvas(), State, 0, ClientRect());
            // The caption keeps clear of the check mark.
            Data->PaintText(this, Canvas(), State, Caption(), Rect(14, 0, Width(), Height()));
        }
    }
};

// A 24-bit picture of the state: its fill, a frame for the focused and
// pressed ones, a check mark for the checked ones, a dash for the mixed.
TOwnedPtr<TBitmap> StatePicture(TXPaintState State)
{
    const TColor Fills[] = { 0xC8C8C8, 0xD8D8D8, 0xB0F0FF, 0xF0E8E0, 0xC0F0C0, 0xE0E0F0, 0xA09080, 0xF0E8E0, 0xC8D8C8,
        0x90E0F0, 0xC0F0C0, 0xD0D0D8, 0xB0D8FF };
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    Bmp->SetSize(40, 24);
    TCanvas* C = Bmp->Canvas();
    C->Brush()->SetColor(Fills[State]);
    C->Pen()->SetColor(State == cstFocus || State == cstFocusOn ? 0xD07020 : 0x606060);
    C->Pen()->SetWidth(State == cstFocus || State == cstFocusOn || State == cstPress ? 2 : 1);
    C->Rectangle(Rect(0, 0, 40, 24));
    C->Pen()->SetWidth(2);
    C->Pen()->SetColor(State == cstDisOn || State == cstDisMix ? 0x909090 : 0x208020);
    if (State == cstOn || State == cstHotOn || State == cstFocusOn || State == cstDisOn) {
        C->MoveTo(4, 12);
        C->LineTo(7, 16);
        C->LineTo(13, 6);
    } else if (State == cstMix || State == cstHotMix || State == cstDisMix) {
        C->MoveTo(4, 12);
        C->LineTo(13, 12);
    }
    return Bmp;
}

}

TEST_F(SkinControls, ASkinnedControlInEachPaintState)
{
    // One picture per state in a skin images box, named by state prefix.
    TXSkinImagesBox* Box = New<TXSkinImagesBox>(Form);
    Box->SetImagesName(u"Button");
    AppSkin()->ImagesList()->Add(Box);
    for (Integer S = cstDis; S <= cstHotMix; ++S) {
        TXImageItem* Item = Box->Images()->Add();
        Item->SetDisplayName(StateImagePrefix(TXPaintState(S)) + u"Button");
        TOwnedPtr<TBitmap> Picture = StatePicture(TXPaintState(S));
        ASSERT_TRUE(Item->ImageData()->LoadFromObject(Picture.get()));
    }
    auto* Data = New<TButtonSkinData>(Form);
    Data->Images->SetImagesName(u"Button");
    ASSERT_EQ(Data->Images->Images(), Box);
    TXStateImageIndexes Indexes;
    GetStateImageIndexes(Box->Images(), u"Button", Indexes);
    for (Integer S = cstDis; S <= cstHotMix; ++S)
        Data->Images->SetImageIndex(TXPaintState(S), StateImageIndex(Indexes, TXPaintState(S)));
    for (TXPaintState S : { cstDis, cstDisOn, cstDisMix })
        Data->TextColors->SetColors(S, 0x808080);
    for (TXPaintState S : { cstOff, cstOn, cstMix, cstHot, cstHotOn, cstHotMix, cstFocus, cstFocusOn })
        Data->TextColors->SetColors(S, 0x202020);
    Data->TextColors->SetColors(cstPress, 0xFFFFFF);

    const char16_t* Names[] = { u"GroupDis", u"Dis", u"Hot", u"Off", u"On", u"Mix", u"Press", u"Focus", u"DisOn",
        u"HotOn", u"FocusOn", u"DisMix", u"HotMix" };
    Form->SetBounds(100, 100, 4 * 96 + 8, 4 * 40 + 8);
    std::vector<TStateButton*> Buttons;
    for (Integer S = cstGroupDis; S <= cstHotMix; ++S) {
        auto* B = New<TStateButton>(Form);
        B->State = TXPaintState(S);
        B->SetCaption(Names[S]);
        B->SetBounds(8 + (S % 4) * 96, 8 + (S / 4) * 40, 88, 32);
        B->SetSkinData(Data);
        B->SetParent(Form);
        Buttons.push_back(B);
    }
    Form->Show();
    Pump();
    SavePicture(Form->Handle(), "skin-control-states.png");

    // Each state shows its own picture: the fills of the pictures differ.
    const TColor Off = PixelAt({ 8 + 3 * 96 + 44, 8 + 28 });
    EXPECT_EQ(Off, StatePicture(cstOff)->Pixel(20, 20));
    EXPECT_NE(PixelAt({ 8 + 2 * 96 + 44, 8 + 28 }), Off); // Hot
    // The group-disabled state shows the disabled picture.
    EXPECT_EQ(PixelAt({ 8 + 44, 8 + 28 }), PixelAt({ 8 + 96 + 44, 8 + 28 }));
}
