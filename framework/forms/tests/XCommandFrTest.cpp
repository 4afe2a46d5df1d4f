#include "FormsTestSupport.h"
#include "core/XEngine.Gears.h"
#include "core/XSpark.Lg.h"

using namespace FormsTests;

namespace {

// A content frame that answers a command button's Tag with its own result.
class TAnswering : public TCustomControl {
    X_CLASS_TEMPLATE(TAnswering, TCustomControl, u"TAnswering")
public:
    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == XM_CMDBUTTONRESULT) {
            Asked.push_back(Integer(Message.WParam));
            Message.Result = Answers.contains(Integer(Message.WParam)) ? Answers[Integer(Message.WParam)] : 0;
            return;
        }
        if (Message.Msg == XM_CMDFRAMEATTACHED)
            AttachedTo = HWND(Message.WParam);
        inherited::WndProc(Message);
    }
    std::map<Integer, Integer> Answers;
    std::vector<Integer> Asked;
    HWND AttachedTo = nullptr;
};

class CommandFrames : public TSkinnedFixture {
protected:
    template<class T>
    T* NewFrame(TComponent* Owner, TWinControl* Parent)
    {
        auto* F = static_cast<T*>(TXCommandFrame::CreateScaled(T::StaticClass(), Owner, true));
        F->SetParent(Parent);
        return F;
    }
    static TCustomButton* ButtonAt(TXCommandFrame* F, Integer I) { return DynamicCast<TCustomButton>(F->Controls(I)); }
    void ClickButton(TCustomButton* B) { B->Click(); }
};

}

TEST_F(CommandFrames, ButtonRouting)
{
    // Where a button's result goes: the owning dialog (20 ms later as
    // command 104), a modal result, the main form's close, or a hide.
    TXForm* F = NewForm();
    auto* Dialog = New<TProbeDialog>(Holder);
    F->SetOwningDialog(Dialog);
    auto* Frame = NewFrame<TXCmdOpenSaveOKCancel>(F, F);
    auto* Content = Add<TAnswering>(F, { 0, 0, 50, 50 }, clWhite);
    Content->SetParent(F);
    Frame->AttachControl(Content);
    EXPECT_EQ(Content->AttachedTo, Frame->Handle());
    struct TCase {
        Integer Button;
        Integer Answer; // of the content frame for the button's Tag
        const char16_t* Sent; // nullptr: nothing
    };
    const TCase Cases[] = {
        { 2, 0, u"1" }, // OK
        { 3, 0, u"2" }, // Cancel
        { 0, 0, nullptr }, // Open, Tag -10, no answer
        { 0, 0x806F, u"32879" }, // Open with an answer
        { 1, -5, nullptr }, // Save answered with a negative result
        { 2, 7, u"7" }, // the answer replaces the Tag
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Button);
        Dialog->Commands.clear();
        Content->Answers.clear();
        TCustomButton* B = ButtonAt(Frame, C.Button);
        if (C.Answer)
            Content->Answers[Integer(B->Tag())] = C.Answer;
        ClickButton(B);
        Clock.Advance(19);
        Pump();
        EXPECT_TRUE(Dialog->Commands.empty());
        Clock.Advance(1);
        Pump();
        if (!C.Sent) {
            EXPECT_TRUE(Dialog->Commands.empty());
            continue;
        }
        ASSERT_EQ(Dialog->Commands.size(), 1u);
        EXPECT_EQ(Dialog->Commands[0].first, 104);
        EXPECT_EQ(Dialog->Commands[0].second, C.Sent);
    }
    // Tag 0 does nothing at all.
    Dialog->Commands.clear();
    ButtonAt(Frame, 2)->SetTag(0);
    ClickButton(ButtonAt(Frame, 2));
    Clock.Advance(50);
    Pump();
    EXPECT_TRUE(Dialog->Commands.empty());

    // Without a dialog: a shown form hides, a modal one takes the result.
    F->SetOwningDialog(nullptr);
    ButtonAt(Frame, 2)->SetTag(1);
    F->Show();
    ClickButton(ButtonAt(Frame, 2));
    EXPECT_FALSE(F->Visible());
    TModalResult Result = mrNone;
    F->OnShow = [&](TObject*) { ClickButton(ButtonAt(Frame, 3)); };
    Result = F->ShowModal();
    EXPECT_EQ(Result, 2);
}

TEST_F(CommandFrames, MainFormClosesTheProgram)
{
    TXForm* F = NewForm();
    auto* Frame = NewFrame<TXCmdOK>(F, F);
    Application->SetMainForm(F);
    F->Show();
    bool Closed = false;
    F->OnClose = [&](TObject*, TCloseAction& Action) {
        Closed = true;
        Action = caHide;
    };
    ClickButton(ButtonAt(Frame, 0));
    EXPECT_TRUE(Closed);
    Application->SetMainForm(nullptr);
    // The close posted WM_QUIT for the loop; take it away again.
    MSG Msg;
    while (PeekMessage(&Msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) { }
}

TEST_F(CommandFrames, ButtonMessagesMatchOnlyTagsThatAreNotNegative)
{
    TXForm* F = NewForm();
    auto* Frame = NewFrame<TXCmdOpenSaveOKCancel>(F, F);
    // Tags -10, -13, 1, 2.
    Frame->Perform(XM_CMDSHOWBUTTON, WPARAM(NativeInt(-10)), 0);
    Frame->Perform(XM_CMDENABLEBUTTON, WPARAM(NativeInt(-13)), 0);
    Frame->Perform(XM_CMDSETBUTTONTAG, WPARAM(NativeInt(-10)), 5);
    EXPECT_TRUE(ButtonAt(Frame, 0)->Visible());
    EXPECT_TRUE(ButtonAt(Frame, 1)->Enabled());
    EXPECT_EQ(ButtonAt(Frame, 0)->Tag(), -10);

    Frame->Perform(XM_CMDSHOWBUTTON, 1, 0);
    EXPECT_FALSE(ButtonAt(Frame, 2)->Visible());
    Frame->Perform(XM_CMDSHOWBUTTON, 1, 1);
    EXPECT_TRUE(ButtonAt(Frame, 2)->Visible());
    Frame->Perform(XM_CMDENABLEBUTTON, 2, 0);
    EXPECT_FALSE(ButtonAt(Frame, 3)->Enabled());
    Frame->Perform(XM_CMDSETBUTTONTAG, 2, 9);
    EXPECT_EQ(ButtonAt(Frame, 3)->Tag(), 9);
}

TEST_F(CommandFrames, DefaultButtonAndTabOrder)
{
    TXForm* F = NewForm();
    auto* Frame = NewFrame<TXCmdOKCancel>(F, F);
    SetDefaultCommandButton(Frame, 2);
    EXPECT_TRUE(ButtonAt(Frame, 1)->Default());
    EXPECT_FALSE(ButtonAt(Frame, 0)->Default());
    EXPECT_EQ(ButtonAt(Frame, 1)->TabOrder(), 0);
    EXPECT_EQ(ButtonAt(Frame, 0)->TabOrder(), 1);
    // No button of that Tag: no default, orders from the first.
    auto* Other = NewFrame<TXCmdRunOpenFolderCancel>(F, F);
    SetDefaultCommandButton(Other, 42);
    for (Integer I = 0; I < 3; ++I) {
        EXPECT_FALSE(ButtonAt(Other, I)->Default());
        EXPECT_EQ(ButtonAt(Other, I)->TabOrder(), I);
    }
}

TEST_F(CommandFrames, SetsAndTheirKeys)
{
    struct TCase {
        TClass Class;
        std::vector<NativeInt> Tags;
        Integer CancelIndex; // -1: no Cancel key
    };
    const TCase Cases[] = {
        { TXCmdOK::StaticClass(), { 1 }, -1 },
        { TXCmdClose::StaticClass(), { 1 }, -1 },
        { TXCmdOKCancel::StaticClass(), { 1, 2 }, 1 },
        { TXCmdNextCancel::StaticClass(), { 1, 2 }, 1 },
        { TXCmdCheckNowNoThanks::StaticClass(), { 1, 2 }, 1 },
        { TXCmdDeleteCancel::StaticClass(), { 6, 7 }, 1 },
        { TXCmdDownloadCancel::StaticClass(), { 1, 2 }, -1 },
        { TXCmdRunOpenFolderCancel::StaticClass(), { 1, 6, 2 }, 2 },
        { TXCmdOpenOpenFolderCancel::StaticClass(), { 1, 6, 2 }, 2 },
        { TXCmdOpenSaveOKCancel::StaticClass(), { -10, -13, 1, 2 }, 3 },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(StringToUTF8(C.Class->Name));
        TXForm* F = NewForm();
        TXCommandFrame* Frame = TXCommandFrame::CreateScaled(C.Class, F, true);
        Frame->SetParent(F);
        ASSERT_EQ(Frame->ControlCount(), Integer(C.Tags.size()));
        for (size_t I = 0; I < C.Tags.size(); ++I) {
            EXPECT_EQ(ButtonAt(Frame, Integer(I))->Tag(), C.Tags[I]);
            EXPECT_EQ(ButtonAt(Frame, Integer(I))->Cancel(), Integer(I) == C.CancelIndex);
            EXPECT_FALSE(ButtonAt(Frame, Integer(I))->Caption().empty());
        }
        // A retag survives until the language changes again.
        ButtonAt(Frame, 0)->SetTag(77);
        NotifyLanguageListeners();
        if (C.Tags.size() > 1)
            EXPECT_EQ(ButtonAt(Frame, 0)->Tag(), C.Tags[0]);
    }
}

TEST_F(CommandFrames, EscapeInTheDownloadFrameCancelsNothing)
{
    for (TClass Class : { TXCmdOKCancel::StaticClass(), TXCmdDownloadCancel::StaticClass() }) {
        SCOPED_TRACE(StringToUTF8(Class->Name));
        TXForm* F = NewForm();
        TXCommandFrame* Frame = TXCommandFrame::CreateScaled(Class, F, true);
        Frame->SetParent(F);
        F->Show();
        Pump();
        Key(VK_ESCAPE);
        // Cancel hides a form that is neither modal nor a dialog's.
        EXPECT_EQ(F->Visible(), Class == TXCmdDownloadCancel::StaticClass());
    }
}

TEST_F(CommandFrames, ReCaptionedButtonsArrangeToTheWidestCaption)
{
    TXForm* F = NewForm();
    auto* Frame = NewFrame<TXCmdOKCancel>(F, F);
    const Integer W = Frame->Width();
    EXPECT_EQ(ButtonAt(Frame, 1)->Left(), W - 81);
    ButtonAt(Frame, 0)->SetCaption(u"A much longer caption than fits");
    Frame->ArrangeButtons();
    const Integer Wide = ButtonAt(Frame, 0)->Width();
    EXPECT_GT(Wide, 75);
    EXPECT_EQ(ButtonAt(Frame, 1)->Width(), Wide);
    EXPECT_EQ(ButtonAt(Frame, 1)->Left(), W - 8 - Wide);
    EXPECT_EQ(ButtonAt(Frame, 0)->Left(), W - 8 - Wide - 7 - Wide);
    // The language change puts the short captions back and narrows them.
    NotifyLanguageListeners();
    EXPECT_EQ(ButtonAt(Frame, 0)->Width(), 75);
    EXPECT_EQ(ButtonAt(Frame, 1)->Left(), W - 8 - 75);
}

TEST_F(CommandFrames, APressOnTheCaptionFrameMovesTheFormFromTheScreenPoint)
{
    TXForm* F = NewForm();
    F->SetCaption(u"Caption");
    F->Style()->SetCaptionFrameClass(TXCaptionFrame::StaticClass());
    Skinned(F);
    TXCaptionFrame* Bar = F->CaptionFrame();
    ASSERT_NE(Bar, nullptr);
    // A control of its own click keeps the press; one tagged -2 is the
    // system menu.
    auto* Clicky = Add<ControlTests::TProbeShape>(Bar, { 200, 5, 220, 25 }, clRed);
    Clicky->SetParent(Bar);
    bool Clicked = false;
    Clicky->OnClick = [&](TObject*) { Clicked = true; };
    auto* Menu = Add<ControlTests::TProbeShape>(Bar, { 240, 5, 260, 25 }, clBlue);
    Menu->SetParent(Bar);
    Menu->SetTag(-2);
    F->Show();
    Pump();
    struct TCase {
        TPoint Client; // in the caption frame
        LRESULT Code; // 0: no move asked
    };
    const TCase Cases[] = {
        { { 10, 15 }, HTCAPTION }, // on the label
        { { 150, 15 }, HTCAPTION }, // on no control
        { { 245, 15 }, HTSYSMENU },
        { { 205, 15 }, 0 },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.Client.X);
        const size_t Before = Presenter.MoveSizeRequests().size();
        const TPoint S = Bar->ClientToScreen(C.Client);
        PostInput(TInputEvent::ButtonEvent({ S.X, S.Y }, mbiLeft, true));
        PostInput(TInputEvent::ButtonEvent({ S.X, S.Y }, mbiLeft, false));
        Pump();
        const auto Requests = Presenter.MoveSizeRequests();
        if (C.Code != HTCAPTION) {
            EXPECT_EQ(Requests.size(), Before);
            continue;
        }
        ASSERT_EQ(Requests.size(), Before + 1);
        EXPECT_EQ(Requests.back().Wnd, F->Handle());
        EXPECT_EQ(Requests.back().HitCode, HTCAPTION);
        // Where the press was on the screen, not in the frame.
        EXPECT_EQ(Requests.back().Point.x, S.X);
        EXPECT_EQ(Requests.back().Point.y, S.Y);
    }
    EXPECT_TRUE(Clicked);
}
