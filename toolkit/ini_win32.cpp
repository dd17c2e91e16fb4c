#include <windows.h>

#include <string>

#include "support/numstr.h"
#include "toolkit/ini.h"
#include "toolkit/wintext.h"

namespace {

// The platform writes a new INI file in the system code page, where Russian section and key names
// turn into question marks; a file that starts as UTF-16 stays UTF-16. So a file about to be
// written is made with the byte-order mark first. An existing file is left as it is.
void CreateUnicodeFile(const std::wstring& file) {
    HANDLE f =
        CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    static constexpr unsigned char kBom[] = {0xFF, 0xFE};
    DWORD written = 0;
    WriteFile(f, kBom, sizeof kBom, &written, nullptr);
    CloseHandle(f);
}

}  // namespace

int32_t TIniFile::ValueInteger(std::string_view key, int32_t value) {
    // Empty names go to the platform as empty texts, never as null pointers.
    const std::wstring section = ToWide(Section);
    const std::wstring name = ToWide(key);
    const std::wstring file = ToWide(FileName);
    if (Mode != 0) {
        CreateUnicodeFile(file);
        WritePrivateProfileStringW(section.c_str(), name.c_str(), ToWide(IntToStr(value)).c_str(),
                                   file.c_str());
        return value;
    }
    // The platform parses the stored text, sign included; the unsigned result carries it back.
    return static_cast<int32_t>(GetPrivateProfileIntW(section.c_str(), name.c_str(), value, file.c_str()));
}

std::string GetStartDir() {
    // A path longer than the classic limit would come back cut; the buffer grows until it fits.
    std::wstring path(MAX_PATH + 1, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return std::string();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        if (path.size() >= 32768) return std::string();
        path.resize(path.size() * 2);
    }
    return StartDirOf(FromWide(path));
}
