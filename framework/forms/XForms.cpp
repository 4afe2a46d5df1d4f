#include "forms/XForms.h"
#include "core/XCore.Interfaces.h"
#include "core/XEngine.Gears.h"
#include "core/XSpark.App.h"
#include "core/XSpark.Lg.h"
#include "forms/XCaptionFr.h"
#include "graphics/XExtCtrls.h"
#include "graphics/XSpark.VCL.h"
#include "rtl/TypInfo.h"
#include "win/Input.h"
#include "win/Metrics.h"
#include "win/ShellExecute.h"
#include "win/WindowTree.h"
#include <algorithm>

X_REGISTER_CLASS(TXWinForm)
X_REGISTER_CLASS(TXCustomFormSkinData)
X_REGISTER_CLASS(TXFormSkinData)
X_REGISTER_CLASS(TXFormStyle)
X_REGISTER_CLASS(TXAlphaForm)
X_REGISTER_CLASS(TXForm)
X_REGISTER_CLASS(TXPopForm)
X_REGISTER_CLASS(TXWindowScreenState)

X_PUBLISHED(TXCustomFormSkinData)
{
    X_PROP(CaptionClassName, CaptionClassName, SetCaptionClassName);
    X_PROP(AlphaStyle, AlphaStyle, SetAlphaStyle).Default(false);
    X_PROP_READONLY(AlphaColor, AlphaColor);
    X_PROP_READONLY(Color, Color);
    X_PROP_READONLY(CaptionColor, CaptionColor);
    X_PROP_READONLY(Border, Border);
}

X_PUBLISHED(TXFormStyle)
{
    X_PROP(SkinDataName, SkinDataName, SetSkinDataName).Default(u"Form");
    X_PROP(SkinStyle, SkinStyle, SetSkinStyle);
    X_PROP(BorderStyle, BorderStyle, SetBorderStyle).Default(bsSizeable);
    X_PROP(Position, Position, SetPosition).Default(poDesigned);
    X_PROP(DefaultMonitor, DefaultMonitor, SetDefaultMonitor).Default(dmActiveForm);
    X_PROP(optShowTaskBar, optShowTaskBar, SetoptShowTaskBar).Default(true);
}

X_PUBLISHED(TXWindowScreenState)
{
    X_PROP(Scaling, Scaling, SetScaling);
    X_PROP(DesktopWidth, DesktopWidth, SetDesktopWidth);
    X_PROP(DesktopHeight, DesktopHeight, SetDesktopHeight);
    X_PROP(WindowState, WindowState, SetWindowState);
    X_PROP(Width, Width, SetWidth);
    X_PROP(Height, Height, SetHeight);
    X_PROP(Left, Left, SetLeft);
    X_PROP(Top, Top, SetTop);
}

X_MESSAGES(TXWinForm)
{
    X_MESSAGE(WM_SYSCOMMAND, WMSysCommand);
    X_MESSAGE(CM_SHOWINGCHANGED, CMShowingChanged);
}

X_MESSAGES(TXAlphaForm)
{
    X_MESSAGE(CM_MOUSELEAVE, CMMouseLeave);
    X_MESSAGE(WM_MOUSEACTIVATE, WMMouseActivate);
}

X_MESSAGES(TXForm)
{
    X_MESSAGE(WM_NCHITTEST, WMNCHitTest);
    X_MESSAGE(WM_NCCALCSIZE, WMNCCalcSize);
    X_MESSAGE(WM_NCPAINT, WMNCPaint);
    X_MESSAGE(WM_NCACTIVATE, WMNCActivate);
    X_MESSAGE(WM_ACTIVATE, WMActivate);
    X_MESSAGE(WM_WINDOWPOSCHANGED, WMWindowPosChanged);
    X_MESSAGE(CM_TEXTCHANGED, CMTextChanged);
}

X_MESSAGES(TXPopForm)
{
    X_MESSAGE(CM_MOUSELEAVE, CMMouseLeave);
}

namespace {

bool IsDestroying(const TComponent* C)
{
    return C->ComponentState().Contains(csDestroying);
}

}

// ---- TXWinForm ----

void TXWinForm::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    SetFont(SharedFonts(0));
    FShowTaskBar = true;
}

void TXWinForm::AfterConstruction()
{
    inherited::AfterConstruction();
    InitForm();
    RegisterLanguageListener(TXAnyProcedure::Method<&TXWinForm::LanguageChanged>(this));
}

void TXWinForm::BeforeDestruction()
{
    UnregisterLanguageListener(TXAnyProcedure::Method<&TXWinForm::LanguageChanged>(this));
    DoneForm();
    ListOnTaskBar(this, false);
    inherited::BeforeDestruction();
}

String AcceptedComponentName(TComponent* Component, const String& NewName)
{
    if (Designing(Component) || NewName.empty())
        return NewName;
    String Unique;
    MakeUniqueComponentName(Component, NewName, Unique);
    return Unique;
}

void TXWinForm::SetName(const String& NewName)
{
    inherited::SetName(AcceptedComponentName(this, NewName));
}

void ListOnTaskBar(TComponent* Form, bool Listed)
{
    TXQVApp* App = QVApp();
    if (!App)
        return;
    if (Listed)
        App->AddTaskBarForm(Form);
    else
        App->RemoveTaskBarForm(Form);
}

void RefreshTaskBarForms()
{
    if (TXQVApp* App = QVApp())
        App->TaskBarFormsChanged();
}

void TXWinForm::SetShowTaskBar(bool Value)
{
    FShowTaskBar = Value;
    if (Designing(this))
        return;
    ListOnTaskBar(this, Value && Visible());
}

void TXWinForm::SetOwningDialog(XEngine::TXGear* Dialog)
{
    if (FOwningDialog)
        FOwningDialog->RemoveFreeNotification(this);
    FOwningDialog = Dialog;
    if (Dialog)
        Dialog->FreeNotification(this);
}

void TXWinForm::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FOwningDialog)
        FOwningDialog = nullptr;
}

void TXWinForm::DoShow()
{
    if (!Designing(this) && FShowTaskBar)
        ListOnTaskBar(this, true);
    TLifeWatch Watch(LifeMark());
    FormShown();
    if (!Watch.Freed())
        inherited::DoShow();
}

void TXWinForm::DoHide()
{
    TLifeWatch Watch(LifeMark());
    FormHidden();
    if (Watch.Freed())
        return;
    inherited::DoHide();
    if (!Watch.Freed() && !Designing(this))
        ListOnTaskBar(this, false);
}

void TXWinForm::Resize()
{
    TLifeWatch Watch(LifeMark());
    FormResized();
    if (!Watch.Freed())
        inherited::Resize();
}

void TXWinForm::CMShowingChanged(TMessage& Message)
{
    if (Showing() && Position() == poDesigned && FAnchorPoint.X != 0 && FAnchorPoint.Y != 0) {
        if (Anchors().Contains(akRight))
            SetLeft(FAnchorPoint.X - Width());
        if (Anchors().Contains(akBottom))
            SetTop(FAnchorPoint.Y - Height());
    }
    if (TXQVApp* App = QVApp())
        App->TaskBarFormsChanged();
    X_INHERITED_MESSAGE(Message);
}

Integer TXWinForm::MonitorIndex()
{
    if (!Screen || !HandleAllocated())
        return 0;
    TMonitor* M = Screen->MonitorFromWindow(Handle());
    return M ? M->MonitorNum() : 0;
}

void TXWinForm::WMSysCommand(TMessage& Message)
{
    TLifeWatch Watch(LifeMark());
    bool Handled = false;
    switch (Message.WParam & 0xFFF0) {
    case SC_MINIMIZE:
        if (OnSysMinimize)
            OnSysMinimize(this, Handled);
        break;
    case SC_MAXIMIZE:
        if (OnSysMaximize)
            OnSysMaximize(this, Handled);
        break;
    case SC_CLOSE:
        if (OnSysClose)
            OnSysClose(this, Handled);
        if (Watch.Freed())
            return;
        // The dialog closes itself with "2" whether or not the handler
        // kept the form.
        if (FOwningDialog)
            FOwningDialog->PostIntCommand(this, MonitorIndex(), xhtCustom, u"", XCMD_CLOSEDIALOG, u"2");
        break;
    }
    if (!Watch.Freed() && !Handled)
        X_INHERITED_MESSAGE(Message);
}

// ---- form skin data ----

void TXCustomFormSkinData::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FAlphaColor = MakeOwned<TXFormColorData>();
    FColor = MakeOwned<TXFormColorData>();
    FCaptionColor = MakeOwned<TXActiveColorData>();
    FBorder = MakeOwned<TXBorders>();
}

void TXCustomFormSkinData::Loaded()
{
    inherited::Loaded();
    if (Designing(this))
        return;
    FBorder->ScaleToScreenDpi();
}

void TXCustomFormSkinData::AdjustClientRect(TControl* Control, TRect& Rect)
{
    Rect = { Rect.Left + FBorder->Left(), Rect.Top + FBorder->Top(), Rect.Right - FBorder->Right(),
        Rect.Bottom - FBorder->Bottom() };
    Rect.Right = std::max(Rect.Right, Rect.Left);
    Rect.Bottom = std::max(Rect.Bottom, Rect.Top);
}

void TXCustomFormSkinData::PaintNonClient(TCustomForm* Form, TCanvas* Canvas)
{
    auto* F = DynamicCast<TXForm>(Form);
    Canvas->Brush()->SetColor(FColor->Colors(F && F->ActiveFlag()));
    Canvas->FillRect({ 0, 0, Form->Width(), Form->Height() });
}

Integer TXCustomFormSkinData::HitTestNonClient(TCustomForm* Form, TPoint Point)
{
    auto* F = DynamicCast<TXForm>(Form);
    const TFormBorderStyle Style = F ? F->Style()->BorderStyle() : Form->BorderStyle();
    if (Style != bsSizeable)
        return HTCLIENT;
    const Integer Fx = GetSystemMetrics(SM_CXFRAME);
    const Integer Fy = GetSystemMetrics(SM_CYFRAME);
    const Integer X = Point.X, Y = Point.Y;
    const bool NearTop = Y < Fy;
    const bool NearBottom = Form->Height() - Y < Fy;
    if (X < Fx || Form->Width() - X < Fx) {
        const bool Left = X < Fx;
        if (NearTop)
            return Left ? HTTOPLEFT : HTTOPRIGHT;
        if (NearBottom)
            return Left ? HTBOTTOMLEFT : HTBOTTOMRIGHT;
        return Left ? HTLEFT : HTRIGHT;
    }
    if (NearTop)
        return HTTOP;
    if (NearBottom)
        return HTBOTTOM;
    if (Y < FBorder->Top())
        return HTCAPTION;
    return HTCLIENT;
}

// ---- TXFormStyle ----

void TXFormStyle::SetDefaults()
{
    inherited::SetDefaults();
    FSkinDataName = u"Form";
    FSkinStyle.clear();
    FBorderStyle = bsSizeable;
    FPosition = poDesigned;
    FDefaultMonitor = dmActiveForm;
    FShowTaskBar = true;
    FSkin = AppSkin();
}

TXForm* TXFormStyle::TargetForm() const
{
    if (auto* Form = DynamicCast<TXForm>(FTarget))
        return Form;
    // A dialog target: the TXForm it shows, once it has one. Dialogs keep
    // their form as the owner of the form's owning-dialog link.
    if (Screen)
        for (Integer I = 0; I < Screen->FormCount(); ++I)
            if (auto* Form = DynamicCast<TXForm>(Screen->Forms(I)))
                if (FTarget && static_cast<TComponent*>(Form->OwningDialog()) == FTarget)
                    return Form;
    return nullptr;
}

void TXFormStyle::SetSkinData(TXCustomFormSkinData* Value)
{
    FSkinData = Value;
    TXForm* Form = TargetForm();
    if (!Form)
        return;
    if (Form->Style() != this) {
        Form->Style()->SetSkinData(Value);
        return;
    }
    ApplySkinData(Form);
}

void TXFormStyle::SetSkinDataName(const String& Value)
{
    if (Value == FSkinDataName)
        return;
    FSkinDataName = Value;
    if (TXForm* Form = TargetForm()) {
        if (Form->Style() != this)
            Form->Style()->SetSkinDataName(Value);
        else
            Form->ResolveSkin();
    }
}

void TXFormStyle::SetSkinStyle(const String& Value)
{
    if (Value == FSkinStyle)
        return;
    FSkinStyle = Value;
    FSkin = FindSkin(Value);
    if (TXForm* Form = TargetForm()) {
        if (Form->Style() != this)
            Form->Style()->SetSkinStyle(Value);
        else
            Form->ResolveSkin();
    }
}

void TXFormStyle::SetBorderStyle(TFormBorderStyle Value)
{
    if (Value == FBorderStyle)
        return;
    FBorderStyle = Value;
    if (TXForm* Form = TargetForm()) {
        if (Form->Style() != this)
            Form->Style()->SetBorderStyle(Value);
        else
            Form->SetBorderStyle(FSkinData && FSkinData->PaintType() != ptWindows ? bsNone : Value);
    }
}

void TXFormStyle::SetPosition(TPosition Value)
{
    if (Value == FPosition)
        return;
    FPosition = Value;
    if (TXForm* Form = TargetForm()) {
        if (Form->Style() != this)
            Form->Style()->SetPosition(Value);
        else {
            Form->SetPosition(Value);
            if (Form->Companion())
                Form->Companion()->SetPosition(Value);
        }
    }
}

void TXFormStyle::SetDefaultMonitor(TDefaultMonitor Value)
{
    if (Value == FDefaultMonitor)
        return;
    FDefaultMonitor = Value;
    if (TXForm* Form = TargetForm()) {
        if (Form->Style() != this)
            Form->Style()->SetDefaultMonitor(Value);
        else {
            Form->SetDefaultMonitor(Value);
            if (Form->Companion())
                Form->Companion()->SetDefaultMonitor(Value);
        }
    }
}

void TXFormStyle::SetoptShowTaskBar(bool Value)
{
    if (Value == FShowTaskBar)
        return;
    FShowTaskBar = Value;
    if (TXForm* Form = TargetForm()) {
        if (Form->Style() != this)
            Form->Style()->SetoptShowTaskBar(Value);
        else
            Form->SetShowTaskBar(Value);
    }
}

bool TXFormStyle::AssignFrom(TPersistent* Source)
{
    auto* Other = DynamicCast<TXFormStyle>(Source);
    if (!Other)
        return inherited::AssignFrom(Source);
    SetBorderStyle(Other->FBorderStyle);
    SetPosition(Other->FPosition);
    SetDefaultMonitor(Other->FDefaultMonitor);
    SetoptShowTaskBar(Other->FShowTaskBar);
    FCaptionFrameClass = Other->FCaptionFrameClass;
    FSkin = Other->FSkin;
    SetSkinData(Other->FSkinData);
    SetSkinDataName(Other->FSkinDataName);
    SetSkinStyle(Other->FSkinStyle);
    return true;
}

void TXFormStyle::AssignTo(TPersistent* Dest)
{
    auto* Form = DynamicCast<TXWinForm>(Dest);
    if (!Form) {
        inherited::AssignTo(Dest);
        return;
    }
    Form->SetBorderStyle(FBorderStyle);
    Form->SetPosition(FPosition);
    Form->SetDefaultMonitor(FDefaultMonitor);
    Form->SetShowTaskBar(FShowTaskBar);
}

void TXFormStyle::ApplySkinData(TXForm* Form)
{
    FSkin = FindSkin(FSkinStyle);
    if (FSkinData)
        FSkinData->FreeNotification(Form);
    if (IsDestroying(Form))
        return;
    Form->ApplySkin();
    Form->Invalidate();
}

// ---- TXAlphaForm ----

void TXAlphaForm::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    SetText(u"");
    SetPosition(poDesigned);
    SetBorderStyle(bsNone);
    SetColor(clBlack);
    SetShowTaskBar(false);
    SetAlphaBlend(true);
    SetAlphaBlendValue(128);
}

void TXAlphaForm::CreateParams(TCreateParams& Params)
{
    inherited::CreateParams(Params);
    Params.ExStyle |= WS_EX_LAYERED | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW;
    Params.ExStyle &= ~WS_EX_APPWINDOW;
}

void TXAlphaForm::CMMouseLeave(TMessage& Message)
{
    TLifeWatch Watch(LifeMark());
    X_INHERITED_MESSAGE(Message);
    if (!Watch.Freed())
        Fire(OnMouseLeave);
}

void TXAlphaForm::WMMouseActivate(TMessage& Message)
{
    Message.Result = MA_NOACTIVATE;
}

// ---- TXForm ----

void TXForm::Create(TComponent* AOwner)
{
    FStyle = MakeOwned<TXFormStyle>();
    FStyle->SetTarget(this);
    inherited::Create(AOwner);
    SetAlphaBlend(true);
    SetAlphaBlendValue(255);
}

TXForm::~TXForm()
{
    // The caption frame and the companion go while the form is still one:
    // their notifications find it whole.
    DestroyComponents();
}

void TXForm::Loaded()
{
    inherited::Loaded();
    FStyle->SetBorderStyle(BorderStyle());
    FStyle->SetPosition(Position());
    FStyle->SetDefaultMonitor(DefaultMonitor());
    FStyle->Assign(FStyle.get());
}

void TXForm::ResolveSkin()
{
    FStyle->SetSkin(FindSkin(FStyle->SkinStyle()));
    if (FStyle->SkinDataName().empty())
        return;
    if (auto* Data = DynamicCast<TXCustomFormSkinData>(
            FindFormSkinData(this, FStyle->SkinDataName(), TXCustomFormSkinData::StaticClass())))
        FStyle->SetSkinData(Data);
}

void TXForm::CreateCaptionFrame()
{
    if (FCaptionFrame) {
        TXCaptionFrame* Old = FCaptionFrame;
        FCaptionFrame = nullptr;
        Old->Free();
    }
    TClass Class = FStyle->CaptionFrameClass();
    bool LabelShown = SkinData() != nullptr;
    if (!Class && SkinData() && !SkinData()->CaptionClassName().empty()) {
        Class = GetClass(SkinData()->CaptionClassName());
        LabelShown = true;
    }
    if (!Class || !Class->InheritsFrom(TXCaptionFrame::StaticClass()))
        return;
    FCaptionFrame = static_cast<TXCaptionFrame*>(TXCommandFrame::CreateScaled(Class, this, true));
    FCaptionFrame->FreeNotification(this);
    FCaptionFrame->SetParent(this);
    SetCaptionHidden(FCaptionFrame, !LabelShown);
}

void TXForm::ApplySkin()
{
    HandleNeeded();
    const Integer W = ClientWidth();
    const Integer H = ClientHeight();
    const Integer OldCaption = FCaptionFrame ? FCaptionFrame->Height() : 0;
    TXCustomFormSkinData* Data = SkinData();
    if (Data) {
        SetBorderStyle(bsNone);
        // Other skin data may have other borders: the frame is asked again.
        SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
            SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        CreateCaptionFrame();
        const Integer NewCaption = FCaptionFrame ? FCaptionFrame->Height() : 0;
        SetClientSize(W, H + NewCaption - OldCaption);
        SetColor(Data->Color()->Colors(FActiveFlag));
        UpdateCompanion();
        UpdateWindowRegion();
    } else {
        if (FStyle->CaptionFrameClass())
            CreateCaptionFrame();
        else if (FCaptionFrame) {
            TXCaptionFrame* Old = FCaptionFrame;
            FCaptionFrame = nullptr;
            Old->Free();
        }
        DropCompanion();
        SetColor(clBtnFace);
        SetWindowRgn(Handle(), nullptr, true);
        SetBorderStyle(FStyle->BorderStyle());
        SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
            SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        const Integer NewCaption = FCaptionFrame ? FCaptionFrame->Height() : 0;
        SetClientSize(W, H + NewCaption - OldCaption);
        SetAlphaBlendValue(255);
    }
    BroadcastSkinChanged(this);
}

void TXForm::PlaceCompanion()
{
    if (FCompanion)
        FCompanion->SetBoundsRect(BoundsRect());
}

void TXForm::UpdateCompanion()
{
    TXCustomFormSkinData* Data = SkinData();
    if (!Data || !Data->AlphaStyle())
        return;
    if (!FCompanion) {
        FCompanion = New<TXAlphaForm>(this);
        FCompanion->FreeNotification(this);
        FCompanion->OnActivate = [this](TObject*) {
            if (HandleAllocated())
                SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        };
    }
    FCompanion->SetColor(Data->AlphaColor()->Colors(FActiveFlag));
    FCompanion->SetAlphaBlendValue(Data->AlphaColor()->Alpha());
    FCompanion->SetPosition(Position());
    FCompanion->SetDefaultMonitor(DefaultMonitor());
    FormResized();
    if (Visible()) {
        FCompanion->SetVisible(true);
        PlaceCompanion();
    }
    SetAlphaBlendValue(Data->Color()->Alpha());
}

void TXForm::DropCompanion()
{
    if (!FCompanion)
        return;
    TXAlphaForm* Old = FCompanion;
    FCompanion = nullptr;
    Old->Release();
}

void TXForm::UpdateWindowRegion()
{
    TXCustomFormSkinData* Data = SkinData();
    if (!Data || !Data->AlphaStyle() || !HandleAllocated())
        return;
    const TXBorders* B = Data->Border();
    HRGN Region = B->CreateBordersRegion(Width(), Height());
    HRGN Children = BuildControlsRegion(this, true, false);
    OffsetRgn(Children, B->Left(), B->Top());
    CombineRgn(Region, Region, Children, RGN_OR);
    DeleteObject(Children);
    SetWindowRgn(Handle(), Region, true);
}

void TXForm::FormMoved()
{
    PlaceCompanion();
    Fire(OnMove);
}

void TXForm::FormResized()
{
    PlaceCompanion();
    if (Visible())
        UpdateWindowRegion();
}

void TXForm::Activate()
{
    TLifeWatch Watch(LifeMark());
    FormActivated();
    if (!Watch.Freed())
        inherited::Activate();
}

void TXForm::Deactivate()
{
    TLifeWatch Watch(LifeMark());
    FormDeactivated();
    if (!Watch.Freed())
        inherited::Deactivate();
}

void TXForm::DoShow()
{
    UpdateWindowRegion();
    TLifeWatch Watch(LifeMark());
    inherited::DoShow();
    if (Watch.Freed())
        return;
    if (!Designing(this))
        if (TXQVApp* App = QVApp())
            App->TaskBarFormsChanged();
    if (FCompanion) {
        FCompanion->SetVisible(true);
        PlaceCompanion();
    }
}

void TXForm::DoHide()
{
    if (FCompanion)
        FCompanion->SetVisible(false);
    inherited::DoHide();
}

void TXForm::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == FCompanion)
        FCompanion = nullptr;
    if (AComponent == FCaptionFrame)
        FCaptionFrame = nullptr;
    if (FStyle && AComponent == FStyle->SkinData()) {
        FStyle->SkinDataFreed();
        if (!IsDestroying(this))
            BroadcastSkinChanged(this);
    }
}

void TXForm::WMNCHitTest(TMessage& Message)
{
    if (SkinData() && !Designing(this))
        TXSkinData::NCHitTest(SkinData(), this, Message);
    else
        X_INHERITED_MESSAGE(Message);
}

void TXForm::WMNCCalcSize(TMessage& Message)
{
    X_INHERITED_MESSAGE(Message);
    TXCustomFormSkinData* Data = SkinData();
    if (!Data || !Message.LParam)
        return;
    RECT* R = Message.WParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam)->rgrc[0]
                             : reinterpret_cast<RECT*>(Message.LParam);
    TRect Client { R->left, R->top, R->right, R->bottom };
    Data->AdjustClientRect(this, Client);
    *R = { Client.Left, Client.Top, Client.Right, Client.Bottom };
}

void TXForm::WMNCPaint(TMessage& Message)
{
    TXCustomFormSkinData* Data = SkinData();
    if (Data && Data->PaintType() != ptWindows)
        TXSkinData::NCPaint(Data, this);
    else
        X_INHERITED_MESSAGE(Message);
}

void TXForm::WMNCActivate(TMessage& Message)
{
    FActiveFlag = Message.WParam != 0;
    if (TXCustomFormSkinData* Data = SkinData()) {
        Perform(WM_NCPAINT);
        SetColor(Data->Color()->Colors(FActiveFlag));
        if (FCompanion)
            FCompanion->SetColor(Data->AlphaColor()->Colors(FActiveFlag));
        TLifeWatch Watch(LifeMark());
        NotifyControls(XM_FORMACTIVECHANGED);
        if (Watch.Freed())
            return;
    }
    X_INHERITED_MESSAGE(Message);
}

void TXForm::WMActivate(TMessage& Message)
{
    if (LOWORD(Message.WParam) != WA_INACTIVE && FCompanion && FCompanion->HandleAllocated()
        && HWND(Message.LParam) != FCompanion->Handle())
        SetWindowPos(FCompanion->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    X_INHERITED_MESSAGE(Message);
}

void TXForm::WMWindowPosChanged(TMessage& Message)
{
    TLifeWatch Watch(LifeMark());
    X_INHERITED_MESSAGE(Message);
    if (Watch.Freed())
        return;
    const auto* Pos = reinterpret_cast<const WINDOWPOS*>(Message.LParam);
    if (Pos && !(Pos->flags & SWP_NOMOVE))
        FormMoved();
}

void TXForm::CMTextChanged(TMessage& Message)
{
    TLifeWatch Watch(LifeMark());
    X_INHERITED_MESSAGE(Message);
    if (!Watch.Freed())
        NotifyControls(XM_FORMCAPTIONCHANGED);
}

// ---- TXPopForm ----

void TXPopForm::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    SetBorderStyle(bsNone);
    SetPosition(poDesigned);
    SetShowTaskBar(false);
    SetDefaultMonitor(dmDesktop);
    Style()->SetBorderStyle(bsNone);
    Style()->SetPosition(poDesigned);
    Style()->SetDefaultMonitor(dmDesktop);
    Style()->SetoptShowTaskBar(false);
    Style()->SetSkinDataName(u"PopForm");
}

void TXPopForm::UpdateCompanion()
{
    inherited::UpdateCompanion();
    if (Companion())
        Companion()->OnMouseLeave = [this](TObject* Sender) { LeaveCheck(Sender); };
}

void TXPopForm::CMMouseLeave(TMessage& Message)
{
    TLifeWatch Watch(LifeMark());
    X_INHERITED_MESSAGE(Message);
    if (!Watch.Freed())
        LeaveCheck(this);
}

void TXPopForm::LeaveCheck(TObject* Sender)
{
    POINT P {};
    GetCursorPos(&P);
    const TRect R = BoundsRect();
    if (P.x < R.Left || P.x >= R.Right || P.y < R.Top || P.y >= R.Bottom)
        Hide();
}

// ---- geometry ----

TRect VirtualDesktopRect()
{
    TRect Area;
    if (!Screen)
        return Area;
    for (Integer I = 0; I < Screen->MonitorCount(); ++I) {
        const TRect B = Screen->Monitors(I)->BoundsRect();
        Area = I == 0 ? B
                      : TRect { std::min(Area.Left, B.Left), std::min(Area.Top, B.Top), std::max(Area.Right, B.Right),
                            std::max(Area.Bottom, B.Bottom) };
    }
    return Area;
}

namespace {

TMonitor* FormMonitor(TCustomForm* Form)
{
    if (Form->HandleAllocated())
        return Screen->MonitorFromWindow(Form->Handle());
    const TRect R = Form->BoundsRect();
    return Screen->MonitorFromPoint({ R.Left + R.Width() / 2, R.Top + R.Height() / 2 });
}

}

void KeepFormOnMonitor(TCustomForm* Form, TMonitor* Monitor)
{
    if (!Form || !Screen)
        return;
    if (!Monitor)
        Monitor = FormMonitor(Form);
    if (!Monitor)
        return;
    const TRect Work = Monitor->WorkareaRect();
    // In 64 bits: a stored place may lie anywhere an Integer reaches.
    Int64 Left = Form->Left(), Top = Form->Top();
    const Int64 W = Form->Width(), H = Form->Height();
    if (Left + W > Work.Right)
        Left = Work.Right - W;
    if (Left < Work.Left)
        Left = Work.Left;
    if (Top + H > Work.Bottom)
        Top = Work.Bottom - H;
    if (Top < Work.Top)
        Top = Work.Top;
    Form->SetBounds(Integer(Left), Integer(Top), Form->Width(), Form->Height());
}

// ---- TXWindowScreenState ----

void TXWindowScreenState::Clear()
{
    inherited::Clear();
    StoreSize = true;
    StorePosition = true;
    FitToScreen = true;
}

void TXWindowScreenState::StoreWindow(TControl* Control)
{
    TCustomForm* Form = FindParentForm(Control);
    if (!Form)
        return;
    const TRect Desktop = VirtualDesktopRect();
    FScaling = Screen->PixelsPerInch();
    FDesktopWidth = Desktop.Width();
    FDesktopHeight = Desktop.Height();
    FWindowState = Form->WindowState();
    if (FWindowState == wsMaximized)
        return;
    if (StoreSize) {
        FWidth = Form->ClientWidth();
        FHeight = Form->ClientHeight();
    }
    if (StorePosition) {
        FLeft = Form->Left();
        FTop = Form->Top();
    }
}

bool TXWindowScreenState::RestoreWindow(TControl* Control)
{
    TCustomForm* Form = FindParentForm(Control);
    if (!Form)
        return false;
    const TRect Desktop = VirtualDesktopRect();
    const bool Applies = Screen->PixelsPerInch() == FScaling && Desktop.Width() >= FDesktopWidth
        && Desktop.Height() >= FDesktopHeight;
    if (Applies) {
        if (StoreSize && FWidth > 0 && FHeight > 0) {
            // Stored sizes are outside data: never larger than the work
            // area the form can be shown in.
            TMonitor* M = FormMonitor(Form);
            const TRect Work = M ? M->WorkareaRect() : Desktop;
            Form->SetClientSize(std::min(FWidth, Work.Width()), std::min(FHeight, Work.Height()));
        }
        if (StorePosition) {
            // Into the desktop's reach first, so no edge overflows.
            const Integer Left = Integer(std::clamp<Int64>(FLeft, Int64(Desktop.Left) - Form->Width(), Desktop.Right));
            const Integer Top = Integer(std::clamp<Int64>(FTop, Int64(Desktop.Top) - Form->Height(), Desktop.Bottom));
            Form->SetBounds(Left, Top, Form->Width(), Form->Height());
        }
    } else if (FitToScreen)
        CenterControlInArea(Form, Screen->Width(), Screen->Height());
    if (FWindowState == wsMaximized)
        Form->SetWindowState(wsMaximized);
    KeepFormOnMonitor(Form, nullptr);
    return Applies;
}

// ---- opening links ----

String QuoteCommandArgument(const String& Text)
{
    String Result = u"\"";
    size_t Backslashes = 0;
    for (Char C : Text) {
        if (C == u'\\') {
            ++Backslashes;
            continue;
        }
        // Backslashes before a quote double, and the quote gets its own.
        Result.append(C == u'"' ? Backslashes * 2 + 1 : Backslashes, u'\\');
        Backslashes = 0;
        Result += C;
    }
    // Before the closing quote they double too.
    Result.append(Backslashes * 2, u'\\');
    Result += u'"';
    return Result;
}

namespace {

// The link goes whole, never as a program of its own.
bool OpenLink(const String& Link, const String& Program)
{
    if (Program.empty())
        return OpenDocument(Link) > 32;
    return ShellExecute(nullptr, u"open", Program, QuoteCommandArgument(Link), u"", SW_SHOWNORMAL) > 32;
}

}

bool OpenURL(const String& URL, const String& Program, bool ReportFailure)
{
    return OpenLink(URL, Program);
}

bool OpenMail(const String& Address, const String& Program, bool ReportFailure)
{
    const bool HasScheme = Address.find(u"mailto:") != String::npos;
    return OpenLink(HasScheme ? Address : u"mailto:" + Address, Program);
}
