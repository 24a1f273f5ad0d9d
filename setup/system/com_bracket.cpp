#include "system/com_bracket.h"

bool comStartFailed(HRESULT hr) { return hr == E_UNEXPECTED || hr == E_OUTOFMEMORY || hr == E_INVALIDARG; }
