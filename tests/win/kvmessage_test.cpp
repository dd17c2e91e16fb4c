// The message box component with the real box: a watcher thread finds the box and presses one of its
// buttons as a person would; the component then reports that button on evResult and its own outlet.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "components/kvmessage.h"
#include "toolkit/applet.h"

namespace {

struct Watch {
    DWORD thread = GetCurrentThreadId();
    int press = IDOK;
    HWND box = nullptr, owner = nullptr;
};

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
    watch->owner = GetWindow(watch->box, GW_OWNER);
    SendMessageW(GetDlgItem(watch->box, watch->press), BM_CLICK, 0, 0);
    return 0;
}

struct Log {
    std::vector<int> seen;  // evResult's value, then 100 + the index of the button outlet fired
    void Record(TData& d, uint16_t index) { seen.push_back(index == 0 ? ToInteger(d) : 100 + index); }
};

TEST(KVMessage, TheRealBoxReportsTheButtonPressedOnItsOutlet) {
    // The program's error box and about box (it has no third button: the default bit stays).
    EXPECT_EQ(MessageStyle(0, 1, 0), 0x10u);
    EXPECT_EQ(MessageStyle(0, 4, 2), 0x240u);
    EXPECT_EQ(MessageStyle(9, 9, 9), 0u) << "codes out of range add no bits";
    TControl* app = NewApplet("Test");
    TControl* form = NewForm(app, "Form");
    ASSERT_NE(form->GetWindowHandle(), nullptr);
    const struct {
        uint8_t buttons;
        int press;
        std::vector<int> log;
    } cases[] = {{0, IDOK, {1, 101}},
                 {2, IDNO, {7, 107}},
                 {3, IDCANCEL, {2, 102}},
                 {5, IDIGNORE, {5, 105}},
                 {4, IDRETRY, {4, 104}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.buttons) << " " << c.press);
        TKVMessage msg;
        msg.Buttons = c.buttons;
        msg.Message = "?";
        Log log;
        msg.evResult = MakeEvent<&Log::Record>(&log, 0);
        TKV_Event* outlets[] = {&msg.evOK,     &msg.evCancel, &msg.evAbort, &msg.evRetry,
                                &msg.evIgnore, &msg.evYes,    &msg.evNo};
        for (uint16_t i = 0; i < 7; ++i)
            *outlets[i] = MakeEvent<&Log::Record>(&log, i + 1);
        Watch watch{.press = c.press};
        HANDLE t = CreateThread(nullptr, 0, Watcher, &watch, 0, nullptr);
        EnableLinks();
        EmitNull(MakeEvent<&TKVMessage::actMessage>(&msg, 0));
        DisableLinks();
        WaitForSingleObject(t, 15000);
        CloseHandle(t);
        EXPECT_EQ(watch.owner, form->Handle) << "owned by the application's form";
        EXPECT_EQ(log.seen, c.log);
    }
    Terminate(app);
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
}

}  // namespace
