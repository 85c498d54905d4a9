// The start-up baseline with the setup's own resources: opens the setup's main window template from the setup's
// file, under the setup's own manifest (common controls 6 and their theming), the same bitmap and fonts, with a
// dialog procedure that does nothing. What the setup takes longer than this is its own code.
// Usage: kelvo_same_resources.exe "<path of the setup program>"
#include <windows.h>

#include "BaselineDialog.h"

#include <shellapi.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!arguments || count < 2) return 2;
    const wchar_t* setup = arguments[1];
    HMODULE resources = ::LoadLibraryExW(setup, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!resources) return 3;
    ACTCTXW manifest{};
    manifest.cbSize = sizeof manifest;
    manifest.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    manifest.lpSource = setup;
    manifest.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE context = ::CreateActCtxW(&manifest);
    ULONG_PTR cookie = 0;
    if (context == INVALID_HANDLE_VALUE || !::ActivateActCtx(context, &cookie)) return 4;
    return static_cast<int>(::DialogBoxParamW(resources, MAKEINTRESOURCEW(102), nullptr, BaselineDialogProc, 0));
}
