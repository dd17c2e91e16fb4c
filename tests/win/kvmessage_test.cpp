// The message box component with the real box: a watcher thread finds the box, reads what it shows
// and presses one of its buttons as a person would; the component then reports that button.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "components/kvmessage.h"
#include "toolkit/applet.h"
#include "toolkit/wintext.h"

namespace {

struct Watch {
    DWORD thread = 0;
    int press = IDOK;
    HWND box = nullptr, owner = nullptr;
    HICON icon = nullptr;
    std::wstring seen;  // caption, then every static text, each followed by '|'
    std::vector<int> buttons;
    int defaultId = 0;
};

std::wstring TextOf(HWND w) {
    std::wstring s(static_cast<size_t>(GetWindowTextLengthW(w)) + 1, L'\0');
    s.resize(static_cast<size_t>(GetWindowTextW(w, s.data(), static_cast<int>(s.size()))));
    return s;
}

BOOL CALLBACK ReadChild(HWND w, LPARAM arg) {
    auto* watch = reinterpret_cast<Watch*>(arg);
    wchar_t cls[16] = {};
    GetClassNameW(w, cls, 16);
    const LONG style = GetWindowLongW(w, GWL_STYLE);
    if (_wcsicmp(cls, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON && IsWindowVisible(w)) {
        watch->icon = reinterpret_cast<HICON>(SendMessageW(w, STM_GETICON, 0, 0));
    } else if (_wcsicmp(cls, L"Static") == 0) {
        watch->seen += TextOf(w) + L"|";
    } else if (_wcsicmp(cls, L"Button") == 0 && IsWindowVisible(w)) {
        watch->buttons.push_back(GetDlgCtrlID(w));
        if ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) watch->defaultId = GetDlgCtrlID(w);
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
    SendMessageW(GetDlgItem(watch->box, watch->press), BM_CLICK, 0, 0);
    return 0;
}

struct Log {
    std::vector<int> seen;  // evResult's value, then the index of the button outlet fired
    void result(TData& d, uint16_t /*index*/) { seen.push_back(ToInteger(d)); }
    void button(TData& d, uint16_t index) { seen.push_back(DataType(d) == kTypeNull ? 100 + index : -1); }
};

void ShowAndPress(TKVMessage& msg, Watch& watch) {
    watch.thread = GetCurrentThreadId();
    HANDLE t = CreateThread(nullptr, 0, Watcher, &watch, 0, nullptr);
    EnableLinks();
    EmitNull(MakeEvent<&TKVMessage::actMessage>(&msg, 0));
    DisableLinks();
    WaitForSingleObject(t, 15000);
    CloseHandle(t);
}

TEST(KVMessage, TheRealBoxShowsItsStyleAndReportsTheButtonPressed) {
    TKVMessage alone;  // no application object: no owner; an empty caption stays empty
    Watch first;
    ShowAndPress(alone, first);
    EXPECT_EQ(first.owner, nullptr);
    EXPECT_EQ(first.seen.substr(0, 1), L"|");

    TControl* app = NewApplet("Test");
    TControl* form = NewForm(app, "Form");
    ASSERT_NE(form->GetWindowHandle(), nullptr);
    const struct {
        uint8_t buttons, icon, def;
        const wchar_t* seen;  // caption|text|
        std::vector<int> shown;
        int press, defaultId;  // -1: not checked
        const wchar_t* iconId;
        std::vector<int> log;
    } cases[] = {
        // The program's error box (style 0x10) and about box (0x240).
        {0, 1, 0, L"Ошибка|Ну нельзя сюда ставить|", {IDOK}, IDOK, IDOK, IDI_HAND, {1, 101}},
        {0, 4, 2, L"|Эхометр 1.0|", {IDOK}, IDOK, -1, IDI_ASTERISK, {1, 101}},  // no third button
        {2, 2, 1, L"Вопрос|Да?|", {IDYES, IDNO}, IDNO, IDNO, IDI_QUESTION, {7, 107}},
        {3, 3, 2, L"Три|?|", {IDCANCEL, IDYES, IDNO}, IDCANCEL, IDCANCEL, IDI_EXCLAMATION, {2, 102}},
        {5, 9, 0, L"Сбой|!|", {IDABORT, IDRETRY, IDIGNORE}, IDIGNORE, IDABORT, nullptr, {5, 105}},
        {4, 0, 0, L"R|r|", {IDCANCEL, IDRETRY}, IDRETRY, IDRETRY, nullptr, {4, 104}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.buttons) << " " << int(c.icon) << " " << int(c.def));
        TKVMessage msg;
        msg.Buttons = c.buttons;
        msg.Icon = c.icon;
        msg.DefaultButton = c.def;
        const std::wstring seen = c.seen;
        msg.Caption = FromWide(seen.substr(0, seen.find(L'|')));
        msg.Message = FromWide(seen.substr(seen.find(L'|') + 1, seen.size() - seen.find(L'|') - 2));
        Log log;
        msg.evResult = MakeEvent<&Log::result>(&log, 0);
        TKV_Event* outlets[] = {&msg.evOK,     &msg.evCancel, &msg.evAbort, &msg.evRetry,
                                &msg.evIgnore, &msg.evYes,    &msg.evNo};
        for (uint16_t i = 0; i < 7; ++i)
            *outlets[i] = MakeEvent<&Log::button>(&log, i + 1);
        Watch watch;
        watch.press = c.press;
        ShowAndPress(msg, watch);
        ASSERT_NE(watch.box, nullptr) << "no box appeared";
        EXPECT_EQ(watch.owner, form->Handle);
        EXPECT_EQ(watch.seen, seen);
        EXPECT_EQ(watch.icon, c.iconId != nullptr ? LoadIconW(nullptr, c.iconId) : nullptr);
        std::sort(watch.buttons.begin(), watch.buttons.end());
        EXPECT_EQ(watch.buttons, c.shown);
        if (c.defaultId >= 0) {
            EXPECT_EQ(watch.defaultId, c.defaultId);
        }
        EXPECT_EQ(log.seen, c.log);
    }
    Terminate(app);
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
}

}  // namespace
