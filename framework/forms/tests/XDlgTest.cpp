// Component dialogs: their form's life, data in and out, the close command
// and what a failed or freed run answers.
#include "FormsTestSupport.h"
#include "ModalScript.h"
#include "forms/XDlg.h"
#include "forms/XForms.MessageBox.h"

using namespace FormsTests;

namespace {

// A dialog that counts what it is asked to do; it may be told to fail.
class TCountingDialog : public TXCustomWinDialog {
    X_CLASS_TEMPLATE(TCountingDialog, TXCustomWinDialog, u"TCountingDialog")
public:
    static inline bool NextDynamic = true;
    Integer Loads = 0, Saves = 0, Shows = 0, Hides = 0;
    bool FailLoad = false;

    void InitDialog() override
    {
        SetFormClass(TXForm::StaticClass());
        SetDefaultCaption(u"Probe dialog");
        SetDynamicDlg(NextDynamic);
    }
    void LoadFormData() override
    {
        ++Loads;
        if (FailLoad)
            throw Exception(u"no data");
    }
    void SaveFormData() override { ++Saves; }
    void DoShow() override { ++Shows; }
    void DoHide() override { ++Hides; }
};

class Dialogs : public TSkinnedFixture {
protected:
    void SetUp() override
    {
        TSkinnedFixture::SetUp();
        Saved = MessageBoxProc;
        MessageBoxProc = [](const String&, const String&, const TXMessageIcon&, Integer, TClass) {
            ++Boxes;
            return 1;
        };
        Boxes = 0;
    }
    void TearDown() override
    {
        MessageBoxProc = Saved;
        FreeAndNil(Dialog);
        TSkinnedFixture::TearDown();
    }
    TCountingDialog* Make(bool Dynamic)
    {
        TCountingDialog::NextDynamic = Dynamic;
        Dialog = New<TCountingDialog>(nullptr);
        TCountingDialog::NextDynamic = true;
        return Dialog;
    }
    // The close command as a command frame sends it: 20 ms later.
    void SendClose(const String& Args)
    {
        Dialog->PostIntCommand(nullptr, 0, xhtCustom, u"", XCMD_CLOSEDIALOG, Args);
        Clock.Advance(20);
    }

    TModalScript Player;
    TCountingDialog* Dialog = nullptr;
    TXMessageBoxProc Saved = nullptr;
    static inline Integer Boxes = 0;
};

}

TEST_F(Dialogs, TheCloseCommandEndsTheRunWithItsArgument)
{
    struct TCase {
        String Args;
        Integer Answer;
    };
    const TCase Cases[] = { { u"1", 1 }, { u"6", 6 }, { u"x", 2 }, { u"", 2 } };
    Make(true);
    for (const TCase& C : Cases) {
        Player.Start({ [&] {
            EXPECT_EQ(Dialog->Form()->Caption(), u"Probe dialog");
            SendClose(C.Args);
        } });
        EXPECT_EQ(Dialog->Execute(), C.Answer) << StringToUTF8(C.Args);
        // A dynamic dialog lets its form go after each run.
        EXPECT_FALSE(Dialog->HasForm());
    }
    // Closed from the system menu: 104 "2" from the form.
    Player.Start({ [&] {
        PostMessage(Dialog->Form()->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
        Player.Post();
    },
        [&] { Clock.Advance(20); } });
    EXPECT_EQ(Dialog->Execute(), 2);
    EXPECT_EQ(Dialog->Saves, 5);
    EXPECT_EQ(Dialog->Loads, 5);
}

TEST_F(Dialogs, AKeptFormLoadsItsDataOnceUntilInvalidated)
{
    Make(false);
    ASSERT_TRUE(Dialog->HasForm());
    for (int Run = 0; Run < 2; ++Run) {
        Player.Start({ [&] { SendClose(u"1"); } });
        EXPECT_TRUE(Dialog->ExecuteOK());
    }
    EXPECT_EQ(Dialog->Loads, 1);
    // Saved at every close: the command's, and the run's end once more.
    EXPECT_EQ(Dialog->Saves, 4);
    Dialog->InvalidateFormData();
    Player.Start({ [&] { SendClose(u"2"); } });
    EXPECT_EQ(Dialog->Execute(), 2);
    EXPECT_EQ(Dialog->Loads, 2);

    // A modeless show places the form only when it is not shown, or always
    // with optAlwaysRearrange.
    EXPECT_TRUE(Dialog->ShowForm());
    EXPECT_TRUE(Dialog->ShowForm());
    EXPECT_EQ(Dialog->Shows, 4);
    Dialog->SetoptAlwaysRearrange(true);
    EXPECT_TRUE(Dialog->ShowForm());
    EXPECT_EQ(Dialog->Shows, 5);
    EXPECT_TRUE(Dialog->CloseDialog(1));
    EXPECT_FALSE(Dialog->IsVisible());
}

TEST_F(Dialogs, ExecuteWhileModalAnswersZeroAndAFailedRunTwo)
{
    Make(true);
    Integer Inner = -1;
    Player.Start({ [&] {
        Inner = Dialog->Execute();
        SendClose(u"1");
    } });
    EXPECT_EQ(Dialog->Execute(), 1);
    EXPECT_EQ(Inner, 0);

    struct TCase {
        bool Silent;
        Integer Boxes;
    };
    for (const TCase C : { TCase { false, 1 }, TCase { true, 0 } }) {
        Boxes = 0;
        Dialog->FailLoad = true;
        Dialog->SetoptSilentError(C.Silent);
        EXPECT_EQ(Dialog->Execute(), 2);
        EXPECT_EQ(Boxes, C.Boxes) << C.Silent;
    }
}

TEST_F(Dialogs, ADialogFreedDuringItsRunIsNotTouchedAgain)
{
    struct TCase {
        const char* Name;
        bool Dynamic;
    };
    for (const TCase C : { TCase { "dynamic", true }, TCase { "kept form", false } }) {
        Make(C.Dynamic);
        Player.Start({ [&] { FreeAndNil(Dialog); } });
        TCountingDialog* Running = Dialog;
        EXPECT_EQ(Running->Execute(), 2) << C.Name;
        EXPECT_EQ(Dialog, nullptr);
        Application->ProcessMessages();
    }
    // Its form going first leaves the dialog without one.
    Make(true);
    Player.Start({ [&] { Dialog->Form()->Free(); } });
    EXPECT_EQ(Dialog->Execute(), 2);
    EXPECT_FALSE(Dialog->HasForm());
}

TEST_F(Dialogs, ACancelDialogClosesWithTwoWhenCanceled)
{
    auto* Cancel = New<TXCustomCancelDialog>(nullptr);
    Integer Canceled = 0;
    Cancel->OnCanceled = [&](TObject*) { ++Canceled; };
    Cancel->SetCanceled(true);
    Cancel->SetCanceled(true);
    EXPECT_EQ(Canceled, 1);
    Cancel->Free();
}
