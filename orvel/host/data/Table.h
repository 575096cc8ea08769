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

// Whether the ranges a reader announces (TTable::BeginLookAhead) are read ahead in one statement:
// laAuto where the engine is a round trip away and can answer them so, laOff never.
enum TLookAheadMode { laAuto, laOff };

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
    // The range whose start and end are both values written to fieldNames (as SetFieldValue
    // takes them) with the key field count count: what SetRangeStart, those writes,
    // SetKeyFieldCount, SetRangeEnd, the same writes and count, then ApplyRange do, in one step
    // without passing through key-entry state (a scan opens one such range per record it reads
    // the children of). A value that does not fit its field fails before anything is applied.
    // firstReads is the number of records the caller means to read from the range's start (0:
    // not known): the first window is read at that size instead of one learned from earlier
    // ranges, so a range read whole costs one statement and a look at its first record no more.
    void ApplyEqualRange(const std::string& fieldNames, const Variant& values, int count,
                         int firstReads = 0);
    bool RangeApplied() const { return FRangeApplied; }
    TKeyBuffer* GetKeyBuffer(TKeyIndex index);
    // The field count of the key buffer being entered.
    int GetKeyFieldCount() const;
    void SetKeyFieldCount(int value);

    // ---- ranges read ahead --------------------------------------------------------------------
    // A reader about to read every record of the current range and, for each, to open the
    // equality range over the index fields rangeFields (the leading ones, in any order) whose
    // values are that record's keyFields (paired by place) and read at most rowsEach records of
    // it, says so here. Where the engine is a round trip away, one statement then reads the
    // current range's records with the first records of each of their ranges, when the first of
    // them is asked for; the windows of those ranges it holds cost no further engine work. What
    // it read serves only while nothing has been written (through this table or its connection):
    // it is read again after a write. Ranges it cannot answer exactly (Null keys, other ranges,
    // more records than it read) are read as usual: nothing changes what a reader sees.
    void BeginLookAhead(const std::string& rangeFields, const std::string& keyFields, int rowsEach);
    // keepRows: the records read of the source range stay until something is written or ranges
    // are announced again, and answer a read of the table's first records when that range is the
    // one the index starts with (its fields Null, which come first), as after a tree's top level.
    void EndLookAhead(bool keepRows = false);
    // A reader about to climb from the record whose keyFields (the table's primary key) hold key
    // to its parent, named by parentFields (paired with keyFields by place), and on through the
    // parents, says so here during a scan. Where the engine reads ranges ahead, one statement
    // then reads the whole chain: until something is written, locating those records by their
    // key, checking their bookmarks and moving to them need no further engine work.
    // levelRowsEach > 0: the reader will then open the levels of the climb (ReadLevelsAhead over
    // parentFields with keyFields and that rowsEach, the keys being the parent references of the
    // chain's records), and the same statement reads them too: each level of a record of the
    // chain, that is the equality range of its parent reference, as ReadLevelsAhead reads it.
    // Levels longer than a tree level usually is are left to be read when announced.
    void ReadAncestorsAhead(const std::string& keyFields, const std::string& parentFields,
                            const Variant& key, int levelRowsEach = 0);
    // A reader about to open, one after the other and in this scan, the equality ranges over
    // rangeFields whose values are each of keys (key vectors of keyFields, as for
    // BeginLookAhead), announcing each time the look-ahead of its records' ranges with rowsEach,
    // says so here. Where the engine reads ranges ahead, one statement then reads what those
    // look-aheads would read; each is answered from it while nothing has been written. Levels
    // held already for the same announcement (ReadAncestorsAhead) are not read again.
    void ReadLevelsAhead(const std::string& rangeFields, const std::string& keyFields, int rowsEach,
                         const std::vector<Variant>& keys);
    TLookAheadMode GetLookAheadMode() const { return FLookAheadMode; }
    void SetLookAheadMode(TLookAheadMode value);

protected:
    void OpenCursor() override;
    void CloseCursor() override;
    int FetchRecords(const TRecordData* from, bool forward, int count,
                     std::vector<TRecordData>& out) override;
    bool FetchRecord(int64_t rowId, TRecordData& out) override;
    bool LocateRecord(const std::vector<TField*>& fields, const std::vector<Variant>& values,
                      TLocateOptions options, TRecordData& out) override;
    int64_t CountRecords() override;
    void LocateEnded() noexcept override;
    void VisitRecords(const std::vector<int>& fieldNos, const TRecordVisitor& visit) override;
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
    // A record kept from this scan whose primary key equals the values of fields (which are
    // the key's fields, in any order), for an exact Locate; nullptr when none.
    bool ServeTableStart(int count, std::vector<TRecordData>& out, int& n);
    bool ServeHeldStart(const TRecordData* from, int count, std::vector<TRecordData>& out, int& n);
    const TRecordData* KeptRecordOfKey(const std::vector<TField*>& fields,
                                       const std::vector<Variant>& values) const;
    // A row read by FColumnList, from column first on.
    void ReadRow(const TSqlStatement& stmt, TRecordData& out, int first = 0) const;
    void ReadWindowRow(const TSqlStatement& stmt, TRecordData& out) const {
        ReadColumns(stmt, out, 0, FWindowColumns);
    }
    void ReadColumns(const TSqlStatement& stmt, TRecordData& out, int first,
                     const std::vector<int>& fields) const;
    std::string ColumnListOf(const std::vector<int>& fields) const;
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
    void ApplyRangeKeys(bool endsEqual);
    std::string OrderBy(int fromIndexField, bool forward) const;
    std::string OrderTerm(const TField* field, bool forward) const;
    std::string NullSafeEquals() const;
    std::string Quote(const std::string& name) const;
    int FetchLevel(const TRecordData& from, bool forward, int level, bool nullsPart, int offset,
                   int count, std::vector<TRecordData>& out);
    void OpenConnection();
    void CloseConnection();
    // Ranges read ahead (BeginLookAhead).
    bool ServeLookAhead(const TRecordData* from, int count, std::vector<TRecordData>& out, int& n);
    bool TakePendingRow();
    void TakeSourceRows(std::size_t count);
    void DropPendingAhead();
    bool LookAheadCurrent(uint64_t version);
    std::size_t SourcePlaceOf(int64_t rowId);
    bool InSourceRange() const;
    bool LookAheadKey(std::string& key) const;
    void ReadAhead();
    void DropLookAhead();
    bool SameKey(const TKeyBuffer& a, const TKeyBuffer& b) const;
    std::size_t RangeHash(const TKeyBuffer& start, const TKeyBuffer& end, bool equal) const;
    void CopyKey(TKeyBuffer& to, const TKeyBuffer& from) const;
    std::string PrefixedOrder(const std::string& prefix) const;

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
    int FRangeFirstReads = 0;   // what ApplyEqualRange's caller means to read of the range
    // The ranges applied lately, each with its number, so that a range applied again is known
    // as the same scope of records (see TDataSet::ChangeCursorScope).
    struct TAppliedRange {
        uint64_t Scope = 0;
        uint64_t Used = 0;     // when it was last applied
        std::size_t Hash = 0;  // of its start and end (RangeHash): ranges of others differ
        bool Equality = false; // its start and end are the same key
        TKeyBuffer Start;
        TKeyBuffer End;
    };
    std::vector<TAppliedRange> FRecentRanges;
    uint64_t FLastScope = 0;
    uint64_t FRangeClock = 0;

    // The ranges announced to be read ahead: the range whose records give their keys (as it was
    // applied, and as SQL), the index fields of the ranges with the key field giving each one's
    // value, and what one statement read: the source range's records in order, by handle their
    // place, and the first rows of each range by its key (Complete: no more rows follow). The
    // rows of all ranges lie in one vector, each range a stretch of it; rows read for an earlier
    // announcement are refilled in place rather than freed and allocated again.
    struct TAheadRange {
        std::size_t First = 0;
        std::size_t Count = 0;
        bool Complete = false;
    };
    struct TLookAhead {
        bool Active = false;
        bool Read = false;
        int RowsEach = 1;
        int Reads = 0;        // statements run for this announcement
        uint64_t Version = 0; // the data version they were read at
        bool SourceApplied = false;
        TKeyBuffer SourceStart;
        TKeyBuffer SourceEnd;
        TSqlText Source;
        std::vector<TField*> KeyFields; // by place of the range's index field
        std::vector<int> Columns;       // the fields read (all but pictures and texts of blobs)
        std::string ColumnList;
        std::vector<TRecordData> SourceRows; // [0, SourceCount) hold this reading's records
        std::size_t SourceCount = 0;
        // By handle, the place of each record read (SourcePlaceOf): empty until first needed.
        std::unordered_map<int64_t, std::size_t> SourcePlace;
        std::size_t SourceServed = 0;       // the end of the records last served, 0: none
        std::vector<TRecordData> RangeRows; // [0, RangeCount) hold this reading's rows
        std::size_t RangeCount = 0;
        std::unordered_map<std::string, TAheadRange> Ranges;
        // The statement whose rows are still coming: they are taken as the reader reaches them
        // (TakeAheadRow), the range of the last one taken (Filling) read whole only once the
        // next record of the source range comes. Width: the columns of a record in a row.
        TSqlStatement* Pending = nullptr;
        TAheadRange* Filling = nullptr;
        int Width = 0;
    } FLookAhead;
    const TAheadRange* AheadRangeOf(const std::string& key);
    // Levels read ahead for look-aheads to come (ReadLevelsAhead): per source range key, what
    // ReadAhead would have read for it, at one data version, for one set of key fields, columns
    // and rows each.
    struct TAheadLevel {
        std::string Key;
        std::vector<TRecordData> SourceRows;
        std::size_t SourceCount = 0;
        std::unordered_map<int64_t, std::size_t> SourcePlace;
        std::vector<TRecordData> RangeRows;
        std::size_t RangeCount = 0;
        std::unordered_map<std::string, TAheadRange> Ranges;
    };
    struct TAheadLevels {
        uint64_t Version = 0;
        int RowsEach = 0;
        std::vector<TField*> KeyFields;
        std::vector<int> Columns;
        std::vector<TAheadLevel> Levels;
    } FLevels;
    // A climb from a record through its parents (ReadAncestorsAhead): where it starts, and what
    // its statement read.
    struct TClimbStart {
        std::string KeyFields, ParentFields;
        std::vector<TField*> Keys, Parents;
        std::vector<Variant> Stored; // the start's key, as stored
    };
    struct TClimbRead {
        std::vector<TRecordData> Chain; // from the start up
        bool HasLevels = false;
        TAheadLevels Levels;
    };
    bool ClimbStartOf(const std::string& keyFields, const std::string& parentFields,
                      const Variant& key, TClimbStart& out) const;
    void ReadClimb(const TClimbStart& start, int levelRowsEach, TClimbRead& out);
    void KeepClimb(TClimbRead& read, uint64_t version);
    bool LocateWithClimb(const std::vector<TField*>& fields, const std::vector<Variant>& values,
                         TRecordData& out, bool& found);
    bool StartsAtLocated(const TClimbStart& start, const std::vector<TField*>& fields,
                         const std::vector<Variant>& values) const;
    void AdoptMoveClimb(uint64_t before);
    bool ClimbAdopted(const TClimbStart& start, int rowsEach, uint64_t version) const;
    // The climb read with a Locate, held while its move is announced, at the data version read.
    struct {
        bool Held = false;
        uint64_t Version = 0;
        TClimbStart Start;
        int RowsEach = 0;
        TClimbRead Read;
    } FMoveClimb;
    // The climb the current scan took from the move, at the scan's data version.
    struct {
        bool Held = false;
        uint64_t Version = 0;
        TClimbStart Start;
        int RowsEach = 0;
    } FClimbAdopted;
    void SwapAheadRows(TAheadLevel& level);
    bool AdoptLevel();
    bool LevelsHeld(const std::vector<TAheadLevel>& levels, uint64_t version, int rowsEach,
                    const std::vector<TField*>& byPlace,
                    const std::vector<std::string>& keys) const;
    // Rows of a statement answering several levels, read with FLookAhead's storage (no
    // look-ahead is announced meanwhile) into the level of each row's number (levelAt), the rows
    // of a level coming together; its announcement is given back at the end.
    class TLevelsReading;
    std::string ClimbLevels(const std::vector<TField*>& byPlace, const std::vector<int>& columns,
                            int rowsEach) const;
    int AheadColumnPlace(const std::vector<int>& columns, int no) const;
    bool AheadFields(const std::string& rangeFields, const std::string& keyFields,
                     std::vector<TField*>& byPlace) const;
    std::vector<int> AheadColumns() const;
    // The columns of fields in a look-ahead row or a bulk read: the row id only where it names
    // the records (a record named by its key gets its handle from the key's columns).
    std::string NamingColumnList(const std::vector<int>& fields) const;
    int AheadRowWidth(const std::vector<int>& fields) const;
    void ReadAheadColumns(const TSqlStatement& stmt, TRecordData& out, int first,
                          const std::vector<int>& fields) const;
    // The condition joining a record of the source relation s to the rows of its range.
    std::string AheadMatch(const std::vector<TField*>& keyFields) const;
    // Reads a row of a look-ahead statement into FLookAhead (range: the range being filled).
    void TakeAheadRow(const TSqlStatement& stmt, int sourceAt, int rowAt, int numberAt,
                      TAheadRange*& range);
    void FinishAheadRange(TAheadRange* range) const {
        if (range) range->Complete = static_cast<int>(range->Count) < FLookAhead.RowsEach;
    }
    TLookAheadMode FLookAheadMode = laAuto;
    // The record the cursor was on when the scan began (readers come back to it at the end, and
    // check it against the engine then): the first look-ahead reads it too, by a statement run
    // together with its own.
    // A scan that began on the table's first record (no range applied) reads the table's first
    // records instead, which then also answer reads of them while nothing was written.
    bool FScanStartHeld = false;
    bool FScanStartAtTop = false;
    int64_t FScanStart = 0;
    struct TTableStart {
        uint64_t Version = 0;
        bool Complete = false; // the table has no more records
        std::vector<TRecordData> Rows;
    } FTableStart;
    bool AddScanStart(TSqlText& sql);
    void ReadScanStart(TSqlStatement& back, bool top, uint64_t version);
    // A bulk read (VisitRecords) is stepping through its statement.
    bool FVisiting = false;
};

// Announces ranges read ahead (TTable::BeginLookAhead) for as long as it lives.
class TLookAheadScope {
public:
    TLookAheadScope(TTable& table, const std::string& rangeFields, const std::string& keyFields,
                    int rowsEach)
        : FTable(table) {
        FTable.BeginLookAhead(rangeFields, keyFields, rowsEach);
    }
    ~TLookAheadScope() { FTable.EndLookAhead(true); }
    TLookAheadScope(const TLookAheadScope&) = delete;
    TLookAheadScope& operator=(const TLookAheadScope&) = delete;

private:
    TTable& FTable;
};

} // namespace orvel
