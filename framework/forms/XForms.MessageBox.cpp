#include "forms/XForms.MessageBox.h"
#include "core/XSpark.App.h"
#include "core/XSpark.Lg.h"
#include "graphics/XSpark.Skin.h"
#include "graphics/XSpark.VCL.Images.h"
#include "graphics/XSpark.VCL.h"
#include "rtl/Units.h"
#include "vcl/ExtCtrls.h"
#include "vcl/StdCtrls.h"
#include "win/Input.h"
#include "win/Metrics.h"
#include "win/Monitors.h"
#include "win/WinApi.h"
#include "win/WindowPlacement.h"
#include <algorithm>

TXMessageBoxProc MessageBoxProc = nullptr;
TXMessageBoxCheckProc MessageBoxCheckProc = nullptr;

namespace {

// The box's measures at 96 DPI: margin, bevel margin, bar height, small
// margin, icon size.
constexpr Integer Margin = 16;
constexpr Integer Bevel = 6;
constexpr Integer BarHeight = 23;
constexpr Integer SmallMargin = 8;
constexpr Integer IconSize = 32;
constexpr Integer CheckBoxHeight = 17;
constexpr Cardinal wDontShowAgain = 0x8200B1F5;

Integer CaptionButtonWidth()
{
    NONCLIENTMETRICS Metrics;
    if (SystemParametersInfo(SPI_GETNONCLIENTMETRICS, Metrics.cbSize, &Metrics, 0) && Metrics.iCaptionWidth > 0)
        return Metrics.iCaptionWidth;
    return 16;
}

// The width and height Text takes in Font, wrapped at Width.
TRect MeasureText(const String& Text, TFont* Font, Integer Width, Cardinal Flags)
{
    TOwnedPtr<TBitmap> Scratch(MakeOwned<TBitmap>());
    Scratch->SetSize(1, 1);
    Scratch->Canvas()->Font()->Assign(Font);
    TRect R { 0, 0, Width, 0 };
    Scratch->Canvas()->DrawText(Text, R, Flags | DT_CALCRECT);
    return R;
}

// The picture of a standard icon or of a named one; null for none.
void ShowIcon(TXImage* Image, const TXMessageIcon& Icon)
{
    TXImageCollection* Pictures = nullptr;
    switch (Icon.Id) {
    case IDI_APPLICATION:
        Pictures = SkinAppImages();
        if (Pictures && Pictures->Count() > 0)
            Image->AssignImageItem(Pictures->Items(0));
        return;
    case IDI_HAND: Pictures = SkinErrorImages(); break;
    case IDI_QUESTION: Pictures = SkinQuestionImages(); break;
    case IDI_EXCLAMATION: Pictures = SkinWarningImages(); break;
    case IDI_ASTERISK: Pictures = SkinInfoImages(); break;
    default: break;
    }
    if (Pictures) {
        Image->AssignBestImage(Pictures);
        return;
    }
    // Any other icon names a picture, drawn at the icon's size.
    Image->SetAutoSize(false);
    Image->SetPosition(ipStretch);
    Image->SetResample(true);
    if (TXImagesBox* Box = SkinImagesBox(u"ImagesBox"))
        if (auto* Item = static_cast<TXImageItem*>(Box->Images()->FindByName(Icon.Name)))
            Image->AssignImageItem(Item);
}

// Puts back what the box changed, whatever way it ends: the application
// window's place, the windows it disabled, the active window.
class TMessageBoxScope {
public:
    TMessageBoxScope()
    {
        FActive = GetActiveWindow();
        HWND App = Application ? Application->Handle() : nullptr;
        HMONITOR Own = MonitorFromWindow(FActive, MONITOR_DEFAULTTONEAREST);
        if (App && FActive && Own != MonitorFromWindow(App, MONITOR_DEFAULTTONEAREST)) {
            MONITORINFOEX Info;
            RECT R;
            if (GetMonitorInfo(Own, &Info) && GetWindowRect(App, &R)) {
                FAppRect = R;
                FMoved = true;
                const Integer X = (Info.rcMonitor.left + Info.rcMonitor.right) / 2;
                const Integer Y = (Info.rcMonitor.top + Info.rcMonitor.bottom) / 2;
                SetWindowPos(App, nullptr, X, Y, 0, 0,
                    SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
            }
        }
        // Only what is enabled now is disabled, so only that comes back:
        // the owner of a modal dialog under the box stays disabled.
        FDisabled = DisableTaskWindows(nullptr);
    }
    ~TMessageBoxScope()
    {
        if (FMoved && Application)
            SetWindowPos(Application->Handle(), nullptr, FAppRect.left, FAppRect.top, 0, 0,
                SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
        EnableTaskWindows(FDisabled);
        if (FActive && IsWindow(FActive))
            SetActiveWindow(FActive);
    }
    TMessageBoxScope(const TMessageBoxScope&) = delete;
    TMessageBoxScope& operator=(const TMessageBoxScope&) = delete;

private:
    HWND FActive = nullptr;
    bool FMoved = false;
    RECT FAppRect {};
    std::vector<HWND> FDisabled;
};

// The box's parts, made and laid out; the form is owned by the caller.
struct TMessageBoxParts {
    TXWinForm* Form = nullptr;
    TCheckBox* Check = nullptr;
};

TMessageBoxParts MakeMessageBox(bool WithCheck, const String& Text, const String& Caption, const String& CheckCaption,
    const TXMessageIcon& Icon, Integer DefaultTag, Integer EnableTag, TClass FrameClass, bool Checked)
{
    const Integer M = ScaleToDPI(Margin), B = ScaleToDPI(Bevel), H = ScaleToDPI(BarHeight),
                  S = ScaleToDPI(SmallMargin), Icon32 = ScaleToDPI(IconSize);
    TMessageBoxParts Parts;
    auto* Form = New<TXWinForm>(Application);
    Parts.Form = Form;
    Form->SetBorderStyle(bsDialog);
    Form->SetFormStyle(fsStayOnTop);
    Form->SetShowTaskBar(false);
    const String Title = Caption.empty() && Application ? Application->Title() : Caption;
    Form->SetCaption(Title);
    Form->SetFont(SharedFonts(0));

    const Integer LeastWidth =
        MeasureText(Title, SharedFonts(8), 0, DT_SINGLELINE | DT_NOPREFIX).Width() + 2 * CaptionButtonWidth();

    auto* Panel = New<TPanel>(Form);
    Panel->SetBevelOuter(bvNone);
    Panel->SetShowCaption(false);
    Panel->SetHeight(2 * B + H + 2);
    Panel->SetAlign(alBottom);
    Panel->SetParent(Form);
    auto* Line = New<TBevel>(Form);
    Line->SetShape(bsTopLine);
    Line->SetHeight(2);
    Line->SetAlign(alTop);
    Line->SetParent(Panel);
    TXCommandFrame* Frame = TXCommandFrame::CreateScaled(FrameClass, Form, true);
    SetDefaultCommandButton(Frame, DefaultTag);
    Frame->SetEnableTag(EnableTag);
    Frame->SetParent(Panel);

    const Cardinal Flags = DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX;
    const Integer ScreenWidth = Screen ? Screen->Width() : 1024;
    const TRect TextRect = MeasureText(Text, SharedFonts(0), ScreenWidth / 2, Flags);
    const Integer TW = TextRect.Width(), TH = TextRect.Height();
    Integer CW = TW, CH = TH;

    if (!Icon.Empty()) {
        auto* Image = New<TXImage>(Form);
        Image->SetName(u"IconImage");
        Image->SetBounds(M, M, Icon32, Icon32);
        Image->SetAutoSize(true);
        Image->SetImageSize(Icon32);
        Image->SetParent(Form);
        ShowIcon(Image, Icon);
        CW += Image->Width() + M;
        CH = std::max(TH, Image->Height());
    }

    const Integer ButtonsWidth = Frame->ControlCount() > 0 ? Frame->Width() + B - Frame->Controls(0)->Left() : 0;
    const Integer ClientWidth = std::max(std::max(CW, ButtonsWidth) + 2 * M, LeastWidth);
    Integer CheckPart = 0;
    if (WithCheck) {
        auto* Check = New<TCheckBox>(Form);
        Parts.Check = Check;
        Check->SetParent(Form);
        Check->SetBounds(0, 2 * M + CH, ClientWidth - 2 * S, ScaleToDPI(CheckBoxHeight));
        Check->SetCaption(CheckCaption.empty() && Lg() ? Lg()->GetWord(wDontShowAgain) : CheckCaption);
        Check->SetChecked(Checked);
        // The enabled button follows the box; a frame without one is left alone.
        auto Follow = [Frame, EnableTag, Check] {
            if (EnableTag != -1)
                Frame->Perform(XM_CMDENABLEBUTTON, WPARAM(EnableTag), Check->Checked() ? 1 : 0);
        };
        Check->OnClick = [Follow](TObject*) { Follow(); };
        Follow();
        CheckPart = Check->Height() + S;
    }
    Form->SetClientSize(ClientWidth, Panel->Height() + CH + 2 * M + CheckPart);
    Form->SetLeft(ScreenWidth / 2 - Form->Width() / 2);
    Form->SetTop((Screen ? Screen->Height() : 768) / 2 - Form->Height() / 2);

    auto* Label = New<TLabel>(Form);
    Label->SetName(u"MessageLabel");
    Label->SetFont(SharedFonts(0));
    Label->SetAutoSize(false);
    Label->SetWordWrap(true);
    Label->SetCaption(Text);
    Integer X = CW + M - TW;
    Integer Y = M;
    if (!Icon.Empty() && TH < Icon32)
        Y += (Icon32 - TH) / 2;
    Label->SetBounds(X, Y, TW, TH);
    Label->SetParent(Form);
    if (Parts.Check)
        Parts.Check->SetLeft(X);
    return Parts;
}

}

Integer ExecuteMessageBox(bool WithCheck, const String& Text, const String& Caption, const String& CheckCaption,
    const TXMessageIcon& Icon, Integer DefaultTag, Integer EnableTag, TClass FrameClass, bool& Checked)
{
    TMessageBoxScope Scope;
    TMessageBoxParts Parts
        = MakeMessageBox(WithCheck, Text, Caption, CheckCaption, Icon, DefaultTag, EnableTag, FrameClass, Checked);
    // Freed whatever happens; a handler that freed it already leaves nothing to free.
    TLifeWatch Watch(Parts.Form->LifeMark());
    struct TFree {
        TXWinForm* Form;
        TLifeWatch& Watch;
        ~TFree()
        {
            if (!Watch.Freed())
                Form->Free();
        }
    } Free { Parts.Form, Watch };
    const TModalResult Result = Parts.Form->ShowModal();
    if (Parts.Check && !Watch.Freed())
        Checked = Parts.Check->Checked();
    return Result;
}

Integer XMessageBox(
    const String& Text, const String& Caption, const TXMessageIcon& Icon, Integer DefaultTag, TClass FrameClass)
{
    bool Checked = false;
    return ExecuteMessageBox(false, Text, Caption, u"", Icon, DefaultTag, -1, FrameClass, Checked);
}

Integer XMessageBoxCheck(const String& Text, const String& Caption, const String& CheckCaption,
    const TXMessageIcon& Icon, Integer DefaultTag, Integer EnableTag, TClass FrameClass, bool& Checked)
{
    return ExecuteMessageBox(true, Text, Caption, CheckCaption, Icon, DefaultTag, EnableTag, FrameClass, Checked);
}

namespace {

void InitMessageBox()
{
    MessageBoxProc = &XMessageBox;
    MessageBoxCheckProc = &XMessageBoxCheck;
}

void DoneMessageBox()
{
    MessageBoxProc = nullptr;
    MessageBoxCheckProc = nullptr;
}

}

X_UNIT(XForms_MessageBox, "XForms.MessageBox", ({ "Forms", "XSpark.Skin.Data.Win", "XSpark.Lg" }), &InitMessageBox,
    &DoneMessageBox)
