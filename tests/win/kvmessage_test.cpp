// The message box component with the real box: a watcher thread finds the box, reads what it shows
// and presses one of its buttons as a person would; the component then reports that button.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "components/kvmessage.h"
#include "toolkit/applet.h"
#include "toolkit/wintext.h"

#include "tests/support/wintest.h"

namespace {

struct Watch {
    DWORD thread = GetCurrentThreadId();
    int press = IDOK;
    HWND box = nullptr, owner = nullptr;
    HICON icon = nullptr;
    std::wstring seen;  // "caption|text|" then the buttons' identifiers, the default one marked "*"
    std::wstring buttons;
};

BOOL CALLBACK ReadChild(HWND w, LPARAM arg) {
    auto* watch = reinterpret_cast<Watch*>(arg);
    wchar_t cls[16] = {};
    GetClassNameW(w, cls, 16);
    const LONG style = GetWindowLongW(w, GWL_STYLE);
    if (_wcsicmp(cls, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
        if (IsWindowVisible(w)) watch->icon = reinterpret_cast<HICON>(SendMessageW(w, STM_GETICON, 0, 0));
    } else if (_wcsicmp(cls, L"Static") == 0) {
        watch->seen += TextOf(w) + L"|";
    } else if (IsWindowVisible(w)) {
        watch->buttons +=
            ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON ? L" *" : L" ") + std::to_wstring(GetDlgCtrlID(w));
    }
    return TRUE;
}

BOOL CALLBACK FindBox(HWND w, LPARAM out) {
    wchar_t cls[16] = {};
    GetClassNameW(w, cls, 16);
    if (std::wstring(cls) != L"#32770" || !IsWindowVisible(w)) return TRUE;
    *reinterpret_cast<HWND*>(out) = w;
    return FALSE;
}

DWORD WINAPI Watcher(void* arg) {
    auto* watch = static_cast<Watch*>(arg);
    for (int i = 0; i < 1000 && watch->box == nullptr; ++i, Sleep(10))
        EnumThreadWindows(watch->thread, FindBox, reinterpret_cast<LPARAM>(&watch->box));
    if (watch->box == nullptr) return 1;
    Sleep(50);  // its first paint
    watch->owner = GetWindow(watch->box, GW_OWNER);
    watch->seen = TextOf(watch->box) + L"|";
    EnumChildWindows(watch->box, ReadChild, reinterpret_cast<LPARAM>(watch));
    watch->seen += watch->buttons;
    SendMessageW(GetDlgItem(watch->box, watch->press), BM_CLICK, 0, 0);
    return 0;
}

struct Log {
    std::vector<int> seen;  // evResult's value, then 100 + the index of the button outlet fired
    void Record(TData& d, uint16_t index) { seen.push_back(index == 0 ? ToInteger(d) : 100 + index); }
};

void ShowAndPress(TKVMessage& msg, Watch& watch) {
    HANDLE t = CreateThread(nullptr, 0, Watcher, &watch, 0, nullptr);
    EnableLinks();
    EmitNull(MakeEvent<&TKVMessage::actMessage>(&msg, 0));
    DisableLinks();
    WaitForSingleObject(t, 15000);
    CloseHandle(t);
}

TEST(KVMessage, TheRealBoxShowsItsStyleAndReportsTheButtonPressed) {
    TKVMessage alone;  // no application object: no owner
    Watch first;
    ShowAndPress(alone, first);
    EXPECT_NE(first.box, nullptr);
    EXPECT_EQ(first.owner, nullptr);

    TControl* app = NewApplet("Test");
    TControl* form = NewForm(app, "Form");
    ASSERT_NE(form->GetWindowHandle(), nullptr);
    const struct {
        uint8_t buttons, icon, def;
        const wchar_t *caption, *text, *seen;
        int press;
        const wchar_t* iconId;
        std::vector<int> log;
    } cases[] = {
        // The program's error box (style 0x10) and about box (0x240; it has no third button).
        {0, 1, 0, L"Ошибка", L"Ну нельзя", L"Ошибка|Ну нельзя| *1", IDOK, IDI_HAND, {1, 101}},
        {0, 4, 2, L"", L"Эхометр 1.0", L"|Эхометр 1.0| 1", IDOK, IDI_ASTERISK, {1, 101}},
        {2, 2, 1, L"?", L"Да?", L"?|Да?| 6 *7", IDNO, IDI_QUESTION, {7, 107}},
        {3, 3, 2, L"3", L"!", L"3|!| 6 7 *2", IDCANCEL, IDI_EXCLAMATION, {2, 102}},
        {5, 9, 0, L"5", L"!", L"5|!| *3 4 5", IDIGNORE, nullptr, {5, 105}},  // icon 9: none
        {4, 0, 1, L"4", L"", L"4|| 4 *2", IDRETRY, nullptr, {4, 104}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.buttons) << " " << int(c.icon) << " " << int(c.def));
        TKVMessage msg;
        msg.Buttons = c.buttons;
        msg.Icon = c.icon;
        msg.DefaultButton = c.def;
        msg.Caption = FromWide(c.caption);
        msg.Message = FromWide(c.text);
        Log log;
        msg.evResult = MakeEvent<&Log::Record>(&log, 0);
        TKV_Event* outlets[] = {&msg.evOK,     &msg.evCancel, &msg.evAbort, &msg.evRetry,
                                &msg.evIgnore, &msg.evYes,    &msg.evNo};
        for (uint16_t i = 0; i < 7; ++i)
            *outlets[i] = MakeEvent<&Log::Record>(&log, i + 1);
        Watch watch;
        watch.press = c.press;
        ShowAndPress(msg, watch);
        EXPECT_EQ(watch.owner, form->Handle);
        EXPECT_EQ(watch.seen, c.seen);
        EXPECT_EQ(watch.icon, c.iconId != nullptr ? LoadIconW(nullptr, c.iconId) : nullptr);
        EXPECT_EQ(log.seen, c.log);
    }
    Terminate(app);
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
}

}  // namespace
