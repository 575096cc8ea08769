// The value lookup combo on the ITEMS table through the user driver: codes shown as the texts of
// their first entries, choices written back as codes or null, edit state asked for by every
// action and refused on a read-only table, Escape, leaving the combo, copies in a repeating panel
// and the published properties.
#include "orvel/controls/ValueLookupCombo.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Platform.h"
#include "orvel/host/design/DesignIntf.h"
#include "orvel/host/design/FormFiles.h"
#include "tests/support/data/DataFixtures.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace orvel::test {
namespace {

class LookupComboTest : public TUiTest {
protected:
    void SetUp() override {
        TUiTest::SetUp();
        SetPlatform(&platform);
        // STATUS_ID of the records 1..5: 1, 2, null, 1, 3.
        db = std::make_unique<TTestDatabase>();
        table = db->OpenTable("ITEMS");
        form = std::make_unique<TTestForm>();
        source = new TDataSource(&form->Form());
        source->SetDataSet(table.get());
        other = &form->Place<TEdit>(20, 200, 100, 21);
        combo = MakeCombo(csDropDown);
    }
    void TearDown() override {
        form.reset();
        table.reset();
        db.reset();
        SetPlatform(nullptr);
        TUiTest::TearDown();
    }

    TDBValueLookupCombo* MakeCombo(TComboBoxStyle style, const std::string& field = "STATUS_ID") {
        auto& c = form->Place<TDBValueLookupCombo>(20, 20, 145, 24);
        c.SetStyle(style);
        TStringList values;
        values.AddObject("Open", IntToObject(1));
        values.AddObject("Closed", IntToObject(2));
        values.AddObject("Also closed", IntToObject(2));
        values.AddObject("Archived", IntToObject(3));
        c.SetItems(&values);
        c.SetDataField(field);
        c.SetDataSource(source);
        return &c;
    }
    void GoTo(int id) { ASSERT_TRUE(table->Locate("ID", Variant(id))); }
    Variant Stored(int id) {
        return db->Scalar("SELECT STATUS_ID FROM ITEMS WHERE ID = " + std::to_string(id));
    }
    // Drops the list down with the button and clicks an entry.
    void Choose(TDBValueLookupCombo& c, int index) {
        click(c, center_of(c.ButtonRect()));
        ASSERT_TRUE(c.DroppedDown());
        click(*c.ListBox(), center_of(c.ListBox()->ItemRect(index)));
    }
    // Moves the focus to the other control, which makes the combo write its value.
    void Leave() { click(*other, 5, 5); }

    TTestPlatform platform;
    std::unique_ptr<TTestDatabase> db;
    TOwned<TTable> table;
    std::unique_ptr<TTestForm> form;
    TDataSource* source = nullptr;
    TEdit* other = nullptr;
    TDBValueLookupCombo* combo = nullptr;
};

TEST_F(LookupComboTest, ShowsTheTextOfTheFirstEntryWithTheFieldsCode) {
    for (TComboBoxStyle style : {csDropDown, csDropDownList, csSimple}) {
        SCOPED_TRACE(style);
        combo->SetStyle(style);
        GoTo(2); // code 2: "Closed", not "Also closed"
        EXPECT_EQ(combo->GetComboText(), "Closed");
        EXPECT_EQ(combo->ItemIndex(), 1);
        EXPECT_EQ(combo->GetComboInt(), Variant(2));
        GoTo(3); // null
        EXPECT_EQ(combo->GetComboText(), "");
        EXPECT_EQ(combo->ItemIndex(), -1);
        EXPECT_TRUE(combo->GetComboInt().IsNull());
        GoTo(5);
        EXPECT_EQ(combo->GetComboText(), "Archived");
    }
    // A code no entry carries shows nothing.
    db->Execute("UPDATE ITEMS SET STATUS_ID = 9 WHERE ID = 4");
    table->Refresh();
    GoTo(4);
    EXPECT_EQ(combo->Text(), "");
    EXPECT_EQ(combo->ItemIndex(), -1);

    // A text field whose values are no numbers shows nothing, without an error.
    TDBValueLookupCombo* names = MakeCombo(csDropDownList, "NAME");
    GoTo(1);
    EXPECT_EQ(names->GetComboText(), "");
    EXPECT_TRUE(Application().ShownErrors.empty());
}

TEST_F(LookupComboTest, ChoosingAnEntryWritesItsCodeWhenTheComboIsLeft) {
    std::vector<std::string> log;
    combo->OnClick = [&](TObject*) { log.push_back("click " + combo->Text()); };
    combo->OnChange = [&](TObject*) { log.push_back("change " + combo->Text()); };
    GoTo(1);
    Choose(*combo, 3);
    EXPECT_EQ(table->State(), dsEdit); // opening the list asked for edit state
    EXPECT_EQ(combo->Text(), "Archived");
    EXPECT_EQ(log, (std::vector<std::string>{"click Archived", "change Archived"}));
    EXPECT_EQ(table->FieldByName("STATUS_ID")->GetValue(), Variant(1)); // not written yet
    Leave();
    EXPECT_EQ(table->FieldByName("STATUS_ID")->GetValue(), Variant(3));
    table->Post();
    EXPECT_EQ(Stored(1), Variant(int64_t{3}));
    EXPECT_EQ(combo->Text(), "Archived");

    // Keys choose as well: Up from "Archived" goes to "Also closed", whose code 2 shows as the
    // first entry with that code once the record is posted.
    combo->SetFocus();
    press_key(*combo, VK_UP);
    EXPECT_EQ(table->State(), dsEdit);
    table->Post();
    EXPECT_EQ(Stored(1), Variant(int64_t{2}));
    EXPECT_EQ(combo->Text(), "Closed");
}

TEST_F(LookupComboTest, TypedTextIsNotAChoiceAndWritesNull) {
    GoTo(2);
    combo->SetFocus();
    combo->SelectAll();
    SetClipboardText("Open");
    press_key(*combo, 'V', {ssCtrl}); // equal to an entry's text, but no entry was selected
    EXPECT_EQ(combo->Text(), "Open");
    EXPECT_EQ(combo->ItemIndex(), -1);
    Leave();
    table->Post();
    EXPECT_TRUE(Stored(2).IsNull());

    // Moving off a record with a null code without touching the combo writes nothing.
    GoTo(3);
    GoTo(4);
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_TRUE(Stored(3).IsNull());
    EXPECT_EQ(Stored(4), Variant(int64_t{1}));

    // Characters the integer field rejects are dropped with a beep.
    combo->SetFocus();
    press_key(*combo, VK_END);
    type_text(*combo, "x7");
    EXPECT_EQ(platform.Beeps, std::vector<uint32_t>{0});
    EXPECT_EQ(combo->Text(), "Open7");
}

TEST_F(LookupComboTest, EscapeRestoresTheFieldsValue) {
    GoTo(1);
    Choose(*combo, 1);
    EXPECT_EQ(combo->Text(), "Closed");
    press_key(*combo, VK_ESCAPE);
    EXPECT_EQ(combo->Text(), "Open");
    EXPECT_EQ(combo->SelLength(), 4); // the whole text selected
    EXPECT_FALSE(combo->DataLink()->IsModified());
    Leave();
    table->Post();
    EXPECT_EQ(Stored(1), Variant(int64_t{1}));
}

TEST_F(LookupComboTest, AReadOnlyTableRefusesEveryChange) {
    table->Close();
    table->SetReadOnly(true);
    table->Open();
    GoTo(2);
    for (TComboBoxStyle style : {csDropDown, csDropDownList, csSimple}) {
        SCOPED_TRACE(style);
        combo->SetStyle(style);
        combo->SetHeight(style == csSimple ? 120 : 24);
        combo->SetFocus();
        if (style != csSimple) {
            // Choosing from the list: undone when the posted close arrives.
            Choose(*combo, 3);
            run_messages();
        } else {
            click(*combo->ListBox(), center_of(combo->ListBox()->ItemRect(3)));
        }
        EXPECT_EQ(combo->Text(), "Closed");
        press_key(*combo, VK_DOWN); // eaten
        EXPECT_EQ(combo->ItemIndex(), 1);
        press_key(*combo, VK_NEXT); // moves the selection, which is undone
        run_messages();
        EXPECT_EQ(combo->Text(), "Closed");
        EXPECT_EQ(combo->ItemIndex(), 1);
        if (combo->EditBox()) {
            type_text(*combo, "7");
            EXPECT_EQ(combo->Text(), "Closed");
        }
        Leave();
    }
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(Stored(2), Variant(int64_t{2}));
    EXPECT_TRUE(Application().ShownErrors.empty());
}

TEST_F(LookupComboTest, AFailedWriteKeepsTheFocusInTheCombo) {
    db->Execute("CREATE TABLE SMALLS (ID INTEGER PRIMARY KEY, CODE SMALLINT);"
                "INSERT INTO SMALLS VALUES (1, 1)");
    TOwned<TTable> smalls = db->OpenTable("SMALLS");
    combo->SetDataField("CODE");
    source->SetDataSet(smalls.get());
    combo->Items()->AddObject("Too large", IntToObject(70000));
    Choose(*combo, 4);
    Leave();
    EXPECT_EQ(Application().ShownErrors.size(), 1u);
    EXPECT_TRUE(combo->Focused());
    EXPECT_EQ(combo->SelLength(), 9);
    EXPECT_EQ(smalls->FieldByName("CODE")->GetValue(), Variant(int16_t{1}));
    source->SetDataSet(table.get());
}

TEST_F(LookupComboTest, TheDisplayFollowsTheListTheSourceAndTheDesigner) {
    int changes = 0;
    combo->SetOnDataChanged([&](TObject* sender) {
        EXPECT_EQ(sender, combo);
        ++changes;
    });
    GoTo(5);
    EXPECT_EQ(changes, 1);
    TStringList values;
    values.AddObject("Three", IntToObject(3));
    combo->SetItems(&values);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(combo->Text(), "Three");

    combo->SetName("StatusCombo");
    combo->SetDataSource(nullptr);
    EXPECT_EQ(combo->Text(), "");
    combo->SetDesigning(true);
    combo->SetItems(&values);
    EXPECT_EQ(combo->Text(), "StatusCombo");
    combo->SetDesigning(false);

    // A source that goes away is dropped.
    combo->SetDataSource(source);
    EXPECT_EQ(combo->Text(), "Three");
    source->Free();
    source = nullptr;
    EXPECT_EQ(combo->GetDataSource(), nullptr);
    EXPECT_EQ(combo->Text(), "");
}

TEST_F(LookupComboTest, ASimpleStyleIsRefusedOnAReplicatedCopy) {
    combo->DataLink()->SetDataSourceFixed(true);
    combo->SetStyle(csDropDownList);
    try {
        combo->SetStyle(csSimple);
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Control cannot be used in a repeating panel");
    }
    EXPECT_EQ(combo->Style(), csDropDownList);
    combo->DataLink()->SetDataSourceFixed(false);
}

// A copy painted for another record inside a repeating panel looks like a plain combo box
// showing that record's text.
TEST_F(LookupComboTest, ReplicatedCopiesShowTheRecordsText) {
    for (TComboBoxStyle style : {csDropDown, csDropDownList}) {
        SCOPED_TRACE(style);
        combo->SetStyle(style);
        GoTo(2);
        TBitmap copy(145, 24), expected(145, 24);
        TControlState state = combo->ControlState();
        state.Include(csPaintCopy);
        combo->SetControlState(state);
        combo->Perform(WM_PAINT, static_cast<WPARAM>(copy.Canvas()->Handle()), 0);
        state.Exclude(csPaintCopy);
        combo->SetControlState(state);

        TComboBox& plain = form->Place<TComboBox>(300, 20, 145, 24);
        plain.SetVisible(false);
        plain.SetStyle(style);
        plain.Items()->Add("Closed");
        plain.SetItemIndex(0);
        TCustomControl& painted = plain;
        painted.Perform(WM_PAINT, static_cast<WPARAM>(expected.Canvas()->Handle()), 0);
        if (style == csDropDown) {
            // The edit box is drawn into the copy at its place.
            TCustomEdit* edit = plain.EditBox();
            TPoint origin = edit->ClientOrigin();
            TPoint comboOrigin = plain.ClientOrigin();
            expected.Canvas()->SetWindowOrg({comboOrigin.X - origin.X, comboOrigin.Y - origin.Y});
            expected.Canvas()->IntersectClipRect(edit->ClientRect());
            edit->Perform(WM_PAINT, static_cast<WPARAM>(expected.Canvas()->Handle()), 0);
        }
        EXPECT_TRUE(copy.SamePixels(expected));
        plain.Free();
    }
}

TEST_F(LookupComboTest, FormFilesKeepTheCodesAndTheComboRegistersOnSamples) {
    ResetDesignerRegistry();
    ValueLookupCombo::Register();
    ASSERT_EQ(PaletteComponents("Samples").size(), 1u);
    EXPECT_EQ(PaletteComponents("Samples")[0], &TDBValueLookupCombo::StaticClassInfo());

    EXPECT_EQ(TDBValueLookupCombo::StaticClassInfo().FindProperty("Items"), nullptr);

    TDBValueLookupCombo* stored = new TDBValueLookupCombo(nullptr);
    stored->SetName("Status");
    stored->SetStyle(csDropDownList);
    stored->Items()->AddObject("Open", IntToObject(1));
    stored->Items()->AddObject("Gone", IntToObject(-70000));
    stored->SetReadOnly(true);
    std::string text = WriteComponentToText(stored);
    stored->Free();
    TComponent* read = ReadComponentFromText(text, nullptr);
    auto* back = dynamic_cast<TDBValueLookupCombo*>(read);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->Style(), csDropDownList);
    EXPECT_TRUE(back->GetReadOnly());
    ASSERT_EQ(back->Items()->Count(), 2);
    EXPECT_EQ(back->Items()->Get(1), "Gone");
    EXPECT_EQ(ObjectToInt(back->Items()->GetObject(1)), -70000);
    read->Free();
    ResetDesignerRegistry();
}

} // namespace
} // namespace orvel::test
