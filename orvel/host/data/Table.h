// TTable: one table of a database, read in the order of an index (IndexFieldNames), with key
// ranges. The cursor is a keyset window over the index order (the index fields, then the table's
// identity as tie-breaker: the row id where it is the key, else the primary key fields): each
// window is one prepared query that starts after the key of the record at the window's edge, so
// no operation reads more of the table than it shows.
//
// A view, or a table whose records have no usable identity, opens read-only when it has index
// fields to order by; they then stand for the records' identity while browsing.
#pragma once

#include "orvel/host/data/DataSet.h"
#include "orvel/host/data/Database.h"

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvel {

enum class TKeyIndex { kiLookup, kiRangeStart, kiRangeEnd, kiCurRangeStart, kiCurRangeEnd };

// A key being entered or applied: one stored value per field of the table (only index fields are
// used) and the number of leading index fields that take part.
struct TKeyBuffer {
    bool Modified = false;
    int FieldCount = 0;
    std::vector<Variant> Values;
};

class TTable : public TDataSet {
    ORVEL_PUBLISHED(TTable)

public:
    explicit TTable(TComponent* owner);
    ~TTable() override;

    TDatabase* GetDatabase() const { return FDatabase; }
    void SetDatabase(TDatabase* value);
    // A TDatabase of that name, or else a file the table opens a connection of its own to.
    const std::string& GetDatabaseName() const { return FDatabaseName; }
    void SetDatabaseName(const std::string& value);
    const std::string& GetTableName() const { return FTableName; }
    void SetTableName(const std::string& value);
    // The fields that order the records, separated by ";" (empty: the row id order). Changing
    // them on an open table moves to the first record of the new order.
    const std::string& GetIndexFieldNames() const { return FIndexFieldNames; }
    void SetIndexFieldNames(const std::string& value);
    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    bool CanModify() const override;
    void CheckModifiable() const override;
    void GetFieldNames(TStrings& list) override;

    int IndexFieldCount() const { return static_cast<int>(FIndexFields.size()); }
    TField* IndexFields(int index) const {
        return FIndexFields.at(static_cast<std::size_t>(index));
    }

    // ---- ranges -------------------------------------------------------------------------------
    // Enter key-entry state for the range start or end (clearing that buffer; the Edit forms keep
    // it). Field writes then go to the buffer and set its field count to the number of leading
    // index fields written.
    void SetRangeStart();
    void SetRangeEnd();
    void EditRangeStart();
    void EditRangeEnd();
    // Keeps only the records whose leading index fields lie between the start and end keys
    // (equal to them when both are the same); a Null key value matches null fields. The cursor
    // goes to the range's first record.
    void ApplyRange();
    // Shows all records again (the cursor to the first record); nothing when no range is applied.
    void CancelRange();
    void SetRange(const std::vector<Variant>& startValues, const std::vector<Variant>& endValues);
    bool RangeApplied() const { return FRangeApplied; }
    TKeyBuffer* GetKeyBuffer(TKeyIndex index);
    // The field count of the key buffer being entered.
    int GetKeyFieldCount() const;
    void SetKeyFieldCount(int value);

protected:
    void OpenCursor() override;
    void CloseCursor() override;
    int FetchRecords(const TRecordData* from, bool forward, int count,
                     std::vector<TRecordData>& out) override;
    bool FetchRecord(int64_t rowId, TRecordData& out) override;
    bool LocateRecord(const std::vector<TField*>& fields, const std::vector<Variant>& values,
                      TLocateOptions options, TRecordData& out) override;
    int64_t CountRecords() override;
    int64_t InsertRecord(const TRecordData& record, const std::vector<bool>& assigned) override;
    int64_t ModifyRecord(const TRecordData& original, const TRecordData& record,
                         const std::vector<bool>& modified) override;
    void DeleteRecord(const TRecordData& record) override;
    TBookmark MakeBookmark(int64_t rowId) const override;
    bool DataVersion(uint64_t& version) const override;
    void ScanChanged(bool Scanning) override;
    bool BookmarkIdentityValid(const TBookmark& bookmark) const override;
    std::vector<Variant>* KeyEntryValues() override;
    void KeyFieldWritten(TField* field) override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    // SQL text and the values to bind, built together so they always agree.
    struct TSqlText {
        std::string Text;
        std::vector<std::pair<Variant, const TField*>> Params;
        void Add(const std::string& text) { Text += text; }
        void Param(const Variant& stored, const TField* field);
    };

    TSqlConnection& Connection() const;
    TSqlStatement& Statement(const std::string& sql);
    // The statements of the reads a scan repeats, found by the shape of their text (what kind of
    // read, which direction, level and range) instead of by the text: the text is built once.
    // Only ranges of equal start and end keys have such a shape; others build their text.
    bool HasShape() const { return !FRangeApplied || FRangeEquality; }
    uint64_t Shape(int kind, bool forward, int level, bool nullsPart, bool fromNull) const;
    TSqlStatement* ShapedStatement(uint64_t shape) const;
    TSqlStatement& RememberShape(uint64_t shape, const TSqlText& sql);
    int BindRangeValues(TSqlStatement& stmt, int index) const;
    void BindAll(TSqlStatement& stmt, const TSqlText& sql);
    int ReadRows(TSqlStatement& stmt, int offset, int count, std::vector<TRecordData>& out);
    void ReadRow(const TSqlStatement& stmt, TRecordData& out) const;
    void ReadWindowRow(const TSqlStatement& stmt, TRecordData& out) const;
    const std::string& WindowColumnList();
    void ResolveIndexFields();
    void ResolveOrder();
    void ForgetStatements();
    int IndexPosition(const TField* field) const;
    int OrderCount() const { return static_cast<int>(FOrderFields.size()); }
    // An order field as a window's next-records condition names it (see ResolveOrder).
    std::string LevelColumn(int level) const;
    // The deepest level a window is read by: the row id's, else that of the last order field.
    int TopLevel() const { return FRowIdKeyed ? OrderCount() : OrderCount() - 1; }
    void NameRecord(TRecordData& out) const;
    // The condition naming the record of handle, or false when the handle names no key.
    bool AddIdentityCondition(TSqlText& sql, int64_t handle) const;
    void CheckWritableIdentity() const;
    int64_t InsertedHandle(const TRecordData& record);
    int64_t ModifiedHandle(const TRecordData& original, const TRecordData& record,
                           const std::vector<bool>& modified);
    void StartKeyEntry(TKeyIndex index, bool clear);
    void AddRangeCondition(TSqlText& sql) const;
    void AddLowerBound(TSqlText& sql, const TKeyBuffer& key, int from) const;
    void AddUpperBound(TSqlText& sql, const TKeyBuffer& key, int from) const;
    bool RangeIsEquality() const { return FRangeEquality; }
    uint64_t ScopeOfRange();
    std::string OrderBy(int fromIndexField, bool forward) const;
    std::string OrderTerm(const TField* field, bool forward) const;
    std::string NullSafeEquals() const;
    std::string Quote(const std::string& name) const;
    int FetchLevel(const TRecordData& from, bool forward, int level, bool nullsPart, int offset,
                   int count, std::vector<TRecordData>& out);
    void OpenConnection();
    void CloseConnection();

    TDatabase* FDatabase = nullptr;
    std::string FDatabaseName;
    std::string FTableName;
    std::string FIndexFieldNames;
    bool FReadOnly = false;
    bool FIsView = false;

    // The connection used while open: the database's, or one of the table's own.
    TSqlConnection* FConnection = nullptr;
    // Whether key fields that break the index's ties are compared without an index (ResolveOrder).
    bool FTiesUnindexed = false;
    // The connection that keeps a read transaction for the scan in progress (controls disabled).
    TSqlConnection* FScanConnection = nullptr;
    std::unique_ptr<TSqlConnection> FOwnConnection;
    TDatabase* FUsedDatabase = nullptr;
    TTableIdentity* FIdentity = nullptr;
    std::string FQuotedTable;
    std::string FColumnList; // the row id (or a stand-in) and every column, quoted
    std::vector<TField*> FIndexFields;
    std::vector<bool> FNullable; // by field number: the column may hold Null
    int FRowIdAliasField = -1;
    // The table's identity: its row id (FRowIdKeyed, reached as FRowIdColumn), else the key
    // fields. The order fields are the index fields, then the key fields not among them.
    TSqlIdentity FEngineIdentity;
    bool FRowIdKeyed = false;
    bool FWritableIdentity = false;
    std::string FRowIdColumn;
    std::vector<TField*> FKeyFields;
    std::vector<int> FKeyFieldNos;
    std::vector<TField*> FOrderFields;
    std::map<std::string, std::unique_ptr<TSqlStatement>> FStatements;
    std::unordered_map<uint64_t, TSqlStatement*> FShapedStatements;
    // The columns windows read: the row id, the index fields and the demanded fields.
    std::string FWindowColumnList;
    std::vector<int> FWindowColumns;
    uint32_t FWindowColumnsVersion = UINT32_MAX;

    TKeyBuffer FKeyBuffers[5];
    TKeyIndex FKeyEntry = TKeyIndex::kiRangeStart;
    bool FRangeApplied = false;
    bool FRangeEquality = true; // start and end keys are the same
    int FRangeEqualCount = 0;   // leading index fields fixed by an equality range
    // The ranges applied lately, each with its number, so that a range applied again is known
    // as the same scope of records (see TDataSet::ChangeCursorScope).
    struct TAppliedRange {
        uint64_t Scope = 0;
        uint64_t Used = 0; // when it was last applied
        TKeyBuffer Start;
        TKeyBuffer End;
    };
    std::vector<TAppliedRange> FRecentRanges;
    uint64_t FLastScope = 0;
    uint64_t FRangeClock = 0;
};

} // namespace orvel
