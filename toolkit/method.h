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

// MakeOnEvent<&TKVMMTimer::OnTick>(this): binds the method at compile time.
template <auto Method>
TOnEvent MakeOnEvent(typename toolkit_detail::SenderMethodOf<decltype(Method)>::Class* obj) {
    using C = typename toolkit_detail::SenderMethodOf<decltype(Method)>::Class;
    return TOnEvent{[](void* o, TObj* sender) { (static_cast<C*>(o)->*Method)(sender); }, obj};
}
