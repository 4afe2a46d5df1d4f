// Frame dialogs: the content frame and command frame they build, the size
// and place of their form, a host control, and the click events of their
// content.
#include "FormsTestSupport.h"
#include "ModalScript.h"
#include "forms/XDlg.h"

using namespace FormsTests;

namespace {

// A content frame of 200 x 100 that passes negative command ids to its
// OnCmdClick, as the program's content frames do.
class TProbeFrame : public TFrame {
    X_CLASS(TProbeFrame, TFrame)
public:
    void Create(TComponent* AOwner) override
    {
        inherited::Create(AOwner);
        SetBounds(0, 0, 200, 100);
    }
    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == XM_CMDBUTTONRESULT && NativeInt(Message.WParam) < 0 && OnCmdClick) {
            Message.Result = -1;
            OnCmdClick(Message);
            return;
        }
        inherited::WndProc(Message);
    }
    TXFrameCmdEvent OnCmdClick;
};
X_REGISTER_CLASS(TProbeFrame)
X_PUBLISHED(TProbeFrame)
{
    X_EVENT(OnCmdClick, OnCmdClick);
}

class TFrameDialog : public TXCustomDialog {
    X_CLASS_TEMPLATE(TFrameDialog, TXCustomDialog, u"TFrameDialog")
public:
    static inline bool NextDynamic = true;
    static inline TClass NextCaptionFrame = nullptr;
    Integer Loads = 0, Saves = 0;

    void InitDialog() override
    {
        SetFrameClass(TProbeFrame::StaticClass());
        SetCommandFrameClass(TXCmdOKCancel::StaticClass());
        XStyle()->SetCaptionFrameClass(NextCaptionFrame);
        SetDynamicDlg(NextDynamic);
    }
    void LoadFormData() override { ++Loads; }
    void SaveFormData() override { ++Saves; }
};

class FrameDialogs : public TSkinnedFixture {
protected:
    void TearDown() override
    {
        FreeAndNil(Dialog);
        TFrameDialog::NextDynamic = true;
        TFrameDialog::NextCaptionFrame = nullptr;
        TSkinnedFixture::TearDown();
    }
    TFrameDialog* Make(bool Dynamic, TClass CaptionFrame = nullptr)
    {
        TFrameDialog::NextDynamic = Dynamic;
        TFrameDialog::NextCaptionFrame = CaptionFrame;
        Dialog = New<TFrameDialog>(nullptr);
        // A failing run answers 2 instead of waiting in a message box.
        Dialog->SetoptSilentError(true);
        return Dialog;
    }
    TXButton* ButtonTagged(Integer Tag)
    {
        TXCommandFrame* Frame = Dialog->CommandFrame();
        for (Integer I = 0; I < Frame->ControlCount(); ++I)
            if (Frame->Controls(I)->Tag() == Tag)
                return DynamicCast<TXButton>(Frame->Controls(I));
        return nullptr;
    }
    // A click as the user makes it; the close command arrives 20 ms later.
    void Press(Integer Tag)
    {
        ButtonTagged(Tag)->Click();
        Clock.Advance(20);
    }

    TModalScript Player;
    TFrameDialog* Dialog = nullptr;
};

}

TEST_F(FrameDialogs, TheRunShowsTheFramesSizedToTheContentAndNegativeTagsReachOnCmdClick)
{
    Make(true);
    std::vector<NativeInt> Clicks;
    Dialog->OnCmdClick = [&](TMessage& Msg) { Clicks.push_back(NativeInt(Msg.WParam)); };
    Player.Start({ [&] {
        TXWinForm* Form = Dialog->Form();
        TFrame* Content = Dialog->ContentFrame();
        ASSERT_NE(Content, nullptr);
        EXPECT_EQ(Content->Parent(), Form);
        EXPECT_EQ(Content->Align(), alClient);
        EXPECT_EQ(Dialog->CommandFrame()->Parent(), Form);
        // The command frame asks the content about its clicks.
        EXPECT_EQ(Dialog->CommandFrame()->AttachedControl(), Content);
        EXPECT_EQ(Form->ClientWidth(), 200);
        EXPECT_EQ(Form->ClientHeight(), 100 + Dialog->CommandFrame()->Height());
        // Centred in the work area of the first monitor.
        EXPECT_EQ(Form->Left(), (1024 - Form->Width()) / 2);
        EXPECT_EQ(Form->Top(), (740 - Form->Height()) / 2);

        // A button re-tagged negative goes to the content, and from there
        // to the dialog's OnCmdClick; the form stays.
        Dialog->CommandFrame()->Perform(XM_CMDSETBUTTONTAG, 1, -7);
        Press(-7);
        EXPECT_EQ(Clicks, std::vector<NativeInt> { -7 });
        EXPECT_TRUE(Dialog->IsModal());
        Press(2);
    } });
    EXPECT_EQ(Dialog->Execute(), 2);
    // A dynamic dialog lets its frames go with the form.
    EXPECT_FALSE(Dialog->HasForm());
    EXPECT_EQ(Dialog->ContentFrame(), nullptr);
    EXPECT_EQ(Dialog->CommandFrame(), nullptr);
    EXPECT_EQ(Dialog->Saves, 1);
}

TEST_F(FrameDialogs, TheClientSizeComesFromTheDialogSizeTheFrameOrTheForm)
{
    struct TCase {
        const char* Name;
        Integer DlgWidth, DlgHeight;
        bool FrameSize;
        bool Resize; // OnResize adds 10 to both
        Integer Width, Height; // without the command frame
    };
    const TCase Cases[] = {
        { "the frame's size", 0, 0, true, false, 200, 100 },
        { "the dialog's size", 320, 150, true, false, 320, 150 },
        { "height from the frame", 320, 0, true, false, 320, 100 },
        { "no frame size: the form's designed client", 0, 0, false, false, 0, 0 },
        { "OnResize changes both", 320, 150, true, true, 330, 160 },
    };
    Make(false);
    const TPoint Designed = Point(Dialog->Form()->ClientWidth(), Dialog->Form()->ClientHeight());
    FreeAndNil(Dialog);
    for (const TCase& C : Cases) {
        Make(false);
        Dialog->SetFrameSize(C.FrameSize);
        if (C.Resize)
            Dialog->OnResize = [](TObject*, Integer& W, Integer& H) {
                W += 10;
                H += 10;
            };
        Dialog->SetDlgWidth(C.DlgWidth);
        Dialog->SetDlgHeight(C.DlgHeight);
        const Integer Width = C.Width ? C.Width : Designed.X;
        const Integer Height = C.Height ? C.Height : Designed.Y;
        // Sized twice: the size does not grow by the frames each time.
        for (int Time = 0; Time < 2; ++Time) {
            Dialog->DoShow();
            EXPECT_EQ(Dialog->Form()->ClientWidth(), Width) << C.Name;
            EXPECT_EQ(Dialog->Form()->ClientHeight(), Height + Dialog->CommandFrame()->Height()) << C.Name;
        }
        FreeAndNil(Dialog);
    }

    // A caption frame sits inside the client: the client grows by it, and
    // the caption frame asks the content about its clicks too.
    Make(false, TXCaptionFrame::StaticClass());
    auto* Form = DynamicCast<TXForm>(Dialog->Form());
    ASSERT_NE(Form->CaptionFrame(), nullptr);
    EXPECT_EQ(Form->CaptionFrame()->AttachedControl(), Dialog->ContentFrame());
    Dialog->SetDlgHeight(0);
    EXPECT_EQ(Form->ClientHeight(), 100 + Dialog->CommandFrame()->Height() + Form->CaptionFrame()->Height());
}

TEST_F(FrameDialogs, PlacementFlags)
{
    // The form is 250 x 150 on a desktop of 1024 x 768 (work area 740 high);
    // the anchor control is a form at (400, 300), 200 x 100.
    TXForm* Anchor = NewForm();
    Anchor->SetBounds(400, 300, 200, 100);
    struct TCase {
        const char* Name;
        TPoint At;
        Byte Flags;
        bool WithControl;
        TPoint Expected;
    };
    const TCase Cases[] = {
        { "0 centres", { 300, 50 }, 0, false, { 387, 295 } },
        { "32 centres", { 300, 50 }, dpfCenter | dpfLeft, false, { 387, 295 } },
        { "1 parks below the desktop", { 300, 50 }, dpfParkBelow, false, { 10, 788 } },
        { "2 | 8: top left at the point", { 300, 50 }, dpfTop | dpfLeft, false, { 300, 50 } },
        { "4 | 16: bottom right at the point", { 300, 200 }, dpfBottom | dpfRight, false, { 50, 50 } },
        { "8 alone keeps the top", { 300, 50 }, dpfLeft, false, { 300, 20 } },
        { "4 | 16 off the desktop: raised to it", { 100, 50 }, dpfBottom | dpfRight, false, { 0, 0 } },
        { "64 below and right of the control", { 5, 7 }, dpfRelative, true, { 605, 407 } },
        { "64 | 2 | 8 above, from the control's left", { 5, 7 }, dpfRelative | dpfTop | dpfLeft, true,
            { 395, 143 } },
        { "64 without a control: by the point", { 300, 50 }, dpfRelative | dpfTop | dpfLeft, false, { 300, 50 } },
    };
    Make(false);
    TXWinForm* Form = Dialog->Form();
    for (const TCase& C : Cases) {
        Form->SetBounds(10, 20, 250, 150);
        Dialog->SetAnchorControl(C.WithControl ? Anchor : nullptr);
        Dialog->PlaceAt(C.At, C.Flags);
        EXPECT_EQ(Point(Form->Left(), Form->Top()), C.Expected) << C.Name;
        EXPECT_EQ(Form->Width(), 250) << C.Name;
    }

    // OnRealign has the last word.
    Dialog->OnRealign = [](TObject*, Integer& L, Integer& T) {
        L += 1;
        T += 2;
    };
    Dialog->PlaceAt({ 300, 50 }, dpfTop | dpfLeft);
    EXPECT_EQ(Point(Form->Left(), Form->Top()), Point(301, 52));
    Dialog->OnRealign = nullptr;

    // A desktop-wide dialog centres on the monitor of its anchor point.
    Presenter.SetMonitors({ { { 0, 0, 1024, 768 }, { 0, 0, 1024, 740 }, 96, 96, true },
        { { 1024, 0, 2048, 768 }, { 1024, 0, 2048, 768 }, 96, 96, false } });
    Dialog->XStyle()->SetDefaultMonitor(dmDesktop);
    Dialog->PlaceAt({ 1500, 100 }, dpfCenter);
    EXPECT_EQ(Point(Form->Left(), Form->Top()), Point(1024 + (1024 - 250) / 2, (768 - 150) / 2));
    // The anchor control going clears it.
    Dialog->SetAnchorControl(Anchor);
    Made.erase(std::find(Made.begin(), Made.end(), Anchor));
    Anchor->Free();
    EXPECT_EQ(Dialog->AnchorControl(), nullptr);
}

TEST_F(FrameDialogs, AKeptDialogShowsItsFramesInAHostAndTakesThemOutOnClose)
{
    Make(false);
    TForm* Host = New<TForm>(nullptr);
    Host->SetBounds(0, 0, 500, 400);
    Dialog->SetHostControl(Host);
    EXPECT_TRUE(Dialog->ShowForm());
    EXPECT_EQ(Dialog->ContentFrame()->Parent(), Host);
    EXPECT_EQ(Dialog->CommandFrame()->Parent(), Host);
    EXPECT_TRUE(Host->Visible());
    // The dialog's own form is neither shown nor sized.
    EXPECT_FALSE(Dialog->Form()->Visible());
    EXPECT_TRUE(Dialog->CloseDialog(1));
    EXPECT_EQ(Dialog->ContentFrame()->Parent(), nullptr);
    EXPECT_EQ(Dialog->CommandFrame()->Parent(), nullptr);
    EXPECT_EQ(Dialog->LastResult(), 1);

    // A host form runs the modal loop; the dialog's buttons end it.
    Host->Hide();
    Player.Start({ [&] {
        EXPECT_EQ(Dialog->ContentFrame()->Parent(), Host);
        Press(1);
    } });
    EXPECT_EQ(Dialog->Execute(), 1);
    EXPECT_FALSE(Host->FormState().Contains(fsModal));
    EXPECT_EQ(Dialog->Loads, 1);

    // The host going first leaves the dialog on its own form.
    Host->Free();
    EXPECT_EQ(Dialog->HostControl(), nullptr);
    Player.Start({ [&] {
        EXPECT_EQ(Dialog->ContentFrame()->Parent(), Dialog->Form());
        Press(2);
    } });
    EXPECT_EQ(Dialog->Execute(), 2);
    // Kept frames survive the run, out of their parent.
    ASSERT_NE(Dialog->ContentFrame(), nullptr);
    EXPECT_EQ(Dialog->ContentFrame()->Parent(), nullptr);
}

TEST_F(FrameDialogs, ContentFreedByItsClickHandlerIsNotTouchedAgain)
{
    Make(true);
    Dialog->OnCmdClick = [&](TMessage&) { FreeAndNil(Dialog); };
    Player.Start({ [&] {
        Dialog->CommandFrame()->Perform(XM_CMDSETBUTTONTAG, 1, -3);
        ButtonTagged(-3)->Click();
    } });
    TFrameDialog* Running = Dialog;
    EXPECT_EQ(Running->Execute(), 2);
    EXPECT_EQ(Dialog, nullptr);
    Application->ProcessMessages();
}
