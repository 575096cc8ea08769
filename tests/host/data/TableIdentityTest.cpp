// How a table tells its records apart: by the row id where that is the key, else by the primary
// key fields (tables without row id, text keys), never by a user column that borrows a row id
// name; views browse read-only by the fields they are ordered by. Bookmarks never lead to a
// record with another key, even when another connection or process reuses a row id, and an
// open table can change its index.
#include "tests/support/data/DataFixtures.h"

#include "orvel/host/core/Exceptions.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

using namespace orvel;
using namespace orvel::test;

namespace {

std::vector<std::string> Column(TTestDatabase& db, const std::string& sql) {
    std::vector<std::string> values;
    auto stmt = db.Database().Connection().Prepare(sql);
    while (stmt->Step())
        values.emplace_back(stmt->ColumnText(0));
    return values;
}

std::vector<std::string> NamesForward(TTable& t) {
    std::vector<std::string> names;
    for (t.First(); !t.Eof(); t.Next())
        names.push_back(t.FieldByName("NAME")->GetAsString());
    return names;
}

std::vector<std::string> NamesBackward(TTable& t) {
    std::vector<std::string> names;
    for (t.Last(); !t.Bof(); t.Prior())
        names.insert(names.begin(), t.FieldByName("NAME")->GetAsString());
    return names;
}

std::string Name(const TTable& t) {
    return t.FieldByName("NAME")->GetAsString();
}

// Runs SQL in another process with a connection of its own, through the engine's C interface.
void RunInOtherProcess(const std::string& fileName, const std::string& sql) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        sqlite3* db = nullptr;
        int rc = sqlite3_open(fileName.c_str(), &db);
        if (rc == SQLITE_OK) rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        sqlite3_close(db);
        _exit(rc == SQLITE_OK ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << sql;
}

// ---- tables keyed by other fields than the row id
// ------------------------------------------------

// PLACES has no row id; DIVISIONS has a text key beside its row id.
class KeyedTable : public ::testing::TestWithParam<const char*> {
protected:
    std::string Table() const { return GetParam(); }
    // The names of the table in ID order, one text.
    std::string StoredNames() {
        std::string names;
        for (const std::string& name : Column(Db, "SELECT NAME FROM " + Table() + " ORDER BY ID"))
            names += (names.empty() ? "" : ",") + name;
        return names;
    }
    TTestDatabase Db;
};

TEST_P(KeyedTable, ReadsRangesLocatesAndBookmarksInIndexOrderAsTheEngineDoes) {
    auto t = Db.OpenTable(Table(), "PARENT_ID");
    auto order = Column(Db, "SELECT NAME FROM " + Table() + " ORDER BY PARENT_ID NULLS FIRST, ID");
    EXPECT_EQ(NamesForward(*t), order);
    EXPECT_EQ(NamesBackward(*t), order);
    EXPECT_EQ(t->RecordCount(), 8);

    t->SetRange({Variant(2)}, {Variant(2)});
    EXPECT_EQ(NamesForward(*t), (std::vector<std::string>{"North", "South"}));
    EXPECT_EQ(t->RecordCount(), 2);
    t->SetRange({Variant::Null()}, {Variant::Null()});
    EXPECT_EQ(NamesForward(*t), (std::vector<std::string>{"Head office", "Branch office"}));
    t->CancelRange();

    ASSERT_TRUE(t->Locate("ID", Variant(6)));
    EXPECT_EQ(Name(*t), "Research");
    TBookmark research = t->GetBookmark();
    ASSERT_TRUE(
        t->Locate("PARENT_ID;NAME", VarArrayOf({Variant(2), Variant(std::string("South"))})));
    TBookmark south = t->GetBookmark();
    EXPECT_NE(research, south);
    t->First();
    ASSERT_TRUE(t->BookmarkValid(research));
    t->GotoBookmark(research);
    EXPECT_EQ(Name(*t), "Research");
    t->Next();
    EXPECT_EQ(Name(*t), "Depot"); // PARENT_ID 7 follows 5
    t->GotoBookmark(south);
    EXPECT_EQ(Name(*t), "South");
    // Outside the range the bookmark names a record that is not shown.
    t->SetRange({Variant(1)}, {Variant(1)});
    EXPECT_FALSE(t->BookmarkValid(south));
    EXPECT_THROW(t->GotoBookmark(south), EDatabaseError);
}

TEST_P(KeyedTable, EditInsertPostAndDeleteWriteExactlyTheirOwnRecord) {
    auto t = Db.OpenTable(Table(), "PARENT_ID");
    ASSERT_TRUE(t->Locate("ID", Variant(4)));
    t->Edit();
    t->FieldByName("NAME")->SetAsString("South side");
    t->Post();
    EXPECT_EQ(Name(*t), "South side");
    EXPECT_EQ(StoredNames(), "Head office,Sales,North,South side,Engineering,Research,Branch "
                             "office,Depot");

    t->Insert();
    if (TField* code = t->FindField("CODE")) code->SetAsString("C9");
    t->FieldByName("ID")->SetAsInteger(9);
    t->FieldByName("PARENT_ID")->SetAsInteger(2);
    t->FieldByName("NAME")->SetAsString("West");
    t->Post();
    EXPECT_EQ(Name(*t), "West");
    TBookmark west = t->GetBookmark();
    t->Next();
    EXPECT_EQ(Name(*t), "Research"); // after the children of 2
    t->GotoBookmark(west);
    EXPECT_EQ(Name(*t), "West");

    // A key changed by an edit names another record: the old bookmark is gone with it.
    t->Edit();
    t->FieldByName("ID")->SetAsInteger(10);
    if (TField* code = t->FindField("CODE")) code->SetAsString("C90"); // after "C4" in text order
    t->Post();
    EXPECT_EQ(Name(*t), "West");
    EXPECT_EQ(t->FieldByName("ID")->GetAsInteger(), 10);
    EXPECT_FALSE(t->BookmarkValid(west));
    EXPECT_EQ(Db.Scalar("SELECT COUNT(*) FROM " + Table() + " WHERE ID = 9").AsInteger(), 0);

    t->Delete();
    EXPECT_EQ(Name(*t), "Research");
    EXPECT_EQ(Db.Count(Table()), 8);
    EXPECT_EQ(StoredNames(), "Head office,Sales,North,South side,Engineering,Research,Branch "
                             "office,Depot");
}

TEST_P(KeyedTable, ARecordDeletedByAnotherConnectionCannotBeEditedAndNothingElseIsWritten) {
    auto t = Db.OpenTable(Table(), "PARENT_ID");
    ASSERT_TRUE(t->Locate("ID", Variant(8)));
    TBookmark depot = t->GetBookmark();
    Db.Execute("DELETE FROM " + Table() + " WHERE ID = 8");
    EXPECT_FALSE(t->BookmarkValid(depot));
    EXPECT_THROW(t->Edit(), EDatabaseError);
    EXPECT_EQ(t->State(), dsBrowse);
    EXPECT_THROW(t->Delete(), EDatabaseError);
    EXPECT_EQ(Db.Count(Table()), 7);
}

INSTANTIATE_TEST_SUITE_P(Identity, KeyedTable, ::testing::Values("PLACES", "DIVISIONS"));

// ---- names that shadow the row id, tables without identity, views -------------------------------

TEST(TableIdentity, AUserColumnNamedLikeTheRowIdNeverStandsForIt) {
    TTestDatabase db;
    // The column "rowid" holds text, "oid" numbers that would collide: the table is still read
    // and written by its real row id.
    db.Execute("CREATE TABLE NOTES (rowid TEXT, oid INTEGER, NAME TEXT);"
               "INSERT INTO NOTES VALUES ('b', 7, 'First');"
               "INSERT INTO NOTES VALUES ('a', 7, 'Second');"
               "INSERT INTO NOTES VALUES ('c', 1, 'Third');");
    auto t = db.OpenTable("NOTES");
    EXPECT_EQ(NamesForward(*t), (std::vector<std::string>{"First", "Second", "Third"}));
    ASSERT_TRUE(t->Locate("NAME", Variant(std::string("Second"))));
    EXPECT_EQ(t->FieldByName("rowid")->GetAsString(), "a");
    TBookmark second = t->GetBookmark();
    t->Edit();
    t->FieldByName("NAME")->SetAsString("Second, edited");
    t->Post();
    EXPECT_EQ(Column(db, "SELECT NAME FROM NOTES ORDER BY _rowid_"),
              (std::vector<std::string>{"First", "Second, edited", "Third"}));
    t->First();
    t->GotoBookmark(second);
    EXPECT_EQ(Name(*t), "Second, edited");
    t->Delete();
    EXPECT_EQ(Column(db, "SELECT NAME FROM NOTES ORDER BY _rowid_"),
              (std::vector<std::string>{"First", "Third"}));
    // An integer key is the row id, reached by its own name, whatever that name holds.
    db.Execute("CREATE TABLE ODD (\"key, with comma\" INTEGER PRIMARY KEY, rowid TEXT, NAME TEXT);"
               "INSERT INTO ODD VALUES (30, 'x', 'Thirty');"
               "INSERT INTO ODD VALUES (10, 'y', 'Ten');"
               "INSERT INTO ODD VALUES (20, 'z', 'Twenty');");
    auto odd = db.OpenTable("ODD");
    EXPECT_EQ(NamesForward(*odd), (std::vector<std::string>{"Ten", "Twenty", "Thirty"}));
    EXPECT_EQ(NamesBackward(*odd), (std::vector<std::string>{"Ten", "Twenty", "Thirty"}));
    ASSERT_TRUE(odd->Locate("NAME", Variant(std::string("Twenty"))));
    EXPECT_EQ(odd->GetBookmark().RowId, 20);
    odd->Edit();
    odd->FieldByName("NAME")->SetAsString("Twenty, edited");
    odd->Post();
    EXPECT_EQ(db.Scalar("SELECT NAME FROM ODD WHERE rowid = 'z'").AsString(), "Twenty, edited");
}

TEST(TableIdentity, TablesWithoutIdentityAndViewsBrowseByTheirIndexAndRefuseEveryWrite) {
    TTestDatabase db;
    db.Execute("CREATE TABLE HIDDEN (rowid INTEGER, oid INTEGER, _rowid_ INTEGER, NAME TEXT);"
               "INSERT INTO HIDDEN VALUES (1, 1, 1, 'One');"
               "INSERT INTO HIDDEN VALUES (1, 1, 1, 'Two');"
               "CREATE VIEW TOP_ORGANIZATION AS SELECT ID, NAME FROM ORGANIZATION WHERE "
               "PARENT_ID IS NULL;");
    for (const std::string name : {"TOP_ORGANIZATION", "HIDDEN"}) {
        SCOPED_TRACE(name);
        // Nothing to order by: the error names the table.
        TOwned<TTable> t(new TTable(nullptr));
        t->SetDatabase(&db.Database());
        t->SetTableName(name);
        try {
            t->Open();
            ADD_FAILURE() << "opened without a key to order by";
        } catch (const EDatabaseError& e) {
            EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
        }
        EXPECT_FALSE(t->GetActive());

        t->SetIndexFieldNames("NAME");
        t->Open();
        EXPECT_FALSE(t->CanModify());
        EXPECT_EQ(NamesForward(*t),
                  name == "HIDDEN" ? (std::vector<std::string>{"One", "Two"})
                                   : (std::vector<std::string>{"Branch office", "Head office"}));
        TBookmark last = t->GetBookmark();
        std::string lastName = Name(*t);
        t->First();
        t->GotoBookmark(last);
        EXPECT_EQ(Name(*t), lastName);
        std::vector<std::function<void()>> writes = {[&] { t->Edit(); }, [&] { t->Insert(); },
                                                     [&] { t->Delete(); }};
        for (const std::function<void()>& write : writes) {
            try {
                write();
                ADD_FAILURE() << "a write was accepted";
            } catch (const EDatabaseError& e) {
                EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
            }
            EXPECT_EQ(t->State(), dsBrowse);
        }
    }
    EXPECT_EQ(Column(db, "SELECT NAME FROM HIDDEN ORDER BY NAME"),
              (std::vector<std::string>{"One", "Two"}));
    EXPECT_EQ(db.Count("ORGANIZATION"), 8);
}

// ---- bookmarks and reused row ids ---------------------------------------------------------------

// The highest record of DIVISIONS is deleted and a record with another key takes its row id, by
// another connection of this process or by another process.
class ReusedRowId : public ::testing::TestWithParam<bool> {
protected:
    void ReplaceDepot() {
        const std::string sql = "DELETE FROM DIVISIONS WHERE ID = 8;"
                                "INSERT INTO DIVISIONS (CODE, ID, PARENT_ID, NAME) VALUES ('C9', "
                                "9, 1, 'Intruder');";
        if (GetParam()) {
            RunInOtherProcess(Db.FileName(), sql);
        } else {
            std::unique_ptr<TSqlConnection> other = OpenSqliteConnection(Db.FileName());
            other->Execute(sql);
        }
        ASSERT_EQ(Db.Scalar("SELECT rowid FROM DIVISIONS WHERE CODE = 'C9'").AsInteger(), 8);
    }
    TTestDatabase Db{TStorage::TempFile};
};

TEST_P(ReusedRowId, NeverPassesForTheOldRecordAndNothingIsWrittenToTheNewOne) {
    auto t = Db.OpenTable("DIVISIONS", "PARENT_ID");
    auto other = Db.OpenTable("DIVISIONS", "ID");
    ASSERT_TRUE(t->Locate("ID", Variant(8)));
    ASSERT_TRUE(other->Locate("ID", Variant(8)));
    TBookmark depot = t->GetBookmark();
    TBookmark depotOther = other->GetBookmark();
    ReplaceDepot();

    for (TTable* table : {t.get(), other.get()}) {
        EXPECT_FALSE(table->BookmarkValid(depot));
        EXPECT_FALSE(table->BookmarkValid(depotOther));
        EXPECT_THROW(table->GotoBookmark(depot), EDatabaseError);
        // The cursor still shows the old record; writing it must not reach the new one.
        EXPECT_THROW(table->Edit(), EDatabaseError);
        EXPECT_EQ(table->State(), dsBrowse);
        EXPECT_THROW(table->Delete(), EDatabaseError);
        table->Refresh();
        EXPECT_NE(Name(*table), "Depot");
    }
    EXPECT_EQ(Db.Scalar("SELECT NAME FROM DIVISIONS WHERE CODE = 'C9'").AsString(), "Intruder");
    EXPECT_EQ(Db.Count("DIVISIONS"), 8);
    // A fresh walk shows the table as it is now.
    EXPECT_EQ(NamesForward(*other), Column(Db, "SELECT NAME FROM DIVISIONS ORDER BY ID"));
}

INSTANTIATE_TEST_SUITE_P(Bookmarks, ReusedRowId, ::testing::Values(false, true),
                         [](const auto& info) {
                             return info.param ? "OtherProcess" : "OtherConnection";
                         });

TEST(Bookmarks, ARecordReplacedInAnInsertOrReplaceConflictLeavesItsBookmarksInvalid) {
    TTestDatabase db;
    auto t = db.OpenTable("ITEMS", "CODE");
    ASSERT_TRUE(t->Locate("ID", Variant(5)));
    TBookmark replaced = t->GetBookmark();
    ASSERT_TRUE(t->Locate("ID", Variant(3)));
    TBookmark kept = t->GetBookmark();
    // The engine removes the old record 5 without reporting it and inserts another under its id.
    db.Execute("INSERT OR REPLACE INTO ITEMS (ID, CODE, NAME) VALUES (5, 5, 'Replacement')");
    EXPECT_FALSE(t->BookmarkValid(replaced));
    EXPECT_THROW(t->GotoBookmark(replaced), EDatabaseError);
    EXPECT_TRUE(t->BookmarkValid(kept));
    t->GotoBookmark(kept);
    EXPECT_EQ(Name(*t), "Item 3");
    // The new record has bookmarks of its own.
    ASSERT_TRUE(t->Locate("ID", Variant(5)));
    TBookmark fresh = t->GetBookmark();
    t->First();
    EXPECT_TRUE(t->BookmarkValid(fresh));
    t->GotoBookmark(fresh);
    EXPECT_EQ(Name(*t), "Replacement");
}

// ---- changing the index of an open table --------------------------------------------------------

TEST(IndexChange, AnOpenTableSwitchedToAnotherIndexScansRangesAndLocatesInTheNewOrder) {
    TTestDatabase db;
    auto t = db.OpenTable("ITEMS", "CODE");
    EXPECT_EQ(NamesForward(*t), Column(db, "SELECT NAME FROM ITEMS ORDER BY CODE"));
    t->SetRange({Variant(20)}, {Variant(40)});
    EXPECT_EQ(t->RecordCount(), 3);

    // STATUS_ID has a null and repeated values: the row id breaks the ties.
    t->SetIndexFieldNames("STATUS_ID");
    EXPECT_FALSE(t->RangeApplied());
    EXPECT_EQ(Name(*t), "Item 3"); // the first record of the new order
    auto order = Column(db, "SELECT NAME FROM ITEMS ORDER BY STATUS_ID NULLS FIRST, ID");
    EXPECT_EQ(NamesForward(*t), order);
    EXPECT_EQ(NamesBackward(*t), order);
    t->SetRange({Variant(1)}, {Variant(1)});
    EXPECT_EQ(NamesForward(*t), (std::vector<std::string>{"Item 1", "Item 4"}));
    t->SetRange({Variant(2)}, {Variant(3)});
    EXPECT_EQ(NamesForward(*t), (std::vector<std::string>{"Item 2", "Item 5"}));
    ASSERT_TRUE(t->Locate("NAME", Variant(std::string("Item 5"))));
    EXPECT_FALSE(t->Locate("NAME", Variant(std::string("Item 1")))); // outside the range
    t->CancelRange();
    ASSERT_TRUE(t->Locate("STATUS_ID", Variant(1)));
    EXPECT_EQ(Name(*t), "Item 1");
    t->Next();
    EXPECT_EQ(Name(*t), "Item 4");

    // Two fields: the second orders the ties of the first.
    t->SetIndexFieldNames("STATUS_ID;FLAGS");
    EXPECT_EQ(
        NamesForward(*t),
        Column(db, "SELECT NAME FROM ITEMS ORDER BY STATUS_ID NULLS FIRST, FLAGS NULLS FIRST, ID"));
    t->SetRange({Variant(1)}, {Variant(1)});
    EXPECT_EQ(NamesForward(*t), (std::vector<std::string>{"Item 4", "Item 1"}));
    ASSERT_TRUE(t->Locate("STATUS_ID;FLAGS", VarArrayOf({Variant(1), Variant(4)})));
    EXPECT_EQ(Name(*t), "Item 1");

    // Back to the first index, within a scan that keeps windows.
    t->DisableControls();
    t->SetIndexFieldNames("CODE");
    EXPECT_EQ(NamesForward(*t), Column(db, "SELECT NAME FROM ITEMS ORDER BY CODE"));
    t->EnableControls();

    // An unknown field leaves the order as it was.
    EXPECT_THROW(t->SetIndexFieldNames("NO_SUCH_FIELD"), EDatabaseError);
    EXPECT_EQ(t->GetIndexFieldNames(), "CODE");
    EXPECT_EQ(NamesForward(*t), Column(db, "SELECT NAME FROM ITEMS ORDER BY CODE"));
}

} // namespace

namespace {

// A key keeps one handle however its integer is held, never shares one with the same number held
// as a float or a text, nor with a key of more fields; each handle gives its key back.
TEST(TableIdentity, HandlesNameEachKeyOnceWhateverTheIntegersType) {
    TTableIdentity identity(1);
    std::vector<Variant> row{Variant(int64_t{7}), Variant(int64_t{7}), Variant("7"), Variant(7.0)};
    int64_t integer = identity.HandleOf(row, {0});
    EXPECT_EQ(identity.HandleOf({Variant(7), Variant()}, {0}), integer);
    EXPECT_NE(identity.HandleOf(row, {1}), integer); // the same value in another field
    int64_t text = identity.HandleOf(row, {2});
    int64_t real = identity.HandleOf(row, {3});
    int64_t pair = identity.HandleOf(row, {0, 1});
    std::vector<Variant> nullKey{Variant::Null()};
    int64_t null = identity.HandleOf(nullKey, {0});
    std::vector<int64_t> handles{integer, text, real, pair, null};
    std::sort(handles.begin(), handles.end());
    EXPECT_EQ(std::unique(handles.begin(), handles.end()), handles.end());

    ASSERT_NE(identity.KeyOf(integer, {0}), nullptr);
    EXPECT_EQ(identity.KeyOf(integer, {0})->at(0).AsInt64(), 7);
    EXPECT_EQ(identity.KeyOf(integer, {1}), nullptr);
    EXPECT_EQ(identity.KeyOf(pair, {0, 1})->size(), 2u);
    EXPECT_EQ(identity.KeyOf(text, {2})->at(0).AsString(), "7");
    // Found again, not made anew.
    EXPECT_EQ(identity.HandleOf(row, {0, 1}), pair);
    EXPECT_EQ(identity.HandleOf(row, {2}), text);
    EXPECT_EQ(identity.HandleOf({Variant(int64_t{8})}, {0}), pair + 2);
}

} // namespace
