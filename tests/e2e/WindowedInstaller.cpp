// A driver installer with a window of its own, as a vendor's is: it asks the user to confirm, and ends on ENTER; where
// KELVO_INSTALLER_WORK_MS is set, it then works that long before it ends, as a real one copies and registers a driver.
// The scenarios put it in the place of the shipped installer, which has no window.
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ::MessageBoxA(nullptr, "The display's driver is ready to install.", "Kelvo driver installer", MB_OK);
    char work[16] = "";
    if (::GetEnvironmentVariableA("KELVO_INSTALLER_WORK_MS", work, sizeof work))
        ::Sleep(std::strtoul(work, nullptr, 10));
    return 0;
}
