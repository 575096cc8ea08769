// Menu items: radio groups, clicks, the item tree and who frees it, captions without markers.
#include "orvel/host/controls/Menus.h"
#include "orvel/host/core/Exceptions.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvel {
namespace {

int gLiveItems = 0;

class TCountedItem : public TMenuItem {
public:
    explicit TCountedItem(TComponent* owner) : TMenuItem(owner) { ++gLiveItems; }
    ~TCountedItem() override { --gLiveItems; }
};

// A parent with four radio children in group 1, the way a view menu is built.
TMenuItem* BuildRadioMenu(TComponent* owner, TNotifyEvent onClick) {
    auto* parent = new TCountedItem(owner);
    parent->SetCaption("&View");
    const char* captions[] = {"L&arge Icons", "S&mall Icons", "&List", "&Details"};
    for (int i = 0; i < 4; ++i) {
        auto* child = new TCountedItem(owner);
        child->SetCaption(captions[i]);
        child->SetTag(i);
        child->SetRadioItem(true);
        child->SetGroupIndex(1);
        child->OnClick = onClick;
        if (i == 3) child->SetChecked(true);
        parent->Add(child);
    }
    return parent;
}

using MenusTest = TUiTest;

TEST_F(MenusTest, RadioItemsOfAGroupKeepOneCheckAndClicksReportTheItem) {
    TComponent owner(nullptr);
    std::vector<int> tags;
    TMenuItem* view = BuildRadioMenu(
        &owner, [&](TObject* sender) { tags.push_back(static_cast<TMenuItem*>(sender)->Tag()); });
    ASSERT_EQ(view->Count(), 4);
    EXPECT_TRUE(view->Items(3)->Checked());

    view->Items(1)->SetChecked(true);
    EXPECT_FALSE(view->Items(3)->Checked());
    EXPECT_TRUE(view->Items(1)->Checked());

    choose(*view, "small icons");
    EXPECT_EQ(tags, (std::vector<int>{1}));
    view->Items(0)->SetAutoCheck(true);
    view->Items(0)->Click();
    EXPECT_TRUE(view->Items(0)->Checked());
    EXPECT_FALSE(view->Items(1)->Checked());
    view->Items(2)->SetEnabled(false);
    view->Items(2)->Click();
    EXPECT_EQ(tags, (std::vector<int>{1, 0}));

    // A radio item of another group is left alone.
    view->Items(2)->SetGroupIndex(2);
    view->Items(2)->SetChecked(true);
    EXPECT_TRUE(view->Items(0)->Checked());
    EXPECT_THROW(view->Items(9), EListError);
    EXPECT_EQ(view->Find("&list"), view->Items(2));
    EXPECT_EQ(view->Items(2)->MenuIndex(), 2);
}

TEST_F(MenusTest, ItemsGoWithTheirOwnerAndWithTheParentThatHoldsThem) {
    {
        TComponent owner(nullptr);
        BuildRadioMenu(&owner, nullptr);
        EXPECT_EQ(gLiveItems, 5);
    }
    EXPECT_EQ(gLiveItems, 0);

    // Without an owner a parent item frees the children it holds; a freed child leaves.
    auto* parent = new TCountedItem(nullptr);
    auto* a = new TCountedItem(nullptr);
    auto* b = new TCountedItem(nullptr);
    parent->Add(a);
    parent->Add(b);
    a->Free();
    EXPECT_EQ(parent->Count(), 1);
    EXPECT_EQ(parent->Items(0), b);
    parent->Free();
    EXPECT_EQ(gLiveItems, 0);

    // A popup menu frees its entries; an item cannot go under itself.
    auto* menu = new TPopupMenu(nullptr);
    auto* top = new TCountedItem(nullptr);
    auto* sub = new TCountedItem(nullptr);
    menu->Items()->Add(top);
    top->Add(sub);
    EXPECT_EQ(sub->GetParentMenu(), menu);
    EXPECT_EQ(top->GetParentComponent(), menu);
    EXPECT_THROW(sub->Add(top), EInvalidOperation);
    top->Remove(sub);
    EXPECT_EQ(sub->Parent(), nullptr);
    top->Insert(0, sub);
    menu->Free();
    EXPECT_EQ(gLiveItems, 0);
}

TEST_F(MenusTest, APopupIsRecordedWithItsPointAndComponent) {
    TComponent owner(nullptr);
    auto* menu = new TPopupMenu(&owner);
    auto* clicked = new TComponent(&owner);
    menu->SetPopupComponent(clicked);
    menu->Popup(120, 45);
    EXPECT_EQ(LastPopup().Menu, menu);
    EXPECT_EQ(LastPopup().Point, Point(120, 45));
    EXPECT_EQ(menu->PopupCount(), 1);
    clicked->Free();
    EXPECT_EQ(menu->PopupComponent(), nullptr);
}

TEST_F(MenusTest, HotkeyMarkersAreStrippedFromCaptions) {
    EXPECT_EQ(StripHotkey("&View"), "View");
    EXPECT_EQ(StripHotkey("Save && &Exit"), "Save & Exit");
    EXPECT_EQ(StripHotkey("End&"), "End");
}

} // namespace
} // namespace orvel
