// TComponent: owner and owned components, names, component state, and the notifications that keep
// every reference between components valid (Notification, FreeNotification).
#pragma once

#include "orvel/host/core/Object.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvel {

enum TComponentStateFlag : uint32_t {
    csLoading = 1u << 0, // being read from a form; cleared by Loaded
    csReading = 1u << 1,
    csWriting = 1u << 2,
    csDestroying = 1u << 3, // destruction has begun
    csDesigning = 1u << 4,  // placed in a form designer
    csUpdating = 1u << 5,
    csFreeNotification = 1u << 6,
};
using TComponentState = uint32_t;

enum class TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    // Destroys the component: tells every component that asked for it (FreeNotification) and the
    // owner's components while the whole object is still alive, then deletes it. Components
    // created with new are destroyed with Free or by their owner.
    void Free();

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int index) const;
    int ComponentIndex() const; // place among the owner's components, -1 without owner
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);
    void DestroyComponents();
    TComponent* FindComponent(const std::string& name) const; // without regard to case

    const std::string& Name() const { return FName; }
    // A valid identifier (or empty), unique among the owner's components; EComponentError else.
    virtual void SetName(const std::string& name);
    int32_t Tag() const { return FTag; }
    void SetTag(int32_t tag) { FTag = tag; }

    TComponentState ComponentState() const { return FComponentState; }
    bool HasState(TComponentStateFlag flag) const { return (FComponentState & flag) != 0; }
    bool IsLoading() const { return HasState(csLoading); }
    bool IsDesigning() const { return HasState(csDesigning); }
    bool IsDestroying() const { return HasState(csDestroying); }
    // Designing state, for this component and (by default) every owned component.
    void SetDesigning(bool value, bool setChildren = true);
    // The form reader marks a component being read; Loaded clears the mark.
    void BeginLoading() { FComponentState |= csLoading | csReading; }
    void EndReading() { FComponentState &= ~static_cast<uint32_t>(csReading); }
    // The form reader gave up a read: the component is no longer being loaded, and Loaded is not
    // called.
    void CancelLoading() { FComponentState &= ~static_cast<uint32_t>(csLoading | csReading); }
    virtual void Loaded();

    // Called when a component is inserted into or removed from the owner this component belongs
    // to, and when a component this one asked FreeNotification of is destroyed. An override may
    // compare the component with its references and call TComponent members of it, nothing else:
    // the component may already be partly destroyed.
    virtual void Notification(TComponent* component, TOperation operation);
    // Asks to be told (Notification with opRemove) when component is destroyed.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    // The component a form file nests this one under (a control's parent); none by default.
    // Controls override these three so the form reader and writer keep the parent chain.
    virtual bool HasParent() const { return false; }
    virtual TComponent* GetParentComponent() const { return nullptr; }
    virtual void SetParentComponent(TComponent* /*parent*/) {}

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

protected:
    // Marks this component and its owned components as being destroyed.
    virtual void Destroying();
    void SetComponentState(TComponentState state) { FComponentState = state; }

private:
    void NotifyRemoval();
    void InsertToList(TComponent* component);
    void RemoveFromList(TComponent* component);

    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    std::vector<TComponent*> FToldOfRemoval; // during removal: those told already, told once only
    std::string FName;
    int32_t FTag = 0;
    TComponentState FComponentState = 0;
    bool FRemovalNotified = false;
};

// Deleter that destroys a component through Free, for components held in a unique_ptr.
struct TComponentFree {
    void operator()(TComponent* c) const {
        if (c) c->Free();
    }
};
template <class T> using TOwned = std::unique_ptr<T, TComponentFree>;

bool IsValidIdent(const std::string& name);

} // namespace orvel
