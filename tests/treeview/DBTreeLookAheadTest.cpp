// Reading the children's first records ahead in one statement (one-ahead loading on an engine a
// round trip away): the tree shows exactly the nodes it shows when every child's range is read by
// itself, on samples with keys shared by several records, records under their own key, Null
// keys and two-field keys, and an expand of a thousand children takes a handful of round trips.
#include "tests/treeview/TreeTestSupport.h"

#include "orvel/host/data/sql/SqlEngine.h"

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

namespace orvel::test {
namespace {

// The tree as text with everything a node shows: caption, images, expand button, and its loaded
// children in parentheses.
std::string Dump(const TTreeNode* first) {
    std::string text;
    for (const TTreeNode* n = first; n; n = n->GetNextSibling()) {
        if (!text.empty()) text += ", ";
        text += n->Text() + "[" + std::to_string(n->ImageIndex()) + "/" +
                std::to_string(n->StateIndex()) + "]";
        if (n->HasChildren()) text += "+";
        if (n->GetFirstChild()) text += " (" + Dump(n->GetFirstChild()) + ")";
    }
    return text;
}

class TreeLookAheadTest : public TreeTest {
protected:
    void TearDown() override {
        plainTable.reset();
        TreeTest::TearDown();
    }

    // NODES: REF is the key the tree links by (Null in one record, shared by others), PARENT_REF
    // the parent's REF.
    void CreateNodes() {
        std::string nullsFirst = db->OnPostgres() ? " NULLS FIRST" : "";
        db->Execute("CREATE TABLE NODES (ID INTEGER PRIMARY KEY, REF INTEGER, PARENT_REF INTEGER, "
                    "NAME VARCHAR(60), STATUS_ID INTEGER, IMAGE_ID INTEGER);"
                    "CREATE INDEX NODES_PARENT ON NODES (PARENT_REF" +
                    nullsFirst + ", ID)");
    }
    void AddNode(int id, const char* ref, const char* parent, const std::string& name) {
        db->Execute("INSERT INTO NODES VALUES (" + std::to_string(id) + ", " + ref + ", " + parent +
                    ", '" + name + "', " + std::to_string(id % 3) + ", " + std::to_string(id % 5) +
                    ")");
    }

    // The same tree twice: tree over table (the engine may read ahead), plainTree over a table
    // of the same records that reads every range by itself.
    void OpenBoth(const std::string& tableName, const std::string& index,
                  const std::string& relations, const std::string& top) {
        table = db->OpenTable(tableName, index);
        plainTable = db->OpenTable(tableName, index);
        plainTable->SetLookAheadMode(laOff);
        plainTree = &form->Place<TDBTreeView>(0, 0, 300, 400);
        plainSource = new TDataSource(&form->Form());
        for (TDBTreeView* t : {tree, plainTree}) {
            t->SetNameField("NAME");
            t->SetStatusIDField("STATUS_ID");
            t->SetImageIDField(tableName == "UNITS" ? "" : "IMAGE_ID");
            t->SetRelations(relations);
            t->SetTopParentKey(top);
        }
        source->SetDataSet(table.get());
        tree->SetDataSource(source);
        plainSource->SetDataSet(plainTable.get());
        plainTree->SetDataSource(plainSource);
        run_messages();
    }

    // The node reached by captions from the top level down.
    static TTreeNode* NodeAt(const TDBTreeView& t, std::initializer_list<const char*> path) {
        TTreeNode* node = nullptr;
        TTreeNode* level = t.Items()->GetFirstNode();
        for (const char* caption : path) {
            node = level;
            while (node && node->Text() != caption)
                node = node->GetNextSibling();
            if (!node) return nullptr;
            level = node->GetFirstChild();
        }
        return node;
    }

    // Expands the node of that path in both trees and compares what they show and where their
    // tables' cursors are.
    void ExpandBoth(std::initializer_list<const char*> path) {
        for (TDBTreeView* t : {tree, plainTree}) {
            TTreeNode* node = NodeAt(*t, path);
            ASSERT_NE(node, nullptr) << *(path.end() - 1);
            node->Expand(false);
            run_messages();
        }
        ExpectSame();
    }
    void ExpectSame() {
        EXPECT_EQ(Dump(tree->Items()->GetFirstNode()), Dump(plainTree->Items()->GetFirstNode()));
        for (int i = 0; i < table->FieldCount(); ++i)
            EXPECT_EQ(table->Fields(i)->GetAsString(), plainTable->Fields(i)->GetAsString());
        EXPECT_FALSE(table->RangeApplied());
        EXPECT_FALSE(table->ControlsDisabled());
    }

    TOwned<TTable> plainTable;
    TDataSource* plainSource = nullptr;
    TDBTreeView* plainTree = nullptr;
};

TEST_F(TreeLookAheadTest, ReadAheadShowsTheNodesOfRangesReadOneByOne) {
    CreateNodes();
    AddNode(1, "10", "NULL", "Root A");
    AddNode(2, "20", "NULL", "Root B");
    AddNode(3, "30", "10", "Leaf");
    // Node 4's range holds a record of its own key (skipped there) before a real child.
    AddNode(4, "40", "10", "Shared");
    AddNode(5, "40", "40", "Twin");
    AddNode(6, "60", "40", "Under shared");
    // A Null key: its range is that of the top-level records.
    AddNode(7, "NULL", "10", "No key");
    // A record under its own descendant: 9 has Root B's key and lies under 8.
    AddNode(8, "80", "20", "Loop top");
    AddNode(9, "20", "80", "Loop back");
    AddNode(10, "100", "80", "Loop sibling");
    AddNode(11, "110", "20", "Many");
    for (int i = 12; i <= 15; ++i)
        AddNode(i, std::to_string(i * 10).c_str(), "110", "Many " + std::to_string(i));
    AddNode(16, "160", "130", "Deep");
    ASSERT_TRUE(db->OpenTable("NODES", "PARENT_REF")->Locate("ID", Variant(6)));

    OpenBoth("NODES", "PARENT_REF", "PARENT_REF->REF", "Null");
    ExpectSame();
    ExpandBoth({"Root A"});
    ExpandBoth({"Root B"});
    ExpandBoth({"Root A", "Shared"});
    ExpandBoth({"Root A", "No key"});
    ExpandBoth({"Root A", "No key", "Root B"});
    ExpandBoth({"Root B", "Loop top"});
    ExpandBoth({"Root B", "Many"});
    ExpandBoth({"Root B", "Many", "Many 13"});
    // Twin (under its own key) and Loop back (Root B's key, under its own descendant) show
    // nowhere; the record without key has the top-level records as its children.
    EXPECT_EQ(Picture(*tree), "Root A+ (Leaf, Shared+ (Under shared), No key+ (Root B+ (Loop top+ "
                              "(Loop sibling), Many+ (Many 12)))), Root B+ (Loop top+ (Loop "
                              "sibling), Many+ (Many 12, Many 13+ (Deep), Many 14, Many 15))");
    // A reload reads everything again: the same once more.
    tree->PostReload();
    plainTree->PostReload();
    run_messages();
    ExpectSame();
}

TEST_F(TreeLookAheadTest, TwoFieldKeysReadAheadAsRangesReadOneByOne) {
    db->CreateUnits();
    // (4,1) lies under itself; (4,2) under (3,2), after it the record of another owner.
    db->Execute("INSERT INTO UNITS VALUES (4, 1, 4, 1, 'Self', 2);"
                "INSERT INTO UNITS VALUES (4, 2, 3, 2, 'Eta', 1);"
                "INSERT INTO UNITS VALUES (4, 3, 3, 2, 'Theta', NULL)");
    OpenBoth("UNITS", "OWNER_GROUP;OWNER_ID", "OWNER_GROUP->UNIT_GROUP;OWNER_ID->UNIT_ID",
             "Null;Null");
    ExpectSame();
    ExpandBoth({"Alpha"});
    ExpandBoth({"Beta"});
    ExpandBoth({"Beta", "Zeta"});
    EXPECT_EQ(Picture(*tree), "Alpha+ (Gamma, Delta+ (Epsilon)), Beta+ (Zeta+ (Eta, Theta))");
}

// A parent of 1,000 children, 900 of which have one child of their own.
void AddThousandChildren(TTestDatabase& db) {
    db.Execute("INSERT INTO NODES VALUES (1, 1, NULL, 'Root', 0, 0)");
    db.Execute("INSERT INTO NODES (ID, REF, PARENT_REF, NAME, STATUS_ID, IMAGE_ID) "
               "WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < 1001) "
               "SELECT i, i, 1, 'Child ' || i, i % 3, i % 5 FROM n");
    db.Execute("INSERT INTO NODES (ID, REF, PARENT_REF, NAME, STATUS_ID, IMAGE_ID) "
               "SELECT ID + 1000, ID + 1000, ID, 'Grandchild ' || ID, 1, 2 FROM NODES "
               "WHERE PARENT_REF = 1 AND ID % 10 <> 0");
}

TEST_F(TreeLookAheadTest, AThousandChildrenExpandInAHandfulOfRoundTrips) {
    CreateNodes();
    AddThousandChildren(*db);
    OpenBoth("NODES", "PARENT_REF", "PARENT_REF->REF", "Null");
    TSqlConnection& connection = db->Database().Connection();
    int64_t before = connection.RoundTrips();
    NodeNamed(*tree, "Root")->Expand(false);
    run_messages();
    int64_t batched = connection.RoundTrips() - before;
    before = connection.RoundTrips();
    NodeNamed(*plainTree, "Root")->Expand(false);
    run_messages();
    int64_t plain = connection.RoundTrips() - before;
    ExpectSame();
    EXPECT_EQ(tree->Items()->Count(), 1 + 1000 + 900);
    if (db->OnPostgres()) {
        EXPECT_LE(batched, 8);
        EXPECT_GE(plain, 1000); // every child's range by itself
    } else {
        EXPECT_EQ(batched, 0); // an engine in the process makes none
    }
    // Expanding again (the branch is read once more) costs as little.
    before = connection.RoundTrips();
    tree->ReloadBranch(NodeNamed(*tree, "Root"));
    run_messages();
    if (db->OnPostgres()) {
        EXPECT_LE(connection.RoundTrips() - before, 8);
    }
    EXPECT_EQ(tree->Items()->Count(), 1 + 1000 + 900);
}

// ORGANIZATION grown two levels below Research: 9 Lab (6), 10 Bench (9), 11 Shelf (9).
void AddDeepRecords(TTestDatabase& db) {
    db.Execute("INSERT INTO ORGANIZATION (ID, PARENT_ID, NAME, STATUS_ID, IMAGE_ID) VALUES "
               "(9, 6, 'Lab', 1, 2), (10, 9, 'Bench', 2, 3), (11, 9, 'Shelf', 0, 1)");
}

TEST_F(TreeLookAheadTest, ARevealClimbingFromOneStatementShowsWhatClimbingRecordByRecordShows) {
    AddDeepRecords(*db);
    OpenBoth("ORGANIZATION", "PARENT_ID", "PARENT_ID->ID", "Null");
    TSqlConnection& connection = db->Database().Connection();
    int64_t before = connection.RoundTrips();
    ASSERT_TRUE(table->Locate("ID", Variant(10)));
    run_messages();
    int64_t climbed = connection.RoundTrips() - before;
    before = connection.RoundTrips();
    ASSERT_TRUE(plainTable->Locate("ID", Variant(10)));
    run_messages();
    int64_t plain = connection.RoundTrips() - before;
    ExpectSame();
    EXPECT_EQ(SelectedText(*tree), "Bench");
    EXPECT_EQ(SelectedText(*plainTree), "Bench");
    EXPECT_EQ(Picture(*tree), "Head office+ (Sales+ (North), Engineering+ (Research+ (Lab+ (Bench, "
                              "Shelf)))), Branch office+ (Depot)");
    if (db->OnPostgres()) {
        EXPECT_LT(climbed, plain - 4) << climbed;
        EXPECT_LE(climbed, 12) << plain;
    }
    // A record whose parent chain comes back to itself is not revealed, either way.
    db->Execute("UPDATE ORGANIZATION SET PARENT_ID = 11 WHERE ID = 7");
    db->Execute("UPDATE ORGANIZATION SET PARENT_ID = 8 WHERE ID = 1");
    for (TTable* t : {table.get(), plainTable.get()}) {
        ASSERT_TRUE(t->Locate("ID", Variant(8)));
        run_messages();
    }
    EXPECT_EQ(Dump(tree->Items()->GetFirstNode()), Dump(plainTree->Items()->GetFirstNode()));
    EXPECT_EQ(tree->Selected() == nullptr, plainTree->Selected() == nullptr);
}

TEST_F(TreeLookAheadTest, AnotherSessionsMoveBeforeARevealIsFollowed) {
    db = std::make_unique<TTestDatabase>(TStorage::TempFile);
    AddDeepRecords(*db);
    OpenBoth("ORGANIZATION", "PARENT_ID", "PARENT_ID->ID", "Null");
    ASSERT_TRUE(table->Locate("ID", Variant(11)));
    ASSERT_TRUE(plainTable->Locate("ID", Variant(11)));
    run_messages();
    ExpectSame();
    // Another session moves Lab under Depot and renames Research; the next reveal climbs the
    // records as they are now.
    std::unique_ptr<TSqlConnection> other = OpenSqlConnection(db->FileName());
    other->Execute("UPDATE ORGANIZATION SET PARENT_ID = 8 WHERE ID = 9");
    other->Execute("UPDATE ORGANIZATION SET NAME = 'Studies' WHERE ID = 6");
    other.reset();
    tree->PostReload();
    plainTree->PostReload();
    run_messages();
    for (TTable* t : {table.get(), plainTable.get()}) {
        ASSERT_TRUE(t->Locate("ID", Variant(10)));
        run_messages();
    }
    ExpectSame();
    EXPECT_EQ(SelectedText(*tree), "Bench");
    TTreeNode* bench = NodeNamed(*tree, "Bench");
    ASSERT_NE(bench, nullptr);
    ASSERT_NE(bench->Parent(), nullptr);
    ASSERT_NE(bench->Parent()->Parent(), nullptr);
    EXPECT_EQ(bench->Parent()->Parent()->Text(), "Depot");
}

TEST_F(TreeLookAheadTest, ARevealReadsTheLevelsItOpensFromOneStatement) {
    AddDeepRecords(*db);
    OpenBoth("ORGANIZATION", "PARENT_ID", "PARENT_ID->ID", "Null");
    TSqlConnection& connection = db->Database().Connection();
    // Once, so that every statement of a reveal has been prepared.
    for (TTable* t : {table.get(), plainTable.get()}) {
        ASSERT_TRUE(t->Locate("ID", Variant(10)));
        run_messages();
    }
    ExpectSame();
    auto revealShelf = [&] {
        tree->PostReload();
        plainTree->PostReload();
        run_messages();
        int64_t before = connection.RoundTrips();
        EXPECT_TRUE(table->Locate("ID", Variant(11)));
        run_messages();
        int64_t revealed = connection.RoundTrips() - before;
        ASSERT_TRUE(plainTable->Locate("ID", Variant(11)));
        run_messages();
        ExpectSame();
        EXPECT_EQ(SelectedText(*tree), "Shelf");
        if (db->OnPostgres()) {
            // The Locate reads the chain of ancestors with the levels below them.
            EXPECT_EQ(revealed, 1);
        }
    };
    revealShelf();
    EXPECT_EQ(Picture(*tree), "Head office+ (Sales+ (North), Engineering+ (Research+ (Lab+ (Bench, "
                              "Shelf)))), Branch office+ (Depot)");
    if (!db->OnPostgres()) return;
    // Another session's changes to the levels are in the next reveal.
    std::unique_ptr<TSqlConnection> other = OpenSqlConnection(db->FileName());
    other->Execute("UPDATE ORGANIZATION SET NAME = 'Workshop' WHERE ID = 9; "
                   "INSERT INTO ORGANIZATION (ID, PARENT_ID, NAME) VALUES (12, 6, 'Archive'), "
                   "(13, 12, 'Box'); DELETE FROM ORGANIZATION WHERE ID = 10");
    revealShelf();
    EXPECT_EQ(Picture(*tree), "Head office+ (Sales+ (North), Engineering+ (Research+ (Workshop+ "
                              "(Shelf), Archive+ (Box)))), Branch office+ (Depot)");
}

// Reveals the record of key in both trees (the Locate and what it brings about) and returns the
// round trips the tree over the table that reads ahead made.
int64_t RevealBoth(TTestDatabase& db, TTable& table, TTable& plainTable, const std::string& fields,
                   const Variant& key) {
    TSqlConnection& connection = db.Database().Connection();
    int64_t before = connection.RoundTrips();
    EXPECT_TRUE(table.Locate(fields, key));
    run_messages();
    int64_t revealed = connection.RoundTrips() - before;
    EXPECT_TRUE(plainTable.Locate(fields, key));
    run_messages();
    return revealed;
}

// Where the climb cannot read a level whole (longer than it reads), the level is read when
// opened, and the tree shows what reading range by range shows; so does a reveal next to nodes
// shown already, which opens only the levels below them.
TEST_F(TreeLookAheadTest, ARevealPastALongLevelShowsWhatRangeByRangeShows) {
    AddDeepRecords(*db);
    // 300 siblings of Shelf under Lab.
    db->Execute("INSERT INTO ORGANIZATION (ID, PARENT_ID, NAME, STATUS_ID) WITH RECURSIVE n(i) AS "
                "(SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) SELECT 1000 + i, 9, "
                "'Unit ' || i, i % 3 FROM n");
    db->Execute("INSERT INTO ORGANIZATION (ID, PARENT_ID, NAME) VALUES (2000, 1150, 'Drawer'), "
                "(2001, 1200, 'Tray'), (2002, 2001, 'Slot')");
    OpenBoth("ORGANIZATION", "PARENT_ID", "PARENT_ID->ID", "Null");
    int64_t revealed = RevealBoth(*db, *table, *plainTable, "ID", Variant(2000));
    ExpectSame();
    EXPECT_EQ(SelectedText(*tree), "Drawer");
    if (db->OnPostgres()) {
        EXPECT_EQ(revealed, 2); // the long level is read when announced
    }
    // Then a record two levels below a node shown: the levels it opens come with the climb.
    revealed = RevealBoth(*db, *table, *plainTable, "ID", Variant(2002));
    ExpectSame();
    EXPECT_EQ(SelectedText(*tree), "Slot");
    if (db->OnPostgres()) {
        EXPECT_EQ(revealed, 1);
    }
}

TEST_F(TreeLookAheadTest, ARevealOverTwoFieldKeysShowsWhatRangeByRangeShows) {
    db->CreateUnits();
    // Beta (1,2) > Zeta (3,2) > Eta (4,2) > Theta (5,1), Iota (5,2) beside it.
    db->Execute("INSERT INTO UNITS VALUES (4, 2, 3, 2, 'Eta', 1);"
                "INSERT INTO UNITS VALUES (5, 1, 4, 2, 'Theta', 2);"
                "INSERT INTO UNITS VALUES (5, 2, 4, 2, 'Iota', NULL)");
    OpenBoth("UNITS", "OWNER_GROUP;OWNER_ID", "OWNER_GROUP->UNIT_GROUP;OWNER_ID->UNIT_ID",
             "Null;Null");
    int64_t revealed = RevealBoth(*db, *table, *plainTable, "UNIT_GROUP;UNIT_ID",
                                  VarArrayOf({Variant(5), Variant(2)}));
    if (db->OnPostgres()) {
        EXPECT_EQ(revealed, 1);
    }
    ExpectSame();
    EXPECT_EQ(SelectedText(*tree), "Iota");
    EXPECT_EQ(Picture(*tree), "Alpha+ (Gamma), Beta+ (Zeta+ (Eta+ (Theta, Iota)))");
}

// A link told of the dataset's moves before the tree, which writes once when armed.
class TWriteOnMove : public TDataLink {
public:
    std::function<void()> Write;

protected:
    void DataSetChanged() override {
        if (!Write) return;
        std::function<void()> write = std::move(Write);
        Write = nullptr;
        write();
    }
};

// The climb read with a Locate serves the reveal that follows only while nothing has been
// written: a write by a link told of the move first is in what the tree shows. A Locate of a
// missing key moves nothing, and one of a shown node selects it.
TEST_F(TreeLookAheadTest, AWriteBetweenTheMoveAndTheRevealIsInWhatTheRevealShows) {
    AddDeepRecords(*db);
    OpenBoth("ORGANIZATION", "PARENT_ID", "PARENT_ID->ID", "Null");
    auto* writerSource = new TDataSource(&form->Form());
    TWriteOnMove writer;
    source->SetDataSet(nullptr);
    writerSource->SetDataSet(table.get());
    writer.SetDataSource(writerSource);
    source->SetDataSet(table.get());
    run_messages();
    writer.Write = [&] { db->Execute("UPDATE ORGANIZATION SET NAME = 'Workshop' WHERE ID = 9"); };
    RevealBoth(*db, *table, *plainTable, "ID", Variant(11));
    ExpectSame();
    EXPECT_EQ(SelectedText(*tree), "Shelf");
    EXPECT_NE(NodeAt(*tree, {"Head office", "Engineering", "Research", "Workshop", "Shelf"}),
              nullptr)
        << Picture(*tree);

    TSqlConnection& connection = db->Database().Connection();
    int64_t before = connection.RoundTrips();
    EXPECT_FALSE(table->Locate("ID", Variant(99)));
    run_messages();
    if (db->OnPostgres()) {
        EXPECT_EQ(connection.RoundTrips() - before, 1);
    }
    EXPECT_EQ(table->FieldByName("ID")->GetAsInteger(), 11);
    EXPECT_EQ(SelectedText(*tree), "Shelf");
    RevealBoth(*db, *table, *plainTable, "ID", Variant(10));
    ExpectSame();
    EXPECT_EQ(SelectedText(*tree), "Bench");
}

TEST_F(TreeLookAheadTest, AnExpandAndAReloadComeBackToTheCursorsRecordAsItIsNow) {
    CreateNodes();
    AddThousandChildren(*db);
    OpenBoth("NODES", "PARENT_REF", "PARENT_REF->REF", "Null");
    TSqlConnection& connection = db->Database().Connection();
    auto roundTrips = [&](const std::function<void()>& work) {
        int64_t before = connection.RoundTrips();
        work();
        run_messages();
        return connection.RoundTrips() - before;
    };
    // Once, so that every statement has been prepared.
    ExpandBoth({"Root"});
    tree->ReloadBranch(NodeNamed(*tree, "Root"));
    plainTree->ReloadBranch(NodeNamed(*plainTree, "Root"));
    run_messages();
    ExpectSame();
    int64_t reload = roundTrips([&] { tree->ReloadBranch(NodeNamed(*tree, "Root")); });
    int64_t fill = roundTrips([&] { tree->PostReload(); });
    plainTree->PostReload();
    run_messages();
    ExpectSame();
    if (db->OnPostgres()) {
        EXPECT_EQ(reload, 1);
        EXPECT_EQ(fill, 1);
    }
    if (!db->OnPostgres()) return;
    // Another session renames the record the cursor is on before the expand: the cursor comes
    // back to the record as it is now.
    std::unique_ptr<TSqlConnection> other = OpenSqlConnection(db->FileName());
    other->Execute("UPDATE NODES SET NAME = 'Top' WHERE ID = 1");
    for (TDBTreeView* t : {tree, plainTree})
        NodeNamed(*t, "Root")->Collapse(false);
    ExpandBoth({"Root"});
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "Top");
    // And deletes it: the cursor is not left on a record that is gone.
    other->Execute("DELETE FROM NODES WHERE ID = 1");
    tree->ReloadBranch(NodeNamed(*tree, "Root"));
    plainTree->ReloadBranch(NodeNamed(*plainTree, "Root"));
    run_messages();
    ExpectSame();
}

} // namespace
} // namespace orvel::test
