// TQuery: the result of a SELECT, read once and kept.
#include "orvel/host/data/Query.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/SysUtils.h"
#include "orvel/host/core/TypInfo.h"

namespace orvel {

namespace {

// The field type of a computed column: the storage class of its first non-null value.
TFieldType TypeOfValues(const std::vector<TRecordData>& rows, std::size_t column) {
    for (const TRecordData& row : rows) {
        const Variant& v = row.Values[column];
        if (v.IsNull()) continue;
        switch (v.VarType()) {
        case varInt64:
            return ftLargeint;
        case varDouble:
            return ftFloat;
        default:
            return ftString;
        }
    }
    return ftUnknown;
}

} // namespace

const TClassInfo& TQuery::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TQuery>("TQuery", &TDataSet::StaticClassInfo())
            .Object("Database", "TDatabase", &TQuery::GetDatabase, &TQuery::SetDatabase)
            .Property("DatabaseName", &TQuery::GetDatabaseName, &TQuery::SetDatabaseName)
            .Object("SQL", "TStrings", &TQuery::GetSQL, &TQuery::SetSQL)
            .Creatable()
            .Build();
    return info;
}

TQuery::TQuery(TComponent* owner) : TDataSet(owner), FSQL(std::make_unique<TStringList>()) {
    FSQL->OnChange = [this](TObject*) { SQLChanged(); };
}

TQuery::~TQuery() {
    FSQL->OnChange = nullptr;
    Destroying();
}

void TQuery::SetDatabase(TDatabase* value) {
    if (value == FDatabase) return;
    CheckInactive();
    if (FDatabase) RemoveFreeNotification(FDatabase);
    FDatabase = value;
    if (FDatabase) FreeNotification(FDatabase);
}

void TQuery::SetDatabaseName(const std::string& value) {
    if (value == FDatabaseName) return;
    CheckInactive();
    FDatabaseName = value;
}

void TQuery::SetSQL(TStrings* value) {
    FSQL->Assign(value);
}

void TQuery::SQLChanged() {
    if (GetActive()) Close();
}

void TQuery::Notification(TComponent* component, TOperation operation) {
    TDataSet::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FDatabase) {
        if (GetActive()) Close();
        FDatabase = nullptr;
    }
}

TSqlConnection& TQuery::Connection() {
    TDatabase* db = FDatabase ? FDatabase : TDatabase::FindDatabase(FDatabaseName);
    if (db) return db->Connection();
    if (!FOwnConnection) {
        if (FDatabaseName.empty()) RaiseRes<EDatabaseError>(SNoDatabase);
        std::string key;
        FOwnConnection = OpenLoggedConnection(FDatabaseName, key);
    }
    return *FOwnConnection;
}

void TQuery::ExecSQL() {
    std::string text = Trim(FSQL->GetText());
    if (text.empty()) RaiseRes<EDatabaseError>(SNoSQLStatement);
    Connection().Execute(text);
}

void TQuery::OpenCursor() {
    std::string text = Trim(FSQL->GetText());
    if (text.empty()) RaiseRes<EDatabaseError>(SNoSQLStatement);
    std::unique_ptr<TSqlStatement> stmt = Connection().Prepare(text);
    int columns = stmt->ColumnCount();
    if (columns == 0) RaiseRes<EDatabaseError>(SNoSQLStatement);
    FRows.clear();
    while (stmt->Step()) {
        TRecordData row;
        row.RowId = static_cast<int64_t>(FRows.size());
        row.Values.resize(static_cast<std::size_t>(columns));
        for (int i = 0; i < columns; ++i) {
            Variant& value = row.Values[static_cast<std::size_t>(i)];
            switch (stmt->ColumnType(i)) {
            case TSqlType::Null:
                value = Variant::Null();
                break;
            case TSqlType::Integer:
                value = Variant(stmt->ColumnInt64(i));
                break;
            case TSqlType::Float:
                value = Variant(stmt->ColumnDouble(i));
                break;
            case TSqlType::Text:
                value = Variant(std::string(stmt->ColumnText(i)));
                break;
            case TSqlType::Blob:
                value = Variant(std::string(stmt->ColumnBlob(i)));
                break;
            }
        }
        FRows.push_back(std::move(row));
    }
    for (int i = 0; i < columns; ++i) {
        int size = 0;
        std::string declared = stmt->ColumnDeclaredType(i);
        TFieldType type = declared.empty() ? TypeOfValues(FRows, static_cast<std::size_t>(i))
                                           : FieldTypeOfDeclared(declared, size);
        AddField(stmt->ColumnName(i), type, size);
    }
    FSource = NewBookmarkSource();
}

void TQuery::CloseCursor() {
    FRows.clear();
    FSource = 0;
}

int TQuery::FetchRecords(const TRecordData* from, bool forward, int count,
                         std::vector<TRecordData>& out) {
    int64_t size = static_cast<int64_t>(FRows.size());
    int64_t next = from ? from->RowId + (forward ? 1 : -1) : (forward ? 0 : size - 1);
    int n = 0;
    for (; n < count && next >= 0 && next < size; ++n, next += forward ? 1 : -1) {
        std::size_t slot = static_cast<std::size_t>(n);
        if (out.size() <= slot) out.resize(slot + 1);
        out[slot] = FRows[static_cast<std::size_t>(next)];
    }
    return n;
}

bool TQuery::FetchRecord(int64_t rowId, TRecordData& out) {
    if (rowId < 0 || rowId >= static_cast<int64_t>(FRows.size())) return false;
    out = FRows[static_cast<std::size_t>(rowId)];
    return true;
}

bool TQuery::LocateRecord(const std::vector<TField*>& fields, const std::vector<Variant>& values,
                          TLocateOptions options, TRecordData& out) {
    auto matches = [&](const TRecordData& row) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            Variant have = fields[i]->StoredToValue(
                row.Values[static_cast<std::size_t>(fields[i]->FieldNo())]);
            const Variant& want = values[i];
            if (have.IsNull() || want.IsNull()) {
                if (have.IsNull() != want.IsNull()) return false;
                continue;
            }
            if (have.VarType() == varString && want.VarType() == varString) {
                std::string a = have.AsString(), b = want.AsString();
                if (options & loPartialKey) a = a.substr(0, b.size());
                if ((options & loCaseInsensitive) ? !SameText(a, b) : a != b) return false;
                continue;
            }
            if (!VarSameValue(have, want)) return false;
        }
        return true;
    };
    for (const TRecordData& row : FRows)
        if (matches(row)) {
            out = row;
            return true;
        }
    return false;
}

TBookmark TQuery::MakeBookmark(int64_t rowId) const {
    return TBookmark{rowId, 0, FSource};
}

bool TQuery::BookmarkIdentityValid(const TBookmark& bookmark) const {
    return FSource != 0 && bookmark.Source == FSource;
}

} // namespace orvel
