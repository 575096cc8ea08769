// Configuring the tree and what its nodes show: relation texts and their validation, root
// expressions, the image defaults, a record's changes reaching the selected node, the nodes'
// keys and bookmarks, the key index against a walk of the tree, the published properties, and
// the delete hooks the tree places on its dataset.
#include "tests/support/locale/CommaLocale.h"
#include "tests/treeview/TreeTestSupport.h"

#include <cstdint>
#include <vector>

namespace orvel::test {
namespace {

using TreeConfigTest = TreeTest;

std::vector<std::string> Items(const TStrings& list) {
    return list.ToVector();
}

TEST(TreeTexts, SplitLineAndFormListsCutWithoutTrimmingTheHalves) {
    TStringList items, left, right;
    SplitLine(" PARENT_ID->ID ; ;X -> Y;NOARROW;", items);
    EXPECT_EQ(Items(items), (std::vector<std::string>{"PARENT_ID->ID", "", "X -> Y", "NOARROW"}));
    FormLists(items, left, right);
    EXPECT_EQ(Items(left), (std::vector<std::string>{"PARENT_ID", "", "X ", ""}));
    EXPECT_EQ(Items(right), (std::vector<std::string>{"ID", "", " Y", "OARROW"}));
    SplitLine("", items);
    EXPECT_EQ(items.Count(), 0);
}

TEST_F(TreeConfigTest, RelationPairsThatDoNotFitTheTableAreDropped) {
    OpenOrganization();
    Bind();
    auto links = [&] {
        std::string keys, parents;
        tree->KeyLinks(keys);
        tree->ParentLinks(parents);
        return keys + " | " + parents;
    };
    EXPECT_EQ(links(), "ID | PARENT_ID;");

    tree->SetRelations("MISSING->ID;PARENT_ID->ID");
    EXPECT_EQ(links(), "ID | PARENT_ID;");
    EXPECT_EQ(Items(tree->KeyFieldList()), std::vector<std::string>{"ID"});

    // The blanks belong to the names: no pair is left, which the tree refuses, keeping the
    // relations it had.
    EXPECT_THROW(tree->SetRelations("PARENT_ID -> ID"), ETreeViewError);
    EXPECT_EQ(tree->GetLinksFields(), "MISSING->ID;PARENT_ID->ID");
    EXPECT_EQ(links(), "ID | PARENT_ID;");

    tree->SetRelations("PARENT_ID->ID;STATUS_ID->id;IMAGE_ID->NAME");
    EXPECT_EQ(links(), "ID;NAME | PARENT_ID;IMAGE_ID;");
    EXPECT_EQ(Items(tree->ParentFieldList()), (std::vector<std::string>{"PARENT_ID", "IMAGE_ID"}));
}

TEST_F(TreeConfigTest, ARelationTextWithNoPairOfTheTablesFieldsIsRefusedAtActivation) {
    OpenOrganization();
    // Without a single pair every key would be empty and each level one node: the binding
    // fails with a message naming each wrong part, and no node is left.
    tree->SetRelations("garbage;PARENT_ID->NOSUCH; ;NOSUCH->ID");
    source->SetDataSet(table.get());
    try {
        tree->SetDataSource(source);
        FAIL() << "no error";
    } catch (const ETreeViewError& e) {
        EXPECT_STREQ(e.what(), "LinksFields 'garbage;PARENT_ID->NOSUCH; ;NOSUCH->ID' names no "
                               "pair of the dataset's fields: 'garbage' is not PARENT->KEY; "
                               "'PARENT_ID->NOSUCH': no field 'NOSUCH'; 'NOSUCH->ID': no field "
                               "'NOSUCH'");
    }
    run_messages();
    EXPECT_EQ(tree->Items()->Count(), 0);
    std::string keys = "?";
    tree->KeyLinks(keys);
    EXPECT_EQ(keys, "");

    // A fitting text binds the tree as usual; an empty one is no relation text at all and is
    // not refused.
    tree->SetRelations("PARENT_ID->ID");
    run_messages();
    EXPECT_EQ(Picture(*tree), "Head office+ (Sales), Branch office+ (Depot)");
    EXPECT_NO_THROW(tree->SetRelations(""));
}

TEST_F(TreeConfigTest, RootExpressionsAndTheirConversions) {
    EXPECT_EQ(tree->GetKeyFieldsCount(), 0);
    const Variant& root = tree->GetRootKeyValues();

    tree->SetTopParentKey("nULL");
    ASSERT_EQ(tree->GetKeyFieldsCount(), 1);
    EXPECT_TRUE(root[0].IsNull());

    tree->SetTopParentKey("'it''s';12;2024-03-31;1.5");
    ASSERT_EQ(tree->GetKeyFieldsCount(), 4);
    EXPECT_EQ(root[0].VarType(), varString);
    EXPECT_EQ(root[0].AsString(), "it's");
    EXPECT_EQ(root[1].VarType(), varInteger);
    EXPECT_EQ(root[1].AsInteger(), 12);
    EXPECT_EQ(root[2].VarType(), varDate);
    EXPECT_EQ(root[2].AsDateTime(), EncodeDate(2024, 3, 31));
    EXPECT_EQ(root[3].VarType(), varDouble);

    // A bad item names itself and keeps the previous root key.
    try {
        tree->SetTopParentKey("1;one");
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Wrong root expression has been specified: 'one'");
    }
    EXPECT_EQ(tree->GetRootKey(), "'it''s';12;2024-03-31;1.5");
    EXPECT_EQ(tree->GetKeyFieldsCount(), 4);

    tree->SetTopParentKey("");
    EXPECT_EQ(tree->GetKeyFieldsCount(), 0);
}

// A root key is a stored text: the user's decimal-comma locale does not change how it reads.
TEST_F(TreeConfigTest, RootKeyNumbersReadTheSameUnderADecimalCommaLocale) {
    ORVEL_REQUIRE_COMMA_LOCALE(locale);
    tree->SetTopParentKey("1.5;-2e3");
    const Variant& root = tree->GetRootKeyValues();
    ASSERT_EQ(tree->GetKeyFieldsCount(), 2);
    EXPECT_EQ(root[0].VarType(), varDouble);
    EXPECT_DOUBLE_EQ(root[0].AsDouble(), 1.5);
    EXPECT_DOUBLE_EQ(root[1].AsDouble(), -2000.0);
    EXPECT_THROW(tree->SetTopParentKey("1,5"), EConvertError);
}

TEST_F(TreeConfigTest, TheSameRootKeyInOtherWordsChangesNothing) {
    OpenOrganization();
    Bind();
    tree->SetTopParentKey("NULL");
    EXPECT_EQ(tree->GetRootKey(), "Null");
    EXPECT_EQ(Application().QueuedCount(), 0u);

    // A number is a 32-bit integer key, which only 32-bit integer parent fields equal.
    tree->SetTopParentKey("1");
    EXPECT_EQ(Application().QueuedCount(), 1u);
    run_messages();
    EXPECT_EQ(Picture(*tree), "Sales+ (North), Engineering+ (Research)");
}

TEST_F(TreeConfigTest, ImageDefaultsCountOnlyWhenTheListHasThatImage) {
    EXPECT_EQ(tree->GetDefState(), -1);
    tree->SetDefState(5);
    tree->SetStateImages(ImagesOf(3));
    EXPECT_EQ(tree->GetDefState(), -1);
    tree->SetDefState(2);
    EXPECT_EQ(tree->GetDefState(), 2);
    tree->SetDefImage(1);
    EXPECT_EQ(tree->GetDefImage(), -1); // no image list
    tree->SetImages(ImagesOf(2));
    EXPECT_EQ(tree->GetDefImage(), 1);

    // Without an image field every node shows the default image, selected or not; a Null status
    // shows the default state image.
    OpenOrganization(lsAllAhead);
    tree->SetImageIDField("");
    Bind();
    ClickButton(NodeNamed(*tree, "Head office"));
    TDBTreeNode* north = NodeNamed(*tree, "North");
    EXPECT_EQ(north->StateIndex(), 2);
    EXPECT_EQ(NodeNamed(*tree, "South")->StateIndex(), 1);
    for (TTreeNode* n = tree->Items()->GetFirstNode(); n; n = n->GetNext()) {
        EXPECT_EQ(n->ImageIndex(), 1) << n->Text();
        EXPECT_EQ(n->SelectedIndex(), 1) << n->Text();
    }

    // With too few state images the default reads as none.
    tree->SetStateImages(ImagesOf(2));
    ASSERT_TRUE(table->Locate("ID", Variant(6)));
    tree->DoReload();
    EXPECT_EQ(NodeNamed(*tree, "Research")->StateIndex(), -1);
}

TEST_F(TreeConfigTest, ChangesOfTheCurrentRecordReachOnlyTheSelectedNode) {
    OpenOrganization();
    ASSERT_TRUE(table->Locate("ID", Variant(3)));
    Bind();
    TDBTreeNode* north = NodeNamed(*tree, "North");
    ASSERT_EQ(tree->Selected(), north);
    std::string before = Picture(*tree);

    table->Edit();
    table->FieldByName("NAME")->SetAsString("Nord");
    table->FieldByName("STATUS_ID")->SetAsInteger(4);
    table->FieldByName("IMAGE_ID")->SetAsInteger(7);
    EXPECT_EQ(north->Text(), "Nord");
    EXPECT_EQ(north->StateIndex(), 4);
    EXPECT_EQ(north->ImageIndex(), 7);
    EXPECT_EQ(north->SelectedIndex(), 7);
    EXPECT_EQ(NodeNamed(*tree, "South")->StateIndex(), 1);
    north->SetText("Northern");
    tree->UpdateName(north);
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "Northern");

    // A new key value gives the node a new identity and drops its bookmark.
    ASSERT_FALSE(north->GetBookMark().IsNull());
    table->FieldByName("ID")->SetAsInteger(33);
    EXPECT_TRUE(north->IDEquals2(Key(33)));
    EXPECT_TRUE(north->GetBookMark().IsNull());
    EXPECT_EQ(tree->FindNode(Key(33)), north);
    EXPECT_EQ(tree->FindNode(Key(3)), nullptr);
    table->Cancel();
}

TEST_F(TreeConfigTest, ASetupHandlerFailureIsCannotSetupANode) {
    OpenOrganization();
    Bind();
    tree->SetOnNodeSetup([](TObject*, TTreeNode*, TDataSet*) { throw EAbort("quiet"); });
    try {
        tree->SetupNode(NodeNamed(*tree, "Head office"));
        FAIL() << "no error";
    } catch (const ETreeViewError& e) {
        EXPECT_STREQ(e.what(), "Cannot setup a node");
    }
}

TEST_F(TreeConfigTest, NodesFindTheirRecordsByBookmarkOrByKey) {
    OpenOrganization();
    ASSERT_TRUE(table->Locate("ID", Variant(3)));
    Bind();
    TDBTreeNode* north = NodeNamed(*tree, "North");
    TDBTreeNode* south = NodeNamed(*tree, "South");

    // A copy holds its own bookmark: neither node's later change reaches the other.
    south->Assign(north);
    EXPECT_EQ(south->Text(), "North");
    EXPECT_TRUE(south->IDEquals2(Key(3)));
    EXPECT_EQ(south->GetBookMark(), north->GetBookMark());
    north->SetID(Key(3));
    EXPECT_TRUE(north->GetBookMark().IsNull());
    EXPECT_TRUE(table->BookmarkValid(south->GetBookMark()));
    EXPECT_EQ(tree->FindNode(Key(3)), north); // the first in depth-first order
    EXPECT_EQ(tree->FindInChildren(north->Parent(), Key(3)), north);
    south->SetID(Key(4));

    // Without a valid bookmark the record is found by key and the node keeps the new bookmark.
    table->First();
    tree->CheckNode(north);
    EXPECT_EQ(CurrentId(), 3);
    EXPECT_TRUE(table->BookmarkValid(north->GetBookMark()));

    // A record gone from the table takes its node and branch with it.
    TDBTreeNode* sales = NodeNamed(*tree, "Sales");
    db->Execute("DELETE FROM ORGANIZATION WHERE ID = 2");
    tree->CheckNode(sales);
    EXPECT_EQ(NodeNamed(*tree, "Sales"), nullptr);
    EXPECT_EQ(NodeNamed(*tree, "North"), nullptr);
    EXPECT_EQ(tree->FindNode(Key(3)), nullptr);
}

// FindNode and FindInChildren answer from the key index; a walk of the tree must agree with them
// whatever happened to the nodes.
TEST_F(TreeConfigTest, TheKeyIndexAgreesWithAWalkOfTheTree) {
    TTreeNodes* items = tree->Items();
    uint32_t seed = 12345;
    auto random = [&](int n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % static_cast<uint32_t>(n));
    };
    auto nodeAt = [&](int i) -> TDBTreeNode* {
        return items->Count() ? static_cast<TDBTreeNode*>(items->Item(i % items->Count()))
                              : nullptr;
    };
    auto check = [&](int step) {
        for (int k = 0; k < 6; ++k) {
            Variant key = Key(k);
            TDBTreeNode* walked = nullptr;
            for (TTreeNode* n = items->GetFirstNode(); n && !walked; n = n->GetNext())
                if (static_cast<TDBTreeNode*>(n)->IDEquals2(key))
                    walked = static_cast<TDBTreeNode*>(n);
            ASSERT_EQ(tree->FindNode(key), walked) << "step " << step << " key " << k;
            for (TTreeNode* parent : {static_cast<TTreeNode*>(nullptr), items->GetFirstNode()}) {
                TDBTreeNode* child = nullptr;
                TTreeNode* first = parent ? parent->GetFirstChild() : items->GetFirstNode();
                for (TTreeNode* n = first; n && !child; n = n->GetNextSibling())
                    if (static_cast<TDBTreeNode*>(n)->IDEquals2(key))
                        child = static_cast<TDBTreeNode*>(n);
                ASSERT_EQ(tree->FindInChildren(parent, key), child) << "step " << step;
            }
        }
    };
    for (int step = 0; step < 600; ++step) {
        TDBTreeNode* a = nodeAt(random(1000));
        TDBTreeNode* b = nodeAt(random(1000));
        switch (random(7)) {
        case 0:
        case 1: {
            auto* n = static_cast<TDBTreeNode*>(random(3) == 0 ? items->Add(nullptr, "")
                                                               : items->AddChild(a, ""));
            n->SetID(Key(random(6)));
            break;
        }
        case 2:
            if (a) items->Delete(a);
            break;
        case 3:
            if (a) a->MoveTo(b, random(2) ? naAddChildFirst : naInsert);
            break;
        case 4:
            if (a) a->SetID(Key(random(6)));
            break;
        case 5:
            if (a && b && a != b) a->Assign(b);
            break;
        default:
            if (a && random(4) == 0) items->Clear();
            break;
        }
        check(step);
        if (HasFatalFailure()) return;
    }
}

TEST(TreePublishing, FormsCreateTheTreeAndSeeItsProperties) {
    const TClassInfo& info = TDBTreeView::StaticClassInfo();
    ASSERT_TRUE(info.Create);
    TOwned<TComponent> made(info.Create(nullptr));
    auto* tree = dynamic_cast<TDBTreeView*>(made.get());
    ASSERT_NE(tree, nullptr);

    EXPECT_EQ(GetPropValue(tree, "DefStatus").AsInteger(), -1);
    EXPECT_EQ(GetPropValue(tree, "DefImage").AsInteger(), -1);
    EXPECT_EQ(GetEnumProp(tree, "InsertMode"), "imAddFromTable");
    EXPECT_EQ(GetEnumProp(tree, "LoadStyle"), "lsOneAhead");
    EXPECT_TRUE(info.FindProperty("KeyFieldsCount")->IsReadOnly());
    for (const char* name : {"ShowButtons", "BorderStyle", "DragMode", "Images", "StateImages",
                             "OnExpanding", "OnChange", "OnMouseUp", "PopupMenu", "TabOrder",
                             "BeforeNodesLoading", "AfterNodesLoading", "BeforeChildInsert",
                             "BeforeNodeInsert", "AfterInsert", "OnNodeSetup", "DataSource"})
        EXPECT_NE(info.FindProperty(name), nullptr) << name;

    SetPropValue(tree, "NameField", Variant("NAME"));
    SetPropValue(tree, "LinksFields", Variant("PARENT_ID->ID"));
    SetPropValue(tree, "RootKey", Variant("Null"));
    SetEnumProp(tree, "LoadStyle", "lsAllAhead");
    EXPECT_EQ(tree->GetNameField(), "NAME");
    EXPECT_EQ(tree->GetLinksFields(), "PARENT_ID->ID");
    EXPECT_EQ(GetPropValue(tree, "KeyFieldsCount").AsInteger(), 1);
    EXPECT_EQ(tree->GetLoadStyle(), lsAllAhead);

    TDataSource source(nullptr);
    SetObjectProp(tree, "DataSource", &source);
    EXPECT_EQ(tree->GetDataSource(), &source);
    tree->SetOnNodeSetup([](TObject*, TTreeNode*, TDataSet*) {});
    info.FindProperty("OnNodeSetup")->ClearMethod(tree);
    EXPECT_FALSE(tree->GetOnNodeSetup());
    SetObjectProp(tree, "DataSource", nullptr);
}

TEST_F(TreeConfigTest, DeleteHooksPassEveryCallOnAndLeaveWithTheTree) {
    OpenOrganization();
    std::vector<std::string> calls;
    table->SetBeforeDelete([&](TDataSet*) { calls.push_back("before"); });
    table->SetAfterDelete([&](TDataSet*) { calls.push_back("after"); });
    TDataSetNotifyEvent appBefore = table->GetBeforeDelete();
    Bind();
    EXPECT_TRUE((table->GetBeforeDelete()
                     .IsRoutine<&TDBCustomTreeView::RecordBeingDeleted, TDBCustomTreeView>()));

    ASSERT_TRUE(table->Locate("ID", Variant(8)));
    table->Delete();
    EXPECT_EQ(calls, (std::vector<std::string>{"before", "after"}));

    // The tree leaves the application's handlers in place when it goes.
    table->CheckBrowseMode(); // places the hooks again
    form.reset();
    EXPECT_TRUE(table->GetBeforeDelete().SameRoutine(appBefore));
    ASSERT_TRUE(table->Locate("ID", Variant(6)));
    table->Delete();
    EXPECT_EQ(calls.size(), 4u);
}

TEST_F(TreeConfigTest, NoAutomaticDragStartsOnAReadOnlyTable) {
    table.reset();
    TOwned<TTable> readOnly(new TTable(nullptr));
    readOnly->SetDatabase(&db->Database());
    readOnly->SetTableName("ORGANIZATION");
    readOnly->SetIndexFieldNames("PARENT_ID");
    readOnly->SetReadOnly(true);
    readOnly->Open();
    tree->SetNameField("NAME");
    tree->SetRelations("PARENT_ID->ID");
    tree->SetTopParentKey("Null");
    tree->SetDragMode(dmAutomatic);
    source->SetDataSet(readOnly.get());
    tree->SetDataSource(source);
    run_messages();

    TRect row = NodeNamed(*tree, "Branch office")->DisplayRect(true);
    mouse_down(*tree, row.Left + 2, row.Top + 4);
    EXPECT_FALSE(TDragManager::Instance().Active());
    EXPECT_EQ(tree->DragMode(), dmAutomatic);
    mouse_up(*tree, row.Left + 2, row.Top + 4);
    EXPECT_EQ(tree->Selected()->Text(), "Branch office");
    form.reset();
}

} // namespace
} // namespace orvel::test
