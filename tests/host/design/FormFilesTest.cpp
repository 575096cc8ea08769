// Form files: writing components and reading them back, references resolved after the whole text,
// Loaded called with the loading state cleared, and damaged texts failing cleanly.
#include "orvel/host/design/FormFiles.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Strings.h"
#include "orvel/host/core/SysUtils.h"
#include "tests/support/locale/CommaLocale.h"

#include <gtest/gtest.h>

using namespace orvel;

namespace {

enum TShape { shSquare, shRound };

class TGadget : public TComponent {
    ORVEL_PUBLISHED(TGadget)
public:
    explicit TGadget(TComponent* owner) : TComponent(owner) { ++Alive; }
    ~TGadget() override { --Alive; }
    static int Alive;

    std::string Caption() const { return FCaption; }
    void SetCaption(const std::string& v) { FCaption = v; }
    int Size() const { return FSize; }
    void SetSize(int v) { FSize = v; }
    double Ratio() const { return FRatio; }
    void SetRatio(double v) { FRatio = v; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool v) { FEnabled = v; }
    TShape Shape() const { return FShape; }
    void SetShape(TShape v) { FShape = v; }
    int64_t Options() const { return FOptions; }
    void SetOptions(int64_t v) { FOptions = v; }
    TGadget* Partner() const { return FPartner; }
    void SetPartner(TGadget* v) {
        FPartner = v;
        if (v) v->FreeNotification(this);
    }
    TStrings* Values() const { return FValues.get(); }
    TStrings* Notes() const { return FNotes.get(); }
    TNotifyEvent OnClick;

    void Loaded() override {
        SawLoadingInLoaded = IsLoading();
        PartnerAtLoaded = FPartner;
        TComponent::Loaded();
        LoadedCalls++;
    }
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op == TOperation::opRemove && c == FPartner) FPartner = nullptr;
    }
    bool HasParent() const override { return FParent != nullptr; }
    TComponent* GetParentComponent() const override { return FParent; }
    void SetParentComponent(TComponent* p) override { FParent = dynamic_cast<TGadget*>(p); }

    bool SawLoadingInLoaded = false;
    TGadget* PartnerAtLoaded = nullptr;
    int LoadedCalls = 0;

private:
    std::string FCaption;
    int FSize = 10;
    double FRatio = 0;
    bool FEnabled = true;
    TShape FShape = shSquare;
    int64_t FOptions = 0;
    TGadget* FPartner = nullptr;
    TGadget* FParent = nullptr;
    std::unique_ptr<TStringList> FValues = std::make_unique<TStringList>();
    std::unique_ptr<TStringList> FNotes = std::make_unique<TStringList>();
};

int TGadget::Alive = 0;

const TClassInfo& TGadget::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TGadget>("TGadget", &TComponent::StaticClassInfo())
            .Property("Caption", &TGadget::Caption, &TGadget::SetCaption)
            .Property("Size", &TGadget::Size, &TGadget::SetSize, Variant(10))
            .Property("Ratio", &TGadget::Ratio, &TGadget::SetRatio)
            .Property("Enabled", &TGadget::Enabled, &TGadget::SetEnabled, Variant(true))
            .Enum("Shape", "TShape", {"shSquare", "shRound"}, &TGadget::Shape, &TGadget::SetShape,
                  std::optional<TShape>(shSquare))
            .Set("Options", "TGadgetOptions", {"goBig", "goLoud", "goFast"}, &TGadget::Options,
                 &TGadget::SetOptions, std::optional<int64_t>(0))
            .Object("Partner", "TGadget", &TGadget::Partner, &TGadget::SetPartner)
            .Object<TStrings>("Values", "TStrings", &TGadget::Values)
            .WithObjectCodes()
            .Object<TStrings>("Notes", "TStrings", &TGadget::Notes)
            .Event("OnClick", "TNotifyEvent", &TGadget::OnClick)
            .Creatable()
            .Build();
    return info;
}

class FormFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterClass(TGadget::StaticClassInfo());
        RegisterClass(TDataModule::StaticClassInfo());
        TGadget::Alive = 0;
    }
};

const char* kForm = R"(object Module1: TDataModule
  object First: TGadget
    Partner = Second
    Caption = 'It''s a ' + 'long'#13#10'text'
    Size = -4
    Ratio = 2.5
    Enabled = False
    Shape = shRound
    Options = [goBig, goFast]
    Values.Strings = (
      'Open'
      'Closed')
    Values.Objects = (1 -5)
    object Inner: TGadget
      Caption = 'inside'
    end
  end
  object Second: TGadget
    Notes.Strings = ('x')
  end
end
)";

} // namespace

TEST_F(FormFilesTest, ReadsComponentsPropertiesAndLaterReferences) {
    TOwned<TComponent> root(ReadComponentFromText(kForm, nullptr));
    ASSERT_EQ(root->ClassName(), "TDataModule");
    EXPECT_EQ(root->Name(), "Module1");
    ASSERT_EQ(root->ComponentCount(), 3);
    auto* first = dynamic_cast<TGadget*>(root->FindComponent("First"));
    auto* inner = dynamic_cast<TGadget*>(root->FindComponent("Inner"));
    auto* second = dynamic_cast<TGadget*>(root->FindComponent("Second"));
    ASSERT_TRUE(first && inner && second);
    EXPECT_EQ(first->Caption(), "It's a long\r\ntext");
    EXPECT_EQ(first->Size(), -4);
    EXPECT_DOUBLE_EQ(first->Ratio(), 2.5);
    EXPECT_FALSE(first->Enabled());
    EXPECT_EQ(first->Shape(), shRound);
    EXPECT_EQ(first->Options(), 0b101);
    EXPECT_EQ(first->Partner(), second); // named before it was created
    EXPECT_EQ(first->Values()->ToVector(), (std::vector<std::string>{"Open", "Closed"}));
    EXPECT_EQ(ObjectToInt(first->Values()->GetObject(1)), -5);
    EXPECT_EQ(inner->GetParentComponent(), first);
    EXPECT_EQ(inner->Owner(), root.get());
    for (auto* g : {first, inner, second}) {
        EXPECT_EQ(g->LoadedCalls, 1);
        EXPECT_TRUE(g->SawLoadingInLoaded);
        EXPECT_FALSE(g->IsLoading());
    }
    EXPECT_EQ(first->PartnerAtLoaded, second); // references are in place before Loaded
}

TEST_F(FormFilesTest, WrittenFormsReadBackTheSame) {
    TOwned<TComponent> root(ReadComponentFromText(kForm, nullptr));
    std::string text = WriteComponentToText(root.get());
    EXPECT_EQ(text.find("Size = 10"), std::string::npos); // defaults are not stored
    TOwned<TComponent> again(ReadComponentFromText(text, nullptr));
    EXPECT_EQ(WriteComponentToText(again.get()), text);
    auto* first = dynamic_cast<TGadget*>(again->FindComponent("First"));
    EXPECT_EQ(first->Caption(), "It's a long\r\ntext");
    EXPECT_EQ(first->Partner(), again->FindComponent("Second"));
    EXPECT_EQ(dynamic_cast<TGadget*>(again->FindComponent("Inner"))->GetParentComponent(), first);
    EXPECT_EQ(ObjectToInt(first->Values()->GetObject(0)), 1);
}

// A form file is the same text on every machine: neither the user's decimal-comma locale nor an
// application's own decimal separator changes how its numbers are written or read.
TEST_F(FormFilesTest, NumbersRoundTripUnderADecimalCommaLocaleAndSeparator) {
    ORVEL_REQUIRE_COMMA_LOCALE(locale);
    TOwned<TComponent> root(ReadComponentFromText(kForm, nullptr));
    auto* first = dynamic_cast<TGadget*>(root->FindComponent("First"));
    ASSERT_TRUE(first);
    EXPECT_DOUBLE_EQ(first->Ratio(), 2.5);
    first->SetRatio(-0.125);
    std::string text = WriteComponentToText(root.get());
    EXPECT_NE(text.find("Ratio = -0.125\n"), std::string::npos) << text;

    TFormatSettings saved = FormatSettings();
    FormatSettings().DecimalSeparator = ',';
    std::string underComma;
    double readBack = 0;
    try {
        underComma = WriteComponentToText(root.get());
        TOwned<TComponent> again(ReadComponentFromText(text, nullptr));
        readBack = dynamic_cast<TGadget*>(again->FindComponent("First"))->Ratio();
    } catch (...) {
        FormatSettings() = saved;
        throw;
    }
    FormatSettings() = saved;
    EXPECT_EQ(underComma, text);
    EXPECT_DOUBLE_EQ(readBack, -0.125);
}

TEST_F(FormFilesTest, DamagedTextsNameTheLineAndLeaveNothingBehind) {
    struct TCase {
        const char* Text;
        const char* Message;
    };
    const TCase cases[] = {
        {"object A: TDataModule\n  object B: TGadget\n    Size = 'big'\n  end\nend\n",
         "Line 3: Integer expected"},
        {"object A: TDataModule\n  object B: TGadget\n    Colour = 5\n  end\nend\n",
         "Line 3: Property Colour does not exist"},
        {"object A: TDataModule\n  object B: TGadget\n    Partner = Nobody\n  end\nend\n",
         "Line 3: Component Nobody not found"},
        {"object A: TDataModule\n  object B: TNoSuchClass\n  end\nend\n",
         "Line 2: Class TNoSuchClass not found"},
        {"object A: TDataModule\n  object B: TGadget\n    Shape = shOval\n  end\nend\n",
         "Line 3: Invalid property value shOval"},
        {"object A: TDataModule\n  object B: TGadget\n    Caption = 'open\n  end\nend\n",
         "Line 3: Unterminated string"},
        {"object A: TDataModule\n  object B: TGadget\n", "Line 3: 'end' expected"},
        {"object A: TDataModule\n  object B: TGadget\n    OnClick = GadgetClick\n  end\nend\n",
         "Line 3: Event handler GadgetClick not found"},
        {"object A: TDataModule\n  object B: TGadget\n  end\n  object B: TGadget\n  end\nend\n",
         "Line 4: A component named B already exists"},
        {"object A: TDataModule\nend\nobject", "Line 3: Text after the end of the form"},
    };
    for (const TCase& c : cases) {
        try {
            ReadComponentFromText(c.Text, nullptr);
            ADD_FAILURE() << "no error for:\n" << c.Text;
        } catch (const EReadError& e) {
            EXPECT_STREQ(e.what(), c.Message);
        }
        EXPECT_EQ(TGadget::Alive, 0) << c.Text;
    }
}

TEST_F(FormFilesTest, EventHandlersAreBoundByTheApplication) {
    int clicks = 0;
    TFormReadOptions options;
    options.BindMethod = [&](TComponent* instance, const TPropInfo& p, const std::string& handler) {
        if (handler != "GadgetClick" || p.Name != "OnClick") return false;
        dynamic_cast<TGadget*>(instance)->OnClick = [&](TObject*) { ++clicks; };
        return true;
    };
    TOwned<TComponent> root(ReadComponentFromText(
        "object A: TDataModule\n object B: TGadget\n  OnClick = GadgetClick\n end\nend", nullptr,
        options));
    dynamic_cast<TGadget*>(root->FindComponent("B"))->OnClick(nullptr);
    EXPECT_EQ(clicks, 1);
}
