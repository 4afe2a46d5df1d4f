#include "ControlTestSupport.h"
#include "vcl/StdCtrls.h"
#include "win/Rects.h"

using namespace ControlTests;

namespace {

class ComboBoxes : public TFormFixture {
protected:
    void SetUp() override
    {
        TFormFixture::SetUp();
        Box = New<TComboBox>(Form);
        Box->SetParent(Form);
        Box->SetBounds(20, 20, 150, 0);
        Box->SetStyle(csOwnerDrawFixed);
        Box->SetItemHeight(18);
        for (Integer I = 0; I < 12; ++I)
            Box->Items()->AddObject(u"Item", reinterpret_cast<TObject*>(intptr_t(100 + I)));
        // Each item paints in a colour of its own; the selected one darker.
        Box->OnDrawItem = [this](TWinControl*, Integer Index, TRect R, TOwnerDrawState State) {
            Drawn.push_back({ Index, State });
            Box->Canvas()->Brush()->SetColor(State.Contains(odSelected) ? TColor(0x202020) : ItemColor(Index));
            Box->Canvas()->FillRect(R);
        };
        Box->OnChange = [this](TObject*) { ++Changes; };
        Form->Show();
        Pump();
    }
    static TColor ItemColor(Integer Index) { return RGB(Byte(20 * Index), 200, Byte(255 - 20 * Index)); }
    // A window picture's pixel as a colour.
    static TColor At(const TPixelBuffer& P, Integer X, Integer Y)
    {
        const Cardinal V = P.Pixel(X, Y);
        return RGB(Byte(V >> 16), Byte(V >> 8), Byte(V));
    }
    TPoint ListPoint(Integer Row)
    {
        RECT R;
        GetWindowRect(Box->ListHandle(), &R);
        return { R.left + 10, R.top + 1 + Row * 18 + 9 };
    }
    void ClickScreen(TPoint P)
    {
        PostInput(TInputEvent::ButtonEvent({ P.X, P.Y }, mbiLeft, true));
        PostInput(TInputEvent::ButtonEvent({ P.X, P.Y }, mbiLeft, false));
        Pump();
    }

    TComboBox* Box = nullptr;
    std::vector<std::pair<Integer, TOwnerDrawState>> Drawn;
    Integer Changes = 0;
};

}

TEST_F(ComboBoxes, TheBoxIsAsHighAsAnItemAndDrawsItsSelectionThroughCNDrawItem)
{
    EXPECT_EQ(Box->Height(), 18 + 6);
    Box->SetItemIndex(3);
    Drawn.clear();
    Pump();
    ASSERT_FALSE(Drawn.empty());
    EXPECT_EQ(Drawn.back().first, 3);
    EXPECT_TRUE(Drawn.back().second.Contains(odComboBoxEdit));
    EXPECT_FALSE(Drawn.back().second.Contains(odSelected)); // not focused
    EXPECT_EQ(PixelAt({ 20 + 10, 20 + 10 }), ItemColor(3));
    // Out of range selects nothing; the edit part paints no item.
    Box->SetItemIndex(40);
    EXPECT_EQ(Box->ItemIndex(), -1);
    Box->SetItemIndex(3);
    Box->Items()->Delete(11);
    EXPECT_EQ(Box->ItemIndex(), 3);
    Box->Items()->Clear();
    EXPECT_EQ(Box->ItemIndex(), -1);
}

TEST_F(ComboBoxes, TheListDropsDownBelowTheBoxAndAChoiceClosesIt)
{
    Box->SetItemIndex(1);
    Click({ 20 + 140, 20 + 10 }); // the arrow
    ASSERT_TRUE(Box->DroppedDown());
    HWND List = Box->ListHandle();
    ASSERT_NE(List, nullptr);
    EXPECT_TRUE(IsWindowVisible(List));
    EXPECT_NE(GetActiveWindow(), List); // the form keeps the keyboard
    RECT R;
    GetWindowRect(List, &R);
    EXPECT_EQ(R.left, 100 + 20);
    EXPECT_EQ(R.top, 100 + 20 + 24);
    EXPECT_EQ(R.bottom - R.top, 8 * 18 + 2); // DropDownCount rows and the border

    // The list shows the items, the box's own one highlighted; a picture
    // of the form with its list for a person to look at.
    TPixelBuffer ListPicture;
    GetWindowPicture(List, ListPicture);
    EXPECT_EQ(At(ListPicture, 10, 1 + 0 * 18 + 9), ItemColor(0));
    EXPECT_EQ(At(ListPicture, 10, 1 + 1 * 18 + 9), TColor(0x202020));
    {
        TOwnedPtr<TBitmap> Whole(MakeOwned<TBitmap>());
        GetWindowBitmap(Form->Handle(), Whole.get());
        TOwnedPtr<TBitmap> Drop(MakeOwned<TBitmap>());
        GetWindowBitmap(List, Drop.get());
        Whole->Canvas()->Draw(R.left - 100, R.top - 100, Drop.get());
        TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
        Png->Assign(Whole.get());
        Png->SaveToFile(S(Testing::TestPicturePath("vcl-combo-dropped.png").string()));
        EXPECT_EQ(Whole->Pixel(20 + 10, 44 + 1 + 1 * 18 + 9), TColor(0x202020)); // item 1, selected
    }

    ClickScreen(ListPoint(4));
    EXPECT_FALSE(Box->DroppedDown());
    EXPECT_EQ(Box->ItemIndex(), 4);
    EXPECT_EQ(Changes, 1);
    EXPECT_FALSE(IsWindowVisible(List));

    // A press elsewhere closes the list with nothing chosen.
    Click({ 20 + 140, 20 + 10 });
    ASSERT_TRUE(Box->DroppedDown());
    ClickScreen({ 100 + 350, 100 + 250 });
    EXPECT_FALSE(Box->DroppedDown());
    EXPECT_EQ(Box->ItemIndex(), 4);
    EXPECT_EQ(Changes, 1);
}

TEST_F(ComboBoxes, KeysStepTheSelectionAndWorkTheList)
{
    Box->SetFocus();
    Box->SetItemIndex(0);
    Key(VK_DOWN);
    Key(VK_DOWN);
    EXPECT_EQ(Box->ItemIndex(), 2);
    EXPECT_EQ(Changes, 2);
    Key(VK_UP);
    EXPECT_EQ(Box->ItemIndex(), 1);
    Key(VK_F4);
    ASSERT_TRUE(Box->DroppedDown());
    Key(VK_DOWN);
    Key(VK_DOWN);
    EXPECT_EQ(Box->ItemIndex(), 1); // nothing chosen while moving in the list
    Key(VK_RETURN);
    EXPECT_FALSE(Box->DroppedDown());
    EXPECT_EQ(Box->ItemIndex(), 3);
    Key(VK_F4);
    Key(VK_DOWN);
    Key(VK_ESCAPE);
    EXPECT_EQ(Box->ItemIndex(), 3);
    EXPECT_EQ(Changes, 4);
}

TEST_F(ComboBoxes, TheWheelScrollsALongList)
{
    Click({ 20 + 140, 20 + 10 });
    ASSERT_TRUE(Box->DroppedDown());
    const TPoint P = ListPoint(2);
    PostInput(TInputEvent::WheelEvent({ P.X, P.Y }, -WHEEL_DELTA));
    Pump();
    // Three rows further on: row 0 shows item 3; the last one ends the list.
    TPixelBuffer Picture;
    GetWindowPicture(Box->ListHandle(), Picture);
    EXPECT_EQ(At(Picture, 10, 10), ItemColor(3));
    EXPECT_EQ(At(Picture, 10, 1 + 7 * 18 + 9), ItemColor(10));
    Key(VK_ESCAPE);
}
