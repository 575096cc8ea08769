// TDatabase: a connection to an SQLite file or ":memory:", or to a PostgreSQL database, that
// tables and queries share, and the record-identity log that keeps bookmarks honest.
#pragma once

#include "orvel/host/core/Component.h"
#include "orvel/host/core/TypInfo.h"
#include "orvel/host/core/Variant.h"
#include "orvel/host/data/DBCommon.h"
#include "orvel/host/data/IntegerHandleMap.h"
#include "orvel/host/data/sql/SqlEngine.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvel {

class TDataSet;

// What bookmarks need to know of one table: its identity (the Source of its bookmarks) and the
// deletion epoch at which each deleted record was last deleted. The log is shared by every
// connection of this process to the same database file, and fed by their row-change hooks.
// It also counts every row change, so that records read earlier can be known to be current.
//
// A record is named by a handle: its row id where the row id is the table's key, else a number
// this log gives to each key (the values of the key columns) it meets, the same number for the
// same key for as long as the process runs. A handle therefore always leads back to one key, and
// a bookmark never to a record with another key.
class TTableIdentity {
public:
    explicit TTableIdentity(uint32_t id) : FId(id) {}
    uint32_t Id() const { return FId; }
    uint32_t Epoch() const { return FEpoch; }
    // Grows with every row inserted, updated or deleted through a connection of this process.
    uint64_t Changes() const { return FChanges; }
    void RecordChanged() { ++FChanges; }
    void RecordDeleted(int64_t handle);
    // The record with that handle has been deleted after a bookmark taken at epoch.
    bool DeletedSince(int64_t handle, uint32_t epoch) const;

    // Whether handles are row ids (set by the tables opened on it). The row ids the change hook
    // reports name records only then; otherwise they only count as changes.
    bool KeyedByRowId() const { return FKeyedByRowId; }
    void SetKeyedByRowId(bool value);
    // A row change reported by a connection's hook.
    void RowChanged(bool deleted, bool inserted, int64_t rowId);
    // A bookmark names the handle.
    void Bookmarked(int64_t handle) { FHighestBookmarked = std::max(FHighestBookmarked, handle); }

    // The handle of the key made of values[fieldNos[i]] (a new one for a key not met before).
    int64_t HandleOf(const std::vector<Variant>& values, const std::vector<int>& fieldNos);
    // The key values of a handle given by HandleOf for the same fields, or nullptr.
    const std::vector<Variant>* KeyOf(int64_t handle, const std::vector<int>& fieldNos) const;

private:
    uint32_t FId;
    uint32_t FEpoch = 0;
    uint64_t FChanges = 0;
    bool FKeyedByRowId = true;
    int64_t FHighestBookmarked = INT64_MIN;
    std::vector<std::pair<int64_t, uint32_t>> FDeleted; // kept sorted by handle
    std::unordered_map<std::string, int64_t> FHandles;  // encoded key -> handle
    struct TKey {
        std::vector<int> FieldNos;
        std::vector<Variant> Values;
    };
    std::vector<TKey> FKeys; // handle - 1 -> key
    std::string FEncoded;    // reused for every lookup
    // Keys of one integer field (the usual key) by field and value: no encoding, and neighbouring
    // values stay neighbours in memory, where a scan of a range reads them one after another.
    std::vector<std::pair<int, TIntegerHandleMap>> FIntegerHandles;
    int64_t NewHandle(const std::vector<Variant>& values, const std::vector<int>& fieldNos);
};

// The identity of a table of a database (databaseKey: see TDatabase::IdentityKey).
TTableIdentity& TableIdentity(const std::string& databaseKey, const std::string& tableName);
// A fresh bookmark source for datasets whose records have no lasting identity (query results).
uint32_t NewBookmarkSource();

class TDatabase : public TComponent {
    ORVEL_PUBLISHED(TDatabase)

public:
    explicit TDatabase(TComponent* owner);
    ~TDatabase() override;

    // The file to open, ":memory:", or a PostgreSQL URI (postgresql://...) or connection string
    // (host=... dbname=...); any password in it is masked in every message. Tables that name it in
    // their DatabaseName use this database.
    const std::string& GetDatabaseName() const { return FDatabaseName; }
    void SetDatabaseName(const std::string& value);
    bool GetConnected() const { return FConnection != nullptr; }
    void SetConnected(bool value);
    void Open() { SetConnected(true); }
    // Closes every dataset using the database first.
    void Close() { SetConnected(false); }
    void Loaded() override;

    // The engine connection; opens the database when needed.
    TSqlConnection& Connection();
    // Runs statements that give no rows.
    void Execute(const std::string& sql) { Connection().Execute(sql); }
    void GetTableNames(std::vector<std::string>& names) { names = Connection().TableNames(); }
    // The key under which the identities of this database's tables are kept.
    const std::string& IdentityKey() const { return FIdentityKey; }

    // The open database component whose DatabaseName is name, or nullptr.
    static TDatabase* FindDatabase(const std::string& name);

    void RegisterDataSet(TDataSet* dataSet);
    void UnregisterDataSet(TDataSet* dataSet);

protected:
    void Destroying() override;

private:
    void Connect();
    void Disconnect();

    std::string FDatabaseName;
    std::unique_ptr<TSqlConnection> FConnection;
    std::string FIdentityKey;
    std::vector<TDataSet*> FDataSets;
    bool FStreamedConnected = false;
};

// Makes the data-access components known to form files by class name (TDatabase, TTable, TQuery,
// TDataSource). Calling it again does no harm.
void RegisterDataClasses();

// Opens an engine connection to fileName whose row changes feed the identity log; key receives
// the identity key of the database.
std::unique_ptr<TSqlConnection> OpenLoggedConnection(const std::string& fileName, std::string& key);

} // namespace orvel
