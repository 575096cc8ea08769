// A field's integer and text reads give what its value gives, whatever the engine stored in the
// column: values of the field's range, beyond it, text, reals and Null.
#include "tests/support/data/DataFixtures.h"

#include "orvel/host/core/Exceptions.h"

#include <gtest/gtest.h>

#include <string>

using namespace orvel;
using namespace orvel::test;

namespace {

// GetAsInteger as the field's value defines it: 0 for Null, else the value as an integer (or the
// conversion's failure).
void ExpectIntegerReadAgrees(const TField& field, const std::string& what) {
    SCOPED_TRACE(what);
    Variant value = field.GetValue();
    int32_t expected = 0;
    bool fails = false;
    try {
        expected = value.IsNull() ? 0 : value.AsInteger();
    } catch (const EConvertError&) {
        fails = true;
    }
    if (fails)
        EXPECT_THROW(field.GetAsInteger(), EConvertError);
    else
        EXPECT_EQ(field.GetAsInteger(), expected);
}

// GetAsIntegerOr: the fallback where the field is Null, else what GetAsInteger gives (or its
// failure).
void ExpectIntegerOrAgrees(const TField& field, const std::string& what) {
    SCOPED_TRACE(what + ", or a fallback");
    if (field.IsNull()) {
        EXPECT_EQ(field.GetAsIntegerOr(-99), -99);
        return;
    }
    int32_t expected = 0;
    try {
        expected = field.GetAsInteger();
    } catch (const EConvertError&) {
        EXPECT_THROW(field.GetAsIntegerOr(-99), EConvertError);
        return;
    }
    EXPECT_EQ(field.GetAsIntegerOr(-99), expected);
}

// GetAsString as the field's value defines it (for fields other than dates and times): empty for
// Null, else the value as text.
void ExpectTextReadAgrees(const TField& field, const std::string& what) {
    SCOPED_TRACE(what);
    Variant value = field.GetValue();
    EXPECT_EQ(field.GetAsString(), value.IsNull() ? std::string() : value.AsString());
}

TEST(FieldReads, IntegerAndTextReadsAgreeWithTheFieldsValueForEveryStoredForm) {
    TTestDatabase db;
    // Any value in any column is SQLite's own way of storing; a server keeps columns typed.
    if (db.OnPostgres()) GTEST_SKIP() << "columns of one type only on this engine";
    db.Execute("CREATE TABLE T (ID INTEGER PRIMARY KEY, S SMALLINT, W WORD, I INTEGER, "
               "B BIGINT, F DOUBLE, V VARCHAR(12), X TEXT, U)");
    db.Execute("INSERT INTO T (ID) VALUES (1)");
    const char* stored[] = {"0",     "5",      "-7",     "32767",      "-32768",      "40000",
                            "65535", "-1",     "70000",  "2147483647", "-2147483648", "5000000000",
                            "'12'",  "' 12 '", "'abc'",  "''",         "2.0",         "2.5",
                            "-3.0",  "NULL",   "x'3132'"};
    for (const char* literal : stored) {
        db.Execute(std::string("UPDATE T SET S = ") + literal + ", W = " + literal +
                   ", I = " + literal + ", B = " + literal + ", F = " + literal +
                   ", V = " + literal + ", X = " + literal + ", U = " + literal);
        auto t = db.OpenTable("T");
        for (const char* name : {"S", "W", "I", "B", "F", "V", "X", "U"}) {
            const TField& field = *t->FieldByName(name);
            std::string what = std::string(name) + " holding " + literal;
            ExpectIntegerReadAgrees(field, what);
            ExpectIntegerOrAgrees(field, what);
            ExpectTextReadAgrees(field, what);
        }
    }
}

// The fallback stands for Null wherever the field reads Null: a Null column, a field the window
// did not read yet, a record being inserted, no record at all; a value reads as GetAsInteger.
TEST(FieldReads, AnIntegerOrAFallbackReadsTheActiveRecordAsIsNullAndGetAsIntegerDo) {
    TTestDatabase db;
    db.Execute("CREATE TABLE T (ID INTEGER PRIMARY KEY, I INTEGER, J INTEGER, V VARCHAR(12))");
    db.Execute("INSERT INTO T VALUES (1, NULL, 4, '12')");
    db.Execute("INSERT INTO T VALUES (2, 7, NULL, NULL)");
    auto t = db.OpenTable("T");
    TField* i = t->FieldByName("I");
    TField* j = t->FieldByName("J");
    TField* v = t->FieldByName("V");
    // J and V are read for the first time on the second record.
    EXPECT_EQ(i->GetAsIntegerOr(-1), -1);
    t->Next();
    EXPECT_EQ(j->GetAsIntegerOr(-1), -1);
    EXPECT_EQ(v->GetAsIntegerOr(-1), -1);
    EXPECT_EQ(i->GetAsIntegerOr(-1), 7);
    t->First();
    EXPECT_EQ(j->GetAsIntegerOr(-1), 4);
    EXPECT_EQ(v->GetAsIntegerOr(-1), 12);
    t->Insert();
    EXPECT_EQ(i->GetAsIntegerOr(-5), -5);
    i->SetAsInteger(3);
    EXPECT_EQ(i->GetAsIntegerOr(-5), 3);
    t->Cancel();
    EXPECT_EQ(i->GetAsIntegerOr(-5), -5);
    db.Execute("DELETE FROM T");
    t->Refresh();
    ASSERT_TRUE(t->IsEmpty());
    EXPECT_EQ(j->GetAsIntegerOr(8), 8);
}

TEST(FieldReads, ReadsOfAnEditedRecordSeeTheEditedValues) {
    TTestDatabase db;
    db.Execute("CREATE TABLE T (ID INTEGER PRIMARY KEY, I INTEGER, V VARCHAR(12))");
    db.Execute("INSERT INTO T VALUES (1, 7, 'seven')");
    auto t = db.OpenTable("T");
    t->Edit();
    t->FieldByName("I")->SetAsInteger(-12);
    t->FieldByName("V")->SetAsString("twelve");
    EXPECT_EQ(t->FieldByName("I")->GetAsInteger(), -12);
    EXPECT_EQ(t->FieldByName("V")->GetAsString(), "twelve");
    t->Cancel();
    EXPECT_EQ(t->FieldByName("I")->GetAsInteger(), 7);
    EXPECT_EQ(t->FieldByName("V")->GetAsString(), "seven");
}

} // namespace
