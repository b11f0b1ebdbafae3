// Functions that only some versions of the system have, looked up at run time
// so the program still starts where they are missing.
#pragma once

#include <windows.h>

// The function name from an already loaded module (kernel32, ntdll), or null.
template <typename Function>
Function FindSystemFunction(const wchar_t* module, const char* name) {
    HMODULE handle = GetModuleHandleW(module);
    return handle ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(handle, name))) : nullptr;
}
