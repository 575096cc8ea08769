// Published properties: declared once per class, inherited, listed, read and written by name.
#include "orvel/host/core/TypInfo.h"
#include "orvel/host/core/Component.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Strings.h"

#include <gtest/gtest.h>

using namespace orvel;

namespace {

enum TLoadMode { lmLazy, lmEager };

class TWidget : public TComponent {
    ORVEL_PUBLISHED(TWidget)
public:
    using TComponent::TComponent;
    int Size() const { return FSize; }
    void SetSize(int v) { FSize = v; }
    std::string Caption() const { return FCaption; }
    void SetCaption(const std::string& v) { FCaption = v; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool v) { FVisible = v; }
    TLoadMode Mode() const { return FMode; }
    void SetMode(TLoadMode v) { FMode = v; }
    TComponent* Buddy() const { return FBuddy; }
    void SetBuddy(TComponent* v) { FBuddy = v; }
    TStrings* Lines() const { return FLines.get(); }
    int Count() const { return FLines->Count(); }
    TNotifyEvent OnChange;

private:
    int FSize = 3;
    std::string FCaption;
    bool FVisible = true;
    TLoadMode FMode = lmLazy;
    TComponent* FBuddy = nullptr;
    std::unique_ptr<TStringList> FLines = std::make_unique<TStringList>();
};

class TBigWidget : public TWidget {
    ORVEL_PUBLISHED(TBigWidget)
public:
    using TWidget::TWidget;
    double Ratio() const { return FRatio; }
    void SetRatio(double v) { FRatio = v; }

private:
    double FRatio = 0.5;
};

const TClassInfo& TWidget::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TWidget>("TWidget", &TComponent::StaticClassInfo())
            .Property("Size", &TWidget::Size, &TWidget::SetSize, Variant(3))
            .Property("Caption", &TWidget::Caption, &TWidget::SetCaption)
            .Property("Visible", &TWidget::Visible, &TWidget::SetVisible, Variant(true))
            .Enum("Mode", "TLoadMode", {"lmLazy", "lmEager"}, &TWidget::Mode, &TWidget::SetMode,
                  std::optional<TLoadMode>(lmLazy))
            .Object("Buddy", "TComponent", &TWidget::Buddy, &TWidget::SetBuddy)
            .Object<TStrings>("Lines", "TStrings", &TWidget::Lines)
            .Property("Count", &TWidget::Count)
            .Event("OnChange", "TNotifyEvent", &TWidget::OnChange)
            .Creatable()
            .Build();
    return info;
}

const TClassInfo& TBigWidget::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TBigWidget>("TBigWidget", &TWidget::StaticClassInfo())
            .Property("Ratio", &TBigWidget::Ratio, &TBigWidget::SetRatio)
            .Creatable()
            .Build();
    return info;
}

} // namespace

TEST(TypInfo, PropertiesAreListedWithTheirBasesFirst) {
    TBigWidget w(nullptr);
    std::vector<std::string> names;
    for (const TPropInfo* p : w.ClassInfo().AllProperties())
        names.push_back(p->Name);
    EXPECT_EQ(names, (std::vector<std::string>{"Name", "Tag", "Size", "Caption", "Visible", "Mode",
                                               "Buddy", "Lines", "Count", "OnChange", "Ratio"}));
    EXPECT_EQ(w.ClassName(), "TBigWidget");
    EXPECT_TRUE(w.InheritsFrom("TWidget"));
    EXPECT_TRUE(w.InheritsFrom("tcomponent"));
    EXPECT_FALSE(w.InheritsFrom("TStrings"));
}

TEST(TypInfo, ReadAndWriteByName) {
    TOwned<TComponent> form(new TComponent(nullptr));
    auto* w = new TBigWidget(form.get());
    SetPropValue(w, "size", 12);
    SetPropValue(w, "Caption", "Hello");
    SetPropValue(w, "Ratio", 1.25);
    SetEnumProp(w, "Mode", "lmEager");
    SetPropValue(w, "Visible", false);
    EXPECT_EQ(w->Size(), 12);
    EXPECT_EQ(GetPropValue(w, "Caption").AsString(), "Hello");
    EXPECT_DOUBLE_EQ(w->Ratio(), 1.25);
    EXPECT_EQ(GetEnumProp(w, "Mode"), "lmEager");
    EXPECT_FALSE(w->Visible());

    auto* buddy = new TComponent(form.get());
    SetObjectProp(w, "Buddy", buddy);
    EXPECT_EQ(GetObjectProp(w, "Buddy"), buddy);
    EXPECT_EQ(GetObjectProp(w, "Lines"), w->Lines());
    TStringList wrongKind;
    EXPECT_THROW(SetObjectProp(w, "Buddy", &wrongKind), EPropertyError);

    EXPECT_THROW(SetPropValue(w, "Missing", 1), EPropertyError);
    EXPECT_THROW(SetPropValue(w, "Count", 1), EPropertyError); // read-only
    EXPECT_THROW(SetEnumProp(w, "Mode", "lmNever"), EPropertyError);
    EXPECT_THROW(SetPropValue(w, "Size", "big"), EConvertError);
    EXPECT_EQ(w->Size(), 12);

    const TPropInfo* onChange = w->ClassInfo().FindProperty("OnChange");
    ASSERT_NE(onChange, nullptr);
    EXPECT_FALSE(onChange->IsAssigned(w));
    w->OnChange = [](TObject*) {};
    EXPECT_TRUE(onChange->IsAssigned(w));
    EXPECT_EQ(*w->ClassInfo().FindProperty("Size")->Default, Variant(3));
}

TEST(TypInfo, RegisteredClassesCanBeCreatedByName) {
    RegisterClass(TBigWidget::StaticClassInfo());
    const TClassInfo* info = FindClassInfo("tbigwidget");
    ASSERT_NE(info, nullptr);
    TOwned<TComponent> form(new TComponent(nullptr));
    TComponent* made = info->Create(form.get());
    EXPECT_EQ(made->ClassName(), "TBigWidget");
    EXPECT_EQ(made->Owner(), form.get());
    EXPECT_EQ(FindClassInfo("TNoSuchThing"), nullptr);
}
