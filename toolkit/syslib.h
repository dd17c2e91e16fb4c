// System libraries from the system directory only. Windows only.
//
// A library loaded by bare name is looked for beside the program first: a file of that name in a
// downloads folder would be loaded and run. The same holds for the program's own imports, which
// the loader resolves before its first instruction: those are the system's known libraries only
// (they are never looked for elsewhere), and the rest are found here at run time.
#pragma once

#include <windows.h>

// Takes the program's folder and the current folder out of the search for every library loaded
// from here on (the process start does this first).
void UseSystemLibrarySearch();
// The library of that name from the system directory, or null.
HMODULE LoadSystemLibrary(const wchar_t* name);

// A function of a library from the system directory, or null when either is missing.
template <class TFunction>
TFunction SystemFunction(const wchar_t* library, const char* name) {
    HMODULE m = LoadSystemLibrary(library);
    return m == nullptr ? nullptr
                        : reinterpret_cast<TFunction>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}
