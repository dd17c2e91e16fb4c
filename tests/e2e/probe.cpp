// The end-to-end tests' eyes inside Wine: starts programs and reads windows and texts through Win32 on
// behalf of the driver (e2e.py), which types and clicks with real X input and reads pixels from X. One
// command a line on standard input, one answer a line on standard output; texts are UTF-8 with line
// ends written as \r and \n.
#include <windows.h>

#include <oleacc.h>
#include <tlhelp32.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& w) {
    std::string out(w.size() * 4, '\0');
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(),
                                      static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(n > 0 ? n : 0);
    std::string esc;
    for (char c : out)
        esc += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
    return esc;
}

std::wstring Wide(const std::string& s) {
    std::wstring out(s.size(), L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(),
                                      static_cast<int>(out.size()));
    out.resize(n > 0 ? n : 0);
    return out;
}

// WM_GETTEXT across processes, with a time limit so a hung window answers "" instead of hanging us.
std::wstring TextOf(HWND w) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 3000, &len)) return L"";
    std::wstring text(len + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(w, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 3000,
                        &got);
    text.resize(got);
    return text;
}

std::wstring ClassOf(HWND w) {
    wchar_t name[128] = {};
    GetClassNameW(w, name, 128);
    return name;
}

HWND Parse(const std::string& s) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::stoull(s, nullptr, 16)));
}

std::string Hex(HWND w) {
    char b[32];
    std::snprintf(b, sizeof b, "%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(w)));
    return b;
}

std::string Rect(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    std::ostringstream o;
    o << r.left << ' ' << r.top << ' ' << r.right - r.left << ' ' << r.bottom - r.top;
    return o.str();
}

std::map<DWORD, HANDLE> started;

// Written out: with static linking the import library's symbol resolves to a thunk.
const IID kIAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// The name a screen reader reads for the window's client object, or "?" when there is none.
std::string AccessibleName(HWND w) {
    IAccessible* acc = nullptr;
    if (FAILED(AccessibleObjectFromWindow(w, static_cast<DWORD>(OBJID_CLIENT), kIAccessible,
                                          reinterpret_cast<void**>(&acc))) ||
        acc == nullptr)
        return "?";
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    const HRESULT hr = acc->get_accName(self, &name);
    acc->Release();
    std::string out = SUCCEEDED(hr) && name != nullptr ? Utf8(std::wstring(name, SysStringLen(name))) : "?";
    SysFreeString(name);
    return out;
}

// Name changes announced since the last "names" command, window by window.
std::map<HWND, int> nameChanges;

void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD event, HWND w, LONG object, LONG child, DWORD, DWORD) {
    if (event == EVENT_OBJECT_NAMECHANGE && object == OBJID_CLIENT && child == CHILDID_SELF) ++nameChanges[w];
}

// WM_DPICHANGED as the system sends it, with its rectangle at one address valid in both processes: it
// is read there whether or not the message is copied across.
std::string SendDpiChanged(HWND w, int dpi, const RECT& suggested) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    HANDLE target = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    if (target == nullptr) return "no process";
    std::string answer = "no shared address";
    for (int attempt = 0; attempt < 16 && answer != "ok"; ++attempt) {
        void* there = VirtualAllocEx(target, nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        void* here =
            there != nullptr ? VirtualAlloc(there, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE) : nullptr;
        if (here == there && here != nullptr) {
            *static_cast<RECT*>(here) = suggested;
            WriteProcessMemory(target, there, &suggested, sizeof suggested, nullptr);
            DWORD_PTR r = 0;
            answer = SendMessageTimeoutW(w, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                                         reinterpret_cast<LPARAM>(there), SMTO_ABORTIFHUNG, 5000, &r)
                         ? "ok"
                         : "no answer";
        }
        if (here != nullptr) VirtualFree(here, 0, MEM_RELEASE);
        if (there != nullptr) VirtualFreeEx(target, there, 0, MEM_RELEASE);
    }
    CloseHandle(target);
    return answer;
}

std::string Answer(const std::string& line) {
    std::istringstream in(line);
    std::string cmd;
    in >> cmd;
    std::string rest;
    std::getline(in >> std::ws, rest);
    std::istringstream args(rest);
    if (cmd == "run") {  // run <command line>: a process of the program, its id
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::wstring cl = Wide(rest);
        if (!CreateProcessW(nullptr, cl.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return "0";
        CloseHandle(pi.hThread);
        started[pi.dwProcessId] = pi.hProcess;
        return std::to_string(pi.dwProcessId);
    }
    if (cmd == "wait") {  // wait <pid> <ms>: its exit code, or "running"
        DWORD pid = 0, ms = 0;
        args >> pid >> ms;
        HANDLE h = started[pid];
        if (h == nullptr || WaitForSingleObject(h, ms) != WAIT_OBJECT_0) return "running";
        DWORD code = 0;
        GetExitCodeProcess(h, &code);
        return std::to_string(code);
    }
    if (cmd == "mods") {  // mods <pid>: the file names of the libraries loaded in that process, ";"-separated
        DWORD pid = 0;
        args >> pid;
        HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
        if (snap == INVALID_HANDLE_VALUE) return "";
        MODULEENTRY32W m{};
        m.dwSize = sizeof m;
        std::string out;
        for (BOOL more = Module32FirstW(snap, &m); more; more = Module32NextW(snap, &m))
            out += Utf8(m.szModule) + ";";
        CloseHandle(snap);
        return out;
    }
    if (cmd == "post") {  // post <class> <msg> <wparam> <lparam>: to every message-only window of that
                          // class, as any program on the desktop can; how many there were
        std::string cls;
        unsigned long long msg = 0, wp = 0, lp = 0;
        args >> cls >> msg >> wp >> lp;
        int n = 0;
        for (HWND w = nullptr; (w = FindWindowExW(HWND_MESSAGE, w, Wide(cls).c_str(), nullptr)) != nullptr;
             ++n)
            PostMessageW(w, static_cast<UINT>(msg), static_cast<WPARAM>(wp), static_cast<LPARAM>(lp));
        return std::to_string(n);
    }
    if (cmd == "client") {  // client <hwnd>: the screen position of its client area's origin
        POINT o{0, 0};
        ClientToScreen(Parse(rest), &o);
        return std::to_string(o.x) + ' ' + std::to_string(o.y);
    }
    if (cmd == "sel") {  // sel <hwnd>: an edit's selection, "start end"
        DWORD start = 0, end = 0;
        SendMessageW(Parse(rest), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        return std::to_string(start) + ' ' + std::to_string(end);
    }
    if (cmd == "accname") return AccessibleName(Parse(rest));  // accname <hwnd>: its accessible name
    // names: "hwnd count" of each window that announced a name change since the last call,
    // ";"-separated (the hook's events wait in this thread's queue)
    if (cmd == "names") {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&m);
        std::string out;
        for (const auto& [w, n] : nameChanges)
            out += Hex(w) + ' ' + std::to_string(n) + ';';
        nameChanges.clear();
        return out;
    }
    if (cmd == "dpichanged") {  // dpichanged <hwnd> <dpi> <left> <top> <right> <bottom>
        std::string w;
        int dpi = 0;
        RECT r{};
        args >> w >> dpi >> r.left >> r.top >> r.right >> r.bottom;
        return SendDpiChanged(Parse(w), dpi, r);
    }
    if (cmd == "dpi") {  // dpi: the display's, as this program is given it
        HDC dc = GetDC(nullptr);
        const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(nullptr, dc);
        return std::to_string(dpi);
    }
    if (cmd == "extent") {  // extent <height> <text>: its width in the program's face at that height
        int height = 0;
        args >> height;
        std::string text;
        std::getline(args >> std::ws, text);
        HDC dc = GetDC(nullptr);
        HFONT f = CreateFontW(height, 0, 0, 0, 0, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Sans Serif");
        HGDIOBJ old = SelectObject(dc, f);
        const std::wstring wide = Wide(text);
        SIZE size{};
        GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
        SelectObject(dc, old);
        DeleteObject(f);
        ReleaseDC(nullptr, dc);
        return std::to_string(size.cx);
    }
    if (cmd == "text") return Utf8(TextOf(Parse(rest)));
    if (cmd == "kids") {  // kids <hwnd>: "hwnd class left top width height style|text" each, ";"-separated;
                          // kids 0: the desktop's, the top-level windows
        HWND parent = Parse(rest);
        std::string out;
        for (HWND c = GetWindow(parent != nullptr ? parent : GetDesktopWindow(), GW_CHILD); c != nullptr;
             c = GetWindow(c, GW_HWNDNEXT)) {
            out += Hex(c) + ' ' + Utf8(ClassOf(c)) + ' ' + Rect(c) + ' ' +
                   std::to_string(GetWindowLongW(c, GWL_STYLE)) + '|' + Utf8(TextOf(c)) + ';';
        }
        return out;
    }
    if (cmd == "gui") {  // gui <hwnd>: the windows with the focus and the mouse capture in its thread
        GUITHREADINFO gi{};
        gi.cbSize = sizeof gi;
        GetGUIThreadInfo(GetWindowThreadProcessId(Parse(rest), nullptr), &gi);
        return Hex(gi.hwndFocus) + ' ' + Hex(gi.hwndCapture);
    }
    if (cmd == "firstline") {  // firstline <hwnd>: an edit's first visible line, or -1
        DWORD_PTR line = 0;
        if (!SendMessageTimeoutW(Parse(rest), EM_GETFIRSTVISIBLELINE, 0, 0, SMTO_ABORTIFHUNG, 2000, &line))
            return "-1";
        return std::to_string(line);
    }
    if (cmd == "alive") {  // alive <hwnd>: ms the window took to answer a message, or -1
        LARGE_INTEGER t0, t1, f;
        QueryPerformanceCounter(&t0);
        DWORD_PTR r = 0;
        if (!SendMessageTimeoutW(Parse(rest), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &r)) return "-1";
        QueryPerformanceCounter(&t1);
        QueryPerformanceFrequency(&f);
        return std::to_string(static_cast<double>(t1.QuadPart - t0.QuadPart) * 1000.0 /
                              static_cast<double>(f.QuadPart));
    }
    if (cmd == "env") {
        const char* value = std::getenv(rest.c_str());
        return Utf8(Wide(value != nullptr ? value : ""));
    }
    return "?";
}

}  // namespace

int main() {
    // Per-monitor aware, where the system has it: the windows' bounds in the display's own pixels.
    using TSetAwareness = BOOL(WINAPI*)(HANDLE);
    if (auto set = reinterpret_cast<TSetAwareness>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext"))))
        set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    CoInitialize(nullptr);
    SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr, &OnWinEvent, 0, 0,
                    WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    std::string line;
    while (std::getline(std::cin, line) && line != "quit") {
        std::cout << Answer(line) << std::endl;
    }
    for (auto& [pid, h] : started)
        CloseHandle(h);
    return 0;
}
