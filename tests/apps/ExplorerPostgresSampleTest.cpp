// The explorer's generated sample written to PostgreSQL (the test server ORVEL_PG names): every
// record is written (the server keeps the capitals of the quoted column names and wants Booleans
// as such), the indexes over the parent fields end in the table's key, so that they serve the
// order the views page by, and the explorer opens the sample and edits it there.
#include "apps/explorer/SampleData.h"
#include "tests/apps/ExplorerRun.h"

#include "orvel/host/data/sql/SqlEngine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

namespace orvel::test {
namespace {

// A schema of its own on the test server, dropped at the end whatever happens.
class TServerSchema {
public:
    TServerSchema(const std::string& server, const std::string& prefix)
        : FName(prefix + std::to_string(getpid())), FAdmin(OpenPostgresConnection(server)) {
        FAdmin->Execute("DROP SCHEMA IF EXISTS " + FName + " CASCADE; CREATE SCHEMA " + FName);
        Database = server + " options='-csearch_path=" + FName + "'";
    }
    ~TServerSchema() {
        try {
            FAdmin->Execute("DROP SCHEMA " + FName + " CASCADE");
        } catch (...) {
        }
    }
    TServerSchema(const TServerSchema&) = delete;
    TServerSchema& operator=(const TServerSchema&) = delete;

    std::string Scalar(const std::string& sql) {
        auto connection = OpenPostgresConnection(Database);
        auto stmt = connection->Prepare(sql);
        return stmt->Step() ? std::string(stmt->ColumnText(0)) : "";
    }

    const std::string& Name() const { return FName; }
    std::string Database;

private:
    std::string FName;
    std::unique_ptr<TSqlConnection> FAdmin;
};

TEST(PostgresExplorerSample, GeneratedSampleIsWholeAndItsParentIndexesEndInTheKey) {
    const char* server = std::getenv("ORVEL_PG");
    ASSERT_TRUE(server && *server) << "ORVEL_PG names no test server (./run test starts one)";
    TServerSchema schema(server, "orvel_explorer_sample_");
    std::map<std::string, std::string> columns;
    int64_t objects = 0, attributes = 0;
    explorer::GenerateDatabase(schema.Database, 50);
    auto connection = OpenPostgresConnection(schema.Database);
    auto stmt = connection->Prepare("SELECT (SELECT COUNT(*) FROM \"Objects\"), "
                                    "(SELECT COUNT(*) FROM \"Attributes\")");
    if (stmt->Step()) {
        objects = stmt->ColumnInt64(0);
        attributes = stmt->ColumnInt64(1);
    }
    auto indexes = connection->Prepare("SELECT indexname::text, indexdef FROM pg_indexes WHERE "
                                       "schemaname = CAST(? AS text)");
    indexes->BindText(0, schema.Name());
    while (indexes->Step()) {
        std::string definition(indexes->ColumnText(1));
        columns[std::string(indexes->ColumnText(0))] = definition.substr(definition.rfind('(') + 1);
    }
    EXPECT_EQ(objects, 50);
    EXPECT_GT(attributes, 0);
    EXPECT_EQ(columns["classesancestor"], "\"AncestorID\" NULLS FIRST, \"ClassID\")");
    EXPECT_EQ(columns["objectsowner"], "\"OwnerOriginID\" NULLS FIRST, \"OwnerObjectID\" NULLS "
                                       "FIRST, \"OriginID\", \"ObjectID\")");
    EXPECT_EQ(columns["inventoryowner"], "\"OwnerID\" NULLS FIRST, \"InventoryID\")");
    EXPECT_EQ(columns["attributesclass"], "\"ClassID\" NULLS FIRST, \"AttributeID\")");
}

TRun RunExplorer(const std::string& database, const std::string& keys) {
    return RunShell(ShellQuote(ORVEL_EXPLORER) + " --size 100x30 --keys " + ShellQuote(keys) + " " +
                    ShellQuote(database) + " 2>&1");
}

// Every statement of the explorer's own finds its tables and columns on a server that keeps the
// capitals of quoted names, "SD" among them: the record panel with its statuses and attributes,
// a find by name (without regard to case, as on SQLite), the next key of a new record and an
// attribute's value.
TEST(PostgresExplorer, OpensItsSampleInsertsARecordAndSavesAnAttribute) {
    const char* server = std::getenv("ORVEL_PG");
    ASSERT_TRUE(server && *server) << "ORVEL_PG names no test server (./run test starts one)";
    TServerSchema schema(server, "orvel_explorer_run_");
    explorer::GenerateDatabase(schema.Database, 30);

    TRun opened = RunExplorer(schema.Database, "<Down><Down>");
    ASSERT_EQ(opened.ExitCode, 0) << opened.Screen;
    EXPECT_TRUE(opened.Shows("Object 3")) << opened.Screen;
    EXPECT_TRUE(opened.Shows("Attribute")) << opened.Screen;
    // Finding by name ignores case there too.
    TRun found = RunExplorer(schema.Database, "/OBJECT 13<Enter>");
    EXPECT_TRUE(TRun::IsSelected(found.TreeRow("Object 13"))) << found.Screen;

    std::string last = schema.Scalar("SELECT MAX(\"ObjectID\") FROM \"Objects\" WHERE "
                                     "\"OriginID\" = 1");
    TRun inserted = RunExplorer(schema.Database, "<Ins>Loose Ends<Enter>");
    EXPECT_EQ(inserted.ExitCode, 0) << inserted.Screen;
    EXPECT_EQ(schema.Scalar("SELECT \"ObjectID\" FROM \"Objects\" WHERE \"Name\" = 'Loose Ends'"),
              std::to_string(std::stoi(last) + 1));

    TRun saved = RunExplorer(schema.Database, "<Down><Down><Tab><Tab><Tab><Tab><Tab><Tab><Tab>"
                                              "<Tab><Down><Enter>Alice<Enter>");
    EXPECT_EQ(saved.ExitCode, 0) << saved.Screen;
    EXPECT_TRUE(saved.Shows("Saved ")) << saved.Screen;
    EXPECT_EQ(schema.Scalar("SELECT Value FROM \"AttributeValues\" WHERE OriginID = 1 AND "
                            "ObjectID = 3"),
              "Alice");
}

} // namespace
} // namespace orvel::test
