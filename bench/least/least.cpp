// The least program that does the ping monitor's job, the reference the benchmark measures the real
// one against: the same caption, size and controls (labels, edits, buttons, lamps, rich-edit log) and
// the same common-controls manifest, written as plainly as Win32 allows. The first "GO" resolves the
// host edit's text, sends one echo and appends one line. "least bare" shows only the window.
// Winsock before windows.h, the ICMP declarations after both.
#include <winsock2.h>

#include <windows.h>

#include <commctrl.h>
#include <iphlpapi.h>
#include <richedit.h>

#include <icmpapi.h>

#include <cwchar>

namespace {

constexpr int kGo = 1;
constexpr int kHostLamp = 2;
constexpr int kCycleLamp = 3;
constexpr int kEchoData = 128;
constexpr DWORD kEchoTimeout = 1000;

HWND hostEdit = nullptr;
HWND logEdit = nullptr;

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h,
           int id = 0) {
    HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                             nullptr);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return c;
}

void AddLine(const wchar_t* line) {
    const auto end = static_cast<LPARAM>(GetWindowTextLengthW(logEdit));
    SendMessageW(logEdit, EM_SETSEL, end, end);
    SendMessageW(logEdit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(end > 0 ? L"\r\n" : L""));
    SendMessageW(logEdit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line));
}

void Ping() {
    wchar_t wide[256] = {};
    GetWindowTextW(hostEdit, wide, 256);
    char host[256] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, host, sizeof host, nullptr, nullptr);
    const hostent* entry = gethostbyname(host);
    if (entry == nullptr) {
        AddLine(L"unknown host");
        return;
    }
    IPAddr address;
    memcpy(&address, entry->h_addr_list[0], sizeof address);
    static HANDLE icmp = IcmpCreateFile();
    char request[kEchoData] = {};
    char reply[sizeof(ICMP_ECHO_REPLY) + kEchoData + 8];
    wchar_t line[128];
    if (IcmpSendEcho(icmp, address, request, kEchoData, nullptr, reply, sizeof reply, kEchoTimeout) > 0) {
        const auto* r = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply);
        SYSTEMTIME now;
        GetLocalTime(&now);
        swprintf(line, 128, L"%u bytes, %lu ms (%02u:%02u:%02u)", r->DataSize, r->RoundTripTime, now.wHour,
                 now.wMinute, now.wSecond);
    } else {
        swprintf(line, 128, L"timed out");
    }
    AddLine(line);
}

// A lamp: a filled circle in its off colour.
void Lamp(const DRAWITEMSTRUCT& item) {
    HBRUSH brush = CreateSolidBrush(item.CtlID == kHostLamp ? RGB(128, 0, 0) : RGB(0, 128, 128));
    HGDIOBJ old = SelectObject(item.hDC, brush);
    const RECT& r = item.rcItem;
    Ellipse(item.hDC, r.left, r.top, r.right, r.bottom);
    SelectObject(item.hDC, old);
    DeleteObject(brush);
}

LRESULT CALLBACK WindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
            if (LOWORD(wp) == kGo && HIWORD(wp) == BN_CLICKED) Ping();
            return 0;
        case WM_DRAWITEM:
            Lamp(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
            return TRUE;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(w, msg, wp, lp);
    }
}

void MakeControls(HWND form) {
    Child(form, L"STATIC", L"Имя узла:", 0, 10, 15, 55, 17);
    hostEdit = Child(form, L"EDIT", L"localhost", WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 65, 15, 225, 20);
    Child(form, L"BUTTON", L"GO", BS_PUSHBUTTON | WS_TABSTOP, 300, 15, 60, 20, kGo);
    Child(form, L"STATIC", L"Пинговать каждые", 0, 10, 45, 110, 17);
    Child(form, L"EDIT", L"1", WS_BORDER | ES_NUMBER | WS_TABSTOP, 125, 45, 36, 20);
    Child(form, L"STATIC", L"секунд", 0, 170, 45, 39, 17);
    Child(form, L"BUTTON", L"GO", BS_PUSHBUTTON | WS_TABSTOP, 230, 45, 60, 20);
    Child(form, L"BUTTON", L"STOP", BS_PUSHBUTTON | WS_TABSTOP, 300, 45, 60, 20);
    Child(form, L"STATIC", L"Статус запроса", 0, 10, 75, 75, 17);
    Child(form, L"STATIC", L"", SS_OWNERDRAW, 370, 15, 25, 25, kHostLamp);
    Child(form, L"STATIC", L"", SS_OWNERDRAW, 370, 45, 25, 25, kCycleLamp);
    Child(form, L"BUTTON", L"Очистить консоль!", BS_PUSHBUTTON | WS_TABSTOP, 10, 315, 285, 20);
    Child(form, L"BUTTON", L"О программе", BS_PUSHBUTTON | WS_TABSTOP, 305, 315, 95, 20);
    LoadLibraryExW(L"riched20.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    logEdit = Child(form, RICHEDIT_CLASSW, L"", WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 10, 100,
                    390, 205);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR args, int show) {
    const bool bare = wcscmp(args, L"bare") == 0;
    WSADATA wsa;
    WSAStartup(MAKEWORD(1, 1), &wsa);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = L"Least";
    RegisterClassW(&wc);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - 420) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - 374) / 2;
    HWND form =
        CreateWindowExW(0, L"Least", L"Эхометр 1.0", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                        x, y, 420, 374, nullptr, nullptr, instance, nullptr);
    if (!bare) MakeControls(form);
    ShowWindow(form, show);
    UpdateWindow(form);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(form, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    WSACleanup();
    return 0;
}
