// A path as a key that Windows would take for the same name.
#pragma once
#include <string>

// The path with its single-byte letters in upper case; a second byte of a double-byte character
// (the system's code page) stays as it is, so that names Windows tells apart stay apart.
std::string pathKey(const char* path);
