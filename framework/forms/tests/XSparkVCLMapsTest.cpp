#include "FormsTestSupport.h"
#include "MapsTestSupport.h"
#include "forms/XSpark.VCL.MapContent.h"
#include "graphics/tests/ScopedDpi.h"
#include "forms/XSpark.VCL.Maps.h"
#include "vcl/tests/ControlTestSupport.h"

using namespace MapTests;

namespace {

// A contained map that notes the clip rectangle of every paint.
class TPaintLogMap : public TXContainedMap {
    X_CLASS_TEMPLATE(TPaintLogMap, TXContainedMap, u"TPaintLogMap")
public:
    std::vector<TRect> Paints;

protected:
    void Paint() override
    {
        Paints.push_back(Canvas()->ClipRect());
        inherited::Paint();
    }
};

// The map's hit commands, and what to do on one.
class TMapLog : public TComponent {
    X_CLASS(TMapLog, TComponent)
public:
    void Cmd(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName, const String& Command,
        const String& Args)
    {
        Log.push_back(StringToUTF8(HitName));
        if (Then)
            Then();
    }
    void Listen(TXCustomMap* Map) { Map->OnHitCommand.SetMethod({ MethodAddress(StaticClass(), u"Cmd"), this }); }
    std::vector<std::string> Log;
    std::function<void()> Then;
};
X_REGISTER_CLASS(TMapLog)
X_PUBLISHED(TMapLog)
{
    X_METHOD(Cmd);
}

constexpr TRect Whole { 0, 0, 200, 100 };
constexpr TRect Next { 10, 10, 90, 40 };
constexpr TRect Prev { 110, 10, 190, 40 };

class Maps : public ControlTests::TFormFixture {
protected:
    void SetUp() override
    {
        TFormFixture::SetUp();
        Form->Show();
        Pump();
    }
    // A map of FillMap at (0, 0) of the form.
    TPaintLogMap* NewMap(bool States)
    {
        auto* Map = New<TPaintLogMap>(Form);
        Map->SetParent(Form);
        TOwnedPtr<TXMapObject> Object(New<TXMapObject>());
        FillMap(Object.get(), States);
        Map->LoadMap(Object.get());
        Pump();
        Map->Paints.clear();
        return Map;
    }
    static Byte StateOf(TXCustomMap* Map, Integer Area) { return Map->AreasHandler()->Area(Area)->State(); }
};

} // namespace

TEST_F(Maps, LoadMapSizesAndFillsAreas)
{
    TPaintLogMap* Map = NewMap(true);
    EXPECT_EQ(Map->Width(), 200);
    EXPECT_EQ(Map->Height(), 100);
    EXPECT_EQ(Map->Areas()->Count(), 3);
    EXPECT_EQ(Map->AreasHandler()->State()->ClassType(), TXImagesAreasHandlerState::StaticClass());

    // Without areas: one over the whole control; one picture for every
    // state picks the quiet state.
    TOwnedPtr<TXMapObject> Bare(New<TXMapObject>());
    AddStatePicture(Bare->Images(), cstOff, u"menu", 200, 100);
    Bare->SetImagesSuffix(u"menu");
    Map->SetBounds(0, 0, 150, 70);
    Map->LoadMap(Bare.get());
    ASSERT_EQ(Map->Areas()->Count(), 1);
    EXPECT_EQ(Map->Areas()->Items(0)->Rect(), Rect(0, 0, 150, 70));
    EXPECT_EQ(Map->AreasHandler()->State()->ClassType(), TXImageAreasHandlerState::StaticClass());

    // A size from the data beyond the picture cap gives way to the
    // picture's.
    Bare->SetWidth(2147483647);
    Bare->SetHeight(5);
    Map->LoadMap(Bare.get());
    EXPECT_EQ(Map->Width(), 200);
    EXPECT_EQ(Map->Height(), 100);
}

TEST_F(Maps, HoverRepaintsOnlyAreasWhosePictureChanged)
{
    struct TStep {
        TPoint To;
        std::vector<TRect> Paints; // with a picture per state
    };
    // Into an area, straight to the next one, then onto the background
    // (area 0 turning hot repaints everything).
    const TStep Steps[] = {
        { { 20, 20 }, { Next } },
        { { 120, 20 }, { Next, Prev } },
        { { 100, 60 }, { Prev, Whole } },
    };
    for (bool States : { true, false }) {
        SCOPED_TRACE(States ? "a picture per state" : "one picture");
        TPaintLogMap* Map = NewMap(States);
        for (const TStep& S : Steps) {
            Map->Paints.clear();
            Move(S.To);
            EXPECT_EQ(Map->Paints, States ? S.Paints : std::vector<TRect>()) << S.To.X << "," << S.To.Y;
        }
        Map->Free();
    }
}

TEST_F(Maps, PressReleaseOverlapsAndButtons)
{
    TPaintLogMap* Map = NewMap(true);
    // A third area over the right part of the first.
    AddArea(Map->Areas(), { 50, 20, 150, 60 }, xhtCustom, u"over");
    TOwnedPtr<TMapLog> LogOwner(New<TMapLog>(nullptr));
    TMapLog& Log = *LogOwner;
    Log.Listen(Map);
    const Integer Pressed = 1 << 6, On = 1 << 4, Hot = 1 << 2;

    // HitTest and a press pick the lower-numbered area, a move makes the
    // higher-numbered one hot.
    EXPECT_EQ(Map->HitTest({ 60, 30 }), HitTypeToNCHitTest(xhtCustom));
    EXPECT_EQ(Map->HitTest({ 100, 80 }), HitTypeToNCHitTest(xhtClient));
    Move({ 60, 30 });
    EXPECT_EQ(StateOf(Map, 3) & Hot, Hot);
    EXPECT_EQ(StateOf(Map, 1) & Hot, 0);

    // The right button changes nothing.
    const TPoint P = Screen({ 60, 30 });
    PostInput(TInputEvent::ButtonEvent({ P.X, P.Y }, mbiRight, true));
    PostInput(TInputEvent::ButtonEvent({ P.X, P.Y }, mbiRight, false));
    Pump();
    EXPECT_EQ(StateOf(Map, 1) & (Pressed | On), 0);
    EXPECT_TRUE(Log.Log.empty());

    Press({ 60, 30 }, true);
    EXPECT_EQ(StateOf(Map, 1) & Pressed, Pressed);
    EXPECT_EQ(StateOf(Map, 3) & Pressed, 0);
    // Released over another area: that one is "on" and reports its hit;
    // nothing stays pressed.
    Move({ 150, 20 });
    Press({ 150, 20 }, false);
    EXPECT_EQ(Log.Log, std::vector<std::string>({ "prev" }));
    EXPECT_EQ(StateOf(Map, 2) & On, On);
    for (Integer I = 0; I < Map->Areas()->Count(); ++I)
        EXPECT_EQ(StateOf(Map, I) & Pressed, 0) << I;

    // A disabled map takes no press.
    Map->SetEnabled(false);
    Press({ 20, 20 }, true);
    Press({ 20, 20 }, false);
    EXPECT_EQ(Log.Log.size(), 1u);
}

TEST_F(Maps, HandlersMayFreeTheMapOrReplaceItsPictures)
{
    for (bool States : { true, false }) {
        for (const char* What : { "free", "pictures", "areas" }) {
            SCOPED_TRACE(std::string(What) + (States ? " states" : " one"));
            TPaintLogMap* Map = NewMap(States);
            TOwnedPtr<TMapLog> LogOwner(New<TMapLog>(nullptr));
            TMapLog& Log = *LogOwner;
            Log.Listen(Map);
            TOwnedPtr<TXMapObject> Other(New<TXMapObject>());
            FillMap(Other.get(), !States);
            Log.Then = [&] {
                if (std::string(What) == "free")
                    FreeAndNil(Map);
                else if (std::string(What) == "pictures")
                    Map->SetImages(Other->Images());
                else
                    Map->SetAreas(Other->Areas());
            };
            Move({ 20, 20 });
            Click({ 20, 20 });
            EXPECT_EQ(Log.Log, std::vector<std::string>({ "next" }));
            Move({ 120, 20 });
            if (Map)
                Map->Free();
        }
    }
}

TEST_F(Maps, ScaleMapData)
{
    TOwnedPtr<TXMapObject> Object(New<TXMapObject>());
    FillMap(Object.get(), true);
    TOwnedPtr<TXMapDataObject> Data(New<TXMapDataObject>());
    CopyMapContent(Data->Areas(), Data->Images(), Object->Areas(), Object->Images());

    TXCustomMap::ScaleMapData(Data.get(), 300, 50);
    EXPECT_EQ(Data->Areas()->Items(1)->Rect(), Rect(15, 5, 135, 20));
    EXPECT_EQ(Data->Width(), 300);
    EXPECT_EQ(Data->Height(), 50);
    TOwnedPtr<TGraphic> G(Data->Images()->Items(2)->ImageData()->ToGraphic());
    EXPECT_EQ(G->Width(), 300);
    EXPECT_EQ(G->Height(), 50);

    // A first picture of width 0 changes nothing.
    Data->Images()->Items(0)->ImageData()->SetWidth(0);
    TXCustomMap::ScaleMapData(Data.get(), 600, 600);
    EXPECT_EQ(Data->Areas()->Items(1)->Rect(), Rect(15, 5, 135, 20));

    // A stored size beyond the cap: the picture's own counts; far corners
    // scale in 64 bits.
    Data->Images()->Items(0)->ImageData()->SetWidth(2147483647);
    Data->Areas()->Items(0)->SetRect(Rect(0, 0, 2000000000, 50));
    TXCustomMap::ScaleMapData(Data.get(), 600, 50);
    EXPECT_EQ(Data->Areas()->Items(1)->Rect(), Rect(30, 5, 270, 20));
    EXPECT_EQ(Data->Areas()->Items(0)->Rect().Right, 2147483647);
}

TEST_F(Maps, GalleryHotMap)
{
    for (Integer Dpi : { 96, 144 }) {
        TScopedDpi Scoped(Dpi);
        auto* Map = New<TXContainedMap>(Form);
        Map->SetParent(Form);
        TOwnedPtr<TXMapObject> Object(New<TXMapObject>());
        FillMap(Object.get(), true);
        TOwnedPtr<TXMapDataObject> Data(New<TXMapDataObject>());
        CopyMapContent(Data->Areas(), Data->Images(), Object->Areas(), Object->Images());
        TXCustomMap::ScaleMapData(Data.get(), MulDiv(200, Dpi, 96), MulDiv(100, Dpi, 96));
        Map->SetAutoSize(true);
        Map->SetMapData(Data.get());
        Pump();
        const TPoint In { MulDiv(20, Dpi, 96), MulDiv(20, Dpi, 96) };
        Move(In);
        Press(In, true);
        Move({ MulDiv(120, Dpi, 96), MulDiv(20, Dpi, 96) });
        Pump();
        // The area under the mouse shows the hot picture, the pressed one
        // left behind the pressed picture, the rest the quiet one.
        EXPECT_EQ(PixelAt({ MulDiv(130, Dpi, 96), MulDiv(30, Dpi, 96) }), StateColor(cstHot));
        EXPECT_EQ(PixelAt({ MulDiv(30, Dpi, 96), MulDiv(30, Dpi, 96) }), StateColor(cstPress));
        EXPECT_EQ(PixelAt({ MulDiv(100, Dpi, 96), MulDiv(80, Dpi, 96) }), StateColor(cstOff));
        SavePicture(Form->Handle(), "hot-map-" + std::to_string(Dpi) + ".png");
        Press(In, false);
        Map->Free();
    }
}

namespace {

class THitListener : public TObject {
public:
    std::vector<std::string> Heard;
    void Heard1(IXNotification* N)
    {
        if (auto* A = DynamicCast<TXHitAspect>(N->GetAspect()))
            Heard.push_back(std::to_string(A->Monitor) + " " + StringToUTF8(A->Command));
    }
};

class MapContent : public FormsTests::TSkinnedFixture { };

} // namespace

TEST_F(MapContent, FramesChosenPlacedAndClicked)
{
    RegisterContentFrameClass<TXSimpleMapContentFrame>();
    RegisterContentFrameClass<TXMapContentFrame>();
    auto* Float = New<TXContentFloat>(nullptr);
    Float->ContentPlacement()->SetPosition(cpStretch);
    Float->ContentPlacement()->SetWidth(400);
    Float->ContentPlacement()->SetHeight(50);

    // A map with areas: the map frame, its areas scaled to the placed size.
    // Stored data is not reference counted: the test owns it.
    TOwnedPtr<TXMapObject> MapOwner(New<TXMapObject>());
    TXMapObject* Map = MapOwner.get();
    FillMap(Map, true);
    IPtr<IInterface> MapRef(static_cast<IXDataStorable*>(Map));
    Float->ShowContent(MapRef.Get());
    auto* MapFrame = DynamicCast<TXMapContentFrame>(Float->ContentControl());
    ASSERT_NE(MapFrame, nullptr);
    EXPECT_EQ(MapFrame->Width(), 400);
    EXPECT_EQ(MapFrame->Map()->Areas()->Items(1)->Rect(), Rect(20, 5, 180, 20));

    // A simple map: the picture frame, which hands a hit it does not run
    // itself to its observers.
    TOwnedPtr<TXSimpleMapObject> SimpleOwner(New<TXSimpleMapObject>());
    TXSimpleMapObject* Simple = SimpleOwner.get();
    AddStatePicture(Map->Images(), cstOff, u"x", 40, 20);
    Simple->LoadFromObject(Map->Images()->Items(Map->Images()->Count() - 1));
    Simple->Hit()->SetHit(xhtCustom);
    Simple->Hit()->SetCommand(u"next");
    Simple->Hit()->SetHint(u"Next picture");
    IPtr<IInterface> SimpleRef(static_cast<IXDataStorable*>(Simple));
    EXPECT_FALSE(TXMapContentFrame::CanShow(nullptr));
    EXPECT_TRUE(TXSimpleMapContentFrame::CanShow(SimpleRef.Get()));
    Float->ShowContent(SimpleRef.Get());
    auto* SimpleFrame = DynamicCast<TXSimpleMapContentFrame>(Float->ContentControl());
    ASSERT_NE(SimpleFrame, nullptr);
    EXPECT_EQ(SimpleFrame->Image()->Hint(), u"Next picture");
    THitListener Listener;
    SimpleFrame->Subscribe(TXHitAspect::StaticClass(), TXNotificationHandler::Of<&THitListener::Heard1>(&Listener));
    SimpleFrame->ImageClick();
    EXPECT_EQ(Listener.Heard, std::vector<std::string>({ "0 next" }));

    Float->HideContent(true);
    Float->Free();
    Pump();
}
