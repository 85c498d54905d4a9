// The window timers of the installation sequence's waits: they close the open prompt once the awaited
// event has happened, and chime while the user waits.

#include <cstring>

#include "app/SetupDlg.h"
#include "probe/OutsideComponents.h"
#include "probe/Sound.h"
#include "probe/SourceRoot.h"

namespace {
constexpr char kChimeFile[] = "%s%supdate\\chimes.wav";

// From the foreground window down the Z-order, ends the first prompt of this process whose title holds the
// caution title. Windows of other programs are skipped, whatever their titles say.
void EndFirstPrompt() {
    DWORD self = ::GetCurrentProcessId();
    for (HWND window = ::GetForegroundWindow(); window; window = ::GetWindow(window, GW_HWNDNEXT)) {
        char title[256] = "";
        ::GetWindowTextA(window, title, sizeof title);
        if (!std::strstr(title, kCautionTitle)) continue;
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner != self) continue;
        ::EndDialog(window, 0);
        return;
    }
}
}  // namespace

void CSetupDlg::OnTimer(UINT nIDEvent) {
    switch (nIDEvent) {
        case TIMER_WINDOWEYES_WATCH:
            if (!::FindWindowA(nullptr, kWindowEyesTitle)) EndFirstPrompt();
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
