// Forms and dialogs: modal showing through a test's script, closing, the classes form files
// create, and the properties dialogs are built with.
#include "orvel/host/controls/Buttons.h"
#include "orvel/host/controls/ControlClasses.h"
#include "orvel/host/controls/ExtCtrls.h"
#include "orvel/host/controls/Grids.h"
#include "orvel/host/core/Exceptions.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace orvel {
namespace {

// A small dialog: an edit box, OK and Cancel.
class TNameDialog : public TForm {
public:
    explicit TNameDialog(TComponent* owner) : TForm(owner) {
        SetBounds(100, 100, 300, 120);
        SetBorderStyle(bsDialog);
        NameEdit = new TEdit(this);
        NameEdit->SetParent(this);
        NameEdit->SetBounds(10, 10, 200, 21);
        Ok = new TBitBtn(this);
        Ok->SetParent(this);
        Ok->SetBounds(10, 60, 75, 25);
        Ok->SetKind(bkOK);
        Cancel = new TBitBtn(this);
        Cancel->SetParent(this);
        Cancel->SetBounds(90, 60, 75, 25);
        Cancel->SetKind(bkCancel);
        SetActiveControl(NameEdit);
    }
    TEdit* NameEdit;
    TBitBtn* Ok;
    TBitBtn* Cancel;
};

class ModalTest : public TUiTest {
protected:
    TTestForm main;
    TEdit& field = main.Place<TEdit>(10, 10, 100, 21);
    TOwned<TNameDialog> dialog{new TNameDialog(nullptr)};

    void SetUp() override {
        TUiTest::SetUp();
        field.SetFocus();
    }
};

TEST_F(ModalTest, TheScriptRunsTheDialogAndShowModalAnswersItsResult) {
    TModalScript script([&](TCustomForm& form) {
        EXPECT_EQ(&form, dialog.get());
        EXPECT_TRUE(form.Visible());
        EXPECT_TRUE(form.IsModal());
        EXPECT_TRUE(dialog->NameEdit->Focused());
        type_text(*dialog->NameEdit, "Ada");
        press_key(VK_RETURN); // the default button: OK
    });
    EXPECT_EQ(dialog->ShowModal(), mrOk);
    EXPECT_EQ(script.Runs(), 1);
    EXPECT_EQ(dialog->NameEdit->Text(), "Ada");
    EXPECT_FALSE(dialog->Visible());
    EXPECT_FALSE(dialog->IsModal());
    EXPECT_TRUE(field.Focused());
    EXPECT_EQ(Screen().ActiveForm(), &main.Form());
}

TEST_F(ModalTest, EscapeClosingAndAScriptThatJustReturnsCancel) {
    {
        TModalScript script([](TCustomForm&) { press_key(VK_ESCAPE); });
        EXPECT_EQ(dialog->ShowModal(), mrCancel);
    }
    {
        TModalScript script([](TCustomForm&) {});
        EXPECT_EQ(dialog->ShowModal(), mrCancel);
    }
    {
        TModalScript script([](TCustomForm& form) { form.Close(); });
        EXPECT_EQ(dialog->ShowModal(), mrCancel);
    }
    {
        // A refused close leaves the result to the buttons.
        dialog->OnCloseQuery = [](TObject*, bool& can) { can = false; };
        TModalScript script([&](TCustomForm& form) {
            form.Close();
            EXPECT_EQ(form.ModalResult(), mrNone);
            click(*dialog->Ok, 5, 5);
        });
        EXPECT_EQ(dialog->ShowModal(), mrOk);
    }
}

TEST_F(ModalTest, ModalShowingNeedsADriverAndAHiddenForm) {
    EXPECT_THROW(dialog->ShowModal(), EInvalidOperation);
    EXPECT_FALSE(dialog->Visible());
    TModalScript script([](TCustomForm&) { throw std::runtime_error("script failed"); });
    EXPECT_THROW(dialog->ShowModal(), std::runtime_error);
    EXPECT_FALSE(dialog->Visible());
    EXPECT_FALSE(dialog->IsModal());
    EXPECT_TRUE(field.Focused());
    EXPECT_THROW(main.Form().ShowModal(), EInvalidOperation); // visible already
}

TEST(FormClosing, CaFreeFreesTheFormAfterTheQueuedMessages) {
    reset_ui();
    auto* form = new TForm(nullptr);
    form->Show();
    struct TWatch : TComponent {
        using TComponent::TComponent;
        bool Gone = false;
        void Notification(TComponent* c, TOperation op) override {
            TComponent::Notification(c, op);
            if (op == TOperation::opRemove) Gone = true;
        }
    } watch(nullptr);
    watch.FreeNotification(form);
    form->OnClose = [](TObject*, TCloseAction& action) { action = caFree; };
    form->Close();
    EXPECT_FALSE(watch.Gone);
    run_messages();
    EXPECT_TRUE(watch.Gone);
}

TEST(ControlClasses, FormFilesCreateTheControlsByClassNameAndNestThem) {
    RegisterControlClasses();
    TOwned<TForm> form(new TForm(nullptr));
    const char* names[] = {"TForm",    "TButton",   "TBitBtn",   "TLabel",     "TEdit",
                           "TMemo",    "TCheckBox", "TGroupBox", "TPanel",     "TBevel",
                           "TListBox", "TComboBox", "TDrawGrid", "TStringGrid"};
    for (const char* name : names) {
        const TClassInfo* info = FindClassInfo(name);
        ASSERT_NE(info, nullptr) << name;
        ASSERT_TRUE(info->Create) << name;
    }
    auto* group = static_cast<TGroupBox*>(FindClassInfo("TGroupBox")->Create(form.get()));
    auto* box = static_cast<TCheckBox*>(FindClassInfo("TCheckBox")->Create(form.get()));
    group->SetParentComponent(form.get());
    box->SetParentComponent(group);
    EXPECT_EQ(box->GetParentComponent(), group);
    EXPECT_EQ(group->Parent(), form.get());
    TComponent plain(nullptr);
    EXPECT_THROW(box->SetParentComponent(&plain), EInvalidOperation);
}

TEST(ControlClasses, PublishedPropertiesOfTheDialogControls) {
    TOwned<TForm> form(new TForm(nullptr));
    auto* ok = new TBitBtn(form.get());
    SetEnumProp(ok, "Kind", "bkOK");
    EXPECT_EQ(GetPropValue(ok, "ModalResult").AsInteger(), mrOk);
    EXPECT_EQ(GetPropValue(ok, "Caption").AsString(), "OK");

    auto* list = new TListBox(form.get());
    SetPropValue(list, "MultiSelect", Variant(true));
    static_cast<TStrings*>(GetObjectProp(list, "Items"))->Add("ORG_ID");
    EXPECT_EQ(list->Items()->Count(), 1);
    EXPECT_TRUE(list->MultiSelect());

    auto* combo = new TComboBox(form.get());
    SetEnumProp(combo, "Style", "csDropDownList");
    EXPECT_EQ(combo->Style(), csDropDownList);
    EXPECT_EQ(GetPropValue(combo, "DropDownCount").AsInteger(), 8);

    auto* memo = new TMemo(form.get());
    TStringList lines{"a", "b"};
    SetObjectProp(memo, "Lines", &lines);
    EXPECT_EQ(memo->Text(), "a\nb");

    auto* label = new TLabel(form.get());
    auto* edit = new TEdit(form.get());
    edit->SetParent(form.get());
    SetObjectProp(label, "FocusControl", edit);
    EXPECT_EQ(label->FocusControl(), edit);
    SetObjectProp(form.get(), "ActiveControl", edit);
    EXPECT_EQ(form->ActiveControl(), edit);
    SetEnumProp(form.get(), "BorderStyle", "bsDialog");
    EXPECT_EQ(form->BorderStyle(), bsDialog);

    auto* grid = new TStringGrid(form.get());
    SetPropValue(grid, "Options",
                 Variant(static_cast<int64_t>(TGridOptions{goEditing, goTabs}.Mask())));
    EXPECT_TRUE(grid->Options().Contains(goEditing));
    auto* bevel = new TBevel(form.get());
    SetEnumProp(bevel, "Shape", "bsTopLine");
    EXPECT_EQ(bevel->Shape(), bsTopLine);
}

TEST(ControlClasses, ALoadedFormRunsOnCreate) {
    TOwned<TForm> form(new TForm(nullptr));
    auto* box = new TCheckBox(form.get());
    box->SetParent(form.get());
    int created = 0;
    form->OnCreate = [&](TObject*) {
        ++created;
        box->SetChecked(true); // the dialog's controls are there
    };
    form->BeginLoading();
    box->BeginLoading();
    form->Loaded();
    box->Loaded();
    EXPECT_EQ(created, 1);
    EXPECT_TRUE(box->Checked());
}

} // namespace
} // namespace orvel
