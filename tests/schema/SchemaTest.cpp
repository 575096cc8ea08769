// The schema declarations: identifiers and their array, the owning definition list, sets and the
// ready-made view configurations.
#include "orvel/schema/FieldNames.h"
#include "orvel/schema/LudraTypes.h"

#include <gtest/gtest.h>

using namespace orvel;

namespace {

// A definition that records its own destruction in a shared log.
class TNamedDefinition : public TLDataDefinition {
public:
    TNamedDefinition(std::string name, std::vector<std::string>* log)
        : FName(std::move(name)), FLog(log) {}
    ~TNamedDefinition() override { FLog->push_back(FName); }
    bool Prepare() override { return true; }
    bool Validate() override { return true; }
    void Create() override {}
    void Alter() override {}
    void Drop() override {}
    bool Exists() override { return false; }
    std::string GetSQL(TDataDefOperation) override { return {}; }
    void Load() override {}
    void Save() override {}
    void Assign(TLDataDefinition*) override {}
    bool IsEqualTo(TLDataDefinition* other) override { return other == this; }
    void Clear() override {}
    TLTableType GetTableType() override { return ttClass; }
    void Perform(TDataDefOperation) override {}
    std::string GetName() override { return FName; }

private:
    std::string FName;
    std::vector<std::string>* FLog;
};

} // namespace

TEST(Schema, ObjectIdentifiersCompareByBothNumbers) {
    Tobject_idArray ids;
    ids.Add(Object_idF(1, 10));
    ids.Add(Object_idF(2, 10)); // same object number, other origin: a different object
    EXPECT_EQ(ids.IndexOf(Object_idF(2, 10)), 1);
    EXPECT_EQ(ids.IndexOf(Object_idF(3, 10)), -1);
    ids.Insert(0, Object_idF(9, 9));
    EXPECT_EQ(ids.First().OriginID, 9);
    EXPECT_EQ(ids.Last().OriginID, 2);
    Tobject_idArray copy;
    copy.Add(Object_idF(7, 7));
    copy.Assign(ids);
    EXPECT_EQ(copy.Count(), 3);
    EXPECT_EQ(copy.Get(1).ObjectID, 10);
    EXPECT_EQ(copy.Remove(Object_idF(1, 10)), 1);
    EXPECT_THROW(copy.Get(2), EArrayError);
}

TEST(Schema, DefinitionListOwnsFindsSkipsEmptySlotsAndDeletes) {
    std::vector<std::string> freed;
    {
        TLDefinitionList list;
        list.Add(new TNamedDefinition("Classes", &freed));
        list.Add(nullptr); // an empty slot
        auto* objects = new TNamedDefinition("Objects", &freed);
        list.Add(objects);
        EXPECT_EQ(list.FindDefByName("Objects"), objects);
        EXPECT_EQ(list.FindDefByName("objects"), nullptr); // exact, case-sensitive
        EXPECT_EQ(list.IndexOf(objects), 2);
        list.DelDefByName("Nothing");
        EXPECT_EQ(list.Count(), 3);
        list.DelDefByName("Objects");
        EXPECT_EQ(list.Count(), 2);
        EXPECT_EQ(freed, (std::vector<std::string>{"Objects"}));
        auto* status = new TNamedDefinition("Status", &freed);
        list.Get(0)->AddDependent(status);
        EXPECT_EQ(status->DependsOn(), list.Get(0));
        list.Add(status);
    }
    EXPECT_EQ(freed, (std::vector<std::string>{"Objects", "Classes", "Status"})); // index order
}

TEST(Schema, SetsAndEnumerations) {
    TLPermissionSet p{ssReadClass, ssDeleteLookup};
    EXPECT_TRUE(p.Contains(ssDeleteLookup));
    EXPECT_FALSE(p.Contains(ssAdminister));
    EXPECT_EQ(p.Mask(), (1ull << 8) | (1ull << 29));
    EXPECT_EQ(TLPermissionSet::Capacity(), 30);
    EXPECT_EQ(static_cast<int>(ssDeleteLookup), 29);
    EXPECT_EQ(static_cast<int>(aoCollectionDeleted), 12);
    TActionOptions options = TActionOptions{aoMOChange} + TActionOptions{aoAttributeAdded};
    EXPECT_TRUE(options.Contains(aoAttributeAdded));
    EXPECT_TRUE((options - TActionOptions{aoMOChange}) == TActionOptions{aoAttributeAdded});
    EXPECT_EQ(CEVarExtents[1], 768u);
}

TEST(Schema, ViewConfigurationsUseTheComponentsTexts) {
    EXPECT_EQ(CSTable2[tiLinks], "OwnerOriginID->OriginID;OwnerObjectID->ObjectID");
    EXPECT_EQ(CSTable2[tiRoot], "null;null");
    EXPECT_EQ(CSTable1[tiRoot], "null");
    EXPECT_EQ(CSTable5[tiColumns], "ServiceName;UserName");
    EXPECT_TRUE(CSTable5[tiParent].empty());
    for (const std::string& entry : CSBlankTable)
        EXPECT_TRUE(entry.empty());
    EXPECT_EQ(COCFNames[7], "StatusID");
    EXPECT_EQ(CACFNames2[7], "");
    EXPECT_EQ(CSFNames[4], "SmallImage");
}
