// TKVLabel: a static text that fires evClick and may highlight itself while the pointer is over it.
// Its control exists from construction on, so the AutoSize and Alignment setters act at once.
#pragma once

#include <string>

#include "wincomponents/kvwin.h"

class TKVLabel : public TKVWin {
public:
    explicit TKVLabel(TControl* parent);

    TKV_Event evClick;
    uint32_t HoverColor = 0;  // font colour under the pointer; 0: unchanged
    uint8_t HoverUnderline = 0;
    std::string Caption;

    void AutoSize(bool on);
    void Alignment(uint8_t align);  // 0 left, 1 right, 2 centre

    void MouseEnter() override;
    void MouseLeave() override;
    void InitControl() override;

private:
    void OnClick(TObj* sender);
    void OnHoverEnter(TObj* sender);
    void OnHoverLeave(TObj* sender);
};
