// The message box: its layout, its answers, the windows it disables and
// gives back, and pictures of it to look at.
#include "FormsTestSupport.h"
#include "ModalScript.h"
#include "core/XCore.ScreenMetrics.h"
#include "forms/XForms.MessageBox.h"
#include "graphics/XSpark.VCL.Images.h"
#include "graphics/XSpark.VCL.h"
#include "vcl/StdCtrls.h"
#include "win/WinApi.h"
#include <functional>

using namespace FormsTests;

namespace {

// What a test sees of a box while it is shown.
struct TSeen {
    String Caption;
    TRect Client;
    TRect Label;
    TRect Icon;
    bool HasIcon = false;
    bool StayOnTop = false;
};

class MessageBoxes : public TSkinnedFixture {
protected:
    void SetUp() override
    {
        TSkinnedFixture::SetUp();
        Application->SetTitle(u"Probe application");
    }
    // Runs Box (which shows a message box) with Steps played inside it.
    Integer Run(const std::function<Integer()>& Box, std::vector<std::function<void(TXWinForm*)>> Steps)
    {
        std::vector<TModalScript::TStep> Script;
        for (auto& Step : Steps)
            Script.push_back([Step] { Step(FindBox()); });
        Player.Start(std::move(Script));
        const Integer Answer = Box();
        EXPECT_TRUE(Player.Done()) << "steps left";
        return Answer;
    }
    static TXWinForm* FindBox()
    {
        for (Integer I = ::Screen->FormCount() - 1; I >= 0; --I)
            if (auto* F = DynamicCast<TXWinForm>(::Screen->Forms(I)); F && F->FindComponent(u"MessageLabel"))
                return F;
        return nullptr;
    }
    static TXCommandFrame* FrameOf(TXWinForm* Box)
    {
        for (Integer I = 0; I < Box->ComponentCount(); ++I)
            if (auto* F = DynamicCast<TXCommandFrame>(Box->Components(I)))
                return F;
        return nullptr;
    }
    static TCustomButton* ButtonOf(TXWinForm* Box, Integer Tag)
    {
        TXCommandFrame* Frame = FrameOf(Box);
        for (Integer I = 0; Frame && I < Frame->ControlCount(); ++I)
            if (auto* B = DynamicCast<TCustomButton>(Frame->Controls(I)); B && B->Tag() == Tag)
                return B;
        return nullptr;
    }
    static TCheckBox* CheckOf(TXWinForm* Box)
    {
        for (Integer I = 0; I < Box->ControlCount(); ++I)
            if (auto* C = DynamicCast<TCheckBox>(Box->Controls(I)))
                return C;
        return nullptr;
    }
    static TSeen See(TXWinForm* Box)
    {
        TSeen S;
        S.Caption = Box->Caption();
        S.Client = Box->ClientRect();
        S.Label = static_cast<TControl*>(Box->FindComponent(u"MessageLabel"))->BoundsRect();
        if (auto* Icon = static_cast<TControl*>(Box->FindComponent(u"IconImage"))) {
            S.HasIcon = true;
            S.Icon = Icon->BoundsRect();
        }
        S.StayOnTop = Box->FormStyle() == fsStayOnTop;
        return S;
    }
    // Steps that answer with the button of Tag.
    static std::function<void(TXWinForm*)> Press(Integer Tag)
    {
        return [Tag](TXWinForm* Box) {
            TCustomButton* B = ButtonOf(Box, Tag);
            ASSERT_NE(B, nullptr) << Tag;
            B->Click();
        };
    }

    TModalScript Player;
};

}

TEST_F(MessageBoxes, LayoutFollowsCaptionTextAndIcon)
{
    const String Long = u"A long text that goes on and on, well beyond the half of the screen where the box "
                        u"wraps it, so that it takes more than one line in the message font of the box.";
    struct TCase {
        const char* Name;
        String Text, Caption;
        TXMessageIcon Icon;
        std::function<void(const TSeen&)> Check;
    };
    const TCase Cases[] = {
        { "empty caption", u"Short.", u"", IDI_ASTERISK,
            [](const TSeen& S) { EXPECT_EQ(S.Caption, u"Probe application"); } },
        { "short text beside the icon", u"Short.", u"Title", IDI_EXCLAMATION,
            [](const TSeen& S) {
                ASSERT_TRUE(S.HasIcon);
                EXPECT_EQ(S.Icon, Rect(16, 16, 48, 48));
                // Centred on the 32-pixel icon, right of it.
                EXPECT_EQ(S.Label.Top, 16 + (32 - S.Label.Height()) / 2);
                EXPECT_EQ(S.Label.Left, 64);
                EXPECT_TRUE(S.StayOnTop);
            } },
        { "long text wraps at half the screen", Long, u"Title", TXMessageIcon(),
            [](const TSeen& S) {
                EXPECT_FALSE(S.HasIcon);
                EXPECT_LE(S.Label.Width(), 512);
                EXPECT_GT(S.Label.Height(), 20);
                EXPECT_EQ(S.Label.Top, 16);
                EXPECT_EQ(S.Client.Width(), S.Label.Width() + 32);
            } },
        { "wide caption widens the box", u"Hi", String(60, u'W'), TXMessageIcon(),
            [](const TSeen& S) { EXPECT_GT(S.Client.Width(), 400); } },
    };
    for (const TCase& C : Cases) {
        TSeen Seen;
        const Integer Answer = Run([&] { return XMessageBox(C.Text, C.Caption, C.Icon, 1, TXCmdOK::StaticClass()); },
            { [&](TXWinForm* Box) { Seen = See(Box); }, Press(1) });
        EXPECT_EQ(Answer, 1) << C.Name;
        SCOPED_TRACE(C.Name);
        C.Check(Seen);
    }
}

TEST_F(MessageBoxes, AnswersComeFromTheButtonsTagsAndCloseOnlyWithAResult)
{
    // A button whose Tag is 0 leaves the box open; a system close answers 2.
    bool StillOpen = false;
    EXPECT_EQ(Run([] { return XMessageBox(u"Zero", u"", IDI_QUESTION, 1, TXCmdOKCancel::StaticClass()); },
                  { [](TXWinForm* Box) { FrameOf(Box)->Perform(XM_CMDSETBUTTONTAG, 1, 0); }, Press(0),
                      [&](TXWinForm* Box) {
                          StillOpen = Box != nullptr;
                          PostMessage(Box->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
                      } }),
        2);
    EXPECT_TRUE(StillOpen);

    EXPECT_EQ(Run([] { return XMessageBox(u"Delete?", u"", IDI_HAND, 7, TXCmdDeleteCancel::StaticClass()); },
                  { Press(6) }),
        6);

    // With EnableTag, the button follows the check box; Checked comes back.
    bool Checked = false;
    std::vector<bool> Enabled;
    EXPECT_EQ(Run(
                  [&] {
                      return XMessageBoxCheck(u"Sure?", u"", u"", IDI_QUESTION, 2, 1, TXCmdOKCancel::StaticClass(),
                          Checked);
                  },
                  { [&](TXWinForm* Box) {
                       Enabled.push_back(ButtonOf(Box, 1)->Enabled());
                       EXPECT_EQ(CheckOf(Box)->Caption(), u"Do not show this message again");
                       CheckOf(Box)->SetChecked(true);
                       Enabled.push_back(ButtonOf(Box, 1)->Enabled());
                   },
                      Press(1) }),
        1);
    EXPECT_EQ(Enabled, (std::vector<bool> { false, true }));
    EXPECT_TRUE(Checked);
}

TEST_F(MessageBoxes, KeysPressTheDefaultAndTheCancelButton)
{
    auto Key = [](UINT Vk) {
        return [Vk](TXWinForm*) {
            PostInput(TInputEvent::KeyEvent(Vk, true));
            PostInput(TInputEvent::KeyEvent(Vk, false));
        };
    };
    EXPECT_EQ(Run([] { return XMessageBox(u"Enter", u"", IDI_QUESTION, 2, TXCmdOKCancel::StaticClass()); },
                  { Key(VK_RETURN) }),
        2);
    EXPECT_EQ(Run([] { return XMessageBox(u"Enter", u"", IDI_QUESTION, 1, TXCmdOKCancel::StaticClass()); },
                  { Key(VK_RETURN) }),
        1);
    EXPECT_EQ(Run([] { return XMessageBox(u"Escape", u"", IDI_QUESTION, 1, TXCmdOKCancel::StaticClass()); },
                  { Key(VK_ESCAPE) }),
        2);
}

TEST_F(MessageBoxes, OverAModalDialogOnlyWhatTheBoxDisabledComesBack)
{
    Form->Show();
    TForm* Dialog = New<TForm>(Form);
    Dialog->SetBounds(150, 150, 200, 100);
    std::vector<std::string> States;
    auto Record = [&](const char* When) {
        States.push_back(std::string(When) + ": main " + (IsWindowEnabled(Form->Handle()) ? "on" : "off")
            + ", dialog " + (IsWindowEnabled(Dialog->Handle()) ? "on" : "off"));
    };
    Player.Start({ [&] {
                      Record("dialog");
                      // The next step runs inside the box.
                      Player.Post();
                      EXPECT_EQ(XMessageBox(u"Over the dialog", u"", IDI_ASTERISK, 1, TXCmdOK::StaticClass()), 1);
                      Record("after box");
                      Dialog->SetModalResult(mrOk);
                  },
        [&] {
            Record("box");
            FindBox()->SetModalResult(1);
        } });
    Dialog->ShowModal();
    Record("after dialog");
    Dialog->Free();
    EXPECT_EQ(States, (std::vector<std::string> { "dialog: main off, dialog on", "box: main off, dialog off",
                          "after box: main off, dialog on", "after dialog: main on, dialog on" }));
}

TEST_F(MessageBoxes, AHandlerThatFreesTheBoxEndsItWithTwo)
{
    EXPECT_EQ(Run([] { return XMessageBox(u"Freed", u"", IDI_HAND, 1, TXCmdOK::StaticClass()); },
                  { [](TXWinForm* Box) { Box->Free(); } }),
        2);
    EXPECT_EQ(FindBox(), nullptr);
}

TEST_F(MessageBoxes, GalleryOfTheFourBoxesAt96And144Dpi)
{
    struct TKind {
        const char* Name;
        Integer Icon;
        TClass Frame;
    };
    const TKind Kinds[] = {
        { "information", IDI_ASTERISK, TXCmdOK::StaticClass() },
        { "question", IDI_QUESTION, TXCmdOKCancel::StaticClass() },
        { "warning", IDI_EXCLAMATION, TXCmdOKCancel::StaticClass() },
        { "error", IDI_HAND, TXCmdClose::StaticClass() },
    };
    for (Integer Dpi : { 96, 144 }) {
        SetScreenDPI(Dpi, Dpi);
        LoadScreenMetrics();
        InitSharedFonts();
        ::Screen->SetPixelsPerInch(Dpi);
        for (const TKind& K : Kinds) {
            bool Checked = false;
            Run(
                [&] {
                    return XMessageBoxCheck(u"The pictures could not be copied to the card.\nTry another folder.",
                        u"", u"", K.Icon, 1, -1, K.Frame, Checked);
                },
                { [&](TXWinForm* Box) {
                     Application->ProcessMessages();
                     SavePicture(Box->Handle(),
                         std::string("message-box-") + K.Name + "-" + std::to_string(Dpi) + ".png");
                     // The icon shows at its scaled size.
                     auto* Icon = static_cast<TControl*>(Box->FindComponent(u"IconImage"));
                     EXPECT_EQ(Icon->Width(), Dpi / 3) << K.Name;
                     // The buttons lie whole inside their frame.
                     TXCommandFrame* F = FrameOf(Box);
                     EXPECT_LE(F->Controls(0)->Top() + F->Controls(0)->Height(), F->Height()) << K.Name;
                     EXPECT_GE(F->Controls(0)->Top(), 0) << K.Name;
                     Box->SetModalResult(1);
                 } });
        }
    }
    SetScreenDPI(96, 96);
    LoadScreenMetrics();
    InitSharedFonts();
    ::Screen->SetPixelsPerInch(96);
}
