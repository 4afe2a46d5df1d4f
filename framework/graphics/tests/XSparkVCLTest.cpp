#include "vcl/tests/ControlTestSupport.h"
#include "graphics/XSpark.Forms.h"
#include "graphics/XSpark.VCL.h"
#include "win/Metrics.h"

using namespace ControlTests;

namespace {

// Records the notifications of a control: the aspect's class name and
// the sender.
class TRecorder : public TObject {
    X_CLASS_TEMPLATE(TRecorder, TObject, u"TXSparkVCLRecorder")
public:
    std::vector<String> Seen;
    std::vector<TObject*> Senders;
    std::function<void()> Then;
    void Notified(IXNotification* N)
    {
        Seen.push_back(N->GetAspect()->ClassType()->Name);
        Senders.push_back(N->GetSender());
        if (Then)
            Then();
    }
    void Listen(IXObservable* Observable)
    {
        Observable->SubscribeAll(TXNotificationHandler::Of<&TRecorder::Notified>(this));
    }
};

// A windowed control whose top 20 rows are its caption.
class TCaptionStrip : public TXCustomControl {
    X_CLASS_TEMPLATE(TCaptionStrip, TXCustomControl, u"TCaptionStrip")
public:
    void Create(TComponent* AOwner) override
    {
        inherited::Create(AOwner);
        SetTabStop(true);
    }
    LRESULT HitTest(TPoint P) override { return P.Y < 20 ? HTCAPTION : HTCLIENT; }

protected:
    void Paint() override
    {
        Canvas()->Brush()->SetColor(Color());
        Canvas()->FillRect(ClientRect());
    }
};

class XSparkControls : public TFormFixture {
protected:
    TOwnedPtr<TRecorder> Rec { New<TRecorder>() };
};

TEST_F(XSparkControls, AGraphicControlTellsMovedBeforeSizeChangedAndRaisesItsEvents)
{
    auto* G = New<TXGraphicControl>(Form);
    G->SetParent(Form);
    G->SetBounds(10, 10, 50, 50);
    Rec->Listen(G);
    std::vector<std::string> Events;
    G->OnMoved = [&](TObject*) { Events.push_back("moved"); };
    G->OnSized = [&](TObject*) { Events.push_back("sized"); };

    G->SetBounds(20, 10, 50, 50);
    EXPECT_EQ(Rec->Seen, (std::vector<String> { u"TXMovedAspect" }));
    G->SetBounds(20, 10, 60, 50);
    G->SetBounds(30, 40, 70, 80);
    G->SetBounds(30, 40, 70, 80); // no change, no news
    EXPECT_EQ(Rec->Seen,
        (std::vector<String> { u"TXMovedAspect", u"TXSizeChangedAspect", u"TXMovedAspect", u"TXSizeChangedAspect" }));
    EXPECT_EQ(Events, (std::vector<std::string> { "moved", "sized", "moved", "sized" }));
    for (TObject* Sender : Rec->Senders)
        EXPECT_EQ(Sender, G);
}

TEST_F(XSparkControls, AMovedHandlerMayFreeTheGraphicControl)
{
    auto* G = New<TXGraphicControl>(Form);
    G->SetParent(Form);
    bool Sized = false;
    G->OnMoved = [&](TObject*) { G->Free(); };
    G->OnSized = [&](TObject*) { Sized = true; };
    G->SetBounds(5, 5, 40, 40);
    EXPECT_FALSE(Sized);
    EXPECT_EQ(Form->ControlCount(), 0);
}

TEST_F(XSparkControls, AWindowedControlTellsNeitherMoveNorSizeButFocusLeaving)
{
    auto* A = New<TCaptionStrip>(Form);
    A->SetParent(Form);
    A->SetBounds(10, 10, 100, 80);
    auto* B = New<TCaptionStrip>(Form);
    B->SetParent(Form);
    B->SetBounds(150, 10, 100, 80);
    Form->Show();
    Pump();
    Rec->Listen(A);
    A->SetBounds(20, 20, 120, 90);
    EXPECT_TRUE(Rec->Seen.empty());

    A->SetFocus();
    Pump();
    EXPECT_TRUE(Rec->Seen.empty());
    B->SetFocus();
    Pump();
    EXPECT_EQ(Rec->Seen, (std::vector<String> { u"TXFocusChangedAspect" }));
    EXPECT_EQ(Rec->Senders, (std::vector<TObject*> { A }));
}

TEST_F(XSparkControls, HitTestAnswersNCHitTestAndACaptionPressMovesTheForm)
{
    auto* Strip = New<TCaptionStrip>(Form);
    Strip->SetParent(Form);
    Strip->SetBounds(10, 10, 200, 100);
    Form->Show();
    Pump();
    auto HitAt = [&](TPoint P) {
        const TPoint S = Strip->ClientToScreen(P);
        return SendMessage(Strip->Handle(), WM_NCHITTEST, 0, MAKELPARAM(Word(S.X), Word(S.Y)));
    };
    EXPECT_EQ(HitAt({ 50, 5 }), HTCAPTION);
    EXPECT_EQ(HitAt({ 50, 50 }), HTCLIENT);

    // Without DragsParentForm a caption press stays with the control.
    Press({ 60, 15 }, true);
    Press({ 60, 15 }, false);
    EXPECT_TRUE(Presenter.MoveSizeRequests().empty());

    Strip->SetDragsParentForm(true);
    Clock.Advance(1000); // no double click
    Press({ 60, 15 }, true);
    Press({ 60, 15 }, false);
    const auto Requests = Presenter.MoveSizeRequests();
    ASSERT_EQ(Requests.size(), 1u);
    EXPECT_EQ(Requests[0].Wnd, Form->Handle());
    EXPECT_EQ(Requests[0].HitCode, HTCAPTION);
    const TPoint S = Screen({ 60, 15 });
    EXPECT_EQ(Requests[0].Point.x, S.X);
    EXPECT_EQ(Requests[0].Point.y, S.Y);

    // A client press is a client press.
    Clock.Advance(1000);
    Press({ 60, 80 }, true);
    Press({ 60, 80 }, false);
    EXPECT_EQ(Presenter.MoveSizeRequests().size(), 1u);
}

TEST_F(XSparkControls, TheControlInterfacePlacesShowsAndScales)
{
    auto* C = New<TXCustomControl>(Form);
    IPtr<IXControl<TWinControl>> I = Supports<IXControl<TWinControl>>(C);
    ASSERT_TRUE(I);
    EXPECT_EQ(I->GetObservable(), C->ControlSkin());
    C->SetVisible(false);
    C->SetAlign(alTop);
    I->PlaceInto(Form, alNone);
    EXPECT_EQ(C->Parent(), Form);
    EXPECT_EQ(C->Align(), alTop); // alNone keeps it
    EXPECT_TRUE(I->GetVisible());
    I->PlaceInto(Form, alClient);
    EXPECT_EQ(C->Align(), alClient);
    I->Hide();
    EXPECT_FALSE(C->Visible());

    auto* G = New<TXGraphicControl>(Form);
    G->SetBounds(10, 20, 30, 40);
    IPtr<IXControl<TWinControl>> GI = Supports<IXControl<TWinControl>>(G);
    ASSERT_TRUE(GI);
    EXPECT_EQ(GI->GetControlBounds(), (TRect { 10, 20, 40, 60 }));
    GI->SetControlBounds({ 1, 2, 11, 12 });
    EXPECT_EQ(G->BoundsRect(), (TRect { 1, 2, 11, 12 }));
    ::Screen->SetPixelsPerInch(144);
    GI->ScaleToScreen();
    ::Screen->SetPixelsPerInch(96);
    EXPECT_EQ(G->Width(), 15);
    EXPECT_EQ(G->Height(), 15);
}

TEST_F(XSparkControls, PlacingRoutines)
{
    auto* C = New<TXCustomControl>(Form);
    C->SetBounds(7, 7, 100, 40);
    CenterControlInArea(C, 300, 20);
    EXPECT_EQ(C->BoundsRect(), (TRect { 100, 0, 200, 40 }));
    CenterControlInArea(C, 50, 41);
    EXPECT_EQ(C->BoundsRect(), (TRect { 0, 0, 100, 40 }));
    SizeControlToScreen(C);
    EXPECT_EQ(C->BoundsRect(), (TRect { 0, 0, 1920, 1080 }));

    C->SetParent(Form);
    auto* G = New<TXGraphicControl>(C);
    G->SetParent(C);
    EXPECT_EQ(FindParentForm(G), Form);
    EXPECT_EQ(FindParentForm(C), Form);
    EXPECT_EQ(FindParentForm(Form), Form);
    EXPECT_EQ(FindParentForm(Application), nullptr);
    EXPECT_EQ(FindParentForm(nullptr), nullptr);
    TOwnedPtr<TComponent> Orphan(New<TComponent>(nullptr));
    EXPECT_EQ(FindOwnerForm(Orphan.get()), nullptr);
    auto* Plain = New<TComponent>(C);
    EXPECT_EQ(FindOwnerForm(Plain), Form); // its owner C lives on the form

    SetParentBackground(C, true);
    EXPECT_TRUE(C->ControlStyle().Contains(csParentBackground));
    EXPECT_FALSE(C->ControlStyle().Contains(csOpaque));
    SetParentBackground(C, false);
    EXPECT_FALSE(C->ControlStyle().Contains(csParentBackground));
    EXPECT_TRUE(C->ControlStyle().Contains(csOpaque));
}

TEST(XSparkParams, PopupAndTransparentParameters)
{
    TCreateParams P;
    P.Style = WS_CHILD | WS_VISIBLE;
    P.ExStyle = WS_EX_TRANSPARENT;
    P.WindowClass.style = CS_DBLCLKS;
    SetPopupWindowParams(P);
    EXPECT_EQ(P.Style, WS_POPUP | WS_CLIPSIBLINGS);
    EXPECT_EQ(P.ExStyle, WS_EX_TOOLWINDOW);
    EXPECT_EQ(P.WindowClass.style, CS_DBLCLKS | CS_SAVEBITS | CS_DROPSHADOW);
    SetTransparentParams(P, true);
    EXPECT_EQ(P.ExStyle, WS_EX_TOOLWINDOW | WS_EX_TRANSPARENT);
    EXPECT_EQ(P.WindowClass.style & (CS_VREDRAW | CS_HREDRAW), CS_VREDRAW | CS_HREDRAW);
    SetTransparentParams(P, false);
    EXPECT_EQ(P.WindowClass.style & (CS_VREDRAW | CS_HREDRAW), 0u);
    EXPECT_EQ(P.ExStyle, WS_EX_TOOLWINDOW | WS_EX_TRANSPARENT); // off clears only the class styles
}

struct TFontRow {
    String Name;
    Integer Size;
    TFontStyles Style;
    TColor Color;
};

std::vector<TFontRow> SharedFontRows()
{
    std::vector<TFontRow> Rows;
    for (Integer I = 0; I < SharedFontCount; ++I) {
        TFont* F = SharedFonts(I);
        Rows.push_back({ F->Name(), F->Size(), F->Style(), F->Color() });
    }
    return Rows;
}

TEST(SharedFonts, TenFontsFromTheMessageAndCaptionFontsWithTheirChanges)
{
    InitSharedFonts();
    const auto Rows = SharedFontRows();
    const TFontStyles Bold = StyleBit(fsBold), Under = StyleBit(fsUnderline);
    const TColor Text = Rows[0].Color;
    EXPECT_EQ(Rows[0].Name, u"DejaVu Sans");
    EXPECT_EQ(Rows[0].Size, 9);
    const TFontRow Expected[] = { { u"DejaVu Sans", 9, 0, Text }, { u"DejaVu Sans", 8, 0, Text },
        { u"DejaVu Sans", 10, 0, Text }, { u"DejaVu Sans", 9, Bold, Text }, { u"DejaVu Sans", 10, Bold, Text },
        { u"DejaVu Sans", 12, 0, clHotLight }, { u"DejaVu Sans", 9, 0, 0xCC6600 },
        { u"DejaVu Sans", 9, Under, 0xFF9933 }, { u"DejaVu Sans", 9, 0, Text }, { u"DejaVu Sans", 9, 0, Text } };
    for (Integer I = 0; I < SharedFontCount; ++I) {
        EXPECT_EQ(Rows[I].Name, Expected[I].Name) << I;
        EXPECT_EQ(Rows[I].Size, Expected[I].Size) << I;
        EXPECT_EQ(Rows[I].Style, Expected[I].Style) << I;
        EXPECT_EQ(Rows[I].Color, Expected[I].Color) << I;
    }
}

TEST(SharedFonts, WithoutTheMetricsAllTenStartFromTheDefaultFont)
{
    SetSystemParametersFailing(true);
    InitSharedFonts();
    SetSystemParametersFailing(false);
    const auto Rows = SharedFontRows();
    InitSharedFonts();
    TOwnedPtr<TFont> Default(New<TFont>());
    const Integer Size = Default->Size();
    const Integer Sizes[] = { Size, Size - 1, 10, Size, 10, Size + 3, Size, Size, Size, Size };
    for (Integer I = 0; I < SharedFontCount; ++I) {
        EXPECT_EQ(Rows[I].Name, Default->Name()) << I;
        EXPECT_EQ(Rows[I].Size, Sizes[I]) << I;
    }
    EXPECT_EQ(Rows[9].Color, Default->Color());
    EXPECT_EQ(Rows[3].Style, StyleBit(fsBold));
}

TEST(SharedObjects, AWhiteBrushAndAnEmpty32BitBitmap)
{
    ASSERT_NE(SharedWhiteBrush(), nullptr);
    EXPECT_EQ(SharedWhiteBrush()->Color(), clWhite);
    ASSERT_NE(SharedWorkBitmap(), nullptr);
    EXPECT_EQ(SharedWorkBitmap()->PixelFormat(), pf32bit);
    EXPECT_EQ(SharedWorkBitmap()->Width(), 0);
}

TEST(ColorDividers, ShadowAndHighlightMoveTheLightness)
{
    EXPECT_EQ(GetShadowColor(clWhite), 0xCACACAu); // 240 - 50 of 240
    EXPECT_EQ(GetHighLightColor(clBlack), 0x141414u); // 19 of 240
    EXPECT_EQ(GetShadowColor(clBlack), clBlack);
    EXPECT_EQ(GetHighLightColor(clWhite), clWhite);
}

TEST(FormOptions, DefaultsAndCopies)
{
    TOwnedPtr<TXFormOptions> A(New<TXFormOptions>()), B(New<TXFormOptions>());
    EXPECT_EQ(A->BorderStyle(), bsDialog);
    EXPECT_EQ(A->Position(), poScreenCenter);
    EXPECT_EQ(A->BoundsRect(), TRect {});
    EXPECT_EQ(A->Width(), 0);
    EXPECT_FALSE(A->Final());
    A->SetCaption(u"Options");
    A->SetBorderStyle(bsSizeable);
    A->SetBoundsRect({ 1, 2, 3, 4 });
    A->SetLeft(5);
    A->SetFinal(true);
    B->Assign(A.get());
    EXPECT_EQ(B->Caption(), u"Options");
    EXPECT_EQ(B->BorderStyle(), bsSizeable);
    EXPECT_EQ(B->BoundsRect(), (TRect { 1, 2, 3, 4 }));
    EXPECT_EQ(B->Left(), 5);
    EXPECT_TRUE(B->Final());
}

}
