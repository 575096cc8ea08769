// TTable: the keyset cursor over an index order, key ranges and record writes.
//
// Order: the index fields, then the table's identity (the row id, or the key fields not among
// the index fields), so that no two records tie. A window that follows (or precedes) a record K
// is read level by level: first the records whose order fields all equal K's and whose row id
// follows K's (or, without row id, whose first n-1 order fields equal K's and whose last
// follows), then those whose first n-1 order fields equal K's and whose n-th follows, and so on
// up to the first field. Each level is one indexed range scan of the engine. Null sorts
// before every value, as the engine orders it: "follows Null" is IS NOT NULL, and the records
// before a value include the nulls, read as a level of their own.
#include "orvel/host/data/Table.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/SysUtils.h"
#include "orvel/host/core/TypInfo.h"
#include "orvel/host/data/DataSource.h"

#include <algorithm>
#include <array>
#include <optional>
#include <unordered_set>

namespace orvel {

namespace {

// Resets a statement when the work with it ends, however it ends.
struct TResetGuard {
    explicit TResetGuard(TSqlStatement& stmt) : Stmt(&stmt) {}
    TResetGuard(const TResetGuard&) = delete;
    TResetGuard& operator=(const TResetGuard&) = delete;
    ~TResetGuard() {
        if (Stmt) Stmt->Reset();
    }
    // The statement goes on past the guard's scope.
    void Dismiss() { Stmt = nullptr; }
    TSqlStatement* Stmt;
};

bool IsIntegerVar(TVarType t) {
    return t == varSmallint || t == varInteger || t == varShortInt || t == varByte ||
           t == varWord || t == varLongWord || t == varInt64 || t == varBoolean;
}

void BindStored(TSqlStatement& stmt, int index, const Variant& value, const TField* field) {
    TVarType t = value.VarType();
    if (t == varNull || t == varEmpty)
        stmt.BindNull(index);
    else if (IsIntegerVar(t))
        stmt.BindInt64(index, value.AsInt64());
    else if (t == varDouble || t == varSingle || t == varCurrency || t == varDate)
        stmt.BindDouble(index, value.AsDouble());
    else if (field && field->IsBinary())
        stmt.BindBlob(index, value.AsString());
    else
        stmt.BindText(index, value.AsString());
}

// The column is read as one cell: its class and its value from a single engine call, where the
// engine has one (a window row is read column by column, record after record).
void ReadColumn(const TSqlStatement& stmt, int column, Variant& value) {
    TSqlCell cell;
    stmt.ReadCell(column, cell);
    switch (cell.Type) {
    case TSqlType::Null:
        value = Variant::Null();
        break;
    case TSqlType::Integer:
        value = Variant(cell.Integer);
        break;
    case TSqlType::Float:
        value = Variant(cell.Float);
        break;
    case TSqlType::Text:
    case TSqlType::Blob:
        value.AssignString(cell.Text);
        break;
    }
}

bool SameStored(const Variant& a, const Variant& b) {
    if (a.IsNull() || b.IsNull()) return a.IsNull() && b.IsNull();
    return a.VarType() == b.VarType() && VarSameValue(a, b);
}

int64_t CharacterCount(const std::string& s) {
    int64_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

// A stored key value as part of a look-ahead key: integers and texts only, so that the value a
// range was given and the one the engine read compare alike; false for any other (such ranges
// are read as usual). An integer is its eight bytes, not its digits: a look-ahead builds a key
// per record read and per range served, and a key of one integer then stays short enough to need
// no storage of its own.
bool AppendKeyPart(std::string& key, const Variant& value) {
    TVarType t = value.VarType();
    if (IsIntegerVar(t)) {
        int64_t n = value.AsInt64();
        key += 'i';
        key.append(reinterpret_cast<const char*>(&n), sizeof n);
    } else if (t == varString) {
        std::string text = value.AsString();
        key += 's';
        key += std::to_string(text.size());
        key += ':';
        key += text;
    } else {
        return false;
    }
    key += ';';
    return true;
}

// Statements an announcement of ranges read ahead may run: a reader that keeps writing or
// demanding new fields between its ranges gets them read one by one after these.
constexpr int kMaxAheadReads = 4;
// Rows read ahead that a reader done with them may still be answered from (at the same data
// version): more are read again when next needed.
constexpr std::size_t kKeptAheadRows = 4096;
// Rows read ahead whose buffers a table keeps for its next announcement: a level of thousands of
// records, read again, then refills them in place instead of freeing and allocating every record
// (about a tenth of a 10,000-child expand). Longer levels give theirs back.
constexpr std::size_t kKeptAheadBuffers = 32768;
// The table's first records read with a scan's first look-ahead when the scan began on the first.
constexpr std::size_t kTableStartRows = 16;
// The longest chain of ancestors read in one statement; a longer climb reads the rest one by one.
constexpr int kMaxAncestors = 32;
// The most records of a level read with the chain of ancestors: the climb reads the level of
// each record up to the top, though the reader opens only those below its first shown node, so
// a long level is left to be read when it is announced (the statement reads one record more, to
// know it is longer).
constexpr std::size_t kClimbLevelRows = 256;

std::string EscapeLike(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '%' || c == '_' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

} // namespace

const TClassInfo& TTable::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TTable>("TTable", &TDataSet::StaticClassInfo())
            .Object("Database", "TDatabase", &TTable::GetDatabase, &TTable::SetDatabase)
            .Property("DatabaseName", &TTable::GetDatabaseName, &TTable::SetDatabaseName)
            .Property("TableName", &TTable::GetTableName, &TTable::SetTableName)
            .Property("IndexFieldNames", &TTable::GetIndexFieldNames, &TTable::SetIndexFieldNames)
            .Property("ReadOnly", &TTable::GetReadOnly, &TTable::SetReadOnly, Variant(false))
            .Creatable()
            .Build();
    return info;
}

void TTable::TSqlText::Param(const Variant& stored, const TField* field) {
    Text += '?';
    Params.emplace_back(stored, field);
}

TTable::TTable(TComponent* owner) : TDataSet(owner) {}

TTable::~TTable() {
    Destroying();
}

// ---- properties ---------------------------------------------------------------------------------

void TTable::SetDatabase(TDatabase* value) {
    if (value == FDatabase) return;
    CheckInactive();
    if (FDatabase) RemoveFreeNotification(FDatabase);
    FDatabase = value;
    if (FDatabase) FreeNotification(FDatabase);
}

void TTable::SetDatabaseName(const std::string& value) {
    if (value == FDatabaseName) return;
    CheckInactive();
    FDatabaseName = value;
}

void TTable::SetTableName(const std::string& value) {
    if (value == FTableName) return;
    CheckInactive();
    FTableName = value;
}

void TTable::SetReadOnly(bool value) {
    if (value == FReadOnly) return;
    CheckInactive();
    FReadOnly = value;
}

void TTable::SetIndexFieldNames(const std::string& value) {
    if (value == FIndexFieldNames) return;
    if (!GetActive()) {
        FIndexFieldNames = value;
        return;
    }
    CheckBrowseMode();
    std::string old = FIndexFieldNames;
    FIndexFieldNames = value;
    try {
        ResolveIndexFields();
    } catch (...) {
        FIndexFieldNames = old;
        ResolveIndexFields();
        throw;
    }
    EndLookAhead();
    FRangeApplied = false;
    FRangeEquality = true;
    FRangeEqualCount = 0;
    // Ranges and windows of the old order are other sets of records in the new one.
    FRecentRanges.clear();
    MoveWith([this] {
        ChangeCursorScope(0);
        ForgetKeptWindows();
        return 2;
    });
}

bool TTable::CanModify() const {
    return GetActive() && !FReadOnly && FWritableIdentity;
}

// A view or a table without identity would have its writes land on whatever rows match: they
// are refused, naming the table, before anything is written.
void TTable::CheckModifiable() const {
    if (GetActive() && !FReadOnly && !FWritableIdentity) CheckWritableIdentity();
    TDataSet::CheckModifiable();
}

void TTable::CheckWritableIdentity() const {
    if (FWritableIdentity) return;
    if (FIsView) DatabaseError(Format("Cannot modify '%s': it is a view", {FTableName}));
    DatabaseError(
        Format("Cannot modify '%s': its records have no key that identifies them", {FTableName}));
}

void TTable::Notification(TComponent* component, TOperation operation) {
    TDataSet::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FDatabase) {
        if (GetActive() && FUsedDatabase == FDatabase) Close();
        FDatabase = nullptr;
    }
}

void TTable::GetFieldNames(TStrings& list) {
    if (GetActive() || FTableName.empty()) {
        TDataSet::GetFieldNames(list);
        return;
    }
    // A closed table answers from the table's definition.
    std::unique_ptr<TSqlConnection> own;
    TSqlConnection* connection = nullptr;
    TDatabase* db = FDatabase ? FDatabase : TDatabase::FindDatabase(FDatabaseName);
    if (db)
        connection = &db->Connection();
    else if (!FDatabaseName.empty())
        connection = (own = OpenSqlConnection(FDatabaseName)).get();
    list.Clear();
    if (!connection) return;
    for (const TSqlColumnInfo& column : connection->TableColumns(FTableName))
        list.Add(column.Name);
}

// ---- opening ------------------------------------------------------------------------------------

void TTable::OpenConnection() {
    std::string key;
    TDatabase* db = FDatabase ? FDatabase : TDatabase::FindDatabase(FDatabaseName);
    if (db) {
        FConnection = &db->Connection();
        FUsedDatabase = db;
        key = db->IdentityKey();
    } else {
        if (FDatabaseName.empty()) RaiseRes<EDatabaseError>(SNoDatabase);
        FOwnConnection = OpenLoggedConnection(FDatabaseName, key);
        FConnection = FOwnConnection.get();
    }
    FIdentity = &TableIdentity(key, FTableName);
}

void TTable::CloseConnection() {
    ScanChanged(false);
    DropPendingAhead();
    FShapedStatements.clear();
    FStatements.clear();
    if (FUsedDatabase) FUsedDatabase->UnregisterDataSet(this);
    FUsedDatabase = nullptr;
    FOwnConnection.reset();
    FConnection = nullptr;
    FIdentity = nullptr;
}

void TTable::OpenCursor() {
    if (FTableName.empty()) RaiseRes<EDatabaseError>(SNoTableName);
    try {
        OpenConnection();
        std::string catalogName = FConnection->CatalogName(FTableName);
        if (catalogName.empty()) RaiseRes<EDatabaseError>(SNotATable, {FTableName});
        FIsView = FConnection->IsView(FTableName);
        FQuotedTable = Quote(catalogName);
        FEngineIdentity = FConnection->TableIdentity(FTableName);
        FRowIdKeyed = FEngineIdentity.KeyedByRowId();
        FWritableIdentity = !FIsView && FEngineIdentity.Usable();
        FRowIdColumn = FRowIdKeyed ? Quote(FEngineIdentity.RowIdName) : "";
        // Without a row id as key, a constant keeps the columns where readers expect them.
        FColumnList = FRowIdKeyed ? FRowIdColumn : "0";
        FRowIdAliasField = -1;
        FNullable.clear();
        for (const TSqlColumnInfo& column : FConnection->TableColumns(FTableName)) {
            int size = 0;
            TFieldType type =
                column.AutoIncrement ? ftAutoInc : FieldTypeOfDeclared(column.DeclaredType, size);
            TField* field = AddField(column.Name, type, size);
            // A column the engine fills itself (a default, a sequence) needs no value from us.
            field->SetRequired(column.NotNull && !column.RowIdAlias && !column.HasDefault);
            FNullable.push_back(!column.NotNull && !column.RowIdAlias);
            if (column.RowIdAlias && FRowIdKeyed) FRowIdAliasField = field->FieldNo();
            FColumnList += ", " + Quote(column.Name);
        }
        ResolveIndexFields();
        FIdentity->SetKeyedByRowId(FRowIdKeyed);
        for (TKeyBuffer& key : FKeyBuffers) {
            key.Values.assign(static_cast<std::size_t>(FieldCount()), Variant::Null());
            key.FieldCount = 0;
            key.Modified = false;
        }
        FRangeApplied = false;
        if (FUsedDatabase) FUsedDatabase->RegisterDataSet(this);
        if (ControlsDisabled()) ScanChanged(true);
    } catch (...) {
        CloseConnection();
        throw;
    }
}

void TTable::CloseCursor() {
    EndLookAhead();
    FRecentRanges.clear();
    FIndexFields.clear();
    FKeyFields.clear();
    FKeyFieldNos.clear();
    FOrderFields.clear();
    FRangeApplied = false;
    CloseConnection();
}

void TTable::ResolveIndexFields() {
    std::vector<TField*> fields;
    int pos = 1;
    while (pos <= static_cast<int>(FIndexFieldNames.size())) {
        std::string name = ExtractFieldName(FIndexFieldNames, pos);
        if (!name.empty()) fields.push_back(FieldByName(name));
    }
    FIndexFields = std::move(fields);
    ResolveOrder();
    // Statements and window columns belong to the order they were made for.
    ForgetStatements();
}

// The identity fields and the order fields of the current index.
void TTable::ResolveOrder() {
    FKeyFields.clear();
    if (FWritableIdentity) {
        for (const std::string& name : FEngineIdentity.KeyColumns)
            FKeyFields.push_back(FieldByName(name));
    } else {
        // Browsing only: the fields ordered by stand for the records' identity.
        FKeyFields = FIndexFields;
        if (FKeyFields.empty())
            DatabaseError(Format("'%s' has no key to order its records by: set IndexFieldNames",
                                 {FTableName}));
    }
    FKeyFieldNos.clear();
    for (const TField* f : FKeyFields)
        FKeyFieldNos.push_back(f->FieldNo());
    FOrderFields = FIndexFields;
    // Ties are broken by key fields that an index of the key would be drawn to, unless the index
    // fields lead the key (then the key's index is the right one).
    FTiesUnindexed = !FIndexFields.empty() && !FRowIdKeyed &&
                     !(FIndexFields.size() <= FKeyFields.size() &&
                       std::equal(FIndexFields.begin(), FIndexFields.end(), FKeyFields.begin()));
    if (FRowIdKeyed) return;
    for (TField* f : FKeyFields)
        if (std::find(FOrderFields.begin(), FOrderFields.end(), f) == FOrderFields.end())
            FOrderFields.push_back(f);
}

void TTable::ForgetStatements() {
    DropPendingAhead();
    FShapedStatements.clear();
    FStatements.clear();
    FWindowColumnsVersion = UINT32_MAX;
}

int TTable::IndexPosition(const TField* field) const {
    auto it = std::find(FIndexFields.begin(), FIndexFields.end(), field);
    return it == FIndexFields.end() ? -1 : static_cast<int>(it - FIndexFields.begin());
}

// ---- statements ---------------------------------------------------------------------------------

TSqlConnection& TTable::Connection() const {
    if (!FConnection) RaiseRes<EDatabaseError>(SDataSetClosed);
    return *FConnection;
}

TSqlStatement& TTable::Statement(const std::string& sql) {
    auto it = FStatements.find(sql);
    if (it != FStatements.end()) return *it->second;
    auto stmt = Connection().Prepare(sql);
    TSqlStatement& ref = *stmt;
    FStatements.emplace(sql, std::move(stmt));
    return ref;
}

uint64_t TTable::Shape(int kind, bool forward, int level, bool nullsPart, bool fromNull) const {
    uint64_t shape = static_cast<uint64_t>(kind);
    shape |= static_cast<uint64_t>(forward) << 2;
    shape |= static_cast<uint64_t>(FRangeApplied) << 3;
    shape |= static_cast<uint64_t>(nullsPart) << 4;
    shape |= static_cast<uint64_t>(fromNull) << 5;
    shape |= static_cast<uint64_t>(FRangeApplied ? FRangeEqualCount & 0xFF : 0) << 8;
    shape |= static_cast<uint64_t>(level & 0xFF) << 16;
    // Windows read the fields demanded so far: their column list is part of the text.
    shape |= static_cast<uint64_t>(FWindowColumnsVersion) << 32;
    return shape;
}

TSqlStatement* TTable::ShapedStatement(uint64_t shape) const {
    auto it = FShapedStatements.find(shape);
    return it == FShapedStatements.end() ? nullptr : it->second;
}

TSqlStatement& TTable::RememberShape(uint64_t shape, const TSqlText& sql) {
    TSqlStatement& stmt = Statement(sql.Text);
    FShapedStatements[shape] = &stmt;
    return stmt;
}

// The values of an equality range, bound from index on as AddRangeCondition writes them;
// answers the next index.
int TTable::BindRangeValues(TSqlStatement& stmt, int index) const {
    if (!FRangeApplied) return index;
    const TKeyBuffer& start = FKeyBuffers[static_cast<int>(TKeyIndex::kiCurRangeStart)];
    for (int i = 0; i < FRangeEqualCount; ++i) {
        const TField* f = FIndexFields[static_cast<std::size_t>(i)];
        BindStored(stmt, index++, start.Values[static_cast<std::size_t>(f->FieldNo())], f);
    }
    return index;
}

void TTable::BindAll(TSqlStatement& stmt, const TSqlText& sql) {
    for (std::size_t i = 0; i < sql.Params.size(); ++i)
        BindStored(stmt, static_cast<int>(i), sql.Params[i].first, sql.Params[i].second);
}

void TTable::ReadRow(const TSqlStatement& stmt, TRecordData& out, int first) const {
    out.RowId = stmt.ColumnInt64(first);
    std::size_t n = static_cast<std::size_t>(FieldCount());
    out.Values.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        ReadColumn(stmt, first + static_cast<int>(i) + 1, out.Values[i]);
    NameRecord(out);
}

// A record without row id as key is named by the handle of its key.
void TTable::NameRecord(TRecordData& out) const {
    if (!FRowIdKeyed) out.RowId = FIdentity->HandleOf(out.Values, FKeyFieldNos);
}

// Windows read the row id, the index fields and the fields read so far; the rest stay Empty and
// are read with the whole record when first asked for.
const std::string& TTable::WindowColumnList() {
    if (FWindowColumnsVersion == DemandVersion()) return FWindowColumnList;
    FWindowColumns.clear();
    for (int i = 0; i < FieldCount(); ++i) {
        bool ordered =
            std::find(FOrderFields.begin(), FOrderFields.end(), Fields(i)) != FOrderFields.end();
        if (FieldDemanded(i) || ordered) FWindowColumns.push_back(i);
    }
    FWindowColumnList = ColumnListOf(FWindowColumns);
    FWindowColumnsVersion = DemandVersion();
    return FWindowColumnList;
}

// The row id (or a stand-in) and the columns of fields, as a column list.
std::string TTable::ColumnListOf(const std::vector<int>& fields) const {
    std::string list = FRowIdKeyed ? FRowIdColumn : "0";
    for (int i : fields)
        // The row id column gives the value of a field that is the row id.
        if (i != FRowIdAliasField) list += ", " + Quote(Fields(i)->FieldName());
    return list;
}

// A row read by the column list of fields (ColumnListOf), from column first on; the other fields
// stay Empty.
void TTable::ReadColumns(const TSqlStatement& stmt, TRecordData& out, int first,
                         const std::vector<int>& fields) const {
    out.RowId = stmt.ColumnInt64(first);
    out.Values.resize(static_cast<std::size_t>(FieldCount()));
    std::size_t next = 0;
    int column = first + 1;
    for (std::size_t i = 0; i < out.Values.size(); ++i) {
        if (next < fields.size() && fields[next] == static_cast<int>(i)) {
            ++next;
            if (static_cast<int>(i) == FRowIdAliasField)
                out.Values[i] = Variant(out.RowId);
            else
                ReadColumn(stmt, column++, out.Values[i]);
        } else if (!out.Values[i].IsEmpty()) {
            out.Values[i].Clear();
        }
    }
    NameRecord(out);
}

int TTable::ReadRows(TSqlStatement& stmt, int offset, int count, std::vector<TRecordData>& out) {
    int n = 0;
    while (n < count && stmt.Step()) {
        std::size_t slot = static_cast<std::size_t>(offset + n);
        if (out.size() <= slot) out.resize(slot + 1);
        ReadWindowRow(stmt, out[slot]);
        ++n;
    }
    return n;
}

// ---- ranges in SQL ------------------------------------------------------------------------------

std::string TTable::OrderBy(int fromIndexField, bool forward) const {
    std::string text = " ORDER BY ";
    for (std::size_t i = static_cast<std::size_t>(fromIndexField); i < FOrderFields.size(); ++i) {
        if (i > static_cast<std::size_t>(fromIndexField)) text += ", ";
        text += OrderTerm(FOrderFields[i], forward);
    }
    if (!FRowIdKeyed) return text;
    if (static_cast<std::size_t>(fromIndexField) < FOrderFields.size()) text += ", ";
    return text + FRowIdColumn + (forward ? "" : " DESC");
}

// A field as one term of ORDER BY, Null first going forward, as the level reads expect.
std::string TTable::OrderTerm(const TField* field, bool forward) const {
    std::size_t no = static_cast<std::size_t>(field->FieldNo());
    bool nullable = no >= FNullable.size() || FNullable[no];
    return Connection().OrderTerm(Quote(field->FieldName()), !forward, nullable);
}

std::string TTable::Quote(const std::string& name) const {
    return Connection().QuoteIdentifier(name);
}

std::string TTable::NullSafeEquals() const {
    return Connection().NullSafeEquals();
}

// The key fields after the index fields only break ties among records with equal index values:
// the index narrows the rows, and a key field compared for a window's next records must not draw
// the engine to the key's own index (which would test every record of the table for the range).
std::string TTable::LevelColumn(int level) const {
    std::string name = Quote(FOrderFields[static_cast<std::size_t>(level)]->FieldName());
    bool tie = FTiesUnindexed && level >= IndexFieldCount() && FConnection;
    return tie ? FConnection->UnindexedColumn(name) : name;
}

void TTable::AddRangeCondition(TSqlText& sql) const {
    const TKeyBuffer& start = FKeyBuffers[static_cast<int>(TKeyIndex::kiCurRangeStart)];
    const TKeyBuffer& end = FKeyBuffers[static_cast<int>(TKeyIndex::kiCurRangeEnd)];
    if (FRangeEquality) {
        if (FRangeEqualCount == 0) sql.Add("TRUE");
        for (int i = 0; i < FRangeEqualCount; ++i) {
            const TField* f = FIndexFields[static_cast<std::size_t>(i)];
            if (i > 0) sql.Add(" AND ");
            sql.Add(Quote(f->FieldName()) + NullSafeEquals());
            sql.Param(start.Values[static_cast<std::size_t>(f->FieldNo())], f);
        }
        return;
    }
    sql.Add("(");
    if (start.FieldCount > 0)
        AddLowerBound(sql, start, 0);
    else
        sql.Add("TRUE");
    sql.Add(") AND (");
    if (end.FieldCount > 0)
        AddUpperBound(sql, end, 0);
    else
        sql.Add("TRUE");
    sql.Add(")");
}

// Index key >= start, compared field by field in the engine's order (Null first).
void TTable::AddLowerBound(TSqlText& sql, const TKeyBuffer& key, int from) const {
    const TField* f = FIndexFields[static_cast<std::size_t>(from)];
    const Variant& v = key.Values[static_cast<std::size_t>(f->FieldNo())];
    std::string name = Quote(f->FieldName());
    bool last = from + 1 >= key.FieldCount;
    if (last) {
        if (v.IsNull())
            sql.Add("TRUE");
        else {
            sql.Add(name + " >= ");
            sql.Param(v, f);
        }
        return;
    }
    if (v.IsNull()) {
        sql.Add("(" + name + " IS NOT NULL OR (" + name + " IS NULL AND ");
    } else {
        sql.Add("(" + name + " > ");
        sql.Param(v, f);
        sql.Add(" OR (" + name + " = ");
        sql.Param(v, f);
        sql.Add(" AND ");
    }
    AddLowerBound(sql, key, from + 1);
    sql.Add("))");
}

// Index key <= end, compared field by field in the engine's order (Null first).
void TTable::AddUpperBound(TSqlText& sql, const TKeyBuffer& key, int from) const {
    const TField* f = FIndexFields[static_cast<std::size_t>(from)];
    const Variant& v = key.Values[static_cast<std::size_t>(f->FieldNo())];
    std::string name = Quote(f->FieldName());
    bool last = from + 1 >= key.FieldCount;
    if (last) {
        if (v.IsNull())
            sql.Add(name + " IS NULL");
        else {
            sql.Add("(" + name + " <= ");
            sql.Param(v, f);
            sql.Add(" OR " + name + " IS NULL)");
        }
        return;
    }
    if (v.IsNull()) {
        sql.Add("(" + name + " IS NULL AND ");
    } else {
        sql.Add("(" + name + " < ");
        sql.Param(v, f);
        sql.Add(" OR " + name + " IS NULL OR (" + name + " = ");
        sql.Param(v, f);
        sql.Add(" AND ");
    }
    AddUpperBound(sql, key, from + 1);
    sql.Add(v.IsNull() ? ")" : "))");
}

// ---- reading ------------------------------------------------------------------------------------

int TTable::FetchRecords(const TRecordData* from, bool forward, int count,
                         std::vector<TRecordData>& out) {
    if (!from) {
        int served = 0;
        if (forward && FLookAhead.Active && ServeLookAhead(nullptr, count, out, served))
            return served;
        if (forward && ServeTableStart(count, out, served)) return served;
        const std::string& columns = WindowColumnList();
        uint64_t shape = Shape(1, forward, 0, false, false);
        TSqlStatement* shaped = HasShape() ? ShapedStatement(shape) : nullptr;
        if (shaped) {
            TResetGuard guard{*shaped};
            shaped->BindInt64(BindRangeValues(*shaped, 0), count);
            return ReadRows(*shaped, 0, count, out);
        }
        TSqlText sql;
        sql.Add("SELECT " + columns + " FROM " + FQuotedTable);
        if (FRangeApplied) {
            sql.Add(" WHERE ");
            AddRangeCondition(sql);
        }
        sql.Add(OrderBy(0, forward) + " LIMIT ?");
        TSqlStatement& stmt = HasShape() ? RememberShape(shape, sql) : Statement(sql.Text);
        TResetGuard guard{stmt};
        BindAll(stmt, sql);
        stmt.BindInt64(static_cast<int>(sql.Params.size()), count);
        return ReadRows(stmt, 0, count, out);
    }
    int served = 0;
    if (forward && FLookAhead.Active && ServeLookAhead(from, count, out, served)) return served;
    if (forward && ServeHeldStart(from, count, out, served)) return served;
    int k = IndexFieldCount();
    int lowest = FRangeApplied && FRangeEquality ? std::min(FRangeEqualCount, k) : 0;
    int n = 0;
    for (int level = TopLevel(); level >= lowest && n < count; --level) {
        if ((FRowIdKeyed && level == OrderCount()) || forward) {
            n += FetchLevel(*from, forward, level, false, n, count - n, out);
            continue;
        }
        const TField* f = FOrderFields[static_cast<std::size_t>(level)];
        if (from->Values[static_cast<std::size_t>(f->FieldNo())].IsNull())
            continue; // nothing precedes Null
        n += FetchLevel(*from, forward, level, false, n, count - n, out);
        if (n < count) n += FetchLevel(*from, forward, level, true, n, count - n, out);
    }
    return n;
}

int TTable::FetchLevel(const TRecordData& from, bool forward, int level, bool nullsPart, int offset,
                       int count, std::vector<TRecordData>& out) {
    const std::string& columns = WindowColumnList();
    bool rowIdLevel = FRowIdKeyed && level == OrderCount();
    const Variant* levelValue = nullptr;
    if (!rowIdLevel) {
        const TField* f = FOrderFields[static_cast<std::size_t>(level)];
        levelValue = &from.Values[static_cast<std::size_t>(f->FieldNo())];
    }
    bool fromNull = levelValue && levelValue->IsNull();
    // The level's own comparison takes a value unless it is a test for Null.
    bool levelParam = rowIdLevel || !((forward && fromNull) || nullsPart);
    uint64_t shape = Shape(2, forward, level, nullsPart, forward && fromNull);
    TSqlStatement* shaped = HasShape() ? ShapedStatement(shape) : nullptr;
    if (shaped) {
        TResetGuard guard{*shaped};
        int index = 0;
        for (int i = 0; i < level; ++i) {
            const TField* f = FOrderFields[static_cast<std::size_t>(i)];
            BindStored(*shaped, index++, from.Values[static_cast<std::size_t>(f->FieldNo())], f);
        }
        if (rowIdLevel)
            shaped->BindInt64(index++, from.RowId);
        else if (levelParam)
            BindStored(*shaped, index++, *levelValue,
                       FOrderFields[static_cast<std::size_t>(level)]);
        shaped->BindInt64(index, count);
        return ReadRows(*shaped, offset, count, out);
    }
    TSqlText sql;
    sql.Add("SELECT " + columns + " FROM " + FQuotedTable + " WHERE ");
    if (FRangeApplied && !FRangeEquality) {
        sql.Add("(");
        AddRangeCondition(sql);
        sql.Add(") AND ");
    }
    for (int i = 0; i < level; ++i) {
        const TField* f = FOrderFields[static_cast<std::size_t>(i)];
        sql.Add(LevelColumn(i) + NullSafeEquals());
        sql.Param(from.Values[static_cast<std::size_t>(f->FieldNo())], f);
        sql.Add(" AND ");
    }
    if (rowIdLevel) {
        sql.Add(FRowIdColumn + (forward ? " > " : " < "));
        sql.Param(Variant(from.RowId), nullptr);
        sql.Add(" ORDER BY " + FRowIdColumn + (forward ? "" : " DESC"));
    } else {
        const TField* f = FOrderFields[static_cast<std::size_t>(level)];
        std::string name = LevelColumn(level);
        if (forward && fromNull)
            sql.Add(name + " IS NOT NULL");
        else if (nullsPart)
            sql.Add(name + " IS NULL");
        else {
            sql.Add(name + (forward ? " > " : " < "));
            sql.Param(*levelValue, f);
        }
        sql.Add(OrderBy(level, forward));
    }
    sql.Add(" LIMIT ?");
    TSqlStatement& stmt = HasShape() ? RememberShape(shape, sql) : Statement(sql.Text);
    TResetGuard guard{stmt};
    BindAll(stmt, sql);
    stmt.BindInt64(static_cast<int>(sql.Params.size()), count);
    return ReadRows(stmt, offset, count, out);
}

// The record is looked for by its key: a handle never leads to a record with another key, however
// the row ids were reused meanwhile.
bool TTable::FetchRecord(int64_t rowId, TRecordData& out) {
    const std::vector<Variant>* key = nullptr;
    if (!FRowIdKeyed && !(key = FIdentity->KeyOf(rowId, FKeyFieldNos))) return false;
    uint64_t shape = Shape(3, true, 0, false, false);
    TSqlStatement* shaped = HasShape() ? ShapedStatement(shape) : nullptr;
    if (shaped) {
        TResetGuard guard{*shaped};
        int index = 0;
        if (key) {
            for (std::size_t i = 0; i < key->size(); ++i)
                BindStored(*shaped, index++, (*key)[i], FKeyFields[i]);
        } else {
            shaped->BindInt64(index++, rowId);
        }
        BindRangeValues(*shaped, index);
        if (!shaped->Step()) return false;
        ReadRow(*shaped, out);
        return true;
    }
    TSqlText sql;
    sql.Add("SELECT " + FColumnList + " FROM " + FQuotedTable + " WHERE ");
    AddIdentityCondition(sql, rowId);
    if (FRangeApplied) {
        sql.Add(" AND (");
        AddRangeCondition(sql);
        sql.Add(")");
    }
    TSqlStatement& stmt = HasShape() ? RememberShape(shape, sql) : Statement(sql.Text);
    TResetGuard guard{stmt};
    BindAll(stmt, sql);
    if (!stmt.Step()) return false;
    ReadRow(stmt, out);
    return true;
}

bool TTable::LocateRecord(const std::vector<TField*>& fields, const std::vector<Variant>& values,
                          TLocateOptions options, TRecordData& out) {
    if (options == 0 && !FRangeApplied) {
        if (const TRecordData* kept = KeptRecordOfKey(fields, values)) {
            out = *kept;
            return true;
        }
        bool found = false;
        if (LocateWithClimb(fields, values, out, found)) return found;
    }
    TSqlText sql;
    sql.Add("SELECT " + FColumnList + " FROM " + FQuotedTable + " WHERE ");
    if (FRangeApplied) {
        sql.Add("(");
        AddRangeCondition(sql);
        sql.Add(") AND ");
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const TField* f = fields[i];
        Variant stored;
        try {
            stored = f->ValueToStored(values[i]);
        } catch (const EConvertError&) {
            // A value the field cannot hold matches no record (an engine that keeps to the
            // declared types is not even asked).
            if (Connection().StrictColumnTypes() && f->DataType() != ftString && !f->IsBlob())
                return false;
            stored = Variant(values[i].AsString());
        }
        std::string name = Quote(f->FieldName());
        if (i > 0) sql.Add(" AND ");
        bool text = stored.VarType() == varString && !f->IsBinary();
        if (stored.IsNull()) {
            sql.Add(name + " IS NULL");
        } else if (text && (options & loPartialKey) && (options & loCaseInsensitive)) {
            sql.Add(name + Connection().LikeIgnoringCase());
            sql.Param(Variant(EscapeLike(stored.AsString()) + "%"), f);
            sql.Add(" ESCAPE '\\'");
        } else if (text && (options & loPartialKey)) {
            sql.Add("substr(" + name + ", 1, ");
            sql.Param(Variant(CharacterCount(stored.AsString())), nullptr);
            sql.Add(") = ");
            sql.Param(stored, f);
        } else if (text && (options & loCaseInsensitive)) {
            sql.Add(Connection().EqualsIgnoringCase(name, "?"));
            sql.Params.emplace_back(stored, f);
        } else {
            sql.Add(name + " = ");
            sql.Param(stored, f);
        }
    }
    sql.Add(OrderBy(0, true) + " LIMIT 1");
    TSqlStatement& stmt = Statement(sql.Text);
    TResetGuard guard{stmt};
    BindAll(stmt, sql);
    if (!stmt.Step()) return false;
    ReadRow(stmt, out);
    return true;
}

int64_t TTable::CountRecords() {
    TSqlText sql;
    sql.Add("SELECT COUNT(*) FROM " + FQuotedTable);
    if (FRangeApplied) {
        sql.Add(" WHERE ");
        AddRangeCondition(sql);
    }
    TSqlStatement& stmt = Statement(sql.Text);
    TResetGuard guard{stmt};
    BindAll(stmt, sql);
    return stmt.Step() ? stmt.ColumnInt64(0) : 0;
}

// The record of handle: its row id, or each of its key fields.
bool TTable::AddIdentityCondition(TSqlText& sql, int64_t handle) const {
    if (FRowIdKeyed) {
        sql.Add(FRowIdColumn + " = ");
        sql.Param(Variant(handle), nullptr);
        return true;
    }
    const std::vector<Variant>* key = FIdentity->KeyOf(handle, FKeyFieldNos);
    if (!key) return false;
    for (std::size_t i = 0; i < key->size(); ++i) {
        if (i > 0) sql.Add(" AND ");
        sql.Add(Quote(FKeyFields[i]->FieldName()) + NullSafeEquals());
        sql.Param((*key)[i], FKeyFields[i]);
    }
    return true;
}

// ---- writing ------------------------------------------------------------------------------------

int64_t TTable::InsertRecord(const TRecordData& record, const std::vector<bool>& assigned) {
    CheckWritableIdentity();
    DropLookAhead();
    TSqlText sql;
    std::string columns, values;
    for (int i = 0; i < FieldCount(); ++i) {
        if (!assigned[static_cast<std::size_t>(i)]) continue;
        if (!columns.empty()) columns += ", ";
        columns += Quote(Fields(i)->FieldName());
    }
    if (columns.empty()) {
        sql.Add("INSERT INTO " + FQuotedTable + " DEFAULT VALUES");
    } else {
        sql.Add("INSERT INTO " + FQuotedTable + " (" + columns + ") VALUES (");
        bool first = true;
        for (int i = 0; i < FieldCount(); ++i) {
            if (!assigned[static_cast<std::size_t>(i)]) continue;
            if (!first) sql.Add(", ");
            first = false;
            sql.Param(record.Values[static_cast<std::size_t>(i)], Fields(i));
        }
        sql.Add(")");
    }
    // An engine without row id tells the key it stored (defaults and triggers applied) itself.
    bool returning = !FRowIdKeyed && Connection().InsertReturnsKey() && !FKeyFields.empty();
    if (returning) {
        std::string keys;
        for (const TField* f : FKeyFields)
            keys += (keys.empty() ? "" : ", ") + Quote(f->FieldName());
        sql.Add(" RETURNING " + keys);
    }
    {
        TSqlStatement& stmt = Statement(sql.Text);
        TResetGuard guard{stmt};
        BindAll(stmt, sql);
        bool row = stmt.Step();
        if (returning) {
            if (!row) RaiseRes<EDatabaseError>(SRecordNotFound);
            if (!FEngineIdentity.ChangesReported) FIdentity->RecordChanged();
            std::vector<Variant> values(static_cast<std::size_t>(FieldCount()));
            for (std::size_t i = 0; i < FKeyFields.size(); ++i)
                ReadColumn(stmt, static_cast<int>(i),
                           values[static_cast<std::size_t>(FKeyFields[i]->FieldNo())]);
            return FIdentity->HandleOf(values, FKeyFieldNos);
        }
    }
    if (FRowIdKeyed) return Connection().LastInsertRowId();
    return InsertedHandle(record);
}

// The handle of the record just inserted into a table keyed by other fields than the row id: its
// key as stored (defaults and conversions applied) when the row id can find it, else as given.
int64_t TTable::InsertedHandle(const TRecordData& record) {
    if (!FEngineIdentity.ChangesReported) FIdentity->RecordChanged();
    if (FEngineIdentity.RowIdName.empty()) return FIdentity->HandleOf(record.Values, FKeyFieldNos);
    std::string columns;
    for (const TField* f : FKeyFields)
        columns += (columns.empty() ? "" : ", ") + Quote(f->FieldName());
    TSqlStatement& stmt = Statement("SELECT " + columns + " FROM " + FQuotedTable + " WHERE " +
                                    Quote(FEngineIdentity.RowIdName) + " = ?");
    TResetGuard guard{stmt};
    stmt.BindInt64(0, Connection().LastInsertRowId());
    if (!stmt.Step()) return FIdentity->HandleOf(record.Values, FKeyFieldNos);
    std::vector<Variant> values(static_cast<std::size_t>(FieldCount()));
    for (std::size_t i = 0; i < FKeyFields.size(); ++i)
        ReadColumn(stmt, static_cast<int>(i),
                   values[static_cast<std::size_t>(FKeyFields[i]->FieldNo())]);
    return FIdentity->HandleOf(values, FKeyFieldNos);
}

int64_t TTable::ModifyRecord(const TRecordData& original, const TRecordData& record,
                             const std::vector<bool>& modified) {
    CheckWritableIdentity();
    DropLookAhead();
    TSqlText sql;
    sql.Add("UPDATE " + FQuotedTable + " SET ");
    bool any = false;
    for (int i = 0; i < FieldCount(); ++i) {
        if (!modified[static_cast<std::size_t>(i)]) continue;
        if (any) sql.Add(", ");
        any = true;
        sql.Add(Quote(Fields(i)->FieldName()) + " = ");
        sql.Param(record.Values[static_cast<std::size_t>(i)], Fields(i));
    }
    if (!any) return original.RowId;
    sql.Add(" WHERE ");
    if (!AddIdentityCondition(sql, original.RowId)) RaiseRes<EDatabaseError>(SRecordNotFound);
    {
        TSqlStatement& stmt = Statement(sql.Text);
        TResetGuard guard{stmt};
        BindAll(stmt, sql);
        stmt.Step();
    }
    if (Connection().Changes() == 0) RaiseRes<EDatabaseError>(SRecordNotFound);
    if (!FRowIdKeyed) return ModifiedHandle(original, record, modified);
    if (FRowIdAliasField < 0 || !modified[static_cast<std::size_t>(FRowIdAliasField)])
        return original.RowId;
    const Variant& id = record.Values[static_cast<std::size_t>(FRowIdAliasField)];
    int64_t rowId = id.IsNull() ? original.RowId : id.AsInt64();
    // A record whose row id changed is no longer the record its old bookmarks named.
    if (rowId != original.RowId) FIdentity->RecordDeleted(original.RowId);
    return rowId;
}

// The handle of a record written under a key other than the row id: a new key names another
// record, and the old key's bookmarks name none.
int64_t TTable::ModifiedHandle(const TRecordData& original, const TRecordData& record,
                               const std::vector<bool>& modified) {
    if (!FEngineIdentity.ChangesReported) FIdentity->RecordChanged();
    bool keyChanged = std::any_of(FKeyFieldNos.begin(), FKeyFieldNos.end(), [&modified](int no) {
        return modified[static_cast<std::size_t>(no)];
    });
    if (!keyChanged) return original.RowId;
    int64_t handle = FIdentity->HandleOf(record.Values, FKeyFieldNos);
    if (handle != original.RowId) FIdentity->RecordDeleted(original.RowId);
    return handle;
}

void TTable::DeleteRecord(const TRecordData& record) {
    CheckWritableIdentity();
    DropLookAhead();
    TSqlText sql;
    sql.Add("DELETE FROM " + FQuotedTable + " WHERE ");
    if (!AddIdentityCondition(sql, record.RowId)) RaiseRes<EDatabaseError>(SRecordNotFound);
    {
        TSqlStatement& stmt = Statement(sql.Text);
        TResetGuard guard{stmt};
        BindAll(stmt, sql);
        stmt.Step();
    }
    if (Connection().Changes() == 0) RaiseRes<EDatabaseError>(SRecordNotFound);
    // The engine reports row ids only: the log learns of the key's deletion here.
    if (!FRowIdKeyed) FIdentity->RecordDeleted(record.RowId);
}

// ---- bookmarks ----------------------------------------------------------------------------------

TBookmark TTable::MakeBookmark(int64_t rowId) const {
    if (!FIdentity) return TBookmark();
    if (FRowIdKeyed) FIdentity->Bookmarked(rowId);
    return TBookmark{rowId, FIdentity->Epoch(), FIdentity->Id()};
}

// A scan's reads share one read transaction of the connection.
void TTable::ScanChanged(bool Scanning) {
    if (Scanning && !FScanConnection && FConnection) {
        uint64_t before = 0;
        bool known = DataVersion(before);
        FScanConnection = FConnection;
        FScanConnection->BeginReadScan();
        if (known) AdoptMoveClimb(before);
        FScanStartHeld = FLookAheadMode != laOff && !FRowIdKeyed && State() == dsBrowse &&
                         FConnection->ReadsRangesAhead() && CurrentHandleHeld(FScanStart);
        FScanStartAtTop = FScanStartHeld && !FRangeApplied && Bof();
    } else if (!Scanning && FScanConnection) {
        FScanStartHeld = false;
        FLevels.Levels.clear();
        FClimbAdopted.Held = false;
        FTableStart.Rows.clear();
        TSqlConnection* connection = FScanConnection;
        FScanConnection = nullptr;
        connection->EndReadScan();
    }
}

bool TTable::DataVersion(uint64_t& version) const {
    // Changes the engine does not report (tables without row id) cannot be counted.
    if (!FIdentity || !FEngineIdentity.ChangesReported) return false;
    // Both counts only grow, so their sum changes whenever either does.
    version = FIdentity->Changes() + (FConnection ? FConnection->OtherCommits() : 0);
    return true;
}

bool TTable::BookmarkIdentityValid(const TBookmark& bookmark) const {
    return FIdentity && bookmark.Source == FIdentity->Id() &&
           !FIdentity->DeletedSince(bookmark.RowId, bookmark.Epoch);
}

// ---- key entry and ranges -----------------------------------------------------------------------

TKeyBuffer* TTable::GetKeyBuffer(TKeyIndex index) {
    return &FKeyBuffers[static_cast<int>(index)];
}

std::vector<Variant>* TTable::KeyEntryValues() {
    return State() == dsSetKey ? &FKeyBuffers[static_cast<int>(FKeyEntry)].Values : nullptr;
}

void TTable::KeyFieldWritten(TField* field) {
    int position = IndexPosition(field);
    if (position < 0) RaiseRes<EDatabaseError>(SNotIndexField, {field->FieldName()});
    TKeyBuffer& key = FKeyBuffers[static_cast<int>(FKeyEntry)];
    key.FieldCount = std::max(key.FieldCount, position + 1);
    key.Modified = true;
}

int TTable::GetKeyFieldCount() const {
    return FKeyBuffers[static_cast<int>(FKeyEntry)].FieldCount;
}

void TTable::SetKeyFieldCount(int value) {
    if (State() != dsSetKey) RaiseRes<EDatabaseError>(SNotEditing);
    FKeyBuffers[static_cast<int>(FKeyEntry)].FieldCount = value;
}

void TTable::StartKeyEntry(TKeyIndex index, bool clear) {
    CheckActive();
    CheckBrowseMode();
    FKeyEntry = index;
    if (clear) {
        TKeyBuffer& key = FKeyBuffers[static_cast<int>(index)];
        key.Values.assign(static_cast<std::size_t>(FieldCount()), Variant::Null());
        key.FieldCount = 0;
        key.Modified = false;
    }
    SetState(dsSetKey);
}

void TTable::SetRangeStart() {
    StartKeyEntry(TKeyIndex::kiRangeStart, true);
}
void TTable::SetRangeEnd() {
    StartKeyEntry(TKeyIndex::kiRangeEnd, true);
}
void TTable::EditRangeStart() {
    StartKeyEntry(TKeyIndex::kiRangeStart, false);
}
void TTable::EditRangeEnd() {
    StartKeyEntry(TKeyIndex::kiRangeEnd, false);
}

void TTable::ApplyRange() {
    ApplyRangeKeys(false);
}

// Applies the entered start and end keys; endsEqual tells that they were entered equal (a range
// over one key value), so they need no comparing.
void TTable::ApplyRangeKeys(bool endsEqual) {
    MoveWith([this, endsEqual] {
        TKeyBuffer& start = FKeyBuffers[static_cast<int>(TKeyIndex::kiCurRangeStart)];
        TKeyBuffer& end = FKeyBuffers[static_cast<int>(TKeyIndex::kiCurRangeEnd)];
        CopyKey(start, FKeyBuffers[static_cast<int>(TKeyIndex::kiRangeStart)]);
        CopyKey(end, FKeyBuffers[static_cast<int>(TKeyIndex::kiRangeEnd)]);
        // A key uses at most the index's fields.
        start.FieldCount = std::clamp(start.FieldCount, 0, IndexFieldCount());
        end.FieldCount = std::clamp(end.FieldCount, 0, IndexFieldCount());
        FRangeEquality = start.FieldCount == end.FieldCount;
        for (int i = 0; !endsEqual && FRangeEquality && i < start.FieldCount; ++i) {
            std::size_t no =
                static_cast<std::size_t>(FIndexFields[static_cast<std::size_t>(i)]->FieldNo());
            FRangeEquality = SameStored(start.Values[no], end.Values[no]);
        }
        FRangeEqualCount = FRangeEquality ? start.FieldCount : 0;
        FRangeApplied = true;
        ChangeCursorScope(ScopeOfRange(), FRangeFirstReads);
        return 2;
    });
}

// The number of the applied range: that of an equal range applied lately, else a new one. The
// range applied longest ago is forgotten first, so a range a scan keeps coming back to (a tree's
// parent, between the ranges of its children) keeps its number, and with it its kept window.
uint64_t TTable::ScopeOfRange() {
    constexpr std::size_t remembered = 8;
    const TKeyBuffer& start = FKeyBuffers[static_cast<int>(TKeyIndex::kiCurRangeStart)];
    const TKeyBuffer& end = FKeyBuffers[static_cast<int>(TKeyIndex::kiCurRangeEnd)];
    // A scan applies a new range per record it reads the children of: the hash tells it from the
    // remembered ones without comparing their keys value by value. The end of an equality range
    // is its start, so only the start is hashed and compared then.
    const bool equal = RangeIsEquality();
    std::size_t hash = RangeHash(start, end, equal);
    for (TAppliedRange& range : FRecentRanges)
        if (range.Hash == hash && range.Equality == equal && SameKey(range.Start, start) &&
            (equal || SameKey(range.End, end))) {
            range.Used = ++FRangeClock;
            return range.Scope;
        }
    // The range applied longest ago gives its place (and its buffers) to this one.
    TAppliedRange* range = nullptr;
    if (FRecentRanges.size() < remembered) {
        range = &FRecentRanges.emplace_back();
    } else {
        range = &FRecentRanges.front();
        for (TAppliedRange& r : FRecentRanges)
            if (r.Used < range->Used) range = &r;
    }
    range->Scope = ++FLastScope;
    range->Used = ++FRangeClock;
    range->Hash = hash;
    range->Equality = equal;
    CopyKey(range->Start, start);
    CopyKey(range->End, end);
    return FLastScope;
}

// ---- ranges read ahead --------------------------------------------------------------------------

void TTable::SetLookAheadMode(TLookAheadMode value) {
    FLookAheadMode = value;
    if (value == laOff) EndLookAhead();
}

void TTable::BeginLookAhead(const std::string& rangeFields, const std::string& keyFields,
                            int rowsEach) {
    EndLookAhead();
    if (!GetActive() || !FConnection || FLookAheadMode == laOff || rowsEach < 1 ||
        !FWritableIdentity || !FConnection->ReadsRangesAhead())
        return;
    std::vector<TField*> byPlace;
    if (!AheadFields(rangeFields, keyFields, byPlace)) return;
    TSqlText source;
    if (FRangeApplied)
        AddRangeCondition(source);
    else
        source.Add("TRUE");
    FLookAhead.Source = std::move(source);
    FLookAhead.SourceApplied = FRangeApplied;
    FLookAhead.SourceStart = FKeyBuffers[static_cast<int>(TKeyIndex::kiCurRangeStart)];
    FLookAhead.SourceEnd = FKeyBuffers[static_cast<int>(TKeyIndex::kiCurRangeEnd)];
    FLookAhead.KeyFields = std::move(byPlace);
    FLookAhead.RowsEach = rowsEach;
    FLookAhead.Columns = AheadColumns();
    FLookAhead.ColumnList = NamingColumnList(FLookAhead.Columns);
    FLookAhead.Active = true;
}

// The key field giving the value of each index field of the ranges announced (by the index
// field's place); false when the ranges cannot be read ahead.
bool TTable::AheadFields(const std::string& rangeFields, const std::string& keyFields,
                         std::vector<TField*>& byPlace) const {
    auto fieldsOf = [this](const std::string& names, std::vector<TField*>& fields) {
        int pos = 1;
        while (pos <= static_cast<int>(names.size())) {
            std::string name = ExtractFieldName(names, pos);
            if (name.empty()) continue;
            TField* f = FindField(name);
            if (!f) return false;
            fields.push_back(f);
        }
        return true;
    };
    std::vector<TField*> ranged, keys;
    if (!fieldsOf(rangeFields, ranged) || !fieldsOf(keyFields, keys)) return false;
    std::size_t n = ranged.size();
    if (n == 0 || n != keys.size() || n > FIndexFields.size()) return false;
    // The ranges' fields are the index's leading ones, each compared with a key field of its own
    // type (the engine then compares them as it compares a range's value with them).
    byPlace.assign(n, nullptr);
    for (std::size_t i = 0; i < n; ++i) {
        int at = IndexPosition(ranged[i]);
        if (at < 0 || at >= static_cast<int>(n) || byPlace[static_cast<std::size_t>(at)])
            return false;
        // A key field is read by its own column, which also gives the value its range matches
        // (a field that is the row id has no column of that name).
        if (ranged[i]->DataType() != keys[i]->DataType() || keys[i]->IsBlob() ||
            keys[i]->FieldNo() == FRowIdAliasField)
            return false;
        byPlace[static_cast<std::size_t>(at)] = keys[i];
    }
    return true;
}

// Every field but the large ones (pictures, long texts): what the readers ask of the records
// later does not make the statement's rows fall short.
std::vector<int> TTable::AheadColumns() const {
    std::vector<int> columns;
    for (int i = 0; i < FieldCount(); ++i)
        if (FieldDemanded(i) || !Fields(i)->IsBlob()) columns.push_back(i);
    return columns;
}

std::string TTable::NamingColumnList(const std::vector<int>& fields) const {
    if (FRowIdKeyed) return ColumnListOf(fields);
    std::string list;
    for (int i : fields)
        list += (list.empty() ? "" : ", ") + Quote(Fields(i)->FieldName());
    return list;
}

int TTable::AheadRowWidth(const std::vector<int>& fields) const {
    if (!FRowIdKeyed) return static_cast<int>(fields.size());
    return 1 + static_cast<int>(fields.size()) -
           (std::find(fields.begin(), fields.end(), FRowIdAliasField) != fields.end());
}

void TTable::ReadAheadColumns(const TSqlStatement& stmt, TRecordData& out, int first,
                              const std::vector<int>& fields) const {
    if (FRowIdKeyed) {
        ReadColumns(stmt, out, first, fields);
        return;
    }
    // Rows are refilled in place: most already have their size (resize is a call even then).
    if (out.Values.size() != static_cast<std::size_t>(FieldCount()))
        out.Values.resize(static_cast<std::size_t>(FieldCount()));
    std::size_t next = 0;
    int column = first;
    for (std::size_t i = 0; i < out.Values.size(); ++i) {
        if (next < fields.size() && fields[next] == static_cast<int>(i)) {
            ++next;
            ReadColumn(stmt, column++, out.Values[i]);
        } else if (!out.Values[i].IsEmpty()) {
            out.Values[i].Clear();
        }
    }
    NameRecord(out);
}

std::string TTable::AheadMatch(const std::vector<TField*>& keyFields) const {
    std::string match;
    for (std::size_t i = 0; i < keyFields.size(); ++i)
        match += (i ? " AND " : "") + Quote(FIndexFields[i]->FieldName()) + " = s." +
                 Quote(keyFields[i]->FieldName());
    return match;
}

void TTable::EndLookAhead(bool keepRows) {
    // Rows kept are kept whole: those still coming are taken first (they are on their way: no
    // round trip). Should that fail, nothing is kept.
    if (keepRows && FLookAhead.Pending) {
        try {
            while (TakePendingRow()) {
            }
        } catch (...) {
            DropLookAhead();
        }
    }
    // The rows of a long level are not answered from once the reader is done, and the buffers of
    // a very long one are not held on to.
    std::size_t rows = FLookAhead.SourceRows.size() + FLookAhead.RangeRows.size();
    if (!keepRows || rows > kKeptAheadRows) DropLookAhead();
    if (rows > kKeptAheadBuffers) {
        FLookAhead.SourceRows = {};
        FLookAhead.RangeRows = {};
    }
    FLookAhead.Active = false;
    FLookAhead.Reads = 0;
    FLookAhead.Source = TSqlText();
    FLookAhead.KeyFields.clear();
}

// What was read ahead is of no use any more (a write): it is read again when next needed.
void TTable::DropLookAhead() {
    if (TSqlStatement* pending = std::exchange(FLookAhead.Pending, nullptr)) pending->Reset();
    FLookAhead.Filling = nullptr;
    FLookAhead.Read = false;
    FLookAhead.SourceCount = 0;
    FLookAhead.RangeCount = 0;
    FLookAhead.SourcePlace.clear();
    FLookAhead.SourceServed = 0;
    FLookAhead.Ranges.clear();
}

bool TTable::SameKey(const TKeyBuffer& a, const TKeyBuffer& b) const {
    if (a.FieldCount != b.FieldCount) return false;
    for (int i = 0; i < a.FieldCount; ++i) {
        std::size_t no =
            static_cast<std::size_t>(FIndexFields[static_cast<std::size_t>(i)]->FieldNo());
        if (!SameStored(a.Values[no], b.Values[no])) return false;
    }
    return true;
}

// Copies a key: its count, its mark and the values of the index fields. The other fields of a key
// are never written (only index fields take key values) and stay Null, so a key of the same size
// needs only those copied; a range applied per record then copies one value, not a record.
void TTable::CopyKey(TKeyBuffer& to, const TKeyBuffer& from) const {
    to.FieldCount = from.FieldCount;
    to.Modified = from.Modified;
    if (to.Values.size() != from.Values.size()) {
        to.Values = from.Values;
        return;
    }
    for (const TField* f : FIndexFields) {
        std::size_t no = static_cast<std::size_t>(f->FieldNo());
        to.Values[no] = from.Values[no];
    }
}

// A hash of a range's keys that equal keys (SameKey) share; of the start alone for an equality
// range (equal), whose end is the same key.
std::size_t TTable::RangeHash(const TKeyBuffer& start, const TKeyBuffer& end, bool equal) const {
    std::size_t h =
        static_cast<std::size_t>(start.FieldCount) * 31 + static_cast<std::size_t>(end.FieldCount);
    for (const TKeyBuffer* key : {&start, &end}) {
        if (equal && key == &end) break;
        for (int i = 0; i < key->FieldCount; ++i) {
            std::size_t no =
                static_cast<std::size_t>(FIndexFields[static_cast<std::size_t>(i)]->FieldNo());
            const Variant& v = key->Values[no];
            // Null in any form is one value to SameKey.
            h = h * 1000003 + (v.IsNull() ? 0 : VarHash(v));
        }
    }
    return h;
}

// Whether the applied range is the one the announced ranges' keys come from.
bool TTable::InSourceRange() const {
    if (FRangeApplied != FLookAhead.SourceApplied) return false;
    return !FRangeApplied ||
           (SameKey(FKeyBuffers[static_cast<int>(TKeyIndex::kiCurRangeStart)],
                    FLookAhead.SourceStart) &&
            SameKey(FKeyBuffers[static_cast<int>(TKeyIndex::kiCurRangeEnd)], FLookAhead.SourceEnd));
}

// The key of the applied range as the look-ahead knows ranges; false when it is none of theirs.
bool TTable::LookAheadKey(std::string& key) const {
    if (!FRangeApplied || !FRangeEquality ||
        FRangeEqualCount != static_cast<int>(FLookAhead.KeyFields.size()))
        return false;
    const TKeyBuffer& start = FKeyBuffers[static_cast<int>(TKeyIndex::kiCurRangeStart)];
    for (int i = 0; i < FRangeEqualCount; ++i) {
        const TField* f = FIndexFields[static_cast<std::size_t>(i)];
        if (!AppendKeyPart(key, start.Values[static_cast<std::size_t>(f->FieldNo())])) return false;
    }
    return true;
}

// Reads ahead when nothing was read yet for the data as it is now; false when what was read
// cannot serve (the data cannot tell its version, or a reader kept changing it).
bool TTable::LookAheadCurrent(uint64_t version) {
    if (FLookAhead.Read && FLookAhead.Version == version) return true;
    if (FLookAhead.Reads >= kMaxAheadReads) return false;
    DropLookAhead();
    ++FLookAhead.Reads;
    ReadAhead();
    FLookAhead.Version = version;
    return true;
}

// A window answered from what was read ahead, when it answers it exactly: records of the source
// range (the first ones, or those after from), or the first records of an announced range (as
// many as asked for when that many were read, else those read, telling whether more follow).
bool TTable::ServeLookAhead(const TRecordData* from, int count, std::vector<TRecordData>& out,
                            int& n) {
    uint64_t version = 0;
    const std::vector<TRecordData>* rows = nullptr;
    std::size_t first = 0, end = 0;
    bool complete = true;
    if (InSourceRange()) {
        if (!DataVersion(version) || !LookAheadCurrent(version)) return false;
        if (from) {
            std::size_t at = SourcePlaceOf(from->RowId);
            if (at == SIZE_MAX) return false;
            first = at + 1;
        }
        // One record beyond the window tells whether more follow.
        TakeSourceRows(first + static_cast<std::size_t>(count) + 1);
        rows = &FLookAhead.SourceRows;
        end = FLookAhead.SourceCount;
        complete = !FLookAhead.Pending;
    } else {
        std::string key;
        if (from || !LookAheadKey(key) || !DataVersion(version) || !LookAheadCurrent(version))
            return false;
        const TAheadRange* range = AheadRangeOf(key);
        if (!range) return false;
        rows = &FLookAhead.RangeRows;
        first = range->First;
        end = first + range->Count;
        complete = range->Complete;
    }
    int left = static_cast<int>(end - std::min(first, end));
    n = std::min(count, left);
    if (rows == &FLookAhead.SourceRows)
        FLookAhead.SourceServed = first + static_cast<std::size_t>(n);
    // A reader wanting more than the rows read ahead reads the rest after them.
    FFetchAtEnd = complete && n == left;
    if (static_cast<int>(out.size()) < n) out.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        out[static_cast<std::size_t>(i)] = (*rows)[first + static_cast<std::size_t>(i)];
    return true;
}

// Takes the next row of the statement still sending rows, if any; false at its end, when it is
// done with. A failure drops what was read ahead (a reader asking again reads it anew).
bool TTable::TakePendingRow() {
    TSqlStatement* stmt = FLookAhead.Pending;
    if (!stmt) return false;
    try {
        if (stmt->Step()) {
            int width = FLookAhead.Width;
            TakeAheadRow(*stmt, 0, width, 2 * width, FLookAhead.Filling);
            return true;
        }
    } catch (...) {
        DropLookAhead();
        throw;
    }
    FinishAheadRange(FLookAhead.Filling);
    FLookAhead.Filling = nullptr;
    FLookAhead.Pending = nullptr;
    stmt->Reset();
    return false;
}

// Takes rows until count records of the source range are read, or all of them are.
void TTable::TakeSourceRows(std::size_t count) {
    while (FLookAhead.SourceCount < count && TakePendingRow()) {
    }
}

// The range of a key read whole, taking rows until it is; null when none was read for it.
const TTable::TAheadRange* TTable::AheadRangeOf(const std::string& key) {
    for (;;) {
        auto it = FLookAhead.Ranges.find(key);
        bool found = it != FLookAhead.Ranges.end();
        if (found && &it->second != FLookAhead.Filling) return &it->second;
        if (!TakePendingRow()) return found ? &it->second : nullptr;
    }
}

// Ends the reading of rows still coming, dropping what was read of them (the statement they come
// from is about to go).
void TTable::DropPendingAhead() {
    if (FLookAhead.Pending) DropLookAhead();
}

// The place of the source range's record rowId among the rows read, or SIZE_MAX. A reader goes
// on from the last record it was served, which is looked at first; any other is looked up in an
// index of the places, made when first needed (most levels are read through without one, and
// making it cost a map entry per record).
std::size_t TTable::SourcePlaceOf(int64_t rowId) {
    const std::vector<TRecordData>& rows = FLookAhead.SourceRows;
    std::size_t served = FLookAhead.SourceServed;
    if (served > 0 && served <= FLookAhead.SourceCount && rows[served - 1].RowId == rowId)
        return served - 1;
    std::unordered_map<int64_t, std::size_t>& places = FLookAhead.SourcePlace;
    if (places.empty())
        for (std::size_t i = 0; i < FLookAhead.SourceCount; ++i)
            places[rows[i].RowId] = i;
    auto at = places.find(rowId);
    return at == places.end() ? SIZE_MAX : at->second;
}

// The first records of the whole table, answered from the records last read ahead of a source
// range whose fields were all Null: those records come first in the index, so the first count
// records of the table are theirs when the range held at least that many.
// The table's first records as a scan read them (FTableStart): those from the start, or after
// from, when they answer the read whole (as many as asked for, or all that follow).
bool TTable::ServeHeldStart(const TRecordData* from, int count, std::vector<TRecordData>& out,
                            int& n) {
    uint64_t version = 0;
    const std::vector<TRecordData>& rows = FTableStart.Rows;
    if (FRangeApplied || count < 1 || rows.empty() || !DataVersion(version) ||
        version != FTableStart.Version)
        return false;
    std::size_t first = 0;
    if (from) {
        while (first < rows.size() && rows[first].RowId != from->RowId)
            ++first;
        if (first == rows.size()) return false;
        ++first;
    }
    std::size_t left = rows.size() - first;
    if (!FTableStart.Complete && static_cast<std::size_t>(count) > left) return false;
    n = static_cast<int>(std::min(static_cast<std::size_t>(count), left));
    if (FTableStart.Complete && static_cast<std::size_t>(n) == left) FFetchAtEnd = true;
    if (out.size() < static_cast<std::size_t>(n)) out.resize(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i)
        out[i] = rows[first + i];
    return true;
}

bool TTable::ServeTableStart(int count, std::vector<TRecordData>& out, int& n) {
    uint64_t version = 0;
    if (ServeHeldStart(nullptr, count, out, n)) return true;
    const TKeyBuffer& start = FLookAhead.SourceStart;
    const TKeyBuffer& end = FLookAhead.SourceEnd;
    if (FRangeApplied || !FLookAhead.Read || !FLookAhead.SourceApplied || count < 1 ||
        start.FieldCount < 1 || start.FieldCount != end.FieldCount || !DataVersion(version) ||
        version != FLookAhead.Version)
        return false;
    for (int i = 0; i < start.FieldCount; ++i) {
        std::size_t no =
            static_cast<std::size_t>(FIndexFields[static_cast<std::size_t>(i)]->FieldNo());
        if (!start.Values[no].IsNull() || !end.Values[no].IsNull()) return false;
    }
    TakeSourceRows(static_cast<std::size_t>(count));
    if (static_cast<std::size_t>(count) > FLookAhead.SourceCount) return false;
    n = count;
    if (out.size() < static_cast<std::size_t>(n)) out.resize(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i)
        out[i] = FLookAhead.SourceRows[i];
    return true;
}

// ORDER BY terms of the order fields as columns of the relation named prefix.
std::string TTable::PrefixedOrder(const std::string& prefix) const {
    std::string text;
    for (const TField* f : FOrderFields) {
        std::size_t no = static_cast<std::size_t>(f->FieldNo());
        bool nullable = no >= FNullable.size() || FNullable[no];
        text += (text.empty() ? "" : ", ") +
                Connection().OrderTerm(prefix + Quote(f->FieldName()), false, nullable);
    }
    if (FRowIdKeyed) text += (text.empty() ? "" : ", ") + prefix + FRowIdColumn;
    return text;
}

// One statement: the records of the source range in order, each joined to the first rows of its
// range, numbered: one row per record for one row ahead. A range that gave fewer rows than were
// asked for is known whole; one that gave as many may hold more (a reader whose window grows
// beyond them reads the rest as usual): asking the engine whether more follow would cost it an
// index probe per record. A key with a Null part is left out: its range is read as usual.
void TTable::ReadAhead() {
    if (AdoptLevel()) return;
    const std::string& columns = FLookAhead.ColumnList;
    std::string match = AheadMatch(FLookAhead.KeyFields);
    std::string order = OrderBy(0, true);
    TSqlText sql;
    std::string each = std::to_string(FLookAhead.RowsEach);
    // One row each needs no numbering (nor a sort by it).
    bool one = FLookAhead.RowsEach == 1;
    std::string number = one ? "1" : "row_number() OVER (" + order.substr(1) + ")";
    sql.Params = FLookAhead.Source.Params;
    sql.Add("SELECT s.*, c.* FROM (SELECT " + columns + " FROM " + FQuotedTable + " WHERE " +
            FLookAhead.Source.Text + ") s LEFT JOIN LATERAL (SELECT " + columns + ", " + number +
            " AS orvel_n FROM " + FQuotedTable + " WHERE " + match + order + " LIMIT " + each +
            ") c ON TRUE ORDER BY " + PrefixedOrder("s.") + (one ? "" : ", c.orvel_n"));
    TSqlStatement& stmt = Statement(sql.Text);
    TResetGuard guard{stmt};
    BindAll(stmt, sql);
    // Its rows are taken in while a server still sends the later ones.
    stmt.StreamNextRun();
    // The scan's first look-ahead also reads the record the scan began on, by a statement of its
    // own that goes to the engine with the other (first, so that the look-ahead's rows can come
    // as they are sent): a server answers both in one round trip, and the look-ahead's own
    // statement stays one the engine can serve in its index's order.
    TSqlText scanStart;
    TSqlStatement* back = nullptr;
    std::optional<TResetGuard> backGuard;
    uint64_t version = 0;
    bool top = false;
    if (AddScanStart(scanStart)) {
        top = FScanStartAtTop && DataVersion(version);
        if (top) FTableStart.Rows.clear();
        back = &Statement(scanStart.Text);
        backGuard.emplace(*back);
        BindAll(*back, scanStart);
        Connection().RunTogether({back, &stmt});
        ReadScanStart(*back, top, version);
    }
    // The rows are taken as the reader reaches them, while a server still sends the later ones.
    FLookAhead.Width = AheadRowWidth(FLookAhead.Columns);
    FLookAhead.Filling = nullptr;
    FLookAhead.Pending = &stmt;
    FLookAhead.Read = true;
    guard.Dismiss();
    TakePendingRow();
}

// The rows of the statement AddScanStart made: the record the scan began on, kept as a single
// record, or the first records of the table, kept as its start (top) for the data version then.
void TTable::ReadScanStart(TSqlStatement& back, bool top, uint64_t version) {
    std::vector<TRecordData> rows;
    while (back.Step()) {
        TRecordData& record = rows.emplace_back();
        ReadAheadColumns(back, record, 0, FLookAhead.Columns);
        if (rows.size() == 1) KeepSingle(record);
    }
    if (!top) return;
    FTableStart.Complete = rows.size() < kTableStartRows;
    FTableStart.Rows = std::move(rows);
    FTableStart.Version = version;
}

void TTable::TakeAheadRow(const TSqlStatement& stmt, int sourceAt, int rowAt, int numberAt,
                          TAheadRange*& range) {
    auto next = [](std::vector<TRecordData>& rows, std::size_t& count) -> TRecordData& {
        if (count == rows.size()) rows.emplace_back();
        return rows[count++];
    };
    // The row's number among its range's rows, Null when the record has no range rows.
    TSqlCell numberCell;
    stmt.ReadCell(numberAt, numberCell);
    bool joined = numberCell.Type != TSqlType::Null;
    int64_t number = joined ? numberCell.Integer : 0;
    // A record of the source range comes with the first row of its range (or none).
    if (number <= 1) {
        FinishAheadRange(range);
        TRecordData& record = next(FLookAhead.SourceRows, FLookAhead.SourceCount);
        ReadAheadColumns(stmt, record, sourceAt, FLookAhead.Columns);
        // An index of the places made before this record learns it.
        if (!FLookAhead.SourcePlace.empty())
            FLookAhead.SourcePlace[record.RowId] = FLookAhead.SourceCount - 1;
        // The range of a record is that of its key fields' values as read.
        std::string key;
        bool usable = true;
        for (std::size_t i = 0; i < FLookAhead.KeyFields.size() && usable; ++i)
            usable = AppendKeyPart(
                key, record.Values[static_cast<std::size_t>(FLookAhead.KeyFields[i]->FieldNo())]);
        // Several records of one key: the first gave its range.
        auto [it, added] = usable ? FLookAhead.Ranges.try_emplace(std::move(key))
                                  : std::pair{FLookAhead.Ranges.end(), false};
        range = added ? &it->second : nullptr;
        if (range) range->First = FLookAhead.RangeCount;
    }
    if (!range || !joined) return;
    ReadAheadColumns(stmt, next(FLookAhead.RangeRows, FLookAhead.RangeCount), rowAt,
                     FLookAhead.Columns);
    ++range->Count;
}

// ---- levels read ahead --------------------------------------------------------------------------

void TTable::SwapAheadRows(TAheadLevel& level) {
    std::swap(level.SourceRows, FLookAhead.SourceRows);
    std::swap(level.SourceCount, FLookAhead.SourceCount);
    std::swap(level.SourcePlace, FLookAhead.SourcePlace);
    FLookAhead.SourceServed = 0;
    std::swap(level.RangeRows, FLookAhead.RangeRows);
    std::swap(level.RangeCount, FLookAhead.RangeCount);
    std::swap(level.Ranges, FLookAhead.Ranges);
}

class TTable::TLevelsReading {
public:
    TLevelsReading(TTable& table, int rowsEach, const std::vector<TField*>& byPlace,
                   const std::vector<int>& columns, std::size_t count)
        : Levels(count), FTable(table), FRows(table.FLookAhead.RowsEach) {
        TLookAhead& ahead = FTable.FLookAhead;
        FTable.DropLookAhead();
        FKeys = std::move(ahead.KeyFields);
        FColumns = std::move(ahead.Columns);
        ahead.RowsEach = rowsEach;
        ahead.KeyFields = byPlace;
        ahead.Columns = columns;
    }
    ~TLevelsReading() {
        TLookAhead& ahead = FTable.FLookAhead;
        FTable.DropLookAhead();
        ahead.RowsEach = FRows;
        ahead.KeyFields = std::move(FKeys);
        ahead.Columns = std::move(FColumns);
    }
    TLevelsReading(const TLevelsReading&) = delete;
    TLevelsReading& operator=(const TLevelsReading&) = delete;

    std::vector<TAheadLevel> Levels; // by level number, each with its key

    void Take(const TSqlStatement& stmt, std::size_t level, int sourceAt, int rowAt, int numberAt) {
        if (level >= Levels.size()) return;
        if (level != FCurrent) {
            FTable.FinishAheadRange(FRange);
            FRange = nullptr;
            FTable.SwapAheadRows(Levels[FCurrent]);
            FTable.DropLookAhead();
            FCurrent = level;
        }
        FTable.TakeAheadRow(stmt, sourceAt, rowAt, numberAt, FRange);
    }
    // The levels read, once the statement is done.
    std::vector<TAheadLevel>& Finish() {
        FTable.FinishAheadRange(FRange);
        FRange = nullptr;
        FTable.SwapAheadRows(Levels[FCurrent]);
        return Levels;
    }

private:
    TTable& FTable;
    int FRows;
    std::vector<TField*> FKeys;
    std::vector<int> FColumns;
    std::size_t FCurrent = 0;
    TAheadRange* FRange = nullptr;
};

// Whether levels holds every level of keys as read for this announcement at this data version.
bool TTable::LevelsHeld(const std::vector<TAheadLevel>& levels, uint64_t version, int rowsEach,
                        const std::vector<TField*>& byPlace,
                        const std::vector<std::string>& keys) const {
    if (levels.empty() || FLevels.Version != version || FLevels.RowsEach != rowsEach ||
        FLevels.KeyFields != byPlace || FLevels.Columns != AheadColumns())
        return false;
    return std::all_of(keys.begin(), keys.end(), [&](const std::string& key) {
        return !key.empty() &&
               std::any_of(levels.begin(), levels.end(),
                           [&](const TAheadLevel& level) { return level.Key == key; });
    });
}

// One statement: for each key in turn, the records of its range, each joined to the first rows of
// its own range, as ReadAhead reads one such range. Each key's part is kept apart and becomes what
// a look-ahead over that range has read, when it is announced while nothing was written.
void TTable::ReadLevelsAhead(const std::string& rangeFields, const std::string& keyFields,
                             int rowsEach, const std::vector<Variant>& keys) {
    // Levels read with the chain of ancestors just before may answer the announcement whole.
    std::vector<TAheadLevel> held = std::move(FLevels.Levels);
    FLevels.Levels.clear();
    uint64_t version = 0;
    std::vector<TField*> byPlace;
    if (!GetActive() || !FConnection || FLookAheadMode == laOff || rowsEach < 1 ||
        !FWritableIdentity || !FConnection->ReadsRangesAhead() || !ControlsDisabled() ||
        FLookAhead.Active || keys.empty() ||
        keys.size() > static_cast<std::size_t>(kMaxAncestors) || !DataVersion(version) ||
        !AheadFields(rangeFields, keyFields, byPlace))
        return;
    std::size_t n = byPlace.size();
    // The values each range takes, by the range field's place: those of the key field paired
    // with it, as a range applied with the key vector stores them.
    const std::vector<TField*> ranged = KeptFieldList(rangeFields);
    std::vector<std::vector<Variant>> values;
    for (const Variant& key : keys) {
        std::vector<Variant> parts(n);
        int32_t low = key.IsArray() ? VarArrayLowBound(key, 1) : 0;
        if (key.IsArray() && (VarArrayDimCount(key) != 1 ||
                              VarArrayHighBound(key, 1) - low + 1 != static_cast<int32_t>(n)))
            return;
        if (!key.IsArray() && n != 1) return;
        for (std::size_t i = 0; i < n; ++i) {
            Variant part = key.IsArray() ? VarArrayGet(key, {low + static_cast<int32_t>(i)}) : key;
            int at = IndexPosition(ranged[i]);
            try {
                parts[static_cast<std::size_t>(at)] = ranged[i]->ValueToStored(part);
            } catch (const EConvertError&) {
                return;
            }
            // A range of a Null key is read as usual.
            if (parts[static_cast<std::size_t>(at)].IsNull()) return;
        }
        values.push_back(std::move(parts));
    }
    std::vector<std::string> levelKeys(values.size());
    for (std::size_t level = 0; level < values.size(); ++level)
        for (std::size_t i = 0; i < n; ++i)
            if (!AppendKeyPart(levelKeys[level], values[level][i])) levelKeys[level].clear();
    if (LevelsHeld(held, version, rowsEach, byPlace, levelKeys)) {
        FLevels.Levels = std::move(held);
        return;
    }
    std::vector<int> columnFields = AheadColumns();
    std::string columns = NamingColumnList(columnFields);
    std::string match = AheadMatch(byPlace);
    std::string order = OrderBy(0, true);
    bool one = rowsEach == 1;
    std::string number = one ? "1" : "row_number() OVER (" + order.substr(1) + ")";
    TSqlText sql;
    std::string source;
    for (std::size_t level = 0; level < values.size(); ++level) {
        source += (level ? " UNION ALL " : "") + std::string("SELECT ") + std::to_string(level) +
                  " AS orvel_l, " + columns + " FROM " + FQuotedTable + " WHERE ";
        for (std::size_t i = 0; i < n; ++i) {
            source += (i ? " AND " : "") + Quote(FIndexFields[i]->FieldName()) + " = ?";
            sql.Params.emplace_back(values[level][i], FIndexFields[i]);
        }
    }
    sql.Add("SELECT s.*, c.* FROM (" + source + ") s LEFT JOIN LATERAL (SELECT " + columns + ", " +
            number + " AS orvel_n FROM " + FQuotedTable + " WHERE " + match + order + " LIMIT " +
            std::to_string(rowsEach) + ") c ON TRUE ORDER BY s.orvel_l, " + PrefixedOrder("s.") +
            (one ? "" : ", c.orvel_n"));
    TLevelsReading reading(*this, rowsEach, byPlace, columnFields, values.size());
    for (std::size_t level = 0; level < values.size(); ++level)
        reading.Levels[level].Key = std::move(levelKeys[level]);
    TSqlStatement& stmt = Statement(sql.Text);
    TResetGuard guard{stmt};
    BindAll(stmt, sql);
    int width = AheadRowWidth(columnFields);
    int sourceAt = 1, rowAt = sourceAt + width, numberAt = rowAt + width;
    while (stmt.Step())
        reading.Take(stmt, static_cast<std::size_t>(stmt.ColumnInt64(0)), sourceAt, rowAt,
                     numberAt);
    FLevels.Levels = std::move(reading.Finish());
    FLevels.Version = version;
    FLevels.RowsEach = rowsEach;
    FLevels.KeyFields = std::move(byPlace);
    FLevels.Columns = std::move(columnFields);
}

// What ReadLevelsAhead read for the announced source range, when it was read for the same
// announcement at the data version of now: taken instead of reading.
bool TTable::AdoptLevel() {
    uint64_t version = 0;
    if (FLevels.Levels.empty() || !DataVersion(version) || version != FLevels.Version ||
        FLevels.RowsEach != FLookAhead.RowsEach || FLevels.KeyFields != FLookAhead.KeyFields ||
        FLevels.Columns != FLookAhead.Columns)
        return false;
    const TKeyBuffer& start = FLookAhead.SourceStart;
    std::size_t n = FLookAhead.KeyFields.size();
    if (!FLookAhead.SourceApplied || start.FieldCount != static_cast<int>(n) ||
        !SameKey(start, FLookAhead.SourceEnd))
        return false;
    std::string key;
    for (std::size_t i = 0; i < n; ++i)
        if (!AppendKeyPart(key, start.Values[static_cast<std::size_t>(FIndexFields[i]->FieldNo())]))
            return false;
    for (TAheadLevel& level : FLevels.Levels) {
        if (level.Key != key) continue;
        SwapAheadRows(level);
        level.Key.clear(); // taken: its storage is the look-ahead's old one
        FLookAhead.Read = true;
        return true;
    }
    return false;
}

// The statement that reads the record the scan began on (its rows marked 1, in the look-ahead's
// columns), once per scan, unless it was read in this scan already; false when there is none.
bool TTable::AddScanStart(TSqlText& sql) {
    if (!FScanStartHeld) return false;
    int64_t handle = FScanStart;
    FScanStartHeld = false;
    if (FScanStartAtTop) {
        sql.Add("SELECT " + FLookAhead.ColumnList + " FROM " + FQuotedTable + OrderBy(0, true) +
                " LIMIT " + std::to_string(kTableStartRows));
        return true;
    }
    if (FindSingle([handle](const TRecordData& kept) { return kept.RowId == handle; }))
        return false;
    sql.Add("SELECT " + FLookAhead.ColumnList + " FROM " + FQuotedTable + " WHERE ");
    return AddIdentityCondition(sql, handle);
}

// ---- ancestors read ahead -----------------------------------------------------------------------

const TRecordData* TTable::KeptRecordOfKey(const std::vector<TField*>& fields,
                                           const std::vector<Variant>& values) const {
    if (FKeyFields.empty() || fields.size() != FKeyFields.size() || !ControlsDisabled())
        return nullptr;
    std::vector<Variant> stored(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (std::find(FKeyFields.begin(), FKeyFields.end(), fields[i]) == FKeyFields.end())
            return nullptr;
        try {
            stored[i] = fields[i]->ValueToStored(values[i]);
        } catch (const EConvertError&) {
            return nullptr;
        }
        // Only a value equal byte for byte is surely the engine's match: other texts are left
        // to the engine's own comparison.
        if (stored[i].IsNull()) return nullptr;
    }
    return FindSingle([&](const TRecordData& record) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            std::size_t no = static_cast<std::size_t>(fields[i]->FieldNo());
            if (no >= record.Values.size() || !SameStored(record.Values[no], stored[i]))
                return false;
        }
        return true;
    });
}

// One statement: the record of the key, then its parent, and so on up (a chain coming back to a
// record it holds, or longer than any tree is deep, is cut). Each record is kept as if read alone.
// With levelRowsEach, the same statement reads the level of each record of the chain (ClimbLevels),
// its rows marked 1 after the chain's, marked 0. A climb read already with the move that began
// this scan (LocateWithClimb) is not read again.
void TTable::ReadAncestorsAhead(const std::string& keyFields, const std::string& parentFields,
                                const Variant& key, int levelRowsEach) {
    uint64_t version = 0;
    TClimbStart start;
    if (!ControlsDisabled() || !DataVersion(version) ||
        !ClimbStartOf(keyFields, parentFields, key, start))
        return;
    if (ClimbAdopted(start, levelRowsEach, version)) return;
    TClimbRead read;
    ReadClimb(start, levelRowsEach, read);
    KeepClimb(read, version);
}

// The climb's key fields, parent fields and stored key, when the engine can read it in one
// statement; false when it cannot, or the key does not fit the fields.
bool TTable::ClimbStartOf(const std::string& keyFields, const std::string& parentFields,
                          const Variant& key, TClimbStart& out) const {
    if (!GetActive() || !FConnection || FLookAheadMode == laOff || FKeyFields.empty() ||
        !FConnection->ReadsRangesAhead() || FRangeApplied)
        return false;
    out.KeyFields = keyFields;
    out.ParentFields = parentFields;
    out.Keys = KeptFieldList(keyFields);
    out.Parents = KeptFieldList(parentFields);
    std::size_t n = out.Keys.size();
    if (n == 0 || n != FKeyFields.size() || out.Parents.size() != n) return false;
    std::vector<Variant> values;
    if (n == 1) {
        values.push_back(key.IsArray() ? VarArrayGet(key, {VarArrayLowBound(key, 1)}) : key);
    } else {
        if (!key.IsArray() || VarArrayDimCount(key) != 1) return false;
        int32_t low = VarArrayLowBound(key, 1);
        if (VarArrayHighBound(key, 1) - low + 1 != static_cast<int32_t>(n)) return false;
        for (std::size_t i = 0; i < n; ++i)
            values.push_back(VarArrayGet(key, {low + static_cast<int32_t>(i)}));
    }
    for (std::size_t i = 0; i < n; ++i) {
        const TField* k = out.Keys[i];
        if (std::find(FKeyFields.begin(), FKeyFields.end(), k) == FKeyFields.end() ||
            k->DataType() != out.Parents[i]->DataType() || k->IsBlob())
            return false;
        try {
            out.Stored.push_back(k->ValueToStored(values[i]));
        } catch (const EConvertError&) {
            return false;
        }
        if (out.Stored.back().IsNull()) return false;
    }
    return true;
}

void TTable::ReadClimb(const TClimbStart& start, int levelRowsEach, TClimbRead& out) {
    TSqlText sql;
    std::string names, first, join;
    int columns = 1 + FieldCount();
    for (int i = 0; i < columns; ++i)
        names += "orvel_c" + std::to_string(i) + ", ";
    for (std::size_t i = 0; i < start.Keys.size(); ++i) {
        std::string name = Quote(start.Keys[i]->FieldName());
        join += (i ? " AND " : "") + name + " = u.orvel_c" +
                std::to_string(1 + start.Parents[i]->FieldNo());
        sql.Params.emplace_back(start.Stored[i], start.Keys[i]);
        first += (i ? " AND " : "") + name + " = ?";
    }
    // Written as a query of the climb's rows: a statement not starting with SELECT is taken by
    // the engine for a write, which would outdate what this one reads, and all read before it.
    sql.Add("SELECT * FROM (WITH RECURSIVE orvel_up(" + names + "orvel_depth) AS (SELECT " +
            FColumnList + ", 1 FROM " + FQuotedTable + " WHERE " + first + " UNION ALL SELECT " +
            FColumnList + ", u.orvel_depth + 1 FROM " + FQuotedTable + " JOIN orvel_up u ON " +
            join + " WHERE u.orvel_depth < " + std::to_string(kMaxAncestors) + ") ");
    // The levels are read when they can be served as ReadLevelsAhead would read them.
    std::vector<TField*> byPlace;
    bool levels = levelRowsEach > 0 && FWritableIdentity && !FLookAhead.Active &&
                  AheadFields(start.ParentFields, start.KeyFields, byPlace);
    std::vector<int> aheadColumns;
    std::string levelsText;
    if (levels) {
        aheadColumns = AheadColumns();
        levelsText = ClimbLevels(byPlace, aheadColumns, levelRowsEach);
        levels = !levelsText.empty();
    }
    if (!levels) aheadColumns.clear();
    sql.Add(levels ? levelsText : "SELECT * FROM orvel_up) q ORDER BY orvel_depth");
    std::optional<TLevelsReading> reading;
    if (levels)
        reading.emplace(*this, levelRowsEach, byPlace, aheadColumns,
                        static_cast<std::size_t>(kMaxAncestors));
    TSqlStatement& stmt = Statement(sql.Text);
    TResetGuard guard{stmt};
    BindAll(stmt, sql);
    int recordAt = levels ? 3 : 0;
    int width = AheadRowWidth(aheadColumns);
    int sourceAt = recordAt + columns + 1, rowAt = sourceAt + width + 1, numberAt = rowAt + width;
    TRecordData record;
    std::unordered_set<int64_t> seen;
    // The depth from which the chain came back to itself: its levels are not served.
    std::size_t cut = SIZE_MAX;
    while (stmt.Step()) {
        std::size_t depth = levels ? static_cast<std::size_t>(stmt.ColumnInt64(1)) : 0;
        if (levels && stmt.ColumnInt64(0) == 1) {
            reading->Take(stmt, depth - 1, sourceAt, rowAt, numberAt);
            continue;
        }
        if (cut != SIZE_MAX) continue;
        ReadRow(stmt, record, recordAt);
        if (!seen.insert(record.RowId).second) {
            if (!levels) break;
            cut = depth - 1;
            continue;
        }
        out.Chain.push_back(record);
        // The level of a record is the range of its parent reference as read.
        if (!levels || depth < 1 || depth > reading->Levels.size()) continue;
        std::string& levelKey = reading->Levels[depth - 1].Key;
        for (std::size_t i = 0; i < byPlace.size(); ++i)
            if (!AppendKeyPart(
                    levelKey,
                    record.Values[static_cast<std::size_t>(FIndexFields[i]->FieldNo())])) {
                levelKey.clear();
                break;
            }
    }
    if (!levels) return;
    std::vector<TAheadLevel>& read = reading->Finish();
    for (std::size_t i = 0; i < read.size(); ++i)
        if (i >= cut || read[i].SourceCount > kClimbLevelRows) read[i].Key.clear();
    out.HasLevels = true;
    out.Levels.Levels = std::move(read);
    out.Levels.RowsEach = levelRowsEach;
    out.Levels.KeyFields = std::move(byPlace);
    out.Levels.Columns = std::move(aheadColumns);
}

// What a climb read serves the scan at version: its records, as if each had been read alone, and
// its levels, as ReadLevelsAhead would have read them.
void TTable::KeepClimb(TClimbRead& read, uint64_t version) {
    for (const TRecordData& record : read.Chain)
        KeepSingle(record);
    if (!read.HasLevels) return;
    FLevels = std::move(read.Levels);
    FLevels.Version = version;
    read.HasLevels = false;
}

// ---- a climb read with the move ----------------------------------------------------------------

// An exact Locate by the primary key of a record that a link will climb from as soon as it hears
// of the move (a tree revealing the current record): where the engine reads ranges ahead, the
// record is read with its climb in one statement instead of two, and the climb is held for the
// scans that begin while the move is announced. found tells whether the record is there; false
// when the Locate is left to read as usual.
bool TTable::LocateWithClimb(const std::vector<TField*>& fields, const std::vector<Variant>& values,
                             TRecordData& out, bool& found) {
    uint64_t version = 0;
    TMoveClimb climb;
    TClimbStart start;
    // The links are asked only where the engine reads ahead.
    if (ControlsDisabled() || !FConnection || !FConnection->ReadsRangesAhead() ||
        FLookAheadMode == laOff || !DataVersion(version) ||
        !LinkClimbAfterLocate(fields, values, climb) ||
        !ClimbStartOf(climb.KeyFields, climb.ParentFields, climb.Key, start) ||
        !StartsAtLocated(start, fields, values))
        return false;
    TClimbRead read;
    ReadClimb(start, climb.LevelRowsEach, read);
    found = !read.Chain.empty();
    if (found) out = read.Chain.front();
    FMoveClimb.Held = true;
    FMoveClimb.Version = version;
    FMoveClimb.Start = std::move(start);
    FMoveClimb.RowsEach = climb.LevelRowsEach;
    FMoveClimb.Read = std::move(read);
    return true;
}

// Whether the climb starts at the record a Locate of fields and values finds: the same key
// fields, each located by the value the climb starts from.
bool TTable::StartsAtLocated(const TClimbStart& start, const std::vector<TField*>& fields,
                             const std::vector<Variant>& values) const {
    if (fields.size() != start.Keys.size()) return false;
    for (std::size_t i = 0; i < start.Keys.size(); ++i) {
        auto at = std::find(fields.begin(), fields.end(), start.Keys[i]);
        if (at == fields.end()) return false;
        Variant stored;
        try {
            stored = (*at)->ValueToStored(values[static_cast<std::size_t>(at - fields.begin())]);
        } catch (const EConvertError&) {
            return false;
        }
        if (!SameStored(stored, start.Stored[i])) return false;
    }
    return true;
}

// A scan begins while the move the climb was read with is announced: it takes the climb as read
// by itself, unless something was written since (before, the data version before the scan).
void TTable::AdoptMoveClimb(uint64_t before) {
    uint64_t version = 0;
    if (!FMoveClimb.Held || before != FMoveClimb.Version || !DataVersion(version)) return;
    FMoveClimb.Held = false;
    KeepClimb(FMoveClimb.Read, version);
    FClimbAdopted.Held = true;
    FClimbAdopted.Version = version;
    FClimbAdopted.Start = std::move(FMoveClimb.Start);
    FClimbAdopted.RowsEach = FMoveClimb.RowsEach;
}

// Whether this scan holds the climb of start already, read with the move.
bool TTable::ClimbAdopted(const TClimbStart& start, int rowsEach, uint64_t version) const {
    const TClimbStart& held = FClimbAdopted.Start;
    if (!FClimbAdopted.Held || FClimbAdopted.Version != version ||
        FClimbAdopted.RowsEach != rowsEach || held.Keys != start.Keys ||
        held.Parents != start.Parents || held.Stored.size() != start.Stored.size())
        return false;
    for (std::size_t i = 0; i < held.Stored.size(); ++i)
        if (!SameStored(held.Stored[i], start.Stored[i])) return false;
    return true;
}

void TTable::LocateEnded() noexcept {
    FMoveClimb.Held = false;
    FMoveClimb.Read.Chain.clear();
    FMoveClimb.Read.Levels.Levels.clear();
    FMoveClimb.Read.HasLevels = false;
}

// The rest of the climb's statement when it reads the levels as well: the chain's records (marked
// 0, with their depth), then the level of each (marked 1, with the depth of its record): the
// records of the range of the record's parent reference in the index order, at most
// kClimbLevelRows + 1 of them, each joined to the first rows of its own range as ReadAhead joins
// them. Each row is the chain's record columns or the level's; the others are Null. The rows come
// ordered by their mark, their depth, then the index order of the level's records, sorted once:
// the output columns of the order fields are named by number, as the level's records and their
// first rows both hold them. Empty when a row does not hold an order field.
std::string TTable::ClimbLevels(const std::vector<TField*>& byPlace,
                                const std::vector<int>& columns, int rowsEach) const {
    std::string list = NamingColumnList(columns);
    std::string order = OrderBy(0, true);
    bool one = rowsEach == 1;
    std::string number = one ? "1" : "row_number() OVER (" + order.substr(1) + ")";
    auto nulls = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += ", NULL";
        return text;
    };
    int width = AheadRowWidth(columns);
    // Output columns from 1: the mark, the depth, a spare, the chain's record and its depth.
    int sourceAt = 4 + FieldCount() + 2;
    std::string byColumn = " ORDER BY 1, 2";
    for (const TField* f : FOrderFields) {
        int place = AheadColumnPlace(columns, f->FieldNo());
        if (place < 0) return "";
        std::size_t no = static_cast<std::size_t>(f->FieldNo());
        bool nullable = no >= FNullable.size() || FNullable[no];
        byColumn +=
            ", " + Connection().OrderTerm(std::to_string(sourceAt + place), false, nullable);
    }
    if (FRowIdKeyed) byColumn += ", " + std::to_string(sourceAt);
    if (!one) byColumn += ", " + std::to_string(sourceAt + 2 * width + 1);
    std::string range;
    for (std::size_t i = 0; i < byPlace.size(); ++i) {
        const TField* f = FIndexFields[i];
        range += (i ? " AND " : "") + Quote(f->FieldName()) + " = u.orvel_c" +
                 std::to_string(1 + f->FieldNo());
    }
    return "SELECT 0 AS orvel_k, u.orvel_depth AS orvel_d, NULL AS orvel_p, u.*" +
           nulls(2 * width + 2) + " FROM orvel_up u UNION ALL SELECT 1, s.orvel_l, NULL" +
           nulls(FieldCount() + 2) + ", s.*, c.* FROM (SELECT l.*, u.orvel_depth AS orvel_l FROM " +
           "orvel_up u CROSS JOIN LATERAL (SELECT " + list + " FROM " + FQuotedTable + " WHERE " +
           range + order + " LIMIT " + std::to_string(kClimbLevelRows + 1) +
           ") l) s LEFT JOIN LATERAL (SELECT " + list + ", " + number + " AS orvel_n FROM " +
           FQuotedTable + " WHERE " + AheadMatch(byPlace) + order + " LIMIT " +
           std::to_string(rowsEach) + ") c ON TRUE) q" + byColumn;
}

// Where field no stands in a look-ahead row of columns (NamingColumnList), from 0; -1 when the row
// does not hold it.
int TTable::AheadColumnPlace(const std::vector<int>& columns, int no) const {
    if (FRowIdKeyed && no == FRowIdAliasField) return 0;
    int place = FRowIdKeyed ? 1 : 0;
    for (int c : columns) {
        if (c == no) return place;
        if (!FRowIdKeyed || c != FRowIdAliasField) ++place;
    }
    return -1;
}

void TTable::CancelRange() {
    CheckActive();
    if (!FRangeApplied) {
        if (State() == dsSetKey) CheckBrowseMode();
        return;
    }
    MoveWith([this] {
        FRangeApplied = false;
        ChangeCursorScope(0);
        return 2;
    });
}

void TTable::ApplyEqualRange(const std::string& fieldNames, const Variant& values, int count,
                             int firstReads) {
    CheckActive();
    CheckBrowseMode();
    TKeyBuffer& start = FKeyBuffers[static_cast<int>(TKeyIndex::kiRangeStart)];
    // Every value Null, in the buffer's own slots (a tree applies a range per record it reads).
    start.Values.resize(static_cast<std::size_t>(FieldCount()), Variant::Null());
    for (Variant& v : start.Values)
        if (!v.IsNull()) v = Variant::Null();
    start.FieldCount = 0;
    start.Modified = false;
    FKeyEntry = TKeyIndex::kiRangeStart;
    auto write = [&](TField* field, const Variant& value) {
        KeyFieldWritten(field); // only index fields take part in a range
        Variant stored = field->ValueToStored(value);
        start.Values[static_cast<std::size_t>(field->FieldNo())] = std::move(stored);
    };
    if (fieldNames.find(';') == std::string::npos) {
        write(FieldByName(Trim(fieldNames)), values);
    } else {
        // A copy: the kept list lasts only until another list is parsed. The usual few fields
        // are copied on the stack; a single one (a tree's parent link) needs no copy: nothing
        // is parsed before it is written.
        const std::vector<TField*>& kept = KeptFieldList(fieldNames);
        if (kept.size() == 1) {
            write(kept[0], values[VarArrayLowBound(values, 1)]);
        } else {
            std::array<TField*, 8> few{};
            std::vector<TField*> many;
            TField* const* fields = few.data();
            if (kept.size() <= few.size()) {
                std::copy(kept.begin(), kept.end(), few.begin());
            } else {
                many = kept;
                fields = many.data();
            }
            const std::size_t n = kept.size();
            int32_t low = n == 0 ? 0 : VarArrayLowBound(values, 1);
            for (std::size_t i = 0; i < n; ++i)
                write(fields[i], values[low + static_cast<int32_t>(i)]);
        }
    }
    start.FieldCount = count;
    CopyKey(FKeyBuffers[static_cast<int>(TKeyIndex::kiRangeEnd)], start);
    FKeyEntry = TKeyIndex::kiRangeEnd;
    // The expectation holds for this range only, whether it is applied or fails.
    struct TFirstReads {
        int& Reads;
        ~TFirstReads() { Reads = 0; }
    } reads{FRangeFirstReads};
    FRangeFirstReads = firstReads;
    ApplyRangeKeys(true);
}

void TTable::SetRange(const std::vector<Variant>& startValues,
                      const std::vector<Variant>& endValues) {
    auto enter = [this](const std::vector<Variant>& values) {
        for (std::size_t i = 0; i < values.size() && i < FIndexFields.size(); ++i)
            FIndexFields[i]->SetValue(values[i]);
    };
    SetRangeStart();
    enter(startValues);
    SetRangeEnd();
    enter(endValues);
    ApplyRange();
}

// ---- bulk reads ---------------------------------------------------------------------------------

namespace {

// A row of a bulk read's statement: a field's value is read from its column when asked for.
class TStatementRecordView : public TRecordView {
public:
    TStatementRecordView(const TDataSet* dataSet, const TSqlStatement& stmt,
                         const std::vector<int>& columns)
        : TRecordView(dataSet), FStmt(stmt), FColumns(columns) {}
    int64_t Handle() const override { return FHandle; }
    void SetHandle(int64_t handle) { FHandle = handle; }
    void Stored(int fieldNo, Variant& out) const override {
        int column = ColumnOf(fieldNo);
        if (column < 0)
            out = Variant::Null();
        else
            ReadColumn(FStmt, column, out);
    }
    bool StoredText(int fieldNo, std::string_view& out) const override {
        int column = ColumnOf(fieldNo);
        if (column < 0) return false;
        switch (FStmt.ColumnType(column)) {
        case TSqlType::Text:
            out = FStmt.ColumnText(column);
            return true;
        case TSqlType::Blob:
            out = FStmt.ColumnBlob(column);
            return true;
        default:
            return false;
        }
    }

    // The cell as ReadColumn would make its Variant.
    bool StoredCell(int fieldNo, TStoredCell& out) const override {
        int column = ColumnOf(fieldNo);
        if (column < 0) {
            out.Kind = TStoredCell::TKind::Null;
            return true;
        }
        TSqlCell cell;
        FStmt.ReadCell(column, cell);
        switch (cell.Type) {
        case TSqlType::Null:
            out.Kind = TStoredCell::TKind::Null;
            break;
        case TSqlType::Integer:
            out.Kind = TStoredCell::TKind::Integer;
            out.Integer = cell.Integer;
            break;
        case TSqlType::Float:
            out.Kind = TStoredCell::TKind::Float;
            out.Float = cell.Float;
            break;
        case TSqlType::Text:
            out.Kind = TStoredCell::TKind::Text;
            out.Text = cell.Text;
            break;
        case TSqlType::Blob:
            out.Kind = TStoredCell::TKind::Blob;
            out.Text = cell.Text;
            break;
        }
        return true;
    }

private:
    int ColumnOf(int fieldNo) const {
        return fieldNo >= 0 && fieldNo < static_cast<int>(FColumns.size())
                   ? FColumns[static_cast<std::size_t>(fieldNo)]
                   : -1;
    }

    const TSqlStatement& FStmt;
    const std::vector<int>& FColumns; // by field number: the column, -1 when not read
    int64_t FHandle = 0;
};

} // namespace

// One statement reads the whole range in order, the columns asked for and those naming each
// record; its rows are handed over as the engine steps to them.
void TTable::VisitRecords(const std::vector<int>& fieldNos, const TRecordVisitor& visit) {
    std::vector<int> fields = fieldNos;
    if (!FRowIdKeyed) fields.insert(fields.end(), FKeyFieldNos.begin(), FKeyFieldNos.end());
    std::sort(fields.begin(), fields.end());
    fields.erase(std::unique(fields.begin(), fields.end()), fields.end());
    TSqlText sql;
    sql.Add("SELECT " + NamingColumnList(fields) + " FROM " + FQuotedTable);
    if (FRangeApplied) {
        sql.Add(" WHERE ");
        AddRangeCondition(sql);
    }
    sql.Add(OrderBy(0, true));
    // A read nested in another one's visit has a statement of its own.
    std::unique_ptr<TSqlStatement> own;
    if (FVisiting) own = Connection().Prepare(sql.Text);
    TSqlStatement& stmt = own ? *own : Statement(sql.Text);
    // The columns as NamingColumnList lays them out: the row id first where it names the records
    // (a field that is the row id read from it), then the fields.
    std::vector<int> columns(static_cast<std::size_t>(FieldCount()), -1);
    int column = FRowIdKeyed ? 1 : 0;
    for (int no : fields)
        columns[static_cast<std::size_t>(no)] = no == FRowIdAliasField ? 0 : column++;
    std::vector<Variant> key(FRowIdKeyed ? 0 : static_cast<std::size_t>(FieldCount()));
    TStatementRecordView view(this, stmt, columns);
    bool outer = !FVisiting;
    FVisiting = true;
    // The table's first records, as a window holds them, answer the reader's move back to the
    // first record afterwards (see ServeTableStart).
    uint64_t version = 0;
    std::vector<TRecordData> start;
    bool keepStart = !FRangeApplied && FConnection && FConnection->ReadsRangesAhead() &&
                     ControlsDisabled() && DataVersion(version) &&
                     std::all_of(FOrderFields.begin(), FOrderFields.end(), [&](const TField* f) {
                         return columns[static_cast<std::size_t>(f->FieldNo())] >= 0;
                     });
    try {
        TResetGuard guard{stmt};
        BindAll(stmt, sql);
        // The reader works through the first rows while a server still sends the rest.
        stmt.StreamNextRun();
        while (stmt.Step()) {
            if (FRowIdKeyed) {
                view.SetHandle(stmt.ColumnInt64(0));
            } else {
                for (int no : FKeyFieldNos)
                    ReadColumn(stmt, columns[static_cast<std::size_t>(no)],
                               key[static_cast<std::size_t>(no)]);
                view.SetHandle(FIdentity->HandleOf(key, FKeyFieldNos));
            }
            if (keepStart && start.size() < kTableStartRows) {
                TRecordData& record = start.emplace_back();
                record.RowId = view.Handle();
                record.Values.resize(static_cast<std::size_t>(FieldCount()));
                for (int no : fields)
                    ReadColumn(stmt, columns[static_cast<std::size_t>(no)],
                               record.Values[static_cast<std::size_t>(no)]);
            }
            visit(view);
        }
    } catch (...) {
        if (outer) FVisiting = false;
        throw;
    }
    if (outer) FVisiting = false;
    uint64_t now = 0;
    if (keepStart && DataVersion(now) && now == version) {
        FTableStart.Complete = start.size() < kTableStartRows;
        FTableStart.Rows = std::move(start);
        FTableStart.Version = version;
    }
}

} // namespace orvel
