// Forms designed with the package's components: written to a form text and read back the same,
// a tree view read from a form filling itself from its table after Loaded (through the message
// loop), and damaged form texts raising their error without leaving anything behind.
#include "orvel/controls/DBBCBc.h"
#include "orvel/controls/DBImLst.h"
#include "orvel/controls/ValueLookupCombo.h"
#include "orvel/design/OrvelReg.h"
#include "orvel/grid/ExtendedGrid.h"
#include "orvel/host/controls/ControlClasses.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/design/FormFiles.h"
#include "orvel/listview/DataBaseListView.h"
#include "orvel/treeview/DBCustomTreeView.h"
#include "tests/support/data/DataFixtures.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace orvel {
namespace {

// The tree's top level as "caption" with "+" for an expand button, joined by ", ".
std::string TopLevel(const TDBTreeView& tree) {
    std::string text;
    for (TTreeNode* n = tree.Items()->GetFirstNode(); n; n = n->GetNextSibling())
        text += (text.empty() ? "" : ", ") + n->Text() + (n->HasChildren() ? "+" : "");
    return text;
}

class DesignFormsTest : public TUiTest {
protected:
    void SetUp() override {
        TUiTest::SetUp();
        ResetDesignerRegistry();
        OrvelReg::Register();
        RegisterDataClasses();
        RegisterControlClasses();
        db = std::make_unique<test::TTestDatabase>(test::TStorage::TempFile);
    }
    void TearDown() override {
        run_messages();
        db.reset();
        ResetDesignerRegistry();
        TUiTest::TearDown();
    }
    // A table of the test database on the form, by file name as a form text names it.
    TTable* TableOn(TComponent* form, const std::string& name, const std::string& table,
                    const std::string& index = "") {
        auto* t = new TTable(form);
        t->SetName(name);
        t->SetDatabaseName(db->FileName());
        t->SetTableName(table);
        t->SetIndexFieldNames(index);
        t->Open();
        return t;
    }
    template <class C> C* Place(TForm* form, const std::string& name) {
        auto* c = new C(form);
        c->SetName(name);
        c->SetParent(form);
        c->SetBounds(8, 8 + 40 * form->ControlCount(), 200, 32);
        return c;
    }
    // What a form text for the organisation tree looks like; pieces may be replaced.
    std::string TreeForm(const std::string& treeProperties) {
        return "object OrgForm: TForm\n"
               "  Caption = 'Organisation'\n"
               "  object Tree: TDBTreeView\n"
               "    Width = 300\n"
               "    Height = 400\n"
               "    DataSource = OrgSource\n" +
               treeProperties +
               "  end\n"
               "  object Organization: TTable\n"
               "    DatabaseName = '" +
               db->FileName() +
               "'\n"
               "    TableName = 'ORGANIZATION'\n"
               "    IndexFieldNames = 'PARENT_ID'\n"
               "    Active = True\n"
               "  end\n"
               "  object OrgSource: TDataSource\n"
               "    DataSet = Organization\n"
               "  end\n"
               "end\n";
    }
    std::unique_ptr<test::TTestDatabase> db;
};

TEST_F(DesignFormsTest, ADesignedFormIsWrittenAndReadBackTheSame) {
    TOwned<TForm> form(new TForm(nullptr));
    form->SetName("DesignedForm");
    form->SetCaption("Everything");
    TTable* organization = TableOn(form.get(), "Organization", "ORGANIZATION", "PARENT_ID");
    auto* orgSource = new TDataSource(form.get());
    orgSource->SetName("OrgSource");
    orgSource->SetDataSet(organization);
    TTable* items = TableOn(form.get(), "Items", "ITEMS");
    auto* itemSource = new TDataSource(form.get());
    itemSource->SetName("ItemSource");
    itemSource->SetDataSet(items);

    auto* tree = Place<TDBTreeView>(form.get(), "Tree");
    tree->SetNameField("NAME");
    tree->SetStatusIDField("STATUS_ID");
    tree->SetRelations("PARENT_ID->ID");
    tree->SetTopParentKey("Null");
    tree->SetLoadStyle(lsAllAhead);
    tree->SetInsertMode(imAddChild);
    tree->SetDataSource(orgSource);
    auto* list = Place<TDBListView>(form.get(), "List");
    list->SetNameField("NAME");
    list->SetKeyFields("ID");
    list->SetColumnsFields("CODE;PRICE");
    list->SetDataSource(itemSource);
    auto* combo = Place<TDBValueLookupCombo>(form.get(), "Status");
    TStringList lookup;
    lookup.AddObject("Open", IntToObject(1));
    lookup.AddObject("Closed", IntToObject(-5));
    combo->SetItems(&lookup);
    combo->SetDataSource(itemSource);
    combo->SetDataField("STATUS_ID");
    auto* flags = Place<TDBBitCheckBox>(form.get(), "TopFlag");
    flags->SetDataSource(itemSource);
    flags->SetDataField("FLAGS");
    flags->SetMask(INT32_MIN | 4);
    auto* pictures = new TDBImageList(form.get());
    pictures->SetName("Pictures");
    pictures->SetIDField("ID");
    pictures->SetImageField("PIC");
    auto* grid = Place<TExtendedGrid>(form.get(), "Grid");
    TStringList values{"red", "green"};
    grid->SetValuesList(&values);
    grid->SetValColumn(1);
    run_messages();

    std::string text = WriteComponentToText(form.get());
    form.reset();
    TOwned<TComponent> again(ReadComponentFromText(text, nullptr));
    EXPECT_EQ(WriteComponentToText(again.get()), text);

    auto* tree2 = dynamic_cast<TDBTreeView*>(again->FindComponent("Tree"));
    auto* combo2 = dynamic_cast<TDBValueLookupCombo*>(again->FindComponent("Status"));
    auto* flags2 = dynamic_cast<TDBBitCheckBox*>(again->FindComponent("TopFlag"));
    auto* grid2 = dynamic_cast<TExtendedGrid*>(again->FindComponent("Grid"));
    auto* list2 = dynamic_cast<TDBListView*>(again->FindComponent("List"));
    ASSERT_TRUE(tree2 && combo2 && flags2 && grid2 && list2);
    EXPECT_EQ(tree2->GetDataSource(), again->FindComponent("OrgSource"));
    EXPECT_EQ(tree2->GetLinksFields(), "PARENT_ID->ID");
    EXPECT_EQ(tree2->GetLoadStyle(), lsAllAhead);
    EXPECT_EQ(tree2->GetInsertMode(), imAddChild);
    EXPECT_EQ(list2->GetColumnsFields(), "CODE;PRICE");
    EXPECT_EQ(ObjectToInt(combo2->GetItems()->GetObject(1)), -5);
    EXPECT_EQ(flags2->GetMask(), INT32_MIN | 4);
    EXPECT_EQ(grid2->GetValuesColumn(), 1);
    EXPECT_EQ(grid2->GetValuesList()->ToVector(), (std::vector<std::string>{"red", "green"}));
    EXPECT_EQ(flags2->Parent(), again.get());
    dynamic_cast<TForm&>(*again).Show(); // the tree's window is made and asks for its reload
    run_messages();
    EXPECT_EQ(TopLevel(*tree2), "Head office+, Branch office+");
}

TEST_F(DesignFormsTest, ATreeReadFromAFormFillsItselfThroughTheMessageLoop) {
    TOwned<TComponent> form(ReadComponentFromText(TreeForm("    NameField = 'NAME'\n"
                                                           "    LinksFields = 'PARENT_ID->ID'\n"
                                                           "    RootKey = 'Null'\n"),
                                                  nullptr));
    auto* tree = dynamic_cast<TDBTreeView*>(form->FindComponent("Tree"));
    ASSERT_NE(tree, nullptr);
    EXPECT_FALSE(tree->IsLoading());
    EXPECT_TRUE(tree->GetDataSource()->GetDataSet()->GetActive());
    // The tree fills itself through a message posted to its window, never inside Loaded.
    auto& shown = dynamic_cast<TForm&>(*form);
    shown.Show();
    EXPECT_EQ(tree->Items()->Count(), 0);
    run_messages();
    EXPECT_EQ(TopLevel(*tree), "Head office+, Branch office+");
    EXPECT_EQ(tree->Selected() ? tree->Selected()->Text() : "", "Head office");
}

TEST_F(DesignFormsTest, DamagedFormTextsRaiseTheirErrorAndLeaveNothing) {
    struct TCase {
        std::string Properties;
        std::string Message;
    };
    const TCase cases[] = {
        {"    NameField = 'NAME'\n    LoadStyle = lsSideways\n",
         "Line 8: Invalid property value lsSideways"},
        {"    NameField = 'NAME'\n    RootKey = 'x y'\n",
         "Line 8: Wrong root expression has been specified: 'x y'"},
        {"    NameField = 'NAME'\n    LinksFields = PARENT_ID\n", "Line 8: String expected"},
        // The tree's activation fails when its table opens, in the table's Loaded.
        {"    NameField = 'NO_SUCH_FIELD'\n", "Line 9: Field 'NO_SUCH_FIELD' not found"},
    };
    int forms = Screen().FormCount();
    for (const TCase& c : cases) {
        try {
            TOwned<TComponent> form(ReadComponentFromText(TreeForm(c.Properties), nullptr));
            ADD_FAILURE() << "no error for " << c.Properties;
        } catch (const EReadError& e) {
            EXPECT_EQ(e.what(), c.Message);
        }
        EXPECT_EQ(Screen().FormCount(), forms);
        EXPECT_EQ(Application().QueuedCount(), 0u); // no reload left for a tree that is gone
        run_messages();
    }
}

} // namespace
} // namespace orvel
