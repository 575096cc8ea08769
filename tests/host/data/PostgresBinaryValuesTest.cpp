// Values the PostgreSQL server sends in binary format: each built-in type decoded from hand-made
// bytes (and bytes that do not fit their type refused), then every type read from the test server
// once in text format and once in binary format, with the same values both times.
#include "tests/support/data/DataFixtures.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/data/sql/PgValues.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using namespace orvel;
using namespace orvel::pgvalues;
using namespace orvel::test;

namespace {

std::string BigEndianBytes(uint64_t value, int size) {
    std::string bytes(static_cast<std::size_t>(size), '\0');
    for (int i = size - 1; i >= 0; --i, value >>= 8)
        bytes[static_cast<std::size_t>(i)] = static_cast<char>(value & 0xFF);
    return bytes;
}

std::string Float8Bytes(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return BigEndianBytes(bits, 8);
}

std::string Float4Bytes(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return BigEndianBytes(bits, 4);
}

// A numeric as the server sends it: base-10,000 digits, the weight of the first, sign, scale.
std::string NumericBytes(int weight, uint16_t sign, uint16_t dscale,
                         const std::vector<int>& digits) {
    std::string bytes = BigEndianBytes(digits.size(), 2) +
                        BigEndianBytes(static_cast<uint16_t>(weight), 2) + BigEndianBytes(sign, 2) +
                        BigEndianBytes(dscale, 2);
    for (int d : digits)
        bytes += BigEndianBytes(static_cast<uint16_t>(d), 2);
    return bytes;
}

TEST(PostgresBinaryValues, IntegersAndBooleansKeepEveryValueAndRefuseBytesOfAnotherSize) {
    EXPECT_EQ(BinaryInt64(kInt2, BigEndianBytes(static_cast<uint16_t>(-2), 2)), -2);
    EXPECT_EQ(BinaryInt64(kInt4, BigEndianBytes(0x7FFFFFFF, 4)), 2147483647);
    EXPECT_EQ(BinaryInt64(kInt4, BigEndianBytes(0x80000000, 4)), -2147483648LL);
    EXPECT_EQ(BinaryInt64(kInt8, BigEndianBytes(0x8000000000000000ULL, 8)),
              std::numeric_limits<int64_t>::min());
    EXPECT_EQ(BinaryInt64(kInt8, BigEndianBytes(5000000000ULL, 8)), 5000000000LL);
    EXPECT_EQ(BinaryInt64(kOid, BigEndianBytes(0xFFFFFFFF, 4)), 4294967295LL);
    EXPECT_EQ(BinaryInt64(kBool, std::string(1, '\1')), 1);
    EXPECT_EQ(BinaryInt64(kBool, std::string(1, '\0')), 0);
    EXPECT_EQ(BinaryText(kBool, std::string(1, '\1')), "t");
    EXPECT_EQ(BinaryText(kInt8, BigEndianBytes(static_cast<uint64_t>(-42), 8)), "-42");
    EXPECT_DOUBLE_EQ(BinaryDouble(kInt4, BigEndianBytes(static_cast<uint32_t>(-7), 4)), -7.0);

    for (auto [type, size] : {std::pair{kInt2, 4}, std::pair{kInt4, 2}, std::pair{kInt8, 4},
                              std::pair{kBool, 0}, std::pair{kOid, 8}}) {
        std::string message = DatabaseErrorOf([&] { BinaryInt64(type, std::string(size, '\0')); });
        EXPECT_NE(message.find("cannot read"), std::string::npos) << type << ": " << message;
    }
}

TEST(PostgresBinaryValues, FloatsReadAsTheirTextWouldAndFractionsAreNoIntegers) {
    EXPECT_EQ(BinaryDouble(kFloat8, Float8Bytes(0.1)), 0.1);
    EXPECT_EQ(BinaryDouble(kFloat8, Float8Bytes(-1e300)), -1e300);
    EXPECT_TRUE(std::signbit(BinaryDouble(kFloat8, Float8Bytes(-0.0))));
    EXPECT_TRUE(std::isnan(BinaryDouble(kFloat8, Float8Bytes(std::nan("")))));
    EXPECT_EQ(BinaryText(kFloat8, Float8Bytes(-INFINITY)), "-Infinity");
    EXPECT_EQ(BinaryText(kFloat8, Float8Bytes(0.1)), "0.1");
    // A real reads as the double of its shortest text, as the text format gives it.
    EXPECT_EQ(BinaryDouble(kFloat4, Float4Bytes(0.1f)), 0.1);
    EXPECT_EQ(BinaryDouble(kFloat4, Float4Bytes(3.4e38f)), 3.4e38);
    EXPECT_EQ(BinaryText(kFloat4, Float4Bytes(0.1f)), "0.1");

    EXPECT_EQ(BinaryInt64(kFloat8, Float8Bytes(-12.9)), -12);
    EXPECT_NE(
        DatabaseErrorOf([] { BinaryInt64(kFloat8, Float8Bytes(1e19)); }).find("not an integer"),
        std::string::npos);
    EXPECT_NE(DatabaseErrorOf([] { BinaryInt64(kFloat8, Float8Bytes(std::nan(""))); }),
              "(no error)");
    EXPECT_NE(DatabaseErrorOf([] { BinaryDouble(kFloat8, std::string(4, '\0')); }), "(no error)");
}

TEST(PostgresBinaryValues, NumericsAreWrittenWithTheirScaleAndRoundedToTheNearestDouble) {
    // 12.50: one digit before the point, scale 2.
    EXPECT_EQ(BinaryText(kNumeric, NumericBytes(0, 0, 2, {12, 5000})), "12.50");
    EXPECT_EQ(BinaryDouble(kNumeric, NumericBytes(0, 0, 2, {12, 5000})), 12.5);
    EXPECT_EQ(BinaryText(kNumeric, NumericBytes(-1, 0x4000, 4, {12})), "-0.0012");
    EXPECT_EQ(BinaryText(kNumeric, NumericBytes(-2, 0, 8, {1234})), "0.00001234");
    EXPECT_EQ(BinaryText(kNumeric, NumericBytes(2, 0, 3, {1, 2345, 6789, 1230})), "123456789.123");
    EXPECT_EQ(BinaryText(kNumeric, NumericBytes(1, 0, 0, {5})), "50000");
    EXPECT_EQ(BinaryText(kNumeric, NumericBytes(0, 0, 0, {})), "0");
    EXPECT_EQ(BinaryText(kNumeric, NumericBytes(0, 0, 3, {})), "0.000");
    EXPECT_EQ(BinaryDouble(kNumeric, NumericBytes(0, 0, 1, {0, 1000})), 0.1);
    EXPECT_EQ(BinaryInt64(kNumeric, NumericBytes(2, 0, 0, {1, 2345, 6789})), 123456789);
    EXPECT_TRUE(std::isnan(BinaryDouble(kNumeric, NumericBytes(0, 0xC000, 0, {}))));
    EXPECT_EQ(BinaryDouble(kNumeric, NumericBytes(0, 0xF000, 0, {})),
              -std::numeric_limits<double>::infinity());

    // Beyond the double range: an error, not a zero; below it: zero.
    EXPECT_NE(DatabaseErrorOf([] {
                  BinaryDouble(kNumeric, NumericBytes(100, 0, 0, {1}));
              }).find("too large"),
              std::string::npos);
    EXPECT_EQ(BinaryDouble(kNumeric, NumericBytes(-100, 0x4000, 404, {1})), 0.0);
    // Bytes that are no numeric: a digit of 10,000, a sign of none, a length that does not fit.
    EXPECT_NE(DatabaseErrorOf([] { BinaryText(kNumeric, NumericBytes(0, 0, 0, {10000})); }),
              "(no error)");
    EXPECT_NE(DatabaseErrorOf([] { BinaryText(kNumeric, NumericBytes(0, 0x1234, 0, {1})); }),
              "(no error)");
    EXPECT_NE(DatabaseErrorOf([] { BinaryText(kNumeric, NumericBytes(0, 0, 0, {1}) + "x"); }),
              "(no error)");
    EXPECT_NE(DatabaseErrorOf([] { BinaryText(kNumeric, std::string(3, '\0')); }), "(no error)");
}

TEST(PostgresBinaryValues, DatesAndTimesAreWrittenInIsoStyleWithTheirEra) {
    auto date = [](int32_t days) {
        return BinaryText(kDate, BigEndianBytes(static_cast<uint32_t>(days), 4));
    };
    auto timestamp = [](int64_t micros) {
        return BinaryText(kTimestamp, BigEndianBytes(static_cast<uint64_t>(micros), 8));
    };
    EXPECT_EQ(date(0), "2000-01-01");
    EXPECT_EQ(date(-1), "1999-12-31");
    EXPECT_EQ(date(8825), "2024-02-29");
    EXPECT_EQ(date(-730119), "0001-01-01");
    EXPECT_EQ(date(-730120), "0001-12-31 BC");
    EXPECT_EQ(date(std::numeric_limits<int32_t>::max()), "infinity");
    EXPECT_EQ(date(std::numeric_limits<int32_t>::min()), "-infinity");

    constexpr int64_t day = int64_t{86400} * 1000000;
    EXPECT_EQ(timestamp(8825 * day + (13 * 3600 + 45 * 60 + 10) * int64_t{1000000}),
              "2024-02-29 13:45:10");
    EXPECT_EQ(timestamp(-1), "1999-12-31 23:59:59.999999");
    EXPECT_EQ(timestamp(500000), "2000-01-01 00:00:00.5");
    EXPECT_EQ(timestamp(-730120 * day + 3600 * int64_t{1000000}), "0001-12-31 01:00:00 BC");
    EXPECT_EQ(timestamp(std::numeric_limits<int64_t>::max()), "infinity");

    EXPECT_EQ(BinaryText(kTime, BigEndianBytes(uint64_t{45296} * 1000000 + 120, 8)),
              "12:34:56.00012");
    EXPECT_EQ(BinaryText(kTime, BigEndianBytes(static_cast<uint64_t>(day), 8)), "24:00:00");
    EXPECT_NE(DatabaseErrorOf([&] { BinaryText(kTime, BigEndianBytes(day + 1, 8)); }),
              "(no error)");
    EXPECT_NE(DatabaseErrorOf([] { BinaryText(kDate, std::string(8, '\0')); }), "(no error)");

    // Dates are read in binary only where the session writes them in ISO style.
    EXPECT_TRUE(BinaryReadable(kTimestamp, true));
    EXPECT_FALSE(BinaryReadable(kTimestamp, false));
    EXPECT_TRUE(BinaryReadable(kInt4, false));
    EXPECT_FALSE(BinaryReadable(kTimestampTz, true));
    EXPECT_FALSE(BinaryReadable(kMoney, true));
    EXPECT_FALSE(BinaryReadable(2950 /* uuid */, true));
}

TEST(PostgresBinaryValues, TextsAndBytesPassUnchangedAndTextNumbersOverflowClearly) {
    std::string bytes("\x00\x01\xff\\x", 5);
    EXPECT_EQ(BinaryText(kText, bytes), bytes);
    EXPECT_EQ(BinaryText(kVarChar, "Grüße"), "Grüße");
    EXPECT_EQ(BinaryText(kBytea, bytes), "\\x0001ff5c78");
    EXPECT_EQ(BinaryInt64(kText, "42 apples"), 42);
    EXPECT_NE(DatabaseErrorOf([] { BinaryText(2950, std::string(16, '\0')); }), "(no error)");

    EXPECT_EQ(TextDouble("12.50"), 12.5);
    EXPECT_EQ(TextDouble("-Infinity"), -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(TextDouble("NaN")));
    EXPECT_EQ(TextDouble("1e-400"), 0.0);
    EXPECT_TRUE(std::signbit(TextDouble("-0.000000000000000000001e-400")));
    EXPECT_NE(DatabaseErrorOf([] { TextDouble("1" + std::string(400, '0')); }).find("too large"),
              std::string::npos);
    EXPECT_NE(DatabaseErrorOf([] { TextDouble("-0.001e312"); }), "(no error)");
}

// ---- on the server ------------------------------------------------------------------------------

// Every column of the current row, as the datasets read it: the storage class, then the accessor
// of that class.
std::vector<std::string> RowOf(TSqlStatement& stmt) {
    std::vector<std::string> row;
    for (int i = 0; i < stmt.ColumnCount(); ++i) {
        switch (stmt.ColumnType(i)) {
        case TSqlType::Null:
            row.push_back("null");
            break;
        case TSqlType::Integer:
            row.push_back("int " + std::to_string(stmt.ColumnInt64(i)));
            break;
        case TSqlType::Float: {
            double d = stmt.ColumnDouble(i);
            uint64_t bits;
            std::memcpy(&bits, &d, sizeof bits);
            row.push_back("float " + std::to_string(bits));
            break;
        }
        case TSqlType::Text:
            row.push_back("text " + std::string(stmt.ColumnText(i)));
            break;
        case TSqlType::Blob:
            row.push_back("blob " + std::string(stmt.ColumnBlob(i)));
            break;
        }
    }
    return row;
}

// Every column of the current row read by ReadCell alone, written as RowOf writes it.
std::vector<std::string> CellsOf(const TSqlStatement& stmt) {
    std::vector<std::string> row;
    for (int i = 0; i < stmt.ColumnCount(); ++i) {
        TSqlCell cell;
        stmt.ReadCell(i, cell);
        switch (cell.Type) {
        case TSqlType::Null:
            row.push_back("null");
            break;
        case TSqlType::Integer:
            row.push_back("int " + std::to_string(cell.Integer));
            break;
        case TSqlType::Float: {
            uint64_t bits;
            std::memcpy(&bits, &cell.Float, sizeof bits);
            row.push_back("float " + std::to_string(bits));
            break;
        }
        case TSqlType::Text:
            row.push_back("text " + std::string(cell.Text));
            break;
        case TSqlType::Blob:
            row.push_back("blob " + std::string(cell.Text));
            break;
        }
    }
    return row;
}

// The rows of a statement run twice: the first run learns the column types (text format), the
// second reads in binary where they allow.
std::pair<std::vector<std::vector<std::string>>, std::vector<std::vector<std::string>>>
TwoRuns(TSqlConnection& connection, const std::string& sql) {
    auto stmt = connection.Prepare(sql);
    std::vector<std::vector<std::string>> runs[2];
    for (auto& rows : runs) {
        while (stmt->Step())
            rows.push_back(RowOf(*stmt));
        stmt->Reset();
    }
    return {runs[0], runs[1]};
}

TEST(PostgresBinaryValues, EveryTypeReadsTheSameInBinaryAsInTextOnTheServer) {
    TTestDatabase db(TStorage::Server, false);
    db.Execute("CREATE TABLE KINDS (ID INTEGER PRIMARY KEY, S SMALLINT, I INTEGER, B BIGINT, "
               "N NUMERIC(30,4), NF NUMERIC, F DOUBLE PRECISION, R REAL, FLAG BOOLEAN, D DATE, "
               "TS TIMESTAMP, TM TIME, T TEXT, V VARCHAR(20), C CHAR(4), PIC BYTEA)");
    db.Execute("INSERT INTO KINDS VALUES "
               "(1, -32768, -2147483648, -9223372036854775808, 12.5, 'NaN', 0.1, 0.1, TRUE, "
               "'2024-02-29', '2024-02-29 13:45:10.25', '12:34:56.5', 'Grüße ''q'' \"d\" ?', "
               "'', 'ab', '\\x0001ff00'), "
               "(2, 32767, 2147483647, 9223372036854775807, -0.0001, 123456789012345678901234, "
               "'-Infinity', 'NaN', FALSE, '0044-03-15 BC', '1999-12-31 23:59:59.999999', "
               "'00:00:00', '日本語', 'x', 'abcd', ''), "
               "(3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
               "NULL, NULL, NULL), "
               "(4, 0, 0, 0, 0, 1e-20, -0.0, 3.4e38, TRUE, 'infinity', '-infinity', '24:00:00', "
               "'a\tb\nc', 'Ω', '', '\\x')");
    auto [text, binary] = TwoRuns(db.Database().Connection(), "SELECT * FROM KINDS ORDER BY ID");
    ASSERT_EQ(text.size(), 4u);
    EXPECT_EQ(binary, text);
    EXPECT_EQ(text[0][15], std::string("blob \x00\x01\xff\x00", 9));
    EXPECT_EQ(text[0][13], "text ");
    EXPECT_EQ(text[1][9], "text 0044-03-15 BC");
    EXPECT_EQ(text[2][1], "null");
    EXPECT_EQ(text[3][15], "blob ");

    // The same values through a table: fields read what was written.
    auto t = db.OpenTable("KINDS", "ID");
    t->First();
    EXPECT_EQ(t->FieldByName("B")->GetAsLargeInt(), std::numeric_limits<int64_t>::min());
    EXPECT_DOUBLE_EQ(t->FieldByName("N")->GetAsFloat(), 12.5);
    EXPECT_EQ(t->FieldByName("R")->GetAsFloat(), 0.1);
    EXPECT_TRUE(t->FieldByName("FLAG")->GetAsBoolean());
    EXPECT_EQ(t->FieldByName("PIC")->GetValue().AsString(), std::string("\x00\x01\xff\x00", 4));
    EXPECT_EQ(t->FieldByName("V")->GetAsString(), "");
    EXPECT_FALSE(t->FieldByName("V")->IsNull());
    t->Next();
    EXPECT_EQ(t->FieldByName("T")->GetAsString(), "日本語");
    EXPECT_EQ(t->FieldByName("C")->GetAsString(), "abcd");
}

// A cell read at once (as the datasets read rows) gives what its class and that class's reader
// give, in both formats of the server and on SQLite: Nulls, the least and greatest integers,
// multibyte texts, dates, Booleans, bytes. Past the last row, and for a column beyond the row,
// it reads Null.
TEST(PostgresBinaryValues, ACellReadAtOnceGivesWhatItsClassAndReaderGive) {
    for (TStorage storage : {TStorage::Server, TStorage::Memory}) {
        TTestDatabase db(storage, false);
        bool server = db.OnPostgres();
        db.Execute("CREATE TABLE CELLS (ID INTEGER PRIMARY KEY, I INTEGER, B BIGINT, S SMALLINT, "
                   "F DOUBLE PRECISION, N NUMERIC(12,2), FLAG BOOLEAN, D DATE, T VARCHAR(20), "
                   "PIC " +
                   std::string(server ? "BYTEA" : "BLOB") + ")");
        std::string bytes = server ? "'\\x00ff10'" : "x'00ff10'";
        db.Execute("INSERT INTO CELLS VALUES (1, -2147483648, -9223372036854775808, -32768, -0.5, "
                   "-12.25, TRUE, '2024-02-29', 'Grüße 日本', " +
                   bytes +
                   "), (2, 2147483647, 9223372036854775807, 32767, 1e300, 99.99, FALSE, "
                   "'1999-12-31', '', NULL), (3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
                   "NULL)");
        auto stmt = db.Database().Connection().Prepare("SELECT * FROM CELLS ORDER BY ID");
        for (int run = 0; run < 2; ++run) { // the server's second run reads in binary
            std::vector<std::vector<std::string>> cells, separate;
            while (stmt->Step()) {
                cells.push_back(CellsOf(*stmt));
                separate.push_back(RowOf(*stmt));
                // After the separate readers too: a value they made for ReadCell stays right.
                EXPECT_EQ(CellsOf(*stmt), cells.back());
            }
            TSqlCell past;
            past.Type = TSqlType::Integer;
            stmt->ReadCell(0, past);
            EXPECT_EQ(past.Type, TSqlType::Null);
            stmt->Reset();
            ASSERT_EQ(cells.size(), 3u) << server;
            EXPECT_EQ(cells, separate) << server << " run " << run;
            EXPECT_EQ(cells[0][1], "int -2147483648");
            EXPECT_EQ(cells[0][2], "int " + std::to_string(std::numeric_limits<int64_t>::min()));
            EXPECT_EQ(cells[1][2], "int " + std::to_string(std::numeric_limits<int64_t>::max()));
            EXPECT_EQ(cells[0][8], "text Grüße 日本");
            EXPECT_EQ(cells[0][9], std::string("blob \x00\xff\x10", 8));
            EXPECT_EQ(cells[2][9], "null");
        }
    }
}

// A value of no bytes is Null only when it is Null: empty texts, names, padded and unpadded
// characters and bytes read as empty values beside Nulls of the same columns, in both formats,
// as their class's reader reads them.
TEST(PostgresBinaryValues, AnEmptyValueIsNoNull) {
    TTestDatabase db(TStorage::Server, false);
    db.Execute("CREATE TABLE EMPTIES (ID INTEGER PRIMARY KEY, T TEXT, V VARCHAR(5), C CHAR(2), "
               "N NAME, PIC BYTEA)");
    db.Execute("INSERT INTO EMPTIES VALUES (1, '', '', '', '', '\\x'), "
               "(2, NULL, NULL, NULL, NULL, NULL), (3, 'ä', '日', 'x', 'n', '\\x00')");
    auto stmt = db.Database().Connection().Prepare("SELECT * FROM EMPTIES ORDER BY ID");
    for (int run = 0; run < 2; ++run) { // the second run reads in binary
        std::vector<std::vector<std::string>> cells;
        while (stmt->Step()) {
            cells.push_back(CellsOf(*stmt));
            EXPECT_EQ(cells.back(), RowOf(*stmt)) << run;
        }
        stmt->Reset();
        ASSERT_EQ(cells.size(), 3u);
        EXPECT_EQ(cells[0], (std::vector<std::string>{"int 1", "text ", "text ", "text   ", "text ",
                                                      "blob "}))
            << run;
        EXPECT_EQ(cells[1],
                  (std::vector<std::string>{"int 2", "null", "null", "null", "null", "null"}))
            << run;
        EXPECT_EQ(cells[2], (std::vector<std::string>{"int 3", "text ä", "text 日", "text x ",
                                                      "text n", std::string("blob \0", 6)}))
            << run;
    }
}

TEST(PostgresBinaryValues, TypesTheBinaryPathDoesNotReadStayInTextAndOverflowIsAnError) {
    TTestDatabase db(TStorage::Server, false);
    TSqlConnection& connection = db.Database().Connection();
    // Zoned times, currency, identifiers: their text depends on the session or is not decoded.
    auto [text, binary] = TwoRuns(
        connection, "SELECT TIMESTAMPTZ '2024-02-29 13:45:10+00', 12::int4, "
                    "'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11'::uuid, INTERVAL '1 day', 5::int8");
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(binary, text);
    EXPECT_EQ(text[0][2], "text a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11");
    EXPECT_EQ(text[0][1], "int 12");

    // A session that writes dates in another style reads them as it writes them.
    connection.Execute("SET DateStyle = 'German'");
    auto [german, germanAgain] = TwoRuns(connection, "SELECT DATE '2024-02-29', 7::int2");
    EXPECT_EQ(german[0][0], "text 29.02.2024");
    EXPECT_EQ(germanAgain, german);
    connection.Execute("SET DateStyle = 'ISO, MDY'");

    // A numeric beyond the double range is an error in both formats, never a zero.
    auto stmt = connection.Prepare("SELECT 1e400::numeric");
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(stmt->Step());
        EXPECT_EQ(stmt->ColumnType(0), TSqlType::Float);
        EXPECT_NE(DatabaseErrorOf([&] { stmt->ColumnDouble(0); }).find("too large"),
                  std::string::npos);
        EXPECT_EQ(stmt->ColumnText(0).substr(0, 4), "1000");
        stmt->Reset();
    }
}

} // namespace
