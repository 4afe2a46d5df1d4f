#include "MapsTestSupport.h"
#include "graphics/tests/ScopedDpi.h"
#include "core/XSpark.App.h"
#include "forms/XITOCPanels.h"
#include "graphics/XSpark.VCL.Buttons.h"
#include "graphics/XSpark.VCL.Labels.h"
#include "vcl/Forms.h"
#include "vcl/tests/ControlTestSupport.h"

namespace {

// Counts the renders and draws each as a grey block of the asked width,
// three lines high.
struct TCountingRenderer {
    static inline int Renders = 0;
    static bool Render(const String& Text, TBitmap* Bitmap, Integer Width, Integer PageHeight)
    {
        ++Renders;
        Bitmap->SetPixelFormat(pf24bit);
        Bitmap->SetSize(Width, 45);
        Bitmap->Canvas()->Brush()->SetColor(clSilver);
        Bitmap->Canvas()->FillRect(Rect(0, 0, Width, 45));
        return true;
    }
    TCountingRenderer() { Renders = 0, TocTextRenderer = &Render; }
    ~TCountingRenderer() { TocTextRenderer = &RenderTocText; }
};

TXTocItem* AddItem(TXTocCollection* Toc, const String& Name, const String& Group, const String& Rtf = {})
{
    TXTocItem* Item = Toc->Add();
    Item->SetDisplayName(Name);
    Item->SetGroupName(Group);
    if (!Rtf.empty())
        Item->Rtf()->SetText(9, Rtf);
    return Item;
}

TXTocActionItem* AddAction(TXTocItem* Item, const String& Name, Integer ControlType, const String& Caption)
{
    TXTocActionItem* A = Item->Actions()->Add();
    A->SetDisplayName(Name);
    A->SetHit(xhtCustom);
    A->SetControlType(ControlType);
    A->Caption()->SetText(9, Caption);
    A->Argument()->SetText(9, u"arg-" + Name);
    return A;
}

class TocPanels : public ControlTests::TFormFixture {
protected:
    void SetUp() override
    {
        TFormFixture::SetUp();
        Form->SetBounds(100, 100, 520, 480);
        Form->Show();
        Gear = NewGear();
        Toc.reset(New<TXTocCollection>(static_cast<TPersistent*>(nullptr)));
        Groups.reset(New<TXTocGroupCollection>(static_cast<TPersistent*>(nullptr)));
    }
    void TearDown() override
    {
        FreeAndNil(Gear);
        Toc.reset();
        Groups.reset();
        TFormFixture::TearDown();
    }
    // One full-width column, as the panels box lays them out.
    TXITocPanels* NewGear()
    {
        auto* G = New<TXITocPanels>(Form);
        G->SetHost(Form);
        G->SetColumns(1);
        G->SetFullWidth(true);
        return G;
    }
    // What the box does when its width changes.
    void HostResized()
    {
        Gear->UpdateFullWidth();
        Gear->Relayout();
        Pump();
    }
    // A table: two groups described by "group" items, an item in each, one
    // in a group nobody describes.
    void FillTable()
    {
        AddItem(Toc.get(), u"zpacks", u"group")->Caption()->SetText(9, u"Picture packs");
        AddItem(Toc.get(), u"apps", u"group")->Caption()->SetText(9, u"Programs");
        TXTocItem* Winter = AddItem(Toc.get(), u"winter", u"ZPacks", u"{\\rtf1 Winter {\\b pictures}.}");
        AddAction(Winter, u"download", 0, u"Download");
        AddAction(Winter, u"auto", 1, u"Every month");
        AddAction(Winter, u"hide", 0, u"Hide");
        TXTocItem* Tool = AddItem(Toc.get(), u"tool", u"apps", u"{\\rtf1 A tool.}");
        AddAction(Tool, u"get", 0, u"Get it");
        AddItem(Toc.get(), u"stray", u"nowhere", u"{\\rtf1 Lost.}");
    }
    std::vector<std::string> Shown()
    {
        std::vector<std::string> Names;
        for (Integer G = 0; G < Gear->Groups()->Count(); ++G)
            for (Integer I = 0; I < Gear->Groups()->GetItem(G)->Count(); ++I)
                Names.push_back(
                    StringToUTF8(Gear->Groups()->GetItem(G)->Items(I)->Data() ?
                            static_cast<TXTocItem*>(Gear->Groups()->GetItem(G)->Items(I)->Data())->DisplayName() :
                            String()));
        return Names;
    }
    TXITocPanel* PanelOf(Integer G, Integer I)
    {
        return static_cast<TXITocPanel*>(Gear->Groups()->GetItem(G)->Items(I));
    }

    TXITocPanels* Gear = nullptr;
    TOwnedPtr<TXTocCollection> Toc;
    TOwnedPtr<TXTocGroupCollection> Groups;
    std::vector<std::string> Actions;
    TXTocActionEvent Log = [this](TObject*, TXTocItem* Item, TXTocActionItem* A) {
        Actions.push_back(StringToUTF8(Item->DisplayName() + u":" + A->DisplayName() + u":" + A->Args()));
    };
};

} // namespace

TEST(TocModel, GroupsLogsAndSorting)
{
    TOwnedPtr<TXTocCollection> Toc(New<TXTocCollection>(static_cast<TPersistent*>(nullptr)));
    AddItem(Toc.get(), u"b", u"group")->SetTocDate(45000);
    AddItem(Toc.get(), u"x", u"Group");
    AddItem(Toc.get(), u"a", u"group");
    TOwnedPtr<TXTocGroupCollection> Groups(New<TXTocGroupCollection>(static_cast<TPersistent*>(nullptr)));
    Groups->FillFromGroup(Toc.get(), u"group");
    Groups->SortByName();
    ASSERT_EQ(Groups->Count(), 2);
    EXPECT_EQ(Groups->Items(0)->DisplayName(), u"a");
    EXPECT_EQ(Groups->Items(1)->GroupDate(), 45000);
    // Case-sensitive: "Group" stays.
    Toc->DeleteGroup(u"group");
    ASSERT_EQ(Toc->Count(), 1);
    EXPECT_EQ(Toc->Items(0)->DisplayName(), u"x");

    struct TCase {
        bool Logging, Log, Default;
        int DefaultLines, OtherLines;
    };
    for (const TCase& C : { TCase { false, true, true, 0, 0 }, TCase { true, false, true, 0, 0 },
             TCase { true, true, true, 1, 0 }, TCase { true, true, false, 0, 1 } }) {
        Toc->DefaultActionLog()->Clear();
        Toc->OtherActionLog()->Clear();
        Toc->SetLogActions(C.Logging);
        TXTocActionItem* A = AddAction(Toc->Items(0), u"get", 0, u"Get");
        A->SetLog(C.Log);
        A->SetDefault(C.Default);
        Toc->LogAction(Toc->Items(0), A);
        EXPECT_EQ(Toc->DefaultActionLog()->Count(), C.DefaultLines);
        EXPECT_EQ(Toc->OtherActionLog()->Count(), C.OtherLines);
        if (C.DefaultLines + C.OtherLines > 0) {
            EXPECT_EQ((C.Default ? Toc->DefaultActionLog() : Toc->OtherActionLog())->Strings(0), u"x=get");
        }
    }
    TOwnedPtr<TXTocCollection> Empty(New<TXTocCollection>(static_cast<TPersistent*>(nullptr)));
    Empty->SortByName();
}

TEST_F(TocPanels, FillGroupedAndFlat)
{
    TCountingRenderer Renderer;
    FillTable();
    Toc->HiddenNames()->Add(u"nothing");
    FillTocPanels(Gear, Toc.get(), Groups.get(), Log, nullptr, true);
    // The "group" items became the groups (sorted) and are no panels; the
    // stray item has no group and is not shown.
    ASSERT_EQ(Groups->Count(), 2);
    EXPECT_EQ(Groups->Items(0)->DisplayName(), u"apps");
    EXPECT_EQ(Shown(), std::vector<std::string>({ "tool", "winter" }));
    EXPECT_EQ(Gear->Groups()->GetItem(1)->GroupPanel()->CaptionBar()->Caption(), u"Picture packs");
    EXPECT_EQ(Toc->Count(), 3);

    // A hidden item is skipped; filled again, the groups stay.
    Toc->HiddenNames()->Add(u"tool");
    FillTocPanels(Gear, Toc.get(), Groups.get(), Log, nullptr, true);
    EXPECT_EQ(Shown(), std::vector<std::string>({ "winter" }));
    FillTocPanels(Gear, Toc.get(), Groups.get(), Log, nullptr, false);
    EXPECT_EQ(Shown(), std::vector<std::string>({ "stray", "tool", "winter" }));

    // Groups made from the items' group names when none are described.
    TOwnedPtr<TXTocCollection> Plain(New<TXTocCollection>(static_cast<TPersistent*>(nullptr)));
    AddItem(Plain.get(), u"one", u"Tools");
    AddItem(Plain.get(), u"two", u"tools");
    TOwnedPtr<TXTocGroupCollection> None(New<TXTocGroupCollection>(static_cast<TPersistent*>(nullptr)));
    FillTocPanels(Gear, Plain.get(), None.get(), Log, nullptr, true);
    ASSERT_EQ(None->Count(), 1);
    EXPECT_EQ(Shown(), std::vector<std::string>({ "one", "two" }));
}

TEST_F(TocPanels, LayoutAndRendersOnlyOnChange)
{
    TCountingRenderer Renderer;
    FillTable();
    FillTocPanels(Gear, Toc.get(), Groups.get(), Log, nullptr, false);
    TXITocPanel* Winter = PanelOf(0, 2);
    ASSERT_EQ(static_cast<TXTocItem*>(Winter->Data())->DisplayName(), u"winter");
    const int AfterFill = TCountingRenderer::Renders;
    EXPECT_GE(AfterFill, 3);
    // No picture: the text column starts at the margin, the actions below
    // the text (link align "image": the larger bottom).
    EXPECT_FALSE(Winter->Picture()->Visible());
    EXPECT_EQ(Winter->TextRect().Left, 10);
    EXPECT_EQ(Winter->TextRect().Width(), Winter->Width() - 10 - 12);
    ASSERT_EQ(Winter->ActionControls().size(), 3u);
    EXPECT_NE(DynamicCast<TXCheckBox>(Winter->ActionControls()[1]), nullptr);
    EXPECT_NE(DynamicCast<TXLinkLabel>(Winter->ActionControls()[0]), nullptr);
    EXPECT_EQ(Winter->ActionControls()[0]->Top(), 2 * 10 + 45);

    // Arranged again at the same width: nothing rendered; a new width: each
    // panel once more.
    for (Integer G = 0; G < Gear->Groups()->GetItem(0)->Count(); ++G)
        PanelOf(0, G)->Arrange();
    EXPECT_EQ(TCountingRenderer::Renders, AfterFill);
    Form->SetWidth(Form->Width() - 60);
    HostResized();
    EXPECT_EQ(TCountingRenderer::Renders, AfterFill + 3);
    EXPECT_EQ(PanelOf(0, 2)->Width(), Form->ClientWidth());
}

TEST_F(TocPanels, ActionsRunLogHideAndSurviveRefills)
{
    FillTable();
    Toc->SetLogActions(true);
    FillTocPanels(Gear, Toc.get(), Groups.get(), Log, nullptr, false);
    TXITocPanel* Winter = PanelOf(0, 2);

    // A check box copies its state first; an action nobody handles goes
    // to OnTocAction with its argument.
    auto* Check = static_cast<TXCheckBox*>(Winter->ActionControls()[1]);
    Check->SetChecked(false);
    EXPECT_FALSE(static_cast<TXTocItem*>(Winter->Data())->Actions()->Items(1)->Checked());
    EXPECT_EQ(Actions, std::vector<std::string>({ "winter:auto:arg-auto" }));

    // "hide": the handler runs, the name is hidden, the panel goes once the
    // posted removal arrives.
    Actions.clear();
    Winter->RunAction(2, Winter->ActionControls()[2]);
    EXPECT_EQ(Actions, std::vector<std::string>({ "winter:hide:arg-hide" }));
    EXPECT_GE(Toc->HiddenNames()->IndexOf(u"winter"), 0);
    Pump();
    EXPECT_EQ(Shown(), std::vector<std::string>({ "stray", "tool" }));

    // A handler that refills (or frees) the panels: the clicked panel is
    // gone, nothing of it is touched and "hide" is not done.
    for (bool FreeAll : { false, true }) {
        Toc->HiddenNames()->Clear();
        FillTocPanels(Gear, Toc.get(), Groups.get(), Log, nullptr, false);
        TXITocPanel* P = PanelOf(0, 2);
        Gear->OnTocAction = [&](TObject*, TXTocItem*, TXTocActionItem*) {
            if (FreeAll)
                FreeAndNil(Gear);
            else
                FillTocPanels(Gear, Toc.get(), Groups.get(), Log, nullptr, false);
        };
        P->RunAction(2, P->ActionControls()[2]);
        EXPECT_EQ(Toc->HiddenNames()->IndexOf(u"winter"), -1);
        Pump();
        if (!Gear)
            Gear = NewGear();
    }
}

TEST_F(TocPanels, GalleryTocBox)
{
    for (Integer Dpi : { 96, 144 }) {
        TScopedDpi Scoped(Dpi);
        Toc->Clear();
        Groups->Clear();
        FillTable();
        TXTocItem* Winter = Toc->Items(2);
        Winter->SetImageAction(u"download");
        TOwnedPtr<TBitmap> Bmp(GdiTest::SolidBitmap(pf24bit, 100, 75, RGB(70, 120, 190)));
        TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
        Png->Assign(Bmp.get());
        ASSERT_TRUE(Winter->ImageData()->LoadFromObject(Png.get()));
        FillTocPanels(Gear, Toc.get(), Groups.get(), Log, nullptr, true);
        Pump();
        TXITocPanel* P = PanelOf(1, 0);
        EXPECT_TRUE(P->Picture()->Visible());
        EXPECT_EQ(P->TextRect().Left, std::max(ScaleToDPI(120), P->Picture()->Width() + ScaleToDPI(20)));
        EXPECT_GT(P->TextRect().Height(), 0);
        SavePicture(Form->Handle(), "toc-box-" + std::to_string(Dpi) + ".png");
    }
}
