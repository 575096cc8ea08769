// The rows of a table's windows hold each column exactly as the engine stores it: its class
// (integer, float, text, blob, NULL) and its whole value, bytes after a NUL included, whatever the
// column's declared type; compared with the same rows read from a statement of their own.
#include "tests/support/data/DataFixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace orvel;
using namespace orvel::test;

namespace {

// A value as the engine gives it, read with the column readers one call each.
Variant EngineValue(TSqlStatement& stmt, int column) {
    switch (stmt.ColumnType(column)) {
    case TSqlType::Integer:
        return Variant(stmt.ColumnInt64(column));
    case TSqlType::Float:
        return Variant(stmt.ColumnDouble(column));
    case TSqlType::Text:
        return Variant(std::string(stmt.ColumnText(column)));
    case TSqlType::Blob:
        return Variant(std::string(stmt.ColumnBlob(column)));
    default:
        return Variant::Null();
    }
}

std::string Described(const Variant& v) {
    return v.IsNull() ? "null" : VarTypeName(v.VarType()) + ":" + v.AsString();
}

TEST(WindowCells, EveryStoredClassComesWholeIntoTheWindowRow) {
    if (TestsOnPostgres()) GTEST_SKIP() << "SQLite's storage classes";
    TTestDatabase db(TStorage::Memory, false);
    db.Execute("CREATE TABLE T (ID INTEGER PRIMARY KEY, I INTEGER, R REAL, S TEXT, B BLOB, "
               "A ANYTHING)");
    const std::vector<std::string> values = {"7",
                                             "-9223372036854775808",
                                             "2.5",
                                             "-0.0",
                                             "'text'",
                                             "''",
                                             "'a' || char(0) || 'b'",
                                             "x'00ff00'",
                                             "x''",
                                             "NULL",
                                             "'12'",
                                             "1e300"};
    int id = 0;
    // Every value in every column, so that each declared type meets each class.
    for (const std::string& v : values)
        db.Execute("INSERT INTO T VALUES (" + std::to_string(++id) + ", " + v + ", " + v + ", " +
                   v + ", " + v + ", " + v + ")");
    auto table = db.OpenTable("T");
    auto stmt = db.Database().Connection().Prepare("SELECT I, R, S, B, A FROM T ORDER BY ID");
    const std::vector<std::string> names = {"I", "R", "S", "B", "A"};
    int rows = 0;
    for (table->First(); !table->Eof(); table->Next()) {
        ASSERT_TRUE(stmt->Step());
        ++rows;
        for (int c = 0; c < static_cast<int>(names.size()); ++c) {
            SCOPED_TRACE("row " + std::to_string(rows) + " column " + names[c]);
            TField* field = table->FieldByName(names[c]);
            Variant stored = EngineValue(*stmt, c);
            Variant expected = field->StoredToValue(stored);
            EXPECT_EQ(Described(field->GetValue()), Described(expected));
            EXPECT_EQ(field->GetAsString(), field->StoredAsString(stored));
            EXPECT_EQ(field->IsNull(), stored.IsNull());
        }
    }
    EXPECT_FALSE(stmt->Step());
    EXPECT_EQ(rows, id);
    // The embedded NUL survives in the text and in the blob.
    ASSERT_TRUE(table->Locate("ID", Variant(7)));
    EXPECT_EQ(table->FieldByName("S")->GetAsString(), std::string("a\0b", 3));
    ASSERT_TRUE(table->Locate("ID", Variant(8)));
    EXPECT_EQ(table->FieldByName("B")->GetAsString(), std::string("\0\xff\0", 3));
}

} // namespace
