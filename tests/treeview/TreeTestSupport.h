// What the data-aware tree's tests share: a form with a tree bound to a table of the test
// database through a data source, a text picture of the tree, and the user's ways of reaching a
// node (its row, its expand button).
#pragma once

#include "orvel/host/controls/ImgList.h"
#include "orvel/treeview/DBCustomTreeView.h"
#include "tests/support/data/DataFixtures.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace orvel::test {

// The tree as text: each node's caption, "+" when it shows an expand button, its loaded
// children in parentheses; siblings separated by ", ".
inline std::string Picture(const TTreeNode* first) {
    std::string text;
    for (const TTreeNode* n = first; n; n = n->GetNextSibling()) {
        if (!text.empty()) text += ", ";
        text += n->Text();
        if (n->HasChildren()) text += "+";
        if (n->GetFirstChild()) text += " (" + Picture(n->GetFirstChild()) + ")";
    }
    return text;
}

// One node and its loaded branch, without its siblings.
inline std::string Branch(const TTreeNode* node) {
    std::string text = node->Text() + (node->HasChildren() ? "+" : "");
    if (node->GetFirstChild()) text += " (" + Picture(node->GetFirstChild()) + ")";
    return text;
}

inline std::string Picture(const TDBCustomTreeView& tree) {
    return Picture(tree.Items()->GetFirstNode());
}

inline TDBTreeNode* NodeNamed(const TDBCustomTreeView& tree, const std::string& caption) {
    for (TTreeNode* n = tree.Items()->GetFirstNode(); n; n = n->GetNext())
        if (n->Text() == caption) return static_cast<TDBTreeNode*>(n);
    return nullptr;
}

// The key vector of a one-field key.
inline Variant Key(int id) {
    return VarArrayOf({Variant(id)});
}

// The middle of a node's caption, where a click selects it and a drag picks it up.
inline TPoint LabelOf(const TTreeNode* node) {
    return center_of(node->DisplayRect(true));
}

inline std::string SelectedText(const TDBCustomTreeView& tree) {
    return tree.Selected() ? tree.Selected()->Text() : std::string("(none)");
}

// A tree on a shown form, bound to a table of a fresh test database.
class TreeTest : public TUiTest {
protected:
    void SetUp() override {
        TUiTest::SetUp();
        db = std::make_unique<TTestDatabase>();
        form = std::make_unique<TTestForm>();
        // 300 x 400 with a 2-pixel frame: rows of 16 pixels.
        tree = &form->Place<TDBTreeView>(0, 0, 300, 400);
        source = new TDataSource(&form->Form());
    }

    void TearDown() override {
        form.reset();
        table.reset();
        db.reset();
        TUiTest::TearDown();
    }

    // ORGANIZATION (or treeTable) on its PARENT_ID index, the tree configured for it (not yet
    // bound).
    void OpenOrganization(TLoadStyle style = lsOneAhead) {
        table = db->OpenTable(treeTable, "PARENT_ID");
        // The other tables' IDs are not row ids, which the engine would give: the application
        // gives the next one to every new record.
        if (treeTable != "ORGANIZATION")
            table->SetOnNewRecord([this](TDataSet* ds) {
                Variant last = db->Scalar("SELECT MAX(ID) FROM " + treeTable);
                ds->FieldByName("ID")->SetAsInteger(last.IsNull() ? 1 : last.AsInteger() + 1);
            });
        tree->SetLoadStyle(style);
        tree->SetNameField("NAME");
        tree->SetStatusIDField("STATUS_ID");
        tree->SetImageIDField("IMAGE_ID");
        tree->SetRelations("PARENT_ID->ID");
        tree->SetTopParentKey("Null");
    }

    // Binds the tree and lets the message loop fill it.
    void Bind() {
        source->SetDataSet(table.get());
        tree->SetDataSource(source);
        run_messages();
    }

    int CurrentId() { return table->FieldByName("ID")->GetAsInteger(); }
    // What the database holds for a record of ORGANIZATION ("(null)" for a null parent).
    std::string StoredName(int id) {
        return db->Scalar("SELECT NAME FROM " + treeTable + " WHERE ID = " + std::to_string(id))
            .AsString();
    }
    std::string StoredParent(int id) {
        Variant v =
            db->Scalar("SELECT PARENT_ID FROM " + treeTable + " WHERE ID = " + std::to_string(id));
        return v.IsNull() ? "(null)" : v.AsString();
    }
    // Nothing of a step of the tree is left over: counter, disabled controls, range, edit state.
    void ExpectSettled() {
        EXPECT_FALSE(tree->IsStopped());
        EXPECT_FALSE(table->ControlsDisabled());
        EXPECT_FALSE(table->RangeApplied());
        EXPECT_EQ(table->State(), dsBrowse);
    }

    // Clicks the expand button of a shown node.
    void ClickButton(TTreeNode* node) {
        ASSERT_NE(node, nullptr);
        TRect row = node->DisplayRect(false);
        ASSERT_FALSE(row.IsEmpty()) << node->Text() << " has no row";
        int x = (node->Level() + 1) * tree->Indent() - tree->Indent() / 2;
        click(*tree, x, (row.Top + row.Bottom) / 2);
    }

    // An image list of count 16 x 16 images, owned by the form.
    TImageList* ImagesOf(int count) {
        auto* list = new TImageList(&form->Form());
        TBitmap strip(16 * count, 16);
        list->Add(&strip, nullptr);
        return list;
    }

    // The table of the organisation's records: ORGANIZATION (keyed by its row id), PLACES
    // (without row id) or DIVISIONS (a text key).
    std::string treeTable = "ORGANIZATION";
    std::unique_ptr<TTestDatabase> db;
    std::unique_ptr<TTestForm> form;
    TOwned<TTable> table;
    TDataSource* source = nullptr;
    TDBTreeView* tree = nullptr;
};

} // namespace orvel::test
