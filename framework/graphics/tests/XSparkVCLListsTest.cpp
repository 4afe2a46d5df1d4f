#include "vcl/tests/ControlTestSupport.h"
#include "core/XCore.Errors.h"
#include "core/XCore.Locale.h"
#include "gdi/PngImage.h"
#include "graphics/XSpark.VCL.Lists.h"
#include "rtl/StrUtils.h"

using namespace ControlTests;

namespace {

// A list item's data object with an order key.
class TKeyed : public TObject, public IXListOrderKey {
    X_CLASS_TEMPLATE(TKeyed, TObject, u"TXSparkKeyed")
    X_INTERFACES(TKeyed, IXListOrderKey)
    X_NOT_COUNTED
public:
    Integer Key = 0;
    Integer GetOrderKey() override { return Key; }
};

Integer ByCaption(TListItem* A, TListItem* B, Integer SortKey)
{
    return (SortKey < 0 ? -1 : 1) * CompareText(A->Caption(), B->Caption());
}

class XSparkLists : public TFormFixture {
protected:
    void SetUp() override
    {
        TFormFixture::SetUp();
        Form->Show();
    }
    // Client points of Control.
    void ClickOn(TControl* Control, TPoint P)
    {
        Clock.Advance(1000); // never a double click
        const TPoint S = Control->ClientToScreen(P);
        PostInput(TInputEvent::ButtonEvent({ S.X, S.Y }, mbiLeft, true));
        PostInput(TInputEvent::ButtonEvent({ S.X, S.Y }, mbiLeft, false));
        Pump();
    }
    TXListView* MakeList(std::initializer_list<const char16_t*> Captions)
    {
        auto* List = New<TXListView>(Form);
        List->SetParent(Form);
        List->SetBounds(10, 10, 300, 200);
        List->Columns()->Add()->SetCaption(u"Name");
        List->Columns()->Items(0)->SetWidth(120);
        List->Columns()->Add()->SetCaption(u"Size");
        List->Columns()->Items(1)->SetWidth(100);
        for (const char16_t* C : Captions) {
            Keys.push_back(std::make_unique<TKeyedHolder>(Integer(Keys.size())));
            TListItem* Item = List->Items()->Add();
            Item->SetCaption(C);
            Item->SetData(Keys.back()->Obj.get());
        }
        return List;
    }
    static std::vector<String> Captions(TCustomListView* List)
    {
        std::vector<String> Result;
        for (Integer I = 0; I < List->Items()->Count(); ++I)
            Result.push_back(List->Items()->Item(I)->Caption());
        return Result;
    }
    static std::vector<Integer> Arrows(TCustomListView* List)
    {
        std::vector<Integer> Result;
        for (Integer I = 0; I < List->Columns()->Count(); ++I)
            Result.push_back(List->Columns()->Items(I)->ImageIndex());
        return Result;
    }

    struct TKeyedHolder {
        explicit TKeyedHolder(Integer Key)
            : Obj(New<TKeyed>())
        {
            Obj->Key = Key;
        }
        TOwnedPtr<TKeyed> Obj;
    };
    std::vector<std::unique_ptr<TKeyedHolder>> Keys;
};

using Strings = std::vector<String>;

TEST_F(XSparkLists, ThreeClicksSortAscendingDescendingThenInDataOrderWithTheirArrows)
{
    TXListView* List = MakeList({ u"pear", u"apple", u"fig", u"Banana" });
    List->SetColumnSort(true);
    List->SortItems()->Add()->Compare = &ByCaption; // column 0 only
    std::vector<Integer> Clicked;
    List->OnColumnClick = [&](TObject*, TListColumn* C) { Clicked.push_back(C->Index()); };
    Pump();
    const TPoint Header0 { 30, 5 };
    ClickOn(List, Header0);
    EXPECT_EQ(List->SortOrder(), lsoAscending);
    EXPECT_EQ(Captions(List), (Strings { u"apple", u"Banana", u"fig", u"pear" }));
    EXPECT_EQ(Arrows(List), (std::vector<Integer> { 0, -1 }));
    ClickOn(List, Header0);
    EXPECT_EQ(Captions(List), (Strings { u"pear", u"fig", u"Banana", u"apple" }));
    EXPECT_EQ(Arrows(List), (std::vector<Integer> { 1, -1 }));
    ClickOn(List, Header0);
    EXPECT_EQ(List->SortOrder(), lsoNone);
    EXPECT_EQ(Captions(List), (Strings { u"pear", u"apple", u"fig", u"Banana" }));
    EXPECT_EQ(Arrows(List), (std::vector<Integer> { -1, -1 }));

    // A column without a sort item changes nothing but is still clicked.
    ClickOn(List, Header0);
    ClickOn(List, { 150, 5 });
    EXPECT_EQ(List->SortColumn(), 0);
    EXPECT_EQ(List->SortOrder(), lsoAscending);
    EXPECT_EQ(Captions(List), (Strings { u"apple", u"Banana", u"fig", u"pear" }));
    EXPECT_EQ(Clicked, (std::vector<Integer> { 0, 0, 0, 0, 1 }));

    // Switching column sort on again clears the arrows and the order.
    List->SetColumnSort(true);
    EXPECT_EQ(Arrows(List), (std::vector<Integer> { -1, -1 }));
    EXPECT_EQ(List->SortOrder(), lsoNone);
}

TEST_F(XSparkLists, WithoutColumnSortAClickOnlyTellsTheHandler)
{
    TXListView* List = MakeList({ u"b", u"a" });
    List->SortItems()->Add()->Compare = &ByCaption;
    Pump();
    ClickOn(List, { 30, 5 });
    EXPECT_EQ(Captions(List), (Strings { u"b", u"a" }));
    EXPECT_EQ(List->SortOrder(), lsoNone);
}

TEST_F(XSparkLists, TheDataOrderIsStableAnswersZeroForEqualKeysAndTakesNoKeyAsZero)
{
    TXListView* List = MakeList({ u"k2", u"k0", u"k1a", u"none", u"k1b", u"k0b" });
    // Keys: 2, 0, 1, (no data), 1, 0.
    Keys[0]->Obj->Key = 2;
    Keys[1]->Obj->Key = 0;
    Keys[2]->Obj->Key = 1;
    List->Items()->Item(3)->SetData(nullptr);
    Keys[4]->Obj->Key = 1;
    Keys[5]->Obj->Key = 0;
    TListItem* K1a = List->Items()->Item(2);
    TListItem* K1b = List->Items()->Item(4);
    EXPECT_EQ(TXCustomListView::DefaultCompare(K1a, K1b, 65536), 0);
    EXPECT_EQ(TXCustomListView::DefaultCompare(K1b, K1a, -65536), 0);
    EXPECT_EQ(TXCustomListView::DefaultCompare(List->Items()->Item(0), K1a, 65536), 1);
    EXPECT_EQ(TXCustomListView::DefaultCompare(List->Items()->Item(0), K1a, 2 - 65536), -1);
    EXPECT_EQ(TXCustomListView::OrderKeyOf(List->Items()->Item(3)), 0);

    List->SetColumnSort(true);
    List->SortByColumn(); // no order: the data order
    EXPECT_EQ(Captions(List), (Strings { u"k0", u"none", u"k0b", u"k1a", u"k1b", u"k2" }));
    // Through OnCompare, as other sorts of the list use it.
    List->AlphaSort();
    EXPECT_EQ(Captions(List), (Strings { u"k0", u"none", u"k0b", u"k1a", u"k1b", u"k2" }));
}

TEST_F(XSparkLists, TreeBoxesStayWhileNodesExist)
{
    auto* Tree = New<TXTreeView>(Form);
    Tree->SetParent(Form);
    Tree->SetBounds(10, 10, 200, 150);
    EXPECT_FALSE(Tree->HasCheckBoxes());
    Tree->SetCheckboxes(true);
    EXPECT_TRUE(Tree->HasCheckBoxes());
    Tree->Items()->Add(nullptr, u"Root");
    Tree->SetCheckboxes(false);
    EXPECT_FALSE(Tree->Checkboxes());
    EXPECT_TRUE(Tree->HasCheckBoxes()); // kept while nodes exist
    Tree->RecreateWnd();
    EXPECT_FALSE(Tree->HasCheckBoxes());

    Tree->SetCheckboxes(true);
    Tree->RecreateWnd(); // the window made again takes them again
    EXPECT_TRUE(Tree->HasCheckBoxes());
    Tree->Items()->Clear();
    Tree->SetCheckboxes(false);
    EXPECT_FALSE(Tree->HasCheckBoxes());

    // Set before the window exists.
    auto* Later = New<TXTreeView>(Form);
    Later->SetCheckboxes(true);
    Later->SetParent(Form);
    EXPECT_TRUE(Later->HasCheckBoxes());
}

TEST_F(XSparkLists, NodeEventsFollowTheSelection)
{
    auto* Tree = New<TXTreeView>(Form);
    Tree->SetParent(Form);
    TTreeNode* A = Tree->Items()->Add(nullptr, u"A");
    TTreeNode* B = Tree->Items()->Add(nullptr, u"B");
    std::vector<std::string> Log;
    auto Name = [](TTreeNode* N) { return N ? StringToUTF8(N->Text()) : std::string("-"); };
    Tree->OnInitNode = [&](TObject*, TTreeNode* N) { Log.push_back("init " + Name(N)); };
    Tree->OnUpdateNode = [&](TObject*, TTreeNode* N) { Log.push_back("update " + Name(N)); };
    Tree->OnClearNode = [&](TObject*) { Log.push_back("clear"); };
    bool Allow = true;
    Tree->OnChanging = [&](TObject*, TTreeNode*, bool& A) { A = Allow; };

    Tree->SetSelected(A);
    Tree->SetSelected(B);
    Allow = false;
    Tree->SetSelected(A); // refused: no update, no init
    Allow = true;
    Tree->SetSelected(nullptr);
    EXPECT_EQ(Log, (std::vector<std::string> { "update A", "init A", "update B", "init B", "update -", "clear" }));

    // A handler that frees the tree ends the change there.
    Tree->OnUpdateNode = [&](TObject*, TTreeNode*) { Tree->Free(); };
    Tree->SetSelected(A);
    EXPECT_EQ(Form->ControlCount(), 0);
}

TEST_F(XSparkLists, FindingNodesByData)
{
    auto* Tree = New<TXTreeView>(Form);
    int X = 0, Y = 0;
    TTreeNode* Root = Tree->Items()->Add(nullptr, u"root");
    Tree->Items()->AddChildObject(Root, u"x", &X);
    TTreeNode* Y1 = Tree->Items()->AddChildObject(Root, u"y1", &Y);
    Tree->Items()->AddObject(nullptr, u"y2", &Y);
    EXPECT_EQ(FindTreeNodeByData(Tree, &Y), Y1);
    EXPECT_EQ(FindTreeNodeByData(Tree, nullptr), nullptr);
    int Z = 0;
    EXPECT_EQ(FindTreeNodeByData(Tree, &Z), nullptr);
    EXPECT_EQ(FindTreeNodeByData(nullptr, &Y), nullptr);
}

// A stored picture of one colour.
TOwnedPtr<TXImageObject> Swatch(TColor Color)
{
    TOwnedPtr<TBitmap> Bmp(New<TBitmap>());
    Bmp->SetSize(32, 32);
    Bmp->Canvas()->Brush()->SetColor(Color);
    Bmp->Canvas()->FillRect({ 0, 0, 32, 32 });
    TOwnedPtr<TXImageObject> Obj(New<TXImageObject>());
    Obj->LoadFromObject(Bmp.get());
    return Obj;
}

TEST_F(XSparkLists, SetTreeNodeImageAddsThenReplaces)
{
    auto* Tree = New<TXTreeView>(Form);
    TTreeNode* Node = Tree->Items()->Add(nullptr, u"n");
    auto Red = Swatch(0x0000FF), Blue = Swatch(0xFF0000);
    EXPECT_FALSE(SetTreeNodeImage(Tree, Node, Red.get())); // no image list
    auto* Images = New<TImageList>(Form);
    Images->SetSize(16, 16);
    Tree->SetImages(Images);

    auto CentreOf = [&](Integer Index) {
        TOwnedPtr<TBitmap> B(New<TBitmap>());
        Images->GetBitmap(Index, B.get());
        return B->Pixel(8, 8) & 0xFFFFFF;
    };
    ASSERT_TRUE(SetTreeNodeImage(Tree, Node, Red.get()));
    EXPECT_EQ(Images->Count(), 1);
    EXPECT_EQ(Node->ImageIndex(), 0);
    EXPECT_EQ(Node->SelectedIndex(), 0);
    EXPECT_EQ(CentreOf(0), 0x0000FFu);
    ASSERT_TRUE(SetTreeNodeImage(Tree, Node, Blue.get()));
    EXPECT_EQ(Images->Count(), 1);
    EXPECT_EQ(CentreOf(0), 0xFF0000u);

    // An image the list does not hold: the failure is swallowed.
    Node->SetImageIndex(5);
    ClearXError();
    EXPECT_EQ(Testing::RaisedCode([&] { EXPECT_FALSE(SetTreeNodeImage(Tree, Node, Red.get())); }), 0);
    EXPECT_EQ(GetXErrorCode(), xecReadFailed);
}

TEST_F(XSparkLists, AddLanguageListsALanguageOnce)
{
    auto* Box = New<TXComboBox>(Form);
    Box->SetLangCaptionKind(3);
    Box->AddLanguage(0x0407);
    Box->AddLanguage(0x040C);
    Box->AddLanguage(0x0407);
    ASSERT_EQ(Box->Items()->Count(), 2);
    EXPECT_EQ(Box->Items()->Strings(0), QVLocale()->GetLocaleText(0x0407, 3));
    auto* Item = DynamicCast<TXLocalizedCollectionItem>(Box->Items()->Objects(0));
    ASSERT_NE(Item, nullptr);
    EXPECT_EQ(Item->LgID(), 0x0407u);
    EXPECT_EQ(Item, QVLocale()->FindOrAddItem(0x0407));

    // An id the locale table lacks has nothing to show but its number.
    for (Integer Kind = 0; Kind <= 4; ++Kind) {
        auto* Other = New<TXComboBox>(Form);
        Other->SetLangCaptionKind(Kind);
        Other->AddLanguage(0x0436);
        Other->AddLanguage(0x0411);
        const Integer Expected = Kind == 0 ? 2 : 1;
        ASSERT_EQ(Other->Items()->Count(), Expected) << Kind;
        for (Integer I = 0; I < Expected; ++I)
            EXPECT_FALSE(Other->Items()->Strings(I).empty()) << Kind;
    }
}

TEST_F(XSparkLists, TheComboBoxsItemsAreAsHighAsItsFontAndSix)
{
    auto* Box = New<TXComboBox>(Form);
    EXPECT_EQ(Box->ItemHeight(), std::abs(Box->Font()->Height()) + 6);
    TOwnedPtr<TFont> Big(New<TFont>());
    Big->SetHeight(-20);
    Box->SetFont(Big.get());
    EXPECT_EQ(Box->ItemHeight(), 26);
}

TEST(XSparkListStyle, TheListViewHookIsOurs)
{
    const std::vector<TClass> Hooks = TStyleManager::Engine()->StyleHooks(TXListView::StaticClass());
    EXPECT_EQ(Hooks, (std::vector<TClass> { TXListViewStyleHook::StaticClass() }));
    TOwnedPtr<TXListViewStyleHook> Hook(New<TXListViewStyleHook>(static_cast<TWinControl*>(nullptr)));
    EXPECT_FALSE(Hook->OverrideEraseBkgnd());
}

}
