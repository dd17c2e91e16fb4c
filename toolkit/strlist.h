// TStrList: lines of 1251 byte text, each a zero-terminated string.
//
// A line either owns its own block (Insert copies the string) or lies inside TextBuffer, the one block
// that holds every text given to SetText; such lines are cut in place and are never freed one by one.
// Whether a line is freed is decided by its address alone. Loading a long text therefore costs one
// allocation, not one per line.
//
// TStrListEx adds one pointer per line (Objects), which it never owns; a line and its object always
// share one index.
//
// Fields may be read freely (the window components read lines through Get); change them only through
// the methods. No text conversion happens here.
#pragma once

#include <cstdint>
#include <string_view>

#include "toolkit/list.h"
#include "toolkit/obj.h"

class TStrList : public TObj {
public:
    TList* Lines = nullptr;  // char* per line; created by the first insertion
    int32_t Count = 0;       // always Lines->Count
    char* TextBuffer = nullptr;
    int32_t TextBufferSize = 0;

    // The line at index as a zero-terminated string; null outside 0 .. Count - 1.
    const char* Get(int32_t index) const;

    // Inserts a copy of s (up to its first zero byte, if any). index may be 0 .. Count; any other index
    // is refused with false, as is a failed allocation; the list is then unchanged.
    virtual bool Insert(int32_t index, std::string_view s);
    // Insert at Count; returns the new line's index, or -1.
    int32_t Add(std::string_view s);
    // An index outside 0 .. Count - 1 deletes nothing.
    virtual void Delete(int32_t index);
    virtual void Clear();

    // Replaces (append false) or extends the lines with those of text, split at carriage returns: a line
    // feed right after one is dropped, any other line feed stays in its line, and a trailing carriage
    // return makes no empty last line. The text ends at its first zero byte. text may be one of this
    // list's own lines. False when memory ran out.
    bool SetText(std::string_view text, bool append);

protected:
    ~TStrList() override;

private:
    bool InTextBuffer(const void* line) const;
};

class TStrListEx : public TStrList {
public:
    TList* Objects = nullptr;  // one pointer per line; lines past Objects->Count have none (null)

    // A plain insertion gives the line a null object, so later objects keep their lines.
    bool Insert(int32_t index, std::string_view s) override { return InsertObject(index, s, nullptr); }
    bool InsertObject(int32_t index, std::string_view s, void* obj);
    // Returns the new line's index, or -1.
    int32_t AddObject(std::string_view s, void* obj);
    void Delete(int32_t index) override;
    void Clear() override;
    // The first line whose object is obj, or -1.
    int32_t IndexOfObject(const void* obj) const;
    // Null outside 0 .. Count - 1.
    void* Object(int32_t index) const;

protected:
    void Init() override;
    ~TStrListEx() override;
};
