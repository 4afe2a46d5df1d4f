#include "FormsTestSupport.h"
#include "core/XEngine.Gears.h"
#include "win/Metrics.h"
#include "win/WindowTree.h"

using namespace FormsTests;

namespace {

class SkinnedForms : public TSkinnedFixture { };

}

TEST_F(SkinnedForms, ApplyingAndRemovingTheSkinKeepsTheClientSize)
{
    struct TCase {
        const char* Name;
        bool CaptionFrame;
        bool AlphaStyle;
    };
    const TCase Cases[] = {
        { "plain", false, false },
        { "caption frame", true, false },
        { "alpha style", false, true },
        { "caption frame and alpha style", true, true },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Data->SetAlphaStyle(C.AlphaStyle);
        TXForm* F = NewForm();
        if (C.CaptionFrame)
            F->Style()->SetCaptionFrameClass(TXCaptionFrame::StaticClass());
        F->ApplySkin();
        const Integer Caption = F->CaptionFrame() ? F->CaptionFrame()->Height() : 0;
        EXPECT_EQ(F->ClientHeight(), 200 + Caption);
        EXPECT_EQ(F->ClientWidth(), 300);
        Skinned(F);
        ASSERT_EQ(F->SkinData(), Data);
        EXPECT_EQ(F->BorderStyle(), bsNone);
        EXPECT_EQ(F->ClientWidth(), 300);
        EXPECT_EQ(F->ClientHeight(), 200 + Caption);
        EXPECT_EQ(F->Width(), 300 + 4 + 5);
        EXPECT_EQ(F->Height(), 200 + Caption + 30 + 6);
        EXPECT_EQ(F->Companion() != nullptr, C.AlphaStyle);
        F->Style()->SetSkinData(nullptr);
        EXPECT_EQ(F->BorderStyle(), bsSizeable);
        EXPECT_EQ(F->ClientWidth(), 300);
        EXPECT_EQ(F->ClientHeight(), 200 + Caption);
        EXPECT_EQ(F->Companion(), nullptr);
        Pump();
    }
}

TEST_F(SkinnedForms, SkinHitTestGrid)
{
    TXForm* F = NewForm();
    Skinned(F);
    const Integer Fx = GetSystemMetrics(SM_CXFRAME), Fy = GetSystemMetrics(SM_CYFRAME);
    const Integer W = F->Width(), H = F->Height();
    struct TCase {
        TPoint P;
        LRESULT Code;
    };
    const TCase Cases[] = {
        { { 0, 0 }, HTTOPLEFT },
        { { W - 1, 0 }, HTTOPRIGHT },
        { { 0, H - 1 }, HTBOTTOMLEFT },
        { { W - 1, H - 1 }, HTBOTTOMRIGHT },
        { { 0, H / 2 }, HTLEFT },
        { { W - 1, H / 2 }, HTRIGHT },
        { { W / 2, 0 }, HTTOP },
        { { W / 2, H - 1 }, HTBOTTOM },
        { { W / 2, Fy + 1 }, HTCAPTION },
        { { W / 2, 29 }, HTCAPTION },
        { { W / 2, 30 }, HTCLIENT },
        { { Fx, H / 2 }, HTCLIENT },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.P.X << "," << C.P.Y);
        const LPARAM Screen = MAKELPARAM(Word(F->Left() + C.P.X), Word(F->Top() + C.P.Y));
        EXPECT_EQ(F->Perform(WM_NCHITTEST, 0, Screen), C.Code);
    }
    // Not sizeable: all of it is client, so only a caption frame drags.
    F->Style()->SetBorderStyle(bsDialog);
    for (const TCase& C : Cases) {
        const LPARAM Screen = MAKELPARAM(Word(F->Left() + C.P.X), Word(F->Top() + C.P.Y));
        EXPECT_EQ(F->Perform(WM_NCHITTEST, 0, Screen), HTCLIENT);
    }
}
