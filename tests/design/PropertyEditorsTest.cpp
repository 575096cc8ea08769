// A designer session over the registered property editors: the palette, the value lists each
// field-name property offers on an open and on a closed table, typed relation and key texts, and
// the dialog editors driven through the modal driver, confirmed and cancelled.
#include "orvel/controls/DBBCBc.h"
#include "orvel/controls/DBImLst.h"
#include "orvel/controls/ValueLookupCombo.h"
#include "orvel/design/FieldsDlg.h"
#include "orvel/design/IntMaskEdit.h"
#include "orvel/design/OrvelReg.h"
#include "orvel/design/RelEdit.h"
#include "orvel/design/ValueLookupsEditor.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/listview/DataBaseListView.h"
#include "orvel/treeview/DBCustomTreeView.h"
#include "tests/support/data/DataFixtures.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace orvel {
namespace {

using Names = std::vector<std::string>;

void Press(TButton& button) {
    click(button, button.Width() / 2, button.Height() / 2);
}

// A form being designed: a table NODES (ID, PARENT_ID, NAME, PIC) through a data source, and one
// component of each kind bound to it.
class DesignerTest : public TUiTest {
protected:
    void SetUp() override {
        TUiTest::SetUp();
        ResetDesignerRegistry();
        OrvelReg::Register();
        db = std::make_unique<test::TTestDatabase>();
        db->Execute("CREATE TABLE NODES (ID INTEGER PRIMARY KEY, PARENT_ID INTEGER, NAME "
                    "VARCHAR(40), PIC BLOB)");
        form = std::make_unique<TTestForm>();
        table = new TTable(&form->Form());
        table->SetDatabase(&db->Database());
        table->SetTableName("NODES");
        table->SetIndexFieldNames("PARENT_ID");
        table->Open();
        source = new TDataSource(&form->Form());
        source->SetDataSet(table);
        tree = &form->Place<TDBTreeView>(0, 0, 200, 200);
        tree->SetNameField("NAME");
        tree->SetDataSource(source);
        list = &form->Place<TDBListView>(200, 0, 200, 200);
        list->SetNameField("NAME");
        list->SetKeyFields("ID");
        list->SetDataSource(source);
        images = new TDBImageList(&form->Form());
        images->SetDataSet(table);
        combo = &form->Place<TDBValueLookupCombo>(0, 210, 150, 24);
        combo->SetDataSource(source);
        combo->SetDataField("PARENT_ID");
        box = &form->Place<TDBBitCheckBox>(0, 240, 150, 20);
        box->SetDataSource(source);
    }
    void TearDown() override {
        form.reset();
        db.reset();
        ResetDesignerRegistry();
        TUiTest::TearDown();
    }

    std::unique_ptr<TPropertyEditor> Editor(TComponent* c, const std::string& property) {
        return GetPropertyEditor(&designer, {c}, property);
    }
    Names Values(TComponent* c, const std::string& property) {
        Names out;
        Editor(c, property)->GetValues([&](const std::string& s) { out.push_back(s); });
        return out;
    }

    TDesigner designer;
    std::unique_ptr<test::TTestDatabase> db;
    std::unique_ptr<TTestForm> form;
    TTable* table = nullptr;
    TDataSource* source = nullptr;
    TDBTreeView* tree = nullptr;
    TDBListView* list = nullptr;
    TDBImageList* images = nullptr;
    TDBValueLookupCombo* combo = nullptr;
    TDBBitCheckBox* box = nullptr;
};

template <class E> bool EditorIs(TPropertyEditor& e) {
    return dynamic_cast<E*>(&e) != nullptr && typeid(e) == typeid(E);
}

TEST_F(DesignerTest, RegistrationPutsTheSixComponentsOnThePaletteWithTheirEditors) {
    Names classes;
    for (const TClassInfo* c : PaletteComponents("Orvel"))
        classes.push_back(c->Name);
    EXPECT_EQ(classes, (Names{"TDBTreeView", "TDBListView", "TDBImageList", "TDBBitCheckBox",
                              "TExtendedGrid", "TDBValueLookupCombo"}));
    EXPECT_NE(FindClassInfo("TExtendedGrid"), nullptr); // forms may name them

    EXPECT_TRUE(EditorIs<TNameFieldProperty>(*Editor(tree, "NameField")));
    EXPECT_TRUE(EditorIs<TNumFieldProperty>(*Editor(tree, "ImageIDField")));
    EXPECT_TRUE(EditorIs<TNumFieldProperty>(*Editor(tree, "StatusIDField")));
    EXPECT_TRUE(EditorIs<TLinkFieldProperty>(*Editor(tree, "LinksFields")));
    EXPECT_TRUE(EditorIs<TNameFieldProperty>(*Editor(list, "NameField")));
    EXPECT_TRUE(EditorIs<TNumFieldProperty>(*Editor(list, "ImageIDField")));
    EXPECT_TRUE(EditorIs<TNumFieldProperty>(*Editor(list, "StatusIDField")));
    EXPECT_TRUE(EditorIs<TKeyFieldProperty>(*Editor(list, "KeyFields")));
    EXPECT_TRUE(EditorIs<TFieldSetProperty>(*Editor(list, "ColumnsFields")));
    EXPECT_TRUE(EditorIs<TIDFieldProperty>(*Editor(images, "IDFieldName")));
    EXPECT_TRUE(EditorIs<TImageFieldProperty>(*Editor(images, "ImageFieldName")));
    EXPECT_TRUE(EditorIs<TIntMaskProperty>(*Editor(box, "Mask")));
    EXPECT_TRUE(EditorIs<TValuesProperty>(*Editor(combo, "LookupValues")));
    EXPECT_TRUE(EditorIs<TValLookupFieldProperty>(*Editor(combo, "DataField")));
    // Other string properties keep the plain editor.
    EXPECT_TRUE(EditorIs<TStringProperty>(*Editor(tree, "RootKey")));

    EXPECT_EQ(Editor(tree, "NameField")->GetAttributes(), paValueList | paSortList);
    EXPECT_EQ(Editor(tree, "LinksFields")->GetAttributes(), paDialog);
    EXPECT_EQ(Editor(list, "ColumnsFields")->GetAttributes(), paDialog);
    EXPECT_EQ(Editor(box, "Mask")->GetAttributes(), paDialog | paMultiSelect);
    EXPECT_EQ(Editor(combo, "LookupValues")->GetAttributes(), paDialog);
    EXPECT_EQ(Editor(combo, "LookupValues")->GetValue(), "(TStrings)");
}

TEST_F(DesignerTest, FieldListsOfferTheFieldsThatFitWhileTheTableIsOpen) {
    EXPECT_EQ(Values(tree, "NameField"), (Names{"NAME"}));
    EXPECT_EQ(Values(tree, "ImageIDField"), (Names{"ID", "PARENT_ID"}));
    EXPECT_EQ(Values(tree, "StatusIDField"), (Names{"ID", "PARENT_ID"}));
    EXPECT_EQ(Values(list, "NameField"), (Names{"NAME"}));
    EXPECT_EQ(Values(list, "ColumnsFields"), (Names{"ID", "PARENT_ID", "NAME", "PIC"}));
    EXPECT_EQ(Values(images, "ImageFieldName"), (Names{"PIC"}));
    EXPECT_EQ(Values(images, "IDFieldName"), (Names{"ID", "PARENT_ID"}));
    EXPECT_EQ(Values(combo, "DataField"), (Names{"ID", "PARENT_ID", "NAME"}));
}

TEST_F(DesignerTest, AClosedTableOffersEveryFieldName) {
    table->Close();
    const Names all{"ID", "PARENT_ID", "NAME", "PIC"};
    const std::pair<TComponent*, const char*> properties[] = {
        {tree, "NameField"},     {tree, "ImageIDField"},     {tree, "StatusIDField"},
        {tree, "LinksFields"},   {list, "NameField"},        {list, "ImageIDField"},
        {list, "StatusIDField"}, {list, "KeyFields"},        {list, "ColumnsFields"},
        {images, "IDFieldName"}, {images, "ImageFieldName"}, {combo, "DataField"}};
    for (const auto& [component, property] : properties)
        EXPECT_EQ(Values(component, property), all) << component->Name() << "." << property;
}

TEST_F(DesignerTest, WithoutADataSourceTheListsAreEmpty) {
    tree->SetDataSource(nullptr);
    images->SetDataSet(nullptr);
    auto bare = std::make_unique<TDataSource>(nullptr);
    list->SetDataSource(bare.get()); // a data source without a dataset
    EXPECT_TRUE(Values(tree, "NameField").empty());
    EXPECT_TRUE(Values(images, "IDFieldName").empty());
    EXPECT_TRUE(Values(list, "ColumnsFields").empty());
    list->SetDataSource(nullptr);
}

TEST_F(DesignerTest, TypedRelationsKeepTheValidPairsOnce) {
    auto links = Editor(tree, "LinksFields");
    links->SetValue("PARENT_ID->ID;PARENT_ID->ID");
    EXPECT_EQ(tree->GetLinksFields(), "PARENT_ID->ID");
    EXPECT_EQ(designer.ModifiedCount(), 1);
    // An unsuitable parent field, a missing key field, a repeated key in other letter case.
    links->SetValue("NAME->ID;PARENT_ID->NOPE;PARENT_ID->ID;ID->id");
    EXPECT_EQ(tree->GetLinksFields(), "PARENT_ID->ID");
    links->SetValue("");
    EXPECT_EQ(tree->GetLinksFields(), "");
}

TEST_F(DesignerTest, RelationsTypedWhileTheTableIsClosedAreKept) {
    table->Close();
    Editor(tree, "LinksFields")->SetValue("OWNER->ID;PARENT_ID->ID;PARENT_ID->KEY");
    // The fields cannot be looked at; only the pair repeating a key name is dropped.
    EXPECT_EQ(tree->GetLinksFields(), "OWNER->ID;PARENT_ID->KEY");
}

TEST_F(DesignerTest, TypedFieldListsWithoutADataSetRaiseAndKeepTheValue) {
    tree->SetRelations("PARENT_ID->ID");
    tree->SetDataSource(nullptr);
    try {
        Editor(tree, "LinksFields")->SetValue("ID->PARENT_ID");
        ADD_FAILURE() << "no error";
    } catch (const EPropertyError& e) {
        EXPECT_STREQ(e.what(), "Cannot specify fields while DataSource isn't correct");
    }
    EXPECT_EQ(tree->GetLinksFields(), "PARENT_ID->ID");
    auto bare = std::make_unique<TDataSource>(nullptr);
    list->SetDataSource(bare.get());
    EXPECT_THROW(Editor(list, "KeyFields")->SetValue("ID"), EPropertyError);
    EXPECT_THROW(Editor(list, "ColumnsFields")->SetValue("ID"), EPropertyError);
    list->SetDataSource(nullptr);
    EXPECT_EQ(designer.ModifiedCount(), 0);

    // A component without a data source property: the typed text is ignored.
    TKeyFieldProperty keys(&designer, {images}, images->ClassInfo().FindProperty("IDFieldName"));
    keys.SetValue("ID");
    EXPECT_EQ(images->GetIDFieldName(), "");
}

TEST_F(DesignerTest, TypedKeyFieldsAreCheckedOnlyWhileTheTableIsOpen) {
    Editor(list, "KeyFields")->SetValue("ID;NAME");
    EXPECT_EQ(list->GetKeyFields(), "ID");
    Editor(list, "ColumnsFields")->SetValue("NAME;NOPE;PIC");
    EXPECT_EQ(list->GetColumnsFields(), "NAME;PIC");
    table->Close();
    Editor(list, "KeyFields")->SetValue("ID;NAME");
    EXPECT_EQ(list->GetKeyFields(), "ID;NAME");
}

// ---- dialog editors -----------------------------------------------------------------------------

TEST_F(DesignerTest, TheRelationsDialogComposesTheLinksText) {
    tree->SetRelations("");
    auto links = Editor(tree, "LinksFields");
    {
        TModalScript script([](TCustomForm& form) {
            auto& d = dynamic_cast<TRelationsEditorDialog&>(form);
            EXPECT_EQ(d.ParentListBox->Items()->ToVector(), (Names{"ID", "PARENT_ID"}));
            EXPECT_EQ(d.KeyListBox->Items()->ToVector(), (Names{"ID", "PARENT_ID"}));
            click_item(*d.ParentListBox, 1);
            click_item(*d.KeyListBox, 0);
            Press(*d.AddButton);
            Press(*d.CancelButon);
        });
        links->Edit();
    }
    EXPECT_EQ(tree->GetLinksFields(), ""); // cancelled
    {
        TModalScript script([](TCustomForm& form) {
            auto& d = dynamic_cast<TRelationsEditorDialog&>(form);
            click_item(*d.ParentListBox, 1);
            click_item(*d.KeyListBox, 0);
            Press(*d.AddButton);
            Press(*d.OkButton);
        });
        links->Edit();
    }
    EXPECT_EQ(tree->GetLinksFields(), "PARENT_ID->ID");
    // Opened again: the names in use are not offered.
    TModalScript script([](TCustomForm& form) {
        auto& d = dynamic_cast<TRelationsEditorDialog&>(form);
        EXPECT_EQ(d.ParentListBox->Items()->ToVector(), (Names{"ID"}));
        EXPECT_EQ(d.KeyListBox->Items()->ToVector(), (Names{"PARENT_ID"}));
        EXPECT_EQ(d.ResultListBox->Items()->ToVector(), (Names{"PARENT_ID->ID"}));
        Press(*d.CancelButon);
    });
    links->Edit();
    EXPECT_EQ(script.Runs(), 1);
}

TEST_F(DesignerTest, TheKeyFieldsDialogChoosesEachNameOnce) {
    list->SetKeyFields("ID");
    TModalScript script([](TCustomForm& form) {
        auto& d = dynamic_cast<TKeysEditorDialog&>(form);
        EXPECT_TRUE(d.Unique());
        EXPECT_EQ(d.SetItemsListBox->Items()->ToVector(), (Names{"ID"}));
        EXPECT_EQ(d.PossibleItemsListBox->Items()->ToVector(), (Names{"PARENT_ID"}));
        click_item(*d.PossibleItemsListBox, 0);
        Press(*d.AddButton);
        Press(*d.OkButton);
    });
    Editor(list, "KeyFields")->Edit();
    EXPECT_EQ(list->GetKeyFields(), "ID;PARENT_ID");
    EXPECT_EQ(designer.ModifiedCount(), 1);
}

TEST_F(DesignerTest, TheColumnsDialogAllowsRepeatsAndCancelKeepsTheValue) {
    list->SetColumnsFields("NAME");
    auto columns = Editor(list, "ColumnsFields");
    auto addNameTwice = [](TKeysEditorDialog& d) {
        EXPECT_FALSE(d.Unique());
        EXPECT_EQ(d.PossibleItemsListBox->Items()->ToVector(),
                  (Names{"ID", "PARENT_ID", "NAME", "PIC"}));
        click_item(*d.PossibleItemsListBox, 2);
        Press(*d.AddButton);
    };
    {
        TModalScript script([&](TCustomForm& form) {
            auto& d = dynamic_cast<TKeysEditorDialog&>(form);
            addNameTwice(d);
            Press(*d.CancelButton);
        });
        columns->Edit();
    }
    EXPECT_EQ(list->GetColumnsFields(), "NAME");
    TModalScript script([&](TCustomForm& form) {
        auto& d = dynamic_cast<TKeysEditorDialog&>(form);
        addNameTwice(d);
        Press(*d.OkButton);
    });
    columns->Edit();
    EXPECT_EQ(list->GetColumnsFields(), "NAME;NAME");
}

class LookupEditorTest : public DesignerTest {
protected:
    void SetUp() override {
        DesignerTest::SetUp();
        TStringList values;
        values.AddObject("Open", IntToObject(1));
        values.AddObject("Closed", IntToObject(5));
        combo->SetItems(&values);
    }
    std::vector<std::string> Lookup() {
        std::vector<std::string> out;
        TStrings* items = combo->GetItems();
        for (int i = 0; i < items->Count(); ++i)
            out.push_back(items->Get(i) + "=" + std::to_string(ObjectToInt(items->GetObject(i))));
        return out;
    }
    // Opens the lookup values editor, types a code for the second line and ends with button.
    void EditSecondCode(const std::string& code, bool confirm, TFieldType expectedType) {
        TModalScript script([&](TCustomForm& form) {
            auto& d = dynamic_cast<TFmLookupValues&>(form);
            EXPECT_EQ(d.TypeIndex(), expectedType);
            if (!code.empty()) {
                click_item(*d.LXValues, 1);
                type_text(*d.EdValue, code);
            }
            Press(confirm ? *d.BBnOk : *d.BBnCancel);
        });
        Editor(combo, "LookupValues")->Edit();
        EXPECT_EQ(script.Runs(), 1);
    }
};

TEST_F(LookupEditorTest, AConfirmedChangeReplacesTheListAndTellsTheDesigner) {
    EditSecondCode("7", true, ftInteger);
    EXPECT_EQ(Lookup(), (std::vector<std::string>{"Open=1", "Closed=7"}));
    EXPECT_GE(designer.ModifiedCount(), 1);
}

TEST_F(LookupEditorTest, CancelOrOkWithoutChangesKeepTheList) {
    EditSecondCode("7", false, ftInteger);
    EditSecondCode("", true, ftInteger);
    EXPECT_EQ(Lookup(), (std::vector<std::string>{"Open=1", "Closed=5"}));
    EXPECT_EQ(designer.ModifiedCount(), 0);
}

TEST_F(LookupEditorTest, AnUnboundComboEditsWithoutAFieldType) {
    combo->SetDataField("NAME");
    EditSecondCode("", true, ftString);
    combo->SetDataSource(nullptr);
    EditSecondCode("", true, ftUnknown);
    EXPECT_EQ(Lookup(), (std::vector<std::string>{"Open=1", "Closed=5"}));
}

TEST_F(DesignerTest, TheMaskDialogTicksBitsOfEverySelectedBox) {
    box->SetMask(5);
    auto* other = &form->Place<TDBBitCheckBox>(0, 270, 150, 20);
    auto mask = GetPropertyEditor(&designer, {box, other}, "Mask");
    EXPECT_EQ(mask->GetValue(), "5");
    {
        TModalScript script([](TCustomForm& form) {
            auto& d = dynamic_cast<TMaskEditor&>(form);
            EXPECT_TRUE(d.BitBox(0)->Checked());
            EXPECT_TRUE(d.BitBox(2)->Checked());
            click(*d.BitBox(31), 5, 5);
            Press(*d.BitBtn2); // cancel
        });
        mask->Edit();
    }
    EXPECT_EQ(box->GetMask(), 5);
    TModalScript script([](TCustomForm& form) {
        auto& d = dynamic_cast<TMaskEditor&>(form);
        click(*d.BitBox(31), 5, 5);
        click(*d.BitBox(0), 5, 5);
        EXPECT_EQ(d.TestLabel->Caption(), "-2147483644");
        Press(*d.BitBtn1);
    });
    mask->Edit();
    EXPECT_EQ(box->GetMask(), INT32_MIN | 4);
    EXPECT_EQ(other->GetMask(), INT32_MIN | 4);
    mask->SetValue("12");
    EXPECT_EQ(other->GetMask(), 12);
}

} // namespace
} // namespace orvel
