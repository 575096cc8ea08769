// Field types and values as declared columns give them, blob streams, field data links, queries
// and the published properties of the data components.
#include "tests/host/data/RecordingLink.h"
#include "tests/support/data/DataFixtures.h"
#include "tests/support/locale/CommaLocale.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/SysUtils.h"
#include "orvel/host/core/TypInfo.h"

#include <gtest/gtest.h>

using namespace orvel;
using namespace orvel::test;

namespace {

class Fields : public ::testing::Test {
protected:
    void SetUp() override {
        Db.Execute(
            "CREATE TABLE TYPES (ID INTEGER PRIMARY KEY AUTOINCREMENT, S SMALLINT, W WORD, I "
            "INTEGER, "
            "B BIGINT, F DOUBLE, M MONEY, L BOOLEAN, D DATE, T TIME, DT DATETIME, V VARCHAR(12), "
            "X TEXT, O MEMO, P BLOB, G GRAPHIC, N NUMERIC(10,2), U, Q UNSIGNED BIG INT)");
        Db.Execute("INSERT INTO TYPES VALUES (1, 5, 65535, -7, 5000000000, 2.5, 3.25, 1, "
                   "'2024-03-31', '13:45:10', "
                   "'2024-03-31 13:45:10', 'abc', 'long text', 'memo', x'00FF10', x'0102', 1.5, "
                   "'free', 9)");
    }
    TTestDatabase Db;
};

TEST_F(Fields, DeclaredTypesGiveTheHostFieldTypesClassesAndVariantTypes) {
    auto t = Db.OpenTable("TYPES");
    struct TExpect {
        const char* Name;
        TFieldType Type;
        TVarType Var;
    };
    const TExpect expected[] = {
        {"ID", ftAutoInc, varInteger}, {"S", ftSmallint, varSmallint}, {"W", ftWord, varWord},
        {"I", ftInteger, varInteger},  {"B", ftLargeint, varInt64},    {"F", ftFloat, varDouble},
        {"M", ftCurrency, varDouble},  {"L", ftBoolean, varBoolean},   {"D", ftDate, varDate},
        {"T", ftTime, varDate},        {"DT", ftDateTime, varDate},    {"V", ftString, varString},
        {"X", ftString, varString},    {"O", ftMemo, varString},       {"P", ftBlob, varString},
        {"G", ftGraphic, varString},   {"N", ftFloat, varDouble},      {"U", ftUnknown, varString},
        {"Q", ftInteger, varInteger},
    };
    for (const TExpect& e : expected) {
        TField* f = t->FieldByName(e.Name);
        EXPECT_EQ(f->DataType(), e.Type) << e.Name;
        EXPECT_EQ(f->GetValue().VarType(), e.Var) << e.Name;
    }
    EXPECT_EQ(t->FieldByName("V")->Size(), 12);
    EXPECT_NE(dynamic_cast<TIntegerField*>(t->FieldByName("ID")), nullptr);
    EXPECT_NE(dynamic_cast<TIntegerField*>(t->FieldByName("I")), nullptr);
    EXPECT_NE(dynamic_cast<TBlobField*>(t->FieldByName("G")), nullptr);
    EXPECT_NE(dynamic_cast<TBlobField*>(t->FieldByName("O")), nullptr);
    EXPECT_EQ(dynamic_cast<TBlobField*>(t->FieldByName("X")), nullptr);

    EXPECT_EQ(t->FieldByName("B")->GetAsLargeInt(), 5000000000LL);
    EXPECT_EQ(t->FieldByName("D")->GetAsDateTime(), EncodeDate(2024, 3, 31));
    EXPECT_EQ(t->FieldByName("D")->GetAsString(), "2024-03-31");
    EXPECT_EQ(t->FieldByName("T")->GetAsString(), "13:45:10");
    EXPECT_EQ(t->FieldByName("DT")->GetAsString(), "2024-03-31 13:45:10");
    EXPECT_EQ(t->FieldByName("L")->GetAsString(), "True");
    EXPECT_EQ(t->FieldByName("L")->GetAsInteger(), 1);
    EXPECT_EQ(t->FieldByName("P")->GetAsString(), std::string("\x00\xFF\x10", 3));
    EXPECT_EQ(t->FieldByName("F")->GetText(), "2.5");
}

TEST_F(Fields, WrittenValuesAreStoredInTheColumnsOwnFormAndReadBackTheSame) {
    auto t = Db.OpenTable("TYPES");
    t->Edit();
    t->FieldByName("S")->SetAsString("-12");
    t->FieldByName("L")->SetAsBoolean(false);
    t->FieldByName("D")->SetAsDateTime(EncodeDate(2023, 12, 24));
    t->FieldByName("DT")->SetAsDateTime(EncodeDate(2023, 12, 24) + EncodeTime(8, 5, 0, 0));
    t->FieldByName("F")->SetEditText("");
    t->FieldByName("V")->SetEditText("");
    t->Post();
    EXPECT_EQ(Db.Scalar("SELECT S FROM TYPES").AsInteger(), -12);
    EXPECT_EQ(Db.Scalar("SELECT L FROM TYPES").AsInteger(), 0);
    EXPECT_EQ(Db.Scalar("SELECT D FROM TYPES").AsString(), "2023-12-24");
    EXPECT_EQ(Db.Scalar("SELECT DT FROM TYPES").AsString(), "2023-12-24 08:05:00");
    EXPECT_TRUE(Db.Scalar("SELECT F FROM TYPES").IsNull());     // empty text clears a number
    EXPECT_EQ(Db.Scalar("SELECT V FROM TYPES").AsString(), ""); // and empties a string
    EXPECT_EQ(t->FieldByName("S")->GetValue().VarType(), varSmallint);
    EXPECT_FALSE(t->FieldByName("L")->GetAsBoolean());

    t->Edit();
    EXPECT_THROW(t->FieldByName("S")->SetAsInteger(40000), EConvertError);
    EXPECT_THROW(t->FieldByName("W")->SetAsInteger(-1), EConvertError);
    t->Cancel();
}

// REAL columns keep their values for a user whose locale writes numbers with a decimal comma.
TEST_F(Fields, RealValuesKeepTheirDecimalPointUnderADecimalCommaLocale) {
    ORVEL_REQUIRE_COMMA_LOCALE(locale);
    auto t = Db.OpenTable("TYPES");
    EXPECT_EQ(t->FieldByName("F")->GetAsString(), "2.5");
    EXPECT_EQ(t->FieldByName("N")->GetAsString(), "1.5");
    t->Edit();
    t->FieldByName("F")->SetAsString("7.75");
    t->FieldByName("M")->SetEditText("-0.5");
    t->FieldByName("V")->SetAsFloat(1.25);
    t->Post();
    EXPECT_DOUBLE_EQ(Db.Scalar("SELECT F FROM TYPES").AsDouble(), 7.75);
    EXPECT_DOUBLE_EQ(Db.Scalar("SELECT M FROM TYPES").AsDouble(), -0.5);
    EXPECT_EQ(Db.Scalar("SELECT V FROM TYPES").AsString(), "1.25");
    EXPECT_EQ(Db.Scalar("SELECT typeof(F) FROM TYPES").AsString(), "real");
    EXPECT_DOUBLE_EQ(t->FieldByName("V")->GetAsFloat(), 1.25);
}

TEST_F(Fields, StoredValuesThatDoNotFitTheTypeAreGivenBackUncut) {
    Db.Execute("UPDATE TYPES SET I = 5000000000, S = 'text'");
    auto t = Db.OpenTable("TYPES");
    EXPECT_EQ(t->FieldByName("I")->GetValue().VarType(), varInt64);
    EXPECT_EQ(t->FieldByName("I")->GetAsLargeInt(), 5000000000LL);
    EXPECT_THROW(t->FieldByName("I")->GetAsInteger(), EConvertError);
    EXPECT_EQ(t->FieldByName("S")->GetAsString(), "text");
}

TEST_F(Fields, NumericFieldsAcceptOnlyNumericCharacters) {
    auto t = Db.OpenTable("TYPES");
    EXPECT_TRUE(t->FieldByName("I")->IsValidChar('7'));
    EXPECT_TRUE(t->FieldByName("I")->IsValidChar('-'));
    EXPECT_FALSE(t->FieldByName("I")->IsValidChar('a'));
    EXPECT_FALSE(t->FieldByName("I")->IsValidChar('.'));
    EXPECT_TRUE(t->FieldByName("F")->IsValidChar('.'));
    EXPECT_TRUE(t->FieldByName("F")->IsValidChar('e'));
    EXPECT_TRUE(t->FieldByName("V")->IsValidChar('a'));
}

TEST_F(Fields, BlobStreamsReadAndWriteBytes) {
    auto t = Db.OpenTable("PICTURES");
    t->Append();
    t->FieldByName("ID")->SetAsInteger(3);
    {
        TBlobStream out(t->FieldByName("PIC"), TBlobStreamMode::bmWrite);
        const char bytes[] = {'B', 'M', 0, 1, 2, 0};
        out.WriteBuffer(bytes, sizeof bytes);
    }
    t->Post();
    EXPECT_EQ(Db.Scalar("SELECT length(PIC) FROM PICTURES WHERE ID = 3").AsInteger(), 6);
    EXPECT_EQ(Db.Scalar("SELECT typeof(PIC) FROM PICTURES WHERE ID = 3").AsString(), "blob");

    TBlobStream in(t->FieldByName("PIC"), TBlobStreamMode::bmRead);
    EXPECT_EQ(in.Size(), 6);
    char read[8] = {};
    EXPECT_EQ(in.Read(read, 8), 6);
    EXPECT_EQ(std::string(read, 6), std::string("BM\0\1\2\0", 6));
    EXPECT_THROW(in.Write(read, 1), EStreamError);
    EXPECT_THROW(TBlobStream(t->FieldByName("PIC"), TBlobStreamMode::bmWrite), EDatabaseError);

    t->Append();
    TBlobStream empty(t->FieldByName("PIC"), TBlobStreamMode::bmRead);
    EXPECT_EQ(empty.Size(), 0);
    t->Cancel();
}

// ---- field data links ---------------------------------------------------------------------------

class FieldLink : public ::testing::Test {
protected:
    void SetUp() override {
        Table = Db.OpenTable("ITEMS", "CODE");
        Table->Close();
        Source.SetDataSet(Table.get());
        Link.OnDataChange = [this](TObject*) { Log.push_back("DataChange"); };
        Link.OnEditingChange = [this](TObject*) {
            Log.push_back(Link.Editing() ? "Editing" : "NotEditing");
        };
        Link.OnUpdateData = [this](TObject*) {
            Log.push_back("UpdateData");
            Link.Field()->SetAsString(Typed);
        };
        Link.OnActiveChange = [this](TObject*) { Log.push_back("ActiveChange"); };
        Link.SetFieldName("NAME");
        Link.SetDataSource(&Source);
    }
    void TearDown() override { Link.SetDataSource(nullptr); }

    TTestDatabase Db;
    TOwned<TTable> Table;
    TDataSource Source{nullptr};
    TFieldDataLink Link;
    TLog Log;
    std::string Typed;
};

TEST_F(FieldLink, BindsItsFieldWhenActiveAndReportsTheChange) {
    EXPECT_EQ(Link.Field(), nullptr);
    Table->Open();
    EXPECT_EQ(Log, (TLog{"DataChange", "ActiveChange"}));
    ASSERT_NE(Link.Field(), nullptr);
    EXPECT_EQ(Link.Field()->GetAsString(), "Item 1");
    Log.clear();
    Link.SetFieldName("CODE");
    EXPECT_EQ(Link.Field()->FieldName(), "CODE");
    EXPECT_EQ(Log, (TLog{"DataChange"}));
    Log.clear();
    Table->Close();
    EXPECT_EQ(Link.Field(), nullptr);
    EXPECT_EQ(Log, (TLog{"DataChange", "ActiveChange"}));
}

TEST_F(FieldLink, ReportsDataChangesOfItsOwnFieldOrTheWholeRecordOnly) {
    Table->Open();
    Table->Edit();
    Log.clear();
    Table->FieldByName("CODE")->SetAsInteger(11);
    EXPECT_TRUE(Log.empty());
    Table->FieldByName("NAME")->SetAsString("Renamed");
    EXPECT_EQ(Log, (TLog{"DataChange"}));
    Log.clear();
    Table->Next(); // posts, then moves
    EXPECT_EQ(Log, (TLog{"NotEditing", "DataChange", "DataChange"}));
}

TEST_F(FieldLink, EditsOnlyAModifiableFieldAndWritesOnlyWhenMarkedModified) {
    Table->Open();
    Log.clear();
    EXPECT_TRUE(Link.Edit());
    EXPECT_EQ(Table->State(), dsEdit);
    EXPECT_EQ(Log, (TLog{"Editing", "DataChange"}));
    Log.clear();
    Table->UpdateRecord(); // not marked: nothing written
    EXPECT_TRUE(Log.empty());
    Typed = "Typed";
    Link.Modified();
    Table->Post();
    EXPECT_EQ(Log.front(), "UpdateData");
    EXPECT_EQ(Db.Scalar("SELECT NAME FROM ITEMS WHERE CODE = 10").AsString(), "Typed");
    EXPECT_FALSE(Link.IsModified());

    Link.Modified();
    Link.Reset(); // the control's change is dropped
    EXPECT_FALSE(Link.IsModified());

    Table->FieldByName("NAME")->SetReadOnly(true);
    EXPECT_FALSE(Link.CanModify());
    EXPECT_FALSE(Link.Edit());
    EXPECT_EQ(Table->State(), dsBrowse);
    Table->FieldByName("NAME")->SetReadOnly(false);
    Link.SetReadOnly(true);
    EXPECT_FALSE(Link.Edit());
    EXPECT_EQ(Table->State(), dsBrowse);
}

TEST_F(FieldLink, AFixedDataSourceCannotChange) {
    Link.SetDataSourceFixed(true);
    EXPECT_THROW(Link.SetDataSource(nullptr), EDatabaseError);
    EXPECT_EQ(Link.GetDataSource(), &Source);
    Link.SetDataSourceFixed(false);
}

TEST_F(FieldLink, AMissingFieldFailsTheOpenAfterEveryLinkHasHeardOfIt) {
    TLog log;
    TRecordingLink other(log);
    other.SetDataSource(&Source);
    Link.SetFieldName("NO_SUCH_FIELD");
    EXPECT_THROW(Table->Open(), EDatabaseError);
    EXPECT_EQ(log, (TLog{"ActiveChanged"}));
    EXPECT_TRUE(Table->GetActive());
    EXPECT_EQ(Link.Field(), nullptr);
    other.SetDataSource(nullptr);
}

// ---- queries ------------------------------------------------------------------------------------

TEST(Query, IsAReadOnlyDataSetOverASelect) {
    TTestDatabase db;
    auto q = db.OpenQuery("SELECT ID, NAME, CODE * 2 AS DOUBLED, PRICE FROM ITEMS WHERE CODE > 15 "
                          "ORDER BY CODE DESC");
    EXPECT_EQ(q->RecordCount(), 4);
    EXPECT_EQ(q->FieldByName("NAME")->GetAsString(), "Item 5");
    EXPECT_EQ(q->FieldByName("ID")->DataType(), ftInteger);
    // Typed by its values (SQLite) or by the server's type of the expression.
    TFieldType doubled = q->FieldByName("DOUBLED")->DataType();
    EXPECT_TRUE(doubled == ftLargeint || doubled == ftInteger) << doubled;
    EXPECT_EQ(q->FieldByName("DOUBLED")->GetAsInteger(), 100);
    EXPECT_FALSE(q->CanModify());
    EXPECT_THROW(q->Edit(), EDatabaseError);
    EXPECT_THROW(q->Insert(), EDatabaseError);

    EXPECT_TRUE(q->Locate("NAME", Variant("Item 3")));
    TBookmark third = q->GetBookmark();
    q->Last();
    EXPECT_EQ(q->FieldByName("NAME")->GetAsString(), "Item 2");
    q->GotoBookmark(third);
    EXPECT_EQ(q->FindField("CODE"), nullptr);
    EXPECT_EQ(q->FieldByName("NAME")->GetAsString(), "Item 3");

    db.Execute("DELETE FROM ITEMS WHERE CODE = 30");
    q->Close();
    q->Open();
    EXPECT_FALSE(q->BookmarkValid(third)); // results of an earlier run
    EXPECT_EQ(q->RecordCount(), 3);
}

TEST(Query, RunsStatementsWithoutRowsAndRefusesAnEmptyText) {
    TTestDatabase db;
    TQuery q(nullptr);
    q.SetDatabase(&db.Database());
    EXPECT_THROW(q.Open(), EDatabaseError);
    q.GetSQL()->SetText("UPDATE ITEMS SET NAME = 'Same'");
    q.ExecSQL();
    EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM ITEMS WHERE NAME = 'Same'").AsInteger(), 5);
}

// ---- published properties and form loading ------------------------------------------------------

TEST(Published, DataComponentsAreCreatableAndTheirPropertiesSetByName) {
    TTestDatabase db;
    const TClassInfo& info = TTable::StaticClassInfo();
    ASSERT_TRUE(info.Create);
    TOwned<TComponent> made(info.Create(nullptr));
    auto* t = dynamic_cast<TTable*>(made.get());
    ASSERT_NE(t, nullptr);
    SetObjectProp(t, "Database", &db.Database());
    SetPropValue(t, "TableName", Variant("ITEMS"));
    SetPropValue(t, "IndexFieldNames", Variant("CODE"));
    SetPropValue(t, "Active", Variant(true));
    EXPECT_TRUE(t->GetActive());
    EXPECT_TRUE(info.FindProperty("BeforeDelete"));
    EXPECT_TRUE(TQuery::StaticClassInfo().FindProperty("SQL"));

    TDataSource source(nullptr);
    SetObjectProp(&source, "DataSet", t);
    EXPECT_EQ(source.GetDataSet(), t);
    EXPECT_TRUE(GetPropValue(&source, "Enabled").AsBoolean());
    made.reset(); // the data source hears of the table's removal
    EXPECT_EQ(source.GetDataSet(), nullptr);
}

TEST(Published, FormsFindTheDataClassesByNameAndClosedTablesTellTheirFields) {
    RegisterDataClasses();
    ASSERT_NE(FindClassInfo("TTable"), nullptr);
    EXPECT_TRUE(FindClassInfo("TDataSource")->Create);
    EXPECT_TRUE(FindClassInfo("TQuery")->InheritsFrom("TDataSet"));

    TTestDatabase db;
    TTable t(nullptr);
    t.SetDatabase(&db.Database());
    t.SetTableName("PICTURES");
    TStringList names;
    t.GetFieldNames(names);
    EXPECT_EQ(names.ToVector(), (std::vector<std::string>{"ID", "PIC"}));
    EXPECT_FALSE(t.GetActive());
}

TEST(Published, ATableReadFromAFormOpensWhenLoaded) {
    TTestDatabase db;
    TTable t(nullptr);
    TLog log;
    RecordEvents(t, log);
    t.BeginLoading();
    t.SetDatabase(&db.Database());
    t.SetTableName("ITEMS");
    t.SetActive(true);
    EXPECT_FALSE(t.GetActive());
    EXPECT_TRUE(t.IsLoading());
    t.Loaded();
    EXPECT_TRUE(t.GetActive());
    EXPECT_EQ(log, (TLog{"BeforeOpen", "AfterOpen"}));
}

TEST(Published, DeleteHandlersCanBeReadReplacedAndHandedBack) {
    TTestDatabase db;
    auto t = db.OpenTable("ITEMS");
    TLog log;
    t->SetBeforeDelete([&](TDataSet*) { log.push_back("application"); });
    TDataSetNotifyEvent saved = t->GetBeforeDelete();
    t->SetBeforeDelete([&, saved](TDataSet* ds) {
        log.push_back("view");
        ds->SetBeforeDelete(saved);
        saved(ds);
    });
    t->Delete();
    EXPECT_EQ(log, (TLog{"view", "application"}));
    EXPECT_TRUE(t->GetBeforeDelete().SameRoutine(saved));
}

TEST(Common, ExtractFieldNameReadsOneNameAtATime) {
    std::string list = " ID ;PARENT_ID;;NAME";
    int pos = 1;
    std::vector<std::string> names;
    while (pos <= static_cast<int>(list.size()))
        names.push_back(ExtractFieldName(list, pos));
    EXPECT_EQ(names, (std::vector<std::string>{"ID", "PARENT_ID", "", "NAME"}));
    pos = 1;
    EXPECT_EQ(ExtractFieldName("ID;", pos), "ID");
    EXPECT_EQ(pos, 4);
    EXPECT_THROW(DatabaseError("boom"), EDatabaseError);
}

} // namespace
