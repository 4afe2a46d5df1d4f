// The progress bar's marquee hook under a custom style (a stub that
// records what it is asked to draw), and the drag-and-copy cursor.
#include "forms/XSpark.VCL.DragCursor.h"
#include "forms/XSpark.VCL.Indicators.h"
#include "rtl/testing/Testing.h"
#include "vcl/Forms.h"
#include "win/Presenter.h"
#include "win/Time.h"
#include <gtest/gtest.h>

namespace {

// A custom style that is there and draws nothing, but remembers the
// elements it was asked for.
class TStubStyle : public TSystemStyleServices {
    X_CLASS_TEMPLATE(TStubStyle, TSystemStyleServices, u"TStubStyle")
public:
    bool On = true;
    std::vector<std::pair<TThemedElement, TRect>> Drawn;
    String Name() const override { return u"Stub"; }
    bool Enabled() const override { return On; }
    bool IsSystemStyle() const override { return false; }
    bool DrawElement(TCanvas*, const TThemedElementDetails& Details, const TRect& R) const override
    {
        const_cast<TStubStyle*>(this)->Drawn.push_back({ Details.Element, R });
        return true;
    }
};

class MarqueeHook : public testing::Test {
protected:
    void SetUp() override
    {
        Form = New<TForm>(nullptr);
        Form->SetBounds(100, 100, 300, 200);
        Form->Show();
        Bar = New<TXProgressBar>(Form);
        Bar->SetBounds(10, 10, 102, 22); // inside the frame: 100 x 20
        Bar->SetParent(Form);
        Style = MakeOwned<TStubStyle>();
    }
    void TearDown() override
    {
        Hook.reset();
        FreeAndNil(Form);
        Application->ProcessMessages();
    }
    void MakeHook()
    {
        Hook = MakeOwned<TXProgressBarStyleHook>(Bar);
        Hook->SetStyle(Style.get());
    }
    void Tick()
    {
        Clock.Advance(200);
        Application->ProcessMessages();
    }

    THeadlessPresenter Presenter;
    TManualClock Clock;
    TForm* Form = nullptr;
    TXProgressBar* Bar = nullptr;
    TOwnedPtr<TStubStyle> Style;
    TOwnedPtr<TXProgressBarStyleHook> Hook;
};

}

TEST_F(MarqueeHook, TheChunkWalksAcrossInTenStepsOfATenth)
{
    Bar->SetStyle(pbstMarquee);
    MakeHook();
    ASSERT_TRUE(Hook->Animating());
    std::vector<TRect> Want;
    for (Integer I = 0; I < 11; ++I) {
        Tick();
        const Integer Step = I % 10;
        Want.push_back({ 11 + Step * 10, 11, 21 + Step * 10, 31 });
    }
    std::vector<TRect> Got;
    for (const auto& [Element, R] : Style->Drawn) {
        EXPECT_EQ(Element, teProgressChunk);
        Got.push_back(R);
    }
    // Bar coordinates: the client area less one pixel all round.
    for (TRect& R : Want)
        R = { R.Left - 10, R.Top - 10, R.Right - 10, R.Bottom - 10 };
    EXPECT_EQ(Got, Want);
    EXPECT_EQ(Hook->Counter(), 1);

    // Upright: a tenth of the height, climbing from the bottom.
    Style->Drawn.clear();
    Bar->SetBounds(10, 10, 22, 52); // inside: 20 x 50, chunk round(5)
    Bar->SetOrientation(pbVertical);
    Tick();
    ASSERT_EQ(Style->Drawn.size(), 1u);
    EXPECT_EQ(Style->Drawn[0].first, teProgressChunkVert);
    EXPECT_EQ(Style->Drawn[0].second, Rect(1, 41, 21, 46));
}

TEST_F(MarqueeHook, TheAnimationStartsOnlyForAMarqueeAndStopsForGood)
{
    struct TCase {
        const char* Name;
        TProgressBarStyle AtCreation;
        std::function<void(TXProgressBar*, TStubStyle*)> Then;
        bool Animates;
    };
    const TCase Cases[] = {
        { "normal, then marquee", pbstNormal, [](TXProgressBar* B, TStubStyle*) { B->SetStyle(pbstMarquee); }, false },
        { "hidden at a tick", pbstMarquee, [](TXProgressBar* B, TStubStyle*) { B->Hide(); }, false },
        { "style gone at a tick", pbstMarquee, [](TXProgressBar*, TStubStyle* S) { S->On = false; }, false },
        { "back to normal", pbstMarquee, [](TXProgressBar* B, TStubStyle*) { B->SetStyle(pbstNormal); }, false },
        { "left alone", pbstMarquee, [](TXProgressBar*, TStubStyle*) { }, true },
    };
    for (const TCase& C : Cases) {
        Bar->SetStyle(C.AtCreation);
        Bar->Show();
        Style->On = true;
        MakeHook();
        C.Then(Bar, Style.get());
        Tick();
        // Whatever comes back, a stopped hook stays stopped.
        Bar->Show();
        Bar->SetStyle(pbstMarquee);
        Style->On = true;
        Style->Drawn.clear();
        Tick();
        EXPECT_EQ(Hook->Animating(), C.Animates) << C.Name;
        EXPECT_EQ(Style->Drawn.empty(), !C.Animates) << C.Name;
    }
}

TEST_F(MarqueeHook, WithoutAStyleOrAMarqueeTheBarPaintsItself)
{
    MakeHook();
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    Bmp->SetSize(102, 22);
    Bar->SetPosition(50);
    // A normal bar under the custom style: the bar's own painting.
    Hook->PaintBar(Bmp->Canvas());
    EXPECT_TRUE(Style->Drawn.empty());
    EXPECT_EQ(Hook->Counter(), 0);
    // A marquee without the style: the same.
    Bar->SetStyle(pbstMarquee);
    Style->On = false;
    Hook->PaintBar(Bmp->Canvas());
    EXPECT_TRUE(Style->Drawn.empty());
    EXPECT_EQ(Hook->Counter(), 0);
}

TEST(Indicators, TheUnitRegistersTheHookAndTheDragCursor)
{
    const std::vector<TClass> Hooks = TStyleManager::Engine()->StyleHooks(TXProgressBar::StaticClass());
    ASSERT_FALSE(Hooks.empty());
    EXPECT_EQ(Hooks.front(), TXProgressBarStyleHook::StaticClass());
    EXPECT_EQ(CursorFontShape(Screen->Cursors(crDragCopy)), XC_plus);
}
