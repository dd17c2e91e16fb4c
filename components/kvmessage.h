// TKVMessage: a modal message box. actMessage shows it with the text and caption it reads, waits for
// the user, fires evResult with the code of the button that closed it, and then hands a null value
// to that button's outlet (evOK ... evNo), which fires after actMessage returns, from the emit loop.
//
// The platform's box sits behind TMessageBoxService, so the style bits and the order of the outlets
// are tested with a fake on any host and the real box under Wine.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/event.h"
#include "runtime/tobject.h"

// Result codes of the box, as the platform returns them.
inline constexpr int32_t kResultOK = 1;
inline constexpr int32_t kResultNo = 7;

// The seam to the platform. Show blocks its caller until the box is closed and returns the result
// code, or 0 when no box could be shown.
class TMessageBoxService {
public:
    virtual int32_t Show(const std::string& text, const std::string& caption, uint32_t style) = 0;

protected:
    ~TMessageBoxService() = default;
};

// The real box, owned by the application's main form (or its first form), or by no window when
// there is no application object.
TMessageBoxService& SystemMessageBoxService();

// The box's style bits for the three codes; a code outside its table adds nothing.
uint32_t MessageStyle(uint8_t buttons, uint8_t icon, uint8_t defaultButton);

class TKVMessage : public TObject {
public:
    explicit TKVMessage(TMessageBoxService& service = SystemMessageBoxService()) : service_(service) {}

    std::string Message;
    std::string Caption;
    uint8_t Buttons = 0;
    uint8_t Icon = 0;
    uint8_t DefaultButton = 0;
    TKV_Event pinMessage;
    TKV_Event pinCaption;
    TKV_Event evResult;
    TKV_Event evOK;
    TKV_Event evCancel;
    TKV_Event evAbort;
    TKV_Event evRetry;
    TKV_Event evIgnore;
    TKV_Event evYes;
    TKV_Event evNo;

    // Action entry: shows the box and reports; it ignores the index.
    void actMessage(TData& data, uint16_t index);

private:
    TMessageBoxService& service_;
};
