#include "toolkit/ini.h"

TIniFile* NewIniFile(std::string_view fileName) {
    return NewObj<TIniFile>(fileName);
}

std::string StartDirOf(std::string_view modulePath) {
    const size_t slash = modulePath.rfind('\\');
    if (slash == std::string_view::npos) return std::string(modulePath);
    return std::string(modulePath.substr(0, slash + 1));
}
