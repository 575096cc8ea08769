// Form classes that read their own stored description: the class's component fields and handlers
// bound by name, colour and modal-result names, OnCreate after every component finished loading,
// and failed reads (also a failing Loaded) that leave nothing behind.
#include "orvel/host/controls/ControlClasses.h"
#include "orvel/host/controls/StdCtrls.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/data/Database.h"
#include "orvel/host/design/FormFiles.h"

#include <gtest/gtest.h>

#include <string>

namespace orvel {
namespace {

class TPickDialog : public TForm {
    ORVEL_PUBLISHED(TPickDialog)
public:
    using TForm::TForm;

    void Load(const std::string& text) {
        using T = TPickDialog;
        TFormBinding binding;
        binding.Field("Title", Title)
            .Field("Choices", Choices)
            .Field("OkButton", OkButton)
            .Method("FormCreate", TNotifyEvent::Bind<&T::FormCreate>(this))
            .Method("ChoicesClick", TNotifyEvent::Bind<&T::ChoicesClick>(this))
            .Method("ChoicesKeyPress", TKeyPressEvent::Bind<&T::ChoicesKeyPress>(this));
        TFormReadOptions options;
        options.Binding = &binding;
        ReadRootFromText(text, this, options);
    }

    TLabel* Title = nullptr;
    TListBox* Choices = nullptr;
    TButton* OkButton = nullptr;
    int Creates = 0;
    int TitleWidthAtCreate = -1;
    int Clicks = 0;
    std::string Keys;

    void FormCreate(TObject*) {
        if (Caption() == "Fail") throw EInvalidOperation("the form refuses to be created");
        ++Creates;
        TitleWidthAtCreate = Title->Width();
    }
    void ChoicesClick(TObject*) { ++Clicks; }
    void ChoicesKeyPress(TObject*, char& key) { Keys += key; }
};

const TClassInfo& TPickDialog::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TPickDialog>("TPickDialog", &TForm::StaticClassInfo()).Build();
    return info;
}

// A text with a caption, a label, a list and a button; the pieces can be replaced to damage it.
std::string PickForm(const std::string& caption = "Pick one",
                     const std::string& choicesClass = "TListBox",
                     const std::string& keyHandler = "ChoicesKeyPress", bool withButton = true) {
    std::string text = "object PickDialog: TPickDialog\n"
                       "  Caption = '" +
                       caption +
                       "'\n"
                       "  Color = clRed\n"
                       "  OnCreate = FormCreate\n"
                       "  object Title: TLabel\n"
                       "    Left = 8\n"
                       "    Width = 1\n"
                       "    Caption = 'Choose a colour'\n"
                       "  end\n"
                       "  object Choices: " +
                       choicesClass +
                       "\n"
                       "    Top = 30\n"
                       "    OnKeyPress = " +
                       keyHandler + "\n  end\n";
    if (withButton)
        text += "  object OkButton: TButton\n    ModalResult = mrOk\n"
                "    OnClick = ChoicesClick\n  end\n";
    return text + "end\n";
}

class FormClassesTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterControlClasses();
        RegisterDataClasses();
    }
    // Reads a damaged text into a fresh dialog and answers the error's message; the dialog must
    // be left without components, fields or loading state.
    std::string FailedLoad(const std::string& text) {
        TOwned<TPickDialog> dialog(new TPickDialog(nullptr));
        std::string message = "(no error)";
        try {
            dialog->Load(text);
        } catch (const EReadError& e) {
            message = e.what();
        }
        EXPECT_EQ(dialog->ComponentCount(), 0) << message;
        EXPECT_TRUE(!dialog->Title && !dialog->Choices && !dialog->OkButton) << message;
        EXPECT_FALSE(dialog->IsLoading()) << message;
        EXPECT_EQ(dialog->ControlCount(), 0) << message;
        return message;
    }
};

TEST_F(FormClassesTest, AFormClassReadsItsDescriptionIntoItself) {
    TOwned<TPickDialog> dialog(new TPickDialog(nullptr));
    dialog->Load(PickForm());
    EXPECT_EQ(dialog->Name(), "PickDialog");
    EXPECT_EQ(dialog->Caption(), "Pick one");
    EXPECT_EQ(dialog->Color(), clRed);
    ASSERT_TRUE(dialog->Title && dialog->Choices && dialog->OkButton);
    EXPECT_EQ(dialog->Choices->Parent(), dialog.get());
    EXPECT_EQ(dialog->OkButton->ModalResult(), mrOk);
    EXPECT_FALSE(dialog->IsLoading());
    // OnCreate ran once, after the label sized itself to its caption in its own Loaded.
    EXPECT_EQ(dialog->Creates, 1);
    EXPECT_GT(dialog->TitleWidthAtCreate, 1);
    // Handlers of two event types, one of them given to two components.
    char key = 'q';
    dialog->Choices->OnKeyPress(dialog->Choices, key);
    dialog->OkButton->OnClick(dialog->OkButton);
    EXPECT_EQ(dialog->Keys, "q");
    EXPECT_EQ(dialog->Clicks, 1);
}

TEST_F(FormClassesTest, ASecondFormOfTheSameOwnerTakesAFreeName) {
    TOwned<TComponent> owner(new TComponent(nullptr));
    auto* first = new TPickDialog(owner.get());
    first->Load(PickForm());
    auto* second = new TPickDialog(owner.get());
    second->Load(PickForm());
    EXPECT_EQ(first->Name(), "PickDialog");
    EXPECT_EQ(second->Name(), "PickDialog_1");
    EXPECT_NE(second->Choices, first->Choices);
}

TEST_F(FormClassesTest, DamagedDescriptionsFailCleanly) {
    EXPECT_EQ(FailedLoad(PickForm("Pick one", "TListBox", "ChoicesClick")),
              "Line 12: Event handler ChoicesClick not found"); // a handler of another type
    EXPECT_EQ(FailedLoad(PickForm("Pick one", "TButton")),
              "Line 10: Component Choices does not fit its field");
    EXPECT_EQ(FailedLoad(PickForm("Pick one", "TListBox", "ChoicesKeyPress", false)),
              "Line 1: Component OkButton is missing");
    EXPECT_EQ(FailedLoad("object PickDialog: TDataModule\nend\n"),
              "Line 1: The text describes TDataModule, not TPickDialog");
    EXPECT_EQ(FailedLoad(PickForm("Fail")), "Line 1: the form refuses to be created");
}

class TCounted : public TComponent {
    ORVEL_PUBLISHED(TCounted)
public:
    explicit TCounted(TComponent* owner) : TComponent(owner) { ++Alive; }
    ~TCounted() override { --Alive; }
    static int Alive;
};
int TCounted::Alive = 0;

const TClassInfo& TCounted::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TCounted>("TCounted", &TComponent::StaticClassInfo()).Creatable().Build();
    return info;
}

TEST_F(FormClassesTest, AComponentFailingInLoadedTakesTheWholeFormAlong) {
    RegisterClass(TCounted::StaticClassInfo());
    int forms = Screen().FormCount();
    const char* text = "object Main: TForm\n"
                       "  object Before: TCounted\n"
                       "  end\n"
                       "  object Missing: TTable\n"
                       "    DatabaseName = ':memory:'\n"
                       "    TableName = 'NO_SUCH_TABLE'\n"
                       "    Active = True\n"
                       "  end\n"
                       "  object After: TCounted\n"
                       "  end\n"
                       "end\n";
    try {
        ReadComponentFromText(text, nullptr);
        ADD_FAILURE() << "the table opened";
    } catch (const EReadError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Line 4: ", 0), 0u) << e.what();
    }
    EXPECT_EQ(TCounted::Alive, 0);
    EXPECT_EQ(Screen().FormCount(), forms);
}

} // namespace
} // namespace orvel
