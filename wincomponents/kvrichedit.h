// TKVRichEdit: the rich-edit log. Other components add coloured, styled lines through actAdd, the
// clear button empties it through actClear, its whole text is pulled through getText.
//
// The log keeps every line: its text limit is raised to kLogLimit when it is made (the control's
// default of 32,767 characters would silently drop every line after a few minutes of one line a
// second), and an append costs the same however long the log already is.
#pragma once

#include <cstdint>
#include <string>

#include "wincomponents/kvwinlist.h"

class TKVRichEdit : public TKVEWinList {
public:
    static constexpr int32_t kLogLimit = 0x7FFFFFFE;

    explicit TKVRichEdit(TControl* parent) : TKVEWinList(parent) {}

    uint8_t ScrollBars = 0;  // 0 none, 1 horizontal, 2 vertical, 3 both
    uint8_t ReadOnly = 0;
    uint8_t WantTab = 0;
    std::string Text;     // initial text
    uint8_t NewLine = 0;  // actAdd separates lines with CR LF
    uint8_t WordTracking = 0;
    TKV_Event pinColor;
    TKV_Event pinStyle;
    TKV_Event pinWordCheck;
    TKV_Event evWordClick;
    TKV_Event evLink;

    void SyncStrings() override;
    void SetLine(TData& index, TData& text) override;
    void ClearAll(TData& data) override;
    void GetAllText(TData& data) override;

    void MouseMove(TMouseEventData& mouse) override;
    void MouseUp(TMouseEventData& mouse) override;
    void InitControl() override;

    // The word around a 0-based control position of a text whose line breaks are one character each.
    static std::string WordAt(std::string_view text, int32_t pos);

protected:
    void Add(TData& data) override;

private:
    void OnChange(TObj* sender);
    void OnLink(TObj* sender);
    int32_t TextLength();
    void SetSelection(int32_t start, int32_t end);
    void ReplaceSelection(std::string_view text);
    std::string WordAtPos(int32_t pos);
};
