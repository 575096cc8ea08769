// The one narrow interface between the datasets and an SQL engine: a connection that prepares
// and runs statements, and statements that bind parameters and step through rows. TDataSet and
// its descendants never see the engine itself, so another engine can be added beside SQLite.
//
// Every call into the engine passes one gate (TSqlConnection::Gate), which counts the calls and
// asks an optional fault hook whether this call should fail; tests use it to make the n-th call
// report a busy database, an I/O error or a constraint violation. Every engine failure, real or
// injected, is raised as EDatabaseError carrying the engine's message.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvel {

// The storage class of a value the engine hands back.
enum class TSqlType { Null, Integer, Float, Text, Blob };

// The kinds of engine call that pass the gate.
enum class TSqlCall { Open, Prepare, Step, Execute };

// An injected failure: the engine's result code (SQLite's numbering: 5 busy, 10 I/O error,
// 19 constraint) and the message the error carries.
struct TSqlFault {
    int Code = 1;
    std::string Message;
};

// Asked before every engine call with the kind of call and its number (counted from 1 over the
// life of the connection); answering a fault makes that call fail instead of running.
using TSqlFaultHook = std::function<std::optional<TSqlFault>(TSqlCall call, int64_t number)>;

// A row change made through a connection.
enum class TSqlRowChange { Insert, Update, Delete };
using TSqlRowChangeHook =
    std::function<void(TSqlRowChange change, std::string_view table, int64_t rowId)>;

struct TSqlColumnInfo {
    std::string Name;
    std::string DeclaredType; // as written in the table's definition ("" when none)
    bool NotNull = false;
    bool PrimaryKey = false;
    bool AutoIncrement = false; // an INTEGER PRIMARY KEY AUTOINCREMENT column
    bool RowIdAlias = false;    // the column is the table's row id (INTEGER PRIMARY KEY)
    int KeyOrder = 0;           // its place in the primary key, from 1 (0: not a key column)
    bool HasDefault = false;    // the engine fills it when an insert gives no value
};

// How the rows of a table (or view) are told apart. A row is identified by its primary key
// columns, or by the engine's row id where that is the key (a lone integer key standing for it,
// or no declared key at all). Neither: the rows have no usable identity (views, and tables whose
// row id every user column name hides).
struct TSqlIdentity {
    // The primary key columns in key order; empty when the row id is the key.
    std::vector<std::string> KeyColumns;
    // A name that reaches the engine's row id in SQL text, never one a user column has taken;
    // "" when the table has no row id or it cannot be reached.
    std::string RowIdName;
    // Row changes of this table surely reach the row-change hook (the engine does not report
    // those of tables without row id).
    bool ChangesReported = false;

    bool KeyedByRowId() const { return KeyColumns.empty() && !RowIdName.empty(); }
    bool Usable() const { return !KeyColumns.empty() || !RowIdName.empty(); }
};

class TSqlConnection;

// Quotes a name for use in SQL text ("name", with inner quotes doubled).
std::string QuoteName(const std::string& name);

// One column of a statement's current row: its class and its value, a text or blob as a view of
// the statement's bytes (valid until the statement steps, resets or reads that column again).
struct TSqlCell {
    TSqlType Type = TSqlType::Null;
    int64_t Integer = 0;
    double Float = 0;
    std::string_view Text;
};

// A prepared statement. Parameters and columns are numbered from 0. A statement keeps its
// engine resources until destroyed; Reset makes it ready to run again with new bindings.
class TSqlStatement {
public:
    virtual ~TSqlStatement() = default;

    virtual void BindNull(int index) = 0;
    virtual void BindInt64(int index, int64_t value) = 0;
    virtual void BindDouble(int index, double value) = 0;
    virtual void BindText(int index, std::string_view value) = 0;
    virtual void BindBlob(int index, std::string_view bytes) = 0;
    virtual int ParameterCount() const = 0;

    // Runs to the next row: true when a row is available, false when done.
    virtual bool Step() = 0;
    // Ends the current run (bindings stay).
    virtual void Reset() = 0;

    virtual int ColumnCount() const = 0;
    virtual std::string ColumnName(int index) const = 0;
    // The declared type of a result column that comes straight from a table column, else "".
    virtual std::string ColumnDeclaredType(int index) const = 0;
    virtual TSqlType ColumnType(int index) const = 0;
    virtual int64_t ColumnInt64(int index) const = 0;
    virtual double ColumnDouble(int index) const = 0;
    virtual std::string_view ColumnText(int index) const = 0;
    virtual std::string_view ColumnBlob(int index) const = 0;
    // ColumnType and the reader of that type in one: what those calls give, in one call where
    // the engine can read it so.
    virtual void ReadCell(int index, TSqlCell& out) const;
    // True for statements that do not change the database.
    virtual bool IsReadOnly() const = 0;
    // Asks that the rows of the next run be handed to Step as the engine sends them, not once
    // all have come: a server's reader then works through the first rows while the server still
    // produces the rest. Other statements may run meanwhile; the rows still to come are then
    // read first. An engine whose rows come one by one anyway ignores it.
    virtual void StreamNextRun() {}
};

class TSqlConnection {
public:
    virtual ~TSqlConnection() = default;

    virtual std::unique_ptr<TSqlStatement> Prepare(const std::string& sql) = 0;
    // Runs one or more statements that give no rows.
    virtual void Execute(const std::string& sql) = 0;
    virtual int64_t LastInsertRowId() const = 0;
    // Rows changed by the last INSERT, UPDATE or DELETE.
    virtual int64_t Changes() const = 0;
    // The file the connection works on, "" for an in-memory database.
    virtual std::string FileName() const = 0;

    virtual bool TableExists(const std::string& table) = 0;
    virtual bool IsView(const std::string& table) = 0;
    virtual std::vector<TSqlColumnInfo> TableColumns(const std::string& table) = 0;
    // The identity columns of a table (see TSqlIdentity); a view has none.
    virtual TSqlIdentity TableIdentity(const std::string& table) = 0;
    virtual std::vector<std::string> TableNames() = 0;

    // Told of every row inserted, updated or deleted through this connection, including rows a
    // DELETE without WHERE removes.
    virtual void SetRowChangeHook(TSqlRowChangeHook hook) = 0;

    // Reading scans (calls nest): meanwhile the connection keeps one read transaction open
    // between its statements, so that the many small reads of a scan see one state of the
    // database and do not take and give back the file's lock each time. A write through the
    // connection ends that transaction first (the next read takes it again); a database that
    // another connection has locked is not waited for: the scan then reads as any reader does.
    virtual void BeginReadScan() {}
    virtual void EndReadScan() {}
    // The column written so that the engine compares it without looking for an index of its own
    // (the table's index has narrowed the rows already; an index led by this column would have the
    // engine walk it in order and test every row of the table).
    virtual std::string UnindexedColumn(const std::string& quotedName) const { return quotedName; }
    // Grows when the connection sees that other connections or processes have committed changes
    // (looked at as each outermost read scan begins): rows read before then may be stale.
    virtual uint64_t OtherCommits() const { return 0; }

    // How long a statement waits for a lock another connection holds before it fails as busy
    // (2 seconds unless set; an interactive program may want less).
    virtual void SetBusyTimeout(int milliseconds) { (void)milliseconds; }

    // ---- the engine's dialect (SQLite's unless an engine says otherwise) -----------------------
    // A table or column name, as the engine reported it, quoted for SQL text.
    virtual std::string QuoteIdentifier(const std::string& name) const { return QuoteName(name); }
    // Whether a column holds only values of its declared type, so that a value of another type
    // (text in an integer column) is an error to compare with rather than a value matching none.
    virtual bool StrictColumnTypes() const { return false; }
    // The operator that compares two values as equal when both are Null, spaces around it.
    virtual std::string NullSafeEquals() const { return " IS "; }
    // One term of ORDER BY that puts Null before every value going forward (after them going
    // backward), as windows expect; nullable is false for columns that never hold Null.
    virtual std::string OrderTerm(const std::string& column, bool descending, bool nullable) const {
        (void)nullable;
        return descending ? column + " DESC" : column;
    }
    // A condition that the text column equals the parameter without regard to case.
    virtual std::string EqualsIgnoringCase(const std::string& column,
                                           const std::string& parameter) const {
        return column + " = " + parameter + " COLLATE NOCASE";
    }
    // The LIKE operator that ignores case, spaces around it.
    virtual std::string LikeIgnoringCase() const { return " LIKE "; }
    // The table's name as the catalog spells it (the engine matches names without regard to case
    // where its own rules differ), "" when there is no such table or view.
    virtual std::string CatalogName(const std::string& table) {
        return TableExists(table) ? table : "";
    }
    // Whether INSERT ... RETURNING answers the inserted row's key (the way to learn a key the
    // engine made up when it has no row id to ask for).
    virtual bool InsertReturnsKey() const { return false; }
    // Whether many ranges' first rows are best read by one statement (a LATERAL join of the
    // range keys to their first rows): so for an engine a round trip away that has such joins.
    virtual bool ReadsRangesAhead() const { return false; }
    // Round trips to a server made so far (0 for an engine in the process).
    virtual int64_t RoundTrips() const { return 0; }
    // Runs reading statements, bound and not yet stepped, so that a server answers them all in
    // one round trip; their rows are then read with Step as usual. Where that cannot be done (an
    // engine in the process, a statement that writes, a transaction open, a failure) each runs at
    // its first Step, as it would have without this call.
    virtual void RunTogether(const std::vector<TSqlStatement*>& statements) { (void)statements; }

    void SetFaultHook(TSqlFaultHook hook) { FFaultHook = std::move(hook); }
    int64_t CallCount() const { return FCallCount; }

    // Counts one engine call and raises the injected fault, if any. Implementations call it
    // before every call into their engine.
    void Gate(TSqlCall call);

private:
    TSqlFaultHook FFaultHook;
    int64_t FCallCount = 0;
};

// Raises the host's database error with an engine's message.
[[noreturn]] void RaiseEngineError(const std::string& message);

// Opens (creating when missing) an SQLite database file, or ":memory:".
std::unique_ptr<TSqlConnection> OpenSqliteConnection(const std::string& fileName);

// Whether a database name is a PostgreSQL connection URI (postgresql:// or postgres://) or a
// key=value connection string rather than a file name.
bool IsPostgresName(const std::string& name);
// The name with any password in it replaced by "****", for every text a user or a log may see.
std::string MaskPassword(const std::string& name);
// Opens a PostgreSQL connection (URI or connection string; the PG* environment variables fill
// in what it leaves out).
std::unique_ptr<TSqlConnection> OpenPostgresConnection(const std::string& name);
// Opens the engine the database name chooses: PostgreSQL for a URI or connection string, else
// the SQLite file (or ":memory:").
std::unique_ptr<TSqlConnection> OpenSqlConnection(const std::string& name);

} // namespace orvel
