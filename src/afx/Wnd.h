// Window wrappers the program binds to its controls: CWnd, CButton and CEdit.
#pragma once

#include <windows.h>

class CWnd {
public:
    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse) { return ::SetTimer(m_hWnd, id, elapse, nullptr); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
};

class CButton : public CWnd {};

class CEdit : public CWnd {};

// The dialog whose controls DoDataExchange binds.
struct CDataExchange {
    HWND m_hDlg;
};

void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
