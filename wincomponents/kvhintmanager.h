// TKVHintManager: shows the Hint texts of window components as Win32 tooltips, one tip window per
// hinted control. Components reach it only through its record of operations (HintOps), so another
// manager could stand in its place. Window thread only.
//
// The process-wide HintManager is made at start-up, before any component, and lives to the end.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/tobject.h"
#include "toolkit/method.h"
#include "wincomponents/kvfont.h"

// One registered control: the platform's tool description, whose lParam holds the tip window made for
// that control (once the pointer first came to it), the text and title the tip was last given and the
// tip's font.
struct THintTool {
    TTTOOLINFOW Info{};
    std::wstring Text;
    std::wstring Title;
    HICON Icon = nullptr;
    HFONT Font = nullptr;   // the tip's, deleted with it
    bool TipTried = false;  // the tip window was asked for (it may have been refused)
};

// The seven operations a manager offers window components, in their fixed order, each code plus the
// manager it works on.
struct THintOps {
    TMethod<THintTool*(HWND window)> CreateTool;
    TMethod<void(THintTool* tool)> DestroyTool;
    TMethod<void(THintTool* tool, std::string_view text)> SetToolText;
    TMethod<void(THintTool* tool, HICON icon, std::string_view title)> SetToolTitle;
    TMethod<void(THintTool* tool)> ToolEnter;
    TMethod<void(THintTool* tool)> ToolLeave;
    TMethod<void(THintTool* tool, int32_t x, int32_t y)> ToolMove;
};

class TKVHintManager : public TObject {
    THintOps ops_;

public:
    TKVHintManager();

    THintOps* HintOps = &ops_;
    uint8_t Standard = 1;      // 1 rectangular tips, 0 balloons
    uint32_t BackColor = 0;    // TColor
    int32_t InitialDelay = 0;  // ms before a tip shows
    int32_t AutoPopDelay = 0;  // ms a tip stays
    int32_t Margin = 0;        // pixels on all four sides
    uint8_t Tracking = 0;      // tips follow the pointer
    TFontRec Font;

    // The settings every tip of this program uses.
    void SetDefaults();

    // The operations; null or missing tools are ignored, so a failed registration stays harmless.
    THintTool* CreateTool(HWND window);
    void DestroyTool(THintTool* tool);
    void SetToolText(THintTool* tool, std::string_view text);
    void SetToolTitle(THintTool* tool, HICON icon, std::string_view title);
    void ToolEnter(THintTool* tool);
    void ToolLeave(THintTool* tool);
    void ToolMove(THintTool* tool, int32_t x, int32_t y);

    // The tip window of a tool, or null.
    static HWND TipWindow(const THintTool* tool);

private:
    void MakeTip(THintTool* tool);
};

// The process-wide manager; null before InitHintManager and after DoneHintManager.
extern TKVHintManager* HintManager;
// Makes HintManager with its default settings (start-up); a second call changes nothing.
void InitHintManager();
// Frees HintManager (process end, after every component is gone).
void DoneHintManager();
