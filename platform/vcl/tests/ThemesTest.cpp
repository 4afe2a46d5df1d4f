#include "vcl/ComCtrls.h"
#include "vcl/Themes.h"
#include <gtest/gtest.h>

namespace {

class TMyListHook : public TListViewStyleHook {
    X_CLASS_TEMPLATE(TMyListHook, TListViewStyleHook, u"TMyListHook")
};
class TMyListView : public TCustomListView {
    X_CLASS_TEMPLATE(TMyListView, TCustomListView, u"TMyListView")
};

}

TEST(Styles, OnlyTheSystemStyleAndItsHooksByControlClass)
{
    EXPECT_TRUE(StyleServices()->IsSystemStyle());
    EXPECT_FALSE(StyleServices()->Enabled());
    EXPECT_FALSE(TStyleManager::IsCustomStyleActive());
    EXPECT_EQ(TStyleManager::Style(u"windows"), StyleServices());
    EXPECT_EQ(TStyleManager::Style(u"Carbon"), nullptr);
    EXPECT_FALSE(TStyleManager::TrySetStyle(u"Carbon"));
    EXPECT_EQ(StyleServices()->GetSystemColor(clBtnFace), clBtnFace);

    TCustomStyleEngine* Engine = TStyleManager::Engine();
    ASSERT_NE(Engine, nullptr);
    EXPECT_NE(Engine->ClassType(), TCustomStyleEngine::StaticClass());
    // A descendant without hooks of its own gets its ancestor's.
    EXPECT_EQ(Engine->StyleHooks(TMyListView::StaticClass()),
        (std::vector<TClass> { TListViewStyleHook::StaticClass() }));
    // Replacing the list view's hook, as the program's list unit does.
    Engine->UnRegisterStyleHook(TCustomListView::StaticClass(), TListViewStyleHook::StaticClass());
    Engine->RegisterStyleHook(TCustomListView::StaticClass(), TMyListHook::StaticClass());
    EXPECT_THROW(Engine->RegisterStyleHook(TCustomListView::StaticClass(), TMyListHook::StaticClass()),
        EStyleEngineException);
    EXPECT_EQ(Engine->StyleHooks(TMyListView::StaticClass()), (std::vector<TClass> { TMyListHook::StaticClass() }));
    Engine->UnRegisterStyleHook(TCustomListView::StaticClass(), TMyListHook::StaticClass());
    Engine->RegisterStyleHook(TCustomListView::StaticClass(), TListViewStyleHook::StaticClass());
    TMessage M { WM_PAINT, 0, 0, 0 };
    EXPECT_FALSE(Engine->HandleMessage(nullptr, M));
}

TEST(Styles, TheSeparatorHasItsNaturalHeightOfShadowOverHighlight)
{
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    Bmp->SetSize(10, 6);
    Bmp->Fill(clWhite);
    const TThemedElementDetails Separator = StyleServices()->GetElementDetails(teMenuPopupSeparator);
    EXPECT_EQ(StyleServices()->GetElementSize(Separator).Y, 2);
    ASSERT_TRUE(StyleServices()->DrawElement(Bmp->Canvas(), Separator, Rect(0, 2, 10, 4)));
    EXPECT_EQ(Bmp->Pixel(5, 2), ColorToRGB(clBtnShadow));
    EXPECT_EQ(Bmp->Pixel(5, 3), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(Bmp->Pixel(5, 4), clWhite);
}
