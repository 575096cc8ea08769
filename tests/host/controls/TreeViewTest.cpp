// The tree view as a user meets it: selection with its veto, deletion moving the selection,
// expansion asking first, caption editing, drags onto nodes, hit tests after scrolling, batched
// repaints, and the node factory that every addition goes through.
#include "orvel/host/controls/ComCtrls.h"
#include "orvel/host/controls/ImgList.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvel {
namespace {

std::string NameOf(const TTreeNode* n) {
    return n ? n->Text() : "none";
}

// A tree whose every node is made by its own factory, and which records its host hooks.
class TRecordingTree : public TTreeView {
public:
    using TTreeView::TTreeView;
    std::vector<std::string> Log;
    int NodesMade = 0;
    bool LoadOnExpand = false;

    using TTreeView::GetHitTestInfoAt;

protected:
    TTreeNode* CreateNode() override {
        ++NodesMade;
        return TTreeView::CreateNode();
    }
    bool CanExpand(TTreeNode* n) override {
        Log.push_back("can expand " + NameOf(n));
        if (LoadOnExpand && !n->GetFirstChild()) {
            if (n->Text() == "Empty")
                n->SetHasChildren(false);
            else
                Items()->AddChild(n, n->Text() + ".1");
        }
        return TTreeView::CanExpand(n);
    }
    bool CanChange(TTreeNode* n) override {
        Log.push_back("can change " + NameOf(n));
        return TTreeView::CanChange(n);
    }
    void Change(TTreeNode* n) override {
        Log.push_back("change " + NameOf(n));
        TTreeView::Change(n);
    }
    bool CanEdit(TTreeNode* n) override {
        Log.push_back("can edit " + NameOf(n));
        return TTreeView::CanEdit(n);
    }
    void Edit(const TTVItem& item) override {
        Log.push_back("edit " + NameOf(item.Node) + " '" + item.Text + "'");
        TTreeView::Edit(item);
    }
    void DoEndDrag(TObject* target, int x, int y) override {
        Log.push_back(std::string("end drag ") + (target == this ? "here " : "none ") +
                      std::to_string(x) + "," + std::to_string(y));
        TTreeView::DoEndDrag(target, x, y);
    }
    void DragCanceled() override {
        Log.push_back("drag canceled");
        TTreeView::DragCanceled();
    }
};

class TreeViewTest : public TUiTest {
protected:
    void SetUp() override {
        TUiTest::SetUp();
        form = std::make_unique<TTestForm>();
        // 200 x 160 with a 2-pixel frame: a client area of 196 x 156, nine full rows.
        tree = &form->Place<TRecordingTree>(10, 10, 200, 160);
        TTreeNodes* items = tree->Items();
        a = items->Add(nullptr, "A");
        a1 = items->AddChild(a, "A1");
        a2 = items->AddChild(a, "A2");
        a3 = items->AddChild(a, "A3");
        b = items->Add(nullptr, "B");
        c = items->Add(nullptr, "C");
    }
    void TearDown() override {
        form.reset();
        TUiTest::TearDown();
    }
    TPoint LabelOf(const TTreeNode* n) const { return center_of(n->DisplayRect(true)); }

    std::unique_ptr<TTestForm> form;
    TRecordingTree* tree = nullptr;
    TTreeNode *a = nullptr, *a1 = nullptr, *a2 = nullptr, *a3 = nullptr, *b = nullptr, *c = nullptr;
};

TEST_F(TreeViewTest, ClickingSelectsThroughCanChangeWhichMayRefuse) {
    tree->OnChanging = [](TObject*, TTreeNode* n, bool& allow) { allow = NameOf(n) != "C"; };
    click(*tree, LabelOf(b));
    EXPECT_EQ(tree->Selected(), b);
    EXPECT_EQ(tree->Log, (std::vector<std::string>{"can change B", "change B"}));

    tree->Log.clear();
    click(*tree, LabelOf(c));
    press_key(*tree, VK_DOWN);
    EXPECT_EQ(tree->Selected(), b);
    EXPECT_EQ(tree->Log, (std::vector<std::string>{"can change C", "can change C"}));

    tree->Log.clear();
    press_key(*tree, VK_UP);
    EXPECT_EQ(tree->Selected(), a);
    EXPECT_EQ(tree->Log, (std::vector<std::string>{"can change A", "change A"}));

    // Clicking the indentation or right of the label selects nothing.
    tree->Log.clear();
    click(*tree, 150, LabelOf(b).Y);
    EXPECT_TRUE(tree->Log.empty());
}

TEST_F(TreeViewTest, DeletingTheSelectedNodeMovesTheSelectionWithoutAsking) {
    a->Expand(false);
    tree->SetSelected(a2);
    tree->Log.clear();

    EXPECT_TRUE(tree->Items()->Contains(a2));
    tree->Items()->Delete(a2); // next sibling
    EXPECT_FALSE(tree->Items()->Contains(a2));
    EXPECT_EQ(tree->Selected(), a3);
    tree->Items()->Delete(a3); // previous sibling
    EXPECT_EQ(tree->Selected(), a1);
    tree->Items()->Delete(a1); // parent
    EXPECT_EQ(tree->Selected(), a);
    EXPECT_FALSE(a->HasChildren());
    tree->Items()->Delete(c); // not selected: no event
    tree->Items()->Delete(a);
    EXPECT_EQ(tree->Selected(), b);
    tree->Items()->Delete(b); // the last node: no selection
    EXPECT_EQ(tree->Selected(), nullptr);
    EXPECT_EQ(tree->Log, (std::vector<std::string>{"change A3", "change A1", "change A", "change B",
                                                   "change none"}));
    EXPECT_EQ(tree->Items()->Count(), 0);
}

TEST_F(TreeViewTest, ClearingRaisesDeletionsButNoSelectionEvents) {
    tree->SetSelected(a2);
    tree->Log.clear();
    std::vector<std::string> deleted;
    tree->OnDeletion = [&](TObject*, TTreeNode* n) { deleted.push_back(n->Text()); };
    tree->Items()->Clear();
    EXPECT_TRUE(tree->Log.empty());
    EXPECT_EQ(tree->Selected(), nullptr);
    EXPECT_EQ(deleted, (std::vector<std::string>{"A1", "A2", "A3", "A", "B", "C"}));
    EXPECT_EQ(tree->Items()->GetFirstNode(), nullptr);
}

TEST_F(TreeViewTest, ExpandingAsksCanExpandWhichMayLoadTheChildren) {
    tree->LoadOnExpand = true;
    TTreeNode* lazy = tree->Items()->Add(nullptr, "Lazy");
    lazy->SetHasChildren(true);
    TTreeNode* empty = tree->Items()->Add(nullptr, "Empty");
    empty->SetHasChildren(true);
    std::vector<std::string> expanded;
    tree->OnExpanded = [&](TObject*, TTreeNode* n) { expanded.push_back(n->Text()); };

    // The button sits in the indentation column left of a top-level node's label.
    TPoint button{9, LabelOf(lazy).Y};
    EXPECT_TRUE(tree->GetHitTestInfoAt(button.X, button.Y).Contains(htOnButton));
    click(*tree, button);
    EXPECT_TRUE(lazy->Expanded());
    ASSERT_NE(lazy->GetFirstChild(), nullptr);
    EXPECT_EQ(tree->GetNodeAt(30, LabelOf(lazy).Y + 16), lazy->GetFirstChild());

    // A node that turns out to have no children stays closed and loses its button.
    click(*tree, 9, LabelOf(empty).Y);
    EXPECT_FALSE(empty->Expanded());
    EXPECT_FALSE(empty->HasChildren());
    EXPECT_EQ(tree->GetHitTestInfoAt(9, LabelOf(empty).Y), THitTests{htOnIndent});

    tree->OnExpanding = [](TObject*, TTreeNode*, bool& allow) { allow = false; };
    a->Expand(false);
    EXPECT_FALSE(a->Expanded());
    EXPECT_EQ(expanded, (std::vector<std::string>{"Lazy"}));
    EXPECT_EQ(tree->Log,
              (std::vector<std::string>{"can expand Lazy", "can expand Empty", "can expand A"}));
}

TEST_F(TreeViewTest, CollapsingMovesAHiddenSelectionToTheCollapsedNode) {
    a->Expand(false);
    click(*tree, LabelOf(a2));
    tree->Log.clear();
    press_key(*tree, VK_LEFT); // from A2: to the parent
    press_key(*tree, VK_LEFT); // A expanded: collapse
    EXPECT_FALSE(a->Expanded());
    press_key(*tree, VK_RIGHT);
    EXPECT_TRUE(a->Expanded());
    press_key(*tree, VK_RIGHT);
    EXPECT_EQ(tree->Selected(), a1);
    tree->Log.clear();
    a->Collapse(false);
    EXPECT_EQ(tree->Selected(), a);
    EXPECT_EQ(tree->Log, (std::vector<std::string>{"can change A", "change A"}));
    // Selecting a hidden node opens its parents.
    tree->SetSelected(a3);
    EXPECT_TRUE(a->Expanded());
    EXPECT_TRUE(a3->IsNodeVisible());
}

TEST_F(TreeViewTest, TheInPlaceEditorHasTheEditingKeysOfAnEditBox) {
    b->SetText("Bravo Charlie");
    click(*tree, LabelOf(b));
    ASSERT_TRUE(b->EditText());
    // The caption opens selected; End leaves it and Backspace takes one character.
    press_key(*tree, VK_END);
    press_key(*tree, VK_BACK);
    EXPECT_EQ(tree->EditorText(), "Bravo Charli");
    EXPECT_EQ(tree->EditorCaret(), 12);
    // Home, Delete; Ctrl+Right to the second word, Shift+End, typing replaces the selection.
    press_key(*tree, VK_HOME);
    press_key(*tree, VK_DELETE);
    press_key(*tree, VK_RIGHT, {ssCtrl});
    press_key(*tree, VK_END, {ssShift});
    type_text(*tree, "Delta");
    EXPECT_EQ(tree->EditorText(), "ravo Delta");
    // Left and Ctrl+Left move the caret without changing the text.
    press_key(*tree, VK_LEFT);
    press_key(*tree, VK_LEFT, {ssCtrl});
    EXPECT_EQ(tree->EditorCaret(), 5);
    press_key(*tree, VK_RETURN);
    EXPECT_FALSE(tree->IsEditing());
    EXPECT_EQ(b->Text(), "ravo Delta");
}

TEST_F(TreeViewTest, CaptionsAreEditedInPlaceThroughCanEditAndEdit) {
    tree->OnEdited = [](TObject*, TTreeNode*, std::string& s) { s += "!"; };
    click(*tree, LabelOf(b));
    tree->Log.clear();
    press_key(*tree, VK_F2);
    ASSERT_TRUE(tree->IsEditing());
    EXPECT_EQ(tree->EditorText(), "B");
    type_caption(*tree, "Bravo");
    EXPECT_FALSE(tree->IsEditing());
    EXPECT_EQ(b->Text(), "Bravo!");
    EXPECT_EQ(tree->Log, (std::vector<std::string>{"can edit B", "edit B 'Bravo'"}));

    // Escape drops the typed text; Backspace corrects it.
    tree->Log.clear();
    ASSERT_TRUE(b->EditText());
    type_text(*tree, "Bx");
    press_key(*tree, VK_BACK);
    EXPECT_EQ(tree->EditorText(), "B");
    press_key(*tree, VK_ESCAPE);
    EXPECT_EQ(b->Text(), "Bravo!");
    EXPECT_EQ(tree->Log, (std::vector<std::string>{"can edit Bravo!"}));

    // Clicking elsewhere ends the edit and keeps the text.
    ASSERT_TRUE(b->EditText());
    type_text(*tree, "Beta");
    click(*tree, LabelOf(c));
    EXPECT_EQ(b->Text(), "Beta!");
    EXPECT_EQ(tree->Selected(), c);

    // A refused or read-only edit does not start; editing a node selects it first.
    tree->OnEditing = [this](TObject*, TTreeNode* n, bool& allow) { allow = n != c; };
    EXPECT_FALSE(c->EditText());
    EXPECT_TRUE(a->EditText());
    EXPECT_EQ(tree->Selected(), a);
    a->EndEdit(true);
    tree->SetReadOnly(true);
    tree->Log.clear();
    EXPECT_FALSE(a->EditText());
    EXPECT_TRUE(tree->Log.empty());
}

TEST_F(TreeViewTest, ANodeDraggedOntoAnotherEndsAtTheTreeWithThePoint) {
    tree->SetDragMode(dmAutomatic);
    tree->OnDragOver = [this](TObject*, TObject* source, int x, int y, TDragState, bool& accept) {
        TTreeNode* under = tree->GetNodeAt(x, y);
        accept = source == tree && under != tree->Selected();
    };
    TPoint from = LabelOf(b);
    TPoint to = LabelOf(c);

    mouse_down(*tree, from.X, from.Y);
    EXPECT_EQ(tree->Selected(), b);
    mouse_move(*tree, to.X, to.Y);
    EXPECT_TRUE(tree->Dragging());
    EXPECT_EQ(tree->DropTarget(), c);
    mouse_move(*tree, from.X, from.Y); // over the dragged node itself: refused
    EXPECT_EQ(tree->DropTarget(), nullptr);
    mouse_move(*tree, to.X, to.Y);
    tree->Log.clear();
    mouse_up(*tree, to.X, to.Y);
    EXPECT_EQ(tree->Log, (std::vector<std::string>{"end drag here " + std::to_string(to.X) + "," +
                                                   std::to_string(to.Y)}));
    EXPECT_EQ(tree->DropTarget(), nullptr);
    EXPECT_EQ(tree->Selected(), b);

    // Escape during the drag cancels it, and the next drag works.
    tree->Log.clear();
    drag_and_cancel(*tree, from, *tree, to);
    ASSERT_GE(tree->Log.size(), 2u);
    EXPECT_EQ(tree->Log[0], "drag canceled");
    EXPECT_EQ(tree->Log[1].rfind("end drag none", 0), 0u);
    EXPECT_EQ(tree->DropTarget(), nullptr);
    tree->Log.clear();
    drag_to(*tree, from, *tree, to);
    ASSERT_FALSE(tree->Log.empty());
    EXPECT_EQ(tree->Log.back().rfind("end drag here", 0), 0u);
}

TEST_F(TreeViewTest, ADropOverTheScrollBarLiesOutsideTheClientArea) {
    for (int i = 0; i < 20; ++i)
        tree->Items()->Add(nullptr, "N" + std::to_string(i));
    EXPECT_EQ(tree->ClientWidth(), 200 - 4 - 16); // the scroll bar takes its width
    tree->SetDragMode(dmAutomatic);
    tree->OnDragOver = [](TObject*, TObject*, int, int, TDragState, bool& accept) {
        accept = true;
    };
    TPoint overScrollBar{tree->ClientWidth() + 5, 40};
    drag_to(*tree, LabelOf(b), *tree, overScrollBar);
    ASSERT_FALSE(tree->Log.empty());
    EXPECT_EQ(tree->Log.back(), "end drag here " + std::to_string(overScrollBar.X) + ",40");
    EXPECT_EQ(tree->GetHitTestInfoAt(overScrollBar.X, 40), THitTests{htToRight});
    EXPECT_EQ(tree->GetNodeAt(overScrollBar.X, 40), nullptr);
}

TEST_F(TreeViewTest, HitTestsFollowTheScrollPositionInsideAndOutsideTheClientArea) {
    tree->Items()->Clear();
    std::vector<TTreeNode*> nodes;
    for (int i = 0; i < 30; ++i)
        nodes.push_back(tree->Items()->Add(nullptr, "N" + std::to_string(i)));
    EXPECT_EQ(tree->VisibleCount(), 9);
    EXPECT_EQ(tree->ClientRect(), Rect(0, 0, 180, 156));

    tree->ScrollBy(5);
    EXPECT_EQ(tree->TopItem(), nodes[5]);
    EXPECT_EQ(tree->GetNodeAt(30, 8), nodes[5]);
    EXPECT_EQ(tree->GetNodeAt(30, 3 * 16 + 1), nodes[8]);
    EXPECT_EQ(nodes[8]->DisplayRect(false), Rect(0, 48, 180, 64));
    EXPECT_EQ(tree->GetHitTestInfoAt(22, 8), (THitTests{htOnItem, htOnLabel}));
    EXPECT_EQ(tree->GetHitTestInfoAt(5, 8), THitTests{htOnIndent});
    EXPECT_EQ(tree->GetHitTestInfoAt(170, 8), THitTests{htOnRight});

    EXPECT_EQ(tree->GetHitTestInfoAt(-1, 8), THitTests{htToLeft});
    EXPECT_EQ(tree->GetHitTestInfoAt(180, 8), THitTests{htToRight});
    EXPECT_EQ(tree->GetHitTestInfoAt(30, -1), THitTests{htAbove});
    EXPECT_EQ(tree->GetHitTestInfoAt(30, 156), THitTests{htBelow});
    EXPECT_EQ(tree->GetHitTestInfoAt(-3, 200), (THitTests{htToLeft, htBelow}));
    EXPECT_EQ(tree->GetNodeAt(-1, 8), nullptr);

    // Scrolling stops where the last row fills the client area.
    tree->ScrollBy(100);
    EXPECT_EQ(tree->TopItem(), nodes[21]);
    EXPECT_EQ(tree->GetNodeAt(30, 8 * 16 + 1), nodes[29]);
    EXPECT_EQ(tree->GetNodeAt(30, 150), nullptr);
    EXPECT_EQ(tree->GetHitTestInfoAt(30, 150), THitTests{htNowhere});

    // Selecting a node out of view scrolls it in.
    tree->ScrollBy(-100);
    tree->SetSelected(nodes[20]);
    EXPECT_EQ(tree->TopItem(), nodes[12]);
    press_key(*tree, VK_END);
    EXPECT_EQ(tree->Selected(), nodes[29]);
    EXPECT_EQ(tree->TopItem(), nodes[21]);

    // Deleting the top row keeps a row on top.
    tree->Items()->Delete(nodes[21]);
    EXPECT_EQ(tree->TopItem(), nodes[20]);
}

TEST_F(TreeViewTest, NestedUpdatesRepaintOnceAtTheOutermostEnd) {
    tree->Update();
    int invalidated = tree->InvalidateCount();
    int painted = tree->PaintCount();
    tree->Items()->BeginUpdate();
    tree->Items()->BeginUpdate();
    for (int i = 0; i < 50; ++i)
        tree->Items()->AddChild(b, "x");
    b->Expand(false);
    tree->Items()->EndUpdate();
    EXPECT_EQ(tree->InvalidateCount(), invalidated);
    tree->Items()->EndUpdate();
    EXPECT_EQ(tree->InvalidateCount(), invalidated + 1);
    tree->Update();
    EXPECT_EQ(tree->PaintCount(), painted + 1);
    tree->Items()->EndUpdate(); // unbalanced: ignored
    EXPECT_EQ(tree->InvalidateCount(), invalidated + 1);

    // Painting asks for the images of the rows shown only.
    int asked = 0;
    tree->OnGetImageIndex = [&](TObject*, TTreeNode*) { ++asked; };
    tree->Repaint();
    EXPECT_EQ(asked, tree->VisibleCount() + 1);
}

TEST_F(TreeViewTest, EveryNodeComesFromTheFactoryAndMovesWithItsBranch) {
    EXPECT_EQ(tree->NodesMade, 6);
    TTreeNodes* items = tree->Items();
    TTreeNode* first = items->AddFirst(b, "First");
    TTreeNode* child = items->AddChildFirst(a, "A0");
    TTreeNode* inserted = items->Insert(c, "Before C");
    items->AddChildObject(c, "C1", this);
    EXPECT_EQ(tree->NodesMade, 10);
    EXPECT_EQ(items->GetFirstNode(), first);
    EXPECT_EQ(a->GetFirstChild(), child);
    EXPECT_EQ(inserted->GetNextSibling(), c);
    EXPECT_EQ(c->GetFirstChild()->Data(), this);
    EXPECT_EQ(items->Count(), 10);
    EXPECT_EQ(items->Item(2)->Text(), "A0");

    a1->MoveTo(c, naAddChild);
    EXPECT_EQ(a1->Parent(), c);
    EXPECT_EQ(c->GetLastChild(), a1);
    a->MoveTo(a2, naAddChild); // into its own branch: refused
    EXPECT_EQ(a->Parent(), nullptr);
    c->MoveTo(nullptr, naAddChildFirst);
    EXPECT_EQ(items->GetFirstNode(), c);
    EXPECT_EQ(c->Count(), 2); // the branch moved along
    a2->MoveTo(b, naInsert);
    EXPECT_EQ(b->GetPrevSibling(), a2);
    EXPECT_EQ(items->Count(), 10);

    // Depth-first order and ancestry.
    std::vector<std::string> order;
    for (TTreeNode* n = items->GetFirstNode(); n; n = n->GetNext())
        order.push_back(n->Text());
    EXPECT_EQ(order, (std::vector<std::string>{"C", "C1", "A1", "First", "A", "A0", "A3", "A2", "B",
                                               "Before C"}));
    EXPECT_TRUE(a1->HasAsParent(c));
    EXPECT_FALSE(c->HasAsParent(c));

    TTreeNode copy(items);
    a3->SetImageIndex(4);
    a3->SetStateIndex(2);
    copy.Assign(a3);
    EXPECT_EQ(copy.Text(), "A3");
    EXPECT_EQ(copy.ImageIndex(), 4);
    EXPECT_EQ(copy.StateIndex(), 2);
}

TEST_F(TreeViewTest, NodesAreSmallAndDeepBranchesGoWithoutRecursion) {
    EXPECT_LE(sizeof(TTreeNode), 128u);
    TTreeNode* n = tree->Items()->Add(nullptr, "deep");
    for (int i = 0; i < 100000; ++i)
        n = tree->Items()->AddChild(n, "");
    EXPECT_EQ(n->Level(), 100000);
    tree->Items()->Delete(tree->Items()->GetLastNode());
    EXPECT_EQ(tree->Items()->Count(), 6);
}

TEST_F(TreeViewTest, SortingByTextKeepsNewAndRenamedNodesInPlace) {
    tree->SetSortType(stText);
    std::vector<std::string> top;
    tree->Items()->Add(nullptr, "Aa");
    b->SetText("0");
    for (TTreeNode* n = tree->Items()->GetFirstNode(); n; n = n->GetNextSibling())
        top.push_back(n->Text());
    EXPECT_EQ(top, (std::vector<std::string>{"0", "A", "Aa", "C"}));

    tree->SetSortType(stNone);
    tree->OnCompare = [](TObject*, TTreeNode* x, TTreeNode* y, int, int& result) {
        result = CompareText(y->Text(), x->Text()); // reverse
    };
    a->AlphaSort();
    EXPECT_EQ(a->GetFirstChild()->Text(), "A3");
}

TEST_F(TreeViewTest, ImageListsAreForgottenWhenDestroyed) {
    auto* images = new TImageList(&form->Form());
    tree->SetImages(images);
    tree->SetStateImages(images);
    // Images and state images take room before the label.
    EXPECT_EQ(tree->GetHitTestInfoAt(19 + 3, LabelOf(b).Y), (THitTests{htOnItem, htOnIcon}));
    b->SetStateIndex(0);
    EXPECT_EQ(tree->GetHitTestInfoAt(19 + 3, LabelOf(b).Y), (THitTests{htOnItem, htOnStateIcon}));
    images->Free();
    EXPECT_EQ(tree->Images(), nullptr);
    EXPECT_EQ(tree->StateImages(), nullptr);
}

} // namespace
} // namespace orvel
