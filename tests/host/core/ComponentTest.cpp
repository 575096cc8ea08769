// Components: ownership, names, state and the notifications that keep references valid.
#include "orvel/host/core/Component.h"
#include "orvel/host/core/Events.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/TypInfo.h"

#include <gtest/gtest.h>

using namespace orvel;

namespace {

// A component that refers to another one and must never keep a dangling pointer.
class TReferrer : public TComponent {
public:
    using TComponent::TComponent;
    void SetTarget(TComponent* target) {
        FTarget = target;
        if (target) target->FreeNotification(this);
    }
    TComponent* Target() const { return FTarget; }
    std::vector<std::string> Log;

    void Notification(TComponent* component, TOperation operation) override {
        TComponent::Notification(component, operation);
        Log.push_back((operation == TOperation::opInsert ? "insert " : "remove ") +
                      component->Name());
        if (operation == TOperation::opRemove && component == FTarget) FTarget = nullptr;
    }

private:
    TComponent* FTarget = nullptr;
};

} // namespace

TEST(Component, OwnerDestroysOwnedComponents) {
    auto* form = new TComponent(nullptr);
    auto* a = new TComponent(form);
    a->SetName("A");
    new TComponent(a); // owned in turn
    EXPECT_EQ(form->ComponentCount(), 1);
    EXPECT_EQ(form->FindComponent("a"), a);
    form->Free(); // the sanitizer build proves nothing leaks or is freed twice
}

TEST(Component, FreeNotificationClearsReferencesAcrossOwners) {
    TOwned<TComponent> formA(new TComponent(nullptr));
    TOwned<TReferrer> watcher(new TReferrer(nullptr));
    watcher->SetName("Watcher");
    auto* target = new TComponent(formA.get());
    target->SetName("Target");
    watcher->SetTarget(target);
    target->Free();
    EXPECT_EQ(watcher->Target(), nullptr);
    EXPECT_EQ(watcher->Log, (std::vector<std::string>{"remove Target"}));
    // The watcher going first must not leave the other side pointing at it.
    auto* second = new TComponent(formA.get());
    watcher->SetTarget(second);
    watcher.reset();
    second->Free();
}

TEST(Component, OwnerPassesInsertionAndRemovalToItsComponents) {
    TOwned<TComponent> form(new TComponent(nullptr));
    auto* referrer = new TReferrer(form.get());
    referrer->SetName("R");
    auto* source = new TComponent(form.get());
    source->SetName("Source");
    referrer->SetTarget(source);
    delete source; // destroyed without Free: the notification still arrives
    EXPECT_EQ(referrer->Target(), nullptr);
    EXPECT_EQ(referrer->Log, (std::vector<std::string>{"insert ", "remove Source"}));
}

TEST(Component, NamesAreIdentifiersUniqueWithinTheOwner) {
    TOwned<TComponent> form(new TComponent(nullptr));
    auto* a = new TComponent(form.get());
    auto* b = new TComponent(form.get());
    a->SetName("Tree1");
    EXPECT_THROW(b->SetName("TREE1"), EComponentError);
    EXPECT_THROW(b->SetName("1tree"), EComponentError);
    EXPECT_THROW(b->SetName("tree view"), EComponentError);
    b->SetName("Tree2");
    EXPECT_EQ(b->Name(), "Tree2");
}

TEST(Component, StateFlagsForLoadingDesigningAndDestroying) {
    TOwned<TComponent> form(new TComponent(nullptr));
    auto* child = new TComponent(form.get());
    form->SetDesigning(true);
    EXPECT_TRUE(child->IsDesigning());
    auto* late = new TComponent(form.get());
    EXPECT_TRUE(late->IsDesigning()); // joins the owner's designing state
    child->BeginLoading();
    EXPECT_TRUE(child->IsLoading());
    child->Loaded();
    EXPECT_FALSE(child->IsLoading());

    struct TProbe : TComponent {
        using TComponent::TComponent;
        bool* Seen = nullptr;
        ~TProbe() override { *Seen = IsDestroying(); }
    };
    bool seen = false;
    auto* probe = new TProbe(form.get());
    probe->Seen = &seen;
    form.reset();
    EXPECT_TRUE(seen);
}

namespace {

struct TTarget {
    int Calls = 0;
    void Handler(TObject*) { ++Calls; }
    void Other(TObject*) {}
};

} // namespace

TEST(Events, MethodReferencesCompareByRoutineOrByRoutineAndObject) {
    TTarget one, two;
    auto a = TNotifyEvent::Bind<&TTarget::Handler>(&one);
    auto b = TNotifyEvent::Bind<&TTarget::Handler>(&two);
    auto c = TNotifyEvent::Bind<&TTarget::Other>(&one);
    EXPECT_TRUE(a.SameRoutine(b));
    EXPECT_FALSE(a.SameMethod(b));
    EXPECT_TRUE(a.SameMethod(TNotifyEvent::Bind<&TTarget::Handler>(&one)));
    EXPECT_FALSE(a.SameRoutine(c));
    EXPECT_TRUE((b.IsRoutine<&TTarget::Handler, TTarget>()));
    a(nullptr);
    b(nullptr);
    b(nullptr);
    EXPECT_EQ(one.Calls, 1);
    EXPECT_EQ(two.Calls, 2);

    int lambdaCalls = 0;
    TNotifyEvent l1 = [&](TObject*) { ++lambdaCalls; };
    TNotifyEvent l2 = l1;
    TNotifyEvent l3 = [&](TObject*) { ++lambdaCalls; };
    EXPECT_TRUE(l1.SameMethod(l2)); // a copy is the same handler
    EXPECT_FALSE(l1.SameRoutine(l3));
    EXPECT_FALSE(l1.SameRoutine(TNotifyEvent()));
    l2(nullptr);
    EXPECT_EQ(lambdaCalls, 1);
    EXPECT_FALSE(TNotifyEvent());
}
