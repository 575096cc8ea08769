// TComponent.
#include "orvel/host/core/Component.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/SysUtils.h"
#include "orvel/host/core/TypInfo.h"

#include <algorithm>

namespace orvel {

bool IsValidIdent(const std::string& name) {
    if (name.empty()) return false;
    auto alpha = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    };
    if (!alpha(name[0])) return false;
    return std::all_of(name.begin(), name.end(),
                       [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); });
}

const TClassInfo& TComponent::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TComponent>("TComponent", &TPersistent::StaticClassInfo())
            .Property("Name", &TComponent::Name, &TComponent::SetName)
            .Property("Tag", &TComponent::Tag, &TComponent::SetTag, Variant(0))
            .Build();
    return info;
}

TComponent::TComponent(TComponent* owner) {
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    if (!FRemovalNotified) {
        Destroying();
        NotifyRemoval();
    }
    DestroyComponents();
    if (FOwner) FOwner->RemoveFromList(this);
}

void TComponent::Free() {
    if (!FRemovalNotified) {
        Destroying();
        NotifyRemoval();
    }
    delete this;
}

void TComponent::Destroying() {
    if (HasState(csDestroying)) return;
    FComponentState |= csDestroying;
    for (TComponent* c : FComponents)
        c->Destroying();
}

// Tells everyone holding a reference that this component is going: first those that asked for a
// free notification, then the owner (which passes it to all its components).
void TComponent::NotifyRemoval() {
    FRemovalNotified = true;
    while (!FFreeNotifies.empty()) {
        TComponent* c = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        auto& theirs = c->FFreeNotifies;
        theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
        FToldOfRemoval.push_back(c);
        c->Notification(this, TOperation::opRemove);
    }
    if (FOwner && !FOwner->HasState(csDestroying)) {
        TComponent* owner = FOwner;
        owner->RemoveFromList(this);
        FOwner = owner; // kept so the destructor knows it was owned; already out of the list
        owner->Notification(this, TOperation::opRemove);
        FOwner = nullptr;
    }
    FToldOfRemoval.clear();
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount())
        RaiseRes<EListError>(SListIndexError, {static_cast<long long>(index)});
    return FComponents[static_cast<std::size_t>(index)];
}

int TComponent::ComponentIndex() const {
    if (!FOwner) return -1;
    auto& list = FOwner->FComponents;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TComponent::InsertToList(TComponent* component) {
    FComponents.push_back(component);
    component->FOwner = this;
}

void TComponent::RemoveFromList(TComponent* component) {
    FComponents.erase(std::remove(FComponents.begin(), FComponents.end(), component),
                      FComponents.end());
    component->FOwner = nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
    if (!component->FName.empty() && FindComponent(component->FName))
        RaiseRes<EComponentError>(SDuplicateName, {component->FName});
    if (component->FOwner) component->FOwner->RemoveComponent(component);
    InsertToList(component);
    if (HasState(csDesigning)) component->SetDesigning(true);
    Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    if (component->FOwner != this) return;
    Notification(component, TOperation::opRemove);
    RemoveFromList(component);
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty()) {
        TComponent* c = FComponents.back();
        RemoveFromList(c);
        c->Free();
    }
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : FComponents)
        if (SameText(c->FName, name)) return c;
    return nullptr;
}

void TComponent::SetName(const std::string& name) {
    if (name == FName) return;
    if (!name.empty() && !IsValidIdent(name)) RaiseRes<EComponentError>(SInvalidName, {name});
    if (FOwner && !name.empty()) {
        TComponent* other = FOwner->FindComponent(name);
        if (other && other != this) RaiseRes<EComponentError>(SDuplicateName, {name});
    }
    FName = name;
}

void TComponent::SetDesigning(bool value, bool setChildren) {
    if (value)
        FComponentState |= csDesigning;
    else
        FComponentState &= ~static_cast<uint32_t>(csDesigning);
    if (setChildren)
        for (TComponent* c : FComponents)
            c->SetDesigning(value, true);
}

void TComponent::Loaded() {
    FComponentState &= ~static_cast<uint32_t>(csLoading | csReading);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove && component) RemoveFreeNotification(component);
    // The owner passes every notification on to the components it owns (a copy: a handler may
    // change the list).
    std::vector<TComponent*> owned = FComponents;
    for (TComponent* c : owned) {
        if (c == component) continue;
        if (operation == TOperation::opRemove && component &&
            std::find(component->FToldOfRemoval.begin(), component->FToldOfRemoval.end(), c) !=
                component->FToldOfRemoval.end())
            continue;
        c->Notification(component, operation);
    }
}

void TComponent::FreeNotification(TComponent* component) {
    if (!component || component == this) return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end())
        FFreeNotifies.push_back(component);
    auto& theirs = component->FFreeNotifies;
    if (std::find(theirs.begin(), theirs.end(), this) == theirs.end()) theirs.push_back(this);
    FComponentState |= csFreeNotification;
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    if (!component) return;
    FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), component),
                        FFreeNotifies.end());
    auto& theirs = component->FFreeNotifies;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
}

} // namespace orvel
