// The SQLite implementation of the engine interface.
#include "orvel/host/core/SysUtils.h"
#include "orvel/host/data/sql/SqlEngine.h"

#include <sqlite3.h>

#include <algorithm>

namespace orvel {

namespace {

class TSqliteConnection;

class TSqliteStatement : public TSqlStatement {
public:
    TSqliteStatement(TSqliteConnection& connection, sqlite3_stmt* stmt)
        : FConnection(connection), FStmt(stmt) {}
    ~TSqliteStatement() override { sqlite3_finalize(FStmt); }

    void BindNull(int index) override { Check(sqlite3_bind_null(FStmt, index + 1)); }
    void BindInt64(int index, int64_t value) override {
        Check(sqlite3_bind_int64(FStmt, index + 1, value));
    }
    void BindDouble(int index, double value) override {
        Check(sqlite3_bind_double(FStmt, index + 1, value));
    }
    void BindText(int index, std::string_view value) override {
        Check(sqlite3_bind_text64(FStmt, index + 1, value.data(), value.size(), SQLITE_TRANSIENT,
                                  SQLITE_UTF8));
    }
    void BindBlob(int index, std::string_view bytes) override {
        Check(sqlite3_bind_blob64(FStmt, index + 1, bytes.empty() ? "" : bytes.data(), bytes.size(),
                                  SQLITE_TRANSIENT));
    }
    int ParameterCount() const override { return sqlite3_bind_parameter_count(FStmt); }

    bool Step() override;
    void Reset() override { sqlite3_reset(FStmt); }

    int ColumnCount() const override { return sqlite3_column_count(FStmt); }
    std::string ColumnName(int index) const override {
        const char* name = sqlite3_column_name(FStmt, index);
        return name ? name : "";
    }
    std::string ColumnDeclaredType(int index) const override {
        const char* type = sqlite3_column_decltype(FStmt, index);
        return type ? type : "";
    }
    TSqlType ColumnType(int index) const override {
        switch (sqlite3_column_type(FStmt, index)) {
        case SQLITE_INTEGER:
            return TSqlType::Integer;
        case SQLITE_FLOAT:
            return TSqlType::Float;
        case SQLITE_TEXT:
            return TSqlType::Text;
        case SQLITE_BLOB:
            return TSqlType::Blob;
        default:
            return TSqlType::Null;
        }
    }
    int64_t ColumnInt64(int index) const override { return sqlite3_column_int64(FStmt, index); }
    double ColumnDouble(int index) const override { return sqlite3_column_double(FStmt, index); }
    std::string_view ColumnText(int index) const override {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(FStmt, index));
        return {text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(FStmt, index))};
    }
    std::string_view ColumnBlob(int index) const override {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(FStmt, index));
        return {bytes ? bytes : "", static_cast<std::size_t>(sqlite3_column_bytes(FStmt, index))};
    }
    // The column's value is found once (one pass through the connection's mutex); its readers
    // then take it as the column readers would. The statement is only ever stepped and read on
    // one thread at a time, so the value needs no protection of its own.
    void ReadCell(int index, TSqlCell& out) const override {
        sqlite3_value* value = sqlite3_column_value(FStmt, index);
        switch (sqlite3_value_type(value)) {
        case SQLITE_INTEGER:
            out.Type = TSqlType::Integer;
            out.Integer = sqlite3_value_int64(value);
            break;
        case SQLITE_FLOAT:
            out.Type = TSqlType::Float;
            out.Float = sqlite3_value_double(value);
            break;
        case SQLITE_TEXT: {
            out.Type = TSqlType::Text;
            const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
            out.Text = {text ? text : "", static_cast<std::size_t>(sqlite3_value_bytes(value))};
            break;
        }
        case SQLITE_BLOB: {
            out.Type = TSqlType::Blob;
            const auto* bytes = static_cast<const char*>(sqlite3_value_blob(value));
            out.Text = {bytes ? bytes : "", static_cast<std::size_t>(sqlite3_value_bytes(value))};
            break;
        }
        default:
            out.Type = TSqlType::Null;
            break;
        }
    }
    bool IsReadOnly() const override { return sqlite3_stmt_readonly(FStmt) != 0; }

private:
    void Check(int rc);

    TSqliteConnection& FConnection;
    sqlite3_stmt* FStmt;
};

class TSqliteConnection : public TSqlConnection {
public:
    explicit TSqliteConnection(const std::string& fileName) {
        Gate(TSqlCall::Open);
        int rc = sqlite3_open_v2(fileName.c_str(), &FDb,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI |
                                     SQLITE_OPEN_NOMUTEX,
                                 nullptr);
        if (rc != SQLITE_OK) {
            std::string message = FDb ? sqlite3_errmsg(FDb) : sqlite3_errstr(rc);
            sqlite3_close(FDb);
            FDb = nullptr;
            RaiseEngineError(message);
        }
        // A connection is used by one thread only (the user-interface thread), so the engine's
        // per-call locking (SQLITE_OPEN_NOMUTEX above) is left out.
        sqlite3_extended_result_codes(FDb, 0);
        sqlite3_busy_timeout(FDb, FBusyTimeout);
        // A DELETE without WHERE would otherwise empty the table without reporting the rows to the
        // update hook; ignoring the delete authorisation makes the engine delete row by row.
        sqlite3_set_authorizer(FDb, &Authorize, nullptr);
        sqlite3_update_hook(FDb, &UpdateHook, this);
    }
    ~TSqliteConnection() override {
        sqlite3_finalize(FHolder);
        sqlite3_finalize(FVersionReader);
        sqlite3_close_v2(FDb);
    }

    std::unique_ptr<TSqlStatement> Prepare(const std::string& sql) override {
        Gate(TSqlCall::Prepare);
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(FDb, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(stmt);
            RaiseEngineError(sqlite3_errmsg(FDb));
        }
        if (!stmt) RaiseEngineError("Empty SQL statement");
        return std::make_unique<TSqliteStatement>(*this, stmt);
    }

    void Execute(const std::string& sql) override {
        Gate(TSqlCall::Execute);
        ReleaseHold();
        char* error = nullptr;
        if (sqlite3_exec(FDb, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            std::string message = error ? error : sqlite3_errmsg(FDb);
            sqlite3_free(error);
            RaiseEngineError(message);
        }
    }

    int64_t LastInsertRowId() const override { return sqlite3_last_insert_rowid(FDb); }
    int64_t Changes() const override { return sqlite3_changes64(FDb); }
    std::string FileName() const override {
        const char* name = sqlite3_db_filename(FDb, "main");
        return name ? name : "";
    }

    bool TableExists(const std::string& table) override { return ObjectType(table) != ""; }
    bool IsView(const std::string& table) override { return ObjectType(table) == "view"; }
    std::vector<TSqlColumnInfo> TableColumns(const std::string& table) override;
    TSqlIdentity TableIdentity(const std::string& table) override;
    std::vector<std::string> TableNames() override;

    void SetRowChangeHook(TSqlRowChangeHook hook) override { FRowChangeHook = std::move(hook); }

    void SetBusyTimeout(int milliseconds) override {
        FBusyTimeout = std::max(0, milliseconds);
        sqlite3_busy_timeout(FDb, FBusyTimeout);
    }

    void BeginReadScan() override {
        if (FScanDepth++ > 0) return;
        // Read inside the scan's read transaction, the data version costs no lock of its own.
        if (!FHolding && !FHoldRefused) TakeHold();
        NoteOtherCommits();
    }
    uint64_t OtherCommits() const override { return FOtherCommits; }
    // A unary plus keeps the term from choosing an index and changes no value.
    std::string UnindexedColumn(const std::string& quotedName) const override {
        return "+" + quotedName;
    }
    void EndReadScan() override {
        if (FScanDepth == 0 || --FScanDepth > 0) return;
        ReleaseHold();
        FHoldRefused = false;
    }
    // Before a statement runs: a read during a scan keeps the read transaction, a write ends it.
    void BeforeStep(bool readOnly) {
        if (!readOnly)
            ReleaseHold();
        else if (FScanDepth > 0 && !FHolding && !FHoldRefused)
            TakeHold();
    }

    sqlite3* Db() const { return FDb; }

private:
    static int Authorize(void*, int action, const char*, const char*, const char*, const char*) {
        return action == SQLITE_DELETE ? SQLITE_IGNORE : SQLITE_OK;
    }
    static void UpdateHook(void* self, int op, const char*, const char* table,
                           sqlite3_int64 rowId) {
        auto* connection = static_cast<TSqliteConnection*>(self);
        if (!connection->FRowChangeHook) return;
        TSqlRowChange change = op == SQLITE_INSERT   ? TSqlRowChange::Insert
                               : op == SQLITE_DELETE ? TSqlRowChange::Delete
                                                     : TSqlRowChange::Update;
        connection->FRowChangeHook(change, table ? table : "", rowId);
    }
    std::string ObjectType(const std::string& table);
    bool Compiles(const std::string& sql) const;
    std::string ReachableRowIdName(const std::string& table,
                                   const std::vector<TSqlColumnInfo>& columns) const;

    // The read transaction of a scan is held by a statement of its own, stepped to its first row
    // and left there. Taking it never waits for a lock (nor counts as a call of the gate: it is
    // no work anybody asked for); when it cannot be had, the scan goes without it.
    void TakeHold() {
        // Inside a transaction of its own the connection keeps its locks anyway.
        if (!sqlite3_get_autocommit(FDb)) return;
        if (!FHolder && sqlite3_prepare_v2(FDb, "SELECT 1 FROM sqlite_schema", -1, &FHolder,
                                           nullptr) != SQLITE_OK) {
            sqlite3_finalize(FHolder);
            FHolder = nullptr;
            FHoldRefused = true;
            return;
        }
        sqlite3_busy_timeout(FDb, 0);
        int rc = sqlite3_step(FHolder);
        sqlite3_busy_timeout(FDb, FBusyTimeout);
        FHolding = rc == SQLITE_ROW;
        if (!FHolding) {
            sqlite3_reset(FHolder);
            FHoldRefused = true;
        }
    }
    // The update hook reports only this connection's writes; the database's data version
    // changes with every commit of another connection. A version that cannot be read counts as
    // changed, so no stale row is taken for a current one. Like the hold, this is not a call of
    // the gate.
    void NoteOtherCommits() {
        if (!FVersionReader && sqlite3_prepare_v2(FDb, "PRAGMA data_version", -1, &FVersionReader,
                                                  nullptr) != SQLITE_OK) {
            sqlite3_finalize(FVersionReader);
            FVersionReader = nullptr;
        }
        int64_t version = -1;
        if (FVersionReader) {
            sqlite3_busy_timeout(FDb, 0); // a locked database is not waited for here
            if (sqlite3_step(FVersionReader) == SQLITE_ROW)
                version = sqlite3_column_int64(FVersionReader, 0);
            sqlite3_reset(FVersionReader);
            sqlite3_busy_timeout(FDb, FBusyTimeout);
        }
        if (version < 0 || version != FDataVersion) ++FOtherCommits;
        FDataVersion = version;
    }
    void ReleaseHold() {
        if (!FHolding) return;
        sqlite3_reset(FHolder);
        FHolding = false;
    }

    int FBusyTimeout = 2000;
    sqlite3* FDb = nullptr;
    TSqlRowChangeHook FRowChangeHook;
    sqlite3_stmt* FHolder = nullptr;
    sqlite3_stmt* FVersionReader = nullptr;
    int64_t FDataVersion = -1;
    uint64_t FOtherCommits = 0;
    int FScanDepth = 0;
    bool FHolding = false;
    bool FHoldRefused = false;
};

bool TSqliteStatement::Step() {
    FConnection.Gate(TSqlCall::Step);
    FConnection.BeforeStep(sqlite3_stmt_readonly(FStmt) != 0);
    int rc = sqlite3_step(FStmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    std::string message = sqlite3_errmsg(FConnection.Db());
    sqlite3_reset(FStmt);
    RaiseEngineError(message);
}

void TSqliteStatement::Check(int rc) {
    if (rc != SQLITE_OK) RaiseEngineError(sqlite3_errmsg(FConnection.Db()));
}

std::string TSqliteConnection::ObjectType(const std::string& table) {
    auto stmt = Prepare("SELECT type FROM sqlite_master WHERE type IN ('table','view') AND "
                        "name = ? COLLATE NOCASE");
    stmt->BindText(0, table);
    if (!stmt->Step()) return "";
    return std::string(stmt->ColumnText(0));
}

std::vector<TSqlColumnInfo> TSqliteConnection::TableColumns(const std::string& table) {
    auto stmt = Prepare("PRAGMA table_info(" + QuoteName(table) + ")");
    std::vector<TSqlColumnInfo> columns;
    int keyColumns = 0;
    while (stmt->Step()) {
        TSqlColumnInfo info;
        info.Name = std::string(stmt->ColumnText(1));
        info.DeclaredType = std::string(stmt->ColumnText(2));
        info.NotNull = stmt->ColumnInt64(3) != 0;
        info.KeyOrder = static_cast<int>(stmt->ColumnInt64(5));
        info.PrimaryKey = info.KeyOrder != 0;
        if (info.PrimaryKey) ++keyColumns;
        columns.push_back(std::move(info));
    }
    // A table without row id (or a view) has no column standing for one.
    bool hasRowId = keyColumns == 1 && !ReachableRowIdName(table, columns).empty();
    for (TSqlColumnInfo& info : columns) {
        // Only a lone INTEGER PRIMARY KEY column of a table with row id stands for the row id.
        info.RowIdAlias = hasRowId && info.PrimaryKey && SameText(info.DeclaredType, "INTEGER");
        if (!info.RowIdAlias) continue;
        int autoinc = 0;
        if (sqlite3_table_column_metadata(FDb, nullptr, table.c_str(), info.Name.c_str(), nullptr,
                                          nullptr, nullptr, nullptr, &autoinc) == SQLITE_OK)
            info.AutoIncrement = autoinc != 0;
    }
    return columns;
}

// Whether the engine accepts the statement; asked of the engine directly (not a call of the gate):
// it answers a question about the schema, not work anybody asked for.
bool TSqliteConnection::Compiles(const std::string& sql) const {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(FDb, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
    sqlite3_finalize(stmt);
    return rc == SQLITE_OK;
}

// One of the engine's names for the row id that no user column has taken, when the table has a
// row id; else "".
std::string
TSqliteConnection::ReachableRowIdName(const std::string& table,
                                      const std::vector<TSqlColumnInfo>& columns) const {
    if (columns.empty()) return "";
    for (const char* name : {"rowid", "_rowid_", "oid"}) {
        bool taken = std::any_of(columns.begin(), columns.end(), [name](const TSqlColumnInfo& c) {
            return SameText(c.Name, name);
        });
        if (taken) continue;
        // A table declared without row id refuses the name.
        return Compiles("SELECT " + std::string(name) + " FROM " + QuoteName(table) + " LIMIT 0")
                   ? name
                   : "";
    }
    return "";
}

TSqlIdentity TSqliteConnection::TableIdentity(const std::string& table) {
    TSqlIdentity identity;
    if (IsView(table)) return identity;
    std::vector<TSqlColumnInfo> columns = TableColumns(table);
    std::string rowId = ReachableRowIdName(table, columns);
    std::vector<const TSqlColumnInfo*> key;
    for (const TSqlColumnInfo& column : columns) {
        if (column.RowIdAlias) {
            // The key column is the row id: its own name reaches it, whatever other columns hide.
            identity.RowIdName = column.Name;
            identity.ChangesReported = true;
            return identity;
        }
        if (column.PrimaryKey) key.push_back(&column);
    }
    std::sort(key.begin(), key.end(),
              [](const auto* a, const auto* b) { return a->KeyOrder < b->KeyOrder; });
    for (const TSqlColumnInfo* column : key)
        identity.KeyColumns.push_back(column->Name);
    identity.RowIdName = rowId;
    // The change hook reports the rows of tables that have a row id. One whose row id every
    // column name hides is taken for one without: nothing is then trusted to be reported.
    identity.ChangesReported = !rowId.empty();
    return identity;
}

std::vector<std::string> TSqliteConnection::TableNames() {
    auto stmt = Prepare("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                        "'sqlite_%' ORDER BY name");
    std::vector<std::string> names;
    while (stmt->Step())
        names.emplace_back(stmt->ColumnText(0));
    return names;
}

} // namespace

std::unique_ptr<TSqlConnection> OpenSqliteConnection(const std::string& fileName) {
    return std::make_unique<TSqliteConnection>(fileName);
}

} // namespace orvel
