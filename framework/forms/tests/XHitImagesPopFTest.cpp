// The hit-image strip of a hot desktop panel: one image per sub-area, the
// strip's thickness, a click reaching the gear, and hiding on leave.
#include "FormsTestSupport.h"
#include "forms/XHitImagesPopF.h"
#include "graphics/XExtCtrls.h"
#include "graphics/XImageCtrls.h"

using namespace FormsTests;

namespace {

class TCommandGear : public XEngine::TXGear {
    X_CLASS_TEMPLATE(TCommandGear, XEngine::TXGear, u"TCommandGear")
public:
    void DoCommand(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName, const String& Command,
        const String& Args) override
    {
        Log.push_back(StringToUTF8(HitName + u" " + Command + u" " + Args));
    }
    std::vector<std::string> Log;
};

class HitImageStrips : public TSkinnedFixture {
protected:
    void TearDown() override
    {
        FreeAndNil(Hot);
        FreeAndNil(Gear);
        Application->ProcessMessages();
        TSkinnedFixture::TearDown();
    }
    // A hot spot at (400, 300) with Count sub-areas "a0", "a1"...
    void MakeHot(Integer Count)
    {
        TOwnedPtr<TXHitImageAreasItem> Item(New<TXHitImageAreasItem>(nullptr));
        Item->SetHit(xhtCustom);
        for (Integer I = 0; I < Count; ++I) {
            auto* Area = static_cast<TXHitAreaItem*>(Item->Areas()->Add());
            Area->SetDisplayName(u"a" + IntToStr(I));
            Area->SetHit(xhtCustom);
            Area->SetCommand(u"show");
            Area->SetArgs(IntToStr(I));
            Area->SetHint(u"Area " + IntToStr(I));
        }
        Hot = New<TXHotDesktopPanel>(nullptr);
        Hot->SetHit(Item.get(), { 400, 300, 440, 340 });
        Gear = New<TCommandGear>(nullptr);
        Strip = New<TXHitImagesPopForm>(Hot);
        Strip->SetPreview(Gear);
        Strip->SetHitAreas(Hot->HitAreasItem()->Areas(), true, 24);
        Hot->SetPopupControl(Strip);
        Hot->SetVisible(true);
    }
    TXHitImage* Image(Integer Index) { return static_cast<TXHitImage*>(Strip->FlowPanel()->Controls(Index)); }
    void MoveTo(TPoint P)
    {
        PostInput(TInputEvent::Move({ P.X, P.Y }));
        Application->ProcessMessages();
    }

    TXHotDesktopPanel* Hot = nullptr;
    TCommandGear* Gear = nullptr;
    TXHitImagesPopForm* Strip = nullptr;
};

}

TEST_F(HitImageStrips, OneImagePerSubAreaInAStripOneImageThick)
{
    struct TCase {
        Integer Count;
        bool Vertical;
    };
    for (const TCase C : { TCase { 3, true }, TCase { 0, true }, TCase { 2, false } }) {
        MakeHot(C.Count);
        // Room along the strip, so a horizontal one needs no second row.
        Strip->SetClientSize(200, 200);
        Strip->SetHitAreas(Hot->HitAreasItem()->Areas(), C.Vertical, 24);
        ASSERT_EQ(Strip->FlowPanel()->ControlCount(), C.Count);
        const Integer Thick = 2 * Strip->FlowPanel()->HorzSpacing() + 24;
        EXPECT_EQ(C.Vertical ? Strip->ClientWidth() : Strip->ClientHeight(), Thick);
        for (Integer I = 0; I < C.Count; ++I) {
            EXPECT_EQ(Image(I)->Width(), 24);
            EXPECT_EQ(Image(I)->Hint(), u"Area " + IntToStr(I));
            EXPECT_EQ(Image(I)->HitItem()->Args(), IntToStr(I));
            // The strip's images are its own: the panel's areas may go.
            EXPECT_EQ(Image(I)->Owner(), Strip);
        }
        EXPECT_EQ(Strip->Areas()->Count(), C.Count);
        FreeAndNil(Hot);
        FreeAndNil(Gear);
    }
}

TEST_F(HitImageStrips, TheHotPanelShowsTheStripAndAClickReachesTheGear)
{
    MakeHot(2);
    MoveTo({ 100, 100 });
    MoveTo({ 410, 310 });
    ASSERT_TRUE(Strip->Visible());
    EXPECT_EQ(Point(Strip->Left(), Strip->Top()), Point(402, 302));

    Image(1)->Click();
    EXPECT_TRUE(Gear->Log.empty());
    Clock.Advance(50);
    Application->ProcessMessages();
    EXPECT_EQ(Gear->Log, std::vector<std::string> { "a1 show 1" });

    // The gear going first unbinds the images.
    FreeAndNil(Gear);
    Image(0)->Click();
    Clock.Advance(50);
    Application->ProcessMessages();

    // Leaving an image for a point outside the strip hides it.
    MoveTo({ Strip->Left() + 10, Strip->Top() + 10 });
    MoveTo({ 10, 700 });
    Image(0)->OnMouseLeave(Image(0));
    EXPECT_FALSE(Strip->Visible());
}
