// Shared SQLite fixtures for the tests of every layer: a database in memory or in a temporary
// file holding the usual tables, and helpers that open tables and queries on it.
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

#include <string>
#include <vector>

namespace orvel::test {

enum class TStorage { Memory, TempFile };

class TTestDatabase {
public:
    // Creates the four tables; Fill* put the sample records in.
    explicit TTestDatabase(TStorage storage = TStorage::Memory, bool fill = true);
    ~TTestDatabase();
    TTestDatabase(const TTestDatabase&) = delete;
    TTestDatabase& operator=(const TTestDatabase&) = delete;

    TDatabase& Database() { return *FDatabase; }
    // The temporary file ("" in memory); other connections may open it.
    const std::string& FileName() const { return FFileName; }
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
    TOwned<TDatabase> FDatabase;
    std::string FFileName;
};

// A fresh name for a temporary database file (the caller removes it).
std::string TempDatabaseFile();

} // namespace orvel::test
