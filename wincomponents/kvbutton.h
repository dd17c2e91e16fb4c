// TKVButton: a push button that fires evClick with a copy of Data.
#pragma once

#include <string>

#include "wincomponents/kvwin.h"

class TKVButton : public TKVWin {
public:
    explicit TKVButton(TControl* parent) : TKVWin(parent) {}

    TKV_Event evClick;
    TData Data;  // sent with every click, never changed by it
    std::string Caption;
    uint8_t Default = 0;  // pressed by Enter on its form

    void InitControl() override;

private:
    void OnClick(TObj* sender);
};
