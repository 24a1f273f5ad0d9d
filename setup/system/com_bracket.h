// Every COM use is bracketed inside its operation; these CoInitialize results mean COM cannot be used.
#pragma once
#include <windows.h>

bool comStartFailed(HRESULT hr);
