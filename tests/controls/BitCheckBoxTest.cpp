// The bit check box on the ITEMS table through the user driver: groups of bits of an integer
// field, Boolean fields, text fields with lists of accepted texts, the grayed state and null,
// keys, refused edits, failed writes and copies in a repeating panel.
#include "orvel/controls/DBBCBc.h"
#include "orvel/host/core/Exceptions.h"
#include "tests/support/data/DataFixtures.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace orvel::test {
namespace {

class BitCheckBoxTest : public TUiTest {
protected:
    void SetUp() override {
        TUiTest::SetUp();
        // FLAGS of the records 1..5: 4, 12, 13, 0, 1; ACTIVE: true, false, true, null, false.
        db = std::make_unique<TTestDatabase>();
        table = db->OpenTable("ITEMS");
        form = std::make_unique<TTestForm>();
        source = new TDataSource(&form->Form());
        source->SetDataSet(table.get());
        other = &form->Place<TEdit>(20, 200, 100, 21);
    }
    void TearDown() override {
        form.reset();
        table.reset();
        db.reset();
        TUiTest::TearDown();
    }

    TDBBitCheckBox& MakeBox(const std::string& field, int32_t mask, int top = 20) {
        auto& box = form->Place<TDBBitCheckBox>(20, top, 120, 17);
        box.SetCaption("Flag");
        box.SetMask(mask);
        box.SetDataField(field);
        box.SetDataSource(source);
        return box;
    }
    void GoTo(int id) { ASSERT_TRUE(table->Locate("ID", Variant(id))); }
    Variant Stored(const std::string& column, int id) {
        return db->Scalar("SELECT " + column + " FROM ITEMS WHERE ID = " + std::to_string(id));
    }
    std::vector<TCheckBoxState> StatesOf(TDBBitCheckBox& box, std::vector<int> ids) {
        std::vector<TCheckBoxState> out;
        for (int id : ids) {
            GoTo(id);
            out.push_back(box.State());
        }
        return out;
    }
    void ClickBox(TDBBitCheckBox& box) { click(box, 6, 8); }
    // Moves the focus to the other control, which makes the box write its value, and posts.
    void LeaveAndPost() {
        click(*other, 5, 5);
        if (table->State() != dsBrowse) table->Post();
    }

    std::unique_ptr<TTestDatabase> db;
    TOwned<TTable> table;
    std::unique_ptr<TTestForm> form;
    TDataSource* source = nullptr;
    TEdit* other = nullptr;
};

TEST_F(BitCheckBoxTest, AMaskOfTwelveShowsAndWritesItsOwnBits) {
    TDBBitCheckBox& box = MakeBox("FLAGS", 12);
    EXPECT_EQ(
        StatesOf(box, {1, 2, 3, 4, 5}),
        (std::vector<TCheckBoxState>{cbGrayed, cbChecked, cbChecked, cbUnchecked, cbUnchecked}));
    GoTo(5); // 1: checking sets both bits
    ClickBox(box);
    EXPECT_EQ(box.State(), cbChecked);
    EXPECT_EQ(table->State(), dsEdit);
    LeaveAndPost();
    EXPECT_EQ(Stored("FLAGS", 5), Variant(int64_t{13}));
    GoTo(3); // 13: unchecking clears both bits, bit 0 stays
    ClickBox(box);
    LeaveAndPost();
    EXPECT_EQ(Stored("FLAGS", 3), Variant(int64_t{1}));
    GoTo(1); // 4, grayed: a click unchecks
    ClickBox(box);
    EXPECT_EQ(box.State(), cbUnchecked);
    LeaveAndPost();
    EXPECT_EQ(Stored("FLAGS", 1), Variant(int64_t{0}));

    // A zero mask is always unchecked, and writes the value back unchanged.
    box.SetMask(0);
    GoTo(3);
    EXPECT_EQ(box.State(), cbUnchecked);
    ClickBox(box);
    LeaveAndPost();
    EXPECT_EQ(Stored("FLAGS", 3), Variant(int64_t{1}));
    EXPECT_EQ(box.State(), cbUnchecked);
}

TEST_F(BitCheckBoxTest, SeveralBoxesShareOneFlagsColumn) {
    TDBBitCheckBox& low = MakeBox("FLAGS", 1, 20);
    TDBBitCheckBox& high = MakeBox("FLAGS", 12, 50);
    GoTo(5); // 1
    EXPECT_EQ(low.State(), cbChecked);
    EXPECT_EQ(high.State(), cbUnchecked);
    ClickBox(high);
    ClickBox(low); // leaving the high box has written its bits: 13
    EXPECT_EQ(table->FieldByName("FLAGS")->GetValue(), Variant(13));
    LeaveAndPost();
    EXPECT_EQ(Stored("FLAGS", 5), Variant(int64_t{12}));
    EXPECT_EQ(low.State(), cbUnchecked);
    EXPECT_EQ(high.State(), cbChecked);
}

// Bit 31 is a bit like any other: only some of the mask's bits set is grayed. A stored value
// that is no number is grayed too, rather than failing every move onto its record.
TEST_F(BitCheckBoxTest, DepartureBit31IsAnOrdinaryMaskBitAndUnreadableValuesAreGrayed) {
    db->Execute("UPDATE ITEMS SET FLAGS = 1 WHERE ID = 1;"
                "UPDATE ITEMS SET FLAGS = -2147483647 WHERE ID = 2;"
                "UPDATE ITEMS SET FLAGS = -2147483648 WHERE ID = 3;"
                "UPDATE ITEMS SET FLAGS = 6 WHERE ID = 4;"
                "UPDATE ITEMS SET FLAGS = 'abc' WHERE ID = 5;");
    table->Refresh();
    TDBBitCheckBox& box = MakeBox("FLAGS", static_cast<int32_t>(0x80000001u));
    EXPECT_EQ(StatesOf(box, {1, 2, 3, 4, 5}),
              (std::vector<TCheckBoxState>{cbGrayed, cbChecked, cbGrayed, cbUnchecked, cbGrayed}));
    GoTo(4);
    ClickBox(box);
    LeaveAndPost();
    EXPECT_EQ(Stored("FLAGS", 4), Variant(int64_t{-2147483641})); // 6 with bits 0 and 31
}

TEST_F(BitCheckBoxTest, ABooleanFieldShowsAndTakesItsValue) {
    TDBBitCheckBox& box = MakeBox("ACTIVE", 1);
    EXPECT_EQ(StatesOf(box, {1, 2, 3, 4}),
              (std::vector<TCheckBoxState>{cbChecked, cbUnchecked, cbChecked, cbGrayed}));
    GoTo(2);
    box.SetFocus();
    press_key(box, VK_SPACE);
    EXPECT_EQ(box.State(), cbChecked);
    LeaveAndPost();
    EXPECT_EQ(Stored("ACTIVE", 2), Variant(int64_t{1}));
    GoTo(1);
    ClickBox(box);
    LeaveAndPost();
    EXPECT_EQ(Stored("ACTIVE", 1), Variant(int64_t{0}));

    // With a zero mask the field keeps its value.
    box.SetMask(0);
    GoTo(3);
    EXPECT_EQ(box.State(), cbUnchecked);
    ClickBox(box);
    LeaveAndPost();
    EXPECT_EQ(Stored("ACTIVE", 3), Variant(int64_t{1}));
}

TEST_F(BitCheckBoxTest, ATextFieldIsComparedWithTheListsOfTexts) {
    db->Execute("UPDATE ITEMS SET NAME = 'ja' WHERE ID = 1;"
                "UPDATE ITEMS SET NAME = 'NEIN' WHERE ID = 2;"
                "UPDATE ITEMS SET NAME = 'maybe' WHERE ID = 3;");
    table->Refresh();
    TDBBitCheckBox& box = MakeBox("NAME", 0);
    box.SetValueCheck("Yes;Ja");
    box.SetValueUncheck("No; Nein");
    EXPECT_EQ(StatesOf(box, {1, 2, 3}),
              (std::vector<TCheckBoxState>{cbChecked, cbUnchecked, cbGrayed}));
    GoTo(2);
    ClickBox(box);
    LeaveAndPost();
    EXPECT_EQ(Stored("NAME", 2), Variant("Yes"));
    GoTo(1);
    ClickBox(box);
    LeaveAndPost();
    EXPECT_EQ(Stored("NAME", 1), Variant("No"));

    // New texts show at once; a new mask only at the next change.
    GoTo(3);
    box.SetValueCheck("Maybe");
    EXPECT_EQ(box.State(), cbChecked);

    TDBBitCheckBox& flags = MakeBox("FLAGS", 12, 50);
    GoTo(2); // 12
    flags.SetMask(1);
    EXPECT_EQ(flags.State(), cbChecked);
    GoTo(5);
    GoTo(2);
    EXPECT_EQ(flags.State(), cbUnchecked);
}

TEST_F(BitCheckBoxTest, DepartureGrayedKeepsAValueHoldingOtherBoxesBitsInsteadOfClearingIt) {
    db->Execute("UPDATE ITEMS SET FLAGS = NULL WHERE ID = 4");
    table->Refresh();
    TDBBitCheckBox& box = MakeBox("FLAGS", 12);
    box.SetAllowGrayed(true);
    GoTo(4);
    EXPECT_EQ(box.State(), cbGrayed);
    GoTo(2); // 12, the box's own bits only: checked, then grayed writes null
    ClickBox(box);
    EXPECT_EQ(box.State(), cbGrayed);
    LeaveAndPost();
    EXPECT_TRUE(Stored("FLAGS", 2).IsNull());
    GoTo(3); // 13: bit 0 belongs to another box, the value stays
    ClickBox(box);
    EXPECT_EQ(box.State(), cbGrayed);
    LeaveAndPost();
    EXPECT_EQ(Stored("FLAGS", 3), Variant(int64_t{13}));
    EXPECT_EQ(box.State(), cbChecked);
}

TEST_F(BitCheckBoxTest, EscapeRestoresAndAReadOnlyTableRefuses) {
    TDBBitCheckBox& box = MakeBox("FLAGS", 12);
    GoTo(4);
    ClickBox(box);
    EXPECT_EQ(box.State(), cbChecked);
    press_key(box, VK_ESCAPE);
    EXPECT_EQ(box.State(), cbUnchecked);
    LeaveAndPost();
    EXPECT_EQ(Stored("FLAGS", 4), Variant(int64_t{0}));

    table->Close();
    table->SetReadOnly(true);
    table->Open();
    GoTo(4);
    ClickBox(box);
    press_key(box, VK_SPACE);
    EXPECT_EQ(box.State(), cbUnchecked);
    EXPECT_EQ(table->State(), dsBrowse);
    box.SetReadOnly(true);
    EXPECT_TRUE(box.GetReadOnly());
}

TEST_F(BitCheckBoxTest, AFailedWriteKeepsTheFocusInTheBox) {
    TDBBitCheckBox& box = MakeBox("PRICE", 1); // a number field: written as text
    GoTo(1);
    ClickBox(box);
    click(*other, 5, 5);
    EXPECT_EQ(Application().ShownErrors.size(), 1u);
    EXPECT_TRUE(box.Focused());
    EXPECT_EQ(table->FieldByName("PRICE")->GetValue(), Variant(1.5));
    table->Cancel();
}

TEST_F(BitCheckBoxTest, ReplicatedCopiesShowTheRecordsState) {
    TDBBitCheckBox& box = MakeBox("FLAGS", 12);
    GoTo(5);
    TCheckBox& plain = form->Place<TCheckBox>(300, 20, 120, 17);
    plain.SetVisible(false);
    plain.SetCaption("Flag");
    for (int id : {1, 2}) {
        SCOPED_TRACE(id);
        TBitmap copy(120, 17), expected(120, 17);
        table->DisableControls(); // the repeating panel paints other records than the current
        GoTo(id);
        TControlState state = box.ControlState();
        state.Include(csPaintCopy);
        box.SetControlState(state);
        box.Perform(WM_PAINT, static_cast<WPARAM>(copy.Canvas()->Handle()), 0);
        state.Exclude(csPaintCopy);
        box.SetControlState(state);
        GoTo(5);
        table->EnableControls();
        EXPECT_EQ(box.State(), cbUnchecked);
        plain.SetState(id == 1 ? cbGrayed : cbChecked);
        plain.Perform(WM_PAINT, static_cast<WPARAM>(expected.Canvas()->Handle()), 0);
        EXPECT_TRUE(copy.SamePixels(expected));
        EXPECT_FALSE(copy.Canvas()->FrameControlLog().empty());
    }
}

} // namespace
} // namespace orvel::test
