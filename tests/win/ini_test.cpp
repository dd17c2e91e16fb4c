// The INI accessor and the start folder, in folders whose names the system code page cannot spell:
// values written as text and read back, defaults for what is missing, and a copy of this very
// program started from a Cyrillic folder finding its INI file beside itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "support/cp1251.h"
#include "toolkit/ini.h"
#include "toolkit/wintext.h"

namespace {

const std::wstring kFolderName = L"Эхометр тест";

std::wstring TempFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    std::wstring dir = std::wstring(temp, n) + name;
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir + L"\\";
}

std::string ReadWhole(const std::wstring& path) {
    std::string text;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return text;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0)
        text.append(buf, got);
    CloseHandle(f);
    return text;
}

struct IniFree {
    void operator()(TIniFile* ini) const { ini->Free(); }
};
using IniPtr = std::unique_ptr<TIniFile, IniFree>;

TEST(Ini, WrittenAsTextAndReadBackInACyrillicFolder) {
    const std::wstring file = TempFolder(kFolderName) + L"настройки.ini";
    DeleteFileW(file.c_str());
    IniPtr ini(NewIniFile(FromWide(file)));
    ASSERT_NE(ini, nullptr);
    ini->Section = Cp1251("Окно");

    const struct {
        const char* key;
        int32_t value;
    } values[] = {{"Left", 10}, {"Top", -5}, {"Width", 0}, {"Max", 2147483647}, {"Min", -2147483647 - 1}};
    ini->Mode = 1;
    for (const auto& v : values)
        EXPECT_EQ(ini->ValueInteger(v.key, v.value), v.value) << v.key;
    ini->Mode = 0;
    for (const auto& v : values)
        EXPECT_EQ(ini->ValueInteger(v.key, 12345), v.value) << v.key;
    EXPECT_EQ(ini->ValueInteger("Missing", -77), -77);

    // Stored as decimal text under the Russian section name, in a UTF-16 file.
    const std::string raw = ReadWhole(file);
    ASSERT_GE(raw.size(), 2u);
    ASSERT_EQ(raw.substr(0, 2), "\xFF\xFE");
    const std::string text = FromWide(std::wstring_view(reinterpret_cast<const wchar_t*>(raw.data() + 2),
                                                        (raw.size() - 2) / sizeof(wchar_t)));
    EXPECT_NE(text.find(Cp1251("[Окно]").str()), std::string::npos) << text;
    EXPECT_NE(text.find("Top=-5"), std::string::npos) << text;
    EXPECT_EQ(GetPrivateProfileIntW(L"Окно", L"Left", 0, file.c_str()), 10u);

    // Another section of the same file is another set of keys.
    ini->Section = "Other";
    EXPECT_EQ(ini->ValueInteger("Top", 3), 3);
    DeleteFileW(file.c_str());
}

TEST(Ini, NothingToReadOrWriteGivesDefaults) {
    // A folder that does not exist: the write is ignored, reading gives the default.
    IniPtr ini(NewIniFile(FromWide(TempFolder(L"") + L"нет такой папки\\x.ini")));
    ini->Mode = 1;
    EXPECT_EQ(ini->ValueInteger("Key", 9), 9);
    ini->Mode = 0;
    EXPECT_EQ(ini->ValueInteger("Key", 4), 4);
    // Empty names reach the platform as empty texts.
    IniPtr empty(NewIniFile(""));
    EXPECT_EQ(empty->ValueInteger("", 6), 6);
}

TEST(Ini, StartDirCutsAfterTheLastBackslash) {
    const struct {
        const char* path;
        const char* dir;
    } cases[] = {
        {"C:\\a\\b\\prog.exe", "C:\\a\\b\\"},
        {"C:\\prog.exe", "C:\\"},
        {"prog.exe", "prog.exe"},  // no backslash: the whole name
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StartDirOf(c.path), c.dir) << c.path;
}

// Run by the test below in a copy of this program inside a Cyrillic folder: writes a value to an
// INI file in its start folder and the folder itself to the file the parent names.
TEST(Ini, ChildInCyrillicFolder) {
    const char* out = std::getenv("ECHOMETER_INI_PROBE");
    if (out == nullptr) GTEST_SKIP() << "run by StartDirOfAProgramInACyrillicFolder";
    IniPtr ini(NewIniFile(GetStartDir() + "probe.ini"));
    ini->Section = "S";
    ini->Mode = 1;
    ini->ValueInteger("Value", -5);
    HANDLE f = CreateFileW(ToWide(out).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    const std::string dir = GetStartDir();
    DWORD written = 0;
    WriteFile(f, dir.data(), DWORD(dir.size()), &written, nullptr);
    CloseHandle(f);
}

TEST(Ini, StartDirOfAProgramInACyrillicFolder) {
    if (std::getenv("ECHOMETER_INI_PROBE") != nullptr) GTEST_SKIP();
    const std::wstring dir = TempFolder(kFolderName);
    const std::wstring copy = dir + L"проба.exe";
    const std::wstring out = TempFolder(L"") + L"ini-probe.txt";
    const std::wstring ini = dir + L"probe.ini";
    DeleteFileW(ini.c_str());
    DeleteFileW(out.c_str());
    wchar_t self[MAX_PATH + 1];
    GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
    ASSERT_TRUE(CopyFileW(self, copy.c_str(), FALSE));

    SetEnvironmentVariableW(L"ECHOMETER_INI_PROBE", out.c_str());
    std::wstring command = L"\"" + copy + L"\" --gtest_filter=Ini.ChildInCyrillicFolder";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const BOOL started =
        CreateProcessW(copy.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableW(L"ECHOMETER_INI_PROBE", nullptr);
    ASSERT_TRUE(started);
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(code, 0u);

    EXPECT_EQ(ReadWhole(out), FromWide(dir));
    EXPECT_EQ(static_cast<int32_t>(GetPrivateProfileIntW(L"S", L"Value", 0, ini.c_str())), -5);
    DeleteFileW(copy.c_str());
    DeleteFileW(ini.c_str());
    DeleteFileW(out.c_str());
}

}  // namespace
