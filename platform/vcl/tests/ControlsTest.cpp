#include "ControlTestSupport.h"
#include <tuple>


using namespace ControlTests;

namespace {

class Controls : public TFormFixture {
protected:
    // A form with a panel holding a graphic control and a second panel:
    //   panel A (10,10)-(210,160) holding shape (20,20)-(80,60)
    //   panel B (220,10)-(380,160)
    void SetUp() override
    {
        TFormFixture::SetUp();
        A = Add<TProbePanel>(Form, { 10, 10, 210, 160 }, 0xC08040);
        Shape = Add<TProbeShape>(A, { 20, 20, 80, 60 }, 0x0000FF);
        B = Add<TProbePanel>(Form, { 220, 10, 380, 160 }, 0x40C040);
        Form->Show();
        Pump();
    }
    std::vector<std::string> Log;
    TNotifyEvent Logger(const std::string& What)
    {
        return [this, What](TObject*) { Log.push_back(What); };
    }
    TProbePanel* A = nullptr;
    TProbePanel* B = nullptr;
    TProbeShape* Shape = nullptr;
};

}

TEST_F(Controls, ClicksAndDoubleClicksReachGraphicAndWindowedControls)
{
    Shape->OnClick = Logger("shape click");
    Shape->OnDblClick = Logger("shape double");
    A->OnClick = Logger("A click");
    Shape->OnMouseDown = [this](TObject*, TMouseButton B, TShiftState S, Integer X, Integer Y) {
        Log.push_back(
            "shape down " + std::to_string(X) + "," + std::to_string(Y) + (S.Contains(ssDouble) ? " double" : ""));
    };
    Click({ 10 + 20 + 5, 10 + 20 + 6 });
    Click({ 10 + 20 + 5, 10 + 20 + 6 }); // within the double-click time
    Clock.Advance(1000);
    Click({ 15, 150 }); // A itself
    EXPECT_EQ(Log,
        (std::vector<std::string> { "shape down 5,6", "shape click", "shape double", "shape down 5,6 double",
            "A click" }));
}

TEST_F(Controls, ADragKeepsTheCaptureOutsideTheForm)
{
    std::vector<TPoint> Moves;
    Shape->OnMouseMove = [&](TObject*, TShiftState S, Integer X, Integer Y) {
        if (S.Contains(ssLeft))
            Moves.push_back({ X, Y });
    };
    TPoint Up {};
    Shape->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, Integer X, Integer Y) { Up = { X, Y }; };
    Press({ 40, 40 }, true);
    EXPECT_TRUE(Shape->MouseCapture());
    Move({ 300, 250 }); // over panel B
    Move({ -50, 500 }); // outside the form
    Press({ -50, 500 }, false);
    EXPECT_FALSE(Shape->MouseCapture());
    ASSERT_EQ(Moves.size(), 2u);
    EXPECT_EQ(Moves[0], (TPoint { 300 - 30, 250 - 30 }));
    EXPECT_EQ(Moves[1], (TPoint { -50 - 30, 500 - 30 }));
    EXPECT_EQ(Up, (TPoint { -80, 470 }));
}

TEST_F(Controls, TheWheelGoesToTheControlUnderThePointerThenItsParents)
{
    std::vector<std::string> Seen;
    B->OnMouseWheel = [&](TObject*, TShiftState, Integer Delta, TPoint, bool& Handled) {
        Seen.push_back("B " + std::to_string(Delta));
        Handled = Delta > 0;
    };
    Form->OnMouseWheel = [&](TObject*, TShiftState, Integer Delta, TPoint, bool& Handled) {
        Seen.push_back("form " + std::to_string(Delta));
        Handled = true;
    };
    const TPoint P = Screen({ 300, 50 });
    PostInput(TInputEvent::WheelEvent({ P.X, P.Y }, WHEEL_DELTA));
    PostInput(TInputEvent::WheelEvent({ P.X, P.Y }, -WHEEL_DELTA));
    Pump();
    EXPECT_EQ(Seen, (std::vector<std::string> { "B 120", "B -120", "form -120" }));
}

TEST_F(Controls, ThePointerEntersAndLeavesControlsInOrder)
{
    for (auto [C, Name] :
        { std::pair<TControl*, std::string> { Form, "form" }, { A, "A" }, { Shape, "shape" }, { B, "B" } }) {
        C->OnMouseEnter = Logger("enter " + Name);
        C->OnMouseLeave = Logger("leave " + Name);
    }
    Move({ 5, 5 });
    Move({ 15, 15 });
    Move({ 40, 40 });
    Move({ 100, 100 });
    Move({ 300, 50 });
    PostInput(TInputEvent::WindowEvent(TInputEvent::PointerLeft, nullptr));
    Pump();
    EXPECT_EQ(Log,
        (std::vector<std::string> { "enter form", "leave form", "enter A", "leave A", "enter shape", "leave shape",
            "enter A", "leave A", "enter B", "leave B" }));
}

TEST_F(Controls, FocusMovesByClickAndTabWithEnterAndExit)
{
    A->OnEnter = Logger("enter A");
    A->OnExit = Logger("exit A");
    B->OnEnter = Logger("enter B");
    B->OnExit = Logger("exit B");
    String Typed;
    A->OnKeyPress = [&](TObject*, Char& K) { Typed += K; };
    B->OnKeyPress = [&](TObject*, Char& K) { Typed += K; };
    Click({ 300, 50 });
    EXPECT_TRUE(B->Focused());
    EXPECT_EQ(Form->ActiveControl(), B);
    Key(VK_TAB, U'\t'); // the key types a tab, which neither control sees
    EXPECT_TRUE(A->Focused());
    EXPECT_EQ(Typed, u"");
    PostInput(TInputEvent::KeyEvent(VK_SHIFT, true));
    Key(VK_TAB);
    PostInput(TInputEvent::KeyEvent(VK_SHIFT, false));
    Pump();
    EXPECT_TRUE(B->Focused());
    EXPECT_EQ(Log, (std::vector<std::string> { "enter B", "exit B", "enter A", "exit A", "enter B" }));

    // Tab order, not creation order, decides.
    B->SetTabOrder(0);
    Key(VK_TAB);
    EXPECT_TRUE(A->Focused());
    // A control that cannot take the focus is passed over.
    B->SetEnabled(false);
    Key(VK_TAB);
    EXPECT_TRUE(A->Focused());
}

TEST_F(Controls, KeysReachTheFocusAfterTheFormsPreview)
{
    std::string Typed;
    A->SetFocus();
    A->OnKeyPress = [&](TObject*, Char& K) { Typed += char(K); };
    Form->SetKeyPreview(true);
    Form->OnKeyPress = [&](TObject*, Char& K) {
        if (K == u'x')
            K = 0; // the form eats it
        if (K == u'a')
            K = u'b';
    };
    Key('A', U'a');
    Key('X', U'x');
    Key('C', U'c');
    EXPECT_EQ(Typed, "bc");
    Word Down = 0;
    A->OnKeyDown = [&](TObject*, Word& K, TShiftState) { Down = K; };
    Key(VK_F1);
    EXPECT_EQ(Down, VK_F1);

    // Text without a key (an input method's) takes the same road; a
    // character beyond the BMP comes as its two halves, in order.
    String Units;
    A->OnKeyPress = [&](TObject*, Char& K) { Units += K; };
    PostInput(TInputEvent::TextEvent(u"\u00e9\U0001F600"));
    Key('Z', U'z');
    EXPECT_EQ(Units, u"\u00e9\U0001F600z");
}

TEST_F(Controls, PaintingIsLimitedToTheUpdateRegion)
{
    A->Paints = 0;
    A->PaintedClips.clear();
    const RECT Part { 100, 100, 150, 120 };
    InvalidateRect(A->Handle(), &Part, true);
    Pump();
    ASSERT_EQ(A->Paints, 1);
    EXPECT_EQ(A->PaintedClips[0], (TRect { 100, 100, 150, 120 }));

    // The colour changes, the picture only where it was invalidated.
    A->SetColor(0x102030);
    A->Paints = 0;
    Pump(); // the colour change invalidated all
    A->SetColor(0x405060);
    A->Paints = 0;
    ValidateRect(A->Handle(), nullptr);
    InvalidateRect(A->Handle(), &Part, false);
    Pump();
    EXPECT_EQ(A->Paints, 1);
    EXPECT_EQ(PixelAt({ 10 + 120, 10 + 110 }), TColor(0x405060));
    EXPECT_EQ(PixelAt({ 10 + 160, 10 + 110 }), TColor(0x102030));
    // The graphic child was painted over the panel where the region met it.
    EXPECT_EQ(PixelAt({ 10 + 30, 10 + 30 }), TColor(0x0000FF));
    SavePicture(Form->Handle(), "vcl-form.png");
}

TEST_F(Controls, RecreatingTheWindowKeepsChildrenStateAndFocus)
{
    B->SetFocus();
    const HWND OldForm = Form->Handle();
    const HWND OldB = B->Handle();
    Form->Perform(CM_RECREATEWND);
    Pump();
    EXPECT_NE(Form->Handle(), OldForm);
    EXPECT_FALSE(IsWindow(OldForm));
    EXPECT_NE(B->Handle(), OldB);
    EXPECT_EQ(GetParent(B->Handle()), Form->Handle());
    EXPECT_TRUE(IsWindowVisible(B->Handle()));
    RECT R;
    GetWindowRect(B->Handle(), &R);
    EXPECT_EQ(R.left, 100 + 220);
    EXPECT_TRUE(B->Focused());
    // The picture is whole again.
    EXPECT_EQ(PixelAt({ 300, 50 }), TColor(0x40C040));
    EXPECT_EQ(PixelAt({ 40, 40 }), TColor(0x0000FF));

    // Changing the border style makes the window again as well.
    Form->SetBorderStyle(bsDialog);
    EXPECT_TRUE(GetWindowLongPtr(Form->Handle(), GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    EXPECT_EQ(Form->ControlCount(), 2);
}

TEST_F(Controls, AlignmentFillsTheEdgesInOrder)
{
    auto* Top = Add<TProbePanel>(Form, { 0, 0, 10, 30 }, 0xFF0000);
    auto* Left = Add<TProbePanel>(Form, { 0, 0, 50, 10 }, 0x00FF00);
    auto* Rest = Add<TProbePanel>(Form, { 0, 0, 10, 10 }, 0x0000FF);
    Top->SetAlign(alTop);
    Left->SetAlign(alLeft);
    Rest->SetAlign(alClient);
    EXPECT_EQ(Top->BoundsRect(), (TRect { 0, 0, 400, 30 }));
    EXPECT_EQ(Left->BoundsRect(), (TRect { 0, 30, 50, 300 }));
    EXPECT_EQ(Rest->BoundsRect(), (TRect { 50, 30, 400, 300 }));
    Form->SetBounds(100, 100, 500, 200);
    EXPECT_EQ(Rest->BoundsRect(), (TRect { 50, 30, 500, 200 }));
    // The screen sizing the window does the same.
    TInputEvent Placed = TInputEvent::WindowEvent(TInputEvent::Placed, Form->Handle());
    Placed.Bounds = { 0, 0, 300, 250 };
    PostInput(Placed);
    Pump();
    EXPECT_EQ(Form->Width(), 300);
    EXPECT_EQ(Rest->BoundsRect(), (TRect { 50, 30, 300, 250 }));
}

TEST_F(Controls, MessageMethodsReachTheInheritedHandler)
{
    // CM_MOUSEENTER: TControl's method runs OnMouseEnter; a TWinControl
    // has none of its own, so Perform reaches it through the chain.
    Integer Entered = 0;
    B->OnMouseEnter = [&](TObject*) { ++Entered; };
    B->Perform(CM_MOUSEENTER);
    EXPECT_EQ(Entered, 1);
    EXPECT_NE(FindMessageMethod(TCustomForm::StaticClass(), WM_PAINT), nullptr);
    EXPECT_EQ(FindMessageMethod(TCustomForm::StaticClass(), WM_PAINT),
        FindMessageMethod(TWinControl::StaticClass(), WM_PAINT));
    EXPECT_EQ(FindMessageMethod(TControl::StaticClass(), WM_PAINT), nullptr);
    // Unknown messages reach DefaultHandler (DefWindowProc for windows).
    EXPECT_EQ(B->Perform(WM_NCHITTEST, 0, MAKELPARAM(100 + 220 + 5, 100 + 10 + 5)), HTCLIENT);
}

TEST_F(Controls, AHandlerMayFreeItsOwnControlAndForm)
{
    Shape->OnClick = [](TObject* Sender) { static_cast<TControl*>(Sender)->Free(); };
    Click({ 40, 40 });
    EXPECT_EQ(A->ControlCount(), 0);
    Pump();
    B->OnClick = [this](TObject*) { FreeAndNil(Form); };
    Click({ 300, 50 });
    EXPECT_EQ(Form, nullptr);
    Pump();
}

TEST_F(TFormFixture, AControlInTheDesktopIsATopLevelWindow)
{
    auto* Spot = New<TProbePanel>(Form);
    Spot->SetBounds(300, 200, 40, 30);
    Spot->SetParentWindow(GetDesktopWindow());
    Spot->Show();
    Pump();
    ASSERT_TRUE(Spot->HandleAllocated());
    EXPECT_EQ(GetParent(Spot->Handle()), nullptr);
    EXPECT_TRUE(IsWindowVisible(Spot->Handle()));
    RECT R;
    GetWindowRect(Spot->Handle(), &R);
    EXPECT_EQ(R.left, 300);
    EXPECT_EQ(R.top, 200);
    EXPECT_EQ(Spot->ClientOrigin(), TPoint({ 300, 200 }));
}

TEST_F(Controls, AContainerHearsOfEachChildComingAndGoingWhileStillInItsList)
{
    struct TListLog {
        TWinControl* Host = nullptr;
        TWindowMethod Inherited;
        std::vector<std::tuple<TControl*, bool, bool>> Got; // child, inserting, already a child
        void Proc(TMessage& M)
        {
            if (M.Msg == CM_CONTROLLISTCHANGE) {
                auto* Child = reinterpret_cast<TControl*>(M.WParam);
                Got.emplace_back(Child, M.LParam != 0, Child->Parent() == Host);
            }
            Inherited(M);
        }
    } Log;
    Log.Host = B;
    Log.Inherited = B->WindowProc();
    B->SetWindowProc(TWindowMethod::Of<&TListLog::Proc>(&Log));
    Shape->SetParent(B);
    auto* Inner = Add<TProbePanel>(B, { 5, 5, 50, 50 }, clBlack);
    Shape->SetParent(A);
    const std::vector<std::tuple<TControl*, bool, bool>> Expected = {
        { Shape, true, false }, { Inner, true, false }, { Shape, false, true } };
    EXPECT_EQ(Log.Got, Expected);
    B->SetWindowProc(Log.Inherited);
}
