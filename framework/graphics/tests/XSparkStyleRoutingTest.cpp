#include "vcl/tests/ControlTestSupport.h"
#include "graphics/XSpark.VCL.Buttons.h"
#include "graphics/XSpark.VCL.Panels.h"
#include "graphics/XSpark.VCL.Skins.h"
#include "vcl/Themes.h"

using namespace ControlTests;

namespace {

// A style that styles controls, known only to these tests.
class TStubStyle : public TCustomStyleServices {
    X_CLASS_TEMPLATE(TStubStyle, TCustomStyleServices, u"TStubStyle")
public:
    static constexpr TColor Panel = 0x204080;
    String Name() const override { return u"Stub"; }
    bool Enabled() const override { return true; }
    bool IsSystemStyle() const override { return false; }
    TColor GetSystemColor(TColor Color) const override { return Color; }
    TColor GetStyleColor(TStyleColor Color) const override { return Color == scPanel ? Panel : TColor(clBlack); }
    TColor GetStyleFontColor(TStyleFont) const override { return clBlack; }
    TPoint GetElementSize(const TThemedElementDetails&) const override { return { 13, 13 }; }
    bool DrawElement(TCanvas*, const TThemedElementDetails&, const TRect&) const override { return false; }
};

// Every message a hooked control offers its hooks, logged; WM_APP taken.
std::vector<std::pair<TWinControl*, UINT>> HookLog;

template<class TBase>
class TLogHookOf : public TBase {
    X_CLASS_TEMPLATE(TLogHookOf, TBase, u"TLogHookOf<T>")
public:
    bool HandleMessage(TMessage& Message) override
    {
        HookLog.push_back({ this->Control(), Message.Msg });
        if (Message.Msg == WM_APP)
            return true;
        return TBase::HandleMessage(Message);
    }
};
using TLogButtonHook = TLogHookOf<TXButtonStyleHook>;
using TLogCheckBoxHook = TLogHookOf<TXCheckBoxStyleHook>;
using TLogPanelHook = TLogHookOf<TStyleHook>;
using TLogScrollBoxHook = TLogHookOf<TXScrollBoxStyleHook>;

class StyleRouting : public TFormFixture {
protected:
    void SetUp() override
    {
        TFormFixture::SetUp();
        Style.reset(New<TStubStyle>());
        TStyleManager::RegisterStyle(Style.get());
        Skin.reset(New<TXStyleSkin>(static_cast<TComponent*>(nullptr)));
        Skin->SetStyleName(u"Stub");
        Skin->SetSkinName(u"Stub");
        QVSkinEngine()->Skins()->Add(Skin.get());
        for (auto [Control, Hook] : Hooks)
            TStyleManager::Engine()->RegisterStyleHook(Control, Hook);
        HookLog.clear();
    }
    void TearDown() override
    {
        for (auto [Control, Hook] : Hooks)
            TStyleManager::Engine()->UnRegisterStyleHook(Control, Hook);
        TFormFixture::TearDown();
        QVSkinEngine()->Skins()->Remove(Skin.get());
        Skin.reset();
        TStyleManager::UnRegisterStyle(Style.get());
        Style.reset();
    }
    template<class T>
    T* AddSkinned(TRect R, bool Stub)
    {
        T* C = Add<T>(Form, R, clBtnFace);
        if (Stub)
            C->ControlSkin()->SetSkinName(u"Stub");
        C->HandleNeeded();
        return C;
    }
    bool Logged(TWinControl* Control, UINT Msg) const
    {
        return std::find(HookLog.begin(), HookLog.end(), std::pair { Control, Msg }) != HookLog.end();
    }

    const std::vector<std::pair<TClass, TClass>> Hooks {
        { TXCustomButton::StaticClass(), TLogButtonHook::StaticClass() },
        { TXCheckBox::StaticClass(), TLogCheckBoxHook::StaticClass() },
        { TXCustomPanel::StaticClass(), TLogPanelHook::StaticClass() },
        { TXCustomGroupBox::StaticClass(), TLogPanelHook::StaticClass() },
        { TXScrollBox::StaticClass(), TLogScrollBoxHook::StaticClass() },
    };
    TOwnedPtr<TStubStyle> Style;
    TOwnedPtr<TXStyleSkin> Skin;
};

}

TEST_F(StyleRouting, OnlyControlsWhoseSkinStylesThemOfferTheirMessagesToTheHooks)
{
    struct TCase {
        const char* Name;
        TWinControl* Control;
        bool Styled;
    };
    const TCase Cases[] = {
        { "button on the stub", AddSkinned<TXButton>({ 10, 10, 80, 35 }, true), true },
        { "button on the system style", AddSkinned<TXButton>({ 90, 10, 160, 35 }, false), false },
        { "check box on the stub", AddSkinned<TXCheckBox>({ 10, 40, 100, 60 }, true), true },
        { "check box on the system style", AddSkinned<TXCheckBox>({ 110, 40, 200, 60 }, false), false },
        { "panel on the stub", AddSkinned<TXPanel>({ 10, 70, 100, 100 }, true), true },
        { "group box on the stub", AddSkinned<TXGroupBox>({ 110, 70, 200, 140 }, true), true },
        { "group box on the system style", AddSkinned<TXGroupBox>({ 210, 70, 300, 140 }, false), false },
        { "scroll box on the stub", AddSkinned<TXScrollBox>({ 10, 150, 100, 200 }, true), true },
        { "scroll box on the system style", AddSkinned<TXScrollBox>({ 110, 150, 200, 200 }, false), false },
    };
    for (const TCase& C : Cases) {
        HookLog.clear();
        // A message the hook takes stops there; the control's own
        // handling runs only for the others.
        EXPECT_EQ(C.Control->Perform(WM_APP, 0, 0), 0) << C.Name;
        EXPECT_EQ(Logged(C.Control, WM_APP), C.Styled) << C.Name;
        C.Control->Perform(WM_ERASEBKGND, 0, 0);
        EXPECT_EQ(Logged(C.Control, WM_ERASEBKGND), C.Styled) << C.Name;
    }
}

TEST_F(StyleRouting, TheScrollBoxHookErasesWithItsSkinsPanelColour)
{
    auto* Styled = AddSkinned<TXScrollBox>({ 10, 10, 110, 110 }, true);
    auto* Plain = AddSkinned<TXScrollBox>({ 120, 10, 220, 110 }, false);
    Styled->SetColor(clWindow);
    Plain->SetColor(clWindow);
    Form->Show();
    Pump();
    EXPECT_EQ(PixelAt({ 50, 50 }), TStubStyle::Panel);
    EXPECT_EQ(PixelAt({ 170, 50 }), ColorToRGB(clWindow));
    // The hook keeps the box's skin; another control's hook has none.
    TOwnedPtr<TXScrollBoxStyleHook> Hook(New<TXScrollBoxStyleHook>(static_cast<TWinControl*>(Styled)));
    EXPECT_EQ(Hook->ControlSkin(), Styled->ControlSkin());
    TOwnedPtr<TXScrollBoxStyleHook> Other(New<TXScrollBoxStyleHook>(static_cast<TWinControl*>(Form)));
    EXPECT_EQ(Other->ControlSkin(), nullptr);
}

TEST_F(StyleRouting, AGroupBoxErasesByItsStyleAndTransparency)
{
    struct TCase {
        bool Stub, Transparent;
        LRESULT Erased;
    };
    // Styled and opaque: the style paints all (0); plain and transparent:
    // the parent's background stays (1); otherwise the platform's erase.
    const TCase Cases[] = { { true, false, 0 }, { false, true, 1 }, { false, false, 1 }, { true, true, 1 } };
    for (const TCase& C : Cases) {
        auto* G = AddSkinned<TXGroupBox>({ 10, 10, 200, 100 }, C.Stub);
        G->SetTransparent(C.Transparent);
        TMessage Erase { WM_ERASEBKGND, 0, 0, 0 };
        G->Dispatch(Erase);
        EXPECT_EQ(Erase.Result, C.Erased) << C.Stub << C.Transparent;
        G->Free();
    }
}

TEST_F(StyleRouting, TheStubIsFoundByNameAndGoneWhenUnregistered)
{
    EXPECT_EQ(TStyleManager::Style(u"stub"), Style.get());
    EXPECT_EQ(TStyleManager::StyleNames(), (std::vector<String> { u"Windows", u"Stub" }));
    TStyleManager::UnRegisterStyle(Style.get());
    EXPECT_EQ(TStyleManager::Style(u"Stub"), nullptr);
    TStyleManager::RegisterStyle(Style.get());
}
