#include "vcl/tests/ControlTestSupport.h"
#include "ScopedDpi.h"
#include "core/XSpark.App.h"
#include "graphics/XExtCtrls.GroupPanels.h"
#include "win/Metrics.h"

using namespace ControlTests;

namespace {

class GroupPanels : public TFormFixture {
protected:
    void SetUp() override
    {
        TFormFixture::SetUp();
        MakeGroup();
    }
    void MakeGroup()
    {
        Group = New<TXGroupPanel>(Form);
        Group->SetBounds(10, 10, 200, 100);
        Group->SetParent(Form);
        Group->ToolPanel()->SetCaption(u"Holidays");
        for (auto [Event, Name] : { std::pair { &Group->OnSelect, "select" }, { &Group->OnDeselect, "deselect" },
                 { &Group->OnCheckChanged, "check" }, { &Group->OnRollUpChanged, "roll" } })
            *Event = [this, Name = std::string(Name)](TObject* Sender) {
                EXPECT_EQ(Sender, Group);
                Log.push_back(Name);
            };
        Form->Show();
        Pump();
    }
    // A point of the caption bar, in the form's client coordinates.
    TPoint OnBar(Integer X) { return { 10 + X, 10 + 5 }; }
    TPoint OnButton()
    {
        TSpeedButton* B = Group->ToolPanel()->RollUpButton();
        return { 10 + B->Left() + B->Width() / 2, 10 + B->Top() + B->Height() / 2 };
    }
    TPoint OnCheckBox()
    {
        TXCheckBox* B = Group->ToolPanel()->CheckBox();
        return { 10 + B->Left() + B->Width() / 2, 10 + B->Top() + B->Height() / 2 };
    }

    TXGroupPanel* Group = nullptr;
    std::vector<std::string> Log;
};

} // namespace

TEST_F(GroupPanels, TheCaptionBarIsLaidOutByTheScreensDpi)
{
    TXGroupToolPanel* Bar = Group->ToolPanel();
    EXPECT_EQ(Bar->Owner(), Group);
    EXPECT_EQ(Bar->Name(), u"SubPanel");
    EXPECT_EQ(Bar->BoundsRect(), Rect(0, 0, 200, ScaleToDPI(21)));
    const Integer Side = ScaleToDPI(17), Top = ScaleToDPI(2);
    EXPECT_EQ(Bar->RollUpButton()->BoundsRect(), Rect(200 - Side - Top, Top, 200 - Top, Top + Side));
    EXPECT_TRUE(Bar->RollUpButton()->Flat());
    TXCheckBox* Box = Bar->CheckBox();
    EXPECT_EQ(Box->Left(), ScaleToDPI(4));
    EXPECT_EQ(Box->Width(), Box->Height());
    EXPECT_EQ(Bar->TitleBorder()->Left(), Box->Left() + Box->Width() + ScaleToDPI(4));
    // The bar follows the group's width; the button keeps to the right.
    Group->SetWidth(300);
    EXPECT_EQ(Bar->Width(), 300);
    EXPECT_EQ(Bar->RollUpButton()->Left(), 300 - Side - Top);
    // The group shows its state from the start: no check box, the up arrow.
    EXPECT_FALSE(Box->Visible());
    EXPECT_EQ(Bar->RollUpButton()->Glyph()->Width(), RollUpArrowGlyph(false)->Width());
}

TEST_F(GroupPanels, TheRollGlyphAndTheCheckBoxGrowWithTheScreensDpi)
{
    for (Integer Dpi : { 96, 120, 144 }) {
        TScopedDpi Scaled(Dpi);
        auto* G = New<TXGroupPanel>(Form);
        G->SetBounds(10, 120, 200, 60);
        G->SetParent(Form);
        for (bool RolledUp : { false, true }) {
            G->SetRollUpState(RolledUp);
            TBitmap* Glyph = G->ToolPanel()->RollUpButton()->Glyph();
            EXPECT_EQ(Glyph->Width(), MulDiv(9, Dpi, 96)) << Dpi;
            EXPECT_EQ(Glyph->Height(), MulDiv(9, Dpi, 96)) << Dpi;
            // The see-through corner stays exactly the see-through colour.
            EXPECT_EQ(Glyph->Pixel(0, Glyph->Height() - 1), TColor(0xFF00FF)) << Dpi;
        }
        EXPECT_EQ(G->ToolPanel()->CheckBox()->Height(), MulDiv(17, Dpi, 96)) << Dpi;
        G->Free();
    }
}

TEST_F(GroupPanels, RollingUpAndDownKeepsTheFullHeight)
{
    const Integer Bar = Group->ToolPanel()->Height();
    struct TStep {
        const char* What;
        std::function<void()> Act;
        Integer Height, FullHeight;
        bool RolledUp;
    } const Steps[] = {
        { "sized", [&] { Group->SetHeight(120); }, 120, 120, false },
        { "content", [&] { Group->SetContentHeight(50); }, 50 + Bar, 50 + Bar, false },
        { "rolled up", [&] { Group->SetRollUpState(true); }, Bar, 50 + Bar, true },
        { "full height while rolled up", [&] { Group->SetFullHeight(90); }, Bar, 90, true },
        { "rolled down", [&] { Group->SetRollUpState(false); }, 90, 90, false },
        { "never below the bar", [&] { Group->SetHeight(3); }, Bar, Bar, false },
        { "full height", [&] { Group->SetFullHeight(70); }, 70, 70, false },
    };
    for (const TStep& S : Steps) {
        SCOPED_TRACE(S.What);
        S.Act();
        EXPECT_EQ(Group->Height(), S.Height);
        EXPECT_EQ(Group->FullHeight(), S.FullHeight);
        EXPECT_EQ(Group->RollUpState(), S.RolledUp);
        EXPECT_EQ(Group->ToolPanel()->RollUpButton()->Glyph()->Height(), RollUpArrowGlyph(S.RolledUp)->Height());
    }
    EXPECT_EQ(Log, (std::vector<std::string> { "roll", "roll" }));
    // The glyphs differ: the arrow points down when rolled up.
    EXPECT_EQ(RollUpArrowGlyph(false)->Pixel(1, 5), TColor(0x404040));
    EXPECT_EQ(RollUpArrowGlyph(true)->Pixel(1, 5), TColor(0xFF00FF));
    EXPECT_EQ(RollUpArrowGlyph(true)->Pixel(1, 3), TColor(0x404040));
}

TEST_F(GroupPanels, ClicksSelectCheckAndRoll)
{
    Group->SetShowCheckBox(true);
    ASSERT_TRUE(Group->ToolPanel()->CheckBox()->Visible());
    Click(OnBar(100)); // a click selects
    EXPECT_TRUE(Group->Selected());
    Clock.Advance(1000);
    Click(OnButton()); // the button rolls up; a button click does not select again
    EXPECT_TRUE(Group->RollUpState());
    Clock.Advance(1000);
    Click(OnBar(100));
    Click(OnBar(100)); // a double click rolls down
    EXPECT_FALSE(Group->RollUpState());
    Clock.Advance(1000);
    Click(OnCheckBox());
    EXPECT_TRUE(Group->Checked());
    Group->SetChecked(false); // from code: the box follows, one event
    EXPECT_FALSE(Group->ToolPanel()->CheckBox()->Checked());
    Group->SetSelected(false);
    EXPECT_EQ(Log, (std::vector<std::string> { "select", "roll", "roll", "check", "check", "deselect" }));
    Group->SetShowCheckBox(false);
    EXPECT_FALSE(Group->ToolPanel()->CheckBox()->Visible());
}

TEST_F(GroupPanels, AHandlerMayFreeItsGroup)
{
    struct TCase {
        const char* What;
        TNotifyEvent TXCustomGroupPanel::*Event;
        std::function<void()> Act;
    } const Cases[] = {
        { "select by a click", &TXCustomGroupPanel::OnSelect, [this] { Click(OnBar(100)); } },
        { "roll by the button", &TXCustomGroupPanel::OnRollUpChanged, [this] { Click(OnButton()); } },
        { "roll by a double click", &TXCustomGroupPanel::OnRollUpChanged,
            [this] {
                Click(OnBar(100));
                Click(OnBar(100));
            } },
        { "check by the box", &TXCustomGroupPanel::OnCheckChanged, [this] { Click(OnCheckBox()); } },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        Group->SetShowCheckBox(true);
        bool Freed = false;
        Group->*C.Event = [this, &Freed](TObject*) {
            Group->Free();
            Group = nullptr;
            Freed = true;
        };
        C.Act();
        EXPECT_TRUE(Freed);
        Pump();
        Clock.Advance(1000);
        MakeGroup(); // for the next case
    }
}

TEST_F(GroupPanels, TheOpaqueKindsAndTheSingleGroupWithoutAHeader)
{
    auto* Plain = New<TXIGroupPanel>(Form);
    auto* Single = New<TXISingleGroupPanel>(Form);
    for (TXGroupPanel* G : { static_cast<TXGroupPanel*>(Plain), static_cast<TXGroupPanel*>(Single) }) {
        EXPECT_TRUE(G->ControlStyle().Contains(csOpaque));
        EXPECT_FALSE(G->ControlStyle().Contains(csParentBackground));
        EXPECT_EQ(G->BevelInner(), bvNone);
        EXPECT_EQ(G->BevelOuter(), bvNone);
        EXPECT_FALSE(G->ToolPanel()->Transparent());
    }
    EXPECT_EQ(Plain->ToolPanel()->Height(), ScaleToDPI(21));
    EXPECT_EQ(Single->ToolPanel()->Height(), 0);
    Single->SetParent(Form);
    Single->SetContentHeight(40);
    EXPECT_EQ(Single->Height(), 40);
    Single->SetRollUpState(true);
    EXPECT_EQ(Single->Height(), 0);
}

TEST_F(GroupPanels, GalleryOfGroupPanelsAt96And144Dpi)
{
    Group->Free();
    Group = nullptr;
    for (Integer Dpi : { 96, 144 }) {
        TScopedDpi Scaled(Dpi);
        ::Screen->SetPixelsPerInch(Dpi);
        Form->SetBounds(100, 100, MulDiv(240, Dpi, 96), MulDiv(230, Dpi, 96));
        Form->SetColor(clWindow);
        struct TSection {
            const char16_t* Caption;
            bool Opaque, Checked, RolledUp;
        } const Sections[] = {
            { u"Holidays", false, true, false },
            { u"Birthdays", false, false, true },
            { u"Pictures", true, false, false },
        };
        std::vector<TXGroupPanel*> Groups;
        for (const TSection& S : Sections) {
            TXGroupPanel* G = S.Opaque ? New<TXIGroupPanel>(Form) : New<TXGroupPanel>(Form);
            G->SetParent(Form);
            G->SetAlign(alTop);
            G->SetTop(10000); // below the others
            G->ToolPanel()->SetCaption(S.Caption);
            G->ToolPanel()->SetColors(S.Opaque ? TColor(0xE0C8A0) : clBtnFace, clWindowText);
            G->SetShowCheckBox(true);
            G->SetChecked(S.Checked);
            G->SetContentHeight(MulDiv(40, Dpi, 96));
            auto* Content = New<TProbeShape>(Form);
            Content->SetColor(0x60B060);
            Content->SetBounds(MulDiv(8, Dpi, 96), G->ToolPanel()->Height() + 4, MulDiv(120, Dpi, 96),
                MulDiv(30, Dpi, 96));
            Content->SetParent(G);
            G->SetRollUpState(S.RolledUp);
            Groups.push_back(G);
        }
        Form->Show();
        Pump();
        SavePicture(Form->Handle(), "group-panels-" + std::to_string(Dpi) + ".png");
        // The rolled-up group shows only its bar; the next one follows it.
        EXPECT_EQ(Groups[1]->Height(), Groups[1]->ToolPanel()->Height());
        EXPECT_EQ(Groups[2]->Top(), Groups[1]->Top() + Groups[1]->Height());
        for (TXGroupPanel* G : Groups)
            G->Free();
    }
    ::Screen->SetPixelsPerInch(96);
}
