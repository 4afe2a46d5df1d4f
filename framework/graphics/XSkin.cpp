#include "graphics/XSkin.h"
#include "core/XSpark.App.h"
#include "graphics/XSpark.VCL.h"
#include "rtl/Units.h"
#include "win/Painting.h"
#include "win/WindowTree.h"

X_REGISTER_CLASS(TXSkinData)
X_REGISTER_CLASS(TXSkinDataList)
X_REGISTER_CLASS(TXSkinList)
X_REGISTER_CLASS(TXSkinComponent)
X_REGISTER_CLASS(TXSkinGraphicControl)
X_REGISTER_CLASS(TXSkinCustomControl)

X_PUBLISHED(TXSkinData)
{
    X_PROP(PaintType, PaintType, SetPaintType).Default(ptSkin);
}

X_PUBLISHED(TXSkinComponent)
{
    X_PROP(SkinDataName, SkinDataName, SetSkinDataName);
}

X_MESSAGES(TXSkinGraphicControl)
{
    X_MESSAGE(CM_MOUSEENTER, CMMouseEnter);
    X_MESSAGE(CM_MOUSELEAVE, CMMouseLeave);
    X_MESSAGE(XM_SKINCHANGED, XMSkinChanged);
}

X_MESSAGES(TXSkinCustomControl)
{
    X_MESSAGE(CM_MOUSEENTER, CMMouseEnter);
    X_MESSAGE(CM_MOUSELEAVE, CMMouseLeave);
    X_MESSAGE(XM_SKINCHANGED, XMSkinChanged);
}

namespace XSkin {
X_REGISTER_CLASS_AS(TXSkin, u"XSkin.TXSkin")
}

namespace {

TXSkinList* GSkinList = nullptr;
XSkin::TXSkin* GAppSkin = nullptr;

constexpr const char16_t* AppSkinName = u"xAppSkin";

void InitSkins()
{
    GSkinList = New<TXSkinList>();
    GAppSkin = New<XSkin::TXSkin>(nullptr);
    XSkin::TXSkin::RegisterAs(GAppSkin, AppSkinName);
}

void DoneSkins()
{
    FreeAndNil(GAppSkin);
    FreeAndNil(GSkinList);
}

TXSkinData* FindInFormSkin(TCustomForm* Form, const String& Name, TClass Class)
{
    IPtr<IXSkinnedForm> Skinned = Supports<IXSkinnedForm>(Form);
    if (!Skinned)
        return nullptr;
    XSkin::TXSkin* Skin = Skinned->GetFormSkin();
    return Skin ? Skin->FindSkinData(Name, Class) : nullptr;
}

}

X_UNIT(XSkin, "XSkin", ({ "XSpark.VCL" }), &InitSkins, &DoneSkins)

// ---- TXSkinData ----

void TXSkinData::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FPaintType = ptSkin;
}

HRGN TXSkinData::CreateRegion(TControl* Control, bool Rounded)
{
    return Rounded && Control ? CreateRoundedBoundsRegion(Control) : nullptr;
}

HRGN CreateRoundedBoundsRegion(TControl* Control)
{
    const TRect R = Control->BoundsRect();
    const Integer Corner = ScaleToDPI(3);
    return CreateRoundRectRgn(R.Left, R.Top, R.Right + 1, R.Bottom + 1, Corner, Corner);
}

void TXSkinData::NCPaint(TXSkinData* SkinData, TCustomForm* Form)
{
    if (!SkinData || !Form)
        return;
    const HWND Wnd = Form->Handle();
    RECT Window {};
    if (!GetWindowRect(Wnd, &Window))
        return;
    struct TDCHolder {
        HWND Wnd;
        HDC Dc;
        ~TDCHolder()
        {
            if (Dc)
                ReleaseDC(Wnd, Dc);
        }
    } Holder { Wnd, GetWindowDC(Wnd) };
    if (!Holder.Dc)
        return;
    // The client area in window coordinates is left out.
    const TPoint Origin = Form->ClientOrigin();
    const Integer Left = Origin.X - Window.left;
    const Integer Top = Origin.Y - Window.top;
    IntersectClipRect(Holder.Dc, 0, 0, Window.right - Window.left, Window.bottom - Window.top);
    ExcludeClipRect(Holder.Dc, Left, Top, Left + Form->ClientWidth(), Top + Form->ClientHeight());
    // Made after the context's holder, the canvas lets go of it first.
    TOwnedPtr<TControlCanvas> Canvas(MakeOwned<TControlCanvas>());
    Canvas->SetHandle(Holder.Dc);
    SkinData->PaintNonClient(Form, Canvas.get());
}

void TXSkinData::NCHitTest(TXSkinData* SkinData, TCustomForm* Form, TMessage& Message)
{
    if (!SkinData || !Form)
        return;
    RECT Window {};
    if (!GetWindowRect(Form->Handle(), &Window))
        return;
    const TPoint P { GET_X_LPARAM(Message.LParam) - Window.left, GET_Y_LPARAM(Message.LParam) - Window.top };
    Message.Result = SkinData->HitTestNonClient(Form, P);
}

// ---- XSkin::TXSkin ----

namespace XSkin {

void TXSkin::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FState = 0;
    FSkinData.reset(New<TXSkinDataList>());
    FImages.reset(New<TXSkinImagesList>(false));
}

void TXSkin::BeforeDestruction()
{
    FState = 0;
    inherited::BeforeDestruction();
}

TXSkinData* TXSkin::FindSkinData(const String& Name, TClass Class) const
{
    for (Integer I = 0; I < FSkinData->Count(); ++I) {
        TXSkinData* Data = FSkinData->Items(I);
        if (Data && Data->InheritsFrom(Class) && Data->Name() == Name)
            return Data;
    }
    return nullptr;
}

Integer TXSkin::AddSkinData(TXSkinData* SkinData)
{
    return FSkinData->AddUnique(SkinData);
}

void TXSkin::RegisterAs(TXSkin* Skin, const String& Name)
{
    if (!Skin || !GSkinList)
        return;
    Skin->FSkinName = Name;
    // Listed once: a second entry would outlive the skin's free
    // notification.
    GSkinList->Remove(Skin);
    for (Integer I = GSkinList->Count() - 1; I >= 0; --I)
        if (GSkinList->Items(I)->SkinName() == Name)
            GSkinList->Delete(I);
    GSkinList->Add(Skin);
    ReskinAllForms();
}

}

TXSkinList* SkinList()
{
    return GSkinList;
}

XSkin::TXSkin* AppSkin()
{
    return GAppSkin;
}

XSkin::TXSkin* FindSkinExact(const String& Name)
{
    if (!GSkinList)
        return nullptr;
    for (Integer I = 0; I < GSkinList->Count(); ++I)
        if (XSkin::TXSkin* Skin = GSkinList->Items(I); Skin->SkinName() == Name)
            return Skin;
    return nullptr;
}

XSkin::TXSkin* FindSkin(const String& Name)
{
    XSkin::TXSkin* Skin = FindSkinExact(Name);
    return Skin ? Skin : GAppSkin;
}

void ReskinAllForms()
{
    if (!Screen)
        return;
    std::vector<TCustomForm*> Forms;
    TLifeWatches Watches;
    for (Integer I = 0; I < Screen->FormCount(); ++I) {
        Forms.push_back(Screen->Forms(I));
        Watches.Add(Forms.back()->LifeMark());
    }
    for (size_t I = 0; I < Forms.size(); ++I) {
        if (Watches.Freed(I))
            continue;
        Forms[I]->Perform(XM_SKINCHANGED);
        if (!Watches.Freed(I))
            BroadcastSkinChanged(Forms[I]);
    }
}

void BroadcastSkinChanged(TWinControl* Form)
{
    if (!Form)
        return;
    TLifeWatch FormWatch(Form->LifeMark());
    std::vector<TXSkinComponent*> Skinned;
    TLifeWatches Watches;
    for (Integer I = 0; I < Form->ComponentCount(); ++I)
        if (auto* C = DynamicCast<TXSkinComponent>(Form->Components(I))) {
            Skinned.push_back(C);
            Watches.Add(C->LifeMark());
        }
    for (size_t I = 0; I < Skinned.size(); ++I) {
        if (Watches.Freed(I))
            continue;
        Skinned[I]->ApplySkin();
        if (FormWatch.Freed())
            return;
    }
    Form->NotifyControls(XM_SKINCHANGED);
}

TXSkinData* FindFormSkinData(TControl* Control, const String& Name, TClass Class)
{
    return FindInFormSkin(FindParentForm(Control), Name, Class);
}

TXSkinData* FindGroupSkinData(TComponent* Component, const String& Name, TClass Class)
{
    return FindInFormSkin(FindOwnerForm(Component), Name, Class);
}

// ---- TXSkinComponent ----

void TXSkinComponent::SetSkinDataName(const String& Value)
{
    if (Value == FSkinDataName)
        return;
    FSkinDataName = Value;
    ApplySkin();
}

void TXSkinComponent::BindSkinData(TXSkinData* Value)
{
    if (FSkinData && FSkinData != Value)
        FSkinData->RemoveFreeNotification(this);
    FSkinData = Value;
    if (Value)
        Value->FreeNotification(this);
    if (!ComponentState().Contains(csDestroying))
        SkinDataChanged();
}

void TXSkinComponent::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FSkinData) {
        FSkinData = nullptr;
        if (!ComponentState().Contains(csDestroying))
            SkinDataChanged();
    }
}

// ---- skinned controls ----

void XDetail::DrawSkinDesignOutline(TCanvas* Canvas, const TRect& R)
{
    // Dashes of three pixels with gaps of three, round the rectangle.
    constexpr Integer Dash = 3;
    Canvas->Pen()->SetColor(clBlack);
    auto Dashes = [&](TPoint From, Integer DX, Integer DY, Integer Length) {
        for (Integer At = 0; At < Length; At += 2 * Dash) {
            const Integer N = std::min(Dash, Length - At);
            Canvas->MoveTo(From.X + DX * At, From.Y + DY * At);
            Canvas->LineTo(From.X + DX * (At + N), From.Y + DY * (At + N));
        }
    };
    const Integer W = R.Width(), H = R.Height();
    if (W <= 0 || H <= 0)
        return;
    Dashes({ R.Left, R.Top }, 1, 0, W);
    Dashes({ R.Left, R.Bottom - 1 }, 1, 0, W);
    Dashes({ R.Left, R.Top }, 0, 1, H);
    Dashes({ R.Right - 1, R.Top }, 0, 1, H);
}
