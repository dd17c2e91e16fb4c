#include "components/kvmessage.h"

#include <array>

namespace {

// Style bits by code; the platform's MB_* values.
constexpr std::array<uint32_t, 6> kButtonBits = {0x0, 0x1, 0x4, 0x3, 0x5, 0x2};
constexpr std::array<uint32_t, 5> kIconBits = {0x0, 0x10, 0x20, 0x30, 0x40};
constexpr std::array<uint32_t, 3> kDefaultBits = {0x0, 0x100, 0x200};

template <size_t N>
uint32_t BitsOf(const std::array<uint32_t, N>& table, uint8_t code) {
    return code < N ? table[code] : 0;
}

}  // namespace

uint32_t MessageStyle(uint8_t buttons, uint8_t icon, uint8_t defaultButton) {
    return BitsOf(kButtonBits, buttons) | BitsOf(kIconBits, icon) | BitsOf(kDefaultBits, defaultButton);
}

void TKVMessage::actMessage(TData& data, uint16_t /*index*/) {
    // The caption is read second: with its pin unlinked and no caption set, it takes what the text
    // left of the incoming value.
    const std::string text = ReadString(data, pinMessage, Message);
    const std::string caption = ReadString(data, pinCaption, Caption);
    const int32_t result = service_.Show(text, caption, MessageStyle(Buttons, Icon, DefaultButton));
    // Taken before evResult's chain runs, which may change the outlets.
    const std::array<TKV_Event, 7> outlets = {evOK, evCancel, evAbort, evRetry, evIgnore, evYes, evNo};
    EmitInt(evResult, result);
    // 0 means the box never appeared; nothing more is fired.
    if (result < kResultOK || result > kResultNo) return;
    // The emit loop fires the forwarded outlet after this frame is gone; evResult's chain may have
    // freed the component, so the outlet is kept in neither.
    thread_local TKV_Event pressed;
    pressed = outlets[result - kResultOK];
    ForwardNull(data, pressed);
}
