// The four design-time dialogs as a designer uses them: each is read from its stored form
// description, shown modally through the test's modal driver, clicked and typed into, and
// confirmed or cancelled.
#include "orvel/design/FieldsDlg.h"
#include "orvel/design/IntMaskEdit.h"
#include "orvel/design/RelEdit.h"
#include "orvel/design/ValueLookupsEditor.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvel {
namespace {

std::vector<std::string> Entries(const TListBox& list) {
    return list.Items()->ToVector();
}

void Press(TButton& button) {
    click(button, button.Width() / 2, button.Height() / 2);
}

class DialogTest : public TUiTest {};

// ---- relations ----------------------------------------------------------------------------------

class RelationsDialogTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        dialog.reset(new TRelationsEditorDialog(nullptr));
    }
    void Fill(std::vector<std::string> parents, std::vector<std::string> keys,
              std::vector<std::string> relations) {
        for (auto& s : parents)
            dialog->ParentListBox->Items()->Add(s);
        for (auto& s : keys)
            dialog->KeyListBox->Items()->Add(s);
        for (auto& s : relations)
            dialog->ResultListBox->Items()->Add(s);
    }
    // Shows the dialog; the script runs inside and ends it.
    TModalResult Run(std::function<void(TRelationsEditorDialog&)> script) {
        TModalScript driver(
            [&](TCustomForm& form) { script(dynamic_cast<TRelationsEditorDialog&>(form)); });
        return dialog->ShowModal();
    }
    TOwned<TRelationsEditorDialog> dialog;
};

TEST_F(RelationsDialogTest, TheStoredFormGivesItsComponentsAndCaptions) {
    EXPECT_EQ(dialog->Caption(), "Relational links editor");
    EXPECT_EQ(dialog->BorderIcons(), TBorderIcons{biSystemMenu});
    EXPECT_EQ(dialog->AddButton->Caption(), "&Add ");
    EXPECT_FALSE(dialog->AddButton->Enabled() || dialog->RemoveButton->Enabled() ||
                 dialog->AdviseButton->Enabled());
    EXPECT_TRUE(dialog->ClearButton->Enabled());
    EXPECT_TRUE(dialog->ResultListBox->MultiSelect());
    EXPECT_EQ(dialog->Label3->FocusControl(), dialog->ResultListBox);
}

TEST_F(RelationsDialogTest, PairingAParentWithAKeyMovesBothIntoARelation) {
    Fill({"ORG_ID", "ORG_PARENT"}, {"ORG_ID", "ORG_PARENT"}, {});
    TModalResult result = Run([](TRelationsEditorDialog& d) {
        click_item(*d.ParentListBox, 1);
        EXPECT_FALSE(d.AddButton->Enabled()); // a key is not chosen yet
        click_item(*d.KeyListBox, 0);
        EXPECT_TRUE(d.AddButton->Enabled());
        Press(*d.AddButton);
        EXPECT_EQ(Entries(*d.ResultListBox), (std::vector<std::string>{"ORG_PARENT->ORG_ID"}));
        EXPECT_EQ(Entries(*d.ParentListBox), (std::vector<std::string>{"ORG_ID"}));
        EXPECT_EQ(Entries(*d.KeyListBox), (std::vector<std::string>{"ORG_PARENT"}));
        EXPECT_FALSE(d.AddButton->Enabled());
        // A name may be paired with itself.
        click_item(*d.ParentListBox, 0);
        click_item(*d.KeyListBox, 0);
        Press(*d.AddButton);
        Press(*d.OkButton);
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(Entries(*dialog->ResultListBox),
              (std::vector<std::string>{"ORG_PARENT->ORG_ID", "ORG_ID->ORG_PARENT"}));
}

TEST_F(RelationsDialogTest, ARelationAlreadyListedIsNotAddedAgain) {
    Fill({"A"}, {"B"}, {"A->B"});
    Run([](TRelationsEditorDialog& d) {
        click_item(*d.ParentListBox, 0);
        click_item(*d.KeyListBox, 0);
        Press(*d.AddButton);
        EXPECT_EQ(Entries(*d.ResultListBox), (std::vector<std::string>{"A->B"}));
        EXPECT_EQ(Entries(*d.ParentListBox), (std::vector<std::string>{"A"}));
        Press(*d.CancelButon);
    });
}

TEST_F(RelationsDialogTest, RemovingAndClearingGiveTheNamesBackAtTheEnds) {
    Fill({"X"}, {"Y"}, {"P1->K1", "P2->K2", "P3->K3"});
    TModalResult result = Run([](TRelationsEditorDialog& d) {
        click_item(*d.ResultListBox, 0);
        EXPECT_TRUE(d.RemoveButton->Enabled());
        click_item(*d.ResultListBox, 2, {ssCtrl});
        Press(*d.RemoveButton);
        EXPECT_EQ(Entries(*d.ResultListBox), (std::vector<std::string>{"P2->K2"}));
        EXPECT_EQ(Entries(*d.ParentListBox), (std::vector<std::string>{"X", "P1", "P3"}));
        EXPECT_EQ(Entries(*d.KeyListBox), (std::vector<std::string>{"Y", "K1", "K3"}));
        EXPECT_FALSE(d.RemoveButton->Enabled());
        Press(*d.ClearButton);
        EXPECT_TRUE(d.ResultListBox->Items()->Count() == 0);
        EXPECT_EQ(Entries(*d.ParentListBox), (std::vector<std::string>{"X", "P1", "P3", "P2"}));
        EXPECT_FALSE(d.ClearButton->Enabled());
        Press(*d.CancelButon);
    });
    EXPECT_EQ(result, mrCancel);
}

TEST_F(RelationsDialogTest, ClearingAnEmptyListOnlyDisablesTheButtons) {
    Fill({"A"}, {"B"}, {});
    dialog->RemoveButton->SetEnabled(true);
    dialog->ClearButtonClick(nullptr);
    EXPECT_FALSE(dialog->RemoveButton->Enabled());
    EXPECT_FALSE(dialog->ClearButton->Enabled());
    EXPECT_EQ(Entries(*dialog->ParentListBox), (std::vector<std::string>{"A"}));
}

TEST(Relations, EntriesSplitAtTheFirstArrow) {
    std::string parent, key;
    SplitRelation("OWNER->ID->X", parent, key);
    EXPECT_EQ(parent, "OWNER");
    EXPECT_EQ(key, "ID->X");
    SplitRelation("NOARROW", parent, key);
    EXPECT_EQ(parent, "");
    EXPECT_EQ(key, "OARROW");
    SplitRelation("", parent, key);
    EXPECT_EQ(parent + key, "");
}

// ---- key fields ---------------------------------------------------------------------------------

class KeysDialogTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        dialog.reset(new TKeysEditorDialog(nullptr));
        for (const char* s : {"ID", "CODE", "NAME"})
            dialog->PossibleItemsListBox->Items()->Add(s);
    }
    TModalResult Run(std::function<void(TKeysEditorDialog&)> script) {
        TModalScript driver(
            [&](TCustomForm& form) { script(dynamic_cast<TKeysEditorDialog&>(form)); });
        return dialog->ShowModal();
    }
    TOwned<TKeysEditorDialog> dialog;
};

TEST_F(KeysDialogTest, TheStoredFormGivesItsComponentsAndCaptions) {
    EXPECT_EQ(dialog->Caption(), "Fields Selection Dialog");
    EXPECT_TRUE(dialog->Unique());
    EXPECT_EQ(dialog->OkButton->Caption() + dialog->CancelButton->Caption(), "OkCancel");
    EXPECT_EQ(dialog->OkButton->ModalResult(), mrOk);
    EXPECT_TRUE(dialog->PossibleItemsListBox->MultiSelect());
}

TEST_F(KeysDialogTest, UniqueModeMovesNamesBetweenTheLists) {
    TModalResult result = Run([](TKeysEditorDialog& d) {
        click_item(*d.PossibleItemsListBox, 1); // CODE
        EXPECT_TRUE(d.AddButton->Enabled());
        click_item(*d.PossibleItemsListBox, 0, {ssCtrl}); // and ID
        Press(*d.AddButton);
        EXPECT_EQ(Entries(*d.SetItemsListBox), (std::vector<std::string>{"ID", "CODE"}));
        EXPECT_EQ(Entries(*d.PossibleItemsListBox), (std::vector<std::string>{"NAME"}));
        EXPECT_EQ(d.PossibleItemsListBox->SelCount(), 0);
        EXPECT_FALSE(d.AddButton->Enabled());
        click_item(*d.SetItemsListBox, 1); // CODE goes back, to the end
        Press(*d.RemoveButton);
        EXPECT_EQ(Entries(*d.PossibleItemsListBox), (std::vector<std::string>{"NAME", "CODE"}));
        EXPECT_FALSE(d.RemoveButton->Enabled());
        Press(*d.OkButton);
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(Entries(*dialog->SetItemsListBox), (std::vector<std::string>{"ID"}));
}

TEST_F(KeysDialogTest, UniqueModeLeavesANameAlreadyChosenWhereItIs) {
    dialog->SetItemsListBox->Items()->Add("NAME");
    dialog->PossibleItemsListBox->SetSelected(2, true);
    dialog->AddButtonClick(nullptr);
    EXPECT_EQ(Entries(*dialog->SetItemsListBox), (std::vector<std::string>{"NAME"}));
    EXPECT_EQ(Entries(*dialog->PossibleItemsListBox),
              (std::vector<std::string>{"ID", "CODE", "NAME"}));
}

TEST_F(KeysDialogTest, RepeatsModeKeepsThePossibleListWhole) {
    dialog->SetUnique(false);
    TModalResult result = Run([](TKeysEditorDialog& d) {
        for (int i = 0; i < 2; ++i) {
            click_item(*d.PossibleItemsListBox, 2);
            Press(*d.AddButton);
        }
        EXPECT_EQ(Entries(*d.SetItemsListBox), (std::vector<std::string>{"NAME", "NAME"}));
        click_item(*d.SetItemsListBox, 0);
        Press(*d.RemoveButton);
        EXPECT_EQ(Entries(*d.SetItemsListBox), (std::vector<std::string>{"NAME"}));
        EXPECT_EQ(Entries(*d.PossibleItemsListBox),
                  (std::vector<std::string>{"ID", "CODE", "NAME"}));
        Press(*d.CancelButton);
    });
    EXPECT_EQ(result, mrCancel);
}

// ---- lookup values ------------------------------------------------------------------------------

class LookupValuesTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        form.reset(new TFmLookupValues(nullptr));
    }
    void Give(TFieldType type, std::vector<std::pair<std::string, int32_t>> entries) {
        TStringList list;
        for (auto& [text, code] : entries)
            list.AddObject(text, IntToObject(code));
        form->SetTypeIndex(type);
        form->SetLines(&list);
    }
    // The result as "text=code" entries.
    std::vector<std::string> Result() {
        std::vector<std::string> out;
        auto lines = form->GetLines();
        for (int i = 0; i < lines->Count(); ++i)
            out.push_back(lines->Get(i) + "=" + std::to_string(ObjectToInt(lines->GetObject(i))));
        return out;
    }
    // Clicks a row of the value column and types a value over it.
    void TypeValue(int row, const std::string& text) {
        TListBox& values = *form->LXValues;
        click_item(values, row);
        ASSERT_TRUE(form->EdValue->Visible());
        ASSERT_TRUE(form->EdValue->Focused());
        form->EdValue->SelectAll();
        type_text(*form->EdValue, text);
    }
    TModalResult Run(std::function<void()> script) {
        TModalScript driver([&](TCustomForm&) { script(); });
        return form->ShowModal();
    }
    TOwned<TFmLookupValues> form;
};

TEST_F(LookupValuesTest, TheStoredFormGivesItsComponentsAndCaptions) {
    EXPECT_EQ(form->Caption(), "Lookup values edior");
    EXPECT_EQ(form->TypeIndex(), ftUnknown);
    EXPECT_EQ(form->ActiveControl(), form->MmLines);
    EXPECT_EQ(form->LXValues->ItemHeight(), 17); // set by FormCreate
    EXPECT_EQ(form->EdValue->Height(), 17);
    EXPECT_FALSE(form->EdValue->Visible());
}

TEST_F(LookupValuesTest, IntegerCodesAreTypedAsNumbersAndWrongTextsShowRed) {
    Give(ftInteger, {{"Open", 1}, {"Closed", 5}});
    EXPECT_EQ(Entries(*form->LXValues), (std::vector<std::string>{"1", "5"}));
    TModalResult result = Run([&] {
        TypeValue(1, "7x");
        EXPECT_EQ(form->EdValue->Font()->Color(), clRed);
        EXPECT_EQ(form->LXValues->Items()->Get(1), "7"); // "7" was valid on the way
        press_key(*form->EdValue, VK_BACK);
        press_key(*form->EdValue, VK_BACK);
        type_text(*form->EdValue, "9");
        EXPECT_EQ(form->EdValue->Font()->Color(), clWindowText);
        // The editor lies over the chosen row.
        EXPECT_EQ(form->EdValue->Top(), form->LXValues->Top() + 1 * form->LXValues->ItemHeight());
        Press(*form->BBnOk);
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_TRUE(form->IsModified());
    EXPECT_EQ(Result(), (std::vector<std::string>{"Open=1", "Closed=9"}));
    EXPECT_FALSE(form->EdValue->Visible()); // hidden when it lost the focus
}

TEST_F(LookupValuesTest, AnInvalidTextKeepsTheLastValidValue) {
    Give(ftInteger, {{"Open", 1}, {"Closed", 5}});
    Run([&] {
        click_item(*form->LXValues, 1);
        SetClipboardText("7x");
        form->EdValue->PasteFromClipboard();
        EXPECT_EQ(form->EdValue->Font()->Color(), clRed);
        Press(*form->BBnOk);
    });
    EXPECT_EQ(Result(), (std::vector<std::string>{"Open=1", "Closed=5"}));
}

TEST_F(LookupValuesTest, BooleanCodesAreTypedAsYesNoWords) {
    Give(ftBoolean, {{"Yes", 0}, {"No", 1}});
    EXPECT_EQ(Entries(*form->LXValues), (std::vector<std::string>{"False", "True"}));
    Run([&] {
        TypeValue(0, "ON");
        EXPECT_EQ(form->LXValues->Items()->Get(0), "ON");
        TypeValue(1, "-");
        TypeValue(1, "yes");
        EXPECT_EQ(form->EdValue->Font()->Color(), clRed);
        Press(*form->BBnOk);
    });
    EXPECT_EQ(Result(), (std::vector<std::string>{"Yes=1", "No=0"}));
    for (const char* word : {"false", "Off", "0", "-", "TRUE", "on", "1", "+"})
        EXPECT_TRUE(LookupTextIsValid(ftBoolean, word)) << word;
    EXPECT_FALSE(LookupTextIsValid(ftBoolean, "yes"));
}

TEST_F(LookupValuesTest, FloatCodesRoundHalvesToTheEvenNeighbour) {
    Give(ftFloat, {{"A", 1}, {"B", 2}});
    Run([&] {
        TypeValue(0, "2.5");
        TypeValue(1, "3.5");
        Press(*form->BBnOk);
    });
    EXPECT_EQ(Result(), (std::vector<std::string>{"A=2", "B=4"}));
    EXPECT_EQ(LookupTextToCode(ftFloat, "-2.5"), -2);
    // A number no 32-bit code can hold is refused instead of overflowing.
    EXPECT_FALSE(LookupTextIsValid(ftFloat, "1e20"));
    EXPECT_FALSE(LookupTextIsValid(ftFloat, "2147483647.6"));
}

TEST_F(LookupValuesTest, AStringFieldKeepsItsCodesByPosition) {
    Give(ftString, {{"First", 3}, {"Second", 4}});
    EXPECT_FALSE(form->LXValues->Enabled());
    EXPECT_FALSE(form->LbValues->Enabled());
    EXPECT_EQ(Entries(*form->LXValues), (std::vector<std::string>{"", ""}));
    Run([&] {
        form->MmLines->SetFocus();
        press_key(*form->MmLines, VK_END);
        type_text(*form->MmLines, "!");
        press_key(*form->MmLines, VK_DOWN);
        press_key(*form->MmLines, VK_END);
        press_key(*form->MmLines, VK_RETURN);
        type_text(*form->MmLines, "Third");
        Press(*form->BBnOk);
    });
    EXPECT_TRUE(form->IsModified());
    EXPECT_EQ(Result(), (std::vector<std::string>{"First!=3", "Second=4", "Third=0"}));
}

TEST_F(LookupValuesTest, OkWithoutChangesReportsNothingModified) {
    Give(ftInteger, {{"Open", 1}});
    EXPECT_EQ(Run([&] { Press(*form->BBnOk); }), mrOk);
    EXPECT_FALSE(form->IsModified());
}

TEST_F(LookupValuesTest, TypingWithNoValueEntryChangesNothing) {
    Give(ftInteger, {});
    Run([&] {
        form->LXValues->SetFocus(); // the editor opens, but there is no row to store into
        ASSERT_TRUE(form->EdValue->Focused());
        type_text(*form->EdValue, "5");
        Press(*form->BBnCancel);
    });
    EXPECT_TRUE(form->LXValues->Items()->Count() == 0);
}

// ---- bit mask -----------------------------------------------------------------------------------

class MaskEditorTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        editor.reset(new TMaskEditor(nullptr));
    }
    TOwned<TMaskEditor> editor;
};

TEST_F(MaskEditorTest, TheStoredFormGivesFourBytesOfBoxes) {
    EXPECT_EQ(editor->Caption(), "Mask Editor");
    EXPECT_EQ(editor->BitBox(31)->Parent(), editor->GroupBox1);
    EXPECT_EQ(editor->GroupBox1->Caption(), "Third Byte");
    EXPECT_EQ(editor->BitBox(31)->Caption(), "7-th Bit");
    EXPECT_EQ(editor->BitBox(24)->Caption(), "0-Bit");
    EXPECT_EQ(editor->BitBox(31)->Tag(), INT32_MIN);
    EXPECT_EQ(editor->BitBox(4)->Tag(), 16);
    EXPECT_FALSE(editor->TestLabel->Enabled());
}

TEST_F(MaskEditorTest, SetMaskTicksTheBitsWithoutTheClickHandlersChangingIt) {
    editor->SetMask(5);
    for (int bit = 0; bit < 32; ++bit)
        EXPECT_EQ(editor->BitBox(bit)->Checked(), bit == 0 || bit == 2) << bit;
    EXPECT_EQ(editor->Mask(), 5);
    EXPECT_EQ(editor->TestLabel->Caption(), "5");
}

TEST_F(MaskEditorTest, TickingBoxesBuildsTheMaskBitByBit) {
    TModalScript driver([&](TCustomForm&) {
        TCheckBox& top = *editor->BitBox(31);
        click(top, 5, 5);
        EXPECT_EQ(editor->TestLabel->Caption(), "-2147483648");
        click(*editor->BitBox(1), 5, 5);
        EXPECT_EQ(editor->TestLabel->Caption(), "-2147483646");
        click(*editor->BitBox(1), 5, 5);
        Press(*editor->BitBtn1);
    });
    EXPECT_EQ(editor->ShowModal(), mrOk);
    EXPECT_EQ(editor->Mask(), INT32_MIN);
}

} // namespace
} // namespace orvel
