// The dialog procedure shared by every dialog of the program, and the modal run.
#include "afx/Dialog.h"

#include "afx/App.h"

CDialog::CDialog(UINT templateId, CWnd* pParent) : m_templateId(templateId), m_pParent(pParent) {}

INT_PTR CDialog::DoModal() {
    HWND owner = m_pParent ? m_pParent->m_hWnd : AfxGetMainWndHandle();
    // The templates hold their texts in Unicode; a wide dialog keeps the Chinese ones whole in any code page.
    return ::DialogBoxParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(m_templateId), owner, DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::OnInitDialog() {
    CDataExchange dx{m_hWnd};
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

// Centres on the owner when it is visible, otherwise on the work area, as the user expects a dialog to open.
void CDialog::CenterWindow() {
    RECT area;
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
        ::GetWindowRect(owner, &area);
    } else {
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    }
    RECT self;
    ::GetWindowRect(m_hWnd, &self);
    int width = self.right - self.left;
    int height = self.bottom - self.top;
    int x = area.left + ((area.right - area.left) - width) / 2;
    int y = area.top + ((area.bottom - area.top) - height) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A button's handler may run a whole flow through nested message loops (each prompt's); a click the window takes
// meanwhile, from a key or the mouse given to it between two prompts, would start a second flow, or quit, in the
// middle of the first. So a dialog takes one click at a time.
INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return Route(message, wParam, lParam);
    if (m_inClick) return TRUE;
    m_inClick = true;
    INT_PTR result = Route(message, wParam, lParam);
    m_inClick = false;
    return result;
}

INT_PTR CDialog::Route(UINT message, WPARAM wParam, LPARAM lParam) {
    MessageMap map = GetMessageMap();
    for (std::size_t i = 0; i < map.count; ++i) {
        const MessageMapEntry& entry = map.entries[i];
        bool matches = entry.message == message &&
                       (message != WM_COMMAND || (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == entry.id));
        if (!matches) continue;
        m_useDefault = false;
        INT_PTR result = entry.handler(*this, wParam, lParam);
        return m_useDefault ? FALSE : result;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
    }
    return FALSE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        dialog->m_hWnd = hWnd;
        dialog->CenterWindow();
        if (!dialog->OnInitDialog()) return FALSE;
        // The first tab stop takes the focus through the dialog manager, as Windows does it: an edit field gets
        // its whole text selected and a push button becomes the button that ENTER presses.
        HWND first = ::GetNextDlgTabItem(hWnd, nullptr, FALSE);
        if (!first) return TRUE;
        ::SendMessageA(hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE);
        return FALSE;
    }
    auto* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    if (!dialog) return FALSE;
    if (message == WM_NCDESTROY) {
        dialog->m_hWnd = nullptr;
        return FALSE;
    }
    return dialog->Dispatch(message, wParam, lParam);
}
