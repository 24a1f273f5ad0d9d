// DLLs that are not known DLLs are loaded only by their full path in the system folder, so a file of
// the same name beside the program, in the temporary folder or in the current folder never runs.
#pragma once
#include <windows.h>

// Called first thing at start: what the shell and COM load later is not taken from the program's
// folder or the current folder either (where the system offers the calls).
void restrictDllSearch();

// The DLL of that name from the system folder (kept loaded), or nullptr.
HMODULE systemLibrary(const char* name);

// An export of a system-folder DLL, or nullptr when the DLL or the function is absent.
FARPROC systemFunction(const char* dll, const char* function);
