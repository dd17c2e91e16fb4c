// TIniFile: one section of a Windows INI file, read or written through one call per setting.
//
// The same sequence of ValueInteger calls saves and loads: in write mode each call stores its value
// and hands it back, in read mode it returns the stored value, or the one passed in when the key is
// missing. Nothing is reported: a missing file reads as defaults, a failed write is ignored.
//
// Names and texts are 1251 strings; they reach the platform in UTF-16, so a file in a folder whose
// name the system code page cannot spell (Cyrillic under an English locale) still works.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "toolkit/obj.h"

class TIniFile : public TObj {
public:
    uint8_t Mode = 0;  // 0 read, anything else write
    std::string FileName;
    std::string Section;

    explicit TIniFile(std::string_view fileName) : FileName(fileName) {}

    int32_t ValueInteger(std::string_view key, int32_t value);

protected:
    ~TIniFile() override = default;
};

// Null only when memory ran out.
TIniFile* NewIniFile(std::string_view fileName);

// The program file's folder with its final backslash; the whole module name when it holds none.
std::string GetStartDir();

// The folder part of a module path, as GetStartDir cuts it: up to and including the last "\".
std::string StartDirOf(std::string_view modulePath);
