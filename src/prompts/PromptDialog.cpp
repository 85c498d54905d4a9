// The message field of a prompt: it shows the prompt text and holds the focus, so a screen reader speaks it; and the
// prompt in the foreground, where the keys of the user reach it.
#include "prompts/PromptDialog.h"

#include "prompts/PromptText.h"
#include "res/resource.h"

namespace {
// Posted as the dialog manager shows the prompt, so it arrives once the prompt is shown and activated.
constexpr UINT WM_PROMPT_SHOWN = WM_APP + 1;
}  // namespace

const MessageMapEntry CPromptDialog::kMessageMap[] = {
    {WM_SHOWWINDOW, 0, Handle<&CPromptDialog::OnShowWindow>},
    {WM_PROMPT_SHOWN, 0, Handle<&CPromptDialog::OnShown>},
};

MessageMap CPromptDialog::GetMessageMap() const { return {kMessageMap, sizeof kMessageMap / sizeof kMessageMap[0]}; }

void CPromptDialog::DoDataExchange(CDataExchange* pDX) { DDX_Control(pDX, IDC_MESSAGE, m_edit); }

// Returning TRUE lets the dialog manager focus the first tab stop, the field, which also selects the whole text. A
// prompt whose owner is (or is about to be) hidden gets a taskbar button and an Alt+Tab entry of its own, so that a
// user can still reach it where Windows opened it behind another program's window.
BOOL CPromptDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    m_edit.SetWindowText(PromptText().c_str());
    m_edit.SetFocus();
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (m_hideOnceShown || !owner || !::IsWindowVisible(owner)) {
        ::SetWindowLongA(m_hWnd, GWL_EXSTYLE, ::GetWindowLongA(m_hWnd, GWL_EXSTYLE) | WS_EX_APPWINDOW);
    }
    return TRUE;
}

// The dialog manager shows a dialog once its message queue is empty, after WM_INITDIALOG.
void CPromptDialog::OnShowWindow(UINT shown) {
    if (shown) ::PostMessageA(m_hWnd, WM_PROMPT_SHOWN, 0, 0);
    Default();
}

// Windows brings the prompt to the front where it lets this process set the foreground window (it is the foreground
// process, had the user's last input, or was let by the prompt before: SetForegroundWindow, Remarks); elsewhere it
// flashes the prompt's taskbar button. The main window is hidden only now, while this prompt is the active window,
// so that hiding it hands the foreground to no other program.
void CPromptDialog::OnShown() {
    ::SetForegroundWindow(m_hWnd);
    HoldForeground(m_hWnd);
    if (m_hideOnceShown) ::ShowWindow(m_hideOnceShown, SW_HIDE);
    m_hideOnceShown = nullptr;
}

void CPromptDialog::OnOK() { End(m_hWnd, IDOK); }

void CPromptDialog::OnCancel() { End(m_hWnd, IDCANCEL); }

// A prompt closes with its owner hidden, so Windows gives the activation to another program's window, and this
// process is then neither the foreground process nor, where the watch timer closed the prompt, the receiver of the
// last input: the next prompt would open behind, unfocused. Likewise when another program takes the foreground
// without the user's input while a prompt is open. While a prompt is the foreground window, this process may let a
// process set the foreground window, itself included, until the user's next input goes to another program
// (AllowSetForegroundWindow, Remarks); the user's own settings (the foreground lock time-out) stay untouched.
void CPromptDialog::HoldForeground(HWND prompt) {
    if (::GetForegroundWindow() == prompt) ::AllowSetForegroundWindow(::GetCurrentProcessId());
}

void CPromptDialog::End(HWND prompt, int result) {
    HoldForeground(prompt);
    ::EndDialog(prompt, result);
}
