// Method references (events): an object plus a routine, callable and assignable, compared either
// by routine alone or by routine and object. A plain callable (lambda) may be stored as well.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>

namespace orvel {

template <class Sig> class TEvent;

template <class R, class... Args> class TEvent<R(Args...)> {
public:
    TEvent() = default;
    TEvent(std::nullptr_t) {}

    // A callable with no object: each assignment is a routine of its own.
    template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, TEvent> &&
                                                std::is_invocable_r_v<R, F&, Args...>>>
    TEvent(F&& f) : FCode(NextLambdaId()), FFunction(std::forward<F>(f)) {}

    // A method of an object: Bind<&TClass::Method>(object). The routine's identity is the method,
    // whatever the object, so two views of one class install "the same routine".
    template <auto Method, class C> static TEvent Bind(C* object) {
        TEvent e;
        e.FData = object;
        e.FCode = reinterpret_cast<std::uintptr_t>(&Thunk<Method, C>);
        e.FThunk = &Thunk<Method, C>;
        return e;
    }

    explicit operator bool() const { return FThunk != nullptr || static_cast<bool>(FFunction); }
    bool Assigned() const { return static_cast<bool>(*this); }

    R operator()(Args... args) const {
        if (FThunk) return FThunk(FData, std::forward<Args>(args)...);
        return FFunction(std::forward<Args>(args)...);
    }

    // Same routine, whatever object it is bound to.
    bool SameRoutine(const TEvent& other) const { return FCode != 0 && FCode == other.FCode; }
    // Same routine bound to the same object.
    bool SameMethod(const TEvent& other) const {
        return SameRoutine(other) && FData == other.FData;
    }
    // Is this the given method of a class (bound to any object)?
    template <auto Method, class C> bool IsRoutine() const {
        return FCode == reinterpret_cast<std::uintptr_t>(&Thunk<Method, C>);
    }
    void* Data() const { return FData; }

private:
    template <auto Method, class C> static R Thunk(void* data, Args... args) {
        return (static_cast<C*>(data)->*Method)(std::forward<Args>(args)...);
    }
    static std::uintptr_t NextLambdaId() {
        // Odd numbers never collide with function addresses, which are aligned.
        static std::atomic<std::uintptr_t> next{1};
        return next.fetch_add(2);
    }

    void* FData = nullptr;
    std::uintptr_t FCode = 0;
    R (*FThunk)(void*, Args...) = nullptr;
    std::function<R(Args...)> FFunction;
};

class TObject;
using TNotifyEvent = TEvent<void(TObject*)>;

} // namespace orvel
