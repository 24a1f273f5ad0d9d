// Functions of the system's DLLs. DLLs that are not known DLLs are loaded only by their full path in
// the system folder, so a file of the same name beside the program, in the temporary folder or in
// the current folder never runs; calls that not every Windows has are looked up at run time.
#pragma once
#include <windows.h>

// Called first thing at start: what the shell and COM load later is not taken from the program's
// folder or the current folder either (where the system offers the calls).
void restrictDllSearch();

// True on the NT family; false on 95/98/Me, which have no permissions, no ntdll and no
// append-only file access.
bool ntFamily();

// An export of a DLL the program has loaded already (kernel32, user32, shell32), or nullptr when this
// Windows lacks it.
FARPROC loadedFunction(const char* dll, const char* function);

// An export of a DLL from the system folder, loaded by its full path and kept loaded; nullptr when
// the DLL or the function is absent.
FARPROC systemFunction(const char* dll, const char* function);
