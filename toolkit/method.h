// Toolkit events: a method pointer as code plus object, called with the sender. No heap, comparable,
// and a null code means no handler.
#pragma once

class TObj;

struct TOnEvent {
    void (*Code)(void* obj, TObj* sender) = nullptr;
    void* Obj = nullptr;

    explicit operator bool() const { return Code != nullptr; }
    void operator()(TObj* sender) const {
        if (Code != nullptr) Code(Obj, sender);
    }
    friend bool operator==(const TOnEvent&, const TOnEvent&) = default;
};

namespace toolkit_detail {
template <class T>
struct SenderMethodOf;
template <class C>
struct SenderMethodOf<void (C::*)(TObj*)> {
    using Class = C;
};
}  // namespace toolkit_detail

// MakeMethod<&TKVMMTimer::OnTick>(this): binds the method at compile time.
template <auto Method>
TOnEvent MakeOnEvent(typename toolkit_detail::SenderMethodOf<decltype(Method)>::Class* obj) {
    using C = typename toolkit_detail::SenderMethodOf<decltype(Method)>::Class;
    return TOnEvent{[](void* o, TObj* sender) { (static_cast<C*>(o)->*Method)(sender); }, obj};
}

// TMethod<R(A...)>: the same two words for any signature: toolkit hooks and events that carry more
// than a sender (a close that may be refused, a device context to paint on, a key to change). A null
// code means no handler; calling one gives R's zero value.
template <class Sig>
struct TMethod;

template <class R, class... A>
struct TMethod<R(A...)> {
    R (*Code)(void* obj, A... args) = nullptr;
    void* Obj = nullptr;

    explicit operator bool() const { return Code != nullptr; }
    R operator()(A... args) const {
        if (Code != nullptr) return Code(Obj, args...);
        return R();
    }
    friend bool operator==(const TMethod&, const TMethod&) = default;
};

namespace toolkit_detail {
template <class T>
struct MethodOf;
template <class C, class R, class... A>
struct MethodOf<R (C::*)(A...)> {
    using Class = C;
    using Sig = R(A...);
    template <auto Method>
    static R Call(void* obj, A... args) {
        return (static_cast<C*>(obj)->*Method)(args...);
    }
};
}  // namespace toolkit_detail

// MakeMethod<&TKVWin::WindowMessage>(this): binds the method at compile time.
template <auto Method>
TMethod<typename toolkit_detail::MethodOf<decltype(Method)>::Sig> MakeMethod(
    typename toolkit_detail::MethodOf<decltype(Method)>::Class* obj) {
    using M = toolkit_detail::MethodOf<decltype(Method)>;
    return {&M::template Call<Method>, obj};
}
