// The one application object and the framework services around it.
#include "afx/App.h"

#include <cstdlib>

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp() { g_app = this; }

HICON CWinApp::LoadIcon(UINT id) const { return ::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(id)); }

CWinApp* AfxGetApp() { return g_app; }

HINSTANCE AfxGetInstanceHandle() { return ::GetModuleHandleA(nullptr); }

HWND AfxGetMainWndHandle() { return g_app && g_app->m_pMainWnd ? g_app->m_pMainWnd->m_hWnd : nullptr; }

std::string AfxGetAppName() {
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    char name[_MAX_FNAME] = "";
    _splitpath(path, nullptr, nullptr, name, nullptr);
    return name;
}

int AfxMessageBox(const char* text, UINT type) {
    // The framework adds the exclamation icon when the caller names no icon of its own.
    if ((type & MB_ICONMASK) == 0) type |= MB_ICONEXCLAMATION;
    return ::MessageBoxA(AfxGetMainWndHandle(), text, AfxGetAppName().c_str(), type);
}
