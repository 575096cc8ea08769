// The view-style menu fragment: built with its captions and marks, clicked, freed with its owner.
#include "orvel/listview/ListViewMenus.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

namespace orvel {
namespace {

TEST(ViewMenuTest, BuildsFourRadioItemsWithTheChosenStyleChecked) {
    TOwned<TComponent> owner(new TComponent(nullptr));
    TObject* sender = nullptr;
    TMenuItem* view = ViewMenu(owner.get(), vsReport, [&](TObject* s) { sender = s; });

    EXPECT_EQ(view->Caption(), "&View");
    EXPECT_FALSE(view->OnClick);
    ASSERT_EQ(view->Count(), 4);
    const char* captions[] = {"L&arge Icons", "S&mall Icons", "&List", "&Details"};
    for (int i = 0; i < 4; ++i) {
        TMenuItem* item = view->Items(i);
        EXPECT_EQ(item->Caption(), captions[i]);
        EXPECT_EQ(item->Tag(), i);
        EXPECT_TRUE(item->RadioItem());
        EXPECT_EQ(item->GroupIndex(), 1);
        EXPECT_EQ(item->Checked(), i == vsReport);
    }

    choose(*view, "Small Icons");
    ASSERT_EQ(sender, view->Items(1));
    EXPECT_EQ(static_cast<TMenuItem*>(sender)->Tag(), vsSmallIcon);
    EXPECT_TRUE(view->Items(3)->Checked()) << "the marks are the handler's to move";
}

TEST(ViewMenuTest, TheFragmentGoesWithItsOwner) {
    TOwned<TPopupMenu> menu(new TPopupMenu(nullptr));
    TOwned<TComponent> owner(new TComponent(nullptr));
    menu->Items()->Add(ViewMenu(owner.get(), vsIcon, nullptr));
    EXPECT_EQ(owner->ComponentCount(), 5);
    EXPECT_TRUE(menu->Items()->Items(0)->Items(0)->Checked());
    owner.reset();
    EXPECT_EQ(menu->Items()->Count(), 0);
}

} // namespace
} // namespace orvel
