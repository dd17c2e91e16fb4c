// The INI accessor and the start folder in folders whose names the system code page cannot spell:
// values written as text and read back, defaults for what is missing, and a copy of this program
// started from a Cyrillic folder finding its INI file beside itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "support/cp1251.h"
#include "toolkit/ini.h"
#include "toolkit/wintext.h"

namespace {

std::wstring TempFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH + 1];
    const std::wstring dir = std::wstring(temp, GetTempPathW(MAX_PATH + 1, temp)) + name;
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir + L"\\";
}

// Writes -5 and 10 under a Russian section of an INI file and reads them back; true when all held.
bool RoundTrip(const std::string& fileName) {
    TIniFile* ini = NewIniFile(fileName);
    ini->Section = Cp1251("Окно");
    ini->Mode = 1;
    bool ok = ini->ValueInteger("Top", -5) == -5 && ini->ValueInteger(Cp1251("Лево"), 10) == 10;
    ini->Mode = 0;
    ok = ok && ini->ValueInteger("Top", 0) == -5 && ini->ValueInteger(Cp1251("Лево"), 0) == 10 &&
         ini->ValueInteger("Missing", 77) == 77;
    ini->Free();
    return ok;
}

TEST(Ini, UnwritableFileGivesTheDefaults) {
    TIniFile* ini = NewIniFile(FromWide(TempFolder(L"") + L"нет папки\\x.ini"));
    ini->Mode = 1;
    EXPECT_EQ(ini->ValueInteger("Key", 9), 9);
    ini->Mode = 0;
    EXPECT_EQ(ini->ValueInteger("Key", 4), 4);
    ini->Free();
    EXPECT_EQ(StartDirOf("prog.exe"), "prog.exe");  // no backslash: the whole name
}

// The copy started below: its INI file beside itself, its start folder written where it is told.
TEST(Ini, StartDirOfAProgramInACyrillicFolder) {
    if (const char* out = std::getenv("ECHOMETER_INI_PROBE")) {
        const std::string dir = GetStartDir();
        HANDLE f = CreateFileW(ToWide(out).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(f, dir.data(), static_cast<DWORD>(dir.size()), &written, nullptr);
        CloseHandle(f);
        ASSERT_TRUE(RoundTrip(dir + "probe.ini"));
        EXPECT_EQ(GetPrivateProfileIntW(L"Окно", L"Top", 0, ToWide(dir + "probe.ini").c_str()),
                  static_cast<UINT>(-5));
        return;
    }
    const std::wstring dir = TempFolder(L"Эхометр тест"), copy = dir + L"проба.exe";
    const std::wstring out = TempFolder(L"") + L"ini-probe.txt";
    wchar_t self[MAX_PATH + 1];
    GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
    ASSERT_TRUE(CopyFileW(self, copy.c_str(), FALSE));
    SetEnvironmentVariableW(L"ECHOMETER_INI_PROBE", out.c_str());
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
    std::string written(1024, '\0');
    HANDLE f = CreateFileW(out.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD got = 0;
    ReadFile(f, written.data(), static_cast<DWORD>(written.size()), &got, nullptr);
    CloseHandle(f);
    EXPECT_EQ(written.substr(0, got), FromWide(dir));
    for (const std::wstring& path : {copy, out, dir + L"probe.ini"})
        DeleteFileW(path.c_str());
}

}  // namespace
