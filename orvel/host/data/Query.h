// TQuery: a read-only dataset over the result of one SELECT. The result is read once when the
// query opens (and again on Refresh) and kept in memory; queries are meant for results of a
// modest size, tables for whole tables.
#pragma once

#include "orvel/host/core/Strings.h"
#include "orvel/host/data/DataSet.h"
#include "orvel/host/data/Database.h"

#include <memory>
#include <string>
#include <vector>

namespace orvel {

class TQuery : public TDataSet {
    ORVEL_PUBLISHED(TQuery)

public:
    explicit TQuery(TComponent* owner);
    ~TQuery() override;

    TDatabase* GetDatabase() const { return FDatabase; }
    void SetDatabase(TDatabase* value);
    const std::string& GetDatabaseName() const { return FDatabaseName; }
    void SetDatabaseName(const std::string& value);
    // The statement text; changing it closes the query.
    TStringList* GetSQL() const { return FSQL.get(); }
    void SetSQL(TStrings* value);
    // Runs the statement without opening the query (for statements that give no rows).
    void ExecSQL();
    bool CanModify() const override { return false; }
    void Notification(TComponent* component, TOperation operation) override;

protected:
    void OpenCursor() override;
    void CloseCursor() override;
    int FetchRecords(const TRecordData* from, bool forward, int count,
                     std::vector<TRecordData>& out) override;
    bool FetchRecord(int64_t rowId, TRecordData& out) override;
    bool LocateRecord(const std::vector<TField*>& fields, const std::vector<Variant>& values,
                      TLocateOptions options, TRecordData& out) override;
    int64_t CountRecords() override { return static_cast<int64_t>(FRows.size()); }
    TBookmark MakeBookmark(int64_t rowId) const override;
    bool BookmarkIdentityValid(const TBookmark& bookmark) const override;

private:
    TSqlConnection& Connection();
    void SQLChanged();

    TDatabase* FDatabase = nullptr;
    std::string FDatabaseName;
    std::unique_ptr<TStringList> FSQL;
    std::unique_ptr<TSqlConnection> FOwnConnection;
    std::vector<TRecordData> FRows; // RowId is the row's position
    uint32_t FSource = 0;
};

} // namespace orvel
