#include "vcl/tests/ControlTestSupport.h"
#include "GradientJpeg.h"
#include "ScopedDpi.h"
#include "graphics/XImagePanels.h"
#include "graphics/XSpark.VCL.h"
#include <cstdlib>

using namespace ControlTests;

namespace {

// A square PNG button picture of Color with a white dot, named Name.
void AddButtonPicture(TXSkinImagesBox* Box, const String& Name, TColor Color, Integer Size)
{
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    Bmp->SetSize(Size, Size);
    Bmp->Canvas()->Brush()->SetColor(Color);
    Bmp->Canvas()->FillRect(Rect(0, 0, Size, Size));
    Bmp->Canvas()->Brush()->SetColor(clWhite);
    Bmp->Canvas()->FillRect(Rect(Size / 3, Size / 3, Size - Size / 3, Size - Size / 3));
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->Assign(Bmp.get());
    TXImageItem* Item = Box->Images()->Add();
    Item->SetDisplayName(Name);
    EXPECT_TRUE(Item->ImageData()->LoadFromObject(Png.get()));
}

class ImagePanels : public TFormFixture {
public:
    void SetUp() override
    {
        TFormFixture::SetUp();
        Form->SetBounds(100, 100, 640, 480);
        Host = New<TScrollBox>(Form);
        Host->SetBounds(0, 0, 620, 460);
        Host->SetParent(Form);
        Gear = New<TXIThnPanels>(Form);
        Gear->SetHost(Host);
        Pictures.reset(New<TXImageCollection>(static_cast<TPersistent*>(nullptr)));
    }
    void TearDown() override
    {
        Pictures.reset();
        TFormFixture::TearDown();
    }
    // Count pictures of Width x Height, each with its own tint.
    void AddPictures(Integer Count, Integer Width = 64, Integer Height = 48)
    {
        for (Integer I = 0; I < Count; ++I)
            ASSERT_TRUE(PixelTest::LoadGradientJpeg(Pictures->Add()->ImageData(), Width, Height, Byte(I * 37)));
    }
    TXIPanelList* GroupOf(Integer From, Integer Count)
    {
        TXIPanelList* Group = Gear->AddGroup();
        for (Integer I = From; I < From + Count; ++I)
            Group->AddPanel(Pictures->Items(I));
        return Group;
    }
    // A click at a point of a control's client area.
    void ClickIn(TControl* C, TPoint P)
    {
        const TPoint S = C->ClientToScreen(P);
        for (bool Down : { true, false })
            PostInput(TInputEvent::ButtonEvent({ S.X, S.Y }, mbiLeft, Down));
        Pump();
    }
    void MoveIn(TControl* C, TPoint P)
    {
        const TPoint S = C->ClientToScreen(P);
        PostInput(TInputEvent::Move({ S.X, S.Y }));
        Pump();
    }
    static std::string Selection(TXIPanelList* Group)
    {
        std::string S;
        for (Integer I = 0; I < Group->Count(); ++I)
            S += Group->Items(I)->Selected() ? '*' : '.';
        return S + (Group->GroupPanel()->Selected() ? " on" : " off");
    }

    TScrollBox* Host = nullptr;
    TXIThnPanels* Gear = nullptr;
    TOwnedPtr<TXImageCollection> Pictures;
};

}

TEST_F(ImagePanels, SelectionAcrossGroupsWithAndWithoutMultiSelect)
{
    AddPictures(5);
    struct TCase {
        bool MultiSelect;
        std::string AfterSecond; // group 0 after its panels 0 and 1 were clicked
        std::string First, Second; // both groups after panel 0 of group 1 was clicked
        Integer Deselected;
    } const Cases[] = {
        { false, ".*. on", "... off", "*. on", 1 },
        { true, "**. on", "**. off", "*. on", 0 },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.MultiSelect ? "multi" : "single");
        Gear->Clear();
        Gear->SetMultiSelect(C.MultiSelect);
        TXIPanelList* G0 = GroupOf(0, 3);
        TXIPanelList* G1 = GroupOf(3, 2);
        Form->Show();
        Pump();
        std::vector<TObject*> Selected, Clicked;
        Integer Deselected = 0;
        Gear->OnItemSelected = [&](TObject* P) { Selected.push_back(P); };
        Gear->OnItemDeselected = [&](TObject*) { ++Deselected; };
        Gear->OnItemClick = [&](TObject* P) { Clicked.push_back(P); };
        ClickIn(G0->Items(0), { 30, 30 });
        ClickIn(G0->Items(1), { 30, 30 });
        EXPECT_EQ(Selection(G0), C.AfterSecond);
        EXPECT_EQ(G0->SelectedIndex(), 1);
        EXPECT_EQ(Selected, (std::vector<TObject*> { G0->Items(0), G0->Items(1) }));
        EXPECT_EQ(Gear->CurrentGroupIndex(), 0);
        Deselected = 0;
        ClickIn(G1->Items(0), { 30, 30 });
        EXPECT_EQ(Selection(G0), C.First);
        EXPECT_EQ(Selection(G1), C.Second);
        EXPECT_EQ(G0->SelectedIndex(), -1);
        EXPECT_EQ(Gear->CurrentGroupIndex(), 1);
        EXPECT_EQ(Gear->GetCurrentGroup(), G1);
        EXPECT_EQ(Deselected, C.Deselected);
        EXPECT_EQ(Clicked.size(), 3u);
        Gear->OnItemSelected = nullptr;
        Gear->OnItemDeselected = nullptr;
        Gear->OnItemClick = nullptr;
    }
    // An index beyond the groups changes nothing.
    Gear->SetCurrentGroup(5);
    EXPECT_EQ(Gear->CurrentGroupIndex(), 1);
}

TEST_F(ImagePanels, AButtonClickDoesNotSelectAndAClickElsewhereDoes)
{
    AddPictures(2);
    auto* Buttons = New<TXSkinImagesBox>(Form);
    AddButtonPicture(Buttons, u"Delete", 0x2020C0, 16);
    AddButtonPicture(Buttons, u"Rotate", 0x20A020, 16);
    auto* Hot = New<TXSkinImagesBox>(Form);
    AddButtonPicture(Hot, u"Delete", 0x8080FF, 16); // fewer than the plain box
    Gear->SetButtonImages(Buttons);
    Gear->SetHotButtonImages(Hot);
    Gear->SetThumbnailSize(128, 96, 4);
    TXIPanelList* G = GroupOf(0, 2);
    Form->Show();
    Pump();
    std::vector<std::pair<Integer, TPoint>> Hits;
    Integer Clicks = 0;
    Gear->OnItemMouseBtnLeft = [&](TObject*, Integer Hit, Integer X, Integer Y) { Hits.push_back({ Hit, { X, Y } }); };
    Gear->OnItemClick = [&](TObject*) { ++Clicks; };
    const TXThnGeometry& Geo = Gear->Geometry();
    ASSERT_EQ(Geo.ButtonRects.size(), 2u);
    const TRect B1 = Geo.ButtonRects[1];
    ClickIn(G->Items(0), { B1.Left + 2, B1.Top + 2 });
    ASSERT_EQ(Hits.size(), 1u);
    EXPECT_EQ(Hits[0].first, 31);
    EXPECT_FALSE(G->Items(0)->Selected());
    EXPECT_EQ(Clicks, 0);
    // Hovering the second button: hot 31, drawn from the plain box (the hot
    // box has no second picture) and nothing read past the hot box.
    MoveIn(G->Items(0), { B1.Left + 2, B1.Top + 2 });
    EXPECT_EQ(static_cast<TXIThnPanel*>(G->Items(0))->HotButton(), 31);
    EXPECT_EQ(G->Items(0)->Cursor(), crHandPoint);
    MoveIn(G->Items(0), { 60, 80 });
    EXPECT_EQ(static_cast<TXIThnPanel*>(G->Items(0))->HotButton(), 0);
    EXPECT_EQ(G->Items(0)->Cursor(), crDefault);
    ClickIn(G->Items(0), { 60, 80 });
    EXPECT_TRUE(G->Items(0)->Selected());
    EXPECT_EQ(Clicks, 1);
    // A box that grows moves the rectangles: the new first button.
    AddButtonPicture(Buttons, u"Share", 0xC02020, 20);
    EXPECT_EQ(Gear->Geometry().ButtonRects.size(), 3u);
}

TEST_F(ImagePanels, AHotButtonShowsItsNameAsTheHintAtOnce)
{
    AddPictures(1);
    auto* Buttons = New<TXSkinImagesBox>(Form);
    AddButtonPicture(Buttons, u"Delete", 0x2020C0, 16);
    AddButtonPicture(Buttons, u"Rotate", 0x20A020, 16);
    Gear->SetButtonImages(Buttons);
    Gear->SetThumbnailSize(128, 96, 4);
    TXIPanelList* G = GroupOf(0, 1);
    TXIPanel* Panel = G->Items(0);
    Form->Show();
    Pump();
    const std::vector<TRect> Rects = Gear->Geometry().ButtonRects;
    ASSERT_EQ(Rects.size(), 2u);
    auto Shown = [] {
        THintWindow* H = Application->HintWindow();
        return H && IsWindowVisible(H->Handle()) ? H->Caption() : String(u"-");
    };
    struct TCase {
        const char* Name;
        bool Option;
        TPoint At;
        String Hint, Shown;
    } const Cases[] = {
        { "without the option", false, { Rects[0].Left + 2, Rects[0].Top + 2 }, u"", u"-" },
        { "over the first button", true, { Rects[0].Left + 2, Rects[0].Top + 2 }, u"Delete", u"Delete" },
        { "over the second", true, { Rects[1].Left + 2, Rects[1].Top + 2 }, u"Rotate", u"Rotate" },
        { "off the buttons", true, { 60, 80 }, u"", u"-" },
    };
    for (const TCase& C : Cases) {
        Gear->SetoptShowButtonsHint(C.Option);
        MoveIn(Panel, C.At);
        EXPECT_EQ(Panel->Hint(), C.Hint) << C.Name;
        EXPECT_EQ(Shown(), C.Shown) << C.Name << ": no pause on the clock";
    }
    Application->CancelHint();
}

TEST_F(ImagePanels, LayoutEdgeCases)
{
    AddPictures(7);
    struct TCase {
        const char* Name;
        Integer HostWidth, Columns;
        bool FullWidth;
        Integer Count;
        Integer WorkColumns;
        std::vector<TPoint> Places;
    } const Cases[] = {
        // Cells of 136 x 104 (128 x 96, border 4, title inside).
        { "as many as fit", 620, 0, false, 5, 4, { { 0, 21 }, { 136, 21 }, { 408, 21 }, { 0, 125 } } },
        { "narrower than one panel: one column", 100, 0, false, 3, 1, { { 0, 21 }, { 0, 125 }, { 0, 229 } } },
        { "two columns", 620, 2, false, 3, 2, { { 0, 21 }, { 136, 21 }, { 0, 125 } } },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Gear->Clear();
        Host->SetWidth(C.HostWidth);
        Gear->SetColumns(C.Columns);
        TXIPanelList* G = GroupOf(0, C.Count);
        Gear->Relayout();
        EXPECT_EQ(Gear->WorkColumns(), C.WorkColumns);
        const Integer Caption = G->GroupPanel()->CaptionBar()->Height();
        const std::vector<Integer> Indexes = { 0, 1, C.Count > 4 ? 3 : 2, 4 };
        for (size_t I = 0; I < C.Places.size() && I < Indexes.size(); ++I) {
            TXIPanel* P = G->Items(Indexes[I] < C.Count ? Indexes[I] : C.Count - 1);
            EXPECT_EQ(P->Left(), C.Places[I].X) << I;
            EXPECT_EQ(P->Top(), C.Places[I].Y - 21 + Caption) << I;
        }
        TXIPanel* Last = G->Items(C.Count - 1);
        EXPECT_EQ(G->GroupPanel()->FullHeight(), Last->Top() + Last->Height());
    }
    Host->SetWidth(620);
    // An empty group is its caption bar alone.
    TXIPanelList* Empty = Gear->AddGroup();
    Empty->Layout(0);
    EXPECT_EQ(Empty->GroupPanel()->FullHeight(), Empty->GroupPanel()->CaptionBar()->Height());
    // The border alone recomputes the geometry but moves no panel;
    // SetThumbnailSize gives the panels the new cell and lays them out.
    Gear->Clear();
    Gear->SetColumns(0);
    TXIPanelList* G = GroupOf(0, 3);
    const TPoint Second { G->Items(1)->Left(), G->Items(1)->Top() };
    Gear->SetThnSize(0, 10);
    EXPECT_EQ(Gear->CellWidth(), 148);
    EXPECT_EQ((TPoint { G->Items(1)->Left(), G->Items(1)->Top() }), Second);
    EXPECT_EQ(G->Items(1)->Width(), 136);
    Gear->SetThumbnailSize(64, 48, 2);
    EXPECT_EQ(G->Items(1)->Width(), 68);
    EXPECT_EQ(G->Items(1)->Left(), 68);
    // Full width, one column: every panel as wide as the host's client area.
    Gear->SetColumns(1);
    Gear->SetFullWidth(true);
    EXPECT_EQ(G->Items(2)->Width(), Host->ClientWidth());
    EXPECT_EQ(G->Items(2)->Top(), G->Items(1)->Top() + G->Items(1)->Height());
}

TEST_F(ImagePanels, ABoxHoldsItsGearAndLaysItOutWhenResizedOrLoaded)
{
    AddPictures(6);
    struct TKind {
        TXIThnPanelsBox* Box;
        TClass PanelClass;
    } const Kinds[] = {
        { New<TXIThnPanelsBox>(Form), TXIThnPanel::StaticClass() },
        { New<TXITemplatePanelsBox>(Form), TXITemplatePanel::StaticClass() },
    };
    for (const TKind& K : Kinds) {
        TXIThnPanels* Groups = K.Box->Groups();
        ASSERT_NE(Groups, nullptr);
        EXPECT_EQ(Groups->Owner(), K.Box);
        EXPECT_EQ(Groups->Name(), u"Groups");
        EXPECT_EQ(Groups->Host(), K.Box);
        EXPECT_EQ(Groups->PanelClass(), K.PanelClass);
    }
    Kinds[1].Box->Free();
    TXIThnPanelsBox* Box = Kinds[0].Box;
    Host->Hide();
    Box->SetParent(Form);
    Box->SetBounds(0, 0, 620, 300);
    TXIThnPanels* Groups = Box->Groups();
    TXIPanelList* A = Groups->AddGroup();
    TXIPanelList* B = Groups->AddGroup();
    for (Integer I = 0; I < 3; ++I) {
        A->AddPanel(Pictures->Items(I));
        B->AddPanel(Pictures->Items(I + 3));
    }
    Form->Show();
    Pump();
    // Cells of 136 x 104: the columns follow the box's client width.
    const Integer Cell = Groups->CellWidth();
    struct TCase {
        const char* Name;
        std::function<void()> Step;
        Integer Columns;
    } const Cases[] = {
        { "wide", [] {}, 4 },
        { "narrowed", [&] { Box->SetWidth(2 * Cell + 40); }, 2 },
        { "narrower than a cell", [&] { Box->SetWidth(Cell / 2); }, 1 },
        { "widened", [&] { Box->SetWidth(620); }, 4 },
        { "loaded", [&] {
             Box->SetBounds(0, 0, 2 * Cell + 40, 300);
             Groups->Relayout(); // as a load would find it
             Box->Loaded();
         }, 2 },
    };
    for (const TCase& C : Cases) {
        C.Step();
        Pump();
        const Integer Expected = std::max(Box->ClientWidth() / Cell, 1);
        EXPECT_EQ(Groups->WorkColumns(), Expected) << C.Name;
        EXPECT_EQ(Groups->WorkColumns(), C.Columns) << C.Name;
        EXPECT_EQ(A->Items(1)->Left(), Expected > 1 ? Cell : 0) << C.Name;
        // The groups stack in the box, each as wide as its client area.
        EXPECT_EQ(B->GroupPanel()->Top(), A->GroupPanel()->Top() + A->GroupPanel()->Height()) << C.Name;
        EXPECT_EQ(A->GroupPanel()->Width(), Box->ClientWidth()) << C.Name;
    }
    // One full-width column: the panels follow the box's width.
    Groups->SetColumns(1);
    Groups->SetFullWidth(true);
    Box->SetWidth(400);
    Pump();
    EXPECT_EQ(A->Items(0)->Width(), Box->ClientWidth());
    // The thumbnail cache follows the visible area.
    const size_t Budget = Groups->Thumbnails()->Budget();
    Box->SetBounds(0, 0, 620, 460);
    Pump();
    EXPECT_GT(Groups->Thumbnails()->Budget(), Budget);
    // The groups scroll with the box though they are aligned.
    ASSERT_TRUE(Box->VertScrollBar()->IsScrollBarVisible());
    Box->VertScrollBar()->SetPosition(150);
    Pump();
    EXPECT_EQ(A->GroupPanel()->Top(), -150);
    Box->SetWidth(500);
    Pump();
    EXPECT_EQ(A->GroupPanel()->Top(), -Box->VertScrollBar()->Position());
    // Freed with its gear, its groups and their panels.
    Box->Free();
    Pump();
    EXPECT_EQ(Form->ComponentCount(), 2); // the fixture's host and gear
}

TEST_F(ImagePanels, HandlersThatFreeTheirPanelGroupOrGearEndCleanly)
{
    AddPictures(4);
    struct TCase {
        const char* Name;
        std::function<void(ImagePanels*, TXIPanelList*, TXIPanel*)> Arm;
    } const Cases[] = {
        { "OnItemClick frees the gear",
            [](ImagePanels* T, TXIPanelList*, TXIPanel*) { T->Gear->OnItemClick = [T](TObject*) { FreeAndNil(T->Gear); }; } },
        { "OnItemClick clears the groups",
            [](ImagePanels* T, TXIPanelList*, TXIPanel*) { T->Gear->OnItemClick = [T](TObject*) { T->Gear->Clear(); }; } },
        { "OnItemSelected frees the gear",
            [](ImagePanels* T, TXIPanelList*, TXIPanel*) {
                T->Gear->OnItemSelected = [T](TObject*) { FreeAndNil(T->Gear); };
            } },
        { "OnSelected clears the groups",
            [](ImagePanels* T, TXIPanelList*, TXIPanel*) { T->Gear->OnSelected = [T](TObject*) { T->Gear->Clear(); }; } },
        { "OnItemDeselected frees the gear",
            [](ImagePanels* T, TXIPanelList* G, TXIPanel*) {
                G->Items(1)->SetSelected(true);
                T->Gear->OnItemDeselected = [T](TObject*) { FreeAndNil(T->Gear); };
            } },
        { "OnItemHide frees the gear",
            [](ImagePanels* T, TXIPanelList*, TXIPanel*) {
                T->Gear->OnItemClick = [](TObject* P) { static_cast<TXIPanel*>(P)->HidePanel(); };
                T->Gear->OnItemHide = [T](TObject*) { FreeAndNil(T->Gear); };
            } },
        { "OnItemHide clears the groups",
            [](ImagePanels* T, TXIPanelList*, TXIPanel*) {
                T->Gear->OnItemClick = [](TObject* P) { static_cast<TXIPanel*>(P)->HidePanel(); };
                T->Gear->OnItemHide = [T](TObject*) { T->Gear->Clear(); };
            } },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        if (!Gear) {
            Gear = New<TXIThnPanels>(Form);
            Gear->SetHost(Host);
        }
        Gear->Clear();
        TXIPanelList* G = GroupOf(0, 4);
        Form->Show();
        Pump();
        C.Arm(this, G, G->Items(0));
        const TPoint S = G->Items(0)->ClientToScreen({ 30, 30 });
        for (bool Down : { true, false })
            PostInput(TInputEvent::ButtonEvent({ S.X, S.Y }, mbiLeft, Down));
        Pump();
        Pump();
        if (Gear) {
            Gear->OnItemClick = nullptr;
            Gear->OnItemSelected = nullptr;
            Gear->OnItemDeselected = nullptr;
            Gear->OnSelected = nullptr;
            Gear->OnItemHide = nullptr;
            EXPECT_EQ(Gear->Groups()->Count(), 0);
        }
    }
}

TEST_F(ImagePanels, AHiddenPanelGoesOnceAndAPanelFreedFirstIsNeverMistakenForAnother)
{
    AddPictures(4);
    TXIPanelList* G = GroupOf(0, 3);
    std::vector<TObject*> Hidden;
    Gear->OnItemHide = [&](TObject* Data) { Hidden.push_back(Data); };
    // Hidden twice before the loop runs: it goes once.
    TXIPanel* First = G->Items(0);
    Gear->HidePanel(First);
    Gear->HidePanel(First);
    Gear->HidePanel(nullptr);
    Pump();
    EXPECT_EQ(Hidden, std::vector<TObject*> { Pictures->Items(0) });
    ASSERT_EQ(G->Count(), 2);
    EXPECT_EQ(G->Items(0)->Data(), Pictures->Items(1));
    EXPECT_EQ(G->Items(0)->Top(), G->GroupPanel()->CaptionBar()->Height());
    // Freed before its removal arrives, then a new panel (perhaps at the
    // same address): the pending removal is dropped.
    Hidden.clear();
    Gear->HidePanel(G->Items(0));
    G->DeletePanel(0);
    TXIPanel* Newcomer = G->AddPanel(Pictures->Items(3));
    Pump();
    EXPECT_TRUE(Hidden.empty());
    EXPECT_EQ(G->IndexOf(Newcomer), 1);
    // Gone with the whole gear: nothing arrives later.
    Gear->HidePanel(Newcomer);
    FreeAndNil(Gear);
    Pump();
    EXPECT_TRUE(Hidden.empty());
}

TEST_F(ImagePanels, ThumbnailBoxGalleryAt96And144Dpi)
{
    AddPictures(8, 160, 120);
    for (Integer DpiValue : { 96, 144 }) {
        TScopedDpi Dpi(DpiValue);
        ::Screen->SetPixelsPerInch(DpiValue);
        InitSharedFonts();
        auto* Host2 = New<TForm>(nullptr);
        Host2->SetColor(clBtnFace);
        Host2->SetBounds(50, 50, MulDiv(460, DpiValue, 96), MulDiv(400, DpiValue, 96));
        auto* Box = New<TXIThnPanelsBox>(Host2);
        Box->SetAlign(alClient);
        Box->SetParent(Host2);
        TXIThnPanels* Thn = Box->Groups();
        auto* Buttons = New<TXSkinImagesBox>(Host2);
        auto* Disabled = New<TXSkinImagesBox>(Host2);
        const Integer B = MulDiv(14, DpiValue, 96);
        AddButtonPicture(Buttons, u"Delete", 0x2020C0, B);
        AddButtonPicture(Buttons, u"Rotate", 0x20A020, B);
        AddButtonPicture(Disabled, u"Delete", 0x909090, B);
        Thn->SetButtonImages(Buttons);
        Thn->SetDisabledButtonImages(Disabled);
        Thn->OnItemButtonEnabled = [](TObject* P, Integer Index, bool& Enabled) {
            Enabled = !(Index == 0 && static_cast<TXIPanel*>(P)->Index() == 1);
        };
        Thn->SetoptCheckBox(true);
        Thn->SetTitleType(tiIndex);
        Thn->SetTitlePosition(tpThn);
        Thn->SetThumbnailSize(MulDiv(128, DpiValue, 96), MulDiv(96, DpiValue, 96), MulDiv(4, DpiValue, 96));
        TXIPanelList* Top = Thn->AddGroup();
        Top->GroupPanel()->CaptionBar()->SetCaption(u"Titles inside, buttons, check boxes");
        for (Integer I = 0; I < 4; ++I)
            Top->AddPanel(Pictures->Items(I));
        Top->Items(2)->SetChecked(true);
        Thn->Relayout();
        Host2->Show();
        Pump();
        Top->Items(1)->SetSelected(true);
        Top->Items(3)->HidePanel();
        Pump();
        EXPECT_EQ(Top->Count(), 3);
        EXPECT_TRUE(static_cast<TXIThnPanel*>(Top->Items(2))->CheckBox()->Checked());
        SavePicture(Host2->Handle(), "thumbnail-box-" + std::to_string(DpiValue) + ".png");
        // Titles below the thumbnails, sizes as titles.
        Thn->Clear();
        Thn->SetTitleType(tiSize);
        Thn->SetTitlePosition(tpBottom);
        Thn->SetoptCheckBox(false);
        Thn->SetThumbnailSize(MulDiv(96, DpiValue, 96), MulDiv(72, DpiValue, 96), MulDiv(4, DpiValue, 96));
        TXIPanelList* Below = Thn->AddGroup();
        Below->GroupPanel()->CaptionBar()->SetCaption(u"Sizes below");
        for (Integer I = 4; I < 8; ++I)
            Below->AddPanel(Pictures->Items(I));
        Thn->Relayout();
        Below->Items(0)->SetSelected(true);
        Pump();
        SavePicture(Host2->Handle(), "thumbnail-box-below-" + std::to_string(DpiValue) + ".png");
        Host2->Free();
        Pump();
    }
    ::Screen->SetPixelsPerInch(96);
    InitSharedFonts();
}

TEST_F(ImagePanels, TwoThousandThumbnailsStayWithinTheVisibleAreaBoundAndDecodeOnlyWhatShows)
{
    // Alone in a process of its own, so that the peak memory is this test's.
    if (!std::getenv("X_THUMBNAIL_MEMORY")) {
        const Testing::TToolResult Run = Testing::RunThisTestWith({ "X_THUMBNAIL_MEMORY=1" });
        EXPECT_EQ(Run.ExitCode, 0) << Run.Output;
        return;
    }
    constexpr Integer Count = 2000, Columns = 4;
    AddPictures(Count, 64, 48);
    // Cells of 132 x 120: 500 rows make a group panel some 60,000 pixels
    // high; its surface alone would take 132 * 4 * 60,000 * 4 bytes.
    Testing::TMemoryBudget Budget(size_t(1) << 30);
    // In the thumbnail box, the group panel aligned in it as it always is.
    Host->Free();
    Host = New<TXIThnPanelsBox>(Form);
    Host->SetBounds(0, 0, 620, 460);
    Host->SetParent(Form);
    Gear->Free();
    Gear = static_cast<TXIThnPanelsBox*>(Host)->Groups();
    Gear->SetColumns(Columns);
    Gear->SetThumbnailSize(128, 116, 2);
    Gear->SetTitleType(tiIndex);
    TXIPanelList* G = GroupOf(0, Count);
    TXGroupPanel* Panel = G->GroupPanel();
    EXPECT_EQ(Panel->Align(), alTop);
    Form->Show();
    Pump();
    EXPECT_GE(Panel->Height(), 60000);

    const Integer Rows = Host->ClientHeight() / 120 + 2;
    const Int64 Shown = Gear->Thumbnails()->Drawn();
    EXPECT_GT(Shown, 0);
    EXPECT_LE(Shown, Rows * Columns);
    // A page down: the pictures of that page are drawn, no others.
    Host->VertScrollBar()->SetPosition(Host->ClientHeight());
    Pump();
    EXPECT_EQ(Panel->Top(), -Host->VertScrollBar()->Position());
    const Int64 Paged = Gear->Thumbnails()->Drawn() - Shown;
    EXPECT_GT(Paged, 0);
    EXPECT_LE(Paged, Rows * Columns);
    // Far down and back: the cache stays within its budget.
    for (Integer Page = 2; Page < 40; ++Page) {
        Host->VertScrollBar()->SetPosition(Page * Host->ClientHeight());
        Pump();
    }
    EXPECT_LE(Gear->Thumbnails()->Bytes(), Gear->Thumbnails()->Budget());
    const size_t Visible = size_t(Form->Width()) * size_t(Form->Height()) * 4;
    const size_t Surface = size_t(Columns * 132) * size_t(Panel->Height()) * 4;
    const size_t Growth = Budget.PeakGrowth();
    std::printf("peak growth %zu KiB (visible area %zu KiB, the group's surface %zu KiB, cache budget %zu KiB)\n",
        Growth >> 10, Visible >> 10, Surface >> 10, Gear->Thumbnails()->Budget() >> 10);
    // The panels and their windows (a few KiB each), the kept thumbnails and
    // a few screens: never the group's surface.
    const size_t Bound = size_t(Count) * 10 * 1024 + Gear->Thumbnails()->Budget() + 4 * Visible;
    EXPECT_LT(Bound, Surface / 4);
    // A sanitizer's quarantine and shadow memory say nothing of ours.
    if (!Testing::SanitizedBuild)
        EXPECT_LT(Growth, Bound);
}

namespace {

// A template panel that tells its title.
class TTemplateTitleProbe : public TXITemplatePanel {
    X_CLASS_TEMPLATE(TTemplateTitleProbe, TXITemplatePanel, u"TTemplateTitleProbe")
public:
    String Title() { return TitleText(); }
};

}

TEST_F(ImagePanels, TemplateTitlesByType)
{
    TOwnedPtr<TXTemplateCollection> Templates(New<TXTemplateCollection>(static_cast<TPersistent*>(nullptr)));
    TXTemplateItem* Item = Templates->Add();
    Item->SetDisplayName(u"Winter");
    ASSERT_TRUE(PixelTest::LoadGradientJpeg(Item->ImageData(), 120, 90));
    Item->Caption()->SetText(9, u"Snow");
    Item->Caption()->SetText(1031, u"Schnee");
    Gear->SetPanelClass(TTemplateTitleProbe::StaticClass());
    TXIPanelList* G = Gear->AddGroup();
    G->AddPanel(Templates->Items(0));
    auto* Probe = static_cast<TTemplateTitleProbe*>(G->AddPanel(Item));
    struct TCase {
        TXThnTitleType Type;
        String Title;
    } const Cases[] = { { tiNone, u"" }, { tiCustom, u"" }, { tiIndex, u"2" }, { tiSize, u"120x90" },
        { tiID, u"Winter" }, { tiTitle, u"Snow" } };
    for (const TCase& C : Cases) {
        Gear->SetTitleType(C.Type);
        EXPECT_EQ(Testing::U8(Probe->Title()), Testing::U8(C.Title)) << int(C.Type);
    }
    // A panel whose data is no template has no title and paints its ground.
    G->AddPanel(Pictures.get());
    EXPECT_EQ(Testing::U8(static_cast<TTemplateTitleProbe*>(G->Items(2))->Title()), "");
    Form->Show();
    Pump();
}
