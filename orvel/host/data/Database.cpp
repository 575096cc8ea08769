// TDatabase and the record-identity log.
#include "orvel/host/data/Database.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/SysUtils.h"
#include "orvel/host/core/TypInfo.h"
#include "orvel/host/data/DataSet.h"
#include "orvel/host/data/DataSource.h"
#include "orvel/host/data/Query.h"
#include "orvel/host/data/Table.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <map>
#include <memory>

namespace orvel {

// ---- identity log -------------------------------------------------------------------------------

void TTableIdentity::RecordDeleted(int64_t handle) {
    ++FChanges;
    ++FEpoch;
    auto it = std::lower_bound(FDeleted.begin(), FDeleted.end(), handle,
                               [](const auto& entry, int64_t id) { return entry.first < id; });
    if (it != FDeleted.end() && it->first == handle)
        it->second = FEpoch;
    else
        FDeleted.insert(it, {handle, FEpoch});
}

bool TTableIdentity::DeletedSince(int64_t handle, uint32_t epoch) const {
    auto it = std::lower_bound(FDeleted.begin(), FDeleted.end(), handle,
                               [](const auto& entry, int64_t id) { return entry.first < id; });
    return it != FDeleted.end() && it->first == handle && it->second > epoch;
}

void TTableIdentity::SetKeyedByRowId(bool value) {
    if (value == FKeyedByRowId) return;
    FKeyedByRowId = value;
    // Deletions logged under the other kind of handle name nothing now.
    FDeleted.clear();
    ++FEpoch;
}

void TTableIdentity::RowChanged(bool deleted, bool inserted, int64_t rowId) {
    if (!FKeyedByRowId) {
        RecordChanged();
        return;
    }
    // A row inserted under a row id ends whatever record had it before: one removed by a
    // conflict that the engine replaced without reporting the removal. Only a row id that a
    // bookmark may name needs the entry.
    if (deleted || (inserted && rowId <= FHighestBookmarked))
        RecordDeleted(rowId);
    else
        RecordChanged();
}

namespace {

// A key's values as bytes, each with its type, so that 1, 1.0 and '1' stay three keys as the
// engine keeps them.
void EncodeKeyValue(const Variant& value, std::string& out) {
    TVarType type = value.VarType();
    if (value.IsNull() || value.IsEmpty()) {
        out += 'N';
    } else if (type == varDouble || type == varSingle || type == varCurrency || type == varDate) {
        double d = value.AsDouble();
        out += 'F';
        out.append(reinterpret_cast<const char*>(&d), sizeof d);
    } else if (type == varString) {
        std::string text = value.AsString();
        uint64_t size = text.size();
        out += 'S';
        out.append(reinterpret_cast<const char*>(&size), sizeof size);
        out += text;
    } else {
        int64_t n = value.AsInt64();
        out += 'I';
        out.append(reinterpret_cast<const char*>(&n), sizeof n);
    }
}

// Whether a value is encoded as an integer (see EncodeKeyValue).
bool EncodedAsInteger(const Variant& value) {
    TVarType type = value.VarType();
    return !value.IsNull() && !value.IsEmpty() && type != varDouble && type != varSingle &&
           type != varCurrency && type != varDate && type != varString;
}

} // namespace

int64_t TTableIdentity::HandleOf(const std::vector<Variant>& values,
                                 const std::vector<int>& fieldNos) {
    // Every key of one field encoded as an integer is found here, never among the encoded keys,
    // so that a key has one handle.
    if (fieldNos.size() == 1 && EncodedAsInteger(values[static_cast<std::size_t>(fieldNos[0])])) {
        int no = fieldNos[0];
        auto field = std::find_if(FIntegerHandles.begin(), FIntegerHandles.end(),
                                  [no](const auto& entry) { return entry.first == no; });
        if (field == FIntegerHandles.end())
            field = FIntegerHandles.emplace(FIntegerHandles.end(), no, TIntegerHandleMap());
        int64_t value = values[static_cast<std::size_t>(no)].AsInt64();
        if (int64_t known = field->second.Find(value)) return known;
        int64_t handle = NewHandle(values, fieldNos);
        field->second.Add(value, handle);
        return handle;
    }
    // The fields are part of the key: a view's records are named by the fields it is ordered by,
    // which may change while it is open.
    FEncoded.assign(reinterpret_cast<const char*>(fieldNos.data()), fieldNos.size() * sizeof(int));
    for (int no : fieldNos)
        EncodeKeyValue(values[static_cast<std::size_t>(no)], FEncoded);
    auto it = FHandles.find(FEncoded);
    if (it != FHandles.end()) return it->second;
    int64_t handle = NewHandle(values, fieldNos);
    FHandles.emplace(FEncoded, handle);
    return handle;
}

int64_t TTableIdentity::NewHandle(const std::vector<Variant>& values,
                                  const std::vector<int>& fieldNos) {
    TKey key;
    key.FieldNos = fieldNos;
    key.Values.reserve(fieldNos.size());
    for (int no : fieldNos)
        key.Values.push_back(values[static_cast<std::size_t>(no)]);
    FKeys.push_back(std::move(key));
    return static_cast<int64_t>(FKeys.size());
}

const std::vector<Variant>* TTableIdentity::KeyOf(int64_t handle,
                                                  const std::vector<int>& fieldNos) const {
    if (handle < 1 || handle > static_cast<int64_t>(FKeys.size())) return nullptr;
    const TKey& key = FKeys[static_cast<std::size_t>(handle - 1)];
    return key.FieldNos == fieldNos ? &key.Values : nullptr;
}

namespace {

uint32_t& LastSource() {
    static uint32_t last = 0;
    return last;
}

std::map<std::string, std::unique_ptr<TTableIdentity>>& Identities() {
    static std::map<std::string, std::unique_ptr<TTableIdentity>> identities;
    return identities;
}

std::vector<TDatabase*>& Databases() {
    static std::vector<TDatabase*> databases;
    return databases;
}

// Files are known by their full path, so two connections to one file share their tables' logs;
// every in-memory database is a database of its own.
std::string IdentityKeyOf(const TSqlConnection& connection) {
    static uint64_t memoryDatabases = 0;
    std::string file = connection.FileName();
    if (file.empty()) return "memory:" + std::to_string(++memoryDatabases);
    // A server's database is known by its connection string as given.
    if (IsPostgresName(file)) return "server:" + file;
    if (char* full = realpath(file.c_str(), nullptr)) {
        file = full;
        std::free(full);
    }
    return "file:" + file;
}

} // namespace

uint32_t NewBookmarkSource() {
    return ++LastSource();
}

TTableIdentity& TableIdentity(const std::string& databaseKey, const std::string& tableName) {
    auto& slot = Identities()[databaseKey + "\n" + UpperCase(tableName)];
    if (!slot) slot = std::make_unique<TTableIdentity>(NewBookmarkSource());
    return *slot;
}

std::unique_ptr<TSqlConnection> OpenLoggedConnection(const std::string& fileName,
                                                     std::string& key) {
    std::unique_ptr<TSqlConnection> connection = OpenSqlConnection(fileName);
    key = IdentityKeyOf(*connection);
    std::string logKey = key;
    // The identity of the table changed last is kept at hand: a bulk write changes one table.
    std::string lastTable;
    TTableIdentity* last = nullptr;
    connection->SetRowChangeHook([logKey, lastTable, last](TSqlRowChange change,
                                                           std::string_view table,
                                                           int64_t rowId) mutable {
        if (!last || table != lastTable) {
            lastTable = std::string(table);
            last = &TableIdentity(logKey, lastTable);
        }
        last->RowChanged(change == TSqlRowChange::Delete, change == TSqlRowChange::Insert, rowId);
    });
    return connection;
}

// ---- TDatabase ----------------------------------------------------------------------------------

const TClassInfo& TDatabase::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TDatabase>("TDatabase", &TComponent::StaticClassInfo())
            .Property("DatabaseName", &TDatabase::GetDatabaseName, &TDatabase::SetDatabaseName)
            .Property("Connected", &TDatabase::GetConnected, &TDatabase::SetConnected,
                      Variant(false))
            .Creatable()
            .Build();
    return info;
}

TDatabase::TDatabase(TComponent* owner) : TComponent(owner) {
    Databases().push_back(this);
}

TDatabase::~TDatabase() {
    Disconnect();
    auto& all = Databases();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

void TDatabase::Destroying() {
    TComponent::Destroying();
    Disconnect();
}

void TDatabase::SetDatabaseName(const std::string& value) {
    if (value == FDatabaseName) return;
    if (FConnection) RaiseRes<EDatabaseError>(SDataSetOpen);
    FDatabaseName = value;
}

void TDatabase::SetConnected(bool value) {
    if (IsLoading()) {
        FStreamedConnected = value;
        return;
    }
    if (value)
        Connect();
    else
        Disconnect();
}

void TDatabase::Loaded() {
    TComponent::Loaded();
    if (FStreamedConnected) {
        FStreamedConnected = false;
        Connect();
    }
}

void TDatabase::Connect() {
    if (FConnection) return;
    if (FDatabaseName.empty()) RaiseRes<EDatabaseError>(SNoDatabase);
    FConnection = OpenLoggedConnection(FDatabaseName, FIdentityKey);
}

void TDatabase::Disconnect() {
    while (!FDataSets.empty()) {
        TDataSet* ds = FDataSets.back();
        FDataSets.pop_back();
        if (ds->GetActive() && !ds->IsDestroying()) ds->Close();
    }
    FConnection.reset();
}

TSqlConnection& TDatabase::Connection() {
    Connect();
    return *FConnection;
}

TDatabase* TDatabase::FindDatabase(const std::string& name) {
    if (name.empty()) return nullptr;
    for (TDatabase* db : Databases())
        if (!db->IsDestroying() && SameText(db->FDatabaseName, name)) return db;
    return nullptr;
}

void TDatabase::RegisterDataSet(TDataSet* dataSet) {
    if (std::find(FDataSets.begin(), FDataSets.end(), dataSet) == FDataSets.end())
        FDataSets.push_back(dataSet);
}

void TDatabase::UnregisterDataSet(TDataSet* dataSet) {
    FDataSets.erase(std::remove(FDataSets.begin(), FDataSets.end(), dataSet), FDataSets.end());
}

void RegisterDataClasses() {
    for (const TClassInfo* info : {&TDatabase::StaticClassInfo(), &TTable::StaticClassInfo(),
                                   &TQuery::StaticClassInfo(), &TDataSource::StaticClassInfo()})
        RegisterClass(*info);
}

} // namespace orvel
