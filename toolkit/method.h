// Toolkit events and hooks: a method pointer as code plus object. No heap, comparable, and a null
// code means no handler.
#pragma once

class TObj;

// TMethod<R(A...)>: two words for any signature: an event called with its sender (TOnEvent), and
// hooks and events that carry more (a close that may be refused, a device context to paint on, a key
// to change). Calling one without a handler gives R's zero value.
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

// The plain toolkit event: called with the object that sends it.
using TOnEvent = TMethod<void(TObj*)>;
