// A form with a data-aware list view in report style over the ITEMS table (five records, codes
// 10..50, names Item 1..Item 5), bound by key ID with the name, status, image and two columns.
#pragma once

#include "orvel/listview/DataBaseListView.h"
#include "tests/support/data/DataFixtures.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace orvel::test {

class ListViewFixture : public TUiTest {
protected:
    void SetUp() override {
        TUiTest::SetUp();
        db = std::make_unique<TTestDatabase>();
        table = db->OpenTable("ITEMS");
        form = std::make_unique<TTestForm>();
        source = new TDataSource(&form->Form());
        source->SetDataSet(table.get());
        lv = MakeView(10, 10);
    }
    void TearDown() override {
        form.reset();
        table.reset();
        db.reset();
        TUiTest::TearDown();
    }

    // A configured view on the form; bound (and loaded once messages run) when bind is set.
    TDBListView* MakeView(int left, int top, bool bind = true) {
        auto& view = form->Place<TDBListView>(left, top, 300, 200);
        view.SetViewStyle(vsReport);
        view.Columns()->Add()->SetWidth(100);
        view.SetKeyFields("ID");
        view.SetNameField("NAME");
        view.SetStatusIDField("STATUS_ID");
        view.SetImageIDField("IMAGE_ID");
        view.SetColumnsFields("CODE;NAME");
        if (bind) view.SetDataSource(source);
        return &view;
    }

    std::vector<std::string> Captions(const TDBCustomListView* view = nullptr) const {
        if (!view) view = lv;
        std::vector<std::string> out;
        for (int i = 0; i < view->Items()->Count(); ++i)
            out.push_back(view->Items()->Item(i)->Caption());
        return out;
    }
    TDBListItem* ItemAt(int i) const { return static_cast<TDBListItem*>(lv->Items()->Item(i)); }
    TPoint RowOf(int i) const { return center_of(ItemAt(i)->DisplayRect(drLabel)); }
    int CurrentID() const { return table->FieldByName("ID")->GetAsInteger(); }
    std::string FocusedCaption() const {
        return lv->ItemFocused() ? lv->ItemFocused()->Caption() : std::string("(none)");
    }
    static Variant Key(int id) { return VarArrayOf({Variant(id)}); }
    int ReloadsQueued() const {
        int n = 0;
        for (const TMsg& m : Application().QueuedMessages())
            if (m.Message == WM_DBLV_RELOAD) ++n;
        return n;
    }

    std::unique_ptr<TTestDatabase> db;
    TOwned<TTable> table;
    std::unique_ptr<TTestForm> form;
    TDataSource* source = nullptr;
    TDBListView* lv = nullptr;
};

} // namespace orvel::test
