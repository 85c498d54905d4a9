// LoadSystemLibrary: a DLL loaded at run time from the system folder by its full path, never found by name.
#pragma once

#include <windows.h>

// Null when the system folder can't be named or the DLL isn't there.
HMODULE LoadSystemLibrary(const char* name);

// A function of such a DLL, typed; null when the DLL or the function is missing.
template <typename Fn>
Fn SystemFunction(const char* library, const char* name) {
    HMODULE module = LoadSystemLibrary(library);
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}
