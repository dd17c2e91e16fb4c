// A library planted beside a copy of the program under the name of one it or the system's libraries
// load: if it is ever loaded, it leaves NAME.ran beside itself. It exports, as stubs, the functions
// the program once imported from such libraries, so that a loader resolving those imports takes it.
#include <windows.h>

#include <string>

extern "C" {

// The stub every exported name points at (marker.def): never meant to be called, so its calling
// convention does not matter.
__declspec(dllexport) DWORD MarkerStub() {
    return 0;
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void* /*reserved*/) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
    const HANDLE f = CreateFileW((std::wstring(path, n) + L".ran").c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    return TRUE;
}
}
