#include "forms/XCommandFr.h"
#include "core/XEngine.Gears.h"
#include "core/XSpark.App.h"
#include "core/XSpark.Lg.h"
#include "forms/XDlg.h"
#include "graphics/XSpark.VCL.h"
#include "rtl/StrUtils.h"
#include "rtl/Verify.h"
#include <algorithm>

X_REGISTER_CLASS(TXCommandFrame)
X_REGISTER_CLASS(TXCmdOK)
X_REGISTER_CLASS(TXCmdClose)
X_REGISTER_CLASS(TXCmd2ButtonFrame)
X_REGISTER_CLASS(TXCmd3ButtonFrame)
X_REGISTER_CLASS(TXCmd4ButtonFrame)
X_REGISTER_CLASS(TXCmdOKCancel)
X_REGISTER_CLASS(TXCmdNextCancel)
X_REGISTER_CLASS(TXCmdCheckNowNoThanks)
X_REGISTER_CLASS(TXCmdDeleteCancel)
X_REGISTER_CLASS(TXCmdDownloadCancel)
X_REGISTER_CLASS(TXCmdRunOpenFolderCancel)
X_REGISTER_CLASS(TXCmdOpenOpenFolderCancel)
X_REGISTER_CLASS(TXCmdOpenSaveOKCancel)

X_PUBLISHED(TXCommandFrame)
{
    // Read by the region builder of skinned forms.
    X_PROP(FullRgn, FullRgn, SetFullRgn).Default(false);
}

X_MESSAGES(TXCommandFrame)
{
    X_MESSAGE(XM_CMDSHOWBUTTON, XMShowButton);
    X_MESSAGE(XM_CMDENABLEBUTTON, XMEnableButton);
    X_MESSAGE(XM_CMDSETBUTTONTAG, XMSetButtonTag);
}

namespace {

// The caption words of the button sets.
constexpr Cardinal wOK = 0x81004792;
constexpr Cardinal wClose = 0x8100CAD2;
constexpr Cardinal wCancel = 0x8100BEF5;
constexpr Cardinal wNext = 0x81002000;
constexpr Cardinal wCheckNow = 0x8200D24D;
constexpr Cardinal wNoThanks = 0x810023E3;
constexpr Cardinal wDelete = 0x8100589C;
constexpr Cardinal wDownload = 0x8100BA12;
constexpr Cardinal wRun = 0x81003288;
constexpr Cardinal wOpenFolder = 0x81000F42;
constexpr Cardinal wOpen = 0x810016B8;
constexpr Cardinal wSave = 0x81000980;

// The frame's gap to the bevel under it, at 96 DPI.
constexpr Integer BevelMargin = 6;

String LgWord(Cardinal Id)
{
    return Lg() ? Lg()->GetWord(Id) : String();
}

}

void TXCommandFrame::Create(TComponent* AOwner)
{
    FScale = NextScaled;
    NextScaled = false;
    inherited::Create(AOwner);
    FControlStyle.Include(csAcceptsControls);
    SetBounds(0, 0, 451, 35);
    SetAlign(alBottom);
    // A dialog's frame asks the dialog's content about its clicks.
    auto* Dialog = DynamicCast<TXCustomDialog>(AOwner);
    if (!Dialog)
        if (auto* Form = DynamicCast<TXWinForm>(AOwner))
            Dialog = DynamicCast<TXCustomDialog>(Form->OwningDialog());
    // Stored only: a frame without a parent has no window to tell yet.
    if (Dialog && Dialog->ContentFrame())
        WatchAttached(Dialog->ContentFrame());
    CreateButtons();
    if (FScale && Screen && Screen->PixelsPerInch() != 96)
        ScaleBy(Screen->PixelsPerInch(), 96);
    RegisterLanguageListener(TXAnyProcedure::Method<&TXCommandFrame::LanguageChanged>(this));
    FrameCreated();
}

void TXCommandFrame::BeforeDestruction()
{
    UnregisterLanguageListener(TXAnyProcedure::Method<&TXCommandFrame::LanguageChanged>(this));
    inherited::BeforeDestruction();
}

TXCommandFrame* TXCommandFrame::CreateScaled(TClass FrameClass, TComponent* AOwner, bool Scale)
{
    X_VERIFY(FrameClass && FrameClass->InheritsFrom(StaticClass()), "not a command frame class");
    NextScaled = Scale;
    TXCommandFrame* Frame;
    try {
        Frame = Construct(static_cast<TXCommandFrame*>(FrameClass->NewInstance()), AOwner);
    } catch (...) { // the flag belongs to this construction only
        NextScaled = false;
        throw;
    }
    if (Frame->Align() == alBottom)
        Frame->SetHeight(Frame->Height() - ScaleToDPI(BevelMargin));
    return Frame;
}

void TXCommandFrame::WatchAttached(TWinControl* Control)
{
    if (FAttached)
        FAttached->RemoveFreeNotification(this);
    FAttached = Control;
    if (Control)
        Control->FreeNotification(this);
}

void TXCommandFrame::AttachControl(TWinControl* Control)
{
    WatchAttached(Control);
    if (Control)
        Control->Perform(XM_CMDFRAMEATTACHED, WPARAM(Handle()), 0);
}

void TXCommandFrame::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == FAttached)
        FAttached = nullptr;
    if (AComponent == FParentForm)
        FParentForm = nullptr;
    std::erase(FButtons, AComponent);
}

void TXCommandFrame::SetParent(TWinControl* AParent)
{
    inherited::SetParent(AParent);
    if (FParentForm)
        FParentForm->RemoveFreeNotification(this);
    FParentForm = GetParentForm(this);
    if (FParentForm)
        FParentForm->FreeNotification(this);
}

TXButton* TXCommandFrame::AddButton(Integer ALeft, Integer ATag)
{
    auto* B = New<TXButton>(this);
    B->SetBounds(ALeft, 6, 75, 23);
    B->SetTag(ATag);
    B->SetAnchors({ akRight, akBottom });
    B->OnClick = [this](TObject* Sender) { ButtonClick(Sender); };
    B->SetParent(this);
    B->FreeNotification(this);
    FButtons.push_back(B);
    return B;
}

TXButton* TXCommandFrame::Button(Integer Index) const
{
    return size_t(Index) < FButtons.size() ? FButtons[size_t(Index)] : nullptr;
}

void TXCommandFrame::SetButton(Integer Index, Cardinal WordId, Integer ATag, bool ACancel, const String& Suffix)
{
    TXButton* B = Button(Index);
    if (!B)
        return;
    B->SetCaption(LgWord(WordId) + Suffix);
    B->SetTag(ATag);
    B->SetCancel(ACancel);
}

void TXCommandFrame::ArrangeButtons()
{
    if (ControlCount() == 0)
        return;
    TOwnedPtr<TCanvas> Measure(MakeOwned<TCanvas>());
    Measure->SetFont(SharedFonts(0));
    Integer W = ScaleToDPI(75);
    for (Integer I = 0; I < ControlCount(); ++I)
        W = std::max(W, Measure->TextWidth(Controls(I)->Caption()) + ScaleToDPI(20));
    if (W == Controls(0)->Width())
        return;
    Integer X = Width() - ScaleToDPI(8);
    for (Integer I = ControlCount() - 1; I >= 0; --I) {
        TControl* C = Controls(I);
        C->SetBounds(X - W, C->Top(), W, C->Height());
        X -= W + ScaleToDPI(7);
    }
}

Integer TXCommandFrame::ButtonResult(TControl* Button)
{
    Integer Result = Integer(Button->Tag());
    if (FAttached)
        if (const LRESULT Answer = FAttached->Perform(XM_CMDBUTTONRESULT, WPARAM(Button->Tag()), 0))
            Result = Integer(Answer);
    return std::max(Result, 0);
}

void TXCommandFrame::ButtonClick(TObject* Sender)
{
    auto* B = DynamicCast<TControl>(Sender);
    if (!B)
        return;
    TLifeWatch Watch(LifeMark());
    const Integer Result = ButtonResult(B);
    if (Watch.Freed() || !FParentForm || Result == 0)
        return;
    const Integer Monitor = [this] {
        TMonitor* M = Screen && HandleAllocated() ? Screen->MonitorFromWindow(Handle()) : nullptr;
        return M ? M->MonitorNum() : 0;
    }();
    // Dialogs are the gears that own command frames.
    XEngine::TXGear* Dialog = DynamicCast<XEngine::TXGear>(Owner());
    if (!Dialog)
        if (auto* Form = DynamicCast<TXWinForm>(FParentForm))
            Dialog = Form->OwningDialog();
    if (Dialog) {
        Dialog->PostIntCommand(this, Monitor, xhtCustom, u"", XCMD_CLOSEDIALOG, IntToStr(Result));
        return;
    }
    TCustomForm* Form = FParentForm;
    if (Application && Form == Application->MainForm())
        Form->Close();
    else if (Form->FormState().Contains(fsModal))
        Form->SetModalResult(Result);
    else
        Form->Hide();
}

template<class F>
void TXCommandFrame::ForMatching(WPARAM Tag, F&& Fn)
{
    const NativeInt Wanted = NativeInt(Tag);
    if (Wanted < 0)
        return;
    for (Integer I = 0; I < ControlCount(); ++I)
        if (Controls(I)->Tag() == Wanted)
            Fn(Controls(I));
}

void TXCommandFrame::XMShowButton(TMessage& Message)
{
    ForMatching(Message.WParam, [&](TControl* C) { C->SetVisible(Message.LParam != 0); });
}

void TXCommandFrame::XMEnableButton(TMessage& Message)
{
    ForMatching(Message.WParam, [&](TControl* C) { C->SetEnabled(Message.LParam != 0); });
}

void TXCommandFrame::XMSetButtonTag(TMessage& Message)
{
    std::vector<TControl*> Matching;
    ForMatching(Message.WParam, [&](TControl* C) { Matching.push_back(C); });
    for (TControl* C : Matching) {
        C->SetTag(NativeInt(Message.LParam));
        if (auto* B = DynamicCast<TCustomButton>(C))
            ButtonTagChanged(B);
    }
}

void SetDefaultCommandButton(TXCommandFrame* Frame, Integer Tag)
{
    std::vector<TCustomButton*> Buttons;
    for (Integer I = 0; I < Frame->ControlCount(); ++I)
        if (auto* B = DynamicCast<TCustomButton>(Frame->Controls(I)))
            Buttons.push_back(B);
    size_t Start = 0;
    for (size_t I = 0; I < Buttons.size(); ++I)
        if (Buttons[I]->Tag() == Tag) {
            Buttons[I]->SetDefault(true);
            Start = I;
            break;
        }
    Integer Order = 0;
    for (size_t I = Start; I < Buttons.size(); ++I)
        Buttons[I]->SetTabOrder(Order++);
    for (size_t I = 0; I < Start; ++I)
        Buttons[I]->SetTabOrder(Order++);
}

// ---- the sets ----

void TXCmdOK::CreateButtons()
{
    AddButton(Width() - 81, 1);
}

void TXCmdOK::LanguageChanged()
{
    if (TXButton* B = Button(0))
        B->SetCaption(LgWord(wOK));
    ArrangeButtons();
}

void TXCmdClose::LanguageChanged()
{
    if (TXButton* B = Button(0))
        B->SetCaption(LgWord(wClose));
    ArrangeButtons();
}

void TXCmd2ButtonFrame::CreateButtons()
{
    AddButton(ClientWidth() - 162, 0);
    AddButton(ClientWidth() - 81, 0);
}

void TXCmd3ButtonFrame::CreateButtons()
{
    AddButton(ClientWidth() - 243, 0);
    AddButton(ClientWidth() - 162, 0);
    AddButton(ClientWidth() - 81, 0);
}

void TXCmd4ButtonFrame::CreateButtons()
{
    AddButton(ClientWidth() - 324, 0);
    AddButton(ClientWidth() - 243, 0);
    AddButton(ClientWidth() - 162, 0);
    AddButton(ClientWidth() - 81, 0);
}

void TXCmdOKCancel::LanguageChanged()
{
    SetButton(0, wOK, 1, false);
    SetButton(1, wCancel, 2, true);
    ArrangeButtons();
}

void TXCmdNextCancel::LanguageChanged()
{
    SetButton(0, wNext, 1, false);
    SetButton(1, wCancel, 2, true);
    ArrangeButtons();
}

void TXCmdCheckNowNoThanks::LanguageChanged()
{
    SetButton(0, wCheckNow, 1, false);
    SetButton(1, wNoThanks, 2, true);
    ArrangeButtons();
}

void TXCmdDeleteCancel::LanguageChanged()
{
    SetButton(0, wDelete, 6, false);
    SetButton(1, wCancel, 7, true);
    ArrangeButtons();
}

void TXCmdDownloadCancel::LanguageChanged()
{
    // Esc must not cancel a download by accident.
    SetButton(0, wDownload, 1, false);
    SetButton(1, wCancel, 2, false);
    ArrangeButtons();
}

void TXCmdRunOpenFolderCancel::LanguageChanged()
{
    SetButton(0, wRun, 1, false);
    SetButton(1, wOpenFolder, 6, false);
    SetButton(2, wCancel, 2, true);
    ArrangeButtons();
}

void TXCmdOpenOpenFolderCancel::LanguageChanged()
{
    SetButton(0, wOpen, 1, false);
    SetButton(1, wOpenFolder, 6, false);
    SetButton(2, wCancel, 2, true);
    ArrangeButtons();
}

void TXCmdOpenSaveOKCancel::LanguageChanged()
{
    SetButton(0, wOpen, -10, false, u"...");
    SetButton(1, wSave, -13, false, u"...");
    SetButton(2, wOK, 1, false);
    SetButton(3, wCancel, 2, true);
    ArrangeButtons();
}

// ---- command forms ----

TXForm* CreateCommandForm(Integer ClientWidth, Integer ClientHeight, const String& Caption, TClass FrameClass,
    Integer DefaultTag)
{
    auto* Form = New<TXForm>(Application);
    Form->SetBorderStyle(bsDialog);
    Form->SetPosition(poScreenCenter);
    Form->SetCaption(Caption.empty() && Application ? Application->Title() : Caption);
    Form->HandleNeeded();
    if (!FrameClass) {
        Form->SetClientSize(ClientWidth, ClientHeight);
        return Form;
    }
    const Integer Margin = ScaleToDPI(BevelMargin);
    ClientHeight += 2 * Margin + ScaleToDPI(23);
    TXCommandFrame* Frame = TXCommandFrame::CreateScaled(FrameClass, Form, true);
    Frame->SetHeight(Frame->Height() + Margin);
    SetDefaultCommandButton(Frame, DefaultTag);
    if (Frame->ControlCount() > 0)
        ClientWidth = std::max(ClientWidth, Frame->Width() + Margin - Frame->Controls(0)->Left());
    Form->SetClientSize(ClientWidth, ClientHeight);
    Frame->SetParent(Form);
    return Form;
}
