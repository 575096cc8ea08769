// The PostgreSQL implementation of the engine interface, over libpq: prepared statements whose
// whole result comes back in one round trip (windows are small: every read has a LIMIT), read in
// binary format once the statement's column types are known to be ones read exactly so, the
// dialect (null-safe comparison, Null ordering, case-insensitive matching, RETURNING), and the
// catalog queries behind the table's columns, key and kind.
#include "orvel/host/core/SysUtils.h"
#include "orvel/host/data/sql/PgValues.h"
#include "orvel/host/data/sql/SqlEngine.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <deque>
#include <limits>
#include <map>
#include <unordered_set>
#include <utility>

namespace orvel {

namespace {

using namespace pgvalues;

// The server folds names written without quotes to lower case, where the host (as SQL itself)
// reads them in upper case: such a name is shown in upper case, and quoted back in lower case.
// Names with capitals of their own (made with quotes) are shown and quoted as they are; the
// connection remembers those in capitals only ("SD"), which would otherwise be quoted back folded.
std::string PresentedName(std::string name) {
    if (std::any_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'Z'; }))
        return name;
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return name;
}

std::string CatalogSpelling(std::string name) {
    if (std::any_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
        return name;
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return name;
}

std::string TrimMessage(std::string message) {
    while (!message.empty() && std::isspace(static_cast<unsigned char>(message.back())))
        message.pop_back();
    return message;
}

bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Whether text ends with the keyword (as a word of its own, without regard to case).
bool EndsWithWord(const std::string& text, const char* word) {
    std::size_t n = std::char_traits<char>::length(word);
    if (text.size() < n) return false;
    std::size_t at = text.size() - n;
    for (std::size_t i = 0; i < n; ++i)
        if (std::toupper(static_cast<unsigned char>(text[at + i])) != word[i]) return false;
    return at == 0 || !IsWordChar(text[at - 1]);
}

void TrimRight(std::string& text) {
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
}

// Marks "x IS ?" in a translated text: the comparison is written when the value is known (see
// TPgStatement::Variant).
constexpr char kNullSafeMark = '\x01';

// The engine-neutral "?" placeholders as the server's $1, $2...; "x IS ?" (a comparison that
// holds for two Nulls) becomes a mark followed by the parameter's number. Quoted text, names and
// comments are left alone. count receives the number of placeholders.
std::string TranslatePlaceholders(const std::string& sql, int& count) {
    std::string out;
    out.reserve(sql.size() + 16);
    count = 0;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        char c = sql[i];
        if (c == '\'' || c == '"') {
            std::size_t end = i + 1;
            while (end < sql.size()) {
                if (sql[end] == c && !(end + 1 < sql.size() && sql[end + 1] == c)) break;
                end += sql[end] == c ? 2 : 1;
            }
            out.append(sql, i, end + 1 - i);
            i = end;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            std::size_t end = sql.find('\n', i);
            if (end == std::string::npos) end = sql.size() - 1;
            out.append(sql, i, end + 1 - i);
            i = end;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            std::size_t end = sql.find("*/", i + 2);
            end = end == std::string::npos ? sql.size() - 1 : end + 1;
            out.append(sql, i, end + 1 - i);
            i = end;
        } else if (c == '?') {
            std::string before = out;
            TrimRight(before);
            if (EndsWithWord(before, "NOT")) {
                std::string rest = before.substr(0, before.size() - 3);
                TrimRight(rest);
                if (EndsWithWord(rest, "IS")) out = rest + " DISTINCT FROM ";
            } else if (EndsWithWord(before, "IS")) {
                out = before.substr(0, before.size() - 2) + kNullSafeMark +
                      std::to_string(++count) + kNullSafeMark;
                continue;
            }
            out += "$" + std::to_string(++count);
        } else {
            out += c;
        }
    }
    return out;
}

// Whether a statement only reads (its first word).
bool ReadsOnly(const std::string& sql) {
    std::size_t i = 0;
    while (i < sql.size() && (std::isspace(static_cast<unsigned char>(sql[i])) || sql[i] == '('))
        ++i;
    std::string word;
    while (i < sql.size() && IsWordChar(sql[i]))
        word += static_cast<char>(std::toupper(static_cast<unsigned char>(sql[i++])));
    return word == "SELECT" || word == "VALUES" || word == "SHOW" || word == "EXPLAIN" ||
           word == "TABLE";
}

// bytea in the server's hex text form ("\x0a1b...") as bytes.
std::string DecodeBytea(std::string_view text) {
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return 0;
    };
    std::string out;
    if (text.size() >= 2 && text[0] == '\\' && text[1] == 'x') {
        out.reserve((text.size() - 2) / 2);
        for (std::size_t i = 2; i + 1 < text.size(); i += 2)
            out += static_cast<char>(nibble(text[i]) << 4 | nibble(text[i + 1]));
        return out;
    }
    // The older escape form: \\ for a backslash, \ooo for other bytes.
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else if (text[i] == '\\' && i + 3 < text.size()) {
            out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                     (text[i + 3] - '0'));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The declared type a column of a result has, in the names the datasets know.
std::string DeclaredTypeOf(Oid type, int modifier) {
    switch (type) {
    case kBool:
        return "BOOLEAN";
    case kBytea:
        return "BLOB";
    case kInt8:
        return "BIGINT";
    case kInt2:
        return "SMALLINT";
    case kInt4:
    case kOid:
        return "INTEGER";
    case kFloat4:
        return "REAL";
    case kFloat8:
        return "DOUBLE PRECISION";
    case kNumeric:
        return "NUMERIC";
    case kMoney:
        return "MONEY";
    case kDate:
        return "DATE";
    case kTime:
        return "TIME";
    case kTimestamp:
    case kTimestampTz:
        return "TIMESTAMP";
    case kVarChar:
        return modifier > 4 ? "VARCHAR(" + std::to_string(modifier - 4) + ")" : "VARCHAR";
    case kBpChar:
        return modifier > 4 ? "CHAR(" + std::to_string(modifier - 4) + ")" : "CHAR";
    default:
        return "TEXT";
    }
}

TSqlType StorageOf(Oid type) {
    switch (type) {
    case kBool:
    case kInt8:
    case kInt2:
    case kInt4:
    case kOid:
        return TSqlType::Integer;
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return TSqlType::Float;
    case kBytea:
        return TSqlType::Blob;
    default:
        return TSqlType::Text;
    }
}

struct TResultDeleter {
    void operator()(PGresult* result) const { PQclear(result); }
};
using TResult = std::unique_ptr<PGresult, TResultDeleter>;

// A table or view as the catalog knows it.
struct TRelation {
    int64_t Id = 0;
    std::string Name;
    char Kind = 'r';
};

class TPgConnection;

class TPgStatement final : public TSqlStatement {
public:
    TPgStatement(TPgConnection& connection, std::string sql, int parameters);
    ~TPgStatement() override;

    void BindNull(int index) override { Slot(index).Null = true; }
    void BindInt64(int index, int64_t value) override { SetText(index, std::to_string(value)); }
    void BindDouble(int index, double value) override {
        // Shortest exact form with a point, whatever the user's locale.
        char buffer[40];
        auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
        SetText(index, std::string(buffer, end));
    }
    void BindText(int index, std::string_view value) override {
        SetText(index, std::string(value));
    }
    void BindBlob(int index, std::string_view bytes) override {
        TParam& p = Slot(index);
        p.Null = false;
        p.Binary = true;
        p.Value.assign(bytes);
    }
    int ParameterCount() const override { return static_cast<int>(FParams.size()); }

    bool Step() override;
    void Reset() override {
        DropStream();
        FRows.reset();
        FTypes.clear();
        FRan = false;
        FRow = -1;
    }

    int ColumnCount() const override { return PQnfields(Shape()); }
    std::string ColumnName(int index) const override;
    std::string ColumnDeclaredType(int index) const override {
        return DeclaredTypeOf(PQftype(Shape(), index), PQfmod(Shape(), index));
    }
    TSqlType ColumnType(int index) const override {
        if (!HasValue(index) || PQgetisnull(FRows.get(), FRow, index)) return TSqlType::Null;
        return StorageOf(FTypes[static_cast<std::size_t>(index)]);
    }
    int64_t ColumnInt64(int index) const override {
        return HasValue(index) ? IntegerAt(index, FTypes[static_cast<std::size_t>(index)]) : 0;
    }
    double ColumnDouble(int index) const override {
        if (!HasValue(index)) return 0;
        Oid type = FTypes[static_cast<std::size_t>(index)];
        if (FBinaryRows) return BinaryDouble(type, Bytes(index));
        if (type == kBool) return PQgetvalue(FRows.get(), FRow, index)[0] == 't' ? 1 : 0;
        return TextDouble(Bytes(index));
    }
    std::string_view ColumnText(int index) const override {
        if (!HasValue(index)) return {};
        Oid type = FTypes[static_cast<std::size_t>(index)];
        if (!FBinaryRows || BinaryIsText(type)) return Bytes(index);
        FText = BinaryText(type, Bytes(index));
        return FText;
    }
    std::string_view ColumnBlob(int index) const override {
        if (!HasValue(index)) return {};
        Oid type = FTypes[static_cast<std::size_t>(index)];
        if (type != kBytea) return ColumnText(index);
        if (FBinaryRows) return Bytes(index);
        FText = DecodeBytea(Bytes(index));
        return FText;
    }
    // The Null flag, the type and the value looked up once: a look-ahead reads every cell of
    // thousands of rows, where the generic reader asks the result three times per cell. The
    // value's length comes first: only a value of no bytes can be Null, so the flag is asked of
    // those alone, and each column's storage class and form were worked out with the rows.
    void ReadCell(int index, TSqlCell& out) const override {
        if (!HasValue(index)) {
            out.Type = TSqlType::Null;
            return;
        }
        const PGresult* rows = FRows.get();
        int length = PQgetlength(rows, FRow, index);
        if (length == 0 && PQgetisnull(rows, FRow, index)) {
            out.Type = TSqlType::Null;
            return;
        }
        std::size_t column = static_cast<std::size_t>(index);
        const TColumnForm& form = FForms[column];
        std::string_view bytes(PQgetvalue(rows, FRow, index), static_cast<std::size_t>(length));
        out.Type = form.Storage;
        switch (out.Type) {
        case TSqlType::Null:
            break;
        case TSqlType::Integer:
            out.Integer = IntegerOf(FTypes[column], bytes);
            break;
        case TSqlType::Float:
            out.Float = ColumnDouble(index);
            break;
        case TSqlType::Text:
            if (form.TextAsSent) {
                out.Text = bytes;
            } else {
                FText = BinaryText(FTypes[column], bytes);
                out.Text = FText;
            }
            break;
        case TSqlType::Blob:
            out.Text = ColumnBlob(index);
            break;
        }
    }
    bool IsReadOnly() const override { return FReadOnly; }
    void StreamNextRun() override { FStreamWanted = true; }

    // ---- rows handed over as they come (StreamNextRun) ------------------------------------------
    // In libpq's single-row mode each row comes as a result of its own, read from the session
    // when Step reaches it. The session serves nothing else meanwhile: before it does, the
    // connection has the statement read what is still due (SettleStream), and Step goes on from
    // what was read.
    bool WantsStream() const { return FStreamWanted && FReadOnly; }
    // Takes the first result of the run just sent in single-row mode: a row (the rest are then
    // due on the session, and the pipeline's sync after them when the run ended one), the end of
    // no rows or the failure (the run, and the pipeline, are then over).
    TResult FirstStreamed(bool pipeline, PGTransactionStatusType before);
    // Reads every result still due into the statement, for Step to go on with.
    void SettleStream() { EndStream(true); }
    // Drops the rows still to come, reading them off the session.
    void DropStream();

    // ---- running in one pipeline with others (TPgConnection::RunTogether) ---------------------
    // Whether the statement may join a pipeline: it only reads and has not run since its reset.
    bool MayRunTogether() const { return FReadOnly && !FRan; }
    // Queues the run in the connection's pipeline, after its preparation when the session has not
    // prepared it; false when libpq would not queue it.
    bool SendRun();
    // Takes the results SendRun asked for from results[at] on; false when one failed or is
    // missing (the statement then runs on its own at its first Step).
    bool TakeRun(std::vector<TResult>& results, std::size_t& at);
    // The commands SendRun queued: the run, and its preparation where it was sent with it.
    int SentCommands() const { return FSentPrepare ? 2 : 1; }

private:
    // The bound parameters in the arrays libpq takes; they point into FParams.
    struct TParamArrays {
        std::vector<const char*> Values;
        std::vector<int> Lengths;
        std::vector<int> Formats;
    };
    TParamArrays ParamArrays() const;
    // The value of a column of the current row as an integer (the column exists).
    int64_t IntegerAt(int index, Oid type) const { return IntegerOf(type, Bytes(index)); }
    // A value of the rows' form as an integer. In text form bytes ends where the server's text
    // does (libpq ends it with a zero byte).
    int64_t IntegerOf(Oid type, std::string_view bytes) const {
        if (FBinaryRows) {
            // The common key and flag types decoded here, every other by the general reader
            // (which also rejects a value of the wrong size).
            if (type == kInt4 && bytes.size() == 4) {
                uint32_t raw = static_cast<uint32_t>(static_cast<unsigned char>(bytes[0])) << 24 |
                               static_cast<uint32_t>(static_cast<unsigned char>(bytes[1])) << 16 |
                               static_cast<uint32_t>(static_cast<unsigned char>(bytes[2])) << 8 |
                               static_cast<uint32_t>(static_cast<unsigned char>(bytes[3]));
                return static_cast<int32_t>(raw);
            }
            return BinaryInt64(type, bytes);
        }
        if (type == kBool) return !bytes.empty() && bytes[0] == 't' ? 1 : 0;
        return std::strtoll(bytes.data(), nullptr, 10);
    }
    struct TParam {
        bool Null = true;
        bool Binary = false;
        std::string Value;
    };
    TParam& Slot(int index) {
        if (index < 0 || index >= static_cast<int>(FParams.size()))
            RaiseEngineError("Parameter index out of range: " + std::to_string(index + 1));
        return FParams[static_cast<std::size_t>(index)];
    }
    void SetText(int index, std::string value) {
        TParam& p = Slot(index);
        p.Null = false;
        p.Binary = false;
        p.Value = std::move(value);
    }
    // Whether the current row has a column of that number.
    bool HasValue(int index) const {
        return FRows && FRow >= 0 && index >= 0 && index < static_cast<int>(FTypes.size());
    }
    std::string_view Bytes(int index) const {
        return {PQgetvalue(FRows.get(), FRow, index),
                static_cast<std::size_t>(PQgetlength(FRows.get(), FRow, index))};
    }
    // Takes the rows of a run, with their column types; false when they came in binary format
    // with a column whose type is not read from it (the caller runs the statement again in text).
    bool TakeRows(TResult rows, bool binary);
    // Whether the next run asks for its rows in binary format: the statement only reads, and the
    // types of its columns (told by an earlier run or the description) are all read exactly so.
    bool BinaryRun() const;
    // The result that tells the columns: the rows once run, else the statement's description.
    const PGresult* Shape() const;
    // False when the session turned out lost (and mayRetry): the caller opens it again and
    // retries.
    bool EnsurePrepared(bool mayRetry);
    // The outcome of PrepareAndRun.
    enum class TFirstRun { Done, Lost, NoPipeline };
    TFirstRun PrepareAndRun(const std::vector<const char*>& values, const std::vector<int>& lengths,
                            const std::vector<int>& formats, bool binary, bool mayRetry,
                            TResult& rows);
    void Run();
    // Runs the prepared statement in single-row mode: its first result (a row, the end of no
    // rows, or the failure), the rest left due when it is a row.
    TResult RunStreamed(const std::vector<const char*>& values, const std::vector<int>& lengths,
                        const std::vector<int>& formats, bool binary,
                        PGTransactionStatusType before);
    // Takes the next row of a stream into FRows: false at its end (FRows then holds the end);
    // raises the failure that ended it.
    bool NextStreamedRow();
    // Reads what is still due of the stream (its rows kept for Step when keep), its end and the
    // pipeline's sync, and leaves the pipeline.
    void EndStream(bool keep);
    bool KeepDue(TResult& result);

    // The text for the bindings: "x IS ?" as "x = $n" for a value and "x IS NULL" for Null, so
    // that an index serves it (the server's IS NOT DISTINCT FROM uses none). Each variant is
    // prepared once; mask has a bit per marked parameter bound to Null.
    void Variant();
    std::string TextFor(uint64_t mask) const;
    struct TVariant {
        std::string Name;
        uint64_t Generation = 0;
        bool Prepared = false;
    };

    TPgConnection& FConnection;
    std::string FTemplate;
    std::vector<int> FMarked; // parameters of the marks, in order
    std::map<uint64_t, TVariant> FVariants;
    uint64_t FMask = 0;
    std::string FSql;
    std::string FName;
    uint64_t FGeneration = 0;
    bool FPrepared = false;
    bool FReadOnly;
    std::vector<TParam> FParams;
    TResult FRows;
    std::vector<Oid> FTypes; // of the columns of FRows
    // How ReadCell takes each column of FRows: its storage class, and whether a text is used
    // as the server sent it (text form, or a binary form that is the text).
    struct TColumnForm {
        TSqlType Storage = TSqlType::Text;
        bool TextAsSent = true;
    };
    std::vector<TColumnForm> FForms;
    bool FBinaryRows = false;
    // The column types of the statement's results, once known (empty before).
    mutable std::vector<Oid> FResultTypes;
    mutable TResult FDescription;
    int FRow = -1;
    bool FRan = false;
    mutable std::string FText;  // a value converted for ColumnText or ColumnBlob
    bool FStreamWanted = false; // the next run hands its rows over as they come
    bool FStreamRows = false;   // this run's rows come a result each
    bool FStreamOpen = false;   // results of this run are still due on the session
    bool FStreamPipeline = false;
    PGTransactionStatusType FStreamBefore = PQTRANS_IDLE;
    std::deque<TResult> FStreamRead; // results read off the session before Step reached them
    std::string FStreamFailure;      // why the rows read off the session could not be kept
    // What SendRun queued: under which name, whether with its preparation, in which format.
    std::string FSentName;
    bool FSentPrepare = false;
    bool FSentBinary = false;
};

// Every result of a pipeline up to its end (the sync), in order; two ends of results in a row,
// or a lost session, end it early.
std::vector<TResult> ResultsUntilSync(PGconn* conn) {
    std::vector<TResult> results;
    for (int ends = 0; ends < 2;) {
        PGresult* result = PQgetResult(conn);
        if (!result) {
            if (PQstatus(conn) != CONNECTION_OK) break;
            ++ends;
            continue;
        }
        ends = 0;
        if (PQresultStatus(result) == PGRES_PIPELINE_SYNC) {
            PQclear(result);
            break;
        }
        results.emplace_back(result);
    }
    return results;
}

// The results of the next commands of a pipeline, each command's ending with a null; a lost
// session ends them early.
std::vector<TResult> ResultsOfCommands(PGconn* conn, int commands) {
    std::vector<TResult> results;
    while (commands > 0) {
        PGresult* result = PQgetResult(conn);
        if (!result) {
            if (PQstatus(conn) != CONNECTION_OK) break;
            --commands;
            continue;
        }
        results.emplace_back(result);
    }
    return results;
}

// Whether a result of a streamed run holds rows: one row as it came, or rows read together off the
// session (its end holds none).
bool HoldsRows(const PGresult* result) {
    ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    return status == PGRES_SINGLE_TUPLE || (status == PGRES_TUPLES_OK && PQntuples(result) > 0);
}

// Whether a result tells of a command that went well.
bool Succeeded(const PGresult* result) {
    ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK ||
           status == PGRES_SINGLE_TUPLE || status == PGRES_EMPTY_QUERY;
}

class TPgConnection : public TSqlConnection {
public:
    explicit TPgConnection(const std::string& name) : FName(name) {
        Gate(TSqlCall::Open);
        FConn = PQconnectdb(name.c_str());
        ++FRoundTrips;
        if (!FConn || PQstatus(FConn) != CONNECTION_OK) {
            std::string message =
                FConn ? CleanMessage(PQerrorMessage(FConn)) : std::string("out of memory");
            PQfinish(FConn);
            FConn = nullptr;
            RaiseEngineError("Cannot connect to the database server " + MaskPassword(name) + ": " +
                             message);
        }
        PQsetNoticeProcessor(FConn, &IgnoreNotice, nullptr);
        ApplySettings();
    }
    ~TPgConnection() override { PQfinish(FConn); }

    std::unique_ptr<TSqlStatement> Prepare(const std::string& sql) override {
        Gate(TSqlCall::Prepare);
        Ready(false);
        int count = 0;
        std::string text = TranslatePlaceholders(sql, count);
        auto stmt = std::make_unique<TPgStatement>(*this, std::move(text), count);
        return stmt;
    }

    void Execute(const std::string& sql) override {
        Gate(TSqlCall::Execute);
        std::string upper = UpperCase(Trim(sql));
        bool rollback = upper.rfind("ROLLBACK", 0) == 0;
        Ready(rollback);
        FlushDeallocations();
        PGTransactionStatusType before = PQtransactionStatus(FConn);
        ++FRoundTrips;
        TResult result(PQexec(FConn, sql.c_str()));
        NoteWrite();
        FCatalog.clear();
        CheckResult(result.get(), before);
        NoteChanges(result.get());
    }

    int64_t LastInsertRowId() const override { return 0; }
    int64_t Changes() const override { return FChanges; }
    std::string FileName() const override { return FName; }

    bool TableExists(const std::string& table) override { return Relation(table) != nullptr; }
    bool IsView(const std::string& table) override {
        const TRelation* relation = Relation(table);
        return relation && (relation->Kind == 'v' || relation->Kind == 'm');
    }
    std::string CatalogName(const std::string& table) override {
        const TRelation* relation = Relation(table);
        return relation ? relation->Name : "";
    }
    std::vector<TSqlColumnInfo> TableColumns(const std::string& table) override;
    TSqlIdentity TableIdentity(const std::string& table) override;
    std::vector<std::string> TableNames() override;

    void SetRowChangeHook(TSqlRowChangeHook hook) override { FRowChangeHook = std::move(hook); }

    void BeginReadScan() override {
        // Other sessions' commits are not announced: whatever was read before a scan may be
        // stale by the time it begins.
        if (FScanDepth++ == 0) ++FOtherCommits;
    }
    void EndReadScan() override {
        if (FScanDepth > 0) --FScanDepth;
    }
    uint64_t OtherCommits() const override { return FOtherCommits; }

    void SetBusyTimeout(int milliseconds) override {
        FLockTimeout = std::max(0, milliseconds);
        SettleStream();
        if (PQstatus(FConn) == CONNECTION_OK) ApplySettings();
    }

    std::string QuoteIdentifier(const std::string& name) const override {
        return QuoteName(FCapitalNames.count(name) ? name : CatalogSpelling(name));
    }
    bool StrictColumnTypes() const override { return true; }
    // "x IS ?" is written by the statement as "x = $n" or "x IS NULL" for the value bound, which
    // an index serves (IS NOT DISTINCT FROM would be read row by row).
    std::string NullSafeEquals() const override { return " IS "; }
    // The server puts Nulls last going forward unless told; an index made with NULLS FIRST
    // serves both directions of these terms.
    std::string OrderTerm(const std::string& column, bool descending,
                          bool nullable) const override {
        if (!nullable) return descending ? column + " DESC" : column;
        return descending ? column + " DESC NULLS LAST" : column + " NULLS FIRST";
    }
    std::string EqualsIgnoringCase(const std::string& column,
                                   const std::string& parameter) const override {
        return "lower(" + column + ") = lower(CAST(" + parameter + " AS text))";
    }
    std::string LikeIgnoringCase() const override { return " ILIKE "; }
    bool InsertReturnsKey() const override { return true; }
    bool ReadsRangesAhead() const override { return true; }
    int64_t RoundTrips() const override { return FRoundTrips; }
    // The statements go out in one pipeline, each with its preparation where needed, and their
    // results come back together. Only outside a transaction: inside one, a statement that failed
    // would spoil it for those after it, whose own runs would then fail for that reason alone.
    // The last statement may hand its rows over as they come (StreamNextRun): the results of the
    // others are read, then its own in single-row mode.
    void RunTogether(const std::vector<TSqlStatement*>& statements) override {
        SettleStream();
        std::vector<TPgStatement*> runs;
        for (TSqlStatement* statement : statements) {
            auto* run = dynamic_cast<TPgStatement*>(statement);
            if (!run || !run->MayRunTogether()) return;
            runs.push_back(run);
        }
        if (runs.size() < 2 || PQstatus(FConn) != CONNECTION_OK ||
            PQtransactionStatus(FConn) != PQTRANS_IDLE || PQenterPipelineMode(FConn) != 1)
            return;
        ++FRoundTrips;
        bool sent =
            std::all_of(runs.begin(), runs.end(), [](TPgStatement* run) { return run->SendRun(); });
        // Ended even when a run could not be queued, so that what was queued is answered and
        // the session leaves the pipeline with nothing pending.
        std::vector<TResult> results;
        bool left = false;
        if (PQpipelineSync(FConn) == 1) {
            if (sent && runs.back()->WantsStream())
                left = StreamLast(runs, results);
            else
                results = ResultsUntilSync(FConn);
        }
        if (!left) PQexitPipelineMode(FConn);
        if (!sent) return;
        std::size_t at = 0;
        for (TPgStatement* run : runs)
            if (!run->TakeRun(results, at)) {
                runs.back()->DropStream();
                return;
            }
    }

    // ---- for statements ------------------------------------------------------------------------
    PGconn* Conn() const { return FConn; }
    uint64_t Generation() const { return FGeneration; }
    std::string NewStatementName() { return "orvel_" + std::to_string(++FStatementCount); }
    void CountRoundTrip() { ++FRoundTrips; }
    void NoteWrite() { ++FOtherCommits; }
    // Whether the session writes dates and times in ISO style with whole-number times (what the
    // binary format is turned into).
    bool IsoDates() const {
        const char* style = PQparameterStatus(FConn, "DateStyle");
        const char* integer = PQparameterStatus(FConn, "integer_datetimes");
        return style && std::string_view(style).substr(0, 3) == "ISO" && integer &&
               std::string_view(integer) == "on";
    }
    void Forget(const std::string& name, uint64_t generation) {
        // Statements of a session that ended went with it.
        if (generation == FGeneration) FDeallocate.push_back(name);
    }
    // Makes sure the session is there: a session lost outside a transaction is opened again;
    // one lost inside a transaction stays refused until it is rolled back, so that the writes
    // after it never land without the ones before.
    void Ready(bool rollback) {
        SettleStream();
        if (PQstatus(FConn) == CONNECTION_OK) return;
        if (FLostInTransaction && !rollback)
            RaiseEngineError("The connection to the database server was lost inside a "
                             "transaction: its changes were not saved; roll it back");
        FLostInTransaction = false;
        PQreset(FConn);
        ++FRoundTrips;
        if (PQstatus(FConn) != CONNECTION_OK)
            RaiseEngineError("Cannot reach the database server " + MaskPassword(FName) + ": " +
                             CleanMessage(PQerrorMessage(FConn)));
        ++FGeneration;
        FDeallocate.clear();
        FCatalog.clear();
        ApplySettings();
    }
    void CheckResult(const PGresult* result, PGTransactionStatusType before) {
        if (Succeeded(result)) return;
        std::string message;
        if (result)
            if (const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY))
                message = primary;
        if (message.empty() || PQstatus(FConn) != CONNECTION_OK)
            message = CleanMessage(PQerrorMessage(FConn));
        if (PQstatus(FConn) != CONNECTION_OK) {
            FLostInTransaction = before != PQTRANS_IDLE;
            RaiseEngineError("The connection to the database server was lost: " + message);
        }
        RaiseEngineError(message);
    }
    // The call failed because the session ended, with no transaction open before it.
    bool LostOutsideTransaction(const PGresult* result, PGTransactionStatusType before) const {
        return !Succeeded(result) && PQstatus(FConn) != CONNECTION_OK && before == PQTRANS_IDLE;
    }
    void NoteChanges(const PGresult* result) {
        const char* tuples = result ? PQcmdTuples(const_cast<PGresult*>(result)) : "";
        FChanges = tuples && *tuples ? std::strtoll(tuples, nullptr, 10) : 0;
    }

    // The statement whose run's rows are still coming, if any.
    void StreamOpened(TPgStatement* statement) { FStream = statement; }
    void StreamEnded(const TPgStatement* statement) {
        if (FStream == statement) FStream = nullptr;
    }

private:
    static void IgnoreNotice(void*, const char*) {}

    // Has the statement whose rows are still coming read them, so that the session is free.
    void SettleStream() {
        if (FStream) FStream->SettleStream();
    }
    // Reads the results of the pipeline's runs before the last, then the last's in single-row
    // mode; true when the last's stream took over leaving the pipeline (once its rows have
    // come, or at once when none came).
    bool StreamLast(const std::vector<TPgStatement*>& runs, std::vector<TResult>& results) {
        int before = -1; // every command but the last run
        for (TPgStatement* run : runs)
            before += run->SentCommands();
        results = ResultsOfCommands(FConn, before);
        if (PQstatus(FConn) != CONNECTION_OK) return false;
        if (TResult first = runs.back()->FirstStreamed(true, PQTRANS_IDLE))
            results.push_back(std::move(first));
        return true;
    }

    // A message of the library or server, one line, without the password.
    std::string CleanMessage(const char* text) const {
        // One line: the library writes several, indented.
        std::string message;
        for (const char* c = text ? text : ""; *c; ++c) {
            bool space = std::isspace(static_cast<unsigned char>(*c));
            if (space && (message.empty() || message.back() == ' ')) continue;
            message += space ? ' ' : *c;
        }
        message = TrimMessage(message);
        const char* password = FConn ? PQpass(FConn) : nullptr;
        if (password && *password) {
            std::string secret = password;
            for (std::size_t at = message.find(secret); at != std::string::npos;
                 at = message.find(secret, at + 4))
                message.replace(at, secret.size(), "****");
        }
        return MaskPassword(message);
    }
    void ApplySettings() {
        ++FRoundTrips;
        TResult result(PQexec(FConn, ("SET client_encoding = 'UTF8'; SET lock_timeout = " +
                                      std::to_string(FLockTimeout))
                                         .c_str()));
        CheckResult(result.get(), PQTRANS_IDLE);
    }
    // Statements dropped by the datasets leave the session in one batch, when no transaction is
    // open (an aborted one would refuse them).
    void FlushDeallocations() {
        if (FDeallocate.size() < 32 || PQtransactionStatus(FConn) != PQTRANS_IDLE) return;
        std::string sql;
        for (const std::string& name : FDeallocate)
            sql += "DEALLOCATE " + name + ";";
        FDeallocate.clear();
        ++FRoundTrips;
        TResult ignored(PQexec(FConn, sql.c_str()));
    }
    const TRelation* Relation(const std::string& table);
    // A name as the catalog spells it, as the datasets are shown it (PresentedName); one in
    // capitals only is remembered, so that it is quoted back as it is.
    std::string Presented(const std::string& catalogName) {
        bool capitals = std::none_of(catalogName.begin(), catalogName.end(),
                                     [](char c) { return c >= 'a' && c <= 'z'; }) &&
                        std::any_of(catalogName.begin(), catalogName.end(),
                                    [](char c) { return c >= 'A' && c <= 'Z'; });
        if (capitals) FCapitalNames.insert(catalogName);
        return PresentedName(catalogName);
    }

    std::string FName;
    PGconn* FConn = nullptr;
    TPgStatement* FStream = nullptr;
    uint64_t FGeneration = 1;
    int64_t FStatementCount = 0;
    int64_t FRoundTrips = 0;
    int64_t FChanges = 0;
    uint64_t FOtherCommits = 0;
    int FScanDepth = 0;
    int FLockTimeout = 2000;
    bool FLostInTransaction = false;
    std::vector<std::string> FDeallocate;
    std::map<std::string, TRelation> FCatalog; // by upper-case name
    std::unordered_set<std::string> FCapitalNames;
    TSqlRowChangeHook FRowChangeHook;

    friend class TPgStatement;
};

TPgStatement::TPgStatement(TPgConnection& connection, std::string sql, int parameters)
    : FConnection(connection), FTemplate(std::move(sql)), FReadOnly(ReadsOnly(FTemplate)),
      FParams(static_cast<std::size_t>(parameters)) {
    for (std::size_t at = FTemplate.find(kNullSafeMark); at != std::string::npos;) {
        std::size_t end = FTemplate.find(kNullSafeMark, at + 1);
        FMarked.push_back(std::stoi(FTemplate.substr(at + 1, end - at - 1)) - 1);
        at = FTemplate.find(kNullSafeMark, end + 1);
    }
    FSql = TextFor(0);
}

std::string TPgStatement::ColumnName(int index) const {
    const char* name = PQfname(Shape(), index);
    return name ? FConnection.Presented(name) : "";
}

TPgStatement::~TPgStatement() {
    DropStream();
    if (FPrepared) FConnection.Forget(FName, FGeneration);
    for (const auto& [mask, variant] : FVariants)
        if (mask != FMask && variant.Prepared) FConnection.Forget(variant.Name, variant.Generation);
}

std::string TPgStatement::TextFor(uint64_t mask) const {
    std::string text;
    std::size_t mark = 0;
    for (std::size_t i = 0; i < FTemplate.size(); ++i) {
        if (FTemplate[i] != kNullSafeMark) {
            text += FTemplate[i];
            continue;
        }
        std::size_t end = FTemplate.find(kNullSafeMark, i + 1);
        std::string number = FTemplate.substr(i + 1, end - i - 1);
        // The parameter stays in the text (the server wants a type for every one it is given).
        if (mark < 64 && (mask >> mark & 1))
            text += " IS NULL AND CAST($" + number + " AS text) IS NULL";
        else
            text += " = $" + number;
        ++mark;
        i = end;
    }
    return text;
}

void TPgStatement::Variant() {
    uint64_t mask = 0;
    for (std::size_t i = 0; i < FMarked.size() && i < 64; ++i)
        if (FParams[static_cast<std::size_t>(FMarked[i])].Null) mask |= uint64_t{1} << i;
    if (mask == FMask) return;
    FVariants[FMask] = TVariant{FName, FGeneration, FPrepared};
    TVariant next = FVariants[mask];
    FMask = mask;
    FSql = TextFor(mask);
    FName = next.Name;
    FGeneration = next.Generation;
    FPrepared = next.Prepared;
    FDescription.reset();
}

// Prepared on the server when first needed, and again after the session was opened anew.
bool TPgStatement::EnsurePrepared(bool mayRetry) {
    if (FPrepared && FGeneration == FConnection.Generation()) return true;
    FName = FConnection.NewStatementName();
    FConnection.CountRoundTrip();
    PGTransactionStatusType before = PQtransactionStatus(FConnection.Conn());
    TResult result(PQprepare(FConnection.Conn(), FName.c_str(), FSql.c_str(), 0, nullptr));
    if (mayRetry && FConnection.LostOutsideTransaction(result.get(), before)) return false;
    FConnection.CheckResult(result.get(), before);
    FPrepared = true;
    FGeneration = FConnection.Generation();
    FDescription.reset();
    return true;
}

// A statement not yet prepared in the session is prepared and run in one round trip: both go out
// together (libpq's pipeline mode), so that a statement's first run costs no more than the next.
// Lost: the session ended outside a transaction before anything ran (the caller retries);
// NoPipeline: nothing was sent (the caller prepares and runs one after the other).
TPgStatement::TFirstRun TPgStatement::PrepareAndRun(const std::vector<const char*>& values,
                                                    const std::vector<int>& lengths,
                                                    const std::vector<int>& formats, bool binary,
                                                    bool mayRetry, TResult& rows) {
    PGconn* conn = FConnection.Conn();
    PGTransactionStatusType before = PQtransactionStatus(conn);
    if (before == PQTRANS_ACTIVE || PQenterPipelineMode(conn) != 1) return TFirstRun::NoPipeline;
    std::string name = FConnection.NewStatementName();
    FConnection.CountRoundTrip();
    bool sent =
        PQsendPrepare(conn, name.c_str(), FSql.c_str(), 0, nullptr) == 1 &&
        PQsendQueryPrepared(conn, name.c_str(), static_cast<int>(FParams.size()), values.data(),
                            lengths.data(), formats.data(), binary ? 1 : 0) == 1 &&
        PQpipelineSync(conn) == 1;
    // The preparation's result, then the run's.
    std::vector<TResult> results;
    if (sent) results = ResultsUntilSync(conn);
    PQexitPipelineMode(conn);
    const PGresult* prepared = results.empty() ? nullptr : results[0].get();
    if (mayRetry && FConnection.LostOutsideTransaction(prepared, before)) return TFirstRun::Lost;
    FConnection.CheckResult(prepared, before);
    FName = std::move(name);
    FPrepared = true;
    FGeneration = FConnection.Generation();
    FDescription.reset();
    if (results.size() < 2) {
        // Prepared, but the run's result never came: the session ended meanwhile.
        FConnection.CheckResult(nullptr, before);
    }
    rows = std::move(results[1]);
    return TFirstRun::Done;
}

// A session the server ended while no transaction was open is opened again at once for work that
// cannot have written anything (preparing, describing, reading): the caller sees no difference.
const PGresult* TPgStatement::Shape() const {
    if (FRows) return FRows.get();
    auto* self = const_cast<TPgStatement*>(this);
    for (int attempt = 0; !FDescription; ++attempt) {
        self->FConnection.Ready(false);
        if (!self->EnsurePrepared(attempt == 0)) continue;
        FConnection.CountRoundTrip();
        PGTransactionStatusType before = PQtransactionStatus(FConnection.Conn());
        TResult result(PQdescribePrepared(FConnection.Conn(), FName.c_str()));
        if (attempt == 0 && self->FConnection.LostOutsideTransaction(result.get(), before))
            continue;
        self->FConnection.CheckResult(result.get(), before);
        if (FResultTypes.empty())
            for (int i = 0; i < PQnfields(result.get()); ++i)
                FResultTypes.push_back(PQftype(result.get(), i));
        FDescription = std::move(result);
    }
    return FDescription.get();
}

TPgStatement::TParamArrays TPgStatement::ParamArrays() const {
    TParamArrays arrays;
    arrays.Values.resize(FParams.size());
    arrays.Lengths.resize(FParams.size());
    arrays.Formats.resize(FParams.size());
    for (std::size_t i = 0; i < FParams.size(); ++i) {
        const TParam& p = FParams[i];
        arrays.Values[i] = p.Null ? nullptr : p.Value.c_str();
        arrays.Lengths[i] = static_cast<int>(p.Value.size());
        arrays.Formats[i] = p.Binary ? 1 : 0;
    }
    return arrays;
}

bool TPgStatement::SendRun() {
    Variant();
    TParamArrays params = ParamArrays();
    PGconn* conn = FConnection.Conn();
    FSentBinary = BinaryRun();
    FSentPrepare = !FPrepared || FGeneration != FConnection.Generation();
    FSentName = FSentPrepare ? FConnection.NewStatementName() : FName;
    if (FSentPrepare && PQsendPrepare(conn, FSentName.c_str(), FSql.c_str(), 0, nullptr) != 1)
        return false;
    return PQsendQueryPrepared(conn, FSentName.c_str(), static_cast<int>(FParams.size()),
                               params.Values.data(), params.Lengths.data(), params.Formats.data(),
                               FSentBinary ? 1 : 0) == 1;
}

bool TPgStatement::TakeRun(std::vector<TResult>& results, std::size_t& at) {
    auto next = [&]() { return at < results.size() ? std::move(results[at++]) : TResult(); };
    if (FSentPrepare) {
        TResult prepared = next();
        if (!prepared || PQresultStatus(prepared.get()) != PGRES_COMMAND_OK) return false;
        FName = FSentName;
        FPrepared = true;
        FGeneration = FConnection.Generation();
        FDescription.reset();
    }
    TResult rows = next();
    ExecStatusType status = rows ? PQresultStatus(rows.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_TUPLES_OK && status != PGRES_SINGLE_TUPLE) return false;
    FConnection.NoteChanges(rows.get());
    // Binary rows of a column type not read from them: the first Step reads them again in text.
    if (!TakeRows(std::move(rows), FSentBinary)) {
        DropStream();
        return false;
    }
    FRow = -1;
    FRan = true;
    FStreamWanted = false;
    return true;
}

void TPgStatement::Run() {
    DropStream();
    bool stream = std::exchange(FStreamWanted, false) && FReadOnly;
    TParamArrays params = ParamArrays();
    std::vector<const char*>& values = params.Values;
    std::vector<int>& lengths = params.Lengths;
    std::vector<int>& formats = params.Formats;
    Variant();
    bool retried = false;
    for (int attempt = 0;; ++attempt) {
        FConnection.Ready(false);
        bool binary = BinaryRun();
        PGTransactionStatusType before = PQtransactionStatus(FConnection.Conn());
        TResult result;
        if (!FPrepared || FGeneration != FConnection.Generation()) {
            TFirstRun first = PrepareAndRun(values, lengths, formats, binary, !retried, result);
            if (first == TFirstRun::Lost) {
                retried = true;
                continue;
            }
        }
        if (!result) {
            if (!EnsurePrepared(!retried)) {
                retried = true;
                continue;
            }
            FConnection.CountRoundTrip();
            before = PQtransactionStatus(FConnection.Conn());
            if (stream)
                result = RunStreamed(values, lengths, formats, binary, before);
            else
                result.reset(PQexecPrepared(FConnection.Conn(), FName.c_str(),
                                            static_cast<int>(FParams.size()), values.data(),
                                            lengths.data(), formats.data(), binary ? 1 : 0));
        }
        // A write may have been committed before the session was lost: it is never repeated.
        if (!retried && FReadOnly && FConnection.LostOutsideTransaction(result.get(), before)) {
            retried = true;
            continue;
        }
        if (!FReadOnly) FConnection.NoteWrite();
        FConnection.CheckResult(result.get(), before);
        FConnection.NoteChanges(result.get());
        // Binary rows with a column of another type than before (the table changed meanwhile):
        // read once more in text, which every type has. Only reads run in binary.
        bool taken = TakeRows(std::move(result), binary);
        if (!taken) DropStream();
        if (!taken && attempt < 2) continue;
        return;
    }
}

TResult TPgStatement::RunStreamed(const std::vector<const char*>& values,
                                  const std::vector<int>& lengths, const std::vector<int>& formats,
                                  bool binary, PGTransactionStatusType before) {
    PGconn* conn = FConnection.Conn();
    if (PQsendQueryPrepared(conn, FName.c_str(), static_cast<int>(FParams.size()), values.data(),
                            lengths.data(), formats.data(), binary ? 1 : 0) != 1)
        return TResult();
    return FirstStreamed(false, before);
}

TResult TPgStatement::FirstStreamed(bool pipeline, PGTransactionStatusType before) {
    PQsetSingleRowMode(FConnection.Conn());
    TResult first(PQgetResult(FConnection.Conn()));
    FStreamRows = true;
    FStreamOpen = true;
    FStreamPipeline = pipeline;
    FStreamBefore = before;
    FConnection.StreamOpened(this);
    // No rows, or a failure: the run ends with it.
    if (!first || PQresultStatus(first.get()) != PGRES_SINGLE_TUPLE) DropStream();
    return first;
}

void TPgStatement::EndStream(bool keep) {
    if (!FStreamOpen) return;
    FStreamOpen = false;
    FConnection.StreamEnded(this);
    PGconn* conn = FConnection.Conn();
    while (PGresult* result = PQgetResult(conn)) {
        TResult due(result);
        if (!keep || KeepDue(due)) continue;
        // No memory to keep the rows whole: the reader is told so at its next step, and
        // none of them is handed over.
        keep = false;
        FStreamRead.clear();
        FStreamFailure = "Out of memory for the rows of a statement";
    }
    if (!FStreamPipeline) return;
    ResultsUntilSync(conn);
    PQexitPipelineMode(conn);
}

// A row read off the session joins the rows read before it in one result (a result per row costs
// libpq a block of its own); the end or a failure is kept as it came. False when there was no
// memory to add the row (the rows kept are then no longer whole).
bool TPgStatement::KeepDue(TResult& result) {
    const PGresult* row = result.get();
    PGresult* rows = FStreamRead.empty() ? nullptr : FStreamRead.back().get();
    if (PQresultStatus(row) != PGRES_SINGLE_TUPLE) {
        FStreamRead.push_back(std::move(result));
        return true;
    }
    if (!HoldsRows(rows) || PQresultStatus(rows) != PGRES_TUPLES_OK) {
        TResult packed{PQcopyResult(row, PG_COPYRES_ATTRS | PG_COPYRES_TUPLES)};
        FStreamRead.push_back(packed ? std::move(packed) : std::move(result));
        return true;
    }
    int at = PQntuples(rows);
    for (int i = 0; i < PQnfields(row); ++i) {
        char* value = PQgetisnull(row, 0, i) ? nullptr : PQgetvalue(row, 0, i);
        if (PQsetvalue(rows, at, i, value, PQgetlength(row, 0, i)) != 1) return false;
    }
    return true;
}

void TPgStatement::DropStream() {
    EndStream(false);
    FStreamRead.clear();
    FStreamFailure.clear();
    FStreamRows = false;
}

bool TPgStatement::NextStreamedRow() {
    TResult next;
    if (!FStreamRead.empty()) {
        next = std::move(FStreamRead.front());
        FStreamRead.pop_front();
    } else if (FStreamOpen) {
        next.reset(PQgetResult(FConnection.Conn()));
    }
    // A row, or rows read together when the session was wanted for another statement.
    if (HoldsRows(next.get())) {
        FRows = std::move(next);
        FRow = 0;
        return true;
    }
    // The run is over: its end, or the failure that cut it short (the rows before it were
    // handed over already; the reader drops what it made of them when this raises).
    std::string failure = std::move(FStreamFailure);
    DropStream();
    if (!failure.empty()) RaiseEngineError(failure);
    bool ended = next && PQresultStatus(next.get()) == PGRES_TUPLES_OK;
    FRows = ended ? std::move(next) : TResult();
    if (!ended) FConnection.CheckResult(next.get(), FStreamBefore);
    return false;
}

bool TPgStatement::BinaryRun() const {
    if (!FReadOnly || FResultTypes.empty()) return false;
    bool iso = FConnection.IsoDates();
    return std::all_of(FResultTypes.begin(), FResultTypes.end(),
                       [iso](Oid type) { return BinaryReadable(type, iso); });
}

bool TPgStatement::TakeRows(TResult rows, bool binary) {
    int columns = PQnfields(rows.get());
    FTypes.resize(static_cast<std::size_t>(columns));
    for (int i = 0; i < columns; ++i)
        FTypes[static_cast<std::size_t>(i)] = PQftype(rows.get(), i);
    FRows = std::move(rows);
    FBinaryRows = binary;
    FForms.resize(FTypes.size());
    for (std::size_t i = 0; i < FTypes.size(); ++i)
        FForms[i] = {StorageOf(FTypes[i]), !binary || BinaryIsText(FTypes[i])};
    // A statement that gives no rows (a write without RETURNING) tells no types.
    if (columns > 0 || FResultTypes.empty()) FResultTypes = FTypes;
    if (!binary) return true;
    bool iso = FConnection.IsoDates();
    if (std::all_of(FTypes.begin(), FTypes.end(),
                    [iso](Oid type) { return BinaryReadable(type, iso); }))
        return true;
    FRows.reset();
    FTypes.clear();
    return false;
}

bool TPgStatement::Step() {
    FConnection.Gate(TSqlCall::Step);
    if (!FRan) {
        FRow = -1;
        Run();
        FRan = true;
    }
    if (!FRows) return false;
    ExecStatusType status = PQresultStatus(FRows.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_SINGLE_TUPLE) return false;
    if (FRow + 1 >= PQntuples(FRows.get())) {
        if (FStreamRows && NextStreamedRow()) return true;
        if (!FRows) return false;
        FRow = PQntuples(FRows.get());
        return false;
    }
    ++FRow;
    return true;
}

const TRelation* TPgConnection::Relation(const std::string& table) {
    std::string key = UpperCase(table);
    auto it = FCatalog.find(key);
    if (it != FCatalog.end()) return &it->second;
    // A name written without quotes is folded to lower case by the server; the datasets quote
    // names, so the catalog's spelling is looked up without regard to case (its own first).
    auto stmt = Prepare("SELECT c.oid::int8, c.relname::text, c.relkind::text "
                        "FROM pg_catalog.pg_class c "
                        "WHERE c.relkind IN ('r', 'p', 'v', 'm', 'f') "
                        "AND pg_catalog.pg_table_is_visible(c.oid) "
                        "AND lower(c.relname::text) = lower(CAST(? AS text)) "
                        "ORDER BY c.relname::text = CAST(? AS text) DESC, c.relname::text LIMIT 1");
    stmt->BindText(0, table);
    stmt->BindText(1, table);
    if (!stmt->Step()) return nullptr;
    TRelation relation;
    relation.Id = stmt->ColumnInt64(0);
    relation.Name = Presented(std::string(stmt->ColumnText(1)));
    std::string_view kind = stmt->ColumnText(2);
    relation.Kind = kind.empty() ? 'r' : kind[0];
    return &FCatalog.emplace(key, std::move(relation)).first->second;
}

// Catalog types in the names the datasets know.
std::string DeclaredTypeOfCatalog(const std::string& formatted) {
    std::string type = UpperCase(formatted);
    std::string size;
    std::size_t paren = type.find('(');
    if (paren != std::string::npos) size = type.substr(paren, type.find(')', paren) - paren + 1);
    auto starts = [&type](const char* prefix) { return type.rfind(prefix, 0) == 0; };
    if (starts("CHARACTER VARYING")) return "VARCHAR" + size;
    if (starts("CHARACTER") || starts("BPCHAR")) return "CHAR" + size;
    if (starts("TIMESTAMP")) return "TIMESTAMP";
    if (starts("TIME")) return "TIME";
    if (starts("NUMERIC")) return "NUMERIC";
    if (type == "BYTEA") return "BLOB";
    for (const char* known : {"INTEGER", "SMALLINT", "BIGINT", "BOOLEAN", "REAL",
                              "DOUBLE PRECISION", "DATE", "TEXT", "MONEY"})
        if (type == known) return known;
    return "TEXT";
}

std::vector<TSqlColumnInfo> TPgConnection::TableColumns(const std::string& table) {
    std::vector<TSqlColumnInfo> columns;
    const TRelation* relation = Relation(table);
    if (!relation) return columns;
    auto stmt = Prepare(
        "SELECT a.attname::text, pg_catalog.format_type(a.atttypid, a.atttypmod), a.attnotnull, "
        "COALESCE((SELECT k.n FROM pg_catalog.unnest(i.indkey) WITH ORDINALITY AS k(att, n) "
        "WHERE k.att = a.attnum), 0)::int8, "
        "a.attidentity = 'a', a.attidentity <> '' OR a.atthasdef "
        "FROM pg_catalog.pg_attribute a "
        "LEFT JOIN pg_catalog.pg_index i ON i.indrelid = a.attrelid AND i.indisprimary "
        "WHERE a.attrelid = CAST(CAST(? AS int8) AS oid) AND a.attnum > 0 "
        "AND NOT a.attisdropped ORDER BY a.attnum");
    stmt->BindInt64(0, relation->Id);
    while (stmt->Step()) {
        TSqlColumnInfo info;
        info.Name = Presented(std::string(stmt->ColumnText(0)));
        info.DeclaredType = DeclaredTypeOfCatalog(std::string(stmt->ColumnText(1)));
        info.NotNull = stmt->ColumnInt64(2) != 0;
        info.KeyOrder = static_cast<int>(stmt->ColumnInt64(3));
        info.PrimaryKey = info.KeyOrder != 0;
        info.AutoIncrement = stmt->ColumnInt64(4) != 0;
        info.HasDefault = stmt->ColumnInt64(5) != 0;
        columns.push_back(std::move(info));
    }
    return columns;
}

TSqlIdentity TPgConnection::TableIdentity(const std::string& table) {
    TSqlIdentity identity;
    if (IsView(table)) return identity;
    std::vector<TSqlColumnInfo> columns = TableColumns(table);
    std::vector<const TSqlColumnInfo*> key;
    for (const TSqlColumnInfo& column : columns)
        if (column.PrimaryKey) key.push_back(&column);
    std::sort(key.begin(), key.end(),
              [](const auto* a, const auto* b) { return a->KeyOrder < b->KeyOrder; });
    for (const TSqlColumnInfo* column : key)
        identity.KeyColumns.push_back(column->Name);
    // Every write through the connection counts as a change (OtherCommits), so the datasets'
    // own writes are never missed.
    identity.ChangesReported = true;
    return identity;
}

std::vector<std::string> TPgConnection::TableNames() {
    auto stmt = Prepare("SELECT c.relname::text FROM pg_catalog.pg_class c "
                        "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
                        "WHERE c.relkind IN ('r', 'p') AND pg_catalog.pg_table_is_visible(c.oid) "
                        "AND n.nspname NOT IN ('pg_catalog', 'information_schema') ORDER BY 1");
    std::vector<std::string> names;
    while (stmt->Step())
        names.push_back(Presented(std::string(stmt->ColumnText(0))));
    return names;
}

} // namespace

std::unique_ptr<TSqlConnection> OpenPostgresConnection(const std::string& name) {
    return std::make_unique<TPgConnection>(name);
}

} // namespace orvel
