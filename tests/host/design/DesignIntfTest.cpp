// The designer host: palette pages, editor lookup (most specific first) and the editors of each
// property kind as a designer session uses them.
#include "orvel/host/design/DesignIntf.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Strings.h"

#include <gtest/gtest.h>

using namespace orvel;

namespace {

class TPart : public TComponent {
    ORVEL_PUBLISHED(TPart)
public:
    using TComponent::TComponent;
    std::string Label() const { return FLabel; }
    void SetLabel(const std::string& v) { FLabel = v; }
    std::string Field() const { return FField; }
    void SetField(const std::string& v) { FField = v; }
    int Mask() const { return FMask; }
    void SetMask(int v) { FMask = v; }
    bool Flag() const { return FFlag; }
    void SetFlag(bool v) { FFlag = v; }
    TPart* Link() const { return FLink; }
    void SetLink(TPart* v) { FLink = v; }
    TStrings* Items() const { return FItems.get(); }

private:
    std::string FLabel, FField;
    int FMask = 0;
    bool FFlag = false;
    TPart* FLink = nullptr;
    std::unique_ptr<TStringList> FItems = std::make_unique<TStringList>();
};

class TSpecialPart : public TPart {
    ORVEL_PUBLISHED(TSpecialPart)
public:
    using TPart::TPart;
};

const TClassInfo& TPart::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TPart>("TPart", &TComponent::StaticClassInfo())
                                       .Property("Label", &TPart::Label, &TPart::SetLabel)
                                       .Property("Field", &TPart::Field, &TPart::SetField)
                                       .Property("Mask", &TPart::Mask, &TPart::SetMask)
                                       .Property("Flag", &TPart::Flag, &TPart::SetFlag)
                                       .Object("Link", "TPart", &TPart::Link, &TPart::SetLink)
                                       .Object<TStrings>("Items", "TStrings", &TPart::Items)
                                       .Creatable()
                                       .Build();
    return info;
}

const TClassInfo& TSpecialPart::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TSpecialPart>("TSpecialPart", &TPart::StaticClassInfo()).Creatable().Build();
    return info;
}

template <int N> class TTaggedEditor : public TStringProperty {
public:
    using TStringProperty::TStringProperty;
    std::string GetValue() override { return "editor " + std::to_string(N); }
};

class DesignIntfTest : public ::testing::Test {
protected:
    void SetUp() override { ResetDesignerRegistry(); }
    void TearDown() override { ResetDesignerRegistry(); }
};

std::vector<std::string> ValuesOf(TPropertyEditor& e) {
    std::vector<std::string> out;
    e.GetValues([&](const std::string& s) { out.push_back(s); });
    return out;
}

} // namespace

TEST_F(DesignIntfTest, PalettePagesListTheirComponentsInOrder) {
    RegisterComponents("Orvel", {&TPart::StaticClassInfo(), &TSpecialPart::StaticClassInfo()});
    RegisterComponents("Samples", {&TSpecialPart::StaticClassInfo()});
    EXPECT_EQ(PalettePages(), (std::vector<std::string>{"Orvel", "Samples"}));
    EXPECT_EQ(PaletteComponents("Orvel").size(), 2u);
    EXPECT_EQ(PaletteComponents("Samples")[0]->Name, "TSpecialPart");
    EXPECT_NE(FindClassInfo("TPart"), nullptr); // palette classes can be read from forms
}

TEST_F(DesignIntfTest, TheMostSpecificRegistrationWins) {
    TOwned<TComponent> form(new TComponent(nullptr));
    auto* special = new TSpecialPart(form.get());
    auto* plain = new TPart(form.get());
    RegisterPropertyEditor("string", nullptr, "", EditorClass<TTaggedEditor<1>>());
    RegisterPropertyEditor("string", &TPart::StaticClassInfo(), "",
                           EditorClass<TTaggedEditor<2>>());
    RegisterPropertyEditor("string", &TPart::StaticClassInfo(), "Field",
                           EditorClass<TTaggedEditor<3>>());
    RegisterPropertyEditor("string", &TSpecialPart::StaticClassInfo(), "Field",
                           EditorClass<TTaggedEditor<4>>());
    RegisterPropertyEditor("Integer", &TSpecialPart::StaticClassInfo(), "Field",
                           EditorClass<TTaggedEditor<5>>());
    TDesigner designer;
    EXPECT_EQ(GetPropertyEditor(&designer, {plain}, "Label")->GetValue(), "editor 2");
    EXPECT_EQ(GetPropertyEditor(&designer, {plain}, "Field")->GetValue(), "editor 3");
    EXPECT_EQ(GetPropertyEditor(&designer, {special}, "Field")->GetValue(), "editor 4");
    EXPECT_EQ(GetPropertyEditor(&designer, {special}, "Name")->GetValue(),
              "editor 2"); // inherited property
    EXPECT_EQ(GetPropertyEditor(&designer, {form.get()}, "Name")->GetValue(), "editor 1");
    RegisterPropertyEditor("string", &TPart::StaticClassInfo(), "",
                           EditorClass<TTaggedEditor<6>>());
    EXPECT_EQ(GetPropertyEditor(&designer, {plain}, "Label")->GetValue(),
              "editor 6"); // later one wins a tie
    EXPECT_THROW(GetPropertyEditor(&designer, {plain}, "Colour"), EPropertyError);
}

TEST_F(DesignIntfTest, DefaultEditorsOfEachKind) {
    TOwned<TComponent> form(new TComponent(nullptr));
    auto* a = new TPart(form.get());
    a->SetName("PartA");
    auto* b = new TPart(form.get());
    b->SetName("PartB");
    TDesigner designer;

    auto mask = GetPropertyEditor(&designer, {a, b}, "Mask");
    mask->SetValue("-2147483648");
    EXPECT_EQ(a->Mask(), INT32_MIN);
    EXPECT_EQ(b->Mask(), INT32_MIN); // every selected component
    EXPECT_EQ(mask->GetValue(), "-2147483648");
    EXPECT_THROW(mask->SetValue("lots"), EPropertyError);
    EXPECT_EQ(designer.ModifiedCount(), 1);

    auto flag = GetPropertyEditor(&designer, {a}, "Flag");
    EXPECT_EQ(ValuesOf(*flag), (std::vector<std::string>{"False", "True"}));
    flag->SetValue("True");
    EXPECT_TRUE(a->Flag());

    auto link = GetPropertyEditor(&designer, {a}, "Link");
    EXPECT_EQ(ValuesOf(*link), (std::vector<std::string>{"PartA", "PartB"}));
    link->SetValue("PartB");
    EXPECT_EQ(a->Link(), b);
    EXPECT_EQ(link->GetValue(), "PartB");
    EXPECT_THROW(link->SetValue("Nobody"), EPropertyError);

    auto items = GetPropertyEditor(&designer, {a}, "Items");
    EXPECT_EQ(items->GetValue(), "(TStrings)");
    TStringList replacement{"x", "y"};
    items->SetOrdValue(reinterpret_cast<intptr_t>(&replacement)); // a held list takes the contents
    EXPECT_EQ(a->Items()->ToVector(), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(reinterpret_cast<TStrings*>(items->GetOrdValue()), a->Items());
}
