// The dialog procedure of the start-up baselines: the dialog manager's defaults, and OK or ESC closes the window.
#pragma once

#include <windows.h>

inline INT_PTR CALLBACK BaselineDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        ::EndDialog(hwnd, LOWORD(wParam));
        return TRUE;
    }
    return message == WM_INITDIALOG;
}
