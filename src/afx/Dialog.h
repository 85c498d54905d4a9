// CDialog: a modal dialog with one dialog procedure that dispatches through a per-class message map.
#pragma once

#include <cstddef>

#include "afx/Wnd.h"

class CDialog;

// One row of a message map. WM_COMMAND rows match BN_CLICKED from control `id`; other rows match `message`.
struct MessageMapEntry {
    UINT message;
    UINT id;
    INT_PTR (*handler)(CDialog& dialog, WPARAM wParam, LPARAM lParam);
};

struct MessageMap {
    const MessageMapEntry* entries;
    std::size_t count;
};

class CDialog : public CWnd {
public:
    // No parent: the application's main window becomes the owner, as long as it has a window.
    explicit CDialog(UINT templateId, CWnd* pParent = nullptr);
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    INT_PTR DoModal();
    void EndDialog(int result) { ::EndDialog(m_hWnd, result); }

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual MessageMap GetMessageMap() const { return {nullptr, 0}; }

    // Called by a handler to hand the current message to the dialog manager's default processing.
    void Default() { m_useDefault = true; }

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Route(UINT message, WPARAM wParam, LPARAM lParam);
    void CenterWindow();

    UINT m_templateId;
    CWnd* m_pParent;
    bool m_useDefault = false;
    bool m_inClick = false;  // a button's handler runs
};

// Message map handlers: Handle<&CMyDlg::OnSomething> adapts a member of one of the shapes below.
namespace afx_detail {
template <class T>
INT_PTR Invoke(CDialog& d, void (T::*f)(), WPARAM, LPARAM) {
    (static_cast<T&>(d).*f)();
    return TRUE;
}
template <class T>
INT_PTR Invoke(CDialog& d, void (T::*f)(UINT), WPARAM wParam, LPARAM) {
    (static_cast<T&>(d).*f)(static_cast<UINT>(wParam));
    return TRUE;
}
template <class T>
INT_PTR Invoke(CDialog& d, void (T::*f)(UINT, LPARAM), WPARAM wParam, LPARAM lParam) {
    (static_cast<T&>(d).*f)(static_cast<UINT>(wParam), lParam);
    return TRUE;
}
template <class T>
INT_PTR Invoke(CDialog& d, HCURSOR (T::*f)(), WPARAM, LPARAM) {
    return reinterpret_cast<INT_PTR>((static_cast<T&>(d).*f)());
}
}  // namespace afx_detail

template <auto F>
INT_PTR Handle(CDialog& dialog, WPARAM wParam, LPARAM lParam) {
    return afx_detail::Invoke(dialog, F, wParam, lParam);
}
