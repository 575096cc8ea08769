// The explorer's generated sample written to PostgreSQL (the test server ORVEL_PG names): every
// record is written (the server keeps the capitals of the quoted column names and wants Booleans
// as such), and the indexes over the parent fields end in the table's key, so that they serve the
// order the views page by.
#include "apps/explorer/SampleData.h"

#include "orvel/host/data/sql/SqlEngine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <unistd.h>

namespace orvel::test {
namespace {

TEST(PostgresExplorerSample, GeneratedSampleIsWholeAndItsParentIndexesEndInTheKey) {
    const char* server = std::getenv("ORVEL_PG");
    ASSERT_TRUE(server && *server) << "ORVEL_PG names no test server (./run test starts one)";
    std::string schema = "orvel_explorer_sample_" + std::to_string(getpid());
    auto admin = OpenPostgresConnection(server);
    admin->Execute("DROP SCHEMA IF EXISTS " + schema + " CASCADE; CREATE SCHEMA " + schema);
    std::string name = std::string(server) + " options='-csearch_path=" + schema + "'";
    std::map<std::string, std::string> columns;
    int64_t objects = 0, attributes = 0;
    try {
        explorer::GenerateDatabase(name, 50);
        auto count = OpenPostgresConnection(name);
        auto stmt = count->Prepare("SELECT (SELECT COUNT(*) FROM \"Objects\"), "
                                   "(SELECT COUNT(*) FROM \"Attributes\")");
        if (stmt->Step()) {
            objects = stmt->ColumnInt64(0);
            attributes = stmt->ColumnInt64(1);
        }
        auto indexes = admin->Prepare("SELECT indexname::text, indexdef FROM pg_indexes WHERE "
                                      "schemaname = CAST(? AS text)");
        indexes->BindText(0, schema);
        while (indexes->Step()) {
            std::string definition(indexes->ColumnText(1));
            columns[std::string(indexes->ColumnText(0))] =
                definition.substr(definition.rfind('(') + 1);
        }
    } catch (...) {
        admin->Execute("DROP SCHEMA " + schema + " CASCADE");
        throw;
    }
    admin->Execute("DROP SCHEMA " + schema + " CASCADE");
    EXPECT_EQ(objects, 50);
    EXPECT_GT(attributes, 0);
    EXPECT_EQ(columns["classesancestor"], "\"AncestorID\" NULLS FIRST, \"ClassID\")");
    EXPECT_EQ(columns["objectsowner"], "\"OwnerOriginID\" NULLS FIRST, \"OwnerObjectID\" NULLS "
                                       "FIRST, \"OriginID\", \"ObjectID\")");
    EXPECT_EQ(columns["inventoryowner"], "\"OwnerID\" NULLS FIRST, \"InventoryID\")");
    EXPECT_EQ(columns["attributesclass"], "\"ClassID\" NULLS FIRST, \"AttributeID\")");
}

} // namespace
} // namespace orvel::test
