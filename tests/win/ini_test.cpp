// The INI accessor and the start folder in folders whose names the system code page cannot spell:
// values written as text and read back, defaults for what is missing, and a copy of this program
// started from a Cyrillic folder finding its INI file beside itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/cp1251.h"
#include "toolkit/ini.h"
#include "toolkit/wintext.h"

namespace {

// The copy started below finds its start folder and its INI file beside itself; the one that starts it
// reads the copy's checks from its exit code.
TEST(Ini, StartDirOfAProgramInACyrillicFolder) {
    wchar_t want[MAX_PATH + 1];
    if (GetEnvironmentVariableW(L"ECHOMETER_INI_PROBE", want, MAX_PATH + 1) != 0) {
        EXPECT_EQ(GetStartDir(), FromWide(want));
        // Russian names in an INI file beside the program, written and read back.
        TIniFile* ini = NewIniFile(GetStartDir() + "probe.ini");
        ini->Section = Cp1251("Окно");
        ini->Mode = 1;
        EXPECT_EQ(ini->ValueInteger(Cp1251("Лево"), -5), -5);
        ini->Mode = 0;
        EXPECT_EQ(ini->ValueInteger(Cp1251("Лево"), 0), -5);
        EXPECT_EQ(ini->ValueInteger("Missing", 77), 77);
        ini->Free();
        return;  // the checks' outcome is the exit code
    }
    wchar_t temp[MAX_PATH + 1], self[MAX_PATH + 1];
    const std::wstring dir = std::wstring(temp, GetTempPathW(MAX_PATH + 1, temp)) + L"Эхометр тест\\";
    const std::wstring copy = dir + L"проба.exe";
    CreateDirectoryW(dir.c_str(), nullptr);
    GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
    ASSERT_TRUE(CopyFileW(self, copy.c_str(), FALSE));
    SetEnvironmentVariableW(L"ECHOMETER_INI_PROBE", dir.c_str());
    std::wstring command = L"\"" + copy + L"\" --gtest_filter=Ini.StartDirOfAProgramInACyrillicFolder";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(
        CreateProcessW(copy.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    SetEnvironmentVariableW(L"ECHOMETER_INI_PROBE", nullptr);
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(code, 0u);
    for (const std::wstring& path : {copy, dir + L"probe.ini"})
        DeleteFileW(path.c_str());
}

}  // namespace
