#include "FormsTestSupport.h"
#include "forms/XSpark.VCL.Frames.h"
#include "win/Input.h"

using namespace FormsTests;

namespace {

// Logs its hooks and what its observers hear, in order.
class TLoggingFrame : public TXCustomFrame {
    X_CLASS_TEMPLATE(TLoggingFrame, TXCustomFrame, u"TLoggingFrame")
public:
    std::vector<std::string>* Log = nullptr;
    void Note(const char* What)
    {
        if (Log)
            Log->push_back(What);
    }
    void DoneFrame() override { Note("DoneFrame"); }
    void FrameShown() override { Note("FrameShown"); }
    void FrameHidden() override { Note("FrameHidden"); }
    void LanguageChanged() override { Note("LanguageChanged"); }
};

class TListener : public TObject {
public:
    std::vector<std::string>* Log = nullptr;
    void Heard(IXNotification* N) { Log->push_back(StringToUTF8(N->GetAspect()->ClassName())); }
};

class Frames : public TSkinnedFixture {
protected:
    TLoggingFrame* NewFrame(TWinControl* Parent)
    {
        auto* F = New<TLoggingFrame>(Form);
        F->SetBounds(10, 10, 100, 80);
        F->Log = &Log;
        if (Parent)
            F->SetParent(Parent);
        Listener.Log = &Log;
        F->SubscribeAll(TXNotificationHandler::Of<&TListener::Heard>(&Listener));
        return F;
    }
    std::vector<std::string> Log;
    TListener Listener;
};

}

TEST_F(Frames, ReParentingAVisibleFrameRecaptionsAndShowsAgain)
{
    auto* F = NewFrame(Form);
    auto* Other = Add<ControlTests::TProbePanel>(Form, { 200, 10, 300, 100 }, clWhite);
    Log.clear();
    F->SetParent(Other);
    EXPECT_EQ(Log, (std::vector<std::string> { "LanguageChanged", "FrameShown" }));
    Log.clear();
    F->Hide();
    F->Show();
    EXPECT_EQ(Log, (std::vector<std::string> { "FrameHidden", "TXHiddenAspect", "FrameShown", "TXShownAspect" }));
    Log.clear();
    F->SetParent(nullptr);
    EXPECT_TRUE(Log.empty());
}

TEST_F(Frames, ObserversHearTheDestructionBeforeDoneFrame)
{
    auto* F = NewFrame(Form);
    Log.clear();
    F->Free();
    ASSERT_GE(Log.size(), 2u);
    EXPECT_EQ(Log[0], "TXDestroyingAspect");
    EXPECT_EQ(Log[1], "DoneFrame");
}

TEST_F(Frames, HandlersMayFreeTheFrame)
{
    // A shown or hidden notification whose observer frees the frame.
    for (bool Showing : { true, false }) {
        auto* F = NewFrame(Form);
        if (Showing)
            F->Hide();
        struct TFreer : TObject {
            TXCustomFrame* Frame = nullptr;
            void Heard(IXNotification* N)
            {
                if (N->GetAspect()->Is<TXShownAspect>() || N->GetAspect()->Is<TXHiddenAspect>())
                    FreeAndNil(Frame);
            }
        } Freer;
        Freer.Frame = F;
        F->Subscribe(TXChangedAspect::StaticClass(), TXNotificationHandler::Of<&TFreer::Heard>(&Freer));
        F->SetVisible(Showing);
        EXPECT_EQ(Freer.Frame, nullptr);
    }
}

TEST_F(Frames, APopupFrameNeverTakesTheActivation)
{
    Form->Show();
    Pump();
    ASSERT_EQ(GetActiveWindow(), Form->Handle());
    auto* Popup = New<TXPopupFrame>(Form);
    Popup->SetBounds(600, 400, 120, 80);
    Popup->HandleNeeded();
    EXPECT_EQ(DWORD(GetWindowLongPtr(Popup->Handle(), GWL_STYLE)) & ~WS_VISIBLE, WS_POPUP | WS_CLIPCHILDREN);
    EXPECT_EQ(DWORD(GetWindowLongPtr(Popup->Handle(), GWL_EXSTYLE)), WS_EX_TOOLWINDOW);
    Popup->Show();
    Pump();
    PostInput(TInputEvent::ButtonEvent({ 620, 420 }, mbiLeft, true));
    PostInput(TInputEvent::ButtonEvent({ 620, 420 }, mbiLeft, false));
    Pump();
    EXPECT_EQ(GetActiveWindow(), Form->Handle());
    Popup->Free();
}

TEST_F(Frames, NamesTheOwnerAccepts)
{
    auto* A = NewFrame(Form);
    auto* B = NewFrame(Form);
    A->SetName(u"Page");
    B->SetName(u"Page");
    EXPECT_EQ(A->Name(), u"Page");
    EXPECT_EQ(B->Name(), u"Page1");
}
