// Shared fixtures for the tests of every layer: a database holding the usual tables, and helpers
// that open tables and queries on it. The engine is SQLite (in memory or in a temporary file)
// unless ORVEL_TEST_ENGINE=postgresql: then each database is a schema of its own on the server
// that ORVEL_PG names (a connection string), dropped at the end; the test fails when that server
// cannot be reached.
//
//   ORGANIZATION  ID INTEGER PRIMARY KEY, PARENT_ID, NAME, STATUS_ID, IMAGE_ID; index on
//                 PARENT_ID. A self-referencing tree whose top-level records have a null
//                 PARENT_ID.
//   OBJECTS       two-field key ORIGIN_ID, OBJECT_ID; OWNER_ORIGIN_ID, OWNER_OBJECT_ID, NAME,
//                 STATUS_ID, CLASS_ID; index on the owner fields. Top-level records are owned
//                 by 0;0.
//   ITEMS         a list: ID INTEGER PRIMARY KEY, CODE, NAME, STATUS_ID, IMAGE_ID, FLAGS,
//                 ACTIVE BOOLEAN, PRICE REAL, CREATED DATE.
//   PICTURES      ID INTEGER PRIMARY KEY, PIC BLOB.
//   PLACES        the records of ORGANIZATION in a table WITHOUT ROWID (ID INTEGER PRIMARY KEY is
//                 then a plain key column, not the row id); index on PARENT_ID.
//   DIVISIONS     the records of ORGANIZATION in a table whose primary key is text (CODE, "C1"
//                 for ID 1, and so on: the same order; a record inserted without one gets it by
//                 a trigger), ID UNIQUE beside it; index on PARENT_ID.
//                 The row id is not the key here: another program may reuse it for another key.
//   UNITS         made on demand (CreateUnits): two-field key UNIT_GROUP, UNIT_ID; OWNER_GROUP,
//                 OWNER_ID, NAME, STATUS_ID; index on the owner fields. A self-referencing tree
//                 whose top-level records have two null owner fields.
#pragma once

#include "orvel/host/core/Component.h"
#include "orvel/host/data/Database.h"
#include "orvel/host/data/Query.h"
#include "orvel/host/data/Table.h"

#include <functional>
#include <string>
#include <vector>

namespace orvel::test {

// Server: on the PostgreSQL test server whatever ORVEL_TEST_ENGINE says.
enum class TStorage { Memory, TempFile, Server };

class TTestDatabase {
public:
    // Creates the four tables; Fill* put the sample records in.
    explicit TTestDatabase(TStorage storage = TStorage::Memory, bool fill = true);
    ~TTestDatabase();
    TTestDatabase(const TTestDatabase&) = delete;
    TTestDatabase& operator=(const TTestDatabase&) = delete;

    TDatabase& Database() { return *FDatabase; }
    // The temporary file ("" in memory), or the server connection string that reaches this
    // database's schema; other connections may open it.
    const std::string& FileName() const { return FFileName; }
    bool OnPostgres() const { return !FSchema.empty(); }
    void Execute(const std::string& sql) { FDatabase->Execute(sql); }
    // The first column of the first row of a SELECT (Null when there is no row).
    Variant Scalar(const std::string& sql);
    int64_t Count(const std::string& table);

    // An open table on the database (closed first when index or table are wrong).
    TOwned<TTable> OpenTable(const std::string& table, const std::string& indexFieldNames = "",
                             TComponent* owner = nullptr);
    TOwned<TQuery> OpenQuery(const std::string& sql, TComponent* owner = nullptr);

    // ORGANIZATION: 1 Head office; 2 Sales (1); 3 North (2); 4 South (2); 5 Engineering (1);
    // 6 Research (5); 7 Branch office; 8 Depot (7).
    void FillOrganization();
    // PLACES and DIVISIONS: the records of ORGANIZATION.
    void FillPlacesAndDivisions();
    // OBJECTS: (1,1) Alpha and (1,2) Beta owned by (0,0); (2,1) Gamma and (2,2) Delta owned by
    // (1,1); (2,3) Epsilon owned by (1,2).
    void FillObjects();
    // ITEMS: five records with codes 10..50, names Item 1..Item 5.
    void FillItems();
    void AddPicture(int id, const std::string& bytes);
    // Creates and fills UNITS: (1,1) Alpha and (1,2) Beta at the top; (2,1) Gamma and (2,2)
    // Delta owned by (1,1); (3,1) Epsilon owned by (2,2); (3,2) Zeta owned by (1,2).
    void CreateUnits();

private:
    void CreateTables();
    // The next automatic key of the table follows its highest ID (as SQLite's row ids do).
    void FollowHighestId(const std::string& table);
    // " NULLS FIRST" on the server (its indexes then serve the windows' order), else "".
    std::string NullsFirst() const { return OnPostgres() ? " NULLS FIRST" : ""; }
    // ", key" on the server: its indexes do not end in the row's identity as SQLite's do, and
    // windows read the records of one parent in key order.
    std::string KeyAfter(const char* key) const {
        return OnPostgres() ? std::string(", ") + key : "";
    }

    TOwned<TDatabase> FDatabase;
    std::string FFileName;
    std::string FSchema;
};

// A fresh name for a temporary database file (the caller removes it).
std::string TempDatabaseFile();

// Whether the tests run on PostgreSQL (ORVEL_TEST_ENGINE=postgresql).
bool TestsOnPostgres();
// The connection string of the test server (ORVEL_PG); raises when it is not set.
std::string TestServer();

// The text of the database error an action raises, or "(no error)".
std::string DatabaseErrorOf(const std::function<void()>& action);

} // namespace orvel::test
