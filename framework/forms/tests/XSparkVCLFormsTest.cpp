#include "FormsTestSupport.h"
#include "core/XCore.App.h"
#include "forms/XSpark.VCL.Forms.h"
#include "graphics/XMedia.Images.h"
#include "graphics/XSpark.Skin.h"
#include <set>

using namespace FormsTests;

namespace {

// Refuses the requests it is told to and logs requests and reports.
class TRequestObserver : public TObject {
public:
    std::set<Integer> Refuse;
    std::vector<std::string> Log;
    void Heard(IXNotification* N)
    {
        if (auto* R = DynamicCast<TXRequestActionAspect>(N->GetAspect())) {
            Log.push_back("ask " + std::to_string(R->Action));
            if (Refuse.contains(R->Action))
                R->SetHandled();
        } else if (auto* A = DynamicCast<TXActionAspect>(N->GetAspect()))
            Log.push_back("did " + std::to_string(A->ActionID));
    }
};

class CustomForms : public TSkinnedFixture {
protected:
    TXCustomForm* NewCustomForm()
    {
        auto* F = New<TXCustomForm>(nullptr);
        F->SetBounds(100, 100, 300, 200);
        F->Subscribe(TXCustomAspect::StaticClass(), TXNotificationHandler::Of<&TRequestObserver::Heard>(&Observer));
        return F;
    }
    TRequestObserver Observer;
};

}

TEST_F(CustomForms, RequestsAndReports)
{
    struct TCase {
        const char* Name;
        WPARAM Command;
        Integer Action;
        bool Refused;
    };
    const TCase Cases[] = {
        { "minimise refused", SC_MINIMIZE, -25, true },
        { "minimise", SC_MINIMIZE, -25, false },
        { "maximise refused", SC_MAXIMIZE, -24, true },
        { "move refused", SC_MOVE, -22, true },
        { "size refused", SC_SIZE, -23, true },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TXCustomForm* F = NewCustomForm();
        F->Show();
        Observer.Log.clear();
        Observer.Refuse.clear();
        if (C.Refused)
            Observer.Refuse.insert(C.Action);
        const TRect Before = F->BoundsRect();
        F->Perform(WM_SYSCOMMAND, C.Command, 0);
        std::vector<std::string> Expected { "ask " + std::to_string(C.Action) };
        if (!C.Refused)
            Expected.push_back("did " + std::to_string(C.Action));
        EXPECT_EQ(Observer.Log, Expected);
        if (C.Refused) {
            EXPECT_EQ(F->BoundsRect(), Before);
            EXPECT_EQ(F->WindowState(), wsNormal);
        }
        F->Free();
    }
}

TEST_F(CustomForms, ARefusedSizeKeepsTheDraggedRectangle)
{
    TXCustomForm* F = NewCustomForm();
    Observer.Refuse.insert(-23);
    RECT Proposed { 0, 0, 900, 900 };
    EXPECT_EQ(F->Perform(WM_SIZING, WMSZ_BOTTOMRIGHT, LPARAM(&Proposed)), 1);
    EXPECT_EQ(Proposed.right - Proposed.left, F->Width());
    EXPECT_EQ(Proposed.bottom - Proposed.top, F->Height());
    Observer.Refuse.clear();
    RECT Free { 0, 0, 900, 900 };
    F->Perform(WM_SIZING, WMSZ_BOTTOMRIGHT, LPARAM(&Free));
    EXPECT_EQ(Free.right, 900);
    F->Free();
}

TEST_F(CustomForms, ClosingAsksTheObservers)
{
    TXCustomForm* Main = NewCustomForm();
    TXCustomForm* Other = NewCustomForm();
    Application->SetMainForm(Main);
    Main->Show();
    Other->Show();
    Observer.Refuse.insert(-21);
    Main->Close();
    Other->Close();
    EXPECT_TRUE(Main->Visible());
    EXPECT_TRUE(Other->Visible());
    EXPECT_FALSE(QVCoreApp()->Terminated());
    // Allowed, the main form's close ends the application (in a process
    // of its own: the end cannot be taken back).
    Observer.Refuse.clear();
    EXPECT_EXIT(
        {
            Main->Close();
            std::_Exit(QVCoreApp()->Terminated() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    Application->SetMainForm(nullptr);
    Main->Free();
    Other->Free();
}

TEST_F(CustomForms, LifeNotificationsInOrder)
{
    std::vector<std::string> Log;
    struct TLife : TObject {
        std::vector<std::string>* Log;
        void Heard(IXNotification* N) { Log->push_back(StringToUTF8(N->GetAspect()->ClassName())); }
    } Life;
    Life.Log = &Log;
    auto* F = New<TXCustomForm>(nullptr);
    F->Subscribe(TXShownAspect::StaticClass(), TXNotificationHandler::Of<&TLife::Heard>(&Life));
    F->Subscribe(TXHiddenAspect::StaticClass(), TXNotificationHandler::Of<&TLife::Heard>(&Life));
    F->Subscribe(TXDestroyingAspect::StaticClass(), TXNotificationHandler::Of<&TLife::Heard>(&Life));
    F->Show();
    F->Hide();
    F->Free();
    EXPECT_EQ(Log, (std::vector<std::string> { "TXShownAspect", "TXHiddenAspect", "TXDestroyingAspect" }));
}

TEST_F(CustomForms, ALoadedFormWithoutAnIconTakesTheSkinsSmallApplicationIcon)
{
    TOwnedPtr<TXCustomForm> Plain(New<TXCustomForm>(nullptr));
    ASSERT_TRUE(Plain->Icon()->Empty());
    Plain->Loaded();
    ASSERT_FALSE(Plain->Icon()->Empty());
    EXPECT_EQ(Plain->Icon()->Width(), 16);

    // An icon of its own stays.
    TOwnedPtr<TXCustomForm> Own(New<TXCustomForm>(nullptr));
    auto* Big = static_cast<TXImageItem*>(SkinAppImages()->FindByName(u"Application48"));
    ASSERT_NE(Big, nullptr);
    Big->Data()->DataStream()->SetPosition(0);
    Own->Icon()->LoadFromStream(Big->Data()->DataStream());
    Own->Loaded();
    EXPECT_EQ(Own->Icon()->Width(), 48);
}
