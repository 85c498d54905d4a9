// The window timers of the installation sequence's waits: they close the open prompt once the awaited
// event has happened, and chime while the user waits.

#include <cstring>

#include "app/SetupDlg.h"
#include "probe/OutsideComponents.h"
#include "probe/Sound.h"
#include "probe/SourceRoot.h"
#include "prompts/PromptDialog.h"

namespace {
constexpr char kChimeFile[] = "%s%supdate\\chimes.wav";

// Ends the first prompt of this thread whose title holds the caution title, wherever it lies in the stacking order:
// the foreground window may lie below it (the desktop, a folder window left active) or belong to another program.
// Only the setup's own windows are looked at, so another program's window is never ended, whatever its title says;
// a prompt not yet shown is ended too, before the user ever meets it.
BOOL CALLBACK EndIfPrompt(HWND window, LPARAM) {
    char title[256] = "";
    ::GetWindowTextA(window, title, sizeof title);
    if (!std::strstr(title, kCautionTitle)) return TRUE;
    CPromptDialog::End(window, 0);
    return FALSE;
}

void EndFirstPrompt() { ::EnumThreadWindows(::GetCurrentThreadId(), EndIfPrompt, 0); }
}  // namespace

void CSetupDlg::OnTimer(UINT nIDEvent) {
    switch (nIDEvent) {
        case TIMER_WINDOWEYES_WATCH:
            if (m_windowEyes.Closed()) EndFirstPrompt();
            break;
        case TIMER_DEVICE_WATCH: {
            std::string port;
            if (ReadRegistryString(kNtDeviceKey, kPortNameValue, port)) EndFirstPrompt();
            break;
        }
        case TIMER_CHIME:
            // Synchronous, and the default sound when the file can't be played.
            PlayWave(SourcePath(kChimeFile).c_str(), 0);
            break;
        default:
            break;
    }
    Default();
}
