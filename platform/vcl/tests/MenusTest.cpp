#include "vcl/Menus.h"
#include <gtest/gtest.h>

TEST(MenuItems, RadioGroupsCheckOneAndSubItemsGoWithTheirParent)
{
    TOwnedPtr<TComponent> Owner(MakeOwned<TComponent>(nullptr));
    auto* Root = New<TMenuItem>(Owner.get());
    TMenuItem* Items[4];
    for (int I = 0; I < 4; ++I) {
        Items[I] = New<TMenuItem>(Owner.get());
        Items[I]->SetRadioItem(I < 3);
        Items[I]->SetGroupIndex(I < 2 ? 1 : 2);
        Root->Add(Items[I]);
    }
    Items[0]->SetChecked(true);
    Items[2]->SetChecked(true);
    Items[3]->SetChecked(true);
    Items[1]->SetChecked(true);
    EXPECT_FALSE(Items[0]->Checked()); // same group
    EXPECT_TRUE(Items[2]->Checked()); // another group
    EXPECT_TRUE(Items[3]->Checked()); // no radio item
    EXPECT_EQ(Items[2]->MenuIndex(), 2);

    EXPECT_THROW(Root->Add(Items[1]), EMenuError);
    EXPECT_THROW(Items[1]->Add(Root), EMenuError);
    EXPECT_THROW(Root->Insert(9, New<TMenuItem>(Owner.get())), EMenuError);

    // Clicking a disabled item does nothing; a handler may free its item.
    int Clicks = 0;
    Items[0]->OnClick = [&](TObject* Sender) {
        ++Clicks;
        static_cast<TMenuItem*>(Sender)->Free();
    };
    Items[0]->SetEnabled(false);
    Items[0]->Click();
    Items[0]->SetEnabled(true);
    Items[0]->Click();
    EXPECT_EQ(Clicks, 1);
    EXPECT_EQ(Root->Count(), 3);

    const Integer Before = Owner->ComponentCount();
    Root->Clear();
    EXPECT_EQ(Root->Count(), 0);
    EXPECT_EQ(Owner->ComponentCount(), Before - 3);
}
