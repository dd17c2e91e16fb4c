#include "toolkit/strlist.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kCR = 13;
constexpr char kLF = 10;

// Steps past the line at p: past its carriage return (cut to a zero byte when cut is set) and a line
// feed right after it, or to the terminating zero of the text.
char* NextLine(char* p, bool cut) {
    char* cr = std::strchr(p, kCR);
    if (cr == nullptr) return p + std::strlen(p);
    if (cut) *cr = 0;
    p = cr + 1;
    if (*p == kLF) ++p;
    return p;
}

std::string_view UpToZero(std::string_view s) {
    return s.substr(0, s.find('\0'));
}

}  // namespace

// ---- TStrList ----

TStrList::~TStrList() {
    TStrList::Clear();
}

const char* TStrList::Get(int32_t index) const {
    if (Lines == nullptr) return nullptr;
    return static_cast<const char*>(Lines->Get(index));
}

bool TStrList::InTextBuffer(const void* line) const {
    if (TextBuffer == nullptr) return false;
    // Addresses compared as integers: a line usually lies in a different block from the buffer.
    const auto p = reinterpret_cast<uintptr_t>(line);
    const auto start = reinterpret_cast<uintptr_t>(TextBuffer);
    return p >= start && p - start < static_cast<uintptr_t>(TextBufferSize);
}

bool TStrList::Insert(int32_t index, std::string_view s) {
    if (index < 0 || index > Count) return false;
    s = UpToZero(s);
    if (Lines == nullptr) {
        Lines = NewObj<TList>();
        if (Lines == nullptr) return false;
    }
    auto* line = static_cast<char*>(std::malloc(s.size() + 1));
    if (line == nullptr) return false;
    if (!s.empty()) std::memcpy(line, s.data(), s.size());
    line[s.size()] = 0;
    if (!Lines->Insert(index, line)) {
        std::free(line);
        return false;
    }
    Count = Lines->Count;
    return true;
}

int32_t TStrList::Add(std::string_view s) {
    const int32_t index = Count;
    return Insert(index, s) ? index : -1;
}

void TStrList::Delete(int32_t index) {
    if (Lines == nullptr || index < 0 || index >= Count) return;
    void* line = Lines->Items[index];
    if (!InTextBuffer(line)) std::free(line);
    Lines->Delete(index);
    Count = Lines->Count;
}

void TStrList::Clear() {
    for (int32_t i = Count - 1; i >= 0; --i) {
        TStrList::Delete(i);
    }
    TObj::Free(Lines);
    Lines = nullptr;
    Count = 0;
    std::free(TextBuffer);
    TextBuffer = nullptr;
    TextBufferSize = 0;
}

bool TStrList::SetText(std::string_view text, bool append) {
    text = UpToZero(text);
    if (text.empty()) {
        if (!append) Clear();
        return true;
    }
    const size_t length = text.size();
    const size_t oldSize = append ? static_cast<size_t>(TextBufferSize) : 0;
    if (length >= static_cast<size_t>(INT32_MAX) - oldSize) return false;

    // The text is copied before anything is cleared or freed, as it may be one of our own lines.
    auto* buffer = static_cast<char*>(std::malloc(oldSize + length + 1));
    if (buffer == nullptr) return false;
    std::memcpy(buffer + oldSize, text.data(), length);
    buffer[oldSize + length] = 0;
    if (!append) Clear();
    if (Lines == nullptr) Lines = NewObj<TList>();
    if (Lines == nullptr) {
        std::free(buffer);
        return false;
    }
    if (oldSize > 0) {
        std::memcpy(buffer, TextBuffer, oldSize);
        // Lines cut from the old buffer follow it into the new one.
        const auto oldStart = reinterpret_cast<uintptr_t>(TextBuffer);
        for (int32_t i = 0; i < Lines->Count; ++i) {
            if (InTextBuffer(Lines->Items[i])) {
                Lines->Items[i] = buffer + (reinterpret_cast<uintptr_t>(Lines->Items[i]) - oldStart);
            }
        }
    }
    std::free(TextBuffer);
    TextBuffer = buffer;
    TextBufferSize = static_cast<int32_t>(oldSize + length + 1);

    char* const first = buffer + oldSize;
    int32_t added = 0;
    for (char* p = first; *p != 0; p = NextLine(p, false)) {
        ++added;
    }
    if (Lines->Capacity < Count + added) Lines->SetCapacity(Count + added);
    bool complete = true;
    for (char* p = first; *p != 0; p = NextLine(p, true)) {
        complete = Lines->Add(p) && complete;
    }
    Count = Lines->Count;
    return complete;
}

// ---- TStrListEx ----

void TStrListEx::Init() {
    TStrList::Init();
    Objects = NewObj<TList>();
}

TStrListEx::~TStrListEx() {
    TObj::Free(Objects);
}

bool TStrListEx::InsertObject(int32_t index, std::string_view s, void* obj) {
    if (Objects == nullptr) return false;
    if (!TStrList::Insert(index, s)) return false;
    // Lines loaded by SetText have no entries yet; fill them with nulls so obj lands at index.
    bool ok = true;
    while (ok && Objects->Count < index) {
        ok = Objects->Add(nullptr);
    }
    if (ok) ok = Objects->Insert(index, obj);
    if (!ok) TStrList::Delete(index);
    return ok;
}

int32_t TStrListEx::AddObject(std::string_view s, void* obj) {
    const int32_t index = Count;
    return InsertObject(index, s, obj) ? index : -1;
}

void TStrListEx::Delete(int32_t index) {
    if (index < 0 || index >= Count) return;
    TStrList::Delete(index);
    if (Objects != nullptr && index < Objects->Count) Objects->Delete(index);
}

void TStrListEx::Clear() {
    TStrList::Clear();
    // Without this, the next lines would meet the objects of the old ones.
    if (Objects != nullptr) Objects->Clear();
}

int32_t TStrListEx::IndexOfObject(const void* obj) const {
    if (Objects == nullptr) return -1;
    const int32_t index = Objects->IndexOf(obj);
    if (index < 0 && obj == nullptr && Objects->Count < Count) return Objects->Count;
    return index;
}

void* TStrListEx::Object(int32_t index) const {
    if (Objects == nullptr) return nullptr;
    return Objects->Get(index);
}
