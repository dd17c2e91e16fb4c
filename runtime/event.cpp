#include "runtime/event.h"

#include <utility>

namespace {

void NoLink(const TKV_Event& /*point*/, TData& /*data*/) {}

void EmitRoutine(const TKV_Event& outlet, TData& data) {
    const TKV_Event* current = &outlet;
    while (current != nullptr && current->Code != nullptr) {
        current->Code(current->Obj, data, current->Index);
        if ((data.Type & ForwardFlag) == 0) return;
        data.Type = static_cast<uint8_t>(data.Type & ~ForwardFlag);
        current = data.Target;
    }
}

void PullRoutine(const TKV_Event& pin, TData& data) {
    if (pin.Code != nullptr) pin.Code(pin.Obj, data, pin.Index);
}

// Step 1 of the read rule: the pulled value, or false when the pin gave no answer.
bool PullAnswer(const TKV_Event& pin, TData& temp) {
    if (!pin.Connected()) return false;
    PullHook(pin, temp);
    return temp.Type != NoValue;
}

}  // namespace

TKV_Hook EmitHook = NoLink;
TKV_Hook PullHook = NoLink;

void EnableLinks() {
    EmitHook = EmitRoutine;
    PullHook = PullRoutine;
}

void DisableLinks() {
    EmitHook = NoLink;
    PullHook = NoLink;
}

void EmitNull(const TKV_Event& outlet) {
    TData temp;
    EmitHook(outlet, temp);
}

// The temporaries are filled in place rather than through the setters: a fresh record already has
// Target and Next null, and the setters, being out of line, cost a call on the hottest path there is.
void EmitInt(const TKV_Event& outlet, int32_t value) {
    TData temp;
    temp.Type = kTypeInteger;
    temp.Int = value;
    EmitHook(outlet, temp);
}

void EmitStr(const TKV_Event& outlet, std::string_view value) {
    TData temp;
    SetString(temp, value);
    EmitHook(outlet, temp);
}

void EmitReal(const TKV_Event& outlet, double value) {
    TData temp;
    temp.Type = kTypeReal;
    temp.Real = value;
    EmitHook(outlet, temp);
}

void EmitCopy(const TKV_Event& outlet, const TData& data) {
    TData temp = data;
    EmitHook(outlet, temp);
}

void ForwardNull(TData& data, const TKV_Event& outlet) {
    data.Type = kTypeNull | ForwardFlag;
    data.Target = &outlet;
}

void ForwardInteger(TData& data, const TKV_Event& outlet, int32_t value) {
    data.Type = kTypeInteger | ForwardFlag;
    data.Int = value;
    data.Next = nullptr;
    data.Target = &outlet;
}

void ForwardString(TData& data, const TKV_Event& outlet, std::string_view value) {
    data.Type = kTypeString | ForwardFlag;
    data.Str.assign(value.data(), value.size());
    data.Next = nullptr;
    data.Target = &outlet;
}

void ForwardData(TData& data, const TKV_Event& outlet, const TData& source) {
    if (&data != &source) data = source;
    data.Type = static_cast<uint8_t>(data.Type + ForwardFlag);
    data.Target = &outlet;
}

void PullData(TData& data, const TKV_Event& pin) {
    if (pin.Connected())
        PullHook(pin, data);
    else
        data.Type = NoValue;
}

int32_t PullInteger(const TKV_Event& pin) {
    TData temp;
    PullHook(pin, temp);
    // Integer getters are the rule here; the conversion call is a quarter of a pull.
    return temp.Type == kTypeInteger ? temp.Int : ToInteger(temp);
}

int32_t ReadInteger(TData& incoming, const TKV_Event& pin, int32_t defaultValue) {
    TData temp;
    if (PullAnswer(pin, temp)) return ToInteger(temp);
    if (defaultValue != 0) return defaultValue;
    if (incoming.Type == kTypeNull) return defaultValue;
    const int32_t value = ToInteger(incoming);
    ConsumeData(incoming);
    return value;
}

std::string ReadString(TData& incoming, const TKV_Event& pin, std::string_view defaultValue) {
    TData temp;
    if (PullAnswer(pin, temp)) return ToString(temp);
    if (!defaultValue.empty()) return std::string(defaultValue);
    if (incoming.Type == kTypeNull) return {};
    std::string value = ToString(incoming);
    ConsumeData(incoming);
    return value;
}

double ReadReal(TData& incoming, const TKV_Event& pin, double defaultValue) {
    TData temp;
    if (PullAnswer(pin, temp)) return ToReal(temp);
    if (defaultValue != 0.0) return defaultValue;
    if (incoming.Type == kTypeNull) return defaultValue;
    const double value = ToReal(incoming);
    ConsumeData(incoming);
    return value;
}

TData ReadData(TData& incoming, const TKV_Event& pin, const TData* defaultValue) {
    TData result;
    if (pin.Connected()) {
        PullHook(pin, result);
        result.Next = nullptr;
        if (result.Type != NoValue) return result;
    }
    if (defaultValue != nullptr && defaultValue->Type != kTypeNull) return *defaultValue;
    result = incoming;
    result.Next = nullptr;
    if (incoming.Type == kTypeNull) incoming.Next = nullptr;
    ConsumeData(incoming);
    return result;
}
