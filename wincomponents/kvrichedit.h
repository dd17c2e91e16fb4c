// TKVRichEdit: the rich-edit log. Other components add coloured, styled lines through actAdd, the
// clear button empties it through actClear, its whole text is pulled through getText.
//
// A reader who follows the log (its end in view, nothing selected) sees each new line come into view
// with the caret after it. A reader who scrolled back or selected text keeps the view and the
// selection while lines are added; scrolling back to the end follows again.
//
// The log is bounded by MaxLines: past it the oldest lines go, so that it can run for days in a
// bounded memory, while every new line appears. A line the control refuses (its text limit, no memory
// for it) makes room and is added again, never dropped silently. Trims and clearing cannot be undone:
// an undo buffer holding the old text would keep the memory the bound is there to free.
#pragma once

#include <windows.h>

#include <richedit.h>

#include <cstdint>
#include <string>

#include "wincomponents/kvwinlist.h"

class TKVRichEdit : public TKVEWinList {
public:
    // Ten hours at the default one-second period: a night's lines can be read back in the morning.
    static constexpr int32_t kDefaultMaxLines = 36000;

    explicit TKVRichEdit(TControl* parent) : TKVEWinList(parent) {}

    uint8_t ScrollBars = 0;  // 0 none, 1 horizontal, 2 vertical, 3 both
    uint8_t ReadOnly = 0;
    uint8_t WantTab = 0;
    std::string Text;     // initial text
    uint8_t NewLine = 0;  // actAdd separates lines with CR LF
    uint8_t WordTracking = 0;
    int32_t MaxLines = kDefaultMaxLines;  // lines kept; 0: no bound
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
    void ScaleTo(int32_t dpi) override;

    // The log's lines: its paragraph breaks plus one, none when it is empty.
    int32_t LogLines();
    // Removes the oldest count lines; not undoable. The selection and the text on top of the view stay
    // where they were, unless they were among the lines removed.
    void TrimOldest(int32_t count);

    // The word around a 0-based control position of a text whose line breaks are one character each.
    static std::string WordAt(std::string_view text, int32_t pos);

protected:
    void Add(TData& data) override;

private:
    void OnChange(TObj* sender);
    void OnLink(TObj* sender);
    struct TLogSize {
        int32_t Chars = 0;  // as the control counts them: a line break is one
        int32_t CrLf = 0;   // with every line break counted as CR LF
        int32_t Lines = 0;
    };
    // Characters, each line break counted as two (CR LF) or as the control's one.
    int32_t TextLength(bool crlf);
    // The log's size: its own count while only the log has written, else the control's answer.
    TLogSize Size();
    // Only the program writes to the log, so after each of its own appends it knows the size without
    // asking; a change it did not make (EN_CHANGE outside its own writing), a trim, a clearing or a
    // line the control refused makes it ask again.
    TLogSize known_{};
    bool sizeKnown_ = false;
    bool writing_ = false;  // an append of the log's own is under way
    int32_t BreakAfter(int32_t lines, int32_t end);
    void Trim(int32_t count, const TLogSize& size, bool keepSelection);
    TLogSize MakeRoom(TLogSize size, int32_t lines, int32_t chars, bool keepSelection);
    // The reader's place, kept over an append for a reader who does not follow.
    struct TPlace {
        CHARRANGE Selection{};
        POINT Scroll{};
        bool Redraw = false;
    };
    bool Following(const TLogSize& size);
    TPlace SavePlace();
    void RestorePlace(TPlace& place);
    void SetSelection(int32_t start, int32_t end);
    void ReplaceSelection(std::string_view text, bool undo = true);
    std::string WordAtPos(int32_t pos);
};
