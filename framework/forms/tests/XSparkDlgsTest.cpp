// Generic dialogs: the form they make and drive through IXForm, the
// requests that close them, and the options and data that travel.
#include "FormsTestSupport.h"
#include "ModalScript.h"
#include "forms/XSpark.Dlgs.h"

using namespace FormsTests;
using namespace XSpark::Dlgs;

namespace {

class TProbeOptions : public TXComponent {
    X_CLASS_TEMPLATE(TProbeOptions, TXComponent, u"TProbeOptions")
public:
    String Title = u"probe";
};

class TProbeData : public TXComponent {
    X_CLASS_TEMPLATE(TProbeData, TXComponent, u"TProbeData")
public:
    String Text = u"stored";
};

// A form whose content reads the options and the data and writes the data.
class TProbeForm : public TXCustomForm,
                   public IXOptionsReader<TProbeOptions*>,
                   public IXDataReader<TProbeData*>,
                   public IXDataWriter<TProbeData*> {
    X_CLASS_TEMPLATE(TProbeForm, TXCustomForm, u"TProbeForm")
    X_INTERFACES(TProbeForm, IXOptionsReader<TProbeOptions*>, IXDataReader<TProbeData*>, IXDataWriter<TProbeData*>)
    X_FORWARD_IINTERFACE(TXCustomForm)
public:
    static inline Integer Reads = 0;
    static inline Integer Made = 0;
    void Create(TComponent* AOwner) override
    {
        inherited::Create(AOwner);
        ++Made;
    }
    void ReadOptions(TProbeOptions* Options) override { TForm::SetCaption(Options->Title); }
    void ReadData(TProbeData* Data) override
    {
        ++Reads;
        Edited = Data->Text;
    }
    void WriteData(TProbeData* Data) override { Data->Text = Edited; }
    String Edited;
};

using TProbeDlgBase = TXDialog<TProbeOptions, TProbeData>;

class TProbeDlg : public TProbeDlgBase {
    X_CLASS_TEMPLATE(TProbeDlg, TProbeDlgBase, u"TProbeDlg")
public:
    static inline TClass NextForm = nullptr;
    static inline bool NextAutoFree = true;
    void InitDialog() override
    {
        SetFormClass(NextForm);
        SetAutoFree(NextAutoFree);
        FormOptions()->SetCaption(u"Generic");
        FormOptions()->SetWidth(260);
    }
};

class GenericDialogs : public TSkinnedFixture {
protected:
    void SetUp() override
    {
        TSkinnedFixture::SetUp();
        TProbeForm::Reads = TProbeForm::Made = 0;
    }
    void TearDown() override
    {
        FreeAndNil(Dialog);
        TProbeDlg::NextForm = nullptr;
        TProbeDlg::NextAutoFree = true;
        Application->ProcessMessages();
        TSkinnedFixture::TearDown();
    }
    TProbeDlg* Make(TClass FormClass, bool AutoFree = true)
    {
        TProbeDlg::NextForm = FormClass;
        TProbeDlg::NextAutoFree = AutoFree;
        Dialog = New<TProbeDlg>(nullptr);
        return Dialog;
    }
    TProbeForm* Form() { return static_cast<TProbeForm*>(static_cast<TXCustomForm*>(Dialog->Form())); }
    // What the content of the running form asks for.
    void Request(Integer Action) { Form()->RequestAction(Form(), Action, 0); }

    TModalScript Player;
    TProbeDlg* Dialog = nullptr;
};

}

TEST_F(GenericDialogs, RequestActionsOneToTenCloseAndResultTwoKeepsTheData)
{
    Make(TProbeForm::StaticClass());
    for (const Integer Action : { 1, 2, 6, 10 }) {
        Dialog->Data()->Text = u"stored";
        Player.Start({ [&] {
            // The form options first, then the options object's reader.
            EXPECT_EQ(Form()->Caption(), u"probe");
            EXPECT_EQ(Form()->ClientWidth(), 260);
            EXPECT_EQ(Form()->Edited, u"stored");
            Form()->Edited = u"edited";
            // Neither 0 nor 11 is a dialog result: the form stays.
            Request(0);
            Request(11);
            EXPECT_TRUE(Dialog->IsModal());
            Request(Action);
        } });
        EXPECT_EQ(Dialog->Execute(), Action);
        EXPECT_EQ(Dialog->Data()->Text, Action == 2 ? u"stored" : u"edited") << Action;
        // Auto-free: the hidden form is let go.
        EXPECT_FALSE(Dialog->HasForm());
    }

    // Closed from its system menu: 2, and the data stays as it was.
    Dialog->Data()->Text = u"stored";
    Player.Start({ [&] {
        Form()->Edited = u"edited";
        PostMessage(Form()->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    } });
    EXPECT_EQ(Dialog->Execute(), 2);
    EXPECT_EQ(Dialog->Data()->Text, u"stored");

    // Execute while the form is modal: 0, no second run.
    Integer Inner = -1;
    Player.Start({ [&] {
        Inner = Dialog->Execute();
        Request(1);
    } });
    EXPECT_EQ(Dialog->Execute(), 1);
    EXPECT_EQ(Inner, 0);
}

TEST_F(GenericDialogs, AKeptFormSurvivesHidingAndReadsAgainAtEveryShow)
{
    Make(TProbeForm::StaticClass(), false);
    ASSERT_TRUE(Dialog->HasForm());
    EXPECT_TRUE(Dialog->IsCreated());
    for (int Run = 1; Run <= 2; ++Run) {
        Player.Start({ [&] { Request(1); } });
        EXPECT_TRUE(Dialog->ExecuteOK());
        EXPECT_TRUE(Dialog->HasForm());
        EXPECT_EQ(TProbeForm::Reads, Run);
    }
    EXPECT_TRUE(Dialog->ShowForm());
    EXPECT_TRUE(Dialog->IsVisible());
    EXPECT_EQ(TProbeForm::Reads, 3);
    EXPECT_TRUE(Dialog->CloseDialog(1));
    EXPECT_FALSE(Dialog->IsVisible());
    EXPECT_EQ(TProbeForm::Made, 1);
    // Switched on again: the hidden form goes.
    Dialog->SetAutoFree(true);
    EXPECT_FALSE(Dialog->HasForm());
    EXPECT_FALSE(Dialog->CloseDialog(1));
}

TEST_F(GenericDialogs, AFormClassWithoutIXFormGivesNoForm)
{
    for (TClass Class : { TForm::StaticClass(), TComponent::StaticClass(), TClass(nullptr) }) {
        Make(Class);
        EXPECT_EQ(Dialog->Execute(), 0);
        EXPECT_FALSE(Dialog->HasForm());
        EXPECT_FALSE(Dialog->ShowForm());
        FreeAndNil(Dialog);
    }
}

TEST_F(GenericDialogs, ObserversHearOfTheEndAndAFreedDialogIsNotTouched)
{
    Make(TProbeForm::StaticClass());
    struct TListener : TObject {
        Integer Destroying = 0;
        void Heard(IXNotification* N) { Destroying += DynamicCast<TXDestroyingAspect>(N->GetAspect()) != nullptr; }
    } Listener;
    Dialog->Subscribe(TXDestroyingAspect::StaticClass(), TXNotificationHandler::Of<&TListener::Heard>(&Listener));
    Player.Start({ [&] { FreeAndNil(Dialog); } });
    TProbeDlg* Running = Dialog;
    EXPECT_EQ(Running->Execute(), 2);
    EXPECT_EQ(Dialog, nullptr);
    EXPECT_EQ(Listener.Destroying, 1);
}
