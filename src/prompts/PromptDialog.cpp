// The message field of a prompt: it shows the prompt text and holds the focus, so a screen reader speaks it; and the
// prompt in the foreground, where the keys of the user reach it.
#include "prompts/PromptDialog.h"

#include "prompts/PromptText.h"
#include "prompts/SetupVoice.h"
#include "res/resource.h"

namespace {
// Posted as the dialog manager shows the prompt, so it arrives once the prompt is shown and activated.
constexpr UINT WM_PROMPT_SHOWN = WM_APP + 1;

constexpr char kBehind[] = "The Kelvo setup is waiting behind another window. Press Alt+Tab to reach it.";
}  // namespace

const MessageMapEntry CPromptDialog::kMessageMap[] = {
    {WM_SHOWWINDOW, 0, Handle<&CPromptDialog::OnShowWindow>},
    {WM_PROMPT_SHOWN, 0, Handle<&CPromptDialog::OnShown>},
};

MessageMap CPromptDialog::GetMessageMap() const { return {kMessageMap, sizeof kMessageMap / sizeof kMessageMap[0]}; }

void CPromptDialog::DoDataExchange(CDataExchange* pDX) { DDX_Control(pDX, IDC_MESSAGE, m_edit); }

// Returning TRUE lets the dialog manager focus the first tab stop, the field, which also selects the whole text. A
// prompt has a taskbar button and an Alt+Tab entry of its own, so that where Windows opened it behind another
// program's window, its button flashes and the user reaches it as any window.
BOOL CPromptDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    m_edit.SetWindowText(PromptText().c_str());
    m_edit.SetFocus();
    ::SetWindowLongA(m_hWnd, GWL_EXSTYLE, ::GetWindowLongA(m_hWnd, GWL_EXSTYLE) | WS_EX_APPWINDOW);
    return TRUE;
}

// The dialog manager shows a dialog once its message queue is empty, after WM_INITDIALOG.
void CPromptDialog::OnShowWindow(UINT shown) {
    if (shown) ::PostMessageA(m_hWnd, WM_PROMPT_SHOWN, 0, 0);
    Default();
}

// Windows brings the prompt to the front where it lets this process set the foreground window (it is the foreground
// process, had the user's last input, or was let by the prompt before: SetForegroundWindow, Remarks). Where it refuses,
// the screen reader reads whatever window is in front and the user's ENTER goes there, while the prompt waits unseen:
// its taskbar button flashes until it comes to the front (FlashWindowEx, FLASHW_TIMERNOFG), and the setup says once,
// in its own voice, where it waits and how to reach it, screen reader or not, since nothing else can tell the user.
// Nothing takes the foreground by force: no AttachThreadInput, no synthesized keys, no change of the foreground lock
// time-out. Wine grants every SetForegroundWindow, so only a real PC meets a refusal.
void CPromptDialog::OnShown() {
    ::SetForegroundWindow(m_hWnd);
    HoldForeground(m_hWnd);
    if (::GetForegroundWindow() == m_hWnd) return;
    FLASHWINFO flash{sizeof flash, m_hWnd, FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
    ::FlashWindowEx(&flash);
    if (m_voice) m_voice->Announce(kBehind);
}

void CPromptDialog::OnOK() { End(m_hWnd, IDOK); }

void CPromptDialog::OnCancel() { End(m_hWnd, IDCANCEL); }

// A prompt that closes hands the activation back to its owner, the main setup window, which stays shown and is enabled
// again before the prompt goes (EndDialog). Should the foreground still pass to another program in between (one that
// took it without the user's input while the prompt was open, or a prompt closed by the watch timer while it was not
// the foreground window), this process is neither the foreground process nor the receiver of the last input, and the
// next prompt would open behind, unfocused. While a prompt is the foreground window, this process may let a process
// set the foreground window, itself included, until the user's next input goes to another program
// (AllowSetForegroundWindow, Remarks); the user's own settings (the foreground lock time-out) stay untouched.
void CPromptDialog::HoldForeground(HWND prompt) {
    if (::GetForegroundWindow() == prompt) ::AllowSetForegroundWindow(::GetCurrentProcessId());
}

void CPromptDialog::End(HWND prompt, int result) {
    HoldForeground(prompt);
    ::EndDialog(prompt, result);
}
