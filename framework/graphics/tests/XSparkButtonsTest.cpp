#include "vcl/tests/ControlTestSupport.h"
#include "graphics/XSpark.VCL.Buttons.h"
#include "vcl/Themes.h"

using namespace ControlTests;

namespace {

class TFocusLog : public TObject {
public:
    Integer Count = 0;
    TObject* Sender = nullptr;
    void On(IXNotification* N)
    {
        ++Count;
        Sender = N->GetSender();
    }
};

class SkinnedButtons : public TFormFixture {
protected:
    void SetUp() override
    {
        TFormFixture::SetUp();
        Ok = New<TXButton>(Form);
        Ok->SetParent(Form);
        Ok->SetBounds(10, 10, 75, 25);
        Ok->SetDefault(true);
        Ok->OnClick = [this](TObject*) { ++Clicks; };
        Check = New<TXCheckBox>(Form);
        Check->SetParent(Form);
        Check->SetBounds(10, 50, 100, 20);
        Check->SetCaption(u"Check");
        Form->Show();
        Pump();
    }
    TXButton* Ok = nullptr;
    TXCheckBox* Check = nullptr;
    Integer Clicks = 0;
};

}

TEST_F(SkinnedButtons, TheHooksAreRegisteredAndKeepTheControlsSkin)
{
    TCustomStyleEngine* Engine = TStyleManager::Engine();
    struct TCase {
        TClass Control, Hook;
    };
    const TCase Cases[] = {
        { TXCustomButton::StaticClass(), TXButtonStyleHook::StaticClass() },
        { TXButton::StaticClass(), TXButtonStyleHook::StaticClass() },
        { TXCheckBox::StaticClass(), TXCheckBoxStyleHook::StaticClass() },
    };
    for (const TCase& C : Cases) {
        const std::vector<TClass> Hooks = Engine->StyleHooks(C.Control);
        ASSERT_FALSE(Hooks.empty());
        EXPECT_EQ(Hooks.front(), C.Hook);
    }
    TOwnedPtr<TXButtonStyleHook> ButtonHook(New<TXButtonStyleHook>(static_cast<TWinControl*>(Ok)));
    EXPECT_EQ(ButtonHook->ControlSkin(), Ok->ControlSkin());
    TOwnedPtr<TXCheckBoxStyleHook> CheckHook(New<TXCheckBoxStyleHook>(static_cast<TWinControl*>(Check)));
    EXPECT_EQ(CheckHook->ControlSkin(), Check->ControlSkin());
    auto* Plain = New<TButton>(Form);
    TOwnedPtr<TXButtonStyleHook> PlainHook(New<TXButtonStyleHook>(static_cast<TWinControl*>(Plain)));
    EXPECT_EQ(PlainHook->ControlSkin(), nullptr);
    // The system style styles nothing: no hook takes a message.
    TMessage Paint { WM_PAINT, 0, 0, 0 };
    EXPECT_FALSE(ButtonHook->HandleMessage(Paint));
    EXPECT_FALSE(CheckHook->HandleMessage(Paint));
}

TEST_F(SkinnedButtons, UnstyledTheyBehaveAsThePlatformsAndLeavingTellsOnce)
{
    TFocusLog Log;
    const auto Handler = TXNotificationHandler::Of<&TFocusLog::On>(&Log);
    Ok->Subscribe(TXFocusChangedAspect::StaticClass(), Handler);
    Ok->SetFocus();
    Pump();
    Key(VK_RETURN);
    EXPECT_EQ(Clicks, 1);
    Key(VK_TAB);
    EXPECT_TRUE(Check->Focused());
    EXPECT_EQ(Log.Count, 1);
    EXPECT_EQ(Log.Sender, static_cast<TObject*>(Ok));
    Key(VK_SPACE, U' ');
    EXPECT_TRUE(Check->Checked());
    // Enter on the check box still reaches the default button.
    Key(VK_RETURN);
    EXPECT_EQ(Clicks, 2);
    EXPECT_EQ(Log.Count, 1);
    Ok->UnsubscribeMethod(Handler);
}

TEST_F(SkinnedButtons, AWordWrappedCaptionIsCentredOnSeveralLines)
{
    Ok->SetBounds(150, 10, 60, 60);
    Ok->SetCaption(u"two words");
    Ok->SetWordWrap(true);
    Pump();
    // Text pixels in the upper and the lower half of the middle band.
    TOwnedPtr<TBitmap> Picture(MakeOwned<TBitmap>());
    ASSERT_TRUE(GetWindowBitmap(Form->Handle(), Picture.get()));
    auto Inked = [&](Integer Y0, Integer Y1) {
        for (Integer Y = Y0; Y < Y1; ++Y)
            for (Integer X = 154; X < 206; ++X)
                if (Picture->Pixel(X, Y) == ColorToRGB(clBtnText))
                    return true;
        return false;
    };
    EXPECT_TRUE(Inked(20, 40));
    EXPECT_TRUE(Inked(40, 60));
    SavePicture(Form->Handle(), "skinned-buttons.png");
}
