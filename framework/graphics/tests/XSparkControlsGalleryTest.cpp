#include "vcl/tests/ControlTestSupport.h"
#include "ScopedDpi.h"
#include "core/XCore.ScreenMetrics.h"
#include "graphics/XExtCtrls.h"
#include "graphics/XSpark.VCL.Buttons.h"
#include "graphics/XSpark.VCL.Panels.h"
#include "win/Metrics.h"

using namespace ControlTests;

// The framework's plain controls side by side at both screen densities:
// button states, check boxes, group boxes and the skin panel's bevel shapes.
TEST_F(TFormFixture, GalleryOfButtonStatesCheckBoxesGroupBoxesAndBevelShapesAt96And144Dpi)
{
    for (Integer Dpi : { 96, 144 }) {
        TScopedDpi Scaled(Dpi);
        ::Screen->SetPixelsPerInch(Dpi);
        auto Px = [Dpi](Integer N) { return MulDiv(N, Dpi, 96); };
        TOwnedPtr<TForm> Host(MakeOwned<TForm>(nullptr));
        Host->SetColor(clBtnFace);
        Host->Font()->SetHeight(-Px(12));
        Host->SetBounds(50, 50, Px(520), Px(330));
        auto Place = [&](TControl* C, Integer X, Integer Y, Integer W, Integer H) {
            C->SetParent(Host.get());
            C->SetBounds(Px(X), Px(Y), Px(W), Px(H));
        };
        // Buttons: plain, default, hot, pressed (and so focused), disabled.
        const char16_t* States[] = { u"Plain", u"Default", u"Hot", u"Pressed", u"Disabled" };
        std::vector<TXButton*> Buttons;
        for (Integer I = 0; I < 5; ++I) {
            auto* B = New<TXButton>(Host.get());
            Place(B, 10 + 84 * I, 10, 78, 25);
            B->SetCaption(States[I]);
            B->SetDefault(I == 1);
            B->SetEnabled(I != 4);
            Buttons.push_back(B);
        }
        // Check boxes: off, on, grayed, disabled on.
        const char16_t* Checks[] = { u"Off", u"On", u"Grayed", u"Disabled" };
        for (Integer I = 0; I < 4; ++I) {
            auto* C = New<TXCheckBox>(Host.get());
            Place(C, 10 + 100 * I, 45, 95, 20);
            C->SetCaption(Checks[I]);
            C->SetAllowGrayed(true);
            C->SetState(I == 0 ? cbUnchecked : I == 2 ? cbGrayed : cbChecked);
            C->SetEnabled(I != 3);
        }
        // Group boxes: framed, framed without a caption, a divider, none.
        struct TGroup {
            const char16_t* Caption;
            TXFrameStyle Style;
        } const Groups[] = { { u"Pictures", xfsGroupBox }, { u"", xfsGroupBox }, { u"Options", xfsDivider },
            { u"None", xfsNone } };
        for (Integer I = 0; I < 4; ++I) {
            auto* G = New<TXGroupBox>(Host.get());
            Place(G, 10 + 126 * I, 75, 120, 70);
            G->SetColor(clBtnFace);
            G->SetCaption(Groups[I].Caption);
            G->SetFrameStyle(Groups[I].Style);
            auto* Inside = New<TXCheckBox>(Host.get());
            Inside->SetParent(G);
            Inside->SetBounds(Px(8), Px(30), Px(100), Px(20));
            Inside->SetCaption(u"Inside");
        }
        // Skin panels: each bevel shape, lowered and raised.
        const TBevelShape Shapes[] = { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine };
        const char16_t* Names[] = { u"Box", u"Frame", u"Top", u"Bottom", u"Left", u"Right" };
        for (Integer I = 0; I < 6; ++I)
            for (Integer Row = 0; Row < 2; ++Row) {
                auto* P = New<TXSkinPanel>(Host.get());
                Place(P, 10 + 84 * I, 155 + 85 * Row, 78, 78);
                P->SetColor(clBtnFace);
                P->SetBevelShape(Shapes[I]);
                P->SetBevelStyle(Row == 0 ? bvLowered : bvRaised);
                P->SetCaption(Names[I]);
            }
        Host->Show();
        Pump();
        Buttons[2]->Perform(CM_MOUSEENTER);
        Buttons[3]->SetFocus();
        Buttons[3]->Perform(WM_KEYDOWN, VK_SPACE, 0);
        Pump();
        SavePicture(Host->Handle(), "controls-gallery-" + std::to_string(Dpi) + ".png");
        Buttons[2]->Perform(CM_MOUSELEAVE);
        Pump();
    }
    ::Screen->SetPixelsPerInch(96);
}
