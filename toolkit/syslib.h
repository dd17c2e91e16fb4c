// System libraries from the system directory only. Windows only.
//
// A library loaded by bare name is looked for beside the program first: a file of that name in a
// downloads folder would be loaded and run.
#pragma once

#include <windows.h>

// Takes the program's folder and the current folder out of the search for every library loaded
// from here on (the process start does this first).
void UseSystemLibrarySearch();
// The library of that name from the system directory, or null.
HMODULE LoadSystemLibrary(const wchar_t* name);
