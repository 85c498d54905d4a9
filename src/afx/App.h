// The application object, its entry point and the framework message box.
#pragma once

#include <string>

#include "afx/Wnd.h"

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp() = default;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Runs the whole program; the framework ends the application when it returns.
    virtual BOOL InitInstance() = 0;

    HICON LoadIcon(UINT id) const;

    CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
HWND AfxGetMainWndHandle();

// The application name: the base name of the program's own file.
std::string AfxGetAppName();

// A framework message box: caption the application name, an exclamation icon with MB_OK.
int AfxMessageBox(const char* text, UINT type = MB_OK);
