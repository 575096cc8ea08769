// The usual tables for tests, over SQLite.
#include "tests/support/data/DataFixtures.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace orvel::test {

std::string TempDatabaseFile() {
    static std::atomic<int> counter{0};
    auto dir = std::filesystem::temp_directory_path();
    std::string name =
        "orvel-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".db";
    std::filesystem::path path = dir / name;
    std::filesystem::remove(path);
    return path.string();
}

TTestDatabase::TTestDatabase(TStorage storage, bool fill) : FDatabase(new TDatabase(nullptr)) {
    if (storage == TStorage::TempFile) FFileName = TempDatabaseFile();
    FDatabase->SetDatabaseName(FFileName.empty() ? ":memory:" : FFileName);
    FDatabase->Open();
    // Tests do not need the file to survive a power cut; skipping the syncs keeps them quick.
    if (!FFileName.empty()) Execute("PRAGMA synchronous = OFF");
    Execute(
        "CREATE TABLE ORGANIZATION (ID INTEGER PRIMARY KEY, PARENT_ID INTEGER, NAME VARCHAR(60) "
        "NOT NULL, STATUS_ID INTEGER, IMAGE_ID INTEGER);"
        "CREATE INDEX ORGANIZATION_PARENT ON ORGANIZATION (PARENT_ID);"
        "CREATE TABLE OBJECTS (ORIGIN_ID INTEGER NOT NULL, OBJECT_ID INTEGER NOT NULL, "
        "OWNER_ORIGIN_ID INTEGER, OWNER_OBJECT_ID INTEGER, NAME VARCHAR(60), STATUS_ID INTEGER, "
        "CLASS_ID INTEGER, PRIMARY KEY (ORIGIN_ID, OBJECT_ID));"
        "CREATE INDEX OBJECTS_OWNER ON OBJECTS (OWNER_ORIGIN_ID, OWNER_OBJECT_ID);"
        "CREATE TABLE ITEMS (ID INTEGER PRIMARY KEY, CODE INTEGER, NAME VARCHAR(40), STATUS_ID "
        "INTEGER, IMAGE_ID INTEGER, FLAGS INTEGER, ACTIVE BOOLEAN, PRICE REAL, CREATED DATE);"
        "CREATE TABLE PICTURES (ID INTEGER PRIMARY KEY, PIC BLOB);"
        "CREATE TABLE PLACES (ID INTEGER PRIMARY KEY, PARENT_ID INTEGER, NAME VARCHAR(60) NOT "
        "NULL, STATUS_ID INTEGER, IMAGE_ID INTEGER) WITHOUT ROWID;"
        "CREATE INDEX PLACES_PARENT ON PLACES (PARENT_ID);"
        "CREATE TABLE DIVISIONS (CODE VARCHAR(10) PRIMARY KEY, ID INTEGER NOT NULL UNIQUE, "
        "PARENT_ID INTEGER, NAME VARCHAR(60) NOT NULL, STATUS_ID INTEGER, IMAGE_ID INTEGER);"
        "CREATE INDEX DIVISIONS_PARENT ON DIVISIONS (PARENT_ID);"
        // A record inserted without its code gets one made of its ID, as views insert records.
        "CREATE TRIGGER DIVISIONS_CODE AFTER INSERT ON DIVISIONS WHEN NEW.CODE IS NULL BEGIN "
        "UPDATE DIVISIONS SET CODE = 'C' || NEW.ID WHERE rowid = NEW.rowid; END;");
    if (fill) {
        FillOrganization();
        FillPlacesAndDivisions();
        FillObjects();
        FillItems();
    }
}

TTestDatabase::~TTestDatabase() {
    FDatabase.reset();
    if (!FFileName.empty()) {
        std::error_code ignored;
        std::filesystem::remove(FFileName, ignored);
        std::filesystem::remove(FFileName + "-journal", ignored);
    }
}

Variant TTestDatabase::Scalar(const std::string& sql) {
    auto stmt = FDatabase->Connection().Prepare(sql);
    if (!stmt->Step()) return Variant::Null();
    switch (stmt->ColumnType(0)) {
    case TSqlType::Integer:
        return Variant(stmt->ColumnInt64(0));
    case TSqlType::Float:
        return Variant(stmt->ColumnDouble(0));
    case TSqlType::Text:
        return Variant(std::string(stmt->ColumnText(0)));
    case TSqlType::Blob:
        return Variant(std::string(stmt->ColumnBlob(0)));
    default:
        return Variant::Null();
    }
}

int64_t TTestDatabase::Count(const std::string& table) {
    return Scalar("SELECT COUNT(*) FROM " + table).AsInt64();
}

TOwned<TTable> TTestDatabase::OpenTable(const std::string& table,
                                        const std::string& indexFieldNames, TComponent* owner) {
    TOwned<TTable> t(new TTable(owner));
    t->SetDatabase(FDatabase.get());
    t->SetTableName(table);
    t->SetIndexFieldNames(indexFieldNames);
    t->Open();
    return t;
}

TOwned<TQuery> TTestDatabase::OpenQuery(const std::string& sql, TComponent* owner) {
    TOwned<TQuery> q(new TQuery(owner));
    q->SetDatabase(FDatabase.get());
    q->GetSQL()->SetText(sql);
    q->Open();
    return q;
}

void TTestDatabase::FillOrganization() {
    Execute("INSERT INTO ORGANIZATION VALUES (1, NULL, 'Head office', 1, 10);"
            "INSERT INTO ORGANIZATION VALUES (2, 1, 'Sales', 2, 11);"
            "INSERT INTO ORGANIZATION VALUES (3, 2, 'North', NULL, 12);"
            "INSERT INTO ORGANIZATION VALUES (4, 2, 'South', 1, NULL);"
            "INSERT INTO ORGANIZATION VALUES (5, 1, 'Engineering', 2, 13);"
            "INSERT INTO ORGANIZATION VALUES (6, 5, 'Research', NULL, NULL);"
            "INSERT INTO ORGANIZATION VALUES (7, NULL, 'Branch office', 1, 10);"
            "INSERT INTO ORGANIZATION VALUES (8, 7, 'Depot', 3, 14);");
}

void TTestDatabase::FillPlacesAndDivisions() {
    Execute("INSERT INTO PLACES SELECT ID, PARENT_ID, NAME, STATUS_ID, IMAGE_ID FROM ORGANIZATION;"
            "INSERT INTO DIVISIONS SELECT 'C' || ID, ID, PARENT_ID, NAME, STATUS_ID, IMAGE_ID "
            "FROM ORGANIZATION ORDER BY ID;");
}

void TTestDatabase::FillObjects() {
    Execute("INSERT INTO OBJECTS VALUES (1, 1, 0, 0, 'Alpha', 1, 100);"
            "INSERT INTO OBJECTS VALUES (1, 2, 0, 0, 'Beta', 2, 100);"
            "INSERT INTO OBJECTS VALUES (2, 1, 1, 1, 'Gamma', 1, 200);"
            "INSERT INTO OBJECTS VALUES (2, 2, 1, 1, 'Delta', NULL, 200);"
            "INSERT INTO OBJECTS VALUES (2, 3, 1, 2, 'Epsilon', 3, 300);");
}

void TTestDatabase::FillItems() {
    Execute("INSERT INTO ITEMS VALUES (1, 10, 'Item 1', 1, 1, 4, 1, 1.5, '2024-01-31');"
            "INSERT INTO ITEMS VALUES (2, 20, 'Item 2', 2, NULL, 12, 0, 2.25, '2024-02-29');"
            "INSERT INTO ITEMS VALUES (3, 30, 'Item 3', NULL, 3, 13, 1, NULL, NULL);"
            "INSERT INTO ITEMS VALUES (4, 40, 'Item 4', 1, 4, 0, NULL, 4.0, '2023-12-24');"
            "INSERT INTO ITEMS VALUES (5, 50, 'Item 5', 3, 5, 1, 0, 5.75, '2024-03-31');");
}

void TTestDatabase::AddPicture(int id, const std::string& bytes) {
    auto stmt = FDatabase->Connection().Prepare("INSERT INTO PICTURES (ID, PIC) VALUES (?, ?)");
    stmt->BindInt64(0, id);
    stmt->BindBlob(1, bytes);
    stmt->Step();
}

void TTestDatabase::CreateUnits() {
    Execute("CREATE TABLE UNITS (UNIT_GROUP INTEGER NOT NULL, UNIT_ID INTEGER NOT NULL, "
            "OWNER_GROUP INTEGER, OWNER_ID INTEGER, NAME VARCHAR(60), STATUS_ID INTEGER, "
            "PRIMARY KEY (UNIT_GROUP, UNIT_ID));"
            "CREATE INDEX UNITS_OWNER ON UNITS (OWNER_GROUP, OWNER_ID);"
            "INSERT INTO UNITS VALUES (1, 1, NULL, NULL, 'Alpha', 1);"
            "INSERT INTO UNITS VALUES (1, 2, NULL, NULL, 'Beta', 2);"
            "INSERT INTO UNITS VALUES (2, 1, 1, 1, 'Gamma', NULL);"
            "INSERT INTO UNITS VALUES (2, 2, 1, 1, 'Delta', 1);"
            "INSERT INTO UNITS VALUES (3, 1, 2, 2, 'Epsilon', 3);"
            "INSERT INTO UNITS VALUES (3, 2, 1, 2, 'Zeta', NULL);");
}

} // namespace orvel::test
