#include "ControlTestSupport.h"
#include "vcl/ComCtrls.h"
#include "vcl/StdCtrls.h"
#include "win/Metrics.h"
#include "win/WindowTree.h"

using namespace ControlTests;

namespace {

// Square pictures of one colour each (fully opaque).
TImageList* MakeImages(TComponent* Owner, std::initializer_list<TColor> Colors)
{
    auto* List = New<TImageList>(Owner);
    List->SetSize(16, 16);
    for (TColor C : Colors) {
        TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
        Bmp->SetSize(16, 16);
        Bmp->Fill(C);
        List->Add(Bmp.get(), nullptr);
    }
    return List;
}

struct TRecord {
    Integer Key;
};

class ListViews : public TFormFixture {
protected:
    void SetUp() override
    {
        TFormFixture::SetUp();
        List = New<TListView>(Form);
        List->SetParent(Form);
        List->SetBounds(10, 10, 300, 200);
        Images = MakeImages(Form, { clRed, clBlue, TColor(0x00C000) });
        List->SetSmallImages(Images);
        for (const char16_t* Caption : { u"Name", u"Size", u"Date" }) {
            TListColumn* C = List->Columns()->Add();
            C->SetCaption(Caption);
            C->SetWidth(90);
        }
        for (Integer I = 0; I < 30; ++I) {
            Records.push_back({ (I * 7) % 30 });
        }
        for (Integer I = 0; I < 30; ++I) {
            TListItem* Item = List->Items()->Add();
            Item->SetCaption(u"file");
            Item->SubItems()->Add(u"1 KB");
            Item->SetData(&Records[size_t(I)]);
            Item->SetImageIndex(I % 3);
        }
        Form->Show();
        Pump();
    }
    static Integer KeyOf(TListItem* Item) { return static_cast<TRecord*>(Item->Data())->Key; }
    std::vector<Integer> Keys()
    {
        std::vector<Integer> R;
        for (Integer I = 0; I < List->Items()->Count(); ++I)
            R.push_back(KeyOf(List->Items()->Item(I)));
        return R;
    }
    // A point of row Row (of those shown) in the form's client coordinates;
    // the list's client area starts 2 pixels in (its edge).
    TPoint RowPoint(Integer Row, Integer X = 150)
    {
        return { 10 + 2 + X, 10 + 2 + List->HeaderHeight() + Row * List->RowHeight() + 5 };
    }

    TListView* List = nullptr;
    TImageList* Images = nullptr;
    std::vector<TRecord> Records;
};

}

TEST_F(ListViews, HeaderClicksNameTheColumnAndRowClicksSelect)
{
    std::vector<Integer> Clicked;
    List->OnColumnClick = [&](TObject*, TListColumn* Column) { Clicked.push_back(Column->Index()); };
    Integer Selections = 0;
    List->OnSelectItem = [&](TObject*, TListItem*, bool Selected) { Selections += Selected; };
    Click({ 10 + 2 + 100, 10 + 2 + 5 });
    Click({ 10 + 2 + 200, 10 + 2 + 5 });
    EXPECT_EQ(Clicked, (std::vector<Integer> { 1, 2 }));
    Click(RowPoint(3));
    ASSERT_NE(List->Selected(), nullptr);
    EXPECT_EQ(List->Selected()->Index(), 3);
    EXPECT_TRUE(List->Focused());
    EXPECT_EQ(Selections, 1);
    // The selected row is highlighted, its image drawn at the row's start.
    EXPECT_EQ(PixelAt(RowPoint(3, 200)), ColorToRGB(clHighlight));
    EXPECT_EQ(PixelAt({ 10 + 2 + 2 + 8, RowPoint(4).Y }), clBlue); // item 4: image 1
    // Column images show in the header.
    List->Columns()->Items(1)->SetImageIndex(2);
    Pump();
    EXPECT_EQ(PixelAt({ 10 + 2 + 90 + 4 + 8, 10 + 2 + 10 }), TColor(0x00C000));
    SavePicture(Form->Handle(), "vcl-list-view.png");
}

TEST_F(ListViews, CustomSortOrdersStablyByTheProcedureOrOnCompare)
{
    // Ascending by key through a procedure.
    List->CustomSort(
        [](LPARAM A, LPARAM B, LPARAM Sign) -> Integer {
            const Integer KA = KeyOf(reinterpret_cast<TListItem*>(A)), KB = KeyOf(reinterpret_cast<TListItem*>(B));
            return Integer(Sign) * (KA < KB ? -1 : KA > KB ? 1 : 0);
        },
        1);
    std::vector<Integer> Sorted = Keys();
    EXPECT_TRUE(std::is_sorted(Sorted.begin(), Sorted.end()));
    // Without a procedure OnCompare decides, with the sort's data.
    Integer SeenData = 0;
    List->OnCompare = [&](TObject*, TListItem* A, TListItem* B, Integer Data, Integer& Compare) {
        SeenData = Data;
        Compare = KeyOf(B) - KeyOf(A);
    };
    List->CustomSort(nullptr, 65536 + 2);
    EXPECT_EQ(SeenData, 65536 + 2);
    Sorted = Keys();
    EXPECT_TRUE(std::is_sorted(Sorted.rbegin(), Sorted.rend()));
    // A comparison that contradicts itself leaves some order and no fault.
    List->OnCompare = [](TObject*, TListItem*, TListItem*, Integer, Integer& Compare) { Compare = -1; };
    EXPECT_TRUE(List->AlphaSort());
    EXPECT_EQ(List->Items()->Count(), 30);
}

TEST_F(ListViews, RowsScrollByWheelKeysAndTheBar)
{
    const Integer Page = List->VisibleRowCount();
    ASSERT_LT(Page, 30);
    EXPECT_EQ(List->TopItem()->Index(), 0);
    const TPoint P = Form->ClientToScreen(RowPoint(1));
    PostInput(TInputEvent::WheelEvent({ P.X, P.Y }, -WHEEL_DELTA));
    Pump();
    EXPECT_EQ(List->TopItem()->Index(), 3);
    List->SetFocus();
    Key(VK_END);
    EXPECT_EQ(List->Selected()->Index(), 29);
    EXPECT_EQ(List->TopItem()->Index(), 30 - Page);
    Key(VK_HOME);
    EXPECT_EQ(List->TopItem()->Index(), 0);
    // A press in the bar below the thumb pages down.
    Click({ 10 + 2 + 296 - 8, 10 + 2 + 150 });
    EXPECT_EQ(List->TopItem()->Index(), Page);
    // Deleting the selected item leaves no selection behind.
    List->SetItemIndex(5);
    List->Items()->Delete(5);
    EXPECT_EQ(List->Selected(), nullptr);
}

namespace {

class TreeViews : public TFormFixture {
protected:
    void SetUp() override
    {
        TFormFixture::SetUp();
        Tree = New<TTreeView>(Form);
        Tree->SetParent(Form);
        Tree->SetBounds(10, 10, 250, 250);
        Tree->SetImages(MakeImages(Form, { clRed, clBlue }));
        for (Integer I = 0; I < 3; ++I) {
            TTreeNode* Root = Tree->Items()->AddObject(nullptr, u"root", &Data[I]);
            Root->SetImageIndex(0);
            Root->SetSelectedIndex(1);
            for (Integer J = 0; J < 3; ++J)
                Tree->Items()->AddChildObject(Root, u"child", &Data[3 + I * 3 + J])->SetImageIndex(1);
        }
        Form->Show();
        Pump();
    }
    TPoint RowPoint(Integer Row, Integer X)
    {
        return { 10 + 2 + X, 10 + 2 + Row * Tree->RowHeight() + Tree->RowHeight() / 2 };
    }
    TTreeNode* Node(Integer Absolute) { return Tree->Items()->Item(Absolute); }

    TTreeView* Tree = nullptr;
    Integer Data[12] = {};
};

}

TEST_F(TreeViews, NodesCarryDataAndExpandByTheirButtons)
{
    // Every node counts, in the order the tree lists them: a root, its
    // children, the next root...
    EXPECT_EQ(Tree->Items()->Count(), 12);
    EXPECT_EQ(Node(4)->Data(), &Data[1]);
    EXPECT_EQ(Node(6)->Data(), &Data[3 + 3 + 1]);
    EXPECT_EQ(Node(6)->Level(), 1);
    EXPECT_EQ(Node(6)->Parent()->AbsoluteIndex(), 4);
    // Collapsed: three rows. The button of row 1 opens the second root.
    EXPECT_EQ(Tree->GetNodeAt(50, 2 + Tree->RowHeight() + 5), Node(4));
    Click(RowPoint(1, 2 + 19 / 2));
    EXPECT_TRUE(Node(4)->Expanded());
    EXPECT_EQ(Tree->GetNodeAt(50, 2 + 2 * Tree->RowHeight() + 5), Node(5));
    // Clicking a node selects it; its selected image shows.
    Click(RowPoint(1, 60));
    EXPECT_EQ(Tree->Selected(), Node(4));
    EXPECT_EQ(PixelAt(RowPoint(1, 2 + 19 + 8)), clBlue);
    EXPECT_EQ(PixelAt(RowPoint(0, 2 + 19 + 8)), clRed);
    // Keys: Right goes in, Left out, Left again collapses.
    Key(VK_RIGHT);
    EXPECT_EQ(Tree->Selected(), Node(5));
    Key(VK_LEFT);
    EXPECT_EQ(Tree->Selected(), Node(4));
    Key(VK_LEFT);
    EXPECT_FALSE(Node(4)->Expanded());
}

TEST_F(TreeViews, CanChangeMayRefuseAndChangeFollowsTheCheck)
{
    std::vector<std::string> Log;
    Tree->OnChanging = [&](TObject*, TTreeNode* N, bool& Allow) {
        Log.push_back("can " + std::to_string(N ? N->AbsoluteIndex() : -1));
        Allow = N != Node(8);
    };
    Tree->OnChange = [&](TObject*, TTreeNode* N) {
        Log.push_back("change " + std::to_string(N ? N->AbsoluteIndex() : -1));
    };
    Tree->SetSelected(Node(4));
    Tree->SetSelected(Node(8));
    EXPECT_EQ(Tree->Selected(), Node(4));
    EXPECT_EQ(Log, (std::vector<std::string> { "can 4", "change 4", "can 8" }));
    // Collapsing a branch that holds the selection selects its root.
    Node(4)->Expand(false);
    Tree->SetSelected(Node(6));
    Log.clear();
    Node(4)->Collapse(false);
    EXPECT_EQ(Tree->Selected(), Node(4));
    EXPECT_EQ(Log, (std::vector<std::string> { "can 4", "change 4" }));
    // Deleting the selected node leaves no selection.
    Node(4)->Delete();
    EXPECT_EQ(Tree->Selected(), nullptr);
    EXPECT_EQ(Tree->Items()->Count(), 8);
}

TEST_F(TreeViews, CheckBoxesShowWithTheWindowStyleAndToggleOnClick)
{
    EXPECT_FALSE(Tree->HasCheckBoxes());
    SetWindowLongPtr(Tree->Handle(), GWL_STYLE, GetWindowLongPtr(Tree->Handle(), GWL_STYLE) | TVS_CHECKBOXES);
    Tree->FullExpand();
    Node(2)->SetChecked(true);
    Pump();
    ASSERT_TRUE(Tree->HasCheckBoxes());
    // The box of row 2 (a child: one indent further) holds the check mark;
    // the 13-pixel box sits in the middle of its 16-pixel cell.
    const Integer BoxLeft = 2 + 2 * 19;
    EXPECT_EQ(PixelAt(RowPoint(2, BoxLeft + 1 + 4)), ColorToRGB(clWindowText));
    EXPECT_EQ(PixelAt(RowPoint(3, BoxLeft + 1 + 4)), ColorToRGB(clWindow));
    EXPECT_EQ(PixelAt(RowPoint(3, BoxLeft + 1)), ColorToRGB(clBtnShadow));
    Click(RowPoint(3, BoxLeft + 4));
    EXPECT_TRUE(Node(3)->Checked());
    EXPECT_EQ(Tree->Selected(), nullptr); // a box click selects nothing
    Tree->SetSelected(Node(1));
    Tree->SetFocus();
    Key(VK_SPACE);
    EXPECT_TRUE(Node(1)->Checked());
    Pump();
    SavePicture(Form->Handle(), "vcl-tree-check-boxes.png");
}

TEST_F(TreeViews, ALongTreeScrollsToTheSelection)
{
    Tree->SetHeight(100);
    Tree->FullExpand();
    Tree->SetSelected(Node(11));
    ASSERT_NE(Tree->TopItem(), nullptr);
    EXPECT_GT(Tree->TopItem()->AbsoluteIndex(), 0);
    EXPECT_EQ(Tree->GetNodeAt(50, 2 + (Tree->VisibleRowCount() - 1) * Tree->RowHeight() + 5), Node(11));
}

namespace {

class FocusLooks : public TFormFixture { };

// The control's own picture, cut from the form's.
std::vector<Cardinal> PictureOf(TForm* Form, TWinControl* Control)
{
    TPixelBuffer All;
    EXPECT_TRUE(GetWindowPicture(Form->Handle(), All));
    RECT R;
    GetWindowRect(Control->Handle(), &R);
    RECT F;
    GetWindowRect(Form->Handle(), &F);
    std::vector<Cardinal> Pixels;
    for (LONG Y = R.top - F.top; Y < R.bottom - F.top; ++Y)
        for (LONG X = R.left - F.left; X < R.right - F.left; ++X)
            Pixels.push_back(All.Pixel(X, Y));
    return Pixels;
}

}

TEST_F(FocusLooks, EveryControlThatShowsTheFocusLosesTheLookWhenItGoes)
{
    auto* Combo = New<TComboBox>(Form);
    Combo->SetParent(Form);
    Combo->SetBounds(10, 10, 150, 0);
    Combo->Items()->Add(u"One");
    Combo->SetItemIndex(0);
    auto* List = New<TListView>(Form);
    List->SetParent(Form);
    List->SetBounds(10, 50, 150, 80);
    List->SetViewStyle(vsReport);
    List->Columns()->Add()->SetWidth(120);
    List->Items()->Add()->SetCaption(u"Row");
    List->SetSelected(List->Items()->Item(0));
    auto* Tree = New<TTreeView>(Form);
    Tree->SetParent(Form);
    Tree->SetBounds(10, 140, 150, 80);
    Tree->SetSelected(Tree->Items()->Add(nullptr, u"Node"));
    auto* Elsewhere = Add<TProbePanel>(Form, { 200, 10, 300, 60 }, 0x808080);
    Form->Show();
    Pump();
    for (TWinControl* Control :
        { static_cast<TWinControl*>(Combo), static_cast<TWinControl*>(List), static_cast<TWinControl*>(Tree) }) {
        const std::vector<Cardinal> Unfocused = PictureOf(Form, Control);
        Control->SetFocus();
        Pump();
        EXPECT_NE(PictureOf(Form, Control), Unfocused) << StringToUTF8(Control->ClassName());
        Elsewhere->SetFocus();
        Pump();
        EXPECT_EQ(PictureOf(Form, Control), Unfocused) << StringToUTF8(Control->ClassName());
    }
}

TEST_F(ListViews, TheIconViewStandsItemsInCellsOfTheIconSpacing)
{
    TImageList* Large = New<TImageList>(Form);
    Large->SetSize(32, 32);
    for (TColor C : { clRed, clBlue, TColor(0x00C000) }) {
        TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
        Bmp->SetSize(32, 32);
        Bmp->Fill(C);
        Large->Add(Bmp.get(), nullptr);
    }
    List->SetLargeImages(Large);
    List->SetViewStyle(vsIcon);
    Pump();
    struct TCase {
        LPARAM Spacing;
        TSize Cell;
    };
    const TSize Default { GetSystemMetrics(SM_CXICONSPACING), GetSystemMetrics(SM_CYICONSPACING) };
    const TCase Cases[] = {
        { MAKELPARAM(90, 70), { 90, 70 } },
        { MAKELPARAM(Word(-1), 60), { Default.cx, 60 } },
        { MAKELPARAM(0, 0), Default }, // nothing below a pixel
        { MAKELPARAM(48, 64), { 48, 64 } },
    };
    TSize Before = List->IconSpacing();
    for (const TCase& C : Cases) {
        const LRESULT Old = List->Perform(LVM_SETICONSPACING, 0, C.Spacing);
        EXPECT_EQ(Old, MAKELPARAM(Word(Before.cx), Word(Before.cy)));
        EXPECT_EQ(List->IconSpacing(), C.Cell);
        Before = C.Cell;
    }
    // 30 items, 296 pixels less the strip: five cells a row, six rows.
    Pump();
    const Integer PerRow = (List->ClientWidth() - GetSystemMetrics(SM_CXVSCROLL)) / 48;
    EXPECT_EQ(List->ItemsPerRow(), PerRow);
    auto CellPoint = [&](Integer Row, Integer Column) {
        return TPoint { 10 + 2 + Column * 48 + 24, 10 + 2 + Row * 64 + 10 };
    };
    Click(CellPoint(1, 2));
    EXPECT_EQ(List->ItemIndex(), PerRow + 2);
    const TColor Colors[] = { clRed, clBlue, TColor(0x00C000) };
    EXPECT_EQ(PixelAt(CellPoint(1, 2)), ColorToRGB(Colors[(PerRow + 2) % 3])) << "the large image of its item";
    // Right goes on by one, down by a row; the list scrolls to it.
    List->SetFocus();
    Key(VK_RIGHT);
    EXPECT_EQ(List->ItemIndex(), PerRow + 3);
    for (Integer I = 0; I < 4; ++I)
        Key(VK_DOWN);
    EXPECT_EQ(List->ItemIndex(), 5 * PerRow + 3);
    EXPECT_EQ(List->GetItemAt(CellPoint(0, 0).X - 12, CellPoint(0, 0).Y - 12), List->TopItem());
    EXPECT_GT(List->TopItem()->Index(), 0);
    // Past the row's last cell nothing is hit.
    EXPECT_EQ(List->GetItemAt(PerRow * 48 + 2, 5), nullptr);
    SavePicture(Form->Handle(), "vcl-icon-list-view.png");
    Large->Free();
    Pump();
    EXPECT_EQ(List->LargeImages(), nullptr);
}
