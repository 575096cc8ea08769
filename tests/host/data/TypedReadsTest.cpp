// The typed reads of a bulk read's record (TRecordView::AsText, AsInteger, and Value, IsNull and
// AsString built on them) give exactly what the Variant path gives from the same stored value:
// StoredToValue, StoredAsString and the value's integer, for every field type and every form the
// engine stores, on SQLite and on the server.
#include "tests/support/data/DataFixtures.h"

#include "orvel/host/core/Exceptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace orvel;
using namespace orvel::test;

namespace {

// One column: its declared type on each engine and the values its rows hold (NULL below them).
// SQLite stores any value in any column, so its lists mix the engine's classes on purpose.
struct TColumnCase {
    const char* Name;
    const char* SqliteType;
    const char* PgType;
    std::vector<const char*> SqliteValues;
    std::vector<const char*> PgValues;
};

const std::vector<const char*> kMixed = {"0",
                                         "5",
                                         "-7",
                                         "32767",
                                         "40000",
                                         "70000",
                                         "-32769",
                                         "2147483647",
                                         "-2147483648",
                                         "5000000000",
                                         "'12'",
                                         "' 12 '",
                                         "'abc'",
                                         "''",
                                         "2.0",
                                         "2.5",
                                         "-3.0",
                                         "1e300",
                                         "x'3132'",
                                         "x''",
                                         "'true'",
                                         "'FALSE'",
                                         "'2024-02-29'",
                                         "'13:45:10.250'",
                                         "'2024-02-29 13:45:10'",
                                         "NULL"};

const std::vector<TColumnCase> kColumns = {
    {"SI", "SMALLINT", "SMALLINT", kMixed, {"0", "-32768", "32767", "12"}},
    {"WO", "WORD", "INTEGER", kMixed, {"0", "65535", "-1", "70000"}},
    {"IT", "INTEGER", "INTEGER", kMixed, {"0", "-7", "2147483647", "-2147483648"}},
    {"BI", "BIGINT", "BIGINT", kMixed, {"0", "5000000000", "-9223372036854775808", "42"}},
    {"FL", "DOUBLE", "DOUBLE PRECISION", kMixed, {"0", "2.5", "-3", "1e300"}},
    {"NU", "NUMERIC(10,2)", "NUMERIC(10,2)", kMixed, {"0", "12.25", "-7", "99999999.99"}},
    {"MO", "MONEY", "NUMERIC(12,4)", kMixed, {"1.5", "-0.0001", "7", "0"}},
    {"BO", "BOOLEAN", "BOOLEAN", kMixed, {"TRUE", "FALSE", "TRUE", "FALSE"}},
    {"DA",
     "DATE",
     "DATE",
     kMixed,
     {"'2024-02-29'", "'1899-12-30'", "'2000-01-01'", "'1970-01-01'"}},
    {"TI", "TIME", "TIME", kMixed, {"'13:45:10'", "'00:00:00'", "'23:59:59.5'", "'08:00:00'"}},
    {"DT",
     "DATETIME",
     "TIMESTAMP",
     kMixed,
     {"'2024-02-29 13:45:10'", "'1899-12-30 00:00:00'", "'2000-01-01 12:00:00.5'",
      "'1970-01-01 00:00:01'"}},
    {"VC", "VARCHAR(12)", "VARCHAR(12)", kMixed, {"'abc'", "''", "'12'", "'Zoë'"}},
    {"TX", "TEXT", "TEXT", kMixed, {"'a longer text than a short one'", "''", "'5'", "' x '"}},
    {"ME", "MEMO", "TEXT", kMixed, {"'memo'", "''", "'-1'", "'line\nline'"}},
    {"BL",
     "BLOB",
     "BYTEA",
     kMixed,
     {"decode('3132', 'hex')", "decode('', 'hex')", "decode('00ff', 'hex')",
      "decode('41', 'hex')"}},
    {"UN", "", nullptr, kMixed, {}},
};

// A value with its type, or the error its conversion raises.
std::string Described(const Variant& value) {
    return VarTypeName(value.VarType()) + ":" + VarToStr(value);
}

// What a read gives, or the error it raises: both paths must agree on either.
std::string Outcome(const std::function<std::string()>& read) {
    try {
        return read();
    } catch (const std::exception& e) {
        return std::string("error: ") + e.what();
    }
}

class TypedReads : public ::testing::Test {
protected:
    // The table T with one column per case and one row per value; the rows count from ID 1.
    void MakeTable() {
        bool pg = Db.OnPostgres();
        std::string create = "CREATE TABLE T (ID INTEGER PRIMARY KEY";
        std::size_t rows = 0;
        for (const TColumnCase& c : kColumns) {
            if (pg && !c.PgType) continue;
            create += std::string(", ") + c.Name + " " + (pg ? c.PgType : c.SqliteType);
            rows = std::max(rows, (pg ? c.PgValues : c.SqliteValues).size());
        }
        Db.Execute(create + ")");
        for (std::size_t row = 0; row <= rows; ++row) {
            std::string names = "ID", values = std::to_string(row + 1);
            for (const TColumnCase& c : kColumns) {
                if (pg && !c.PgType) continue;
                const auto& list = pg ? c.PgValues : c.SqliteValues;
                names += std::string(", ") + c.Name;
                values += std::string(", ") + (row < list.size() ? list[row] : "NULL");
            }
            Db.Execute("INSERT INTO T (" + names + ") VALUES (" + values + ")");
        }
    }

    // Every field of every record: the typed reads against the Variant path of the same record.
    void ExpectTypedReadsAgree(TDataSet& ds) {
        std::vector<TField*> fields;
        for (int i = 0; i < ds.FieldCount(); ++i)
            fields.push_back(ds.Fields(i));
        std::string scratch, text;
        int records = 0;
        ds.ReadRecords(fields, [&](const TRecordView& record) {
            ++records;
            for (const TField* field : fields) {
                Variant stored;
                record.Stored(field->FieldNo(), stored);
                SCOPED_TRACE(field->FieldName() + " holding " + Described(stored));
                Variant value;
                std::string valueRead = Outcome([&] {
                    value = field->StoredToValue(stored);
                    return Described(value);
                });
                EXPECT_EQ(Outcome([&] { return Described(record.Value(field)); }), valueRead);
                EXPECT_EQ(record.IsNull(field), value.IsNull());
                std::string expected = Outcome([&] { return field->StoredAsString(stored); });
                EXPECT_EQ(Outcome([&] { return std::string(record.AsText(field, scratch)); }),
                          expected);
                EXPECT_EQ(Outcome([&] {
                              record.AsString(field, text);
                              return text;
                          }),
                          expected);
                // A text read into the buffer the view was made in comes out whole.
                text = "a reused buffer";
                EXPECT_EQ(Outcome([&] {
                              record.AsString(field, text);
                              return text;
                          }),
                          expected);
                EXPECT_EQ(Outcome([&] { return std::to_string(record.AsInteger(field, -5)); }),
                          Outcome([&] {
                              return std::to_string(value.IsNull() ? -5 : value.AsInteger());
                          }));
            }
        });
        EXPECT_EQ(records, Db.Count("T"));
    }

    TTestDatabase Db;
};

TEST_F(TypedReads, EveryStoredFormOfEveryFieldTypeReadsAsTheVariantPathGivesIt) {
    MakeTable();
    // A table's rows come from the engine's statement; a query's from the records it holds.
    {
        SCOPED_TRACE("table");
        auto table = Db.OpenTable("T");
        ExpectTypedReadsAgree(*table);
    }
    {
        SCOPED_TRACE("query");
        auto query = Db.OpenQuery("SELECT * FROM T ORDER BY ID");
        ExpectTypedReadsAgree(*query);
    }
}

} // namespace
