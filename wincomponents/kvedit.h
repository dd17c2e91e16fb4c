// TKVEdit: a single-line edit. Other components pull its text through getText and set it through
// actText; Enter fires evEnter (and may empty the edit), every change after the first fires evChange.
#pragma once

#include <string>

#include "wincomponents/kvwin.h"

class TKVEdit : public TKVWin {
public:
    explicit TKVEdit(TControl* parent) : TKVWin(parent) {}

    std::string TextCopy;  // Text as InitControl set it
    uint8_t ChangeArmed = 0;
    TMethod<bool(TData&)> TextSource;  // the scheme points it at ReadText
    uint8_t Password = 0;
    uint8_t ClearAfterEnter = 0;
    std::string Text;  // initial text
    uint8_t ReadOnly = 0;
    uint8_t Alignment = 0;  // 0 left, 1 right, 2 centre
    int32_t MaxLength = 0;  // typing limit; 0: the control's default
    TKV_Event pinText;
    TKV_Event evEnter;
    TKV_Event evChange;

    // The edit's own text reader: the current text as a string record; always true.
    bool ReadText(TData& data);
    void getText(TData& data, uint16_t index);
    // Sets the text from the record (pinText first), keeping the caret's character index.
    void actText(TData& data, uint16_t index);

    void KeyDown(int32_t& key) override;
    void InitControl() override;

private:
    void OnChange(TObj* sender);
};
