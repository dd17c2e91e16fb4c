// Links between components: outlets and pins, the two hook slots, emit, pull, forward and read.
//
// A link is a TKV_Event held by the component at its start. It names a method of the component at
// its end by a plain function pointer plus object, so making a link allocates nothing and firing one
// is one indirect call through the hook plus one per link.
//
// Re-entrancy: every fire and pull runs depth-first on the calling thread and keeps no state besides
// the record passed along, so a target may fire further outlets, recursively or in cycles, freely.
// Forwarded outlets run as a loop inside Emit and do not deepen the stack.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/tdata.h"

// The form of every action entry and value getter, seen through its trampoline.
using TKV_Code = void (*)(void* obj, TData& data, uint16_t index);

struct TKV_Event {
    TKV_Code Code = nullptr;  // null: unconnected
    void* Obj = nullptr;
    uint16_t Index = 0;

    bool Connected() const { return Code != nullptr; }
};

namespace kv_detail {
template <class T>
struct MethodOf;
template <class C>
struct MethodOf<void (C::*)(TData&, uint16_t)> {
    using Class = C;
};
template <auto Method>
void Trampoline(void* obj, TData& data, uint16_t index) {
    using C = typename MethodOf<decltype(Method)>::Class;
    (static_cast<C*>(obj)->*Method)(data, index);
}
}  // namespace kv_detail

// A link to Method of obj; the method is bound at compile time: MakeEvent<&TKVHub::actIn>(hub, 1).
// A virtual method is dispatched virtually, as a link to it must be.
template <auto Method>
TKV_Event MakeEvent(typename kv_detail::MethodOf<decltype(Method)>::Class* obj, uint16_t index) {
    return TKV_Event{&kv_detail::Trampoline<Method>, obj, index};
}

// The two process-wide slots every fire and pull goes through.
using TKV_Hook = void (*)(const TKV_Event& point, TData& data);
extern TKV_Hook EmitHook;
extern TKV_Hook PullHook;

void EnableLinks();
void DisableLinks();

// Firing an outlet.
inline void Emit(const TKV_Event& outlet, TData& data) {
    EmitHook(outlet, data);
}
void EmitNull(const TKV_Event& outlet);
void EmitInt(const TKV_Event& outlet, int32_t value);
void EmitStr(const TKV_Event& outlet, std::string_view value);
void EmitReal(const TKV_Event& outlet, double value);
void EmitCopy(const TKV_Event& outlet, const TData& data);

// Forwarding: an action's last step, handing its outlet and value back to the emit loop.
void ForwardNull(TData& data, const TKV_Event& outlet);
void ForwardInteger(TData& data, const TKV_Event& outlet, int32_t value);
void ForwardString(TData& data, const TKV_Event& outlet, std::string_view value);
void ForwardData(TData& data, const TKV_Event& outlet, const TData& source);

// Pulling and reading: a connected pin first, then a set default, then the incoming record.
inline void Pull(const TKV_Event& pin, TData& data) {
    PullHook(pin, data);
}
void PullData(TData& data, const TKV_Event& pin);
int32_t PullInteger(const TKV_Event& pin);
int32_t ReadInteger(TData& incoming, const TKV_Event& pin, int32_t defaultValue);
std::string ReadString(TData& incoming, const TKV_Event& pin, std::string_view defaultValue);
double ReadReal(TData& incoming, const TKV_Event& pin, double defaultValue);
TData ReadData(TData& incoming, const TKV_Event& pin, const TData* defaultValue);
