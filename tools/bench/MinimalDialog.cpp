// The baseline of the benchmarks: the smallest Win32 dialog program, built with the setup's own flags.
#include <windows.h>

#include "BaselineDialog.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return static_cast<int>(::DialogBoxParamW(instance, MAKEINTRESOURCEW(1), nullptr, BaselineDialogProc, 0));
}
