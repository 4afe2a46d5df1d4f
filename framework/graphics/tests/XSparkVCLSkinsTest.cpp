#include "graphics/XSpark.VCL.Skins.h"
#include "core/XCore.App.h"
#include "vcl/Forms.h"
#include "win/Presenter.h"
#include <gtest/gtest.h>

using XSpark::VCL::Skins::TXSkin;

namespace {

// Counts the skin notifications an observable sends.
class TSkinCounter : public TObject {
    X_CLASS_TEMPLATE(TSkinCounter, TObject, u"TSkinCounter")
public:
    Integer Count = 0;
    TObject* LastSender = nullptr;
    std::function<void()> Then;
    void Changed(IXNotification* N)
    {
        ++Count;
        LastSender = N->GetSender();
        if (Then)
            Then();
    }
    TXNotificationHandler Handler() { return TXNotificationHandler::Of<&TSkinCounter::Changed>(this); }
};

// A form that records the messages a skin change sends it.
class TSkinProbeForm : public TForm {
    X_CLASS_TEMPLATE(TSkinProbeForm, TForm, u"TSkinProbeForm")
public:
    std::vector<UINT> Seen;
    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == CM_STYLECHANGED || Message.Msg == CM_RECREATEWND)
            Seen.push_back(Message.Msg);
        inherited::WndProc(Message);
    }
};

TEST(SkinEngine, EveryNameFindsTheWindowsSkinOnTheSystemStyle)
{
    TXQVSkinEngine* Engine = QVSkinEngine();
    ASSERT_NE(Engine, nullptr);
    TXSkin* Windows = Engine->DefaultSkin();
    ASSERT_NE(Windows, nullptr);
    EXPECT_EQ(Windows->SkinName(), u"Windows");
    EXPECT_EQ(Windows->StyleName(), u"Windows");
    EXPECT_EQ(Engine->CurrentSkin(), Windows);
    for (const char16_t* Name : { u"", u"Windows", u"windows", u"Carbon" })
        EXPECT_EQ(FindStyleSkin(Name), Windows) << StringToUTF8(Name);
    auto* Style = DynamicCast<TXStyleSkin>(Windows);
    ASSERT_NE(Style, nullptr);
    EXPECT_TRUE(Style->StyleServices()->IsSystemStyle());
}

TEST(SkinEngine, ASkinTellsItsObserversWhenANameIsSet)
{
    TOwnedPtr<TXStyleSkin> Skin(New<TXStyleSkin>(static_cast<TComponent*>(nullptr)));
    TOwnedPtr<TSkinCounter> Counter(New<TSkinCounter>());
    Skin->Subscribe(TXSkinChangedAspect::StaticClass(), Counter->Handler());
    Skin->SetStyleName(u"No such style");
    EXPECT_EQ(Skin->StyleServices(), StyleServices()); // the active style
    Skin->SetSkinName(u"Mine");
    EXPECT_EQ(Counter->Count, 2);
    EXPECT_EQ(Counter->LastSender, Skin.get());
}

TEST(ControlSkin, SettingTheNameTellsTheObserversAndRemakesAFormsWindow)
{
    THeadlessPresenter Presenter;
    TSkinProbeForm* Form = New<TSkinProbeForm>(nullptr);
    Form->HandleNeeded();
    TOwnedPtr<TXControlSkin> Skin(New<TXControlSkin>(static_cast<TControl*>(Form)));
    EXPECT_EQ(Skin->Control(), Form);
    EXPECT_EQ(Skin->GetObservableContainer(), Form);
    EXPECT_EQ(Skin->GetHost(), AppEngineHost().Get()); // the form's owner is no engine
    EXPECT_EQ(Skin->Skin(), FindStyleSkin({}));

    TOwnedPtr<TSkinCounter> Counter(New<TSkinCounter>());
    Skin->Subscribe(TXSkinChangedAspect::StaticClass(), Counter->Handler());
    const HWND Before = Form->Handle();
    Skin->SetSkinName(u"Windows");
    EXPECT_EQ(Skin->SkinName(), u"Windows");
    EXPECT_EQ(Counter->Count, 1);
    EXPECT_EQ(Counter->LastSender, Form);
    EXPECT_EQ(Form->Seen, (std::vector<UINT> { CM_STYLECHANGED, CM_RECREATEWND }));
    EXPECT_NE(Form->Handle(), Before);
    EXPECT_TRUE(Skin->StyleServices()->IsSystemStyle());
    Skin.reset();
    Form->Free();
}

TEST(ControlSkin, AnObserverMayFreeTheControlAndItsSkin)
{
    THeadlessPresenter Presenter;
    TSkinProbeForm* Form = New<TSkinProbeForm>(nullptr);
    TXControlSkin* Skin = New<TXControlSkin>(static_cast<TControl*>(Form));
    TOwnedPtr<TSkinCounter> Counter(New<TSkinCounter>());
    Skin->Subscribe(TXSkinChangedAspect::StaticClass(), Counter->Handler());
    Counter->Then = [&] {
        Skin->Free();
        Form->Free();
    };
    Skin->SetSkinName(u"Windows"); // touches neither once they are gone
    EXPECT_EQ(Counter->Count, 1);
}

}
